// SPDX-License-Identifier: GPL-3.0-only
// The application's settings: what is read and written, and the window that
// restores them and shuts down once.
#include "common/windowtest.h"

#include <QDir>
#include <QScreen>
#include <QSettings>
#include <QtTest>

class TestAppSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        useVirtualBench();
        // The settings land under the temporary home of this test run.
        QVERIFY(QSettings().fileName().startsWith(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"))));
    }
    void init() { QSettings().clear(); }

    void loggingLevelIsWrittenOnlyWhenAbsent()
    {
        QSettings store;
        QCOMPARE(AppSettings::readLoggingLevel(store), 0);
        QList<int> written;
        for (const QVariant &level : {QVariant(), QVariant(4), QVariant(0), QVariant(-1)}) {
            store.remove(QStringLiteral("loggingLevel"));
            if (level.isValid())
                store.setValue(QStringLiteral("loggingLevel"), level);
            AppSettings::write(store, QSize(800, 600), true, QStringLiteral("/tmp"));
            written << AppSettings::readLoggingLevel(store);
        }
        QCOMPARE(written, QList<int>({2, 4, 0, 2}));
        const AppSettings::Values values = AppSettings::read(store);
        QVERIFY(values.size == QSize(800, 600) && values.wasMaximized && values.defaultDir == "/tmp");
        QCOMPARE(AppSettings::centredPosition(QRect(1920, 0, 1280, 1024), QSize(1000, 600)), QPoint(2060, 212));
        // A window larger than the screen sits above and left of it, still centred.
        QCOMPARE(AppSettings::centredPosition(QRect(0, 0, 800, 600), QSize(1000, 800)), QPoint(-100, -100));
        // A 1024 x 640 screen under a 24-pixel panel: the window never opens larger than what is free.
        const QRect small(0, 24, 1024, 616);
        const struct { QSize size; QPoint at; bool known; QRect opens; } places[] = {
            {QSize(), {}, false, small},                                   // a fresh home: all of it
            {QSize(1280, 800), {0, 0}, true, small},                       // left on a larger screen
            {QSize(800, 500), {100, 50}, true, QRect(100, 50, 800, 500)},  // fits: where it was left
            {QSize(800, 500), {600, 300}, true, QRect(112, 82, 800, 500)}, // would hang off: centred
            {QSize(800, 500), {}, false, QRect(112, 82, 800, 500)}};
        for (const auto &p : places)
            QCOMPARE(AppSettings::windowGeometry(small, p.size, p.at, p.known), p.opens);
        QCOMPARE(QList<int>({AppSettings::plotWidthAtLeast(1600), AppSettings::plotWidthAtLeast(800)}),
                 QList<int>({800, 480}));
    }
    void wrongTypesFallBackToDefaultsAndAreNamed()
    {
        QSettings store;
        QStringList problems;
        AppSettings::read(store, &problems);
        QCOMPARE(problems, QStringList()); // absent is no problem
        store.setValue(QStringLiteral("loggingLevel"), QStringLiteral("verbose"));
        store.setValue(QStringLiteral("wasMaximized"), QStringLiteral("perhaps"));
        store.setValue(QStringLiteral("size"), QStringLiteral("huge"));
        store.setValue(QStringLiteral("position"), QStringLiteral("left"));
        store.setValue(QStringLiteral("theme"), QStringLiteral("dark"));
        store.setValue(QStringLiteral("defaultDir"), QString());
        QCOMPARE(AppSettings::readLoggingLevel(store), 0);
        const AppSettings::Values values = AppSettings::read(store, &problems);
        QCOMPARE(problems, QStringList({"wasMaximized", "size", "position", "theme"}));
        QVERIFY(!values.wasMaximized && !values.size.isValid() && values.theme == 0);
        QCOMPARE(values.defaultDir, QDir::homePath());
        // Words a person may write are read; zero or negative sizes are not restored, silently.
        store.setValue(QStringLiteral("wasMaximized"), QStringLiteral(" TRUE "));
        store.setValue(QStringLiteral("theme"), QStringLiteral("2"));
        store.setValue(QStringLiteral("position"), QPoint(5, 6));
        for (const QSize &size : {QSize(0, 500), QSize(640, -1)}) {
            store.setValue(QStringLiteral("size"), size);
            problems.clear();
            const AppSettings::Values read = AppSettings::read(store, &problems);
            QVERIFY(!read.size.isValid() && read.wasMaximized && read.theme == 2);
            QCOMPARE(problems, QStringList());
        }
    }
    void windowRestoresSizeThemeAndFolder()
    {
        {
            QSettings store;
            store.setValue(QStringLiteral("size"), QSize(700, 500));
            store.setValue(QStringLiteral("theme"), 1);
        }
        VeltoInterface window;
        window.setTerminateProcess(nullptr);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(window.geometry(), AppSettings::windowGeometry(available, QSize(700, 500), QPoint(), false));
        QCOMPARE(window.scopeOptions().theme, 1);
        QCOMPARE(window.record()->defaultDir(), QDir::homePath());
        QVERIFY(window.displayTimer().isActive() && window.displayTimer().interval() == 10);
        QVERIFY(!window.meterTimer().isActive());
        // A maximised window keeps the stored size away.
        QSettings().setValue(QStringLiteral("wasMaximized"), true);
        VeltoInterface maximised;
        maximised.setTerminateProcess(nullptr);
        QCOMPARE(maximised.geometry(), available);
    }
    // Closing the window and Exit in the menu each shut down once: the
    // instrument let go, the timers stopped, the settings saved; Exit also ends the process.
    void shutsDownOnce()
    {
        for (bool byExit : {false, true}) {
            QSettings().clear();
            virtualBench().setAttached(true);
            TraceCapture trace;
            MessageCapture log;
            VeltoInterface window;
            QList<int> exitCodes;
            window.setTerminateProcess([&exitCodes](int code) { exitCodes << code; });
            window.resize(640, 480);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            // The window connects by itself once the event loop runs.
            QTRY_COMPARE_WITH_TIMEOUT(window.form()->connectButton->text(), QStringLiteral("Disconnect"),
                                      5000);
            QVERIFY(trace.matching(QStringLiteral("ctrl 0x48")).isEmpty());
            const QSize shown = window.size();
            if (byExit)
                window.form()->actionExit->trigger();
            else
                QVERIFY(window.close());
            QCOMPARE(exitCodes, byExit ? QList<int>{0} : QList<int>());
            QCOMPARE(log.count(QStringLiteral("Exit triggered")), int(byExit));
            QVERIFY(!window.displayTimer().isActive() && !window.meterTimer().isActive());
            QCOMPARE(trace.matching(QStringLiteral("ctrl 0x48 0 0 0 0")).size(), 1);
            QVERIFY(!window.session()->usb().deviceOpened);
            QCOMPARE(window.windowTitle(), QStringLiteral("Velto v.1.2 Interface - Not Connected"));
            // A further close does not shut down again.
            window.show();
            window.close();
            QCOMPARE(QList<int>({log.count("Save application settings"), log.count("Application goes down"),
                                 trace.matching("ctrl 0x48").size()}), QList<int>({1, 1, 1}));
            QCOMPARE(VirtualUsbBackend::shared().openContexts(), 0);
            QCOMPARE(QSettings().value(QStringLiteral("size")).toSize(), shown);
            QCOMPARE(QSettings().value(QStringLiteral("loggingLevel")).toInt(), 2);
        }
        // Without a device the disconnect request is refused and logged, nothing else.
        virtualBench().setAttached(false);
        TraceCapture trace;
        MessageCapture log;
        VeltoInterface lonely;
        QTRY_COMPARE_WITH_TIMEOUT(lonely.form()->infoLabel->text(), QStringLiteral("Cannot open device"), 5000);
        lonely.setTerminateProcess([](int) {});
        log.clear();
        lonely.form()->actionExit->trigger();
        QVERIFY(log.contains("Device not connected") && trace.matching("ctrl 0x48").isEmpty());
        QCOMPARE(log.count(QStringLiteral("Save application settings")), 1);
        virtualBench().setAttached(true);
    }
};

QTEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
