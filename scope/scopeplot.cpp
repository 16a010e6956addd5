// SPDX-License-Identifier: GPL-3.0-only
// The oscilloscope plot: axes, graphs in drawing order, the items placed
// on it, drawing options, the colour themes, the zero indicators, the logic
// labels, the axis limits and the scroll bars.
#include "scope/scopeplot.h"

#include "base/logging.h"
#include "scope/persistenceimage.h"
#include "scope/plotcanvas.h"
#include "scope/plotlabel.h"
#include "scope/scopestate.h"
#include "scope/veltograph.h"
#include "ui/customtheme.h"
#include "ui/options.h"
#include "ui/themes.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>

using namespace PlotGeometry;

namespace {
const QColor hCursorColour(QStringLiteral("#1692e5"));
const QColor vCursorColour(QStringLiteral("#e04e4e"));
const QColor zeroColour(QStringLiteral("#f9a94c"));
const char markerIconProperty[] = "markerIcon";

// Which channel's colour a marker image wears: CH1's ("g", "chan1"), CH2's
// ("r", "chan2") or the logic channels' ("chanL").
int channelOfMarker(const QString &icon)
{
    if (icon.contains(QLatin1String("chan1")) || icon.endsWith(QLatin1String("g.png")))
        return 0;
    return icon.contains(QLatin1String("chanL")) ? 2 : 1;
}

// A handle that stands in the plot's margin on one side: the zero and
// horizontal cursor handles left of the axis box, the vertical cursor handles
// above it. Clipped to the axis box like every item, they were cut in half.
// On the other sides they stay clipped, so that a handle whose level or time
// is out of view is not drawn over the axes.
class MarginHandle : public QCPItemPixmap
{
public:
    MarginHandle(QCustomPlot *plot, Qt::Edge margin) : QCPItemPixmap(plot), margin(margin) {}

protected:
    QRect clipRect() const override
    {
        QRect rect = QCPItemPixmap::clipRect();
        const QRect whole = parentPlot()->viewport();
        if (margin == Qt::LeftEdge)
            rect.setLeft(whole.left());
        else if (margin == Qt::TopEdge)
            rect.setTop(whole.top());
        return rect;
    }

private:
    Qt::Edge margin;
};

// A handle image whose anchor point (see placeHandle) is where the item
// stands; `margin` is the side of the plot it may reach into, if any.
QCPItemPixmap *makeHandle(QCustomPlot *plot, const QString &icon, Qt::Edges margin = {})
{
    QCPItemPixmap *item = margin ? new MarginHandle(plot, margin.testFlag(Qt::LeftEdge) ? Qt::LeftEdge : Qt::TopEdge)
                                 : new QCPItemPixmap(plot);
    item->setPixmap(QPixmap(icon));
    item->setProperty(markerIconProperty, icon);
    item->topLeft->setType(QCPItemPosition::ptAbsolute);
    item->setScaled(false);
    item->setPen(Qt::NoPen);
    item->setSelectable(true);
    return item;
}

// A line through the handle's anchor, horizontal or vertical.
QCPItemStraightLine *makeLine(QCustomPlot *plot, QCPItemAnchor *anchor, bool horizontal, const QColor &colour)
{
    auto *line = new QCPItemStraightLine(plot);
    line->point1->setParentAnchor(anchor);
    line->point2->setParentAnchor(anchor);
    line->point1->setCoords(0, 0);
    line->point2->setCoords(horizontal ? 1 : 0, horizontal ? 0 : 1);
    line->setPen(QPen(colour, 1, Qt::DashLine));
    line->setSelectable(false);
    return line;
}

QCPItemText *makeLabel(QCustomPlot *plot, const QString &text, Qt::Alignment alignment)
{
    auto *label = new PlotLabel(plot);
    label->position->setType(QCPItemPosition::ptAbsolute);
    label->setPositionAlignment(alignment);
    label->setText(text);
    label->setSelectable(false);
    return label;
}

PlotGeometry::AxisMapping mappingOf(const QCPAxis *axis)
{
    PlotGeometry::AxisMapping m;
    m.lower = axis->range().lower;
    m.upper = axis->range().upper;
    m.pixelFrom = axis->coordToPixel(m.lower);
    m.pixelTo = axis->coordToPixel(m.upper);
    return m;
}

} // namespace

QVector<QCPAbstractItem *> ScopeItems::selectable() const
{
    return {hCursorHandle[0], hCursorHandle[1], vCursorHandle[0], vCursorHandle[1], triggerMarker,
            windowMarker[0],  windowMarker[1],  zeroHandle[0],    zeroHandle[1],    zeroHandle[2]};
}

