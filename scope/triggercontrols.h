// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/scope/triggermodel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

class DeviceSession;
class QDoubleSpinBox;
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
    // New frames were shown: the badge follows, and a Single frame (or one
    // forced while stopped) stops the scope again.
    void framesArrived();
    // The badge on the plot from the run state, the mode and the frames' pace.
    Trigger::Status status() const;
    void refreshStatus();
    // The level box on the trigger panel and the volts beside the marker,
    // from the model.
    void refreshLevelReadout();
    QDoubleSpinBox *levelBox() const { return levelSpinBox; }
    bool isRunning() const { return running; }
    // One frame acquired from now, then stopped, the mode unchanged (a
    // remote client's single acquisition): the scope is armed (again), and
    // frames the transport had taken in before do not count.
    void acquireOneFrame();

private:
    void stopButtonClicked();
    // Stops the scope once a frame acquired after acquireOneFrame's start has been taken in.
    void stopAfterArmedFrame();
    void forceClicked();
    void followInvert(int channel);
    void setupLevelBox();
    void levelBoxChanged(double volts);
    // The gain of the source's channel, -1 for a source without a level.
    int sourceGain() const;

    Ui::VeltoInterface *ui;
    ScopeState *state;
    ScopePlot *plot;
    DeviceSession *session;
    TriggerModel triggerModel;
    QDoubleSpinBox *levelSpinBox = nullptr;
    bool running = false;
    // A frame came since the scope was last started, and when.
    bool frameSinceStart = false;
    QElapsedTimer sinceFrame;
    double lastGapMs = -1.0;
    // A Force while stopped starts the scope for one frame only.
    bool stopAfterFrame = false;
    // Reads the transport had taken in when acquireOneFrame armed the scope.
    quint64 readsBeforeArm = 0;
    QTimer statusTick;
};
