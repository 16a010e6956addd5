// SPDX-License-Identifier: GPL-3.0-only
#include "widgets/multimeterdisplaysettings.h"

#include "widgets/colorbutton.h"
#include "widgets/multimeterdisplayoptions.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QTabWidget>
#include <QVBoxLayout>

MultimeterDisplaySettings::MultimeterDisplaySettings(QWidget *parent, MultimeterDisplayOptions *options)
    : QWidget(parent), options(options)
{
    setObjectName(QStringLiteral("MultimeterDisplaySettings"));
    auto *tabs = new QTabWidget(this);

    auto *display = new QWidget(tabs);
    auto *displayLayout = new QVBoxLayout(display);
    auto *fontGroup = new QGroupBox(tr("Font"), display);
    auto *fontForm = new QFormLayout(fontGroup);
    fontComboBoxValueFontFamily = new QFontComboBox(fontGroup);
    fontComboBoxValueFontFamily->setObjectName(QStringLiteral("fontComboBoxValueFontFamily"));
    fontComboBoxLabelFontFamily = new QFontComboBox(fontGroup);
    fontComboBoxLabelFontFamily->setObjectName(QStringLiteral("fontComboBoxLabelFontFamily"));
    fontForm->addRow(tr("Value font family:"), fontComboBoxValueFontFamily);
    fontForm->addRow(tr("Label font family:"), fontComboBoxLabelFontFamily);

    auto *colourGroup = new QGroupBox(tr("Colors"), display);
    auto *colourForm = new QFormLayout(colourGroup);
    auto makeColourButton = [this, colourGroup, colourForm](const char *name, const QString &label) {
        auto *button = new ColorButton(colourGroup);
        button->setObjectName(QString::fromLatin1(name));
        button->setIconSize(QSize(44, 12));
        button->setMinimumSize(64, 26);
        button->setMaximumWidth(96);
        colourForm->addRow(label, button);
        connect(button, &QPushButton::clicked, this, [this, button] { chooseColor(button); });
        return button;
    };
    pushButtonBackgroundColor = makeColourButton("pushButtonBackgroundColor", tr("Background:"));
    pushButtonForegroundColor = makeColourButton("pushButtonForegroundColor", tr("Foreground:"));
    pushButtonWarningColor = makeColourButton("pushButtonWarningColor", tr("Warning:"));
    pushButtonCriticalColor = makeColourButton("pushButtonCriticalColor", tr("Critical:"));
    displayLayout->addWidget(fontGroup);
    displayLayout->addWidget(colourGroup);
    displayLayout->addStretch(1);

    auto *other = new QWidget(tabs);
    auto *otherLayout = new QVBoxLayout(other);
    auto *valueGroup = new QGroupBox(tr("Value"), other);
    auto *valueForm = new QFormLayout(valueGroup);
    comboBoxExtendPrecision = new QComboBox(valueGroup);
    comboBoxExtendPrecision->setObjectName(QStringLiteral("comboBoxExtendPrecision"));
    comboBoxExtendPrecision->addItems(
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")});
    valueForm->addRow(tr("Extend precision:"), comboBoxExtendPrecision);
    auto *copyGroup = new QGroupBox(tr("Copy to clipboard"), other);
    auto *copyLayout = new QVBoxLayout(copyGroup);
    checkBoxAppendLabel = new QCheckBox(tr("Append label when copy as text or image"), copyGroup);
    checkBoxAppendLabel->setObjectName(QStringLiteral("checkBoxAppendLabel"));
    checkBoxAppenNewLine = new QCheckBox(tr("Append new line when copy as text or double"), copyGroup);
    checkBoxAppenNewLine->setObjectName(QStringLiteral("checkBoxAppenNewLine"));
    copyLayout->addWidget(checkBoxAppendLabel);
    copyLayout->addWidget(checkBoxAppenNewLine);
    otherLayout->addWidget(valueGroup);
    otherLayout->addWidget(copyGroup);
    otherLayout->addStretch(1);

    tabs->addTab(display, tr("Display"));
    tabs->addTab(other, tr("Other"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);
    loadOptions();
}

void MultimeterDisplaySettings::loadOptions()
{
    if (!options)
        return;
    fontComboBoxValueFontFamily->setCurrentFont(QFont(options->valueFontFamily));
    fontComboBoxLabelFontFamily->setCurrentFont(QFont(options->labelFontFamily));
    shownValueFamily = fontComboBoxValueFontFamily->currentFont().family();
    shownLabelFamily = fontComboBoxLabelFontFamily->currentFont().family();
    pushButtonBackgroundColor->setCurrentColor(QColor(options->backgroundColorName));
    pushButtonForegroundColor->setCurrentColor(QColor(options->foregroundColorName));
    pushButtonWarningColor->setCurrentColor(QColor(options->warningColorName));
    pushButtonCriticalColor->setCurrentColor(QColor(options->criticalColorName));
    const int index = comboBoxExtendPrecision->findText(QString::number(options->extendPrecision));
    comboBoxExtendPrecision->setCurrentIndex(index >= 0 ? index : 1);
    checkBoxAppendLabel->setChecked(options->appendLabel);
    checkBoxAppenNewLine->setChecked(options->appendNewLine);
}

void MultimeterDisplaySettings::applyOptions()
{
    if (!options)
        return;
    if (fontComboBoxValueFontFamily->currentFont().family() != shownValueFamily)
        options->valueFontFamily = fontComboBoxValueFontFamily->currentFont().family();
    if (fontComboBoxLabelFontFamily->currentFont().family() != shownLabelFamily)
        options->labelFontFamily = fontComboBoxLabelFontFamily->currentFont().family();
    // A swatch that never held a valid colour leaves the stored colour alone.
    auto take = [](ColorButton *button, QString &name) {
        if (button->currentColor().isValid())
            name = button->currentColor().name();
    };
    take(pushButtonBackgroundColor, options->backgroundColorName);
    take(pushButtonForegroundColor, options->foregroundColorName);
    take(pushButtonWarningColor, options->warningColorName);
    take(pushButtonCriticalColor, options->criticalColorName);
    options->extendPrecision = options->validateExtendPrecision(comboBoxExtendPrecision->currentText().toInt());
    options->appendLabel = checkBoxAppendLabel->isChecked();
    options->appendNewLine = checkBoxAppenNewLine->isChecked();
}

void MultimeterDisplaySettings::chooseColor(ColorButton *button)
{
    const QColor colour = QColorDialog::getColor(button->currentColor(), this);
    if (colour.isValid())
        button->setCurrentColor(colour);
}
