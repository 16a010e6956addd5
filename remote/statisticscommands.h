// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The statistics of the measurement panel over the frames since its last
// reset: :MEASure:STATistics:CURRent? MINimum? MAXimum? MEAN? DEViation?
// COUNt? of a measurement and its source, and :MEASure:STATistics:RESet.
// A measurement the panel does not show yet is added to it, as a user
// would add the row; its statistics start with the next frame.

#include "core/scpi/scpisession.h"

#include <vector>

class MeasurementPanel;

std::vector<Scpi::Row> statisticsCommands(MeasurementPanel &panel);
