// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/measurements.h"

#include "core/device/configprotocol.h"
#include "core/device/frames.h"
#include "core/scope/measurementset.h"
#include "core/scope/scaletables.h"

#include <algorithm>
#include <cmath>
#include <vector>

using ConfigProtocol::dataValueRangeTrunk;

PeriodMeasurement measurePeriod(const int8_t *samples, int count, int minimum, int maximum)
{
    PeriodMeasurement m;
    if (!samples || count <= 0 || maximum - minimum < minimumSwing)
        return m;
    static thread_local Measure::Crossings c;
    Measure::scanCrossings(samples, count, (minimum + maximum) / 2.0, (maximum - minimum) / 4.0, c);
    m.edges = int(c.rising.size());
    if (c.tooMany) {
        m.verdict = PeriodVerdict::TooManyEdges;
        return m;
    }
    m.verdict = m.edges < 2 ? PeriodVerdict::TooFewEdges : PeriodVerdict::Measured;
    if (m.edges == 0)
        return m;
    m.first = c.rising.front();
    m.second = m.edges > 1 ? c.rising[1] : 0.0;
    m.last = c.rising.back();
    if (m.verdict == PeriodVerdict::Measured)
        m.periodSamples = (m.last - m.first) / (m.edges - 1);
    return m;
}

QString periodAbsentReason(PeriodVerdict verdict)
{
    switch (verdict) {
    case PeriodVerdict::SwingTooSmall:
        return QStringLiteral("The signal swings less than a fifth of a division: "
                              "too little to find its edges. Choose a smaller V/div.");
    case PeriodVerdict::TooFewEdges:
        return QStringLiteral("Fewer than two periods in the frame. Choose a slower time base.");
    case PeriodVerdict::TooManyEdges:
        return QStringLiteral("More than one edge every four samples: noise, or a signal too fast "
                              "for this time base. Choose a faster time base.");
    case PeriodVerdict::Measured:
        break;
    }
    return QString();
}

QString periodAbsentReason(int minimum, int maximum)
{
    return periodAbsentReason(maximum - minimum < minimumSwing ? PeriodVerdict::SwingTooSmall
                                                               : PeriodVerdict::TooFewEdges);
}

int scopeGetMeasureFrequency(const int8_t *samples, int count, int minimum, int maximum, mmzeros_t *zeros)
{
    mmzeros_t found{{0, 0, uint16_t(std::max(0, std::min(count, 65535)))}};
    const PeriodMeasurement m = measurePeriod(samples, count, minimum, maximum);
    const long long period = std::llround(m.periodSamples * 100.0);
    if (m.verdict == PeriodVerdict::Measured && period > 0) {
        // The whole samples from each crossing on.
        found.zeroCross[0] = uint16_t(std::ceil(m.first));
        found.zeroCross[1] = uint16_t(std::ceil(m.second));
        found.zeroCross[2] = uint16_t(std::ceil(m.last));
    }
    if (zeros)
        *zeros = found;
    return m.verdict == PeriodVerdict::Measured ? int(std::min<long long>(period, INT32_MAX)) : 0;
}

OverRange overRange(int minimum, int maximum)
{
    OverRange r;
    r.high = maximum >= 127;
    r.low = minimum <= -128;
    if (!r.any())
        return r;
    const QString more = QStringLiteral(">");
    const QString less = QStringLiteral("<");
    r.marks[0] = more;
    r.marks[1] = r.high ? more : QString();
    r.marks[2] = r.low ? less : QString();
    r.marks[3] = more;
    r.marks[4] = r.high && r.low ? QStringLiteral("≈") : (r.high ? more : less);
    r.reason = QStringLiteral("Over range: the signal reaches the converter's limit, so the values read "
                              "are cut off there. Choose a larger V/div.");
    return r;
}

