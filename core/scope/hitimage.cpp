// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/hitimage.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double none = std::numeric_limits<double>::infinity();
constexpr int gradingSteps = 1024;
} // namespace

void HitImage::reset(int width, int height)
{
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    if (m_width == 0 || m_height == 0) {
        m_width = m_height = 0;
        std::vector<uint16_t>().swap(m_counts);
        std::vector<double>().swap(m_low);
        std::vector<double>().swap(m_high);
        std::vector<Run>().swap(m_runs);
        std::vector<int>().swap(m_dirtyTop);
        std::vector<int>().swap(m_dirtyBottom);
    } else {
        m_counts.assign(size_t(m_width) * size_t(m_height), 0);
        m_counts.shrink_to_fit();
        m_low.assign(size_t(m_width), none);
        m_high.assign(size_t(m_width), -none);
        m_dirtyTop.assign(size_t(m_width), m_height);
        m_dirtyBottom.assign(size_t(m_width), -1);
    }
    m_dirtyLeft = 0;
    m_dirtyRight = -1;
    forgetHits();
}

void HitImage::clear()
{
    if (m_traces == 0 && m_right < 0)
        return;
    // Only the rows and columns ever hit need zeroing.
    if (m_right >= m_left) {
        for (int y = m_top; y <= m_bottom; ++y) {
            uint16_t *row = m_counts.data() + size_t(y) * size_t(m_width);
            std::fill(row + m_left, row + m_right + 1, uint16_t(0));
        }
    }
    forgetHits();
}

// No trace counted and no pixel hit; the whole picture is to be composed again.
void HitImage::forgetHits()
{
    m_allDirty = true;
    m_traces = 0;
    m_maximum = 0;
    m_full = false;
    m_left = m_top = 0;
    m_right = m_bottom = -1;
}

void HitImage::markClean()
{
    for (int c = m_dirtyLeft; c <= m_dirtyRight; ++c) {
        m_dirtyTop[size_t(c)] = m_height;
        m_dirtyBottom[size_t(c)] = -1;
    }
    m_dirtyLeft = 0;
    m_dirtyRight = -1;
    m_allDirty = false;
}

QRect HitImage::bounds() const
{
    if (m_right < m_left)
        return QRect();
    return QRect(QPoint(m_left, m_top), QPoint(m_right, m_bottom));
}

void HitImage::span(int column, int top, int bottom)
{
    if (column < 0 || column >= m_width)
        return;
    top = std::max(top, 0);
    bottom = std::min(bottom, m_height - 1);
    if (top > bottom)
        return;
    uint16_t *cell = m_counts.data() + size_t(top) * size_t(m_width) + size_t(column);
    for (int y = top; y <= bottom; ++y, cell += m_width) {
        if (*cell < countLimit)
            ++*cell;
        if (*cell > m_maximum) {
            m_maximum = *cell;
            m_full = m_maximum == countLimit;
        }
    }
    int &dirtyTop = m_dirtyTop[size_t(column)];
    int &dirtyBottom = m_dirtyBottom[size_t(column)];
    dirtyTop = std::min(dirtyTop, top);
    dirtyBottom = std::max(dirtyBottom, bottom);
    if (m_dirtyRight < m_dirtyLeft) {
        m_dirtyLeft = m_dirtyRight = column;
    } else {
        m_dirtyLeft = std::min(m_dirtyLeft, column);
        m_dirtyRight = std::max(m_dirtyRight, column);
    }
    if (m_right < m_left) {
        m_left = m_right = column;
        m_top = top;
        m_bottom = bottom;
        return;
    }
    m_left = std::min(m_left, column);
    m_right = std::max(m_right, column);
    m_top = std::min(m_top, top);
    m_bottom = std::max(m_bottom, bottom);
}

void HitImage::halve()
{
    for (uint16_t &count : m_counts)
        count = uint16_t((unsigned(count) + 1u) >> 1);
    m_maximum = uint16_t((unsigned(m_maximum) + 1u) >> 1);
    m_traces = (m_traces + 1) / 2;
    m_full = false;
    m_allDirty = true;
}

