// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The scope's frames as a sigrok session file (.sr, version 2), which the
// sigrok tools open natively: a ZIP archive holding "version", "metadata"
// and the samples in chunks, the eight logic bits as one byte a sample and
// CH1 and CH2 as 32-bit floats in volts. No widgets.

#include "core/scope/frameexport.h"

#include <QByteArray>
#include <QDateTime>
#include <QPair>
#include <QString>
#include <QVector>

#include <cstdint>

namespace SigrokSession {

// The CRC-32 a ZIP archive checks its entries with.
uint32_t crc32(const QByteArray &data);

// A ZIP archive of `entries` (name, content), stored uncompressed, dated `when`.
QByteArray storedZip(const QVector<QPair<QString, QByteArray>> &entries, const QDateTime &when);

// The sample rate as the metadata writes it: whole hertz ("62500"); a time
// base slower than one sample a second is written as 1.
QString sampleRateText(double samplesPerSecond);

// The captures, in order, as one session: each capture one chunk of every
// channel. Every capture must have the channels and the time base of the
// first; false, with the reason in `why`, when one differs or none has samples.
bool toSessionFile(const QVector<FrameExport::Capture> &captures, const QDateTime &when, QByteArray *file,
                   QString *why);

// A recording made by the Record panel (read block by block) as one session,
// each frame a chunk, its plot values read back at `scale` (the scale the
// traces are drawn at) with the time base each block names. False, with the
// reason in `why`, for a file that is no recording or holds no frame, or
// whose frames differ in channels or time base.
bool recordingToSessionFile(const QString &path, const FrameExport::WaveScale &scale, const QDateTime &when,
                            QByteArray *file, QString *why);

} // namespace SigrokSession
