// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "ui/options.h"

// The look shared by every multimeter display of the window, kept in the
// settings store under the group "MultimeterDisplay".
class MultimeterDisplayOptions : public Options
{
    Q_OBJECT
public:
    explicit MultimeterDisplayOptions(QObject *parent = nullptr) : Options(parent) {}

    QString getName() const override { return QStringLiteral("MultimeterDisplay"); }
    QString getCommonName() const override { return QStringLiteral("Multimeter display"); }
    QString getUiClassName() const override { return QStringLiteral("MultimeterDisplaySettings"); }
    QIcon getIcon() const override { return QIcon(QStringLiteral(":/icons/item_multimeter.png")); }

    void readFromSettings(const QString &group);
    void writeToSettings(const QString &group) const;
    int validateExtendPrecision(int digits) const;

    QString foregroundColorName = QStringLiteral("#404040");
    QString backgroundColorName = QStringLiteral("#fafafa");
    QString warningColorName = QStringLiteral("#f6f278");
    QString criticalColorName = QStringLiteral("#f6b0b0");
    QString valueFontFamily = QStringLiteral("Cantarell");
    QString labelFontFamily = QStringLiteral("Cantarell");
    int extendPrecision = 3;
    bool appendLabel = true;
    bool appendNewLine = false;
    int extendPrecisionMaximum = 5; // not stored
};

Q_DECLARE_METATYPE(MultimeterDisplayOptions *)
