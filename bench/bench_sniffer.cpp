// SPDX-License-Identifier: GPL-3.0-only
// The sniffer display of the real window:
//
//  1. For each protocol a full frame (every ring full, counts at the ring's
//     size) built here is handed to the sniffer's tick, SnifferControls::
//     sniffDataShow(), with a new frame number each time, and the views it
//     rewrites are painted at once (so their text layout is included).
//     Median and 95th percentile of that, in hexadecimal and in ASCII, with
//     Circular on (the ring order) and off.
//  2. Velto runs the sniffer on the virtual instrument (frames every 50 ms
//     on the wall clock) for a while (5 s a protocol by default) and prints
//     the gaps between display ticks: median, 95th percentile and largest,
//     against the 4 ms the timer asks for.
//
// Repeat with: cmake --build build --target bench_sniffer && build/bench/bench_sniffer [frames] [seconds]
// It runs on the offscreen platform with a temporary home, so the user's
// settings are never touched.

#include "benchhome.h"
#include "app/appsettings.h"
#include "app/veltointerface.h"
#include "device/devicesession.h"
#include "core/device/frames.h"
#include "device/virtual/virtualusbbackend.h"
#include "core/instruments/sniffdecoders.h"
#include "instruments/sniffercontrols.h"
#include "ui_veltointerface.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {
struct Figures {
    double median;
    double p95;
    double largest;
};

Figures figures(std::vector<double> v)
{
    if (v.empty())
        return {0, 0, 0};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, size_t(std::ceil(v.size() * 0.95)) - 1)], v.back()};
}

// A full frame of `protocol`: random printable and unprintable bytes, every
// UART position used by one receiver or both, I2C events of every kind.
QByteArray fullFrame(int protocol, uint16_t number, std::mt19937 &random)
{
    std::vector<unsigned char> d(Frames::snifferMinimumLength);
    for (size_t i = Frames::snifferHeaderSize; i < d.size(); ++i)
        d[i] = uchar(random());
    const int rings[] = {SniffDecoders::spiRing, SniffDecoders::i2cRing, SniffDecoders::uartRing,
                         SniffDecoders::parallelRing};
    const int ring = rings[protocol];
    if (protocol == SniffDecoders::Uart)
        for (int i = 0; i < SniffDecoders::uartRing; ++i)
            d[SniffDecoders::uartAttributeOffset + i] = uchar(1 + i % 3);
    if (protocol == SniffDecoders::I2c) {
        const uchar events[] = {0x84, 0x83, 0x81, 0x80, 0x88, 0x83, 0x81, 0x90, 0x81, 0xa0, 0xc0};
        for (int i = 0; i < SniffDecoders::i2cRing; ++i)
            d[SniffDecoders::spiStream2Offset + i] = events[i % sizeof events];
    }
    const char header[] = {'B', char(number), char(number >> 8), char(protocol), char(ring), char(ring >> 8),
                           char(ring), char(ring >> 8)};
    std::memcpy(d.data(), header, sizeof header);
    return QByteArray(reinterpret_cast<const char *>(d.data()), int(d.size()));
}

void hand(VeltoInterface &w, const QByteArray &frame)
{
    LibUsbDevice &usb = w.session()->usb();
    std::memcpy(usb.dataBuffer, frame.constData(), size_t(frame.size()));
    usb.dataLength = frame.size();
    usb.dataReady = true;
    w.sniffer()->sniffDataShow();
}

