// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QWidget>

// A page that asks its tab widget for no more room than it needs: its size
// hint is its minimum. The meter's read-outs prefer wide buttons, and a tab
// widget sizes itself to its widest page's preference, which would take the
// plot's room away on every tab.
class CompactPage : public QWidget
{
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return minimumSizeHint(); }
};