ScopePlot::ScopePlot(Ui::VeltoInterface *ui, ScopeState *state, const ScopeOptions *options, QObject *parent)
    : QObject(parent), ui(ui), state(state), options(options)
{
    themeDialog = new CustomTheme(nullptr);
    themeDialog->loadTheme();
    connect(themeDialog, &CustomTheme::applyCustomTheme, this, &ScopePlot::setTheme);
    setupGraphs();
    setupItems();
    setupTracers();
    setupAxes();
    setupLogicLegend();
    setTheme(options->theme, themeDialog->colors());
    customPlot->installEventFilter(this);
    connect(ui->horizontalScrollBar, &QScrollBar::valueChanged, this, &ScopePlot::horizontalScrollBarChanged);
    connect(ui->verticalScrollBar, &QScrollBar::valueChanged, this, &ScopePlot::verticalScrollBarChanged);
    connect(ui->checkBoxVectors, &QCheckBox::toggled, this, &ScopePlot::displayVectorsChanged);
    connect(ui->intensitySlider, &QSlider::valueChanged, this, &ScopePlot::displayIntensitySliderChanged);
}

ScopePlot::~ScopePlot()
{
    delete themeDialog;
}

void ScopePlot::setupAxes()
{
    for (QCPAxis *axis : {customPlot->xAxis, customPlot->yAxis, customPlot->xAxis2, customPlot->yAxis2}) {
        axis->setVisible(true);
        axis->setTickLabels(false);
        QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
        // A division is 64 units vertically and 16 samples (32 units) horizontally.
        const bool vertical = axis->orientation() == Qt::Vertical;
        ticker->setTickStep(vertical ? 64.0 : 32.0);
        ticker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
        axis->setTicker(ticker);
    }
    // The second copies follow the first.
    connect(customPlot->xAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), customPlot->xAxis2,
            QOverload<const QCPRange &>::of(&QCPAxis::setRange));
    connect(customPlot->yAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), customPlot->yAxis2,
            QOverload<const QCPRange &>::of(&QCPAxis::setRange));
    connect(customPlot->xAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), this,
            &ScopePlot::xAxisChanged);
    connect(customPlot->yAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), this,
            &ScopePlot::yAxisChanged);

    // Eight divisions of the time base and the whole height, where every
    // trace sits at its default position, are in view at start; the
    // horizontal scroll bar reaches the rest of the frame and zooming out
    // shows all of it.
    customPlot->yAxis->setRange(0, PlotGeometry::plotHeight);
    customPlot->xAxis->setRange(0, PlotGeometry::minimumXSpan);
    setHorizontalScrollBar(0, PlotGeometry::minimumXSpan);
    setVerticalScrollBar(0, PlotGeometry::plotHeight);

    QCPAxisRect *rect = customPlot->xAxis->axisRect();
    rect->setRangeDrag(Qt::Horizontal);
    rect->setRangeZoom(Qt::Horizontal);
    rect->setRangeZoomFactor(0.8);
    customPlot->setInteractions(QCP::iRangeZoom);
    customPlot->setNoAntialiasingOnDrag(true);
    customPlot->setSelectionTolerance(int(PlotGeometry::pickDistance));
}

const QString ScopePlot::historyLayer = QStringLiteral("history");

void ScopePlot::setupGraphs()
{
    canvas = new PlotCanvas(ui->plotArea);
    customPlot = canvas;
    customPlot->setObjectName(QStringLiteral("customPlot"));
    customPlot->setFocusPolicy(Qt::NoFocus);
    auto *grid = static_cast<QGridLayout *>(ui->plotArea->layout());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(customPlot, 0, 0);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(0, 1);
    customPlot->xAxis->setRange(0, PlotGeometry::minimumXSpan);
    customPlot->yAxis->setRange(0, PlotGeometry::plotHeight);

    // Thick pens are drawn as plain polylines: stroking them as one path
    // costs several times as much.
    customPlot->setPlottingHint(QCP::phFastPolylines, true);
    ScopeGraphs &g = graphList;
    auto add = [this, &g]() {
        // Each graph draws what the pixels can show.
        auto *graph = new VeltoGraph(customPlot->xAxis, customPlot->yAxis);
        g.all.append(graph);
        return graph;
    };
    g.ch1 = add();
    g.ch1Reference = add();
    g.ch2 = add();
    g.ch2Reference = add();
    for (int k = 0; k < 9; ++k) {
        g.decay[0][k] = add();
        g.decay[1][k] = add();
    }
    for (int bit = 0; bit < 8; ++bit) {
        g.logic[bit] = add();
        g.logicBase[bit] = add();
        g.logicReference[bit] = add();
        for (QCPGraph *graph : {g.logic[bit], g.logicBase[bit], g.logicReference[bit]})
            graph->setLineStyle(QCPGraph::lsStepCenter);
        g.logic[bit]->setSelectable(QCP::stNone);
        g.logicBase[bit]->setSelectable(QCP::stNone);
    }
    g.fft[0] = add();
    g.fft[1] = add();
    g.fft[0]->setLineStyle(QCPGraph::lsImpulse);
    g.fft[1]->setLineStyle(QCPGraph::lsImpulse);
    for (VeltoGraph *graph : g.all)
        graph->setAdaptiveSampling(true);
    // A graph keeps its points in key order; a figure is drawn in the order of the samples.
    g.xy = new QCPCurve(customPlot->xAxis, customPlot->yAxis);
    g.xy->setSelectable(QCP::stNone);

    // The references and the persistence history lie under the live traces,
    // so what is drawn on top is always the trace in its legend's colour.
    customPlot->addLayer(historyLayer, customPlot->layer(QStringLiteral("main")), QCustomPlot::limBelow);
    QCPLayer *history = customPlot->layer(historyLayer);
    g.ch1Reference->setLayer(history);
    g.ch2Reference->setLayer(history);
    for (int k = 0; k < 9; ++k) {
        g.decay[0][k]->setLayer(history);
        g.decay[1][k]->setLayer(history);
    }
    const QString persistenceLayer = QStringLiteral("persistence");
    customPlot->addLayer(persistenceLayer, history, QCustomPlot::limBelow);
    g.persistence = new PersistenceImage(customPlot, persistenceLayer);
    g.persistence->setColourSources(g.ch1, g.ch2, g.logic);
    // Nothing is drawn on the library's overlay layer; in a buffer of its
    // own it would cost a full-size clear and blend on every replot.
    customPlot->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
}

