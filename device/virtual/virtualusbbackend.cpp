// SPDX-License-Identifier: GPL-3.0-only
#include "device/virtual/virtualusbbackend.h"

#include <QThread>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
// Opaque tokens handed out as libusb objects; never dereferenced as such.
char contextToken;
char deviceToken;
char handleToken;

libusb_context *asContext() { return reinterpret_cast<libusb_context *>(&contextToken); }
libusb_device *asDevice() { return reinterpret_cast<libusb_device *>(&deviceToken); }
libusb_device_handle *asHandle() { return reinterpret_cast<libusb_device_handle *>(&handleToken); }
} // namespace

VirtualUsbBackend::VirtualUsbBackend() = default;

VirtualUsbBackend::~VirtualUsbBackend()
{
    std::lock_guard<std::mutex> lock(mutex);
    pending.clear();
}

VirtualUsbBackend &VirtualUsbBackend::shared()
{
    static VirtualUsbBackend backend;
    return backend;
}

void VirtualUsbBackend::failOpen(int code)
{
    std::lock_guard<std::mutex> lock(mutex);
    openFault = code;
}

void VirtualUsbBackend::failClaim(int code)
{
    std::lock_guard<std::mutex> lock(mutex);
    claimFault = code;
}

void VirtualUsbBackend::failReads(ReadFault fault, int count)
{
    std::lock_guard<std::mutex> lock(mutex);
    readFaults[int(fault)] = qMax(0, count);
}

int VirtualUsbBackend::haltsCleared() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return halts;
}

int VirtualUsbBackend::pendingTransfers() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return int(pending.size());
}

int VirtualUsbBackend::openContexts() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return contexts;
}

int VirtualUsbBackend::openDeviceHandles() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return openHandles;
}

int VirtualUsbBackend::init(libusb_context **context)
{
    if (!context)
        return LIBUSB_ERROR_INVALID_PARAM;
    std::lock_guard<std::mutex> lock(mutex);
    ++contexts;
    *context = asContext();
    return LIBUSB_SUCCESS;
}

void VirtualUsbBackend::exit(libusb_context *)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (contexts > 0)
        --contexts;
    // The last context gone, the transfers it never completed are forgotten,
    // as libusb forgets them: their owner may free them now.
    if (contexts == 0) {
        pending.clear();
        slowRest.clear();
    }
}

void VirtualUsbBackend::setDebug(libusb_context *, int) {}

ssize_t VirtualUsbBackend::getDeviceList(libusb_context *context, libusb_device ***list)
{
    if (context != asContext() || !list)
        return LIBUSB_ERROR_INVALID_PARAM;
    const bool present = bench.attached();
    auto **devices = static_cast<libusb_device **>(calloc(2, sizeof(libusb_device *)));
    if (!devices)
        return LIBUSB_ERROR_NO_MEM;
    if (present)
        devices[0] = asDevice();
    *list = devices;
    return present ? 1 : 0;
}

void VirtualUsbBackend::freeDeviceList(libusb_device **list, int)
{
    free(list);
}

int VirtualUsbBackend::getDeviceDescriptor(libusb_device *device, libusb_device_descriptor *descriptor)
{
    if (device != asDevice() || !descriptor)
        return LIBUSB_ERROR_INVALID_PARAM;
    std::memset(descriptor, 0, sizeof(*descriptor));
    descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
    descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
    descriptor->bcdUSB = 0x0200;
    descriptor->bMaxPacketSize0 = 64;
    descriptor->idVendor = 0x1D50;
    descriptor->idProduct = 0x60EB;
    descriptor->bcdDevice = 0x0207;
    descriptor->bNumConfigurations = 1;
    return LIBUSB_SUCCESS;
}

int VirtualUsbBackend::open(libusb_device *device, libusb_device_handle **handle)
{
    if (device != asDevice() || !handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (openFault) {
            const int code = openFault;
            openFault = 0;
            return code;
        }
    }
    if (!bench.attached())
        return LIBUSB_ERROR_NO_DEVICE;
    std::lock_guard<std::mutex> lock(mutex);
    ++openHandles;
    *handle = asHandle();
    return LIBUSB_SUCCESS;
}

void VirtualUsbBackend::close(libusb_device_handle *handle)
{
    if (!validHandle(handle))
        return;
    bench.hostDisconnected();
    std::lock_guard<std::mutex> lock(mutex);
    if (openHandles > 0)
        --openHandles;
}

bool VirtualUsbBackend::validHandle(libusb_device_handle *handle) const
{
    return handle == asHandle();
}

