// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// One run of the decoder library over the logic samples of a frame: any
// stack of decoders with their channels and options, and the annotations
// they put out (start and end sample, row, class, texts). No widgets.

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <cstdint>

namespace Decode {

// One decoder as the user set it up.
struct DecoderSetting {
    QString id;      // the library's decoder id, "uart"
    int parent = -1; // the setting it is stacked on (an earlier index), -1 on the logic bits
    // Decoder channel id → logic bit 0 … 7 (unassigned channels are absent).
    QMap<QString, int> channels;
    // Option id → value (QString, qlonglong or double); absent ones take the default.
    QVariantMap options;
};

struct Annotation {
    int decoder = 0; // index of the DecoderSetting
    int row = 0;     // row of that decoder (DecoderInfo::rows)
    int annotationClass = 0;
    int64_t start = 0; // first and last sample, as the library numbers them
    int64_t end = 0;
    QStringList texts; // longest first
};

struct FrameDecoding {
    uint64_t frame = 0;
    uint64_t sampleRate = 0;
    int64_t samples = 0;
    QVector<Annotation> annotations;
    // Per setting: empty, or why it did not decode (a Python exception, a
    // channel missing, an unknown decoder).
    QStringList errors;
};

// The sample rate handed to the decoders: whole hertz, at least 1.
uint64_t decoderSampleRate(double samplesPerSecond);

// Decodes `count` logic samples (bit b of a byte is logic bit b) at
// `sampleRate` with `settings`; every setting's outcome is in `out->errors`.
// Starts the library when it has not started. Call from one thread at a time.
void decodeFrame(const QVector<DecoderSetting> &settings, const uint8_t *logic, int64_t count, uint64_t sampleRate,
                 FrameDecoding *out);

} // namespace Decode
