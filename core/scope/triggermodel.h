// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The trigger as the host sees it: mode, type and source rules, the three
// channel records with their positions and levels, the ranges they are held
// to, and the mapping between those values and plot units and pixels. The
// instrument does the triggering; this only decides what it is told and
// where the markers go.

#include "core/scope/plotgeometry.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Trigger {

enum Type { RisingEdge = 0, FallingEdge = 1, DualEdge = 2, PositiveSlope = 3, NegativeSlope = 4, Window = 5 };
enum Mode { Free, Normal, Auto, Single };
enum Source { SourceCh1 = 0, SourceCh2 = 1, SourceBit0 = 2, SourceBit7 = 9, SourceExt = 10, SourceSchmitt = 11 };
enum Channel { ChannelCh1 = 0, ChannelCh2 = 1, ChannelLogic = 2 };

// One configuration write: the entry index and its value.
struct ConfigWrite {
    int index;
    int value;
    bool operator==(const ConfigWrite &other) const { return index == other.index && value == other.value; }
};

// The texts of the source box, in order.
QStringList sourceTexts();
// The marker icons under ":/icons/": rising, falling, dual, positive,
// negative, window1, window2, from the green set or the red set.
QStringList iconList(bool green);

// Entry 15: the hold time truncated, low 8 bits.
int triggerHoldValue(double holdTime);
// Entry 20: trunc(seconds / 0.04096 − 1), held to the byte.
int autoTriggerValue(double seconds);

// What the acquisition is doing, as the plot's badge says it. The
// instrument does not report it: it is read from the run state, the mode
// and when frames came.
enum class Status { Auto, Armed, Triggered, Stopped, Roll };
QString statusText(Status status);
struct Activity {
    bool running = false;
    bool roll = false;
    Mode mode = Free;
    // Since the newest frame, -1 when none came since the scope was started.
    double sinceFrameMs = -1.0;
    // Between the last two frames, -1 when there were not two.
    double lastGapMs = -1.0;
    double autoTimeoutMs = 40.96;
    // How long one frame takes to acquire at the time base in use.
    double frameMs = 0.0;
};
// Stopped when not running; Roll in roll mode; Free runs untriggered (Auto);
// Single waits (Armed) until its frame stops it. Normal is Triggered while
// frames keep coming (none for two frame times and a second: Armed again).
// Auto is Triggered while frames come faster than its time-out, which only
// the trigger can do; frames at the time-out's pace, or none, are Auto.
Status status(const Activity &activity);

// A trigger level in volts for a level in counts at a gain, and back
// (rounded to the nearest count).
double levelVolts(int level, int gain);
int levelCounts(double volts, int gain);

} // namespace Trigger

struct TriggerChannelRecord {
    int position = 0; // pre-trigger samples
    int level = 0;
    int windowLow = 0;
    int windowHigh = 0;
    int offset = 0; // the channel's vertical position in plot units
    int bit = 0;
    int size = 0; // logic trace height
};

class TriggerModel
{
public:
    TriggerModel();

    void triggerInit();
    void triggerSetEnable(bool on) { enabled = on; }
    void triggerSetVisible(bool on) { visible = on; }
    void triggerSetMode(int type);
    void triggerSetSource(int index);
    void triggerSetChannel(int channel);
    void triggerSetChannelOffset(int channel, int offset);
    void triggerSetChannelBit(int channel, int bit);
    void triggerSetChannelSize(int channel, int size);
    void triggerSetRange(int minPosition, int maxPosition, int levelLimit, int windowLimit, int gap);
    void triggerSetSlowSamplingRate(bool on) { slowSampling = on; }
    // A new frame size: the ranges the frame size handler uses, (4, n − 8, 127, 125, 16).
    void setFrameSize(int samples);

    void triggerSetPosition(int position, int level);
    void triggerSetPositionWin1(int position, int low);
    void triggerSetPositionWin2(int position, int high);
    // The same from plot coordinates (x in key units, y in value units).
    void triggerSetPositionCoord(double x, double y);
    void triggerSetPositionWin1Coord(double x, double y);
    void triggerSetPositionWin2Coord(double x, double y);
    void triggerRefreshPos();

    // Plot units and pixels of the current record.
    static double triggerPosXIntToPlot(int position) { return 2.0 * position; }
    static int triggerPosXPlotToInt(double x);
    double levelToPlotY(int level) const;
    // Takes a plot coordinate, not a pixel, whatever its name says.
    int triggerPosYPixelToInt(double plotY) const;
    int triggerPosYBit(int bit) const;
    double triggerPosXIntToPixel(int position, const PlotGeometry::AxisMapping &keyAxis) const;
    double triggerPosYIntToPixel(int level, const PlotGeometry::AxisMapping &valueAxis) const;

