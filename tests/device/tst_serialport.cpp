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
    void busyPortAndMarkers();
    void blockModeDeliversPayloadBetweenMarkers();
    void blockModeMarkersSplitAcrossPolls();
    void streamModeStoresOneSamplePerGroup();
    void streamFloodWithoutMarkersStaysInsidePayload();
    void samplingBoundaryBetweenTenAndEleven();
    void closeStopsPolling();
};

void TestSerialPort::busyPortAndMarkers()
{
    SerialPortConnection link;
    QSignalSpy status(&link, &SerialPortConnection::connectionStatus);
    QVERIFY(!link.connectToPort(QStringLiteral("/dev/velto-no-such-port")));
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("Port is busy or unreachable."));
    QVERIFY(link.port == nullptr);
    QVERIFY(!link.pollTimer.isActive());
    QVERIFY(!link.bytesAvailable());
    link.writeByteArray("y"); // harmless without a port

    QVERIFY(link.checkIfStartOfFrame(blockStart.constData(), true));
    QVERIFY(!link.checkIfStartOfFrame(blockStart.constData(), false));
    QVERIFY(link.checkIfStartOfFrame(streamStart.constData(), false));
    QVERIFY(link.checkIfEndOfFrame(endMarker.constData()));
    const char high[3] = {char(0x8A), 0x0D, 0x37}; // compared as unsigned
    QVERIFY(!link.checkIfEndOfFrame(high));
}

void TestSerialPort::blockModeDeliversPayloadBetweenMarkers()
{
    PseudoTerminal pty;
    QVERIFY(!pty.followerName.isEmpty());
    SerialPortConnection link;
    QVERIFY(link.connectToPort(pty.followerName));
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
    pty.send(blockStart + payload + endMarker);
    QTRY_COMPARE_WITH_TIMEOUT(data.count(), 2, 3000);
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
    const auto poll = [&](const QByteArray &bytes, qint64 available) {
        pty.send(bytes);
        settle(link, available);
        link.onReadyRead();
    };
    poll(blockStart.left(2), 2);
    QCOMPARE(link.state, 0); // two bytes are not a marker yet
    poll(blockStart.mid(2), 3);
    QCOMPARE(link.state, 1);
    poll(QByteArray(500, 'a'), 500);
    QCOMPARE(data.count(), 0); // the payload is not complete
    poll(QByteArray(268, 'b'), 768);
    QCOMPARE(data.count(), 1);
    QCOMPARE(link.state, 2);
    QCOMPARE(int(frame[0]), int('a'));
    QCOMPARE(int(frame[767]), int('b'));
    // A wrong group in state 2 is dropped and the next one tried.
    poll(QByteArray("xyz") + endMarker, 6);
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
    QSignalSpy data(&link, &SerialPortConnection::newData);
    // Groups before the start marker are not stored.
    pty.send(QByteArray("\x09\x09\x09", 3) + streamStart + QByteArray("\x01\x02\x03\x04\x05\x06", 6) + endMarker);
    settle(link, 15);
    link.onReadyRead();
    QCOMPARE(data.count(), 2);
    QCOMPARE(data.at(0).at(0).toInt(), 3);
    const int lanes[6] = {frame[0], frame[256], frame[512], frame[1], frame[257], frame[513]};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(lanes[i], i + 1);
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
    QByteArray flood = streamStart;
    for (int i = 0; i < 1000; ++i)
        flood.append(char(i & 0x7F)).append(char(0x20)).append(char(0x21));
    pty.send(flood);
    for (int polls = 0; data.count() < 1000 && polls < 400; ++polls) {
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

void TestSerialPort::samplingBoundaryBetweenTenAndEleven()
{
    // Up to 10 the link reads 768-byte blocks, from 11 a stream of three-byte
    // groups; crossing the boundary either way restarts the assembly and drops
    // what was pending; moving on one side changes nothing.
    PseudoTerminal pty;
    SerialPortConnection link;
    QVERIFY(link.connectToPort(pty.followerName));
    link.pollTimer.stop();
    unsigned char frame[SerialPortConnection::deliveredLength] = {};
    link.frameBuffer = frame;
    link.enabled = true;
    QSignalSpy data(&link, &SerialPortConnection::newData);
    const auto pending = [&](int n) {
        pty.send(QByteArray(n, 'q'));
        settle(link, n);
    };
    link.setSamplingValue(10);
    link.state = 1;
    link.writeIndex = 17;
    pending(30);
    link.setSamplingValue(11);
    QCOMPARE(link.state, 0);
    QCOMPARE(link.writeIndex, 0);
    QVERIFY(!link.bytesAvailable());
    // At 11 the stream is read.
    pty.send(streamStart + QByteArray("\x01\x02\x03", 3));
    settle(link, 6);
    link.onReadyRead();
    QCOMPARE(data.count(), 1);
    QCOMPARE(data.at(0).at(0).toInt(), 3);
    // 12 and back to 11: still streaming, nothing restarts or is dropped.
    link.setSamplingValue(12);
    link.writeIndex = 9;
    pending(30);
    link.setSamplingValue(11);
    QCOMPARE(link.state, 1);
    QCOMPARE(link.writeIndex, 9);
    QVERIFY(link.bytesAvailable());
    // 11 to 10: the state restarts and the input is dropped; the index stays.
    link.setSamplingValue(10);
    QCOMPARE(link.samplingValue, 10);
    QCOMPARE(link.state, 0);
    QCOMPARE(link.writeIndex, 9);
    QVERIFY(!link.bytesAvailable());
    // At 10 blocks are read.
    pty.send(blockStart + QByteArray(768, 'b') + endMarker);
    settle(link, 774);
    link.onReadyRead();
    link.onReadyRead();
    QCOMPARE(data.count(), 2);
    QCOMPARE(data.at(1).at(0).toInt(), 770);
    // 10 to 9: still blocks.
    link.state = 2;
    link.setSamplingValue(9);
    QCOMPARE(link.state, 2);
    QVERIFY(link.bytesAvailable()); // the end marker is still there
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
