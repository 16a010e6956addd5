// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The generator's arithmetic, apart from its widgets: the logarithmic
// frequency slider and its inverse, the eight frequency digits, the level
// codes, the waveform choice, the sweep read-outs, and the custom waveform
// text with its reader. Frequencies are whole hundredths of a hertz (cHz).

#include <QString>

#include <array>
#include <cstdint>

class QIODevice;

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
constexpr double dutyDivisor = 2.5599672324194254;
constexpr double offsetDivisor = 63.97952655150351;
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

// What the sweep's start and end boxes show for a code 0 … 255.
enum class Swept { None, Frequency, Amplitude, Offset, DutyCycle };
struct SweepShown {
    double value;
    int decimals;
    QString unit;
};
SweepShown sweepShown(Swept quantity, int code);
// The start never passes the end: a start above the end takes the end's
// code, an end below the start takes the start's.
int sweepStartOrdered(int start, int end);
int sweepEndOrdered(int start, int end);

// The custom waveform: 512 samples of 16 bits, little-endian.
constexpr int customSamples = 512;
// Parses comma-separated decimal integers into `buffer`: line breaks count
// as spaces, fields that are exactly empty are dropped, at most 512 are
// taken, each as its low 16 bits (a field that is no integer gives 0).
// Samples beyond the count parsed keep their bytes. Returns the count.
int parseCSV(const QString &text, unsigned char *buffer);

// The text of a custom waveform file as UTF-8 up to its first zero byte.
// Reading stops once the 512th value is closed by its comma, since nothing
// after it is used, and at `limit` bytes for a file that never gets there.
struct WaveformText {
    QString text;
    bool cutAtLimit = false;
};
constexpr qint64 waveformFileLimit = 1 << 20;
WaveformText readWaveformText(QIODevice &device, qint64 limit = waveformFileLimit);

} // namespace Generator
