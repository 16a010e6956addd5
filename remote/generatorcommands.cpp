// SPDX-License-Identifier: GPL-3.0-only
#include "remote/generatorcommands.h"

#include "core/instruments/generatorlaws.h"
#include "instruments/generatorcontrols.h"
#include "remote/commandsupport.h"
#include "ui_veltointerface.h"

#include <cmath>
#include <memory>

using namespace Scpi;

std::vector<Row> generatorCommands(Ui::VeltoInterface &ui, GeneratorControls &generator)
{
    Ui::VeltoInterface *u = &ui;
    GeneratorControls *gen = &generator;
    FrequencySweepControls *sweep = generator.frequencySweep();
    // The effective frequency is read back from the instrument: the query
    // asks for it and runs again once it has come.
    struct FrequencyRead {
        Remote::Waits read{2000};
        bool asked = false;
    };
    const auto frequencyRead = std::make_shared<FrequencyRead>();
    const std::weak_ptr<FrequencyRead> weakRead = frequencyRead;
    QObject::connect(sweep, &FrequencySweepControls::effectiveFrequencyShown, sweep, [weakRead] {
        if (const auto r = weakRead.lock())
            r->read.finishAll();
    });
    const ParameterRule boolean = ParameterRule::of(ParameterRule::Boolean);
    // A box in volts or percent, set and read as it shows; the amplitude box
    // holds the peak, a client sends peak to peak.
    const auto box = [](QDoubleSpinBox *b, double scale) {
        return [b, scale](Call &c) {
            if (c.query)
                return c.reply(nr3(b->value() * scale));
            Remote::setBox(c, b, c.values[0].number / scale);
        };
    };
    // The sweep's start and end are frequency codes, 10^(code/51) Hz: a
    // frequency takes the nearest code, and sweeping frequency is chosen.
    const auto sweepEnd = [u](QSlider *slider) {
        return [u, slider](Call &c) {
            if (c.query)
                return c.reply(nr3(std::pow(10.0, slider->value() / 51.0)));
            u->radioButtonSweepFrequency->setChecked(true);
            Remote::setSlider(c, slider, int(std::lround(51.0 * std::log10(c.values[0].number))), true);
        };
    };

    return {
        {"[:SOURce#]:FUNCtion", SetAndQuery,
         {ParameterRule::of(ParameterRule::Choice,
                            {"SINusoid", "SQUare", "RAMP", "EXPonential", "USER", "DC", "NOISe", "PINK"})},
         [u](Call &c) {
             QRadioButton *waves[] = {u->radioButtonSine,     u->radioButtonSquare,   u->radioButtonTriangle,
                                      u->radioButtonExpo,     u->radioButtonCustom,   u->radioButtonConstant,
                                      u->radioButtonWhiteNoise, u->radioButtonPinkNoise};
             static const char *const names[] = {"SIN", "SQU", "RAMP", "EXP", "USER", "DC", "NOIS", "PINK"};
             if (!c.query) // USER needs a waveform loaded first: its button is disabled until then
                 return void(Remote::check(c, waves[c.values[0].choice]));
             for (int k = 0; k < 8; ++k)
                 if (waves[k]->isChecked())
                     return c.reply(names[k]);
             c.reply("SIN");
         }},
        // The instrument's timer makes the frequency asked for only to within
        // its steps (2.5 kHz comes out as 2488.94 Hz): the query answers what
        // it makes, read back from it as the window's effective frequency is.
        {"[:SOURce#]:FREQuency", SetAndQuery, {ParameterRule::number("HZ", 0.48, 125000, 1000)},
         [gen, sweep, frequencyRead](Call &c) {
             if (!c.query)
                 return gen->setAwgFrequency(c.values[0].number);
             if (!frequencyRead->asked && sweep->showEffectiveFrequency()) {
                 frequencyRead->asked = true;
                 frequencyRead->read.add(c, false);
                 return c.runAgainAfterOperations();
             }
             frequencyRead->asked = false;
             const double made = sweep->effectiveFrequency();
             made > 0 ? c.reply(nr3(made)) : c.fail(HardwareMissing);
         }},
        {"[:SOURce#]:VOLTage", SetAndQuery, {ParameterRule::number("V", 0, 1000, 2)},
         box(ui.doubleSpinBoxAmp, 2.0)},
        {"[:SOURce#]:VOLTage:OFFSet", SetAndQuery, {ParameterRule::number("V", -1000, 1000, 0)},
         box(ui.doubleSpinBoxOffset, 1.0)},
        {"[:SOURce#]:FUNCtion:SQUare:DCYCle", SetAndQuery, {ParameterRule::number("PCT", 0, 100, 50)},
         box(ui.doubleSpinBoxDuty, 1.0)},
        {"[:SOURce#]:SWEep:STATe", SetAndQuery, {boolean},
         [u, gen](Call &c) {
             if (c.query)
                 return c.reply(Scpi::boolean(u->collapsiblePanelAWGSweep->isChecked()));
             gen->setAwgSweepEnabled(c.values[0].on);
         }},
        {"[:SOURce#]:FREQuency:STARt", SetAndQuery, {ParameterRule::number("HZ", 1, 1e5, 1)},
         sweepEnd(ui.sweepStartFreqSlider)},
        {"[:SOURce#]:FREQuency:STOP", SetAndQuery, {ParameterRule::number("HZ", 1, 1e5, 1e5)},
         sweepEnd(ui.sweepEndFreqSlider)},
        // One sweep takes (128 − speed) × 50 ms.
        {"[:SOURce#]:SWEep:TIME", SetAndQuery, {ParameterRule::number("S", 0.05, 6.35, 6.35)},
         [u](Call &c) {
             if (c.query)
                 return c.reply(nr3(Generator::sweepSeconds(u->sweepSpeedSlider->value())));
             const int speed = 128 - int(std::lround(c.values[0].number / 0.05));
             Remote::setSlider(c, u->sweepSpeedSlider, speed, true);
         }},
        {":OUTPut#[:STATe]", SetAndQuery, {boolean},
         [u](Call &c) {
             if (c.query)
                 return c.reply(Scpi::boolean(u->checkBoxAWGEnable->isChecked()));
             u->checkBoxAWGEnable->setChecked(c.values[0].on);
         }},
        // A user waveform: the block holds what a waveform file holds (codes, or
        // volts after a "# volts" line); it is loaded and stored in the instrument.
        {"[:SOURce#]:DATA:ARBitrary", Set,
         {ParameterRule::of(ParameterRule::String), ParameterRule::of(ParameterRule::Block)},
         [gen](Call &c) {
             const QString name = QString::fromUtf8(c.values[0].bytes);
             const QString from = name.isEmpty() ? QStringLiteral("remote block") : name;
             if (gen->loadCustomWaveformData(c.values[1].bytes, from) <= 0)
                 return c.fail(IllegalParameterValue);
             gen->storeCustomWaveform();
         }},
    };
}
