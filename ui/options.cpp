// SPDX-License-Identifier: GPL-3.0-only
#include "ui/options.h"

#include "widgets/multimeterdisplayoptions.h"

#include <QColor>
#include <QDebug>
#include <QFont>
#include <QFontInfo>
#include <QSettings>

#include <cmath>

void registerOptionTypes()
{
    qRegisterMetaType<PythonConsoleOptions *>("PythonConsoleOptions*");
    qRegisterMetaType<ScopeOptions *>("ScopeOptions*");
    qRegisterMetaType<MultimeterDisplayOptions *>("MultimeterDisplayOptions*");
    qRegisterMetaType<GlobalOptions *>("GlobalOptions*");
}

static void logWrongType(QSettings &store, const QString &key)
{
    qWarning().noquote() << QStringLiteral("Settings: \"%1/%2\" holds a value of the wrong type, kept the current one")
                                .arg(store.group(), key);
}

int readSettingsInt(QSettings &store, const QString &key, int current)
{
    if (!store.contains(key))
        return current;
    bool ok = false;
    const int value = store.value(key).toInt(&ok);
    if (!ok) {
        logWrongType(store, key);
        return current;
    }
    return value;
}

double readSettingsDouble(QSettings &store, const QString &key, double current)
{
    if (!store.contains(key))
        return current;
    bool ok = false;
    const double value = store.value(key).toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        logWrongType(store, key);
        return current;
    }
    return value;
}

bool readSettingsBool(QSettings &store, const QString &key, bool current)
{
    if (!store.contains(key))
        return current;
    const QVariant raw = store.value(key);
    // The native store gives back text; only the spellings a bool is written
    // with (and plain numbers) count.
    const QString text = raw.toString().trimmed().toLower();
    if (raw.type() == QVariant::Bool)
        return raw.toBool();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    logWrongType(store, key);
    return current;
}

QString readSettingsColorName(QSettings &store, const QString &key, const QString &current)
{
    if (!store.contains(key))
        return current;
    const QVariant raw = store.value(key);
    const QString text = raw.toString();
    if (!raw.canConvert<QString>() || !QColor::isValidColor(text)) {
        logWrongType(store, key);
        return current;
    }
    return QColor(text).name();
}

QString readSettingsText(QSettings &store, const QString &key, const QString &current)
{
    if (!store.contains(key))
        return current;
    const QVariant raw = store.value(key);
    if (raw.type() == QVariant::StringList || raw.type() == QVariant::List || !raw.canConvert<QString>()) {
        logWrongType(store, key);
        return current;
    }
    return raw.toString();
}

PythonConsoleOptions::PythonConsoleOptions(QObject *parent) : Options(parent)
{
    // The family the toolkit actually resolves "Courier New" to, so that the
    // page's font box shows a family that exists.
    const QFont font(QStringLiteral("Courier New"), 10);
    fontFamily = QFontInfo(font).family();
    fontSize = font.pointSize();
}

void PythonConsoleOptions::writeToSettings(const QString &group) const
{
    QSettings store;
    store.beginGroup(group);
    store.setValue(QStringLiteral("fontFamily"), fontFamily);
    store.setValue(QStringLiteral("fontSize"), fontSize);
    store.setValue(QStringLiteral("sizeWidthMinimum"), sizeWidthMinimum);
    store.setValue(QStringLiteral("sizeWidthDefault"), sizeWidthDefault);
    store.setValue(QStringLiteral("sizeWidthMaximum"), sizeWidthMaximum);
    store.setValue(QStringLiteral("sizeHeightMinimum"), sizeHeightMinimum);
    store.setValue(QStringLiteral("sizeHeightDefault"), sizeHeightDefault);
    store.setValue(QStringLiteral("sizeHeightMaximum"), sizeHeightMaximum);
    store.setValue(QStringLiteral("sizeWidth"), sizeWidth);
    store.setValue(QStringLiteral("sizeHeight"), sizeHeight);
    store.setValue(QStringLiteral("restoreSize"), restoreSize);
    store.setValue(QStringLiteral("colorName"), colorName);
    store.setValue(QStringLiteral("backgroundColorName"), backgroundColorName);
    store.endGroup();
    store.sync();
}

void PythonConsoleOptions::readFromSettings(const QString &group)
{
    QSettings store;
    store.beginGroup(group);
    fontFamily = readSettingsText(store, QStringLiteral("fontFamily"), fontFamily);
    fontSize = readSettingsInt(store, QStringLiteral("fontSize"), fontSize);
    sizeWidthMinimum = readSettingsInt(store, QStringLiteral("sizeWidthMinimum"), sizeWidthMinimum);
    sizeWidthDefault = readSettingsInt(store, QStringLiteral("sizeWidthDefault"), sizeWidthDefault);
    sizeWidthMaximum = readSettingsInt(store, QStringLiteral("sizeWidthMaximum"), sizeWidthMaximum);
    sizeHeightMinimum = readSettingsInt(store, QStringLiteral("sizeHeightMinimum"), sizeHeightMinimum);
    sizeHeightDefault = readSettingsInt(store, QStringLiteral("sizeHeightDefault"), sizeHeightDefault);
    sizeHeightMaximum = readSettingsInt(store, QStringLiteral("sizeHeightMaximum"), sizeHeightMaximum);
    sizeWidth = readSettingsInt(store, QStringLiteral("sizeWidth"), sizeWidth);
    sizeHeight = readSettingsInt(store, QStringLiteral("sizeHeight"), sizeHeight);
    restoreSize = readSettingsBool(store, QStringLiteral("restoreSize"), restoreSize);
    colorName = readSettingsColorName(store, QStringLiteral("colorName"), colorName);
    backgroundColorName = readSettingsColorName(store, QStringLiteral("backgroundColorName"), backgroundColorName);
    store.endGroup();
    store.sync();
}

int PythonConsoleOptions::validateSizeWidth(int columns) const
{
    int result = qMax(columns, sizeWidthMinimum);
    if (sizeWidthMaximum != 0)
        result = qMin(result, sizeWidthMaximum);
    return result;
}

int PythonConsoleOptions::validateSizeHeight(int rows) const
{
    int result = qMax(rows, sizeHeightMinimum);
    if (sizeHeightMaximum != 0)
        result = qMin(result, sizeHeightMaximum);
    return result;
}

OptionsMap::OptionsMap()
{
    registerOptionTypes();
}

OptionsMap::~OptionsMap()
{
    qDeleteAll(map);
}
