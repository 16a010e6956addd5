// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// Copies the device settings between the store and the controls of the
// window, each found by its object name and set through its properties, so
// that every control announces the change (value, toggle, index and tab
// signals) and its handlers run as they do for the user's hand. The trigger
// model's channel records are data of the model, not controls.

#include <QStringList>
#include <QVariant>
#include <QVector>

class QObject;
class QSettings;
class TriggerModel;
namespace DeviceSettingsKeys {
struct Key;
}

namespace DeviceSettings {

// What `key` stores of the window's state: an int, bool, double, the digit's
// text, or a word's index (-1 when none of a radio group's buttons is
// checked). Invalid when the window has no such control.
QVariant controlValue(const QObject *window, const DeviceSettingsKeys::Key &key, const TriggerModel &trigger);
// Every key's controlValue, in the order of DeviceSettingsKeys::keys(),
// with the window's controls looked up once for all of them.
QVector<QVariant> controlValues(const QObject *window, const TriggerModel &trigger);

// Writes every key. A radio group with nothing checked leaves its key as the
// store holds it.
void save(QSettings &store, const QObject *window, const TriggerModel &trigger);

// Puts every key on its control (its default where the store has none) and
// returns what could not be taken as stored, each item also logged: a value
// of the wrong type or an unknown word falls back to the default, a number
// out of range is held to the control's range (an index out of range takes
// the default).
QStringList load(const QSettings &store, QObject *window, TriggerModel &trigger);

// A number of the scope's option set under "Oscilloscope": `current` when the
// store's value is missing, of the wrong type or beyond `last` (logged).
int readOption(const QSettings &store, const char *name, int current, int last);

// Logs, naming the store's file, when the store could not be read or written
// whole; `what` says what that means for the controls.
void reportStoreStatus(const QSettings &store, const char *what);

} // namespace DeviceSettings