void ScopePlot::setupItems()
{
    ScopeItems &it = itemList;
    for (int bit = 0; bit < 8; ++bit) {
        it.logicLabels[bit] =
            makeLabel(customPlot, QStringLiteral("Bit %1").arg(bit), Qt::AlignLeft | Qt::AlignVCenter);
        it.logicLabels[bit]->setFont(QFont(QStringLiteral("Courier New"), 10));
        it.logicLabels[bit]->setVisible(false);
    }
    for (int k = 0; k < 2; ++k) {
        it.hCursorHandle[k] = makeHandle(
            customPlot, k == 0 ? QStringLiteral(":/icons/HcursorCA.png") : QStringLiteral(":/icons/HcursorCB.png"),
            Qt::LeftEdge);
        it.hCursorLine[k] = makeLine(customPlot, it.hCursorHandle[k]->left, true, hCursorColour);
        it.vCursorHandle[k] = makeHandle(customPlot, QStringLiteral(":/icons/VcursorC.png"), Qt::TopEdge);
        it.vCursorLine[k] = makeLine(customPlot, it.vCursorHandle[k]->bottom, false, vCursorColour);
    }
    placeHandle(it.vCursorHandle[0], 150, 12, true);
    placeHandle(it.vCursorHandle[1], 100, 12, true);

    it.labelDeltaTime = makeLabel(customPlot, QStringLiteral("ΔT = 0 ms"), Qt::AlignRight | Qt::AlignVCenter);
    it.labelFrequency = makeLabel(customPlot, QStringLiteral(" 1/ΔT = 0 ms "), Qt::AlignRight | Qt::AlignVCenter);
    it.labelDeltaVolt = makeLabel(customPlot, QStringLiteral("ΔV = 0 V"), Qt::AlignLeft | Qt::AlignVCenter);
    it.labelVoltB = makeLabel(customPlot, QStringLiteral("Vb = 0 V"), Qt::AlignLeft | Qt::AlignVCenter);
    it.labelVoltA = makeLabel(customPlot, QStringLiteral("Va = 0 V"), Qt::AlignLeft | Qt::AlignVCenter);
    for (QCPItemText *label : {it.labelDeltaTime, it.labelFrequency, it.labelDeltaVolt, it.labelVoltB, it.labelVoltA})
        label->setFont(QFont(QStringLiteral("Courier New"), 10));

    const QString zeroIcons[3] = {QStringLiteral(":/icons/chan1-zero.png"), QStringLiteral(":/icons/chan2-zero.png"),
                                  QStringLiteral(":/icons/chanL-zero.png")};
    for (int ch = 0; ch < 3; ++ch) {
        it.zeroHandle[ch] = makeHandle(customPlot, zeroIcons[ch], Qt::LeftEdge);
        it.zeroLine[ch] = makeLine(customPlot, it.zeroHandle[ch]->left, true, zeroColour);
        it.zeroLine[ch]->setPen(QPen(zeroColour, 1, Qt::DotLine));
    }
    it.ch1vZeroHandle = makeHandle(customPlot, QStringLiteral(":/icons/chan1v-zero.png"), Qt::TopEdge);
    it.ch1vZeroLine = makeLine(customPlot, it.ch1vZeroHandle->bottom, false, zeroColour);
    it.ch1vZeroLine->setPen(QPen(zeroColour, 1, Qt::DotLine));
    it.ch1vZeroHandle->setVisible(false);
    it.ch1vZeroLine->setVisible(false);

    it.triggerMarker = makeHandle(customPlot, QStringLiteral(":/icons/risingg.png"));
    it.windowMarker[0] = makeHandle(customPlot, QStringLiteral(":/icons/window2g.png"));
    it.windowMarker[1] = makeHandle(customPlot, QStringLiteral(":/icons/window1g.png"));
    it.triggerMarker->setVisible(false);
    it.windowMarker[0]->setVisible(false);
    it.windowMarker[1]->setVisible(false);

    it.triggerLevelLabel = makeLabel(customPlot, QString(), Qt::AlignLeft | Qt::AlignVCenter);
    it.triggerLevelLabel->position->setParentAnchor(it.triggerMarker->right);
    it.triggerLevelLabel->position->setCoords(3, 0);
    it.triggerLevelLabel->setFont(QFont(QStringLiteral("Courier New"), 10, QFont::Bold));
    it.triggerLevelLabel->setVisible(false);

    it.triggerBadge = new PlotLabel(customPlot);
    it.triggerBadge->position->setType(QCPItemPosition::ptAxisRectRatio);
    it.triggerBadge->position->setCoords(0.015, 0.02);
    it.triggerBadge->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    it.triggerBadge->setPadding(QMargins(6, 2, 6, 2));
    it.triggerBadge->setFont(QFont(QStringLiteral("Sans"), 10, QFont::Bold));
    it.triggerBadge->setColor(Qt::black);
    it.triggerBadge->setSelectable(false);
    it.triggerBadge->setVisible(false);

    it.note = new PlotLabel(customPlot);
    it.note->position->setType(QCPItemPosition::ptAxisRectRatio);
    it.note->position->setCoords(0.5, 0.5);
    it.note->setPositionAlignment(Qt::AlignCenter);
    it.note->setTextAlignment(Qt::AlignCenter);
    it.note->setPadding(QMargins(14, 10, 14, 10));
    QFont noteFont = it.note->font();
    noteFont.setPointSize(12);
    it.note->setFont(noteFont);
    it.note->setSelectable(false);
    it.note->setVisible(false);
}

