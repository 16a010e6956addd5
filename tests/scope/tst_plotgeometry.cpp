#include "scope/plotgeometry.h"

#include <QtTest>

#include <cmath>

using namespace PlotGeometry;

namespace {
ItemDistances nothingNear()
{
    ItemDistances d;
    d.fill(-1.0);
    return d;
}
} // namespace

class TestPlotGeometry : public QObject
{
    Q_OBJECT
private slots:
    void pickingNeedsEightPixelsTheLeftButtonAndOrder();
    void axisMappingAndScrollBars();
    void zoomLimits_data();
    void zoomLimits();
    void zeroHandlesAndLogicRows();
    void coloursAndStyles();
};

void TestPlotGeometry::pickingNeedsEightPixelsTheLeftButtonAndOrder()
{
    ItemDistances d = nothingNear();
    QCOMPARE(pickSelection(d, true), int(None));
    d[VCursorB] = 8.0;
    QCOMPARE(pickSelection(d, true), int(None));
    d[VCursorB] = 7.99;
    QCOMPARE(pickSelection(d, true), int(VCursorB));
    QCOMPARE(pickSelection(d, false), int(None));
    // The zero handles are tried before the trigger markers, even when farther away.
    d = nothingNear();
    d[TriggerMarker] = 1.0;
    d[Ch2Zero] = 6.0;
    QCOMPARE(pickSelection(d, true), int(Ch2Zero));
    d[HCursorB] = 7.0;
    QCOMPARE(pickSelection(d, true), int(HCursorB));
    d = nothingNear();
    d[WindowHighMarker] = 2.0;
    d[WindowLowMarker] = 3.0;
    QCOMPARE(pickSelection(d, true), int(WindowLowMarker));
}

void TestPlotGeometry::axisMappingAndScrollBars()
{
    const AxisMapping valueAxis{0, 1280, 700, 60};
    QCOMPARE(valueAxis.coordToPixel(640), 380.0);
    for (double v : {0.0, 13.0, 1279.5})
        QCOMPARE(valueAxis.pixelToCoord(valueAxis.coordToPixel(v)), v);
    // A collapsed axis does not divide by zero.
    const AxisMapping empty{5, 5, 10, 10};
    QCOMPARE(empty.coordToPixel(7), 10.0);
    QCOMPARE(empty.pixelToCoord(3), 5.0);

    ScrollBarSetting bar = horizontalScrollBar(512, 1024, 1536);
    QCOMPARE(bar.pageStep, 512);
    QCOMPARE(bar.maximum, 1024);
    QCOMPARE(bar.value, 512);
    QCOMPARE(horizontalScrollBar(0, 1536, 1536).maximum, 0);
    AxisRange r = horizontalRangeFromScrollBar(300, 512);
    QCOMPARE(r.lower, 300.0);
    QCOMPARE(r.upper, 812.0);
    // The vertical bar runs upside down: the bottom of the plot is its end.
    bar = verticalScrollBar(0, 512);
    QCOMPARE(bar.maximum, 768);
    QCOMPARE(bar.value, 768);
    bar = verticalScrollBar(300, 900);
    r = verticalRangeFromScrollBar(bar.value, bar.maximum, 600);
    QCOMPARE(r.lower, 300.0);
    QCOMPARE(r.upper, 900.0);
}

void TestPlotGeometry::zoomLimits_data()
{
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<double>("expectedLower");
    QTest::addColumn<double>("expectedUpper");
    QTest::newRow("inside") << 100.0 << 900.0 << 100.0 << 900.0;
    QTest::newRow("zoomed in below 256") << 600.0 << 700.0 << 600.0 << 856.0;
    QTest::newRow("left of zero") << -50.0 << 400.0 << 0.0 << 400.0;
    QTest::newRow("beyond the end") << 1400.0 << 1700.0 << 1280.0 << 1536.0;
    QTest::newRow("wider than the frame") << -10.0 << 4000.0 << 0.0 << 1536.0;
    QTest::newRow("narrow at the end") << 1500.0 << 1536.0 << 1280.0 << 1536.0;
}

void TestPlotGeometry::zoomLimits()
{
    QFETCH(double, lower);
    QFETCH(double, upper);
    QFETCH(double, expectedLower);
    QFETCH(double, expectedUpper);
    const AxisRange r = limitXRange(lower, upper, 1536);
    QCOMPARE(r.lower, expectedLower);
    QCOMPARE(r.upper, expectedUpper);
    const AxisRange y = limitYRange(lower, upper);
    QVERIFY(y.lower >= 0 && y.upper <= plotHeight);
    QVERIFY(y.upper - y.lower >= minimumYSpan);
}

