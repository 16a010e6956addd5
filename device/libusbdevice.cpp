// SPDX-License-Identifier: GPL-3.0-only
#include "device/libusbdevice.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QtConcurrent>

#include <pthread.h>

#include <chrono>
#include <cstring>

namespace {
const char *transferErrorName(int code)
{
    switch (code) {
    case -1: return "LIBUSB_ERROR_IO";
    case -2: return "LIBUSB_ERROR_INVALID_PARAM";
    case -3: return "LIBUSB_ERROR_ACCESS";
    case -4: return "LIBUSB_ERROR_NO_DEVICE";
    case -5: return "LIBUSB_ERROR_NOT_FOUND";
    case -6: return "LIBUSB_ERROR_BUSY";
    case -7: return "LIBUSB_ERROR_TIMEOUT";
    case -8: return "LIBUSB_ERROR_OVERFLOW";
    case -9: return "LIBUSB_ERROR_PIPE";
    case -10: return "LIBUSB_ERROR_INTERRUPTED";
    case -11: return "LIBUSB_ERROR_NO_MEM";
    case -12: return "LIBUSB_ERROR_NOT_SUPPORTED";
    case -99: return "LIBUSB_ERROR_OTHER";
    default: return nullptr;
    }
}

// Every transport of the process, for settleAll.
QList<LibUsbDevice *> &liveTransports()
{
    static QList<LibUsbDevice *> list;
    return list;
}

} // namespace

QString LibUsbDevice::permissionMessage()
{
    return tr("No permission to open the instrument (USB %1:%2): install the udev rule %3 and plug it in again")
        .arg(vendorId, 4, 16, QLatin1Char('0'))
        .arg(productId, 4, 16, QLatin1Char('0'))
        .arg(QString::fromLatin1(udevRule));
}

LibUsbDevice::LibUsbDevice(QObject *parent) : LibUsbDevice(&defaultUsbBackend(), parent) {}

LibUsbDevice::LibUsbDevice(UsbBackend *backend, QObject *parent)
    : QObject(parent), usb(backend), queueStorage(new unsigned char[size_t(queueDepth) * bufferSize])
{
    std::memset(dataBuffer, 0, sizeof(dataBuffer));
    // The buffer last given back is the next one taken: a queue that stays
    // short keeps reusing the same few, and the rest of the storage is never touched.
    freeStores.reserve(queueDepth);
    for (int store = queueDepth - 1; store >= 0; --store)
        freeStores.push_back(store);
    retryClock.start();
    // Queued: the end of a transfer runs on this object's thread, from its event loop.
    connect(this, &LibUsbDevice::controlEnded, this, &LibUsbDevice::finishControl, Qt::QueuedConnection);
    liveTransports().append(this);
    controlThread = std::thread([this] {
        pthread_setname_np(pthread_self(), "velto-control");
        controlThreadLoop();
    });
    connect(&serialPort, &SerialPortConnection::newData, this, &LibUsbDevice::newDataAvailable);
    connect(&serialPort, &SerialPortConnection::clear, this, &LibUsbDevice::clearData);
}

LibUsbDevice::~LibUsbDevice()
{
    if (context || eventThreadFuture.isRunning())
        closeDevice();
    {
        std::lock_guard<std::mutex> lock(controlMutex);
        controlStopping = true;
    }
    controlWake.notify_all();
    controlThread.join();
    liveTransports().removeAll(this);
    for (ReadSlot *slot : transfers) {
        if (!slot->inFlight)
            usb->freeTransfer(slot->transfer);
        delete slot;
    }
    transfers.clear();
}

void LibUsbDevice::initializeDevice()
{
    const int result = usb->init(&context);
    WireTrace::instance().event(QStringLiteral("init %1").arg(result));
    if (result < 0) {
        qDebug().noquote() << "Initialization Error! " + QString::number(result);
        context = nullptr;
        libUsbInitialized = false;
        return;
    }
    libUsbInitialized = true;
    usb->setDebug(context, libUsbLogLevel);
}

