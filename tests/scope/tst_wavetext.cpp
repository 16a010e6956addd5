// SPDX-License-Identifier: GPL-3.0-only
// The wave and recording files: the exact text written, what is read back
// from good and damaged files, the names, the recording written in pieces,
// and a recording played back one frame a tick.
#include "core/scope/frameexport.h"
#include "core/scope/recordingfile.h"
#include "core/scope/waveplayback.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
using Vectors = QVector<QVector<double>>;
const QString emptyTail = QStringLiteral("CH2,<*>\nBit0,<*>\nBit1,<*>\nBit2,<*>\nBit3,<*>\nBit4,<*>\nBit5,<*>\n"
                                         "Bit6,<*>\nBit7,<*>\n----------");
} // namespace

class TestWaveText : public QObject
{
    Q_OBJECT
private slots:
    void writtenTextAndNames();
    void readBack_data();
    void readBack();
    void recordingWrittenInPiecesReadsAsOne();
    void playbackHoldsTheTimeBasesThenRestores();
    void waveExportTakesOnlyTracesOfTheFramesLength();
};

void TestWaveText::writtenTextAndNames()
{
    QCOMPARE(WaveText::formatValue(640), QStringLiteral("640"));
    QCOMPARE(WaveText::formatValue(838.4), QStringLiteral("838.4"));
    QCOMPARE(WaveText::formatValue(1e7), QStringLiteral("1e+07"));
    // Three samples, CH1 alone, at time base 8.
    const Vectors ch1Only{{640, 641.5, 643}};
    QCOMPARE(WaveText::recordingBlock(8, ch1Only), QStringLiteral("8<*>\nCH1,640,641.5,643,<*>\n") + emptyTail);
    QString file = QStringLiteral("CH1,640,641.5,643,<*>\n") + emptyTail;
    file.chop(QStringLiteral("<*>\n----------").size());
    QCOMPARE(WaveText::waveToFile(ch1Only), file);

    QCOMPARE(WaveText::waveFileName(QTime(14, 35, 12)), QStringLiteral("waveFile143512.vsp"));
    QCOMPARE(WaveText::screenShotName(QTime(9, 5, 2)), QStringLiteral("screenShot090502.png"));
    QCOMPARE(WaveText::recordFileName(QDateTime(QDate(2026, 12, 5), QTime(14, 35, 12))),
             QStringLiteral("record-2026-12-05_14-35-12.vsp"));
    // Never over a file that is there.
    QTemporaryDir dir;
    QStringList made;
    for (QFile file; made.size() < 3; made << QFileInfo(file.fileName()).fileName())
        QVERIFY(RecordingFile::createNew(file, dir.path(), QStringLiteral("w1.vsp")));
    QCOMPARE(made, QStringList({"w1.vsp", "w1-2.vsp", "w1-3.vsp"}));
}

void TestWaveText::readBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sections");
    QTest::addColumn<int>("samplingIndex");
    QTest::addColumn<QVector<double>>("ch1");
    QTest::addColumn<QVector<double>>("bit3");
    const QVector<double> none;
    QTest::newRow("saved wave, CH2 empty")
        << QStringLiteral("CH1,1,2,<*>\nCH2,<*>\nBit3,5,") << 3 << -1 << QVector<double>{1, 2} << QVector<double>{5};
    QTest::newRow("recording block") << QStringLiteral("12<*>\nCH1,7,<*>\n") + emptyTail + QStringLiteral("9<*>CH1,8,")
                                     << 10 << 12 << QVector<double>{7} << none;
    QTest::newRow("numbers that do not parse read as 0")
        << QStringLiteral("CH1,x,,3,nan,1e999,<*>") << 1 << -1 << QVector<double>{0, 0, 3, 0, 0} << none;
    QTest::newRow("extra, unknown and reordered sections")
        << QStringLiteral("3<*>Bit3,4,<*>\nFoo,9,<*>\nBit9,9,<*>\nCH1,1,<*>\n<*>\r<*>") << 2 << 3
        << QVector<double>{1} << QVector<double>{4};
    QTest::newRow("empty") << QString() << 0 << -1 << none << none;
    QTest::newRow("binary") << QString::fromLatin1("\x01\xff,\x00<*>,,", 9) << 0 << -1 << none << none;
}

void TestWaveText::readBack()
{
    QFETCH(QString, text);
    QFETCH(int, sections);
    bool ok = false;
    const WaveText::Frame frame = WaveText::readFrame(text, &ok);
    QCOMPARE(frame.sectionsRead, sections);
    QCOMPARE(ok, sections > 0);
    QTEST(frame.samplingIndex, "samplingIndex");
    QCOMPARE(frame.vectors.size(), 10);
    QTEST(frame.vectors.at(0), "ch1");
    QTEST(frame.vectors.at(5), "bit3");
    QVERIFY(frame.vectors.at(1).isEmpty());
}

