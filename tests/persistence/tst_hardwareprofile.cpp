// SPDX-License-Identifier: GPL-3.0-only
// The hardware profile check, the device information lines, the message
// presenters, and the shipped data/hardware.xml and data/vsim.xml of the
// virtual instrument.

#include "common/testsupport.h"
#include "core/persistence/hardwareprofile.h"
#include "core/persistence/qxmlputget.h"
#include "ui/messagepresenter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray docType = "<?xml version=\"1.0\"?>\n<!DOCTYPE VeltoHardware>\n";

bool writeText(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A model "M", hardware 1 to 3, software 5 to 9, and its information file.
QString standardModel(const QString &file = QStringLiteral("m.xml"))
{
    return QStringLiteral("<M hardLo=\"1\" hardHi=\"3\" softLo=\"5\" softHi=\"9\" file=\"%1\"/>").arg(file);
}

using Messages = QVector<CriticalMessage>;

// The messages a check shows, by kind: 'h'ardware, 's'oftware, missing 'f'ile, unknown 'm'odel.
Messages expectedMessages(const QString &kinds, const QString &id, const QString &file)
{
    Messages out;
    for (const QChar kind : kinds) {
        if (kind == 'h')
            out << CriticalMessage{"Hardware", QStringLiteral("Hardware version (%1) not supported").arg(id)};
        else if (kind == 's')
            out << CriticalMessage{"Software", QStringLiteral("Software version (%1) not supported").arg(id)};
        else if (kind == 'f')
            out << CriticalMessage{"Software", QStringLiteral("Can't read file: ") + file};
        else if (kind == 'm')
            out << CriticalMessage{"Hardware", QStringLiteral("hardware (%1) not suported").arg(id)};
    }
    return out;
}

} // namespace

class TestHardwareProfile : public QObject
{
    Q_OBJECT

private slots:

