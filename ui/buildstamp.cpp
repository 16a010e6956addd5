#include "ui/buildstamp.h"

#include <QDateTime>

#ifndef VELTO_BUILD_STAMP
#define VELTO_BUILD_STAMP ""
#endif

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
