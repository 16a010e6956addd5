#include "common/testsupport.h"
#include "ui/customtheme.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

void veltoInitResources();

Q_DECLARE_METATYPE(CustomColors *)

namespace {
enum class Tip { None, Right, Down, Up };
}
Q_DECLARE_METATYPE(Tip)

class TestCustomTheme : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void formAsTheUserSeesIt();
    void everyButtonNamesAColourAndShowsIt();
    void choosingAColourChangesOnlyThatColour();
    void cancelledChoiceChangesNothing();
    void applyStoresAndEmitsOnce();
    void cancelEmitsNothingAndDropsTheChoice();
    void withoutTheMarkerTheDefaultsApply_data();
    void withoutTheMarkerTheDefaultsApply();
    void badStoredColoursAreLoggedAndSkipped();
    void reopeningReloadsFromTheStore();
    void defaultThemeResetsTableAndButtons();
    void foregroundForASwatch();
    void plotIconsAreInTheResources_data();
    void plotIconsAreInTheResources();

private:
    static QPushButton *button(CustomTheme &dialog, const QString &text);
    static QColor iconColour(const QAbstractButton *button);
};

void TestCustomTheme::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("VeltoTests"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_customtheme"));
    veltoInitResources();
    qRegisterMetaType<CustomColors *>();
}

void TestCustomTheme::init()
{
    QSettings store;
    store.clear();
    store.sync();
}

QPushButton *TestCustomTheme::button(CustomTheme &dialog, const QString &text)
{
    for (QPushButton *candidate : dialog.findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

QColor TestCustomTheme::iconColour(const QAbstractButton *button)
{
    const QImage image = button->icon().pixmap(24, 24).toImage();
    if (image.isNull())
        return QColor();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

void TestCustomTheme::formAsTheUserSeesIt()
{
    CustomTheme dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Custom Theme"));
    QVERIFY(!dialog.windowIcon().isNull());
    QVERIFY(dialog.findChild<QLabel *>(QStringLiteral("label")));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("Change colors:"));
    QVERIFY(button(dialog, QStringLiteral("Cancel")));
    QVERIFY(button(dialog, QStringLiteral("Apply")));

    // Fixed size, and a title bar that can only close.
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(dialog.width() > 0 && dialog.height() > 0);
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));

    // The sheet comes from the resources; the dialog has no parent to inherit one from.
    QFile sheet(QStringLiteral(":/themes/theme-linux.qss"));
    QVERIFY(sheet.open(QIODevice::ReadOnly | QIODevice::Text));
    QCOMPARE(dialog.styleSheet(), QString::fromUtf8(sheet.readAll()));

    // Centred on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(qAbs(dialog.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(dialog.geometry().center().y() - screen.center().y()) <= 1);
}

void TestCustomTheme::everyButtonNamesAColourAndShowsIt()
{
    CustomTheme dialog;
    const QStringList names = CustomColors::names();
    QStringList seen;
    for (QPushButton *candidate : dialog.findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly)) {
        const QString text = candidate->text();
        if (text == QLatin1String("Cancel") || text == QLatin1String("Apply"))
            continue;
        QVERIFY2(names.contains(text), qPrintable(text));
        QVERIFY2(!seen.contains(text), qPrintable(text));
        seen << text;
        QCOMPARE(candidate->layoutDirection(), Qt::RightToLeft);
        QCOMPARE(candidate->icon().availableSizes().value(0), QSize(24, 24));
        QCOMPARE(iconColour(candidate), dialog.colors()->colorAt(text));
    }
    QCOMPARE(seen.size(), names.size());
}

void TestCustomTheme::choosingAColourChangesOnlyThatColour()
{
    CustomTheme dialog;
    const CustomColors before = *dialog.colors();
    QList<QColor> offered;
    dialog.chooseColour = [&offered](const QColor &initial) {
        offered << initial;
        return QColor(Qt::green);
    };
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QPushButton *bit3ref = button(dialog, QStringLiteral("BIT 3 REF"));
    QVERIFY(bit3ref);
    QTest::mouseClick(bit3ref, Qt::LeftButton);

    // The chooser starts from the current colour and is asked once.
    QCOMPARE(offered, QList<QColor>{QColor(Qt::blue)});
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("BIT 3 REF")), QColor(Qt::green));
    QCOMPARE(iconColour(bit3ref), QColor(Qt::green));
    for (const QString &name : CustomColors::names()) {
        if (name == QLatin1String("BIT 3 REF"))
            continue;
        QCOMPARE(dialog.colors()->colorAt(name), before.colorAt(name));
        QCOMPARE(iconColour(button(dialog, name)), before.colorAt(name));
    }
    // Choosing is not applying: nothing is stored yet.
    QVERIFY(!QSettings().contains(QStringLiteral("isThemeSet")));
}

