// SPDX-License-Identifier: GPL-3.0-only
// The generator's arithmetic and its custom waveform text.
#include "core/instruments/generatorlaws.h"

#include "core/device/configprotocol.h"


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

SweepCodes sweepCodes(Swept quantity)
{
    SweepCodes codes;
    double lowest = 0;
    double highest = 0;
    if (quantity == Swept::Amplitude) {
        highest = amplitudeCodeMaximum / amplitudeDivisor;
    } else if (quantity == Swept::Offset) {
        highest = offsetCodeMaximum / offsetDivisor;
        lowest = -highest;
    } else {
        return codes;
    }
    // The read-out rises with the code: trim both ends to the Levels range.
    while (codes.minimum < codes.maximum && sweepShown(quantity, codes.minimum).value < lowest)
        ++codes.minimum;
    while (codes.maximum > codes.minimum && sweepShown(quantity, codes.maximum).value > highest)
        --codes.maximum;
    return codes;
}

double sweepSeconds(int speed)
{
    return (128 - std::max(1, std::min(127, speed))) * 0.05;
}

QString sweepDurationText(int speed)
{
    const double seconds = sweepSeconds(speed);
    if (seconds < 1.0)
        return QStringLiteral("%1 ms").arg(std::lround(seconds * 1000.0));
    return QStringLiteral("%1 s").arg(seconds, 0, 'f', 2);
}

namespace {
// A value of a waveform file as its code, or -1 when it is none.
int waveformValue(const QByteArray &field, bool volts)
{
    if (volts) {
        bool ok = false;
        const double v = field.toDouble(&ok);
        if (!ok || !std::isfinite(v) || std::fabs(v) > customVoltsMaximum)
            return -1;
        return int(std::lround((v / customVoltsMaximum + 1.0) * customCodeMaximum / 2.0));
    }
    for (char c : field)
        if (c < '0' || c > '9')
            return -1;
    bool ok = false;
    const int code = field.size() <= 5 ? field.toInt(&ok) : -1;
    return ok && code <= customCodeMaximum ? code : -1;
}

bool isText(const QByteArray &line)
{
    for (char c : line) {
        const auto u = uchar(c);
        if ((u < 0x20 && c != '\t' && c != '\r') || u == 0x7F)
            return false;
    }
    return true;
}
} // namespace

WaveformRead parseWaveform(const QByteArray &bytes, unsigned char *buffer)
{
    WaveformRead read;
    auto refuse = [&read](int line, const QString &error) {
        read.count = 0;
        read.line = line;
        read.error = error;
        return read;
    };
    if (bytes.size() > waveformFileLimit)
        return refuse(0, QStringLiteral("larger than %1 bytes").arg(waveformFileLimit));
    uint16_t codes[customSamples];
    const QList<QByteArray> lines = bytes.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        if (!isText(lines[n]))
            return refuse(n + 1, QStringLiteral("holds bytes that are no text"));
        const QByteArray line = lines[n].trimmed();
        if (line.startsWith('#')) {
            if (read.count == 0 && line.mid(1).trimmed().toLower() == "volts")
                read.volts = true;
            continue;
        }
        for (const QByteArray &raw : line.split(',')) {
            const QByteArray field = raw.trimmed();
            if (field.isEmpty())
                continue;
            const int code = waveformValue(field, read.volts);
            if (code < 0) {
                const QString shown = QString::fromUtf8(field.left(24));
                return refuse(n + 1, read.volts ? QStringLiteral("\"%1\" is not a level of -2.00 to 2.00 V").arg(shown)
                                                : QStringLiteral("\"%1\" is not a code of 0 to 4095").arg(shown));
            }
            if (read.count == customSamples)
                return refuse(n + 1, QStringLiteral("more than %1 values").arg(customSamples));
            codes[read.count++] = uint16_t(code);
        }
    }
    if (read.count == 0)
        return refuse(0, QStringLiteral("holds no values"));
    for (int k = 0; k < read.count; ++k) {
        buffer[2 * k] = uchar(codes[k] & 0xFF);
        buffer[2 * k + 1] = uchar(codes[k] >> 8);
    }
    return read;
}

} // namespace Generator
