#include "scope/wavetext.h"

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
    return QString::number(value, 'g', 6);
}

namespace {
QString section(const QVector<QVector<double>> &vectors, int index)
{
    QString text = sectionName(index) + QLatin1Char(',');
    if (index < vectors.size())
        for (double v : vectors.at(index))
            text += formatValue(v) + QLatin1Char(',');
    return text;
}
} // namespace

QString waveToString(const QVector<QVector<double>> &vectors)
{
    QString text;
    for (int i = 0; i < vectorsPerFrame; ++i)
        text += section(vectors, i) + QStringLiteral("<*>\n");
    return text + QStringLiteral("----------");
}

QString waveToFile(const QVector<QVector<double>> &vectors)
{
    QString text;
    for (int i = 0; i < vectorsPerFrame; ++i) {
        text += section(vectors, i);
        if (i + 1 < vectorsPerFrame)
            text += QStringLiteral("<*>\n");
    }
    return text;
}

} // namespace WaveText
