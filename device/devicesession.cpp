// SPDX-License-Identifier: GPL-3.0-only
// A session: connect, identify, check the profile, push the configuration,
// start acquisition, show the device's information; and tear it all down.
// Every configuration entry leaves through here, written at once or, while a
// session prepares its configuration block, stored in the block.
#include "device/devicesession.h"

#include "base/logging.h"
#include "core/device/configprotocol.h"
#include "core/device/frames.h"
#include "core/persistence/hardwareprofile.h"

#include <QFileInfo>
#include <QTimer>

#include <cstring>
#include <optional>

using namespace ConfigProtocol;

DeviceSession::DeviceSession(QObject *parent) : QObject(parent)
{
    std::memset(bulkBlock, 0, sizeof(bulkBlock));
    connect(&usbDevice.serialPort, &SerialPortConnection::connectionStatus, this,
            [this](const QString &status) { emit infoText(status, false); });
    // The loss is raised by whichever thread saw a transfer fail, once per
    // failed transfer; it is handled here, on the window's thread, once.
    connect(&usbDevice, &LibUsbDevice::connectionLost, this, &DeviceSession::handleConnectionLost,
            Qt::QueuedConnection);
    // A precise timer: a coarse one may fire up to 5 % early, before the instrument is ready.
    scopeStartTimer.setSingleShot(true);
    scopeStartTimer.setTimerType(Qt::PreciseTimer);
    connect(&scopeStartTimer, &QTimer::timeout, this, &DeviceSession::sendScopeStart);
}

void DeviceSession::handleConnectionLost()
{
    // Already torn down, or connected again since the loss was raised.
    if (!usbDevice.deviceOpened || !usbDevice.connectionLostFlag)
        return;
    VELTO_LOG(QStringLiteral("Connection to the instrument lost, disconnected"), 2);
    // Nothing is left half open: the user reconnects with one press, and no
    // poll keeps asking an instrument that is gone.
    disconnectDevice(true);
    emit deviceInfoCleared();
    emit infoText(tr("Connection lost: check the cable, then press Connect"), false);
    emit instrumentNote(tr("Connection lost: check the cable, then press Connect"));
}

// --- Configuration entries ----------------------------------------------------

void DeviceSession::sendMainConfiguration(unsigned char index, int value)
{
    if (configurationBulkMode) {
        if (!storeEntry(bulkBlock, index, value)) {
            VELTO_LOG(QStringLiteral("Bulk write refused: index(%1) is outside the configuration table").arg(index), 2);
            return;
        }
        VELTO_LOG(QStringLiteral("Bulk write to USB: index(") + QString::number(index) + QStringLiteral(") value:") +
                 QString::number(value), 0);
        return;
    }
    if (!usbDevice.deviceOpened)
        return;
    usbDevice.controlWriteTransfer(Request::ConfigWrite, index, uint16_t(value & 0xFFFF));
    VELTO_LOG(QStringLiteral("Write to USB: index(") + QString::number(index) + QStringLiteral(") value:") +
             QString::number(value), 0);
}

int DeviceSession::sendMainConfigurationConfirm(unsigned char *reply, int length, unsigned char index, int value)
{
    if (!usbDevice.deviceOpened || !reply || length < 1)
        return -1;
    const int got =
        usbDevice.controlReadTransfer(Request::ConfirmedWrite, reply, length, index, uint16_t(value & 0xFFFF));
    if (got != length)
        return -1;
    VELTO_LOG(QStringLiteral("Write to USB: index(") + QString::number(index) + QStringLiteral(") value:") +
             QString::number(value) + QStringLiteral(", return:") + QString::number(reply[0]), 0);
    return reply[0];
}

void DeviceSession::sendMainConfigurationFrequency(unsigned char index, long long value)
{
    if (configurationBulkMode) {
        storeEntry(bulkBlock, index, int32_t(uint32_t(value)));
        VELTO_LOG(QStringLiteral("Bulk write to USB: index(") + QString::number(index) + QStringLiteral(") value:") +
                 QString::number(value), 0);
        return;
    }
    if (!usbDevice.deviceOpened)
        return;
    const FrequencyWords words = splitFrequency(value);
    usbDevice.controlWriteTransfer(Request::Frequency, words.index, words.value);
    VELTO_LOG(QStringLiteral("Write to USB: Send Frequency value:") + QString::number(value), 0);
}

