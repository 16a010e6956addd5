// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/triggermodel.h"

#include "core/device/configprotocol.h"
#include "core/scope/scaletables.h"

#include <algorithm>
#include <cmath>

using ConfigProtocol::dataValueRangeTrunk;
using Trigger::ConfigWrite;

namespace Trigger {

QStringList sourceTexts()
{
    QStringList texts{QStringLiteral("CH1"), QStringLiteral("CH2")};
    for (int bit = 0; bit < 8; ++bit)
        texts << QStringLiteral("Bit %1").arg(bit);
    texts << QStringLiteral("EXT") << QStringLiteral("Schmitt");
    return texts;
}

QStringList iconList(bool green)
{
    const QString colour = green ? QStringLiteral("g") : QStringLiteral("r");
    const char *names[] = {"rising", "falling", "dual", "positive", "negative", "window1", "window2"};
    QStringList icons;
    for (const char *name : names)
        icons << QStringLiteral(":/icons/") + QLatin1String(name) + colour + QStringLiteral(".png");
    return icons;
}

int triggerHoldValue(double holdTime)
{
    if (!std::isfinite(holdTime) || std::fabs(holdTime) > 1e9)
        return 0;
    return ConfigProtocol::lowByte(int(std::trunc(holdTime)));
}

int autoTriggerValue(double seconds)
{
    return ConfigProtocol::autoTriggerCode(seconds);
}

QString statusText(Status status)
{
    switch (status) {
    case Status::Auto:
        return QStringLiteral("Auto");
    case Status::Armed:
        return QStringLiteral("Armed");
    case Status::Triggered:
        return QStringLiteral("Triggered");
    case Status::Roll:
        return QStringLiteral("Roll");
    case Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

Status status(const Activity &a)
{
    if (!a.running)
        return Status::Stopped;
    if (a.roll)
        return Status::Roll;
    const bool recent = a.sinceFrameMs >= 0.0 && a.sinceFrameMs <= 2.0 * a.frameMs + 1000.0;
    switch (a.mode) {
    case Free:
        return Status::Auto;
    case Single:
        return Status::Armed;
    case Normal:
        return recent ? Status::Triggered : Status::Armed;
    case Auto:
        // Frames closer together than the time-out came from the trigger;
        // one that took the time-out may have been the time-out's.
        return recent && a.lastGapMs >= 0.0 && a.lastGapMs < 0.9 * a.autoTimeoutMs &&
                       a.sinceFrameMs < a.autoTimeoutMs + a.frameMs
                   ? Status::Triggered
                   : Status::Auto;
    }
    return Status::Auto;
}

double levelVolts(int level, int gain)
{
    return level * ScaleTables::plotUnitsPerCount / 64.0 * ScaleTables::voltsPerDivision(gain);
}

int levelCounts(double volts, int gain)
{
    const double perCount = levelVolts(1, gain);
    if (!(perCount > 0.0) || !std::isfinite(volts))
        return 0;
    return int(std::lround(std::clamp(volts / perCount, -1.0e6, 1.0e6)));
}

} // namespace Trigger

TriggerModel::TriggerModel()
{
    triggerInit();
}

void TriggerModel::triggerInit()
{
    enabled = false;
    visible = false;
    triggerType = Trigger::RisingEdge;
    triggerSource = Trigger::SourceCh1;
    currentChannel = Trigger::ChannelCh1;
}

void TriggerModel::triggerSetMode(int type)
{
    triggerType = dataValueRangeTrunk(type, Trigger::RisingEdge, Trigger::Window);
}

void TriggerModel::triggerSetSource(int index)
{
    triggerSource = dataValueRangeTrunk(index, Trigger::SourceCh1, Trigger::SourceSchmitt);
}

void TriggerModel::triggerSetChannel(int channel)
{
    currentChannel = dataValueRangeTrunk(channel, Trigger::ChannelCh1, Trigger::ChannelLogic);
}

const TriggerChannelRecord &TriggerModel::record(int channel) const
{
    return records[dataValueRangeTrunk(channel, 0, 2)];
}

void TriggerModel::triggerSetChannelOffset(int channel, int offset)
{
    records[dataValueRangeTrunk(channel, 0, 2)].offset = offset;
}

void TriggerModel::triggerSetChannelBit(int channel, int bit)
{
    records[dataValueRangeTrunk(channel, 0, 2)].bit = dataValueRangeTrunk(bit, 0, 7);
}

void TriggerModel::triggerSetChannelSize(int channel, int size)
{
    records[dataValueRangeTrunk(channel, 0, 2)].size = size;
}

void TriggerModel::triggerSetRange(int minPosition, int maxPosition, int levelLimit, int windowLimit, int windowGap)
{
    positionMin = std::max(minPosition, 0);
    positionMax = std::min(maxPosition, 32767);
    // A buffer too small for the margins would leave an empty range; hold
    // every position at the lower end instead.
    if (positionMax < positionMin)
        positionMax = positionMin;
    levelMax = dataValueRangeTrunk(levelLimit, 0, 125);
    windowMax = dataValueRangeTrunk(windowLimit, 0, 125);
    gap = std::max(windowGap, 16);
}

void TriggerModel::setFrameSize(int samplesPerChannel)
{
    if (samplesPerChannel <= 0)
        return;
    samples = samplesPerChannel;
    triggerSetRange(4, samplesPerChannel - 8, 127, 125, 16);
    triggerRefreshPos();
}

int TriggerModel::clampPosition(int position) const
{
    return dataValueRangeTrunk(position, positionMin, positionMax);
}

void TriggerModel::triggerSetPosition(int position, int level)
{
    TriggerChannelRecord &r = mutableCurrent();
    r.position = clampPosition(position);
    r.level = dataValueRangeTrunk(level, -levelMax, levelMax);
}

void TriggerModel::triggerSetPositionWin1(int position, int low)
{
    TriggerChannelRecord &r = mutableCurrent();
    r.position = clampPosition(position);
    low = dataValueRangeTrunk(low, -windowMax, windowMax - gap);
    if (low > r.windowHigh - gap)
        low = r.windowHigh - gap;
    r.windowLow = low;
}

void TriggerModel::triggerSetPositionWin2(int position, int high)
{
    TriggerChannelRecord &r = mutableCurrent();
    r.position = clampPosition(position);
    high = dataValueRangeTrunk(high, -windowMax + gap, windowMax);
    if (high < r.windowLow + gap)
        high = r.windowLow + gap;
    r.windowHigh = high;
}

int TriggerModel::triggerPosXPlotToInt(double x)
{
    if (!std::isfinite(x))
        return 0;
    // Far outside the plot only matters as "beyond the range"; keep it in int.
    return int(std::max(-1.0e6, std::min(1.0e6, std::trunc(x * 0.5))));
}

void TriggerModel::triggerSetPositionCoord(double x, double y)
{
    triggerSetPosition(triggerPosXPlotToInt(x), triggerPosYPixelToInt(y));
}

void TriggerModel::triggerSetPositionWin1Coord(double x, double y)
{
    triggerSetPositionWin1(triggerPosXPlotToInt(x), triggerPosYPixelToInt(y));
}

void TriggerModel::triggerSetPositionWin2Coord(double x, double y)
{
    triggerSetPositionWin2(triggerPosXPlotToInt(x), triggerPosYPixelToInt(y));
}

void TriggerModel::triggerRefreshPos()
{
    const TriggerChannelRecord r = current();
    if (triggerType == Trigger::Window) {
        triggerSetPositionWin1(r.position, r.windowLow);
        triggerSetPositionWin2(r.position, r.windowHigh);
    } else {
        triggerSetPosition(r.position, r.level);
    }
}

double TriggerModel::levelToPlotY(int level) const
{
    return 640.0 + level * 1.5625 + current().offset;
}

int TriggerModel::triggerPosYPixelToInt(double plotY) const
{
    if (!std::isfinite(plotY))
        return 0;
    const double level = std::trunc((plotY - 640.0 - current().offset) / 1.5625);
    // Far outside the plot only matters as "beyond the range"; keep it in int.
    return int(std::max(-1.0e6, std::min(1.0e6, level)));
}

int TriggerModel::triggerPosYBit(int bit) const
{
    const TriggerChannelRecord &r = current();
    return 640 + bit * (r.size + 20) + r.size / 2 + 2 + r.offset;
}

double TriggerModel::triggerPosXIntToPixel(int position, const PlotGeometry::AxisMapping &keyAxis) const
{
    return keyAxis.coordToPixel(triggerPosXIntToPlot(position));
}

double TriggerModel::triggerPosYIntToPixel(int level, const PlotGeometry::AxisMapping &valueAxis) const
{
    return valueAxis.coordToPixel(levelToPlotY(level));
}

TriggerModel::MarkerPixel TriggerModel::triggerMarkerPixel(const PlotGeometry::AxisMapping &keyAxis,
                                                           const PlotGeometry::AxisMapping &valueAxis,
                                                           bool force) const
{
    const TriggerChannelRecord &r = current();
    // In slow sampling the instrument rolls and the trigger point has no
    // place on the time axis, so the marker waits at the left edge.
    const double x = slowSampling ? 24.0 : triggerPosXIntToPixel(r.position, keyAxis);
    const double y = currentChannel == Trigger::ChannelLogic ? valueAxis.coordToPixel(triggerPosYBit(r.bit))
                                                             : triggerPosYIntToPixel(r.level, valueAxis);
    return {force || enabled, QPointF(x, y)};
}

TriggerModel::WindowPixels TriggerModel::windowMarkerPixels(const PlotGeometry::AxisMapping &keyAxis,
                                                            const PlotGeometry::AxisMapping &valueAxis,
                                                            bool force) const
{
    const TriggerChannelRecord &r = current();
    const double x = slowSampling ? 24.0 : triggerPosXIntToPixel(r.position, keyAxis);
    return {force || enabled, QPointF(x, triggerPosYIntToPixel(r.windowLow, valueAxis)),
            QPointF(x, triggerPosYIntToPixel(r.windowHigh, valueAxis))};
}

TriggerModel::Visibility TriggerModel::markerVisibility() const
{
    const bool shown = enabled && visible;
    const bool window = triggerType == Trigger::Window;
    return {shown && !window, shown && window};
}

TriggerModel::Icons TriggerModel::markerIcons() const
{
    Icons icons{enabled, QString(), QString(), QString()};
    if (!enabled)
        return icons;
    if (triggerType == Trigger::Window) {
        if (triggerSource == Trigger::SourceCh1 || triggerSource == Trigger::SourceCh2) {
            const QStringList list = Trigger::iconList(triggerSource == Trigger::SourceCh1);
            icons.windowLow = list.at(6);
            icons.windowHigh = list.at(5);
        }
    } else {
        icons.trigger = Trigger::iconList(triggerSource == Trigger::SourceCh1).at(triggerType);
    }
    return icons;
}

int TriggerModel::triggerControlValue(Trigger::Mode mode) const
{
    ConfigProtocol::TriggerControls c;
    c.free = mode == Trigger::Free;
    c.normal = mode == Trigger::Normal;
    c.single = mode == Trigger::Single;
    c.autoMode = mode == Trigger::Auto;
    c.fallingOrNegative = triggerType == Trigger::FallingEdge || triggerType == Trigger::NegativeSlope;
    c.slope = triggerType == Trigger::PositiveSlope || triggerType == Trigger::NegativeSlope;
    c.window = triggerType == Trigger::Window;
    c.edge = triggerType == Trigger::RisingEdge || triggerType == Trigger::FallingEdge;
    return ConfigProtocol::triggerControlByte(c);
}

TriggerModel::ModeChange TriggerModel::modeChange(Trigger::Mode mode, bool xyMode) const
{
    if (mode == Trigger::Free)
        return {false, false, true};
    // In XY mode CH1 is the horizontal axis: a level marker on it means nothing.
    const bool markers = !(xyMode && triggerSource == Trigger::SourceCh1);
    return {true, markers, mode != Trigger::Single};
}

ConfigWrite TriggerModel::postWrite() const
{
    return {ConfigEntry::TriggerPost, ConfigProtocol::triggerPost(samples, current().position)};
}

ConfigWrite TriggerModel::levelWrite() const
{
    return {ConfigEntry::TriggerLevel, current().level};
}

ConfigWrite TriggerModel::windowLowWrite() const
{
    return {ConfigEntry::TriggerWin1, current().windowLow};
}

ConfigWrite TriggerModel::windowHighWrite() const
{
    return {ConfigEntry::TriggerWin2, current().windowHigh};
}

ConfigWrite TriggerModel::sourceWrite() const
{
    return {ConfigEntry::TriggerSource, triggerSource};
}

TriggerModel::SourceChange TriggerModel::sourceChanged(int index, Trigger::Mode mode)
{
    index = dataValueRangeTrunk(index, Trigger::SourceCh1, Trigger::SourceSchmitt);
    SourceChange change{true, false, {}};
    if (index <= Trigger::SourceCh2) {
        triggerSetChannel(index);
        triggerSetSource(index);
        change.writes << sourceWrite();
    } else {
        triggerSetChannel(Trigger::ChannelLogic);
        // EXT and Schmitt keep whichever bit was chosen last.
        if (index <= Trigger::SourceBit7)
            triggerSetChannelBit(Trigger::ChannelLogic, index - Trigger::SourceBit0);
        triggerSetSource(index);
        change.writes << sourceWrite();
        // Digital inputs have no level to slope or window on.
        change.slopeAndWindowEnabled = false;
        if (triggerType == Trigger::PositiveSlope || triggerType == Trigger::NegativeSlope ||
            triggerType == Trigger::Window) {
            triggerSetMode(Trigger::RisingEdge);
            change.typeChanged = true;
            change.writes << ConfigWrite{ConfigEntry::TriggerControls, triggerControlValue(mode)};
        }
    }
    triggerRefreshPos();
    change.writes << postWrite() << levelWrite() << windowLowWrite() << windowHighWrite();
    return change;
}

TriggerModel::InvertChange TriggerModel::invertToggled(int channel, Trigger::Mode mode)
{
    InvertChange change{false, {}};
    if (channel != Trigger::ChannelCh1 && channel != Trigger::ChannelCh2)
        return change;
    if (triggerSource != channel)
        return change;
    const int type = triggerType;
    if (type == Trigger::RisingEdge || type == Trigger::FallingEdge) {
        triggerSetMode(type == Trigger::RisingEdge ? Trigger::FallingEdge : Trigger::RisingEdge);
        change.typeChanged = true;
        change.writes << ConfigWrite{ConfigEntry::TriggerControls, triggerControlValue(mode)};
    }
    if (type == Trigger::RisingEdge || type == Trigger::FallingEdge || type == Trigger::DualEdge) {
        const TriggerChannelRecord &r = records[channel];
        triggerSetPosition(r.position, -r.level);
        change.writes << levelWrite();
    }
    return change;
}

QVector<ConfigWrite> TriggerModel::dragMarker(Marker marker, double plotX, double plotY, bool freeMode)
{
    switch (marker) {
    case Marker::Trigger:
        triggerSetPositionCoord(plotX, plotY);
        break;
    case Marker::WindowLow:
        triggerSetPositionWin1Coord(plotX, plotY);
        break;
    case Marker::WindowHigh:
        triggerSetPositionWin2Coord(plotX, plotY);
        break;
    }
    return markerWrites(marker, freeMode);
}

QVector<ConfigWrite> TriggerModel::nudgeMarker(Marker marker, int samples, int levels, bool freeMode)
{
    const TriggerChannelRecord r = current();
    // A logic source's marker sits on its bit, which has no level to move.
    if (triggerSource > Trigger::SourceCh2)
        levels = 0;
    switch (marker) {
    case Marker::Trigger:
        triggerSetPosition(r.position + samples, r.level + levels);
        break;
    case Marker::WindowLow:
        triggerSetPositionWin1(r.position + samples, r.windowLow + levels);
        break;
    case Marker::WindowHigh:
        triggerSetPositionWin2(r.position + samples, r.windowHigh + levels);
        break;
    }
    return markerWrites(marker, freeMode);
}

QVector<ConfigWrite> TriggerModel::markerWrites(Marker marker, bool freeMode) const
{
    QVector<ConfigWrite> writes;
    if (freeMode)
        return writes;
    if (triggerSource <= Trigger::SourceCh2) {
        switch (marker) {
        case Marker::Trigger:
            writes << levelWrite();
            break;
        case Marker::WindowLow:
            writes << windowLowWrite();
            break;
        case Marker::WindowHigh:
            writes << windowHighWrite();
            break;
        }
    }
    writes << postWrite();
    return writes;
}

void TriggerModel::restoreRecord(int channel, const TriggerChannelRecord &stored)
{
    TriggerChannelRecord &r = records[dataValueRangeTrunk(channel, 0, 2)];
    r.position = stored.position;
    r.level = stored.level;
    r.windowLow = stored.windowLow;
    r.windowHigh = stored.windowHigh;
}
