// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/decode/decoderunner.h"

#include <QRect>
#include <QVector>
#include <qcustomplot.h>

class ScopePlot;
struct ScopeState;

// The decoders' annotations on the plot, under the logic traces: one row per
// annotation row of each decoder (bit rows on request) that has shown something since the decoders
// were set (and one for a decoder that fails, with its error), each
// annotation a box over the samples it spans with the longest of its texts
// that fits (shorter ones as the box narrows), coloured by its class. The
// boxes follow zoom and scroll, as the traces do; hovering over one shows
// its full text.
class AnnotationRows : public QCPLayerable
{
    Q_OBJECT
public:
    AnnotationRows(ScopePlot *plot, const ScopeState *state);

    void setDecoders(const QVector<Decode::DecoderSetting> &settings);
    void setFrame(const Decode::DecodedFrame &frame);
    // Rows of single bits ("bits", "rx-data-bits"…) are left out unless on.
    void setBitRows(bool on);

    struct Row {
        int decoder = 0;
        int row = 0; // -1: the decoder's error
        QString label;
    };
    const QVector<Row> &rows() const { return shownRows; }
    // The full text of what is drawn at `pixel`, empty where nothing is.
    QString textAt(const QPoint &pixel) const;
    // The rectangle of row `k` on the plot, in pixels.
    QRect rowRect(int k) const;
    // The text drawn in a box `width` pixels wide: the longest that fits.
    static QString fittingText(const QStringList &texts, const QFontMetrics &metrics, int width);
    static QColor classColour(int decoder, int annotationClass);

protected:
    void applyDefaultAntialiasingHint(QCPPainter *painter) const override;
    void draw(QCPPainter *painter) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutRows();
    QRect boxOf(const Decode::Annotation &a, const QRect &row) const;

    ScopePlot *scopePlot;
    const ScopeState *state;
    QVector<Decode::DecoderSetting> decoders;
    Decode::DecodedFrame frame;
    QVector<QSet<int>> seenRows; // per decoder
    QVector<Row> shownRows;
    QHash<qint64, int> rowIndex;
    bool bitRows = false;
    bool repaintDue = false; // decoder << 16 | row → shown row
};
