// SPDX-License-Identifier: GPL-3.0-only
// The plot worked with the mouse, the wheel and the keys, on the real window
// over the virtual instrument: picking and dragging handles and markers, the
// labels they update, zoom and pan, the axis limits with their scroll bars,
// renaming labels, XY mode, and pointers or plot sizes that make no sense.
#include "common/windowtest.h"
#include "core/scope/plotgeometry.h"
#include "device/libusbdevice.h"

#include <QtTest>

#include <cmath>

namespace
{
QPoint pixelOf(QCustomPlot *plot, double x, double y)
{
    return QPoint(qRound(plot->xAxis->coordToPixel(x)), qRound(plot->yAxis->coordToPixel(y)));
}

QRectF rectOf(QCPItemPixmap *item)
{
    return QRectF(item->topLeft->pixelPosition(), QSizeF(item->pixmap().size()));
}

QPoint centreOf(QCPItemPixmap *item)
{
    return rectOf(item).center().toPoint();
}

void press(QCustomPlot *plot, const QPoint &at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::mousePress(plot, Qt::LeftButton, modifiers, at);
}

// QTest's own mouse move carries no buttons on widgets; a drag needs them.
void dragTo(QCustomPlot *plot, const QPointF &at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at.toPoint()), Qt::NoButton, Qt::LeftButton,
                     modifiers);
    QCoreApplication::sendEvent(plot, &move);
}

void release(QCustomPlot *plot, const QPoint &at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::mouseRelease(plot, Qt::LeftButton, modifiers, at);
}

// `steps` wheel notches away from the user (zoom in); negative towards.
void turnWheel(QCustomPlot *plot, const QPointF &at, int steps,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWheelEvent wheel(at, plot->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(plot, &wheel);
}

QPoint plotCentre(QCustomPlot *plot)
{
    return plot->axisRect()->rect().center();
}

// Within `tolerance` of each other: a pixel, unless said otherwise.
bool near(double a, double b, double tolerance = 1)
{
    return qAbs(a - b) <= tolerance;
}

// A press at `from`, a drag to `to`, and the release there.
void drag(QCustomPlot *plot, const QPoint &from, const QPointF &to,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    press(plot, from, modifiers);
    dragTo(plot, to, modifiers);
    release(plot, to.toPoint(), modifiers);
}

} // namespace

