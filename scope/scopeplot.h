// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/scope/plotgeometry.h"

#include <QBrush>
#include <QColor>
#include <QObject>
#include <QVector>

#include <array>

class CustomColors;
class CustomTheme;
class QCPAbstractItem;
class QCPCurve;
class QCPGraph;
class QCPItemPixmap;
class QCPItemStraightLine;
class QCPItemText;
class QCPItemTracer;
class QCPRange;
class QCustomPlot;
class QLabel;
class QWidget;
class PlotCanvas;
class VeltoGraph;
class PersistenceImage;
class ScopeOptions;
struct ScopeState;
namespace Ui {
class VeltoInterface;
}

// The plot's graphs, in drawing order (later graphs draw over earlier ones).
struct ScopeGraphs {
    QCPGraph *ch1 = nullptr;
    QCPGraph *ch1Reference = nullptr;
    QCPGraph *ch2 = nullptr;
    QCPGraph *ch2Reference = nullptr;
    QCPGraph *decay[2][9] = {};
    QCPGraph *logic[8] = {};
    QCPGraph *logicBase[8] = {};
    QCPGraph *logicReference[8] = {};
    QCPGraph *fft[2] = {};
    // XY mode: CH2 against CH1 in the order of the samples, in CH1's colour.
    QCPCurve *xy = nullptr;
    // Every graph above, for the drawing options that apply to all of them.
    QVector<VeltoGraph *> all;
    // The persistence picture, under everything else on the plot.
    PersistenceImage *persistence = nullptr;
};

// The plot's items: handles, lines, labels, tracers and markers.
struct ScopeItems {
    QCPItemPixmap *hCursorHandle[2] = {};
    QCPItemStraightLine *hCursorLine[2] = {};
    QCPItemPixmap *vCursorHandle[2] = {};
    QCPItemStraightLine *vCursorLine[2] = {};
    QCPItemTracer *tracers[2][2] = {}; // [channel][cursor]
    QCPItemText *labelDeltaTime = nullptr;
    QCPItemText *labelFrequency = nullptr;
    QCPItemText *labelDeltaVolt = nullptr;
    QCPItemText *labelVoltA = nullptr;
    QCPItemText *labelVoltB = nullptr;
    QCPItemText *logicLabels[8] = {};
    QCPItemPixmap *zeroHandle[3] = {};
    QCPItemStraightLine *zeroLine[3] = {};
    QCPItemPixmap *ch1vZeroHandle = nullptr;
    QCPItemStraightLine *ch1vZeroLine = nullptr;
    QCPItemPixmap *triggerMarker = nullptr;
    QCPItemPixmap *windowMarker[2] = {}; // low, high
    // Centred on the plot: why there is no instrument and what to do.
    QCPItemText *note = nullptr;
    // Top left on the plot: what the trigger is doing.
    QCPItemText *triggerBadge = nullptr;
    // Beside the trigger marker: its level in volts.
    QCPItemText *triggerLevelLabel = nullptr;
    // The draggable items in the order of their selection numbers.
    QVector<QCPAbstractItem *> selectable() const;
};

// The oscilloscope plot: axes, graphs, items, grid, drawing options, the
// colour themes, the zero indicators, the logic labels and the scroll bars.
class ScopePlot : public QObject
{
    Q_OBJECT
public:
    ScopePlot(Ui::VeltoInterface *ui, ScopeState *state, const ScopeOptions *options, QObject *parent = nullptr);
    ~ScopePlot() override;

    // The plot layer under the live traces that holds the references and
    // the persistence history.
    static const QString historyLayer;

    QCustomPlot *plot() const { return customPlot; }
    // The theme's background, as the plot shows it.
    QBrush background() const { return themeBackground; }
    const ScopeGraphs &graphs() const { return graphList; }
    const ScopeItems &items() const { return itemList; }
    CustomTheme *customThemeDialog() const { return themeDialog; }
    // The plot axes as plain mappings between plot units and pixels.
    PlotGeometry::AxisMapping keyAxisMapping() const;
    PlotGeometry::AxisMapping valueAxisMapping() const;
    // While true, a theme choice does not open the custom theme dialog.
    void setStartingUp(bool on) { startingUp = on; }

