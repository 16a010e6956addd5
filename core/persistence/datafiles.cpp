// SPDX-License-Identifier: GPL-3.0-only
#include "core/persistence/datafiles.h"

#include <QDir>
#include <QFileInfo>

#include <QCoreApplication>

// Where the installation puts the data files, relative to the program's folder.
#ifndef VELTO_DATA_FROM_BIN
#define VELTO_DATA_FROM_BIN "../share/velto"
#endif

QString installedDataFolder()
{
    if (!QCoreApplication::instance())
        return QString();
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QStringLiteral(VELTO_DATA_FROM_BIN));
}

QString userDataFolder()
{
    // QStandardPaths would add the system data folders too; only the user's
    // own one belongs between the working folder and the installed one.
    QString userData = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (userData.isEmpty() || QDir::isRelativePath(userData))
        userData = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(userData + QStringLiteral("/velto"));
}

QString recordingsFallbackFolder()
{
    return userDataFolder() + QStringLiteral("/recordings");
}

QStringList dataSearchFolders()
{
    QStringList folders{QStringLiteral("."), userDataFolder()};
    const QString installed = installedDataFolder();
    if (!installed.isEmpty() && !folders.contains(installed))
        folders << QDir::cleanPath(installed);
    return folders;
}

QString locateDataFile(const QString &name)
{
    if (name.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(name))
        return name;
    for (const QString &folder : dataSearchFolders()) {
        const QString path = folder == QLatin1String(".") ? name : folder + QLatin1Char('/') + name;
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}
