// SPDX-License-Identifier: GPL-3.0-only
// Time of one replot of the scope plot with the window's set of 48 graphs
// (CH1, CH1 reference, CH2, CH2 reference, 18 decay graphs, 24 logic graphs
// in step-centre style, 2 spectrum graphs as impulses), drawn once with
// VeltoGraph and once with the library's own QCPGraph (adaptive sampling on,
// as the library sets it), on a 1280 x 800 plot widget shown on the
// offscreen platform. One replot is QCustomPlot::replot(rpImmediateRefresh):
// the layers are drawn into their buffers and the widget repaints at once,
// as on every drawn display tick.
//
// Cases:
//   a  two channels of 768 samples
//   b  the largest frame: CH1 and CH2 of 3840 samples, 8 logic bits of 3840
//      (bit traces and baselines)
//   c  b with the traces' points piled up over `ticks` frames (default 50),
//      and 9 decay traces per channel shown: how the window drew
//      persistence before its intensity image, kept as a stress case of
//      the graphs' drawing (bench_display measures the window's persistence)
//   d  c with both spectrum graphs of 128 bins, accumulated as well
//   e  c drawn as dots of size 6 instead of lines (vectors off)
// For each it prints the median and the 95th percentile of the replot time
// and the points handed to the painter by all graphs of the plot (line,
// step and impulse points, and dots).
//
// Repeat with:
//   cmake --build <build> --target bench_plotdraw
//   QT_QPA_PLATFORM=offscreen <build>/bench/bench_plotdraw [replots] [ticks] [cases] [fast]
// replots: per case, at most 8 s of them and at least 10 (default 200);
// ticks: frames accumulated by persistence (default 50); cases: letters to
// run, or "all" (default); "fast" turns on the library's phFastPolylines hint,
// which draws lines segment by segment and spares the painter from stroking
// a whole wide polyline (the channel traces are 2 pixels wide) as one path.
// Figures are wall time on a shared machine: compare medians, read the 95th
// percentile as noise.

#include "scope/veltograph.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// The library's graph, counting what reaches the painter and nothing else.
class CountingGraph : public QCPGraph
{
public:
    CountingGraph(QCPAxis *key, QCPAxis *value) : QCPGraph(key, value) {}
    static long points;

protected:
    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override
    {
        points += lines.size();
        QCPGraph::drawLinePlot(painter, lines);
    }
    void drawImpulsePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override
    {
        points += lines.size();
        QCPGraph::drawImpulsePlot(painter, lines);
    }
    void drawScatterPlot(QCPPainter *painter, const QVector<QPointF> &scatters,
                         const QCPScatterStyle &style) const override
    {
        points += scatters.size();
        QCPGraph::drawScatterPlot(painter, scatters, style);
    }
};
long CountingGraph::points = 0;

enum class Kind { Velto, Library };

// The library's hint to draw wide lines segment by segment; off by default.
bool fastPolylines = false;

struct Case {
    const char *name;
    int samples;
    bool logic;
    bool persistence;
    bool fft;
    bool dots;
};

struct ScopePlot {
    QCustomPlot *plot = nullptr;
    QCPGraph *ch[2] = {};
    QCPGraph *ref[2] = {};
    QCPGraph *decay[2][9] = {};
    QCPGraph *logic[8] = {};
    QCPGraph *logicBase[8] = {};
    QCPGraph *logicRef[8] = {};
    QCPGraph *fft[2] = {};
    QList<QCPGraph *> all;
};

QCPGraph *newGraph(Kind kind, QCustomPlot *plot)
{
    if (kind == Kind::Velto)
        return new VeltoGraph(plot->xAxis, plot->yAxis);
    return new CountingGraph(plot->xAxis, plot->yAxis);
}

