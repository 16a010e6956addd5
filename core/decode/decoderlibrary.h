// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The protocol decoder library (libsigrokdecode) seen from Velto: starting
// and ending it, and what each of its decoders is (channels, options,
// annotation classes and rows), copied into plain Qt types. No widgets.
//
// The library embeds Python, as the console does, and there is one
// interpreter in the process: the library starts it (it has to register its
// own module before the interpreter exists) and hands it over with the GIL
// released; the console attaches to it, and every thread that runs Python
// takes the GIL for as long as it does. See ARCHITECTURE.md.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace Decode {

struct ChannelInfo {
    QString id;   // "rx"
    QString name; // "RX"
    QString description;
};

struct OptionInfo {
    QString id;          // "baudrate"
    QString description; // "Baud rate"
    QVariant defaultValue; // QString, qlonglong or double, as the decoder declares it
    QVariantList values;   // the values it may take; empty when any value of the type goes
};

struct RowInfo {
    QString id;
    QString description;
    QVector<int> classes;
};

struct DecoderInfo {
    QString id;          // "uart"
    QString name;        // "UART"
    QString longName;    // "Universal Asynchronous Receiver/Transmitter"
    QString description; // one line
    QStringList inputs;  // "logic", or the outputs of the decoders it stacks on
    QStringList outputs;
    QVector<ChannelInfo> channels;
    QVector<ChannelInfo> optionalChannels;
    QVector<OptionInfo> options;
    // Annotation classes: their names and descriptions.
    QStringList classNames;
    QStringList classDescriptions;
    // The rows the annotations are drawn in; a class that no row of the
    // decoder names has a row of its own, appended here.
    QVector<RowInfo> rows;
    // The row of each class.
    QVector<int> rowOfClass;

    bool takesLogic() const { return inputs.contains(QStringLiteral("logic")); }
};

namespace Library {

// Starts the library and with it the process's Python interpreter, once;
// later calls return the first answer. False, with the reason in `why`
// (also logged), when it cannot start.
bool initialize(QString *why = nullptr);
bool isInitialized();
// Ends the library and the interpreter: at the end of the process, after the
// console has let go of it and no decoding runs.
void finalize();

// Every decoder installed, sorted by id (loaded the first time asked).
const QVector<DecoderInfo> &decoders();
// The decoder `id`, or null.
const DecoderInfo *find(const QString &id);

// This version of the library drops a reference to Python's True, False or
// None now and then as it decodes (a few a session), which would end the
// interpreter once one of them reached zero: each session is followed by
// this, which gives them back a large stock of references when they run low.
void keepSingletonsReferenced();

// The value `text` means for `option` (its type), or an invalid QVariant
// when it is not one of the option's values or not of its type.
QVariant optionValue(const OptionInfo &option, const QVariant &value);

} // namespace Library

} // namespace Decode
