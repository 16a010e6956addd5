// SPDX-License-Identifier: GPL-3.0-only
#include "device/virtual/virtualsniffer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
const int bauds[8] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int64_t ms = 1000000;
} // namespace

VirtualSniffer::VirtualSniffer()
{
    clear();
}

int VirtualSniffer::ringSize() const
{
    switch (cfg.protocol) {
    case 0:
    case 1:
        return 2048;
    case 3:
        return 4096;
    default:
        return 1536;
    }
}

int VirtualSniffer::count1() const
{
    return isFull ? ringSize() : position;
}

int VirtualSniffer::count2() const
{
    if (cfg.protocol == 0 || cfg.protocol == 2)
        return count1();
    return 0;
}

void VirtualSniffer::clear()
{
    stream1.assign(4096, 0);
    stream2.assign(2048, 0);
    attributes.assign(1536, 0);
    position = 0;
    isFull = false;
    changed = true;
}

void VirtualSniffer::start(const Settings &settings, int64_t nowNs)
{
    cfg = settings;
    cfg.protocol = std::clamp(cfg.protocol, 0, 3);
    cfg.strobe = std::clamp(cfg.strobe, 0, 2);
    clear();
    active = true;
    startNs = nowNs;
    doneNs = 0;
}

void VirtualSniffer::stop(int64_t nowNs)
{
    if (!active)
        return;
    advance(nowNs);
    active = false;
}

void VirtualSniffer::reconfigure(const Settings &settings, int64_t nowNs)
{
    Settings s = settings;
    s.protocol = std::clamp(s.protocol, 0, 3);
    s.strobe = std::clamp(s.strobe, 0, 2);
    if (!active) {
        cfg = s;
        return;
    }
    advance(nowNs);
    const bool restart = s.protocol != cfg.protocol;
    cfg = s;
    if (restart)
        start(s, nowNs);
}

bool VirtualSniffer::takeChanged()
{
    const bool c = changed;
    changed = false;
    return c;
}

bool VirtualSniffer::parseUartFormat(const std::string &text, UartFormat &format)
{
    int baud = 0;
    int dataBits = 0;
    char parity = 0;
    int stopBits = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), " %7d %1d%c%1d %n", &baud, &dataBits, &parity, &stopBits, &used) != 4 ||
        size_t(used) != text.size())
        return false;
    const char *parities = "NEO";
    const char *p = std::strchr(parities, std::toupper(static_cast<unsigned char>(parity)));
    if (baud < 50 || baud > 1000000 || dataBits < 5 || dataBits > 9 || !parity || !p || stopBits < 1 || stopBits > 2)
        return false;
    format = {baud, dataBits, int(p - parities), stopBits};
    return true;
}

VirtualSniffer::UartFormat VirtualSniffer::receiverFormat() const
{
    UartFormat f;
    f.baud = bauds[cfg.uart & 7];
    f.dataBits = std::clamp(5 + ((cfg.uart >> 3) & 7), 5, 9);
    f.parity = (cfg.options & 1) ? ((cfg.options & 2) ? 2 : 1) : 0;
    f.stopBits = (cfg.options & 4) ? 2 : 1;
    return f;
}

int64_t VirtualSniffer::windowCap() const
{
    // Long enough to fill any ring, short enough to stay cheap after a long
    // pause of the clock.
    switch (cfg.protocol) {
    case 0:
        return 15000 * ms;
    case 1:
        return 10000 * ms;
    case 3:
        return 500 * ms;
    default:
        return 30000 * ms;
    }
}

void VirtualSniffer::collect(int64_t from, int64_t to, std::vector<Event> &out) const
{
    out.clear();
    switch (cfg.protocol) {
    case 0:
        collectSpi(from, to, out);
        break;
    case 1:
        collectI2c(from, to, out);
        break;
    case 2:
        collectUart(from, to, out);
        break;
    case 3:
        collectParallel(from, to, out);
        break;
    default:
        break;
    }
}

void VirtualSniffer::collectUart(int64_t from, int64_t to, std::vector<Event> &out) const
{
    // Receiver 1: a 21-character line every 100 ms (a slot is skipped while
    // the previous line, and the slowest receiver's last character, is
    // still on the wire); receiver 2 answers 10 ms after the line ends.
    const int64_t characterNs =
        int64_t(1 + bench.dataBits + (bench.parity ? 1 : 0) + bench.stopBits) * 1000000000LL / bench.baud;
    const int64_t lineNs = 21 * characterNs;
    const int64_t stride = std::max<int64_t>(1, (lineNs + 11 * ms + 100 * ms - 1) / (100 * ms)) * 100 * ms;
    const int64_t span = lineNs + 10 * ms + 4 * characterNs + 11 * ms;
    int64_t m = std::max<int64_t>(0, (from - span - 100 * ms) / stride);
    for (;; ++m) {
        const int64_t begin = 100 * ms + m * stride;
        if (begin > to)
            break;
        char text[32];
        std::snprintf(text, sizeof text, "VSIM uart line %04d\r\n", int(m % 10000));
        receiveUart(text, begin, 1, from, to, out);
        receiveUart("OK\r\n", begin + lineNs + 10 * ms, 2, from, to, out);
    }
    std::stable_sort(out.begin(), out.end(), [](const Event &x, const Event &y) { return x.time < y.time; });
}

