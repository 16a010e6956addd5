// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QColor>
#include <QWidget>

class QLabel;
class QPainter;

// The thin analogue scale under a meter reading: five major ticks with minor
// ones between, the part beyond the value veiled by translucent overlays. The
// ticks are rendered once into a pixmap; a new value only moves the overlays.
class BarGraph : public QWidget
{
    Q_OBJECT
public:
    struct Axis {
        int minorTick = 6;
        int majorTick = 10;
        int tickWidth = 2;
        QColor barColor;
        QColor backgroundColor;
        bool majorTickRising = true;
    };
    struct Bar {
        double min = 0;
        double max = 100;
        double value = 0;
    };

    explicit BarGraph(QWidget *parent = nullptr);

    void setValue(double value);
    void setRange(double a, double b);
    void setBarColor(const QColor &colour);
    void setBackgroundColor(const QColor &colour);
    void setMinorTick(int length);
    void setMajorTick(int length);
    void setTickWidth(int width);
    void setMajorTickRising(bool rising);
    void setAlarm(double criticalLow, double warningLow, double warningHigh, double criticalHigh);
    void setAlarmColors(const QColor &warning, const QColor &critical);
    void setAlarmVisible(bool visible);

    double value() const { return bar.value; }
    double rangeMin() const { return bar.min; }
    double rangeMax() const { return bar.max; }
    const Axis &axis() const { return axisData; }
    QLabel *leftOverlay() const { return overlayLeft; }
    QLabel *rightOverlay() const { return overlayRight; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    int getBarWidth(Axis axis) const;
    int getTickStep(int length, Axis axis) const;
    int getAxisWidth(int step, Axis axis) const;
    int getOffset(int length, Axis axis) const;
    QString addTransparency(const QString &colourName) const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void drawTick(QPainter *painter, int index, int length, Axis axis, int offset);
    void drawAxis(Axis axis, int length);
    void drawAxis();
    void drawBar(int length, Axis axis, Bar bar);
    void drawBar();

    QLabel *axisLabel;
    QLabel *overlayLeft;
    QLabel *overlayRight;
    Axis axisData;
    Bar bar;
    int tickSpacing = 1;
    QString transparency = QStringLiteral("dc");
    double alarmCriticalLow = 10;
    double alarmWarningLow = 20;
    double alarmWarningHigh = 80;
    double alarmCriticalHigh = 90;
    QColor alarmWarningColor = QColor(QStringLiteral("#f6f278"));
    QColor alarmCriticalColor = QColor(QStringLiteral("#f6b0b0"));
    bool alarmVisible = false;
};
