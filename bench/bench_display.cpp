// SPDX-License-Identifier: GPL-3.0-only
// The scope display of the real window, on a 1280 × 800 plot:
//
//  1. Frames built here are fed through the display tick, ScopeDisplay::scopeDataShow()
//     one tick at a time. "frame" is the frame handling up to the graph
//     data (everything the tick does but the drawing); "tick" adds the
//     replot (QCustomPlot::replot with an immediate refresh of the shown,
//     offscreen widget), "replot" is that replot alone. Median and 95th
//     percentile over many ticks, for two channels of 768 samples and for
//     the largest frame (CH1, CH2 and logic of 3840 samples each), with
//     persistence and FFT off and on. "extra frame" is what each further
//     frame queued for the same tick adds (five frames a tick against one).
//  2. Persistence over a long run: frames of a drifting sine at the rate
//     the virtual instrument sends them at its fastest time base, as many
//     as one and ten minutes bring, then the replot time and the memory
//     of the persistence picture.
//  3. Velto runs on the virtual instrument at its fastest frame rate for
//     a while (10 s by default) and prints the frames the instrument sent
//     (acquired), those the display processed and those dropped (from the
//     gaps in the frame numbers; those a full transport queue dropped
//     among them), the paints a second, the CPU time the process used and
//     its resident memory; last, the same at the slowest time base, where
//     nearly nothing arrives.
//  4. The automatic measurements alone: every quantity of both channels,
//     their delay and phase, and frequency, duty and edges of the eight
//     logic bits of the largest frame, per frame (median of many). Parts 1
//     and 3 run with ten measurements chosen on the measurement panel, so
//     their frame times and CPU include the panel's work.
//  5. The time from pressing Connect to the first frame shown, five times.
//
// Repeat with: cmake --build build --target bench_display && build/bench/bench_display [ticks] [seconds]
// It runs on the offscreen platform with a temporary home, so the user's
// settings are never touched.

#include "benchhome.h"
#include "app/appsettings.h"
#include "app/veltointerface.h"
#include "device/devicesession.h"
#include "instruments/generatorcontrols.h"
#include "scope/channelcontrols.h"
#include "scope/cursorcontrols.h"
#include "scope/plotinteraction.h"
#include "scope/scopedisplay.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "scope/fftcontrols.h"
#include "scope/persistenceimage.h"
#include "scope/triggercontrols.h"
#include "core/device/frames.h"
#include "core/scope/measurementset.h"
#include "device/virtual/virtualusbbackend.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QFile>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

namespace {
double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec * 1e-6;
}

// Resident memory of the process in MB.
double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

void deliver(VeltoInterface &w, const QByteArray &frame)
{
    w.session()->usb().deliverRead(reinterpret_cast<const unsigned char *>(frame.constData()), frame.size());
}

struct Figures {
    double median;
    double p95;
};

Figures figures(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    if (v.empty())
        return {0, 0};
    return {v[v.size() / 2], v[std::min(v.size() - 1, size_t(std::ceil(v.size() * 0.95)) - 1)]};
}

QByteArray buildFrame(uint8_t mask, int n, uint16_t number)
{
    QByteArray frame(Frames::scopeFrameLength(mask, n), '\0');
    auto *d = reinterpret_cast<unsigned char *>(frame.data());
    frameconfig_t header{};
    header.frameType = Frames::scopeFrameType;
    header.frameNumber = number;
    header.channelMask = mask;
    header.analogMask = mask & 3;
    header.samplesPerChannel = uint16_t(n);
    header.samplingIndex = 8;
    Frames::writeScopeHeader(header, d);
    int offset = Frames::scopeHeaderSize;
    for (int block = 0; block < 3; ++block) {
        if (!(mask & (1 << block)))
            continue;
        for (int i = 0; i < n; ++i) {
            // A sine with a little wobble on the analog channels, a counter on the logic.
            const double phase = (i + number * 7) * 2.0 * M_PI / 97.0;
            d[offset + i] = block == 2 ? uchar(i / 3) : uchar(int8_t(std::lround(90 * std::sin(phase + block))));
        }
        offset += n;
    }
    return frame;
}

