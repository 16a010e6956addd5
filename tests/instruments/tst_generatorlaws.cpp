// SPDX-License-Identifier: GPL-3.0-only
// The generator's arithmetic and the custom waveform text, without widgets.
#include "core/instruments/generatorlaws.h"

#include <QtTest>

#include <cstring>

using namespace Generator;

class TestGeneratorLaws : public QObject
{
    Q_OBJECT
private slots:
    void frequencySliderLaw()
    {
        // Below 1000 cHz no rounding, then three significant digits; 700 is 100 kHz, and below the
        // slider the law holds at 48. Each with the position the inverse gives back.
        const long long rows[][3] = {{172, 52, 171},       {304, 1100, 304},       {417, 14800, 417}, {538, 240000, 538},
                                     {650, 3160000, 649},  {700, 10000000, 700},   {100, 48, 168}};
        for (const auto &r : rows) {
            QCOMPARE(frequencySliderValueToInt(double(r[0])), r[1]);
            QCOMPARE(frequencyIntToSliderValue(double(r[1])), int(r[2]));
        }
    }
    void digitsWrapAlone()
    {
        QCOMPARE(frequencyDigits(123456789.4), (Digits{2, 3, 4, 5, 6, 7, 8, 9})); // only the last eight
        QCOMPARE(digitsToFrequency(Digits{1, 2, 3, 4, 5, 6, 7, 8}), 12345678LL);
        QCOMPARE(frequencyDigits(-5), Digits{});
        const struct {
            int digit, maximum, up, down;
        } steps[] = {{1, 1, 0, 0}, {0, 1, 1, 1}, {0, 9, 1, 9}, {9, 9, 0, 8}, {4, 9, 5, 3}};
        for (const auto &s : steps) {
            QCOMPARE(digitIncrease(s.digit, s.maximum), s.up);
            QCOMPARE(digitDecrease(s.digit, s.maximum), s.down);
        }
        const unsigned char reply[4] = {0xA0, 0x86, 0x01, 0x00}; // 100 000 cHz; a short reply reads as 0
        QVERIFY(effectiveFrequency(reply, 4) == 1000.0 && effectiveFrequency(reply, 3) == 0.0);
    }
    void levelsAndChoices()
    {
        const struct {
            double value, divisor;
            int code;
        } levels[] = {{1.00, amplitudeDivisor, 116}, {2.0, amplitudeDivisor, 232},  {45.0, dutyDivisor, 115},
                      {0.0, dutyDivisor, 0},         {-1.0, offsetDivisor, -64},     {-0.0078, offsetDivisor, 0},
                      {-0.0079, offsetDivisor, -1},  {qInf(), offsetDivisor, 0}};
        for (const auto &l : levels)
            QCOMPARE(levelCode(l.value, l.divisor), l.code);

        // The first checked in the order Constant, Custom, Exponential, Triangle, Square, Sine, Pink, White.
        std::array<bool, WaveformCount> checked{};
        checked[WhiteNoise] = checked[PinkNoise] = true;
        QCOMPARE(waveTypeFor(checked).name, QStringLiteral("Pink Noise"));
        checked[Sine] = checked[Square] = true;
        QCOMPARE(waveTypeFor(checked).code, 1);
        checked[Custom] = checked[Exponential] = true;
        QCOMPARE(waveTypeFor(checked).name, QStringLiteral("Custom"));
    }
    void sweepReadOuts()
    {
        const struct {
            Swept quantity;
            int code;
            double value;
            int decimals;
            const char *unit;
        } rows[] = {{Swept::Frequency, 0, 1, 0, "Hz"},          {Swept::Frequency, 152, 956, 0, "Hz"},
                    {Swept::Frequency, 172, 2.4, 1, "kHz"},      {Swept::Frequency, 255, 100.0, 1, "kHz"},
                    {Swept::Amplitude, 223, 1.9982, 2, "V"},      {Swept::Offset, 0, -2.2845, 2, "V"},
                    {Swept::DutyCycle, 0, 1.0, 1, "%"},           {Swept::DutyCycle, 128, 50.196, 1, "%"}};
        for (const auto &r : rows) {
            const SweepShown shown = sweepShown(r.quantity, r.code);
            QVERIFY2(qAbs(shown.value - r.value) < 0.001, qPrintable(QString::number(shown.value)));
            QCOMPARE(shown.decimals, r.decimals);
            QCOMPARE(shown.unit, QString::fromLatin1(r.unit));
        }
        // A swept amplitude or offset takes only the codes within the Levels range (2.00 V, ±1.98 V).
        for (const auto &[quantity, first, last] : {std::tuple<Swept, int, int>{Swept::Amplitude, 0, 223},
                 {Swept::Offset, 17, 238}, {Swept::Frequency, 0, 255}, {Swept::DutyCycle, 0, 255}})
            QVERIFY(sweepCodes(quantity).minimum == first && sweepCodes(quantity).maximum == last);
        QVERIFY(sweepDurationText(64) == "3.20 s" && sweepDurationText(127) == "50 ms" && sweepDurationText(500) == "50 ms");
        QCOMPARE(QList<int>({sweepStartOrdered(255, 192), sweepStartOrdered(10, 192), sweepEndOrdered(64, 20),
                             sweepEndOrdered(64, 64)}), QList<int>({192, 10, 64, 64}));
    }
    void waveformFiles()
    {
        QStringList values;
        QVector<int> counted;
        for (int k = 0; k < 513; ++k)
            values << QString::number(k), counted << k;
        // Text; the codes it gives, or the first bad line and a word of the refusal (the buffer untouched).
        const std::tuple<QByteArray, QVector<int>, int, const char *> rows[] = {
            {"100,200\n300", {100, 200, 300}, 0, ""},         // commas and line breaks both separate
            {"# a ramp\r\n1,,2,\n\n 3 ,\t4095", {1, 2, 3, 4095}, 0, ""},
            {"#volts\n-2.0, 0, 2.00, -1e-3", {0, 2048, 4095, 2046}, 0, ""},
            {"1\n2\n-3", {}, 3, "code"}, {"4096", {}, 1, "code"}, {"1\nabc", {}, 2, "code"},
            {"0x10", {}, 1, "code"},      {"12.5", {}, 1, "code"}, {"1\n# volts\n2.5", {}, 3, "code"},
            {"# volts\n2.01", {}, 2, "level"}, {"# volts\nnan", {}, 2, "level"},
            {QByteArray("1,2\n3\0\x01\xff", 9), {}, 2, "text"}, {"", {}, 0, "no values"},
            {values.mid(0, 512).join('\n').toLatin1(), counted.mid(0, 512), 0, ""},
            {values.join(',').toLatin1(), {}, 1, "more than 512"}};
        for (const auto &[text, codes, line, error] : rows) {
            QByteArray buffer(1024, char(0xAB));
            QByteArray expected = buffer;
            for (int k = 0; k < codes.size(); ++k)
                expected[2 * k] = char(codes[k]), expected[2 * k + 1] = char(codes[k] >> 8);
            const WaveformRead read = parseWaveform(text, reinterpret_cast<unsigned char *>(buffer.data()));
            QVERIFY2(read.count == codes.size() && read.line == line, qPrintable(text.left(40)));
            QVERIFY2(read.error.contains(QLatin1String(error)) && read.error.isEmpty() == !*error, qPrintable(read.error));
            QCOMPARE(buffer, expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestGeneratorLaws)
#include "tst_generatorlaws.moc"
