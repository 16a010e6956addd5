// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QWidget>

class ColorButton;
class MultimeterDisplayOptions;
class QCheckBox;
class QComboBox;
class QFontComboBox;

// The settings page shared by all multimeter displays: fonts, colours, the
// extended digits and what copying appends.
class MultimeterDisplaySettings : public QWidget
{
    Q_OBJECT
public:
    MultimeterDisplaySettings(QWidget *parent, MultimeterDisplayOptions *options);

    void loadOptions();
    void applyOptions();

private:
    void chooseColor(ColorButton *button);

    MultimeterDisplayOptions *options;
    QFontComboBox *fontComboBoxValueFontFamily;
    QFontComboBox *fontComboBoxLabelFontFamily;
    ColorButton *pushButtonBackgroundColor;
    ColorButton *pushButtonForegroundColor;
    ColorButton *pushButtonWarningColor;
    ColorButton *pushButtonCriticalColor;
    QComboBox *comboBoxExtendPrecision;
    QCheckBox *checkBoxAppendLabel;
    QCheckBox *checkBoxAppenNewLine;
    // What the font boxes showed after loading: a family the machine lacks
    // shows as another one, and must not be written back unless changed.
    QString shownValueFamily;
    QString shownLabelFamily;
};
