#include "scope/waveplayback.h"

#include "scope/scaletables.h"

#include <algorithm>
#include <utility>

void WavePlayback::start(QVector<QVector<double>> vectors, QVector<int> samplingIndices, int restoreIndex)
{
    pull = nullptr;
    queue = std::move(vectors);
    sampling = std::move(samplingIndices);
    restore = restoreIndex;
    taken = 0;
    playing = true;
}

void WavePlayback::start(Source source, int restoreIndex)
{
    clear();
    pull = std::move(source);
    restore = restoreIndex;
    playing = bool(pull);
}

void WavePlayback::clear()
{
    pull = nullptr;
    queue.clear();
    sampling.clear();
    taken = 0;
    playing = false;
}

WavePlayback::Step WavePlayback::next()
{
    Step step;
    if (playing && pull) {
        int index = restore;
        if (pull(index, step.frame) && step.frame.size() == vectorsPerFrame) {
            step.samplingIndex = std::clamp(index, 0, ScaleTables::maxSamplingIndex);
            return step;
        }
        step.frame.clear();
    }
    const int frameIndex = taken / vectorsPerFrame;
    if (!playing || queue.size() - taken < vectorsPerFrame || frameIndex >= sampling.size()) {
        step.ended = true;
        step.samplingIndex = restore;
        clear();
        return step;
    }
    step.samplingIndex = std::clamp(sampling.at(frameIndex), 0, ScaleTables::maxSamplingIndex);
    // Moved out rather than copied: each frame is shown once.
    step.frame.reserve(vectorsPerFrame);
    for (int v = 0; v < vectorsPerFrame; ++v)
        step.frame.append(std::move(queue[taken + v]));
    taken += vectorsPerFrame;
    return step;
}