void TestCustomTheme::cancelledChoiceChangesNothing()
{
    CustomTheme dialog;
    const CustomColors before = *dialog.colors();
    int asked = 0;
    dialog.chooseColour = [&asked](const QColor &) {
        ++asked;
        return QColor();
    };
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QPushButton *background = button(dialog, QStringLiteral("BACKGROUND"));
    QVERIFY(background);
    QTest::mouseClick(background, Qt::LeftButton);

    QCOMPARE(asked, 1);
    QVERIFY(dialog.isVisible());
    for (const QString &name : CustomColors::names())
        QCOMPARE(dialog.colors()->colorAt(name), before.colorAt(name));
    QCOMPARE(iconColour(background), QColor(Qt::black));
}

void TestCustomTheme::applyStoresAndEmitsOnce()
{
    CustomTheme dialog;
    dialog.chooseColour = [](const QColor &) { return QColor(Qt::green); };
    QSignalSpy applied(&dialog, &CustomTheme::applyCustomTheme);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(button(dialog, QStringLiteral("BIT 3 REF")), Qt::LeftButton);
    QTest::mouseClick(button(dialog, QStringLiteral("Apply")), Qt::LeftButton);

    QCOMPARE(applied.count(), 1);
    QCOMPARE(applied.at(0).at(0).toInt(), 2);
    auto *table = applied.at(0).at(1).value<CustomColors *>();
    QCOMPARE(table, dialog.colors());
    QCOMPARE(table->colorAt(QStringLiteral("BIT 3 REF")), QColor(Qt::green));
    QVERIFY(!dialog.isVisible());

    QSettings store;
    QCOMPARE(store.value(QStringLiteral("isThemeSet")).toInt(), 509);
    QCOMPARE(store.value(QStringLiteral("bitref3")).toString(), QStringLiteral("#00ff00"));
    QCOMPARE(store.value(QStringLiteral("bitref2")).toString(), QStringLiteral("#0000ff"));
    QCOMPARE(store.value(QStringLiteral("ch1")).toString(), QStringLiteral("#4be51c"));
    QCOMPARE(store.value(QStringLiteral("background")).toString(), QStringLiteral("#000000"));
    const QRegularExpression colourName(QStringLiteral("^#[0-9a-f]{6}$"));
    for (const QString &name : CustomColors::names()) {
        const QString key = CustomColors::settingsKey(name);
        QVERIFY2(store.contains(key), qPrintable(key));
        QVERIFY2(colourName.match(store.value(key).toString()).hasMatch(), qPrintable(key));
    }

    // What was applied comes back in the next run.
    CustomTheme nextRun;
    QCOMPARE(nextRun.colors()->colorAt(QStringLiteral("BIT 3 REF")), QColor(Qt::green));
    QCOMPARE(iconColour(button(nextRun, QStringLiteral("BIT 3 REF"))), QColor(Qt::green));
}

void TestCustomTheme::cancelEmitsNothingAndDropsTheChoice()
{
    CustomTheme dialog;
    dialog.chooseColour = [](const QColor &) { return QColor(QStringLiteral("#123456")); };
    QSignalSpy applied(&dialog, &CustomTheme::applyCustomTheme);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(button(dialog, QStringLiteral("GRID")), Qt::LeftButton);
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("GRID")), QColor(QStringLiteral("#123456")));
    QTest::mouseClick(button(dialog, QStringLiteral("Cancel")), Qt::LeftButton);

    QCOMPARE(applied.count(), 0);
    QVERIFY(!dialog.isVisible());
    QVERIFY(!QSettings().contains(QStringLiteral("isThemeSet")));
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("GRID")), QColor(140, 140, 140));
    QCOMPARE(iconColour(button(dialog, QStringLiteral("GRID"))), QColor(140, 140, 140));

    // Escape drops it the same way.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(button(dialog, QStringLiteral("AXES")), Qt::LeftButton);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(applied.count(), 0);
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("AXES")), QColor(Qt::white));
}

