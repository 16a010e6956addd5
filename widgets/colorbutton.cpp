// SPDX-License-Identifier: GPL-3.0-only
#include "widgets/colorbutton.h"

#include <QPainter>
#include <QStyleOption>

ColorButton::ColorButton(QWidget *parent) : QPushButton(parent) {}

void ColorButton::setCurrentColor(const QColor &colour)
{
    color = colour;
    update();
}

QRect ColorButton::swatchRect() const
{
    return QRect(QPoint(margin, margin), QPoint(width() - margin - 2, height() - margin - 2));
}

void ColorButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (style()->inherits("QStyleSheetStyle")) {
        // The widget background through the style, so that the style sheet's rules apply.
        QStyleOption option;
        option.initFrom(this);
        if (isDown())
            option.state |= QStyle::State_Sunken;
        style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    } else {
        // No sheet styles the button: the plain style would draw no face at
        // all and a pale swatch would vanish, so draw an ordinary button face.
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        option.icon = QIcon();
        style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
    }

    QColor swatch = color;
    if (!isEnabled())
        swatch.setAlpha(50);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(swatch);
    painter.setBrush(QBrush(swatch, Qt::SolidPattern));
    painter.drawRect(swatchRect());
}
