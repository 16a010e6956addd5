// Scope frames of the virtual instrument measured against reckoning of our
// own: layout, the generator's period on CH1, trigger placement, the front
// end, meter blocks and roll mode.

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
    void layoutForEveryMaskSizeAndRate();
    void generatorPeriodMatchesTimeBase_data();
    void generatorPeriodMatchesTimeBase();
    void edgeTriggerPutsCrossingAtPosition_data();
    void edgeTriggerPutsCrossingAtPosition();
    void logicAndWindowTriggers();
    void triggerModes();
    void meterBlockOfKnownSignals();
    void frontEndGainInvertCouplingAndMath();
    void rollFramesAdvanceStartIndex();
};

void TestVirtualScope::layoutForEveryMaskSizeAndRate()
{
    TestBench b;
    b.write(7, 0x81); // free running
    b.run(2);
    int previousNumber = -1;
    for (int mask = 0; mask < 8; ++mask) {
        b.set({{3, mask & 1}, {4, (mask >> 1) & 1}, {5, (mask >> 2) & 1}});
        for (int blocks : {1, 7, 15}) {
            b.write(25, blocks);
            for (int index = 0; index < 22; index += (mask == 7 && blocks == 15) ? 1 : 7) {
                b.write(1, index);
                const int n = 256 * blocks;
                b.vi.advanceClock(int64_t(std::ceil(n / ratePerSecond(index) * 1e6)) + 20000);
                const QByteArray raw = b.frame(1000, 1000);
                const int k = (mask & 1) + ((mask >> 1) & 1) + ((mask >> 2) & 1);
                QCOMPARE(raw.size(), 48 + k * n);
                const ScopeFrame f(raw);
                QVERIFY(f.valid);
                QCOMPARE(f.mask, mask);
                QCOMPARE(int(uint8_t(raw[4])), mask & 3);
                QCOMPARE(f.samples, n);
                QCOMPARE(f.samplingIndex, index);
                QCOMPARE(f.rollStart, 0);
                QVERIFY(f.frameNumber != previousNumber);
                previousNumber = f.frameNumber;
                QCOMPARE(MeterBlock(f.meter, 1).samplingIndex, index);
            }
        }
    }
}

void TestVirtualScope::generatorPeriodMatchesTimeBase_data()
{
    QTest::addColumn<int>("waveform");
    QTest::addColumn<int>("index");
    QTest::addColumn<uint32_t>("centiHz");
    QTest::addColumn<int>("dacBlocks");
    QTest::newRow("sine 1 kHz at 32 kS/s") << 0 << 6 << uint32_t(100000) << 1;
    QTest::newRow("sine 12.3 kHz at 500 kS/s") << 0 << 2 << uint32_t(1230000) << 1;
    QTest::newRow("square 250 Hz at 16 kS/s, 512-sample DAC") << 1 << 7 << uint32_t(25000) << 2;
    QTest::newRow("square 40 kHz at 2 MS/s") << 1 << 0 << uint32_t(4000000) << 1;
    QTest::newRow("triangle 3.3 Hz at 800 S/s") << 2 << 11 << uint32_t(330) << 1;
}

void TestVirtualScope::generatorPeriodMatchesTimeBase()
{
    QFETCH(int, waveform);
    QFETCH(int, index);
    QFETCH(uint32_t, centiHz);
    QFETCH(int, dacBlocks);
    TestBench b;
    generatorOnCh1(b, waveform, 116, centiHz);
    b.set({{24, dacBlocks}, {1, index}, {13, 3}, {4, 0}, {25, 15}, {7, 0x81}});
    b.run(2);
    const ScopeFrame f(b.frame(int64_t(4000 / ratePerSecond(index) * 1e6) + 1000000));
    QVERIFY(f.valid);
    const double period = meanPeriod(f.ch[0], 0.0, 10.0);
    QVERIFY(period > 0);
    const double expected = dacFrequency(centiHz / 100.0, 256 * dacBlocks);
    const double measured = ratePerSecond(index) / period;
    QVERIFY2(std::fabs(measured - expected) / expected < 2e-3,
             qPrintable(QStringLiteral("measured %1 Hz, expected %2 Hz").arg(measured).arg(expected)));
    // The instrument's own period is in hundredths of a sample.
    const MeterBlock m(f.meter, 0);
    QVERIFY(m.period > 0);
    QVERIFY(std::fabs(m.period / 100.0 - ratePerSecond(index) / expected) < 0.01 * period + 1.0);
}

