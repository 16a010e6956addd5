// SPDX-License-Identifier: GPL-3.0-only
// The trigger's controls and markers.
#include "scope/triggercontrols.h"

#include "core/device/configprotocol.h"
#include "core/scope/scaletables.h"
#include "device/devicesession.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "ui_veltointerface.h"
#include "widgets/steadycell.h"

#include <qcustomplot.h>

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>

#include <cmath>
#include <limits>

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
    // The button says START or STOP with every frame a client acquires: a new
    // text would have the whole scope page laid out and painted again.
    SteadyCell::inPlaceOf(ui->stopButton);
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
    connect(ui->forceButton, &QPushButton::clicked, this, &TriggerControls::forceClicked);
    connect(ui->checkBoxCH1Invert, &QCheckBox::toggled, this, [this] { followInvert(Trigger::ChannelCh1); });
    connect(ui->checkBoxCH2Invert, &QCheckBox::toggled, this, [this] { followInvert(Trigger::ChannelCh2); });
    connect(session, &DeviceSession::scopeRunningChanged, this, [this](bool on) {
        this->ui->stopButton->setText(on ? tr("STOP") : tr("START"));
        running = on;
        frameSinceStart = false;
        lastGapMs = -1.0;
        if (!on)
            stopAfterFrame = false;
        refreshStatus();
    });
    connect(session, &DeviceSession::connectionChanged, this, &TriggerControls::refreshStatus);
    connect(session, &DeviceSession::instrumentNote, this, &TriggerControls::refreshStatus);
    setupLevelBox();
    for (QSlider *gain : {ui->ch1GainSlider, ui->ch2GainSlider})
        connect(gain, &QSlider::valueChanged, this, &TriggerControls::refreshLevelReadout);
    // Armed and Triggered follow the frames' pace, also while none comes.
    statusTick.setInterval(250);
    connect(&statusTick, &QTimer::timeout, this, &TriggerControls::refreshStatus);
    statusTick.start();
}

void TriggerControls::setupLevelBox()
{
    auto *grid = qobject_cast<QGridLayout *>(ui->groupBoxTrigger->layout());
    levelSpinBox = new QDoubleSpinBox(ui->groupBoxTrigger);
    levelSpinBox->setObjectName(QStringLiteral("doubleSpinBoxTrigLevel"));
    levelSpinBox->setSuffix(QStringLiteral(" V"));
    levelSpinBox->setDecimals(3);
    levelSpinBox->setKeyboardTracking(false);
    auto *label = new QLabel(tr("Level"), ui->groupBoxTrigger);
    label->setObjectName(QStringLiteral("labelTrigLevel"));
    label->setBuddy(levelSpinBox);
    if (grid) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(levelSpinBox, row, 1);
    }
    connect(levelSpinBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &TriggerControls::levelBoxChanged);
    refreshLevelReadout();
}

int TriggerControls::sourceGain() const
{
    if (triggerModel.source() == Trigger::SourceCh1)
        return ui->ch1GainSlider->value();
    if (triggerModel.source() == Trigger::SourceCh2)
        return ui->ch2GainSlider->value();
    return -1;
}

// The box and the volts beside the marker say the level the model holds, at
// the source channel's gain; the box is greyed, saying why, where there is
// no single level to type.
void TriggerControls::refreshLevelReadout()
{
    const int gain = sourceGain();
    const bool window = triggerModel.type() == Trigger::Window;
    const bool typed = gain >= 0 && gain < ScaleTables::gainCount && !window;
    QCPItemText *label = plot->items().triggerLevelLabel;
    const QSignalBlocker blocker(levelSpinBox);
    levelSpinBox->setEnabled(typed);
    if (!typed) {
        levelSpinBox->setToolTip(window ? tr("A window trigger has two levels: drag its two markers on the plot")
                                        : tr("Logic, EXT and Schmitt sources trigger on their edges: no level"));
        levelSpinBox->setSpecialValueText(tr("—"));
        levelSpinBox->setRange(0.0, 0.0);
        label->setVisible(false);
        return;
    }
    levelSpinBox->setToolTip(tr("The trigger level in volts; the marker on the plot follows it, and it the marker"));
    levelSpinBox->setSpecialValueText(QString());
    // As many decimals as tell one level count from the next.
    const double step = Trigger::levelVolts(1, gain);
    const int decimals = qBound(1, int(std::ceil(-std::log10(step))), 4);
    const double limit = Trigger::levelVolts(triggerModel.levelLimit(), gain);
    levelSpinBox->setDecimals(decimals);
    levelSpinBox->setRange(-limit, limit);
    levelSpinBox->setSingleStep(step);
    const double volts = Trigger::levelVolts(triggerModel.current().level, gain);
    levelSpinBox->setValue(volts);
    label->setText(QString::number(volts, 'f', decimals) + QStringLiteral(" V"));
    label->setColor((triggerModel.source() == Trigger::SourceCh1 ? plot->graphs().ch1 : plot->graphs().ch2)
                        ->pen()
                        .color());
    label->setVisible(plot->items().triggerMarker->visible());
}

