// SPDX-License-Identifier: GPL-3.0-only
// The per-tick display of the newest scope frame. The frame is turned into
// vectors by TraceBuilder; each step below decides, once per tick, what its
// part of the picture shows.
#include "scope/scopedisplay.h"

#include "base/logging.h"
#include "core/device/configprotocol.h"
#include "device/devicesession.h"
#include "device/frameintake.h"
#include "scope/channelcontrols.h"
#include "scope/cursorcontrols.h"
#include "scope/graphdata.h"
#include "core/scope/measurements.h"
#include "core/scope/measurementset.h"
#include "core/scope/scaletables.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "scope/fftcontrols.h"
#include "scope/persistenceimage.h"
#include "scope/veltograph.h"
#include "core/scope/wavetext.h"
#include "ui_veltointerface.h"
#include "widgets/collapsiblepanel.h"
#include "widgets/multimeterdisplay.h"

#include <QScreen>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
const QVector<double> noValues;

// A graph handed keys without values would complain on every tick: a
// missing trace empties its graph instead.
void showOn(QCPGraph *graph, const QVector<double> &keys, const QVector<double> &values)
{
    GraphData::showTrace(graph, keys, values);
}

int clampedPeriod(uint32_t periodX100)
{
    return int(qMin<uint32_t>(periodX100, INT32_MAX));
}

const char *const readOutLabels[6] = {"Vpp", "Max", "Min", "RMS", "Average", "Frequency"};

ScaleTables::MathOp mathOp(bool math, bool subtract, bool multiply)
{
    if (!math)
        return ScaleTables::MathOp::None;
    return subtract ? ScaleTables::MathOp::Subtract
                    : (multiply ? ScaleTables::MathOp::Multiply : ScaleTables::MathOp::None);
}

// A control byte with the math bits of the math the trace shows.
int withMathBits(int controls, const MathTrace &math)
{
    controls &= ~0x70;
    if (math.op == ScaleTables::MathOp::Subtract)
        controls |= 0x30;
    else if (math.op == ScaleTables::MathOp::Multiply)
        controls |= 0x50;
    return controls;
}
} // namespace

QVector<QVector<double>> ScopeDisplay::TraceSet::ten() const
{
    QVector<QVector<double>> vectors{*ch1, *ch2};
    for (const QVector<double> *bit : bits)
        vectors << *bit;
    return vectors;
}

ScopeDisplay::ScopeDisplay(const Parts &parts, QObject *parent) : QObject(parent), p(parts)
{
    auto redraw = [this] { p.state->redrawRequested = true; };
    connect(p.plot, &ScopePlot::paintWanted, this, &ScopeDisplay::replot);
    connect(p.ui->decaySlider, &QSlider::valueChanged, this, redraw);
    connect(p.ui->checkBoxPersistence, &QCheckBox::toggled, this, redraw);
    foldsFrame(p.ui->collapsiblePanelScopeDisplay, p.ui->frameScopeDisplay);
    // The legend names the time base as soon as it is chosen, not only once
    // a frame taken with it arrives, which at slow time bases takes minutes.
    connect(p.ui->samplingSlider, &QSlider::valueChanged, this, &ScopeDisplay::refreshTimeLegend);
    for (QCheckBox *box : {p.ui->checkBoxFFTTrace, p.ui->checkBoxIQFFT})
        connect(box, &QCheckBox::toggled, this, [this] { refreshTimeLegend(p.state->settings.samplingIndex); });
    connect(p.session, &DeviceSession::scopeRunningChanged, this, [this](bool running) {
        acquiring = running;
        frameClock.restart();
    });
    connect(p.session, &DeviceSession::scopeRunningChanged, this, [this] { lastFrameNumber = -1; });
    // Without an instrument the plot says why, and draws no traces of a frame that never came.
    connect(p.session, &DeviceSession::instrumentNote, this, [this](const QString &note) {
        p.plot->setNote(note);
        instrumentMissing = !note.isEmpty();
        p.state->redrawRequested = true;
    });
    frameClock.start();
    p.ui->frameProgressLabel->setVisible(false);
    paintPace.setSingleShot(true);
    paintPace.setTimerType(Qt::PreciseTimer);
    connect(&paintPace, &QTimer::timeout, this, &ScopeDisplay::paint);
    Frames::initMeterBlock(&meterRecords[0]);
    Frames::initMeterBlock(&meterRecords[1]);
}

void ScopeDisplay::refreshTimeLegend(int samplingIndex)
{
    const ScopeSettingsRecord &s = p.state->settings;
    const bool spectrumShown = s.spectrum && !s.xyMode;
    // Made again only when what it says changed: every frame asks.
    const int key = (samplingIndex << 3) | (spectrumShown ? 4 : 0) | (s.spectrumIq ? 2 : 0) | (s.xyMode ? 1 : 0);
    if (key == legendKey)
        return;
    legendKey = key;
    // XY has no time axis: the legend says what the plot is.
    p.ui->timeLabel->setText(s.xyMode ? QStringLiteral("XY")
                                      : ScaleTables::plotTimeLegend(samplingIndex, spectrumShown, s.spectrumIq));
}