void TestVirtualScope::edgeTriggerPutsCrossingAtPosition_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("post");
    QTest::newRow("rising at 30 on CH1") << 0x82 << 0 << 30 << 300;
    QTest::newRow("rising at -20 on CH1, late position") << 0x82 << 0 << -20 << 20;
    QTest::newRow("falling at 10 on CH1") << 0x92 << 0 << 10 << 500;
    QTest::newRow("rising at 20 on CH2") << 0x82 << 1 << 20 << 384;
    QTest::newRow("falling at 35 on CH2") << 0x92 << 1 << 35 << 100;
    QTest::newRow("positive slope at 0 on CH1") << 0xA2 << 0 << 0 << 384;
}

void TestVirtualScope::edgeTriggerPutsCrossingAtPosition()
{
    QFETCH(int, control);
    QFETCH(int, source);
    QFETCH(int, level);
    QFETCH(int, post);
    TestBench b;
    generatorOnCh1(b, 0, 116, 23700); // 237 Hz: not locked to anything
    // CH2 0 … 2 V at 2 V/div: 0 … 41 codes.
    b.set({{13, 3}, {14, 2}, {1, 5}, {25, 3}, {8, source}, {17, level & 0xFFFF}, {16, post}, {7, control}});
    b.run(2);
    const int position = 768 - post;
    const bool rising = !(control & 0x10);
    for (int i = 0; i < 5; ++i) {
        const ScopeFrame f(b.frame());
        QVERIFY(f.valid);
        const int before = f.ch[source][size_t(position - 1)];
        const int at = f.ch[source][size_t(position)];
        QVERIFY2(rising ? (before < level && at >= level) : (before > level && at <= level),
                 qPrintable(QStringLiteral("frame %1: %2 then %3").arg(i).arg(before).arg(at)));
    }
}

void TestVirtualScope::logicAndWindowTriggers()
{
    TestBench b;
    generatorOnCh1(b, 2, 174, 50000); // triangle ±1.5 V at 500 Hz
    // Bit 3 rising: the logic block shows the edge at the position.
    b.set({{13, 3}, {5, 1}, {1, 4}, {25, 2}, {16, 256}, {8, 2 + 3}, {7, 0x82}});
    b.run(2);
    for (int invert : {0, 4}) {
        // With the logic inverted the same trigger finds the other edge of the input.
        b.write(5, 1 | invert);
        b.run(2);
        const ScopeFrame f(b.frame());
        QVERIFY(f.valid);
        QCOMPARE((f.logic[255] >> 3) & 1, 0);
        QCOMPARE((f.logic[256] >> 3) & 1, 1);
    }
    // Window −20 … 20 on CH1: every trigger is an entry into or exit from it.
    b.set({{8, 0}, {18, -20 & 0xFFFF}, {19, 20}, {7, 0xC2}});
    b.run(2);
    for (int i = 0; i < 4; ++i) {
        const ScopeFrame f(b.frame());
        QVERIFY(f.valid);
        QVERIFY((std::abs(f.ch[0][255]) <= 20) != (std::abs(f.ch[0][256]) <= 20));
    }
    // EXT is the generator through a comparator at 0 V.
    b.set({{8, 10}, {7, 0x82}});
    b.run(2);
    const ScopeFrame ext(b.frame());
    QVERIFY(ext.ch[0][254] <= 0 && ext.ch[0][257] >= 0);
}

