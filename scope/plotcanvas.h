// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The plot widget of the scope.
//
// The library draws every replot into a buffer cleared to transparent, and
// its repaint fills the whole widget with the background, blends that buffer
// over it and hands the result to the window's own buffer: three passes over
// a million pixels at the screen's pace, and the dotted grid stroked dash by
// dash each time, were most of the program's time. Given an opaque
// background colour, the canvas does it in one pass instead:
//
// - the background and the grid are drawn once into an underlay, drawn
//   again only when a grid line would move or change (an axis range, the
//   plot's size, the grid's pens or the colour);
// - a replot only lays the plot out and asks for a repaint: its layers are
//   left out of the library's buffer;
// - the repaint copies the underlay to the window and draws every other
//   layer straight over it.
//
// Without an opaque colour (a theme whose background lets what is under it
// show), the library's own way is kept. Pictures made for export
// (toPixmap, toPainter) are drawn by the library as always.

#include <qcustomplot.h>

class PlotCanvas : public QCustomPlot
{
    Q_OBJECT

public:
    explicit PlotCanvas(QWidget *parent = nullptr);

    // An invalid or not fully opaque colour gives the library's own way back.
    void setOpaqueBackground(const QColor &colour);
    bool paintsOpaque() const;
    // How often the underlay was drawn (each time a grid line moved).
    int underlayDraws() const { return underlayCount; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    class OpaqueBuffer;
    // What decides the underlay's pixels.
    struct UnderlayKey {
        QSize size;
        QRect axisRect;
        QVector<double> lines; // every grid line's pixel, axis by axis
        QVector<QPen> pens;
        QColor background;
        bool operator==(const UnderlayKey &o) const
        {
            return size == o.size && axisRect == o.axisRect && lines == o.lines && pens == o.pens &&
                   background == o.background;
        }
    };
    QWeakPointer<QCPAbstractPaintBuffer> bottom; // the buffer the canvas installed
    OpaqueBuffer *installedBuffer() const;
    UnderlayKey underlayKey(const QSize &size, const QColor &background) const;
    // The underlay for a picture of `size` pixels, drawn again when its key changed.
    const QPixmap &underlayFor(const QSize &size, double ratio, const QColor &background);
    // While a replot runs, its layers are hidden from it; their own
    // visibility is kept here.
    void hideLayers(bool hide);

    QPixmap underlay;
    UnderlayKey drawnKey;
    int underlayCount = 0;
    bool layersHidden = false;
    QVector<bool> layersShown;
};
