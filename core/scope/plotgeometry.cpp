// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/plotgeometry.h"

#include "core/scope/scaletables.h"

#include <algorithm>
#include <cmath>

namespace PlotGeometry {

double AxisMapping::coordToPixel(double value) const
{
    const double span = upper - lower;
    if (span == 0.0)
        return pixelFrom;
    return pixelFrom + (value - lower) * (pixelTo - pixelFrom) / span;
}

double AxisMapping::pixelToCoord(double pixel) const
{
    const double pixels = pixelTo - pixelFrom;
    if (pixels == 0.0)
        return lower;
    return lower + (pixel - pixelFrom) * (upper - lower) / pixels;
}

int pickSelection(const ItemDistances &distances, bool leftButton)
{
    if (!leftButton)
        return noSelection;
    // A press on a trigger marker's picture picks the marker: at start it lies
    // under the CH1 zero handle, which would otherwise always win.
    for (int marker : {TriggerMarker, WindowLowMarker, WindowHighMarker}) {
        if (distances[size_t(marker)] == 0.0)
            return marker;
    }
    static const int order[] = {HCursorA,  HCursorB,  VCursorA,      VCursorB,        Ch1Zero,
                                Ch2Zero,   LogicZero, TriggerMarker, WindowLowMarker, WindowHighMarker};
    for (int item : order) {
        const double d = distances[size_t(item)];
        if (d >= 0.0 && d < pickDistance)
            return item;
    }
    return noSelection;
}

QColor selectionHighlightColor(int selection, int triggerSource)
{
    switch (selection) {
    case HCursorA:
    case HCursorB:
        return QColor(QStringLiteral("#1692e5"));
    case VCursorA:
    case VCursorB:
        return QColor(QStringLiteral("#e04e4e"));
    case TriggerMarker:
    case WindowLowMarker:
    case WindowHighMarker:
        return triggerSource == 0 ? QColor(75, 229, 28) : QColor(QStringLiteral("#ff0000"));
    case Ch1Zero:
    case Ch2Zero:
    case LogicZero:
        return QColor(QStringLiteral("#f9a94c"));
    default:
        return QColor();
    }
}

QPointF roundedPointer(const QPointF &pixel)
{
    return QPointF(std::round(pixel.x()), std::round(pixel.y()));
}

namespace {
AxisRange limitRange(double lower, double upper, double extent, double minimumSpan)
{
    if (lower < 0.0)
        lower = 0.0;
    if (lower > extent - minimumSpan)
        lower = extent - minimumSpan;
    if (upper > extent)
        upper = extent;
    if (upper < lower + minimumSpan)
        upper = lower + minimumSpan;
    return {lower, upper};
}
} // namespace

AxisRange limitXRange(double lower, double upper, double xExtent)
{
    return limitRange(lower, upper, xExtent, minimumXSpan);
}

AxisRange limitYRange(double lower, double upper)
{
    return limitRange(lower, upper, plotHeight, minimumYSpan);
}

ScrollBarSetting horizontalScrollBar(double lower, double upper, double xExtent)
{
    const int span = int(upper - lower);
    return {span, 0, std::max(0, int(xExtent) - span), int(lower)};
}

AxisRange horizontalRangeFromScrollBar(int value, double span)
{
    return {double(value), double(value) + span};
}

ScrollBarSetting verticalScrollBar(double lower, double upper)
{
    const int span = int(upper - lower);
    return {span, 0, std::max(0, int(plotHeight) - span), int(plotHeight - upper)};
}

AxisRange verticalRangeFromScrollBar(int value, int maximum, double span)
{
    const double lower = double(maximum - value);
    return {lower, lower + span};
}

// A plot value outside the band (or none at all, from a plot without
// height) is held to the band, so the conversion to int stays defined.
static double heldToBand(double plotY, double low, double high)
{
    if (!std::isfinite(plotY))
        return (low + high) / 2.0;
    return std::clamp(plotY, low, high);
}

int zeroHandleSliderValue(double plotY, int sliderMinimum, int sliderMaximum)
{
    plotY = heldToBand(plotY, analogZeroHandleLow, analogZeroHandleHigh);
    return -ScaleTables::mapRange(int(plotY), int(analogZeroHandleHigh), int(analogZeroHandleLow), sliderMaximum, sliderMinimum);
}

int logicZeroHandleSliderValue(double plotY, int sliderMinimum, int sliderMaximum)
{
    plotY = heldToBand(plotY, logicZeroHandleLow, logicZeroHandleHigh);
    return -ScaleTables::mapRange(int(plotY) - 240, int(logicZeroHandleHigh), int(logicZeroHandleLow), sliderMaximum,
                     sliderMinimum);
}

double clampPixelToBand(double pixel, const AxisMapping &valueAxis, double low, double high)
{
    const double a = valueAxis.coordToPixel(low);
    const double b = valueAxis.coordToPixel(high);
    return std::clamp(pixel, std::min(a, b), std::max(a, b));
}

int logicBitBase(int bit, int logicPosition, int logicSize)
{
    return logicPosition + (logicSize + 20) * bit + int(plotCentre);
}

int logicLabelLevel(int bit, int logicPosition, int logicSize)
{
    return logicBitBase(bit, logicPosition, logicSize) + logicSize / 6 + 5;
}

double logicLabelX(int side, double leftPixel, double rightPixel)
{
    return side == 1 ? rightPixel - 50.0 : leftPixel + 46.0;
}

LogicLabelLayout logicLabelLayout(double room)
{
    const auto fits = [](double pixels) { return int(std::clamp(std::floor(pixels / 1.2), 0.0, 13.0)); };
    if (!std::isfinite(room) || room < 0.0)
        room = 0.0;
    if (fits(room) >= 8)
        return {fits(room), false};
    return {std::max(7, fits(2.0 * room)), true};
}

CursorLabelPositions cursorLabelPositions(double width, double height)
{
    return {QPointF(width - 24, 25), QPointF(width - 24, 40), QPointF(width - 149, height - 44),
            QPointF(width - 149, height - 59), QPointF(width - 149, height - 74)};
}

QColor persistenceColor(const QColor &decayPen, const QColor &tracePen, int value, int intensityMode)
{
    const double fade = std::clamp(value, 0, 10) / 10.0;
    const double l = tracePen.lightnessF();
    double lightness = l - (l - 0.05) * fade;
    if (intensityMode == 1)
        lightness = 1.0 - lightness;
    lightness = std::clamp(lightness, 0.0, 1.0);
    const QColor hsl = decayPen.toHsl();
    // An achromatic pen has no hue (−1); keep it grey rather than invalid.
    const double hue = std::max(0.0, hsl.hslHueF());
    return QColor::fromHslF(hue, hsl.hslSaturationF(), lightness, 1.0);
}

Qt::PenStyle gridPenStyle(int index, Qt::PenStyle previous)
{
    switch (index) {
    case 0:
        return Qt::NoPen;
    case 1:
        return Qt::DotLine;
    case 2:
    case 3:
        return Qt::SolidLine;
    default:
        return previous;
    }
}

double squareKeySpan(int width, int height, double valueSpan, double keyExtent)
{
    if (width <= 0 || height <= 0 || valueSpan <= 0)
        return minimumXSpan;
    const double divisionPixels = height / (valueSpan / 64.0);
    const double span = std::round(width / divisionPixels) * 32.0;
    return std::max(minimumXSpan, std::min(span, std::max(minimumXSpan, keyExtent)));
}

} // namespace PlotGeometry
