// SPDX-License-Identifier: GPL-3.0-only
#include "scope/decoderpanel.h"

#include "base/logging.h"
#include "core/decode/decoderlibrary.h"
#include "core/device/frames.h"
#include "core/scope/frameexport.h"
#include "core/scope/scaletables.h"
#include "scope/scopedisplay.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const QString group = QStringLiteral("decoders");

QString valueText(const QVariant &v)
{
    return v.type() == QVariant::Double ? QString::number(v.toDouble(), 'g', 12) : v.toString();
}

QString title(const Decode::DecoderInfo *info, const QString &id)
{
    return info ? info->name : id;
}
} // namespace

DecoderPanel::DecoderPanel(QMainWindow *window, ScopeDisplay *display, QObject *parent)
    : QObject(parent), display(display)
{
    dockWidget = new QDockWidget(tr("Decoders"), window);
    dockWidget->setObjectName(QStringLiteral("dockWidget_decoders"));
    dockWidget->setFeatures(QDockWidget::DockWidgetFloatable | QDockWidget::DockWidgetMovable);
    auto *contents = new QWidget;
    auto *layout = new QVBoxLayout(contents);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *buttons = new QHBoxLayout;
    auto *addButton = new QPushButton(tr("Add decoder..."));
    addButton->setObjectName(QStringLiteral("decoderAddButton"));
    addButton->setToolTip(tr("Adds a protocol decoder on the logic bits, or stacked on the decoder selected"));
    removeButton = new QPushButton(tr("Remove"));
    removeButton->setObjectName(QStringLiteral("decoderRemoveButton"));
    removeButton->setToolTip(tr("Removes the decoder selected and the decoders stacked on it"));
    buttons->addWidget(addButton);
    buttons->addWidget(removeButton);
    layout->addLayout(buttons);
    list = new QListWidget;
    list->setObjectName(QStringLiteral("decoderList"));
    list->setToolTip(tr("The decoders, each under the one it is stacked on"));
    list->setMaximumHeight(120);
    layout->addWidget(list);
    channelBox = new QGroupBox(tr("Channels"));
    channelForm = new QFormLayout(channelBox);
    layout->addWidget(channelBox);
    optionBox = new QGroupBox(tr("Options"));
    optionForm = new QFormLayout(optionBox);
    layout->addWidget(optionBox);
    status = new QLabel;
    status->setObjectName(QStringLiteral("decoderStatus"));
    status->setWordWrap(true);
    layout->addWidget(status);
    auto *bitRows = new QCheckBox(tr("Bit rows on the plot"));
    bitRows->setObjectName(QStringLiteral("decoderBitRows"));
    bitRows->setToolTip(tr("Also draws the decoders' rows of single bits under the logic traces"));
    layout->addWidget(bitRows);
    connect(bitRows, &QCheckBox::toggled, this, &DecoderPanel::bitRowsToggled);
    auto *tableButton = new QPushButton(tr("Annotation table"));
    tableButton->setObjectName(QStringLiteral("decoderTableButton"));
    tableButton->setToolTip(tr("Shows every annotation of the frame in a table to filter, search, copy and export"));
    layout->addWidget(tableButton);
    connect(tableButton, &QPushButton::clicked, this, &DecoderPanel::tableRequested);
    layout->addStretch(1);
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(contents);
    dockWidget->setWidget(scroll);
    window->addDockWidget(Qt::RightDockWidgetArea, dockWidget);

    connect(addButton, &QPushButton::clicked, this, &DecoderPanel::showAddDialog);
    connect(removeButton, &QPushButton::clicked, this, [this] {
        if (selected() >= 0)
            removeDecoder(selected());
    });
    connect(list, &QListWidget::currentRowChanged, this, &DecoderPanel::rebuildDetails);
    statusPace.setSingleShot(true);
    statusPace.setInterval(250);
    connect(&statusPace, &QTimer::timeout, this, &DecoderPanel::refreshStatus);
    connect(display, &ScopeDisplay::frameProcessed, this, &DecoderPanel::frameTaken);
    connect(&decodeRunner, &Decode::DecodeRunner::decoded, this, &DecoderPanel::resultArrived, Qt::QueuedConnection);
    load();
}

