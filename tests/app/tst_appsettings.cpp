#include "app/appsettings.h"
#include "app/veltointerface.h"
#include "device/devicesession.h"
#include "scope/scopedisplay.h"
#include "common/testsupport.h"
#include "device/virtual/virtualusbbackend.h"
#include "ui_veltointerface.h"

#include <QDir>
#include <QScreen>
#include <QSettings>
#include <QtTest>

class TestAppSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void firstRunWritesLoggingLevelTwoOnce();
    void wrongTypesFallBackToDefaults();
    void centredOnScreen();
    void windowTitleFormat();
    void windowRestoresSizeThemeAndFolder();
    void maximisedStateKeepsStoredSizeAway();
    void closingTheWindowShutsDownOnce();
    void exitActionShutsDownOnceAndTerminates();
};

void TestAppSettings::initTestCase()
{
    qputenv("VELTO_DEVICE", "virtual");
    AppSettings::setApplicationIdentity();
    // The settings land under the temporary home of this test run.
    QVERIFY(QSettings().fileName().startsWith(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"))));
}

void TestAppSettings::init()
{
    QSettings().clear();
}

void TestAppSettings::firstRunWritesLoggingLevelTwoOnce()
{
    QSettings store;
    QCOMPARE(AppSettings::readLoggingLevel(store), 0);
    AppSettings::write(store, QSize(800, 600), false, QStringLiteral("/tmp"));
    QCOMPARE(store.value(QStringLiteral("loggingLevel")).toInt(), 2);
    QCOMPARE(AppSettings::readLoggingLevel(store), 2);
    // A level the user chose is never overwritten.
    store.setValue(QStringLiteral("loggingLevel"), 4);
    AppSettings::write(store, QSize(800, 600), false, QStringLiteral("/tmp"));
    QCOMPARE(store.value(QStringLiteral("loggingLevel")).toInt(), 4);
    store.setValue(QStringLiteral("loggingLevel"), 0);
    AppSettings::write(store, QSize(800, 600), false, QStringLiteral("/tmp"));
    QCOMPARE(store.value(QStringLiteral("loggingLevel")).toInt(), 0);
    QCOMPARE(store.value(QStringLiteral("size")).toSize(), QSize(800, 600));
    QCOMPARE(store.value(QStringLiteral("defaultDir")).toString(), QStringLiteral("/tmp"));
}

void TestAppSettings::wrongTypesFallBackToDefaults()
{
    QSettings store;
    store.setValue(QStringLiteral("loggingLevel"), QStringLiteral("verbose"));
    store.setValue(QStringLiteral("wasMaximized"), QStringLiteral("perhaps"));
    store.setValue(QStringLiteral("size"), QStringLiteral("huge"));
    store.setValue(QStringLiteral("theme"), QStringLiteral("dark"));
    QCOMPARE(AppSettings::readLoggingLevel(store), 0);
    QStringList problems;
    const AppSettings::Values values = AppSettings::read(store, &problems);
    QCOMPARE(values.wasMaximized, false);
    QVERIFY(!values.size.isValid());
    QCOMPARE(values.theme, 0);
    QCOMPARE(values.defaultDir, QDir::homePath());
    QVERIFY(problems.contains(QStringLiteral("wasMaximized")));
    QVERIFY(problems.contains(QStringLiteral("theme")));

    // Zero or negative dimensions are not restored.
    store.setValue(QStringLiteral("size"), QSize(0, 500));
    QVERIFY(!AppSettings::read(store).size.isValid());
    store.setValue(QStringLiteral("size"), QSize(640, -1));
    QVERIFY(!AppSettings::read(store).size.isValid());
}

void TestAppSettings::centredOnScreen()
{
    QCOMPARE(AppSettings::centredPosition(QRect(0, 0, 1920, 1080), QSize(1000, 600)), QPoint(460, 240));
    QCOMPARE(AppSettings::centredPosition(QRect(1920, 0, 1280, 1024), QSize(1280, 1024)), QPoint(1920, 0));
    // A window larger than the screen sits above and left of it, still centred.
    QCOMPARE(AppSettings::centredPosition(QRect(0, 0, 800, 600), QSize(1000, 800)), QPoint(-100, -100));
}

void TestAppSettings::windowTitleFormat()
{
    QCOMPARE(AppSettings::windowTitle(QStringLiteral("Interface - USB Connected")),
             QStringLiteral("Velto v.1.2   Interface - USB Connected"));
}

void TestAppSettings::windowRestoresSizeThemeAndFolder()
{
    {
        QSettings store;
        store.setValue(QStringLiteral("size"), QSize(900, 700));
        store.setValue(QStringLiteral("wasMaximized"), false);
        store.setValue(QStringLiteral("theme"), 1);
    }
    VeltoInterface window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Velto v.1.2   Interface - Not Connected"));
    QCOMPARE(window.size(), QSize(900, 700));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(window.pos(), AppSettings::centredPosition(screen, window.frameGeometry().size()));
    QCOMPARE(window.scopeOptions().theme, 1);
    QCOMPARE(window.display()->defaultDir(), QDir::homePath());
    QVERIFY(window.displayTimer().isActive());
    QCOMPARE(window.displayTimer().interval(), 4);
    QVERIFY(!window.meterTimer().isActive());
    QCOMPARE(window.mainMode(), 0);
    window.setTerminateProcess(nullptr);
}

void TestAppSettings::maximisedStateKeepsStoredSizeAway()
{
    {
        QSettings store;
        store.setValue(QStringLiteral("size"), QSize(333, 222));
        store.setValue(QStringLiteral("wasMaximized"), true);
        store.setValue(QStringLiteral("defaultDir"), QStringLiteral("/srv/waves"));
    }
    VeltoInterface window;
    QVERIFY(window.size() != QSize(333, 222));
    QCOMPARE(window.display()->defaultDir(), QStringLiteral("/srv/waves"));
}

void TestAppSettings::closingTheWindowShutsDownOnce()
{
    VirtualUsbBackend::shared().instrument().setAttached(true);
    TraceCapture trace;
    MessageCapture log;
    VeltoInterface window;
    window.resize(640, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The window connects by itself once the event loop runs.
    QTRY_COMPARE_WITH_TIMEOUT(window.form()->connectButton->text(), QStringLiteral("Disconnect"), 5000);
    QVERIFY(window.session()->usb().deviceOpened);
    QVERIFY(trace.matching(QStringLiteral("ctrl 0x48")).isEmpty());
    const QSize shown = window.size();
    QVERIFY(window.close());
    QVERIFY(!window.displayTimer().isActive());
    QVERIFY(!window.meterTimer().isActive());
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x48 0 0 0 0")).size(), 1);
    QCOMPARE(log.count(QStringLiteral("Save application settings")), 1);
    QCOMPARE(log.count(QStringLiteral("Application goes down")), 1);
    QVERIFY(!window.session()->usb().deviceOpened);
    QCOMPARE(window.windowTitle(), QStringLiteral("Velto v.1.2   Interface - Not Connected"));
    QCOMPARE(QSettings().value(QStringLiteral("size")).toSize(), shown);
    QCOMPARE(QSettings().value(QStringLiteral("loggingLevel")).toInt(), 2);

    // A second close does not shut down twice.
    window.show();
    window.close();
    QCOMPARE(log.count(QStringLiteral("Save application settings")), 1);
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x48")).size(), 1);
    QCOMPARE(VirtualUsbBackend::shared().openContexts(), 0);
}

void TestAppSettings::exitActionShutsDownOnceAndTerminates()
{
    TraceCapture trace;
    MessageCapture log;
    VeltoInterface window;
    QList<int> exitCodes;
    window.setTerminateProcess([&exitCodes](int code) { exitCodes << code; });
    QTRY_COMPARE_WITH_TIMEOUT(window.form()->connectButton->text(), QStringLiteral("Disconnect"), 5000);
    QVERIFY(trace.matching(QStringLiteral("ctrl 0x48")).isEmpty());
    window.form()->actionExit->trigger();
    QCOMPARE(exitCodes, QList<int>{0});
    QCOMPARE(log.count(QStringLiteral("Exit triggered")), 1);
    QCOMPARE(log.count(QStringLiteral("Save application settings")), 1);
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x48 0 0 0 0")).size(), 1);
    QVERIFY(!window.displayTimer().isActive());
    QVERIFY(!window.meterTimer().isActive());
    window.close();
    QCOMPARE(log.count(QStringLiteral("Save application settings")), 1);

    // Without a device the disconnect request is refused and logged, nothing else.
    VirtualUsbBackend::shared().instrument().setAttached(false);
    VeltoInterface lonely;
    QTRY_COMPARE_WITH_TIMEOUT(lonely.form()->infoLabel->text(), QStringLiteral("Cannot open device"), 5000);
    lonely.setTerminateProcess([](int) {});
    log.clear();
    lonely.form()->actionExit->trigger();
    QVERIFY(log.contains(QStringLiteral("Device not connected")));
    QCOMPARE(trace.matching(QStringLiteral("ctrl 0x48")).size(), 1);
    QCOMPARE(log.count(QStringLiteral("Save application settings")), 1);
    VirtualUsbBackend::shared().instrument().setAttached(true);
}

QTEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
