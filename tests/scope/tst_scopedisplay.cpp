// SPDX-License-Identifier: GPL-3.0-only
// The per-tick display of the window, fed frames built here: which frames
// are drawn, where the samples land, the meter read-outs and labels, decay,
// persistence, references, XY, the spectrum, the played-back and loaded
// waves, recording, and frames of any shape thrown at it.
#include "common/windowtest.h"
#include "scope/exportcontrols.h"
#include "scope/measurementpanel.h"
#include "scope/persistenceaccumulator.h"
#include "scope/persistenceimage.h"
#include "core/scope/scaletables.h"
#include "scope/veltograph.h"
#include "widgets/multimeterdisplay.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace
{
constexpr uint8_t bothChannels = Frames::Ch1 | Frames::Ch2;
constexpr uint8_t allChannels = bothChannels | Frames::Chd;

int squareWave(int i, int period, int high, int low)
{
    return (i % period) < period / 2 ? high : low;
}
} // namespace

class TestScopeDisplay : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        useVirtualBench();
        // Nothing connects: the frames of these tests come from the test alone.
        virtualBench().setAttached(false);
    }
    void init()
    {
        w = new VeltoInterface;
        w->displayTimer().stop();
        QCoreApplication::processEvents();
        w->displayTimer().stop();
        g = &w->scopePlot()->graphs();
        ui = w->form();
        ui->checkBoxCH1Trace->setChecked(true);
        ui->checkBoxCH2Trace->setChecked(true);
        ui->checkBoxCHDTrace->setChecked(false);
        ui->comboBoxADCBuffer->setCurrentIndex(2); // 768 samples
        for (QSlider *slider : {ui->ch1PositionSlider, ui->ch2PositionSlider, ui->chdPositionSlider,
                                ui->chdSizeSlider, ui->decaySlider})
            slider->setValue(0);
        ui->checkBoxmeterondev->setChecked(false);
        ui->ch1GainSlider->setValue(1);  // 4 V/div
        ui->samplingSlider->setValue(8); // 2 ms/div
        for (QCheckBox *cursors : {ui->checkBoxCursorVertical, ui->checkBoxScopeCursorsHorizontal})
            if (cursors->isChecked())
                cursors->click();
        for (QCheckBox *bit : {ui->checkBoxCHD0, ui->checkBoxCHD1, ui->checkBoxCHD2, ui->checkBoxCHD3,
                               ui->checkBoxCHD4, ui->checkBoxCHD5, ui->checkBoxCHD6, ui->checkBoxCHD7})
            bit->setChecked(true);
    }
    void cleanup()
    {
        delete w;
        w = nullptr;
    }
    void onlyFramesOfTheExpectedShapeAreDrawn()
    {
        ui->checkBoxFFTTrace->setChecked(true);
        ui->checkBoxFFTCH1->setChecked(true);
        ui->checkBoxFFTCH2->setChecked(true);
        const QByteArray good =
            buildFrame({}, [](int block, int i) { return block == 0 ? i % 50 : -(i % 30); });
        feed(*w, good);
        QCOMPARE(w->display()->frame(), good);
        const QVector<double> drawn = graphValues(g->ch1);
        QCOMPARE(drawn.size(), 768);
        QCOMPARE(drawn.at(49), plotY(49));
        const QVector<double> spectra[2] = {graphValues(g->fft[0]), graphValues(g->fft[1])};
        QCOMPARE(spectra[1].size(), 128);
        QVERIFY(spectra[0] != spectra[1]);

        // One byte short, one byte long, a 512-sample frame while the box says
        // 768, and a wrong first byte: none is drawn, not even on a redraw, and
        // neither channel's spectrum takes anything from them.
        QByteArray badHeader = good;
        badHeader[0] = 'B';
        const quint64 drawnBefore = w->display()->counts().drawnTicks;
        MessageCapture log;
        const QByteArray bad[] = {good.left(good.size() - 1), good + QByteArray(1, '\0'),
                                  buildFrame({bothChannels, 512}, [](int, int) { return 100; }), badHeader};
        for (const QByteArray &frame : bad) {
            for (bool redraw : {false, true}) {
                w->scopeState()->redrawRequested = redraw;
                feed(*w, frame);
                QCOMPARE(w->display()->frame(), good);
                QCOMPARE(graphValues(g->ch1), drawn);
                QCOMPARE(graphValues(g->fft[0]), spectra[0]);
                QCOMPARE(graphValues(g->fft[1]), spectra[1]);
            }
            QVERIFY(!w->session()->usb().dataReady);
        }
        QCOMPARE(w->display()->counts().drawnTicks, drawnBefore + 4); // the redraws of the cached frame
        QCOMPARE(log.count(QStringLiteral("Scope data: Invalide header")), 2);

        // A frame of the right length is drawn as its own header describes it,
        // here CH1 alone at twice the size: CH2's trace and spectrum go.
        const FrameShape lying{Frames::Ch1, 1536};
        const QByteArray sameLength = buildFrame(lying, [](int, int i) { return i % 7; });
        QCOMPARE(sameLength.size(), good.size());
        feed(*w, sameLength);
        QCOMPARE(w->scopeState()->samplesPerChannel, 1536);
        QCOMPARE(g->ch1->data()->size(), 1536);
        QVERIFY(g->ch2->data()->isEmpty());
        QVERIFY(!g->fft[0]->data()->isEmpty());
        QVERIFY(g->fft[1]->data()->isEmpty());
        QCOMPARE(w->trigger()->model().maximumPosition(), 1536 - 8);
    }
    void blocksFollowTheMaskAndTheSliders()
    {
        // Only CH2: its block starts right after the header, and CH1's trace goes.
        ui->checkBoxCH1Trace->setChecked(false);
        const FrameShape ch2Only{Frames::Ch2};
        feed(*w, buildFrame(ch2Only, [](int block, int i) { return block == 1 ? (i % 64) - 32 : 99; }));
        QCOMPARE(w->display()->frame().size(), 48 + 768);
        QVERIFY(g->ch1->data()->isEmpty());
        QCOMPARE(g->ch2->data()->size(), 768);
        QCOMPARE(graphValues(g->ch2).at(100), plotY(100 % 64 - 32));

        // All three: each block on its own graphs, where the scale puts it.
        ui->checkBoxCH1Trace->setChecked(true);
        ui->checkBoxCHDTrace->setChecked(true);
        FrameShape shape{allChannels};
        feed(*w, buildFrame(shape, [](int block, int) {
            return block == 0 ? 127 : block == 1 ? -128 : 0x80; // bit 7 high, the others low
        }));
        QCOMPARE(graphValues(g->ch1).at(1), 838.4375);
        QCOMPARE(graphValues(g->ch2).at(0), 640.0 - 200.0);
        QCOMPARE(graphKeys(g->ch1).at(1), 2.0);
        // Bit 7's base is 640 + 140 = 780; its baseline one unit lower.
        QCOMPARE(w->scopePlot()->logicBitPos0(7), 780);
        QCOMPARE(graphValues(g->logic[7]).at(0), 790.0);
        QCOMPARE(graphValues(g->logicBase[7]).at(0), 779.0);
        QCOMPARE(graphValues(g->logic[6]).at(0), 760.0);

        // A position slider moves the drawn trace by its value on the next redraw.
        ui->ch1PositionSlider->setValue(-96);
        QVERIFY(w->scopeState()->redrawRequested);
        w->display()->scopeDataShow();
        QCOMPARE(graphValues(g->ch1).at(0), plotY(127, -96));
        QCOMPARE(w->scopeState()->zeroLevel[0], 640 - 96);
        ui->chdSizeSlider->setValue(8);
        w->display()->scopeDataShow();
        QCOMPARE(graphValues(g->logic[7]).at(0), 640.0 + 28.0 * 7 + 10.0 + 8.0);
        QCOMPARE(ui->timeLabel->text(), QStringLiteral("Time = 2 ms/div"));
        // A bit switched off is not drawn and loses its label.
        QVERIFY(w->scopePlot()->items().logicLabels[3]->visible());
        ui->checkBoxCHD3->setChecked(false);
        redraw();
        QVERIFY(g->logic[3]->data()->isEmpty());
        QVERIFY(!w->scopePlot()->items().logicLabels[3]->visible());
        QCOMPARE(g->logic[4]->data()->size(), 768);
        // With no instrument the page's label names the time base the legend does.
        ui->samplingSlider->setValue(9);
        QVERIFY(ui->labelSamplingRate->text().startsWith(ui->timeLabel->text() + QLatin1Char(',')));
    }
    void rollModeDisabledStartsAtIndexZero()
    {
        FrameShape shape;
        shape.rollStart = 300;
        const QByteArray frame = buildFrame(shape, [](int, int i) { return i % 100; });
        // Checked at a fast time base, roll mode is disabled: the frame is drawn from index 0.
        ui->samplingSlider->setValue(5);
        ui->rollMode->setChecked(true);
        QVERIFY(!ui->rollMode->isEnabled());
        feed(*w, frame);
        QCOMPARE(graphValues(g->ch1).at(0), plotY(0));
        // At a slow time base it is enabled, and the oldest sample comes first.
        ui->samplingSlider->setValue(12);
        QVERIFY(ui->rollMode->isEnabled());
        QVERIFY(!ui->elasticMode->isEnabled()); // roll mode runs: no elastic trace
        feed(*w, frame);
        QCOMPARE(graphValues(g->ch1).at(0), plotY(300 % 100));
        QCOMPARE(graphValues(g->ch1).at(768 - 300), plotY(0));
        // The newest samples, at the frame's end, are in view.
        QCOMPARE(w->scopePlot()->plot()->xAxis->range().upper, 2.0 * 768);
    }
    void hostMeasurementsFillTheReadOutsAndCursors()
    {
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(Cursors::Automatic);
        ui->comboBoxScopeCursorsChannel->setCurrentIndex(0);
        ui->checkBoxCursorVertical->setChecked(true);
        w->cursors()->cursorsVerticalChanged(true);
        FrameShape shape{bothChannels, 768, 1, 7}; // 1 ms/div: 16 samples a millisecond
        for (channela_t &meter : shape.meters) {
            meter.gainIndex = 3;
            meter.samplingIndex = 7;
        }
        // CH1 a ±100 square wave of 50 samples, CH2 constant.
        feed(*w, buildFrame(shape,
                            [](int block, int i) { return block == 0 ? squareWave(i, 50, 100, -100) : 20; }));

        // Independently: the first rising crossing after the start, one period later the next.
        int first = -1;
        for (int i = 6; i < 768 - 6 && first < 0; ++i)
            if (squareWave(i - 1, 50, 100, -100) < 0 && squareWave(i, 50, 100, -100) > 0)
                first = i;
        QVERIFY(first > 0);
        QCOMPARE(w->cursors()->vertical().positionA, 2 * first);
        QCOMPARE(w->cursors()->vertical().positionB, 2 * (first + 50));
        // 50 samples at 16 kS/s: 320 Hz.
        QCOMPARE(ui->multimeterdisplayFreqCh1->getValue(), 320.0);
        QVERIFY(ui->multimeterdisplayFreqCh2->isNotANumber());
        // 0.8 V/div: a count is 0.8 / 40.96 V.
        const QPair<MultimeterDisplay *, int> counts[] = {
            {ui->multimeterdisplayVppCh1, 200},  {ui->multimeterdisplayMaxCh1, 100},
            {ui->multimeterdisplayMinCh1, -100}, {ui->multimeterdisplayRMSCh1, 100},
            {ui->multimeterdisplayAverCh1, 0},   {ui->multimeterdisplayAverCh2, 20},
            {ui->multimeterdisplayRMSCh2, 20}};
        for (const auto &reading : counts)
            QVERIFY2(qAbs(reading.first->getValue() - reading.second * 0.8 / 40.96) < 1e-9,
                     qPrintable(reading.first->objectName()));
        QCOMPARE(w->scopePlot()->items().labelDeltaTime->text(), QStringLiteral("ΔT =  3.125 ms"));

        // Manual keeps the cursors where they are.
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(Cursors::Manual);
        w->cursors()->vCursorSetPosition(100, 300);
        shape.frameNumber = 2;
        feed(*w, buildFrame(shape, [](int block, int i) {
            return block == 0 ? squareWave(i + 7, 50, 100, -100) : 20;
        }));
        QCOMPARE(w->cursors()->vertical().positionA, 100);
        QCOMPARE(w->cursors()->vertical().positionB, 300);
    }
    void instrumentMeasurementsAndChannelLabels()
    {
        ui->checkBoxmeterondev->setChecked(true);
        ui->ch2GainSlider->setValue(5);
        FrameShape shape;
        shape.meters[0].controls = 0x01 | 0x04;        // CH1 traced and inverted
        shape.meters[1].controls = 0x01 | 0x10 | 0x20; // CH2 traced, math, subtract
        shape.meters[0].gainIndex = 9;
        shape.meters[0].maximum = 64;
        shape.meters[0].minimum = -64;
        shape.meters[0].periodX100 = 1600;
        shape.meters[0].samplingIndex = 7;
        shape.meters[1].gainIndex = 10; // no scale: the read-outs give 0
        shape.meters[1].maximum = 10;
        feed(*w, buildFrame(shape, [](int, int) { return 0; }));
        // The instrument's numbers, not the flat samples of the frame.
        QCOMPARE(ui->multimeterdisplayFreqCh1->getValue(), 1000.0);
        QVERIFY(qAbs(ui->multimeterdisplayMaxCh1->getValue() - 64 * 0.0125 / 40.96) < 1e-9);
        QCOMPARE(ui->multimeterdisplayMaxCh2->getValue(), 0.0);
        // Math is computed here: math bits in the echo name none.
        QCOMPARE(ui->ch1Label->text(), QStringLiteral("-CH1 = 4V/div"));
        QCOMPARE(ui->ch2Label->text(), QStringLiteral(" CH2 = 0.2V/div"));
        // CH1 * CH2 with CH2 at the ADC's limit: in V² at its own scale, marked, measured on the product.
        ui->checkBoxCH1Math->setChecked(true);
        ui->radioButtonCH1Multiply->setChecked(true);
        ui->ch1GainSlider->setValue(3);
        ui->ch2GainSlider->setValue(3);
        ui->checkBoxScopeCursorsHorizontal->setChecked(true);
        shape.meters[0].controls = shape.meters[1].controls = 0x01;
        shape.meters[0].gainIndex = shape.meters[1].gainIndex = 3;
        shape.frameNumber = 2;
        feed(*w, buildFrame(shape, [](int block, int) { return block == 0 ? -50 : 127; }));
        QCOMPARE(ui->ch1Label->text(), QStringLiteral(" CH1 * CH2 = 2V²/div, input clipped"));
        const double volt = 0.8 / 40.96;
        QVERIFY(qAbs(ui->multimeterdisplayAverCh1->getValue() - (-50 * volt) * (127 * volt)) < 1e-9);
        QCOMPARE(ui->multimeterdisplayAverCh1->getUnit(), QStringLiteral("V²"));
        const QList<QLabel *> texts = ui->multimeterdisplayVppCh1->findChildren<QLabel *>();
        QVERIFY(
            std::any_of(texts.begin(), texts.end(), [](QLabel *l) { return l->text() == "Vpp (clipped)"; }));
        QCOMPARE(graphValues(g->ch1).at(0), 640 + (-50 * volt) * (127 * volt) / 2.0 * 64);
        // The cursors read the product at its scale too.
        QVERIFY2(w->scopePlot()->items().labelDeltaVolt->text().endsWith(QStringLiteral(" V²")),
                 qPrintable(w->scopePlot()->items().labelDeltaVolt->text()));
    }
    void decayKeepsTheNewestTracesAsLinesOrDots()
    {
        ui->decaySlider->setValue(3);
        for (int k = 0; k < 5; ++k)
            feed(*w, buildFrame({bothChannels, 768, uint16_t(k + 1)}, [k](int, int) { return 10 * k; }));
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(g->decay[0][k]->data()->size(), 768);
            // Oldest first: frames 2, 3 and 4 (levels 20, 30, 40).
            QCOMPARE(graphValues(g->decay[0][k]).first(), plotY(10 * (k + 2)));
        }
        QCOMPARE(graphValues(g->decay[0][2]), graphValues(g->ch1));
        QCOMPARE(graphValues(g->decay[1][2]), graphValues(g->ch2));
        for (int k = 3; k < 9; ++k)
            QVERIFY(g->decay[0][k]->data()->isEmpty() && g->decay[1][k]->data()->isEmpty());
        // Vectors off draws the traces, references and decay graphs of CH1 and CH2 as dots.
        QVERIFY(ui->checkBoxVectors->isChecked());
        QList<QCPGraph *> traces{g->ch1, g->ch2, g->ch1Reference, g->ch2Reference};
        for (int k = 0; k < 9; ++k)
            traces << g->decay[0][k] << g->decay[1][k];
        for (bool vectors : {false, true}) {
            ui->checkBoxVectors->click();
            w->display()->scopeDataShow();
            for (int k = 0; k < traces.size(); ++k) {
                QVERIFY2(traces[k]->lineStyle() == (vectors ? QCPGraph::lsLine : QCPGraph::lsNone),
                         qPrintable(QString::number(k)));
                QVERIFY2(traces[k]->scatterStyle().shape() ==
                             (vectors ? QCPScatterStyle::ssNone : QCPScatterStyle::ssDot),
                         qPrintable(QString::number(k)));
            }
        }
        // Shrinking keeps only the newest; 0 clears the history.
        ui->decaySlider->setValue(1);
        w->display()->scopeDataShow();
        QCOMPARE(graphValues(g->decay[0][0]).first(), plotY(40));
        QVERIFY(g->decay[0][1]->data()->isEmpty());
        ui->decaySlider->setValue(0);
        w->display()->scopeDataShow();
        QVERIFY(g->decay[0][0]->data()->isEmpty());
        QCOMPARE(w->display()->history().count(0), 0);
    }
    void persistenceCountsEveryFrameInFixedMemory()
    {
        showPlot();
        ui->checkBoxPersistence->setChecked(true);
        ui->checkBoxFFTTrace->setChecked(true);
        const int depth = PersistenceAccumulator().depth();
        const PersistenceImage *image = g->persistence;
        size_t memory = 0;
        // Three frames arrive between two ticks; each goes into the picture.
        for (int k = 0; k < 3 * depth; ++k) {
            const FrameShape shape{bothChannels, 768, uint16_t(k + 1)};
            const QByteArray frame =
                buildFrame(shape, [k](int block, int) { return block == 0 ? (k % 2 ? 40 : -40) : 0; });
            w->session()->usb().deliverRead(frameBytes(frame), frame.size());
            if (k % 3 == 2)
                w->display()->scopeDataShow();
            if (k == 5)
                memory = image->memoryBytes();
        }
        QCOMPARE(w->display()->counts().framesShown, quint64(3 * depth));
        QCOMPARE(image->image(0).traces(), quint64(3 * depth));
        QCOMPARE(image->memoryBytes(), memory);
        // CH1's two levels, each on half of the frames, in the middle of the plot.
        const QRect area = w->scopePlot()->plot()->axisRect()->rect();
        for (int level : {40, -40}) {
            const int row =
                int(std::floor(w->scopePlot()->plot()->yAxis->coordToPixel(plotY(level)))) - area.top();
            QCOMPARE(int(image->image(0).at(area.width() / 2, row)), 3 * depth / 2);
        }
        // The live graph holds the newest trace alone; the spectrum still piles up.
        QCOMPARE(graphValues(g->ch1), QVector<double>(768, plotY(40)));
        QCOMPARE(g->fft[0]->data()->size(), depth * 128);
        // Unchecked, the next drawn tick gives the memory back.
        ui->checkBoxPersistence->setChecked(false);
        redraw();
        QVERIFY(image->memoryBytes() < memory / 100);
        QCOMPARE(g->fft[0]->data()->size(), 128);
    }
    void referencesFollowTheirSliders()
    {
        ui->checkBoxCHDTrace->setChecked(true);
        ui->ch1PositionSlider->setValue(-128);
        FrameShape shape{allChannels};
        feed(*w, buildFrame(shape, [](int block, int i) { return block == 2 ? 0xFF : (i % 20); }));
        // Nothing captured yet: the reference graphs stay empty even when shown.
        ui->refCH1->setChecked(true);
        ui->refLogic->setChecked(true);
        w->display()->scopeDataShow();
        redraw();
        QVERIFY(g->ch1Reference->data()->isEmpty());

        ui->captureButton->click();
        w->display()->scopeDataShow();
        // The capture slider may move the reference up to 128 units from either edge.
        QCOMPARE(ui->ch1CaptureSlider->minimum(), 128 - (640 - 128));
        QCOMPARE(ui->ch1CaptureSlider->maximum(), 1280 - 128 - (640 - 128));
        QCOMPARE(ui->chdCaptureSlider->minimum(), 8 - 640);
        QCOMPARE(ui->chdCaptureSlider->maximum(), 1280 - 248 - 640);
        QCOMPARE(ui->ch1CaptureSlider->value(), 0);
        const QVector<double> captured = graphValues(g->ch1);
        QCOMPARE(graphValues(g->ch1Reference), captured);

        // A new frame leaves the reference as captured; the slider moves it.
        shape.frameNumber = 2;
        feed(*w, buildFrame(shape, [](int, int) { return 50; }));
        QCOMPARE(graphValues(g->ch1Reference), captured);
        ui->ch1CaptureSlider->setValue(32);
        w->display()->scopeDataShow();
        QCOMPARE(graphValues(g->ch1Reference).at(3), captured.at(3) + 32);
        QCOMPARE(graphValues(g->logicReference[2]).at(0), 640.0 + 40.0 + 10.0);
        QVERIFY(g->ch2Reference->data()->isEmpty()); // not shown
        // A smaller buffer: the live trace has 256 points, the reference keeps its 768.
        const QVector<double> shown = graphValues(g->ch1Reference);
        ui->comboBoxADCBuffer->setCurrentIndex(0);
        shape.samples = 256;
        shape.frameNumber = 3;
        feed(*w, buildFrame(shape, [](int, int) { return 5; }));
        QCOMPARE(g->ch1->data()->size(), 256);
        QCOMPARE(graphValues(g->ch1Reference), shown);
        QCOMPARE(graphKeys(g->ch1Reference).last(), 2.0 * 767);
        ui->refCH1->setChecked(false);
        redraw();
        QVERIFY(g->ch1Reference->data()->isEmpty());
    }
    void horizontalCursorsFollowTheChannelsInTheFrame()
    {
        const ScopeItems &items = w->scopePlot()->items();
        // Switched on before any frame, on CH1: they show once a frame holds CH1; a
        // frame without CH1 hides them, CH1 back shows them again.
        ui->checkBoxScopeCursorsHorizontal->click();
        FrameShape shape;
        QList<QCPAbstractItem *> shown{items.hCursorHandle[0], items.hCursorHandle[1], items.hCursorLine[1],
                                       items.labelDeltaVolt};
        for (bool ch1 : {true, false, true}) {
            ui->checkBoxCH1Trace->setChecked(ch1);
            shape.mask = ch1 ? bothChannels : Frames::Ch2;
            ++shape.frameNumber;
            feed(*w, buildFrame(shape, [](int, int i) { return i % 40 - 20; }));
            for (QCPAbstractItem *item : shown)
                QCOMPARE(item->visible(), ch1);
        }
        // Tracking cursors show their circles on CH1 and read the frame drawn,
        // not the one before; switched off, nothing of them stays.
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(Cursors::Track);
        QVERIFY(items.tracers[0][0]->visible());
        for (int level : {40, -24}) {
            ++shape.frameNumber;
            feed(*w, buildFrame(shape, [level](int, int) { return level; }));
            QCOMPARE(w->cursors()->horizontal().levelA() + w->scopeState()->zeroLevel[0], int(plotY(level)));
        }
        ui->checkBoxScopeCursorsHorizontal->click();
        for (QCPAbstractItem *item : shown << items.tracers[0][0] << items.tracers[0][1])
            QVERIFY(!item->visible());
    }
    void persistenceStartsAgainWhenATraceMoves()
    {
        showPlot();
        ui->checkBoxPersistence->setChecked(true);
        ui->checkBoxCHDTrace->setChecked(true);
        ui->chdPositionSlider->setValue(200); // above the plot's note on the missing instrument
        FrameShape shape{allChannels};
        // The analog traces below the centre, the logic bits high in the first two frames only.
        for (uint16_t number = 1; number <= 3; ++number) {
            shape.frameNumber = number;
            const int bits = number < 3 ? 0xFF : 0;
            feed(*w, buildFrame(shape, [=](int block, int) { return block < 2 ? -10 * number : bits; }));
        }
        // CH1 moved: its picture starts again from the cached frame, CH2's and the bits' keep all three.
        ui->ch1PositionSlider->setValue(100);
        w->display()->scopeDataShow();
        for (double value : graphValues(g->ch1))
            QCOMPARE(value, plotY(-30, 100));
        const quint64 traces[] = {1, 3, 8 * 3};
        for (int ch = 0; ch < 3; ++ch)
            QCOMPARE(g->persistence->image(ch).traces(), traces[ch]);
        // A redraw adds nothing to a picture under way.
        redraw();
        QCOMPARE(g->persistence->image(1).traces(), quint64(3));
        // Each bit's high level, where only the picture is drawn, wears that bit's colour.
        QCustomPlot *plot = w->scopePlot()->plot();
        plot->replot();
        const QImage shown = plot->grab().toImage();
        const int x = int(plot->xAxis->coordToPixel(101));
        for (int bit = 0; bit < 8; ++bit) {
            const int y = int(std::floor(plot->yAxis->coordToPixel(w->scopePlot()->logicBitPos0(bit) + 10)));
            QCOMPARE(shown.pixelColor(x, y), g->logic[bit]->pen().color());
        }
    }
    void xyModePlotsCh2AgainstCh1()
    {
        ui->decaySlider->setValue(2);
        // Neither position moves the figure: its middle is 0 V on both axes.
        ui->ch1PositionSlider->setValue(160);
        ui->ch2PositionSlider->setValue(-96);
        ui->xyMode->setChecked(true);
        w->interaction()->xyModeChanged();
        w->resize(1400, 900);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->displayTimer().stop();
        feed(*w, buildFrame({}, [](int block, int i) { return block == 0 ? (i % 200) - 100 : -(i % 50); }));
        QVERIFY(g->ch1->data()->isEmpty() && g->ch2->data()->isEmpty());
        for (int k = 0; k < 9; ++k)
            QVERIFY(g->decay[0][k]->data()->isEmpty());
        // Point k is (CH1, CH2) of sample k, each at 64 units a division around 640, drawn in sample order.
        QCOMPARE(g->xy->dataCount(), 768);
        for (int k : {0, 1, 199, 767}) {
            const QCPCurveData &point = *(g->xy->data()->constBegin() + k);
            QCOMPARE(QPointF(point.key, point.value),
                     QPointF(640 + 1.5625 * (k % 200 - 100), 640 - 1.5625 * (k % 50)));
        }
        // The key axis is centred on CH1's zero, with divisions as wide as they are high.
        const QCPRange x = w->scopePlot()->plot()->xAxis->range();
        const QCPRange y = w->scopePlot()->plot()->yAxis->range();
        const QRect box = w->scopePlot()->plot()->axisRect()->rect();
        QCOMPARE(x.center(), 640.0);
        QVERIFY(qAbs(x.size() / box.width() - y.size() / box.height()) < 1e-9);
        QCOMPARE(g->xy->lineStyle(), ui->checkBoxVectors->isChecked() ? QCPCurve::lsLine : QCPCurve::lsNone);
        QVERIFY(ui->ch1Label->text().startsWith(QStringLiteral(" X: CH1")) &&
                ui->timeLabel->text() == QStringLiteral("XY"));
        ui->xyMode->setChecked(false);
        w->interaction()->xyModeChanged();
        QVERIFY(g->xy->data()->isEmpty());
    }
    void spectrumOfAConstantIsBinZero()
    {
        ui->radioButtonRect->click();
        ui->checkBoxFFTTrace->setChecked(true);
        ui->checkBoxFFTCH1->setChecked(true);
        ui->checkBoxFFTCH2->setChecked(false);
        feed(*w, buildFrame({}, [](int block, int) { return block == 0 ? -10 : 5; }));
        const QVector<double> bins = graphValues(g->fft[0]);
        QCOMPARE(bins.size(), 128);
        QCOMPARE(graphKeys(g->fft[0]).at(127), 254.0);
        // The samples are read as signed: −10 gives the same magnitude as 10.
        QVERIFY(qAbs(bins.at(0) - 0.05 * 256 * 10 * std::sqrt(2.0)) < 1e-6);
        QVERIFY(g->fft[1]->data()->isEmpty());
        // IQ draws one spectrum, −fs/2 .. +fs/2 with 0 Hz marked at the centre,
        // on the first graph and greys out the channel choice.
        ui->checkBoxIQFFT->click();
        QVERIFY(!ui->groupBoxPlot->isEnabled());
        w->display()->scopeDataShow();
        QCOMPARE(g->fft[0]->data()->size(), 256);
        QVERIFY(w->findChild<QCPItemStraightLine *>(QStringLiteral("iqCentreMark"))->visible());
        // Unchecked, the spectrum disappears on the next drawn tick.
        ui->checkBoxFFTTrace->click();
        w->display()->scopeDataShow();
        QVERIFY(g->fft[0]->data()->isEmpty());
    }
    void exportWritesWhatIsShown()
    {
        // CH1 at 0.8 V/div: the loaded 704 is one division above zero, the frame's code 32
        // 0.625 V, the played-back 608 half a division below.
        ui->checkBoxCHDTrace->setChecked(true);
        FrameShape shape{allChannels, 768, 4};
        shape.meters[0].gainIndex = 3;
        QVector<QVector<double>> loaded(10, QVector<double>(768, 640.0)), played = loaded;
        for (int v = 0; v < 10; ++v)
            loaded[v].fill(v ? 100.0 + v : 704.0);
        played[0].fill(608.0);
        const struct { const char *header; double ch1, plotted; } shown[] = {
            {"# loaded file w.vsp, time base 2ms/div", 0.8, 704},
            {"# live frame 4, time base 2ms/div", 0.625, plotY(32)},
            {"# playback block 1 of r.vsp, time base 1ms/div", -0.4, 608}};
        QTemporaryDir dir;
        for (int k = 0; k < 3; ++k) {
            if (k == 0)
                w->display()->showLoadedWave(loaded, QStringLiteral("w.vsp"));
            if (k == 1)
                w->display()->clearLoadedWave();
            if (k == 2)
                w->display()->playback().start([&](int &index, QVector<QVector<double>> &frame) {
                    return index = 7, frame = played, true;
                }, 8, QStringLiteral("r.vsp"));
            feed(*w, buildFrame(shape, [](int block, int) { return block == 0 ? 32 : 0; }));
            QCOMPARE(graphValues(g->ch1).at(99), shown[k].plotted);
            if (k == 0) { // the loaded wave stands in for every trace, the logic baselines hidden
                QCOMPARE(graphValues(g->ch2).first(), 101.0);
                QCOMPARE(graphValues(g->logic[7]).first(), 109.0);
                QVERIFY(g->logicBase[7]->data()->isEmpty());
            }
            QFile file(dir.filePath(QString::number(k)));
            QVERIFY(w->exporter()->exportTo(file.fileName(), ExportControls::Format::Csv) &&
                    file.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
            QCOMPARE(lines.at(0), QString::fromLatin1(shown[k].header));
            QCOMPARE(lines.size(), 768 + 3);
            const QString row = lines.at(2 + 99);
            QVERIFY2(qAbs(row.section(QLatin1Char(','), 1, 1).toDouble() - shown[k].ch1) < 1e-6,
                     qPrintable(row));
        }
    }
    // A reading is cut off only where the samples reach the converter's limits, +127 and -128.
    void measurementsAreClippedAtTheConvertersLimits()
    {
        auto *panel = w->findChild<MeasurementPanel *>();
        for (Measure::Kind kind : {Measure::Vmax, Measure::Vmin})
            panel->addMeasurement({QStringLiteral("CH1"), kind});
        const struct {
            int top, bottom;
            bool topCut, bottomCut;
        } rows[] = {{126, -127, false, false}, {127, -100, true, false}, {100, -128, false, true}};
        FrameShape shape{bothChannels, 768};
        for (const auto &row : rows) {
            ++shape.frameNumber; // a frame seen again is not measured again
            feed(*w, buildFrame(shape, [&row](int block, int i) {
                     return block == 0 ? (i % 50 < 25 ? row.top : row.bottom) : 0;
                 }));
            QCOMPARE(panel->rows()[0].current.why == Measure::Why::Clipped, row.topCut);
            QCOMPARE(panel->rows()[1].current.why == Measure::Why::Clipped, row.bottomCut);
        }
        panel->removeMeasurement(1);
        panel->removeMeasurement(0);
    }
    // Automatic horizontal cursors sit on the top and bottom of the trace drawn, here a loaded
    // wave's (a step down on each channel) over a flat frame.
    void automaticCursorsReadTheWaveShown()
    {
        ui->checkBoxScopeCursorsHorizontal->setChecked(true);
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(Cursors::Automatic);
        QVector<QVector<double>> loaded(10, QVector<double>(768, 640.0));
        for (int i = 0; i < 768; ++i) {
            loaded[0][i] = i < 384 ? 700.0 : 600.0;
            loaded[1][i] = i < 384 ? 420.0 : 380.0;
        }
        w->display()->showLoadedWave(loaded, QStringLiteral("w.vsp"));
        for (const int channel : {0, 1}) {
            ui->comboBoxScopeCursorsChannel->setCurrentIndex(channel);
            feed(*w, buildFrame(FrameShape{bothChannels, 768}, [](int, int) { return 0; }));
            const QVector<double> drawn = graphValues(channel == 0 ? g->ch1 : g->ch2);
            const auto range = std::minmax_element(drawn.cbegin(), drawn.cend());
            QVERIFY(*range.second - *range.first > 10.0);
            QCOMPARE(w->cursors()->horizontal().absoluteA, int(*range.second));
            QCOMPARE(w->cursors()->horizontal().absoluteB, int(*range.first));
        }
        w->display()->clearLoadedWave();
    }
    // Ticks between two paints process every frame at once and draw the
    // newest once: at the paint, or sooner when the plot is taken as a
    // picture. A played-back wave is drawn at once: it moves on a block a drawing.
    void framesAreProcessedAtOnceAndDrawnAtThePaint()
    {
        ScopeDisplay *display = w->display();
        QTemporaryDir dir;
        quint64 drawnBefore = 0;
        const struct {
            const char *way;
            std::function<void()> bringOut;
        } ways[] = {
            {"paint", [&] { QTRY_VERIFY(display->counts().drawnTicks > drawnBefore); }},
            {"screenshot", [&] { QVERIFY(!w->record()->screenShotPng().isEmpty()); }},
            {"export", [&] { QVERIFY(w->exporter()->exportTo(dir.filePath(QStringLiteral("p.png")),
                                                             ExportControls::Format::Png)); }},
        };
        uint16_t number = 0;
        for (const auto &way : ways) {
            const ScopeDisplay::Counts before = display->counts();
            drawnBefore = before.drawnTicks;
            int newest = 0;
            for (int k = 0; k < 3; ++k) {
                newest = 10 * k + 5 * int(number % 2) + 1;
                const QByteArray frame = buildFrame({bothChannels, 768, ++number}, [newest](int, int) { return newest; });
                w->session()->usb().deliverRead(reinterpret_cast<const uchar *>(frame.constData()), frame.size());
                QVERIFY(display->scopeDataShow(ScopeDisplay::Show::AtPaint));
            }
            QVERIFY2(display->counts().framesShown == before.framesShown + 3, way.way);
            QVERIFY2(display->counts().drawnTicks == before.drawnTicks, way.way);
            QVERIFY2(graphValues(g->ch1).value(0) != plotY(newest), way.way);
            way.bringOut();
            QVERIFY2(graphValues(g->ch1).value(0) == plotY(newest), way.way);
            QVERIFY2(display->counts().drawnTicks == before.drawnTicks + 1, way.way);
        }
        QVector<QVector<double>> played(10, QVector<double>(768, 608.0));
        display->playback().start([&](int &index, QVector<QVector<double>> &frame) {
            return index = 8, frame = played, true;
        }, 8, QStringLiteral("r.vsp"));
        const QByteArray frame = buildFrame({bothChannels, 768, ++number}, [](int, int) { return 0; });
        w->session()->usb().deliverRead(reinterpret_cast<const uchar *>(frame.constData()), frame.size());
        display->scopeDataShow(ScopeDisplay::Show::AtPaint);
        QCOMPARE(graphValues(g->ch1).value(0), 608.0);
    }
    void recordingTakesEveryNewFrame()
    {
        QSignalSpy blocks(w->display(), &ScopeDisplay::frameRecorded);
        w->display()->setRecording(true);
        ui->samplingSlider->setValue(9);
        FrameShape shape{bothChannels, 256};
        ui->comboBoxADCBuffer->setCurrentIndex(0);
        MessageCapture log;
        for (uint16_t number : {0xFFFF, 0, 2, 2, 4, 5}) {
            shape.frameNumber = number;
            shape.samples = number == 4 ? 512 : 256; // of the size before a change
            feed(*w, buildFrame(shape, [](int block, int) { return block == 0 ? 0 : 64; }));
        }
        // The numbers wrap after 65535; 1 and 3 never came; frame 2 came twice and is recorded
        // and counted once; 4 was refused, not dropped.
        QCOMPARE(w->display()->counts().framesShown, quint64(4));
        QCOMPARE(w->display()->counts().framesMissed, quint64(2));
        QCOMPARE(w->display()->counts().framesRefused, quint64(1));
        QVERIFY(log.contains(
            QStringLiteral("Scope: 1 reads refused since the last report, the last of 1072 bytes "
                           "where 560 were expected")));
        QCOMPARE(blocks.size(), 4);
        QVERIFY(blocks.last().first().toString().startsWith(QStringLiteral("8<*>\nCH1,640,640,")));

        // A window held up while 40 frames came, and the link closed meanwhile:
        // the backlog is worked off a batch a tick, and every frame is recorded.
        for (uint16_t number = 6; number < 46; ++number) {
            shape.frameNumber = number;
            const QByteArray frame = buildFrame(shape, [](int, int) { return 0; });
            w->session()->usb().deliverRead(frameBytes(frame), frame.size());
        }
        w->session()->usb().reset();
        w->display()->scopeDataShow();
        QCOMPARE(blocks.size(), 4 + ScopeDisplay::framesPerTick);
        while (w->display()->scopeDataShow() && blocks.size() < 44)
            ;
        QCOMPARE(blocks.size(), 44);
        QCOMPARE(w->display()->counts().framesMissed, quint64(2));
    }
    void framesOfAnyShapeNeitherCrashNorCorruptTheCache()
    {
        ui->checkBoxCHDTrace->setChecked(true);
        ui->checkBoxFFTTrace->setChecked(true);
        ui->decaySlider->setValue(8);
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(Cursors::Automatic);
        const int expected = Frames::scopeFrameLength(allChannels, 768);
        QRandomGenerator random(20261206);
        QByteArray bytes(LibUsbDevice::bufferSize, '\0');
        for (int round = 0; round < 600; ++round) {
            const QByteArray before = w->display()->frame();
            int length = int(random.bounded(LibUsbDevice::bufferSize + 1));
            if (round % 3 == 0)
                length = expected;
            for (int i = 0; i < length; ++i)
                bytes[i] = char(random.bounded(256));
            if (round % 2 == 0 && length > 0)
                bytes[0] = 'A';
            if (round % 5 == 0 && length >= 10) {
                // A header that agrees with its length, random samples and meter blocks.
                bytes[3] = char(allChannels);
                bytes[5] = char(768 & 0xFF);
                bytes[6] = char(768 >> 8);
            }
            feed(*w, bytes.left(length));
            // A header that does not agree with the length is refused by the trace builder: the cache stays.
            const bool taken = length == expected && bytes[0] == 'A' && round % 5 == 0;
            if (taken)
                QCOMPARE(w->display()->frame(), bytes.left(length));
            else
                QCOMPARE(w->display()->frame(), before);
            for (QCPGraph *graph : {g->ch1, g->ch2, g->fft[0]})
                for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
                    QVERIFY(std::isfinite(it->value));
        }
    }
    void slidersAtTheirLimitsDrawFiniteTraces()
    {
        ui->checkBoxCHDTrace->setChecked(true);
        ui->decaySlider->setValue(ui->decaySlider->maximum());
        ui->intensitySlider->setValue(ui->intensitySlider->maximum());
        ui->checkBoxLogY->setChecked(true);
        ui->checkBoxFFTTrace->setChecked(true);
        for (bool high : {false, true}) {
            for (QSlider *slider : {ui->ch1PositionSlider, ui->ch2PositionSlider, ui->chdPositionSlider,
                                    ui->chdSizeSlider, ui->ch1CaptureSlider, ui->chdCaptureSlider})
                slider->setValue(high ? slider->maximum() : slider->minimum());
            ui->captureButton->click();
            ui->refCH1->setChecked(true);
            ui->refLogic->setChecked(true);
            // The largest frame with every channel, and the extremes of the codes.
            w->channels()->bufferComboBoxItemChange(ui->comboBoxADCBuffer, 15);
            ui->comboBoxADCBuffer->setCurrentIndex(ui->comboBoxADCBuffer->count() - 1);
            const int n = Frames::samplesForBufferIndex(ui->comboBoxADCBuffer->currentIndex());
            feed(*w, buildFrame({allChannels, n, uint16_t(high ? 7 : 8)}, [high](int block, int i) {
                return block == 2 ? (i & 1 ? 0xFF : 0) : (high ? 127 : -128);
            }));
            QCOMPARE(n, 3840);
            QCOMPARE(w->scopeState()->samplesPerChannel, n);
            QCOMPARE(g->ch1->data()->size(), n);
            // The eight divisions in view stay in view; the scroll bar reaches the rest.
            QCOMPARE(w->scopePlot()->plot()->xAxis->range().upper, 256.0);
            QCOMPARE(ui->horizontalScrollBar->maximum(), 2 * n - 256);
            const double top = graphValues(g->ch1).first();
            QCOMPARE(top, plotY(high ? 127 : -128, ui->ch1PositionSlider->value()));
            for (const QCPGraph *graph : g->all)
                for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
                    QVERIFY(std::isfinite(it->key) && std::isfinite(it->value));
        }
    }

private:
    // The window on screen, so that the plot has its size.
    void showPlot()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->scopePlot()->plot()->replot();
    }
    // One display tick that draws the cached frame again.
    void redraw()
    {
        w->scopeState()->redrawRequested = true;
        w->display()->scopeDataShow();
    }
    VeltoInterface *w = nullptr;
    const ScopeGraphs *g = nullptr;
    Ui::VeltoInterface *ui = nullptr;
};

QTEST_MAIN(TestScopeDisplay)
#include "tst_scopedisplay.moc"
