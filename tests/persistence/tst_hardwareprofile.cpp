// The hardware profile check, the device information lines, the message
// presenters, and the shipped data/hardware.xml and
// data/vsim.xml of the virtual instrument.

#include "persistence/hardwareprofile.h"
#include "persistence/logcapture.h"
#include "ui/messagepresenter.h"
#include "persistence/qxmlputget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QString profileHeader =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE VeltoHardware>\n<VeltoHardware>\n");
const QString profileFooter = QStringLiteral("</VeltoHardware>\n");

bool writeText(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

// A profile with one model "M", hardware 1 to 3, software 5 to 9 and an existing info file.
QString standardModel(const QString &file = QStringLiteral("m.xml"))
{
    return QStringLiteral("  <M hardLo=\"1\" hardHi=\"3\" softLo=\"5\" softHi=\"9\" file=\"%1\"/>\n")
        .arg(file);
}

CriticalMessage hardwareVersion(const QString &id)
{
    return {QStringLiteral("Hardware"), QStringLiteral("Hardware version (%1) not supported").arg(id)};
}

CriticalMessage softwareVersion(const QString &id)
{
    return {QStringLiteral("Software"), QStringLiteral("Software version (%1) not supported").arg(id)};
}

CriticalMessage fileMissing(const QString &file)
{
    return {QStringLiteral("Software"), QStringLiteral("Can't read file: ") + file};
}

CriticalMessage unknownModel(const QString &id)
{
    return {QStringLiteral("Hardware"), QStringLiteral("hardware (%1) not suported").arg(id)};
}

const CriticalMessage wrongDocType{QStringLiteral("Hardware"),
                                   QStringLiteral("Wrong doctype in hardware.xml!")};

QString describe(const QVector<CriticalMessage> &messages)
{
    QStringList parts;
    for (const CriticalMessage &m : messages)
        parts << m.title + QStringLiteral(" / ") + m.text;
    return parts.join(QStringLiteral(" | "));
}

} // namespace

Q_DECLARE_METATYPE(QVector<CriticalMessage>)

class TestHardwareProfile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // The shipped files and the virtual instrument.
    void shippedProfileAcceptsTheVirtualInstrument();
    void shippedProfileRanges_data();
    void shippedProfileRanges();
    void shippedDeviceInformation();

    // The result codes.
    void resultCodes_data();
    void resultCodes();
    void profileFileProblems_data();
    void profileFileProblems();
    void infoFileIsReadEvenWhenVersionsFail();
    void identificationWord();

    // Messages.
    void messagesShownInOrderThroughThePresenter();
    void scopedPresenterInstallsAndRestores();
    void messageBoxHasOneOkButton();

    // Device information lines.
    void healthBitsDecideOkOrProblem();
    void noHealthByteShowsNothing();
    void infoFileMustHaveTheDocType_data();
    void infoFileMustHaveTheDocType();
    void infoBeforeHealthAndEveryElement();
    void statusCodesOutsideTheByte();

private:
    QString startDirectory;
    QString dataDirectory;
    QScopedPointer<QTemporaryDir> work;
    void writeProfile(const QString &models);
};

void TestHardwareProfile::initTestCase()
{
    startDirectory = QDir::currentPath();
    // Tests run in a folder holding the files of data/ (tests/run-one.sh), like
    // the application; run by hand, they fall back to the source tree's data/.
    if (QFile::exists(QStringLiteral("hardware.xml")) && QFile::exists(QStringLiteral("vsim.xml")))
        dataDirectory = startDirectory;
    else
        dataDirectory = QFileInfo(QFINDTESTDATA("../../data/hardware.xml")).absolutePath();
    QVERIFY2(QFile::exists(QDir(dataDirectory).filePath(QStringLiteral("hardware.xml"))),
             qPrintable(dataDirectory));
}

void TestHardwareProfile::init()
{
    work.reset(new QTemporaryDir);
    QVERIFY(work->isValid());
    QVERIFY(QDir::setCurrent(work->path()));
    QVERIFY(writeText(QStringLiteral("m.xml"), (profileHeader + profileFooter).toUtf8()));
}

