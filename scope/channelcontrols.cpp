// Channel trace enables, buffer sizes and the channel control bytes.
#include "app/veltointerface.h"
#include "device/configprotocol.h"
#include "scope/scaletables.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QSlider>
#include <QToolButton>

#include <functional>

using namespace ConfigProtocol;

int VeltoInterface::scopeCH1ControlsValue()
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

int VeltoInterface::scopeCH2ControlsValue()
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

int VeltoInterface::scopeCHDControlsValue()
{
    return logicControlByte(ui->checkBoxCHDTrace->isChecked(), ui->checkBoxCHDInvert->isChecked());
}

void VeltoInterface::channel1TraceChanged(bool on)
{
    const bool accepted = confirmedWriteWithMemoryCheck(
        [this](unsigned char *reply, int length) { return sendCH1Controls(reply, length); },
        [this](int blocks) { scopeADCBufferChanged(blocks - 1); });
    if (!accepted)
        return;
    ui->groupBoxCH1AC->setChecked(on);
    ui->groupBoxCH1DC->setChecked(on);
    bufferCheckMaxSize();
    redrawRequested = true;
}

void VeltoInterface::channel2TraceChanged(bool on)
{
    const bool accepted = confirmedWriteWithMemoryCheck(
        [this](unsigned char *reply, int length) { return sendCH2Controls(reply, length); },
        [this](int blocks) { scopeADCBufferChanged(blocks - 1); });
    if (!accepted)
        return;
    ui->groupBoxCH2AC->setChecked(on);
    ui->groupBoxCH2DC->setChecked(on);
    bufferCheckMaxSize();
    redrawRequested = true;
}

void VeltoInterface::channelLogicTraceChanged()
{
    const bool accepted = confirmedWriteWithMemoryCheck(
        [this](unsigned char *reply, int length) { return sendCHDControls(reply, length); },
        [this](int blocks) { scopeADCBufferChanged(blocks - 1); });
    if (!accepted)
        return;
    bufferCheckMaxSize();
    redrawRequested = true;
}

void VeltoInterface::scopeADCBufferChanged(int index)
{
    sendCHBufferBlocks(index + 1);
    bufferCheckMaxSize();
    scopeRefreshSamplingRateLabel();
    hCursorRefreshVisible();
    vCursorRefreshLabel();
    sendCH1Controls();
    sendCH2Controls();
    redrawRequested = true;
}

void VeltoInterface::bufferCheckMaxSize()
{
    unsigned char answer[1] = {0};
    if (usbDevice.controlReadTransfer(Request::ReadBlock, answer, 1, ReadBlock::GeneratorBlocks, 0) == 1)
        bufferComboBoxItemChange(ui->comboBoxDACBuffer, answer[0]);
    answer[0] = 0;
    if (usbDevice.controlReadTransfer(Request::ReadBlock, answer, 1, ReadBlock::AcquisitionBlocks, 0) == 1)
        bufferComboBoxItemChange(ui->comboBoxADCBuffer, answer[0]);
}

void VeltoInterface::bufferComboBoxItemChange(QComboBox *comboBox, int count)
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

void VeltoInterface::on_checkBoxCH1Trace_clicked(bool checked)
{
    channel1TraceChanged(checked);
}

void VeltoInterface::on_checkBoxCH2Trace_clicked(bool checked)
{
    channel2TraceChanged(checked);
}

void VeltoInterface::on_checkBoxCHDTrace_clicked()
{
    channelLogicTraceChanged();
}

// Either meter group box of a channel switches its trace: the box copies its
// state to the trace check box and the twin box, then the trace handler runs.
void VeltoInterface::on_groupBoxCH1AC_clicked(bool checked)
{
    ui->checkBoxCH1Trace->setChecked(checked);
    ui->groupBoxCH1DC->setChecked(checked);
    channel1TraceChanged(checked);
}

void VeltoInterface::on_groupBoxCH1DC_clicked(bool checked)
{
    ui->checkBoxCH1Trace->setChecked(checked);
    ui->groupBoxCH1AC->setChecked(checked);
    channel1TraceChanged(checked);
}

void VeltoInterface::on_groupBoxCH2AC_clicked(bool checked)
{
    ui->checkBoxCH2Trace->setChecked(checked);
    ui->groupBoxCH2DC->setChecked(checked);
    channel2TraceChanged(checked);
}

