// Working the plot with the mouse and the keys: picking and dragging the
// handles and markers, zoom and pan, the axis limits and the scroll bars,
// renaming labels, and where the pixel-placed items go after a resize.
// The rules are in PlotGeometry; this reads the pointer and applies them.
#include "app/veltointerface.h"
#include "scope/plotgeometry.h"
#include "ui_veltointerface.h"

#include <QInputDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>

#include <qcustomplot.h>

#include <cmath>

using namespace PlotGeometry;

namespace {
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

PlotGeometry::AxisMapping VeltoInterface::keyAxisMapping() const
{
    return mappingOf(customPlot->xAxis);
}

PlotGeometry::AxisMapping VeltoInterface::valueAxisMapping() const
{
    return mappingOf(customPlot->yAxis);
}

QVector<QCPAbstractItem *> VeltoInterface::selectableItems() const
{
    // In the order of the selection numbers.
    return {hCursorHandle[0], hCursorHandle[1], vCursorHandle[0], vCursorHandle[1], triggerMarker,
            windowMarker[0],  windowMarker[1],  zeroHandle[0],    zeroHandle[1],    zeroHandle[2]};
}

void VeltoInterface::selectItem(QMouseEvent *event)
{
    ItemDistances distances;
    const QVector<QCPAbstractItem *> items = selectableItems();
    for (int k = 0; k < int(distances.size()); ++k) {
        QCPAbstractItem *item = items.at(k);
        distances[size_t(k)] = item && item->visible() ? item->selectTest(event->localPos(), false) : -1.0;
    }
    selectedItem = pickSelection(distances, event->button() == Qt::LeftButton);
    if (selectedItem == noSelection)
        return;
    if (auto *pixmap = qobject_cast<QCPItemPixmap *>(items.at(selectedItem)))
        pixmap->setPen(QPen(selectionHighlightColor(selectedItem, ui->comboBoxTrigSource->currentIndex()), 1));
    // A held handle is dragged, not the plot under it.
    customPlot->setInteraction(QCP::iRangeDrag, false);
    redrawRequested = true;
}

void VeltoInterface::deselectItem(QMouseEvent *)
{
    selectedItem = noSelection;
    for (QCPAbstractItem *item : selectableItems())
        if (auto *pixmap = qobject_cast<QCPItemPixmap *>(item))
            pixmap->setPen(Qt::NoPen);
    customPlot->setInteraction(QCP::iRangeDrag, controlHeld);
    redrawRequested = true;
}

void VeltoInterface::moveCursor(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || selectedItem == noSelection)
        return;
    const QPointF pixel = roundedPointer(event->localPos());
    const double x = customPlot->xAxis->pixelToCoord(pixel.x());
    const double y = customPlot->yAxis->pixelToCoord(pixel.y());
    const double safeX = std::isfinite(x) ? qBound(-1.0e6, x, 1.0e6) : 0.0;
    const double safeY = std::isfinite(y) ? qBound(-1.0e6, y, 1.0e6) : 0.0;
    switch (selectedItem) {
    case HCursorA:
        hCursors.absoluteA = int(std::trunc(safeY));
        hCursorRefreshA();
        break;
    case HCursorB:
        hCursors.absoluteB = int(std::trunc(safeY));
        hCursorRefreshB();
        break;
    case VCursorA:
        vCursors.positionA = int(std::trunc(safeX));
        vCursorRefreshA();
        vCursorRefreshLabel();
        break;
    case VCursorB:
        vCursors.positionB = int(std::trunc(safeX));
        vCursorRefreshB();
        vCursorRefreshLabel();
        break;
    case Ch1Zero:
    case Ch2Zero: {
        const double held = clampPixelToBand(pixel.y(), valueAxisMapping(), analogZeroHandleLow, analogZeroHandleHigh);
        QSlider *slider = selectedItem == Ch1Zero ? ui->ch1PositionSlider : ui->ch2PositionSlider;
        const double value = customPlot->yAxis->pixelToCoord(held);
        // A plot without height has no coordinates to drag to.
        if (std::isfinite(value))
            slider->setValue(zeroHandleSliderValue(value, slider->minimum(), slider->maximum()));
        break;
    }
    case LogicZero: {
        const double held = clampPixelToBand(pixel.y(), valueAxisMapping(), logicZeroHandleLow, logicZeroHandleHigh);
        QSlider *slider = ui->chdPositionSlider;
        const double value = customPlot->yAxis->pixelToCoord(held);
        if (std::isfinite(value))
            slider->setValue(logicZeroHandleSliderValue(value, slider->minimum(), slider->maximum()));
        break;
    }
    case TriggerMarker:
    case WindowLowMarker:
    case WindowHighMarker: {
        const TriggerModel::Marker marker = selectedItem == TriggerMarker     ? TriggerModel::Marker::Trigger
                                            : selectedItem == WindowLowMarker ? TriggerModel::Marker::WindowLow
                                                                              : TriggerModel::Marker::WindowHigh;
        const QVector<Trigger::ConfigWrite> writes =
            triggerModel.dragMarker(marker, safeX, safeY, triggerModeChecked() == Trigger::Free);
        triggerMarkersPlace();
        sendTriggerWrites(writes);
        break;
    }
    default:
        break;
    }
    redrawRequested = true;
}

