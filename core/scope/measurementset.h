// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The automatic measurements of one trace: a channel's samples in volts (or
// a math trace in its own unit, or a logic bit as 0 and 1) with the time
// between two samples. One call measures everything once per frame; each
// result is a number or the reason it could not be measured, never a 0 or a
// NaN standing in for a reading. No widgets: the scope page's read-outs,
// the measurement panel and the remote queries all read these results.

#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace Measure
{

enum Kind : int {
    Vpp,
    Vmax,
    Vmin,
    Vtop,
    Vbase,
    Vamp,
    Vavg,
    Vrms,
    AcRms,
    Overshoot,
    Preshoot,
    Frequency,
    Period,
    RiseTime,
    FallTime,
    PositiveWidth,
    NegativeWidth,
    Duty,
    Edges,
    Delay, // from CH1's first rising edge to CH2's
    Phase, // that delay in degrees of CH1's period
    KindCount
};

enum class Why : uint8_t {
    Measured,
    NoSamples,
    SwingTooSmall, // the swing is below the noise
    NoWholePeriod,
    NoWholeEdge,
    NoPulse,
    TooManyEdges, // noise, or a signal too fast for the time base
    Clipped,      // at the converter's limits: the reading is cut off there
    NoSource,     // the trace is not there (channel off, no math, no logic)
};

struct Result {
    double value = 0.0; // kept for Clipped: the cut-off reading the read-outs mark
    Why why = Why::NoSamples;
    bool ok() const { return why == Why::Measured; }
};

struct KindInfo {
    const char *name;  // the word in the settings and the remote queries
    const char *label; // what the panel shows
    const char *unit;  // "V" (the source's own for a math trace), "Hz", "s", "%", "°", ""
    bool logic;        // also measured on a logic bit
    bool pair;         // between CH1 and CH2
};
const KindInfo &info(Kind kind);
// A kind from its name, or KindCount.
Kind kindNamed(const QString &name);
QString reasonText(Why why);

// One trace to measure. `noise` is the smallest swing that counts as a
// signal; samples at `clippedHigh` or `clippedLow` sat at the converter's limits.
struct Source {
    const double *values = nullptr;
    int count = 0;
    double samplePeriod = 0.0; // seconds
    double noise = 0.0;
    bool clippedHigh = false;
    bool clippedLow = false;
    bool twoLevels = false; // a logic bit: its top and base are its maximum and minimum
};

// Where a measurement was taken, in samples of the source and in its unit,
// for the markers on the plot. NaN where there is nothing to mark.
struct Marks {
    double periodFrom = NAN, periodTo = NAN; // two rising crossings one period apart
    double riseFrom = NAN, riseTo = NAN;     // the first whole rising edge at 10 % and 90 %
    double fallFrom = NAN, fallTo = NAN;
    double highFrom = NAN, highTo = NAN; // the first positive pulse at 50 %
    double lowFrom = NAN, lowTo = NAN;
    double low = NAN, middle = NAN, high = NAN; // the 10 %, 50 % and 90 % levels
    double top = NAN, base = NAN;
};

struct Set {
    std::array<Result, KindCount> results{};
    Marks marks;
    double firstRising = NAN; // the first, second and last rising crossings, in samples
    double secondRising = NAN;
    double lastRising = NAN;
    double periodSamples = NAN; // the mean period, in samples
    double samplePeriod = 0.0;
    // Average and RMS were taken from `spanFrom` up to, not including, `spanTo`.
    int spanFrom = 0;
    int spanTo = 0;
    const Result &operator[](Kind k) const { return results[size_t(k)]; }
};

// Every measurement of one trace.
Set measure(const Source &source);
// Delay and phase from `first`'s first rising edge to `second`'s, into `first`.
void measureBetween(Set &first, const Set &second);

// The crossings of a middle level: each counted once the signal has gone
// past a band `middle ± band`, so that noise on a slow edge is not an edge,
// and placed between the two samples around the middle. The first five and
// last six samples are left out, as they may be taken before the input
// settled. More than one rising edge every four samples stops the scan.
struct Crossings {
    std::vector<double> rising;
    std::vector<double> falling;
    bool tooMany = false;
};
template <class T> void scanCrossings(const T *s, int count, double middle, double band, Crossings &out)
{
    out.rising.clear();
    out.falling.clear();
    out.tooMany = false;
    const double low = middle - band;
    const double high = middle + band;
    const int from = count < 5 ? count : 5;
    const int to = count - 6;
    const size_t allowed = size_t(count / 4);
    bool armedUp = false; // below the band: the next rise through it is an edge
    bool armedDown = false;
    int atOrBelow = -1;
    int atOrAbove = -1;
    for (int i = from; i <= to; ++i) {
        const double v = s[i];
        if (v <= middle)
            atOrBelow = i;
        if (v >= middle)
            atOrAbove = i;
        if (v < low) {
            armedUp = true;
            if (armedDown) {
                armedDown = false;
                const double a = s[atOrAbove], b = s[atOrAbove + 1];
                out.falling.push_back(atOrAbove + (a - middle) / (a - b));
            }
        } else if (v > high) {
            armedDown = true;
            if (armedUp) {
                armedUp = false;
                const double a = s[atOrBelow], b = s[atOrBelow + 1];
                out.rising.push_back(atOrBelow + (middle - a) / (b - a));
                if (out.rising.size() > allowed) {
                    out.tooMany = true;
                    return;
                }
            }
        }
    }
}

// What the panel measures: a kind on a source ("CH1", "CH2", "MATH1",
// "MATH2", "D0" .. "D7", and "CH1-CH2" for delay and phase).
struct Choice {
    QString source;
    Kind kind = Vpp;
    bool operator==(const Choice &o) const { return source == o.source && kind == o.kind; }
};
QStringList sources();
// The kinds a source offers.
QVector<Kind> kindsOf(const QString &source);
// "CH1:Frequency,CH2:Duty"; an entry that names no source or kind, or a
// kind the source does not offer, is left out and named in `problems`.
QVector<Choice> parseChoices(const QString &text, QStringList *problems);
QString formatChoices(const QVector<Choice> &choices);

// A reading with its unit and prefix, "1.000 kHz", "12.5 %", "3 edges".
QString valueText(Kind kind, double value, const QString &unit);

// Minimum, maximum, mean and standard deviation of the measured readings
// of one row since the last reset.
struct Statistics {
    quint64 count = 0;
    double minimum = 0.0, maximum = 0.0, mean = 0.0, m2 = 0.0;
    void add(double value);
    double deviation() const { return count > 1 ? std::sqrt(m2 / double(count - 1)) : 0.0; }
};

} // namespace Measure