void LibUsbDevice::openDevice()
{
    if (!libUsbInitialized || !context) {
        // Without a context there is nothing to enumerate.
        qDebug().noquote() << "No USB Devices to List";
        qDebug().noquote() << "Cannot open device";
        emit serialPort.connectionStatus(QStringLiteral("Cannot open device"));
        return;
    }
    const ssize_t count = usb->getDeviceList(context, &deviceList);
    if (count < 0) {
        qDebug().noquote() << "No USB Devices to List";
        deviceList = nullptr;
        qDebug().noquote() << "Cannot open device";
        emit serialPort.connectionStatus(QStringLiteral("Cannot open device"));
        return;
    }
    deviceHandle = nullptr;
    int attempt = 0;
    bool refusedAccess = false;
    accessRefused = false;
    for (ssize_t i = 0; i < count; ++i) {
        device = deviceList[i];
        ++attempt;
        if (usb->getDeviceDescriptor(device, &deviceDescriptor) < 0)
            break;
        if (deviceDescriptor.idVendor != vendorId || deviceDescriptor.idProduct != productId)
            continue;
        const int result = usb->open(device, &deviceHandle);
        if (result == 0 && deviceHandle) {
            qDebug().noquote() << QStringLiteral("Device %1:%2 found at attempt %3")
                                      .arg(deviceDescriptor.idVendor, 4, 16, QLatin1Char('0'))
                                      .arg(deviceDescriptor.idProduct, 4, 16, QLatin1Char('0'))
                                      .arg(attempt);
            WireTrace::instance().event(QStringLiteral("open 0"));
            break;
        }
        WireTrace::instance().event(QStringLiteral("open %1").arg(result));
        qDebug().noquote() << "Cannot open device--" + QString::number(attempt);
        refusedAccess = refusedAccess || result == LIBUSB_ERROR_ACCESS;
        deviceHandle = nullptr;
    }
    if (deviceHandle) {
        qDebug().noquote() << " Device Opened";
        deviceOpened = true;
    }
    usb->freeDeviceList(deviceList, 1);
    deviceList = nullptr;
    device = nullptr;

    if (!deviceHandle) {
        qDebug().noquote() << "Cannot open device";
        // The instrument is there but the user may not use it: saying how to
        // fix that beats a bare "cannot".
        accessRefused = refusedAccess;
        if (refusedAccess)
            qWarning().noquote() << permissionMessage();
        emit serialPort.connectionStatus(refusedAccess ? permissionMessage() : QStringLiteral("Cannot open device"));
        return;
    }
    if (usb->kernelDriverActive(deviceHandle, interfaceNumber) == 1) {
        qDebug().noquote() << "Kernel Driver Active";
        const int detached = usb->detachKernelDriver(deviceHandle, interfaceNumber);
        WireTrace::instance().event(QStringLiteral("detach %1").arg(detached));
        if (detached == 0)
            qDebug().noquote() << "Kernel Driver Detached!";
    }
    const int claimed = usb->claimInterface(deviceHandle, interfaceNumber);
    WireTrace::instance().event(QStringLiteral("claim %1").arg(claimed));
    if (claimed < 0) {
        qDebug().noquote() << "Cannot Claim Interface";
        usb->close(deviceHandle);
        WireTrace::instance().event(QStringLiteral("close"));
        deviceHandle = nullptr;
        deviceOpened = false;
    }
}

void LibUsbDevice::cancelAndFreeTransfers()
{
    QMutexLocker locker(&submitMutex);
    // A read waiting for its retry is in nobody's hands: it is simply not tried again.
    retries.clear();
    for (ReadSlot *slot : transfers) {
        if (slot->inFlight) {
            const int result = usb->cancelTransfer(slot->transfer);
            WireTrace::instance().event(QStringLiteral("cancel %1").arg(result));
        }
    }
}