ScopePlot makePlot(Kind kind)
{
    ScopePlot s;
    s.plot = new QCustomPlot;
    s.plot->resize(1280, 800);
    s.plot->setPlottingHint(QCP::phFastPolylines, fastPolylines);
    s.plot->yAxis->setRange(0, 1280);
    for (QCPAxis *axis : {s.plot->xAxis, s.plot->yAxis})
        axis->setTickLabels(false);
    // In the window's order: later graphs draw over earlier ones.
    for (int c = 0; c < 2; ++c) {
        s.ch[c] = newGraph(kind, s.plot);
        s.ref[c] = newGraph(kind, s.plot);
    }
    for (int k = 0; k < 9; ++k)
        for (int c = 0; c < 2; ++c)
            s.decay[c][k] = newGraph(kind, s.plot);
    for (int bit = 0; bit < 8; ++bit) {
        s.logic[bit] = newGraph(kind, s.plot);
        s.logicBase[bit] = newGraph(kind, s.plot);
        s.logicRef[bit] = newGraph(kind, s.plot);
        for (QCPGraph *g : {s.logic[bit], s.logicBase[bit], s.logicRef[bit]}) {
            g->setLineStyle(QCPGraph::lsStepCenter);
            g->setPen(QPen(QColor::fromHsv(bit * 40, 200, 230)));
        }
    }
    for (int c = 0; c < 2; ++c) {
        s.fft[c] = newGraph(kind, s.plot);
        s.fft[c]->setLineStyle(QCPGraph::lsImpulse);
    }
    s.ch[0]->setPen(QPen(QColor(255, 220, 0), 2));
    s.ch[1]->setPen(QPen(QColor(0, 200, 255), 2));
    for (int k = 0; k < 9; ++k) {
        s.decay[0][k]->setPen(QPen(QColor(180, 160, 0)));
        s.decay[1][k]->setPen(QPen(QColor(0, 140, 180)));
    }
    for (int i = 0; i < s.plot->graphCount(); ++i)
        s.all << s.plot->graph(i);
    s.plot->show();
    QApplication::processEvents();
    return s;
}

QVector<double> keysFor(int n, double step)
{
    QVector<double> keys(n);
    for (int i = 0; i < n; ++i)
        keys[i] = step * i;
    return keys;
}

// A noisy sine in plot units, as a channel trace looks on screen.
QVector<double> channelTrace(int n, double phase, double centre, QRandomGenerator &rng)
{
    QVector<double> y(n);
    for (int i = 0; i < n; ++i)
        y[i] = centre + 250.0 * std::sin(i * 2.0 * M_PI / 300.0 + phase) + rng.bounded(12.0);
    return y;
}

QVector<double> logicTrace(int n, int bit, int tick, bool baseline)
{
    const double base = 640 + 20 * bit;
    QVector<double> y(n);
    for (int i = 0; i < n; ++i)
        y[i] = baseline ? base - 1 : base + (((i + tick) >> (bit + 1)) & 1 ? 10 : 0);
    return y;
}

void fill(ScopePlot &s, const Case &c, int ticks, QRandomGenerator &rng)
{
    for (QCPGraph *g : qAsConst(s.all)) {
        g->data()->clear();
        if (g == s.ch[0] || g == s.ch[1] || g == s.ref[0] || g == s.ref[1]
            || std::find(&s.decay[0][0], &s.decay[0][0] + 18, g) != &s.decay[0][0] + 18) {
            g->setLineStyle(c.dots ? QCPGraph::lsNone : QCPGraph::lsLine);
            g->setScatterStyle(c.dots ? QCPScatterStyle(QCPScatterStyle::ssDisc, 6) : QCPScatterStyle());
        }
    }
    const int n = c.samples;
    s.plot->xAxis->setRange(0, 2.0 * n);
    const QVector<double> keys = keysFor(n, 2.0);
    const int frames = c.persistence ? ticks : 1;
    for (int tick = 0; tick < frames; ++tick) {
        for (int ch = 0; ch < 2; ++ch)
            s.ch[ch]->addData(keys, channelTrace(n, tick * 0.02 + ch, 500.0 + 300 * ch, rng), true);
        if (c.logic)
            for (int bit = 0; bit < 8; ++bit) {
                s.logic[bit]->addData(keys, logicTrace(n, bit, tick, false), true);
                s.logicBase[bit]->addData(keys, logicTrace(n, bit, tick, true), true);
            }
        if (c.fft)
            for (int ch = 0; ch < 2; ++ch) {
                QVector<double> bins(128);
                for (int b = 0; b < 128; ++b)
                    bins[b] = 100 + rng.bounded(50.0) + (b == 20 + 10 * ch ? 600 : 0);
                s.fft[ch]->addData(keysFor(128, 2.0 * n / 128), bins, true);
            }
    }
    if (c.persistence)
        for (int k = 0; k < 9; ++k)
            for (int ch = 0; ch < 2; ++ch)
                s.decay[ch][k]->setData(keys, channelTrace(n, k * 0.05 + ch, 500.0 + 300 * ch, rng), true);
}