void ScopePlot::setNote(const QString &text)
{
    noteText = text;
    wrapNote();
    itemList.note->setVisible(!text.isEmpty());
    customPlot->replot();
}

// The note's lines broken at spaces to fit the plot's box (a word longer
// than that, a long path, loses its middle), so that none of it is cut off.
void ScopePlot::wrapNote()
{
    const QFontMetrics metrics(itemList.note->font());
    const int width = std::max(120, customPlot->xAxis->axisRect()->rect().width() - 60);
    QStringList lines;
    for (const QString &paragraph : noteText.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString &word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString fitted = metrics.elidedText(word, Qt::ElideMiddle, width);
            const QString longer = line.isEmpty() ? fitted : line + QLatin1Char(' ') + fitted;
            if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
                lines << line;
                line = fitted;
            } else {
                line = longer;
            }
        }
        lines << line;
    }
    itemList.note->setText(lines.join(QLatin1Char('\n')));
}

void ScopePlot::setupTracers()
{
    QCPGraph *graphs[2] = {graphList.ch1, graphList.ch2};
    for (int ch = 0; ch < 2; ++ch) {
        for (int k = 0; k < 2; ++k) {
            auto *tracer = new QCPItemTracer(customPlot);
            tracer->setGraph(graphs[ch]);
            tracer->setInterpolating(true);
            tracer->setStyle(QCPItemTracer::tsCircle);
            tracer->setSize(7);
            tracer->setPen(QPen(hCursorColour));
            tracer->setSelectable(false);
            tracer->setVisible(false);
            itemList.tracers[ch][k] = tracer;
        }
    }
}

// Beside the channels' entries under the plot: for each bit on the plot, a
// swatch of its colour bearing its number. It keeps its width on a small
// window, where squeezed swatches could not be told apart.
void ScopePlot::setupLogicLegend()
{
    logicLegendBox = new QWidget(ui->plotLabelRow);
    logicLegendBox->setObjectName(QStringLiteral("logicLegend"));
    logicLegendBox->setToolTip(tr("Logic bits 0 to 7 on the plot, each in its colour"));
    logicLegendBox->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto *row = new QHBoxLayout(logicLegendBox);
    row->setContentsMargins(4, 0, 0, 0);
    row->setSpacing(1);
    for (int bit = 0; bit < 8; ++bit) {
        logicSwatches[bit] = new QLabel(QString::number(bit), logicLegendBox);
        logicSwatches[bit]->setObjectName(QStringLiteral("logicSwatch%1").arg(bit));
        logicSwatches[bit]->setAlignment(Qt::AlignCenter);
        logicSwatches[bit]->setFixedSize(13, 14);
        row->addWidget(logicSwatches[bit]);
    }
    auto *labels = static_cast<QHBoxLayout *>(ui->plotLabelRow->layout());
    labels->insertWidget(labels->indexOf(ui->ch2Label) + 1, logicLegendBox);
    logicLegendBox->setVisible(false);
}

void ScopePlot::showLogicLegend(const std::array<bool, 8> &drawn)
{
    bool any = false;
    for (int bit = 0; bit < 8; ++bit) {
        logicSwatches[bit]->setVisible(drawn[size_t(bit)]);
        any = any || drawn[size_t(bit)];
    }
    logicLegendBox->setVisible(any);
}