int DeviceSession::readBlock(int block, unsigned char *data, int length)
{
    return usbDevice.controlReadTransfer(Request::ReadBlock, data, length, uint16_t(block), 0);
}

void DeviceSession::sendMainModeControls(int mode)
{
    sendMainConfiguration(ConfigEntry::MainMode, mode);
}

void DeviceSession::sendDACBufferBlocks(int blocks)
{
    sendMainConfiguration(ConfigEntry::DacBufferBlocks, dacBufferBlocks(blocks));
}

void DeviceSession::sendCHBufferBlocks(int blocks)
{
    sendMainConfiguration(ConfigEntry::ChBufferBlocks, channelBufferBlocks(blocks));
}

void DeviceSession::sendWaveFrequency(long long hundredthsOfHertz)
{
    sendMainConfigurationFrequency(ConfigEntry::WaveFrequency, waveFrequency(hundredthsOfHertz));
}

void DeviceSession::sendSamplingRateQuietly(int index)
{
    // Playback re-tunes the time base at every frame: no log line per frame.
    if (usbDevice.deviceOpened)
        usbDevice.controlWriteTransfer(Request::ConfigWrite, ConfigEntry::SamplingRate, uint16_t(index));
    usbDevice.serialPort.setSamplingValue(index);
}

int DeviceSession::sendCalibration(int index, int value)
{
    return usbDevice.controlWriteTransfer(Request::Calibration, uint16_t(index), uint16_t(value & 0xFFFF));
}

bool DeviceSession::sendWaveformHalf(int half, const unsigned char *data)
{
    if (!usbDevice.deviceOpened || usbDevice.connectionLostFlag)
        return false;
    unsigned char block[configurationBlockSize];
    std::memcpy(block, data, sizeof(block));
    usbDevice.bulkWriteTransfer(block, configurationBlockSize);
    if (usbDevice.connectionLostFlag)
        return false;
    const uint16_t commit = half == 0 ? CommitBlock::WaveformFirstHalf : CommitBlock::WaveformSecondHalf;
    return usbDevice.controlWriteTransfer(Request::CommitBulk, commit, 0) >= 0;
}

// --- Run control ----------------------------------------------------------------

void DeviceSession::sendCounterStart()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::CounterStart, 0);
}

void DeviceSession::sendCounterStop()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::CounterStop, 0);
}

void DeviceSession::sendScopeStart()
{
    if (!usbDevice.deviceOpened)
        return;
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::ScopeStart, 0);
    emit scopeRunningChanged(true);
}

void DeviceSession::sendScopeStop()
{
    if (!usbDevice.deviceOpened)
        return;
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::ScopeStop, 0);
    emit scopeRunningChanged(false);
}

void DeviceSession::sendScopeForce()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::ScopeForce, 0);
}

void DeviceSession::sendSnifferStart()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::SnifferStart, 0);
}

void DeviceSession::sendSnifferStop()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::SnifferStop, 0);
}

void DeviceSession::sendSnifferClear()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::SnifferClear, 0);
}

// --- The session ------------------------------------------------------------------

void DeviceSession::toggleConnection()
{
    if (usbDevice.deviceOpened) {
        disconnectDevice(true);
        emit deviceInfoCleared();
        emit infoText(QString(), false);
        emit instrumentNote(tr("Disconnected: press Connect to use the instrument again"));
        return;
    }
    emit infoText(QStringLiteral("Please wait..."), true);
    usbDevice.initializeDevice();
    usbDevice.openDevice();
    if (!usbDevice.deviceOpened) {
        // The transport has shown why in the info area. A device that was
        // found but could not be claimed leaves the context to close here.
        const bool refused = usbDevice.accessRefused;
        usbDevice.closeDevice();
        usbDevice.reset();
        emit instrumentNote(refused ? LibUsbDevice::permissionMessage()
                                    : tr("No instrument: plug it in, then press Connect"));
        return;
    }
    deviceInitialize();
}

