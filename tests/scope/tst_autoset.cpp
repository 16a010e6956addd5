// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/autoset.h"
#include "core/scope/scaletables.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <vector>

// Frames as the instrument codes them: a sine (or a square) in volts at a
// gain and time base, 768 samples, 128 of them across the plot.
class TestAutoset : public QObject
{
    Q_OBJECT
private slots:
    void choices()
    {
        struct Signal {
            double hertz, peak, offset; // volts
            bool square;
            int gain;
        };
        const struct {
            const char *name;
            Signal ch1, ch2;
            int samplingIndex;
            bool settled;
            int gain1, gain2, samplingChosen, triggerChannel, triggerLevel;
        } rows[] = {
            // 4 Vpp into 0.8 V/div is 5 divisions; 2 Vpp into 0.4 V/div too.
            {"first look at 8 V/div", {1000, 2, 0, false, 0}, {400, 1, 0, true, 0}, 6, false, 3, 4, 6, -1, 0},
            // 400 Hz: 1 ms/div shows 3.2 periods of the slower channel.
            {"time base from CH2", {1000, 2, 0, false, 3}, {400, 1, 0, true, 4}, 6, false, 3, 4, 7, 1, 0},
            {"nothing left to do", {1000, 2, 0, false, 3}, {400, 1, 0, true, 4}, 7, true, 3, 4, 7, 1, 0},
            // Kept clear of the converter's limits: 0..2 V is 2.5 divisions at 0.8 V/div.
            {"offset square", {0, 0, 0, false, -1}, {400, 1, 1, true, 3}, 7, true, 0, 3, 7, 1, 51},
            {"clipped: two steps coarser", {1000, 2, 0, false, 9}, {0, 0, 0, false, -1}, 7, false, 7, 0, 7, -1, 0},
            {"too slow: slower time base", {10, 2, 0, false, 3}, {0, 0, 0, false, -1}, 6, false, 3, 0, 8, -1, 0},
            {"too fast: faster time base", {1500, 2, 0, false, 3}, {0, 0, 0, false, -1}, 9, false, 3, 0, 6, -1, 0},
            {"no swing: nothing to trigger on", {0, 0, 0, false, 9}, {0, 0, 0, false, -1}, 7, true, 9, 0, 7, -1, 0},
        };
        for (const auto &row : rows) {
            std::vector<int8_t> blocks[2];
            Autoset::Observation in{{}, row.samplingIndex, 128}; // 128 samples across the plot
            const Signal *inputs[2] = {&row.ch1, &row.ch2};
            for (int ch = 0; ch < 2; ++ch) {
                const Signal &sg = *inputs[ch];
                const int gain = std::max(0, sg.gain); // -1: the channel is off
                const double perCode = ScaleTables::voltsPerDivision(gain) / 40.96;
                const double dt = ScaleTables::secondsPerDivision(row.samplingIndex) / 16;
                for (int i = 0; i < 768; ++i) {
                    const double s = std::sin(2 * M_PI * sg.hertz * i * dt + 0.3);
                    const double v = sg.offset + sg.peak * (sg.square ? (s >= 0 ? 1 : -1) : s);
                    blocks[ch].push_back(int8_t(std::clamp(std::lround(v / perCode), -128L, 127L)));
                }
                in.channels[ch] = {sg.gain >= 0, blocks[ch].data(), 768, gain};
            }
            const Autoset::Choice got = Autoset::choose(in);
            const QString result = QStringLiteral("%1 %2 %3 %4 %5 %6").arg(got.settled).arg(got.gain[0]).arg(got.gain[1])
                                       .arg(got.samplingIndex).arg(got.triggerChannel).arg(got.triggerLevel);
            const QString expected = QStringLiteral("%1 %2 %3 %4 %5 %6").arg(row.settled).arg(row.gain1).arg(row.gain2)
                                         .arg(row.samplingChosen).arg(row.triggerChannel).arg(row.triggerLevel);
            QVERIFY2(result == expected, qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(row.name), result)));
        }
    }
};

QTEST_GUILESS_MAIN(TestAutoset)
#include "tst_autoset.moc"
