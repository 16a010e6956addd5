#include "common/testsupport.h"
#include "device/frames.h"
#include "device/libusbdevice.h"
#include "device/virtual/virtualusbbackend.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstring>

using namespace Frames;

namespace {
QByteArray scopeFrame(uint8_t mask, int n, uint16_t number = 7, uint16_t roll = 0)
{
    QByteArray f(scopeFrameLength(mask, n), '\0');
    f[0] = 'A';
    f[1] = char(number & 0xFF);
    f[2] = char(number >> 8);
    f[3] = char(mask);
    f[4] = char(mask & 3);
    f[5] = char(n & 0xFF);
    f[6] = char(n >> 8);
    f[7] = 9;
    f[8] = char(roll & 0xFF);
    f[9] = char(roll >> 8);
    return f;
}
const unsigned char *bytes(const QByteArray &a)
{
    return reinterpret_cast<const unsigned char *>(a.constData());
}
} // namespace

class TestFrames : public QObject
{
    Q_OBJECT
private slots:
    void scopeHeaderFields();
    void blockOffsetsFollowTheMask();
    void meterBlockRoundTrip();
    void scopeHeaderRoundTrip();
    void defaultMeterBlock();
    void rollStartBeyondBufferCountsAsZero();
    void identificationDropsControlBytes();
    void scopeAcceptance();
    void snifferAcceptance();
    void acceptanceFromTheTransport();
    void randomBytesNeverAccepted();
};

void TestFrames::scopeHeaderFields()
{
    const QByteArray f = scopeFrame(Ch1 | Chd, 1280, 0xBEEF, 300);
    frameconfig_t h;
    parseScopeHeader(&h, bytes(f));
    QCOMPARE(h.frameType, uint8_t('A'));
    QCOMPARE(h.frameNumber, uint16_t(0xBEEF));
    QCOMPARE(h.channelMask, uint8_t(5));
    QCOMPARE(h.analogMask, uint8_t(1));
    QCOMPARE(h.samplesPerChannel, uint16_t(1280));
    QCOMPARE(h.samplingIndex, uint8_t(9));
    QCOMPARE(h.rollStartIndex, uint16_t(300));
    QCOMPARE(f.size(), 48 + 2 * 1280);
}

void TestFrames::blockOffsetsFollowTheMask()
{
    // All channels off: header, two meter blocks and two reserved bytes.
    QCOMPARE(scopeFrameLength(0, 768), 48);
    QCOMPARE(meterBlockOffset(0, 768), 10);
    // Only CH2: its block starts right after the header.
    QCOMPARE(channelBlockOffset(Ch2, Ch2, 768), 10);
    QCOMPARE(channelBlockOffset(Ch2, Ch1, 768), -1);
    // CH1 and logic: the logic block follows one channel block.
    QCOMPARE(channelBlockOffset(Ch1 | Chd, Chd, 768), 10 + 768);
    QCOMPARE(channelBlockOffset(Ch1 | Ch2 | Chd, Chd, 3840), 10 + 2 * 3840);
    QCOMPARE(channelBlockOffset(Ch1 | Ch2 | Chd, Ch2, 256), 266);
    QCOMPARE(meterBlockOffset(Ch1 | Ch2 | Chd, 3840), 10 + 3 * 3840);
    QCOMPARE(scopeFrameLength(7, 3840), 11568);
    QVERIFY(scopeFrameLength(7, 3840) <= LibUsbDevice::bufferSize);
    QCOMPARE(channelMaskFor(true, false, true), uint8_t(Ch1 | Chd));
    QCOMPARE(channelMaskFor(false, false, false), uint8_t(0));
    QCOMPARE(samplesForBufferIndex(0), 256);
    QCOMPARE(samplesForBufferIndex(14), 3840);
}

void TestFrames::scopeHeaderRoundTrip()
{
    frameconfig_t h{};
    h.frameType = scopeFrameType;
    h.frameNumber = 0xBEEF;
    h.channelMask = Ch1 | Chd;
    h.analogMask = Ch1;
    h.samplesPerChannel = 3840;
    h.samplingIndex = 21;
    h.rollStartIndex = 0x0102;
    unsigned char wire[scopeHeaderSize];
    std::memset(wire, 0xCC, sizeof(wire));
    writeScopeHeader(h, wire);
    // Little-endian, in the order the instrument sends it.
    const unsigned char expected[scopeHeaderSize] = {'A', 0xEF, 0xBE, 0x05, 0x01, 0x00, 0x0F, 21, 0x02, 0x01};
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(wire), scopeHeaderSize),
             QByteArray(reinterpret_cast<const char *>(expected), scopeHeaderSize));
    frameconfig_t back{};
    parseScopeHeader(&back, wire);
    QCOMPARE(back.frameNumber, h.frameNumber);
    QCOMPARE(back.channelMask, h.channelMask);
    QCOMPARE(back.samplesPerChannel, h.samplesPerChannel);
    QCOMPARE(back.rollStartIndex, h.rollStartIndex);
}

