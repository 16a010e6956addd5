#include "device/frames.h"
#include "scope/measurements.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using Samples = std::vector<int8_t>;

Samples square(int n, int period, int high, int low)
{
    Samples s(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i)
        s[size_t(i)] = int8_t((i % period) < period / 2 ? high : low);
    return s;
}

Samples sine(int n, double period, double amplitude, double phase = 0.0)
{
    Samples s(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i)
        s[size_t(i)] = int8_t(std::lround(amplitude * std::sin(2 * M_PI * i / period + phase)));
    return s;
}

// An independent reading of the period rule: collect every index where the
// signal passes the middle in the counted direction after having been beyond
// the far threshold, then average the distances.
struct Reference {
    int result = 0;
    std::vector<int> crossings;
};

Reference referencePeriod(const Samples &s)
{
    Reference ref;
    const int n = int(s.size());
    const int mn = *std::min_element(s.begin(), s.end());
    const int mx = *std::max_element(s.begin(), s.end());
    if (mx - mn < 32)
        return ref;
    const int lo = (10 * mn + 6 * mx) / 16;
    const int hi = (6 * lo + 10 * mx) / 16;
    const int mid = (mn + mx) / 2;
    int direction = 0; // +1 rising counted, −1 falling counted
    int side = 0;      // last far side reached: −1 below lo, +1 above hi
    for (int i = 5; i <= n - 6; ++i) {
        const int v = s[size_t(i)];
        if (direction == 0) {
            direction = v < lo ? 1 : (v > hi ? -1 : 0);
            side = -direction;
            continue;
        }
        if (v < lo)
            side = direction == 1 ? -1 : side;
        if (v > hi)
            side = direction == -1 ? 1 : side;
        if (direction == 1 && side == -1 && v > mid) {
            ref.crossings.push_back(i);
            side = 0;
        } else if (direction == -1 && side == 1 && v < mid) {
            ref.crossings.push_back(i);
            side = 0;
        }
    }
    const int k = int(ref.crossings.size());
    if (k < 2 || k > n / 4)
        return ref;
    ref.result = (ref.crossings.back() - ref.crossings.front()) * 100 / (k - 1);
    return ref;
}

int measure(const Samples &s, mmzeros_t *zeros)
{
    const auto e = std::minmax_element(s.begin(), s.end());
    return scopeGetMeasureFrequency(s.data(), int(s.size()), *e.first, *e.second, zeros);
}

} // namespace

class TestMeasurements : public QObject
{
    Q_OBJECT
private slots:
    void squareWavePeriodAndCrossings();
    void periodAgreesWithAnIndependentCount_data();
    void periodAgreesWithAnIndependentCount();
    void smallOrFlatSignalsHaveNoPeriod();
    void noiseHasNoPeriod();
    void averageAndRmsOverWholePeriods();
    void averageAndRmsOfConstants_data();
    void averageAndRmsOfConstants();
    void badInputIsHarmless();
    void hostMeterRecordTakesSettingsFromTheBlock();
    void automaticCursorPositions();
    void verticalCursorTexts();
    void verticalCursorRange();
    void horizontalCursorDrags();
    void horizontalCursorAutomaticPlacementAndLabels();
    void cursorTypesAndVisibility();
};

void TestMeasurements::squareWavePeriodAndCrossings()
{
    const Samples s = square(768, 50, 100, -100);
    mmzeros_t zeros;
    QCOMPARE(measure(s, &zeros), 5000);
    // Starts high, so falling edges are counted: 25, 75, ... 725.
    QCOMPARE(int(zeros.zeroCross[0]), 25);
    QCOMPARE(int(zeros.zeroCross[1]), 75);
    QCOMPARE(int(zeros.zeroCross[2]), 725);

    // Starting low counts rising edges instead.
    const Samples inverted = square(768, 50, -100, 100);
    QCOMPARE(measure(inverted, &zeros), 5000);
    QCOMPARE(int(zeros.zeroCross[0]), 25);

    // Exactly two crossings: the third slot repeats the second.
    const Samples two = square(120, 50, 100, -100);
    QCOMPARE(measure(two, &zeros), 5000);
    QCOMPARE(int(zeros.zeroCross[1]), 75);
    QCOMPARE(int(zeros.zeroCross[2]), 75);
}

