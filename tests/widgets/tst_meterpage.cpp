#include "widgets/multimeterdisplay.h"
#include "widgets/multimeterdisplayoptions.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// A page of displays laid out the way the meter pages use them. Every text must
// fit its label at these sizes; with VELTO_SCREENSHOT_DIR set the page is saved
// as a PNG to look at.
class TestMeterPage : public QObject
{
    Q_OBJECT
private:
    static void checkFits(MultimeterDisplay *display)
    {
        for (QLabel *label : display->findChildren<QLabel *>()) {
            if (!label->isVisible() || label->text().isEmpty() || label->wordWrap())
                continue;
            const QFontMetrics metrics = label->fontMetrics();
            QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->contentsRect().width() &&
                         metrics.height() <= label->height() + 2,
                     qPrintable(QStringLiteral("%1 of \"%2\": \"%3\" needs %4x%5 px, has %6x%7")
                                    .arg(label->objectName(), display->objectName(), label->text())
                                    .arg(metrics.horizontalAdvance(label->text()))
                                    .arg(metrics.height())
                                    .arg(label->contentsRect().width())
                                    .arg(label->height())));
        }
        for (auto *button : display->findChildren<QPushButton *>())
            QVERIFY(!button->isVisible() || button->height() >= 14);
    }

private slots:
    void pageOfMeters()
    {
        QLocale::setDefault(QLocale::c());
        MultimeterDisplayOptions options;
        QWidget page;
        page.setObjectName(QStringLiteral("page"));
        page.setStyleSheet(QStringLiteral("QWidget#page { background-color: white; }"));
        auto *grid = new QGridLayout(&page);
        QList<MultimeterDisplay *> meters;
        auto meter = [&](const char *caption, const char *unit, int power, int precision, int fontSize) {
            auto *display = new MultimeterDisplay(&page);
            display->setObjectName(QLatin1String(caption));
            display->connectOptions(&options, nullptr, nullptr, nullptr);
            display->setValueFont(QStringLiteral("Cantarell"), fontSize);
            display->setLabelFont(QStringLiteral("Cantarell"), 12);
            display->setLabel(QLatin1String(caption));
            display->setUnit(QLatin1String(unit));
            display->setUnitPower(power);
            display->setPrecision(precision);
            display->applyConfiguration();
            grid->addWidget(display, meters.size() / 2, meters.size() % 2);
            meters << display;
            return display;
        };
        auto *dc = meter("CH1 DC", "V", 0, -3, 36);
        dc->setRange(-24, 24);
        dc->enableCheckRange(true);
        dc->enableBargraph(true);
        dc->enableExtreme(true);
        dc->enableButtons(true);
        dc->setAccuracy(0.02, QStringLiteral("0.5%"));
        dc->setAccuracyVisible(true);
        for (double v : {1.2, 3.9, -0.7, 3.3})
            dc->setValue(v);
        auto *ac = meter("CH2 RMS", "V", -3, -4, 36);
        ac->setRange(0, 10);
        ac->enableBargraph(true);
        ac->setAlarm(0, 0.1, 0.9, 2);
        ac->enableAlarm(true);
        ac->enableExtreme(true);
        ac->setValue(0.52);
        ac->setValue(0.9731);
        auto *frequency = meter("Frequency", "Hz", 3, -1, 36);
        frequency->setRange(0, 24000000);
        frequency->enableCheckRange(true);
        frequency->setAlarm(-1, 0, 20000000, 23000000);
        frequency->enableAlarm(true);
        frequency->setAccuracy(1, QStringLiteral("50ppm"));
        frequency->setAccuracyVisible(true);
        frequency->setValue(30000000);
        auto *period = meter("Period", "s", -6, -9, 36);
        period->enableButtons(true);
        period->setValue(2.5e-7);
        period->enableOffset(true, 2.0e-7);
        period->enableExtendedPrecision(true);
        meter("", "Hz", 0, 0, 28)->setNaN();
        page.resize(1100, 640);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTest::qWait(50);

        for (MultimeterDisplay *display : meters)
            checkFits(display);
        QCOMPARE(ac->readAlarm(), 1);
        QCOMPARE(frequency->readAlarm(), 2);
        QCOMPARE(frequency->getRangeState(), 1);
        // The small labels lie on the alarm colour too, not on patches of the earlier face.
        const QImage image = page.grab().toImage();
        auto *minLabel = ac->findChild<QLabel *>(QStringLiteral("labelValueMin"));
        QCOMPARE(QColor(image.pixel(minLabel->mapTo(&page, QPoint(minLabel->width() - 2, 1)))).name(),
                 QStringLiteral("#f6f278"));
        auto *accuracy = frequency->findChild<QLabel *>(QStringLiteral("labelAccuracy"));
        QCOMPARE(QColor(image.pixel(accuracy->mapTo(&page, QPoint(1, 1)))).name(), QStringLiteral("#f6b0b0"));
        const QString dir = qEnvironmentVariable("VELTO_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(page.grab().save(dir + QStringLiteral("/meterpage.png")));
    }
};

QTEST_MAIN(TestMeterPage)
#include "tst_meterpage.moc"
