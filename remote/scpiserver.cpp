// SPDX-License-Identifier: GPL-3.0-only
#include "remote/scpiserver.h"

#include "base/logging.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace
{
QString endpoint(const QHostAddress &address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol ? QStringLiteral("[%1]").arg(address.toString())
                                                                              : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

// How long one pass over the queue may hold the event loop before the
// window gets its turn.
constexpr int pumpSliceMs = 10;
} // namespace

ScpiServer::ScpiServer(const Scpi::CommandTable &table, QObject *parent)
    : QObject(parent), table(table), server(new QTcpServer(this))
{
    connect(server, &QTcpServer::newConnection, this, &ScpiServer::acceptConnections);
}

ScpiServer::~ScpiServer()
{
    // The clients' sockets are children of this object and go with it;
    // their signals must not reach a half-destroyed server.
    for (auto &[id, client] : clients)
        if (client->socket)
            client->socket->disconnect(this);
}

bool ScpiServer::listen(const QHostAddress &address, quint16 port)
{
    close();
    if (!server->listen(address, port)) {
        VELTO_LOG(QStringLiteral("SCPI: cannot listen on %1: %2; remote control is off")
                      .arg(endpoint(address, port), server->errorString()),
                  2);
        return false;
    }
    const QString where = endpoint(server->serverAddress(), server->serverPort());
    VELTO_LOG(QStringLiteral("SCPI: listening on %1").arg(where), 1);
    if (!address.isLoopback())
        VELTO_LOG(QStringLiteral("SCPI open to the network on %1").arg(where), 2);
    return true;
}

void ScpiServer::close()
{
    if (server->isListening())
        VELTO_LOG(QStringLiteral("SCPI: no longer listening on %1").arg(endpoint(server->serverAddress(), server->serverPort())), 1);
    server->close();
    while (!clients.empty())
        drop(clients.begin()->first, QStringLiteral("the server was switched off"));
}

bool ScpiServer::isListening() const { return server->isListening(); }

QHostAddress ScpiServer::address() const { return server->serverAddress(); }

quint16 ScpiServer::port() const { return server->serverPort(); }

QString ScpiServer::errorString() const { return server->errorString(); }

ScpiServer::Client *ScpiServer::find(quint64 id)
{
    const auto it = clients.find(id);
    return it == clients.end() ? nullptr : it->second.get();
}

void ScpiServer::acceptConnections()
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        const QString peer = endpoint(socket->peerAddress(), socket->peerPort());
        if (int(clients.size()) >= maxClients) {
            VELTO_LOG(QStringLiteral("SCPI: client %1 refused: %2 clients are connected, the most served at once")
                          .arg(peer)
                          .arg(maxClients),
                      2);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto client = std::make_unique<Client>();
        const quint64 id = nextId++;
        client->id = id;
        client->socket = socket;
        client->peer = peer;
        client->session = std::make_unique<Scpi::Session>(table);
        // The ready handler is called from inside an operation's finish,
        // which may be deep in a controller: the session goes on later.
        client->session->setReadyHandler([this, id] {
            ready.push_back(id);
            postResume();
        });
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
        connect(socket, &QTcpSocket::bytesWritten, this, &ScpiServer::schedulePump);
        connect(socket, &QTcpSocket::disconnected, this, [this, id] {
            const Client *c = find(id);
            if (!c)
                return;
            if (c->framer.pending() > 0)
                drop(id, QStringLiteral("gone in the middle of a message"));
            else if (c->socket && c->socket->bytesToWrite() > 0)
                drop(id, QStringLiteral("gone in the middle of an answer"));
            else
                drop(id, QString());
        });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, id](QAbstractSocket::SocketError error) {
            // A plain close arrives as disconnected too.
            if (error != QAbstractSocket::RemoteHostClosedError)
                if (const Client *c = find(id))
                    drop(id, c->socket ? c->socket->errorString() : QString());
        });
        clients.emplace(id, std::move(client));
        VELTO_LOG(QStringLiteral("SCPI: client %1 connected (%2 of %3)").arg(peer).arg(clients.size()).arg(maxClients), 1);
        emit clientCountChanged(clientCount());
        // Bytes may have come with the connection.
        if (socket->bytesAvailable() > 0)
            readFrom(id);
    }
}

