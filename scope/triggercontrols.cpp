// The trigger's controls: mode, type, source, hold-off and auto time-out,
// start, stop and force. The rules live in the trigger model; these read the
// buttons, ask the model and send what it says.
#include "app/veltointerface.h"
#include "device/configprotocol.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

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
    const TriggerModel::ModeChange change = triggerModel.modeChange(triggerModeChecked(), ui->xyMode->isChecked());
    ui->forceButton->setEnabled(change.forceEnabled);
    triggerSetVisible(change.markersVisible);
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
    triggerRefreshPos();
    triggerSetIcon();
    sendTriggerControls();
    redrawRequested = true;
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
    triggerRefreshPos();
    triggerSetIcon();
    sendTriggerWrites(change.writes);
    redrawRequested = true;
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
    window->triggerRefreshPos();
    window->triggerSetIcon();
    window->sendTriggerWrites(change.writes);
    window->redrawRequested = true;
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

// --- Markers ------------------------------------------------------------------

namespace {
void placeCentred(QCPItemPixmap *item, const QPointF &pixel)
{
    const QSize size = item->pixmap().size();
    item->topLeft->setCoords(pixel.x() - size.width() / 2.0, pixel.y() - size.height() / 2.0);
}
} // namespace

void VeltoInterface::triggerSetVisible(bool on)
{
    triggerModel.triggerSetVisible(on);
    const TriggerModel::Visibility shown = triggerModel.markerVisibility();
    triggerMarker->setVisible(shown.trigger);
    windowMarker[0]->setVisible(shown.window);
    windowMarker[1]->setVisible(shown.window);
}

void VeltoInterface::triggerSetIcon()
{
    const TriggerModel::Icons icons = triggerModel.markerIcons();
    if (!icons.apply)
        return;
    triggerSetVisible(triggerModel.isVisible());
    if (!icons.trigger.isEmpty())
        triggerMarker->setPixmap(QPixmap(icons.trigger));
    if (!icons.windowLow.isEmpty())
        windowMarker[0]->setPixmap(QPixmap(icons.windowLow));
    if (!icons.windowHigh.isEmpty())
        windowMarker[1]->setPixmap(QPixmap(icons.windowHigh));
}

void VeltoInterface::triggerRefreshPos()
{
    triggerModel.triggerRefreshPos();
    triggerMarkersPlace();
}

void VeltoInterface::triggerMoveTrigger(double x, double y, bool force)
{
    if (!force && !triggerModel.isEnabled())
        return;
    placeCentred(triggerMarker, QPointF(x, y));
}

void VeltoInterface::triggerMoveWinTrigger(double x, double yLow, double yHigh, bool force)
{
    if (!force && !triggerModel.isEnabled())
        return;
    placeCentred(windowMarker[0], QPointF(x, yLow));
    placeCentred(windowMarker[1], QPointF(x, yHigh));
}

void VeltoInterface::triggerMarkersPlace(bool force)
{
    if (!triggerMarker)
        return;
    const PlotGeometry::AxisMapping keys = keyAxisMapping();
    const PlotGeometry::AxisMapping values = valueAxisMapping();
    const TriggerModel::MarkerPixel marker = triggerModel.triggerMarkerPixel(keys, values, force);
    if (marker.move)
        triggerMoveTrigger(marker.pixel.x(), marker.pixel.y(), true);
    const TriggerModel::WindowPixels window = triggerModel.windowMarkerPixels(keys, values, force);
    if (window.move)
        triggerMoveWinTrigger(window.low.x(), window.low.y(), window.high.y(), true);
}
