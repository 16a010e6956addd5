// SPDX-License-Identifier: GPL-3.0-only
#include "core/persistence/settingsxml.h"

#include <QIODevice>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace SettingsXml {

namespace {
const QString rootName = QStringLiteral("VeltoSettings");
const QString elementName = QStringLiteral("setting");

bool readDevice(QIODevice &device, QSettings::SettingsMap &map)
{
    return read(device.readAll(), map);
}

bool writeDevice(QIODevice &device, const QSettings::SettingsMap &map)
{
    const QByteArray xml = write(map);
    return device.write(xml) == xml.size();
}
} // namespace

QSettings::Format format()
{
    static const QSettings::Format registered = QSettings::registerFormat(QStringLiteral("xml"), readDevice, writeDevice);
    return registered;
}

QByteArray write(const QSettings::SettingsMap &map)
{
    QByteArray xml;
    QXmlStreamWriter out(&xml);
    out.setAutoFormatting(true);
    out.writeStartDocument();
    out.writeStartElement(rootName);
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        out.writeStartElement(elementName);
        out.writeAttribute(QStringLiteral("key"), it.key());
        // Every value as text, as the settings file holds it.
        const QVariant &value = it.value();
        out.writeCharacters(value.type() == QVariant::Bool ? QString::fromLatin1(value.toBool() ? "true" : "false")
                                                           : value.toString());
        out.writeEndElement();
    }
    out.writeEndElement();
    out.writeEndDocument();
    return xml;
}

bool read(const QByteArray &xml, QSettings::SettingsMap &map, QString *problem)
{
    QXmlStreamReader in(xml);
    QSettings::SettingsMap found;
    QString why;
    if (!in.readNextStartElement() || in.name() != rootName) {
        why = QStringLiteral("the document is not <%1>").arg(rootName);
    } else {
        while (why.isEmpty() && in.readNextStartElement()) {
            const QString key = in.attributes().value(QStringLiteral("key")).toString();
            if (in.name() != elementName || key.isEmpty() || in.attributes().size() != 1) {
                why = QStringLiteral("an element that is not <%1 key=\"...\">").arg(elementName);
                break;
            }
            const QString text = in.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
            if (in.hasError())
                break;
            if (found.contains(key))
                why = QStringLiteral("\"%1\" is there twice").arg(key);
            found.insert(key, text);
        }
        // Nothing may follow the root element but comments and white space.
        while (why.isEmpty() && !in.hasError() && !in.atEnd())
            if (in.readNext() == QXmlStreamReader::StartElement)
                why = QStringLiteral("a second root element");
    }
    if (why.isEmpty() && in.hasError())
        why = in.errorString();
    if (!why.isEmpty()) {
        if (problem)
            *problem = QStringLiteral("%1 (line %2)").arg(why).arg(in.lineNumber());
        return false;
    }
    map = found;
    return true;
}

} // namespace SettingsXml