DecoderPanel::~DecoderPanel() = default;

int DecoderPanel::selected() const
{
    return list->currentRow() >= 0 && list->currentRow() < decoders.size() ? list->currentRow() : -1;
}

bool DecoderPanel::addDecoder(const QString &id, int parent)
{
    QString why;
    if (!Decode::Library::initialize(&why)) {
        status->setText(tr("The protocol decoder library cannot start: %1").arg(why));
        return false;
    }
    const Decode::DecoderInfo *info = Decode::Library::find(id);
    if (!info) {
        status->setText(tr("No decoder \"%1\" is installed.").arg(id));
        VELTO_LOG(QStringLiteral("Decoders: no decoder \"%1\" is installed").arg(id), 2);
        return false;
    }
    Decode::DecoderSetting setting;
    setting.id = id;
    if (!info->takesLogic()) {
        // It reads another decoder's output: that one, or the nearest above that says what it reads.
        auto reads = [&](int k) {
            const Decode::DecoderInfo *below = Decode::Library::find(decoders[k].id);
            for (const QString &out : below ? below->outputs : QStringList())
                if (info->inputs.contains(out))
                    return true;
            return false;
        };
        if (parent < 0 || parent >= decoders.size() || !reads(parent)) {
            parent = -1;
            for (int k = decoders.size() - 1; k >= 0 && parent < 0; --k)
                if (reads(k))
                    parent = k;
        }
        if (parent < 0) {
            status->setText(tr("%1 decodes what a %2 decoder says: add one of those first.")
                                .arg(info->name, info->inputs.join(QStringLiteral(", "))));
            return false;
        }
        setting.parent = parent;
    } else {
        // The channels take the bits no other decoder uses yet, in order.
        QSet<int> used;
        for (const Decode::DecoderSetting &d : decoders)
            for (int bit : d.channels)
                used.insert(bit);
        int bit = 0;
        for (const Decode::ChannelInfo &c : info->channels + info->optionalChannels) {
            while (used.contains(bit))
                ++bit;
            if (bit >= 8)
                break;
            setting.channels.insert(c.id, bit);
            used.insert(bit);
        }
    }
    // A stacked decoder goes right after the last one stacked on its parent.
    int at = decoders.size();
    decoders.insert(at, setting);
    changed();
    list->setCurrentRow(at);
    return true;
}

void DecoderPanel::removeDecoder(int index)
{
    if (index < 0 || index >= decoders.size())
        return;
    QVector<bool> gone(decoders.size(), false);
    gone[index] = true;
    for (int k = index + 1; k < decoders.size(); ++k)
        gone[k] = decoders[k].parent >= 0 && gone[decoders[k].parent];
    QVector<int> newIndex(decoders.size(), -1);
    QVector<Decode::DecoderSetting> kept;
    for (int k = 0; k < decoders.size(); ++k) {
        if (gone[k])
            continue;
        newIndex[k] = kept.size();
        Decode::DecoderSetting s = decoders[k];
        if (s.parent >= 0)
            s.parent = newIndex[s.parent];
        kept.append(s);
    }
    decoders = kept;
    changed();
}

void DecoderPanel::setChannel(int index, const QString &channel, int bit)
{
    if (index < 0 || index >= decoders.size())
        return;
    if (bit < 0 || bit > 7)
        decoders[index].channels.remove(channel);
    else
        decoders[index].channels.insert(channel, bit);
    changed();
}

