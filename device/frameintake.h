#pragma once

// The scope display's intake of completed reads from the transport.

#include "core/device/frames.h"

#include <QByteArray>

class LibUsbDevice;

namespace Frames {

// Takes the oldest queued read from the transport for the scope display:
// it is copied out under the transport's lock and checked there, never in
// the receive buffer the next read may land in. A read of the wrong length
// is passed over quietly, an invalid header logged; either leaves `cache`
// as it was. An accepted frame is copied into `cache`. NoData: none waits.
ScopeVerdict acceptScopeFrame(LibUsbDevice &usb, int expectedLength, QByteArray &cache);

} // namespace Frames
