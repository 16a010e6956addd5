// SPDX-License-Identifier: GPL-3.0-only
// Python first: its header must come before any other.
#include <Python.h>

#include "core/decode/decoderlibrary.h"

#include "base/logging.h"

#include <libsigrokdecode/libsigrokdecode.h>

#include <QMutex>
#include <QMutexLocker>

#include <algorithm>

namespace Decode {

QVariant fromGVariant(GVariant *value);

QVariant fromGVariant(GVariant *value)
{
    if (!value)
        return {};
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
        return QString::fromUtf8(g_variant_get_string(value, nullptr));
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_INT64))
        return qlonglong(g_variant_get_int64(value));
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE))
        return g_variant_get_double(value);
    return {};
}

namespace Library {

namespace {

QMutex mutex;
bool tried = false;
bool started = false;
QString failure;
bool loaded = false;
QVector<DecoderInfo> catalogue;

QString text(const char *s)
{
    return s ? QString::fromUtf8(s) : QString();
}

QVector<ChannelInfo> channelList(GSList *list)
{
    QVector<ChannelInfo> out;
    for (GSList *l = list; l; l = l->next) {
        const auto *c = static_cast<const srd_channel *>(l->data);
        out.append({text(c->id), text(c->name), text(c->desc)});
    }
    return out;
}

QStringList stringList(GSList *list)
{
    QStringList out;
    for (GSList *l = list; l; l = l->next)
        out.append(text(static_cast<const char *>(l->data)));
    return out;
}

DecoderInfo describe(const srd_decoder *d)
{
    DecoderInfo info;
    info.id = text(d->id);
    info.name = text(d->name);
    info.longName = text(d->longname);
    info.description = text(d->desc);
    info.inputs = stringList(d->inputs);
    info.outputs = stringList(d->outputs);
    info.channels = channelList(d->channels);
    info.optionalChannels = channelList(d->opt_channels);
    for (GSList *l = d->options; l; l = l->next) {
        const auto *o = static_cast<const srd_decoder_option *>(l->data);
        OptionInfo option{text(o->id), text(o->desc), fromGVariant(o->def), {}};
        for (GSList *v = o->values; v; v = v->next)
            option.values.append(fromGVariant(static_cast<GVariant *>(v->data)));
        info.options.append(option);
    }
    for (GSList *l = d->annotations; l; l = l->next) {
        // Each class is two strings: its name and its description.
        auto *pair = static_cast<char **>(l->data);
        info.classNames.append(pair ? text(pair[0]) : QString());
        info.classDescriptions.append(pair && pair[0] ? text(pair[1]) : QString());
    }
    info.rowOfClass.fill(-1, info.classNames.size());
    for (GSList *l = d->annotation_rows; l; l = l->next) {
        const auto *r = static_cast<const srd_decoder_annotation_row *>(l->data);
        RowInfo row{text(r->id), text(r->desc), {}};
        for (GSList *c = r->ann_classes; c; c = c->next) {
            const int k = GPOINTER_TO_INT(c->data);
            row.classes.append(k);
            if (k >= 0 && k < info.rowOfClass.size() && info.rowOfClass[k] < 0)
                info.rowOfClass[k] = info.rows.size();
        }
        info.rows.append(row);
    }
    for (int k = 0; k < info.rowOfClass.size(); ++k) {
        if (info.rowOfClass[k] >= 0)
            continue;
        info.rowOfClass[k] = info.rows.size();
        info.rows.append({info.classNames[k], info.classDescriptions[k], {k}});
    }
    return info;
}

int logToVelto(void *, int level, const char *format, va_list args)
{
    if (level > SRD_LOG_WARN)
        return SRD_OK;
    char *message = g_strdup_vprintf(format, args);
    VELTO_LOG(QStringLiteral("Decoder library: %1").arg(QString::fromUtf8(message).trimmed()), 2);
    g_free(message);
    return SRD_OK;
}

} // namespace

bool initialize(QString *why)
{
    QMutexLocker lock(&mutex);
    if (!tried) {
        tried = true;
        if (Py_IsInitialized()) {
            failure = QStringLiteral("Python was started before the decoder library, which must start it");
        } else {
            // The same Python the console was built for, whatever python3
            // comes first on the path.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            static wchar_t *home = Py_DecodeLocale(VELTO_PYTHON_HOME, nullptr);
            if (home)
                Py_SetPythonHome(home);
#pragma GCC diagnostic pop
            srd_log_callback_set(logToVelto, nullptr);
            srd_log_loglevel_set(SRD_LOG_WARN);
            const int status = srd_init(nullptr);
            if (status == SRD_OK)
                started = true;
            else
                failure = QString::fromUtf8(srd_strerror(status));
        }
        if (started)
            VELTO_LOG(QStringLiteral("Decoder library %1 started").arg(QString::fromUtf8(srd_lib_version_string_get())), 0);
        else
            VELTO_LOG(QStringLiteral("Decoder library cannot start: %1").arg(failure), 3);
    }
    if (!started && why)
        *why = failure;
    return started;
}

bool isInitialized()
{
    QMutexLocker lock(&mutex);
    return started;
}

void finalize()
{
    QMutexLocker lock(&mutex);
    if (!started)
        return;
    srd_exit();
    started = false;
    catalogue.clear();
}

void keepSingletonsReferenced()
{
    constexpr Py_ssize_t low = Py_ssize_t(1) << 20;
    constexpr Py_ssize_t stock = Py_ssize_t(1) << 40;
    const PyGILState_STATE gil = PyGILState_Ensure();
    for (PyObject *singleton : {Py_True, Py_False, Py_None}) {
        if (Py_REFCNT(singleton) < low)
            Py_SET_REFCNT(singleton, Py_REFCNT(singleton) + stock);
    }
    PyGILState_Release(gil);
}

const QVector<DecoderInfo> &decoders()
{
    QMutexLocker lock(&mutex);
    if (started && !loaded) {
        loaded = true;
        if (srd_decoder_load_all() != SRD_OK)
            VELTO_LOG(QStringLiteral("Decoder library: some decoders could not be loaded"), 2);
        for (const GSList *l = srd_decoder_list(); l; l = l->next)
            catalogue.append(describe(static_cast<const srd_decoder *>(l->data)));
        std::sort(catalogue.begin(), catalogue.end(),
                  [](const DecoderInfo &a, const DecoderInfo &b) { return a.id < b.id; });
    }
    return catalogue;
}

const DecoderInfo *find(const QString &id)
{
    for (const DecoderInfo &d : decoders()) {
        if (d.id == id)
            return &d;
    }
    return nullptr;
}

QVariant optionValue(const OptionInfo &option, const QVariant &value)
{
    QVariant v;
    bool ok = true;
    switch (int(option.defaultValue.type())) {
    case QMetaType::QString:
        v = value.toString();
        break;
    case QMetaType::LongLong:
        v = value.toString().trimmed().toLongLong(&ok);
        break;
    case QMetaType::Double:
        v = value.toString().trimmed().toDouble(&ok);
        break;
    default:
        return {};
    }
    if (!ok)
        return {};
    if (!option.values.isEmpty() && !option.values.contains(v))
        return {};
    return v;
}

} // namespace Library

} // namespace Decode
