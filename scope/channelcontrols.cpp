// SPDX-License-Identifier: GPL-3.0-only
// Channel trace enables, gains, coupling, positions, buffer sizes, the time
// base, and the channel control bytes.
#include "scope/channelcontrols.h"

#include "core/device/configprotocol.h"
#include "device/devicesession.h"
#include "core/device/frames.h"
#include "scope/cursorcontrols.h"
#include "core/scope/scaletables.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "scope/triggercontrols.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

#include <functional>

using namespace ConfigProtocol;

namespace {
// A quick range button: its gain on the slider (applied without touching the
// buttons), DC coupling, and the button itself down.
void pressQuickRange(QToolButton *pressed, QToolButton *other, QSlider *gainSlider, QCheckBox *coupling, int gain,
                     const std::function<void(int)> &applyGain, const std::function<void()> &applyCoupling)
{
    other->setChecked(false);
    pressed->setChecked(true);
    const bool blocked = gainSlider->blockSignals(true);
    gainSlider->setValue(gain);
    gainSlider->blockSignals(blocked);
    applyGain(gain);
    // The coupling is applied once, here, not by its own handler as well.
    const bool couplingBlocked = coupling->blockSignals(true);
    coupling->setChecked(false);
    coupling->blockSignals(couplingBlocked);
    applyCoupling();
}
} // namespace

ScopeChannels::ScopeChannels(Ui::VeltoInterface *ui, ScopeState *state, DeviceSession *session, ScopePlot *plot,
                             ::TriggerControls *trigger, CursorControls *cursors, QObject *parent)
    : QObject(parent), ui(ui), state(state), session(session), plot(plot), trigger(trigger), cursors(cursors)
{
    const ScaleTables::SliderRange position = ScaleTables::positionSliderRange();
    const ScaleTables::SliderRange logicPosition = ScaleTables::logicPositionSliderRange();
    for (QSlider *slider : {ui->ch1PositionSlider, ui->ch2PositionSlider, ui->ch1CaptureSlider, ui->ch2CaptureSlider})
        slider->setRange(position.minimum, position.maximum);
    for (QSlider *slider : {ui->chdPositionSlider, ui->chdCaptureSlider})
        slider->setRange(logicPosition.minimum, logicPosition.maximum);
    connectControls();
}

void ScopeChannels::connectControls()
{
    // A control's state, however it was set (a click, a script, the stored
    // settings), is what the instrument and the display get: the handlers
    // follow toggled, not clicked.
    connect(ui->checkBoxCH1Trace, &QCheckBox::toggled, this, &ScopeChannels::channel1TraceChanged);
    connect(ui->checkBoxCH2Trace, &QCheckBox::toggled, this, &ScopeChannels::channel2TraceChanged);
    connect(ui->checkBoxCHDTrace, &QCheckBox::toggled, this, &ScopeChannels::channelLogicTraceChanged);
    connect(ui->groupBoxCH1AC, &QGroupBox::toggled, this, [this](bool on) { meterBoxToggled(1, on, true); });
    connect(ui->groupBoxCH1DC, &QGroupBox::toggled, this, [this](bool on) { meterBoxToggled(1, on, false); });
    connect(ui->groupBoxCH2AC, &QGroupBox::toggled, this, [this](bool on) { meterBoxToggled(2, on, true); });
    connect(ui->groupBoxCH2DC, &QGroupBox::toggled, this, [this](bool on) { meterBoxToggled(2, on, false); });
    connect(ui->checkBoxCH1ACDC, &QCheckBox::toggled, this, [this] { channel1ACDCChanged(true); });
    connect(ui->checkBoxCH2ACDC, &QCheckBox::toggled, this, [this] { channel2ACDCChanged(true); });
    followState({ui->checkBoxCH1Invert, ui->checkBoxCH1Average, ui->checkBoxCH1Math, ui->radioButtonCH1Sub,
                 ui->radioButtonCH1Multiply},
                [this] { sendCH1Controls(); });
    followState({ui->checkBoxCH2Invert, ui->checkBoxCH2Average, ui->checkBoxCH2Math, ui->radioButtonCH2Sub,
                 ui->radioButtonCH2Multiply},
                [this] { sendCH2Controls(); });
    followState({ui->checkBoxCHDInvert}, [this] { sendCHDControls(); });
    followState({ui->checkBoxCHD0, ui->checkBoxCHD1, ui->checkBoxCHD2, ui->checkBoxCHD3, ui->checkBoxCHD4,
                 ui->checkBoxCHD5, ui->checkBoxCHD6, ui->checkBoxCHD7},
                [this] { sendCHDBitControls(); });
    connect(ui->comboBoxADCBuffer, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ScopeChannels::scopeADCBufferChanged);
    followState({ui->checkBoxmeterondev, ui->elasticMode}, [this] {
        sendMixedControls();
        state->redrawRequested = true;
    });
    connect(ui->ch1GainSlider, &QSlider::valueChanged, this, [this](int gain) { channel1GainSliderChanged(gain, true); });
    connect(ui->ch2GainSlider, &QSlider::valueChanged, this, [this](int gain) { channel2GainSliderChanged(gain, true); });
    connect(ui->toolButtonCh1ADC24V, &QToolButton::clicked, this, [this] { quickRange(1, true); });
    connect(ui->toolButtonCh1ADC2V4, &QToolButton::clicked, this, [this] { quickRange(1, false); });
    connect(ui->toolButtonCh2ADC24V, &QToolButton::clicked, this, [this] { quickRange(2, true); });
    connect(ui->toolButtonCh2ADC2V4, &QToolButton::clicked, this, [this] { quickRange(2, false); });
    connect(ui->ch1PositionSlider, &QSlider::valueChanged, this, [this](int value) {
        channelPositionSliderChanged(0, value, state->settings.cursorChannel == 0);
    });
    connect(ui->ch2PositionSlider, &QSlider::valueChanged, this, [this](int value) {
        channelPositionSliderChanged(1, value, state->settings.cursorChannel == 1);
    });
    connect(ui->chdPositionSlider, &QSlider::valueChanged, this, &ScopeChannels::channelLogicPositionSliderChanged);
    connect(ui->chdSizeSlider, &QSlider::valueChanged, this, &ScopeChannels::channelLogicSizeSliderChanged);
    connect(ui->samplingSlider, &QSlider::valueChanged, this, &ScopeChannels::scopeSamplingSliderChanged);
    followState({ui->rollMode}, [this] { scopeRollModeChanged(); });
}

