// SPDX-License-Identifier: GPL-3.0-only
// The channel controls of the scope pages on the virtual instrument: what
// each sends and what it shows.
#include "common/windowtest.h"
#include "device/libusbdevice.h"

#include <QtTest>

#include <memory>

class TestChannelControls : public QObject
{
    Q_OBJECT
    std::unique_ptr<VeltoInterface> window;
    Ui::VeltoInterface *ui = nullptr;

private slots:
    void initTestCase()
    {
        useVirtualBench();
        window.reset(new VeltoInterface);
        ui = window->form();
        QVERIFY(connectToBench(*window));
        // The configuration pass sent the gains and time base of a first start.
        QCOMPARE(virtualBench().configurationEntry(13), 0);
        QCOMPARE(virtualBench().configurationEntry(14), 0);
        QCOMPARE(virtualBench().configurationEntry(1), 6);
        QCOMPARE(ui->labelCH1Gain->text(), QStringLiteral("Gain (\u00b124V)"));
    }
    void cleanupTestCase() { window.reset(); }
    void slidersSendAndRelabel();
    void quickRangeButtonsAndCoupling();
    void scriptSetStateIsWhatTheInstrumentGets();
};

// Each slider writes its entry and relabels its page; the plot's legend
// follows at once, before any frame comes back.
void TestChannelControls::slidersSendAndRelabel()
{
    const struct {
        const char *slider;
        int value, entry;
        const char *label, *text;
    } rows[] = {{"ch1GainSlider", 9, 13, "labelCH1Gain", "Gain (\u00b137mV)"},
                {"ch2GainSlider", 3, 14, "labelCH2Gain", "Gain (\u00b12.4V)"},
                {"samplingSlider", 9, 1, "labelSamplingRate", "Time = 5 ms/div, time range = "},
                {"ch1GainSlider", 4, 13, "ch1Label", " CH1 = 0.4V/div"},
                {"ch2GainSlider", 5, 14, "ch2Label", " CH2 = 0.2V/div"}};
    for (const auto &row : rows) {
        TraceCapture trace;
        window->findChild<QSlider *>(QLatin1String(row.slider))->setValue(row.value);
        const QString label = window->findChild<QLabel *>(QLatin1String(row.label))->text();
        const QString sent = QStringLiteral("ctrl 0x41 %1 %2 0 0").arg(row.entry).arg(row.value);
        QVERIFY2(trace.matching(sent).size() == 1, qPrintable(sent));
        QVERIFY2(virtualBench().configurationEntry(row.entry) == row.value, qPrintable(sent));
        QVERIFY2(label.startsWith(QString::fromUtf8(row.text)), qPrintable(label));
    }
}

void TestChannelControls::quickRangeButtonsAndCoupling()
{
    ui->ch1GainSlider->setValue(9);
    QCOMPARE(ui->groupBoxCH1AC->title(), QStringLiteral("Channel 1  Gain (\u00b137mV), AC/DC "));
    QCOMPARE(ui->groupBoxCH1DC->title(), ui->groupBoxCH1AC->title());
    // Which of a channel's quick buttons are down: ±24 V, ±2.4 V.
    auto quick = [](QToolButton *v24, QToolButton *v2) {
        return QList<bool>{v24->isChecked(), v2->isChecked()};
    };
    ui->ch2GainSlider->setValue(3);
    QCOMPARE(quick(ui->toolButtonCh2ADC24V, ui->toolButtonCh2ADC2V4), QList<bool>({false, true}));
    // AC coupling releases both quick buttons and retitles the boxes.
    ui->checkBoxCH2ACDC->click();
    QCOMPARE(quick(ui->toolButtonCh2ADC24V, ui->toolButtonCh2ADC2V4), QList<bool>({false, false}));
    QVERIFY(ui->groupBoxCH2AC->title().endsWith(QStringLiteral(", AC ")));
    QCOMPARE(virtualBench().configurationEntry(4) & 0x02, 0x02);

    // A quick button sets the gain without the slider's own handler and goes back to DC.
    ui->ch1GainSlider->setValue(6);
    ui->checkBoxCH1ACDC->click();
    QVERIFY(ui->checkBoxCH1ACDC->isChecked());
    TraceCapture trace;
    QSignalSpy moved(ui->ch1GainSlider, &QSlider::valueChanged);
    ui->toolButtonCh1ADC24V->click();
    QCOMPARE(ui->ch1GainSlider->value(), 0);
    QCOMPARE(moved.count(), 0);
    QVERIFY(!ui->checkBoxCH1ACDC->isChecked());
    QCOMPARE(quick(ui->toolButtonCh1ADC24V, ui->toolButtonCh1ADC2V4), QList<bool>({true, false}));
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 13 0 ")).size(), 1);
    QCOMPARE(virtualBench().configurationEntry(13), 0);
    QCOMPARE(virtualBench().configurationEntry(3) & 0x02, 0);
    ui->toolButtonCh1ADC2V4->click();
    QCOMPARE(ui->ch1GainSlider->value(), 3);
    QCOMPARE(quick(ui->toolButtonCh1ADC24V, ui->toolButtonCh1ADC2V4), QList<bool>({false, true}));
    QCOMPARE(virtualBench().configurationEntry(13), 3);
    // AC coupling releases CH1's quick buttons too.
    ui->checkBoxCH1ACDC->click();
    QVERIFY(!ui->toolButtonCh1ADC2V4->isChecked());
}

