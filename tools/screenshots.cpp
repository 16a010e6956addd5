// SPDX-License-Identifier: GPL-3.0-only
// Pictures of the real window on the virtual instrument, for looking at what
// a user sees: the three plot themes with cursors, trigger marker and logic
// labels; live traces with logic bits; the spectrum; the light theme with
// both references and both kinds of cursors; a slow frame half acquired;
// persistence on noise and on the generator's frequency sweep.
// Usage: velto_screenshots <folder> [scene] (scripts/themeshots.sh runs it
// under Xvfb); scene is themes, live, persistence, plot or noinstrument, all
// when left out.
#include "common/windowtest.h"
#include "instruments/generatorcontrols.h"
#include "scope/annotationrows.h"
#include "scope/annotationtable.h"
#include "scope/decoderpanel.h"
#include "scope/exportcontrols.h"
#include "ui/customtheme.h"
#include "ui/messagepresenter.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QHelpEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QDoubleSpinBox>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <functional>

namespace
{
QString folder;
int failures = 0;

void save(QWidget *widget, const QString &name)
{
    if (!widget->grab().save(folder + QLatin1Char('/') + name)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(name));
        ++failures;
    }
}

bool waitFor(const std::function<bool()> &ready)
{
    if (QTest::qWaitFor(ready, 5000))
        return true;
    std::fprintf(stderr, "screenshots: the window did not get there in 5 s\n");
    ++failures;
    return false;
}

bool waitFrames(VeltoInterface &w, int ticks)
{
    const quint64 target = w.display()->counts().drawnTicks + quint64(ticks);
    return waitFor([&] { return w.display()->counts().drawnTicks >= target; });
}

bool open(VeltoInterface &w)
{
    w.session()->setScopeStartDelay(50);
    w.resize(1600, 1000);
    w.show();
    return QTest::qWaitForWindowExposed(&w) && connectToBench(w);
}

void themes()
{
    VeltoInterface w;
    if (!open(w))
        return;
    Ui::VeltoInterface *ui = w.form();
    ui->samplingSlider->setValue(7);
    ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(2);
    ui->checkBoxCursorVertical->click();
    ui->checkBoxScopeCursorsHorizontal->click();
    ui->checkBoxCHDTrace->click();
    w.cursors()->vCursorSetPosition(64, 192);
    waitFor([&] { return w.scopePlot()->items().logicLabels[0]->visible(); });
    // Auto shows the trigger marker and the frames go on.
    ui->radioButtonAuto->click();
    w.trigger()->model().triggerSetPosition(100, 30);
    w.trigger()->triggerMarkersPlace();
    auto shoot = [&](const QString &name) {
        w.scopeState()->redrawRequested = true;
        QTest::qWait(300);
        w.scopePlot()->plot()->replot();
        save(&w, name);
        save(w.scopePlot()->plot(), QStringLiteral("plot-") + name);
    };
    w.scopePlot()->displayThemeChanged(0);
    shoot(QStringLiteral("velto-dark.png"));
    w.scopePlot()->displayThemeChanged(1);
    shoot(QStringLiteral("velto-light.png"));
    w.scopePlot()->displayThemeChanged(2);
    CustomTheme *dialog = w.scopePlot()->customThemeDialog();
    CustomColors *colours = dialog->colors();
    colours->setColor(QStringLiteral("BACKGROUND"), QColor(24, 32, 64));
    colours->setColor(QStringLiteral("CH1"), QColor(255, 200, 0));
    colours->setColor(QStringLiteral("CH2"), QColor(0, 220, 255));
    colours->setColor(QStringLiteral("GRID"), QColor(90, 100, 140));
    colours->setColor(QStringLiteral("LABELS"), QColor(255, 255, 255));
    colours->setColor(QStringLiteral("BIT 3"), QColor(0, 255, 0));
    for (QPushButton *button : dialog->findChildren<QPushButton *>())
        if (button->text() == QLatin1String("Apply"))
            button->click();
    shoot(QStringLiteral("velto-custom.png"));
}

