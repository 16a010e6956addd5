// SPDX-License-Identifier: GPL-3.0-only
#include "core/decode/decoderunner.h"

namespace Decode {

DecodeRunner::DecodeRunner(int queueDepth, QObject *parent) : QObject(parent), depth(qMax(1, queueDepth))
{
    qRegisterMetaType<Decode::DecodedFrame>();
    worker = std::thread([this] { run(); });
}

DecodeRunner::~DecodeRunner()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        queue.clear();
    }
    wake.notify_all();
    worker.join();
}

int DecodeRunner::setSettings(const QVector<DecoderSetting> &settings)
{
    std::lock_guard<std::mutex> lock(mutex);
    current = settings;
    queue.clear(); // frames waiting would be decoded with the old decoders
    return ++generation;
}

bool DecodeRunner::submit(uint64_t frame, const QVector<uint8_t> &logic, uint64_t sampleRate)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (current.isEmpty())
            return false;
        ++tally.submitted;
        if (int(queue.size()) >= depth) {
            ++tally.skipped;
            return false;
        }
        queue.push_back({frame, logic, sampleRate, current, generation});
    }
    wake.notify_one();
    return true;
}

void DecodeRunner::drain()
{
    std::unique_lock<std::mutex> lock(mutex);
    idle.wait(lock, [this] { return queue.empty() && !busy; });
}

DecodeRunner::Counts DecodeRunner::counts() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return tally;
}

void DecodeRunner::resetCounts()
{
    std::lock_guard<std::mutex> lock(mutex);
    tally = {};
}

void DecodeRunner::run()
{
    while (true) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return stopping || !queue.empty(); });
            if (stopping)
                return;
            job = std::move(queue.front());
            queue.pop_front();
            busy = true;
        }
        DecodedFrame result;
        result.generation = job.generation;
        result.decoding.frame = job.frame;
        decodeFrame(job.settings, job.logic.constData(), job.logic.size(), job.sampleRate, &result.decoding);
        emit decoded(result);
        {
            std::lock_guard<std::mutex> lock(mutex);
            busy = false;
            ++tally.decoded;
        }
        idle.notify_all();
    }
}

} // namespace Decode