void timeFrames(VeltoInterface &w, int protocol, bool ascii, bool circular, int count)
{
    static const char *names[] = {"SPI", "I2C", "UART", "parallel"};
    Ui::VeltoInterface *ui = w.form();
    ui->protocolTabWidget->setCurrentIndex(protocol);
    ui->checkBoxASCII->setChecked(ascii);
    ui->checkBoxCircular->setChecked(circular);
    ui->startSnifferButton->click();
    const QList<QPlainTextEdit *> views[] = {{ui->mosiTextEdit, ui->misoTextEdit},
                                             {ui->i2cPlainTextEdit},
                                             {ui->rxTextEdit, ui->txTextEdit},
                                             {ui->plainTextEditParallel}};
    std::mt19937 random(17u + unsigned(protocol));
    std::vector<QByteArray> frames;
    for (int k = 0; k < 16; ++k)
        frames.push_back(fullFrame(protocol, uint16_t(k + 1), random));
    std::vector<double> times;
    QElapsedTimer clock;
    for (int k = 0; k < count; ++k) {
        QByteArray &frame = frames[size_t(k % 16)];
        frame[1] = char(k + 1); // a new frame number every time
        frame[2] = char((k + 1) >> 8);
        clock.start();
        hand(w, frame);
        for (QPlainTextEdit *view : views[protocol])
            view->viewport()->repaint();
        times.push_back(clock.nsecsElapsed() * 1e-6);
    }
    ui->startSnifferButton->click();
    int characters = 0;
    for (QPlainTextEdit *view : views[protocol])
        characters += view->toPlainText().size();
    const Figures f = figures(times);
    std::printf("%-9s %-5s %-12s %7d characters  median %7.2f ms  p95 %7.2f ms\n", names[protocol],
                ascii ? "ASCII" : "hex", circular ? "circular" : "plain", characters, f.median, f.p95);
}

void runLive(VeltoInterface &w, int protocol, int seconds)
{
    static const char *names[] = {"SPI", "I2C", "UART", "parallel"};
    Ui::VeltoInterface *ui = w.form();
    ui->protocolTabWidget->setCurrentIndex(protocol);
    ui->startSnifferButton->click();
    std::vector<double> gaps;
    QElapsedTimer clock;
    clock.start();
    qint64 last = -1;
    const QMetaObject::Connection tick = QObject::connect(&w.displayTimer(), &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0)
            gaps.push_back((now - last) * 1e-6);
        last = now;
    });
    while (clock.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QObject::disconnect(tick);
    ui->startSnifferButton->click();
    const Figures f = figures(gaps);
    std::printf("%-9s %6zu ticks  gap median %6.2f ms  p95 %6.2f ms  largest %6.2f ms  fill %d\n", names[protocol],
                gaps.size(), f.median, f.p95, f.largest, ui->progressBarSnifferBufferFill->value());
}
} // namespace

int main(int argc, char **argv)
{
    const int count = argc > 1 ? std::max(20, std::atoi(argv[1])) : 200;
    const int seconds = argc > 2 ? std::max(0, std::atoi(argv[2])) : 5;

    QTemporaryDir home;
    prepareBenchHome(home);
    QApplication app(argc, argv);
    AppSettings::setApplicationIdentity();
    VirtualUsbBackend::shared().instrument().setAttached(false);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    VeltoInterface w;
    w.resize(1600, 1000);
    w.show();
    w.form()->mainTabWidget->setCurrentIndex(2);
    QCoreApplication::processEvents();
    w.displayTimer().stop();
    std::printf("A full sniffer frame decoded and shown, %d frames each (median and 95th percentile)\n", count);
    for (int protocol = 0; protocol < 4; ++protocol)
        for (bool ascii : {false, true})
            for (bool circular : {false, true})
                timeFrames(w, protocol, ascii, circular, count);

    if (seconds == 0)
        return 0;
    std::printf("\nThe sniffer on the virtual instrument, frames every 50 ms, %d s each: display tick gaps (timer 4 ms)\n",
                seconds);
    VirtualUsbBackend::shared().instrument().setAttached(true);
    w.form()->connectButton->click();
    QElapsedTimer wait;
    wait.start();
    while (w.form()->connectButton->text() != QLatin1String("Disconnect") && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    w.displayTimer().start(4);
    for (int protocol = 0; protocol < 4; ++protocol)
        runLive(w, protocol, seconds);
    return 0;
}