void live()
{
    VeltoInterface w;
    if (!open(w))
        return;
    Ui::VeltoInterface *ui = w.form();
    // The generator is on at the first start; a click would turn it off.
    if (!ui->checkBoxAWGEnable->isChecked())
        ui->checkBoxAWGEnable->click();
    ui->radioButtonSine->click();
    ui->ch1GainSlider->setValue(3);
    ui->ch2GainSlider->setValue(3);
    ui->samplingSlider->setValue(7);
    ui->checkBoxCHDTrace->click();
    ui->chdSizeSlider->setValue(12);
    ui->chdPositionSlider->setValue(200);
    ui->ch2PositionSlider->setValue(-320);
    ui->comboBoxScopeCursorsHorizontalType->setCurrentIndex(1);
    ui->checkBoxCursorVertical->click();
    if (waitFrames(w, 10))
        save(&w, QStringLiteral("velto-live.png"));

    ui->checkBoxFFTTrace->click();
    ui->checkBoxFFTCH2->click();
    ui->radioButtonHann->click();
    ui->tabWidget1->setCurrentWidget(ui->fftTab);
    if (waitFrames(w, 10))
        save(&w, QStringLiteral("velto-fft.png"));

    // The light theme with both references, moved apart from their traces.
    ui->checkBoxFFTTrace->click();
    w.scopePlot()->displayThemeChanged(1);
    ui->tabWidget1->setCurrentWidget(ui->refTab);
    ui->captureButton->click();
    waitFrames(w, 2);
    ui->refCH1->setChecked(true);
    ui->refCH2->setChecked(true);
    ui->ch1CaptureSlider->setValue(ui->ch1CaptureSlider->maximum());
    ui->ch2CaptureSlider->setValue(ui->ch2CaptureSlider->minimum());
    ui->checkBoxScopeCursorsHorizontal->click();
    if (waitFrames(w, 10))
        save(&w, QStringLiteral("velto-light-references.png"));

    // A slow time base in the middle of a frame: 0.2 s/div takes 9.6 s.
    ui->samplingSlider->setValue(14);
    QTest::qWait(4000);
    save(&w, QStringLiteral("velto-slow-frame.png"));
}
// Persistence as an intensity image, where a user sees where the trace goes most often.
void persistence()
{
    VeltoInterface w;
    if (!open(w))
        return;
    Ui::VeltoInterface *ui = w.form();
    // The generator is on at the first start; a click would turn it off.
    if (!ui->checkBoxAWGEnable->isChecked())
        ui->checkBoxAWGEnable->click();
    ui->radioButtonPinkNoise->click();
    ui->ch1GainSlider->setValue(3);
    ui->ch2GainSlider->setValue(3);
    ui->samplingSlider->setValue(7);
    ui->ch2PositionSlider->setValue(-320);
    ui->intensitySlider->setValue(5);
    // Triggered on CH2's square wave, which then stands still beside the noise.
    ui->comboBoxTrigSource->setCurrentIndex(1);
    ui->radioButtonAuto->click();
    ui->checkBoxPersistence->click();
    QTest::qWait(4000);
    save(&w, QStringLiteral("velto-persistence-noise.png"));

    // A sine swept from 200 Hz to 1 kHz and back, over and over.
    ui->checkBoxPersistence->click();
    ui->comboBoxTrigSource->setCurrentIndex(0);
    ui->radioButtonSine->click();
    GeneratorControls *g = w.generator();
    g->setAwgSweepEnabled(true);
    g->clickRadioButtonSweepFrequency();
    g->clickRadioButtonSweepDirectionPingPong();
    g->setAwgSweepStart(117);
    g->setAwgSweepEnd(153);
    g->setAwgSweepSpeed(100);
    waitFrames(w, 5);
    ui->checkBoxPersistence->click();
    QTest::qWait(6000);
    save(&w, QStringLiteral("velto-persistence-sweep.png"));
    save(w.scopePlot()->plot(), QStringLiteral("plot-persistence-sweep.png"));
}

