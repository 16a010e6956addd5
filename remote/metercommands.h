// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The meter's and counter's remote commands. A query switches the Meter
// tab to the page and type it reads (as a click on them does, so the
// instrument changes its operating mode), waits for the next read the page
// shows, and answers what the read-out shows. The scope answers
// :MEASure:FREQuency? and :MEASure:PERiod? from its frames; the counter's
// frequency and period are :COUNter:FREQuency? and :COUNter:PERiod?.

#include "core/scpi/scpisession.h"

#include <vector>

class DeviceSession;
class MeterControls;
namespace Ui {
class VeltoInterface;
}

std::vector<Scpi::Row> meterCommands(Ui::VeltoInterface &ui, DeviceSession &session, MeterControls &meter);
