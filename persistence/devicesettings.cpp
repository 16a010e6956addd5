#include "persistence/devicesettings.h"

#include "base/logging.h"
#include "persistence/devicesettingskeys.h"
#include "scope/triggermodel.h"

#include <QObject>
#include <QSettings>

using DeviceSettingsKeys::Key;
using DeviceSettingsKeys::Kind;

namespace DeviceSettings {

namespace {

QObject *findControl(const QObject *window, const QString &name)
{
    return window->findChild<QObject *>(name);
}

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

void apply(QObject *window, const Key &key, const QVariant &value, TriggerModel &trigger)
{
    if (key.record >= 0) {
        TriggerChannelRecord r = trigger.record(key.record);
        recordField(r, key) = value.toInt();
        trigger.restoreRecord(key.record, r);
        return;
    }
    if (key.kind == Kind::Word && !key.buttons.isEmpty()) {
        // Checking one button of the group unchecks the others and each says so.
        if (QObject *button = findControl(window, key.buttons.value(value.toInt())))
            button->setProperty("checked", true);
        return;
    }
    if (QObject *control = findControl(window, key.control))
        control->setProperty(valueProperty(key.kind), value);
}

} // namespace

QVariant controlValue(const QObject *window, const Key &key, const TriggerModel &trigger)
{
    if (key.record >= 0) {
        TriggerChannelRecord r = trigger.record(key.record);
        return recordField(r, key);
    }
    if (key.kind == Kind::Word && !key.buttons.isEmpty()) {
        for (int i = 0; i < key.buttons.size(); ++i) {
            const QObject *button = findControl(window, key.buttons.at(i));
            if (!button)
                return QVariant();
            if (button->property("checked").toBool())
                return i;
        }
        return -1;
    }
    const QObject *control = findControl(window, key.control);
    if (!control)
        return QVariant();
    const QVariant value = control->property(valueProperty(key.kind));
    if (key.kind == Kind::Word)
        return value.toInt() < key.words.size() ? value.toInt() : -1;
    return value;
}

void save(QSettings &store, const QObject *window, const TriggerModel &trigger)
{
    for (const Key &key : DeviceSettingsKeys::keys()) {
        const QVariant value = controlValue(window, key, trigger);
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
    for (const Key &key : DeviceSettingsKeys::keys()) {
        if (!store.contains(key.path()))
            missing << key.path();
        const QString name = key.control.isEmpty() ? key.buttons.value(0) : key.control;
        QObject *control = key.record >= 0 ? nullptr : findControl(window, name);
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
            apply(window, key, reading.value, trigger);
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
