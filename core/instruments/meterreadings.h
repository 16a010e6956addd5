// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// What the meter and counter pages show, from the instrument's raw replies:
// the 36-byte meter read, the AC and DC values of a channel's meter block,
// and the counter's counts turned into hertz, seconds and percent. Plain
// functions of plain inputs; the meter and counter controllers put the
// results on their read-outs. An undefined value is NaN, never a guess.

#include "core/device/frames.h"

#include <cstdint>

namespace MeterReadings
{

// Period-mode counts are ticks of the instrument's 32 MHz counter clock.
constexpr double counterTimeBase = 32000000.0;

// Both blocks of a meter read (request 0x47 wIndex 1, CH1's block then
// CH2's); any length but Frames::meterReadLength leaves the records as they
// were and answers false.
bool parseMeterRead(const unsigned char *data, int length, channela_t &ch1, channela_t &ch2);

// The AC page of one channel. Volts are NaN for a gain without a scale
// (above 9); the frequency is NaN for a sampling index beyond the time bases
// or a period the 32-bit signed conversion cannot hold, and 0 with no period.
struct AcReading {
    double vpp = 0;
    double maximum = 0;
    double minimum = 0;
    double rms = 0;
    double average = 0;
    double frequency = 0;
};
AcReading acReading(const channela_t &meter);
// The DC page: the average, in volts; NaN for a gain without a scale.
double dcReading(const channela_t &meter);

// The counter's type buttons, in the order the poll tests them.
enum class CounterType { Frequency, CountPulses, Period, ExternalGate };

// What each counter type does to the page: the operating mode (entry 0), the
// poll interval (0: stopped until Start), the gate group and Start button,
// and which read-outs are shown.
struct CounterPage {
    int mode = 4;
    int pollInterval = 400;
    bool gateEnabled = false;
    bool startEnabled = false;
    bool frequency = false;
    bool period = false;
    bool duty = false;
    bool width = false; // the high time
    bool counter = false;
};
CounterPage counterPage(CounterType type);

// The values of one counter read, c1 the count of CH1's block and c2 CH2's.
// Only the read-outs the type shows are filled; a division by a zero count,
// or a high time longer than the period, gives NaN. With an external gate
// c1 is the instrument's running count (see GateCounts for what is shown).
// A frequency gate counts whole edges: its frequency and the period derived
// from it hold only as many significant digits as the edges it counted
// (a quarter of the count in fast mode, whose gate is 0.25 s).
struct CounterReading {
    double frequency = 0;
    double period = 0;
    double duty = 0;    // percent
    double width = 0;   // the high time, seconds
    double count = 0;
    int significant = 0; // digits the frequency gate supports; 0: the read-outs' own
};
CounterReading counterReading(CounterType type, uint32_t c1, uint32_t c2, bool fast = false);

// How a read-out shows a value known to `significant` digits: the power of
// ten of its last digit, and the power of the unit's prefix (a multiple of
// three) at or below the value.
struct ShownDigits {
    int precision = 0;
    int unitPower = 0;
};
ShownDigits significantDigits(double value, int significant);

// External gate: the instrument's count runs while the gate input is high,
// holds while it is low and starts again from 0 at the next opening, so a
// poll that lands in an open gate reads a partial count. From the counts the
// poll reads, this finds the count of the last gate known to be complete:
// a count unchanged between two polls is a closed gate's (it holds), a
// count lower than the poll before is a new gate, and a count above a held
// one is a new gate that has already passed it. A gate that was seen to
// open and was over at the next opening without ever holding was not seen
// whole (it closed and opened again between two polls); it counted at least
// the largest count read while it ran.
class GateCounts
{
public:
    void clear() { *this = GateCounts(); }
    // One poll's count.
    void take(uint32_t running);
    bool known() const { return hasComplete; }
    uint32_t complete() const { return lastComplete; }
    // The latest gate that ended was not seen whole; it counted at least missedAtLeast().
    bool missed() const { return missedGate; }
    uint32_t missedAtLeast() const { return missedLeast; }

private:
    bool polled = false;
    uint32_t previous = 0;
    uint32_t largest = 0;     // of the gate read last, since its opening
    bool openingSeen = false; // that gate opened between two polls
    bool held = false;        // that gate was seen holding its count
    bool hasComplete = false;
    uint32_t lastComplete = 0;
    bool missedGate = false;
    uint32_t missedLeast = 0;
};

} // namespace MeterReadings
