// The window's senders on the virtual instrument: what travels, what is stored
// in bulk mode, and what is logged.
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
#include "device/configprotocol.h"
#include "device/virtual/virtualusbbackend.h"
#include "ui_veltointerface.h"

#include <QtTest>

#include <cstring>

using namespace ConfigProtocol;

class TestProtocolSenders : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void offsetTravelsAsLowByteAndIsStoredAs255();
    void frequencyTravelsInTwoWords();
    void confirmedWriteWithShortReplyReturnsMinusOne();
    void nothingTravelsWithoutDevice();
    void blockReplacesFirstHalfOfCustomWaveform();
    void runControlAndStopButton();
    void bulkStoreRefusesIndicesPastTheTable();

private:
    void connectWindow(VeltoInterface &window);
};

void TestProtocolSenders::initTestCase()
{
    qputenv("VELTO_DEVICE", "virtual");
    AppSettings::setApplicationIdentity();
}

void TestProtocolSenders::connectWindow(VeltoInterface &window)
{
    VirtualUsbBackend::shared().instrument().setAttached(true);
    QTRY_COMPARE_WITH_TIMEOUT(window.form()->connectButton->text(), QStringLiteral("Disconnect"), 5000);
}

void TestProtocolSenders::offsetTravelsAsLowByteAndIsStoredAs255()
{
    VeltoInterface window;
    connectWindow(window);
    TraceCapture trace;
    MessageCapture log;
    window.session()->sendMainConfiguration(ConfigEntry::WaveOffset, waveOffset(-1));
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 33 255 0 0")).size(), 1);
    QVERIFY(log.contains(QStringLiteral("Write to USB: index(33) value:255")));

    trace.clear();
    window.session()->setBulkMode(true);
    window.session()->sendMainConfiguration(ConfigEntry::WaveOffset, waveOffset(-1));
    window.session()->setBulkMode(false);
    QVERIFY(trace.matching(QStringLiteral("ctrl")).isEmpty());
    QCOMPARE(entryAt(window.session()->bulkBuffer(), 33), 255);
    QVERIFY(log.contains(QStringLiteral("Bulk write to USB: index(33) value:255")));
}

void TestProtocolSenders::frequencyTravelsInTwoWords()
{
    VeltoInterface window;
    connectWindow(window);
    TraceCapture trace;
    MessageCapture log;
    window.session()->sendWaveFrequency(1000);
    window.session()->sendWaveFrequency(12500000);
    window.session()->sendWaveFrequency(99999999); // held at 125 kHz
    window.session()->sendWaveFrequency(1);        // held at 0.48 Hz
    const QStringList sent = trace.matching(QStringLiteral("ctrl 0x46 "));
    QCOMPARE(sent.size(), 4);
    QVERIFY(sent.at(0).startsWith(QStringLiteral("ctrl 0x46 1000 0 0 0")));
    QVERIFY(sent.at(1).startsWith(QStringLiteral("ctrl 0x46 48160 190 0 0")));
    QVERIFY(sent.at(2).startsWith(QStringLiteral("ctrl 0x46 48160 190 0 0")));
    QVERIFY(sent.at(3).startsWith(QStringLiteral("ctrl 0x46 48 0 0 0")));
    QVERIFY(log.contains(QStringLiteral("Write to USB: Send Frequency value:12500000")));

    window.session()->setBulkMode(true);
    window.session()->sendWaveFrequency(12500000);
    window.session()->setBulkMode(false);
    QCOMPARE(entryAt(window.session()->bulkBuffer(), ConfigEntry::WaveFrequency), 12500000);
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x46 ")).size(), 4);
}

void TestProtocolSenders::confirmedWriteWithShortReplyReturnsMinusOne()
{
    VeltoInterface window;
    connectWindow(window);
    window.form()->checkBoxCH1Trace->setChecked(false);
    unsigned char reply[4] = {9, 9, 9, 9};
    // The instrument answers two bytes where four were asked for.
    QCOMPARE(window.session()->sendMainConfigurationConfirm(reply, 4, ConfigEntry::Ch1Controls, 0), -1);
    unsigned char two[2] = {9, 9};
    QCOMPARE(window.session()->sendMainConfigurationConfirm(two, 2, ConfigEntry::Ch1Controls, 1), 0);
    // A failed confirmed enable changes nothing in the window.
    VirtualUsbBackend::shared().instrument().failNextControl(VirtualInstrument::ControlFault::Stall);
    window.form()->groupBoxCH1AC->setChecked(false);
    window.channels()->channel1TraceChanged(true);
    QVERIFY(!window.form()->groupBoxCH1AC->isChecked());
}

