// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/device/configprotocol.h"
#include "device/libusbdevice.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

struct CriticalMessage;

// The instrument from connect to disconnect, and the one way every
// controller writes a configuration entry. It owns the transport and the
// 1024-byte configuration block. It has no widgets: it reports through
// signals that the window turns into status texts, titles and enables.
class DeviceSession : public QObject
{
    Q_OBJECT
public:
    explicit DeviceSession(QObject *parent = nullptr);

    LibUsbDevice &usb() { return usbDevice; }
    bool isOpen() const { return usbDevice.deviceOpened; }
    // True while a session start gathers the configuration block instead of
    // writing each entry.
    bool bulkMode() const { return configurationBulkMode; }
    unsigned char *bulkBuffer() { return bulkBlock; }
    // Gathers entries into the block instead of writing them, as a session start does.
    void setBulkMode(bool on) { configurationBulkMode = on; }
    // Delay of the scope start after a configuration push; tests shorten it.
    void setScopeStartDelay(int milliseconds) { scopeStartDelayMs = milliseconds; }
    // The instrument is configured and its scope not yet started: the start
    // comes once it is ready, and would undo a stop sent before.
    bool scopeStartPending() const { return scopeStartTimer.isActive(); }

    // --- Configuration entries ------------------------------------------------
    // Every transfer is queued: the call returns at once, and what needs the
    // answer goes on from `done` (run later, on this thread, while
    // `receiver` lives). See LibUsbDevice::control.
    using Done = LibUsbDevice::Done;
    using Need = ControlVerdict::Need;
    void sendMainConfiguration(unsigned char index, int value);
    // A write the instrument confirms with `length` bytes: `done` gets the
    // first byte (0 accepted, 1 short of memory, …) and the reply (at least
    // two bytes), or -1 when the reply did not come whole.
    using ConfirmedReply = ConfigProtocol::ConfirmedReply;
    void sendMainConfigurationConfirm(int length, unsigned char index, int value, QObject *receiver,
                                      ConfirmedReply done);
    void sendMainConfigurationFrequency(unsigned char index, long long value);
    // Reads one block of request 0x47: `done` gets the bytes received (or a
    // negative code) and the bytes.
    void readBlock(int block, int length, Need need, QObject *receiver, Done done);
    // What a page says of a read that failed with libusb's `result` ("no answer").
    static QString failureText(int result);
    void sendMainModeControls(int mode);
    void sendDACBufferBlocks(int blocks);
    void sendCHBufferBlocks(int blocks);
    void sendWaveFrequency(long long hundredthsOfHertz);
    void sendSamplingRateQuietly(int index);
    // Request 0x43: a calibration step (wIndex 0, 1), its acceptance, or the
    // ADC offset calibration (wIndex 2, 3). `done` gets the transport's result.
    void sendCalibration(int index, int value, QObject *receiver, Done done);
    // One 512-byte half of the generator's custom waveform by bulk OUT, then
    // its commit (0x45, wIndex = half). `done` gets a negative result when
    // either did not go through.
    void sendWaveformHalf(int half, const unsigned char *data, QObject *receiver, Done done);

    // --- Run control ------------------------------------------------------------
    void sendCounterStart();
    void sendCounterStop();
    void sendScopeStart();
    void sendScopeStop();
    void sendScopeForce();
    void sendSnifferStart();
    void sendSnifferStop();
    void sendSnifferClear();

    // --- The session --------------------------------------------------------------
    // The connect button: connects when closed, disconnects when open.
    void toggleConnection();
    // Asks the instrument what it is; the session goes on from the answer.
    void deviceInitialize();
    // The profile check; the device information file it found, if it is to
    // be read, is kept for deviceInfoRead.
    int deviceProfileGet(QString identification);
    // Reads the health byte and shows the device information, then runs `then`.
    void deviceInfoRead(QString path, std::function<void()> then = {});
    int deviceSettingsInitialize();
    void deviceSettingsSendBulk();
    void disconnectDevice(bool close);
    // What the instrument said it is ("VSIM.2.7 Velto virtual bench") while
    // a session runs; empty when none does.
    QString identification() const { return identified; }

signals:
    void infoText(const QString &text, bool busy);
    void titleText(const QString &text);
    // Connected after a whole session start, disconnected after any teardown.
    void connectionChanged(bool connected);
    void deviceInfoLine(const QString &line);
    void deviceInfoCleared();
    // The absolute paths of the hardware profile and device information files read.
    void dataFilesRead(const QStringList &paths);
    // The profile check's messages, to be shown before the session goes on.
    void profileMessages(const QVector<CriticalMessage> &messages);
    // Every control's handler in order: the configuration block is gathered
    // from it during a session start.
    void configurationPassRequested();
    // The size-dependent settings, sent one by one after the block.
    void interactivePassRequested();
    void scopeRunningChanged(bool running);
    // Why there is no instrument to show and what to do, for the plot; empty
    // once a session has started.
    void instrumentNote(const QString &note);

private:
    // A failed transfer: the session is torn down once and the user told.
    void handleConnectionLost();
    // The identification's answer: the profile check, the device information
    // and the configuration push, or a refusal.
    void identificationRead(int received, const QByteArray &reply);

    LibUsbDevice usbDevice;
    // The profile check's note for the plot when it refused the instrument.
    QString profileNote;
    // The device information file the last profile check found to read ("" none).
    QString infoPath;
    QString identified;
    // Counts the identifications asked and the disconnects, so that an answer knows whether it is still wanted.
    quint64 identifications = 0;
    unsigned char bulkBlock[1024];
    bool configurationBulkMode = false;
    int scopeStartDelayMs = 2000;
    // The scope start that follows a configuration push; a disconnect stops
    // it, so that a session started meanwhile is not started early.
    QTimer scopeStartTimer;
};