void TestMeasurements::periodAgreesWithAnIndependentCount_data()
{
    QTest::addColumn<double>("period");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<int>("length");
    QTest::newRow("sine 37.5 in 768") << 37.5 << 80.0 << 768;
    QTest::newRow("sine 100 in 1024") << 100.0 << 120.0 << 1024;
    QTest::newRow("sine 8.2 in 2048") << 8.2 << 60.0 << 2048;
    QTest::newRow("sine 300 in 768") << 300.0 << 20.0 << 768;
    QTest::newRow("sine 1000 in 512") << 1000.0 << 127.0 << 512;
}

void TestMeasurements::periodAgreesWithAnIndependentCount()
{
    QFETCH(double, period);
    QFETCH(double, amplitude);
    QFETCH(int, length);
    for (double phase : {0.0, 1.0, 2.5, 4.0}) {
        const Samples s = sine(length, period, amplitude, phase);
        const Reference ref = referencePeriod(s);
        mmzeros_t zeros;
        const int result = measure(s, &zeros);
        QCOMPARE(result, ref.result);
        if (ref.result == 0)
            continue;
        // Within a sample of the true period, averaged over the crossings.
        QVERIFY2(std::fabs(result / 100.0 - period) < 1.0, qPrintable(QString::number(result)));
        QCOMPARE(int(zeros.zeroCross[0]), ref.crossings.front());
        QCOMPARE(int(zeros.zeroCross[1]), ref.crossings[1]);
        QCOMPARE(int(zeros.zeroCross[2]), ref.crossings.back());
    }
}

void TestMeasurements::smallOrFlatSignalsHaveNoPeriod()
{
    mmzeros_t zeros;
    QCOMPARE(measure(square(768, 50, 10, -10), &zeros), 0);
    QCOMPARE(int(zeros.zeroCross[0]), 0);
    QCOMPARE(int(zeros.zeroCross[1]), 0);
    QCOMPARE(int(zeros.zeroCross[2]), 768);
    QCOMPARE(measure(Samples(768, int8_t(42)), &zeros), 0);
    // Amplitude 31 is one short of enough; 32 measures.
    QCOMPARE(measure(square(768, 50, 16, -15), &zeros), 0);
    QCOMPARE(measure(square(768, 50, 16, -16), &zeros), 5000);
    // One edge only: no period, whole-buffer record.
    Samples step(768, int8_t(-100));
    std::fill(step.begin() + 400, step.end(), int8_t(100));
    QCOMPARE(measure(step, &zeros), 0);
    QCOMPARE(int(zeros.zeroCross[2]), 768);
    // Extremes only outside the searched indices: no threshold is reached inside.
    Samples edges(768, int8_t(0));
    edges[0] = 100;
    edges[767] = -100;
    QCOMPARE(measure(edges, &zeros), 0);
}

void TestMeasurements::noiseHasNoPeriod()
{
    // Crossing every second sample is more than n / 4 crossings.
    mmzeros_t zeros;
    QCOMPARE(measure(square(768, 2, 100, -100), &zeros), 0);
    QCOMPARE(int(zeros.zeroCross[2]), 768);
    // Period 4 gives 190 crossings, within the 192 allowed.
    QCOMPARE(measure(square(768, 4, 100, -100), &zeros), 400);
}

void TestMeasurements::averageAndRmsOverWholePeriods()
{
    const Samples s = square(768, 50, 100, -100);
    mmzeros_t zeros;
    measure(s, &zeros);
    int16_t average = -1;
    uint16_t rms = 0;
    scopeGetAverRMS(s.data(), int(s.size()), zeros, &average, &rms);
    QCOMPARE(int(average), 0);
    QCOMPARE(int(rms), 12800);

    // Against a direct computation on an offset sine over the same span.
    const Samples w = sine(1024, 64, 70, 0.3);
    Samples shifted(w.size());
    for (size_t i = 0; i < w.size(); ++i)
        shifted[i] = int8_t(w[i] + 20);
    QVERIFY(measure(shifted, &zeros) > 0);
    scopeGetAverRMS(shifted.data(), int(shifted.size()), zeros, &average, &rms);
    long long sum = 0;
    long long squares = 0;
    for (int i = zeros.zeroCross[0]; i < zeros.zeroCross[2]; ++i) {
        sum += shifted[size_t(i)];
        squares += shifted[size_t(i)] * shifted[size_t(i)];
    }
    const long long m = zeros.zeroCross[2] - zeros.zeroCross[0];
    QCOMPARE(int(average), int(sum * 128 / m));
    QCOMPARE(int(rms), int(std::sqrt(double(squares / m)) * 128));
    // Whole periods of an offset sine average to the offset.
    QVERIFY(std::abs(average - 20 * 128) < 64);
}

