// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/device/frames.h"
#include "core/scope/frameexport.h"
#include "core/scope/tracebuilder.h"
#include "core/scope/waveplayback.h"
#include "core/scope/measurements.h"
#include "core/scope/measurementset.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <array>
#include <vector>

class CursorControls;
class DeviceSession;
class MultimeterDisplay;
class QWidget;
class ScopeChannels;
class ScopePlot;
class SpectrumControls;
struct ScopeState;
namespace Ui {
class VeltoInterface;
}

// The per-tick display of the scope frames. Every frame that arrived since
// the last tick is taken in order through acceptance, the trace builder, the
// measurements, the decay history, the persistence image and the recording
// hook; the newest is then shown: meter read-outs, automatic cursors,
// references, wave substitution, traces, spectrum. The plot is repainted at
// most once per refresh of the screen, and not at all when nothing changed.
// It also keeps what the display holds between ticks: the frame cache, the
// decay history, the loaded, played-back and recorded waves, and the counts
// of frames processed and dropped.
class ScopeDisplay : public QObject
{
    Q_OBJECT
public:
    // The scope page's read-outs show a new value at most this often (ms).
    static constexpr int readOutInterval = 200;
    // The most queued reads one tick takes; more wait for the next tick.
    static constexpr int framesPerTick = 16;
    struct Parts {
        Ui::VeltoInterface *ui;
        ScopeState *state;
        DeviceSession *session;
        ScopePlot *plot;
        ScopeChannels *channels;
        CursorControls *cursors;
        SpectrumControls *spectrum;
    };
    // Counts of ticks that drew, frames processed (each new frame once) and
    // frames the instrument sent that were never processed (from gaps in the
    // frame numbers, a full transport queue among the causes), and replots.
    struct Counts {
        quint64 drawnTicks = 0;
        quint64 framesShown = 0;
        quint64 framesMissed = 0;
        // Reads passed over, counted apart from the frames dropped: a frame
        // of the shape before a change of channels or buffer, a part of a
        // frame, an empty read, or a damaged header.
        quint64 framesRefused = 0;
        quint64 replots = 0;
    };
    // One tick's vectors: the frame's, or a loaded or played-back wave's.
    struct TraceSet {
        const QVector<double> *ch1 = nullptr;
        const QVector<double> *ch2 = nullptr;
        const QVector<double> *bits[8] = {};
        const QVector<double> *bases[8] = {};
        QVector<QVector<double>> ten() const;
    };

    explicit ScopeDisplay(const Parts &parts, QObject *parent = nullptr);

    // The plot repaints at most 30 times a second while the user works at the
    // window, and 15 at rest, once `restAfterMs` have passed without a key,
    // a click, a wheel turn or the mouse moving over it.
    static constexpr double busyPaintsPerSecond = 30.0;
    static constexpr double restingPaintsPerSecond = 15.0;
    void noteUserActivity() { sinceActivity.restart(); }
    bool userAtRest() const { return !sinceActivity.isValid() || sinceActivity.elapsed() >= restAfterMs; }
    void setRestAfter(int milliseconds) { restAfterMs = milliseconds; }
    // The time between two paints now (ms).
    int paintInterval() const;

    // One display tick; false when it found nothing to do. Every frame is
    // processed at once (measured, recorded, counted, persisted). Its
    // drawing (traces, read-outs, cursors) is done at once (`Now`), or just
    // before the next paint (`AtPaint`): the tick comes about 100 times a
    // second, the plot is painted 15 or 30, and a drawing no paint shows is
    // work for nothing. A played-back or loaded wave is drawn at once:
    // playback moves on a block a drawing.
    enum class Show { Now, AtPaint };
    bool scopeDataShow(Show when = Show::Now);
    // The newest processed frame drawn, if its drawing waits for a paint:
    // before the plot is taken as a picture.
    void showOwed();
    void scopeInitDatacache();
    // The six read-outs of a channel on the scope page, Vpp to frequency.
    std::array<MultimeterDisplay *, 6> scopeMeterDisplays(int channel) const;
    void setupScopeMeterDisplays();

    const QByteArray &frame() const { return frameCache; }
    // A frame from the instrument is in the cache (not the placeholder of the start).
    bool hasInstrumentFrame() const { return instrumentFrame; }
    const TraceBuilder &traces() const { return traceBuilder; }
    const Counts &counts() const { return tickCounts; }
    const PersistenceHistory &history() const { return persistenceHistory; }
    // What the scope page's six read-outs of a channel (0 CH1, 1 CH2) say
    // of the newest frame: Vpp, Max, Min, RMS and Average in volts (V² for
    // a product), and the frequency in hertz; NaN where the frame gives none.
    std::array<double, 6> channelReadings(int channel) const;
    // The measurements of the newest frame: a channel's own samples (CH1's
    // with the delay and phase to CH2), its math trace (nothing measured
    // while it has none), and the one its read-outs show. Also a channel's
    // samples in volts, in the frame's order (empty without the channel).
    const Measure::Set &channelMeasurements(int channel) const { return channelSets[channel == 1 ? 1 : 0]; }
    const Measure::Set &mathMeasurements(int channel) const { return mathSets[channel == 1 ? 1 : 0]; }
    const Measure::Set &shownSet(int channel) const
    {
        return traceBuilder.math(channel).active() ? mathMeasurements(channel) : channelMeasurements(channel);
    }
    const std::vector<double> &channelVolts(int channel) const { return volts[channel == 1 ? 1 : 0]; }

