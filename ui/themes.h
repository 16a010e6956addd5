// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The plot's colour themes as data: the named colour table of the custom
// theme with its defaults and its keys in the settings store, and the pens,
// brushes and label colours of the Dark, Light and Custom themes.

#include <QBrush>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QPen>
#include <QString>
#include <QStringList>

#include <array>

class QSettings;

class CustomColors
{
public:
    CustomColors();

    // The colour names, which are also the texts of the dialog's buttons.
    static QStringList names();
    // The settings key of a colour name, empty for an unknown name.
    static QString settingsKey(const QString &name);

    // An unknown name gives an invalid colour.
    QColor colorAt(const QString &name) const;
    // An unknown name or an invalid colour changes nothing.
    void setColor(const QString &name, const QColor &colour);
    const QBrush &backgroundBrush() const { return background; }

    void loadDefaults();
    // Reads the stored custom theme when "isThemeSet" is 509 and returns
    // true; otherwise takes the defaults. A missing or unreadable colour
    // keeps its default and is logged.
    bool load(QSettings &store);
    void save(QSettings &store) const;

    static constexpr int themeSetMarker = 509;

private:
    QHash<QString, QColor> colours;
    QBrush background;
};

// "#000000" for backgrounds whose luminance is above 150, else "#ffffff".
QString idealForegroundColor(const QColor &background);

namespace Theme {
enum Id { Dark = 0, Light = 1, Custom = 2 };
QStringList names();
} // namespace Theme

// Everything a theme puts on the plot.
struct ThemePalette {
    QPen ch1Trace;
    QPen ch2Trace;
    QPen ch1Reference;
    QPen ch2Reference;
    std::array<QPen, 9> ch1Decay;
    std::array<QPen, 9> ch2Decay;
    std::array<QPen, 8> bitTrace;
    std::array<QPen, 8> bitBaseline;
    std::array<QPen, 8> bitReference;
    // Dark fills each bit trace down to its baseline; other themes leave the fill alone.
    bool fillBits = false;
    std::array<QBrush, 8> bitFill;
    QPen ch1Fft;
    QPen ch2Fft;
    QPen grid;
    QPen axes;
    QBrush background;
    QColor cursorLabels;
    // Style sheets of the two channel colour labels of the window.
    QString ch1LabelStyle;
    QString ch2LabelStyle;
    // Which lightness rule the persistence intensity uses (0 fades towards
    // dark, 1 towards light).
    int intensityMode = 0;
};

// The palette of theme 0, 1 or 2; false for any other theme, or for the
// custom theme without a colour table.
bool themePalette(int theme, const CustomColors *colours, ThemePalette *palette);

// Solid, square cap, bevel join.
QPen themePen(const QColor &colour, double width, Qt::PenStyle style = Qt::SolidLine);

// The contrast ratio of two colours, 1 (the same) to 21 (black on white).
double contrastRatio(const QColor &a, const QColor &b);
// What a trace, a grid or a label needs against the plot's background to be seen.
constexpr double minimumContrast = 3.0;

// The marker image with its fill, drawn in `from`, in `to`; outlines and
// glyphs keep their colours.
QImage recolouredMarker(const QImage &marker, const QColor &from, const QColor &to);

// A custom theme fades its persistence like the built-in theme whose
// background it resembles: towards light on a light background.
int customIntensityMode(const QColor &background);
