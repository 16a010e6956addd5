// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The settings as an XML document, one element a key:
//   <VeltoSettings><setting key="CH1/Gain">5</setting>...</VeltoSettings>
// registered as a format of the settings store, so that the device
// settings are saved into a document and loaded from one by the same code
// that saves them into the settings file and loads them from it. A
// document that is not exactly this shape is refused whole.

#include <QByteArray>
#include <QSettings>

namespace SettingsXml {

// The store's format for such documents (registered on the first call).
QSettings::Format format();

QByteArray write(const QSettings::SettingsMap &map);
// False, with `problem` saying where, for anything but a document of the
// shape above; `map` is then left as it was.
bool read(const QByteArray &xml, QSettings::SettingsMap &map, QString *problem = nullptr);

} // namespace SettingsXml