void TestProtocolSenders::nothingTravelsWithoutDevice()
{
    VirtualUsbBackend::shared().instrument().setAttached(false);
    TraceCapture trace;
    MessageCapture log;
    VeltoInterface window;
    QTRY_COMPARE_WITH_TIMEOUT(window.form()->infoLabel->text(), QStringLiteral("Cannot open device"), 5000);
    window.session()->sendMainConfiguration(ConfigEntry::TriggerControls, 0x91);
    window.session()->sendWaveFrequency(1000);
    window.session()->sendScopeStart();
    unsigned char reply[2] = {0, 0};
    QCOMPARE(window.session()->sendMainConfigurationConfirm(reply, 2, ConfigEntry::DacEnable, 1), -1);
    QVERIFY(trace.matching(QStringLiteral("ctrl")).isEmpty());
    QVERIFY(!log.contains(QStringLiteral("Write to USB")));
    QCOMPARE(window.form()->stopButton->text(), QStringLiteral("START"));

    // Bulk mode stores and logs even without a device.
    window.session()->setBulkMode(true);
    window.session()->sendMainConfiguration(ConfigEntry::TriggerControls, 0x91);
    window.session()->setBulkMode(false);
    QCOMPARE(entryAt(window.session()->bulkBuffer(), 7), 0x91);
    QVERIFY(log.contains(QStringLiteral("Bulk write to USB: index(7) value:145")));
    VirtualUsbBackend::shared().instrument().setAttached(true);
}

void TestProtocolSenders::blockReplacesFirstHalfOfCustomWaveform()
{
    VirtualUsbBackend::shared().instrument().setAttached(false);
    VeltoInterface window;
    QTRY_COMPARE_WITH_TIMEOUT(window.form()->infoLabel->text(), QStringLiteral("Cannot open device"), 5000);
    std::memset(window.session()->bulkBuffer(), 0xAA, 1024);
    MessageCapture log;
    window.session()->setBulkMode(true);
    window.session()->deviceSettingsSendBulk();
    window.session()->setBulkMode(false);
    for (int i = 0; i < 512; ++i) {
        if (window.session()->bulkBuffer()[i] == 0xAA)
            QFAIL(qPrintable(QStringLiteral("byte %1 of the block kept the waveform").arg(i)));
    }
    for (int i = 512; i < 1024; ++i)
        QCOMPARE(int(window.session()->bulkBuffer()[i]), 0xAA);
    QCOMPARE(entryAt(window.session()->bulkBuffer(), ConfigEntry::WaveFrequency), 100000); // the digits' 1000 Hz
    QCOMPARE(entryAt(window.session()->bulkBuffer(), ConfigEntry::Ch1Controls) & 1, 1);
    QCOMPARE(log.count(QStringLiteral(">> buffer: index[")), 36);
    QVERIFY(log.contains(QStringLiteral(">> buffer: index[34] value:160"))); // low byte of 100000
    QVERIFY(log.contains(QStringLiteral("Finish prepare configuration, now send buffer as AWG")));
    VirtualUsbBackend::shared().instrument().setAttached(true);
}

void TestProtocolSenders::runControlAndStopButton()
{
    VeltoInterface window;
    connectWindow(window);
    TraceCapture trace;
    window.session()->sendScopeStop();
    QCOMPARE(window.form()->stopButton->text(), QStringLiteral("START"));
    window.session()->sendScopeStart();
    QCOMPARE(window.form()->stopButton->text(), QStringLiteral("STOP"));
    window.session()->sendScopeForce();
    window.session()->sendCounterStart();
    window.session()->sendCounterStop();
    window.session()->sendSnifferStart();
    window.session()->sendSnifferStop();
    window.session()->sendSnifferClear();
    QStringList indices;
    for (const QString &line : trace.matching(QStringLiteral("ctrl 0x44 ")))
        indices << line.section(QLatin1Char(' '), 2, 2);
    QCOMPARE(indices, QStringList({"3", "2", "4", "0", "1", "5", "6", "7"}));
    QVERIFY(VirtualUsbBackend::shared().instrument().scopeRunning());
}

void TestProtocolSenders::bulkStoreRefusesIndicesPastTheTable()
{
    VirtualUsbBackend::shared().instrument().setAttached(false);
    VeltoInterface window;
    std::memset(window.session()->bulkBuffer(), 0x55, 1024);
    MessageCapture log;
    window.session()->setBulkMode(true);
    window.session()->sendMainConfiguration(200, 7);
    window.session()->setBulkMode(false);
    QVERIFY(log.contains(QStringLiteral("Bulk write refused: index(200)")));
    for (int i = 0; i < 1024; ++i)
        QCOMPARE(int(window.session()->bulkBuffer()[i]), 0x55);
    VirtualUsbBackend::shared().instrument().setAttached(true);
}

QTEST_MAIN(TestProtocolSenders)
#include "tst_protocolsenders.moc"