void TestHardwareProfile::cleanup()
{
    QDir::setCurrent(startDirectory);
    work.reset();
}

void TestHardwareProfile::writeProfile(const QString &models)
{
    QVERIFY(writeText(QStringLiteral("hardware.xml"), (profileHeader + models + profileFooter).toUtf8()));
}

// ---------------------------------------------------------------------------
// Shipped files

void TestHardwareProfile::shippedProfileAcceptsTheVirtualInstrument()
{
    QVERIFY(QDir::setCurrent(dataDirectory));
    const DeviceProfileCheck check = checkDeviceProfile(QStringLiteral("VSIM.2.7 Velto virtual bench"));
    QCOMPARE(check.code, int(ProfileSupported));
    QVERIFY2(check.messages.isEmpty(), qPrintable(describe(check.messages)));
    QCOMPARE(check.identification, QStringLiteral("VSIM.2.7"));
    QCOMPARE(check.model, QStringLiteral("VSIM"));
    QCOMPARE(check.hardwareVersion, 2);
    QCOMPARE(check.softwareVersion, 7);
    QCOMPARE(check.deviceInfoFile, QStringLiteral("vsim.xml"));
    QVERIFY(check.readDeviceInfo);

    // The identification block as the device sends it: padded with zero bytes.
    QString padded = QStringLiteral("VSIM.2.7 Velto virtual bench");
    padded += QString(64 - padded.size(), QChar(0));
    QCOMPARE(checkDeviceProfile(padded).code, int(ProfileSupported));
    QString paddedWord = QStringLiteral("VSIM.2.7");
    paddedWord += QString(56, QChar(0));
    QCOMPARE(checkDeviceProfile(paddedWord).code, int(ProfileSupported));

    // Both shipped files are well-formed and of the required document type.
    for (const char *name : {"hardware.xml", "vsim.xml"}) {
        QXmlGet get;
        QString message;
        QVERIFY2(get.load(QLatin1String(name), &message), qPrintable(message));
        QCOMPARE(get.docType(), QStringLiteral("VeltoHardware"));
    }
}

void TestHardwareProfile::shippedProfileRanges_data()
{
    QTest::addColumn<QString>("identification");
    QTest::addColumn<int>("code");
    QTest::newRow("lowest ends") << "VSIM.1.5" << 0;
    QTest::newRow("highest ends") << "VSIM.3.9" << 0;
    QTest::newRow("hardware below") << "VSIM.0.7" << 1;
    QTest::newRow("hardware above") << "VSIM.4.7" << 1;
    QTest::newRow("software below") << "VSIM.2.4" << 2;
    QTest::newRow("software above") << "VSIM.2.10" << 2;
    QTest::newRow("unknown model") << "XSIM.2.7" << 4;
    QTest::newRow("case matters") << "vsim.2.7" << 4;
}

void TestHardwareProfile::shippedProfileRanges()
{
    QFETCH(QString, identification);
    QFETCH(int, code);
    QVERIFY(QDir::setCurrent(dataDirectory));
    QCOMPARE(checkDeviceProfile(identification + QStringLiteral(" Velto virtual bench")).code, code);
}

