// SPDX-License-Identifier: GPL-3.0-only
#include "common/testsupport.h"
#include "core/device/frames.h"
#include "device/libusbdevice.h"
#include "device/virtual/virtualusbbackend.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <climits>
#include <atomic>
#include <cstring>
#include <future>

namespace {
// The virtual bench, except that every read completes at once with a frame
// whose bytes all carry one counter value, as fast as the event thread can
// go: a torn copy on the GUI side shows up as two different byte values.
class FloodBackend : public VirtualUsbBackend
{
public:
    libusb_transfer *inFlight = nullptr;
    std::atomic<bool> cancelled{false};
    uint8_t counter = 0;

    int submitTransfer(libusb_transfer *t) override { return inFlight = t, 0; }
    int cancelTransfer(libusb_transfer *) override { return cancelled = true, 0; }
    int handleEvents(libusb_context *, int) override
    {
        libusb_transfer *t = inFlight;
        if (!t)
            return 0;
        inFlight = nullptr;
        const bool stop = cancelled;
        t->status = stop ? LIBUSB_TRANSFER_CANCELLED : LIBUSB_TRANSFER_COMPLETED;
        t->actual_length = stop ? 0 : 1000 + ++counter * 37 % 15000;
        std::memset(t->buffer, counter, size_t(t->actual_length));
        t->callback(t);
        return 0;
    }
};
// Runs one queued vendor request (wValue 0) to its end: its result.
int transfer(LibUsbDevice &device, uint8_t request, int length = 0, uint16_t index = 0)
{
    int result = INT_MIN;
    device.control(request, index, 0, length, LibUsbDevice::Need::Required, nullptr,
                   [&result](int r, const QByteArray &) { result = r; });
    QTest::qWaitFor([&] { return result != INT_MIN; });
    return result;
}
} // namespace

class TestLibUsbDevice : public QObject
{
    Q_OBJECT
private slots:

