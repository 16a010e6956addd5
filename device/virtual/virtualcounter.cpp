// SPDX-License-Identifier: GPL-3.0-only
#include "device/virtual/virtualcounter.h"

#include "device/virtual/virtualbus.h"

#include "device/virtual/virtualgenerator.h"

#include <algorithm>
#include <cmath>

namespace VirtualCounter {

double Input::phaseAt(double t) const
{
    return generator ? generator->phaseAt(t) : frequency * t;
}

double Input::timeAtPhase(double p) const
{
    if (generator)
        return generator->timeAtPhase(p);
    return frequency > 0 ? p / frequency : 0.0;
}

double Input::frequencyAt(double t) const
{
    return generator ? generator->frequencyAt(t) : frequency;
}

Input input(int sourceCode, const VirtualGenerator &generator, double t, bool bus)
{
    Input in;
    const int code = std::clamp(sourceCode, 0, 11);
    if (code >= 2 && code <= 9 && bus) {
        const VirtualBus::WireEdges &wire = VirtualBus::edges(code - 2);
        in.kind = wire.rises.empty() ? Input::Constant : Input::Periodic;
        in.constantHigh = true;
        in.frequency = 1.0 / wire.period;
        in.rises = wire.rises;
        in.falls = wire.falls;
        return in;
    }
    if (code >= 2 && code <= 9) {
        // Bit b of a counter stepping at 2 kHz: high in the second half of
        // each of its periods.
        const int bit = code - 2;
        in.kind = Input::Periodic;
        in.frequency = 1000.0 / double(1 << bit);
        in.rises = {0.5};
        in.falls = {0.0};
        return in;
    }
    if (code == 11 || code == 1) {
        // The probe square is 0 V or 2 V with millivolts of noise: the 0.8 V /
        // 1.2 V Schmitt trigger follows its edges exactly.
        in.kind = Input::Periodic;
        in.frequency = 1000.0;
        in.rises = {0.0};
        in.falls = {0.5};
        return in;
    }
    if (generator.isNoise()) {
        in.kind = Input::Noise;
        in.generator = &generator;
        return in;
    }
    bool alwaysHigh = false;
    generator.comparatorEdges(t, in.rises, in.falls, alwaysHigh);
    if (in.rises.empty()) {
        in.kind = Input::Constant;
        in.constantHigh = alwaysHigh;
        return in;
    }
    in.kind = Input::Periodic;
    in.generator = &generator;
    return in;
}

int64_t risingEdges(const Input &in, double t1, double t2)
{
    if (t2 <= t1)
        return 0;
    if (in.kind == Input::Noise)
        return in.generator->noiseRisingEdges(t1, t2);
    if (in.kind != Input::Periodic)
        return 0;
    const double p1 = in.phaseAt(t1);
    const double p2 = in.phaseAt(t2);
    int64_t edges = 0;
    for (double a : in.rises)
        edges += int64_t(std::floor(p2 - a) - std::floor(p1 - a));
    return edges;
}

bool levelAt(const Input &in, double t)
{
    if (in.kind == Input::Constant)
        return in.constantHigh;
    if (in.kind == Input::Noise)
        return false;
    const double p = in.phaseAt(t);
    const double f = p - std::floor(p);
    // The latest change before this phase decides the level.
    double best = -2.0;
    bool high = false;
    for (double a : in.rises) {
        const double d = a <= f ? a : a - 1.0;
        if (d > best) {
            best = d;
            high = true;
        }
    }
    for (double b : in.falls) {
        const double d = b <= f ? b : b - 1.0;
        if (d > best) {
            best = d;
            high = false;
        }
    }
    return high;
}

uint32_t frequencyCount(const Input &in, double now, bool fast)
{
    const double gate = fast ? 0.25 : 1.0;
    const double end = std::floor(now / gate) * gate;
    if (end < gate)
        return 0; // the first gate is still open
    const int64_t edges = risingEdges(in, end - gate, end);
    return uint32_t(std::max<int64_t>(0, fast ? edges * 4 : edges));
}

void periodTicks(const Input &in, double now, uint32_t &period, uint32_t &high)
{
    period = 0;
    high = 0;
    if (in.kind == Input::Noise) {
        const int64_t edges = risingEdges(in, now - 0.1, now);
        if (edges > 0) {
            period = uint32_t(std::lround(timeBaseHz * 0.1 / double(edges)));
            high = period / 2;
        }
        return;
    }
    if (in.kind != Input::Periodic || in.rises.empty())
        return;
    const double f = in.frequencyAt(now) * double(in.rises.size());
    if (f <= 0)
        return;
    double highFraction = 0.0;
    std::vector<double> r = in.rises;
    std::vector<double> d = in.falls;
    std::sort(r.begin(), r.end());
    std::sort(d.begin(), d.end());
    for (double a : r) {
        // The high time after each rise lasts to the next fall.
        double next = 2.0;
        for (double b : d)
            next = std::min(next, b > a ? b : b + 1.0);
        if (next <= 1.0 + a)
            highFraction += next - a;
    }
    const double seconds = 1.0 / f;
    period = uint32_t(std::lround(std::min(4.0e9, timeBaseHz * seconds)));
    high = uint32_t(std::lround(std::min(4.0e9, timeBaseHz * seconds * highFraction)));
}

uint32_t gatedCount(const Input &in, const Input &gate, double now)
{
    if (gate.kind == Input::Constant)
        return gate.constantHigh ? uint32_t(std::min<int64_t>(risingEdges(in, 0.0, now), UINT32_MAX)) : 0;
    if (gate.kind != Input::Periodic || gate.rises.empty())
        return 0;
    // The latest opening of the gate, in phase, then its closing.
    const double p = gate.phaseAt(now);
    double opened = -1e300;
    for (double a : gate.rises)
        opened = std::max(opened, std::floor(p - a) + a);
    double closes = 1e300;
    for (double b : gate.falls) {
        double c = std::ceil(opened - b) + b;
        if (c <= opened)
            c += 1.0;
        closes = std::min(closes, c);
    }
    const double tOpen = gate.timeAtPhase(opened);
    const double tClose = closes <= p ? gate.timeAtPhase(closes) : now;
    if (tOpen < 0)
        return 0;
    return uint32_t(std::max<int64_t>(0, risingEdges(in, tOpen, tClose)));
}

} // namespace VirtualCounter
