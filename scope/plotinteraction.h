// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class CursorControls;
class QCPAbstractItem;
class QKeyEvent;
class QMouseEvent;
class QPointF;
class ScopePlot;
class TriggerControls;
struct ScopeState;
namespace Ui {
class VeltoInterface;
}

// Working the plot with the mouse and the keys: picking and dragging the
// handles and markers, panning with Control, vertical zoom with Shift,
// renaming labels, and XY mode. The rules are in PlotGeometry; this reads
// the pointer and applies them.
class PlotInteraction : public QObject
{
    Q_OBJECT
public:
    PlotInteraction(Ui::VeltoInterface *ui, ScopeState *state, ScopePlot *plot, CursorControls *cursors,
                    TriggerControls *trigger, QObject *parent = nullptr);

    void selectItem(QMouseEvent *event);
    void moveCursor(QMouseEvent *event);
    void deselectItem(QMouseEvent *event);
    void itemDoubleClick(QCPAbstractItem *item, QMouseEvent *event);
    // Control and Shift, from the window's key events.
    void keyPressed(QKeyEvent *event);
    void keyReleased(QKeyEvent *event);
    void xyModeChanged();
    // The held item, 0..9, or 10 for none.
    int selectedItem() const { return selected; }
    // Asks for a label's new name; tests replace the dialog.
    void setLabelAsker(std::function<QString(const QString &current, bool *ok)> asker) { askLabel = std::move(asker); }

    // The trigger or window marker the arrow keys move: the last one picked,
    // until a press elsewhere; 10 for none.
    int keyboardMarker() const { return keyTarget; }
    static const QString markerToolTip;

private:
    void dragZeroHandle(double pixelY);
    bool nudgeMarker(int key);
    void showMarkerToolTip(const QPointF &pointer);

    Ui::VeltoInterface *ui;
    ScopeState *state;
    ScopePlot *plot;
    CursorControls *cursors;
    TriggerControls *trigger;
    int selected = 10;
    int keyTarget = 10;
    bool controlHeld = false;
    std::function<QString(const QString &current, bool *ok)> askLabel;
};
