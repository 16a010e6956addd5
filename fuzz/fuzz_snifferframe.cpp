// SPDX-License-Identifier: GPL-3.0-only
// A completed bulk read as the sniffer view takes it: the frame check, the
// fill bookkeeping after an earlier frame, and the four decoders' texts.
//
// Input: seven bytes of settings, then the read itself.
//   byte 0: bit 0 ASCII, bit 1 Circular, bit 2 Synchro, bit 3 no earlier frame
//   bytes 1..2: the earlier frame's number; bytes 3..6: its two counts
#include "fuzzsupport.h"

#include "core/device/frames.h"
#include "core/instruments/sniffdecoders.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Timed timed(data, size);
    FuzzSupport::silenceLog();
    FuzzSupport::Prefix prefix(data, size);
    const uint8_t flags = prefix.byte();
    const int previousNumber = (flags & 0x08) ? -1 : prefix.word();
    const int earlierCount1 = prefix.word();
    const int earlierCount2 = prefix.word();
    const auto *frame = prefix.rest();
    const int length = int(prefix.restSize());

    SniffDecoders::Options options;
    options.ascii = flags & 0x01;
    options.circular = flags & 0x02;
    options.synchro = flags & 0x04;

    if (Frames::acceptSnifferFrame(frame, length, previousNumber) != Frames::SnifferVerdict::Accepted)
        return 0;
    sniffconfig_t header{};
    Frames::parseSnifferHeader(&header, frame);
    const int maximum = SniffDecoders::fillMaximum(header.protocol);
    SniffDecoders::Fill fill;
    const int shownMaximum = maximum < 0 ? 100 : maximum;
    fill.update(earlierCount1, earlierCount2, options.circular, shownMaximum);
    fill.update(header.count1, header.count2, options.circular, shownMaximum);
    if (fill.fill < 0 || fill.fill > shownMaximum)
        std::abort();
    if (maximum < 0)
        return 0;
    const auto views = SniffDecoders::decodeFrame(frame, header, fill.unwrapped1, fill.unwrapped2, options);
    // No view can hold more than its ring: three characters a byte at most.
    for (const auto &v : views)
        if (v.text.size() > 4 * SniffDecoders::parallelRing + 16)
            std::abort();
    return 0;
}
