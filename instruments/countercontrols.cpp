// SPDX-License-Identifier: GPL-3.0-only
// The frequency counter page: type, inputs, entry 11, pulse counting.
#include "instruments/countercontrols.h"

#include "core/device/configprotocol.h"
#include "device/devicesession.h"
#include "scope/triggercontrols.h"
#include "ui_veltointerface.h"
#include "widgets/multimeterdisplay.h"

#include <algorithm>
#include <cmath>

using MeterReadings::CounterType;

CounterControls::CounterControls(Ui::VeltoInterface *ui, DeviceSession *session, TriggerControls *trigger,
                                 QObject *parent)
    : QObject(parent), ui(ui), session(session), trigger(trigger)
{
    // Each control acts on its state however it was set (a click, a script,
    // the stored settings); of the radio buttons, the one switched on. The
    // type sets the operating mode and the input shares entry 8 with the
    // scope's trigger source: changed while the page is not in use, they
    // wait for it, and opening the page sends them.
    for (QRadioButton *type : {ui->radioFreq, ui->radioPeriod, ui->radioPulse, ui->radioExtGate})
        connect(type, &QRadioButton::toggled, this, [this](bool on) {
            if (on && pageInUse())
                meterFrequencyModeChanged();
        });
    // Fast mode, and the gate width's two buttons, which swap: one change each.
    connect(ui->checkBoxFreqFastMode, &QCheckBox::toggled, this, &CounterControls::sendMeterFrequencyControl);
    connect(ui->radioFrequencyGatePeriod, &QRadioButton::toggled, this, &CounterControls::sendMeterFrequencyControl);
    for (QRadioButton *b : ui->groupBoxSource->findChildren<QRadioButton *>())
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on && pageInUse())
                sendTriggerSource();
        });
    for (QRadioButton *b : ui->groupBoxSourceGate->findChildren<QRadioButton *>())
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                sendGateSource();
        });
    connect(ui->pushButtonCounterStart, &QPushButton::clicked, this, &CounterControls::counterStart);
    connect(ui->pushButtonCounteStop, &QPushButton::clicked, this, &CounterControls::counterStop);
    ui->multimeterdisplayCounter->setNaNText(QString(QChar(0x2014))); // a dash: no count known
}

bool CounterControls::pageInUse() const
{
    return ui->mainTabWidget->currentIndex() == 1 && ui->mmTabWidget->currentIndex() == 2;
}

QList<MultimeterDisplay *> CounterControls::displays() const
{
    return {ui->multimeterdisplayFrequencyValue, ui->multimeterdisplayDutyValue,
            ui->multimeterdisplayDutyValue_s, ui->multimeterdisplayPeriodValue, ui->multimeterdisplayCounter};
}

bool CounterControls::counterType(CounterType &type) const
{
    const std::pair<QRadioButton *, CounterType> order[4] = {{ui->radioFreq, CounterType::Frequency},
                                                             {ui->radioPulse, CounterType::CountPulses},
                                                             {ui->radioPeriod, CounterType::Period},
                                                             {ui->radioExtGate, CounterType::ExternalGate}};
    for (const auto &[button, t] : order) {
        if (button->isChecked()) {
            type = t;
            return true;
        }
    }
    return false;
}

void CounterControls::meterFrequencyModeChanged()
{
    clearMMLabelsFreq();
    CounterType type;
    if (!counterType(type)) {
        sendMeterFrequencyControl();
        session->sendMainModeControls(mode);
        return;
    }
    const MeterReadings::CounterPage page = MeterReadings::counterPage(type);
    mode = page.mode;
    ui->groupBoxSourceGate->setEnabled(page.gateEnabled);
    ui->multimeterdisplayFrequencyValue->setVisible(page.frequency);
    ui->multimeterdisplayPeriodValue->setVisible(page.period);
    ui->multimeterdisplayDutyValue->setVisible(page.duty);
    ui->multimeterdisplayDutyValue_s->setVisible(page.width);
    ui->multimeterdisplayCounter->setVisible(page.counter);
    counterButtonEnable(page.startEnabled);
    emit mainModeChanged(mode);
    emit pollIntervalChanged(page.pollInterval);
    sendMeterFrequencyControl();
    session->sendMainModeControls(mode);
}

int CounterControls::checkedInput(const QString &suffix) const
{
    for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 10, 11}) {
        const auto *button =
            ui->mmCounterTab->findChild<QRadioButton *>(QStringLiteral("fcR%1%2").arg(code).arg(suffix));
        if (button && button->isChecked())
            return code;
    }
    return -1;
}

void CounterControls::sendTriggerSource()
{
    // The counter's input shares entry 8 with the scope's trigger source.
    trigger->sendTriggerSource(ConfigProtocol::counterInputSource(checkedInput(QString())));
    restartGateCount();
}

