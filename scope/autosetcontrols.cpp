// SPDX-License-Identifier: GPL-3.0-only
// Autoset and its undo.
#include "scope/autosetcontrols.h"

#include "base/logging.h"
#include "core/device/frames.h"
#include "device/devicesession.h"
#include "scope/scopedisplay.h"
#include "scope/scopeplot.h"
#include "scope/triggercontrols.h"
#include "ui_veltointerface.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>

#include <qcustomplot.h>

namespace {
QRadioButton *modeButton(Ui::VeltoInterface *ui, int mode)
{
    QRadioButton *buttons[] = {ui->radioButtonFree, ui->radioButtonNormal, ui->radioButtonAuto,
                               ui->radioButtonSingle};
    return buttons[qBound(0, mode, 3)];
}

QRadioButton *typeButton(Ui::VeltoInterface *ui, int type)
{
    QRadioButton *buttons[] = {ui->radioButtonRisingEdge,   ui->radioButtonFallingEdge,
                               ui->radioButtonDual,         ui->radioButtonPositiveSlope,
                               ui->radioButtonNegativeSlope, ui->radioButtonWindow};
    return buttons[qBound(0, type, 5)];
}
} // namespace

AutosetControls::AutosetControls(Ui::VeltoInterface *ui, DeviceSession *session, ScopeDisplay *display,
                                 ScopePlot *plot, TriggerControls *trigger, QObject *parent)
    : QObject(parent), ui(ui), session(session), display(display), plot(plot), trigger(trigger)
{
    runButton = new QPushButton(tr("Autoset"), ui->osciloscopeTab);
    runButton->setObjectName(QStringLiteral("autosetButton"));
    runButton->setToolTip(tr("Sets gain, time base and trigger for the signals coming in (Alt+A)"));
    backButton = new QPushButton(tr("Undo autoset"), ui->osciloscopeTab);
    backButton->setObjectName(QStringLiteral("undoAutosetButton"));
    backButton->setToolTip(tr("Puts gain, position, time base and trigger back as they were before autoset"));
    backButton->setEnabled(false);
    auto *row = new QHBoxLayout;
    row->addWidget(runButton);
    row->addWidget(backButton);
    ui->layout_osciloscopeTab->insertLayout(ui->layout_osciloscopeTab->indexOf(ui->stopButton) + 1, row);

    autosetAction = new QAction(tr("Autoset"), this);
    autosetAction->setObjectName(QStringLiteral("actionAutoset"));
    autosetAction->setShortcut(QKeySequence(QStringLiteral("Alt+A")));
    autosetAction->setShortcutContext(Qt::WindowShortcut);
    connect(autosetAction, &QAction::triggered, this, &AutosetControls::autoset);
    connect(runButton, &QPushButton::clicked, this, &AutosetControls::autoset);
    connect(backButton, &QPushButton::clicked, this, &AutosetControls::undo);
    connect(display, &ScopeDisplay::newFramesShown, this, &AutosetControls::frameShown);
}

AutosetControls::Controls AutosetControls::current() const
{
    Controls c;
    c.gain[0] = ui->ch1GainSlider->value();
    c.gain[1] = ui->ch2GainSlider->value();
    c.position[0] = ui->ch1PositionSlider->value();
    c.position[1] = ui->ch2PositionSlider->value();
    c.samplingIndex = ui->samplingSlider->value();
    c.triggerSource = ui->comboBoxTrigSource->currentIndex();
    c.triggerMode = trigger->triggerModeChecked();
    c.triggerType = trigger->model().type();
    for (int ch = 0; ch < 2; ++ch)
        c.records[ch] = trigger->model().record(ch);
    return c;
}

void AutosetControls::restore(const Controls &c)
{
    ui->ch1GainSlider->setValue(c.gain[0]);
    ui->ch2GainSlider->setValue(c.gain[1]);
    ui->ch1PositionSlider->setValue(c.position[0]);
    ui->ch2PositionSlider->setValue(c.position[1]);
    ui->samplingSlider->setValue(c.samplingIndex);
    ui->comboBoxTrigSource->setCurrentIndex(c.triggerSource);
    typeButton(ui, c.triggerType)->setChecked(true);
    modeButton(ui, c.triggerMode)->setChecked(true);
    for (int ch = 0; ch < 2; ++ch)
        trigger->model().restoreRecord(ch, c.records[ch]);
    trigger->sendTriggerLevels();
    trigger->triggerMarkersPlace();
}

