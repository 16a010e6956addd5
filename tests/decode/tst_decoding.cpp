// SPDX-License-Identifier: GPL-3.0-only
// The decoding core on the virtual bench's bus wires: each decoder finds the
// bench's traffic where it is, a stacked decoder reads what the one below
// it says, and a decoder that fails says why without stopping the others.
#include "core/decode/decoderlibrary.h"
#include "core/decode/decodesession.h"
#include "core/scope/sigroksession.h"
#include "core/scope/tracebuilder.h"
#include "core/scope/wavetext.h"
#include "device/virtual/virtualbus.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using Decode::DecoderSetting;
using Settings = QVector<DecoderSetting>;
Q_DECLARE_METATYPE(Settings)

namespace {
// 7500 samples at 62.5 kS/s from `fromMs` on.
QVector<uint8_t> busWires(int fromMs)
{
    QVector<uint8_t> logic(7500);
    for (int i = 0; i < logic.size(); ++i)
        logic[i] = VirtualBus::levelsAt(int64_t(fromMs) * 1000000 + int64_t(i) * 16000);
    return logic;
}
DecoderSetting uart() { return {"uart", -1, {{"tx", 0}, {"rx", 1}}, {{"baudrate", 9600LL}, {"format", "ascii"},
                               {"tx_packet_delim", 10LL}, {"rx_packet_delim", 10LL}}}; }
DecoderSetting spi() { return {"spi", -1, {{"clk", 2}, {"mosi", 3}, {"miso", 4}, {"cs", 5}}, {}}; }
DecoderSetting i2c() { return {"i2c", -1, {{"scl", 6}, {"sda", 7}}, {}}; }

QStringList sigrokCli(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("sigrok-cli"), arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}
} // namespace

class TestDecoding : public QObject
{
    Q_OBJECT
private slots:
    void busTraffic_data();
    void busTraffic();
    void thousandFramesInARow();
    void sigrokReadsTheSessionAndDecodesAlike();
    void recordingBecomesOneSession();
    void cleanupTestCase() { Decode::Library::finalize(); }
};

void TestDecoding::busTraffic_data()
{
    QTest::addColumn<int>("fromMs");
    QTest::addColumn<Settings>("settings");
    // Per setting, texts that must be among its annotations ("!" and the
    // start of the error it must report instead).
    QTest::addColumn<QStringList>("expected");
    DecoderSetting slowUart = uart();
    slowUart.options["baudrate"] = 0LL;
    DecoderSetting noClock = spi();
    noClock.channels.remove("clk");
    QTest::newRow("three buses at once") << 99 << Settings{uart(), spi(), i2c()}
        << QStringList{"VSIM uart line 0000[0D][0A]|OK[0D][0A]", "9F|00|FF|EF|40|18",
                       "Write|Address write: 50|Read|Address read: 50|Data write: 10|Data read: 4D|NACK|Start repeat|Stop"};
    QTest::newRow("nobody answers at 0x51") << 200 << Settings{i2c()} << QStringList{"Address write: 51|NACK|Stop"};
    QTest::newRow("EEPROM on I2C") << 99 << Settings{i2c(), {"eeprom24xx", 0, {}, {{"chip", "microchip_24lc64"}}}}
        << QStringList{"NACK", "Sequential random read (addr=0010, 4 bytes): 56 53 49 4D"};
    QTest::newRow("a decoder fails, the others go on") << 100 << Settings{slowUart, noClock, i2c()}
        << QStringList{"!Traceback", "!assign a logic bit to CLK", "Stop"};
    QTest::newRow("stacked on nothing, unknown decoder") << 100 << Settings{{"eeprom24xx", -1, {}, {}}, {"nonesuch", -1, {}, {}}}
        << QStringList{"!stack it on one", "!no decoder \"nonesuch\""};
}

void TestDecoding::busTraffic()
{
    QFETCH(int, fromMs);
    QFETCH(Settings, settings);
    QFETCH(QStringList, expected);
    const QVector<uint8_t> logic = busWires(fromMs);
    Decode::FrameDecoding out;
    Decode::decodeFrame(settings, logic.constData(), logic.size(), 62500, &out);
    QCOMPARE(out.errors.size(), settings.size());
    for (int d = 0; d < settings.size(); ++d) {
        QStringList texts;
        for (const Decode::Annotation &a : out.annotations) {
            if (a.decoder == d)
                texts += a.texts;
            QVERIFY(a.start <= a.end && a.start < logic.size());
        }
        if (expected[d].startsWith('!')) {
            QVERIFY2(out.errors[d].contains(expected[d].mid(1)), qPrintable(out.errors.join('#')));
            continue;
        }
        QVERIFY2(out.errors[d].isEmpty(), qPrintable(out.errors[d]));
        for (const QString &t : expected[d].split('|'))
            QVERIFY2(texts.contains(t), qPrintable(t + " not in " + texts.join(' ')));
    }
}

// The library loses references to Python's True and False as it decodes:
// a live scope's stream of frames must not wear them out.
void TestDecoding::thousandFramesInARow()
{
    const QVector<uint8_t> logic = busWires(99).mid(0, 600);
    Decode::FrameDecoding out;
    for (int frame = 0; frame < 1000; ++frame)
        Decode::decodeFrame({spi()}, logic.constData(), logic.size(), 62500, &out);
    QVERIFY(out.errors.value(0).isEmpty() && !out.annotations.isEmpty());
}

