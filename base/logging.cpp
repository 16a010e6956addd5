// SPDX-License-Identifier: GPL-3.0-only
#include "base/logging.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDebug>
#include <QMessageLogger>
#include <QMutex>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

int loggingLevel = 0;

namespace {
// Standard error as it was before the log took it: the terminal Velto was started from.
int terminalDescriptor = -1;
bool echoToTerminal = false;

void writeAll(int fd, const char *data, qsizetype size)
{
    qsizetype done = 0;
    while (done < size) {
        const ssize_t written = ::write(fd, data + done, size_t(size - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += written;
    }
}
} // namespace

void setLogEchoedToTerminal(bool on) { echoToTerminal = on; }

QByteArray formatLogLine(QtMsgType type, const QString &timeStamp, const QString &message, const char *file,
                         int line, const char *function, int threshold)
{
    const char *word = nullptr;
    int needed = 0;
    switch (type) {
    case QtDebugMsg: word = "Debug"; needed = 0; break;
    case QtInfoMsg: word = "Info"; needed = 1; break;
    case QtWarningMsg: word = "Warning"; needed = 2; break;
    case QtCriticalMsg: word = "Critical"; needed = 3; break;
    case QtFatalMsg: word = "Fatal"; needed = 4; break;
    }
    if (!word || threshold > needed)
        return QByteArray();
    // A message without context (a release build of a library, a message
    // raised by the toolkit itself) still gets a readable tail.
    const char *fileText = (file && *file) ? file : "unknown";
    const char *functionText = (function && *function) ? function : "unknown";
    const unsigned lineNumber = line > 0 ? unsigned(line) : 0u;
    QByteArray out;
    out.reserve(64 + message.size());
    out += '[';
    out += timeStamp.toLocal8Bit();
    out += "] ";
    out += word;
    out += ": ";
    out += message.toLocal8Bit();
    out += " (";
    out += fileText;
    out += ':';
    out += QByteArray::number(lineNumber);
    out += ", ";
    out += functionText;
    out += ")\n";
    return out;
}

void loggingOutput(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static QMutex mutex;
    QMutexLocker locker(&mutex);
    // Taken under the lock: local-time conversion is not safe from two
    // threads at once on every system (without zone data it can fail), and a
    // line must never lose its time stamp.
    const QString format = QStringLiteral("yyyy.MM.dd hh:mm:ss:zzz");
    QString stamp = QDateTime::currentDateTime().toString(format);
    if (stamp.isEmpty())
        stamp = QDateTime::currentDateTimeUtc().toString(format);
    const QByteArray text =
        formatLogLine(type, stamp, message, context.file, context.line, context.function, loggingLevel);
    if (!text.isEmpty()) {
        fwrite(text.constData(), 1, size_t(text.size()), stderr);
        fflush(stderr);
        if (echoToTerminal && terminalDescriptor >= 0)
            writeAll(terminalDescriptor, text.constData(), text.size());
    }
    if (type == QtFatalMsg) {
        fflush(stderr);
        abort();
    }
}

void veltoLog(const QString &message, int level, const char *file, int line, const char *function)
{
    QMessageLogger logger(file, line, function);
    switch (level) {
    case 0: logger.debug().noquote() << message; break;
    case 1: logger.info().noquote() << message; break;
    case 2: logger.warning().noquote() << message; break;
    case 3:
    case 4: logger.critical().noquote() << message; break;
    default: break;
    }
}

bool redirectStandardErrorTo(const QString &path)
{
    // The last session's log is kept as "<path>.1" (a crash is read from it
    // after the restart); when it cannot be moved aside, the new lines go
    // after it instead of replacing it.
    const QByteArray name = path.toLocal8Bit();
    const QByteArray previous = name + ".1";
    QFileInfo existing(path);
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_TRUNC;
    if (existing.isFile() && existing.size() > 0 && ::rename(name.constData(), previous.constData()) != 0)
        flags = (flags & ~O_TRUNC) | O_APPEND;
    // Open first and only then replace descriptor 2: freopen would close
    // standard error even when the log file cannot be created.
    const int fd = ::open(name.constData(), flags, 0644);
    if (fd < 0)
        return false;
    fflush(stderr);
    if (terminalDescriptor < 0)
        terminalDescriptor = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const bool ok = ::dup2(fd, STDERR_FILENO) >= 0;
    ::close(fd);
    if (ok)
        setvbuf(stderr, nullptr, _IONBF, 0);
    return ok;
}

void sayOnTerminal(const QString &text)
{
    if (terminalDescriptor < 0)
        return;
    const QByteArray bytes = text.toLocal8Bit();
    writeAll(terminalDescriptor, bytes.constData(), bytes.size());
}

namespace {
bool writable(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append);
}
} // namespace

QString logFilePath(const QString &name)
{
    if (writable(name))
        return name;
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    const QString folder = state + QStringLiteral("/velto");
    const QString path = folder + QLatin1Char('/') + QFileInfo(name).fileName();
    if (QDir().mkpath(folder) && writable(path))
        return path;
    return QString();
}
