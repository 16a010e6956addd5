// SPDX-License-Identifier: GPL-3.0-only
// The vendor requests of the virtual instrument: data stages and reply
// lengths, the configuration table fed three ways, the shared memory, the
// generator's custom waveform store, and what malformed requests get.

#include "virtual/benchhelpers.h"

#include <libusb.h>

#include <QtTest>

#include <array>

namespace {
std::array<int32_t, 128> table(const VirtualInstrument &vi)
{
    std::array<int32_t, 128> t{};
    for (int i = 0; i < 128; ++i)
        t[size_t(i)] = vi.configurationEntry(i);
    return t;
}

QByteArray block(const QMap<int, int32_t> &entries)
{
    QByteArray b(512, '\0');
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        const uint32_t v = uint32_t(it.value());
        for (int k = 0; k < 4; ++k)
            b[4 * it.key() + k] = char(uint8_t(v >> (8 * k)));
    }
    return b;
}

int bulk(VirtualInstrument &vi, const QByteArray &payload)
{
    return vi.bulkOut(0x01, reinterpret_cast<const unsigned char *>(payload.constData()), payload.size());
}

int confirmed(VirtualInstrument &vi, int entry, int value, unsigned char reply[2])
{
    reply[0] = reply[1] = 0xEE;
    return vi.control(0x42, uint16_t(entry), uint16_t(value), reply, 2);
}
} // namespace