void VeltoInterface::on_groupBoxCH2DC_clicked(bool checked)
{
    ui->checkBoxCH2Trace->setChecked(checked);
    ui->groupBoxCH2AC->setChecked(checked);
    channel2TraceChanged(checked);
}

void VeltoInterface::on_checkBoxCH1ACDC_clicked() { channel1ACDCChanged(true); }
void VeltoInterface::on_checkBoxCH1Invert_clicked() { sendCH1Controls(); }
void VeltoInterface::on_checkBoxCH1Average_clicked() { sendCH1Controls(); }
void VeltoInterface::on_checkBoxCH1Math_clicked() { sendCH1Controls(); }
void VeltoInterface::on_radioButtonCH1Sub_clicked() { sendCH1Controls(); }
void VeltoInterface::on_radioButtonCH1Multiply_clicked() { sendCH1Controls(); }
void VeltoInterface::on_checkBoxCH2ACDC_clicked() { channel2ACDCChanged(true); }
void VeltoInterface::on_checkBoxCH2Invert_clicked() { sendCH2Controls(); }
void VeltoInterface::on_checkBoxCH2Average_clicked() { sendCH2Controls(); }
void VeltoInterface::on_checkBoxCH2Math_clicked() { sendCH2Controls(); }
void VeltoInterface::on_radioButtonCH2Sub_clicked() { sendCH2Controls(); }
void VeltoInterface::on_radioButtonCH2Multiply_clicked() { sendCH2Controls(); }
void VeltoInterface::on_checkBoxCHDInvert_clicked() { sendCHDControls(); }
void VeltoInterface::on_checkBoxCHD0_clicked() { sendCHDBitControls(); }
void VeltoInterface::on_checkBoxCHD1_clicked() { sendCHDBitControls(); }
void VeltoInterface::on_checkBoxCHD2_clicked() { sendCHDBitControls(); }
void VeltoInterface::on_checkBoxCHD3_clicked() { sendCHDBitControls(); }
void VeltoInterface::on_checkBoxCHD4_clicked() { sendCHDBitControls(); }
void VeltoInterface::on_checkBoxCHD5_clicked() { sendCHDBitControls(); }
void VeltoInterface::on_checkBoxCHD6_clicked() { sendCHDBitControls(); }
void VeltoInterface::on_checkBoxCHD7_clicked() { sendCHDBitControls(); }

void VeltoInterface::on_comboBoxADCBuffer_currentIndexChanged(int index)
{
    scopeADCBufferChanged(index);
}

void VeltoInterface::on_checkBoxmeterondev_clicked()
{
    sendMixedControls();
    redrawRequested = true;
}

// --- Gain, coupling and the quick range buttons -----------------------------

void VeltoInterface::sendChannel1GainControls(int gain)
{
    sendMainConfiguration(ConfigEntry::Ch1Gain, lowByte(gain));
}

void VeltoInterface::sendChannel2GainControls(int gain)
{
    sendMainConfiguration(ConfigEntry::Ch2Gain, lowByte(gain));
}

void VeltoInterface::channel1GainSliderChanged(int gain, bool updateButtons)
{
    const bool ac = ui->checkBoxCH1ACDC->isChecked();
    ui->labelCH1Gain->setText(ScaleTables::inputRangeText(gain));
    channelSetBoxTitle(ui->groupBoxCH1AC, ui->groupBoxCH1DC, 1, gain, ac);
    if (updateButtons)
        channel1DCButtonCheck(gain, ac);
    sendChannel1GainControls(gain);
}

void VeltoInterface::channel2GainSliderChanged(int gain, bool updateButtons)
{
    const bool ac = ui->checkBoxCH2ACDC->isChecked();
    ui->labelCH2Gain->setText(ScaleTables::inputRangeText(gain));
    channelSetBoxTitle(ui->groupBoxCH2AC, ui->groupBoxCH2DC, 2, gain, ac);
    if (updateButtons)
        channel2DCButtonCheck(gain, ac);
    sendChannel2GainControls(gain);
}