void VirtualSniffer::receiveUart(const char *text, int64_t beginNs, uint8_t tag, int64_t from, int64_t to,
                                 std::vector<Event> &out) const
{
    // The wire, one level a bench bit: the start bit, the data bits from the
    // least significant (a ninth is 0), the parity bit, the stop bits; idle high around.
    std::vector<uint8_t> wire;
    for (const char *c = text; *c; ++c) {
        const unsigned value = static_cast<unsigned char>(*c);
        unsigned ones = 0;
        wire.push_back(0);
        for (int b = 0; b < bench.dataBits; ++b) {
            wire.push_back(uint8_t((value >> b) & 1));
            ones += (value >> b) & 1;
        }
        if (bench.parity)
            wire.push_back(uint8_t((ones & 1) ^ (bench.parity == 2 ? 1 : 0)));
        wire.insert(wire.end(), size_t(bench.stopBits), 1);
    }
    const double benchBit = 1e9 / bench.baud;
    auto level = [&](double t) {
        const double k = std::floor(t / benchBit);
        return k < 0 || k >= double(wire.size()) ? 1 : wire[size_t(k)];
    };
    // The receiver waits for a falling edge, checks the start bit in its
    // middle and samples the middle of each of its own bits; it keeps what it
    // assembled, also when the stop bit is low (a framing error) or the
    // parity does not match, as a real one does. Only the low 8 bits are kept.
    const UartFormat rx = receiverFormat();
    const double bit = 1e9 / rx.baud;
    double t = 0;
    size_t k = 0;
    while (true) {
        k = std::max(k, size_t(std::ceil(t / benchBit)));
        while (k < wire.size() && !(wire[k] == 0 && (k == 0 || wire[k - 1] == 1)))
            ++k;
        if (k >= wire.size())
            return;
        const double start = double(k) * benchBit;
        ++k;
        if (level(start + bit / 2) != 0) {
            t = start + bit / 2; // a glitch, not a start bit
            continue;
        }
        unsigned value = 0;
        for (int b = 0; b < rx.dataBits; ++b)
            value |= unsigned(level(start + (1.5 + b) * bit)) << b;
        t = start + (1.5 + rx.dataBits + (rx.parity ? 1 : 0)) * bit; // the stop bit
        const int64_t when = beginNs + int64_t(t);
        if (when > from && when <= to)
            out.push_back({when, uint8_t(value), 0, tag});
    }
}

void VirtualSniffer::collectSpi(int64_t from, int64_t to, std::vector<Event> &out) const
{
    auto add = [&](int64_t t, uint8_t a, uint8_t b, uint8_t tag) {
        if (t > from && t <= to)
            out.push_back({t, a, b, tag});
    };
    // A flash on the bench answers its identification every 20 ms. It
    // talks SPI mode 0 with an active-low select; the capture follows the
    // polarity and phase it is told, so a wrong setting captures nothing
    // (select inverted) or every bit one clock late (wrong sampling edge).
    if (cfg.options & 0x20)
        return;
    const bool lateEdge = ((cfg.options >> 6) & 1) != ((cfg.options >> 7) & 1);
    const uint8_t mosi[4] = {0x9F, 0x00, 0x00, 0x00};
    const uint8_t miso[4] = {0xFF, 0xEF, 0x40, 0x18};
    int64_t m = std::max<int64_t>(0, from / (20 * ms) - 1);
    for (;; ++m) {
        const int64_t begin = (m + 1) * 20 * ms;
        if (begin > to)
            break;
        for (int i = 0; i < 4; ++i) {
            uint8_t o = mosi[i];
            uint8_t in = miso[i];
            if (lateEdge) {
                o = uint8_t((o << 1) | (i < 3 ? mosi[i + 1] >> 7 : 0));
                in = uint8_t((in << 1) | (i < 3 ? miso[i + 1] >> 7 : 1));
            }
            add(begin + (i + 1) * 1000, o, in, 0);
        }
    }
}