void LibUsbDevice::closeDevice()
{
    // What was queued goes out first (a disconnect request among it); after
    // a loss nothing is sent any more, so this is quick.
    waitControlsSent();
    if (!deviceOpened) {
        if (context) {
            eventThreadRunning = false;
            usb->interruptEvents(context);
            eventThreadFuture.waitForFinished();
            usb->exit(context);
            WireTrace::instance().event(QStringLiteral("exit"));
            context = nullptr;
        }
        return;
    }
    qDebug().noquote() << "Signal to disconnect";
    connectionLostFlag = true;
    // Told to stop before the cancellations, so that the event thread leaves
    // as soon as it has seen them instead of waiting for events once more.
    eventThreadRunning = false;
    qDebug().noquote() << "Cancel USB to PC transfer";
    cancelAndFreeTransfers();
    qDebug().noquote() << "Cancel PC to USB transfer";
    if (writeTransfer)
        usb->cancelTransfer(writeTransfer);
    qDebug().noquote() << "Wait for Finished";
    usb->interruptEvents(context);
    eventThreadFuture.waitForFinished();
    // Deliver the cancellations the event thread did not see before it stopped,
    // so that no transfer is freed while the library still owns it.
    QDeadlineTimer deadline(closeDeadlineMs);
    auto anyInFlight = [this] {
        for (ReadSlot *slot : transfers)
            if (slot->inFlight)
                return true;
        return false;
    };
    while (anyInFlight() && !deadline.hasExpired())
        usb->handleEvents(context, 20);
    qDebug().noquote() << "Release interface";
    usb->releaseInterface(deviceHandle, interfaceNumber);
    WireTrace::instance().event(QStringLiteral("release"));
    qDebug().noquote() << "Close";
    usb->close(deviceHandle);
    WireTrace::instance().event(QStringLiteral("close"));
    qDebug().noquote() << "Exit";
    usb->exit(context);
    WireTrace::instance().event(QStringLiteral("exit"));
    // A read whose cancellation did not come back in time belonged to the
    // context just ended, which will never hand it back: it goes with it,
    // so that no later close cancels a transfer of a dead context.
    int abandoned = 0;
    for (ReadSlot *slot : transfers) {
        abandoned += slot->inFlight ? 1 : 0;
        usb->freeTransfer(slot->transfer);
        delete slot;
    }
    transfers.clear();
    if (abandoned > 0)
        qDebug().noquote() << QStringLiteral("%1 cancelled read(s) did not come back within %2 ms, dropped with the context")
                                  .arg(abandoned)
                                  .arg(closeDeadlineMs);
    deviceOpened = false;
}

void LibUsbDevice::reset()
{
    connectionLostFlag = false;
    eventThreadRunning = true;
    deviceOpened = false;
    libUsbInitialized = false;
    deviceHandle = nullptr;
    context = nullptr;
    writeTransfer = nullptr;
    readTransfer = nullptr;
    // Reads already queued stay: the display takes them on its next ticks,
    // so what came before the link closed still reaches the persistence
    // picture and a recording.
    QMutexLocker locker(&handOffMutex);
    dataReady = false;
}

void LibUsbDevice::clearData()
{
    QMutexLocker locker(&handOffMutex);
    std::memset(dataBuffer, 0, sizeof(dataBuffer));
}

bool LibUsbDevice::checkIsDeviceConnected()
{
    if (deviceOpened && !connectionLostFlag)
        return true;
    qDebug().noquote() << "Device not connected";
    return false;
}

void LibUsbDevice::asyncBulkReadTransfer()
{
    if (!checkIsDeviceConnected())
        return;
    libusb_transfer *transfer = usb->allocTransfer(0);
    if (!transfer) {
        qDebug().noquote() << "Transfer Failed! " + QString::number(LIBUSB_ERROR_NO_MEM);
        libUsbTransferResultError(LIBUSB_ERROR_NO_MEM);
        return;
    }
    auto *slot = new ReadSlot;
    slot->owner = this;
    slot->transfer = transfer;
    transfers.push_back(slot);
    readTransfer = transfer;
    // No timeout: the read waits for a whole frame however slowly it comes.
    libusb_fill_bulk_transfer(transfer, deviceHandle, endpointIn, slot->buffer, bufferSize,
                              asyncBulkReadTransferCallback, slot, 0);
    slot->inFlight = true;
    const int result = usb->submitTransfer(transfer);
    WireTrace::instance().event(QStringLiteral("submit %1").arg(result));
    if (result < 0) {
        slot->inFlight = false;
        qDebug().noquote() << "Transfer Failed! " + QString::number(result);
        libUsbTransferResultError(result);
        return;
    }
    if (eventThreadFuture.isRunning())
        return;
    eventThreadFuture = QtConcurrent::run([this] { eventThread(); });
}

