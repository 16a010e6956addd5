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
    usbDevice.control(Request::ConfigWrite, index, uint16_t(value & 0xFFFF));
    VELTO_LOG(QStringLiteral("Write to USB: index(") + QString::number(index) + QStringLiteral(") value:") +
             QString::number(value), 0);
}

void DeviceSession::sendMainConfigurationConfirm(int length, unsigned char index, int value, QObject *receiver,
                                                 ConfirmedReply done)
{
    if (!usbDevice.deviceOpened || length < 1) {
        // Nothing to ask: ended through the event loop as any answer.
        QMetaObject::invokeMethod(
            receiver ? receiver : this,
            [done] {
                const unsigned char none[2] = {0, 0};
                done(-1, none);
            },
            Qt::QueuedConnection);
        return;
    }
    usbDevice.control(Request::ConfirmedWrite, index, uint16_t(value & 0xFFFF), length, Need::Required, receiver,
                      [index, value, length, done](int got, QByteArray reply) {
                          const int status = got == length ? uchar(reply[0]) : -1;
                          if (status >= 0)
                              VELTO_LOG(QStringLiteral("Write to USB: index(") + QString::number(index) +
                                            QStringLiteral(") value:") + QString::number(value) +
                                            QStringLiteral(", return:") + QString::number(status),
                                        0);
                          reply.append(2, '\0'); // at least the two bytes a memory check reads
                          done(status, reinterpret_cast<const unsigned char *>(reply.constData()));
                      });
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
    usbDevice.control(Request::Frequency, words.index, words.value);
    VELTO_LOG(QStringLiteral("Write to USB: Send Frequency value:") + QString::number(value), 0);
}

void DeviceSession::readBlock(int block, int length, Need need, QObject *receiver, Done done)
{
    usbDevice.control(Request::ReadBlock, uint16_t(block), 0, length, need, receiver, std::move(done));
}

QString DeviceSession::failureText(int result)
{
    switch (result) {
    case LIBUSB_ERROR_TIMEOUT: return tr("no answer");
    case LIBUSB_ERROR_PIPE: return tr("not supported by this instrument");
    case LIBUSB_ERROR_OTHER: return tr("no instrument connected");
    default: return tr("the transfer failed (%1)").arg(result);
    }
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
        usbDevice.control(Request::ConfigWrite, ConfigEntry::SamplingRate, uint16_t(index));
    usbDevice.serialPort.setSamplingValue(index);
}

void DeviceSession::sendCalibration(int index, int value, QObject *receiver, Done done)
{
    usbDevice.control(Request::Calibration, uint16_t(index), uint16_t(value & 0xFFFF), 0, Need::Required, receiver,
                      std::move(done));
}

void DeviceSession::sendWaveformHalf(int half, const unsigned char *data, QObject *receiver, Done done)
{
    // The block and its commit are queued together, so nothing comes between
    // them; a block that did not go through fails the half.
    auto blockFailed = std::make_shared<bool>(false);
    usbDevice.bulkWrite(data, configurationBlockSize, nullptr,
                        [blockFailed](int result, const QByteArray &) { *blockFailed = result < 0; });
    const uint16_t commit = half == 0 ? CommitBlock::WaveformFirstHalf : CommitBlock::WaveformSecondHalf;
    usbDevice.control(Request::CommitBulk, commit, 0, 0, Need::Required, receiver,
                      [blockFailed, done](int result, const QByteArray &reply) {
                          done(*blockFailed ? LIBUSB_ERROR_IO : result, reply);
                      });
}

// --- Run control ----------------------------------------------------------------

void DeviceSession::sendCounterStart()
{
    usbDevice.control(Request::RunControl, RunControl::CounterStart, 0);
}

void DeviceSession::sendCounterStop()
{
    usbDevice.control(Request::RunControl, RunControl::CounterStop, 0);
}

void DeviceSession::sendScopeStart()
{
    if (!usbDevice.deviceOpened)
        return;
    usbDevice.control(Request::RunControl, RunControl::ScopeStart, 0);
    emit scopeRunningChanged(true);
}

void DeviceSession::sendScopeStop()
{
    if (!usbDevice.deviceOpened)
        return;
    usbDevice.control(Request::RunControl, RunControl::ScopeStop, 0);
    emit scopeRunningChanged(false);
}

void DeviceSession::sendScopeForce()
{
    usbDevice.control(Request::RunControl, RunControl::ScopeForce, 0);
}

void DeviceSession::sendSnifferStart()
{
    usbDevice.control(Request::RunControl, RunControl::SnifferStart, 0);
}