int DeviceSession::deviceInitialize()
{
    unsigned char identification[Frames::identificationLength] = {};
    const int received = usbDevice.controlReadTransfer(Request::ReadBlock, identification,
                                                       Frames::identificationLength, ReadBlock::Identification, 0);
    if (received != Frames::identificationLength) {
        VELTO_LOG(QStringLiteral("Device initializing: unknow device, disconnecting ..."), 3);
        // The transport is closed too: a handle left claimed would refuse the next attempt.
        disconnectDevice(true);
        // The status line says so and the window is usable again; "Please wait..." would stay forever.
        emit infoText(tr("Unknown device, disconnected"), false);
        emit instrumentNote(tr("The instrument did not say what it is: unplug it, plug it in again, then press Connect"));
        return 1;
    }
    const QString text = Frames::identificationText(identification, Frames::identificationLength);
    VELTO_LOG(QStringLiteral("Device connected: ") + text, 1);
    emit deviceInfoLine(QStringLiteral("Device connected: ") + text);

    const int profile = deviceProfileGet(text);
    if (profile != 0) {
        // The user has read why in the profile's messages. Left half open,
        // the window would stay disabled at "Please wait..." with a Connect
        // button that disconnects; let go of the instrument instead, so that
        // the next press connects (the device information stays shown).
        VELTO_LOG(QStringLiteral("Device not supported (profile check %1), disconnecting").arg(profile), 2);
        disconnectDevice(true);
        emit infoText(tr("Instrument not supported, disconnected"), false);
        emit instrumentNote(profileNote);
        return profile;
    }

    deviceSettingsInitialize();
    identified = text;
    emit instrumentNote(QString());
    emit connectionChanged(true);
    return 0;
}

int DeviceSession::deviceProfileGet(QString identification)
{
    const DeviceProfileCheck check = checkDeviceProfile(identification);
    profileNote = check.note.isEmpty() ? tr("Instrument not supported") : check.note;
    // The data files may come from three folders: which ones were read is said.
    QStringList used;
    for (const QString &path : {check.profilePath, check.deviceInfoPath}) {
        if (path.isEmpty() || !QFileInfo(path).isFile())
            continue;
        used << QFileInfo(path).absoluteFilePath();
        VELTO_LOG(tr("Data file: %1").arg(used.last()), 1);
        emit deviceInfoLine(tr("Data file: %1").arg(used.last()));
    }
    if (!used.isEmpty())
        emit dataFilesRead(used);
    if (!check.messages.isEmpty())
        emit profileMessages(check.messages);
    if (check.readDeviceInfo)
        deviceInfoRead(check.deviceInfoPath);
    return check.code;
}

void DeviceSession::deviceInfoRead(QString path)
{
    unsigned char health = 0;
    const int received = usbDevice.controlReadTransfer(Request::ReadBlock, &health, 1, ReadBlock::Health, 0);
    const std::optional<quint8> healthByte = received == 1 ? std::optional<quint8>(health) : std::nullopt;
    for (const QString &line : deviceInfoLines(path, healthByte))
        emit deviceInfoLine(line);
}

int DeviceSession::deviceSettingsInitialize()
{
    sendScopeStop();
    configurationBulkMode = true;
    deviceSettingsSendBulk();
    configurationBulkMode = false;
    usbDevice.controlWriteTransfer(Request::CommitBulk, CommitBlock::Configuration, 0);
    VELTO_LOG(QStringLiteral("Initialize bulk read transfer"), 0);
    usbDevice.asyncBulkReadTransfer();
    emit interactivePassRequested();
    scopeStartTimer.start(scopeStartDelayMs);
    return 0;
}

void DeviceSession::deviceSettingsSendBulk()
{
    // The block is made whole each time: entries no sender writes go out as 0,
    // not as what a custom waveform left in the first half of the buffer.
    std::memset(bulkBlock, 0, configurationBlockSize);
    emit configurationPassRequested();
    VELTO_LOG(QStringLiteral("Finish prepare configuration, now send buffer as AWG"), 0);
    for (int i = 0; i < ConfigEntry::Count; ++i)
        VELTO_LOG(QStringLiteral(">> buffer: index[") + QString::number(i) + QStringLiteral("] value:") +
                 QString::number(entryAt(bulkBlock, i) & 0xFF), 0);
    usbDevice.bulkWriteTransfer(bulkBlock, configurationBlockSize);
}

void DeviceSession::disconnectDevice(bool close)
{
    scopeStartTimer.stop();
    identified.clear();
    usbDevice.controlWriteTransfer(Request::Disconnect, 0, 0);
    emit titleText(usbDevice.connectionLostFlag ? QStringLiteral("Interface - Connection lost... wait")
                                                : QStringLiteral("Interface - Disconnecting... wait"));
    if (close)
        usbDevice.closeDevice();
    usbDevice.reset();
    emit connectionChanged(false);
}
