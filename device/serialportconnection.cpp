// SPDX-License-Identifier: GPL-3.0-only
#include "device/serialportconnection.h"

#include <QDebug>
#include <QThread>

namespace {
bool sameBytes(const char *bytes, const int marker[3])
{
    for (int i = 0; i < 3; ++i)
        if (static_cast<unsigned char>(bytes[i]) != marker[i])
            return false;
    return true;
}
} // namespace

bool SerialPortConnection::checkIfCorrectPort(const QString &name)
{
    return name.toLower().startsWith(QLatin1String("tty"));
}

SerialPortConnection::SerialPortConnection(QObject *parent) : QObject(parent)
{
    if (QThread *thread = QThread::currentThread(); thread && thread->isRunning())
        thread->setPriority(QThread::HighestPriority);
    connect(&pollTimer, &QTimer::timeout, this, &SerialPortConnection::onReadyRead);
}

SerialPortConnection::~SerialPortConnection()
{
    close();
}

bool SerialPortConnection::connectToPort(QString name)
{
    if (port && port->isOpen())
        return false;
    clearPort();
    port = new QSerialPort(this);
    port->setPortName(name);
    const bool opened = port->open(QIODevice::ReadWrite) && port->setBaudRate(QSerialPort::Baud115200) &&
                        port->setDataBits(QSerialPort::Data8) && port->setParity(QSerialPort::NoParity) &&
                        port->setStopBits(QSerialPort::OneStop) &&
                        port->setFlowControl(QSerialPort::NoFlowControl);
    if (!opened) {
        emit connectionStatus(QStringLiteral("Port is busy or unreachable."));
        clearPort();
        return false;
    }
    qDebug().noquote() << "SUCCESS";
    pollTimer.start(10);
    portClosed = false;
    return true;
}

void SerialPortConnection::close()
{
    if (!port || !port->isOpen())
        return;
    frameBuffer = nullptr;
    port->flush();
    port->close();
    disconnect(port, nullptr, this, nullptr);
    disconnect(this, nullptr, port, nullptr);
    delete port;
    port = nullptr;
    pollTimer.stop();
    portClosed = true;
}

void SerialPortConnection::write(QString text)
{
    if (portUsable())
        port->write(text.toLatin1());
}

void SerialPortConnection::writeByteArray(QByteArray data)
{
    if (portUsable())
        port->write(data);
}

bool SerialPortConnection::bytesAvailable()
{
    return portUsable() && port->bytesAvailable() > 0;
}

void SerialPortConnection::flushPort()
{
    if (portUsable())
        port->clear(QSerialPort::Input);
}

void SerialPortConnection::setSamplingValue(int value)
{
    if (samplingValue <= 10 && value > 10) {
        writeIndex = 0;
        flushPort();
        state = 0;
    } else if (samplingValue >= 11 && value < 11) {
        state = 0;
        flushPort();
    }
    samplingValue = value;
}

void SerialPortConnection::clearPort()
{
    frameBuffer = nullptr;
    pollTimer.stop();
    delete port;
    port = nullptr;
}

bool SerialPortConnection::checkIfEndOfFrame(const char *bytes)
{
    return sameBytes(bytes, endMarker);
}

bool SerialPortConnection::checkIfStartOfFrame(const char *bytes, bool mode)
{
    return sameBytes(bytes, mode ? blockStartMarker : streamStartMarker);
}

bool SerialPortConnection::portUsable() const
{
    return port && port->isOpen();
}

void SerialPortConnection::onReadyRead()
{
    if (!enabled || !portUsable() || !frameBuffer)
        return;
    // Pull whatever the driver holds now; polling does not wait for the event loop.
    port->waitForReadyRead(0);
    if (port->bytesAvailable() <= 0)
        return;
    if (samplingValue > 10)
        readStream();
    else
        readBlock();
}

void SerialPortConnection::readStream()
{
    const int count = int(qMin<qint64>(port->bytesAvailable() / 3 * 3, payloadSize));
    if (count <= 0)
        return;
    char bytes[payloadSize];
    const int got = int(port->read(bytes, count)) / 3 * 3;
    for (int i = 0; i + 3 <= got; i += 3) {
        const char *group = bytes + i;
        if (checkIfStartOfFrame(group, false)) {
            writeIndex = 0;
            state = 1;
        } else if (checkIfEndOfFrame(group)) {
            writeIndex = 0;
        } else if (state != 0) {
            // A lane holds 256 samples: a run longer than that between markers
            // wraps to the start of the lanes rather than writing past them.
            if (writeIndex >= laneSize)
                writeIndex = 0;
            frameBuffer[writeIndex] = static_cast<unsigned char>(group[0]);
            frameBuffer[laneSize + writeIndex] = static_cast<unsigned char>(group[1]);
            frameBuffer[2 * laneSize + writeIndex] = static_cast<unsigned char>(group[2]);
            ++writeIndex;
            emit newData(3);
        }
    }
}

void SerialPortConnection::readBlock()
{
    char marker[3];
    switch (state) {
    case 0:
        while (port->bytesAvailable() > 2) {
            if (port->read(marker, 3) != 3)
                return;
            if (checkIfStartOfFrame(marker, true)) {
                state = 1;
                return;
            }
        }
        break;
    case 1:
        if (port->bytesAvailable() >= payloadSize) {
            const qint64 got = port->read(reinterpret_cast<char *>(frameBuffer), payloadSize);
            if (got == payloadSize) {
                frameBuffer[payloadSize] = 0;
                frameBuffer[payloadSize + 1] = 0;
                emit newData(deliveredLength);
                state = 2;
            }
        }
        break;
    case 2:
        if (port->bytesAvailable() > 2) {
            if (port->read(marker, 3) == 3 && checkIfEndOfFrame(marker))
                state = 0;
        }
        break;
    default:
        state = 0;
        break;
    }
}
