// SPDX-License-Identifier: GPL-3.0-only
#include "scope/measurementpanel.h"

#include "base/logging.h"
#include "core/device/frames.h"
#include "core/scope/measurements.h"
#include "core/scope/scaletables.h"
#include "scope/cursorcontrols.h"
#include "scope/plotlabel.h"
#include "scope/scopedisplay.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "scope/triggercontrols.h"
#include "ui_veltointerface.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <cmath>

namespace
{
const char *const settingsKey = "measurements";
const QColor markerColour(255, 170, 0);
const QStringList columnTitles = {QStringLiteral("Measurement"), QStringLiteral("Current"),
                                  QStringLiteral("Minimum"),     QStringLiteral("Maximum"),
                                  QStringLiteral("Mean"),        QStringLiteral("Std dev"),
                                  QStringLiteral("Count")};

int channelOf(const QString &source)
{
    return source.endsWith(QLatin1Char('2')) ? 1 : 0;
}
} // namespace

MeasurementPanel::MeasurementPanel(const Parts &parts, QObject *parent) : QObject(parent), p(parts)
{
    setObjectName(QStringLiteral("measurementPanel"));
    buildWidgets();
    QStringList problems;
    const QVector<Measure::Choice> stored =
        Measure::parseChoices(QSettings().value(QLatin1String(settingsKey)).toString(), &problems);
    for (const QString &entry : problems)
        VELTO_LOG(QStringLiteral("Measurements: \"%1\" names no measurement, left out").arg(entry), 2);
    for (const Measure::Choice &c : stored)
        table.append({c, {}, {}});
    connect(p.display, &ScopeDisplay::frameMeasured, this, &MeasurementPanel::frameMeasured);
    // The statistics start again when the trigger changes.
    const auto triggerChanged = [this] { ++triggerChanges; };
    for (QRadioButton *b :
         {p.ui->radioButtonFree, p.ui->radioButtonNormal, p.ui->radioButtonAuto, p.ui->radioButtonSingle,
          p.ui->radioButtonRisingEdge, p.ui->radioButtonFallingEdge, p.ui->radioButtonDual,
          p.ui->radioButtonPositiveSlope, p.ui->radioButtonNegativeSlope, p.ui->radioButtonWindow})
        connect(b, &QRadioButton::toggled, this, triggerChanged);
    connect(p.ui->comboBoxTrigSource, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            triggerChanged);
    connect(p.ui->doubleSpinBoxTrigHold, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            triggerChanged);
    connect(p.trigger->levelBox(), QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            triggerChanged);
    refreshTimer.setInterval(ScopeDisplay::readOutInterval);
    connect(&refreshTimer, &QTimer::timeout, this, &MeasurementPanel::refreshTable);
    refreshTimer.start();
    refreshTable();
}