void configure(VeltoInterface &w, bool logic, int bufferIndex, bool persistence, bool fft)
{
    Ui::VeltoInterface *ui = w.form();
    ui->checkBoxCH1Trace->setChecked(true);
    ui->checkBoxCH2Trace->setChecked(true);
    ui->checkBoxCHDTrace->setChecked(logic);
    w.channels()->bufferComboBoxItemChange(ui->comboBoxADCBuffer, 15);
    ui->comboBoxADCBuffer->setCurrentIndex(bufferIndex);
    ui->checkBoxPersistence->setChecked(persistence);
    ui->checkBoxFFTTrace->setChecked(fft);
    ui->checkBoxFFTCH1->setChecked(true);
    ui->checkBoxFFTCH2->setChecked(true);
    ui->checkBoxmeterondev->setChecked(false); // the host measures: the heavier path
    ui->checkBoxScopeCursorsHorizontal->setChecked(true);
    w.cursors()->cursorsHorizontalChanged(true);
}

void timeTicks(VeltoInterface &w, const char *name, bool logic, int n, bool persistence, bool fft, int ticks)
{
    // Persistence keeps what earlier cases drew until it is switched off:
    // every case starts from a plot cleared by one tick without it.
    w.form()->checkBoxPersistence->setChecked(false);
    w.scopeState()->redrawRequested = true;
    w.display()->scopeDataShow();
    configure(w, logic, n / 256 - 1, persistence, fft);
    const uint8_t mask = Frames::Ch1 | Frames::Ch2 | (logic ? Frames::Chd : 0);
    std::vector<QByteArray> frames;
    for (int k = 0; k < 16; ++k)
        frames.push_back(buildFrame(mask, n, uint16_t(k + 1)));
    std::vector<double> frameTimes;
    std::vector<double> tickTimes;
    std::vector<double> replotTimes;
    std::vector<double> fiveTimes;
    QElapsedTimer clock;
    for (int t = 0; t < ticks + 20; ++t) {
        const QByteArray &frame = frames[size_t(t) % frames.size()];
        deliver(w, frame);
        clock.start();
        w.display()->scopeDataShow();
        const qint64 handled = clock.nsecsElapsed();
        w.scopePlot()->plot()->replot(QCustomPlot::rpImmediateRefresh);
        const qint64 whole = clock.nsecsElapsed();
        if (t >= 20) { // the first ticks size the graphs and caches
            frameTimes.push_back(handled / 1e6);
            tickTimes.push_back(whole / 1e6);
            replotTimes.push_back((whole - handled) / 1e6);
        }
    }
    for (int t = 0; t < ticks / 2; ++t) {
        for (int k = 0; k < 5; ++k)
            deliver(w, frames[size_t(t * 5 + k) % frames.size()]);
        clock.start();
        w.display()->scopeDataShow();
        fiveTimes.push_back(clock.nsecsElapsed() / 1e6);
    }
    const Figures f = figures(frameTimes);
    const Figures t = figures(tickTimes);
    const Figures r = figures(replotTimes);
    const Figures five = figures(fiveTimes);
    std::printf("%-30s persistence %-3s fft %-3s  frame %7.3f ms (p95 %7.3f)  tick %7.3f ms (p95 %7.3f)  "
                "replot %7.3f ms  extra frame %6.3f ms\n",
                name, persistence ? "on" : "off", fft ? "on" : "off", f.median, f.p95, t.median, t.p95, r.median,
                (five.median - f.median) / 4);
}

