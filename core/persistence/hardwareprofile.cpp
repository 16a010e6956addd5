// SPDX-License-Identifier: GPL-3.0-only
#include "core/persistence/hardwareprofile.h"

#include "core/persistence/datafiles.h"
#include "core/persistence/qxmlputget.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

// Message box texts are display texts; they translate in the window's context.
QString tr(const char *text)
{
    return QCoreApplication::translate("VeltoInterface", text);
}

int versionPart(const QStringList &parts, int index)
{
    // A missing part, like one that is not a number, counts as 0.
    return index < parts.size() ? parts.at(index).toInt(nullptr, 10) : 0;
}

// Why a document read from the file `name` is not a profile, or nothing.
QString docTypeProblem(const QString &name, const QXmlGet &xml)
{
    if (xml.docType() != hardwareDocType())
        return tr("The file %1 declares the document type \"%2\", not \"%3\".")
            .arg(name, xml.docType(), hardwareDocType());
    return QString();
}

// Reads a profile-shaped file into `xml`; returns why it cannot serve, or
// nothing. A file larger than maximumProfileBytes is not read at all: a
// profile is a few kilobytes, and a runaway one froze the window for long.
QString loadProfileFile(const QString &path, QXmlGet *xml)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!info.exists())
        return tr("The file %1 is missing from %2.").arg(name, info.absolutePath());
    if (info.isFile() && info.size() > maximumProfileBytes)
        return tr("The file %1 is %2 bytes long, more than the %3 a profile may have; it was not read.")
            .arg(name)
            .arg(info.size())
            .arg(maximumProfileBytes);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return tr("The file %1 cannot be read: %2.").arg(name, info.isFile() ? file.errorString() : tr("not a file"));
    if (info.size() == 0)
        return tr("The file %1 is empty.").arg(name);
    file.close();
    QString message;
    int line = 0;
    int column = 0;
    if (!xml->load(path, &message, &line, &column))
        return tr("The file %1 is not well-formed XML: %2 (line %3, column %4).")
            .arg(name, message)
            .arg(line)
            .arg(column);
    return docTypeProblem(name, *xml);
}

// The check of an identification against a profile read whole.
void checkLoadedProfile(DeviceProfileCheck &check, QXmlGet profile)
{
    const QString id = check.identification;
    const QStringList parts = id.split(QLatin1Char('.'));
    check.model = parts.value(0);
    if (check.model.isEmpty() || !profile.find(check.model)) {
        check.messages.append({tr("Hardware"), tr("hardware (%1) not suported").arg(id)});
        check.code = ProfileUnknownModel;
        check.note = tr("Instrument %1 is not listed in hardware.xml: Velto cannot use it").arg(id);
        return;
    }

    const int hardLo = profile.getAttributeInt(QStringLiteral("hardLo"), 0);
    const int hardHi = profile.getAttributeInt(QStringLiteral("hardHi"), 0);
    const int softLo = profile.getAttributeInt(QStringLiteral("softLo"), 0);
    const int softHi = profile.getAttributeInt(QStringLiteral("softHi"), 0);
    check.deviceInfoFile = profile.getAttributeString(QStringLiteral("file"), QString());

    check.hardwareVersion = versionPart(parts, 1);
    if (check.hardwareVersion < hardLo || check.hardwareVersion > hardHi) {
        check.messages.append({tr("Hardware"), tr("Hardware version (%1) not supported").arg(id)});
        check.code = ProfileHardwareNotSupported;
    }
    check.softwareVersion = versionPart(parts, 2);
    if (check.softwareVersion < softLo || check.softwareVersion > softHi) {
        check.messages.append({tr("Software"), tr("Software version (%1) not supported").arg(id)});
        check.code = ProfileSoftwareNotSupported;
    }
    if (check.code != ProfileSupported)
        check.note = tr("Instrument %1: this version is not supported by this Velto").arg(id);
    check.deviceInfoPath = locateDataFile(check.deviceInfoFile);
    if (!check.deviceInfoPath.isEmpty() && QFile::exists(check.deviceInfoPath)) {
        check.readDeviceInfo = true;
    } else {
        check.messages.append({tr("Software"), tr("Can't read file: ") + check.deviceInfoFile});
        check.code = ProfileInfoFileMissing;
        check.note = tr("Can't read file: %1\nPut it beside hardware.xml (or reinstall Velto), then press Connect")
                         .arg(check.deviceInfoFile);
    }
}

