// SPDX-License-Identifier: GPL-3.0-only
#include "scope/persistenceimage.h"

#include "core/scope/scaletables.h"

#include <algorithm>
#include <cmath>

PersistenceImage::PersistenceImage(QCustomPlot *plot, const QString &layer) : QCPLayerable(plot, layer)
{
    setAntialiased(false);
}

void PersistenceImage::setActive(bool on)
{
    if (on == isActive)
        return;
    isActive = on;
    for (HitImage &image : images)
        image.reset(0, 0);
    composer.release();
    pixels = QVector<QPointF>();
    geometry = Geometry();
    stale = true;
}

void PersistenceImage::clear(int channel)
{
    if (channel < 0 || channel >= Channels || images[channel].isEmpty())
        return;
    images[channel].clear();
    stale = true;
}

void PersistenceImage::setColourSources(QCPGraph *ch1, QCPGraph *ch2, QCPGraph *const bits[8])
{
    colourSources[0] = ch1;
    colourSources[1] = ch2;
    for (int bit = 0; bit < 8; ++bit)
        bitSources[bit] = bits[bit];
    composer.invalidate();
    stale = true;
}

void PersistenceImage::setLogicLayout(int position, int size)
{
    if (position == logicPosition && size == logicSize)
        return;
    logicPosition = position;
    logicSize = size;
    composer.invalidate();
    stale = true;
}

void PersistenceImage::setIntensity(int value)
{
    intensity = value;
    composer.invalidate();
    stale = true;
}

size_t PersistenceImage::memoryBytes() const
{
    size_t bytes = composer.memoryBytes() + size_t(pixels.capacity()) * sizeof(QPointF);
    for (const HitImage &image : images)
        bytes += image.memoryBytes();
    return bytes;
}

PersistenceImage::Geometry PersistenceImage::currentGeometry() const
{
    QCustomPlot *plot = parentPlot();
    Geometry g;
    g.area = plot->axisRect()->rect();
    g.keys = plot->xAxis->range();
    g.values = plot->yAxis->range();
    return g;
}

// Starts the images again when the plot area or the axes changed; false
// while the plot has no area to count in.
bool PersistenceImage::follow()
{
    const Geometry now = currentGeometry();
    if (now.area.width() <= 0 || now.area.height() <= 0)
        return false;
    if (!(now == geometry)) {
        geometry = now;
        for (HitImage &image : images)
            image.reset(now.area.width(), now.area.height());
        stale = true;
    }
    return true;
}

void PersistenceImage::addTrace(int channel, const QVector<double> &keys, const QVector<double> &values, bool dots,
                                bool steps)
{
    if (!isActive || channel < 0 || channel >= Channels || keys.size() != values.size() || keys.isEmpty())
        return;
    if (!follow())
        return;
    // Plot units to pixels of the image: the axes are linear.
    const QCPAxis *x = parentPlot()->xAxis;
    const QCPAxis *y = parentPlot()->yAxis;
    const double x0 = x->coordToPixel(geometry.keys.lower) - geometry.area.left();
    const double xScale = (x->coordToPixel(geometry.keys.upper) - geometry.area.left() - x0) / geometry.keys.size();
    const double y0 = y->coordToPixel(geometry.values.lower) - geometry.area.top();
    const double yScale =
        (y->coordToPixel(geometry.values.upper) - geometry.area.top() - y0) / geometry.values.size();
    auto px = [&](double key) { return x0 + (key - geometry.keys.lower) * xScale; };
    auto py = [&](double value) { return y0 + (value - geometry.values.lower) * yScale; };
    // Only the samples in view, and one beyond each side for the lines that leave it.
    int from = 0;
    int to = keys.size();
    if (keys.constFirst() <= keys.constLast()) {
        from = int(std::lower_bound(keys.cbegin(), keys.cend(), geometry.keys.lower) - keys.cbegin());
        to = int(std::upper_bound(keys.cbegin(), keys.cend(), geometry.keys.upper) - keys.cbegin());
        from = std::max(0, from - 1);
        to = std::min(int(keys.size()), to + 1);
    }
    if (to <= from)
        return;
    const int n = to - from;
    pixels.resize(steps ? 2 * n : n);
    QPointF *out = pixels.data();
    const double *k = keys.constData() + from;
    const double *v = values.constData() + from;
    if (steps) {
        // Step-centre: the level holds to half-way to the next sample.
        int m = 0;
        out[m++] = QPointF(px(k[0]), py(v[0]));
        for (int i = 1; i < n; ++i) {
            const double middle = px((k[i - 1] + k[i]) * 0.5);
            out[m++] = QPointF(middle, py(v[i - 1]));
            out[m++] = QPointF(middle, py(v[i]));
        }
        out[m++] = QPointF(px(k[n - 1]), py(v[n - 1]));
        pixels.resize(m);
    } else {
        for (int i = 0; i < n; ++i)
            out[i] = QPointF(px(k[i]), py(v[i]));
    }
    if (dots)
        images[channel].addDots(pixels.constData(), pixels.size(), 2);
    else
        images[channel].addLine(pixels.constData(), pixels.size());
    stale = true;
}

void PersistenceImage::applyDefaultAntialiasingHint(QCPPainter *painter) const
{
    applyAntialiasingHint(painter, false, QCP::aeOther);
}

QRect PersistenceImage::clipRect() const
{
    return parentPlot()->axisRect()->rect();
}

void PersistenceImage::draw(QCPPainter *painter)
{
    // A picture counted at other axes or another size would be misplaced.
    if (!isActive || !(currentGeometry() == geometry))
        return;
    bool any = false;
    for (const HitImage &image : images)
        any = any || !image.isEmpty();
    if (!any)
        return;
    if (stale) {
        std::vector<HitLayer> layers(Channels);
        for (int ch = 0; ch < 2; ++ch) {
            layers[size_t(ch)].image = &images[ch];
            layers[size_t(ch)].colour = colourSources[ch] ? colourSources[ch]->pen().color() : QColor(Qt::yellow);
        }
        HitLayer &logic = layers[Logic];
        logic.image = &images[Logic];
        const int height = images[Logic].height();
        logic.rowColours.resize(size_t(height));
        const QCPAxis *y = parentPlot()->yAxis;
        // Each pixel row takes the colour of the bit whose band it lies in.
        const double pitch = logicSize + 20.0;
        for (int row = 0; row < height; ++row) {
            const double value = y->pixelToCoord(geometry.area.top() + row + 0.5);
            const int bit = std::clamp(int(std::floor((value - ScaleTables::plotCentre - logicPosition) / pitch)), 0, 7);
            logic.rowColours[size_t(row)] = bitSources[bit] ? bitSources[bit]->pen().color().rgb() : qRgb(0, 200, 0);
        }
        composer.compose(layers, intensity);
        for (HitImage &image : images)
            image.markClean();
        stale = false;
    }
    // Only the part that holds anything is blended onto the plot.
    const QRect painted = composer.painted();
    if (!painted.isEmpty())
        painter->drawImage(geometry.area.topLeft() + painted.topLeft(), composer.picture(), painted);
}