class TestPlotInteraction : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useVirtualBench(); }
    // Each test on a window of its own, shown at a fixed size, connected, with
    // frames on the plot; a failed check here skips the test.
    void init()
    {
        w = new VeltoInterface;
        plot = w->scopePlot()->plot();
        it = &w->scopePlot()->items();
        ui = w->form();
        w->session()->setScopeStartDelay(50);
        w->resize(1600, 1000);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(connectToBench(*w));
        // The picture this suite measures in: CH1 at 4 V/div 120 units below the
        // centre, quiet (the generator, wired to it, off), CH2 on the centre, the
        // logic group above, no cursors.
        ui->ch1PositionSlider->setValue(-120);
        ui->ch1GainSlider->setValue(1);
        ui->ch2PositionSlider->setValue(0);
        ui->chdPositionSlider->setValue(8);
        for (QCheckBox *off :
             {ui->checkBoxCursorVertical, ui->checkBoxScopeCursorsHorizontal, ui->checkBoxAWGEnable})
            if (off->isChecked())
                off->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->scopePlot()->graphs().ch1->data()->size(), 768, 5000);
        // The whole frame in view, as zooming out shows it.
        plot->xAxis->setRange(0, 1536);
        plot->replot();
        QVERIFY(plot->axisRect()->width() > 700 && plot->axisRect()->height() > 700);
    }
    void cleanup() { delete w; }
    void triggerMarkerDrags()
    {
        TriggerModel &model = w->trigger()->model();
        TraceCapture trace;

        // Free running hides the marker: a drag from where it would be moves nothing.
        model.triggerSetPosition(200, 40);
        w->trigger()->triggerMarkersPlace();
        QVERIFY(!it->triggerMarker->visible());
        const QPoint hidden = centreOf(it->triggerMarker);
        drag(plot, hidden, QPointF(hidden.x() + 100, hidden.y()));
        QVERIFY(trace.matching(QStringLiteral("ctrl 0x41 16 ")).isEmpty());
        QCOMPARE(model.current().position, 200);

        ui->radioButtonNormal->click();
        QVERIFY(it->triggerMarker->visible());
        const QPoint at = centreOf(it->triggerMarker);
        QCOMPARE(at, pixelOf(plot, 400, 640 - 120 + 40 * 1.5625));
        press(plot, at);
        QCOMPARE(selected(), int(PlotGeometry::TriggerMarker));
        QCOMPARE(it->triggerMarker->pen().color(), QColor(75, 229, 28));
        // Beyond the right edge: the position holds at 760, the instrument is
        // told 8 samples after the trigger, and the level goes with it.
        dragTo(plot, QPointF(xPixel(2000), at.y()));
        QCOMPARE(model.current().position, 760);
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 16 8 0 0")).size(), 1);
        QCOMPARE(virtualBench().configurationEntry(17), model.current().level);
        QVERIFY(near(model.current().level, 40, 2));
        // The marker sits on the held position, not under the pointer.
        QVERIFY(near(centreOf(it->triggerMarker).x(), xPixel(1520)));
        // Far below the plot the level holds at the bottom of its range.
        dragTo(plot, QPointF(at.x(), plot->height() + 5000));
        QCOMPARE(model.current().level, -125);
        QCOMPARE(virtualBench().configurationEntry(17), -125);
        release(plot, at);
        QCOMPARE(selected(), int(PlotGeometry::noSelection));
        QCOMPARE(it->triggerMarker->pen().style(), Qt::NoPen);

        // Hovering over the marker says so; a click hands it to the keys, each step
        // written as a drag's, until a press elsewhere.
        const QPoint held = centreOf(it->triggerMarker);
        for (const QPoint &to : {held, held + QPoint(0, 40)}) {
            QMouseEvent hover(QEvent::MouseMove, to, plot->mapToGlobal(to), Qt::NoButton, Qt::NoButton, {});
            QCoreApplication::sendEvent(plot, &hover);
            QCOMPARE(plot->toolTip(), to == held ? PlotInteraction::markerToolTip : QString());
        }
        QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, held);
        QCOMPARE(w->interaction()->keyboardMarker(), int(PlotGeometry::TriggerMarker));
        const struct {
            Qt::Key key;
            int samples, levels;
        } steps[] = {{Qt::Key_Up, 0, 1}, {Qt::Key_PageUp, 0, 10}, {Qt::Key_PageDown, 0, -10},
                     {Qt::Key_Left, -1, 0}, {Qt::Key_Right, 1, 0}, {Qt::Key_Down, 0, 0}};
        for (const auto &step : steps) {
            if (step.key == Qt::Key_Down) // after a press on empty plot the keys move nothing
                QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier,
                                  plot->rect().center() + QPoint(40, 0));
            const TriggerChannelRecord before = model.current();
            QTest::keyClick(plot, step.key);
            QCOMPARE(model.current().position, before.position + step.samples);
            QCOMPARE(model.current().level, before.level + step.levels);
            QCOMPARE(virtualBench().configurationEntry(17), model.current().level);
        }

        // A drag that began in Normal goes on in Free: stored, never sent.
        model.triggerSetPosition(300, 0);
        w->trigger()->triggerMarkersPlace();
        press(plot, centreOf(it->triggerMarker));
        ui->radioButtonFree->click();
        trace.clear();
        dragTo(plot, pixelOf(plot, 900, 640));
        // Through whole pixels of about two units each, the key comes back within a sample.
        QVERIFY(near(model.current().position, 450));
        QVERIFY(trace.matching(QStringLiteral("ctrl 0x41 1")).isEmpty());
        release(plot, pixelOf(plot, 900, 640));

        // The window's low level is held a gap of 16 below the high one.
        ui->radioButtonNormal->click();
        ui->radioButtonWindow->click();
        QVERIFY(it->windowMarker[0]->visible() && it->windowMarker[1]->visible());
        QVERIFY(!it->triggerMarker->visible());
        const int high = model.current().windowHigh;
        trace.clear();
        const QPoint low = centreOf(it->windowMarker[0]);
        press(plot, low);
        QCOMPARE(selected(), int(PlotGeometry::WindowLowMarker));
        dragTo(plot, QPointF(low.x(), yPixel(640 - 120 + (high + 60) * 1.5625)));
        QCOMPARE(model.current().windowLow, high - 16);
        QCOMPARE(model.current().windowHigh, high);
        QCOMPARE(virtualBench().configurationEntry(18), high - 16);
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 19 ")).size(), 0);
        release(plot, low);
        // Both markers stand where the model says, a gap apart.
        for (int k = 0; k < 2; ++k) {
            const double level = 640 - 120 + (high - (k ? 0 : 16)) * 1.5625;
            QVERIFY(near(centreOf(it->windowMarker[k]).y(), yPixel(level)));
        }
    }
    void triggerMarkersFollowSourceAndInvert()
    {
        TriggerModel &model = w->trigger()->model();
        unitPixels();
        ui->radioButtonNormal->click();
        ui->radioButtonWindow->click();
        TraceCapture trace;

        // "Bit 3" has no slope or window: rising edge, one marker on the bit's trace.
        ui->comboBoxTrigSource->setCurrentIndex(5);
        QVERIFY(ui->radioButtonRisingEdge->isChecked());
        QCOMPARE(model.type(), int(Trigger::RisingEdge));
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 8 5 0 0")).size(), 1);
        QVERIFY(it->triggerMarker->visible());
        QVERIFY(!it->windowMarker[0]->visible());
        QVERIFY(near(centreOf(it->triggerMarker).y(), yPixel(model.triggerPosYBit(3))));
        const auto slopeAndWindow = {ui->radioButtonPositiveSlope, ui->radioButtonNegativeSlope,
                                     ui->radioButtonWindow};
        for (int source : {10, 11, 0}) { // "EXT" and "Schmitt" have no slope or window; CH1 has
            ui->comboBoxTrigSource->setCurrentIndex(source);
            for (QRadioButton *button : slopeAndWindow)
                QVERIFY2(button->isEnabled() == (source == 0), qPrintable(button->objectName()));
            QVERIFY(ui->radioButtonDual->isEnabled());
        }

        // A logic-sourced marker dragged sends its position, never a level.
        ui->comboBoxTrigSource->setCurrentIndex(5);
        LibUsbDevice::settleAll(); // the source's own writes are out before the trace is cleared
        trace.clear();
        const QPoint bit = centreOf(it->triggerMarker);
        press(plot, bit);
        QCOMPARE(selected(), int(PlotGeometry::TriggerMarker));
        QCOMPARE(it->triggerMarker->pen().color(), QColor(QStringLiteral("#ff0000")));
        dragTo(plot, pixelOf(plot, 600, 300));
        release(plot, pixelOf(plot, 600, 300));
        QCOMPARE(model.current().position, 300);
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 16 468 0 0")).size(), 1);
        QVERIFY(trace.matching(QStringLiteral("ctrl 0x41 17 ")).isEmpty());
        // The marker stays on the bit's row whatever the pointer's height.
        QVERIFY(near(centreOf(it->triggerMarker).y(), bit.y()));

        // Inverting CH1 turns a rising edge at 40 into a falling edge at −40,
        // and the marker goes over to the other side of the zero level.
        ui->comboBoxTrigSource->setCurrentIndex(0);
        model.triggerSetPosition(model.current().position, 40);
        w->trigger()->triggerMarkersPlace();
        trace.clear();
        ui->checkBoxCH1Invert->click();
        QVERIFY(ui->radioButtonFallingEdge->isChecked());
        QCOMPARE(model.current().level, -40);
        // The request's value field is 16 bits wide: −40 travels as 65496.
        QCOMPARE(trace.matching(QStringLiteral("ctrl 0x41 17 65496 0 0")).size(), 1);
        QCOMPARE(virtualBench().configurationEntry(17), -40);
        QVERIFY(near(centreOf(it->triggerMarker).y(), yPixel(520 - 40 * 1.5625)));
    }
    void verticalCursorsReadTheirDistance()
    {
        // "1ms/div", and the cursors placed by hand rather than by the measurement.
        ui->samplingSlider->setValue(7);
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(2);
        QTRY_COMPARE_WITH_TIMEOUT(w->cursors()->vertical().timeIndex, 7, 5000);
        ui->checkBoxCursorVertical->click();
        QVERIFY(it->vCursorHandle[0]->visible() && it->labelDeltaTime->visible());
        unitPixels();

        // Handles hang from the top edge, their lines through the plot.
        const QPoint a = centreOf(it->vCursorHandle[0]);
        QVERIFY(near(a.x(), xPixel(w->cursors()->vertical().positionA)));
        QCOMPARE(qRound(it->vCursorHandle[0]->bottom->pixelPosition().x()), a.x());
        // Each is highlighted while held; A is dragged with a slip downwards.
        for (int k = 0; k < 2; ++k) {
            const QPoint at = centreOf(it->vCursorHandle[k]);
            press(plot, at);
            QCOMPARE(selected(), int(k ? PlotGeometry::VCursorB : PlotGeometry::VCursorA));
            QCOMPARE(it->vCursorHandle[k]->pen().color(), QColor(QStringLiteral("#e04e4e")));
            dragTo(plot, QPointF(xPixel(256 + 128 * k), at.y() + (k ? 0 : 200)));
            release(plot, at);
            QCOMPARE(it->vCursorHandle[k]->pen().style(), Qt::NoPen);
        }
        QCOMPARE(w->cursors()->vertical().positionA, 256);
        QCOMPARE(w->cursors()->vertical().positionB, 384);
        // The labels are right, and survive the next frames.
        QTest::qWait(100);
        QCOMPARE(it->labelDeltaTime->text(), QStringLiteral("ΔT =  4.000 ms"));
        QCOMPARE(it->labelFrequency->text(), QStringLiteral("1/ΔT =  250.0 Hz"));

        // Dragged past the left edge the cursor holds at its range.
        drag(plot, centreOf(it->vCursorHandle[0]), QPointF(-3000, a.y()));
        QCOMPARE(w->cursors()->vertical().positionA, 8);

        // "Track" needs the vertical cursors: switched off, it brings them back.
        ui->checkBoxCursorVertical->click();
        QVERIFY(!it->vCursorHandle[0]->visible());
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(0);
        QVERIFY(ui->checkBoxCursorVertical->isChecked() && w->cursors()->vertical().visible);
        QVERIFY(it->vCursorHandle[0]->visible() && it->vCursorLine[1]->visible());
        QVERIFY(it->labelFrequency->visible());
    }
    void horizontalCursorDragIsHeldToItsChannel()
    {
        HorizontalCursors &h = w->cursors()->horizontal();
        const int *zero = w->scopeState()->zeroLevel;
        auto handleY = [&](int k) { return rectOf(it->hCursorHandle[k]).center().y(); };
        auto levelY = [&](int k) { return yPixel(zero[k] + (k ? h.levelB() : h.levelA())); };
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(2); // "Manual"
        ui->checkBoxScopeCursorsHorizontal->click();
        QTRY_VERIFY_WITH_TIMEOUT(it->hCursorHandle[0]->visible(), 5000);
        QVERIFY(it->labelVoltA->visible());
        w->session()->sendScopeStop();
        QTest::qWait(50);

        // The handle stands at the left edge on its level, the line through it.
        const QRectF handle = rectOf(it->hCursorHandle[0]);
        QCOMPARE(handle.left(), 14.0);
        QVERIFY(near(handleY(0), levelY(0)));
        press(plot, handle.center().toPoint());
        QCOMPARE(selected(), int(PlotGeometry::HCursorA));
        QCOMPARE(it->hCursorHandle[0]->pen().color(), QColor(QStringLiteral("#1692e5")));
        // CH1's cursors keep within 256 units of its zero level.
        dragTo(plot, QPointF(handle.center().x(), yPixel(1200)));
        QCOMPARE(h.levelA(), 256);
        dragTo(plot, QPointF(handle.center().x(), yPixel(zero[0] - 64)));
        QVERIFY(near(h.levelA(), -64, 2));
        release(plot, handle.center().toPoint());
        QVERIFY(near(handleY(0), levelY(0)));
        // The labels are read on the next drawn tick: A at one division below zero.
        w->scopeState()->redrawRequested = true;
        QTRY_VERIFY_WITH_TIMEOUT(it->labelVoltA->text().startsWith(QStringLiteral("Va = -")), 2000);

        // On CH2, with the two zero levels apart, the handles stand at CH2's
        // level and a drag is held within 256 units of it.
        ui->ch1PositionSlider->setValue(-200);
        ui->ch2PositionSlider->setValue(200);
        ui->comboBoxScopeCursorsChannel->setCurrentIndex(1);
        QCOMPARE(zero[1], 840);
        for (int k = 0; k < 2; ++k)
            QVERIFY(near(handleY(k), yPixel(840 + (k ? h.levelB() : h.levelA()))));
        const QPoint a = rectOf(it->hCursorHandle[0]).center().toPoint();
        drag(plot, a, QPointF(a.x(), yPixel(1250)));
        QCOMPARE(h.levelA(), 256);
        QVERIFY(near(handleY(0), yPixel(840 + 256)));

        // The lines run through their handles: across the plot for the level
        // cursors, from top to bottom for the time cursors.
        ui->checkBoxCursorVertical->click();
        for (int k = 0; k < 2; ++k) {
            const QPointF h1 = it->hCursorLine[k]->point1->pixelPosition();
            const QPointF h2 = it->hCursorLine[k]->point2->pixelPosition();
            QVERIFY(near(h1.y(), handleY(k)) && h1.y() == h2.y() && h1.x() != h2.x());
            const QPointF v1 = it->vCursorLine[k]->point1->pixelPosition();
            const QPointF v2 = it->vCursorLine[k]->point2->pixelPosition();
            QVERIFY(near(v1.x(), centreOf(it->vCursorHandle[k]).x()) && v1.x() == v2.x() && v1.y() != v2.y());
        }
    }
    void pickingNeedsAPressCloserThanEightPixels()
    {
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(2);
        ui->checkBoxCursorVertical->click();
        w->cursors()->vCursorSetPosition(700, 1000);
        const QRectF handle = rectOf(it->vCursorHandle[1]);

        // Eight pixels right of the handle's edge: nothing is picked and the
        // drag that follows moves nothing, neither a cursor nor the axes.
        const QPoint miss(qRound(handle.right() + 8), qRound(handle.center().y()));
        for (QCPAbstractItem *item : it->selectable())
            if (item->visible())
                QVERIFY(item->selectTest(miss, false) >= 8.0);
        const QCPRange before = plot->xAxis->range();
        TraceCapture trace;
        drag(plot, miss, QPointF(miss.x() - 300, miss.y() + 100));
        QCOMPARE(w->cursors()->vertical().positionA, 700);
        QCOMPARE(w->cursors()->vertical().positionB, 1000);
        QCOMPARE(plot->xAxis->range(), before);
        QVERIFY(trace.matching(QStringLiteral("ctrl 0x41")).isEmpty());

        // Seven pixels away it is picked, highlighted while held, let go on release.
        const QPoint close(qRound(handle.right() + 7), qRound(handle.center().y()));
        press(plot, close);
        QCOMPARE(selected(), int(PlotGeometry::VCursorB));
        QCOMPARE(it->vCursorHandle[1]->pen().color(), QColor(QStringLiteral("#e04e4e")));
        release(plot, close);
        QCOMPARE(selected(), int(PlotGeometry::noSelection));

        // Only the left button picks.
        QTest::mousePress(plot, Qt::RightButton, Qt::NoModifier, centreOf(it->vCursorHandle[1]));
        QCOMPARE(selected(), int(PlotGeometry::noSelection));
        QTest::mouseRelease(plot, Qt::RightButton, Qt::NoModifier, centreOf(it->vCursorHandle[1]));

        // Where a cursor handle covers a zero handle, the cursor wins.
        ui->checkBoxScopeCursorsHorizontal->click();
        QTRY_VERIFY_WITH_TIMEOUT(it->hCursorHandle[0]->visible(), 5000);
        w->cursors()->horizontal().absoluteA = w->scopeState()->zeroLevel[0];
        w->cursors()->hCursorRefreshA();
        QVERIFY(rectOf(it->hCursorHandle[0]).intersects(rectOf(it->zeroHandle[0])) ||
                it->zeroHandle[0]->selectTest(centreOf(it->hCursorHandle[0]), false) < 8.0);
        press(plot, centreOf(it->hCursorHandle[0]));
        QCOMPARE(selected(), int(PlotGeometry::HCursorA));
        release(plot, centreOf(it->hCursorHandle[0]));
    }
    void wheelZoomAndModifierKeys()
    {
        const QPoint centre = plotCentre(plot);
        const QPoint left(centre.x() - 100, centre.y());
        QCOMPARE(plot->xAxis->range(), QCPRange(0, 1536));

        // One notch zooms in by 0.8 around the pointer.
        const double under = plot->xAxis->pixelToCoord(centre.x());
        turnWheel(plot, centre, 1);
        QVERIFY(near(plot->xAxis->range().size(), 1536 * 0.8, 1e-6));
        QVERIFY(near(plot->xAxis->pixelToCoord(centre.x()), under, 1e-6));
        QCOMPARE(plot->yAxis->range(), QCPRange(0, 1280));
        // Past the smallest span the limits take over: 256 units and no fewer.
        turnWheel(plot, centre, 12);
        QCOMPARE(plot->xAxis->range().size(), 256.0);
        QVERIFY(plot->xAxis->range().lower >= 0);
        // Zoomed out as far as the wheel goes, the whole frame and no more.
        turnWheel(plot, centre, -20);
        QCOMPARE(plot->xAxis->range(), QCPRange(0, 1536));

        // Control: the mouse pans the time axis and the wheel does not zoom.
        turnWheel(plot, centre, 3);
        const QCPRange zoomed = plot->xAxis->range();
        QTest::keyPress(w, Qt::Key_Control);
        turnWheel(plot, centre, 1, Qt::ControlModifier);
        QCOMPARE(plot->xAxis->range(), zoomed);
        press(plot, centre, Qt::ControlModifier);
        QCOMPARE(selected(), int(PlotGeometry::noSelection));
        dragTo(plot, left, Qt::ControlModifier);
        release(plot, left, Qt::ControlModifier);
        QVERIFY(plot->xAxis->range().lower > zoomed.lower);
        QVERIFY(near(plot->xAxis->range().size(), zoomed.size(), 1e-6));
        QCOMPARE(plot->yAxis->range(), QCPRange(0, 1280));
        // Panned far past the end, the range stops at the end.
        drag(plot, centre, QPointF(centre.x() - 20000, centre.y()), Qt::ControlModifier);
        QVERIFY(near(plot->xAxis->range().upper, 1536, 1e-6));
        QVERIFY(plot->xAxis->range().size() >= 256);
        QTest::keyRelease(w, Qt::Key_Control);
        const QCPRange afterPan = plot->xAxis->range();
        // Without Control a drag over empty plot moves nothing, the wheel zooms again.
        drag(plot, centre, QPointF(centre.x() + 200, centre.y()));
        QCOMPARE(plot->xAxis->range(), afterPan);
        turnWheel(plot, centre, -1);
        QVERIFY(plot->xAxis->range().size() > afterPan.size());

        // Shift: the wheel zooms the value axis instead, down to 512 units.
        const QCPRange keys = plot->xAxis->range();
        QTest::keyPress(w, Qt::Key_Shift);
        turnWheel(plot, centre, 6, Qt::ShiftModifier);
        QCOMPARE(plot->xAxis->range(), keys);
        QCOMPARE(plot->yAxis->range().size(), 512.0);
        QCOMPARE(plot->yAxis2->range(), plot->yAxis->range());
        QTest::keyRelease(w, Qt::Key_Shift);
        const QCPRange values = plot->yAxis->range();
        turnWheel(plot, centre, 1);
        QCOMPARE(plot->yAxis->range(), values);
    }
    void scrollBarsFollowTheAxes()
    {
        QScrollBar *horizontal = ui->horizontalScrollBar;
        QScrollBar *vertical = ui->verticalScrollBar;
        auto bar = [](QScrollBar *bar) { return QList<int>({bar->value(), bar->pageStep(), bar->maximum()}); };
        QCOMPARE(bar(horizontal), QList<int>({0, 1536, 0}));

        plot->xAxis->setRange(512, 1024);
        QCOMPARE(bar(horizontal), QList<int>({512, 512, 1024}));
        // The bar moves the range and keeps its span; so does its far end.
        horizontal->setValue(300);
        QCOMPARE(plot->xAxis->range(), QCPRange(300, 812));
        horizontal->setValue(horizontal->maximum());
        QCOMPARE(plot->xAxis->range(), QCPRange(1024, 1536));
        QCOMPARE(plot->xAxis2->range(), plot->xAxis->range());

        // The vertical bar runs upside down: its value is 1280 less the upper bound.
        plot->yAxis->setRange(256, 768);
        QCOMPARE(bar(vertical), QList<int>({512, 512, 768}));
        vertical->setValue(0);
        QCOMPARE(plot->yAxis->range(), QCPRange(768, 1280));
        vertical->setValue(768);
        QCOMPARE(plot->yAxis->range(), QCPRange(0, 512));

        // A range set beyond the limits is held, and the bars with it.
        plot->xAxis->setRange(-500, 100);
        QCOMPARE(plot->xAxis->range(), QCPRange(0, 256));
        QCOMPARE(bar(horizontal).mid(0, 2), QList<int>({0, 256}));
        plot->yAxis->setRange(1000, 2000);
        QCOMPARE(plot->yAxis->range(), QCPRange(768, 1280));
        QCOMPARE(vertical->value(), 0);

        // The zero handles follow the value axis.
        QVERIFY(near(centreOf(it->zeroHandle[1]).y(), yPixel(w->scopeState()->zeroLevel[1])));
    }
    void zeroHandleDragsMoveTheTraces()
    {
        w->session()->sendScopeStop();
        QTest::qWait(100);
        const int *zero = w->scopeState()->zeroLevel;
        const QVector<double> before = graphValues(w->scopePlot()->graphs().ch1);
        const int start = ui->ch1PositionSlider->value();
        QCOMPARE(zero[0], 640 + start);
        QCOMPARE(qRound(rectOf(it->zeroHandle[0]).left()), 2);
        // CH1's handle is held to 128 .. 1152; the logic handle, on with the logic
        // trace, to 8 .. 1032, CH1's handle, picked first, moved out of its way.
        const struct {
            int k;
            QSlider *slider;
            int selection, top, bottom, middle;
        } rows[] = {{0, ui->ch1PositionSlider, PlotGeometry::Ch1Zero, 1152, 128, 640},
                    {2, ui->chdPositionSlider, PlotGeometry::LogicZero, 1032, 8, 800}};
        for (const auto &row : rows) {
            if (row.k == 2) {
                ui->ch1PositionSlider->setValue(-300);
                ui->checkBoxCH2Trace->click();
                ui->checkBoxCHDTrace->click();
                w->session()->sendScopeStart();
                QTRY_VERIFY_WITH_TIMEOUT(it->zeroHandle[2]->visible(), 5000);
                QTRY_VERIFY_WITH_TIMEOUT(!it->zeroHandle[1]->visible(), 5000);
                w->session()->sendScopeStop();
                QTest::qWait(100);
            }
            const QPoint handle = centreOf(it->zeroHandle[row.k]);
            QVERIFY(near(handle.y(), yPixel(zero[row.k])));
            TraceCapture trace;
            press(plot, handle);
            QCOMPARE(selected(), row.selection);
            QCOMPARE(it->zeroHandle[row.k]->pen().color(), QColor(QStringLiteral("#f9a94c")));
            // Beyond the top of the band it stays at the top, the handle with it.
            dragTo(plot, QPointF(handle.x(), -400));
            QCOMPARE(row.slider->value(), row.slider->maximum());
            QCOMPARE(zero[row.k], row.top);
            QVERIFY(near(centreOf(it->zeroHandle[row.k]).y(), yPixel(row.top)));
            // The position is the host's: nothing goes to the instrument.
            QVERIFY(trace.matching(QStringLiteral("ctrl 0x41")).isEmpty());
            if (row.k == 0) {
                // The trace follows on the next drawn tick, shifted by the same amount.
                // A frame may land after the stop; its samples differ by the input's
                // noise of a count or two, never by the slider's change.
                QTRY_VERIFY_WITH_TIMEOUT(graphValues(w->scopePlot()->graphs().ch1) != before, 2000);
                const QVector<double> after = graphValues(w->scopePlot()->graphs().ch1);
                QCOMPARE(after.size(), before.size());
                for (int k = 0; k < after.size(); ++k)
                    QVERIFY2(near(after.at(k) - before.at(k), row.slider->maximum() - start, 2 * 1.5625),
                             qPrintable(QStringLiteral("point %1: %2 -> %3").arg(k).arg(before.at(k))
                                            .arg(after.at(k))));
            }
            dragTo(plot, QPointF(handle.x(), plot->height() + 400));
            QCOMPARE(row.slider->value(), row.slider->minimum());
            QCOMPARE(zero[row.k], row.bottom);
            dragTo(plot, QPointF(handle.x(), yPixel(row.middle)));
            QVERIFY(near(zero[row.k], row.middle, 2));
            release(plot, handle);
            QCOMPARE(it->zeroHandle[row.k]->pen().style(), Qt::NoPen);
            QVERIFY(near(centreOf(it->zeroHandle[row.k]).y(), yPixel(zero[row.k])));
        }
    }
    void renamingALabel()
    {
        ui->checkBoxCHDTrace->click();
        QTRY_VERIFY_WITH_TIMEOUT(it->logicLabels[3]->visible(), 5000);
        w->session()->sendScopeStop();
        QTest::qWait(100);

        QString offered;
        int asked = 0;
        QString answer;
        bool accept = true;
        w->interaction()->setLabelAsker([&](const QString &current, bool *ok) {
            ++asked;
            offered = current;
            *ok = accept;
            return answer;
        });
        // Accepted, the label takes the name; cancelled, it keeps its own.
        const struct {
            int bit;
            bool accept;
            const char *answer;
            const char *name;
        } cases[] = {{3, true, "CLK", "CLK"}, {0, true, "MOSI", "MOSI"}, {3, false, "nothing", "CLK"}};
        for (const auto &c : cases) {
            QCPItemText *label = it->logicLabels[c.bit];
            const QString old = label->text();
            accept = c.accept;
            answer = QLatin1String(c.answer);
            asked = 0;
            const QPointF corners = label->topLeft->pixelPosition() + label->bottomRight->pixelPosition();
            QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, (corners / 2).toPoint());
            QVERIFY2(asked == 1, qPrintable(QStringLiteral("bit %1").arg(c.bit)));
            QCOMPARE(offered, old);
            QCOMPARE(label->text(), QLatin1String(c.name));
        }
        // A new name survives the frames that follow.
        w->session()->sendScopeStart();
        QTest::qWait(200);
        QCOMPARE(it->logicLabels[0]->text(), QStringLiteral("MOSI"));

        // Double clicks on empty plot ask nothing.
        asked = 0;
        QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, pixelOf(plot, 1400, 100));
        QCOMPARE(asked, 0);
    }
    void handlesSitInTheMarginsAndLabelsInTheCorners()
    {
        ui->checkBoxCursorVertical->click();
        w->session()->sendScopeStop();
        QTest::qWait(100);
        const QRect box = plot->axisRect()->rect();
        const QColor background = w->scopePlot()->background().color();
        // Pixels of a handle that lie outside the axis box, in the margin.
        auto drawnOutside = [&](QCPItemPixmap *item) {
            plot->replot();
            const QImage picture = plot->grab().toImage();
            const QRect handle = rectOf(item).toRect() & picture.rect();
            int drawn = 0;
            for (int y = handle.top(); y <= handle.bottom(); ++y)
                for (int x = handle.left(); x <= handle.right(); ++x)
                    drawn += !box.contains(x, y) && QColor(picture.pixel(x, y)) != background;
            return drawn;
        };
        QVERIFY(drawnOutside(it->zeroHandle[0]) > 10);
        QVERIFY(drawnOutside(it->vCursorHandle[0]) > 10);

        // Resized, the labels keep to the corners and the handles are placed for the new width at once.
        w->resize(1100, 800);
        QTRY_COMPARE_WITH_TIMEOUT(it->labelDeltaTime->position->coords(), QPointF(plot->width() - 24, 25), 2000);
        const int right = plot->width();
        const int bottom = plot->height();
        QCOMPARE(it->labelFrequency->position->coords(), QPointF(right - 24, 40));
        QCOMPARE(it->labelDeltaVolt->position->coords(), QPointF(right - 149, bottom - 44));
        QCOMPARE(it->labelVoltB->position->coords(), QPointF(right - 149, bottom - 59));
        QCOMPARE(it->labelVoltA->position->coords(), QPointF(right - 149, bottom - 74));
        QVERIFY(near(centreOf(it->vCursorHandle[1]).x(), xPixel(w->cursors()->vertical().positionB)));
        // Scrolled out of view, a cursor's handle is not drawn over the margin.
        plot->xAxis->setRange(1000, 1536);
        QVERIFY(rectOf(it->vCursorHandle[0]).right() < box.left());
        QCOMPARE(drawnOutside(it->vCursorHandle[0]), 0);
    }
    void xyModeThenBadPointersAndAZeroSizePlot()
    {
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(2);
        ui->checkBoxCursorVertical->click();
        ui->checkBoxScopeCursorsHorizontal->click();
        ui->radioButtonNormal->click();
        w->trigger()->model().triggerSetPosition(300, 10);
        w->trigger()->triggerMarkersPlace();
        QTRY_VERIFY_WITH_TIMEOUT(it->hCursorHandle[1]->visible(), 5000);

        // XY hides what belongs to the time axis and shows CH1's zero handle on
        // top; frames keep it that way, and back out everything is as it was.
        const QList<QCPAbstractItem *> timeItems{it->vCursorHandle[0], it->vCursorLine[1], it->labelDeltaTime,
                                                 it->hCursorHandle[0], it->zeroHandle[0],  it->zeroLine[0],
                                                 it->triggerMarker};
        const QCPGraph *ch1 = w->scopePlot()->graphs().ch1;
        for (int step = 0; step < 4; ++step) {
            const bool xy = step == 1 || step == 2;
            if (step == 2)
                QTest::qWait(150);
            else if (step != 0)
                ui->xyMode->click();
            for (QCPAbstractItem *item : timeItems)
                QVERIFY2(item->visible() == !xy, qPrintable(QStringLiteral("step %1").arg(step)));
            QCOMPARE(it->ch1vZeroHandle->visible(), xy);
            QCOMPARE(it->ch1vZeroLine->visible(), xy);
            if (step == 1) {
                QVERIFY(near(centreOf(it->ch1vZeroHandle).x(), xPixel(640))); // CH1's zero, the middle
                QCOMPARE(qRound(rectOf(it->ch1vZeroHandle).top()), 1);
                QCOMPARE(ch1->scatterStyle().shape(), QCPScatterStyle::ssDot);
            }
        }
        QCOMPARE(ch1->lineStyle(), QCPGraph::lsLine);

        // Every handle dragged absurdly far, in each direction: held, never lost.
        const QPointF far[] = {QPointF(1e7, 1e7), QPointF(-1e7, -1e7), QPointF(-1e7, 1e7), QPointF(1e7, -1e7)};
        QCPItemPixmap *handles[] = {it->hCursorHandle[1], it->vCursorHandle[0], it->triggerMarker,
                                    it->zeroHandle[1]};
        MessageCapture log;
        for (QCPItemPixmap *handle : handles) {
            for (const QPointF &to : far) {
                const QPoint at = centreOf(handle);
                press(plot, at);
                QVERIFY(selected() != PlotGeometry::noSelection);
                dragTo(plot, to);
                release(plot, at);
                const QPointF corner = handle->topLeft->pixelPosition();
                QVERIFY(std::isfinite(corner.x()) && std::isfinite(corner.y()));
            }
        }
        const TriggerChannelRecord &trigger = w->trigger()->model().current();
        QVERIFY(trigger.position >= 4 && trigger.position <= 760);
        QVERIFY(qAbs(trigger.level) <= 125);
        QVERIFY(w->cursors()->vertical().positionA >= 8 && w->cursors()->vertical().positionA <= 1528);
        // Wheel turns outside the plot leave the axes as they were.
        turnWheel(plot, QPointF(-5000, -5000), 5);
        turnWheel(plot, QPointF(plot->width() + 5000, 10), -5);
        QCOMPARE(plot->xAxis->range(), QCPRange(0, 1536));

        // A plot squeezed to nothing: redraws, presses, drags and wheel turns
        // go through without a crash and the axes stay finite and in limits.
        plot->setMinimumSize(0, 0);
        ui->plotArea->setMinimumSize(0, 0);
        plot->setFixedSize(0, 0);
        QCoreApplication::processEvents();
        plot->replot();
        QTest::qWait(50);
        w->scopeState()->redrawRequested = true;
        QTest::qWait(50);
        for (QCPItemPixmap *handle : handles) {
            const QPoint at = centreOf(handle);
            press(plot, at);
            dragTo(plot, QPointF(at.x() + 37, at.y() - 53));
            dragTo(plot, QPointF(-1e6, 1e6));
            release(plot, at);
        }
        drag(plot, QPoint(2, qRound(it->zeroHandle[0]->topLeft->pixelPosition().y()) + 4), QPointF(2, 300));
        turnWheel(plot, QPointF(0, 0), 3);
        turnWheel(plot, QPointF(0, 0), -3, Qt::ShiftModifier);
        w->scopePlot()->sizeChanged();
        plot->replot();
        for (QCPAxis *axis : {plot->xAxis, plot->yAxis})
            QVERIFY(std::isfinite(axis->range().lower) && std::isfinite(axis->range().upper));
        QVERIFY(plot->xAxis->range().size() >= 256);
        QVERIFY(plot->yAxis->range().size() >= 512);

        // Grown back, the plot works as before.
        plot->setMinimumSize(0, 0);
        plot->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        QTest::qWait(50);
        plot->replot();
        QVERIFY(plot->axisRect()->width() > 600);
        turnWheel(plot, plotCentre(plot), 1);
        QVERIFY(plot->xAxis->range().size() < 1536);
        // Window and whole window resized to nothing, too.
        w->resize(0, 0);
        QTest::qWait(50);
        plot->replot();
        QVERIFY(w->isVisible());
    }

private:
    // Makes one plot unit one pixel wide, so that pixels map to whole units.
    void unitPixels()
    {
        plot->xAxis->setRange(0, plot->axisRect()->width());
        plot->yAxis->setRange(0, plot->axisRect()->height());
    }
    int selected() const { return w->interaction()->selectedItem(); }
    double xPixel(double key) const { return plot->xAxis->coordToPixel(key); }
    double yPixel(double value) const { return plot->yAxis->coordToPixel(value); }
    VeltoInterface *w = nullptr;
    QCustomPlot *plot = nullptr;
    const ScopeItems *it = nullptr;
    Ui::VeltoInterface *ui = nullptr;
};

QTEST_MAIN(TestPlotInteraction)
#include "tst_plotinteraction.moc"
