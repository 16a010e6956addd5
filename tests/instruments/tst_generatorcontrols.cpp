// SPDX-License-Identifier: GPL-3.0-only
// The generator's dock on the virtual bench, whose CH1 is the generator's output.
#include "common/windowtest.h"
#include "device/virtual/virtualinstrument.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {
// CH1's swing in codes, and the shares of its samples above a quarter and
// three quarters of that swing.
struct Ch1 {
    double swing = 0, middle = 0, upper = 0;
};
Ch1 ch1Codes(VeltoInterface &w)
{
    const QVector<double> v = graphValues(w.scopePlot()->graphs().ch1);
    const auto [low, high] = std::minmax_element(v.begin(), v.end());
    Ch1 c{(*high - *low) / 1.5625};
    for (double y : v)
        c.middle += (y > *low + 0.25 * (*high - *low)) / double(v.size()),
            c.upper += (y > *low + 0.75 * (*high - *low)) / double(v.size());
    return c;
}
} // namespace

class TestGeneratorControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useVirtualBench(); }
    void controlsReachTheInstrument();
    void loopbackOnCh1();
};

void TestGeneratorControls::controlsReachTheInstrument()
{
    VeltoInterface w;
    Ui::VeltoInterface *ui = w.form();
    GeneratorControls *g = w.generator();
    QVERIFY(connectToBench(w));
    // The configuration block carries every generator entry as its control shows it.
    const int block[][2] = {{26, 2}, {27, 64}, {28, 192}, {29, 64}, {30, 232}, {31, 0}, {32, 128}, {33, 0}, {35, 0}};
    for (const auto &e : block)
        QCOMPARE(virtualBench().configurationEntry(e[0]), e[1]);

    TraceCapture trace;
    MessageCapture log;
    auto sent = [&](const char *prefix) { return trace.matching(QString::fromLatin1(prefix)).size(); };
    g->frequencySweep()->frequencyDigitsShowValue(15000000);
    g->frequencySweep()->frequencyDigitsValueChanged();
    QCOMPARE(sent("ctrl 0x46 48160 190 "), 1); // 150 kHz is sent as 125 kHz
    QVERIFY(log.contains(QStringLiteral("Write to USB: Send Frequency value:12500000")));
    QCOMPARE(ui->collapsiblePanelAWGFrequency->text(), QStringLiteral("150000.00Hz "));
    QCOMPARE(ui->frequencySlider->value(), 700);
    ui->toolButtonFrequencyDigit100000Up->click(); // 1 wraps to 0
    ui->toolButtonFrequencyDigit10Down->click();   // 0 wraps to 9 and borrows nothing
    QCOMPARE(g->frequencySweep()->frequencyDigitsToFrequency(), 5009000LL);
    g->setAwgFrequency(0);
    QVERIFY(sent("ctrl 0x46 48 0 ") == 1 && ui->frequencySlider->value() == 172);
    ui->frequencySlider->setValue(304);
    QCOMPARE(sent("ctrl 0x46 1100 0 "), 1);
    QCOMPARE(ui->labelFrequencyDigit10->text() + ui->labelFrequencyDigit1->text(), QStringLiteral("11"));
    QVERIFY(qAbs(ui->multimeterdisplayAWGFrequency->getValue() - virtualBench().generatorFrequency()) < 0.01);

    ui->amplitudeSlider->setValue(4); // 0.03 V, which would read back as code 3
    ui->doubleSpinBoxAmp->setValue(1.0);
    ui->doubleSpinBoxDuty->setValue(0.0);
    QVERIFY(sent("ctrl 0x41 30 ") == 2 && sent("ctrl 0x41 30 4 ") == 1 && sent("ctrl 0x41 30 116 ") == 1);
    QCOMPARE(ui->doubleSpinBoxAmp->value(), 1.0);
    QVERIFY(ui->dutyCycleSlider->value() == 1 && ui->doubleSpinBoxDuty->value() == 0.4); // snapped to its code
    g->setAwgLevelsOffset(-1.0);
    QCOMPARE(sent("ctrl 0x41 33 192 "), 1);

    for (QRadioButton *b : ui->frameAWGWaveform->findChildren<QRadioButton *>())
        b->setAutoExclusive(false), b->setChecked(false);
    g->sendWaveType();
    QVERIFY(virtualBench().configurationEntry(31) == 0 && ui->collapsiblePanelAWGWaveform->text() == " ");
    ui->spinBoxConstant->setValue(1.0); // volts, as the instrument's code 14848
    g->clickRadioButtonConstant();
    QCOMPARE(sent("ctrl 0x41 35 14848 "), 2);
    ui->spinBoxConstant->selectAll();
    QTest::keyClicks(ui->spinBoxConstant, QStringLiteral("abc-5e9"));
    QTest::keyClick(ui->spinBoxConstant, Qt::Key_Return);
    QVERIFY(ui->spinBoxConstant->value() == 1.0 && sent("ctrl 0x41 35 ") == 2); // refused, not read as -59

    g->setAwgSweepEnd(192);
    g->setAwgSweepStart(300);
    QVERIFY(ui->sweepStartFreqSlider->value() == 192 && virtualBench().configurationEntry(27) == 192);
    g->setAwgSweepEnabled(true);
    g->clickRadioButtonSweepDutyCycle();
    g->clickRadioButtonSweepDirectionPingPong();
    g->setAwgSweepStart(0);
    QCOMPARE(ui->startFreqText->text() + ui->labelUnitStart->text(), QStringLiteral("1.0%"));
    QCOMPARE(virtualBench().configurationEntry(26), 32 | 2);
    g->clickRadioButtonSweepFrequency();
    QCOMPARE(ui->endFreqText->text() + ui->labelUnitEnd->text(), QStringLiteral("5.8kHz"));
    g->setAwgSweepSpeed(200);
    QCOMPARE(ui->sweepSpeedText->text(), QStringLiteral("50 ms per sweep")); // (128 - 127) × 50 ms
    QCOMPARE(virtualBench().configurationEntry(29), 127);
    // A swept amplitude or offset keeps to the Levels range: the ends move in, read in the instrument's volts.
    g->setAwgSweepEnd(255);
    g->clickRadioButtonSweepAmplitude();
    QVERIFY(virtualBench().configurationEntry(28) == 223 && ui->endFreqText->text() + ui->labelUnitEnd->text() == "2.00V");
    g->clickRadioButtonSweepOffset();
    QVERIFY(virtualBench().configurationEntry(27) == 17 && ui->startFreqText->text() == "-1.98");

    // Calibration: a step waits for its OK; the OK closes it.
    ui->groupBoxCalibration->setChecked(true);
    ui->toolButtonDACGainMinus->click();
    QTRY_VERIFY(ui->toolButtonDACGainOK->isEnabled());
    ui->toolButtonDACGainOK->click();
    QTRY_VERIFY(!ui->toolButtonDACGainOK->isEnabled());
    ui->pushButtonCalibrateADCOffset->click();
    QVERIFY(virtualBench().adcOffsetCalibrated());
    QVERIFY(sent("ctrl 0x43 1 65535 0 0") == 1 && sent("ctrl 0x43 1 0 0 0") == 1);
    ui->pushButtonCalibrateADCOffsetClear->click(); // back to the offset the instrument had
    QVERIFY(!virtualBench().adcOffsetCalibrated());
    virtualBench().setAttached(false);
    ui->toolButtonDACOffsetPlus->click();
    QVERIFY(!ui->toolButtonDACOffsetOK->isEnabled());
}

