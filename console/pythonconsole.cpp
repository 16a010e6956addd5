// SPDX-License-Identifier: GPL-3.0-only
#include "console/pythonconsole.h"

#include "base/logging.h"
#include "console/consolewidget.h"
#include "console/pythonbridge.h"
#include "console/pythonveltoobjectawg.h"
#include "ui/options.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QStyle>

PythonConsole::PythonConsole(QWidget *parent, PythonConsoleOptions *options, bool *exists,
                             const ScriptTargets &targets)
    : QMainWindow(parent), options(options), exists(exists), targets(targets)
{
    *exists = true;
    setObjectName(QStringLiteral("PythonConsole"));
    setWindowTitle(QCoreApplication::applicationName() + QStringLiteral(" - ") + tr("Python Console"));
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                    Qt::WindowCloseButtonHint) &
                   ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    resizeTimer.setInterval(800);
    connect(&resizeTimer, &QTimer::timeout, this, &PythonConsole::resizeTimeout);
    sizeLabel = new QLineEdit(this);
    sizeLabel->setObjectName(QStringLiteral("sizeLabel"));
    sizeLabel->setReadOnly(true);
    sizeLabel->setFont(QFont(QStringLiteral("Courier"), 11));
    sizeLabel->setAlignment(Qt::AlignCenter);
    sizeLabel->setFocusPolicy(Qt::NoFocus);
    sizeLabel->setToolTip(tr("The console's size in columns and rows"));
    sizeLabel->hide();

    createMenu();
    initPythonConsole();

    if (!(options->restoreSize && options->sizeWidth != 0 && options->sizeHeight != 0)) {
        options->sizeWidth = options->sizeWidthDefault;
        options->sizeHeight = options->sizeHeightDefault;
    }
    sizeLabel->raise();
    applyConfiguration();
    if (parent)
        connect(parent, SIGNAL(applyConfigurationRequest()), this, SLOT(applyConfiguration()));
}

PythonConsole::~PythonConsole()
{
    VELTO_LOG(QStringLiteral("Destruct Python console"), 0);
    deletePythonConsole();
    *exists = false;
}

void PythonConsole::deletePythonConsole()
{
    // Output of Python functions still connected to signals goes to the log now.
    PythonBridge::setIdleSink(nullptr);
    delete veltoObject;
    veltoObject = nullptr;
    delete veltoObjectAWG;
    veltoObjectAWG = nullptr;
    delete console;
    console = nullptr;
}

void PythonConsole::initPythonConsole()
{
    VELTO_LOG(QStringLiteral("Init Python console"), 0);
    pythonReady = PythonBridge::initialize();
    if (!console) {
        console = new ConsoleWidget(this);
        setCentralWidget(console);
        connect(console, &ConsoleWidget::lineEntered, this, &PythonConsole::lineEntered);
        connect(console, &ConsoleWidget::interruptRequested, this, &PythonConsole::interruptRequested);
    }
    if (!veltoObject) {
        veltoObject = new PythonVeltoObject;
        veltoObject->setVeltoQt(targets);
    }
    if (!veltoObjectAWG) {
        veltoObjectAWG = new PythonVeltoObjectAWG;
        veltoObjectAWG->setVeltoQt(targets.generator);
    }
    if (pythonReady) {
        PythonBridge::publish(veltoObject, veltoObjectAWG);
        PythonBridge::setIdleSink([this](const QString &text, bool error) { writeOutput(text, error); });
        printConsole(QStringLiteral("Python %1 - velto and veltoAWG drive %2")
                         .arg(PythonBridge::versionText(), QCoreApplication::applicationName()));
    } else {
        console->write(tr("Python is not available: see velto.log. Nothing typed here can run.\n"), true);
    }
    console->appendPrompt();
}

void PythonConsole::createMenu()
{
    QMenu *menu = menuBar()->addMenu(tr("&Action"));
    struct Entry {
        QString text, iconText, icon;
        QKeySequence shortcut;
        void (PythonConsole::*slot)();
        QString tip;
        const char *name;
    };
    const Entry entries[] = {
        {tr("&Open..."), tr("Open"), QStringLiteral(":/icons/menu_openfile.png"), QKeySequence(tr("Ctrl+O")),
         &PythonConsole::openScript, tr("Run a Python script file"), "actionOpen"},
        {tr("Clear"), tr("Clear"), QStringLiteral(":/icons/menu_clear.png"), QKeySequence(),
         &PythonConsole::clearConsole, tr("Clear the console's text"), "actionClear"},
        {tr("&Hide"), tr("Hide"), QStringLiteral(".png"), QKeySequence(tr("Ctrl+H")), &PythonConsole::hideConsole,
         tr("Hide the console; Console... shows it again as it was"), "actionHide"},
        {tr("&Settings..."), tr("Settings..."), QStringLiteral(":/icons/menu_settings.png"),
         QKeySequence(QKeySequence::Save), &PythonConsole::callSettings, tr("The console's font, colours and size"), "actionSettings"},
        {tr("&Close"), tr("Close"), QStringLiteral(":/icons/menu_exit.png"), QKeySequence(tr("Ctrl+W")),
         &PythonConsole::closeConsole, tr("Close the console; the interpreter keeps its variables"), "actionClose"},
    };
    for (const Entry &entry : entries) {
        if (entry.slot == &PythonConsole::closeConsole)
            menu->addSeparator();
        auto *action = new QAction(QIcon(entry.icon), entry.text, this);
        action->setObjectName(QString::fromLatin1(entry.name));
        action->setIconText(entry.iconText);
        action->setShortcut(entry.shortcut);
        action->setShortcutContext(Qt::ApplicationShortcut);
        action->setToolTip(entry.tip);
        action->setStatusTip(entry.tip);
        connect(action, &QAction::triggered, this, entry.slot);
        menu->addAction(action);
    }
    menu->setToolTipsVisible(true);
}