void ScopeChannels::followState(std::initializer_list<QAbstractButton *> buttons, const std::function<void()> &send)
{
    for (QAbstractButton *button : buttons) {
        // Of two exclusive buttons that swap, the one switched on speaks for
        // both: one change, one write.
        connect(button, &QAbstractButton::toggled, this, [button, send](bool on) {
            if (on || !button->autoExclusive())
                send();
        });
    }
}

// Either meter group box of a channel switches its trace: the box copies its
// state to the trace check box, whose handler runs, and to the twin box.
void ScopeChannels::meterBoxToggled(int channel, bool checked, bool acBox)
{
    QCheckBox *trace = channel == 1 ? ui->checkBoxCH1Trace : ui->checkBoxCH2Trace;
    QGroupBox *twin = channel == 1 ? (acBox ? ui->groupBoxCH1DC : ui->groupBoxCH1AC)
                                   : (acBox ? ui->groupBoxCH2DC : ui->groupBoxCH2AC);
    trace->setChecked(checked);
    twin->setChecked(checked);
}

void ScopeChannels::quickRange(int channel, bool range24V)
{
    const int gain = range24V ? ScaleTables::quickRangeGain24V : ScaleTables::quickRangeGain2V4;
    if (channel == 1)
        pressQuickRange(range24V ? ui->toolButtonCh1ADC24V : ui->toolButtonCh1ADC2V4,
                        range24V ? ui->toolButtonCh1ADC2V4 : ui->toolButtonCh1ADC24V, ui->ch1GainSlider,
                        ui->checkBoxCH1ACDC, gain, [this](int g) { channel1GainSliderChanged(g, false); },
                        [this] { channel1ACDCChanged(false); });
    else
        pressQuickRange(range24V ? ui->toolButtonCh2ADC24V : ui->toolButtonCh2ADC2V4,
                        range24V ? ui->toolButtonCh2ADC2V4 : ui->toolButtonCh2ADC24V, ui->ch2GainSlider,
                        ui->checkBoxCH2ACDC, gain, [this](int g) { channel2GainSliderChanged(g, false); },
                        [this] { channel2ACDCChanged(false); });
}

