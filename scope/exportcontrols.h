// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QObject>
#include <QString>

class QPainter;
class QRect;
class ScopeDisplay;
class ScopePlot;
namespace Ui {
class VeltoInterface;
}

// The "Export..." menu entry: enabled once a frame from the instrument came,
// it saves the traces shown (that frame, or a loaded or played-back wave in
// its place) as CSV, as a Value Change Dump or as a sigrok session, or the plot as a PNG picture
// or an SVG drawing, never replacing a file without asking.
class ExportControls : public QObject
{
    Q_OBJECT
public:
    enum class Format { Csv, Vcd, Png, Svg, Sigrok };

    ExportControls(Ui::VeltoInterface *ui, ScopeDisplay *display, ScopePlot *plot, QString *defaultDir,
                   QObject *parent = nullptr);

    // Enables or disables the menu entry.
    void setFrameAvailable(bool available);
    // The dialog: picks a file and a format, then exports.
    void exportTriggered();
    // Exports to `path` in `format`; false when nothing was written (the user
    // kept an existing file, or the write failed and a message said why).
    bool exportTo(const QString &path, Format format);
    // The format a file name's suffix asks for; Csv for an unknown one.
    static Format formatForSuffix(const QString &suffix);
    static bool knownSuffix(const QString &suffix);

signals:
    void statusText(const QString &text, bool busy);

private:
    QByteArray contents(Format format, QString *why) const;
    // The scale row under the plot: each channel's swatch and V/div, and the time/div.
    int scaleRowHeight() const;
    void paintScaleRow(QPainter *painter, const QRect &row) const;

    Ui::VeltoInterface *ui;
    ScopeDisplay *display;
    ScopePlot *plot;
    QString *defaultDir;
};
