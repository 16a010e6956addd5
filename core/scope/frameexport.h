// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The shown scope frame in formats other tools read: CSV for spreadsheets and
// numpy, and a Value Change Dump for logic analysers and waveform viewers;
// and the atomic file write every export goes through. No widgets here.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <cstdint>

namespace FrameExport {

// What the plot shows, in time order (a roll-mode frame starts at its oldest
// sample), in volts and bits, with the time base that spaces its samples.
struct Capture {
    // Which it is, for the file's header: "live frame 12", "loaded file
    // NAME", "playback block 3 of NAME".
    QString source;
    bool hasCh1 = false;
    bool hasCh2 = false;
    bool hasLogic = false;
    int samples = 0;
    int samplingIndex = 0;
    // CH1 and CH2 in volts: NaN throughout for a gain without a scale.
    QVector<double> volts[2];
    QVector<uint8_t> logic;
    // Seconds between two samples.
    double samplePeriod() const;
};

// Reads a scope frame as the instrument sent it, at the gains it echoed in
// its meter blocks. `start` is the sample the display begins with (the
// oldest one in roll mode). False, with the reason in `why`, for a frame that
// does not agree with its own header.
bool readCapture(const QByteArray &frame, int start, Capture *capture, QString *why);

// Volts of a code at a gain (one code is a division's 1/40.96); NaN for a
// gain without a scale.
double codeVolts(int gain, int code);

// The scale a wave of plot values (a loaded file, a played-back recording)
// is drawn at: 64 plot units a division above each channel's zero, the
// logic bits at their bases and heights.
struct WaveScale {
    int samples = 0;
    int samplingIndex = 0;
    // CH1, CH2 and the logic drawn.
    bool shown[3] = {false, false, false};
    int gain[2] = {0, 0};
    // The plot value of 0 V of CH1 and CH2.
    double zero[2] = {0.0, 0.0};
    int logicPosition = 0;
    int logicSize = 0;
};
// Reads the ten vectors of a wave (CH1, CH2, bits 0 to 7) back into volts
// and bits at `scale`: a channel is taken when it is shown and holds
// `samples` values, the logic when all eight bits do. False, with the
// reason in `why`, when none is.
bool waveCapture(const QVector<QVector<double>> &wave, const WaveScale &scale, const QString &source,
                 Capture *capture, QString *why);

// The capture as CSV: a comment line ("# " and the source), a header line
// naming each column with its unit, then one line per sample: the time in
// seconds from the first sample, CH1 and CH2 in volts and the eight logic
// bits as 0 or 1, only the channels present.
QByteArray toCsv(const Capture &capture);

// A VCD time scale: `multiplier` (1, 10 or 100) of `unit` ("s" to "fs"), and
// the ticks of it one sample lasts.
struct Timescale {
    int multiplier = 1;
    QString unit;
    qint64 ticksPerSample = 1;
};
// The coarsest time scale a sample period is a whole number of, so that
// every sample lands on its exact time.
Timescale vcdTimescale(double samplePeriod);

// The capture as a Value Change Dump: the logic bits as 1-bit wires D0 to
// D7, CH1 and CH2 as real variables in volts; a value is written only when it
// changes, and a last time stamp closes the final sample. Its comment names
// the source.
QByteArray toVcd(const Capture &capture, const QDateTime &date);

// Writes `data` to `path` through a temporary file that replaces `path`
// only when everything was written, so a failure (no permission, a full
// disk) leaves no partial file. False with a readable reason in `why`.
bool saveAtomically(const QString &path, const QByteArray &data, QString *why);

} // namespace FrameExport
