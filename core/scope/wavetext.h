// SPDX-License-Identifier: GPL-3.0-only
#pragma once
// Text forms of a displayed frame: ten vectors of plot values (CH1, CH2,
// logic bits 0 to 7) as the wave text of a recording block and as a saved
// wave file, the readers of both, and the names of the files Velto writes.
// Values are plot coordinates written with six significant digits; every
// value, the last one included, is followed by ",".
#include <QDateTime>
#include <QString>
#include <QVector>

namespace WaveText {
constexpr int vectorsPerFrame = 10;
// Ends every frame of a recording.
inline QString frameEnd() { return QStringLiteral("----------"); }
// Between the sections.
inline QString separator() { return QStringLiteral("<*>"); }

// The section names in order: "CH1", "CH2", "Bit0" .. "Bit7".
QString sectionName(int index);
// A number as the files hold it: 640, 838.4, 1e+07.
QString formatValue(double value);
// One frame as a recording block holds it: every section ends with "<*>"
// and a line feed, and the frame ends with ten hyphens. Missing vectors
// are written as empty sections.
QString waveToString(const QVector<QVector<double>> &vectors);
// A whole recording block: the time base index, "<*>", a line feed, and the frame.
QString recordingBlock(int samplingIndex, const QVector<QVector<double>> &vectors);
// A saved wave file: the same sections, the last one without "<*>" and
// without the hyphens.
QString waveToFile(const QVector<QVector<double>> &vectors);

// The values of one section ("CH1,640,641.5,"): the items after the name up
// to the last ","; an item that is not a finite number reads as 0.
QVector<double> readValues(const QString &section);

// A frame read back: always ten vectors, empty where the text had no such
// section. Sections are found by their names, so a missing, repeated or
// unknown section leaves the others where they belong.
struct Frame {
    QVector<QVector<double>> vectors = QVector<QVector<double>>(vectorsPerFrame);
    int samplingIndex = -1; // -1: a saved wave, which names no time base
    int sectionsRead = 0;
};
// A saved wave file or one recording block (with or without its ten
// hyphens). `ok` is false when the text holds no section at all.
Frame readFrame(const QString &text, bool *ok = nullptr);

// What the start of a file says it is.
enum class Kind { Unknown, Wave, Recording };
Kind recognise(const QByteArray &head);

// "waveFile143512.vsp", "screenShot143512.png", "record-2026-12-05_14-35-12.vsp".
QString waveFileName(const QTime &time);
QString screenShotName(const QTime &time);
QString recordFileName(const QDateTime &time);
// `name` in `folder`, or, when a file of that name is there already, the
// first of name-2, name-3, ... (before the extension) that is not.
QString freePath(const QString &folder, const QString &name);
} // namespace WaveText