void ScpiServer::readFrom(quint64 id)
{
    Client *c = find(id);
    if (!c || !c->socket)
        return;
    // In slices, so that a client sending without line feeds is caught at
    // the limit and not after everything it sent has been held in memory.
    while (c->socket->bytesAvailable() > 0) {
        c->framer.feed(c->socket->read(64 * 1024));
        QByteArray message;
        for (Scpi::Framer::Result r; (r = c->framer.next(message)) != Scpi::Framer::NeedMore;) {
            if (r == Scpi::Framer::TooLong) {
                c->session->pushError(Scpi::QueryUnterminated);
                drop(id, QStringLiteral("a message of more than %1 bytes without its line feed").arg(maxMessageLength));
                return;
            }
            queue.push_back({id, message});
        }
    }
    pump();
}

void ScpiServer::schedulePump()
{
    if (pumpScheduled)
        return;
    pumpScheduled = true;
    QTimer::singleShot(0, this, &ScpiServer::pump);
}

void ScpiServer::pump()
{
    // A handler that lets events through must not start a second pass.
    if (pumping)
        return schedulePump();
    pumping = true;
    pumpScheduled = false;
    QElapsedTimer slice;
    slice.start();
    for (;;) {
        // The oldest message of a client that may go on: one waiting for an
        // operation, or with much unread, holds back only its own.
        auto it = queue.begin();
        Client *c = nullptr;
        while (it != queue.end()) {
            c = find(it->client);
            if (!c || !c->socket) {
                it = queue.erase(it);
                continue;
            }
            if (!c->session->waiting() && c->socket->bytesToWrite() <= maxUnsent)
                break;
            ++it;
        }
        if (it == queue.end())
            break;
        if (slice.elapsed() >= pumpSliceMs) {
            schedulePump();
            break;
        }
        const quint64 id = it->client;
        const QByteArray message = std::move(it->message);
        queue.erase(it);
        const bool done = c->session->execute(message);
        if (done && (c = find(id)))
            send(*c);
    }
    pumping = false;
}

void ScpiServer::postResume()
{
    if (resumePosted)
        return;
    resumePosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            resumePosted = false;
            resumeReady();
        },
        Qt::QueuedConnection);
}

void ScpiServer::resumeReady()
{
    if (ready.empty())
        return;
    // Not inside a pass over the queue (a handler that lets events
    // through): the pass would run twice.
    if (pumping)
        return postResume();
    std::vector<quint64> now;
    now.swap(ready);
    for (const quint64 id : now)
        resume(id);
}

void ScpiServer::resume(quint64 id)
{
    Client *c = find(id);
    if (!c || !c->session->resume())
        return;
    send(*c);
    pump();
}

void ScpiServer::send(Client &client)
{
    const QByteArray response = client.session->takeResponse();
    if (!response.isEmpty() && client.socket && client.socket->state() == QAbstractSocket::ConnectedState) {
        client.socket->write(response);
        // Out now, not when the event loop next comes round to the socket:
        // that may be after a draw of the plot.
        client.socket->flush();
    }
}

void ScpiServer::drop(quint64 id, const QString &why)
{
    const auto it = clients.find(id);
    if (it == clients.end())
        return;
    std::unique_ptr<Client> client = std::move(it->second);
    clients.erase(it);
    if (why.isEmpty())
        VELTO_LOG(QStringLiteral("SCPI: client %1 disconnected").arg(client->peer), 1);
    else
        VELTO_LOG(QStringLiteral("SCPI: client %1 dropped: %2").arg(client->peer, why), 2);
    if (client->socket) {
        client->socket->disconnect(this);
        client->socket->abort();
        client->socket->deleteLater();
    }
    emit clientCountChanged(clientCount());
}
