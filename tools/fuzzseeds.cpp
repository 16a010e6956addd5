// SPDX-License-Identifier: GPL-3.0-only
// Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/) from
// real inputs: scope and sniffer frames and meter reads of the virtual
// instrument, the profile files of data/, a document written by QXmlPut, a
// custom waveform file, frames of plot values from a real frame written as a
// saved wave and a recording, and the device settings file as saving
// writes it. The settings bytes each target reads in front of its input are
// chosen to match the input, so that the seeds pass the checks they are
// meant for.
//
// Usage: velto_fuzzseeds <fuzz/corpus folder> <data folder>

#include "core/device/frames.h"
#include "device/virtual/virtualinstrument.h"
#include "core/persistence/devicesettingskeys.h"
#include "core/persistence/qxmlputget.h"
#include "core/scope/recordingfile.h"
#include "core/scope/tracebuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtMath>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

QString corpus;

bool save(const QString &target, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(corpus + QLatin1Char('/') + target);
    QFile file(corpus + QLatin1Char('/') + target + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    return true;
}

struct Bench {
    VirtualInstrument vi;
    Bench() { vi.useTestClock(true); }
    void write(int entry, int value) { vi.control(0x41, uint16_t(entry), uint16_t(value), nullptr, 0); }
    void run(int index) { vi.control(0x44, uint16_t(index), 0, nullptr, 0); }
    QByteArray frame()
    {
        std::vector<unsigned char> buffer(16384);
        for (int waited = 0; waited < 5000; ++waited) {
            const int n = vi.takeFrame(buffer.data(), int(buffer.size()));
            if (n > 0)
                return QByteArray(reinterpret_cast<const char *>(buffer.data()), n);
            vi.advanceClock(1000);
        }
        return QByteArray();
    }
    QByteArray meterRead()
    {
        QByteArray data(Frames::meterReadLength, '\0');
        const int n = vi.control(0x47, 1, 0, reinterpret_cast<unsigned char *>(data.data()), data.size());
        return data.left(qMax(0, n));
    }
};

struct ScopeCase {
    const char *name;
    int mask;   // trace boxes
    int blocks; // entry 25
    int sampling;
    bool roll;
};

// Frames of the bench's generator loopback, probe square wave and counter.
QByteArray scopeFrame(const ScopeCase &c)
{
    Bench b;
    b.write(0, 0);
    b.write(2, 1);
    b.write(31, 0);
    b.write(30, 200);
    b.vi.control(0x46, 0x86A0, 0x0001, nullptr, 0);
    b.write(1, c.sampling);
    b.write(3, c.mask & 1);
    b.write(4, (c.mask >> 1) & 1);
    b.write(5, (c.mask >> 2) & 1);
    b.write(25, c.blocks);
    b.write(10, c.roll ? 1 : 0);
    b.write(7, 0);
    b.run(2);
    return b.frame();
}

QByteArray snifferFrame(int protocol)
{
    Bench b;
    for (const auto &e : {std::make_pair(21, protocol), {12, 0}, {22, 27}, {23, 0}, {10, 0}, {0, 1}})
        b.write(e.first, e.second);
    b.run(5);
    b.vi.advanceClock(400000);
    for (int i = 0; i < 200; ++i) {
        const QByteArray f = b.frame();
        if (f.size() >= Frames::snifferMinimumLength && uint8_t(f[4]) + uint8_t(f[5]) > 40)
            return f;
    }
    return QByteArray();
}

int scopeSeeds()
{
    const ScopeCase cases[] = {
        {"ch1-ch2-256", 3, 1, 8, false},   {"all-512", 7, 2, 6, false}, {"ch1-768-roll", 1, 3, 12, true},
        {"logic-256", 4, 1, 10, false},    {"none", 0, 1, 8, false},
    };
    int written = 0;
    for (const ScopeCase &c : cases) {
        const QByteArray frame = scopeFrame(c);
        if (frame.size() < Frames::scopeOverhead || frame[0] != 'A') {
            std::fprintf(stderr, "no scope frame for %s\n", c.name);
            continue;
        }
        frameconfig_t header;
        Frames::parseScopeHeader(&header, reinterpret_cast<const unsigned char *>(frame.constData()));
        const int bufferIndex = qMax(0, header.samplesPerChannel / 256 - 1);
        QByteArray seed;
        seed.append(char((c.mask & 7) | (c.roll ? 0x08 : 0)));
        seed.append(char(bufferIndex | 0x30));
        written += save(QStringLiteral("scopeframe"), QString::fromLatin1(c.name), seed + frame);
    }
    return written;
}

int snifferSeeds()
{
    const char *names[] = {"spi", "i2c", "uart", "parallel"};
    int written = 0;
    for (int protocol = 0; protocol < 4; ++protocol) {
        const QByteArray frame = snifferFrame(protocol);
        if (frame.isEmpty()) {
            std::fprintf(stderr, "no sniffer frame for %s\n", names[protocol]);
            continue;
        }
        // Hexadecimal, ring order, synchro on the UART; an earlier frame with
        // smaller counts and no number in common.
        QByteArray seed;
        seed.append(char(protocol == 2 ? 0x06 : 0x02));
        seed.append("\xff\xff\x01\x00\x01\x00", 6);
        written += save(QStringLiteral("snifferframe"), QString::fromLatin1(names[protocol]), seed + frame);
    }
    return written;
}

int meterSeeds()
{
    int written = 0;
    const std::pair<const char *, int> modes[] = {{"ac", 2}, {"dc", 3}, {"frequency", 4}, {"period", 6}};
    for (const auto &m : modes) {
        Bench b;
        b.write(2, 1);
        b.write(3, 1);
        b.write(4, 1);
        b.write(0, m.second);
        b.run(0);
        b.vi.advanceClock(1200000);
        const QByteArray read = b.meterRead();
        written += save(QStringLiteral("meterread"), QString::fromLatin1(m.first), read);
        if (m.second == 2)
            written += save(QStringLiteral("meterread"), QStringLiteral("short"), read.left(20));
    }
    return written;
}

// A document with every kind of value the reader converts, as QXmlPut writes it.
QByteArray writtenDocument()
{
    QXmlPut xml(QStringLiteral("VeltoHardware"), QStringLiteral("1.0"), QStringLiteral("UTF-8"), true);
    xml.putString(QStringLiteral("text"), QStringLiteral("CH1 < CH2 & more"));
    xml.putInt(QStringLiteral("int"), -42);
    xml.putDouble(QStringLiteral("double"), 3.25e-3);
    xml.putBool(QStringLiteral("bool"), true);
    xml.putColor(QStringLiteral("color"), QColor(10, 20, 30, 40));
    xml.putRect(QStringLiteral("rect"), QRect(1, 2, 3, 4));
    xml.putByteArray(QStringLiteral("bytes"), QByteArray("\x00\x01\x02velto", 8));
    xml.putStringList(QStringLiteral("list"), {QStringLiteral("a"), QStringLiteral("b")});
    xml.putIntVector(QStringLiteral("ints"), {1, -2, 3});
    xml.putDoubleVector(QStringLiteral("doubles"), {0.5, -1.5});
    xml.descend(QStringLiteral("VSIM"));
    xml.setAttributeInt(QStringLiteral("hardLo"), 1);
    xml.setAttributeString(QStringLiteral("file"), QStringLiteral("vsim.xml"));
    xml.rise();
    return xml.toString().toUtf8();
}

int xmlSeeds(const QString &dataDir)
{
    int written = 0;
    const QByteArray identification = "VSIM.2.7 Velto virtual bench\n";
    for (const char *name : {"hardware.xml", "vsim.xml"}) {
        QFile file(dataDir + QLatin1Char('/') + QLatin1String(name));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
            continue;
        }
        written += save(QStringLiteral("xml"), QString::fromLatin1(name), "\x0b" + identification + file.readAll());
    }
    written += save(QStringLiteral("xml"), QStringLiteral("written.xml"), "\x0f" + identification + writtenDocument());
    return written;
}