channela_t hostMeterRecord(const Measure::Set &set, double voltsPerCode, int8_t minimum, int8_t maximum,
                           const unsigned char *meterBlock)
{
    channela_t m;
    Frames::initMeterBlock(&m);
    m.maximum = maximum;
    m.minimum = minimum;
    if (set[Measure::Period].ok()) {
        m.periodX100 = uint32_t(std::min<long long>(std::llround(set.periodSamples * 100.0), INT32_MAX));
        // The whole samples from each crossing on.
        m.zeroCrossFirst = uint16_t(std::ceil(set.firstRising));
        m.zeroCrossSecond = uint16_t(std::ceil(set.secondRising));
    }
    if (voltsPerCode > 0.0) {
        const auto code128 = [&](Measure::Kind k) {
            return int16_t(std::clamp<long long>(std::llround(set[k].value / voltsPerCode * 128.0), -32768, 32767));
        };
        m.average = code128(Measure::Vavg);
        m.rms = code128(Measure::Vrms);
    }
    if (meterBlock)
        Frames::parseMeterSettings(&m, meterBlock);
    return m;
}

AutoCursorPositions automaticVerticalCursors(int zeroFirst, int zeroSecond, int periodX100, bool channelEnabled,
                                             bool roll, int samplesPerChannel, int rollStart)
{
    if (!channelEnabled || periodX100 == 0)
        return {false, 0, 0};
    // One mean period apart, to the sample, rather than between two single
    // crossings, each a sample off at worst.
    int a = zeroFirst;
    int b = zeroFirst + int(std::lround(periodX100 / 100.0));
    Q_UNUSED(zeroSecond)
    if (roll && samplesPerChannel > 0) {
        const int shift = samplesPerChannel - rollStart;
        const int shiftedA = ((a + shift) % samplesPerChannel + samplesPerChannel) % samplesPerChannel;
        b = shiftedA + (b - a);
        a = shiftedA;
    }
    return {true, 2 * a, 2 * b};
}

namespace Cursors {
QStringList horizontalTypeTexts()
{
    return {QStringLiteral("Track"), QStringLiteral("Automatic"), QStringLiteral("Manual")};
}

QStringList channelTexts()
{
    return {QStringLiteral("CH1 - Scope Channel 1"), QStringLiteral("CH2 - Scope Channel 2")};
}
} // namespace Cursors

CursorTypeEffects cursorTypeEffects(int type, bool verticalCursorsChecked)
{
    const bool track = type == Cursors::Track;
    return {track && !verticalCursorsChecked, track, type == Cursors::Automatic};
}

bool verticalCursorsShown(bool checked, bool xyMode)
{
    return checked && !xyMode;
}

void VerticalCursors::vCursorInit()
{
    *this = VerticalCursors();
}

void VerticalCursors::vCursorSetRange(int low, int high, int xExtent)
{
    if (xExtent < 1)
        xExtent = 1;
    rangeLow = dataValueRangeTrunk(low, 0, xExtent - 1);
    rangeHigh = dataValueRangeTrunk(high, rangeLow + 1, xExtent);
}

void VerticalCursors::vCursorSetPosition(int a, int b)
{
    positionA = a;
    positionB = b;
}

void VerticalCursors::setTimeIndex(int samplingIndex)
{
    timeIndex = dataValueRangeTrunk(samplingIndex, 0, ScaleTables::maxSamplingIndex);
}

int VerticalCursors::clampedA() const
{
    return dataValueRangeTrunk(positionA, rangeLow, rangeHigh);
}

int VerticalCursors::clampedB() const
{
    return dataValueRangeTrunk(positionB, rangeLow, rangeHigh);
}

VerticalCursors::Labels VerticalCursors::labels() const
{
    QString timeUnit;
    const double t = ScaleTables::vCursorDeltaTime(clampedA(), clampedB(), timeUnit, 1, timeIndex);
    const double seconds = t * ScaleTables::secondsPerDivision(timeIndex) /
                           ScaleTables::parseTimeText(ScaleTables::timeBaseText(timeIndex)).number;
    Labels l;
    l.deltaTime = QStringLiteral("ΔT = ") + ScaleTables::siText(seconds, QStringLiteral("s"), true);
    // Cursors on one sample have no finite 1/ΔT; say so rather than show 0.
    l.frequency = QStringLiteral("1/ΔT = ") +
                  (t == 0.0 ? QStringLiteral("--") : ScaleTables::siText(1.0 / seconds, QStringLiteral("Hz"), true));
    return l;
}

