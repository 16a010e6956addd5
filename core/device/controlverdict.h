// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// How a control transfer that did not go through is judged. Most answers
// the window asks for are optional (the meter, the counter, the buffer
// sizes, the generator's frequency): a slow answer costs that one read-out,
// not the session. Only a device that is gone ends the session.

namespace ControlVerdict {

// Whether the session can do without the request's answer.
enum class Need { Required, Optional };

enum class Verdict {
    Done,    // it went through
    Retry,   // timed out the first time: sent once more
    Report,  // failed again (or failed otherwise): said on the page it belongs to, the session goes on
    Refused, // the instrument does not know the request (a stall): said once, the feature greyed
    Lost     // the device is gone, or timed out so often that it is as good as gone
};

// Timeouts in a row, with no answer between them, after which the device counts as lost.
constexpr int timeoutsToLoss = 3;

// The verdict on one attempt: `result` is libusb's (bytes or a negative
// code), `attempt` counts from 1, `timeoutsInRow` includes this attempt.
Verdict judge(int result, Need need, int attempt, int timeoutsInRow);

} // namespace ControlVerdict
