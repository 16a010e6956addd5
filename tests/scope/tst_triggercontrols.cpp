// The trigger controls through the window on the virtual instrument.
#include "common/windowtest.h"

#include <QtTest>

#include <memory>

class TestTriggerControls : public QObject
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
    }
    void cleanupTestCase() { window.reset(); }
    void modeAndTypeMakeTheControlByte_data();
    void modeAndTypeMakeTheControlByte();
    void singleWaitsTheOthersRestart();
    void timesTravelInTheirUnits_data();
    void timesTravelInTheirUnits();
    void runControl();
};

// Each row clicks one button after the rows before it, from the form's free
// running rising edge (0x81); the high nibble is the type, the low the mode.
void TestTriggerControls::modeAndTypeMakeTheControlByte_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("byte");
    QTest::addColumn<bool>("forceEnabled");
    QTest::newRow("start") << QString() << 0x81 << false;
    QTest::newRow("falling") << "radioButtonFallingEdge" << 0x91 << false;
    QTest::newRow("normal") << "radioButtonNormal" << 0x92 << true;
    QTest::newRow("window") << "radioButtonWindow" << 0x42 << true;
    QTest::newRow("dual") << "radioButtonDual" << 0x02 << true;
    QTest::newRow("negative slope") << "radioButtonNegativeSlope" << 0x32 << true;
    QTest::newRow("free") << "radioButtonFree" << 0x31 << false;
}

void TestTriggerControls::modeAndTypeMakeTheControlByte()
{
    QFETCH(QString, button);
    QFETCH(int, byte);
    QFETCH(bool, forceEnabled);
    if (!button.isEmpty()) {
        QAbstractButton *widget = window->findChild<QAbstractButton *>(button);
        QVERIFY(widget);
        widget->click();
    }
    QCOMPARE(virtualBench().configurationEntry(7), byte);
    QCOMPARE(ui->forceButton->isEnabled(), forceEnabled);
}

void TestTriggerControls::singleWaitsTheOthersRestart()
{
    window->session()->sendScopeStop();
    TraceCapture trace;
    ui->radioButtonSingle->click();
    QVERIFY(trace.matching(QStringLiteral("ctrl 0x44 2 ")).isEmpty());
    ui->radioButtonAuto->click();
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x44 2 ")).size(), 1);
    QCOMPARE(ui->stopButton->text(), QStringLiteral("STOP"));
}

void TestTriggerControls::timesTravelInTheirUnits_data()
{
    QTest::addColumn<QString>("spinBox");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("expected");
    // The automatic time-out counts 40.96 ms units, less one.
    QTest::newRow("auto 1 s") << "doubleSpinBoxTrigAuto" << 1.0 << 20 << 23;
    QTest::newRow("auto one unit") << "doubleSpinBoxTrigAuto" << 0.04096 << 20 << 0;
    QTest::newRow("hold-off") << "doubleSpinBoxTrigHold" << 100.0 << 15 << 100;
}

void TestTriggerControls::timesTravelInTheirUnits()
{
    QFETCH(QString, spinBox);
    QFETCH(double, value);
    QFETCH(int, entry);
    QFETCH(int, expected);
    TraceCapture trace;
    window->findChild<QDoubleSpinBox *>(spinBox)->setValue(value);
    QCOMPARE(virtualBench().configurationEntry(entry), expected);
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 %1 %2 0 0").arg(entry).arg(expected)).size(), 1);
}

void TestTriggerControls::runControl()
{
    // The post-trigger count matches the buffer: 768 samples minus the position.
    QCOMPARE(virtualBench().configurationEntry(16), 768 - window->trigger()->model().current().position);
    QTRY_COMPARE_WITH_TIMEOUT(ui->stopButton->text(), QStringLiteral("STOP"), 5000);
    for (bool running : {false, true}) {
        ui->stopButton->click();
        QCOMPARE(ui->stopButton->text(), running ? QStringLiteral("STOP") : QStringLiteral("START"));
        QCOMPARE(virtualBench().scopeRunning(), running);
    }
    TraceCapture trace;
    ui->radioButtonNormal->click();
    ui->forceButton->click();
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x44 4 ")).size(), 1);
}

QTEST_MAIN(TestTriggerControls)
#include "tst_triggercontrols.moc"