int ScopeChannels::scopeCH1ControlsValue() const
{
    ChannelControls c;
    c.trace = ui->checkBoxCH1Trace->isChecked();
    c.coupling = ui->checkBoxCH1ACDC->isChecked();
    c.invert = ui->checkBoxCH1Invert->isChecked();
    c.average = ui->checkBoxCH1Average->isChecked();
    c.math = ui->checkBoxCH1Math->isChecked();
    c.subtract = ui->radioButtonCH1Sub->isChecked();
    c.multiply = ui->radioButtonCH1Multiply->isChecked();
    return channelControlByte(c);
}

int ScopeChannels::scopeCH2ControlsValue() const
{
    ChannelControls c;
    c.trace = ui->checkBoxCH2Trace->isChecked();
    c.coupling = ui->checkBoxCH2ACDC->isChecked();
    c.invert = ui->checkBoxCH2Invert->isChecked();
    c.average = ui->checkBoxCH2Average->isChecked();
    c.math = ui->checkBoxCH2Math->isChecked();
    c.subtract = ui->radioButtonCH2Sub->isChecked();
    c.multiply = ui->radioButtonCH2Multiply->isChecked();
    return channelControlByte(c);
}

int ScopeChannels::scopeCHDControlsValue() const
{
    return logicControlByte(ui->checkBoxCHDTrace->isChecked(), ui->checkBoxCHDInvert->isChecked());
}

// The instrument would code CH1 op CH2 at this channel's gain and clip it
// there: it is asked for the plain channels, and the math is done here.
static int withoutMath(int controls)
{
    return controls & ~0x70;
}

void ScopeChannels::channel1TraceChanged(bool on)
{
    // The instrument confirms the change, or says it lacks the memory for it;
    // the rest follows its answer.
    confirmedWriteWithMemoryCheck(
        [this](const ConfirmedReply &reply) {
            sendConfirmed(ConfigEntry::Ch1Controls, withoutMath(scopeCH1ControlsValue()), reply);
        },
        [this](int blocks) { shrinkAcquisitionBuffer(blocks); },
        [this, on](bool accepted) {
            if (!accepted)
                return;
            ui->groupBoxCH1AC->setChecked(on);
            ui->groupBoxCH1DC->setChecked(on);
            bufferCheckMaxSize();
            state->redrawRequested = true;
        });
}

void ScopeChannels::channel2TraceChanged(bool on)
{
    // The instrument confirms the change, or says it lacks the memory for it;
    // the rest follows its answer.
    confirmedWriteWithMemoryCheck(
        [this](const ConfirmedReply &reply) {
            sendConfirmed(ConfigEntry::Ch2Controls, withoutMath(scopeCH2ControlsValue()), reply);
        },
        [this](int blocks) { shrinkAcquisitionBuffer(blocks); },
        [this, on](bool accepted) {
            if (!accepted)
                return;
            ui->groupBoxCH2AC->setChecked(on);
            ui->groupBoxCH2DC->setChecked(on);
            bufferCheckMaxSize();
            state->redrawRequested = true;
        });
}

void ScopeChannels::channelLogicTraceChanged()
{
    // The instrument confirms the change, or says it lacks the memory for it;
    // the rest follows its answer.
    confirmedWriteWithMemoryCheck(
        [this](const ConfirmedReply &reply) { sendConfirmed(ConfigEntry::ChdControls, scopeCHDControlsValue(), reply); },
        [this](int blocks) { shrinkAcquisitionBuffer(blocks); },
        [this](bool accepted) {
            if (!accepted)
                return;
            bufferCheckMaxSize();
            state->redrawRequested = true;
        });
}

// The display takes only frames of the size the buffer box says. The
// instrument has room for `blocks` per trace only: the box takes that size
// and its handler tells the instrument, so that box and frames agree.
void ScopeChannels::shrinkAcquisitionBuffer(int blocks)
{
    const int index = qBound(0, blocks - 1, qMax(0, ui->comboBoxADCBuffer->count() - 1));
    if (index == ui->comboBoxADCBuffer->currentIndex())
        scopeADCBufferChanged(index);
    else
        ui->comboBoxADCBuffer->setCurrentIndex(index);
}

void ScopeChannels::scopeADCBufferChanged(int index)
{
    session->sendCHBufferBlocks(index + 1);
    bufferCheckMaxSize();
    scopeRefreshSamplingRateLabel();
    cursors->hCursorRefreshVisible();
    cursors->vCursorRefreshLabel();
    sendCH1Controls();
    sendCH2Controls();
    state->redrawRequested = true;
}

void ScopeChannels::sendConfirmed(unsigned char index, int value, const ConfirmedReply &reply)
{
    session->sendMainConfigurationConfirm(2, index, value, this, reply);
}

