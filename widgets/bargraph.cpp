// SPDX-License-Identifier: GPL-3.0-only
#include "widgets/bargraph.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QResizeEvent>

#include <cmath>

static QLabel *makeLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QStringLiteral("__qt__passive_label"));
    label->setFrameShape(QFrame::NoFrame);
    return label;
}

BarGraph::BarGraph(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
    setContentsMargins(0, 0, 0, 0);
    axisData.barColor = palette().color(QPalette::WindowText);
    axisData.backgroundColor = palette().color(QPalette::Base);
    axisLabel = makeLabel(this);
    overlayLeft = makeLabel(this);
    overlayRight = makeLabel(this);
    axisLabel->setGeometry(rect());
    drawAxis();
}

int BarGraph::getBarWidth(Axis axis) const
{
    return qMax(axis.minorTick, axis.majorTick);
}

int BarGraph::getAxisWidth(int step, Axis axis) const
{
    return (4 * step + 5) * axis.tickWidth + (4 * step + 4) * tickSpacing;
}

int BarGraph::getTickStep(int length, Axis axis) const
{
    const int tw = axis.tickWidth;
    return qMax(1, (length - 5 * tw - 1 - 4 * tickSpacing) / (4 * (tw + tickSpacing)));
}

int BarGraph::getOffset(int length, Axis axis) const
{
    const int step = getTickStep(length, axis);
    return (length - getAxisWidth(step, axis)) / 2 + axis.tickWidth / 2;
}

QSize BarGraph::sizeHint() const
{
    return QSize(getAxisWidth(24, axisData), getBarWidth(axisData));
}

QSize BarGraph::minimumSizeHint() const
{
    return QSize(getAxisWidth(1, axisData), getBarWidth(axisData));
}

QString BarGraph::addTransparency(const QString &colourName) const
{
    QString name = colourName;
    return name.insert(1, transparency);
}

void BarGraph::drawTick(QPainter *painter, int index, int length, Axis axis, int offset)
{
    const int x = index * (axis.tickWidth + tickSpacing) + offset;
    if (axis.majorTickRising) {
        const int bw = getBarWidth(axis);
        painter->drawLine(x, bw - length, x, bw);
    } else {
        painter->drawLine(x, 0, x, length);
    }
}

void BarGraph::drawAxis(Axis axis, int length)
{
    const QSize size = axisLabel->size().expandedTo(QSize(1, 1));
    QPixmap pixmap(size);
    pixmap.fill(QColor(QStringLiteral("transparent")));
    {
        QPainter painter(&pixmap);
        painter.setPen(QPen(QBrush(axis.barColor), axis.tickWidth, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        const int step = getTickStep(length, axis);
        const int offset = getOffset(length, axis);
        int index = 0;
        for (int major = 0; major < 4; ++major) {
            drawTick(&painter, index, axis.majorTick, axis, offset);
            for (int minor = 1; minor <= step; ++minor)
                drawTick(&painter, index + minor, axis.minorTick, axis, offset);
            index += step + 1;
        }
        drawTick(&painter, index, axis.majorTick, axis, offset);
    }
    drawBar(length, axis, bar);
    axisLabel->setPixmap(pixmap);
    setMinimumHeight(getBarWidth(axis));
}

void BarGraph::drawAxis()
{
    drawAxis(axisData, width());
}

void BarGraph::drawBar(int length, Axis axis, Bar b)
{
    const QString sheet = QStringLiteral("QLabel {background-color: %1;}")
                              .arg(addTransparency(axis.backgroundColor.name()));
    overlayLeft->setStyleSheet(sheet);
    overlayRight->setStyleSheet(sheet);

    const int tw = axis.tickWidth;
    const int bw = getBarWidth(axis);
    const int step = getTickStep(length, axis);
    const int offset = getOffset(length, axis);
    const int axisWidth = getAxisWidth(step, axis);
    const double span = axisWidth - tw;

    if (b.min >= 0) {
        overlayLeft->hide();
        // An empty range has nowhere to go: the bar stays at its start.
        const double part = b.max > b.min ? (b.value - b.min) * span / (b.max - b.min) : 0.0;
        const int start = int(std::trunc(part)) + (tw + 1) / 2 + offset;
        overlayRight->setGeometry(start, 0, length, bw);
        overlayRight->show();
        return;
    }

    const int zero = offset + (axisWidth + 1) / 2;
    const double half = span * 0.5;
    if (b.value >= 0) {
        const int right = b.max > 0 ? int(std::trunc(half * b.value / b.max)) : 0;
        overlayRight->setGeometry(right + zero, 0, length, bw);
        overlayLeft->setGeometry(0, 0, zero - tw, bw);
    } else {
        const int left = int(std::trunc(half * b.value / b.min));
        overlayRight->setGeometry(zero, 0, length, bw);
        overlayLeft->setGeometry(0, 0, qMax(0, zero - tw - left), bw);
    }
    overlayRight->show();
    overlayLeft->show();
}

void BarGraph::drawBar()
{
    drawBar(width(), axisData, bar);
}

void BarGraph::setValue(double value)
{
    // An undefined reading leaves the bar where it was.
    if (std::isnan(value))
        return;
    bar.value = qBound(bar.min, value, bar.max);
    drawBar();
}

void BarGraph::setRange(double a, double b)
{
    if (!std::isfinite(a) || !std::isfinite(b))
        return;
    bar.min = qMin(a, b);
    bar.max = qMax(a, b);
    setValue(bar.value);
}

void BarGraph::setBarColor(const QColor &colour)
{
    axisData.barColor = colour;
    drawAxis();
}

void BarGraph::setBackgroundColor(const QColor &colour)
{
    axisData.backgroundColor = colour;
    drawBar();
}

void BarGraph::setMinorTick(int length)
{
    axisData.minorTick = qMax(0, length);
    drawAxis();
}

void BarGraph::setMajorTick(int length)
{
    axisData.majorTick = qMax(0, length);
    drawAxis();
}

void BarGraph::setTickWidth(int width)
{
    axisData.tickWidth = qMax(1, width);
    drawAxis();
}

void BarGraph::setMajorTickRising(bool rising)
{
    axisData.majorTickRising = rising;
    drawAxis();
}

void BarGraph::setAlarm(double criticalLow, double warningLow, double warningHigh, double criticalHigh)
{
    alarmCriticalLow = criticalLow;
    alarmWarningLow = warningLow;
    alarmWarningHigh = warningHigh;
    alarmCriticalHigh = criticalHigh;
}

void BarGraph::setAlarmColors(const QColor &warning, const QColor &critical)
{
    alarmWarningColor = warning;
    alarmCriticalColor = critical;
}

void BarGraph::setAlarmVisible(bool visible)
{
    alarmVisible = visible;
}

void BarGraph::resizeEvent(QResizeEvent *event)
{
    axisLabel->setGeometry(0, 0, event->size().width(), event->size().height());
    drawAxis();
}

void BarGraph::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::StyleChange)
        drawAxis();
}