void VeltoInterface::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Control) {
        // The mouse pans the time axis while Control is held.
        controlHeld = true;
        customPlot->setInteractions(QCP::iRangeDrag);
    } else if (event->key() == Qt::Key_Shift) {
        customPlot->axisRect()->setRangeZoom(Qt::Vertical);
    }
    QMainWindow::keyPressEvent(event);
}

void VeltoInterface::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Control) {
        controlHeld = false;
        customPlot->setInteractions(QCP::iRangeZoom);
    } else if (event->key() == Qt::Key_Shift) {
        customPlot->axisRect()->setRangeZoom(Qt::Horizontal);
    }
    QMainWindow::keyReleaseEvent(event);
}

void VeltoInterface::xAxisChanged(const QCPRange &range)
{
    const AxisRange limited = limitXRange(range.lower, range.upper, 2.0 * samplesPerChannel);
    if (limited.lower != range.lower || limited.upper != range.upper) {
        // Setting the held range calls this again with a range that holds.
        customPlot->xAxis->setRange(limited.lower, limited.upper);
        return;
    }
    placeItemsOnAxes();
    setHorizontalScrollBar(limited.lower, limited.upper);
}

void VeltoInterface::yAxisChanged(const QCPRange &range)
{
    const AxisRange limited = limitYRange(range.lower, range.upper);
    if (limited.lower != range.lower || limited.upper != range.upper) {
        customPlot->yAxis->setRange(limited.lower, limited.upper);
        return;
    }
    placeItemsOnAxes();
    setVerticalScrollBar(limited.lower, limited.upper);
}

void VeltoInterface::placeItemsOnAxes()
{
    // Items placed in pixels follow the axes: the cursors, the zero
    // handles, the logic labels and the trigger markers.
    hCursors.absoluteA = hCursors.handleA(zeroLevel[0], zeroLevel[1]);
    hCursors.absoluteB = hCursors.handleB(zeroLevel[0], zeroLevel[1]);
    hCursorRefreshA();
    hCursorRefreshB();
    if (ui->checkBoxCHDTrace->isChecked())
        logicLabelsRefresh();
    vCursorRefresh();
    zeroHeadRefresh();
    triggerMarkersPlace();
}

void VeltoInterface::setHorizontalScrollBar(double lower, double upper)
{
    const ScrollBarSetting bar = horizontalScrollBar(lower, upper, 2.0 * samplesPerChannel);
    const QSignalBlocker blocker(ui->horizontalScrollBar);
    ui->horizontalScrollBar->setRange(bar.minimum, bar.maximum);
    ui->horizontalScrollBar->setPageStep(bar.pageStep);
    ui->horizontalScrollBar->setValue(bar.value);
}

void VeltoInterface::setVerticalScrollBar(double lower, double upper)
{
    const ScrollBarSetting bar = verticalScrollBar(lower, upper);
    const QSignalBlocker blocker(ui->verticalScrollBar);
    ui->verticalScrollBar->setRange(bar.minimum, bar.maximum);
    ui->verticalScrollBar->setPageStep(bar.pageStep);
    ui->verticalScrollBar->setValue(bar.value);
}