void ScopeChannels::bufferCheckMaxSize()
{
    // Both sizes are asked in one go and shown as they come; an instrument
    // that does not answer leaves the boxes as they are (the transport says why).
    session->readBlock(ReadBlock::GeneratorBlocks, 1, DeviceSession::Need::Optional, this,
                       [this](int received, const QByteArray &answer) {
                           if (received == 1)
                               bufferComboBoxItemChange(ui->comboBoxDACBuffer, uchar(answer[0]));
                       });
    session->readBlock(ReadBlock::AcquisitionBlocks, 1, DeviceSession::Need::Optional, this,
                       [this](int received, const QByteArray &answer) {
                           if (received == 1) {
                               const int before = ui->comboBoxADCBuffer->currentIndex();
                               bufferComboBoxItemChange(ui->comboBoxADCBuffer, uchar(answer[0]));
                               // The refill is quiet, so the record takes the size the combo shows
                               // now: the display expects frames of that size.
                               const int after = ui->comboBoxADCBuffer->currentIndex();
                               state->settings.bufferIndex = after;
                               // A refill that moved the choice (a size picked before the
                               // instrument said how many it offers, or one it no longer has
                               // room for) tells the instrument the size shown: else it keeps
                               // the old one, and every frame it sends is refused.
                               if (after != before && after >= 0)
                                   scopeADCBufferChanged(after);
                           }
                           // A refill keeps the index within the new count without a signal: the
                           // time range follows what the combo says now.
                           scopeRefreshSamplingRateLabel();
                       });
}

void ScopeChannels::bufferComboBoxItemChange(QComboBox *comboBox, int count)
{
    const QStringList items = bufferSizeItems(count);
    if (comboBox->count() == items.size())
        return;
    const int current = comboBox->currentIndex();
    const bool blocked = comboBox->blockSignals(true);
    comboBox->clear();
    comboBox->addItems(items);
    comboBox->setCurrentIndex(keptBufferIndex(current, items.size()));
    comboBox->blockSignals(blocked);
}

void ScopeChannels::sendChannel1GainControls(int gain)
{
    session->sendMainConfiguration(ConfigEntry::Ch1Gain, lowByte(gain));
}

void ScopeChannels::sendChannel2GainControls(int gain)
{
    session->sendMainConfiguration(ConfigEntry::Ch2Gain, lowByte(gain));
}

void ScopeChannels::channel1GainSliderChanged(int gain, bool updateButtons)
{
    const bool ac = ui->checkBoxCH1ACDC->isChecked();
    ui->labelCH1Gain->setText(ScaleTables::inputRangeText(gain));
    channelSetBoxTitle(ui->groupBoxCH1AC, ui->groupBoxCH1DC, 1, gain, ac);
    if (updateButtons)
        channel1DCButtonCheck(gain, ac);
    sendChannel1GainControls(gain);
    refreshChannelLabels();
}

void ScopeChannels::channel2GainSliderChanged(int gain, bool updateButtons)
{
    const bool ac = ui->checkBoxCH2ACDC->isChecked();
    ui->labelCH2Gain->setText(ScaleTables::inputRangeText(gain));
    channelSetBoxTitle(ui->groupBoxCH2AC, ui->groupBoxCH2DC, 2, gain, ac);
    if (updateButtons)
        channel2DCButtonCheck(gain, ac);
    sendChannel2GainControls(gain);
    refreshChannelLabels();
}

void ScopeChannels::channel1ACDCChanged(bool updateButtons)
{
    const int gain = ui->ch1GainSlider->value();
    const bool ac = ui->checkBoxCH1ACDC->isChecked();
    channelSetBoxTitle(ui->groupBoxCH1AC, ui->groupBoxCH1DC, 1, gain, ac);
    if (updateButtons)
        channel1DCButtonCheck(gain, ac);
    sendCH1Controls();
}

void ScopeChannels::channel2ACDCChanged(bool updateButtons)
{
    const int gain = ui->ch2GainSlider->value();
    const bool ac = ui->checkBoxCH2ACDC->isChecked();
    channelSetBoxTitle(ui->groupBoxCH2AC, ui->groupBoxCH2DC, 2, gain, ac);
    if (updateButtons)
        channel2DCButtonCheck(gain, ac);
    sendCH2Controls();
}

void ScopeChannels::channel1DCButtonCheck(int gain, bool ac)
{
    const ScaleTables::QuickRangeButtons down = ScaleTables::channel1DCButtonCheck(gain, ac);
    ui->toolButtonCh1ADC24V->setChecked(down.adc24V);
    ui->toolButtonCh1ADC2V4->setChecked(down.adc2V4);
}

