// SPDX-License-Identifier: GPL-3.0-only
// The trigger's controls and markers.
#include "scope/triggercontrols.h"

#include "core/device/configprotocol.h"
#include "device/devicesession.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

#include <QSignalBlocker>

namespace {
void placeCentred(QCPItemPixmap *item, const QPointF &pixel)
{
    const QSize size = item->pixmap().size();
    item->topLeft->setCoords(pixel.x() - size.width() / 2.0, pixel.y() - size.height() / 2.0);
}
} // namespace

TriggerControls::TriggerControls(Ui::VeltoInterface *ui, ScopeState *state, ScopePlot *plot, DeviceSession *session,
                                 QObject *parent)
    : QObject(parent), ui(ui), state(state), plot(plot), session(session)
{
    triggerModel.triggerInit();
    triggerModel.setFrameSize(state->samplesPerChannel);
    // The button switched on, however it was (a click, a script, the stored
    // settings), is what the instrument gets.
    for (QRadioButton *mode : {ui->radioButtonFree, ui->radioButtonNormal, ui->radioButtonAuto, ui->radioButtonSingle})
        connect(mode, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                scopeSetTriggerType();
        });
    for (QRadioButton *type : {ui->radioButtonRisingEdge, ui->radioButtonFallingEdge, ui->radioButtonDual,
                               ui->radioButtonPositiveSlope, ui->radioButtonNegativeSlope, ui->radioButtonWindow})
        connect(type, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                scopeSetTriggerMode();
        });
    connect(ui->comboBoxTrigSource, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TriggerControls::scopeTriggerSourceChanged);
    connect(ui->doubleSpinBoxTrigAuto, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &TriggerControls::scopeSetTriggerAutoTimer);
    connect(ui->doubleSpinBoxTrigHold, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &TriggerControls::triggerHoldChanged);
    connect(ui->stopButton, &QPushButton::clicked, this, &TriggerControls::stopButtonClicked);
    connect(ui->forceButton, &QPushButton::clicked, session, &DeviceSession::sendScopeForce);
    connect(ui->checkBoxCH1Invert, &QCheckBox::toggled, this, [this] { followInvert(Trigger::ChannelCh1); });
    connect(ui->checkBoxCH2Invert, &QCheckBox::toggled, this, [this] { followInvert(Trigger::ChannelCh2); });
    connect(session, &DeviceSession::scopeRunningChanged, this,
            [ui](bool running) { ui->stopButton->setText(running ? tr("STOP") : tr("START")); });
}

Trigger::Mode TriggerControls::triggerModeChecked() const
{
    if (ui->radioButtonNormal->isChecked())
        return Trigger::Normal;
    if (ui->radioButtonAuto->isChecked())
        return Trigger::Auto;
    if (ui->radioButtonSingle->isChecked())
        return Trigger::Single;
    return Trigger::Free;
}

void TriggerControls::sendTriggerControls()
{
    session->sendMainConfiguration(ConfigEntry::TriggerControls, triggerModel.triggerControlValue(triggerModeChecked()));
}

void TriggerControls::sendTriggerWrites(const QVector<Trigger::ConfigWrite> &writes)
{
    for (const Trigger::ConfigWrite &write : writes)
        session->sendMainConfiguration(uchar(write.index), write.value);
}

void TriggerControls::sendTriggerSource(int index)
{
    session->sendMainConfiguration(ConfigEntry::TriggerSource, index);
}

void TriggerControls::sendTriggerHold(int value)
{
    session->sendMainConfiguration(ConfigEntry::TriggerHold, value);
}

void TriggerControls::scopeSetTriggerType()
{
    const TriggerModel::ModeChange change = triggerModel.modeChange(triggerModeChecked(), state->settings.xyMode);
    ui->forceButton->setEnabled(change.forceEnabled);
    triggerSetVisible(change.markersVisible);
    sendTriggerControls();
    // While a session prepares its configuration block the scope stays
    // stopped: the session starts it once the instrument is configured.
    if (change.startAcquisition && !session->bulkMode())
        session->sendScopeStart();
    state->redrawRequested = true;
}

void TriggerControls::scopeSetTriggerMode()
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
    state->redrawRequested = true;
}

void TriggerControls::scopeTriggerSourceChanged(int index)
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
    state->redrawRequested = true;
}

void TriggerControls::scopeSetTriggerAutoTimer(double seconds)
{
    session->sendMainConfiguration(ConfigEntry::AutoTrigger, Trigger::autoTriggerValue(seconds));
}

