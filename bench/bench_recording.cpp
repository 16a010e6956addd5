// SPDX-License-Identifier: GPL-3.0-only
// Recording at the fastest time base on the virtual instrument: the window
// runs its real event loop with CH1 and CH2 at 768 samples, the Record button
// is pressed, and after the given number of seconds pressed again. Printed:
// every ten seconds the frames recorded, the frames the instrument sent (the
// frames shown plus the gaps in their numbers), the resident memory and the
// file's size; at the end the same totals, memory at start and end, the
// file's size and the share of the process's CPU time.
//
// Repeat with: cmake --build build --target bench_recording && nice -n 10 build/bench/bench_recording [seconds]
// (600 by default). It runs on the offscreen platform with a temporary home
// and working folder, so nothing of the user's is touched; the recording is
// deleted at the end.

#include "benchhome.h"
#include "app/appsettings.h"
#include "app/veltointerface.h"
#include "device/devicesession.h"
#include "device/virtual/virtualusbbackend.h"
#include "scope/recordcontrols.h"
#include "scope/scopedisplay.h"
#include "core/scope/wavetext.h"
#include "ui_veltointerface.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {
double residentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kilobytes = 0;
            status >> kilobytes;
            return kilobytes / 1024.0;
        }
    }
    return 0;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec * 1e-6;
}

void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

// The cost of turning one frame into its block: CH1 and CH2 of 768 values
// of a sine on the plot's grid of 1.5625 units, no logic.
double blockMilliseconds()
{
    QVector<QVector<double>> frame(10);
    for (int i = 0; i < 768; ++i) {
        const int code = int(100 * std::sin(i * 0.05));
        frame[0] << 520 + 1.5625 * code;
        frame[1] << 700 + 1.5625 * (code / 2);
    }
    QElapsedTimer timer;
    timer.start();
    qint64 bytes = 0;
    const int repeats = 500;
    for (int k = 0; k < repeats; ++k)
        bytes += WaveText::recordingBlock(8, frame).toUtf8().size();
    return bytes > 0 ? timer.nsecsElapsed() / 1e6 / repeats : 0;
}

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 600;
    std::printf("one frame to its block: %.3f ms\n", blockMilliseconds());
    QTemporaryDir home;
    prepareBenchHome(home);
    AppSettings::setApplicationIdentity();
    QApplication app(argc, argv);

    VeltoInterface w;
    RecordControls::Dialogs quiet;
    quiet.inform = [](const QString &, const QString &) {};
    w.record()->setDialogs(quiet);
    if (!showConnected(w)) {
        std::printf("the virtual instrument did not connect\n");
        return 1;
    }
    w.form()->samplingSlider->setValue(0);
    w.form()->comboBoxADCBuffer->setCurrentIndex(2);
    wait(1000);

    const ScopeDisplay::Counts &counts = w.display()->counts();
    const quint64 sent0 = counts.framesShown + counts.framesMissed;
    const double memory0 = residentMegabytes();
    const double cpu0 = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    w.form()->recordButton->click();
    const RecordingWriter &writer = w.record()->recordingWriter();
    const QString path = QFileInfo(writer.fileName()).absoluteFilePath();
    std::printf("recording %d s at the fastest time base, CH1 and CH2 of 768 samples\n", seconds);
    std::printf("%6s %10s %10s %9s %10s\n", "s", "recorded", "sent", "RSS MB", "file MB");
    double memoryPeak = memory0;
    for (int t = 1; t <= seconds; ++t) {
        wait(1000);
        memoryPeak = std::max(memoryPeak, residentMegabytes());
        if (t % 10 == 0 || t == seconds)
            std::printf("%6d %10lld %10llu %9.1f %10.1f\n", t, static_cast<long long>(writer.blocksWritten()),
                        static_cast<unsigned long long>(counts.framesShown + counts.framesMissed - sent0),
                        residentMegabytes(), writer.bytesWritten() / 1048576.0);
    }
    const qint64 recorded = writer.blocksWritten();
    const quint64 sent = counts.framesShown + counts.framesMissed - sent0;
    w.form()->recordButton->click();
    const double elapsed = wall.elapsed() / 1000.0;
    const double cpu = processCpuSeconds() - cpu0;
    const qint64 size = QFileInfo(path).size();
    std::printf("\nframes recorded %lld of %llu sent (%.1f %%), %.0f frames/s\n", static_cast<long long>(recorded),
                static_cast<unsigned long long>(sent), sent ? 100.0 * double(recorded) / double(sent) : 0.0,
                double(recorded) / elapsed);
    std::printf("memory: %.1f MB at start, %.1f MB at end, %.1f MB at most\n", memory0, residentMegabytes(),
                memoryPeak);
    std::printf("file: %.1f MB (%.2f MB/s), CPU %.1f %% of one core\n", size / 1048576.0,
                size / 1048576.0 / elapsed, 100.0 * cpu / elapsed);
    QFile::remove(path);
    w.close();
    return 0;
}
