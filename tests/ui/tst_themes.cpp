#include "common/testsupport.h"
#include "ui/themes.h"

#include <QSettings>
#include <QtTest>

class TestThemes : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void defaultsOfTheCustomTable();
    void everyNameHasItsOwnColour();
    void unknownNamesAndInvalidColours();
    void storedThemeRoundTrips();
    void storeWithoutMarkerGivesDefaults();
    void badStoredColoursKeepTheirDefaults();
    void idealForeground();
    void darkAndLightPalettes();
    void customPaletteTakesTheTable();
    void unknownThemeChangesNothing();
};

void TestThemes::init()
{
    QSettings store;
    store.clear();
}

void TestThemes::defaultsOfTheCustomTable()
{
    const CustomColors colours;
    QCOMPARE(CustomColors::names().size(), 26);
    QCOMPARE(colours.colorAt("CH1"), QColor("#4be51c"));
    QCOMPARE(colours.colorAt("CH1 REF"), QColor(Qt::red));
    QCOMPARE(colours.colorAt("CH2 REF"), QColor(75, 229, 28));
    QCOMPARE(colours.colorAt("BIT 0"), QColor(255, 4, 4));
    QCOMPARE(colours.colorAt("BIT 7"), QColor(185, 74, 4));
    QCOMPARE(colours.colorAt("BIT 4 REF"), QColor(Qt::blue));
    QCOMPARE(colours.colorAt("GRID"), QColor(140, 140, 140));
    QCOMPARE(colours.colorAt("AXES"), QColor(Qt::white));
    QCOMPARE(colours.colorAt("BACKGROUND"), QColor(Qt::black));
    QCOMPARE(colours.backgroundBrush().style(), Qt::SolidPattern);
    for (const QString &name : CustomColors::names()) {
        QVERIFY2(colours.colorAt(name).isValid(), qPrintable(name));
        QVERIFY2(!CustomColors::settingsKey(name).isEmpty(), qPrintable(name));
    }
    QCOMPARE(CustomColors::settingsKey("BIT 3 REF"), QStringLiteral("bitref3"));
    QCOMPARE(CustomColors::settingsKey("LABELS"), QStringLiteral("label"));
}

void TestThemes::everyNameHasItsOwnColour()
{
    // Changing one colour touches no other, including the twins that share a default.
    for (const QString &changed : CustomColors::names()) {
        CustomColors colours;
        const CustomColors defaults;
        colours.setColor(changed, QColor(1, 2, 3));
        for (const QString &name : CustomColors::names()) {
            if (name == changed)
                QCOMPARE(colours.colorAt(name), QColor(1, 2, 3));
            else
                QCOMPARE(colours.colorAt(name), defaults.colorAt(name));
        }
    }
    CustomColors colours;
    colours.setColor("BACKGROUND", QColor(10, 20, 30));
    QCOMPARE(colours.backgroundBrush().color(), QColor(10, 20, 30));
}

void TestThemes::unknownNamesAndInvalidColours()
{
    CustomColors colours;
    QVERIFY(!colours.colorAt("CH3").isValid());
    colours.setColor("CH3", Qt::green);
    QVERIFY(!colours.colorAt("CH3").isValid());
    colours.setColor("CH1", QColor());
    QCOMPARE(colours.colorAt("CH1"), QColor(75, 229, 28));
}

void TestThemes::storedThemeRoundTrips()
{
    CustomColors colours;
    colours.setColor("BIT 3 REF", Qt::green);
    colours.setColor("BACKGROUND", QColor(250, 250, 240));
    {
        QSettings store;
        colours.save(store);
    }
    QSettings store;
    QCOMPARE(store.value("isThemeSet").toInt(), 509);
    QCOMPARE(store.value("bitref3").toString(), QStringLiteral("#00ff00"));
    QCOMPARE(store.value("background").toString(), QStringLiteral("#fafaf0"));
    QCOMPARE(store.value("ch1").toString(), QStringLiteral("#4be51c"));

    CustomColors loaded;
    loaded.setColor("CH1", Qt::yellow); // whatever was there before is replaced
    QVERIFY(loaded.load(store));
    for (const QString &name : CustomColors::names())
        QCOMPARE(loaded.colorAt(name), colours.colorAt(name));
}

void TestThemes::storeWithoutMarkerGivesDefaults()
{
    QSettings store;
    store.setValue("ch1", "#123456");
    CustomColors colours;
    colours.setColor("GRID", Qt::yellow);
    QVERIFY(!colours.load(store));
    QCOMPARE(colours.colorAt("CH1"), QColor(75, 229, 28));
    QCOMPARE(colours.colorAt("GRID"), QColor(140, 140, 140));
    store.setValue("isThemeSet", 508);
    QVERIFY(!colours.load(store));
    store.setValue("isThemeSet", "many");
    QVERIFY(!colours.load(store));
    QCOMPARE(colours.colorAt("CH1"), QColor(75, 229, 28));
}

void TestThemes::badStoredColoursKeepTheirDefaults()
{
    QSettings store;
    CustomColors().save(store);
    store.setValue("ch2", "not a colour");
    store.setValue("grid", "#12345");
    store.remove("bit5");
    store.setValue("axes", "#102030");

    MessageCapture log;
    CustomColors colours;
    QVERIFY(colours.load(store));
    QCOMPARE(colours.colorAt("CH2"), QColor(Qt::red));
    QCOMPARE(colours.colorAt("GRID"), QColor(140, 140, 140));
    QCOMPARE(colours.colorAt("BIT 5"), QColor(205, 54, 4));
    QCOMPARE(colours.colorAt("AXES"), QColor(0x10, 0x20, 0x30));
    QVERIFY(log.contains("\"not a colour\""));
    QVERIFY(log.contains("\"#12345\""));
    QVERIFY(log.contains("\"bit5\""));
    QCOMPARE(log.count("Custom theme"), 3);
}

