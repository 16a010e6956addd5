// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <qcustomplot.h>

#include <QPixmap>

// A text on the plot (a cursor read-out, the trigger level, a badge) that is
// laid out and drawn once into a small picture, which every repaint then
// copies: the library lays the text out twice on each repaint, and at the
// screen's pace the read-outs cost more than the traces they describe. The
// picture is drawn again when anything it shows changes. Rotated texts and
// pictures for export are drawn by the library as always.
class PlotLabel : public QCPItemText
{
public:
    explicit PlotLabel(QCustomPlot *plot);

    // How many times the picture has been drawn (for the tests).
    int pictureCount() const { return pictures; }

protected:
    void draw(QCPPainter *painter) override;

private:
    struct Look {
        QString text;
        QFont font;
        QColor colour;
        QPen pen;
        QBrush brush;
        QMargins padding;
        Qt::Alignment positionAlignment;
        Qt::Alignment textAlignment;
        QPainter::RenderHints hints;
        double ratio = 0;
        bool operator==(const Look &o) const
        {
            return text == o.text && font == o.font && colour == o.colour && pen == o.pen && brush == o.brush &&
                   padding == o.padding && positionAlignment == o.positionAlignment &&
                   textAlignment == o.textAlignment && hints == o.hints && ratio == o.ratio;
        }
    };
    Look lookNow(const QCPPainter *painter) const;
    void drawPicture(const Look &look);

    Look drawn;
    QPixmap picture;
    QRect pictureRect; // where the picture lies around the label's position
    int pictures = 0;
};
