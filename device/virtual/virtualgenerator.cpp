// SPDX-License-Identifier: GPL-3.0-only
#include "device/virtual/virtualgenerator.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double pi = 3.14159265358979323846;
constexpr double timerHz = 72000000.0;
const double sweepAlpha = std::log(10.0) / 51.0; // frequency code c means 10^(c/51) Hz

uint64_t mix(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// Uniform in [−1, 1], a pure function of the key so that the same instant
// always carries the same noise, however often it is looked at.
double uniform(uint64_t key)
{
    return double(mix(key) >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

// ∫0^τ 10^((c0 + (c1 − c0)·s/T)/51) ds: the phase gained on one sweep leg.
double legPhase(double c0, double c1, double tau, double legSeconds)
{
    const double slope = sweepAlpha * (c1 - c0) / legSeconds;
    const double f0 = std::exp(sweepAlpha * c0);
    if (std::fabs(slope) < 1e-12)
        return f0 * tau;
    return f0 * std::expm1(slope * tau) / slope;
}

int clampInt(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }
} // namespace

VirtualGenerator::VirtualGenerator()
{
    configure(GeneratorSettings(), nullptr);
}

double VirtualGenerator::producedFrequency(int64_t centiHz, int dacBlocks)
{
    const double wanted = double(std::min<int64_t>(std::max<int64_t>(centiHz, 48), 12500000)) / 100.0;
    const double n = 256.0 * clampInt(dacBlocks, 1, 2);
    const double divider = std::max(1.0, std::round(timerHz / (n * wanted)));
    return timerHz / (n * divider);
}

void VirtualGenerator::configure(const GeneratorSettings &settings, const uint16_t *customTable)
{
    cfg = settings;
    cfg.waveform = clampInt(cfg.waveform, 0, 7);
    cfg.amplitude = clampInt(cfg.amplitude, 0, 232);
    cfg.offset = clampInt(cfg.offset, -127, 127);
    cfg.duty = clampInt(cfg.duty, 1, 255);
    cfg.constantLevel = clampInt(cfg.constantLevel, -29696, 29696);
    cfg.frequencyCentiHz = std::min<int64_t>(std::max<int64_t>(cfg.frequencyCentiHz, 48), 12500000);
    cfg.dacBlocks = clampInt(cfg.dacBlocks, 1, 2);
    cfg.sweepStart = clampInt(cfg.sweepStart, 0, 255);
    cfg.sweepEnd = clampInt(cfg.sweepEnd, 0, 255);
    cfg.sweepSpeed = clampInt(cfg.sweepSpeed, 1, 127);
    dacLength = 256 * cfg.dacBlocks;
    baseFrequency = producedFrequency(cfg.frequencyCentiHz, cfg.dacBlocks);

    table.assign(size_t(dacLength), 0.0f);
    for (int j = 0; j < dacLength; ++j) {
        const double p = double(j) / dacLength;
        double v = 0.0;
        switch (cfg.waveform) {
        case 0:
            v = std::sin(2.0 * pi * p);
            break;
        case 3:
            v = 2.0 * (1.0 - std::exp(-5.0 * p)) / (1.0 - std::exp(-5.0)) - 1.0;
            break;
        case 4:
            if (customTable) {
                const int code = std::min<int>(customTable[j * 512 / dacLength], 4095);
                v = std::clamp((code - 2048) / 2047.0, -1.0, 1.0);
            } else {
                v = -1.0; // an empty store holds zeros: the bottom of the range
            }
            break;
        default:
            break;
        }
        table[size_t(j)] = float(v);
    }
}

double VirtualGenerator::sweepSeconds() const
{
    return (128 - cfg.sweepSpeed) * 0.05;
}

double VirtualGenerator::sweepCode(double t) const
{
    const double leg = sweepSeconds();
    const double s = cfg.sweepStart;
    const double e = cfg.sweepEnd;
    t = std::max(0.0, t);
    if (cfg.sweepType & 2) {
        const double u = std::fmod(t, 2.0 * leg);
        return u < leg ? s + (e - s) * u / leg : e - (e - s) * (u - leg) / leg;
    }
    const double u = std::fmod(t, leg) / leg;
    return (cfg.sweepType & 1) ? e - (e - s) * u : s + (e - s) * u;
}

VirtualGenerator::Levels VirtualGenerator::levelsAt(double t) const
{
    Levels l{cfg.amplitude / 115.91, cfg.offset / 63.98, cfg.duty / 255.0};
    if (cfg.sweepType & 0x38) {
        const double c = sweepCode(t);
        if (cfg.sweepType & 8)
            l.amplitude = 0.5018 * c / 56.0;
        if (cfg.sweepType & 16)
            l.offset = (c - 127.5) * 0.5017 / 28.0;
        if (cfg.sweepType & 32)
            l.duty = std::max(1.0, 100.0 * c / 255.0) / 100.0;
    }
    return l;
}

double VirtualGenerator::phaseAt(double t) const
{
    if (!(cfg.sweepType & 4))
        return baseFrequency * t;
    t = std::max(0.0, t);
    const double leg = sweepSeconds();
    const double s = cfg.sweepStart;
    const double e = cfg.sweepEnd;
    if (cfg.sweepType & 2) {
        const double cycle = legPhase(s, e, leg, leg) + legPhase(e, s, leg, leg);
        const double n = std::floor(t / (2.0 * leg));
        const double rem = t - n * 2.0 * leg;
        if (rem < leg)
            return n * cycle + legPhase(s, e, rem, leg);
        return n * cycle + legPhase(s, e, leg, leg) + legPhase(e, s, rem - leg, leg);
    }
    const double c0 = (cfg.sweepType & 1) ? e : s;
    const double c1 = (cfg.sweepType & 1) ? s : e;
    const double n = std::floor(t / leg);
    return n * legPhase(c0, c1, leg, leg) + legPhase(c0, c1, t - n * leg, leg);
}

double VirtualGenerator::timeAtPhase(double phase) const
{
    if (!(cfg.sweepType & 4))
        return baseFrequency > 0 ? phase / baseFrequency : 0.0;
    // The swept phase only grows: bisect between the slowest and fastest pace.
    const double fLow = std::pow(10.0, std::min(cfg.sweepStart, cfg.sweepEnd) / 51.0);
    const double fHigh = std::pow(10.0, std::max(cfg.sweepStart, cfg.sweepEnd) / 51.0);
    double lo = std::max(0.0, phase / fHigh) * 0.999;
    double hi = std::max(0.0, phase / fLow) * 1.001 + 1e-9;
    for (int i = 0; i < 80; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (phaseAt(mid) < phase)
            lo = mid;
        else
            hi = mid;
    }
    return 0.5 * (lo + hi);
}

double VirtualGenerator::frequencyAt(double t) const
{
    if (cfg.sweepType & 4)
        return std::pow(10.0, sweepCode(t) / 51.0);
    return baseFrequency;
}

double VirtualGenerator::shapeAt(int step, int64_t absoluteStep, double duty) const
{
    const double p = double(step) / dacLength;
    switch (cfg.waveform) {
    case 1:
        return p < duty ? 1.0 : -1.0;
    case 2:
        if (duty >= 1.0)
            return -1.0 + 2.0 * p;
        return p < duty ? -1.0 + 2.0 * p / duty : 1.0 - 2.0 * (p - duty) / (1.0 - duty);
    case 6:
        return uniform(seed ^ uint64_t(absoluteStep));
    case 7: {
        // Voss: eight octaves each redrawn half as often as the one below it,
        // which gives the 1/f fall while the mean keeps the peak bound.
        double sum = 0.0;
        for (int k = 0; k < 8; ++k)
            sum += uniform((seed + uint64_t(k) * 0x1000193ULL) ^ (uint64_t(absoluteStep >> k) * 0x2545F4914F6CDD1DULL));
        return sum / 8.0;
    }
    default:
        return table[size_t(step)];
    }
}

double VirtualGenerator::finish(double volts) const
{
    volts = volts * (1.0 + 0.001 * cfg.gainSteps) + 0.001 * cfg.offsetSteps;
    return std::clamp(volts, -4.0, 4.0);
}

double VirtualGenerator::valueAt(double t) const
{
    float v;
    fill(t, 0.0, 1, &v);
    return v;
}

void VirtualGenerator::fill(double t0, double dt, int count, float *volts) const
{
    if (count <= 0)
        return;
    if (!cfg.enabled) {
        std::fill(volts, volts + count, 0.0f);
        return;
    }
    if (cfg.waveform == 5) {
        std::fill(volts, volts + count, float(finish(cfg.constantLevel / 14848.0)));
        return;
    }
    const double n = dacLength;
    const bool sweptPhase = cfg.sweepType & 4;
    const bool sweptLevels = cfg.sweepType & 0x38;
    const bool tableShape = cfg.waveform == 0 || cfg.waveform == 3 || cfg.waveform == 4;
    Levels l = levelsAt(t0);
    if (!sweptPhase && !sweptLevels && tableShape) {
        // The common case, kept tight: one multiply, a floor and a look-up.
        const double gain = 1.0 + 0.001 * cfg.gainSteps;
        const double shift = 0.001 * cfg.offsetSteps;
        for (int i = 0; i < count; ++i) {
            const double phase = baseFrequency * (t0 + i * dt);
            int step = int((phase - std::floor(phase)) * n);
            if (step >= dacLength)
                step = dacLength - 1;
            const double v = (l.offset + l.amplitude * table[size_t(step)]) * gain + shift;
            volts[i] = float(v > 4.0 ? 4.0 : (v < -4.0 ? -4.0 : v));
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        const double t = t0 + i * dt;
        if (sweptLevels)
            l = levelsAt(t);
        const double phase = sweptPhase ? phaseAt(t) : baseFrequency * t;
        const double cycles = std::floor(phase);
        int step = int((phase - cycles) * n);
        if (step >= dacLength)
            step = dacLength - 1;
        const int64_t absolute = int64_t(cycles) * dacLength + step;
        volts[i] = float(finish(l.offset + l.amplitude * shapeAt(step, absolute, l.duty)));
    }
}

void VirtualGenerator::comparatorEdges(double t, std::vector<double> &rises, std::vector<double> &falls,
                                       bool &alwaysHigh) const
{
    rises.clear();
    falls.clear();
    if (!cfg.enabled || cfg.waveform == 5 || isNoise()) {
        alwaysHigh = cfg.enabled && cfg.waveform == 5 && finish(cfg.constantLevel / 14848.0) > 0.0;
        return;
    }
    const Levels l = levelsAt(t);
    std::vector<char> high(static_cast<size_t>(dacLength));
    for (int j = 0; j < dacLength; ++j)
        high[size_t(j)] = finish(l.offset + l.amplitude * shapeAt(j, j, l.duty)) > 0.0;
    alwaysHigh = std::all_of(high.begin(), high.end(), [](char h) { return h != 0; });
    for (int j = 0; j < dacLength; ++j) {
        const bool before = high[size_t((j + dacLength - 1) % dacLength)];
        if (!before && high[size_t(j)])
            rises.push_back(double(j) / dacLength);
        else if (before && !high[size_t(j)])
            falls.push_back(double(j) / dacLength);
    }
}

int64_t VirtualGenerator::noiseRisingEdges(double t1, double t2) const
{
    if (!isNoise() || t2 <= t1)
        return 0;
    const int64_t s1 = int64_t(std::floor(phaseAt(t1) * dacLength));
    const int64_t s2 = int64_t(std::floor(phaseAt(t2) * dacLength));
    const int64_t total = s2 - s1;
    const int64_t walk = std::min<int64_t>(total, 400000);
    const Levels l = levelsAt(t2);
    bool before = finish(l.offset + l.amplitude * shapeAt(0, s2 - walk, l.duty)) > 0.0;
    int64_t edges = 0;
    for (int64_t s = s2 - walk + 1; s <= s2; ++s) {
        const bool now = finish(l.offset + l.amplitude * shapeAt(int(s % dacLength), s, l.duty)) > 0.0;
        edges += (!before && now);
        before = now;
    }
    return walk > 0 ? int64_t(double(edges) * double(total) / double(walk) + 0.5) : 0;
}