void HitImage::finishTrace()
{
    ++m_traces;
    // A pixel gains at most one a trace, so halving after the trace that
    // reached the top loses nothing.
    if (m_full)
        halve();
}

void lineColumnExtents(const QPointF *points, int n, int firstColumn, int columns, double *low, double *high)
{
    auto extend = [&](int column, double y) {
        column -= firstColumn;
        if (column < 0 || column >= columns)
            return;
        low[column] = std::min(low[column], y);
        high[column] = std::max(high[column], y);
    };
    const double left = firstColumn - 1.0;
    const double right = double(firstColumn) + columns + 1.0;
    // A segment across column edges: each column takes the line's y where
    // it enters and leaves it.
    auto across = [&](QPointF a, QPointF b) {
        if (b.x() < a.x())
            std::swap(a, b);
        const double x0 = a.x();
        const double x1 = b.x();
        // A column is [c, c + 1): a line ending on a column's edge leaves that column alone.
        const int c0 = int(std::clamp(std::floor(x0), left, right));
        const int c1 = std::max(c0, int(std::clamp(std::ceil(x1), left, right)) - 1);
        if (x1 == x0) {
            extend(c0, a.y());
            extend(c0, b.y());
            return;
        }
        const double slope = (b.y() - a.y()) / (x1 - x0);
        for (int c = std::max(c0, firstColumn); c <= std::min(c1, firstColumn + columns - 1); ++c) {
            const double xa = std::max(x0, double(c));
            const double xb = std::min(x1, double(c + 1));
            extend(c, a.y() + (xa - x0) * slope);
            extend(c, a.y() + (xb - x0) * slope);
        }
    };
    QPointF previous;
    double previousColumn = 0;
    bool joined = false;
    for (int i = 0; i < n; ++i) {
        const QPointF p = points[i];
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
            joined = false;
            continue;
        }
        const double column = std::floor(p.x());
        if (!joined) {
            // A line's first point, or a lone one.
            if (i + 1 >= n || !std::isfinite(points[i + 1].x()) || !std::isfinite(points[i + 1].y()))
                extend(int(std::clamp(column, left, right)), p.y());
        } else if (column == previousColumn) {
            // A dense trace: most segments lie within one column.
            const int c = int(std::clamp(column, left, right));
            extend(c, previous.y());
            extend(c, p.y());
        } else {
            across(previous, p);
        }
        previous = p;
        previousColumn = column;
        joined = true;
    }
}

void HitImage::addLine(const QPointF *points, int n)
{
    if (m_width == 0 || !points || n <= 0)
        return;
    lineColumnExtents(points, n, 0, m_width, m_low.data(), m_high.data());
    for (int c = 0; c < m_width; ++c) {
        double &low = m_low[size_t(c)];
        double &high = m_high[size_t(c)];
        if (low > high)
            continue;
        // Rows are [r, r + 1) as well.
        const int top = int(std::clamp(std::floor(low), -1.0, double(m_height)));
        const int bottom = std::max(top, int(std::clamp(std::ceil(high), 0.0, double(m_height))) - 1);
        span(c, top, bottom);
        low = none;
        high = -none;
    }
    finishTrace();
}

void HitImage::addDots(const QPointF *points, int n, int size)
{
    if (m_width == 0 || !points || n <= 0)
        return;
    const int side = std::max(1, size);
    const int half = (side - 1) / 2;
    m_runs.clear();
    for (int i = 0; i < n; ++i) {
        const QPointF &p = points[i];
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            continue;
        const double fx = std::floor(p.x());
        const double fy = std::floor(p.y());
        if (fx < -side || fx > m_width + side || fy < -side || fy > m_height + side)
            continue;
        const int left = int(fx) - half;
        const int top = int(fy) - half;
        for (int c = std::max(left, 0); c < std::min(left + side, m_width); ++c)
            m_runs.push_back({c, top, top + side - 1});
    }
    // Dots of one trace that overlap count once.
    std::sort(m_runs.begin(), m_runs.end(),
              [](const Run &a, const Run &b) { return a.column != b.column ? a.column < b.column : a.top < b.top; });
    for (size_t i = 0; i < m_runs.size();) {
        Run run = m_runs[i++];
        while (i < m_runs.size() && m_runs[i].column == run.column && m_runs[i].top <= run.bottom + 1)
            run.bottom = std::max(run.bottom, m_runs[i++].bottom);
        span(run.column, run.top, run.bottom);
    }
    finishTrace();
}

