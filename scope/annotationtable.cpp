// SPDX-License-Identifier: GPL-3.0-only
#include "scope/annotationtable.h"

#include "core/decode/decoderlibrary.h"
#include "ui/filesaving.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// The most rows the table shows at once; the export takes them all.
constexpr int shownAtMost = 20000;
// The most annotations a recording keeps (some 100 MB of them).
constexpr int keptAtMost = 500000;

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

AnnotationTable::AnnotationTable(QMainWindow *window, const QString *folder, QObject *parent)
    : QObject(parent), folder(folder)
{
    dockWidget = new QDockWidget(tr("Annotations"), window);
    dockWidget->setObjectName(QStringLiteral("dockWidget_annotations"));
    dockWidget->setFeatures(QDockWidget::DockWidgetFloatable | QDockWidget::DockWidgetMovable |
                            QDockWidget::DockWidgetClosable);
    auto *contents = new QWidget;
    auto *layout = new QVBoxLayout(contents);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *bar = new QHBoxLayout;
    decoderFilter = new QComboBox;
    decoderFilter->setObjectName(QStringLiteral("annotationDecoderFilter"));
    decoderFilter->setToolTip(tr("Shows the annotations of one decoder, or of all"));
    rowFilter = new QComboBox;
    rowFilter->setObjectName(QStringLiteral("annotationRowFilter"));
    rowFilter->setToolTip(tr("Shows the annotations of one row, or of all"));
    search = new QLineEdit;
    search->setObjectName(QStringLiteral("annotationSearch"));
    search->setPlaceholderText(tr("Search the texts"));
    search->setClearButtonEnabled(true);
    auto *copy = new QPushButton(tr("Copy"));
    copy->setObjectName(QStringLiteral("annotationCopyButton"));
    copy->setToolTip(tr("Copies the rows selected, or all rows shown, as tab-separated text"));
    auto *exportButton = new QPushButton(tr("Export CSV..."));
    exportButton->setObjectName(QStringLiteral("annotationExportButton"));
    exportButton->setToolTip(tr("Saves the rows shown as a CSV file"));
    bar->addWidget(new QLabel(tr("Decoder:")));
    bar->addWidget(decoderFilter);
    bar->addWidget(new QLabel(tr("Row:")));
    bar->addWidget(rowFilter);
    bar->addWidget(search, 1);
    bar->addWidget(copy);
    bar->addWidget(exportButton);
    layout->addLayout(bar);
    table = new QTableWidget(0, 5);
    table->setObjectName(QStringLiteral("annotationTable"));
    table->setHorizontalHeaderLabels({tr("Frame"), tr("Time"), tr("Decoder"), tr("Row"), tr("Text")});
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    layout->addWidget(table, 1);
    summary = new QLabel;
    summary->setObjectName(QStringLiteral("annotationSummary"));
    layout->addWidget(summary);
    dockWidget->setWidget(contents);
    window->addDockWidget(Qt::BottomDockWidgetArea, dockWidget);
    dockWidget->hide();

    connect(decoderFilter, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        refreshFilters();
        refill();
    });
    connect(rowFilter, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &AnnotationTable::refill);
    connect(search, &QLineEdit::textChanged, this, &AnnotationTable::refill);
    // Frames decoded while the dock was hidden are listed as it shows.
    connect(dockWidget, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            refill();
    });
    connect(copy, &QPushButton::clicked, this, &AnnotationTable::copyShown);
    connect(exportButton, &QPushButton::clicked, this, &AnnotationTable::exportCsv);
    setDecoders({});
}

void AnnotationTable::setDecoders(const QVector<Decode::DecoderSetting> &settings)
{
    decoders = settings;
    all.clear();
    infos.clear();
    for (const Decode::DecoderSetting &d : decoders)
        infos.append(Decode::Library::isInitialized() ? Decode::Library::find(d.id) : nullptr);
    {
        QSignalBlocker block(decoderFilter);
        decoderFilter->clear();
        decoderFilter->addItem(tr("All"), -1);
        for (int d = 0; d < decoders.size(); ++d) {
            const Decode::DecoderInfo *info = Decode::Library::isInitialized() ? Decode::Library::find(decoders[d].id) : nullptr;
            decoderFilter->addItem(QStringLiteral("%1: %2").arg(d + 1).arg(info ? info->name : decoders[d].id), d);
        }
    }
    refreshFilters();
    refill();
}

void AnnotationTable::refreshFilters()
{
    const QString keep = rowFilter->currentText();
    QSignalBlocker block(rowFilter);
    rowFilter->clear();
    rowFilter->addItem(tr("All"));
    const int d = decoderFilter->currentData().toInt();
    const Decode::DecoderInfo *info =
        d >= 0 && d < decoders.size() && Decode::Library::isInitialized() ? Decode::Library::find(decoders[d].id) : nullptr;
    if (info) {
        for (const Decode::RowInfo &r : info->rows)
            rowFilter->addItem(r.description);
    }
    rowFilter->setCurrentIndex(qMax(0, rowFilter->findText(keep)));
    rowFilter->setEnabled(info != nullptr);
}

