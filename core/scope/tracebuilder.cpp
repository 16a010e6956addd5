// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/tracebuilder.h"

#include "core/scope/scaletables.h"

#include <QDebug>

#include <algorithm>

namespace {

// Copies without sharing, so neither side has to detach (and allocate) later.
void copyInto(QVector<double> &target, const QVector<double> &source)
{
    target.resize(source.size());
    std::copy(source.constBegin(), source.constEnd(), target.data());
}

void reserveAll(QVector<double> &v)
{
    v.reserve(TraceBuilder::maxSamples);
}

} // namespace

TraceBuilder::TraceBuilder()
{
    reserveAll(m_keys);
    reserveAll(m_ch1);
    reserveAll(m_ch2);
    for (int b = 0; b < logicBits; ++b) {
        reserveAll(m_logic[b]);
        reserveAll(m_logicBase[b]);
    }
    for (MathTrace &math : m_math)
        reserveAll(math.values);
}

double TraceBuilder::sampleY(int sample, int position)
{
    return ScaleTables::plotCentre + ScaleTables::plotUnitsPerCount * sample + position;
}

int TraceBuilder::logicBitPos0(int bit, int position, int size)
{
    return position + (size + 20) * bit + ScaleTables::plotCentre;
}

TraceVerdict TraceBuilder::build(const unsigned char *frame, int length, const TraceSettings &settings)
{
    if (!frame || length < Frames::scopeOverhead) {
        qWarning().noquote()
            << QStringLiteral("Scope data: frame of %1 bytes is too short, not drawn").arg(length);
        return TraceVerdict::TooShort;
    }
    frameconfig_t header;
    Frames::parseScopeHeader(&header, frame);
    if (header.frameType != Frames::scopeFrameType) {
        qWarning().noquote() << QStringLiteral("Scope data: Invalide header");
        return TraceVerdict::InvalidHeader;
    }
    const int n = header.samplesPerChannel;
    if (n <= 0 || n % 256 != 0 || n > maxSamples) {
        qWarning().noquote() << QStringLiteral("Scope data: %1 samples per channel cannot be drawn").arg(n);
        return TraceVerdict::BadSize;
    }
    const int expected = Frames::scopeFrameLength(header.channelMask, n);
    if (length != expected) {
        qWarning().noquote()
            << QStringLiteral(
                   "Scope data: frame of %1 bytes does not match its header (%2 expected), not drawn")
                   .arg(length)
                   .arg(expected);
        return TraceVerdict::LengthMismatch;
    }

    m_header = header;
    m_samples = n;
    m_start = settings.rollMode ? Frames::rollStart(header) : 0;

    const auto blockAt = [&](int bit) -> const unsigned char * {
        const int offset = Frames::channelBlockOffset(header.channelMask, bit, n);
        return offset < 0 ? nullptr : frame + offset;
    };
    const auto *ch1Block = reinterpret_cast<const int8_t *>(blockAt(Frames::Ch1));
    const auto *ch2Block = reinterpret_cast<const int8_t *>(blockAt(Frames::Ch2));
    const auto *logicBlock = reinterpret_cast<const uint8_t *>(blockAt(Frames::Chd));

    fillKeys(ch1Block, settings.xyMode);

    m_ch1Extremes = ChannelExtremes();
    m_ch2Extremes = ChannelExtremes();
    if (ch1Block)
        fillChannel(ch1Block, settings.ch1Position, m_ch1, m_ch1Extremes);
    else
        m_ch1.resize(0);
    if (ch2Block)
        fillChannel(ch2Block, settings.ch2Position, m_ch2, m_ch2Extremes);
    else
        m_ch2.resize(0);
    fillMath(frame, ch1Block, ch2Block, settings);
    if (m_math[0].active())
        drawMath(0, settings.ch1Position, m_ch1, m_ch1Extremes);
    if (m_math[1].active())
        drawMath(1, settings.ch2Position, m_ch2, m_ch2Extremes);
    if (logicBlock) {
        fillLogic(logicBlock, settings);
    } else {
        for (int b = 0; b < logicBits; ++b) {
            m_logic[b].resize(0);
            m_logicBase[b].resize(0);
        }
    }
    return TraceVerdict::Built;
}

void TraceBuilder::fillKeys(const int8_t *ch1Block, bool xyMode)
{
    const int n = m_samples;
    m_keys.resize(n);
    double *out = m_keys.data();
    if (!xyMode) {
        if (m_keysForSamples == n)
            return;
        for (int k = 0; k < n; ++k)
            out[k] = 2.0 * k;
        m_keysForSamples = n;
        return;
    }
    m_keysForSamples = -1;
    if (!ch1Block) {
        // Nothing to pair: the points gather on the centre line.
        std::fill(out, out + n, xyKey(0));
        return;
    }
    const int head = n - m_start;
    for (int k = 0; k < head; ++k)
        out[k] = xyKey(ch1Block[m_start + k]);
    for (int k = 0; k < m_start; ++k)
        out[head + k] = xyKey(ch1Block[k]);
}

