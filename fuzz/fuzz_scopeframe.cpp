// SPDX-License-Identifier: GPL-3.0-only
// A completed bulk read as the scope display takes it: the acceptance check
// against what the trace boxes and buffer size expect, then the trace
// builder, the host measurements, the meter read-outs, the spectrum, the
// decay history and the reference store on whatever passed.
//
// Input: two bytes of settings, then the read itself.
//   byte 0: bit 0..2 trace boxes CH1, CH2, CHD; bit 3 roll; bit 4 XY;
//           bit 5 meters from the device; bits 6..7 FFT window
//   byte 1: low nibble buffer index (0..15), high nibble decay (0..15)
#include "fuzzsupport.h"

#include "core/device/frames.h"
#include "core/scope/fft.h"
#include "core/scope/measurements.h"
#include "core/scope/measurementset.h"
#include "core/scope/scaletables.h"
#include "core/scope/tracebuilder.h"

#include <cmath>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Every value a read-out would show must at least be a number or NaN, never
// a read beyond the frame; touching them lets the sanitizers see the reads.
volatile double sink;

void showMeter(const channela_t &m)
{
    sink = ScaleTables::int8ToVolt_f(m.gainIndex, m.maximum, m.minimum);
    sink = ScaleTables::int8ToVolt_f(m.gainIndex, m.maximum);
    sink = ScaleTables::int16ToVolt_f(m.gainIndex, m.rms);
    sink = ScaleTables::int16ToVolt_f(m.gainIndex, m.average);
    if (m.periodX100 != 0)
        sink = ScaleTables::samplex100ToFrequency_f(int(qMin<uint32_t>(m.periodX100, INT32_MAX)), m.samplingIndex);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Timed timed(data, size);
    FuzzSupport::silenceLog();
    static TraceBuilder builder;
    static PersistenceHistory history;
    static ReferenceStore references;
    static SpectrumBuilder spectrum;

    FuzzSupport::Prefix prefix(data, size);
    const uint8_t flags = prefix.byte();
    const uint8_t sizes = prefix.byte();
    const auto *frame = prefix.rest();
    const int length = int(prefix.restSize());

    const uint8_t mask = Frames::channelMaskFor(flags & 1, flags & 2, flags & 4);
    const int n = Frames::samplesForBufferIndex(sizes & 0x0f);
    const int expected = Frames::scopeFrameLength(mask, n);
    if (Frames::checkScopeFrame(frame, length, expected) != Frames::ScopeVerdict::Accepted)
        return 0;

    TraceSettings settings;
    settings.rollMode = flags & 0x08;
    settings.xyMode = flags & 0x10;
    settings.ch1Position = int(int8_t(frame[1])) * 4;
    settings.chdSize = frame[2] & 0x3f;
    // Math on either channel, at whatever gains the meter blocks carry.
    settings.ch1Math = ScaleTables::MathOp((flags >> 5) % 3);
    settings.ch2Math = ScaleTables::MathOp((sizes >> 4) % 3);
    if (builder.build(frame, length, settings) != TraceVerdict::Built)
        return 0;
    for (int ch = 0; ch < 2; ++ch) {
        const MathTrace &math = builder.math(ch);
        check(!math.active() || (math.values.size() == builder.samples() && math.perDivision > 0.0));
        if (math.active()) {
            const Measure::Set set = Measure::measure({math.values.constData(), int(math.values.size()), 1e-6,
                                                       math.perDivision / 5.0, false, false});
            for (const Measure::Result &r : set.results)
                check(!r.ok() || std::isfinite(r.value));
        }
    }

    const int samples = builder.samples();
    const uint8_t frameMask = builder.header().channelMask;
    check(samples > 0 && samples <= TraceBuilder::maxSamples);
    check(builder.keys().size() == samples);
    check(!builder.hasCh1() || builder.ch1().size() == samples);
    check(builder.startIndex() >= 0 && builder.startIndex() < samples);

    const unsigned char *meterBlocks = frame + Frames::meterBlockOffset(frameMask, samples);
    check(meterBlocks + 2 * Frames::meterBlockSize <= frame + length);
    for (int ch = 0; ch < 2; ++ch) {
        const unsigned char *block = meterBlocks + ch * Frames::meterBlockSize;
        channela_t meter;
        Frames::initMeterBlock(&meter);
        const int offset = Frames::channelBlockOffset(frameMask, ch == 0 ? Frames::Ch1 : Frames::Ch2, samples);
        if (flags & 0x20) {
            Frames::parseMeterBlock(&meter, block);
        } else if (offset >= 0) {
            const ChannelExtremes &e = ch == 0 ? builder.ch1Extremes() : builder.ch2Extremes();
            const int8_t *codes = reinterpret_cast<const int8_t *>(frame + offset);
            std::vector<double> values(codes, codes + samples);
            const Measure::Set set = Measure::measure({values.data(), samples, 1e-6, double(minimumSwing),
                                                       e.maximum == INT8_MAX, e.minimum == INT8_MIN});
            meter = hostMeterRecord(set, 1.0, e.minimum, e.maximum, block);
        }
        showMeter(meter);
        const AutoCursorPositions cursors =
            automaticVerticalCursors(meter.zeroCrossFirst, meter.zeroCrossSecond, int(meter.periodX100 & 0x7fffffff),
                                     offset >= 0, settings.rollMode, samples, builder.startIndex());
        sink = cursors.a + cursors.b;
    }

    spectrum.setWindow(FftWindow(flags >> 6));
    SpectrumSettings spectrumSettings;
    spectrumSettings.ch2 = true;
    spectrumSettings.iq = sizes & 0x10;
    spectrumSettings.logY = sizes & 0x20;
    spectrum.computeFromFrame(frame, length, spectrumSettings);
    for (double v : spectrum.ch1Values())
        check(!std::isinf(v));

    history.update(sizes >> 4, builder);
    if (sizes & 0x80)
        references.capture(builder);
    sink = references.displayCh1(int(int8_t(frame[1]))).size();
    return 0;
}
