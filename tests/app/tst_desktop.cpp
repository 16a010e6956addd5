// Velto as a desktop program: the command line, where data files are found,
// refused USB access, and exports that other tools read back.
#include "app/commandline.h"
#include "common/windowtest.h"
#include "instruments/sniffercontrols.h"
#include "persistence/datafiles.h"
#include "scope/exportcontrols.h"
#include "ui/filesaving.h"
#include "ui/messagepresenter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
// Volts per code at each gain: a division is 40.96 codes.
const double voltsPerDivision[] = {8, 4, 2, 0.8, 0.4, 0.2, 0.1, 0.05, 0.025, 0.0125};

// Runs a tool; its standard output, or an empty text when it failed.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qWarning() << program << arguments << process.readAllStandardError();
    return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

bool mount(const QString &options, const QString &where)
{
    return QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                      QStringLiteral("-o"), options, QStringLiteral("tmpfs"), where}) == 0;
}
} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void dataFilesFromTheUsersFolderThenTheWorkingFolder();
    void refusedAccessNamesTheUdevRule();
    void csvReadsBackWithinOneCode();
    void vcdShowsTheCounterInSigrok();
    void plotExportsOpenElsewhere();
    void failedOrDeclinedSavesLeaveNoPartialFile_data();
    void failedOrDeclinedSavesLeaveNoPartialFile();

private:
    QString exportFile(const QString &name, ExportControls::Format format);
    std::unique_ptr<VeltoInterface> window;
    RecordingMessagePresenter messages;
    QTemporaryDir folder;
};

void TestDesktop::initTestCase()
{
    useVirtualBench();
    setCriticalMessagePresenter(&messages);
    window = std::make_unique<VeltoInterface>();
    window->session()->setScopeStartDelay(20);
    QVERIFY(!window->form()->actionExport->isEnabled());
    QVERIFY(connectToBench(*window));
    window->resize(1280, 800);
    window->show();
    if (!window->form()->checkBoxCHDTrace->isChecked())
        window->form()->checkBoxCHDTrace->click();
    window->form()->samplingSlider->setValue(7); // 16 kS/s: 62.5 µs a sample
    window->form()->ch1GainSlider->setValue(3);
    const quint64 drawn = window->display()->counts().drawnTicks;
    QTRY_VERIFY_WITH_TIMEOUT(window->display()->counts().drawnTicks > drawn + 3, 5000);
    QVERIFY(window->form()->actionExport->isEnabled());
}

void TestDesktop::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QString>("says");
    using O = CommandLine::Outcome;
    QTest::newRow("none") << QStringList() << int(O::Run) << 0 << "" << "" << "";
    QTest::newRow("help") << QStringList{"--help"} << int(O::Exit) << 0 << "" << "" << "--trace FILE";
    QTest::newRow("version") << QStringList{"-v"} << int(O::Exit) << 0 << "" << "" << "Velto 1.2 (build ";
    QTest::newRow("device and trace") << QStringList{"--device", "virtual", "--trace=w.t"} << int(O::Run) << 0
                                      << "virtual" << "w.t" << "";
    QTest::newRow("Qt's own option") << QStringList{"-platform", "offscreen", "--device=usb"} << int(O::Run) << 0
                                     << "usb" << "" << "";
    QTest::newRow("unknown option") << QStringList{"--fast"} << int(O::UsageError) << 2 << "" << ""
                                    << "Unknown option 'fast'";
    QTest::newRow("unknown device") << QStringList{"--device", "serial"} << int(O::UsageError) << 2 << "" << ""
                                    << "not \"serial\"";
    QTest::newRow("trace without file") << QStringList{"--trace"} << int(O::UsageError) << 2 << "" << ""
                                        << "Missing value after '--trace'";
    QTest::newRow("argument") << QStringList{"frame.csv"} << int(O::UsageError) << 2 << "" << "" << "frame.csv";
}

void TestDesktop::commandLine()
{
    QFETCH(QStringList, arguments);
    const CommandLine line = parseCommandLine(QStringList{"velto"} + arguments);
    QFETCH(int, outcome);
    QFETCH(int, status);
    QFETCH(QString, device);
    QFETCH(QString, trace);
    QFETCH(QString, says);
    QCOMPARE(int(line.outcome), outcome);
    QCOMPARE(line.exitStatus, status);
    QCOMPARE(line.device, device);
    QCOMPARE(line.trace, trace);
    QVERIFY2(line.text.contains(says), qPrintable(line.text));
    // A usage error shows the help after the reason.
    QCOMPARE(line.text.contains(QStringLiteral("Usage: velto")), line.exitStatus == 2 || arguments == QStringList{"--help"});
}

