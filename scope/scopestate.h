// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// What the scope's controllers share, kept by them and read by the display
// tick instead of the widgets: the frame's size, the zero levels of the three
// traces, the redraw request, and the settings record of the controls.

#include <array>

struct ScopeSettingsRecord {
    bool ch1Trace = true;
    bool ch2Trace = true;
    bool logicTrace = true;
    std::array<bool, 8> logicBits{{true, true, true, true, true, true, true, true}};
    int ch1Position = 0;
    int ch2Position = 0;
    // Math of each channel with the other (math box, subtract or multiply),
    // computed here from both channels' volts.
    bool ch1Math = false;
    bool ch1Subtract = false;
    bool ch1Multiply = false;
    bool ch2Math = false;
    bool ch2Subtract = false;
    bool ch2Multiply = false;
    int logicPosition = 0;
    int logicSize = 0;
    int bufferIndex = 0;
    int samplingIndex = 0;
    bool rollMode = false;
    bool rollEnabled = true;
    bool xyMode = false;
    bool meterOnDevice = false;
    bool persistence = false;
    int decay = 0;
    bool horizontalCursors = false;
    int cursorType = 0;
    int cursorChannel = 0;
    bool referenceCh1 = false;
    bool referenceCh2 = false;
    bool referenceLogic = false;
    int ch1Capture = 0;
    int ch2Capture = 0;
    int logicCapture = 0;
    bool spectrum = false;
    bool spectrumIq = false;
    bool spectrumCh1 = true;
    bool spectrumCh2 = true;
    bool spectrumLogY = false;
};

struct ScopeState {
    // Samples per channel of the frame on screen: a multiple of 256.
    int samplesPerChannel = 768;
    // Zero levels of CH1, CH2 and the logic group in plot units: 640 + the position slider.
    int zeroLevel[3] = {640 - 120, 640, 640 + 8};
    // The picture changed without new data: the next tick redraws the cached frame.
    bool redrawRequested = false;
    // Traces that moved (bit 0 CH1, 1 CH2, 2 the logic group): their
    // persistence picture starts again from the live trace.
    unsigned persistenceRestart = 0;
    ScopeSettingsRecord settings;
};
