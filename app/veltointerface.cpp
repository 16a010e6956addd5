#include "app/veltointerface.h"

#include "app/appsettings.h"
#include "app/logging.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStringList>

#include <cstdlib>

VeltoInterface::VeltoInterface(QWidget *parent) : QMainWindow(parent)
{
    terminateProcess = [](int code) { std::exit(code); };
    mainMode = 0;
    setCentralWidget(new QWidget(this));
    changeWindowTitle(QStringLiteral("Interface - Not Connected"));
    setupAppSetting();
    connect(&displayTimer, &QTimer::timeout, this, &VeltoInterface::dataShow);
    connect(&meterTimer, &QTimer::timeout, this, &VeltoInterface::meterRequestData);
    displayTimer.start(displayInterval);
    startingUp = false;
}

VeltoInterface::~VeltoInterface()
{
    displayTimer.stop();
    meterTimer.stop();
}

void VeltoInterface::logToFile(QString message, int level)
{
    veltoLog(message, level, __FILE__, __LINE__, Q_FUNC_INFO);
}

void VeltoInterface::setupAppSetting()
{
    startingUp = true;
    QSettings store;
    QStringList problems;
    const AppSettings::Values values = AppSettings::read(store, &problems);
    for (const QString &key : problems)
        logToFile(QStringLiteral("Application settings: \"%1\" has a value of the wrong type, default used").arg(key),
                  2);
    if (!values.wasMaximized && values.size.isValid()) {
        setGeometry(0, 0, values.size.width(), values.size.height());
        if (QScreen *screen = QGuiApplication::primaryScreen())
            move(AppSettings::centredPosition(screen->geometry(), frameGeometry().size()));
    }
    scopeOptions.theme = values.theme;
    defaultDir = values.defaultDir;
}

void VeltoInterface::saveAppSettings()
{
    logToFile(QStringLiteral("Save application settings"), 0);
    QSettings store;
    AppSettings::write(store, size(), isMaximized(), defaultDir);
}

void VeltoInterface::closeApplication()
{
    if (applicationClosed)
        return;
    applicationClosed = true;
    logToFile(QStringLiteral("Application goes down"), 2);
    displayTimer.stop();
    meterTimer.stop();
    disconnectDevice(true);
    saveAppSettings();
}

void VeltoInterface::closeEvent(QCloseEvent *event)
{
    closeApplication();
    event->accept();
}

void VeltoInterface::on_actionExit_triggered()
{
    logToFile(QStringLiteral("Exit triggered"), 2);
    closeApplication();
    if (terminateProcess)
        terminateProcess(0);
}

void VeltoInterface::changeWindowTitle(QString text)
{
    setWindowTitle(AppSettings::windowTitle(text));
}

void VeltoInterface::dataShow() {}

void VeltoInterface::meterRequestData() {}