void TestDesktop::dataFilesFromTheUsersFolderThenTheWorkingFolder()
{
    // The working folder of the test holds the files of data/; the user's folder gets another profile.
    const QString user = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/velto");
    QVERIFY(QDir().mkpath(user));
    QVERIFY(QFile::copy(QStringLiteral("vsim.xml"), user + QStringLiteral("/vsim.xml")));
    QVERIFY(QFile::rename(QStringLiteral("hardware.xml"), user + QStringLiteral("/hardware.xml")));
    DeviceProfileCheck check = checkDeviceProfile(QStringLiteral("VSIM.2.7"));
    QCOMPARE(check.code, int(ProfileSupported));
    QCOMPARE(check.profilePath, user + QStringLiteral("/hardware.xml"));
    QCOMPARE(check.deviceInfoPath, QStringLiteral("vsim.xml")); // the working folder first
    QVERIFY(QFile::remove(QStringLiteral("vsim.xml")));
    QCOMPARE(checkDeviceProfile(QStringLiteral("VSIM.2.7")).deviceInfoPath, user + QStringLiteral("/vsim.xml"));
    QVERIFY(QFile::rename(user + QStringLiteral("/hardware.xml"), QStringLiteral("elsewhere.xml")));
    check = checkDeviceProfile(QStringLiteral("VSIM.2.7"));
    QCOMPARE(check.code, int(ProfileWrongDocType));
    QVERIFY2(check.messages.value(0).text.contains(dataSearchFolders().join(QStringLiteral(", "))),
             qPrintable(check.messages.value(0).text));
    QVERIFY(QFile::rename(QStringLiteral("elsewhere.xml"), QStringLiteral("hardware.xml")));
    QVERIFY(QFile::copy(user + QStringLiteral("/vsim.xml"), QStringLiteral("vsim.xml")));
}

void TestDesktop::refusedAccessNamesTheUdevRule()
{
    window->session()->disconnectDevice(true);
    VirtualUsbBackend::shared().failOpen(LIBUSB_ERROR_ACCESS);
    window->form()->connectButton->click();
    QCOMPARE(window->form()->infoLabel->text(), LibUsbDevice::permissionMessage());
    window->form()->connectButton->click();
    QVERIFY(connectToBench(*window));
}

QString TestDesktop::exportFile(const QString &name, ExportControls::Format format)
{
    const QString path = folder.filePath(name);
    return window->exporter()->exportTo(path, format) ? path : QString();
}

void TestDesktop::csvReadsBackWithinOneCode()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    const QByteArray frame = window->display()->frame();
    const QString path = exportFile(QStringLiteral("frame 1 ä #'&;.csv"), ExportControls::Format::Csv);
    QVERIFY(!path.isEmpty());
    const QString script = QStringLiteral("import csv,sys\nfor row in csv.reader(open(sys.argv[1], newline='')): "
                                          "print(' '.join(row))");
    const QStringList rows = run(python, {QStringLiteral("-c"), script, path}).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.value(0), QStringLiteral("time [s] CH1 [V] CH2 [V] D0 D1 D2 D3 D4 D5 D6 D7"));
    const auto *d = reinterpret_cast<const unsigned char *>(frame.constData());
    const int n = window->scopeState()->samplesPerChannel;
    QCOMPARE(rows.size(), n + 1);
    const double step[2] = {voltsPerDivision[3] / 40.96, voltsPerDivision[window->form()->ch2GainSlider->value()] / 40.96};
    for (int k = 0; k < n; ++k) {
        const QStringList v = rows.at(k + 1).split(' ');
        QVERIFY(qAbs(v.at(0).toDouble() - k * 62.5e-6) < 1e-9);
        for (int ch = 0; ch < 2; ++ch) {
            const int code = int8_t(d[Frames::channelBlockOffset(d[3], 1 << ch, n) + k]);
            QVERIFY2(qAbs(v.at(1 + ch).toDouble() - code * step[ch]) <= step[ch], qPrintable(rows.at(k + 1)));
        }
        for (int b = 0; b < 8; ++b)
            QCOMPARE(v.at(3 + b).toInt(), (d[Frames::channelBlockOffset(d[3], Frames::Chd, n) + k] >> b) & 1);
    }
}

void TestDesktop::vcdShowsTheCounterInSigrok()
{
    const QString sigrok = QStandardPaths::findExecutable(QStringLiteral("sigrok-cli"));
    if (sigrok.isEmpty())
        QSKIP("sigrok-cli is not installed");
    const QString path = exportFile(QStringLiteral("logic (copy) [2].vcd"), ExportControls::Format::Vcd);
    QVERIFY(!path.isEmpty());
    const QStringList lines =
        run(sigrok, {QStringLiteral("-I"), QStringLiteral("vcd"), QStringLiteral("-i"), path, QStringLiteral("-O"),
                     QStringLiteral("csv")})
            .split('\n', Qt::SkipEmptyParts);
    double rate = 0;
    QVector<QVector<int>> rises(8);
    QStringList previous;
    int sample = 0;
    for (const QString &line : lines) {
        if (line.startsWith(QStringLiteral("META samplerate: ")))
            rate = line.section(' ', 2).toDouble();
        if (!line.at(0).isDigit())
            continue;
        const QStringList bits = line.split(',');
        for (int b = 0; b < 8 && !previous.isEmpty(); ++b) {
            if (bits.value(b) == QLatin1String("1") && previous.value(b) == QLatin1String("0"))
                rises[b] << sample;
        }
        previous = bits;
        ++sample;
    }
    QVERIFY(rate > 0);
    // Bit b of the counter: a square wave of 1000 / 2^b Hz, to within a sample.
    for (int b = 0; b < 4; ++b) {
        QVERIFY2(rises[b].size() >= 2, qPrintable(QString::number(b)));
        const double period = (rises[b].at(1) - rises[b].at(0)) / rate;
        QVERIFY2(qAbs(period - 1e-3 * (1 << b)) <= 62.5e-6, qPrintable(QStringLiteral("bit %1: %2 s").arg(b).arg(period)));
    }
}

