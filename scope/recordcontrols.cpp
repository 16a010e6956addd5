// SPDX-License-Identifier: GPL-3.0-only
// Saving, loading, recording and playing back waves, and screenshots.
#include "scope/recordcontrols.h"

#include "base/logging.h"
#include "core/persistence/datafiles.h"
#include "core/scope/frameexport.h"
#include "scope/scopedisplay.h"
#include "scope/scopestate.h"
#include "core/scope/wavetext.h"
#include "ui_veltointerface.h"
#include "widgets/collapsiblepanel.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPixmap>

#include <memory>

namespace {
// A wave file holds ten vectors of at most 3840 values; anything far larger is not one.
constexpr qint64 maximumWaveFileBytes = 16 * 1024 * 1024;

QString filter()
{
    return QObject::tr("Velto files (*.vsp)");
}

QString shortName(const QString &path)
{
    return QFileInfo(path).fileName();
}
} // namespace

RecordControls::RecordControls(Ui::VeltoInterface *ui, ScopeState *state, ScopeDisplay *display, QObject *parent)
    : QObject(parent), ui(ui), state(state), display(display)
{
    QWidget *window = ui->plotArea->window();
    dialogs.chooseFolder = [window](const QString &title, const QString &start) {
        return QFileDialog::getExistingDirectory(window, title, start, QFileDialog::ShowDirsOnly);
    };
    dialogs.chooseFile = [window](const QString &title, const QString &start, const QString &filter) {
        return QFileDialog::getOpenFileName(window, title, start, filter);
    };
    dialogs.inform = [window](const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, window);
        box.setIconPixmap(QPixmap(QStringLiteral(":/icons/ico48.png")));
        box.exec();
    };
    foldsFrame(ui->collapsiblePanelScopeRecord, ui->frameScopeRecord);
    connect(ui->saveWave, &QPushButton::clicked, this, &RecordControls::saveWaveClicked);
    connect(ui->loadWave, &QPushButton::clicked, this, &RecordControls::loadWaveClicked);
    connect(ui->clearWaveButton, &QPushButton::clicked, this, &RecordControls::clearWaveClicked);
    connect(ui->recordButton, &QPushButton::clicked, this, &RecordControls::recordButtonClicked);
    connect(ui->playButton, &QPushButton::clicked, this, &RecordControls::playButtonClicked);
    connect(ui->screenShotButton, &QPushButton::clicked, this, &RecordControls::screenShotClicked);
    connect(display, &ScopeDisplay::waveSaveRequested, this, &RecordControls::saveWavetoFile);
    connect(display, &ScopeDisplay::frameRecorded, this, &RecordControls::recordBlock);
    connect(&playbackPace, &QTimer::timeout, this, &RecordControls::keepPlaybackMoving);
    connect(&syncTimer, &QTimer::timeout, this, [this] {
        if (!writer.syncIfDue())
            recordingFailed();
    });
}

void RecordControls::notify(const QString &text, int logLevel)
{
    ui->notifLabel->setText(text);
    if (logLevel >= 0)
        VELTO_LOG(text, logLevel);
}

// Asked before the display takes the frame, never from inside the display
// tick, whose timer would run on under the open dialog.
bool RecordControls::askDestination()
{
    if (!destinationFolder.isEmpty())
        return true;
    const QString chosen = dialogs.chooseFolder(tr("Choose Destination Folder"), defaultFolder);
    if (chosen.isEmpty())
        return false;
    destinationFolder = chosen;
    defaultFolder = chosen;
    return true;
}

void RecordControls::saveWaveClicked()
{
    if (!askDestination())
        return;
    display->requestSave();
    // Saved from the cached frame on the next tick, also when no frame comes.
    state->redrawRequested = true;
}

void RecordControls::saveWavetoFile(const QVector<QVector<double>> &wave)
{
    saveInDestination(WaveText::waveFileName(QTime::currentTime()), WaveText::waveToFile(wave).toUtf8());
}

