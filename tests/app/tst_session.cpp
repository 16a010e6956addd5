// SPDX-License-Identifier: GPL-3.0-only
// A whole session on the virtual instrument, through the real window: what
// goes over the wire, what the log says and what the window shows.
#include "common/windowtest.h"
#include "scope/channelcontrols.h"
#include "ui/messagepresenter.h"

#include <QSignalSpy>
#include <QtTest>

namespace
{
bool showsPixmap(QLabel *label, const QString &resource)
{
    const QPixmap shown = label->pixmap(Qt::ReturnByValue);
    return !shown.isNull() && shown.toImage() == QPixmap(resource).toImage();
}

// Index of the first trace line at or after `from` whose body starts with `prefix`, or -1.
int findLine(const QStringList &lines, const QString &prefix, int from = 0)
{
    for (int i = qMax(0, from); i < lines.size(); ++i)
        if (traceBody(lines.at(i)).startsWith(prefix))
            return i;
    return -1;
}

qint64 traceTime(const QString &line)
{
    return line.section(QLatin1Char(' '), 0, 0).toLongLong();
}
} // namespace

class TestSession : public QObject
{
    Q_OBJECT
    RecordingMessagePresenter messages;

private slots:
    void initTestCase()
    {
        useVirtualBench();
        setCriticalMessagePresenter(&messages);
    }

    void init()
    {
        virtualBench().setAttached(true);
        virtualBench().setIdentificationFault(VirtualInstrument::IdentificationFault::None);
        virtualBench().setHealthByte(0x0F);
        virtualBench().failNextControl(VirtualInstrument::ControlFault::None);
        virtualBench().powerCycle();
        messages.messages.clear();
    }

    void connectsByItselfInTheDocumentedOrder()
    {
        TraceCapture trace;
        MessageCapture log;
        VeltoInterface window;
        // Built and configured without a device: nothing crossed the wire yet.
        QVERIFY(trace.matching(QStringLiteral("ctrl")).isEmpty());
        QVERIFY(connectToBench(window));

        QCOMPARE(window.windowTitle(), QStringLiteral("Velto v.1.2 Interface - USB Connected"));
        for (const QLabel *label : {window.form()->connectLabel, window.form()->infoLabel})
            QCOMPARE(label->text(), QStringLiteral("USB Connected"));
        QVERIFY(window.form()->centralWidget->isEnabled());
        QVERIFY(showsPixmap(window.form()->connectIcon, QStringLiteral(":/icons/led-on.png")));
        const QString info = window.form()->textBrowserDeviceInfo->toPlainText();
        for (const char *line : {"Device connected: VSIM.2.7 Velto virtual bench", "Health status",
                                 "    Virtual instrument: signals are simulated", "    Clock: OK"})
            QVERIFY2(info.contains(QLatin1String(line)), line);
        QVERIFY(messages.messages.isEmpty());
        QVERIFY(log.contains(QStringLiteral("Device connected: VSIM.2.7 Velto virtual bench")));

        // The start sequence, each step after the one before.
        const QStringList lines = trace.lines();
        const char *const sequence[] = {"ctrl 0x47 0 0 64 64 ", "ctrl 0x47 2 0 1 1 0f", "ctrl 0x44 3 0 0 0 -",
                                        "bulkout 0x01 512 0 ",  "ctrl 0x45 2 0 0 0 -",  "event submit 0",
                                        "ctrl 0x41 24 ",        "ctrl 0x41 25 3 ",      "ctrl 0x46 34464 1 ",
                                        "ctrl 0x42 3 ",         "ctrl 0x42 4 ",         "ctrl 0x42 5 ",
                                        "ctrl 0x42 2 "};
        QVector<int> at;
        for (const char *step : sequence) {
            at << findLine(lines, QLatin1String(step), at.isEmpty() ? 0 : at.last());
            QVERIFY2(at.last() >= 0, step); // missing, or out of order
        }
        const int stop = at[2];
        const int block = at[3];
        // Between the stop and the commit only the block travels: no read asks the
        // instrument anything while it is being configured.
        QCOMPARE(block, stop + 1);
        QCOMPARE(at[4], block + 1);
        QCOMPARE(trace.matching(QStringLiteral("bulkout")).size(), 1);
        // The block is the configuration: entry 0 (oscilloscope) and entry 3 with the CH1 trace bit.
        const QString payload = traceBody(lines.at(block)).section(QLatin1Char(' '), 4, 4);
        QVERIFY(payload.size() == 1024 && payload.startsWith(QStringLiteral("00000000")));
        QCOMPARE(payload.mid(24, 2).toInt(nullptr, 16) & 1, 1);

        // Scope start, no earlier than two seconds after the block went out, and
        // nothing starts it while the configuration is prepared.
        QVERIFY(findLine(trace.lines(), QStringLiteral("ctrl 0x44 2 "), stop) < 0);
        QTRY_VERIFY_WITH_TIMEOUT(findLine(trace.lines(), QStringLiteral("ctrl 0x44 2 0 0 0 -"), block) >= 0,
                                 5000);
        const QStringList later = trace.lines();
        const qint64 started = traceTime(later.at(findLine(later, QStringLiteral("ctrl 0x44 2 "), block)));
        QVERIFY2(started - traceTime(lines.at(block)) >= 2000, qPrintable(QString::number(started)));
        QCOMPARE(window.form()->stopButton->text(), QStringLiteral("STOP"));
        // Frames arrive and are drawn: 768 samples of CH1 and CH2, each at 640 + 1.5625 × code.
        QTRY_VERIFY_WITH_TIMEOUT(!trace.matching(QStringLiteral("bulkin 0 ")).isEmpty(), 5000);
        const ScopeGraphs &graphs = window.scopePlot()->graphs();
        QTRY_COMPARE_WITH_TIMEOUT(graphs.ch1->data()->size(), 768, 5000);
        QCOMPARE(graphs.ch2->data()->size(), 768);
        QVERIFY(graphs.logic[0]->data()->isEmpty()); // the logic trace is off
        QTest::qWait(50);
        QVERIFY(!log.contains(QStringLiteral("different sizes"))); // drawing logs nothing per tick
        for (double value : graphValues(graphs.ch2)) {
            const double code = (value - 640.0 - window.form()->ch2PositionSlider->value()) / 1.5625;
            QVERIFY2(code >= -128 && code <= 127 && qAbs(code - qRound(code)) < 1e-9,
                     qPrintable(QString::number(value)));
        }
        window.setTerminateProcess(nullptr);
    }

