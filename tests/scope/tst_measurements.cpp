// SPDX-License-Identifier: GPL-3.0-only
#include "core/device/frames.h"
#include "core/scope/measurements.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <tuple>
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
    // The period to a small part of a sample whatever the phase, so that a
    // steady signal reads a steady frequency.
    void periodAgreesWithAnIndependentCount()
    {
        const struct {
            const char *name;
            double period, amplitude;
            int length;
            double noise, tolerance; // peak, in codes; in samples, 0: no period
        } rows[] = {{"sine 37.5 in 768", 37.5, 80.0, 768, 0.0, 0.011},
                    {"sine 8.2 in 2048", 8.2, 60.0, 2048, 0.0, 0.011},
                    {"sine 300 in 768", 300.0, 20.0, 768, 0.0, 0.2},
                    // 4 Vpp at 8 V/div is 20 codes, 2 Vpp 10: both measure, steadily.
                    {"20 codes", 31.97, 10.0, 768, 0.0, 0.03},
                    {"10 codes", 31.3, 5.0, 768, 0.0, 0.03},
                    {"noise on slow edges", 150.0, 40.0, 768, 8.0, 3.0},
                    {"6 codes, too small", 50.0, 3.0, 768, 0.0, 0.0},
                    {"one period only", 1000.0, 127.0, 512, 0.0, 0.0}};
        for (const auto &row : rows)
            for (double phase : {0.0, 1.0, 2.5, 4.0}) {
                Samples s = sine(row.length, row.period, row.amplitude, phase);
                for (int i = 0; i < row.length; ++i)
                    s[size_t(i)] = int8_t(s[size_t(i)] + std::lround(row.noise * std::sin(i * 2.39996)));
                mmzeros_t zeros;
                const double measured = measure(s, &zeros) / 100.0;
                QVERIFY2(row.tolerance > 0 ? std::fabs(measured - row.period) <= row.tolerance
                                           : measured == 0.0,
                         qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(row.name)).arg(measured)));
                if (row.tolerance == 0)
                    QCOMPARE(int(zeros.zeroCross[2]), row.length); // no period: the whole buffer
            }
    }
    void squareCrossingsAndLimits()
    {
        mmzeros_t zeros;
        // Rising edges between 49 and 50, 99 and 100, ... 749 and 750.
        QCOMPARE(measure(square(768, 50, 100, -100), &zeros), 5000);
        QCOMPARE(QVector<int>({zeros.zeroCross[0], zeros.zeroCross[1], zeros.zeroCross[2]}),
                 QVector<int>({50, 100, 750}));
        // Exactly two crossings: the third slot repeats the second.
        QCOMPARE(measure(square(120, 50, 100, -100), &zeros), 5000);
        QCOMPARE(int(zeros.zeroCross[2]), 100);
        // A swing of 7 codes is one short of enough; 8 measures.
        QCOMPARE(measure(square(768, 50, 4, -3), &zeros), 0);
        QCOMPARE(QVector<int>({zeros.zeroCross[0], zeros.zeroCross[1], zeros.zeroCross[2]}),
                 QVector<int>({0, 0, 768}));
        QCOMPARE(measure(square(768, 50, 4, -4), &zeros), 5000);
        // The read-outs over the converter's limits: which is larger or smaller than shown.
        const std::tuple<int, int, QString> clips[] = {
            {-128, 20, "><><"}, {-20, 127, ">>>>"}, {-128, 127, ">><>≈"}, {-127, 126, ""}};
        for (const auto &[low, high, marks] : clips) {
            const OverRange r = overRange(low, high);
            QCOMPARE(r.marks[0] + r.marks[1] + r.marks[2] + r.marks[3] + r.marks[4], marks);
            QCOMPARE(r.reason.isEmpty(), marks.isEmpty());
        }
        // More than n / 4 crossings is noise: period 2 gives 383, period 4 gives 190 of the 192 allowed.
        QCOMPARE(measure(square(768, 2, 100, -100), &zeros), 0);
        QCOMPARE(measure(square(768, 4, 100, -100), &zeros), 400);
        // Automatic vertical cursors in roll mode: shifted by n − start, wrapped into the trace.
        QCOMPARE(automaticVerticalCursors(25, 75, 5000, true, true, 768, 100).a, 2 * (25 + 668));
        QCOMPARE(automaticVerticalCursors(200, 250, 5000, true, true, 768, 100).a, 2 * 100);
        // One mean period apart.
        QCOMPARE(automaticVerticalCursors(10, 43, 3197, true, false, 768, 0).b, 2 * (10 + 32));
        // No samples, or fewer than the search margins.
        QCOMPARE(scopeGetMeasureFrequency(nullptr, 768, -100, 100, &zeros), 0);
        QCOMPARE(scopeGetMeasureFrequency(square(8, 4, 100, -100).data(), 8, -100, 100, &zeros), 0);
    }
    void averageAndRms()
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
        scopeGetAverRMS(nullptr, 0, stale, &average, &rms); // no samples: nothing, not a trace of signal
        QVERIFY(average == 0 && rms == 0);
    }
};

QTEST_GUILESS_MAIN(TestMeasurements)
#include "tst_measurements.moc"
