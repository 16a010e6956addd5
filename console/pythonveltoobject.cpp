// SPDX-License-Identifier: GPL-3.0-only
#include "console/pythonveltoobject.h"

#include "console/pythonbridge.h"
#include "ui/buildstamp.h"

#include <QCoreApplication>
#include <QMainWindow>

#include <algorithm>
#include <cmath>

QObject *findDescendant(QObject *o, const QString &name)
{
    if (!o)
        return nullptr;
    return o->findChild<QObject *>(name, Qt::FindChildrenRecursively);
}

QString veltoVersionText()
{
    return QCoreApplication::applicationName() + QStringLiteral(" (") + QCoreApplication::organizationDomain() +
           QStringLiteral(") - ") + QCoreApplication::translate("PythonVeltoObject", "version:") +
           QStringLiteral(" ") + QCoreApplication::applicationVersion() + QStringLiteral(".") + compilationTime();
}

QMainWindow *PythonVeltoObject::createWindow()
{
    // A script's window does not keep Velto running once its own window is
    // closed, and it lives to the end of the process: the script may still
    // hold it after closing it.
    auto *window = new QMainWindow;
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->show();
    return window;
}

QObject *PythonVeltoObject::findChild(QObject *o, QString name)
{
    return findDescendant(o, name);
}

void PythonVeltoObject::refresh()
{
    QCoreApplication::processEvents();
}

bool PythonVeltoObject::sleep(double sec)
{
    // Past some 30 000 years a wait is as good as endless.
    const double milliseconds = sec > 0 ? std::min(sec * 1000.0, 1e15) : 0.0;
    return PythonBridge::waitInterruptibly(static_cast<unsigned long long>(std::llround(milliseconds)));
}

bool PythonVeltoObject::msleep(unsigned long msec)
{
    return PythonBridge::waitInterruptibly(msec);
}

QString PythonVeltoObject::getVersion()
{
    return veltoVersionText();
}

int PythonVeltoObject::getBufferSize()
{
    return targets.bufferSize ? targets.bufferSize() : 0;
}
