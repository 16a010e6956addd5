// SPDX-License-Identifier: GPL-3.0-only
#include "widgets/bargraph.h"
#include "widgets/clickablelabel.h"
#include "widgets/collapsiblepanel.h"
#include "widgets/colorbutton.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include <cmath>

// The bar graph, the collapsible panel, the colour button and the clickable label.
class TestSmallWidgets : public QObject
{
    Q_OBJECT
private:
    // A graph of the given width, shown so that the overlays have a geometry.
    static void prepare(BarGraph &graph, int width = 302)
    {
        graph.resize(width, 10);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
    }

    static QToolButton *toggle(CollapsiblePanel &panel)
    {
        return panel.findChild<QToolButton *>(QStringLiteral("__qt__passive_toggleButton"));
    }
    static QCheckBox *checkBox(CollapsiblePanel &panel)
    {
        return panel.findChild<QCheckBox *>(QStringLiteral("__qt__passive_comboBox"));
    }

private slots:
    void geometryHelpers()
    {
        BarGraph graph;
        BarGraph::Axis axis;
        QCOMPARE(QList<int>({graph.getBarWidth(axis), graph.getTickStep(302, axis), graph.getAxisWidth(23, axis),
                             graph.getOffset(302, axis)}),
                 QList<int>({10, 23, 290, 7}));
        QVERIFY(graph.sizeHint() == QSize(302, 10) && graph.minimumSizeHint() == QSize(26, 10));
        // Narrower than the minimum: still one minor tick between the majors.
        QVERIFY(graph.getTickStep(10, axis) == 1 && graph.getTickStep(0, axis) == 1);
        QCOMPARE(graph.addTransparency(QStringLiteral("#123456")), QStringLiteral("#dc123456"));
        graph.setTickWidth(-3);
        QCOMPARE(graph.axis().tickWidth, 1);
        graph.setMajorTick(14);
        QCOMPARE(graph.minimumHeight(), 14);
    }
    void overlays()
    {
        BarGraph graph;
        prepare(graph);
        // Low, high, value; the right overlay's x, the left one's width (-1: hidden, unipolar). The axis
        // runs from x 7 to 296; a bipolar range has its zero at 152 and the centre tick covers 150 and 151.
        const std::tuple<double, double, double, int, int> rows[] = {
            {0, 100, 50, 152, -1},  {0, 100, 0, 8, -1},     {0, 100, 100, 296, -1},
            {100, 0, 100, 296, -1}, // either order
            {0, 100, 150, 296, -1}, // held to the range
            {5, 5, 5, 8, -1},       // an empty range
            {-24, 24, 0, 152, 150}, {-24, 24, 24, 296, 150}, {-24, 24, -24, 152, 6}, {-24, 24, -12, 152, 78},
            {-10, 0, 0, 152, 150}}; // ending at zero
        for (const auto &[low, high, value, rightX, leftWidth] : rows) {
            graph.setRange(low, high);
            graph.setValue(value);
            const QByteArray row = QStringLiteral("%1 .. %2: %3").arg(low).arg(high).arg(value).toLatin1();
            QVERIFY2(graph.rightOverlay()->geometry() == QRect(rightX, 0, 302, 10), row);
            QVERIFY2(graph.leftOverlay()->isVisible() == (leftWidth >= 0), row);
            QVERIFY2(leftWidth < 0 || graph.leftOverlay()->geometry() == QRect(0, 0, leftWidth, 10), row);
        }
    }
    void valueIsHeldToTheRange()
    {
        BarGraph graph;
        prepare(graph);
        graph.setRange(0, 100);
        graph.setValue(80);
        graph.setRange(0, 50); // narrowing re-clamps the stored value
        QCOMPARE(graph.value(), 50.0);
        graph.setValue(std::nan(""));
        graph.setRange(std::nan(""), 5);
        graph.setValue(INFINITY);
        QCOMPARE(QPointF(graph.value(), graph.rangeMax()), QPointF(50, 50));
        // A resize lays the bar out again for the new axis.
        graph.setRange(0, 100);
        graph.setValue(50);
        graph.resize(100, 10);
        QTest::qWait(10);
        const BarGraph::Axis axis = graph.axis();
        QCOMPARE(graph.rightOverlay()->x(), int(std::trunc(50 * (graph.getAxisWidth(graph.getTickStep(100, axis), axis) - 2) / 100.0)) + 1 + graph.getOffset(100, axis));
    }
    void ticksAndBackground()
    {
        BarGraph graph;
        prepare(graph);
        graph.setBarColor(Qt::red);
        graph.setBackgroundColor(QColor(QStringLiteral("#fafafa")));
        graph.setValue(100); // nothing veiled
        QCOMPARE(graph.rightOverlay()->styleSheet(), QStringLiteral("QLabel {background-color: #dcfafafa;}"));
        const QImage image = graph.grab().toImage();
        auto red = [&](int x, int y) { return QColor(image.pixel(x, y)) == QColor(Qt::red); };
        // Major ticks rise the whole bar, minor ones 6 pixels; the fifth major is the last.
        QVERIFY(red(7, 1) && red(10, 8) && red(295, 1));
        QVERIFY(!red(10, 1) && !red(298, 1) && !red(8, 8));
    }
    void panelFoldsChecksAndShowsItsText()
    {
        CollapsiblePanel panel(nullptr);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(panel.isCollapsed()); // an unchecked tool button: folded
        QSignalSpy spy(&panel, &CollapsiblePanel::collapsedChanged);
        QStringList arrows{QString::number(toggle(panel)->arrowType())};
        for (int step = 0; step < 4; ++step) {
            if (step < 2)
                QTest::mouseClick(toggle(panel), Qt::LeftButton);
            else
                panel.setCollapsed(step == 2); // reported even when nothing changes
            arrows << QString::number(toggle(panel)->arrowType()) + QString::number(spy.last().at(0).toBool());
        }
        QCOMPARE(arrows, QStringList({"2", "10", "21", "21", "10"})); // down, up (1), down (2)
        // An icon replaces the arrow; dropping it brings the arrow back.
        QPixmap pixmap(8, 8);
        pixmap.fill(Qt::red);
        panel.setIcon(QIcon(pixmap));
        panel.setCollapsed(true);
        QCOMPARE(toggle(panel)->arrowType(), Qt::NoArrow);
        panel.setIcon(QIcon());
        QCOMPARE(toggle(panel)->arrowType(), Qt::DownArrow);
        // The check box shows only on a checkable panel and reports each change.
        QVERIFY(!checkBox(panel)->isVisible());
        panel.setCheckable(true);
        QSignalSpy checked(&panel, &CollapsiblePanel::checkedChanged);
        panel.setChecked(true);
        QTest::mouseClick(checkBox(panel), Qt::LeftButton);
        QCOMPARE(QList<bool>({checked.at(0).at(0).toBool(), checked.at(1).at(0).toBool(), panel.isChecked()}),
                 QList<bool>({true, false, false}));
        panel.setText(QStringLiteral("1 kHz"));
        auto *text = panel.findChild<QLabel *>(QStringLiteral("__qt__passive_text"));
        QVERIFY(text->isVisible() && text->text() == QLatin1String("1 kHz"));
        panel.setTextVisible(false);
        QVERIFY(!text->isVisible());
    }
    void panelPaintsTheStyleSheetBackground()
    {
        QWidget holder;
        holder.setStyleSheet(QStringLiteral("CollapsiblePanel { background-color: #00ff00; }"));
        auto *panel = new CollapsiblePanel(&holder);
        panel->setTitle(QStringLiteral("Levels"));
        panel->resize(200, 24);
        holder.resize(200, 24);
        holder.show();
        QCOMPARE(QColor(panel->grab().toImage().pixel(150, 12)), QColor(0, 255, 0));
    }
    void colorButtonSwatch()
    {
        ColorButton button(nullptr);
        button.resize(60, 30);
        QCOMPARE(button.swatchRect(), QRect(QPoint(6, 6), QPoint(52, 22)));
        auto red = [&button](int x, int y) { return QColor(button.grab().toImage().pixel(x, y)) == QColor(Qt::red); };
        button.setCurrentColor(Qt::red);
        QVERIFY(red(30, 15) && red(7, 7) && !red(3, 3)); // the swatch, not beyond it
        button.setEnabled(false); // faded over the button face
        QVERIFY(!red(30, 15));
        button.setEnabled(true);
        button.setCurrentColor(QColor()); // an invalid colour paints no swatch
        QVERIFY(!red(30, 15));
    }
    void clickableLabelReportsEveryButton()
    {
        ClickableLabel label(nullptr);
        label.setText(QStringLiteral("base: 1.000 V"));
        label.show();
        QSignalSpy spy(&label, &ClickableLabel::clicked);
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            QTest::mousePress(&label, button);
        QCOMPARE(spy.count(), 3);
    }
};

QTEST_MAIN(TestSmallWidgets)
#include "tst_smallwidgets.moc"
