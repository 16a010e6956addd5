#include "app/appsettings.h"
#include "base/logging.h"
#include "app/veltointerface.h"
#include "device/usbseam.h"

#include <QApplication>
#include <QSettings>
#include <QTextCodec>

#include <cstdio>

int main(int argc, char *argv[])
{
    const QByteArray device = qgetenv("VELTO_DEVICE");
    if (backendChoice(device) == BackendChoice::Unknown) {
        // Said on the terminal the variable was set in, before the log takes standard error.
        std::fprintf(stderr, "velto: %s\n", qPrintable(unknownBackendMessage(device)));
        return 2;
    }
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
