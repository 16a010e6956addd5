// SPDX-License-Identifier: GPL-3.0-only
// The generator's frequency entry and its sweep.
#include "instruments/frequencysweepcontrols.h"

#include "base/logging.h"
#include "core/device/configprotocol.h"
#include "device/devicesession.h"
#include "core/instruments/generatorlaws.h"
#include "ui_veltointerface.h"

#include <QSignalBlocker>

#include <algorithm>
#include <climits>
#include <cmath>

using namespace Generator;

namespace {
// A script's code for a sweep slider, truncated.
bool sliderCode(double value, const char *operation, int *code)
{
    if (!std::isfinite(value)) {
        VELTO_LOG(QStringLiteral("%1: %2 is not a number, nothing changed").arg(QLatin1String(operation)).arg(value), 2);
        return false;
    }
    *code = int(std::trunc(std::max(double(INT_MIN), std::min(double(INT_MAX), value))));
    return true;
}

// A script's code beyond the slider's codes is taken at the nearer end, and the log says so.
int withinSlider(const QSlider *slider, int code, const char *operation)
{
    const int taken = std::clamp(code, slider->minimum(), slider->maximum());
    if (taken != code)
        VELTO_LOG(QStringLiteral("%1: code %2 is outside this sweep's %3 … %4, %5 taken")
                      .arg(QLatin1String(operation))
                      .arg(code)
                      .arg(slider->minimum())
                      .arg(slider->maximum())
                      .arg(taken),
                  2);
    return taken;
}

Swept sweptQuantity(const Ui::VeltoInterface *ui)
{
    if (ui->radioButtonSweepFrequency->isChecked())
        return Swept::Frequency;
    if (ui->radioButtonSweepAmplitude->isChecked())
        return Swept::Amplitude;
    if (ui->radioButtonSweepOffset->isChecked())
        return Swept::Offset;
    if (ui->radioButtonSweepDutyCycle->isChecked())
        return Swept::DutyCycle;
    return Swept::None;
}
} // namespace

FrequencySweepControls::FrequencySweepControls(Ui::VeltoInterface *ui, DeviceSession *session, QObject *parent)
    : QObject(parent), ui(ui), session(session)
{
    MultimeterDisplay *effectiveDisplay = ui->multimeterdisplayAWGFrequency;
    effectiveDisplay->setLabel(tr("Effective frequency"));
    effectiveDisplay->setUnit(QStringLiteral("Hz"));
    effectiveDisplay->setPrecision(-2);
    effectiveDisplay->setValueFontSize(11);
    effectiveDisplay->setStretch(40, 50, 15, 10);
    ui->frameAWGSweep->setEnabled(ui->collapsiblePanelAWGSweep->isChecked());
    ui->sweepSpeedText->setToolTip(tr("Time one sweep takes from start to end"));
    connectFrequency();
    connectSweep();
}

void FrequencySweepControls::connectFrequency()
{
    connect(ui->frequencySlider, &QSlider::valueChanged, this, &FrequencySweepControls::frequencySliderChanged);
    QToolButton *up[digitCount] = {ui->toolButtonFrequencyDigit100000Up, ui->toolButtonFrequencyDigit10000Up,
                                   ui->toolButtonFrequencyDigit1000Up,   ui->toolButtonFrequencyDigit100Up,
                                   ui->toolButtonFrequencyDigit10Up,     ui->toolButtonFrequencyDigit1Up,
                                   ui->toolButtonFrequencyDigit01Up,     ui->toolButtonFrequencyDigit001Up};
    QToolButton *down[digitCount] = {ui->toolButtonFrequencyDigit100000Down, ui->toolButtonFrequencyDigit10000Down,
                                     ui->toolButtonFrequencyDigit1000Down,   ui->toolButtonFrequencyDigit100Down,
                                     ui->toolButtonFrequencyDigit10Down,     ui->toolButtonFrequencyDigit1Down,
                                     ui->toolButtonFrequencyDigit01Down,     ui->toolButtonFrequencyDigit001Down};
    for (int k = 0; k < digitCount; ++k) {
        QLabel *label = digitLabel(k);
        const int maximum = digitMaximum[size_t(k)];
        connect(up[k], &QToolButton::clicked, this, [this, label, maximum] {
            frequencyDigitIncrease(label, maximum);
            frequencyDigitsValueChanged();
        });
        connect(down[k], &QToolButton::clicked, this, [this, label, maximum] {
            frequencyDigitDecrease(label, maximum);
            frequencyDigitsValueChanged();
        });
    }
}

