#include "common/testsupport.h"
#include "device/libusbdevice.h"
#include "device/virtual/virtualusbbackend.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <thread>

namespace {
// A backend that completes every read at once with a frame whose bytes all
// carry one counter value, as fast as the event thread can go: a torn copy on
// the GUI side shows up as a frame with two different byte values.
class FloodBackend : public UsbBackend
{
public:
    std::atomic<int> completions{0};
    libusb_transfer *inFlight = nullptr;
    std::atomic<bool> cancelled{false};
    uint8_t counter = 0;

    QString name() const override { return QStringLiteral("flood"); }
    int init(libusb_context **context) override
    {
        *context = reinterpret_cast<libusb_context *>(this);
        return 0;
    }
    void exit(libusb_context *) override {}
    void setDebug(libusb_context *, int) override {}
    ssize_t getDeviceList(libusb_context *, libusb_device ***list) override
    {
        static libusb_device *devices[2] = {reinterpret_cast<libusb_device *>(this), nullptr};
        *list = devices;
        return 1;
    }
    void freeDeviceList(libusb_device **, int) override {}
    int getDeviceDescriptor(libusb_device *, libusb_device_descriptor *d) override
    {
        std::memset(d, 0, sizeof(*d));
        d->idVendor = 0x1D50;
        d->idProduct = 0x60EB;
        return 0;
    }
    int open(libusb_device *, libusb_device_handle **h) override
    {
        *h = reinterpret_cast<libusb_device_handle *>(this);
        return 0;
    }
    void close(libusb_device_handle *) override {}
    int kernelDriverActive(libusb_device_handle *, int) override { return 0; }
    int detachKernelDriver(libusb_device_handle *, int) override { return 0; }
    int claimInterface(libusb_device_handle *, int) override { return 0; }
    int releaseInterface(libusb_device_handle *, int) override { return 0; }
    int controlTransfer(libusb_device_handle *, uint8_t, uint8_t, uint16_t, uint16_t, unsigned char *, uint16_t,
                        unsigned int) override
    {
        return 0;
    }
    int bulkTransfer(libusb_device_handle *, unsigned char, unsigned char *, int length, int *done,
                     unsigned int) override
    {
        *done = length;
        return 0;
    }
    libusb_transfer *allocTransfer(int) override
    {
        return static_cast<libusb_transfer *>(calloc(1, sizeof(libusb_transfer)));
    }
    int submitTransfer(libusb_transfer *t) override
    {
        inFlight = t;
        return 0;
    }
    int cancelTransfer(libusb_transfer *) override
    {
        cancelled = true;
        return 0;
    }
    void freeTransfer(libusb_transfer *t) override { free(t); }
    int handleEvents(libusb_context *, int) override
    {
        libusb_transfer *t = inFlight;
        if (!t)
            return 0;
        // Let the other thread in between frames: without it the producer would
        // hold the hand-off lock nearly all the time. Most frames still land
        // while the consumer may be copying, which is what a tear needs.
        if (counter % 8 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        else
            std::this_thread::yield();
        inFlight = nullptr;
        if (cancelled) {
            t->status = LIBUSB_TRANSFER_CANCELLED;
            t->actual_length = 0;
        } else {
            ++counter;
            const int length = 1000 + counter * 37 % 15000;
            std::memset(t->buffer, counter, size_t(length));
            t->status = LIBUSB_TRANSFER_COMPLETED;
            t->actual_length = length;
        }
        ++completions;
        t->callback(t);
        return 0;
    }
};

bool waitFor(const std::function<bool()> &condition, VirtualInstrument *clock = nullptr, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        if (clock)
            clock->advanceClock(1000);
        QTest::qWait(1);
    }
    return true;
}
} // namespace

class TestLibUsbDevice : public QObject
{
    Q_OBJECT
private slots:
    void openWithoutDeviceReportsCannotOpen();
    void openAndCloseInLoggedOrder();
    void openFailuresAreLoggedPerAttempt();
    void requestWhileNotConnectedIsRefused();
    void busFailureMarksLinkLostUntilReset();
    void everyErrorCodeIsNamed();
    void timedOutReadRaisesDataReadyWithZeroLength();
    void framesArriveAndTraceRecordsThem();
    void secondReadStartsNoSecondThread();
    void closeWithoutDeviceStopsThreadAndExitsContext();
    void vanishedDeviceIsLostAndRecoverable();
    void handOffNeverTearsAFrame();
    void serialDeliveryLooksLikeARead();
};

