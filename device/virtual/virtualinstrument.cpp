#include "device/virtual/virtualinstrument.h"

#include <libusb.h>

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
const char identificationText[] = "VSIM.2.7 Velto virtual bench";
}

struct VirtualInstrument::State {
    QElapsedTimer wall;
    bool testClock = false;
    int64_t testNow = 0;
    bool attached = true;
    ControlFault controlFault = ControlFault::None;
    FrameFault frameFault = FrameFault::None;
    IdentificationFault identificationFault = IdentificationFault::None;
    uint8_t health = 0x0F;
    int32_t config[128] = {};
    unsigned char bulkBlock[1024] = {};
    bool scopeRunning = false;
    uint16_t frameNumber = 0;
    int64_t lastFrameAt = 0;

    int64_t now() const { return testClock ? testNow : wall.nsecsElapsed() / 1000; }
};

VirtualInstrument::VirtualInstrument() : d(new State)
{
    d->wall.start();
    powerCycle();
}

VirtualInstrument::~VirtualInstrument()
{
    delete d;
}

void VirtualInstrument::useTestClock(bool on)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (on && !d->testClock)
        d->testNow = d->wall.nsecsElapsed() / 1000;
    d->testClock = on;
}

bool VirtualInstrument::usingTestClock() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->testClock;
}

void VirtualInstrument::advanceClock(int64_t microseconds)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->testNow += std::max<int64_t>(0, microseconds);
}

int64_t VirtualInstrument::nowMicroseconds() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->now();
}

void VirtualInstrument::powerCycle()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::fill(std::begin(d->config), std::end(d->config), 0);
    d->config[25] = 2; // 768 samples until told otherwise
    d->config[3] = 1;
    d->config[4] = 1;
    d->scopeRunning = false;
    d->frameNumber = 0;
}

int VirtualInstrument::control(uint8_t request, uint16_t index, uint16_t value, unsigned char *data, int length)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!d->attached)
        return LIBUSB_ERROR_NO_DEVICE;
    if (d->controlFault != ControlFault::None) {
        const ControlFault fault = d->controlFault;
        d->controlFault = ControlFault::None;
        return fault == ControlFault::Timeout ? LIBUSB_ERROR_TIMEOUT : LIBUSB_ERROR_PIPE;
    }
    switch (request) {
    case 0x41:
        if (index >= 128)
            return LIBUSB_ERROR_PIPE;
        d->config[index] = value;
        return 0;
    case 0x42:
        if (index >= 128 || length < 2 || !data)
            return LIBUSB_ERROR_PIPE;
        d->config[index] = value;
        data[0] = 0;
        data[1] = 15;
        return 2;
    case 0x43:
    case 0x45:
    case 0x46:
    case 0x48:
        if (request == 0x48)
            d->scopeRunning = false;
        return 0;
    case 0x44:
        if (index == 2)
            d->scopeRunning = true;
        else if (index == 3)
            d->scopeRunning = false;
        return 0;
    case 0x47: {
        if (!data)
            return LIBUSB_ERROR_PIPE;
        if (index == 0) {
            const int size = d->identificationFault == IdentificationFault::WrongLength ? 32 : 64;
            const int n = std::min(size, length);
            std::memset(data, 0, size_t(n));
            const char *text = d->identificationFault == IdentificationFault::UnknownModel
                                   ? "XQ99.1.1 unknown"
                                   : identificationText;
            std::memcpy(data, text, std::min<size_t>(size_t(n), std::strlen(text)));
            return n;
        }
        if (index == 2 && length >= 1) {
            data[0] = d->health;
            return 1;
        }
        if ((index == 3 || index == 4) && length >= 1) {
            data[0] = index == 3 ? 2 : 15;
            return 1;
        }
        if (index == 1) {
            const int n = std::min(36, length);
            std::memset(data, 0, size_t(n));
            return n;
        }
        if (index == 5 && length >= 4) {
            std::memset(data, 0, 4);
            return 4;
        }
        return LIBUSB_ERROR_PIPE;
    }
    default:
        return LIBUSB_ERROR_PIPE;
    }
}

int VirtualInstrument::bulkOut(unsigned char endpoint, const unsigned char *data, int length)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!d->attached)
        return LIBUSB_ERROR_NO_DEVICE;
    if (endpoint != 0x01 || !data || length < 0)
        return LIBUSB_ERROR_PIPE;
    std::memcpy(d->bulkBlock, data, size_t(std::min(length, 512)));
    return length;
}

int VirtualInstrument::takeFrame(unsigned char *buffer, int capacity)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!d->attached || !d->scopeRunning || d->config[0] != 0)
        return 0;
    const int64_t now = d->now();
    if (now - d->lastFrameAt < 20000)
        return 0;
    d->lastFrameAt = now;
    const int n = 256 * std::clamp(int(d->config[25]) + 1, 1, 15);
    int k = 0;
    const uint8_t mask = uint8_t((d->config[3] & 1) | ((d->config[4] & 1) << 1) | ((d->config[5] & 1) << 2));
    for (int b = 0; b < 3; ++b)
        k += (mask >> b) & 1;
    int length = 48 + k * n;
    if (length > capacity)
        return 0;
    std::memset(buffer, 0, size_t(length));
    buffer[0] = 'A';
    ++d->frameNumber;
    buffer[1] = uint8_t(d->frameNumber);
    buffer[2] = uint8_t(d->frameNumber >> 8);
    buffer[3] = mask;
    buffer[4] = mask & 3;
    buffer[5] = uint8_t(n);
    buffer[6] = uint8_t(n >> 8);
    buffer[7] = uint8_t(d->config[1]);
    int offset = 10;
    for (int b = 0; b < 3; ++b) {
        if (!((mask >> b) & 1))
            continue;
        for (int i = 0; i < n; ++i)
            buffer[offset + i] = b == 2 ? uint8_t(i) : uint8_t(int8_t(std::lround(60 * std::sin(i * 0.05))));
        offset += n;
    }
    if (d->frameFault != FrameFault::None) {
        const FrameFault fault = d->frameFault;
        d->frameFault = FrameFault::None;
        if (fault == FrameFault::Short)
            length -= 17;
        else if (fault == FrameFault::Long && length + 9 <= capacity)
            length += 9;
        else if (fault == FrameFault::WrongHeader)
            buffer[0] = 'Z';
    }
    return length;
}

void VirtualInstrument::hostDisconnected()
{
    std::lock_guard<std::mutex> lock(mutex);
    d->scopeRunning = false;
}

void VirtualInstrument::setAttached(bool attached)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->attached = attached;
}

bool VirtualInstrument::attached() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->attached;
}

void VirtualInstrument::failNextControl(ControlFault fault)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->controlFault = fault;
}

void VirtualInstrument::failNextFrame(FrameFault fault)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->frameFault = fault;
}

void VirtualInstrument::setIdentificationFault(IdentificationFault fault)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->identificationFault = fault;
}

void VirtualInstrument::setHealthByte(uint8_t health)
{
    std::lock_guard<std::mutex> lock(mutex);
    d->health = health;
}

int32_t VirtualInstrument::configurationEntry(int index) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return (index >= 0 && index < 128) ? d->config[index] : 0;
}

bool VirtualInstrument::scopeRunning() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return d->scopeRunning;
}