// At slow time bases a frame takes seconds to hours: beside the time label
// the window says how far the frame being acquired has come, counted from
// the last frame or the last change of time base, buffer or run state. Roll
// mode draws the frame as it arrives and needs no read-out.
void ScopeDisplay::refreshFrameProgress()
{
    const ScopeSettingsRecord &s = p.state->settings;
    const int key = (s.samplingIndex << 8) | (s.bufferIndex << 1) | (acquiring ? 1 : 0);
    if (key != frameClockKey) {
        frameClockKey = key;
        frameClock.restart();
        frameClockSeconds = ScaleTables::frameSeconds(s.samplingIndex, Frames::samplesForBufferIndex(s.bufferIndex));
    }
    QString text;
    const bool rolling = s.rollMode && s.rollEnabled;
    if (acquiring && !rolling && p.session->isOpen())
        text = ScaleTables::frameProgressText(frameClock.elapsed() / 1000.0, frameClockSeconds);
    p.ui->frameProgressLabel->setText(text);
    p.ui->frameProgressLabel->setVisible(!text.isEmpty());
}

std::array<MultimeterDisplay *, 6> ScopeDisplay::scopeMeterDisplays(int channel) const
{
    Ui::VeltoInterface *ui = p.ui;
    // Vpp, maximum, minimum, RMS, average, frequency.
    if (channel == 0)
        return {ui->multimeterdisplayVppCh1, ui->multimeterdisplayMaxCh1, ui->multimeterdisplayMinCh1,
                ui->multimeterdisplayRMSCh1, ui->multimeterdisplayAverCh1, ui->multimeterdisplayFreqCh1};
    return {ui->multimeterdisplayVppCh2, ui->multimeterdisplayMaxCh2, ui->multimeterdisplayMinCh2,
            ui->multimeterdisplayRMSCh2, ui->multimeterdisplayAverCh2, ui->multimeterdisplayFreqCh2};
}

void ScopeDisplay::setupScopeMeterDisplays()
{
    const char *const *labels = readOutLabels;
    for (int ch = 0; ch < 2; ++ch) {
        const std::array<MultimeterDisplay *, 6> displays = scopeMeterDisplays(ch);
        for (int k = 0; k < 6; ++k) {
            MultimeterDisplay *d = displays[size_t(k)];
            // Every frame's measurement reaches the extremes; the digits
            // change five times a second, as fast as a person reads them.
            d->setRefreshInterval(readOutInterval);
            d->setValueFontSize(9);
            d->setLabel(tr(labels[k]));
            const bool frequency = k == 5;
            d->setUnit(frequency ? QStringLiteral("Hz") : QStringLiteral("V"));
            d->setPrecision(frequency ? -1 : -2);
            if (frequency)
                d->setUnitPower(3);
        }
    }
}

void ScopeDisplay::scopeInitDatacache()
{
    const uint8_t mask = p.channels->scopeTraceMask();
    const int n = Frames::samplesForBufferIndex(p.state->settings.bufferIndex);
    // A whole frame of that shape, so that a redraw before the first frame reads zeros.
    frameCache = QByteArray(Frames::scopeFrameLength(mask, n), '\0');
    unsigned char *d = reinterpret_cast<unsigned char *>(frameCache.data());
    d[0] = Frames::scopeFrameType;
    d[3] = mask;
    d[4] = mask & (Frames::Ch1 | Frames::Ch2);
    d[5] = uchar(n);
    d[6] = uchar(n >> 8);
    d[7] = uchar(p.state->settings.samplingIndex);
}

bool ScopeDisplay::scopeDataShow(Show when)
{
    refreshFrameProgress();
    const ScopeSettingsRecord &s = p.state->settings;
    const int expected =
        Frames::scopeFrameLength(p.channels->scopeTraceMask(), Frames::samplesForBufferIndex(s.bufferIndex));
    // Traces that moved start their persistence picture again.
    for (int ch = 0; ch < 3; ++ch) {
        if (p.state->persistenceRestart & (1u << ch))
            p.plot->graphs().persistence->clear(ch);
    }
    // Every frame queued since the last tick, in order. A backlog (after the
    // window was held up) is worked off a bounded batch per tick, so that
    // catching up does not hold the window up once more.
    int taken = 0;
    for (int read = 0; read < framesPerTick; ++read) {
        Frames::ScopeRead got;
        const Frames::ScopeVerdict verdict = Frames::acceptScopeFrame(p.session->usb(), expected, incoming, &got);
        if (verdict == Frames::ScopeVerdict::NoData)
            break;
        // A read the trace builder refuses leaves the cache, and what Export writes, as they were.
        if (verdict != Frames::ScopeVerdict::Accepted || !buildTraces(incoming)) {
            // Refused, not dropped: its number is not a gap before the next frame.
            ++tickCounts.framesRefused;
            lastRefused = {got.length, expected};
            if (got.frameNumber >= 0)
                advanceFrameNumber(got.frameNumber);
            continue;
        }
        frameCache.swap(incoming);
        processFrame(true);
        ++taken;
    }
    logRefusals();
    if (taken > 0) {
        // What the instrument sent is drawn, also what was still queued when it went.
        instrumentMissing = false;
        frameClock.restart();
        logDrops();
        if (!instrumentFrame) {
            instrumentFrame = true;
            emit frameAvailableChanged(true);
        }
        emit framesTaken();
    } else {
        if (!p.state->redrawRequested)
            return false;
        // A redraw of the cached frame with the controls as they are now.
        if (!buildTraces(frameCache)) {
            p.state->redrawRequested = false;
            return true;
        }
        processFrame(false);
    }
    p.state->redrawRequested = false;
    if (when == Show::AtPaint && !wavePlayback.active() && !loadedShown) {
        placeNewest();
        drawingOwed = true;
        replot();
    } else {
        showNewest();
    }
    p.state->persistenceRestart = 0;
    if (taken > 0)
        emit newFramesShown();
    return true;
}