bool DecoderPanel::setOption(int index, const QString &option, const QVariant &value)
{
    if (index < 0 || index >= decoders.size())
        return false;
    const Decode::DecoderInfo *info = Decode::Library::find(decoders[index].id);
    for (const Decode::OptionInfo &o : info ? info->options : QVector<Decode::OptionInfo>()) {
        if (o.id != option)
            continue;
        const QVariant v = Decode::Library::optionValue(o, value);
        if (!v.isValid()) {
            status->setText(tr("%1 is not a value %2 takes.").arg(value.toString(), o.description));
            VELTO_LOG(QStringLiteral("Decoders: \"%1\" refused for option %2 of %3")
                          .arg(value.toString(), o.id, decoders[index].id),
                      2);
            rebuildDetails();
            return false;
        }
        decoders[index].options.insert(option, v);
        changed();
        return true;
    }
    return false;
}

void DecoderPanel::changed()
{
    generation = decodeRunner.setSettings(decoders);
    newest = {};
    save();
    rebuildList();
    decodeShown();
    emit decodersChanged();
}

void DecoderPanel::decodeShown()
{
    if (display->hasInstrumentFrame())
        frameTaken(display->frame(), display->traces().startIndex(), display->traces().header().frameNumber);
}

void DecoderPanel::frameTaken(const QByteArray &frame, int start, int frameNumber)
{
    if (decoders.isEmpty())
        return;
    // The logic block alone, in time order: the decoders need no volts.
    const auto *data = reinterpret_cast<const unsigned char *>(frame.constData());
    if (frame.size() < Frames::scopeOverhead || data[0] != Frames::scopeFrameType)
        return;
    frameconfig_t header{};
    Frames::parseScopeHeader(&header, data);
    const int n = header.samplesPerChannel;
    const int at = Frames::channelBlockOffset(header.channelMask, Frames::Chd, n);
    if (n <= 0 || Frames::scopeFrameLength(header.channelMask, n) > frame.size())
        return;
    if (at < 0) {
        status->setText(tr("The frames carry no logic bits: switch the logic trace on to decode them."));
        return;
    }
    QVector<uint8_t> logic(n);
    const int first = start > 0 && start < n ? start : 0;
    for (int k = 0; k < n; ++k)
        logic[k] = data[at + (first + k) % n];
    FrameExport::Capture timing;
    timing.samplingIndex = qBound(0, int(header.samplingIndex), ScaleTables::maxSamplingIndex);
    decodeRunner.submit(uint64_t(frameNumber), logic, Decode::decoderSampleRate(1.0 / timing.samplePeriod()));
    refreshStatusSoon();
}

// The counts change with every frame: the dock says them a few times a second.
void DecoderPanel::refreshStatusSoon()
{
    if (!statusPace.isActive())
        statusPace.start();
}

void DecoderPanel::resultArrived(const Decode::DecodedFrame &result)
{
    if (result.generation != generation)
        return;
    for (int k = 0; k < decoders.size() && k < result.decoding.errors.size(); ++k) {
        const QString &e = result.decoding.errors[k];
        if (!e.isEmpty() && e != newest.decoding.errors.value(k))
            VELTO_LOG(QStringLiteral("Decoders: %1 does not decode: %2").arg(decoders[k].id, e), 2);
    }
    const bool errorsChanged = result.decoding.errors != newest.decoding.errors;
    newest = result;
    if (errorsChanged)
        refreshStatus();
    else
        refreshStatusSoon();
    emit frameDecoded(result);
}

void DecoderPanel::refreshStatus()
{
    if (decoders.isEmpty()) {
        status->setText(tr("No decoder: add one to decode the logic bits."));
        return;
    }
    const Decode::DecodeRunner::Counts c = decodeRunner.counts();
    QString text = tr("Decoded %1 of %2 frames").arg(c.decoded).arg(c.submitted);
    if (c.skipped)
        text += tr("; %1 skipped while the decoders were busy").arg(c.skipped);
    status->setText(text + QLatin1Char('.'));
    for (int k = 0; k < list->count() && k < newest.decoding.errors.size(); ++k) {
        const QString &e = newest.decoding.errors[k];
        list->item(k)->setForeground(e.isEmpty() ? list->palette().text() : QBrush(Qt::red));
        list->item(k)->setToolTip(e.isEmpty() ? QString() : e);
    }
}

