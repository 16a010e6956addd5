// SPDX-License-Identifier: GPL-3.0-only
#include "remote/scopecommands.h"

#include "core/device/frames.h"
#include "core/scope/frameexport.h"
#include "core/scope/scaletables.h"
#include "core/scope/triggermodel.h"
#include "device/devicesession.h"
#include "remote/commandsupport.h"
#include "scope/autosetcontrols.h"
#include "scope/recordcontrols.h"
#include "scope/scopedisplay.h"
#include "scope/triggercontrols.h"
#include "ui_veltointerface.h"

#include <cmath>
#include <limits>

using namespace Scpi;

namespace
{
constexpr double noValue = std::numeric_limits<double>::quiet_NaN();
// The ends of a scale, widened by what "12.5mV" may lose in its conversion.
constexpr double lowEdge = 1 - 1e-9, highEdge = 1 + 1e-9;

// What the commands keep between them: the waveform's source and format,
// and the operations waiting for a frame or for autoset.
struct ScopeRemote {
    enum Source { Ch1, Ch2, Pod1 };
    enum Format { Byte, Word, Ascii };
    int source = Ch1;
    int format = Byte;
    bool unsignedData = true;
    bool msbFirst = true;
    Remote::Waits frame;
    Remote::Waits autoset;
    Remote::Waits started; // the scope's first start after a connect
};

struct ChannelWidgets {
    QSlider *gain;
    QSlider *position;
    QCheckBox *coupling;
    QCheckBox *trace;
    QCheckBox *invert;
    QCheckBox *average;
};
ChannelWidgets channelWidgets(Ui::VeltoInterface &ui, int n)
{
    if (n == 2)
        return {ui.ch2GainSlider,    ui.ch2PositionSlider, ui.checkBoxCH2ACDC,
                ui.checkBoxCH2Trace, ui.checkBoxCH2Invert, ui.checkBoxCH2Average};
    return {ui.ch1GainSlider,    ui.ch1PositionSlider, ui.checkBoxCH1ACDC,
            ui.checkBoxCH1Trace, ui.checkBoxCH1Invert, ui.checkBoxCH1Average};
}

double perDivision(int gain)
{
    const double v = ScaleTables::voltsPerDivision(gain);
    return v > 0 ? v : noValue;
}

std::vector<double> gainSteps()
{
    std::vector<double> steps;
    for (int g = 0; g < ScaleTables::gainCount; ++g)
        steps.push_back(ScaleTables::voltsPerDivision(g));
    return steps;
}

std::vector<double> timeSteps()
{
    std::vector<double> steps;
    for (int i = 0; i < ScaleTables::timeBaseCount; ++i)
        steps.push_back(ScaleTables::secondsPerDivision(i));
    return steps;
}

// The trigger sources as a client names them, in the order of the source box:
// CHANnel1, CHANnel2, DIGital0 … DIGital7, EXTernal, SCHMitt.
ParameterRule words(std::vector<const char *> choices)
{
    return ParameterRule::of(ParameterRule::Choice, std::move(choices));
}
const ParameterRule triggerSource = words({"CHANnel#", "DIGital#", "EXTernal", "SCHMitt"});
int triggerSourceIndex(const Value &v)
{
    switch (v.choice) {
    case 0:
        return v.suffix >= 1 && v.suffix <= 2 ? v.suffix - 1 : -1;
    case 1:
        return v.suffix >= 0 && v.suffix <= 7 ? Trigger::SourceBit0 + v.suffix : -1;
    case 2:
        return Trigger::SourceExt;
    default:
        return Trigger::SourceSchmitt;
    }
}
QByteArray triggerSourceName(int index)
{
    if (index <= Trigger::SourceCh2)
        return "CHAN" + nr1(index + 1);
    if (index <= Trigger::SourceBit7)
        return "DIG" + nr1(index - Trigger::SourceBit0);
    return index == Trigger::SourceExt ? "EXT" : "SCHM";
}

// A CHANnel<n> parameter, CH1 when none was sent; 0 (and -224) for another channel.
const ParameterRule channelParameter = words({"CHANnel#"}).orNone();
int channelOf(Call &call, const Value &v)
{
    if (!v.present || (v.suffix >= 1 && v.suffix <= 2))
        return v.present ? v.suffix : 1;
    call.fail(IllegalParameterValue);
    return 0;
}

void showScopeTab(Ui::VeltoInterface &ui)
{
    if (ui.mainTabWidget->currentWidget() != ui.osciloscopeTab)
        ui.mainTabWidget->setCurrentWidget(ui.osciloscopeTab);
}

// The newest frame's samples of the waveform source: codes of a channel at
// the gain the instrument echoed, or the logic bytes, oldest first.
struct Wave {
    int error = NoError;
    bool logic = false;
    int gain = 0;
    bool averaged = false;
    int samplingIndex = 0;
    QVector<int> values;
};
Wave newestWave(const ScopeDisplay &display, int source)
{
    Wave w;
    const QByteArray &frame = display.frame();
    const auto *data = reinterpret_cast<const unsigned char *>(frame.constData());
    if (!display.hasInstrumentFrame() || frame.size() < Frames::scopeOverhead) {
        w.error = DataCorruptOrStale; // no frame has come yet
        return w;
    }
    frameconfig_t header{};
    Frames::parseScopeHeader(&header, data);
    const int n = header.samplesPerChannel;
    const int bits[] = {Frames::Ch1, Frames::Ch2, Frames::Chd};
    const int bit = bits[source];
    const int at = Frames::channelBlockOffset(header.channelMask, bit, n);
    if (at < 0 || Frames::scopeFrameLength(header.channelMask, n) > frame.size()) {
        w.error = SettingsConflict; // the source's trace is off
        return w;
    }
    w.logic = source == ScopeRemote::Pod1;
    w.samplingIndex = qBound(0, int(header.samplingIndex), ScaleTables::maxSamplingIndex);
    if (!w.logic) {
        channela_t meter{};
        Frames::parseMeterSettings(&meter, data + Frames::meterBlockOffset(header.channelMask, n) +
                                               (source == ScopeRemote::Ch2 ? Frames::meterBlockSize : 0));
        w.gain = meter.gainIndex;
        w.averaged = meter.controls & 0x08;
    }
    const int start = display.traces().startIndex();
    const int first = start > 0 && start < n ? start : 0;
    w.values.resize(n);
    for (int k = 0; k < n; ++k) {
        const unsigned char byte = data[at + (first + k) % n];
        w.values[k] = w.logic ? int(byte) : int(int8_t(byte));
    }
    return w;
}

// volts = (value − yreference) × yincrement + yorigin, with the conversion the CSV export uses.
struct VerticalScale {
    double increment = 1, origin = 0;
    int reference = 0;
};
VerticalScale verticalScale(const ScopeRemote &r, const Wave &w)
{
    if (w.logic || r.format == ScopeRemote::Ascii)
        return {};
    const double code = FrameExport::codeVolts(w.gain, 1) - FrameExport::codeVolts(w.gain, 0);
    const bool word = r.format == ScopeRemote::Word;
    const int reference = r.unsignedData ? (word ? 32768 : 128) : 0;
    return {word ? code / 256 : code, FrameExport::codeVolts(w.gain, 0), reference};
}

QByteArray preamble(const ScopeRemote &r, const Wave &w)
{
    FrameExport::Capture timing;
    timing.samplingIndex = w.samplingIndex;
    const VerticalScale y = verticalScale(r, w);
    const int format[] = {0, 1, 4};
    return nr1(format[r.format]) + ',' + nr1(w.averaged ? 2 : 0) + ',' + nr1(w.values.size()) + ',' +
           nr1(w.averaged ? 4 : 1) + ',' + nr3(timing.samplePeriod()) + ',' + nr3(0) + ',' + nr1(0) + ',' +
           nr3(y.increment) + ',' + nr3(y.origin) + ',' + nr1(y.reference);
}

QByteArray waveData(const ScopeRemote &r, const Wave &w)
{
    QByteArray out;
    const int offset = w.logic || !r.unsignedData ? 0 : 128;
    for (int k = 0; k < w.values.size(); ++k) {
        const int v = w.values[k];
        if (r.format == ScopeRemote::Ascii) {
            if (k > 0)
                out += ',';
            out += w.logic ? nr1(v) : nr3(FrameExport::codeVolts(w.gain, v));
        } else if (r.format == ScopeRemote::Byte) {
            out += char(uint8_t(v + offset));
        } else { // the code in the high byte, as the instrument's converter has eight bits
            const uint16_t word = w.logic ? uint16_t(v) : uint16_t((v + offset) << 8);
            const char high = char(word >> 8), low = char(word & 0xff);
            out += r.msbFirst ? high : low;
            out += r.msbFirst ? low : high;
        }
    }
    return out;
}
} // namespace

