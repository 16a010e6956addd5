// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The bench's bus traffic as wires on the logic inputs, for decoding on the
// host: bit 0 UART TX and bit 1 UART RX (9600 8N1, idle high), bits 2 to 5
// SPI SCK, MOSI, MISO and CS (mode 0, select active low, 10 kHz), bits 6
// and 7 I2C SCL and SDA (10 kHz, idle high). The same traffic, on the same
// clock, as the sniffer captures. Plain C++, no toolkit.

#include <cstdint>
#include <vector>

namespace VirtualBus {

// The eight wires at an instant (nanoseconds of the bench's clock).
uint8_t levelsAt(int64_t timeNs);

// Wire `bit` as the counter sees it: it repeats every `period` seconds
// (100 ms for the UART, 20 ms for SPI, 200 ms for I2C, whose tenth
// transaction differs), rising and falling at these phases of the period,
// found to the microsecond; phase 0 falls on every whole 200 ms.
struct WireEdges {
    double period = 0.0;
    std::vector<double> rises;
    std::vector<double> falls;
};
const WireEdges &edges(int bit);

} // namespace VirtualBus