void LibUsbDevice::eventThread()
{
    // Named while it serves the transport, so that its CPU can be told apart.
    char poolName[16] = {};
    pthread_getname_np(pthread_self(), poolName, sizeof(poolName));
    pthread_setname_np(pthread_self(), "velto-usbevents");
    int wait = 100;
    while (eventThreadRunning) {
        usb->handleEvents(context, wait);
        const int due = retryFailedReads();
        wait = due < 0 ? 100 : qBound(1, due, 100);
    }
    pthread_setname_np(pthread_self(), poolName);
}

void LIBUSB_CALL LibUsbDevice::asyncBulkReadTransferCallback(libusb_transfer *transfer)
{
    auto *slot = static_cast<ReadSlot *>(transfer->user_data);
    LibUsbDevice *self = slot->owner;
    WireTrace::instance().bulkIn(transfer->status, transfer->actual_length, transfer->buffer);
    const bool running = self->eventThreadRunning && !self->connectionLostFlag;
    if (transfer->status == LIBUSB_TRANSFER_CANCELLED || !running) {
        slot->inFlight = false;
        return;
    }
    switch (transfer->status) {
    case LIBUSB_TRANSFER_STALL:
    case LIBUSB_TRANSFER_ERROR:
        self->readFailed(slot, transfer->status);
        return;
    case LIBUSB_TRANSFER_NO_DEVICE:
        slot->inFlight = false;
        self->libUsbTransferResultError(LIBUSB_ERROR_NO_DEVICE);
        return;
    default:
        break;
    }
    // Whole, or ended early with part of a frame (an overflow, a timeout):
    // what came is handed off, and a read with nothing in it is no read.
    slot->failures = 0;
    if (transfer->actual_length > 0)
        self->deliverRead(slot->buffer, transfer->actual_length);
    QMutexLocker locker(&self->submitMutex);
    self->resubmit(slot);
}

void LibUsbDevice::resubmit(ReadSlot *slot)
{
    if (!eventThreadRunning || connectionLostFlag) {
        slot->inFlight = false;
        return;
    }
    slot->inFlight = true;
    const int result = usb->submitTransfer(slot->transfer);
    if (result < 0) {
        slot->inFlight = false;
        libUsbTransferResultError(result);
    }
}

void LibUsbDevice::readFailed(ReadSlot *slot, int status)
{
    QMutexLocker locker(&submitMutex);
    slot->inFlight = false;
    if (!eventThreadRunning || connectionLostFlag)
        return;
    const QString what = status == LIBUSB_TRANSFER_STALL ? QStringLiteral("stalled") : QStringLiteral("failed");
    if (++slot->failures > readRetries) {
        qDebug().noquote() << QStringLiteral("Bulk read %1 %2 times in a row, giving up").arg(what).arg(slot->failures);
        libUsbTransferResultError(status == LIBUSB_TRANSFER_STALL ? LIBUSB_ERROR_PIPE : LIBUSB_ERROR_IO);
        return;
    }
    // Resubmitted at once, a read on a halted pipe fails at once again and
    // the event thread would do nothing else: the halt is cleared first,
    // after a pause that doubles with each failure.
    const int delay = firstRetryDelayMs << (slot->failures - 1);
    qDebug().noquote() << QStringLiteral("Bulk read %1, clearing the halt and trying again in %2 ms (%3 of %4)")
                              .arg(what)
                              .arg(delay)
                              .arg(slot->failures)
                              .arg(readRetries);
    slot->retryAt = retryClock.elapsed() + delay;
    retries.push_back(slot);
}

