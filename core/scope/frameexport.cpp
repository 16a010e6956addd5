// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/frameexport.h"

#include "core/device/frames.h"
#include "core/scope/scaletables.h"
#include "core/scope/tracebuilder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cmath>
#include <limits>

namespace FrameExport {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("FrameExport", text);
}

// VCD identifiers: D0..D7, then CH1 and CH2.
QChar identifier(int k)
{
    return QChar(char('!' + k));
}

QString volts(double value)
{
    return std::isnan(value) ? QStringLiteral("nan") : QString::number(value, 'g', 7);
}

} // namespace

double Capture::samplePeriod() const
{
    // Sixteen samples make one division of the time base.
    return ScaleTables::secondsPerDivision(samplingIndex) / 16.0;
}

bool readCapture(const QByteArray &frame, int start, Capture *capture, QString *why)
{
    const auto *data = reinterpret_cast<const unsigned char *>(frame.constData());
    if (frame.size() < Frames::scopeOverhead || data[0] != Frames::scopeFrameType) {
        *why = tr("no scope frame has been received");
        return false;
    }
    frameconfig_t header{};
    Frames::parseScopeHeader(&header, data);
    const int n = header.samplesPerChannel;
    if (n <= 0 || Frames::scopeFrameLength(header.channelMask, n) > frame.size()) {
        *why = tr("the frame is shorter than its header says");
        return false;
    }
    Capture c;
    c.source = QStringLiteral("live frame %1").arg(header.frameNumber);
    c.hasCh1 = header.channelMask & Frames::Ch1;
    c.hasCh2 = header.channelMask & Frames::Ch2;
    c.hasLogic = header.channelMask & Frames::Chd;
    c.samples = n;
    c.samplingIndex = qBound(0, int(header.samplingIndex), ScaleTables::maxSamplingIndex);
    channela_t meters[2];
    const int meterAt = Frames::meterBlockOffset(header.channelMask, n);
    Frames::parseMeterBlock(&meters[0], data + meterAt);
    Frames::parseMeterBlock(&meters[1], data + meterAt + Frames::meterBlockSize);
    const int first = start > 0 && start < n ? start : 0;
    auto block = [&](int bit) { return Frames::channelBlockOffset(header.channelMask, bit, n); };
    for (int ch = 0; ch < 2; ++ch) {
        const int at = block(ch == 0 ? Frames::Ch1 : Frames::Ch2);
        if (at < 0)
            continue;
        c.volts[ch].resize(n);
        for (int k = 0; k < n; ++k)
            c.volts[ch][k] = codeVolts(meters[ch].gainIndex, int8_t(data[at + (first + k) % n]));
    }
    const int logicAt = block(Frames::Chd);
    if (logicAt >= 0) {
        c.logic.resize(n);
        for (int k = 0; k < n; ++k)
            c.logic[k] = data[logicAt + (first + k) % n];
    }
    *capture = c;
    return true;
}

bool waveCapture(const QVector<QVector<double>> &wave, const WaveScale &scale, const QString &source,
                 Capture *capture, QString *why)
{
    const int n = scale.samples;
    auto takes = [&](int vector) {
        return wave.size() == TraceBuilder::logicBits + 2 && wave.at(vector).size() == n;
    };
    Capture c;
    c.source = source;
    c.samples = n;
    c.samplingIndex = qBound(0, scale.samplingIndex, ScaleTables::maxSamplingIndex);
    c.hasCh1 = n > 0 && scale.shown[0] && takes(0);
    c.hasCh2 = n > 0 && scale.shown[1] && takes(1);
    c.hasLogic = n > 0 && scale.shown[2];
    for (int b = 0; b < TraceBuilder::logicBits; ++b)
        c.hasLogic = c.hasLogic && takes(2 + b);
    if (!c.hasCh1 && !c.hasCh2 && !c.hasLogic) {
        *why = tr("the wave shown has no trace of %1 samples").arg(n);
        return false;
    }
    const bool has[2] = {c.hasCh1, c.hasCh2};
    for (int ch = 0; ch < 2; ++ch) {
        if (!has[ch])
            continue;
        // A plot unit is a division's 1/64, as one code is its 1/40.96.
        const double perUnit = codeVolts(scale.gain[ch], 1) / ScaleTables::plotUnitsPerCount;
        c.volts[ch].resize(n);
        for (int k = 0; k < n; ++k)
            c.volts[ch][k] = (wave.at(ch).at(k) - scale.zero[ch]) * perUnit;
    }
    if (c.hasLogic) {
        c.logic.fill(0, n);
        for (int b = 0; b < TraceBuilder::logicBits; ++b) {
            // A bit is high above the middle between its base and its high level.
            const double middle = TraceBuilder::logicBitPos0(b, scale.logicPosition, scale.logicSize) +
                                  (10 + scale.logicSize) / 2.0;
            for (int k = 0; k < n; ++k) {
                if (wave.at(2 + b).at(k) > middle)
                    c.logic[k] = uint8_t(c.logic[k] | (1u << b));
            }
        }
    }
    *capture = c;
    return true;
}

