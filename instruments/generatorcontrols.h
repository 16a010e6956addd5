// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "instruments/frequencysweepcontrols.h"

#include <QObject>
#include <QString>

#include <functional>

class DeviceSession;
class QAbstractButton;
class QDoubleSpinBox;
class QSlider;
class ScopeChannels;
namespace Ui {
class VeltoInterface;
}

// The generator ("Velto - AWG" dock): enable and buffer, waveform, constant
// level, amplitude, duty and offset, the calibration buttons, and the custom
// waveform read from a file and stored in the instrument. The frequency and
// the sweep are its part `frequencySweep()`.
class GeneratorControls : public QObject
{
    Q_OBJECT
public:
    // `defaultDir` names the folder the file dialog opens in.
    GeneratorControls(Ui::VeltoInterface *ui, DeviceSession *session, ScopeChannels *channels,
                      std::function<QString()> defaultDir, QObject *parent = nullptr);

    FrequencySweepControls *frequencySweep() const { return frequency; }

    void awgDACBufferChanged(int index);
    void awgEnableChanged();

    void sendWaveType();
    void sendWaveAmplitude(int code);
    void sendWaveDuty(int code);
    void sendWaveOffset(int code);
    void sendWaveConstantLevel(int level);
    void awgAmplitudeSliderChanged(int code);
    void awgDutyCycleSliderChanged(int code);
    void awgOffsetSliderChanged(int code);

    // The custom waveform: the file dialog, the file it names (returns the
    // samples read, 0 when the file is refused, -1 when it cannot be read),
    // and the store.
    void openCustomWaveform();
    int loadCustomWaveform(const QString &path);
    // The same from the bytes of such a file; `name` says where they came from.
    int loadCustomWaveformData(const QByteArray &bytes, const QString &name);
    void storeCustomWaveform();
    // The 1024 bytes the store sends: 512 little-endian 16-bit samples.
    const unsigned char *customWaveform() const { return customWave; }

    // The generator's part of a whole settings pass, in its fixed order.
    void replaySettings();

    // --- What scripts call (their spelling is the scripts' own) ---------------
    void setAwgLevelsAmplitude(double volts);
    void setAwgLevelsDutyCycle(double percent);
    void setAwgLevelsOffset(double volts);
    void clickRadioButtonSine();
    void clickRadioButtonSquare();
    void clickRadioButtonTriangle();
    void clickRadioButtonExpo();
    void clickRadioButtonCustom();
    void clickRadioButtonConstant();
    void clickRadioButtonWhiteNoise();
    void clickRadioButtonPinkNoise();
    void setAwgFrequency(double hertz) { frequency->setAwgFrequency(hertz); }
    void setAwgSweepEnabled(bool enabled) { frequency->setAwgSweepEnabled(enabled); }
    void setAwgSweepSpeed(int speed) { frequency->setAwgSweepSpeed(speed); }
    void setAwgSweepStart(double code) { frequency->setAwgSweepStart(code); }
    void setAwgSweepEnd(double code) { frequency->setAwgSweepEnd(code); }
    void clickRadioButtonSweepFrequency() { frequency->clickRadioButtonSweepFrequency(); }
    void clickRadioButtonSweepAmplitude() { frequency->clickRadioButtonSweepAmplitude(); }
    void clickRadioButtonSweepDutyCycle() { frequency->clickRadioButtonSweepDutyCycle(); }
    void clickRadioButtonSweepOffset() { frequency->clickRadioButtonSweepOffset(); }
    void clickRadioButtonSweepDirectionRising() { frequency->clickRadioButtonSweepDirectionRising(); }
    void clickRadioButtonSweepDirectionPingPong() { frequency->clickRadioButtonSweepDirectionPingPong(); }
    void clickRadioButtonSweepDirectionFaling() { frequency->clickRadioButtonSweepDirectionFaling(); }

private:
    struct Level {
        QSlider *slider;
        QDoubleSpinBox *box;
        double divisor;
    };
    void connectWaveform();
    void connectLevels();
    void connectCalibration();
    void connectPanels();
    void levelBoxChanged(const Level &level, double value);
    void levelSliderChanged(const Level &level, int code);
    void calibrate(int index, int value, QAbstractButton *ok);
    // The instrument's answer to the generator's enable: applied, or the box
    // set back when it `answered` and refused.
    void awgEnableAnswered(bool accepted, bool answered);
    // The end of a custom waveform's upload.
    void customWaveformStored(bool sent);
    void refreshStoreButton();
    void showProgress(int percent);

    Ui::VeltoInterface *ui;
    DeviceSession *session;
    ScopeChannels *channels;
    FrequencySweepControls *frequency;
    std::function<QString()> defaultDir;
    Level amplitude, duty, offset, constant;
    unsigned char customWave[1024];
    bool customLoaded = false;
};
