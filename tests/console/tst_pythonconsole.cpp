// SPDX-License-Identifier: GPL-3.0-only
// The Python console on the virtual bench: its window and sizes, the script
// objects driving the generator, scripts that go wrong, and the velto
// program running a script from VELTO_SCRIPT end to end.
#include "common/windowtest.h"
#include "console/consolewidget.h"
#include "console/pythonconsole.h"
#include "device/virtual/virtualinstrument.h"
#include "instruments/frequencysweepcontrols.h"
#include "ui/buildstamp.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

namespace {
QString consoleText(PythonConsole *console)
{
    console->consoleWidget()->flush();
    return console->consoleWidget()->toPlainText();
}

// Evaluates `code` in a cleared console and returns what it showed.
QString run(PythonConsole *console, const QString &code)
{
    console->consoleWidget()->clearConsole();
    console->evaluateScript(code, false);
    return consoleText(console);
}
} // namespace

class TestPythonConsole : public QObject
{
    Q_OBJECT
    VeltoInterface *w = nullptr;
    PythonConsole *open()
    {
        w->on_actionConsole_triggered();
        return w->pythonConsole();
    }

private slots:
    void initTestCase() { useVirtualBench(); }
    void init()
    {
        w = new VeltoInterface;
        w->setTerminateProcess([](int) {});
    }
    void cleanup() { delete w; }

    void countLines()
    {
        const QList<QPair<QString, int>> cases{{"a\nb", 2}, {"a\nb\n", 2}, {"", 1}};
        for (const auto &[text, lines] : cases)
            QCOMPARE(PythonConsole::countLines(text), lines);
    }

