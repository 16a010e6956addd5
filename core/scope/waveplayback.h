// SPDX-License-Identifier: GPL-3.0-only
#pragma once
// A recording played back one frame per drawn tick: the frames (ten
// vectors each: CH1, CH2, logic bits 0 to 7) with their time bases, taken
// one at a time from a source so that a recording longer than the memory
// plays, and the time base to return to when the frames run out.
#include <QString>
#include <QVector>

#include <functional>

class WavePlayback
{
public:
    static constexpr int vectorsPerFrame = 10;

    // Fills the sampling index and the ten vectors of the next frame; false
    // when there is none.
    using Source = std::function<bool(int &samplingIndex, QVector<QVector<double>> &frame)>;
    // `name` names the recording in what is exported while it plays.
    void start(Source source, int restoreIndex, const QString &name = QString());
    void clear();
    bool active() const { return playing; }
    const QString &name() const { return fileName; }

    struct Step {
        // The frames ran out: playing ends and `samplingIndex` is the one to restore.
        bool ended = false;
        int samplingIndex = 0;
        QVector<QVector<double>> frame; // ten vectors, when not ended
        int block = 0;                  // the frame's place in the recording, from 1
    };
    // The next frame, or the end. Sampling indices are held to 0..21; a
    // frame that is not ten vectors ends the playing.
    Step next();

private:
    bool playing = false;
    int restore = 0;
    int taken = 0;
    QString fileName;
    Source pull;
};
