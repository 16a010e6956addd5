// The per-tick display of the newest scope frame: traces, meter read-outs,
// automatic cursors, persistence, references, loaded and played-back waves,
// recording, the spectrum, and one replot. The frame is turned into
// vectors by TraceBuilder; this decides, once per tick, what each graph
// shows.
#include "app/veltointerface.h"
#include "device/configprotocol.h"
#include "scope/graphdata.h"
#include "scope/measurements.h"
#include "scope/scaletables.h"
#include "scope/veltograph.h"
#include "scope/wavetext.h"
#include "ui_veltointerface.h"
#include "widgets/multimeterdisplay.h"

#include <QDir>
#include <array>
#include <QFile>
#include <QFileDialog>
#include <QTextStream>
#include <QTime>

#include <qcustomplot.h>

namespace {
const QVector<double> noValues;

// A graph handed keys without values would complain on every tick: a
// missing trace empties its graph instead.
void showOn(QCPGraph *graph, const QVector<double> &keys, const QVector<double> &values)
{
    GraphData::showTrace(graph, keys, values);
}
} // namespace

std::array<MultimeterDisplay *, 6> VeltoInterface::scopeMeterDisplays(int channel) const
{
    // Vpp, maximum, minimum, RMS, average, frequency.
    if (channel == 0)
        return {ui->multimeterdisplayVppCh1, ui->multimeterdisplayMaxCh1, ui->multimeterdisplayMinCh1,
                ui->multimeterdisplayRMSCh1, ui->multimeterdisplayAverCh1, ui->multimeterdisplayFreqCh1};
    return {ui->multimeterdisplayVppCh2, ui->multimeterdisplayMaxCh2, ui->multimeterdisplayMinCh2,
            ui->multimeterdisplayRMSCh2, ui->multimeterdisplayAverCh2, ui->multimeterdisplayFreqCh2};
}

void VeltoInterface::setupScopeMeterDisplays()
{
    const std::array<MultimeterDisplay *, 6> displays[2] = {scopeMeterDisplays(0), scopeMeterDisplays(1)};
    const char *labels[6] = {"Vpp", "Max", "Min", "RMS", "Average", "Frequency"};
    for (auto &channel : displays) {
        for (int k = 0; k < 6; ++k) {
            MultimeterDisplay *d = channel[k];
            d->setValueFontSize(9);
            d->setLabel(tr(labels[k]));
            const bool frequency = k == 5;
            d->setUnit(frequency ? QStringLiteral("Hz") : QStringLiteral("V"));
            d->setPrecision(frequency ? -1 : -2);
            if (frequency)
                d->setUnitPower(3);
        }
    }
}