void TestLibUsbDevice::openWithoutDeviceReportsCannotOpen()
{
    VirtualUsbBackend backend;
    backend.instrument().setAttached(false);
    LibUsbDevice device(&backend);
    QSignalSpy status(&device.serialPort, &SerialPortConnection::connectionStatus);
    MessageCapture log;
    device.initializeDevice();
    QVERIFY(device.libUsbInitialized);
    device.openDevice();
    QVERIFY(!device.deviceOpened);
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("Cannot open device"));
    QVERIFY(log.contains(QStringLiteral("Cannot open device")));
    device.closeDevice();
    QCOMPARE(backend.openContexts(), 0);
}

void TestLibUsbDevice::openAndCloseInLoggedOrder()
{
    VirtualUsbBackend backend;
    LibUsbDevice device(&backend);
    MessageCapture log;
    TraceCapture trace;
    device.initializeDevice();
    device.openDevice();
    QVERIFY(device.deviceOpened);
    QVERIFY(device.checkIsDeviceConnected());
    QVERIFY(log.contains(QStringLiteral(" Device Opened")));
    QCOMPARE(trace.matching(QStringLiteral("event claim")).value(0), QStringLiteral("event claim 0"));
    device.asyncBulkReadTransfer();
    QVERIFY(device.isEventThreadRunning());
    log.clear();
    device.closeDevice();
    const QStringList expected = {QStringLiteral("Signal to disconnect"), QStringLiteral("Cancel USB to PC transfer"),
                                  QStringLiteral("Cancel PC to USB transfer"), QStringLiteral("Wait for Finished"),
                                  QStringLiteral("Release interface"), QStringLiteral("Close"),
                                  QStringLiteral("Exit")};
    QCOMPARE(log.messages(), expected);
    QVERIFY(!device.deviceOpened);
    QVERIFY(!device.isEventThreadRunning());
    QCOMPARE(backend.pendingTransfers(), 0);
    QCOMPARE(backend.openContexts(), 0);
    QCOMPARE(backend.openDeviceHandles(), 0);
    // Transfers that are no longer in flight are freed.
    QCOMPARE(device.transfersAllocated(), 0);
}

void TestLibUsbDevice::openFailuresAreLoggedPerAttempt()
{
    VirtualUsbBackend backend;
    backend.failOpen(LIBUSB_ERROR_ACCESS);
    LibUsbDevice device(&backend);
    MessageCapture log;
    device.initializeDevice();
    device.openDevice();
    QVERIFY(!device.deviceOpened);
    QVERIFY(log.contains(QStringLiteral("Cannot open device--1")));
    device.closeDevice();

    // An interface that cannot be claimed closes the handle again.
    device.reset();
    backend.failClaim(LIBUSB_ERROR_BUSY);
    device.initializeDevice();
    device.openDevice();
    QVERIFY(log.contains(QStringLiteral("Cannot Claim Interface")));
    QVERIFY(!device.deviceOpened);
    QCOMPARE(backend.openDeviceHandles(), 0);
    device.closeDevice();
    QCOMPARE(backend.openContexts(), 0);
}

void TestLibUsbDevice::requestWhileNotConnectedIsRefused()
{
    VirtualUsbBackend backend;
    LibUsbDevice device(&backend);
    TraceCapture trace;
    MessageCapture log;
    unsigned char reply[64];
    QCOMPARE(device.controlReadTransfer(0x47, reply, 64, 0, 0), -99);
    QCOMPARE(device.controlWriteTransfer(0x41, 1, 2), -99);
    device.bulkWriteTransfer(reply, 64);
    QCOMPARE(log.count(QStringLiteral("Device not connected")), 3);
    QVERIFY(!device.connectionLostFlag);
    QVERIFY(!log.contains(QStringLiteral("Emit ConnectionLost")));
    QVERIFY(trace.matching(QStringLiteral("ctrl")).isEmpty());
    QVERIFY(trace.matching(QStringLiteral("bulkout")).isEmpty());
}