void DecoderPanel::rebuildList()
{
    const int keep = list->currentRow();
    QSignalBlocker block(list);
    list->clear();
    for (const Decode::DecoderSetting &d : decoders) {
        const Decode::DecoderInfo *info = Decode::Library::find(d.id);
        int depth = 0;
        for (int p = d.parent; p >= 0; p = decoders[p].parent)
            ++depth;
        QString text = QString(depth * 3, QLatin1Char(' ')) + title(info, d.id);
        if (d.parent >= 0)
            text = QString((depth - 1) * 3, QLatin1Char(' ')) + QStringLiteral("└ ") + title(info, d.id) +
                   tr(" on %1").arg(title(Decode::Library::find(decoders[d.parent].id), decoders[d.parent].id));
        list->addItem(text);
    }
    list->setCurrentRow(qMin(keep, list->count() - 1));
    removeButton->setEnabled(!decoders.isEmpty());
    rebuildDetails();
    refreshStatus();
}

void DecoderPanel::rebuildDetails()
{
    for (QFormLayout *form : {channelForm, optionForm})
        while (form->rowCount() > 0)
            form->removeRow(0);
    const int index = selected();
    const Decode::DecoderInfo *info = index >= 0 ? Decode::Library::find(decoders[index].id) : nullptr;
    channelBox->setVisible(info && decoders[index].parent < 0);
    optionBox->setVisible(info && !info->options.isEmpty());
    if (!info)
        return;
    channelBox->setTitle(tr("%1 channels").arg(info->name));
    optionBox->setTitle(tr("%1 options").arg(info->name));
    const Decode::DecoderSetting &d = decoders[index];
    const int required = info->channels.size();
    const QVector<Decode::ChannelInfo> all = info->channels + info->optionalChannels;
    for (int k = 0; k < all.size() && d.parent < 0; ++k) {
        const Decode::ChannelInfo &c = all[k];
        auto *box = new QComboBox;
        box->setObjectName(QStringLiteral("decoderChannel_%1").arg(c.id));
        box->addItem(k < required ? tr("(choose a bit)") : tr("(not used)"), -1);
        for (int bit = 0; bit < 8; ++bit)
            box->addItem(tr("Bit %1").arg(bit), bit);
        box->setCurrentIndex(box->findData(d.channels.value(c.id, -1)));
        box->setToolTip(c.description);
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, index, id = c.id, box] {
            setChannel(index, id, box->currentData().toInt());
        });
        channelForm->addRow(k < required ? c.name + QLatin1Char('*') : c.name, box);
    }
    for (const Decode::OptionInfo &o : info->options) {
        const QVariant value = d.options.value(o.id, o.defaultValue);
        QWidget *editor = nullptr;
        if (!o.values.isEmpty()) {
            auto *box = new QComboBox;
            for (const QVariant &v : o.values)
                box->addItem(valueText(v), v);
            box->setCurrentIndex(qMax(0, o.values.indexOf(value)));
            connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                    [this, index, id = o.id, box] { setOption(index, id, box->currentData()); });
            editor = box;
        } else {
            auto *line = new QLineEdit(valueText(value));
            connect(line, &QLineEdit::editingFinished, this, [this, index, id = o.id, line, value] {
                if (line->text() != valueText(value))
                    setOption(index, id, line->text());
            });
            editor = line;
        }
        editor->setObjectName(QStringLiteral("decoderOption_%1").arg(o.id));
        editor->setToolTip(tr("%1 (default %2)").arg(o.description, valueText(o.defaultValue)));
        optionForm->addRow(o.description, editor);
    }
}

