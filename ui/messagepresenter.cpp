// SPDX-License-Identifier: GPL-3.0-only
#include "ui/messagepresenter.h"

#include <QMessageBox>

namespace {
CriticalMessagePresenter *installedPresenter = nullptr;
}

CriticalMessagePresenter::~CriticalMessagePresenter() = default;

void MessageBoxPresenter::showCritical(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::critical(parent, title, text, QMessageBox::Ok);
}

void RecordingMessagePresenter::showCritical(QWidget *, const QString &title, const QString &text)
{
    messages.append(CriticalMessage{title, text});
}

CriticalMessagePresenter &criticalMessagePresenter()
{
    static MessageBoxPresenter messageBox;
    return installedPresenter ? *installedPresenter : messageBox;
}

CriticalMessagePresenter *setCriticalMessagePresenter(CriticalMessagePresenter *presenter)
{
    CriticalMessagePresenter *previous = installedPresenter;
    installedPresenter = presenter;
    return previous;
}

void showProfileMessages(const DeviceProfileCheck &check, CriticalMessagePresenter &presenter, QWidget *parent)
{
    for (const CriticalMessage &message : check.messages)
        presenter.showCritical(parent, message.title, message.text);
}