void TestMeasurements::averageAndRmsOfConstants_data()
{
    QTest::addColumn<int>("value");
    for (int v : {0, 1, 42, 127, -1, -77, -128})
        QTest::newRow(qPrintable(QString::number(v))) << v;
}

void TestMeasurements::averageAndRmsOfConstants()
{
    QFETCH(int, value);
    const Samples s(768, int8_t(value));
    mmzeros_t zeros;
    QCOMPARE(measure(s, &zeros), 0);
    int16_t average = 0;
    uint16_t rms = 0;
    scopeGetAverRMS(s.data(), int(s.size()), zeros, &average, &rms);
    QCOMPARE(int(average), value * 128);
    QCOMPARE(int(rms), std::abs(value) * 128);
}

void TestMeasurements::badInputIsHarmless()
{
    mmzeros_t zeros{{1, 2, 3}};
    QCOMPARE(scopeGetMeasureFrequency(nullptr, 768, -100, 100, &zeros), 0);
    QCOMPARE(int(zeros.zeroCross[2]), 768);
    QCOMPARE(scopeGetMeasureFrequency(nullptr, 0, -100, 100, nullptr), 0);
    // Fewer samples than the search margins.
    const Samples few = square(8, 4, 100, -100);
    QCOMPARE(scopeGetMeasureFrequency(few.data(), 8, -100, 100, &zeros), 0);

    // A crossing record that does not fit the buffer measures the whole buffer.
    const Samples s(256, int8_t(10));
    int16_t average = 0;
    uint16_t rms = 0;
    mmzeros_t stale{{300, 400, 500}};
    scopeGetAverRMS(s.data(), 256, stale, &average, &rms);
    QCOMPARE(int(average), 1280);
    QCOMPARE(int(rms), 1280);
    scopeGetAverRMS(nullptr, 0, stale, &average, &rms);
    QCOMPARE(int(average), 0);
    QCOMPARE(int(rms), 0);
}

void TestMeasurements::hostMeterRecordTakesSettingsFromTheBlock()
{
    // The instrument's block says what it measured, and echoes its settings.
    channela_t device{};
    device.controls = 0x53;
    device.gainIndex = 3;
    device.spare = 0xAA;
    device.maximum = 1;
    device.minimum = -1;
    device.periodX100 = 777;
    device.samplingIndex = 7;
    unsigned char block[Frames::meterBlockSize];
    Frames::writeMeterBlock(device, block);

    std::vector<int8_t> square(768);
    for (int i = 0; i < 768; ++i)
        square[size_t(i)] = (i % 50) < 25 ? 100 : -100;
    const channela_t m = hostMeterRecord(square.data(), 768, -100, 100, block);
    // Measured here: falling edges from the high start, 25, 75, ... 725.
    QCOMPARE(m.periodX100, 5000u);
    QCOMPARE(int(m.zeroCrossFirst), 25);
    QCOMPARE(int(m.zeroCrossSecond), 75);
    QCOMPARE(int(m.maximum), 100);
    QCOMPARE(int(m.minimum), -100);
    QCOMPARE(int(m.average), 0);
    QCOMPARE(int(m.rms), 100 * 128);
    // Echoed from the block, not measured.
    QCOMPARE(int(m.controls), 0x53);
    QCOMPARE(int(m.gainIndex), 3);
    QCOMPARE(int(m.spare), 0xAA);
    QCOMPARE(int(m.samplingIndex), 7);

    // Too small to measure: no period, average over the whole buffer.
    std::vector<int8_t> small(768);
    for (int i = 0; i < 768; ++i)
        small[size_t(i)] = (i % 50) < 25 ? 12 : -8;
    const channela_t quiet = hostMeterRecord(small.data(), 768, -8, 12, nullptr);
    QCOMPARE(quiet.periodX100, 0u);
    int sum = 0;
    for (int8_t v : small)
        sum += v;
    QCOMPARE(int(quiet.average), sum * 128 / 768);
    QCOMPARE(int(quiet.gainIndex), 0);
}