int VirtualUsbBackend::kernelDriverActive(libusb_device_handle *handle, int interfaceNumber)
{
    if (!validHandle(handle) || interfaceNumber != 0)
        return LIBUSB_ERROR_INVALID_PARAM;
    return bench.attached() ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

int VirtualUsbBackend::detachKernelDriver(libusb_device_handle *handle, int)
{
    if (!validHandle(handle))
        return LIBUSB_ERROR_INVALID_PARAM;
    return LIBUSB_ERROR_NOT_FOUND;
}

int VirtualUsbBackend::claimInterface(libusb_device_handle *handle, int interfaceNumber)
{
    if (!validHandle(handle) || interfaceNumber != 0)
        return LIBUSB_ERROR_NOT_FOUND;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (claimFault) {
            const int code = claimFault;
            claimFault = 0;
            return code;
        }
    }
    return bench.attached() ? LIBUSB_SUCCESS : LIBUSB_ERROR_NO_DEVICE;
}

int VirtualUsbBackend::releaseInterface(libusb_device_handle *handle, int)
{
    if (!validHandle(handle))
        return LIBUSB_ERROR_NOT_FOUND;
    return bench.attached() ? LIBUSB_SUCCESS : LIBUSB_ERROR_NO_DEVICE;
}

void VirtualUsbBackend::waitOut(unsigned int timeoutMs)
{
    // A transfer that times out takes its full timeout, on whichever clock the bench runs.
    if (bench.usingTestClock())
        bench.advanceClock(int64_t(timeoutMs) * 1000);
    else
        QThread::msleep(timeoutMs);
}

int VirtualUsbBackend::controlTransfer(libusb_device_handle *handle, uint8_t requestType, uint8_t request,
                                       uint16_t value, uint16_t index, unsigned char *data, uint16_t length,
                                       unsigned int timeout)
{
    if (!validHandle(handle))
        return LIBUSB_ERROR_INVALID_PARAM;
    // The instrument knows only vendor requests to the device, answered device-to-host.
    if (requestType != 0xC0)
        return LIBUSB_ERROR_PIPE;
    if (length > 0 && !data)
        return LIBUSB_ERROR_INVALID_PARAM;
    const int result = bench.control(request, index, value, data, length);
    if (result == LIBUSB_ERROR_TIMEOUT)
        waitOut(timeout);
    return result;
}

int VirtualUsbBackend::bulkTransfer(libusb_device_handle *handle, unsigned char endpoint, unsigned char *data,
                                    int length, int *transferred, unsigned int timeout)
{
    if (transferred)
        *transferred = 0;
    if (!validHandle(handle))
        return LIBUSB_ERROR_INVALID_PARAM;
    if (endpoint & LIBUSB_ENDPOINT_IN)
        return LIBUSB_ERROR_NOT_SUPPORTED; // the IN pipe is read asynchronously only
    const int result = bench.bulkOut(endpoint, data, length);
    if (result == LIBUSB_ERROR_TIMEOUT)
        waitOut(timeout);
    if (result < 0)
        return result;
    if (transferred)
        *transferred = result;
    return LIBUSB_SUCCESS;
}

libusb_transfer *VirtualUsbBackend::allocTransfer(int isoPackets)
{
    if (isoPackets < 0)
        return nullptr;
    const size_t size = sizeof(libusb_transfer) + sizeof(libusb_iso_packet_descriptor) * size_t(isoPackets);
    return static_cast<libusb_transfer *>(calloc(1, size));
}

int VirtualUsbBackend::submitTransfer(libusb_transfer *transfer)
{
    if (!transfer || !validHandle(transfer->dev_handle) || transfer->type != LIBUSB_TRANSFER_TYPE_BULK ||
        transfer->endpoint != 0x81 || !transfer->buffer || transfer->length < 0)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!bench.attached())
        return LIBUSB_ERROR_NO_DEVICE;
    std::lock_guard<std::mutex> lock(mutex);
    for (const Pending &p : pending)
        if (p.transfer == transfer)
            return LIBUSB_ERROR_BUSY;
    pending.push_back({transfer, bench.nowMicroseconds(), false, 0, false});
    wake.notify_all();
    return LIBUSB_SUCCESS;
}

int VirtualUsbBackend::cancelTransfer(libusb_transfer *transfer)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (Pending &p : pending) {
        if (p.transfer == transfer && !p.cancelRequested) {
            p.cancelRequested = true;
            auto &lost = readFaults[int(ReadFault::LostCancellation)];
            if (lost > 0) {
                --lost;
                p.deaf = true;
            }
            wake.notify_all();
            return LIBUSB_SUCCESS;
        }
    }
    return LIBUSB_ERROR_NOT_FOUND;
}