void VeltoInterface::horizontalScrollBarChanged(int value)
{
    const AxisRange range = horizontalRangeFromScrollBar(value, customPlot->xAxis->range().size());
    customPlot->xAxis->setRange(range.lower, range.upper);
    customPlot->replot();
}

void VeltoInterface::on_horizontalScrollBar_valueChanged(int value) { horizontalScrollBarChanged(value); }

void VeltoInterface::on_verticalScrollBar_valueChanged(int value)
{
    const AxisRange range =
        verticalRangeFromScrollBar(value, ui->verticalScrollBar->maximum(), customPlot->yAxis->range().size());
    customPlot->yAxis->setRange(range.lower, range.upper);
    customPlot->replot();
}

void VeltoInterface::on_sizeChanged()
{
    // The layout of the plot follows its size only at the next replot;
    // the items placed in pixels need it now.
    customPlot->plotLayout()->update(QCPLayoutElement::upPreparation);
    customPlot->plotLayout()->update(QCPLayoutElement::upMargins);
    customPlot->plotLayout()->update(QCPLayoutElement::upLayout);
    const CursorLabelPositions p = cursorLabelPositions(customPlot->width(), customPlot->height());
    labelDeltaTime->position->setCoords(p.deltaTime);
    labelFrequency->position->setCoords(p.frequency);
    labelDeltaVolt->position->setCoords(p.deltaVolt);
    labelVoltB->position->setCoords(p.voltB);
    labelVoltA->position->setCoords(p.voltA);
    placeItemsOnAxes();
    redrawRequested = true;
}

bool VeltoInterface::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == customPlot && event->type() == QEvent::Resize)
        QTimer::singleShot(0, this, [this] { on_sizeChanged(); });
    return QMainWindow::eventFilter(watched, event);
}

namespace {
// The text item whose box holds the pointer, the one whose centre is nearest
// when boxes overlap (logic labels of a small trace size do). The plot hands
// the topmost item within its tolerance instead, which is often a zero line
// or the next bit's label, so that the label under the pointer was out of reach.
QCPItemText *textItemAt(QCustomPlot *plot, const QPointF &pointer)
{
    QCPItemText *nearest = nullptr;
    double nearestDistance = 0.0;
    for (int k = 0; k < plot->itemCount(); ++k) {
        auto *text = qobject_cast<QCPItemText *>(plot->item(k));
        if (!text || !text->realVisibility())
            continue;
        // The labels are never rotated: their box is the one of the two corners.
        const QRectF box(text->topLeft->pixelPosition(), text->bottomRight->pixelPosition());
        if (!box.contains(pointer))
            continue;
        const QPointF centre = box.center();
        const double distance = QLineF(centre, pointer).length();
        if (!nearest || distance < nearestDistance) {
            nearest = text;
            nearestDistance = distance;
        }
    }
    return nearest;
}
} // namespace

void VeltoInterface::itemDoubleClick(QCPAbstractItem *item, QMouseEvent *event)
{
    QCPItemText *text = event ? textItemAt(customPlot, event->localPos()) : nullptr;
    if (!text)
        text = qobject_cast<QCPItemText *>(item);
    if (!text)
        return;
    bool ok = false;
    const QString name = askLabel ? askLabel(text->text(), &ok)
                                  : QInputDialog::getText(this, tr("Rename"), tr("New Label:"), QLineEdit::Normal,
                                                          text->text(), &ok);
    if (ok) {
        text->setText(name);
        redrawRequested = true;
    }
}

void VeltoInterface::on_xyMode_clicked()
{
    cursorsVerticalChanged(ui->checkBoxCursorVertical->isChecked());
    cursorsHorizontalChanged(ui->checkBoxScopeCursorsHorizontal->isChecked());
    setupScatterStyles(ui->checkBoxVectors->isChecked());
    scopeSetTriggerType();
    showCH1ZeroVerticalIndicator(ui->checkBoxCH1Trace->isChecked());
    redrawRequested = true;
}
