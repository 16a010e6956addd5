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
    ~Slowest()
    {
        if (nanoseconds < 0)
            return;
        std::fprintf(stderr, "velto-fuzz: slowest input %.3f ms, %d bytes\n", nanoseconds / 1e6, int(input.size()));
        const QByteArray path = qgetenv("VELTO_FUZZ_SLOWEST");
        QFile file(QString::fromLocal8Bit(path));
        if (!path.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(input);
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
    }
}

} // namespace FuzzSupport