void VeltoInterface::scopeDataShow()
{
    // 1. Take the frame: a read of the expected shape, or a redraw of the cached one.
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
    settings.rollMode = ui->rollMode->isChecked() && ui->rollMode->isEnabled();
    settings.xyMode = ui->xyMode->isChecked();
    const unsigned char *frame = reinterpret_cast<const unsigned char *>(frameCache.constData());
    if (traceBuilder.build(frame, frameCache.size(), settings) != TraceVerdict::Built)
        return;
    ++drawnTicks;

    // 2. The header.
    const frameconfig_t &header = traceBuilder.header();
    const int n = traceBuilder.samples();
    if (n != samplesPerChannel)
        scopeSetSizeX(n / 256);
    const uint8_t mask = header.channelMask;
    const bool has[3] = {traceBuilder.hasCh1(), traceBuilder.hasCh2(), traceBuilder.hasLogic()};
    showCH1ZeroVerticalIndicator(has[0]);
    showCH2ZeroVerticalIndicator(has[1]);
    showCHDZeroVerticalIndicator(has[2]);
    for (int ch = 0; ch < 3; ++ch)
        hCursorSetChannelEnabled(ch, has[ch]);
    ui->timeLabel->setText(QStringLiteral("Time = ") + ScaleTables::timeBaseText(header.samplingIndex));

    // 3. and 6. The meter records: from the instrument, or measured here.
    channela_t meters[2];
    dataInitChannelMeterBuffer(&meters[0]);
    dataInitChannelMeterBuffer(&meters[1]);
    const int meterOffset = Frames::meterBlockOffset(mask, n);
    unsigned char *meterBlocks = reinterpret_cast<unsigned char *>(frameCache.data()) + meterOffset;
    const ChannelExtremes *extremes[2] = {&traceBuilder.ch1Extremes(), &traceBuilder.ch2Extremes()};
    if (ui->checkBoxmeterondev->isChecked()) {
        dataChannelMeterGetData(&meters[0], meterBlocks);
        dataChannelMeterGetData(&meters[1], meterBlocks + Frames::meterBlockSize);
    } else {
        for (int ch = 0; ch < 2; ++ch) {
            if (!has[ch])
                continue;
            const int offset = Frames::channelBlockOffset(mask, ch == 0 ? Frames::Ch1 : Frames::Ch2, n);
            meters[ch] = hostMeterRecord(reinterpret_cast<const int8_t *>(frame + offset), n, extremes[ch]->minimum,
                                         extremes[ch]->maximum, meterBlocks + ch * Frames::meterBlockSize);
        }
    }
    const std::array<MultimeterDisplay *, 6> displays[2] = {scopeMeterDisplays(0), scopeMeterDisplays(1)};
    for (int ch = 0; ch < 2; ++ch) {
        if (!has[ch])
            continue;
        const channela_t &m = meters[ch];
        displays[ch][0]->setValue(ScaleTables::int8ToVolt_f(m.gainIndex, m.maximum, m.minimum));
        displays[ch][1]->setValue(ScaleTables::int8ToVolt_f(m.gainIndex, m.maximum));
        displays[ch][2]->setValue(ScaleTables::int8ToVolt_f(m.gainIndex, m.minimum));
        // The meter record carries RMS as a signed field; the value is never negative.
        displays[ch][3]->setValue(ScaleTables::int16ToVolt_f(m.gainIndex, m.rms));
        displays[ch][4]->setValue(ScaleTables::int16ToVolt_f(m.gainIndex, m.average));
        if (m.periodX100 == 0)
            displays[ch][5]->setNaN();
        else
            displays[ch][5]->setValue(
                ScaleTables::samplex100ToFrequency_f(int(qMin<uint32_t>(m.periodX100, INT32_MAX)), m.samplingIndex));
    }

    // 7. The automatic vertical cursors sit on one period of the chosen channel.
    if (ui->comboBoxScopeCursorsHorizontalType->currentIndex() == Cursors::Automatic) {
        const int ch = qBound(0, ui->comboBoxScopeCursorsChannel->currentIndex(), 1);
        const AutoCursorPositions at =
            automaticVerticalCursors(meters[ch].zeroCrossFirst, meters[ch].zeroCrossSecond,
                                     int(qMin<uint32_t>(meters[ch].periodX100, INT32_MAX)), has[ch],
                                     settings.rollMode, n, traceBuilder.startIndex());
        if (at.valid)
            vCursors.vCursorSetPosition(at.a, at.b);
    }

    // 8. Cursors, zero handles and channel labels.
    if (settings.xyMode)
        vCursorSetVisible(false);
    const bool hOn = ui->checkBoxScopeCursorsHorizontal->isChecked();
    hCursorcSetPositionAuto(hOn, extremes[0]->yMaximum, extremes[0]->yMinimum, extremes[1]->yMaximum,
                            extremes[1]->yMinimum);
    hCursorRefreshLabel(hOn, meters[0].gainIndex, meters[1].gainIndex);
    vCursors.setTimeIndex(header.samplingIndex);
    vCursorRefresh();
    zeroHeadRefresh();
    updateCh1Label(meters[0].controls, meters[1].controls);
    updateCh2Label(meters[1].controls, meters[0].controls);

    // 9. Persistence history for the decay graphs.
    const int decay = ui->decaySlider->value();
    persistenceHistory.update(decay, traceBuilder);
    if (decay < 1) {
        decayGraphs[0][0]->data()->clear();
        decayGraphs[1][0]->data()->clear();
    } else {
        for (int k = decay; k < 9; ++k) {
            decayGraphs[0][k]->data()->clear();
            decayGraphs[1][k]->data()->clear();
        }
    }

    // 10. Reference capture of this tick.
    if (captureRequested) {
        captureRequested = false;
        const ScaleTables::SliderRange r1 = ScaleTables::captureSliderRange(zeroLevel[0]);
        const ScaleTables::SliderRange r2 = ScaleTables::captureSliderRange(zeroLevel[1]);
        const ScaleTables::SliderRange rl = ScaleTables::logicCaptureSliderRange(zeroLevel[2]);
        ui->ch1CaptureSlider->setRange(r1.minimum, r1.maximum);
        ui->ch2CaptureSlider->setRange(r2.minimum, r2.maximum);
        ui->chdCaptureSlider->setRange(rl.minimum, rl.maximum);
        ui->ch1CaptureSlider->setValue(0);
        ui->ch2CaptureSlider->setValue(0);
        ui->chdCaptureSlider->setValue(0);
        referenceStore.capture(traceBuilder);
    }

    // 11. to 14. This tick's vectors, possibly replaced by a loaded or played-back wave.
    const QVector<double> &keys = traceBuilder.keys();
    const QVector<double> *ch1 = &traceBuilder.ch1();
    const QVector<double> *ch2 = &traceBuilder.ch2();
    const QVector<double> *bits[8];
    const QVector<double> *bases[8];
    for (int bit = 0; bit < 8; ++bit) {
        bits[bit] = &traceBuilder.logic(bit);
        bases[bit] = &traceBuilder.logicBaseline(bit);
    }
    auto takeTen = [&](const QVector<QVector<double>> &ten) {
        ch1 = &ten.at(0);
        ch2 = &ten.at(1);
        for (int bit = 0; bit < 8; ++bit) {
            bits[bit] = &ten.at(2 + bit);
            bases[bit] = &noValues;
        }
    };
    if (loadedWaveShown && savedWave.size() == WaveText::vectorsPerFrame)
        takeTen(savedWave);
    WavePlayback::Step played;
    if (wavePlayback.active()) {
        played = wavePlayback.next();
        if (played.ended) {
            ui->samplingSlider->setValue(played.samplingIndex);
            usbDevice.serialPort.setSamplingValue(played.samplingIndex);
            ui->label_13->clear();
        } else {
            // Sent straight to the instrument, without a log line per frame.
            if (usbDevice.deviceOpened)
                usbDevice.controlWriteTransfer(Request::ConfigWrite, ConfigEntry::SamplingRate,
                                               uint16_t(played.samplingIndex));
            const QSignalBlocker blocker(ui->samplingSlider);
            ui->samplingSlider->setValue(played.samplingIndex);
            usbDevice.serialPort.setSamplingValue(played.samplingIndex);
            takeTen(played.frame);
        }
    }
    auto currentTen = [&]() {
        QVector<QVector<double>> ten{*ch1, *ch2};
        for (const QVector<double> *bit : bits)
            ten << *bit;
        return ten;
    };
    if (saveRequested) {
        saveRequested = false;
        savedWave = currentTen();
        saveWavetoFile();
    }

    // 15. Drawing.
    const bool persistence = ui->checkBoxPersistence->isChecked();
    if (settings.xyMode) {
        ch1Graph->data()->clear();
        ch2Graph->data()->clear();
        for (auto &channel : decayGraphs)
            for (QCPGraph *graph : channel)
                graph->data()->clear();
        if (has[0] && has[1] && ch2->size() == keys.size()) {
            ch1Graph->setData(keys, *ch2, false);
            bool found = false;
            const QCPRange values = ch1Graph->getValueRange(found);
            if (found) {
                QCPRange shown = customPlot->yAxis->range();
                shown.expand(values);
                customPlot->yAxis->setRange(shown);
            }
        }
    } else {
        const QVector<double> *traces[2] = {ch1, ch2};
        QCPGraph *graphs[2] = {ch1Graph, ch2Graph};
        // Without persistence each graph's points are replaced (in place
        // when the keys stay) rather than cleared and rebuilt.
        for (int ch = 0; ch < 2; ++ch) {
            const bool drawn = has[ch] && traces[ch]->size() == keys.size();
            if (persistence) {
                if (drawn)
                    persistenceAccumulators[ch].add(graphs[ch], keys, *traces[ch]);
                continue;
            }
            persistenceAccumulators[ch].clear();
            showOn(graphs[ch], keys, drawn ? *traces[ch] : noValues);
            for (int k = 0; k < 9; ++k)
                showOn(decayGraphs[ch][k], keys,
                       drawn && k < persistenceHistory.count(ch) ? persistenceHistory.trace(ch, k) : noValues);
        }
        showOn(ch1RefGraph, keys,
               ui->refCH1->isChecked() ? referenceStore.displayCh1(ui->ch1CaptureSlider->value()) : noValues);
        showOn(ch2RefGraph, keys,
               ui->refCH2->isChecked() ? referenceStore.displayCh2(ui->ch2CaptureSlider->value()) : noValues);
        logicLabelsRefresh();
        const QCheckBox *enabled[8] = {ui->checkBoxCHD0, ui->checkBoxCHD1, ui->checkBoxCHD2, ui->checkBoxCHD3,
                                       ui->checkBoxCHD4, ui->checkBoxCHD5, ui->checkBoxCHD6, ui->checkBoxCHD7};
        for (int bit = 0; bit < 8; ++bit) {
            logicLabels[bit]->setVisible(false);
            const bool shown = enabled[bit]->isChecked();
            const bool drawn = has[2] && shown && bits[bit]->size() == keys.size();
            if (persistence) {
                if (drawn) {
                    logicAccumulators[bit].add(logicGraphs[bit], keys, *bits[bit]);
                    showOn(logicBaseGraphs[bit], keys, *bases[bit]);
                }
            } else {
                logicAccumulators[bit].clear();
                showOn(logicGraphs[bit], keys, drawn ? *bits[bit] : noValues);
                showOn(logicBaseGraphs[bit], keys, drawn ? *bases[bit] : noValues);
            }
            if (drawn)
                logicLabels[bit]->setVisible(true);
            if (ui->refLogic->isChecked() && shown) {
                showOn(logicRefGraphs[bit], keys, referenceStore.displayLogic(bit, ui->chdCaptureSlider->value()));
                logicLabels[bit]->setVisible(true);
            } else {
                logicRefGraphs[bit]->data()->clear();
            }
        }
        if (!persistence) {
            fftAccumulators[0].clear();
            fftAccumulators[1].clear();
        }
        if (ui->checkBoxFFTTrace->isChecked()) {
            scopeDrawFFT();
        } else if (!persistence) {
            fftGraphs[0]->data()->clear();
            fftGraphs[1]->data()->clear();
        }
    }

    // 16. Recording of every new frame.
    if (header.frameNumber != lastFrameNumber) {
        if (lastFrameNumber >= 0)
            framesMissed += quint64((header.frameNumber - lastFrameNumber - 1) & 0xFFFF);
        ++framesShown;
        lastFrameNumber = header.frameNumber;
        if (recordingActive) {
            savedWave = currentTen();
            recordingText += QString::number(ui->samplingSlider->value()) + QStringLiteral("<*>\n");
            recordingText += saveWavetoString();
        }
    }

    // 17. One replot, with the persistence strokes when persistence is on.
    for (VeltoGraph *graph : allGraphs)
        graph->setPersistence(persistence);
    customPlot->replot(QCustomPlot::rpQueuedReplot);
}