void ScopePlot::placeHandle(QCPItemPixmap *item, double x, double y, bool centred)
{
    // Handles pointing right (cursor A/B, zero handles) stand with their left
    // edge's middle on the point; handles pointing down or up, and the
    // trigger markers, stand with their centre on it.
    if (!item)
        return;
    const QSize size = item->pixmap().size();
    if (centred)
        item->topLeft->setCoords(x - size.width() / 2.0, y - size.height() / 2.0);
    else
        item->topLeft->setCoords(x, y - size.height() / 2.0);
}

PlotGeometry::AxisMapping ScopePlot::keyAxisMapping() const
{
    return mappingOf(customPlot->xAxis);
}

PlotGeometry::AxisMapping ScopePlot::valueAxisMapping() const
{
    return mappingOf(customPlot->yAxis);
}
void ScopePlot::displayControlsSet()
{
    for (QCPGraph *graph : {graphList.ch1, graphList.ch2}) {
        QPen pen = graph->pen();
        pen.setWidth(2);
        graph->setPen(pen);
    }
}

void ScopePlot::setupScatterStyles(bool vectors)
{
    const bool lines = vectors && !state->settings.xyMode;
    QVector<QCPGraph *> traces{graphList.ch1, graphList.ch2, graphList.ch1Reference, graphList.ch2Reference};
    for (int k = 0; k < 9; ++k)
        traces << graphList.decay[0][k] << graphList.decay[1][k];
    for (QCPGraph *graph : traces) {
        graph->setLineStyle(lines ? QCPGraph::lsLine : QCPGraph::lsNone);
        graph->setScatterStyle(lines ? QCPScatterStyle(QCPScatterStyle::ssNone)
                                     : QCPScatterStyle(QCPScatterStyle::ssDot, 6));
    }
    // The figure is drawn as the traces are in the time view: lines or dots.
    graphList.xy->setLineStyle(vectors ? QCPCurve::lsLine : QCPCurve::lsNone);
    graphList.xy->setScatterStyle(vectors ? QCPScatterStyle(QCPScatterStyle::ssNone)
                                          : QCPScatterStyle(QCPScatterStyle::ssDot, 6));
}

void ScopePlot::setXYView(bool on)
{
    if (on == xyView)
        return;
    xyView = on;
    for (QCPAxis *axis : {customPlot->xAxis, customPlot->xAxis2}) {
        auto *ticker = dynamic_cast<QCPAxisTickerFixed *>(axis->ticker().data());
        if (ticker)
            ticker->setTickStep(on ? 64.0 : 32.0);
    }
    if (on) {
        timeLower = customPlot->xAxis->range().lower;
        timeUpper = customPlot->xAxis->range().upper;
        fitXYKeys();
    } else {
        graphList.xy->data()->clear();
        customPlot->xAxis->setRange(timeLower, timeUpper);
    }
    ch1vZeroRefresh();
    state->redrawRequested = true;
}

void ScopePlot::fitXYKeys()
{
    const QRect rect = customPlot->xAxis->axisRect()->rect();
    const double perPixel = customPlot->yAxis->range().size() / std::max(1, rect.height());
    const double half = perPixel * std::max(1, rect.width()) / 2.0;
    const QCPRange wanted(PlotGeometry::plotCentre - half, PlotGeometry::plotCentre + half);
    if (customPlot->xAxis->range() != wanted)
        customPlot->xAxis->setRange(wanted);
}

void ScopePlot::displayVectorsChanged(bool on)
{
    setupScatterStyles(on);
    displayControlsSet();
    state->redrawRequested = true;
}

void ScopePlot::displayIntensitySliderChanged(int value)
{
    // The hue comes from the theme the plot shows: the option may name one
    // that is not applied (Custom waits for the dialog's Apply).
    ThemePalette palette;
    const int shown = appliedTheme >= 0 ? appliedTheme : Theme::Dark;
    if (!themePalette(shown, themeDialog ? themeDialog->colors() : nullptr, &palette))
        themePalette(Theme::Dark, nullptr, &palette);
    const QColor traces[2] = {graphList.ch1->pen().color(), graphList.ch2->pen().color()};
    for (int k = 0; k < 9; ++k) {
        for (int ch = 0; ch < 2; ++ch) {
            const QPen &decay = ch == 0 ? palette.ch1Decay[k] : palette.ch2Decay[k];
            QPen pen = graphList.decay[ch][k]->pen();
            pen.setColor(PlotGeometry::persistenceColor(decay.color(), traces[ch], value, themeIntensityMode));
            graphList.decay[ch][k]->setPen(pen);
        }
    }
    graphList.persistence->setIntensity(value);
    state->redrawRequested = true;
}

