// SPDX-License-Identifier: GPL-3.0-only
#include "device/virtual/virtualacquisition.h"

#include "core/device/frames.h"
#include "core/scope/measurements.h"
#include "device/virtual/virtualbus.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace VirtualAcquisition {

namespace {
// Sample periods in ns: the time per division of the time-base list over 16.
const int64_t periodsNs[samplingIndexCount] = {
    500,      1000,      2000,      4000,      8000,       16000,      31250,      62500,
    125000,   312500,    625000,    1250000,   3125000,    6250000,    12500000,   31250000,
    62500000, 125000000, 312500000, 625000000, 1250000000, 3125000000LL};
const double voltsPerDiv[gainCount] = {8, 4, 2, 0.8, 0.4, 0.2, 0.1, 0.05, 0.025, 0.0125};

uint64_t mix(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// A table of Gaussian values (unit variance) drawn once from a fixed seed; the
// probe's noise at an instant is the entry its time hashes to.
struct GaussTable {
    static constexpr int size = 4096;
    float values[size];
    GaussTable()
    {
        uint64_t state = 0x2b7e151628aed2a6ULL;
        for (int i = 0; i < size; i += 2) {
            state = mix(state);
            const double u1 = (double(state >> 11) + 1.0) / 9007199254740993.0;
            state = mix(state);
            const double u2 = double(state >> 11) / 9007199254740992.0;
            const double r = std::sqrt(-2.0 * std::log(u1));
            values[i] = float(r * std::cos(6.283185307179586 * u2));
            values[i + 1] = float(r * std::sin(6.283185307179586 * u2));
        }
    }
};
const GaussTable &gauss()
{
    static const GaussTable table;
    return table;
}
} // namespace

int64_t samplePeriodNs(int samplingIndex)
{
    return periodsNs[std::clamp(samplingIndex, 0, samplingIndexCount - 1)];
}

double samplesPerSecond(int samplingIndex)
{
    return 1e9 / double(samplePeriodNs(samplingIndex));
}

double voltsPerDivision(int gain)
{
    return voltsPerDiv[std::clamp(gain, 0, gainCount - 1)];
}

double voltsPerCode(int gain)
{
    return voltsPerDivision(gain) / 40.96;
}

double probeVolts(int64_t timeNs)
{
    const int64_t inPeriod = ((timeNs % 1000000) + 1000000) % 1000000;
    const double level = inPeriod < 500000 ? 2.0 : 0.0;
    return level + 0.002 * gauss().values[mix(uint64_t(timeNs)) & (GaussTable::size - 1)];
}

void probeBlock(int64_t firstSample, int64_t periodNs, int count, float *volts)
{
    const GaussTable &g = gauss();
    for (int i = 0; i < count; ++i) {
        const int64_t t = (firstSample + i) * periodNs;
        const int64_t inPeriod = ((t % 1000000) + 1000000) % 1000000;
        volts[i] = (inPeriod < 500000 ? 2.0f : 0.0f) + 0.002f * g.values[mix(uint64_t(t)) & (GaussTable::size - 1)];
    }
}

uint8_t logicAt(int64_t timeNs)
{
    // One count every 500 µs: bit b is a square wave of 1000 / 2^b Hz.
    const int64_t count = timeNs >= 0 ? timeNs / 500000 : (timeNs - 499999) / 500000;
    return uint8_t(count & 0xFF);
}

void logicBlock(int64_t firstSample, int64_t periodNs, int count, bool invert, uint8_t *out, LogicWiring wiring)
{
    const uint8_t flip = invert ? 0xFF : 0x00;
    if (wiring == LogicWiring::Bus) {
        for (int i = 0; i < count; ++i)
            out[i] = VirtualBus::levelsAt((firstSample + i) * periodNs) ^ flip;
        return;
    }
    for (int i = 0; i < count; ++i)
        out[i] = logicAt((firstSample + i) * periodNs) ^ flip;
}

void analogCodes(int channel, const FrontEnd &frontEnd, const float *ch1Volts, const float *ch2Volts, int count,
                 float *work, int8_t *codes)
{
    const uint8_t c = frontEnd.controls;
    const float *own = channel == 0 ? ch1Volts : ch2Volts;
    const float *input = own;
    if (c & 0x10) {
        if (c & 0x20) {
            for (int i = 0; i < count; ++i)
                work[i] = ch1Volts[i] - ch2Volts[i];
            input = work;
        } else if (c & 0x40) {
            for (int i = 0; i < count; ++i)
                work[i] = ch1Volts[i] * ch2Volts[i];
            input = work;
        }
    }
    double mean = 0.0;
    if ((c & 0x02) && count > 0) {
        for (int i = 0; i < count; ++i)
            mean += input[i];
        mean /= count;
    }
    const double scale = 1.0 / voltsPerCode(frontEnd.gain);
    const double shift = frontEnd.adcOffsetCodes - mean * scale;
    const bool invert = c & 0x04;
    for (int i = 0; i < count; ++i) {
        double code = std::nearbyint(input[i] * scale + shift);
        code = code > 127.0 ? 127.0 : (code < -128.0 ? -128.0 : code);
        int value = int(code);
        if (invert)
            value = value == -128 ? 127 : -value;
        codes[i] = int8_t(value);
    }
}

int measurePeriodX100(const int8_t *s, int n, int minimum, int maximum, uint16_t zeros[3])
{
    // The instrument measures as the host does when it measures itself.
    mmzeros_t found;
    const int period = scopeGetMeasureFrequency(s, n, minimum, maximum, &found);
    std::copy(found.zeroCross, found.zeroCross + 3, zeros);
    return period;
}

void measureAverageRms(const int8_t *s, const uint16_t zeros[3], int16_t &average, int16_t &rms)
{
    const int from = zeros[0];
    const int to = zeros[2];
    const int m = to - from;
    if (m <= 0) {
        average = 0;
        rms = 0;
        return;
    }
    int32_t sum = 0;
    int32_t squares = 0;
    for (int i = from; i < to; ++i) {
        sum += s[i];
        squares += int32_t(s[i]) * s[i];
    }
    average = int16_t((sum * 128) / m);
    rms = int16_t(std::sqrt(double(squares / m)) * 128.0);
}

Measurement measure(const int8_t *samples, int count)
{
    Measurement m;
    if (count <= 0)
        return m;
    int hi = -128;
    int lo = 127;
    for (int i = 0; i < count; ++i) {
        hi = std::max<int>(hi, samples[i]);
        lo = std::min<int>(lo, samples[i]);
    }
    m.maximum = int8_t(hi);
    m.minimum = int8_t(lo);
    m.periodX100 = uint32_t(measurePeriodX100(samples, count, lo, hi, m.zeros));
    measureAverageRms(samples, m.zeros, m.average, m.rms);
    return m;
}

void writeMeterBlock(unsigned char *d, uint8_t controls, uint8_t gain, const Measurement &m, uint8_t samplingIndex)
{
    d[0] = controls;
    d[1] = gain;
    d[2] = 0;
    d[3] = uint8_t(m.maximum);
    d[4] = uint8_t(m.minimum);
    d[5] = uint8_t(uint16_t(m.rms));
    d[6] = uint8_t(uint16_t(m.rms) >> 8);
    d[7] = uint8_t(uint16_t(m.average));
    d[8] = uint8_t(uint16_t(m.average) >> 8);
    for (int b = 0; b < 4; ++b)
        d[9 + b] = uint8_t(m.periodX100 >> (8 * b));
    d[13] = uint8_t(m.zeros[0]);
    d[14] = uint8_t(m.zeros[0] >> 8);
    d[15] = uint8_t(m.zeros[1]);
    d[16] = uint8_t(m.zeros[1] >> 8);
    d[17] = samplingIndex;
}

TriggerType triggerTypeFromControl(int control)
{
    if (control & 0x40)
        return Window;
    if (control & 0x20)
        return (control & 0x10) ? NegativeSlope : PositiveSlope;
    if (control & 0x80)
        return (control & 0x10) ? Falling : Rising;
    return DualEdge;
}

void TriggerDetector::setup(TriggerType t, bool isDigital, int triggerLevel, int windowLow, int windowHigh)
{
    type = t;
    digital = isDigital;
    if (digital) {
        // Logic inputs know only their edges.
        if (type == PositiveSlope)
            type = Rising;
        else if (type == NegativeSlope)
            type = Falling;
        else if (type == Window)
            type = DualEdge;
    }
    level = triggerLevel;
    low = std::min(windowLow, windowHigh);
    high = std::max(windowLow, windowHigh);
    reset();
}

void TriggerDetector::reset()
{
    havePrevious = false;
    lastBelow = -1000000;
    lastAbove = -1000000;
}

bool TriggerDetector::feed(int64_t index, int v)
{
    bool fired = false;
    if (digital) {
        if (havePrevious) {
            if (type == Rising)
                fired = previous == 0 && v != 0;
            else if (type == Falling)
                fired = previous != 0 && v == 0;
            else
                fired = (previous != 0) != (v != 0);
        }
    } else {
        const bool isInside = v >= low && v <= high;
        if (havePrevious) {
            const bool up = previous < level && v >= level;
            const bool down = previous > level && v <= level;
            switch (type) {
            case Rising:
                fired = up;
                break;
            case Falling:
                fired = down;
                break;
            case DualEdge:
                fired = up || down;
                break;
            case PositiveSlope:
                // A slope is a steep edge: it left the band 8 codes below the
                // level within the last division (16 samples).
                fired = up && index - lastBelow <= 16;
                break;
            case NegativeSlope:
                fired = down && index - lastAbove <= 16;
                break;
            case Window:
                fired = isInside != inside;
                break;
            }
        }
        inside = isInside;
        if (v < level - 8)
            lastBelow = index;
        if (v > level + 8)
            lastAbove = index;
    }
    previous = v;
    havePrevious = true;
    return fired;
}

} // namespace VirtualAcquisition
