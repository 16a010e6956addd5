#pragma once
// A recording played back one frame per drawn tick: the queue of vectors
// (ten a frame: CH1, CH2, logic bits 0 to 7), the time base of each frame,
// and the time base to return to when the queue runs short.
#include <QVector>

#include <functional>

class WavePlayback
{
public:
    static constexpr int vectorsPerFrame = 10;

    // Starts playing `vectors` with one sampling index per frame.
    void start(QVector<QVector<double>> vectors, QVector<int> samplingIndices, int restoreIndex);
    // Fills the sampling index and the ten vectors of the next frame; false
    // when there is none.
    using Source = std::function<bool(int &samplingIndex, QVector<QVector<double>> &frame)>;
    // Starts playing frames taken from `source` one at a time, so that a
    // recording longer than the memory plays.
    void start(Source source, int restoreIndex);
    void clear();
    bool active() const { return playing; }

    struct Step {
        // The queue ran short: playing ends and `samplingIndex` is the one to restore.
        bool ended = false;
        int samplingIndex = 0;
        QVector<QVector<double>> frame; // ten vectors, when not ended
    };
    // The next frame, or the end. Sampling indices are held to 0..21.
    Step next();

private:
    bool playing = false;
    int restore = 0;
    QVector<QVector<double>> queue;
    QVector<int> sampling;
    Source pull;
    int taken = 0; // vectors consumed from the front of `queue`
};
