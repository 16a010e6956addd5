// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// What the instrument is told: the numbered configuration entries, their
// encodings, and the requests that carry them. Plain functions of plain
// inputs, so that every control's sender is one line over them.

#include <QStringList>

#include <cstdint>
#include <functional>

namespace ConfigEntry {
enum : unsigned char {
    MainMode = 0,
    SamplingRate = 1,
    DacEnable = 2,
    Ch1Controls = 3,
    Ch2Controls = 4,
    ChdControls = 5,
    ChdBits = 6,
    TriggerControls = 7,
    TriggerSource = 8,
    GateSource = 9,
    MixedControls = 10,
    MeterFrequency = 11,
    SnifferOptions = 12,
    Ch1Gain = 13,
    Ch2Gain = 14,
    TriggerHold = 15,
    TriggerPost = 16,
    TriggerLevel = 17,
    TriggerWin1 = 18,
    TriggerWin2 = 19,
    AutoTrigger = 20,
    DecodeProtocol = 21,
    SnifferUsart = 22,
    SnifferStrobe = 23,
    DacBufferBlocks = 24,
    ChBufferBlocks = 25,
    SweepType = 26,
    SweepStart = 27,
    SweepEnd = 28,
    SweepSpeed = 29,
    WaveAmplitude = 30,
    WaveType = 31,
    WaveDuty = 32,
    WaveOffset = 33,
    WaveFrequency = 34,
    WaveConstant = 35,
    Count = 36,
    TableSize = 128
};
}

namespace Request {
enum : unsigned char {
    ConfigWrite = 0x41,
    ConfirmedWrite = 0x42,
    Calibration = 0x43,
    RunControl = 0x44,
    CommitBulk = 0x45,
    Frequency = 0x46,
    ReadBlock = 0x47,
    Disconnect = 0x48
};
}

namespace RunControl {
enum : unsigned short {
    CounterStart = 0,
    CounterStop = 1,
    ScopeStart = 2,
    ScopeStop = 3,
    ScopeForce = 4,
    SnifferStart = 5,
    SnifferStop = 6,
    SnifferClear = 7
};
}

namespace CommitBlock {
enum : unsigned short { WaveformFirstHalf = 0, WaveformSecondHalf = 1, Configuration = 2 };
}

namespace ReadBlock {
enum : unsigned short {
    Identification = 0,
    Meter = 1,
    Health = 2,
    GeneratorBlocks = 3,
    AcquisitionBlocks = 4,
    GeneratorFrequency = 5
};
}

namespace ConfigProtocol {

constexpr int configurationBlockSize = 512;
constexpr int bulkBufferSize = 1024;
constexpr long long minimumFrequency = 48;        // hundredths of a hertz
constexpr long long maximumFrequency = 12500000;  // 125 kHz

int dataValueRangeTrunk(int value, int min, int max);
long long dataValueRangeTrunk64(long long value, long long min, long long max);

// Channel control byte of entries 3 and 4.
struct ChannelControls {
    bool trace = false;
    bool coupling = false; // the AC/DC check box
    bool invert = false;
    bool average = false;
    bool math = false;
    bool subtract = false;
    bool multiply = false;
};
int channelControlByte(const ChannelControls &controls);

// Entry 5: bit 0 trace, bit 2 invert.
int logicControlByte(bool trace, bool invert);
// Entry 6: bit b set when logic input b is shown.
int logicBitsByte(const bool shown[8]);

// Entry 7.
struct TriggerControls {
    bool free = false;
    bool normal = false;
    bool single = false;
    bool autoMode = false;
    bool fallingOrNegative = false; // falling edge or negative slope
    bool slope = false;             // positive or negative slope
    bool window = false;
    bool edge = false;              // rising or falling edge
};
int triggerControlByte(const TriggerControls &controls);

// Entry 8 from the counter's input buttons: bit 0..7 → 2..9, EXT → 10,
// Schmitt → 11; `checked` is 0..7 for a bit, 10 or 11, or -1 for none.
int counterInputSource(int checked);
// Entry 9, the gate: the same coding, but none checked gives 0.
int gateSource(int checked);

// Entry 10.
int mixedControls(bool roll, bool elastic, bool sniffSingle, bool meterOnDevice, bool awgSave);
// Entry 11.
int meterFrequencyControl(bool fastMode, bool gatePeriod);
// Entry 12.
int snifferOptions(int parityIndex, int stopBitsIndex, bool synchro, bool parallelInvert, int slaveSelectInvert,
                   int cpolIndex, int cphaIndex);
// Entries 13, 14, 15, 27 and 28 travel as their low 8 bits.
int lowByte(int value);
// Entry 16: the samples that follow the trigger point.
int triggerPost(int samplesPerChannel, int position);
// Entry 20: seconds / 0.04096 − 1, truncated, held to the byte the entry has.
int autoTriggerCode(double seconds);
// Entry 22.
int snifferUsart(int dataBitsIndex, int baudIndex);
// Entry 24 and 25.
int dacBufferBlocks(int blocks);
int channelBufferBlocks(int blocks);
// Entry 26.
struct SweepControls {
    bool falling = false;
    bool pingPong = false;
    bool panelChecked = false;
    bool frequency = false;
    bool amplitude = false;
    bool offset = false;
    bool dutyCycle = false;
};
int sweepType(const SweepControls &controls);
// Entries 29 to 33 and 35.
int sweepSpeed(int speed);
int waveAmplitude(int amplitude);
int waveDuty(int duty);
int waveOffset(int offset);
int waveConstantLevel(int level);
// Entry 34, in hundredths of a hertz, and its split over wIndex and wValue.
long long waveFrequency(long long hundredthsOfHertz);
struct FrequencyWords {
    uint16_t index;
    uint16_t value;
};
FrequencyWords splitFrequency(long long hundredthsOfHertz);

// The 512-byte configuration block: entry i as a little-endian 32-bit integer at byte 4·i.
bool storeEntry(unsigned char *block, int index, int32_t value);
int32_t entryAt(const unsigned char *block, int index);

// The items of the buffer-size combo boxes for a block-count answer: "256",
// "512", … up to answer × 256, at least one item.
QStringList bufferSizeItems(int blocks);
// The index a rebuilt combo box keeps: the current one if it still exists,
// else the last.
int keptBufferIndex(int currentIndex, int itemCount);

// The confirmed write with the instrument's memory check, used by the trace
// enables and the generator enable. `send` performs the confirmed write and
// hands its status (the reply's first byte, or negative) and the 2-byte
// reply to the function it is given, now or later; `shrinkTo` shrinks the
// acquisition buffer to the given number of blocks; `done` learns whether
// the change was accepted and the window should apply it.
using ConfirmedReply = std::function<void(int status, const unsigned char *reply)>;
void confirmedWriteWithMemoryCheck(const std::function<void(const ConfirmedReply &)> &send,
                                   const std::function<void(int blocks)> &shrinkTo,
                                   const std::function<void(bool accepted)> &done);

} // namespace ConfigProtocol
