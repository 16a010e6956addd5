#include "common/testsupport.h"
#include "device/configprotocol.h"

#include <QtTest>

using namespace ConfigProtocol;

class TestConfigProtocol : public QObject
{
    Q_OBJECT
private slots:
    void clampsAtBothEnds();
    void channelAndLogicBytes();
    void triggerByte();
    void inputSelectors();
    void optionBytes();
    void truncatedAndClampedEntries();
    void autoTriggerCodes();
    void frequencyTravelsInTwoWords();
    void configurationBlockIsLittleEndian();
    void bufferSizeItemsAndKeptIndex();
    void confirmedWriteShrinksBufferOnShortage();
};

void TestConfigProtocol::clampsAtBothEnds()
{
    QCOMPARE(dataValueRangeTrunk(5, 1, 15), 5);
    QCOMPARE(dataValueRangeTrunk(0, 1, 15), 1);
    QCOMPARE(dataValueRangeTrunk(16, 1, 15), 15);
    QCOMPARE(dataValueRangeTrunk(INT_MIN, -127, 127), -127);
    QCOMPARE(dataValueRangeTrunk64(LLONG_MAX, 48, 12500000), 12500000LL);
    QCOMPARE(dataValueRangeTrunk64(-1, 48, 12500000), 48LL);
    QCOMPARE(dataValueRangeTrunk64(48, 48, 12500000), 48LL);
}

void TestConfigProtocol::channelAndLogicBytes()
{
    ChannelControls c;
    QCOMPARE(channelControlByte(c), 0);
    c.trace = true;
    c.invert = true;
    QCOMPARE(channelControlByte(c), 0x05);
    c = ChannelControls{true, true, true, true, true, true, true};
    QCOMPARE(channelControlByte(c), 0x7F);
    c = ChannelControls{};
    c.math = true;
    c.multiply = true;
    QCOMPARE(channelControlByte(c), 0x50);

    QCOMPARE(logicControlByte(true, false), 0x01);
    QCOMPARE(logicControlByte(false, true), 0x04);
    QCOMPARE(logicControlByte(true, true), 0x05);
    bool bits[8] = {true, false, false, false, false, false, false, true};
    QCOMPARE(logicBitsByte(bits), 0x81);
}

void TestConfigProtocol::triggerByte()
{
    TriggerControls t;
    t.free = true;
    t.edge = true;
    t.fallingOrNegative = true;
    QCOMPARE(triggerControlByte(t), 0x91); // falling edge, free running
    t = TriggerControls{};
    t.normal = true;
    t.edge = true;
    QCOMPARE(triggerControlByte(t), 0x82); // rising edge, normal
    t = TriggerControls{};
    t.autoMode = true;
    t.slope = true;
    QCOMPARE(triggerControlByte(t), 0x28);
    t = TriggerControls{};
    t.single = true;
    t.window = true;
    QCOMPARE(triggerControlByte(t), 0x44);
}

void TestConfigProtocol::inputSelectors()
{
    for (int bit = 0; bit < 8; ++bit) {
        QCOMPARE(counterInputSource(bit), bit + 2);
        QCOMPARE(gateSource(bit), bit + 2);
    }
    QCOMPARE(counterInputSource(10), 10);
    QCOMPARE(counterInputSource(11), 11);
    QCOMPARE(counterInputSource(-1), 10);
    QCOMPARE(gateSource(10), 10);
    QCOMPARE(gateSource(11), 11);
    QCOMPARE(gateSource(-1), 0);
    QCOMPARE(gateSource(8), 0);
}

void TestConfigProtocol::optionBytes()
{
    QCOMPARE(mixedControls(true, false, false, false, false), 0x01);
    QCOMPARE(mixedControls(false, true, true, true, true), 0x1E);
    QCOMPARE(meterFrequencyControl(true, true), 0x09);
    QCOMPARE(meterFrequencyControl(false, false), 0);
    QCOMPARE(snifferOptions(0, 0, false, false, 0, 0, 0), 0);
    QCOMPARE(snifferOptions(1, 0, false, false, 0, 0, 0), 0x01); // odd parity
    QCOMPARE(snifferOptions(2, 1, false, false, 0, 0, 0), 0x07); // even parity, two stop bits
    QCOMPARE(snifferOptions(0, 0, true, true, 1, 1, 1), 0xF8);
    QCOMPARE(snifferUsart(1, 3), 11);
    SweepControls s;
    s.falling = true;
    s.frequency = true;
    s.amplitude = true;
    // The quantities only count while the sweep panel is checked.
    QCOMPARE(sweepType(s), 0x01);
    s.panelChecked = true;
    QCOMPARE(sweepType(s), 0x0D);
    s = SweepControls{};
    s.pingPong = true;
    s.panelChecked = true;
    s.offset = true;
    s.dutyCycle = true;
    QCOMPARE(sweepType(s), 0x32);
}

void TestConfigProtocol::truncatedAndClampedEntries()
{
    QCOMPARE(waveOffset(-1), 0xFF);
    QCOMPARE(waveOffset(-200), 0x81); // held at -127 first
    QCOMPARE(waveOffset(127), 0x7F);
    QCOMPARE(waveAmplitude(233), 232);
    QCOMPARE(waveAmplitude(-5), 0);
    QCOMPARE(waveDuty(0), 1);
    QCOMPARE(waveDuty(300), 255);
    QCOMPARE(sweepSpeed(0), 1);
    QCOMPARE(sweepSpeed(128), 127);
    QCOMPARE(lowByte(0x1234), 0x34);
    QCOMPARE(lowByte(-2), 0xFE);
    QCOMPARE(waveConstantLevel(-29696), -29696);
    QCOMPARE(waveConstantLevel(40000), 32767);
    QCOMPARE(uint16_t(waveConstantLevel(-1)), uint16_t(0xFFFF));
    QCOMPARE(triggerPost(768, 760), 8);
    QCOMPARE(triggerPost(768, 4), 764);
    QCOMPARE(channelBufferBlocks(0), 1);
    QCOMPARE(channelBufferBlocks(16), 15);
    QCOMPARE(dacBufferBlocks(3), 2);
}

