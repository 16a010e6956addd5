// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QObject>

class DeviceSession;
class QLabel;
namespace Ui {
class VeltoInterface;
}

// The generator's frequency and sweep: the logarithmic slider, the eight
// digits with their step buttons, the effective frequency the instrument
// reads back, and the swept quantity, direction, start, end and speed.
class FrequencySweepControls : public QObject
{
    Q_OBJECT
public:
    FrequencySweepControls(Ui::VeltoInterface *ui, DeviceSession *session, QObject *parent = nullptr);

    // --- Frequency ------------------------------------------------------------
    void frequencySliderChanged(int position);
    void frequencyDigitsShowValue(double centiHertz);
    long long frequencyDigitsToFrequency() const;
    void frequencyDigitIncrease(QLabel *label, int maximum);
    void frequencyDigitDecrease(QLabel *label, int maximum);
    void frequencyDigitsValueChanged();
    void updateFrequency(double centiHertz);
    // Reads the effective frequency back and shows it once it has come
    // (effectiveFrequencyShown); the timer's steps depend on the DAC buffer as
    // well as on the frequency asked for. False when nothing was asked (no
    // instrument, or a session start gathering its block): 0 is shown at once.
    bool showEffectiveFrequency();
    void sendWaveFrequency(long long centiHertz);
    // The effective generator frequency last read back, in hertz.
    double effectiveFrequency() const { return effective; }

signals:
    // An effective frequency asked for has been read back and shown (0: no answer).
    void effectiveFrequencyShown();

public:

    // --- Sweep ------------------------------------------------------------------
    void sweepTypeChanged();
    void sweepCursorsUpdate();
    void sendSweepTypeControls();
    void sweepStartFreqChanged();
    void sweepEndFreqChanged();
    void sweepSpeedSliderChanged(int speed);
    void sweepPanelCheckedChanged(bool on);
    void sendSweepStart(int code);
    void sendSweepEnd(int code);
    void sendSweepSpeed(int speed);
    // The generator's part of a whole settings pass, from the frequency on.
    void replaySettings();

    // --- What scripts call (their spelling is the scripts' own) -------------------
    void setAwgFrequency(double hertz);
    void setAwgSweepEnabled(bool enabled);
    void setAwgSweepSpeed(int speed);
    void setAwgSweepStart(double code);
    void setAwgSweepEnd(double code);
    void clickRadioButtonSweepFrequency();
    void clickRadioButtonSweepAmplitude();
    void clickRadioButtonSweepDutyCycle();
    void clickRadioButtonSweepOffset();
    void clickRadioButtonSweepDirectionRising();
    void clickRadioButtonSweepDirectionPingPong();
    void clickRadioButtonSweepDirectionFaling();

private:
    void connectFrequency();
    void connectSweep();
    QLabel *digitLabel(int position) const;

    Ui::VeltoInterface *ui;
    DeviceSession *session;
    double effective = 0;
};
