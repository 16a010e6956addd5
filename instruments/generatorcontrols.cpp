// The generator's buffer, enable and frequency digits.
#include "instruments/generatorcontrols.h"

#include "device/configprotocol.h"
#include "device/devicesession.h"
#include "scope/channelcontrols.h"
#include "ui_veltointerface.h"

#include <QLabel>

using namespace ConfigProtocol;

namespace {
// Weights of the eight frequency digits in hundredths of a hertz, from the
// 100 kHz digit down to the 0.01 Hz digit.
const long long digitWeights[8] = {10000000, 1000000, 100000, 10000, 1000, 100, 10, 1};
} // namespace

GeneratorControls::GeneratorControls(Ui::VeltoInterface *ui, DeviceSession *session, ScopeChannels *channels,
                                     QObject *parent)
    : QObject(parent), ui(ui), session(session), channels(channels)
{
    connect(ui->comboBoxDACBuffer, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &GeneratorControls::awgDACBufferChanged);
    connect(ui->checkBoxAWGEnable, &QCheckBox::clicked, this, &GeneratorControls::awgEnableChanged);
}

QLabel *GeneratorControls::frequencyDigitLabel(int position) const
{
    QLabel *labels[8] = {ui->labelFrequencyDigit100000, ui->labelFrequencyDigit10000, ui->labelFrequencyDigit1000,
                         ui->labelFrequencyDigit100,    ui->labelFrequencyDigit10,    ui->labelFrequencyDigit1,
                         ui->labelFrequencyDigit01,     ui->labelFrequencyDigit001};
    return (position >= 0 && position < 8) ? labels[position] : nullptr;
}

void GeneratorControls::awgDACBufferChanged(int index)
{
    session->sendDACBufferBlocks(ConfigProtocol::dataValueRangeTrunk(index + 1, 1, 2));
    channels->bufferCheckMaxSize();
}

void GeneratorControls::awgEnableChanged()
{
    const bool accepted = confirmedWriteWithMemoryCheck(
        [this](unsigned char *reply, int length) { return sendDACControls(reply, length); },
        [this](int blocks) { channels->scopeADCBufferChanged(blocks - 1); });
    if (!accepted)
        return;
    ui->comboBoxDACBuffer->setEnabled(ui->checkBoxAWGEnable->isChecked());
    channels->bufferCheckMaxSize();
}

long long GeneratorControls::frequencyDigitsToFrequency() const
{
    long long value = 0;
    for (int i = 0; i < 8; ++i)
        value += frequencyDigitLabel(i)->text().toInt() * digitWeights[i];
    return value;
}

void GeneratorControls::frequencyDigitsValueChanged()
{
    // The logarithmic frequency slider follows here once the generator page has it.
    updateFrequency(double(frequencyDigitsToFrequency()));
}

void GeneratorControls::updateFrequency(double hundredthsOfHertz)
{
    session->sendWaveFrequency((long long)hundredthsOfHertz);
    // The instrument is asked only when it is there and not being configured:
    // while a session start gathers its block, the entry is not yet applied.
    if (session->isOpen() && !session->bulkMode())
        effective = frequencyRealValueCheck();
}

double GeneratorControls::frequencyRealValueCheck()
{
    unsigned char answer[4] = {0, 0, 0, 0};
    if (session->readBlock(ReadBlock::GeneratorFrequency, answer, 4) != 4)
        return 0;
    const uint32_t value = uint32_t(answer[0]) | uint32_t(answer[1]) << 8 | uint32_t(answer[2]) << 16 |
                           uint32_t(answer[3]) << 24;
    return double(float(value / 100.0));
}

int GeneratorControls::sendDACControls(unsigned char *reply, int length)
{
    return session->sendMainConfigurationConfirm(reply, length, ConfigEntry::DacEnable, ui->checkBoxAWGEnable->isChecked() ? 1 : 0);
}
