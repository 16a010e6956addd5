// SPDX-License-Identifier: GPL-3.0-only
#include "console/pythonveltoobjectawg.h"

#include "console/pythonveltoobject.h"
#include "instruments/generatorcontrols.h"

#include <cmath>

// Each slot is what the generator's own control does; without a generator
// (the window is gone) a call does nothing.
#define VELTO_FORWARD(call)                                                                                            \
    if (generator)                                                                                                     \
        generator->call;

QObject *PythonVeltoObjectAWG::findChild(QObject *o, QString name)
{
    return findDescendant(o, name);
}

void PythonVeltoObjectAWG::setWaveformSquare() { VELTO_FORWARD(clickRadioButtonSquare()) }
void PythonVeltoObjectAWG::setWaveformSine() { VELTO_FORWARD(clickRadioButtonSine()) }
void PythonVeltoObjectAWG::setWaveformExpo() { VELTO_FORWARD(clickRadioButtonExpo()) }
void PythonVeltoObjectAWG::setWaveformTriangle() { VELTO_FORWARD(clickRadioButtonTriangle()) }
void PythonVeltoObjectAWG::setWaveformConstant() { VELTO_FORWARD(clickRadioButtonConstant()) }
void PythonVeltoObjectAWG::setWaveformCustom() { VELTO_FORWARD(clickRadioButtonCustom()) }
void PythonVeltoObjectAWG::setWaveformWhiteNoise() { VELTO_FORWARD(clickRadioButtonWhiteNoise()) }
void PythonVeltoObjectAWG::setWaveformPinkNoise() { VELTO_FORWARD(clickRadioButtonPinkNoise()) }
void PythonVeltoObjectAWG::setFrequency(double f) { VELTO_FORWARD(setAwgFrequency(f)) }
void PythonVeltoObjectAWG::setLevelsAmplitude(double val) { VELTO_FORWARD(setAwgLevelsAmplitude(val)) }
void PythonVeltoObjectAWG::setLevelsDutyCycle(double val) { VELTO_FORWARD(setAwgLevelsDutyCycle(val)) }
void PythonVeltoObjectAWG::setLevelsOffset(double val) { VELTO_FORWARD(setAwgLevelsOffset(val)) }
void PythonVeltoObjectAWG::setSweepEnabled(bool enabled) { VELTO_FORWARD(setAwgSweepEnabled(enabled)) }
void PythonVeltoObjectAWG::setSweepTypeFrequency() { VELTO_FORWARD(clickRadioButtonSweepFrequency()) }
void PythonVeltoObjectAWG::setSweepTypeAmplitude() { VELTO_FORWARD(clickRadioButtonSweepAmplitude()) }
void PythonVeltoObjectAWG::setSweepTypeDutyCycle() { VELTO_FORWARD(clickRadioButtonSweepDutyCycle()) }
void PythonVeltoObjectAWG::setSweepTypeOffset() { VELTO_FORWARD(clickRadioButtonSweepOffset()) }
void PythonVeltoObjectAWG::setSweepDirectionRising() { VELTO_FORWARD(clickRadioButtonSweepDirectionRising()) }
void PythonVeltoObjectAWG::setSweepDirectionPingPong() { VELTO_FORWARD(clickRadioButtonSweepDirectionPingPong()) }
void PythonVeltoObjectAWG::setSweepDirectionFaling() { VELTO_FORWARD(clickRadioButtonSweepDirectionFaling()) }
void PythonVeltoObjectAWG::setSweepSpeed(int val) { VELTO_FORWARD(setAwgSweepSpeed(val)) }
void PythonVeltoObjectAWG::setSweepStart(double val) { VELTO_FORWARD(setAwgSweepStart(val)) }
void PythonVeltoObjectAWG::setSweepEnd(double val) { VELTO_FORWARD(setAwgSweepEnd(val)) }