void VeltoInterface::channel1ACDCChanged(bool updateButtons)
{
    const int gain = ui->ch1GainSlider->value();
    const bool ac = ui->checkBoxCH1ACDC->isChecked();
    channelSetBoxTitle(ui->groupBoxCH1AC, ui->groupBoxCH1DC, 1, gain, ac);
    if (updateButtons)
        channel1DCButtonCheck(gain, ac);
    sendCH1Controls();
}

void VeltoInterface::channel2ACDCChanged(bool updateButtons)
{
    const int gain = ui->ch2GainSlider->value();
    const bool ac = ui->checkBoxCH2ACDC->isChecked();
    channelSetBoxTitle(ui->groupBoxCH2AC, ui->groupBoxCH2DC, 2, gain, ac);
    if (updateButtons)
        channel2DCButtonCheck(gain, ac);
    sendCH2Controls();
}

void VeltoInterface::channel1DCButtonCheck(int gain, bool ac)
{
    const ScaleTables::QuickRangeButtons down = ScaleTables::channel1DCButtonCheck(gain, ac);
    ui->toolButtonCh1ADC24V->setChecked(down.adc24V);
    ui->toolButtonCh1ADC2V4->setChecked(down.adc2V4);
}

void VeltoInterface::channel2DCButtonCheck(int gain, bool ac)
{
    const ScaleTables::QuickRangeButtons down = ScaleTables::channel1DCButtonCheck(gain, ac);
    ui->toolButtonCh2ADC24V->setChecked(down.adc24V);
    ui->toolButtonCh2ADC2V4->setChecked(down.adc2V4);
}

void VeltoInterface::on_ch1GainSlider_valueChanged(int value) { channel1GainSliderChanged(value, true); }
void VeltoInterface::on_ch2GainSlider_valueChanged(int value) { channel2GainSliderChanged(value, true); }

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
    coupling->setChecked(false);
    applyCoupling();
}
} // namespace

void VeltoInterface::on_toolButtonCh1ADC24V_clicked()
{
    pressQuickRange(ui->toolButtonCh1ADC24V, ui->toolButtonCh1ADC2V4, ui->ch1GainSlider, ui->checkBoxCH1ACDC,
                    ScaleTables::quickRangeGain24V, [this](int g) { channel1GainSliderChanged(g, false); },
                    [this] { channel1ACDCChanged(false); });
}

void VeltoInterface::on_toolButtonCh1ADC2V4_clicked()
{
    pressQuickRange(ui->toolButtonCh1ADC2V4, ui->toolButtonCh1ADC24V, ui->ch1GainSlider, ui->checkBoxCH1ACDC,
                    ScaleTables::quickRangeGain2V4, [this](int g) { channel1GainSliderChanged(g, false); },
                    [this] { channel1ACDCChanged(false); });
}

void VeltoInterface::on_toolButtonCh2ADC24V_clicked()
{
    pressQuickRange(ui->toolButtonCh2ADC24V, ui->toolButtonCh2ADC2V4, ui->ch2GainSlider, ui->checkBoxCH2ACDC,
                    ScaleTables::quickRangeGain24V, [this](int g) { channel2GainSliderChanged(g, false); },
                    [this] { channel2ACDCChanged(false); });
}

void VeltoInterface::on_toolButtonCh2ADC2V4_clicked()
{
    pressQuickRange(ui->toolButtonCh2ADC2V4, ui->toolButtonCh2ADC24V, ui->ch2GainSlider, ui->checkBoxCH2ACDC,
                    ScaleTables::quickRangeGain2V4, [this](int g) { channel2GainSliderChanged(g, false); },
                    [this] { channel2ACDCChanged(false); });
}

// --- Positions and the time base ---------------------------------------------

void VeltoInterface::channelPositionSliderChanged(int channel, int value, int zero, bool moveMarkers)
{
    // The handles keep their levels relative to the zero level, so the old
    // zero level (`zero`) is not needed to move them.
    Q_UNUSED(zero)
    const int ch = qBound(0, channel, 1);
    zeroLevel[ch] = ScaleTables::plotCentre + value;
    if (moveMarkers) {
        // The horizontal cursors keep their distance from the moving trace.
        hCursors.absoluteA = hCursors.handleA(zeroLevel[0], zeroLevel[1]);
        hCursors.absoluteB = hCursors.handleB(zeroLevel[0], zeroLevel[1]);
        hCursorRefreshA();
        hCursorRefreshB();
    }
    zeroHeadRefresh();
    // Re-placing the current source's markers from their stored values
    // covers both marker kinds, so the level keeps its meaning in counts.
    triggerModel.triggerSetChannelOffset(ch, value);
    triggerRefreshPos();
    redrawRequested = true;
}

