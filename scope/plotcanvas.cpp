// SPDX-License-Identifier: GPL-3.0-only
#include "scope/plotcanvas.h"

// The canvas's bottom buffer. With an opaque background it is never shown
// (the canvas paints straight to the window) and holds one pixel; without
// one it is the library's own.
class PlotCanvas::OpaqueBuffer : public QCPPaintBufferPixmap
{
public:
    using QCPPaintBufferPixmap::QCPPaintBufferPixmap;

    QColor background; // invalid: the library's way

    void clear(const QColor &colour) override
    {
        if (!background.isValid())
            QCPPaintBufferPixmap::clear(colour);
    }
    void reallocateBuffer() override
    {
        if (!background.isValid())
            return QCPPaintBufferPixmap::reallocateBuffer();
        mBuffer = QPixmap(1, 1);
        mBuffer.fill(background);
    }
    void setBackground(const QColor &colour)
    {
        background = colour;
        reallocateBuffer();
    }
};

namespace {
// A layer draws its layerables only for the plot it belongs to; the
// canvas, a plot itself, reaches that drawing through a member pointer.
struct LayerDrawing : QCPLayer {
    using Draw = void (QCPLayer::*)(QCPPainter *);
    static Draw member() { return &LayerDrawing::draw; }
};
} // namespace

PlotCanvas::PlotCanvas(QWidget *parent) : QCustomPlot(parent)
{
    // The library makes its bottom buffer on the first replot if none is
    // there; this one is made first and used in its place.
    QSharedPointer<QCPAbstractPaintBuffer> buffer(new OpaqueBuffer(viewport().size(), bufferDevicePixelRatio()));
    mPaintBuffers.clear();
    mPaintBuffers.append(buffer);
    bottom = buffer;
    connect(this, &QCustomPlot::beforeReplot, this, [this] { hideLayers(paintsOpaque()); });
    connect(this, &QCustomPlot::afterReplot, this, [this] { hideLayers(false); });
}

PlotCanvas::OpaqueBuffer *PlotCanvas::installedBuffer() const
{
    // The library drops its buffers when it switches to OpenGL and back.
    const QSharedPointer<QCPAbstractPaintBuffer> buffer = bottom.toStrongRef();
    if (!buffer || mPaintBuffers.isEmpty() || mPaintBuffers.first() != buffer)
        return nullptr;
    return static_cast<OpaqueBuffer *>(buffer.data());
}

void PlotCanvas::setOpaqueBackground(const QColor &colour)
{
    if (OpaqueBuffer *buffer = installedBuffer())
        buffer->setBackground(colour.isValid() && colour.alpha() == 255 ? colour : QColor());
}

bool PlotCanvas::paintsOpaque() const
{
    const OpaqueBuffer *buffer = installedBuffer();
    return buffer && buffer->background.isValid();
}

void PlotCanvas::hideLayers(bool hide)
{
    if (hide == layersHidden)
        return;
    if (hide) {
        layersShown.clear();
        for (QCPLayer *l : qAsConst(mLayers)) {
            layersShown.append(l->visible());
            l->setVisible(false);
        }
    } else {
        for (int i = 0; i < mLayers.size() && i < layersShown.size(); ++i)
            mLayers[i]->setVisible(layersShown[i]);
    }
    layersHidden = hide;
}

// The grid layer holds the axes' grids: where each of their lines falls and
// with which pen is all that can change the underlay.
PlotCanvas::UnderlayKey PlotCanvas::underlayKey(const QSize &size, const QColor &background) const
{
    UnderlayKey key;
    key.size = size;
    key.background = background;
    const QCPLayer *gridLayer = layer(QStringLiteral("grid"));
    key.lines.append(gridLayer && gridLayer->visible() ? 1 : 0);
    QCPAxisRect *rect = xAxis ? xAxis->axisRect() : nullptr;
    if (!rect)
        return key;
    key.axisRect = rect->rect();
    for (QCPAxis *axis : rect->axes()) {
        const QCPGrid *grid = axis->grid();
        const bool shown = grid->realVisibility();
        key.lines.append(shown ? axis->tickVector().size() : -1);
        key.pens << grid->pen() << grid->zeroLinePen();
        if (!shown)
            continue;
        for (double tick : axis->tickVector())
            key.lines.append(axis->coordToPixel(tick));
        // Sub-grid lines fall between the ticks, as many as the axis's
        // ticker puts there, over the range.
        if (grid->subGridVisible()) {
            key.pens << grid->subGridPen();
            key.lines << double(quintptr(axis->ticker().data())) << axis->range().lower << axis->range().upper;
        }
    }
    return key;
}

const QPixmap &PlotCanvas::underlayFor(const QSize &size, double ratio, const QColor &background)
{
    const UnderlayKey key = underlayKey(size, background);
    if (key == drawnKey && !underlay.isNull())
        return underlay;
    drawnKey = key;
    ++underlayCount;
    underlay = QPixmap(size);
    underlay.setDevicePixelRatio(ratio);
    underlay.fill(background);
    // The library's own drawing of the grid layer, as a replot does it.
    if (QCPLayer *grid = layer(QStringLiteral("grid"))) {
        QCPPainter painter(&underlay);
        painter.setRenderHint(QPainter::Antialiasing);
        (grid->*LayerDrawing::member())(&painter);
    }
    return underlay;
}

void PlotCanvas::paintEvent(QPaintEvent *event)
{
    if (!paintsOpaque()) {
        QCustomPlot::paintEvent(event);
        return;
    }
    QCPPainter painter(this);
    if (!painter.isActive())
        return;
    painter.setRenderHint(QPainter::Antialiasing); // as the library's buffers start
    // A repaint asked for at once by a replot comes while its layers are hidden.
    const bool hidden = layersHidden;
    hideLayers(false);
    const double ratio = bufferDevicePixelRatio();
    painter.drawPixmap(0, 0, underlayFor(viewport().size() * ratio, ratio, installedBuffer()->background));
    const QCPLayer *grid = layer(QStringLiteral("grid"));
    for (QCPLayer *l : qAsConst(mLayers)) {
        if (l != grid)
            (l->*LayerDrawing::member())(&painter);
    }
    hideLayers(hidden);
}