// The proof that Velto writes sessions sigrok reads and decodes as sigrok
// does: a frame of the bus wires with CH1 and CH2, written as .sr, read
// back by sigrok-cli (channels, rate, every sample) and decoded by it with
// the same decoders: the same texts at the same sample numbers.
void TestDecoding::sigrokReadsTheSessionAndDecodesAlike()
{
    if (QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty())
        QSKIP("sigrok-cli is not installed");
    FrameExport::Capture capture;
    capture.source = QStringLiteral("live frame 1");
    capture.hasCh1 = capture.hasCh2 = capture.hasLogic = true;
    capture.logic = busWires(99);
    capture.samples = capture.logic.size();
    capture.samplingIndex = 5; // 16 µs a sample
    for (int k = 0; k < capture.samples; ++k) {
        capture.volts[0].append(std::sin(k / 50.0) * 3.2);
        capture.volts[1].append(k % 100 < 50 ? 2.0 : -0.25);
    }
    QByteArray file;
    QString why;
    QVERIFY(SigrokSession::toSessionFile({capture}, QDateTime::currentDateTime(), &file, &why));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("velto frame.sr"));
    QVERIFY(FrameExport::saveAtomically(path, file, &why));

    const QStringList show = sigrokCli({"-i", path, "--show"});
    QVERIFY2(show.contains("Samplerate: 62500") && show.contains("- D7: logic") && show.contains("- CH1: analog") &&
                 show.contains("- CH2: analog"),
             qPrintable(show.join('\n')));
    // The logic bits through the CSV output, the volts through the analog
    // one (this sigrok's CSV output misplaces analog columns beside logic).
    QStringList rows = sigrokCli({"-i", path, "-O", "csv", "-C", "D0,D1,D2,D3,D4,D5,D6,D7"}).filter(QRegularExpression("^[01],"));
    QCOMPARE(rows.size(), capture.samples);
    for (int k = 0; k < capture.samples; ++k) {
        int byte = 0;
        for (int b = 0; b < 8; ++b)
            byte |= rows[k].section(',', b, b).toInt() << b;
        QCOMPARE(byte, int(capture.logic[k]));
    }
    for (int ch = 0; ch < 2; ++ch) {
        const QString name = ch ? "CH2: " : "CH1: ";
        rows = sigrokCli({"-i", path, "-O", "analog", "-C", name.left(3)}).filter(name);
        QCOMPARE(rows.size(), capture.samples);
        for (int k = 0; k < capture.samples; ++k)
            QVERIFY(qAbs(rows[k].section(' ', 1, 1).toDouble() - capture.volts[ch][k]) <= 0.0051);
    }

    const Settings settings{uart(), spi(), i2c()};
    Decode::FrameDecoding out;
    Decode::decodeFrame(settings, capture.logic.constData(), capture.samples, 62500, &out);
    const QStringList options{"uart:tx=D0:rx=D1:baudrate=9600:format=ascii:tx_packet_delim=10:rx_packet_delim=10",
                              "spi:clk=D2:mosi=D3:miso=D4:cs=D5", "i2c:scl=D6:sda=D7"};
    for (int d = 0; d < settings.size(); ++d) {
        QStringList velto;
        for (const Decode::Annotation &a : out.annotations)
            if (a.decoder == d)
                velto << QStringLiteral("%1-%2 %3").arg(a.start).arg(a.end).arg(a.texts.value(0));
        QStringList sigrok;
        for (const QString &line : sigrokCli({"-i", path, "-P", options[d], "-A", settings[d].id, "--protocol-decoder-samplenum"}))
            sigrok << line.section(' ', 0, 0) + ' ' + line.section(": ", 1);
        velto.sort();
        sigrok.sort();
        QVERIFY(velto.size() > 50);
        QCOMPARE(velto, sigrok);
    }
}

// Every frame of a recording, one chunk each, in order; a file that is no
// recording is refused with its name.
void TestDecoding::recordingBecomesOneSession()
{
    if (QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty())
        QSKIP("sigrok-cli is not installed");
    FrameExport::WaveScale scale;
    scale.shown[2] = true;
    scale.logicSize = 20;
    QTemporaryDir dir;
    QFile recording(dir.filePath("r.vsp"));
    QVERIFY(recording.open(QIODevice::WriteOnly));
    QVector<uint8_t> written;
    for (int block = 0; block < 3; ++block) {
        QVector<QVector<double>> wave(10);
        for (int k = 0; k < 300; ++k) {
            const uint8_t byte = uint8_t(block * 77 + k);
            written << byte;
            for (int b = 0; b < 8; ++b)
                wave[2 + b] << TraceBuilder::logicBitPos0(b, 0, 20) + ((byte >> b) & 1 ? 30 : 0);
        }
        recording.write(WaveText::recordingBlock(5, wave).toUtf8());
    }
    recording.close();
    QByteArray file;
    QString why;
    QVERIFY(!SigrokSession::recordingToSessionFile(dir.filePath("none.vsp"), scale, QDateTime(), &file, &why));
    QVERIFY(SigrokSession::recordingToSessionFile(recording.fileName(), scale, QDateTime::currentDateTime(), &file, &why));
    QVERIFY(FrameExport::saveAtomically(dir.filePath("r.sr"), file, &why));
    const QStringList rows = sigrokCli({"-i", dir.filePath("r.sr"), "-O", "csv"}).filter(QRegularExpression("^[01],"));
    QCOMPARE(rows.size(), written.size());
    for (int k = 0; k < rows.size(); ++k) {
        int byte = 0;
        for (int b = 0; b < 8; ++b)
            byte |= rows[k].section(',', b, b).toInt() << b;
        QCOMPARE(byte, int(written[k]));
    }
}

QTEST_GUILESS_MAIN(TestDecoding)
#include "tst_decoding.moc"
