// SPDX-License-Identifier: GPL-3.0-only
#include "core/device/frames.h"

#include "base/logging.h"

#include <cstring>

namespace Frames {

namespace {
uint16_t u16(const unsigned char *p)
{
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t u32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void put16(unsigned char *p, uint16_t v)
{
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
}
} // namespace

void parseScopeHeader(frameconfig_t *h, const unsigned char *d)
{
    h->frameType = d[0];
    h->frameNumber = u16(d + 1);
    h->channelMask = d[3];
    h->analogMask = d[4];
    h->samplesPerChannel = u16(d + 5);
    h->samplingIndex = d[7];
    h->rollStartIndex = u16(d + 8);
}

void writeScopeHeader(const frameconfig_t &h, unsigned char *d)
{
    d[0] = h.frameType;
    put16(d + 1, h.frameNumber);
    d[3] = h.channelMask;
    d[4] = h.analogMask;
    put16(d + 5, h.samplesPerChannel);
    d[7] = h.samplingIndex;
    put16(d + 8, h.rollStartIndex);
}

void parseSnifferHeader(sniffconfig_t *h, const unsigned char *d)
{
    h->frameType = d[0];
    h->frameNumber = u16(d + 1);
    h->protocol = d[3];
    h->count1 = u16(d + 4);
    h->count2 = u16(d + 6);
    h->reserved1 = d[8];
    h->reserved2 = d[9];
}

void parseMeterBlock(channela_t *m, const unsigned char *d)
{
    m->controls = d[0];
    m->gainIndex = d[1];
    m->spare = d[2];
    m->maximum = int8_t(d[3]);
    m->minimum = int8_t(d[4]);
    m->rms = int16_t(u16(d + 5));
    m->average = int16_t(u16(d + 7));
    m->periodX100 = u32(d + 9);
    m->zeroCrossFirst = u16(d + 13);
    m->zeroCrossSecond = u16(d + 15);
    m->samplingIndex = d[17];
}

void parseMeterSettings(channela_t *m, const unsigned char *d)
{
    m->controls = d[0];
    m->gainIndex = d[1];
    m->spare = d[2];
    m->samplingIndex = d[17];
}

void initMeterBlock(channela_t *m)
{
    m->controls = 0;
    m->gainIndex = 0;
    m->spare = 0;
    m->maximum = 100;
    m->minimum = -100;
    m->rms = 0;
    m->average = 0;
    m->periodX100 = 0;
    m->zeroCrossFirst = 64;
    m->zeroCrossSecond = 128;
    m->samplingIndex = 1;
}

void writeMeterBlock(const channela_t &m, unsigned char *d)
{
    d[0] = m.controls;
    d[1] = m.gainIndex;
    d[2] = m.spare;
    d[3] = uchar(m.maximum);
    d[4] = uchar(m.minimum);
    put16(d + 5, uint16_t(m.rms));
    put16(d + 7, uint16_t(m.average));
    d[9] = uchar(m.periodX100);
    d[10] = uchar(m.periodX100 >> 8);
    d[11] = uchar(m.periodX100 >> 16);
    d[12] = uchar(m.periodX100 >> 24);
    put16(d + 13, m.zeroCrossFirst);
    put16(d + 15, m.zeroCrossSecond);
    d[17] = m.samplingIndex;
}

QString identificationText(const unsigned char *data, int length)
{
    QString text;
    if (!data)
        return text;
    for (int i = 0; i < length; ++i)
        if (data[i] >= 32)
            text.append(QChar::fromLatin1(char(data[i])));
    return text.trimmed();
}

int channelCount(uint8_t mask)
{
    return (mask & Ch1 ? 1 : 0) + (mask & Ch2 ? 1 : 0) + (mask & Chd ? 1 : 0);
}

uint8_t channelMaskFor(bool ch1, bool ch2, bool chd)
{
    return uint8_t((ch1 ? Ch1 : 0) | (ch2 ? Ch2 : 0) | (chd ? Chd : 0));
}

int scopeFrameLength(uint8_t mask, int n)
{
    return scopeOverhead + channelCount(mask) * n;
}

int samplesForBufferIndex(int bufferIndex)
{
    return (bufferIndex + 1) * 256;
}

int channelBlockOffset(uint8_t mask, int channelBit, int n)
{
    if (!(mask & channelBit))
        return -1;
    int offset = scopeHeaderSize;
    for (int bit = Ch1; bit < channelBit; bit <<= 1)
        if (mask & bit)
            offset += n;
    return offset;
}

int meterBlockOffset(uint8_t mask, int n)
{
    return scopeHeaderSize + channelCount(mask) * n;
}

int rollStart(const frameconfig_t &h)
{
    return h.rollStartIndex >= h.samplesPerChannel ? 0 : h.rollStartIndex;
}

ScopeVerdict checkScopeFrame(const unsigned char *data, int length, int expectedLength)
{
    if (!data || length <= 0)
        return ScopeVerdict::NoData;
    if (length != expectedLength)
        return ScopeVerdict::WrongLength;
    if (data[0] != scopeFrameType)
        return ScopeVerdict::InvalidHeader;
    return ScopeVerdict::Accepted;
}

SnifferVerdict checkSnifferFrame(const unsigned char *data, int length, int previousFrameNumber)
{
    if (!data || length < snifferMinimumLength)
        return SnifferVerdict::TooShort;
    if (data[0] != snifferFrameType)
        return SnifferVerdict::InvalidHeader;
    if (previousFrameNumber >= 0 && u16(data + 1) == uint16_t(previousFrameNumber))
        return SnifferVerdict::SameFrame;
    return SnifferVerdict::Accepted;
}

SnifferVerdict acceptSnifferFrame(const unsigned char *data, int length, int previousFrameNumber)
{
    const SnifferVerdict verdict = checkSnifferFrame(data, length, previousFrameNumber);
    if (verdict == SnifferVerdict::InvalidHeader)
        veltoLog(QStringLiteral("Sniffer, frame header not valid"), 2);
    else if (verdict == SnifferVerdict::SameFrame)
        veltoLog(QStringLiteral("Sniffer, same data, nothing to do"), 1);
    return verdict;
}

bool acceptMeterRead(int received)
{
    if (received >= meterReadLength)
        return true;
    veltoLog(QStringLiteral("Meter, data too short"), 2);
    return false;
}

} // namespace Frames
