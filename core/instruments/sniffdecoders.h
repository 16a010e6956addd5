// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The sniffer's decoders: from the streams of one sniffer frame to the text
// of its views, and the buffer-fill bookkeeping between frames. Plain
// functions of plain bytes; the sniffer's controller shows what they return.

#include <QString>
#include <QVector>

#include <cstdint>

struct sniffconfig_t;

namespace SniffDecoders {

enum Protocol { Spi = 0, I2c = 1, Uart = 2, Parallel = 3 };

// Ring sizes of the streams, and where they sit in a frame.
constexpr int spiRing = 2048;
constexpr int i2cRing = 2048;
constexpr int uartRing = 1536;
constexpr int parallelRing = 4096;
constexpr int stream1Offset = 10;
constexpr int uartStream2Offset = 1546;
constexpr int uartAttributeOffset = 3082;
constexpr int spiStream2Offset = 2058; // also the I2C status stream

// The display choices read at every decode.
struct Options {
    bool ascii = false;    // Latin-1 characters instead of hexadecimal
    bool circular = false; // ring order once a stream has wrapped
    bool synchro = false;  // UART: dots where only the other receiver has a byte (else nothing)
};

// Which positions of a ring are rendered, oldest first: `length` positions
// from `start`, wrapping at `ring`.
struct Span {
    int start = 0;
    int length = 0;
};
// A whole ring from right after the write position when `ringOrder`, else
// the first min(count, ring) positions.
Span renderSpan(int count, int ring, bool ringOrder);

// One byte as two lowercase hexadecimal digits, or in ASCII mode as its
// Latin-1 character ("_" for codes below 32).
void appendByte(QString &text, uint8_t byte, bool ascii);

// Each rebuilds the whole text of one view. `unwrapped` is the stream's
// flag of the fill bookkeeping: ring order needs Circular and a wrapped stream.
QString serialText(const uint8_t *data, const uint8_t *attributes, uint8_t mask, int count, bool unwrapped,
                   const Options &options);
QString spiText(const uint8_t *data, int count, bool unwrapped, const Options &options);
QString parallelText(const uint8_t *data, int count, bool unwrapped, const Options &options);
// I2C renders the whole ring whenever Circular is on.
QString i2cText(const uint8_t *data, const uint8_t *status, int count, const Options &options);

// The views of the sniffer tab.
enum class View { Mosi, Miso, I2c, Rx, Tx, Parallel };
struct ViewText {
    View view;
    QString text;
};
// The fill bar's maximum for a protocol, -1 for a number outside 0 to 3.
int fillMaximum(int protocol);
// Every view one frame rewrites, with its text; nothing for an unknown
// protocol. `frame` holds at least the 4618 bytes of a sniffer frame.
QVector<ViewText> decodeFrame(const uint8_t *frame, const sniffconfig_t &header, bool unwrapped1, bool unwrapped2,
                              const Options &options);

// The fill bookkeeping between Start and Stop. In Circular mode a stream
// whose count goes back has wrapped: it stays at the maximum and its flag
// stays down until the next reset.
struct Fill {
    int fill = 0;
    int count1 = 0;
    int count2 = 0;
    bool unwrapped1 = true;
    bool unwrapped2 = true;

    void reset() { *this = Fill(); }
    // `maximum` is the fill bar's maximum; the fill never exceeds it.
    void update(int newCount1, int newCount2, bool circular, int maximum);
};

} // namespace SniffDecoders