int LibUsbDevice::retryFailedReads()
{
    QMutexLocker locker(&submitMutex);
    const qint64 now = retryClock.elapsed();
    int wait = -1;
    for (auto it = retries.begin(); it != retries.end();) {
        ReadSlot *slot = *it;
        if (slot->retryAt > now) {
            const int left = int(slot->retryAt - now);
            wait = wait < 0 ? left : qMin(wait, left);
            ++it;
            continue;
        }
        it = retries.erase(it);
        if (!eventThreadRunning || connectionLostFlag)
            continue;
        const int cleared = usb->clearHalt(deviceHandle, endpointIn);
        WireTrace::instance().event(QStringLiteral("clearhalt %1").arg(cleared));
        if (cleared < 0)
            libUsbTransferResultError(cleared);
        else
            resubmit(slot);
    }
    return wait;
}

void LibUsbDevice::deliverRead(const unsigned char *data, int length)
{
    length = qBound(0, length, int(bufferSize));
    QMutexLocker locker(&handOffMutex);
    if (data != dataBuffer)
        std::memcpy(dataBuffer, data, size_t(length));
    int store;
    if (queueCount == queueDepth) {
        // The oldest read gives up its buffer to this one.
        store = queueStore[queueHead];
        queueHead = (queueHead + 1) % queueDepth;
        --queueCount;
        ++counts.overflowed;
    } else {
        store = freeStores.back();
        freeStores.pop_back();
    }
    const int slot = (queueHead + queueCount) % queueDepth;
    std::memcpy(queueStorage.get() + size_t(store) * bufferSize, data, size_t(length));
    queueStore[slot] = store;
    queueLength[slot] = length;
    queueSequence[slot] = ++readSequence;
    ++queueCount;
    ++counts.delivered;
    dataLength = length;
    dataReady = true;
    locker.unlock();
    if (announceReads)
        emit readArrived();
}

int LibUsbDevice::takeRead(unsigned char *destination, int capacity, quint64 *sequence)
{
    QMutexLocker locker(&handOffMutex);
    if (queueCount == 0)
        return -1;
    const int slot = queueHead;
    queueHead = (queueHead + 1) % queueDepth;
    --queueCount;
    dataReady = queueCount > 0;
    if (sequence)
        *sequence = queueSequence[slot];
    const int length = qBound(0, qMin(queueLength[slot], capacity), int(bufferSize));
    std::memcpy(destination, queueStorage.get() + size_t(queueStore[slot]) * bufferSize, size_t(length));
    freeStores.push_back(queueStore[slot]);
    return length;
}

LibUsbDevice::QueueCounts LibUsbDevice::queueCounts()
{
    QMutexLocker locker(&handOffMutex);
    return counts;
}

int LibUsbDevice::copyData(unsigned char *destination, int capacity, quint64 *sequence)
{
    QMutexLocker locker(&handOffMutex);
    if (sequence)
        *sequence = readSequence;
    const int length = qBound(0, qMin(int(dataLength), capacity), int(bufferSize));
    std::memcpy(destination, dataBuffer, size_t(length));
    return length;
}

int LibUsbDevice::queuedReads()
{
    QMutexLocker locker(&handOffMutex);
    return queueCount;
}

void LibUsbDevice::acknowledgeData(quint64 sequence)
{
    QMutexLocker locker(&handOffMutex);
    if (sequence == readSequence) {
        dataReady = false;
        for (; queueCount > 0; --queueCount, queueHead = (queueHead + 1) % queueDepth)
            freeStores.push_back(queueStore[queueHead]);
    }
}

int LibUsbDevice::currentDataLength()
{
    QMutexLocker locker(&handOffMutex);
    return dataLength;
}

// --- The control queue ----------------------------------------------------------