    void opensAtItsSize_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<int>("lastWidth");
        QTest::addColumn<int>("lastHeight");
        QTest::addColumn<int>("widthMaximum");
        QTest::addColumn<QSize>("opened"); // columns x rows
        QTest::newRow("defaults unless restored") << false << 77 << 30 << 999 << QSize(120, 20);
        QTest::newRow("restored, raised to the minimum") << true << 10 << 30 << 999 << QSize(40, 30);
        QTest::newRow("restored needs both") << true << 0 << 30 << 999 << QSize(120, 20);
        QTest::newRow("no maximum") << true << 5000 << 30 << 0 << QSize(5000, 30);
    }
    void opensAtItsSize()
    {
        QFETCH(bool, restore);
        QFETCH(int, lastWidth);
        QFETCH(int, lastHeight);
        QFETCH(int, widthMaximum);
        QFETCH(QSize, opened);
        PythonConsoleOptions &options = w->consoleOptions();
        options.restoreSize = restore;
        options.sizeWidth = lastWidth;
        options.sizeHeight = lastHeight;
        options.sizeWidthMaximum = widthMaximum;
        PythonConsole *c = open();
        QCOMPARE(QSize(options.sizeWidth, options.sizeHeight), opened);
        QCOMPARE(c->size(), QSize(c->colsToPixel(opened.width()), c->rowsToPixel(opened.height())));
        QCOMPARE(c->pixelToCols(c->width()), opened.width());
        QCOMPARE(c->maximumWidth(), widthMaximum ? c->colsToPixel(widthMaximum) : QWIDGETSIZE_MAX);
    }

    // Hidden, the same console comes back; closed, a new one with the same interpreter.
    void hideShowsCloseRecreates()
    {
        MessageCapture log;
        PythonConsole *first = open();
        run(first, QStringLiteral("kept = 6 * 7"));
        first->findChild<QAction *>(QStringLiteral("actionHide"))->trigger();
        QVERIFY(!first->isVisible() && open() == first && first->isVisible());
        QPointer<PythonConsole> closed = first;
        first->findChild<QAction *>(QStringLiteral("actionClose"))->trigger();
        QTRY_VERIFY(!closed);
        PythonConsole *second = open();
        for (const char *line : {"Create new Python console", "Show Ptyhon console", "Destruct Python console",
                                 "Recreate Python console"})
            QVERIFY2(log.contains(QLatin1String(line)), line);
        QVERIFY(run(second, QStringLiteral("print(kept, velto.getBufferSize())")).contains(QStringLiteral("42 768")));
        // The window's keys work from the console: F11, and Alt+X exits Velto.
        w->show();
        QApplication::setActiveWindow(second);
        QTest::keyClick(second->consoleWidget(), Qt::Key_F11);
        QVERIFY(w->windowState() & Qt::WindowFullScreen);
        int status = -1;
        w->setTerminateProcess([&status](int code) { status = code; });
        QTest::keyClick(second->consoleWidget(), Qt::Key_X, Qt::AltModifier);
        QCOMPARE(status, 0);
    }

    // A script finds its folder through sys.path and __file__; the process's stays.
    void runScriptKeepsTheWorkingFolder()
    {
        PythonConsole *c = open();
        QTemporaryDir dir;
        const QString script = dir.filePath(QStringLiteral("where.py"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("helper.py")), "WHERE = 'beside'\n"));
        QVERIFY(writeFile(script, "import os, sys, helper\nprint('in', os.getcwd(), "
                                  "sys.path[0] == os.path.dirname(__file__), helper.WHERE, '\xc2\xb5V')\n"));
        const QString before = QDir::currentPath();
        for (const QString &name : {dir.filePath(QStringLiteral("missing.py")), script}) {
            c->runScript(name, true);
            QCOMPARE(QDir::currentPath(), before);
        }
        const QString text = consoleText(c);
        QVERIFY(text.contains(QStringLiteral("Unable to open file: ") + dir.filePath("missing.py")));
        QVERIFY2(text.contains(QStringLiteral("in %1 True beside \u00b5V").arg(QFileInfo(before).canonicalFilePath())),
                 qPrintable(text));
        // Quotes and line ends are shown, not run.
        c->printConsole(QStringLiteral("it's \"quoted\"\nsecond"));
        QVERIFY(consoleText(c).contains(QStringLiteral("it's \"quoted\"\nsecond")));
    }

    void scriptObjectsDriveTheGenerator()
    {
        QVERIFY(connectToBench(*w));
        PythonConsole *c = open();
        Ui::VeltoInterface *ui = w->form();
        QCOMPARE(run(c, QStringLiteral("veltoAWG.setFrequency(1000)\nveltoAWG.setSweepStart(64.9)\n"
                                       "print(velto.findChild(velto.mainWindow(), 'missing') is None)")),
                 QStringLiteral("True\n>>> "));
        QCOMPARE(w->generator()->frequencySweep()->frequencyDigitsToFrequency(), 100000LL);
        QCOMPARE(ui->sweepStartFreqSlider->value(), 64);
        // A disabled button ignores the click; a value setter still acts.
        ui->radioButtonSquare->setEnabled(false);
        const bool sine = ui->radioButtonSine->isChecked();
        run(c, QStringLiteral("veltoAWG.setWaveformSquare()\nveltoAWG.setSweepEnd(100)"));
        QVERIFY(!ui->radioButtonSquare->isChecked() && ui->radioButtonSine->isChecked() == sine);
        QCOMPARE(ui->sweepEndFreqSlider->value(), 100);
        // What findChild gives is a toolkit object of its own class.
        QCOMPARE(run(c, QStringLiteral("b = velto.findChild(velto.mainWindow(), 'radioButtonSine')\n"
                                       "print(type(b).__name__, b.objectName(), type(velto.createWindow()).__name__, velto.getVersion())")),
                 QStringLiteral("QRadioButton radioButtonSine QMainWindow Velto (%1) - version: 1.2.%2\n>>> ")
                     .arg(QCoreApplication::organizationDomain(), compilationTime()));
    }

    // Every bad statement ends in the console; the window and the interpreter go on.
    void badScriptsEndInTheConsole_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("interruptAfter"); // ms, or -1
        QTest::newRow("raises") << "1 / 0" << "ZeroDivisionError: division by zero" << -1;
        QTest::newRow("syntax") << "def (" << "SyntaxError" << -1;
        QTest::newRow("text for a number") << "veltoAWG.setFrequency('fast')" << "TypeError" << -1;
        QTest::newRow("not a number") << "veltoAWG.setLevelsOffset(float('nan'))" << "ValueError" << -1;
        QTest::newRow("float for an int") << "veltoAWG.setSweepSpeed(2.5)" << "TypeError" << -1;
        QTest::newRow("negative wait") << "velto.msleep(-5)" << "TypeError" << -1;
        QTest::newRow("negative seconds") << "velto.sleep(-0.5)" << "ValueError" << -1;
        QTest::newRow("from a thread") << "import threading\nr = []\ndef f():\n    try: velto.getBufferSize()\n"
                                          "    except RuntimeError as e: r.append(e)\n"
                                          "t = threading.Thread(target=f)\nt.start(); t.join(); print(r)"
                                       << "from the script's main thread" << -1;
        QTest::newRow("no Qt object") << "velto.findChild(3, 'x')" << "must be a Qt object, not int" << -1;
        QTest::newRow("raises in a slot") << "from PyQt5.QtCore import QTimer\nQTimer.singleShot(0, lambda: 1 / 0)\n"
                                             "velto.msleep(100)" << "ZeroDivisionError" << -1;
        QTest::newRow("loops forever") << "while True:\n    pass" << "KeyboardInterrupt" << 300;
        QTest::newRow("sleeps long") << "velto.sleep(100000)" << "KeyboardInterrupt" << 300;
        QTest::newRow("a megabyte line") << "print('x' * 3000000)" << "more characters]" << -1;
        QTest::newRow("many lines") << "for i in range(300000): print(i)" << "299999" << -1;
    }
    void badScriptsEndInTheConsole()
    {
        QFETCH(QString, code);
        QFETCH(QString, shown);
        QFETCH(int, interruptAfter);
        PythonConsole *c = open();
        if (interruptAfter >= 0) // Ctrl+C in the console meanwhile
            QTimer::singleShot(interruptAfter, c,
                               [c] { QTest::keyClick(c->consoleWidget(), Qt::Key_C, Qt::ControlModifier); });
        const QString text = run(c, code);
        QVERIFY2(text.contains(shown), qPrintable(text.right(300)));
        const QTextDocument *document = c->consoleWidget()->document();
        QVERIFY(document->blockCount() <= ConsoleWidget::maximumLines);
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            QVERIFY(block.length() < ConsoleWidget::maximumLineLength + 40);
        QVERIFY(c->isVisible() && w->pythonConsole() == c);
        QCOMPARE(run(c, QStringLiteral("print(6 * 7)")), QStringLiteral("42\n>>> "));
    }

    // While velto sleeps (fractions of seconds too), the script's own
    // threads run much as in time.sleep (not at 1 % of it, the interpreter
    // held), and their output is shown.
    void sleepsLetThreadsRun()
    {
        PythonConsole *c = open();
        MessageCapture log;
        const QString text = run(c, QStringLiteral("import threading, time\nn, stop = [0], []\n"
                                                   "def count():\n    while not stop: n[0] += 1\n    print('counted')\n"
                                                   "def during(wait):\n    start = n[0]; wait(); return n[0] - start\n"
                                                   "t = threading.Thread(target=count); t.start()\n"
                                                   "free = during(lambda: time.sleep(0.3))\n"
                                                   "slept = min(during(lambda: velto.sleep(0.3)),\n"
                                                   "            during(lambda: velto.msleep(300)))\n"
                                                   "stop.append(1); t.join(); velto.msleep(50)\n"
                                                   "print(slept > free / 10, free, slept)"));
        QVERIFY2(text.startsWith(QStringLiteral("counted\nTrue ")), qPrintable(text));
        QVERIFY(!log.contains(QStringLiteral("another thread")));
    }

    // Typed at the prompt: a statement over several lines, and Ctrl+C dropping one.
    void promptTakesStatements()
    {
        PythonConsole *c = open();
        ConsoleWidget *console = c->consoleWidget();
        console->clearConsole();
        for (const char *line : {"for i in range(2):", "    print('row', i)", ""}) {
            QTest::keyClicks(console, QString::fromLatin1(line));
            QTest::keyClick(console, Qt::Key_Return);
        }
        QTest::keyClicks(console, QStringLiteral("print('dropped'"));
        QTest::keyClick(console, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(console, Qt::Key_Up);
        QCOMPARE(console->currentInput(), QStringLiteral("    print('row', i)"));
        QCOMPARE(consoleText(c), QStringLiteral(">>> for i in range(2):\n...     print('row', i)\n... \nrow 0\nrow 1\n"
                                                ">>> print('dropped'\nKeyboardInterrupt\n>>>     print('row', i)"));
        // An error's traceback starts at the line typed, not in the console's own code.
        QTest::keyClick(console, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClicks(console, QStringLiteral("1/0"));
        QTest::keyClick(console, Qt::Key_Return);
        QVERIFY2(consoleText(c).contains(QStringLiteral("Traceback (most recent call last):\n  File \"<console>\", line 1")),
                 qPrintable(consoleText(c)));
    }

    // The velto program with the script VELTO_SCRIPT names, run once the
    // bench is connected: how the script ends is the program's exit status,
    // its files are on disk (in the working folder, not the script's), and an
    // error is said on standard error and in velto.log.
    void startupScriptEndsVelto_data()
    {
        QTest::addColumn<QString>("script"); // "-": a missing file, "": a folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("written"); // out.txt afterwards
        QTest::addColumn<QString>("says");
        QTest::newRow("Exit pressed") << "main = velto.mainWindow()\nveltoAWG.setWaveformSine()\n"
                                         "enable = velto.findChild(main, 'checkBoxAWGEnable')\n"
                                         "enable.isChecked() or enable.click()\nveltoAWG.setFrequency(2000)\n"
                                         "velto.findChild(main, 'ch1GainSlider').setValue(3)\n"
                                         "velto.findChild(main, 'samplingSlider').setValue(7)\n"
                                         "velto.findChild(main, 'mainTabWidget').setCurrentIndex(1)\nvelto.sleep(2.0)\n"
                                         "d = velto.findChild(main, 'multimeterdisplayCh1Frequency')\n"
                                         "open('out.txt', 'w').write(str(abs(d.property('value') - 2000) < 40))\n"
                                         "velto.findChild(main, 'actionExit').trigger()\nopen('out.txt', 'w')"
                                      << 0 << "True" << "";
        QTest::newRow("sys.exit(3)") << "import sys\nf = open('out.txt', 'w')\nf.write('kept')\nsys.exit(3)" << 3
                                     << "kept" << "";
        QTest::newRow("sys.exit(text)") << "import sys\nsys.exit('giving up')" << 1 << "" << "giving up";
        QTest::newRow("raises") << "open('out.txt', 'w').write('before')\n1 / 0" << 1 << "before"
                                << "ZeroDivisionError: division by zero";
        QTest::newRow("missing") << "-" << 2 << "" << "VELTO_SCRIPT: cannot read";
        QTest::newRow("a folder") << "" << 2 << "" << "VELTO_SCRIPT: cannot read";
    }
    void startupScriptEndsVelto()
    {
        QFETCH(QString, script);
        QFETCH(int, status);
        QFETCH(QString, written);
        QFETCH(QString, says);
        QTemporaryDir dir;
        for (const QString &name : {QStringLiteral("hardware.xml"), QStringLiteral("vsim.xml")})
            QVERIFY(QFile::copy(name, dir.filePath(name)));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("scripts")));
        QFile file(dir.filePath(script.isEmpty() ? QStringLiteral("scripts") : QStringLiteral("scripts/run.py")));
        if (script != QLatin1String("-") && !script.isEmpty())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(script.toUtf8()) > 0);
        file.close();
        QProcess velto;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VELTO_DEVICE"), QStringLiteral("virtual"));
        environment.insert(QStringLiteral("VELTO_SCRIPT"), file.fileName());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        velto.setProcessEnvironment(environment);
        velto.setWorkingDirectory(dir.path());
        velto.start(QStringLiteral(VELTO_BINARY), {QStringLiteral("-platform"), QStringLiteral("offscreen")});
        if (!velto.waitForFinished(60000)) {
            velto.kill();
            velto.waitForFinished();
        }
        QCOMPARE(velto.exitStatus(), QProcess::NormalExit);
        QCOMPARE(velto.exitCode(), status);
        QFile out(dir.filePath(QStringLiteral("out.txt")));
        QCOMPARE(out.open(QIODevice::ReadOnly) ? QString::fromUtf8(out.readAll()) : QString(), written);
        QFile log(dir.filePath(QStringLiteral("velto.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString logged = QString::fromUtf8(log.readAll());
        const QString error = QString::fromLocal8Bit(velto.readAllStandardError());
        QVERIFY2(error.contains(says) && logged.contains(says), qPrintable(error));
        QCOMPARE(error.isEmpty(), says.isEmpty());
    }
};

QTEST_MAIN(TestPythonConsole)
#include "tst_pythonconsole.moc"
