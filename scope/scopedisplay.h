#pragma once

#include "device/frames.h"
#include "scope/persistenceaccumulator.h"
#include "scope/tracebuilder.h"
#include "scope/waveplayback.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

#include <array>

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

// The per-tick display of the newest scope frame, as a chain of steps: take
// the frame, the meter read-outs, the automatic cursors, the persistence
// history, the references, the wave substitution, the traces, the spectrum,
// the recording hook and one replot. It also keeps what the display holds
// between ticks: the frame cache, the decay history, the loaded, played-back
// and recorded waves, and the counts of frames shown and missed.
class ScopeDisplay : public QObject
{
    Q_OBJECT
public:
    struct Parts {
        Ui::VeltoInterface *ui;
        ScopeState *state;
        DeviceSession *session;
        ScopePlot *plot;
        ScopeChannels *channels;
        CursorControls *cursors;
        SpectrumControls *spectrum;
    };
    // Counts of ticks drawn, frames shown and frames the instrument sent that
    // were never shown (from gaps in the frame numbers).
    struct Counts {
        quint64 drawnTicks = 0;
        quint64 framesShown = 0;
        quint64 framesMissed = 0;
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

    void scopeDataShow();
    void scopeInitDatacache();
    // The six read-outs of a channel on the scope page, Vpp to frequency.
    std::array<MultimeterDisplay *, 6> scopeMeterDisplays(int channel) const;
    void setupScopeMeterDisplays();

    const QByteArray &frame() const { return frameCache; }
    const TraceBuilder &traces() const { return traceBuilder; }
    const Counts &counts() const { return tickCounts; }
    const PersistenceHistory &history() const { return persistenceHistory; }

    // Waves kept, loaded, played back and recorded.
    void showLoadedWave(const QVector<QVector<double>> &wave);
    void clearLoadedWave();
    bool loadedWaveShown() const { return loadedShown; }
    WavePlayback &playback() { return wavePlayback; }
    void requestSave() { saveRequested = true; }
    // While on, every new frame is handed out as a recording block (frameRecorded).
    void setRecording(bool on) { recordingActive = on; }
    bool recording() const { return recordingActive; }
    QString saveWavetoString();
    // Hands the saved-wave store to whoever writes it (waveSaveRequested) and empties it.
    void saveWavetoFile();

    // The plot legend's time text for a time base, with the spectrum's scale while it is shown.
    void refreshTimeLegend(int samplingIndex);

signals:
    // The traces of the tick on which saving was asked for: CH1, CH2, bits 0..7.
    void waveSaveRequested(const QVector<QVector<double>> &wave);
    // One new frame while recording, as its recording block.
    void frameRecorded(const QString &block);

private:
    void refreshFrameProgress();
    bool takeFrame();
    void showMeters(channela_t meters[2]);
    void placeAutomaticCursors(const channela_t meters[2]);
    void refreshCursorsAndLabels(const channela_t meters[2]);
    void updatePersistenceHistory();
    TraceSet substituteWaves();
    void drawXY(const TraceSet &traces);
    void drawTraces(const TraceSet &traces);
    void drawLogic(const TraceSet &traces);
    void recordFrame(const TraceSet &traces);
    void replot();

    Parts p;
    QByteArray frameCache;
    TraceBuilder traceBuilder;
    // What takeFrame found in the frame: its channels.
    bool has[3] = {false, false, false};
    PersistenceHistory persistenceHistory;
    // Accumulated points while persistence is on: CH1, CH2 and the logic bits.
    PersistenceAccumulator persistenceAccumulators[2];
    PersistenceAccumulator logicAccumulators[8];
    int lastFrameNumber = -1;
    Counts tickCounts;
    bool saveRequested = false;
    bool loadedShown = false;
    bool recordingActive = false;
    WavePlayback wavePlayback;
    WavePlayback::Step played;
    QVector<QVector<double>> savedWave; // CH1, CH2, bits 0..7
    // Since the last frame or change of time base, buffer or run state.
    QElapsedTimer frameClock;
    int frameClockKey = -1;
    bool acquiring = false;
};
