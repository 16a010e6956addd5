// SPDX-License-Identifier: GPL-3.0-only
// The generator's enable, buffer, waveform, levels, calibration and custom waveform.
#include "instruments/generatorcontrols.h"

#include "base/logging.h"
#include "core/device/configprotocol.h"
#include "device/devicesession.h"
#include "core/instruments/generatorlaws.h"
#include "scope/channelcontrols.h"
#include "ui_veltointerface.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QSignalBlocker>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>

using namespace ConfigProtocol;
using namespace Generator;

GeneratorControls::GeneratorControls(Ui::VeltoInterface *ui, DeviceSession *session, ScopeChannels *channels,
                                     std::function<QString()> defaultDir, QObject *parent)
    : QObject(parent), ui(ui), session(session), channels(channels),
      frequency(new FrequencySweepControls(ui, session, this)), defaultDir(std::move(defaultDir)),
      amplitude{ui->amplitudeSlider, ui->doubleSpinBoxAmp, amplitudeDivisor},
      duty{ui->dutyCycleSlider, ui->doubleSpinBoxDuty, dutyDivisor},
      offset{ui->offsetSlider, ui->doubleSpinBoxOffset, offsetDivisor},
      constant{ui->horizontalSliderConstant, ui->spinBoxConstant, constantDivisor}
{
    std::memset(customWave, 0, sizeof(customWave));
    connect(ui->comboBoxDACBuffer, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &GeneratorControls::awgDACBufferChanged);
    // The controls act on their state however it was set: a click, a script, the stored settings.
    connect(ui->checkBoxAWGEnable, &QCheckBox::toggled, this, &GeneratorControls::awgEnableChanged);
    ui->comboBoxDACBuffer->setEnabled(ui->checkBoxAWGEnable->isChecked());
    connectWaveform();
    connectLevels();
    connectCalibration();
    connectPanels();
    connect(session, &DeviceSession::connectionChanged, this, &GeneratorControls::refreshStoreButton);
}

void GeneratorControls::connectWaveform()
{
    for (QRadioButton *wave : {ui->radioButtonSine, ui->radioButtonSquare, ui->radioButtonTriangle,
                               ui->radioButtonExpo, ui->radioButtonCustom, ui->radioButtonConstant,
                               ui->radioButtonWhiteNoise, ui->radioButtonPinkNoise})
        connect(wave, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                sendWaveType();
        });
    connect(ui->horizontalSliderConstant, &QSlider::valueChanged, this, [this](int code) {
        levelSliderChanged(constant, code);
        sendWaveConstantLevel(code);
    });
    connect(ui->openCSVButton, &QPushButton::clicked, this, &GeneratorControls::openCustomWaveform);
    connect(ui->saveAWGButton, &QPushButton::clicked, this, &GeneratorControls::storeCustomWaveform);
    refreshStoreButton();
}

void GeneratorControls::connectLevels()
{
    for (Level *level : {&amplitude, &duty, &offset, &constant}) {
        // A value is taken when typed in full, not at every key: the box is
        // rewritten with the value the instrument gets.
        level->box->setKeyboardTracking(false);
        connect(level->box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                [this, level](double value) { levelBoxChanged(*level, value); });
    }
    connect(ui->amplitudeSlider, &QSlider::valueChanged, this, &GeneratorControls::awgAmplitudeSliderChanged);
    connect(ui->dutyCycleSlider, &QSlider::valueChanged, this, &GeneratorControls::awgDutyCycleSliderChanged);
    connect(ui->offsetSlider, &QSlider::valueChanged, this, &GeneratorControls::awgOffsetSliderChanged);
}

void GeneratorControls::connectCalibration()
{
    const struct {
        QAbstractButton *button;
        int index;
        int value;
        QAbstractButton *ok;
    } buttons[] = {{ui->toolButtonDACOffsetPlus, 0, 1, ui->toolButtonDACOffsetOK},
                   {ui->toolButtonDACOffsetMinus, 0, 0xFFFF, ui->toolButtonDACOffsetOK},
                   {ui->toolButtonDACOffsetOK, 0, 0, ui->toolButtonDACOffsetOK},
                   {ui->toolButtonDACGainPlus, 1, 1, ui->toolButtonDACGainOK},
                   {ui->toolButtonDACGainMinus, 1, 0xFFFF, ui->toolButtonDACGainOK},
                   {ui->toolButtonDACGainOK, 1, 0, ui->toolButtonDACGainOK},
                   {ui->pushButtonCalibrateADCOffsetClear, 2, 0, nullptr},
                   {ui->pushButtonCalibrateADCOffset, 3, 0, nullptr}};
    for (const auto &b : buttons) {
        connect(b.button, &QAbstractButton::clicked, this,
                [this, index = b.index, value = b.value, ok = b.ok] { calibrate(index, value, ok); });
    }
    ui->toolButtonDACOffsetOK->setEnabled(false);
    ui->toolButtonDACGainOK->setEnabled(false);
}

