// SPDX-License-Identifier: GPL-3.0-only
#include "core/scpi/scpisession.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace Scpi
{

// What a session shares with the operations it started, which may outlive it.
struct Session::Shared {
    int pending = 0;
    bool opcArmed = false;
    bool waiting = false;
    int eventStatus = 0;
    std::function<void()> ready;

    void finished()
    {
        if (--pending > 0)
            return;
        if (opcArmed)
            eventStatus |= OperationComplete;
        opcArmed = false;
        if (waiting && ready)
            ready();
    }
};

struct Operation::State {
    std::weak_ptr<Session::Shared> owner;
    bool done = false;
    void finish()
    {
        if (done)
            return;
        done = true;
        if (const auto shared = owner.lock())
            shared->finished();
    }
    ~State() { finish(); }
};

void Operation::finish()
{
    if (state)
        state->finish();
}

void Call::reply(const QByteArray &data)
{
    if (answered)
        answer += ',';
    answer += data;
    answered = true;
}

void Call::fail(int code) { session.error(code, command); }

Operation Call::startOperation(bool holdFollowing)
{
    Operation op;
    op.state = std::make_shared<Operation::State>();
    op.state->owner = session.shared;
    ++session.shared->pending;
    hold = hold || holdFollowing;
    return op;
}

namespace
{
// "CHANnel#" -> CHAN, CHANNEL, with a suffix.
CommandTable::PatternNode patternNode(const QByteArray &written)
{
    CommandTable::PatternNode n;
    n.suffix = written.endsWith('#');
    n.longForm = written.left(written.size() - (n.suffix ? 1 : 0));
    for (const char c : n.longForm)
        if (c >= 'A' && c <= 'Z')
            n.shortForm += c;
    n.longForm = n.longForm.toUpper();
    return n;
}

bool names(const CommandTable::PatternNode &p, const Node &n) { return n.mnemonic == p.shortForm || n.mnemonic == p.longForm; }

struct Match {
    std::vector<int> suffixes;
    bool stray = false; // a suffix on a node that takes none
};

// Matches the nodes from j on against the pattern from i on, trying each
// optional node both present and left out.
bool matchFrom(const std::vector<CommandTable::PatternNode> &p, size_t i, const std::vector<Node> &n, size_t j, Match &m)
{
    if (i == p.size())
        return j == n.size();
    if (j < n.size() && names(p[i], n[j])) {
        Match taken = m;
        if (p[i].suffix)
            taken.suffixes.push_back(n[j].suffix < 0 ? 1 : n[j].suffix);
        else
            taken.stray = taken.stray || n[j].suffix >= 0;
        if (matchFrom(p, i + 1, n, j + 1, taken)) {
            m = taken;
            return true;
        }
    }
    if (!p[i].optional)
        return false;
    Match skipped = m;
    if (p[i].suffix)
        skipped.suffixes.push_back(1);
    if (!matchFrom(p, i + 1, n, j, skipped))
        return false;
    m = skipped;
    return true;
}

// The factor of a unit suffix as sent for a parameter in `unit`, 0 when it
// does not fit.
double unitScale(const QByteArray &sent, const QByteArray &unit)
{
    if (sent.isEmpty())
        return 1;
    if (unit.isEmpty() || !sent.endsWith(unit))
        return 0;
    const QByteArray prefix = sent.left(sent.size() - unit.size());
    if (prefix.isEmpty())
        return 1;
    if (prefix == "M" && unit == "HZ")
        return 1e6;
    static const struct {
        const char *prefix;
        double factor;
    } prefixes[] = {{"EX", 1e18}, {"PE", 1e15}, {"T", 1e12}, {"G", 1e9}, {"MA", 1e6}, {"K", 1e3},
                    {"M", 1e-3}, {"U", 1e-6}, {"N", 1e-9}, {"P", 1e-12}, {"F", 1e-15}, {"A", 1e-18}};
    for (const auto &p : prefixes)
        if (prefix == p.prefix)
            return p.factor;
    return 0;
}

int convert(const ParameterRule &rule, const Parameter &p, Value &v)
{
    v.present = true;
    const QByteArray word = p.kind == Parameter::Word && p.word.suffix < 0 ? p.word.mnemonic : QByteArray();
    switch (rule.kind) {
    case ParameterRule::Number: {
        if (word == "MIN" || word == "MINIMUM" || word == "MAX" || word == "MAXIMUM" || word == "DEF" || word == "DEFAULT") {
            v.number = word.startsWith("MIN") ? rule.minimum : word.startsWith("MAX") ? rule.maximum : rule.byDefault;
            return NoError;
        }
        if (p.kind != Parameter::Number)
            return DataTypeError;
        const double scale = unitScale(p.unit, rule.unit);
        if (scale == 0)
            return InvalidSuffix;
        v.number = p.number * scale;
        return v.number >= rule.minimum && v.number <= rule.maximum ? NoError : DataOutOfRange;
    }
    case ParameterRule::Boolean:
        if (p.kind == Parameter::Number) {
            if (!p.unit.isEmpty())
                return InvalidSuffix;
            v.on = std::fabs(p.number) >= 0.5; // rounded, anything but 0 is on
            return NoError;
        }
        if (p.kind != Parameter::Word)
            return DataTypeError;
        v.on = word == "ON";
        return v.on || word == "OFF" ? NoError : IllegalParameterValue;
    case ParameterRule::Choice:
        if (p.kind != Parameter::Word)
            return DataTypeError;
        for (size_t k = 0; k < rule.words.size(); ++k) {
            const CommandTable::PatternNode n = patternNode(rule.words[k]);
            if (names(n, p.word) && (n.suffix || p.word.suffix < 0)) {
                v.choice = int(k);
                v.suffix = p.word.suffix < 0 ? 1 : p.word.suffix;
                return NoError;
            }
        }
        return IllegalParameterValue;
    case ParameterRule::String:
    case ParameterRule::Block:
        v.bytes = p.bytes;
        return p.kind == (rule.kind == ParameterRule::String ? Parameter::String : Parameter::Block) ? NoError : DataTypeError;
    }
    return DataTypeError;
}

// A command as the log shows it: printable, and not too long.
QString printable(const QByteArray &text)
{
    QString s;
    for (const char c : text.left(80))
        s += c >= ' ' && c < 127 ? QString(QChar(c)) : QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QChar('0'));
    return text.size() > 80 ? s + QStringLiteral("...") : s;
}
} // namespace

