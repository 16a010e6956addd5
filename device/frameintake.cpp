// The scope display's intake of a completed read: the transport's buffer
// belongs to the USB event thread, so the frame is copied out under its lock.
#include "base/logging.h"
#include "device/frames.h"
#include "device/libusbdevice.h"

#include <cstring>

namespace Frames {

ScopeVerdict acceptScopeFrame(LibUsbDevice &usb, int expectedLength, QByteArray &cache)
{
    if (!usb.dataReady)
        return ScopeVerdict::NoData;
    static thread_local QByteArray scratch;
    if (scratch.size() < LibUsbDevice::bufferSize)
        scratch.resize(LibUsbDevice::bufferSize);
    // One copy under the transport's lock: length and bytes belong to one read.
    quint64 sequence = 0;
    const int length =
        usb.copyData(reinterpret_cast<unsigned char *>(scratch.data()), LibUsbDevice::bufferSize, &sequence);
    const ScopeVerdict verdict =
        checkScopeFrame(reinterpret_cast<const unsigned char *>(scratch.constData()), length, expectedLength);
    switch (verdict) {
    case ScopeVerdict::NoData:
    case ScopeVerdict::WrongLength:
        return verdict;
    case ScopeVerdict::InvalidHeader:
        veltoLog(QStringLiteral("Scope data: Invalide header"), 2);
        // Dropped, so that one bad frame is logged once and not at every tick.
        usb.acknowledgeData(sequence);
        return verdict;
    case ScopeVerdict::Accepted:
        break;
    }
    // Reuses the cache's storage: a frame every few milliseconds allocates nothing.
    cache.resize(length);
    std::memcpy(cache.data(), scratch.constData(), size_t(length));
    usb.acknowledgeData(sequence);
    return verdict;
}

} // namespace Frames