void VeltoInterface::scopeDrawFFT()
{
    SpectrumSettings s;
    s.iq = ui->checkBoxIQFFT->isChecked();
    s.ch1 = ui->checkBoxFFTCH1->isChecked();
    s.ch2 = ui->checkBoxFFTCH2->isChecked();
    s.logY = ui->checkBoxLogY->isChecked();
    // A frame without a spectrum leaves both graphs empty (without persistence).
    spectrum.computeFromFrame(reinterpret_cast<const unsigned char *>(frameCache.constData()), frameCache.size(), s);
    const bool persistence = ui->checkBoxPersistence->isChecked();
    const QVector<double> *values[2] = {&spectrum.ch1Values(), &spectrum.ch2Values()};
    for (int ch = 0; ch < 2; ++ch) {
        if (values[ch]->isEmpty()) {
            if (!persistence)
                fftGraphs[ch]->data()->clear();
            continue;
        }
        if (persistence)
            fftAccumulators[ch].add(fftGraphs[ch], spectrum.keys(), *values[ch]);
        else
            showOn(fftGraphs[ch], spectrum.keys(), *values[ch]);
    }
}

void VeltoInterface::fftWindowFunctionSet()
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
    redrawRequested = true;
}

void VeltoInterface::fftControlsPlotSet()
{
    ui->groupBoxPlot->setEnabled(!ui->checkBoxIQFFT->isChecked());
    redrawRequested = true;
}

