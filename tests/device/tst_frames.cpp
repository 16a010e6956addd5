// SPDX-License-Identifier: GPL-3.0-only
#include "common/testsupport.h"
#include "core/device/frames.h"
#include "device/frameintake.h"
#include "device/libusbdevice.h"
#include "device/virtual/virtualusbbackend.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstring>

using namespace Frames;

class TestFrames : public QObject
{
    Q_OBJECT
private slots:

    void scopeHeaderRoundTrip()
    {
        frameconfig_t h{scopeFrameType, 0xBEEF, Ch1 | Chd, Ch1, 3840, 21, 0x0102};
        unsigned char wire[scopeHeaderSize];
        std::memset(wire, 0xCC, sizeof(wire));
        writeScopeHeader(h, wire);
        // Little-endian, in the order the instrument sends it.
        const unsigned char expected[] = {'A', 0xEF, 0xBE, 0x05, 0x01, 0x00, 0x0F, 21, 0x02, 0x01};
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(wire), scopeHeaderSize),
                 QByteArray(reinterpret_cast<const char *>(expected), scopeHeaderSize));
        frameconfig_t back{};
        parseScopeHeader(&back, wire);
        QCOMPARE(QVector<int>({back.frameType, back.frameNumber, back.channelMask, back.analogMask,
                               back.samplesPerChannel, back.samplingIndex, back.rollStartIndex}),
                 QVector<int>({'A', 0xBEEF, Ch1 | Chd, Ch1, 3840, 21, 0x0102}));
        // The roll start names a sample of the frame, or none.
        back.rollStartIndex = 3839;
        QCOMPARE(rollStart(back), 3839);
        back.rollStartIndex = 3840;
        QCOMPARE(rollStart(back), 0);
    }

    void blockOffsetsFollowTheMask()
    {
        // The trace-builder tests check every block against offsets counted by hand; here the ends.
        QCOMPARE(scopeFrameLength(0, 768), 48); // header, two meter blocks and two reserved bytes
        QCOMPARE(channelBlockOffset(Ch2, Ch1, 768), -1);
        QCOMPARE(meterBlockOffset(Ch1 | Ch2 | Chd, 3840), 10 + 3 * 3840);
        QVERIFY(scopeFrameLength(7, 3840) <= LibUsbDevice::bufferSize);
        QCOMPARE(channelMaskFor(true, false, true), uint8_t(Ch1 | Chd));
    }

    void meterBlockRoundTrip()
    {
        const channela_t m{0x53, 7, 0xAA, 127, -128, -300, 12800, 0xDEADBEEF, 3, 3839, 21};
        unsigned char wire[18];
        writeMeterBlock(m, wire);
        QVERIFY(wire[3] == 0x7F && wire[4] == 0x80 && wire[9] == 0xEF && wire[12] == 0xDE); // little-endian
        channela_t back{};
        parseMeterBlock(&back, wire);
        const auto fields = [](const channela_t &c) {
            return QVector<qlonglong>{c.controls,   c.gainIndex,      c.spare,           c.maximum,
                                      c.minimum,    c.rms,            c.average,         c.periodX100,
                                      c.zeroCrossFirst, c.zeroCrossSecond, c.samplingIndex};
        };
        QCOMPARE(fields(back), fields(m));

        // Settings only: the measurements keep their defaults.
        channela_t settings;
        std::memset(&settings, 0x55, sizeof settings);
        initMeterBlock(&settings);
        parseMeterSettings(&settings, wire);
        QCOMPARE(fields(settings), QVector<qlonglong>({0x53, 7, 0xAA, 100, -100, 0, 0, 0, 64, 128, 21}));
    }

    void identification()
    {
        unsigned char block[64] = {};
        std::memcpy(block, "\x01VSIM.2.7\x09 Velto", 16); // control bytes dropped, trimmed
        QCOMPARE(identificationText(block, 64), QStringLiteral("VSIM.2.7 Velto"));
    }

    void snifferAcceptance()
    {
        const QByteArray two = scopeFrameBytes(Ch1 | Ch2, 256);
        QCOMPARE(checkScopeFrame(frameBytes(two), 0, 48 + 512), ScopeVerdict::NoData);
        QByteArray f(snifferMinimumLength, '\0');
        f[0] = 'B';
        f[1] = 5;
        QCOMPARE(checkSnifferFrame(frameBytes(f), f.size(), 4), SnifferVerdict::Accepted);
        QCOMPARE(checkSnifferFrame(frameBytes(f), snifferMinimumLength - 1, -1), SnifferVerdict::TooShort);
        MessageCapture log;
        QCOMPARE(acceptSnifferFrame(frameBytes(f), f.size(), 5), SnifferVerdict::SameFrame);
        QCOMPARE(log.typesOf("Sniffer, same data, nothing to do"), QList<QtMsgType>{QtInfoMsg});
        QCOMPARE(acceptSnifferFrame(frameBytes(f), 100, 5), SnifferVerdict::TooShort);
        QCOMPARE(log.messages().size(), 1); // a short read is ignored quietly
        f[0] = 'A';
        QCOMPARE(acceptSnifferFrame(frameBytes(f), f.size(), -1), SnifferVerdict::InvalidHeader);
        QCOMPARE(log.typesOf("Sniffer, frame header not valid"), QList<QtMsgType>{QtWarningMsg});
        QVERIFY(!acceptMeterRead(35) && acceptMeterRead(36));
        QCOMPARE(log.count(QStringLiteral("Meter, data too short")), 1);

        const unsigned char header[10] = {'B', 0, 0, 2, 0x00, 0x06, 3, 0, 0, 0};
        sniffconfig_t h;
        parseSnifferHeader(&h, header);
        QCOMPARE(QVector<int>({h.protocol, h.count1, h.count2}), QVector<int>({2, 1536, 3}));
    }

    void acceptanceFromTheTransport()
    {
        VirtualUsbBackend backend;
        LibUsbDevice usb(&backend);
        QByteArray cache("previous picture");

        const QByteArray good = scopeFrameBytes(Ch1, 768, 0, 11);
        std::memcpy(usb.dataBuffer, good.constData(), size_t(good.size()));
        usb.newDataAvailable(good.size());
        usb.newDataAvailable(good.size());
        // Expecting two channels: the first read is passed over, the cache kept; the second is taken.
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
        QCOMPARE(log.typesOf(QStringLiteral("Scope data: Invalide header")), QList<QtMsgType>{QtWarningMsg});
    }

    void randomReadsJudgedByLengthThenHeader()
    {
        // Random bytes of exactly the expected length are taken when they start
        // with 'A' and refused (logged) otherwise; a read of another length is
        // passed over quietly whatever its first byte.
        QRandomGenerator random(1234);
        VirtualUsbBackend backend;
        LibUsbDevice usb(&backend);
        MessageCapture log;
        for (int round = 0; round < 600; ++round) {
            const int expected =
                scopeFrameLength(uint8_t(random.bounded(8)), samplesForBufferIndex(int(random.bounded(15))));
            const int kind = round % 3; // 0: right length, 'A'; 1: right length, not 'A'; 2: wrong length, not 'A'
            int length = expected;
            while (kind == 2 && length == expected)
                length = 1 + int(random.bounded(LibUsbDevice::bufferSize));
            for (int i = 0; i < length; ++i)
                usb.dataBuffer[i] = uchar(random.bounded(256));
            usb.dataBuffer[0] = kind == 0 ? 'A' : uchar('A' + 1 + random.bounded(200));
            usb.newDataAvailable(length);
            QByteArray cache("kept");
            log.clear();
            const ScopeVerdict v = acceptScopeFrame(usb, expected, cache);
            const ScopeVerdict wanted[3] = {ScopeVerdict::Accepted, ScopeVerdict::InvalidHeader, ScopeVerdict::WrongLength};
            QCOMPARE(v, wanted[kind]);
            QVERIFY(!usb.dataReady);
            QCOMPARE(log.count(QStringLiteral("Invalide header")), kind == 1 ? 1 : 0);
            if (kind == 0)
                QCOMPARE(cache, QByteArray(reinterpret_cast<const char *>(usb.dataBuffer), expected));
            else
                QCOMPARE(cache, QByteArray("kept"));
        }
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
