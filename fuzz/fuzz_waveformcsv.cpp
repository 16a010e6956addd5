// SPDX-License-Identifier: GPL-3.0-only
// A custom waveform file as the generator imports it: read as text up to
// the first zero byte and the 512th value, then the comma-separated values
// into the 1024-byte buffer that goes to the instrument.
//
// Input: the file's bytes; the first byte also picks a small read limit now
// and then, so that a cut at the limit is tried as well.
#include "fuzzsupport.h"

#include "core/instruments/generatorlaws.h"

#include <QBuffer>

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Timed timed(data, size);
    FuzzSupport::silenceLog();
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const qint64 limit = (size > 0 && data[0] == 0xff) ? qint64(size / 2) : Generator::waveformFileLimit;
    const Generator::WaveformText text = Generator::readWaveformText(device, limit);
    if (text.text.size() > bytes.size())
        std::abort();

    // Guard bytes on both sides catch a write outside the buffer even where
    // the sanitizer's red zones would not.
    unsigned char buffer[2 * Generator::customSamples + 32];
    std::memset(buffer, 0xa5, sizeof buffer);
    const int count = Generator::parseCSV(text.text, buffer + 16);
    if (count < 0 || count > Generator::customSamples)
        std::abort();
    for (int i = 0; i < 16; ++i)
        if (buffer[i] != 0xa5 || buffer[sizeof buffer - 1 - i] != 0xa5)
            std::abort();
    return 0;
}
