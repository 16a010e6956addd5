// SPDX-License-Identifier: GPL-3.0-only
#include "common/testsupport.h"
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
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>
#include <functional>
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
    static void press(MultimeterDisplay &display, const char *button)
    {
        QTest::mouseClick(display.findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QCoreApplication::setOrganizationName(QStringLiteral("VeltoTest"));
        QCoreApplication::setApplicationName(QStringLiteral("tst_multimeterdisplay"));
    }
    // A new reading in the room the number had leaves the layouts around the
    // display alone (each request would repaint the page it sits on); a
    // longer one is given room, and a shorter one after it keeps that room.
    void readingsLeaveTheLayoutsAroundAlone()
    {
        QWidget page;
        auto *layout = new QVBoxLayout(&page);
        auto *display = new MultimeterDisplay(&page);
        layout->addWidget(display);
        display->setUnit(QStringLiteral("V"));
        display->setPrecision(-2);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        EventCount requests(&page, QEvent::LayoutRequest);
        QLabel *value = display->findChild<QLabel *>(QStringLiteral("labelValue"));
        const struct {
            double reading;
            bool asksRoom;
        } rows[] = {{1.25, false}, {2.5, false}, {9.99, false}, {123456.78, true}, {3.5, false}, {-7.25, false}};
        // Each layout up the way hears it from the one below, one posted event later.
        const auto settle = [] {
            for (int i = 0; i < 10; ++i)
                QCoreApplication::processEvents();
        };
        for (const auto &row : rows) {
            settle();
            requests.count = 0;
            const int width = value->width();
            display->setValue(row.reading);
            settle();
            const QString shown = value->text();
            QVERIFY2((requests.count > 0) == row.asksRoom, qPrintable(shown));
            QVERIFY2(value->width() >= value->fontMetrics().horizontalAdvance(shown), qPrintable(shown));
            QVERIFY2(value->width() >= width, qPrintable(shown)); // a shorter number keeps its room
        }
    }
    void formatting()
    {
        // Value, unit power, precision; the digits shown.
        const std::tuple<double, int, int, const char *> rows[] = {
            {1.234567, 0, -2, "1.23"}, {1.234567, 0, -5, "1.23457"}, // extended by three
            {2.5e-7, -6, -9, "0.250"}, {1500.0, 3, 0, "1.500"},
            {1234.0, 0, 1, "1234"},    // precision above the power
            {-0.5, -3, -3, "-500"},    {1234567.0, 0, 0, "1234567"}, // no group separator
            {1e-300, 0, -2, "0.00"},   {1e300, 0, -2, "1.000e+300"},  // huge goes to the exponent,
            {1e12, 0, 0, "1.000e+12"}}; // and so do twelve digits
        for (const auto &[value, power, precision, expected] : rows)
            QCOMPARE(MultimeterDisplay::valueToString(value, power, precision), QLatin1String(expected));
    }
    void unitPowerSnapsUpwardToAPrefix()
    {
        MultimeterDisplay display;
        display.setUnit(QStringLiteral("Hz"));
        QStringList units;
        for (int power : {4, -5, 2, 1, 99, -99, -6, 0}) {
            display.setUnitPower(power);
            units << text(display, "labelUnit");
        }
        QCOMPARE(units, QStringList({"MHz", "mHz", "hHz", "daHz", "YHz", "yHz", "\u00b5Hz", "Hz"}));
        display.setPrecision(-40);
        QCOMPARE(display.getPrecision(), -24);
        display.setExtendedPrecision(9); // at most five extra digits
        QCOMPARE(display.getExtendDigits(), 5);
    }
    void rangeClampsAndReportsOnlyChanges()
    {
        MultimeterDisplay display;
        display.show();
        display.setPrecision(-2);
        display.setRange(-24, 24);
        display.enableCheckRange(true);
        QSignalSpy spy(&display, &MultimeterDisplay::rangeExceeded);
        QStringList arrows;
        for (double v : {30.0, 31.0, 10.0, -100.0}) { // 31: still over, no second report
            display.setValue(v);
            arrows << text(display, "labelValue") + QString::number(visible(display, "labelRangeBelow")) +
                          QString::number(visible(display, "labelRangeIn")) +
                          QString::number(visible(display, "labelRangeOver"));
        }
        QCOMPARE(arrows, QStringList({"24.00001", "24.00001", "10.00010", "-24.00100"}));
        QCOMPARE(spy.count(), 3);
        QCOMPARE(QList<int>({spy.at(0).at(0).toInt(), spy.at(1).at(0).toInt(), spy.at(2).at(0).toInt()}),
                 QList<int>({1, 0, -1}));
        QVERIFY(!display.findChild<QLabel *>(QStringLiteral("labelRangeBelow"))->pixmap()->isNull());
        // The arrow size follows the font, within the stock sizes.
        QCOMPARE(MultimeterDisplay::rangePixmapSize(0) + MultimeterDisplay::rangePixmapSize(500), 12 + 72);
        QCOMPARE(MultimeterDisplay::rangePixmapSize(13) + MultimeterDisplay::rangePixmapSize(33), 14 + 40);
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
        auto others = [&] {
            return QStringList({text(display, "labelValueMin"), text(display, "labelValueMax"),
                                text(display, "labelAccuracy"),
                                QString::number(display.findChild<BarGraph *>(QStringLiteral("bargraph"))->value())});
        };
        display.setValue(20);
        display.setValue(40);
        const QStringList before = others();
        QStringList shown;
        const QList<std::function<void()>> steps{[&] { display.setNaN(); }, [&] { display.setInfinity(); },
                                                 [&] { display.setValue(-std::numeric_limits<double>::infinity()); },
                                                 [&] { display.setValue(30); }};
        for (const auto &step : steps) {
            QCOMPARE(others(), before); // untouched by what came before
            step();
            shown << text(display, "labelValue") + QString::number(display.isNotANumber()) +
                         QString::number(display.isInfinite());
        }
        QCOMPARE(shown, QStringList({"NaN  10", "\u00b1\u221e  01", "\u00b1\u221e  01", "30.000"}));
        QCOMPARE(others().last(), QStringLiteral("30"));
    }
    void extremesHoldAndButtons()
    {
        MultimeterDisplay display;
        display.show();
        display.setUnit(QStringLiteral("V"));
        display.setPrecision(-2);
        display.enableExtreme(true);
        QVERIFY(!visible(display, "toolButtonHold"));
        display.enableButtons(true);
        for (double v : {1.0, 3.0, -2.0, 0.5})
            display.setValue(v);
        QCOMPARE(text(display, "labelValueMin") + " " + text(display, "labelValueMax"),
                 QStringLiteral("min: -2.00 V max: 3.00 V"));
        display.setValue(7);
        press(display, "toolButtonClear");
        QCOMPARE(QPointF(display.getExtremeMin(), display.getExtremeMax()), QPointF(7, 7));
        // Held, the digits keep their reading, not a number included; let go, they follow again.
        press(display, "toolButtonHold");
        display.setValue(9);
        display.setNaN();
        QCOMPARE(text(display, "labelValue"), QStringLiteral("7.00"));
        press(display, "toolButtonHold");
        display.setValue(9);
        QCOMPARE(text(display, "labelValue"), QStringLiteral("9.00"));
        display.setExtreme(-1, 1); // fixed from outside: not tracked
        display.setValue(50);
        QCOMPARE(display.getExtremeMax(), 1.0);
        display.clearExtreme();
        display.setValue(60);
        display.setExtreme(NAN, 3); // ignored
        QCOMPARE(display.getExtremeMax(), 60.0);
    }
    // Paced: readings between two refreshes widen the extremes at once, the
    // digits wait, and the newest reading is the one shown in the end.
    void pacedReadingsKeepEveryExtreme()
    {
        MultimeterDisplay display;
        display.setPrecision(-2);
        display.enableExtreme(true);
        display.setRefreshInterval(60000);
        display.setValue(1);
        QCOMPARE(text(display, "labelValue"), QStringLiteral("1.00"));
        for (double v : {9.0, -4.0, 2.0})
            display.setValue(v);
        QCOMPARE(text(display, "labelValue"), QStringLiteral("1.00"));
        QCOMPARE(QPointF(display.getExtremeMin(), display.getExtremeMax()), QPointF(-4, 9));
        display.copyAsText(); // a copy takes what was measured, not what waits
        QCOMPARE(QApplication::clipboard()->text().trimmed(), QStringLiteral("2.00"));
        QCOMPARE(text(display, "labelValueMax"), QStringLiteral("max: 9.00 "));
        display.setValue(3);
        display.setRefreshInterval(0); // back to every reading: the one waiting shows
        QCOMPARE(text(display, "labelValue"), QStringLiteral("3.00"));
        display.setRefreshInterval(1);
        display.setValue(5);
        display.setValue(6);
        QTRY_COMPARE(text(display, "labelValue"), QStringLiteral("6.00"));
    }
    void accuracyFromText()
    {
        MultimeterDisplay display;
        display.setUnit(QStringLiteral("Hz"));
        display.setPrecision(-2);
        display.setAccuracyVisible(true);
        display.setValue(1000);
        QStringList shown;
        const QPair<double, QString> cases[] = {{1, "50ppm"}, {-1, "1%"}, {0, "100000ppb"}, {0, "lots"}, {0, "ppm"}};
        for (const auto &c : cases) {
            display.setAccuracy(c.first, c.second);
            shown << text(display, "labelAccuracy");
        }
        // Text that is no accuracy keeps the relative part it had; "ppm" first means no number.
        QCOMPARE(shown, QStringList({"\u00b11.05 Hz", "\u00b111.00 Hz", "\u00b10.10 Hz", "\u00b10.10 Hz",
                                     "\u00b10.10 Hz"}));
    }
    void relativeModeAndTheBaseEditor()
    {
        MultimeterDisplay display;
        display.show();
        QVERIFY(QTest::qWaitForWindowExposed(&display));
        display.setUnit(QStringLiteral("Hz"));
        display.setUnitPower(3);
        display.setPrecision(0);
        display.enableButtons(true);
        display.setValue(1000);
        press(display, "toolButtonOffset");
        display.setValue(2000);
        QCOMPARE(text(display, "labelValue") + " " + text(display, "labelOffsetBase"),
                 QStringLiteral("1.000 base: 1.000 kHz"));
        // The editor takes the base in the displayed prefix, comma or point.
        auto *editor = display.findChild<QLineEdit *>(QStringLiteral("lineEditBase"));
        auto *base = display.findChild<ClickableLabel *>(QStringLiteral("labelOffsetBase"));
        QTest::mouseClick(base, Qt::LeftButton);
        QCOMPARE(editor->text(), QStringLiteral("1.000"));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("1,5"));
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(!editor->isVisible());
        QCOMPARE(text(display, "labelValue"), QStringLiteral("0.500"));
        // No number (past the validator): logged, base kept. Beyond the range: held to it.
        QTest::mouseClick(base, Qt::LeftButton);
        editor->setText(QStringLiteral("abc"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("base \"abc\" is no number")));
        display.onLineEditBaseReturnPressed();
        QCOMPARE(display.getOffsetBase(), 1500.0);
        display.setRange(0, 5000);
        editor->setText(QStringLiteral("1e9"));
        display.onLineEditBaseReturnPressed();
        QCOMPARE(display.getOffsetBase(), 5000.0);
        press(display, "toolButtonOffset");
        QCOMPARE(text(display, "labelValue"), QStringLiteral("2.000"));
        QVERIFY(!visible(display, "labelOffsetBase"));
    }
    void alarmColours()
    {
        MultimeterDisplay display;
        display.setBackgroundColor(QStringLiteral("#fafafa"));
        display.setAlarm(-10, -5, 5, 10);
        display.enableAlarm(true);
        QStringList seen;
        auto step = [&](double value, int forced = 99) {
            if (forced != 99)
                display.setAlarmLevel(forced);
            display.setValue(value);
            seen << QStringLiteral("%1 %2").arg(display.readAlarm()).arg(outputSheet(display).mid(18, 7));
        };
        for (double v : {0.0, 6.0, 11.0, -7.0, -11.0, 5.0, 10.0})
            step(v);
        // Forced levels suspend the evaluation until the alarm is enabled again.
        step(0, 2);
        step(0, 7);
        step(0, -1);
        display.enableAlarm(true);
        step(20);
        QCOMPARE(seen, QStringList({"0 #fafafa", "1 #f6f278", "2 #f6b0b0", "1 #f6f278", "2 #f6b0b0", "0 #fafafa",
                                    "1 #f6f278", "2 #f6b0b0", "3 #fafafa", "-1 #fafafa", "2 #f6b0b0"}));
        // Shown, the small labels lie on the alarm colour too, not on patches of the earlier face.
        display.enableExtreme(true);
        display.resize(500, 200);
        display.show();
        QVERIFY(QTest::qWaitForWindowExposed(&display));
        auto *minLabel = display.findChild<QLabel *>(QStringLiteral("labelValueMin"));
        QCOMPARE(display.grab().toImage().pixelColor(minLabel->mapTo(&display, QPoint(minLabel->width() - 2, 1))),
                 QColor(QStringLiteral("#f6b0b0")));
        display.enableAlarm(false);
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #fafafa;"));
    }
    void clipboardAndContextMenu()
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
        QStringList copied;
        auto copy = [&](void (MultimeterDisplay::*how)()) {
            (display.*how)();
            copied << clipboard->text();
        };
        copy(&MultimeterDisplay::copyAsText); // without options: label and a new line appended
        copy(&MultimeterDisplay::copyAsDouble);
        MultimeterDisplayOptions options;
        options.appendNewLine = false;
        options.appendLabel = false;
        display.connectOptions(&options, this, SLOT(settingsRequested(QString)), nullptr);
        display.applyConfiguration();
        copy(&MultimeterDisplay::copyAsText);
        display.enableExtendedPrecision(true); // three extra digits from the options
        copy(&MultimeterDisplay::copyAsDouble);
        display.enableOffset(true, 0.01); // relative: the number less the reference
        copy(&MultimeterDisplay::copyAsDouble);
        display.enableOffset(false, 0.01);
        QCOMPARE(copied, QStringList({"CH1 RMS = 12.3 mV\n", "0.0123\n", "12.3 mV", "0.0123400", "0.0023400"}));
        options.appendLabel = true; // an image of the whole display, label included
        display.applyConfiguration();
        display.copyAsImage();
        QCOMPARE(clipboard->image().size(), display.size() * display.devicePixelRatioF());
        std::unique_ptr<QMenu> menu(display.createContextMenu());
        QStringList texts;
        for (QAction *action : menu->actions())
            texts << action->text();
        QCOMPARE(texts, QStringList({"Copy as text", "Copy as image", "Copy as double", "", "&Settings..."}));
        menu->actions().at(4)->trigger();
        QCOMPARE(requested, QStringList({QStringLiteral("MultimeterDisplay")}));
        menu->actions().at(2)->trigger();
        QCOMPARE(clipboard->text(), QStringLiteral("0.0123400"));
        // Without a settings receiver the menu only copies.
        QCOMPARE(std::unique_ptr<QMenu>(MultimeterDisplay().createContextMenu())->actions().size(), 3);
    }
    void optionsApply()
    {
        MultimeterDisplayOptions options;
        options.foregroundColorName = QStringLiteral("#102030");
        options.backgroundColorName = QStringLiteral("#eeeeee");
        options.warningColorName = QStringLiteral("#ffff00");
        options.extendPrecision = 9;
        MultimeterDisplay display;
        ApplySource source;
        display.connectOptions(&options, &source, nullptr, SIGNAL(applyConfigurationRequest()));
        emit source.applyConfigurationRequest();
        QCOMPARE(display.getExtendDigits(), 5);
        QCOMPARE(display.findChild<QLabel *>(QStringLiteral("labelValue"))->styleSheet(),
                 QStringLiteral("QLabel:enabled {color: #102030;}"));
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #eeeeee;"));
        display.setAlarm(0, 0, 1, 100);
        display.enableAlarm(true);
        display.setValue(2);
        QCOMPARE(outputSheet(display), QStringLiteral("background-color: #ffff00;"));
    }

public slots:
    void settingsRequested(QString component) { requested << component; }

private:
    QStringList requested;
};

QTEST_MAIN(TestMultimeterDisplay)
#include "tst_multimeterdisplay.moc"