    // Where a marker goes: `move` is false when the markers may not move
    // (not enabled and not forced).
    struct MarkerPixel {
        bool move;
        QPointF pixel;
    };
    struct WindowPixels {
        bool move;
        QPointF low;
        QPointF high;
    };
    MarkerPixel triggerMarkerPixel(const PlotGeometry::AxisMapping &keyAxis,
                                   const PlotGeometry::AxisMapping &valueAxis, bool force = false) const;
    WindowPixels windowMarkerPixels(const PlotGeometry::AxisMapping &keyAxis,
                                    const PlotGeometry::AxisMapping &valueAxis, bool force = false) const;

    struct Visibility {
        bool trigger;
        bool window;
    };
    Visibility markerVisibility() const;

    // Icon file names; an empty name leaves the marker's icon as it is, and
    // `apply` is false while the trigger is not enabled.
    struct Icons {
        bool apply;
        QString trigger;
        QString windowLow;
        QString windowHigh;
    };
    Icons markerIcons() const;

    // Entry 7 for the checked mode button and the stored type.
    int triggerControlValue(Trigger::Mode mode) const;

    // What a mode button does to the other controls.
    struct ModeChange {
        bool forceEnabled;
        bool markersVisible;
        bool startAcquisition;
    };
    ModeChange modeChange(Trigger::Mode mode, bool xyMode) const;

    // A new source: stores it, picks the channel record and bit, falls back
    // to rising edge where the source has no slope or window, and lists the
    // writes to send in order (source, the control byte when the type
    // changed, then post, level, window low, window high).
    struct SourceChange {
        bool slopeAndWindowEnabled;
        bool typeChanged; // rising edge is now the type; check its button
        QVector<Trigger::ConfigWrite> writes;
    };
    SourceChange sourceChanged(int index, Trigger::Mode mode);

    // An inverted analog channel: the edge turns over and the level changes
    // sign when that channel is the source.
    struct InvertChange {
        bool typeChanged;
        QVector<Trigger::ConfigWrite> writes;
    };
    InvertChange invertToggled(int channel, Trigger::Mode mode);

    enum class Marker { Trigger, WindowLow, WindowHigh };
    // A marker dragged to plot coordinates: stores the result and lists the
    // writes (none in Free mode; the level only for analog sources).
    QVector<Trigger::ConfigWrite> dragMarker(Marker marker, double plotX, double plotY, bool freeMode);
    // A marker moved from the keyboard by whole samples along the time axis
    // and whole level counts (analog sources only), with a drag's writes.
    QVector<Trigger::ConfigWrite> nudgeMarker(Marker marker, int samples, int levels, bool freeMode);

    Trigger::ConfigWrite postWrite() const;
    Trigger::ConfigWrite levelWrite() const;
    Trigger::ConfigWrite windowLowWrite() const;
    Trigger::ConfigWrite windowHighWrite() const;
    Trigger::ConfigWrite sourceWrite() const;

    bool isEnabled() const { return enabled; }
    bool isVisible() const { return visible; }
    int type() const { return triggerType; }
    int source() const { return triggerSource; }
    int channel() const { return currentChannel; }
    bool slowSamplingRate() const { return slowSampling; }
    int samplesPerChannel() const { return samples; }
    const TriggerChannelRecord &record(int channel) const;
    const TriggerChannelRecord &current() const { return record(currentChannel); }
    int minimumPosition() const { return positionMin; }
    int maximumPosition() const { return positionMax; }
    int levelLimit() const { return levelMax; }
    int windowLimit() const { return windowMax; }
    int windowGap() const { return gap; }
    // A record's position and levels as kept between runs (its offset, bit
    // and size stay): the ranges of the frame in use hold them once the
    // record is placed.
    void restoreRecord(int channel, const TriggerChannelRecord &stored);

private:
    TriggerChannelRecord &mutableCurrent() { return records[currentChannel]; }
    QVector<Trigger::ConfigWrite> markerWrites(Marker marker, bool freeMode) const;
    int clampPosition(int position) const;

    bool enabled = false;
    bool visible = false;
    int triggerType = Trigger::RisingEdge;
    int triggerSource = Trigger::SourceCh1;
    int currentChannel = Trigger::ChannelCh1;
    TriggerChannelRecord records[3];
    int positionMin = 4;
    int positionMax = 760;
    int levelMax = 125;
    int windowMax = 125;
    int gap = 16;
    bool slowSampling = false;
    int samples = 768;
};
