// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The dialog in which the user picks the colours of the custom plot theme.
// It owns the colour table the window draws the custom theme with; "Apply"
// stores the table and hands it to the window.

#include "ui/themes.h"

#include <QColor>
#include <QDialog>
#include <QIcon>
#include <QList>
#include <QString>

#include <functional>

class QAbstractButton;
class QButtonGroup;
class QColorDialog;
class QLabel;
class QPushButton;

class CustomTheme : public QDialog
{
    Q_OBJECT

public:
    explicit CustomTheme(QWidget *parent = nullptr);

    CustomColors *colors() { return &customColors; }
    const CustomColors *colors() const { return &customColors; }

    // Reads the stored custom theme, or the defaults when none is stored,
    // and recolours the buttons.
    void loadTheme();
    void saveTheme();
    void loadDefaultTheme();

    void prepareButtons();
    void colorizeButtons();
    QIcon prepareIcon(const QColor &colour) const;
    QString idealForegroundColor(const QColor &background) const;

    // Asks the user for a colour, starting from `initial`; an invalid colour
    // means the choice was cancelled. Runs the dialog's colour dialog unless
    // replaced (a test cannot answer a modal dialog).
    std::function<QColor(const QColor &initial)> chooseColour;

public slots:
    // Cancelling, Escape and the title bar's close button drop the colours
    // chosen since the last "Apply".
    void reject() override;

signals:
    void applyCustomTheme(int theme, CustomColors *colours);

private slots:
    void on_applyButton_clicked();
    void on_cancelButton_clicked();
    void onButtonClicked(QAbstractButton *button);

private:
    void buildForm();
    void applyStyleSheet();
    void centreOnScreen();
    static QString colourNameOf(const QAbstractButton *button);

    CustomColors customColors;
    QColorDialog *colourDialog = nullptr;
    QButtonGroup *buttonGroup = nullptr;
    QLabel *label = nullptr;
    QList<QPushButton *> colourButtons;
    QPushButton *cancelButton = nullptr;
    QPushButton *applyButton = nullptr;
};
