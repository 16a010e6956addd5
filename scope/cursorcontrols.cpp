// The plot's items (cursors with their labels and tracers, zero indicators,
// trigger markers, logic labels) and the cursor operations. The arithmetic
// is in VerticalCursors and HorizontalCursors; this places what they say.
#include "app/veltointerface.h"
#include "scope/plotgeometry.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

namespace {
const QColor hCursorColour(QStringLiteral("#1692e5"));
const QColor vCursorColour(QStringLiteral("#e04e4e"));
const QColor zeroColour(QStringLiteral("#f9a94c"));

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
    auto *label = new QCPItemText(plot);
    label->position->setType(QCPItemPosition::ptAbsolute);
    label->setPositionAlignment(alignment);
    label->setText(text);
    label->setSelectable(false);
    return label;
}
} // namespace

// Handles pointing right (cursor A/B, zero handles) stand with their left
// edge's middle on the point; handles pointing down or up, and the trigger
// markers, stand with their centre on it.
static void placeHandle(QCPItemPixmap *item, double x, double y, bool centred)
{
    if (!item)
        return;
    const QSize size = item->pixmap().size();
    if (centred)
        item->topLeft->setCoords(x - size.width() / 2.0, y - size.height() / 2.0);
    else
        item->topLeft->setCoords(x, y - size.height() / 2.0);
}

void VeltoInterface::setupItemLabels()
{
    for (int bit = 0; bit < 8; ++bit) {
        logicLabels[bit] = makeLabel(customPlot, QStringLiteral("Bit %1").arg(bit), Qt::AlignLeft | Qt::AlignVCenter);
        logicLabels[bit]->setFont(QFont(QStringLiteral("Courier New"), 10));
        logicLabels[bit]->setVisible(false);
    }
}

void VeltoInterface::setupCursors()
{
    for (int k = 0; k < 2; ++k) {
        hCursorHandle[k] =
            makeHandle(customPlot, k == 0 ? QStringLiteral(":/icons/HcursorCA.png") : QStringLiteral(":/icons/HcursorCB.png"),
                       Qt::LeftEdge);
        hCursorLine[k] = makeLine(customPlot, hCursorHandle[k]->left, true, hCursorColour);
        vCursorHandle[k] = makeHandle(customPlot, QStringLiteral(":/icons/VcursorC.png"), Qt::TopEdge);
        vCursorLine[k] = makeLine(customPlot, vCursorHandle[k]->bottom, false, vCursorColour);
    }
    placeHandle(vCursorHandle[0], 150, 12, true);
    placeHandle(vCursorHandle[1], 100, 12, true);

    labelDeltaTime = makeLabel(customPlot, QStringLiteral("ΔT = 0 ms"), Qt::AlignRight | Qt::AlignVCenter);
    labelFrequency = makeLabel(customPlot, QStringLiteral(" 1/ΔT = 0 ms "), Qt::AlignRight | Qt::AlignVCenter);
    labelDeltaVolt = makeLabel(customPlot, QStringLiteral("ΔV = 0 V"), Qt::AlignLeft | Qt::AlignVCenter);
    labelVoltB = makeLabel(customPlot, QStringLiteral("Vb = 0 V"), Qt::AlignLeft | Qt::AlignVCenter);
    labelVoltA = makeLabel(customPlot, QStringLiteral("Va = 0 V"), Qt::AlignLeft | Qt::AlignVCenter);
    for (QCPItemText *label : {labelDeltaTime, labelFrequency, labelDeltaVolt, labelVoltB, labelVoltA})
        label->setFont(QFont(QStringLiteral("Courier New"), 10));

    const QString zeroIcons[3] = {QStringLiteral(":/icons/chan1-zero.png"), QStringLiteral(":/icons/chan2-zero.png"),
                                  QStringLiteral(":/icons/chanL-zero.png")};
    for (int ch = 0; ch < 3; ++ch) {
        zeroHandle[ch] = makeHandle(customPlot, zeroIcons[ch], Qt::LeftEdge);
        zeroLine[ch] = makeLine(customPlot, zeroHandle[ch]->left, true, zeroColour);
        zeroLine[ch]->setPen(QPen(zeroColour, 1, Qt::DotLine));
    }
    ch1vZeroHandle = makeHandle(customPlot, QStringLiteral(":/icons/chan1v-zero.png"), Qt::TopEdge);
    ch1vZeroLine = makeLine(customPlot, ch1vZeroHandle->bottom, false, zeroColour);
    ch1vZeroLine->setPen(QPen(zeroColour, 1, Qt::DotLine));
    ch1vZeroHandle->setVisible(false);
    ch1vZeroLine->setVisible(false);

    triggerMarker = makeHandle(customPlot, QStringLiteral(":/icons/risingg.png"));
    windowMarker[0] = makeHandle(customPlot, QStringLiteral(":/icons/window2g.png"));
    windowMarker[1] = makeHandle(customPlot, QStringLiteral(":/icons/window1g.png"));
    triggerMarker->setVisible(false);
    windowMarker[0]->setVisible(false);
    windowMarker[1]->setVisible(false);
}