// This tick's vectors from a frame.
bool ScopeDisplay::buildTraces(const QByteArray &frame)
{
    const ScopeSettingsRecord &s = p.state->settings;
    TraceSettings settings;
    settings.ch1Position = s.ch1Position;
    settings.ch2Position = s.ch2Position;
    settings.chdPosition = s.logicPosition;
    settings.chdSize = s.logicSize;
    settings.rollMode = s.rollMode && s.rollEnabled;
    settings.xyMode = s.xyMode;
    settings.ch1Math = mathOp(s.ch1Math, s.ch1Subtract, s.ch1Multiply);
    settings.ch2Math = mathOp(s.ch2Math, s.ch2Subtract, s.ch2Multiply);
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(frame.constData());
    if (traceBuilder.build(bytes, frame.size(), settings) != TraceVerdict::Built)
        return false;
    has[0] = traceBuilder.hasCh1();
    has[1] = traceBuilder.hasCh2();
    has[2] = traceBuilder.hasLogic();
    return true;
}

// What every frame goes through, shown or not: measurements, the decay
// history, the persistence image and the recording hook. A redraw of the
// cached frame (`fresh` false) is neither counted nor recorded, and adds to
// the persistence image only where that starts again.
void ScopeDisplay::processFrame(bool fresh)
{
    measure(meterRecords);
    persistenceHistory.update(p.state->settings.decay, traceBuilder);
    bool repeated = !fresh;
    if (fresh)
        countFrame(&repeated);
    if (!repeated || !fresh)
        addToPersistence(fresh);
    if (!repeated)
        recordFrame(frameTraces());
    if (fresh && !repeated) {
        emit frameMeasured();
        emit frameProcessed(frameCache, traceBuilder.startIndex(), traceBuilder.header().frameNumber);
    }
}

// A new frame number is counted. The same frame delivered twice counts once.
void ScopeDisplay::countFrame(bool *repeated)
{
    *repeated = advanceFrameNumber(traceBuilder.header().frameNumber);
    if (!*repeated)
        ++tickCounts.framesShown;
}

// The numbers skipped since the last frame, shown or refused, are frames
// dropped on the way. True when the number is the last one again.
bool ScopeDisplay::advanceFrameNumber(int frameNumber)
{
    if (frameNumber == lastFrameNumber)
        return true;
    if (lastFrameNumber >= 0)
        tickCounts.framesMissed += quint64((frameNumber - lastFrameNumber - 1) & 0xFFFF);
    lastFrameNumber = frameNumber;
    return false;
}

// At most one line every ten seconds says how many reads were refused, and
// the lengths of the last one: received and expected.
void ScopeDisplay::logRefusals()
{
    if (tickCounts.framesRefused == refusedReported || (refusalClock.isValid() && refusalClock.elapsed() < 10000))
        return;
    VELTO_LOG(QStringLiteral("Scope: %1 reads refused since the last report, the last of %2 bytes where %3 "
                             "were expected; %4 refused in all")
                  .arg(tickCounts.framesRefused - refusedReported)
                  .arg(lastRefused.first)
                  .arg(lastRefused.second)
                  .arg(tickCounts.framesRefused),
              2);
    refusedReported = tickCounts.framesRefused;
    refusalClock.restart();
}

// The frame's traces into the persistence image, while persistence is on.
void ScopeDisplay::addToPersistence(bool fresh)
{
    const ScopeSettingsRecord &s = p.state->settings;
    const ScopeGraphs &graphs = p.plot->graphs();
    PersistenceImage *image = graphs.persistence;
    image->setActive(s.persistence);
    if (!s.persistence || s.xyMode)
        return;
    const TraceSet t = withLoadedWave(frameTraces());
    // A redraw adds the cached frame only to a picture that starts again.
    auto wanted = [&](int ch) { return fresh || image->image(ch).isEmpty(); };
    const QVector<double> &keys = traceBuilder.keys();
    const bool dots = graphs.ch1->lineStyle() == QCPGraph::lsNone;
    const QVector<double> *values[2] = {t.ch1, t.ch2};
    for (int ch = 0; ch < 2; ++ch) {
        if (has[ch] && values[ch]->size() == keys.size() && wanted(ch))
            image->addTrace(ch, keys, *values[ch], dots, false);
    }
    if (!has[2] || !wanted(PersistenceImage::Logic))
        return;
    image->setLogicLayout(s.logicPosition, s.logicSize);
    for (int bit = 0; bit < 8; ++bit) {
        if (s.logicBits[size_t(bit)] && t.bits[bit]->size() == keys.size())
            image->addTrace(PersistenceImage::Logic, keys, *t.bits[bit], false, true);
    }
}