void TestCustomTheme::withoutTheMarkerTheDefaultsApply_data()
{
    QTest::addColumn<QVariant>("marker");
    QTest::newRow("absent") << QVariant();
    QTest::newRow("508") << QVariant(508);
    QTest::newRow("510") << QVariant(510);
    QTest::newRow("zero") << QVariant(0);
    QTest::newRow("text") << QVariant(QStringLiteral("yes"));
}

void TestCustomTheme::withoutTheMarkerTheDefaultsApply()
{
    QFETCH(QVariant, marker);
    {
        QSettings store;
        // A colour table that must not be read without the marker.
        for (const QString &name : CustomColors::names())
            store.setValue(CustomColors::settingsKey(name), QStringLiteral("#123456"));
        if (marker.isValid())
            store.setValue(QStringLiteral("isThemeSet"), marker);
    }
    CustomTheme dialog;
    const CustomColors defaults;
    for (const QString &name : CustomColors::names()) {
        QCOMPARE(dialog.colors()->colorAt(name), defaults.colorAt(name));
        QCOMPARE(iconColour(button(dialog, name)), defaults.colorAt(name));
    }

    // The same on a reload after colours were chosen.
    dialog.chooseColour = [](const QColor &) { return QColor(Qt::yellow); };
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(button(dialog, QStringLiteral("CH1")), Qt::LeftButton);
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("CH1")), QColor(Qt::yellow));
    dialog.loadTheme();
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("CH1")), QColor(75, 229, 28));
    QCOMPARE(iconColour(button(dialog, QStringLiteral("CH1"))), QColor(75, 229, 28));
}

void TestCustomTheme::badStoredColoursAreLoggedAndSkipped()
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
    const CustomColors defaults;

    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("CH1")), defaults.colorAt(QStringLiteral("CH1")));
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("CH2")), defaults.colorAt(QStringLiteral("CH2")));
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("BIT 0")), defaults.colorAt(QStringLiteral("BIT 0")));
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("BIT 7 REF")),
             defaults.colorAt(QStringLiteral("BIT 7 REF")));
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("AXES")), defaults.colorAt(QStringLiteral("AXES")));
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("GRID")), QColor(QStringLiteral("#102030")));
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("BACKGROUND")), QColor(QStringLiteral("#fafafa")));
    QCOMPARE(iconColour(button(dialog, QStringLiteral("GRID"))), QColor(QStringLiteral("#102030")));
    QCOMPARE(iconColour(button(dialog, QStringLiteral("CH1"))), defaults.colorAt(QStringLiteral("CH1")));
    for (const QString &name : CustomColors::names())
        QVERIFY2(dialog.colors()->colorAt(name).isValid(), qPrintable(name));

    // Each unusable entry is named in the log.
    for (const char *key : {"\"ch1\"", "\"ch2\"", "\"bit0\"", "\"bitref7\"", "\"axes\""})
        QVERIFY2(log.contains(QLatin1String(key)), key);
    QVERIFY(!log.contains(QStringLiteral("\"grid\"")));
}

void TestCustomTheme::reopeningReloadsFromTheStore()
{
    CustomTheme dialog;
    dialog.chooseColour = [](const QColor &) { return QColor(Qt::cyan); };
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(button(dialog, QStringLiteral("LABELS")), Qt::LeftButton);
    QTest::mouseClick(button(dialog, QStringLiteral("Apply")), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());

    // Something else writes the store between openings.
    QSettings().setValue(QStringLiteral("ch2"), QStringLiteral("#abcdef"));

    // The window reloads the table before it shows the dialog again.
    dialog.loadTheme();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("CH2")), QColor(QStringLiteral("#abcdef")));
    QCOMPARE(iconColour(button(dialog, QStringLiteral("CH2"))), QColor(QStringLiteral("#abcdef")));
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("LABELS")), QColor(Qt::cyan));
}

void TestCustomTheme::defaultThemeResetsTableAndButtons()
{
    {
        QSettings store;
        CustomColors stored;
        stored.setColor(QStringLiteral("CH1"), QColor(Qt::magenta));
        stored.setColor(QStringLiteral("BACKGROUND"), QColor(Qt::white));
        stored.save(store);
    }
    CustomTheme dialog;
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("CH1")), QColor(Qt::magenta));
    dialog.loadDefaultTheme();
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("CH1")), QColor(75, 229, 28));
    QCOMPARE(dialog.colors()->colorAt(QStringLiteral("BACKGROUND")), QColor(Qt::black));
    QCOMPARE(iconColour(button(dialog, QStringLiteral("CH1"))), QColor(75, 229, 28));
    QCOMPARE(iconColour(button(dialog, QStringLiteral("BACKGROUND"))), QColor(Qt::black));
    // Only "Apply" writes; the stored theme is still the magenta one.
    QCOMPARE(QSettings().value(QStringLiteral("ch1")).toString(), QStringLiteral("#ff00ff"));
}