void TestLibUsbDevice::busFailureMarksLinkLostUntilReset()
{
    VirtualUsbBackend backend;
    backend.instrument().useTestClock(true);
    LibUsbDevice device(&backend);
    QSignalSpy lost(&device, &LibUsbDevice::connectionLost);
    device.initializeDevice();
    device.openDevice();
    QVERIFY(device.deviceOpened);
    unsigned char reply[64] = {};
    QCOMPARE(device.controlReadTransfer(0x47, reply, 64, 0, 0), 64);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(reply), 8), QByteArray("VSIM.2.7"));

    MessageCapture log;
    backend.instrument().failNextControl(VirtualInstrument::ControlFault::Timeout);
    QCOMPARE(device.controlWriteTransfer(0x41, 1, 3), -7);
    QVERIFY(device.connectionLostFlag);
    QCOMPARE(lost.count(), 1);
    QVERIFY(log.contains(QStringLiteral("Emit ConnectionLost")));
    QVERIFY(log.contains(QStringLiteral("Transfer error: LIBUSB_ERROR_TIMEOUT")));
    // Every later request is refused without touching the bus, also once the
    // instrument answers again.
    QCOMPARE(device.controlReadTransfer(0x47, reply, 64, 0, 0), -99);
    QCOMPARE(device.controlWriteTransfer(0x41, 1, 3), -99);
    QVERIFY(!device.checkIsDeviceConnected());

    device.closeDevice();
    device.reset();
    QVERIFY(!device.connectionLostFlag);
    device.initializeDevice();
    device.openDevice();
    QCOMPARE(device.controlReadTransfer(0x47, reply, 64, 0, 0), 64);
    QCOMPARE(device.controlWriteTransfer(0x41, 1, 3), 0);
    QCOMPARE(backend.instrument().configurationEntry(1), 3);
    device.closeDevice();
}

void TestLibUsbDevice::everyErrorCodeIsNamed()
{
    VirtualUsbBackend backend;
    LibUsbDevice device(&backend);
    const QList<QPair<int, QString>> table = {
        {-1, "LIBUSB_ERROR_IO"},         {-2, "LIBUSB_ERROR_INVALID_PARAM"}, {-3, "LIBUSB_ERROR_ACCESS"},
        {-4, "LIBUSB_ERROR_NO_DEVICE"},  {-5, "LIBUSB_ERROR_NOT_FOUND"},     {-6, "LIBUSB_ERROR_BUSY"},
        {-7, "LIBUSB_ERROR_TIMEOUT"},    {-8, "LIBUSB_ERROR_OVERFLOW"},      {-9, "LIBUSB_ERROR_PIPE"},
        {-10, "LIBUSB_ERROR_INTERRUPTED"}, {-11, "LIBUSB_ERROR_NO_MEM"},     {-12, "LIBUSB_ERROR_NOT_SUPPORTED"},
        {-99, "LIBUSB_ERROR_OTHER"}};
    for (const auto &entry : table) {
        MessageCapture log;
        device.libUsbTransferResultError(entry.first);
        QCOMPARE(log.messages(), QStringList({QStringLiteral("Emit ConnectionLost"),
                                              QStringLiteral("Transfer error: ") + entry.second}));
    }
    MessageCapture log;
    device.libUsbTransferResultError(-42);
    QCOMPARE(log.messages(), QStringList({QStringLiteral("Emit ConnectionLost")}));
    QVERIFY(device.connectionLostFlag);
}

void TestLibUsbDevice::timedOutReadRaisesDataReadyWithZeroLength()
{
    VirtualUsbBackend backend;
    VirtualInstrument &bench = backend.instrument();
    bench.useTestClock(true);
    LibUsbDevice device(&backend);
    device.initializeDevice();
    device.openDevice();
    TraceCapture trace;
    // The scope is not started, so nothing arrives and the read times out.
    device.asyncBulkReadTransfer();
    QVERIFY(!device.dataReady);
    QVERIFY(waitFor([&] { return bool(device.dataReady); }, &bench));
    QCOMPARE(int(device.dataLength), 0);
    QVERIFY(!trace.matching(QStringLiteral("bulkin %1 0 -").arg(int(LIBUSB_TRANSFER_TIMED_OUT))).isEmpty());
    device.closeDevice();
}

void TestLibUsbDevice::framesArriveAndTraceRecordsThem()
{
    VirtualUsbBackend backend;
    LibUsbDevice device(&backend);
    TraceCapture trace;
    device.initializeDevice();
    device.openDevice();
    QCOMPARE(device.controlWriteTransfer(0x44, 2, 0), 0);
    device.asyncBulkReadTransfer();
    QVERIFY(waitFor([&] { return device.dataReady && device.currentDataLength() > 0; }));
    unsigned char frame[LibUsbDevice::bufferSize];
    const int length = device.copyData(frame, sizeof(frame));
    QVERIFY(length >= 48);
    QCOMPARE(frame[0], uchar('A'));
    QVERIFY(trace.matching(QStringLiteral("ctrl 0x44 2 0 0 0 -")).size() == 1);
    const QStringList reads = trace.matching(QStringLiteral("bulkin 0 "));
    QVERIFY(!reads.isEmpty());
    QVERIFY(reads.first().section(QLatin1Char(' '), 3, 3).startsWith(QStringLiteral("41")));

    unsigned char block[512];
    std::memset(block, 0x5A, sizeof(block));
    device.bulkWriteTransfer(block, 512);
    const QStringList writes = trace.matching(QStringLiteral("bulkout 0x01 512 0 "));
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.first().section(QLatin1Char(' '), 4, 4), QString(QStringLiteral("5a")).repeated(512));
    device.closeDevice();
}