// At most one line every ten seconds says how many frames were dropped.
void ScopeDisplay::logDrops()
{
    if (dropClock.isValid() && dropClock.elapsed() < 10000)
        return;
    const quint64 overflow = p.session->usb().queueCounts().overflowed;
    if (tickCounts.framesMissed != droppedReported) {
        VELTO_LOG(QStringLiteral("Scope: %1 frames dropped since the last report (%2 by a full queue), "
                                 "%3 processed in all")
                      .arg(tickCounts.framesMissed - droppedReported)
                      .arg(overflow - overflowReported)
                      .arg(tickCounts.framesShown),
                  2);
    }
    droppedReported = tickCounts.framesMissed;
    overflowReported = overflow;
    dropClock.restart();
}

// The newest frame on the plot, its read-outs and cursors.
void ScopeDisplay::showNewest()
{
    placeNewest();
    drawNewest();
    replot();
}

void ScopeDisplay::showOwed()
{
    if (drawingOwed)
        drawNewest();
}

// What follows a frame at once, drawn or not: its size, the roll view, a
// reference capture asked for, and the spectrum, which averages each tick.
void ScopeDisplay::placeNewest()
{
    const ScopeSettingsRecord &s = p.state->settings;
    const int n = traceBuilder.samples();
    if (n != p.state->samplesPerChannel) {
        p.channels->scopeSetSizeX(n / 256);
        rollViewPlaced = false;
    }
    // Roll mode writes the newest sample at the frame's end, and the part
    // before it fills only as the ring does: the view is moved to the end
    // once as roll mode starts, so the signal scrolls in where it is seen.
    const bool rolling = s.rollMode && s.rollEnabled && !s.xyMode;
    if (rolling && !rollViewPlaced) {
        QCPAxis *x = p.plot->plot()->xAxis;
        const double span = x->range().size();
        x->setRange(2.0 * n - span, 2.0 * n);
    }
    rollViewPlaced = rolling;
    p.spectrum->captureStep(traceBuilder);
    if (!s.xyMode)
        p.spectrum->spectrumStep(frameCache);
}

// The newest frame's drawing: traces, read-outs, cursors and labels.
void ScopeDisplay::drawNewest()
{
    const ScopeSettingsRecord &s = p.state->settings;
    drawingOwed = false;
    ++tickCounts.drawnTicks;
    // Before the instrument's first frame, and once it is gone, the cache
    // holds no signal: no trace, zero handle or cursor reading is drawn of
    // it. A loaded or played-back wave is still shown.
    const bool waveShown = (loadedShown && loadedWave.size() == WaveText::vectorsPerFrame) || wavePlayback.active();
    if (!waveShown && (!instrumentFrame || instrumentMissing))
        has[0] = has[1] = has[2] = false;
    p.plot->showCH1ZeroVerticalIndicator(has[0]);
    p.plot->showCH2ZeroVerticalIndicator(has[1]);
    p.plot->showCHDZeroVerticalIndicator(has[2]);
    for (int ch = 0; ch < 3; ++ch)
        p.cursors->hCursorSetChannelEnabled(ch, has[ch]);
    // The legend names the time base chosen, also over a frame still in
    // flight from before the change, which at slow time bases stays on
    // screen until the next frame, seconds to minutes later.
    refreshTimeLegend(s.samplingIndex);
    showMeters(meterRecords);
    updatePersistenceHistory();
    const TraceSet traces = substituteWaves();
    if (s.xyMode) {
        drawXY(traces);
        // The middle of the plot is both channels' zero.
        p.plot->showCH2ZeroVerticalIndicator(false);
        p.plot->showCHDZeroVerticalIndicator(false);
    } else {
        drawTraces(traces);
        drawLogic(traces);
    }
    // The cursors read the traces just drawn: their levels, labels and
    // tracking circles come from the one wave on the plot.
    placeAutomaticCursors(meterRecords);
    refreshCursorsAndLabels(meterRecords, traces);
    p.plot->graphs().persistence->setVisible(s.persistence && !s.xyMode);
}