void TestGeneratorControls::loopbackOnCh1()
{
    VeltoInterface w;
    Ui::VeltoInterface *ui = w.form();
    GeneratorControls *g = w.generator();
    QVERIFY(connectToBench(w, 20));
    ui->ch1GainSlider->setValue(3); // 0.8 V/div: 51.2 codes per volt
    ui->samplingSlider->setValue(7);
    g->setAwgLevelsAmplitude(1.0); // the generator is on at a first start, at its largest amplitude
    g->clickRadioButtonSine();
    QVERIFY(waitDrawnFrames(w, 5));
    // 1000 Hz is 72 MHz / (256 × 281) on the instrument's timer.
    QCOMPARE(ui->multimeterdisplayAWGFrequency->getValue(), double(float(100089 / 100.0)));
    QVERIFY2(qAbs(ch1Codes(w).swing / 51.2 - 2.0) < 0.06, qPrintable(QString::number(ch1Codes(w).swing)));
    ui->comboBoxDACBuffer->setCurrentIndex(1); // 512 steps: 72 MHz / (512 × 141)
    QTRY_COMPARE(ui->multimeterdisplayAWGFrequency->getValue(), double(float(99734 / 100.0)));

    g->clickRadioButtonSquare();
    g->setAwgLevelsDutyCycle(25.0);
    QVERIFY(waitDrawnFrames(w, 5));
    QVERIFY2(qAbs(ch1Codes(w).upper - 0.25) < 0.02, qPrintable(QString::number(ch1Codes(w).upper)));

    // A custom waveform: a quarter at the top, a quarter in the middle, the rest at the bottom.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("steps.csv"));
    QByteArray steps;
    for (int k = 0; k < 512; ++k)
        steps += QByteArray::number(k < 128 ? 4095 : k < 256 ? 2048 : 0) + (k % 16 == 15 ? ",\n" : ",");
    QVERIFY(writeFile(path, steps));
    QVERIFY(!ui->saveAWGButton->isEnabled());
    QCOMPARE(g->loadCustomWaveform(dir.filePath(QStringLiteral("missing.csv"))), -1);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("bad.csv")), "10,20\n-3\n"));
    QCOMPARE(g->loadCustomWaveform(dir.filePath(QStringLiteral("bad.csv"))), 0);
    g->clickRadioButtonCustom(); // nothing loaded yet: Custom cannot be chosen
    QVERIFY(ui->labelCustomWaveform->text().contains(QStringLiteral("line 2")) && !ui->radioButtonCustom->isChecked());
    QCOMPARE(g->loadCustomWaveform(path), 512);
    QCOMPARE(g->loadCustomWaveform(dir.path()), -1); // a folder changes nothing
    // A session start between loading and storing leaves the waveform whole.
    ui->connectButton->click();
    ui->connectButton->click();
    QTRY_COMPARE(ui->connectButton->text(), QStringLiteral("Disconnect"));
    QVERIFY(ui->saveAWGButton->isEnabled());
    TraceCapture trace;
    ui->saveAWGButton->click();
    QStringList upload;
    for (const QString &line : trace.lines().filter(QRegularExpression(" (bulkout|ctrl 0x4(1 (10|31)|5)) ")))
        upload << traceBody(line).section(QLatin1Char(' '), 0, 3);
    // Entry 10's upload bit (16) is set around the two halves; its other bits (the meter's) stay.
    const int others = virtualBench().configurationEntry(10) & ~16;
    QCOMPARE(upload, QStringList({QStringLiteral("ctrl 0x41 10 %1").arg(others | 16), "bulkout 0x01 512 0",
                                  "ctrl 0x45 0 0", "bulkout 0x01 512 0", "ctrl 0x45 1 0",
                                  QStringLiteral("ctrl 0x41 10 %1").arg(others), "ctrl 0x41 31 4"}));
    QVERIFY(virtualBench().customWaveformWord(100) == 4095 && virtualBench().customWaveformWord(200) == 2048);
    QVERIFY(ui->radioButtonCustom->isChecked());
    QVERIFY(waitDrawnFrames(w, 5));
    const Ch1 custom = ch1Codes(w);
    QVERIFY2(qAbs(custom.upper - 0.25) < 0.03 && qAbs(custom.middle - 0.5) < 0.03,
             qPrintable(QStringLiteral("%1 %2").arg(custom.upper).arg(custom.middle)));
}

QTEST_MAIN(TestGeneratorControls)
#include "tst_generatorcontrols.moc"
