// SPDX-License-Identifier: GPL-3.0-only
// The sniffer's decoders and fill bookkeeping, without widgets.
#include "core/instruments/sniffdecoders.h"

#include <QtTest>
#include <numeric>
#include <vector>

using namespace SniffDecoders;

class TestSniffDecoders : public QObject
{
    Q_OBJECT
private slots:
    void plainStreamsInOrder()
    {
        std::vector<uint8_t> spi(spiRing); // position i holds i modulo 256
        std::iota(spi.begin(), spi.end(), uint8_t(0));
        const Options ring{false, true, false};
        // Count, options, unwrapped; tokens, first and last token.
        const std::tuple<int, Options, bool, int, const char *, const char *> rows[] = {
            {0, Options(), true, 0, nullptr, nullptr}, {3000, Options(), true, 2048, "00", "ff"},
            {100, ring, false, 2048, "64", "63"},      {100, ring, true, 100, "00", "63"},
            {5000, ring, false, 2048, "88", "87"}}; // the last: beyond the ring, yet inside it
        for (const auto &[count, options, unwrapped, tokens, first, last] : rows) {
            const QString text = spiText(spi.data(), count, unwrapped, options);
            const QStringList t = text.split(' ', Qt::SkipEmptyParts);
            QVERIFY(t.size() == tokens && text.size() == 3 * tokens);
            QVERIFY(t.value(0) == QLatin1String(first) && t.value(t.size() - 1) == QLatin1String(last));
        }
    }

    void byteTokens()
    {
        const std::tuple<uint8_t, bool, QString> rows[] = {
            {0x0d, true, "_"}, {0x41, true, "A"}, {0xe9, true, QString(QChar(0xe9))}, {0x1f, true, "_"},
            {0x20, true, " "}, {0x7f, true, "_"}, {0x9f, true, "_"}, {0x0a, false, "0a"}, {0xff, false, "ff"}};
        for (const auto &[byte, ascii, expected] : rows) {
            QString text;
            appendByte(text, byte, ascii);
            QCOMPARE(text, expected);
        }
    }

    void uartSynchronisation()
    {
        const uint8_t rx[uartRing] = {'O', 0, 'K'}, tx[uartRing] = {0, 'y'}, attributes[uartRing] = {1, 2, 3};
        // ASCII, Synchronization; receiver 1 and receiver 2 texts.
        const std::tuple<bool, bool, const char *, const char *> rows[] = {
            {false, true, "4f .. 4b ", ".. 79 00 "}, {true, true, "O . K ", ". y _ "}, {false, false, "4f 4b ", "79 00 "}};
        for (const auto &[ascii, synchro, one, two] : rows) {
            const Options o{ascii, false, synchro};
            QCOMPARE(serialText(rx, attributes, 1, 3, true, o), QLatin1String(one));
            QCOMPARE(serialText(tx, attributes, 2, 3, true, o), QLatin1String(two));
        }
        // Circular, after a wrap: the oldest byte first, the ring's first position right after its last.
        std::vector<uint8_t> ring(uartRing, 1), present(uartRing, 1);
        ring[0] = 0x30, ring[uartRing - 1] = 0x2f, ring[5] = 0x35;
        const QString text = serialText(ring.data(), present.data(), 1, 5, false, Options{false, true, false});
        QVERIFY(text.startsWith(QLatin1String("35 ")) && text.endsWith(QLatin1String(" 2f 30 01 01 01 01 ")));
    }

    void i2cMarkers()
    {
        const QString nak = QStringLiteral("<") + QChar(0x1FB9) + QStringLiteral(">");
        // Status, data byte; text.
        const std::tuple<uint8_t, uint8_t, QString> rows[] = {
            {0x83, 0xa1, "<Address:>50<R><A> "}, {0x82, 0xa2, "<Address:>51<W>" + nak + " "},
            {0x85, 0, "<Start> "}, {0x88, 0, "\n<Restart> "}, {0x90, 0, "<Stop>\n"}, {0xc0, 0, "<Stop/Timeout>\n"},
            {0xa0, 0, "<Timeout>\n"}, {0x81, 0x41, "41<A> "}, {0x01, 0x41, ""}, {0x94, 0, "<Start> "}};
        for (const auto &[status, byte, expected] : rows)
            QCOMPARE(i2cText(&byte, &status, 1, Options()), expected);
        // A write of a5 to 0x50; Circular shows the whole ring before any wrap.
        uint8_t data[i2cRing] = {0, 0xa0, 0xa5}, status[i2cRing] = {0x84, 0x83, 0x81};
        status[1000] = 0x90;
        const Options ring{false, true, false};
        QCOMPARE(i2cText(data, status, 3, ring), QStringLiteral("<Stop>\n<Start> <Address:>50<W><A> a5<A> "));
        QCOMPARE(i2cText(data, status, 3, Options()), QStringLiteral("<Start> <Address:>50<W><A> a5<A> "));
    }

    void fillBookkeeping()
    {
        // Circular, count1, count2; fill, unwrapped flags: two runs from a reset, maximum 1535.
        const std::vector<std::vector<std::tuple<bool, int, int, int, bool, bool>>> runs = {
            {{true, 1500, 0, 1500, true, true}, {true, 20, 0, 1535, false, true}, {true, 40, 30, 1535, false, true},
             {true, 1535, 10, 1535, false, false}},
            {{false, 1500, 0, 1500, true, true}, {false, 20, 700, 700, true, true}, {false, 3000, 0, 1535, true, true}}};
        Fill f;
        for (const auto &run : runs) {
            f.reset();
            for (const auto &[circular, c1, c2, fill, u1, u2] : run) {
                f.update(c1, c2, circular, 1535);
                QVERIFY(f.fill == fill && f.unwrapped1 == u1 && f.unwrapped2 == u2);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSniffDecoders)
#include "tst_sniffdecoders.moc"
