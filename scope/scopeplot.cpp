// The oscilloscope plot: axes, graphs in drawing order, drawing options and
// the colour themes.
#include "app/veltointerface.h"
#include "scope/plotgeometry.h"
#include "scope/veltograph.h"
#include "ui/customtheme.h"
#include "ui/themes.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

namespace {
constexpr double plotHeight = PlotGeometry::plotHeight;
} // namespace

void VeltoInterface::setupGrid()
{
    setupGraphs();
    setupItemLabels();
    setupCursors();
    setupTracers();

    for (QCPAxis *axis : {customPlot->xAxis, customPlot->yAxis, customPlot->xAxis2, customPlot->yAxis2}) {
        axis->setVisible(true);
        axis->setTickLabels(false);
        QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
        // A division is 64 units vertically and 16 samples (32 units) horizontally.
        const bool vertical = axis->orientation() == Qt::Vertical;
        ticker->setTickStep(vertical ? 64.0 : 32.0);
        ticker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
        axis->setTicker(ticker);
    }
    // The second copies follow the first.
    connect(customPlot->xAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), customPlot->xAxis2,
            QOverload<const QCPRange &>::of(&QCPAxis::setRange));
    connect(customPlot->yAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), customPlot->yAxis2,
            QOverload<const QCPRange &>::of(&QCPAxis::setRange));
    connect(customPlot->xAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), this,
            &VeltoInterface::xAxisChanged);
    connect(customPlot->yAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), this,
            &VeltoInterface::yAxisChanged);

    // The whole frame and the whole height are in view at start; zooming
    // and panning work from there.
    customPlot->yAxis->setRange(0, plotHeight);
    customPlot->xAxis->setRange(0, 2.0 * samplesPerChannel);
    setHorizontalScrollBar(0, 2.0 * samplesPerChannel);
    setVerticalScrollBar(0, plotHeight);

    QCPAxisRect *rect = customPlot->axisRect();
    rect->setRangeDrag(Qt::Horizontal);
    rect->setRangeZoom(Qt::Horizontal);
    rect->setRangeZoomFactor(0.8);
    customPlot->setInteractions(QCP::iRangeZoom);
    customPlot->setNoAntialiasingOnDrag(true);
    customPlot->setSelectionTolerance(int(PlotGeometry::pickDistance));

    setTheme(scopeOptions.theme, customThemeDialog ? customThemeDialog->colors() : nullptr);
}

void VeltoInterface::setupGraphs()
{
    customPlot = new QCustomPlot(ui->plotArea);
    customPlot->setObjectName(QStringLiteral("customPlot"));
    customPlot->setFocusPolicy(Qt::NoFocus);
    auto *grid = static_cast<QGridLayout *>(ui->plotArea->layout());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(customPlot, 0, 0);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(0, 1);
    customPlot->xAxis->setRange(0, 2.0 * samplesPerChannel);
    customPlot->yAxis->setRange(0, plotHeight);

    // Thick pens are drawn as plain polylines: stroking them as one path
    // costs several times as much.
    customPlot->setPlottingHint(QCP::phFastPolylines, true);
    auto add = [this]() {
        // Each graph draws what the pixels can show and the persistence strokes.
        auto *graph = new VeltoGraph(customPlot->xAxis, customPlot->yAxis);
        allGraphs.append(graph);
        return graph;
    };
    // Later graphs draw over earlier ones.
    ch1Graph = add();
    ch1RefGraph = add();
    ch2Graph = add();
    ch2RefGraph = add();
    for (int k = 0; k < 9; ++k) {
        decayGraphs[0][k] = add();
        decayGraphs[1][k] = add();
    }
    for (int bit = 0; bit < 8; ++bit) {
        logicGraphs[bit] = add();
        logicBaseGraphs[bit] = add();
        logicRefGraphs[bit] = add();
        for (QCPGraph *graph : {logicGraphs[bit], logicBaseGraphs[bit], logicRefGraphs[bit]})
            graph->setLineStyle(QCPGraph::lsStepCenter);
        logicGraphs[bit]->setSelectable(QCP::stNone);
        logicBaseGraphs[bit]->setSelectable(QCP::stNone);
    }
    fftGraphs[0] = add();
    fftGraphs[1] = add();
    fftGraphs[0]->setLineStyle(QCPGraph::lsImpulse);
    fftGraphs[1]->setLineStyle(QCPGraph::lsImpulse);
    for (VeltoGraph *graph : allGraphs)
        graph->setAdaptiveSampling(true);
}

void VeltoInterface::displayControlsSet()
{
    for (QCPGraph *graph : {ch1Graph, ch2Graph}) {
        QPen pen = graph->pen();
        pen.setWidth(2);
        graph->setPen(pen);
    }
}

void VeltoInterface::setupScatterStyles(bool vectors)
{
    const bool lines = vectors && !ui->xyMode->isChecked();
    QVector<QCPGraph *> traces{ch1Graph, ch2Graph, ch1RefGraph, ch2RefGraph};
    for (int k = 0; k < 9; ++k)
        traces << decayGraphs[0][k] << decayGraphs[1][k];
    for (QCPGraph *graph : traces) {
        graph->setLineStyle(lines ? QCPGraph::lsLine : QCPGraph::lsNone);
        graph->setScatterStyle(lines ? QCPScatterStyle(QCPScatterStyle::ssNone)
                                     : QCPScatterStyle(QCPScatterStyle::ssDot, 6));
    }
}

