// SPDX-License-Identifier: GPL-3.0-only
#include "scope/plotcanvas.h"
#include "scope/plotlabel.h"
#include "scope/veltograph.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace {

constexpr int plotWidth = 1280;
constexpr int plotHeight = 800;
const QColor traceColour(255, 0, 0);

// A plot set up like the scope's: 3840 samples two units apart across, 1280
// units up, drawn without antialiasing so pixels can be compared exactly.
std::unique_ptr<QCustomPlot> makePlot(double keySpan = 7680.0)
{
    std::unique_ptr<QCustomPlot> plot(new QCustomPlot);
    plot->resize(plotWidth, plotHeight);
    plot->setNotAntialiasedElements(QCP::aeAll);
    plot->xAxis->setRange(0, keySpan);
    plot->yAxis->setRange(0, 1280);
    for (QCPAxis *axis : {plot->xAxis, plot->yAxis}) {
        axis->grid()->setVisible(false);
        axis->setTickLabels(false);
    }
    return plot;
}

template <class Graph> Graph *addGraph(QCustomPlot &plot, QCPGraph::LineStyle style)
{
    auto *graph = new Graph(plot.xAxis, plot.yAxis);
    graph->setPen(QPen(traceColour));
    graph->setLineStyle(style);
    return graph;
}

QImage render(QCustomPlot &plot, int width = plotWidth, int height = plotHeight)
{
    return plot.toPixmap(width, height).toImage().convertToFormat(QImage::Format_RGB32);
}

bool isTrace(const QImage &image, int x, int y)
{
    return image.rect().contains(x, y) && QColor(image.pixel(x, y)) == traceColour;
}

// A trace pixel in the column within one row of y.
bool traceNear(const QImage &image, int x, double y)
{
    const int row = int(std::floor(y));
    return isTrace(image, x, row - 1) || isTrace(image, x, row) || isTrace(image, x, row + 1);
}

QVector<double> sampleKeys(int n)
{
    QVector<double> keys(n);
    for (int i = 0; i < n; ++i)
        keys[i] = 2.0 * i;
    return keys;
}

// Lowest and highest trace row of each pixel column of the plot area; -1 where empty.
struct Extents {
    QVector<int> top;
    QVector<int> bottom;
};

Extents columnExtents(const QImage &image, const QRect &area)
{
    Extents e{QVector<int>(image.width(), -1), QVector<int>(image.width(), -1)};
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.bottom(); y >= area.top(); --y)
            if (isTrace(image, x, y))
                e.bottom[x] = std::max(e.bottom[x], y), e.top[x] = y;
    return e;
}

// Every column of `wanted` is covered by `drawn` within one column and one
// row: no extreme is lost.
int columnsMissing(const Extents &wanted, const Extents &drawn, const QRect &area)
{
    int missing = 0;
    for (int x = area.left() + 2; x < area.right() - 1; ++x) {
        if (wanted.top[x] < 0)
            continue;
        int top = INT_MAX, bottom = -1;
        for (int dx = -1; dx <= 1; ++dx)
            if (drawn.top[x + dx] >= 0)
                top = std::min(top, drawn.top[x + dx]), bottom = std::max(bottom, drawn.bottom[x + dx]);
        if (bottom < 0 || top > wanted.top[x] + 1 || bottom < wanted.bottom[x] - 1)
            ++missing;
    }
    return missing;
}

} // namespace

