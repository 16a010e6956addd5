// SPDX-License-Identifier: GPL-3.0-only
// Scope frames of the virtual instrument against reckoning of our own: the
// generator's period on CH1, trigger placement, the front end and meter blocks.

#include "virtual/benchhelpers.h"

#include <QtTest>

#include <cmath>

namespace {
// Rising crossings of `level` with a hysteresis band, interpolated; returns
// the mean period in samples (0 when fewer than two crossings).
double meanPeriod(const std::vector<int> &s, double level, double band)
{
    std::vector<double> at;
    bool low = false;
    for (size_t i = 1; i < s.size(); ++i) {
        low = low || s[i] < level - band;
        if (low && s[i - 1] < level && s[i] >= level) {
            at.push_back(double(i - 1) + (level - s[i - 1]) / double(s[i] - s[i - 1]));
            low = false;
        }
    }
    return at.size() < 2 ? 0.0 : (at.back() - at.front()) / double(at.size() - 1);
}

// Generator on CH1 with the ADC offset calibrated away.
void generatorOnCh1(TestBench &b, int waveform, int amplitude, uint32_t centiHz)
{
    b.calibrateAdc();
    b.set({{2, 1}, {31, waveform}, {30, amplitude}, {33, 0}});
    b.frequency(centiHz);
}
} // namespace

class TestVirtualScope : public QObject
{
    Q_OBJECT

private slots:
    void generatorPeriodMatchesTimeBase()
    {
        const struct {
            const char *name;
            int waveform, index;
            uint32_t centiHz;
            int dacBlocks;
        } rows[] = {{"sine 1 kHz at 32 kS/s", 0, 6, 100000, 1},
                    {"square 250 Hz at 16 kS/s, 512-sample DAC", 1, 7, 25000, 2},
                    {"square 40 kHz at 2 MS/s", 1, 0, 4000000, 1},
                    {"triangle 3.3 Hz at 800 S/s", 2, 11, 330, 1}};
        for (const auto &r : rows) {
            TestBench b;
            generatorOnCh1(b, r.waveform, 116, r.centiHz);
            b.set({{24, r.dacBlocks}, {1, r.index}, {13, 3}, {4, 0}, {25, 15}, {7, 0x81}});
            b.run(2);
            const double rate = ratePerSecond(r.index);
            const ScopeFrame f(b.frame(int64_t(4000 / rate * 1e6) + 1000000));
            const double period = meanPeriod(f.ch[0], 0.0, 10.0);
            const double expected = dacFrequency(r.centiHz / 100.0, 256 * r.dacBlocks);
            QVERIFY2(std::fabs(rate / period - expected) / expected < 2e-3, r.name);
            // The instrument's own period is in hundredths of a sample.
            QVERIFY2(std::fabs(MeterBlock(f.meter, 0).period / 100.0 - rate / expected) < 0.01 * period + 1.0, r.name);
        }
    }
    void edgeTriggerPutsCrossingAtPosition()
    {
        // Control byte, source, level, samples after the trigger.
        const int rows[][4] = {{0x82, 0, 30, 300}, {0x82, 0, -20, 20}, {0x92, 0, 10, 500}, // CH1 rising, falling
                               {0x92, 1, 35, 100}, {0xA2, 0, 0, 384}}; // CH2 falling, CH1 positive slope
        for (const auto &[control, source, level, post] : rows) {
            TestBench b;
            generatorOnCh1(b, 0, 116, 23700); // 237 Hz: not locked to anything
            // CH2 0 … 2 V at 2 V/div: 0 … 41 codes.
            b.set({{13, 3}, {14, 2}, {1, 5}, {25, 3}, {8, source}, {17, level & 0xFFFF}, {16, post}, {7, control}});
            b.run(2);
            const size_t position = size_t(768 - post);
            for (int i = 0; i < 5; ++i) {
                const ScopeFrame f(b.frame());
                const int before = f.ch[source][position - 1];
                const int at = f.ch[source][position];
                QVERIFY2(!(control & 0x10) ? (before < level && at >= level) : (before > level && at <= level),
                         qPrintable(QStringLiteral("control %1 level %2, frame %3: %4 then %5")
                                        .arg(control).arg(level).arg(i).arg(before).arg(at)));
            }
        }
    }
    void meterBlockAndFrontEnd()
    {
        TestBench b;
        // Without calibration a 0 V input reads +0.7 code, that is 1.
        b.set({{2, 0}, {13, 3}, {1, 4}, {25, 15}, {7, 0x81}});
        b.run(2);
        QCOMPARE(MeterBlock(ScopeFrame(b.frame()).meter, 0).average, 128);
        // A constant 1 V: 1/vdiv × 40.96 codes, clipped at 127; inverted; removed by AC coupling.
        b.calibrateAdc();
        b.set({{2, 1}, {31, 5}, {35, 14848}});
        const double vdiv[10] = {8, 4, 2, 0.8, 0.4, 0.2, 0.1, 0.05, 0.025, 0.0125};
        for (int g = 0; g < 10; ++g) {
            b.write(13, g);
            b.run(2);
            const MeterBlock m(ScopeFrame(b.frame()).meter, 0);
            const int code = std::min(127, int(std::lround(40.96 / vdiv[g])));
            QVERIFY(m.maximum == code && m.minimum == code && m.average == code * 128 && m.rms == code * 128);
            QCOMPARE(m.gain, g);
        }
        b.set({{13, 3}, {3, 1 | 4}});
        b.run(2);
        QCOMPARE(MeterBlock(ScopeFrame(b.frame()).meter, 0).average, -51 * 128);
        b.write(3, 1 | 2);
        b.run(2);
        QCOMPARE(MeterBlock(ScopeFrame(b.frame()).meter, 0).maximum, 0);
        // A 1.0008 V sine at 1 kHz on 125 kS/s: RMS A/√2, mean 0, a period of 125 samples.
        b.set({{3, 1}, {31, 0}, {30, 116}});
        b.frequency(100000);
        b.run(2);
        const ScopeFrame f(b.frame());
        const MeterBlock m(f.meter, 0);
        const double peak = (116 / 115.91) / (0.8 / 40.96);
        QVERIFY(m.maximum == int(std::lround(peak)) && m.minimum == -int(std::lround(peak)));
        QVERIFY2(std::fabs(m.rms / 128.0 - peak / std::sqrt(2.0)) < 0.4, qPrintable(QString::number(m.rms)));
        QVERIFY(std::abs(m.average) < 64);
        const double samplesPerPeriod = 125000.0 / dacFrequency(1000, 256);
        QVERIFY(std::fabs(m.period / 100.0 - samplesPerPeriod) < 0.2);
        QVERIFY(std::abs(m.zeroSecond - m.zeroFirst - samplesPerPeriod) <= 1.0);
        QCOMPARE(b.meterRead(), f.meter); // the 36-byte meter read while the scope runs
    }
};

QTEST_GUILESS_MAIN(TestVirtualScope)
#include "tst_virtualscope.moc"
