// SPDX-License-Identifier: GPL-3.0-only
#include "app/appsettings.h"
#include "app/commandline.h"
#include "base/logging.h"
#include "app/veltointerface.h"
#include "console/pythonbridge.h"
#include "device/usbseam.h"

#include <QApplication>
#include <QDebug>
#include <QSettings>
#include <QTextCodec>

#include <cstdio>

int main(int argc, char *argv[])
{
    AppSettings::setApplicationIdentity();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = parseCommandLine(arguments);
    if (commandLine.outcome != CommandLine::Outcome::Run) {
        std::fputs(qPrintable(commandLine.text), commandLine.exitStatus == 0 ? stdout : stderr);
        return commandLine.exitStatus;
    }
    // The option wins over the variable; the backend reads the variable once, later.
    if (!commandLine.device.isEmpty())
        qputenv("VELTO_DEVICE", commandLine.device.toLocal8Bit());
    const QByteArray device = qgetenv("VELTO_DEVICE");
    if (backendChoice(device) == BackendChoice::Unknown) {
        // Said on the terminal the variable was set in, before the log takes standard error.
        std::fprintf(stderr, "velto: %s\n", qPrintable(unknownBackendMessage(device)));
        return 2;
    }
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    {
        QSettings store;
        loggingLevel = AppSettings::readLoggingLevel(store);
    }
    const QString logPath = logFilePath(QStringLiteral("velto.log"));
    const bool logged = !logPath.isEmpty() && redirectStandardErrorTo(logPath);
    qInstallMessageHandler(loggingOutput);
    if (!logged)
        qWarning().noquote() << QStringLiteral("No folder for velto.log can be written: the log stays on standard error");
    // A script that cannot be read is said before the window and the
    // instrument are touched.
    const QString script = qEnvironmentVariable("VELTO_SCRIPT");
    if (!script.isEmpty() && !startupScriptProblem(script).isEmpty()) {
        sayOnTerminalAndLog(startupScriptProblem(script));
        return 2;
    }
    if (commandLine.trace.isEmpty())
        WireTrace::instance().openFromEnvironment();
    else
        WireTrace::instance().setFile(commandLine.trace);

    QApplication application(argc, argv);
    int code = 0;
    {
        VeltoInterface window;
        // The working folder cannot take the log: the status line says where it went.
        if (logged && logPath != QStringLiteral("velto.log"))
            window.showLogLocation(logPath);
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

        QSettings store;
        if (store.value(QStringLiteral("wasMaximized"), false).toBool())
            window.showMaximized();
        else
            window.show();
        // Every way out (the window closed, Exit, a script's sys.exit) leaves
        // this loop, so that the interpreter below is ended and a script's
        // files are flushed.
        code = application.exec();
    }
    // The window and everything a script could connect to are gone now.
    PythonBridge::finalize();
    return code;
}
