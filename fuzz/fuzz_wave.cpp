// SPDX-License-Identifier: GPL-3.0-only
// Frames of plot values, such as the display hands over, written as
// recording blocks and as a saved wave file, read back by the wave text
// reader, then played back one frame a tick with their time bases.
//
// Input: byte 0 the time base to return to; then frames, each a sampling
// index byte followed by ten vectors, each a length byte and that many
// 8-byte doubles (any bit pattern: NaN and infinities included).
#include "fuzzsupport.h"

#include "core/scope/waveplayback.h"
#include "core/scope/wavetext.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
// A value read back is the one written, to the six digits the text keeps;
// what is not a finite number reads as 0.
void checkReadBack(const QVector<QVector<double>> &written, const WaveText::Frame &read)
{
    if (read.sectionsRead != WaveText::vectorsPerFrame || read.vectors.size() != WaveText::vectorsPerFrame)
        std::abort();
    for (int v = 0; v < WaveText::vectorsPerFrame; ++v) {
        const QVector<double> expected = written.value(v);
        if (read.vectors.at(v).size() != expected.size())
            std::abort();
        for (int i = 0; i < expected.size(); ++i) {
            const double back = read.vectors.at(v).at(i);
            if (std::isfinite(expected.at(i)) ? WaveText::formatValue(back) != WaveText::formatValue(expected.at(i))
                                              : back != 0.0)
                std::abort();
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Timed timed(data, size);
    FuzzSupport::silenceLog();
    FuzzSupport::Prefix prefix(data, size);
    const int restore = int(int8_t(prefix.byte()));
    QVector<QVector<double>> vectors;
    QVector<int> sampling;
    while (prefix.restSize() > 0) {
        sampling.append(int(int8_t(prefix.byte())));
        for (int v = 0; v < WaveText::vectorsPerFrame && prefix.restSize() > 0; ++v) {
            const int count = prefix.byte();
            QVector<double> values;
            for (int i = 0; i < count && prefix.restSize() >= sizeof(double); ++i) {
                double value;
                std::memcpy(&value, prefix.rest(), sizeof value);
                for (size_t b = 0; b < sizeof value; ++b)
                    prefix.byte();
                values.append(value);
            }
            vectors.append(values);
        }
    }

    const int frames = qMin(vectors.size() / WaveText::vectorsPerFrame, sampling.size());
    QVector<WaveText::Frame> blocks; // as read back from the recording blocks
    for (int f = 0; f < frames; ++f) {
        const QVector<QVector<double>> frame = vectors.mid(f * WaveText::vectorsPerFrame, WaveText::vectorsPerFrame);
        const QString block = WaveText::recordingBlock(sampling.at(f), frame);
        const QString file = WaveText::waveToFile(frame);
        // Ten sections a frame whatever the values: no value may look like a separator.
        if (block.count(QStringLiteral("<*>")) != WaveText::vectorsPerFrame + 1 || !block.endsWith(WaveText::frameEnd()))
            std::abort();
        if (file.count(QStringLiteral("<*>")) != WaveText::vectorsPerFrame - 1)
            std::abort();
        bool ok = false;
        const WaveText::Frame fromFile = WaveText::readFrame(file, &ok);
        if (!ok || fromFile.samplingIndex != -1 || WaveText::recognise(file.toUtf8()) != WaveText::Kind::Wave)
            std::abort();
        checkReadBack(frame, fromFile);
        const WaveText::Frame fromBlock = WaveText::readFrame(block, &ok);
        if (!ok || fromBlock.samplingIndex != sampling.at(f) ||
            WaveText::recognise(block.toUtf8()) != WaveText::Kind::Recording)
            std::abort();
        checkReadBack(frame, fromBlock);
        blocks.append(fromBlock);
    }

    // Played back as the Record panel plays a recording: block by block,
    // each as it was read above.
    WavePlayback playback;
    int pulled = 0;
    playback.start(
        [&](int &samplingIndex, QVector<QVector<double>> &frame) {
            if (pulled >= blocks.size())
                return false;
            const WaveText::Frame &read = blocks.at(pulled++);
            samplingIndex = read.samplingIndex;
            frame = read.vectors;
            return true;
        },
        restore);
    int played = 0;
    for (;;) {
        const WavePlayback::Step step = playback.next();
        if (step.ended) {
            if (step.samplingIndex != restore || playback.active())
                std::abort();
            break;
        }
        if (step.frame.size() != WaveText::vectorsPerFrame || step.samplingIndex < 0 || step.samplingIndex > 21 ||
            step.samplingIndex != qBound(0, sampling.at(played), 21))
            std::abort();
        ++played;
    }
    if (played != frames)
        std::abort();
    return 0;
}