void GeneratorControls::connectPanels()
{
    const struct {
        CollapsiblePanel *panel;
        QWidget *frame;
        bool summary;
    } panels[] = {{ui->collapsiblePanelAWGWaveform, ui->frameAWGWaveform, true},
                  {ui->collapsiblePanelAWGFrequency, ui->frameAWGFrequency, true},
                  {ui->collapsiblePanelAWGLevels, ui->frameAWGLevels, false},
                  {ui->collapsiblePanelAWGSweep, ui->frameAWGSweep, false}};
    // A folded panel keeps its summary in sight.
    for (const auto &p : panels)
        foldsFrame(p.panel, p.frame, p.summary);
}

// --- Enable and buffer ----------------------------------------------------------

void GeneratorControls::awgDACBufferChanged(int index)
{
    session->sendDACBufferBlocks(dataValueRangeTrunk(index + 1, 1, 2));
    channels->bufferCheckMaxSize();
    frequency->showEffectiveFrequency();
}

void GeneratorControls::awgEnableChanged()
{
    // Whether the instrument answered at all: one that did not (none there,
    // or no answer in time) leaves the box as the setting for the next session.
    auto answered = std::make_shared<bool>(false);
    confirmedWriteWithMemoryCheck(
        [this, answered](const ConfirmedReply &reply) {
            session->sendMainConfigurationConfirm(
                2, ConfigEntry::DacEnable, ui->checkBoxAWGEnable->isChecked() ? 1 : 0, this,
                [reply, answered](int status, const unsigned char *bytes) {
                    *answered = status >= 0;
                    reply(status, bytes);
                });
        },
        [this](int blocks) { channels->shrinkAcquisitionBuffer(blocks); },
        [this, answered](bool accepted) { awgEnableAnswered(accepted, *answered); });
}

void GeneratorControls::awgEnableAnswered(bool accepted, bool answered)
{
    if (!accepted) {
        // An instrument that answered but did not take the change keeps the
        // generator as it was, and so does the box. Without an answer the
        // box is a setting for the next session and stays.
        if (answered && session->isOpen() && !session->usb().connectionLostFlag) {
            const QSignalBlocker blocker(ui->checkBoxAWGEnable);
            ui->checkBoxAWGEnable->setChecked(!ui->checkBoxAWGEnable->isChecked());
            VELTO_LOG(QStringLiteral("The instrument refused to switch the generator %1")
                          .arg(ui->checkBoxAWGEnable->isChecked() ? QStringLiteral("off") : QStringLiteral("on")),
                      2);
        }
        return;
    }
    ui->comboBoxDACBuffer->setEnabled(ui->checkBoxAWGEnable->isChecked());
    channels->bufferCheckMaxSize();
}

// --- Waveform and levels ----------------------------------------------------------

void GeneratorControls::sendWaveType()
{
    // Indexed by the waveform code.
    const QRadioButton *buttons[WaveformCount] = {ui->radioButtonSine,      ui->radioButtonSquare,
                                                  ui->radioButtonTriangle,  ui->radioButtonExpo,
                                                  ui->radioButtonCustom,    ui->radioButtonConstant,
                                                  ui->radioButtonWhiteNoise, ui->radioButtonPinkNoise};
    std::array<bool, WaveformCount> checked{};
    for (int w = 0; w < WaveformCount; ++w)
        checked[size_t(w)] = buttons[w]->isChecked();
    const WaveChoice choice = waveTypeFor(checked);
    ui->collapsiblePanelAWGWaveform->setText(choice.name + QLatin1Char(' '));
    session->sendMainConfiguration(ConfigEntry::WaveType, choice.code);
    if (choice.code == Constant)
        sendWaveConstantLevel(ui->horizontalSliderConstant->value());
}

