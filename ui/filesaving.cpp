// SPDX-License-Identifier: GPL-3.0-only
#include "ui/filesaving.h"

#include "base/logging.h"
#include "core/scope/frameexport.h"
#include "ui/messagepresenter.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace FileSaving {

namespace {

OverwriteQuestion &installedQuestion()
{
    static OverwriteQuestion question;
    return question;
}

bool askOverwrite(QWidget *parent, const QString &path)
{
    if (installedQuestion())
        return installedQuestion()(parent, path);
    return QMessageBox::question(parent, QObject::tr("Replace file"),
                                 QObject::tr("%1 exists already. Replace it?").arg(QFileInfo(path).fileName()),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

OverwriteQuestion setOverwriteQuestion(OverwriteQuestion question)
{
    OverwriteQuestion previous = installedQuestion();
    installedQuestion() = std::move(question);
    return previous;
}

QString chooseFile(QWidget *parent, const QString &title, const QString &folder, const QString &filters,
                   QString *filter)
{
    // The question before replacing is ours, so that it is asked the same way
    // whatever dialog the desktop provides.
    return QFileDialog::getSaveFileName(parent, title, folder, filters, filter, QFileDialog::DontConfirmOverwrite);
}

bool save(QWidget *parent, const QString &title, const QString &path, const QByteArray &data)
{
    if (QFileInfo::exists(path) && !askOverwrite(parent, path)) {
        VELTO_LOG(QStringLiteral("%1: %2 kept, not replaced").arg(title, path), 1);
        return false;
    }
    QString why;
    if (FrameExport::saveAtomically(path, data, &why)) {
        VELTO_LOG(QStringLiteral("%1: %2 bytes written to %3").arg(title).arg(data.size()).arg(path), 1);
        return true;
    }
    VELTO_LOG(QStringLiteral("%1 failed: %2").arg(title, why), 2);
    criticalMessagePresenter().showCritical(parent, title,
                                            QObject::tr("Nothing was saved: %1.").arg(why));
    return false;
}

} // namespace FileSaving
