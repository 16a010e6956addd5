// SPDX-License-Identifier: GPL-3.0-only
#include "core/decode/decodesession.h"

#include "core/decode/decoderlibrary.h"

#include <libsigrokdecode/libsigrokdecode.h>

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <cmath>

namespace Decode {

namespace {

struct Run {
    FrameDecoding *out = nullptr;
    QHash<const srd_decoder_inst *, int> settingOf;
    QVector<const DecoderInfo *> infos;
};

// The library's errors of the decoding under way, with the instance they
// name; the library reports them from the decoders' own threads.
QMutex errorMutex;
QStringList *runErrors = nullptr;

int collectErrors(void *, int level, const char *format, va_list args)
{
    if (level > SRD_LOG_ERR)
        return SRD_OK;
    char *message = g_strdup_vprintf(format, args);
    {
        QMutexLocker lock(&errorMutex);
        if (runErrors)
            runErrors->append(QString::fromUtf8(message).trimmed());
    }
    g_free(message);
    return SRD_OK;
}

void takeAnnotation(srd_proto_data *data, void *context)
{
    auto *run = static_cast<Run *>(context);
    const int setting = run->settingOf.value(data->pdo->di, -1);
    if (setting < 0)
        return;
    const auto *a = static_cast<const srd_proto_data_annotation *>(data->data);
    const DecoderInfo *info = run->infos[setting];
    Annotation annotation;
    annotation.decoder = setting;
    annotation.annotationClass = a->ann_class;
    annotation.row = a->ann_class >= 0 && a->ann_class < info->rowOfClass.size() ? info->rowOfClass[a->ann_class] : 0;
    annotation.start = int64_t(data->start_sample);
    annotation.end = int64_t(data->end_sample);
    for (char **t = a->ann_text; t && *t; ++t)
        annotation.texts.append(QString::fromUtf8(*t));
    run->out->annotations.append(annotation);
}

GVariant *toGVariant(const QVariant &value)
{
    switch (int(value.type())) {
    case QMetaType::QString:
        return g_variant_new_string(value.toString().toUtf8().constData());
    case QMetaType::LongLong:
        return g_variant_new_int64(value.toLongLong());
    case QMetaType::Double:
        return g_variant_new_double(value.toDouble());
    default:
        return nullptr;
    }
}

GHashTable *newTable()
{
    return g_hash_table_new_full(g_str_hash, g_str_equal, g_free, reinterpret_cast<GDestroyNotify>(g_variant_unref));
}

// The library's error lines, each given to the instance it names; the
// lines of a traceback that follow belong to the same one.
QHash<QString, QString> errorsByInstance(const QStringList &errors, const QStringList &ids)
{
    QHash<QString, QString> mine;
    QString owner;
    for (const QString &e : errors) {
        for (const QString &id : ids) {
            if (e.contains(QStringLiteral("instance %1:").arg(id)))
                owner = id;
        }
        if (!owner.isEmpty())
            mine[owner] += (mine[owner].isEmpty() ? QString() : QStringLiteral("\n")) + e;
    }
    return mine;
}

} // namespace

uint64_t decoderSampleRate(double samplesPerSecond)
{
    if (!(samplesPerSecond >= 1.0))
        return 1;
    return uint64_t(std::llround(samplesPerSecond));
}

namespace {
// One session over the frame with every setting not in `skip`; the settings
// whose decoder failed while decoding are added to `failed`.
void runSession(const QVector<DecoderSetting> &settings, const QVector<bool> &skip, const uint8_t *logic,
                int64_t count, uint64_t sampleRate, FrameDecoding *out, QVector<int> *failed)
{
    Run run;
    run.out = out;
    run.infos.fill(nullptr, settings.size());
    srd_session *session = nullptr;
    if (srd_session_new(&session) != SRD_OK)
        return;
    QVector<srd_decoder_inst *> instances(settings.size(), nullptr);
    bool anyRoot = false;
    for (int i = 0; i < settings.size(); ++i) {
        if (skip[i])
            continue;
        const DecoderSetting &s = settings[i];
        const DecoderInfo *info = Library::find(s.id);
        if (!info) {
            out->errors[i] = QStringLiteral("no decoder \"%1\" is installed").arg(s.id);
            continue;
        }
        run.infos[i] = info;
        const bool stacked = s.parent >= 0;
        if (stacked && (s.parent >= i || !instances[s.parent])) {
            out->errors[i] = QStringLiteral("the decoder it is stacked on does not decode");
            continue;
        }
        if (!stacked && !info->takesLogic()) {
            out->errors[i] = QStringLiteral("it reads what a %1 decoder says: stack it on one")
                                 .arg(info->inputs.join(QStringLiteral(", ")));
            continue;
        }
        if (!stacked) {
            QStringList missing;
            for (const ChannelInfo &c : info->channels) {
                if (!s.channels.contains(c.id))
                    missing.append(c.name);
            }
            if (!missing.isEmpty()) {
                out->errors[i] = QStringLiteral("assign a logic bit to %1").arg(missing.join(QStringLiteral(", ")));
                continue;
            }
        }
        GHashTable *options = newTable();
        for (const OptionInfo &o : info->options) {
            if (!s.options.contains(o.id))
                continue;
            const QVariant v = Library::optionValue(o, s.options.value(o.id));
            if (GVariant *g = v.isValid() ? toGVariant(v) : nullptr)
                g_hash_table_insert(options, g_strdup(o.id.toUtf8().constData()), g_variant_ref_sink(g));
        }
        srd_decoder_inst *di = srd_inst_new(session, s.id.toUtf8().constData(), options);
        g_hash_table_destroy(options);
        if (!di) {
            out->errors[i] = QStringLiteral("the decoder could not be set up");
            continue;
        }
        if (!stacked) {
            GHashTable *channels = newTable();
            for (auto c = s.channels.constBegin(); c != s.channels.constEnd(); ++c) {
                if (c.value() >= 0 && c.value() < 8)
                    g_hash_table_insert(channels, g_strdup(c.key().toUtf8().constData()),
                                        g_variant_ref_sink(g_variant_new_int32(c.value())));
            }
            const int status = srd_inst_channel_set_all(di, channels);
            g_hash_table_destroy(channels);
            if (status != SRD_OK) {
                out->errors[i] = QStringLiteral("its channels could not be assigned");
                continue;
            }
            anyRoot = true;
        } else if (srd_inst_stack(session, instances[s.parent], di) != SRD_OK) {
            out->errors[i] = QStringLiteral("it cannot be stacked on %1").arg(settings[s.parent].id);
            continue;
        }
        instances[i] = di;
        run.settingOf.insert(di, i);
    }
    if (anyRoot && count > 0) {
        srd_pd_output_callback_add(session, SRD_OUTPUT_ANN, takeAnnotation, &run);
        srd_session_metadata_set(session, SRD_CONF_SAMPLERATE, g_variant_new_uint64(sampleRate));
        QStringList errors;
        srd_log_callback cb = nullptr;
        void *cbData = nullptr;
        srd_log_callback_get(&cb, &cbData);
        {
            QMutexLocker lock(&errorMutex);
            runErrors = &errors;
        }
        srd_log_callback_set(collectErrors, nullptr);
        int status = srd_session_start(session);
        if (status == SRD_OK)
            status = srd_session_send(session, 0, uint64_t(count), logic, uint64_t(count), 1);
        srd_session_terminate_reset(session);
        srd_log_callback_set(cb, cbData);
        {
            QMutexLocker lock(&errorMutex);
            runErrors = nullptr;
        }
        QStringList ids;
        for (srd_decoder_inst *di : instances)
            ids << (di ? QString::fromUtf8(di->inst_id) : QString());
        const QHash<QString, QString> mine = errorsByInstance(errors, ids);
        for (int i = 0; i < settings.size(); ++i) {
            if (instances[i] && mine.contains(ids[i])) {
                out->errors[i] = mine.value(ids[i]);
                failed->append(i);
            }
        }
        if (status != SRD_OK && failed->isEmpty()) {
            // Nobody named: every decoder of the session shares the failure.
            for (int i = 0; i < settings.size(); ++i) {
                if (instances[i])
                    out->errors[i] = errors.isEmpty() ? QString::fromUtf8(srd_strerror(status)) : errors.join('\n');
            }
        }
    }
    srd_session_destroy(session);
}
} // namespace

void decodeFrame(const QVector<DecoderSetting> &settings, const uint8_t *logic, int64_t count, uint64_t sampleRate,
                 FrameDecoding *out)
{
    out->sampleRate = sampleRate;
    out->samples = count;
    out->annotations.clear();
    out->errors = QStringList();
    for (int i = 0; i < settings.size(); ++i)
        out->errors.append(QString());
    QString why;
    if (!Library::initialize(&why)) {
        for (QString &e : out->errors)
            e = QStringLiteral("the decoder library cannot start: %1").arg(why);
        return;
    }
    // A decoder that raises stops the session: the frame is decoded again
    // without it (and what is stacked on it), so that the others still show.
    QVector<bool> skip(settings.size(), false);
    for (int attempt = 0; attempt <= settings.size(); ++attempt) {
        QVector<int> failed;
        out->annotations.clear();
        runSession(settings, skip, logic, count, sampleRate, out, &failed);
        Library::keepSingletonsReferenced();
        if (failed.isEmpty())
            return;
        for (int i : failed)
            skip[i] = true;
        for (int i = 0; i < settings.size(); ++i) {
            if (settings[i].parent >= 0 && settings[i].parent < i && skip[settings[i].parent] && !skip[i]) {
                skip[i] = true;
                out->errors[i] = QStringLiteral("the decoder it is stacked on failed");
            }
        }
    }
}

} // namespace Decode