void TestHardwareProfile::shippedDeviceInformation()
{
    QVERIFY(QDir::setCurrent(dataDirectory));
    const QStringList lines = deviceInfoLines(QStringLiteral("vsim.xml"), quint8(0x0F));
    const QStringList health{QStringLiteral("Health status"), QStringLiteral("    Supply voltage: OK"),
                             QStringLiteral("    Reference voltage: OK"),
                             QStringLiteral("    Temperature: OK"), QStringLiteral("    Clock: OK")};
    QVERIFY2(lines.size() > health.size() + 2, qPrintable(lines.join(QLatin1Char('\n'))));
    QCOMPARE(lines.mid(lines.size() - health.size()), health);
    const QStringList descriptions = lines.mid(0, lines.size() - health.size());
    for (const QString &line : descriptions)
        QVERIFY2(line.startsWith(QStringLiteral("    ")) && line.size() > 4, qPrintable(line));
    QVERIFY(descriptions.first().contains(QStringLiteral("VSIM")));
    QVERIFY(descriptions.contains(QStringLiteral("    Virtual instrument: signals are simulated")));
    for (const char *input : {"CH1", "CH2", "Logic", "EXT", "Schmitt"}) {
        bool found = false;
        for (const QString &line : descriptions)
            found = found || line.startsWith(QStringLiteral("    ") + QLatin1String(input));
        QVERIFY2(found, input);
    }

    // A test can clear bits: temperature (bit 2) fails.
    const QStringList failing = deviceInfoLines(QStringLiteral("vsim.xml"), quint8(0x0B));
    QCOMPARE(
        failing.mid(failing.size() - 4),
        (QStringList{QStringLiteral("    Supply voltage: OK"), QStringLiteral("    Reference voltage: OK"),
                     QStringLiteral("    Temperature: Problem!"), QStringLiteral("    Clock: OK")}));
}

// ---------------------------------------------------------------------------
// Result codes

