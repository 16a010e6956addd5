// Channel trace enables, buffer sizes and the channel control bytes.
#include "app/veltointerface.h"
#include "device/configprotocol.h"
#include "ui_veltointerface.h"

#include <QComboBox>

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

void VeltoInterface::on_checkBoxCH1ACDC_clicked() { sendCH1Controls(); }
void VeltoInterface::on_checkBoxCH1Invert_clicked() { sendCH1Controls(); }
void VeltoInterface::on_checkBoxCH1Average_clicked() { sendCH1Controls(); }
void VeltoInterface::on_checkBoxCH1Math_clicked() { sendCH1Controls(); }
void VeltoInterface::on_radioButtonCH1Sub_clicked() { sendCH1Controls(); }
void VeltoInterface::on_radioButtonCH1Multiply_clicked() { sendCH1Controls(); }
void VeltoInterface::on_checkBoxCH2ACDC_clicked() { sendCH2Controls(); }
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