void TraceBuilder::fillChannel(const int8_t *block, int position, QVector<double> &values,
                               ChannelExtremes &extremes)
{
    const int n = m_samples;
    values.resize(n);
    double *out = values.data();
    const double offset = ScaleTables::plotCentre + position;
    int lowest = block[0];
    int highest = block[0];
    // Oldest sample first: from the start index to the end, then the wrapped part.
    const int head = n - m_start;
    for (int k = 0; k < head; ++k) {
        const int s = block[m_start + k];
        out[k] = offset + ScaleTables::plotUnitsPerCount * s;
        lowest = std::min(lowest, s);
        highest = std::max(highest, s);
    }
    for (int k = 0; k < m_start; ++k) {
        const int s = block[k];
        out[head + k] = offset + ScaleTables::plotUnitsPerCount * s;
        lowest = std::min(lowest, s);
        highest = std::max(highest, s);
    }
    extremes.minimum = int8_t(lowest);
    extremes.maximum = int8_t(highest);
    extremes.yMinimum = offset + ScaleTables::plotUnitsPerCount * lowest;
    extremes.yMaximum = offset + ScaleTables::plotUnitsPerCount * highest;
}

// Math from both channels as drawn (each one's invert and coupling already
// applied by the instrument), each in volts at the gain its meter block echoes.
void TraceBuilder::fillMath(const unsigned char *frame, const int8_t *ch1Block, const int8_t *ch2Block,
                            const TraceSettings &settings)
{
    using ScaleTables::MathOp;
    const ScaleTables::MathOp asked[2] = {settings.ch1Math, settings.ch2Math};
    for (MathTrace &math : m_math) {
        math.op = MathOp::None;
        math.clipped = false;
        math.values.resize(0);
    }
    if (!ch1Block || !ch2Block || (asked[0] == MathOp::None && asked[1] == MathOp::None))
        return;
    const int n = m_samples;
    const unsigned char *meters = frame + Frames::meterBlockOffset(m_header.channelMask, n);
    channela_t echo[2];
    for (int ch = 0; ch < 2; ++ch)
        Frames::parseMeterSettings(&echo[ch], meters + ch * Frames::meterBlockSize);
    const int gains[2] = {echo[0].gainIndex, echo[1].gainIndex};
    const double perCode[2] = {ScaleTables::voltsPerDivision(gains[0]) / 40.96,
                               ScaleTables::voltsPerDivision(gains[1]) / 40.96};
    const int8_t *blocks[2] = {ch1Block, ch2Block};
    bool limited = false;
    for (int k = 0; k < n && !limited; ++k)
        limited = ch1Block[k] == INT8_MIN || ch1Block[k] == INT8_MAX || ch2Block[k] == INT8_MIN ||
                  ch2Block[k] == INT8_MAX;
    for (int ch = 0; ch < 2; ++ch) {
        MathTrace &math = m_math[ch];
        const double perDivision = ScaleTables::mathPerDivision(asked[ch], gains[ch], gains[1 - ch]);
        if (perDivision <= 0.0)
            continue;
        math.op = asked[ch];
        math.perDivision = perDivision;
        math.clipped = limited;
        math.values.resize(n);
        const int8_t *own = blocks[ch];
        const int8_t *other = blocks[1 - ch];
        const double ownPerCode = perCode[ch];
        const double otherPerCode = perCode[1 - ch];
        double *out = math.values.data();
        if (math.op == MathOp::Subtract) {
            for (int k = 0; k < n; ++k)
                out[k] = own[k] * ownPerCode - other[k] * otherPerCode;
        } else {
            for (int k = 0; k < n; ++k)
                out[k] = (own[k] * ownPerCode) * (other[k] * otherPerCode);
        }
    }
}

// The math in place of the channel's samples, in drawing order, at its own
// scale around the channel's zero.
void TraceBuilder::drawMath(int channel, int position, QVector<double> &values, ChannelExtremes &extremes)
{
    const MathTrace &math = m_math[channel];
    const int n = m_samples;
    const double offset = ScaleTables::plotCentre + position;
    const double unitsPerValue = 64.0 / math.perDivision;
    values.resize(n);
    double *out = values.data();
    const double *in = math.values.constData();
    const int head = n - m_start;
    for (int k = 0; k < head; ++k)
        out[k] = offset + unitsPerValue * in[m_start + k];
    for (int k = 0; k < m_start; ++k)
        out[head + k] = offset + unitsPerValue * in[k];
    const auto range = std::minmax_element(out, out + n);
    extremes.yMinimum = *range.first;
    extremes.yMaximum = *range.second;
}