int waveformSeeds()
{
    QByteArray sine;
    for (int i = 0; i < 512; ++i)
        sine += QByteArray::number(qRound(2048 + 2047 * qSin(2 * M_PI * i / 512))) + (i % 16 == 15 ? ",\n" : ",");
    QByteArray ramp = "0, 512,1024,,1536\r\n2048,4095,-1,70000,x,\n";
    return save(QStringLiteral("waveformcsv"), QStringLiteral("sine"), sine) +
           save(QStringLiteral("waveformcsv"), QStringLiteral("ragged"), ramp);
}

// The ten vectors of plot values the display keeps of a real frame, 16
// values each: seeds small enough for quick executions.
QVector<QVector<double>> plotVectors()
{
    const QByteArray frame = scopeFrame({"wave", 7, 1, 8, false});
    TraceBuilder traces;
    if (traces.build(reinterpret_cast<const unsigned char *>(frame.constData()), frame.size(), TraceSettings()) !=
        TraceVerdict::Built) {
        std::fprintf(stderr, "no frame for the wave seeds\n");
        return {};
    }
    QVector<QVector<double>> vectors{traces.ch1().mid(0, 16), traces.ch2().mid(0, 16)};
    for (int bit = 0; bit < TraceBuilder::logicBits; ++bit)
        vectors.append(traces.logic(bit).mid(0, 16));
    return vectors;
}

