// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/scope/autoset.h"
#include "core/scope/triggermodel.h"

#include <QObject>
#include <QString>

class DeviceSession;
class QAction;
class QPushButton;
class ScopeDisplay;
class ScopePlot;
class TriggerControls;
namespace Ui {
class VeltoInterface;
}

// The "Autoset" and "Undo autoset" buttons under the run button, and the
// action with the keyboard shortcut the window lists. Autoset keeps the
// controls as they were, then sets them from each new frame (Autoset::choose)
// until a frame at the new settings changes nothing; Undo puts the kept
// controls back. The controls are set as a user would set them, so that
// every one reaches the instrument through its own handler.
class AutosetControls : public QObject
{
    Q_OBJECT
public:
    AutosetControls(Ui::VeltoInterface *ui, DeviceSession *session, ScopeDisplay *display, ScopePlot *plot,
                    TriggerControls *trigger, QObject *parent = nullptr);

    QAction *action() const { return autosetAction; }
    QPushButton *autosetButton() const { return runButton; }
    QPushButton *undoButton() const { return backButton; }
    bool running() const { return rounds > 0; }
    // The first start of all (an empty settings store): autoset once as
    // soon as frames come.
    void autosetOnFirstFrames() { pendingFirst = true; }

    void autoset();
    void undo();

signals:
    void statusText(const QString &text);

private:
    struct Controls {
        int gain[2] = {0, 0};
        int position[2] = {0, 0};
        int samplingIndex = 0;
        int triggerSource = 0;
        int triggerMode = 0;
        int triggerType = 0;
        TriggerChannelRecord records[2];
    };
    Controls current() const;
    void restore(const Controls &c);
    void frameShown();
    bool frameHasSettings(Autoset::Observation *input) const;
    void apply(const Autoset::Choice &choice);
    void finish(const QString &text);

    Ui::VeltoInterface *ui;
    DeviceSession *session;
    ScopeDisplay *display;
    ScopePlot *plot;
    TriggerControls *trigger;
    QAction *autosetAction;
    QPushButton *runButton;
    QPushButton *backButton;
    Controls before;
    // Frames looked at in this autoset; 0 while none runs.
    int rounds = 0;
    bool pendingFirst = false;
};
