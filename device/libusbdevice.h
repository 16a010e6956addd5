// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/device/controlverdict.h"
#include "device/serialportconnection.h"
#include "device/usbseam.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFuture>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

// The one live link to the instrument: finds and opens it, claims interface 0,
// keeps one bulk IN transfer in flight on an event thread, and sends the
// vendor control and bulk OUT transfers from a queue served by a thread of
// its own, in order, so that the thread that asks never waits for the
// instrument. It interprets no payload.
class LibUsbDevice : public QObject
{
    Q_OBJECT
public:
    static constexpr int bufferSize = 16384;
    static constexpr uint16_t vendorId = 0x1D50;
    static constexpr uint16_t productId = 0x60EB;
    static constexpr int interfaceNumber = 0;
    static constexpr unsigned char endpointOut = 0x01;
    static constexpr unsigned char endpointIn = 0x81;
    static constexpr uint8_t requestType = 0xC0;
    // The timeout of the control and bulk OUT transfers. The streaming bulk
    // IN read has none: at slow time bases a frame takes longer than any
    // fixed timeout, and a timeout falling while it arrives would split it.
    // Closing cancels it instead.
    static constexpr unsigned int timeoutMs = 1000;
    // A read that stalls or fails is tried again after the halt is cleared,
    // waiting 50, 100, 200 ms; after so many failures in a row the link is lost.
    static constexpr int readRetries = 3;
    static constexpr int firstRetryDelayMs = 50;
    // How long a close waits for the cancelled reads to come back.
    static constexpr int closeDeadlineMs = 2000;
    static constexpr int libUsbLogLevel = 3;

    // The file name of the udev rule that lets the logged-in user open the instrument.
    static constexpr const char *udevRule = "60-velto.rules";
    // What the status line says when the instrument is present but opening
    // it was refused for lack of permission.
    static QString permissionMessage();

    explicit LibUsbDevice(QObject *parent = nullptr);
    // For tests: a transport on a given backend instead of the process default.
    explicit LibUsbDevice(UsbBackend *backend, QObject *parent = nullptr);
    ~LibUsbDevice() override;

    void initializeDevice();
    void openDevice();
    void closeDevice();
    void reset();
    bool checkIsDeviceConnected();
    void asyncBulkReadTransfer();
    void libUsbTransferResultError(int code);

    // --- The control queue ------------------------------------------------------
    // The end of a queued transfer: libusb's result (bytes or a negative
    // code) and the bytes answered. It runs on the transport's thread (the
    // window's), through the event loop, never inside the call that queued it.
    using Done = std::function<void(int result, const QByteArray &reply)>;
    using Need = ControlVerdict::Need;
    // Queues a vendor control transfer answered with `length` bytes (0 for a
    // plain write). Transfers leave in the order they were queued, bulk OUT
    // writes among them. A first timeout is sent once more; a device gone,
    // or three timeouts in a row, loses the link (connectionLost); any other
    // failure is logged and handed to `done`, the session goes on. Without
    // an open device nothing is sent and `done` gets LIBUSB_ERROR_OTHER.
    // `receiver` gone, `done` is not called.
    void control(uint8_t request, uint16_t index, uint16_t value, int length = 0, Need need = Need::Required,
                 QObject *receiver = nullptr, Done done = {});
    // Queues a bulk OUT write of `length` bytes (copied now).
    void bulkWrite(const unsigned char *data, int length, QObject *receiver = nullptr, Done done = {});
    // Starts the streaming bulk IN read once what is queued before has gone out.
    void startReadingAfterQueue();
    // Runs `done` once what is queued before has gone out (result 0, or
    // LIBUSB_ERROR_OTHER without a device).
    void afterQueue(QObject *receiver, Done done);
    // The same, with the count of reads handed off at the moment what was
    // queued before had gone out (taken on the transport's thread, so a read
    // that lands before `done` runs is not counted as an earlier one).
    void afterQueueCounted(QObject *receiver, std::function<void(quint64 delivered)> done);
    // Transfers queued and not yet ended, their ends not yet run.
    int controlsPending() const { return pendingControls; }
    // Waits until every queued transfer has ended and runs their ends (and
    // what they queue in turn), nothing else of the event loop; false when
    // `timeoutMs` passed first. For tests and tools that read the wire after
    // acting; the window never waits.
    bool settle(int timeoutMs = 5000);
    // settle() for every transport of the process.
    static bool settleAll(int timeoutMs = 5000);

    // Completed reads wait in a queue of this many until the display takes
    // them: the instrument can send a frame every 2 ms and the window looks
    // every 10 ms, and a window held up for a second (a machine busy
    // elsewhere; some 430 of the fastest frames) must not lose what came
    // meanwhile. 8 MiB, touched only as deep as the queue has ever been.
    static constexpr int queueDepth = 512;
    struct QueueCounts {
        quint64 delivered = 0;  // reads handed off since the transport was made
        quint64 overflowed = 0; // the oldest waiting read dropped for a newer one
    };

