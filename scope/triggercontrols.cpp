// The trigger's controls: mode, type, source, hold-off and auto time-out,
// start, stop and force. The rules live in the trigger model; these read the
// buttons, ask the model and send what it says.
#include "app/veltointerface.h"
#include "device/configprotocol.h"
#include "ui_veltointerface.h"

Trigger::Mode VeltoInterface::triggerModeChecked() const
{
    if (ui->radioButtonNormal->isChecked())
        return Trigger::Normal;
    if (ui->radioButtonAuto->isChecked())
        return Trigger::Auto;
    if (ui->radioButtonSingle->isChecked())
        return Trigger::Single;
    return Trigger::Free;
}

void VeltoInterface::sendTriggerControls()
{
    sendMainConfiguration(ConfigEntry::TriggerControls, triggerModel.triggerControlValue(triggerModeChecked()));
}

void VeltoInterface::sendTriggerWrites(const QVector<Trigger::ConfigWrite> &writes)
{
    for (const Trigger::ConfigWrite &write : writes)
        sendMainConfiguration(uchar(write.index), write.value);
}

void VeltoInterface::sendTriggerSource(int index)
{
    sendMainConfiguration(ConfigEntry::TriggerSource, index);
}

void VeltoInterface::sendTriggerHold(int value)
{
    sendMainConfiguration(ConfigEntry::TriggerHold, value);
}

void VeltoInterface::scopeSetTriggerType()
{
    // The markers' visibility follows with the plot items.
    const TriggerModel::ModeChange change = triggerModel.modeChange(triggerModeChecked(), false);
    ui->forceButton->setEnabled(change.forceEnabled);
    triggerModel.triggerSetVisible(change.markersVisible);
    sendTriggerControls();
    // While a session prepares its configuration block the scope stays
    // stopped: the session starts it once the instrument is configured.
    if (change.startAcquisition && !configurationBulkMode)
        sendScopeStart();
    redrawRequested = true;
}

void VeltoInterface::scopeSetTriggerMode()
{
    int type = Trigger::RisingEdge;
    if (ui->radioButtonFallingEdge->isChecked())
        type = Trigger::FallingEdge;
    else if (ui->radioButtonDual->isChecked())
        type = Trigger::DualEdge;
    else if (ui->radioButtonPositiveSlope->isChecked())
        type = Trigger::PositiveSlope;
    else if (ui->radioButtonNegativeSlope->isChecked())
        type = Trigger::NegativeSlope;
    else if (ui->radioButtonWindow->isChecked())
        type = Trigger::Window;
    triggerModel.triggerSetMode(type);
    triggerModel.triggerRefreshPos();
    sendTriggerControls();
}

void VeltoInterface::scopeTriggerSourceChanged(int index)
{
    scopeSetTriggerType();
    const TriggerModel::SourceChange change = triggerModel.sourceChanged(index, triggerModeChecked());
    if (change.typeChanged)
        ui->radioButtonRisingEdge->setChecked(true);
    ui->radioButtonPositiveSlope->setEnabled(change.slopeAndWindowEnabled);
    ui->radioButtonNegativeSlope->setEnabled(change.slopeAndWindowEnabled);
    ui->radioButtonWindow->setEnabled(change.slopeAndWindowEnabled);
    sendTriggerWrites(change.writes);
}

void VeltoInterface::scopeSetTriggerAutoTimer(double seconds)
{
    sendMainConfiguration(ConfigEntry::AutoTrigger, Trigger::autoTriggerValue(seconds));
}

void VeltoInterface::on_stopButton_clicked()
{
    if (ui->stopButton->text() == tr("START"))
        sendScopeStart();
    else
        sendScopeStop();
}

void VeltoInterface::on_forceButton_clicked() { sendScopeForce(); }
void VeltoInterface::on_comboBoxTrigSource_currentIndexChanged(int index) { scopeTriggerSourceChanged(index); }
void VeltoInterface::on_radioButtonFree_clicked() { scopeSetTriggerType(); }
void VeltoInterface::on_radioButtonNormal_clicked() { scopeSetTriggerType(); }
void VeltoInterface::on_radioButtonAuto_clicked() { scopeSetTriggerType(); }
void VeltoInterface::on_radioButtonSingle_clicked() { scopeSetTriggerType(); }
void VeltoInterface::on_radioButtonRisingEdge_clicked() { scopeSetTriggerMode(); }
void VeltoInterface::on_radioButtonFallingEdge_clicked() { scopeSetTriggerMode(); }
void VeltoInterface::on_radioButtonDual_clicked() { scopeSetTriggerMode(); }
void VeltoInterface::on_radioButtonPositiveSlope_clicked() { scopeSetTriggerMode(); }
void VeltoInterface::on_radioButtonNegativeSlope_clicked() { scopeSetTriggerMode(); }
void VeltoInterface::on_radioButtonWindow_clicked() { scopeSetTriggerMode(); }
void VeltoInterface::on_doubleSpinBoxTrigAuto_valueChanged(double seconds) { scopeSetTriggerAutoTimer(seconds); }

void VeltoInterface::on_doubleSpinBoxTrigHold_valueChanged(double value)
{
    sendTriggerHold(Trigger::triggerHoldValue(value));
}

namespace {
// An inverted channel turns its trigger edge over; the model says how.
void followInvert(VeltoInterface *window, Ui::VeltoInterface *ui, TriggerModel &model, int channel)
{
    const TriggerModel::InvertChange change = model.invertToggled(channel, window->triggerModeChecked());
    if (change.typeChanged) {
        ui->radioButtonRisingEdge->setChecked(model.type() == Trigger::RisingEdge);
        ui->radioButtonFallingEdge->setChecked(model.type() == Trigger::FallingEdge);
    }
    window->sendTriggerWrites(change.writes);
}
} // namespace

void VeltoInterface::on_checkBoxCH1Invert_toggled()
{
    followInvert(this, ui, triggerModel, Trigger::ChannelCh1);
}

void VeltoInterface::on_checkBoxCH2Invert_toggled()
{
    followInvert(this, ui, triggerModel, Trigger::ChannelCh2);
}
