#include "device/serialportconnection.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
// A pseudo-terminal pair: the transport opens the follower side by name, the
// test plays the instrument on the leader side.
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

// Polls until the port has delivered `bytes` more bytes to the reader, so a
// poll sees everything that was sent.
void settle(SerialPortConnection &link, qint64 bytes)
{
    QTRY_VERIFY_WITH_TIMEOUT((link.port->waitForReadyRead(5), link.port->bytesAvailable() >= bytes), 3000);
}
} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT
private slots:
    void busyPortLeavesNoPort();
    void markersAreRecognised();
    void blockModeDeliversPayloadBetweenMarkers();
    void blockModeMarkersSplitAcrossPolls();
    void streamModeStoresOneSamplePerGroup();
    void streamFloodWithoutMarkersStaysInsidePayload();
    void samplingCrossingRestartsAssembly();
    void closeStopsPolling();
};

void TestSerialPort::busyPortLeavesNoPort()
{
    SerialPortConnection link;
    QSignalSpy status(&link, &SerialPortConnection::connectionStatus);
    QVERIFY(!link.connectToPort(QStringLiteral("/dev/velto-no-such-port")));
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("Port is busy or unreachable."));
    QVERIFY(link.port == nullptr);
    QVERIFY(!link.pollTimer.isActive());
    QVERIFY(!link.bytesAvailable());
    // Writing with no port is harmless.
    link.write(QStringLiteral("x"));
    link.writeByteArray("y");
}

void TestSerialPort::markersAreRecognised()
{
    SerialPortConnection link;
    QVERIFY(link.checkIfStartOfFrame(blockStart.constData(), true));
    QVERIFY(!link.checkIfStartOfFrame(blockStart.constData(), false));
    QVERIFY(link.checkIfStartOfFrame(streamStart.constData(), false));
    QVERIFY(link.checkIfEndOfFrame(endMarker.constData()));
    QVERIFY(!link.checkIfEndOfFrame(blockStart.constData()));
    // Bytes above 127 are compared as unsigned.
    const char high[3] = {char(0x8A), 0x0D, 0x37};
    QVERIFY(!link.checkIfEndOfFrame(high));
}

void TestSerialPort::blockModeDeliversPayloadBetweenMarkers()
{
    PseudoTerminal pty;
    QVERIFY(!pty.followerName.isEmpty());
    SerialPortConnection link;
    QVERIFY(link.connectToPort(pty.followerName));
    QVERIFY(!link.portClosed);
    QVERIFY(link.pollTimer.isActive());
    QCOMPARE(link.pollTimer.interval(), 10);
    QVERIFY(!link.connectToPort(pty.followerName)); // already open

    unsigned char frame[SerialPortConnection::deliveredLength + 16];
    std::memset(frame, 0xEE, sizeof(frame));
    link.frameBuffer = frame;
    link.enabled = true;
    link.state = 0;
    QSignalSpy data(&link, &SerialPortConnection::newData);

    QByteArray payload;
    for (int i = 0; i < SerialPortConnection::payloadSize; ++i)
        payload.append(char(i * 7));
    pty.send(QByteArray("\x01\x02\x03", 3) + blockStart + payload + endMarker);
    QTRY_COMPARE_WITH_TIMEOUT(data.count(), 1, 3000);
    QCOMPARE(data.at(0).at(0).toInt(), 770);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(frame), 768), payload);
    QCOMPARE(int(frame[768]), 0);
    QCOMPARE(int(frame[769]), 0);
    QCOMPARE(int(frame[770]), 0xEE);
    QTRY_COMPARE_WITH_TIMEOUT(link.state, 0, 3000);

    // A second frame follows the first.
    pty.send(blockStart + payload + endMarker);
    QTRY_COMPARE_WITH_TIMEOUT(data.count(), 2, 3000);
    link.close();
    QVERIFY(link.port == nullptr);
}

void TestSerialPort::blockModeMarkersSplitAcrossPolls()
{
    PseudoTerminal pty;
    SerialPortConnection link;
    QVERIFY(link.connectToPort(pty.followerName));
    link.pollTimer.stop(); // this test polls by hand
    unsigned char frame[SerialPortConnection::deliveredLength];
    link.frameBuffer = frame;
    link.enabled = true;
    link.state = 0;
    QSignalSpy data(&link, &SerialPortConnection::newData);

    pty.send(blockStart.left(2));
    settle(link, 2);
    link.onReadyRead();
    QCOMPARE(link.state, 0); // two bytes are not a marker yet
    pty.send(blockStart.mid(2));
    settle(link, 3);
    link.onReadyRead();
    QCOMPARE(link.state, 1);

    pty.send(QByteArray(500, 'a'));
    settle(link, 500);
    link.onReadyRead();
    QCOMPARE(data.count(), 0); // the payload is not complete
    pty.send(QByteArray(268, 'b'));
    settle(link, 768);
    link.onReadyRead();
    QCOMPARE(data.count(), 1);
    QCOMPARE(link.state, 2);
    QCOMPARE(int(frame[0]), int('a'));
    QCOMPARE(int(frame[767]), int('b'));

    // A wrong group in state 2 is dropped and the next one tried.
    pty.send(QByteArray("xyz") + endMarker);
    settle(link, 6);
    link.onReadyRead();
    QCOMPARE(link.state, 2);
    link.onReadyRead();
    QCOMPARE(link.state, 0);
}

