// The trigger controls through the window on the virtual instrument.
#include "app/appsettings.h"
#include "app/veltointerface.h"
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
    QTRY_COMPARE_WITH_TIMEOUT(window.ui->connectButton->text(), QStringLiteral("Disconnect"), 5000);
}

void TestTriggerControls::modeAndTypeMakeTheControlByte()
{
    VeltoInterface window;
    connectWindow(window);
    // Free running on the rising edge, as the form starts.
    QCOMPARE(virtualBench().configurationEntry(7), 0x81);
    QVERIFY(!window.ui->forceButton->isEnabled());

    window.ui->radioButtonFallingEdge->click();
    QCOMPARE(virtualBench().configurationEntry(7), 0x91);
    window.ui->radioButtonNormal->click();
    QCOMPARE(virtualBench().configurationEntry(7), 0x92);
    QVERIFY(window.ui->forceButton->isEnabled());
    window.ui->radioButtonWindow->click();
    QCOMPARE(virtualBench().configurationEntry(7), 0x42);
    window.ui->radioButtonDual->click();
    QCOMPARE(virtualBench().configurationEntry(7), 0x02);
    window.ui->radioButtonNegativeSlope->click();
    QCOMPARE(virtualBench().configurationEntry(7), 0x32);

    // Single does not restart the acquisition by itself; the other modes do.
    window.sendScopeStop();
    TraceCapture trace;
    window.ui->radioButtonSingle->click();
    QVERIFY(trace.matching(QStringLiteral("ctrl 0x44 2 ")).isEmpty());
    window.ui->radioButtonAuto->click();
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x44 2 ")).size(), 1);
    QCOMPARE(window.ui->stopButton->text(), QStringLiteral("STOP"));
}

void TestTriggerControls::logicSourceFallsBackToRisingEdge()
{
    VeltoInterface window;
    connectWindow(window);
    window.ui->radioButtonWindow->click();
    window.ui->comboBoxTrigSource->setCurrentIndex(5); // "Bit 3"
    QCOMPARE(virtualBench().configurationEntry(8), 5);
    QVERIFY(window.ui->radioButtonRisingEdge->isChecked());
    QCOMPARE(virtualBench().configurationEntry(7) & 0xF0, 0x80);
    for (QRadioButton *button : {window.ui->radioButtonPositiveSlope, window.ui->radioButtonNegativeSlope,
                                 window.ui->radioButtonWindow})
        QVERIFY(!button->isEnabled());
    QVERIFY(window.ui->radioButtonDual->isEnabled());
    window.ui->comboBoxTrigSource->setCurrentIndex(10); // "EXT"
    QVERIFY(!window.ui->radioButtonWindow->isEnabled());
    window.ui->comboBoxTrigSource->setCurrentIndex(11); // "Schmitt"
    QVERIFY(!window.ui->radioButtonWindow->isEnabled());
    window.ui->comboBoxTrigSource->setCurrentIndex(1); // "CH2"
    QCOMPARE(virtualBench().configurationEntry(8), 1);
    for (QRadioButton *button : {window.ui->radioButtonPositiveSlope, window.ui->radioButtonNegativeSlope,
                                 window.ui->radioButtonWindow})
        QVERIFY(button->isEnabled());
}

void TestTriggerControls::invertTurnsTheEdgeOver()
{
    VeltoInterface window;
    connectWindow(window);
    window.ui->comboBoxTrigSource->setCurrentIndex(0);
    window.triggerModel.triggerSetPosition(window.triggerModel.current().position, 40);
    QVERIFY(window.ui->radioButtonRisingEdge->isChecked());
    TraceCapture trace;
    window.ui->checkBoxCH1Invert->click();
    QVERIFY(window.ui->radioButtonFallingEdge->isChecked());
    QCOMPARE(window.triggerModel.current().level, -40);
    QCOMPARE(virtualBench().configurationEntry(17), -40);
    QCOMPARE(virtualBench().configurationEntry(7) & 0xF0, 0x90);
    // CH2 inverted while CH1 is the source leaves the trigger alone.
    window.ui->checkBoxCH2Invert->click();
    QVERIFY(window.ui->radioButtonFallingEdge->isChecked());
    QCOMPARE(window.triggerModel.current().level, -40);
}

void TestTriggerControls::timesAndRunControl()
{
    VeltoInterface window;
    connectWindow(window);
    window.ui->doubleSpinBoxTrigAuto->setValue(1.0);
    QCOMPARE(virtualBench().configurationEntry(20), 23);
    window.ui->doubleSpinBoxTrigAuto->setValue(0.04096);
    QCOMPARE(virtualBench().configurationEntry(20), 0);
    window.ui->doubleSpinBoxTrigHold->setValue(100);
    QCOMPARE(virtualBench().configurationEntry(15), 100);
    // The post-trigger count matches the buffer: 768 samples minus the position.
    QCOMPARE(virtualBench().configurationEntry(16), 768 - window.triggerModel.current().position);

    QTRY_COMPARE_WITH_TIMEOUT(window.ui->stopButton->text(), QStringLiteral("STOP"), 5000);
    window.ui->stopButton->click();
    QCOMPARE(window.ui->stopButton->text(), QStringLiteral("START"));
    QVERIFY(!virtualBench().scopeRunning());
    window.ui->stopButton->click();
    QCOMPARE(window.ui->stopButton->text(), QStringLiteral("STOP"));
    QVERIFY(virtualBench().scopeRunning());
    TraceCapture trace;
    window.ui->radioButtonNormal->click();
    window.ui->forceButton->click();
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x44 4 ")).size(), 1);
}

QTEST_MAIN(TestTriggerControls)
#include "tst_triggercontrols.moc"
