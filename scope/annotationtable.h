// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/decode/decoderlibrary.h"
#include "core/decode/decoderunner.h"

#include <QObject>
#include <QVector>

class QComboBox;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMainWindow;
class QTableWidget;

// The "Annotations" dock: every annotation of the frame decoded last (while
// recording, of every frame decoded since the recording started) with its
// frame, time, decoder, row and text; filtered by decoder and row, searched,
// copied as tab-separated text and exported as CSV.
class AnnotationTable : public QObject
{
    Q_OBJECT
public:
    // `folder` is where the export dialog starts (the Record panel's folder).
    AnnotationTable(QMainWindow *window, const QString *folder, QObject *parent = nullptr);

    QDockWidget *dock() const { return dockWidget; }
    void setDecoders(const QVector<Decode::DecoderSetting> &settings);
    void addFrame(const Decode::DecodedFrame &frame);
    // While on, frames are added to the table instead of replacing it.
    void setRecording(bool on);

    struct Entry {
        uint64_t frame = 0;
        double seconds = 0.0; // from the frame's first sample
        int64_t start = 0;
        int64_t end = 0;
        int decoder = 0;
        QString decoderName;
        QString row;
        QString text;
    };
    const QVector<Entry> &entries() const { return all; }
    // The rows shown (after the filters), in order.
    QVector<int> shownEntries() const;
    // The shown rows as CSV: a header line, then frame, time in seconds,
    // start and end sample, decoder, row and text, quoted where needed.
    QByteArray csv() const;
    void copyShown() const;
    void exportCsv();

private:
    void refill();
    void refreshFilters();

    QDockWidget *dockWidget = nullptr;
    QComboBox *decoderFilter = nullptr;
    QComboBox *rowFilter = nullptr;
    QLineEdit *search = nullptr;
    QTableWidget *table = nullptr;
    QLabel *summary = nullptr;
    QVector<Decode::DecoderSetting> decoders;
    QVector<const Decode::DecoderInfo *> infos;
    QVector<Entry> all;
    bool recording = false;
    qint64 notKept = 0;
    const QString *folder = nullptr;
};