void TestHardwareProfile::resultCodes_data()
{
    QTest::addColumn<QString>("models");
    QTest::addColumn<QString>("identification");
    QTest::addColumn<int>("code");
    QTest::addColumn<QVector<CriticalMessage>>("messages");

    const QString standard = standardModel();
    QTest::newRow("supported") << standard << "M.2.7" << 0 << QVector<CriticalMessage>{};
    QTest::newRow("hardware at hardLo") << standard << "M.1.7" << 0 << QVector<CriticalMessage>{};
    QTest::newRow("hardware at hardHi") << standard << "M.3.7" << 0 << QVector<CriticalMessage>{};
    QTest::newRow("software at softLo") << standard << "M.2.5" << 0 << QVector<CriticalMessage>{};
    QTest::newRow("software at softHi") << standard << "M.2.9" << 0 << QVector<CriticalMessage>{};
    QTest::newRow("hardware below") << standard << "M.0.7" << 1
                                    << QVector<CriticalMessage>{hardwareVersion("M.0.7")};
    QTest::newRow("hardware above") << standard << "M.4.7" << 1
                                    << QVector<CriticalMessage>{hardwareVersion("M.4.7")};
    QTest::newRow("software below") << standard << "M.2.4" << 2
                                    << QVector<CriticalMessage>{softwareVersion("M.2.4")};
    QTest::newRow("software above") << standard << "M.2.10" << 2
                                    << QVector<CriticalMessage>{softwareVersion("M.2.10")};
    QTest::newRow("info file missing") << standardModel(QStringLiteral("gone.xml")) << "M.2.7" << 3
                                       << QVector<CriticalMessage>{fileMissing("gone.xml")};
    QTest::newRow("info file empty name")
        << standardModel(QString()) << "M.2.7" << 3 << QVector<CriticalMessage>{fileMissing(QString())};
    QTest::newRow("no file attribute")
        << QStringLiteral("<M hardLo=\"1\" hardHi=\"3\" softLo=\"5\" softHi=\"9\"/>") << "M.2.7" << 3
        << QVector<CriticalMessage>{fileMissing(QString())};
    QTest::newRow("unknown model") << standard << "Q.2.7" << 4
                                   << QVector<CriticalMessage>{unknownModel("Q.2.7")};
    QTest::newRow("model is no tag name")
        << standard << "1-bad.2.7" << 4 << QVector<CriticalMessage>{unknownModel("1-bad.2.7")};
    QTest::newRow("empty identification")
        << standard << "" << 4 << QVector<CriticalMessage>{unknownModel("")};
    QTest::newRow("leading space") << standard << " M.2.7" << 4 << QVector<CriticalMessage>{unknownModel("")};

    // Several failures: all shown, the last one decides the code.
    QTest::newRow("hardware and software")
        << standard << "M.9.1" << 2
        << QVector<CriticalMessage>{hardwareVersion("M.9.1"), softwareVersion("M.9.1")};
    QTest::newRow("all three") << standardModel(QStringLiteral("gone.xml")) << "M.9.1" << 3
                               << QVector<CriticalMessage>{hardwareVersion("M.9.1"), softwareVersion("M.9.1"),
                                                           fileMissing("gone.xml")};
    QTest::newRow("hardware and file")
        << standardModel(QStringLiteral("gone.xml")) << "M.0.7" << 3
        << QVector<CriticalMessage>{hardwareVersion("M.0.7"), fileMissing("gone.xml")};
    QTest::newRow("software and file")
        << standardModel(QStringLiteral("gone.xml")) << "M.2.0" << 3
        << QVector<CriticalMessage>{softwareVersion("M.2.0"), fileMissing("gone.xml")};

    // Missing attributes read as 0.
    const QString noSoftHi = QStringLiteral("<M hardLo=\"1\" hardHi=\"3\" softLo=\"0\" file=\"m.xml\"/>");
    QTest::newRow("missing softHi rejects software 1")
        << noSoftHi << "M.2.1" << 2 << QVector<CriticalMessage>{softwareVersion("M.2.1")};
    QTest::newRow("missing softHi accepts software 0")
        << noSoftHi << "M.2.0" << 0 << QVector<CriticalMessage>{};
    const QString bare = QStringLiteral("<M file=\"m.xml\"/>");
    QTest::newRow("no ranges, versions 0") << bare << "M.0.0" << 0 << QVector<CriticalMessage>{};
    QTest::newRow("no ranges, versions 1")
        << bare << "M.1.1" << 2
        << QVector<CriticalMessage>{hardwareVersion("M.1.1"), softwareVersion("M.1.1")};
    QTest::newRow("range that does not parse")
        << QStringLiteral("<M hardLo=\"one\" hardHi=\"three\" softLo=\"5\" "
                          "softHi=\"9\" file=\"m.xml\"/>")
        << "M.1.7" << 1 << QVector<CriticalMessage>{hardwareVersion("M.1.7")};

    // The identification word.
    QTest::newRow("trailing text") << standard << "M.3.7 and more text" << 0 << QVector<CriticalMessage>{};
    QTest::newRow("trailing text, failing")
        << standard << "M.4.7 extra words" << 1 << QVector<CriticalMessage>{hardwareVersion("M.4.7")};
    QTest::newRow("more than three parts") << standard << "M.2.7.99" << 0 << QVector<CriticalMessage>{};
    QTest::newRow("version not a number")
        << standard << "M.x.7" << 1 << QVector<CriticalMessage>{hardwareVersion("M.x.7")};
    QTest::newRow("version with junk")
        << standard << "M.2.7b" << 2 << QVector<CriticalMessage>{softwareVersion("M.2.7b")};
    // Fewer than three parts: the missing versions count as 0.
    QTest::newRow("model only") << standard << "M" << 2
                                << QVector<CriticalMessage>{hardwareVersion("M"), softwareVersion("M")};
    QTest::newRow("model and hardware")
        << standard << "M.2" << 2 << QVector<CriticalMessage>{softwareVersion("M.2")};
    QTest::newRow("model only, zero ranges")
        << QStringLiteral("<M hardLo=\"0\" hardHi=\"0\" softLo=\"0\" softHi=\"0\" file=\"m.xml\"/>") << "M"
        << 0 << QVector<CriticalMessage>{};
    // Several models: the element of the identification's model is used.
    QTest::newRow("second model")
        << QStringLiteral("<A hardLo=\"1\" hardHi=\"1\" softLo=\"1\" softHi=\"1\" file=\"m.xml\"/>") +
               standard
        << "M.2.7" << 0 << QVector<CriticalMessage>{};
}

