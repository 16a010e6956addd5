// SPDX-License-Identifier: GPL-3.0-only
// The remote-control server with real sockets on the loopback: four
// clients at once while a fifth is refused, a query that waits for an
// operation, and each kind of bad input, after which the server still answers.
#include "remote/scpiserver.h"

#include <QtTest>
#include <QTcpSocket>

using namespace Scpi;

namespace {
const QByteArray idn = "Velto,TEST,0,1.2";

struct Rig {
    std::vector<Operation> held;
    CommandTable table{rows()};
    ScpiServer server{table};

    std::vector<Row> rows()
    {
        std::vector<Row> r = commonCommands({[] { return idn; }, {}, {}});
        r.insert(r.end(), {
            {":ECHO", Query, {}, [](Call &c) { c.reply(nr1(qint64(c.values[0].number))); }, {ParameterRule::number("", -1e9, 1e9, 0)}},
            {":LOAD", Set, {ParameterRule::of(ParameterRule::Block)}, [](Call &) {}},
            {":BIG", Query, {}, [](Call &c) { c.reply(definiteBlock(QByteArray(32 << 20, 'x'))); }},
            {":HOLD", Set, {}, [this](Call &c) { held.push_back(c.startOperation()); }},
            {":RELease", Set, {}, [this](Call &) { held.clear(); }},
        });
        return r;
    }
};

bool waitFor(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(1);
    return done();
}

struct Client {
    QTcpSocket socket;
    QByteArray got;
    bool open(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return waitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; });
    }
    // The next `lines` response messages (an empty array when they do not come).
    QByteArray take(int lines)
    {
        waitFor([&] { return (got += socket.readAll()).count('\n') >= lines; });
        int end = -1;
        for (int k = 0; k < lines && end + 1 <= got.size(); ++k)
            end = got.indexOf('\n', end + 1);
        if (end < 0)
            return {};
        const QByteArray r = got.left(end + 1);
        got.remove(0, end + 1);
        return r;
    }
    QByteArray ask(const QByteArray &message, int lines = 1)
    {
        socket.write(message);
        return take(lines);
    }
};
} // namespace

class TestScpiServer : public QObject
{
    Q_OBJECT
private slots:
    void interleavedClientsAndFifthRefused()
    {
        Rig rig;
        QVERIFY(rig.server.listen(QHostAddress::LocalHost, 0));
        Client clients[4];
        for (Client &c : clients)
            QVERIFY(c.open(rig.server.port()));
        QVERIFY(waitFor([&] { return rig.server.clientCount() == 4; }));
        Client fifth;
        fifth.socket.connectToHost(QHostAddress::LocalHost, rig.server.port());

        // Each client's messages go out in two pieces, between the other
        // clients' pieces; every answer comes back, in order.
        QElapsedTimer spent;
        spent.start();
        qint64 answered = 0;
        for (int round = 0; spent.elapsed() < 10000; ++round) {
            QByteArray expected[4];
            for (int k = 0; k < 20; ++k) {
                QByteArray messages[4];
                for (int c = 0; c < 4; ++c) {
                    const qint64 n = qint64(round) * 100 + c * 20 + k;
                    messages[c] = k % 7 == 3 ? QByteArray("*IDN?\n") : ":ECHO? " + QByteArray::number(n) + '\n';
                    expected[c] += k % 7 == 3 ? idn + '\n' : QByteArray::number(n) + '\n';
                }
                for (int half = 0; half < 2; ++half)
                    for (int c = 0; c < 4; ++c) {
                        const int cut = 1 + (k + c) % (messages[c].size() - 1);
                        clients[c].socket.write(half ? messages[c].mid(cut) : messages[c].left(cut));
                        clients[c].socket.flush();
                    }
            }
            for (int c = 0; c < 4; ++c)
                QCOMPARE(clients[c].take(20), expected[c]);
            answered += 80;
            if (round == 0)
                QVERIFY(waitFor([&] { return fifth.socket.state() == QAbstractSocket::UnconnectedState; }));
            QCOMPARE(rig.server.clientCount(), 4);
        }
        qInfo("%lld answers in 10 s", answered);
    }

    void waitingQueryHoldsOnlyItsClient()
    {
        Rig rig;
        QVERIFY(rig.server.listen(QHostAddress::LocalHost, 0));
        Client a, b;
        QVERIFY(a.open(rig.server.port()) && b.open(rig.server.port()));
        a.socket.write(":HOLD;*OPC?\n:ECHO? 1\n");
        QTest::qWait(50);
        QVERIFY(a.socket.readAll().isEmpty());
        QCOMPARE(b.ask(":ECHO? 2\n"), QByteArray("2\n"));
        b.socket.write(":REL\n"); // ends a's operation
        QCOMPARE(a.take(2), QByteArray("1\n1\n"));
    }

    void badInputChangesNothingElse()
    {
        Rig rig;
        QVERIFY(rig.server.listen(QHostAddress::LocalHost, 0));
        Client bystander;
        QVERIFY(bystander.open(rig.server.port()));
        const QByteArray noError = "+0,\"No error\"";
        const struct {
            const char *name;
            QByteArray sent;
            int error;    // what the client's error queue holds after it
            bool query;   // a failed query still answers, with nothing
            bool hangUp;  // the client goes away right after sending
            bool dropped; // the server lets go of the client
        } rows[] = {
            {"unknown header", "FOO:BAR 1\n", UndefinedHeader, false, false, false},
            {"bad suffix", ":ECHO7? 1\n", HeaderSuffixOutOfRange, true, false, false},
            {"bad number", ":ECHO? 1.5.2\n", SyntaxError, true, false, false},
            {"missing parameter", ":ECHO?\n", MissingParameter, true, false, false},
            {"unterminated block", ":LOAD #5ab\n", InvalidBlockData, false, false, false},
            {"binary junk", QByteArray::fromHex("01fe80007f3bff0a"), SyntaxError, false, false, false},
            {"overlong line", QByteArray(ScpiServer::maxMessageLength + 100, 'A'), 0, false, false, true},
            {"client gone mid-block", ":LOAD #9000000100abc", 0, false, true, true},
            {"client gone mid-answer", ":BIG?\n", 0, true, true, true},
        };
        for (const auto &row : rows) {
            Client c;
            QVERIFY(c.open(rig.server.port()));
            QVERIFY2(waitFor([&] { return rig.server.clientCount() == 2; }), row.name);
            c.socket.write(row.sent);
            if (row.hangUp) {
                QVERIFY(waitFor([&] { return c.socket.bytesToWrite() == 0; }));
                QTest::qWait(20);
                c.socket.abort();
            }
            if (row.dropped) {
                QVERIFY2(waitFor([&] { return rig.server.clientCount() == 1; }), row.name);
                continue;
            }
            const QByteArray error = nr1(row.error) + ',' + quoted(text(row.error));
            const QByteArray answers = QByteArray(row.query ? "\n" : "") + error + ';' + noError + ';' + idn + '\n';
            QCOMPARE(c.ask(":SYST:ERR?;:SYST:ERR?;*IDN?\n", 1 + row.query), answers);
        }
        QCOMPARE(bystander.ask("*IDN?;:SYST:ERR?\n"), idn + ';' + noError + '\n');
        Client fresh;
        QVERIFY(fresh.open(rig.server.port()));
        QCOMPARE(fresh.ask("*IDN?\n"), idn + '\n');
    }
};

QTEST_GUILESS_MAIN(TestScpiServer)
#include "tst_scpiserver.moc"
