// SPDX-License-Identifier: GPL-3.0-only
// The sniffer's decoders and its fill bookkeeping.
#include "core/instruments/sniffdecoders.h"

#include "core/device/frames.h"

#include <algorithm>

namespace SniffDecoders
{

namespace
{
const char hexDigits[] = "0123456789abcdef";

// I2C status bits.
enum : uint8_t {
    Acknowledged = 0x01,
    AddressByte = 0x02,
    StartCondition = 0x04,
    RepeatedStart = 0x08,
    StopCondition = 0x10,
    Timeout = 0x20,
    StopOrTimeout = 0x40,
    EventRecorded = 0x80
};

// "<", A with a macron (the bar of "not"), ">".
const QString notAcknowledged = QStringLiteral("<") + QChar(0x1FB9) + QStringLiteral(">");

// Byte tokens of a plain stream, each followed by a space.
QString bytesText(const uint8_t *data, int ring, int count, bool ringOrder, bool ascii)
{
    const Span span = renderSpan(count, ring, ringOrder);
    QString text;
    text.reserve(span.length * 3);
    for (int k = 0, i = span.start; k < span.length; ++k, i = (i + 1 == ring) ? 0 : i + 1) {
        appendByte(text, data[i], ascii);
        text += QLatin1Char(' ');
    }
    return text;
}
} // namespace

Span renderSpan(int count, int ring, bool ringOrder)
{
    count = std::max(count, 0);
    if (ringOrder)
        return {count % ring, ring}; // counts beyond the ring still start inside it
    return {0, std::min(count, ring)};
}

void appendByte(QString &text, uint8_t byte, bool ascii)
{
    if (!ascii) {
        text += QLatin1Char(hexDigits[byte >> 4]);
        text += QLatin1Char(hexDigits[byte & 0x0f]);
    } else {
        text += byte > 31 ? QChar(QLatin1Char(char(byte))) : QChar(QLatin1Char('_'));
    }
}

QString serialText(const uint8_t *data, const uint8_t *attributes, uint8_t mask, int count, bool unwrapped,
                   const Options &options)
{
    const Span span = renderSpan(count, uartRing, options.circular && !unwrapped);
    const QString absent = options.ascii ? QStringLiteral(". ") : QStringLiteral(".. ");
    QString text;
    text.reserve(span.length * 3);
    for (int k = 0, i = span.start; k < span.length; ++k, i = (i + 1 == uartRing) ? 0 : i + 1) {
        // A position only the other receiver filled holds no byte of this
        // one: a dot pair keeps the two views in step, and without that it
        // is left out, never shown as a byte 00 that did not come.
        if (!(attributes[i] & mask)) {
            if (options.synchro)
                text += absent;
            continue;
        }
        appendByte(text, data[i], options.ascii);
        text += QLatin1Char(' ');
    }
    return text;
}

QString spiText(const uint8_t *data, int count, bool unwrapped, const Options &options)
{
    return bytesText(data, spiRing, count, options.circular && !unwrapped, options.ascii);
}

QString parallelText(const uint8_t *data, int count, bool unwrapped, const Options &options)
{
    return bytesText(data, parallelRing, count, options.circular && !unwrapped, options.ascii);
}

QString i2cText(const uint8_t *data, const uint8_t *status, int count, const Options &options)
{
    const Span span = renderSpan(count, i2cRing, options.circular);
    QString text;
    text.reserve(span.length * 8);
    for (int k = 0, i = span.start; k < span.length; ++k, i = (i + 1 == i2cRing) ? 0 : i + 1) {
        const uint8_t s = status[i];
        if (!(s & EventRecorded))
            continue;
        if (s & StartCondition) {
            text += QStringLiteral("<Start> ");
        } else if (s & RepeatedStart) {
            text += QStringLiteral("\n<Restart> ");
        } else if (s & StopCondition) {
            text += QStringLiteral("<Stop>\n");
        } else if (s & StopOrTimeout) {
            text += QStringLiteral("<Stop/Timeout>\n");
        } else if (s & Timeout) {
            text += QStringLiteral("<Timeout>\n");
        } else {
            if (s & AddressByte) {
                text += QStringLiteral("<Address:>");
                appendByte(text, data[i] >> 1, false);
                text += (data[i] & 1) ? QStringLiteral("<R>") : QStringLiteral("<W>");
            } else {
                appendByte(text, data[i], options.ascii);
            }
            text += (s & Acknowledged) ? QStringLiteral("<A>") : notAcknowledged;
            text += QLatin1Char(' ');
        }
    }
    return text;
}

int fillMaximum(int protocol)
{
    switch (protocol) {
    case Spi:
    case I2c:
        return spiRing - 1;
    case Uart:
        return uartRing - 1;
    case Parallel:
        return parallelRing - 1;
    default:
        return -1;
    }
}

QVector<ViewText> decodeFrame(const uint8_t *frame, const sniffconfig_t &h, bool unwrapped1, bool unwrapped2,
                              const Options &o)
{
    const uint8_t *stream1 = frame + stream1Offset;
    switch (h.protocol) {
    case Uart:
        return {{View::Rx, serialText(stream1, frame + uartAttributeOffset, 1, h.count1, unwrapped1, o)},
                {View::Tx, serialText(frame + uartStream2Offset, frame + uartAttributeOffset, 2, h.count2, unwrapped2, o)}};
    case Spi:
        return {{View::Mosi, spiText(stream1, h.count1, unwrapped1, o)},
                {View::Miso, spiText(frame + spiStream2Offset, h.count2, unwrapped2, o)}};
    case I2c:
        return {{View::I2c, i2cText(stream1, frame + spiStream2Offset, h.count1, o)}};
    case Parallel:
        return {{View::Parallel, parallelText(stream1, h.count1, unwrapped1, o)}};
    default:
        return {};
    }
}

void Fill::update(int newCount1, int newCount2, bool circular, int maximum)
{
    if (!circular) {
        unwrapped1 = unwrapped2 = true;
        fill = std::max(newCount1, newCount2);
    } else {
        // The device's write position went back: that stream's ring wrapped.
        auto follow = [maximum](int &remembered, bool &unwrapped, int count) {
            remembered = remembered > count ? maximum : count;
            if (remembered > count)
                unwrapped = false;
        };
        follow(count1, unwrapped1, newCount1);
        follow(count2, unwrapped2, newCount2);
        fill = std::max(count1, count2);
    }
    // A count beyond the ring would leave the bar where it was.
    fill = std::min(fill, maximum);
}

} // namespace SniffDecoders
