// SPDX-License-Identifier: GPL-3.0-only
#include "ui/themes.h"

#include <QDebug>
#include <QSettings>

#include <algorithm>
#include <cmath>

namespace {

struct NamedKey {
    const char *name;
    const char *key;
};

// Button texts and the keys they are stored under, in the dialog's order.
const NamedKey namedKeys[] = {
    {"CH1", "ch1"},           {"CH1 REF", "ch1ref"},     {"CH1 FFT", "ch1fft"},     {"CH2", "ch2"},
    {"CH2 REF", "ch2ref"},    {"CH2 FFT", "ch2fft"},     {"BIT 0", "bit0"},         {"BIT 1", "bit1"},
    {"BIT 2", "bit2"},        {"BIT 3", "bit3"},         {"BIT 4", "bit4"},         {"BIT 5", "bit5"},
    {"BIT 6", "bit6"},        {"BIT 7", "bit7"},         {"BIT 0 REF", "bitref0"},  {"BIT 1 REF", "bitref1"},
    {"BIT 2 REF", "bitref2"}, {"BIT 3 REF", "bitref3"},  {"BIT 4 REF", "bitref4"},  {"BIT 5 REF", "bitref5"},
    {"BIT 6 REF", "bitref6"}, {"BIT 7 REF", "bitref7"},  {"GRID", "grid"},          {"AXES", "axes"},
    {"LABELS", "label"},      {"BACKGROUND", "background"},
};

const QString backgroundName = QStringLiteral("BACKGROUND");
const QString themeSetKey = QStringLiteral("isThemeSet");

// Each logic bit has a hue of its own, apart from CH1's green and CH2's
// red, so that a bit is told from its neighbours and from the channels. The
// light theme takes darker shades of the same hues, readable on white.
const char *const darkBitNames[8] = {"#ff9f1c", "#ffe14d", "#3ec5ff", "#ff6ad5",
                                     "#b388ff", "#2de2c4", "#d2a86e", "#e6e6e6"};
const char *const lightBitNames[8] = {"#c25e00", "#7f7f00", "#0060c0", "#c2187a",
                                      "#6a3fc2", "#00806b", "#7a5230", "#303030"};

QColor darkBitColour(int bit)
{
    return QColor(QLatin1String(darkBitNames[bit & 7]));
}

QColor lightBitColour(int bit)
{
    return QColor(QLatin1String(lightBitNames[bit & 7]));
}

// Logic references: a blue light enough to read on black, dark enough on white.
const QColor referenceBlue(64, 128, 255);
const QColor traceGreen(75, 229, 28);
const QColor traceRed(Qt::red);

// A reference is drawn in its own channel's colour, faded towards the
// background, so that it reads as that channel's ghost and never as the
// other channel; faded no further than it stays readable on the background.
QColor referenceColour(const QColor &trace, const QColor &background)
{
    QColor faded = trace;
    for (double keep = 0.55; keep < 1.0; keep += 0.05) {
        auto mix = [keep](int a, int b) { return int(keep * a + (1.0 - keep) * b + 0.5); };
        faded = QColor(mix(trace.red(), background.red()), mix(trace.green(), background.green()),
                       mix(trace.blue(), background.blue()));
        if (contrastRatio(faded, background) >= minimumContrast)
            return faded;
    }
    return trace;
}

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

QString labelStyle(const QColor &colour)
{
    return QStringLiteral("QLabel { background-color : ") + colour.name() + QStringLiteral("; }");
}

} // namespace

CustomColors::CustomColors()
{
    loadDefaults();
}

QStringList CustomColors::names()
{
    QStringList list;
    for (const NamedKey &entry : namedKeys)
        list << QLatin1String(entry.name);
    return list;
}

QString CustomColors::settingsKey(const QString &name)
{
    for (const NamedKey &entry : namedKeys) {
        if (name == QLatin1String(entry.name))
            return QLatin1String(entry.key);
    }
    return QString();
}

QColor CustomColors::colorAt(const QString &name) const
{
    if (name == backgroundName)
        return background.color();
    return colours.value(name, QColor());
}

void CustomColors::setColor(const QString &name, const QColor &colour)
{
    if (!colour.isValid())
        return;
    if (name == backgroundName) {
        background.setColor(colour);
        return;
    }
    const auto it = colours.find(name);
    if (it != colours.end())
        *it = colour;
}