void VirtualSniffer::collectI2c(int64_t from, int64_t to, std::vector<Event> &out) const
{
    auto add = [&](int64_t t, uint8_t a, uint8_t b, uint8_t tag) {
        if (t > from && t <= to)
            out.push_back({t, a, b, tag});
    };
    // Every 20 ms an EEPROM read at 0x50 (address 0x0010 written, then
    // four bytes read, the last not acknowledged); every tenth time a call
    // to 0x51, where nobody answers.
    const uint8_t eeprom[4] = {0x56, 0x53, 0x49, 0x4D};
    const int64_t byteNs = 90000; // nine bits at 100 kHz
    int64_t m = std::max<int64_t>(0, from / (20 * ms) - 1);
    for (;; ++m) {
        const int64_t begin = (m + 1) * 20 * ms;
        if (begin > to)
            break;
        int64_t t = begin;
        auto step = [&](uint8_t data, uint8_t status) {
            add(t, data, status, 0);
            t += byteNs;
        };
        if (m % 10 == 9) {
            step(0, 0x84);
            step(0xA2, 0x82);
            step(0, 0x90);
            continue;
        }
        step(0, 0x84);
        step(0xA0, 0x83);
        step(0x00, 0x81);
        step(0x10, 0x81);
        step(0, 0x88);
        step(0xA1, 0x83);
        for (int i = 0; i < 4; ++i)
            step(eeprom[i], i < 3 ? 0x81 : 0x80);
        step(0, 0x90);
    }
}

void VirtualSniffer::collectParallel(int64_t from, int64_t to, std::vector<Event> &out) const
{
    auto add = [&](int64_t t, uint8_t a, uint8_t b, uint8_t tag) {
        if (t > from && t <= to)
            out.push_back({t, a, b, tag});
    };
    // 10 000 strobes a second; the byte steps up at each rising strobe.
    const uint8_t flip = (cfg.options & 0x10) ? 0xFF : 0x00;
    int64_t s = std::max<int64_t>(1, from / 100000);
    for (;; ++s) {
        const int64_t rise = s * 100000;
        if (rise > to)
            break;
        const uint8_t value = uint8_t(s) ^ flip;
        if (cfg.strobe != 1)
            add(rise, value, 0, 0);
        if (cfg.strobe != 0)
            add(rise + 50000, value, 0, 0);
    }
}

void VirtualSniffer::write(const Event &e)
{
    const int n = ringSize();
    if (isFull)
        return;
    const size_t p = size_t(position);
    switch (cfg.protocol) {
    case 2:
        stream1[p] = e.tag == 1 ? e.a : 0;
        stream2[p] = e.tag == 2 ? e.a : 0;
        attributes[p] = e.tag;
        break;
    case 0:
    case 1:
        stream1[p] = e.a;
        stream2[p] = e.b;
        break;
    default:
        stream1[p] = e.a;
        break;
    }
    changed = true;
    ++position;
    if (position >= n) {
        if (cfg.single)
            isFull = true;
        position = 0;
    }
}

void VirtualSniffer::advance(int64_t nowNs)
{
    if (!active)
        return;
    const int64_t to = nowNs - startNs;
    while (doneNs < to && !isFull) {
        int64_t from = doneNs;
        int64_t until = std::min(to, from + windowCap());
        if (!cfg.single && to - from > windowCap()) {
            // Only the newest traffic can still be in a looping ring.
            from = to - windowCap();
            until = to;
        }
        collect(from, until, scratch);
        for (const Event &e : scratch) {
            write(e);
            if (isFull)
                break;
        }
        doneNs = until;
    }
    if (isFull)
        doneNs = to;
}

void VirtualSniffer::writeFrame(unsigned char *buffer, uint16_t frameNumber) const
{
    std::memset(buffer, 0, frameSize);
    buffer[0] = 'B';
    buffer[1] = uint8_t(frameNumber);
    buffer[2] = uint8_t(frameNumber >> 8);
    buffer[3] = uint8_t(cfg.protocol);
    const int c1 = count1();
    const int c2 = count2();
    buffer[4] = uint8_t(c1);
    buffer[5] = uint8_t(c1 >> 8);
    buffer[6] = uint8_t(c2);
    buffer[7] = uint8_t(c2 >> 8);
    unsigned char *data = buffer + 10;
    switch (cfg.protocol) {
    case 0:
    case 1:
        std::memcpy(data, stream1.data(), 2048);
        std::memcpy(data + 2048, stream2.data(), 2048);
        break;
    case 2:
        std::memcpy(data, stream1.data(), 1536);
        std::memcpy(data + 1536, stream2.data(), 1536);
        std::memcpy(data + 3072, attributes.data(), 1536);
        break;
    default:
        std::memcpy(data, stream1.data(), 4096);
        break;
    }
}
