// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/recordingfile.h"

#include "base/logging.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace RecordingFile {

bool createNew(QFile &file, const QString &folder, const QString &name)
{
    // Another program (or a second Velto) may take the free name between
    // the look and the open: the open itself refuses an existing file.
    file.close();
    for (int attempt = 0; attempt < 100; ++attempt) {
        file.setFileName(WaveText::freePath(folder, name));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!file.exists())
            return false;
    }
    return false;
}

bool syncFolder(const QString &folder, QString *why)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
#else
    Q_UNUSED(folder);
    Q_UNUSED(why);
#endif
    return true;
}

} // namespace RecordingFile

bool RecordingWriter::open(const QString &folder, const QString &name)
{
    close();
    error.clear();
    bytes = 0;
    blocks = 0;
    if (!RecordingFile::createNew(file, folder, name)) {
        error = file.errorString();
        return false;
    }
    // The file's name reaches the disk now, not at the system's leisure: a
    // power cut in the first minutes would otherwise take the whole
    // recording with it. Some file systems cannot sync a folder; the
    // recording goes on without it.
    const QString folderPath = QFileInfo(file.fileName()).absolutePath();
    QString why;
    if (folderSync && !folderSync(folderPath, &why))
        VELTO_LOG(QStringLiteral("The folder %1 of the recording could not be pushed to the disk: %2")
                      .arg(folderPath, why),
                  2);
    sinceSync.start();
    return true;
}

bool RecordingWriter::append(const QString &block)
{
    if (!file.isOpen())
        return false;
    const QByteArray bytesOut = block.toUtf8();
    if (file.write(bytesOut) != bytesOut.size()) {
        error = file.errorString();
        return false;
    }
    bytes += bytesOut.size();
    ++blocks;
    waiting = true;
    return syncIfDue();
}

bool RecordingWriter::syncIfDue()
{
    return !file.isOpen() || !waiting || sinceSync.elapsed() < syncInterval || sync(false);
}

bool RecordingWriter::sync(bool wait)
{
    // Out of the program's buffer at once: a reader of the file sees every block.
    if (!file.flush()) {
        error = file.errorString();
        return false;
    }
    // A push still on its way from the last time: its verdict first.
    if (pushing.valid()) {
        if (!wait && pushing.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return true; // still going: what waits goes with the next push
        if (pushing.get() != 0) {
            error = QStringLiteral("the data could not be pushed to the disk");
            return false;
        }
    }
    sinceSync.restart();
    waiting = false;
#ifdef Q_OS_UNIX
    // Out of the system's cache too: a power cut loses no more than this
    // second. The disk may take a while: while recording, the push runs on a
    // thread of its own (on a descriptor of its own), so that the window
    // never waits for it; closing waits.
    const int fd = wait ? -1 : ::dup(file.handle());
    if (wait && ::fdatasync(file.handle()) == 0)
        return true;
    if (fd < 0) {
        error = QStringLiteral("the data could not be pushed to the disk");
        return false;
    }
    pushing = std::async(std::launch::async, [fd] {
        const int result = ::fdatasync(fd);
        ::close(fd);
        return result;
    });
#endif
    return true;
}

bool RecordingWriter::close()
{
    if (!file.isOpen())
        return true;
    const bool synced = sync(true);
    file.close();
    return synced && file.error() == QFileDevice::NoError;
}

bool RecordingReader::open(const QString &path)
{
    file.close();
    pending.clear();
    error.clear();
    skipped = 0;
    frames = 0;
    cutShort = false;
    junkAfter = -1;
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    pending = file.read(64 * 1024);
    fileKind = WaveText::recognise(pending);
    return true;
}

bool RecordingReader::next(WaveText::Frame &frame)
{
    const QByteArray end = WaveText::frameEnd().toLatin1();
    int from = 0;
    while (true) {
        const int cut = pending.indexOf(end, from);
        const bool last = cut < 0 && (file.atEnd() || !file.isOpen());
        if (cut < 0 && !last) {
            if (pending.size() > maximumBlockBytes) {
                error = QStringLiteral("a frame longer than %1 bytes").arg(maximumBlockBytes);
                pending.clear();
                file.close();
                return false;
            }
            // The separator may straddle two reads.
            from = qMax(0, pending.size() - end.size());
            const QByteArray more = file.read(1024 * 1024);
            if (more.isEmpty())
                file.close(); // a read error ends the file where it is
            pending += more;
            continue;
        }
        const QByteArray block = last ? pending : pending.left(cut);
        pending.remove(0, last ? pending.size() : cut + end.size());
        from = 0;
        if (block.trimmed().isEmpty()) {
            if (last)
                return false;
            continue;
        }
        bool ok = false;
        frame = WaveText::readFrame(QString::fromUtf8(block), &ok);
        // Every block of a recording ends with the hyphens; a last one
        // without them, with sections or just its time base, was cut short.
        const bool cutHere = last && fileKind == WaveText::Kind::Recording &&
                             (ok || WaveText::recognise(block) == WaveText::Kind::Recording);
        cutShort = cutShort || cutHere;
        if (ok) {
            ++frames;
            return true;
        }
        ++skipped;
        if (!cutHere && junkAfter < 0)
            junkAfter = frames;
        if (last)
            return false;
    }
}

QString RecordingReader::summary() const
{
    QStringList parts{frames == 1 ? QStringLiteral("1 frame read") : QStringLiteral("%1 frames read").arg(frames)};
    if (cutShort)
        parts << QStringLiteral("the last block was cut short");
    if (junkAfter >= 0)
        parts << QStringLiteral("junk after block %1 ignored").arg(junkAfter);
    if (!error.isEmpty())
        parts << error;
    return parts.join(QStringLiteral("; "));
}
