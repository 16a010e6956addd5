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

// One scope frame in time order (a roll-mode frame starts at its oldest
// sample), with what it takes to turn codes into volts and seconds.
struct Capture {
    bool hasCh1 = false;
    bool hasCh2 = false;
    bool hasLogic = false;
    int samples = 0;
    int samplingIndex = 0;
    uint16_t frameNumber = 0;
    // The gains the instrument echoed in the frame's meter blocks.
    uint8_t gain[2] = {0, 0};
    QVector<int8_t> ch1;
    QVector<int8_t> ch2;
    QVector<uint8_t> logic;
    // Seconds between two samples.
    double samplePeriod() const;
};

// Reads a scope frame as the instrument sent it. `start` is the sample the
// display begins with (the oldest one in roll mode). False, with the reason
// in `why`, for a frame that does not agree with its own header.
bool readCapture(const QByteArray &frame, int start, Capture *capture, QString *why);

// Volts of a code at a gain (one code is a division's 1/40.96); NaN for a
// gain without a scale.
double codeVolts(int gain, int code);

// The capture as CSV: a header line naming each column with its unit, then
// one line per sample: the time in seconds from the first sample, CH1 and
// CH2 in volts and the eight logic bits as 0 or 1, only the channels present.
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
// changes, and a last time stamp closes the final sample.
QByteArray toVcd(const Capture &capture, const QDateTime &date);

// Writes `data` to `path` through a temporary file that replaces `path`
// only when everything was written, so a failure (no permission, a full
// disk) leaves no partial file. False with a readable reason in `why`.
bool saveAtomically(const QString &path, const QByteArray &data, QString *why);

} // namespace FrameExport
