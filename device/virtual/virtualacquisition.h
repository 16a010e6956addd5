// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// Acquisition on the virtual bench: the sampling clock, the analog front end
// (gain, clipping, coupling, invert, math, ADC offset), the probe-compensation
// square on CH2, the logic counter, the trigger detector and the meter block
// computed over a channel's block. Plain C++, no toolkit.

#include <cstdint>

class VirtualGenerator;

namespace VirtualAcquisition {

constexpr int samplingIndexCount = 22;
constexpr int gainCount = 10;

// Sample period in nanoseconds at a sampling index (16 samples per division).
int64_t samplePeriodNs(int samplingIndex);
double samplesPerSecond(int samplingIndex);
// Volts per division and per code (a division is 40.96 codes).
double voltsPerDivision(int gain);
double voltsPerCode(int gain);

// Bench wiring.
double probeVolts(int64_t timeNs);                   // CH2: 1 kHz, 0 ↔ 2 V, 2 mV rms noise
void probeBlock(int64_t firstSample, int64_t periodNs, int count, float *volts);
uint8_t logicAt(int64_t timeNs);                     // counter clocked at 2 kHz
// What drives the logic inputs: the counter, or the bus traffic as wires
// (device/virtual/virtualbus.h).
enum class LogicWiring { Counter, Bus };
void logicBlock(int64_t firstSample, int64_t periodNs, int count, bool invert, uint8_t *out,
                LogicWiring wiring = LogicWiring::Counter);

// The front end of one analog channel. `controls` is the channel control byte.
struct FrontEnd {
    uint8_t controls = 0;
    int gain = 0;
    double adcOffsetCodes = 0.0; // +0.7 until the offset is calibrated
};
// Codes of channel `channel` (0 CH1, 1 CH2) from the two input blocks; `work`
// holds `count` floats of scratch. AC coupling removes the mean of this block.
void analogCodes(int channel, const FrontEnd &frontEnd, const float *ch1Volts, const float *ch2Volts, int count,
                 float *work, int8_t *codes);

// Measurements exactly as the host makes them on a block of codes.
int measurePeriodX100(const int8_t *samples, int count, int minimum, int maximum, uint16_t zeros[3]);
void measureAverageRms(const int8_t *samples, const uint16_t zeros[3], int16_t &average, int16_t &rms);

struct Measurement {
    int8_t maximum = 0;
    int8_t minimum = 0;
    int16_t rms = 0;
    int16_t average = 0;
    uint32_t periodX100 = 0;
    uint16_t zeros[3] = {0, 0, 0};
};
Measurement measure(const int8_t *samples, int count);
// One 18-byte meter block.
void writeMeterBlock(unsigned char *destination, uint8_t controls, uint8_t gain, const Measurement &m,
                     uint8_t samplingIndex);

// Trigger types as the host's model names them.
enum TriggerType { Rising = 0, Falling, DualEdge, PositiveSlope, NegativeSlope, Window };
// The type from the trigger control byte (entry 7).
TriggerType triggerTypeFromControl(int control);

// Finds the sample at which the trigger condition holds, fed one value at a
// time. Analog values are codes; digital ones 0 or 1.
class TriggerDetector
{
public:
    void setup(TriggerType type, bool digital, int level, int windowLow, int windowHigh);
    void reset();
    bool feed(int64_t index, int value);

private:
    TriggerType type = Rising;
    bool digital = false;
    int level = 0;
    int low = -20;
    int high = 20;
    bool havePrevious = false;
    int previous = 0;
    bool inside = false;
    int64_t lastBelow = -1000000;
    int64_t lastAbove = -1000000;
};

} // namespace VirtualAcquisition