    // The hand-off of one completed read (the USB completion, or a frame the
    // serial link assembled): under the hand-off lock it is numbered, kept in
    // `dataBuffer` as the newest read and queued; a full queue drops its
    // oldest read and counts it. Callable from any thread.
    void deliverRead(const unsigned char *data, int length);
    // Takes the oldest queued read, in the order they came, copying at most
    // `capacity` bytes under the hand-off lock. Returns its length, or -1
    // when none waits; `sequence` receives its number (1 for the first read).
    int takeRead(unsigned char *destination, int capacity, quint64 *sequence = nullptr);
    // While on, every read handed off is also announced by readArrived()
    // (from the thread that delivered it), for someone who waits for the
    // next frame and should not wait for the display tick as well.
    void setAnnounceReads(bool on) { announceReads = on; }
    QueueCounts queueCounts();
    // Reads waiting in the queue now.
    int queuedReads();
    // Copies the last completed read out of `dataBuffer` under the hand-off
    // lock, so that a completion landing meanwhile never tears it. Returns the
    // number of bytes copied (at most `capacity`); `sequence` receives the
    // number of the read the bytes belong to.
    int copyData(unsigned char *destination, int capacity, quint64 *sequence = nullptr);
    // Clears dataReady and the queue, unless a newer read than `sequence` has
    // landed since the copy, which then stays announced.
    void acknowledgeData(quint64 sequence);
    // The length of the last completed read, read under the same lock.
    int currentDataLength();

    UsbBackend *backend() const { return usb; }
    bool isEventThreadRunning() const { return eventThreadFuture.isRunning(); }
    int transfersAllocated() const { return int(transfers.size()); }

    // State, in the order of the transport's description.
    bool deviceOpened = false;
    // The last open found the instrument but was refused access to it.
    bool accessRefused = false;
    bool libUsbInitialized = false;
    libusb_device **deviceList = nullptr;
    libusb_device *device = nullptr;
    libusb_device_descriptor deviceDescriptor{};
    libusb_device_handle *deviceHandle = nullptr;
    libusb_context *context = nullptr;
    libusb_transfer *writeTransfer = nullptr;
    libusb_transfer *readTransfer = nullptr;
    std::atomic<bool> dataReady{false};
    std::atomic<int> dataLength{0};
    unsigned char dataBuffer[bufferSize];
    std::atomic<bool> eventThreadRunning{true};
    QFuture<void> eventThreadFuture;
    SerialPortConnection serialPort;
    std::atomic<bool> connectionLostFlag{false};
    std::atomic<bool> announceReads{false};

signals:
    void connectionLost();
    void readArrived();
    // From the control thread, queued to the transport's thread: one queued transfer has ended.
    void controlEnded(quint64 id, int result, const QByteArray &reply);

public slots:
    void newDataAvailable(int length);
    void clearData();

private:
    struct ControlJob {
        enum Kind { Control, BulkOut, StartReading, Marker, CountMarker } kind = Control;
        quint64 id = 0;
        uint8_t request = 0;
        uint16_t index = 0;
        uint16_t value = 0;
        int length = 0;
        Need need = Need::Required;
        libusb_device_handle *handle = nullptr;
        QByteArray payload;
    };
    quint64 queueJob(ControlJob job, QObject *receiver, Done done);
    void controlThreadLoop();
    // Sends one job, judged and retried; on the control thread.
    int runJob(const ControlJob &job, QByteArray *reply);
    // Waits until the control thread has sent everything queued.
    void waitControlsSent();
    void finishControl(quint64 id, int result, const QByteArray &reply);

    // Each bulk IN transfer lands in a buffer of its own; the completion
    // copies it into dataBuffer under handOffMutex.
    struct ReadSlot {
        LibUsbDevice *owner = nullptr;
        libusb_transfer *transfer = nullptr;
        unsigned char buffer[bufferSize];
        std::atomic<bool> inFlight{false};
        // Stalls and errors in a row, and when the next try is due (ms on retryClock).
        int failures = 0;
        qint64 retryAt = 0;
    };

    static void LIBUSB_CALL asyncBulkReadTransferCallback(libusb_transfer *transfer);
    void eventThread();
    void cancelAndFreeTransfers();
    // Submits a read again unless a close has begun; with submitMutex held.
    void resubmit(ReadSlot *slot);
    // A read that stalled or failed: its retry is scheduled, or the link is lost.
    void readFailed(ReadSlot *slot, int status);
    // On the event thread: clears the halt and resubmits the reads whose
    // retry is due. Returns the milliseconds until the next one (-1: none).
    int retryFailedReads();

    UsbBackend *usb;
    QMutex handOffMutex;
    quint64 readSequence = 0;
    // The queue of reads not yet taken: a ring of queueDepth entries, each
    // naming one of queueDepth buffers of bufferSize bytes allocated once;
    // the buffers not in the ring wait in freeStores, the last given back on
    // top. Guarded by handOffMutex.
    std::unique_ptr<unsigned char[]> queueStorage;
    int queueStore[queueDepth] = {};
    std::vector<int> freeStores;
    int queueLength[queueDepth] = {};
    quint64 queueSequence[queueDepth] = {};
    int queueHead = 0;
    int queueCount = 0;
    QueueCounts counts;
    std::vector<ReadSlot *> transfers;
    // Serialises resubmissions with the cancellations of a close, so that
    // no read is submitted after the close cancelled what was in flight.
    QMutex submitMutex;
    // Reads waiting for their retry, and the clock of their due times; guarded by submitMutex.
    std::vector<ReadSlot *> retries;
    QElapsedTimer retryClock;

    // The control queue: jobs and the thread's state under controlMutex;
    // the ends to run, by job, on the transport's thread only.
    std::mutex controlMutex;
    std::condition_variable controlWake;
    std::condition_variable controlIdle;
    std::deque<ControlJob> controlQueue;
    bool controlBusy = false;
    bool controlStopping = false;
    struct Waiting {
        QPointer<QObject> receiver;
        bool hasReceiver = false;
        Done done;
    };
    QHash<quint64, Waiting> controlEnds;
    quint64 nextControlId = 0;
    int pendingControls = 0;
    // Timeouts with no answer between them, and the refused requests already
    // said (request << 16 | index); on the control thread.
    int timeoutsInRow = 0;
    std::set<quint32> refusalsSaid;
    std::thread controlThread;
};
