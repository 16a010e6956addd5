// SPDX-License-Identifier: GPL-3.0-only
// The scope display's intake of completed reads: the transport queues them
// in the order they came, and each is copied out under its lock.
#include "base/logging.h"
#include "device/frameintake.h"
#include "device/libusbdevice.h"

#include <cstring>

namespace Frames {

ScopeVerdict acceptScopeFrame(LibUsbDevice &usb, int expectedLength, QByteArray &cache, ScopeRead *read)
{
    static thread_local QByteArray scratch;
    if (scratch.size() < LibUsbDevice::bufferSize)
        scratch.resize(LibUsbDevice::bufferSize);
    const int length = usb.takeRead(reinterpret_cast<unsigned char *>(scratch.data()), LibUsbDevice::bufferSize);
    if (length < 0)
        return ScopeVerdict::NoData;
    const auto *bytes = reinterpret_cast<const unsigned char *>(scratch.constData());
    if (read) {
        read->length = length;
        const bool header = length >= scopeHeaderSize && bytes[0] == scopeFrameType;
        read->frameNumber = header ? bytes[1] | bytes[2] << 8 : -1;
    }
    const ScopeVerdict verdict = checkScopeFrame(bytes, length, expectedLength);
    switch (verdict) {
    case ScopeVerdict::NoData:
    case ScopeVerdict::WrongLength:
        // An empty read, or a frame of the shape before a change of channels
        // or size: passed over here, reported by the display, which counts
        // them. NoData means an empty queue.
        return ScopeVerdict::WrongLength;
    case ScopeVerdict::InvalidHeader:
        veltoLog(QStringLiteral("Scope data: Invalide header"), 2);
        return verdict;
    case ScopeVerdict::Accepted:
        break;
    }
    // Reuses the cache's storage: a frame every few milliseconds allocates nothing.
    cache.resize(length);
    std::memcpy(cache.data(), scratch.constData(), size_t(length));
    return verdict;
}

} // namespace Frames
