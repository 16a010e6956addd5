// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include "core/instruments/meterreadings.h"

#include <QObject>

#include <cstdint>

class DeviceSession;
class MultimeterDisplay;
class TriggerControls;
namespace Ui
{
class VeltoInterface;
}

// The "Frequency counter" page of the meter: the counter's type (operating
// modes 4 to 7), its source (entry 8) and gate (entry 9) inputs, fast mode
// and gate width (entry 11), pulse counting's Start and Stop, and its five
// read-outs. The window owns the poll timer; the controller says the
// interval it needs through pollIntervalChanged.
class CounterControls : public QObject
{
    Q_OBJECT
public:
    CounterControls(Ui::VeltoInterface *ui, DeviceSession *session, TriggerControls *trigger,
                    QObject *parent = nullptr);

    // The first checked type button in the order the poll tests them;
    // false when none is checked.
    bool counterType(MeterReadings::CounterType &type) const;
    void meterFrequencyModeChanged();
    void sendTriggerSource();
    void sendGateSource();
    void sendMeterFrequencyControl();
    void counterStart();
    void counterStop();
    void counterButtonEnable(bool enable);
    void clearMMLabelsFreq();
    // One poll's counts on the read-outs of the checked type.
    void showCounts(uint32_t c1, uint32_t c2);

signals:
    // 0 stops the poll.
    void pollIntervalChanged(int milliseconds);
    void mainModeChanged(int mode);

private:
    // The first checked of the ten input buttons whose names end in `suffix`
    // ("" for the source, "_2" for the gate), as 0…7, 10 or 11; -1 when none is.
    int checkedInput(const QString &suffix) const;
    QList<MultimeterDisplay *> displays() const;
    // `value` at the digits a frequency gate supports when `significant` is
    // above 0, else at `shown`, the read-out's own; `accuracy` is absolute.
    static void showWithDigits(MultimeterDisplay *display, double value, int significant,
                               MeterReadings::ShownDigits shown, double accuracy);
    // The counter page is the one shown, in the meter tab.
    bool pageInUse() const;
    // External gate: the count of the last complete gate, or a dash until
    // one is known, the tooltip saying which; a new input or type starts over.
    void showGateCount();
    void restartGateCount();

    Ui::VeltoInterface *ui;
    DeviceSession *session;
    TriggerControls *trigger;
    // The operating mode of the type last applied.
    int mode = 4;
    MeterReadings::GateCounts gate;
};
