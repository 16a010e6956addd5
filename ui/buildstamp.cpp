// SPDX-License-Identifier: GPL-3.0-only
#include "ui/buildstamp.h"

#include <QDateTime>

// Written at build time from the last commit (cmake/buildstamp.cmake).
#include "generated/buildstamp.inc"

QString compilationTimeFrom(const QString &buildTime)
{
    const QDateTime time = QDateTime::fromString(buildTime.simplified(), QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!time.isValid())
        return QStringLiteral("0000000000");
    return time.toString(QStringLiteral("yyMMddHHmm"));
}

QString compilationTime()
{
    return compilationTimeFrom(QStringLiteral(VELTO_BUILD_STAMP));
}

QString buildStamp()
{
    return compilationTime() + (VELTO_BUILD_CHANGES ? QStringLiteral("+changes") : QString());
}
