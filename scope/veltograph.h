#pragma once

// A plot graph that draws at the resolution of the screen and thickens the
// accumulated points while persistence is on.
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
// With persistence set, every segment of the line gets two short horizontal
// strokes at its start point (see drawLinePlot()).
//
// Setting adaptive sampling off draws exactly as the library's own graph.

#include <qcustomplot.h>

class VeltoGraph : public QCPGraph
{
    Q_OBJECT

public:
    VeltoGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);

    // The display sets this on every drawn tick from the persistence check box.
    void setPersistence(bool on) { persistenceOn = on; }
    bool persistence() const { return persistenceOn; }

    // What the last draw handed to the painter: points of the line (or of the
    // impulses), persistence strokes, and dots.
    int lastLinePointCount() const { return linePoints; }
    int lastStrokeCount() const { return strokes; }
    int lastScatterCount() const { return scatterPoints; }

    // The stroke unit w in pixels for a plot area this wide: (width + 1) / 220,
    // at least 1 for any visible area, 0 when there is no area to draw in.
    static int strokeUnit(int plotAreaWidth);

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
    void reducedLines(QVector<QPointF> *lines, const QCPDataRange &dataRange) const;
    void reducedImpulses(QVector<QPointF> *lines, QCPGraphDataContainer::const_iterator begin,
                         QCPGraphDataContainer::const_iterator end) const;
    void reducedScatters(QVector<QPointF> *scatters, const QCPDataRange &dataRange,
                         const QCPScatterStyle &style) const;

    // The pixel row of a flat channel-fill graph, or false when it is not flat.
    bool flatFillBase(double *pixelY) const;

    bool persistenceOn = false;
    // Counted in the const drawing functions the library calls.
    mutable int linePoints = 0;
    mutable int strokes = 0;
    mutable int scatterPoints = 0;
};
