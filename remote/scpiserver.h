// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The remote-control server: clients connect over TCP and send program
// messages ended by line feeds; each gets a session of its own on one
// command table. Everything runs on the thread that owns the server (the
// window's), so a handler calls the controllers as a widget does. Messages
// run one at a time in the order they came, whichever client sent them; a
// message that waits for an operation (an acquisition) holds back only its
// own client's later messages, and goes on from the event loop once the
// operation has finished.

#include "core/scpi/scpisession.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <deque>
#include <map>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

class ScpiServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxClients = 4;
    static constexpr int maxMessageLength = 1 << 20;
    // A client that does not read its answers is not given more work while
    // this much waits to be sent to it.
    static constexpr qint64 maxUnsent = 16 << 20;

    explicit ScpiServer(const Scpi::CommandTable &table, QObject *parent = nullptr);
    ~ScpiServer() override;

    // Listens on `address`:`port` (port 0: one the system picks), closing
    // whatever listened before. False, with errorString() and a log line,
    // when the address cannot be taken.
    bool listen(const QHostAddress &address, quint16 port);
    void close();
    bool isListening() const;
    QHostAddress address() const;
    quint16 port() const;
    QString errorString() const;
    int clientCount() const { return int(clients.size()); }
    // Goes on with the sessions whose operations have finished. It runs
    // from the event loop by itself; the window also calls it at the end of
    // its display tick, so that a client waiting for a frame has its answer
    // before the plot is painted rather than after.
    void resumeReady();

signals:
    void clientCountChanged(int count);

private:
    struct Client {
        quint64 id = 0;
        QPointer<QTcpSocket> socket;
        QString peer;
        Scpi::Framer framer{maxMessageLength};
        std::unique_ptr<Scpi::Session> session;
    };
    struct Pending {
        quint64 client;
        QByteArray message;
    };

    void acceptConnections();
    void readFrom(quint64 id);
    void schedulePump();
    void pump();
    void postResume();
    void resume(quint64 id);
    void send(Client &client);
    void drop(quint64 id, const QString &why);
    Client *find(quint64 id);

    const Scpi::CommandTable &table;
    QTcpServer *server;
    std::map<quint64, std::unique_ptr<Client>> clients;
    std::deque<Pending> queue; // every client's messages in arrival order
    quint64 nextId = 1;
    bool pumpScheduled = false;
    bool pumping = false;
    std::vector<quint64> ready; // sessions whose operations have finished
    bool resumePosted = false;
};