bool RecordControls::saveInDestination(const QString &name, const QByteArray &data)
{
    QString why = tr("no folder chosen");
    const QString path = WaveText::freePath(destinationFolder, name);
    if (destinationFolder.isEmpty() || !FrameExport::saveAtomically(path, data, &why)) {
        notify(tr("File %1 cannot be written in %2: %3").arg(name, destinationFolder, why), 2);
        // The folder is asked for again next time: it may be gone.
        destinationFolder.clear();
        return false;
    }
    notify(QStringLiteral("File ") + shortName(path) + QStringLiteral(" created!"));
    return true;
}

void RecordControls::loadWaveClicked()
{
    const QString fileName = dialogs.chooseFile(tr("Open File"), defaultFolder, filter());
    if (!fileName.isEmpty())
        loadWave(fileName);
}

bool RecordControls::loadWave(const QString &fileName)
{
    QFile file(fileName);
    const QString name = shortName(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        notify(tr("File %1 cannot be opened: %2").arg(name, file.errorString()), 2);
        return false;
    }
    if (file.size() > maximumWaveFileBytes) {
        notify(tr("File %1 is too large for a wave file (%2 MB)").arg(name).arg(file.size() >> 20), 2);
        return false;
    }
    const QByteArray content = file.readAll();
    const WaveText::Kind kind = WaveText::recognise(content);
    bool ok = false;
    const WaveText::Frame frame = WaveText::readFrame(QString::fromUtf8(content), &ok);
    if (kind == WaveText::Kind::Unknown || !ok) {
        notify(tr("File %1 holds no wave").arg(name), 2);
        return false;
    }
    display->showLoadedWave(frame.vectors, name);
    QStringList notes;
    if (kind == WaveText::Kind::Recording)
        notes << tr("the first frame of a recording");
    if (frame.sectionsRead < WaveText::vectorsPerFrame)
        notes << tr("%1 of 10 sections found").arg(frame.sectionsRead);
    int samples = 0;
    for (const QVector<double> &v : frame.vectors)
        samples = qMax(samples, v.size());
    if (samples > 0 && samples != state->samplesPerChannel)
        notes << tr("%1 samples a trace; shown when the buffer holds as many").arg(samples);
    notify(tr("Wave %1 shown").arg(name) + (notes.isEmpty() ? QString() : QStringLiteral(": ") + notes.join(QStringLiteral(", "))));
    return true;
}

void RecordControls::clearWaveClicked()
{
    display->clearLoadedWave();
}

void RecordControls::setRecordLook(bool recording)
{
    ui->recordButton->setText(recording ? tr("Stop") : tr("Record"));
    ui->recordButton->setIcon(QIcon(recording ? QStringLiteral(":/icons/ico-record-active.png")
                                              : QStringLiteral(":/icons/ico-record.png")));
    if (recording)
        ui->label_13->setText(tr("Recording wave."));
    else
        ui->label_13->clear();
}

void RecordControls::recordButtonClicked()
{
    if (isRecording())
        stopRecording(true);
    else
        startRecording();
}

bool RecordControls::startRecording()
{
    const QString name = WaveText::recordFileName(QDateTime::currentDateTime());
    if (!openRecordingFile(name)) {
        setRecordLook(false);
        return false;
    }
    setRecordLook(true);
    display->setRecording(true);
    syncTimer.start(1000);
    VELTO_LOG(QStringLiteral("Recording to %1").arg(writer.fileName()), 1);
    return true;
}

// Recordings go into the working folder, as they always have; when it
// cannot be written (started from the desktop menu, Velto may be in "/"),
// into the user's data folder, and the panel says where.
bool RecordControls::openRecordingFile(const QString &name)
{
    const QString working = QDir::currentPath();
    if (writer.open(working, name))
        return true;
    const QString why = writer.errorString();
    const QString fallback = recordingsFallbackFolder();
    const bool made = QDir().mkpath(fallback);
    if (made && writer.open(fallback, name)) {
        notify(tr("Recording into %1: the working folder %2 cannot be written (%3)").arg(fallback, working, why), 1);
        return true;
    }
    notify(tr("Recording not started: %1 can be written neither in %2 (%3) nor in %4 (%5)")
               .arg(name, working, why, fallback, made ? writer.errorString() : tr("the folder cannot be made")),
           2);
    return false;
}

