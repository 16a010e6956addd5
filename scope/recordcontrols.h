// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/scope/recordingfile.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>

class QFrame;
class QLabel;
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
        // The name to save under; `start` proposes one in the folder.
        std::function<QString(const QString &title, const QString &start, const QString &filter)> chooseSaveFile;
        // A modal information box with the application's icon.
        std::function<void(const QString &title, const QString &text)> inform;
    };

    RecordControls(Ui::VeltoInterface *ui, ScopeState *state, ScopeDisplay *display, QObject *parent = nullptr);
    void setDialogs(Dialogs replacement) { dialogs = std::move(replacement); }

    // The one folder of the panel: waves are saved and looked for there,
    // recordings and screenshots go there, and the other file dialogs start
    // there. Kept in the application settings ("defaultDir").
    QString &defaultDir() { return defaultFolder; }
    void setFolder(const QString &folder);
    // Asks for another folder ("Folder..." in the panel).
    void chooseFolderClicked();
    // Writes a recording, picked in a dialog, as one sigrok session (.sr).
    void exportRecordingClicked();
    // A notice has been shown long enough: the panel says what goes on now.
    void noticeExpired();
    // How long a notice stays before it is stale.
    static constexpr int noticeMs = 8000;

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
    // The plot as the screenshot saves it, as PNG; empty when it cannot be drawn.
    QByteArray screenShotPng() const;
    // The window closes: a running recording is finished and kept, and a
    // playback stops with the time base before it back on the slider, so
    // that the settings saved now are the user's, not the recording's.
    void closeRecording();

private:
    bool startRecording();
    bool openRecordingFile(const QString &name);
    // Writes `data` at `path`, whole or not at all.
    bool saveFile(const QString &path, const QByteArray &data);
    void stopRecording(bool announce);
    void recordBlock(const QString &block);
    // The file cannot take more: the recording stops with the reason.
    void recordingFailed();
    void notify(const QString &text, int logLevel = -1);
    // What the panel does now, shown where a notice went stale.
    QString stateText() const;
    void showFolder();
    // The mark on the plot that a loaded wave stands in for the traces.
    void markLoadedWave(const QString &name);
    void placeLoadedMark();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void setRecordLook(bool recording);
    void keepPlaybackMoving();

    Ui::VeltoInterface *ui;
    ScopeState *state;
    ScopeDisplay *display;
    Dialogs dialogs;
    QString defaultFolder;
    // The file the next frame is saved as (Save wave asks before the tick).
    QString pendingWavePath;
    QTimer noticeExpiry;
    // Watched through the window's teardown, when the form may be gone
    // already: the filter looks only at these, never at the form.
    QPointer<QWidget> plotArea;
    QPointer<QLabel> folderLabel;
    QPointer<QFrame> loadedMark;
    QLabel *loadedMarkText = nullptr;
    RecordingWriter writer;
    // Pushes the recording to the disk each second also when no frame comes.
    QTimer syncTimer;
    // Playback moves on with each drawn frame; without frames (no
    // instrument, or the scope stopped) this draws the next one.
    QTimer playbackPace;
    quint64 ticksAtLastPace = 0;
    int samplingBeforePlayback = 0;
};
