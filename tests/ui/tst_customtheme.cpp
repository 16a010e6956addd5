#include "common/testsupport.h"
#include "ui/customtheme.h"

#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

void veltoInitResources();

Q_DECLARE_METATYPE(CustomColors *)

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
        QVERIFY2(target && target->isVisible(), qPrintable(text));
        QTest::mouseClick(target, Qt::LeftButton);
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
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Custom Theme"));
        // Fixed size, centred, and a title bar that can only close.
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint |
                                         Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
                 Qt::WindowCloseButtonHint);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY((dialog.geometry().center() - screen.center()).manhattanLength() <= 2);
        QFile sheet(QStringLiteral(":/themes/theme-linux.qss"));
        QVERIFY(sheet.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(dialog.styleSheet(), QString::fromUtf8(sheet.readAll()));
        // One button per colour plus Cancel and Apply, the swatch after the name.
        QStringList seen{QStringLiteral("Apply"), QStringLiteral("Cancel")};
        for (QPushButton *candidate : dialog.findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly))
            if (seen.removeOne(candidate->text()) || candidate->layoutDirection() == Qt::RightToLeft)
                seen << candidate->text();
        seen.sort();
        QStringList names = CustomColors::names() + QStringList({"Apply", "Cancel"});
        names.sort();
        QCOMPARE(seen, names);
        checkTable(dialog, CustomColors());
    }

    void choosingAColourChangesOnlyThatColour()
    {
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
        QVERIFY(dialog.isVisible());
        // The chooser starts from the current colour, once per click.
        QCOMPARE(offered, (QList<QColor>{QColor(Qt::blue), QColor(Qt::black)}));
        // Choosing is not applying: nothing is stored yet.
        QVERIFY(!QSettings().contains(QStringLiteral("isThemeSet")));
    }

    void applyStoresAndEmitsOnce()
    {
        CustomTheme dialog;
        dialog.chooseColour = [](const QColor &) { return QColor(Qt::green); };
        QSignalSpy applied(&dialog, &CustomTheme::applyCustomTheme);
        click(dialog, QStringLiteral("BIT 3 REF"));
        click(dialog, QStringLiteral("Apply"));
        QCOMPARE(applied.count(), 1);
        QCOMPARE(applied.at(0).at(0).toInt(), 2);
        QCOMPARE(applied.at(0).at(1).value<CustomColors *>(), dialog.colors());
        QVERIFY(!dialog.isVisible());
        QSettings store;
        QCOMPARE(store.value(QStringLiteral("isThemeSet")).toInt(), 509);
        QCOMPARE(store.value(QStringLiteral("bitref3")).toString(), QStringLiteral("#00ff00"));
        QCOMPARE(store.value(QStringLiteral("ch1")).toString(), QStringLiteral("#4be51c"));
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
        QCOMPARE(applied.count(), 0);
        QVERIFY(!QSettings().contains(QStringLiteral("isThemeSet")));
    }

    void withoutTheMarkerTheDefaultsApply_data()
    {
        QTest::addColumn<QVariant>("marker");
        QTest::newRow("absent") << QVariant();
        QTest::newRow("508") << QVariant(508);
        QTest::newRow("510") << QVariant(510);
        QTest::newRow("text") << QVariant(QStringLiteral("yes"));
    }
    void withoutTheMarkerTheDefaultsApply()
    {
        QFETCH(QVariant, marker);
        {
            QSettings store; // a table that must not be read without the marker
            for (const QString &name : CustomColors::names())
                store.setValue(CustomColors::settingsKey(name), QStringLiteral("#123456"));
            if (marker.isValid())
                store.setValue(QStringLiteral("isThemeSet"), marker);
        }
        CustomTheme dialog;
        checkTable(dialog, CustomColors());
        // The same on a reload after colours were chosen, and from the default button.
        dialog.chooseColour = [](const QColor &) { return QColor(Qt::yellow); };
        click(dialog, QStringLiteral("CH1"));
        QCOMPARE(dialog.colors()->colorAt(QStringLiteral("CH1")), QColor(Qt::yellow));
        dialog.loadTheme();
        checkTable(dialog, CustomColors());
        click(dialog, QStringLiteral("CH1"));
        dialog.loadDefaultTheme();
        checkTable(dialog, CustomColors());
    }

    void badStoredColoursAreLoggedAndSkipped()
    {
        {
            QSettings store;
            store.setValue(QStringLiteral("isThemeSet"), 509);
            store.setValue(QStringLiteral("ch1"), QStringLiteral("not a colour"));
            store.setValue(QStringLiteral("ch2"), QStringLiteral("#12345"));
            store.setValue(QStringLiteral("bit0"), QString());
            store.setValue(QStringLiteral("bitref7"), 42);
            store.setValue(QStringLiteral("grid"), QStringLiteral("#102030"));
            store.setValue(QStringLiteral("background"), QStringLiteral("#fafafa"));
            // "axes" and the rest are missing.
        }
        MessageCapture log;
        CustomTheme dialog;
        CustomColors expected;
        expected.setColor(QStringLiteral("GRID"), QColor(QStringLiteral("#102030")));
        expected.setColor(QStringLiteral("BACKGROUND"), QColor(QStringLiteral("#fafafa")));
        checkTable(dialog, expected);
        for (const char *key : {"\"ch1\"", "\"ch2\"", "\"bit0\"", "\"bitref7\"", "\"axes\""})
            QVERIFY2(log.contains(QLatin1String(key)), key);
        QVERIFY(!log.contains(QStringLiteral("\"grid\"")));

        // The default button resets the table and the swatches; only Apply writes.
        dialog.loadDefaultTheme();
        checkTable(dialog, CustomColors());
        QCOMPARE(QSettings().value(QStringLiteral("grid")).toString(), QStringLiteral("#102030"));
    }
};

QTEST_MAIN(TestCustomTheme)
#include "tst_customtheme.moc"
