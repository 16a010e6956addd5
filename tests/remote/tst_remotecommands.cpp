// SPDX-License-Identifier: GPL-3.0-only
// The instrument's remote commands run on the real window on the virtual
// bench: what each answers, the errors it queues and the control that follows.
#include "common/windowtest.h"
#include "remote/generatorcommands.h"
#include "remote/metercommands.h"
#include "remote/scopecommands.h"
#include "remote/statisticscommands.h"
#include "scope/autosetcontrols.h"

#include <QtTest>

using namespace Scpi;

namespace
{
// Runs a message to its end, waiting (as a server would) for the operations it waits for.
QByteArray ask(Session &s, const QByteArray &message)
{
    bool ready = false;
    s.setReadyHandler([&ready] { ready = true; });
    for (bool done = s.execute(message); !done; done = s.resume()) {
        if (!QTest::qWaitFor([&ready] { return ready; }, 15000))
            return "<no end>";
        ready = false;
    }
    return s.takeResponse();
}

QByteArray errorsOf(Session &s)
{
    QByteArray codes;
    while (s.errorCount() > 0)
        codes += s.popError().split(',').first() + ' ';
    return codes.trimmed();
}

// "objectName.property=value;...": what the window must show.
void checkWidgets(VeltoInterface &w, const QString &expected)
{
    for (const QString &item : expected.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString target = item.section(QLatin1Char('='), 0, 0);
        QObject *o = w.findChild<QObject *>(target.section(QLatin1Char('.'), 0, 0));
        QVERIFY2(o, qPrintable(target));
        QCOMPARE(o->property(qPrintable(target.section(QLatin1Char('.'), 1))).toString(),
                 item.section(QLatin1Char('='), 1));
    }
}

double number(const QByteArray &answer) { return answer.trimmed().toDouble(); }
} // namespace

class TestRemoteCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useVirtualBench(); }
    void commands();
};

