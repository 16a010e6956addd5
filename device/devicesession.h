// SPDX-License-Identifier: GPL-3.0-only
#pragma once

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
    void sendMainConfiguration(unsigned char index, int value);
    int sendMainConfigurationConfirm(unsigned char *reply, int length, unsigned char index, int value);
    void sendMainConfigurationFrequency(unsigned char index, long long value);
    // Reads one block of request 0x47; returns the bytes received (or a
    // negative code), nothing when no device is open.
    int readBlock(int block, unsigned char *data, int length);
    void sendMainModeControls(int mode);
    void sendDACBufferBlocks(int blocks);
    void sendCHBufferBlocks(int blocks);
    void sendWaveFrequency(long long hundredthsOfHertz);
    void sendSamplingRateQuietly(int index);
    // Request 0x43: a calibration step (wIndex 0, 1), its acceptance, or the
    // ADC offset calibration (wIndex 2, 3). Returns the transport's result.
    int sendCalibration(int index, int value);
    // One 512-byte half of the generator's custom waveform by bulk OUT, then
    // its commit (0x45, wIndex = half). False when either did not go through.
    bool sendWaveformHalf(int half, const unsigned char *data);

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
    int deviceInitialize();
    int deviceProfileGet(QString identification);
    void deviceInfoRead(QString path);
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

    LibUsbDevice usbDevice;
    // The profile check's note for the plot when it refused the instrument.
    QString profileNote;
    QString identified;
    unsigned char bulkBlock[1024];
    bool configurationBulkMode = false;
    int scopeStartDelayMs = 2000;
    // The scope start that follows a configuration push; a disconnect stops
    // it, so that a session started meanwhile is not started early.
    QTimer scopeStartTimer;
};