void GeneratorControls::sendWaveAmplitude(int code)
{
    session->sendMainConfiguration(ConfigEntry::WaveAmplitude, waveAmplitude(code));
}

void GeneratorControls::sendWaveDuty(int code)
{
    session->sendMainConfiguration(ConfigEntry::WaveDuty, waveDuty(code));
}

void GeneratorControls::sendWaveOffset(int code)
{
    session->sendMainConfiguration(ConfigEntry::WaveOffset, waveOffset(code));
}

void GeneratorControls::sendWaveConstantLevel(int level)
{
    session->sendMainConfiguration(ConfigEntry::WaveConstant, waveConstantLevel(level));
}

void GeneratorControls::levelBoxChanged(const Level &level, double value)
{
    level.slider->setValue(levelCode(value, level.divisor));
    // The box snaps to the step the slider holds, also when the slider
    // stayed where it was (a duty of 0 % is the lowest code's 0.4 %).
    const QSignalBlocker blocker(level.box);
    level.box->setValue(level.slider->value() / level.divisor);
}

void GeneratorControls::levelSliderChanged(const Level &level, int code)
{
    // The box is rewritten without answering: two decimals cannot hold
    // every code's volts, and the round trip would move the slider off the
    // code the user chose (amplitude 4 would come back as 3).
    const QSignalBlocker blocker(level.box);
    level.box->setValue(code / level.divisor);
}

void GeneratorControls::awgAmplitudeSliderChanged(int code)
{
    levelSliderChanged(amplitude, code);
    sendWaveAmplitude(code);
}

void GeneratorControls::awgDutyCycleSliderChanged(int code)
{
    levelSliderChanged(duty, code);
    sendWaveDuty(code);
}

void GeneratorControls::awgOffsetSliderChanged(int code)
{
    levelSliderChanged(offset, code);
    sendWaveOffset(code);
}

// --- Calibration -------------------------------------------------------------------

void GeneratorControls::calibrate(int index, int value, QAbstractButton *ok)
{
    // A step waits for its acceptance; the acceptance closes it. A request
    // the instrument did not get changes neither.
    const QPointer<QAbstractButton> button(ok);
    session->sendCalibration(index, value, this, [button, value](int result, const QByteArray &) {
        if (result >= 0 && button)
            button->setEnabled(value != 0);
    });
}

// --- Custom waveform ----------------------------------------------------------------

void GeneratorControls::openCustomWaveform()
{
    const QString path = QFileDialog::getOpenFileName(ui->openCSVButton->window(), tr("Open File"),
                                                      defaultDir ? defaultDir() : QString(),
                                                      QStringLiteral("CSV files (*.csv *.txt);;All files (*.*)"));
    if (!path.isEmpty())
        loadCustomWaveform(path);
}

int GeneratorControls::loadCustomWaveform(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        VELTO_LOG(QStringLiteral("Custom waveform: cannot read %1: %2")
                      .arg(path, QFileInfo(path).isDir() ? QStringLiteral("a folder") : file.errorString()),
                  2);
        ui->labelCustomWaveform->setText(tr("Cannot read %1").arg(name));
        return -1;
    }
    return loadCustomWaveformData(file.read(waveformFileLimit + 1), path);
}

int GeneratorControls::loadCustomWaveformData(const QByteArray &bytes, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const WaveformRead read = parseWaveform(bytes, customWave);
    if (!read.error.isEmpty()) {
        const QString where = read.line > 0 ? QStringLiteral("line %1 ").arg(read.line) : QString();
        VELTO_LOG(QStringLiteral("Custom waveform: %1 refused, %2%3; nothing loaded").arg(path, where, read.error), 2);
        ui->labelCustomWaveform->setText(tr("%1 refused: %2%3").arg(name, where, read.error));
        return 0;
    }
    const QString unit = read.volts ? QStringLiteral("volts") : QStringLiteral("codes");
    VELTO_LOG(QStringLiteral("Custom waveform: %1 samples (%2) read from %3").arg(read.count).arg(unit, path), 1);
    ui->labelCustomWaveform->setText(tr("%1 samples (%2) from %3").arg(read.count).arg(unit, name));
    customLoaded = true;
    refreshStoreButton();
    return read.count;
}

