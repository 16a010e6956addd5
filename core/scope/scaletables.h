// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The scope's scale model: time bases, volts per division and input ranges,
// the conversions from sample codes and plot units to volts, times and
// frequencies, and the readout formatting. No widgets here: the channel
// controls, the cursors and the display read their texts and numbers from it.

#include <QString>
#include <QStringList>

#include <cstdint>

namespace ScaleTables {

constexpr int plotHeight = 1280;
constexpr int plotCentre = plotHeight / 2;
constexpr double plotUnitsPerCount = 1.5625;                 // 2 × 0.78125
constexpr double voltsPerPlotUnitOfDivision = 0.015625;      // one division is 64 plot units
constexpr double plotUnitsPerMeterUnit = 0.015625 * 0.78125; // RMS and average are in 1/128 of a code
constexpr int timeBaseCount = 22;
constexpr int gainCount = 10; // gains 0..9 have a scale; 10 is the "----" entry
constexpr int maxSamplingIndex = timeBaseCount - 1;

// The three lists, in slider order.
QStringList timeBaseTexts();
QStringList voltsPerDivTexts();
QStringList inputRangeTexts();

// Single entries; an index outside the list gives an empty text
// (the time base index is clamped to 0..21 first).
QString timeBaseText(int samplingIndex);
QString voltsPerDivText(int gain);
QString inputRangeText(int gain);

// A scale text split into its leading number and its unit ("12.5mV/div" ->
// 12.5, "mV"; "500µs/div" -> 500, "µs"). No unit letter: number 0, empty unit.
struct ScaleValue {
    double number = 0.0;
    QString unit;
};
ScaleValue parseVoltText(const QString &text);
ScaleValue parseTimeText(const QString &text);

QString get4Digits(double x);
// A quantity with the SI prefix that keeps its number between 1 and 1000,
// a space, and the unit: "24 ms", "768 µs", "40.00 Hz". `fourDigits` gives
// the read-out form of get4Digits ("25.00"), else trailing zeros go ("96").
// Seconds take no prefix above the unit ("12000 s"). "--" when not finite.
QString siText(double value, const QString &unit, bool fourDigits = false);
// "8 µs/div", "100 ms/div": the time base as the labels show it.
QString timeBaseLabel(int samplingIndex);
QString get3Digits(double x);
QString getDigitsPrecision(double x, int decimals);
// Decimals get4Digits() shows for x.
int fourDigitDecimals(double x);

QString pixelValueToVolt(double pixels, const QString &voltsPerDiv, int digits);
double rawValueToVolt(const QString &voltsPerDiv, double pixels);

QString int8ToVolt(uint8_t gain, int8_t sample);
QString int8ToVolt(uint8_t gain, int8_t a, int8_t b);
QString int16ToVolt(uint8_t gain, int16_t value, int digits);
double int8ToVolt_f(uint8_t gain, int8_t sample);
double int8ToVolt_f(uint8_t gain, int8_t a, int8_t b);
double int16ToVolt_f(uint8_t gain, int16_t value);

// Time between two x positions (2 plot units per sample) in the unit of
// the time base, divided by `divisor`, never negative. `unit` receives the
// time base's unit.
double vCursorDeltaTime(double a, double b, QString &unit, double divisor, int samplingIndex);
// Frequency in Hz of a time given in the unit of the time base; 0 for t = 0.
double deltaToFrequency(double t, int samplingIndex);
// 1000 / t with "kHz", "Hz" or "mHz" in `unit`; 0 for t = 0.
double vCursorFrequency(double t, QString &unit, int samplingIndex);

// Frequency of a period given in hundredths of a sample.
double samplex100ToFrequency_f(int periodX100, uint8_t samplingIndex);
// The same as readout text; "--" when there is no period.
QString samplex100ToFrequency(int periodX100, uint8_t samplingIndex);

// c − (c − d)·(x − b)/(a − b): b maps to c, a to d. The integer form works in
// single precision and truncates. a == b gives c.
int mapRange(int x, int a, int b, int c, int d);
double mapRangeF(double x, double a, double b, double c, double d);
// step·round(x / step), truncated; a step of 0 only truncates.
int mathRoundTo(double x, int step);

// "Time = 2ms/div, time range =  96.00ms" for the buffer combo index.
QString samplingRateLabelText(int samplingIndex, int bufferIndex);

// Seconds per division of a time base (index clamped to 0..21).
double secondsPerDivision(int samplingIndex);
// The spectrum's scale: a division holds 16 bins of 1/256 of the sampling
// rate each, which is the inverse of the time per division ("500Hz/div" at
// "2ms/div").
// The IQ spectrum spans the whole sampling rate in the same width: twice that.
QString spectrumDivisionText(int samplingIndex, bool iq = false);
// The plot legend's time text, with the spectrum's scale on a second line
// while it is shown.
QString plotTimeLegend(int samplingIndex, bool spectrumShown, bool iq = false);
// Seconds the instrument takes to acquire one frame of n samples per channel.
double frameSeconds(int samplingIndex, int samplesPerChannel);
// How far a frame that takes seconds has come: "Frame 37 %, 25 min to go".
// Empty for frames shorter than a second, which need no read-out.
QString frameProgressText(double elapsedSeconds, double frameSeconds);

// Volts per division of a gain; 0 for a gain without a scale.
double voltsPerDivision(int gain);

// Channel math, which the host computes from both channels' volts.
enum class MathOp { None, Subtract, Multiply };
// The operation a channel control byte asks for (math bit with subtract or multiply).
MathOp mathOpOf(uint8_t controls);
// The math trace's own scale: the smallest 1-2-5 step at which the result
// of two full-scale inputs (their sum, or their product in V²) stays within
// the ADC's span of a channel. 0 when a gain has no scale.
double mathPerDivision(MathOp op, int gainA, int gainB);
// "2V/div", "500mV/div", or for a product "0.5V²/div".
QString mathPerDivText(MathOp op, double perDivision);

// Label of channel 1 or 2 from its control byte (the math bits as set on
// the host), the other channel's control byte and both gain slider values.
// A math channel shows its own scale, and says so when an input sample sat
// at the ADC's limit.
QString channelLabelText(int channel, uint8_t ownControls, uint8_t otherControls, int gain, int otherGain,
                         bool clipped = false);
// Title shared by a channel's AC and DC group boxes.
QString channelBoxTitle(int channel, int gain, bool acCoupling);

// Quick range buttons: the ±24 V button is down exactly at gain 0, the
// ±2.4 V button exactly at gain 3, and both are up in AC coupling.
struct QuickRangeButtons {
    bool adc24V = false;
    bool adc2V4 = false;
};
constexpr int quickRangeGain24V = 0;
constexpr int quickRangeGain2V4 = 3;
QuickRangeButtons channel1DCButtonCheck(int gain, bool acCoupling);

// Enabled states that follow the sampling slider: slow rates (index 11 and
// above) allow roll mode and switch the trigger to slow sampling; elastic
// mode is offered unless roll mode runs.
struct SamplingControlStates {
    bool rollEnabled = false;
    bool elasticEnabled = true;
    bool slowSampling = false;
};
SamplingControlStates samplingControlStates(int samplingIndex, bool rollChecked);

struct ScopeSize {
    int samplesPerChannel = 0;
    int xExtent = 0;
    int cursorMinimum = 0;
    int cursorMaximum = 0;
};
ScopeSize scopeSizeForBlocks(int blocks);

struct SliderRange {
    int minimum = 0;
    int maximum = 0;
};
// Position ranges of the analog and logic sliders for a plot height.
SliderRange positionSliderRange(int height = plotHeight);
SliderRange logicPositionSliderRange(int height = plotHeight);
// Capture slider ranges after a reference capture at the given zero level,
// so the reference cannot be moved off the plot.
SliderRange captureSliderRange(int zeroLevel, int height = plotHeight);
SliderRange logicCaptureSliderRange(int zeroLevel, int height = plotHeight);

} // namespace ScaleTables