void VeltoInterface::displayVectorsChanged(bool on)
{
    setupScatterStyles(on);
    displayControlsSet();
    redrawRequested = true;
}

void VeltoInterface::on_checkBoxVectors_clicked(bool checked) { displayVectorsChanged(checked); }

void VeltoInterface::displayIntensitySliderChanged(int value)
{
    ThemePalette palette;
    if (!themePalette(scopeOptions.theme, customThemeDialog ? customThemeDialog->colors() : nullptr, &palette))
        themePalette(Theme::Dark, nullptr, &palette);
    const QColor traces[2] = {ch1Graph->pen().color(), ch2Graph->pen().color()};
    for (int k = 0; k < 9; ++k) {
        for (int ch = 0; ch < 2; ++ch) {
            const QPen &decay = ch == 0 ? palette.ch1Decay[k] : palette.ch2Decay[k];
            QPen pen = decayGraphs[ch][k]->pen();
            pen.setColor(PlotGeometry::persistenceColor(decay.color(), traces[ch], value, themeIntensityMode));
            decayGraphs[ch][k]->setPen(pen);
        }
    }
    redrawRequested = true;
}

void VeltoInterface::on_intensitySlider_valueChanged(int value) { displayIntensitySliderChanged(value); }

void VeltoInterface::gridBoxSet(const QColor &colour, Qt::PenStyle style)
{
    QPen pen(colour, 1, style, Qt::SquareCap, Qt::BevelJoin);
    customPlot->xAxis->grid()->setPen(pen);
    customPlot->yAxis->grid()->setPen(pen);
    customPlot->xAxis->grid()->setVisible(style != Qt::NoPen);
    customPlot->yAxis->grid()->setVisible(style != Qt::NoPen);
}

void VeltoInterface::displayGridStyleChanged(int index)
{
    gridStyle = PlotGeometry::gridPenStyle(index, gridStyle);
    gridBoxSet(gridColour, gridStyle);
    redrawRequested = true;
}

void VeltoInterface::setTheme(int theme, CustomColors *colours)
{
    ThemePalette palette;
    if (themePalette(theme, colours, &palette)) {
        ch1Graph->setPen(palette.ch1Trace);
        ch2Graph->setPen(palette.ch2Trace);
        ch1RefGraph->setPen(palette.ch1Reference);
        ch2RefGraph->setPen(palette.ch2Reference);
        for (int k = 0; k < 9; ++k) {
            decayGraphs[0][k]->setPen(palette.ch1Decay[k]);
            decayGraphs[1][k]->setPen(palette.ch2Decay[k]);
        }
        for (int bit = 0; bit < 8; ++bit) {
            logicGraphs[bit]->setPen(palette.bitTrace[bit]);
            logicBaseGraphs[bit]->setPen(palette.bitBaseline[bit]);
            logicRefGraphs[bit]->setPen(palette.bitReference[bit]);
            if (palette.fillBits) {
                logicGraphs[bit]->setBrush(palette.bitFill[bit]);
                logicGraphs[bit]->setChannelFillGraph(logicBaseGraphs[bit]);
            }
        }
        fftGraphs[0]->setPen(palette.ch1Fft);
        fftGraphs[1]->setPen(palette.ch2Fft);
        gridColour = palette.grid.color();
        gridStyle = palette.grid.style();
        gridBoxSet(gridColour, gridStyle);
        for (QCPAxis *axis : {customPlot->xAxis, customPlot->yAxis, customPlot->xAxis2, customPlot->yAxis2}) {
            axis->setBasePen(palette.axes);
            axis->setTickPen(palette.axes);
            axis->setSubTickPen(palette.axes);
        }
        customPlot->setBackground(palette.background);
        customPlot->axisRect()->setBackground(palette.background);
        vCursorSetLabelColor(palette.cursorLabels);
        hCursorSetLabelColor(palette.cursorLabels);
        for (QCPItemText *label : logicLabels)
            if (label)
                label->setColor(palette.axes.color());
        ui->ch1ColorLabel->setStyleSheet(palette.ch1LabelStyle);
        ui->ch2ColorLabel->setStyleSheet(palette.ch2LabelStyle);
        themeIntensityMode = palette.intensityMode;
        appliedTheme = theme;
        displayControlsSet();
    } else {
        logToFile(QStringLiteral("Theme %1 is not known, the plot keeps its colours").arg(theme), 1);
    }
    // The decay colours follow the slider as it stands, not a fixed 0, so
    // that a theme change does not leave them disagreeing with it.
    displayIntensitySliderChanged(ui->intensitySlider->value());
    customPlot->replot();
}

void VeltoInterface::displayThemeChanged(int theme)
{
    if (startingUp)
        return;
    if (theme == Theme::Custom && appliedTheme == Theme::Custom) {
        // Already custom: the options were applied again (another option
        // changed, or a session start re-applied every setting). The
        // colours stay; the dialog opens when the choice changes to Custom.
        setTheme(theme, customThemeDialog->colors());
        return;
    }
    if (theme == Theme::Custom) {
        // The plot keeps its colours until the dialog's Apply.
        customThemeDialog->loadTheme();
        customThemeDialog->show();
        customThemeDialog->raise();
        return;
    }
    setTheme(theme, nullptr);
}
