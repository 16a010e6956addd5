// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// Remote control: the command table (the common commands, the system
// commands and the instrument's), the server that serves it, the Options
// tab's "Remote control (SCPI) on port 5025" box, and the status line's
// count of clients. Off by default; the box switches it on the loopback
// port 5025 and is remembered, the command line (and headless mode)
// switches it on at the place it names for one run.

#include "core/scpi/scpisession.h"
#include "remote/systemcommands.h"

#include <QHostAddress>
#include <QObject>

class AutosetControls;
class DeviceSession;
class GeneratorControls;
class MeasurementPanel;
class MeterControls;
class QCheckBox;
class QLabel;
class RecordControls;
class ScopeDisplay;
class ScpiServer;
class TriggerControls;
namespace Ui {
class VeltoInterface;
}

// What the commands drive: the controllers the widgets drive.
struct RemoteParts {
    Ui::VeltoInterface *ui = nullptr;
    DeviceSession *session = nullptr;
    TriggerControls *trigger = nullptr;
    ScopeDisplay *display = nullptr;
    RecordControls *record = nullptr;
    AutosetControls *autoset = nullptr;
    GeneratorControls *generator = nullptr;
    MeterControls *meter = nullptr;
    MeasurementPanel *measurements = nullptr;
    SystemParts system;
};

class RemoteControl : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 defaultPort = 5025;

    RemoteControl(const RemoteParts &parts, QObject *parent = nullptr);
    ~RemoteControl() override;

    // The box's remembered state, at start: listens once the event loop
    // runs, unless the command line has chosen a place by then.
    void setRemembered(bool on);
    bool remembered() const;
    // On at `address`:`port` for this run, whatever the box says. False
    // (logged and said on the status line) when it cannot listen there.
    bool listenAt(const QHostAddress &address, quint16 port);

    ScpiServer *server() const { return scpiServer; }
    const Scpi::CommandTable &commands() const { return table; }

signals:
    void statusText(const QString &text);

private:
    void boxToggled(bool on);
    bool listen(const QHostAddress &address, quint16 port);
    void showClients(int count);

    Scpi::CommandTable table;
    ScpiServer *scpiServer = nullptr;
    QCheckBox *box = nullptr;
    QLabel *clientsLabel = nullptr;
    QLabel *noteLabel = nullptr; // open to the network, or off for want of its port
    bool fromCommandLine = false;
    bool userChoice = false; // the box as the user left it, which is remembered
};
