// The channel controls of the scope pages on the virtual instrument: what
// each sends, what it shows, and what it does to the drawn traces.
#include "app/appsettings.h"
#include "app/veltointerface.h"
#include "device/devicesession.h"
#include "instruments/generatorcontrols.h"
#include "scope/channelcontrols.h"
#include "scope/cursorcontrols.h"
#include "scope/plotinteraction.h"
#include "scope/scopedisplay.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "scope/spectrumcontrols.h"
#include "scope/triggercontrols.h"
#include "common/testsupport.h"
#include "device/virtual/virtualusbbackend.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

#include <QtTest>

class TestChannelControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void gainSlidersSendAndRelabel();
    void quickRangeButtons();
    void positionMovesTheDrawnTrace();
    void samplingSliderSendsTheTimeBase();

private:
    void connectWindow(VeltoInterface &window);
};

void TestChannelControls::initTestCase()
{
    qputenv("VELTO_DEVICE", "virtual");
    AppSettings::setApplicationIdentity();
}

void TestChannelControls::connectWindow(VeltoInterface &window)
{
    virtualBench().setAttached(true);
    QTRY_COMPARE_WITH_TIMEOUT(window.form()->connectButton->text(), QStringLiteral("Disconnect"), 5000);
}

void TestChannelControls::gainSlidersSendAndRelabel()
{
    VeltoInterface window;
    connectWindow(window);
    // The configuration pass sent the form's gains: CH1 at 1, CH2 at 0.
    QCOMPARE(virtualBench().configurationEntry(13), 1);
    QCOMPARE(virtualBench().configurationEntry(14), 0);
    QCOMPARE(window.form()->labelCH1Gain->text(), QStringLiteral("Gain (\u00b112V)"));

    TraceCapture trace;
    window.form()->ch1GainSlider->setValue(9);
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 13 9 0 0")).size(), 1);
    QCOMPARE(virtualBench().configurationEntry(13), 9);
    QCOMPARE(window.form()->labelCH1Gain->text(), QStringLiteral("Gain (\u00b137mV)"));
    QCOMPARE(window.form()->groupBoxCH1AC->title(), QStringLiteral("Channel 1  Gain (\u00b137mV), AC/DC "));
    QCOMPARE(window.form()->groupBoxCH1DC->title(), window.form()->groupBoxCH1AC->title());

    window.form()->ch2GainSlider->setValue(3);
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 14 3 0 0")).size(), 1);
    QVERIFY(window.form()->toolButtonCh2ADC2V4->isChecked());
    QVERIFY(!window.form()->toolButtonCh2ADC24V->isChecked());

    // AC coupling releases both quick buttons and retitles the boxes.
    window.form()->checkBoxCH2ACDC->click();
    QVERIFY(!window.form()->toolButtonCh2ADC2V4->isChecked());
    QVERIFY(!window.form()->toolButtonCh2ADC24V->isChecked());
    QVERIFY(window.form()->groupBoxCH2AC->title().endsWith(QStringLiteral(", AC ")));
    QCOMPARE(virtualBench().configurationEntry(4) & 0x02, 0x02);
}

void TestChannelControls::quickRangeButtons()
{
    VeltoInterface window;
    connectWindow(window);
    window.form()->ch1GainSlider->setValue(6);
    window.form()->checkBoxCH1ACDC->click();
    QVERIFY(window.form()->checkBoxCH1ACDC->isChecked());

    TraceCapture trace;
    QSignalSpy moved(window.form()->ch1GainSlider, &QSlider::valueChanged);
    window.form()->toolButtonCh1ADC24V->click();
    QCOMPARE(window.form()->ch1GainSlider->value(), 0);
    QCOMPARE(moved.count(), 0); // applied without running the slider's own handler
    QVERIFY(!window.form()->checkBoxCH1ACDC->isChecked());
    QVERIFY(window.form()->toolButtonCh1ADC24V->isChecked());
    QVERIFY(!window.form()->toolButtonCh1ADC2V4->isChecked());
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 13 0 ")).size(), 1);
    QCOMPARE(virtualBench().configurationEntry(13), 0);
    QCOMPARE(virtualBench().configurationEntry(3) & 0x02, 0);

    window.form()->toolButtonCh1ADC2V4->click();
    QCOMPARE(window.form()->ch1GainSlider->value(), 3);
    QVERIFY(window.form()->toolButtonCh1ADC2V4->isChecked());
    QVERIFY(!window.form()->toolButtonCh1ADC24V->isChecked());
    QCOMPARE(virtualBench().configurationEntry(13), 3);
}

void TestChannelControls::positionMovesTheDrawnTrace()
{
    VeltoInterface window;
    connectWindow(window);
    QTRY_COMPARE_WITH_TIMEOUT(window.scopePlot()->graphs().ch2->data()->size(), 768, 5000);
    // Hold the picture: stop the scope and let the last frame settle.
    window.session()->sendScopeStop();
    QTest::qWait(100);
    window.form()->ch2PositionSlider->setValue(0);
    QTest::qWait(30);
    const QVector<double> before = graphValues(window.scopePlot()->graphs().ch2);
    window.form()->ch2PositionSlider->setValue(128);
    QVERIFY(window.scopeState()->redrawRequested);
    QTRY_VERIFY_WITH_TIMEOUT(!window.scopeState()->redrawRequested, 1000);
    const QVector<double> after = graphValues(window.scopePlot()->graphs().ch2);
    QCOMPARE(after.size(), before.size());
    for (int i = 0; i < after.size(); ++i)
        QCOMPARE(after.at(i) - before.at(i), 128.0);
    QCOMPARE(window.scopeState()->zeroLevel[1], 768);
}

void TestChannelControls::samplingSliderSendsTheTimeBase()
{
    VeltoInterface window;
    connectWindow(window);
    QCOMPARE(virtualBench().configurationEntry(1), 8);
    TraceCapture trace;
    window.form()->samplingSlider->setValue(9);
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 1 9 0 0")).size(), 1);
    QVERIFY(window.form()->labelSamplingRate->text().startsWith(QStringLiteral("Time = 5ms/div, time range = ")));
    // Frames of the new rate come back with its index in their header.
    QTRY_COMPARE_WITH_TIMEOUT(int(uchar(window.display()->frame().at(7))), 9, 5000);
}

QTEST_MAIN(TestChannelControls)
#include "tst_channelcontrols.moc"
