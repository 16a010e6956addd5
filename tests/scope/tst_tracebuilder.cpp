#include "common/testsupport.h"
#include "core/device/frames.h"
#include "core/scope/tracebuilder.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// The block of a channel counted by hand: header, then CH1, CH2, CHD, skipping absent ones.
int handOffset(uint8_t mask, int bit, int n)
{
    int offset = 10;
    if (bit > Frames::Ch1 && (mask & Frames::Ch1))
        offset += n;
    if (bit > Frames::Ch2 && (mask & Frames::Ch2))
        offset += n;
    return offset;
}

void setSample(QByteArray &frame, uint8_t mask, int bit, int n, int i, int value)
{
    frame[handOffset(mask, bit, n) + i] = char(value);
}

TraceVerdict build(TraceBuilder &builder, const QByteArray &frame,
                   const TraceSettings &settings = TraceSettings())
{
    return builder.build(reinterpret_cast<const unsigned char *>(frame.constData()), frame.size(), settings);
}

} // namespace

class TestTraceBuilder : public QObject
{
    Q_OBJECT
private slots:
    void malformedFramesAreNeverDrawn();
    void randomValidFramesMatchTheFormula();
};

void TestTraceBuilder::malformedFramesAreNeverDrawn()
{
    MessageCapture log;
    TraceBuilder builder;
    QByteArray good = scopeFrameBytes(Frames::Ch1, 256);
    good[10] = 20;
    QCOMPARE(build(builder, good), TraceVerdict::Built);
    const QVector<double> before = builder.ch1();
    // Header promising two channels, bytes for one: not drawn, picture kept.
    QByteArray liar = good;
    liar[3] = char(Frames::Ch1 | Frames::Ch2);
    liar[10] = 90;
    QCOMPARE(build(builder, liar), TraceVerdict::LengthMismatch);
    QVERIFY(log.contains(QStringLiteral("does not match its header")));
    QVERIFY(!builder.hasCh2());
    QByteArray wrongType = good;
    wrongType[0] = 'B';
    QCOMPARE(build(builder, wrongType), TraceVerdict::InvalidHeader);
    QCOMPARE(build(builder, scopeFrameBytes(Frames::Ch1, 300)), TraceVerdict::BadSize);
    QCOMPARE(build(builder, scopeFrameBytes(Frames::Ch1, 0)), TraceVerdict::BadSize);
    QCOMPARE(build(builder, good.left(47)), TraceVerdict::TooShort);
    QCOMPARE(builder.build(nullptr, 0, TraceSettings()), TraceVerdict::TooShort);
    QCOMPARE(builder.ch1(), before);
    QCOMPARE(builder.samples(), 256);
    QCOMPARE(builder.header().channelMask, uint8_t(Frames::Ch1));
}

void TestTraceBuilder::randomValidFramesMatchTheFormula()
{
    QRandomGenerator rng(2024);
    TraceBuilder builder;
    for (int round = 0; round < 300; ++round) {
        const uint8_t mask = uint8_t(rng.bounded(8));
        const int n = 256 * (1 + rng.bounded(15));
        const int roll = rng.bounded(n + 300);
        QByteArray frame = scopeFrameBytes(mask, n, uint16_t(roll));
        for (int i = 10; i < frame.size(); ++i)
            frame[i] = char(rng.bounded(256));
        TraceSettings s;
        s.ch1Position = 16 * (rng.bounded(65) - 32);
        s.ch2Position = 16 * (rng.bounded(65) - 32);
        s.chdPosition = 16 * (rng.bounded(65) - 40);
        s.chdSize = 4 * rng.bounded(12);
        s.rollMode = rng.bounded(2);
        s.xyMode = rng.bounded(2);
        QCOMPARE(build(builder, frame, s), TraceVerdict::Built);

        const int start = s.rollMode && roll < n ? roll : 0;
        const auto at = [&](int bit, int k) {
            return uint8_t(frame[handOffset(mask, bit, n) + (start + k) % n]);
        };
        QCOMPARE(builder.startIndex(), start);
        QCOMPARE(builder.ch2().size(), (mask & 2) ? n : 0);
        QCOMPARE(builder.logic(3).size(), (mask & 4) ? n : 0);
        for (int k = 0; k < n; k += 1 + rng.bounded(7)) {
            const double key = s.xyMode ? ((mask & 1) ? int8_t(at(1, k)) + 255.0 : 255.0) : 2.0 * k;
            QCOMPARE(builder.keys()[k], key);
            if (mask & 1)
                QCOMPARE(builder.ch1()[k], 640 + 1.5625 * int8_t(at(1, k)) + s.ch1Position);
            if (mask & 2)
                QCOMPARE(builder.ch2()[k], 640 + 1.5625 * int8_t(at(2, k)) + s.ch2Position);
            if (mask & 4) {
                const int b = rng.bounded(8);
                const double base = s.chdPosition + (s.chdSize + 20) * b + 640;
                QCOMPARE(builder.logic(b)[k], (at(4, k) >> b) & 1 ? base + 10 + s.chdSize : base);
                QCOMPARE(builder.logicBaseline(b)[k], base - 1);
            }
        }
        if (mask & 1) {
            int lo = 127, hi = -128;
            for (int i = 0; i < n; ++i) {
                lo = std::min<int>(lo, int8_t(frame[handOffset(mask, 1, n) + i]));
                hi = std::max<int>(hi, int8_t(frame[handOffset(mask, 1, n) + i]));
            }
            QCOMPARE(int(builder.ch1Extremes().minimum), lo);
            QCOMPARE(int(builder.ch1Extremes().maximum), hi);
            QCOMPARE(builder.ch1Extremes().yMinimum, 640 + 1.5625 * lo + s.ch1Position);
        }
    }
    // The same in plot units by hand: code 127 at 838.4375, and the logic bases.
    QCOMPARE(TraceBuilder::sampleY(127, 0), 838.4375);
    QCOMPARE(TraceBuilder::sampleY(-128, -120), 320.0);
    QCOMPARE(TraceBuilder::logicBitPos0(7, 0, 0), 780);
    QCOMPARE(TraceBuilder::logicBitPos0(3, -632, 4), -632 + 72 + 640);
}

QTEST_GUILESS_MAIN(TestTraceBuilder)
#include "tst_tracebuilder.moc"
