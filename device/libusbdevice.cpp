// SPDX-License-Identifier: GPL-3.0-only
#include "device/libusbdevice.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QtConcurrent>

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
    retryClock.start();
    connect(&serialPort, &SerialPortConnection::newData, this, &LibUsbDevice::newDataAvailable);
    connect(&serialPort, &SerialPortConnection::clear, this, &LibUsbDevice::clearData);
}

LibUsbDevice::~LibUsbDevice()
{
    if (context || eventThreadFuture.isRunning())
        closeDevice();
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
    int wait = 100;
    while (eventThreadRunning) {
        usb->handleEvents(context, wait);
        const int due = retryFailedReads();
        wait = due < 0 ? 100 : qBound(1, due, 100);
    }
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
    if (queueCount == queueDepth) {
        queueHead = (queueHead + 1) % queueDepth;
        --queueCount;
        ++counts.overflowed;
    }
    const int slot = (queueHead + queueCount) % queueDepth;
    std::memcpy(queueStorage.get() + size_t(slot) * bufferSize, data, size_t(length));
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
    std::memcpy(destination, queueStorage.get() + size_t(slot) * bufferSize, size_t(length));
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
        queueCount = 0;
    }
}

int LibUsbDevice::currentDataLength()
{
    QMutexLocker locker(&handOffMutex);
    return dataLength;
}

void LibUsbDevice::bulkWriteTransfer(unsigned char *data, int length)
{
    if (!checkIsDeviceConnected())
        return;
    int transferred = 0;
    const int result = usb->bulkTransfer(deviceHandle, endpointOut, data, length, &transferred, timeoutMs);
    WireTrace::instance().bulkOut(endpointOut, length, result, data);
    if (result < 0) {
        qDebug().noquote() << "Bulk write transfer failed! " + QString::number(result);
        libUsbTransferResultError(result);
    }
}

int LibUsbDevice::controlReadTransfer(unsigned char request, unsigned char *data, int length,
                                      unsigned short index, unsigned short value)
{
    if (!checkIsDeviceConnected())
        return LIBUSB_ERROR_OTHER;
    const int result = usb->controlTransfer(deviceHandle, requestType, request, value, index, data,
                                            uint16_t(qBound(0, length, 0xFFFF)), timeoutMs);
    WireTrace::instance().control(request, index, value, length, result, data);
    if (result < 0)
        libUsbTransferResultError(result);
    return result;
}

int LibUsbDevice::controlWriteTransfer(unsigned char request, unsigned short index, unsigned short value)
{
    return controlReadTransfer(request, nullptr, 0, index, value);
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