// Persistence on for as many frames as `minutes` bring at `rate` a second:
// the replot time after one and after ten minutes, and the picture's memory.
void persistenceRun(VeltoInterface &w, const char *name, bool logic, int n, double rate, double secondsPerMinute = 60)
{
    w.form()->checkBoxPersistence->setChecked(false);
    w.scopeState()->redrawRequested = true;
    w.display()->scopeDataShow();
    configure(w, logic, n / 256 - 1, true, false);
    const uint8_t mask = Frames::Ch1 | Frames::Ch2 | (logic ? Frames::Chd : 0);
    std::vector<QByteArray> frames;
    for (int k = 0; k < 97; ++k)
        frames.push_back(buildFrame(mask, n, uint16_t(k + 1)));
    QElapsedTimer clock;
    quint64 fed = 0;
    std::vector<double> processing;
    for (int minutes : {1, 10}) {
        const quint64 until = quint64(rate * secondsPerMinute * minutes);
        processing.clear();
        clock.start();
        for (; fed < until; ++fed) {
            QByteArray &frame = frames[size_t(fed % frames.size())];
            // Every frame its own number, so none counts as a repeat.
            frame[1] = char(fed & 0xFF);
            frame[2] = char((fed >> 8) & 0xFF);
            deliver(w, frame);
            if (fed % 4 == 3) {
                QElapsedTimer one;
                one.start();
                w.display()->scopeDataShow();
                processing.push_back(one.nsecsElapsed() / 1e6 / 4);
            }
        }
        const double feeding = clock.elapsed() / 1000.0;
        std::vector<double> replots;
        for (int k = 0; k < 40; ++k, ++fed) {
            // A new frame before each replot, so that the picture is painted again.
            QByteArray &frame = frames[size_t(fed % frames.size())];
            frame[1] = char(fed & 0xFF);
            frame[2] = char((fed >> 8) & 0xFF);
            deliver(w, frame);
            w.display()->scopeDataShow();
            clock.start();
            w.scopePlot()->plot()->replot(QCustomPlot::rpImmediateRefresh);
            replots.push_back(clock.nsecsElapsed() / 1e6);
        }
        const Figures r = figures(replots);
        const Figures per = figures(processing);
        std::printf("%-30s persistence after %2d min%s (%7llu frames, fed in %5.1f s, %6.3f ms a frame in ticks of 4):"
                    " replot %6.2f ms (p95 %6.2f), picture %5.1f MB\n",
                    name, minutes, secondsPerMinute == 60 ? "" : " (shortened)", static_cast<unsigned long long>(fed),
                    feeding, per.median, r.median, r.p95,
                    w.scopePlot()->graphs().persistence->memoryBytes() / 1048576.0);
    }
}

// Ten rows on the measurement panel, as a user watching both channels has them.
const char *const tenMeasurements = "CH1:Vpp,CH1:Frequency,CH1:RiseTime,CH1:Duty,CH2:Frequency,CH2:Duty,"
                                    "CH2:RiseTime,CH2:Overshoot,CH1-CH2:Delay,D0:Frequency";

void timeMeasurements(const char *name, int n, bool logic, int frames)
{
    std::vector<double> ch1(static_cast<size_t>(n)), ch2(static_cast<size_t>(n));
    std::vector<std::vector<double>> bits(logic ? 8 : 0, std::vector<double>(static_cast<size_t>(n)));
    std::vector<double> times, channelTimes;
    double sink = 0.0;
    for (int f = 0; f < frames; ++f) {
        // A sine and a square with finite edges that drift from frame to frame.
        for (int k = 0; k < n; ++k) {
            ch1[size_t(k)] = 2.0 * std::sin(2 * M_PI * (k + f * 0.37) / 41.3) + 0.01 * ((k * 7919) % 13);
            const double t = std::fmod(k + f * 0.37, 64.0);
            ch2[size_t(k)] = t < 4 ? t / 4 : t < 32 ? 1.0 : t < 36 ? (36 - t) / 4 : 0.0;
            for (size_t b = 0; b < bits.size(); ++b)
                bits[b][size_t(k)] = ((k + f) >> (b + 1)) & 1;
        }
        QElapsedTimer timer;
        timer.start();
        Measure::Set a = Measure::measure({ch1.data(), n, 1e-6, 0.02, false, false});
        const Measure::Set b = Measure::measure({ch2.data(), n, 1e-6, 0.02, false, false});
        Measure::measureBetween(a, b);
        const qint64 channels = timer.nsecsElapsed();
        for (const std::vector<double> &bit : bits)
            sink += Measure::measure({bit.data(), n, 1e-6, 0.5, false, false, true})[Measure::Frequency].value;
        times.push_back(timer.nsecsElapsed() / 1e6);
        channelTimes.push_back(channels / 1e6);
        sink += a[Measure::Phase].value + b[Measure::RiseTime].value;
    }
    std::sort(times.begin(), times.end());
    std::sort(channelTimes.begin(), channelTimes.end());
    std::printf("%-30s every measurement of both channels: %7.4f ms a frame (p95 %7.4f)", name,
                channelTimes[channelTimes.size() / 2], channelTimes[channelTimes.size() * 95 / 100]);
    if (!bits.empty())
        std::printf(", with the eight logic bits: %7.4f ms (p95 %7.4f)", times[times.size() / 2],
                    times[times.size() * 95 / 100]);
    std::printf("%s\n", sink == 0.123 ? " " : "");
}

