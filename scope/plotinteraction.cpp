// SPDX-License-Identifier: GPL-3.0-only
// Working the plot with the mouse and the keys.
#include "scope/plotinteraction.h"

#include "scope/cursorcontrols.h"
#include "core/scope/plotgeometry.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "scope/triggercontrols.h"
#include "ui_veltointerface.h"

#include <QInputDialog>
#include <QKeyEvent>
#include <QMouseEvent>

#include <qcustomplot.h>

#include <cmath>

using namespace PlotGeometry;

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

PlotInteraction::PlotInteraction(Ui::VeltoInterface *ui, ScopeState *state, ScopePlot *plot, CursorControls *cursors,
                                 TriggerControls *trigger, QObject *parent)
    : QObject(parent), ui(ui), state(state), plot(plot), cursors(cursors), trigger(trigger)
{
    QCustomPlot *customPlot = plot->plot();
    connect(customPlot, &QCustomPlot::mouseMove, this, &PlotInteraction::moveCursor);
    connect(customPlot, &QCustomPlot::mousePress, this, &PlotInteraction::selectItem);
    connect(customPlot, &QCustomPlot::mouseRelease, this, &PlotInteraction::deselectItem);
    connect(customPlot, &QCustomPlot::itemDoubleClick, this, &PlotInteraction::itemDoubleClick);
    connect(ui->xyMode, &QCheckBox::toggled, this, &PlotInteraction::xyModeChanged);
}

void PlotInteraction::selectItem(QMouseEvent *event)
{
    ItemDistances distances;
    const QVector<QCPAbstractItem *> items = plot->items().selectable();
    for (int k = 0; k < int(distances.size()); ++k) {
        QCPAbstractItem *item = items.at(k);
        distances[size_t(k)] = item && item->visible() ? item->selectTest(event->localPos(), false) : -1.0;
    }
    selected = pickSelection(distances, event->button() == Qt::LeftButton);
    const bool marker = selected == TriggerMarker || selected == WindowLowMarker || selected == WindowHighMarker;
    keyTarget = marker ? selected : noSelection;
    // The arrow keys reach the window through the plot, not the side panel.
    if (marker)
        plot->plot()->setFocus(Qt::MouseFocusReason);
    if (selected == noSelection)
        return;
    if (auto *pixmap = qobject_cast<QCPItemPixmap *>(items.at(selected)))
        pixmap->setPen(QPen(selectionHighlightColor(selected, ui->comboBoxTrigSource->currentIndex()), 1));
    // A held handle is dragged, not the plot under it.
    plot->plot()->setInteraction(QCP::iRangeDrag, false);
    state->redrawRequested = true;
}

void PlotInteraction::deselectItem(QMouseEvent *)
{
    selected = noSelection;
    for (QCPAbstractItem *item : plot->items().selectable())
        if (auto *pixmap = qobject_cast<QCPItemPixmap *>(item))
            pixmap->setPen(Qt::NoPen);
    plot->plot()->setInteraction(QCP::iRangeDrag, controlHeld);
    state->redrawRequested = true;
}

void PlotInteraction::moveCursor(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        showMarkerToolTip(event->localPos());
        return;
    }
    if (selected == noSelection)
        return;
    const QPointF pixel = roundedPointer(event->localPos());
    const double x = plot->plot()->xAxis->pixelToCoord(pixel.x());
    const double y = plot->plot()->yAxis->pixelToCoord(pixel.y());
    // A pointer on a unit's own pixel reads that unit: the division mapping
    // pixels to units can land a hair below it, which truncation would drop.
    auto settle = [](double v) {
        const double whole = std::round(v);
        return std::abs(v - whole) < 1e-6 ? whole : v;
    };
    const double safeX = std::isfinite(x) ? settle(qBound(-1.0e6, x, 1.0e6)) : 0.0;
    const double safeY = std::isfinite(y) ? settle(qBound(-1.0e6, y, 1.0e6)) : 0.0;
    switch (selected) {
    case HCursorA:
    case HCursorB:
        cursors->dragHorizontal(selected == HCursorA ? 0 : 1, int(std::trunc(safeY)));
        break;
    case VCursorA:
    case VCursorB:
        cursors->dragVertical(selected == VCursorA ? 0 : 1, int(std::trunc(safeX)));
        break;
    case Ch1Zero:
    case Ch2Zero:
    case LogicZero:
        dragZeroHandle(pixel.y());
        break;
    case TriggerMarker:
    case WindowLowMarker:
    case WindowHighMarker: {
        const TriggerModel::Marker marker = selected == TriggerMarker     ? TriggerModel::Marker::Trigger
                                            : selected == WindowLowMarker ? TriggerModel::Marker::WindowLow
                                                                              : TriggerModel::Marker::WindowHigh;
        trigger->dragMarker(marker, safeX, safeY);
        break;
    }
    default:
        break;
    }
    state->redrawRequested = true;
}

