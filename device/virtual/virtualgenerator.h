// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The generator of the virtual instrument: a DAC stepping through a buffer of
// 256 or 512 samples from a 72 MHz timer, with the waveforms, levels, sweep
// and calibration steps of the real output. Plain C++, no toolkit.

#include <cstdint>
#include <vector>

struct GeneratorSettings {
    bool enabled = false;
    int waveform = 0;                 // 0 sine … 7 pink noise
    int amplitude = 116;              // 0 … 232
    int offset = 0;                   // −127 … 127
    int duty = 128;                   // 1 … 255
    int constantLevel = 0;            // −29696 … 29696
    int64_t frequencyCentiHz = 100000; // 48 … 12 500 000
    int dacBlocks = 1;                // 1 … 2
    int sweepType = 0;                // bit 0 falling, bit 1 ping-pong, bits 2..5 quantity
    int sweepStart = 0;
    int sweepEnd = 255;
    int sweepSpeed = 1;               // 1 … 127
    int offsetSteps = 0;              // DAC calibration, 1 mV per step
    int gainSteps = 0;                // DAC calibration, 0.1 % per step
};

class VirtualGenerator
{
public:
    VirtualGenerator();

    // Settings are clamped to what the DAC can do; the custom table holds 512
    // words of which the low 12 bits matter (larger codes are clipped to 4095).
    void configure(const GeneratorSettings &settings, const uint16_t *customTable);
    const GeneratorSettings &settings() const { return cfg; }

    // The frequency the 72 MHz timer really produces for a request in cHz.
    static double producedFrequency(int64_t centiHz, int dacBlocks);
    double producedFrequency() const { return baseFrequency; }
    int dacSamples() const { return dacLength; }
    bool sweeping() const { return (cfg.sweepType & 0x3C) != 0; }

    // Output in volts at time t (seconds), and a whole block at t0 + i·dt.
    double valueAt(double t) const;
    void fill(double t0, double dt, int count, float *volts) const;

    // Phase in periods since time 0 (continuous across a frequency sweep),
    // its inverse, and the frequency at time t.
    double phaseAt(double t) const;
    double timeAtPhase(double phase) const;
    double frequencyAt(double t) const;

    // The output seen through a comparator at 0 V over one period, as phases
    // in [0, 1) where it goes high and low, for the levels in force at time t.
    // Empty lists for a constant output; noise has no period (isNoise()).
    void comparatorEdges(double t, std::vector<double> &rises, std::vector<double> &falls, bool &alwaysHigh) const;
    bool isNoise() const { return cfg.enabled && (cfg.waveform == 6 || cfg.waveform == 7); }
    // Rising crossings of 0 V of a noise output between t1 and t2, counted on
    // the DAC steps (sampled when there are too many to walk).
    int64_t noiseRisingEdges(double t1, double t2) const;

private:
    struct Levels {
        double amplitude;
        double offset;
        double duty;
    };
    Levels levelsAt(double t) const;
    double sweepCode(double t) const;         // the swept code at time t
    double sweepSeconds() const;
    double shapeAt(int step, int64_t absoluteStep, double duty) const;
    double finish(double volts) const;

    GeneratorSettings cfg;
    int dacLength = 256;
    double baseFrequency = 1000.0;
    std::vector<float> table; // sine, exponential or custom shape, one entry per DAC step
    uint64_t seed = 0x5eed0fa7c0ffee11ULL;
};