void FrequencySweepControls::connectSweep()
{
    for (QRadioButton *type : {ui->radioButtonSweepFrequency, ui->radioButtonSweepAmplitude,
                               ui->radioButtonSweepDutyCycle, ui->radioButtonSweepOffset})
        connect(type, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                sweepTypeChanged();
        });
    for (QRadioButton *direction :
         {ui->radioButtonSweepRising, ui->radioButtonSweepPingPong, ui->radioButtonSweepFalling})
        connect(direction, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                sendSweepTypeControls();
        });
    connect(ui->sweepStartFreqSlider, &QSlider::valueChanged, this, &FrequencySweepControls::sweepStartFreqChanged);
    connect(ui->sweepEndFreqSlider, &QSlider::valueChanged, this, &FrequencySweepControls::sweepEndFreqChanged);
    connect(ui->sweepSpeedSlider, &QSlider::valueChanged, this, &FrequencySweepControls::sweepSpeedSliderChanged);
    connect(ui->collapsiblePanelAWGSweep, &CollapsiblePanel::checkedChanged, this,
            &FrequencySweepControls::sweepPanelCheckedChanged);
}

QLabel *FrequencySweepControls::digitLabel(int position) const
{
    QLabel *labels[digitCount] = {ui->labelFrequencyDigit100000, ui->labelFrequencyDigit10000,
                                  ui->labelFrequencyDigit1000,   ui->labelFrequencyDigit100,
                                  ui->labelFrequencyDigit10,     ui->labelFrequencyDigit1,
                                  ui->labelFrequencyDigit01,     ui->labelFrequencyDigit001};
    return labels[position];
}

// --- Frequency ----------------------------------------------------------------

void FrequencySweepControls::frequencySliderChanged(int position)
{
    const long long f = frequencySliderValueToInt(position);
    frequencyDigitsShowValue(double(f));
    updateFrequency(double(f));
}

void FrequencySweepControls::frequencyDigitsShowValue(double centiHertz)
{
    const Digits digits = frequencyDigits(centiHertz);
    for (int k = 0; k < digitCount; ++k)
        digitLabel(k)->setText(QString::number(digits[size_t(k)]));
}

long long FrequencySweepControls::frequencyDigitsToFrequency() const
{
    Digits digits{};
    for (int k = 0; k < digitCount; ++k)
        digits[size_t(k)] = digitLabel(k)->text().toInt();
    return digitsToFrequency(digits);
}

void FrequencySweepControls::frequencyDigitIncrease(QLabel *label, int maximum)
{
    label->setText(QString::number(digitIncrease(label->text().toInt(), maximum)));
}

void FrequencySweepControls::frequencyDigitDecrease(QLabel *label, int maximum)
{
    label->setText(QString::number(digitDecrease(label->text().toInt(), maximum)));
}

void FrequencySweepControls::frequencyDigitsValueChanged()
{
    const long long f = frequencyDigitsToFrequency();
    {
        // The slider follows the digits without sending its own, rounded, value.
        const QSignalBlocker blocker(ui->frequencySlider);
        ui->frequencySlider->setValue(frequencyIntToSliderValue(double(f)));
    }
    updateFrequency(double(f));
}