CommandTable::CommandTable(const std::vector<Row> &rows)
{
    for (const Row &row : rows)
        add(row);
}

void CommandTable::add(const Row &row)
{
    Entry e{row, row.header[0] == '*', {}};
    const QByteArray header = e.common ? QByteArray(row.header + 1) : QByteArray(row.header);
    bool optional = false;
    QByteArray written;
    for (const char c : header + ':') {
        if (c == '[' || c == ']' || c == ':') {
            if (!written.isEmpty()) {
                e.nodes.push_back(patternNode(written));
                e.nodes.back().optional = optional;
            }
            written.clear();
            optional = c == '[' || (optional && c == ':');
        } else {
            written += c;
        }
    }
    table.push_back(std::move(e));
}

std::vector<Row> commonCommands(const Hooks &hooks)
{
    const auto byte = [](int Session::*reg, int mask) {
        return [reg, mask](Call &c) {
            if (c.query)
                c.reply(nr1(c.session.*reg));
            else
                c.session.*reg = qRound(c.values[0].number) & mask;
        };
    };
    const ParameterRule register8 = ParameterRule::number("", 0, 255, 0);
    return {
        {"*CLS", Set, {}, [](Call &c) { c.session.clearStatus(); }},
        {"*ESE", SetAndQuery, {register8}, byte(&Session::eventEnable, 0xff)},
        {"*ESR", Query, {}, [](Call &c) { c.reply(nr1(c.session.takeEventStatus())); }},
        {"*IDN", Query, {},
         [hooks](Call &c) {
             if (hooks.identify)
                 c.reply(hooks.identify());
             else
                 c.fail(ExecutionError);
         }},
        {"*OPC", Set, {}, [](Call &c) { c.session.completeOperations(); }},
        {"*OPC", Query, {}, [](Call &c) { c.reply("1"); }, {}, 1, true},
        {"*RST", Set, {},
         [hooks](Call &) {
             if (hooks.reset)
                 hooks.reset();
         }},
        {"*SRE", SetAndQuery, {register8}, byte(&Session::serviceEnable, 0xff & ~Session::ServiceBit)},
        {"*STB", Query, {}, [](Call &c) { c.reply(nr1(c.session.statusByte())); }},
        {"*TST", Query, {}, [hooks](Call &c) { c.reply(nr1(hooks.selfTest ? hooks.selfTest() : 0)); }},
        {"*WAI", Set, {}, [](Call &) {}, {}, 1, true},
        {":SYSTem:ERRor[:NEXT]", Query, {}, [](Call &c) { c.reply(c.session.popError()); }},
        {":SYSTem:VERSion", Query, {}, [](Call &c) { c.reply("1999.0"); }},
    };
}

Session::Session(const CommandTable &table) : table(table), shared(std::make_shared<Shared>()) {}

bool Session::execute(const QByteArray &message)
{
    if (waiting()) {
        bool asked = answers > 0;
        for (size_t k = next; k < commands.size(); ++k)
            asked = asked || commands[k].query;
        if (asked)
            pushError(QueryInterrupted);
        shared->waiting = false;
    }
    commands = parseMessage(message);
    errorsLogged = 0;
    next = 0;
    answers = 0;
    response.clear();
    return run();
}

