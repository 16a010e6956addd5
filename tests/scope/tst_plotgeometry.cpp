// SPDX-License-Identifier: GPL-3.0-only
#include "core/scope/plotgeometry.h"

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
    // Picking at 8 pixels, the scroll bars and handle drags are driven through the
    // window in tst_plotinteraction; here overlaps and degenerate geometry.
    void pickingOrderAndCollapsedAxes()
    {
        // The zero handles are tried before the trigger markers, even when farther away.
        ItemDistances d = nothingNear();
        d[TriggerMarker] = 1.0;
        d[Ch2Zero] = 6.0;
        QCOMPARE(pickSelection(d, true), int(Ch2Zero));
        d[HCursorB] = 7.0;
        QCOMPARE(pickSelection(d, true), int(HCursorB));
        d[HCursorB] = 8.0;
        QCOMPARE(pickSelection(d, true), int(Ch2Zero));
        QCOMPARE(pickSelection(d, false), int(None));
        // A press right on a handle (distance 0) picks it.
        ItemDistances right = nothingNear();
        right[Ch1Zero] = 0.0;
        QCOMPARE(pickSelection(right, true), int(Ch1Zero));
        // A press on a marker's picture picks the marker, whatever lies under it too.
        for (int marker : {TriggerMarker, WindowLowMarker, WindowHighMarker}) {
            ItemDistances on = nothingNear();
            on[Ch1Zero] = 0.0;
            on[HCursorA] = 0.0;
            on[marker] = 0.0;
            QCOMPARE(pickSelection(on, true), marker);
            QCOMPARE(pickSelection(on, false), int(None));
        }
        QCOMPARE((AxisMapping{5, 5, 10, 10}.pixelToCoord(3)), 5.0); // no division by zero
        QCOMPARE((AxisMapping{100, 200, 0, 400}.coordToPixel(150)), 200.0);
        QCOMPARE(logicLabelX(1, 10, 500), 450.0); // right labels end 50 pixels in
        QCOMPARE(logicLabelX(0, 10, 500), 56.0);
        // Logic labels as tall as the room between two bits allows; staggered below 8 pixels.
        const double rooms[][3] = {{30, 13, 0}, {10, 8, 0}, {9.5, 13, 1}, {6.25, 10, 1}, {2, 7, 1}, {-1, 7, 1}};
        for (const auto &[room, pixels, staggered] : rooms) {
            const LogicLabelLayout layout = logicLabelLayout(room);
            QCOMPARE(QPointF(layout.pixelSize, layout.staggered), QPointF(pixels, staggered));
        }
        const ScrollBarSetting vertical = verticalScrollBar(300, 900); // runs upside down
        const AxisRange r = verticalRangeFromScrollBar(vertical.value, vertical.maximum, 600);
        QCOMPARE(r.lower, 300.0);
        QCOMPARE(r.upper, 900.0);
    }
    void zoomLimits()
    {
        // Zoomed in below 256 units, beyond the end, wider than the frame: the range held.
        const double rows[][4] = {{600, 700, 600, 856}, {1400, 1700, 1280, 1536}, {-10, 4000, 0, 1536}};
        for (const auto &[lower, upper, expectedLower, expectedUpper] : rows) {
            const AxisRange r = limitXRange(lower, upper, 1536);
            QCOMPARE(QPointF(r.lower, r.upper), QPointF(expectedLower, expectedUpper));
            const AxisRange y = limitYRange(lower, upper);
            QVERIFY(y.lower >= 0 && y.upper <= plotHeight && y.upper - y.lower >= minimumYSpan);
        }
        // Square divisions: 20 up in 800 pixels are 40 pixels each, 1200 across hold 30; held to 256 .. the frame.
        const double square[][5] = {{1200, 800, 1280, 1536, 960}, {200, 800, 1280, 1536, 256},
                                    {3000, 500, 1280, 1536, 1536}, {0, 0, 1280, 1536, 256}};
        for (const auto &[width, height, valueSpan, extent, span] : square)
            QCOMPARE(squareKeySpan(int(width), int(height), valueSpan, extent), span);
    }
    void zeroHandlesAndPersistence()
    {
        // CH1 and CH2 sliders run −512 .. 512 on a 1280-unit plot; the logic one −632 .. 392 over 8 .. 1032.
        QCOMPARE(zeroHandleSliderValue(1.0e12, -512, 512), 512);
        QCOMPARE(zeroHandleSliderValue(std::nan(""), -512, 512), 0);
        QCOMPARE(logicZeroHandleSliderValue(8 + 512, -632, 392), -120);
        // Persistence fades from the trace's lightness at 0 to 0.05 at 10, darker at each step.
        const QColor decay(75, 229, 28);
        QCOMPARE(persistenceColor(decay, decay, 0, 0).lightnessF(), decay.lightnessF());
        QVERIFY(qAbs(persistenceColor(decay, decay, 10, 1).lightnessF() - 0.95) < 0.005);
        for (int value = 1; value <= 10; ++value)
            QVERIFY(persistenceColor(decay, decay, value, 0).lightnessF() <
                    persistenceColor(decay, decay, value - 1, 0).lightnessF());
        const QColor blue("#2a50fd"); // the hue comes from the decay pen
        QVERIFY(qAbs(persistenceColor(blue, decay, 5, 1).hslHueF() - blue.hslHueF()) < 0.01);
    }
};

QTEST_GUILESS_MAIN(TestPlotGeometry)
#include "tst_plotgeometry.moc"