void TraceBuilder::fillLogic(const uint8_t *block, const TraceSettings &settings)
{
    const int n = m_samples;
    const int head = n - m_start;
    for (int b = 0; b < logicBits; ++b) {
        const double base = logicBitPos0(b, settings.chdPosition, settings.chdSize);
        const double high = base + 10 + settings.chdSize;
        QVector<double> &trace = m_logic[b];
        QVector<double> &baseline = m_logicBase[b];
        trace.resize(n);
        // Baselines only move with the size, position and frame size.
        if (baseline.size() != n || baseline.constFirst() != base - 1) {
            baseline.resize(n);
            std::fill(baseline.data(), baseline.data() + n, base - 1);
        }
        double *out = trace.data();
        const uint8_t mask = uint8_t(1u << b);
        for (int k = 0; k < head; ++k)
            out[k] = (block[m_start + k] & mask) ? high : base;
        for (int k = 0; k < m_start; ++k)
            out[head + k] = (block[k] & mask) ? high : base;
    }
}

PersistenceHistory::PersistenceHistory()
{
    for (Ring &ring : m_rings)
        for (QVector<double> &slot : ring.buffers)
            slot.reserve(TraceBuilder::maxSamples);
}

void PersistenceHistory::append(Ring &ring, const QVector<double> &values, int keep)
{
    int slot;
    if (ring.count < maxTraces) {
        slot = (ring.first + ring.count) % maxTraces;
        ++ring.count;
    } else {
        slot = ring.first;
        ring.first = (ring.first + 1) % maxTraces;
    }
    copyInto(ring.buffers[slot], values);
    while (ring.count > keep) {
        ring.first = (ring.first + 1) % maxTraces;
        --ring.count;
    }
}

void PersistenceHistory::update(int decay, const TraceBuilder &traces)
{
    if (decay < 1) {
        clear();
        return;
    }
    const int keep = std::min(decay, maxTraces);
    const QVector<double> *channels[2] = {&traces.ch1(), &traces.ch2()};
    const bool present[2] = {traces.hasCh1(), traces.hasCh2()};
    for (int c = 0; c < 2; ++c) {
        if (present[c])
            append(m_rings[c], *channels[c], keep);
        else
            m_rings[c].first = m_rings[c].count = 0;
    }
}

void PersistenceHistory::clear()
{
    for (Ring &ring : m_rings)
        ring.first = ring.count = 0;
}

int PersistenceHistory::count(int channel) const
{
    return channel == 0 || channel == 1 ? m_rings[channel].count : 0;
}

const QVector<double> &PersistenceHistory::trace(int channel, int k) const
{
    static const QVector<double> none;
    if (channel < 0 || channel > 1 || k < 0 || k >= m_rings[channel].count)
        return none;
    const Ring &ring = m_rings[channel];
    return ring.buffers[(ring.first + k) % maxTraces];
}

ReferenceStore::ReferenceStore()
{
    reserveAll(m_ch1);
    reserveAll(m_ch2);
    reserveAll(m_shownCh1);
    reserveAll(m_shownCh2);
    for (int b = 0; b < TraceBuilder::logicBits; ++b) {
        reserveAll(m_logic[b]);
        reserveAll(m_shownLogic[b]);
    }
}

void ReferenceStore::capture(const TraceBuilder &traces)
{
    copyInto(m_ch1, traces.ch1());
    copyInto(m_ch2, traces.ch2());
    int length = std::max(m_ch1.size(), m_ch2.size());
    for (int b = 0; b < TraceBuilder::logicBits; ++b) {
        copyInto(m_logic[b], traces.logic(b));
        length = std::max(length, m_logic[b].size());
    }
    m_keys.resize(length);
    for (int k = 0; k < length; ++k)
        m_keys[k] = 2.0 * k;
}

void ReferenceStore::clear()
{
    m_keys.resize(0);
    m_ch1.resize(0);
    m_ch2.resize(0);
    for (QVector<double> &v : m_logic)
        v.resize(0);
}

const QVector<double> &ReferenceStore::shifted(const QVector<double> &stored, int offset,
                                               QVector<double> &out)
{
    out.resize(stored.size());
    double *target = out.data();
    for (int k = 0; k < stored.size(); ++k)
        target[k] = stored[k] + offset;
    return out;
}

const QVector<double> &ReferenceStore::displayCh1(int offset)
{
    return shifted(m_ch1, offset, m_shownCh1);
}

const QVector<double> &ReferenceStore::displayCh2(int offset)
{
    return shifted(m_ch2, offset, m_shownCh2);
}

const QVector<double> &ReferenceStore::displayLogic(int bit, int offset)
{
    static QVector<double> none;
    if (bit < 0 || bit >= TraceBuilder::logicBits)
        return none;
    return shifted(m_logic[bit], offset, m_shownLogic[bit]);
}