void TestConfigProtocol::autoTriggerCodes()
{
    QCOMPARE(autoTriggerCode(0.04096), 0);
    QCOMPARE(autoTriggerCode(1.0), 23);
    QCOMPARE(autoTriggerCode(0.08192), 1);
    QCOMPARE(autoTriggerCode(10.0), 243);
    // Times the byte cannot hold are held at its ends, not wrapped.
    QCOMPARE(autoTriggerCode(0.0), 0);
    QCOMPARE(autoTriggerCode(11.0), 255);
    QCOMPARE(autoTriggerCode(std::nan("")), 0);
}

void TestConfigProtocol::frequencyTravelsInTwoWords()
{
    FrequencyWords w = splitFrequency(1000); // 10 Hz
    QCOMPARE(w.index, uint16_t(1000));
    QCOMPARE(w.value, uint16_t(0));
    w = splitFrequency(12500000); // 125 kHz
    QCOMPARE(w.index, uint16_t(0xBC20));
    QCOMPARE(w.value, uint16_t(190));
    QCOMPARE(waveFrequency(1), 48LL);
    QCOMPARE(waveFrequency(99999999), 12500000LL);
    w = splitFrequency(0x0001FFFF);
    QCOMPARE(w.index, uint16_t(0xFFFF));
    QCOMPARE(w.value, uint16_t(1));
}

void TestConfigProtocol::configurationBlockIsLittleEndian()
{
    unsigned char block[512] = {};
    QVERIFY(storeEntry(block, 33, waveOffset(-1)));
    QCOMPARE(int(block[132]), 0xFF);
    QCOMPARE(int(block[133]), 0);
    QCOMPARE(entryAt(block, 33), 255);
    QVERIFY(storeEntry(block, 35, -2));
    QCOMPARE(entryAt(block, 35), -2);
    QCOMPARE(int(block[143]), 0xFF);
    QVERIFY(storeEntry(block, 34, 0x12345678));
    QCOMPARE(int(block[136]), 0x78);
    QCOMPARE(int(block[139]), 0x12);
    QVERIFY(storeEntry(block, 127, 7));
    QCOMPARE(int(block[508]), 7);
    // Indices past the table are refused; nothing outside the block is written.
    QVERIFY(!storeEntry(block, 128, 1));
    QVERIFY(!storeEntry(block, -1, 1));
    QCOMPARE(entryAt(block, 200), 0);
}

void TestConfigProtocol::bufferSizeItemsAndKeptIndex()
{
    QCOMPARE(bufferSizeItems(3), QStringList({"256", "512", "768"}));
    QCOMPARE(bufferSizeItems(0), QStringList({"256"}));
    QCOMPARE(bufferSizeItems(-4), QStringList({"256"}));
    QCOMPARE(bufferSizeItems(15).last(), QStringLiteral("3840"));
    QCOMPARE(keptBufferIndex(1, 3), 1);
    QCOMPARE(keptBufferIndex(5, 3), 2);
    QCOMPARE(keptBufferIndex(-1, 3), 2);
    QCOMPARE(keptBufferIndex(0, 1), 0);
}

void TestConfigProtocol::confirmedWriteShrinksBufferOnShortage()
{
    // Accepted at once.
    QList<int> shrinks;
    int sends = 0;
    auto shrink = [&shrinks](int blocks) { shrinks << blocks; };
    QVERIFY(confirmedWriteWithMemoryCheck(
        [&sends](unsigned char *reply, int) {
            ++sends;
            reply[0] = 0;
            reply[1] = 9;
            return 0;
        },
        shrink));
    QCOMPARE(sends, 1);
    QVERIFY(shrinks.isEmpty());

    // Refused: shrink to what fits, then the second write is accepted.
    MessageCapture log;
    sends = 0;
    bool repliesZeroed = true;
    QVERIFY(confirmedWriteWithMemoryCheck(
        [&sends, &repliesZeroed](unsigned char *reply, int length) {
            // The reply is zeroed before each write.
            repliesZeroed = repliesZeroed && length == 2 && reply[0] == 0 && reply[1] == 0;
            ++sends;
            reply[0] = sends == 1 ? 1 : 0;
            reply[1] = 6;
            return int(reply[0]);
        },
        shrink));
    QCOMPARE(sends, 2);
    QVERIFY(repliesZeroed);
    QCOMPARE(shrinks, QList<int>{6});
    QVERIFY(log.contains(QStringLiteral("No enough memory for CH buffer: 6")));

    // Refused twice, or a transfer failing, changes nothing in the window.
    shrinks.clear();
    QVERIFY(!confirmedWriteWithMemoryCheck(
        [](unsigned char *reply, int) {
            reply[0] = 1;
            reply[1] = 0;
            return 1;
        },
        shrink));
    QCOMPARE(shrinks, QList<int>{1}); // a zero answer still leaves one block
    shrinks.clear();
    QVERIFY(!confirmedWriteWithMemoryCheck([](unsigned char *, int) { return -1; }, shrink));
    QVERIFY(shrinks.isEmpty());
}

QTEST_GUILESS_MAIN(TestConfigProtocol)
#include "tst_configprotocol.moc"
