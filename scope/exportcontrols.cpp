// SPDX-License-Identifier: GPL-3.0-only
#include "scope/exportcontrols.h"

#include "core/scope/sigroksession.h"

#include "base/logging.h"
#include "core/scope/frameexport.h"
#include "scope/scopedisplay.h"
#include "scope/scopeplot.h"
#include "ui/filesaving.h"
#include "ui/messagepresenter.h"
#include "ui/themes.h"
#include "ui_veltointerface.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QSvgGenerator>
#include <qcustomplot.h>

namespace {

struct FormatEntry {
    ExportControls::Format format;
    const char *suffix;
    const char *filter;
};

const FormatEntry formats[] = {
    {ExportControls::Format::Csv, "csv", QT_TRANSLATE_NOOP("ExportControls", "Frame values as CSV (*.csv)")},
    {ExportControls::Format::Vcd, "vcd", QT_TRANSLATE_NOOP("ExportControls", "Value Change Dump (*.vcd)")},
    {ExportControls::Format::Sigrok, "sr", QT_TRANSLATE_NOOP("ExportControls", "sigrok session (*.sr)")},
    {ExportControls::Format::Png, "png", QT_TRANSLATE_NOOP("ExportControls", "Plot as PNG picture (*.png)")},
    {ExportControls::Format::Svg, "svg", QT_TRANSLATE_NOOP("ExportControls", "Plot as SVG drawing (*.svg)")},
};

} // namespace

ExportControls::ExportControls(Ui::VeltoInterface *ui, ScopeDisplay *display, ScopePlot *plot, QString *defaultDir,
                               QObject *parent)
    : QObject(parent), ui(ui), display(display), plot(plot), defaultDir(defaultDir)
{
    connect(ui->actionExport, &QAction::triggered, this, &ExportControls::exportTriggered);
    connect(display, &ScopeDisplay::frameAvailableChanged, this, &ExportControls::setFrameAvailable);
    setFrameAvailable(display->hasInstrumentFrame());
}

void ExportControls::setFrameAvailable(bool available)
{
    ui->actionExport->setEnabled(available);
    ui->actionExport->setToolTip(available ? tr("Saves the traces shown as CSV, VCD or a sigrok session, or the plot as PNG or SVG")
                                           : tr("Not available until a frame from the instrument is shown"));
}

