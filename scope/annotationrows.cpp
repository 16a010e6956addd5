// SPDX-License-Identifier: GPL-3.0-only
#include "scope/annotationrows.h"

#include "core/decode/decoderlibrary.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"

#include <QHelpEvent>
#include <QTimer>
#include <QToolTip>

namespace {
qint64 key(int decoder, int row)
{
    return qint64(decoder) << 16 | (row & 0xFFFF);
}
} // namespace

AnnotationRows::AnnotationRows(ScopePlot *plot, const ScopeState *state)
    : QCPLayerable(plot->plot(), QStringLiteral("main")), scopePlot(plot), state(state)
{
    setObjectName(QStringLiteral("annotationRows"));
    plot->plot()->installEventFilter(this);
    connect(plot->plot(), &QCustomPlot::afterReplot, this, [this] { repaintDue = false; });
}

void AnnotationRows::setDecoders(const QVector<Decode::DecoderSetting> &settings)
{
    decoders = settings;
    frame = {};
    seenRows = QVector<QSet<int>>(settings.size());
    layoutRows();
    mParentPlot->replot(QCustomPlot::rpQueuedReplot);
}

void AnnotationRows::setBitRows(bool on)
{
    bitRows = on;
    layoutRows();
    mParentPlot->replot(QCustomPlot::rpQueuedReplot);
}

void AnnotationRows::setFrame(const Decode::DecodedFrame &decoded)
{
    frame = decoded;
    for (const Decode::Annotation &a : frame.decoding.annotations)
        if (a.decoder >= 0 && a.decoder < seenRows.size())
            seenRows[a.decoder].insert(a.row);
    layoutRows();
    // The display's own repaints show the new rows while frames come; only
    // when none follows soon (the scope stopped) is the plot repainted here.
    repaintDue = true;
    QTimer::singleShot(60, this, [this] {
        if (repaintDue)
            mParentPlot->replot(QCustomPlot::rpQueuedReplot);
    });
}

void AnnotationRows::layoutRows()
{
    shownRows.clear();
    rowIndex.clear();
    for (int d = 0; d < decoders.size(); ++d) {
        const Decode::DecoderInfo *info = Decode::Library::isInitialized() ? Decode::Library::find(decoders[d].id) : nullptr;
        const QString name = info ? info->name : decoders[d].id;
        const QString error = frame.decoding.errors.value(d);
        if (!error.isEmpty()) {
            rowIndex.insert(key(d, -1), shownRows.size());
            shownRows.append({d, -1, name});
        }
        QList<int> rows = seenRows.value(d).values();
        std::sort(rows.begin(), rows.end());
        for (int r : rows) {
            if (!bitRows && info && r < info->rows.size() && info->rows[r].id.endsWith(QLatin1String("bits")))
                continue;
            rowIndex.insert(key(d, r), shownRows.size());
            const QString rowName = info && r < info->rows.size() ? info->rows[r].description : QString::number(r);
            shownRows.append({d, r, name + QStringLiteral(": ") + rowName});
        }
    }
}

QRect AnnotationRows::rowRect(int k) const
{
    const QRect area = mParentPlot->axisRect()->rect();
    const int rows = int(shownRows.size());
    int height = QFontMetrics(mParentPlot->font()).height() + 6;
    int top = area.bottom() - rows * height;
    if (state->settings.logicTrace) {
        // Right under the lowest logic trace (bit 0); rows squeeze (down to
        // boxes without text) before they climb over the traces.
        const int under = int(mParentPlot->yAxis->coordToPixel(scopePlot->logicBitPos0(0))) + 4;
        if (rows > 0 && under + rows * height > area.bottom())
            height = qMax(8, (area.bottom() - under) / rows);
        top = qBound(area.top(), under, area.bottom() - rows * height);
    }
    return QRect(area.left(), top + k * height, area.width(), height - 2);
}

QRect AnnotationRows::boxOf(const Decode::Annotation &a, const QRect &row) const
{
    // Two plot units a sample; a box covers its samples whole.
    const double x1 = mParentPlot->xAxis->coordToPixel(2.0 * double(a.start) - 1.0);
    const double x2 = mParentPlot->xAxis->coordToPixel(2.0 * double(a.end) - 1.0);
    return QRect(QPoint(int(x1), row.top()), QPoint(int(std::ceil(x2)) - 1, row.bottom()));
}

