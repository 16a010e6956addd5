// SPDX-License-Identifier: GPL-3.0-only
// Remote control's round trips over the loopback: the real window on the
// virtual instrument serves, a client in a thread of its own asks and waits
// for each answer, as a test script does. Prints the median, the 90th
// percentile and the fastest of each query; a query the command table does
// not know yet says so instead of a figure.
//
// Repeat with: cmake --build <build> --target bench_scpi && <build>/bench/bench_scpi
// Optional argument: round trips per query (default 2000).

#include "benchhome.h"
#include "remote/remotecontrol.h"
#include "remote/scpiserver.h"

#include <QApplication>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {
// One response message: a line, or a definite-length block and its line feed.
bool readResponse(QTcpSocket &socket, QByteArray &buffer, QByteArray &response)
{
    for (;;) {
        qint64 end = -1;
        if (buffer.startsWith('#') && buffer.size() >= 2) {
            const int digits = buffer[1] - '0';
            if (digits >= 1 && digits <= 9 && buffer.size() >= 2 + digits) {
                const qint64 length = buffer.mid(2, digits).toLongLong();
                if (buffer.size() >= 2 + digits + length + 1)
                    end = 2 + digits + length;
            }
        } else {
            end = buffer.indexOf('\n');
        }
        if (end >= 0) {
            response = buffer.left(int(end));
            buffer.remove(0, int(end) + 1);
            return true;
        }
        if (!socket.waitForReadyRead(10000))
            return false;
        buffer += socket.readAll();
    }
}

struct Query {
    const char *name;
    QByteArray message;
};

void measure(quint16 port, int rounds)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000)) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(socket.errorString()));
        return;
    }
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QByteArray buffer;
    QByteArray response;
    // The waveform queries give their figures once the scope's commands are in the table.
    const Query queries[] = {
        {"*IDN?", "*IDN?\n"},
        {":WAVeform:DATA? (CH1, 3840 points)", ":WAVeform:SOURce CHANnel1;:WAVeform:FORMat BYTE;:WAVeform:DATA?\n"},
        {":DIGitize + :WAVeform:DATA?", ":DIGitize CHANnel1;:WAVeform:DATA?\n"},
    };
    std::printf("%-40s %10s %10s %10s %12s\n", "query", "median ms", "p90 ms", "min ms", "per second");
    for (const Query &q : queries) {
        socket.write(q.message + ":SYSTem:ERRor?\n");
        socket.flush();
        QByteArray error;
        if (!readResponse(socket, buffer, response) || !readResponse(socket, buffer, error)) {
            std::printf("%-40s no answer\n", q.name);
            continue;
        }
        if (!error.startsWith("+0,")) {
            std::printf("%-40s not available (%s)\n", q.name, error.constData());
            continue;
        }
        std::vector<double> ms;
        ms.reserve(size_t(rounds));
        QElapsedTimer clock;
        for (int k = 0; k < rounds; ++k) {
            clock.start();
            socket.write(q.message);
            socket.flush();
            if (!readResponse(socket, buffer, response))
                break;
            ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        if (ms.empty())
            continue;
        std::sort(ms.begin(), ms.end());
        const double median = ms[ms.size() / 2];
        std::printf("%-40s %10.3f %10.3f %10.3f %12.1f   (%zu rounds, %d bytes)\n", q.name, median,
                    ms[ms.size() * 9 / 10], ms.front(), 1000.0 / median, ms.size(), int(response.size()));
    }
}
} // namespace

int main(int argc, char *argv[])
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    QTemporaryDir home;
    prepareBenchHome(home);
    QApplication application(argc, argv);
    VeltoInterface window;
    if (!showConnected(window)) {
        std::fprintf(stderr, "the virtual instrument did not connect\n");
        return 1;
    }
    if (!window.remote()->listenAt(QHostAddress(QHostAddress::LocalHost), 0))
        return 1;
    const quint16 port = window.remote()->server()->port();
    // The client waits for each answer; the window's event loop serves it.
    std::thread client([port, rounds] {
        measure(port, rounds);
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    application.exec();
    client.join();
    return 0;
}
