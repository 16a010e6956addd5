// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/measurements.h"
#include "core/scope/scaletables.h"

#include <QtTest>

#include <cmath>

using namespace ScaleTables;

namespace {
const QString micro(QChar(0x00B5));
const QString plusMinus(QChar(0x00B1));
} // namespace

class TestScaleTables : public QObject
{
    Q_OBJECT
private slots:
    // Each row: what the table or formatter gave, and what the window shows or uses.
    void valuesAndTexts()
    {
        const uint8_t invert = 0x04, math = 0x10, subtract = 0x20, multiply = 0x40;
        QString unit;
        const struct {
            const char *name;
            QVariant actual, expected;
        } rows[] = {
            {"time base held high", timeBaseText(99), "50s/div"},
            {"finest gain", voltsPerDivText(9), "12.5mV/div"},
            {"gain without scale", voltsPerDivText(10), "----"},
            {"4 digits round up", get4Digits(999.96), " 1000.0"},
            {"4 digits from 100", get4Digits(100.04), " 100.0"},
            {"kHz up to index 6", [] { QString u; vCursorFrequency(1, u, 6); return u; }(), "kHz"},
            {"Hz up to index 12", [] { QString u; vCursorFrequency(1, u, 12); return u; }(), "Hz"},
            {"mHz from index 13", [] { QString u; vCursorFrequency(1, u, 13); return u; }(), "mHz"},
            {"3 digits round up", get3Digits(9.999), " 10.00"},
            {"code to mV", int8ToVolt(9, 64), " 19.5 mV"},
            {"difference does not wrap", int8ToVolt(0, 127, -128), " 49.8 V"},
            {"code without gain", int8ToVolt(10, 50), "--"},
            {"no period", samplex100ToFrequency(0, 7), "--"},
            {"period below a sample", samplex100ToFrequency(1, 7), "--"},
            {"rate label slowest", samplingRateLabelText(21, 14), "Time = 50 s/div, time range = 12000 s"},
            {"rate label in ms", samplingRateLabelText(6, 2), "Time = 500 " + micro + "s/div, time range = 24 ms"},
            {"inverted CH1", channelLabelText(1, invert, 0, 9, 0), "-CH1 = 12.5mV/div"},
            // Math at its own scale: two full-scale inputs stay within a channel's span.
            {"CH1 - inverted CH2", channelLabelText(1, math | subtract, invert, 0, 0), " CH1 + CH2 = 20V/div"},
            {"CH2 - inverted CH1", channelLabelText(2, math | subtract, invert, 3, 3), " CH2 + CH1 = 2V/div"},
            {"math in mV", channelLabelText(1, math | subtract, 0, 9, 9, true),
             " CH1 - CH2 = 50mV/div, input clipped"},
            {"product in V²", channelLabelText(1, math | multiply, 0, 3, 2), " CH1 * CH2 = 5V²/div"},
            {"math of a gain without scale", channelLabelText(2, math | multiply, 0, 3, 10), " CH2 = 0.8V/div"},
            {"ms at index 7", (vCursorDeltaTime(0, 2, unit, 3, 7), unit), "ms"},
            {"division at 2 V", rawValueToVolt(QStringLiteral("2V/div"), 64), 2.0},
            {"difference does not wrap, value", int8ToVolt_f(0, 127, -128), 8.0 * 255 * 1.5625 / 64},
            {"cursor frequency", vCursorFrequency(2, unit, 6), 500.0},
            {"period 8 us", samplex100ToFrequency_f(1600, 0), 125000.0},
            {"period below a sample, value", samplex100ToFrequency_f(1, 7), 0.0},
            {"delta time rounded", vCursorDeltaTime(0, 2, unit, 3, 7), 0.021},
            {"delta time odd", vCursorDeltaTime(1, 3, unit, 1, 7), 0.063},
            {"delta time held index", vCursorDeltaTime(0, 32, unit, 1, 40), 50.0},
            {"map empty source", double(mapRange(7, 4, 4, 11, 99)), 11.0},
            {"round negative", double(mathRoundTo(-40, 16)), -48.0},
            {"capture slider low", captureSliderRange(640 - 120).minimum, -392},
            {"roll from index 11", samplingControlStates(11, false).rollEnabled, true},
            {"no roll below 11", samplingControlStates(10, true).rollEnabled, false},
            {"spectrum at 8 us/div", spectrumDivisionText(0), "125 kHz/div"},
            {"spectrum at 64 us/div", spectrumDivisionText(3), "15.63 kHz/div"},
            {"spectrum at 1 ms/div", spectrumDivisionText(7), "1 kHz/div"},
            {"0.1 s/div in ms", timeBaseLabel(13), "100 ms/div"},
            {"spectrum at 50 s/div", spectrumDivisionText(21), "20 mHz/div"},
            {"legend without spectrum", plotTimeLegend(8, false), "Time = 2 ms/div"},
            {"legend with spectrum", plotTimeLegend(8, true), "Time = 2 ms/div\nFFT = 500 Hz/div"},
            {"legend with IQ spectrum", plotTimeLegend(8, true, true), "Time = 2 ms/div\nFFT = 1 kHz/div, 0 Hz at the centre"},
            {"1/dT at 25 ms", [] { VerticalCursors v; v.setTimeIndex(13); v.vCursorSetPosition(64, 72); return v.labels().frequency; }(), "1/ΔT =  40.00 Hz"},
            {"frame at 2 ms/div", frameSeconds(8, 768), 0.096},
            {"frame at 50 s/div", frameSeconds(21, 768), 2400.0},
            {"largest frame at 0.5 s/div", frameSeconds(15, 3840), 120.0},
            {"no progress under a second", frameProgressText(0.5, 0.96), ""},
            {"progress in minutes", frameProgressText(900, 2400), "Frame 37 %, 25 min to go"},
            {"progress in seconds", frameProgressText(1.5, 2.4), "Frame 62 %, 1 s to go"},
            {"progress in hours", frameProgressText(0, 12000), "Frame 0 %, 4 h to go"},
            {"late frame held at 100 %", frameProgressText(2500, 2400), "Frame 100 %, 0 s to go"},
            {"clock before the start", frameProgressText(-5, 10), "Frame 0 %, 10 s to go"},
            {"no elapsed time", frameProgressText(std::nan(""), 2400), ""},
        };
        for (const auto &row : rows)
            QVERIFY2(row.actual == row.expected,
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(row.name), row.actual.toString())));
    }
    void periodsMatchTheSamplingRate()
    {
        // Independent of the time base texts: the rate is 16 samples per division.
        const double secondsPerDiv[22] = {8e-6, 16e-6, 32e-6, 64e-6, 128e-6, 256e-6, 500e-6, 1e-3, 2e-3, 5e-3, 10e-3,
                                          20e-3, 50e-3, 0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50};
        for (int index = 0; index < 22; ++index) {
            const double expected = 16.0 / secondsPerDiv[index] / 123.45;
            QVERIFY(std::fabs(samplex100ToFrequency_f(12345, uint8_t(index)) - expected) <= expected * 0.005);
        }
        // One full division of every gain reads its own scale.
        for (int gain = 0; gain < 10; ++gain) {
            const ScaleValue scale = parseVoltText(voltsPerDivText(gain));
            const double expected = scale.unit == QLatin1String("mV") ? scale.number / 1000 : scale.number;
            QVERIFY2(qFuzzyCompare(rawValueToVolt(voltsPerDivText(gain), 64), expected), qPrintable(voltsPerDivText(gain)));
        }
    }
};

QTEST_GUILESS_MAIN(TestScaleTables)
#include "tst_scaletables.moc"
