// SPDX-License-Identifier: GPL-3.0-only
#include "widgets/multimeterdisplayoptions.h"

#include <QSettings>

void MultimeterDisplayOptions::readFromSettings(const QString &group)
{
    QSettings store;
    store.beginGroup(group);
    foregroundColorName = readSettingsColorName(store, QStringLiteral("foregroundColorName"), foregroundColorName);
    backgroundColorName = readSettingsColorName(store, QStringLiteral("backgroundColorName"), backgroundColorName);
    warningColorName = readSettingsColorName(store, QStringLiteral("warningColorName"), warningColorName);
    criticalColorName = readSettingsColorName(store, QStringLiteral("criticalColorName"), criticalColorName);
    valueFontFamily = readSettingsText(store, QStringLiteral("valueFontFamily"), valueFontFamily);
    labelFontFamily = readSettingsText(store, QStringLiteral("labelFontFamily"), labelFontFamily);
    // A hand-edited store may hold any number; the displays only cope with 1 to 5.
    extendPrecision = validateExtendPrecision(readSettingsInt(store, QStringLiteral("extendPrecision"), extendPrecision));
    appendLabel = readSettingsBool(store, QStringLiteral("appendLabel"), appendLabel);
    appendNewLine = readSettingsBool(store, QStringLiteral("appendNewLine"), appendNewLine);
    store.endGroup();
    store.sync();
}

void MultimeterDisplayOptions::writeToSettings(const QString &group) const
{
    QSettings store;
    store.beginGroup(group);
    store.setValue(QStringLiteral("foregroundColorName"), foregroundColorName);
    store.setValue(QStringLiteral("backgroundColorName"), backgroundColorName);
    store.setValue(QStringLiteral("warningColorName"), warningColorName);
    store.setValue(QStringLiteral("criticalColorName"), criticalColorName);
    store.setValue(QStringLiteral("valueFontFamily"), valueFontFamily);
    store.setValue(QStringLiteral("labelFontFamily"), labelFontFamily);
    store.setValue(QStringLiteral("extendPrecision"), extendPrecision);
    store.setValue(QStringLiteral("appendLabel"), appendLabel);
    store.setValue(QStringLiteral("appendNewLine"), appendNewLine);
    store.endGroup();
    store.sync();
}

int MultimeterDisplayOptions::validateExtendPrecision(int digits) const
{
    return qBound(1, digits, extendPrecisionMaximum);
}