quint64 LibUsbDevice::queueJob(ControlJob job, QObject *receiver, Done done)
{
    job.id = ++nextControlId;
    ++pendingControls;
    controlEnds.insert(job.id, Waiting{QPointer<QObject>(receiver), receiver != nullptr, std::move(done)});
    if (job.kind != ControlJob::StartReading && !checkIsDeviceConnected()) {
        // Nothing to send to: ended at once, but through the event loop as any end.
        emit controlEnded(job.id, LIBUSB_ERROR_OTHER, QByteArray());
        return job.id;
    }
    job.handle = deviceHandle;
    {
        std::lock_guard<std::mutex> lock(controlMutex);
        controlQueue.push_back(std::move(job));
    }
    controlWake.notify_one();
    return job.id;
}

void LibUsbDevice::control(uint8_t request, uint16_t index, uint16_t value, int length, Need need,
                           QObject *receiver, Done done)
{
    ControlJob job;
    job.request = request;
    job.index = index;
    job.value = value;
    job.length = qBound(0, length, 0xFFFF);
    job.need = need;
    queueJob(std::move(job), receiver, std::move(done));
}

void LibUsbDevice::bulkWrite(const unsigned char *data, int length, QObject *receiver, Done done)
{
    ControlJob job;
    job.kind = ControlJob::BulkOut;
    job.payload = QByteArray(reinterpret_cast<const char *>(data), qMax(0, length));
    queueJob(std::move(job), receiver, std::move(done));
}

void LibUsbDevice::startReadingAfterQueue()
{
    ControlJob job;
    job.kind = ControlJob::StartReading;
    queueJob(std::move(job), nullptr, {});
}

void LibUsbDevice::afterQueue(QObject *receiver, Done done)
{
    ControlJob job;
    job.kind = ControlJob::Marker;
    queueJob(std::move(job), receiver, std::move(done));
}

void LibUsbDevice::afterQueueCounted(QObject *receiver, std::function<void(quint64)> done)
{
    ControlJob job;
    job.kind = ControlJob::CountMarker;
    queueJob(std::move(job), receiver, [done = std::move(done)](int, const QByteArray &reply) {
        quint64 delivered = 0;
        if (reply.size() == int(sizeof delivered))
            std::memcpy(&delivered, reply.constData(), sizeof delivered);
        done(delivered);
    });
}

void LibUsbDevice::controlThreadLoop()
{
    for (;;) {
        ControlJob job;
        {
            std::unique_lock<std::mutex> lock(controlMutex);
            controlWake.wait(lock, [this] { return controlStopping || !controlQueue.empty(); });
            if (controlQueue.empty())
                return;
            job = std::move(controlQueue.front());
            controlQueue.pop_front();
            controlBusy = true;
        }
        QByteArray reply;
        int result = 0;
        if (job.kind == ControlJob::StartReading) {
            asyncBulkReadTransfer();
        } else if (job.kind == ControlJob::CountMarker) {
            const quint64 delivered = queueCounts().delivered;
            reply = QByteArray(reinterpret_cast<const char *>(&delivered), int(sizeof delivered));
        } else if (job.kind != ControlJob::Marker) {
            result = runJob(job, &reply);
        }
        // Posted before the thread counts as idle, so that whoever waits for
        // it to be idle finds the end already posted.
        emit controlEnded(job.id, result, reply);
        {
            std::lock_guard<std::mutex> lock(controlMutex);
            controlBusy = false;
        }
        controlIdle.notify_all();
    }
}

