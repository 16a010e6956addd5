// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QWidget>

class QComboBox;
class ScopeOptions;

// The scope's page of the settings dialog: grid, logic label side and theme.
class ScopeSettings : public QWidget
{
    Q_OBJECT
public:
    ScopeSettings(QWidget *parent, ScopeOptions *options);

    void loadOptions();
    void applyOptions();

private:
    ScopeOptions *options;
    QComboBox *comboBoxGridStyle;
    QComboBox *comboBox;
    QComboBox *comboBoxTheme;
    // The user picked Custom in the list since the last apply.
    bool customChosen = false;
};