void MeasurementPanel::buildWidgets()
{
    panel = new QWidget(p.ui->plotArea);
    panel->setObjectName(QStringLiteral("measurementPanelWidget"));
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel(tr("Measure"), panel));
    sourceBox = new QComboBox(panel);
    sourceBox->setObjectName(QStringLiteral("measurementSource"));
    sourceBox->setToolTip(tr("The trace to measure: a channel, its math trace, a logic bit, or CH1 to CH2"));
    sourceBox->addItems(Measure::sources());
    kindBox = new QComboBox(panel);
    kindBox->setObjectName(QStringLiteral("measurementKind"));
    kindBox->setToolTip(tr("The measurement to add"));
    auto *add = new QPushButton(tr("Add"), panel);
    add->setObjectName(QStringLiteral("measurementAdd"));
    add->setToolTip(tr("Adds the measurement to the table"));
    removeButton = new QPushButton(tr("Remove"), panel);
    removeButton->setObjectName(QStringLiteral("measurementRemove"));
    removeButton->setToolTip(tr("Removes the selected row"));
    auto *reset = new QPushButton(tr("Reset"), panel);
    reset->setObjectName(QStringLiteral("measurementReset"));
    reset->setToolTip(tr("Starts the statistics again (as any change of time base, gain or trigger does)"));
    gateBox = new QCheckBox(tr("Gate to cursors"), panel);
    gateBox->setObjectName(QStringLiteral("measurementGate"));
    gateBox->setToolTip(tr("Measures only between the vertical cursors A and B"));
    auto *copy = new QPushButton(tr("Copy"), panel);
    copy->setObjectName(QStringLiteral("measurementCopy"));
    copy->setToolTip(tr("Copies the table as text, a tab between columns"));
    for (QWidget *w :
         std::initializer_list<QWidget *>{sourceBox, kindBox, add, removeButton, reset, gateBox, copy})
        bar->addWidget(w);
    bar->addStretch(1);
    layout->addLayout(bar);
    view = new QTableWidget(0, columnTitles.size(), panel);
    view->setObjectName(QStringLiteral("measurementTable"));
    view->setHorizontalHeaderLabels(columnTitles);
    view->verticalHeader()->setVisible(false);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setToolTip(tr("Select a row to see on the plot where it is measured"));
    layout->addWidget(view);
    // Under the plot's legend row, the width of the plot.
    static_cast<QGridLayout *>(p.ui->plotArea->layout())->addWidget(panel, 3, 0, 1, 2);
    fillKindBox();
    connect(sourceBox, &QComboBox::currentTextChanged, this, &MeasurementPanel::fillKindBox);
    connect(add, &QPushButton::clicked, this, [this] {
        addMeasurement({sourceBox->currentText(), Measure::Kind(kindBox->currentData().toInt())});
    });
    connect(removeButton, &QPushButton::clicked, this, [this] { removeMeasurement(view->currentRow()); });
    connect(reset, &QPushButton::clicked, this, &MeasurementPanel::resetStatistics);
    connect(gateBox, &QCheckBox::toggled, this, [this](bool on) {
        // The gate is the vertical cursors: they are shown while it is on.
        if (on)
            p.ui->checkBoxCursorVertical->setChecked(true);
        resetStatistics();
    });
    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(tableText()); });
    connect(view, &QTableWidget::itemSelectionChanged, this, &MeasurementPanel::showMarkers);
    QCustomPlot *plot = p.plot->plot();
    for (auto &line : markerLines) {
        line = new QCPItemStraightLine(plot);
        line->setPen(QPen(markerColour, 1.5, Qt::DashDotLine));
        line->setSelectable(false);
        line->setVisible(false);
    }
    markerLabel = new PlotLabel(plot);
    markerLabel->position->setType(QCPItemPosition::ptAxisRectRatio);
    markerLabel->position->setCoords(0.5, 0.02);
    markerLabel->setPositionAlignment(Qt::AlignHCenter | Qt::AlignTop);
    markerLabel->setColor(markerColour);
    markerLabel->setSelectable(false);
    markerLabel->setVisible(false);
}

void MeasurementPanel::fillKindBox()
{
    kindBox->clear();
    for (Measure::Kind k : Measure::kindsOf(sourceBox->currentText()))
        kindBox->addItem(tr(Measure::info(k).label), int(k));
}

void MeasurementPanel::addMeasurement(const Measure::Choice &choice)
{
    if (!Measure::kindsOf(choice.source).contains(choice.kind))
        return;
    for (const Row &r : table)
        if (r.choice == choice)
            return;
    table.append({choice, {}, {}});
    remember();
    refreshTable();
    view->selectRow(table.size() - 1);
}

void MeasurementPanel::removeMeasurement(int row)
{
    if (row < 0 || row >= table.size())
        return;
    table.remove(row);
    remember();
    refreshTable();
}

void MeasurementPanel::resetStatistics()
{
    for (Row &r : table)
        r.statistics = Measure::Statistics();
    refreshTable();
}

void MeasurementPanel::remember() const
{
    QVector<Measure::Choice> choices;
    for (const Row &r : table)
        choices << r.choice;
    QSettings().setValue(QLatin1String(settingsKey), Measure::formatChoices(choices));
}