int LibUsbDevice::runJob(const ControlJob &job, QByteArray *reply)
{
    using ControlVerdict::Verdict;
    for (int attempt = 1;; ++attempt) {
        // Lost meanwhile: nothing more goes out until the link is made again.
        if (connectionLostFlag || !job.handle)
            return LIBUSB_ERROR_OTHER;
        int result;
        if (job.kind == ControlJob::BulkOut) {
            int transferred = 0;
            auto *data = reinterpret_cast<unsigned char *>(const_cast<char *>(job.payload.constData()));
            result = usb->bulkTransfer(job.handle, endpointOut, data, int(job.payload.size()), &transferred, timeoutMs);
            WireTrace::instance().bulkOut(endpointOut, int(job.payload.size()), result, data);
        } else {
            *reply = QByteArray(job.length, '\0');
            auto *data = job.length > 0 ? reinterpret_cast<unsigned char *>(reply->data()) : nullptr;
            result = usb->controlTransfer(job.handle, requestType, job.request, job.value, job.index, data,
                                          uint16_t(job.length), timeoutMs);
            WireTrace::instance().control(job.request, job.index, job.value, job.length, result, data);
        }
        timeoutsInRow = result == LIBUSB_ERROR_TIMEOUT ? timeoutsInRow + 1 : 0;
        const Verdict verdict = ControlVerdict::judge(result, job.need, attempt, timeoutsInRow);
        const QString what = job.kind == ControlJob::BulkOut
                                 ? QStringLiteral("Bulk write of %1 bytes").arg(job.payload.size())
                                 : QStringLiteral("Control request 0x%1 (index %2, value %3)")
                                       .arg(job.request, 2, 16, QLatin1Char('0'))
                                       .arg(job.index)
                                       .arg(job.value);
        const char *name = transferErrorName(result);
        const QString code = name ? QLatin1String(name) : QString::number(result);
        switch (verdict) {
        case Verdict::Done:
            return result;
        case Verdict::Retry:
            qDebug().noquote() << QStringLiteral("%1: %2, sent once more").arg(what, code);
            continue;
        case Verdict::Report:
            qDebug().noquote() << QStringLiteral("%1 failed: %2").arg(what, code);
            return result;
        case Verdict::Refused:
            if (refusalsSaid.insert(quint32(job.request) << 16 | job.index).second)
                qDebug().noquote() << QStringLiteral("%1: %2, the instrument does not know it; not said again")
                                          .arg(what, code);
            return result;
        case Verdict::Lost:
            if (result == LIBUSB_ERROR_TIMEOUT)
                qDebug().noquote() << QStringLiteral("%1: %2 timeouts in a row, the instrument is taken as gone")
                                          .arg(what)
                                          .arg(timeoutsInRow);
            timeoutsInRow = 0;
            libUsbTransferResultError(result);
            return result;
        }
    }
}

void LibUsbDevice::finishControl(quint64 id, int result, const QByteArray &reply)
{
    const Waiting waiting = controlEnds.take(id);
    --pendingControls;
    if (waiting.done && (!waiting.hasReceiver || waiting.receiver))
        waiting.done(result, reply);
}

void LibUsbDevice::waitControlsSent()
{
    std::unique_lock<std::mutex> lock(controlMutex);
    controlIdle.wait(lock, [this] { return controlQueue.empty() && !controlBusy; });
}

bool LibUsbDevice::settle(int timeoutMs)
{
    // Only the transport's own ends are delivered here, nothing else of the
    // event loop (no timer, no other posted work): what they queue in turn
    // is waited for too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pendingControls > 0) {
        {
            std::unique_lock<std::mutex> lock(controlMutex);
            if (!controlIdle.wait_until(lock, deadline, [this] { return controlQueue.empty() && !controlBusy; }))
                return false;
        }
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        if (pendingControls > 0 && std::chrono::steady_clock::now() >= deadline)
            return false;
    }
    return true;
}

bool LibUsbDevice::settleAll(int timeoutMs)
{
    bool all = true;
    for (LibUsbDevice *transport : liveTransports())
        all = transport->settle(timeoutMs) && all;
    return all;
}

void LibUsbDevice::libUsbTransferResultError(int code)
{
    connectionLostFlag = true;
    emit connectionLost();
    qDebug().noquote() << "Emit ConnectionLost";
    if (const char *name = transferErrorName(code))
        qDebug().noquote() << QStringLiteral("Transfer error: ") + QLatin1String(name);
}

void LibUsbDevice::newDataAvailable(int length)
{
    // The serial link assembled its frame in dataBuffer: handed off like a USB read.
    deliverRead(dataBuffer, length);
}