void ScopePlot::gridBoxSet(const QColor &colour, Qt::PenStyle style)
{
    QPen pen(colour, 1, style, Qt::SquareCap, Qt::BevelJoin);
    customPlot->xAxis->grid()->setPen(pen);
    customPlot->yAxis->grid()->setPen(pen);
    customPlot->xAxis->grid()->setVisible(style != Qt::NoPen);
    customPlot->yAxis->grid()->setVisible(style != Qt::NoPen);
}

void ScopePlot::displayGridStyleChanged(int index)
{
    gridStyle = PlotGeometry::gridPenStyle(index, gridStyle);
    gridBoxSet(gridColour, gridStyle);
    state->redrawRequested = true;
}

void ScopePlot::setTheme(int theme, CustomColors *colours)
{
    ThemePalette palette;
    if (themePalette(theme, colours, &palette)) {
        graphList.ch1->setPen(palette.ch1Trace);
        graphList.ch2->setPen(palette.ch2Trace);
        graphList.ch1Reference->setPen(palette.ch1Reference);
        graphList.ch2Reference->setPen(palette.ch2Reference);
        for (int k = 0; k < 9; ++k) {
            graphList.decay[0][k]->setPen(palette.ch1Decay[k]);
            graphList.decay[1][k]->setPen(palette.ch2Decay[k]);
        }
        for (int bit = 0; bit < 8; ++bit) {
            graphList.logic[bit]->setPen(palette.bitTrace[bit]);
            graphList.logicBase[bit]->setPen(palette.bitBaseline[bit]);
            graphList.logicReference[bit]->setPen(palette.bitReference[bit]);
            if (palette.fillBits) {
                graphList.logic[bit]->setBrush(palette.bitFill[bit]);
                graphList.logic[bit]->setChannelFillGraph(graphList.logicBase[bit]);
            }
        }
        graphList.xy->setPen(palette.ch1Trace);
        graphList.fft[0]->setPen(palette.ch1Fft);
        graphList.fft[1]->setPen(palette.ch2Fft);
        gridColour = palette.grid.color();
        gridStyle = palette.grid.style();
        gridBoxSet(gridColour, gridStyle);
        for (QCPAxis *axis : {customPlot->xAxis, customPlot->yAxis, customPlot->xAxis2, customPlot->yAxis2}) {
            axis->setBasePen(palette.axes);
            axis->setTickPen(palette.axes);
            axis->setSubTickPen(palette.axes);
        }
        customPlot->setBackground(palette.background);
        themeBackground = palette.background;
        // An opaque background covers the whole plot, so nothing under it
        // needs painting first on each of its many repaints, and a plain
        // colour is what the canvas clears to: filling the axis rectangle
        // with it again would paint the same pixels twice.
        customPlot->setAttribute(Qt::WA_OpaquePaintEvent, palette.background.isOpaque());
        const bool plain = palette.background.style() == Qt::SolidPattern && palette.background.isOpaque();
        canvas->setOpaqueBackground(plain ? palette.background.color() : QColor());
        customPlot->xAxis->axisRect()->setBackground(plain ? QBrush(Qt::NoBrush) : palette.background);
        // The times in the theme's label colour, the levels in their channel's
        // (as CursorControls::cursorsSetChannelActive gives them), whatever
        // came last: the same at a restart as when they were left.
        for (QCPItemText *label : {itemList.labelDeltaTime, itemList.labelFrequency})
            label->setColor(palette.cursorLabels);
        for (QCPItemText *label : {itemList.labelDeltaVolt, itemList.labelVoltA, itemList.labelVoltB})
            label->setColor((state->settings.cursorChannel == 1 ? palette.ch2Trace : palette.ch1Trace).color());
        markerColours[0] = palette.ch1Trace.color();
        markerColours[1] = palette.ch2Trace.color();
        markerColours[2] = palette.bitTrace[0].color();
        for (QCPItemPixmap *marker : {itemList.zeroHandle[0], itemList.zeroHandle[1], itemList.zeroHandle[2],
                                      itemList.ch1vZeroHandle, itemList.triggerMarker, itemList.windowMarker[0],
                                      itemList.windowMarker[1]})
            recolourMarker(marker);
        // The note stands on a box of the background, framed in the axes' colour.
        itemList.note->setColor(palette.axes.color());
        itemList.note->setPen(palette.axes);
        itemList.note->setBrush(palette.background);
        // A bit's label, and its swatch in the legend, are in the bit's colour.
        for (int bit = 0; bit < 8; ++bit) {
            const QColor colour = palette.bitTrace[size_t(bit)].color();
            itemList.logicLabels[bit]->setColor(colour);
            logicSwatches[bit]->setStyleSheet(
                QStringLiteral("QLabel { background-color : %1; color : %2; font-size : 10px; font-weight : bold; }")
                    .arg(colour.name(), idealForegroundColor(colour)));
        }
        ui->ch1ColorLabel->setStyleSheet(palette.ch1LabelStyle);
        ui->ch2ColorLabel->setStyleSheet(palette.ch2LabelStyle);
        themeIntensityMode = palette.intensityMode;
        appliedTheme = theme;
        displayControlsSet();
    } else {
        VELTO_LOG(QStringLiteral("Theme %1 is not known, the plot keeps its colours").arg(theme), 1);
    }
    // The decay colours follow the slider as it stands, not a fixed 0, so
    // that a theme change does not leave them disagreeing with it.
    displayIntensitySliderChanged(ui->intensitySlider->value());
    customPlot->replot();
}