void TestWaveText::recordingWrittenInPiecesReadsAsOne()
{
    QTemporaryDir dir;
    RecordingWriter writer(0); // pushed to the disk after every block
    // The folder is synced once, after the file is made; where it cannot be, the recording goes on.
    QStringList synced;
    writer.setFolderSync([&synced](const QString &folder, QString *) {
        synced << folder;
        return false;
    });
    QVERIFY(writer.open(dir.path(), QStringLiteral("record.vsp")));
    QString whole;
    for (int f = 0; f < 3; ++f) {
        const QString block = WaveText::recordingBlock(5 + f, Vectors(10, QVector<double>(4, 600.0 + f)));
        QVERIFY(writer.append(block));
        whole += block;
        // Read by another while still recording: everything so far is there.
        QFile partial(writer.fileName());
        QVERIFY(partial.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(partial.readAll()), whole);
    }
    QVERIFY(writer.close());
    QCOMPARE(synced, QStringList{dir.path()});
    QString why;
    QVERIFY(RecordingFile::syncFolder(dir.path(), &why) && !RecordingFile::syncFolder(writer.fileName(), &why));
    // A block no next one follows is pushed to the disk by the recorder's timer.
    RecordingWriter slow(20);
    QVERIFY(slow.open(dir.path(), QStringLiteral("slow.vsp")) && slow.append(QStringLiteral("3<*>\n")));
    QTest::qWait(30);
    QVERIFY(slow.syncIfDue());
    QCOMPARE(QFileInfo(slow.fileName()).size(), 5);

    // Whole; cut between blocks as by kill -9; cut short in its third frame (two frames and
    // what the third holds) and just after the third one's time base; junk appended; a huge
    // file without a frame end.
    const QByteArray bytes = whole.toUtf8();
    const int third = bytes.indexOf("7<*>");
    const QString cut = QStringLiteral("; the last block was cut short");
    const struct { QByteArray content; QVector<int> indices; int lastSections; QString summary; } files[] = {
        {bytes, {5, 6, 7}, 10, QStringLiteral("3 frames read")},
        {bytes.left(third), {5, 6}, 10, QStringLiteral("2 frames read")},
        {bytes.left(bytes.lastIndexOf("Bit2,")), {5, 6, 7}, 4, QStringLiteral("3 frames read") + cut},
        {bytes.left(third + 5), {5, 6}, 10, QStringLiteral("2 frames read") + cut},
        {bytes + "\n\x01junk", {5, 6, 7}, 10, QStringLiteral("3 frames read; junk after block 3 ignored")},
        {"8<*>\nCH1," + QByteArray(RecordingReader::maximumBlockBytes + (1 << 21), '1'), {}, 0,
         QStringLiteral("0 frames read; a frame longer than %1 bytes").arg(RecordingReader::maximumBlockBytes)}};
    for (const auto &f : files) {
        QFile file(dir.filePath(QStringLiteral("damaged.vsp")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(f.content) == f.content.size());
        file.close();
        RecordingReader reader;
        QVERIFY(reader.open(file.fileName()));
        QCOMPARE(reader.kind(), WaveText::Kind::Recording);
        QVector<int> indices;
        int last = 0;
        for (WaveText::Frame frame; reader.next(frame); last = frame.sectionsRead) {
            indices << frame.samplingIndex;
            QCOMPARE(frame.vectors.at(0).at(3), 600.0 + indices.size() - 1);
        }
        QCOMPARE(indices, f.indices);
        QCOMPARE(last, f.lastSections);
        QCOMPARE(reader.summary(), f.summary);
        QCOMPARE(reader.damaged(), f.summary.contains(QLatin1Char(';')));
    }
}

void TestWaveText::playbackHoldsTheTimeBasesThenRestores()
{
    WavePlayback playback;
    QVERIFY(playback.next().ended);
    // Time bases beyond the slider's ends are held to them; a frame of nine vectors ends the playing.
    const QVector<int> indices{3, 99, -4, 5};
    int taken = 0;
    playback.start(
        [&](int &index, QVector<QVector<double>> &frame) {
            if (taken == indices.size())
                return false;
            index = indices.at(taken);
            frame = QVector<QVector<double>>(taken == 3 ? 9 : 10, QVector<double>(4, 100.0 * taken));
            return ++taken > 0;
        },
        8);
    for (int expected : {3, 21, 0}) {
        const WavePlayback::Step step = playback.next();
        QVERIFY(!step.ended && step.frame.size() == 10);
        QCOMPARE(step.samplingIndex, expected);
        QCOMPARE(step.frame.last().first(), 100.0 * (taken - 1));
    }
    const WavePlayback::Step end = playback.next();
    QVERIFY(end.ended && end.frame.isEmpty() && !playback.active());
    QCOMPARE(end.samplingIndex, 8);
}

void TestWaveText::waveExportTakesOnlyTracesOfTheFramesLength()
{
    FrameExport::WaveScale scale;
    scale.samples = 768;
    scale.shown[0] = scale.shown[1] = scale.shown[2] = true;
    FrameExport::Capture capture;
    QString why;
    Vectors wave(10, QVector<double>(100, 640.0)); // a wave of another length: nothing to export
    QVERIFY(!FrameExport::waveCapture(wave, scale, QStringLiteral("w.vsp"), &capture, &why));
    QCOMPARE(why, QStringLiteral("the wave shown has no trace of 768 samples"));
    wave[1].fill(640.0, 768);
    QVERIFY(FrameExport::waveCapture(wave, scale, QStringLiteral("w.vsp"), &capture, &why));
    QVERIFY(!capture.hasCh1 && capture.hasCh2 && !capture.hasLogic);
}

QTEST_MAIN(TestWaveText)
#include "tst_wavetext.moc"
