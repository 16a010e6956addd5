#include "scope/scaletables.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

using namespace ScaleTables;

namespace {
const QString micro(QChar(0x00B5));
const QString plusMinus(QChar(0x00B1));
} // namespace

class TestScaleTables : public QObject
{
    Q_OBJECT
private slots:
    void listsHaveTheSliderLengths();
    void scaleTextsSplitIntoNumberAndUnit();
    void digitsFollowMagnitudeAndSign();
    void voltsFromCodesAndMeterUnits();
    void gainWithoutScaleShowsDashes();
    void frequencyUnitsFollowTheSamplingIndex();
    void periodsBecomeFrequencies();
    void periodsMatchTheSamplingRate();
    void deltaTimeIsRoundedAndNeverNegative();
    void samplingRateLabel();
    void rangeMappingAndRounding();
    void channelLabelsShowMathAndInvert();
    void boxTitleAndQuickButtons();
    void samplingSliderStates();
    void sliderRangesFromPlotHeight();
};

void TestScaleTables::listsHaveTheSliderLengths()
{
    const QStringList times = timeBaseTexts();
    QCOMPARE(times.size(), 22);
    QCOMPARE(times.at(0), QStringLiteral("8") + micro + QStringLiteral("s/div"));
    QCOMPARE(times.at(6), QStringLiteral("500") + micro + QStringLiteral("s/div"));
    QCOMPARE(times.at(7), QStringLiteral("1ms/div"));
    QCOMPARE(times.at(13), QStringLiteral("0.1s/div"));
    QCOMPARE(times.at(21), QStringLiteral("50s/div"));

    const QStringList volts = voltsPerDivTexts();
    QCOMPARE(volts.size(), 11);
    QCOMPARE(volts.at(0), QStringLiteral("8V/div"));
    QCOMPARE(volts.at(9), QStringLiteral("12.5mV/div"));
    QCOMPARE(volts.at(10), QStringLiteral("----"));

    const QStringList ranges = inputRangeTexts();
    QCOMPARE(ranges.size(), 10);
    QCOMPARE(ranges.at(0), QStringLiteral("Gain (") + plusMinus + QStringLiteral("24V)"));
    QCOMPARE(ranges.at(9), QStringLiteral("Gain (") + plusMinus + QStringLiteral("37mV)"));

    // Out-of-range indices: time bases clamp, gains give nothing.
    QCOMPARE(timeBaseText(-3), times.at(0));
    QCOMPARE(timeBaseText(99), times.at(21));
    QVERIFY(voltsPerDivText(11).isEmpty());
    QVERIFY(inputRangeText(10).isEmpty());
    QVERIFY(inputRangeText(-1).isEmpty());
}

void TestScaleTables::scaleTextsSplitIntoNumberAndUnit()
{
    ScaleValue v = parseVoltText(QStringLiteral("12.5mV/div"));
    QCOMPARE(v.number, 12.5);
    QCOMPARE(v.unit, QStringLiteral("mV"));
    v = parseVoltText(QStringLiteral("0.8V/div"));
    QCOMPARE(v.number, 0.8);
    QCOMPARE(v.unit, QStringLiteral("V"));
    v = parseVoltText(QStringLiteral("----"));
    QCOMPARE(v.number, 0.0);
    QVERIFY(v.unit.isEmpty());

    v = parseTimeText(timeBaseText(6));
    QCOMPARE(v.number, 500.0);
    QCOMPARE(v.unit, micro + QStringLiteral("s"));
    v = parseTimeText(QStringLiteral("64us/div"));
    QCOMPARE(v.number, 64.0);
    QCOMPARE(v.unit, micro + QStringLiteral("s"));
    v = parseTimeText(QStringLiteral("20ms/div"));
    QCOMPARE(v.number, 20.0);
    QCOMPARE(v.unit, QStringLiteral("ms"));
    v = parseTimeText(QStringLiteral("0.5s/div"));
    QCOMPARE(v.number, 0.5);
    QCOMPARE(v.unit, QStringLiteral("s"));
    QCOMPARE(parseTimeText(QStringLiteral("abc")).number, 0.0);
}