// Every measurement of the channels and math traces of the frame, and the
// meter records: the instrument's, or made here from those measurements.
void ScopeDisplay::measure(channela_t meters[2])
{
    const int n = traceBuilder.samples();
    const uint8_t mask = traceBuilder.header().channelMask;
    Frames::initMeterBlock(&meters[0]);
    Frames::initMeterBlock(&meters[1]);
    unsigned char *meterBlocks =
        reinterpret_cast<unsigned char *>(frameCache.data()) + Frames::meterBlockOffset(mask, n);
    const ChannelExtremes *extremes[2] = {&traceBuilder.ch1Extremes(), &traceBuilder.ch2Extremes()};
    const unsigned char *frame = reinterpret_cast<const unsigned char *>(frameCache.constData());
    const double samplePeriod = ScaleTables::secondsPerDivision(traceBuilder.header().samplingIndex) / 16.0;
    for (int ch = 0; ch < 2; ++ch) {
        unsigned char *block = meterBlocks + ch * Frames::meterBlockSize;
        channelSets[ch] = Measure::Set();
        mathSets[ch] = Measure::Set();
        if (has[ch]) {
            channela_t echo;
            Frames::parseMeterSettings(&echo, block);
            const double perCode = ScaleTables::voltsPerDivision(echo.gainIndex) / 40.96;
            const int offset = Frames::channelBlockOffset(mask, ch == 0 ? Frames::Ch1 : Frames::Ch2, n);
            const int8_t *codes = reinterpret_cast<const int8_t *>(frame + offset);
            std::vector<double> &v = volts[ch];
            v.resize(size_t(n));
            for (int k = 0; k < n; ++k)
                v[size_t(k)] = codes[k] * perCode;
            Measure::Source source{v.data(), n, samplePeriod, minimumSwing * perCode,
                                   extremes[ch]->maximum >= INT8_MAX, extremes[ch]->minimum <= INT8_MIN};
            channelSets[ch] = Measure::measure(source);
            if (!p.state->settings.meterOnDevice)
                meters[ch] = hostMeterRecord(channelSets[ch], perCode, extremes[ch]->minimum, extremes[ch]->maximum,
                                             block);
        }
        if (p.state->settings.meterOnDevice)
            Frames::parseMeterBlock(&meters[ch], block);
        // A math trace is measured on its own values, whoever measures the
        // channels; the swing that counts is a fifth of its division, as for a channel.
        const MathTrace &math = traceBuilder.math(ch);
        if (math.active()) {
            Measure::Source source{math.values.constData(), int(math.values.size()), samplePeriod,
                                   math.perDivision / 5.0, false, false};
            mathSets[ch] = Measure::measure(source);
            const channela_t fromMath = hostMeterRecord(mathSets[ch], 0.0, 0, 0, nullptr);
            meters[ch].periodX100 = fromMath.periodX100;
            meters[ch].zeroCrossFirst = fromMath.zeroCrossFirst;
            meters[ch].zeroCrossSecond = fromMath.zeroCrossSecond;
        }
    }
    Measure::measureBetween(channelSets[0], channelSets[1]);
}

// The meter records on the read-outs.
void ScopeDisplay::showMeters(const channela_t meters[2])
{
    for (int ch = 0; ch < 2; ++ch) {
        adcClipped[ch] = false;
        if (!has[ch])
            continue;
        const std::array<MultimeterDisplay *, 6> displays = scopeMeterDisplays(ch);
        const channela_t &m = meters[ch];
        const MathTrace &math = traceBuilder.math(ch);
        const QString unit =
            math.op == ScaleTables::MathOp::Multiply ? QStringLiteral("V²") : QStringLiteral("V");
        const bool marked = math.active() && math.clipped;
        for (int k = 0; k < 5; ++k) {
            if (displays[size_t(k)]->getUnit() != unit)
                displays[size_t(k)]->setUnit(unit);
            if (marked != clipMarked[ch])
                displays[size_t(k)]->setLabel(tr(readOutLabels[k]) + (marked ? tr(" (clipped)") : QString()));
        }
        clipMarked[ch] = marked;
        const std::array<double, 6> values = channelReadings(ch);
        for (int k = 0; k < 5; ++k)
            displays[size_t(k)]->setValue(values[size_t(k)]);
        // A math trace's read-outs carry no marks: its inputs' clipping is in their label.
        const OverRange over = math.active() ? OverRange() : overRange(m.minimum, m.maximum);
        for (int k = 0; k < 5; ++k)
            displays[size_t(k)]->setMark(over.marks[k], over.reason);
        adcClipped[ch] = over.any();
        if (!std::isnan(values[5]))
            displays[5]->setValue(values[5]);
        else if (math.active() || !p.state->settings.meterOnDevice)
            displays[5]->setNoReading(Measure::reasonText(shownSet(ch)[Measure::Frequency].why));
        else
            displays[5]->setNoReading(periodAbsentReason(m.minimum, m.maximum));
    }
}

