// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/device/configprotocol.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <initializer_list>

class QAbstractButton;
class CursorControls;
class DeviceSession;
class QComboBox;
class QWidget;
class ScopePlot;
class TriggerControls;
struct ScopeState;
namespace Ui {
class VeltoInterface;
}

// The channels of the scope: trace enables, gain, coupling, invert,
// average and math of CH1 and CH2, the logic group's bits, size and
// position, the buffer sizes, the time base with roll and elastic modes,
// and the control bytes and entries they send.
class ScopeChannels : public QObject
{
    Q_OBJECT
public:
    ScopeChannels(Ui::VeltoInterface *ui, ScopeState *state, DeviceSession *session, ScopePlot *plot,
                  TriggerControls *trigger, CursorControls *cursors, QObject *parent = nullptr);

    // The channels whose trace boxes are checked, as a frame's channel mask.
    uint8_t scopeTraceMask() const;
    int scopeCH1ControlsValue() const;
    int scopeCH2ControlsValue() const;
    int scopeCHDControlsValue() const;
    // The generator's half of entry 10 (its "save" bit).
    void setAwgSaveMode(bool on) { awgSaveMode = on; }
    // The sniffer's half of entry 10 (Single instead of Loop).
    void setSnifferSingle(bool on) { snifferSingle = on; }

    void sendCH1Controls();
    void sendCH2Controls();
    void sendCHDControls();
    // A confirmed write of a trace entry; `reply` hears the instrument's answer.
    void sendConfirmed(unsigned char index, int value, const ConfigProtocol::ConfirmedReply &reply);
    void sendCHDBitControls();
    void sendMixedControls();
    void sendChannel1GainControls(int gain);
    void sendChannel2GainControls(int gain);
    void sendSamplingRate(int index);

    void channel1TraceChanged(bool on);
    void channel2TraceChanged(bool on);
    void channelLogicTraceChanged();
    void scopeADCBufferChanged(int index);
    // The instrument's memory holds `blocks` per trace: the buffer box and the instrument take that size.
    void shrinkAcquisitionBuffer(int blocks);
    void bufferCheckMaxSize();
    static void bufferComboBoxItemChange(QComboBox *comboBox, int count);
    void channel1GainSliderChanged(int gain, bool updateButtons);
    void channel2GainSliderChanged(int gain, bool updateButtons);
    void channel1ACDCChanged(bool updateButtons);
    void channel2ACDCChanged(bool updateButtons);
    void channel1DCButtonCheck(int gain, bool ac);
    void channel2DCButtonCheck(int gain, bool ac);
    void channelPositionSliderChanged(int channel, int value, bool moveMarkers);
    void channelLogicSizeSliderChanged();
    void channelLogicPositionSliderChanged(int value);
    static void channelSetBoxTitle(QWidget *box1, QWidget *box2, int channel, int gain, bool ac);
    void refreshChannelLabels();
    // `clipped`: an input of the channel's math sat at the converter's
    // limit; `overRange`: the channel's own samples did, which a badge on
    // the legend entry says.
    void updateCh1Label(int ch1Controls, int ch2Controls, bool clipped = false, bool overRange = false);
    void updateCh2Label(int ch2Controls, int ch1Controls, bool clipped = false, bool overRange = false);
    void scopeSetSizeX(int blocks);
    void scopeRollModeChanged();
    void scopeSamplingSliderChanged(int index);
    void scopeRefreshSamplingRateLabel();

private:
    void connectControls();
    // Runs `send` whenever one of `buttons` changes state; of exclusive
    // buttons only the one switched on.
    void followState(std::initializer_list<QAbstractButton *> buttons, const std::function<void()> &send);
    void meterBoxToggled(int channel, bool checked, bool acBox);
    void quickRange(int channel, bool range24V);

    Ui::VeltoInterface *ui;
    ScopeState *state;
    DeviceSession *session;
    ScopePlot *plot;
    TriggerControls *trigger;
    CursorControls *cursors;
    bool awgSaveMode = false;
    bool snifferSingle = false;
};
