// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The scope display's intake of completed reads from the transport.

#include "core/device/frames.h"

#include <QByteArray>

class LibUsbDevice;

namespace Frames {

// What the intake took: the read's length, and its frame number when it
// starts with a scope header (-1 when not), refused or not.
struct ScopeRead {
    int length = -1;
    int frameNumber = -1;
};
// Takes the oldest queued read from the transport for the scope display:
// it is copied out under the transport's lock and checked there, never in
// the receive buffer the next read may land in. A read of the wrong length
// is passed over (the caller reports it), an invalid header logged; either
// leaves `cache` as it was. An accepted frame is copied into `cache`.
// NoData: none waits.
ScopeVerdict acceptScopeFrame(LibUsbDevice &usb, int expectedLength, QByteArray &cache, ScopeRead *read = nullptr);

} // namespace Frames