std::array<double, 6> ScopeDisplay::channelReadings(int channel) const
{
    const int ch = qBound(0, channel, 1);
    std::array<double, 6> values;
    values.fill(std::numeric_limits<double>::quiet_NaN());
    if (!has[ch] || !instrumentFrame)
        return values;
    const channela_t &m = meterRecords[ch];
    if (traceBuilder.math(ch).active() || !p.state->settings.meterOnDevice) {
        // Measured here: a clipped reading is still shown, with its mark.
        const Measure::Set &set = shownSet(ch);
        const Measure::Kind kinds[6] = {Measure::Vpp, Measure::Vmax, Measure::Vmin,
                                        Measure::Vrms, Measure::Vavg, Measure::Frequency};
        for (int k = 0; k < 6; ++k) {
            const Measure::Result &r = set[kinds[k]];
            if (r.ok() || (r.why == Measure::Why::Clipped && k < 5))
                values[size_t(k)] = r.value;
        }
        return values;
    }
    values = {ScaleTables::int8ToVolt_f(m.gainIndex, m.maximum, m.minimum),
              ScaleTables::int8ToVolt_f(m.gainIndex, m.maximum),
              ScaleTables::int8ToVolt_f(m.gainIndex, m.minimum),
              // The meter record carries RMS as a signed field; the value is never negative.
              ScaleTables::int16ToVolt_f(m.gainIndex, m.rms),
              ScaleTables::int16ToVolt_f(m.gainIndex, m.average),
              values[5]};
    if (m.periodX100 != 0)
        values[5] = ScaleTables::samplex100ToFrequency_f(clampedPeriod(m.periodX100), m.samplingIndex);
    return values;
}

// The automatic vertical cursors sit on one period of the chosen channel.
// The period is the frame's: over a loaded or played-back wave they stay.
void ScopeDisplay::placeAutomaticCursors(const channela_t meters[2])
{
    const ScopeSettingsRecord &s = p.state->settings;
    if (s.cursorType != Cursors::Automatic || shown != Shown::Frame)
        return;
    const int ch = qBound(0, s.cursorChannel, 1);
    const AutoCursorPositions at = automaticVerticalCursors(
        meters[ch].zeroCrossFirst, meters[ch].zeroCrossSecond, clampedPeriod(meters[ch].periodX100), has[ch],
        s.rollMode && s.rollEnabled, traceBuilder.samples(), traceBuilder.startIndex());
    if (at.valid)
        p.cursors->vertical().vCursorSetPosition(at.a, at.b);
}

// Cursors, zero handles and channel labels, from the traces drawn.
void ScopeDisplay::refreshCursorsAndLabels(const channela_t meters[2], const TraceSet &traces)
{
    const ScopeSettingsRecord &s = p.state->settings;
    if (s.xyMode)
        p.cursors->vCursorSetVisible(false);
    double extremes[2][2] = {{traceBuilder.ch1Extremes().yMaximum, traceBuilder.ch1Extremes().yMinimum},
                             {traceBuilder.ch2Extremes().yMaximum, traceBuilder.ch2Extremes().yMinimum}};
    const QVector<double> *values[2] = {traces.ch1, traces.ch2};
    for (int ch = 0; ch < 2 && shown != Shown::Frame; ++ch) {
        if (values[ch]->isEmpty())
            continue;
        const auto range = std::minmax_element(values[ch]->cbegin(), values[ch]->cend());
        extremes[ch][0] = *range.second;
        extremes[ch][1] = *range.first;
    }
    p.cursors->hCursorSetPositionAuto(s.horizontalCursors, extremes[0][0], extremes[0][1], extremes[1][0],
                                      extremes[1][1]);
    const MathTrace &math1 = traceBuilder.math(0);
    const MathTrace &math2 = traceBuilder.math(1);
    // A math trace is drawn, and so read by the cursors, at its own scale.
    const auto scaleOf = [&](const MathTrace &math, int gain) {
        return math.active() ? ScaleTables::mathPerDivText(math.op, math.perDivision)
                             : ScaleTables::voltsPerDivText(qBound(0, gain, ScaleTables::gainCount - 1));
    };
    p.cursors->hCursorRefreshLabel(s.horizontalCursors, scaleOf(math1, meters[0].gainIndex),
                                   scaleOf(math2, meters[1].gainIndex));
    p.cursors->vertical().setTimeIndex(shownScale.samplingIndex);
    p.cursors->vCursorRefresh();
    p.plot->zeroHeadRefresh();
    p.channels->updateCh1Label(withMathBits(meters[0].controls, math1), meters[1].controls, math1.clipped,
                               adcClipped[0]);
    p.channels->updateCh2Label(withMathBits(meters[1].controls, math2), meters[0].controls, math2.clipped,
                               adcClipped[1]);
}

// The decay graphs beyond the decay are emptied (the history itself follows every frame).
void ScopeDisplay::updatePersistenceHistory()
{
    const int decay = p.state->settings.decay;
    const ScopeGraphs &graphs = p.plot->graphs();
    // Without decay only the newest copy is emptied; with it, the copies beyond it.
    const int first = decay < 1 ? 0 : decay;
    const int last = decay < 1 ? 1 : 9;
    for (int k = first; k < last; ++k) {
        graphs.decay[0][k]->data()->clear();
        graphs.decay[1][k]->data()->clear();
    }
}

namespace {
void takeTen(ScopeDisplay::TraceSet &t, const QVector<QVector<double>> &ten)
{
    t.ch1 = &ten.at(0);
    t.ch2 = &ten.at(1);
    for (int bit = 0; bit < 8; ++bit) {
        t.bits[bit] = &ten.at(2 + bit);
        t.bases[bit] = &noValues;
    }
}
} // namespace

