// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QWidget>

// A box around one widget whose text changes many times a second, a read-out
// number say. Every new text of a label asks the layouts above it to be
// worked out again, up to the tab widget, which then repaints its whole page:
// at five readings a second on a dozen read-outs, the whole dock. The cell
// answers those requests itself. It keeps the largest size its widget has
// asked for and passes a request on only when the widget asks for more, so a
// number that changes in the same room changes nothing around it (and does
// not jump sideways when it gets shorter).
class SteadyCell : public QWidget
{
public:
    // Takes `child` into the cell; the cell takes its place in a layout.
    explicit SteadyCell(QWidget *child, QWidget *parent = nullptr);
    // Puts a cell around `widget` where it stands in its parent's layout (a
    // button of a form whose text follows a state, say).
    static SteadyCell *inPlaceOf(QWidget *widget);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The sizes kept start again from the widget's own (after a change of font).
    void forgetSizes();

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Empty {};
    SteadyCell(Empty, QWidget *parent);
    void adopt(QWidget *widget);
    // Takes in the widget's sizes now; true when it asked for more room.
    bool takeSizes() const;

    QWidget *child = nullptr;
    mutable QSize hint;
    mutable QSize minimum;
};
