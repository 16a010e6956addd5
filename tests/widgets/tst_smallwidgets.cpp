#include "widgets/clickablelabel.h"
#include "widgets/collapsiblepanel.h"
#include "widgets/colorbutton.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

class TestSmallWidgets : public QObject
{
    Q_OBJECT
private:
    static QToolButton *toggle(CollapsiblePanel &panel)
    {
        return panel.findChild<QToolButton *>(QStringLiteral("__qt__passive_toggleButton"));
    }
    static QCheckBox *checkBox(CollapsiblePanel &panel)
    {
        return panel.findChild<QCheckBox *>(QStringLiteral("__qt__passive_comboBox"));
    }

private slots:
    void panelChildrenAndProperties()
    {
        CollapsiblePanel panel(nullptr);
        QVERIFY(toggle(panel));
        QVERIFY(checkBox(panel));
        QVERIFY(panel.findChild<QLabel *>(QStringLiteral("__qt__passive_label")));
        QVERIFY(panel.findChild<QLabel *>(QStringLiteral("__qt__passive_text")));
        QVERIFY(toggle(panel)->isCheckable());
        QVERIFY(panel.isCollapsed()); // an unchecked tool button: folded

        panel.setTitle(QStringLiteral("Sweep"));
        panel.setText(QStringLiteral("1 kHz"));
        panel.setIconSize(QSize(20, 12));
        QCOMPARE(panel.title(), QStringLiteral("Sweep"));
        QCOMPARE(panel.text(), QStringLiteral("1 kHz"));
        QCOMPARE(panel.iconSize(), QSize(20, 12));
        QCOMPARE(panel.property("title").toString(), QStringLiteral("Sweep"));

        panel.show();
        QVERIFY(!checkBox(panel)->isVisible());
        panel.setCheckable(true);
        QVERIFY(panel.isCheckable());
        QVERIFY(checkBox(panel)->isVisible());
        panel.setTextVisible(false);
        QVERIFY(!panel.isTextVisible());
        QVERIFY(!panel.findChild<QLabel *>(QStringLiteral("__qt__passive_text"))->isVisible());
    }

    void setCollapsedEmitsEveryTime()
    {
        CollapsiblePanel panel(nullptr);
        QSignalSpy spy(&panel, &CollapsiblePanel::collapsedChanged);
        panel.setCollapsed(true);
        panel.setCollapsed(true);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QCOMPARE(spy.at(1).at(0).toBool(), true);
        panel.setCollapsed(false);
        QCOMPARE(spy.last().at(0).toBool(), false);
        QVERIFY(!panel.isCollapsed());
        QVERIFY(toggle(panel)->isChecked());
    }

    void arrowFollowsStateWithoutIcon()
    {
        CollapsiblePanel panel(nullptr);
        panel.setCollapsed(false);
        QCOMPARE(toggle(panel)->arrowType(), Qt::UpArrow);
        panel.setCollapsed(true);
        QCOMPARE(toggle(panel)->arrowType(), Qt::DownArrow);

        QPixmap pixmap(8, 8);
        pixmap.fill(Qt::red);
        panel.setIcon(QIcon(pixmap));
        QCOMPARE(toggle(panel)->arrowType(), Qt::NoArrow);
        QVERIFY(!panel.icon().isNull());
        panel.setCollapsed(false);
        QCOMPARE(toggle(panel)->arrowType(), Qt::NoArrow);
        // Dropping the icon brings the arrow back.
        panel.setIcon(QIcon());
        QCOMPARE(toggle(panel)->arrowType(), Qt::UpArrow);
    }

    void clickingTheToggleButtonFlipsAndReports()
    {
        CollapsiblePanel panel(nullptr);
        panel.show();
        QSignalSpy spy(&panel, &CollapsiblePanel::collapsedChanged);
        QTest::mouseClick(toggle(panel), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), false);
        QCOMPARE(toggle(panel)->arrowType(), Qt::UpArrow);
        QTest::mouseClick(toggle(panel), Qt::LeftButton);
        QCOMPARE(spy.last().at(0).toBool(), true);
    }

    void checkedFromCodeAndFromClick()
    {
        CollapsiblePanel panel(nullptr);
        panel.setCheckable(true);
        panel.show();
        QSignalSpy spy(&panel, &CollapsiblePanel::checkedChanged);
        panel.setChecked(true);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QVERIFY(panel.isChecked());
        QTest::mouseClick(checkBox(panel), Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toBool(), false);
        QVERIFY(!panel.isChecked());
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
        const QImage image = panel->grab().toImage();
        QCOMPARE(QColor(image.pixel(150, 12)), QColor(0, 255, 0));
    }

    void colorButtonSwatch()
    {
        ColorButton button(nullptr);
        QVERIFY(!button.currentColor().isValid());
        button.resize(60, 30);
        QCOMPARE(button.swatchRect(), QRect(QPoint(6, 6), QPoint(52, 22)));

        button.setCurrentColor(QColor(255, 0, 0));
        QCOMPARE(button.currentColor(), QColor(255, 0, 0));
        const QImage enabled = button.grab().toImage();
        QCOMPARE(QColor(enabled.pixel(30, 15)), QColor(255, 0, 0));
        QCOMPARE(QColor(enabled.pixel(20, 10)), QColor(255, 0, 0));

        // Disabled: the same colour at alpha 50 over the button face, no longer pure red.
        button.setEnabled(false);
        const QColor faded = QColor(button.grab().toImage().pixel(30, 15));
        QVERIFY(faded != QColor(255, 0, 0));
        QVERIFY(faded.red() > faded.green());

        // An invalid colour paints without crashing and leaves no red behind.
        button.setEnabled(true);
        button.setCurrentColor(QColor());
        QVERIFY(QColor(button.grab().toImage().pixel(30, 15)) != QColor(255, 0, 0));
    }

    void clickableLabelReportsEveryButton()
    {
        ClickableLabel label(nullptr);
        label.setText(QStringLiteral("base: 1.000 V"));
        label.show();
        QSignalSpy spy(&label, &ClickableLabel::clicked);
        QTest::mousePress(&label, Qt::LeftButton);
        QTest::mousePress(&label, Qt::RightButton);
        QTest::mousePress(&label, Qt::MiddleButton);
        QCOMPARE(spy.count(), 3);
    }
};

QTEST_MAIN(TestSmallWidgets)
#include "tst_smallwidgets.moc"
