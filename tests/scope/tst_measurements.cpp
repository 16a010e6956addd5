// SPDX-License-Identifier: GPL-3.0-only
#include "core/device/frames.h"
#include "core/scope/measurements.h"

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

// An independent reading of the period rule: every index where the signal
// passes the middle in the counted direction after having been beyond the
// far threshold; the period is the mean distance, when 2 .. n / 4 are found.
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
    bool armed = false;
    for (int i = 5; i <= n - 6; ++i) {
        const int v = s[size_t(i)];
        if (direction == 0) {
            direction = v < lo ? 1 : (v > hi ? -1 : 0);
            armed = direction != 0;
        } else if ((direction == 1 && v < lo) || (direction == -1 && v > hi)) {
            armed = true;
        } else if (armed && (direction == 1 ? v > mid : v < mid)) {
            ref.crossings.push_back(i);
            armed = false;
        }
    }
    const int k = int(ref.crossings.size());
    if (k >= 2 && k <= n / 4)
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
    void periodAgreesWithAnIndependentCount_data();
    void periodAgreesWithAnIndependentCount();
    void squareCrossingsAndLimits();
    void averageAndRms();
};

void TestMeasurements::periodAgreesWithAnIndependentCount_data()
{
    QTest::addColumn<double>("period");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<int>("length");
    QTest::newRow("sine 37.5 in 768") << 37.5 << 80.0 << 768;
    QTest::newRow("sine 8.2 in 2048") << 8.2 << 60.0 << 2048;
    QTest::newRow("sine 300 in 768") << 300.0 << 20.0 << 768;
    QTest::newRow("sine 1000 in 512") << 1000.0 << 127.0 << 512;
    QTest::newRow("amplitude 15, too small") << 50.0 << 15.0 << 768;
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
        QCOMPARE(measure(s, &zeros), ref.result);
        if (ref.result == 0) {
            QCOMPARE(int(zeros.zeroCross[2]), length); // no period: the whole buffer
            continue;
        }
        QVERIFY2(std::fabs(ref.result / 100.0 - period) < 1.0, qPrintable(QString::number(ref.result)));
        QCOMPARE(int(zeros.zeroCross[0]), ref.crossings.front());
        QCOMPARE(int(zeros.zeroCross[1]), ref.crossings[1]);
        QCOMPARE(int(zeros.zeroCross[2]), ref.crossings.back());
    }
}

void TestMeasurements::squareCrossingsAndLimits()
{
    mmzeros_t zeros;
    // Starts high, so falling edges are counted: 25, 75, ... 725.
    QCOMPARE(measure(square(768, 50, 100, -100), &zeros), 5000);
    QCOMPARE(QVector<int>({zeros.zeroCross[0], zeros.zeroCross[1], zeros.zeroCross[2]}), QVector<int>({25, 75, 725}));
    // Exactly two crossings: the third slot repeats the second.
    QCOMPARE(measure(square(120, 50, 100, -100), &zeros), 5000);
    QCOMPARE(int(zeros.zeroCross[2]), 75);
    // Amplitude 31 is one short of enough; 32 measures.
    QCOMPARE(measure(square(768, 50, 16, -15), &zeros), 0);
    QCOMPARE(QVector<int>({zeros.zeroCross[0], zeros.zeroCross[1], zeros.zeroCross[2]}), QVector<int>({0, 0, 768}));
    QCOMPARE(measure(square(768, 50, 16, -16), &zeros), 5000);
    // More than n / 4 crossings is noise: period 2 gives 383, period 4 gives 190 of the 192 allowed.
    QCOMPARE(measure(square(768, 2, 100, -100), &zeros), 0);
    QCOMPARE(measure(square(768, 4, 100, -100), &zeros), 400);
    // Automatic vertical cursors in roll mode: shifted by n − start, wrapped into the trace.
    QCOMPARE(automaticVerticalCursors(25, 75, 5000, true, true, 768, 100).a, 2 * (25 + 668));
    QCOMPARE(automaticVerticalCursors(200, 250, 5000, true, true, 768, 100).a, 2 * 100);
    // No samples, or fewer than the search margins.
    QCOMPARE(scopeGetMeasureFrequency(nullptr, 768, -100, 100, &zeros), 0);
    QCOMPARE(scopeGetMeasureFrequency(square(8, 4, 100, -100).data(), 8, -100, 100, &zeros), 0);
}

void TestMeasurements::averageAndRms()
{
    mmzeros_t zeros;
    int16_t average = -1;
    uint16_t rms = 0;
    for (int value : {0, 127, -128}) {
        const Samples constant(768, int8_t(value));
        QCOMPARE(measure(constant, &zeros), 0);
        scopeGetAverRMS(constant.data(), 768, zeros, &average, &rms);
        QCOMPARE(int(average), value * 128);
        QCOMPARE(int(rms), std::abs(value) * 128);
    }
    // Against a direct sum over the whole periods of an offset sine.
    Samples s = sine(1024, 64, 70, 0.3);
    for (int8_t &v : s)
        v = int8_t(v + 20);
    QVERIFY(measure(s, &zeros) > 0);
    scopeGetAverRMS(s.data(), int(s.size()), zeros, &average, &rms);
    long long sum = 0, squares = 0;
    for (int i = zeros.zeroCross[0]; i < zeros.zeroCross[2]; ++i) {
        sum += s[size_t(i)];
        squares += s[size_t(i)] * s[size_t(i)];
    }
    const long long m = zeros.zeroCross[2] - zeros.zeroCross[0];
    QCOMPARE(int(average), int(sum * 128 / m));
    QCOMPARE(int(rms), int(std::sqrt(double(squares / m)) * 128));
    QVERIFY(std::abs(average - 20 * 128) < 64);
    // A crossing record that does not fit the buffer measures the whole buffer.
    const mmzeros_t stale{{300, 400, 500}};
    scopeGetAverRMS(Samples(256, int8_t(10)).data(), 256, stale, &average, &rms);
    QCOMPARE(int(average), 1280);
    QCOMPARE(int(rms), 1280);
}

QTEST_GUILESS_MAIN(TestMeasurements)
#include "tst_measurements.moc"
