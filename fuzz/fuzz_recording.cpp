// SPDX-License-Identifier: GPL-3.0-only
// A file the Record panel is given to load or play: the input is the file.
// It is read as a saved wave is loaded (the whole text at once) and as a
// recording is played (RecordingReader, block by block, feeding
// WavePlayback), as the panel does with a file the user picks.
#include "fuzzsupport.h"

#include "core/scope/recordingfile.h"
#include "core/scope/waveplayback.h"
#include "core/scope/wavetext.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Timed timed(data, size);
    FuzzSupport::silenceLog();
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("input.vsp"));
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
            std::abort();
    }

    // Loaded as a still wave.
    bool ok = false;
    const WaveText::Frame whole = WaveText::readFrame(QString::fromUtf8(content), &ok);
    if (whole.vectors.size() != WaveText::vectorsPerFrame || ok != (whole.sectionsRead > 0))
        std::abort();
    const WaveText::Kind kind = WaveText::recognise(content);

    // Read block by block: never more frames than the file has ends of frames, plus a last one cut short.
    RecordingReader reader;
    if (!reader.open(path) || reader.kind() != kind)
        std::abort();
    const int ends = content.count(WaveText::frameEnd().toLatin1());
    QVector<int> sampling;
    QVector<WaveText::Frame> frames;
    WaveText::Frame frame;
    while (reader.next(frame)) {
        if (frame.vectors.size() != WaveText::vectorsPerFrame || frame.sectionsRead <= 0 || sampling.size() > ends)
            std::abort();
        sampling.append(frame.samplingIndex);
        frames.append(frame);
    }

    // Played back: every frame read, at its own time base held to the
    // slider's range. The frames are those the reader gave above: reading
    // the file a second time would only repeat the same reader.
    WavePlayback playback;
    const int restore = 7;
    int pulled = 0;
    playback.start(
        [&](int &samplingIndex, QVector<QVector<double>> &vectors) {
            if (pulled >= frames.size())
                return false;
            const WaveText::Frame &next = frames.at(pulled++);
            if (next.samplingIndex >= 0)
                samplingIndex = next.samplingIndex;
            vectors = next.vectors;
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
        if (played >= sampling.size())
            std::abort();
        const int expected = sampling.at(played) >= 0 ? qBound(0, sampling.at(played), 21) : restore;
        if (step.frame.size() != WaveText::vectorsPerFrame || step.samplingIndex != expected)
            std::abort();
        ++played;
    }
    if (played != sampling.size())
        std::abort();
    return 0;
}
