// SPDX-License-Identifier: GPL-3.0-only
#include "remote/statisticscommands.h"

#include "core/scope/measurementset.h"
#include "remote/commandsupport.h"
#include "scope/measurementpanel.h"

#include <limits>

using namespace Scpi;

namespace
{
// The measurements by their :MEASure names, in the order of Measure::Kind.
const std::vector<const char *> kindWords = {
    "VPP",       "VMAX",  "VMIN",  "VTOP",   "VBASe",  "VAMPlitude", "VAVerage",
    "VRMS",      "ACRMs", "OVERshoot", "PREShoot", "FREQuency", "PERiod", "RISetime",
    "FALLtime",  "PWIDth", "NWIDth", "DUTYcycle", "EDGes", "DELay", "PHASe"};

enum Figure { Current, Minimum, Maximum, Mean, Deviation, Count };

// The panel's source of a CHANnel<n> or MATH<n> parameter (CH1 when none).
QString sourceOf(const Value &v)
{
    if (!v.present)
        return QStringLiteral("CH1");
    return (v.choice == 0 ? QStringLiteral("CH%1") : QStringLiteral("MATH%1")).arg(v.suffix);
}

double figureOf(const MeasurementPanel::Row &row, Figure figure)
{
    const Measure::Statistics &s = row.statistics;
    const double none = std::numeric_limits<double>::quiet_NaN();
    switch (figure) {
    case Current:
        return row.current.ok() ? row.current.value : none;
    case Minimum:
        return s.count > 0 ? s.minimum : none;
    case Maximum:
        return s.count > 0 ? s.maximum : none;
    case Mean:
        return s.count > 0 ? s.mean : none;
    case Deviation:
        return s.count > 1 ? s.deviation() : none;
    case Count:
        return double(s.count);
    }
    return none;
}
} // namespace

std::vector<Row> statisticsCommands(MeasurementPanel &panel)
{
    static_assert(Measure::KindCount == 21, "a :MEASure name for every kind");
    MeasurementPanel *m = &panel;
    const ParameterRule kindRule = ParameterRule::of(ParameterRule::Choice, kindWords);
    const ParameterRule sourceRule = ParameterRule::of(ParameterRule::Choice, {"CHANnel#", "MATH#"}).orNone();
    std::vector<Row> rows = {
        {":MEASure:STATistics:RESet", Set, {}, [m](Call &) { m->resetStatistics(); }},
    };
    static const struct {
        const char *header;
        Figure figure;
    } figures[] = {{":MEASure:STATistics:CURRent", Current}, {":MEASure:STATistics:MINimum", Minimum},
                   {":MEASure:STATistics:MAXimum", Maximum}, {":MEASure:STATistics:MEAN", Mean},
                   {":MEASure:STATistics:DEViation", Deviation}, {":MEASure:STATistics:COUNt", Count}};
    for (const auto &f : figures) {
        const Figure figure = f.figure;
        rows.push_back({f.header, Query, {},
                        [m, figure](Call &c) {
                            const Value &source = c.values[1];
                            if (source.present && (source.suffix < 1 || source.suffix > 2))
                                return c.fail(IllegalParameterValue);
                            const Measure::Choice choice{sourceOf(source), Measure::Kind(c.values[0].choice)};
                            if (!Measure::kindsOf(choice.source).contains(choice.kind))
                                return c.fail(SettingsConflict); // the source does not offer it
                            for (const MeasurementPanel::Row &row : m->rows()) {
                                if (row.choice == choice)
                                    return figure == Count ? c.reply(nr1(qint64(row.statistics.count)))
                                                           : Remote::replyReading(c, figureOf(row, figure));
                            }
                            m->addMeasurement(choice);
                            figure == Count ? c.reply("0")
                                            : Remote::replyReading(c, std::numeric_limits<double>::quiet_NaN());
                        },
                        {kindRule, sourceRule}});
    }
    return rows;
}
