// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/scope/triggermodel.h"

#include <QObject>
#include <QVector>

class DeviceSession;
class ScopePlot;
struct ScopeState;
namespace Ui {
class VeltoInterface;
}

// The trigger's controls (mode, type, source, hold-off, auto time-out,
// start, stop and force) and its markers on the plot. The rules live in the
// trigger model; this reads the buttons, asks the model and sends what it says.
class TriggerControls : public QObject
{
    Q_OBJECT
public:
    TriggerControls(Ui::VeltoInterface *ui, ScopeState *state, ScopePlot *plot, DeviceSession *session,
                    QObject *parent = nullptr);

    TriggerModel &model() { return triggerModel; }
    Trigger::Mode triggerModeChecked() const;

    void scopeSetTriggerType();
    void scopeSetTriggerMode();
    void scopeTriggerSourceChanged(int index);
    void scopeSetTriggerAutoTimer(double seconds);
    void triggerHoldChanged(double value);
    void sendTriggerControls();
    void sendTriggerWrites(const QVector<Trigger::ConfigWrite> &writes);
    void sendTriggerHold(int value);
    void sendTriggerSource(int index);
    // The level, window and post-trigger entries as the model holds them.
    void sendTriggerLevels();

    void triggerSetVisible(bool on);
    void triggerSetIcon();
    void triggerRefreshPos();
    void triggerMoveTrigger(double x, double y, bool force);
    void triggerMoveWinTrigger(double x, double yLow, double yHigh, bool force);
    void triggerMarkersPlace(bool force = false);
    // A marker dragged to a plot coordinate.
    void dragMarker(TriggerModel::Marker marker, double x, double y);
    // The same from the keyboard: whole samples and level counts.
    void nudgeMarker(TriggerModel::Marker marker, int samples, int levels);
    // The frame's size changed: the post-trigger entry follows.
    void setFrameSize(int samplesPerChannel);
    // A frame came: in Single mode the instrument has stopped after it, and
    // the run button says START so that one click takes the next.
    void frameTaken();

private:
    void stopButtonClicked();
    void followInvert(int channel);

    Ui::VeltoInterface *ui;
    ScopeState *state;
    ScopePlot *plot;
    DeviceSession *session;
    TriggerModel triggerModel;
};
