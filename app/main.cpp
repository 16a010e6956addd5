// SPDX-License-Identifier: GPL-3.0-only
#include "app/appsettings.h"
#include "app/commandline.h"
#include "base/logging.h"
#include "app/veltointerface.h"
#include "console/pythonbridge.h"
#include "core/decode/decoderlibrary.h"
#include "device/usbseam.h"
#include "remote/remotecontrol.h"
#include "ui/messagepresenter.h"

#include <QApplication>
#include <QDebug>
#include <QSettings>
#include <QSocketNotifier>
#include <QTextCodec>

#include <csignal>
#include <functional>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
// SIGTERM and SIGINT end Velto as Exit does. The handler only writes a byte
// into a pipe whose other end the event loop watches.
int signalPipe[2] = {-1, -1};

void signalArrived(int)
{
    const char byte = 1;
    const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    (void)ignored;
}

// Headless, nobody could press a message box's OK: its text goes to the log.
class LoggedMessages : public CriticalMessagePresenter
{
public:
    void showCritical(QWidget *, const QString &title, const QString &text) override
    {
        VELTO_LOG(QStringLiteral("%1: %2").arg(title, text), 3);
    }
};

// Calls `end` from the event loop when either signal arrives; false when
// the pipe could not be made.
bool endOnSignals(QObject *owner, std::function<void(int)> end)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [end = std::move(end)] {
        char byte = 0;
        while (::read(signalPipe[0], &byte, 1) > 0) {
        }
        end(0);
    });
    struct sigaction action = {};
    action.sa_handler = signalArrived;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}
} // namespace

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
    // Headless: no display is needed, whatever the environment says.
    if (commandLine.headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Velto paints with the raster engine only. Left to itself, the X11
    // platform sets up GLX at the start, which loads the system's OpenGL
    // driver for nothing: with a software driver some 50 MB of it stay
    // resident. A value the user set wins.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    {
        QSettings store;
        loggingLevel = AppSettings::readLoggingLevel(store);
    }
    const QString logPath = logFilePath(QStringLiteral("velto.log"));
    const bool logged = !logPath.isEmpty() && redirectStandardErrorTo(logPath);
    qInstallMessageHandler(loggingOutput);
    setLogEchoedToTerminal(commandLine.headless);
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
    LoggedMessages loggedMessages;
    if (commandLine.headless)
        setCriticalMessagePresenter(&loggedMessages);
    int code = 0;
    {
        VeltoInterface window;
        // The working folder cannot take the log: the status line says where it went.
        if (logged && logPath != QStringLiteral("velto.log"))
            window.showLogLocation(logPath);
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

        if (commandLine.scpi && !window.remote()->listenAt(commandLine.scpiAddress, commandLine.scpiPort) &&
            commandLine.headless) {
            // Without its server a headless Velto could not be reached at all.
            sayOnTerminal(QStringLiteral("velto: headless, remote control must listen: ending (the log says why)\n"));
            window.closeApplication();
            return 2;
        }
        if (commandLine.headless) {
            VELTO_LOG(QStringLiteral("Headless: no window; SIGTERM or SIGINT ends Velto"), 1);
            if (!endOnSignals(&window, [&window](int status) {
                    VELTO_LOG(QStringLiteral("Signal received: Velto ends"), 1);
                    window.closeApplication();
                    QCoreApplication::exit(status);
                }))
                VELTO_LOG(QStringLiteral("Headless: SIGTERM and SIGINT cannot be caught; they end Velto without saving"), 2);
        } else {
            QSettings store;
            if (store.value(QStringLiteral("wasMaximized"), false).toBool())
                window.showMaximized();
            else
                window.show();
        }
        // Every way out (the window closed, Exit, a script's sys.exit) leaves
        // this loop, so that the interpreter below is ended and a script's
        // files are flushed.
        code = application.exec();
    }
    // The window and everything a script could connect to are gone now.
    // The console lets go of the interpreter, then the decoder library, which
    // started it, ends it.
    PythonBridge::finalize();
    Decode::Library::finalize();
    return code;
}