void TestHardwareProfile::resultCodes()
{
    QFETCH(QString, models);
    QFETCH(QString, identification);
    QFETCH(int, code);
    QFETCH(QVector<CriticalMessage>, messages);
    writeProfile(models);
    const DeviceProfileCheck check = checkDeviceProfile(identification);
    QCOMPARE(check.code, code);
    QVERIFY2(check.messages == messages,
             qPrintable(describe(check.messages) + QStringLiteral("  expected  ") + describe(messages)));
    QCOMPARE(check.readDeviceInfo, code != ProfileInfoFileMissing && code != ProfileUnknownModel);
}

void TestHardwareProfile::profileFileProblems_data()
{
    QTest::addColumn<QByteArray>("content"); // empty with "missing" set: no file at all
    QTest::addColumn<bool>("missing");
    QTest::newRow("other document type")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE hardware><hardware><M hardLo=\"1\" hardHi=\"3\" "
                      "softLo=\"5\" "
                      "softHi=\"9\" file=\"m.xml\"/></hardware>")
        << false;
    QTest::newRow("no document type")
        << QByteArray("<VeltoHardware><M file=\"m.xml\"/></VeltoHardware>") << false;
    QTest::newRow("document type differs in case")
        << QByteArray("<!DOCTYPE veltohardware><r><M file=\"m.xml\"/></r>") << false;
    QTest::newRow("missing file") << QByteArray() << true;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("not XML") << QByteArray("VSIM 1 3 5 9 vsim.xml\n") << false;
    QTest::newRow("truncated")
        << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE VeltoHardware>\n<VeltoHardware>\n  <M "
                      "hardLo=\"1\"")
        << false;
    QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe<\x01\x02>\x80\x81<!DOCTYPE", 17) << false;
}

void TestHardwareProfile::profileFileProblems()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, missing);
    if (!missing)
        QVERIFY(writeText(QStringLiteral("hardware.xml"), content));
    LogCapture log;
    const DeviceProfileCheck check = checkDeviceProfile(QStringLiteral("M.2.7"));
    QCOMPARE(check.code, int(ProfileWrongDocType));
    QCOMPARE(check.messages, QVector<CriticalMessage>{wrongDocType});
    QVERIFY(!check.readDeviceInfo);
    QVERIFY(check.deviceInfoFile.isEmpty());
}

void TestHardwareProfile::infoFileIsReadEvenWhenVersionsFail()
{
    writeProfile(standardModel());
    const DeviceProfileCheck check = checkDeviceProfile(QStringLiteral("M.9.10"));
    QCOMPARE(check.code, int(ProfileSoftwareNotSupported));
    QVERIFY(check.readDeviceInfo);
    QCOMPARE(check.deviceInfoFile, QStringLiteral("m.xml"));

    // The file is taken relative to the working directory, as written.
    QVERIFY(QDir().mkdir(QStringLiteral("sub")));
    QVERIFY(writeText(QStringLiteral("sub/info.xml"), QByteArray("<x/>")));
    writeProfile(standardModel(QStringLiteral("sub/info.xml")));
    QVERIFY(checkDeviceProfile(QStringLiteral("M.2.7")).readDeviceInfo);
    const QString absolute = QDir(work->path()).filePath(QStringLiteral("sub/info.xml"));
    writeProfile(standardModel(absolute));
    QCOMPARE(checkDeviceProfile(QStringLiteral("M.2.7")).deviceInfoFile, absolute);

    // Another profile path can be given.
    QVERIFY(
        writeText(QStringLiteral("other.xml"), (profileHeader + standardModel() + profileFooter).toUtf8()));
    QVERIFY(QFile::remove(QStringLiteral("hardware.xml")));
    QCOMPARE(checkDeviceProfile(QStringLiteral("M.2.7"), QStringLiteral("other.xml")).code, 0);
    QCOMPARE(checkDeviceProfile(QStringLiteral("M.2.7")).code, int(ProfileWrongDocType));
}

