// SPDX-License-Identifier: GPL-3.0-only
#include "remote/remotecontrol.h"

#include "base/logging.h"
#include "remote/generatorcommands.h"
#include "remote/metercommands.h"
#include "remote/scopecommands.h"
#include "remote/statisticscommands.h"
#include "remote/scpiserver.h"
#include "ui_veltointerface.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace
{
// Every command the server knows, in one place.
std::vector<Scpi::Row> allCommands(const RemoteParts &parts)
{
    std::vector<Scpi::Row> rows = Scpi::commonCommands(systemHooks(parts.system));
    const auto append = [&rows](std::vector<Scpi::Row> more) {
        rows.insert(rows.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    };
    append(systemCommands(parts.system));
    // The instrument's subsystems, each from the controllers it drives.
    append(scopeCommands(*parts.ui, *parts.session, *parts.trigger, *parts.display, *parts.autoset,
                         *parts.record));
    append(generatorCommands(*parts.ui, *parts.generator));
    append(meterCommands(*parts.ui, *parts.session, *parts.meter));
    append(statisticsCommands(*parts.measurements));
    return rows;
}
} // namespace

RemoteControl::RemoteControl(const RemoteParts &parts, QObject *parent)
    : QObject(parent), table(allCommands(parts)), scpiServer(new ScpiServer(table, this))
{
    Ui::VeltoInterface *ui = parts.ui;
    auto *group = new QGroupBox(tr("Remote control"), ui->optionsTab);
    group->setObjectName(QStringLiteral("groupBoxRemoteControl"));
    auto *layout = new QVBoxLayout(group);
    box = new QCheckBox(tr("Remote control (SCPI) on port %1").arg(defaultPort), group);
    box->setObjectName(QStringLiteral("checkBoxRemoteControl"));
    box->setToolTip(tr("Test programs on this computer drive Velto like a bench instrument: "
                       "SCPI commands over TCP on 127.0.0.1, port %1")
                        .arg(defaultPort));
    layout->addWidget(box);
    // Above the tab's closing spacer.
    ui->layout_optionsTab->insertWidget(qMax(0, ui->layout_optionsTab->count() - 1), group);
    connect(box, &QCheckBox::toggled, this, &RemoteControl::boxToggled);

    clientsLabel = new QLabel(ui->statusBar);
    clientsLabel->setObjectName(QStringLiteral("scpiClientsLabel"));
    noteLabel = new QLabel(ui->statusBar);
    noteLabel->setObjectName(QStringLiteral("scpiNoteLabel"));
    noteLabel->setStyleSheet(QStringLiteral("QLabel { color: #e0a020; }"));
    ui->statusBar->addPermanentWidget(noteLabel);
    ui->statusBar->addPermanentWidget(clientsLabel);
    clientsLabel->hide();
    noteLabel->hide();
    connect(scpiServer, &ScpiServer::clientCountChanged, this, &RemoteControl::showClients);
}

RemoteControl::~RemoteControl() = default;

void RemoteControl::setRemembered(bool on)
{
    userChoice = on;
    const QSignalBlocker quiet(box);
    box->setChecked(on);
    if (on)
        QTimer::singleShot(0, this, [this] {
            if (!fromCommandLine && box->isChecked() && !scpiServer->isListening())
                boxToggled(true);
        });
}

bool RemoteControl::remembered() const
{
    return userChoice;
}

bool RemoteControl::listenAt(const QHostAddress &address, quint16 port)
{
    fromCommandLine = true;
    {
        const QSignalBlocker quiet(box);
        box->setChecked(true);
    }
    box->setEnabled(false);
    box->setToolTip(tr("On for this run at the place the command line named"));
    return listen(address, port);
}

void RemoteControl::boxToggled(bool on)
{
    userChoice = on;
    if (!on) {
        scpiServer->close();
        noteLabel->clear();
        showClients(0);
        return;
    }
    if (!listen(QHostAddress(QHostAddress::LocalHost), defaultPort)) {
        const QSignalBlocker quiet(box);
        // Still remembered: the next start tries again.
        box->setChecked(false);
    }
}

bool RemoteControl::listen(const QHostAddress &address, quint16 port)
{
    const bool ok = scpiServer->listen(address, port);
    // What the status line keeps saying after the message of the moment has gone.
    if (!ok) {
        noteLabel->setText(tr("SCPI off: cannot listen on port %1 (%2)").arg(port).arg(scpiServer->errorString()));
        noteLabel->setToolTip(tr("Another program (or another Velto) may be using the port"));
    } else if (!address.isLoopback()) {
        const QString where = QStringLiteral("%1:%2").arg(address.toString()).arg(scpiServer->port());
        noteLabel->setText(QStringLiteral("SCPI open to the network on %1").arg(where));
        noteLabel->setToolTip(tr("Any computer that reaches this one may drive the instrument"));
    } else {
        noteLabel->clear();
    }
    if (!noteLabel->text().isEmpty())
        emit statusText(noteLabel->text());
    showClients(scpiServer->clientCount());
    return ok;
}

void RemoteControl::showClients(int count)
{
    const bool on = scpiServer->isListening();
    clientsLabel->setText(QStringLiteral("SCPI: %1 clients").arg(count));
    clientsLabel->setToolTip(on ? tr("Remote control listens on %1, port %2")
                                      .arg(scpiServer->address().toString())
                                      .arg(scpiServer->port())
                                : QString());
    clientsLabel->setVisible(on);
    noteLabel->setVisible(!noteLabel->text().isEmpty());
}