// A profile read from the file or from memory: refused with the reading's
// problem, or checked against the identification.
// `missingFrom` names the folders a profile that is not there was looked for in.
void checkReadProfile(DeviceProfileCheck &check, const QString &problem, const QXmlGet &profile,
                      const QString &missingFrom = QString())
{
    if (!missingFrom.isEmpty()) {
        // Not a wrong file but none: the headline says where it was looked for.
        const QString where = tr("hardware.xml not found in: %1").arg(missingFrom);
        const QString todo = tr("Put it in one of these folders (or reinstall Velto), then press Connect");
        check.messages.append({tr("Hardware"), where + QLatin1Char('\n') + todo});
        check.code = ProfileWrongDocType;
        check.note = where + QLatin1Char('\n') + todo;
        return;
    }
    if (!problem.isEmpty()) {
        // The title and first line stay as users know them; the cause follows.
        check.messages.append({tr("Hardware"), tr("Wrong doctype in hardware.xml!") + QLatin1Char('\n') + problem});
        check.code = ProfileWrongDocType;
        check.note = tr("hardware.xml refused: %1\nReplace it with the one that came with Velto, then press Connect")
                         .arg(problem);
        return;
    }
    checkLoadedProfile(check, profile);
}

// The device information lines of a file read whole.
QStringList loadedInfoLines(QXmlGet info, quint8 healthByte)
{
    QStringList lines;
    const QString indent = QStringLiteral("    ");
    while (info.findNext(QStringLiteral("info"))) {
        QXmlGet descriptions = info.descended();
        while (descriptions.findNext(QStringLiteral("description")))
            lines << indent + descriptions.getString();
    }
    info.findReset();
    while (info.findNext(QStringLiteral("health"))) {
        lines << tr("Health status");
        QXmlGet statuses = info.descended();
        while (statuses.findNext(QStringLiteral("status"))) {
            const int code = statuses.getAttributeInt(QStringLiteral("code"), 0);
            const bool good = code >= 0 && code < 8 && (healthByte >> code) & 1;
            lines << indent + statuses.getString() + (good ? tr(": OK") : tr(": Problem!"));
        }
    }
    return lines;
}

} // namespace

QString hardwareProfileFileName()
{
    return QStringLiteral("hardware.xml");
}

QString hardwareDocType()
{
    return QStringLiteral("VeltoHardware");
}

QString identificationWord(const QString &identification)
{
    QString word = identification;
    const int nul = word.indexOf(QChar(0));
    if (nul >= 0)
        word.truncate(nul);
    const int space = word.indexOf(QLatin1Char(' '));
    if (space >= 0)
        word.truncate(space);
    return word;
}

DeviceProfileCheck checkDeviceProfile(const QString &identification, const QString &profilePath)
{
    DeviceProfileCheck check;
    const QString id = identificationWord(identification);
    check.identification = id;

    check.profilePath = profilePath.isEmpty() ? locateDataFile(hardwareProfileFileName()) : profilePath;
    QXmlGet profile;
    const QString problem = check.profilePath.isEmpty()
                                ? tr("No file %1 in %2.").arg(hardwareProfileFileName(),
                                                              dataSearchFolders().join(QStringLiteral(", ")))
                                : loadProfileFile(check.profilePath, &profile);
    QString missingFrom;
    if (check.profilePath.isEmpty())
        missingFrom = dataSearchFolders().join(QStringLiteral(", "));
    else if (!QFileInfo::exists(check.profilePath))
        missingFrom = QFileInfo(check.profilePath).absolutePath();
    checkReadProfile(check, problem, profile, missingFrom);
    return check;
}

DeviceProfileCheck checkDeviceProfile(const QString &identification, const QXmlGet &profile)
{
    DeviceProfileCheck check;
    check.identification = identificationWord(identification);
    checkReadProfile(check, docTypeProblem(hardwareProfileFileName(), profile), profile);
    return check;
}

QStringList deviceInfoLines(const QString &path, std::optional<quint8> healthByte)
{
    if (!healthByte)
        return QStringList();
    QXmlGet info;
    if (!loadProfileFile(path, &info).isEmpty())
        return QStringList();
    return loadedInfoLines(info, *healthByte);
}

QStringList deviceInfoLines(const QXmlGet &info, std::optional<quint8> healthByte)
{
    if (!healthByte || !docTypeProblem(QString(), info).isEmpty())
        return QStringList();
    return loadedInfoLines(info, *healthByte);
}
