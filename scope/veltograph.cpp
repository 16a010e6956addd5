// SPDX-License-Identifier: GPL-3.0-only
#include "scope/veltograph.h"

#include "core/scope/hitimage.h"

#include <algorithm>
#include <cmath>

namespace {

bool finitePoint(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// Collects a polyline point by point (in the order it is drawn) and keeps,
// of the points falling into one pixel column, the lowest and the highest in
// the order they came. Where the next column along is occupied too, the line
// crosses between them at a y both share, so joining the kept extremes
// covers the same pixels, give or take the column the joint lands in. Where
// empty columns lie between, the joining line is long and visible: the
// column's first and last points are kept as well, so it runs where it
// should. That costs at most two points per pixel column over the plot,
// since every extra point stands beside an empty column. A point that is not
// finite breaks the line, as a NaN does for the library. Columns are the
// painter's: an aliased line at x falls into pixel floor(x).
class ColumnReducer
{
public:
    ColumnReducer(QVector<QPointF> *out, bool mergeFlatRuns) : out(out), mergeFlat(mergeFlatRuns) {}

    void add(const QPointF &p)
    {
        // Most points land in the column of the one before: two compares.
        if (count > 0 && p.x() >= currentColumn && p.x() < currentColumn + 1.0 && std::isfinite(p.y())) {
            if (p.y() < low.y()) {
                low = p;
                lowOrder = count;
            } else if (p.y() > high.y()) {
                high = p;
                highOrder = count;
            }
            last = p;
            ++count;
            return;
        }
        if (!finitePoint(p)) {
            breakLine();
            return;
        }
        const double column = std::floor(p.x());
        flush(true, column);
        currentColumn = column;
        first = low = high = last = p;
        lowOrder = highOrder = 0;
        count = 1;
    }

    void finish() { flush(false, 0); }

private:
    void breakLine()
    {
        flush(false, 0);
        previousValid = false;
        if (!out->isEmpty() && finitePoint(out->constLast()))
            out->append(QPointF(qQNaN(), qQNaN()));
    }

    void flush(bool hasNext, double nextColumn)
    {
        if (count == 0)
            return;
        const bool gapBefore = !previousValid || std::abs(currentColumn - previousColumn) != 1.0;
        const bool gapAfter = !hasNext || std::abs(nextColumn - currentColumn) != 1.0;
        // Candidates by the order they came in; the same point is emitted once,
        // so a flat column gives one point, or two when a gap follows.
        struct Candidate {
            int order;
            QPointF point;
        } candidates[4];
        int n = 0;
        if (gapBefore)
            candidates[n++] = {0, first};
        if (lowOrder < highOrder) {
            candidates[n++] = {lowOrder, low};
            candidates[n++] = {highOrder, high};
        } else {
            candidates[n++] = {highOrder, high};
            candidates[n++] = {lowOrder, low};
        }
        if (gapAfter)
            candidates[n++] = {count - 1, last};
        int lastOrder = -1;
        for (int i = 0; i < n; ++i) {
            if (candidates[i].order == lastOrder)
                continue;
            emitPoint(candidates[i].point);
            lastOrder = candidates[i].order;
        }
        previousColumn = currentColumn;
        previousValid = true;
        count = 0;
    }

    void emitPoint(const QPointF &p)
    {
        const int n = out->size();
        // A point on top of the previous one draws nothing more.
        if (n >= 1 && out->at(n - 1) == p)
            return;
        if (mergeFlat && n >= 2) {
            // A flat stretch (a logic level, a baseline) needs only its two ends;
            // the middle point is moved on as long as the run goes one way.
            const QPointF &a = out->at(n - 2);
            const QPointF &b = out->at(n - 1);
            if (finitePoint(a) && finitePoint(b) && a.y() == b.y() && b.y() == p.y()
                && (b.x() - a.x()) * (p.x() - b.x()) >= 0) {
                (*out)[n - 1] = p;
                return;
            }
        }
        out->append(p);
    }

    QVector<QPointF> *out;
    const bool mergeFlat;
    double currentColumn = 0;
    double previousColumn = 0;
    bool previousValid = false;
    QPointF first, low, high, last;
    int lowOrder = 0;
    int highOrder = 0;
    int count = 0;
};

// The axis' mapping from plot coordinates to pixels. A linear axis is a
// multiply and an add, done inline: the reduction visits every point piled
// onto a graph, and the library's call costs more than all the rest of it.
class PixelMap
{
public:
    explicit PixelMap(const QCPAxis *axis) : axis(axis)
    {
        const QCPRange range = axis->range();
        linear = axis->scaleType() == QCPAxis::stLinear && range.size() > 0;
        if (linear) {
            const double lower = axis->coordToPixel(range.lower);
            scale = (axis->coordToPixel(range.upper) - lower) / range.size();
            offset = lower - range.lower * scale;
        }
    }
    double operator()(double coordinate) const
    {
        return linear ? offset + coordinate * scale : axis->coordToPixel(coordinate);
    }

private:
    const QCPAxis *axis;
    bool linear = false;
    double scale = 1;
    double offset = 0;
};

} // namespace

VeltoGraph::VeltoGraph(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPGraph(keyAxis, valueAxis) {}

void VeltoGraph::draw(QCPPainter *painter)
{
    linePoints = 0;
    spans = 0;
    scatterPoints = 0;
    QCPAxis *keyAxis = mKeyAxis.data();
    QCPAxis *valueAxis = mValueAxis.data();
    if (!keyAxis || !valueAxis)
        return;
    // A plot squeezed below its margins has no area to draw in.
    const QRect area = keyAxis->axisRect()->rect();
    if (area.width() <= 0 || area.height() <= 0)
        return;
    // The reduction works on pixel columns of a horizontal key axis; anything
    // else, or a graph asked to draw every point, is left to the library.
    if (!mAdaptiveSampling || keyAxis->orientation() != Qt::Horizontal) {
        QCPGraph::draw(painter);
        return;
    }
    if (keyAxis->range().size() <= 0 || mDataContainer->isEmpty())
        return;
    if (mLineStyle == lsNone && mScatterStyle.isNone())
        return;

    // The same passes as the library's graph: unselected then selected data,
    // each with fill, line and dots; only the points are made differently.
    QVector<QPointF> lines;
    QVector<QPointF> scatters;
    QList<QCPDataRange> selectedSegments;
    QList<QCPDataRange> unselectedSegments;
    getDataSegments(selectedSegments, unselectedSegments);
    QList<QCPDataRange> allSegments = unselectedSegments;
    allSegments << selectedSegments;
    for (int i = 0; i < allSegments.size(); ++i) {
        const bool selectedSegment = i >= unselectedSegments.size();
        // Unselected lines reach on to the neighbouring selected points.
        const QCPDataRange lineRange = selectedSegment ? allSegments.at(i) : allSegments.at(i).adjusted(-1, 1);
        reducedLines(&lines, lineRange);

        if (selectedSegment && mSelectionDecorator)
            mSelectionDecorator->applyBrush(painter);
        else
            painter->setBrush(mBrush);
        painter->setPen(Qt::NoPen);
        drawFill(painter, &lines);

        if (mLineStyle != lsNone) {
            if (selectedSegment && mSelectionDecorator)
                mSelectionDecorator->applyPen(painter);
            else
                painter->setPen(mPen);
            painter->setBrush(Qt::NoBrush);
            if (mLineStyle == lsImpulse)
                drawImpulsePlot(painter, lines);
            else
                drawLinePlot(painter, lines);
        }

        QCPScatterStyle scatterStyle = mScatterStyle;
        if (selectedSegment && mSelectionDecorator)
            scatterStyle = mSelectionDecorator->getFinalScatterStyle(mScatterStyle);
        if (!scatterStyle.isNone()) {
            reducedScatters(&scatters, allSegments.at(i), scatterStyle);
            drawScatterPlot(painter, scatters, scatterStyle);
        }
    }
    if (mSelectionDecorator)
        mSelectionDecorator->drawDecoration(painter, selection());
}

void VeltoGraph::drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const
{
    linePoints += lines.size();
    if (mLineStyle == lsLine && mAdaptiveSampling && (drawDenseSpans(painter, lines) || drawSegments(painter, lines)))
        return;
    QCPGraph::drawLinePlot(painter, lines);
}

// Where the library would stroke a sparse line segment by segment (its
// fast-polyline hint, a solid pen, a picture for the screen), the segments
// go to the painter in one call: stroked in batches, the same strokes cost
// a fraction of one call each.
bool VeltoGraph::drawSegments(QCPPainter *painter, const QVector<QPointF> &lines) const
{
    if (!mParentPlot->plottingHints().testFlag(QCP::phFastPolylines) || painter->pen().style() != Qt::SolidLine ||
        painter->modes().testFlag(QCPPainter::pmVectorized) || painter->modes().testFlag(QCPPainter::pmNoCaching))
        return false;
    QVector<QLineF> segments;
    QVector<QLine> pixelSegments; // without antialiasing the library puts a segment on whole pixels
    const bool smooth = painter->antialiasing();
    (smooth ? segments.reserve(lines.size()) : pixelSegments.reserve(lines.size()));
    for (int i = 1; i < lines.size(); ++i) {
        if (!finitePoint(lines[i - 1]) || !finitePoint(lines[i])) // a gap breaks the line
            continue;
        const QLineF segment(lines[i - 1], lines[i]);
        if (smooth)
            segments.append(segment);
        else
            pixelSegments.append(segment.toLine());
    }
    smooth ? painter->drawLines(segments) : painter->drawLines(pixelSegments);
    return true;
}

// A line with more points than pixel columns is, column by column, one
// vertical stroke from its lowest to its highest point there: filled as
// rectangles without antialiasing it looks the same and costs a fraction of
// stroking the polyline. A sparse line keeps the library's antialiased drawing.
bool VeltoGraph::drawDenseSpans(QCPPainter *painter, const QVector<QPointF> &lines) const
{
    if (lines.size() < 4 || painter->pen().style() == Qt::NoPen)
        return false;
    double left = qInf();
    double right = -qInf();
    for (const QPointF &p : lines) {
        if (finitePoint(p)) {
            left = std::min(left, p.x());
            right = std::max(right, p.x());
        }
    }
    if (!(right >= left))
        return false;
    const QRect area = mKeyAxis->axisRect()->rect();
    const int first = int(std::max(std::floor(left), double(area.left()) - 1));
    const int last = int(std::min(std::floor(right), double(area.right()) + 1));
    const int columns = last - first + 1;
    if (columns <= 0 || lines.size() < 3 * columns / 2)
        return false;
    std::vector<double> low(size_t(columns), qInf());
    std::vector<double> high(size_t(columns), -qInf());
    lineColumnExtents(lines.constData(), lines.size(), first, columns, low.data(), high.data());
    const double width = std::max(1.0, painter->pen().widthF());
    QVector<QRectF> rects;
    rects.reserve(columns);
    for (int c = 0; c < columns; ++c) {
        if (low[size_t(c)] <= high[size_t(c)])
            rects.append(QRectF(first + c + 0.5 - width / 2.0, low[size_t(c)] - width / 2.0, width,
                                high[size_t(c)] - low[size_t(c)] + width));
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBrush(painter->pen().color());
    painter->setPen(Qt::NoPen);
    painter->drawRects(rects);
    painter->restore();
    spans += rects.size();
    return true;
}

void VeltoGraph::drawImpulsePlot(QCPPainter *painter, const QVector<QPointF> &lines) const
{
    QCPGraph::drawImpulsePlot(painter, lines);
    linePoints += lines.size();
}

void VeltoGraph::drawScatterPlot(QCPPainter *painter, const QVector<QPointF> &scatters,
                                 const QCPScatterStyle &style) const
{
    QCPGraph::drawScatterPlot(painter, scatters, style);
    scatterPoints += scatters.size();
}

void VeltoGraph::reducedLines(QVector<QPointF> *lines, const QCPDataRange &dataRange) const
{
    lines->clear();
    if (mLineStyle == lsNone)
        return;
    QCPGraphDataContainer::const_iterator begin;
    QCPGraphDataContainer::const_iterator end;
    getVisibleDataBounds(begin, end, dataRange);
    if (begin == end)
        return;
    if (mLineStyle == lsImpulse) {
        reducedImpulses(lines, begin, end);
        return;
    }

    const QCPAxis *keyAxis = mKeyAxis.data();
    const QCPAxis *valueAxis = mValueAxis.data();
    const int n = int(end - begin);
    // Like the library, walk the data so that pixels run left to right; the
    // step styles depend on the direction.
    const bool reversed = keyAxis->rangeReversed();
    const PixelMap keyMap(keyAxis);
    const PixelMap valueMap(valueAxis);
    const QCPGraphData *data = &*begin;
    auto keyPixel = [&](int i) { return keyMap(data[reversed ? n - 1 - i : i].key); };
    auto valuePixel = [&](int i) { return valueMap(data[reversed ? n - 1 - i : i].value); };

    ColumnReducer reducer(lines, true);
    switch (mLineStyle) {
    case lsLine:
        for (int i = 0; i < n; ++i)
            reducer.add(QPointF(keyPixel(i), valuePixel(i)));
        break;
    case lsStepLeft: {
        double lastValue = valuePixel(0);
        for (int i = 0; i < n; ++i) {
            const double key = keyPixel(i);
            reducer.add(QPointF(key, lastValue));
            lastValue = valuePixel(i);
            reducer.add(QPointF(key, lastValue));
        }
        break;
    }
    case lsStepRight: {
        double lastKey = keyPixel(0);
        for (int i = 0; i < n; ++i) {
            const double value = valuePixel(i);
            reducer.add(QPointF(lastKey, value));
            lastKey = keyPixel(i);
            reducer.add(QPointF(lastKey, value));
        }
        break;
    }
    case lsStepCenter: {
        double lastKey = keyPixel(0);
        double lastValue = valuePixel(0);
        reducer.add(QPointF(lastKey, lastValue));
        for (int i = 1; i < n; ++i) {
            const double key = keyPixel(i);
            const double middle = (key + lastKey) * 0.5;
            reducer.add(QPointF(middle, lastValue));
            lastValue = valuePixel(i);
            lastKey = key;
            reducer.add(QPointF(middle, lastValue));
        }
        reducer.add(QPointF(lastKey, lastValue));
        break;
    }
    case lsNone:
    case lsImpulse:
        break;
    }
    reducer.finish();
}

void VeltoGraph::reducedImpulses(QVector<QPointF> *lines, QCPGraphDataContainer::const_iterator begin,
                                 QCPGraphDataContainer::const_iterator end) const
{
    const QCPAxis *keyAxis = mKeyAxis.data();
    const QCPAxis *valueAxis = mValueAxis.data();
    // Every impulse stands on the zero line, so the impulses of one pixel
    // column together cover one vertical line from the lowest to the highest
    // of them and the zero line: one line per column draws them all.
    const PixelMap keyMap(keyAxis);
    const PixelMap valueMap(valueAxis);
    double zero = valueAxis->coordToPixel(0);
    if (!std::isfinite(zero))
        zero = valueAxis->axisRect()->bottom();
    bool open = false;
    double column = 0;
    double top = 0;
    double bottom = 0;
    double x = 0;
    double reach = -1;
    auto flush = [&]() {
        if (!open)
            return;
        lines->append(QPointF(x, top));
        lines->append(QPointF(x, bottom));
        open = false;
    };
    for (auto it = begin; it != end; ++it) {
        const double key = keyMap(it->key);
        const double value = valueMap(it->value);
        if (!std::isfinite(key) || !std::isfinite(value))
            continue;
        const double c = std::floor(key);
        if (!open || c != column) {
            flush();
            open = true;
            column = c;
            top = bottom = zero;
            reach = -1;
        }
        top = std::min(top, value);
        bottom = std::max(bottom, value);
        // The line stands where the tallest impulse of the column stands.
        if (std::abs(value - zero) > reach) {
            reach = std::abs(value - zero);
            x = key;
        }
    }
    flush();
}

void VeltoGraph::reducedScatters(QVector<QPointF> *scatters, const QCPDataRange &dataRange,
                                 const QCPScatterStyle &style) const
{
    scatters->clear();
    QCPGraphDataContainer::const_iterator begin;
    QCPGraphDataContainer::const_iterator end;
    getVisibleDataBounds(begin, end, dataRange);
    if (begin == end)
        return;
    const QCPAxis *keyAxis = mKeyAxis.data();
    const QCPAxis *valueAxis = mValueAxis.data();
    // Dots wholly outside the plot area are not drawn at all.
    const double margin = style.size() + 2.0;
    const QRectF visible = QRectF(keyAxis->axisRect()->rect()).adjusted(-margin, -margin, margin, margin);
    const PixelMap keyMap(keyAxis);
    const PixelMap valueMap(valueAxis);
    const int modulo = mScatterSkip + 1;
    int index = int(begin - mDataContainer->constBegin());

    // Dots whose centres lie within a third of their size of each other
    // overlap almost wholly: each column keeps one dot per such band of rows,
    // and its topmost and bottommost dots exactly. That bounds the dots by
    // the pixels, not by the points piled onto the graph.
    const double band = std::max(1.0, std::floor(style.size() / 3.0));
    QVector<QPointF> column;
    double currentColumn = 0;
    auto flush = [&]() {
        if (column.isEmpty())
            return;
        std::sort(column.begin(), column.end(),
                  [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); });
        double lastBand = qQNaN();
        for (const QPointF &p : qAsConst(column)) {
            const double b = std::floor(p.y() / band);
            if (b != lastBand)
                scatters->append(p);
            lastBand = b;
        }
        if (scatters->constLast() != column.constLast())
            scatters->append(column.constLast());
        column.clear();
    };
    for (auto it = begin; it != end; ++it, ++index) {
        if (modulo > 1 && index % modulo != 0)
            continue;
        const QPointF p(keyMap(it->key), valueMap(it->value));
        if (!finitePoint(p) || !visible.contains(p))
            continue;
        const double c = std::floor(p.x());
        if (!column.isEmpty() && c != currentColumn)
            flush();
        currentColumn = c;
        column.append(p);
    }
    flush();
}

bool VeltoGraph::flatFillBase(double *pixelY) const
{
    const QCPGraph *base = mChannelFillGraph.data();
    if (!base || base->data()->isEmpty() || base->valueAxis() != mValueAxis.data() ||
        base->keyAxis() != mKeyAxis.data())
        return false;
    // Flat: every value that is a number is the same. A plain walk, as the
    // baseline is checked on every draw of every bit.
    bool found = false;
    double level = 0;
    for (auto it = base->data()->constBegin(), end = base->data()->constEnd(); it != end; ++it) {
        const double value = it->value;
        if (std::isnan(value))
            continue;
        if (!found) {
            level = value;
            found = true;
        } else if (value != level) {
            return false;
        }
    }
    if (!found)
        return false;
    *pixelY = mValueAxis->coordToPixel(level);
    return std::isfinite(*pixelY);
}

void VeltoGraph::drawFill(QCPPainter *painter, QVector<QPointF> *lines) const
{
    const bool steps = mLineStyle == lsStepCenter || mLineStyle == lsStepLeft || mLineStyle == lsStepRight;
    double baseY = 0;
    if (!steps || painter->brush().style() == Qt::NoBrush || !lines || lines->size() < 2 || !flatFillBase(&baseY)) {
        QCPGraph::drawFill(painter, lines);
        return;
    }
    // Steps are horizontal runs joined by vertical edges: the area down to
    // the baseline is the runs' rectangles. Runs on the baseline add nothing.
    QVector<QRectF> rects;
    rects.reserve(lines->size() / 2 + 1);
    const QPointF *p = lines->constData();
    for (int i = 0; i + 1 < lines->size(); ++i) {
        const QPointF &a = p[i];
        const QPointF &b = p[i + 1];
        if (a.y() != b.y() || a.x() == b.x() || a.y() == baseY)
            continue;
        rects.append(QRectF(QPointF(std::min(a.x(), b.x()), std::min(a.y(), baseY)),
                            QPointF(std::max(a.x(), b.x()), std::max(a.y(), baseY))));
    }
    if (rects.isEmpty())
        return;
    painter->save();
    // Axis-aligned rectangles need no antialiasing.
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(Qt::NoPen);
    painter->drawRects(rects);
    painter->restore();
}
