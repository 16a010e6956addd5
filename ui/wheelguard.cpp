// SPDX-License-Identifier: GPL-3.0-only
#include "ui/wheelguard.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QScrollBar>
#include <QTabBar>
#include <QWheelEvent>

WheelGuard::WheelGuard(QObject *parent) : QObject(parent) {}

void WheelGuard::guard(QWidget *panel)
{
    QList<QWidget *> controls;
    for (QComboBox *box : panel->findChildren<QComboBox *>())
        controls << box;
    for (QAbstractSpinBox *box : panel->findChildren<QAbstractSpinBox *>())
        controls << box;
    for (QAbstractSlider *slider : panel->findChildren<QAbstractSlider *>()) {
        // A scroll bar is for scrolling: the wheel is its own.
        if (!qobject_cast<QScrollBar *>(slider))
            controls << slider;
    }
    for (QWidget *control : controls) {
        // The wheel alone no longer gives the focus either.
        control->setFocusPolicy(Qt::StrongFocus);
        control->installEventFilter(this);
    }
    // Tabs (CH1, CH2, ..., and the pages) change only on a click.
    for (QTabBar *bar : panel->findChildren<QTabBar *>())
        bar->installEventFilter(this);
}

bool WheelGuard::eventFilter(QObject *watched, QEvent *event)
{
    auto *control = qobject_cast<QWidget *>(watched);
    if (event->type() != QEvent::Wheel || !control || (control->hasFocus() && !qobject_cast<QTabBar *>(control)))
        return QObject::eventFilter(watched, event);
    // Handed to the panel that scrolls, as if the control were not there.
    for (QWidget *up = control->parentWidget(); up; up = up->parentWidget()) {
        if (auto *area = qobject_cast<QAbstractScrollArea *>(up)) {
            QCoreApplication::sendEvent(area->verticalScrollBar(), event);
            break;
        }
    }
    return true;
}