void DecoderPanel::showAddDialog()
{
    QString why;
    if (!Decode::Library::initialize(&why)) {
        status->setText(tr("The protocol decoder library cannot start: %1").arg(why));
        return;
    }
    QDialog dialog(dockWidget);
    dialog.setWindowTitle(tr("Add a protocol decoder"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *search = new QLineEdit;
    search->setObjectName(QStringLiteral("decoderSearch"));
    search->setPlaceholderText(tr("Search decoders by name or description"));
    search->setClearButtonEnabled(true);
    auto *tree = new QTreeWidget;
    tree->setObjectName(QStringLiteral("decoderCatalogue"));
    tree->setHeaderLabels({tr("Decoder"), tr("Reads"), tr("Description")});
    tree->setRootIsDecorated(false);
    for (const Decode::DecoderInfo &d : Decode::Library::decoders()) {
        auto *item = new QTreeWidgetItem(tree, {d.name, d.inputs.join(QStringLiteral(", ")), d.longName + QStringLiteral(": ") + d.description});
        item->setData(0, Qt::UserRole, d.id);
        item->setToolTip(2, d.description);
    }
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Add"));
    layout->addWidget(search);
    layout->addWidget(tree);
    layout->addWidget(buttons);
    dialog.resize(760, 480);
    connect(search, &QLineEdit::textChanged, &dialog, [tree](const QString &text) {
        for (int k = 0; k < tree->topLevelItemCount(); ++k) {
            QTreeWidgetItem *item = tree->topLevelItem(k);
            const QString all = item->text(0) + QLatin1Char(' ') + item->data(0, Qt::UserRole).toString() +
                                QLatin1Char(' ') + item->text(2);
            item->setHidden(!all.contains(text, Qt::CaseInsensitive));
        }
    });
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(tree, &QTreeWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted || !tree->currentItem())
        return;
    addDecoder(tree->currentItem()->data(0, Qt::UserRole).toString(), selected());
}

void DecoderPanel::save() const
{
    QSettings store;
    store.remove(group);
    store.beginWriteArray(group, decoders.size());
    for (int k = 0; k < decoders.size(); ++k) {
        store.setArrayIndex(k);
        store.setValue(QStringLiteral("id"), decoders[k].id);
        store.setValue(QStringLiteral("stackedOn"), decoders[k].parent);
        QVariantMap channels;
        for (auto c = decoders[k].channels.constBegin(); c != decoders[k].channels.constEnd(); ++c)
            channels.insert(c.key(), c.value());
        store.setValue(QStringLiteral("channels"), channels);
        store.setValue(QStringLiteral("options"), decoders[k].options);
    }
    store.endArray();
}

void DecoderPanel::load()
{
    QSettings store;
    const int n = store.beginReadArray(group);
    QVector<Decode::DecoderSetting> read;
    for (int k = 0; k < n; ++k) {
        store.setArrayIndex(k);
        Decode::DecoderSetting s;
        s.id = store.value(QStringLiteral("id")).toString();
        s.parent = store.value(QStringLiteral("stackedOn"), -1).toInt();
        const QVariantMap channels = store.value(QStringLiteral("channels")).toMap();
        for (auto c = channels.constBegin(); c != channels.constEnd(); ++c)
            s.channels.insert(c.key(), c.value().toInt());
        s.options = store.value(QStringLiteral("options")).toMap();
        if (s.id.isEmpty() || s.parent >= k || s.parent < -1) {
            VELTO_LOG(QStringLiteral("Decoders: stored decoder %1 (\"%2\") is not valid; it and those after it are left out")
                          .arg(k)
                          .arg(s.id),
                      2);
            break;
        }
        read.append(s);
    }
    store.endArray();
    decoders = read;
    if (!decoders.isEmpty()) {
        // Stored decoders need the library now; the list shows what it has.
        Decode::Library::initialize();
        // The store keeps numbers as text: back to each option's own type.
        for (Decode::DecoderSetting &s : decoders) {
            const Decode::DecoderInfo *info = Decode::Library::find(s.id);
            for (const Decode::OptionInfo &o : info ? info->options : QVector<Decode::OptionInfo>()) {
                if (!s.options.contains(o.id))
                    continue;
                const QVariant v = Decode::Library::optionValue(o, s.options.value(o.id));
                if (v.isValid())
                    s.options.insert(o.id, v);
                else
                    s.options.remove(o.id);
            }
        }
        generation = decodeRunner.setSettings(decoders);
    }
    rebuildList();
}
