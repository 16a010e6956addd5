// SPDX-License-Identifier: GPL-3.0-only
// Protocol decoding of the logic bits with UART, SPI and I2C on the virtual
// bench's bus wiring:
//
//  1. The time to decode the largest frame (3840 samples) with the three
//     decoders at once, at 62.5 kS/s and at 125 kS/s (median and slowest of
//     the runs), and the annotations it gives.
//  2. Velto on the virtual instrument with the bus wiring at its fastest
//     time base with the three decoders on, for a while (10 s by default):
//     the frames processed, and of those handed to the decoders how many
//     were decoded and how many skipped because the decoders were busy; the
//     frames dropped before processing, and the CPU time of the process
//     (and of its GUI thread). Then the same with no decoder, for comparison.
//
// Repeat with: cmake --build build --target bench_decode && build/bench/bench_decode [runs] [seconds]
// It runs on the offscreen platform with a temporary home.

#include "benchhome.h"
#include "app/appsettings.h"
#include "core/decode/decoderlibrary.h"
#include "core/decode/decodesession.h"
#include "device/virtual/virtualbus.h"
#include "scope/decoderpanel.h"
#include "scope/scopedisplay.h"

#include <QApplication>
#include <QEventLoop>
#include <QSettings>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {
double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec * 1e-6;
}

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

QVector<Decode::DecoderSetting> threeDecoders()
{
    return {{"uart", -1, {{"tx", 0}, {"rx", 1}}, {{"baudrate", 9600LL}}},
            {"spi", -1, {{"clk", 2}, {"mosi", 3}, {"miso", 4}, {"cs", 5}}, {}},
            {"i2c", -1, {{"scl", 6}, {"sda", 7}}, {}}};
}

void timeLargestFrame(int runs)
{
    std::printf("Decoding the largest frame (3840 samples) with UART, SPI and I2C, %d runs\n", runs);
    for (const int periodNs : {16000, 8000}) {
        // From 99 ms on: a UART line, an SPI read and an I2C transaction are in it.
        QVector<uint8_t> logic(3840);
        for (int i = 0; i < logic.size(); ++i)
            logic[i] = VirtualBus::levelsAt(99000000LL + int64_t(i) * periodNs);
        std::vector<double> ms;
        int annotations = 0;
        Decode::Library::decoders(); // loaded before the clock runs
        for (int r = 0; r < runs; ++r) {
            Decode::FrameDecoding out;
            QElapsedTimer t;
            t.start();
            Decode::decodeFrame(threeDecoders(), logic.constData(), logic.size(), 1000000000 / periodNs, &out);
            ms.push_back(t.nsecsElapsed() / 1e6);
            annotations = out.annotations.size();
        }
        std::sort(ms.begin(), ms.end());
        std::printf("  at %6.1f kS/s: median %7.2f ms, slowest %7.2f ms, %d annotations\n", 1e6 / periodNs,
                    ms[ms.size() / 2], ms.back(), annotations);
    }
}

void runLive(bool withDecoders, int seconds)
{
    QSettings().clear();
    // Not a first start: no autoset moves the time base.
    QSettings().setValue(QStringLiteral("wasMaximized"), false);
    VeltoInterface w;
    if (!showConnected(w)) {
        std::printf("live: the virtual instrument did not connect\n");
        return;
    }
    Ui::VeltoInterface *ui = w.form();
    ui->samplingSlider->setValue(0); // 2 MS/s
    ui->comboBoxADCBuffer->setCurrentIndex(ui->comboBoxADCBuffer->count() - 1);
    if (!ui->checkBoxCHDTrace->isChecked())
        ui->checkBoxCHDTrace->click();
    DecoderPanel *panel = w.decoders();
    if (withDecoders) {
        const QVector<Decode::DecoderSetting> three = threeDecoders();
        for (int d = 0; d < three.size(); ++d) {
            panel->addDecoder(three[d].id);
            for (auto c = three[d].channels.constBegin(); c != three[d].channels.constEnd(); ++c)
                panel->setChannel(d, c.key(), c.value());
            for (auto o = three[d].options.constBegin(); o != three[d].options.constEnd(); ++o)
                panel->setOption(d, o.key(), o.value());
        }
    }
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();
    panel->runner()->resetCounts();
    const quint64 shown0 = w.display()->counts().framesShown;
    const quint64 missed0 = w.display()->counts().framesMissed;
    const double cpu0 = processCpuSeconds();
    const double gui0 = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = wall.elapsed() / 1000.0;
    const double cpu = processCpuSeconds() - cpu0;
    const double gui = threadCpuSeconds() - gui0;
    const quint64 shown = w.display()->counts().framesShown - shown0;
    const quint64 missed = w.display()->counts().framesMissed - missed0;
    const Decode::DecodeRunner::Counts c = panel->runner()->counts();
    std::printf("%-14s processed %6llu frames (%5.1f %% of %llu sent, %llu dropped), decoded %5llu (%5.1f %% of "
                "processed), skipped %5llu, CPU %5.1f %% (GUI thread %5.1f %%)\n",
                withDecoders ? "three decoders" : "no decoder", static_cast<unsigned long long>(shown),
                shown + missed ? 100.0 * shown / (shown + missed) : 0.0,
                static_cast<unsigned long long>(shown + missed), static_cast<unsigned long long>(missed),
                static_cast<unsigned long long>(c.decoded), shown ? 100.0 * c.decoded / shown : 0.0,
                static_cast<unsigned long long>(c.skipped), 100.0 * cpu / elapsed, 100.0 * gui / elapsed);
    w.close();
}
} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 21;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    QTemporaryDir home;
    prepareBenchHome(home);
    qputenv("VELTO_VSIM", "bus");
    QApplication app(argc, argv);
    AppSettings::setApplicationIdentity();
    timeLargestFrame(runs);
    std::printf("\nVelto on the bus wiring at its fastest time base (2 MS/s, 3840 samples), %d s each\n", seconds);
    runLive(true, seconds);
    runLive(false, seconds);
    Decode::Library::finalize();
    return 0;
}