void TestPlotGeometry::zeroHandlesAndLogicRows()
{
    // CH1 and CH2 sliders run −512 .. 512 on a 1280-unit plot.
    QCOMPARE(zeroHandleSliderValue(1152, -512, 512), 512);
    QCOMPARE(zeroHandleSliderValue(640, -512, 512), 0);
    QCOMPARE(zeroHandleSliderValue(128, -128, 128), -128);
    QCOMPARE(zeroHandleSliderValue(1.0e12, -512, 512), 512);
    QCOMPARE(zeroHandleSliderValue(std::nan(""), -512, 512), 0);
    // Logic slider −632 .. 392 over its band 8 .. 1032.
    QCOMPARE(logicZeroHandleSliderValue(8 + 512, -632, 392), -120);
    QCOMPARE(logicZeroHandleSliderValue(-1.0e12, -632, 392), -632);
    const AxisMapping valueAxis{0, 1280, 640, 0};
    QCOMPARE(clampPixelToBand(-40, valueAxis, analogZeroHandleLow, analogZeroHandleHigh), 64.0);
    QCOMPARE(clampPixelToBand(700, valueAxis, analogZeroHandleLow, analogZeroHandleHigh), 576.0);
    QCOMPARE(clampPixelToBand(300, valueAxis, analogZeroHandleLow, analogZeroHandleHigh), 300.0);

    QCOMPARE(logicBitBase(7, 8, 0), 648 + 140);
    QCOMPARE(logicBitBase(2, -100, 44), 540 + 128);
    QCOMPARE(logicLabelLevel(2, -100, 44), 668 + 7 + 5);
    QCOMPARE(logicLabelX(0, 30, 900), 76.0);
    QCOMPARE(logicLabelX(1, 30, 900), 850.0);
    const CursorLabelPositions p = cursorLabelPositions(800, 600);
    QCOMPARE(p.frequency, QPointF(776, 40));
    QCOMPARE(p.deltaVolt, QPointF(651, 556));
}

void TestPlotGeometry::coloursAndStyles()
{
    QCOMPARE(selectionHighlightColor(VCursorB, 0), QColor("#e04e4e"));
    QCOMPARE(selectionHighlightColor(WindowHighMarker, 1), QColor("#ff0000"));
    QCOMPARE(selectionHighlightColor(LogicZero, 3), QColor("#f9a94c"));
    QVERIFY(!selectionHighlightColor(None, 0).isValid());
    QCOMPARE(roundedPointer(QPointF(10.5, -3.5)), QPointF(11, -4));

    const QColor decay(75, 229, 28);
    const QColor trace(75, 229, 28);
    // Value 0 keeps the trace's lightness, 10 fades to 0.05 (0.95 on a light theme).
    QCOMPARE(persistenceColor(decay, trace, 0, 0).lightnessF(), trace.lightnessF());
    QVERIFY(qAbs(persistenceColor(decay, trace, 10, 0).lightnessF() - 0.05) < 0.005);
    QVERIFY(qAbs(persistenceColor(decay, trace, 10, 1).lightnessF() - 0.95) < 0.005);
    double previous = 2.0;
    for (int value = 0; value <= 10; ++value) {
        const QColor c = persistenceColor(decay, trace, value, 0);
        QVERIFY(c.lightnessF() < previous);
        previous = c.lightnessF();
    }
    // Hue from the decay pen, not the trace; grey stays valid; values held to the slider.
    const QColor blueDecay("#2a50fd");
    QVERIFY(qAbs(persistenceColor(blueDecay, trace, 5, 1).hslHueF() - blueDecay.hslHueF()) < 0.01);
    QVERIFY(persistenceColor(QColor(150, 150, 150), trace, 3, 0).isValid());
    QCOMPARE(persistenceColor(decay, trace, 25, 0), persistenceColor(decay, trace, 10, 0));

    QCOMPARE(gridPenStyle(0, Qt::DotLine), Qt::NoPen);
    QCOMPARE(gridPenStyle(1, Qt::SolidLine), Qt::DotLine);
    QCOMPARE(gridPenStyle(2, Qt::DotLine), Qt::SolidLine);
    QCOMPARE(gridPenStyle(7, Qt::DotLine), Qt::DotLine);
}

QTEST_GUILESS_MAIN(TestPlotGeometry)
#include "tst_plotgeometry.moc"