// Time base, both gains and the trigger's changes, as one number.
quint64 MeasurementPanel::setupKey() const
{
    const TraceBuilder &t = p.display->traces();
    const QByteArray &frame = p.display->frame();
    const int n = t.samples();
    quint64 key = t.header().samplingIndex;
    const int meters = Frames::meterBlockOffset(t.header().channelMask, n);
    if (meters >= 0 && meters + 2 * Frames::meterBlockSize <= frame.size()) {
        for (int ch = 0; ch < 2; ++ch) {
            channela_t echo;
            Frames::parseMeterSettings(&echo, reinterpret_cast<const unsigned char *>(frame.constData()) +
                                                  meters + ch * Frames::meterBlockSize);
            key = key * 256 + echo.gainIndex;
        }
    }
    return key * 1000003ULL + triggerChanges;
}

void MeasurementPanel::frameMeasured()
{
    if (table.isEmpty())
        return;
    const quint64 key = setupKey();
    if (key != lastKey) {
        lastKey = key;
        for (Row &r : table)
            r.statistics = Measure::Statistics();
    }
    frameSets.clear();
    for (Row &r : table) {
        r.current = resultOf(r.choice);
        if (r.current.ok())
            r.statistics.add(r.current.value);
    }
}

void MeasurementPanel::measureGated(const double *values, int n, Measure::Source kind, Measured &out)
{
    const TraceBuilder &t = p.display->traces();
    const VerticalCursors &c = p.cursors->vertical();
    const int a = std::clamp(std::min(c.positionA, c.positionB) / 2, 0, n);
    const int b = std::clamp(std::max(c.positionA, c.positionB) / 2 + 1, 0, n);
    // In the order drawn (roll mode starts at the oldest sample).
    scratch.resize(size_t(std::max(0, b - a)));
    for (int k = a; k < b; ++k)
        scratch[size_t(k - a)] = values[(k + t.startIndex()) % n];
    const double dt = ScaleTables::secondsPerDivision(t.header().samplingIndex) / 16.0;
    kind.values = scratch.data();
    kind.count = b - a;
    kind.samplePeriod = dt;
    out.set = Measure::measure(kind);
    out.gateFrom = a;
}

// The source's measurements of this frame, made once a frame.
const MeasurementPanel::Measured &MeasurementPanel::measuredSource(const QString &source)
{
    auto found = frameSets.find(source);
    if (found != frameSets.end())
        return found->second;
    Measured &m = frameSets[source];
    const TraceBuilder &t = p.display->traces();
    const bool gated = gateBox->isChecked();
    const int n = t.samples();
    const double dt = ScaleTables::secondsPerDivision(t.header().samplingIndex) / 16.0;
    const bool hasChannel[2] = {t.hasCh1(), t.hasCh2()};
    if (source.startsWith(QLatin1String("CH"))) {
        const int ch = channelOf(source);
        if (!hasChannel[ch] || !p.display->hasInstrumentFrame()) {
            m.set.results.fill({0.0, Measure::Why::NoSource});
            return m;
        }
        const QByteArray &frame = p.display->frame();
        channela_t echo;
        Frames::parseMeterSettings(&echo, reinterpret_cast<const unsigned char *>(frame.constData()) +
                                              Frames::meterBlockOffset(t.header().channelMask, n) +
                                              ch * Frames::meterBlockSize);
        const double perDivision = ScaleTables::voltsPerDivision(echo.gainIndex);
        m.unitsPerValue = perDivision > 0.0 ? 64.0 / perDivision : 0.0;
        m.zero = p.state->zeroLevel[ch];
        if (!gated) {
            m.set = p.display->channelMeasurements(ch);
            return m;
        }
        const ChannelExtremes &e = ch == 0 ? t.ch1Extremes() : t.ch2Extremes();
        const std::vector<double> &volts = p.display->channelVolts(ch);
        measureGated(volts.data(), int(volts.size()),
                     {nullptr, 0, dt, minimumSwing * perDivision / 40.96, e.maximum >= INT8_MAX,
                      e.minimum <= INT8_MIN},
                     m);
        return m;
    }
    if (source.startsWith(QLatin1String("MATH"))) {
        const int ch = channelOf(source);
        const MathTrace &math = t.math(ch);
        if (!math.active() || !p.display->hasInstrumentFrame()) {
            m.set.results.fill({0.0, Measure::Why::NoSource});
            return m;
        }
        m.unitsPerValue = 64.0 / math.perDivision;
        m.zero = p.state->zeroLevel[ch];
        if (!gated) {
            m.set = p.display->mathMeasurements(ch);
            return m;
        }
        measureGated(math.values.constData(), int(math.values.size()),
                     {nullptr, 0, dt, math.perDivision / 5.0, false, false}, m);
        return m;
    }
    // A logic bit as 0 and 1.
    const int bit = source.mid(1).toInt();
    if (!t.hasLogic() || !p.display->hasInstrumentFrame()) {
        m.set.results.fill({0.0, Measure::Why::NoSource});
        return m;
    }
    const auto *block = reinterpret_cast<const uint8_t *>(p.display->frame().constData()) +
                        Frames::channelBlockOffset(t.header().channelMask, Frames::Chd, n);
    std::vector<double> bits(static_cast<size_t>(n), 0.0);
    for (int k = 0; k < n; ++k)
        bits[size_t(k)] = (block[k] >> bit) & 1;
    const Measure::Source bitSource{bits.data(), n, dt, 0.5, false, false, true};
    if (gated)
        measureGated(bits.data(), n, bitSource, m);
    else
        m.set = Measure::measure(bitSource);
    return m;
}