// A control set the way a script sets it (setChecked, no click) reaches the
// instrument with one write, and a click back with one more; the counter's
// input, which shares entry 8 with the scope's trigger, waits for its page.
// What only the display shows is redrawn at the next tick.
void TestChannelControls::scriptSetStateIsWhatTheInstrumentGets()
{
    const struct {
        const char *control;
        bool on;
        const char *write; // request and entry; none for the display's own controls
        int mask, bits, writes;
    } rows[] = {
        {"checkBoxCHDTrace", true, "0x42 5", 0x01, 0x01, 1},   {"checkBoxCHDInvert", true, "0x41 5", 0x04, 0x04, 1},
        {"checkBoxCHD3", false, "0x41 6", 0x08, 0, 1},         {"checkBoxCH1Invert", true, "0x41 3", 0x04, 0x04, 1},
        {"checkBoxCH2Average", true, "0x41 4", 0x08, 0x08, 1}, {"radioButtonCH1Sub", true, nullptr, 0, 0, 0},    
        {"checkBoxCH1ACDC", false, "0x41 3", 0x02, 0, 1},      {"groupBoxCH2AC", false, "0x42 4", 0x01, 0, 1},
        {"checkBoxmeterondev", false, "0x41 10", 0x08, 0, 1},  {"elasticMode", true, "0x41 10", 0x02, 0x02, 1},
        {"radioButtonNormal", true, "0x41 7", 0x0F, 0x02, 1},  {"radioButtonFallingEdge", true, "0x41 7", 0xF0, 0x90, 1},
        {"checkBoxAWGEnable", false, "0x42 2", 0x01, 0, 1},    {"radioButtonSquare", true, "0x41 31", 0xFF, 1, 1},
        {"radioButtonSweepFalling", true, "0x41 26", 0x03, 0x01, 1},
        {"checkBoxFreqFastMode", true, "0x41 11", 0x01, 0x01, 1}, {"checkBoxSynchro", true, "0x41 12", 0x08, 0x08, 1},
        {"radioButtonSniffNormal", true, "0x41 10", 0x04, 0, 1}, {"fcR3", true, "0x41 8", 0xFF, 0, 0},
        {"checkBoxPersistence", true, nullptr, 0, 0, 0},       {"checkBoxVectors", false, nullptr, 0, 0, 0},
        {"xyMode", true, nullptr, 0, 0, 0},                    {"checkBoxCursorVertical", false, nullptr, 0, 0, 0},
        {"checkBoxScopeCursorsHorizontal", false, nullptr, 0, 0, 0}, {"refCH1", true, nullptr, 0, 0, 0},
        {"checkBoxFFTCH2", true, nullptr, 0, 0, 0},            {"radioButtonBlackman", true, nullptr, 0, 0, 0}};
    for (const auto &r : rows) {
        QWidget *widget = window->findChild<QWidget *>(QLatin1String(r.control));
        QVERIFY2(widget && widget->property("checked").toBool() != r.on, r.control);
        LibUsbDevice::settleAll(); // the last row's writes, and what their answers send, are out
        TraceCapture trace;
        window->scopeState()->redrawRequested = false;
        QVERIFY(QMetaObject::invokeMethod(widget, "setChecked", Q_ARG(bool, r.on)));
        if (!r.write) {
            QVERIFY2(window->scopeState()->redrawRequested, r.control);
            continue;
        }
        const QString sent = QStringLiteral("ctrl %1 ").arg(QLatin1String(r.write));
        const int entry = sent.section(QLatin1Char(' '), 2, 2).toInt();
        QVERIFY2(trace.matching(sent).size() == r.writes && (virtualBench().configurationEntry(entry) & r.mask) == r.bits,
                 r.control);
        auto *button = qobject_cast<QAbstractButton *>(widget);
        if (button && !button->autoExclusive()) {
            button->click();
            QVERIFY2(trace.matching(sent).size() == 2 * r.writes, r.control);
        }
    }
    QCOMPARE(window->spectrum()->spectrumBuilder().window(), FftWindow::Blackman);
}

QTEST_MAIN(TestChannelControls)
#include "tst_channelcontrols.moc"
