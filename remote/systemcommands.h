// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The commands of the instrument as a whole: what *IDN? and *RST do, and
// :SYSTem:SETup, the device settings as a block (the XML document of
// core/persistence/settingsxml.h) read and loaded as a settings load.

#include "core/scpi/scpisession.h"

#include <QString>

#include <functional>

class QSettings;

struct SystemParts {
    // What the instrument said it is; empty when none is connected.
    std::function<QString()> identification;
    // The device settings into a store, and a settings load from one (the
    // controls set from it, then the whole state sent), as the window does.
    std::function<void(QSettings &)> saveSettings;
    std::function<void(const QSettings &)> loadSettings;
};

// *IDN?'s four fields: "Velto", the instrument's model and serial number
// (fields that say so when there is none), Velto's version as major.minor.
QByteArray identity(const QString &identification, const QString &version);

Scpi::Hooks systemHooks(const SystemParts &parts);
std::vector<Scpi::Row> systemCommands(const SystemParts &parts);