void VeltoInterface::setupTracers()
{
    QCPGraph *graphs[2] = {ch1Graph, ch2Graph};
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
            tracers[ch][k] = tracer;
        }
    }
    // The cursors start once all their items exist.
    vCursorInit();
    hCursorInit();
}

// --- Vertical cursors ---------------------------------------------------------

void VeltoInterface::vCursorInit()
{
    vCursors.vCursorInit();
    vCursorSetRange(8, 2 * samplesPerChannel - 8);
    vCursorSetVisible(false);
}

void VeltoInterface::vCursorSetRange(int low, int high)
{
    vCursors.vCursorSetRange(low, high, 2 * samplesPerChannel);
}

void VeltoInterface::vCursorSetPosition(int a, int b)
{
    vCursors.vCursorSetPosition(a, b);
    vCursorRefresh();
}

void VeltoInterface::vCursorSetVisible(bool on)
{
    vCursors.vCursorSetVisible(on);
    for (int k = 0; k < 2; ++k) {
        vCursorHandle[k]->setVisible(on);
        vCursorLine[k]->setVisible(on);
    }
    vCursorSetLabelVisible(on);
}

void VeltoInterface::vCursorSetLabelVisible(bool on)
{
    labelDeltaTime->setVisible(on);
    labelFrequency->setVisible(on);
}

void VeltoInterface::vCursorSetLabelColor(const QColor &colour)
{
    labelDeltaTime->setColor(colour);
    labelFrequency->setColor(colour);
}

void VeltoInterface::vCursorRefreshA()
{
    if (!vCursors.visible)
        return;
    vCursors.positionA = vCursors.clampedA();
    placeHandle(vCursorHandle[0], customPlot->xAxis->coordToPixel(vCursors.positionA), 12, true);
}

void VeltoInterface::vCursorRefreshB()
{
    if (!vCursors.visible)
        return;
    vCursors.positionB = vCursors.clampedB();
    placeHandle(vCursorHandle[1], customPlot->xAxis->coordToPixel(vCursors.positionB), 12, true);
}

void VeltoInterface::vCursorRefresh()
{
    vCursorRefreshA();
    vCursorRefreshB();
    ch1vZeroRefresh();
    vCursorRefreshLabel();
}

void VeltoInterface::vCursorRefreshLabel()
{
    if (!vCursors.visible)
        return;
    const VerticalCursors::Labels labels = vCursors.labels();
    labelDeltaTime->setText(labels.deltaTime);
    labelFrequency->setText(labels.frequency);
}

void VeltoInterface::cursorsVerticalChanged(bool on)
{
    vCursorSetVisible(verticalCursorsShown(on, ui->xyMode->isChecked()));
    vCursorRefresh();
    redrawRequested = true;
}

void VeltoInterface::on_checkBoxCursorVertical_clicked(bool checked) { cursorsVerticalChanged(checked); }

// --- Horizontal cursors -------------------------------------------------------

void VeltoInterface::hCursorInit()
{
    hCursors.hCursorInit();
    hCursorRefreshVisible();
    hCursorSetTracerVisible(false);
}

void VeltoInterface::hCursorSetVisible(bool on)
{
    hCursors.hCursorSetVisible(on);
    hCursorRefreshVisible();
}