void TestSerialPort::streamModeStoresOneSamplePerGroup()
{
    PseudoTerminal pty;
    SerialPortConnection link;
    QVERIFY(link.connectToPort(pty.followerName));
    link.pollTimer.stop();
    unsigned char frame[SerialPortConnection::deliveredLength] = {};
    link.frameBuffer = frame;
    link.enabled = true;
    link.setSamplingValue(11);
    QCOMPARE(link.state, 0);
    QSignalSpy data(&link, &SerialPortConnection::newData);

    // Groups before the start marker are not stored.
    pty.send(QByteArray("\x09\x09\x09", 3) + streamStart + QByteArray("\x01\x02\x03\x04\x05\x06", 6) + endMarker);
    settle(link, 15);
    link.onReadyRead();
    QCOMPARE(data.count(), 2);
    QCOMPARE(data.at(0).at(0).toInt(), 3);
    QCOMPARE(int(frame[0]), 1);
    QCOMPARE(int(frame[256]), 2);
    QCOMPARE(int(frame[512]), 3);
    QCOMPARE(int(frame[1]), 4);
    QCOMPARE(int(frame[257]), 5);
    QCOMPARE(int(frame[513]), 6);
    QCOMPARE(link.writeIndex, 0); // the end marker rewinds
    QCOMPARE(int(frame[2]), 0);
}

void TestSerialPort::streamFloodWithoutMarkersStaysInsidePayload()
{
    PseudoTerminal pty;
    SerialPortConnection link;
    QVERIFY(link.connectToPort(pty.followerName));
    link.pollTimer.stop();
    unsigned char frame[SerialPortConnection::deliveredLength + 64];
    std::memset(frame, 0xEE, sizeof(frame));
    link.frameBuffer = frame;
    link.enabled = true;
    link.setSamplingValue(15);
    QSignalSpy data(&link, &SerialPortConnection::newData);
    pty.send(streamStart);
    QByteArray flood;
    for (int i = 0; i < 1000; ++i)
        flood.append(char(i & 0x7F)).append(char(0x20)).append(char(0x21));
    pty.send(flood);
    int polls = 0;
    while (data.count() < 1000 && polls++ < 400) {
        link.port->waitForReadyRead(5);
        link.onReadyRead();
    }
    QCOMPARE(data.count(), 1000);
    // More than 256 samples between markers wrap to the start of the lanes.
    QCOMPARE(link.writeIndex, 1000 % 256);
    QCOMPARE(int(frame[0]), (768 & 0x7F)); // sample 768 landed at position 0
    for (int i = SerialPortConnection::payloadSize; i < int(sizeof(frame)); ++i)
        QCOMPARE(int(frame[i]), 0xEE);
}

void TestSerialPort::samplingCrossingRestartsAssembly()
{
    PseudoTerminal pty;
    SerialPortConnection link;
    QVERIFY(link.connectToPort(pty.followerName));
    link.pollTimer.stop();
    link.setSamplingValue(5);
    link.writeIndex = 17;
    link.state = 1;
    pty.send(QByteArray(30, 'q'));
    settle(link, 30);
    link.setSamplingValue(20);
    QCOMPARE(link.writeIndex, 0);
    QCOMPARE(link.state, 0);
    QCOMPARE(link.samplingValue, 20);
    QVERIFY(!link.bytesAvailable()); // flushed

    link.state = 1;
    link.writeIndex = 9;
    link.setSamplingValue(10);
    QCOMPARE(link.state, 0);
    QCOMPARE(link.writeIndex, 9); // only the crossing into stream mode rewinds
    // Staying on one side changes nothing but the value.
    link.state = 2;
    link.setSamplingValue(3);
    QCOMPARE(link.state, 2);
}

void TestSerialPort::closeStopsPolling()
{
    PseudoTerminal pty;
    SerialPortConnection link;
    QVERIFY(link.connectToPort(pty.followerName));
    unsigned char frame[SerialPortConnection::deliveredLength];
    link.frameBuffer = frame;
    link.close();
    QVERIFY(link.port == nullptr);
    QVERIFY(link.frameBuffer == nullptr);
    QVERIFY(!link.pollTimer.isActive());
    link.onReadyRead(); // nothing to poll
    link.close();       // closing twice is harmless
    QVERIFY(link.connectToPort(pty.followerName));
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
