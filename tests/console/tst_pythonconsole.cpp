// The Python console on the virtual bench: its window and sizes, the script
// objects driving the generator, scripts that go wrong, and a script run
// from VELTO_SCRIPT end to end.
#include "common/windowtest.h"
#include "console/consolewidget.h"
#include "console/pythonconsole.h"
#include "core/device/configprotocol.h"
#include "device/virtual/virtualinstrument.h"
#include "instruments/frequencysweepcontrols.h"
#include "ui/buildstamp.h"

#include <QDir>
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
        QVERIFY(log.contains(QStringLiteral("Create new Python console")));
        run(first, QStringLiteral("kept = 6 * 7"));
        first->findChild<QAction *>(QStringLiteral("actionHide"))->trigger();
        QVERIFY(!first->isVisible() && open() == first && first->isVisible());
        QVERIFY(log.contains(QStringLiteral("Show Ptyhon console")));
        QPointer<PythonConsole> closed = first;
        first->findChild<QAction *>(QStringLiteral("actionClose"))->trigger();
        QTRY_VERIFY(!closed);
        QVERIFY(log.contains(QStringLiteral("Destruct Python console")));
        PythonConsole *second = open();
        QVERIFY(log.contains(QStringLiteral("Recreate Python console")));
        QVERIFY(run(second, QStringLiteral("print(kept, velto.getBufferSize())")).contains(QStringLiteral("42 768")));
    }

    void runScriptKeepsTheWorkingFolder()
    {
        PythonConsole *c = open();
        QTemporaryDir dir;
        QFile script(dir.filePath(QStringLiteral("where.py")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("import os\nprint('in', os.getcwd(), '\xc2\xb5V')\n");
        script.close();
        const QString before = QDir::currentPath();
        for (const QString &name : {dir.filePath(QStringLiteral("missing.py")), script.fileName()}) {
            c->runScript(name, true);
            QCOMPARE(QDir::currentPath(), before);
        }
        const QString text = consoleText(c);
        QVERIFY(text.contains(QStringLiteral("Unable to open file: ") + dir.filePath("missing.py")));
        QVERIFY(text.contains(QStringLiteral("in ") + QFileInfo(dir.path()).canonicalFilePath() + " \u00b5V"));
        // Quotes and line ends are shown, not run.
        c->printConsole(QStringLiteral("it's \"quoted\"\nsecond"));
        QVERIFY(consoleText(c).contains(QStringLiteral("it's \"quoted\"\nsecond")));
    }

    void scriptObjectsDriveTheGenerator()
    {
        QVERIFY(connectToBench(*w));
        PythonConsole *c = open();
        Ui::VeltoInterface *ui = w->form();
        TraceCapture trace;
        const ConfigProtocol::FrequencyWords words = ConfigProtocol::splitFrequency(100000);
        QCOMPARE(run(c, QStringLiteral("veltoAWG.setFrequency(1000)\nveltoAWG.setSweepStart(64.9)\n"
                                       "print(velto.findChild(velto.mainWindow(), 'missing') is None)")),
                 QStringLiteral("True\n>>> "));
        QCOMPARE(w->generator()->frequencySweep()->frequencyDigitsToFrequency(), 100000LL);
        QCOMPARE(ui->collapsiblePanelAWGFrequency->text(), QStringLiteral("1000.00Hz "));
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x46 %1 %2 ").arg(words.index).arg(words.value)).size(), 1);
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
    }

    // The script VELTO_SCRIPT names runs once the bench is connected: it sets
    // the generator, waits, reads CH1's frequency through PyQt5 and exits.
    void startupScriptRunsAndExits()
    {
        delete w;
        w = nullptr;
        QTemporaryDir dir;
        QFile script(dir.filePath(QStringLiteral("bench.py")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("main = velto.mainWindow()\n"
                                    "enable = velto.findChild(main, 'checkBoxAWGEnable')\n"
                                    "enable.isChecked() or enable.click()\n"
                                    "veltoAWG.setWaveformSine()\n"
                                    "veltoAWG.setFrequency(2000)\n"
                                    "velto.findChild(main, 'ch1GainSlider').setValue(3)\n"
                                    "velto.findChild(main, 'samplingSlider').setValue(7)\n"
                                    "velto.findChild(main, 'mainTabWidget').setCurrentIndex(1)\n"
                                    "velto.sleep(2)\n"
                                    "d = velto.findChild(main, 'multimeterdisplayCh1Frequency')\n"
                                    "open('result.txt', 'w').write('%.1f' % d.property('value'))\n"
                                    "velto.findChild(main, 'actionExit').trigger()\n")
                         .toUtf8());
        script.close();
        qputenv("VELTO_SCRIPT", script.fileName().toLocal8Bit());
        TraceCapture trace;
        int exitCode = -1;
        VeltoInterface window;
        qunsetenv("VELTO_SCRIPT");
        window.setTerminateProcess([&](int code) { exitCode = code; });
        QVERIFY(connectToBench(window));
        QTRY_COMPARE_WITH_TIMEOUT(exitCode, 0, 15000);
        const ConfigProtocol::FrequencyWords words = ConfigProtocol::splitFrequency(200000);
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x46 %1 %2 ").arg(words.index).arg(words.value)).size(), 1);
        QFile read(dir.filePath(QStringLiteral("result.txt")));
        QVERIFY(read.open(QIODevice::ReadOnly));
        const double measured = read.readAll().toDouble();
        QVERIFY2(std::fabs(measured - 2000) < 40, qPrintable(QString::number(measured)));
    }
};

QTEST_MAIN(TestPythonConsole)
#include "tst_pythonconsole.moc"