    void openFailuresLeaveNothingOpen()
    {
        VirtualUsbBackend backend;
        backend.instrument().setAttached(false);
        LibUsbDevice device(&backend);
        QSignalSpy status(&device.serialPort, &SerialPortConnection::connectionStatus);
        MessageCapture log;
        for (int attempt = 0; attempt < 3; ++attempt) {
            // Absent, refused access, or an interface that cannot be claimed.
            if (attempt == 1) {
                backend.instrument().setAttached(true);
                backend.failOpen(LIBUSB_ERROR_ACCESS);
            } else if (attempt == 2) {
                backend.failClaim(LIBUSB_ERROR_BUSY);
            }
            device.reset();
            device.initializeDevice();
            device.openDevice();
            QVERIFY(!device.deviceOpened && backend.openDeviceHandles() == 0);
            device.closeDevice();
            device.closeDevice(); // a second close has nothing left to do
            QCOMPARE(backend.openContexts(), 0);
        }
        QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("Cannot open device"));
        // Refused access names the udev rule instead.
        QCOMPARE(status.at(1).at(0).toString(), LibUsbDevice::permissionMessage());
        QVERIFY(LibUsbDevice::permissionMessage().contains(QStringLiteral("60-velto.rules")));
        QVERIFY(log.contains("Cannot open device--1") && log.contains("Cannot Claim Interface"));
        QVERIFY(!log.contains(QStringLiteral("Release interface")));
    }

    void openAndCloseInLoggedOrder()
    {
        VirtualUsbBackend backend;
        LibUsbDevice device(&backend);
        TraceCapture trace;
        device.initializeDevice();
        device.openDevice();
        QVERIFY(device.checkIsDeviceConnected());
        QCOMPARE(trace.matching(QStringLiteral("event claim")).value(0), QStringLiteral("event claim 0"));
        device.asyncBulkReadTransfer();
        const QFuture<void> first = device.eventThreadFuture;
        device.asyncBulkReadTransfer(); // a second read starts no second thread
        QVERIFY(device.isEventThreadRunning() && device.eventThreadFuture == first);
        // One read never answers its cancellation: it goes with the closed context.
        backend.failReads(VirtualUsbBackend::ReadFault::LostCancellation);
        device.closeDevice();
        QVERIFY(!device.isEventThreadRunning());
        QCOMPARE(backend.pendingTransfers() + backend.openDeviceHandles() + device.transfersAllocated(), 0);
    }

    void busFailureMarksLinkLostUntilReset()
    {
        VirtualUsbBackend backend;
        backend.instrument().useTestClock(true);
        LibUsbDevice device(&backend);
        QSignalSpy lost(&device, &LibUsbDevice::connectionLost);
        unsigned char reply[64] = {};
        {
            // Not connected yet: refused, logged, and nothing reaches the wire.
            TraceCapture trace;
            MessageCapture log;
            QCOMPARE(transfer(device, 0x47, 64), -99);
            QCOMPARE(transfer(device, 0x41), -99);
            device.bulkWrite(reply, 64);
            QCOMPARE(log.count(QStringLiteral("Device not connected")), 3);
            QVERIFY(!device.connectionLostFlag && trace.lines().isEmpty());
        }
        device.initializeDevice();
        device.openDevice();
        MessageCapture log;
        // One timeout is asked again; a refusal is said; the link stays. The
        // third timeout in a row loses it, also when it is a later request's.
        using Fault = VirtualInstrument::ControlFault;
        const struct {
            Fault fault;
            int count, result;
            bool lost;
        } rows[] = {{Fault::Timeout, 1, 0, false},
                    {Fault::Stall, 1, -9, false},
                    {Fault::Timeout, 2, -7, false},
                    {Fault::Timeout, 1, -7, true}};
        for (const auto &row : rows) {
            backend.instrument().failNextControl(row.fault, row.count);
            QCOMPARE(transfer(device, 0x41), row.result);
            QVERIFY(device.connectionLostFlag == row.lost && lost.count() == int(row.lost));
        }
        QVERIFY(log.contains(QStringLiteral("LIBUSB_ERROR_TIMEOUT, sent once more")) &&
                log.contains(QStringLiteral("Transfer error: LIBUSB_ERROR_TIMEOUT")));
        // Every later request is refused without touching the bus, also once the
        // instrument answers again.
        QCOMPARE(transfer(device, 0x41), -99);
        QVERIFY(!device.checkIsDeviceConnected());

        device.closeDevice();
        device.reset();
        device.initializeDevice();
        device.openDevice();
        QCOMPARE(transfer(device, 0x41), 0);
    }

    void traceFileFromTheEnvironment()
    {
        // VELTO_TRACE names a file the seam appends one line per operation to,
        // the same lines the in-process sink sees: a time stamp in ms, then the fields.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("wire.trace"));
        QVERIFY(writeFile(path, "earlier run\n"));
        qputenv("VELTO_TRACE", QFile::encodeName(path));
        WireTrace::instance().openFromEnvironment();
        qunsetenv("VELTO_TRACE");
        TraceCapture trace;
        {
            VirtualUsbBackend backend;
            LibUsbDevice device(&backend);
            device.initializeDevice();
            device.openDevice();
            QCOMPARE(transfer(device, 0x47, 64), 64);
            QCOMPARE(transfer(device, 0x44, 0, 2), 0);
            device.asyncBulkReadTransfer();
            QVERIFY(QTest::qWaitFor([&] { return device.dataReady && device.currentDataLength() > 0; }));
            unsigned char block[4] = {0x01, 0xAB, 0x00, 0xFF};
            device.bulkWrite(block, 4);
            device.closeDevice();
        }
        const QStringList sunk = trace.lines();
        WireTrace::instance().setFile(QString());

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.takeFirst(), QStringLiteral("earlier run")); // appended, not replaced
        QCOMPARE(lines.takeLast(), QString());                      // every line ends with a newline
        QCOMPARE(lines, sunk); // time stamps included, which the session suite reads
        // The file holds what the sink saw (compared above): its fields.
        const auto body = [&](const QString &prefix) {
            return trace.matching(prefix).value(0).split(QLatin1Char(' '));
        };
        const QByteArray identification = QByteArray("VSIM.2.7 Velto virtual bench").leftJustified(64, '\0');
        QCOMPARE(body(QStringLiteral("ctrl 0x47")),
                 QStringList({"ctrl", "0x47", "0", "0", "64", "64", QString::fromLatin1(identification.toHex())}));
        // A frame read: status 0, its length, and its first ten bytes, from the header 'A'.
        const QStringList read = body(QStringLiteral("bulkin 0 "));
        QVERIFY(read.size() == 4 && read[2].toInt() >= 48);
        QVERIFY(read[3].size() == 20 && read[3].startsWith("41"));
    }

    void vanishedDeviceIsLostAndLetGo()
    {
        VirtualUsbBackend backend;
        LibUsbDevice device(&backend);
        device.initializeDevice();
        device.openDevice();
        QCOMPARE(transfer(device, 0x44, 0, 2), 0);
        device.asyncBulkReadTransfer();
        QVERIFY(QTest::qWaitFor([&] { return device.dataReady && device.currentDataLength() > 0; }));

        // The pending read completes with no device and cannot be resubmitted;
        // the flag is raised and the line logged on the event thread.
        MessageCapture log;
        backend.instrument().setAttached(false);
        QVERIFY(QTest::qWaitFor([&] {
            return device.connectionLostFlag && log.contains(QStringLiteral("Transfer error: LIBUSB_ERROR_NO_DEVICE"));
        }));
        QCOMPARE(transfer(device, 0x41), -99);
        device.closeDevice();
        device.reset();
        QCOMPARE(backend.pendingTransfers(), 0);

        // Closing wakes the event thread, which may be waiting with nothing in
        // flight, instead of leaving it to its timeout.
        libusb_context *context = nullptr;
        QCOMPARE(backend.init(&context), 0);
        auto waiting = std::async(std::launch::async, [&] { return backend.handleEvents(context, 20000); });
        backend.interruptEvents(context);
        QVERIFY(waiting.wait_for(std::chrono::seconds(5)) == std::future_status::ready);
        backend.exit(context);
    }

    // A frame that comes slowly arrives whole, a read that ends empty is no
    // read, a stall or an error is cleared and tried again; a pipe that keeps
    // stalling loses the link after a few tries instead of spinning.
    void readFaultsAreRecoveredOrLoseTheLink()
    {
        using Fault = VirtualUsbBackend::ReadFault;
        const struct {
            Fault fault;
            int count, halts;
            bool lost;
        } rows[] = {{Fault::SlowFrame, 1, 0, false},
                    {Fault::Timeout, 1, 0, false},
                    {Fault::Stall, 2, 2, false},
                    {Fault::Error, 1, 1, false},
                    {Fault::Stall, 100, LibUsbDevice::readRetries, true}};
        static unsigned char read[LibUsbDevice::bufferSize];
        for (const auto &row : rows) {
            VirtualUsbBackend backend;
            backend.instrument().useTestClock(true);
            LibUsbDevice device(&backend);
            MessageCapture log;
            device.initializeDevice();
            device.openDevice();
            QCOMPARE(transfer(device, 0x44, 0, 2), 0);
            backend.failReads(row.fault, row.count);
            device.asyncBulkReadTransfer();
            const QByteArray what = QByteArray::number(int(row.fault)) + " x" + QByteArray::number(row.count);
            int length = -1;
            QVERIFY2(QTest::qWaitFor([&] {
                backend.instrument().advanceClock(20000);
                length = length < 0 ? device.takeRead(read, sizeof(read)) : length;
                return length >= 0 || log.contains(QStringLiteral("Transfer error"));
            }), what);
            // The first read is the whole frame its header describes.
            QVERIFY2(row.lost || length == Frames::scopeFrameLength(read[3], read[5] | read[6] << 8), what);
            QCOMPARE(bool(device.connectionLostFlag), row.lost);
            QCOMPARE(backend.haltsCleared(), row.halts);
            QCOMPARE(log.contains(QStringLiteral("Transfer error: LIBUSB_ERROR_PIPE")), row.lost);
            device.closeDevice();
        }
    }

    void handOffQueueKeepsEveryFrameInOrder()
    {
        // The event thread delivers as fast as it can; this side takes reads
        // more slowly, pausing now and then, so the queue fills. Every read
        // taken is whole, belongs to its number, and comes after the one
        // before; the numbers skipped are exactly the reads the full queue dropped.
        FloodBackend backend;
        LibUsbDevice device(&backend);
        device.initializeDevice();
        device.openDevice();
        device.asyncBulkReadTransfer();
        static unsigned char copy[LibUsbDevice::bufferSize];
        quint64 taken = 0, skipped = 0, previous = 0;
        QString fault;
        auto takeOne = [&]() {
            quint64 sequence = 0;
            const int length = device.takeRead(copy, sizeof(copy), &sequence);
            if (length < 0)
                return false;
            const bool whole = std::all_of(copy, copy + length, [](unsigned char b) { return b == copy[0]; });
            if (!whole || length != 1000 + copy[0] * 37 % 15000 || copy[0] != uint8_t(sequence) || sequence <= previous)
                fault = QStringLiteral("read %1 (length %2) after %3")
                            .arg(sequence).arg(length).arg(previous);
            skipped += sequence - previous - 1;
            previous = sequence;
            ++taken;
            return fault.isEmpty();
        };
        QElapsedTimer timer;
        timer.start();
        while (taken < 20000 && timer.elapsed() < 10000 && fault.isEmpty())
            if (!takeOne())
                QThread::yieldCurrentThread();
        device.closeDevice();
        while (takeOne()) {
        }
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        const LibUsbDevice::QueueCounts counts = device.queueCounts();
        QVERIFY2(taken > 1000 && counts.overflowed > 0, qPrintable(QStringLiteral("%1 %2").arg(taken).arg(counts.overflowed)));
        QCOMPARE(skipped, counts.overflowed);
        QCOMPARE(taken + counts.overflowed, counts.delivered);
    }

    void serialDeliveryLooksLikeARead()
    {
        VirtualUsbBackend backend;
        LibUsbDevice device(&backend);
        emit device.serialPort.newData(770);
        QVERIFY(device.dataReady && device.dataLength == 770);
        device.dataBuffer[5] = 9;
        emit device.serialPort.clear();
        QCOMPARE(int(device.dataBuffer[5]), 0);
    }

    // Only the exact words choose a backend; anything else is refused with the words that exist.
    void backendFromTheEnvironment()
    {
        const QList<QPair<QByteArray, BackendChoice>> rows = {
            {"", BackendChoice::System},           {"usb", BackendChoice::System},
            {"virtual", BackendChoice::Virtual},   {"Virtual", BackendChoice::Unknown},
            {"nonsense", BackendChoice::Unknown},  {"virtual ", BackendChoice::Unknown}};
        for (const auto &row : rows)
            QVERIFY2(backendChoice(row.first) == row.second, row.first.constData());
        // A trace file that cannot be written is said in the log.
        MessageCapture log;
        WireTrace::instance().setFile(QStringLiteral("/nonexistent-folder/wire.trace"));
        QVERIFY(log.contains(QStringLiteral("Wire trace file /nonexistent-folder/wire.trace cannot be written: ")));
        WireTrace::instance().setFile(QString());
        const QString message = unknownBackendMessage("Virtual");
        for (const char *word : {"VELTO_DEVICE=\"Virtual\" is not known", "\"virtual\"", "\"usb\""})
            QVERIFY2(message.contains(QLatin1String(word)), word);
    }
};

QTEST_GUILESS_MAIN(TestLibUsbDevice)
#include "tst_libusbdevice.moc"
