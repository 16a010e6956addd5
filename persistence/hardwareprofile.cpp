#include "persistence/hardwareprofile.h"

#include "persistence/qxmlputget.h"

#include <QCoreApplication>
#include <QFile>

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

    QXmlGet profile;
    profile.load(profilePath);
    if (profile.docType() != hardwareDocType()) {
        check.messages.append({tr("Hardware"), tr("Wrong doctype in hardware.xml!")});
        check.code = ProfileWrongDocType;
        return check;
    }

    const QStringList parts = id.split(QLatin1Char('.'));
    check.model = parts.value(0);
    if (check.model.isEmpty() || !profile.find(check.model)) {
        check.messages.append({tr("Hardware"), tr("hardware (%1) not suported").arg(id)});
        check.code = ProfileUnknownModel;
        return check;
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
    if (!check.deviceInfoFile.isEmpty() && QFile::exists(check.deviceInfoFile)) {
        check.readDeviceInfo = true;
    } else {
        check.messages.append({tr("Software"), tr("Can't read file: ") + check.deviceInfoFile});
        check.code = ProfileInfoFileMissing;
    }
    return check;
}

QStringList deviceInfoLines(const QString &path, std::optional<quint8> healthByte)
{
    QStringList lines;
    if (!healthByte)
        return lines;
    QXmlGet info;
    if (!info.load(path) || info.docType() != hardwareDocType())
        return lines;

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
            const bool good = code >= 0 && code < 8 && (*healthByte >> code) & 1;
            lines << indent + statuses.getString() + (good ? tr(": OK") : tr(": Problem!"));
        }
    }
    return lines;
}
