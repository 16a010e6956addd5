// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The scope's remote commands: run control, channels, time base, edge
// trigger, the measurements of the scope page, the waveform of the newest
// frame and the picture of the plot. Each sets the control a user would
// set (or calls the controller's operation behind it), so the window
// follows and the settings store keeps what a client chose.

#include "core/scpi/scpisession.h"

#include <vector>

class AutosetControls;
class DeviceSession;
class RecordControls;
class ScopeDisplay;
class TriggerControls;
namespace Ui {
class VeltoInterface;
}

std::vector<Scpi::Row> scopeCommands(Ui::VeltoInterface &ui, DeviceSession &session, TriggerControls &trigger,
                                     ScopeDisplay &display, AutosetControls &autoset, RecordControls &record);
