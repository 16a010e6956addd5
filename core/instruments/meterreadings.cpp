// SPDX-License-Identifier: GPL-3.0-only
// The meter's and counter's conversions from raw replies to shown values.
#include "core/instruments/meterreadings.h"

#include "core/scope/scaletables.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace MeterReadings
{

namespace
{
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

bool gainHasScale(uint8_t gain)
{
    return gain < ScaleTables::gainCount;
}
} // namespace

bool parseMeterRead(const unsigned char *data, int length, channela_t &ch1, channela_t &ch2)
{
    if (!data || length != Frames::meterReadLength)
        return false;
    Frames::parseMeterBlock(&ch1, data);
    Frames::parseMeterBlock(&ch2, data + Frames::meterBlockSize);
    return true;
}

AcReading acReading(const channela_t &meter)
{
    AcReading r;
    const uint8_t g = meter.gainIndex;
    if (gainHasScale(g)) {
        r.vpp = ScaleTables::int8ToVolt_f(g, meter.maximum, meter.minimum);
        r.maximum = ScaleTables::int8ToVolt_f(g, meter.maximum);
        r.minimum = ScaleTables::int8ToVolt_f(g, meter.minimum);
        r.rms = ScaleTables::int16ToVolt_f(g, meter.rms);
        r.average = ScaleTables::int16ToVolt_f(g, meter.average);
    } else {
        r.vpp = r.maximum = r.minimum = r.rms = r.average = notANumber;
    }
    // The conversion takes a signed period: a larger one is no period the
    // instrument measured over a buffer of at most a few thousand samples.
    if (meter.samplingIndex > ScaleTables::maxSamplingIndex || meter.periodX100 > uint32_t(INT32_MAX))
        r.frequency = notANumber;
    else
        r.frequency = ScaleTables::samplex100ToFrequency_f(int(meter.periodX100), meter.samplingIndex);
    return r;
}

double dcReading(const channela_t &meter)
{
    return gainHasScale(meter.gainIndex) ? ScaleTables::int16ToVolt_f(meter.gainIndex, meter.average)
                                         : notANumber;
}

CounterPage counterPage(CounterType type)
{
    CounterPage page;
    switch (type) {
    case CounterType::Frequency:
        page.mode = 4;
        page.frequency = page.period = true;
        break;
    case CounterType::CountPulses:
        page.mode = 5;
        page.pollInterval = 0;
        page.startEnabled = true;
        page.counter = true;
        break;
    case CounterType::Period:
        page.mode = 6;
        page.frequency = page.period = page.duty = page.width = true;
        break;
    case CounterType::ExternalGate:
        page.mode = 7;
        page.gateEnabled = true;
        page.counter = true;
        break;
    }
    return page;
}

CounterReading counterReading(CounterType type, uint32_t c1, uint32_t c2, bool fast)
{
    CounterReading r;
    switch (type) {
    case CounterType::CountPulses:
    case CounterType::ExternalGate:
        r.count = double(c1);
        break;
    case CounterType::Period:
        r.period = double(c1) / counterTimeBase;
        if (c1 == 0) {
            r.frequency = r.duty = r.width = notANumber;
        } else {
            r.frequency = counterTimeBase / double(c1);
            // A high time longer than the period is no reading of a signal.
            const bool consistent = c2 <= c1;
            r.duty = consistent ? double(c2) * 100.0 / double(c1) : notANumber;
            r.width = consistent ? double(c2) / counterTimeBase : notANumber;
        }
        break;
    case CounterType::Frequency: {
        r.frequency = double(c1);
        r.period = c1 == 0 ? notANumber : 1.0 / double(c1);
        // Edges counted in the gate, ±1: as many digits as that count has.
        const uint32_t edges = fast ? c1 / 4 : c1;
        r.significant = edges == 0 ? 1 : int(std::floor(std::log10(double(edges)))) + 1;
        break;
    }
    }
    return r;
}

ShownDigits significantDigits(double value, int significant)
{
    ShownDigits shown;
    if (!std::isfinite(value) || value == 0.0)
        return shown;
    const int exponent = int(std::floor(std::log10(std::fabs(value))));
    shown.precision = exponent - std::max(1, significant) + 1;
    shown.unitPower = 3 * int(std::floor(exponent / 3.0));
    return shown;
}

void GateCounts::take(uint32_t running)
{
    if (polled && running < previous) {
        // A new gate: the one before ended, seen whole only if it held.
        if (openingSeen && !held) {
            missedGate = true;
            missedLeast = largest;
        }
        openingSeen = true;
        held = false;
        largest = running;
    } else if (polled && running == previous) {
        hasComplete = true;
        lastComplete = running;
        held = true;
        missedGate = false;
    } else if (polled && held) {
        // Past a held count: the gate that held closed, a new one counts.
        openingSeen = true;
        held = false;
        largest = running;
    } else {
        largest = std::max(largest, running);
    }
    polled = true;
    previous = running;
}

} // namespace MeterReadings
