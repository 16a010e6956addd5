// SPDX-License-Identifier: GPL-3.0-only
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
    // Each row clicks one button after the rows before it, from the form's free
    // running rising edge (0x81); the high nibble is the type, the low the mode.
    void modeAndTypeMakeTheControlByte()
    {
        const struct {
            const char *button; // none: the form as it starts
            int byte;
            bool forceEnabled;
        } rows[] = {{nullptr, 0x81, false},
                    {"radioButtonFallingEdge", 0x91, false},
                    {"radioButtonNormal", 0x92, true},
                    {"radioButtonWindow", 0x42, true},
                    {"radioButtonDual", 0x02, true},
                    {"radioButtonNegativeSlope", 0x32, true},
                    {"radioButtonFree", 0x31, false}};
        for (const auto &row : rows) {
            if (row.button)
                window->findChild<QAbstractButton *>(QLatin1String(row.button))->click();
            QVERIFY2(virtualBench().configurationEntry(7) == row.byte, row.button);
            QVERIFY2(ui->forceButton->isEnabled() == row.forceEnabled, row.button);
        }
    }
    void singleWaitsTheOthersRestart()
    {
        window->session()->sendScopeStop();
        TraceCapture trace;
        ui->radioButtonSingle->click();
        QVERIFY(trace.matching(QStringLiteral("ctrl 0x44 2 ")).isEmpty());
        // One click takes a frame; once it came, one click takes the next.
        for (int shot = 0; shot < 2; ++shot) {
            ui->stopButton->click();
            QVERIFY(virtualBench().scopeRunning());
            QTRY_COMPARE(ui->stopButton->text(), QStringLiteral("START"));
        }
        ui->radioButtonAuto->click();
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x44 2 ")).size(), 3);
        QCOMPARE(ui->stopButton->text(), QStringLiteral("STOP"));
    }
    void timesTravelInTheirUnits()
    {
        // The automatic time-out counts 40.96 ms units, less one; the hold-off goes as it is.
        const struct {
            const char *spinBox;
            double value;
            int entry, expected;
        } rows[] = {{"doubleSpinBoxTrigAuto", 1.0, 20, 23},
                    {"doubleSpinBoxTrigAuto", 0.04096, 20, 0},
                    {"doubleSpinBoxTrigHold", 100.0, 15, 100}};
        for (const auto &row : rows) {
            TraceCapture trace;
            window->findChild<QDoubleSpinBox *>(QLatin1String(row.spinBox))->setValue(row.value);
            const QString sent = QStringLiteral("ctrl 0x41 %1 %2 0 0").arg(row.entry).arg(row.expected);
            QVERIFY2(virtualBench().configurationEntry(row.entry) == row.expected, qPrintable(sent));
            QVERIFY2(trace.matching(sent).size() == 1, qPrintable(sent));
        }
    }
    void runControl()
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
    void singleEndsStoppedAndForceAlwaysTakesAFrame()
    {
        const QCPItemText *badge = window->scopePlot()->items().triggerBadge;
        if (ui->stopButton->text() == QStringLiteral("START"))
            ui->stopButton->click();
        ui->radioButtonSingle->click();
        QCOMPARE(badge->text(), QStringLiteral("Armed"));
        // The single frame forced, and Force again once it is done: a frame each time, then Stopped.
        for (int press = 0; press < 2; ++press) {
            const quint64 shown = window->display()->counts().framesShown;
            ui->forceButton->click();
            QTRY_VERIFY_WITH_TIMEOUT(window->display()->counts().framesShown > shown, 5000);
            QTRY_COMPARE(ui->stopButton->text(), QStringLiteral("START"));
            QCOMPARE(badge->text(), QStringLiteral("Stopped"));
            QVERIFY(badge->visible() && !virtualBench().scopeRunning());
        }
    }
    void levelBoxAndMarkerFollowEachOther()
    {
        ui->comboBoxTrigSource->setCurrentIndex(0);
        ui->radioButtonNormal->click();
        QDoubleSpinBox *box = window->trigger()->levelBox();
        const double perCount = Trigger::levelVolts(1, ui->ch1GainSlider->value());
        const QCPItemText *label = window->scopePlot()->items().triggerLevelLabel;
        box->setValue(20 * perCount);
        QCOMPARE(window->trigger()->model().current().level, 20);
        QCOMPARE(virtualBench().configurationEntry(17), 20);
        window->trigger()->nudgeMarker(TriggerModel::Marker::Trigger, 0, -30);
        QCOMPARE(window->trigger()->model().current().level, -10);
        QCOMPARE(box->value(), QString::number(-10 * perCount, 'f', box->decimals()).toDouble());
        QVERIFY2(label->visible() && label->text() == box->text(), qPrintable(label->text()));
        // Logic sources have no level: the box is greyed and the marker bears no volts.
        ui->comboBoxTrigSource->setCurrentIndex(2);
        QVERIFY(!box->isEnabled() && !label->visible());
        ui->comboBoxTrigSource->setCurrentIndex(0);
    }
    // A client's single frame that the display takes in before the count of
    // the reads before its start has reached the window (the display's tick
    // came first): the scope stops on that frame as the count comes, and
    // does not wait for another.
    void oneFrameTakenBeforeItsStartIsCounted()
    {
        ui->radioButtonAuto->click();
        if (ui->stopButton->text() == QStringLiteral("START"))
            ui->stopButton->click();
        QVERIFY(LibUsbDevice::settleAll());
        const quint64 shown = window->display()->counts().framesShown;
        window->trigger()->acquireOneFrame();
        QThread::msleep(300); // the start and the count go out, frames land; none of it is seen yet
        window->dataShow();
        QVERIFY(window->display()->counts().framesShown > shown);
        QCOMPARE(ui->stopButton->text(), QStringLiteral("STOP"));
        QCoreApplication::sendPostedEvents(); // the count, and nothing of the display's timers
        QCOMPARE(ui->stopButton->text(), QStringLiteral("START"));
        ui->stopButton->click();
    }
    // A client acquiring frame by frame starts and stops the scope twice a
    // frame: the button's new text lays out nothing around it, and the badge
    // waits for the display's next paint instead of a replot of its own.
    void startAndStopRedrawNoMoreThanTheirOwn()
    {
        window->resize(1600, 1000);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->session()->sendScopeStop();
        QTest::qWait(200);
        EventCount requests(ui->osciloscopeTab, QEvent::LayoutRequest);
        int replots = 0;
        const QMetaObject::Connection counting =
            connect(window->scopePlot()->plot(), &QCustomPlot::afterReplot, [&replots] { ++replots; });
        const quint64 paints = window->display()->counts().replots;
        for (int shot = 0; shot < 10; ++shot) {
            for (const bool start : {true, false}) {
                start ? window->session()->sendScopeStart() : window->session()->sendScopeStop();
                for (int i = 0; i < 5; ++i)
                    QCoreApplication::processEvents();
                QCOMPARE(ui->stopButton->text(), start ? QStringLiteral("STOP") : QStringLiteral("START"));
            }
        }
        const QCPItemText *badge = window->scopePlot()->items().triggerBadge;
        QTRY_VERIFY(window->display()->counts().replots > paints);
        QTest::qWait(150); // a paint the last change asked for
        disconnect(counting);
        QCOMPARE(requests.count, 0);
        QCOMPARE(quint64(replots), window->display()->counts().replots - paints);
        QCOMPARE(badge->text(), QStringLiteral("Stopped"));
        window->hide();
    }
};

QTEST_MAIN(TestTriggerControls)
#include "tst_triggercontrols.moc"
