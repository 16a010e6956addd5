// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/measurements.h"

#include "core/device/configprotocol.h"
#include "core/device/frames.h"
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
    const double middle = (minimum + maximum) / 2.0;
    const double band = (maximum - minimum) / 4.0;
    const double low = middle - band;
    const double high = middle + band;
    // The first and last samples of a frame are left out, as they may be
    // taken before the input settled.
    const int from = std::min(5, count);
    const int to = count - 6;
    const int allowed = count / 4;
    bool armed = false; // below the band: the next rise through it is an edge
    int lastAtOrBelow = -1;
    m.verdict = PeriodVerdict::TooFewEdges;
    for (int i = from; i <= to; ++i) {
        const int v = samples[i];
        if (v <= middle)
            lastAtOrBelow = i;
        if (v < low) {
            armed = true;
        } else if (armed && v > high) {
            armed = false;
            const int j = lastAtOrBelow;
            const double a = samples[j];
            const double b = samples[j + 1];
            const double at = j + (middle - a) / (b - a);
            if (m.edges == 0)
                m.first = at;
            else if (m.edges == 1)
                m.second = at;
            m.last = at;
            if (++m.edges > allowed) {
                m.verdict = PeriodVerdict::TooManyEdges;
                return m;
            }
        }
    }
    if (m.edges < 2)
        return m;
    m.verdict = PeriodVerdict::Measured;
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

void scopeGetAverRMS(const int8_t *samples, int count, const mmzeros_t &zeros, int16_t *average, uint16_t *rms)
{
    int16_t averageValue = 0;
    uint16_t rmsValue = 0;
    if (samples && count > 0) {
        int from = zeros.zeroCross[0];
        int to = std::min<int>(zeros.zeroCross[2], count);
        // A record that does not describe this buffer measures all of it.
        if (from >= to) {
            from = 0;
            to = count;
        }
        long long sum = 0;
        long long squares = 0;
        for (int i = from; i < to; ++i) {
            sum += samples[i];
            squares += samples[i] * samples[i];
        }
        const long long m = to - from;
        averageValue = int16_t(sum * 128 / m);
        rmsValue = uint16_t(std::trunc(std::sqrt(double(squares / m)) * 128.0));
    }
    if (average)
        *average = averageValue;
    if (rms)
        *rms = rmsValue;
}

channela_t hostMeterRecord(const int8_t *samples, int count, int8_t minimum, int8_t maximum,
                           const unsigned char *meterBlock)
{
    channela_t m;
    Frames::initMeterBlock(&m);
    m.maximum = maximum;
    m.minimum = minimum;
    mmzeros_t zeros;
    m.periodX100 = uint32_t(scopeGetMeasureFrequency(samples, count, minimum, maximum, &zeros));
    m.zeroCrossFirst = zeros.zeroCross[0];
    m.zeroCrossSecond = zeros.zeroCross[1];
    uint16_t rms = 0;
    scopeGetAverRMS(samples, count, zeros, &m.average, &rms);
    // The record's field is signed; an RMS of 8-bit codes (at most 128 × 128) fits it.
    m.rms = int16_t(rms);
    if (meterBlock)
        Frames::parseMeterSettings(&m, meterBlock);
    return m;
}

MathReadings mathReadings(const QVector<double> &values, double perDivision)
{
    MathReadings r;
    const int n = values.size();
    if (n == 0 || !(perDivision > 0.0))
        return r;
    const auto range = std::minmax_element(values.constBegin(), values.constEnd());
    r.minimum = *range.first;
    r.maximum = *range.second;
    mmzeros_t zeros{{0, 0, uint16_t(std::min(n, 65535))}};
    // A swing of less than 32 codes at the trace's own scale has no period,
    // as for a channel; a larger one is coded over the whole span of the
    // codes, so that the period is found as for a channel's samples.
    const double swing = r.maximum - r.minimum;
    if (swing * 40.96 / perDivision >= 32.0) {
        // Kept between frames, so that measuring allocates nothing.
        static thread_local std::vector<int8_t> codes;
        codes.resize(size_t(n));
        const double middle = (r.maximum + r.minimum) / 2.0;
        for (int k = 0; k < n; ++k)
            codes[size_t(k)] = int8_t(std::lround((values[k] - middle) * 254.0 / swing));
        r.periodX100 = uint32_t(scopeGetMeasureFrequency(codes.data(), n, -127, 127, &zeros));
        r.zeroCrossFirst = zeros.zeroCross[0];
        r.zeroCrossSecond = zeros.zeroCross[1];
    }
    // Whole periods, as scopeGetAverRMS takes them.
    int from = zeros.zeroCross[0];
    int to = std::min<int>(zeros.zeroCross[2], n);
    if (from >= to) {
        from = 0;
        to = n;
    }
    double sum = 0.0;
    double squares = 0.0;
    for (int k = from; k < to; ++k) {
        sum += values[k];
        squares += values[k] * values[k];
    }
    r.average = sum / (to - from);
    r.rms = std::sqrt(squares / (to - from));
    return r;
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