bool Session::resume() { return !waiting() || run(); }

bool Session::waiting() const { return shared->waiting; }

QByteArray Session::takeResponse()
{
    if (waiting())
        return {};
    QByteArray r;
    r.swap(response);
    return r;
}

void Session::setReadyHandler(std::function<void()> ready) { shared->ready = std::move(ready); }

void Session::answer(const QByteArray &element)
{
    if (answers++ > 0)
        response += ';';
    response += element;
}

void Session::error(int code, const Command &command)
{
    // One line for the first error of a message, one for how many followed.
    if (errorsLogged++ > 0)
        return pushError(code);
    qInfo().noquote() << QStringLiteral("SCPI: %1 \"%2\" in \"%3\"").arg(code).arg(QLatin1String(text(code)), printable(command.text));
    pushError(code);
}

bool Session::run()
{
    shared->waiting = false;
    for (; next < commands.size(); ++next) {
        const Command &c = commands[next];
        if (c.error) {
            error(c.error, c);
            if (c.query)
                answer({});
            continue;
        }
        const CommandTable::Entry *found = nullptr;
        Match match;
        int code = UndefinedHeader;
        for (const CommandTable::Entry &e : table.entries()) {
            Match m;
            if (e.common != c.common || !(e.row.form & (c.query ? Query : Set)) || !matchFrom(e.nodes, 0, c.nodes, 0, m))
                continue;
            const bool inRange = !m.stray && std::all_of(m.suffixes.begin(), m.suffixes.end(), [&](int s) { return s >= 1 && s <= e.row.maxSuffix; });
            if (!inRange) {
                code = HeaderSuffixOutOfRange;
                continue;
            }
            found = &e;
            match = m;
            break;
        }
        Call call(*this, c);
        static const std::vector<ParameterRule> none;
        const std::vector<ParameterRule> &rules = !found ? none : c.query ? found->row.queryParameters : found->row.parameters;
        if (found && c.parameters.size() > rules.size())
            code = ParameterNotAllowed;
        else if (found)
            code = NoError;
        for (size_t k = 0; code == NoError && k < rules.size(); ++k) {
            call.values.emplace_back();
            if (k < c.parameters.size())
                code = convert(rules[k], c.parameters[k], call.values.back());
            else if (!rules[k].optional)
                code = MissingParameter;
        }
        if (code != NoError) {
            error(code, c);
            if (c.query)
                answer({});
            continue;
        }
        if (found->row.afterPending && shared->pending > 0) {
            shared->waiting = true;
            return false;
        }
        call.suffixes = match.suffixes;
        found->row.handler(call);
        if (call.again && shared->pending > 0) {
            shared->waiting = true;
            return false;
        }
        if (c.query)
            answer(call.answer);
        if (call.hold && shared->pending > 0) {
            ++next;
            shared->waiting = true;
            return false;
        }
    }
    if (errorsLogged > 1)
        qInfo().noquote() << QStringLiteral("SCPI: errors after the first in the same message: %1").arg(errorsLogged - 1);
    errorsLogged = 0;
    commands.clear();
    next = 0;
    if (answers > 0)
        response += '\n';
    answers = 0;
    return true;
}

void Session::pushError(int code)
{
    shared->eventStatus |= code <= -400 ? QueryErrorBit : code <= -300 || code > 0 ? DeviceErrorBit : code <= -200 ? ExecutionErrorBit : CommandErrorBit;
    if (int(errors.size()) < queueDepth) {
        errors.push_back(code);
    } else { // full: the newest entry says so
        errors.back() = QueueOverflow;
        shared->eventStatus |= DeviceErrorBit;
    }
}

QByteArray Session::popError()
{
    if (errors.empty())
        return QByteArrayLiteral("+0,\"No error\"");
    const int code = errors.front();
    errors.pop_front();
    return nr1(code) + ',' + quoted(text(code));
}

void Session::clearStatus()
{
    errors.clear();
    shared->eventStatus = 0;
    shared->opcArmed = false;
}

int Session::eventStatus() const { return shared->eventStatus; }

int Session::takeEventStatus()
{
    const int r = shared->eventStatus;
    shared->eventStatus = 0;
    return r;
}

int Session::statusByte() const
{
    int stb = (errors.empty() ? 0 : ErrorQueueBit) | (response.isEmpty() ? 0 : MessageBit) | (shared->eventStatus & eventEnable ? EventBit : 0);
    return stb | (stb & serviceEnable ? ServiceBit : 0);
}

int Session::pendingOperations() const { return shared->pending; }

void Session::completeOperations()
{
    if (shared->pending > 0)
        shared->opcArmed = true;
    else
        shared->eventStatus |= OperationComplete;
}

} // namespace Scpi