    // Unplugged, refused, or without its profile: the plot draws no trace of a
    // frame that never came and says, in its middle, what is wrong and what to do.
    void plotSaysWhyThereIsNoInstrument()
    {
        const struct {
            int cause; // 0 unplugged, 1 access refused, 2 no hardware.xml, 3 hardware.xml refused
            QString note;
        } rows[] = {{0, QStringLiteral("No instrument: plug it in, then press Connect")},
                    {1, LibUsbDevice::permissionMessage()},
                    {2, QStringLiteral("hardware.xml not found in: ")},
                    {3, QStringLiteral("hardware.xml refused: ")}};
        const QString path = QStringLiteral("hardware.xml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray profile = file.readAll();
        file.close();
        for (const auto &row : rows) {
            virtualBench().setAttached(row.cause != 0);
            if (row.cause == 1)
                VirtualUsbBackend::shared().failOpen(LIBUSB_ERROR_ACCESS);
            QVERIFY(row.cause != 2 || file.remove());
            QVERIFY(row.cause != 3 || writeFile(path, "<!DOCTYPE other><other/>"));
            VeltoInterface window;
            const ScopeItems &items = window.scopePlot()->items();
            QTRY_VERIFY_WITH_TIMEOUT(items.note->visible(), 5000);
            const quint64 ticks = window.display()->counts().drawnTicks;
            window.scopeState()->redrawRequested = true;
            QTRY_VERIFY(window.display()->counts().drawnTicks > ticks);
            QVERIFY(row.cause < 2 || writeFile(path, profile));
            QVERIFY2(window.scopePlot()->note().startsWith(row.note), qPrintable(window.scopePlot()->note()));
            QVERIFY(window.scopePlot()->graphs().ch1->data()->isEmpty() && !items.labelVoltA->visible());
            for (const QCPItemPixmap *zero : items.zeroHandle)
                QVERIFY(!zero->visible());
        }
    }

    void vanishedInstrumentIsLostThenRecovered()
    {
        VeltoInterface window;
        QVERIFY(connectToBench(window));
        QSignalSpy titles(&window, &QWidget::windowTitleChanged);
        MessageCapture log;
        virtualBench().setAttached(false);
        // The pending read fails: the session is torn down once, and the window says so.
        QTRY_COMPARE_WITH_TIMEOUT(window.form()->connectButton->text(), QStringLiteral("Connect"), 5000);
        QTest::qWait(300);
        QCOMPARE(log.count(QStringLiteral("Connection to the instrument lost, disconnected")), 1);
        QStringList seen;
        for (const QList<QVariant> &args : titles)
            seen << args.at(0).toString();
        QVERIFY2(seen.contains(QStringLiteral("Velto v.1.2 Interface - Connection lost... wait")),
                 qPrintable(seen.join('|')));
        QCOMPARE(seen.last(), QStringLiteral("Velto v.1.2 Interface - Not Connected"));
        QVERIFY(window.form()->infoLabel->text().contains(QStringLiteral("Connection lost")) &&
                window.form()->textBrowserDeviceInfo->toPlainText().isEmpty());
        QVERIFY(showsPixmap(window.form()->connectIcon, QStringLiteral(":/icons/led-off.png")));
        QCOMPARE(VirtualUsbBackend::shared().pendingTransfers(), 0);

        // One press reconnects.
        virtualBench().setAttached(true);
        QTest::mouseClick(window.form()->connectButton, Qt::LeftButton);
        QTRY_COMPARE(window.form()->connectButton->text(), QStringLiteral("Disconnect"));
        QVERIFY(!window.session()->usb().connectionLostFlag);
    }

    // An instrument that answers the identification wrongly, stalls the first
    // request or is a model without a profile is let go; a later press connects
    // once it behaves.
    void faultyInstrumentIsDisconnected_data()
    {
        QTest::addColumn<int>("fault"); // 0 wrong identification, 1 stall, 2 unknown model
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("info");
        const QString unknown = QStringLiteral("Unknown device, disconnected");
        QTest::newRow("wrong identification")
            << 0 << "Device initializing: unknow device, disconnecting ..." << unknown;
        QTest::newRow("stall") << 1 << "(index 0, value 0) failed: LIBUSB_ERROR_PIPE" << unknown;
        QTest::newRow("unknown model") << 2 << QString() << "Instrument not supported, disconnected";
    }

    void faultyInstrumentIsDisconnected()
    {
        QFETCH(int, fault);
        QFETCH(QString, logged);
        QFETCH(QString, info);
        if (fault == 1)
            virtualBench().failNextControl(VirtualInstrument::ControlFault::Stall);
        else
            virtualBench().setIdentificationFault(fault ? VirtualInstrument::IdentificationFault::UnknownModel
                                                    : VirtualInstrument::IdentificationFault::WrongLength);
        MessageCapture log;
        TraceCapture trace;
        VeltoInterface window;
        // The unsupported model is said in a message, the others in the log.
        QTRY_VERIFY_WITH_TIMEOUT(fault == 2 ? !messages.messages.isEmpty() : log.contains(logged), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(),
                                  QStringLiteral("Velto v.1.2 Interface - Not Connected"), 5000);
        if (fault == 0)
            QCOMPARE(log.typesOf(QStringLiteral("unknow device")), QList<QtMsgType>{QtCriticalMsg});
        if (fault == 2) // the disconnect request went out
            QCOMPARE(trace.matching(QStringLiteral("ctrl 0x48 0 0 0 0")).size(), 1);
        QVERIFY(trace.matching(QStringLiteral("bulkout")).isEmpty()); // no configuration
        QCOMPARE(window.form()->connectButton->text(), QStringLiteral("Connect"));
        QCOMPARE(window.form()->infoLabel->text(), info);
        QVERIFY(!window.session()->usb().deviceOpened && window.form()->centralWidget->isEnabled());
        // Nothing is left open behind the window's back.
        const VirtualUsbBackend &usb = VirtualUsbBackend::shared();
        QCOMPARE(usb.openDeviceHandles() + usb.openContexts(), 0);
        virtualBench().setIdentificationFault(VirtualInstrument::IdentificationFault::None);
        QTest::mouseClick(window.form()->connectButton, Qt::LeftButton);
        QTRY_COMPARE(window.form()->connectButton->text(), QStringLiteral("Disconnect"));
        QVERIFY(window.form()->centralWidget->isEnabled());
        // Asked again while it answers wrongly, the session says no and lets go.
        virtualBench().setIdentificationFault(VirtualInstrument::IdentificationFault::WrongLength);
        window.session()->deviceInitialize();
        QTRY_VERIFY(!window.session()->isOpen());
    }

    void meterTabsSendTheOperatingMode()
    {
        VeltoInterface window;
        QVERIFY(connectToBench(window));
        TraceCapture trace;
        // The counter page chosen while the oscilloscope is shown: nothing goes out.
        window.form()->mmTabWidget->setCurrentIndex(2);
        QVERIFY(trace.matching(QStringLiteral("ctrl")).isEmpty() && !window.meterTimer().isActive());

        window.form()->mmTabWidget->setCurrentIndex(1);
        QVERIFY(trace.matching(QStringLiteral("ctrl")).isEmpty());
        window.form()->mainTabWidget->setCurrentIndex(1);
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 0 3 0 0")).size(), 1);
        QCOMPARE(window.mainMode(), 3);
        QVERIFY(window.meterTimer().isActive() && window.meterTimer().interval() == 400);

        window.form()->mmTabWidget->setCurrentIndex(0);
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 0 2 0 0")).size(), 1);
        QCOMPARE(window.mainMode(), 2);

        trace.clear();
        window.form()->mainTabWidget->setCurrentIndex(0);
        QVERIFY(!window.meterTimer().isActive() && window.mainMode() == 0);
        const QStringList sent = trace.matching(QStringLiteral("ctrl 0x41 "));
        QVERIFY(sent.size() >= 4);
        QVERIFY(sent.at(0).startsWith(QStringLiteral("ctrl 0x41 8 0 ")));
        QVERIFY(sent.at(1).startsWith(QStringLiteral("ctrl 0x41 3 ")));
        QVERIFY(sent.at(2).startsWith(QStringLiteral("ctrl 0x41 4 ")));
        QVERIFY(sent.last().startsWith(QStringLiteral("ctrl 0x41 0 0 ")));
    }

    void configurationBlockHoldsTheControls()
    {
        TraceCapture trace;
        MessageCapture log;
        VeltoInterface window;
        Ui::VeltoInterface *ui = window.form();
        ui->checkBoxCH1Invert->setChecked(true);
        ui->checkBoxCHD3->setChecked(false);
        virtualBench().setHealthByte(0x0B); // temperature (code 2) fails
        QVERIFY(connectToBench(window));
        const QString info = ui->textBrowserDeviceInfo->toPlainText();
        QVERIFY(info.contains("    Temperature: Problem!") && info.contains("    Supply voltage: OK"));
        // The instrument holds what the committed block said.
        QCOMPARE(virtualBench().configurationEntry(3) & 0x05, 0x05);
        QCOMPARE(virtualBench().configurationEntry(6), 0xF7);
        // A manual disconnect clears the information and the status line; without
        // a device, moving a control sends nothing and logs no write.
        QTest::mouseClick(ui->connectButton, Qt::LeftButton);
        QVERIFY(ui->textBrowserDeviceInfo->toPlainText().isEmpty() && ui->infoLabel->text().isEmpty());
        trace.clear();
        log.clear();
        QTest::mouseClick(ui->checkBoxCH1Invert, Qt::LeftButton);
        QVERIFY(trace.matching("ctrl").isEmpty() && !log.contains("Write to USB"));
    }

    void refusedTraceShrinksTheBuffer()
    {
        VeltoInterface window;
        Ui::VeltoInterface *ui = window.form();
        QVERIFY(connectToBench(window, 20));
        // The generator with two blocks takes 4 of the 48 shared blocks; two
        // channels of 15 blocks fit beside it, a third does not.
        QVERIFY(ui->checkBoxAWGEnable->isChecked()); // on at a first start
        QVERIFY(ui->comboBoxDACBuffer->isEnabled() && ui->comboBoxDACBuffer->count() == 2);
        ui->comboBoxDACBuffer->setCurrentIndex(1);
        QTRY_COMPARE(ui->comboBoxADCBuffer->count(), 15);
        ui->comboBoxADCBuffer->setCurrentIndex(14);
        QCOMPARE(virtualBench().configurationEntry(25), 15);

        MessageCapture log;
        TraceCapture trace;
        QTest::mouseClick(ui->checkBoxCHDTrace, Qt::LeftButton);
        QTRY_VERIFY(log.contains(QStringLiteral("No enough memory for CH buffer: 14")));
        const QStringList confirmed = trace.matching(QStringLiteral("ctrl 0x42 5 1 2 2 "));
        QVERIFY(confirmed.size() == 2 && confirmed[0].endsWith(" 010e") && confirmed[1].endsWith(" 000e"));
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 25 14 ")).size(), 1);
        QCOMPARE(virtualBench().configurationEntry(5) & 1, 1);
        QVERIFY(ui->comboBoxADCBuffer->count() == 14 && ui->comboBoxADCBuffer->currentIndex() == 13);
        // The display expects frames of the new size, and shows them.
        QTRY_COMPARE_WITH_TIMEOUT(window.scopePlot()->graphs().ch1->data()->size(), 14 * 256, 10000);
    }

    // A size picked while the box still holds the few sizes of the start, before
    // the instrument said how many it offers: the box shows no size, and once the
    // answer fills it, the size it shows is the one the instrument acquires.
    void bufferPickedBeforeTheAnswerIsWhatTheInstrumentGets()
    {
        VeltoInterface window;
        Ui::VeltoInterface *ui = window.form();
        QVERIFY(connectToBench(window, 20));
        QTRY_COMPARE(ui->comboBoxADCBuffer->count(), 15);
        ScopeChannels::bufferComboBoxItemChange(ui->comboBoxADCBuffer, 3); // as at the start
        ui->comboBoxADCBuffer->setCurrentIndex(14);
        QCOMPARE(ui->comboBoxADCBuffer->currentIndex(), -1);
        window.channels()->bufferCheckMaxSize();
        QTRY_COMPARE(ui->comboBoxADCBuffer->count(), 15);
        const int shown = ui->comboBoxADCBuffer->currentIndex();
        QVERIFY(shown >= 0);
        QTRY_COMPARE(virtualBench().configurationEntry(25), shown + 1);
        QTRY_COMPARE_WITH_TIMEOUT(window.scopePlot()->graphs().ch1->data()->size(), (shown + 1) * 256, 10000);
    }

    // A script that switches the logic trace, as its first line or while frames
    // flow: the instrument acquires it and the display shows frames of the new shape.
    void scriptSwitchedLogicTraceIsShown()
    {
        VeltoInterface window;
        QVERIFY(connectToBench(window));
        const QCPGraph *bit0 = window.scopePlot()->graphs().logic[0];
        for (bool on : {true, false, true}) {
            window.form()->checkBoxCHDTrace->setChecked(on);
            QCOMPARE(virtualBench().configurationEntry(5) & 1, int(on));
            QVERIFY(QTest::qWaitFor([&] {
                return window.form()->actionExport->isEnabled() && !bit0->data()->isEmpty() == on;
            }, 5000));
        }
    }

    // Connected again within the delay of the scope start, the instrument is
    // started after the new session's delay, not by the old session's timer.
    void disconnectStopsTheScopeStart()
    {
        VeltoInterface window;
        QVERIFY(connectToBench(window, 500));
        QTest::mouseClick(window.form()->connectButton, Qt::LeftButton);
        QTest::qWait(250);
        TraceCapture trace;
        QTest::mouseClick(window.form()->connectButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(findLine(trace.lines(), QStringLiteral("ctrl 0x44 2 ")) >= 0, 3000);
        const QStringList lines = trace.lines();
        const qint64 delay = traceTime(lines.at(findLine(lines, QStringLiteral("ctrl 0x44 2 ")))) -
                             traceTime(lines.at(findLine(lines, QStringLiteral("bulkout 0x01 "))));
        QVERIFY2(delay >= 500, qPrintable(QString::number(delay)));
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