bool ExportControls::knownSuffix(const QString &suffix)
{
    for (const FormatEntry &entry : formats) {
        if (suffix.compare(QLatin1String(entry.suffix), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

ExportControls::Format ExportControls::formatForSuffix(const QString &suffix)
{
    for (const FormatEntry &entry : formats) {
        if (suffix.compare(QLatin1String(entry.suffix), Qt::CaseInsensitive) == 0)
            return entry.format;
    }
    return Format::Csv;
}

void ExportControls::exportTriggered()
{
    QStringList filters;
    for (const FormatEntry &entry : formats)
        filters << tr(entry.filter);
    QString chosenFilter = filters.first();
    QString path = FileSaving::chooseFile(plot->plot()->window(), tr("Export"), *defaultDir,
                                          filters.join(QStringLiteral(";;")), &chosenFilter);
    if (path.isEmpty())
        return;
    // A name that ends in a format's suffix gets that format, whatever the
    // filter; any other name gets the filter's suffix, so other tools know the file.
    const FormatEntry &entry = formats[qMax(0, filters.indexOf(chosenFilter))];
    Format format = entry.format;
    if (knownSuffix(QFileInfo(path).suffix()))
        format = formatForSuffix(QFileInfo(path).suffix());
    else
        path += QLatin1Char('.') + QLatin1String(entry.suffix);
    *defaultDir = QFileInfo(path).absolutePath();
    exportTo(path, format);
}

bool ExportControls::exportTo(const QString &path, Format format)
{
    QString why;
    const QByteArray data = contents(format, &why);
    if (data.isEmpty()) {
        VELTO_LOG(QStringLiteral("Export failed: %1").arg(why), 2);
        criticalMessagePresenter().showCritical(plot->plot()->window(), tr("Export"),
                                                tr("Nothing was saved: %1.").arg(why));
        return false;
    }
    if (!FileSaving::save(plot->plot()->window(), tr("Export"), path, data))
        return false;
    emit statusText(tr("Exported to %1").arg(QDir::toNativeSeparators(path)), false);
    return true;
}

// A picture of the plot says at what scale it was taken, as the window's
// legend under the plot does: a row of the channels' swatches with their
// V/div and the time/div is drawn under it.
int ExportControls::scaleRowHeight() const
{
    return QFontMetrics(ui->timeLabel->font()).height() + 8;
}

void ExportControls::paintScaleRow(QPainter *painter, const QRect &row) const
{
    const QBrush background = plot->background();
    painter->fillRect(row, background.style() == Qt::NoBrush ? QBrush(Qt::black) : background);
    painter->setFont(ui->timeLabel->font());
    painter->setPen(QColor(idealForegroundColor(background.color())));
    const QFontMetrics metrics(painter->font());
    const int swatch = metrics.ascent() - 2;
    const int middle = row.center().y();
    int x = row.left() + 6;
    const QColor colours[2] = {plot->graphs().ch1->pen().color(), plot->graphs().ch2->pen().color()};
    const QLabel *texts[2] = {ui->ch1Label, ui->ch2Label};
    for (int ch = 0; ch < 2; ++ch) {
        painter->fillRect(QRect(x, middle - swatch / 2, swatch, swatch), colours[ch]);
        x += swatch + 4;
        const QString text = texts[ch]->text().trimmed();
        painter->drawText(QRect(x, row.top(), metrics.horizontalAdvance(text) + 1, row.height()), Qt::AlignVCenter,
                          text);
        x += metrics.horizontalAdvance(text) + 16;
    }
    // The time legend has the spectrum's scale on a second line while it is shown.
    const QString time = ui->timeLabel->text().replace(QLatin1Char('\n'), QStringLiteral("   "));
    painter->drawText(row.adjusted(0, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter, time);
}

QByteArray ExportControls::contents(Format format, QString *why) const
{
    display->showOwed(); // the newest frame, not the one last painted
    QCustomPlot *customPlot = plot->plot();
    if (format == Format::Png || format == Format::Svg) {
        const int width = customPlot->width();
        const int height = customPlot->height();
        const QRect row(0, height, width, scaleRowHeight());
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        if (format == Format::Png) {
            QPixmap picture(width, height + row.height());
            picture.fill(Qt::transparent);
            QCPPainter painter(&picture);
            painter.drawPixmap(0, 0, customPlot->toPixmap(width, height));
            paintScaleRow(&painter, row);
            painter.end();
            if (!picture.save(&buffer, "PNG"))
                *why = tr("the plot cannot be drawn as PNG");
            return buffer.data();
        }
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(QSize(width, height + row.height()));
        // At the 96 dots per inch browsers and converters assume, a pixel stays a pixel.
        svg.setResolution(96);
        svg.setViewBox(QRect(0, 0, width, height + row.height()));
        svg.setTitle(QStringLiteral("Velto plot"));
        QCPPainter painter;
        if (!painter.begin(&svg)) {
            *why = tr("the plot cannot be drawn as SVG");
            return QByteArray();
        }
        customPlot->toPainter(&painter, width, height);
        paintScaleRow(&painter, row);
        painter.end();
        return buffer.data();
    }
    // What the plot shows: the frame, or a loaded or played-back wave in its place.
    FrameExport::Capture capture;
    if (!display->shownCapture(&capture, why))
        return QByteArray();
    if (format == Format::Csv)
        return FrameExport::toCsv(capture);
    if (format == Format::Sigrok) {
        QByteArray file;
        if (!SigrokSession::toSessionFile({capture}, QDateTime::currentDateTime(), &file, why))
            return QByteArray();
        return file;
    }
    return FrameExport::toVcd(capture, QDateTime::currentDateTime());
}