void VeltoInterface::on_checkBoxFFTTrace_clicked() { fftControlsPlotSet(); }
void VeltoInterface::on_checkBoxIQFFT_clicked() { fftControlsPlotSet(); }
void VeltoInterface::on_checkBoxLogY_clicked() { fftControlsPlotSet(); }
void VeltoInterface::on_checkBoxFFTCH1_clicked() { redrawRequested = true; }
void VeltoInterface::on_checkBoxFFTCH2_clicked() { redrawRequested = true; }

void VeltoInterface::on_radioButtonRect_clicked()
{
    fftWindowFunctionSet();
    fftControlsPlotSet();
}

void VeltoInterface::on_radioButtonHamming_clicked()
{
    fftWindowFunctionSet();
    fftControlsPlotSet();
}

void VeltoInterface::on_radioButtonHann_clicked()
{
    fftWindowFunctionSet();
    fftControlsPlotSet();
}

void VeltoInterface::on_radioButtonBlackman_clicked()
{
    fftWindowFunctionSet();
    fftControlsPlotSet();
}

void VeltoInterface::on_captureButton_clicked()
{
    captureRequested = true;
    redrawRequested = true;
}

void VeltoInterface::on_refCH1_clicked() { redrawRequested = true; }
void VeltoInterface::on_refCH2_clicked() { redrawRequested = true; }
void VeltoInterface::on_refLogic_clicked() { redrawRequested = true; }
void VeltoInterface::on_ch1CaptureSlider_valueChanged() { redrawRequested = true; }
void VeltoInterface::on_ch2CaptureSlider_valueChanged() { redrawRequested = true; }
void VeltoInterface::on_chdCaptureSlider_valueChanged() { redrawRequested = true; }
void VeltoInterface::on_decaySlider_valueChanged(int) { redrawRequested = true; }
void VeltoInterface::on_checkBoxPersistence_clicked() { redrawRequested = true; }

QString VeltoInterface::saveWavetoString()
{
    const QString text = WaveText::waveToString(savedWave);
    savedWave.clear();
    return text;
}

void VeltoInterface::saveWavetoFile()
{
    const QString name =
        QStringLiteral("waveFile") + QTime::currentTime().toString(QStringLiteral("hh:mm:ss")).remove(QLatin1Char(':')) +
        QStringLiteral(".vsp");
    if (saveDestinationDir.isEmpty()) {
        const QString chosen = QFileDialog::getExistingDirectory(this, tr("Choose Destination Folder"), defaultDir,
                                                                 QFileDialog::ShowDirsOnly);
        if (chosen.isEmpty())
            return;
        saveDestinationDir = chosen;
        defaultDir = chosen;
    }
    QFile file(saveDestinationDir + QDir::separator() + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        logToFile(QStringLiteral("Wave file %1 cannot be written: %2").arg(file.fileName(), file.errorString()), 2);
        return;
    }
    QTextStream out(&file);
    out << WaveText::waveToFile(savedWave);
    savedWave.clear();
}