void ScopeChannels::channel2DCButtonCheck(int gain, bool ac)
{
    const ScaleTables::QuickRangeButtons down = ScaleTables::channel1DCButtonCheck(gain, ac);
    ui->toolButtonCh2ADC24V->setChecked(down.adc24V);
    ui->toolButtonCh2ADC2V4->setChecked(down.adc2V4);
}

void ScopeChannels::channelPositionSliderChanged(int channel, int value, bool moveMarkers)
{
    const int ch = qBound(0, channel, 1);
    state->zeroLevel[ch] = ScaleTables::plotCentre + value;
    state->persistenceRestart |= 1u << ch;
    if (moveMarkers) {
        // The horizontal cursors keep their distance from the moving trace.
        cursors->followZeroLevels();
    }
    plot->zeroHeadRefresh();
    // Re-placing the current source's markers from their stored values
    // covers both marker kinds, so the level keeps its meaning in counts.
    trigger->model().triggerSetChannelOffset(ch, value);
    trigger->triggerRefreshPos();
    state->redrawRequested = true;
}

void ScopeChannels::channelLogicSizeSliderChanged()
{
    trigger->model().triggerSetChannelSize(Trigger::ChannelLogic, ui->chdSizeSlider->value());
    state->persistenceRestart |= 4u;
    trigger->triggerRefreshPos();
    plot->logicLabelsRefresh();
    state->redrawRequested = true;
}

void ScopeChannels::channelLogicPositionSliderChanged(int value)
{
    trigger->model().triggerSetChannelOffset(Trigger::ChannelLogic, value);
    state->zeroLevel[2] = ScaleTables::plotCentre + value;
    state->persistenceRestart |= 4u;
    trigger->triggerRefreshPos();
    plot->zeroHeadRefresh();
    plot->logicLabelsRefresh();
    state->redrawRequested = true;
}

void ScopeChannels::channelSetBoxTitle(QWidget *box1, QWidget *box2, int channel, int gain, bool ac)
{
    const QString title = ScaleTables::channelBoxTitle(channel, gain, ac);
    for (QWidget *box : {box1, box2})
        if (auto *group = qobject_cast<QGroupBox *>(box))
            group->setTitle(title);
}

// The legend follows the controls as soon as they change, also while no
// scope frame arrives (the meter pages, a slow time base); every frame
// sets it again from the controls the instrument echoes. Math needs the
// other channel's samples: without its trace the channel shows its own.
void ScopeChannels::refreshChannelLabels()
{
    constexpr int mathBits = 0x70;
    const int c1 = scopeCH1ControlsValue();
    const int c2 = scopeCH2ControlsValue();
    updateCh1Label(ui->checkBoxCH2Trace->isChecked() ? c1 : c1 & ~mathBits, c2);
    updateCh2Label(ui->checkBoxCH1Trace->isChecked() ? c2 : c2 & ~mathBits, c1);
}

// The legend entry's text, with a red "CLIP" badge while the channel's
// samples reach the converter's limits.
static void setLegendText(QLabel *label, const QString &text, bool overRange)
{
    if (!overRange) {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
        label->setToolTip(QString());
        return;
    }
    label->setTextFormat(Qt::RichText);
    label->setText(QString(text.toHtmlEscaped()).replace(QLatin1Char(' '), QStringLiteral("&nbsp;")) +
                   QStringLiteral("&nbsp;<span style=\"background-color:#d01c1c; color:#ffffff; font-weight:bold;\">"
                                  "&nbsp;CLIP&nbsp;</span>"));
    label->setToolTip(QObject::tr("The signal reaches the converter's limit: the trace and the values read are "
                                  "cut off there. Choose a larger V/div."));
}

// In XY CH1 is the horizontal axis and CH2 the vertical one.
void ScopeChannels::updateCh1Label(int ch1Controls, int ch2Controls, bool clipped, bool overRange)
{
    const QString axis = state->settings.xyMode ? QStringLiteral(" X:") : QString();
    setLegendText(ui->ch1Label,
                  axis + ScaleTables::channelLabelText(1, uint8_t(ch1Controls), uint8_t(ch2Controls),
                                                       ui->ch1GainSlider->value(), ui->ch2GainSlider->value(), clipped),
                  overRange);
}

