// SPDX-License-Identifier: GPL-3.0-only
#include "core/persistence/devicesettings.h"

#include "base/logging.h"
#include "core/persistence/devicesettingskeys.h"
#include "core/scope/triggermodel.h"

#include <QObject>
#include <QPointer>
#include <QSettings>

#include <algorithm>

using DeviceSettingsKeys::Key;
using DeviceSettingsKeys::Kind;

namespace DeviceSettings {

namespace {

// The window's named controls, found in one walk over it: searching the
// whole window once for every key made loading and saving quadratic in the
// number of widgets. The form's names are unique; of two objects of one
// name, the first met keeps it. A control a handler deletes while loading
// is no longer found.
class ControlTable
{
public:
    explicit ControlTable(const QObject *window)
    {
        const QList<QObject *> all = window->findChildren<QObject *>();
        table.reserve(all.size());
        for (QObject *object : all) {
            QString name = object->objectName();
            if (!name.isEmpty())
                table.append({std::move(name), object});
        }
        std::stable_sort(table.begin(), table.end(), [](const Entry &a, const Entry &b) { return a.name < b.name; });
    }
    QObject *find(const QString &name) const
    {
        const auto found = std::lower_bound(table.cbegin(), table.cend(), name,
                                            [](const Entry &entry, const QString &n) { return entry.name < n; });
        return found != table.cend() && found->name == name ? found->control.data() : nullptr;
    }

private:
    struct Entry {
        QString name;
        QPointer<QObject> control;
    };
    QVector<Entry> table; // by name: one block for all, where a hash makes one a name
};

// The field of a trigger record a key names.
int &recordField(TriggerChannelRecord &r, const Key &key)
{
    if (key.name == QLatin1String("TLevel"))
        return r.level;
    if (key.name == QLatin1String("TWin1Level"))
        return r.windowLow;
    if (key.name == QLatin1String("TWin2Level"))
        return r.windowHigh;
    return r.position;
}

// The property that holds a kind's value.
const char *valueProperty(Kind kind)
{
    switch (kind) {
    case Kind::Number:
    case Kind::Real:
        return "value";
    case Kind::Index:
    case Kind::Word:
        return "currentIndex";
    case Kind::Bool:
        return "checked";
    case Kind::Digit:
        return "text";
    }
    return "value";
}

// The range a control allows for a key; minimum > maximum where it has none.
void controlRange(const QObject *control, const Key &key, double *minimum, double *maximum)
{
    *minimum = key.minimum;
    *maximum = key.maximum;
    if (!control)
        return;
    if (key.kind == Kind::Index) {
        *minimum = 0;
        *maximum = control->property("count").toInt() - 1;
    } else if (control->property("minimum").isValid()) {
        *minimum = control->property("minimum").toDouble();
        *maximum = control->property("maximum").toDouble();
    }
}

void apply(const ControlTable &controls, const Key &key, const QVariant &value, TriggerModel &trigger)
{
    if (key.record >= 0) {
        TriggerChannelRecord r = trigger.record(key.record);
        recordField(r, key) = value.toInt();
        trigger.restoreRecord(key.record, r);
        return;
    }
    if (key.kind == Kind::Word && !key.buttons.isEmpty()) {
        // Checking one button of the group unchecks the others and each says so.
        if (QObject *button = controls.find(key.buttons.value(value.toInt())))
            button->setProperty("checked", true);
        return;
    }
    if (QObject *control = controls.find(key.control))
        control->setProperty(valueProperty(key.kind), value);
}

// What controlValue answers, with the controls looked up by `find`.
template <typename Find>
QVariant valueOf(const Key &key, const TriggerModel &trigger, Find find)
{
    if (key.record >= 0) {
        TriggerChannelRecord r = trigger.record(key.record);
        return recordField(r, key);
    }
    if (key.kind == Kind::Word && !key.buttons.isEmpty()) {
        for (int i = 0; i < key.buttons.size(); ++i) {
            const QObject *button = find(key.buttons.at(i));
            if (!button)
                return QVariant();
            if (button->property("checked").toBool())
                return i;
        }
        return -1;
    }
    const QObject *control = find(key.control);
    if (!control)
        return QVariant();
    const QVariant value = control->property(valueProperty(key.kind));
    if (key.kind == Kind::Word)
        return value.toInt() < key.words.size() ? value.toInt() : -1;
    return value;
}

} // namespace

QVariant controlValue(const QObject *window, const Key &key, const TriggerModel &trigger)
{
    return valueOf(key, trigger, [window](const QString &name) { return window->findChild<QObject *>(name); });
}

QVector<QVariant> controlValues(const QObject *window, const TriggerModel &trigger)
{
    const ControlTable controls(window);
    const auto find = [&controls](const QString &name) { return controls.find(name); };
    QVector<QVariant> values;
    values.reserve(DeviceSettingsKeys::keys().size());
    for (const Key &key : DeviceSettingsKeys::keys())
        values.append(valueOf(key, trigger, find));
    return values;
}

void save(QSettings &store, const QObject *window, const TriggerModel &trigger)
{
    const QVector<QVariant> values = controlValues(window, trigger);
    for (int i = 0; i < values.size(); ++i) {
        const Key &key = DeviceSettingsKeys::keys().at(i);
        const QVariant &value = values.at(i);
        if (value.isValid())
            DeviceSettingsKeys::write(store, key, value);
        else
            VELTO_LOG(QStringLiteral("Device settings: no control for \"%1\", not saved").arg(key.path()), 3);
    }
}

QStringList load(const QSettings &store, QObject *window, TriggerModel &trigger)
{
    QStringList problems;
    QStringList missing;
    const ControlTable controls(window);
    for (const Key &key : DeviceSettingsKeys::keys()) {
        if (!store.contains(key.path()))
            missing << key.path();
        const QString name = key.control.isEmpty() ? key.buttons.value(0) : key.control;
        QObject *control = key.record >= 0 ? nullptr : controls.find(name);
        if (key.record < 0 && !control) {
            problems << QStringLiteral("no control for \"%1\", not loaded").arg(key.path());
            VELTO_LOG(QStringLiteral("Device settings: ") + problems.last(), 3);
            continue;
        }
        DeviceSettingsKeys::Reading reading = DeviceSettingsKeys::read(store, key);
        double minimum = 0, maximum = 0;
        controlRange(key.kind == Kind::Word ? nullptr : control, key, &minimum, &maximum);
        DeviceSettingsKeys::fitRange(reading, key, minimum, maximum);
        if (!reading.problem.isEmpty()) {
            VELTO_LOG(QStringLiteral("Device settings: ") + reading.problem, 2);
            problems << reading.problem;
        }
        if (reading.value.isValid() && !(key.kind == Kind::Word && reading.value.toInt() < 0))
            apply(controls, key, reading.value, trigger);
    }
    // A store written by a complete save holds every key but those of radio
    // groups that had nothing checked; a file cut short lacks the rest.
    if (missing.size() == DeviceSettingsKeys::keys().size())
        VELTO_LOG(QStringLiteral("Device settings: none saved yet, every control takes its default"), 1);
    else if (!missing.isEmpty())
        VELTO_LOG(QStringLiteral("Device settings: %1 of %2 keys are missing (\"%3\" first), their controls take "
                                 "their defaults")
                      .arg(missing.size())
                      .arg(DeviceSettingsKeys::keys().size())
                      .arg(missing.first()),
                  2);
    return problems;
}

int readOption(const QSettings &store, const char *name, int current, int last)
{
    const DeviceSettingsKeys::Key key{QStringLiteral("Oscilloscope"), QLatin1String(name),
                                      DeviceSettingsKeys::Kind::Index, current, QString(), {}, {}};
    DeviceSettingsKeys::Reading reading = DeviceSettingsKeys::read(store, key);
    DeviceSettingsKeys::fitRange(reading, key, 0, last);
    if (!reading.problem.isEmpty())
        VELTO_LOG(QStringLiteral("Device settings: ") + reading.problem, 2);
    return reading.value.toInt();
}

void reportStoreStatus(const QSettings &store, const char *what)
{
    if (store.status() != QSettings::NoError)
        VELTO_LOG(QStringLiteral("Device settings: the settings store %1 (%2)")
                      .arg(QLatin1String(what), store.fileName()),
                  2);
}

} // namespace DeviceSettings
