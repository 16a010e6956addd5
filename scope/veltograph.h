// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// A plot graph that draws at the resolution of the screen.
//
// The graphs keep their full data (a frame holds up to 3840 samples per
// trace, and persistence piles many frames onto one graph); what is drawn is
// reduced to what the pixel columns of the plot can show. For every pixel
// column crossed by the line the lowest and the highest point are kept, so a
// one-sample spike stays visible, and the number of points handed to the
// painter is about twice the plot width whatever the size of the buffer.
// Impulses keep the one line per column that covers all of that column's
// impulses; dots keep one dot per occupied pixel.
//
// A line denser than the pixel columns it covers is drawn as one vertical
// span per column (see drawDenseSpans()).
//
// Setting adaptive sampling off draws exactly as the library's own graph.

#include <qcustomplot.h>

class VeltoGraph : public QCPGraph
{
    Q_OBJECT

public:
    VeltoGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);

    // What the last draw handed to the painter: points of the line (or of the
    // impulses), the column spans of dense lines, and dots.
    int lastLinePointCount() const { return linePoints; }
    int lastSpanCount() const { return spans; }
    int lastScatterCount() const { return scatterPoints; }

protected:
    void draw(QCPPainter *painter) override;
    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override;
    void drawImpulsePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override;
    // A step trace filled down to a flat baseline (the logic bits) is filled
    // with one rectangle per level run instead of one polygon of every step,
    // which the painter rasterises many times slower.
    void drawFill(QCPPainter *painter, QVector<QPointF> *lines) const override;
    void drawScatterPlot(QCPPainter *painter, const QVector<QPointF> &scatters,
                         const QCPScatterStyle &style) const override;

private:
    bool drawDenseSpans(QCPPainter *painter, const QVector<QPointF> &lines) const;
    bool drawSegments(QCPPainter *painter, const QVector<QPointF> &lines) const;
    void reducedLines(QVector<QPointF> *lines, const QCPDataRange &dataRange) const;
    void reducedImpulses(QVector<QPointF> *lines, QCPGraphDataContainer::const_iterator begin,
                         QCPGraphDataContainer::const_iterator end) const;
    void reducedScatters(QVector<QPointF> *scatters, const QCPDataRange &dataRange,
                         const QCPScatterStyle &style) const;

    // The pixel row of a flat channel-fill graph, or false when it is not flat.
    bool flatFillBase(double *pixelY) const;

    // Counted in the const drawing functions the library calls.
    mutable int linePoints = 0;
    mutable int spans = 0;
    mutable int scatterPoints = 0;
};
