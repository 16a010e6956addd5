// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// Geometry of the scope plot that needs no widget: the mapping between plot
// units and pixels, which handle a press picks, how far the axes may zoom
// and pan, the scroll bar settings that follow them, the zero-handle drags,
// the logic label rows and the persistence colours.

#include <QColor>
#include <QPointF>

#include <array>

namespace PlotGeometry {

constexpr double plotHeight = 1280.0;
constexpr double plotCentre = 640.0;
constexpr double minimumXSpan = 256.0;
constexpr double minimumYSpan = 512.0;
constexpr double pickDistance = 8.0;
constexpr int noSelection = 10;

// Selection numbers of the draggable items.
enum Selection {
    HCursorA = 0,
    HCursorB = 1,
    VCursorA = 2,
    VCursorB = 3,
    TriggerMarker = 4,
    WindowLowMarker = 5,
    WindowHighMarker = 6,
    Ch1Zero = 7,
    Ch2Zero = 8,
    LogicZero = 9,
    None = noSelection
};

// The key span that makes the grid's divisions about square (a division
// is 64 units up and 32 across) on a plot `width` x `height` pixels wide
// showing `valueSpan` units upright: whole divisions, held to
// minimumXSpan .. `keyExtent`.
double squareKeySpan(int width, int height, double valueSpan, double keyExtent);

// A linear axis: `lower` .. `upper` plot units drawn from pixel `pixelFrom`
// to pixel `pixelTo` (for a value axis pixelFrom is the bottom edge).
struct AxisMapping {
    double lower = 0.0;
    double upper = 1.0;
    double pixelFrom = 0.0;
    double pixelTo = 1.0;

    double coordToPixel(double value) const;
    double pixelToCoord(double pixel) const;
};

// Distances from the pointer to each item as the plot's selection test
// reports them, indexed by selection number 0..9; a negative distance means
// the item is hidden or was not hit at all.
using ItemDistances = std::array<double, 10>;

// The item a press picks: only the left button counts, items are tried in
// the order horizontal A, B, vertical A, B, the three zero handles, the
// trigger marker and the two window markers, and the first one closer than
// 8 pixels wins. Returns noSelection when nothing is that close.
int pickSelection(const ItemDistances &distances, bool leftButton);

// The pen colour a held item is drawn with; `triggerSource` is the index of
// the trigger source box. Invalid for noSelection.
QColor selectionHighlightColor(int selection, int triggerSource);

// Pointer pixels are rounded to whole pixels, halves away from zero.
QPointF roundedPointer(const QPointF &pixel);

struct AxisRange {
    double lower;
    double upper;
};

// Keeps the key axis inside 0 .. xExtent and at least 256 units wide.
AxisRange limitXRange(double lower, double upper, double xExtent);
// Keeps the value axis inside 0 .. 1280 and at least 512 units tall.
AxisRange limitYRange(double lower, double upper);

struct ScrollBarSetting {
    int pageStep;
    int minimum;
    int maximum;
    int value;
};

ScrollBarSetting horizontalScrollBar(double lower, double upper, double xExtent);
// The visible key range after the bar moved to `value`, keeping its span.
AxisRange horizontalRangeFromScrollBar(int value, double span);
// The vertical bar runs upside down: its value is 1280 − upper.
ScrollBarSetting verticalScrollBar(double lower, double upper);
AxisRange verticalRangeFromScrollBar(int value, int maximum, double span);

// A CH1 or CH2 zero handle dragged to plot value `plotY` (already held to
// 128 .. 1152): the position slider value, so that the top of the band gives
// the slider's maximum and the bottom its minimum.
int zeroHandleSliderValue(double plotY, int sliderMinimum, int sliderMaximum);
// The logic zero handle, held to 8 .. 1032.
int logicZeroHandleSliderValue(double plotY, int sliderMinimum, int sliderMaximum);
// The plot value band the handles may be dragged in.
constexpr double analogZeroHandleLow = 128.0;
constexpr double analogZeroHandleHigh = plotHeight - 128.0;
constexpr double logicZeroHandleLow = 8.0;
constexpr double logicZeroHandleHigh = plotHeight - 248.0;
// Holds a pointer pixel between the pixels of two plot values on the value axis.
double clampPixelToBand(double pixel, const AxisMapping &valueAxis, double low, double high);

// Base level of logic bit b: position + (size + 20) × b + 640.
int logicBitBase(int bit, int logicPosition, int logicSize);
// Plot level of bit b's label: base + size / 6 + 5.
int logicLabelLevel(int bit, int logicPosition, int logicSize);
// Pixel x of the logic labels: side 0 46 pixels right of the visible left
// edge, side 1 50 pixels left of the visible right edge.
double logicLabelX(int side, double leftPixel, double rightPixel);
// The logic labels' font for `room` pixels between two bits: as tall as the
// room allows (a line is 1.2 of the font's size), 13 pixels at most. Below
// 8 pixels the odd bits' labels stand beside the even ones (staggered), so
// that a label only needs the room of two bits.
struct LogicLabelLayout {
    int pixelSize;
    bool staggered;
};
LogicLabelLayout logicLabelLayout(double room);

struct CursorLabelPositions {
    QPointF deltaTime;
    QPointF frequency;
    QPointF deltaVolt;
    QPointF voltB;
    QPointF voltA;
};
CursorLabelPositions cursorLabelPositions(double width, double height);

// The persistence colour of one decay level: hue and saturation of the
// theme's decay pen, lightness from the trace pen's lightness l faded by the
// intensity slider (0..10): l − (l − 0.05) × value / 10 for intensity mode 0,
// one minus that for mode 1. Always opaque.
QColor persistenceColor(const QColor &decayPen, const QColor &tracePen, int value, int intensityMode);

// Grid option index to pen style: 0 none, 1 dotted, 2 and 3 solid; any
// other index keeps `previous`.
Qt::PenStyle gridPenStyle(int index, Qt::PenStyle previous);

} // namespace PlotGeometry