struct LiveCase {
    const char *name;
    bool ch2;
    bool logic;
    int bufferIndex;
    bool slowest;
};

void runLive(const LiveCase &c, int seconds)
{
    // Every window saves its controls when it closes: each case starts from
    // the defaults, not from what the case before it left behind.
    QSettings().clear();
    QSettings().setValue(QStringLiteral("measurements"), QLatin1String(tenMeasurements));
    VeltoInterface w;
    if (!showConnected(w)) {
        std::printf("live: the virtual instrument did not connect\n");
        return;
    }
    Ui::VeltoInterface *ui = w.form();
    // The fastest time base (or the slowest), and the frame shape of the case.
    ui->samplingSlider->setValue(c.slowest ? 21 : 0);
    if (!c.ch2)
        ui->checkBoxCH2Trace->click();
    if (c.logic)
        ui->checkBoxCHDTrace->click();
    ui->comboBoxADCBuffer->setCurrentIndex(c.bufferIndex);
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();

    quint64 paints = 0;
    QObject::connect(w.scopePlot()->plot(), &QCustomPlot::afterReplot, [&paints] { ++paints; });
    const quint64 shown0 = w.display()->counts().framesShown;
    const quint64 missed0 = w.display()->counts().framesMissed;
    const quint64 refused0 = w.display()->counts().framesRefused;
    const quint64 overflow0 = w.session()->usb().queueCounts().overflowed;
    const double cpu0 = processCpuSeconds();
    const double gui0 = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // A real event loop, as in the application: a loop of processEvents()
    // would spin and count its own spinning as CPU time.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = wall.elapsed() / 1000.0;
    const double cpu = processCpuSeconds() - cpu0;
    const double gui = threadCpuSeconds() - gui0;
    const quint64 shown = w.display()->counts().framesShown - shown0;
    const quint64 missed = w.display()->counts().framesMissed - missed0;
    const quint64 refused = w.display()->counts().framesRefused - refused0;
    const quint64 overflow = w.session()->usb().queueCounts().overflowed - overflow0;
    // Refused reads carry numbers too (a shape before a change), now not counted as dropped.
    const quint64 sent = shown + missed + refused;
    std::printf("%-30s acquired %6llu (%4.0f/s), processed %6llu (%5.1f %%), dropped %5llu (%4.1f %%, %llu by a full "
                "queue), refused %4llu, paints %5.1f/s, CPU %5.1f %% (GUI thread %5.1f %%), resident %5.1f MB\n",
                c.name, static_cast<unsigned long long>(sent), sent / elapsed, static_cast<unsigned long long>(shown),
                sent ? 100.0 * shown / sent : 0.0, static_cast<unsigned long long>(missed),
                sent ? 100.0 * missed / sent : 0.0, static_cast<unsigned long long>(overflow),
                static_cast<unsigned long long>(refused), paints / elapsed,
                100.0 * cpu / elapsed, 100.0 * gui / elapsed, residentMegabytes());
    w.close();
}
// From pressing Connect to the first frame shown, at the defaults (the
// session waits its scope start delay before it starts the scope, as with
// the instrument): the window connects, is disconnected, and Connect is
// pressed again, a few times; each time is printed.
void timeConnect(int times)
{
    QSettings().clear();
    VeltoInterface w;
    w.resize(1600, 1000);
    w.show();
    VirtualUsbBackend::shared().instrument().setAttached(true);
    QPushButton *button = w.form()->connectButton;
    const auto waitFor = [](const std::function<bool()> &done, int ms) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        return done();
    };
    // The window connects by itself as it starts.
    if (!waitFor([button] { return button->text() == QStringLiteral("Disconnect"); }, 5000)) {
        std::printf("connect: the virtual instrument did not connect\n");
        return;
    }
    std::printf("From pressing Connect to the first frame shown:");
    for (int i = 0; i < times; ++i) {
        button->click();
        waitFor([] { return false; }, 300);
        const quint64 shown = w.display()->counts().framesShown;
        QElapsedTimer pressed;
        pressed.start();
        button->click();
        if (!waitFor([&] { return w.display()->counts().framesShown > shown; }, 10000)) {
            std::printf(" no frame");
            break;
        }
        std::printf(" %lld ms", static_cast<long long>(pressed.elapsed()));
    }
    std::printf("\n");
    w.close();
}
} // namespace

