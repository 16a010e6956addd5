// SPDX-License-Identifier: GPL-3.0-only
#include "core/device/controlverdict.h"

namespace ControlVerdict {

namespace {
// libusb's codes, as the transport passes them on.
constexpr int errorNoDevice = -4;
constexpr int errorTimeout = -7;
constexpr int errorPipe = -9;
} // namespace

Verdict judge(int result, Need need, int attempt, int timeoutsInRow)
{
    if (result >= 0)
        return Verdict::Done;
    switch (result) {
    case errorNoDevice:
        return Verdict::Lost;
    case errorTimeout:
        if (timeoutsInRow >= timeoutsToLoss)
            return Verdict::Lost;
        return attempt < 2 ? Verdict::Retry : Verdict::Report;
    case errorPipe:
        // A required request refused is worth saying each time; an optional
        // one is a feature this firmware lacks.
        return need == Need::Optional ? Verdict::Refused : Verdict::Report;
    default:
        return Verdict::Report;
    }
}

} // namespace ControlVerdict
