// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// How Velto shows its critical message boxes with one OK button (the profile
// check). The window asks criticalMessagePresenter() for the
// presenter; it is a real QMessageBox unless a test installed a recorder,
// which notes each message and dismisses it at once, so no modal loop ever
// stalls a test.
//
//   RecordingMessagePresenter recorder;
//   ScopedCriticalMessagePresenter installed(&recorder);
//   ... window.deviceProfileGet(...) ...
//   QCOMPARE(recorder.messages.size(), 1);

#include "core/persistence/hardwareprofile.h"

#include <QString>
#include <QVector>

class QWidget;


class CriticalMessagePresenter
{
public:
    virtual ~CriticalMessagePresenter();
    // Shows one critical message with a single OK button and returns when it is dismissed.
    virtual void showCritical(QWidget *parent, const QString &title, const QString &text) = 0;
};

// The application's presenter: QMessageBox::critical with one OK button.
class MessageBoxPresenter : public CriticalMessagePresenter
{
public:
    void showCritical(QWidget *parent, const QString &title, const QString &text) override;
};

// For tests: records every message and dismisses it at once.
class RecordingMessagePresenter : public CriticalMessagePresenter
{
public:
    void showCritical(QWidget *parent, const QString &title, const QString &text) override;
    QVector<CriticalMessage> messages;
};

// The presenter in force: the installed one, else a process-wide MessageBoxPresenter.
CriticalMessagePresenter &criticalMessagePresenter();

// Installs `presenter` (not owned; nullptr puts the message box back) and
// returns the one installed before.
CriticalMessagePresenter *setCriticalMessagePresenter(CriticalMessagePresenter *presenter);

// Installs a presenter for the life of the guard, then puts the previous one back.
class ScopedCriticalMessagePresenter
{
public:
    explicit ScopedCriticalMessagePresenter(CriticalMessagePresenter *presenter)
        : previous(setCriticalMessagePresenter(presenter))
    {
    }
    ~ScopedCriticalMessagePresenter() { setCriticalMessagePresenter(previous); }
    ScopedCriticalMessagePresenter(const ScopedCriticalMessagePresenter &) = delete;
    ScopedCriticalMessagePresenter &operator=(const ScopedCriticalMessagePresenter &) = delete;

private:
    CriticalMessagePresenter *previous;
};

// Shows the check's messages through `presenter`, one critical box with one OK button each, in order.
void showProfileMessages(const DeviceProfileCheck &check, CriticalMessagePresenter &presenter,
                         QWidget *parent = nullptr);
