// The window's assembly: menus, docks, style, fonts, the status line and the
// dialogs reached from the menu.
#include "app/appsettings.h"
#include "app/veltointerface.h"
#include "device/virtual/virtualusbbackend.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QDockWidget>
#include <QFontDatabase>
#include <QMenu>
#include <QTabWidget>
#include <QtTest>

namespace {
// Runs `action` and returns the class name of the modal dialog it opened, closing it.
QString openedDialog(const std::function<void()> &action)
{
    QString seen;
    QTimer::singleShot(50, [&seen] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            seen = QString::fromLatin1(modal->metaObject()->className());
            modal->close();
        }
    });
    action();
    return seen;
}
} // namespace

class TestWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void menusInOrderWithShortcuts();
    void docksHoldTheTabsAndTheGenerator();
    void modeTabsAndPages();
    void styleAndFonts();
    void busyTextDisablesThePlotArea();
    void graphsInDrawingOrder();
    void settingsAndAboutOpenFromTheMenu();
};

void TestWindow::initTestCase()
{
    qputenv("VELTO_DEVICE", "virtual");
    AppSettings::setApplicationIdentity();
    // These tests look at the window itself; no instrument answers.
    VirtualUsbBackend::shared().instrument().setAttached(false);
}

void TestWindow::menusInOrderWithShortcuts()
{
    VeltoInterface window;
    QCOMPARE(window.ui->menuMain->title(), QStringLiteral("Main"));
    QStringList entries;
    for (QAction *action : window.ui->menuMain->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(entries, QStringList({"Console...", "Import...", "Export...", "Connect...", "Settings...", "-", "Exit"}));
    QCOMPARE(window.ui->actionConsole->shortcut(), QKeySequence(QStringLiteral("Alt+C")));
    QCOMPARE(window.ui->actionSettings->shortcut(), QKeySequence(QStringLiteral("Alt+S")));
    QCOMPARE(window.ui->actionExit->shortcut(), QKeySequence(QStringLiteral("Alt+X")));
    QVERIFY(!window.ui->actionImport->isEnabled());
    QVERIFY(!window.ui->actionExport->isEnabled());
    QVERIFY(!window.ui->actionConnect->isEnabled());
    QVERIFY(window.ui->actionSettings->isEnabled());
    QCOMPARE(window.ui->menuHelp->actions().size(), 1);
    QCOMPARE(window.ui->menuHelp->actions().first()->text(), QStringLiteral("About"));
    window.terminateProcess = nullptr;
}

void TestWindow::docksHoldTheTabsAndTheGenerator()
{
    VeltoInterface window;
    QVERIFY(window.ui->dockWidget_scope->isAncestorOf(window.ui->mainTabWidget));
    QVERIFY(window.ui->dockWidget_awg->isAncestorOf(window.ui->scrollArea));
    // The central widget holds the plot area alone.
    QVERIFY(!window.ui->centralWidget->isAncestorOf(window.ui->mainTabWidget));
    QVERIFY(!window.ui->centralWidget->isAncestorOf(window.ui->scrollArea));
    QVERIFY(!window.ui->centralWidget->isAncestorOf(window.ui->infoLabel));
    QVERIFY(window.ui->centralWidget->isAncestorOf(window.ui->plotArea));
    QCOMPARE(window.centralWidget(), window.ui->centralWidget);
}

void TestWindow::modeTabsAndPages()
{
    VeltoInterface window;
    QTabWidget *tabs = window.ui->mainTabWidget;
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->widget(0), window.ui->osciloscopeTab);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Oscilloscope"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Meter"));
    QCOMPARE(tabs->widget(2), window.ui->protocolSnifferTab);
    QCOMPARE(tabs->tabText(2), QStringLiteral("Protocol Sniffer"));
    QCOMPARE(tabs->widget(3), window.ui->optionsTab);
    const QList<QWidget *> channelPages = {window.ui->ch1Tab, window.ui->ch2Tab, window.ui->logicTab,
                                           window.ui->fftTab, window.ui->refTab};
    for (int i = 0; i < channelPages.size(); ++i)
        QCOMPARE(window.ui->tabWidget1->widget(i), channelPages.at(i));
    QCOMPARE(window.ui->mmTabWidget->count(), 3);
    const QList<QWidget *> protocols = {window.ui->spiTab, window.ui->i2cTab, window.ui->uartTab,
                                        window.ui->parallelTab};
    for (int i = 0; i < protocols.size(); ++i)
        QCOMPARE(window.ui->protocolTabWidget->widget(i), protocols.at(i));
    QVERIFY(!window.ui->toolButtonDACOffsetOK->isEnabled());
    QVERIFY(!window.ui->toolButtonDACGainOK->isEnabled());
    QCOMPARE(window.samplesPerChannel, 768);
    QVERIFY(window.displayTimer.isActive());
    QCOMPARE(window.displayTimer.interval(), 4);
    // The placeholder frame matches the trace boxes and the buffer.
    QCOMPARE(window.frameCache.size(), 48 + 2 * 768);
    QCOMPARE(window.frameCache.at(0), 'A');
}

