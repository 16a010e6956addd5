// The generator's buffer, enable and frequency digits.
#include "app/veltointerface.h"
#include "device/configprotocol.h"
#include "ui_veltointerface.h"

#include <QLabel>

using namespace ConfigProtocol;

namespace {
// Weights of the eight frequency digits in hundredths of a hertz, from the
// 100 kHz digit down to the 0.01 Hz digit.
const long long digitWeights[8] = {10000000, 1000000, 100000, 10000, 1000, 100, 10, 1};
} // namespace

QLabel *VeltoInterface::frequencyDigitLabel(int position) const
{
    QLabel *labels[8] = {ui->labelFrequencyDigit100000, ui->labelFrequencyDigit10000, ui->labelFrequencyDigit1000,
                         ui->labelFrequencyDigit100,    ui->labelFrequencyDigit10,    ui->labelFrequencyDigit1,
                         ui->labelFrequencyDigit01,     ui->labelFrequencyDigit001};
    return (position >= 0 && position < 8) ? labels[position] : nullptr;
}

void VeltoInterface::awgDACBufferChanged(int index)
{
    sendDACBufferBlocks(dataValueRangeTrunk(index + 1, 1, 2));
    bufferCheckMaxSize();
}

void VeltoInterface::on_comboBoxDACBuffer_currentIndexChanged(int index)
{
    awgDACBufferChanged(index);
}

void VeltoInterface::awgEnableChanged()
{
    const bool accepted = confirmedWriteWithMemoryCheck(
        [this](unsigned char *reply, int length) { return sendDACControls(reply, length); },
        [this](int blocks) { scopeADCBufferChanged(blocks - 1); });
    if (!accepted)
        return;
    ui->comboBoxDACBuffer->setEnabled(ui->checkBoxAWBEnable->isChecked());
    bufferCheckMaxSize();
}

void VeltoInterface::on_checkBoxAWBEnable_clicked()
{
    awgEnableChanged();
}

long long VeltoInterface::frequencyDigitsToFrequency()
{
    long long value = 0;
    for (int i = 0; i < 8; ++i)
        value += frequencyDigitLabel(i)->text().toInt() * digitWeights[i];
    return value;
}

void VeltoInterface::frequencyDigitsValueChanged()
{
    // The logarithmic frequency slider follows here once the generator page has it.
    updateFrequency(double(frequencyDigitsToFrequency()));
}

void VeltoInterface::updateFrequency(double hundredthsOfHertz)
{
    sendWaveFrequency((long long)hundredthsOfHertz);
    effectiveFrequency = frequencyRealValueCheck();
}

double VeltoInterface::frequencyRealValueCheck()
{
    unsigned char answer[4] = {0, 0, 0, 0};
    if (usbDevice.controlReadTransfer(Request::ReadBlock, answer, 4, ReadBlock::GeneratorFrequency, 0) != 4)
        return 0;
    const uint32_t value = uint32_t(answer[0]) | uint32_t(answer[1]) << 8 | uint32_t(answer[2]) << 16 |
                           uint32_t(answer[3]) << 24;
    return double(float(value / 100.0));
}