void TestRemoteCommands::commands()
{
    VeltoInterface w;
    QVERIFY(connectToBench(w, 1000)); // the scope starts a second after the instrument is configured
    std::vector<Row> rows = commonCommands({});
    for (const auto &more :
         {scopeCommands(*w.form(), *w.session(), *w.trigger(), *w.display(), *w.autosetter(), *w.record()),
          generatorCommands(*w.form(), *w.generator()), meterCommands(*w.form(), *w.session(), *w.meter()),
          statisticsCommands(*w.measurements())})
        rows.insert(rows.end(), more.begin(), more.end());
    const CommandTable table(rows);
    Session s(table);
    // A stop sent before that start waits for it, not to be undone by it.
    ask(s, ":STOP");
    QVERIFY(!w.session()->scopeStartPending() && !w.trigger()->isRunning());

    // Message; response; errors queued; the controls that follow.
    const char *settings[][4] = {
        // 580 mV lies nearer 800 mV than 400 mV as scales are read (by ratio).
        {"CHAN2:SCAL 580mV;SCAL?;:CHAN1:SCAL 1;OFFS -0.5;OFFS?", "8.000000E-01;-5.000000E-01", "",
         "ch2GainSlider.value=3;ch1GainSlider.value=3;ch1PositionSlider.value=40"},
        {"CHAN1:SCAL 9;SCAL 10mV;SCAL?;:CHAN3:SCAL 1;:CHAN1:OFFS 30", "8.000000E-01", "-222 -222 -114 -222",
         "ch1GainSlider.value=3"},
        {"TIM:SCAL 1.2ms;:TIM:MAIN:SCAL?;:TIM:SCAL 1e3", "1.000000E-03", "-222", "samplingSlider.value=7"},
        {"CHAN1:COUP AC;COUP?;:CHAN2:INV ON;INV?;DISP?;PROB 10", "AC;1;1", "-222",
         "checkBoxCH1ACDC.checked=true;checkBoxCH2Invert.checked=true"},
        {"CHAN1:COUP DC;:CHAN2:INV 0", "", "",
         "checkBoxCH1ACDC.checked=false;checkBoxCH2Invert.checked=false"},
        {"TRIG:SOUR DIG3;SOUR?;:TRIG:EDGE:SLOP NEG;SLOP?;:TRIG:LEV?;:TRIG:SOUR DIG8", "DIG3;NEG;",
         "-221 -224", "comboBoxTrigSource.currentIndex=5;radioButtonFallingEdge.checked=true"},
        {"TRIG:SOUR CHAN2;SLOP POS;LEV 0.8;LEV?;:TRIG:SWE NORM;SWE?;:TRIG:SWE AUTO", "8.000000E-01;NORM", "",
         "doubleSpinBoxTrigLevel.value=0.8;radioButtonAuto.checked=true;radioButtonRisingEdge.checked=true"},
        {"FREQ 2.5kHz;FREQ?;:VOLT 1.5;VOLT?;:VOLT 5;:OUTP ON;OUTP?", "2.488940E+03;1.500000E+00;1", "-222",
         "doubleSpinBoxAmp.value=0.75;checkBoxAWGEnable.checked=true"},
        {"FUNC PULS;FUNC USER;:DATA:ARB 'x',#13abc;:FUNC SQU;FUNC?", "SQU", "-224 -221 -224",
         "radioButtonSquare.checked=true"},
        {"DATA:ARB 'ramp',#217# volts\n-1\n0\n1.5\n;:FUNC USER;FUNC?", "USER", "",
         "radioButtonCustom.checked=true"},
        {"FREQ:STAR 100;STOP 10kHz;:SWE:TIME 1;STAT ON;:FREQ:STAR?;STOP?;:SWE:TIME?;STAT?;"
         ":SWE:STAT OFF;:FUNC SIN",
         "1.000000E+02;1.000000E+04;1.000000E+00;1", "",
         "sweepStartFreqSlider.value=102;sweepEndFreqSlider.value=204;sweepSpeedSlider.value=108;"
         "radioButtonSweepFrequency.checked=true"},
        {"WAV:SOUR POD2;SOUR CHAN3;FORM WORD;FORM?;UNS 0;BYT LSBF;BYT?;:WAV:FORM BYTE;UNS ON;BYT MSBF;SOUR?",
         "WORD;LSBF;CHAN1", "-224 -224", ""},
        {"TRIG:SWE FREE;:TRIG:FORC;:TRIG:SWE AUTO;:STOP;:MEAS:VPP? CHAN3;:MEAS:STAT:MEAN?;"
         ":MEAS:STAT:MIN? PER,CHAN3;:MEAS:STAT:MAX? BOGUS", ";;;",
         "-221 -224 -109 -224 -224", "stopButton.text=START"},
        {"RUN", "", "", "stopButton.text=STOP"},
    };
    for (const auto &[message, response, errors, widgets] : settings) {
        QCOMPARE(ask(s, message),
                 QByteArray(message).contains('?') ? QByteArray(response) + '\n' : QByteArray());
        QCOMPARE(errorsOf(s), QByteArray(errors));
        checkWidgets(w, QString::fromLatin1(widgets));
    }

    // Readings: the probe's 1 kHz square of 0 to 2 V on CH2, CH1 the generator's 2.5 kHz sine of 1.5 Vpp,
    // the logic's bit 1 at 500 Hz; a flat CH1 has no frequency.
    const struct {
        const char *message;
        double low, high;
        const char *widgets;
    } readings[] = {
        {"TIM:SCAL 200us;:DIG;:MEAS:FREQ? CHAN2", 990, 1010, "stopButton.text=START"},
        {"MEAS:PER?", 1 / 2530.0, 1 / 2470.0, ""},
        {"MEAS:VPP? CHAN2", 1.9, 2.2, ""},
        // Statistics of a measurement the panel did not show: it is added, and counts the frames after.
        {"MEAS:STAT:RES;:MEAS:STAT:COUN? FREQ,CHAN2", 0, 0, ""},
        {"DIG;:DIG;:MEAS:STAT:COUN? FREQ,CHAN2", 2, 3, ""},
        {"MEAS:STAT:MEAN? FREQ,CHAN2", 990, 1010, ""},
        {"OUTP OFF;:DIG;:MEAS:FREQ?", 9.8e37, 1e38, ""},
        {"MEAS:VOLT:DC? CHAN2", 0.9, 1.1, "mainTabWidget.currentIndex=1;mmTabWidget.currentIndex=1"},
        {"MEAS:VOLT:AC? CHAN2", 1.3, 1.5, "mmTabWidget.currentIndex=0"},
        {"COUN:FREQ? DIG1", 499, 501, "mmTabWidget.currentIndex=2;radioFreq.checked=true;fcR1.checked=true"},
        {"MEAS:DCYC? DIG2", 49, 51, "radioPeriod.checked=true;fcR2.checked=true"},
        {"CHAN1:DISP OFF;:DIG;:MEAS:VPP? CHAN1;:CHAN1:DISP ON", 9.8e37, 1e38, "mainTabWidget.currentIndex=0"},
    };
    for (const auto &r : readings) {
        const double value = number(ask(s, r.message));
        QVERIFY2(value >= r.low && value <= r.high,
                 qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(r.message)).arg(value)));
        QCOMPARE(errorsOf(s), QByteArray());
        checkWidgets(w, QString::fromLatin1(r.widgets));
    }

    // One frame acquired after the command (not one the transport held before), then its samples: CH2 in
    // bytes and in words give the CSV export's volts through the preamble, POD1 the logic bytes.
    ask(s, "DIG CHAN2,POD1"); // the frame's shape as below, and the scope stopped: nothing comes after it
    FrameShape before{w.channels()->scopeTraceMask(), w.scopeState()->samplesPerChannel, 4242};
    const QByteArray stale = buildFrame(before, [](int, int) { return 100; });
    w.session()->usb().deliverRead(reinterpret_cast<const uchar *>(stale.constData()), stale.size());
    QByteArray answer = ask(s, ":OUTP ON;:CHAN2:SCAL 0.4;:DIG CHAN2,POD1;:WAV:SOUR CHAN2;PRE?;DATA?;"
                               "FORM WORD;PRE?;DATA?;:WAV:SOUR POD1;FORM BYTE;DATA?");
    QCOMPARE(errorsOf(s), QByteArray());
    FrameExport::Capture shown;
    QString why;
    QVERIFY(w.display()->shownCapture(&shown, &why));
    QVERIFY2(!shown.source.endsWith(QLatin1String(" 4242")), qPrintable(shown.source));
    const QStringList csv = QString::fromUtf8(FrameExport::toCsv(shown)).split(QLatin1Char('\n'));
    const int ch2Column = csv[1].split(QLatin1Char(',')).indexOf(QStringLiteral("CH2 [V]"));
    const int n = shown.samples;
    for (const int size : {1, 2}) {
        const QList<QByteArray> parts = answer.left(answer.indexOf('#')).split(';');
        const QList<QByteArray> preamble = parts.at(parts.size() - 2).split(',');
        QCOMPARE(preamble.size(), 10);
        QCOMPARE(preamble[2].toInt(), n);
        QCOMPARE(preamble[4].toDouble(), shown.samplePeriod());
        const int digits = answer.at(answer.indexOf('#') + 1) - '0';
        const QByteArray data = answer.mid(answer.indexOf('#') + 2 + digits, n * size);
        QCOMPARE(answer.mid(answer.indexOf('#') + 2, digits).toInt(), n * size);
        for (int k = 0; k < n; ++k) {
            const int code = size == 1 ? uchar(data[k]) : uchar(data[2 * k]) * 256 + uchar(data[2 * k + 1]);
            const double volts =
                (code - preamble[9].toDouble()) * preamble[7].toDouble() + preamble[8].toDouble();
            const double exported = csv[k + 2].section(QLatin1Char(','), ch2Column, ch2Column).toDouble();
            QVERIFY2(qAbs(volts - exported) < 1e-6,
                     qPrintable(QString::number(k)));
        }
        answer = answer.mid(answer.indexOf('#') + 2 + digits + n * size);
    }
    QCOMPARE(answer,
             ';' + definiteBlock(QByteArray(reinterpret_cast<const char *>(shown.logic.constData()), n)) +
                 '\n');

    // Autoset ends later: *OPC? answers once it has. The picture is a PNG block.
    QCOMPARE(ask(s, "AUT;*OPC?"), QByteArray("1\n"));
    QVERIFY(!w.autosetter()->running());
    QVERIFY(ask(s, "DISP:DATA? PNG").startsWith("#"));
    QVERIFY(ask(s, "DISP:DATA?").contains("\x89PNG"));

    // Unplugged: what needs the instrument says it is missing.
    ask(s, "CHAN1:DISP OFF");
    virtualBench().setAttached(false);
    QTRY_VERIFY_WITH_TIMEOUT(!w.session()->isOpen(), 5000);
    QCOMPARE(ask(s, "DIG CHAN1;:RUN;:MEAS:VOLT:DC?;:FREQ?"), QByteArray(";\n"));
    QCOMPARE(errorsOf(s), QByteArray("-241 -241 -241 -241"));
    checkWidgets(w, "mainTabWidget.currentIndex=0;checkBoxCH1Trace.checked=false");
}

QTEST_MAIN(TestRemoteCommands)
#include "tst_remotecommands.moc"