void TestMeasurements::automaticCursorPositions()
{
    AutoCursorPositions p = automaticVerticalCursors(25, 75, 5000, true, false, 768, 0);
    QVERIFY(p.valid);
    QCOMPARE(p.a, 50);
    QCOMPARE(p.b, 150);
    QVERIFY(!automaticVerticalCursors(25, 75, 0, true, false, 768, 0).valid);
    QVERIFY(!automaticVerticalCursors(25, 75, 5000, false, false, 768, 0).valid);
    // Roll: shifted by n − start, wrapped into the trace, distance kept.
    p = automaticVerticalCursors(25, 75, 5000, true, true, 768, 100);
    QCOMPARE(p.a, 2 * (25 + 668));
    QCOMPARE(p.b - p.a, 100);
    p = automaticVerticalCursors(200, 250, 5000, true, true, 768, 100);
    QCOMPARE(p.a, 2 * 100);
    QCOMPARE(p.b, 2 * 150);
}

void TestMeasurements::verticalCursorTexts()
{
    VerticalCursors v;
    v.vCursorInit();
    v.setTimeIndex(7); // "1ms/div"
    v.vCursorSetPosition(64, 192);
    VerticalCursors::Labels l = v.labels();
    QCOMPARE(l.deltaTime, QStringLiteral("ΔT =  4.000 ms"));
    QCOMPARE(l.frequency, QStringLiteral("1/ΔT =  250.0 Hz"));
    // Swapped cursors read the same.
    v.vCursorSetPosition(192, 64);
    QCOMPARE(v.labels().deltaTime, QStringLiteral("ΔT =  4.000 ms"));

    v.setTimeIndex(6); // 500 µs/div: 64 samples are 2 ms, 0.5 kHz
    v.vCursorSetPosition(64, 192);
    l = v.labels();
    QCOMPARE(l.deltaTime, QString::fromUtf8("ΔT =  2000 µs"));
    QCOMPARE(l.frequency, QStringLiteral("1/ΔT =  0.500 kHz"));
    v.setTimeIndex(40); // held at "50s/div"
    QCOMPARE(v.timeIndex, 21);
    QCOMPARE(v.labels().frequency.right(3), QStringLiteral("mHz"));

    // Both cursors on one sample: no frequency rather than a division by zero.
    v.vCursorSetPosition(100, 101);
    l = v.labels();
    QCOMPARE(l.deltaTime, QStringLiteral("ΔT =  0.000 s"));
    QCOMPARE(l.frequency, QStringLiteral("1/ΔT = -- mHz"));
}

void TestMeasurements::verticalCursorRange()
{
    VerticalCursors v;
    v.vCursorSetRange(8, 1536 - 8, 1536);
    v.vCursorSetPosition(-50, 5000);
    QCOMPARE(v.clampedA(), 8);
    QCOMPARE(v.clampedB(), 1528);
    v.vCursorSetRange(-4, 2000, 1536);
    QCOMPARE(v.rangeLow, 0);
    QCOMPARE(v.rangeHigh, 1536);
    v.vCursorSetRange(3000, 10, 1536);
    QCOMPARE(v.rangeLow, 1535);
    QCOMPARE(v.rangeHigh, 1536);
}

