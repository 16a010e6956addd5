// SPDX-License-Identifier: GPL-3.0-only
// The window on a real X server (the suite runs this one under Xvfb, on a
// screen wider than the window): what the offscreen platform cannot show,
// as its one screen is small and fixed.
#include "common/windowtest.h"

#include <QGuiApplication>
#include <QSettings>
#include <QtTest>

class TestWindowOnScreen : public QObject
{
    Q_OBJECT
private slots:
    void meterPageNeitherWidensTheWindowNorNarrowsThePlot()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        useVirtualBench();
        virtualBench().setAttached(false);
        QSettings().setValue(QStringLiteral("size"), QSize(1024, 700));
        VeltoInterface window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(300);
        const int width = window.width();
        QCOMPARE(width, 1024);
        // The meter's read-outs are wider than the scope's controls: the
        // side bar scrolls them in the room the window has (the plot's area
        // keeps half of it), the screen's spare width is not taken.
        window.form()->mainTabWidget->setCurrentIndex(1);
        QTest::qWait(300);
        QCOMPARE(window.width(), width);
        const int plotArea = window.centralWidget()->width();
        QVERIFY2(plotArea >= width / 2, qPrintable(QString::number(plotArea)));
    }
};

QTEST_MAIN(TestWindowOnScreen)
#include "tst_windowonscreen.moc"
