// The wave and recording files: the exact text written, what is read back
// from good and damaged files, the names, and the recording written in pieces.
#include "scope/recordingfile.h"

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
    void writtenText();
    void readBack_data();
    void readBack();
    void namesNeverOverwrite();
    void recordingWrittenInPiecesReadsAsOne();
};

void TestWaveText::writtenText()
{
    QCOMPARE(WaveText::formatValue(640), QStringLiteral("640"));
    QCOMPARE(WaveText::formatValue(838.4), QStringLiteral("838.4"));
    QCOMPARE(WaveText::formatValue(838.4375), QStringLiteral("838.438"));
    QCOMPARE(WaveText::formatValue(1e7), QStringLiteral("1e+07"));
    // Three samples, CH1 alone, at time base 8.
    const Vectors ch1Only{{640, 641.5, 643}};
    QCOMPARE(WaveText::recordingBlock(8, ch1Only), QStringLiteral("8<*>\nCH1,640,641.5,643,<*>\n") + emptyTail);
    QString file = QStringLiteral("CH1,640,641.5,643,<*>\n") + emptyTail;
    file.chop(QStringLiteral("<*>\n----------").size());
    QCOMPARE(WaveText::waveToFile(ch1Only), file);
    QCOMPARE(WaveText::recognise(file.toUtf8()), WaveText::Kind::Wave);
    QCOMPARE(WaveText::recognise("8<*>\nCH1,"), WaveText::Kind::Recording);
    QCOMPARE(WaveText::recognise("\x7f" "ELF\x02\x01<*>"), WaveText::Kind::Unknown);
}

void TestWaveText::readBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sections");
    QTest::addColumn<int>("samplingIndex");
    QTest::addColumn<QVector<double>>("ch1");
    QTest::addColumn<QVector<double>>("bit3");
    const QVector<double> none;
    QTest::newRow("saved wave, CH2 empty") << QStringLiteral("CH1,1,2,<*>\nCH2,<*>\nBit3,5,") << 3 << -1
                                           << QVector<double>{1, 2} << QVector<double>{5};
    QTest::newRow("recording block") << QStringLiteral("12<*>\nCH1,7,<*>\n") + emptyTail + QStringLiteral("9<*>CH1,8,")
                                     << 10 << 12 << QVector<double>{7} << none;
    QTest::newRow("numbers that do not parse read as 0")
        << QStringLiteral("CH1,x,,3,nan,1e999,<*>") << 1 << -1 << QVector<double>{0, 0, 3, 0, 0} << none;
    QTest::newRow("truncated in a number") << QStringLiteral("CH1,640,64") << 1 << -1 << QVector<double>{640} << none;
    QTest::newRow("extra and unknown sections")
        << QStringLiteral("CH1,1,<*>\nFoo,9,<*>\nBit9,9,<*>\nBit3,4,<*>\n<*>\r<*>") << 2 << -1 << QVector<double>{1}
        << QVector<double>{4};
    QTest::newRow("sections out of order") << QStringLiteral("3<*>Bit3,2,<*>CH1,1,") << 2 << 3 << QVector<double>{1}
                                           << QVector<double>{2};
    QTest::newRow("empty") << QString() << 0 << -1 << none << none;
    QTest::newRow("binary") << QString::fromLatin1("\x01\xff,\x00<*>,,", 9) << 0 << -1 << none << none;
}

void TestWaveText::readBack()
{
    QFETCH(QString, text);
    bool ok = false;
    const WaveText::Frame frame = WaveText::readFrame(text, &ok);
    QFETCH(int, sections);
    QCOMPARE(frame.sectionsRead, sections);
    QCOMPARE(ok, sections > 0);
    QTEST(frame.samplingIndex, "samplingIndex");
    QCOMPARE(frame.vectors.size(), 10);
    QTEST(frame.vectors.at(0), "ch1");
    QTEST(frame.vectors.at(5), "bit3");
    QVERIFY(frame.vectors.at(1).isEmpty());
}

void TestWaveText::namesNeverOverwrite()
{
    QCOMPARE(WaveText::waveFileName(QTime(14, 35, 12)), QStringLiteral("waveFile143512.vsp"));
    QCOMPARE(WaveText::screenShotName(QTime(9, 5, 2)), QStringLiteral("screenShot090502.png"));
    QCOMPARE(WaveText::recordFileName(QDateTime(QDate(2026, 12, 5), QTime(14, 35, 12))),
             QStringLiteral("record2026-12-0514-35-12.vsp"));
    QTemporaryDir dir;
    QStringList made;
    for (int k = 0; k < 3; ++k) {
        QFile file;
        QVERIFY(RecordingFile::createNew(file, dir.path(), QStringLiteral("waveFile143512.vsp")));
        made << QFileInfo(file.fileName()).fileName();
    }
    QCOMPARE(made, QStringList({"waveFile143512.vsp", "waveFile143512-2.vsp", "waveFile143512-3.vsp"}));
    QFile nowhere;
    QVERIFY(!RecordingFile::createNew(nowhere, dir.filePath(QStringLiteral("gone")), QStringLiteral("a.vsp")));
}

void TestWaveText::recordingWrittenInPiecesReadsAsOne()
{
    QTemporaryDir dir;
    RecordingWriter writer(0); // pushed to the disk after every block
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

    RecordingReader reader;
    QVERIFY(reader.open(dir.filePath(QStringLiteral("record.vsp"))));
    QCOMPARE(reader.kind(), WaveText::Kind::Recording);
    WaveText::Frame frame;
    QVector<int> indices;
    int vectors = 0;
    while (reader.next(frame)) {
        indices << frame.samplingIndex;
        vectors += frame.vectors.size();
        QCOMPARE(frame.vectors.at(9).at(3), 600.0 + indices.size() - 1);
    }
    QCOMPARE(indices, QVector<int>({5, 6, 7}));
    QCOMPARE(vectors, 30);

    // A recording cut short in its third frame: two whole frames and what the third holds.
    QFile cut(dir.filePath(QStringLiteral("cut.vsp")));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(whole.left(whole.lastIndexOf(QStringLiteral("Bit2,"))).toUtf8());
    cut.close();
    QVERIFY(reader.open(cut.fileName()));
    int frames = 0;
    while (reader.next(frame))
        ++frames;
    QCOMPARE(frames, 3);
    QCOMPARE(frame.sectionsRead, 4);
    QVERIFY(frame.vectors.at(4).isEmpty());

    // A huge file without a frame end is refused once its first "frame" is too long.
    QFile huge(dir.filePath(QStringLiteral("huge.vsp")));
    QVERIFY(huge.open(QIODevice::WriteOnly));
    huge.write("8<*>\nCH1,");
    huge.write(QByteArray(RecordingReader::maximumBlockBytes + 2 * 1024 * 1024, '1'));
    huge.close();
    QVERIFY(reader.open(huge.fileName()));
    QVERIFY(!reader.next(frame));
    QVERIFY(reader.errorString().contains(QStringLiteral("longer")));
}

QTEST_MAIN(TestWaveText)
#include "tst_wavetext.moc"
