// SPDX-License-Identifier: GPL-3.0-only
#include "scope/plotlabel.h"

#include <QtMath>

#include <cmath>

PlotLabel::PlotLabel(QCustomPlot *plot) : QCPItemText(plot) {}

PlotLabel::Look PlotLabel::lookNow(const QCPPainter *painter) const
{
    Look look;
    look.text = mText;
    look.font = mainFont();
    look.colour = mainColor();
    look.pen = mainPen();
    look.brush = mainBrush();
    look.padding = mPadding;
    look.positionAlignment = mPositionAlignment;
    look.textAlignment = mTextAlignment;
    look.hints = painter->renderHints();
    look.ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    return look;
}

// The library's own drawing of the text and its box, around the point (0, 0).
void PlotLabel::drawPicture(const Look &look)
{
    const QFontMetrics metrics(look.font);
    QRect textRect = metrics.boundingRect(0, 0, 0, 0, Qt::TextDontClip | look.textAlignment, look.text);
    QRect boxRect = textRect.adjusted(-look.padding.left(), -look.padding.top(), look.padding.right(),
                                      look.padding.bottom());
    const QPointF corner = getTextDrawPoint(QPointF(0, 0), boxRect, look.positionAlignment);
    textRect.moveTopLeft(corner.toPoint() + QPoint(look.padding.left(), look.padding.top()));
    boxRect.moveTopLeft(corner.toPoint());
    const int pad = qCeil(look.pen.widthF()) + 1;
    pictureRect = boxRect.adjusted(-pad, -pad, pad, pad);

    picture = QPixmap(pictureRect.size() * look.ratio);
    picture.setDevicePixelRatio(look.ratio);
    picture.fill(Qt::transparent);
    QCPPainter painter(&picture);
    painter.setRenderHints(look.hints);
    painter.setFont(look.font);
    painter.translate(-pictureRect.topLeft());
    if ((look.brush.style() != Qt::NoBrush && look.brush.color().alpha() != 0) ||
        (look.pen.style() != Qt::NoPen && look.pen.color().alpha() != 0)) {
        painter.setPen(look.pen);
        painter.setBrush(look.brush);
        painter.drawRect(boxRect);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(look.colour));
    painter.drawText(textRect, Qt::TextDontClip | look.textAlignment, look.text);
    drawn = look;
    ++pictures;
}

void PlotLabel::draw(QCPPainter *painter)
{
    if (!qFuzzyIsNull(mRotation) || painter->modes().testFlag(QCPPainter::pmVectorized) ||
        painter->modes().testFlag(QCPPainter::pmNoCaching)) {
        QCPItemText::draw(painter);
        return;
    }
    const Look look = lookNow(painter);
    if (!(look == drawn) || picture.isNull())
        drawPicture(look);
    // A position far off the plot (an axis before its first layout gives
    // one) has no pixel to round to, and nothing of the label would show.
    const QPointF point = position->pixelPosition();
    constexpr double farOff = 1e6;
    if (!(std::abs(point.x()) < farOff && std::abs(point.y()) < farOff))
        return;
    const QRect target = pictureRect.translated(point.toPoint());
    if (painter->transform().mapRect(target).intersects(painter->transform().mapRect(clipRect())))
        painter->drawPixmap(target.topLeft(), picture);
}
