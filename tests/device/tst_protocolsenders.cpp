// SPDX-License-Identifier: GPL-3.0-only
// The window's senders on the virtual instrument: what travels, what is stored
// in bulk mode, and what is logged.
#include "common/windowtest.h"
#include "core/device/configprotocol.h"

#include <QtTest>

#include <cstring>

using namespace ConfigProtocol;

// A confirmed write of CH1's controls with a reply of `length` bytes, run to its end: its status.
static int confirm(DeviceSession *session, int length, int value)
{
    int status = -2;
    session->sendMainConfigurationConfirm(length, ConfigEntry::Ch1Controls, value, nullptr,
                                          [&status](int s, const unsigned char *) { status = s; });
    QTest::qWaitFor([&] { return status != -2; });
    return status;
}

class TestProtocolSenders : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useVirtualBench(); }
    void offsetTravelsAsItsLowByte()
    {
        VeltoInterface window;
        QVERIFY(connectToBench(window));
        TraceCapture trace;
        MessageCapture log;
        window.session()->sendMainConfiguration(ConfigEntry::WaveOffset, waveOffset(-1));
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 33 255 0 0")).size(), 1);
        QVERIFY(log.contains(QStringLiteral("Write to USB: index(33) value:255")));
    }
    void confirmedWriteWithShortReplyReturnsMinusOne()
    {
        VeltoInterface window;
        QVERIFY(connectToBench(window));
        window.form()->checkBoxCH1Trace->setChecked(false);
        // The instrument answers two bytes where four were asked for.
        QCOMPARE(confirm(window.session(), 4, 0), -1);
        QCOMPARE(confirm(window.session(), 2, 1), 0);
        // A failed confirmed enable changes nothing in the window.
        virtualBench().failNextControl(VirtualInstrument::ControlFault::Stall);
        window.form()->groupBoxCH1AC->setChecked(false);
        window.channels()->channel1TraceChanged(true);
        QVERIFY(window.session()->usb().settle());
        QVERIFY(!window.form()->groupBoxCH1AC->isChecked() && window.session()->isOpen());
    }
    void runControlAndStopButton()
    {
        VeltoInterface window;
        QVERIFY(connectToBench(window));
        TraceCapture trace;
        DeviceSession *s = window.session();
        s->sendScopeStop();
        QCOMPARE(window.form()->stopButton->text(), QStringLiteral("START"));
        s->sendScopeStart();
        QCOMPARE(window.form()->stopButton->text(), QStringLiteral("STOP"));
        s->sendScopeForce();
        s->sendCounterStart();
        s->sendCounterStop();
        s->sendSnifferStart();
        s->sendSnifferStop();
        s->sendSnifferClear();
        QStringList indices;
        for (const QString &line : trace.matching(QStringLiteral("ctrl 0x44 ")))
            indices << line.section(QLatin1Char(' '), 2, 2);
        QCOMPARE(indices, QStringList({"3", "2", "4", "0", "1", "5", "6", "7"}));
        QVERIFY(virtualBench().scopeRunning());
    }
    void withoutDeviceOnlyTheBulkStoreTakes()
    {
        virtualBench().setAttached(false);
        TraceCapture trace;
        MessageCapture log;
        VeltoInterface window;
        DeviceSession *s = window.session();
        QTRY_COMPARE_WITH_TIMEOUT(window.form()->infoLabel->text(), QStringLiteral("Cannot open device"), 5000);
        // Nothing asked the absent instrument anything, and nothing is left open.
        QVERIFY(!log.contains(QStringLiteral("Device not connected")));
        QCOMPARE(VirtualUsbBackend::shared().openContexts(), 0);
        s->sendMainConfiguration(ConfigEntry::TriggerControls, 0x91);
        s->sendWaveFrequency(1000);
        s->sendScopeStart();
        QCOMPARE(confirm(s, 2, 1), -1);
        QVERIFY(trace.matching("ctrl").isEmpty() && !log.contains("Write to USB"));
        QCOMPARE(window.form()->stopButton->text(), QStringLiteral("START"));

        // Bulk mode stores and logs; an index past the table is refused and stores nothing.
        std::memset(s->bulkBuffer(), 0xAA, 1024);
        s->setBulkMode(true);
        s->sendMainConfiguration(200, 7);
        QVERIFY(log.contains(QStringLiteral("Bulk write refused: index(200)")));
        for (int i = 0; i < 1024; ++i)
            QCOMPARE(int(s->bulkBuffer()[i]), 0xAA);
        s->sendMainConfiguration(ConfigEntry::TriggerControls, 0x91);
        QCOMPARE(entryAt(s->bulkBuffer(), 7), 0x91);
        QVERIFY(log.contains(QStringLiteral("Bulk write to USB: index(7) value:145")));

        // The whole configuration replaces the block's half and leaves the waveform's.
        std::memset(s->bulkBuffer(), 0xAA, 1024);
        log.clear();
        s->deviceSettingsSendBulk();
        s->setBulkMode(false);
        for (int i = 0; i < 512; ++i)
            if (s->bulkBuffer()[i] == 0xAA)
                QFAIL(qPrintable(QStringLiteral("byte %1 of the block kept the waveform").arg(i)));
        for (int i = 512; i < 1024; ++i)
            QCOMPARE(int(s->bulkBuffer()[i]), 0xAA);
        QCOMPARE(entryAt(s->bulkBuffer(), ConfigEntry::WaveFrequency), 100000); // the digits' 1000 Hz
        QCOMPARE(entryAt(s->bulkBuffer(), ConfigEntry::Ch1Controls) & 1, 1);
        QCOMPARE(log.count(QStringLiteral(">> buffer: index[")), 36);
        QVERIFY(log.contains(QStringLiteral(">> buffer: index[34] value:160"))); // low byte of 100000
        QVERIFY(log.contains(QStringLiteral("Finish prepare configuration, now send buffer as AWG")));
        virtualBench().setAttached(true);
    }
};

QTEST_MAIN(TestProtocolSenders)
#include "tst_protocolsenders.moc"
