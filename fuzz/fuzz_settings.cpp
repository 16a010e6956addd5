// SPDX-License-Identifier: GPL-3.0-only
// The device settings file: the input is written as an INI file and read
// by the settings store into every key's reader, held to a range, and
// loaded onto a window of plain objects that carry the controls' names and
// properties (value, minimum, maximum, count, currentIndex, checked, text),
// as the real controls do. What is then saved must load again cleanly: the
// first input of a run and every eighth after it take that round trip, so
// an input run on its own always does.
//
// Input: byte 0 the numeric controls' minimum (signed), byte 1 their span
// (0: no range), byte 2 the choices of every combo box; the rest is the file.
#include "fuzzsupport.h"

#include "core/persistence/devicesettings.h"
#include "core/persistence/devicesettingskeys.h"
#include "core/scope/triggermodel.h"

#include <QFile>
#include <QHash>
#include <QSettings>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>

using DeviceSettingsKeys::Key;
using DeviceSettingsKeys::Kind;

namespace {

// A control's properties, as a real control declares them. Dynamic
// properties did the same, but each read and write of one made a byte array
// of its name and searched a list of them, and that was a fifth of the work.
class Control : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariant value MEMBER value)
    Q_PROPERTY(QVariant minimum MEMBER minimum)
    Q_PROPERTY(QVariant maximum MEMBER maximum)
    Q_PROPERTY(QVariant count MEMBER count)
    Q_PROPERTY(QVariant currentIndex MEMBER currentIndex)
    Q_PROPERTY(QVariant checked MEMBER checked)
    Q_PROPERTY(QVariant text MEMBER text)
public:
    using QObject::QObject;
    QVariant value, minimum, maximum, count, currentIndex, checked, text;
};

// A window of plain objects, one per control name, made once and put back
// to its starting state for each input: making two windows of objects per
// input, and finding each control by a search of the window, took most of
// the time. Putting back sets every property that making it set, and
// loading sets no other, so a window put back is a window made anew.
class Window
{
public:
    QObject *control(const QString &name)
    {
        QObject *&slot = byName[name];
        if (!slot) {
            slot = new Control(&root);
            slot->setObjectName(name);
        }
        return slot;
    }
    const QObject *find(const QString &name) const { return byName.value(name); }
    QObject *object() { return &root; }

    void reset(int minimum, int span, int choices)
    {
        for (const Key &key : DeviceSettingsKeys::keys()) {
            if (key.record >= 0)
                continue;
            if (!key.buttons.isEmpty()) {
                for (int i = 0; i < key.buttons.size(); ++i)
                    control(key.buttons.at(i))->setProperty("checked", false); // loading checks one
                continue;
            }
            QObject *c = control(key.control);
            switch (key.kind) {
            case Kind::Number:
            case Kind::Real:
                c->setProperty("minimum", key.kind == Kind::Real ? QVariant(double(minimum)) : QVariant(minimum));
                c->setProperty("maximum",
                               key.kind == Kind::Real ? QVariant(double(minimum + span)) : QVariant(minimum + span));
                c->setProperty("value", key.fallback);
                break;
            case Kind::Index:
            case Kind::Word:
                c->setProperty("count", key.kind == Kind::Word ? key.words.size() : choices);
                c->setProperty("currentIndex", key.kind == Kind::Word ? key.words.indexOf(key.fallback.toString())
                                                                       : key.fallback.toInt());
                break;
            case Kind::Bool:
                c->setProperty("checked", key.fallback);
                break;
            case Kind::Digit:
                c->setProperty("text", key.fallback);
                break;
            }
        }
    }

private:
    QObject root;
    QHash<QString, QObject *> byName;
};