Measure::Result MeasurementPanel::resultOf(const Measure::Choice &choice)
{
    if (Measure::info(choice.kind).pair) {
        Measure::Set first = measuredSource(QStringLiteral("CH1")).set;
        Measure::measureBetween(first, measuredSource(QStringLiteral("CH2")).set);
        return first[choice.kind];
    }
    return measuredSource(choice.source).set[choice.kind];
}

QString MeasurementPanel::tableText() const
{
    QStringList lines{columnTitles.join(QLatin1Char('\t'))};
    for (int r = 0; r < view->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < view->columnCount(); ++c)
            cells << (view->item(r, c) ? view->item(r, c)->text() : QString());
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void MeasurementPanel::refreshTable()
{
    removeButton->setEnabled(!table.isEmpty());
    view->setVisible(!table.isEmpty());
    // Tall enough for every row, up to six; the plot keeps the rest.
    const int shown = std::min(int(table.size()), 6);
    view->setFixedHeight(view->horizontalHeader()->height() +
                         shown * view->verticalHeader()->defaultSectionSize() + 4);
    if (view->rowCount() != table.size())
        view->setRowCount(table.size());
    for (int r = 0; r < table.size(); ++r) {
        const Row &row = table[r];
        const Measure::Kind kind = row.choice.kind;
        QString unit = QString::fromUtf8(Measure::info(kind).unit);
        const MathTrace &math = p.display->traces().math(channelOf(row.choice.source));
        if (unit == QLatin1String("V") && row.choice.source.startsWith(QLatin1String("MATH")) &&
            math.op == ScaleTables::MathOp::Multiply)
            unit = QStringLiteral("V²");
        const Measure::Statistics &s = row.statistics;
        const auto text = [&](double v) {
            return s.count ? Measure::valueText(kind, v, unit) : QStringLiteral("--");
        };
        const QString current =
            row.current.ok() ? Measure::valueText(kind, row.current.value, unit) : tr("not measurable");
        const QString cells[7] = {row.choice.source + QLatin1Char(' ') + tr(Measure::info(kind).label),
                                  current,
                                  text(s.minimum),
                                  text(s.maximum),
                                  text(s.mean),
                                  s.count > 1 ? Measure::valueText(kind, s.deviation(), unit)
                                              : QStringLiteral("--"),
                                  QString::number(s.count)};
        for (int c = 0; c < 7; ++c) {
            QTableWidgetItem *item = view->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                              : Qt::AlignRight | Qt::AlignVCenter);
                view->setItem(r, c, item);
            }
            if (item->text() != cells[c])
                item->setText(cells[c]);
        }
        view->item(r, 1)->setToolTip(row.current.ok() ? QString() : Measure::reasonText(row.current.why));
    }
    showMarkers();
}

