// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QSettings;

// The application-level keys of the settings store and the rules for reading
// and writing them; free of widgets so that they can be tested directly.
namespace AppSettings {

constexpr const char *organisationName = "Velto";
constexpr const char *organisationDomain = "velto.local";
constexpr const char *applicationName = "Velto";
constexpr const char *applicationVersion = "1.2";

struct Values {
    bool wasMaximized = false;
    QSize size;      // invalid when absent or not usable
    QPoint position; // "position", the window's top left corner
    bool hasPosition = false;
    int theme = 0;
    QString defaultDir;
    bool remoteControl = false; // "remoteControl": the Options tab's SCPI box
};

// Sets the organisation, domain, application name and version used by the store.
void setApplicationIdentity();

// "loggingLevel", 0 when absent or not a number.
int readLoggingLevel(QSettings &store);

// Everything restored at start; values of the wrong type fall back to their
// defaults and are named in `problems` for the log.
Values read(QSettings &store, QStringList *problems = nullptr);

// What shutdown writes; "loggingLevel" is written as 2 only when absent.
void write(QSettings &store, const QSize &size, bool maximized, const QString &defaultDir,
           const QPoint &position = QPoint(), bool remoteControl = false);

// Top-left corner that centres a frame of `frameSize` on `screen`.
QPoint centredPosition(const QRect &screen, const QSize &frameSize);

// Where the window opens on a screen whose free area is `available`: the
// remembered size and place when they lie within it, the remembered size
// centred when only it fits, else the whole free area.
QRect windowGeometry(const QRect &available, const QSize &size, const QPoint &position, bool hasPosition);

// The narrowest the plot may be on a screen `availableWidth` wide: half of
// it, and never less than a readable 480 pixels; the side bars share the rest.
int plotWidthAtLeast(int availableWidth);

// "Velto v.1.2 " + text
QString windowTitle(const QString &text);

} // namespace AppSettings