void CounterControls::sendGateSource()
{
    session->sendMainConfiguration(ConfigEntry::GateSource,
                                   ConfigProtocol::gateSource(checkedInput(QStringLiteral("_2"))));
    restartGateCount();
}

void CounterControls::sendMeterFrequencyControl()
{
    session->sendMainConfiguration(
        ConfigEntry::MeterFrequency,
        ConfigProtocol::meterFrequencyControl(ui->checkBoxFreqFastMode->isChecked(),
                                              ui->radioFrequencyGatePeriod->isChecked()));
}

void CounterControls::counterStart()
{
    session->sendCounterStop();
    clearMMLabelsFreq();
    session->sendCounterStart();
    ui->pushButtonCounteStop->setEnabled(true);
    emit pollIntervalChanged(200);
}

void CounterControls::counterStop()
{
    session->sendCounterStop();
    ui->pushButtonCounteStop->setEnabled(false);
    // Polling goes on so that the final count stays on the page.
    emit pollIntervalChanged(100);
}

void CounterControls::counterButtonEnable(bool enable)
{
    ui->pushButtonCounterStart->setEnabled(enable);
    ui->pushButtonCounteStop->setEnabled(false);
}

void CounterControls::clearMMLabelsFreq()
{
    for (MultimeterDisplay *display : displays())
        display->setValue(0);
    ui->multimeterdisplayCounter->setToolTip(tr("Pulses counted"));
    restartGateCount();
}

void CounterControls::restartGateCount()
{
    gate.clear();
    if (ui->radioExtGate->isChecked())
        showGateCount();
}

void CounterControls::showGateCount()
{
    // The instrument's count runs while the gate is open; a poll that lands
    // there reads part of a gate, which is never shown.
    const int poll = MeterReadings::counterPage(CounterType::ExternalGate).pollInterval;
    const QString sparse = tr("The gate closes and opens again between two polls (every %1 ms),\n"
                              "too quickly to be seen whole; the latest counted at least %2 edges.")
                               .arg(poll)
                               .arg(gate.missedAtLeast());
    QString tip;
    if (!gate.known())
        tip = gate.missed() ? tr("No gate seen whole yet.\n%1").arg(sparse)
                            : tr("Edges of the last complete gate: waiting for a gate to close");
    else
        tip = gate.missed() ? tr("Edges of the last gate seen whole.\n%1").arg(sparse)
                            : tr("Edges of the last complete gate");
    ui->multimeterdisplayCounter->setToolTip(tip);
    if (gate.known())
        ui->multimeterdisplayCounter->setValue(double(gate.complete()));
    else
        ui->multimeterdisplayCounter->setNaN();
}

void CounterControls::showCounts(uint32_t c1, uint32_t c2)
{
    CounterType type;
    if (!counterType(type))
        return;
    const MeterReadings::CounterPage page = MeterReadings::counterPage(type);
    const MeterReadings::CounterReading r =
        MeterReadings::counterReading(type, c1, c2, ui->checkBoxFreqFastMode->isChecked());
    if (type == CounterType::ExternalGate) {
        gate.take(c1);
        showGateCount();
    } else if (page.counter) {
        ui->multimeterdisplayCounter->setValue(r.count);
    }
    // A gate's count is good to one edge: 1 Hz, 4 Hz in fast mode, and the period as far as that moves it.
    const double step = ui->checkBoxFreqFastMode->isChecked() ? 4.0 : 1.0;
    const double f = r.frequency;
    if (page.frequency)
        showWithDigits(ui->multimeterdisplayFrequencyValue, f, r.significant, {-2, 0}, r.significant ? step : 1.0);
    if (page.period)
        showWithDigits(ui->multimeterdisplayPeriodValue, r.period, r.significant, {-9, -6},
                       r.significant && f > step ? 1.0 / (f - step) - 1.0 / f : 6.25e-08);
    if (page.duty)
        ui->multimeterdisplayDutyValue->setValue(r.duty);
    if (page.width)
        ui->multimeterdisplayDutyValue_s->setValue(r.width);
}

void CounterControls::showWithDigits(MultimeterDisplay *display, double value, int significant,
                                     MeterReadings::ShownDigits shown, double accuracy)
{
    // A frequency gate's count holds a few digits, and its accuracy is at
    // least one of the last; the 32 MHz period count holds the read-out's own.
    if (significant > 0 && std::isfinite(value) && value != 0) {
        shown = MeterReadings::significantDigits(value, significant);
        accuracy = std::max(accuracy, std::pow(10.0, shown.precision));
    }
    display->setPrecision(shown.precision);
    display->setUnitPower(shown.unitPower);
    display->setAccuracy(accuracy, QStringLiteral("50ppm"));
    display->setValue(value);
}
