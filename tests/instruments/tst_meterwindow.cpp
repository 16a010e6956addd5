// SPDX-License-Identifier: GPL-3.0-only
// The meter and counter pages on the virtual bench's test clock: what they send, poll and read.
#include "common/windowtest.h"
#include "device/virtual/virtualinstrument.h"
#include "instruments/frequencysweepcontrols.h"
#include "instruments/generatorcontrols.h"
#include "instruments/metercontrols.h"
#include "widgets/multimeterdisplay.h"

#include <QtTest>

#include <cmath>

#define NEAR(display, expected, tolerance)                                                                         \
    QVERIFY2(std::fabs((display)->getValue() - (expected)) <= (tolerance), qPrintable(QString::number((display)->getValue())))

class TestMeterWindow : public QObject
{
    Q_OBJECT
    VeltoInterface *w = nullptr;
    Ui::VeltoInterface *ui = nullptr;
    static QString shown(MultimeterDisplay *d) { return d->findChild<QLabel *>(QStringLiteral("labelValue"))->text(); }
    // The clock moved on (on meter page `page` if one is named), then one poll.
    void pollAfter(int milliseconds, int page = -1)
    {
        if (page >= 0)
            ui->mmTabWidget->setCurrentIndex(page);
        virtualBench().advanceClock(int64_t(milliseconds) * 1000);
        w->meter()->meterRequestData();
        w->session()->usb().settle();
    }

private slots:
    void initTestCase() { useVirtualBench(); virtualBench().useTestClock(true); }
    void init()
    {
        w = new VeltoInterface;
        ui = w->form();
        QVERIFY(connectToBench(*w));
        ui->mainTabWidget->setCurrentIndex(1);
    }
    void cleanup() { delete w; }

    void counterControls()
    {
        ui->mmTabWidget->setCurrentIndex(2);
        // Mode, poll interval (0 stopped), gate group, Start, read-outs shown
        // (frequency, period, duty, duty (s), counter).
        const std::tuple<QRadioButton *, int, int, bool, bool, const char *> types[] = {
            {ui->radioPeriod, 6, 400, false, false, "FPDDc"}, {ui->radioPulse, 5, 0, false, true, "fpddC"},
            {ui->radioExtGate, 7, 400, true, false, "fpddC"}, {ui->radioFreq, 4, 400, false, false, "FPddc"}};
        const auto readOuts = ui->widgetCounterDisplays->findChildren<MultimeterDisplay *>(QString(), Qt::FindDirectChildrenOnly);
        for (const auto &[button, mode, interval, gate, start, shown] : types) {
            button->click();
            QVERIFY(virtualBench().configurationEntry(0) == mode && w->mainMode() == mode);
            QCOMPARE(w->meterTimer().isActive() ? w->meterTimer().interval() : 0, interval);
            QVERIFY(ui->groupBoxSourceGate->isEnabled() == gate && ui->pushButtonCounterStart->isEnabled() == start &&
                    !ui->pushButtonCounteStop->isEnabled());
            for (int k = 0; k < 5; ++k)
                QCOMPARE(readOuts[k]->isVisibleTo(ui->mmCounterTab), QChar(shown[k]).isUpper());
        }
        // Source and gate buttons, their entries and codes; entry 11's fast mode and gate width.
        ui->radioExtGate->click();
        const std::tuple<QAbstractButton *, int, int> inputs[] = {
            {ui->fcR3, 8, 5},    {ui->fcR10, 8, 10},   {ui->fcR11, 8, 11},  {ui->fcR0, 8, 2}, {ui->fcR7_2, 9, 9},
            {ui->fcR11_2, 9, 11}, {ui->checkBoxFreqFastMode, 11, 1}, {ui->radioFrequencyGatePeriod, 11, 9},
            {ui->radioFrequencyGatePulse, 11, 1}};
        for (const auto &[button, entry, code] : inputs) {
            button->click();
            QCOMPARE(virtualBench().configurationEntry(entry), code);
        }
        // Pulse counting: Start stops, then starts, polling at 200 ms; Stop
        // stops and keeps polling at 100 ms.
        ui->radioPulse->click();
        TraceCapture trace;
        QTest::mouseClick(ui->pushButtonCounterStart, Qt::LeftButton);
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x44 ")), (QStringList{QStringLiteral("ctrl 0x44 1 0 0 0 -"), QStringLiteral("ctrl 0x44 0 0 0 0 -")}));
        QVERIFY(w->meterTimer().interval() == 200 && ui->pushButtonCounteStop->isEnabled());
        QTest::mouseClick(ui->pushButtonCounteStop, Qt::LeftButton);
        QVERIFY(trace.matching(QStringLiteral("ctrl 0x44 1 0 ")).size() == 2 && w->meterTimer().isActive() && w->meterTimer().interval() == 100);
    }

