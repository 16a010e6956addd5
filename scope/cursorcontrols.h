// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/scope/measurements.h"

#include <QObject>

class QSettings;

class QColor;
class ScopePlot;
struct ScopeState;
namespace Ui {
class VeltoInterface;
}

// The vertical (time) and horizontal (level) cursors: their handles, lines,
// labels and tracers on the plot, and the controls of the "Cursors" group.
// The arithmetic is in VerticalCursors and HorizontalCursors; this places
// what they say.
class CursorControls : public QObject
{
    Q_OBJECT
public:
    CursorControls(Ui::VeltoInterface *ui, ScopeState *state, ScopePlot *plot, QObject *parent = nullptr);

    VerticalCursors &vertical() { return vCursors; }
    HorizontalCursors &horizontal() { return hCursors; }

    void vCursorInit();
    void vCursorSetRange(int low, int high);
    void vCursorSetPosition(int a, int b);
    void vCursorSetVisible(bool on);
    void vCursorSetLabelVisible(bool on);
    void vCursorSetLabelColor(const QColor &colour);
    void vCursorRefreshA();
    void vCursorRefreshB();
    void vCursorRefresh();
    void vCursorRefreshLabel();
    void cursorsVerticalChanged(bool on);

    void hCursorInit();
    void hCursorSetVisible(bool on);
    void hCursorSetChannelEnabled(int channel, bool on);
    void hCursorRefreshVisible();
    void hCursorSetLabelVisible(bool on);
    void hCursorSetLabelColor(const QColor &colour);
    void hCursorSetTracerVisible(bool on);
    void hCursorRefreshA();
    void hCursorRefreshB();
    void hCursorSetPositionAuto(bool on, double ch1Max, double ch1Min, double ch2Max, double ch2Min);
    void hCursorRefreshLabel(bool on, const QString &ch1Scale, const QString &ch2Scale);
    void cursorsHorizontalChanged(bool on);
    void cursorsSetChannelActive(int channel);
    void cursorsHorizontalTypeSet(int type);

    // The horizontal cursors keep their distance from a trace that moves.
    void followZeroLevels();
    // Everything placed in pixels after the axes moved.
    void followAxes();
    // Drags of the four handles to a plot coordinate.
    void dragHorizontal(int cursor, int level);
    void dragVertical(int cursor, int key);
    // Where the user left the cursors, kept across a restart ("Cursors"
    // group); a stored value that is not a level keeps the default.
    void saveCursors(QSettings &store) const;
    void loadCursors(const QSettings &store);
    const VerticalCursors &vertical() const { return vCursors; }
    const HorizontalCursors &horizontal() const { return hCursors; }

private:
    Ui::VeltoInterface *ui;
    ScopeState *state;
    ScopePlot *plot;
    VerticalCursors vCursors;
    HorizontalCursors hCursors;
};
