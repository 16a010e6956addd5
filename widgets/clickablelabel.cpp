// SPDX-License-Identifier: GPL-3.0-only
#include "widgets/clickablelabel.h"

#include <QMouseEvent>

ClickableLabel::ClickableLabel(QWidget *parent, Qt::WindowFlags flags) : QLabel(parent, flags) {}

void ClickableLabel::mousePressEvent(QMouseEvent *event)
{
    // The press is ours: the label's own handling (text selection, links) does not run.
    event->accept();
    emit clicked();
}
