// SPDX-License-Identifier: GPL-3.0-only
#include "ui/scopesettings.h"

#include "ui/options.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QTabWidget>
#include <QVBoxLayout>

ScopeSettings::ScopeSettings(QWidget *parent, ScopeOptions *options) : QWidget(parent), options(options)
{
    setObjectName(QStringLiteral("ScopeSettings"));
    auto *tabs = new QTabWidget(this);
    auto *display = new QWidget(tabs);
    auto *group = new QGroupBox(tr("Workspace"), display);
    auto *form = new QFormLayout(group);

    comboBoxGridStyle = new QComboBox(group);
    comboBoxGridStyle->setObjectName(QStringLiteral("comboBoxGridStyle"));
    comboBoxGridStyle->addItems({tr("No Grid"), tr("Dots"), tr("Lines"), tr("Full")});
    comboBox = new QComboBox(group);
    comboBox->setObjectName(QStringLiteral("comboBox"));
    comboBox->addItems({tr("Left"), tr("Right")});
    comboBoxTheme = new QComboBox(group);
    comboBoxTheme->setObjectName(QStringLiteral("comboBoxTheme"));
    comboBoxTheme->addItems({tr("Dark"), tr("Light"), tr("Custom")});
    form->addRow(tr("Grid style:"), comboBoxGridStyle);
    form->addRow(tr("Logic label position:"), comboBox);
    form->addRow(tr("Theme:"), comboBoxTheme);
    // Picking Custom, even again, asks for the colours at the next apply.
    connect(comboBoxTheme, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { customChosen = index == 2; });

    auto *displayLayout = new QVBoxLayout(display);
    displayLayout->addWidget(group);
    displayLayout->addStretch(1);
    tabs->addTab(display, tr("Display"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);
    loadOptions();
}

// A stored number outside the list (a hand-edited store) shows the set's default choice.
static void selectIndex(QComboBox *box, int index, int fallback)
{
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : fallback);
}

void ScopeSettings::loadOptions()
{
    if (!options)
        return;
    selectIndex(comboBox, options->logicLabelPosition, 0);
    selectIndex(comboBoxGridStyle, options->gridStyle, 1);
    selectIndex(comboBoxTheme, options->theme, 0);
}

void ScopeSettings::applyOptions()
{
    if (!options)
        return;
    options->logicLabelPosition = comboBox->currentIndex();
    options->gridStyle = comboBoxGridStyle->currentIndex();
    options->theme = comboBoxTheme->currentIndex();
    options->editCustomTheme = customChosen && options->theme == 2;
    customChosen = false;
}