QString AnnotationRows::fittingText(const QStringList &texts, const QFontMetrics &metrics, int width)
{
    // The decoders give their texts from the longest to the shortest.
    for (const QString &t : texts)
        if (metrics.horizontalAdvance(t) <= width)
            return t;
    return QString();
}

QColor AnnotationRows::classColour(int decoder, int annotationClass)
{
    return QColor::fromHsv((annotationClass * 67 + decoder * 151 + 20) % 360, 90, 235);
}

void AnnotationRows::applyDefaultAntialiasingHint(QCPPainter *painter) const
{
    painter->setRenderHint(QPainter::Antialiasing, false);
}

void AnnotationRows::draw(QCPPainter *painter)
{
    if (shownRows.isEmpty() || state->settings.xyMode)
        return;
    const QFontMetrics metrics(mParentPlot->font());
    painter->setFont(mParentPlot->font());
    const QRect area = mParentPlot->axisRect()->rect();
    for (int k = 0; k < shownRows.size(); ++k) {
        const QRect row = rowRect(k);
        const Row &r = shownRows[k];
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(128, 128, 128, 40));
        painter->drawRect(row);
        if (r.row < 0) {
            painter->setPen(QColor(230, 60, 60));
            painter->drawText(row.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft,
                              metrics.elidedText(tr("%1 does not decode: %2").arg(r.label, frame.decoding.errors.value(r.decoder).section('\n', 0, 0)),
                                                 Qt::ElideRight, row.width() - 12));
        }
    }
    for (const Decode::Annotation &a : frame.decoding.annotations) {
        const int k = rowIndex.value(key(a.decoder, a.row), -1);
        if (k < 0)
            continue;
        const QRect row = rowRect(k);
        QRect box = boxOf(a, row);
        if (box.right() < area.left() || box.left() > area.right())
            continue;
        const QColor fill = classColour(a.decoder, a.annotationClass);
        if (box.width() < 3) {
            painter->setPen(fill.darker(150));
            painter->drawLine(QLineF(box.left(), row.top() + 2, box.left(), row.bottom() - 2));
            continue;
        }
        painter->setPen(fill.darker(170));
        painter->setBrush(fill);
        painter->drawRect(box);
        const QRect visible = box.intersected(area).adjusted(3, 0, -3, 0);
        const QString text = fittingText(a.texts, metrics, visible.width());
        if (!text.isEmpty()) {
            painter->setPen(Qt::black);
            painter->drawText(visible, Qt::AlignCenter, text);
        }
    }
    // The rows' names at the left, over the boxes.
    for (int k = 0; k < shownRows.size(); ++k) {
        if (shownRows[k].row < 0)
            continue;
        const QRect row = rowRect(k);
        const QString label = shownRows[k].label;
        const QRect tag(row.left() + 2, row.top() + 1, metrics.horizontalAdvance(label) + 8, row.height() - 2);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(40, 40, 40, 190));
        painter->drawRect(tag);
        painter->setPen(Qt::white);
        painter->drawText(tag, Qt::AlignCenter, label);
    }
}

QString AnnotationRows::textAt(const QPoint &pixel) const
{
    for (int k = 0; k < shownRows.size(); ++k) {
        const QRect row = rowRect(k);
        if (!row.contains(pixel))
            continue;
        if (shownRows[k].row < 0)
            return frame.decoding.errors.value(shownRows[k].decoder);
        for (const Decode::Annotation &a : frame.decoding.annotations) {
            if (rowIndex.value(key(a.decoder, a.row), -1) == k && boxOf(a, row).adjusted(-1, 0, 1, 0).contains(pixel))
                return shownRows[k].label + QStringLiteral(": ") + a.texts.value(0);
        }
        return shownRows[k].label;
    }
    return QString();
}

bool AnnotationRows::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && watched == mParentPlot) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString text = textAt(help->pos());
        if (!text.isEmpty()) {
            QToolTip::showText(help->globalPos(), text, mParentPlot);
            return true;
        }
    }
    return QCPLayerable::eventFilter(watched, event);
}