void TestVirtualScope::triggerModes()
{
    TestBench b;
    generatorOnCh1(b, 0, 116, 100000);
    // Normal with a level the signal never reaches: nothing; force completes the frame at once.
    b.set({{13, 3}, {1, 6}, {4, 0}, {17, 100}, {7, 0x82}});
    b.run(2);
    QVERIFY(b.frame(500000).isEmpty());
    b.run(4);
    QVERIFY(!b.frame(3000).isEmpty());
    // Auto: a frame after the time-out, (code + 1) × 40.96 ms after arming.
    b.set({{20, 4}, {7, 0x8A}});
    b.run(2);
    const int64_t armed = b.vi.nowMicroseconds();
    QVERIFY(!b.frame(1000000, 100).isEmpty());
    const int64_t waited = b.lastFrameAt - armed;
    QVERIFY2(waited >= 5 * 40960 && waited < 5 * 40960 + 3000, qPrintable(QString::number(waited)));
    // Single: one frame, then the scope waits for the next start.
    b.set({{17, 0}, {7, 0x84}});
    b.run(2);
    QVERIFY(!b.frame().isEmpty());
    QVERIFY(!b.vi.scopeRunning());
    QVERIFY(b.frame(200000).isEmpty());
    // Hold-off of 50 ms: triggers on a 1 kHz sine come at least 50 ms apart.
    b.set({{15, 50}, {7, 0x82}});
    b.run(2);
    int64_t previous = -1;
    for (int i = 0; i < 4; ++i) {
        QVERIFY(!b.frame(1000000, 200).isEmpty());
        QVERIFY2(previous < 0 || b.lastFrameAt - previous >= 49000, qPrintable(QString::number(b.lastFrameAt - previous)));
        previous = b.lastFrameAt;
    }
    b.run(3); // stopped
    QVERIFY(b.frame(200000).isEmpty());
}

void TestVirtualScope::meterBlockOfKnownSignals()
{
    TestBench b;
    // Without calibration a 0 V input reads +0.7 code, that is 1.
    b.set({{2, 0}, {13, 3}, {1, 4}, {7, 0x81}});
    b.run(2);
    QCOMPARE(MeterBlock(ScopeFrame(b.frame()).meter, 0).average, 128);
    // A constant 1 V at 0.8 V/div: 51.2 codes.
    b.calibrateAdc();
    b.set({{2, 1}, {31, 5}, {35, 14848}});
    b.run(2);
    MeterBlock m(ScopeFrame(b.frame()).meter, 0);
    QCOMPARE(m.maximum, 51);
    QCOMPARE(m.minimum, 51);
    QCOMPARE(m.average, 51 * 128);
    QCOMPARE(m.rms, 51 * 128);
    QCOMPARE(m.period, 0u);
    QCOMPARE(m.controls, 1);
    QCOMPARE(m.gain, 3);
    // A 1.0008 V sine at 1 kHz on 125 kS/s: RMS A/√2, mean 0, a period of 125 samples.
    b.set({{31, 0}, {30, 116}, {25, 15}});
    b.frequency(100000);
    b.run(2);
    const ScopeFrame f(b.frame());
    m = MeterBlock(f.meter, 0);
    const double peak = (116 / 115.91) / (0.8 / 40.96);
    QCOMPARE(m.maximum, int(std::lround(peak)));
    QCOMPARE(m.minimum, -int(std::lround(peak)));
    QVERIFY2(std::fabs(m.rms / 128.0 - peak / std::sqrt(2.0)) < 0.4, qPrintable(QString::number(m.rms)));
    QVERIFY(std::abs(m.average) < 64);
    const double samplesPerPeriod = 125000.0 / dacFrequency(1000, 256);
    QVERIFY(std::fabs(m.period / 100.0 - samplesPerPeriod) < 0.2);
    // The boundaries are one period apart, crossings of the middle in the same direction.
    QVERIFY(std::abs(m.zeroSecond - m.zeroFirst - samplesPerPeriod) <= 1.0);
    const auto crossing = [&](int z) {
        const int before = f.ch[0][size_t(z - 1)], at = f.ch[0][size_t(z)];
        return at > 0 && before <= 0 ? 1 : (at < 0 && before >= 0 ? -1 : 0);
    };
    QVERIFY(crossing(m.zeroFirst) != 0);
    QCOMPARE(crossing(m.zeroSecond), crossing(m.zeroFirst));
    QCOMPARE(b.meterRead(), f.meter); // the 36-byte meter read while the scope runs
    // A square 0 … 2 V on CH2 (the probe): average 1 V, RMS √2 V, 102.4 codes plus noise.
    b.write(14, 3);
    b.run(2);
    m = MeterBlock(ScopeFrame(b.frame()).meter, 1);
    QVERIFY(m.maximum == 102 || m.maximum == 103);
    QCOMPARE(m.minimum, 0);
    QVERIFY(std::abs(m.average - int(102.4 / 2 * 128)) < 128);
    QVERIFY(std::abs(m.rms - int(102.4 / std::sqrt(2.0) * 128)) < 128);
    // In the AC meter mode the read is a fresh measurement of the same signal.
    b.write(0, 2);
    const MeterBlock ac(b.meterRead(), 1);
    QVERIFY(std::fabs(ac.period / 100.0 - 125.0) < 0.2);
}

