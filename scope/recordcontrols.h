// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/scope/recordingfile.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>

class ScopeDisplay;
struct ScopeState;
namespace Ui {
class VeltoInterface;
}

// The "Record" panel: saving the shown traces as a wave file, loading one
// back as a still display, recording every new frame into a file, playing a
// recording back at the time bases it was made with, and screenshots of the
// plot. The display hands it the frames (ScopeDisplay::waveSaveRequested and
// frameRecorded); the file formats live in WaveText and RecordingFile.
class RecordControls : public QObject
{
    Q_OBJECT
public:
    // The dialogs it opens; tests put answers in their place.
    struct Dialogs {
        std::function<QString(const QString &title, const QString &start)> chooseFolder;
        std::function<QString(const QString &title, const QString &start, const QString &filter)> chooseFile;
        // A modal information box with the application's icon.
        std::function<void(const QString &title, const QString &text)> inform;
    };

    RecordControls(Ui::VeltoInterface *ui, ScopeState *state, ScopeDisplay *display, QObject *parent = nullptr);
    void setDialogs(Dialogs replacement) { dialogs = std::move(replacement); }

    // The folder file dialogs start in, kept in the application settings.
    QString &defaultDir() { return defaultFolder; }
    // Where waves and screenshots go; asked once a run.
    QString destination() const { return destinationFolder; }

    void saveWaveClicked();
    void saveWavetoFile(const QVector<QVector<double>> &wave);
    void loadWaveClicked();
    // Shows the wave of `fileName` until cleared; false (and nothing
    // changed) when the file holds none.
    bool loadWave(const QString &fileName);
    void clearWaveClicked();
    void recordButtonClicked();
    bool isRecording() const { return writer.isOpen(); }
    const RecordingWriter &recordingWriter() const { return writer; }
    void playButtonClicked();
    // Starts playing the recording (or the saved wave) of `fileName`; false
    // (and nothing changed) when it holds no frame.
    bool wavePlay(const QString &fileName);
    void screenShotClicked();
    // The window closes: a running recording is finished and kept, and a
    // playback stops with the time base before it back on the slider, so
    // that the settings saved now are the user's, not the recording's.
    void closeRecording();

private:
    bool startRecording();
    bool openRecordingFile(const QString &name);
    // Writes `data` as `name`, or the first free name-2, name-3, ..., in the
    // destination folder, whole or not at all.
    bool saveInDestination(const QString &name, const QByteArray &data);
    void stopRecording(bool announce);
    void recordBlock(const QString &block);
    // The file cannot take more: the recording stops with the reason.
    void recordingFailed();
    bool askDestination();
    void notify(const QString &text, int logLevel = -1);
    void setRecordLook(bool recording);
    void keepPlaybackMoving();

    Ui::VeltoInterface *ui;
    ScopeState *state;
    ScopeDisplay *display;
    Dialogs dialogs;
    QString defaultFolder;
    QString destinationFolder;
    RecordingWriter writer;
    // Pushes the recording to the disk each second also when no frame comes.
    QTimer syncTimer;
    // Playback moves on with each drawn frame; without frames (no
    // instrument, or the scope stopped) this draws the next one.
    QTimer playbackPace;
    quint64 ticksAtLastPace = 0;
    int samplingBeforePlayback = 0;
};