void VeltoInterface::on_ch1PositionSlider_valueChanged(int value)
{
    channelPositionSliderChanged(0, value, zeroLevel[0], ui->comboBoxScopeCursorsChannel->currentIndex() == 0);
}

void VeltoInterface::on_ch2PositionSlider_valueChanged(int value)
{
    channelPositionSliderChanged(1, value, zeroLevel[1], ui->comboBoxScopeCursorsChannel->currentIndex() == 1);
}

void VeltoInterface::channelLogicSizeSliderChanged()
{
    triggerModel.triggerSetChannelSize(Trigger::ChannelLogic, ui->chdSizeSlider->value());
    triggerRefreshPos();
    logicLabelsRefresh();
    redrawRequested = true;
}

void VeltoInterface::channelLogicPositionSliderChanged(int value)
{
    triggerModel.triggerSetChannelOffset(Trigger::ChannelLogic, value);
    zeroLevel[2] = ScaleTables::plotCentre + value;
    triggerRefreshPos();
    zeroHeadRefresh();
    logicLabelsRefresh();
    redrawRequested = true;
}

void VeltoInterface::on_chdPositionSlider_valueChanged(int value) { channelLogicPositionSliderChanged(value); }
void VeltoInterface::on_chdSizeSlider_valueChanged() { channelLogicSizeSliderChanged(); }

void VeltoInterface::channelSetBoxTitle(QWidget *box1, QWidget *box2, int channel, int gain, bool ac)
{
    const QString title = ScaleTables::channelBoxTitle(channel, gain, ac);
    for (QWidget *box : {box1, box2})
        if (auto *group = qobject_cast<QGroupBox *>(box))
            group->setTitle(title);
}

void VeltoInterface::updateCh1Label(int ch1Controls, int ch2Controls)
{
    ui->ch1Label->setText(
        ScaleTables::channelLabelText(1, uint8_t(ch1Controls), uint8_t(ch2Controls), ui->ch1GainSlider->value()));
}

void VeltoInterface::updateCh2Label(int ch2Controls, int ch1Controls)
{
    ui->ch2Label->setText(
        ScaleTables::channelLabelText(2, uint8_t(ch2Controls), uint8_t(ch1Controls), ui->ch2GainSlider->value()));
}

void VeltoInterface::scopeSetSizeX(int blocks)
{
    const ScaleTables::ScopeSize size = ScaleTables::scopeSizeForBlocks(blocks);
    if (size.samplesPerChannel <= 0)
        return;
    const double oldExtent = 2.0 * samplesPerChannel;
    const QCPRange shown = customPlot->xAxis->range();
    samplesPerChannel = size.samplesPerChannel;
    triggerModel.setFrameSize(samplesPerChannel);
    triggerRefreshPos();
    sendTriggerWrites({triggerModel.postWrite()});
    vCursorSetRange(size.cursorMinimum, size.cursorMaximum);
    vCursorRefresh();
    // A view of the whole frame stays a view of the whole frame; a zoomed
    // view is kept where it is, within the new extent.
    if (shown.lower <= 0.0 && shown.upper >= oldExtent)
        customPlot->xAxis->setRange(0.0, size.xExtent);
    else
        xAxisChanged(shown);
}

void VeltoInterface::setupValues()
{
    timeBaseTexts = ScaleTables::timeBaseTexts();
    voltsPerDivTexts = ScaleTables::voltsPerDivTexts();
    inputRangeTexts = ScaleTables::inputRangeTexts();
    triggerIconsGreen = Trigger::iconList(true);
    triggerIconsRed = Trigger::iconList(false);
}