void RecordControls::stopRecording(bool announce)
{
    syncTimer.stop();
    display->setRecording(false);
    setRecordLook(false);
    const QString path = QFileInfo(writer.fileName()).absoluteFilePath();
    const qint64 frames = writer.blocksWritten();
    if (!writer.close()) {
        notify(tr("Recording %1 may be incomplete: %2").arg(path, writer.errorString()), 2);
        return;
    }
    VELTO_LOG(QStringLiteral("Recording %1 saved, %2 frames").arg(path).arg(frames), 1);
    if (announce)
        dialogs.inform(tr("Success"), QStringLiteral("File ") + path + QStringLiteral(" saved."));
}

// Called from the display tick: a failure stops the recording with a
// notice, never with a box whose loop would run the tick again.
void RecordControls::recordBlock(const QString &block)
{
    if (isRecording() && !writer.append(block))
        recordingFailed();
}

void RecordControls::recordingFailed()
{
    const QString reason = writer.errorString();
    const QString path = writer.fileName();
    stopRecording(false);
    notify(tr("Recording stopped, %1 cannot be written: %2").arg(path, reason), 2);
}

void RecordControls::closeRecording()
{
    if (isRecording())
        stopRecording(false);
    if (display->playback().active()) {
        display->playback().clear();
        ui->samplingSlider->setValue(samplingBeforePlayback);
    }
}

void RecordControls::playButtonClicked()
{
    ui->label_13->setText(tr("Reading data from file. Please wait"));
    const QString fileName = dialogs.chooseFile(tr("Choose file with recorded wave"), defaultFolder, filter());
    if (fileName.isEmpty() || !wavePlay(fileName))
        ui->label_13->setText(isRecording() ? tr("Recording wave.") : QString());
}

bool RecordControls::wavePlay(const QString &fileName)
{
    const QString name = shortName(fileName);
    auto reader = std::make_shared<RecordingReader>();
    if (!reader->open(fileName)) {
        notify(tr("File %1 cannot be opened: %2").arg(name, reader->errorString()), 2);
        return false;
    }
    if (reader->kind() == WaveText::Kind::Unknown) {
        notify(tr("File %1 is neither a recording nor a saved wave").arg(name), 2);
        return false;
    }
    // The first frame is read now, so that a file without one changes nothing.
    auto first = std::make_shared<WaveText::Frame>();
    if (!reader->next(*first)) {
        notify(tr("File %1 holds no frame to play").arg(name), 2);
        return false;
    }
    if (reader->kind() == WaveText::Kind::Wave)
        notify(tr("File %1 is a saved wave: played as its one frame").arg(name));
    else
        notify(tr("Playback of %1").arg(name));
    const int restore = ui->samplingSlider->value();
    samplingBeforePlayback = restore;
    display->playback().start(
        [reader, first, name, this](int &samplingIndex, QVector<QVector<double>> &frame) mutable {
            WaveText::Frame next;
            if (first) {
                next = std::move(*first);
                first.reset();
            } else if (!reader->next(next)) {
                // A recording cut by a crash or with something appended says so here.
                notify(tr("Playback of %1 ended: %2").arg(name, reader->summary()), reader->damaged() ? 2 : 1);
                return false;
            }
            // A saved wave names no time base: it plays at the one in use.
            if (next.samplingIndex >= 0)
                samplingIndex = next.samplingIndex;
            frame = std::move(next.vectors);
            return true;
        },
        restore, name);
    ui->label_13->setText(tr("Load recorded wave"));
    ticksAtLastPace = display->counts().drawnTicks;
    playbackPace.start(100);
    return true;
}

void RecordControls::keepPlaybackMoving()
{
    if (!display->playback().active()) {
        playbackPace.stop();
        return;
    }
    if (display->counts().drawnTicks == ticksAtLastPace)
        state->redrawRequested = true;
    ticksAtLastPace = display->counts().drawnTicks;
}

void RecordControls::screenShotClicked()
{
    const QPixmap picture = ui->plotArea->grab();
    const QString name = WaveText::screenShotName(QTime::currentTime());
    if (!askDestination())
        return;
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
        notify(tr("File %1 cannot be made: the plot could not be drawn as PNG").arg(name), 2);
        return;
    }
    saveInDestination(name, png);
}