    void pagesReadTheBenchOrSayTheyDoNot()
    {
        ui->ch2GainSlider->setValue(3); // 0.8 V/div
        ui->samplingSlider->setValue(7);
        pollAfter(400);
        for (const auto &[display, expected, tolerance] : {std::tuple<MultimeterDisplay *, double, double>{ui->multimeterdisplayCh2Vpp, 2, 0.05},
                 {ui->multimeterdisplayCh2Min, 0, 0.05}, {ui->multimeterdisplayCh2Average, 1, 0.05},
                 {ui->multimeterdisplayCh2RMS, std::sqrt(2.0), 0.05}, {ui->multimeterdisplayCh2Frequency, 1000, 20}})
            NEAR(display, expected, tolerance);
        const double rmsShown = ui->multimeterdisplayCh2RMS->shownText().toDouble(); // in volts, no prefix
        QVERIFY2(std::fabs(rmsShown - std::sqrt(2.0)) < 0.05, qPrintable(QString::number(rmsShown)));
        pollAfter(400, 1);
        NEAR(ui->multimeterdisplayCh2DC, 1.0, 0.05);
        // Only CH2 measured: CH1 reads 0 on both pages, its read-outs disabled until checked again.
        QTest::mouseClick(ui->groupBoxCH1DC, Qt::LeftButton, {}, QPoint(12, 8));
        pollAfter(400);
        QVERIFY(ui->multimeterdisplayCh1DC->getValue() == 0 && !ui->multimeterdisplayCh1DC->isEnabled());
        pollAfter(400, 0);
        QVERIFY(ui->multimeterdisplayCh1Vpp->getValue() == 0 && ui->multimeterdisplayCh2Vpp->getValue() > 1.9);
        QTest::mouseClick(ui->groupBoxCH1AC, Qt::LeftButton, {}, QPoint(12, 8));
        QVERIFY(ui->multimeterdisplayCh1Vpp->isEnabled());
        // The counter on bit 0: 1000 Hz once a whole 1 s gate has passed.
        ui->fcR0->click();
        pollAfter(2000, 2);
        QVERIFY(ui->multimeterdisplayFrequencyValue->getValue() == 1000 && ui->multimeterdisplayPeriodValue->getValue() == 0.001);
        // Bit 4, 62.5 Hz: 62 or 63 edges a gate, two digits; the period no finer than that.
        ui->fcR4->click();
        pollAfter(2000);
        QVERIFY2(shown(ui->multimeterdisplayFrequencyValue).size() == 2 && shown(ui->multimeterdisplayPeriodValue) == "16",
                 qPrintable(shown(ui->multimeterdisplayPeriodValue)));
        // EXT: the generator's output (1 V peak) through the comparator.
        QVERIFY(ui->checkBoxAWGEnable->isChecked()); // on from the start
        w->session()->sendMainConfiguration(30, 116);
        ui->fcR10->click();
        pollAfter(2000);
        NEAR(ui->multimeterdisplayFrequencyValue, w->generator()->frequencySweep()->effectiveFrequency(), 1.0);
        // Period mode on bit 1: 500 Hz, half of each period high.
        ui->fcR1->click();
        ui->radioPeriod->click();
        pollAfter(400);
        for (const auto &[display, expected] : {std::pair<MultimeterDisplay *, double>{ui->multimeterdisplayFrequencyValue, 500},
                 {ui->multimeterdisplayDutyValue, 50}, {ui->multimeterdisplayDutyValue_s, 0.001}})
            NEAR(display, expected, 1e-9);
        QCOMPARE(ui->multimeterdisplayDutyValue_s->findChild<QLabel *>(QStringLiteral("labelLabel"))->text(), QStringLiteral("Pulse width"));
        // An external gate on bit 7 (64 ms high of 128) counts bit 0's 1 kHz, 64 a gate; half the polls
        // land in an open gate and read part of one: a dash until a count holds, then 64, never a part.
        ui->fcR0->click();
        ui->radioExtGate->click();
        ui->fcR7_2->click();
        QVERIFY(ui->multimeterdisplayCounter->toolTip().endsWith(QStringLiteral("waiting for a gate to close")));
        QString last;
        for (int k = 0; k < 8; ++k) {
            pollAfter(400);
            last = shown(ui->multimeterdisplayCounter).trimmed();
            QVERIFY2(last == QStringLiteral("64") || last == QString(QChar(0x2014)), qPrintable(last));
        }
        QCOMPARE(last, QStringLiteral("64"));
        // Bit 0's pulses over the 1.5 s between Start and Stop; the count stays.
        ui->fcR0->click();
        ui->radioPulse->click();
        QTest::mouseClick(ui->pushButtonCounterStart, Qt::LeftButton);
        pollAfter(1500);
        QTest::mouseClick(ui->pushButtonCounteStop, Qt::LeftButton);
        pollAfter(800);
        QVERIFY(qAbs(shown(ui->multimeterdisplayCounter).toInt() - 1500) <= 1); // a whole number, in full
        // A failed read: the page keeps its values, greyed, and says why; a
        // timeout (asked twice) or a refusal keeps the session, three timeouts in a row lose it.
        pollAfter(400, 1);
        QVERIFY(w->meter()->isLive() && ui->multimeterdisplayCh2DC->isEnabled() && ui->labelMeterStale->isHidden());
        const double value = ui->multimeterdisplayCh2DC->getValue();
        MessageCapture log;
        using Fault = VirtualInstrument::ControlFault;
        const struct {
            Fault fault;
            int count;
            const char *says;
        } rows[] = {{Fault::Timeout, 2, "Meter: no answer"}, {Fault::Stall, 1, "Meter: not supported by this instrument"},
                    {Fault::Timeout, 2, "Meter: no answer"}};
        for (const auto &row : rows) {
            virtualBench().failNextControl(row.fault, row.count);
            pollAfter(400);
            QCOMPARE(ui->labelMeterStale->text(), QString::fromLatin1(row.says));
            QVERIFY(w->session()->isOpen() && !w->session()->usb().connectionLostFlag);
            QCOMPARE(ui->multimeterdisplayCh2DC->getValue(), value);
            QVERIFY(!w->meter()->isLive() && !ui->multimeterdisplayCh2DC->isEnabled() && !ui->labelMeterStale->isHidden());
        }
        // The third timeout in a row: the lost connection is handled once,
        // one line and the session closed.
        virtualBench().failNextControl(Fault::Timeout);
        pollAfter(400);
        QTRY_COMPARE(ui->connectButton->text(), QStringLiteral("Connect"));
        QCOMPARE(log.count(QStringLiteral("Connection to the instrument lost, disconnected")), 1);
        // Later polls ask nothing and log nothing: no line at every poll.
        TraceCapture trace;
        for (int i = 0; i < 5; ++i)
            pollAfter(400);
        QVERIFY(trace.matching(QStringLiteral("ctrl")).isEmpty() && ui->labelMeterStale->text().contains(QStringLiteral("No instrument")));
        QVERIFY(!log.contains(QStringLiteral("Meter, data too short")));
    }
};

QTEST_MAIN(TestMeterWindow)
#include "tst_meterwindow.moc"
