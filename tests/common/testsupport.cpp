// SPDX-License-Identifier: GPL-3.0-only
#include "common/testsupport.h"

#include "core/device/frames.h"
#include "device/libusbdevice.h"
#include "device/usbseam.h"
#include "device/virtual/virtualusbbackend.h"

#include <QFile>

#include <qcustomplot.h>

namespace {
QMutex captureMutex;
QList<QPair<QtMsgType, QString>> captured;
} // namespace

MessageCapture::MessageCapture()
{
    QMutexLocker locker(&captureMutex);
    captured.clear();
    previous = qInstallMessageHandler(&MessageCapture::handler);
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(previous);
}

void MessageCapture::handler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    QMutexLocker locker(&captureMutex);
    captured.append({type, message});
}

QStringList MessageCapture::messages() const
{
    QMutexLocker locker(&captureMutex);
    QStringList out;
    for (const auto &m : captured)
        out << m.second;
    return out;
}

QList<QtMsgType> MessageCapture::typesOf(const QString &text) const
{
    QMutexLocker locker(&captureMutex);
    QList<QtMsgType> out;
    for (const auto &m : captured)
        if (m.second.contains(text))
            out << m.first;
    return out;
}

QStringList MessageCapture::messagesOf(QtMsgType type) const
{
    QMutexLocker locker(&captureMutex);
    QStringList out;
    for (const auto &m : captured)
        if (m.first == type)
            out << m.second;
    return out;
}

void MessageCapture::clear()
{
    QMutexLocker locker(&captureMutex);
    captured.clear();
}

TraceCapture::TraceCapture()
{
    WireTrace::instance().setSink([this](const QString &line) {
        QMutexLocker locker(&mutex);
        collected << line;
    });
}

TraceCapture::~TraceCapture()
{
    WireTrace::instance().setSink({});
}

QStringList TraceCapture::lines() const
{
    // The wire is read once what was asked for has gone out and been answered.
    LibUsbDevice::settleAll();
    QMutexLocker locker(&mutex);
    return collected;
}

QStringList TraceCapture::matching(const QString &prefix) const
{
    QStringList out;
    for (const QString &line : lines())
        if (traceBody(line).startsWith(prefix))
            out << traceBody(line);
    return out;
}

void TraceCapture::clear()
{
    QMutexLocker locker(&mutex);
    collected.clear();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QString traceBody(const QString &line)
{
    const int space = line.indexOf(QLatin1Char(' '));
    return space < 0 ? line : line.mid(space + 1);
}

QByteArray scopeFrameBytes(uint8_t mask, int n, uint16_t rollStart, uint16_t frameNumber, uint8_t samplingIndex)
{
    QByteArray frame(Frames::scopeFrameLength(mask, n), '\0');
    frameconfig_t header{};
    header.frameType = Frames::scopeFrameType;
    header.frameNumber = frameNumber;
    header.channelMask = mask;
    header.analogMask = mask & 3;
    header.samplesPerChannel = uint16_t(n);
    header.samplingIndex = samplingIndex;
    header.rollStartIndex = rollStart;
    Frames::writeScopeHeader(header, reinterpret_cast<unsigned char *>(frame.data()));
    return frame;
}

VirtualInstrument &virtualBench()
{
    // What the window asked for has reached the bench before a test looks at it.
    LibUsbDevice::settleAll();
    return VirtualUsbBackend::shared().instrument();
}

QVector<double> graphValues(const QCPGraph *graph)
{
    QVector<double> out;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        out << it->value;
    return out;
}

QVector<double> graphKeys(const QCPGraph *graph)
{
    QVector<double> out;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        out << it->key;
    return out;
}