class TestVirtualRequests : public QObject
{
    Q_OBJECT

private slots:
    void readLengthsAndSingleWrites()
    {
        TestBench b;
        unsigned char data[64];
        QCOMPARE(b.vi.control(0x47, 0, 0, data, 64), 64); // the text and padding: in the USB device suite
        QCOMPARE(b.vi.control(0x47, 0, 0, data, 8), 8); // what was asked for, as a device answers
        QCOMPARE(b.vi.control(0x47, 1, 0, data, 64), 36);
        // Signed entries travel in 16 or 8 bits; out-of-range values are clamped.
        const int writes[][3] = {{17, -40 & 0xFFFF, -40}, {33, 0x00FF, -1},  {35, -29696 & 0xFFFF, -29696},
                                 {1, 40, 21},             {13, 12, 9},       {30, 500, 232},
                                 {32, 0, 1},              {25, 0, 1},        {25, 99, 15},
                                 {29, 0, 1},              {17, 300, 127}};
        for (const auto &w : writes) {
            QCOMPARE(b.write(w[0], w[1]), 0);
            QCOMPARE(b.vi.configurationEntry(w[0]), w[2]);
        }
        // The frequency goes by 0x46: low half in wIndex, high half in wValue.
        b.frequency(12500000);
        QCOMPARE(b.vi.configurationEntry(34), 12500000);
        b.frequency(1);
        QCOMPARE(b.vi.configurationEntry(34), 48);
        // The effective frequency reads back in hundredths: 72 MHz over whole timer steps of n samples.
        b.write(24, 2);
        b.frequency(3333300);
        QCOMPARE(b.vi.control(0x47, 5, 0, data, 4), 4);
        QCOMPARE(data[0] | (data[1] << 8) | (data[2] << 16) | (data[3] << 24), int(std::lround(dacFrequency(33333, 512) * 100)));
    }
    void committedBlockFillsTheTable()
    {
        TestBench b;
        const QByteArray config = block({{0, 0}, {1, 5}, {3, 3}, {13, 4}, {17, -40}, {25, 6}, {33, 255}, {34, 2500000},
                                         {7, 0x91}, {31, 2}, {40, 1234}});
        QCOMPARE(bulk(b.vi, config), 512);
        // Not yet: a bulk payload waits for its commit.
        QCOMPARE(b.vi.configurationEntry(1), 8);
        QCOMPARE(b.vi.control(0x45, 2, 0, nullptr, 0), 0);
        const int expected[][2] = {{1, 5}, {3, 3}, {13, 4}, {17, -40}, {25, 6}, {33, -1}, {34, 2500000}, {40, 1234}};
        for (const auto &e : expected)
            QCOMPARE(b.vi.configurationEntry(e[0]), e[1]);
        QCOMPARE(b.vi.samplesPerChannel(), 1536);
        QCOMPARE(b.vi.generatorFrequency(), dacFrequency(25000, 256));
        // The payload is used once: a second commit has nothing to commit.
        const auto before = table(b.vi);
        QCOMPARE(b.vi.control(0x45, 2, 0, nullptr, 0), int(LIBUSB_ERROR_PIPE));
        QVERIFY(table(b.vi) == before);
        // A frame follows the committed table: entry 4 is 0 in the block, CH2 off.
        b.write(7, 0x81);
        b.run(2);
        const ScopeFrame f(b.frame());
        QVERIFY(f.valid && f.samples == 1536 && f.samplingIndex == 5 && f.mask == 1);
    }
    void sharedMemoryRefusesOversizedBuffers()
    {
        TestBench b;
        unsigned char reply[2];
        // CH1 and CH2 of 15 blocks take 30 of the 48 blocks; the logic channel fits: 45.
        b.set({{24, 2}, {25, 15}});
        QCOMPARE(confirmed(b.vi, 5, 1, reply), 2);
        QVERIFY(reply[0] == 0 && reply[1] == 15);
        // The generator with two DAC blocks needs 4 more: 49 is refused, with the
        // count that would fit, (48 − 4) / 3 = 14; nothing is applied.
        QCOMPARE(confirmed(b.vi, 2, 1, reply), 2);
        QVERIFY(reply[0] == 1 && reply[1] == 14);
        QVERIFY(b.vi.configurationEntry(2) == 0 && b.vi.configurationEntry(25) == 15);
        // As the host does: shrink to what fits and ask again.
        b.write(25, 14);
        QCOMPARE(confirmed(b.vi, 2, 1, reply), 2);
        QVERIFY(reply[0] == 0 && b.vi.configurationEntry(2) == 1);
        // A confirmed write with a reply too short for status and count stalls and changes nothing.
        const auto before = table(b.vi);
        QCOMPARE(b.vi.control(0x42, 3, 1, reply, 1), int(LIBUSB_ERROR_PIPE));
        QCOMPARE(b.vi.control(0x42, 3, 1, nullptr, 0), int(LIBUSB_ERROR_PIPE));
        QVERIFY(table(b.vi) == before);
    }
    void malformedRequestsAndFaultsOnDemand()
    {
        TestBench b;
        b.set({{1, 3}, {17, 12}});
        const auto before = table(b.vi);
        unsigned char data[64] = {};
        const int stall = LIBUSB_ERROR_PIPE;
        // Unknown requests, indices and values stall.
        const int bad[][3] = {{0x40, 0, 0}, {0x49, 0, 0}, {0x41, 36, 1}, {0x41, 0xFFFF, 1}, {0x43, 4, 0},
                              {0x43, 0, 7}, {0x44, 8, 0}, {0x45, 3, 0},  {0x45, 2, 0}};
        for (const auto &r : bad)
            QCOMPARE(b.vi.control(uint8_t(r[0]), uint16_t(r[1]), uint16_t(r[2]), nullptr, 0), stall);
        QCOMPARE(b.vi.control(0x42, 200, 1, data, 2), stall);
        QCOMPARE(b.vi.control(0x47, 6, 0, data, 4), stall);
        QCOMPARE(b.vi.control(0x47, 0, 0, nullptr, 64), stall);
        // A commit without a whole block behind it; bulk OUT only on 0x01, at most 512 bytes.
        QCOMPARE(bulk(b.vi, QByteArray(100, '\x7F')), 100);
        QCOMPARE(b.vi.control(0x45, 2, 0, nullptr, 0), stall);
        QCOMPARE(bulk(b.vi, QByteArray(513, '\x7F')), stall);
        QCOMPARE(b.vi.bulkOut(0x02, reinterpret_cast<const unsigned char *>(QByteArray(512, 'x').constData()), 512), stall);
        QCOMPARE(b.vi.control(0x45, 2, 0, nullptr, 0), stall);
        QVERIFY(table(b.vi) == before);
        // A bad block of values still leaves a usable table.
        QByteArray junk(512, '\xFF');
        QCOMPARE(bulk(b.vi, junk), 512);
        QCOMPARE(b.vi.control(0x45, 2, 0, nullptr, 0), 0);
        const int usable[][2] = {{1, 0}, {25, 1}, {34, 48}, {17, -1}};
        for (const auto &e : usable)
            QCOMPARE(b.vi.configurationEntry(e[0]), e[1]);
        b.write(7, 0x81);
        b.run(2);
        // Detached, everything says so.
        b.vi.setAttached(false);
        QCOMPARE(b.write(1, 1), int(LIBUSB_ERROR_NO_DEVICE));
        QCOMPARE(bulk(b.vi, junk), int(LIBUSB_ERROR_NO_DEVICE));
        QVERIFY(b.frame(100000).isEmpty());
        b.vi.setAttached(true);
        QCOMPARE(ScopeFrame(b.frame()).samples, 256);
        // Faults on demand: a failed write changes nothing, and only the next one fails.
        b.vi.failNextControl(VirtualInstrument::ControlFault::Timeout);
        QCOMPARE(b.write(1, 4), int(LIBUSB_ERROR_TIMEOUT));
        QCOMPARE(b.vi.configurationEntry(1), 0);
        QCOMPARE(b.write(1, 4), 0);
        QCOMPARE(b.vi.configurationEntry(1), 4);
        b.vi.setIdentificationFault(VirtualInstrument::IdentificationFault::WrongLength);
        QCOMPARE(b.vi.control(0x47, 0, 0, data, 64), 32);
        const int normal = b.frame().size();
        b.vi.failNextFrame(VirtualInstrument::FrameFault::Short);
        QCOMPARE(b.frame().size(), normal - 17);
        b.vi.failNextFrame(VirtualInstrument::FrameFault::Long);
        QCOMPARE(b.frame().size(), normal + 9);
        b.vi.failNextFrame(VirtualInstrument::FrameFault::WrongHeader);
        const QByteArray wrong = b.frame();
        QVERIFY(wrong.size() == normal && wrong[0] != 'A');
        QCOMPARE(b.frame()[0], 'A');
    }
};

QTEST_GUILESS_MAIN(TestVirtualRequests)
#include "tst_virtualrequests.moc"