// The conversions the read-outs use, as the window's own operations.
QString VeltoInterface::int8ToVolt(uint8_t gain, int8_t sample) { return ScaleTables::int8ToVolt(gain, sample); }
QString VeltoInterface::int8ToVolt(uint8_t gain, int8_t a, int8_t b) { return ScaleTables::int8ToVolt(gain, a, b); }
QString VeltoInterface::int16ToVolt(uint8_t gain, int16_t value, int digits)
{
    return ScaleTables::int16ToVolt(gain, value, digits);
}
double VeltoInterface::int8ToVolt_f(uint8_t gain, int8_t sample) { return ScaleTables::int8ToVolt_f(gain, sample); }
double VeltoInterface::int8ToVolt_f(uint8_t gain, int8_t a, int8_t b) { return ScaleTables::int8ToVolt_f(gain, a, b); }
double VeltoInterface::int16ToVolt_f(uint8_t gain, int16_t value) { return ScaleTables::int16ToVolt_f(gain, value); }
QString VeltoInterface::pixelValueToVolt(double pixels, QString voltsPerDiv, int digits)
{
    return ScaleTables::pixelValueToVolt(pixels, voltsPerDiv, digits);
}
double VeltoInterface::rawValueToVolt(QString voltsPerDiv, double pixels)
{
    return ScaleTables::rawValueToVolt(voltsPerDiv, pixels);
}
QString VeltoInterface::samplex100ToFrequency(int periodX100, uint8_t samplingIndex)
{
    return ScaleTables::samplex100ToFrequency(periodX100, samplingIndex);
}
double VeltoInterface::samplex100ToFrequency_f(int periodX100, uint8_t samplingIndex)
{
    return ScaleTables::samplex100ToFrequency_f(periodX100, samplingIndex);
}
QString VeltoInterface::get4Digits(double x) { return ScaleTables::get4Digits(x); }
QString VeltoInterface::get3Digits(double x) { return ScaleTables::get3Digits(x); }
QString VeltoInterface::getDigitsPrecision(double x, int decimals) { return ScaleTables::getDigitsPrecision(x, decimals); }
int VeltoInterface::mapRange(int x, int a, int b, int c, int d) { return ScaleTables::mapRange(x, a, b, c, d); }
double VeltoInterface::mapRangeF(double x, double a, double b, double c, double d)
{
    return ScaleTables::mapRangeF(x, a, b, c, d);
}
int VeltoInterface::mathRoundTo(double x, int step) { return ScaleTables::mathRoundTo(x, step); }
double VeltoInterface::vCursorDeltaTime(double a, double b, QString &unit, double divisor, int samplingIndex)
{
    return ScaleTables::vCursorDeltaTime(a, b, unit, divisor, samplingIndex);
}
double VeltoInterface::deltaToFrequency(double t, int samplingIndex)
{
    return ScaleTables::deltaToFrequency(t, samplingIndex);
}
double VeltoInterface::vCursorFrequency(double t, QString &unit, int samplingIndex)
{
    return ScaleTables::vCursorFrequency(t, unit, samplingIndex);
}

void VeltoInterface::sendSamplingRate(int index)
{
    sendMainConfiguration(ConfigEntry::SamplingRate, index);
}

void VeltoInterface::scopeSamplingSliderChanged(int index)
{
    const ScaleTables::SamplingControlStates states =
        ScaleTables::samplingControlStates(index, ui->rollMode->isChecked());
    ui->rollMode->setEnabled(states.rollEnabled);
    ui->elasticMode->setEnabled(states.elasticEnabled);
    triggerModel.triggerSetSlowSamplingRate(states.slowSampling);
    if (!usbDevice.deviceOpened)
        return;
    triggerRefreshPos();
    scopeRefreshSamplingRateLabel();
    sendSamplingRate(index);
}

void VeltoInterface::scopeRollModeChanged()
{
    sendMixedControls();
    ui->elasticMode->setEnabled(!ui->rollMode->isChecked());
    redrawRequested = true;
}

void VeltoInterface::on_rollMode_clicked() { scopeRollModeChanged(); }

void VeltoInterface::on_elasticMode_clicked()
{
    sendMixedControls();
    redrawRequested = true;
}

void VeltoInterface::scopeRefreshSamplingRateLabel()
{
    ui->labelSamplingRate->setText(
        ScaleTables::samplingRateLabelText(ui->samplingSlider->value(), ui->comboBoxADCBuffer->currentIndex()));
}

void VeltoInterface::on_samplingSlider_valueChanged(int value)
{
    scopeSamplingSliderChanged(value);
}
