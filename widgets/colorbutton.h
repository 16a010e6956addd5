// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QColor>
#include <QPushButton>

// A push button showing a swatch of its current colour. Choosing a colour is
// left to the owner, who calls setCurrentColor.
class ColorButton : public QPushButton
{
    Q_OBJECT
public:
    explicit ColorButton(QWidget *parent = nullptr);

    QColor currentColor() const { return color; }
    void setCurrentColor(const QColor &colour);

    // The swatch: the margin in from every side, one more pixel at right and bottom.
    QRect swatchRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor color;
    int margin = 6;
};