    void displayControlsSet();
    void setupScatterStyles(bool vectors);
    void displayVectorsChanged(bool on);
    void displayIntensitySliderChanged(int value);
    void displayGridStyleChanged(int index);
    void gridBoxSet(const QColor &colour, Qt::PenStyle style);
    // Custom opens the custom theme dialog, unless Custom is already on the
    // plot and `editCustom` is false (the options were only applied again).
    void displayThemeChanged(int theme, bool editCustom = false);
    void setTheme(int theme, CustomColors *colours);
    // Shows `icon` on a marker, its fill in the colour the theme gives the
    // channel the marker belongs to; a theme change recolours it again.
    void setMarkerIcon(QCPItemPixmap *item, const QString &icon);

    int logicBitPos0(int bit) const;
    void logicLabelPositionSet(int side);
    void logicLabelsRefresh();
    // The legend's entries for the logic bits on the plot: one swatch in
    // each drawn bit's colour, the whole entry hidden when none is drawn.
    void showLogicLegend(const std::array<bool, 8> &drawn);
    QWidget *logicLegend() const { return logicLegendBox; }
    // The note in the middle of the plot; empty hides it.
    void setNote(const QString &text);
    const QString &note() const { return noteText; }
    void zeroHeadRefresh();
    void ch1vZeroRefresh();
    void showCH1ZeroVerticalIndicator(bool on);
    void showCH2ZeroVerticalIndicator(bool on);
    void showCHDZeroVerticalIndicator(bool on);
    // XY mode's view: the key axis in CH1's volts, a division as wide as it
    // is high, centred on CH1's zero; off, the time view comes back as it was.
    void setXYView(bool on);
    // Keeps XY's divisions square as the plot's box changes.
    void fitXYKeys();

    void setHorizontalScrollBar(double lower, double upper);
    void setVerticalScrollBar(double lower, double upper);
    void horizontalScrollBarChanged(int value);
    void verticalScrollBarChanged(int value);
    void xAxisChanged(const QCPRange &range);
    void yAxisChanged(const QCPRange &range);
    // Re-places the cursor labels and everything placed in pixels after a resize.
    void sizeChanged();
    // Places a handle: centred on the point, or with its left edge's middle on it.
    static void placeHandle(QCPItemPixmap *item, double x, double y, bool centred);

    // An item changed that only a paint shows (the trigger's badge, say):
    // the plot is painted at the display's pace, not at once.
    void requestPaint() { emit paintWanted(); }

signals:
    // The axes moved: every item placed in pixels follows.
    void axesMoved();
    void paintWanted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupGraphs();
    void setupAxes();
    void setupItems();
    void setupTracers();
    void recolourMarker(QCPItemPixmap *item);
    void setupLogicLegend();
    void wrapNote();

    Ui::VeltoInterface *ui;
    ScopeState *state;
    // The time span last fitted to the plot's shape; 0 before the first.
    double fittedKeySpan = 0.0;
    // The colours of CH1, CH2 and the logic channels in the theme shown.
    QColor markerColours[3];
    const ScopeOptions *options;
    QCustomPlot *customPlot = nullptr;
    PlotCanvas *canvas = nullptr; // the same widget
    ScopeGraphs graphList;
    ScopeItems itemList;
    QWidget *logicLegendBox = nullptr;
    QLabel *logicSwatches[8] = {};
    bool logicLabelsStaggered = false;
    bool xyView = false;
    QString noteText;
    double timeLower = 0.0;
    double timeUpper = 0.0;
    CustomTheme *themeDialog = nullptr;
    QColor gridColour = QColor(140, 140, 140);
    Qt::PenStyle gridStyle = Qt::DotLine;
    // Lightness rule of the persistence colours for the theme on the plot.
    int themeIntensityMode = 0;
    // The theme whose colours are on the plot.
    int appliedTheme = -1;
    QBrush themeBackground;
    bool startingUp = true;
};
