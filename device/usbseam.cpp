// SPDX-License-Identifier: GPL-3.0-only
#include "device/usbseam.h"

#include "device/virtual/virtualusbbackend.h"

#include <QDebug>
#include <QElapsedTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// Started during static initialisation, so trace times count from process start.
struct ProcessClock {
    QElapsedTimer timer;
    ProcessClock() { timer.start(); }
};
ProcessClock processClock;

QString hexBytes(const unsigned char *data, int length)
{
    if (!data || length <= 0)
        return QStringLiteral("-");
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(data), length).toHex());
}
} // namespace

int SystemUsbBackend::init(libusb_context **context) { return libusb_init(context); }
void SystemUsbBackend::exit(libusb_context *context) { libusb_exit(context); }
void SystemUsbBackend::setDebug(libusb_context *context, int level)
{
    libusb_set_option(context, LIBUSB_OPTION_LOG_LEVEL, level);
}
ssize_t SystemUsbBackend::getDeviceList(libusb_context *context, libusb_device ***list)
{
    return libusb_get_device_list(context, list);
}
void SystemUsbBackend::freeDeviceList(libusb_device **list, int unrefDevices)
{
    libusb_free_device_list(list, unrefDevices);
}
int SystemUsbBackend::getDeviceDescriptor(libusb_device *device, libusb_device_descriptor *descriptor)
{
    return libusb_get_device_descriptor(device, descriptor);
}
int SystemUsbBackend::open(libusb_device *device, libusb_device_handle **handle)
{
    return libusb_open(device, handle);
}
void SystemUsbBackend::close(libusb_device_handle *handle) { libusb_close(handle); }
int SystemUsbBackend::kernelDriverActive(libusb_device_handle *handle, int interfaceNumber)
{
    return libusb_kernel_driver_active(handle, interfaceNumber);
}
int SystemUsbBackend::detachKernelDriver(libusb_device_handle *handle, int interfaceNumber)
{
    return libusb_detach_kernel_driver(handle, interfaceNumber);
}
int SystemUsbBackend::claimInterface(libusb_device_handle *handle, int interfaceNumber)
{
    return libusb_claim_interface(handle, interfaceNumber);
}
int SystemUsbBackend::releaseInterface(libusb_device_handle *handle, int interfaceNumber)
{
    return libusb_release_interface(handle, interfaceNumber);
}
int SystemUsbBackend::controlTransfer(libusb_device_handle *handle, uint8_t requestType, uint8_t request,
                                      uint16_t value, uint16_t index, unsigned char *data, uint16_t length,
                                      unsigned int timeout)
{
    return libusb_control_transfer(handle, requestType, request, value, index, data, length, timeout);
}
int SystemUsbBackend::bulkTransfer(libusb_device_handle *handle, unsigned char endpoint, unsigned char *data,
                                   int length, int *transferred, unsigned int timeout)
{
    return libusb_bulk_transfer(handle, endpoint, data, length, transferred, timeout);
}
libusb_transfer *SystemUsbBackend::allocTransfer(int isoPackets) { return libusb_alloc_transfer(isoPackets); }
int SystemUsbBackend::submitTransfer(libusb_transfer *transfer) { return libusb_submit_transfer(transfer); }
int SystemUsbBackend::cancelTransfer(libusb_transfer *transfer) { return libusb_cancel_transfer(transfer); }
void SystemUsbBackend::freeTransfer(libusb_transfer *transfer) { libusb_free_transfer(transfer); }
int SystemUsbBackend::clearHalt(libusb_device_handle *handle, unsigned char endpoint)
{
    return libusb_clear_halt(handle, endpoint);
}
int SystemUsbBackend::handleEvents(libusb_context *context, int timeoutMs)
{
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return libusb_handle_events_timeout_completed(context, &tv, nullptr);
}

void SystemUsbBackend::interruptEvents(libusb_context *context)
{
    libusb_interrupt_event_handler(context);
}

WireTrace &WireTrace::instance()
{
    static WireTrace trace;
    return trace;
}

void WireTrace::openFromEnvironment()
{
    const QByteArray path = qgetenv("VELTO_TRACE");
    if (!path.isEmpty())
        setFile(QString::fromLocal8Bit(path));
}

void WireTrace::setFile(const QString &path)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (file) {
        fclose(file);
        file = nullptr;
    }
    if (path.isEmpty())
        return;
    file = fopen(path.toLocal8Bit().constData(), "a");
    // Said, not lost: a trace asked for and not written would mislead.
    if (!file)
        qWarning().noquote() << QStringLiteral("Wire trace file %1 cannot be written: %2")
                                    .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
}

void WireTrace::setSink(Sink newSink)
{
    std::lock_guard<std::mutex> lock(mutex);
    sink = std::move(newSink);
}

bool WireTrace::active() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return file || sink;
}

void WireTrace::write(const QString &body)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!file && !sink)
        return;
    const QString line = QString::number(processClock.timer.elapsed()) + QLatin1Char(' ') + body;
    if (file) {
        const QByteArray bytes = line.toUtf8() + '\n';
        fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
        fflush(file);
    }
    if (sink)
        sink(line);
}

void WireTrace::control(uint8_t request, uint16_t index, uint16_t value, int length, int result,
                        const unsigned char *data)
{
    if (!active())
        return;
    const int shown = (data && result > 0) ? result : 0;
    write(QStringLiteral("ctrl 0x%1 %2 %3 %4 %5 %6")
              .arg(request, 2, 16, QLatin1Char('0'))
              .arg(index)
              .arg(value)
              .arg(length)
              .arg(result)
              .arg(hexBytes(data, shown)));
}

void WireTrace::bulkOut(unsigned char endpoint, int length, int result, const unsigned char *data)
{
    if (!active())
        return;
    write(QStringLiteral("bulkout 0x%1 %2 %3 %4")
              .arg(endpoint, 2, 16, QLatin1Char('0'))
              .arg(length)
              .arg(result)
              .arg(hexBytes(data, length)));
}

void WireTrace::bulkIn(int status, int length, const unsigned char *data)
{
    if (!active())
        return;
    write(QStringLiteral("bulkin %1 %2 %3").arg(status).arg(length).arg(hexBytes(data, qMin(length, 10))));
}

void WireTrace::event(const QString &text)
{
    if (!active())
        return;
    write(QStringLiteral("event ") + text);
}

BackendChoice backendChoice(const QByteArray &value)
{
    if (value.isEmpty() || value == "usb")
        return BackendChoice::System;
    if (value == "virtual")
        return BackendChoice::Virtual;
    return BackendChoice::Unknown;
}

QString unknownBackendMessage(const QByteArray &value)
{
    return QStringLiteral("VELTO_DEVICE=\"%1\" is not known: use \"virtual\" for the virtual instrument, "
                          "or \"usb\" (or leave it unset) for the instrument on the USB bus")
        .arg(QString::fromLocal8Bit(value));
}

UsbBackend &defaultUsbBackend()
{
    static UsbBackend *backend = [] () -> UsbBackend * {
        if (backendChoice(qgetenv("VELTO_DEVICE")) == BackendChoice::Virtual)
            return &VirtualUsbBackend::shared();
        static SystemUsbBackend system;
        return &system;
    }();
    return *backend;
}