// The vectors the trace builder made from the frame.
ScopeDisplay::TraceSet ScopeDisplay::frameTraces() const
{
    TraceSet t;
    t.ch1 = &traceBuilder.ch1();
    t.ch2 = &traceBuilder.ch2();
    for (int bit = 0; bit < 8; ++bit) {
        t.bits[bit] = &traceBuilder.logic(bit);
        t.bases[bit] = &traceBuilder.logicBaseline(bit);
    }
    return t;
}

// The loaded wave in place of the frame's vectors while one is shown.
ScopeDisplay::TraceSet ScopeDisplay::withLoadedWave(TraceSet traces) const
{
    if (loadedShown && loadedWave.size() == WaveText::vectorsPerFrame)
        takeTen(traces, loadedWave);
    return traces;
}

// The newest frame's vectors, possibly replaced by a loaded or played-back
// wave; what is shown is noted for the cursors and for export.
ScopeDisplay::TraceSet ScopeDisplay::substituteWaves()
{
    const ScopeSettingsRecord &s = p.state->settings;
    TraceSet t = withLoadedWave(frameTraces());
    shown = Shown::Frame;
    shownWave.clear();
    shownScale.samplingIndex = traceBuilder.header().samplingIndex;
    if (loadedShown && loadedWave.size() == WaveText::vectorsPerFrame) {
        shown = Shown::Loaded;
        shownWave = loadedWave;
        shownSource = QStringLiteral("loaded file ") + loadedName;
    }
    if (wavePlayback.active()) {
        // Kept as a member: this tick's vectors point into its frame until the tick ends.
        played = wavePlayback.next();
        if (played.ended) {
            p.ui->samplingSlider->setValue(played.samplingIndex);
            p.session->usb().serialPort.setSamplingValue(played.samplingIndex);
            p.ui->label_13->clear();
        } else {
            p.session->sendSamplingRateQuietly(played.samplingIndex);
            const QSignalBlocker blocker(p.ui->samplingSlider);
            p.ui->samplingSlider->setValue(played.samplingIndex);
            takeTen(t, played.frame);
            shown = Shown::Playback;
            shownWave = played.frame;
            shownSource =
                QStringLiteral("playback block %1 of %2").arg(played.block).arg(wavePlayback.name());
            shownScale.samplingIndex = played.samplingIndex;
        }
    }
    // The wave is drawn at the scale of the frame's channels.
    shownScale.samples = traceBuilder.keys().size();
    shownScale.shown[0] = has[0];
    shownScale.shown[1] = has[1];
    shownScale.shown[2] = has[2];
    shownScale.gain[0] = meterRecords[0].gainIndex;
    shownScale.gain[1] = meterRecords[1].gainIndex;
    shownScale.zero[0] = ScaleTables::plotCentre + s.ch1Position;
    shownScale.zero[1] = ScaleTables::plotCentre + s.ch2Position;
    shownScale.logicPosition = s.logicPosition;
    shownScale.logicSize = s.logicSize;
    if (saveRequested) {
        saveRequested = false;
        emit waveSaveRequested(t.ten());
    }
    return t;
}

bool ScopeDisplay::shownCapture(FrameExport::Capture *capture, QString *why) const
{
    if (shown != Shown::Frame)
        return FrameExport::waveCapture(shownWave, shownScale, shownSource, capture, why);
    if (!instrumentFrame) {
        *why = tr("no frame from the instrument is shown");
        return false;
    }
    return FrameExport::readCapture(frameCache, traceBuilder.startIndex(), capture, why);
}

// XY mode: CH2 against CH1, sample by sample, centred: neither channel's
// position moves the figure, whose middle is 0 V on both axes. The other
// traces are empty.
void ScopeDisplay::drawXY(const TraceSet &traces)
{
    const ScopeGraphs &graphs = p.plot->graphs();
    const QVector<double> &keys = traceBuilder.keys();
    for (QCPGraph *graph : {graphs.ch1, graphs.ch2})
        graph->data()->clear();
    for (auto &channel : graphs.decay)
        for (QCPGraph *graph : channel)
            graph->data()->clear();
    for (int bit = 0; bit < 8; ++bit) {
        for (QCPGraph *graph : {graphs.logic[bit], graphs.logicBase[bit], graphs.logicReference[bit]})
            graph->data()->clear();
        p.plot->items().logicLabels[bit]->setVisible(false);
    }
    p.plot->showLogicLegend({});
    if (!has[0] || !has[1] || traces.ch2->size() != keys.size()) {
        graphs.xy->data()->clear();
        return;
    }
    const double shift = p.state->settings.ch2Position;
    QVector<QCPCurveData> points(keys.size());
    for (int k = 0; k < keys.size(); ++k)
        points[k] = QCPCurveData(k, keys[k], traces.ch2->at(k) - shift);
    graphs.xy->data()->set(points, true);
    p.plot->fitXYKeys();
}

