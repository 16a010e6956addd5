// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class GeneratorControls;
class QMainWindow;

// What the script objects act on: the main window and the number of samples
// per channel the scope shows. The console is handed it by the window.
struct ScriptTargets {
    QMainWindow *window = nullptr;
    GeneratorControls *generator = nullptr;
    std::function<int()> bufferSize;
};

// `velto` in a script: version, buffer size, waiting, event processing,
// windows and widget lookup. The interpreter's main module is the binding's
// own answer (`getMainModule`), not a slot of this class.
class PythonVeltoObject : public QObject
{
    Q_OBJECT
public:
    PythonVeltoObject() = default;
    void setVeltoQt(const ScriptTargets &targets) { this->targets = targets; }
    QMainWindow *mainWindow() const { return targets.window; }

public slots:
    QMainWindow *createWindow();
    QObject *findChild(QObject *o, QString name);
    void refresh();
    // False when the wait was interrupted (or the window's Exit ends the
    // script). Seconds may have a fraction.
    bool sleep(double sec);
    bool msleep(unsigned long msec);
    QString getVersion();
    int getBufferSize();

private:
    ScriptTargets targets;
};

// The first descendant of `o`, at any depth, named `name`; null when none.
QObject *findDescendant(QObject *o, const QString &name);
// "Velto (domain) - version: 1.2.yyMMddhhmm" for this build.
QString veltoVersionText();