void TestMeasurements::horizontalCursorDrags()
{
    HorizontalCursors h;
    h.hCursorInit();
    const int ch1Zero = 520;
    const int ch2Zero = 1100;
    QCOMPARE(h.hCursorRefreshA(700, ch1Zero, ch2Zero), 700);
    QCOMPARE(h.ch1A, 180);
    // Held to the channel's zero ± 256.
    QCOMPARE(h.hCursorRefreshB(100, ch1Zero, ch2Zero), 264);
    QCOMPARE(h.ch1B, -256);
    // And to the plot, 8 .. 1272, before that.
    h.setChannel(1);
    QCOMPARE(h.hCursorRefreshA(1400, ch1Zero, ch2Zero), 1272);
    QCOMPARE(h.ch2A, 172);
    QCOMPARE(h.ch1A, 180);
    QCOMPARE(h.handleA(ch1Zero, ch2Zero), 1272);
    // The trace moves: the handles keep their distance from its zero.
    QCOMPARE(h.handleA(ch1Zero, 900), 1072);
}

void TestMeasurements::horizontalCursorAutomaticPlacementAndLabels()
{
    HorizontalCursors h;
    h.setType(Cursors::Automatic);
    // The selected channel must be in the frame.
    QVERIFY(!h.hCursorcSetPositionAuto(true, 800.7, 400.2, 640, 640));
    h.hCursorSetChannelEnabled(0, true);
    QVERIFY(!h.hCursorcSetPositionAuto(false, 800.7, 400.2, 640, 640));
    QVERIFY(h.hCursorcSetPositionAuto(true, 800.7, 400.2, 640, 640));
    QCOMPARE(h.ch1A, 160);
    QCOMPARE(h.ch1B, -240);
    h.setType(Cursors::Manual);
    QVERIFY(!h.hCursorcSetPositionAuto(true, 0, 0, 640, 640));
    QCOMPARE(h.ch1A, 160);

    // Labels at "12.5mV/div": 100 units is 19.53 mV.
    h.ch1A = 100;
    h.ch1B = -28;
    HorizontalCursors::Labels l = h.labels(9, 0);
    QCOMPARE(l.voltA, QStringLiteral("Va =  19.5 mV"));
    QCOMPARE(l.voltB, QStringLiteral("Vb = -5.47 mV"));
    QCOMPARE(l.deltaVolt, QStringLiteral("ΔV =  25.0 mV"));
    // Gains beyond the table are held to its ends.
    QCOMPARE(h.labels(42, 0).voltA, l.voltA);
    QCOMPARE(h.labels(-3, 0).voltA, QStringLiteral("Va =  12.5 V"));
    // The other channel's gain does not matter.
    h.setChannel(1);
    h.ch2A = 64;
    h.ch2B = 0;
    QCOMPARE(h.labels(9, 0).voltA, QStringLiteral("Va =  8.00 V"));
}

void TestMeasurements::cursorTypesAndVisibility()
{
    CursorTypeEffects e = cursorTypeEffects(Cursors::Track, false);
    QVERIFY(e.checkVerticalCursors);
    QVERIFY(e.tracersOn);
    QVERIFY(!e.automaticVerticalCursors);
    QVERIFY(!cursorTypeEffects(Cursors::Track, true).checkVerticalCursors);
    e = cursorTypeEffects(Cursors::Automatic, false);
    QVERIFY(!e.checkVerticalCursors);
    QVERIFY(!e.tracersOn);
    QVERIFY(e.automaticVerticalCursors);
    e = cursorTypeEffects(Cursors::Manual, false);
    QVERIFY(!e.checkVerticalCursors && !e.tracersOn && !e.automaticVerticalCursors);
    QCOMPARE(Cursors::horizontalTypeTexts(), QStringList({"Track", "Automatic", "Manual"}));

    QVERIFY(!verticalCursorsShown(true, true));
    QVERIFY(verticalCursorsShown(true, false));

    HorizontalCursors h;
    h.hCursorSetVisible(true);
    QVERIFY(!h.shown());
    h.hCursorSetChannelEnabled(0, true);
    QVERIFY(h.shown());
    h.hCursorSetChannelEnabled(7, true); // no such channel: ignored
    QVERIFY(!h.switchedOn(true, true));
    h.setChannel(1);
    QVERIFY(!h.shown());
    QVERIFY(h.switchedOn(true, true));
    QCOMPARE(h.tracersShown(true).ch2, true);
    QCOMPARE(h.tracersShown(true).ch1, false);
    QCOMPARE(h.tracersShown(false).ch2, false);
}

QTEST_GUILESS_MAIN(TestMeasurements)
#include "tst_measurements.moc"