std::vector<Row> scopeCommands(Ui::VeltoInterface &ui, DeviceSession &session, TriggerControls &trigger,
                               ScopeDisplay &display, AutosetControls &autoset, RecordControls &record)
{
    const auto r = std::make_shared<ScopeRemote>();
    const std::weak_ptr<ScopeRemote> weak = r;
    r->frame.onPending([&session](bool waiting) { session.usb().setAnnounceReads(waiting); });
    // A single acquisition ends with the scope stopped after its frame (or by
    // a STOP, or with the instrument gone); autoset once it has settled.
    QObject::connect(&session, &DeviceSession::scopeRunningChanged, &display, [weak](bool running) {
        if (const auto s = weak.lock())
            running ? s->started.finishAll() : s->frame.finishAll();
    });
    QObject::connect(&session, &DeviceSession::connectionChanged, &display, [weak](bool connected) {
        if (const auto s = weak.lock(); s && !connected) {
            s->started.finishAll(false);
            s->frame.finishAll(false);
        }
    });
    QObject::connect(&autoset, &AutosetControls::statusText, &display, [weak, &autoset] {
        if (const auto s = weak.lock(); s && !autoset.running())
            s->autoset.finishAll();
    });

    Ui::VeltoInterface *u = &ui;
    DeviceSession *dev = &session;
    TriggerControls *trig = &trigger;
    ScopeDisplay *disp = &display;
    const auto needInstrument = [dev](Call &c) {
        if (!dev->isOpen())
            c.fail(HardwareMissing);
        return dev->isOpen();
    };
    // Run control waits for the start the session makes once the instrument
    // is configured: sent before it, a stop or a single frame would be
    // undone by it. True when the command runs again after it.
    const auto awaitFirstStart = [r, dev](Call &c) {
        if (!dev->isOpen() || !dev->scopeStartPending())
            return false;
        r->started.add(c, false);
        c.runAgainAfterOperations();
        return true;
    };
    const auto canAcquire = [u, needInstrument](Call &c) {
        if (!needInstrument(c))
            return false;
        if (u->rollMode->isChecked() && u->rollMode->isEnabled()) // roll mode streams: no frame ends
            c.fail(SettingsConflict);
        return !(u->rollMode->isChecked() && u->rollMode->isEnabled());
    };
    const auto acquireOne = [u, trig, r, canAcquire, awaitFirstStart](Call &c, bool hold) {
        if (awaitFirstStart(c) || !canAcquire(c))
            return;
        showScopeTab(*u);
        trig->acquireOneFrame();
        r->frame.add(c, hold);
    };
    const ParameterRule digitizeSource = words({"CHANnel#", "POD#"}).orNone();
    const ParameterRule boolean = ParameterRule::of(ParameterRule::Boolean);
    const auto channel = [u](Call &c) { return channelWidgets(*u, c.suffixes[0]); };
    // A channel's on/off box: the query reads it, the set checks it as the widget would be.
    const auto channelSwitch = [channel](QCheckBox *ChannelWidgets::*box) {
        return [channel, box](Call &c) {
            QCheckBox *b = channel(c).*box;
            if (c.query)
                return c.reply(Scpi::boolean(b->isChecked()));
            Remote::check(c, b, c.values[0].on);
        };
    };

    std::vector<Row> rows = {
        // --- Run control ----------------------------------------------------------
        {":RUN", Set, {},
         [u, trig, needInstrument, awaitFirstStart](Call &c) {
             if (awaitFirstStart(c) || !needInstrument(c))
                 return;
             showScopeTab(*u);
             if (!trig->isRunning())
                 u->stopButton->click();
         }},
        {":STOP", Set, {},
         [u, trig, awaitFirstStart](Call &c) {
             if (!awaitFirstStart(c) && trig->isRunning())
                 u->stopButton->click();
         }},
        {":SINGle", Set, {}, [acquireOne](Call &c) { acquireOne(c, false); }},
        // DIGitize [CHANnel<n>|POD1, ...]: the sources named are switched on, one frame is taken, and what
        // follows in the message waits for it.
        {":DIGitize", Set, {digitizeSource, digitizeSource, digitizeSource},
         [u, canAcquire, acquireOne, awaitFirstStart](Call &c) {
             for (const Value &v : c.values) {
                 if (v.present && v.suffix != 1 && !(v.choice == 0 && v.suffix == 2))
                     return c.fail(IllegalParameterValue);
             }
             if (awaitFirstStart(c) || !canAcquire(c))
                 return;
             for (const Value &v : c.values) {
                 if (v.present)
                     (v.choice == 1 ? u->checkBoxCHDTrace : channelWidgets(*u, v.suffix).trace)
                         ->setChecked(true);
             }
             acquireOne(c, true);
         }},
        {":AUToscale", Set, {},
         [u, r, &autoset, needInstrument](Call &c) {
             if (!needInstrument(c))
                 return;
             showScopeTab(*u);
             autoset.autoset();
             if (!autoset.running())
                 return c.fail(SettingsConflict); // neither channel is on
             r->autoset.add(c, false);
         }},

        // --- Channels ---------------------------------------------------------------
        {":CHANnel#:SCALe", SetAndQuery, {ParameterRule::number("V", 0.0125 * lowEdge, 8 * highEdge, 8)},
         [channel](Call &c) {
             const ChannelWidgets w = channel(c);
             if (c.query)
                 return c.reply(nr3(perDivision(w.gain->value())));
             Remote::setSlider(c, w.gain, Remote::nearestStep(gainSteps(), c.values[0].number));
         }, {}, 2},
        // The offset is the voltage at the middle of the plot, as the position slider puts the trace.
        {":CHANnel#:OFFSet", SetAndQuery, {ParameterRule::number("V", -1000, 1000, 0)},
         [channel](Call &c) {
             const ChannelWidgets w = channel(c);
             const double vdiv = perDivision(w.gain->value());
             if (c.query)
                 return c.reply(nr3(-w.position->value() * vdiv / 64.0 + 0.0));
             if (!std::isfinite(vdiv))
                 return c.fail(SettingsConflict);
             Remote::setSlider(c, w.position, int(std::lround(-c.values[0].number / vdiv * 64.0)));
         }, {}, 2},
        {":CHANnel#:COUPling", SetAndQuery, {words({"AC", "DC"})},
         [channel](Call &c) {
             QCheckBox *ac = channel(c).coupling;
             if (c.query)
                 return c.reply(ac->isChecked() ? "AC" : "DC");
             Remote::check(c, ac, c.values[0].choice == 0);
         }, {}, 2},
        {":CHANnel#:DISPlay", SetAndQuery, {boolean}, channelSwitch(&ChannelWidgets::trace), {}, 2},
        {":CHANnel#:INVert", SetAndQuery, {boolean}, channelSwitch(&ChannelWidgets::invert), {}, 2},
        // The inputs have no probe setting: 1:1 is the one there is.
        {":CHANnel#:PROBe", SetAndQuery, {ParameterRule::number("", 1, 1, 1)},
         [](Call &c) {
             if (c.query)
                 c.reply(nr3(1));
         }, {}, 2},

        // --- Time base ----------------------------------------------------------------
        {":TIMebase[:MAIN]:SCALe", SetAndQuery,
         {ParameterRule::number("S", ScaleTables::secondsPerDivision(0) * lowEdge,
                                ScaleTables::secondsPerDivision(ScaleTables::maxSamplingIndex) * highEdge,
                                ScaleTables::secondsPerDivision(6))},
         [u](Call &c) {
             if (c.query)
                 return c.reply(nr3(ScaleTables::secondsPerDivision(u->samplingSlider->value())));
             Remote::setSlider(c, u->samplingSlider, Remote::nearestStep(timeSteps(), c.values[0].number));
         }},

        // --- Edge trigger ----------------------------------------------------------------
        {":TRIGger[:EDGE]:SOURce", SetAndQuery, {triggerSource},
         [u](Call &c) {
             if (c.query)
                 return c.reply(triggerSourceName(u->comboBoxTrigSource->currentIndex()));
             const int index = triggerSourceIndex(c.values[0]);
             if (index < 0)
                 return c.fail(IllegalParameterValue);
             u->comboBoxTrigSource->setCurrentIndex(index);
         }},
        {":TRIGger[:EDGE]:SLOPe", SetAndQuery, {words({"POSitive", "NEGative", "EITHer"})},
         [u](Call &c) {
             QRadioButton *edges[] = {u->radioButtonRisingEdge, u->radioButtonFallingEdge,
                                      u->radioButtonDual};
             if (!c.query)
                 return void(Remote::check(c, edges[c.values[0].choice]));
             // A slope trigger reads as the edge it follows; a window, with two levels, as either.
             if (u->radioButtonRisingEdge->isChecked() || u->radioButtonPositiveSlope->isChecked())
                 c.reply("POS");
             else if (u->radioButtonFallingEdge->isChecked() || u->radioButtonNegativeSlope->isChecked())
                 c.reply("NEG");
             else
                 c.reply("EITH");
         }},
        {":TRIGger[:EDGE]:LEVel", SetAndQuery, {ParameterRule::number("V", -1000, 1000, 0)},
         [trig](Call &c) {
             QDoubleSpinBox *box = trig->levelBox();
             if (!c.query)
                 return void(Remote::setBox(c, box, c.values[0].number));
             if (!box->isEnabled()) // a logic, EXT or Schmitt source, or a window: no one level
                 return c.fail(SettingsConflict);
             c.reply(nr3(box->value()));
         }},
        {":TRIGger:SWEep", SetAndQuery, {words({"AUTO", "NORMal", "FREE", "SINGle"})},
         [u](Call &c) {
             QRadioButton *modes[] = {u->radioButtonAuto, u->radioButtonNormal, u->radioButtonFree,
                                      u->radioButtonSingle};
             static const char *const names[] = {"AUTO", "NORM", "FREE", "SING"};
             if (!c.query)
                 return void(Remote::check(c, modes[c.values[0].choice]));
             for (int k = 0; k < 4; ++k)
                 if (modes[k]->isChecked())
                     return c.reply(names[k]);
             c.reply("FREE");
         }},
        {":TRIGger:FORCe", Set, {},
         [u, needInstrument](Call &c) {
             if (!needInstrument(c))
                 return;
             if (!u->forceButton->isEnabled()) // free running: there is no trigger to force
                 return c.fail(SettingsConflict);
             u->forceButton->click();
         }},

        // --- Waveform -----------------------------------------------------------------------
        {":WAVeform:SOURce", SetAndQuery, {words({"CHANnel#", "POD#"})},
         [r](Call &c) {
             static const char *const names[] = {"CHAN1", "CHAN2", "POD1"};
             if (c.query)
                 return c.reply(names[r->source]);
             const Value &v = c.values[0];
             if ((v.choice == 0 && (v.suffix < 1 || v.suffix > 2)) || (v.choice == 1 && v.suffix != 1))
                 return c.fail(IllegalParameterValue);
             r->source = v.choice == 1 ? ScopeRemote::Pod1 : v.suffix - 1;
         }},
        {":WAVeform:FORMat", SetAndQuery, {words({"BYTE", "WORD", "ASCii"})},
         [r](Call &c) {
             static const char *const names[] = {"BYTE", "WORD", "ASC"};
             c.query ? c.reply(names[r->format]) : void(r->format = c.values[0].choice);
         }},
        {":WAVeform:UNSigned", SetAndQuery, {boolean},
         [r](Call &c) {
             c.query ? c.reply(Scpi::boolean(r->unsignedData)) : void(r->unsignedData = c.values[0].on);
         }},
        {":WAVeform:BYTeorder", SetAndQuery, {words({"LSBFirst", "MSBFirst"})},
         [r](Call &c) {
             c.query ? c.reply(r->msbFirst ? "MSBF" : "LSBF") : void(r->msbFirst = c.values[0].choice == 1);
         }},
        // Without a frame, the points a frame of the buffer chosen will hold.
        {":WAVeform:POINts", Query, {},
         [u, disp](Call &c) {
             const int buffer = u->comboBoxADCBuffer->currentIndex();
             c.reply(nr1(disp->hasInstrumentFrame() ? disp->traces().samples()
                                                     : Frames::samplesForBufferIndex(buffer)));
         }},
        {":WAVeform:PREamble", Query, {},
         [r, disp](Call &c) {
             const Wave w = newestWave(*disp, r->source);
             w.error ? c.fail(w.error) : c.reply(preamble(*r, w));
         }},
        {":WAVeform:DATA", Query, {},
         [r, disp](Call &c) {
             const Wave w = newestWave(*disp, r->source);
             w.error ? c.fail(w.error) : c.reply(definiteBlock(waveData(*r, w)));
         }},

        // --- The picture ------------------------------------------------------------------------
        {":DISPlay:DATA", Query, {},
         [&record](Call &c) {
             const QByteArray png = record.screenShotPng();
             png.isEmpty() ? c.fail(ExecutionError) : c.reply(definiteBlock(png));
         }, {words({"PNG"}).orNone()}},
    };

    // The scope page's read-outs of a channel; PERiod is the frequency's inverse.
    static const struct {
        const char *header;
        int readOut;
        bool inverse;
    } measurements[] = {{":MEASure:VPP", 0, false},      {":MEASure:VMAX", 1, false},
                        {":MEASure:VMIN", 2, false},     {":MEASure:VRMS", 3, false},
                        {":MEASure:VAVerage", 4, false}, {":MEASure:FREQuency", 5, false},
                        {":MEASure:PERiod", 5, true}};
    for (const auto &m : measurements) {
        const int readOut = m.readOut;
        const bool inverse = m.inverse;
        rows.push_back({m.header, Query, {},
                        [disp, readOut, inverse](Call &c) {
                            const int ch = channelOf(c, c.values[0]);
                            if (ch == 0)
                                return;
                            const double value = disp->channelReadings(ch - 1)[size_t(readOut)];
                            Remote::replyReading(c, inverse ? 1.0 / value : value);
                        },
                        {channelParameter}});
    }
    // The rest of the automatic measurements of the trace a channel shows
    // (its math trace while it has one); DELay and PHASe from CH1 to CH2.
    static const struct {
        const char *header;
        Measure::Kind kind;
    } more[] = {{":MEASure:RISetime", Measure::RiseTime},     {":MEASure:FALLtime", Measure::FallTime},
                {":MEASure:PWIDth", Measure::PositiveWidth},  {":MEASure:NWIDth", Measure::NegativeWidth},
                {":MEASure:DUTYcycle", Measure::Duty},        {":MEASure:OVERshoot", Measure::Overshoot},
                {":MEASure:PREShoot", Measure::Preshoot},     {":MEASure:VTOP", Measure::Vtop},
                {":MEASure:VBASe", Measure::Vbase},           {":MEASure:VAMPlitude", Measure::Vamp},
                {":MEASure:DELay", Measure::Delay},           {":MEASure:PHASe", Measure::Phase}};
    for (const auto &m : more) {
        const Measure::Kind kind = m.kind;
        rows.push_back({m.header, Query, {},
                        [disp, kind](Call &c) {
                            const int ch = channelOf(c, c.values[0]);
                            if (ch == 0)
                                return;
                            const bool pair = Measure::info(kind).pair;
                            const Measure::Result &r = pair ? disp->channelMeasurements(0)[kind]
                                                            : disp->shownSet(ch - 1)[kind];
                            const bool shown = disp->hasInstrumentFrame() && r.ok();
                            Remote::replyReading(c, shown ? r.value : std::numeric_limits<double>::quiet_NaN());
                        },
                        {channelParameter}});
    }
    return rows;
}