void TestFrames::meterBlockRoundTrip()
{
    channela_t m{};
    m.controls = 0x53;
    m.gainIndex = 7;
    m.spare = 0xAA;
    m.maximum = 127;
    m.minimum = -128;
    m.rms = -300;
    m.average = 12800;
    m.periodX100 = 0xDEADBEEF;
    m.zeroCrossFirst = 3;
    m.zeroCrossSecond = 3839;
    m.samplingIndex = 21;
    unsigned char wire[18];
    writeMeterBlock(m, wire);
    QCOMPARE(int(wire[3]), 0x7F);
    QCOMPARE(int(wire[4]), 0x80);
    QCOMPARE(int(wire[9]), 0xEF); // little-endian period
    QCOMPARE(int(wire[12]), 0xDE);
    channela_t back{};
    parseMeterBlock(&back, wire);
    QCOMPARE(back.controls, m.controls);
    QCOMPARE(back.maximum, m.maximum);
    QCOMPARE(back.minimum, m.minimum);
    QCOMPARE(back.rms, m.rms);
    QCOMPARE(back.average, m.average);
    QCOMPARE(back.periodX100, m.periodX100);
    QCOMPARE(back.zeroCrossFirst, m.zeroCrossFirst);
    QCOMPARE(back.zeroCrossSecond, m.zeroCrossSecond);
    QCOMPARE(back.samplingIndex, m.samplingIndex);

    // Settings only: measurements stay as they were.
    channela_t settings{};
    initMeterBlock(&settings);
    parseMeterSettings(&settings, wire);
    QCOMPARE(settings.controls, uint8_t(0x53));
    QCOMPARE(settings.gainIndex, uint8_t(7));
    QCOMPARE(settings.spare, uint8_t(0xAA));
    QCOMPARE(settings.samplingIndex, uint8_t(21));
    QCOMPARE(settings.maximum, int8_t(100));
    QCOMPARE(settings.periodX100, uint32_t(0));
}

void TestFrames::defaultMeterBlock()
{
    channela_t m;
    std::memset(&m, 0x55, sizeof(m));
    initMeterBlock(&m);
    QCOMPARE(m.maximum, int8_t(100));
    QCOMPARE(m.minimum, int8_t(-100));
    QCOMPARE(m.zeroCrossFirst, uint16_t(64));
    QCOMPARE(m.zeroCrossSecond, uint16_t(128));
    QCOMPARE(m.samplingIndex, uint8_t(1));
    QCOMPARE(m.rms, int16_t(0));
    QCOMPARE(m.controls, uint8_t(0));
}

void TestFrames::rollStartBeyondBufferCountsAsZero()
{
    frameconfig_t h{};
    h.samplesPerChannel = 768;
    h.rollStartIndex = 767;
    QCOMPARE(rollStart(h), 767);
    h.rollStartIndex = 768;
    QCOMPARE(rollStart(h), 0);
    h.rollStartIndex = 65535;
    QCOMPARE(rollStart(h), 0);
}

void TestFrames::identificationDropsControlBytes()
{
    unsigned char block[64] = {};
    std::memcpy(block, "\x01VSIM.2.7\x09 Velto", 16);
    QCOMPARE(identificationText(block, 64), QStringLiteral("VSIM.2.7 Velto"));
    unsigned char control[64];
    for (int i = 0; i < 64; ++i)
        control[i] = uchar(i % 32);
    QCOMPARE(identificationText(control, 64), QString());
    unsigned char latin[4] = {'a', 0xE9, ' ', ' '};
    QCOMPARE(identificationText(latin, 4), QStringLiteral("a\u00e9"));
    QCOMPARE(identificationText(nullptr, 64), QString());
}

void TestFrames::scopeAcceptance()
{
    const QByteArray two = scopeFrame(Ch1 | Ch2, 256);
    QCOMPARE(checkScopeFrame(bytes(two), two.size(), 48 + 512), ScopeVerdict::Accepted);
    // One channel of 256 while two are expected: ignored.
    const QByteArray one = scopeFrame(Ch1, 256);
    QCOMPARE(checkScopeFrame(bytes(one), one.size(), 48 + 512), ScopeVerdict::WrongLength);
    QByteArray bad = two;
    bad[0] = 'B';
    QCOMPARE(checkScopeFrame(bytes(bad), bad.size(), 48 + 512), ScopeVerdict::InvalidHeader);
    QCOMPARE(checkScopeFrame(bytes(two), 0, 48 + 512), ScopeVerdict::NoData);
}