void TestThemes::idealForeground()
{
    QCOMPARE(idealForegroundColor(Qt::white), QStringLiteral("#000000"));
    QCOMPARE(idealForegroundColor(QColor(0, 0, 255)), QStringLiteral("#ffffff"));
    QCOMPARE(idealForegroundColor(QColor(200, 200, 200)), QStringLiteral("#000000"));
    QCOMPARE(idealForegroundColor(Qt::black), QStringLiteral("#ffffff"));
    // The turn is between luminance 150 and 151.
    QCOMPARE(idealForegroundColor(QColor(150, 150, 150)), QStringLiteral("#ffffff"));
    QCOMPARE(idealForegroundColor(QColor(151, 151, 151)), QStringLiteral("#000000"));
    // A custom theme fades like the built-in theme its background resembles.
    QCOMPARE(customIntensityMode(Qt::black), 0);
    QCOMPARE(customIntensityMode(QColor(240, 240, 240)), 1);
}

void TestThemes::darkAndLightPalettes()
{
    ThemePalette dark;
    QVERIFY(themePalette(Theme::Dark, nullptr, &dark));
    QCOMPARE(dark.ch2Trace.color(), QColor(150, 150, 150));
    QCOMPARE(dark.ch2Trace.widthF(), 2.0);
    QCOMPARE(dark.ch1Trace.capStyle(), Qt::SquareCap);
    QCOMPARE(dark.ch1Trace.joinStyle(), Qt::BevelJoin);
    QCOMPARE(dark.ch1Decay[0].widthF(), 1.0);
    QCOMPARE(dark.ch1Decay[8].widthF(), 0.0);
    QCOMPARE(dark.ch2Decay[3].color(), QColor(Qt::red));
    QCOMPARE(dark.bitTrace[2].color(), QColor(235, 24, 4));
    QCOMPARE(dark.bitTrace[2].widthF(), 1.5);
    QCOMPARE(dark.bitBaseline[2].color(), QColor(235, 24, 4, 35));
    QVERIFY(dark.fillBits);
    QCOMPARE(dark.bitFill[2].color(), QColor(235, 24, 4, 35));
    QCOMPARE(dark.grid.style(), Qt::DotLine);
    QCOMPARE(dark.grid.color(), QColor(140, 140, 140));
    QCOMPARE(dark.axes.color(), QColor(Qt::white));
    QCOMPARE(dark.background.color(), QColor(Qt::black));
    QCOMPARE(dark.cursorLabels, QColor("#4be51c"));
    QCOMPARE(dark.ch1LabelStyle, QStringLiteral("QLabel { background-color : #4be51c; }"));
    QCOMPARE(dark.intensityMode, 0);

    ThemePalette light;
    QVERIFY(themePalette(Theme::Light, nullptr, &light));
    QCOMPARE(light.bitTrace[7].color(), QColor(144, 7, 220));
    QCOMPARE(light.bitTrace[0].color(), QColor(4, 0, 255));
    QCOMPARE(light.bitBaseline[7].color(), QColor(144, 7, 220));
    QVERIFY(!light.fillBits);
    QCOMPARE(light.ch1Decay[4].color(), QColor("#2a50fd"));
    QCOMPARE(light.ch1Fft.color(), QColor("#2a50fd"));
    QCOMPARE(light.ch2Trace.color(), QColor(Qt::red));
    QCOMPARE(light.grid.color(), QColor(200, 200, 200));
    QCOMPARE(light.axes.color(), QColor(Qt::black));
    QCOMPARE(light.background.color(), QColor(Qt::white));
    QCOMPARE(light.cursorLabels, QColor(Qt::red));
    QCOMPARE(light.ch2LabelStyle, QStringLiteral("QLabel { background-color : #ff0000; }"));
    QCOMPARE(light.intensityMode, 1);
}

void TestThemes::customPaletteTakesTheTable()
{
    CustomColors colours;
    colours.setColor("BIT 3 REF", Qt::green);
    colours.setColor("CH2", QColor(1, 2, 3));
    colours.setColor("BACKGROUND", QColor(230, 230, 230));
    ThemePalette custom;
    QVERIFY(themePalette(Theme::Custom, &colours, &custom));
    // Only the bit-3 reference graph turns green.
    for (int b = 0; b < 8; ++b)
        QCOMPARE(custom.bitReference[b].color(), b == 3 ? QColor(Qt::green) : QColor(Qt::blue));
    QCOMPARE(custom.ch2Trace.color(), QColor(1, 2, 3));
    QCOMPARE(custom.ch2Decay[5].color(), QColor(1, 2, 3));
    QCOMPARE(custom.bitBaseline[4].color(), colours.colorAt("BIT 4"));
    QCOMPARE(custom.background.color(), QColor(230, 230, 230));
    QCOMPARE(custom.cursorLabels, colours.colorAt("LABELS"));
    QVERIFY(!custom.fillBits);
    QCOMPARE(custom.intensityMode, 1);

    // The custom theme without a table is refused.
    QVERIFY(!themePalette(Theme::Custom, nullptr, &custom));
}

void TestThemes::unknownThemeChangesNothing()
{
    ThemePalette palette;
    palette.cursorLabels = Qt::yellow;
    QVERIFY(!themePalette(3, nullptr, &palette));
    QVERIFY(!themePalette(-1, nullptr, &palette));
    QCOMPARE(palette.cursorLabels, QColor(Qt::yellow));
    QCOMPARE(Theme::names(), QStringList({"Dark", "Light", "Custom"}));
}

QTEST_GUILESS_MAIN(TestThemes)
#include "tst_themes.moc"
