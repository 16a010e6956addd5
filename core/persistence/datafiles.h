// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// Where Velto finds its data files ("hardware.xml" and the device information
// files it names): the working folder first, so that a folder set up for one
// bench wins, then the user's data folder ($XDG_DATA_HOME/velto, by default
// ~/.local/share/velto), then the folder the package installed them in.

#include <QString>
#include <QStringList>

// The folders searched, in order, each without a trailing slash. The
// working folder is ".".
QStringList dataSearchFolders();

// The user's own data folder: $XDG_DATA_HOME/velto, by default (and when
// the variable is not an absolute path) ~/.local/share/velto.
QString userDataFolder();

// Where recordings go when the working folder cannot be written (Velto
// started from the desktop menu may find itself in "/"): "recordings" in
// the user's data folder. Not made here.
QString recordingsFallbackFolder();

// The folder the installation put the data files in, found from the
// program's own folder (<prefix>/bin/../share/velto); empty before the
// application object exists.
QString installedDataFolder();

// The path of the first `name` found in the search folders, or an empty
// text when none has it. An absolute `name` is taken as it is, found or not.
QString locateDataFile(const QString &name);