void GeneratorControls::refreshStoreButton()
{
    ui->saveAWGButton->setEnabled(customLoaded && session->isOpen());
    // Custom plays what was loaded; before a file is, there is nothing to choose.
    ui->radioButtonCustom->setEnabled(customLoaded);
    ui->radioButtonCustom->setToolTip(customLoaded ? tr("Custom waveform")
                                                   : tr("Custom waveform: open a waveform file first"));
}

void GeneratorControls::showProgress(int percent)
{
    ui->progressBar->setValue(percent);
    ui->progressBar->repaint();
}

void GeneratorControls::storeCustomWaveform()
{
    if (!session->isOpen())
        return;
    showProgress(0);
    channels->setAwgSaveMode(true);
    channels->sendMixedControls();
    showProgress(4);
    // Everything is queued at once, so that nothing a user or a script does
    // meanwhile comes between on the wire: both halves with their commits,
    // the end of the save mode and the waveform type; the answers only say
    // how it went.
    auto failed = std::make_shared<bool>(false);
    for (int half : {0, 1})
        session->sendWaveformHalf(half, customWave + half * customSamples, this,
                                  [this, failed, half](int result, const QByteArray &) {
                                      *failed = *failed || result < 0;
                                      if (half == 0)
                                          showProgress(50);
                                      else
                                          customWaveformStored(!*failed);
                                  });
    channels->setAwgSaveMode(false);
    channels->sendMixedControls();
    // The stored table plays: the Custom button's handler says so, or, when
    // Custom is already the choice, the type is said again here.
    if (ui->radioButtonCustom->isChecked())
        sendWaveType();
    else
        ui->radioButtonCustom->setChecked(true);
}

void GeneratorControls::customWaveformStored(bool sent)
{
    if (!sent) {
        VELTO_LOG(QStringLiteral("Custom waveform: the upload failed, nothing was stored"), 3);
        ui->labelCustomWaveform->setText(tr("Storing failed: the instrument did not take the waveform"));
        showProgress(0);
        return;
    }
    showProgress(100);
    ui->labelCustomWaveform->setText(tr("Stored in the instrument and playing"));
    showProgress(0);
}

// --- Settings pass and scripts --------------------------------------------------------

void GeneratorControls::replaySettings()
{
    sendWaveType();
    awgAmplitudeSliderChanged(ui->amplitudeSlider->value());
    awgDutyCycleSliderChanged(ui->dutyCycleSlider->value());
    awgOffsetSliderChanged(ui->offsetSlider->value());
    frequency->replaySettings();
}

namespace {
// A script's value for a spin box, which clamps it to its range; what is no
// number changes nothing.
void setBox(QDoubleSpinBox *box, double value, const char *operation)
{
    if (std::isfinite(value))
        box->setValue(value);
    else
        VELTO_LOG(QStringLiteral("%1: %2 is not a number, nothing changed").arg(QLatin1String(operation)).arg(value), 2);
}
} // namespace

void GeneratorControls::setAwgLevelsAmplitude(double volts) { setBox(ui->doubleSpinBoxAmp, volts, "setAwgLevelsAmplitude"); }
void GeneratorControls::setAwgLevelsDutyCycle(double percent) { setBox(ui->doubleSpinBoxDuty, percent, "setAwgLevelsDutyCycle"); }
void GeneratorControls::setAwgLevelsOffset(double volts) { setBox(ui->doubleSpinBoxOffset, volts, "setAwgLevelsOffset"); }
void GeneratorControls::clickRadioButtonSine() { ui->radioButtonSine->click(); }
void GeneratorControls::clickRadioButtonSquare() { ui->radioButtonSquare->click(); }
void GeneratorControls::clickRadioButtonTriangle() { ui->radioButtonTriangle->click(); }
void GeneratorControls::clickRadioButtonExpo() { ui->radioButtonExpo->click(); }
void GeneratorControls::clickRadioButtonCustom()
{
    if (!customLoaded)
        VELTO_LOG(QStringLiteral("clickRadioButtonCustom: no custom waveform loaded, nothing changed"), 2);
    ui->radioButtonCustom->click();
}
void GeneratorControls::clickRadioButtonConstant() { ui->radioButtonConstant->click(); }
void GeneratorControls::clickRadioButtonWhiteNoise() { ui->radioButtonWhiteNoise->click(); }
void GeneratorControls::clickRadioButtonPinkNoise() { ui->radioButtonPinkNoise->click(); }
