// SPDX-License-Identifier: GPL-3.0-only
// A custom waveform file as the generator imports it: its bytes checked line
// by line and, when every value is good, the codes written into the
// 1024-byte buffer that goes to the instrument.
//
// Input: the file's bytes.
#include "fuzzsupport.h"

#include "core/instruments/generatorlaws.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Timed timed(data, size);
    FuzzSupport::silenceLog();
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));

    // Guard bytes on both sides catch a write outside the buffer even where
    // the sanitizer's red zones would not.
    unsigned char buffer[2 * Generator::customSamples + 32];
    std::memset(buffer, 0xa5, sizeof buffer);
    const Generator::WaveformRead read = Generator::parseWaveform(bytes, buffer + 16);
    if (read.count < 0 || read.count > Generator::customSamples || read.error.isEmpty() != (read.count > 0))
        std::abort();
    for (int i = 0; i < 16; ++i)
        if (buffer[i] != 0xa5 || buffer[sizeof buffer - 1 - i] != 0xa5)
            std::abort();
    // Every sample written is a 12-bit code; a refused file writes none.
    for (int k = 0; k < Generator::customSamples; ++k) {
        const int word = buffer[16 + 2 * k] | buffer[17 + 2 * k] << 8;
        if (k < read.count ? word > Generator::customCodeMaximum : word != 0xa5a5)
            std::abort();
    }
    return 0;
}
