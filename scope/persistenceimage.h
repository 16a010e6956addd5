// SPDX-License-Identifier: GPL-3.0-only
#pragma once
// The persistence picture of the plot: one hit image per channel (CH1, CH2
// and the logic group) at the pixel size of the plot area, drawn under the
// live traces in each channel's colour, brighter where the traces pass more
// often. Its memory is held only while persistence is on and is fixed by
// the plot's size; a frame costs what its traces cover.
//
// The images count pixels, so they start again whenever the plot area or
// an axis range changes: a count made at one scale means nothing at another.

#include "core/scope/hitimage.h"

#include <QImage>
#include <QVector>

#include <qcustomplot.h>

class PersistenceImage : public QCPLayerable
{
    Q_OBJECT
public:
    enum Channel { Ch1, Ch2, Logic, Channels };

    explicit PersistenceImage(QCustomPlot *plot, const QString &layer);

    // Off frees the images.
    void setActive(bool on);
    bool active() const { return isActive; }
    void clear(int channel);
    // The colours come from these graphs' pens at drawing time; the logic
    // bits are told apart by the rows of their bands.
    void setColourSources(QCPGraph *ch1, QCPGraph *ch2, QCPGraph *const bits[8]);
    void setLogicLayout(int position, int size);
    void setIntensity(int value);

    // Adds one trace in plot coordinates; nothing while off.
    void addTrace(int channel, const QVector<double> &keys, const QVector<double> &values, bool dots, bool steps);

    const HitImage &image(int channel) const { return images[channel]; }
    size_t memoryBytes() const;

protected:
    void applyDefaultAntialiasingHint(QCPPainter *painter) const override;
    void draw(QCPPainter *painter) override;
    QRect clipRect() const override;

private:
    struct Geometry {
        QRect area;
        QCPRange keys, values;
        bool operator==(const Geometry &o) const { return area == o.area && keys == o.keys && values == o.values; }
    };
    Geometry currentGeometry() const;
    bool follow();

    bool isActive = false;
    Geometry geometry;
    HitImage images[Channels];
    HitComposer composer;
    // New traces (or a change of style) wait to be composed.
    bool stale = true;
    int intensity = 5;
    int logicPosition = 0;
    int logicSize = 0;
    QPointer<QCPGraph> colourSources[2];
    QPointer<QCPGraph> bitSources[8];
    QVector<QPointF> pixels;
};
