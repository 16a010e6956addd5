// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/measurementset.h"

#include "core/scope/scaletables.h"

#include <algorithm>

namespace Measure
{

namespace
{

// Name, label, unit, logic, pair. "V" stands for the source's own unit.
const KindInfo kindTable[KindCount] = {
    {"Vpp", "Peak-to-peak", "V", false, false},
    {"Vmax", "Maximum", "V", false, false},
    {"Vmin", "Minimum", "V", false, false},
    {"Vtop", "Top", "V", false, false},
    {"Vbase", "Base", "V", false, false},
    {"Vamp", "Amplitude", "V", false, false},
    {"Vavg", "Average", "V", false, false},
    {"Vrms", "RMS", "V", false, false},
    {"AcRms", "AC RMS", "V", false, false},
    {"Overshoot", "Overshoot", "%", false, false},
    {"Preshoot", "Preshoot", "%", false, false},
    {"Frequency", "Frequency", "Hz", true, false},
    {"Period", "Period", "s", false, false},
    {"RiseTime", "Rise time", "s", false, false},
    {"FallTime", "Fall time", "s", false, false},
    {"PositiveWidth", "+Width", "s", false, false},
    {"NegativeWidth", "-Width", "s", false, false},
    {"Duty", "Duty cycle", "%", true, false},
    {"Edges", "Edges", "", true, false},
    {"Delay", "Delay", "s", false, true},
    {"Phase", "Phase", "°", false, true},
};

// How each kind is affected by samples at the converter's limits: only a
// high limit, only a low one, either, or not at all (times between edges).
enum class ClipRule { High, Low, Either, None };
ClipRule clipRule(Kind k)
{
    switch (k) {
    case Vmax:
    case Vtop:
        return ClipRule::High;
    case Vmin:
    case Vbase:
        return ClipRule::Low;
    case Frequency:
    case Period:
    case Edges:
    case Delay:
    case Phase:
        return ClipRule::None;
    default:
        return ClipRule::Either;
    }
}

Result measured(double value)
{
    return {value, Why::Measured};
}

// The levels most samples above and below the middle sit at (the mean of
// the fullest of 256 bins from `lowest` to `highest` on each side), or the
// extreme where no level stands out (a triangle's top): the fullest bin must
// hold at least twice as many samples as the side's other occupied bins do
// on average. One pass over the samples for both sides.
void flatLevels(const double *s, int n, double lowest, double highest, double &top, double &base)
{
    constexpr int bins = 256;
    int counts[bins] = {};
    double sums[bins] = {};
    const double scale = (bins - 1) / (highest - lowest);
    const double middle = (highest + lowest) / 2.0;
    for (int i = 0; i < n; ++i) {
        const int b = std::clamp(int((s[i] - lowest) * scale + 0.5), 0, bins - 1);
        ++counts[b];
        sums[b] += s[i];
    }
    // Bins wholly above the middle make the top's side, the rest the base's.
    const int split = std::clamp(int((middle - lowest) * scale + 0.5), 0, bins - 1);
    const auto level = [&](int from, int to, bool upper, double fallback) {
        int best = -1, occupied = 0, taken = 0;
        for (int b = from; b < to; ++b) {
            if (counts[b] == 0)
                continue;
            ++occupied;
            taken += counts[b];
            // Of two equally full bins the outer one: a top is the highest flat part.
            if (best < 0 || counts[b] > counts[best] || (upper && counts[b] == counts[best]))
                best = b;
        }
        if (best < 0 || (occupied > 1 && counts[best] * (occupied - 1) < 2 * (taken - counts[best])))
            return fallback;
        return sums[best] / counts[best];
    };
    top = level(split + 1, bins, true, highest);
    base = level(0, split + 1, false, lowest);
}

// Where the signal passes `level` going from sample `a` to `a + 1`.
double between(const double *s, int a, double level)
{
    const double d = s[a + 1] - s[a];
    return d == 0.0 ? a : a + (level - s[a]) / d;
}

// The 10 % to 90 % times of every whole edge around the crossings of one
// direction, averaged; the first edge is marked. Each edge is searched no
// further back than the last crossing the other way.
struct EdgeTimes {
    double mean = NAN;
    double from = NAN, to = NAN;
};
EdgeTimes edgeTimes(const double *s, int n, const std::vector<double> &mids,
                    const std::vector<double> &others, double start, double end, bool rising)
{
    EdgeTimes t;
    double sum = 0.0;
    int edges = 0;
    size_t other = 0;
    for (size_t e = 0; e < mids.size(); ++e) {
        const double at = mids[e];
        while (other < others.size() && others[other] < at)
            ++other;
        const double before = other > 0 ? others[other - 1] : 0.0;
        const double after = other < others.size() ? others[other] : n - 1.0;
        // Back from the crossing to the last sample not yet past `start`,
        // and on to the first sample past `end`, within the crossings around.
        int j = int(std::floor(at));
        const int jMin = std::max(0, int(std::floor(before)));
        while (j >= jMin && (rising ? s[j] > start : s[j] < start))
            --j;
        if (j < jMin)
            continue;
        int k = int(std::ceil(at));
        const int kMax = std::min(n - 1, int(std::ceil(after)));
        while (k <= kMax && (rising ? s[k] < end : s[k] > end))
            ++k;
        if (k > kMax || k < 1)
            continue;
        const double t0 = between(s, j, start);
        const double t1 = between(s, k - 1, end);
        if (edges == 0) {
            t.from = t0;
            t.to = t1;
        }
        sum += t1 - t0;
        ++edges;
    }
    if (edges > 0)
        t.mean = sum / edges;
    return t;
}

// The mean widths between crossings of one direction and the next of the
// other; the first is marked.
struct Widths {
    double mean = NAN;
    double from = NAN, to = NAN;
};
Widths widths(const std::vector<double> &starts, const std::vector<double> &ends)
{
    Widths w;
    double sum = 0.0;
    int count = 0;
    size_t e = 0;
    for (double start : starts) {
        while (e < ends.size() && ends[e] <= start)
            ++e;
        if (e == ends.size())
            break;
        if (count == 0) {
            w.from = start;
            w.to = ends[e];
        }
        sum += ends[e] - start;
        ++count;
    }
    if (count > 0)
        w.mean = sum / count;
    return w;
}

// Rise and fall times and the widths of the pulses, from the crossings.
void setEdgesAndWidths(Set &set, const double *s, int n, double dt, const Crossings &c)
{
    auto &r = set.results;
    Marks &m = set.marks;
    const EdgeTimes rise = edgeTimes(s, n, c.rising, c.falling, m.low, m.high, true);
    const EdgeTimes fall = edgeTimes(s, n, c.falling, c.rising, m.high, m.low, false);
    r[RiseTime] = std::isnan(rise.mean) ? Result{0.0, Why::NoWholeEdge} : measured(rise.mean * dt);
    r[FallTime] = std::isnan(fall.mean) ? Result{0.0, Why::NoWholeEdge} : measured(fall.mean * dt);
    m.riseFrom = rise.from;
    m.riseTo = rise.to;
    m.fallFrom = fall.from;
    m.fallTo = fall.to;
    const Widths high = widths(c.rising, c.falling);
    const Widths low = widths(c.falling, c.rising);
    r[PositiveWidth] = std::isnan(high.mean) ? Result{0.0, Why::NoPulse} : measured(high.mean * dt);
    r[NegativeWidth] = std::isnan(low.mean) ? Result{0.0, Why::NoPulse} : measured(low.mean * dt);
    m.highFrom = high.from;
    m.highTo = high.to;
    m.lowFrom = low.from;
    m.lowTo = low.to;
}

void setTimes(Set &set, const double *s, int n, double dt, bool edgesAndWidths)
{
    auto &r = set.results;
    static thread_local Crossings c;
    const double top = r[Vtop].value, base = r[Vbase].value, amp = top - base;
    const double middle = (top + base) / 2.0;
    scanCrossings(s, n, middle, amp / 4.0, c);
    Marks &m = set.marks;
    m.low = base + 0.1 * amp;
    m.middle = middle;
    m.high = base + 0.9 * amp;
    m.top = top;
    m.base = base;
    const Kind times[] = {Frequency, Period, RiseTime, FallTime, PositiveWidth, NegativeWidth, Duty, Edges};
    for (Kind k : {RiseTime, FallTime, PositiveWidth, NegativeWidth})
        r[k] = {0.0, Why::NoSource};
    if (c.tooMany) {
        for (Kind k : times)
            r[k] = {0.0, Why::TooManyEdges};
        return;
    }
    r[Edges] = measured(double(c.rising.size() + c.falling.size()));
    if (!c.rising.empty()) {
        set.firstRising = c.rising.front();
        set.secondRising = c.rising[std::min<size_t>(1, c.rising.size() - 1)];
        set.lastRising = c.rising.back();
    }
    // A logic bit offers neither edge times nor widths: they are left out.
    if (edgesAndWidths)
        setEdgesAndWidths(set, s, n, dt, c);
    if (c.rising.size() < 2) {
        for (Kind k : {Frequency, Period, Duty})
            r[k] = {0.0, Why::NoWholePeriod};
        return;
    }
    const double period = (c.rising.back() - c.rising.front()) / double(c.rising.size() - 1);
    set.periodSamples = period;
    m.periodFrom = c.rising.front();
    m.periodTo = c.rising.front() + period;
    r[Period] = measured(period * dt);
    r[Frequency] = measured(1.0 / (period * dt));
    // Duty over the whole periods: the time above the middle in them.
    double above = 0.0;
    const double first = c.rising.front(), last = c.rising.back();
    for (size_t k = 0; k + 1 < c.rising.size(); ++k) {
        const auto f = std::upper_bound(c.falling.begin(), c.falling.end(), c.rising[k]);
        if (f != c.falling.end() && *f < c.rising[k + 1])
            above += *f - c.rising[k];
    }
    r[Duty] = measured(100.0 * above / (last - first));
    // Average and RMS over the whole periods.
    set.spanFrom = int(std::ceil(first));
    set.spanTo = std::min(n, int(std::ceil(last)));
}

void setLevels(Set &set, const double *s, int n)
{
    auto &r = set.results;
    const int from = set.spanFrom < set.spanTo ? set.spanFrom : 0;
    const int to = set.spanFrom < set.spanTo ? set.spanTo : n;
    double sum = 0.0, squares = 0.0;
    for (int i = from; i < to; ++i) {
        sum += s[i];
        squares += s[i] * s[i];
    }
    const double m = to - from;
    const double average = sum / m;
    const double rms = std::sqrt(squares / m);
    r[Vavg] = measured(average);
    r[Vrms] = measured(rms);
    r[AcRms] = measured(std::sqrt(std::max(0.0, squares / m - average * average)));
}

} // namespace

const KindInfo &info(Kind kind)
{
    return kindTable[std::clamp(int(kind), 0, KindCount - 1)];
}

Kind kindNamed(const QString &name)
{
    for (int k = 0; k < KindCount; ++k)
        if (name == QLatin1String(kindTable[k].name))
            return Kind(k);
    return KindCount;
}

QString reasonText(Why why)
{
    switch (why) {
    case Why::Measured:
        return QString();
    case Why::NoSamples:
        return QStringLiteral("No samples to measure.");
    case Why::SwingTooSmall:
        return QStringLiteral(
            "The signal swings less than the noise: too little to find its levels and edges. "
            "Choose a smaller V/div.");
    case Why::NoWholePeriod:
        return QStringLiteral("No whole period in the frame. Choose a slower time base.");
    case Why::NoWholeEdge:
        return QStringLiteral("No whole edge in the frame, from 10 % to 90 % of the amplitude.");
    case Why::NoPulse:
        return QStringLiteral("No whole pulse in the frame. Choose a slower time base.");
    case Why::TooManyEdges:
        return QStringLiteral("More than one edge every four samples: noise, or a signal too fast for this "
                              "time base. Choose a faster time base.");
    case Why::Clipped:
        return QStringLiteral("Clipped: the signal reaches the converter's limit, so the value read is cut "
                              "off there. Choose a larger V/div.");
    case Why::NoSource:
        return QStringLiteral("The trace is not in the frame.");
    }
    return QString();
}

Set measure(const Source &source)
{
    Set set;
    set.samplePeriod = source.samplePeriod;
    const double *s = source.values;
    const int n = source.values ? source.count : 0;
    set.spanTo = n;
    if (n <= 0)
        return set; // every result: no samples
    const auto range = std::minmax_element(s, s + n);
    const double lowest = *range.first, highest = *range.second;
    auto &r = set.results;
    r[Vmax] = measured(highest);
    r[Vmin] = measured(lowest);
    r[Vpp] = measured(highest - lowest);
    if (highest - lowest < source.noise || highest == lowest) {
        for (int k = Vtop; k < KindCount; ++k)
            r[size_t(k)] = {0.0, Why::SwingTooSmall};
        set.spanTo = n;
    } else {
        // A logic bit's levels are its two values.
        double top = highest, base = lowest;
        if (!source.twoLevels)
            flatLevels(s, n, lowest, highest, top, base);
        r[Vtop] = measured(top);
        r[Vbase] = measured(base);
        r[Vamp] = measured(top - base);
        r[Overshoot] = measured(100.0 * (highest - top) / (top - base));
        r[Preshoot] = measured(100.0 * (base - lowest) / (top - base));
        setTimes(set, s, n, source.samplePeriod, !source.twoLevels);
    }
    setLevels(set, s, n);
    r[Delay] = r[Phase] = {0.0, Why::NoSource};
    for (int k = 0; k < KindCount; ++k) {
        Result &x = r[size_t(k)];
        const ClipRule rule = clipRule(Kind(k));
        const bool clipped = (source.clippedHigh && rule != ClipRule::Low && rule != ClipRule::None) ||
                             (source.clippedLow && rule != ClipRule::High && rule != ClipRule::None);
        if (clipped && (x.ok() || x.why == Why::SwingTooSmall))
            x.why = Why::Clipped;
    }
    return set;
}

void measureBetween(Set &first, const Set &second)
{
    Result &delay = first.results[Delay];
    Result &phase = first.results[Phase];
    if (std::isnan(first.firstRising) || std::isnan(second.firstRising)) {
        delay = phase = {0.0, Why::NoWholeEdge};
        return;
    }
    const double d = second.firstRising - first.firstRising;
    delay = measured(d * first.samplePeriod);
    if (std::isnan(first.periodSamples)) {
        phase = {0.0, Why::NoWholePeriod};
        return;
    }
    // Within −180° .. 180°.
    double degrees = std::fmod(360.0 * d / first.periodSamples, 360.0);
    if (degrees > 180.0)
        degrees -= 360.0;
    else if (degrees <= -180.0)
        degrees += 360.0;
    phase = measured(degrees);
}

QStringList sources()
{
    QStringList list{QStringLiteral("CH1"), QStringLiteral("CH2"), QStringLiteral("MATH1"),
                     QStringLiteral("MATH2")};
    for (int b = 0; b < 8; ++b)
        list << QStringLiteral("D%1").arg(b);
    list << QStringLiteral("CH1-CH2");
    return list;
}

QVector<Kind> kindsOf(const QString &source)
{
    QVector<Kind> kinds;
    const bool pair = source == QLatin1String("CH1-CH2");
    const bool logic = source.startsWith(QLatin1Char('D'));
    if (!sources().contains(source))
        return kinds;
    for (int k = 0; k < KindCount; ++k) {
        const KindInfo &i = kindTable[k];
        if (pair ? i.pair : (!i.pair && (!logic || i.logic)))
            kinds << Kind(k);
    }
    return kinds;
}

QVector<Choice> parseChoices(const QString &text, QStringList *problems)
{
    QVector<Choice> choices;
    for (const QString &entry : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = entry.trimmed().split(QLatin1Char(':'));
        const Choice c{parts.value(0), parts.size() == 2 ? kindNamed(parts[1]) : KindCount};
        if (c.kind == KindCount || !kindsOf(c.source).contains(c.kind)) {
            if (problems)
                problems->append(entry.trimmed());
            continue;
        }
        if (!choices.contains(c))
            choices << c;
    }
    return choices;
}

QString formatChoices(const QVector<Choice> &choices)
{
    QStringList parts;
    for (const Choice &c : choices)
        parts << c.source + QLatin1Char(':') + QLatin1String(info(c.kind).name);
    return parts.join(QLatin1Char(','));
}

QString valueText(Kind kind, double value, const QString &unit)
{
    if (kind == Edges)
        return QString::number(std::llround(value));
    if (unit == QLatin1String("%") || unit == QStringLiteral("°"))
        return QString::number(value, 'f', 2) + (unit == QLatin1String("%") ? QStringLiteral(" %") : unit);
    return ScaleTables::siText(value, unit, true).trimmed();
}

void Statistics::add(double value)
{
    ++count;
    if (count == 1) {
        minimum = maximum = mean = value;
        m2 = 0.0;
        return;
    }
    minimum = std::min(minimum, value);
    maximum = std::max(maximum, value);
    const double d = value - mean;
    mean += d / double(count);
    m2 += d * (value - mean);
}

} // namespace Measure
