// SPDX-License-Identifier: GPL-3.0-only
#include "scope/plotcanvas.h"

// A pixmap buffer cleared to one opaque colour: a pixmap never filled with
// a transparent colour keeps its opaque pixel format, and copying that to
// the screen needs no blending.
class PlotCanvas::OpaqueBuffer : public QCPPaintBufferPixmap
{
public:
    using QCPPaintBufferPixmap::QCPPaintBufferPixmap;

    QColor background; // invalid: cleared as asked

    void clear(const QColor &colour) override { QCPPaintBufferPixmap::clear(background.isValid() ? background : colour); }
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

PlotCanvas::PlotCanvas(QWidget *parent) : QCustomPlot(parent)
{
    // The library makes its bottom buffer on the first replot if none is
    // there; this one is made first and used in its place.
    QSharedPointer<QCPAbstractPaintBuffer> buffer(new OpaqueBuffer(viewport().size(), bufferDevicePixelRatio()));
    mPaintBuffers.clear();
    mPaintBuffers.append(buffer);
    bottom = buffer;
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
