// SPDX-License-Identifier: GPL-3.0-only
#include "remote/commandsupport.h"

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QSlider>

#include <cmath>

namespace Remote
{

Waits::Waits(int timeoutMs)
{
    expiry.setSingleShot(true);
    expiry.setInterval(timeoutMs);
    connect(&expiry, &QTimer::timeout, this, [this] { finishAll(false); });
}

Scpi::Operation Waits::add(Scpi::Call &call, bool holdFollowing)
{
    operations.push_back(call.startOperation(holdFollowing));
    if (operations.size() == 1 && pendingHook)
        pendingHook(true);
    if (expiry.interval() > 0 && !expiry.isActive())
        expiry.start();
    return operations.back();
}

void Waits::finishAll(bool arrived)
{
    expiry.stop();
    if (operations.empty())
        return;
    lastMissed = !arrived;
    // Finishing may let a session run on, which may add a new wait: the
    // list is emptied before.
    std::vector<Scpi::Operation> ending;
    ending.swap(operations);
    if (pendingHook)
        pendingHook(false);
    for (Scpi::Operation &op : ending)
        op.finish();
}

int nearestStep(const std::vector<double> &steps, double value)
{
    int best = 0;
    for (int k = 1; k < int(steps.size()); ++k)
        if (std::fabs(std::log(value / steps[size_t(k)])) < std::fabs(std::log(value / steps[size_t(best)])))
            best = k;
    return best;
}

bool setBox(Scpi::Call &call, QDoubleSpinBox *box, double value)
{
    if (!box->isEnabled()) {
        call.fail(Scpi::SettingsConflict);
        return false;
    }
    // The box's own rounding: a value that rounds into its range is in it.
    const double shown = QString::number(value, 'f', box->decimals()).toDouble();
    if (shown < box->minimum() || shown > box->maximum()) {
        call.fail(Scpi::DataOutOfRange);
        return false;
    }
    box->setValue(value);
    return true;
}

bool setSlider(Scpi::Call &call, QSlider *slider, int value, bool folded)
{
    if (!slider->isEnabled() && !folded) {
        call.fail(Scpi::SettingsConflict);
        return false;
    }
    if (value < slider->minimum() || value > slider->maximum()) {
        call.fail(Scpi::DataOutOfRange);
        return false;
    }
    slider->setValue(value);
    return true;
}

bool check(Scpi::Call &call, QAbstractButton *button, bool on)
{
    if (!button->isEnabled()) {
        call.fail(Scpi::SettingsConflict);
        return false;
    }
    button->setChecked(on);
    return true;
}

} // namespace Remote