// What the plot says at the bench: the trigger's badge in each state with
// the level beside its marker, the logic bits in their colours, XY, the
// exports with their scale, a small window, and no instrument.
void plotStates()
{
    VeltoInterface w;
    if (!open(w))
        return;
    Ui::VeltoInterface *ui = w.form();
    if (!ui->checkBoxAWGEnable->isChecked())
        ui->checkBoxAWGEnable->click();
    ui->radioButtonSine->click();
    ui->samplingSlider->setValue(7);
    ui->checkBoxCHDTrace->click();
    const auto shot = [&](const QString &name, int ticks = 10) {
        waitFrames(w, ticks);
        QTest::qWait(400);
        save(&w, name);
    };
    ui->radioButtonAuto->click();
    shot(QStringLiteral("badge-auto-logic.png"));
    ui->radioButtonNormal->click();
    shot(QStringLiteral("badge-triggered.png"));
    // A level above the signal: nothing triggers, the scope waits.
    w.trigger()->levelBox()->setValue(w.trigger()->levelBox()->maximum());
    QTest::qWait(2500);
    save(&w, QStringLiteral("badge-armed.png"));
    ui->radioButtonSingle->click();
    ui->forceButton->click();
    waitFor([&] { return ui->stopButton->text() == QLatin1String("START"); });
    QTest::qWait(400);
    save(&w, QStringLiteral("badge-single-stopped.png"));
    ui->radioButtonFree->click();
    w.trigger()->levelBox()->setValue(0.5);
    ui->samplingSlider->setValue(12);
    ui->rollMode->click();
    QTest::qWait(2500);
    save(&w, QStringLiteral("badge-roll.png"));
    ui->rollMode->click();
    ui->samplingSlider->setValue(7);
    ui->checkBoxCHDTrace->click();
    ui->radioButtonTriangle->click();
    ui->ch1GainSlider->setValue(3);
    ui->ch2GainSlider->setValue(3);
    ui->xyMode->click();
    shot(QStringLiteral("xy.png"));
    ui->xyMode->click();
    shot(QStringLiteral("after-xy.png"));
    w.exporter()->exportTo(folder + QStringLiteral("/export.png"), ExportControls::Format::Png);
    w.exporter()->exportTo(folder + QStringLiteral("/export.svg"), ExportControls::Format::Svg);
    ui->checkBoxCHDTrace->click();
    w.resize(1024, 640);
    shot(QStringLiteral("small-logic.png"));
}