void TestVirtualScope::frontEndGainInvertCouplingAndMath()
{
    TestBench b;
    b.calibrateAdc();
    b.set({{2, 1}, {31, 5}, {35, 14848}, {1, 4}, {7, 0x81}}); // CH1 = 1 V
    const auto codes = [&](int channel) {
        b.run(2);
        const ScopeFrame f(b.frame());
        std::vector<int> s = f.ch[channel];
        std::sort(s.begin(), s.end());
        s.erase(std::unique(s.begin(), s.end()), s.end());
        return s;
    };
    // Gain: 1 V is 1/vdiv × 40.96 codes, clipped at 127.
    const double vdiv[10] = {8, 4, 2, 0.8, 0.4, 0.2, 0.1, 0.05, 0.025, 0.0125};
    for (int g = 0; g < 10; ++g) {
        b.write(13, g);
        QCOMPARE(codes(0), std::vector<int>{std::min(127, int(std::lround(40.96 / vdiv[g])))});
    }
    // Invert negates; AC coupling removes the mean.
    b.set({{13, 3}, {3, 1 | 4}});
    QCOMPARE(codes(0), std::vector<int>{-51});
    b.write(3, 1 | 2);
    QCOMPARE(codes(0), std::vector<int>{0});
    // A 2 V sine at 50 mV/div clips on both rails.
    b.set({{3, 1}, {31, 0}, {30, 232}, {13, 7}});
    std::vector<int> s = codes(0);
    QCOMPARE(s.front(), -128);
    QCOMPARE(s.back(), 127);
    // Math on CH2 with CH1 = 1 V and the probe 0 or 2 V: CH1 − CH2 gives ±1 V, CH1 × CH2 0 or 2 V.
    b.set({{31, 5}, {14, 3}, {4, 1 | 0x10 | 0x20}});
    s = codes(1);
    QVERIFY(std::all_of(s.begin(), s.end(), [](int v) { return std::abs(std::abs(v) - 51) <= 1; }));
    QVERIFY(s.front() < 0 && s.back() > 0);
    b.write(4, 1 | 0x10 | 0x40);
    s = codes(1);
    QVERIFY(s.front() >= -1 && s.front() <= 1);
    QVERIFY(s.back() >= 101 && s.back() <= 104);
    // The meter block echoes the controls in force.
    b.run(2);
    QCOMPARE(MeterBlock(ScopeFrame(b.frame()).meter, 1).controls, 1 | 0x10 | 0x40);
}

void TestVirtualScope::rollFramesAdvanceStartIndex()
{
    // 320 S/s: 16 samples per 50 ms; the trigger does not hold a rolling display.
    TestBench b;
    b.set({{5, 1}, {25, 1}, {1, 12}, {10, 1}, {7, 0x82}, {17, 120}});
    b.run(2);
    ScopeFrame previous(b.frame(200000));
    int64_t previousAt = b.lastFrameAt;
    for (int i = 0; i < 5; ++i) {
        const ScopeFrame f(b.frame(200000));
        QVERIFY(f.valid);
        QVERIFY(b.lastFrameAt - previousAt >= 50000);
        const int64_t newSamples = int64_t(std::floor(b.lastFrameAt * 1e-6 * 320)) -
                                   int64_t(std::floor(previousAt * 1e-6 * 320));
        QCOMPARE((f.rollStart - previous.rollStart + 256) % 256, int(newSamples % 256));
        QVERIFY(f.rollStart != previous.rollStart);
        previous = f;
        previousAt = b.lastFrameAt;
    }
    // Read oldest first, the 2 kHz counter's bits 5 to 7 only count up, wrapping once at most.
    int wraps = 0;
    for (int i = 1; i < 256; ++i)
        wraps += (previous.logic[size_t((previous.rollStart + i) % 256)] >> 5) <
                 (previous.logic[size_t((previous.rollStart + i - 1) % 256)] >> 5);
    QVERIFY(wraps <= 1);
    // Below index 11 the roll bit is ignored.
    b.set({{1, 10}, {7, 0x81}});
    b.run(2);
    QCOMPARE(ScopeFrame(b.frame()).rollStart, 0);
}

QTEST_GUILESS_MAIN(TestVirtualScope)
#include "tst_virtualscope.moc"