void TestHardwareProfile::identificationWord()
{
    QCOMPARE(::identificationWord(QStringLiteral("VSIM.2.7 Velto virtual bench")),
             QStringLiteral("VSIM.2.7"));
    QCOMPARE(::identificationWord(QStringLiteral("VSIM.2.7")), QStringLiteral("VSIM.2.7"));
    QCOMPARE(::identificationWord(QStringLiteral("")), QString());
    QCOMPARE(::identificationWord(QStringLiteral(" x")), QString());
    QString padded = QStringLiteral("A.1.2");
    padded += QChar(0);
    padded += QStringLiteral(" junk");
    QCOMPARE(::identificationWord(padded), QStringLiteral("A.1.2"));
    QCOMPARE(hardwareProfileFileName(), QStringLiteral("hardware.xml"));
    QCOMPARE(hardwareDocType(), QStringLiteral("VeltoHardware"));
}

// ---------------------------------------------------------------------------
// Messages

void TestHardwareProfile::messagesShownInOrderThroughThePresenter()
{
    writeProfile(standardModel(QStringLiteral("gone.xml")));
    const DeviceProfileCheck check = checkDeviceProfile(QStringLiteral("M.9.1"));
    RecordingMessagePresenter recorder;
    showProfileMessages(check, recorder);
    QCOMPARE(recorder.messages, (QVector<CriticalMessage>{hardwareVersion("M.9.1"), softwareVersion("M.9.1"),
                                                          fileMissing("gone.xml")}));
    RecordingMessagePresenter quiet;
    writeProfile(standardModel());
    showProfileMessages(checkDeviceProfile(QStringLiteral("M.2.7")), quiet);
    QVERIFY(quiet.messages.isEmpty());
}

void TestHardwareProfile::scopedPresenterInstallsAndRestores()
{
    QVERIFY(dynamic_cast<MessageBoxPresenter *>(&criticalMessagePresenter()));
    RecordingMessagePresenter outer;
    {
        ScopedCriticalMessagePresenter installOuter(&outer);
        QCOMPARE(&criticalMessagePresenter(), static_cast<CriticalMessagePresenter *>(&outer));
        RecordingMessagePresenter inner;
        {
            ScopedCriticalMessagePresenter installInner(&inner);
            criticalMessagePresenter().showCritical(nullptr, QStringLiteral("T"), QStringLiteral("one"));
        }
        criticalMessagePresenter().showCritical(nullptr, QStringLiteral("T"), QStringLiteral("two"));
        QCOMPARE(inner.messages, (QVector<CriticalMessage>{{QStringLiteral("T"), QStringLiteral("one")}}));
    }
    QCOMPARE(outer.messages, (QVector<CriticalMessage>{{QStringLiteral("T"), QStringLiteral("two")}}));
    QVERIFY(dynamic_cast<MessageBoxPresenter *>(&criticalMessagePresenter()));
}

void TestHardwareProfile::messageBoxHasOneOkButton()
{
    // The real presenter runs a modal box; a timer inspects and dismisses it.
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QAbstractButton *> buttons;
    QMessageBox::StandardButton which = QMessageBox::NoButton;
    bool seen = false;
    QTimer inspector;
    inspector.setInterval(10);
    QObject::connect(&inspector, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = true;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->buttons();
        if (!buttons.isEmpty())
            which = box->standardButton(buttons.first());
        inspector.stop();
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    });
    // Never let a failure here stall the suite.
    QTimer::singleShot(10000, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    inspector.start();
    MessageBoxPresenter presenter;
    presenter.showCritical(nullptr, QStringLiteral("Hardware"),
                           QStringLiteral("Wrong doctype in hardware.xml!"));
    QVERIFY(seen);
    QCOMPARE(title, QStringLiteral("Hardware"));
    QCOMPARE(text, QStringLiteral("Wrong doctype in hardware.xml!"));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(which, QMessageBox::Ok);
}

// ---------------------------------------------------------------------------
// Device information lines

