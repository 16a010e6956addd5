// SPDX-License-Identifier: GPL-3.0-only
// The meter's and counter's conversions from raw replies, without widgets.
#include "core/instruments/meterreadings.h"
#include "core/scope/scaletables.h"

#include <QtTest>

#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

using MeterReadings::CounterType;

namespace {
const double undef = std::numeric_limits<double>::quiet_NaN();
const uint32_t maxCount = std::numeric_limits<uint32_t>::max();
// Equal, NaN to NaN included.
bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || std::fabs(a - b) <= 1e-12 * std::max(1.0, std::fabs(b)); }
} // namespace

class TestMeterReadings : public QObject
{
    Q_OBJECT
private slots:
    void countsToValues()
    {
        // Type, c1, c2; frequency, period, duty, duty (s), count.
        const CounterType period = CounterType::Period, freq = CounterType::Frequency;
        const std::tuple<CounterType, uint32_t, uint32_t, std::array<double, 5>> rows[] = {
            {period, 32000, 8000, {1000, 0.001, 25, 0.00025, 0}}, {period, 0, 8000, {undef, 0, undef, undef, 0}},
            {period, maxCount, maxCount, {32e6 / maxCount, maxCount / 32e6, 100, maxCount / 32e6, 0}}, // and a high time beyond it:
            {period, 100, 101, {320000, 100 / 32e6, undef, undef, 0}}, {freq, 1000, 0, {1000, 0.001, 0, 0, 0}}, {freq, 0, 0, {0, undef, 0, 0, 0}},
            {freq, maxCount, 0, {double(maxCount), 1.0 / maxCount, 0, 0, 0}},
            {CounterType::CountPulses, maxCount, 7, {0, 0, 0, 0, double(maxCount)}}, {CounterType::ExternalGate, 0, 7, {0, 0, 0, 0, 0}}};
        for (const auto &[type, c1, c2, expected] : rows) {
            const MeterReadings::CounterReading r = MeterReadings::counterReading(type, c1, c2);
            const double got[5] = {r.frequency, r.period, r.duty, r.width, r.count};
            for (int k = 0; k < 5; ++k)
                QVERIFY2(same(got[k], expected[size_t(k)]), qPrintable(QStringLiteral("c1 %1 value %2: %3").arg(c1).arg(k).arg(got[k])));
        }
    }

    void externalGateShowsCompleteGates()
    {
        // Counts the polls read; the count known complete after each (-1: none yet);
        // at the end, the least count of a gate not seen whole (-1: none).
        const std::tuple<std::vector<uint32_t>, std::vector<int64_t>, int64_t> rows[] = {
            {{12, 40, 64, 64, 5, 30, 64, 64}, {-1, -1, -1, 64, 64, 64, 64, 64}, -1}, // a steady signal
            {{64, 64, 12, 19, 64}, {-1, 64, 64, 64, 64}, -1},   // partial counts of later gates
            {{30, 10, 50, 20}, {-1, -1, -1, -1}, 50},           // shut and open between polls
            {{30, 10, 50, 20, 20}, {-1, -1, -1, -1, 20}, -1},   // until one is seen whole
            {{40, 5}, {-1, -1}, -1},                            // the first may have opened long before
            {{64, 64, 10, 20, 5}, {-1, 64, 64, 64, 64}, 20},    // the last gate seen whole stays
            {{30, 30, 45, 45}, {-1, 30, 30, 45}, -1},           // a new gate past a held count
            {{30, 30, 45, 5}, {-1, 30, 30, 30}, 45},
            {{5, 20, maxCount}, {-1, -1, -1}, -1},              // a gate held open never closes
            {{0, 0}, {-1, 0}, -1}};
        for (const auto &[counts, known, missed] : rows) {
            MeterReadings::GateCounts gate;
            for (size_t k = 0; k < counts.size(); ++k) {
                gate.take(counts[k]);
                QCOMPARE(gate.known() ? int64_t(gate.complete()) : -1, known[k]);
            }
            QCOMPARE(gate.missed() ? int64_t(gate.missedAtLeast()) : -1, missed);
        }
    }

    void meterReads()
    {
        unsigned char data[64];
        std::iota(data, data + 64, uchar(1));
        channela_t a{}, b{};
        for (int length : {-7, 0, 35, 37, 64})
            QVERIFY(!MeterReadings::parseMeterRead(data, length, a, b) && a.gainIndex == 0);
        QVERIFY(!MeterReadings::parseMeterRead(nullptr, 36, a, b) && MeterReadings::parseMeterRead(data, 36, a, b));
        QVERIFY(a.gainIndex == 2 && b.gainIndex == 20); // byte 1 of each block

        channela_t m{0, 0, 0, 100, -20, 0, -1280}; // controls, gain, spare, maximum, minimum, RMS, average
        // Period, sampling index, gain: a period beyond the signed conversion or an index beyond
        // the time bases has no frequency, a gain without a scale no volts; no period reads 0 Hz.
        for (const auto &[period, index, gain] : {std::tuple<uint32_t, uint8_t, uint8_t>{1600, 8, 3}, {maxCount, 8, 3},
                 {uint32_t(INT32_MAX) + 1, 8, 3}, {1600, 22, 3}, {1600, 8, 10}, {0, 8, 255}}) {
            m.periodX100 = period;
            m.samplingIndex = index;
            m.gainIndex = gain;
            const MeterReadings::AcReading r = MeterReadings::acReading(m);
            const bool volts = gain < 10, hertz = period <= INT32_MAX && index < 22;
            QVERIFY(same(r.frequency, hertz ? ScaleTables::samplex100ToFrequency_f(int(period), index) : undef));
            QVERIFY(same(r.vpp, volts ? ScaleTables::int8ToVolt_f(gain, 100, -20) : undef));
            QVERIFY(same(MeterReadings::dcReading(m), volts ? ScaleTables::int16ToVolt_f(gain, -1280) : undef));
            for (double v : {r.maximum, r.minimum, r.rms, r.average})
                QCOMPARE(std::isnan(v), !volts);
        }
    }
};

QTEST_MAIN(TestMeterReadings)
#include "tst_meterreadings.moc"
