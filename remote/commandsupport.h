// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// What the instrument commands of remote/ share: the operations a command
// leaves waiting until the window has done something (a frame came, the
// meter read), setting a control as a user would and refusing what it
// cannot take, and the nearest step of a scale.

#include "core/scpi/scpisession.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QDoubleSpinBox;
class QSlider;

namespace Remote
{

// Operations that end together: when what they wait for has happened, when
// the instrument is gone, or (with a time-out) when it did not come in time.
class Waits : public QObject
{
public:
    explicit Waits(int timeoutMs = 0);
    Scpi::Operation add(Scpi::Call &call, bool holdFollowing);
    void finishAll(bool arrived = true);
    // The last wait ended without what it waited for (time-out, no instrument).
    bool missed() const { return lastMissed; }
    void forgetMissed() { lastMissed = false; }
    // Called with true when the first operation starts waiting, with false
    // when the last has ended.
    void onPending(std::function<void(bool)> hook) { pendingHook = std::move(hook); }

private:
    std::vector<Scpi::Operation> operations;
    QTimer expiry;
    bool lastMissed = false;
    std::function<void(bool)> pendingHook;
};

// The index of the step nearest to `value` (by ratio, as scales of 1-2-5
// steps are read) among `steps`, which hold positive values.
int nearestStep(const std::vector<double> &steps, double value);

// Sets a box or a slider as a user would, so that its handlers run; a
// value outside what the control takes answers -222 and changes nothing,
// a control the window has disabled answers -221.
bool setBox(Scpi::Call &call, QDoubleSpinBox *box, double value);
// `folded`: the slider is disabled only because its panel is folded away;
// a client sets it all the same (the generator's sweep before it is on).
bool setSlider(Scpi::Call &call, QSlider *slider, int value, bool folded = false);
bool check(Scpi::Call &call, QAbstractButton *button, bool on = true);

// A query's answer of a reading: NaN (nothing measured) answers 9.9E+37.
inline void replyReading(Scpi::Call &call, double value) { call.reply(Scpi::nr3(value)); }

} // namespace Remote
