// SPDX-License-Identifier: GPL-3.0-only
#include "ui/pythonconsolesettings.h"

#include "ui/options.h"
#include "widgets/colorbutton.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

PythonConsoleSettings::PythonConsoleSettings(QWidget *parent, PythonConsoleOptions *options)
    : QWidget(parent), options(options)
{
    setObjectName(QStringLiteral("PythonConsoleSettings"));
    auto *tabs = new QTabWidget(this);
    auto *page = new QWidget(tabs);
    auto *pageLayout = new QVBoxLayout(page);

    auto *fontGroup = new QGroupBox(tr("Font"), page);
    auto *fontForm = new QFormLayout(fontGroup);
    fontComboBoxFamily = new QFontComboBox(fontGroup);
    fontComboBoxFamily->setObjectName(QStringLiteral("fontComboBoxFamily"));
    comboBoxFontSize = new QComboBox(fontGroup);
    comboBoxFontSize->setObjectName(QStringLiteral("comboBoxFontSize"));
    comboBoxFontSize->addItems({QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("11"),
                                QStringLiteral("12"), QStringLiteral("14"), QStringLiteral("16"), QStringLiteral("18"),
                                QStringLiteral("20"), QStringLiteral("22"), QStringLiteral("24"), QStringLiteral("26"),
                                QStringLiteral("28"), QStringLiteral("36"), QStringLiteral("48"), QStringLiteral("72")});
    fontForm->addRow(tr("Family:"), fontComboBoxFamily);
    fontForm->addRow(tr("Size:"), comboBoxFontSize);

    auto *colourGroup = new QGroupBox(tr("Colors"), page);
    auto *colourForm = new QFormLayout(colourGroup);
    colorButtonBackgroundColor = new ColorButton(colourGroup);
    colorButtonBackgroundColor->setObjectName(QStringLiteral("colorButtonBackgroundColor"));
    colorButtonForegroundColor = new ColorButton(colourGroup);
    colorButtonForegroundColor->setObjectName(QStringLiteral("colorButtonForegroundColor"));
    for (ColorButton *button : {colorButtonBackgroundColor, colorButtonForegroundColor}) {
        button->setIconSize(QSize(44, 12));
        button->setMinimumSize(64, 26);
        button->setMaximumWidth(96);
    }
    colourForm->addRow(tr("Background:"), colorButtonBackgroundColor);
    colourForm->addRow(tr("Foreground:"), colorButtonForegroundColor);

    auto *sizeGroup = new QGroupBox(tr("Default size"), page);
    auto *sizeForm = new QFormLayout(sizeGroup);
    spinBoxDefaultConsoleWidth = new QSpinBox(sizeGroup);
    spinBoxDefaultConsoleWidth->setObjectName(QStringLiteral("spinBoxDefaultConsoleWidth"));
    spinBoxDefaultConsoleHeight = new QSpinBox(sizeGroup);
    spinBoxDefaultConsoleHeight->setObjectName(QStringLiteral("spinBoxDefaultConsoleHeight"));
    checkBoxRestoreSize = new QCheckBox(tr("Restore size from previous session"), sizeGroup);
    checkBoxRestoreSize->setObjectName(QStringLiteral("checkBoxRestoreSize"));
    sizeForm->addRow(tr("Columns:"), spinBoxDefaultConsoleWidth);
    sizeForm->addRow(tr("Rows:"), spinBoxDefaultConsoleHeight);
    sizeForm->addRow(checkBoxRestoreSize);

    pageLayout->addWidget(fontGroup);
    pageLayout->addWidget(colourGroup);
    pageLayout->addWidget(sizeGroup);
    pageLayout->addStretch(1);
    tabs->addTab(page, tr("Console"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);

    connect(colorButtonBackgroundColor, &QPushButton::clicked, this,
            &PythonConsoleSettings::on_colorButtonBackgroundColor_clicked);
    connect(colorButtonForegroundColor, &QPushButton::clicked, this,
            &PythonConsoleSettings::on_colorButtonForegroundColor_clicked);
    loadOptions();
}

void PythonConsoleSettings::loadOptions()
{
    if (!options)
        return;
    // A maximum of 0 means "no maximum".
    const int widthMaximum = options->sizeWidthMaximum == 0 ? 999999 : options->sizeWidthMaximum;
    const int heightMaximum = options->sizeHeightMaximum == 0 ? 999999 : options->sizeHeightMaximum;
    spinBoxDefaultConsoleWidth->setRange(options->sizeWidthMinimum, widthMaximum);
    spinBoxDefaultConsoleWidth->setValue(options->sizeWidthDefault);
    spinBoxDefaultConsoleHeight->setRange(options->sizeHeightMinimum, heightMaximum);
    spinBoxDefaultConsoleHeight->setValue(options->sizeHeightDefault);
    checkBoxRestoreSize->setChecked(options->restoreSize);
    colorButtonBackgroundColor->setCurrentColor(QColor(options->backgroundColorName));
    colorButtonForegroundColor->setCurrentColor(QColor(options->colorName));
    const int sizeIndex = comboBoxFontSize->findText(QString::number(options->fontSize), Qt::MatchExactly | Qt::MatchCaseSensitive);
    comboBoxFontSize->setCurrentIndex(sizeIndex >= 0 ? sizeIndex : 2);
    fontComboBoxFamily->setCurrentFont(QFont(options->fontFamily));
    shownFamily = fontComboBoxFamily->currentFont().family();
}

void PythonConsoleSettings::applyOptions()
{
    if (!options)
        return;
    options->sizeWidthDefault = spinBoxDefaultConsoleWidth->value();
    options->sizeHeightDefault = spinBoxDefaultConsoleHeight->value();
    options->restoreSize = checkBoxRestoreSize->isChecked();
    if (colorButtonBackgroundColor->currentColor().isValid())
        options->backgroundColorName = colorButtonBackgroundColor->currentColor().name();
    if (colorButtonForegroundColor->currentColor().isValid())
        options->colorName = colorButtonForegroundColor->currentColor().name();
    // A family this machine lacks shows as another one; only a change by the user is written back.
    if (fontComboBoxFamily->currentFont().family() != shownFamily)
        options->fontFamily = fontComboBoxFamily->currentFont().family();
    options->fontSize = comboBoxFontSize->currentText().toInt();
}

void PythonConsoleSettings::on_colorButtonBackgroundColor_clicked()
{
    const QColor colour = QColorDialog::getColor(colorButtonBackgroundColor->currentColor(), this);
    if (colour.isValid())
        colorButtonBackgroundColor->setCurrentColor(colour);
}

void PythonConsoleSettings::on_colorButtonForegroundColor_clicked()
{
    const QColor colour = QColorDialog::getColor(colorButtonForegroundColor->currentColor(), this);
    if (colour.isValid())
        colorButtonForegroundColor->setCurrentColor(colour);
}
