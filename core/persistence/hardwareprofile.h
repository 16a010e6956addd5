// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The hardware profile check and the device information lines, without
// widgets. The session's deviceProfileGet and deviceInfoRead are thin shells
// around them, and the window shows the messages.
//
// Showing every message before reading the device information keeps the
// order the user reads them in: the hardware and software messages come first, and the
// file message and the reading exclude each other. End-to-end tests replace
// the message boxes with ScopedCriticalMessagePresenter (ui/messagepresenter.h).
//
// Our rules where the profile format leaves them open:
// - An identification word with fewer than three "." parts: the missing
//   version parts count as 0, like a part that is not a number. A word with
//   more parts is checked on its first three.
// - The identification ends at its first space and also at its first NUL, so
//   the zero padding of the 64-byte identification block cannot reach it.
// - An empty model name matches no model (the reader's find would take any
//   element for an empty name).
// - "info" and "health" elements are the children of the root element of the
//   device information file; a status "code" outside 0..7 names no bit of the
//   health byte and is shown as a problem.
// - Both "hardware.xml" and the information file named by "file" are
//   looked up like every data file (persistence/datafiles.h): the working
//   folder first, then the user's data folder, then the installed one. An
//   absolute "file" is taken as it is written.


#include <QString>
#include <QStringList>
#include <QVector>

class QXmlGet;
#include <QtGlobal>

#include <optional>

// One critical message of the check: a title and a text, shown with one OK button.
struct CriticalMessage {
    QString title;
    QString text;
    bool operator==(const CriticalMessage &other) const { return title == other.title && text == other.text; }
    bool operator!=(const CriticalMessage &other) const { return !(*this == other); }
};

// The result codes of deviceProfileGet.
enum DeviceProfileCode {
    ProfileSupported = 0,
    ProfileHardwareNotSupported = 1,
    ProfileSoftwareNotSupported = 2,
    ProfileInfoFileMissing = 3,
    ProfileUnknownModel = 4,
    ProfileWrongDocType = 5,
};

struct DeviceProfileCheck {
    int code = ProfileSupported;
    // The identification word that was checked, model name and the two versions read from it.
    QString identification;
    QString model;
    int hardwareVersion = 0;
    int softwareVersion = 0;
    // The "file" attribute of the model's element (empty when the check stopped before it).
    QString deviceInfoFile;
    // Where the profile and the information file were found.
    QString profilePath;
    QString deviceInfoPath;
    // The file exists: the window calls deviceInfoRead(deviceInfoPath), also when the code is 1 or 2.
    bool readDeviceInfo = false;
    // The critical message boxes to show, in order.
    QVector<CriticalMessage> messages;
    // When the instrument cannot be used: what is wrong and what to do, in
    // a line or two for the plot, where the traces would be.
    QString note;
};

// The largest hardware profile or device information file Velto reads.
constexpr qint64 maximumProfileBytes = 1024 * 1024;

// The name of the file the application checks identifications against.
QString hardwareProfileFileName();

// The document type "hardware.xml" and the device information files must have.
QString hardwareDocType();

// The identification word: the text before the first space (and before any NUL).
QString identificationWord(const QString &identification);

// Checks `identification` against the profile file; shows nothing. Without
// a path, the first "hardware.xml" of the data folders is read.
DeviceProfileCheck checkDeviceProfile(const QString &identification, const QString &profilePath = QString());
// The same check against a profile already read whole (QXmlGet::fromData);
// profilePath stays empty.
DeviceProfileCheck checkDeviceProfile(const QString &identification, const QXmlGet &profile);

// The lines deviceInfoRead appends to the device information browser: four
// spaces + each description of every "info" element, then for every "health"
// element "Health status" and four spaces + each status text + ": OK" when its
// bit of the health byte is set or ": Problem!" when it is clear. Nothing when
// there is no health byte, the file cannot be read, or its document type is
// not "VeltoHardware".
QStringList deviceInfoLines(const QString &path, std::optional<quint8> healthByte);
// The same lines from a device information file already read whole.
QStringList deviceInfoLines(const QXmlGet &info, std::optional<quint8> healthByte);