void TestDesktop::plotExportsOpenElsewhere()
{
    const QString png = exportFile(QStringLiteral("plot.png"), ExportControls::Format::Png);
    QCOMPARE(QImage(png).size(), window->scopePlot()->plot()->size());
    const QString rsvg = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
    if (rsvg.isEmpty())
        QSKIP("rsvg-convert is not installed");
    const QString svg = exportFile(QStringLiteral("plot ü.svg"), ExportControls::Format::Svg);
    QVERIFY(!svg.isEmpty());
    const QString back = folder.filePath(QStringLiteral("back.png"));
    QCOMPARE(QProcess::execute(rsvg, {svg, QStringLiteral("-o"), back}), 0);
    QVERIFY(qAbs(QImage(back).width() - window->scopePlot()->plot()->width()) <= 1);
}

void TestDesktop::failedOrDeclinedSavesLeaveNoPartialFile_data()
{
    QTest::addColumn<QString>("mountOptions");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("message");
    QTest::newRow("kept") << "" << false << "";
    QTest::newRow("replaced") << "" << true << "";
    QTest::newRow("no permission") << "ro,size=1m" << true << "Read-only file system";
    QTest::newRow("full disk") << "size=64k" << true << "No space left on device";
}

void TestDesktop::failedOrDeclinedSavesLeaveNoPartialFile()
{
    QFETCH(QString, mountOptions);
    QFETCH(bool, replace);
    QFETCH(QString, message);
    QTemporaryDir where;
    if (!mountOptions.isEmpty() && !mount(mountOptions, where.path()))
        QSKIP("a small tmpfs cannot be mounted here");
    struct Unmount {
        QString path;
        ~Unmount()
        {
            if (!path.isEmpty())
                QProcess::execute(QStringLiteral("umount"), {path});
        }
    } unmount{mountOptions.isEmpty() ? QString() : where.path()};
    const QString old = where.filePath(QStringLiteral("frame.csv"));
    QFile existing(old);
    if (mountOptions.isEmpty())
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("old\n") == 4);
    existing.close();
    if (mountOptions.startsWith(QLatin1String("size"))) { // fill the disk
        QFile filler(where.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(1024, 'x')) == 1024) {
        }
    }
    FileSaving::setOverwriteQuestion([replace](QWidget *, const QString &) { return replace; });
    messages.messages.clear();
    const bool saved = window->exporter()->exportTo(old, ExportControls::Format::Csv);
    window->form()->protocolTabWidget->setCurrentIndex(1);
    window->form()->i2cPlainTextEdit->setPlainText(QStringLiteral("<Start> <Address:>50<W><A> "));
    const bool textSaved = window->sniffer()->saveTextTo(where.filePath(QStringLiteral("i2c.txt")));
    FileSaving::setOverwriteQuestion(nullptr);
    QCOMPARE(saved, message.isEmpty() && replace);
    QCOMPARE(textSaved, message.isEmpty());
    QCOMPARE(messages.messages.size(), message.isEmpty() ? 0 : 2);
    for (const CriticalMessage &shown : messages.messages)
        QVERIFY2(shown.text.contains(message), qPrintable(shown.text));
    // Nothing but what was asked for is left in the folder; a kept file is as it was.
    const QStringList left = QDir(where.path()).entryList({"frame*", "i2c*", "*tmp*", ".*"}, QDir::Files | QDir::Hidden);
    QCOMPARE(left, mountOptions.isEmpty() ? QStringList({"frame.csv", "i2c.txt"}) : QStringList());
    if (mountOptions.isEmpty()) {
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readLine(), QByteArray(replace ? "time [s],CH1 [V],CH2 [V],D0,D1,D2,D3,D4,D5,D6,D7\n" : "old\n"));
        QFile text(where.filePath(QStringLiteral("i2c.txt")));
        QVERIFY(text.open(QIODevice::ReadOnly));
        QCOMPARE(text.readAll(), QByteArray("<Start> <Address:>50<W><A> \n"));
    }
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
