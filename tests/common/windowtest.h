// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// What the window suites share: every part of the window, a window on the
// virtual bench, and scope frames built by hand and handed to the display.
#include "app/appsettings.h"
#include "app/veltointerface.h"
#include "common/testsupport.h"
#include "device/devicesession.h"
#include "core/device/frames.h"
#include "device/virtual/virtualusbbackend.h"
#include "instruments/generatorcontrols.h"
#include "scope/channelcontrols.h"
#include "scope/cursorcontrols.h"
#include "scope/plotinteraction.h"
#include "scope/recordcontrols.h"
#include "scope/scopedisplay.h"
#include "scope/scopeplot.h"
#include "scope/scopestate.h"
#include "scope/fftcontrols.h"
#include "scope/triggercontrols.h"
#include "ui_veltointerface.h"

#include <qcustomplot.h>

#include <functional>

// The process talks to the virtual bench, under Velto's own identity.
void useVirtualBench();
// Attaches the bench and waits until the window shows the connection; a
// `scopeStartDelay` of 0 or more (ms) replaces the session's wait before the scope starts.
bool connectToBench(VeltoInterface &window, int scopeStartDelay = -1);
// Waits for `ticks` more drawn frames, so that what is checked was drawn after the change before it.
bool waitDrawnFrames(VeltoInterface &window, int ticks);

// A scope frame: header, the blocks of the channels in the mask, the two meter blocks.
struct FrameShape {
    uint8_t mask = Frames::Ch1 | Frames::Ch2;
    int samples = 768;
    uint16_t frameNumber = 1;
    uint8_t samplingIndex = 8;
    uint16_t rollStart = 0;
    channela_t meters[2] = {};
};
using SampleFn = std::function<int(int block, int i)>; // block 0 CH1, 1 CH2, 2 logic
QByteArray buildFrame(const FrameShape &shape, const SampleFn &sample);
// Hands `frame` to the transport as a completed read and runs one display tick.
void feed(VeltoInterface &window, const QByteArray &frame);
// Where a sample code lands on the plot with the position slider at `position`.
inline double plotY(int sample, int position = 0)
{
    return 640.0 + 1.5625 * sample + position;
}
