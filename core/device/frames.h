// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The byte layout of everything the instrument sends: scope and sniffer
// frames from the bulk IN pipe, the meter block, and the on-demand reads.
// Parsers copy field by field from little-endian wire bytes; the acceptance
// checks are separate so that each rule can be tested on its own.

#include <QByteArray>
#include <QString>

#include <cstdint>

struct frameconfig_t {
    uint8_t frameType;
    uint16_t frameNumber;
    uint8_t channelMask;
    uint8_t analogMask;
    uint16_t samplesPerChannel;
    uint8_t samplingIndex;
    uint16_t rollStartIndex;
};

struct channela_t {
    uint8_t controls;
    uint8_t gainIndex;
    uint8_t spare;
    int8_t maximum;
    int8_t minimum;
    int16_t rms;
    int16_t average;
    uint32_t periodX100;
    uint16_t zeroCrossFirst;
    uint16_t zeroCrossSecond;
    uint8_t samplingIndex;
};

struct sniffconfig_t {
    uint8_t frameType;
    uint16_t frameNumber;
    uint8_t protocol;
    uint16_t count1;
    uint16_t count2;
    uint8_t reserved1;
    uint8_t reserved2;
};

struct mmzeros_t {
    uint16_t zeroCross[3];
};

namespace Frames {

constexpr int scopeHeaderSize = 10;
constexpr int meterBlockSize = 18;
constexpr int scopeTrailerSize = 2 * meterBlockSize + 2;
constexpr int scopeOverhead = scopeHeaderSize + scopeTrailerSize; // 48
constexpr int snifferHeaderSize = 10;
constexpr int snifferDataSize = 4608;
constexpr int snifferMinimumLength = snifferHeaderSize + snifferDataSize; // 4618
constexpr int identificationLength = 64;
constexpr int meterReadLength = 2 * meterBlockSize; // 36
constexpr uint8_t scopeFrameType = 'A';
constexpr uint8_t snifferFrameType = 'B';

enum ChannelBit : uint8_t { Ch1 = 0x01, Ch2 = 0x02, Chd = 0x04 };

void parseScopeHeader(frameconfig_t *header, const unsigned char *data);
void parseSnifferHeader(sniffconfig_t *header, const unsigned char *data);
void parseMeterBlock(channela_t *meter, const unsigned char *data);
// Only the settings echoed in a meter block: controls, gain, spare and sampling index.
void parseMeterSettings(channela_t *meter, const unsigned char *data);
void initMeterBlock(channela_t *meter);
// Writes a meter block back in wire order (the recorder and the virtual instrument use it).
void writeMeterBlock(const channela_t &meter, unsigned char *data);
// Writes a scope frame header in wire order (the virtual instrument and frame builders use it).
void writeScopeHeader(const frameconfig_t &header, unsigned char *data);

// Bytes below 32 dropped, the rest taken as Latin-1, trimmed.
QString identificationText(const unsigned char *data, int length);

int channelCount(uint8_t channelMask);
// The channel mask of the traces that are switched on.
uint8_t channelMaskFor(bool ch1, bool ch2, bool chd);
// 48 + k·n for the channels in `channelMask`.
int scopeFrameLength(uint8_t channelMask, int samplesPerChannel);
// Samples per channel for a buffer combo index: (index + 1) × 256.
int samplesForBufferIndex(int bufferIndex);
// Offset of a channel's block (bit 0 CH1, 1 CH2, 2 CHD) in a frame, or -1 when absent.
int channelBlockOffset(uint8_t channelMask, int channelBit, int samplesPerChannel);
// Offset of the CH1 meter block; CH2's follows it.
int meterBlockOffset(uint8_t channelMask, int samplesPerChannel);
// The oldest sample's position in roll mode; values at or beyond n count as 0.
int rollStart(const frameconfig_t &header);

enum class ScopeVerdict { NoData, WrongLength, InvalidHeader, Accepted };
enum class SnifferVerdict { TooShort, InvalidHeader, SameFrame, Accepted };

// Checks a scope frame's length against what the trace boxes and buffer
// size expect, and its type byte.
ScopeVerdict checkScopeFrame(const unsigned char *data, int length, int expectedLength);
// Checks a sniffer frame; `previousFrameNumber` is -1 before the first.
SnifferVerdict checkSnifferFrame(const unsigned char *data, int length, int previousFrameNumber);

// The sniffer display's check with its log lines: a header that is not 'B'
// and a frame number seen before are logged; a read too short is ignored.
SnifferVerdict acceptSnifferFrame(const unsigned char *data, int length, int previousFrameNumber);
// The meter read of 36 bytes: fewer are logged and nothing is shown.
bool acceptMeterRead(int received);


} // namespace Frames
