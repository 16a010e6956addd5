// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QWidget>

class ColorButton;
class PythonConsoleOptions;
class QCheckBox;
class QComboBox;
class QFontComboBox;
class QSpinBox;

// The console's page of the settings dialog: font, colours and default size.
class PythonConsoleSettings : public QWidget
{
    Q_OBJECT
public:
    PythonConsoleSettings(QWidget *parent, PythonConsoleOptions *options);

    void loadOptions();
    void applyOptions();

private slots:
    void on_colorButtonBackgroundColor_clicked();
    void on_colorButtonForegroundColor_clicked();

private:
    PythonConsoleOptions *options;
    QFontComboBox *fontComboBoxFamily;
    QComboBox *comboBoxFontSize;
    ColorButton *colorButtonBackgroundColor;
    ColorButton *colorButtonForegroundColor;
    QSpinBox *spinBoxDefaultConsoleWidth;
    QSpinBox *spinBoxDefaultConsoleHeight;
    QCheckBox *checkBoxRestoreSize;
    QString shownFamily; // see applyOptions
};