void TestScaleTables::digitsFollowMagnitudeAndSign()
{
    QCOMPARE(get4Digits(999.96), QStringLiteral(" 1000.0"));
    QCOMPARE(get4Digits(-5), QStringLiteral("-5.000"));
    QCOMPARE(get4Digits(1234.4), QStringLiteral(" 1234"));
    QCOMPARE(get4Digits(12.345), QStringLiteral(" 12.35"));
    QCOMPARE(get4Digits(-100), QStringLiteral("-100.0"));
    QCOMPARE(get4Digits(0), QStringLiteral(" 0.000"));

    QCOMPARE(get3Digits(9.999), QStringLiteral(" 10.00"));
    QCOMPARE(get3Digits(10), QStringLiteral(" 10.0"));
    QCOMPARE(get3Digits(-150.4), QStringLiteral("-150"));
    QCOMPARE(get3Digits(0.5), QStringLiteral(" 0.50"));

    QCOMPARE(getDigitsPrecision(-1.23456, 2), QStringLiteral("-1.23"));
    QCOMPARE(getDigitsPrecision(3.5, 0), QStringLiteral(" 4"));
    QCOMPARE(getDigitsPrecision(2, -1), QStringLiteral(" 2"));
}

void TestScaleTables::voltsFromCodesAndMeterUnits()
{
    // 12.5 mV/div, 64 codes = 100 plot units = 1.5625 divisions.
    QCOMPARE(int8ToVolt(9, 64), QStringLiteral(" 19.5 mV"));
    QCOMPARE(pixelValueToVolt(100, voltsPerDivText(9), 4), QStringLiteral(" 19.53 mV"));
    QCOMPARE(int16ToVolt(9, 64 * 128, 4), QStringLiteral(" 19.53 mV"));
    QCOMPARE(int8ToVolt(0, -64), QStringLiteral("-12.5 V"));
    QCOMPARE(int8ToVolt_f(9, 64), 0.01953125);
    QCOMPARE(int16ToVolt_f(9, 64 * 128), 0.01953125);
    QCOMPARE(rawValueToVolt(QStringLiteral("2V/div"), 64), 2.0);

    // The difference of two extremes must not wrap in eight bits.
    QCOMPARE(int8ToVolt_f(0, 127, -128), 8.0 * 255 * 1.5625 / 64);
    QCOMPARE(int8ToVolt(0, 127, -128), QStringLiteral(" 49.8 V"));
    QCOMPARE(int8ToVolt_f(3, -128, 127), -0.8 * 255 * 1.5625 / 64);

    // One full division of every gain reads its own scale.
    for (int gain = 0; gain < 10; ++gain) {
        const ScaleValue scale = parseVoltText(voltsPerDivText(gain));
        const double expected = scale.unit == QLatin1String("mV") ? scale.number / 1000 : scale.number;
        QVERIFY2(qFuzzyCompare(rawValueToVolt(voltsPerDivText(gain), 64), expected),
                 qPrintable(voltsPerDivText(gain)));
    }
}

void TestScaleTables::gainWithoutScaleShowsDashes()
{
    QCOMPARE(int8ToVolt(10, 50), QStringLiteral("--"));
    QCOMPARE(int8ToVolt(200, 1, 2), QStringLiteral("--"));
    QCOMPARE(int16ToVolt(10, 500, 4), QStringLiteral("--"));
    QCOMPARE(int8ToVolt_f(10, 50), 0.0);
    QCOMPARE(int8ToVolt_f(255, 50, -50), 0.0);
    QCOMPARE(int16ToVolt_f(10, 500), 0.0);
}

void TestScaleTables::frequencyUnitsFollowTheSamplingIndex()
{
    QString unit;
    QCOMPARE(vCursorFrequency(2, unit, 6), 500.0);
    QCOMPARE(unit, QStringLiteral("kHz"));
    vCursorFrequency(2, unit, 7);
    QCOMPARE(unit, QStringLiteral("Hz"));
    vCursorFrequency(2, unit, 12);
    QCOMPARE(unit, QStringLiteral("Hz"));
    vCursorFrequency(2, unit, 13);
    QCOMPARE(unit, QStringLiteral("mHz"));
    QCOMPARE(vCursorFrequency(0, unit, 13), 0.0);

    QCOMPARE(deltaToFrequency(4, 6), 250000.0);
    QCOMPARE(deltaToFrequency(4, 7), 250.0);
    QCOMPARE(deltaToFrequency(4, 13), 0.25);
    QCOMPARE(deltaToFrequency(0, 7), 0.0);
}

