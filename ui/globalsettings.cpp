// SPDX-License-Identifier: GPL-3.0-only
#include "ui/globalsettings.h"

#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

GlobalSettings::GlobalSettings(QWidget *parent, GlobalOptions *options) : QWidget(parent), options(options)
{
    setObjectName(QStringLiteral("GlobalSettings"));
    auto *tabs = new QTabWidget(this);
    auto *appearance = new QWidget(tabs);
    auto *group = new QGroupBox(tr("Workspace"), appearance);
    group->setMinimumHeight(80);
    auto *appearanceLayout = new QVBoxLayout(appearance);
    appearanceLayout->addWidget(group);
    appearanceLayout->addStretch(1);
    tabs->addTab(appearance, tr("Appearance"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);
    loadOptions();
}
