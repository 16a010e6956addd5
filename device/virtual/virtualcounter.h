// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The counter inputs of the virtual bench seen as digital signals (logic bits,
// EXT through a comparator on the generator, Schmitt on CH2) and the counts the
// counter modes report on their 32 MHz time base. Plain C++, no toolkit.

#include <cstdint>
#include <vector>

class VirtualGenerator;

namespace VirtualCounter {

constexpr double timeBaseHz = 32000000.0;

// One digital input, described over its phase: it goes high at the phases
// `rises` and low at `falls` (both in [0, 1)) of every period.
struct Input {
    enum Kind { Periodic, Noise, Constant };
    Kind kind = Constant;
    bool constantHigh = false;
    double frequency = 0.0;                      // fixed phase rate, when no generator
    const VirtualGenerator *generator = nullptr; // phase from the generator
    std::vector<double> rises;
    std::vector<double> falls;

    double phaseAt(double t) const;
    double timeAtPhase(double p) const;
    double frequencyAt(double t) const;
};

// The input selected by a source code of entry 8 or 9 (2…9 logic bit, 10 EXT,
// 11 Schmitt; 0 and 1, which the counter page never sends, read CH1 through the
// EXT comparator and CH2 through the Schmitt trigger). `t` picks the levels of
// a sweeping generator.
// With `bus`, the logic bits are the bus wires (device/virtual/virtualbus.h).
Input input(int sourceCode, const VirtualGenerator &generator, double t, bool bus = false);

int64_t risingEdges(const Input &in, double t1, double t2);
bool levelAt(const Input &in, double t);

// Frequency mode: edges in the last completed gate (1 s, or 0.25 s scaled to
// per second in fast mode).
uint32_t frequencyCount(const Input &in, double now, bool fast);
// Period mode: the period and the high time in ticks of the time base.
void periodTicks(const Input &in, double now, uint32_t &period, uint32_t &high);
// External gate: edges of `in` while `gate` is high, counted from the latest
// opening of the gate (up to now while it is still open).
uint32_t gatedCount(const Input &in, const Input &gate, double now);

} // namespace VirtualCounter
