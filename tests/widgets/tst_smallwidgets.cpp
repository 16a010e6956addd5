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
    void panelFoldsFromCodeAndByClick()
    {
        CollapsiblePanel panel(nullptr);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(panel.isCollapsed()); // an unchecked tool button: folded
        QCOMPARE(toggle(panel)->arrowType(), Qt::DownArrow);
        QSignalSpy spy(&panel, &CollapsiblePanel::collapsedChanged);
        QTest::mouseClick(toggle(panel), Qt::LeftButton);
        QTest::mouseClick(toggle(panel), Qt::LeftButton);
        panel.setCollapsed(true); // reported even when nothing changes
        panel.setCollapsed(false);
        QCOMPARE(spy.count(), 4);
        QCOMPARE(QList<bool>({spy.at(0).at(0).toBool(), spy.at(1).at(0).toBool(), spy.at(2).at(0).toBool(),
                              spy.at(3).at(0).toBool()}),
                 QList<bool>({false, true, true, false}));
        QVERIFY(!panel.isCollapsed());
        QCOMPARE(toggle(panel)->arrowType(), Qt::UpArrow);
        // An icon replaces the arrow; dropping it brings the arrow back.
        QPixmap pixmap(8, 8);
        pixmap.fill(Qt::red);
        panel.setIcon(QIcon(pixmap));
        QCOMPARE(toggle(panel)->arrowType(), Qt::NoArrow);
        panel.setCollapsed(true);
        QCOMPARE(toggle(panel)->arrowType(), Qt::NoArrow);
        panel.setIcon(QIcon());
        QCOMPARE(toggle(panel)->arrowType(), Qt::DownArrow);
    }

    void panelCheckBoxAndText()
    {
        CollapsiblePanel panel(nullptr);
        panel.setTitle(QStringLiteral("Sweep"));
        panel.setText(QStringLiteral("1 kHz"));
        QCOMPARE(panel.property("title").toString(), QStringLiteral("Sweep"));
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(!checkBox(panel)->isVisible());
        panel.setCheckable(true);
        QVERIFY(checkBox(panel)->isVisible());
        QSignalSpy spy(&panel, &CollapsiblePanel::checkedChanged);
        panel.setChecked(true);
        QTest::mouseClick(checkBox(panel), Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QCOMPARE(spy.at(1).at(0).toBool(), false);
        QVERIFY(!panel.isChecked());
        auto *text = panel.findChild<QLabel *>(QStringLiteral("__qt__passive_text"));
        QCOMPARE(text->text(), QStringLiteral("1 kHz"));
        QVERIFY(text->isVisible());
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
        button.setCurrentColor(QColor(255, 0, 0));
        const QImage enabled = button.grab().toImage();
        QCOMPARE(QColor(enabled.pixel(30, 15)), QColor(255, 0, 0));
        QCOMPARE(QColor(enabled.pixel(7, 7)), QColor(255, 0, 0));
        QVERIFY(QColor(enabled.pixel(3, 3)) != QColor(255, 0, 0)); // outside the swatch
        // Disabled: the colour faded over the button face.
        button.setEnabled(false);
        const QColor faded = QColor(button.grab().toImage().pixel(30, 15));
        QVERIFY(faded != QColor(255, 0, 0) && faded.red() > faded.green());
        // An invalid colour paints no swatch.
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
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            QTest::mousePress(&label, button);
        QCOMPARE(spy.count(), 3);
    }
};

QTEST_MAIN(TestSmallWidgets)
#include "tst_smallwidgets.moc"
