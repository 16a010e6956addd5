// The wave text and playback as they stand: frames of plot values, such as
// a played-back recording hands over, written as recording blocks and as a
// saved wave file, then played back one frame a tick with their time bases.
// (Reading a wave or recording file back joins this target once that
// reader exists.)
//
// Input: byte 0 the time base to return to; then frames, each a sampling
// index byte followed by ten vectors, each a length byte and that many
// 8-byte doubles (any bit pattern: NaN and infinities included).
#include "fuzzsupport.h"

#include "scope/waveplayback.h"
#include "scope/wavetext.h"

#include <cstdlib>
#include <cstring>

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

    for (int f = 0; f * WaveText::vectorsPerFrame < vectors.size(); ++f) {
        const QVector<QVector<double>> frame = vectors.mid(f * WaveText::vectorsPerFrame, WaveText::vectorsPerFrame);
        const QString block = WaveText::waveToString(frame);
        const QString file = WaveText::waveToFile(frame);
        // Ten sections a frame whatever the values: no value may look like a separator.
        if (block.count(QStringLiteral("<*>")) != WaveText::vectorsPerFrame || !block.endsWith(QStringLiteral("----------")))
            std::abort();
        if (file.count(QStringLiteral("<*>")) != WaveText::vectorsPerFrame - 1)
            std::abort();
    }

    WavePlayback playback;
    const int frames = qMin(vectors.size() / WaveText::vectorsPerFrame, sampling.size());
    playback.start(vectors, sampling, restore);
    int played = 0;
    for (;;) {
        const WavePlayback::Step step = playback.next();
        if (step.ended) {
            if (step.samplingIndex != restore || playback.active())
                std::abort();
            break;
        }
        if (step.frame.size() != WaveText::vectorsPerFrame || step.samplingIndex < 0 || step.samplingIndex > 21)
            std::abort();
        ++played;
    }
    if (played != frames)
        std::abort();
    return 0;
}
