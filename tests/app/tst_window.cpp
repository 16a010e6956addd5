// SPDX-License-Identifier: GPL-3.0-only
// The window's assembly: menus, docks, style, fonts, the status line and the
// dialogs reached from the menu.
#include "common/windowtest.h"
#include "scope/decoderpanel.h"
#include "core/scope/scaletables.h"
#include "widgets/collapsiblepanel.h"

#include <QApplication>
#include <QDockWidget>
#include <QFontDatabase>
#include <QMenu>
#include <QSettings>
#include <QTabWidget>
#include <QTabBar>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QSignalSpy>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QComboBox>
#include <QtTest>

namespace
{
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

    void initTestCase()
    {
        useVirtualBench();
        // These tests look at the window itself; no instrument answers.
        virtualBench().setAttached(false);
    }

    void storedSettingOfTheWrongTypeIsLogged()
    {
        QSettings().setValue(QStringLiteral("size"), QStringLiteral("large"));
        MessageCapture log;
        {
            VeltoInterface window;
            // Said once, as a warning.
            QCOMPARE(log.typesOf(QStringLiteral(
                         "Application settings: \"size\" has a value of the wrong type, default used")),
                     QList<QtMsgType>{QtWarningMsg});
            // Nothing else is taken for a problem: the fonts of the read-outs were all added.
            QCOMPARE(log.count(QStringLiteral("has a value of the wrong type")), 1);
            QVERIFY(!log.contains(QStringLiteral("Font not available")));
            // The generator's eight digits weigh their places, from 100 kHz down to 0.01 Hz.
            Ui::VeltoInterface *ui = window.form();
            QLabel *digits[8] = {ui->labelFrequencyDigit100000, ui->labelFrequencyDigit10000, ui->labelFrequencyDigit1000,
                                 ui->labelFrequencyDigit100,    ui->labelFrequencyDigit10,    ui->labelFrequencyDigit1,
                                 ui->labelFrequencyDigit01,     ui->labelFrequencyDigit001};
            for (int k = 0; k < 8; ++k)
                digits[k]->setText(QString::number(k + 1));
            QCOMPARE(window.generator()->frequencySweep()->frequencyDigitsToFrequency(), 12345678LL);
        }
        QSettings().remove(QStringLiteral("size"));
    }

    void menusInOrderWithShortcuts()
    {
        VeltoInterface window;
        QCOMPARE(window.form()->menuMain->title(), QStringLiteral("Main"));
        QStringList entries, shortcuts, enabled;
        for (const QMenu *menu : {window.form()->menuMain, window.form()->menuHelp})
            for (QAction *action : menu->actions()) {
                entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
                shortcuts << action->shortcut().toString();
                enabled << (action->isEnabled() ? "on" : "off");
            }
        QCOMPARE(entries, QStringList({"Console...", "Import...", "Export...", "Connect...",
                                       "Start/Stop the scope", "Autoset", "Full screen", "Screenshot", "Settings...",
                                       "-", "Exit", "Keyboard and mouse...", "About"}));
        QCOMPARE(shortcuts, QStringList({"Alt+C", "", "", "", "Space", "Alt+A", "F11", "Alt+P", "Alt+S", "", "Alt+X",
                                         "", ""}));
        QCOMPARE(enabled.mid(1, 8), QStringList({"off", "off", "off", "on", "on", "on", "on", "on"}));
        // The Help menu's list names every shortcut of the menus.
        const QString listed = window.shortcutsText();
        for (const char *key : {"Alt+C", "Space", "Alt+A", "F11", "Alt+S", "Alt+X", "Shift + wheel", "Control + drag"})
            QVERIFY2(listed.contains(QLatin1String(key)), key);
        QTextDocument page; // in two straight columns: a row of a two-column table each
        page.setHtml(listed);
        const auto *table = qobject_cast<QTextTable *>(page.rootFrame()->childFrames().value(0));
        QVERIFY(table && table->columns() == 2 && table->rows() == 12);
        // Space presses the start/stop button; F11 toggles full screen.
        QSignalSpy pressed(window.form()->stopButton, &QPushButton::clicked);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(&window, Qt::Key_Space);
        QCOMPARE(pressed.count(), 1);
        QTest::keyClick(&window, Qt::Key_F11);
        QVERIFY(window.windowState() & Qt::WindowFullScreen);
        QTest::keyClick(&window, Qt::Key_F11);
        QVERIFY(!(window.windowState() & Qt::WindowFullScreen));
        window.setTerminateProcess(nullptr);
    }

