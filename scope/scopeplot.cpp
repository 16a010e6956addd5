// The oscilloscope plot: its graphs in drawing order and the per-tick display
// of the newest frame.
#include "app/veltointerface.h"
#include "ui/themes.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

namespace {
constexpr double plotHeight = 1280.0;
}

void VeltoInterface::setupGraphs()
{
    customPlot = new QCustomPlot(ui->plotArea);
    customPlot->setObjectName(QStringLiteral("customPlot"));
    ui->plotArea->layout()->setContentsMargins(0, 0, 0, 0);
    ui->plotArea->layout()->addWidget(customPlot);
    customPlot->xAxis->setRange(0, 2.0 * samplesPerChannel);
    customPlot->yAxis->setRange(0, plotHeight);
    for (QCPAxis *axis : {customPlot->xAxis, customPlot->yAxis}) {
        axis->setTickLabels(false);
        // A division is 64 units vertically and 16 samples (32 units) horizontally.
        QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
        ticker->setTickStep(axis == customPlot->yAxis ? 64.0 : 32.0);
        ticker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
        axis->setTicker(ticker);
        axis->setSubTicks(false);
    }

    // Later graphs draw over earlier ones.
    ch1Graph = customPlot->addGraph();
    ch1RefGraph = customPlot->addGraph();
    ch2Graph = customPlot->addGraph();
    ch2RefGraph = customPlot->addGraph();
    for (int k = 0; k < 9; ++k) {
        decayGraphs[0][k] = customPlot->addGraph();
        decayGraphs[1][k] = customPlot->addGraph();
    }
    for (int bit = 0; bit < 8; ++bit) {
        logicGraphs[bit] = customPlot->addGraph();
        logicBaseGraphs[bit] = customPlot->addGraph();
        logicRefGraphs[bit] = customPlot->addGraph();
        for (QCPGraph *graph : {logicGraphs[bit], logicBaseGraphs[bit], logicRefGraphs[bit]})
            graph->setLineStyle(QCPGraph::lsStepCenter);
        logicGraphs[bit]->setSelectable(QCP::stNone);
        logicBaseGraphs[bit]->setSelectable(QCP::stNone);
    }
    fftGraphs[0] = customPlot->addGraph();
    fftGraphs[1] = customPlot->addGraph();
    fftGraphs[0]->setLineStyle(QCPGraph::lsImpulse);
    fftGraphs[1]->setLineStyle(QCPGraph::lsImpulse);
    scopeApplyTheme(scopeOptions.theme);
}

void VeltoInterface::scopeApplyTheme(int theme)
{
    ThemePalette palette;
    if (!themePalette(theme, nullptr, &palette) && !themePalette(Theme::Dark, nullptr, &palette))
        return;
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
    }
    fftGraphs[0]->setPen(palette.ch1Fft);
    fftGraphs[1]->setPen(palette.ch2Fft);
    customPlot->setBackground(palette.background);
    for (QCPAxis *axis : {customPlot->xAxis, customPlot->yAxis}) {
        axis->grid()->setPen(palette.grid);
        axis->setBasePen(palette.axes);
        axis->setTickPen(palette.axes);
    }
    displayControlsSet();
}

void VeltoInterface::displayControlsSet()
{
    for (QCPGraph *graph : {ch1Graph, ch2Graph}) {
        QPen pen = graph->pen();
        pen.setWidth(2);
        graph->setPen(pen);
    }
}

void VeltoInterface::scopeDataShow()
{
    const int expected = Frames::scopeFrameLength(
        scopeTraceMask(), Frames::samplesForBufferIndex(ui->comboBoxADCBuffer->currentIndex()));
    const bool fresh = Frames::acceptScopeFrame(usbDevice, expected, frameCache) == Frames::ScopeVerdict::Accepted;
    if (!fresh && !redrawRequested)
        return;
    redrawRequested = false;

    TraceSettings settings;
    settings.ch1Position = ui->ch1PositionSlider->value();
    settings.ch2Position = ui->ch2PositionSlider->value();
    settings.chdPosition = ui->chdPositionSlider->value();
    settings.chdSize = ui->chdSizeSlider->value();
    const TraceVerdict verdict =
        traceBuilder.build(reinterpret_cast<const unsigned char *>(frameCache.constData()), frameCache.size(), settings);
    if (verdict != TraceVerdict::Built)
        return;
    if (traceBuilder.samples() != samplesPerChannel) {
        samplesPerChannel = traceBuilder.samples();
        customPlot->xAxis->setRange(0, 2.0 * samplesPerChannel);
        triggerModel.setFrameSize(samplesPerChannel);
        sendTriggerWrites({triggerModel.postWrite()});
    }
    const QVector<double> &keys = traceBuilder.keys();
    // A channel missing from the frame has no values: its graph is emptied,
    // not handed keys without values (the plot would complain every tick).
    auto show = [&keys](QCPGraph *graph, const QVector<double> &values) {
        if (values.isEmpty())
            graph->data()->clear();
        else
            graph->setData(keys, values, true);
    };
    show(ch1Graph, traceBuilder.ch1());
    show(ch2Graph, traceBuilder.ch2());
    const QCheckBox *bits[8] = {ui->checkBoxCHD0, ui->checkBoxCHD1, ui->checkBoxCHD2, ui->checkBoxCHD3,
                                ui->checkBoxCHD4, ui->checkBoxCHD5, ui->checkBoxCHD6, ui->checkBoxCHD7};
    static const QVector<double> none;
    for (int bit = 0; bit < 8; ++bit) {
        const bool shown = traceBuilder.hasLogic() && bits[bit]->isChecked();
        show(logicGraphs[bit], shown ? traceBuilder.logic(bit) : none);
        show(logicBaseGraphs[bit], shown ? traceBuilder.logicBaseline(bit) : none);
    }
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}
