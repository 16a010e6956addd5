// SPDX-License-Identifier: GPL-3.0-only
// The spectrum and the reference traces.
#include "scope/fftcontrols.h"

#include "scope/graphdata.h"
#include "core/scope/scaletables.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

SpectrumControls::SpectrumControls(Ui::VeltoInterface *ui, ScopeState *state, ScopePlot *plot, QObject *parent)
    : QObject(parent), ui(ui), state(state), plot(plot)
{
    auto redraw = [state] { state->redrawRequested = true; };
    // Each follows its control's state however it was set.
    for (QCheckBox *box : {ui->checkBoxFFTTrace, ui->checkBoxIQFFT, ui->checkBoxLogY})
        connect(box, &QCheckBox::toggled, this, &SpectrumControls::fftControlsPlotSet);
    for (QRadioButton *window : {ui->radioButtonRect, ui->radioButtonHamming, ui->radioButtonHann, ui->radioButtonBlackman})
        connect(window, &QRadioButton::toggled, this, [this](bool on) {
            if (!on)
                return;
            fftWindowFunctionSet();
            fftControlsPlotSet();
        });
    for (QAbstractButton *button : {static_cast<QAbstractButton *>(ui->checkBoxFFTCH1),
                                    static_cast<QAbstractButton *>(ui->checkBoxFFTCH2),
                                    static_cast<QAbstractButton *>(ui->refCH1), static_cast<QAbstractButton *>(ui->refCH2),
                                    static_cast<QAbstractButton *>(ui->refLogic)})
        connect(button, &QAbstractButton::toggled, this, redraw);
    for (QSlider *slider : {ui->ch1CaptureSlider, ui->ch2CaptureSlider, ui->chdCaptureSlider})
        connect(slider, &QSlider::valueChanged, this, redraw);
    connect(ui->captureButton, &QPushButton::clicked, this, &SpectrumControls::captureClicked);
    iqCentre = new QCPItemStraightLine(plot->plot());
    iqCentre->setObjectName(QStringLiteral("iqCentreMark"));
    iqCentre->setSelectable(false);
    iqCentre->point1->setCoords(SpectrumBuilder::fftBins, 0.0);
    iqCentre->point2->setCoords(SpectrumBuilder::fftBins, 1.0);
    iqCentre->setPen(QPen(QColor(255, 200, 0), 1.0, Qt::DashLine));
    iqCentre->setVisible(false);
    // XY mode draws no spectrum, and so no centre.
    connect(ui->xyMode, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            iqCentre->setVisible(false);
    });
}

void SpectrumControls::captureClicked()
{
    captureRequested = true;
    state->redrawRequested = true;
}

void SpectrumControls::captureStep(const TraceBuilder &traces)
{
    if (!captureRequested)
        return;
    captureRequested = false;
    const ScaleTables::SliderRange r1 = ScaleTables::captureSliderRange(state->zeroLevel[0]);
    const ScaleTables::SliderRange r2 = ScaleTables::captureSliderRange(state->zeroLevel[1]);
    const ScaleTables::SliderRange rl = ScaleTables::logicCaptureSliderRange(state->zeroLevel[2]);
    ui->ch1CaptureSlider->setRange(r1.minimum, r1.maximum);
    ui->ch2CaptureSlider->setRange(r2.minimum, r2.maximum);
    ui->chdCaptureSlider->setRange(rl.minimum, rl.maximum);
    ui->ch1CaptureSlider->setValue(0);
    ui->ch2CaptureSlider->setValue(0);
    ui->chdCaptureSlider->setValue(0);
    referenceStore.capture(traces);
}

void SpectrumControls::spectrumStep(const QByteArray &frame)
{
    const bool persistence = state->settings.persistence;
    iqCentre->setVisible(state->settings.spectrum && state->settings.spectrumIq && !state->settings.xyMode);
    if (!persistence) {
        fftAccumulators[0].clear();
        fftAccumulators[1].clear();
    }
    if (state->settings.spectrum) {
        scopeDrawFFT(frame);
    } else if (!persistence) {
        plot->graphs().fft[0]->data()->clear();
        plot->graphs().fft[1]->data()->clear();
    }
}

void SpectrumControls::scopeDrawFFT(const QByteArray &frame)
{
    const ScopeSettingsRecord &settings = state->settings;
    SpectrumSettings s;
    s.iq = settings.spectrumIq;
    s.ch1 = settings.spectrumCh1;
    s.ch2 = settings.spectrumCh2;
    s.logY = settings.spectrumLogY;
    // A frame without a spectrum leaves both graphs empty (without persistence).
    spectrum.computeFromFrame(reinterpret_cast<const unsigned char *>(frame.constData()), frame.size(), s);
    const QVector<double> *values[2] = {&spectrum.ch1Values(), &spectrum.ch2Values()};
    for (int ch = 0; ch < 2; ++ch) {
        QCPGraph *graph = plot->graphs().fft[ch];
        if (values[ch]->isEmpty()) {
            if (!settings.persistence)
                graph->data()->clear();
            continue;
        }
        if (settings.persistence)
            fftAccumulators[ch].add(graph, spectrum.keys(), *values[ch]);
        else
            GraphData::showTrace(graph, spectrum.keys(), *values[ch]);
    }
}

void SpectrumControls::fftWindowFunctionSet()
{
    FftWindow window = FftWindow::Hann;
    if (ui->radioButtonRect->isChecked())
        window = FftWindow::Rectangular;
    else if (ui->radioButtonHamming->isChecked())
        window = FftWindow::Hamming;
    else if (ui->radioButtonHann->isChecked())
        window = FftWindow::Hann;
    else if (ui->radioButtonBlackman->isChecked())
        window = FftWindow::Blackman;
    spectrum.setWindow(window);
    state->redrawRequested = true;
}

void SpectrumControls::fftControlsPlotSet()
{
    ui->groupBoxPlot->setEnabled(!ui->checkBoxIQFFT->isChecked());
    state->redrawRequested = true;
}