    // Over an unfocused control the wheel scrolls the side panel; a control
    // that has the focus takes it.
    void wheelScrollsThePanelNotItsControls()
    {
        VeltoInterface window;
        window.resize(1024, 640);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QComboBox *source = window.form()->comboBoxTrigSource;
        QScrollBar *panel = window.findChild<QScrollArea *>(QStringLiteral("scopeScrollArea"))->verticalScrollBar();
        QVERIFY(panel->maximum() > 0);
        auto wheelDown = [](QWidget *widget) {
            QWheelEvent event(QPointF(5, 5), QPointF(widget->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(widget, &event);
        };
        wheelDown(source);
        QCOMPARE(source->currentIndex(), 0);
        QVERIFY(panel->value() > 0);
        wheelDown(window.form()->tabWidget1->findChild<QTabBar *>()); // the CH1, CH2, ... tabs
        QCOMPARE(window.form()->tabWidget1->currentIndex(), 0);
        QApplication::setActiveWindow(&window);
        source->setFocus();
        QTRY_VERIFY(source->hasFocus());
        wheelDown(source);
        QCOMPARE(source->currentIndex(), 1);
        window.setTerminateProcess(nullptr);
    }

    void docksHoldThePagesAndTheGenerator()
    {
        VeltoInterface window;
        Ui::VeltoInterface *ui = window.form();
        // The pages' order is what the meter and sniffer suites choose by index; here their names.
        QTabWidget *tabs = ui->mainTabWidget;
        QCOMPARE(QStringList({tabs->tabText(0), tabs->tabText(1), tabs->tabText(2)}),
                 QStringList({"Oscilloscope", "Meter", "Protocol Sniffer"}));
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(!ui->toolButtonDACOffsetOK->isEnabled());
        QVERIFY(!ui->toolButtonDACGainOK->isEnabled());
        // The placeholder frame matches the trace boxes and the buffer.
        QCOMPARE(window.display()->frame().size(), 48 + 2 * 768);
        QCOMPARE(window.display()->frame().at(0), 'A');
        QVERIFY(ui->dockWidget_scope->isAncestorOf(ui->mainTabWidget));
        QVERIFY(ui->dockWidget_awg->isAncestorOf(ui->scrollArea));
        // The central widget holds the plot area alone.
        for (QWidget *part : QWidgetList{ui->mainTabWidget, ui->scrollArea, ui->infoLabel})
            QVERIFY2(!ui->centralWidget->isAncestorOf(part), qPrintable(part->objectName()));
        QVERIFY(ui->centralWidget->isAncestorOf(ui->plotArea));
        QCOMPARE(window.centralWidget(), ui->centralWidget);
        // A busy text disables the plot area alone: the pages live in the docks and stay usable.
        window.setInfoText(QStringLiteral("Please wait..."), true);
        QCOMPARE(ui->infoLabel->text(), QStringLiteral("Please wait..."));
        QVERIFY(!ui->centralWidget->isEnabled() && ui->mainTabWidget->isEnabled());
        window.setInfoText(QStringLiteral("next"));
        QVERIFY(ui->centralWidget->isEnabled());
        QCOMPARE(ui->infoLabel->text(), QStringLiteral("next"));

        // A 1024 x 640 screen holds the whole window (the offscreen screen is
        // narrower still: the side bars share the right as tabs); a side bar
        // narrower than the page it shows scrolls sideways instead of cutting
        // it off, on every page; and the legend under the plot (with the
        // spectrum's scale and a frame's progress) fits the plot's narrowest width.
        const QList<QDockWidget *> besideScope = window.tabifiedDockWidgets(ui->dockWidget_scope);
        QCOMPARE(QSet<QDockWidget *>(besideScope.begin(), besideScope.end()), (QSet<QDockWidget *>{ui->dockWidget_awg, window.decoders()->dock()}));
        for (int page = 3; page >= 0; --page) {
            ui->mainTabWidget->setCurrentIndex(page);
            for (QScrollArea *bar : window.findChildren<QScrollArea *>())
                QVERIFY2(bar->minimumWidth() >= bar->widget()->minimumSizeHint().width() ||
                             bar->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff,
                         qPrintable(bar->objectName()));
            QVERIFY(window.minimumSizeHint().width() <= 1024);
        }
        for (const QTabWidget *pages : window.findChildren<QTabWidget *>())
            for (int k = 0; k < pages->count(); ++k)
                QVERIFY2(pages->tabText(k) == pages->tabText(k).simplified(), qPrintable(pages->tabText(k)));
        ui->timeLabel->setText(ScaleTables::plotTimeLegend(8, true));
        ui->frameProgressLabel->setText(ScaleTables::frameProgressText(900, 2400));
        QVERIFY2(window.minimumSizeHint().width() <= 1024 && window.minimumSizeHint().height() <= 640,
                 qPrintable(QStringLiteral("%1 x %2").arg(window.minimumSizeHint().width()).arg(window.minimumSizeHint().height())));
        QVERIFY(ui->plotLabelRow->minimumSizeHint().width() <= ui->plotArea->minimumWidth());
    }

    void styleAndFonts()
    {
        VeltoInterface window;
        QVERIFY(window.styleSheet().contains(QStringLiteral("QWidget#VeltoInterface")));
        QVERIFY(window.styleSheet().contains(QStringLiteral("#d1e2f2")));
        QCOMPARE(window.form()->connectLabel->styleSheet(), QStringLiteral("QLabel{font-size: 12px};"));
        // The other systems' sheets and the arrows; the LEDs are seen in the session suite.
        for (const char *resource : {":/themes/theme-win.qss", ":/themes/theme-mac.qss",
                                     ":/icons/arrow-down-gray.png", ":/icons/arrow-up-gray.png"})
            QVERIFY2(QFile::exists(QString::fromLatin1(resource)), resource);
        const QStringList families = QFontDatabase().families();
        QVERIFY(families.contains("Liberation Mono") && families.contains("DejaVu Sans Mono"));
        QCOMPARE(QGuiApplication::font().pointSize(), 10);
    }

    void graphsInDrawingOrder()
    {
        VeltoInterface window;
        QCustomPlot *plot = window.scopePlot()->plot();
        QVERIFY(window.form()->plotArea->isAncestorOf(plot));
        const ScopeGraphs &g = window.scopePlot()->graphs();
        // Later graphs are drawn over earlier ones: CH2 over CH1, each reference over its trace.
        QList<QCPGraph *> order{g.ch1, g.ch1Reference, g.ch2, g.ch2Reference}, drawn;
        for (int k = 0; k < 9; ++k)
            order << g.decay[0][k] << g.decay[1][k];
        for (int bit = 0; bit < 8; ++bit) {
            order << g.logic[bit] << g.logicBase[bit] << g.logicReference[bit];
            QVERIFY(g.logic[bit]->lineStyle() == QCPGraph::lsStepCenter &&
                    g.logicReference[bit]->lineStyle() == QCPGraph::lsStepCenter);
            QVERIFY(!g.logic[bit]->selectable() && g.logicReference[bit]->selectable());
        }
        for (int i = 0; i < plot->graphCount(); ++i)
            drawn << plot->graph(i);
        QCOMPARE(drawn, order << g.fft[0] << g.fft[1]);
        QVERIFY(g.fft[1]->lineStyle() == QCPGraph::lsImpulse && g.ch1->lineStyle() == QCPGraph::lsLine);
        // The two channel traces are drawn two pixels wide, also after a theme change.
        QVERIFY(g.ch1->pen().width() == 2 && g.ch2->pen().width() == 2);
        window.scopePlot()->setTheme(1, nullptr);
        QCOMPARE(g.ch1->pen().width(), 2);
        // The history and the references lie under the live traces, which keep
        // their legend's colour on top.
        for (QCPGraph *under : {g.decay[0][0], g.decay[1][8], g.ch1Reference, g.ch2Reference})
            QVERIFY(under->layer()->index() < g.ch2->layer()->index() && under->layer()->index() < g.ch1->layer()->index());
        // The start shows eight divisions across and the whole height; the scroll
        // bar reaches the rest of the 768-sample frame.
        QVERIFY(plot->yAxis->range().upper == 1280.0 && plot->xAxis->range() == QCPRange(0, 256));
        QScrollBar *bar = window.form()->horizontalScrollBar;
        QCOMPARE(QList<int>({bar->pageStep(), bar->maximum(), bar->value()}), QList<int>({256, 1280, 0}));
    }

    // The scope's Display and Cursors sections and the generator's fold under
    // their panels, whose button shows the fold picture open and the unfold
    // picture folded.
    void panelsFoldTheirSections()
    {
        VeltoInterface window;
        Ui::VeltoInterface *ui = window.form();
        const std::pair<CollapsiblePanel *, QWidget *> sections[] = {
            {ui->collapsiblePanelScopeDisplay, ui->frameScopeDisplay},
            {ui->collapsiblePanelScopeCursors, ui->frameScopeCursors},
            {ui->collapsiblePanelAWGLevels, ui->frameAWGLevels}};
        const auto argb = [](const QPixmap &p) { return p.toImage().convertToFormat(QImage::Format_ARGB32); };
        for (const auto &[panel, frame] : sections) {
            const QIcon icon = panel->icon();
            QCOMPARE(argb(icon.pixmap(16, QIcon::Normal, QIcon::On)), argb(QPixmap(":/icons/fold.png")));
            QCOMPARE(argb(icon.pixmap(16, QIcon::Normal, QIcon::Off)), argb(QPixmap(":/icons/unfold.png")));
            QVERIFY(!panel->isCollapsed() && !frame->isHidden());
            panel->setCollapsed(true);
            QVERIFY(frame->isHidden());
            panel->setCollapsed(false);
            QVERIFY(!frame->isHidden());
        }
    }

    void settingsAndAboutOpenFromTheMenu()
    {
        VeltoInterface window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(openedDialog([&window] { window.form()->actionSettings->trigger(); }),
                 QStringLiteral("Settings"));
        QCOMPARE(openedDialog([&window] { window.form()->actionAbout->trigger(); }), QStringLiteral("About"));
        // Applying the settings reaches the scope configuration: the theme changes the plot.
        auto corner = [&window] {
            return window.scopePlot()->plot()->toPixmap(100, 100).toImage().pixelColor(1, 1);
        };
        const QColor dark = corner();
        window.scopeState()->redrawRequested = false;
        window.scopeOptions().theme = 1;
        emit window.applyConfigurationRequest();
        QVERIFY(window.scopeState()->redrawRequested);
        QVERIFY(corner().lightness() > dark.lightness());
        window.setTerminateProcess([](int) {});
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
