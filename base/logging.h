// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QString>
#include <QtGlobal>

class QByteArray;
struct QMessageLogContext;

// The process-wide logging threshold, read once from "loggingLevel" at start.
// 0 logs everything, 2 warnings and above, 5 or more nothing (fatal still aborts).
extern int loggingLevel;

// The installed Qt message handler: one line per message into standard error
// (which main redirects into "velto.log"), serialised across threads.
void loggingOutput(QtMsgType type, const QMessageLogContext &context, const QString &message);

// Builds the line the handler writes, or an empty array when `threshold` filters it.
QByteArray formatLogLine(QtMsgType type, const QString &timeStamp, const QString &message, const char *file,
                         int line, const char *function, int threshold);

// The program's own logging call: level 0 debug, 1 info, 2 warning, 3 and 4
// critical (never fatal); any other level is dropped.
void veltoLog(const QString &message, int level, const char *file = nullptr, int line = 0,
              const char *function = nullptr);

// Points standard error at `path`, a new file, unbuffered; a non-empty file
// already there is kept as `path` + ".1" (replacing the one before). When the
// file cannot be opened standard error stays where it was and false is returned.
bool redirectStandardErrorTo(const QString &path);

// Writes `text` as it is to standard error as it was before the first
// redirection (the terminal Velto was started from); nothing when standard
// error was never redirected, since the log then goes there already.
void sayOnTerminal(const QString &text);

// When on, every line the handler writes also goes to the terminal Velto
// was started from (headless mode, where nobody reads a window).
void setLogEchoedToTerminal(bool on);

// Where the log goes: `name` in the working folder when a file can be
// written there, else the same name in the user's state folder
// ($XDG_STATE_HOME/velto, else ~/.local/state/velto), made when missing.
// Empty when neither can be written.
QString logFilePath(const QString &name);

// Logs through veltoLog with the caller's file, line and function as the source.
#define VELTO_LOG(message, level) veltoLog((message), (level), __FILE__, __LINE__, Q_FUNC_INFO)
