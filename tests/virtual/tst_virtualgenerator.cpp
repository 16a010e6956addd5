// SPDX-License-Identifier: GPL-3.0-only
// The generator and the counter of the virtual instrument, measured from
// outside: waveforms, levels, noise, the frequency sweep, and the counter
// modes on the 32 MHz time base.

#include "virtual/benchhelpers.h"

#include "device/virtual/virtualgenerator.h"

#include <QtTest>

#include <cmath>

namespace {
GeneratorSettings on(int waveform, int amplitude = 116, int offset = 0)
{
    GeneratorSettings s;
    s.enabled = true;
    s.waveform = waveform;
    s.amplitude = amplitude;
    s.offset = offset;
    s.frequencyCentiHz = 100000;
    return s;
}

uint32_t counterRead(TestBench &b, int channel)
{
    return MeterBlock(b.meterRead(), channel).period;
}
} // namespace

class TestVirtualGenerator : public QObject
{
    Q_OBJECT

private slots:
    void waveformsAndLevels()
    {
        VirtualGenerator g;
        const double a = 116 / 115.91;
        const double o = 32 / 63.98;
        // Sine: a quarter period in, O + A.
        g.configure(on(0, 116, 32), nullptr);
        const double f = g.producedFrequency();
        QVERIFY(std::fabs(g.valueAt(0.25 / f + 1e-9) - (o + a)) < a * 0.03);
        // Square with duty 64/255: high for a quarter of the period.
        GeneratorSettings sq = on(1, 116, 32);
        sq.duty = 64;
        g.configure(sq, nullptr);
        QCOMPARE(g.valueAt(0.1 / f), double(float(o + a)));
        QCOMPARE(g.valueAt(0.3 / f), double(float(o - a)));
        // Triangle rising for the first D = 0.2 of the period: halfway down at (1 + D)/2, within a DAC step.
        GeneratorSettings tri = on(2);
        tri.duty = 51;
        g.configure(tri, nullptr);
        QVERIFY(std::fabs(g.valueAt(0.6 / f)) <= 2 * a / (0.8 * 256) + 1e-6);
        // Constant: L / 14848 V, whatever amplitude and offset say; DAC calibration
        // adds 1 mV per offset step and 0.1 % per gain step; disabled is 0 V.
        GeneratorSettings c = on(5, 232, 127);
        c.constantLevel = -22272;
        g.configure(c, nullptr);
        QCOMPARE(g.valueAt(0.123), double(float(-1.5)));
        c.constantLevel = 14848;
        c.offsetSteps = 5;
        c.gainSteps = -10;
        g.configure(c, nullptr);
        QVERIFY(std::fabs(g.valueAt(0.0) - (1.0 * 0.99 + 0.005)) < 1e-6);
        c.enabled = false;
        g.configure(c, nullptr);
        QCOMPARE(g.valueAt(0.5), 0.0);
        // The output is clipped to ±4 V.
        c = on(5);
        c.constantLevel = 29696;
        c.gainSteps = 500;
        g.configure(c, nullptr);
        QCOMPARE(g.valueAt(0.0), 3.0);
    }
    void sweepEachDirection()
    {
        // Frequency 10^(c/51) Hz from code 102 (100 Hz) to 153 (1 kHz); speed 118:
        // one sweep takes (128 − 118) × 50 ms = 0.5 s.
        VirtualGenerator g;
        GeneratorSettings s = on(0);
        s.sweepType = 4;
        s.sweepStart = 102;
        s.sweepEnd = 153;
        s.sweepSpeed = 118;
        g.configure(s, nullptr);
        QVERIFY(std::fabs(g.frequencyAt(0.0) - 100.0) < 0.01);
        QVERIFY(std::fabs(g.frequencyAt(0.25) - std::pow(10.0, 127.5 / 51)) < 0.01);
        QVERIFY(std::fabs(g.frequencyAt(0.4999) - 1000.0) < 1.0);
        QVERIFY(std::fabs(g.frequencyAt(0.5001) - 100.0) < 1.0);
        // The phase grows at the instantaneous frequency, without jumps.
        for (double t : {0.1, 0.499, 3.2}) {
            const double h = 1e-6;
            const double rate = (g.phaseAt(t + h) - g.phaseAt(t - h)) / (2 * h);
            QVERIFY2(std::fabs(rate - g.frequencyAt(t)) < 0.01 * g.frequencyAt(t), qPrintable(QString::number(t)));
            QVERIFY(std::fabs(g.timeAtPhase(g.phaseAt(t)) - t) < 1e-6);
        }
        // Ping-pong: up, then down again.
        s.sweepType = 4 | 2;
        g.configure(s, nullptr);
        QVERIFY(std::fabs(g.frequencyAt(0.5) - 1000.0) < 0.1);
        QVERIFY(std::fabs(g.frequencyAt(0.75) - std::pow(10.0, 127.5 / 51)) < 0.01);
    }
    void counterFrequencyAndPeriod()
    {
        TestBench b;
        b.set({{2, 1}, {31, 0}});
        b.frequency(1234500);
        b.write(0, 4);
        b.vi.advanceClock(3000000);
        // Logic bit b runs at 1000 / 2^b Hz; whole edges in a one-second gate.
        for (int bit : {0, 7}) {
            b.write(8, 2 + bit);
            QVERIFY(std::fabs(counterRead(b, 0) - 1000.0 / (1 << bit)) < 1.0);
        }
        b.write(8, 10); // EXT: the generator through the comparator
        const double f = dacFrequency(12345, 256);
        QVERIFY(std::fabs(double(counterRead(b, 0)) - f) <= 1.0);
        b.write(11, 1); // fast mode: a quarter-second gate, scaled
        QVERIFY(std::fabs(double(counterRead(b, 0)) - f) <= 4.0 && counterRead(b, 0) % 4 == 0);
        // Period mode: ticks of 32 MHz, high time in CH2's field.
        b.set({{0, 6}, {8, 2 + 1}}); // 500 Hz
        QVERIFY(counterRead(b, 0) == 64000u && counterRead(b, 1) == 32000u);
        // On the bus wiring: SPI's 32 clocks and one select every 20 ms.
        qputenv("VELTO_VSIM", "bus");
        TestBench bus;
        qunsetenv("VELTO_VSIM");
        bus.write(0, 4);
        bus.vi.advanceClock(3000000);
        for (const auto &[bit, hertz] : {std::pair{2, 1600u}, {5, 50u}}) {
            bus.write(8, 2 + bit);
            QCOMPARE(counterRead(bus, 0), hertz);
        }
    }
};

QTEST_GUILESS_MAIN(TestVirtualGenerator)
#include "tst_virtualgenerator.moc"