void noInstrument()
{
    virtualBench().setAttached(false);
    {
        VeltoInterface w;
        w.resize(1600, 1000);
        w.show();
        waitFor([&] { return QTest::qWaitForWindowExposed(&w); });
        waitFor([&] { return w.scopePlot()->items().note->visible(); });
        QTest::qWait(500);
        save(&w, QStringLiteral("no-instrument.png"));
    }
    virtualBench().setAttached(true);
    QFile::rename(QStringLiteral("hardware.xml"), QStringLiteral("hardware.xml.away"));
    // The message box is noted, not shown: it would wait for a click.
    RecordingMessagePresenter boxes;
    const ScopedCriticalMessagePresenter quiet(&boxes);
    {
        VeltoInterface w;
        w.resize(1024, 640);
        w.show();
        waitFor([&] { return QTest::qWaitForWindowExposed(&w); });
        waitFor([&] { return w.scopePlot()->items().note->visible(); });
        QTest::qWait(500);
        save(&w, QStringLiteral("no-hardware-xml.png"));
    }
    for (const CriticalMessage &box : boxes.messages)
        std::printf("message box %s: %s\n", qPrintable(box.title), qPrintable(box.text));
    QFile::rename(QStringLiteral("hardware.xml.away"), QStringLiteral("hardware.xml"));
}
// Three decoders and an EEPROM decoder stacked on I2C under the logic
// traces of the bus wiring (run with VELTO_VSIM=bus), and their table.
void decoders()
{
    VeltoInterface w;
    if (!open(w))
        return;
    Ui::VeltoInterface *ui = w.form();
    ui->samplingSlider->setValue(5); // 16 µs a sample
    ui->comboBoxADCBuffer->setCurrentIndex(ui->comboBoxADCBuffer->count() - 1);
    if (!ui->checkBoxCHDTrace->isChecked())
        ui->checkBoxCHDTrace->click();
    // The logic bits alone, high on the plot, the decoders' rows under them.
    for (QCheckBox *channel : {ui->checkBoxCH1Trace, ui->checkBoxCH2Trace})
        if (channel->isChecked())
            channel->click();
    ui->chdPositionSlider->setValue(ui->chdPositionSlider->maximum());
    ui->comboBoxTrigSource->setCurrentIndex(2); // bit 0: the UART's start bit
    ui->radioButtonFallingEdge->click();
    ui->doubleSpinBoxTrigHold->setValue(90);
    ui->radioButtonNormal->click();
    DecoderPanel *panel = w.decoders();
    panel->addDecoder(QStringLiteral("uart"));
    panel->setChannel(0, QStringLiteral("tx"), 0);
    panel->setChannel(0, QStringLiteral("rx"), 1);
    panel->setOption(0, QStringLiteral("baudrate"), 9600);
    panel->setOption(0, QStringLiteral("format"), QStringLiteral("ascii"));
    panel->setOption(0, QStringLiteral("tx_packet_delim"), 10);
    panel->setOption(0, QStringLiteral("rx_packet_delim"), 10);
    panel->addDecoder(QStringLiteral("spi"));
    const char *spi[] = {"clk", "mosi", "miso", "cs"};
    for (int k = 0; k < 4; ++k)
        panel->setChannel(1, QLatin1String(spi[k]), 2 + k);
    panel->addDecoder(QStringLiteral("i2c"));
    panel->setChannel(2, QStringLiteral("scl"), 6);
    panel->setChannel(2, QStringLiteral("sda"), 7);
    panel->addDecoder(QStringLiteral("eeprom24xx"), 2);
    panel->setOption(3, QStringLiteral("chip"), QStringLiteral("microchip_24lc64"));
    panel->dock()->raise();
    waitFor([&] { return panel->latest().decoding.annotations.size() > 100; });
    waitFrames(w, 10);
    save(&w, QStringLiteral("decoders-plot.png"));
    // Hovering over an annotation: the tooltip with its full text.
    ui->radioButtonSingle->click();
    AnnotationRows *rows = w.annotationRows();
    QWidget *plot = w.scopePlot()->plot();
    for (int k = 0; k < rows->rows().size(); ++k) {
        if (rows->rows()[k].label.endsWith(QLatin1String("TX packets"))) {
            const QRect row = rows->rowRect(k);
            QHelpEvent hover(QEvent::ToolTip, row.center(), plot->mapToGlobal(row.center()));
            QApplication::sendEvent(plot, &hover);
        }
    }
    QTest::qWait(500);
    if (!w.screen()->grabWindow(0).save(folder + QStringLiteral("/decoders-hover.png")))
        ++failures;
    // The list to add a decoder from, searched.
    QTimer::singleShot(800, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->findChild<QLineEdit *>(QStringLiteral("decoderSearch"))->setText(QStringLiteral("eeprom"));
        QTest::qWait(200);
        save(dialog, QStringLiteral("decoders-add.png"));
        dialog->reject();
    });
    panel->showAddDialog();
    w.findChild<QPushButton *>(QStringLiteral("decoderTableButton"))->click();
    QTest::qWait(500);
    save(&w, QStringLiteral("decoders-table.png"));
    // A decoder that raises: its error on its row, the others go on.
    panel->setOption(0, QStringLiteral("baudrate"), 0);
    QTest::qWait(1500);
    save(&w, QStringLiteral("decoders-error.png"));
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: velto_screenshots <folder>\n");
        return 2;
    }
    folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "screenshots: cannot make %s\n", argv[1]);
        return 1;
    }
    useVirtualBench();
    const QString scene = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (scene.isEmpty() || scene == QLatin1String("themes"))
        themes();
    if (scene.isEmpty() || scene == QLatin1String("live"))
        live();
    if (scene.isEmpty() || scene == QLatin1String("persistence"))
        persistence();
    if (scene.isEmpty() || scene == QLatin1String("plot"))
        plotStates();
    if (scene.isEmpty() || scene == QLatin1String("noinstrument"))
        noInstrument();
    if (scene == QLatin1String("decoders"))
        decoders();
    return failures == 0 ? 0 : 1;
}
