// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The narrow seam between LibUsbDevice and libusb: exactly the operations the
// transport uses, with libusb's types, codes and semantics. The system backend
// forwards each one to libusb-1.0; the virtual backend serves the same calls
// from the virtual instrument. Everything above the seam is the same code.

#include <libusb.h>

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

class UsbBackend
{
public:
    virtual ~UsbBackend() = default;

    virtual QString name() const = 0;

    virtual int init(libusb_context **context) = 0;
    virtual void exit(libusb_context *context) = 0;
    virtual void setDebug(libusb_context *context, int level) = 0;

    virtual ssize_t getDeviceList(libusb_context *context, libusb_device ***list) = 0;
    virtual void freeDeviceList(libusb_device **list, int unrefDevices) = 0;
    virtual int getDeviceDescriptor(libusb_device *device, libusb_device_descriptor *descriptor) = 0;

    virtual int open(libusb_device *device, libusb_device_handle **handle) = 0;
    virtual void close(libusb_device_handle *handle) = 0;
    virtual int kernelDriverActive(libusb_device_handle *handle, int interfaceNumber) = 0;
    virtual int detachKernelDriver(libusb_device_handle *handle, int interfaceNumber) = 0;
    virtual int claimInterface(libusb_device_handle *handle, int interfaceNumber) = 0;
    virtual int releaseInterface(libusb_device_handle *handle, int interfaceNumber) = 0;

    virtual int controlTransfer(libusb_device_handle *handle, uint8_t requestType, uint8_t request,
                                uint16_t value, uint16_t index, unsigned char *data, uint16_t length,
                                unsigned int timeout) = 0;
    virtual int bulkTransfer(libusb_device_handle *handle, unsigned char endpoint, unsigned char *data,
                             int length, int *transferred, unsigned int timeout) = 0;

    virtual libusb_transfer *allocTransfer(int isoPackets) = 0;
    virtual int submitTransfer(libusb_transfer *transfer) = 0;
    virtual int cancelTransfer(libusb_transfer *transfer) = 0;
    virtual void freeTransfer(libusb_transfer *transfer) = 0;
    // Clears a halted (stalled) endpoint, so that transfers on it go through again.
    virtual int clearHalt(libusb_device_handle *handle, unsigned char endpoint) = 0;

    // Handles pending events, waiting at most `timeoutMs` for one.
    virtual int handleEvents(libusb_context *context, int timeoutMs) = 0;
    // Wakes a thread waiting in handleEvents, which then returns at once.
    virtual void interruptEvents(libusb_context *context) = 0;
};

// libusb-1.0 itself.
class SystemUsbBackend : public UsbBackend
{
public:
    QString name() const override { return QStringLiteral("usb"); }
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
};

// The wire trace: one line per operation crossing the seam, to the file named
// by VELTO_TRACE and/or to an in-process sink that tests install.
class WireTrace
{
public:
    using Sink = std::function<void(const QString &line)>;

    static WireTrace &instance();

    // Opens the file named by VELTO_TRACE, if any (appending).
    void openFromEnvironment();
    void setFile(const QString &path);
    // Installs (or with an empty function removes) an in-process sink.
    void setSink(Sink sink);
    bool active() const;

    void control(uint8_t request, uint16_t index, uint16_t value, int length, int result,
                 const unsigned char *data);
    void bulkOut(unsigned char endpoint, int length, int result, const unsigned char *data);
    void bulkIn(int status, int length, const unsigned char *data);
    void event(const QString &text);

private:
    WireTrace() = default;
    void write(const QString &body);

    mutable std::mutex mutex;
    FILE *file = nullptr;
    Sink sink;
};

// The backend chosen once per process from VELTO_DEVICE: unset or "usb" the
// system backend, "virtual" the virtual instrument.
UsbBackend &defaultUsbBackend();

// The backend the environment variable VELTO_DEVICE names: unset, empty or
// "usb" the real instrument through libusb, "virtual" the virtual one.
// Anything else is unknown: Velto says so and does not start, rather than
// quietly talk to a device the user did not ask for.
enum class BackendChoice { System, Virtual, Unknown };
BackendChoice backendChoice(const QByteArray &value);
// What Velto says of an unknown value: which values exist.
QString unknownBackendMessage(const QByteArray &value);