void AnnotationTable::setRecording(bool on)
{
    if (on && !recording) {
        all.clear();
        notKept = 0;
    }
    recording = on;
}

void AnnotationTable::addFrame(const Decode::DecodedFrame &frame)
{
    if (!recording) {
        all.clear();
        notKept = 0;
    }
    const Decode::FrameDecoding &f = frame.decoding;
    // In time order, whatever order the decoders gave them in.
    QVector<Decode::Annotation> sorted = f.annotations;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Decode::Annotation &x, const Decode::Annotation &y) { return x.start < y.start; });
    for (const Decode::Annotation &a : sorted) {
        if (a.decoder < 0 || a.decoder >= decoders.size())
            continue;
        if (all.size() >= keptAtMost) {
            ++notKept;
            continue;
        }
        const Decode::DecoderInfo *info = infos.value(a.decoder);
        Entry e;
        e.frame = f.frame;
        e.seconds = f.sampleRate ? double(a.start) / double(f.sampleRate) : 0.0;
        e.start = a.start;
        e.end = a.end;
        e.decoder = a.decoder;
        e.decoderName = info ? info->name : decoders[a.decoder].id;
        e.row = info && a.row < info->rows.size() ? info->rows[a.row].description : QString::number(a.row);
        e.text = a.texts.value(0);
        all.append(e);
    }
    if (dockWidget->isVisible())
        refill();
}

QVector<int> AnnotationTable::shownEntries() const
{
    QVector<int> shown;
    const int d = decoderFilter->currentData().toInt();
    const QString row = rowFilter->currentIndex() > 0 ? rowFilter->currentText() : QString();
    const QString text = search->text();
    for (int k = 0; k < all.size(); ++k) {
        const Entry &e = all[k];
        if ((d >= 0 && e.decoder != d) || (!row.isEmpty() && e.row != row) ||
            (!text.isEmpty() && !e.text.contains(text, Qt::CaseInsensitive)))
            continue;
        shown.append(k);
    }
    return shown;
}

void AnnotationTable::refill()
{
    const QVector<int> shown = shownEntries();
    const int n = qMin(shown.size(), shownAtMost);
    table->setUpdatesEnabled(false);
    table->setRowCount(n);
    for (int k = 0; k < n; ++k) {
        const Entry &e = all[shown[k]];
        const QString cells[5] = {QString::number(e.frame), QStringLiteral("%1 ms").arg(e.seconds * 1e3, 0, 'f', 3),
                                  e.decoderName, e.row, e.text};
        for (int c = 0; c < 5; ++c) {
            QTableWidgetItem *item = table->item(k, c);
            if (!item) {
                item = new QTableWidgetItem;
                table->setItem(k, c, item);
            }
            item->setText(cells[c]);
        }
    }
    table->setUpdatesEnabled(true);
    QString text = tr("%1 of %2 annotations shown").arg(shown.size()).arg(all.size());
    if (shown.size() > n)
        text += tr(" (the table lists the first %1; Copy and Export take all)").arg(n);
    if (notKept)
        text += tr("; %1 more not kept, the table being full").arg(notKept);
    summary->setText(recording ? text + tr(", every frame while recording") : text);
}

QByteArray AnnotationTable::csv() const
{
    QString out = QStringLiteral("frame,time_s,start_sample,end_sample,decoder,row,text\n");
    for (int k : shownEntries()) {
        const Entry &e = all[k];
        out += QStringLiteral("%1,%2,%3,%4,%5,%6,%7\n")
                   .arg(e.frame)
                   .arg(e.seconds, 0, 'g', 9)
                   .arg(e.start)
                   .arg(e.end)
                   .arg(csvField(e.decoderName), csvField(e.row), csvField(e.text));
    }
    return out.toUtf8();
}

void AnnotationTable::copyShown() const
{
    QSet<int> picked;
    for (const QModelIndex &i : table->selectionModel()->selectedRows())
        picked.insert(i.row());
    const QVector<int> shown = shownEntries();
    QStringList lines;
    for (int k = 0; k < shown.size(); ++k) {
        if (!picked.isEmpty() && !picked.contains(k))
            continue;
        const Entry &e = all[shown[k]];
        lines << QStringLiteral("%1\t%2\t%3\t%4\t%5").arg(e.frame).arg(e.seconds, 0, 'g', 9).arg(e.decoderName, e.row, e.text);
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void AnnotationTable::exportCsv()
{
    QString filter;
    QString path = FileSaving::chooseFile(dockWidget, tr("Export annotations"), folder ? *folder : QDir::homePath(),
                                          tr("CSV (*.csv)"), &filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    if (!path.isEmpty())
        FileSaving::save(dockWidget, tr("Export annotations"), path, csv());
}
