// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The generator's remote commands ([:SOURce1]:..., :OUTPut1): waveform,
// frequency, amplitude, offset, duty, the frequency sweep and a user
// waveform sent as a block. Each sets the generator's control as a user
// would, so the dock follows and the settings store keeps it.

#include "core/scpi/scpisession.h"

#include <vector>

class GeneratorControls;
namespace Ui {
class VeltoInterface;
}

std::vector<Scpi::Row> generatorCommands(Ui::VeltoInterface &ui, GeneratorControls &generator);
