// The trigger controls through the window on the virtual instrument.
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

#include <QtTest>

class TestTriggerControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void modeAndTypeMakeTheControlByte();
    void logicSourceFallsBackToRisingEdge();
    void invertTurnsTheEdgeOver();
    void timesAndRunControl();

private:
    void connectWindow(VeltoInterface &window);
};

void TestTriggerControls::initTestCase()
{
    qputenv("VELTO_DEVICE", "virtual");
    AppSettings::setApplicationIdentity();
}

void TestTriggerControls::connectWindow(VeltoInterface &window)
{
    virtualBench().setAttached(true);
    QTRY_COMPARE_WITH_TIMEOUT(window.form()->connectButton->text(), QStringLiteral("Disconnect"), 5000);
}

void TestTriggerControls::modeAndTypeMakeTheControlByte()
{
    VeltoInterface window;
    connectWindow(window);
    // Free running on the rising edge, as the form starts.
    QCOMPARE(virtualBench().configurationEntry(7), 0x81);
    QVERIFY(!window.form()->forceButton->isEnabled());

    window.form()->radioButtonFallingEdge->click();
    QCOMPARE(virtualBench().configurationEntry(7), 0x91);
    window.form()->radioButtonNormal->click();
    QCOMPARE(virtualBench().configurationEntry(7), 0x92);
    QVERIFY(window.form()->forceButton->isEnabled());
    window.form()->radioButtonWindow->click();
    QCOMPARE(virtualBench().configurationEntry(7), 0x42);
    window.form()->radioButtonDual->click();
    QCOMPARE(virtualBench().configurationEntry(7), 0x02);
    window.form()->radioButtonNegativeSlope->click();
    QCOMPARE(virtualBench().configurationEntry(7), 0x32);

    // Single does not restart the acquisition by itself; the other modes do.
    window.session()->sendScopeStop();
    TraceCapture trace;
    window.form()->radioButtonSingle->click();
    QVERIFY(trace.matching(QStringLiteral("ctrl 0x44 2 ")).isEmpty());
    window.form()->radioButtonAuto->click();
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x44 2 ")).size(), 1);
    QCOMPARE(window.form()->stopButton->text(), QStringLiteral("STOP"));
}

void TestTriggerControls::logicSourceFallsBackToRisingEdge()
{
    VeltoInterface window;
    connectWindow(window);
    window.form()->radioButtonWindow->click();
    window.form()->comboBoxTrigSource->setCurrentIndex(5); // "Bit 3"
    QCOMPARE(virtualBench().configurationEntry(8), 5);
    QVERIFY(window.form()->radioButtonRisingEdge->isChecked());
    QCOMPARE(virtualBench().configurationEntry(7) & 0xF0, 0x80);
    for (QRadioButton *button : {window.form()->radioButtonPositiveSlope, window.form()->radioButtonNegativeSlope,
                                 window.form()->radioButtonWindow})
        QVERIFY(!button->isEnabled());
    QVERIFY(window.form()->radioButtonDual->isEnabled());
    window.form()->comboBoxTrigSource->setCurrentIndex(10); // "EXT"
    QVERIFY(!window.form()->radioButtonWindow->isEnabled());
    window.form()->comboBoxTrigSource->setCurrentIndex(11); // "Schmitt"
    QVERIFY(!window.form()->radioButtonWindow->isEnabled());
    window.form()->comboBoxTrigSource->setCurrentIndex(1); // "CH2"
    QCOMPARE(virtualBench().configurationEntry(8), 1);
    for (QRadioButton *button : {window.form()->radioButtonPositiveSlope, window.form()->radioButtonNegativeSlope,
                                 window.form()->radioButtonWindow})
        QVERIFY(button->isEnabled());
}

void TestTriggerControls::invertTurnsTheEdgeOver()
{
    VeltoInterface window;
    connectWindow(window);
    window.form()->comboBoxTrigSource->setCurrentIndex(0);
    window.trigger()->model().triggerSetPosition(window.trigger()->model().current().position, 40);
    QVERIFY(window.form()->radioButtonRisingEdge->isChecked());
    TraceCapture trace;
    window.form()->checkBoxCH1Invert->click();
    QVERIFY(window.form()->radioButtonFallingEdge->isChecked());
    QCOMPARE(window.trigger()->model().current().level, -40);
    QCOMPARE(virtualBench().configurationEntry(17), -40);
    QCOMPARE(virtualBench().configurationEntry(7) & 0xF0, 0x90);
    // CH2 inverted while CH1 is the source leaves the trigger alone.
    window.form()->checkBoxCH2Invert->click();
    QVERIFY(window.form()->radioButtonFallingEdge->isChecked());
    QCOMPARE(window.trigger()->model().current().level, -40);
}

void TestTriggerControls::timesAndRunControl()
{
    VeltoInterface window;
    connectWindow(window);
    window.form()->doubleSpinBoxTrigAuto->setValue(1.0);
    QCOMPARE(virtualBench().configurationEntry(20), 23);
    window.form()->doubleSpinBoxTrigAuto->setValue(0.04096);
    QCOMPARE(virtualBench().configurationEntry(20), 0);
    window.form()->doubleSpinBoxTrigHold->setValue(100);
    QCOMPARE(virtualBench().configurationEntry(15), 100);
    // The post-trigger count matches the buffer: 768 samples minus the position.
    QCOMPARE(virtualBench().configurationEntry(16), 768 - window.trigger()->model().current().position);

    QTRY_COMPARE_WITH_TIMEOUT(window.form()->stopButton->text(), QStringLiteral("STOP"), 5000);
    window.form()->stopButton->click();
    QCOMPARE(window.form()->stopButton->text(), QStringLiteral("START"));
    QVERIFY(!virtualBench().scopeRunning());
    window.form()->stopButton->click();
    QCOMPARE(window.form()->stopButton->text(), QStringLiteral("STOP"));
    QVERIFY(virtualBench().scopeRunning());
    TraceCapture trace;
    window.form()->radioButtonNormal->click();
    window.form()->forceButton->click();
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x44 4 ")).size(), 1);
}

QTEST_MAIN(TestTriggerControls)
#include "tst_triggercontrols.moc"
