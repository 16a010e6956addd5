// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The command table and the dispatcher: one row per command (its header
// pattern, whether it is set, queried or both, the parameters it takes and
// its handler), and a session per client that runs program messages
// against the table, answers the queries with one response message, keeps
// the error queue and the status registers, and waits for pending
// operations where a command asks it to (*WAI, *OPC?). A new command is one
// row and a handler; the common commands are rows like any other
// (commonCommands), the instrument's identity and reset come through hooks.

#include "core/scpi/scpiparser.h"

#include <deque>
#include <functional>
#include <memory>

namespace Scpi
{

// What a row's handler gets for one parameter, already checked against its
// ParameterRule: a number in the unit's own measure (volts, seconds, hertz, 2.5KHZ
// as 2500), MIN/MAX/DEF replaced by the ParameterRule's values; a boolean; the index
// of the word matched among a choice's words, with its suffix (1 when none
// was sent); a string's or a block's bytes.
struct Value {
    bool present = false;
    double number = 0;
    bool on = false;
    int choice = -1;
    int suffix = 1;
    QByteArray bytes;
};

// A parameter a row takes. A number's unit is in upper case ("HZ", "V",
// "S"; empty for none): it may be sent with one of the prefixes EX PE T G MA
// K M U N P F A before it, or without any unit; M before HZ is mega, as
// bench instruments read "MHZ". A choice lists its words as headers are
// written ("POSitive", "CHANnel#", where # takes a suffix).
struct ParameterRule {
    enum Kind { Number, Boolean, Choice, String, Block } kind = Number;
    QByteArray unit;
    double minimum = 0, maximum = 0, byDefault = 0;
    std::vector<const char *> words;
    bool optional = false;

    static ParameterRule number(const char *unit, double minimum, double maximum, double byDefault)
    {
        ParameterRule s;
        s.unit = unit;
        s.minimum = minimum;
        s.maximum = maximum;
        s.byDefault = byDefault;
        return s;
    }
    static ParameterRule of(Kind kind, std::vector<const char *> words = {})
    {
        ParameterRule s;
        s.kind = kind;
        s.words = std::move(words);
        return s;
    }
    ParameterRule orNone() const
    {
        ParameterRule s = *this;
        s.optional = true;
        return s;
    }
};

class Session;

// An operation a command started and that ends later (an acquisition, a
// sweep): *OPC sets its bit, *OPC? answers and *WAI goes on once every
// operation of the session has finished. It finishes by finish() or when
// the last copy of it is destroyed, so a controller that drops it cannot
// leave a client waiting; a session gone before it does not mind.
class Operation
{
public:
    void finish();
    struct State;

private:
    friend class Call;
    std::shared_ptr<State> state;
};

// One command on its way to its handler.
class Call
{
public:
    Call(Session &session, const Command &command) : session(session), query(command.query), command(command) {}
    Session &session;
    const bool query;
    std::vector<int> suffixes; // of the header's # nodes, in order; 1 where none was sent or a node was left out
    std::vector<Value> values; // one per ParameterRule of the row, the absent optional ones included

    // Adds data to the query's answer; several are separated by commas.
    void reply(const QByteArray &data);
    // Queues an error; a query that fails without a reply answers empty.
    void fail(int code);
    // Starts an operation; with holdFollowing the rest of the message
    // waits for it, as the following commands need its result.
    Operation startOperation(bool holdFollowing = false);
    // The command runs again, from its start, once the operations started
    // so far have finished (a query whose value the instrument has yet to
    // read); what it answered this time is dropped. A handler asks for it
    // only while the wait can change what it finds, or it never ends.
    void runAgainAfterOperations() { again = true; }

private:
    friend class Session;
    const Command &command;
    QByteArray answer;
    bool answered = false;
    bool hold = false;
    bool again = false;
};

using Handler = std::function<void(Call &)>;
enum Form { Set = 1, Query = 2, SetAndQuery = 3 };

// A header pattern is written as the documents write it: ":CHANnel#:SCALe",
// "[:SOURce#]:FREQuency", ":SYSTem:ERRor[:NEXT]", "*ESE"; the upper-case
// letters are the short form. A # node takes a suffix from 1 to maxSuffix.
struct Row {
    const char *header;
    Form form;
    std::vector<ParameterRule> parameters; // of the set form
    Handler handler;
    std::vector<ParameterRule> queryParameters = {};
    int maxSuffix = 1;
    bool afterPending = false; // runs once the session's operations have finished
};

class CommandTable
{
public:
    explicit CommandTable(const std::vector<Row> &rows = {});
    void add(const Row &row);

    struct PatternNode {
        QByteArray shortForm, longForm;
        bool optional = false;
        bool suffix = false;
    };
    struct Entry {
        Row row;
        bool common = false;
        std::vector<PatternNode> nodes;
    };
    const std::vector<Entry> &entries() const { return table; }

private:
    std::vector<Entry> table;
};

// What the common commands need of the instrument. identify answers the
// four fields of *IDN?; reset returns the settings to their defaults;
// selfTest answers *TST? (0 when not set: nothing failed).
struct Hooks {
    std::function<QByteArray()> identify;
    std::function<void()> reset;
    std::function<int()> selfTest;
};
// *CLS *ESE *ESR? *IDN? *OPC *OPC? *RST *SRE *STB? *TST? *WAI,
// :SYSTem:ERRor[:NEXT]? and :SYSTem:VERSion?.
std::vector<Row> commonCommands(const Hooks &hooks);

class Session
{
public:
    explicit Session(const CommandTable &table);

    // Runs one program message. False while it waits for operations to
    // finish; the ready handler is then called once they have, and resume()
    // goes on. A message run while another waits discards the waiting one
    // (-410 when it was to answer a query).
    bool execute(const QByteArray &message);
    bool resume();
    bool waiting() const;
    // The response message of the last message run to its end, with its
    // line feed; empty when it asked nothing.
    QByteArray takeResponse();
    // Called when the operations a waiting message waits for have finished,
    // from within Operation::finish: the caller should resume() later, not
    // from inside it.
    void setReadyHandler(std::function<void()> ready);

    static constexpr int queueDepth = 30;
    // Queues an error and sets its class's bit in the event status register.
    void pushError(int code);
    // The oldest entry, removed: code,"text"; +0,"No error" when empty.
    QByteArray popError();
    int errorCount() const { return int(errors.size()); }
    void clearStatus(); // *CLS

    // The event status register's bits and the status byte's.
    enum : int { OperationComplete = 1, QueryErrorBit = 4, DeviceErrorBit = 8, ExecutionErrorBit = 16, CommandErrorBit = 32 };
    enum : int { ErrorQueueBit = 4, MessageBit = 16, EventBit = 32, ServiceBit = 64 };
    int eventStatus() const;
    int takeEventStatus(); // *ESR?: read and cleared
    int eventEnable = 0;   // *ESE
    int serviceEnable = 0; // *SRE
    int statusByte() const;
    int pendingOperations() const;
    void completeOperations(); // *OPC: the bit is set once none is pending

    struct Shared;

private:
    friend class Call;
    bool run();
    void error(int code, const Command &command);
    void answer(const QByteArray &element);

    const CommandTable &table;
    std::shared_ptr<Shared> shared;
    std::deque<int> errors;
    std::vector<Command> commands;
    size_t next = 0;
    int answers = 0;
    int errorsLogged = 0;
    QByteArray response;
};

} // namespace Scpi