void TestFrames::snifferAcceptance()
{
    QByteArray f(snifferMinimumLength, '\0');
    f[0] = 'B';
    f[1] = 5;
    QCOMPARE(checkSnifferFrame(bytes(f), f.size(), -1), SnifferVerdict::Accepted);
    QCOMPARE(checkSnifferFrame(bytes(f), f.size(), 4), SnifferVerdict::Accepted);
    QCOMPARE(checkSnifferFrame(bytes(f), f.size(), 5), SnifferVerdict::SameFrame);
    {
        MessageCapture log;
        QCOMPARE(acceptSnifferFrame(bytes(f), f.size(), 5), SnifferVerdict::SameFrame);
        QCOMPARE(log.typesOf(QStringLiteral("Sniffer, same data, nothing to do")), QList<QtMsgType>{QtInfoMsg});
        QCOMPARE(acceptSnifferFrame(bytes(f), 100, 5), SnifferVerdict::TooShort);
        QCOMPARE(log.messages().size(), 1); // a short read is ignored quietly
    }
    QCOMPARE(checkSnifferFrame(bytes(f), 4617, -1), SnifferVerdict::TooShort);
    f[0] = 'A';
    QCOMPARE(checkSnifferFrame(bytes(f), f.size(), -1), SnifferVerdict::InvalidHeader);
    {
        MessageCapture log;
        QCOMPARE(acceptSnifferFrame(bytes(f), f.size(), -1), SnifferVerdict::InvalidHeader);
        QCOMPARE(log.typesOf(QStringLiteral("Sniffer, frame header not valid")), QList<QtMsgType>{QtWarningMsg});
        QVERIFY(!acceptMeterRead(35));
        QVERIFY(acceptMeterRead(36));
        QVERIFY(!acceptMeterRead(-7));
        QCOMPARE(log.count(QStringLiteral("Meter, data too short")), 2);
    }
    sniffconfig_t h;
    QByteArray g(10, '\0');
    g[0] = 'B';
    g[3] = 2;
    g[4] = char(0x00);
    g[5] = char(0x06); // 1536
    g[6] = 3;
    parseSnifferHeader(&h, bytes(g));
    QCOMPARE(h.protocol, uint8_t(2));
    QCOMPARE(h.count1, uint16_t(1536));
    QCOMPARE(h.count2, uint16_t(3));
}

void TestFrames::acceptanceFromTheTransport()
{
    VirtualUsbBackend backend;
    LibUsbDevice usb(&backend);
    QByteArray cache("previous picture");
    // Nothing announced: nothing taken.
    QCOMPARE(acceptScopeFrame(usb, 48 + 768, cache), ScopeVerdict::NoData);

    const QByteArray good = scopeFrame(Ch1, 768, 11);
    std::memcpy(usb.dataBuffer, good.constData(), size_t(good.size()));
    usb.newDataAvailable(good.size());
    // Expecting two channels: the read is ignored, stays announced, the cache is kept.
    QCOMPARE(acceptScopeFrame(usb, 48 + 2 * 768, cache), ScopeVerdict::WrongLength);
    QVERIFY(usb.dataReady);
    QCOMPARE(cache, QByteArray("previous picture"));
    QCOMPARE(acceptScopeFrame(usb, 48 + 768, cache), ScopeVerdict::Accepted);
    QVERIFY(!usb.dataReady);
    QCOMPARE(cache, good);

    // A bad header is logged once and dropped.
    MessageCapture log;
    usb.dataBuffer[0] = 'Z';
    usb.newDataAvailable(good.size());
    QCOMPARE(acceptScopeFrame(usb, 48 + 768, cache), ScopeVerdict::InvalidHeader);
    QCOMPARE(acceptScopeFrame(usb, 48 + 768, cache), ScopeVerdict::NoData);
    QCOMPARE(log.count(QStringLiteral("Scope data: Invalide header")), 1);
    QCOMPARE(log.typesOf(QStringLiteral("Invalide header")), QList<QtMsgType>{QtWarningMsg});
    QCOMPARE(cache, good);
}

void TestFrames::randomBytesNeverAccepted()
{
    QRandomGenerator random(1234);
    VirtualUsbBackend backend;
    LibUsbDevice usb(&backend);
    QByteArray cache;
    MessageCapture log;
    int accepted = 0;
    for (int round = 0; round < 2000; ++round) {
        const int length = int(random.bounded(LibUsbDevice::bufferSize + 1));
        for (int i = 0; i < length; ++i)
            usb.dataBuffer[i] = uchar(random.bounded(256));
        usb.newDataAvailable(length);
        const int expected = scopeFrameLength(uint8_t(random.bounded(8)), samplesForBufferIndex(int(random.bounded(15))));
        const ScopeVerdict v = acceptScopeFrame(usb, expected, cache);
        if (v == ScopeVerdict::Accepted) {
            ++accepted;
            QCOMPARE(cache.size(), expected);
            QCOMPARE(cache.at(0), 'A');
        }
        usb.dataReady = false;
    }
    // Random reads almost never have the right length; those that do still need the 'A'.
    QVERIFY(accepted < 20);
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
