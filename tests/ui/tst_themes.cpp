#include "common/testsupport.h"
#include "ui/themes.h"

#include <QSettings>
#include <QtTest>

class TestThemes : public QObject
{
    Q_OBJECT
private slots:
    void init() { QSettings().clear(); }

    void customTableDefaultsAndNames()
    {
        const CustomColors colours;
        QCOMPARE(CustomColors::names().size(), 26);
        const QList<QPair<const char *, QColor>> defaults{
            {"CH1", QColor("#4be51c")},       {"CH1 REF", Qt::red},           {"CH2 REF", QColor(75, 229, 28)},
            {"BIT 0", QColor(255, 4, 4)},     {"BIT 5", QColor(205, 54, 4)},  {"BIT 7", QColor(185, 74, 4)},
            {"BIT 4 REF", Qt::blue},          {"GRID", QColor(140, 140, 140)}, {"AXES", Qt::white},
            {"BACKGROUND", Qt::black}};
        for (const auto &d : defaults)
            QVERIFY2(colours.colorAt(d.first) == d.second, d.first);
        QCOMPARE(CustomColors::settingsKey("BIT 3 REF"), QStringLiteral("bitref3"));
        QCOMPARE(CustomColors::settingsKey("LABELS"), QStringLiteral("label"));
        QVERIFY(!colours.colorAt("CH3").isValid());
        // Changing one colour touches no other, the twins that share a default included.
        for (const QString &changed : CustomColors::names()) {
            CustomColors one;
            one.setColor(changed, QColor(1, 2, 3));
            for (const QString &name : CustomColors::names())
                QVERIFY2(one.colorAt(name) == (name == changed ? QColor(1, 2, 3) : colours.colorAt(name)),
                         qPrintable(changed + " / " + name));
        }
        CustomColors other;
        other.setColor("CH3", Qt::green); // unknown name: ignored
        QVERIFY(!other.colorAt("CH3").isValid());
        other.setColor("CH1", QColor()); // invalid colour: ignored
        QCOMPARE(other.colorAt("CH1"), QColor(75, 229, 28));
        other.setColor("BACKGROUND", QColor(10, 20, 30));
        QCOMPARE(other.backgroundBrush(), QBrush(QColor(10, 20, 30)));
    }

    void storedThemeRoundTripsOnlyWithTheMarker()
    {
        CustomColors colours;
        colours.setColor("BIT 3 REF", Qt::green);
        colours.setColor("BACKGROUND", QColor(250, 250, 240));
        QSettings store;
        colours.save(store);
        QCOMPARE(store.value("isThemeSet").toInt(), 509);
        QCOMPARE(store.value("bitref3").toString(), QStringLiteral("#00ff00"));
        QCOMPARE(store.value("background").toString(), QStringLiteral("#fafaf0"));
        CustomColors loaded;
        loaded.setColor("CH1", Qt::yellow); // whatever was there before is replaced
        QVERIFY(loaded.load(store));
        for (const QString &name : CustomColors::names())
            QCOMPARE(loaded.colorAt(name), colours.colorAt(name));
        // Without the right marker: the defaults, whatever the table holds.
        for (const QVariant &marker : {QVariant(), QVariant(508), QVariant("many")}) {
            store.setValue("isThemeSet", marker);
            if (!marker.isValid())
                store.remove("isThemeSet");
            QVERIFY(!loaded.load(store));
            QCOMPARE(loaded.colorAt("BIT 3 REF"), QColor(Qt::blue));
            loaded.setColor("BIT 3 REF", Qt::green);
        }
    }