void PythonConsole::setFont(QString family, int size)
{
    consoleFont = QFont(family, size);
    consoleFont.setStyleHint(QFont::TypeWriter);
}

int PythonConsole::colsToPixel(int columns) const
{
    const QFontMetrics metrics(consoleFont);
    const int margin = static_cast<int>(console->document()->documentMargin());
    return columns * metrics.horizontalAdvance(QLatin1Char('x')) + style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
           2 * margin;
}

int PythonConsole::pixelToCols(int pixels) const
{
    const QFontMetrics metrics(consoleFont);
    const int margin = static_cast<int>(console->document()->documentMargin());
    return (pixels - style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 2 * margin) /
           qMax(1, metrics.horizontalAdvance(QLatin1Char('x')));
}

int PythonConsole::rowsToPixel(int rows) const
{
    const QFontMetrics metrics(consoleFont);
    const int margin = static_cast<int>(console->document()->documentMargin());
    return rows * metrics.lineSpacing() + menuBar()->sizeHint().height() + 2 * margin;
}

int PythonConsole::pixelToRows(int pixels) const
{
    const QFontMetrics metrics(consoleFont);
    const int margin = static_cast<int>(console->document()->documentMargin());
    return (pixels - menuBar()->sizeHint().height() - 2 * margin) / qMax(1, metrics.lineSpacing());
}

void PythonConsole::applyConfiguration()
{
    setFont(options->fontFamily, options->fontSize);
    setMinimumWidth(colsToPixel(options->sizeWidthMinimum));
    setMaximumWidth(options->sizeWidthMaximum != 0 ? colsToPixel(options->sizeWidthMaximum) : QWIDGETSIZE_MAX);
    setMinimumHeight(rowsToPixel(options->sizeHeightMinimum));
    setMaximumHeight(options->sizeHeightMaximum != 0 ? rowsToPixel(options->sizeHeightMaximum) : QWIDGETSIZE_MAX);
    console->setFont(consoleFont);
    console->setStyleSheet(QStringLiteral("ConsoleWidget {border: none; background-color: ") +
                           options->backgroundColorName + QStringLiteral("; color: ") + options->colorName +
                           QStringLiteral("; }"));
    options->sizeWidth = options->validateSizeWidth(options->sizeWidth);
    options->sizeHeight = options->validateSizeHeight(options->sizeHeight);
    resize(colsToPixel(options->sizeWidth), rowsToPixel(options->sizeHeight));
    updateGeometry();
}

void PythonConsole::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    resizeTimer.stop();
    if (width() < 1 || height() < 1)
        return;
    const int columns = pixelToCols(width());
    const int rows = pixelToRows(height());
    options->sizeWidth = columns;
    options->sizeHeight = rows;
    const QString text = QStringLiteral("txt: ") + QString::number(columns) + QStringLiteral(" x ") +
                         QString::number(rows);
    sizeLabel->setText(text);
    const QFontMetrics metrics(sizeLabel->font());
    const int labelWidth = metrics.horizontalAdvance(text) + 8;
    const int labelHeight = metrics.height() + 4;
    sizeLabel->setGeometry((width() - labelWidth) / 2, (height() - labelHeight) / 2 + labelHeight / 2, labelWidth,
                           labelHeight);
    sizeLabel->show();
    sizeLabel->raise();
    resizeTimer.start();
}

void PythonConsole::resizeTimeout()
{
    resizeTimer.stop();
    sizeLabel->hide();
}

int PythonConsole::countLines(const QString &text)
{
    return text.count(QLatin1Char('\n')) + (text.endsWith(QLatin1Char('\n')) ? 0 : 1);
}

// Written to the output as it is: no Python statement is built from the text,
// so quotes and line breaks in it are shown, not run.
void PythonConsole::printConsole(const QString &text)
{
    console->write(text + QStringLiteral("\n"), false);
}

