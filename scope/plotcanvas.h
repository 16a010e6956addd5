// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The plot widget of the scope.
//
// The library draws every replot into a buffer cleared to transparent, and
// its repaint fills the whole widget with the background before blending
// that buffer over it: at the screen's pace, on a plot of a million pixels,
// those passes were most of the program's time. Given an opaque background
// colour, the canvas clears its bottom buffer to that colour instead. The
// buffer then stays opaque, and a repaint copies it to the screen and does
// nothing else. Without one (a theme whose background lets what is under it
// show), the library's own way is kept.
//
// The grid is the other large part of a replot that rarely changes: dotted
// lines across the whole plot, stroked dash by dash. With an opaque
// background the canvas draws the background and the grid once into an
// underlay, and clears the bottom buffer to a copy of it; a replot then
// leaves the grid's layer out. The underlay is drawn again only when a grid
// line would move or change (an axis range, the plot's size, the grid's
// pens). Pictures made for export draw the grid as usual.

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
    // The underlay for a buffer of `size`, drawn again when its key changed.
    const QPixmap &underlayFor(const QSize &size, double ratio, const QColor &background);
    void leaveGridOut(bool out);

    QPixmap underlay;
    UnderlayKey drawnKey;
    int underlayCount = 0;
    bool gridLeftOut = false;
    bool gridShown = true; // the grid layer's own visibility while it is left out
};