void VeltoInterface::hCursorSetChannelEnabled(int channel, bool on)
{
    hCursors.hCursorSetChannelEnabled(channel, on);
}

void VeltoInterface::hCursorRefreshVisible()
{
    const bool shown = hCursors.shown();
    for (int k = 0; k < 2; ++k) {
        hCursorHandle[k]->setVisible(shown);
        hCursorLine[k]->setVisible(shown);
    }
    hCursorSetLabelVisible(shown);
}

void VeltoInterface::hCursorSetLabelVisible(bool on)
{
    labelVoltA->setVisible(on);
    labelVoltB->setVisible(on);
    labelDeltaVolt->setVisible(on);
}

void VeltoInterface::hCursorSetLabelColor(const QColor &colour)
{
    labelVoltA->setColor(colour);
    labelVoltB->setColor(colour);
    labelDeltaVolt->setColor(colour);
}

void VeltoInterface::hCursorSetTracerVisible(bool on)
{
    const HorizontalCursors::Tracers shown = hCursors.tracersShown(on);
    for (int k = 0; k < 2; ++k) {
        tracers[0][k]->setVisible(shown.ch1);
        tracers[1][k]->setVisible(shown.ch2);
    }
}

void VeltoInterface::hCursorRefreshA()
{
    const int absolute = hCursors.hCursorRefreshA(hCursors.absoluteA, zeroLevel[0], zeroLevel[1]);
    placeHandle(hCursorHandle[0], 14, customPlot->yAxis->coordToPixel(absolute), false);
}

void VeltoInterface::hCursorRefreshB()
{
    const int absolute = hCursors.hCursorRefreshB(hCursors.absoluteB, zeroLevel[0], zeroLevel[1]);
    placeHandle(hCursorHandle[1], 14, customPlot->yAxis->coordToPixel(absolute), false);
}

void VeltoInterface::hCursorcSetPositionAuto(bool on, double ch1Max, double ch1Min, double ch2Max, double ch2Min)
{
    if (!hCursors.autoPlacementApplies(on))
        return;
    const int ch = hCursors.channel;
    double a = ch == 0 ? ch1Max : ch2Max;
    double b = ch == 0 ? ch1Min : ch2Min;
    if (hCursors.type == Cursors::Track) {
        // An empty graph gives the tracers no value: the cursors stay.
        if ((ch == 0 ? ch1Graph : ch2Graph)->data()->isEmpty())
            return;
        const int keys[2] = {vCursors.clampedA(), vCursors.clampedB()};
        for (int k = 0; k < 2; ++k) {
            tracers[ch][k]->setGraph(ch == 0 ? ch1Graph : ch2Graph);
            tracers[ch][k]->setGraphKey(keys[k]);
            tracers[ch][k]->updatePosition();
        }
        a = tracers[ch][0]->position->value();
        b = tracers[ch][1]->position->value();
    }
    if (!hCursors.hCursorcSetPositionAuto(on, a, b, zeroLevel[0], zeroLevel[1]))
        return;
    placeHandle(hCursorHandle[0], 14, customPlot->yAxis->coordToPixel(hCursors.handleA(zeroLevel[0], zeroLevel[1])),
                false);
    placeHandle(hCursorHandle[1], 14, customPlot->yAxis->coordToPixel(hCursors.handleB(zeroLevel[0], zeroLevel[1])),
                false);
}

void VeltoInterface::hCursorRefreshLabel(bool on, int ch1Gain, int ch2Gain)
{
    if (!on)
        return;
    const HorizontalCursors::Labels labels = hCursors.labels(ch1Gain, ch2Gain);
    labelVoltA->setText(labels.voltA);
    labelVoltB->setText(labels.voltB);
    labelDeltaVolt->setText(labels.deltaVolt);
}

void VeltoInterface::cursorsHorizontalChanged(bool on)
{
    hCursorSetVisible(hCursors.switchedOn(on, ui->xyMode->isChecked()));
    redrawRequested = true;
}