long pointsDrawn(const ScopePlot &s, Kind kind)
{
    if (kind == Kind::Library)
        return CountingGraph::points;
    long sum = 0;
    for (QCPGraph *g : s.all) {
        auto *v = static_cast<VeltoGraph *>(g);
        sum += v->lastLinePointCount() + v->lastScatterCount();
    }
    return sum;
}

struct Result {
    double median;
    double p95;
    long points;
    long stored;
};

Result measure(ScopePlot &s, Kind kind, int replots)
{
    for (int i = 0; i < 5; ++i)
        s.plot->replot(QCustomPlot::rpImmediateRefresh);
    std::vector<double> ms;
    ms.reserve(replots);
    QElapsedTimer timer;
    long points = 0;
    QElapsedTimer budget;
    budget.start();
    for (int i = 0; i < replots && (i < 10 || budget.elapsed() < 8000); ++i) {
        CountingGraph::points = 0;
        timer.start();
        s.plot->replot(QCustomPlot::rpImmediateRefresh);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        points = pointsDrawn(s, kind);
    }
    std::sort(ms.begin(), ms.end());
    long stored = 0;
    for (QCPGraph *g : s.all)
        stored += g->dataCount();
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 95 / 100)], points, stored};
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int replots = argc > 1 ? std::max(10, atoi(argv[1])) : 200;
    const int ticks = argc > 2 ? std::max(1, atoi(argv[2])) : 50;
    const QString only = argc > 3 && QByteArray(argv[3]) != "all" ? QString::fromLatin1(argv[3]) : QString();
    fastPolylines = argc > 4 && QByteArray(argv[4]) == "fast";

    const Case cases[] = {
        {"a  2 ch x 768", 768, false, false, false, false},
        {"b  2 ch + 8 bits x 3840", 3840, true, false, false, false},
        {"c  b + persistence, 9 decay/ch", 3840, true, true, false, false},
        {"d  c + 2 FFT x 128 bins", 3840, true, true, true, false},
        {"e  c as dots of size 6", 3840, true, true, false, true},
    };

    ScopePlot velto = makePlot(Kind::Velto);
    ScopePlot library = makePlot(Kind::Library);
    std::printf("replot(rpImmediateRefresh) of a shown 1280x800 plot, 48 graphs; up to %d replots (8 s) per case, "
                "persistence cases with %d accumulated frames, phFastPolylines %s\n\n",
                replots, ticks, fastPolylines ? "on" : "off");
    std::printf("%-34s %-9s %10s %10s %12s %12s\n", "case", "graphs", "median ms", "p95 ms", "points drawn",
                "points kept");
    for (const Case &c : cases) {
        if (!only.isEmpty() && !only.contains(QLatin1Char(c.name[0])))
            continue;
        for (Kind kind : {Kind::Velto, Kind::Library}) {
            ScopePlot &s = kind == Kind::Velto ? velto : library;
            QRandomGenerator rng(7);
            fill(s, c, ticks, rng);
            const Result r = measure(s, kind, replots);
            std::printf("%-34s %-9s %10.2f %10.2f %12ld %12ld\n", c.name,
                        kind == Kind::Velto ? "Velto" : "QCPGraph", r.median, r.p95, r.points, r.stored);
            std::fflush(stdout);
        }
    }
    delete velto.plot;
    delete library.plot;
    return 0;
}