void TriggerControls::triggerSetVisible(bool on)
{
    triggerModel.triggerSetVisible(on);
    const TriggerModel::Visibility shown = triggerModel.markerVisibility();
    plot->items().triggerMarker->setVisible(shown.trigger);
    plot->items().windowMarker[0]->setVisible(shown.window);
    plot->items().windowMarker[1]->setVisible(shown.window);
}

void TriggerControls::triggerSetIcon()
{
    const TriggerModel::Icons icons = triggerModel.markerIcons();
    if (!icons.apply)
        return;
    triggerSetVisible(triggerModel.isVisible());
    if (!icons.trigger.isEmpty())
        plot->setMarkerIcon(plot->items().triggerMarker, icons.trigger);
    if (!icons.windowLow.isEmpty())
        plot->setMarkerIcon(plot->items().windowMarker[0], icons.windowLow);
    if (!icons.windowHigh.isEmpty())
        plot->setMarkerIcon(plot->items().windowMarker[1], icons.windowHigh);
}

void TriggerControls::triggerRefreshPos()
{
    triggerModel.triggerRefreshPos();
    triggerMarkersPlace();
}

void TriggerControls::triggerMoveTrigger(double x, double y, bool force)
{
    if (!force && !triggerModel.isEnabled())
        return;
    placeCentred(plot->items().triggerMarker, QPointF(x, y));
}

void TriggerControls::triggerMoveWinTrigger(double x, double yLow, double yHigh, bool force)
{
    if (!force && !triggerModel.isEnabled())
        return;
    placeCentred(plot->items().windowMarker[0], QPointF(x, yLow));
    placeCentred(plot->items().windowMarker[1], QPointF(x, yHigh));
}

void TriggerControls::triggerMarkersPlace(bool force)
{
    const PlotGeometry::AxisMapping keys = plot->keyAxisMapping();
    const PlotGeometry::AxisMapping values = plot->valueAxisMapping();
    const TriggerModel::MarkerPixel marker = triggerModel.triggerMarkerPixel(keys, values, force);
    if (marker.move)
        triggerMoveTrigger(marker.pixel.x(), marker.pixel.y(), true);
    const TriggerModel::WindowPixels window = triggerModel.windowMarkerPixels(keys, values, force);
    if (window.move)
        triggerMoveWinTrigger(window.low.x(), window.low.y(), window.high.y(), true);
}

void TriggerControls::triggerHoldChanged(double value)
{
    sendTriggerHold(Trigger::triggerHoldValue(value));
}

void TriggerControls::sendTriggerLevels()
{
    sendTriggerWrites({triggerModel.levelWrite(), triggerModel.windowLowWrite(), triggerModel.windowHighWrite(),
                       triggerModel.postWrite()});
}

void TriggerControls::stopButtonClicked()
{
    if (ui->stopButton->text() == tr("START"))
        session->sendScopeStart();
    else
        session->sendScopeStop();
}

void TriggerControls::frameTaken()
{
    if (ui->radioButtonSingle->isChecked() && ui->stopButton->text() == tr("STOP"))
        session->sendScopeStop();
}

// An inverted channel turns its trigger edge over; the model says how.
void TriggerControls::followInvert(int channel)
{
    const TriggerModel::InvertChange change = triggerModel.invertToggled(channel, triggerModeChecked());
    if (change.typeChanged) {
        // The model has turned the edge over and its writes follow below:
        // the buttons only show it, their handler does not send it again.
        const QSignalBlocker rising(ui->radioButtonRisingEdge);
        const QSignalBlocker falling(ui->radioButtonFallingEdge);
        ui->radioButtonRisingEdge->setChecked(triggerModel.type() == Trigger::RisingEdge);
        ui->radioButtonFallingEdge->setChecked(triggerModel.type() == Trigger::FallingEdge);
    }
    triggerRefreshPos();
    triggerSetIcon();
    sendTriggerWrites(change.writes);
    state->redrawRequested = true;
}

void TriggerControls::dragMarker(TriggerModel::Marker marker, double x, double y)
{
    const QVector<Trigger::ConfigWrite> writes =
        triggerModel.dragMarker(marker, x, y, triggerModeChecked() == Trigger::Free);
    triggerMarkersPlace();
    sendTriggerWrites(writes);
}

void TriggerControls::nudgeMarker(TriggerModel::Marker marker, int samples, int levels)
{
    const QVector<Trigger::ConfigWrite> writes =
        triggerModel.nudgeMarker(marker, samples, levels, triggerModeChecked() == Trigger::Free);
    triggerMarkersPlace();
    sendTriggerWrites(writes);
}

void TriggerControls::setFrameSize(int samplesPerChannel)
{
    triggerModel.setFrameSize(samplesPerChannel);
    triggerRefreshPos();
    sendTriggerWrites({triggerModel.postWrite()});
}