void ScopePlot::setMarkerIcon(QCPItemPixmap *item, const QString &icon)
{
    item->setProperty(markerIconProperty, icon);
    recolourMarker(item);
}

void ScopePlot::recolourMarker(QCPItemPixmap *item)
{
    // The images are drawn in the dark theme's colours.
    ThemePalette dark;
    themePalette(Theme::Dark, nullptr, &dark);
    const QColor drawnIn[3] = {dark.ch1Trace.color(), dark.ch2Trace.color(), dark.bitTrace[0].color()};
    const QString icon = item->property(markerIconProperty).toString();
    const int channel = channelOfMarker(icon);
    const QImage image(icon);
    item->setPixmap(QPixmap::fromImage(markerColours[channel].isValid()
                                           ? recolouredMarker(image, drawnIn[channel], markerColours[channel])
                                           : image));
}

void ScopePlot::displayThemeChanged(int theme, bool editCustom)
{
    if (startingUp) {
        // The theme left at the last close comes back as it was, custom
        // colours included, without asking for them again.
        setTheme(theme, themeDialog->colors());
        return;
    }
    if (theme == Theme::Custom && appliedTheme == Theme::Custom && !editCustom) {
        // Already custom: the options were applied again (another option
        // changed, or a session start re-applied every setting). The
        // colours stay; the dialog opens when the choice changes to Custom.
        setTheme(theme, themeDialog->colors());
        return;
    }
    if (theme == Theme::Custom) {
        // The plot keeps its colours until the dialog's Apply.
        themeDialog->loadTheme();
        themeDialog->show();
        themeDialog->raise();
        return;
    }
    setTheme(theme, nullptr);
}

int ScopePlot::logicBitPos0(int bit) const
{
    return PlotGeometry::logicBitBase(bit, state->settings.logicPosition, state->settings.logicSize);
}

