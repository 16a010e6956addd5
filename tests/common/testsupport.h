// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QByteArray>
#include <QEvent>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

// Collects every message of the program while alive, with its type, and
// passes nothing on; restores the previous handler when destroyed.
class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();
    QStringList messages() const;
    // The types of the messages containing `text`, in order.
    QList<QtMsgType> typesOf(const QString &text) const;
    int count(const QString &text) const { return typesOf(text).size(); }
    bool contains(const QString &text) const { return count(text) > 0; }
    // The messages of one type, in order.
    QStringList messagesOf(QtMsgType type) const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    QtMessageHandler previous;
};

// Collects wire-trace lines through the in-process sink while alive.
class TraceCapture
{
public:
    TraceCapture();
    ~TraceCapture();
    QStringList lines() const;
    // Lines whose fields after the time stamp start with `prefix`, e.g. "ctrl 0x48".
    QStringList matching(const QString &prefix) const;
    void clear();

private:
    mutable QMutex mutex;
    QStringList collected;
};

// Counts the events of one type that an object receives while this is alive.
class EventCount : public QObject
{
public:
    EventCount(QObject *watched, QEvent::Type type) : type(type) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == type;
        return false;
    }

private:
    QEvent::Type type;
};

// Writes `bytes` as the whole of the file at `path`; false when it cannot.
bool writeFile(const QString &path, const QByteArray &bytes);

// Strips the leading time stamp of a trace line.
QString traceBody(const QString &line);

// A zero-filled scope frame of `n` samples for each channel in `mask`, its
// header written as the instrument sends it.
QByteArray scopeFrameBytes(uint8_t mask, int n, uint16_t rollStart = 0, uint16_t frameNumber = 7,
                           uint8_t samplingIndex = 8);
inline const unsigned char *frameBytes(const QByteArray &frame)
{
    return reinterpret_cast<const unsigned char *>(frame.constData());
}

class QCPGraph;
class VirtualInstrument;

// The virtual instrument behind the virtual USB backend, the bench the
// window tests connect to.
VirtualInstrument &virtualBench();

// The values and keys a graph holds, in key order.
QVector<double> graphValues(const QCPGraph *graph);
QVector<double> graphKeys(const QCPGraph *graph);
