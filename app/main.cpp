#include "app/appsettings.h"
#include "base/logging.h"
#include "app/veltointerface.h"
#include "device/usbseam.h"

#include <QApplication>
#include <QSettings>
#include <QTextCodec>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    AppSettings::setApplicationIdentity();
    {
        QSettings store;
        loggingLevel = AppSettings::readLoggingLevel(store);
    }
    redirectStandardErrorTo(QStringLiteral("velto.log"));
    qInstallMessageHandler(loggingOutput);
    WireTrace::instance().openFromEnvironment();

    QApplication application(argc, argv);
    VeltoInterface window;
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

    QSettings store;
    if (store.value(QStringLiteral("wasMaximized"), false).toBool())
        window.showMaximized();
    else
        window.show();
    return application.exec();
}
