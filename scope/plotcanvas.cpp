// SPDX-License-Identifier: GPL-3.0-only
#include "scope/plotcanvas.h"

// A pixmap buffer cleared to one opaque colour: a pixmap never filled with
// a transparent colour keeps its opaque pixel format, and copying that to
// the screen needs no blending. While a replot leaves the grid out, it is
// cleared to the canvas's underlay instead, which holds the grid.
class PlotCanvas::OpaqueBuffer : public QCPPaintBufferPixmap
{
public:
    OpaqueBuffer(PlotCanvas *canvas, const QSize &size, double ratio)
        : QCPPaintBufferPixmap(size, ratio), canvas(canvas)
    {
    }

    PlotCanvas *canvas;
    QColor background; // invalid: cleared as asked

    void clear(const QColor &colour) override
    {
        if (!background.isValid())
            QCPPaintBufferPixmap::clear(colour);
        else if (canvas->gridLeftOut)
            mBuffer = canvas->underlayFor(mBuffer.size(), mDevicePixelRatio, background); // copied as painting starts
        else
            mBuffer.fill(background);
    }
    // A pixmap once filled with a transparent colour has taken a format with
    // an alpha channel and keeps it; a new one starts opaque again.
    void renewIfTransparent()
    {
        if (!mBuffer.hasAlphaChannel())
            return;
        reallocateBuffer();
        mBuffer.fill(background);
    }
    bool opaque() const { return background.isValid() && !mBuffer.hasAlphaChannel(); }
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
    QSharedPointer<QCPAbstractPaintBuffer> buffer(new OpaqueBuffer(this, viewport().size(), bufferDevicePixelRatio()));
    mPaintBuffers.clear();
    mPaintBuffers.append(buffer);
    bottom = buffer;
    // Only a replot leaves the grid to the underlay; a picture for export
    // (toPixmap, toPainter) draws every layer.
    connect(this, &QCustomPlot::beforeReplot, this, [this] { leaveGridOut(paintsOpaque()); });
    connect(this, &QCustomPlot::afterReplot, this, [this] { leaveGridOut(false); });
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
    OpaqueBuffer *buffer = installedBuffer();
    if (!buffer)
        return;
    buffer->background = colour.isValid() && colour.alpha() == 255 ? colour : QColor();
    if (buffer->background.isValid())
        buffer->renewIfTransparent();
}

bool PlotCanvas::paintsOpaque() const
{
    const OpaqueBuffer *buffer = installedBuffer();
    return buffer && buffer->opaque();
}

void PlotCanvas::leaveGridOut(bool out)
{
    QCPLayer *grid = layer(QStringLiteral("grid"));
    if (!grid || out == gridLeftOut)
        return;
    if (out) {
        gridShown = grid->visible();
        grid->setVisible(false);
    } else {
        grid->setVisible(gridShown);
    }
    gridLeftOut = out;
}

// The grid layer holds the axes' grids: where each of their lines falls and
// with which pen is all that can change the underlay.
PlotCanvas::UnderlayKey PlotCanvas::underlayKey(const QSize &size, const QColor &background) const
{
    UnderlayKey key;
    key.size = size;
    key.background = background;
    key.lines.append(gridShown ? 1 : 0);
    QCPAxisRect *rect = xAxis ? xAxis->axisRect() : nullptr;
    if (!rect)
        return key;
    key.axisRect = rect->rect();
    for (QCPAxis *axis : rect->axes()) {
        const QCPGrid *grid = axis->grid();
        // (The grid layer itself is left out while a replot asks.)
        const bool shown = grid->visible() && axis->realVisibility();
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
    QCPLayer *grid = layer(QStringLiteral("grid"));
    if (!grid)
        return underlay;
    const bool visible = grid->visible();
    grid->setVisible(gridShown);
    {
        QCPPainter painter(&underlay);
        painter.setRenderHint(QPainter::Antialiasing);
        (grid->*LayerDrawing::member())(&painter);
    }
    grid->setVisible(visible);
    return underlay;
}

void PlotCanvas::paintEvent(QPaintEvent *event)
{
    if (!paintsOpaque()) {
        QCustomPlot::paintEvent(event);
        return;
    }
    // The bottom buffer holds the background already.
    QCPPainter painter(this);
    if (!painter.isActive())
        return;
    for (const QSharedPointer<QCPAbstractPaintBuffer> &buffer : qAsConst(mPaintBuffers))
        buffer->draw(&painter);
}
