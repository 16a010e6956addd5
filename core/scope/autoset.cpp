// SPDX-License-Identifier: GPL-3.0-only
// Autoset's choice of gains, time base and trigger from one frame.
#include "core/scope/autoset.h"

#include "core/scope/measurements.h"
#include "core/scope/scaletables.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Autoset {

namespace {
constexpr double codesPerDivision = 40.96;
// The converter reaches 3.125 divisions either side of zero; a signal is
// kept a little inside that.
constexpr double peakDivisions = 2.9;
constexpr int levelLimit = 125;

double voltsPerCode(int gain)
{
    return ScaleTables::voltsPerDivision(gain) / codesPerDivision;
}

double sampleSeconds(int samplingIndex)
{
    return ScaleTables::secondsPerDivision(samplingIndex) / 16.0;
}
} // namespace

int gainFor(double minimumVolts, double maximumVolts, int current)
{
    const double swing = maximumVolts - minimumVolts;
    const double peak = std::max(std::fabs(minimumVolts), std::fabs(maximumVolts));
    const auto fits = [&](int gain, double most) {
        const double v = ScaleTables::voltsPerDivision(gain);
        return v > 0.0 && swing / v <= most && peak / v <= peakDivisions;
    };
    if (current >= 0 && current < ScaleTables::gainCount && fits(current, 6.3) &&
        swing / ScaleTables::voltsPerDivision(current) >= 3.5)
        return current;
    for (int gain = ScaleTables::gainCount - 1; gain > 0; --gain) {
        if (fits(gain, 6.0))
            return gain;
    }
    return 0;
}

int samplingIndexFor(double periodSeconds, double visibleSamples)
{
    int best = 0;
    double bestScore = std::numeric_limits<double>::infinity();
    for (int index = 0; index <= slowestSamplingIndex; ++index) {
        const double periods = visibleSamples * sampleSeconds(index) / periodSeconds;
        double score = std::fabs(std::log(periods / 3.0));
        // A percent of slack, so that a period measured a hair long or
        // short does not turn the choice over.
        if (periods >= 1.98 && periods <= 4.04)
            score -= 10.0;
        if (score < bestScore) {
            bestScore = score;
            best = index;
        }
    }
    return best;
}

Choice choose(const Observation &input)
{
    Choice c;
    c.samplingIndex = std::clamp(input.samplingIndex, 0, slowestSamplingIndex);
    bool changed = c.samplingIndex != input.samplingIndex;
    int slowChannel = -1;
    double slowestPeriod = 0.0;
    bool wantSlower = false;
    bool wantFaster = false;
    double middleVolts[2] = {0.0, 0.0};
    for (int ch = 0; ch < 2; ++ch) {
        const Channel &in = input.channels[ch];
        c.gain[ch] = in.gain;
        if (!in.enabled || !in.samples || in.count <= 0)
            continue;
        const auto range = std::minmax_element(in.samples, in.samples + in.count);
        const int minimum = *range.first;
        const int maximum = *range.second;
        const double perCode = voltsPerCode(in.gain);
        if (!(perCode > 0.0)) {
            c.gain[ch] = 0; // a gain without a scale: start from the coarsest
            changed = true;
            continue;
        }
        const bool clipped = maximum >= 127 || minimum <= -128;
        if (clipped && in.gain > 0) {
            // How far beyond the limits it goes is unknown: two steps coarser.
            c.gain[ch] = std::max(0, in.gain - 2);
            changed = true;
            continue;
        }
        c.gain[ch] = gainFor(minimum * perCode, maximum * perCode, in.gain);
        middleVolts[ch] = (minimum + maximum) / 2.0 * perCode;
        if (c.gain[ch] != in.gain) {
            // The period is measured again at the new gain.
            changed = true;
            continue;
        }
        const PeriodMeasurement m = measurePeriod(in.samples, in.count, minimum, maximum);
        if (m.verdict == PeriodVerdict::SwingTooSmall)
            continue;
        if (m.verdict == PeriodVerdict::Measured) {
            const double period = m.periodSamples * sampleSeconds(input.samplingIndex);
            if (period > slowestPeriod) {
                slowestPeriod = period;
                slowChannel = ch;
            }
        } else if (m.verdict == PeriodVerdict::TooFewEdges) {
            wantSlower = true;
        } else {
            wantFaster = true;
        }
    }
    if (wantSlower && input.samplingIndex < slowestSamplingIndex)
        c.samplingIndex = std::min(slowestSamplingIndex, input.samplingIndex + 2);
    else if (slowChannel >= 0)
        c.samplingIndex = samplingIndexFor(slowestPeriod, input.visibleSamples);
    else if (wantFaster)
        c.samplingIndex = std::max(0, input.samplingIndex - 3);
    changed = changed || c.samplingIndex != input.samplingIndex;
    c.triggerChannel = slowChannel;
    if (c.triggerChannel >= 0) {
        const double level = middleVolts[c.triggerChannel] / voltsPerCode(c.gain[c.triggerChannel]);
        c.triggerLevel = int(std::clamp(std::lround(level), long(-levelLimit), long(levelLimit)));
    }
    c.settled = !changed;
    return c;
}

} // namespace Autoset
