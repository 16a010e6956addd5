// SPDX-License-Identifier: GPL-3.0-only
// The meter tab: page changes, the read-outs, the poll and its AC and DC pages.
#include "instruments/metercontrols.h"

#include "base/logging.h"
#include "core/scope/measurements.h"
#include "core/device/configprotocol.h"
#include "device/devicesession.h"
#include "core/device/frames.h"
#include "instruments/countercontrols.h"
#include "core/instruments/meterreadings.h"
#include "ui_veltointerface.h"
#include "widgets/multimeterdisplay.h"

#include <vector>

namespace
{
// How each read-out of the meter tab is set up.
struct DisplaySetup {
    MultimeterDisplay *display;
    const char *label;
    const char *unit;
    int valueSize;
    int labelSize;
    int precision;
    int unitPower; // 0: no prefix forced
    bool hasRange;
    double rangeMin, rangeMax;
    bool checkRange;
    bool hasAccuracy;
    double accuracy;
    const char *relative;
    bool extremes, buttons, bargraph;
};

void configure(const DisplaySetup &s, MultimeterDisplayOptions *options, QObject *window)
{
    MultimeterDisplay *d = s.display;
    d->setLabel(MeterControls::tr(s.label));
    d->setUnit(QString::fromUtf8(s.unit));
    d->setValueFontSize(s.valueSize);
    d->setLabelFontSize(s.labelSize);
    d->setPrecision(s.precision);
    if (s.unitPower != 0)
        d->setUnitPower(s.unitPower);
    if (s.hasRange)
        d->setRange(s.rangeMin, s.rangeMax);
    d->enableCheckRange(s.checkRange);
    if (s.hasAccuracy) {
        d->setAccuracy(s.accuracy, QString::fromLatin1(s.relative));
        d->setAccuracyVisible(true);
    }
    d->enableExtreme(s.extremes);
    d->enableButtons(s.buttons);
    d->enableBargraph(s.bargraph);
    d->enableContexMenu(true);
    d->connectOptions(options, window, "1callSettings(QString)", "2applyConfigurationRequest()");
}
} // namespace

MeterControls::MeterControls(Ui::VeltoInterface *ui, DeviceSession *session, CounterControls *counter,
                             MultimeterDisplayOptions *options, QObject *window, QObject *parent)
    : QObject(parent), ui(ui), session(session), counter(counter)
{
    setupDisplays(options, window);
    connect(ui->mmTabWidget, &QTabWidget::currentChanged, this, &MeterControls::meterTabChanged);
    // The window hears the counter's needs through this controller.
    connect(counter, &CounterControls::pollIntervalChanged, this, &MeterControls::pollIntervalChanged);
    connect(counter, &CounterControls::mainModeChanged, this, &MeterControls::mainModeChanged);
    setLive(false, tr("No reading yet"));
}

void MeterControls::setupDisplays(MultimeterDisplayOptions *options, QObject *window)
{
    // Read-out, caption, unit, value and caption font sizes, precision, unit
    // power, range (set, minimum, maximum, checked), accuracy (set, absolute,
    // relative), extremes, buttons, bar graph.
    std::vector<DisplaySetup> setups;
    for (int ch : {1, 2}) {
        const auto ac = acDisplays(ch);
        // Vpp, Max, Min, RMS, Average, Frequency.
        setups.push_back(
            {ac[0], "Vpp", "V", 18, 12, -2, 0, true, 0, 48, true, true, 0, "1%", true, true, false});
        setups.push_back(
            {ac[1], "Max", "V", 18, 12, -2, 0, true, -24, 24, true, true, 0, "1%", true, true, false});
        setups.push_back(
            {ac[2], "Min", "V", 18, 12, -2, 0, true, -24, 24, true, true, 0, "1%", true, true, false});
        setups.push_back(
            {ac[3], "RMS", "V", 18, 12, -3, 0, true, 0, 24, false, true, 0, "1%", false, false, false});
        setups.push_back(
            {ac[4], "Average", "V", 18, 12, -3, 0, true, -24, 24, false, true, 0, "1%", false, false, false});
        setups.push_back({ac[5], "Frequency", "Hz", 18, 12, 0, 3, true, 0, 100000, true, true, 1.0, "50ppm",
                          true, true, false});
        setups.push_back({ch == 1 ? ui->multimeterdisplayCh1DC : ui->multimeterdisplayCh2DC, "", "V", 22, 14,
                          -3, 0, true, -24, 24, true, true, 0, "1%", true, true, true});
    }
    setups.push_back({ui->multimeterdisplayFrequencyValue, "Frequency", "Hz", 20, 12, -2, 0, false, 0, 0,
                      false, true, 1.0, "50ppm", true, true, false});
    setups.push_back({ui->multimeterdisplayPeriodValue, "Period", "s", 20, 12, -9, -6, false, 0, 0, false,
                      true, 6.25e-08, "50ppm", true, true, false});
    setups.push_back({ui->multimeterdisplayDutyValue, "Duty", "%", 20, 12, -2, 0, true, 0, 100, false, true,
                      1.25e-07, "50ppm", true, true, true});
    setups.push_back({ui->multimeterdisplayDutyValue_s, "Pulse width", "s", 20, 12, -9, -6, false, 0, 0, false, true,
                      6.25e-08, "50ppm", true, true, false});
    // Counts are whole numbers, shown in full.
    setups.push_back({ui->multimeterdisplayCounter, "Counter", "", 20, 12, 0, 0, false, 0, 0, false, false, 0,
                      "", false, true, false});
    for (const DisplaySetup &s : setups)
        configure(s, options, window);
}