void CustomColors::loadDefaults()
{
    const QColor &green = traceGreen;
    const QColor &red = traceRed;
    colours.clear();
    // Each reference is its own channel's colour, faded.
    colours.insert(QStringLiteral("CH1"), green);
    colours.insert(QStringLiteral("CH1 REF"), referenceColour(green, Qt::black));
    colours.insert(QStringLiteral("CH1 FFT"), green);
    colours.insert(QStringLiteral("CH2"), red);
    colours.insert(QStringLiteral("CH2 REF"), referenceColour(red, Qt::black));
    colours.insert(QStringLiteral("CH2 FFT"), red);
    for (int bit = 0; bit < 8; ++bit) {
        colours.insert(QStringLiteral("BIT %1").arg(bit), darkBitColour(bit));
        colours.insert(QStringLiteral("BIT %1 REF").arg(bit), referenceBlue);
    }
    colours.insert(QStringLiteral("GRID"), QColor(140, 140, 140));
    colours.insert(QStringLiteral("AXES"), QColor(Qt::white));
    colours.insert(QStringLiteral("LABELS"), green);
    background = QBrush(QColor(Qt::black), Qt::SolidPattern);
}

bool CustomColors::load(QSettings &store)
{
    loadDefaults();
    bool isNumber = false;
    const int marker = store.value(themeSetKey).toInt(&isNumber);
    if (!isNumber || marker != themeSetMarker)
        return false;
    for (const NamedKey &entry : namedKeys) {
        const QString key = QLatin1String(entry.key);
        const QString name = QLatin1String(entry.name);
        if (!store.contains(key)) {
            qWarning().noquote() << QStringLiteral("Custom theme: no colour stored under \"%1\", keeping %2")
                                        .arg(key, colorAt(name).name());
            continue;
        }
        const QString text = store.value(key).toString();
        const QColor colour(text);
        if (!colour.isValid()) {
            qWarning().noquote() << QStringLiteral("Custom theme: invalid colour \"%1\" under \"%2\" ignored, keeping %3")
                                        .arg(text, key, colorAt(name).name());
            continue;
        }
        setColor(name, colour);
    }
    return true;
}

void CustomColors::save(QSettings &store) const
{
    for (const NamedKey &entry : namedKeys)
        store.setValue(QLatin1String(entry.key), colorAt(QLatin1String(entry.name)).name());
    store.setValue(themeSetKey, themeSetMarker);
}

QString idealForegroundColor(const QColor &background)
{
    const int luminance =
        int(0.299 * background.red() + 0.587 * background.green() + 0.114 * background.blue());
    return 255 - luminance < 105 ? QColor(Qt::black).name() : QColor(Qt::white).name();
}

double contrastRatio(const QColor &a, const QColor &b)
{
    // Relative luminance of sRGB, as the accessibility guidelines define it.
    auto luminance = [](const QColor &c) {
        auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QImage recolouredMarker(const QImage &marker, const QColor &from, const QColor &to)
{
    QImage image = marker.convertToFormat(QImage::Format_ARGB32);
    // The fill's own edges, blended by the anti-aliasing, go with it.
    auto near = [&from](QRgb p) {
        return qAbs(qRed(p) - from.red()) + qAbs(qGreen(p) - from.green()) + qAbs(qBlue(p) - from.blue()) < 90;
    };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) > 0 && near(p))
                image.setPixel(x, y, qRgba(to.red(), to.green(), to.blue(), qAlpha(p)));
        }
    return image;
}

int customIntensityMode(const QColor &background)
{
    return idealForegroundColor(background) == QColor(Qt::black).name() ? 1 : 0;
}

namespace Theme {
QStringList names()
{
    return {QStringLiteral("Dark"), QStringLiteral("Light"), QStringLiteral("Custom")};
}
} // namespace Theme

QPen themePen(const QColor &colour, double width, Qt::PenStyle style)
{
    QPen pen(colour);
    pen.setWidthF(width);
    pen.setStyle(style);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::BevelJoin);
    return pen;
}

