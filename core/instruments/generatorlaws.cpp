// SPDX-License-Identifier: GPL-3.0-only
// The generator's arithmetic and its custom waveform text.
#include "core/instruments/generatorlaws.h"

#include "core/device/configprotocol.h"

#include <QIODevice>

#include <algorithm>
#include <cmath>

namespace Generator {

double mathRoundTo(double value, double n)
{
    return n * std::round(value / n);
}

long long frequencySliderValueToInt(double position)
{
    double f = std::pow(10.0, position / 100.0);
    // About three significant digits at every magnitude.
    if (f >= 10000000)
        f = mathRoundTo(f, 100000);
    else if (f >= 1000000)
        f = mathRoundTo(f, 10000);
    else if (f >= 100000)
        f = mathRoundTo(f, 1000);
    else if (f >= 10000)
        f = mathRoundTo(f, 100);
    else if (f >= 1000)
        f = mathRoundTo(f, 10);
    if (!std::isfinite(f))
        f = double(ConfigProtocol::maximumFrequency);
    return ConfigProtocol::dataValueRangeTrunk64(static_cast<long long>(std::min(f, 1e15)),
                                                 ConfigProtocol::minimumFrequency, ConfigProtocol::maximumFrequency);
}

int frequencyIntToSliderValue(double centiHertz)
{
    // log10 of zero is minus infinity: all-zero digits sit at the slider's bottom.
    if (!(centiHertz >= 1.0))
        return 0;
    return static_cast<int>(std::trunc(std::log10(std::min(centiHertz, 1e15)) * 100.0));
}

Digits frequencyDigits(double centiHertz)
{
    Digits digits{};
    if (!(centiHertz > 0))
        return digits;
    // The last eight decimal digits of the value rounded to a whole cHz.
    long long n = static_cast<long long>(std::fmod(mathRoundTo(std::min(centiHertz, 1e18), 1), 1e8));
    for (int k = digitCount - 1; k >= 0; --k) {
        digits[size_t(k)] = int(n % 10);
        n /= 10;
    }
    return digits;
}

long long digitsToFrequency(const Digits &digits)
{
    long long value = 0;
    for (size_t k = 0; k < digits.size(); ++k)
        value += digits[k] * digitWeights[k];
    return value;
}

int digitIncrease(int digit, int maximum)
{
    return digit < maximum ? digit + 1 : 0;
}

int digitDecrease(int digit, int maximum)
{
    return digit < 1 ? maximum : digit - 1;
}

QString frequencySummary(long long centiHertz)
{
    return QString::number(double(centiHertz) / 100.0, 'f', 2) + QStringLiteral("Hz ");
}

double effectiveFrequency(const unsigned char *reply, int received)
{
    if (received != 4 || !reply)
        return 0;
    const uint32_t value =
        uint32_t(reply[0]) | uint32_t(reply[1]) << 8 | uint32_t(reply[2]) << 16 | uint32_t(reply[3]) << 24;
    // The instrument's own precision: single.
    return double(float(value / 100.0));
}

int levelCode(double value, double divisor)
{
    const double code = value * divisor;
    if (!std::isfinite(code))
        return 0;
    return int(std::lround(std::max(-1e9, std::min(1e9, code))));
}

WaveChoice waveTypeFor(const std::array<bool, WaveformCount> &checked)
{
    static const Waveform order[WaveformCount] = {Constant, Custom, Exponential, Triangle,
                                                  Square,   Sine,   PinkNoise,   WhiteNoise};
    static const char *names[WaveformCount] = {"Sine",   "Square",   "Triangle",    "Exponential",
                                               "Custom", "Constant", "White Noise", "Pink Noise"};
    for (Waveform w : order) {
        if (checked[size_t(w)])
            return {int(w), QString::fromLatin1(names[w])};
    }
    return {int(Sine), QString()};
}

SweepShown sweepShown(Swept quantity, int code)
{
    const double c = code;
    switch (quantity) {
    case Swept::Frequency: {
        const double hertz = std::pow(10.0, c / 51.0);
        if (hertz < 1000)
            return {std::round(hertz), 0, QStringLiteral("Hz")};
        // Tenths of a kilohertz: a whole number of kilohertz would show 2.0 for 2.3 kHz.
        return {std::round(hertz / 100.0) / 10.0, 1, QStringLiteral("kHz")};
    }
    case Swept::Amplitude:
        return {0.5018 * c / 56.0, 2, QStringLiteral("V")};
    case Swept::Offset:
        return {(c - 127.5) * 0.5017 / 28.0, 2, QStringLiteral("V")};
    case Swept::DutyCycle:
        return {std::max(1.0, 100.0 * c / 255.0), 1, QStringLiteral("%")};
    case Swept::None:
        break;
    }
    return {0, 0, QString()};
}

int sweepStartOrdered(int start, int end)
{
    return start > end ? end : start;
}

int sweepEndOrdered(int start, int end)
{
    return end < start ? start : end;
}

int parseCSV(const QString &text, unsigned char *buffer)
{
    // Fields end at commas; line breaks are blanks inside a field, so a
    // field holding a line break but no comma before it is no integer.
    int count = 0;
    int start = 0;
    const int length = text.size();
    for (int i = 0; i <= length && count < customSamples; ++i) {
        if (i < length && text.at(i) != QLatin1Char(','))
            continue;
        if (i > start) {
            bool ok = false;
            const int value = text.midRef(start, i - start).trimmed().toInt(&ok, 10);
            const uint16_t word = ok ? uint16_t(value & 0xFFFF) : 0;
            buffer[2 * count] = uchar(word & 0xFF);
            buffer[2 * count + 1] = uchar(word >> 8);
            ++count;
        }
        start = i + 1;
    }
    return count;
}

WaveformText readWaveformText(QIODevice &device, qint64 limit)
{
    QByteArray bytes;
    int closedFields = 0;
    qint64 fieldLength = 0;
    bool complete = false;
    while (!complete && bytes.size() < limit) {
        const QByteArray chunk = device.read(std::min<qint64>(65536, limit - bytes.size()));
        if (chunk.isEmpty())
            break;
        int keep = chunk.size();
        for (int i = 0; i < chunk.size(); ++i) {
            const char c = chunk.at(i);
            if (c == '\0') {
                keep = i;
                complete = true;
                break;
            }
            if (c != ',') {
                ++fieldLength;
                continue;
            }
            if (fieldLength > 0 && ++closedFields == customSamples) {
                keep = i + 1;
                complete = true;
                break;
            }
            fieldLength = 0;
        }
        bytes.append(chunk.constData(), keep);
    }
    WaveformText result;
    result.cutAtLimit = !complete && bytes.size() >= limit && !device.atEnd();
    result.text = QString::fromUtf8(bytes);
    return result;
}

} // namespace Generator