class TestVeltoGraph : public QObject
{
    Q_OBJECT
private slots:
    void reducedDrawingKeepsEveryColumnsExtremes()
    {
        // The same data drawn point by point (adaptive sampling off, the
        // library's own drawing) and reduced must light the same column extents.
        // Random bits on a reversed axis, accumulated bits, spectrum bins, a dense line drawn as column spans.
        const int samples = 3840;
        const std::tuple<int, int, bool> rows[] = {{QCPGraph::lsStepCenter, 1, true},
                                                   {QCPGraph::lsStepCenter, 20, false},
                                                   {QCPGraph::lsImpulse, 1, false},
                                                   {QCPGraph::lsLine, 1, false}};
        for (const auto &[style, traces, reversed] : rows) {
            QRandomGenerator rng(1234);
            const QVector<double> keys = sampleKeys(samples);
            auto exactPlot = makePlot(2.0 * samples);
            auto reducedPlot = makePlot(2.0 * samples);
            for (QCustomPlot *plot : {exactPlot.get(), reducedPlot.get()})
                plot->xAxis->setRangeReversed(reversed);
            auto *exact = addGraph<VeltoGraph>(*exactPlot, QCPGraph::LineStyle(style));
            exact->setAdaptiveSampling(false);
            auto *reduced = addGraph<VeltoGraph>(*reducedPlot, QCPGraph::LineStyle(style));
            for (int t = 0; t < traces; ++t) {
                QVector<double> values(samples);
                for (int i = 0; i < samples; ++i) {
                    if (style == QCPGraph::lsStepCenter)
                        values[i] = 600 + 50 * int(rng.bounded(2));
                    else if (style == QCPGraph::lsImpulse) // rare tall bins: one-sample spikes
                        values[i] = rng.bounded(1000.0) * (rng.bounded(20) == 0 ? 1.0 : 0.2);
                    else
                        values[i] = 640 + 300 * std::sin(i * 0.05) + rng.bounded(80.0) - 40;
                }
                exact->addData(keys, values, true);
                reduced->addData(keys, values, true);
            }
            const QImage exactImage = render(*exactPlot);
            const QImage reducedImage = render(*reducedPlot);
            const QRect area = reducedPlot->axisRect()->rect();
            // At most two points to a pixel column, however many samples share it.
            QVERIFY(reduced->lastLinePointCount() < exact->lastLinePointCount());
            QVERIFY2(reduced->lastLinePointCount() <= 2 * area.width() + 8,
                     qPrintable(QString::number(reduced->lastLinePointCount())));
            QCOMPARE(reduced->lastSpanCount() > 0, style == QCPGraph::lsLine);
            const Extents wanted = columnExtents(exactImage, area);
            const Extents drawn = columnExtents(reducedImage, area);
            // No extreme is lost, and the reduction draws nowhere the full drawing does not.
            const int missing[2] = {columnsMissing(wanted, drawn, area), columnsMissing(drawn, wanted, area)};
            const QString row = QStringLiteral("style %1, %2 traces: %3 and %4 columns");
            QVERIFY2(missing[0] == 0 && missing[1] == 0,
                     qPrintable(row.arg(style).arg(traces).arg(missing[0]).arg(missing[1])));
        }
    }
    void sparseAndDegenerateInputs()
    {
        for (int style : {int(QCPGraph::lsLine), int(QCPGraph::lsStepCenter), int(QCPGraph::lsImpulse)}) {
            // Sparse points, fewer than the pixel columns: nothing to reduce, so the
            // picture must be the library's own to the pixel.
            const QVector<double> keys = {100,  700,  1300, 2000, 2600, 3300,
                                          4100, 4800, 5600, 6300, 7000, 7600};
            const QVector<double> sparse = {200, 900, 400, 400, 1100, 150, 600, 610, 1000, 300, 800, 500};
            auto plain = makePlot();
            addGraph<QCPGraph>(*plain, QCPGraph::LineStyle(style))->setData(keys, sparse, true);
            auto plot = makePlot();
            auto *graph = addGraph<VeltoGraph>(*plot, QCPGraph::LineStyle(style));
            graph->setData(keys, sparse, true);
            QCOMPARE(render(*plot), render(*plain));
            QCOMPARE(graph->lastSpanCount(), 0);
            if (style == QCPGraph::lsLine) {
                // On screen, where the library strokes the segments one by one
                // and the graph hands them over in one call: the same picture,
                // a gap included.
                QVector<double> gapped = sparse;
                gapped[5] = qQNaN();
                graph->setData(keys, gapped, true);
                plain->graph(0)->setData(keys, gapped, true);
                for (QCustomPlot *p : {plain.get(), plot.get()}) {
                    p->setPlottingHint(QCP::phFastPolylines, true);
                    p->show();
                    QVERIFY(QTest::qWaitForWindowExposed(p));
                    p->replot();
                }
                const QImage shown = plot->grab().toImage();
                QCOMPARE(shown, plain->grab().toImage());
                QVERIFY(!traceNear(shown, int(plot->xAxis->coordToPixel(3000)), plot->yAxis->coordToPixel(557)));
                QVERIFY(traceNear(shown, int(plot->xAxis->coordToPixel(4450)), plot->yAxis->coordToPixel(605)));
                graph->setData(keys, sparse, true);
            }
            graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 6));
            graph->setData({100}, {640}, true); // one point: nothing to join
            render(*plot);
            QVERIFY(graph->lastSpanCount() == 0 && graph->lastScatterCount() == 1);
            // Values that are not numbers break the line; infinities too,
            // which the painter would otherwise hang on.
            QVector<double> values(3840, 640);
            for (int i = 100; i < 300; ++i)
                values[i] = qQNaN();
            values[500] = qInf();
            values[501] = -qInf();
            graph->setData(sampleKeys(3840), values, true);
            const QImage image = render(*plot);
            QVERIFY(graph->lastLinePointCount() <= 2 * plot->axisRect()->width() + 8);
            const double row = plot->yAxis->coordToPixel(640);
            if (style != QCPGraph::lsImpulse) {
                QVERIFY(!traceNear(image, int(plot->xAxis->coordToPixel(2.0 * 250)), row)); // the gap stays empty
                QVERIFY(traceNear(image, int(plot->xAxis->coordToPixel(2.0 * 50)), row));
            }
            // A flat run of steps, as a logic baseline is, needs only its two ends.
            graph->setData(sampleKeys(3840), QVector<double>(3840, 639), true);
            render(*plot);
            QVERIFY(style != QCPGraph::lsStepCenter || graph->lastLinePointCount() == 2);
            // Its dots: the first and the last of each pixel column the run crosses.
            QVERIFY2(qAbs(graph->lastScatterCount() - 2 * plot->axisRect()->width()) <= 4,
                     qPrintable(QString::number(graph->lastScatterCount())));
        }
    }
    // What the canvas shows on screen, through a change of theme to a
    // background that lets the window show through and back: the background
    // everywhere the trace is not, the trace over it.
    void canvasShowsItsBackgroundAndTraces()
    {
        PlotCanvas canvas;
        canvas.resize(240, 160);
        canvas.setNotAntialiasedElements(QCP::aeAll);
        canvas.xAxis->setRange(0, 10);
        canvas.yAxis->setRange(0, 10);
        auto *graph = addGraph<VeltoGraph>(canvas, QCPGraph::lsLine);
        graph->setData({0, 10}, {5, 5});
        for (QCPAxis *axis : {canvas.xAxis, canvas.yAxis})
            axis->grid()->setVisible(false);
        const struct {
            QColor background;
            bool opaque;
        } steps[] = {{QColor(0, 0, 80), true}, {QColor(0, 0, 80, 100), false}, {QColor(0, 90, 0), true}};
        for (const auto &step : steps) {
            canvas.setBackground(QBrush(step.background));
            canvas.setOpaqueBackground(step.background);
            canvas.replot();
            QCOMPARE(canvas.paintsOpaque(), step.opaque);
            if (!step.opaque)
                continue;
            const QImage shown = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QRect box = canvas.axisRect()->rect();
            int background = 0, trace = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x) {
                    background += QColor(shown.pixel(x, y)) == step.background;
                    trace += box.contains(x, y) && QColor(shown.pixel(x, y)) == traceColour;
                }
            QVERIFY2(background > shown.width() * shown.height() * 8 / 10, qPrintable(QString::number(background)));
            QVERIFY(trace >= box.width() * 9 / 10); // the line across
            QCOMPARE(QColor(shown.pixel(1, 1)), step.background); // the margin too
        }
    }
    // The grid drawn once under the replots, as the library draws it, and
    // drawn again exactly when a line of it moves or changes.
    void canvasGridFollowsEveryChange()
    {
        PlotCanvas canvas;
        canvas.resize(240, 160);
        canvas.setNotAntialiasedElements(QCP::aeAll);
        canvas.setBackground(QBrush(Qt::black));
        canvas.setOpaqueBackground(Qt::black);
        const QColor gridColour(90, 90, 90);
        for (QCPAxis *axis : {canvas.xAxis, canvas.yAxis})
            axis->grid()->setPen(QPen(gridColour, 1, Qt::DotLine));
        canvas.xAxis->setRange(0, 10);
        canvas.yAxis->setRange(0, 10);
        auto *graph = addGraph<VeltoGraph>(canvas, QCPGraph::lsLine);
        graph->setData({-100, 100}, {5, 5});
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        const auto grids = [&canvas](auto change) {
            for (QCPAxis *axis : {canvas.xAxis, canvas.yAxis})
                change(axis->grid());
        };
        const struct {
            const char *change;
            std::function<void()> apply;
            bool drawsGrid;
            bool gridShown;
        } steps[] = {
            {"as shown", [] {}, false, true},
            {"new data", [&] { graph->setData({-100, 100}, {4, 4}); }, false, true},
            {"nothing", [] {}, false, true},
            {"time range", [&] { canvas.xAxis->setRange(3, 17); }, true, true},
            {"grid pen", [&] { canvas.yAxis->grid()->setPen(QPen(gridColour, 1, Qt::SolidLine)); }, true, true},
            {"sub grid", [&] { canvas.xAxis->grid()->setSubGridVisible(true); }, true, true},
            {"size", [&] { canvas.resize(300, 200); }, true, true},
            {"theme", [&] { canvas.setBackground(QBrush(QColor(0, 0, 60))), canvas.setOpaqueBackground(QColor(0, 0, 60)); }, true, true},
            {"grid off", [&] { grids([](QCPGrid *g) { g->setVisible(false); }); }, true, false},
            {"grid on", [&] { grids([](QCPGrid *g) { g->setVisible(true); }); }, true, true},
        };
        for (const auto &step : steps) {
            const int before = canvas.underlayDraws();
            step.apply(); // a resize replots at once
            canvas.replot();
            QVERIFY2(canvas.underlayDraws() - before == int(step.drawsGrid), step.change);
            QVERIFY2(canvas.layer(QStringLiteral("grid"))->visible(), step.change); // only left out during a replot
            const QRect box = canvas.axisRect()->rect();
            const QImage shown = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32).copy(box);
            const QImage drawn = canvas.toPixmap().toImage().convertToFormat(QImage::Format_RGB32).copy(box);
            QVERIFY2(shown == drawn, step.change);
            int gridPixels = 0, tracePixels = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x) {
                    gridPixels += QColor(shown.pixel(x, y)) == gridColour;
                    tracePixels += QColor(shown.pixel(x, y)) == traceColour;
                }
            QVERIFY2((gridPixels > box.width()) == step.gridShown, step.change);
            QVERIFY2(tracePixels >= box.width() * 9 / 10, step.change); // the trace over it
        }
    }

    // A label drawn from its picture looks as the library's own label on the
    // screen (its glyphs in the same places, its colours the same), and the picture is drawn again exactly when what it shows changes.
    void labelPictureFollowsEveryChange()
    {
        QCustomPlot plots[2];
        QCPItemText *labels[2] = {new PlotLabel(&plots[0]), new QCPItemText(&plots[1])};
        auto *label = static_cast<PlotLabel *>(labels[0]);
        for (int i = 0; i < 2; ++i) {
            plots[i].resize(240, 160);
            plots[i].setBackground(QBrush(Qt::white));
            for (QCPAxis *axis : {plots[i].xAxis, plots[i].yAxis})
                axis->setVisible(false), axis->grid()->setVisible(false);
            labels[i]->position->setType(QCPItemPosition::ptAbsolute);
            labels[i]->position->setCoords(120, 80);
            labels[i]->setPositionAlignment(Qt::AlignRight | Qt::AlignVCenter);
            labels[i]->setText(QStringLiteral("1.02 V"));
            plots[i].show();
            QVERIFY(QTest::qWaitForWindowExposed(&plots[i]));
        }
        plots[0].replot();
        QCOMPARE(label->pictureCount(), 1);
        const struct {
            const char *change;
            std::function<void(QCPItemText *)> apply;
            bool drawsPicture;
        } steps[] = {
            {"nothing", [](QCPItemText *) {}, false},
            {"same text", [](QCPItemText *l) { l->setText(QStringLiteral("1.02 V")); }, false},
            {"moved", [](QCPItemText *l) { l->position->setCoords(150, 40); }, false},
            {"text", [](QCPItemText *l) { l->setText(QStringLiteral("\u0394T = 1.000 ms\n1/\u0394T = 1 kHz")); }, true},
            {"colour", [](QCPItemText *l) { l->setColor(Qt::red); }, true},
            {"box", [](QCPItemText *l) { l->setBrush(QBrush(Qt::green)), l->setPadding(QMargins(6, 2, 6, 2)); }, true},
            {"border", [](QCPItemText *l) { l->setPen(QPen(Qt::blue, 2)); }, true},
            {"font", [](QCPItemText *l) { l->setFont(QFont(QStringLiteral("Sans"), 14, QFont::Bold)); }, true},
            {"alignment", [](QCPItemText *l) { l->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop); }, true},
            {"selected", [](QCPItemText *l) { l->setSelectable(true), l->setSelected(true); }, true},
        };
        for (const auto &step : steps) {
            const int before = label->pictureCount();
            QImage images[2];
            for (int i = 0; i < 2; ++i) {
                step.apply(labels[i]);
                plots[i].replot();
                images[i] = plots[i].grab().toImage().convertToFormat(QImage::Format_RGB32);
            }
            QVERIFY2(label->pictureCount() - before == int(step.drawsPicture), step.change);
            int inked = 0, apart = 0;
            for (int y = 0; y < images[0].height(); ++y)
                for (int x = 0; x < images[0].width(); ++x) {
                    const QColor a(images[0].pixel(x, y)), b(images[1].pixel(x, y));
                    inked += b != Qt::white;
                    // Through the picture, a glyph's edge is blended without
                    // the screen's gamma: lighter or darker, hardly ever elsewhere.
                    apart += std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                                       std::abs(a.blue() - b.blue())}) > 128;
                }
            QVERIFY2(inked > 40, step.change);
            QVERIFY2(apart * 100 <= inked, qPrintable(QStringLiteral("%1: %2 of %3 pixels differ").arg(step.change).arg(apart).arg(inked)));
        }
        // Far off the plot, or nowhere at all: nothing is drawn, and nothing overflows.
        for (const QPointF &far : {QPointF(3e9, 80), QPointF(120, -1e300), QPointF(qQNaN(), 80)}) {
            label->position->setCoords(far);
            plots[0].replot();
            const QImage image = plots[0].grab().toImage().convertToFormat(QImage::Format_RGB32);
            QImage white(image.size(), QImage::Format_RGB32);
            white.fill(Qt::white);
            QVERIFY2(image == white, qPrintable(QString::number(far.y())));
        }
    }
};

QTEST_MAIN(TestVeltoGraph)
#include "tst_veltograph.moc"
