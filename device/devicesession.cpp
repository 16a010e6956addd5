// A session: connect, identify, check the profile, push the configuration,
// start acquisition, show the device's information; and tear it all down.
#include "app/veltointerface.h"
#include "device/configprotocol.h"
#include "persistence/hardwareprofile.h"
#include "persistence/messagepresenter.h"
#include "ui_veltointerface.h"

#include <QPixmap>
#include <QTimer>

#include <optional>

void VeltoInterface::on_connectButton_clicked()
{
    if (usbDevice.deviceOpened) {
        disconnectDevice(true);
        ui->connectButton->setText(QStringLiteral("Connect"));
        ui->textBrowserDeviceInfo->clear();
        setInfoText(QString(), false);
        return;
    }
    setInfoText(QStringLiteral("Please wait..."), true);
    usbDevice.initializeDevice();
    usbDevice.openDevice();
    if (!usbDevice.deviceOpened) {
        // The transport has shown why in the info area. A device that was
        // found but could not be claimed leaves the context to close here.
        usbDevice.closeDevice();
        usbDevice.reset();
        return;
    }
    if (deviceInitialize() == 0)
        ui->connectButton->setText(QStringLiteral("Disconnect"));
}

int VeltoInterface::deviceInitialize()
{
    unsigned char identification[Frames::identificationLength];
    clearBuffer(identification, sizeof(identification));
    const int received = usbDevice.controlReadTransfer(Request::ReadBlock, identification,
                                                       Frames::identificationLength, ReadBlock::Identification, 0);
    if (received != Frames::identificationLength) {
        logToFile(QStringLiteral("Device initializing: unknow device, disconnecting ..."), 3);
        // The transport is closed too: a handle left claimed would refuse the next attempt.
        disconnectDevice(true);
        // The status line says so and the window is usable again; "Please wait..." would stay forever.
        setInfoText(tr("Unknown device, disconnected"), false);
        return 1;
    }
    const QString text = getStringFromUnsignedChar(identification, Frames::identificationLength);
    logToFile(QStringLiteral("Device connected: ") + text, 1);
    ui->textBrowserDeviceInfo->append(QStringLiteral("Device connected: ") + text);

    const int profile = deviceProfileGet(text);
    if (profile != 0)
        return profile;

    deviceSettingsInitialize();

    ui->connectLabel->setText(tr("USB Connected"));
    changeWindowTitle(QStringLiteral("Interface - USB Connected"));
    ui->connectIcon->setPixmap(QPixmap(QStringLiteral(":/icons/led-on.png")));
    setInfoText(QStringLiteral("USB Connected"), false);
    return 0;
}

int VeltoInterface::deviceProfileGet(QString identification)
{
    const DeviceProfileCheck check = checkDeviceProfile(identification);
    showProfileMessages(check, criticalMessagePresenter(), this);
    if (check.readDeviceInfo)
        deviceInfoRead(check.deviceInfoFile);
    return check.code;
}

void VeltoInterface::deviceInfoRead(QString path)
{
    unsigned char health = 0;
    const int received = usbDevice.controlReadTransfer(Request::ReadBlock, &health, 1, ReadBlock::Health, 0);
    const std::optional<quint8> healthByte = received == 1 ? std::optional<quint8>(health) : std::nullopt;
    for (const QString &line : deviceInfoLines(path, healthByte))
        ui->textBrowserDeviceInfo->append(line);
}

int VeltoInterface::deviceSettingsInitialize()
{
    sendScopeStop();
    configurationBulkMode = true;
    deviceSettingsSendBulk();
    configurationBulkMode = false;
    usbDevice.controlWriteTransfer(Request::CommitBulk, CommitBlock::Configuration, 0);
    logToFile(QStringLiteral("Initialize bulk read transfer"), 0);
    usbDevice.asyncBulkReadTransfer();
    deviceSettingsSendInteractive();
    // A precise timer: a coarse one may fire up to 5 % early, before the instrument is ready.
    QTimer::singleShot(scopeStartDelayMs, Qt::PreciseTimer, this, &VeltoInterface::scopeStartForce);
    return 0;
}

void VeltoInterface::deviceSettingsExec()
{
    // Every control's handler in a fixed order, so that the instrument (or,
    // during a session start, the configuration block) receives the whole
    // state the window shows. Handlers of controls that arrive later take
    // their places in this order.
    channel1GainSliderChanged(ui->ch1GainSlider->value(), true);
    on_ch1PositionSlider_valueChanged(ui->ch1PositionSlider->value());
    channel1ACDCChanged(true);
    sendCH1Controls();
    channel2GainSliderChanged(ui->ch2GainSlider->value(), true);
    on_ch2PositionSlider_valueChanged(ui->ch2PositionSlider->value());
    channel2ACDCChanged(true);
    sendCH2Controls();
    on_chdSizeSlider_valueChanged();
    on_chdPositionSlider_valueChanged(ui->chdPositionSlider->value());
    sendCHDBitControls();
    fftControlsPlotSet();
    fftWindowFunctionSet();
    displayIntensitySliderChanged(ui->intensitySlider->value());
    displayVectorsChanged(ui->checkBoxVectors->isChecked());
    displayControlsSet();
    applyScopeConfiguration();
    cursorsVerticalChanged(ui->checkBoxCursorVertical->isChecked());
    cursorsHorizontalChanged(ui->checkBoxScopeCursorsHorizontal->isChecked());
    cursorsHorizontalTypeSet(ui->comboBoxScopeCursorsHorizontalType->currentIndex());
    cursorsSetChannelActive(ui->comboBoxScopeCursorsChannel->currentIndex());
    scopeTriggerSourceChanged(ui->comboBoxTrigSource->currentIndex());
    scopeSetTriggerAutoTimer(ui->doubleSpinBoxTrigAuto->value());
    on_doubleSpinBoxTrigHold_valueChanged(ui->doubleSpinBoxTrigHold->value());
    sendTriggerWrites({triggerModel.levelWrite(), triggerModel.windowLowWrite(), triggerModel.windowHighWrite(),
                       triggerModel.postWrite()});
    scopeSetTriggerMode();
    scopeSetTriggerType();
    scopeRollModeChanged();
    sendMixedControls();
    scopeSamplingSliderChanged(ui->samplingSlider->value());
    meterTabChanged(ui->mmTabWidget->currentIndex());
    frequencyDigitsValueChanged();
    sendMixedControls();
    mainTabChanged(ui->mainTabWidget->currentIndex());
}

void VeltoInterface::deviceSettingsSendInteractive()
{
    awgDACBufferChanged(ui->comboBoxDACBuffer->currentIndex());
    scopeADCBufferChanged(ui->comboBoxADCBuffer->currentIndex());
    frequencyDigitsValueChanged();
    channel1TraceChanged(ui->checkBoxCH1Trace->isChecked());
    channel2TraceChanged(ui->checkBoxCH2Trace->isChecked());
    channelLogicTraceChanged();
    awgEnableChanged();
}

void VeltoInterface::disconnectDevice(bool close)
{
    usbDevice.controlWriteTransfer(Request::Disconnect, 0, 0);
    changeWindowTitle(usbDevice.connectionLostFlag ? QStringLiteral("Interface - Connection lost... wait")
                                                   : QStringLiteral("Interface - Disconnecting... wait"));
    if (close)
        usbDevice.closeDevice();
    usbDevice.reset();
    ui->connectLabel->setText(tr("Not Connected"));
    changeWindowTitle(QStringLiteral("Interface - Not Connected"));
    ui->connectIcon->setPixmap(QPixmap(QStringLiteral(":/icons/led-off.png")));
}