void HorizontalCursors::hCursorInit()
{
    *this = HorizontalCursors();
}

void HorizontalCursors::hCursorSetChannelEnabled(int ch, bool on)
{
    if (ch >= 0 && ch < 3)
        channelEnabled[ch] = on;
}

void HorizontalCursors::setChannel(int ch)
{
    channel = dataValueRangeTrunk(ch, 0, 1);
}

void HorizontalCursors::setType(int t)
{
    type = dataValueRangeTrunk(t, Cursors::Track, Cursors::Manual);
}

int HorizontalCursors::refresh(int absolute, int ch1Zero, int ch2Zero, int &ch1Level, int &ch2Level)
{
    absolute = dataValueRangeTrunk(absolute, 8, 1272);
    if (channel == 0) {
        absolute = dataValueRangeTrunk(absolute, ch1Zero - 256, ch1Zero + 256);
        ch1Level = absolute - ch1Zero;
    } else {
        absolute = dataValueRangeTrunk(absolute, ch2Zero - 256, ch2Zero + 256);
        ch2Level = absolute - ch2Zero;
    }
    return absolute;
}

int HorizontalCursors::hCursorRefreshA(int absolute, int ch1Zero, int ch2Zero)
{
    absoluteA = refresh(absolute, ch1Zero, ch2Zero, ch1A, ch2A);
    return absoluteA;
}

int HorizontalCursors::hCursorRefreshB(int absolute, int ch1Zero, int ch2Zero)
{
    absoluteB = refresh(absolute, ch1Zero, ch2Zero, ch1B, ch2B);
    return absoluteB;
}

bool HorizontalCursors::autoPlacementApplies(bool on) const
{
    return on && channelEnabled[channel] && type != Cursors::Manual;
}

bool HorizontalCursors::hCursorSetPositionAuto(bool on, double valueA, double valueB, int ch1Zero, int ch2Zero)
{
    if (!autoPlacementApplies(on) || !std::isfinite(valueA) || !std::isfinite(valueB))
        return false;
    const int a = int(std::trunc(std::clamp(valueA, -1.0e6, 1.0e6)));
    const int b = int(std::trunc(std::clamp(valueB, -1.0e6, 1.0e6)));
    absoluteA = a;
    absoluteB = b;
    if (channel == 0) {
        ch1A = a - ch1Zero;
        ch1B = b - ch1Zero;
    } else {
        ch2A = a - ch2Zero;
        ch2B = b - ch2Zero;
    }
    return true;
}

int HorizontalCursors::handleA(int ch1Zero, int ch2Zero) const
{
    return (channel == 0 ? ch1Zero : ch2Zero) + levelA();
}

int HorizontalCursors::handleB(int ch1Zero, int ch2Zero) const
{
    return (channel == 0 ? ch1Zero : ch2Zero) + levelB();
}

HorizontalCursors::Labels HorizontalCursors::labels(int ch1Gain, int ch2Gain) const
{
    const auto scaleOf = [](int gain) {
        return ScaleTables::voltsPerDivText(dataValueRangeTrunk(gain, 0, ScaleTables::gainCount - 1));
    };
    return labels(scaleOf(ch1Gain), scaleOf(ch2Gain));
}

HorizontalCursors::Labels HorizontalCursors::labels(const QString &ch1Scale, const QString &ch2Scale) const
{
    const QString &scale = channel == 0 ? ch1Scale : ch2Scale;
    const int a = levelA();
    const int b = levelB();
    return {QStringLiteral("Va = ") + ScaleTables::pixelValueToVolt(a, scale, 3),
            QStringLiteral("Vb = ") + ScaleTables::pixelValueToVolt(b, scale, 3),
            QStringLiteral("ΔV = ") + ScaleTables::pixelValueToVolt(a - b, scale, 3)};
}

bool HorizontalCursors::shown() const
{
    return visible && channelEnabled[channel];
}

bool HorizontalCursors::switchedOn(bool on, bool xyMode) const
{
    return on && !(xyMode && channel == 0);
}

HorizontalCursors::Tracers HorizontalCursors::tracersShown(bool on) const
{
    return {on && channel == 0, on && channel == 1};
}