std::array<MultimeterDisplay *, 6> MeterControls::acDisplays(int channel) const
{
    if (channel == 1)
        return {ui->multimeterdisplayCh1Vpp,     ui->multimeterdisplayCh1Max,
                ui->multimeterdisplayCh1Min,     ui->multimeterdisplayCh1RMS,
                ui->multimeterdisplayCh1Average, ui->multimeterdisplayCh1Frequency};
    return {ui->multimeterdisplayCh2Vpp, ui->multimeterdisplayCh2Max,     ui->multimeterdisplayCh2Min,
            ui->multimeterdisplayCh2RMS, ui->multimeterdisplayCh2Average, ui->multimeterdisplayCh2Frequency};
}

QList<MultimeterDisplay *> MeterControls::allDisplays() const
{
    return ui->meterTab->findChildren<MultimeterDisplay *>();
}

void MeterControls::meterTabChanged(int page)
{
    emit pollIntervalChanged(0);
    if (ui->mainTabWidget->currentIndex() != 1)
        return;
    // What a page shows is from its own reads only.
    setLive(false, tr("No reading yet"));
    if (page == 0 || page == 1) {
        const int mode = page == 0 ? 2 : 3;
        emit mainModeChanged(mode);
        session->sendMainModeControls(mode);
        emit pollIntervalChanged(400);
        return;
    }
    if (page == 2) {
        counter->sendTriggerSource();
        counter->sendGateSource();
        counter->meterFrequencyModeChanged();
    }
}

void MeterControls::meterRequestData()
{
    if (!session->isOpen()) {
        setLive(false, tr("No instrument connected"));
        return;
    }
    // One read at a time: a slow instrument is not asked again before it has answered.
    if (reading)
        return;
    reading = true;
    session->readBlock(ReadBlock::Meter, Frames::meterReadLength, DeviceSession::Need::Optional, this,
                       [this](int received, const QByteArray &reply) {
                           reading = false;
                           meterReadArrived(received, reply);
                       });
}

void MeterControls::meterReadArrived(int received, const QByteArray &reply)
{
    if (received < 0) {
        // Said on the page, once per poll; the transport has logged it, and
        // only a lost instrument ends the session.
        const QString what = ui->mmTabWidget->currentIndex() == 2 ? tr("Counter: %1") : tr("Meter: %1");
        setLive(false, what.arg(DeviceSession::failureText(received)));
        return;
    }
    const auto *data = reinterpret_cast<const unsigned char *>(reply.constData());
    channela_t r1{};
    channela_t r2{};
    if (!MeterReadings::parseMeterRead(data, received, r1, r2)) {
        VELTO_LOG(QStringLiteral("Meter, data too short"), 2);
        setLive(false, tr("The last meter read failed: the values shown are older"));
        return;
    }
    switch (ui->mmTabWidget->currentIndex()) {
    case 0:
        showAc(1, r1);
        showAc(2, r2);
        break;
    case 1:
        showDc(1, r1);
        showDc(2, r2);
        break;
    case 2:
        counter->showCounts(r1.periodX100, r2.periodX100);
        break;
    default:
        break;
    }
    setLive(true);
    emit readShown();
}

void MeterControls::showAc(int channel, const channela_t &meter)
{
    if (!(channel == 1 ? ui->groupBoxCH1AC : ui->groupBoxCH2AC)->isChecked()) {
        channel == 1 ? clearMMLabelsCH1AC() : clearMMLabelsCH2AC();
        return;
    }
    const MeterReadings::AcReading r = MeterReadings::acReading(meter);
    const double values[6] = {r.vpp, r.maximum, r.minimum, r.rms, r.average, r.frequency};
    const auto displays = acDisplays(channel);
    const OverRange over = overRange(meter.minimum, meter.maximum);
    for (size_t k = 0; k < displays.size(); ++k) {
        displays[k]->setValue(values[k]);
        if (k < 5)
            displays[k]->setMark(over.marks[k], over.reason);
    }
    // No period found: say why instead of showing 0 Hz.
    if (meter.periodX100 == 0)
        displays[5]->setNoReading(periodAbsentReason(meter.minimum, meter.maximum));
}

void MeterControls::showDc(int channel, const channela_t &meter)
{
    const bool measured = (channel == 1 ? ui->groupBoxCH1DC : ui->groupBoxCH2DC)->isChecked();
    (channel == 1 ? ui->multimeterdisplayCh1DC : ui->multimeterdisplayCh2DC)
        ->setValue(measured ? MeterReadings::dcReading(meter) : 0.0);
}

void MeterControls::clearMMLabelsCH1AC()
{
    for (MultimeterDisplay *d : acDisplays(1)) {
        d->setValue(0);
        d->setMark(QString(), QString());
    }
}

void MeterControls::clearMMLabelsCH2AC()
{
    for (MultimeterDisplay *d : acDisplays(2)) {
        d->setValue(0);
        d->setMark(QString(), QString());
    }
}

void MeterControls::setLive(bool on, const QString &reason)
{
    ui->labelMeterStale->setText(on ? QString() : reason);
    ui->labelMeterStale->setVisible(!on);
    if (on == live)
        return;
    live = on;
    for (MultimeterDisplay *d : allDisplays()) {
        auto *box = qobject_cast<QGroupBox *>(d->parentWidget());
        const bool boxOff = box && box->isCheckable() && !box->isChecked();
        d->setEnabled(on && !boxOff);
        // An unchecked channel box disables its read-outs itself; as it does,
        // leave them to be enabled again when the box is checked.
        if (on && boxOff)
            d->setAttribute(Qt::WA_ForceDisabled, false);
    }
}
