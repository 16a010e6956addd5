// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "console/pythonveltoobject.h"

#include <QFont>
#include <QMainWindow>
#include <QString>
#include <QTimer>

class ConsoleWidget;
class PythonConsoleOptions;
class PythonVeltoObjectAWG;
class QLineEdit;

// The "Python Console" window: the interactive prompt with the script
// objects `velto` and `veltoAWG` published, a menu to open, clear, hide and
// close, and its size kept in columns and rows in the console option set.
// The interpreter outlives the console; a new console publishes new objects.
class PythonConsole : public QMainWindow
{
    Q_OBJECT
public:
    PythonConsole(QWidget *parent, PythonConsoleOptions *options, bool *exists, const ScriptTargets &targets);
    ~PythonConsole() override;

    static int countLines(const QString &text);
    int colsToPixel(int columns) const;
    int pixelToCols(int pixels) const;
    int rowsToPixel(int rows) const;
    int pixelToRows(int pixels) const;
    ConsoleWidget *consoleWidget() const { return console; }
    // Shows `text` and a line end in the console's output.
    void printConsole(const QString &text);
    enum class ScriptEnd {
        Done,       // ran to its end
        Exit,       // raised SystemExit; exitRequested was emitted
        Failed,     // raised, or could not run; the console shows why
        Unreadable, // the file could not be read; nothing ran
    };
    // Runs a script file in the main module; the working folder stays.
    ScriptEnd runScript(const QString &fileName, bool notify = true);

signals:
    void configurationRequest(QString component);
    // A script raised SystemExit: the window's Exit path ends the program
    // with `status`.
    void exitRequested(int status);

public slots:
    void evaluateScript(QString evalCode, bool notify = true);
    void applyConfiguration();

private slots:
    void openScript();
    void clearConsole();
    void hideConsole();
    void closeConsole();
    void resizeTimeout();
    void callSettings();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void initPythonConsole();
    void createMenu();
    void deletePythonConsole();
    void setFont(QString family, int size);
    // The bridge's outcome; `isScript` runs `code` as the file `sourceName`.
    int evaluate(const QString &code, const QString &sourceName, bool notify, bool isScript = false);
    void lineEntered(const QString &line);
    void interruptRequested();
    void finishRun(int outcome);
    void writeOutput(const QString &text, bool error);

    PythonConsoleOptions *options;
    bool *exists;
    ScriptTargets targets;
    ConsoleWidget *console = nullptr;
    PythonVeltoObject *veltoObject = nullptr;
    PythonVeltoObjectAWG *veltoObjectAWG = nullptr;
    QFont consoleFont;
    QTimer resizeTimer;
    QLineEdit *sizeLabel = nullptr;
    bool pythonReady = false;
};
