// SPDX-License-Identifier: GPL-3.0-only
// Velto as a desktop program: the command line, where data files are found,
// and exports that other tools read back.
#include "app/commandline.h"
#include "common/windowtest.h"
#include "instruments/sniffercontrols.h"
#include "scope/exportcontrols.h"
#include "ui/filesaving.h"
#include "ui/messagepresenter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
// Runs a tool; its standard output, or an empty text when it failed.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    const bool done = process.waitForFinished(60000) && process.exitCode() == 0;
    return done ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}
} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT
    std::unique_ptr<VeltoInterface> window;
    RecordingMessagePresenter messages;
    QTemporaryDir folder;

    QString exportFile(const QString &name, ExportControls::Format format)
    {
        const QString path = folder.filePath(name);
        return window->exporter()->exportTo(path, format) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        useVirtualBench();
        setCriticalMessagePresenter(&messages);
        window = std::make_unique<VeltoInterface>();
        window->session()->setScopeStartDelay(20);
        QVERIFY(!window->form()->actionExport->isEnabled());
        QVERIFY(connectToBench(*window));
        // The status line says where the data files came from: the working folder.
        const auto *data = window->findChild<QLabel *>(QStringLiteral("dataFilesLabel"));
        QCOMPARE(data ? data->text() : QString(), QStringLiteral("Data: ") + QDir::currentPath());
        window->resize(1280, 800);
        window->show();
        if (!window->form()->checkBoxCHDTrace->isChecked())
            window->form()->checkBoxCHDTrace->click();
        window->form()->samplingSlider->setValue(7); // 16 kS/s: 62.5 µs a sample
        window->form()->ch1GainSlider->setValue(3); // 0.8 V/div
        window->form()->ch2GainSlider->setValue(2); // 2 V/div
        const quint64 drawn = window->display()->counts().drawnTicks;
        QTRY_VERIFY_WITH_TIMEOUT(window->display()->counts().drawnTicks > drawn + 3, 5000);
        QVERIFY(window->form()->actionExport->isEnabled());
    }

    void commandLine()
    {
        // Arguments; the exit status (-1: Velto runs), device|trace|remote control, a text it says.
        const struct {
            QStringList arguments;
            int status;
            const char *parsed, *says;
        } rows[] = {{{}, -1, "||", ""},
                    {{"--help"}, 0, "||", "Usage: velto [options]"},
                    {{"-v"}, 0, "||", "Velto 1.2 (build "},
                    {{"--device", "virtual", "--trace=w.t"}, -1, "virtual|w.t|", ""},
                    {{"-platform", "offscreen", "--device=usb"}, -1, "usb||", ""}, // Qt's own option
                    {{"--scpi", "--device", "usb"}, -1, "usb||127.0.0.1:5025", ""},
                    {{"--headless", "--scpi=0.0.0.0:6000"}, -1, "||0.0.0.0:6000 headless", ""},
                    {{"--headless", "--scpi", "[::1]:0"}, -1, "||::1:0 headless", ""},
                    {{"--scpi", "localhost:7"}, -1, "||127.0.0.1:7", ""},
                    {{"--scpi", "70000"}, 2, "||", "a port from 0 to 65535"},
                    {{"--scpi", "host:5025"}, 2, "||", "\"host\" is not an IP address"},
                    {{"--fast"}, 2, "||", "Unknown option 'fast'"},
                    {{"--device", "serial"}, 2, "||", "not \"serial\""},
                    {{"--trace"}, 2, "||", "Missing value after '--trace'"},
                    {{"frame.csv"}, 2, "||", "only options: frame.csv"}};
        for (const auto &r : rows) {
            const CommandLine line = parseCommandLine(QStringList{"velto"} + r.arguments);
            const QByteArray row = r.arguments.join(' ').toLocal8Bit();
            using Outcome = CommandLine::Outcome;
            const Outcome outcome = r.status < 0 ? Outcome::Run : (r.status ? Outcome::UsageError : Outcome::Exit);
            QVERIFY2(line.outcome == outcome && line.exitStatus == qMax(r.status, 0), row);
            const QString remote = !line.scpi ? QString()
                : QStringLiteral("%1:%2%3").arg(line.scpiAddress.toString()).arg(line.scpiPort).arg(line.headless ? " headless" : "");
            QCOMPARE(line.device + QLatin1Char('|') + line.trace + QLatin1Char('|') + remote, QString::fromLatin1(r.parsed));
            QVERIFY2(line.text.contains(QLatin1String(r.says)), qPrintable(line.text));
            // A usage error shows the help after the reason.
            const bool help = r.status == 2 || r.arguments == QStringList{"--help"};
            QVERIFY2(line.text.contains(QStringLiteral("Usage: velto")) == help, row);
        }
    }

    void dataFilesFromTheUsersFolderThenTheWorkingFolder()
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
        QVERIFY(QFile::rename(user + QStringLiteral("/hardware.xml"), QStringLiteral("hardware.xml")));
        QVERIFY(QFile::copy(user + QStringLiteral("/vsim.xml"), QStringLiteral("vsim.xml")));
    }

    void csvReadsBackWithinOneCode()
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
        const auto *d = reinterpret_cast<const unsigned char *>(frame.constData());
        QVERIFY(rows.value(0).startsWith(QStringLiteral("# live frame %1 ").arg(d[1] | d[2] << 8)));
        QCOMPARE(rows.value(1), QStringLiteral("time [s] CH1 [V] CH2 [V] D0 D1 D2 D3 D4 D5 D6 D7"));
        const int n = window->scopeState()->samplesPerChannel;
        QCOMPARE(rows.size(), n + 2);
        const double step[2] = {0.8 / 40.96, 2 / 40.96}; // volts per code: a division is 40.96 codes
        for (int k = 0; k < n; ++k) {
            const QStringList v = rows.at(k + 2).split(' ');
            QVERIFY(qAbs(v.at(0).toDouble() - k * 62.5e-6) < 1e-9);
            for (int ch = 0; ch < 2; ++ch) {
                const int code = int8_t(d[Frames::channelBlockOffset(d[3], 1 << ch, n) + k]);
                QVERIFY2(qAbs(v.at(1 + ch).toDouble() - code * step[ch]) <= step[ch], qPrintable(rows.at(k + 2)));
            }
            for (int b = 0; b < 8; ++b)
                QCOMPARE(v.at(3 + b).toInt(), (d[Frames::channelBlockOffset(d[3], Frames::Chd, n) + k] >> b) & 1);
        }
    }

    void vcdShowsTheCounterInSigrok()
    {
        const QString sigrok = QStandardPaths::findExecutable(QStringLiteral("sigrok-cli"));
        if (sigrok.isEmpty())
            QSKIP("sigrok-cli is not installed");
        const QString path = exportFile(QStringLiteral("logic (copy) [2].vcd"), ExportControls::Format::Vcd);
        QVERIFY(!path.isEmpty());
        const QStringList lines = run(sigrok, {"-I", "vcd", "-i", path, "-O", "csv"}).split('\n', Qt::SkipEmptyParts);
        double rate = 0;
        QVector<QVector<int>> rises(8); // samples at which each bit rises
        QStringList previous;
        int sample = 0;
        for (const QString &line : lines) {
            if (line.startsWith(QStringLiteral("META samplerate: ")))
                rate = line.section(' ', 2).toDouble();
            if (!line.at(0).isDigit())
                continue;
            const QStringList bits = line.split(',');
            for (int b = 0; b < 8 && sample > 0; ++b)
                if (bits.value(b) > previous.value(b)) // "1" after "0"
                    rises[b] << sample;
            previous = bits;
            ++sample;
        }
        QVERIFY(rate > 0);
        // The session file of the same frame: its rate and channels as sigrok reads them.
        const QString session = exportFile(QStringLiteral("frame.sr"), ExportControls::Format::Sigrok);
        const QString shown = run(sigrok, {"-i", session, "--show"});
        QVERIFY2(shown.contains("Samplerate: 16000\n") && shown.contains("- D7: logic") &&
                     shown.contains("- CH2: analog"),
                 qPrintable(shown));
        // Bit b of the counter: a square wave of 1000 / 2^b Hz. The counter steps
        // every eighth sample, so the mean period over the frame is exact.
        for (int b = 0; b < 4; ++b) {
            QVERIFY2(rises[b].size() >= 2, qPrintable(QString::number(b)));
            const double period = (rises[b].last() - rises[b].first()) / (rises[b].size() - 1) / rate;
            QVERIFY2(qAbs(period / (1e-3 * (1 << b)) - 1) < 1e-4, qPrintable(QStringLiteral("bit %1: %2 s").arg(b).arg(period)));
        }
    }

    void plotExportsOpenElsewhere()
    {
        // Under the plot, the scale: both channels' swatches and V/div and the time/div.
        const QImage png(exportFile(QStringLiteral("plot.png"), ExportControls::Format::Png));
        const QSize plotSize = window->scopePlot()->plot()->size();
        QVERIFY(png.width() == plotSize.width() && png.height() > plotSize.height());
        QSet<QRgb> row;
        for (int y = plotSize.height(); y < png.height(); ++y)
            for (int x = 0; x < png.width(); ++x)
                row.insert(png.pixel(x, y));
        for (const QCPGraph *trace : {window->scopePlot()->graphs().ch1, window->scopePlot()->graphs().ch2})
            QVERIFY(row.contains(trace->pen().color().rgb()));
        const QString svg = exportFile(QStringLiteral("plot ü.svg"), ExportControls::Format::Svg);
        QFile drawing(svg);
        QVERIFY(drawing.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(drawing.readAll());
        for (const QLabel *legend : {window->form()->ch1Label, window->form()->ch2Label, window->form()->timeLabel})
            QVERIFY2(text.contains(legend->text().trimmed().toHtmlEscaped()), qPrintable(legend->text()));
        const QString rsvg = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
        if (rsvg.isEmpty())
            QSKIP("rsvg-convert is not installed");
        const QString back = folder.filePath(QStringLiteral("back.png"));
        QCOMPARE(QProcess::execute(rsvg, {svg, QStringLiteral("-o"), back}), 0);
        QVERIFY(qAbs(QImage(back).width() - window->scopePlot()->plot()->width()) <= 1);
    }

    void failedOrDeclinedSavesLeaveNoPartialFile_data()
    {
        QTest::addColumn<QString>("mountOptions");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QString>("message");
        QTest::newRow("kept") << "" << false << "";
        QTest::newRow("replaced") << "" << true << "";
        QTest::newRow("no permission") << "ro,size=1m" << true << "Read-only file system";
        QTest::newRow("full disk") << "size=64k" << true << "No space left on device";
    }

    void failedOrDeclinedSavesLeaveNoPartialFile()
    {
        QFETCH(QString, mountOptions);
        QFETCH(bool, replace);
        QFETCH(QString, message);
        QTemporaryDir where;
        if (!mountOptions.isEmpty() && QProcess::execute("mount", {"-t", "tmpfs", "-o", mountOptions, "tmpfs", where.path()}))
            QSKIP("a small tmpfs cannot be mounted here");
        struct Unmount {
            QString path;
            ~Unmount() { path.isEmpty() ? 0 : QProcess::execute(QStringLiteral("umount"), {path}); }
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
            QVERIFY(existing.readLine().startsWith(replace ? "# live frame " : "old\n"));
            QFile text(where.filePath(QStringLiteral("i2c.txt")));
            QVERIFY(text.open(QIODevice::ReadOnly));
            QCOMPARE(text.readAll(), QByteArray("<Start> <Address:>50<W><A> \n"));
        }
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
