// SPDX-License-Identifier: GPL-3.0-only
#include "app/appsettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStringList>

#include <algorithm>

namespace AppSettings {

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(organisationName));
    QCoreApplication::setOrganizationDomain(QString::fromLatin1(organisationDomain));
    QCoreApplication::setApplicationName(QString::fromLatin1(applicationName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(applicationVersion));
}

namespace {
bool readBool(const QVariant &value, bool fallback, bool *ok)
{
    *ok = true;
    if (!value.isValid())
        return fallback;
    const QString text = value.toString().trimmed().toLower();
    if (value.type() == QVariant::Bool)
        return value.toBool();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    *ok = false;
    return fallback;
}

int readInt(const QVariant &value, int fallback, bool *ok)
{
    *ok = true;
    if (!value.isValid())
        return fallback;
    const int result = value.toInt(ok);
    return *ok ? result : fallback;
}
} // namespace

int readLoggingLevel(QSettings &store)
{
    bool ok = false;
    return readInt(store.value(QStringLiteral("loggingLevel")), 0, &ok);
}

Values read(QSettings &store, QStringList *problems)
{
    Values values;
    bool ok = true;
    values.wasMaximized = readBool(store.value(QStringLiteral("wasMaximized")), false, &ok);
    if (!ok && problems)
        problems->append(QStringLiteral("wasMaximized"));

    const QVariant size = store.value(QStringLiteral("size"));
    if (size.isValid()) {
        if (size.canConvert<QSize>() && size.toSize().isValid() && size.toSize().width() > 0 &&
            size.toSize().height() > 0)
            values.size = size.toSize();
        else if (!size.canConvert<QSize>() && problems)
            problems->append(QStringLiteral("size"));
    }

    const QVariant position = store.value(QStringLiteral("position"));
    values.hasPosition = position.isValid() && position.canConvert<QPoint>() && position.type() == QVariant::Point;
    if (values.hasPosition)
        values.position = position.toPoint();
    else if (position.isValid() && problems)
        problems->append(QStringLiteral("position"));

    values.theme = readInt(store.value(QStringLiteral("theme")), 0, &ok);
    if (!ok && problems)
        problems->append(QStringLiteral("theme"));

    values.remoteControl = readBool(store.value(QStringLiteral("remoteControl")), false, &ok);
    if (!ok && problems)
        problems->append(QStringLiteral("remoteControl"));

    values.defaultDir = store.value(QStringLiteral("defaultDir")).toString();
    if (values.defaultDir.isEmpty())
        values.defaultDir = QDir::homePath();
    return values;
}

void write(QSettings &store, const QSize &size, bool maximized, const QString &defaultDir, const QPoint &position,
           bool remoteControl)
{
    store.setValue(QStringLiteral("remoteControl"), remoteControl);
    store.setValue(QStringLiteral("size"), size);
    store.setValue(QStringLiteral("position"), position);
    store.setValue(QStringLiteral("wasMaximized"), maximized);
    store.setValue(QStringLiteral("defaultDir"), defaultDir);
    // A level the user chose stays; only a store without one gets the default.
    bool ok = false;
    const int level = readInt(store.value(QStringLiteral("loggingLevel"), -1), -1, &ok);
    if (!store.contains(QStringLiteral("loggingLevel")) || (ok && level < 0))
        store.setValue(QStringLiteral("loggingLevel"), 2);
    store.sync();
}

QPoint centredPosition(const QRect &screen, const QSize &frameSize)
{
    return QPoint(screen.x() + screen.width() / 2 - frameSize.width() / 2,
                  screen.y() + screen.height() / 2 - frameSize.height() / 2);
}

QRect windowGeometry(const QRect &available, const QSize &size, const QPoint &position, bool hasPosition)
{
    if (!size.isValid() || size.width() > available.width() || size.height() > available.height())
        return available;
    const QRect remembered(position, size);
    if (hasPosition && available.contains(remembered))
        return remembered;
    return QRect(centredPosition(available, size), size);
}

int plotWidthAtLeast(int availableWidth)
{
    return std::max(480, availableWidth / 2);
}

QString windowTitle(const QString &text)
{
    return QCoreApplication::applicationName() + QStringLiteral(" v.") + QCoreApplication::applicationVersion() +
           QStringLiteral(" ") + text;
}

} // namespace AppSettings
