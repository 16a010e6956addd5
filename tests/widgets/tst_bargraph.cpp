#include "widgets/bargraph.h"

#include <QImage>
#include <QLabel>
#include <QtTest>

#include <cmath>

class TestBarGraph : public QObject
{
    Q_OBJECT
private:
    // A graph of the given width, shown so that the overlays have a geometry.
    static void prepare(BarGraph &graph, int width)
    {
        graph.resize(width, 10);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
    }

private slots:
    void geometryHelpers()
    {
        BarGraph graph;
        BarGraph::Axis axis;
        QCOMPARE(graph.getBarWidth(axis), 10);
        QCOMPARE(graph.getTickStep(302, axis), 23);
        QCOMPARE(graph.getAxisWidth(23, axis), 290);
        QCOMPARE(graph.getOffset(302, axis), 7);
        QCOMPARE(graph.sizeHint(), QSize(302, 10));
        QCOMPARE(graph.minimumSizeHint(), QSize(26, 10));
        // Narrower than the minimum: still one minor tick between the majors.
        QCOMPARE(graph.getTickStep(10, axis), 1);
        QCOMPARE(graph.getTickStep(0, axis), 1);
        QCOMPARE(graph.addTransparency(QStringLiteral("#123456")), QStringLiteral("#dc123456"));
    }

    void unipolarOverlay()
    {
        BarGraph graph;
        prepare(graph, 302);
        graph.setRange(0, 100);
        graph.setValue(50);
        QVERIFY(!graph.leftOverlay()->isVisible());
        QVERIFY(graph.rightOverlay()->isVisible());
        QCOMPARE(graph.rightOverlay()->geometry(), QRect(152, 0, 302, 10));
        graph.setValue(0);
        QCOMPARE(graph.rightOverlay()->x(), 8);
        graph.setValue(100);
        QCOMPARE(graph.rightOverlay()->x(), 296);
    }

    void valueClampsToRange()
    {
        BarGraph graph;
        prepare(graph, 302);
        graph.setRange(100, 0); // either order
        QCOMPARE(graph.rangeMin(), 0.0);
        QCOMPARE(graph.rangeMax(), 100.0);
        graph.setValue(150);
        QCOMPARE(graph.value(), 100.0);
        graph.setValue(-5);
        QCOMPARE(graph.value(), 0.0);
        graph.setValue(80);
        graph.setRange(0, 50); // narrowing re-clamps the stored value
        QCOMPARE(graph.value(), 50.0);
    }

    void bipolarOverlays()
    {
        BarGraph graph;
        prepare(graph, 302);
        graph.setRange(-24, 24);
        // zero position 7 + 145 = 152; half span 144; the centre tick covers 150 and 151.
        graph.setValue(0);
        QVERIFY(graph.leftOverlay()->isVisible());
        QCOMPARE(graph.rightOverlay()->x(), 152);
        QCOMPARE(graph.leftOverlay()->geometry(), QRect(0, 0, 150, 10));
        graph.setValue(24);
        QCOMPARE(graph.rightOverlay()->x(), 296);
        QCOMPARE(graph.leftOverlay()->geometry(), QRect(0, 0, 150, 10));
        graph.setValue(-24);
        QCOMPARE(graph.rightOverlay()->x(), 152);
        QCOMPARE(graph.leftOverlay()->geometry(), QRect(0, 0, 6, 10));
        graph.setValue(-12);
        QCOMPARE(graph.leftOverlay()->width(), 150 - 72);
    }

    void ticksDrawnWhereCounted()
    {
        BarGraph graph;
        prepare(graph, 302);
        graph.setBarColor(Qt::red);
        graph.setValue(100); // nothing veiled
        const QImage image = graph.grab().toImage();
        const QColor red(Qt::red);
        // Major ticks rise the whole bar width, minor ones only 6 pixels.
        QCOMPARE(QColor(image.pixel(7, 1)), red);   // first major tick (x 6..7)
        QVERIFY(QColor(image.pixel(10, 1)) != red); // first minor tick, short
        QCOMPARE(QColor(image.pixel(10, 8)), red);
        QCOMPARE(QColor(image.pixel(295, 1)), red); // fifth major tick at 96 * 3 + 7
        QVERIFY(QColor(image.pixel(298, 1)) != red); // nothing beyond it
        QVERIFY(QColor(image.pixel(8, 8)) != red);  // the gap between ticks
    }

    void tickWidthBelowOneIsOne()
    {
        BarGraph graph;
        prepare(graph, 302);
        graph.setTickWidth(0);
        QCOMPARE(graph.axis().tickWidth, 1);
        graph.setTickWidth(-3);
        QCOMPARE(graph.axis().tickWidth, 1);
        QCOMPARE(graph.sizeHint().width(), graph.getAxisWidth(24, graph.axis()));
    }

    void resizeRedrawsAndKeepsMinimumHeight()
    {
        BarGraph graph;
        prepare(graph, 302);
        graph.setRange(0, 100);
        graph.setValue(50);
        graph.resize(100, 10);
        QTest::qWait(10);
        const BarGraph::Axis axis = graph.axis();
        const int step = graph.getTickStep(100, axis);
        const int expected = int(std::trunc(50 * (graph.getAxisWidth(step, axis) - 2) / 100.0)) + 1 +
                             graph.getOffset(100, axis);
        QCOMPARE(graph.rightOverlay()->x(), expected);
        graph.setMajorTick(14);
        QCOMPARE(graph.minimumHeight(), 14);
    }

    void badValuesLeaveTheBarAlone()
    {
        BarGraph graph;
        prepare(graph, 302);
        graph.setRange(0, 100);
        graph.setValue(40);
        graph.setValue(std::nan(""));
        QCOMPARE(graph.value(), 40.0);
        graph.setRange(std::nan(""), 5);
        QCOMPARE(graph.rangeMax(), 100.0);
        graph.setValue(INFINITY);
        QCOMPARE(graph.value(), 100.0);
        // An empty range keeps the bar at its start instead of dividing by zero.
        graph.setRange(5, 5);
        QCOMPARE(graph.rightOverlay()->x(), 8);
        // A bipolar range ending at zero.
        graph.setRange(-10, 0);
        graph.setValue(0);
        QCOMPARE(graph.rightOverlay()->x(), 152);
    }

    void overlaysCarryTheTranslucentBackground()
    {
        BarGraph graph;
        prepare(graph, 302);
        graph.setBackgroundColor(QColor(QStringLiteral("#fafafa")));
        QCOMPARE(graph.rightOverlay()->styleSheet(), QStringLiteral("QLabel {background-color: #dcfafafa;}"));
    }
};

QTEST_MAIN(TestBarGraph)
#include "tst_bargraph.moc"
