// SPDX-License-Identifier: GPL-3.0-only
// The decoding core on the virtual bench's bus wires: each decoder finds the
// bench's traffic where it is, a stacked decoder reads what the one below
// it says, and a decoder that fails says why without stopping the others.
#include "core/decode/decoderlibrary.h"
#include "core/decode/decodesession.h"
#include "device/virtual/virtualbus.h"

#include <QtTest>

using Decode::DecoderSetting;
using Settings = QVector<DecoderSetting>;
Q_DECLARE_METATYPE(Settings)

namespace {
// 7500 samples at 62.5 kS/s from `fromMs` on.
QVector<uint8_t> busWires(int fromMs)
{
    QVector<uint8_t> logic(7500);
    for (int i = 0; i < logic.size(); ++i)
        logic[i] = VirtualBus::levelsAt(int64_t(fromMs) * 1000000 + int64_t(i) * 16000);
    return logic;
}
DecoderSetting uart() { return {"uart", -1, {{"tx", 0}, {"rx", 1}}, {{"baudrate", 9600LL}, {"format", "ascii"},
                               {"tx_packet_delim", 10LL}, {"rx_packet_delim", 10LL}}}; }
DecoderSetting spi() { return {"spi", -1, {{"clk", 2}, {"mosi", 3}, {"miso", 4}, {"cs", 5}}, {}}; }
DecoderSetting i2c() { return {"i2c", -1, {{"scl", 6}, {"sda", 7}}, {}}; }
} // namespace

class TestDecoding : public QObject
{
    Q_OBJECT
private slots:
    void busTraffic_data();
    void busTraffic();
    void cleanupTestCase() { Decode::Library::finalize(); }
};

void TestDecoding::busTraffic_data()
{
    QTest::addColumn<int>("fromMs");
    QTest::addColumn<Settings>("settings");
    // Per setting, texts that must be among its annotations ("!" and the
    // start of the error it must report instead).
    QTest::addColumn<QStringList>("expected");
    DecoderSetting slowUart = uart();
    slowUart.options["baudrate"] = 0LL;
    DecoderSetting noClock = spi();
    noClock.channels.remove("clk");
    QTest::newRow("three buses at once") << 99 << Settings{uart(), spi(), i2c()}
        << QStringList{"VSIM uart line 0000[0D][0A]|OK[0D][0A]", "9F|00|FF|EF|40|18",
                       "Write|Address write: 50|Read|Address read: 50|Data write: 10|Data read: 4D|NACK|Start repeat|Stop"};
    QTest::newRow("nobody answers at 0x51") << 200 << Settings{i2c()} << QStringList{"Address write: 51|NACK|Stop"};
    QTest::newRow("EEPROM on I2C") << 99 << Settings{i2c(), {"eeprom24xx", 0, {}, {{"chip", "microchip_24lc64"}}}}
        << QStringList{"NACK", "Sequential random read (addr=0010, 4 bytes): 56 53 49 4D"};
    QTest::newRow("a decoder fails, the others go on") << 100 << Settings{slowUart, noClock, i2c()}
        << QStringList{"!Traceback", "!assign a logic bit to CLK", "Stop"};
    QTest::newRow("stacked on nothing, unknown decoder") << 100 << Settings{{"eeprom24xx", -1, {}, {}}, {"nonesuch", -1, {}, {}}}
        << QStringList{"!stack it on one", "!no decoder \"nonesuch\""};
}

void TestDecoding::busTraffic()
{
    QFETCH(int, fromMs);
    QFETCH(Settings, settings);
    QFETCH(QStringList, expected);
    const QVector<uint8_t> logic = busWires(fromMs);
    Decode::FrameDecoding out;
    Decode::decodeFrame(settings, logic.constData(), logic.size(), 62500, &out);
    QCOMPARE(out.errors.size(), settings.size());
    for (int d = 0; d < settings.size(); ++d) {
        QStringList texts;
        for (const Decode::Annotation &a : out.annotations) {
            if (a.decoder == d)
                texts += a.texts;
            QVERIFY(a.start <= a.end && a.start < logic.size());
        }
        if (expected[d].startsWith('!')) {
            QVERIFY2(out.errors[d].contains(expected[d].mid(1)), qPrintable(out.errors.join('#')));
            continue;
        }
        QVERIFY2(out.errors[d].isEmpty(), qPrintable(out.errors[d]));
        for (const QString &t : expected[d].split('|'))
            QVERIFY2(texts.contains(t), qPrintable(t + " not in " + texts.join(' ')));
    }
}

QTEST_GUILESS_MAIN(TestDecoding)
#include "tst_decoding.moc"