void TestScaleTables::periodsBecomeFrequencies()
{
    // 16 samples = one division.
    QCOMPARE(samplex100ToFrequency_f(1600, 7), 1000.0);   // 1 ms
    QCOMPARE(samplex100ToFrequency_f(1600, 0), 125000.0); // 8 µs
    QCOMPARE(samplex100ToFrequency_f(1600, 21), 0.02);    // 50 s
    QCOMPARE(samplex100ToFrequency(1600, 7), QStringLiteral(" 1000 Hz"));
    QCOMPARE(samplex100ToFrequency(1600, 0), QStringLiteral(" 125.0 kHz"));
    QCOMPARE(samplex100ToFrequency(1600, 21), QStringLiteral(" 20.00 mHz"));
    QCOMPARE(samplex100ToFrequency(0, 7), QStringLiteral("--"));
    QCOMPARE(samplex100ToFrequency_f(0, 7), 0.0);
    // Shorter than one sample: no time, no frequency, and no division by zero.
    QCOMPARE(samplex100ToFrequency(1, 7), QStringLiteral("--"));
    QCOMPARE(samplex100ToFrequency_f(1, 7), 0.0);
}

void TestScaleTables::periodsMatchTheSamplingRate()
{
    // Independent of the time base texts: the rate is 16 samples per division.
    const double secondsPerDiv[22] = {8e-6, 16e-6, 32e-6, 64e-6, 128e-6, 256e-6, 500e-6, 1e-3,
                                      2e-3, 5e-3,  10e-3, 20e-3, 50e-3,  0.1,    0.2,    0.5,
                                      1,    2,     5,     10,    20,     50};
    QRandomGenerator rng(17);
    for (int round = 0; round < 500; ++round) {
        const int index = rng.bounded(22);
        const int periodX100 = 2000 + rng.bounded(300000);
        const double expected = 16.0 / secondsPerDiv[index] / (periodX100 / 100.0);
        const double got = samplex100ToFrequency_f(periodX100, uint8_t(index));
        QVERIFY2(std::fabs(got - expected) <= expected * 0.005,
                 qPrintable(QStringLiteral("index %1 period %2: %3 vs %4")
                                .arg(index)
                                .arg(periodX100)
                                .arg(got)
                                .arg(expected)));
    }
}

void TestScaleTables::deltaTimeIsRoundedAndNeverNegative()
{
    QString unit;
    // One sample at 1 ms/div is 1/16 ms, divided by 3, rounded to three decimals.
    QCOMPARE(vCursorDeltaTime(0, 2, unit, 3, 7), 0.021);
    QCOMPARE(unit, QStringLiteral("ms"));
    QCOMPARE(vCursorDeltaTime(200, 0, unit, 1, 7), 6.25);
    QCOMPARE(vCursorDeltaTime(0, 200, unit, 1, 7), 6.25);
    // Odd positions fall to the sample below.
    QCOMPARE(vCursorDeltaTime(1, 3, unit, 1, 7), 0.063);
    QCOMPARE(vCursorDeltaTime(0, 200, unit, 0, 7), 0.0);
    // Indices beyond the table use the slowest time base.
    QCOMPARE(vCursorDeltaTime(0, 32, unit, 1, 40), 50.0);
    QCOMPARE(unit, QStringLiteral("s"));
    vCursorDeltaTime(0, 32, unit, 1, 0);
    QCOMPARE(unit, micro + QStringLiteral("s"));
}

void TestScaleTables::samplingRateLabel()
{
    QCOMPARE(samplingRateLabelText(8, 2), QStringLiteral("Time = 2ms/div, time range =  96.00ms"));
    QCOMPARE(samplingRateLabelText(0, 0), QStringLiteral("Time = 8") + micro +
                                              QStringLiteral("s/div, time range =  128.0") + micro +
                                              QStringLiteral("s"));
    QCOMPARE(samplingRateLabelText(21, 14), QStringLiteral("Time = 50s/div, time range =  12000s"));
}

void TestScaleTables::rangeMappingAndRounding()
{
    QCOMPARE(mapRange(0, 10, 0, 100, 200), 100);
    QCOMPARE(mapRange(10, 10, 0, 100, 200), 200);
    QCOMPARE(mapRange(5, 10, 0, 100, 200), 150);
    QCOMPARE(mapRange(1, 3, 0, 0, 10), 3);   // 3.33 truncated
    QCOMPARE(mapRange(1, 3, 0, 0, -10), -3); // towards zero
    QCOMPARE(mapRange(7, 4, 4, 11, 99), 11); // empty source range
    QCOMPARE(mapRangeF(1, 3, 0, 0, 10), 10.0 / 3);
    QCOMPARE(mapRangeF(2.5, 5, 0, -1, 1), 0.0);
    QCOMPARE(mapRangeF(2, 1, 1, 7, 8), 7.0);

    QCOMPARE(mathRoundTo(37, 16), 32);
    QCOMPARE(mathRoundTo(40, 16), 48);
    QCOMPARE(mathRoundTo(-40, 16), -48);
    QCOMPARE(mathRoundTo(-7.9, 1), -8);
    QCOMPARE(mathRoundTo(37.9, 0), 37);
}