void TestLibUsbDevice::secondReadStartsNoSecondThread()
{
    VirtualUsbBackend backend;
    LibUsbDevice device(&backend);
    device.initializeDevice();
    device.openDevice();
    device.asyncBulkReadTransfer();
    const QFuture<void> first = device.eventThreadFuture;
    QVERIFY(device.isEventThreadRunning());
    device.asyncBulkReadTransfer();
    QVERIFY(device.eventThreadFuture == first);
    QCOMPARE(device.transfersAllocated(), 2);
    device.closeDevice();
    QVERIFY(!device.isEventThreadRunning());
    QCOMPARE(backend.pendingTransfers(), 0);
    QCOMPARE(device.transfersAllocated(), 0);
}

void TestLibUsbDevice::closeWithoutDeviceStopsThreadAndExitsContext()
{
    VirtualUsbBackend backend;
    LibUsbDevice device(&backend);
    device.initializeDevice();
    QCOMPARE(backend.openContexts(), 1);
    MessageCapture log;
    QElapsedTimer timer;
    timer.start();
    device.closeDevice();
    QCOMPARE(backend.openContexts(), 0);
    QVERIFY(device.context == nullptr);
    QVERIFY(!log.contains(QStringLiteral("Release interface")));
    // A second close has nothing left to do.
    device.closeDevice();
    QCOMPARE(backend.openContexts(), 0);
}

void TestLibUsbDevice::vanishedDeviceIsLostAndRecoverable()
{
    VirtualUsbBackend backend;
    LibUsbDevice device(&backend);
    device.initializeDevice();
    device.openDevice();
    device.controlWriteTransfer(0x44, 2, 0);
    device.asyncBulkReadTransfer();
    QVERIFY(waitFor([&] { return device.dataReady && device.currentDataLength() > 0; }));

    MessageCapture log;
    backend.instrument().setAttached(false);
    // The pending read completes with no device and cannot be resubmitted.
    // The flag is raised before the line is logged, on the event thread: wait for both.
    QVERIFY(waitFor([&] {
        return device.connectionLostFlag && log.contains(QStringLiteral("Transfer error: LIBUSB_ERROR_NO_DEVICE"));
    }));
    QCOMPARE(device.controlWriteTransfer(0x41, 0, 0), -99);
    device.closeDevice();
    device.reset();
    QCOMPARE(backend.pendingTransfers(), 0);

    backend.instrument().setAttached(true);
    device.initializeDevice();
    device.openDevice();
    QVERIFY(device.deviceOpened);
    QCOMPARE(device.controlWriteTransfer(0x41, 0, 0), 0);
    device.closeDevice();
}

void TestLibUsbDevice::handOffNeverTearsAFrame()
{
    FloodBackend backend;
    LibUsbDevice device(&backend);
    device.initializeDevice();
    device.openDevice();
    QVERIFY(device.deviceOpened);
    device.asyncBulkReadTransfer();
    static unsigned char copy[LibUsbDevice::bufferSize];
    int checked = 0;
    QElapsedTimer timer;
    timer.start();
    while (checked < 3000 && timer.elapsed() < 10000) {
        if (!device.dataReady) {
            QThread::yieldCurrentThread();
            continue;
        }
        const int length = device.copyData(copy, sizeof(copy));
        device.dataReady = false;
        if (length <= 0)
            continue;
        for (int i = 1; i < length; ++i) {
            if (copy[i] != copy[0])
                QFAIL(qPrintable(QStringLiteral("torn frame at byte %1 of %2").arg(i).arg(length)));
        }
        // The length published belongs to the same frame as its bytes.
        QCOMPARE(length, 1000 + copy[0] * 37 % 15000);
        ++checked;
    }
    qDebug("checked %d frames of %d completions in %lld ms", checked, int(backend.completions), timer.elapsed());
    QVERIFY2(checked > 1000, qPrintable(QString::number(checked)));
    device.closeDevice();
    QVERIFY(!device.isEventThreadRunning());
}

void TestLibUsbDevice::serialDeliveryLooksLikeARead()
{
    VirtualUsbBackend backend;
    LibUsbDevice device(&backend);
    emit device.serialPort.newData(770);
    QVERIFY(device.dataReady);
    QCOMPARE(int(device.dataLength), 770);
    device.dataBuffer[5] = 9;
    emit device.serialPort.clear();
    QCOMPARE(int(device.dataBuffer[5]), 0);
}

QTEST_GUILESS_MAIN(TestLibUsbDevice)
#include "tst_libusbdevice.moc"
