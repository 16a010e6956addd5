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

#include <qcustomplot.h>

class PlotCanvas : public QCustomPlot
{
    Q_OBJECT

public:
    explicit PlotCanvas(QWidget *parent = nullptr);

    // An invalid or not fully opaque colour gives the library's own way back.
    void setOpaqueBackground(const QColor &colour);
    bool paintsOpaque() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    class OpaqueBuffer;
    QWeakPointer<QCPAbstractPaintBuffer> bottom; // the buffer the canvas installed
    OpaqueBuffer *installedBuffer() const;
};
