#include "widgets/multimeterdisplay.h"
#include "widgets/multimeterdisplayoptions.h"

#include <QFrame>
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
        for (const char *name : {"labelValue", "labelUnit", "labelValueMin", "labelValueMax", "labelAccuracy",
                                 "labelOffsetBase", "labelLabel"}) {
            auto *label = display->findChild<QLabel *>(QString::fromLatin1(name));
            if (!label->isVisible() || label->text().isEmpty())
                continue;
            const int needed = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(needed <= label->contentsRect().width() || label->wordWrap(),
                     qPrintable(QStringLiteral("%1 of \"%2\": \"%3\" needs %4 px, has %5")
                                    .arg(QString::fromLatin1(name), display->objectName(), label->text())
                                    .arg(needed)
                                    .arg(label->contentsRect().width())));
            const int height = label->fontMetrics().height();
            QVERIFY2(height <= label->height() + 2,
                     qPrintable(QStringLiteral("%1 of \"%2\" is %3 px high, text needs %4")
                                    .arg(QString::fromLatin1(name), display->objectName())
                                    .arg(label->height())
                                    .arg(height)));
        }
        for (auto *button : display->findChildren<QPushButton *>())
            if (button->isVisible())
                QVERIFY(button->height() >= 14);
    }

    static MultimeterDisplay *meter(QWidget *page, MultimeterDisplayOptions *options, const QString &name,
                                    const QString &caption, const QString &unit, int power, int precision, int fontSize)
    {
        auto *display = new MultimeterDisplay(page);
        display->setObjectName(name);
        display->connectOptions(options, nullptr, nullptr, nullptr);
        display->setValueFont(QStringLiteral("Cantarell"), fontSize);
        display->setLabelFont(QStringLiteral("Cantarell"), 12);
        display->setLabel(caption);
        display->setUnit(unit);
        display->setUnitPower(power);
        display->setPrecision(precision);
        display->applyConfiguration();
        display->enableContexMenu(true);
        return display;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void pageOfMeters()
    {
        MultimeterDisplayOptions options;
        QWidget page;
        page.setStyleSheet(QStringLiteral("QWidget#page { background-color: white; }"));
        page.setObjectName(QStringLiteral("page"));
        auto *grid = new QGridLayout(&page);

        auto *dc = meter(&page, &options, QStringLiteral("dc"), QStringLiteral("CH1 DC"), QStringLiteral("V"), 0, -3, 36);
        dc->setRange(-24, 24);
        dc->enableCheckRange(true);
        dc->enableBargraph(true);
        dc->enableExtreme(true);
        dc->enableButtons(true);
        dc->setAccuracy(0.02, QStringLiteral("0.5%"));
        dc->setAccuracyVisible(true);
        for (double v : {1.2, 3.9, -0.7, 3.3})
            dc->setValue(v);

        auto *ac = meter(&page, &options, QStringLiteral("ac"), QStringLiteral("CH2 RMS"), QStringLiteral("V"), -3, -4, 36);
        ac->setRange(0, 10);
        ac->enableBargraph(true);
        ac->setAlarm(0, 0.1, 0.9, 2);
        ac->enableAlarm(true);
        ac->enableExtreme(true);
        ac->setValue(0.52);
        ac->setValue(0.9731);

        auto *frequency = meter(&page, &options, QStringLiteral("frequency"), QStringLiteral("Frequency"),
                                QStringLiteral("Hz"), 3, -1, 36);
        frequency->setRange(0, 24000000);
        frequency->enableCheckRange(true);
        frequency->setAlarm(-1, 0, 20000000, 23000000);
        frequency->enableAlarm(true);
        frequency->setAccuracy(1, QStringLiteral("50ppm"));
        frequency->setAccuracyVisible(true);
        frequency->setValue(30000000);

        auto *period = meter(&page, &options, QStringLiteral("period"), QStringLiteral("Period"), QStringLiteral("s"),
                             -6, -9, 36);
        period->enableButtons(true);
        period->setValue(2.5e-7);
        period->enableOffset(true, 2.0e-7);
        period->enableExtendedPrecision(true);

        auto *counter = meter(&page, &options, QStringLiteral("counter"), QString(), QStringLiteral("Hz"), 0, 0, 28);
        counter->setNaN();
        auto *bipolar = meter(&page, &options, QStringLiteral("bipolar"), QStringLiteral("CH1 min"),
                              QStringLiteral("V"), 0, -2, 28);
        bipolar->setRange(-24, 24);
        bipolar->enableBargraph(true);
        bipolar->setValue(-7.5);

        grid->addWidget(dc, 0, 0);
        grid->addWidget(ac, 0, 1);
        grid->addWidget(frequency, 1, 0);
        grid->addWidget(period, 1, 1);
        grid->addWidget(counter, 2, 0);
        grid->addWidget(bipolar, 2, 1);
        page.resize(1100, 640);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTest::qWait(50);

        for (MultimeterDisplay *display : {dc, ac, frequency, period, counter, bipolar})
            checkFits(display);
        QCOMPARE(ac->readAlarm(), 1);
        QCOMPARE(frequency->readAlarm(), 2);
        QCOMPARE(frequency->getRangeState(), 1);

        // The small labels lie on the alarm colour too, not on patches of the earlier face.
        const QImage image = page.grab().toImage();
        auto *minLabel = ac->findChild<QLabel *>(QStringLiteral("labelValueMin"));
        const QPoint corner = minLabel->mapTo(&page, QPoint(minLabel->width() - 2, 1));
        QCOMPARE(QColor(image.pixel(corner)).name(), QStringLiteral("#f6f278"));
        auto *accuracy = frequency->findChild<QLabel *>(QStringLiteral("labelAccuracy"));
        QCOMPARE(QColor(image.pixel(accuracy->mapTo(&page, QPoint(1, 1)))).name(), QStringLiteral("#f6b0b0"));

        const QString dir = qEnvironmentVariable("VELTO_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(page.grab().save(dir + QStringLiteral("/meterpage.png")));
    }
};

QTEST_MAIN(TestMeterPage)
#include "tst_meterpage.moc"