const QString PlotInteraction::markerToolTip = QObject::tr(
    "Trigger marker: drag it to set the trigger level and position, or click it and use the arrow keys "
    "(Up/Down: level, Left/Right: position; Page Up/Page Down: ten level steps)");

void PlotInteraction::showMarkerToolTip(const QPointF &pointer)
{
    const QVector<QCPAbstractItem *> items = plot->items().selectable();
    bool over = false;
    for (int k : {int(TriggerMarker), int(WindowLowMarker), int(WindowHighMarker)}) {
        QCPAbstractItem *item = items.at(k);
        const double distance = item && item->visible() ? item->selectTest(pointer, false) : -1.0;
        over = over || (distance >= 0.0 && distance < pickDistance);
    }
    plot->plot()->setToolTip(over ? markerToolTip : QString());
}

// Arrow keys move the marker picked last by one step, Page Up and Page Down
// its level by ten.
bool PlotInteraction::nudgeMarker(int key)
{
    if (keyTarget == noSelection)
        return false;
    int samples = 0, levels = 0;
    switch (key) {
    case Qt::Key_Up: levels = 1; break;
    case Qt::Key_Down: levels = -1; break;
    case Qt::Key_PageUp: levels = 10; break;
    case Qt::Key_PageDown: levels = -10; break;
    case Qt::Key_Right: samples = 1; break;
    case Qt::Key_Left: samples = -1; break;
    default: return false;
    }
    const TriggerModel::Marker marker = keyTarget == TriggerMarker     ? TriggerModel::Marker::Trigger
                                        : keyTarget == WindowLowMarker ? TriggerModel::Marker::WindowLow
                                                                       : TriggerModel::Marker::WindowHigh;
    trigger->nudgeMarker(marker, samples, levels);
    state->redrawRequested = true;
    return true;
}

void PlotInteraction::keyPressed(QKeyEvent *event)
{
    if (nudgeMarker(event->key())) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Control) {
        // The mouse pans the time axis while Control is held.
        controlHeld = true;
        plot->plot()->setInteractions(QCP::iRangeDrag);
    } else if (event->key() == Qt::Key_Shift) {
        plot->plot()->axisRect()->setRangeZoom(Qt::Vertical);
    }
}

void PlotInteraction::keyReleased(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Control) {
        controlHeld = false;
        plot->plot()->setInteractions(QCP::iRangeZoom);
    } else if (event->key() == Qt::Key_Shift) {
        plot->plot()->axisRect()->setRangeZoom(Qt::Horizontal);
    }
}

void PlotInteraction::itemDoubleClick(QCPAbstractItem *item, QMouseEvent *event)
{
    QCPItemText *text = event ? textItemAt(plot->plot(), event->localPos()) : nullptr;
    if (!text)
        text = qobject_cast<QCPItemText *>(item);
    if (!text)
        return;
    bool ok = false;
    const QString name = askLabel ? askLabel(text->text(), &ok)
                                  : QInputDialog::getText(ui->plotArea, tr("Rename"), tr("New Label:"), QLineEdit::Normal,
                                                          text->text(), &ok);
    if (ok) {
        text->setText(name);
        state->redrawRequested = true;
    }
}

void PlotInteraction::xyModeChanged()
{
    cursors->cursorsVerticalChanged(ui->checkBoxCursorVertical->isChecked());
    cursors->cursorsHorizontalChanged(ui->checkBoxScopeCursorsHorizontal->isChecked());
    plot->setupScatterStyles(ui->checkBoxVectors->isChecked());
    plot->setXYView(ui->xyMode->isChecked());
    trigger->scopeSetTriggerType();
    plot->showCH1ZeroVerticalIndicator(ui->checkBoxCH1Trace->isChecked());
    // XY's figure is centred: CH2's and the logic's zero handles stand aside until it ends.
    const bool xy = ui->xyMode->isChecked();
    plot->showCH2ZeroVerticalIndicator(!xy && ui->checkBoxCH2Trace->isChecked());
    plot->showCHDZeroVerticalIndicator(!xy && ui->checkBoxCHDTrace->isChecked());
    state->redrawRequested = true;
}

void PlotInteraction::dragZeroHandle(double pixelY)
{
    const bool logic = selected == LogicZero;
    const double held = logic ? clampPixelToBand(pixelY, plot->valueAxisMapping(), logicZeroHandleLow, logicZeroHandleHigh)
                              : clampPixelToBand(pixelY, plot->valueAxisMapping(), analogZeroHandleLow,
                                                 analogZeroHandleHigh);
    QSlider *slider = logic ? ui->chdPositionSlider : selected == Ch1Zero ? ui->ch1PositionSlider : ui->ch2PositionSlider;
    const double value = plot->plot()->yAxis->pixelToCoord(held);
    // A plot without height has no coordinates to drag to.
    if (!std::isfinite(value))
        return;
    slider->setValue(logic ? logicZeroHandleSliderValue(value, slider->minimum(), slider->maximum())
                           : zeroHandleSliderValue(value, slider->minimum(), slider->maximum()));
}
