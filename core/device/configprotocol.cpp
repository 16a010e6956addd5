// SPDX-License-Identifier: GPL-3.0-only
#include "core/device/configprotocol.h"

#include "base/logging.h"

#include <QString>

#include <cmath>
#include <cstring>

namespace ConfigProtocol {

int dataValueRangeTrunk(int value, int min, int max)
{
    if (value > max)
        return max;
    if (value < min)
        return min;
    return value;
}

long long dataValueRangeTrunk64(long long value, long long min, long long max)
{
    if (value > max)
        return max;
    if (value < min)
        return min;
    return value;
}

int channelControlByte(const ChannelControls &c)
{
    return (c.trace ? 0x01 : 0) | (c.coupling ? 0x02 : 0) | (c.invert ? 0x04 : 0) | (c.average ? 0x08 : 0) |
           (c.math ? 0x10 : 0) | (c.subtract ? 0x20 : 0) | (c.multiply ? 0x40 : 0);
}

int logicControlByte(bool trace, bool invert)
{
    return (trace ? 0x01 : 0) | (invert ? 0x04 : 0);
}

int logicBitsByte(const bool shown[8])
{
    int value = 0;
    for (int b = 0; b < 8; ++b)
        if (shown[b])
            value |= 1 << b;
    return value;
}

int triggerControlByte(const TriggerControls &c)
{
    return (c.free ? 0x01 : 0) | (c.normal ? 0x02 : 0) | (c.single ? 0x04 : 0) | (c.autoMode ? 0x08 : 0) |
           (c.fallingOrNegative ? 0x10 : 0) | (c.slope ? 0x20 : 0) | (c.window ? 0x40 : 0) |
           (c.edge ? 0x80 : 0);
}

namespace {
int inputCode(int checked, int none)
{
    if (checked >= 0 && checked <= 7)
        return checked + 2;
    if (checked == 10 || checked == 11)
        return checked;
    return none;
}
} // namespace

int counterInputSource(int checked)
{
    return inputCode(checked, 10);
}

int gateSource(int checked)
{
    return inputCode(checked, 0);
}

int mixedControls(bool roll, bool elastic, bool sniffSingle, bool meterOnDevice, bool awgSave)
{
    return (roll ? 0x01 : 0) | (elastic ? 0x02 : 0) | (sniffSingle ? 0x04 : 0) | (meterOnDevice ? 0x08 : 0) |
           (awgSave ? 0x10 : 0);
}

int meterFrequencyControl(bool fastMode, bool gatePeriod)
{
    return (fastMode ? 0x01 : 0) | (gatePeriod ? 0x08 : 0);
}

int snifferOptions(int parityIndex, int stopBitsIndex, bool synchro, bool parallelInvert, int slaveSelectInvert,
                   int cpolIndex, int cphaIndex)
{
    return (parityIndex >= 1 ? 0x01 : 0) | (parityIndex == 2 ? 0x02 : 0) | (stopBitsIndex == 1 ? 0x04 : 0) |
           (synchro ? 0x08 : 0) | (parallelInvert ? 0x10 : 0) | (slaveSelectInvert == 1 ? 0x20 : 0) |
           (cpolIndex == 1 ? 0x40 : 0) | (cphaIndex == 1 ? 0x80 : 0);
}

int lowByte(int value)
{
    return value & 0xFF;
}

int triggerPost(int samplesPerChannel, int position)
{
    return samplesPerChannel - position;
}

int autoTriggerCode(double seconds)
{
    if (!std::isfinite(seconds))
        return 0;
    const double code = std::trunc(seconds / 0.04096 - 1.0);
    // The entry holds one byte: a time outside it is held at its ends rather
    // than wrapped into a different time.
    if (code <= 0)
        return 0;
    if (code >= 255)
        return 255;
    return int(code);
}

int snifferUsart(int dataBitsIndex, int baudIndex)
{
    return dataBitsIndex * 8 + baudIndex;
}

int dacBufferBlocks(int blocks)
{
    return dataValueRangeTrunk(blocks, 1, 2);
}

int channelBufferBlocks(int blocks)
{
    return dataValueRangeTrunk(blocks, 1, 15);
}

int sweepType(const SweepControls &c)
{
    int value = (c.falling ? 0x01 : 0) | (c.pingPong ? 0x02 : 0);
    if (c.panelChecked)
        value |= (c.frequency ? 0x04 : 0) | (c.amplitude ? 0x08 : 0) | (c.offset ? 0x10 : 0) |
                 (c.dutyCycle ? 0x20 : 0);
    return value;
}

int sweepSpeed(int speed)
{
    return dataValueRangeTrunk(speed, 1, 127);
}

int waveAmplitude(int amplitude)
{
    return dataValueRangeTrunk(amplitude, 0, 232);
}

int waveDuty(int duty)
{
    return dataValueRangeTrunk(duty, 1, 255);
}

int waveOffset(int offset)
{
    return dataValueRangeTrunk(offset, -127, 127) & 0xFF;
}

int waveConstantLevel(int level)
{
    return int(int16_t(dataValueRangeTrunk(level, -32768, 32767)));
}

long long waveFrequency(long long hundredthsOfHertz)
{
    return dataValueRangeTrunk64(hundredthsOfHertz, minimumFrequency, maximumFrequency);
}

FrequencyWords splitFrequency(long long hundredthsOfHertz)
{
    const uint32_t bits = uint32_t(hundredthsOfHertz);
    return {uint16_t(bits & 0xFFFF), uint16_t(bits >> 16)};
}

bool storeEntry(unsigned char *block, int index, int32_t value)
{
    if (!block || index < 0 || index >= ConfigEntry::TableSize)
        return false;
    const uint32_t bits = uint32_t(value);
    unsigned char *at = block + 4 * index;
    at[0] = uchar(bits);
    at[1] = uchar(bits >> 8);
    at[2] = uchar(bits >> 16);
    at[3] = uchar(bits >> 24);
    return true;
}

int32_t entryAt(const unsigned char *block, int index)
{
    if (!block || index < 0 || index >= ConfigEntry::TableSize)
        return 0;
    const unsigned char *at = block + 4 * index;
    return int32_t(uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24);
}

QStringList bufferSizeItems(int blocks)
{
    QStringList items;
    const int count = qMax(1, blocks);
    for (int i = 1; i <= count; ++i)
        items << QString::number(i * 256);
    return items;
}

int keptBufferIndex(int currentIndex, int itemCount)
{
    if (itemCount <= 0)
        return -1;
    if (currentIndex >= 0 && currentIndex < itemCount)
        return currentIndex;
    return itemCount - 1;
}

void confirmedWriteWithMemoryCheck(const std::function<void(const ConfirmedReply &)> &send,
                                   const std::function<void(int blocks)> &shrinkTo,
                                   const std::function<void(bool accepted)> &done)
{
    send([send, shrinkTo, done](int status, const unsigned char *reply) {
        if (status != 1) {
            done(status >= 0);
            return;
        }
        veltoLog(QStringLiteral("No enough memory for CH buffer: ") + QString::number(reply[1]), 0);
        shrinkTo(channelBufferBlocks(reply[1]));
        send([done](int again, const unsigned char *) { done(again == 0); });
    });
}

} // namespace ConfigProtocol
