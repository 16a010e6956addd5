// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The generator's arithmetic, apart from its widgets: the logarithmic
// frequency slider and its inverse, the eight frequency digits, the level
// codes, the waveform choice, the sweep read-outs, and the custom waveform
// file's reader. Frequencies are whole hundredths of a hertz (cHz).

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace Generator {

constexpr int frequencySliderMinimum = 172;
constexpr int frequencySliderMaximum = 700;
constexpr int digitCount = 8;
// Weight of each frequency digit in cHz, from the 100 kHz digit down to the
// 0.01 Hz digit, and the highest value each one takes.
constexpr std::array<long long, digitCount> digitWeights = {10000000, 1000000, 100000, 10000, 1000, 100, 10, 1};
constexpr std::array<int, digitCount> digitMaximum = {1, 9, 9, 9, 9, 9, 9, 9};

// n × round(value / n), halves away from zero.
double mathRoundTo(double value, double n);
// Slider position to frequency: 10^(s/100), rounded to about three
// significant digits, clamped to what the instrument takes.
long long frequencySliderValueToInt(double position);
// Frequency to slider position: trunc(log10(f) × 100); nothing above zero
// gives the lowest position.
int frequencyIntToSliderValue(double centiHertz);

using Digits = std::array<int, digitCount>;
// The digits showing f rounded to a whole cHz; beyond eight digits only the
// last eight show, and a negative value shows as zero.
Digits frequencyDigits(double centiHertz);
long long digitsToFrequency(const Digits &digits);
// One digit stepped by itself: no carry into or borrow from its neighbours.
int digitIncrease(int digit, int maximum);
int digitDecrease(int digit, int maximum);
// The frequency panel's summary: hertz with two decimals, "Hz" and a space.
QString frequencySummary(long long centiHertz);
// The effective frequency from the 4-byte read-back, in hertz; any other
// length reads as 0.
double effectiveFrequency(const unsigned char *reply, int received);

// A level's slider holds the instrument's code, its spin box code ÷ divisor.
constexpr double amplitudeDivisor = 115.91;
constexpr int amplitudeCodeMaximum = 232;
constexpr int offsetCodeMaximum = 127;
constexpr double dutyDivisor = 2.5599672324194254;
constexpr double offsetDivisor = 63.97952655150351;
// The constant level: code ÷ 14848 volts, ±29696 being ±2 V.
constexpr double constantDivisor = 14848.0;
// The code for a shown value: value × divisor, halves away from zero.
int levelCode(double value, double divisor);

// The waveform codes of entry 31.
enum Waveform { Sine, Square, Triangle, Exponential, Custom, Constant, WhiteNoise, PinkNoise, WaveformCount };
struct WaveChoice {
    int code;
    QString name; // empty when no button is checked
};
// The first checked button in the order Constant, Custom, Exponential,
// Triangle, Square, Sine, Pink, White decides; none checked is a sine.
WaveChoice waveTypeFor(const std::array<bool, WaveformCount> &checked);

// What the sweep's start and end boxes show for a code 0 … 255, read as
// the instrument reads it: frequency 10^(c/51) Hz, amplitude 0.5018·c/56 V,
// offset (c − 127.5)·0.5017/28 V, duty 100·c/255 % (at least 1 %).
enum class Swept { None, Frequency, Amplitude, Offset, DutyCycle };
struct SweepShown {
    double value;
    int decimals;
    QString unit;
};
SweepShown sweepShown(Swept quantity, int code);
// The codes a sweep of `quantity` may use. A swept amplitude or offset is
// one scale with the Levels controls: only the codes whose read-out stays
// within the Levels range (amplitude up to 232 codes, 2.00 V: codes 0 … 223;
// offset ±127 codes, ±1.98 V: codes 17 … 238); the others take 0 … 255.
struct SweepCodes {
    int minimum = 0;
    int maximum = 255;
};
SweepCodes sweepCodes(Swept quantity);
// The start never passes the end: a start above the end takes the end's
// code, an end below the start takes the start's.
int sweepStartOrdered(int start, int end);
int sweepEndOrdered(int start, int end);
// One sweep from start to end takes (128 - speed) × 50 ms, the speed held
// to 1 … 127; the text is that time ("3.20 s", "50 ms").
double sweepSeconds(int speed);
QString sweepDurationText(int speed);

// The custom waveform: 512 samples of 16 bits, little-endian, each a
// 12-bit DAC code: 0 is the offset less the amplitude, 4095 the offset plus
// the amplitude, 2048 the offset.
constexpr int customSamples = 512;
constexpr int customCodeMaximum = 4095;
// A file in volts gives the wave at the largest amplitude and no offset:
// -2.00 V is code 0, +2.00 V code 4095.
constexpr double customVoltsMaximum = 2.0;
constexpr qint64 waveformFileLimit = 1 << 20;

// A waveform file is text: values separated by commas or line breaks,
// blanks around them ignored, lines starting with '#' are comments. Values
// are codes 0 … 4095 unless a comment line "# volts" comes before the first
// value; then they are decimal volts -2.00 … 2.00. Anything else (a word, a
// negative code, a value out of range, more than 512 values, bytes that are
// no text) refuses the whole file and names the first line at fault.
struct WaveformRead {
    int count = 0;  // samples written, 0 when refused
    int line = 0;   // the first line at fault, 0 when none or the file as a whole
    QString error;  // what is wrong with it; empty when the file was taken
    bool volts = false;
};
// Samples go to `buffer` only when the whole file is good; samples beyond
// the count keep their bytes.
WaveformRead parseWaveform(const QByteArray &bytes, unsigned char *buffer);

} // namespace Generator
