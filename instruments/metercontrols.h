// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QObject>

#include <array>

class CounterControls;
class DeviceSession;
class MultimeterDisplay;
class MultimeterDisplayOptions;
struct channela_t;
namespace Ui
{
class VeltoInterface;
}

// The "Meter" tab: its AC and DC pages, the read-outs of all three pages, the
// page change that sets the operating mode (2 AC, 3 DC, the counter's 4 to 7
// through CounterControls) and the poll that reads the meter block and shows
// it. The window owns the poll timer and runs meterRequestData on it; the
// controller says the interval it needs through pollIntervalChanged.
class MeterControls : public QObject
{
    Q_OBJECT
public:
    // `window` receives the read-outs' settings requests (callSettings) and
    // sends them applyConfigurationRequest.
    MeterControls(Ui::VeltoInterface *ui, DeviceSession *session, CounterControls *counter,
                  MultimeterDisplayOptions *options, QObject *window, QObject *parent = nullptr);

    void meterTabChanged(int page);
    // The poll: one meter read onto the current page.
    void meterRequestData();
    void clearMMLabelsCH1AC();
    void clearMMLabelsCH2AC();
    // True while the pages show the latest read; false after a failed read,
    // without a device, and after a page change until the next good read.
    bool isLive() const { return live; }

signals:
    // 0 stops the poll.
    void pollIntervalChanged(int milliseconds);
    void mainModeChanged(int mode);
    // A read is on the read-outs.
    void readShown();

private:
    void setupDisplays(MultimeterDisplayOptions *options, QObject *window);
    // The poll's answer, shown on the current page.
    void meterReadArrived(int received, const QByteArray &reply);
    std::array<MultimeterDisplay *, 6> acDisplays(int channel) const;
    QList<MultimeterDisplay *> allDisplays() const;
    void showAc(int channel, const channela_t &meter);
    void showDc(int channel, const channela_t &meter);
    // Greys the read-outs and says why while they do not show the latest read.
    void setLive(bool on, const QString &reason = QString());

    Ui::VeltoInterface *ui;
    DeviceSession *session;
    CounterControls *counter;
    bool live = true;
    // A poll's read is on its way.
    bool reading = false;
};
