// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// Autoset: from one frame, the settings that show its signals well. Each
// enabled channel gets the gain at which its swing spans 4 to 6 divisions
// (or the nearest below, where the gain steps leave no such gain) without
// reaching the converter's limits; the time base shows 2 to 4 periods of
// the slower channel across the plot; the trigger is an edge on that channel
// at the middle of its swing. A frame says only so much (a clipped signal
// has no known swing, a coarse gain blurs a small one), so the choice is
// made again on the frame the new settings bring, until nothing changes.

#include <cstdint>

namespace Autoset {

// The time bases autoset chooses among: up to 50 ms/div, whose frames come
// in under three seconds.
constexpr int slowestSamplingIndex = 12;
// How many frames autoset looks at before it keeps what it has.
constexpr int maximumRounds = 8;

struct Channel {
    bool enabled = false;
    const int8_t *samples = nullptr;
    int count = 0;
    int gain = 0; // the gain the frame was taken at
};

struct Observation {
    Channel channels[2];
    int samplingIndex = 0;       // the time base the frame was taken at
    double visibleSamples = 0.0; // samples across the plot's width
};

struct Choice {
    bool settled = false; // a frame at these settings would change nothing
    int gain[2] = {0, 0};
    int samplingIndex = 0;
    int triggerChannel = -1; // -1: no channel with a period to trigger on
    int triggerLevel = 0;    // in codes from the channel's zero, at its new gain
};

Choice choose(const Observation &input);

// The gain (0 coarsest .. 9 finest) for a signal between `minimumVolts` and
// `maximumVolts`: the finest at which it spans at most 6 divisions and stays
// clear of the converter's limits. `current` is kept while it shows the
// signal between 3.5 and 6.3 divisions, so that autoset does not swap
// between two neighbouring gains.
int gainFor(double minimumVolts, double maximumVolts, int current);
// The time base that shows `periodSeconds` 2 to 4 times across
// `visibleSamples` (the one nearest to 3 periods when none does).
int samplingIndexFor(double periodSeconds, double visibleSamples);

} // namespace Autoset