void VirtualUsbBackend::freeTransfer(libusb_transfer *transfer)
{
    free(transfer);
}

int VirtualUsbBackend::clearHalt(libusb_device_handle *handle, unsigned char)
{
    if (!validHandle(handle))
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!bench.attached())
        return LIBUSB_ERROR_NO_DEVICE;
    std::lock_guard<std::mutex> lock(mutex);
    halted = false;
    ++halts;
    return LIBUSB_SUCCESS;
}

void VirtualUsbBackend::interruptEvents(libusb_context *context)
{
    if (context != asContext())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        interrupted = true;
    }
    wake.notify_all();
}

int VirtualUsbBackend::handleEvents(libusb_context *context, int timeoutMs)
{
    if (context != asContext())
        return LIBUSB_ERROR_INVALID_PARAM;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(qMax(0, timeoutMs));
    for (;;) {
        std::vector<libusb_transfer *> done;
        {
            std::unique_lock<std::mutex> lock(mutex);
            const bool present = bench.attached();
            const int64_t now = bench.nowMicroseconds();
            for (auto it = pending.begin(); it != pending.end();) {
                libusb_transfer *t = it->transfer;
                bool complete = false;
                if (it->deaf) {
                    ++it;
                    continue;
                }
                if (it->cancelRequested) {
                    t->status = LIBUSB_TRANSFER_CANCELLED;
                    t->actual_length = 0;
                    complete = true;
                } else if (!present) {
                    t->status = LIBUSB_TRANSFER_NO_DEVICE;
                    t->actual_length = 0;
                    complete = true;
                } else if (it == pending.begin()) {
                    // Only the oldest transfer on the pipe receives data.
                    complete = completeOldest(*it, now);
                }
                if (complete) {
                    done.push_back(t);
                    it = pending.erase(it);
                } else {
                    ++it;
                }
            }
            if (done.empty()) {
                if (interrupted || std::chrono::steady_clock::now() >= deadline) {
                    interrupted = false;
                    return LIBUSB_SUCCESS;
                }
                wake.wait_for(lock, std::chrono::milliseconds(1));
                continue;
            }
        }
        // Completions run outside the lock: they resubmit.
        for (libusb_transfer *t : done)
            if (t->callback)
                t->callback(t);
        return LIBUSB_SUCCESS;
    }
}

bool VirtualUsbBackend::completeOldest(Pending &p, int64_t now)
{
    libusb_transfer *t = p.transfer;
    auto finish = [t](libusb_transfer_status status, int length) {
        t->status = status;
        t->actual_length = length;
        return true;
    };
    auto strike = [this](ReadFault fault) {
        int &left = readFaults[int(fault)];
        return left > 0 ? (--left, true) : false;
    };
    if (halted)
        return finish(LIBUSB_TRANSFER_STALL, 0);
    if (strike(ReadFault::Stall)) {
        halted = true;
        return finish(LIBUSB_TRANSFER_STALL, 0);
    }
    if (strike(ReadFault::Error))
        return finish(LIBUSB_TRANSFER_ERROR, 0);
    if (strike(ReadFault::Timeout))
        return finish(LIBUSB_TRANSFER_TIMED_OUT, 0);
    if (!slowRest.isEmpty() && now >= slowRestAt) {
        const int length = qMin(int(slowRest.size()), t->length - p.received);
        std::memcpy(t->buffer + p.received, slowRest.constData(), size_t(length));
        slowRest.clear();
        return finish(LIBUSB_TRANSFER_COMPLETED, p.received + length);
    }
    if (slowRest.isEmpty()) {
        const int length = bench.takeFrame(t->buffer, t->length);
        if (length > 0 && !strike(ReadFault::SlowFrame))
            return finish(LIBUSB_TRANSFER_COMPLETED, length);
        if (length > 0) {
            // A third now, the rest later: no two parts of the same length.
            p.received = length / 3;
            slowRest = QByteArray(reinterpret_cast<const char *>(t->buffer) + p.received, length - p.received);
            slowRestAt = now + 1500000;
        }
    }
    // A transfer with a timeout ends with what it has when the time is up.
    if (t->timeout > 0 && now - p.submittedAt >= int64_t(t->timeout) * 1000)
        return finish(LIBUSB_TRANSFER_TIMED_OUT, p.received);
    return false;
}
