// SPDX-License-Identifier: GPL-3.0-only
// The virtual instrument behind its own USB backend: frames reach a pending
// bulk IN transfer on the event-handling thread while the other thread keeps
// changing the configuration, and every frame that arrives is whole.

#include "virtual/benchhelpers.h"

#include "device/virtual/virtualusbbackend.h"

#include <QtTest>

#include <atomic>
#include <mutex>
#include <thread>

namespace {
struct Reader {
    std::mutex lock;
    std::vector<QByteArray> frames;
    std::vector<int> statuses;
    std::atomic<bool> resubmit{true};
    UsbBackend *backend = nullptr;
};

void LIBUSB_CALL completed(libusb_transfer *t)
{
    auto *reader = static_cast<Reader *>(t->user_data);
    {
        std::lock_guard<std::mutex> guard(reader->lock);
        reader->statuses.push_back(t->status);
        if (t->status == LIBUSB_TRANSFER_COMPLETED)
            reader->frames.emplace_back(reinterpret_cast<const char *>(t->buffer), t->actual_length);
    }
    if (reader->resubmit && t->status == LIBUSB_TRANSFER_COMPLETED)
        reader->backend->submitTransfer(t);
}
} // namespace

class TestVirtualUsb : public QObject
{
    Q_OBJECT

private slots:
    void framesStayWholeWhileSettingsChange();
};

void TestVirtualUsb::framesStayWholeWhileSettingsChange()
{
    VirtualUsbBackend backend;
    VirtualInstrument &vi = backend.instrument();
    vi.useTestClock(true);
    libusb_context *context = nullptr;
    QCOMPARE(backend.init(&context), 0);
    libusb_device **list = nullptr;
    libusb_device_handle *handle = nullptr;
    QVERIFY(backend.getDeviceList(context, &list) == 1 && backend.open(list[0], &handle) == 0);
    backend.freeDeviceList(list, 1);
    QCOMPARE(backend.claimInterface(handle, 0), 0);

    auto write = [&](int entry, int value) {
        return backend.controlTransfer(handle, 0xC0, 0x41, uint16_t(value), uint16_t(entry), nullptr, 0, 1000);
    };
    write(7, 0x81);
    backend.controlTransfer(handle, 0xC0, 0x44, 0, 2, nullptr, 0, 1000);

    Reader reader;
    reader.backend = &backend;
    std::vector<unsigned char> buffer(16384);
    libusb_transfer *t = backend.allocTransfer(0);
    libusb_fill_bulk_transfer(t, handle, 0x81, buffer.data(), int(buffer.size()), completed, &reader, 0);
    QCOMPARE(backend.submitTransfer(t), 0);

    std::atomic<bool> stop{false};
    std::thread events([&] {
        while (!stop)
            backend.handleEvents(context, 10);
    });
    // This thread changes masks, sizes, rates and triggers between steps of the clock.
    for (int i = 0; i < 400; ++i) {
        write(3, i & 1);
        write(4, (i >> 1) & 1);
        write(5, (i >> 2) & 1);
        write(25, 1 + (i % 15));
        write(1, i % 6);
        write(7, (i % 5 == 0) ? 0x82 : 0x81);
        vi.advanceClock(3000);
        QThread::usleep(300);
    }
    vi.advanceClock(100000);
    QThread::msleep(50);
    reader.resubmit = false;
    backend.cancelTransfer(t);
    QThread::msleep(50);
    stop = true;
    events.join();

    std::lock_guard<std::mutex> guard(reader.lock);
    QVERIFY2(reader.frames.size() > 20, qPrintable(QString::number(reader.frames.size())));
    for (const QByteArray &raw : reader.frames) {
        const ScopeFrame f(raw);
        QVERIFY(f.valid && f.samples % 256 == 0);
    }
    QCOMPARE(reader.statuses.back(), int(LIBUSB_TRANSFER_CANCELLED));
    backend.freeTransfer(t);
    backend.close(handle);
    QVERIFY(!vi.scopeRunning()); // closing the handle stops the acquisition
    backend.exit(context);
}

QTEST_GUILESS_MAIN(TestVirtualUsb)
#include "tst_virtualusb.moc"
