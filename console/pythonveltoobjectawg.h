// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "instruments/generatorcontrols.h"

// `veltoAWG` in a script: the generator, driven exactly as its controls are.
// The names are the ones scripts call, "Faling" included.
class PythonVeltoObjectAWG : public QObject
{
    Q_OBJECT
public:
    PythonVeltoObjectAWG() = default;
    void setVeltoQt(GeneratorControls *generator) { this->generator = generator; }

public slots:
    QObject *findChild(QObject *o, QString name);
    void setWaveformSquare();
    void setWaveformSine();
    void setWaveformExpo();
    void setWaveformTriangle();
    void setWaveformConstant();
    void setWaveformCustom();
    void setWaveformWhiteNoise();
    void setWaveformPinkNoise();
    void setFrequency(double f);
    void setLevelsAmplitude(double val);
    void setLevelsDutyCycle(double val);
    void setLevelsOffset(double val);
    void setSweepEnabled(bool enabled);
    void setSweepTypeFrequency();
    void setSweepTypeAmplitude();
    void setSweepTypeDutyCycle();
    void setSweepTypeOffset();
    void setSweepDirectionRising();
    void setSweepDirectionPingPong();
    void setSweepDirectionFaling();
    void setSweepSpeed(int val);
    void setSweepStart(double val);
    void setSweepEnd(double val);

private:
    QPointer<GeneratorControls> generator;
};