// CH1 and CH2 with their decay copies and references. Each graph's points
// are replaced (in place when the keys stay) rather than cleared and
// rebuilt. With persistence the image under the traces shows the history,
// and the decay copies stay empty.
void ScopeDisplay::drawTraces(const TraceSet &traces)
{
    const ScopeSettingsRecord &s = p.state->settings;
    const ScopeGraphs &graphs = p.plot->graphs();
    const QVector<double> &keys = traceBuilder.keys();
    const QVector<double> *values[2] = {traces.ch1, traces.ch2};
    QCPGraph *live[2] = {graphs.ch1, graphs.ch2};
    for (int ch = 0; ch < 2; ++ch) {
        const bool drawn = has[ch] && values[ch]->size() == keys.size();
        showOn(live[ch], keys, drawn ? *values[ch] : noValues);
        for (int k = 0; k < 9; ++k)
            showOn(graphs.decay[ch][k], keys,
                   drawn && !s.persistence && k < persistenceHistory.count(ch) ? persistenceHistory.trace(ch, k)
                                                                              : noValues);
    }
    // A reference keeps the keys of its capture, whatever the buffer size is now.
    ReferenceStore &references = p.spectrum->references();
    const QVector<double> &referenceKeys = references.keys();
    showOn(graphs.ch1Reference, referenceKeys, s.referenceCh1 ? references.displayCh1(s.ch1Capture) : noValues);
    showOn(graphs.ch2Reference, referenceKeys, s.referenceCh2 ? references.displayCh2(s.ch2Capture) : noValues);
}

// The logic bits with their baselines, labels and references.
void ScopeDisplay::drawLogic(const TraceSet &traces)
{
    const ScopeSettingsRecord &s = p.state->settings;
    const ScopeGraphs &graphs = p.plot->graphs();
    const ScopeItems &items = p.plot->items();
    const QVector<double> &keys = traceBuilder.keys();
    p.plot->logicLabelsRefresh();
    std::array<bool, 8> inLegend{};
    for (int bit = 0; bit < 8; ++bit) {
        items.logicLabels[bit]->setVisible(false);
        const bool shown = s.logicBits[size_t(bit)];
        const bool drawn = has[2] && shown && traces.bits[bit]->size() == keys.size();
        inLegend[size_t(bit)] = drawn || (s.referenceLogic && shown);
        showOn(graphs.logic[bit], keys, drawn ? *traces.bits[bit] : noValues);
        showOn(graphs.logicBase[bit], keys, drawn ? *traces.bases[bit] : noValues);
        if (drawn)
            items.logicLabels[bit]->setVisible(true);
        if (s.referenceLogic && shown) {
            ReferenceStore &references = p.spectrum->references();
            showOn(graphs.logicReference[bit], references.keys(), references.displayLogic(bit, s.logicCapture));
            items.logicLabels[bit]->setVisible(true);
        } else {
            graphs.logicReference[bit]->data()->clear();
        }
    }
    p.plot->showLogicLegend(inLegend);
}

// Called once for every new frame with that frame's own vectors (never a
// wave shown in their place): recorded while a recording runs.
void ScopeDisplay::recordFrame(const TraceSet &traces)
{
    if (recordingActive) {
        // The time base the frame was taken with, which the slider may have
        // left while the frame was in flight.
        emit frameRecorded(QString::number(traceBuilder.header().samplingIndex) + WaveText::separator() +
                           QLatin1Char('\n') + WaveText::waveToString(traces.ten()));
    }
}

// A repaint at most 30 times a second, and never faster than the screen the
// plot is on refreshes, however many ticks drew: every frame is still
// processed (measured, recorded, piled into the persistence picture), but
// painting the whole plot is the window's largest cost, and a trace redrawn
// 30 times a second looks as live to a person as one redrawn 60 times. At
// rest, with nobody at the keys or the mouse, half that: a steady trace looks
// the same, a changing one still moves on its own, and the window's work at
// rest is nearly halved. The first touch brings the full rate back.
int ScopeDisplay::paintInterval() const
{
    const bool busy = !userAtRest();
    const QScreen *screen = p.plot->plot()->screen();
    const double screenRate = screen && screen->refreshRate() >= 1.0 ? screen->refreshRate() : 60.0;
    const double rate = std::min(busy ? busyPaintsPerSecond : restingPaintsPerSecond, screenRate);
    return int(std::ceil(1000.0 / rate));
}

void ScopeDisplay::replot()
{
    const int interval = paintInterval();
    const qint64 since = sincePaint.isValid() ? sincePaint.elapsed() : interval;
    const int wait = int(std::max<qint64>(0, interval - since));
    // A paint waiting out the resting pace comes sooner once the user is back.
    if (paintPace.isActive() && paintPace.remainingTime() <= wait)
        return;
    paintPace.start(wait);
}

void ScopeDisplay::paint()
{
    showOwed();
    sincePaint.restart();
    ++tickCounts.replots;
    p.plot->plot()->replot(QCustomPlot::rpRefreshHint);
}

void ScopeDisplay::showLoadedWave(const QVector<QVector<double>> &wave, const QString &name)
{
    loadedWave = wave;
    loadedName = name;
    loadedShown = true;
    p.state->redrawRequested = true;
}

void ScopeDisplay::clearLoadedWave()
{
    loadedShown = false;
    loadedWave.clear();
    p.state->redrawRequested = true;
}