void TestWindow::styleAndFonts()
{
    VeltoInterface window;
    QVERIFY(window.styleSheet().contains(QStringLiteral("QWidget#VeltoInterface")));
    QVERIFY(window.styleSheet().contains(QStringLiteral("#d1e2f2")));
    QCOMPARE(window.ui->connectLabel->styleSheet(), QStringLiteral("QLabel{font-size: 12px};"));
    for (const char *sheet : {":/themes/theme-linux.qss", ":/themes/theme-win.qss", ":/themes/theme-mac.qss"})
        QVERIFY2(QFile::exists(QString::fromLatin1(sheet)), sheet);
    for (const char *icon : {":/icons/led-on.png", ":/icons/led-off.png", ":/icons/arrow-down-gray.png",
                             ":/icons/arrow-up-gray.png"})
        QVERIFY2(!QPixmap(QString::fromLatin1(icon)).isNull(), icon);
    const QStringList families = QFontDatabase().families();
    QVERIFY(families.contains(QStringLiteral("Liberation Mono")));
    QVERIFY(families.contains(QStringLiteral("DejaVu Sans Mono")));
    QCOMPARE(QGuiApplication::font().pointSize(), 10);
}

void TestWindow::busyTextDisablesThePlotArea()
{
    VeltoInterface window;
    window.setInfoText(QStringLiteral("Please wait..."), true);
    QCOMPARE(window.ui->infoLabel->text(), QStringLiteral("Please wait..."));
    QVERIFY(!window.ui->centralWidget->isEnabled());
    // The tabs live in the docks and stay usable.
    QVERIFY(window.ui->mainTabWidget->isEnabled());
    window.setInfoText(QStringLiteral("next"));
    QVERIFY(window.ui->centralWidget->isEnabled());
    QCOMPARE(window.ui->infoLabel->text(), QStringLiteral("next"));
}

void TestWindow::graphsInDrawingOrder()
{
    VeltoInterface window;
    QCustomPlot *plot = window.customPlot;
    QVERIFY(window.ui->plotArea->isAncestorOf(plot));
    QCOMPARE(plot->graphCount(), 48);
    QCOMPARE(plot->graph(0), window.ch1Graph);
    QCOMPARE(plot->graph(1), window.ch1RefGraph);
    QCOMPARE(plot->graph(2), window.ch2Graph);
    QCOMPARE(plot->graph(3), window.ch2RefGraph);
    for (int k = 0; k < 9; ++k) {
        QCOMPARE(plot->graph(4 + 2 * k), window.decayGraphs[0][k]);
        QCOMPARE(plot->graph(5 + 2 * k), window.decayGraphs[1][k]);
    }
    for (int bit = 0; bit < 8; ++bit) {
        QCOMPARE(plot->graph(22 + 3 * bit), window.logicGraphs[bit]);
        QCOMPARE(plot->graph(23 + 3 * bit), window.logicBaseGraphs[bit]);
        QCOMPARE(plot->graph(24 + 3 * bit), window.logicRefGraphs[bit]);
        QCOMPARE(window.logicGraphs[bit]->lineStyle(), QCPGraph::lsStepCenter);
        QCOMPARE(window.logicRefGraphs[bit]->lineStyle(), QCPGraph::lsStepCenter);
        QVERIFY(!window.logicGraphs[bit]->selectable());
        QVERIFY(window.logicRefGraphs[bit]->selectable());
    }
    QCOMPARE(plot->graph(46), window.fftGraphs[0]);
    QCOMPARE(plot->graph(47)->lineStyle(), QCPGraph::lsImpulse);
    QCOMPARE(window.ch1Graph->lineStyle(), QCPGraph::lsLine);
    // The two channel traces are drawn two pixels wide, also after a theme change.
    QCOMPARE(window.ch1Graph->pen().width(), 2);
    QCOMPARE(window.ch2Graph->pen().width(), 2);
    window.setTheme(1, nullptr);
    QCOMPARE(window.ch1Graph->pen().width(), 2);
    QCOMPARE(plot->yAxis->range().upper, 1280.0);
    QCOMPARE(plot->xAxis->range().upper, 1536.0);
}

void TestWindow::settingsAndAboutOpenFromTheMenu()
{
    VeltoInterface window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(openedDialog([&window] { window.ui->actionSettings->trigger(); }), QStringLiteral("Settings"));
    QCOMPARE(openedDialog([&window] { window.ui->actionAbout->trigger(); }), QStringLiteral("About"));
    QCOMPARE(openedDialog([&window] { window.callSettings(QStringLiteral("PythonConsole")); }),
             QStringLiteral("Settings"));
    // Applying the settings reaches the scope configuration: the theme changes the plot.
    auto corner = [&window] { return window.customPlot->toPixmap(100, 100).toImage().pixelColor(1, 1); };
    const QColor dark = corner();
    window.redrawRequested = false;
    window.scopeOptions.theme = 1;
    window.applyModuleConfiguration();
    QVERIFY(window.redrawRequested);
    QVERIFY(corner().lightness() > dark.lightness());
    window.terminateProcess = [](int) {};
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
