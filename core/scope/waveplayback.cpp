// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/waveplayback.h"

#include "core/scope/scaletables.h"

#include <algorithm>
#include <utility>

void WavePlayback::start(Source source, int restoreIndex, const QString &name)
{
    pull = std::move(source);
    restore = restoreIndex;
    taken = 0;
    fileName = name;
    playing = bool(pull);
}

void WavePlayback::clear()
{
    pull = nullptr;
    playing = false;
}

WavePlayback::Step WavePlayback::next()
{
    Step step;
    int index = restore;
    if (playing && pull(index, step.frame) && step.frame.size() == vectorsPerFrame) {
        step.samplingIndex = std::clamp(index, 0, ScaleTables::maxSamplingIndex);
        step.block = ++taken;
        return step;
    }
    step.frame.clear();
    step.ended = true;
    step.samplingIndex = restore;
    clear();
    return step;
}
