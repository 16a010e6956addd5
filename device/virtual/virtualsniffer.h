// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The bus traffic on the virtual bench and the sniffer's capture rings: UART
// lines and replies, SPI identification reads, I2C EEPROM reads with a missing
// device, and a counting parallel bus, generated on the instrument's clock
// while the capture runs. Plain C++, no toolkit.

#include <cstdint>
#include <string>
#include <vector>

class VirtualSniffer
{
public:
    static constexpr int frameSize = 4618;

    struct Settings {
        int protocol = 2; // 0 SPI, 1 I2C, 2 UART, 3 parallel
        int options = 0;  // entry 12
        int uart = 27;    // entry 22: data-bits index × 8 + baud index
        int strobe = 0;   // entry 23: 0 rising, 1 falling, 2 both
        bool single = false;
    };

    // A UART's format: bits per second, data bits 5 to 9, parity (0 none,
    // 1 even, 2 odd) and stop bits 1 or 2.
    struct UartFormat {
        int baud = 9600;
        int dataBits = 8;
        int parity = 0;
        int stopBits = 1;
    };
    // Reads a format written as a bench user says it, "9600 8N1": false, and
    // `format` untouched, for anything else.
    static bool parseUartFormat(const std::string &text, UartFormat &format);

    VirtualSniffer();

    // The format the bench's UART talks in, whatever the sniffer listens with.
    void setBenchUart(const UartFormat &format) { bench = format; }

    // Start empties the rings and starts the traffic at `nowNs`.
    void start(const Settings &settings, int64_t nowNs);
    void stop(int64_t nowNs);
    void clear();
    bool running() const { return active; }
    // Settings changed while running: a new protocol starts over.
    void reconfigure(const Settings &settings, int64_t nowNs);
    // Capture everything the bus carried up to `nowNs`.
    void advance(int64_t nowNs);

    int ringSize() const;
    int count1() const;
    int count2() const;
    bool full() const { return isFull; }
    // True when the rings changed since the last call.
    bool takeChanged();
    // The 4618-byte frame (type 'B').
    void writeFrame(unsigned char *buffer, uint16_t frameNumber) const;

private:
    struct Event {
        int64_t time; // ns since the start of the capture
        uint8_t a;    // UART byte, MOSI, I2C data, parallel data
        uint8_t b;    // MISO, I2C status
        uint8_t tag;  // UART receiver (1 or 2)
    };
    void collect(int64_t from, int64_t to, std::vector<Event> &out) const;
    void collectUart(int64_t from, int64_t to, std::vector<Event> &out) const;
    // What receiver `tag`, set as the sniffer is, makes of `text` sent in the
    // bench's format from `beginNs` on.
    void receiveUart(const char *text, int64_t beginNs, uint8_t tag, int64_t from, int64_t to,
                     std::vector<Event> &out) const;
    UartFormat receiverFormat() const;
    void collectSpi(int64_t from, int64_t to, std::vector<Event> &out) const;
    void collectI2c(int64_t from, int64_t to, std::vector<Event> &out) const;
    void collectParallel(int64_t from, int64_t to, std::vector<Event> &out) const;
    void write(const Event &e);
    int64_t windowCap() const;

    Settings cfg;
    UartFormat bench;
    bool active = false;
    bool isFull = false;
    bool changed = true;
    int64_t startNs = 0;
    int64_t doneNs = 0; // traffic captured up to here, relative to the start
    int position = 0;
    std::vector<uint8_t> stream1;
    std::vector<uint8_t> stream2;
    std::vector<uint8_t> attributes;
    std::vector<Event> scratch;
};