void TestCustomTheme::foregroundForASwatch()
{
    CustomTheme dialog;
    QCOMPARE(dialog.idealForegroundColor(Qt::white), QStringLiteral("#000000"));
    QCOMPARE(dialog.idealForegroundColor(QColor(0, 0, 255)), QStringLiteral("#ffffff"));
    QCOMPARE(dialog.idealForegroundColor(QColor(200, 200, 200)), QStringLiteral("#000000"));
    QCOMPARE(dialog.idealForegroundColor(Qt::black), QStringLiteral("#ffffff"));
    // Black text from a luminance of 151 up: (0, 255, 10) is 150, (0, 255, 12) is 151.
    QCOMPARE(dialog.idealForegroundColor(QColor(0, 255, 10)), QStringLiteral("#ffffff"));
    QCOMPARE(dialog.idealForegroundColor(QColor(0, 255, 12)), QStringLiteral("#000000"));
}

void TestCustomTheme::plotIconsAreInTheResources_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Tip>("tip");
    for (const char *type : {"rising", "falling", "dual", "positive", "negative", "window1", "window2"}) {
        for (const char *source : {"g", "r"}) {
            const QString name = QLatin1String(type) + QLatin1String(source);
            QTest::newRow(qPrintable(name)) << name << QSize(24, 24) << Tip::None;
        }
    }
    QTest::newRow("HcursorCA") << QStringLiteral("HcursorCA") << QSize(24, 16) << Tip::Right;
    QTest::newRow("HcursorCB") << QStringLiteral("HcursorCB") << QSize(24, 16) << Tip::Right;
    QTest::newRow("VcursorC") << QStringLiteral("VcursorC") << QSize(16, 24) << Tip::Down;
    QTest::newRow("chan1-zero") << QStringLiteral("chan1-zero") << QSize(24, 16) << Tip::Right;
    QTest::newRow("chan2-zero") << QStringLiteral("chan2-zero") << QSize(24, 16) << Tip::Right;
    QTest::newRow("chanL-zero") << QStringLiteral("chanL-zero") << QSize(24, 16) << Tip::Right;
    QTest::newRow("chan1v-zero") << QStringLiteral("chan1v-zero") << QSize(16, 24) << Tip::Up;
    QTest::newRow("ico48") << QStringLiteral("ico48") << QSize(48, 48) << Tip::None;
    QTest::newRow("ico-record") << QStringLiteral("ico-record") << QSize(24, 24) << Tip::None;
    QTest::newRow("ico-record-active") << QStringLiteral("ico-record-active") << QSize(24, 24) << Tip::None;
}

void TestCustomTheme::plotIconsAreInTheResources()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(Tip, tip);
    const QImage image(QStringLiteral(":/icons/") + name + QStringLiteral(".png"));
    QVERIFY2(!image.isNull(), qPrintable(name));
    QCOMPARE(image.size(), size);
    // The point a marker or handle stands for is the middle of the image, or
    // the tip of a tab: it must be drawn, so the user sees where it is.
    const int w = size.width(), h = size.height();
    QPoint point(w / 2, h / 2);
    if (tip == Tip::Right)
        point = QPoint(w - 3, h / 2);
    else if (tip == Tip::Down)
        point = QPoint(w / 2, h - 3);
    else if (tip == Tip::Up)
        point = QPoint(w / 2, 2);
    QVERIFY2(image.pixelColor(point).alpha() > 128, qPrintable(name));
    // A tab's tip is centred across its axis: one pixel beside it, off the
    // tab's flank, the image is clear on both sides alike.
    if (tip == Tip::Right) {
        QCOMPARE(image.pixelColor(w - 2, 2).alpha(), 0);
        QCOMPARE(image.pixelColor(w - 2, h - 3).alpha(), 0);
    } else if (tip == Tip::Down || tip == Tip::Up) {
        const int y = tip == Tip::Down ? h - 2 : 1;
        QCOMPARE(image.pixelColor(2, y).alpha(), 0);
        QCOMPARE(image.pixelColor(w - 3, y).alpha(), 0);
    }
}

QTEST_MAIN(TestCustomTheme)
#include "tst_customtheme.moc"
