// Scope frames of the virtual instrument measured against reckoning of our
// own: layout, the generator's period on CH1, trigger placement, the front
// end, meter blocks, roll mode and pacing.

#include "virtual/benchhelpers.h"

#include <QtTest>

#include <cmath>
#include <numeric>

namespace {
// Rising crossings of `level` with a hysteresis band, interpolated; returns
// the mean period in samples (0 when fewer than two crossings).
double meanPeriod(const std::vector<int> &s, double level, double band)
{
    std::vector<double> at;
    bool low = false;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] < level - band)
            low = true;
        if (low && s[i - 1] < level && s[i] >= level) {
            at.push_back(double(i - 1) + (level - s[i - 1]) / double(s[i] - s[i - 1]));
            low = false;
        }
    }
    if (at.size() < 2)
        return 0.0;
    return (at.back() - at.front()) / double(at.size() - 1);
}

// Generator on CH1 with the ADC offset calibrated away.
void generatorOnCh1(TestBench &b, int waveform, int amplitude, int offset, uint32_t centiHz)
{
    b.calibrateAdc();
    b.write(2, 1);
    b.write(31, waveform);
    b.write(30, amplitude);
    b.write(33, offset & 0xFF);
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
    void squareDutyAndBufferSize();
    void edgeTriggerPutsCrossingAtPosition_data();
    void edgeTriggerPutsCrossingAtPosition();
    void logicAndWindowTriggers();
    void meterBlockOfKnownSignals();
    void frontEndGainInvertCouplingAndMath();
    void averagingAndAdcOffset();
    void triggerModes();
    void rollFramesAdvanceStartIndex();
    void pacingFollowsPipeAndAcquisition();
};

