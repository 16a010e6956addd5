// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// Decoding off the GUI thread: frames wait in a short queue for a thread of
// their own; a frame that finds the queue full is skipped and counted, so
// decoding never holds up acquisition or the display tick. Results go back
// through a signal, queued to the receiver's thread. No widgets.

#include "core/decode/decodesession.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace Decode {

struct DecodedFrame {
    FrameDecoding decoding;
    int generation = 0; // of the settings it was decoded with
};

class DecodeRunner : public QObject
{
    Q_OBJECT
public:
    explicit DecodeRunner(int queueDepth = 2, QObject *parent = nullptr);
    ~DecodeRunner() override;

    // The decoders for the frames submitted from now on; returns the new
    // generation, which their results carry.
    int setSettings(const QVector<DecoderSetting> &settings);
    // Queues a frame's logic samples; false, and counted as skipped, when
    // the queue is full or no decoder is set. Never waits for the decoding.
    bool submit(uint64_t frame, const QVector<uint8_t> &logic, uint64_t sampleRate);
    // Waits until every queued frame is decoded (for tests and benchmarks).
    void drain();

    struct Counts {
        uint64_t submitted = 0;
        uint64_t decoded = 0;
        uint64_t skipped = 0;
    };
    Counts counts() const;
    void resetCounts();

signals:
    void decoded(const Decode::DecodedFrame &result);

private:
    struct Job {
        uint64_t frame = 0;
        QVector<uint8_t> logic;
        uint64_t sampleRate = 0;
        QVector<DecoderSetting> settings;
        int generation = 0;
    };
    void run();

    const int depth;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<Job> queue;
    bool busy = false;
    bool stopping = false;
    QVector<DecoderSetting> current;
    int generation = 0;
    Counts tally;
    std::thread worker;
};

} // namespace Decode

Q_DECLARE_METATYPE(Decode::DecodedFrame)