void PythonConsole::writeOutput(const QString &text, bool error)
{
    if (console)
        console->write(text, error);
}

void PythonConsole::evaluateScript(QString evalCode, bool notify)
{
    evaluate(evalCode, QStringLiteral("<console>"), notify);
}

int PythonConsole::evaluate(const QString &code, const QString &sourceName, bool notify, bool isScript)
{
    console->setRunning(true);
    const auto sink = [this](const QString &text, bool error) { writeOutput(text, error); };
    const QString statements = code.trimmed() + QStringLiteral("\n");
    const auto outcome = isScript ? PythonBridge::runScript(statements, sourceName, sink)
                                  : PythonBridge::runStatements(statements, sourceName, sink);
    if (outcome == PythonBridge::Outcome::Busy)
        console->write(tr("A statement is still running: %1 was not run.\n").arg(sourceName), true);
    if (outcome == PythonBridge::Outcome::Unavailable)
        console->write(tr("Python is not available: see velto.log.\n"), true);
    if (notify)
        printConsole(tr("Evaluated ") + QString::number(countLines(code)) + tr(" line(s)."));
    finishRun(static_cast<int>(outcome));
    return static_cast<int>(outcome);
}

void PythonConsole::finishRun(int outcome)
{
    // A statement started from inside another one (a slot it triggered) leaves the outer one running.
    if (PythonBridge::isRunning())
        return;
    console->setRunning(false);
    console->appendPrompt();
    if (outcome == static_cast<int>(PythonBridge::Outcome::Exit)) {
        const int status = PythonBridge::exitStatus();
        VELTO_LOG(QStringLiteral("A script asks Velto to exit with status %1").arg(status), 1);
        emit exitRequested(status);
    }
}

void PythonConsole::lineEntered(const QString &line)
{
    bool needMore = false;
    console->setRunning(true);
    const auto outcome = PythonBridge::pushLine(
        line, [this](const QString &text, bool error) { writeOutput(text, error); }, &needMore);
    if (outcome == PythonBridge::Outcome::Unavailable)
        console->write(tr("Python is not available: see velto.log.\n"), true);
    if (PythonBridge::isRunning())
        return;
    if (needMore) {
        console->setRunning(false);
        console->appendPrompt(true);
        return;
    }
    finishRun(static_cast<int>(outcome));
}

void PythonConsole::interruptRequested()
{
    if (PythonBridge::isRunning()) {
        PythonBridge::interrupt();
        return;
    }
    // At the prompt Ctrl+C drops the statement typed so far.
    PythonBridge::resetInput();
    console->abandonInput();
    console->write(QStringLiteral("KeyboardInterrupt\n"), true);
    console->setRunning(false);
    console->appendPrompt();
}

PythonConsole::ScriptEnd PythonConsole::runScript(const QString &fileName, bool notify)
{
    // The process's working folder stays (recordings and the hardware
    // profile are found there); the script finds its folder in sys.path
    // and __file__.
    const QFileInfo info(fileName);
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        if (notify)
            printConsole(tr("Unable to open file: ") + fileName);
        VELTO_LOG(QStringLiteral("Unable to open file: %1: %2").arg(info.absoluteFilePath(), file.errorString()), 2);
        return ScriptEnd::Unreadable;
    }
    if (notify)
        printConsole(tr("Opening file: ") + info.fileName() + QStringLiteral(" ..."));
    VELTO_LOG(QStringLiteral("Opening file: ") + info.absoluteFilePath(), 0);
    QByteArray bytes = file.readAll();
    const int end = bytes.indexOf('\0');
    if (end >= 0)
        bytes.truncate(end);
    // Python 3 reads its source as UTF-8.
    const auto outcome = static_cast<PythonBridge::Outcome>(
        evaluate(QString::fromUtf8(bytes), info.absoluteFilePath(), notify, true));
    if (outcome == PythonBridge::Outcome::Done)
        return ScriptEnd::Done;
    return outcome == PythonBridge::Outcome::Exit ? ScriptEnd::Exit : ScriptEnd::Failed;
}

void PythonConsole::openScript()
{
    const QString name = QFileDialog::getOpenFileName(this, tr("Open Python Script"), QString(),
                                                      tr("Python Script (*.py);;All Files (*)"));
    if (!name.isEmpty())
        runScript(name, true);
}

void PythonConsole::clearConsole()
{
    console->clearConsole();
}

void PythonConsole::hideConsole()
{
    hide();
}

void PythonConsole::closeConsole()
{
    close();
}

void PythonConsole::closeEvent(QCloseEvent *event)
{
    // A running statement still needs the console: stop it first.
    if (PythonBridge::isRunning()) {
        PythonBridge::interrupt();
        console->write(tr("A statement is running: it is interrupted; close the console again.\n"), true);
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void PythonConsole::callSettings()
{
    emit configurationRequest(options->getName());
}
