// SPDX-License-Identifier: GPL-3.0-only
#include "fuzzsupport.h"

#include <QByteArray>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace FuzzSupport {

void silenceLog()
{
    static bool done = false;
    if (done)
        return;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    done = true;
}

namespace {
// Time on this thread's CPU: a run under nice on a shared machine is
// preempted often, and wall time would blame the input for it.
qint64 cpuNanoseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The first inputs pay for the toolkit's lazy set-up; they are not timed.
int untimed = 10;

struct Slowest {
    qint64 nanoseconds = -1;
    QByteArray input;
    QByteArray line() const
    {
        return QByteArray("velto-fuzz: slowest input ") + QByteArray::number(nanoseconds / 1e6, 'f', 3) + " ms, " +
               QByteArray::number(input.size()) + " bytes\n";
    }
    // Written whenever a slower input comes (rarely, once the run has
    // warmed up): a run that libFuzzer ends early, on a signal or a crash,
    // skips the exit, and its slowest input is still known.
    void save() const
    {
        const QString path = QString::fromLocal8Bit(qgetenv("VELTO_FUZZ_SLOWEST"));
        if (path.isEmpty())
            return;
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(input);
        QFile text(path + QStringLiteral(".txt"));
        if (text.open(QIODevice::WriteOnly | QIODevice::Truncate))
            text.write(line());
    }
    ~Slowest()
    {
        if (nanoseconds >= 0)
            std::fputs(line().constData(), stderr);
    }
};
Slowest slowest;
} // namespace

Timed::Timed(const uint8_t *data, size_t size) : data(data), size(size), started(cpuNanoseconds()) {}

Timed::~Timed()
{
    const qint64 spent = cpuNanoseconds() - started;
    if (untimed > 0) {
        --untimed;
        return;
    }
    if (spent > slowest.nanoseconds) {
        slowest.nanoseconds = spent;
        slowest.input = QByteArray(reinterpret_cast<const char *>(data), int(size));
        slowest.save();
    }
}

} // namespace FuzzSupport