double codeVolts(int gain, int code)
{
    if (gain < 0 || gain >= ScaleTables::gainCount)
        return std::numeric_limits<double>::quiet_NaN();
    return ScaleTables::int8ToVolt_f(uint8_t(gain), int8_t(code));
}

QByteArray toCsv(const Capture &c)
{
    QString out;
    QTextStream text(&out);
    QStringList header{QStringLiteral("time [s]")};
    if (c.hasCh1)
        header << QStringLiteral("CH1 [V]");
    if (c.hasCh2)
        header << QStringLiteral("CH2 [V]");
    for (int b = 0; c.hasLogic && b < 8; ++b)
        header << QStringLiteral("D%1").arg(b);
    text << "# " << c.source << ", time base " << ScaleTables::timeBaseText(c.samplingIndex) << '\n';
    text << header.join(QLatin1Char(',')) << '\n';
    const double period = c.samplePeriod();
    for (int k = 0; k < c.samples; ++k) {
        text << QString::number(k * period, 'g', 12);
        if (c.hasCh1)
            text << ',' << volts(c.volts[0][k]);
        if (c.hasCh2)
            text << ',' << volts(c.volts[1][k]);
        for (int b = 0; c.hasLogic && b < 8; ++b)
            text << ',' << ((c.logic[k] >> b) & 1);
        text << '\n';
    }
    text.flush();
    return out.toUtf8();
}

Timescale vcdTimescale(double samplePeriod)
{
    static const char *const units[] = {"s", "ms", "us", "ns", "ps", "fs"};
    for (int u = 0; u < 6; ++u) {
        for (int multiplier : {100, 10, 1}) {
            const double tick = multiplier * std::pow(10.0, -3 * u);
            const double ticks = samplePeriod / tick;
            if (ticks >= 1.0 - 1e-9 && std::abs(ticks - std::round(ticks)) < 1e-6 * ticks)
                return {multiplier, QString::fromLatin1(units[u]), qint64(std::llround(ticks))};
        }
    }
    return {1, QStringLiteral("fs"), qMax<qint64>(1, std::llround(samplePeriod * 1e15))};
}

QByteArray toVcd(const Capture &c, const QDateTime &date)
{
    const Timescale scale = vcdTimescale(c.samplePeriod());
    QString out;
    QTextStream text(&out);
    text << "$date " << date.toString(Qt::ISODate) << " $end\n";
    text << "$version " << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion()
         << " $end\n";
    text << "$comment " << c.source << ", " << c.samples << " samples, time base "
         << ScaleTables::timeBaseText(c.samplingIndex) << " $end\n";
    text << "$timescale " << scale.multiplier << ' ' << scale.unit << " $end\n";
    text << "$scope module velto $end\n";
    for (int b = 0; c.hasLogic && b < 8; ++b)
        text << "$var wire 1 " << identifier(b) << " D" << b << " $end\n";
    // A channel without a scale has no volts to give: it is left out.
    const bool analog[2] = {c.hasCh1 && !std::isnan(c.volts[0].value(0)),
                            c.hasCh2 && !std::isnan(c.volts[1].value(0))};
    for (int ch = 0; ch < 2; ++ch) {
        if (analog[ch])
            text << "$var real 64 " << identifier(8 + ch) << " CH" << ch + 1 << " $end\n";
    }
    text << "$upscope $end\n$enddefinitions $end\n";
    for (int k = 0; k < c.samples; ++k) {
        QString changes;
        for (int b = 0; c.hasLogic && b < 8; ++b) {
            const int bit = (c.logic[k] >> b) & 1;
            if (k == 0 || bit != ((c.logic[k - 1] >> b) & 1))
                changes += QString::number(bit) + identifier(b) + QLatin1Char('\n');
        }
        for (int ch = 0; ch < 2; ++ch) {
            if (analog[ch] && (k == 0 || c.volts[ch].at(k) != c.volts[ch].at(k - 1)))
                changes += QLatin1Char('r') + volts(c.volts[ch].at(k)) + QLatin1Char(' ') +
                           identifier(8 + ch) + QLatin1Char('\n');
        }
        if (k == 0)
            text << "#0\n$dumpvars\n" << changes << "$end\n";
        else if (!changes.isEmpty())
            text << '#' << k * scale.ticksPerSample << '\n' << changes;
    }
    text << '#' << c.samples * scale.ticksPerSample << '\n';
    text.flush();
    return out.toUtf8();
}

bool saveAtomically(const QString &path, const QByteArray &data, QString *why)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *why = tr("%1 cannot be created: %2").arg(QFileInfo(path).fileName(), file.errorString());
        return false;
    }
    // The last bytes wait in the file's buffer; a failure to write them at
    // commit would go unnoticed (the toolkit's commit does not check its own
    // flush), so they are flushed, and checked, here.
    if (file.write(data) != data.size() || !file.flush()) {
        *why = tr("%1 cannot be written: %2").arg(QFileInfo(path).fileName(), file.errorString());
        file.cancelWriting();
        file.commit();
        return false;
    }
    if (!file.commit()) {
        *why = tr("%1 cannot be written: %2").arg(QFileInfo(path).fileName(), file.errorString());
        return false;
    }
    return true;
}

} // namespace FrameExport
