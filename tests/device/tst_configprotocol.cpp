// SPDX-License-Identifier: GPL-3.0-only
#include "common/testsupport.h"
#include "core/device/configprotocol.h"
#include "core/device/controlverdict.h"

#include <QtTest>

#include <climits>
#include <cmath>

using namespace ConfigProtocol;

class TestConfigProtocol : public QObject
{
    Q_OBJECT
private slots:
    // Each row: what the protocol helper returned, and what the wire wants.
    void encodings()
    {
        const bool bits[8] = {true, false, false, false, false, false, false, true};
        const struct {
            const char *name;
            qlonglong actual, expected;
        } rows[] = {
            {"clamp64 LLONG_MAX", dataValueRangeTrunk64(LLONG_MAX, 48, 12500000), 12500000},
            {"channel: math multiply", channelControlByte({false, false, false, false, true, false, true}), 0x50},
            {"logic bits 0 and 7", logicBitsByte(bits), 0x81},
            {"counter none", counterInputSource(-1), 10},
            {"gate none", gateSource(-1), 0},
            {"gate 8", gateSource(8), 0},
            {"mixed: meter on the instrument alone", mixedControls(false, false, false, true, false), 0x08},
            {"mixed: single sniff and saving the waveform", mixedControls(false, false, true, false, true), 0x14},
            {"sniffer even two stops", snifferOptions(2, 1, false, false, 0, 0, 0), 0x07},
            {"usart", snifferUsart(1, 3), 11},
            {"sweep ping-pong", sweepType({false, true, true, false, false, true, true}), 0x32},
            {"amplitude high", waveAmplitude(233), 232},
            {"duty low", waveDuty(0), 1},
            {"post near end", triggerPost(768, 760), 8},
            {"channel blocks high", channelBufferBlocks(16), 15},
            {"sniffer flags", snifferOptions(0, 0, true, true, 1, 1, 1), 0xF8},
            {"sweep unchecked", sweepType({true, false, false, true, true}), 0x01},
            {"sweep checked", sweepType({true, false, true, true, true}), 0x0D},
            {"sweep amplitude alone", sweepType({false, false, true, false, true}), 0x08},
            {"sniffer phase alone", snifferOptions(0, 0, false, false, 0, 0, 1), 0x80},
            {"offset held at -127", waveOffset(-200), 0x81},
            {"constant level high", waveConstantLevel(40000), 32767},
            {"auto held high", autoTriggerCode(11.0), 255},
            {"auto NaN", autoTriggerCode(std::nan("")), 0},
            {"125 kHz value", splitFrequency(12500000).value, 190},
            {"kept index", keptBufferIndex(5, 3), 2},
            {"buffer items none", bufferSizeItems(-4).size(), 1},
        };
        for (const auto &row : rows)
            QVERIFY2(row.actual == row.expected,
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(row.name)).arg(row.actual)));
    }
    void configurationBlockIsLittleEndian()
    {
        unsigned char block[512] = {};
        QVERIFY(storeEntry(block, 35, -2));
        QCOMPARE(entryAt(block, 35), -2);
        QVERIFY(storeEntry(block, 34, 0x12345678));
        QVERIFY(block[136] == 0x78 && block[139] == 0x12);
        QVERIFY(storeEntry(block, 127, 7));
        QCOMPARE(int(block[508]), 7);
        // Indices past the table are refused; nothing outside the block is written.
        QVERIFY(!storeEntry(block, 128, 1) && !storeEntry(block, -1, 1));
        QCOMPARE(entryAt(block, 200), 0);
    }
    // Each row: the statuses the instrument answers in turn (its second reply
    // byte the blocks that fit), what is accepted and the shrinks asked for.
    void confirmedWriteShrinksBufferOnShortage()
    {
        const struct {
            QList<int> statuses;
            bool accepted;
            QList<int> shrinks;
        } rows[] = {{{0}, true, {}}, {{1, 0}, true, {6}}, {{1, 1}, false, {6}}, {{-1}, false, {}}, {{1, -7}, false, {6}}};
        MessageCapture log;
        for (const auto &row : rows) {
            QList<int> statuses = row.statuses, shrinks;
            int accepted = -1;
            confirmedWriteWithMemoryCheck(
                [&](const ConfirmedReply &reply) {
                    const unsigned char bytes[2] = {uchar(statuses.value(0)), 6};
                    reply(statuses.takeFirst(), bytes);
                },
                [&](int blocks) { shrinks << blocks; }, [&](bool ok) { accepted = ok; });
            QVERIFY(statuses.isEmpty() && accepted == int(row.accepted) && shrinks == row.shrinks);
        }
        QVERIFY(log.contains(QStringLiteral("No enough memory for CH buffer: 6")));
    }
    // A timeout is asked again once, then said on its page; a refusal greys
    // an optional feature only; a device gone, or three timeouts in a row, loses the link.
    void failedTransfersAreJudged()
    {
        using namespace ControlVerdict;
        const struct {
            int result;
            Need need;
            int attempt, inRow;
            Verdict verdict;
        } rows[] = {{64, Need::Required, 1, 0, Verdict::Done},
                    {-7, Need::Optional, 1, 1, Verdict::Retry},
                    {-7, Need::Optional, 2, 2, Verdict::Report},
                    {-7, Need::Required, 1, 3, Verdict::Lost},
                    {-9, Need::Optional, 1, 0, Verdict::Refused},
                    {-9, Need::Required, 1, 0, Verdict::Report},
                    {-4, Need::Optional, 1, 0, Verdict::Lost},
                    {-1, Need::Required, 1, 0, Verdict::Report}};
        for (const auto &row : rows)
            QVERIFY2(judge(row.result, row.need, row.attempt, row.inRow) == row.verdict, qPrintable(QString::number(row.result)));
    }
};

QTEST_GUILESS_MAIN(TestConfigProtocol)
#include "tst_configprotocol.moc"
