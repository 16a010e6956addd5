// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The period of a frame's codes, the meter record made from a channel's
// measurements (core/scope/measurementset.h), the over-range marks of the
// read-outs, the automatic cursors' places, and the arithmetic of
// the vertical and horizontal cursors. No widgets: CursorControls keeps one
// VerticalCursors and one HorizontalCursors and draws what they say.

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

struct channela_t;
struct mmzeros_t;
namespace Measure {
struct Set;
}

// The period of a frame's samples: the mean over every whole period between
// the first and the last rising crossing of the middle, behind a band half
// the signal's swing wide (Measure::scanCrossings).
// A swing under `minimumSwing` codes (a fifth of a division) has no period.
constexpr int minimumSwing = 8;
enum class PeriodVerdict { Measured, SwingTooSmall, TooFewEdges, TooManyEdges };
struct PeriodMeasurement {
    PeriodVerdict verdict = PeriodVerdict::SwingTooSmall;
    double periodSamples = 0.0; // 0 unless measured
    int edges = 0;              // rising crossings counted
    double first = 0.0;         // the first, second and last crossing, in samples
    double second = 0.0;
    double last = 0.0;
};
PeriodMeasurement measurePeriod(const int8_t *samples, int count, int minimum, int maximum);
// Why a read-out shows no frequency, for its tooltip.
QString periodAbsentReason(PeriodVerdict verdict);
QString periodAbsentReason(int minimum, int maximum);

// The mean period in hundredths of a sample, or 0 when the signal has no
// measurable period (too small, never crossing, or too noisy). `zeros`
// receives the first, second and last counted crossing, or (0, 0, count)
// when there is no period.
int scopeGetMeasureFrequency(const int8_t *samples, int count, int minimum, int maximum, mmzeros_t *zeros);

// Samples at the ADC's limits: what is read there is less than what is at
// the input. The read-outs carry a mark (">" where the true value is larger,
// "<" where it is smaller, "≈" where it could be either) and say why.
struct OverRange {
    bool high = false;
    bool low = false;
    bool any() const { return high || low; }
    // Vpp, Max, Min, RMS, Average.
    QString marks[5];
    QString reason;
};
OverRange overRange(int minimum, int maximum);

// The meter record of one channel when the host measures instead of the
// instrument: the given raw extremes, the period with its first two
// crossings, and average and RMS (in 1/128 of a code) over whole periods,
// from the channel's measurements; the settings the instrument echoes
// (controls, gain, spare byte, sampling index) from the frame's meter block
// of that channel.
channela_t hostMeterRecord(const Measure::Set &set, double voltsPerCode, int8_t minimum, int8_t maximum,
                           const unsigned char *meterBlock);

// Automatic vertical cursors from a channel's crossings, in plot x units:
// A on the first crossing and B one mean period after it (closer to the
// period than the record's second crossing, which is kept for the record).
struct AutoCursorPositions {
    bool valid;
    int a;
    int b;
};
// In roll mode the oldest sample sits at `rollStart`, so crossings are
// shifted to where they are drawn; the first is wrapped into the trace and
// the second keeps its distance from it so that ΔT stays the period.
AutoCursorPositions automaticVerticalCursors(int zeroFirst, int zeroSecond, int periodX100, bool channelEnabled,
                                             bool roll, int samplesPerChannel, int rollStart);

namespace Cursors {
enum HorizontalType { Track = 0, Automatic = 1, Manual = 2 };
QStringList horizontalTypeTexts();
QStringList channelTexts();
} // namespace Cursors

// What choosing a horizontal cursor type switches on.
struct CursorTypeEffects {
    bool checkVerticalCursors; // "Track" reads the trace under the vertical cursors
    bool tracersOn;
    bool automaticVerticalCursors; // the display routine places them from the crossings
};
CursorTypeEffects cursorTypeEffects(int type, bool verticalCursorsChecked);

// The vertical cursors are hidden in XY mode whatever the check box says.
bool verticalCursorsShown(bool checked, bool xyMode);

class VerticalCursors
{
public:
    void vCursorInit();
    // Low is held to 0 .. xExtent − 1, high to low + 1 .. xExtent.
    void vCursorSetRange(int low, int high, int xExtent);
    void vCursorSetPosition(int a, int b);
    void vCursorSetVisible(bool on) { visible = on; }
    void setTimeIndex(int samplingIndex);

    int clampedA() const;
    int clampedB() const;

    struct Labels {
        QString deltaTime;
        QString frequency;
    };
    // "ΔT = 25.00 ms" and "1/ΔT = 40.00 Hz", each with the prefix that suits
    // it; the frequency reads "--" when both cursors stand on the same sample.
    Labels labels() const;

    bool visible = false;
    int timeIndex = 1;
    int positionA = 64;
    int positionB = 192;
    int rangeLow = 8;
    int rangeHigh = 1528;
};

class HorizontalCursors
{
public:
    void hCursorInit();
    void hCursorSetVisible(bool on) { visible = on; }
    void hCursorSetChannelEnabled(int channel, bool on);
    void setChannel(int ch);
    void setType(int t);

    // A dragged handle at `absolute` plot units: held to 8 .. 1272 and to the
    // selected channel's zero ± 256; stores the level relative to that zero
    // and returns the absolute position the handle goes to.
    int hCursorRefreshA(int absolute, int ch1Zero, int ch2Zero);
    int hCursorRefreshB(int absolute, int ch1Zero, int ch2Zero);

    // Whether the automatic placement runs this tick.
    bool autoPlacementApplies(bool on) const;
    // Stores A and B (absolute plot values, truncated) for the selected
    // channel; returns false and changes nothing when placement does not apply
    // or the type is "Manual". For "Automatic" pass the trace extremes, for
    // "Track" the values read under the vertical cursors.
    bool hCursorSetPositionAuto(bool on, double valueA, double valueB, int ch1Zero, int ch2Zero);

    int levelA() const { return channel == 0 ? ch1A : ch2A; }
    int levelB() const { return channel == 0 ? ch1B : ch2B; }
    // Where the handles sit for the selected channel.
    int handleA(int ch1Zero, int ch2Zero) const;
    int handleB(int ch1Zero, int ch2Zero) const;

    struct Labels {
        QString voltA;
        QString voltB;
        QString deltaVolt;
    };
    // Va, Vb and ΔV of the selected channel's levels; gains outside 0..9 are held.
    Labels labels(int ch1Gain, int ch2Gain) const;
    // The same with each channel's scale as its legend says it ("2V/div",
    // or a math trace's own "5V²/div").
    Labels labels(const QString &ch1Scale, const QString &ch2Scale) const;

    bool shown() const;
    // cursorsHorizontalChanged(): off in XY mode while measuring CH1.
    bool switchedOn(bool on, bool xyMode) const;
    struct Tracers {
        bool ch1;
        bool ch2;
    };
    Tracers tracersShown(bool on) const;

    bool visible = false;
    int channel = 0;
    int type = Cursors::Track;
    bool channelEnabled[3] = {false, false, false};
    int absoluteA = 0;
    int absoluteB = 0;
    int ch1A = 64;
    int ch1B = -64;
    int ch2A = 64;
    int ch2B = -64;

private:
    int refresh(int absolute, int ch1Zero, int ch2Zero, int &ch1Level, int &ch2Level);
};