double hitBrightness(int count, int maximum, int intensity)
{
    if (count <= 0 || maximum <= 0)
        return 0.0;
    const double fraction = std::min(1.0, double(count) / double(maximum));
    const double gamma = 1.0 / (1.0 + 0.5 * std::clamp(intensity, 0, 10));
    const double floor = 0.2;
    return floor + (1.0 - floor) * std::pow(fraction, gamma);
}

int gradingMaximum(int maximum)
{
    int shift = 0;
    while ((maximum >> shift) >= 128)
        ++shift;
    return (maximum >> shift) << shift;
}

const QRgb *HitComposer::Grading::shadeOfRow(int y) const
{
    return shades.data() + size_t(rowShade[size_t(y)]) * size_t(gradingSteps + 1);
}

void HitComposer::release()
{
    m_picture = QImage();
    m_painted = QRect();
    std::vector<Grading>().swap(m_gradings);
    m_valid = false;
}

size_t HitComposer::memoryBytes() const
{
    size_t bytes = size_t(m_picture.sizeInBytes());
    for (const Grading &g : m_gradings)
        bytes += (g.colours.capacity() + g.shades.capacity()) * sizeof(QRgb) + g.rowShade.capacity();
    return bytes;
}

// Sets the gradings up for the layers; true when the whole picture must be painted again.
bool HitComposer::prepare(const std::vector<HitLayer> &layers, int intensity)
{
    const int width = layers.front().image->width();
    const int height = layers.front().image->height();
    bool everything = !m_valid || intensity != m_intensity || layers.size() != m_gradings.size();
    if (m_picture.width() != std::max(1, width) || m_picture.height() != std::max(1, height) ||
        m_picture.format() != QImage::Format_ARGB32_Premultiplied) {
        m_picture = QImage(std::max(1, width), std::max(1, height), QImage::Format_ARGB32_Premultiplied);
        m_painted = m_picture.rect();
        everything = true;
    }
    m_intensity = intensity;
    m_gradings.resize(layers.size());
    std::vector<QRgb> colours;
    std::vector<uint8_t> rows;
    std::vector<unsigned> alpha;
    for (size_t i = 0; i < layers.size(); ++i) {
        const HitLayer &layer = layers[i];
        Grading &g = m_gradings[i];
        const HitImage *image =
            layer.image && layer.image->width() == width && layer.image->height() == height ? layer.image : nullptr;
        // Each row's colour, as an index into the layer's few distinct colours.
        colours.clear();
        rows.assign(size_t(std::max(0, height)), 0);
        for (int y = 0; y < height; ++y) {
            const QRgb colour = size_t(y) < layer.rowColours.size() ? layer.rowColours[size_t(y)] : layer.colour.rgb();
            auto found = std::find(colours.begin(), colours.end(), colour);
            if (found == colours.end())
                found = colours.insert(colours.end(), colour);
            rows[size_t(y)] = uint8_t(std::min<ptrdiff_t>(255, found - colours.begin()));
        }
        const int maximum = image ? gradingMaximum(image->maximum()) : 0;
        if (image && image->allDirty())
            everything = true;
        if (!everything && image == g.image && maximum == g.maximum && colours == g.colours && rows == g.rowShade)
            continue;
        everything = true;
        g.image = image;
        g.maximum = maximum;
        g.colours = colours;
        g.rowShade = rows;
        g.shades.assign(colours.size() * size_t(gradingSteps + 1), 0);
        if (maximum == 0)
            continue;
        alpha.resize(gradingSteps + 1);
        for (int step = 0; step <= gradingSteps; ++step) {
            const int count = std::max(1, int(std::lround(double(step) * maximum / gradingSteps)));
            alpha[size_t(step)] = unsigned(std::lround(255.0 * hitBrightness(count, maximum, intensity)));
        }
        g.scale = (uint64_t(gradingSteps) << 16) / uint64_t(maximum);
        for (size_t k = 0; k < colours.size(); ++k) {
            const QRgb colour = colours[k];
            QRgb *shade = g.shades.data() + k * size_t(gradingSteps + 1);
            for (int step = 0; step <= gradingSteps; ++step) {
                const unsigned a = alpha[size_t(step)];
                shade[step] = qRgba(qRed(colour) * a / 255, qGreen(colour) * a / 255, qBlue(colour) * a / 255, a);
            }
        }
    }
    return everything;
}