int waveSeeds()
{
    const QVector<QVector<double>> vectors = plotVectors();
    if (vectors.isEmpty())
        return 0;
    QByteArray seed(1, char(8));
    for (int f = 0; f < 2; ++f) {
        seed.append(char(f == 0 ? 8 : 30));
        for (const QVector<double> &v : vectors) {
            const int count = qMin(16, v.size());
            seed.append(char(count));
            for (int i = 0; i < count; ++i)
                seed.append(reinterpret_cast<const char *>(&v[i]), sizeof(double));
        }
    }
    return save(QStringLiteral("wave"), QStringLiteral("two-frames"), seed);
}

// A saved wave file, a recording of three frames as RecordingWriter leaves
// it, and the same recording cut short in its last frame.
int recordingSeeds()
{
    const QVector<QVector<double>> vectors = plotVectors();
    QTemporaryDir folder;
    RecordingWriter writer;
    if (vectors.isEmpty() || !folder.isValid() || !writer.open(folder.path(), QStringLiteral("seed.vsp")))
        return 0;
    for (int sampling : {8, 8, 12})
        writer.append(WaveText::recordingBlock(sampling, vectors));
    const QString path = writer.fileName();
    writer.close();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray recording = file.readAll();
    return save(QStringLiteral("recording"), QStringLiteral("wave.vsp"), WaveText::waveToFile(vectors).toUtf8()) +
           save(QStringLiteral("recording"), QStringLiteral("three-frames.vsp"), recording) +
           save(QStringLiteral("recording"), QStringLiteral("cut-short.vsp"), recording.left(recording.size() * 5 / 6));
}

// The device settings as saving writes them (every key at its default),
// and the same file with values a hand edit leaves: out of range, not a
// number, a word in the wrong case, a list.
int settingsSeeds()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("settings.ini"));
    {
        QSettings store(path, QSettings::IniFormat);
        for (const DeviceSettingsKeys::Key &key : DeviceSettingsKeys::keys())
            DeviceSettingsKeys::write(store, key,
                                      key.kind == DeviceSettingsKeys::Kind::Word
                                          ? QVariant(key.words.indexOf(key.fallback.toString()))
                                          : key.fallback);
    }
    QFile file(path);
    if (!folder.isValid() || !file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray saved = file.readAll();
    // Numeric controls 0 to 200, combo boxes of eight choices.
    const QByteArray ranges("\x00\xc8\x08", 3);
    QByteArray edited = saved;
    edited.replace("Gain=0", "Gain=1e9").replace("Position=128", "Position=abc").replace("Math=Multiply", "Math=multiply");
    edited.replace("Trace=true", "Trace=yes, no");
    return save(QStringLiteral("settings"), QStringLiteral("saved.ini"), ranges + saved) +
           save(QStringLiteral("settings"), QStringLiteral("edited.ini"), ranges + edited);
}

} // namespace

int main(int argc, char **argv)
{
    // Attributes come out in hash order: a fixed seed writes the same seeds every time.
    qputenv("QT_HASH_SEED", "0");
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: velto_fuzzseeds <fuzz/corpus folder> <data folder>\n");
        return 2;
    }
    corpus = QString::fromLocal8Bit(argv[1]);
    const int written = scopeSeeds() + snifferSeeds() + meterSeeds() + xmlSeeds(QString::fromLocal8Bit(argv[2])) +
                        waveformSeeds() + waveSeeds() + recordingSeeds() + settingsSeeds();
    std::printf("%d seeds written to %s\n", written, qPrintable(corpus));
    return written > 0 ? 0 : 1;
}