    void badStoredColoursKeepTheirDefaults()
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
        QVERIFY(log.contains("\"not a colour\"") && log.contains("\"#12345\"") && log.contains("\"bit5\""));
        QCOMPARE(log.count("Custom theme"), 3);
    }

    void idealForeground()
    {
        // Black text from luminance 151 up.
        QCOMPARE(idealForegroundColor(Qt::white), QStringLiteral("#000000"));
        QCOMPARE(idealForegroundColor(QColor(0, 0, 255)), QStringLiteral("#ffffff"));
        QCOMPARE(idealForegroundColor(QColor(150, 150, 150)), QStringLiteral("#ffffff"));
        QCOMPARE(idealForegroundColor(QColor(151, 151, 151)), QStringLiteral("#000000"));
        QCOMPARE(idealForegroundColor(QColor(0, 255, 10)), QStringLiteral("#ffffff"));
        QCOMPARE(idealForegroundColor(QColor(0, 255, 12)), QStringLiteral("#000000"));
        // A custom theme fades like the built-in theme its background resembles.
        QCOMPARE(customIntensityMode(Qt::black), 0);
        QCOMPARE(customIntensityMode(QColor(240, 240, 240)), 1);
    }

    void palettes()
    {
        ThemePalette dark;
        QVERIFY(themePalette(Theme::Dark, nullptr, &dark));
        QCOMPARE(dark.ch2Trace, QPen(QColor(150, 150, 150), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        QCOMPARE(dark.ch1Decay[0].widthF(), 1.0);
        QCOMPARE(dark.ch1Decay[8].widthF(), 0.0);
        QCOMPARE(dark.ch2Decay[3].color(), QColor(Qt::red));
        QCOMPARE(dark.bitTrace[2].color(), QColor(235, 24, 4));
        QCOMPARE(dark.bitTrace[2].widthF(), 1.5);
        QCOMPARE(dark.bitFill[2].color(), QColor(235, 24, 4, 35));
        QVERIFY(dark.fillBits);
        QCOMPARE(dark.grid.style(), Qt::DotLine);
        QCOMPARE(QList<QColor>({dark.grid.color(), dark.axes.color(), dark.background.color(), dark.cursorLabels}),
                 QList<QColor>({QColor(140, 140, 140), Qt::white, Qt::black, QColor("#4be51c")}));
        QCOMPARE(dark.ch1LabelStyle, QStringLiteral("QLabel { background-color : #4be51c; }"));
        QCOMPARE(dark.intensityMode, 0);

        ThemePalette light;
        QVERIFY(themePalette(Theme::Light, nullptr, &light));
        QCOMPARE(QList<QColor>({light.bitTrace[7].color(), light.bitTrace[0].color(), light.bitBaseline[7].color(),
                                light.ch1Decay[4].color(), light.ch1Fft.color(), light.ch2Trace.color()}),
                 QList<QColor>({QColor(144, 7, 220), QColor(4, 0, 255), QColor(144, 7, 220), QColor("#2a50fd"),
                                QColor("#2a50fd"), Qt::red}));
        QCOMPARE(QList<QColor>({light.grid.color(), light.axes.color(), light.background.color(), light.cursorLabels}),
                 QList<QColor>({QColor(200, 200, 200), Qt::black, Qt::white, Qt::red}));
        QVERIFY(!light.fillBits);
        QCOMPARE(light.ch2LabelStyle, QStringLiteral("QLabel { background-color : #ff0000; }"));
        QCOMPARE(light.intensityMode, 1);

        CustomColors colours;
        colours.setColor("BIT 3 REF", Qt::green);
        colours.setColor("CH2", QColor(1, 2, 3));
        colours.setColor("BACKGROUND", QColor(230, 230, 230));
        ThemePalette custom;
        QVERIFY(themePalette(Theme::Custom, &colours, &custom));
        for (int b = 0; b < 8; ++b) // only the bit-3 reference turns green
            QCOMPARE(custom.bitReference[b].color(), b == 3 ? QColor(Qt::green) : QColor(Qt::blue));
        QCOMPARE(custom.ch2Decay[5].color(), QColor(1, 2, 3));
        QCOMPARE(custom.bitBaseline[4].color(), colours.colorAt("BIT 4"));
        QCOMPARE(custom.background.color(), QColor(230, 230, 230));
        QCOMPARE(custom.cursorLabels, colours.colorAt("LABELS"));
        QVERIFY(!custom.fillBits);
        QCOMPARE(custom.intensityMode, 1);
        // Refused: the custom theme without a table, and unknown themes; nothing changes.
        custom.cursorLabels = Qt::yellow;
        for (int theme : {int(Theme::Custom), 3, -1})
            QVERIFY(!themePalette(theme, nullptr, &custom));
        QCOMPARE(custom.cursorLabels, QColor(Qt::yellow));
        QCOMPARE(Theme::names(), QStringList({"Dark", "Light", "Custom"}));
    }
};

QTEST_GUILESS_MAIN(TestThemes)
#include "tst_themes.moc"
