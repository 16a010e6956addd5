// SPDX-License-Identifier: GPL-3.0-only
// The scope end to end on the virtual bench: the generator loops back into
// CH1, and what the window draws and measures is what the bench produced.
#include "common/windowtest.h"
#include "core/scope/scaletables.h"
#include "scope/autosetcontrols.h"
#include "scope/measurementpanel.h"
#include "scope/scopedisplay.h"
#include "widgets/multimeterdisplay.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTableWidget>
#include <QSettings>
#include <QWheelEvent>
#include <QApplication>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

namespace
{
struct Spread {
    double minimum, maximum, mean;
    int count;
};

Spread spreadOf(const QCPGraph *graph)
{
    const QVector<double> v = graphValues(graph);
    if (v.isEmpty())
        return {0, 0, 0, 0};
    const auto range = std::minmax_element(v.begin(), v.end());
    return {*range.first, *range.second, std::accumulate(v.begin(), v.end(), 0.0) / v.size(), v.size()};
}
} // namespace

class TestScopeLive : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useVirtualBench(); }
    void generatorLoopbackIsDrawnAndMeasured()
    {
        VeltoInterface w;
        QVERIFY(connectToBench(w, 20));
        QTRY_VERIFY_WITH_TIMEOUT(virtualBench().scopeRunning(), 3000);

        // The generator's 1 kHz sine (1 V peak) into CH1 at 0.8 V/div, 1 ms/div; the
        // sliders' writes are checked in the channel controls suite.
        w.generator()->setAwgLevelsAmplitude(1.0); // the generator is on at a first start
        w.form()->radioButtonSine->click();
        w.form()->ch1GainSlider->setValue(3);
        w.form()->samplingSlider->setValue(7);
        w.form()->comboBoxScopeCursorsHorizontalType->setCurrentIndex(1);
        QVERIFY(w.form()->checkBoxCursorVertical->isChecked());
        QVERIFY(waitDrawnFrames(w, 5));

        // The bench makes 72 MHz / (256 × round(72 MHz / (256 × 1 kHz))) = 1000.89 Hz.
        const double produced = 72.0e6 / (256.0 * 281.0);
        QVERIFY(qAbs(w.generator()->frequencySweep()->effectiveFrequency() - produced) < 0.01);
        // At 16 kS/s a period is about 16 samples; the mean over the buffer's
        // 47 periods is known to a hundredth of a sample.
        const double measured = w.form()->multimeterdisplayFreqCh1->getValue();
        QVERIFY2(qAbs(measured - produced) < 0.01 * produced,
                 qPrintable(QStringLiteral("measured %1 Hz, produced %2 Hz").arg(measured).arg(produced)));
        // The automatic cursors span one period on the plot: 16 samples, 32 units.
        const VerticalCursors &v = w.cursors()->vertical();
        QVERIFY2(qAbs(qAbs(v.positionB - v.positionA) - 32) <= 2,
                 qPrintable(QStringLiteral("%1 .. %2").arg(v.positionA).arg(v.positionB)));
        QVERIFY(w.scopePlot()->items().labelDeltaTime->text().startsWith(QStringLiteral("ΔT =  ")));

        const Spread atGain3 = spreadOf(w.scopePlot()->graphs().ch1);
        QCOMPARE(atGain3.count, 768); // its swing is checked against the volts in the generator suite

        // Twice the gain draws twice the swing.
        w.form()->ch1GainSlider->setValue(4);
        QVERIFY(waitDrawnFrames(w, 5));
        const Spread atGain4 = spreadOf(w.scopePlot()->graphs().ch1);
        const double ratio = (atGain4.maximum - atGain4.minimum) / (atGain3.maximum - atGain3.minimum);
        QVERIFY2(ratio > 1.9 && ratio < 2.1, qPrintable(QString::number(ratio)));

        TraceCapture trace;
        // A larger buffer: the instrument is told, and the frames grow.
        w.form()->comboBoxADCBuffer->setCurrentIndex(4);
        QTRY_COMPARE_WITH_TIMEOUT(w.scopeState()->samplesPerChannel, 1280, 3000);
        QVERIFY(waitDrawnFrames(w, 2));
        QCOMPARE(w.scopePlot()->graphs().ch1->data()->size(), 1280);
        QCOMPARE(w.trigger()->model().maximumPosition(), 1280 - 8);

        // CH2 off: a confirmed write of its control byte, and CH2 leaves the plot.
        QVERIFY(!w.scopePlot()->graphs().ch2->data()->isEmpty());
        w.form()->checkBoxCH2Trace->click();
        const QStringList confirmed = trace.matching(QStringLiteral("ctrl 0x42 4 "));
        QCOMPARE(confirmed.size(), 1);
        // Bit 0 of the control byte is the trace.
        QCOMPARE(traceBody(confirmed.first()).split(QLatin1Char(' ')).at(3).toInt() & 1, 0);
        QVERIFY(waitDrawnFrames(w, 3));
        QVERIFY(w.scopePlot()->graphs().ch2->data()->isEmpty());
        QCOMPARE(w.scopePlot()->graphs().ch1->data()->size(), 1280);
        QVERIFY(!w.scopePlot()->items().zeroHandle[1]->visible());
    }
    void legendFollowsTheTimeBaseAndSlowFramesShowProgress()
    {
        VeltoInterface w;
        QVERIFY(connectToBench(w, 20));
        Ui::VeltoInterface *ui = w.form();
        QVERIFY(waitDrawnFrames(w, 2));
        QCOMPARE(ui->frameProgressLabel->text(), QString());
        // 50 s/div: a 2400 s frame. The legend names it at once and keeps it over
        // redraws of the frame taken before; the read-out counts the new frame.
        ui->samplingSlider->setValue(21);
        QCOMPARE(ui->timeLabel->text(), QStringLiteral("Time = 50 s/div"));
        QTRY_COMPARE(ui->frameProgressLabel->text(), QStringLiteral("Frame 0 %, 40 min to go"));
        w.scopeState()->redrawRequested = true;
        QTRY_VERIFY(!w.scopeState()->redrawRequested);
        QCOMPARE(ui->timeLabel->text(), QStringLiteral("Time = 50 s/div"));
        ui->checkBoxFFTTrace->click();
        QCOMPARE(ui->timeLabel->text(), QStringLiteral("Time = 50 s/div\nFFT = 20 mHz/div"));
        // Roll mode draws the frame as it arrives and needs no read-out; neither
        // does a stopped scope.
        ui->rollMode->click();
        QTRY_COMPARE(ui->frameProgressLabel->text(), QString());
        ui->rollMode->click();
        QTRY_VERIFY(!ui->frameProgressLabel->text().isEmpty());
        w.session()->sendScopeStop();
        QTRY_COMPARE(ui->frameProgressLabel->text(), QString());
        // A third channel does not fit beside the generator's four blocks: the
        // instrument shrinks the buffer to 14 blocks, and the time range says so.
        ui->comboBoxDACBuffer->setCurrentIndex(1);
        ui->comboBoxADCBuffer->setCurrentIndex(14);
        ui->checkBoxCHDTrace->click();
        QTRY_COMPARE(ui->comboBoxADCBuffer->currentIndex(), 13);
        QCOMPARE(ui->labelSamplingRate->text(), ScaleTables::samplingRateLabelText(21, 13));
    }
    // At rest the plot paints, and the display tick looks, at half the rate;
    // a key, a click, a wheel turn or the mouse over the window brings the
    // full rate back, until it rests.
    void plotPaintsAtFullRateWhileTheUserWorks()
    {
        VeltoInterface w;
        QVERIFY(connectToBench(w, 20));
        QVERIFY(waitDrawnFrames(w, 2));
        ScopeDisplay *display = w.display();
        display->setRestAfter(300);
        const int busy = int(std::ceil(1000.0 / ScopeDisplay::busyPaintsPerSecond));
        const int resting = int(std::ceil(1000.0 / ScopeDisplay::restingPaintsPerSecond));
        QWidget *plot = w.scopePlot()->plot();
        const QPoint at(plot->width() / 2, plot->height() / 2);
        const struct {
            const char *input;
            std::function<void()> send;
        } inputs[] = {
            {"key", [&] { QTest::keyClick(plot, Qt::Key_Shift); }},
            {"click", [&] { QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, at); }},
            {"wheel", [&] {
                 QWheelEvent wheel(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                                   Qt::NoScrollPhase, false);
                 QApplication::sendEvent(plot, &wheel);
             }},
            {"mouse", [&] {
                 QMouseEvent move(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
                 QApplication::sendEvent(plot, &move);
             }},
        };
        for (const auto &input : inputs) {
            QTRY_COMPARE(display->paintInterval(), resting);
            QTRY_COMPARE(w.displayTimer().interval(), 20); // and the tick looks half as often
            const quint64 shown = display->counts().framesShown;
            input.send();
            QVERIFY2(display->paintInterval() == busy, input.input);
            QTRY_COMPARE(w.displayTimer().interval(), 10);
            QVERIFY2(waitDrawnFrames(w, 2), input.input);
            QVERIFY(display->counts().framesShown > shown);
        }
    }
    // Nothing stored: the first frames autoset the 4 Vpp sine and the 2 V square
    // to 0.8 V/div, Auto mode. Undo brings back 8 V/div, where both still read
    // their frequency; a clipped channel is marked, and a flat one says why it has none.
    void firstStartAutosetsAndReadOutsSayWhatTheyCannotRead()
    {
        QSettings().clear();
        VeltoInterface w;
        Ui::VeltoInterface *ui = w.form();
        QVERIFY(connectToBench(w, 20));
        QTRY_VERIFY_WITH_TIMEOUT(w.autosetter()->undoButton()->isEnabled() && !w.autosetter()->running(),
                                 8000);
        QCOMPARE(QVector<int>(
                     {ui->ch1GainSlider->value(), ui->ch2GainSlider->value(), ui->samplingSlider->value()}),
                 QVector<int>({3, 3, 6}));
        QVERIFY(ui->radioButtonAuto->isChecked() && ui->comboBoxTrigSource->currentIndex() <= 1);
        // The panel reads CH2's probe square: 1 kHz, 50 % duty, edges within a sample.
        auto *panel = w.findChild<MeasurementPanel *>();
        for (Measure::Kind k : {Measure::Frequency, Measure::Duty, Measure::RiseTime})
            panel->addMeasurement({QStringLiteral("CH2"), k});
        QCOMPARE(QSettings().value("measurements").toString(), QStringLiteral("CH2:Frequency,CH2:Duty,CH2:RiseTime"));
        QTRY_VERIFY(panel->rows()[0].statistics.count >= 20);
        const QVector<MeasurementPanel::Row> rows = panel->rows();
        const double samplePeriod = ScaleTables::secondsPerDivision(6) / 16;
        QVERIFY2(qAbs(rows[0].statistics.mean - 1000.0) < 0.5 && qAbs(rows[1].statistics.mean - 50.0) < 0.5 &&
                     rows[2].statistics.maximum < samplePeriod &&
                     rows[2].statistics.count == rows[0].statistics.count,
                 qPrintable(panel->tableText()));
        panel->refreshTable();
        QVERIFY2(panel->tableText().contains(QStringLiteral("CH2 Frequency\t1.000 kHz\t")),
                 qPrintable(panel->tableText()));
        // The selected row marks one period on the plot; a gain change starts the statistics again.
        panel->widget()->findChild<QTableWidget *>()->selectRow(0);
        QVector<double> keys;
        for (int i = 0; i < w.scopePlot()->plot()->itemCount(); ++i)
            if (auto *line = qobject_cast<QCPItemStraightLine *>(w.scopePlot()->plot()->item(i)))
                if (line->visible() && line->point1->coords().x() == line->point2->coords().x() &&
                    line->pen().style() == Qt::DashDotLine)
                    keys << line->point1->coords().x();
        QVERIFY(keys.size() == 2 && qAbs(qAbs(keys[1] - keys[0]) - 2e-3 / samplePeriod) < 0.1);
        // The markers follow the table's refreshes at the display's paints, with no replot of their own.
        int replots = 0;
        const QMetaObject::Connection counting =
            connect(w.scopePlot()->plot(), &QCustomPlot::afterReplot, [&replots] { ++replots; });
        const quint64 paints = w.display()->counts().replots;
        QTest::qWait(3 * ScopeDisplay::readOutInterval + 50);
        disconnect(counting);
        QVERIFY(replots > 0);
        QCOMPARE(quint64(replots), w.display()->counts().replots - paints);
        // Gated to 20 samples of the 32 of a period: no whole period between the cursors.
        ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(Cursors::Manual);
        w.cursors()->vCursorSetPosition(100, 140);
        auto *gate = panel->widget()->findChild<QCheckBox *>(QStringLiteral("measurementGate"));
        gate->setChecked(true);
        QTRY_VERIFY(panel->rows()[0].current.why == Measure::Why::NoWholePeriod &&
                    panel->rows()[1].current.why == Measure::Why::NoWholePeriod);
        gate->setChecked(false);
        QTRY_VERIFY(panel->rows()[0].statistics.count >= 5);
        const quint64 before = panel->rows()[0].statistics.count;
        ui->ch2GainSlider->setValue(2);
        QTRY_VERIFY(panel->rows()[0].statistics.count < before);
        w.autosetter()->undoButton()->click();
        QVERIFY(ui->radioButtonFree->isChecked() && ui->ch1GainSlider->value() == 0);
        QVERIFY(waitDrawnFrames(w, 8));
        QTRY_VERIFY(qAbs(ui->multimeterdisplayFreqCh1->getValue() - 1000.89) < 1.0);
        QTRY_VERIFY(qAbs(ui->multimeterdisplayFreqCh2->getValue() - 1000.0) < 1.0);
        ui->ch1GainSlider->setValue(9);
        QTRY_VERIFY(ui->multimeterdisplayVppCh1->shownText().startsWith(QLatin1Char('>')));
        QVERIFY(ui->ch1Label->text().contains(QLatin1String("CLIP")));
        ui->ch1GainSlider->setValue(0);
        w.generator()->setAwgLevelsAmplitude(0.05);
        QTRY_COMPARE(ui->multimeterdisplayFreqCh1->shownText(), QString(QChar(0x2014)));
        QVERIFY(ui->multimeterdisplayFreqCh1->toolTip().contains(QLatin1String("smaller V/div")));
    }
};

QTEST_MAIN(TestScopeLive)
#include "tst_scopelive.moc"