    // Waves kept, loaded, played back and recorded. `name` names the loaded
    // file in what is exported while it is shown.
    void showLoadedWave(const QVector<QVector<double>> &wave, const QString &name = QString());
    void clearLoadedWave();
    bool loadedWaveShown() const { return loadedShown; }
    WavePlayback &playback() { return wavePlayback; }
    // The next drawn tick hands its traces out to be saved (waveSaveRequested).
    void requestSave() { saveRequested = true; }
    // While on, every new frame from the instrument is handed out as a
    // recording block (frameRecorded), whatever wave is shown instead.
    void setRecording(bool on) { recordingActive = on; }
    bool recording() const { return recordingActive; }
    // What the last drawn tick showed, for export: the frame from the
    // instrument, the loaded wave or the played-back block. False, with the
    // reason in `why`, when there is nothing to export.
    bool shownCapture(FrameExport::Capture *capture, QString *why) const;
    // The scale the last drawn tick drew its traces at.
    const FrameExport::WaveScale &waveScale() const { return shownScale; }

    // The plot legend's time text for a time base, with the spectrum's scale while it is shown.
    void refreshTimeLegend(int samplingIndex);

signals:
    void frameAvailableChanged(bool available);
    // New frames from the instrument were taken on this tick.
    void framesTaken();
    // The traces of the tick on which saving was asked for: CH1, CH2, bits 0..7.
    void waveSaveRequested(const QVector<QVector<double>> &wave);
    // One new frame while recording, as its recording block.
    void frameRecorded(const QString &block);
    // A tick drew at least one new frame from the instrument.
    void newFramesShown();
    // Each new frame from the instrument as it is processed, with the sample
    // the display begins with (the oldest in roll mode): for the decoders.
    void frameProcessed(const QByteArray &frame, int start, int frameNumber);
    // A new frame from the instrument was measured; every one is, drawn or not.
    void frameMeasured();

private:
    void refreshFrameProgress();
    bool buildTraces(const QByteArray &frame);
    void processFrame(bool fresh);
    void countFrame(bool *repeated);
    bool advanceFrameNumber(int frameNumber);
    void logRefusals();
    void addToPersistence(bool fresh);
    void logDrops();
    void showNewest();
    void placeNewest();
    void drawNewest();
    void measure(channela_t meters[2]);
    void showMeters(const channela_t meters[2]);
    void placeAutomaticCursors(const channela_t meters[2]);
    void refreshCursorsAndLabels(const channela_t meters[2], const TraceSet &traces);
    void updatePersistenceHistory();
    TraceSet substituteWaves();
    void drawXY(const TraceSet &traces);
    void drawTraces(const TraceSet &traces);
    void drawLogic(const TraceSet &traces);
    void recordFrame(const TraceSet &traces);
    TraceSet frameTraces() const;
    TraceSet withLoadedWave(TraceSet traces) const;
    void replot();
    void paint();

    Parts p;
    // The newest frame the traces were built from; a read is taken into
    // `incoming` and replaces it only once its traces are built.
    QByteArray frameCache;
    QByteArray incoming;
    TraceBuilder traceBuilder;
    // The channels of the frame the traces were built from.
    bool has[3] = {false, false, false};
    // The session said why there is no instrument, and no frame came since:
    // the cache is not drawn.
    bool instrumentMissing = false;
    PersistenceHistory persistenceHistory;
    channela_t meterRecords[2];
    Measure::Set channelSets[2];
    Measure::Set mathSets[2];
    std::vector<double> volts[2];
    // The read-outs of a math channel say so while an input is clipped.
    bool clipMarked[2] = {false, false};
    // A channel's samples reached the converter's limits.
    bool adcClipped[2] = {false, false};
    int lastFrameNumber = -1;
    Counts tickCounts;
    // The throttled report of dropped frames.
    QElapsedTimer dropClock;
    quint64 droppedReported = 0;
    quint64 overflowReported = 0;
    // The throttled report of refused reads, with the lengths (received,
    // expected) of the last.
    QElapsedTimer refusalClock;
    quint64 refusedReported = 0;
    QPair<int, int> lastRefused;
    // Paints follow the screen: at most one per refresh.
    QTimer paintPace;
    QElapsedTimer sincePaint;
    bool drawingOwed = false;
    QElapsedTimer sinceActivity;
    int restAfterMs = 3000;
    bool saveRequested = false;
    bool loadedShown = false;
    bool recordingActive = false;
    WavePlayback wavePlayback;
    WavePlayback::Step played;
    QVector<QVector<double>> loadedWave; // CH1, CH2, bits 0..7
    QString loadedName;
    // What the last drawn tick showed: the frame in the cache, or a loaded or
    // played-back wave with the scale it was drawn at and its name.
    enum class Shown { Frame, Loaded, Playback };
    Shown shown = Shown::Frame;
    QVector<QVector<double>> shownWave;
    FrameExport::WaveScale shownScale;
    QString shownSource;
    // Since the last frame or change of time base, buffer or run state.
    QElapsedTimer frameClock;
    int frameClockKey = -1;
    double frameClockSeconds = 0; // the frame's length at that key
    int legendKey = -1; // what the time legend says now
    bool acquiring = false;
    bool instrumentFrame = false;
    // The view was moved to the newest samples since roll mode started.
    bool rollViewPlaced = false;
};
