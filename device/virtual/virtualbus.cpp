// SPDX-License-Identifier: GPL-3.0-only
#include "device/virtual/virtualbus.h"

#include <array>
#include <cstddef>
#include <vector>

namespace VirtualBus {

namespace {
constexpr int64_t ms = 1000000;
constexpr int64_t us = 1000;
constexpr int baud = 9600;
// Ten bits a character (start, eight data, stop), as the sniffer counts it.
constexpr int64_t characterNs = 10 * 1000000000LL / baud;
constexpr int64_t lineNs = 21 * characterNs;

int64_t floorDiv(int64_t a, int64_t b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// A UART wire sending `text` from `offsetNs` = 0 on: idle high, a start bit,
// eight data bits from the least significant, a stop bit.
template <typename CharAt>
int uartLevel(int64_t offsetNs, int length, CharAt charAt)
{
    if (offsetNs < 0)
        return 1;
    const int64_t bit = offsetNs * baud / 1000000000LL;
    if (bit >= int64_t(length) * 10)
        return 1;
    const int slot = int(bit % 10);
    if (slot == 0)
        return 0;
    if (slot == 9)
        return 1;
    return (static_cast<unsigned char>(charAt(int(bit / 10))) >> (slot - 1)) & 1;
}

// Bits 0 and 1: line m ("VSIM uart line NNNN" CR LF) starts at 100 ms + m × 100 ms
// on TX; "OK" CR LF follows on RX 10 ms after the line ends.
uint8_t uartWires(int64_t t)
{
    const int64_t m = floorDiv(t - 100 * ms, 100 * ms);
    if (m < 0)
        return 3;
    const int64_t begin = 100 * ms + m * 100 * ms;
    static const char head[] = "VSIM uart line ";
    const int number = int(m % 10000);
    auto lineChar = [number](int k) -> char {
        if (k < 15)
            return head[k];
        if (k < 19) {
            int n = number;
            for (int d = 18; d > k; --d)
                n /= 10;
            return char('0' + n % 10);
        }
        return k == 19 ? '\r' : '\n';
    };
    static const char reply[] = "OK\r\n";
    const int tx = uartLevel(t - begin, 21, lineChar);
    const int rx = uartLevel(t - begin - lineNs - 10 * ms, 4, [](int k) { return reply[k]; });
    return uint8_t(tx | (rx << 1));
}

// Bits 2 to 5: every 20 ms the flash's identification read, select low for
// 50 µs around 32 clocks of 100 µs; data change while SCK is low and are
// taken on its rising edge in the middle of the bit.
uint8_t spiWires(int64_t t)
{
    constexpr uint8_t sck = 1, mosi = 2, miso = 4, cs = 8;
    const int64_t m = floorDiv(t, 20 * ms);
    const int64_t offset = t - m * 20 * ms;
    if (m < 1 || offset >= 3300 * us)
        return uint8_t(miso | cs);
    if (offset < 50 * us || offset >= 3250 * us)
        return miso;
    static const uint8_t out[4] = {0x9F, 0x00, 0x00, 0x00};
    static const uint8_t in[4] = {0xFF, 0xEF, 0x40, 0x18};
    const int64_t inBits = offset - 50 * us;
    const int k = int(inBits / (100 * us));
    const bool high = inBits % (100 * us) >= 50 * us;
    const int shift = 7 - k % 8;
    uint8_t levels = high ? sck : 0;
    if ((out[k / 8] >> shift) & 1)
        levels |= mosi;
    if ((in[k / 8] >> shift) & 1)
        levels |= miso;
    return levels;
}

// The I2C transaction in quarters of a 100 µs bit, each quarter SCL | SDA << 1.
class I2cWaveform
{
public:
    explicit I2cWaveform(bool missing)
    {
        push(1, 1);
        push(1, 1);
        push(1, 0); // start: SDA falls while SCL is high
        if (missing) {
            byte(0xA2, 1); // 0x51 written to; nobody pulls SDA low
        } else {
            byte(0xA0, 0);
            byte(0x00, 0);
            byte(0x10, 0);
            // Repeated start: SDA rises while SCL is low, falls while it is high.
            push(0, sda);
            push(0, 1);
            push(1, 1);
            push(1, 0);
            byte(0xA1, 0);
            const uint8_t eeprom[4] = {0x56, 0x53, 0x49, 0x4D};
            for (int i = 0; i < 4; ++i)
                byte(eeprom[i], i == 3 ? 1 : 0); // the last byte is not acknowledged
        }
        // Stop: SDA rises while SCL is high.
        push(0, sda);
        push(0, 0);
        push(1, 0);
        push(1, 1);
    }
    uint8_t at(int64_t quarter) const { return quarter < int64_t(q.size()) ? q[std::size_t(quarter)] : 3; }

private:
    std::vector<uint8_t> q;
    int sda = 1;
    void push(int scl, int level)
    {
        sda = level;
        q.push_back(uint8_t(scl | (level << 1)));
    }
    void bit(int level)
    {
        push(0, sda);
        push(0, level);
        push(1, level);
        push(1, level);
    }
    void byte(uint8_t value, int acknowledge)
    {
        for (int b = 7; b >= 0; --b)
            bit((value >> b) & 1);
        bit(acknowledge);
    }
};

// Bits 6 and 7: every 20 ms the EEPROM read at 0x50; every tenth a call to 0x51.
uint8_t i2cWires(int64_t t)
{
    static const I2cWaveform read(false);
    static const I2cWaveform missing(true);
    const int64_t m = floorDiv(t, 20 * ms) - 1;
    if (m < 0)
        return 3;
    const int64_t offset = t - (m + 1) * 20 * ms;
    return (m % 10 == 9 ? missing : read).at(offset / (25 * us));
}
} // namespace

uint8_t levelsAt(int64_t timeNs)
{
    return uint8_t(uartWires(timeNs) | (spiWires(timeNs) << 2) | (i2cWires(timeNs) << 6));
}

const WireEdges &edges(int bit)
{
    static const auto all = [] {
        std::array<WireEdges, 8> out;
        const int64_t periods[8] = {100 * ms, 100 * ms, 20 * ms, 20 * ms, 20 * ms, 20 * ms, 200 * ms, 200 * ms};
        for (int b = 0; b < 8; ++b) {
            // From 200 ms on every wire repeats; a microsecond a step.
            const int64_t from = 200 * ms;
            out[std::size_t(b)].period = double(periods[b]) * 1e-9;
            int previous = (levelsAt(from + periods[b] - us) >> b) & 1;
            for (int64_t t = 0; t < periods[b]; t += us) {
                const int level = (levelsAt(from + t) >> b) & 1;
                if (level != previous)
                    (level ? out[std::size_t(b)].rises : out[std::size_t(b)].falls).push_back(double(t) / double(periods[b]));
                previous = level;
            }
        }
        return out;
    }();
    return all[std::size_t(bit & 7)];
}

} // namespace VirtualBus
