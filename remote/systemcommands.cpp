// SPDX-License-Identifier: GPL-3.0-only
#include "remote/systemcommands.h"

#include "base/logging.h"
#include "core/persistence/devicesettingskeys.h"
#include "core/persistence/hardwareprofile.h"
#include "core/persistence/settingsxml.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace
{
// A field of *IDN? may hold neither a comma nor a line feed.
QByteArray field(const QString &text)
{
    QByteArray f = text.toLatin1().simplified();
    f.replace(',', ' ');
    return f;
}

// The store a block is read from or written to: a file in a folder of its
// own that goes with it.
struct BlockStore {
    QTemporaryDir folder;
    QString path() const { return folder.filePath(QStringLiteral("setup.xml")); }
};
} // namespace

QByteArray identity(const QString &identification, const QString &version)
{
    // The instrument names itself MODEL.HARDWARE.SOFTWARE and a description;
    // it has no serial number to tell.
    const QString word = identificationWord(identification);
    const QByteArray model = word.isEmpty() ? QByteArray("no instrument connected") : field(word);
    const QByteArray serial = word.isEmpty() ? QByteArray("no instrument connected") : QByteArray("no serial number");
    QStringList parts = version.split(QLatin1Char('.'));
    while (parts.size() < 2)
        parts << QStringLiteral("0");
    return "Velto," + model + ',' + serial + ',' + field(parts[0] + QLatin1Char('.') + parts[1]);
}

Scpi::Hooks systemHooks(const SystemParts &parts)
{
    Scpi::Hooks hooks;
    hooks.identify = [parts] { return identity(parts.identification(), QCoreApplication::applicationVersion()); };
    hooks.reset = [parts] {
        // An empty store: every control takes its default.
        BlockStore store;
        QSettings empty(store.path(), SettingsXml::format());
        VELTO_LOG(QStringLiteral("SCPI: *RST, the device settings take their defaults"), 1);
        parts.loadSettings(empty);
    };
    return hooks;
}

std::vector<Scpi::Row> systemCommands(const SystemParts &parts)
{
    using namespace Scpi;
    const auto setup = [parts](Call &c) {
        BlockStore store;
        if (!store.folder.isValid()) {
            VELTO_LOG(QStringLiteral("SCPI: :SYSTem:SETup: no temporary folder: %1").arg(store.folder.errorString()), 2);
            return c.fail(ExecutionError);
        }
        if (c.query) {
            {
                QSettings out(store.path(), SettingsXml::format());
                parts.saveSettings(out);
                out.sync();
            }
            QFile file(store.path());
            if (!file.open(QIODevice::ReadOnly))
                return c.fail(ExecutionError);
            return c.reply(definiteBlock(file.readAll()));
        }
        // Read and checked whole before anything is set.
        const QByteArray &xml = c.values[0].bytes;
        QSettings::SettingsMap map;
        QString problem;
        if (!SettingsXml::read(xml, map, &problem)) {
            VELTO_LOG(QStringLiteral("SCPI: :SYSTem:SETup: the block is not a settings document: %1; nothing changed").arg(problem), 2);
            return c.fail(DataCorruptOrStale);
        }
        QFile file(store.path());
        if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
            return c.fail(ExecutionError);
        file.close();
        const QSettings in(store.path(), SettingsXml::format());
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            const DeviceSettingsKeys::Key *key = DeviceSettingsKeys::find(it.key());
            const QString wrong = !key ? QStringLiteral("\"%1\" is no device setting").arg(it.key())
                                       : DeviceSettingsKeys::read(in, *key).problem;
            if (!wrong.isEmpty()) {
                VELTO_LOG(QStringLiteral("SCPI: :SYSTem:SETup: %1; nothing changed").arg(wrong), 2);
                return c.fail(IllegalParameterValue);
            }
        }
        VELTO_LOG(QStringLiteral("SCPI: :SYSTem:SETup loads %1 device settings").arg(map.size()), 1);
        parts.loadSettings(in);
    };
    return {
        {":SYSTem:SETup", SetAndQuery, {ParameterRule::of(ParameterRule::Block)}, setup},
    };
}
