// SPDX-License-Identifier: GPL-3.0-only
// Saving, loading, recording and playing back waves, and screenshots.
#include "scope/recordcontrols.h"

#include "base/logging.h"
#include "core/persistence/datafiles.h"
#include "core/scope/frameexport.h"
#include "core/scope/sigroksession.h"
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
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
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
    dialogs.chooseSaveFile = [window](const QString &title, const QString &start, const QString &filter) {
        // The dialog asks before replacing a file.
        return QFileDialog::getSaveFileName(window, title, start, filter);
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
    noticeExpiry.setObjectName(QStringLiteral("noticeExpiry"));
    noticeExpiry.setSingleShot(true);
    connect(&noticeExpiry, &QTimer::timeout, this, &RecordControls::noticeExpired);

    // The folder, under the buttons, with the button that changes it.
    auto *folderRow = new QHBoxLayout;
    folderLabel = new QLabel(ui->frameScopeRecord);
    folderLabel->setObjectName(QStringLiteral("recordFolderLabel"));
    folderLabel->setMinimumWidth(40);
    folderLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *folderButton = new QPushButton(tr("Folder..."), ui->frameScopeRecord);
    folderButton->setObjectName(QStringLiteral("recordFolderButton"));
    folderButton->setToolTip(tr("Chooses the folder waves, recordings and screenshots are saved in"));
    auto *exportButton = new QPushButton(tr("Export .sr..."), ui->frameScopeRecord);
    exportButton->setObjectName(QStringLiteral("recordExportSigrokButton"));
    exportButton->setToolTip(tr("Writes a recording as one sigrok session, every frame in it"));
    folderRow->addWidget(folderLabel, 1);
    folderRow->addWidget(exportButton);
    folderRow->addWidget(folderButton);
    connect(exportButton, &QPushButton::clicked, this, &RecordControls::exportRecordingClicked);
    static_cast<QGridLayout *>(ui->frameScopeRecord->layout())->addLayout(folderRow, 3, 0, 1, 3);
    connect(folderButton, &QPushButton::clicked, this, &RecordControls::chooseFolderClicked);
    folderLabel->installEventFilter(this);

    // On the plot, while a loaded wave stands in for the traces.
    loadedMark = new QFrame(ui->plotArea);
    loadedMark->setObjectName(QStringLiteral("loadedWaveMark"));
    loadedMark->setFrameShape(QFrame::StyledPanel);
    loadedMark->setAutoFillBackground(true);
    auto *markRow = new QHBoxLayout(loadedMark);
    markRow->setContentsMargins(6, 2, 2, 2);
    loadedMarkText = new QLabel(loadedMark);
    loadedMarkText->setObjectName(QStringLiteral("loadedWaveText"));
    auto *markClear = new QPushButton(tr("Clear"), loadedMark);
    markClear->setObjectName(QStringLiteral("loadedWaveClear"));
    markClear->setToolTip(tr("Removes the loaded wave; the live traces come back"));
    markRow->addWidget(loadedMarkText);
    markRow->addWidget(markClear);
    connect(markClear, &QPushButton::clicked, this, &RecordControls::clearWaveClicked);
    loadedMark->hide();
    plotArea = ui->plotArea;
    plotArea->installEventFilter(this);
    showFolder();
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
    showFolder();
    noticeExpiry.start(noticeMs);
}

QString RecordControls::stateText() const
{
    if (isRecording())
        return tr("Recording %1: %2 frames").arg(shortName(writer.fileName())).arg(writer.blocksWritten());
    if (display->playback().active())
        return tr("Playing back %1").arg(display->playback().name());
    if (display->loadedWaveShown())
        return tr("Wave %1 shown").arg(loadedMarkText->property("waveName").toString());
    return QString();
}

void RecordControls::noticeExpired()
{
    ui->notifLabel->setText(stateText());
    showFolder();
}

void RecordControls::setFolder(const QString &folder)
{
    defaultFolder = folder;
    showFolder();
}

void RecordControls::showFolder()
{
    const QString folder = QDir::toNativeSeparators(defaultFolder);
    folderLabel->setToolTip(tr("Waves, recordings and screenshots are saved in %1").arg(folder));
    // The path shortened in its middle where the panel is narrow; the tip has it whole.
    const QString prefix = tr("Folder: ");
    const QFontMetrics metrics = folderLabel->fontMetrics();
    folderLabel->setText(prefix + metrics.elidedText(folder, Qt::ElideMiddle,
                                                     qMax(40, folderLabel->width() - metrics.horizontalAdvance(prefix))));
}