void FrequencySweepControls::updateFrequency(double centiHertz)
{
    sendWaveFrequency(static_cast<long long>(std::trunc(centiHertz)));
    showEffectiveFrequency();
    ui->collapsiblePanelAWGFrequency->setText(frequencySummary(frequencyDigitsToFrequency()));
}

bool FrequencySweepControls::showEffectiveFrequency()
{
    // The instrument is asked only when it is there and not being configured:
    // while a session start gathers its block, the entry is not yet applied.
    if (!session->isOpen()) {
        effective = 0;
        ui->multimeterdisplayAWGFrequency->setValue(effective);
        return false;
    }
    if (session->bulkMode())
        return false;
    session->readBlock(ReadBlock::GeneratorFrequency, 4, DeviceSession::Need::Optional, this,
                       [this](int received, const QByteArray &answer) {
                           effective = Generator::effectiveFrequency(
                               reinterpret_cast<const unsigned char *>(answer.constData()), received);
                           ui->multimeterdisplayAWGFrequency->setValue(effective);
                           emit effectiveFrequencyShown();
                       });
    return true;
}

void FrequencySweepControls::sendWaveFrequency(long long centiHertz)
{
    session->sendWaveFrequency(centiHertz);
}

// --- Sweep ----------------------------------------------------------------------

void FrequencySweepControls::sweepTypeChanged()
{
    // A swept amplitude or offset stays within what its Levels control can
    // set: the sliders take only those codes, and one beyond them moves to
    // the nearer end (which is sent, as any move of the slider is).
    const SweepCodes codes = sweepCodes(sweptQuantity(ui));
    for (QSlider *slider : {ui->sweepEndFreqSlider, ui->sweepStartFreqSlider})
        slider->setRange(codes.minimum, codes.maximum);
    sweepCursorsUpdate();
    sendSweepTypeControls();
}

void FrequencySweepControls::sweepCursorsUpdate()
{
    const Swept quantity = sweptQuantity(ui);
    if (quantity == Swept::None)
        return;
    const struct {
        QSlider *slider;
        QDoubleSpinBox *box;
        QLabel *unit;
    } ends[2] = {{ui->sweepStartFreqSlider, ui->startFreqText, ui->labelUnitStart},
                 {ui->sweepEndFreqSlider, ui->endFreqText, ui->labelUnitEnd}};
    for (const auto &end : ends) {
        const SweepShown shown = sweepShown(quantity, end.slider->value());
        end.box->setDecimals(shown.decimals);
        end.box->setValue(shown.value);
        end.unit->setText(shown.unit);
    }
}

void FrequencySweepControls::sendSweepTypeControls()
{
    ConfigProtocol::SweepControls controls;
    controls.falling = ui->radioButtonSweepFalling->isChecked();
    controls.pingPong = ui->radioButtonSweepPingPong->isChecked();
    controls.panelChecked = ui->collapsiblePanelAWGSweep->isChecked();
    controls.frequency = ui->radioButtonSweepFrequency->isChecked();
    controls.amplitude = ui->radioButtonSweepAmplitude->isChecked();
    controls.offset = ui->radioButtonSweepOffset->isChecked();
    controls.dutyCycle = ui->radioButtonSweepDutyCycle->isChecked();
    session->sendMainConfiguration(ConfigEntry::SweepType, ConfigProtocol::sweepType(controls));
}

void FrequencySweepControls::sweepStartFreqChanged()
{
    QSlider *start = ui->sweepStartFreqSlider;
    const int ordered = sweepStartOrdered(start->value(), ui->sweepEndFreqSlider->value());
    if (ordered != start->value()) {
        const QSignalBlocker blocker(start);
        start->setValue(ordered);
    }
    sendSweepStart(start->value());
}

