// SPDX-License-Identifier: GPL-3.0-only
#include "common/testsupport.h"
#include "core/device/frames.h"
#include "core/scope/measurements.h"
#include "core/scope/measurementset.h"
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
    void malformedFramesAreNeverDrawn()
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
    void randomValidFramesMatchTheFormula()
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
                const double key = s.xyMode ? 640 + ((mask & 1) ? 1.5625 * int8_t(at(1, k)) : 0.0) : 2.0 * k;
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
    void mathIsComputedInVoltsAtItsOwnScale()
    {
        using Op = ScaleTables::MathOp;
        const double vdiv[10] = {8, 4, 2, 0.8, 0.4, 0.2, 0.1, 0.05, 0.025, 0.0125};
        struct Case {
            const char *name;
            uint8_t mask;
            int gain1, gain2;
            Op op1, op2;
            double perDivision; // 0: no math
            bool clipped;
            double average; // over whole periods, by hand
            int periodX100; // -1: crossings of a shape with several a period, not checked
        };
        // CH1 a ±2 V sine, CH2 a 0–2 V square high while the sine is negative, 64 samples a period:
        // CH1 - CH2 spans -4 V to 2 V, beyond the ±2.5 V of CH1's codes at 0.8 V/div.
        const Case cases[] = {
            {"CH1 - CH2 at 0.8 V/div", 3, 3, 3, Op::Subtract, Op::None, 2.0, false, -1.0, -1},
            {"CH2 * CH1 in V²", 3, 3, 2, Op::None, Op::Multiply, 5.0, false, -4.0 / M_PI, 6400},
            // 2 V reads 127 codes, 0.62 V: the mark says the result is not the signal's.
            {"CH2 clipped at 0.2 V/div", 7, 3, 5, Op::Subtract, Op::None, 1.0, true, -127 * 0.2 / 40.96 / 2,
             -1},
            {"CH2 not in the frame", 1 | 4, 3, 3, Op::Subtract, Op::None, 0.0, false, 0.0, 0},
            {"a gain without a scale", 3, 3, 10, Op::Subtract, Op::Subtract, 0.0, false, 0.0, 0},
        };
        const int n = 768;
        const int roll = 100;
        for (const Case &c : cases) {
            QByteArray frame = scopeFrameBytes(c.mask, n, roll);
            const auto code = [&](double volts, int gain) {
                return gain < 10 ? int(qBound(-128.0, std::round(volts * 40.96 / vdiv[gain]), 127.0)) : 0;
            };
            for (int k = 0; k < n; ++k) {
                setSample(frame, c.mask, Frames::Ch1, n, k, code(2.0 * std::sin(2 * M_PI * k / 64), c.gain1));
                if (c.mask & Frames::Ch2)
                    setSample(frame, c.mask, Frames::Ch2, n, k, code(k % 64 >= 32 ? 2.0 : 0.0, c.gain2));
            }
            const int meters = Frames::meterBlockOffset(c.mask, n);
            frame[meters + 1] = char(c.gain1);
            frame[meters + Frames::meterBlockSize + 1] = char(c.gain2);
            TraceSettings s;
            s.ch1Position = -120;
            s.ch2Position = 40;
            s.rollMode = true;
            s.ch1Math = c.op1;
            s.ch2Math = c.op2;
            TraceBuilder builder;
            QCOMPARE(build(builder, frame, s), TraceVerdict::Built);
            const int ch = c.op1 != Op::None ? 0 : 1;
            const MathTrace &math = builder.math(ch);
            QVERIFY2(math.active() == (c.perDivision > 0), c.name);
            const QVector<double> &drawn = ch == 0 ? builder.ch1() : builder.ch2();
            if (!math.active()) {
                // The channel shows its own samples.
                QCOMPARE(drawn[0], TraceBuilder::sampleY(int8_t(frame[handOffset(c.mask, 1 << ch, n) + roll]),
                                                         ch == 0 ? s.ch1Position : s.ch2Position));
                continue;
            }
            QCOMPARE(math.perDivision, c.perDivision);
            QVERIFY2(math.clipped == c.clipped, c.name);
            const double position = ch == 0 ? s.ch1Position : s.ch2Position;
            for (int k = 0; k < n; ++k) {
                const double v1 = int8_t(frame[handOffset(c.mask, 1, n) + k]) * vdiv[c.gain1] / 40.96;
                const double v2 = int8_t(frame[handOffset(c.mask, 2, n) + k]) * vdiv[c.gain2] / 40.96;
                const double own = ch == 0 ? v1 : v2, other = ch == 0 ? v2 : v1;
                const double expected = math.op == Op::Subtract ? own - other : own * other;
                QVERIFY2(qAbs(math.values[k] - expected) < 1e-9, c.name);
                // Drawn oldest first from the roll start, 64 units a division of its own scale.
                const int shown = (k - roll + n) % n;
                const double y = 640 + position + expected / c.perDivision * 64;
                QVERIFY2(qAbs(drawn[shown] - y) < 1e-9, c.name);
            }
            // Measured as the read-outs and the panel measure it, against the sums by hand.
            const Measure::Set r = Measure::measure({math.values.constData(), n, 1e-6, c.perDivision / 5, false, false});
            QVERIFY2(qAbs(r[Measure::Vavg].value - c.average) < 0.03,
                     qPrintable(QStringLiteral("%1: %2").arg(c.name).arg(r[Measure::Vavg].value)));
            if (c.periodX100 >= 0)
                QCOMPARE(int(std::llround(r.periodSamples * 100)), c.periodX100);
            const auto range = std::minmax_element(math.values.begin(), math.values.end());
            QCOMPARE(r[Measure::Vmax].value, *range.second);
            QCOMPARE(r[Measure::Vpp].value, *range.second - *range.first);
        }
    }
};

QTEST_GUILESS_MAIN(TestTraceBuilder)
#include "tst_tracebuilder.moc"
