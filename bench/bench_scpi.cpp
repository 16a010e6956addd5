// SPDX-License-Identifier: GPL-3.0-only
// Remote control's round trips over the loopback: the real window on the
// virtual instrument serves, a client in a thread of its own asks and waits
// for each answer, as a test script does. Prints the median, the 90th
// percentile and the fastest of each query; a query the command table does
// not know yet says so instead of a figure.
//
// The waveform is the longest frame the instrument gives, 3840 points (the
// buffer's last size, 15 blocks), at the fastest time base, with CH1 and CH2
// on, then with CH1 alone. The loop of :DIGitize and :WAVeform:DATA? also
// prints the frames the instrument sent over it against those the window
// processed: the window still takes every frame.
//
// Repeat with: cmake --build <build> --target bench_scpi && <build>/bench/bench_scpi
// Optional argument: round trips per query (default 2000; a quarter of them
// for the loop that acquires).

#include "benchhome.h"
#include "device/libusbdevice.h"
#include "remote/remotecontrol.h"
#include "remote/scpiserver.h"
#include "scope/scopedisplay.h"

#include <QApplication>
#include <QSettings>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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
    bool acquires;
    QByteArray before; // sent once before the rounds
};

// What the window and its transport have counted, read on the window's thread.
struct FrameCounts {
    quint64 delivered = 0, processed = 0, dropped = 0, refused = 0;
};
using CountsReader = std::function<FrameCounts()>;

void measure(quint16 port, int rounds, const CountsReader &counts)
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
        {"*IDN?", "*IDN?\n", false},
        {":WAVeform:DATA? (CH1, BYTE)", ":WAVeform:SOURce CHANnel1;:WAVeform:FORMat BYTE;:WAVeform:DATA?\n", false},
        {":DIGitize + :WAVeform:DATA? (CH1, CH2)", ":DIGitize CHANnel1;:WAVeform:DATA?\n", true},
        // Half the bytes on the instrument's pipe for each frame.
        {":DIGitize + :WAVeform:DATA? (CH1 alone)", ":DIGitize CHANnel1;:WAVeform:DATA?\n", true,
         ":CHANnel2:DISPlay OFF;"},
    };
    // The fastest time base, and a frame to read.
    socket.write(":TIMebase:SCALe 8us;:DIGitize CHANnel1,CHANnel2;:WAVeform:POINts?;:TIMebase:SCALe?\n");
    if (readResponse(socket, buffer, response))
        std::printf("points a channel; seconds a division: %s\n", response.constData());
    std::printf("%-40s %10s %10s %10s %12s\n", "query", "median ms", "p90 ms", "min ms", "per second");
    for (const Query &q : queries) {
        socket.write(q.before + q.message + ":SYSTem:ERRor?\n");
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
        const int n = q.acquires ? std::max(1, rounds / 4) : rounds;
        std::vector<double> ms;
        ms.reserve(size_t(n));
        const FrameCounts before = counts();
        QElapsedTimer clock;
        for (int k = 0; k < n; ++k) {
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
        if (!q.acquires)
            continue;
        // A frame still on its way after the last stop is counted too.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const FrameCounts after = counts();
        double total = 0;
        for (const double t : ms)
            total += t;
        std::printf("%-40s %.1f loops a second over the run; frames the instrument sent %llu, the window "
                    "processed %llu (dropped %llu, refused %llu)\n",
                    "", 1000.0 * double(ms.size()) / total, after.delivered - before.delivered,
                    after.processed - before.processed, after.dropped - before.dropped,
                    after.refused - before.refused);
    }
}
} // namespace

int main(int argc, char *argv[])
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    QTemporaryDir home;
    prepareBenchHome(home);
    QApplication application(argc, argv);
    // A settings store that is not empty: the first frames run no autoset,
    // which would change the time base under the client.
    QSettings().setValue(QStringLiteral("loggingLevel"), 2);
    VeltoInterface window;
    if (!showConnected(window)) {
        std::fprintf(stderr, "the virtual instrument did not connect\n");
        return 1;
    }
    if (!window.remote()->listenAt(QHostAddress(QHostAddress::LocalHost), 0))
        return 1;
    const quint16 port = window.remote()->server()->port();
    // The longest frame: the buffer's last size, which the instrument's memory
    // holds with the two channels on and the logic off.
    Ui::VeltoInterface &ui = *window.form();
    ui.checkBoxCH1Trace->setChecked(true);
    ui.checkBoxCH2Trace->setChecked(true);
    ui.checkBoxCHDTrace->setChecked(false);
    // The memory check each switch starts is answered from the transport's
    // queue: the buffer box holds every size the instrument has room for
    // once the answers are in.
    LibUsbDevice::settleAll();
    ui.comboBoxADCBuffer->setCurrentIndex(ui.comboBoxADCBuffer->count() - 1);
    LibUsbDevice::settleAll();
    std::printf("record length asked %d, taken %d\n", ui.comboBoxADCBuffer->count() - 1,
                ui.comboBoxADCBuffer->currentIndex());
    const CountsReader counts = [&window] {
        FrameCounts c;
        QMetaObject::invokeMethod(
            &window,
            [&window, &c] {
                const ScopeDisplay::Counts &d = window.display()->counts();
                c = {window.session()->usb().queueCounts().delivered, d.framesShown, d.framesMissed,
                     d.framesRefused};
            },
            Qt::BlockingQueuedConnection);
        return c;
    };
    // The client waits for each answer; the window's event loop serves it.
    std::thread client([port, rounds, &counts] {
        measure(port, rounds, counts);
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    application.exec();
    client.join();
    return 0;
}