void TestVirtualScope::layoutForEveryMaskSizeAndRate()
{
    TestBench b;
    b.write(7, 0x81); // free running
    b.run(2);
    int previousNumber = -1;
    for (int mask = 0; mask < 8; ++mask) {
        b.write(3, mask & 1);
        b.write(4, (mask >> 1) & 1);
        b.write(5, (mask >> 2) & 1);
        for (int blocks : {1, 7, 15}) {
            b.write(25, blocks);
            for (int index = 0; index < 22; index += (mask == 7 && blocks == 15) ? 1 : 7) {
                b.write(1, index);
                const int n = 256 * blocks;
                const int64_t acquireUs = int64_t(std::ceil(n / ratePerSecond(index) * 1e6));
                b.vi.advanceClock(acquireUs + 20000);
                const QByteArray raw = b.frame(1000, 1000);
                const int k = (mask & 1) + ((mask >> 1) & 1) + ((mask >> 2) & 1);
                QCOMPARE(raw.size(), 48 + k * n);
                ScopeFrame f(raw);
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
    generatorOnCh1(b, waveform, 116, 0, centiHz);
    b.write(24, dacBlocks);
    b.write(1, index);
    b.write(13, 3);
    b.write(4, 0);
    b.write(25, 15);
    b.write(7, 0x81);
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
    // And the effective frequency read back is the one on the wire.
    unsigned char reply[4] = {};
    QCOMPARE(b.vi.control(0x47, 5, 0, reply, 4), 4);
    const uint32_t read = reply[0] | (reply[1] << 8) | (reply[2] << 16) | (uint32_t(reply[3]) << 24);
    QCOMPARE(read, uint32_t(qRound64(expected * 100.0)));
}

void TestVirtualScope::squareDutyAndBufferSize()
{
    TestBench b;
    generatorOnCh1(b, 1, 116, 0, 100000);
    b.write(13, 3);
    b.write(1, 0); // 2 MS/s: about 2000 samples per period
    b.write(25, 15);
    b.write(7, 0x81);
    for (int duty : {26, 64, 191}) {
        b.write(32, duty);
        b.run(2);
        const ScopeFrame f(b.frame());
        QVERIFY(f.valid);
        // Over whole samples of one period: the high share is the duty on the
        // DAC's 256 steps.
        const double period = 2e6 / dacFrequency(1000, 256);
        int high = 0;
        const int count = int(period);
        for (int i = 0; i < count; ++i)
            high += f.ch[0][size_t(i)] > 0;
        int highSteps = 0;
        for (int j = 0; j < 256; ++j)
            highSteps += double(j) / 256 < duty / 255.0;
        QVERIFY2(std::abs(double(high) / count - highSteps / 256.0) < 0.01,
                 qPrintable(QStringLiteral("duty %1: %2 of %3 high").arg(duty).arg(high).arg(count)));
        QCOMPARE(*std::max_element(f.ch[0].begin(), f.ch[0].end()), 51);
        QCOMPARE(*std::min_element(f.ch[0].begin(), f.ch[0].end()), -51);
    }
    // White noise takes a new value at every DAC step: runs of equal codes
    // last one step, 72 MHz × divider / 2 MS/s... that is 2e6 / (f × n) samples.
    b.write(31, 6);
    b.write(30, 116);
    b.write(1, 0);
    b.frequency(100000);
    for (int dac : {1, 2}) {
        b.write(24, dac);
        b.run(2);
        const ScopeFrame f(b.frame());
        QVERIFY(f.valid);
        int changes = 0;
        for (size_t i = 1; i < f.ch[0].size(); ++i)
            changes += f.ch[0][i] != f.ch[0][i - 1];
        const double run = double(f.ch[0].size() - 1) / changes;
        const double expected = 2e6 / (dacFrequency(1000, 256 * dac) * 256 * dac);
        // A step now and then repeats the previous code, so runs are a little longer.
        QVERIFY2(run >= expected * 0.97 && run <= expected * 1.1,
                 qPrintable(QStringLiteral("run %1, step %2").arg(run).arg(expected)));
        QVERIFY(*std::max_element(f.ch[0].begin(), f.ch[0].end()) <= 52);
        QVERIFY(*std::min_element(f.ch[0].begin(), f.ch[0].end()) >= -52);
    }
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
    generatorOnCh1(b, 0, 116, 0, 23700); // 237 Hz: not locked to anything
    b.write(13, 3);
    b.write(14, 2); // CH2 0 … 2 V at 2 V/div: 0 … 41 codes
    b.write(1, 5);
    b.write(25, 3);
    b.write(8, source);
    b.write(17, level & 0xFFFF);
    b.write(16, post);
    b.write(7, control);
    b.run(2);
    const int position = 768 - post;
    const bool rising = !(control & 0x10);
    for (int i = 0; i < 5; ++i) {
        const ScopeFrame f(b.frame());
        QVERIFY(f.valid);
        const std::vector<int> &s = f.ch[source];
        QVERIFY2(rising ? (s[size_t(position - 1)] < level && s[size_t(position)] >= level)
                        : (s[size_t(position - 1)] > level && s[size_t(position)] <= level),
                 qPrintable(QStringLiteral("frame %1: %2 then %3 at %4").arg(i).arg(s[size_t(position - 1)])
                                .arg(s[size_t(position)]).arg(position)));
    }
}

void TestVirtualScope::logicAndWindowTriggers()
{
    TestBench b;
    generatorOnCh1(b, 2, 174, 0, 50000); // triangle ±1.5 V at 500 Hz
    b.write(13, 3);
    b.write(5, 1);
    b.write(1, 4);
    b.write(25, 2);
    b.write(16, 256);
    b.run(2);
    // Bit 3 rising: the logic block shows the edge at the position.
    b.write(8, 2 + 3);
    b.write(7, 0x82);
    b.run(2);
    for (int i = 0; i < 3; ++i) {
        const ScopeFrame f(b.frame());
        QVERIFY(f.valid);
        QCOMPARE((f.logic[255] >> 3) & 1, 0);
        QCOMPARE((f.logic[256] >> 3) & 1, 1);
    }
    // With the logic inverted the same trigger finds the other edge of the input.
    b.write(5, 1 | 4);
    b.run(2);
    const ScopeFrame inverted(b.frame());
    QCOMPARE((inverted.logic[255] >> 3) & 1, 0);
    QCOMPARE((inverted.logic[256] >> 3) & 1, 1);
    QCOMPARE(((inverted.logic[256] ^ 0xFF) >> 3) & 1, 0);
    // Window −20 … 20 on CH1: every trigger is an entry into or exit from it.
    b.write(8, 0);
    b.write(18, -20 & 0xFFFF);
    b.write(19, 20);
    b.write(7, 0xC2);
    b.run(2);
    for (int i = 0; i < 4; ++i) {
        const ScopeFrame f(b.frame());
        QVERIFY(f.valid);
        const bool before = std::abs(f.ch[0][255]) <= 20;
        const bool at = std::abs(f.ch[0][256]) <= 20;
        QVERIFY(before != at);
    }
    // EXT is the generator through a comparator at 0 V: a rising EXT trigger
    // finds CH1 going from ≤ 0 to > 0 codes around the position.
    b.write(8, 10);
    b.write(7, 0x82);
    b.run(2);
    const ScopeFrame ext(b.frame());
    QVERIFY(ext.valid);
    QVERIFY(ext.ch[0][254] <= 0);
    QVERIFY(ext.ch[0][257] >= 0);
}

void TestVirtualScope::meterBlockOfKnownSignals()
{
    TestBench b;
    b.calibrateAdc();
    b.write(2, 1);
    b.write(13, 3); // 0.8 V/div: 19.53 mV a code
    b.write(1, 4);
    b.write(7, 0x81);
    // A constant 1 V: 51.2 codes.
    b.write(31, 5);
    b.write(35, 14848);
    b.run(2);
    {
        const ScopeFrame f(b.frame());
        const MeterBlock m(f.meter, 0);
        QCOMPARE(m.maximum, 51);
        QCOMPARE(m.minimum, 51);
        QCOMPARE(m.average, 51 * 128);
        QCOMPARE(m.rms, 51 * 128);
        QCOMPARE(m.period, 0u);
        QCOMPARE(m.controls, 1);
        QCOMPARE(m.gain, 3);
        QCOMPARE(m.samplingIndex, 4);
    }
    // A 1.0008 V sine at 1 kHz on 125 kS/s: RMS A/√2, mean 0, period 125 samples.
    b.write(31, 0);
    b.write(30, 116);
    b.frequency(100000);
    b.write(25, 15);
    b.run(2);
    {
        const ScopeFrame f(b.frame());
        const MeterBlock m(f.meter, 0);
        const double peak = (116 / 115.91) / (0.8 / 40.96);
        QCOMPARE(m.maximum, int(std::lround(peak)));
        QCOMPARE(m.minimum, -int(std::lround(peak)));
        QVERIFY2(std::fabs(m.rms / 128.0 - peak / std::sqrt(2.0)) < 0.4, qPrintable(QString::number(m.rms)));
        QVERIFY(std::abs(m.average) < 64);
        const double samplesPerPeriod = 125000.0 / dacFrequency(1000, 256);
        QVERIFY(std::fabs(m.period / 100.0 - samplesPerPeriod) < 0.2);
        // The two boundaries are one period apart and mark crossings of the
        // middle, both in the same direction.
        QVERIFY(std::abs(m.zeroSecond - m.zeroFirst - samplesPerPeriod) <= 1.0);
        auto crossing = [&](int z) {
            const int before = f.ch[0][size_t(z - 1)];
            const int at = f.ch[0][size_t(z)];
            return at > 0 && before <= 0 ? 1 : (at < 0 && before >= 0 ? -1 : 0);
        };
        QVERIFY(crossing(m.zeroFirst) != 0);
        QCOMPARE(crossing(m.zeroSecond), crossing(m.zeroFirst));
        // The same numbers come from the 36-byte meter read while the scope runs.
        QCOMPARE(b.meterRead(), f.meter);
    }
    // A square 0 … 2 V on CH2 (the probe): average 1 V, RMS √2 V.
    b.write(14, 3);
    b.run(2);
    {
        const ScopeFrame f(b.frame());
        const MeterBlock m(f.meter, 1);
        // 102.4 codes plus 0.1 code of noise.
        QVERIFY(m.maximum == 102 || m.maximum == 103);
        QCOMPARE(m.minimum, 0);
        QVERIFY(std::abs(m.average - int(102.4 / 2 * 128)) < 128);
        QVERIFY(std::abs(m.rms - int(102.4 / std::sqrt(2.0) * 128)) < 128);
        QVERIFY(std::fabs(m.period / 100.0 - 125.0) < 0.2);
    }
    // In the AC meter mode the read is a fresh measurement of the same signal.
    b.write(0, 2);
    const MeterBlock ac(b.meterRead(), 1);
    QVERIFY(std::fabs(ac.period / 100.0 - 125.0) < 0.2);
    QCOMPARE(ac.minimum, 0);
}

void TestVirtualScope::frontEndGainInvertCouplingAndMath()
{
    TestBench b;
    b.calibrateAdc();
    b.write(2, 1);
    b.write(31, 5);
    b.write(35, 14848); // CH1 = 1 V
    b.write(1, 4);
    b.write(7, 0x81);
    auto codes = [&](int channel) {
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
        const int expected = std::min(127, int(std::lround(40.96 / vdiv[g])));
        QCOMPARE(codes(0), std::vector<int>{expected});
    }
    // Invert negates; AC coupling removes the mean.
    b.write(13, 3);
    b.write(3, 1 | 4);
    QCOMPARE(codes(0), std::vector<int>{-51});
    b.write(3, 1 | 2);
    QCOMPARE(codes(0), std::vector<int>{0});
    // A 2 V sine at 50 mV/div clips on both rails.
    b.write(3, 1);
    b.write(31, 0);
    b.write(30, 232);
    b.write(13, 7);
    {
        const std::vector<int> s = codes(0);
        QCOMPARE(s.front(), -128);
        QCOMPARE(s.back(), 127);
    }
    // Math on CH2: CH1 − CH2 with CH1 = 1 V and the probe 0 or 2 V gives ±1 V;
    // CH1 × CH2 gives 0 or 2 V.
    b.write(31, 5);
    b.write(14, 3);
    b.write(4, 1 | 0x10 | 0x20);
    {
        const std::vector<int> s = codes(1);
        QVERIFY(s.front() >= -52 && s.front() <= -50);
        QVERIFY(s.back() >= 50 && s.back() <= 52);
        QVERIFY(std::all_of(s.begin(), s.end(), [](int v) { return std::abs(std::abs(v) - 51) <= 1; }));
    }
    b.write(4, 1 | 0x10 | 0x40);
    {
        const std::vector<int> s = codes(1);
        QVERIFY(s.front() >= -1 && s.front() <= 1);
        QVERIFY(s.back() >= 101 && s.back() <= 104);
    }
    // The meter block echoes the controls in force.
    b.run(2);
    QCOMPARE(MeterBlock(ScopeFrame(b.frame()).meter, 1).controls, 1 | 0x10 | 0x40);
}

void TestVirtualScope::averagingAndAdcOffset()
{
    TestBench b;
    // Without calibration a 0 V input reads +0.7 code, that is 1.
    b.write(2, 0);
    b.write(13, 3);
    b.write(1, 4);
    b.write(7, 0x81);
    b.run(2);
    QCOMPARE(MeterBlock(ScopeFrame(b.frame()).meter, 0).average, 128);
    b.calibrateAdc();
    QVERIFY(b.vi.adcOffsetCalibrated());
    b.run(2);
    QCOMPARE(MeterBlock(ScopeFrame(b.frame()).meter, 0).average, 0);
    b.vi.control(0x43, 2, 0, nullptr, 0);
    QVERIFY(!b.vi.adcOffsetCalibrated());
    // Averaging four acquisitions shrinks the probe's noise at high gain.
    b.write(14, 9); // 12.5 mV/div: 0.3 mV a code, noise about 6.5 codes
    b.write(14, 9);
    b.run(2);
    auto lowSpread = [&]() {
        const ScopeFrame f(b.frame());
        // Samples of the low half of the square, away from its edges.
        std::vector<int> low;
        for (size_t i = 0; i < f.ch[1].size(); ++i)
            if (f.ch[1][i] < 100 && f.ch[1][i] > -128)
                low.push_back(f.ch[1][i]);
        double mean = std::accumulate(low.begin(), low.end(), 0.0) / low.size();
        double var = 0;
        for (int v : low)
            var += (v - mean) * (v - mean);
        return std::sqrt(var / low.size());
    };
    const double plain = lowSpread();
    b.write(4, 1 | 8);
    b.write(1, 4); // rate, then the trigger on the probe keeps the square in place
    b.write(8, 1);
    b.write(17, 60); // between the noisy low and the clipped high: only the edge
    b.write(7, 0x82);
    b.run(2);
    double averaged = 0;
    for (int i = 0; i < 4; ++i)
        averaged = lowSpread();
    QVERIFY2(plain > 4.0 && averaged < plain * 0.7,
             qPrintable(QStringLiteral("plain %1, averaged %2").arg(plain).arg(averaged)));
}

void TestVirtualScope::triggerModes()
{
    TestBench b;
    generatorOnCh1(b, 0, 116, 0, 100000);
    b.write(13, 3);
    b.write(1, 6);
    b.write(4, 0);
    // Normal with a level the signal never reaches: nothing.
    b.write(17, 100);
    b.write(7, 0x82);
    b.run(2);
    QVERIFY(b.frame(500000).isEmpty());
    // Force completes the pending frame at once.
    b.run(4);
    QVERIFY(!b.frame(3000).isEmpty());
    // Auto: a frame after the time-out, (code + 1) × 40.96 ms after arming.
    b.write(20, 4);
    b.write(7, 0x8A);
    b.run(2);
    const int64_t armed = b.vi.nowMicroseconds();
    QVERIFY(!b.frame(1000000, 100).isEmpty());
    const int64_t waited = b.lastFrameAt - armed;
    QVERIFY2(waited >= 5 * 40960 && waited < 5 * 40960 + 3000, qPrintable(QString::number(waited)));
    // Single: one frame, then the scope waits for the next start.
    b.write(17, 0);
    b.write(7, 0x84 | 0x80);
    b.run(2);
    QVERIFY(!b.frame().isEmpty());
    QVERIFY(!b.vi.scopeRunning());
    QVERIFY(b.frame(200000).isEmpty());
    b.run(2);
    QVERIFY(!b.frame().isEmpty());
    // Hold-off of 50 ms: triggers on a 1 kHz sine come at least 50 ms apart.
    b.write(15, 50);
    b.write(7, 0x82);
    b.run(2);
    int64_t previous = -1;
    for (int i = 0; i < 4; ++i) {
        QVERIFY(!b.frame(1000000, 200).isEmpty());
        if (previous >= 0)
            QVERIFY2(b.lastFrameAt - previous >= 49000, qPrintable(QString::number(b.lastFrameAt - previous)));
        previous = b.lastFrameAt;
    }
    // Stopped, nothing comes.
    b.run(3);
    QVERIFY(b.frame(200000).isEmpty());
}

void TestVirtualScope::rollFramesAdvanceStartIndex()
{
    TestBench b;
    b.write(5, 1);
    b.write(25, 1);
    b.write(1, 12); // 320 S/s: 16 samples per 50 ms
    b.write(10, 1);
    b.write(7, 0x82); // the trigger does not hold a rolling display
    b.write(17, 120);
    b.run(2);
    std::vector<ScopeFrame> frames;
    std::vector<int64_t> times;
    for (int i = 0; i < 6; ++i) {
        frames.emplace_back(b.frame(200000));
        times.push_back(b.lastFrameAt);
        QVERIFY(frames.back().valid);
    }
    for (size_t i = 1; i < frames.size(); ++i) {
        QVERIFY(times[i] - times[i - 1] >= 50000);
        const int64_t newSamples = int64_t(std::floor(times[i] * 1e-6 * 320)) -
                                   int64_t(std::floor(times[i - 1] * 1e-6 * 320));
        QCOMPARE((frames[i].rollStart - frames[i - 1].rollStart + 256) % 256, int(newSamples % 256));
        QVERIFY(frames[i].rollStart != frames[i - 1].rollStart);
    }
    // Read oldest first, the logic counter only counts up (bit 0 at 1 kHz is
    // aliased at 320 S/s, so look at the 2 kHz counter's bits 5 to 7, which
    // change slower than the sampling).
    const ScopeFrame &last = frames.back();
    int previousValue = -1;
    int wraps = 0;
    for (int i = 0; i < 256; ++i) {
        const int v = last.logic[size_t((last.rollStart + i) % 256)] >> 5;
        if (previousValue >= 0 && v < previousValue)
            ++wraps;
        previousValue = v;
    }
    QVERIFY(wraps <= 1);
    // Below index 11 the roll bit is ignored.
    b.write(1, 10);
    b.write(7, 0x81);
    b.run(2);
    QCOMPARE(ScopeFrame(b.frame()).rollStart, 0);
}

void TestVirtualScope::pacingFollowsPipeAndAcquisition()
{
    TestBench b;
    b.write(3, 1);
    b.write(4, 1);
    b.write(5, 1);
    b.write(25, 15);
    b.write(1, 0);
    b.write(7, 0x81);
    b.run(2);
    b.frame();
    std::vector<int64_t> at;
    for (int i = 0; i < 5; ++i) {
        QVERIFY(!b.frame(100000, 100).isEmpty());
        at.push_back(b.lastFrameAt);
    }
    // 11568 bytes at 1.1 MB/s take 10.5 ms on the pipe.
    for (size_t i = 1; i < at.size(); ++i)
        QVERIFY2(at[i] - at[i - 1] >= 10516 && at[i] - at[i - 1] <= 10700, qPrintable(QString::number(at[i] - at[i - 1])));
    // One channel of 256 samples at 2 MS/s: never more often than every 2 ms.
    b.write(4, 0);
    b.write(5, 0);
    b.write(25, 1);
    b.run(2);
    b.frame();
    at.clear();
    for (int i = 0; i < 4; ++i) {
        QVERIFY(!b.frame(100000, 100).isEmpty());
        at.push_back(b.lastFrameAt);
    }
    for (size_t i = 1; i < at.size(); ++i)
        QVERIFY(at[i] - at[i - 1] >= 2000 && at[i] - at[i - 1] <= 2200);
    // At 1600 S/s a 768-sample frame needs 480 ms of acquisition.
    b.write(25, 3);
    b.write(1, 10);
    b.run(2);
    b.frame();
    const int64_t first = b.lastFrameAt;
    b.frame();
    QVERIFY(b.lastFrameAt - first >= 480000 && b.lastFrameAt - first <= 482000);
}

QTEST_GUILESS_MAIN(TestVirtualScope)
#include "tst_virtualscope.moc"
