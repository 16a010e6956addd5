// SPDX-License-Identifier: GPL-3.0-only
// The "Record" panel through its controller: saving and loading waves,
// screenshots, recording and playback, damaged files, the close path, and
// a recording made and played back on the virtual bench.
#include "common/windowtest.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

class TestRecordControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useVirtualBench(); }
    void init()
    {
        virtualBench().setAttached(false);
        w = new VeltoInterface;
        w->displayTimer().stop();
        ui = w->form();
        boxes.clear();
        RecordControls::Dialogs dialogs;
        dialogs.chooseFolder = [this](const QString &title, const QString &) {
            boxes << title;
            return dir.path();
        };
        dialogs.chooseFile = [this](const QString &, const QString &, const QString &) { return chosen; };
        dialogs.chooseSaveFile = [this](const QString &title, const QString &start, const QString &) {
            boxes << title;
            return start; // the name proposed
        };
        dialogs.inform = [this](const QString &title, const QString &text) {
            boxes << title + QLatin1Char('|') + text;
        };
        w->record()->setDialogs(dialogs);
        w->record()->setFolder(dir.path());
        ui->comboBoxADCBuffer->setCurrentIndex(0); // 256 samples
        ui->ch1PositionSlider->setValue(0);
        ui->ch2PositionSlider->setValue(0);
    }
    void cleanup() { delete w; }
    void savedWavesAndScreenshotsNeverOverwrite()
    {
        ui->checkBoxCH2Trace->setChecked(false);
        ui->checkBoxCHDTrace->setChecked(false);
        const FrameShape ch1Only{Frames::Ch1, 256};
        for (int k = 0; k < 2; ++k) {
            ui->saveWave->click();
            feed(*w, buildFrame(ch1Only, [](int, int i) { return i % 100; }));
            ui->screenShotButton->click();
        }
        // Each wave is saved under the name asked for; two of each within a second are two files.
        QCOMPARE(boxes, QStringList({"Save wave", "Save wave"}));
        const QStringList waves = QDir(dir.path()).entryList({QStringLiteral("waveFile*.vsp")});
        const QStringList shots = QDir(dir.path()).entryList({QStringLiteral("screenShot*.png")});
        QVERIFY(waves.size() == 2 && shots.size() == 2);
        QVERIFY(ui->notifLabel->text().startsWith(QStringLiteral("File screenShot")));
        QCOMPARE(QImage(dir.filePath(shots.last())).size(), ui->plotArea->size());

        // Loaded back, CH1 stands in for the live trace and CH2 stays empty.
        chosen = dir.filePath(waves.first());
        ui->loadWave->click();
        feed(*w, buildFrame(ch1Only, [](int, int) { return 0; }));
        // Six significant digits: 794.6875 comes back as 794.688.
        QVERIFY(qAbs(graphValues(w->scopePlot()->graphs().ch1).at(99) - plotY(99)) < 1e-3);
        // Saved again while shown: the loaded wave stays on screen after the save.
        ui->saveWave->click();
        feed(*w, buildFrame(ch1Only, [](int, int) { return 0; }));
        redraw();
        QVERIFY(qAbs(graphValues(w->scopePlot()->graphs().ch1).at(99) - plotY(99)) < 1e-3);
        // Marked on the plot itself, with its own Clear; the notice goes once stale.
        auto *mark = w->findChild<QFrame *>(QStringLiteral("loadedWaveMark"));
        QVERIFY(!mark->isHidden() && w->findChild<QLabel *>(QStringLiteral("loadedWaveText"))->text() ==
                                         QStringLiteral("Loaded: ") + waves.first());
        mark->findChild<QPushButton *>()->click();
        QVERIFY(!w->display()->loadedWaveShown() && mark->isHidden());
        w->record()->noticeExpired();
        QVERIFY(ui->notifLabel->text().isEmpty());

        // A saved wave given to playback is its one frame at the time base in use, not shifted.
        ui->samplingSlider->setValue(6);
        QVERIFY(w->record()->wavePlay(chosen));
        redraw();
        QCOMPARE(ui->samplingSlider->value(), 6);
        QVERIFY(qAbs(graphValues(w->scopePlot()->graphs().ch1).at(42) - plotY(42)) < 1e-3);
        redraw();
        QVERIFY(!w->display()->playback().active());
    }
    void damagedFilesChangeNothing()
    {
        const struct { const char *name; QByteArray content; bool loads; } files[] = {
            {"empty.vsp", QByteArray(), false},
            {"binary.vsp", QByteArray("\x89PNG\r\n\x1a\n\0\0<*>\xff\xfe", 16), false},
            {"huge.vsp", QByteArray(17 * 1024 * 1024, ','), false},
            {"truncated.vsp", QByteArray("CH1,640,641,<*>\nCH2,7"), true},
            {"extra.vsp", QByteArray("CH1,1,<*>\nCH3,5,<*>\nBit7,2,<*>\nBit8,1,"), true}};
        ui->samplingSlider->setValue(9);
        for (const auto &f : files) {
            QFile file(dir.filePath(QString::fromLatin1(f.name)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(f.content) == f.content.size());
            file.close();
            QCOMPARE(w->record()->loadWave(file.fileName()), f.loads);
            QCOMPARE(w->display()->loadedWaveShown(), f.loads);
            QVERIFY2(ui->notifLabel->text().contains(QString::fromLatin1(f.name)), f.name);
            w->display()->clearLoadedWave();
            // Neither is a recording; what is not a wave either is refused and nothing moves.
            QCOMPARE(w->record()->wavePlay(file.fileName()), f.loads);
            w->display()->playback().clear();
            QCOMPARE(ui->samplingSlider->value(), 9);
        }
        QVERIFY(!w->record()->loadWave(dir.filePath(QStringLiteral("missing.vsp"))));
        QVERIFY(ui->notifLabel->text().contains(QStringLiteral("cannot be opened")));
    }
    void failedSavesLeaveNoFile()
    {
        ui->saveWave->click();
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);
        // The disk is full after a hundred bytes: every write past them fails.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &limit) == 0);
        const rlimit full{100, limit.rlim_max};
        MessageCapture log;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
        feed(*w, buildFrame(FrameShape{Frames::Ch1 | Frames::Ch2, 256}, [](int, int i) { return i % 100; }));
        ui->screenShotButton->click();
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
        QCOMPARE(log.count(QStringLiteral("cannot be written")), 2);
    }
    void recordingsFallBackToTheDataFolder()
    {
        // Nothing can be made below /dev/null nor in /proc, not even by root.
        const QString fallback = dir.path() + QStringLiteral("/velto/recordings");
        const struct { const char *folder; QString dataHome, used, said; } cases[] = {
            {"", dir.path(), dir.path(), QStringLiteral("Recording to record-")},
            {"/proc", dir.path(), fallback, QStringLiteral("Recording into ") + fallback},
            {"/proc", QStringLiteral("/dev/null"), QString(), QStringLiteral("Recording not started")}};
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        for (const auto &c : cases) {
            qputenv("XDG_DATA_HOME", QFile::encodeName(c.dataHome));
            ui->notifLabel->clear();
            w->record()->setFolder(*c.folder ? QString::fromLatin1(c.folder) : dir.path());
            ui->recordButton->click();
            const QString text = ui->notifLabel->text();
            QVERIFY2(text.startsWith(c.said), qPrintable(text));
            QCOMPARE(w->record()->isRecording(), !c.used.isEmpty());
            if (w->record()->isRecording()) {
                QCOMPARE(QFileInfo(w->record()->recordingWriter().fileName()).absolutePath(), c.used);
                ui->recordButton->click();
            }
        }
        qputenv("XDG_DATA_HOME", dataHome);
    }
    void recordingPlaysBackAndClosingKeepsIt()
    {
        // A wave loaded meanwhile stays on screen; what the instrument sends is recorded.
        w->display()->showLoadedWave(QVector<QVector<double>>(10, QVector<double>(256, 900.0)));
        ui->recordButton->click();
        QCOMPARE(ui->recordButton->text(), QStringLiteral("Stop"));
        QCOMPARE(ui->label_13->text(), QStringLiteral("Recording wave."));
        FrameShape shape{Frames::Ch1 | Frames::Ch2, 256};
        for (int k = 0; k < 3; ++k) {
            shape.frameNumber = uint16_t(k + 1);
            shape.samplingIndex = uint8_t(3 + k);
            feed(*w, buildFrame(shape, [k](int, int) { return 10 * k; }));
        }
        QCOMPARE(graphValues(w->scopePlot()->graphs().ch1).first(), 900.0);
        w->record()->noticeExpired(); // a stale notice gives way to what goes on
        QVERIFY(ui->notifLabel->text().startsWith(QStringLiteral("Recording record-")));
        ui->recordButton->click();
        const QString recording = QFileInfo(w->record()->recordingWriter().fileName()).absoluteFilePath();
        QCOMPARE(boxes, QStringList{QStringLiteral("Success|File ") + recording + QStringLiteral(" saved.")});
        QVERIFY(ui->recordButton->text() == QStringLiteral("Record") && ui->label_13->text().isEmpty());

        // Three frames at their time bases, then the time base before; what follows the last block is named.
        QFile appended(recording);
        QVERIFY(appended.open(QIODevice::Append) && appended.write("\x01junk") == 5);
        appended.close();
        MessageCapture log;
        ui->samplingSlider->setValue(8);
        chosen = recording;
        ui->playButton->click();
        QCOMPARE(ui->label_13->text(), QStringLiteral("Load recorded wave"));
        for (int k = 0; k < 3; ++k) {
            redraw();
            QCOMPARE(ui->samplingSlider->value(), 3 + k);
            QCOMPARE(graphValues(w->scopePlot()->graphs().ch2).first(), plotY(10 * k));
        }
        redraw();
        QCOMPARE(ui->samplingSlider->value(), 8);
        QVERIFY(w->session()->usb().serialPort.samplingValue == 8 && ui->label_13->text().isEmpty());
        const QString said = QStringLiteral("Playback of %1 ended: 3 frames read; junk after block 3 ignored")
                                 .arg(QFileInfo(recording).fileName());
        QCOMPARE(ui->notifLabel->text(), said);
        QCOMPARE(log.typesOf(said), QList<QtMsgType>{QtWarningMsg});

        // Closing the window or Exit while recording keeps what was recorded.
        WaveText::Frame frame;
        for (bool exit : {false, true}) {
            VeltoInterface other;
            other.setTerminateProcess([](int) {});
            other.form()->comboBoxADCBuffer->setCurrentIndex(0);
            other.form()->recordButton->click();
            shape.frameNumber = 9;
            feed(other, buildFrame(shape, [](int, int) { return 64; }));
            const QString path = other.record()->recordingWriter().fileName();
            // A playback running then stops and gives the slider back.
            other.form()->samplingSlider->setValue(9);
            QVERIFY(other.record()->wavePlay(recording));
            feed(other, buildFrame(shape, [](int, int) { return 0; }));
            QCOMPARE(other.form()->samplingSlider->value(), 3);
            exit ? other.form()->actionExit->trigger() : (void)other.close();
            QVERIFY(!other.record()->isRecording() && !other.display()->playback().active());
            QCOMPARE(other.form()->samplingSlider->value(), 9);
            RecordingReader reader;
            QVERIFY(reader.open(path) && reader.next(frame) && !reader.next(frame));
            QCOMPARE(frame.vectors.at(0).first(), plotY(64, other.form()->ch1PositionSlider->value()));
        }
    }
    void benchFollowsTheRecordedTimeBases()
    {
        w->session()->setScopeStartDelay(20);
        w->displayTimer().start();
        QVERIFY(connectToBench(*w));
        QTRY_VERIFY_WITH_TIMEOUT(virtualBench().scopeRunning(), 3000);
        ui->recordButton->click();
        for (int index : {2, 5, 3}) {
            ui->samplingSlider->setValue(index);
            QTest::qWait(1000);
        }
        ui->recordButton->click();
        RecordingReader reader;
        QVERIFY(reader.open(w->record()->recordingWriter().fileName()));
        QStringList recorded;
        for (WaveText::Frame frame; reader.next(frame);)
            recorded << QString::number(frame.samplingIndex);
        QVERIFY(recorded.contains(QStringLiteral("2")) && recorded.contains(QStringLiteral("5")));
        QCOMPARE(recorded.last(), QStringLiteral("3"));

        ui->samplingSlider->setValue(7);
        QVERIFY(w->session()->usb().settle()); // on the wire before the trace is read
        TraceCapture trace;
        QVERIFY(w->record()->wavePlay(w->record()->recordingWriter().fileName()));
        QTRY_VERIFY_WITH_TIMEOUT(!w->display()->playback().active(), 60000);
        QStringList sent;
        for (const QString &line : trace.matching(QStringLiteral("ctrl 0x41 1 ")))
            sent << line.split(QLatin1Char(' ')).at(3);
        QCOMPARE(sent, recorded + QStringList{QStringLiteral("7")});
    }

private:
    void redraw() { w->scopeState()->redrawRequested = true, w->display()->scopeDataShow(); }
    VeltoInterface *w = nullptr;
    Ui::VeltoInterface *ui = nullptr;
    QTemporaryDir dir;
    QString chosen; // the file the open dialogs answer with
    QStringList boxes;
};

QTEST_MAIN(TestRecordControls)
#include "tst_recordcontrols.moc"
