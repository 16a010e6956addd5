// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QObject>

class QWidget;

// Keeps the wheel for scrolling a side panel: a combo box, slider or spin
// box under the pointer takes the wheel only once it has the focus (a click
// or Tab gives it), otherwise the panel scrolls on as if it were not there.
// Without this, scrolling the scope's panel changed whichever control
// passed under the pointer.
class WheelGuard : public QObject
{
    Q_OBJECT
public:
    explicit WheelGuard(QObject *parent = nullptr);
    // Guards every such control below `panel`.
    void guard(QWidget *panel);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
