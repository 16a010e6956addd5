// The senders: each control's value becomes one configuration entry, written
// at once or, while a session prepares its configuration block, stored there.
#include "app/veltointerface.h"
#include "device/configprotocol.h"
#include "ui_veltointerface.h"

#include <cstring>

using namespace ConfigProtocol;

void VeltoInterface::sendMainConfiguration(unsigned char index, int value)
{
    if (configurationBulkMode) {
        if (!storeEntry(bulkBuffer, index, value)) {
            logToFile(QStringLiteral("Bulk write refused: index(%1) is outside the configuration table").arg(index), 2);
            return;
        }
        logToFile(QStringLiteral("Bulk write to USB: index(") + QString::number(index) + QStringLiteral(") value:") +
                      QString::number(value),
                  0);
        return;
    }
    if (!usbDevice.deviceOpened)
        return;
    usbDevice.controlWriteTransfer(Request::ConfigWrite, index, uint16_t(value & 0xFFFF));
    logToFile(QStringLiteral("Write to USB: index(") + QString::number(index) + QStringLiteral(") value:") +
                  QString::number(value),
              0);
}

int VeltoInterface::sendMainConfigurationConfirm(unsigned char *reply, int length, unsigned char index, int value)
{
    if (!usbDevice.deviceOpened || !reply || length < 1)
        return -1;
    const int got = usbDevice.controlReadTransfer(Request::ConfirmedWrite, reply, length, index,
                                                  uint16_t(value & 0xFFFF));
    if (got != length)
        return -1;
    logToFile(QStringLiteral("Write to USB: index(") + QString::number(index) + QStringLiteral(") value:") +
                  QString::number(value) + QStringLiteral(", return:") + QString::number(reply[0]),
              0);
    return reply[0];
}

void VeltoInterface::sendMainConfigurationFrequency(unsigned char index, long long value)
{
    if (configurationBulkMode) {
        storeEntry(bulkBuffer, index, int32_t(uint32_t(value)));
        logToFile(QStringLiteral("Bulk write to USB: index(") + QString::number(index) + QStringLiteral(") value:") +
                      QString::number(value),
                  0);
        return;
    }
    if (!usbDevice.deviceOpened)
        return;
    const FrequencyWords words = splitFrequency(value);
    usbDevice.controlWriteTransfer(Request::Frequency, words.index, words.value);
    logToFile(QStringLiteral("Write to USB: Send Frequency value:") + QString::number(value), 0);
}

void VeltoInterface::deviceSettingsSendBulk()
{
    // The block is made whole each time: entries no sender writes go out as 0,
    // not as what a custom waveform left in the first half of the buffer.
    std::memset(bulkBuffer, 0, configurationBlockSize);
    deviceSettingsExec();
    logToFile(QStringLiteral("Finish prepare configuration, now send buffer as AWG"), 0);
    for (int i = 0; i < ConfigEntry::Count; ++i)
        logToFile(QStringLiteral(">> buffer: index[") + QString::number(i) + QStringLiteral("] value:") +
                      QString::number(entryAt(bulkBuffer, i) & 0xFF),
                  0);
    usbDevice.bulkWriteTransfer(bulkBuffer, configurationBlockSize);
}

void VeltoInterface::sendCouterStart()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::CounterStart, 0);
}

void VeltoInterface::sendCouterStop()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::CounterStop, 0);
}

void VeltoInterface::sendScopeStart()
{
    if (!usbDevice.deviceOpened)
        return;
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::ScopeStart, 0);
    ui->stopButton->setText(tr("STOP"));
}

void VeltoInterface::sendScopeStop()
{
    if (!usbDevice.deviceOpened)
        return;
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::ScopeStop, 0);
    ui->stopButton->setText(tr("START"));
}

void VeltoInterface::sendScopeForce()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::ScopeForce, 0);
}

void VeltoInterface::sendSnifferStart()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::SnifferStart, 0);
}

void VeltoInterface::sendSnifferStop()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::SnifferStop, 0);
}

void VeltoInterface::sendSnifferClear()
{
    usbDevice.controlWriteTransfer(Request::RunControl, RunControl::SnifferClear, 0);
}

void VeltoInterface::scopeStartForce()
{
    sendScopeStart();
}

void VeltoInterface::sendMainModeControls(int mode)
{
    sendMainConfiguration(ConfigEntry::MainMode, mode);
}

void VeltoInterface::sendCH1Controls()
{
    sendMainConfiguration(ConfigEntry::Ch1Controls, scopeCH1ControlsValue());
}

int VeltoInterface::sendCH1Controls(unsigned char *reply, int length)
{
    return sendMainConfigurationConfirm(reply, length, ConfigEntry::Ch1Controls, scopeCH1ControlsValue());
}

void VeltoInterface::sendCH2Controls()
{
    sendMainConfiguration(ConfigEntry::Ch2Controls, scopeCH2ControlsValue());
}

int VeltoInterface::sendCH2Controls(unsigned char *reply, int length)
{
    return sendMainConfigurationConfirm(reply, length, ConfigEntry::Ch2Controls, scopeCH2ControlsValue());
}

void VeltoInterface::sendCHDControls()
{
    sendMainConfiguration(ConfigEntry::ChdControls, scopeCHDControlsValue());
}

int VeltoInterface::sendCHDControls(unsigned char *reply, int length)
{
    return sendMainConfigurationConfirm(reply, length, ConfigEntry::ChdControls, scopeCHDControlsValue());
}

void VeltoInterface::sendCHDBitControls()
{
    const bool shown[8] = {ui->checkBoxCHD0->isChecked(), ui->checkBoxCHD1->isChecked(), ui->checkBoxCHD2->isChecked(),
                           ui->checkBoxCHD3->isChecked(), ui->checkBoxCHD4->isChecked(), ui->checkBoxCHD5->isChecked(),
                           ui->checkBoxCHD6->isChecked(), ui->checkBoxCHD7->isChecked()};
    sendMainConfiguration(ConfigEntry::ChdBits, logicBitsByte(shown));
}

int VeltoInterface::sendDACControls(unsigned char *reply, int length)
{
    return sendMainConfigurationConfirm(reply, length, ConfigEntry::DacEnable, ui->checkBoxAWBEnable->isChecked() ? 1 : 0);
}

void VeltoInterface::sendMixedControls()
{
    // The sniffer's single mode joins with the sniffer's controls.
    sendMainConfiguration(ConfigEntry::MixedControls,
                          mixedControls(ui->rollMode->isChecked(), ui->elasticMode->isChecked(), false,
                                        ui->checkBoxmeterondev->isChecked(), awgSaveMode));
}

void VeltoInterface::sendDACBufferBlocks(int blocks)
{
    sendMainConfiguration(ConfigEntry::DacBufferBlocks, dacBufferBlocks(blocks));
}

void VeltoInterface::sendCHBufferBlocks(int blocks)
{
    sendMainConfiguration(ConfigEntry::ChBufferBlocks, channelBufferBlocks(blocks));
}

void VeltoInterface::sendWaveFrequency(long long hundredthsOfHertz)
{
    sendMainConfigurationFrequency(ConfigEntry::WaveFrequency, waveFrequency(hundredthsOfHertz));
}
