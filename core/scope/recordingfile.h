// SPDX-License-Identifier: GPL-3.0-only
#pragma once
// The recording on disk while it is made and while it is played back. The
// writer puts every block into the file as it comes and pushes the file to
// the disk at least once a second, so that a crash or a power cut loses at
// most the last second and the memory used stays the same however long the
// recording runs; the file grows block by block into exactly what one
// write at the stop would have made. The reader takes the file one block at
// a time, so that a recording of any length plays in little memory.
#include "core/scope/wavetext.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <functional>
#include <future>

namespace RecordingFile {
// Creates `name` in `folder` for writing, never over an existing file: when
// the name is taken, the first free name-2, name-3, ... is used.
bool createNew(QFile &file, const QString &folder, const QString &name);
// Pushes the folder's list of names to the disk, so that a file just made
// in it is still there after a power cut. False, with the reason in `why`,
// when the folder cannot be opened or synced.
bool syncFolder(const QString &folder, QString *why);
} // namespace RecordingFile

class RecordingWriter
{
public:
    // How long a block may wait in the program's and the system's buffers
    // before it is pushed to the disk.
    explicit RecordingWriter(int syncIntervalMs = 1000) : syncInterval(syncIntervalMs) {}
    // Tests watch the folder sync that follows the file's creation through this.
    using FolderSync = std::function<bool(const QString &folder, QString *why)>;
    void setFolderSync(FolderSync sync) { folderSync = std::move(sync); }
    ~RecordingWriter() { close(); }

    bool open(const QString &folder, const QString &name);
    bool isOpen() const { return file.isOpen(); }
    // Appends a block; false when it could not be written (the disk is full,
    // the medium is gone), with the reason in errorString().
    bool append(const QString &block);
    // Pushes what waits to the disk when it has waited the interval; for
    // when no block comes to do it (the scope stopped, a slow time base).
    bool syncIfDue();
    // Pushes what is written to the disk and closes; false when that failed.
    bool close();

    QString fileName() const { return file.fileName(); }
    QString errorString() const { return error; }
    qint64 bytesWritten() const { return bytes; }
    qint64 blocksWritten() const { return blocks; }

private:
    // Pushes what is written to the disk: now (`wait`), or on a thread of its own.
    bool sync(bool wait);

    QFile file;
    std::future<int> pushing; // a push to the disk on its way: fdatasync's result
    QElapsedTimer sinceSync;
    int syncInterval;
    FolderSync folderSync = RecordingFile::syncFolder;
    QString error;
    qint64 bytes = 0;
    qint64 blocks = 0;
    bool waiting = false; // blocks written since the last push to the disk
};

class RecordingReader
{
public:
    // A block longer than this without its ten hyphens is not Velto's.
    static constexpr int maximumBlockBytes = 16 * 1024 * 1024;

    bool open(const QString &path);
    WaveText::Kind kind() const { return fileKind; }
    // The next frame of the file; false at its end or at the first block too
    // long to be one. A last block cut short (a recording that was never
    // stopped) gives what it holds; a block with no section is skipped.
    bool next(WaveText::Frame &frame);
    QString errorString() const { return error; }
    int blocksSkipped() const { return skipped; }
    // What the reading found so far, for the user: "12 frames read", and
    // when the file was not whole "the last block was cut short", "junk
    // after block 12 ignored" or the error that ended the reading.
    QString summary() const;
    bool damaged() const { return cutShort || junkAfter >= 0 || !error.isEmpty(); }

private:
    QFile file;
    QByteArray pending;
    WaveText::Kind fileKind = WaveText::Kind::Unknown;
    QString error;
    int skipped = 0;
    int frames = 0;
    // The recording ends without the ten hyphens of its last block.
    bool cutShort = false;
    // The frames read before the first text that is no block, or -1.
    int junkAfter = -1;
};