double MeasurementPanel::drawnKey(const Measured &m, double sample) const
{
    const TraceBuilder &t = p.display->traces();
    const int n = std::max(1, t.samples());
    const double drawn =
        m.gateFrom >= 0 ? m.gateFrom + sample : std::fmod(sample - t.startIndex() + n, double(n));
    return 2.0 * drawn;
}

// The times (in samples of the source) and levels where a kind was measured.
void MeasurementPanel::markPlaces(Measure::Kind kind, const Measured &m, std::vector<double> &times,
                                  std::vector<double> &levels) const
{
    using namespace Measure;
    const Marks &k = m.set.marks;
    switch (kind) {
    case Frequency:
    case Period:
        times = {k.periodFrom, k.periodTo};
        levels = {k.middle};
        break;
    case Duty:
        times = {k.periodFrom, k.periodTo, k.highFrom, k.highTo};
        levels = {k.middle};
        break;
    case RiseTime:
        times = {k.riseFrom, k.riseTo};
        levels = {k.low, k.high};
        break;
    case FallTime:
        times = {k.fallFrom, k.fallTo};
        levels = {k.low, k.high};
        break;
    case PositiveWidth:
        times = {k.highFrom, k.highTo};
        levels = {k.middle};
        break;
    case NegativeWidth:
        times = {k.lowFrom, k.lowTo};
        levels = {k.middle};
        break;
    case Delay:
    case Phase:
        if (frameSets.count(QStringLiteral("CH2")))
            times = {m.set.firstRising, frameSets.at(QStringLiteral("CH2")).set.firstRising};
        break;
    case Vtop:
    case Vbase:
    case Vamp:
        levels = {k.top, k.base};
        break;
    case Overshoot:
        levels = {k.top, m.set[Vmax].value};
        break;
    case Preshoot:
        levels = {k.base, m.set[Vmin].value};
        break;
    case Vmax:
    case Vmin:
    case Vpp:
        levels = {m.set[Vmax].value, m.set[Vmin].value};
        break;
    case Edges:
        levels = {k.middle};
        break;
    default: // average and RMS: the level they read
        levels = {m.set[kind].value};
        break;
    }
    // Nothing marked for a reading the frame did not give.
    const Result &r = m.set[kind];
    if (!info(kind).pair && !r.ok() && r.why != Why::Clipped) {
        times.clear();
        levels.clear();
    }
}

// Where the selected row was measured: the crossings or levels it was taken
// at, as dashed lines on the plot with the row's name.
void MeasurementPanel::showMarkers()
{
    const int r = view->currentRow();
    const bool selected = view->selectionModel() && view->selectionModel()->hasSelection();
    const bool shown =
        selected && r >= 0 && r < table.size() && !p.state->settings.xyMode && !frameSets.empty();
    if (!shown && !markersShown)
        return;
    for (auto *line : markerLines)
        line->setVisible(false);
    markerLabel->setVisible(false);
    markersShown = shown;
    if (!shown) {
        p.plot->requestPaint();
        return;
    }
    const Measure::Choice &c = table[r].choice;
    const QString source = Measure::info(c.kind).pair ? QStringLiteral("CH1") : c.source;
    const Measured &m = frameSets.count(source) ? frameSets.at(source) : frameSets.begin()->second;
    std::vector<double> times;
    std::vector<double> levels;
    markPlaces(c.kind, m, times, levels);
    size_t used = 0;
    for (double t : times) {
        if (std::isnan(t) || used == markerLines.size())
            continue;
        const double x = drawnKey(m, t);
        markerLines[used]->point1->setCoords(x, 0);
        markerLines[used]->point2->setCoords(x, 1);
        markerLines[used++]->setVisible(true);
    }
    for (double level : levels) {
        if (std::isnan(level) || m.unitsPerValue <= 0.0 || used == markerLines.size())
            continue;
        const double y = m.zero + level * m.unitsPerValue;
        markerLines[used]->point1->setCoords(0, y);
        markerLines[used]->point2->setCoords(1, y);
        markerLines[used++]->setVisible(true);
    }
    markerLabel->setText(c.source + QLatin1Char(' ') + tr(Measure::info(c.kind).label) +
                         (used == 0 ? tr(": not measured on this frame") : QString()));
    markerLabel->setVisible(true);
    p.plot->requestPaint();
}
