#pragma once
// What every window benchmark sets up before its application starts: a
// temporary home, the offscreen platform unless another is chosen, the
// virtual instrument, and the data files in the working directory, where the
// session reads the hardware profile.
#include <QDir>
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
