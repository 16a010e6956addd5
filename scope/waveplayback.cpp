#include "scope/waveplayback.h"

#include "scope/scaletables.h"

#include <algorithm>
#include <utility>

void WavePlayback::start(QVector<QVector<double>> vectors, QVector<int> samplingIndices, int restoreIndex)
{
    queue = std::move(vectors);
    sampling = std::move(samplingIndices);
    restore = restoreIndex;
    taken = 0;
    playing = true;
}

void WavePlayback::clear()
{
    queue.clear();
    sampling.clear();
    taken = 0;
    playing = false;
}

WavePlayback::Step WavePlayback::next()
{
    Step step;
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