void ScopeChannels::updateCh2Label(int ch2Controls, int ch1Controls, bool clipped, bool overRange)
{
    const QString axis = state->settings.xyMode ? QStringLiteral(" Y:") : QString();
    setLegendText(ui->ch2Label,
                  axis + ScaleTables::channelLabelText(2, uint8_t(ch2Controls), uint8_t(ch1Controls),
                                                       ui->ch2GainSlider->value(), ui->ch1GainSlider->value(), clipped),
                  overRange);
}

void ScopeChannels::scopeSetSizeX(int blocks)
{
    const ScaleTables::ScopeSize size = ScaleTables::scopeSizeForBlocks(blocks);
    if (size.samplesPerChannel <= 0)
        return;
    const double oldExtent = 2.0 * state->samplesPerChannel;
    const QCPRange shown = plot->plot()->xAxis->range();
    state->samplesPerChannel = size.samplesPerChannel;
    trigger->setFrameSize(state->samplesPerChannel);
    cursors->vCursorSetRange(size.cursorMinimum, size.cursorMaximum);
    cursors->vCursorRefresh();
    // A view of the whole frame stays a view of the whole frame; a zoomed
    // view is kept where it is, within the new extent.
    if (shown.lower <= 0.0 && shown.upper >= oldExtent)
        plot->plot()->xAxis->setRange(0.0, size.xExtent);
    else
        plot->xAxisChanged(shown);
}

void ScopeChannels::sendSamplingRate(int index)
{
    session->sendMainConfiguration(ConfigEntry::SamplingRate, index);
}

void ScopeChannels::scopeSamplingSliderChanged(int index)
{
    const ScaleTables::SamplingControlStates states =
        ScaleTables::samplingControlStates(index, ui->rollMode->isChecked());
    ui->rollMode->setEnabled(states.rollEnabled);
    state->settings.rollEnabled = states.rollEnabled;
    ui->elasticMode->setEnabled(states.elasticEnabled);
    trigger->model().triggerSetSlowSamplingRate(states.slowSampling);
    // The label names the time base chosen, as the plot's legend does, with
    // or without an instrument.
    scopeRefreshSamplingRateLabel();
    if (!session->isOpen())
        return;
    trigger->triggerRefreshPos();
    sendSamplingRate(index);
}

void ScopeChannels::scopeRollModeChanged()
{
    sendMixedControls();
    ui->elasticMode->setEnabled(!ui->rollMode->isChecked());
    state->redrawRequested = true;
}

void ScopeChannels::scopeRefreshSamplingRateLabel()
{
    ui->labelSamplingRate->setText(
        ScaleTables::samplingRateLabelText(ui->samplingSlider->value(), ui->comboBoxADCBuffer->currentIndex()));
}

void ScopeChannels::sendCH1Controls()
{
    session->sendMainConfiguration(ConfigEntry::Ch1Controls, withoutMath(scopeCH1ControlsValue()));
    refreshChannelLabels();
    state->redrawRequested = true; // the math is drawn from the cached frame too
}

void ScopeChannels::sendCH2Controls()
{
    session->sendMainConfiguration(ConfigEntry::Ch2Controls, withoutMath(scopeCH2ControlsValue()));
    refreshChannelLabels();
    state->redrawRequested = true;
}

void ScopeChannels::sendCHDControls()
{
    session->sendMainConfiguration(ConfigEntry::ChdControls, scopeCHDControlsValue());
}

void ScopeChannels::sendCHDBitControls()
{
    const bool shown[8] = {ui->checkBoxCHD0->isChecked(), ui->checkBoxCHD1->isChecked(), ui->checkBoxCHD2->isChecked(),
                           ui->checkBoxCHD3->isChecked(), ui->checkBoxCHD4->isChecked(), ui->checkBoxCHD5->isChecked(),
                           ui->checkBoxCHD6->isChecked(), ui->checkBoxCHD7->isChecked()};
    session->sendMainConfiguration(ConfigEntry::ChdBits, logicBitsByte(shown));
}

void ScopeChannels::sendMixedControls()
{
    session->sendMainConfiguration(ConfigEntry::MixedControls,
                          mixedControls(ui->rollMode->isChecked(), ui->elasticMode->isChecked(), snifferSingle,
                                        ui->checkBoxmeterondev->isChecked(), awgSaveMode));
}

uint8_t ScopeChannels::scopeTraceMask() const
{
    const ScopeSettingsRecord &s = state->settings;
    return Frames::channelMaskFor(s.ch1Trace, s.ch2Trace, s.logicTrace);
}