void DeviceSession::sendSnifferStop()
{
    usbDevice.control(Request::RunControl, RunControl::SnifferStop, 0);
}

void DeviceSession::sendSnifferClear()
{
    usbDevice.control(Request::RunControl, RunControl::SnifferClear, 0);
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

void DeviceSession::deviceInitialize()
{
    const quint64 asked = ++identifications;
    usbDevice.control(Request::ReadBlock, ReadBlock::Identification, 0, Frames::identificationLength, Need::Required,
                      this, [this, asked](int received, const QByteArray &reply) {
                          // An answer to an earlier connect, or one that came after a disconnect: nothing to go on with.
                          if (asked == identifications && usbDevice.deviceOpened)
                              identificationRead(received, reply);
                      });
}

void DeviceSession::identificationRead(int received, const QByteArray &reply)
{
    if (received != Frames::identificationLength) {
        if (usbDevice.connectionLostFlag)
            return; // the lost connection's path says what happened
        VELTO_LOG(QStringLiteral("Device initializing: unknow device, disconnecting ..."), 3);
        // The transport is closed too: a handle left claimed would refuse the next attempt.
        disconnectDevice(true);
        // The status line says so and the window is usable again; "Please wait..." would stay forever.
        emit infoText(tr("Unknown device, disconnected"), false);
        emit instrumentNote(tr("The instrument did not say what it is: unplug it, plug it in again, then press Connect"));
        return;
    }
    const auto *identification = reinterpret_cast<const unsigned char *>(reply.constData());
    const QString text = Frames::identificationText(identification, Frames::identificationLength);
    VELTO_LOG(QStringLiteral("Device connected: ") + text, 1);
    emit deviceInfoLine(QStringLiteral("Device connected: ") + text);

    const int profile = deviceProfileGet(text);
    // The device information (its health read among it) is shown first; then
    // the session starts, or, for an instrument the profile refused, ends.
    const quint64 asked = identifications;
    const std::function<void()> next = [this, asked, text, profile] {
        if (asked != identifications || !usbDevice.deviceOpened)
            return;
        if (profile != 0) {
            // The user has read why in the profile's messages. Left half open,
            // the window would stay disabled at "Please wait..." with a Connect
            // button that disconnects; let go of the instrument instead, so that
            // the next press connects (the device information stays shown).
            VELTO_LOG(QStringLiteral("Device not supported (profile check %1), disconnecting").arg(profile), 2);
            disconnectDevice(true);
            emit infoText(tr("Instrument not supported, disconnected"), false);
            emit instrumentNote(profileNote);
            return;
        }
        deviceSettingsInitialize();
        identified = text;
        emit instrumentNote(QString());
        emit connectionChanged(true);
    };
    if (infoPath.isEmpty())
        next();
    else
        deviceInfoRead(infoPath, next);
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
    infoPath = check.readDeviceInfo ? check.deviceInfoPath : QString();
    return check.code;
}

void DeviceSession::deviceInfoRead(QString path, std::function<void()> then)
{
    usbDevice.control(Request::ReadBlock, ReadBlock::Health, 0, 1, Need::Optional, this,
                      [this, path, then](int received, const QByteArray &reply) {
                          const std::optional<quint8> health =
                              received == 1 ? std::optional<quint8>(quint8(reply[0])) : std::nullopt;
                          for (const QString &line : deviceInfoLines(path, health))
                              emit deviceInfoLine(line);
                          if (then)
                              then();
                      });
}

int DeviceSession::deviceSettingsInitialize()
{
    sendScopeStop();
    configurationBulkMode = true;
    deviceSettingsSendBulk();
    configurationBulkMode = false;
    usbDevice.control(Request::CommitBulk, CommitBlock::Configuration, 0);
    VELTO_LOG(QStringLiteral("Initialize bulk read transfer"), 0);
    usbDevice.startReadingAfterQueue();
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
    usbDevice.bulkWrite(bulkBlock, configurationBlockSize);
}

void DeviceSession::disconnectDevice(bool close)
{
    scopeStartTimer.stop();
    ++identifications; // an identification still on its way is for a session that is over
    identified.clear();
    usbDevice.control(Request::Disconnect, 0, 0);
    emit titleText(usbDevice.connectionLostFlag ? QStringLiteral("Interface - Connection lost... wait")
                                                : QStringLiteral("Interface - Disconnecting... wait"));
    if (close)
        usbDevice.closeDevice();
    usbDevice.reset();
    emit connectionChanged(false);
}
