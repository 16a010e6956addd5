// SPDX-License-Identifier: GPL-3.0-only
#include "core/device/frames.h"
#include "core/scope/measurements.h"
#include "core/scope/measurementset.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
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
    // Every measurement of synthetic signals with known answers: a number
    // within its tolerance, or not measurable for the reason given.
    void measurementSet()
    {
        using namespace Measure;
        const auto wave = [](int n, const std::function<double(int)> &f) {
            std::vector<double> v(static_cast<size_t>(n), 0.0);
            for (int i = 0; i < n; ++i)
                v[size_t(i)] = f(i);
            return v;
        };
        // Trapezoid, period 100: up over 0..10, top 10..30, down 30..40, base 40..100.
        const auto trapezoid = [](int i) {
            const double t = i % 100;
            return 3.3 * (t < 10 ? t / 10 : t < 30 ? 1 : t < 40 ? (40 - t) / 10 : 0);
        };
        const auto sine = [](int i) { return 0.5 + std::sin(2 * M_PI * i / 50); };
        const auto ok = [](Kind k, double v, double tol) { return std::make_tuple(k, v, tol, Why::Measured); };
        const auto no = [](Kind k, Why w) { return std::make_tuple(k, 0.0, 0.0, w); };
        const struct {
            const char *name;
            std::vector<double> v;
            double noise;
            bool high, low;
            std::vector<std::tuple<Kind, double, double, Why>> expected;
            bool twoLevels = false;
        } rows[] = {
            {"sine", wave(768, sine), 0.05, false, false,
             {ok(Frequency, 20e3, 1e-6), ok(Period, 50e-6, 1e-12), ok(Vavg, 0.5, 1e-3), ok(Vrms, std::sqrt(0.75), 1e-3),
              ok(AcRms, std::sqrt(0.5), 1e-3), ok(Vpp, 2.0, 0.01), ok(Vtop, 1.5, 0.01), ok(Duty, 50.0, 0.01),
              ok(Overshoot, 0.0, 0.5), ok(Edges, 30, 0), ok(PositiveWidth, 25e-6, 1e-8)}},
            {"square with finite edges", wave(768, trapezoid), 0.05, false, false,
             {ok(Frequency, 10e3, 1e-6), ok(RiseTime, 8e-6, 1e-9), ok(FallTime, 8e-6, 1e-9), ok(Duty, 30.0, 1e-6),
              ok(PositiveWidth, 30e-6, 1e-9), ok(NegativeWidth, 70e-6, 1e-9), ok(Vtop, 3.3, 1e-9),
              ok(Vbase, 0.0, 1e-9), ok(Vamp, 3.3, 1e-9), ok(Overshoot, 0.0, 1e-9)}},
            {"pulse train with overshoot", wave(640, [](int i) { return i % 64 < 8 ? (i % 64 == 1 ? 2.3 : 2.0) : -1.0; }),
             0.05, false, false,
             {ok(Duty, 12.5, 1e-6), ok(Overshoot, 10.0, 1e-6), ok(Preshoot, 0.0, 1e-9), ok(RiseTime, 0.8e-6, 1e-9),
              ok(Vtop, 2.0, 1e-9), ok(Vbase, -1.0, 1e-9), ok(Frequency, 1e6 / 64, 1e-6)}},
            {"noise below the floor", wave(768, [](int i) { return 0.01 * std::sin(i * 2.39996); }), 0.05, false, false,
             {no(Frequency, Why::SwingTooSmall), no(Vtop, Why::SwingTooSmall), no(RiseTime, Why::SwingTooSmall),
              ok(Vavg, 0.0, 1e-3), ok(Vpp, 0.02, 1e-3)}},
            {"noise taken as a signal", wave(768, [](int i) { return std::sin(i * 2.39996); }), 0.0, false, false,
             {no(Frequency, Why::TooManyEdges), no(Duty, Why::TooManyEdges), no(Edges, Why::TooManyEdges)}},
            {"clipped", wave(768, [](int i) { return std::clamp(1.5 * std::sin(2 * M_PI * i / 50), -1.0, 1.0); }), 0.05,
             true, true,
             {ok(Frequency, 20e3, 1e-6), no(Vmax, Why::Clipped), no(Vmin, Why::Clipped), no(Vrms, Why::Clipped),
              no(RiseTime, Why::Clipped), no(Delay, Why::NoSource)}},
            {"clipped high only", wave(768, [](int i) { return std::min(1.0, 1.5 * std::sin(2 * M_PI * i / 50)); }), 0.05,
             true, false, {no(Vmax, Why::Clipped), ok(Vmin, -1.5, 0.01), no(Vamp, Why::Clipped)}},
            {"DC", wave(768, [](int) { return 0.7; }), 0.05, false, false,
             {ok(Vavg, 0.7, 1e-12), ok(Vrms, 0.7, 1e-12), ok(AcRms, 0.0, 1e-6), ok(Vpp, 0.0, 0.0),
              no(Vtop, Why::SwingTooSmall), no(Frequency, Why::SwingTooSmall), no(Edges, Why::SwingTooSmall)}},
            {"one partial period", wave(768, [](int i) { return std::sin(2 * M_PI * i / 2000); }), 0.05, false, false,
             {no(Frequency, Why::NoWholePeriod), no(Duty, Why::NoWholePeriod), no(NegativeWidth, Why::NoPulse),
              no(PositiveWidth, Why::NoPulse), ok(Edges, 1, 0), ok(Vavg, 0.0, 1.0)}},
            {"no samples", {}, 0.05, false, false, {no(Vpp, Why::NoSamples), no(Frequency, Why::NoSamples)}},
            {"logic bit", wave(768, [](int i) { return i % 8 < 2 ? 1.0 : 0.0; }), 0.5, false, false,
             {ok(Frequency, 125e3, 1e-6), ok(Duty, 25.0, 1e-9), ok(Edges, 190, 0), no(RiseTime, Why::NoSource)}, true},
        };
        for (const auto &row : rows) {
            const Set set =
                measure({row.v.data(), int(row.v.size()), 1e-6, row.noise, row.high, row.low, row.twoLevels});
            for (const auto &[kind, value, tolerance, why] : row.expected) {
                const Result &r = set[kind];
                const QString text = QStringLiteral("%1, %2: %3 (%4)")
                                         .arg(QLatin1String(row.name), QLatin1String(info(kind).name))
                                         .arg(r.value, 0, 'g', 9)
                                         .arg(reasonText(r.why));
                QVERIFY2(r.why == why, qPrintable(text));
                QVERIFY2(!r.ok() || std::fabs(r.value - value) <= tolerance, qPrintable(text));
            }
        }
        // Between channels: the second sine 5 samples later, and one with no edge.
        const std::vector<double> a = wave(768, sine), b = wave(768, [&](int i) { return sine(i - 5); });
        Set first = measure({a.data(), 768, 1e-6, 0.05, false, false});
        measureBetween(first, measure({b.data(), 768, 1e-6, 0.05, false, false}));
        QVERIFY(std::fabs(first[Delay].value - 5e-6) < 1e-9 && std::fabs(first[Phase].value - 36.0) < 1e-6);
        measureBetween(first, measure({b.data(), 3, 1e-6, 0.05, false, false}));
        QVERIFY(first[Delay].why == Why::NoWholeEdge);
        // The panel's choices as the settings keep them: bad entries are named and left out.
        QStringList problems;
        const QVector<Choice> choices = parseChoices(QStringLiteral("CH2:Duty,D3:RiseTime,CH1:Nope,CH1-CH2:Phase,x"),
                                                     &problems);
        QCOMPARE(formatChoices(choices), QStringLiteral("CH2:Duty,CH1-CH2:Phase"));
        QCOMPARE(problems, QStringList({"D3:RiseTime", "CH1:Nope", "x"}));
        Statistics st;
        for (double v : {1.0, 2.0, 3.0, 4.0})
            st.add(v);
        QVERIFY(st.count == 4 && st.minimum == 1.0 && st.maximum == 4.0 && st.mean == 2.5);
        QVERIFY(std::fabs(st.deviation() - std::sqrt(5.0 / 3.0)) < 1e-12);
    }
};

QTEST_GUILESS_MAIN(TestMeasurements)
#include "tst_measurements.moc"
