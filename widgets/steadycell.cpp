// SPDX-License-Identifier: GPL-3.0-only
#include "widgets/steadycell.h"

#include <QEvent>
#include <QLayout>

SteadyCell::SteadyCell(QWidget *widget, QWidget *parent) : QWidget(parent)
{
    adopt(widget);
}

SteadyCell::SteadyCell(Empty, QWidget *parent) : QWidget(parent) {}

SteadyCell *SteadyCell::inPlaceOf(QWidget *widget)
{
    QWidget *parent = widget->parentWidget();
    auto *cell = new SteadyCell(Empty{}, parent);
    // A layout lets go of a widget that leaves its parent: the cell takes
    // the widget's place in it first.
    if (QLayout *layout = parent ? parent->layout() : nullptr)
        delete layout->replaceWidget(widget, cell);
    cell->adopt(widget);
    return cell;
}

void SteadyCell::adopt(QWidget *widget)
{
    child = widget;
    child->setParent(this);
    setSizePolicy(child->sizePolicy());
    takeSizes();
}

bool SteadyCell::takeSizes() const
{
    const QSize newHint = hint.expandedTo(child->sizeHint());
    const QSize newMinimum = minimum.expandedTo(child->minimumSizeHint());
    const bool grown = newHint != hint || newMinimum != minimum;
    hint = newHint;
    minimum = newMinimum;
    return grown;
}

QSize SteadyCell::sizeHint() const
{
    takeSizes();
    return hint;
}

QSize SteadyCell::minimumSizeHint() const
{
    takeSizes();
    return minimum;
}

void SteadyCell::forgetSizes()
{
    hint = QSize();
    minimum = QSize();
    takeSizes();
    updateGeometry();
}

bool SteadyCell::event(QEvent *event)
{
    // The widget's new text posts this to its parent, which has no layout:
    // the request stops here unless the widget needs more room.
    if (event->type() == QEvent::LayoutRequest) {
        if (takeSizes())
            updateGeometry();
        child->setGeometry(rect());
        return true;
    }
    return QWidget::event(event);
}

void SteadyCell::resizeEvent(QResizeEvent *event)
{
    child->setGeometry(rect());
    QWidget::resizeEvent(event);
}
