// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// Velto's command line: --help, --version, --device virtual|usb,
// --trace FILE, --scpi [ADDRESS:]PORT and --headless, read before the application object exists so that help and
// version need no display. Qt's own options (-platform, -style, ...) pass
// through to the application.

#include <QHostAddress>
#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Outcome { Run, Exit, UsageError };
    Outcome outcome = Outcome::Run;
    // 0 after --help or --version, 2 after a usage error.
    int exitStatus = 0;
    // What to print before exiting: on standard output after --help and
    // --version, on standard error after a usage error.
    QString text;
    // "virtual" or "usb" when --device was given, else empty.
    QString device;
    // The wire trace file when --trace was given, else empty.
    QString trace;
    // --headless: no window, the remote-control server always on.
    bool headless = false;
    // Where remote control listens when --scpi was given (or headless):
    // 127.0.0.1 unless an address was named, port 5025 unless one was.
    bool scpi = false;
    QHostAddress scpiAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 scpiPort = 5025;
};

// "[ADDRESS:]PORT" ("5025", "0.0.0.0:5025", "[::1]:5025", "localhost:5025")
// into `address` and `port`; the reason when it is not one, else empty.
QString parseScpiEndpoint(const QString &text, QHostAddress *address, quint16 *port);

// `arguments` as the process received them, the program name first.
CommandLine parseCommandLine(const QStringList &arguments);

// Why the script VELTO_SCRIPT names cannot be run ("VELTO_SCRIPT: cannot
// read ..."), or empty when it can be read.
QString startupScriptProblem(const QString &path);

// Says `message` on the terminal Velto was started from and in the log, as
// a warning.
void sayOnTerminalAndLog(const QString &message);
