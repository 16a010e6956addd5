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
                "                        Overrides VELTO_TRACE.\n"
                "  --scpi [ADDRESS:]PORT Remote control: SCPI commands over TCP at ADDRESS\n"
                "                        (127.0.0.1 when not given; 0.0.0.0 opens it to the\n"
                "                        network) and PORT (5025 when --scpi has no value;\n"
                "                        0 lets the system pick one, which the log names).\n"
                "  --headless            Runs the instrument and remote control without a\n"
                "                        window or a display, logging to standard error as\n"
                "                        well, until SIGTERM or SIGINT (status 0).\n\n"
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

QString parseScpiEndpoint(const QString &text, QHostAddress *address, quint16 *port)
{
    QString host;
    QString number = text.trimmed();
    const int colon = number.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        host = number.left(colon);
        number = number.mid(colon + 1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
    }
    bool ok = false;
    const uint value = number.toUInt(&ok);
    if (!ok || value > 65535)
        return QCoreApplication::translate("main", "--scpi takes [ADDRESS:]PORT with a port from 0 to 65535, not \"%1\"")
            .arg(text);
    QHostAddress parsed(QHostAddress::LocalHost);
    if (host == QLatin1String("localhost"))
        host.clear();
    if (!host.isEmpty() && !parsed.setAddress(host))
        return QCoreApplication::translate("main", "--scpi: \"%1\" is not an IP address").arg(host);
    *address = parsed;
    *port = quint16(value);
    return QString();
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption device(QStringLiteral("device"), QString(), QStringLiteral("virtual|usb"));
    const QCommandLineOption trace(QStringLiteral("trace"), QString(), QStringLiteral("file"));
    const QCommandLineOption scpi(QStringLiteral("scpi"), QString(), QStringLiteral("[address:]port"));
    const QCommandLineOption headless(QStringLiteral("headless"));
    parser.addOption(device);
    parser.addOption(trace);
    parser.addOption(scpi);
    parser.addOption(headless);
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
    // The parser knows no option with an optional value: --scpi alone (last,
    // or before another option) is given the default port.
    QStringList given = arguments;
    for (int i = 1; i < given.size(); ++i)
        if ((given[i] == QLatin1String("--scpi") || given[i] == QLatin1String("-scpi")) &&
            (i + 1 == given.size() || given[i + 1].startsWith(QLatin1Char('-'))))
            given.insert(i + 1, QStringLiteral("5025"));
    if (!parser.parse(given))
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
    result.headless = parser.isSet(headless);
    result.scpi = parser.isSet(scpi) || result.headless;
    if (parser.isSet(scpi)) {
        const QString problem = parseScpiEndpoint(parser.value(scpi), &result.scpiAddress, &result.scpiPort);
        if (!problem.isEmpty())
            return usageError(problem);
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
