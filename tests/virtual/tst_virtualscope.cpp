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
    void generatorPeriodMatchesTimeBase_data()
    {
        QTest::addColumn<int>("waveform");
        QTest::addColumn<int>("index");
        QTest::addColumn<uint32_t>("centiHz");
        QTest::addColumn<int>("dacBlocks");
        QTest::newRow("sine 1 kHz at 32 kS/s") << 0 << 6 << uint32_t(100000) << 1;
        QTest::newRow("square 250 Hz at 16 kS/s, 512-sample DAC") << 1 << 7 << uint32_t(25000) << 2;
        QTest::newRow("square 40 kHz at 2 MS/s") << 1 << 0 << uint32_t(4000000) << 1;
        QTest::newRow("triangle 3.3 Hz at 800 S/s") << 2 << 11 << uint32_t(330) << 1;
    }
    void generatorPeriodMatchesTimeBase()
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
        const double period = meanPeriod(f.ch[0], 0.0, 10.0);
        const double expected = dacFrequency(centiHz / 100.0, 256 * dacBlocks);
        QVERIFY2(std::fabs(ratePerSecond(index) / period - expected) / expected < 2e-3, qPrintable(QString::number(period)));
        // The instrument's own period is in hundredths of a sample.
        QVERIFY(std::fabs(MeterBlock(f.meter, 0).period / 100.0 - ratePerSecond(index) / expected) < 0.01 * period + 1.0);
    }
    void edgeTriggerPutsCrossingAtPosition_data()
    {
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("post");
        QTest::newRow("rising at 30 on CH1") << 0x82 << 0 << 30 << 300;
        QTest::newRow("rising at -20 on CH1, late position") << 0x82 << 0 << -20 << 20;
        QTest::newRow("falling at 10 on CH1") << 0x92 << 0 << 10 << 500;
        QTest::newRow("falling at 35 on CH2") << 0x92 << 1 << 35 << 100;
        QTest::newRow("positive slope at 0 on CH1") << 0xA2 << 0 << 0 << 384;
    }
    void edgeTriggerPutsCrossingAtPosition()
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
        const size_t position = size_t(768 - post);
        for (int i = 0; i < 5; ++i) {
            const ScopeFrame f(b.frame());
            const int before = f.ch[source][position - 1];
            const int at = f.ch[source][position];
            QVERIFY2(!(control & 0x10) ? (before < level && at >= level) : (before > level && at <= level),
                     qPrintable(QStringLiteral("frame %1: %2 then %3").arg(i).arg(before).arg(at)));
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
        QCOMPARE(m.maximum, int(std::lround(peak)));
        QCOMPARE(m.minimum, -int(std::lround(peak)));
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