    void initTestCase()
    {
        startDirectory = QDir::currentPath();
        // Tests run in a folder holding the files of data/ (tests/run-one.sh); run
        // by hand, they fall back to the source tree's data/.
        if (QFile::exists(QStringLiteral("hardware.xml")) && QFile::exists(QStringLiteral("vsim.xml")))
            dataDirectory = startDirectory;
        else
            dataDirectory = QFileInfo(QFINDTESTDATA("../../data/hardware.xml")).absolutePath();
        QVERIFY2(QFile::exists(QDir(dataDirectory).filePath(QStringLiteral("hardware.xml"))), qPrintable(dataDirectory));
    }
    void init()
    {
        work.reset(new QTemporaryDir);
        QVERIFY(QDir::setCurrent(work->path()));
        QVERIFY(writeText(QStringLiteral("m.xml"), docType + "<VeltoHardware/>"));
    }
    void cleanup()
    {
        QDir::setCurrent(startDirectory);
        work.reset();
    }
    void shippedProfileAndInformation()
    {
        QVERIFY(QDir::setCurrent(dataDirectory));
        const DeviceProfileCheck check = checkDeviceProfile(QStringLiteral("VSIM.2.7 Velto virtual bench"));
        QCOMPARE(QStringList({check.identification, check.model, check.deviceInfoFile}),
                 QStringList({"VSIM.2.7", "VSIM", "vsim.xml"}));
        QCOMPARE(QList<int>({check.code, check.hardwareVersion, check.softwareVersion, check.readDeviceInfo,
                             check.messages.size()}),
                 QList<int>({0, 2, 7, 1, 0}));
        // The shipped ranges, hardware 1 to 3 and software 5 to 9, and the zero padding the device sends.
        QList<int> codes;
        for (QString id : {"VSIM.1.5", "VSIM.3.9", "VSIM.0.7", "VSIM.4.7", "VSIM.2.4", "VSIM.2.10", "vsim.2.7"})
            codes << checkDeviceProfile(id + QStringLiteral(" Velto virtual bench") + QString(30, QChar(0))).code;
        QCOMPARE(codes, QList<int>({0, 0, 1, 1, 2, 2, 4}));
        QCOMPARE(identificationWord(QStringLiteral("A.1.2") + QChar(0) + QStringLiteral(" more")), QStringLiteral("A.1.2"));
        const QStringList lines = ::deviceInfoLines(QStringLiteral("vsim.xml"), quint8(0x0B)); // bit 2 clear
        QVERIFY2(lines.size() > 7 && lines.first().startsWith(QStringLiteral("    ")), qPrintable(lines.join('\n')));
        QCOMPARE(lines.mid(lines.size() - 5), QStringList({"Health status", "    Supply voltage: OK",
                                                           "    Reference voltage: OK", "    Temperature: Problem!",
                                                           "    Clock: OK"}));
    }
    void resultCodes_data()
    {
        QTest::addColumn<QString>("models");
        QTest::addColumn<QString>("identification");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("messages"); // see expectedMessages
        QTest::addColumn<QString>("file");     // named in the missing-file message
        const QString standard = standardModel();
        const QString gone = standardModel(QStringLiteral("gone.xml"));
        auto row = [](const char *name, const QString &models, const char *id, int code, const char *messages,
                      const char *file = "gone.xml") {
            QTest::newRow(name) << models << QString::fromLatin1(id) << code << QString::fromLatin1(messages)
                                << QString::fromLatin1(file);
        };
        // Each end of both ranges: in shippedProfileAndInformation.
        row("info file missing", gone, "M.2.7", 3, "f");
        row("no file attribute", "<M hardLo=\"1\" hardHi=\"3\" softLo=\"5\" softHi=\"9\"/>", "M.2.7", 3, "f", "");
        row("unknown model", standard, "Q.2.7", 4, "m");
        row("model is no tag name", standard, "1-bad.2.7", 4, "m");
        row("empty identification", standard, "", 4, "m");
        // Several failures: all shown, the last one decides the code.
        row("all three", gone, "M.9.1", 3, "hsf");
        // Missing or unreadable range attributes read as 0.
        const QString noSoftHi = "<M hardLo=\"1\" hardHi=\"3\" softLo=\"0\" file=\"m.xml\"/>";
        row("missing softHi rejects software 1", noSoftHi, "M.2.1", 2, "s");
        row("missing softHi accepts software 0", noSoftHi, "M.2.0", 0, "");
        row("range that does not parse",
            "<M hardLo=\"one\" hardHi=\"three\" softLo=\"5\" softHi=\"9\" file=\"m.xml\"/>", "M.1.7", 1, "h");
        // The identification word: up to the first space, its first three parts,
        // missing or unreadable versions read as 0.
        row("trailing text", standard, "M.3.7 and more text", 0, "");
        row("leading space", standard, " M.2.7", 4, "m");
        row("more than three parts", standard, "M.2.7.99", 0, "");
        row("version not a number", standard, "M.x.7", 1, "h");
        row("model only", standard, "M", 2, "hs");
        const QString zero = "<M hardLo=\"0\" hardHi=\"0\" softLo=\"0\" softHi=\"0\" file=\"m.xml\"/>";
        row("model only, zero ranges", zero, "M", 0, "");
        row("versions are decimal", zero, "M.0.a", 0, ""); // "a" would be 10 in a wider base
        row("second model", "<A hardLo=\"1\" hardHi=\"1\" softLo=\"1\" softHi=\"1\" file=\"m.xml\"/>" + standard, "M.2.7",
            0, "");
    }
    void resultCodes()
    {
        QFETCH(QString, models);
        QFETCH(QString, identification);
        QFETCH(int, code);
        QFETCH(QString, messages);
        QFETCH(QString, file);
        const QByteArray content = docType + "<VeltoHardware>" + models.toUtf8() + "</VeltoHardware>";
        QVERIFY(writeText(QStringLiteral("hardware.xml"), content));
        const DeviceProfileCheck check = checkDeviceProfile(identification);
        QCOMPARE(check.code, code);
        const Messages expected = expectedMessages(messages, identificationWord(identification), file);
        QCOMPARE(check.messages, expected);
        QCOMPARE(check.readDeviceInfo, code != ProfileInfoFileMissing && code != ProfileUnknownModel);
        // The same profile read whole beforehand gives the same answer.
        QXmlGet profile;
        QVERIFY(profile.fromData(content));
        const DeviceProfileCheck read = checkDeviceProfile(identification, profile);
        QVERIFY(read.code == code && read.messages == expected && read.deviceInfoPath == check.deviceInfoPath);
    }
    void profileFileProblems_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("kind"); // 0 a file, 1 no file at all, 2 a folder of that name
        QTest::addColumn<QString>("cause");
        QTest::newRow("other document type")
            << QByteArray("<!DOCTYPE hardware><hardware><M hardLo=\"1\" hardHi=\"3\" softLo=\"5\" softHi=\"9\" "
                          "file=\"m.xml\"/></hardware>")
            << 0 << "declares the document type \"hardware\", not \"VeltoHardware\"";
        QTest::newRow("no document type") << QByteArray("<VeltoHardware><M file=\"m.xml\"/></VeltoHardware>") << 0
                                          << "declares the document type \"\"";
        // A folder of that name is no data file: the search goes on past it.
        QTest::newRow("missing file") << QByteArray() << 1 << "Put it in one of these folders";
        QTest::newRow("a folder") << QByteArray() << 2 << "Put it in one of these folders";
        QTest::newRow("empty file") << QByteArray() << 0 << "The file hardware.xml is empty.";
        QTest::newRow("not XML") << QByteArray("VSIM 1 3 5 9 vsim.xml\n") << 0 << "is not well-formed XML: ";
        QTest::newRow("truncated") << docType + "<VeltoHardware>\n  <M hardLo=\"1\"" << 0 << "(line 4, column ";
        QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe<\x01\x02>\x80\x81<!DOCTYPE", 17) << 0
                                     << "is not well-formed XML: ";
        QTest::newRow("too large") << docType + "<VeltoHardware>" + standardModel().toUtf8() +
                                          QByteArray(int(maximumProfileBytes), ' ') + "</VeltoHardware>"
                                   << 0 << "more than the 1048576 a profile may have; it was not read.";
    }
    void profileFileProblems()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, kind);
        QFETCH(QString, cause);
        if (kind == 0)
            QVERIFY(writeText(QStringLiteral("hardware.xml"), content));
        else if (kind == 2)
            QVERIFY(QDir().mkdir(QStringLiteral("hardware.xml")));
        MessageCapture log;
        const DeviceProfileCheck check = checkDeviceProfile(QStringLiteral("M.2.7"));
        if (kind == 2)
            QDir().rmdir(QStringLiteral("hardware.xml"));
        QCOMPARE(check.code, int(ProfileWrongDocType));
        QCOMPARE(check.messages.size(), 1);
        QCOMPARE(check.messages.first().title, QStringLiteral("Hardware"));
        const QStringList text = check.messages.first().text.split(QLatin1Char('\n'));
        // A file that is not there is not called a wrong one.
        QVERIFY2(text.first().startsWith(kind == 0 ? QStringLiteral("Wrong doctype in hardware.xml!")
                                                   : QStringLiteral("hardware.xml not found in: ., ")),
                 qPrintable(text.first()));
        QVERIFY2(text.value(1).contains(cause), qPrintable(text.value(1)));
        QVERIFY(!check.readDeviceInfo);
        QVERIFY(check.deviceInfoFile.isEmpty());
    }
    void infoFileIsTakenAsWritten()
    {
        // Relative to the working directory, or absolute; read even when a version fails.
        QVERIFY(QDir().mkdir(QStringLiteral("sub")));
        QVERIFY(writeText(QStringLiteral("sub/info.xml"), QByteArray("<x/>")));
        const QString absolute = QDir(work->path()).filePath(QStringLiteral("sub/info.xml"));
        for (const QString &file : {QStringLiteral("sub/info.xml"), absolute}) {
            QVERIFY(writeText(QStringLiteral("other.xml"), docType + "<V>" + standardModel(file).toUtf8() + "</V>"));
            const DeviceProfileCheck check = checkDeviceProfile(QStringLiteral("M.9.10"), QStringLiteral("other.xml"));
            QCOMPARE(check.code, int(ProfileSoftwareNotSupported));
            QVERIFY(check.readDeviceInfo);
            QCOMPARE(check.deviceInfoFile, file);
        }
    }
    void presenters()
    {
        QVERIFY(writeText(QStringLiteral("hardware.xml"), docType + "<V>" + standardModel("gone.xml").toUtf8() + "</V>"));
        RecordingMessagePresenter recorder;
        showProfileMessages(checkDeviceProfile(QStringLiteral("M.9.1")), recorder);
        QCOMPARE(recorder.messages, expectedMessages("hsf", "M.9.1", "gone.xml"));
        // A scoped presenter takes the messages while it lives and puts the message box back.
        RecordingMessagePresenter scoped;
        {
            ScopedCriticalMessagePresenter install(&scoped);
            criticalMessagePresenter().showCritical(nullptr, "T", "one");
        }
        QCOMPARE(scoped.messages, (Messages{{"T", "one"}}));
        QVERIFY(dynamic_cast<MessageBoxPresenter *>(&criticalMessagePresenter()));
    }
    void deviceInfoLines_data()
    {
        QTest::addColumn<QByteArray>("content"); // the root's children
        QTest::addColumn<int>("health");         // -1: no health byte
        QTest::addColumn<QStringList>("lines");
        const QByteArray two = "<health><status code=\"0\">First</status><status code=\"1\">Second</status></health>";
        QTest::newRow("status by bit")
            << two << 0x01 << QStringList{"Health status", "    First: OK", "    Second: Problem!"};
        const QByteArray info = "<info><description>x</description></info>";
        QTest::newRow("no health byte") << info << -1 << QStringList();
        QTest::newRow("health byte 0") << info << 0 << QStringList{"    x"};
        QTest::newRow("info first, every element")
            << QByteArray("<health><status code=\"2\">H1</status></health>"
                          "<info><description>A</description><other>skip</other><description></description></info>"
                          "<info><description>B &amp; C</description></info>"
                          "<health><status>No code</status><status code=\"7\">Top bit</status></health>"
                          "<nested><info><description>not a child of the root</description></info></nested>")
            << 0x85
            << QStringList{"    A",         "    ",         "    B & C",         "Health status",
                           "    H1: OK",    "Health status", "    No code: OK", "    Top bit: OK"};
        QTest::newRow("codes outside the byte")
            << QByteArray("<health><status code=\"8\">Eight</status><status code=\"-1\">Negative</status>"
                          "<status code=\"99999\">Huge</status><status code=\"x\">Junk</status></health>")
            << 0xFF
            << QStringList{"Health status", "    Eight: Problem!", "    Negative: Problem!", "    Huge: Problem!",
                           "    Junk: OK"}; // a code that does not parse is 0
    }
    void deviceInfoLines()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, health);
        QFETCH(QStringList, lines);
        const std::optional<quint8> byte = health < 0 ? std::nullopt : std::optional<quint8>(quint8(health));
        QVERIFY(writeText(QStringLiteral("info.xml"), docType + "<d>" + content + "</d>"));
        QCOMPARE(::deviceInfoLines(QStringLiteral("info.xml"), byte), lines);
        QXmlGet read;
        QVERIFY(read.fromData(docType + "<d>" + content + "</d>"));
        QCOMPARE(::deviceInfoLines(read, byte), lines);
        // Without the document type, unreadable or missing: nothing.
        for (const QByteArray &bad : {"<!DOCTYPE hardware><d>" + content + "</d>", "<d>" + content + "</d>",
                                      docType + "<d>" + content.left(content.size() / 2), QByteArray()}) {
            QVERIFY(writeText(QStringLiteral("info.xml"), bad));
            QCOMPARE(::deviceInfoLines(QStringLiteral("info.xml"), quint8(0xFF)), QStringList());
            QXmlGet wrong;
            QVERIFY(!wrong.fromData(bad) || ::deviceInfoLines(wrong, quint8(0xFF)).isEmpty());
        }
        QCOMPARE(::deviceInfoLines(QStringLiteral("missing.xml"), quint8(0xFF)), QStringList());
    }

private:
    QString startDirectory;
    QString dataDirectory;
    QScopedPointer<QTemporaryDir> work;
};

QTEST_MAIN(TestHardwareProfile)
#include "tst_hardwareprofile.moc"
