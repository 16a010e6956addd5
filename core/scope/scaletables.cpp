// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/scaletables.h"

#include <QChar>

#include <algorithm>
#include <iterator>
#include <cmath>

namespace ScaleTables {

namespace {

const QChar microSign(0x00B5);

int clampSamplingIndex(int index)
{
    return std::clamp(index, 0, maxSamplingIndex);
}

// Splits "<number><unit>/div" at the first character in `unitLetters`.
ScaleValue splitScaleText(const QString &text, const QString &unitLetters)
{
    ScaleValue result;
    int cut = -1;
    for (int i = 0; i < text.size(); ++i) {
        if (unitLetters.contains(text.at(i))) {
            cut = i;
            break;
        }
    }
    if (cut < 0)
        return result;
    bool ok = false;
    const double number = text.left(cut).trimmed().toDouble(&ok);
    result.number = ok ? number : 0.0;
    QString unit = text.mid(cut);
    unit.remove(QStringLiteral("/div"));
    unit.replace(QLatin1Char('u'), microSign);
    result.unit = unit;
    return result;
}

QString signPrefix(double x)
{
    return x >= 0 ? QStringLiteral(" ") : QString();
}

} // namespace

QStringList timeBaseTexts()
{
    QStringList list;
    const char *const micro[] = {"8", "16", "32", "64", "128", "256", "500"};
    for (const char *number : micro)
        list << QString::fromLatin1(number) + microSign + QStringLiteral("s/div");
    list << QStringLiteral("1ms/div") << QStringLiteral("2ms/div") << QStringLiteral("5ms/div")
         << QStringLiteral("10ms/div") << QStringLiteral("20ms/div") << QStringLiteral("50ms/div")
         << QStringLiteral("0.1s/div") << QStringLiteral("0.2s/div") << QStringLiteral("0.5s/div")
         << QStringLiteral("1s/div") << QStringLiteral("2s/div") << QStringLiteral("5s/div")
         << QStringLiteral("10s/div") << QStringLiteral("20s/div") << QStringLiteral("50s/div");
    return list;
}

QStringList voltsPerDivTexts()
{
    return {QStringLiteral("8V/div"),     QStringLiteral("4V/div"),   QStringLiteral("2V/div"),
            QStringLiteral("0.8V/div"),   QStringLiteral("0.4V/div"), QStringLiteral("0.2V/div"),
            QStringLiteral("0.1V/div"),   QStringLiteral("50mV/div"), QStringLiteral("25mV/div"),
            QStringLiteral("12.5mV/div"), QStringLiteral("----")};
}

QStringList inputRangeTexts()
{
    const QString pm(QChar(0x00B1));
    const char *const ranges[] = {"24V",  "12V",   "6V",    "2.4V", "1.2V",
                                  "0.6V", "300mV", "150mV", "75mV", "37mV"};
    QStringList list;
    for (const char *range : ranges)
        list << QStringLiteral("Gain (") + pm + QString::fromLatin1(range) + QStringLiteral(")");
    return list;
}

QString timeBaseText(int samplingIndex)
{
    static const QStringList list = timeBaseTexts();
    return list.at(clampSamplingIndex(samplingIndex));
}

QString voltsPerDivText(int gain)
{
    static const QStringList list = voltsPerDivTexts();
    return gain >= 0 && gain < list.size() ? list.at(gain) : QString();
}

QString inputRangeText(int gain)
{
    static const QStringList list = inputRangeTexts();
    return gain >= 0 && gain < list.size() ? list.at(gain) : QString();
}

ScaleValue parseVoltText(const QString &text)
{
    return splitScaleText(text, QStringLiteral("mV"));
}

ScaleValue parseTimeText(const QString &text)
{
    return splitScaleText(text, QStringLiteral("smu") + microSign);
}

int fourDigitDecimals(double x)
{
    const double a = std::fabs(x);
    if (a >= 1000)
        return 0;
    if (a >= 100)
        return 1;
    if (a >= 10)
        return 2;
    return 3;
}

QString get4Digits(double x)
{
    return signPrefix(x) + QString::number(x, 'f', fourDigitDecimals(x));
}

QString siText(double value, const QString &unit, bool fourDigits)
{
    if (!std::isfinite(value))
        return QStringLiteral("--");
    static const struct {
        double factor;
        QString prefix;
    } steps[] = {{1e9, QStringLiteral("G")}, {1e6, QStringLiteral("M")}, {1e3, QStringLiteral("k")},
                 {1.0, QString()},           {1e-3, QStringLiteral("m")}, {1e-6, QString(microSign)},
                 {1e-9, QStringLiteral("n")}};
    const bool seconds = unit == QLatin1String("s");
    const double magnitude = std::fabs(value);
    size_t k = seconds ? 3 : 0;
    // The step whose number, rounded as it is shown, stays under 1000.
    while (k + 1 < std::size(steps) && magnitude > 0.0 && magnitude < steps[k].factor * (1.0 - 0.5e-4))
        ++k;
    if (magnitude == 0.0)
        k = 3;
    const double scaled = value / steps[k].factor;
    QString number;
    if (fourDigits) {
        number = get4Digits(scaled);
    } else {
        number = QString::number(scaled, 'f', fourDigitDecimals(scaled));
        if (number.contains(QLatin1Char('.'))) {
            while (number.endsWith(QLatin1Char('0')))
                number.chop(1);
            if (number.endsWith(QLatin1Char('.')))
                number.chop(1);
        }
    }
    return number + QLatin1Char(' ') + steps[k].prefix + unit;
}

QString timeBaseLabel(int samplingIndex)
{
    return siText(secondsPerDivision(samplingIndex), QStringLiteral("s")) + QStringLiteral("/div");
}

QString get3Digits(double x)
{
    const double a = std::fabs(x);
    const int decimals = a >= 100 ? 0 : (a >= 10 ? 1 : 2);
    return signPrefix(x) + QString::number(x, 'f', decimals);
}

QString getDigitsPrecision(double x, int decimals)
{
    return signPrefix(x) + QString::number(x, 'f', std::max(decimals, 0));
}

QString pixelValueToVolt(double pixels, const QString &voltsPerDiv, int digits)
{
    const ScaleValue scale = parseVoltText(voltsPerDiv);
    const double value = scale.number * pixels * voltsPerPlotUnitOfDivision;
    const QString number = digits > 3 ? get4Digits(value) : get3Digits(value);
    return number + QStringLiteral(" ") + scale.unit;
}

double rawValueToVolt(const QString &voltsPerDiv, double pixels)
{
    const ScaleValue scale = parseVoltText(voltsPerDiv);
    double volts = scale.number * pixels * voltsPerPlotUnitOfDivision;
    if (scale.unit == QLatin1String("mV"))
        volts /= 1000.0;
    return volts;
}

QString int8ToVolt(uint8_t gain, int8_t sample)
{
    if (gain >= gainCount)
        return QStringLiteral("--");
    return pixelValueToVolt(sample * plotUnitsPerCount, voltsPerDivText(gain), 3);
}

QString int8ToVolt(uint8_t gain, int8_t a, int8_t b)
{
    if (gain >= gainCount)
        return QStringLiteral("--");
    return pixelValueToVolt((int(a) - int(b)) * plotUnitsPerCount, voltsPerDivText(gain), 3);
}

QString int16ToVolt(uint8_t gain, int16_t value, int digits)
{
    if (gain >= gainCount)
        return QStringLiteral("--");
    return pixelValueToVolt(value * plotUnitsPerMeterUnit, voltsPerDivText(gain), digits);
}

double int8ToVolt_f(uint8_t gain, int8_t sample)
{
    return rawValueToVolt(voltsPerDivText(gain), sample * plotUnitsPerCount);
}

double int8ToVolt_f(uint8_t gain, int8_t a, int8_t b)
{
    return rawValueToVolt(voltsPerDivText(gain), (int(a) - int(b)) * plotUnitsPerCount);
}

double int16ToVolt_f(uint8_t gain, int16_t value)
{
    return rawValueToVolt(voltsPerDivText(gain), value * plotUnitsPerMeterUnit);
}

double vCursorDeltaTime(double a, double b, QString &unit, double divisor, int samplingIndex)
{
    const ScaleValue base = parseTimeText(timeBaseText(samplingIndex));
    unit = base.unit;
    if (divisor == 0.0 || !std::isfinite(a) || !std::isfinite(b))
        return 0.0;
    // Two x units per sample: 128 samples span 256 units.
    const double steps = std::trunc(b * 128.0 / 256.0) - std::trunc(a * 128.0 / 256.0);
    double t = steps * base.number * 8.0 * 0.0078125 / divisor;
    const double scale = std::pow(10.0, fourDigitDecimals(t));
    t = std::round(t * scale) / scale;
    return std::fabs(t);
}

double deltaToFrequency(double t, int samplingIndex)
{
    if (t == 0.0 || !std::isfinite(t))
        return 0.0;
    const int index = clampSamplingIndex(samplingIndex);
    if (index < 7)
        return 1000000.0 / t;
    if (index <= 12)
        return 1000.0 / t;
    return 1.0 / t;
}

double vCursorFrequency(double t, QString &unit, int samplingIndex)
{
    const int index = clampSamplingIndex(samplingIndex);
    if (index <= 6)
        unit = QStringLiteral("kHz");
    else if (index <= 12)
        unit = QStringLiteral("Hz");
    else
        unit = QStringLiteral("mHz");
    if (t == 0.0 || !std::isfinite(t))
        return 0.0;
    return 1000.0 / t;
}

double samplex100ToFrequency_f(int periodX100, uint8_t samplingIndex)
{
    QString unit;
    return deltaToFrequency(vCursorDeltaTime(0, periodX100, unit, 50, samplingIndex), samplingIndex);
}

QString samplex100ToFrequency(int periodX100, uint8_t samplingIndex)
{
    if (periodX100 == 0)
        return QStringLiteral("--");
    QString timeUnit;
    const double t = vCursorDeltaTime(0, periodX100, timeUnit, 50, samplingIndex);
    // A period shorter than one sample rounds to no time at all.
    if (t == 0.0)
        return QStringLiteral("--");
    QString unit;
    const double frequency = vCursorFrequency(t, unit, samplingIndex);
    return get4Digits(frequency) + QStringLiteral(" ") + unit;
}

int mapRange(int x, int a, int b, int c, int d)
{
    if (a == b)
        return c;
    const float value = float(c) - float(c - d) * float(x - b) / float(a - b);
    return int(value);
}

double mapRangeF(double x, double a, double b, double c, double d)
{
    if (a == b)
        return c;
    return c - (c - d) * (x - b) / (a - b);
}

int mathRoundTo(double x, int step)
{
    if (step == 0)
        return int(x);
    return int(step * std::round(x / step));
}

QString samplingRateLabelText(int samplingIndex, int bufferIndex)
{
    // A buffer block is 256 samples per channel, 16 to a division.
    const double range = (bufferIndex + 1) * 256 / 16.0 * secondsPerDivision(samplingIndex);
    return QStringLiteral("Time = ") + timeBaseLabel(samplingIndex) + QStringLiteral(", time range = ") +
           siText(range, QStringLiteral("s"));
}

double secondsPerDivision(int samplingIndex)
{
    const ScaleValue base = parseTimeText(timeBaseText(samplingIndex));
    const double scale = base.unit == QStringLiteral("s") ? 1.0 : (base.unit == QStringLiteral("ms") ? 1e-3 : 1e-6);
    return base.number * scale;
}

QString spectrumDivisionText(int samplingIndex, bool iq)
{
    return siText((iq ? 2.0 : 1.0) / secondsPerDivision(samplingIndex), QStringLiteral("Hz")) + QStringLiteral("/div");
}

QString plotTimeLegend(int samplingIndex, bool spectrumShown, bool iq)
{
    QString text = QStringLiteral("Time = ") + timeBaseLabel(samplingIndex);
    if (spectrumShown)
        text += QStringLiteral("\nFFT = ") + spectrumDivisionText(samplingIndex, iq) +
                (iq ? QStringLiteral(", 0 Hz at the centre") : QString());
    return text;
}

double frameSeconds(int samplingIndex, int samplesPerChannel)
{
    // Every division holds 16 samples.
    return samplesPerChannel / 16.0 * secondsPerDivision(samplingIndex);
}

QString frameProgressText(double elapsedSeconds, double frameSeconds)
{
    if (!(frameSeconds >= 1.0) || !std::isfinite(frameSeconds) || !std::isfinite(elapsedSeconds))
        return QString();
    const double elapsed = std::clamp(elapsedSeconds, 0.0, frameSeconds);
    const int percent = int(100.0 * elapsed / frameSeconds);
    const double left = std::ceil(frameSeconds - elapsed);
    QString rest;
    if (left < 120.0)
        rest = QStringLiteral("%1 s").arg(left);
    else if (left < 7200.0)
        rest = QStringLiteral("%1 min").arg(std::ceil(left / 60.0));
    else
        rest = QStringLiteral("%1 h").arg(std::ceil(left / 3600.0));
    return QStringLiteral("Frame %1 %, %2 to go").arg(percent).arg(rest);
}

double voltsPerDivision(int gain)
{
    return gain >= 0 && gain < gainCount ? rawValueToVolt(voltsPerDivText(gain), 64.0) : 0.0;
}

MathOp mathOpOf(uint8_t controls)
{
    constexpr uint8_t mathBit = 0x10, subtractBit = 0x20, multiplyBit = 0x40;
    if (!(controls & mathBit))
        return MathOp::None;
    if (controls & subtractBit)
        return MathOp::Subtract;
    return (controls & multiplyBit) ? MathOp::Multiply : MathOp::None;
}

double mathPerDivision(MathOp op, int gainA, int gainB)
{
    // A channel's codes span ±128 of 40.96 a division: 3.125 divisions either side.
    constexpr double halfSpan = 128.0 / 40.96;
    const double fullA = voltsPerDivision(gainA) * halfSpan;
    const double fullB = voltsPerDivision(gainB) * halfSpan;
    if (op == MathOp::None || fullA <= 0.0 || fullB <= 0.0)
        return 0.0;
    const double needed = (op == MathOp::Subtract ? fullA + fullB : fullA * fullB) / halfSpan;
    // 1, 2, 5 × 10^k, from a millivolt up.
    for (double decade = 1e-3;; decade *= 10.0) {
        for (double step : {1.0, 2.0, 5.0}) {
            if (step * decade >= needed * (1.0 - 1e-9))
                return step * decade;
        }
    }
}

QString mathPerDivText(MathOp op, double perDivision)
{
    if (op == MathOp::Multiply)
        return QString::number(perDivision, 'g', 3) + QStringLiteral("V²/div");
    if (perDivision < 1.0)
        return QString::number(perDivision * 1000.0, 'g', 3) + QStringLiteral("mV/div");
    return QString::number(perDivision, 'g', 3) + QStringLiteral("V/div");
}

QString channelLabelText(int channel, uint8_t ownControls, uint8_t otherControls, int gain, int otherGain,
                         bool clipped)
{
    const QString own = channel == 2 ? QStringLiteral("CH2") : QStringLiteral("CH1");
    const QString other = channel == 2 ? QStringLiteral("CH1") : QStringLiteral("CH2");
    constexpr uint8_t invertBit = 0x04;
    const bool otherInverted = otherControls & invertBit;

    QString text = ((ownControls & invertBit) ? QStringLiteral("-") : QStringLiteral(" ")) + own;
    const MathOp op = mathOpOf(ownControls);
    const double perDivision = mathPerDivision(op, gain, otherGain);
    if (op == MathOp::None || perDivision <= 0.0)
        return text + QStringLiteral(" = ") + voltsPerDivText(gain);
    // The other channel enters as it is drawn, inverted or not.
    if (op == MathOp::Subtract)
        text += (otherInverted ? QStringLiteral(" + ") : QStringLiteral(" - ")) + other;
    else
        text += (otherInverted ? QStringLiteral(" * -") : QStringLiteral(" * ")) + other;
    text += QStringLiteral(" = ") + mathPerDivText(op, perDivision);
    if (clipped)
        text += QStringLiteral(", input clipped");
    return text;
}

QString channelBoxTitle(int channel, int gain, bool acCoupling)
{
    return QStringLiteral("Channel ") + QString::number(channel) + QStringLiteral("  ") +
           inputRangeText(gain) + (acCoupling ? QStringLiteral(", AC ") : QStringLiteral(", AC/DC "));
}

QuickRangeButtons channel1DCButtonCheck(int gain, bool acCoupling)
{
    QuickRangeButtons buttons;
    if (acCoupling)
        return buttons;
    buttons.adc24V = gain == quickRangeGain24V;
    buttons.adc2V4 = gain == quickRangeGain2V4;
    return buttons;
}

SamplingControlStates samplingControlStates(int samplingIndex, bool rollChecked)
{
    SamplingControlStates states;
    if (samplingIndex < 11) {
        states.rollEnabled = false;
        states.elasticEnabled = true;
        states.slowSampling = false;
    } else {
        states.rollEnabled = true;
        states.elasticEnabled = !rollChecked;
        states.slowSampling = true;
    }
    return states;
}

ScopeSize scopeSizeForBlocks(int blocks)
{
    ScopeSize size;
    size.samplesPerChannel = blocks * 256;
    size.xExtent = blocks * 512;
    size.cursorMinimum = 8;
    size.cursorMaximum = size.xExtent - 8;
    return size;
}

SliderRange positionSliderRange(int height)
{
    return {128 - height / 2, height / 2 - 128};
}

SliderRange logicPositionSliderRange(int height)
{
    return {8 - height / 2, height / 2 - 248};
}

SliderRange captureSliderRange(int zeroLevel, int height)
{
    return {128 - zeroLevel, height - 128 - zeroLevel};
}

SliderRange logicCaptureSliderRange(int zeroLevel, int height)
{
    return {8 - zeroLevel, height - 248 - zeroLevel};
}

} // namespace ScaleTables