void AutosetControls::autoset()
{
    if (!session->isOpen()) {
        emit statusText(tr("Autoset needs the instrument's signals: connect first"));
        return;
    }
    if (!ui->checkBoxCH1Trace->isChecked() && !ui->checkBoxCH2Trace->isChecked()) {
        emit statusText(tr("Autoset: switch CH1 or CH2 on first"));
        return;
    }
    if (rounds == 0)
        before = current();
    rounds = 1;
    pendingFirst = false;
    modeButton(ui, Trigger::Auto)->setChecked(true);
    if (ui->stopButton->text() == tr("START"))
        ui->stopButton->click();
    runButton->setEnabled(false);
    backButton->setEnabled(true);
    emit statusText(tr("Autoset: looking at the signals..."));
}

void AutosetControls::undo()
{
    rounds = 0;
    runButton->setEnabled(true);
    backButton->setEnabled(false);
    restore(before);
    VELTO_LOG(QStringLiteral("Autoset undone"), 0);
    emit statusText(tr("Autoset undone: the controls are as they were"));
}

// The frame shown was taken with the gains and time base the controls
// hold now (the instrument echoes them): only such a frame says what
// autoset's last step did.
bool AutosetControls::frameHasSettings(Autoset::Observation *input) const
{
    const QByteArray &frame = display->frame();
    const frameconfig_t &header = display->traces().header();
    const int n = display->traces().samples();
    if (header.samplingIndex != ui->samplingSlider->value() || n <= 0)
        return false;
    const auto *bytes = reinterpret_cast<const unsigned char *>(frame.constData());
    const int meters = Frames::meterBlockOffset(header.channelMask, n);
    if (meters < 0 || meters + 2 * Frames::meterBlockSize > frame.size())
        return false;
    const bool on[2] = {ui->checkBoxCH1Trace->isChecked(), ui->checkBoxCH2Trace->isChecked()};
    const int gains[2] = {ui->ch1GainSlider->value(), ui->ch2GainSlider->value()};
    const int bits[2] = {Frames::Ch1, Frames::Ch2};
    for (int ch = 0; ch < 2; ++ch) {
        Autoset::Channel &c = input->channels[ch];
        const int offset = Frames::channelBlockOffset(header.channelMask, bits[ch], n);
        c.enabled = on[ch] && offset >= 0;
        if (!c.enabled)
            continue;
        channela_t meter;
        Frames::parseMeterBlock(&meter, bytes + meters + ch * Frames::meterBlockSize);
        if (meter.gainIndex != gains[ch])
            return false;
        c.samples = reinterpret_cast<const int8_t *>(bytes + offset);
        c.count = n;
        c.gain = gains[ch];
    }
    input->samplingIndex = header.samplingIndex;
    input->visibleSamples = plot->plot()->xAxis->range().size() / 2.0;
    return true;
}

void AutosetControls::frameShown()
{
    if (pendingFirst && display->hasInstrumentFrame()) {
        VELTO_LOG(QStringLiteral("First start: autoset on the first frames"), 0);
        autoset();
    }
    if (rounds == 0)
        return;
    Autoset::Observation input;
    if (!frameHasSettings(&input))
        return;
    const Autoset::Choice choice = Autoset::choose(input);
    apply(choice);
    if (choice.settled) {
        finish(choice.triggerChannel < 0 ? tr("Autoset done; no signal with a period to trigger on: the trigger is as it was")
                                         : tr("Autoset done: trigger on CH%1").arg(choice.triggerChannel + 1));
    } else if (++rounds > Autoset::maximumRounds) {
        finish(tr("Autoset stopped after %1 frames: the signals keep changing").arg(Autoset::maximumRounds));
    }
}

void AutosetControls::apply(const Autoset::Choice &choice)
{
    if (ui->checkBoxCH1Trace->isChecked()) {
        ui->ch1GainSlider->setValue(choice.gain[0]);
        ui->ch1PositionSlider->setValue(0);
    }
    if (ui->checkBoxCH2Trace->isChecked()) {
        ui->ch2GainSlider->setValue(choice.gain[1]);
        ui->ch2PositionSlider->setValue(0);
    }
    ui->samplingSlider->setValue(choice.samplingIndex);
    if (choice.triggerChannel < 0)
        return;
    ui->comboBoxTrigSource->setCurrentIndex(choice.triggerChannel);
    typeButton(ui, Trigger::RisingEdge)->setChecked(true);
    TriggerModel &model = trigger->model();
    model.triggerSetPosition(model.current().position, choice.triggerLevel);
    trigger->sendTriggerLevels();
    trigger->triggerMarkersPlace();
}

void AutosetControls::finish(const QString &text)
{
    rounds = 0;
    runButton->setEnabled(true);
    backButton->setEnabled(true);
    VELTO_LOG(QStringLiteral("Autoset: gains %1 and %2, time base %3, trigger source %4")
                  .arg(ui->ch1GainSlider->value())
                  .arg(ui->ch2GainSlider->value())
                  .arg(ui->samplingSlider->value())
                  .arg(ui->comboBoxTrigSource->currentIndex()),
              0);
    emit statusText(text);
}