namespace {
// Premultiplied "over": what lies below shows through the source's remaining opacity.
inline QRgb over(QRgb source, QRgb below)
{
    const unsigned keep = 255 - qAlpha(source);
    if (below == 0 || keep == 0)
        return source;
    return source + qRgba(qRed(below) * keep / 255, qGreen(below) * keep / 255, qBlue(below) * keep / 255,
                          qAlpha(below) * keep / 255);
}
} // namespace

void HitComposer::composeAll()
{
    QRect bounds;
    for (const Grading &g : m_gradings)
        if (g.image)
            bounds |= g.image->bounds();
    const QRect clearing = (m_painted | bounds) & m_picture.rect();
    for (int y = clearing.top(); y <= clearing.bottom(); ++y)
        std::fill_n(reinterpret_cast<QRgb *>(m_picture.scanLine(y)) + clearing.left(), clearing.width(), QRgb(0));
    m_painted = bounds;
    for (const Grading &g : m_gradings) {
        if (!g.image || g.maximum == 0)
            continue;
        const QRect box = g.image->bounds();
        for (int y = box.top(); y <= box.bottom(); ++y) {
            const QRgb *shade = g.shadeOfRow(y);
            const uint16_t *counts = g.image->row(y);
            QRgb *line = reinterpret_cast<QRgb *>(m_picture.scanLine(y));
            for (int x = box.left(); x <= box.right(); ++x) {
                const unsigned count = counts[x];
                if (count != 0)
                    line[x] = over(shade[std::min<uint64_t>(gradingSteps, (count * g.scale) >> 16)], line[x]);
            }
        }
    }
}

void HitComposer::compose(const std::vector<HitLayer> &layers, int intensity)
{
    if (layers.empty() || !layers.front().image)
        return;
    if (prepare(layers, intensity)) {
        composeAll();
        m_valid = true;
        return;
    }
    // Only the pixels the new traces changed, each painted afresh from all
    // layers, walking down the dirty rows of each column.
    struct Walk {
        const uint16_t *counts;
        const QRgb *shades;
        const uint8_t *rowShade;
        uint64_t scale;
    };
    std::vector<Walk> walks;
    walks.reserve(m_gradings.size());
    for (const Grading &g : m_gradings)
        if (g.image && g.maximum != 0)
            walks.push_back({g.image->row(0), g.shades.data(), g.rowShade.data(), g.scale});
    QRgb *bits = reinterpret_cast<QRgb *>(m_picture.bits());
    const size_t stride = size_t(m_picture.bytesPerLine()) / sizeof(QRgb);
    const size_t width = size_t(m_picture.width());
    constexpr size_t grades = gradingSteps + 1;
    for (const Grading &changed : m_gradings) {
        if (!changed.image)
            continue;
        m_painted |= changed.image->bounds();
        for (int x = changed.image->dirtyLeft(); x <= changed.image->dirtyRight(); ++x) {
            for (int y = changed.image->dirtyTop(x); y <= changed.image->dirtyBottom(x); ++y) {
                const size_t cell = size_t(y) * width + size_t(x);
                QRgb value = 0;
                for (const Walk &w : walks) {
                    const unsigned count = w.counts[cell];
                    if (count != 0)
                        value = over(w.shades[size_t(w.rowShade[y]) * grades +
                                              size_t(std::min<uint64_t>(gradingSteps, (count * w.scale) >> 16))],
                                     value);
                }
                bits[size_t(y) * stride + size_t(x)] = value;
            }
        }
    }
}
