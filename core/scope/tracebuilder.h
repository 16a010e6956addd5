// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// From a scope frame to the per-tick graph data: keys and values of CH1,
// CH2 and the eight logic bits with their baselines, in drawing order (roll
// mode starts at the oldest sample), the XY pairs, the persistence history
// and the reference store. Nothing here touches a widget or a graph: the
// display tick (ScopeDisplay) hands it the settings record and gives the
// vectors to the graphs.
//
// Every vector is sized for the largest frame once, so a tick allocates
// nothing as long as the caller does not keep copies of the vectors.

#include "core/device/frames.h"
#include "core/scope/scaletables.h"

#include <QVector>

#include <array>
#include <cstdint>

struct TraceSettings {
    int ch1Position = 0;   // ch1PositionSlider
    int ch2Position = 0;   // ch2PositionSlider
    int chdPosition = 0;   // chdPositionSlider
    int chdSize = 0;       // chdSizeSlider
    bool rollMode = false; // rollMode checked and enabled
    bool xyMode = false;
    // Math asked for on CH1 (CH1 op CH2) and CH2 (CH2 op CH1).
    ScaleTables::MathOp ch1Math = ScaleTables::MathOp::None;
    ScaleTables::MathOp ch2Math = ScaleTables::MathOp::None;
};

// A channel's math result: in volts (V² for a product), sample by sample in
// the frame's order, from both channels' codes at the gains their meter
// blocks echo. The channel's trace draws it at its own scale.
struct MathTrace {
    ScaleTables::MathOp op = ScaleTables::MathOp::None;
    double perDivision = 0.0;
    // An input sample sat at the ADC's limit: the result there is not the signal's.
    bool clipped = false;
    QVector<double> values;
    bool active() const { return op != ScaleTables::MathOp::None; }
};

// Raw codes and their plot positions; valid only for a channel in the frame.
struct ChannelExtremes {
    int8_t minimum = 0;
    int8_t maximum = 0;
    double yMinimum = 0.0;
    double yMaximum = 0.0;
};

enum class TraceVerdict { Built, TooShort, InvalidHeader, BadSize, LengthMismatch };

class TraceBuilder
{
public:
    static constexpr int logicBits = 8;
    static constexpr int maxBlocks = 15;
    static constexpr int maxSamples = maxBlocks * 256;
    // XY mode draws CH1 on the key axis as the value axis draws a channel
    // at position 0: 640 + 1.5625·sample, a division of 64 units either way.
    static double xyKey(int sample) { return 640.0 + 1.5625 * sample; }

    TraceBuilder();

    // Builds this tick's vectors from a cached frame. A frame that does not
    // agree with its own header (type, size, length) is logged and not
    // drawn: the vectors of the previous tick stay as they were.
    TraceVerdict build(const unsigned char *frame, int length, const TraceSettings &settings);

    const frameconfig_t &header() const { return m_header; }
    int samples() const { return m_samples; }
    int startIndex() const { return m_start; }
    bool hasCh1() const { return m_header.channelMask & Frames::Ch1; }
    bool hasCh2() const { return m_header.channelMask & Frames::Ch2; }
    bool hasLogic() const { return m_header.channelMask & Frames::Chd; }

    // x: 2n, or in XY mode xyKey(CH1).
    const QVector<double> &keys() const { return m_keys; }
    // Empty when the channel is not in the frame.
    const QVector<double> &ch1() const { return m_ch1; }
    const QVector<double> &ch2() const { return m_ch2; }
    const QVector<double> &logic(int bit) const { return m_logic[bit]; }
    const QVector<double> &logicBaseline(int bit) const { return m_logicBase[bit]; }
    const ChannelExtremes &ch1Extremes() const { return m_ch1Extremes; }
    const ChannelExtremes &ch2Extremes() const { return m_ch2Extremes; }
    // Channel 0 CH1, 1 CH2; inactive when no math is asked for, or when the
    // other channel or a gain's scale is missing (the channel then shows its
    // own samples).
    const MathTrace &math(int channel) const { return m_math[channel == 1 ? 1 : 0]; }

    // y = 640 + 1.5625·sample + position.
    static double sampleY(int sample, int position);
    // Base line of logic bit b: position + (size + 20)·b + 640.
    static int logicBitPos0(int bit, int position, int size);

private:
    void fillChannel(const int8_t *block, int position, QVector<double> &values, ChannelExtremes &extremes);
    void fillLogic(const uint8_t *block, const TraceSettings &settings);
    void fillKeys(const int8_t *ch1Block, bool xyMode);
    void fillMath(const unsigned char *frame, const int8_t *ch1Block, const int8_t *ch2Block,
                  const TraceSettings &settings);
    void drawMath(int channel, int position, QVector<double> &values, ChannelExtremes &extremes);

    frameconfig_t m_header{};
    int m_samples = 0;
    int m_start = 0;
    QVector<double> m_keys;
    QVector<double> m_ch1;
    QVector<double> m_ch2;
    std::array<QVector<double>, logicBits> m_logic;
    std::array<QVector<double>, logicBits> m_logicBase;
    ChannelExtremes m_ch1Extremes;
    ChannelExtremes m_ch2Extremes;
    std::array<MathTrace, 2> m_math;
    int m_keysForSamples = -1; // the plain 2n keys are kept while the size holds
};

// The last `decay` CH1 and CH2 traces, oldest first; the newest is the
// trace of this tick. Storage for nine traces per channel is kept, one per
// decay graph.
class PersistenceHistory
{
public:
    static constexpr int maxTraces = 9;

    PersistenceHistory();

    // decay < 1 empties both lists. A channel missing from the frame loses
    // its history, so it does not come back stale when switched on again.
    void update(int decay, const TraceBuilder &traces);
    void clear();

    // channel 0 CH1, 1 CH2.
    int count(int channel) const;
    // k = 0 is the oldest.
    const QVector<double> &trace(int channel, int k) const;

private:
    struct Ring {
        std::array<QVector<double>, maxTraces> buffers;
        int first = 0;
        int count = 0;
    };
    static void append(Ring &ring, const QVector<double> &values, int keep);

    std::array<Ring, 2> m_rings;
};

// Reference traces captured from one tick, shown later with an offset.
class ReferenceStore
{
public:
    ReferenceStore();

    // Copies the CH1, CH2 and logic vectors of the tick; channels missing
    // from the frame are stored empty.
    void capture(const TraceBuilder &traces);
    void clear();

    // The keys of the captured frame (two units a sample): a reference keeps
    // its own length when the buffer size changes after the capture.
    const QVector<double> &keys() const { return m_keys; }

    const QVector<double> &ch1() const { return m_ch1; }
    const QVector<double> &ch2() const { return m_ch2; }
    const QVector<double> &logic(int bit) const { return m_logic[bit]; }

    // Stored values plus the capture slider value; empty when nothing is stored.
    const QVector<double> &displayCh1(int offset);
    const QVector<double> &displayCh2(int offset);
    const QVector<double> &displayLogic(int bit, int offset);

private:
    static const QVector<double> &shifted(const QVector<double> &stored, int offset, QVector<double> &out);

    QVector<double> m_keys;
    QVector<double> m_ch1;
    QVector<double> m_ch2;
    std::array<QVector<double>, TraceBuilder::logicBits> m_logic;
    QVector<double> m_shownCh1;
    QVector<double> m_shownCh2;
    std::array<QVector<double>, TraceBuilder::logicBits> m_shownLogic;
};
