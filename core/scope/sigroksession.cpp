// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/sigroksession.h"

#include "core/scope/recordingfile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <cmath>
#include <cstring>

namespace SigrokSession {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SigrokSession", text);
}

void put16(QByteArray &out, uint32_t v)
{
    char b[2];
    qToLittleEndian<quint16>(quint16(v), b);
    out.append(b, 2);
}

void put32(QByteArray &out, uint32_t v)
{
    char b[4];
    qToLittleEndian<quint32>(v, b);
    out.append(b, 4);
}

} // namespace

uint32_t crc32(const QByteArray &data)
{
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (const char ch : data)
        c = table[(c ^ uint8_t(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray storedZip(const QVector<QPair<QString, QByteArray>> &entries, const QDateTime &when)
{
    // MS-DOS time and date, two seconds a step, from 1980 on.
    const QDate d = when.date();
    const QTime t = when.time();
    const uint32_t dosTime = uint32_t(t.hour() << 11 | t.minute() << 5 | t.second() / 2);
    const uint32_t dosDate = uint32_t(qMax(0, d.year() - 1980) << 9 | d.month() << 5 | d.day());
    QByteArray out;
    QByteArray directory;
    for (const auto &entry : entries) {
        const QByteArray name = entry.first.toUtf8();
        const QByteArray &data = entry.second;
        const uint32_t crc = crc32(data);
        const uint32_t offset = uint32_t(out.size());
        auto common = [&](QByteArray &h) {
            put16(h, 10); // version needed: stored entries
            put16(h, 0);  // flags
            put16(h, 0);  // method: stored
            put16(h, dosTime);
            put16(h, dosDate);
            put32(h, crc);
            put32(h, uint32_t(data.size()));
            put32(h, uint32_t(data.size()));
            put16(h, uint32_t(name.size()));
            put16(h, 0); // extra field
        };
        put32(out, 0x04034b50);
        common(out);
        out.append(name);
        out.append(data);
        put32(directory, 0x02014b50);
        put16(directory, 3 << 8 | 20); // made by: Unix, 2.0
        common(directory);
        put16(directory, 0);      // comment
        put16(directory, 0);      // disk
        put16(directory, 0);      // internal attributes
        put32(directory, 0644u << 16); // external: a plain file, rw-r--r--
        put32(directory, offset);
        directory.append(name);
    }
    const uint32_t directoryAt = uint32_t(out.size());
    out.append(directory);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, uint32_t(entries.size()));
    put16(out, uint32_t(entries.size()));
    put32(out, uint32_t(directory.size()));
    put32(out, directoryAt);
    put16(out, 0);
    return out;
}

QString sampleRateText(double samplesPerSecond)
{
    return QString::number(qMax<qint64>(1, std::llround(samplesPerSecond)));
}

bool toSessionFile(const QVector<FrameExport::Capture> &captures, const QDateTime &when, QByteArray *file,
                   QString *why)
{
    if (captures.isEmpty() || captures.first().samples <= 0) {
        *why = tr("there are no samples to write");
        return false;
    }
    const FrameExport::Capture &first = captures.first();
    for (const FrameExport::Capture &c : captures) {
        if (c.hasCh1 != first.hasCh1 || c.hasCh2 != first.hasCh2 || c.hasLogic != first.hasLogic ||
            c.samplingIndex != first.samplingIndex || c.samples <= 0) {
            *why = tr("%1 has other channels or another time base than %2").arg(c.source, first.source);
            return false;
        }
    }
    QStringList analog;
    QVector<int> analogChannel;
    if (first.hasCh1) {
        analog << QStringLiteral("CH1");
        analogChannel << 0;
    }
    if (first.hasCh2) {
        analog << QStringLiteral("CH2");
        analogChannel << 1;
    }
    const int probes = first.hasLogic ? 8 : 0;
    QString meta = QStringLiteral("[global]\nsigrok version=0.5.2\n\n[device 1]\ncapturefile=logic-1\n");
    meta += QStringLiteral("total probes=%1\nsamplerate=%2\n").arg(probes).arg(sampleRateText(1.0 / first.samplePeriod()));
    if (probes)
        meta += QStringLiteral("unitsize=1\n");
    for (int k = 1; k <= probes; ++k)
        meta += QStringLiteral("probe%1=D%2\n").arg(k).arg(k - 1);
    meta += QStringLiteral("total analog=%1\n").arg(analog.size());
    // Analog channels are numbered on from the logic probes.
    for (int j = 0; j < analog.size(); ++j)
        meta += QStringLiteral("analog%1=%2\n").arg(probes + 1 + j).arg(analog[j]);
    QVector<QPair<QString, QByteArray>> entries;
    entries.append({QStringLiteral("version"), QByteArrayLiteral("2")});
    entries.append({QStringLiteral("metadata"), meta.toUtf8()});
    for (int chunk = 0; chunk < captures.size(); ++chunk) {
        const FrameExport::Capture &c = captures[chunk];
        if (probes) {
            QByteArray bytes(reinterpret_cast<const char *>(c.logic.constData()), c.logic.size());
            entries.append({QStringLiteral("logic-1-%1").arg(chunk + 1), bytes});
        }
        for (int j = 0; j < analog.size(); ++j) {
            QByteArray floats(c.samples * 4, Qt::Uninitialized);
            const QVector<double> &v = c.volts[analogChannel[j]];
            for (int k = 0; k < c.samples; ++k)
                qToLittleEndian<float>(k < v.size() ? float(v[k]) : NAN, floats.data() + 4 * k);
            entries.append({QStringLiteral("analog-1-%1-%2").arg(probes + 1 + j).arg(chunk + 1), floats});
        }
    }
    *file = storedZip(entries, when);
    return true;
}

bool recordingToSessionFile(const QString &path, const FrameExport::WaveScale &scale, const QDateTime &when,
                            QByteArray *file, QString *why)
{
    RecordingReader reader;
    if (!reader.open(path)) {
        *why = reader.errorString();
        return false;
    }
    if (reader.kind() != WaveText::Kind::Recording) {
        *why = tr("%1 is not a recording").arg(QFileInfo(path).fileName());
        return false;
    }
    QVector<FrameExport::Capture> captures;
    WaveText::Frame frame;
    while (reader.next(frame)) {
        FrameExport::WaveScale blockScale = scale;
        blockScale.samplingIndex = frame.samplingIndex;
        blockScale.samples = 0;
        for (const QVector<double> &v : frame.vectors)
            blockScale.samples = qMax(blockScale.samples, v.size());
        FrameExport::Capture capture;
        const QString source = tr("block %1 of %2").arg(captures.size() + 1).arg(QFileInfo(path).fileName());
        if (!FrameExport::waveCapture(frame.vectors, blockScale, source, &capture, why))
            return false;
        captures.append(capture);
    }
    if (captures.isEmpty()) {
        *why = tr("%1 holds no frame (%2)").arg(QFileInfo(path).fileName(), reader.summary());
        return false;
    }
    return toSessionFile(captures, when, file, why);
}

} // namespace SigrokSession