void TestScaleTables::channelLabelsShowMathAndInvert()
{
    const uint8_t invert = 0x04, math = 0x10, subtract = 0x20, multiply = 0x40;
    QCOMPARE(channelLabelText(1, 0x01, 0, 1), QStringLiteral(" CH1 = 4V/div"));
    QCOMPARE(channelLabelText(1, invert, 0, 9), QStringLiteral("-CH1 = 12.5mV/div"));
    QCOMPARE(channelLabelText(1, math | subtract, 0, 0), QStringLiteral(" CH1 - CH2 = 8V/div"));
    QCOMPARE(channelLabelText(1, math | subtract, invert, 0), QStringLiteral(" CH1 + CH2 = 8V/div"));
    QCOMPARE(channelLabelText(1, invert | math | multiply, 0, 3), QStringLiteral("-CH1 * CH2 = 0.8V/div"));
    QCOMPARE(channelLabelText(1, math | multiply, invert, 3), QStringLiteral(" CH1 * -CH2 = 0.8V/div"));
    // Without the math bit the operation bits say nothing.
    QCOMPARE(channelLabelText(1, subtract | multiply, invert, 2), QStringLiteral(" CH1 = 2V/div"));

    // CH2 subtracting, CH1 echoed inverted.
    QCOMPARE(channelLabelText(2, math | subtract, invert, 0), QStringLiteral(" CH2 + CH1 = 8V/div"));
    QCOMPARE(channelLabelText(2, invert | math | multiply, invert, 7),
             QStringLiteral("-CH2 * -CH1 = 50mV/div"));
    QCOMPARE(channelLabelText(2, 0, 0, 10), QStringLiteral(" CH2 = ----"));
}

void TestScaleTables::boxTitleAndQuickButtons()
{
    QCOMPARE(channelBoxTitle(1, 0, true),
             QStringLiteral("Channel 1  Gain (") + plusMinus + QStringLiteral("24V), AC "));
    QCOMPARE(channelBoxTitle(2, 6, false),
             QStringLiteral("Channel 2  Gain (") + plusMinus + QStringLiteral("300mV), AC/DC "));

    for (int gain = 0; gain < 10; ++gain) {
        const QuickRangeButtons ac = channel1DCButtonCheck(gain, true);
        QVERIFY(!ac.adc24V);
        QVERIFY(!ac.adc2V4);
        const QuickRangeButtons dc = channel1DCButtonCheck(gain, false);
        QCOMPARE(dc.adc24V, gain == 0);
        QCOMPARE(dc.adc2V4, gain == 3);
    }
}

void TestScaleTables::samplingSliderStates()
{
    SamplingControlStates s = samplingControlStates(10, true);
    QVERIFY(!s.rollEnabled);
    QVERIFY(s.elasticEnabled);
    QVERIFY(!s.slowSampling);
    s = samplingControlStates(11, false);
    QVERIFY(s.rollEnabled);
    QVERIFY(s.elasticEnabled);
    QVERIFY(s.slowSampling);
    s = samplingControlStates(21, true);
    QVERIFY(s.rollEnabled);
    QVERIFY(!s.elasticEnabled);
}

void TestScaleTables::sliderRangesFromPlotHeight()
{
    SliderRange r = positionSliderRange();
    QCOMPARE(r.minimum, -512);
    QCOMPARE(r.maximum, 512);
    r = logicPositionSliderRange();
    QCOMPARE(r.minimum, -632);
    QCOMPARE(r.maximum, 392);
    r = positionSliderRange(640);
    QCOMPARE(r.minimum, -192);
    QCOMPARE(r.maximum, 192);

    // After a capture with CH1 at −120 the reference still fits the plot.
    r = captureSliderRange(640 - 120);
    QCOMPARE(r.minimum, -392);
    QCOMPARE(r.maximum, 632);
    r = logicCaptureSliderRange(648);
    QCOMPARE(r.minimum, -640);
    QCOMPARE(r.maximum, 384);

    const ScopeSize size = scopeSizeForBlocks(3);
    QCOMPARE(size.samplesPerChannel, 768);
    QCOMPARE(size.xExtent, 1536);
    QCOMPARE(size.cursorMinimum, 8);
    QCOMPARE(size.cursorMaximum, 1528);
}

QTEST_GUILESS_MAIN(TestScaleTables)
#include "tst_scaletables.moc"
