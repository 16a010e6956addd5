#pragma once
// Text forms of a displayed frame: ten vectors of plot values (CH1, CH2,
// logic bits 0 to 7) as the wave text of a recording block and as a saved
// wave file. Values are plot coordinates written with six significant
// digits; every value, the last one included, is followed by ",".
#include <QString>
#include <QVector>

namespace WaveText {
constexpr int vectorsPerFrame = 10;
// The section names in order: "CH1", "CH2", "Bit0" .. "Bit7".
QString sectionName(int index);
// A number as the files hold it: 640, 838.4, 1e+07.
QString formatValue(double value);
// One frame as a recording block holds it: every section ends with "<*>"
// and a line feed, and the frame ends with ten hyphens. Missing vectors
// are written as empty sections.
QString waveToString(const QVector<QVector<double>> &vectors);
// A saved wave file: the same sections, the last one without "<*>" and
// without the hyphens.
QString waveToFile(const QVector<QVector<double>> &vectors);
} // namespace WaveText
