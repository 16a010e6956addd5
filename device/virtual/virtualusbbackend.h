// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "device/usbseam.h"
#include "device/virtual/virtualinstrument.h"

#include <condition_variable>
#include <deque>
#include <mutex>

// The seam served by the virtual instrument, with libusb's semantics: codes,
// 1000 ms timeouts, completions run on the thread that handles events, and a
// cancelled transfer completing with the cancelled status.
class VirtualUsbBackend : public UsbBackend
{
public:
    VirtualUsbBackend();
    ~VirtualUsbBackend() override;

    // The process-wide bench that VELTO_DEVICE=virtual selects.
    static VirtualUsbBackend &shared();

    VirtualInstrument &instrument() { return bench; }

    // Enumeration faults for tests: the device is listed but cannot be opened
    // or its interface cannot be claimed.
    void failOpen(int code);
    void failClaim(int code);
    // Faults of the bulk IN pipe, struck on the next `count` reads:
    // SlowFrame: a frame arrives in two parts, the second 1.5 s (on the
    //   bench's clock) after the first; a read with a shorter timeout ends
    //   with the first part, timed out, and the next read gets the rest.
    // Timeout: the read ends timed out with nothing in it.
    // Stall: the pipe halts; every read stalls at once until the host clears the halt.
    // Error: the read ends with a transfer error.
    // LostCancellation: the read in flight never answers its cancellation.
    enum class ReadFault { SlowFrame, Timeout, Stall, Error, LostCancellation };
    void failReads(ReadFault fault, int count = 1);
    // Halts the host cleared on the IN pipe since the backend was made.
    int haltsCleared() const;
    // Pending asynchronous transfers, for tests that check nothing is left behind.
    int pendingTransfers() const;
    // Contexts created and not yet exited, and handles open.
    int openContexts() const;
    int openDeviceHandles() const;

    QString name() const override { return QStringLiteral("virtual"); }
    int init(libusb_context **context) override;
    void exit(libusb_context *context) override;
    void setDebug(libusb_context *context, int level) override;
    ssize_t getDeviceList(libusb_context *context, libusb_device ***list) override;
    void freeDeviceList(libusb_device **list, int unrefDevices) override;
    int getDeviceDescriptor(libusb_device *device, libusb_device_descriptor *descriptor) override;
    int open(libusb_device *device, libusb_device_handle **handle) override;
    void close(libusb_device_handle *handle) override;
    int kernelDriverActive(libusb_device_handle *handle, int interfaceNumber) override;
    int detachKernelDriver(libusb_device_handle *handle, int interfaceNumber) override;
    int claimInterface(libusb_device_handle *handle, int interfaceNumber) override;
    int releaseInterface(libusb_device_handle *handle, int interfaceNumber) override;
    int controlTransfer(libusb_device_handle *handle, uint8_t requestType, uint8_t request, uint16_t value,
                        uint16_t index, unsigned char *data, uint16_t length, unsigned int timeout) override;
    int bulkTransfer(libusb_device_handle *handle, unsigned char endpoint, unsigned char *data, int length,
                     int *transferred, unsigned int timeout) override;
    libusb_transfer *allocTransfer(int isoPackets) override;
    int submitTransfer(libusb_transfer *transfer) override;
    int cancelTransfer(libusb_transfer *transfer) override;
    void freeTransfer(libusb_transfer *transfer) override;
    int clearHalt(libusb_device_handle *handle, unsigned char endpoint) override;
    int handleEvents(libusb_context *context, int timeoutMs) override;
    void interruptEvents(libusb_context *context) override;

private:
    struct Pending {
        libusb_transfer *transfer;
        int64_t submittedAt;
        bool cancelRequested;
        int received; // bytes of a slow frame already in the buffer
        bool deaf;    // its cancellation was lost: it never completes
    };
    bool validHandle(libusb_device_handle *handle) const;
    void waitOut(unsigned int timeoutMs);
    // Whether the oldest transfer completes now; called with the lock held.
    bool completeOldest(Pending &p, int64_t now);

    VirtualInstrument bench;
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool interrupted = false; // guarded by mutex
    std::deque<Pending> pending;
    int openFault = 0;
    int claimFault = 0;
    int contexts = 0;
    int openHandles = 0;
    int readFaults[5] = {}; // reads left to strike, by ReadFault
    bool halted = false;
    int halts = 0;
    QByteArray slowRest; // the part of a slow frame still to come
    int64_t slowRestAt = 0;
};
