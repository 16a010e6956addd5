// SPDX-License-Identifier: GPL-3.0-only
#include "app/commandline.h"

#include "base/logging.h"
#include "ui/buildstamp.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

namespace {

// The toolkit's own options; QApplication reads them after this parser.
const char *const qtOptionsWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                          "style", "stylesheet", "display", "geometry", "qwindowgeometry",
                                          "qwindowicon", "qwindowtitle", "session", "qmljsdebugger"};
const char *const qtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// Written here rather than by the parser, whose help text needs an
// application object, and help must work without a display.
QString helpText()
{
    return QCoreApplication::translate(
        "main", "Usage: velto [options]\n"
                "Drives the USB scope, generator, meter and protocol sniffer.\n\n"
                "Options:\n"
                "  -h, --help            Shows this help and exits.\n"
                "  -v, --version         Shows the version and build stamp and exits.\n"
                "  --device virtual|usb  The instrument: \"usb\" on the USB bus (the default)\n"
                "                        or \"virtual\", the simulated bench. Overrides VELTO_DEVICE.\n"
                "  --trace FILE          Appends one line per USB operation to FILE.\n"
                "                        Overrides VELTO_TRACE.\n\n"
                "Qt's own options (-platform, -style, ...) are passed to the toolkit.\n"
                "Data files (hardware.xml and the device information files) are read from the\n"
                "working folder, then $XDG_DATA_HOME/velto, then the installed data folder.\n");
}

QString versionText()
{
    return QStringLiteral("%1 %2 (build %3)\n")
        .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(), buildStamp());
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption device(QStringLiteral("device"), QString(), QStringLiteral("virtual|usb"));
    const QCommandLineOption trace(QStringLiteral("trace"), QString(), QStringLiteral("file"));
    parser.addOption(device);
    parser.addOption(trace);
    for (const char *name : qtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : qtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    CommandLine result;
    auto usageError = [](const QString &why) {
        CommandLine error;
        error.outcome = CommandLine::Outcome::UsageError;
        error.exitStatus = 2;
        error.text = QStringLiteral("velto: %1\n\n%2").arg(why, helpText());
        return error;
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(QCoreApplication::translate("main", "Velto takes no arguments, only options: %1")
                              .arg(parser.positionalArguments().join(QLatin1Char(' '))));
    if (parser.isSet(help)) {
        result.outcome = CommandLine::Outcome::Exit;
        result.text = helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = CommandLine::Outcome::Exit;
        result.text = versionText();
        return result;
    }
    if (parser.isSet(device)) {
        result.device = parser.value(device);
        if (result.device != QLatin1String("virtual") && result.device != QLatin1String("usb"))
            return usageError(QCoreApplication::translate("main", "--device takes \"virtual\" or \"usb\", not \"%1\"")
                                  .arg(result.device));
    }
    if (parser.isSet(trace)) {
        result.trace = parser.value(trace);
        if (result.trace.isEmpty())
            return usageError(QCoreApplication::translate("main", "--trace needs a file name"));
    }
    return result;
}

QString startupScriptProblem(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        return QString();
    return QStringLiteral("VELTO_SCRIPT: cannot read %1: %2").arg(path, file.errorString());
}

void sayOnTerminalAndLog(const QString &message)
{
    sayOnTerminal(QStringLiteral("velto: ") + message + QLatin1Char('\n'));
    VELTO_LOG(message, 2);
}
