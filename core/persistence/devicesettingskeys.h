// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The device settings as the store keeps them: every key with its group, its
// type, the value loading takes when the key is absent, the control it
// belongs to (by the form's object name) and, for a multiple-choice key, its
// words. Also the rules for reading a stored value that is not what it should
// be. Nothing here knows a widget; persistence/devicesettings.* puts the keys
// on the controls.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QSettings;

namespace DeviceSettingsKeys {

enum class Kind {
    Number, // a slider's or spin box's value; held to the control's range
    Index,  // a combo box's index or a tab; out of range the default is taken
    Bool,   // a check box's, radio button's or panel's checked state
    Real,   // a double spin box's value; held to its range
    Digit,  // one frequency digit, the text of its label
    Word,   // one of `words`: a button each, or the index of the combo box `control`
};

struct Key {
    QString group; // "CH1", "Trigger/CH0Coord"; empty at the top level
    QString name;
    Kind kind;
    QVariant fallback;  // int, bool, double, or the text of a digit or a word
    QString control;    // object name of the control; empty for a radio group and for trigger records
    QStringList words;  // Word keys, in the order a stored word is matched against them
    QStringList buttons; // Word keys of a radio group: the button of each word
    // The range of keys whose control has none of its own: digits and the
    // trigger model's records (minimum == maximum: no range).
    int minimum = 0;
    int maximum = 0;
    // The trigger model's channel record the key belongs to, -1 for a control.
    int record = -1;
    // The path, made once for the keys of keys(): loading and saving ask
    // for it several times a key.
    QString madePath;

    QString path() const
    {
        if (!madePath.isEmpty())
            return madePath;
        return group.isEmpty() ? name : group + QLatin1Char('/') + name;
    }
};

// Every key, in the order it is written and read.
const QVector<Key> &keys();
// The key at `path` ("CH1/Gain"), or nullptr.
const Key *find(const QString &path);

// What loading puts on a control.
struct Reading {
    // int (Number, Index), bool, double (Real), the digit's text, or for a
    // word its index; an invalid value leaves the control as it is.
    QVariant value;
    bool stored = false; // the key was in the store
    QString problem;     // why the stored value was not taken as it stands
};

Reading read(const QSettings &store, const Key &key);
// Holds a reading to the range of its control (or the key's own range):
// numbers, reals and digits are held to the nearest end, an index out of
// range gives the default. Only a stored value that moves is a problem; the
// defaults of a few keys lie outside their controls' ranges on purpose.
void fitRange(Reading &reading, const Key &key, double minimum, double maximum);
// Writes a control's value; a word's value is its index, and an index that
// names no word (a radio group with nothing checked) leaves the key as it is.
void write(QSettings &store, const Key &key, const QVariant &value);

} // namespace DeviceSettingsKeys
