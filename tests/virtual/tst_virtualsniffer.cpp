// SPDX-License-Identifier: GPL-3.0-only
// Sniffer frames of the virtual instrument: the traffic of each protocol as
// the bench defines it, both counts, ring wrap, single mode and clear.

#include "common/testsupport.h"
#include "device/virtual/virtualsniffer.h"
#include "virtual/benchhelpers.h"

#include <QtTest>

namespace {
struct SnifferFrame {
    int number = -1;
    int protocol = -1;
    int count1 = 0;
    int count2 = 0;
    QByteArray data;
    explicit SnifferFrame(const QByteArray &f)
    {
        if (f.size() != 4618 || f[0] != 'B')
            return;
        const auto *u = reinterpret_cast<const unsigned char *>(f.constData());
        number = u[1] | (u[2] << 8);
        protocol = u[3];
        count1 = u[4] | (u[5] << 8);
        count2 = u[6] | (u[7] << 8);
        data = f.mid(10);
    }
    uint8_t at(int offset) const { return uint8_t(data[offset]); }
};

// Starts the sniffer the way the host does: options, mode 1, start.
void startSniffer(TestBench &b, int protocol, int options = 0, int uart = 3 * 8 + 3, int strobe = 0, bool single = false)
{
    b.set({{21, protocol}, {12, options}, {22, uart}, {23, strobe}, {10, single ? 4 : 0}, {0, 1}});
    b.run(5);
}

// Receiver `mask` bytes of a UART frame in ring order 0 … count − 1.
QByteArray uartBytes(const SnifferFrame &f, int mask)
{
    QByteArray out;
    for (int i = 0; i < f.count1; ++i) {
        const int attribute = f.at(3072 + i);
        if (attribute & mask)
            out.append(char(f.at((mask == 1 ? 0 : 1536) + i)));
    }
    return out;
}
} // namespace

class TestVirtualSniffer : public QObject
{
    Q_OBJECT

private slots:
    void uartLinesAndReplies()
    {
        TestBench b;
        startSniffer(b, 2);
        QVERIFY(b.vi.snifferRunning());
        const SnifferFrame first(b.frame(100000));
        const int64_t t0 = b.lastFrameAt;
        b.frame(100000);
        QCOMPARE(b.lastFrameAt - t0, int64_t(50000)); // a frame every 50 ms
        b.vi.advanceClock(1000000);
        const SnifferFrame f(b.frame());
        QVERIFY(f.protocol == 2 && f.number != first.number && f.count1 == f.count2);
        // 9600 8N1: 1.04 ms a character; a line every 100 ms since the start, each answered.
        const QByteArray rx = uartBytes(f, 1);
        const QByteArray tx = uartBytes(f, 2);
        QVERIFY(rx.startsWith("VSIM uart line 0000\r\nVSIM uart line 0001\r\n"));
        QVERIFY(tx.startsWith("OK\r\nOK\r\n") && tx.count("OK\r\n") >= rx.count("\r\n") - 1);
        // The reply follows its line: position 21 is the other receiver's, with nothing in the first stream.
        QVERIFY(f.at(3072 + 20) == 1 && f.at(3072 + 21) == 2 && f.at(0 + 21) == 0);
        // Single mode: fills once and stops; the frame number stops changing.
        startSniffer(b, 2, 0, 3 * 8 + 3, 0, true);
        b.vi.advanceClock(20000000);
        const SnifferFrame full(b.frame());
        QVERIFY(full.count1 == 1536 && full.count2 == 1536);
        QCOMPARE(SnifferFrame(b.frame()).number, full.number);
    }
    void uartInTheBenchFormat()
    {
        // The bench's format in vsim.xml, entries 22 and 12; the receiver reads the lines clean.
        const std::tuple<const char *, int, int, bool> rows[] = {
            {"9600 8N1", 28, 0, false}, {"9600 8N1", 26, 0, false}, {"9600 8N1", 27, 1, false}, {"19200 8E1", 28, 1, true},
            {"19200 8E1", 27, 0, false}, {"1200 9N1", 32, 0, true}, {"9600 8N3", 27, 0, true}}; // the last: not understood
        for (const auto &[format, uart, options, clean] : rows) {
            QVERIFY(writeFile(QStringLiteral("vsim.xml"), QByteArray("<d><uart format=\"") + format + "\"/></d>"));
            MessageCapture log;
            TestBench b;
            QCOMPARE(log.contains(QStringLiteral("UART format \"9600 8N3\" in")), !std::strcmp(format, "9600 8N3"));
            startSniffer(b, 2, options, uart);
            b.vi.advanceClock(1000000);
            QCOMPARE(uartBytes(SnifferFrame(b.frame()), 1).startsWith("VSIM uart line 0000\r\nVSIM"), clean);
        }
        QFile::remove(QStringLiteral("vsim.xml"));
        VirtualSniffer::UartFormat f;
        for (const char *text : {"9600 8X1", "9600 8N0", "9600", "", "9600 8N1 x", "-9600 8N1", "9600 4N1", "9600 8N1\n2"})
            QVERIFY(!VirtualSniffer::parseUartFormat(text, f) && f.baud == 9600 && f.dataBits == 8);
    }
    void parallelCounterOnEdges()
    {
        TestBench b;
        startSniffer(b, 3);
        b.vi.advanceClock(10000);
        SnifferFrame f(b.frame());
        QVERIFY(f.count1 >= 500 && f.count1 <= 1100); // 10 000 strobes a second
        for (int i = 1; i < f.count1; ++i)
            QCOMPARE(f.at(i), uint8_t(f.at(i - 1) + 1));
        // Both edges, inverted: every value twice, complemented; the frame leaves 50 ms after the start.
        startSniffer(b, 3, 0x10, 27, 2);
        b.vi.advanceClock(10000);
        f = SnifferFrame(b.frame());
        QVERIFY(f.count1 == 500 + 499 && f.at(0) == uint8_t(~1) && f.at(1) == uint8_t(~1) && f.at(2) == uint8_t(~2));
        // The 4096-position ring wraps after 0.41 s; a clear empties it, 50 ms later 500 new strobes.
        startSniffer(b, 3);
        b.vi.advanceClock(450000);
        f = SnifferFrame(b.frame());
        QVERIFY(f.count1 < 4096);
        QCOMPARE(f.at(4095), uint8_t(f.at(0) - 1));
        b.run(7);
        QCOMPARE(SnifferFrame(b.frame()).count1, 500);
        // Leaving mode 1 stops the capture; the start request alone does not restart it.
        b.write(0, 0);
        b.run(5);
        QVERIFY(!b.vi.snifferRunning());
        QVERIFY(b.frame(200000).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestVirtualSniffer)
#include "tst_virtualsniffer.moc"