void TestHardwareProfile::healthBitsDecideOkOrProblem()
{
    QVERIFY(writeText(QStringLiteral("info.xml"),
                      QByteArray("<!DOCTYPE VeltoHardware><d><health><status code=\"0\">First</status>"
                                 "<status code=\"1\">Second</status></health></d>")));
    QCOMPARE(deviceInfoLines(QStringLiteral("info.xml"), quint8(0x01)),
             (QStringList{QStringLiteral("Health status"), QStringLiteral("    First: OK"),
                          QStringLiteral("    Second: Problem!")}));
    QCOMPARE(deviceInfoLines(QStringLiteral("info.xml"), quint8(0x02)),
             (QStringList{QStringLiteral("Health status"), QStringLiteral("    First: Problem!"),
                          QStringLiteral("    Second: OK")}));
    QCOMPARE(deviceInfoLines(QStringLiteral("info.xml"), quint8(0x00)),
             (QStringList{QStringLiteral("Health status"), QStringLiteral("    First: Problem!"),
                          QStringLiteral("    Second: Problem!")}));
}

void TestHardwareProfile::noHealthByteShowsNothing()
{
    QVERIFY(
        writeText(QStringLiteral("info.xml"),
                  QByteArray("<!DOCTYPE VeltoHardware><d><info><description>x</description></info></d>")));
    QCOMPARE(deviceInfoLines(QStringLiteral("info.xml"), std::nullopt), QStringList());
    QCOMPARE(deviceInfoLines(QStringLiteral("info.xml"), quint8(0)), QStringList{QStringLiteral("    x")});
}

void TestHardwareProfile::infoFileMustHaveTheDocType_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("other document type")
        << QByteArray("<!DOCTYPE hardware><d><info><description>x</description></info></d>");
    QTest::newRow("no document type") << QByteArray("<d><info><description>x</description></info></d>");
    QTest::newRow("not XML") << QByteArray("description x");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated") << QByteArray("<!DOCTYPE VeltoHardware><d><info><description>x</descr");
}

void TestHardwareProfile::infoFileMustHaveTheDocType()
{
    QFETCH(QByteArray, content);
    QVERIFY(writeText(QStringLiteral("info.xml"), content));
    LogCapture log;
    QCOMPARE(deviceInfoLines(QStringLiteral("info.xml"), quint8(0xFF)), QStringList());
    QCOMPARE(deviceInfoLines(QStringLiteral("missing.xml"), quint8(0xFF)), QStringList());
}

void TestHardwareProfile::infoBeforeHealthAndEveryElement()
{
    QVERIFY(writeText(
        QStringLiteral("info.xml"),
        QByteArray("<!DOCTYPE VeltoHardware><d>"
                   "<health><status code=\"2\">H1</status></health>"
                   "<info><description>A</description><other>skip</other>"
                   "<description></description></info>"
                   "<info><description>B &amp; C</description></info>"
                   "<health><status>No code</status><status code=\"7\">Top bit</status></health>"
                   "<nested><info><description>not a child of the root</description></info></nested>"
                   "</d>")));
    QCOMPARE(deviceInfoLines(QStringLiteral("info.xml"), quint8(0x85)),
             (QStringList{QStringLiteral("    A"), QStringLiteral("    "), QStringLiteral("    B & C"),
                          QStringLiteral("Health status"), QStringLiteral("    H1: OK"),
                          QStringLiteral("Health status"), QStringLiteral("    No code: OK"),
                          QStringLiteral("    Top bit: OK")}));
}

void TestHardwareProfile::statusCodesOutsideTheByte()
{
    QVERIFY(writeText(QStringLiteral("info.xml"),
                      QByteArray("<!DOCTYPE VeltoHardware><d><health><status code=\"8\">Eight</status>"
                                 "<status code=\"-1\">Negative</status><status code=\"99999\">Huge</status>"
                                 "<status code=\"x\">Junk</status></health></d>")));
    QCOMPARE(deviceInfoLines(QStringLiteral("info.xml"), quint8(0xFF)),
             (QStringList{QStringLiteral("Health status"), QStringLiteral("    Eight: Problem!"),
                          QStringLiteral("    Negative: Problem!"), QStringLiteral("    Huge: Problem!"),
                          QStringLiteral("    Junk: OK")})); // a code that does not parse is 0
}

QTEST_MAIN(TestHardwareProfile)
#include "tst_hardwareprofile.moc"