int main(int argc, char **argv)
{
    const int ticks = argc > 1 ? std::max(50, std::atoi(argv[1])) : 400;
    const int seconds = argc > 2 ? std::max(0, std::atoi(argv[2])) : 10;
    // A third argument "largest" times only the largest frame without
    // persistence, "persistence" only its long run with persistence (for
    // profiling); a fourth shortens that run's "minute" to so many seconds of
    // frames, so that it fits under valgrind. "live" runs only the live cases.
    const bool largestOnly = argc > 3 && std::strcmp(argv[3], "largest") == 0;
    const bool persistenceOnly = argc > 3 && std::strcmp(argv[3], "persistence") == 0;
    const bool liveOnly = argc > 3 && std::strcmp(argv[3], "live") == 0;
    const double secondsPerMinute = argc > 4 ? std::max(0.1, std::atof(argv[4])) : 60;

    QTemporaryDir home;
    prepareBenchHome(home);
    QApplication app(argc, argv);
    AppSettings::setApplicationIdentity();
    VirtualUsbBackend::shared().instrument().setAttached(false);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    if (!liveOnly) {
        timeMeasurements("CH1+CH2, 768 samples", 768, false, 2000);
        timeMeasurements("CH1+CH2+logic, 3840 samples", 3840, true, 500);
        std::printf("Display ticks on a 1280 x 800 plot, %d ticks each (median and 95th percentile), "
                    "ten measurements on the panel\n", ticks);
        QSettings().setValue(QStringLiteral("measurements"), QLatin1String(tenMeasurements));
        VeltoInterface w;
        w.displayTimer().stop();
        w.resize(1600, 1000);
        w.show();
        QCoreApplication::processEvents();
        w.displayTimer().stop();
        // The plot itself is held at 1280 × 800 pixels.
        w.scopePlot()->plot()->setFixedSize(1280, 800);
        QCoreApplication::processEvents();
        std::printf("plot %d x %d pixels\n", w.scopePlot()->plot()->width(), w.scopePlot()->plot()->height());
        if (largestOnly)
            timeTicks(w, "CH1+CH2+logic, 3840 samples", true, 3840, false, false, ticks);
        if (persistenceOnly)
            persistenceRun(w, "CH1+CH2+logic, 3840 samples", true, 3840, 95, secondsPerMinute);
        for (bool persistence : {false, true}) {
            for (bool fft : {false, true}) {
                if (largestOnly || persistenceOnly)
                    break;
                timeTicks(w, "CH1+CH2, 768 samples", false, 768, persistence, fft, ticks);
                timeTicks(w, "CH1+CH2+logic, 3840 samples", true, 3840, persistence, fft, ticks);
            }
        }
        if (!largestOnly && !persistenceOnly) {
            std::printf("\n");
            persistenceRun(w, "CH1+CH2, 768 samples", false, 768, 424);
            persistenceRun(w, "CH1+CH2+logic, 3840 samples", true, 3840, 95);
        }
    }

    if (seconds == 0)
        return 0;
    std::printf("\nVelto on the virtual instrument at its fastest time base, %d s each\n", seconds);
    const LiveCase cases[] = {{"CH1+CH2, 768 samples", true, false, 2, false},
                              {"CH1 alone, 256 samples", false, false, 0, false},
                              {"CH1+CH2+logic, 3840 samples", true, true, 14, false},
                              {"CH1+CH2, 768, slowest base", true, false, 2, true}};
    for (const LiveCase &c : cases)
        runLive(c, seconds);
    timeConnect(5);
    return 0;
}