void TriggerControls::levelBoxChanged(double volts)
{
    const int gain = sourceGain();
    if (gain < 0 || triggerModel.type() == Trigger::Window)
        return;
    triggerModel.triggerSetPosition(triggerModel.current().position, Trigger::levelCounts(volts, gain));
    triggerMarkersPlace();
    sendTriggerWrites({triggerModel.levelWrite()});
    state->redrawRequested = true;
}

void TriggerControls::framesArrived()
{
    if (frameSinceStart)
        lastGapMs = double(sinceFrame.elapsed());
    sinceFrame.restart();
    frameSinceStart = true;
    stopAfterArmedFrame();
    refreshStatus();
}

void TriggerControls::stopAfterArmedFrame()
{
    const bool roll = state->settings.rollMode && state->settings.rollEnabled;
    // Reads are taken in order: once more have been taken than had come when
    // the scope was armed, the newest frame was acquired after it. (The count
    // delivered is read before the count waiting, so a read landing between
    // the two never makes a stale frame look new.)
    const quint64 delivered = session->usb().queueCounts().delivered;
    const bool armedFrame = delivered - quint64(session->usb().queuedReads()) > readsBeforeArm;
    if (running && !roll && armedFrame && (stopAfterFrame || triggerModeChecked() == Trigger::Single)) {
        // The instrument has stopped after its single frame: the button and
        // the badge say so, and the next START arms it again.
        stopAfterFrame = false;
        session->sendScopeStop();
    }
}

Trigger::Status TriggerControls::status() const
{
    Trigger::Activity a;
    a.running = running;
    a.roll = state->settings.rollMode && state->settings.rollEnabled;
    a.mode = triggerModeChecked();
    a.sinceFrameMs = frameSinceStart ? double(sinceFrame.elapsed()) : -1.0;
    a.lastGapMs = lastGapMs;
    a.autoTimeoutMs = 1000.0 * ui->doubleSpinBoxTrigAuto->value();
    a.frameMs = 1000.0 * ScaleTables::frameSeconds(state->settings.samplingIndex, state->samplesPerChannel);
    return Trigger::status(a);
}

void TriggerControls::refreshStatus()
{
    QCPItemText *badge = plot->items().triggerBadge;
    // Without an instrument the plot's note says why; there is no trigger to speak of.
    const bool shown = session->isOpen();
    const Trigger::Status now = status();
    const QString text = Trigger::statusText(now);
    if (badge->visible() == shown && badge->text() == text)
        return;
    static const QColor fills[] = {QColor(QStringLiteral("#7fb8ff")), QColor(QStringLiteral("#ffc34d")),
                                   QColor(QStringLiteral("#6ee06e")), QColor(QStringLiteral("#ff6b6b")),
                                   QColor(QStringLiteral("#c8c8c8"))};
    badge->setText(text);
    badge->setBrush(fills[int(now)]);
    badge->setPen(QPen(Qt::black));
    badge->setVisible(shown);
    // At the display's pace: a client acquiring frame by frame changes the
    // badge twice a frame, 200 times a second.
    plot->requestPaint();
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
    if (levelSpinBox)
        refreshLevelReadout();
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
    if (levelSpinBox)
        refreshLevelReadout();
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

// Force takes a frame whatever the scope is doing: stopped (a Single
// done, or the user's STOP) it is started for that one frame.
void TriggerControls::forceClicked()
{
    if (!session->isOpen())
        return;
    if (!running) {
        stopAfterFrame = true;
        session->sendScopeStart();
    }
    session->sendScopeForce();
}

void TriggerControls::acquireOneFrame()
{
    if (!session->isOpen())
        return;
    // A start arms the instrument afresh, also while it runs: what it was
    // acquiring is dropped. The reads that count are those after the start
    // (and the settings queued before it) went out; none until then.
    readsBeforeArm = std::numeric_limits<quint64>::max();
    session->sendScopeStart();
    // The frame may have come, and been shown, before this count reaches
    // the window: it is looked for again then, not left for the next one.
    session->usb().afterQueueCounted(this, [this](quint64 delivered) {
        readsBeforeArm = delivered;
        stopAfterArmedFrame();
        refreshStatus();
    });
    stopAfterFrame = true;
}

void TriggerControls::stopButtonClicked()
{
    if (ui->stopButton->text() == tr("START"))
        session->sendScopeStart();
    else
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
