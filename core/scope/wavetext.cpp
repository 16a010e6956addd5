// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/wavetext.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <cmath>
#include <cstring>

namespace WaveText {

QString sectionName(int index)
{
    if (index == 0)
        return QStringLiteral("CH1");
    if (index == 1)
        return QStringLiteral("CH2");
    return QStringLiteral("Bit%1").arg(index - 2);
}

QString formatValue(double value)
{
    // A frame's values come from a few hundred plot levels (a code times
    // 1.5625 plus a position), and formatting a number costs twenty times a
    // look-up: the texts already made are kept, a bounded number of them.
    static thread_local QHash<quint64, QString> made;
    quint64 key;
    std::memcpy(&key, &value, sizeof key);
    const auto found = made.constFind(key);
    if (found != made.constEnd())
        return *found;
    if (made.size() >= 1 << 16)
        made.clear();
    return *made.insert(key, QString::number(value, 'g', 6));
}

namespace {
QString section(const QVector<QVector<double>> &vectors, int index)
{
    QString text = sectionName(index) + QLatin1Char(',');
    if (index < vectors.size()) {
        const QVector<double> &values = vectors.at(index);
        text.reserve(text.size() + values.size() * 8);
        for (double v : values) {
            text += formatValue(v);
            text += QLatin1Char(',');
        }
    }
    return text;
}

int sectionIndex(const QStringRef &name)
{
    const QStringRef n = name.trimmed();
    if (n == QLatin1String("CH1"))
        return 0;
    if (n == QLatin1String("CH2"))
        return 1;
    if (n.size() == 4 && n.startsWith(QLatin1String("Bit")) && n.at(3) >= QLatin1Char('0') &&
        n.at(3) <= QLatin1Char('7'))
        return 2 + (n.at(3).unicode() - '0');
    return -1;
}

// The sampling index of a recording block: a small decimal number alone.
bool readSamplingIndex(const QStringRef &part, int *index)
{
    bool ok = false;
    const int value = part.trimmed().toInt(&ok);
    if (ok && index)
        *index = value;
    return ok;
}
} // namespace

QString waveToString(const QVector<QVector<double>> &vectors)
{
    QString text;
    for (int i = 0; i < vectorsPerFrame; ++i)
        text += section(vectors, i) + separator() + QLatin1Char('\n');
    return text + frameEnd();
}

QString recordingBlock(int samplingIndex, const QVector<QVector<double>> &vectors)
{
    return QString::number(samplingIndex) + separator() + QLatin1Char('\n') + waveToString(vectors);
}

QString waveToFile(const QVector<QVector<double>> &vectors)
{
    QString text;
    for (int i = 0; i < vectorsPerFrame; ++i) {
        text += section(vectors, i);
        if (i + 1 < vectorsPerFrame)
            text += separator() + QLatin1Char('\n');
    }
    return text;
}

QVector<double> readValues(const QString &section)
{
    const QVector<QStringRef> items = section.splitRef(QLatin1Char(','));
    QVector<double> values;
    if (items.size() <= 2)
        return values;
    values.reserve(items.size() - 2);
    for (int i = 1; i + 1 < items.size(); ++i) {
        bool ok = false;
        const double v = items.at(i).trimmed().toDouble(&ok);
        values.append(ok && std::isfinite(v) ? v : 0.0);
    }
    return values;
}

Frame readFrame(const QString &text, bool *ok)
{
    Frame frame;
    QString body = text;
    const int end = body.indexOf(frameEnd());
    if (end >= 0)
        body.truncate(end);
    const QVector<QStringRef> parts = body.splitRef(separator());
    for (int k = 0; k < parts.size(); ++k) {
        const QStringRef part = parts.at(k);
        const int comma = part.indexOf(QLatin1Char(','));
        const int index = comma < 0 ? -1 : sectionIndex(part.left(comma));
        if (index < 0) {
            // Before the first section, a recording block names its time base.
            if (k == 0)
                readSamplingIndex(part, &frame.samplingIndex);
            continue;
        }
        frame.vectors[index] = readValues(part.toString());
        ++frame.sectionsRead;
    }
    if (ok)
        *ok = frame.sectionsRead > 0;
    return frame;
}

Kind recognise(const QByteArray &head)
{
    const int cut = head.indexOf("<*>");
    const QByteArray first = (cut < 0 ? head : head.left(cut)).trimmed();
    if (first.startsWith("CH1,"))
        return Kind::Wave;
    bool ok = false;
    first.toInt(&ok);
    return ok && cut >= 0 ? Kind::Recording : Kind::Unknown;
}

namespace {
QString clock(const QTime &time)
{
    return time.toString(QStringLiteral("hh:mm:ss")).remove(QLatin1Char(':'));
}
} // namespace

QString waveFileName(const QTime &time)
{
    return QStringLiteral("waveFile") + clock(time) + QStringLiteral(".vsp");
}

QString screenShotName(const QTime &time)
{
    return QStringLiteral("screenShot") + clock(time) + QStringLiteral(".png");
}

QString recordFileName(const QDateTime &time)
{
    return QStringLiteral("record-") + time.toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss")) + QStringLiteral(".vsp");
}

QString freePath(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    QString path = dir.filePath(name);
    const QFileInfo info(name);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString stem = name.left(name.size() - suffix.size());
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(stem + QLatin1Char('-') + QString::number(n) + suffix);
    return path;
}

} // namespace WaveText
