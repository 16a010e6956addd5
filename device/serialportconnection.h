// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QTimer>

// The serial-line transport: polls an open port every 10 ms and assembles
// frames between three-byte markers into a frame buffer its owner supplies.
// Velto never opens it; it carries the transport's status texts and follows
// the sampling rate so that it could take over the display's data.
class SerialPortConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr int payloadSize = 768;
    static constexpr int laneSize = 256;
    static constexpr int deliveredLength = 770;

    explicit SerialPortConnection(QObject *parent = nullptr);
    ~SerialPortConnection() override;

    // Whether a port name can be the instrument's serial link: a Unix
    // terminal device ("ttyUSB0", "ttyACM1"), in any case.
    static bool checkIfCorrectPort(const QString &name);

    QSerialPort *port = nullptr;
    bool enabled = false;
    // Must hold at least deliveredLength bytes.
    unsigned char *frameBuffer = nullptr;
    bool portClosed = true;
    int samplingValue = 0;
    int writeIndex = 0;
    int state = 1;
    int endMarker[3] = {0x0A, 0x0D, 0x37};
    int blockStartMarker[3] = {0x0D, 0x0A, 0x46};
    int streamStartMarker[3] = {0x0D, 0x0A, 0x53};
    QTimer pollTimer;

signals:
    void newData(int length);
    void clear();
    void connectionStatus(QString status);

public slots:
    bool connectToPort(QString name);
    void close();
    void write(QString text);
    void writeByteArray(QByteArray data);
    bool bytesAvailable();
    void setSamplingValue(int value);
    void clearPort();
    bool checkIfEndOfFrame(const char *bytes);
    bool checkIfStartOfFrame(const char *bytes, bool mode);
    void onReadyRead();

private:
    bool portUsable() const;
    void flushPort();
    void readStream();
    void readBlock();
};
