// SPDX-License-Identifier: GPL-3.0-only
#include "device/serialportconnection.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
// A pseudo-terminal pair: the transport opens the follower side, the test plays the instrument.
struct PseudoTerminal {
    int leader = -1;
    int follower = -1;
    QString followerName;

    PseudoTerminal()
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&leader, &follower, name, &raw, nullptr) == 0)
            followerName = QString::fromLocal8Bit(name);
    }
    ~PseudoTerminal()
    {
        if (leader >= 0)
            ::close(leader);
        if (follower >= 0)
            ::close(follower);
    }
    void send(const QByteArray &bytes) const
    {
        qint64 done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(leader, bytes.constData() + done, size_t(bytes.size() - done));
            if (n <= 0)
                return;
            done += n;
        }
    }
};

const QByteArray blockStart("\x0d\x0a\x46", 3);
const QByteArray streamStart("\x0d\x0a\x53", 3);
const QByteArray endMarker("\x0a\x0d\x37", 3);

// The link delivering into `frame` (0xEE guard bytes past its end), polled by hand.
struct Bench {
    PseudoTerminal pty;
    SerialPortConnection link;
    unsigned char frame[SerialPortConnection::deliveredLength + 64];
    QSignalSpy data{&link, &SerialPortConnection::newData};

    explicit Bench(int samplingValue)
    {
        std::memset(frame, 0xEE, sizeof(frame));
        if (!link.connectToPort(pty.followerName))
            return;
        link.pollTimer.stop();
        link.frameBuffer = frame;
        link.enabled = true;
        link.state = 0;
        link.setSamplingValue(samplingValue);
    }
    // Sends `bytes`, waits until `available` bytes wait to be read, polls once.
    void feed(const QByteArray &bytes, qint64 available)
    {
        pty.send(bytes);
        QTRY_VERIFY_WITH_TIMEOUT((link.port->waitForReadyRead(5), link.port->bytesAvailable() >= available), 3000);
        link.onReadyRead();
    }
};
} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT
private slots:
    void blockModeDeliversPayloadBetweenMarkers()
    {
        // Polled by its timer: leading noise skipped, the payload delivered with two zero bytes after it.
        Bench b(0);
        QVERIFY(!b.pty.followerName.isEmpty() && b.link.pollTimer.interval() == 10);
        b.link.pollTimer.start();
        QVERIFY(!b.link.connectToPort(b.pty.followerName)); // already open
        QByteArray payload;
        for (int i = 0; i < SerialPortConnection::payloadSize; ++i)
            payload.append(char(i * 7));
        b.pty.send(QByteArray("\x01\x02\x03", 3) + blockStart + payload + endMarker);
        QTRY_COMPARE_WITH_TIMEOUT(b.data.count(), 1, 3000);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(b.frame), 768), payload);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(b.frame) + 768, 3), QByteArray("\0\0\xEE", 3));
        // Closed: polling stops and the buffer is let go; closing twice is harmless, reopening works.
        b.link.close();
        QVERIFY(b.link.port == nullptr && b.link.frameBuffer == nullptr && !b.link.pollTimer.isActive());
        b.link.onReadyRead();
        b.link.close();
        QVERIFY(b.link.connectToPort(b.pty.followerName));
    }
    void blockModeMarkersSplitAcrossPolls()
    {
        Bench b(0);
        b.feed(blockStart.left(2), 2);
        QCOMPARE(b.link.state, 0); // two bytes are not a marker yet
        b.feed(blockStart.mid(2), 3);
        b.feed(QByteArray(500, 'a'), 500);
        QCOMPARE(b.data.count(), 0); // the payload is not complete
        b.feed(QByteArray(268, 'b'), 768);
        QVERIFY(b.data.count() == 1 && b.link.state == 2 && b.frame[767] == 'b');
        // A wrong group in state 2 is dropped and the next one tried.
        b.feed(QByteArray("xyz") + endMarker, 6);
        QCOMPARE(b.link.state, 2);
        b.link.onReadyRead();
        QCOMPARE(b.link.state, 0);
    }
    void streamModeStoresOneSamplePerGroup()
    {
        // Groups before the start marker are not stored; the end marker rewinds.
        Bench b(11);
        b.feed(QByteArray("\x09\x09\x09", 3) + streamStart + QByteArray("\x01\x02\x03\x04\x05\x06", 6) + endMarker, 15);
        QVERIFY(b.data.count() == 2 && b.data.at(0).at(0).toInt() == 3);
        const int lanes[7] = {b.frame[0], b.frame[256], b.frame[512], b.frame[1], b.frame[257], b.frame[513], b.frame[2]};
        QCOMPARE(QVector<int>(lanes, lanes + 7), QVector<int>({1, 2, 3, 4, 5, 6, 0xEE}));
        QCOMPARE(b.link.writeIndex, 0);
    }
    void streamFloodWithoutMarkersStaysInsidePayload()
    {
        Bench b(15);
        QByteArray flood = streamStart;
        for (int i = 0; i < 1000; ++i)
            flood.append(char(i & 0x7F)).append(char(0x20)).append(char(0x21));
        b.pty.send(flood);
        for (int polls = 0; b.data.count() < 1000 && polls < 400; ++polls) {
            b.link.port->waitForReadyRead(5);
            b.link.onReadyRead();
        }
        QCOMPARE(b.data.count(), 1000);
        // More than 256 samples between markers wrap to the start of the lanes.
        QCOMPARE(b.link.writeIndex, 1000 % 256);
        QCOMPARE(int(b.frame[0]), (768 & 0x7F)); // sample 768 landed at position 0
        for (int i = SerialPortConnection::payloadSize; i < int(sizeof(b.frame)); ++i)
            QCOMPARE(int(b.frame[i]), 0xEE);
    }
    void samplingBoundaryBetweenTenAndEleven()
    {
        // Up to 10 the link reads 768-byte blocks, from 11 three-byte groups; crossing either
        // way restarts the assembly and drops what was pending; moving on one side changes nothing.
        Bench b(10);
        const auto pending = [&](int n) {
            b.pty.send(QByteArray(n, 'q'));
            QTRY_VERIFY_WITH_TIMEOUT((b.link.port->waitForReadyRead(5), b.link.port->bytesAvailable() >= n), 3000);
        };
        b.link.state = 1;
        b.link.writeIndex = 17;
        pending(30);
        b.link.setSamplingValue(11);
        QVERIFY(b.link.state == 0 && b.link.writeIndex == 0 && !b.link.bytesAvailable());
        b.feed(streamStart + QByteArray("\x01\x02\x03", 3), 6); // at 11 the stream is read
        QCOMPARE(b.data.count(), 1);
        // 12 and back to 11: still streaming, nothing restarts or is dropped.
        b.link.setSamplingValue(12);
        b.link.writeIndex = 9;
        pending(30);
        b.link.setSamplingValue(11);
        QVERIFY(b.link.state == 1 && b.link.writeIndex == 9 && b.link.bytesAvailable());
        // 11 to 10: the state restarts and the input is dropped; the index stays.
        b.link.setSamplingValue(10);
        QVERIFY(b.link.state == 0 && b.link.writeIndex == 9 && !b.link.bytesAvailable());
        b.feed(blockStart + QByteArray(768, 'b') + endMarker, 774); // at 10 blocks are read
        b.link.onReadyRead();
        QVERIFY(b.data.count() == 2 && b.data.at(1).at(0).toInt() == 770);
        // 10 to 9: still blocks.
        b.link.state = 2;
        b.link.setSamplingValue(9);
        QVERIFY(b.link.state == 2 && b.link.bytesAvailable()); // the end marker is still there
    }
    void onlyTerminalDevicesAreInstrumentPorts()
    {
        const QList<QPair<QString, bool>> names{{"ttyUSB0", true}, {"TTYACM1", true}, {"tty", true},
                                                {"", false},       {"/dev/ttyUSB0", false}, {"COM3", false},
                                                {"cu.usbmodem1", false}, {"tt", false}, {" ttyS0", false}};
        for (const auto &[name, accepted] : names)
            QVERIFY2(SerialPortConnection::checkIfCorrectPort(name) == accepted, qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
