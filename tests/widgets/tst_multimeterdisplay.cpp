#include "widgets/bargraph.h"
#include "widgets/clickablelabel.h"
#include "widgets/multimeterdisplay.h"
#include "widgets/multimeterdisplayoptions.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

class ApplySource : public QObject
{
    Q_OBJECT
signals:
    void applyConfigurationRequest();
};

class TestMultimeterDisplay : public QObject
{
    Q_OBJECT
private:
    static QString text(MultimeterDisplay &display, const char *name)
    {
        return display.findChild<QLabel *>(QString::fromLatin1(name))->text();
    }
    static bool visible(MultimeterDisplay &display, const char *name)
    {
        return display.findChild<QWidget *>(QString::fromLatin1(name))->isVisible();
    }
    static QString outputSheet(MultimeterDisplay &display)
    {
        return display.findChild<QFrame *>(QStringLiteral("output"))->styleSheet();
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QCoreApplication::setOrganizationName(QStringLiteral("VeltoTest"));
        QCoreApplication::setApplicationName(QStringLiteral("tst_multimeterdisplay"));
    }

    void formatting_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("power");
        QTest::addColumn<int>("precision");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two decimals") << 1.234567 << 0 << -2 << QStringLiteral("1.23");
        QTest::newRow("extended by three") << 1.234567 << 0 << -5 << QStringLiteral("1.23457");
        QTest::newRow("micro of nano") << 2.5e-7 << -6 << -9 << QStringLiteral("0.250");
        QTest::newRow("kilo") << 1500.0 << 3 << 0 << QStringLiteral("1.500");
        QTest::newRow("precision above power") << 1234.0 << 0 << 1 << QStringLiteral("1234");
        QTest::newRow("negative") << -0.5 << -3 << -3 << QStringLiteral("-500");
        QTest::newRow("no group separator") << 1234567.0 << 0 << 0 << QStringLiteral("1234567");
        QTest::newRow("tiny") << 1e-300 << 0 << -2 << QStringLiteral("0.00");
        QTest::newRow("huge goes to exponent") << 1e300 << 0 << -2 << QStringLiteral("1.000e+300");
    }
    void formatting()
    {
        QFETCH(double, value);
        QFETCH(int, power);
        QFETCH(int, precision);
        QFETCH(QString, expected);
        QCOMPARE(MultimeterDisplay::valueToString(value, power, precision), expected);
    }

    void unitPowerSnapsUpwardToAPrefix()
    {
        MultimeterDisplay display;
        display.setUnit(QStringLiteral("Hz"));
        display.setUnitPower(4);
        QCOMPARE(display.getUnitPower(), 6);
        QCOMPARE(text(display, "labelUnit"), QStringLiteral("MHz"));
        display.setUnitPower(-5);
        QCOMPARE(display.getUnitPower(), -3);
        display.setUnitPower(2);
        QCOMPARE(text(display, "labelUnit"), QStringLiteral("hHz"));
        display.setUnitPower(1);
        QCOMPARE(text(display, "labelUnit"), QStringLiteral("daHz"));
        display.setUnitPower(99);
        QCOMPARE(display.getUnitPower(), 24);
        display.setUnitPower(-99);
        QCOMPARE(text(display, "labelUnit"), QStringLiteral("yHz"));
        display.setUnitPower(0);
        QCOMPARE(text(display, "labelUnit"), QStringLiteral("Hz"));
        display.setPrecision(-40);
        QCOMPARE(display.getPrecision(), -24);
    }

    void microsecondsReading()
    {
        MultimeterDisplay display;
        display.setUnit(QStringLiteral("s"));
        display.setUnitPower(-6);
        display.setPrecision(-9);
        display.setValue(2.5e-7);
        QCOMPARE(text(display, "labelValue"), QStringLiteral("0.250"));
        QCOMPARE(text(display, "labelUnit"), QString(QChar(0x00B5)) + QLatin1Char('s'));
    }

    void extendedPrecision()
    {
        MultimeterDisplay display;
        display.setPrecision(-2);
        display.setValue(1.234567);
        QCOMPARE(text(display, "labelValue"), QStringLiteral("1.23"));
        display.setExtendedPrecision(3);
        display.enableExtendedPrecision(true);
        QCOMPARE(text(display, "labelValue"), QStringLiteral("1.23457"));
        display.setExtendedPrecision(9); // at most five extra digits
        QCOMPARE(display.getExtendDigits(), 5);
    }

    void rangeClampingAndArrows()
    {
        MultimeterDisplay display;
        display.show();
        display.setPrecision(-2);
        display.setRange(-24, 24);
        display.enableCheckRange(true);
        QSignalSpy spy(&display, &MultimeterDisplay::rangeExceeded);
        display.setValue(30);
        QCOMPARE(text(display, "labelValue"), QStringLiteral("24.00"));
        QVERIFY(visible(display, "labelRangeOver"));
        QVERIFY(!visible(display, "labelRangeIn"));
        QVERIFY(!visible(display, "labelRangeBelow"));
        display.setValue(31);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        display.setValue(10);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toInt(), 0);
        QVERIFY(visible(display, "labelRangeIn"));
        display.setValue(-100);
        QCOMPARE(spy.last().at(0).toInt(), -1);
        QCOMPARE(display.getValue(), -24.0);
        QVERIFY(visible(display, "labelRangeBelow"));
        QVERIFY(!display.findChild<QLabel *>(QStringLiteral("labelRangeBelow"))->pixmap()->isNull());
    }

    void nanAndInfinityLeaveTheRestAlone()
    {
        MultimeterDisplay display;
        display.show();
        display.setPrecision(-1);
        display.setRange(0, 100);
        display.enableBargraph(true);
        display.enableExtreme(true);
        display.setAccuracy(1.0, 0.0);
        display.setAccuracyVisible(true);
        display.setValue(20);
        display.setValue(40);
        const QString minText = text(display, "labelValueMin");
        const QString maxText = text(display, "labelValueMax");
        const QString accuracy = text(display, "labelAccuracy");
        auto *bar = display.findChild<BarGraph *>(QStringLiteral("bargraph"));
        QCOMPARE(bar->value(), 40.0);

        display.setNaN();
        QCOMPARE(text(display, "labelValue"), QStringLiteral("NaN  "));
        QVERIFY(display.isNotANumber());
        QCOMPARE(text(display, "labelValueMin"), minText);
        QCOMPARE(text(display, "labelValueMax"), maxText);
        QCOMPARE(text(display, "labelAccuracy"), accuracy);
        QCOMPARE(bar->value(), 40.0);
        QCOMPARE(display.getExtremeMax(), 40.0);

        display.setInfinity();
        QCOMPARE(text(display, "labelValue"), QString(QChar(0x00B1)) + QChar(0x221E) + QStringLiteral("  "));
        display.setValue(-std::numeric_limits<double>::infinity());
        QVERIFY(display.isInfinite());
        QCOMPARE(display.getValue(), 40.0);
        display.setValue(30);
        QVERIFY(!display.isInfinite() && !display.isNotANumber());
        QCOMPARE(text(display, "labelValue"), QStringLiteral("30.0"));
    }

    void extremesFollowTheReadings()
    {
        MultimeterDisplay display;
        display.show();
        display.setUnit(QStringLiteral("V"));
        display.setPrecision(-2);
        display.enableExtreme(true);
        QVERIFY(visible(display, "labelValueMin"));
        for (double v : {1.0, 3.0, -2.0, 0.5})
            display.setValue(v);
        QCOMPARE(display.getExtremeMin(), -2.0);
        QCOMPARE(display.getExtremeMax(), 3.0);
        QCOMPARE(text(display, "labelValueMin"), QStringLiteral("min: -2.00 V"));
        QCOMPARE(text(display, "labelValueMax"), QStringLiteral("max: 3.00 V"));
        // The maximum is never below the number just shown.
        display.setValue(7);
        QCOMPARE(display.getExtremeMax(), 7.0);

        display.enableButtons(true);
        display.findChild<QPushButton *>(QStringLiteral("toolButtonClear"))->click();
        QCOMPARE(display.getExtremeMin(), 7.0);
        QCOMPARE(display.getExtremeMax(), 7.0);

        display.setExtreme(-1, 1); // fixed from outside: not tracked
        display.setValue(50);
        QCOMPARE(display.getExtremeMax(), 1.0);
        display.clearExtreme();
        display.setValue(60);
        QCOMPARE(display.getExtremeMax(), 60.0);
        display.setExtreme(NAN, 3); // ignored
        QCOMPARE(display.getExtremeMax(), 60.0);
    }

    void accuracyFromText()
    {
        MultimeterDisplay display;
        display.show();
        display.setUnit(QStringLiteral("Hz"));
        display.setPrecision(-2);
        display.setAccuracyVisible(true);
        display.setValue(1000);
        display.setAccuracy(1.0, QStringLiteral("50ppm"));
        QCOMPARE(text(display, "labelAccuracy"), QString(QChar(0x00B1)) + QStringLiteral("1.05 Hz"));
        display.setAccuracy(-1.0, QStringLiteral("1%"));
        QCOMPARE(text(display, "labelAccuracy"), QString(QChar(0x00B1)) + QStringLiteral("11.00 Hz"));
        display.setAccuracy(0.0, QStringLiteral("100000ppb")); // 0.01 %
        QCOMPARE(text(display, "labelAccuracy"), QString(QChar(0x00B1)) + QStringLiteral("0.10 Hz"));
        // Text that is no accuracy keeps the relative part it had; "ppm" first means no number.
        display.setAccuracy(0.0, QStringLiteral("lots"));
        display.setAccuracy(0.0, QStringLiteral("ppm"));
        QCOMPARE(text(display, "labelAccuracy"), QString(QChar(0x00B1)) + QStringLiteral("0.10 Hz"));
        display.setAccuracyVisible(false);
        QVERIFY(!visible(display, "labelAccuracy"));
    }

    void relativeModeAndBaseLabel()
    {
        MultimeterDisplay display;
        display.show();
        display.setUnit(QStringLiteral("V"));
        display.setPrecision(-3);
        display.setValue(1.0);
        display.enableButtons(true);
        display.findChild<QPushButton *>(QStringLiteral("toolButtonOffset"))->click();
        QVERIFY(display.isOffsetEnabled());
        QCOMPARE(display.getOffsetBase(), 1.0);
        display.setValue(1.25);
        QCOMPARE(text(display, "labelValue"), QStringLiteral("0.250"));
        QCOMPARE(text(display, "labelOffsetBase"), QStringLiteral("base: 1.000 V"));
        QVERIFY(visible(display, "labelOffsetBase"));
        display.findChild<QPushButton *>(QStringLiteral("toolButtonOffset"))->click();
        QCOMPARE(text(display, "labelValue"), QStringLiteral("1.250"));
        QVERIFY(!visible(display, "labelOffsetBase"));
    }

    void baseEditorTakesTheDisplayedPrefix()
    {
        MultimeterDisplay display;
        display.show();
        QVERIFY(QTest::qWaitForWindowExposed(&display));
        display.setUnit(QStringLiteral("Hz"));
        display.setUnitPower(3);
        display.setPrecision(0);
        display.setValue(2000);
        display.enableOffset(true, 1000);
        auto *editor = display.findChild<QLineEdit *>(QStringLiteral("lineEditBase"));
        auto *base = display.findChild<ClickableLabel *>(QStringLiteral("labelOffsetBase"));
        QTest::mouseClick(base, Qt::LeftButton);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->text(), QStringLiteral("1.000"));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("1,5"));
        QCOMPARE(editor->text(), QStringLiteral("1,5")); // the validator lets the comma through
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(display.getOffsetBase(), 1500.0);
        QVERIFY(!editor->isVisible());
        QCOMPARE(text(display, "labelValue"), QStringLiteral("0.500"));

        // Text that is no number: logged, base kept, editor gone.
        QTest::mouseClick(base, Qt::LeftButton);
        editor->setText(QStringLiteral("abc"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("base \"abc\" is no number")));
        display.onLineEditBaseReturnPressed();
        QCOMPARE(display.getOffsetBase(), 1500.0);
        QVERIFY(!editor->isVisible());

        // A base beyond the measuring range is held to it.
        display.setRange(0, 5000);
        QTest::mouseClick(base, Qt::LeftButton);
        editor->setText(QStringLiteral("1e9"));
        display.onLineEditBaseReturnPressed();
        QCOMPARE(display.getOffsetBase(), 5000.0);
    }

    void alarmColours()
    {
        MultimeterDisplay display;
        display.setBackgroundColor(QStringLiteral("#fafafa"));
        display.setAlarm(-10, -5, 5, 10);
        display.enableAlarm(true);
        display.setValue(0);
        QCOMPARE(display.readAlarm(), 0);
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #fafafa;"));
        display.setValue(6);
        QCOMPARE(display.readAlarm(), 1);
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #f6f278;"));
        display.setValue(11);
        QCOMPARE(display.readAlarm(), 2);
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #f6b0b0;"));
        display.setValue(-7);
        QCOMPARE(display.readAlarm(), 1);

        // Forced levels suspend the evaluation until the alarm is enabled again.
        display.setAlarmLevel(2);
        display.setValue(0);
        QCOMPARE(display.readAlarm(), 2);
        display.setAlarmLevel(7);
        QCOMPARE(display.readAlarm(), 3);
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #fafafa;"));
        display.setAlarmLevel(-1);
        QCOMPARE(display.readAlarm(), -1);
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #fafafa;"));
        display.enableAlarm(true);
        QCOMPARE(display.readAlarm(), 0);
        display.setValue(20);
        QCOMPARE(display.readAlarm(), 2);
        display.enableAlarm(false);
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #fafafa;"));
    }

    void holdFreezesTheReading()
    {
        MultimeterDisplay display;
        display.show();
        display.setPrecision(0);
        display.enableButtons(true);
        display.setValue(5);
        display.findChild<QPushButton *>(QStringLiteral("toolButtonHold"))->click();
        QVERIFY(display.isHold());
        display.setValue(9);
        display.setNaN();
        QCOMPARE(text(display, "labelValue"), QStringLiteral("5"));
        display.findChild<QPushButton *>(QStringLiteral("toolButtonHold"))->click();
        display.setValue(9);
        QCOMPARE(text(display, "labelValue"), QStringLiteral("9"));
    }

    void buttonsAndLabelSpace()
    {
        MultimeterDisplay display;
        display.show();
        auto *hold = display.findChild<QPushButton *>(QStringLiteral("toolButtonHold"));
        QVERIFY(!hold->isVisible());
        display.enableButtons(true);
        for (const char *name : {"toolButtonHold", "toolButtonClear", "toolButtonExtend", "toolButtonOffset"}) {
            auto *button = display.findChild<QPushButton *>(QString::fromLatin1(name));
            QVERIFY(button->isVisible());
            QVERIFY(button->isEnabled());
            QVERIFY(button->minimumWidth() >= 90);
        }
        QCOMPARE(hold->text(), QStringLiteral("Hold"));
        QVERIFY(hold->isCheckable());
        QVERIFY(!display.findChild<QPushButton *>(QStringLiteral("toolButtonClear"))->isCheckable());
        QVERIFY(display.findChild<QLabel *>(QStringLiteral("labelValueMin"))->sizePolicy().retainSizeWhenHidden());
        display.enableButtons(false);
        QVERIFY(!display.findChild<QLabel *>(QStringLiteral("labelValueMin"))->sizePolicy().retainSizeWhenHidden());
    }

    void fontsAndArrowSizes()
    {
        QCOMPARE(MultimeterDisplay::rangePixmapSize(0), 12);
        QCOMPARE(MultimeterDisplay::rangePixmapSize(13), 14);
        QCOMPARE(MultimeterDisplay::rangePixmapSize(33), 40);
        QCOMPARE(MultimeterDisplay::rangePixmapSize(500), 72);

        MultimeterDisplay display;
        display.setValueFont(QStringLiteral("Cantarell"), 30);
        QCOMPARE(display.findChild<QLabel *>(QStringLiteral("labelValue"))->font().pointSize(), 30);
        QCOMPARE(display.findChild<QLabel *>(QStringLiteral("labelValueMin"))->font().pointSize(), 12);
        display.setValueFontSize(20);
        QCOMPARE(display.findChild<QLabel *>(QStringLiteral("labelUnit"))->font().pointSize(), 20);
        QCOMPARE(display.findChild<QLabel *>(QStringLiteral("labelUnit"))->font().family(), QStringLiteral("Cantarell"));
        QTest::ignoreMessage(QtWarningMsg, "Multimeter display: font size 0 ignored");
        display.setValueFontSize(0);
        QCOMPARE(display.findChild<QLabel *>(QStringLiteral("labelValue"))->font().pointSize(), 20);
        // Every stock arrow size is in the resources.
        for (int size : {12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64, 72}) {
            QVERIFY(!QPixmap(QStringLiteral(":/icons/mmd_rangeover_%1.png").arg(size)).isNull());
            QVERIFY(!QPixmap(QStringLiteral(":/icons/mmd_rangebelow_%1.png").arg(size)).isNull());
        }
    }

    void clipboardCopies()
    {
        MultimeterDisplay display;
        display.show();
        QVERIFY(QTest::qWaitForWindowExposed(&display));
        display.setLabel(QStringLiteral("CH1 RMS"));
        display.setUnit(QStringLiteral("V"));
        display.setUnitPower(-3);
        display.setPrecision(-4);
        display.setValue(0.01234);
        QClipboard *clipboard = QApplication::clipboard();

        // Without options: label and a new line appended.
        display.copyAsText();
        QCOMPARE(clipboard->text(), QStringLiteral("CH1 RMS = 12.3 mV\n"));
        display.copyAsDouble();
        QCOMPARE(clipboard->text(), QStringLiteral("0.0123\n"));

        MultimeterDisplayOptions options;
        options.appendNewLine = false;
        options.appendLabel = false;
        display.connectOptions(&options, nullptr, nullptr, nullptr);
        display.applyConfiguration();
        display.copyAsText();
        QCOMPARE(clipboard->text(), QStringLiteral("12.3 mV"));
        display.enableExtendedPrecision(true); // three extra digits from the options
        display.copyAsDouble();
        QCOMPARE(clipboard->text(), QStringLiteral("0.0123400"));

        clipboard->clear();
        display.copyAsImage();
        const QImage outputOnly = clipboard->image();
        QVERIFY(!outputOnly.isNull());
        QCOMPARE(outputOnly.size(), display.findChild<QFrame *>(QStringLiteral("output"))->size() *
                                        display.devicePixelRatioF());
        options.appendLabel = true;
        display.applyConfiguration();
        display.copyAsImage();
        QCOMPARE(clipboard->image().size(), display.size() * display.devicePixelRatioF());
    }

    void contextMenuAndSettingsRequest()
    {
        MultimeterDisplay display;
        display.enableContexMenu(true);
        QCOMPARE(display.findChild<QFrame *>(QStringLiteral("output"))->contextMenuPolicy(), Qt::CustomContextMenu);
        std::unique_ptr<QMenu> plain(display.createContextMenu());
        QStringList texts;
        for (QAction *action : plain->actions())
            texts << action->text();
        QCOMPARE(texts, QStringList({QStringLiteral("Copy as text"), QStringLiteral("Copy as image"),
                                     QStringLiteral("Copy as double")}));

        MultimeterDisplayOptions options;
        display.connectOptions(&options, this, SLOT(settingsRequested(QString)), nullptr);
        std::unique_ptr<QMenu> full(display.createContextMenu());
        QCOMPARE(full->actions().size(), 5);
        QVERIFY(full->actions().at(3)->isSeparator());
        QAction *settings = full->actions().at(4);
        QCOMPARE(settings->text(), QStringLiteral("&Settings..."));
        QCOMPARE(settings->shortcut(), QKeySequence(QKeySequence::Save));
        QCOMPARE(settings->shortcutContext(), Qt::ApplicationShortcut);
        settings->trigger();
        QCOMPARE(requested, QStringList({QStringLiteral("MultimeterDisplay")}));

        // The copy entries do what they say.
        display.setPrecision(0);
        display.setValue(42);
        full->actions().at(0)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("42\n")); // no unit, no trailing space
    }

    void applyConfigurationTakesTheOptions()
    {
        MultimeterDisplayOptions options;
        options.foregroundColorName = QStringLiteral("#102030");
        options.backgroundColorName = QStringLiteral("#eeeeee");
        options.warningColorName = QStringLiteral("#ffff00");
        options.extendPrecision = 9;
        MultimeterDisplay display;
        display.setValueFont(QStringLiteral("Cantarell"), 24);
        ApplySource source;
        display.connectOptions(&options, &source, nullptr, SIGNAL(applyConfigurationRequest()));
        emit source.applyConfigurationRequest();
        QCOMPARE(display.getExtendDigits(), 5);
        QCOMPARE(display.findChild<QLabel *>(QStringLiteral("labelValue"))->styleSheet(),
                 QStringLiteral("QLabel:enabled {color: #102030;}"));
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #eeeeee;"));
        QCOMPARE(display.findChild<QLabel *>(QStringLiteral("labelValue"))->font().pointSize(), 24);
        display.setAlarm(0, 0, 1, 100);
        display.enableAlarm(true);
        display.setValue(2);
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #ffff00;"));
    }

    void optionsThroughTheSettingsStore()
    {
        MultimeterDisplayOptions written;
        written.foregroundColorName = QStringLiteral("#010203");
        written.valueFontFamily = QStringLiteral("DejaVu Sans");
        written.extendPrecision = 4;
        written.appendLabel = false;
        written.appendNewLine = true;
        written.writeToSettings(written.getName());

        MultimeterDisplayOptions read;
        read.readFromSettings(QStringLiteral("MultimeterDisplay"));
        QCOMPARE(read.foregroundColorName, QStringLiteral("#010203"));
        QCOMPARE(read.backgroundColorName, QStringLiteral("#fafafa"));
        QCOMPARE(read.valueFontFamily, QStringLiteral("DejaVu Sans"));
        QCOMPARE(read.extendPrecision, 4);
        QCOMPARE(read.appendLabel, false);
        QCOMPARE(read.appendNewLine, true);

        // A store with values of the wrong type: every bad key keeps the current value.
        {
            QSettings store;
            store.beginGroup(QStringLiteral("MultimeterDisplay"));
            store.setValue(QStringLiteral("extendPrecision"), QStringLiteral("many"));
            store.setValue(QStringLiteral("appendLabel"), QStringLiteral("perhaps"));
            store.setValue(QStringLiteral("criticalColorName"), QStringLiteral("not a colour"));
            store.setValue(QStringLiteral("labelFontFamily"), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
            store.endGroup();
        }
        MultimeterDisplayOptions damaged;
        damaged.readFromSettings(QStringLiteral("MultimeterDisplay"));
        QCOMPARE(damaged.extendPrecision, 3);
        QCOMPARE(damaged.appendLabel, true);
        QCOMPARE(damaged.criticalColorName, QStringLiteral("#f6b0b0"));
        QCOMPARE(damaged.labelFontFamily, QStringLiteral("Cantarell"));
        QCOMPARE(damaged.foregroundColorName, QStringLiteral("#010203"));

        QSettings store;
        store.setValue(QStringLiteral("MultimeterDisplay/extendPrecision"), 40);
        damaged.readFromSettings(QStringLiteral("MultimeterDisplay"));
        QCOMPARE(damaged.extendPrecision, 5);
    }

public slots:
    void settingsRequested(QString component) { requested << component; }

private:
    QStringList requested;
};

QTEST_MAIN(TestMultimeterDisplay)
#include "tst_multimeterdisplay.moc"