void VeltoInterface::cursorsSetChannelActive(int channel)
{
    hCursors.setChannel(channel);
    cursorsHorizontalChanged(ui->checkBoxScopeCursorsHorizontal->isChecked());
    hCursors.absoluteA = hCursors.handleA(zeroLevel[0], zeroLevel[1]);
    hCursors.absoluteB = hCursors.handleB(zeroLevel[0], zeroLevel[1]);
    placeHandle(hCursorHandle[0], 14, customPlot->yAxis->coordToPixel(hCursors.absoluteA), false);
    placeHandle(hCursorHandle[1], 14, customPlot->yAxis->coordToPixel(hCursors.absoluteB), false);
    const QColor colour = (hCursors.channel == 0 ? ch1Graph : ch2Graph)->pen().color();
    vCursorSetLabelColor(colour);
    hCursorSetLabelColor(colour);
    hCursorRefreshVisible();
    hCursorSetTracerVisible(hCursors.type == Cursors::Track);
    redrawRequested = true;
}

void VeltoInterface::cursorsHorizontalTypeSet(int type)
{
    const CursorTypeEffects effects = cursorTypeEffects(type, ui->checkBoxCursorVertical->isChecked());
    if (effects.checkVerticalCursors && !ui->checkBoxCursorVertical->isChecked()) {
        ui->checkBoxCursorVertical->setChecked(true);
        cursorsVerticalChanged(true);
    }
    hCursors.setType(type);
    hCursorSetTracerVisible(effects.tracersOn);
    redrawRequested = true;
}

void VeltoInterface::on_checkBoxScopeCursorsHorizontal_clicked(bool checked) { cursorsHorizontalChanged(checked); }

void VeltoInterface::on_comboBoxScopeCursorsHorizontalType_currentIndexChanged(int index)
{
    cursorsHorizontalTypeSet(index);
}

void VeltoInterface::on_comboBoxScopeCursorsChannel_currentIndexChanged(int index)
{
    cursorsSetChannelActive(index);
}

// --- Zero indicators and logic labels ---------------------------------------------

int VeltoInterface::logicBitPos0(int bit)
{
    return PlotGeometry::logicBitBase(bit, ui->chdPositionSlider->value(), ui->chdSizeSlider->value());
}

void VeltoInterface::logicLabelPositionSet(int side)
{
    const QRect rect = customPlot->axisRect()->rect();
    const double x = PlotGeometry::logicLabelX(side, rect.left(), rect.right());
    for (QCPItemText *label : logicLabels) {
        label->setPositionAlignment((side == 1 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        label->position->setCoords(x, label->position->coords().y());
    }
}

void VeltoInterface::logicLabelsRefresh()
{
    logicLabelPositionSet(scopeOptions.logicLabelPosition);
    for (int bit = 0; bit < 8; ++bit) {
        const int level =
            PlotGeometry::logicLabelLevel(bit, ui->chdPositionSlider->value(), ui->chdSizeSlider->value());
        logicLabels[bit]->position->setCoords(logicLabels[bit]->position->coords().x(),
                                               customPlot->yAxis->coordToPixel(level));
    }
}

void VeltoInterface::zeroHeadRefresh()
{
    for (int ch = 0; ch < 3; ++ch)
        placeHandle(zeroHandle[ch], 2, customPlot->yAxis->coordToPixel(zeroLevel[ch]), false);
}

void VeltoInterface::ch1vZeroRefresh()
{
    if (!ui->xyMode->isChecked())
        return;
    placeHandle(ch1vZeroHandle, customPlot->xAxis->coordToPixel(256), 1 + ch1vZeroHandle->pixmap().height() / 2.0,
                true);
}

void VeltoInterface::showCH1ZeroVerticalIndicator(bool on)
{
    const bool xy = ui->xyMode->isChecked();
    ch1vZeroHandle->setVisible(xy && on);
    ch1vZeroLine->setVisible(xy && on);
    zeroHandle[0]->setVisible(!xy && on);
    zeroLine[0]->setVisible(!xy && on);
}

void VeltoInterface::showCH2ZeroVerticalIndicator(bool on)
{
    zeroHandle[1]->setVisible(on);
    zeroLine[1]->setVisible(on);
}

void VeltoInterface::showCHDZeroVerticalIndicator(bool on)
{
    zeroHandle[2]->setVisible(on);
    zeroLine[2]->setVisible(on);
}
