// SPDX-License-Identifier: GPL-3.0-only
#pragma once
// What every window benchmark sets up before its application starts: a
// temporary home, the offscreen platform unless another is chosen, the
// virtual instrument, and the data files in the working directory, where the
// session reads the hardware profile.
#include "app/veltointerface.h"
#include "device/devicesession.h"
#include "device/virtual/virtualusbbackend.h"
#include "ui_veltointerface.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

inline void prepareBenchHome(const QTemporaryDir &home)
{
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VELTO_DEVICE", "virtual");
    for (const QString &file : QDir(QStringLiteral(VELTO_DATA_DIR)).entryList(QDir::Files))
        QFile::copy(QStringLiteral(VELTO_DATA_DIR "/") + file, home.path() + QLatin1Char('/') + file);
    QDir::setCurrent(home.path());
}

// Shows the window at 1600 x 1000 with the virtual instrument plugged in and
// waits up to 5 s for it to connect; false when it did not.
inline bool showConnected(VeltoInterface &w)
{
    w.session()->setScopeStartDelay(20);
    w.resize(1600, 1000);
    w.show();
    VirtualUsbBackend::shared().instrument().setAttached(true);
    QElapsedTimer waited;
    waited.start();
    while (w.form()->connectButton->text() != QStringLiteral("Disconnect") && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return w.form()->connectButton->text() == QStringLiteral("Disconnect");
}