void ScopePlot::logicLabelPositionSet(int side)
{
    // The axis's own rectangle: the plot's axisRect() searches the whole
    // layout, which on every frame cost more than placing the labels.
    const QRect rect = customPlot->xAxis->axisRect()->rect();
    const double x = PlotGeometry::logicLabelX(side, rect.left(), rect.right());
    // Staggered labels: the odd bits' stand further in, beside the even ones'.
    const double step = side == 1 ? -48.0 : 48.0;
    for (int bit = 0; bit < 8; ++bit) {
        QCPItemText *label = itemList.logicLabels[bit];
        label->setPositionAlignment((side == 1 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        label->position->setCoords(x + (logicLabelsStaggered && bit % 2 ? step : 0.0), label->position->coords().y());
    }
}

void ScopePlot::logicLabelsRefresh()
{
    // The labels are as tall as the room between two bits allows, so that
    // neighbours do not run into each other on a short plot.
    const double room = std::abs(customPlot->yAxis->coordToPixel(logicBitPos0(1)) -
                                 customPlot->yAxis->coordToPixel(logicBitPos0(0)));
    const PlotGeometry::LogicLabelLayout layout = PlotGeometry::logicLabelLayout(room);
    logicLabelsStaggered = layout.staggered;
    if (itemList.logicLabels[0]->font().pixelSize() != layout.pixelSize) {
        QFont font(QStringLiteral("Courier New"));
        font.setPixelSize(layout.pixelSize);
        font.setBold(true);
        for (QCPItemText *label : itemList.logicLabels)
            label->setFont(font);
    }
    logicLabelPositionSet(options->logicLabelPosition);
    for (int bit = 0; bit < 8; ++bit) {
        const int level =
            PlotGeometry::logicLabelLevel(bit, state->settings.logicPosition, state->settings.logicSize);
        itemList.logicLabels[bit]->position->setCoords(itemList.logicLabels[bit]->position->coords().x(),
                                               customPlot->yAxis->coordToPixel(level));
    }
}

void ScopePlot::zeroHeadRefresh()
{
    for (int ch = 0; ch < 3; ++ch)
        placeHandle(itemList.zeroHandle[ch], 2, customPlot->yAxis->coordToPixel(state->zeroLevel[ch]), false);
}

void ScopePlot::ch1vZeroRefresh()
{
    if (!state->settings.xyMode)
        return;
    placeHandle(itemList.ch1vZeroHandle, customPlot->xAxis->coordToPixel(PlotGeometry::plotCentre), 1 + itemList.ch1vZeroHandle->pixmap().height() / 2.0,
                true);
}

void ScopePlot::showCH1ZeroVerticalIndicator(bool on)
{
    const bool xy = state->settings.xyMode;
    itemList.ch1vZeroHandle->setVisible(xy && on);
    itemList.ch1vZeroLine->setVisible(xy && on);
    itemList.zeroHandle[0]->setVisible(!xy && on);
    itemList.zeroLine[0]->setVisible(!xy && on);
}

void ScopePlot::showCH2ZeroVerticalIndicator(bool on)
{
    itemList.zeroHandle[1]->setVisible(on);
    itemList.zeroLine[1]->setVisible(on);
}

void ScopePlot::showCHDZeroVerticalIndicator(bool on)
{
    itemList.zeroHandle[2]->setVisible(on);
    itemList.zeroLine[2]->setVisible(on);
}

void ScopePlot::xAxisChanged(const QCPRange &range)
{
    // In XY the key axis is in volts, not in samples of the frame.
    if (xyView) {
        emit axesMoved();
        return;
    }
    const AxisRange limited = limitXRange(range.lower, range.upper, 2.0 * state->samplesPerChannel);
    if (limited.lower != range.lower || limited.upper != range.upper) {
        // Setting the held range calls this again with a range that holds.
        customPlot->xAxis->setRange(limited.lower, limited.upper);
        return;
    }
    emit axesMoved();
    setHorizontalScrollBar(limited.lower, limited.upper);
}

void ScopePlot::yAxisChanged(const QCPRange &range)
{
    const AxisRange limited = limitYRange(range.lower, range.upper);
    if (limited.lower != range.lower || limited.upper != range.upper) {
        customPlot->yAxis->setRange(limited.lower, limited.upper);
        return;
    }
    if (xyView)
        fitXYKeys();
    emit axesMoved();
    setVerticalScrollBar(limited.lower, limited.upper);
}

void ScopePlot::setHorizontalScrollBar(double lower, double upper)
{
    const ScrollBarSetting bar = horizontalScrollBar(lower, upper, 2.0 * state->samplesPerChannel);
    const QSignalBlocker blocker(ui->horizontalScrollBar);
    ui->horizontalScrollBar->setRange(bar.minimum, bar.maximum);
    ui->horizontalScrollBar->setPageStep(bar.pageStep);
    ui->horizontalScrollBar->setValue(bar.value);
}

void ScopePlot::setVerticalScrollBar(double lower, double upper)
{
    const ScrollBarSetting bar = verticalScrollBar(lower, upper);
    const QSignalBlocker blocker(ui->verticalScrollBar);
    ui->verticalScrollBar->setRange(bar.minimum, bar.maximum);
    ui->verticalScrollBar->setPageStep(bar.pageStep);
    ui->verticalScrollBar->setValue(bar.value);
}

void ScopePlot::horizontalScrollBarChanged(int value)
{
    const AxisRange range = horizontalRangeFromScrollBar(value, customPlot->xAxis->range().size());
    customPlot->xAxis->setRange(range.lower, range.upper);
    customPlot->replot();
}

void ScopePlot::verticalScrollBarChanged(int value)
{
    const AxisRange range =
        verticalRangeFromScrollBar(value, ui->verticalScrollBar->maximum(), customPlot->yAxis->range().size());
    customPlot->yAxis->setRange(range.lower, range.upper);
    customPlot->replot();
}

void ScopePlot::sizeChanged()
{
    // The layout of the plot follows its size only at the next replot;
    // the items placed in pixels need it now.
    customPlot->plotLayout()->update(QCPLayoutElement::upPreparation);
    customPlot->plotLayout()->update(QCPLayoutElement::upMargins);
    customPlot->plotLayout()->update(QCPLayoutElement::upLayout);
    // Until the user zooms, the time axis shows as many divisions as keep
    // them square: a wide plot shows a wide grid, not eight stretched ones.
    const QCPRange keys = customPlot->xAxis->range();
    if (fittedKeySpan == 0.0 || qAbs(keys.size() - fittedKeySpan) < 0.5) {
        const QRect box = customPlot->xAxis->axisRect()->rect();
        fittedKeySpan = squareKeySpan(box.width(), box.height(), customPlot->yAxis->range().size(),
                                      2.0 * state->samplesPerChannel);
        customPlot->xAxis->setRange(keys.lower, keys.lower + fittedKeySpan);
    }
    const CursorLabelPositions p = cursorLabelPositions(customPlot->width(), customPlot->height());
    itemList.labelDeltaTime->position->setCoords(p.deltaTime);
    itemList.labelFrequency->position->setCoords(p.frequency);
    itemList.labelDeltaVolt->position->setCoords(p.deltaVolt);
    itemList.labelVoltB->position->setCoords(p.voltB);
    itemList.labelVoltA->position->setCoords(p.voltA);
    if (!noteText.isEmpty())
        wrapNote();
    if (xyView)
        fitXYKeys();
    emit axesMoved();
    state->redrawRequested = true;
}

bool ScopePlot::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == customPlot && event->type() == QEvent::Resize)
        QTimer::singleShot(0, this, [this] { sizeChanged(); });
    return QObject::eventFilter(watched, event);
}
