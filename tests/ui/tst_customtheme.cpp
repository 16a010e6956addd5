// SPDX-License-Identifier: GPL-3.0-only
#include "common/testsupport.h"
#include "ui/customtheme.h"
#include "ui/themes.h"

#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

void veltoInitResources();

Q_DECLARE_METATYPE(CustomColors *)

// The custom theme dialog, its colour table and the palettes of the themes.
class TestCustomTheme : public QObject
{
    Q_OBJECT
private:
    static QPushButton *button(CustomTheme &dialog, const QString &text)
    {
        for (QPushButton *candidate : dialog.findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly))
            if (candidate->text() == text)
                return candidate;
        return nullptr;
    }
    static QColor iconColour(const QAbstractButton *button)
    {
        const QImage image = button->icon().pixmap(24, 24).toImage();
        return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
    }
    // Every colour of the table, and every button's swatch, against `expected`.
    static void checkTable(CustomTheme &dialog, const CustomColors &expected)
    {
        for (const QString &name : CustomColors::names()) {
            QVERIFY2(dialog.colors()->colorAt(name) == expected.colorAt(name), qPrintable(name));
            QVERIFY2(iconColour(button(dialog, name)) == expected.colorAt(name), qPrintable(name));
        }
    }
    // Shows the dialog and clicks a button the way the user does.
    static void click(CustomTheme &dialog, const QString &text)
    {
        if (!dialog.isVisible()) {
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        }
        QPushButton *target = button(dialog, text);
        QVERIFY2(target && target->isVisible() && target->width() >= target->sizeHint().width(), qPrintable(text));
        // Through the window, where a modal dialog would block the click.
        QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, target->mapTo(&dialog, target->rect().center()));
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("VeltoTests"));
        QCoreApplication::setApplicationName(QStringLiteral("tst_customtheme"));
        veltoInitResources();
        qRegisterMetaType<CustomColors *>();
    }
    void init()
    {
        QSettings store;
        store.clear();
        store.sync();
    }
    void formAsTheUserSeesIt()
    {
        CustomTheme dialog;
        // Fixed size, centred, a title bar that can only close, the sheet of the resources.
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint |
                                         Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
                 Qt::WindowCloseButtonHint);
        QVERIFY((dialog.geometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center())
                    .manhattanLength() <= 2);
        QFile sheet(QStringLiteral(":/themes/theme-linux.qss"));
        QVERIFY(sheet.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(dialog.styleSheet(), QString::fromUtf8(sheet.readAll()));
        checkTable(dialog, CustomColors()); // one button per colour, in the table's colour
    }
    void choosingAColourChangesOnlyThatColour()
    {
        QDialog settings; // it opens from the modal Settings dialog
        settings.setWindowModality(Qt::ApplicationModal);
        settings.show();
        CustomTheme dialog;
        QList<QColor> offered;
        QColor answer(Qt::green);
        dialog.chooseColour = [&](const QColor &initial) {
            offered << initial;
            return answer;
        };
        click(dialog, QStringLiteral("BIT 3 REF"));
        CustomColors expected;
        expected.setColor(QStringLiteral("BIT 3 REF"), Qt::green);
        checkTable(dialog, expected);
        // A cancelled choice (an invalid colour) changes nothing.
        answer = QColor();
        click(dialog, QStringLiteral("BACKGROUND"));
        checkTable(dialog, expected);
        // The chooser starts from the current colour, once per click; choosing is not applying.
        QCOMPARE(offered, (QList<QColor>{QColor(64, 128, 255), QColor(Qt::black)}));
        QVERIFY(dialog.isVisible() && !QSettings().contains(QStringLiteral("isThemeSet")));
    }
    void applyStoresAndEmitsOnce()
    {
        CustomTheme dialog;
        dialog.chooseColour = [](const QColor &) { return QColor(Qt::green); };
        QSignalSpy applied(&dialog, &CustomTheme::applyCustomTheme);
        click(dialog, QStringLiteral("BIT 3 REF"));
        click(dialog, QStringLiteral("Apply"));
        QVERIFY(applied.count() == 1 && applied.at(0).at(0).toInt() == 2 && !dialog.isVisible());
        QCOMPARE(applied.at(0).at(1).value<CustomColors *>(), dialog.colors());
        QSettings store;
        QCOMPARE(QStringList({store.value("isThemeSet").toString(), store.value("bitref3").toString(),
                              store.value("ch1").toString()}),
                 QStringList({"509", "#00ff00", "#4be51c"}));
        for (const QString &name : CustomColors::names())
            QVERIFY2(store.contains(CustomColors::settingsKey(name)), qPrintable(name));
        // What was applied comes back in the next run, and on a reload after
        // something else wrote the store.
        QSettings().setValue(QStringLiteral("ch2"), QStringLiteral("#abcdef"));
        CustomColors expected;
        expected.setColor(QStringLiteral("BIT 3 REF"), Qt::green);
        expected.setColor(QStringLiteral("CH2"), QColor(0xab, 0xcd, 0xef));
        CustomTheme nextRun;
        checkTable(nextRun, expected);
        dialog.loadTheme();
        checkTable(dialog, expected);
        // The default button resets the table and the swatches; only Apply writes.
        dialog.loadDefaultTheme();
        checkTable(dialog, CustomColors());
        QCOMPARE(QSettings().value(QStringLiteral("ch2")).toString(), QStringLiteral("#abcdef"));
    }
    void cancelAndEscapeDropTheChoice()
    {
        CustomTheme dialog;
        dialog.chooseColour = [](const QColor &) { return QColor(QStringLiteral("#123456")); };
        QSignalSpy applied(&dialog, &CustomTheme::applyCustomTheme);
        click(dialog, QStringLiteral("GRID"));
        QCOMPARE(dialog.colors()->colorAt(QStringLiteral("GRID")), QColor(QStringLiteral("#123456")));
        click(dialog, QStringLiteral("Cancel"));
        QVERIFY(!dialog.isVisible());
        checkTable(dialog, CustomColors());
        // Shown again, a choice is dropped by Escape the same way.
        click(dialog, QStringLiteral("AXES"));
        QCOMPARE(dialog.colors()->colorAt(QStringLiteral("AXES")), QColor(QStringLiteral("#123456")));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        checkTable(dialog, CustomColors());
        QVERIFY(applied.isEmpty() && !QSettings().contains(QStringLiteral("isThemeSet")));
    }
    void withoutTheMarkerTheDefaultsApply()
    {
        {
            QSettings store; // a table that must not be read without the marker
            for (const QString &name : CustomColors::names())
                store.setValue(CustomColors::settingsKey(name), QStringLiteral("#123456"));
            store.setValue(QStringLiteral("isThemeSet"), 508);
        }
        CustomTheme dialog;
        checkTable(dialog, CustomColors());
        // The same on a reload after colours were chosen.
        dialog.chooseColour = [](const QColor &) { return QColor(Qt::yellow); };
        click(dialog, QStringLiteral("CH1"));
        QCOMPARE(dialog.colors()->colorAt(QStringLiteral("CH1")), QColor(Qt::yellow));
        dialog.loadTheme();
        checkTable(dialog, CustomColors());
    }

    // The colour table and the palettes, without the dialog.

    void everyNameHasItsOwnColour()
    {
        const CustomColors defaults;
        QCOMPARE(CustomColors::names().size(), 26);
        QCOMPARE(CustomColors::settingsKey("BIT 3 REF"), QStringLiteral("bitref3"));
        QCOMPARE(CustomColors::settingsKey("LABELS"), QStringLiteral("label"));
        // Changing one colour touches no other, the twins that share a default included.
        for (const QString &changed : CustomColors::names()) {
            CustomColors one;
            one.setColor(changed, QColor(1, 2, 3));
            for (const QString &name : CustomColors::names())
                QVERIFY2(one.colorAt(name) == (name == changed ? QColor(1, 2, 3) : defaults.colorAt(name)),
                         qPrintable(changed + " / " + name));
        }
        CustomColors other;
        other.setColor("CH3", Qt::green); // unknown name, invalid colour: ignored
        other.setColor("CH1", QColor());
        QVERIFY(!other.colorAt("CH3").isValid());
        QCOMPARE(other.colorAt("CH1"), QColor(75, 229, 28));
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
        QCOMPARE(QList<QColor>({colours.colorAt("CH2"), colours.colorAt("GRID"), colours.colorAt("AXES")}),
                 QList<QColor>({Qt::red, QColor(140, 140, 140), QColor(0x10, 0x20, 0x30)}));
        QCOMPARE(colours.colorAt("BIT 5"), CustomColors().colorAt("BIT 5"));
        QVERIFY(log.contains("\"not a colour\"") && log.contains("\"#12345\"") && log.contains("\"bit5\""));
        QCOMPARE(log.count("Custom theme"), 3);
    }
    void idealForeground()
    {
        // Black text from luminance 151 up, green weighing most, blue least.
        const QPair<QColor, QString> cases[] = {{QColor(150, 150, 150), "#ffffff"}, {QColor(151, 151, 151), "#000000"},
                                                {QColor(0, 255, 10), "#ffffff"},    {QColor(0, 255, 12), "#000000"},
                                                {QColor(0, 0, 255), "#ffffff"},     {Qt::white, "#000000"}};
        for (const auto &c : cases)
            QCOMPARE(idealForegroundColor(c.first), c.second);
        // A custom theme fades like the built-in theme its background resembles.
        QVERIFY(customIntensityMode(Qt::black) == 0 && customIntensityMode(QColor(240, 240, 240)) == 1);
    }
    void palettes()
    {
        // The built-in tables are constants; what is computed is checked.
        ThemePalette dark;
        QVERIFY(themePalette(Theme::Dark, nullptr, &dark));
        QCOMPARE(QList<double>({dark.ch1Decay[0].widthF(), dark.ch1Decay[8].widthF()}), QList<double>({1.0, 0.0}));
        QColor fill = dark.bitTrace[2].color();
        fill.setAlpha(35);
        QCOMPARE(dark.bitFill[2].color(), fill);
        QCOMPARE(dark.ch1LabelStyle, QStringLiteral("QLabel { background-color : #4be51c; }"));
        QVERIFY(dark.fillBits && dark.intensityMode == 0);
        // One reference of the custom table on the plot: in tst_themewindow.
        CustomColors colours;
        colours.setColor("CH2", QColor(1, 2, 3));
        colours.setColor("BACKGROUND", QColor(230, 230, 230));
        ThemePalette custom;
        QVERIFY(themePalette(Theme::Custom, &colours, &custom));
        QCOMPARE(QList<QColor>({custom.ch2Decay[5].color(), custom.bitBaseline[4].color(), custom.background.color(),
                                custom.cursorLabels}),
                 QList<QColor>({QColor(1, 2, 3), colours.colorAt("BIT 4"), QColor(230, 230, 230), colours.colorAt("LABELS")}));
        QVERIFY(!custom.fillBits && custom.intensityMode == 1); // faded like the light theme
        // Refused: the custom theme without a table, and unknown themes; nothing changes.
        custom.cursorLabels = Qt::yellow;
        for (int theme : {int(Theme::Custom), 3, -1})
            QVERIFY(!themePalette(theme, nullptr, &custom));
        QCOMPARE(custom.cursorLabels, QColor(Qt::yellow));
    }
    void everyThemeReadsOnItsBackground()
    {
        QVERIFY(qRound(contrastRatio(Qt::white, Qt::black)) == 21 && contrastRatio(Qt::red, Qt::red) == 1.0);
        const CustomColors defaults;
        for (int theme : {int(Theme::Dark), int(Theme::Light), int(Theme::Custom)}) {
            ThemePalette p;
            QVERIFY(themePalette(theme, &defaults, &p));
            QList<QPen> pens{p.ch1Trace, p.ch2Trace, p.ch1Reference, p.ch2Reference, p.ch1Decay[0], p.ch2Decay[0],
                             p.ch1Fft,   p.ch2Fft,   p.grid,         p.axes,         QPen(p.cursorLabels)};
            for (int b = 0; b < 8; ++b)
                pens << p.bitTrace[b] << p.bitReference[b];
            for (const QPen &pen : pens)
                QVERIFY2(contrastRatio(pen.color(), p.background.color()) >= 3.0,
                         qPrintable(QStringLiteral("theme %1: %2").arg(theme).arg(pen.color().name())));
        }
    }
};

QTEST_MAIN(TestCustomTheme)
#include "tst_customtheme.moc"