// A reading as loading takes it: the right type, and the default whenever
// the stored value was not taken.
void checkReading(const DeviceSettingsKeys::Reading &r, const Key &key, const QSettings &store)
{
    if (r.stored != store.contains(key.path()) || (!r.stored && !r.problem.isEmpty()))
        std::abort();
    const QVariant fallback =
        key.kind == Kind::Word ? QVariant(key.words.indexOf(key.fallback.toString())) : key.fallback;
    if (!r.problem.isEmpty() && r.value != fallback)
        std::abort();
    switch (key.kind) {
    case Kind::Number:
    case Kind::Index:
        if (r.value.type() != QVariant::Int)
            std::abort();
        break;
    case Kind::Real:
        if (r.value.type() != QVariant::Double || !std::isfinite(r.value.toDouble()))
            std::abort();
        break;
    case Kind::Bool:
        if (r.value.type() != QVariant::Bool)
            std::abort();
        break;
    case Kind::Digit: {
        const QString text = r.value.toString();
        if (text.size() != 1 || text.at(0) < QLatin1Char('0') || text.at(0) > QLatin1Char('9'))
            std::abort();
        break;
    }
    case Kind::Word:
        if (r.value.toInt() < 0 || r.value.toInt() >= key.words.size())
            std::abort();
        break;
    }
}

// After loading, every control with a range holds a value inside it.
void checkWindow(const Window &window, const QVector<QVariant> &values)
{
    const QVector<Key> &keys = DeviceSettingsKeys::keys();
    if (values.size() != keys.size())
        std::abort();
    for (int i = 0; i < keys.size(); ++i) {
        const Key &key = keys.at(i);
        const QVariant &value = values.at(i);
        if (!value.isValid())
            std::abort();
        const QObject *c = key.control.isEmpty() ? nullptr : window.find(key.control);
        double minimum = key.minimum, maximum = key.maximum;
        if (c && (key.kind == Kind::Number || key.kind == Kind::Real)) {
            minimum = c->property("minimum").toDouble();
            maximum = c->property("maximum").toDouble();
        }
        if (key.kind == Kind::Word || key.kind == Kind::Bool || key.kind == Kind::Index || minimum >= maximum)
            continue;
        const double v = value.toDouble();
        if (!(v >= minimum && v <= maximum))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Timed timed(data, size);
    FuzzSupport::silenceLog();
    FuzzSupport::Prefix prefix(data, size);
    const int minimum = int(int8_t(prefix.byte()));
    const int span = prefix.byte();
    const int choices = prefix.byte() % 24;
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("settings.ini"));
    const QString again = folder.filePath(QStringLiteral("saved.ini"));
    {
        QFile file(path);
        const qint64 length = qint64(prefix.restSize());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char *>(prefix.rest()), length) != length)
            std::abort();
        QFile::remove(again);
    }

    QSettings store(path, QSettings::IniFormat);
    for (const Key &key : DeviceSettingsKeys::keys()) {
        DeviceSettingsKeys::Reading reading = DeviceSettingsKeys::read(store, key);
        checkReading(reading, key, store);
        const double low = key.kind == Kind::Index ? 0 : minimum;
        const double high = key.kind == Kind::Index ? choices - 1 : minimum + span;
        DeviceSettingsKeys::fitRange(reading, key, low, high);
        if (reading.value.isValid() && low < high && key.kind != Kind::Word && key.kind != Kind::Bool &&
            !(reading.value.toDouble() >= low && reading.value.toDouble() <= high))
            std::abort();
    }

    static Window window;
    window.reset(minimum, span, choices);
    TriggerModel trigger;
    DeviceSettings::load(store, window.object(), trigger);
    const QVector<QVariant> loaded = DeviceSettings::controlValues(window.object(), trigger);
    checkWindow(window, loaded);

    // What the window holds now is saved, and loads back without a problem and unchanged.
    static unsigned inputs = 0;
    if (inputs++ % 8 != 0)
        return 0;
    {
        QSettings saved(again, QSettings::IniFormat);
        DeviceSettings::save(saved, window.object(), trigger);
        saved.sync();
    }
    QSettings saved(again, QSettings::IniFormat);
    static Window second;
    second.reset(minimum, span, choices);
    TriggerModel secondTrigger;
    if (!DeviceSettings::load(saved, second.object(), secondTrigger).isEmpty())
        std::abort();
    if (DeviceSettings::controlValues(second.object(), secondTrigger) != loaded)
        std::abort();
    return 0;
}

#include "fuzz_settings.moc"
