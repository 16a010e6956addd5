// SPDX-License-Identifier: GPL-3.0-only
#include "remote/metercommands.h"

#include "device/devicesession.h"
#include "instruments/metercontrols.h"
#include "remote/commandsupport.h"
#include "ui_veltointerface.h"
#include "widgets/multimeterdisplay.h"

#include <limits>

using namespace Scpi;

namespace
{
// A read comes every 400 ms on the voltage pages and once a gate on the
// counter's; a query waits this long for one.
constexpr int readTimeoutMs = 3000;

struct MeterRemote {
    Remote::Waits read{readTimeoutMs};
    quint64 reads = 0;         // reads shown
    quint64 readsAtChange = 0; // when a query last changed the page
};

// What a query reads: the page's widgets set as it needs them, and the read-out.
struct Reading {
    QWidget *page = nullptr;
    QAbstractButton *type = nullptr;   // the counter's type
    QAbstractButton *input = nullptr;  // the counter's source, or a channel's box
    MultimeterDisplay *readOut = nullptr;
};

// A channel of the voltage pages; the box also switches the channel's trace.
const ParameterRule channelParameter = ParameterRule::of(ParameterRule::Choice, {"CHANnel#"}).orNone();
// The counter counts a logic bit, EXT or Schmitt; none sent keeps the one chosen.
const ParameterRule counterSource =
    ParameterRule::of(ParameterRule::Choice, {"DIGital#", "EXTernal", "SCHMitt"}).orNone();

QAbstractButton *counterInput(Ui::VeltoInterface &ui, const Value &v)
{
    QRadioButton *bits[] = {ui.fcR0, ui.fcR1, ui.fcR2, ui.fcR3, ui.fcR4, ui.fcR5, ui.fcR6, ui.fcR7};
    if (v.choice == 0)
        return v.suffix >= 0 && v.suffix <= 7 ? bits[v.suffix] : nullptr;
    return v.choice == 1 ? ui.fcR10 : ui.fcR11;
}

// Sets what the reading needs; true when something changed.
bool select(Ui::VeltoInterface &ui, const Reading &r)
{
    bool changed = false;
    const auto show = [&changed](QTabWidget *tabs, QWidget *page) {
        if (tabs->currentWidget() != page) {
            tabs->setCurrentWidget(page);
            changed = true;
        }
    };
    show(ui.mainTabWidget, ui.meterTab);
    show(ui.mmTabWidget, r.page);
    for (QAbstractButton *b : {r.type, r.input}) {
        if (b && !b->isChecked()) {
            b->setChecked(true);
            changed = true;
        }
    }
    return changed;
}
} // namespace

std::vector<Row> meterCommands(Ui::VeltoInterface &ui, DeviceSession &session, MeterControls &meter)
{
    const auto m = std::make_shared<MeterRemote>();
    const std::weak_ptr<MeterRemote> weak = m;
    QObject::connect(&meter, &MeterControls::readShown, &meter, [weak] {
        if (const auto s = weak.lock()) {
            ++s->reads;
            s->read.finishAll();
        }
    });
    QObject::connect(&session, &DeviceSession::connectionChanged, &meter, [weak](bool connected) {
        if (const auto s = weak.lock(); s && !connected)
            s->read.finishAll(false);
    });

    Ui::VeltoInterface *u = &ui;
    DeviceSession *dev = &session;
    MeterControls *met = &meter;
    // Answers the reading once a read has come since the page was set as it
    // needs; until then the query runs again after each read.
    const auto answer = [u, dev, met, m](Call &c, const Reading &r) {
        if (!r.readOut)
            return c.fail(IllegalParameterValue);
        if (!dev->isOpen())
            return c.fail(HardwareMissing);
        if (select(*u, r))
            m->readsAtChange = m->reads;
        if (m->reads == m->readsAtChange && !m->read.missed()) {
            m->read.add(c, false);
            return c.runAgainAfterOperations();
        }
        m->read.forgetMissed();
        const double nothing = std::numeric_limits<double>::quiet_NaN();
        Remote::replyReading(c, met->isLive() ? r.readOut->getValue() : nothing);
    };
    const auto voltage = [u, answer](bool ac) {
        return [u, answer, ac](Call &c) {
            const int ch = c.values[0].present ? c.values[0].suffix : 1;
            Reading r;
            r.page = ac ? u->mmAcTab : u->mmDcTab;
            if (ch == 1 || ch == 2) {
                // The trace box switches the channel's boxes on every page.
                r.input = ch == 1 ? u->checkBoxCH1Trace : u->checkBoxCH2Trace;
                r.readOut = ac ? (ch == 1 ? u->multimeterdisplayCh1RMS : u->multimeterdisplayCh2RMS)
                               : (ch == 1 ? u->multimeterdisplayCh1DC : u->multimeterdisplayCh2DC);
            }
            answer(c, r);
        };
    };
    const auto counter = [u, answer](QAbstractButton *type, MultimeterDisplay *readOut) {
        return [u, answer, type, readOut](Call &c) {
            Reading r{u->mmCounterTab, type, nullptr, readOut};
            if (c.values[0].present) {
                r.input = counterInput(*u, c.values[0]);
                if (!r.input)
                    r.readOut = nullptr;
            }
            answer(c, r);
        };
    };

    // Pulse counting runs from its Start to its Stop, offered on its page only.
    const auto press = [](QAbstractButton *button) {
        return [button](Call &c) { button->isEnabled() ? button->click() : c.fail(SettingsConflict); };
    };

    const ParameterRule &source = counterSource;
    return {
        {":MEASure:VOLTage[:DC]", Query, {}, voltage(false), {channelParameter}},
        {":MEASure:VOLTage:AC", Query, {}, voltage(true), {channelParameter}},
        {":COUNter:FREQuency", Query, {}, counter(ui.radioFreq, ui.multimeterdisplayFrequencyValue),
         {source}},
        {":COUNter:PERiod", Query, {}, counter(ui.radioPeriod, ui.multimeterdisplayPeriodValue), {source}},
        {":COUNter:DCYCle", Query, {}, counter(ui.radioPeriod, ui.multimeterdisplayDutyValue), {source}},
        {":MEASure:DCYCle", Query, {}, counter(ui.radioPeriod, ui.multimeterdisplayDutyValue), {source}},
        {":COUNter:TOTalize", Query, {}, counter(ui.radioPulse, ui.multimeterdisplayCounter), {source}},
        {":MEASure:TOTalize", Query, {}, counter(ui.radioPulse, ui.multimeterdisplayCounter), {source}},
        // Pulse counting runs from its Start to its Stop.
        {":COUNter:STARt", Set, {}, press(ui.pushButtonCounterStart)},
        {":COUNter:STOP", Set, {}, press(ui.pushButtonCounteStop)},
    };
}
