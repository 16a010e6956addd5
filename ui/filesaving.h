// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// How Velto saves what the user asks it to export: a file dialog that picks
// the name, a question before an existing file is replaced, an atomic write,
// and a message that says why a write failed. Tests replace the question
// the way they replace the message boxes (ui/messagepresenter.h).

#include <QString>

#include <functional>

class QByteArray;
class QWidget;

namespace FileSaving {

// Asks whether `path`, which exists, may be replaced.
using OverwriteQuestion = std::function<bool(QWidget *parent, const QString &path)>;
// Installs `question` (an empty one puts the message box back) and returns the one before.
OverwriteQuestion setOverwriteQuestion(OverwriteQuestion question);

// A save dialog; `filter` receives the filter chosen. Empty when cancelled.
QString chooseFile(QWidget *parent, const QString &title, const QString &folder, const QString &filters,
                   QString *filter);

// Saves `data` as `path`: asks first when the file exists, writes through a
// temporary file, and on failure shows a critical message titled `title`
// and logs it. True when the file was written.
bool save(QWidget *parent, const QString &title, const QString &path, const QByteArray &data);

} // namespace FileSaving