void RecordControls::exportRecordingClicked()
{
    const QString from = dialogs.chooseFile(tr("Export a recording as a sigrok session"), defaultFolder, filter());
    if (from.isEmpty())
        return;
    QByteArray session;
    QString why;
    if (!SigrokSession::recordingToSessionFile(from, display->waveScale(), QDateTime::currentDateTime(), &session,
                                               &why)) {
        notify(tr("Not exported: %1").arg(why), 2);
        return;
    }
    const QFileInfo source(from);
    QString to = dialogs.chooseSaveFile(tr("Save the sigrok session"),
                                        source.dir().filePath(source.completeBaseName() + QStringLiteral(".sr")),
                                        tr("sigrok session (*.sr)"));
    if (to.isEmpty())
        return;
    if (QFileInfo(to).suffix().isEmpty())
        to += QStringLiteral(".sr");
    if (saveFile(to, session))
        notify(tr("%1 exported as %2").arg(shortName(from), shortName(to)));
}

void RecordControls::chooseFolderClicked()
{
    const QString chosen = dialogs.chooseFolder(tr("Choose the Record folder"), defaultFolder);
    if (!chosen.isEmpty())
        setFolder(chosen);
}

// Asked before the display takes the frame, never from inside the display
// tick, whose timer would run on under the open dialog.
void RecordControls::saveWaveClicked()
{
    const QString proposed = WaveText::freePath(defaultFolder, WaveText::waveFileName(QTime::currentTime()));
    QString path = dialogs.chooseSaveFile(tr("Save wave"), proposed, filter());
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".vsp");
    pendingWavePath = path;
    setFolder(QFileInfo(path).absolutePath());
    display->requestSave();
    // Saved from the cached frame on the next tick, also when no frame comes.
    state->redrawRequested = true;
}

void RecordControls::saveWavetoFile(const QVector<QVector<double>> &wave)
{
    if (pendingWavePath.isEmpty())
        return;
    saveFile(pendingWavePath, WaveText::waveToFile(wave).toUtf8());
    pendingWavePath.clear();
}

bool RecordControls::saveFile(const QString &path, const QByteArray &data)
{
    QString why;
    if (!FrameExport::saveAtomically(path, data, &why)) {
        notify(tr("File %1 cannot be written in %2: %3").arg(shortName(path), QFileInfo(path).absolutePath(), why),
               2);
        return false;
    }
    notify(tr("File %1 saved").arg(shortName(path)));
    return true;
}

bool RecordControls::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && plotArea && loadedMark && watched == plotArea)
        placeLoadedMark();
    if (event->type() == QEvent::Resize && folderLabel && watched == folderLabel)
        showFolder();
    return QObject::eventFilter(watched, event);
}

void RecordControls::markLoadedWave(const QString &name)
{
    loadedMarkText->setProperty("waveName", name);
    loadedMarkText->setText(tr("Loaded: %1").arg(name));
    loadedMark->setVisible(!name.isEmpty());
    placeLoadedMark();
}

// At the top of the plot, centred where there is room, else as far left
// as the zero handles let it: never over the cursor read-outs on the right.
void RecordControls::placeLoadedMark()
{
    const int handles = 30, readouts = 180;
    loadedMark->adjustSize();
    const int centred = (plotArea->width() - loadedMark->width()) / 2;
    const int x = qMax(handles, qMin(centred, plotArea->width() - readouts - loadedMark->width()));
    loadedMark->move(x, 4);
    loadedMark->raise();
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
    markLoadedWave(name);
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
    markLoadedWave(QString());
    notify(tr("Loaded wave cleared: the live traces are shown"));
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
    if (ui->notifLabel->text().isEmpty() || !noticeExpiry.isActive())
        notify(tr("Recording to %1").arg(shortName(writer.fileName())));
    return true;
}

// Recordings go into the panel's folder; when it cannot be written, into
// the user's data folder, and the panel says where.
bool RecordControls::openRecordingFile(const QString &name)
{
    const QString working = defaultFolder;
    if (writer.open(working, name))
        return true;
    const QString why = writer.errorString();
    const QString fallback = recordingsFallbackFolder();
    const bool made = QDir().mkpath(fallback);
    if (made && writer.open(fallback, name)) {
        notify(tr("Recording into %1: the folder %2 cannot be written (%3)").arg(fallback, working, why), 1);
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
        if (!isRecording())
            ui->label_13->clear();
        return;
    }
    if (display->counts().drawnTicks == ticksAtLastPace)
        state->redrawRequested = true;
    ticksAtLastPace = display->counts().drawnTicks;
}

QByteArray RecordControls::screenShotPng() const
{
    display->showOwed(); // the newest frame, not the one last painted
    const QPixmap picture = ui->plotArea->grab();
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
        return {};
    return png;
}

void RecordControls::screenShotClicked()
{
    const QString name = WaveText::screenShotName(QTime::currentTime());
    const QByteArray png = screenShotPng();
    if (png.isEmpty()) {
        notify(tr("File %1 cannot be made: the plot could not be drawn as PNG").arg(name), 2);
        return;
    }
    // Quick: no dialog, never over an earlier picture.
    saveFile(WaveText::freePath(defaultFolder, name), png);
}