namespace {
// The colours of one theme, before they become pens and brushes.
struct ThemeColours {
    QColor ch1, ch2, ch1Ref, ch2Ref, ch1Decay, ch2Decay, ch1Fft, ch2Fft, grid, axes, background, labels;
    std::array<QColor, 8> bit, baseline, bitRef;
    bool fillBits = false;
    int intensityMode = 0;
};

const QColor &green = traceGreen;
const QColor fftGreen(QStringLiteral("#4be51c"));
// The dark theme's green is too pale on white: this one reads there.
const QColor lightGreen(20, 150, 20);

ThemeColours darkColours()
{
    ThemeColours c;
    // Each channel keeps one colour for its trace, its history, its
    // spectrum and its legend swatch: CH1 green, CH2 red.
    c.ch1 = green;
    c.ch2 = Qt::red;
    c.background = Qt::black;
    c.ch1Ref = referenceColour(c.ch1, c.background);
    c.ch2Ref = referenceColour(c.ch2, c.background);
    c.ch1Decay = green;
    c.ch2Decay = Qt::red;
    c.ch1Fft = fftGreen;
    c.ch2Fft = Qt::red;
    c.grid = QColor(140, 140, 140);
    c.axes = Qt::white;
    c.labels = fftGreen;
    for (int b = 0; b < 8; ++b) {
        c.bit[b] = darkBitColour(b);
        c.baseline[b] = withAlpha(c.bit[b], 35);
        c.bitRef[b] = referenceBlue;
    }
    c.fillBits = true;
    c.intensityMode = 0;
    return c;
}

ThemeColours lightColours()
{
    ThemeColours c;
    c.ch1 = lightGreen;
    c.ch2 = Qt::red;
    c.background = Qt::white;
    c.ch1Ref = referenceColour(c.ch1, c.background);
    c.ch2Ref = referenceColour(c.ch2, c.background);
    c.ch1Decay = lightGreen;
    c.ch2Decay = Qt::red;
    c.ch1Fft = lightGreen;
    c.ch2Fft = Qt::red;
    c.grid = QColor(140, 140, 140);
    c.axes = Qt::black;
    c.labels = Qt::red;
    for (int b = 0; b < 8; ++b) {
        c.bit[b] = lightBitColour(b);
        c.baseline[b] = c.bit[b];
        c.bitRef[b] = Qt::blue;
    }
    c.intensityMode = 1;
    return c;
}

ThemeColours customColours(const CustomColors &colours)
{
    ThemeColours c;
    c.ch1 = colours.colorAt(QStringLiteral("CH1"));
    c.ch2 = colours.colorAt(QStringLiteral("CH2"));
    c.ch1Ref = colours.colorAt(QStringLiteral("CH1 REF"));
    c.ch2Ref = colours.colorAt(QStringLiteral("CH2 REF"));
    c.ch1Decay = c.ch1;
    c.ch2Decay = c.ch2;
    c.ch1Fft = colours.colorAt(QStringLiteral("CH1 FFT"));
    c.ch2Fft = colours.colorAt(QStringLiteral("CH2 FFT"));
    c.grid = colours.colorAt(QStringLiteral("GRID"));
    c.axes = colours.colorAt(QStringLiteral("AXES"));
    c.background = colours.colorAt(QStringLiteral("BACKGROUND"));
    c.labels = colours.colorAt(QStringLiteral("LABELS"));
    for (int b = 0; b < 8; ++b) {
        c.bit[b] = colours.colorAt(QStringLiteral("BIT %1").arg(b));
        c.baseline[b] = c.bit[b];
        c.bitRef[b] = colours.colorAt(QStringLiteral("BIT %1 REF").arg(b));
    }
    c.intensityMode = customIntensityMode(c.background);
    return c;
}
} // namespace

bool themePalette(int theme, const CustomColors *colours, ThemePalette *palette)
{
    if (!palette)
        return false;
    if (theme != Theme::Dark && theme != Theme::Light && theme != Theme::Custom)
        return false;
    if (theme == Theme::Custom && !colours)
        return false;

    const ThemeColours c = theme == Theme::Dark    ? darkColours()
                           : theme == Theme::Light ? lightColours()
                                                   : customColours(*colours);
    ThemePalette p;
    p.fillBits = c.fillBits;
    p.intensityMode = c.intensityMode;
    p.ch1Trace = themePen(c.ch1, 2);
    p.ch2Trace = themePen(c.ch2, 2);
    p.ch1Reference = themePen(c.ch1Ref, 2);
    p.ch2Reference = themePen(c.ch2Ref, 2);
    for (int k = 0; k < 9; ++k) {
        // The newest history line is a pixel wide, the older ones hairlines.
        p.ch1Decay[k] = themePen(c.ch1Decay, k == 0 ? 1 : 0);
        p.ch2Decay[k] = themePen(c.ch2Decay, k == 0 ? 1 : 0);
    }
    for (int b = 0; b < 8; ++b) {
        p.bitTrace[b] = themePen(c.bit[b], 1.5);
        p.bitBaseline[b] = themePen(c.baseline[b], 1.5);
        p.bitReference[b] = themePen(c.bitRef[b], 1.5);
        if (p.fillBits)
            p.bitFill[b] = QBrush(withAlpha(c.bit[b], 35), Qt::SolidPattern);
    }
    p.ch1Fft = themePen(c.ch1Fft, 2);
    p.ch2Fft = themePen(c.ch2Fft, 2);
    p.grid = themePen(c.grid, 1, Qt::DotLine);
    p.axes = themePen(c.axes, 1);
    p.background = theme == Theme::Custom ? colours->backgroundBrush() : QBrush(c.background, Qt::SolidPattern);
    p.cursorLabels = c.labels;
    p.ch1LabelStyle = labelStyle(c.ch1);
    p.ch2LabelStyle = labelStyle(c.ch2);
    *palette = p;
    return true;
}