void FrequencySweepControls::sweepEndFreqChanged()
{
    QSlider *end = ui->sweepEndFreqSlider;
    const int ordered = sweepEndOrdered(ui->sweepStartFreqSlider->value(), end->value());
    if (ordered != end->value()) {
        const QSignalBlocker blocker(end);
        end->setValue(ordered);
    }
    sendSweepEnd(end->value());
}

void FrequencySweepControls::sweepSpeedSliderChanged(int speed)
{
    // The speed is told as the time one sweep takes from start to end.
    ui->sweepSpeedText->setText(tr("%1 per sweep").arg(sweepDurationText(speed)));
    sendSweepSpeed(speed);
}

void FrequencySweepControls::sweepPanelCheckedChanged(bool on)
{
    ui->frameAWGSweep->setEnabled(on);
    sweepCursorsUpdate();
    sendSweepTypeControls();
}

void FrequencySweepControls::sendSweepStart(int code)
{
    sweepCursorsUpdate();
    session->sendMainConfiguration(ConfigEntry::SweepStart, ConfigProtocol::lowByte(code));
}

void FrequencySweepControls::sendSweepEnd(int code)
{
    sweepCursorsUpdate();
    session->sendMainConfiguration(ConfigEntry::SweepEnd, ConfigProtocol::lowByte(code));
}

void FrequencySweepControls::sendSweepSpeed(int speed)
{
    session->sendMainConfiguration(ConfigEntry::SweepSpeed, ConfigProtocol::sweepSpeed(speed));
}

void FrequencySweepControls::replaySettings()
{
    frequencyDigitsValueChanged();
    sweepSpeedSliderChanged(ui->sweepSpeedSlider->value());
    sendSweepTypeControls();
    sweepStartFreqChanged();
    sweepEndFreqChanged();
    sweepTypeChanged();
}

// --- What scripts call ------------------------------------------------------------

void FrequencySweepControls::setAwgFrequency(double hertz)
{
    if (!std::isfinite(hertz) || hertz < 0) {
        VELTO_LOG(QStringLiteral("setAwgFrequency: %1 Hz is not a frequency, nothing changed").arg(hertz), 2);
        return;
    }
    frequencyDigitsShowValue(hertz * 100.0);
    frequencyDigitsValueChanged();
}

void FrequencySweepControls::setAwgSweepEnabled(bool enabled)
{
    ui->collapsiblePanelAWGSweep->setChecked(enabled);
}

void FrequencySweepControls::setAwgSweepSpeed(int speed)
{
    ui->sweepSpeedSlider->setValue(speed);
}

void FrequencySweepControls::setAwgSweepStart(double code)
{
    int value = 0;
    if (sliderCode(code, "setAwgSweepStart", &value))
        ui->sweepStartFreqSlider->setValue(withinSlider(ui->sweepStartFreqSlider, value, "setAwgSweepStart"));
}

void FrequencySweepControls::setAwgSweepEnd(double code)
{
    int value = 0;
    if (sliderCode(code, "setAwgSweepEnd", &value))
        ui->sweepEndFreqSlider->setValue(withinSlider(ui->sweepEndFreqSlider, value, "setAwgSweepEnd"));
}

void FrequencySweepControls::clickRadioButtonSweepFrequency() { ui->radioButtonSweepFrequency->click(); }
void FrequencySweepControls::clickRadioButtonSweepAmplitude() { ui->radioButtonSweepAmplitude->click(); }
void FrequencySweepControls::clickRadioButtonSweepDutyCycle() { ui->radioButtonSweepDutyCycle->click(); }
void FrequencySweepControls::clickRadioButtonSweepOffset() { ui->radioButtonSweepOffset->click(); }
void FrequencySweepControls::clickRadioButtonSweepDirectionRising() { ui->radioButtonSweepRising->click(); }
void FrequencySweepControls::clickRadioButtonSweepDirectionPingPong() { ui->radioButtonSweepPingPong->click(); }
void FrequencySweepControls::clickRadioButtonSweepDirectionFaling() { ui->radioButtonSweepFalling->click(); }
