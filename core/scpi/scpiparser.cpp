// SPDX-License-Identifier: GPL-3.0-only
#include "core/scpi/scpiparser.h"

#include <climits>
#include <cmath>

namespace Scpi
{

const char *text(int code)
{
    static const struct {
        int code;
        const char *text;
    } texts[] = {
        {NoError, "No error"},
        {CommandError, "Command error"},
        {SyntaxError, "Syntax error"},
        {DataTypeError, "Data type error"},
        {ParameterNotAllowed, "Parameter not allowed"},
        {MissingParameter, "Missing parameter"},
        {UndefinedHeader, "Undefined header"},
        {HeaderSuffixOutOfRange, "Header suffix out of range"},
        {InvalidSuffix, "Invalid suffix"},
        {InvalidStringData, "Invalid string data"},
        {InvalidBlockData, "Invalid block data"},
        {ExecutionError, "Execution error"},
        {SettingsConflict, "Settings conflict"},
        {DataOutOfRange, "Data out of range"},
        {IllegalParameterValue, "Illegal parameter value"},
        {DataCorruptOrStale, "Data corrupt or stale"},
        {HardwareMissing, "Hardware missing"},
        {QueueOverflow, "Queue overflow"},
        {QueryInterrupted, "Query INTERRUPTED"},
        {QueryUnterminated, "Query UNTERMINATED"},
    };
    for (const auto &t : texts)
        if (t.code == code)
            return t.text;
    // A code of a class without a text of its own says its class.
    return code <= -400 ? "Query error" : code <= -300 ? "Device-specific error" : code <= -200 ? "Execution error" : "Command error";
}

namespace
{
// Every control character but the line feed counts as a space.
bool isSpace(char c) { return uchar(c) <= ' ' && c != '\n'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr size_t maxDepth = 12;

class Reader
{
public:
    explicit Reader(const QByteArray &m) : m(m) {}
    bool atEnd() const { return pos >= m.size(); }
    char peek(int ahead = 0) const { return pos + ahead < m.size() ? m[pos + ahead] : '\0'; }
    bool atSeparator() const { return atEnd() || peek() == ';'; }
    void skipSpaces()
    {
        while (!atEnd() && isSpace(m[pos]))
            ++pos;
    }
    // A letter followed by letters, digits and underscores; its trailing
    // digits are the suffix. False when no letter starts here.
    bool node(Node &n)
    {
        if (!isLetter(peek()))
            return false;
        const int start = pos;
        while (isLetter(peek()) || isDigit(peek()) || peek() == '_')
            ++pos;
        int digits = pos;
        while (isDigit(m[digits - 1]))
            --digits;
        n.mnemonic = m.mid(start, digits - start).toUpper();
        n.suffix = digits == pos ? -1 : pos - digits > 9 ? INT_MAX : m.mid(digits, pos - digits).toInt();
        return true;
    }
    int parameter(Parameter &p);
    int header(Command &c, std::vector<Node> &path);

    const QByteArray &m;
    int pos = 0;

private:
    int number(Parameter &p);
    int block(Parameter &p);
};

int Reader::number(Parameter &p)
{
    p.kind = Parameter::Number;
    const int start = pos;
    if (peek() == '+' || peek() == '-')
        ++pos;
    int digits = 0;
    for (; isDigit(peek()); ++pos)
        ++digits;
    if (peek() == '.')
        for (++pos; isDigit(peek()); ++pos)
            ++digits;
    if (digits == 0)
        return SyntaxError;
    const char e = peek();
    if ((e == 'E' || e == 'e') && (isDigit(peek(1)) || ((peek(1) == '+' || peek(1) == '-') && isDigit(peek(2))))) {
        pos += 2;
        while (isDigit(peek()))
            ++pos;
    }
    bool ok = false;
    p.number = m.mid(start, pos - start).toDouble(&ok);
    if (!ok) // well formed, so beyond what a double holds: the range check refuses it
        p.number = m[start] == '-' ? -HUGE_VAL : HUGE_VAL;
    const int end = pos;
    skipSpaces();
    const int unit = pos;
    while (isLetter(peek()))
        ++pos;
    if (pos == unit)
        pos = end;
    p.unit = m.mid(unit, pos - unit).toUpper();
    return NoError;
}

int Reader::block(Parameter &p)
{
    p.kind = Parameter::Block;
    const char d = peek(1);
    if (d == '0') { // indefinite: up to the message's end
        p.bytes = m.mid(pos + 2);
        pos = int(m.size());
        return NoError;
    }
    const int n = d - '0';
    if (n < 1 || n > 9 || pos + 2 + n > m.size())
        return InvalidBlockData;
    qint64 length = 0;
    for (int k = 0; k < n; ++k) {
        const char c = m[pos + 2 + k];
        if (!isDigit(c))
            return InvalidBlockData;
        length = length * 10 + (c - '0');
    }
    const qint64 start = pos + 2 + n;
    if (start + length > m.size())
        return InvalidBlockData;
    p.bytes = m.mid(int(start), int(length));
    pos = int(start + length);
    return NoError;
}

int Reader::parameter(Parameter &p)
{
    const char c = peek();
    if (c == '"' || c == '\'') {
        p.kind = Parameter::String;
        for (++pos;; ++pos) {
            if (atEnd())
                return InvalidStringData;
            if (m[pos] == c) {
                if (peek(1) != c)
                    break;
                ++pos; // a doubled quote is one quote
            }
            p.bytes += m[pos];
        }
        ++pos;
        return NoError;
    }
    if (c == '#') {
        const char base = char(peek(1) & ~0x20);
        const int radix = base == 'H' ? 16 : base == 'Q' ? 8 : base == 'B' ? 2 : 0;
        if (radix == 0)
            return block(p);
        p.kind = Parameter::Number;
        pos += 2;
        int digits = 0;
        for (;; ++pos, ++digits) {
            const char d = char(peek() | 0x20); // lower case
            const int v = isDigit(d) ? d - '0' : d >= 'a' && d <= 'f' ? d - 'a' + 10 : radix;
            if (v >= radix)
                break;
            p.number = p.number * radix + v;
        }
        return digits ? NoError : SyntaxError;
    }
    if (isDigit(c) || c == '+' || c == '-' || c == '.')
        return number(p);
    p.kind = Parameter::Word;
    return node(p.word) ? NoError : SyntaxError;
}

int Reader::header(Command &c, std::vector<Node> &path)
{
    Node n;
    if (peek() == '*') {
        ++pos;
        c.common = true;
        if (!node(n))
            return SyntaxError;
        c.nodes.push_back(n);
    } else {
        if (peek() == ':')
            ++pos;
        else
            c.nodes = path;
        for (;;) {
            if (!node(n))
                return SyntaxError;
            // A header deeper than any command ends in a node no row has,
            // so that relative headers cannot make the path grow without end.
            if (c.nodes.size() < maxDepth)
                c.nodes.push_back(n);
            else if (c.nodes.size() == maxDepth)
                c.nodes.push_back(Node{});
            if (peek() != ':')
                break;
            ++pos;
        }
        path.assign(c.nodes.begin(), c.nodes.end() - 1);
    }
    if (peek() == '?') {
        c.query = true;
        ++pos;
    }
    return NoError;
}

int command(Reader &r, Command &c, std::vector<Node> &path)
{
    if (const int error = r.header(c, path))
        return error;
    if (r.atSeparator())
        return NoError;
    if (!isSpace(r.peek())) // the header runs into something that is not a parameter
        return SyntaxError;
    r.skipSpaces();
    if (r.atSeparator())
        return NoError;
    for (;;) {
        Parameter p;
        if (const int error = r.parameter(p))
            return error;
        c.parameters.push_back(p);
        r.skipSpaces();
        if (r.atSeparator())
            return NoError;
        if (r.peek() != ',')
            return SyntaxError;
        ++r.pos;
        r.skipSpaces();
    }
}
} // namespace

std::vector<Command> parseMessage(const QByteArray &message)
{
    std::vector<Command> commands;
    std::vector<Node> path;
    Reader r(message);
    for (;;) {
        r.skipSpaces();
        if (r.atEnd())
            break;
        if (r.peek() == ';') {
            ++r.pos;
            continue;
        }
        const int start = r.pos;
        Command c;
        c.error = command(r, c, path);
        c.text = message.mid(start, qMin(c.error ? int(message.size()) : r.pos - start, 81)); // the log shows 80
        commands.push_back(std::move(c));
        if (commands.back().error)
            break;
    }
    return commands;
}

Framer::Result Framer::next(QByteArray &message)
{
    int i = scanned;
    const int size = int(buffer.size());
    while (i < size) {
        if (blockLeft > 0) {
            const qint64 take = qMin<qint64>(blockLeft, size - i);
            i += int(take);
            blockLeft -= take;
            continue;
        }
        const char c = buffer[i];
        if (c == '\n') {
            const bool tooLong = i > maxLength;
            message = tooLong ? QByteArray() : buffer.left(i > 0 && buffer[i - 1] == '\r' ? i - 1 : i);
            buffer.remove(0, i + 1);
            scanned = 0;
            quote = 0;
            return tooLong ? TooLong : Message;
        }
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '#' && i + 1 < size && buffer[i + 1] >= '1' && buffer[i + 1] <= '9') {
            const int n = buffer[i + 1] - '0';
            if (i + 2 + n > size)
                break; // the length is not all here yet
            qint64 length = 0;
            int k = 0;
            for (; k < n && isDigit(buffer[i + 2 + k]); ++k)
                length = length * 10 + (buffer[i + 2 + k] - '0');
            if (k == n) {
                blockLeft = length;
                i += 2 + n;
                continue;
            }
        } else if (c == '#' && i + 1 == size) {
            break; // whether a block starts is not known yet
        }
        ++i;
    }
    scanned = i;
    if (size <= maxLength)
        return NeedMore;
    buffer.clear();
    scanned = 0;
    quote = 0;
    blockLeft = 0;
    return TooLong;
}

QByteArray nr1(qint64 value) { return QByteArray::number(value); }

QByteArray nr3(double value) { return std::isfinite(value) ? QByteArray::number(value, 'E', 6) : QByteArray("9.9E+37"); }

QByteArray boolean(bool value) { return value ? "1" : "0"; }

QByteArray quoted(const QByteArray &text)
{
    QByteArray doubled = text;
    return '"' + doubled.replace('"', "\"\"") + '"';
}

QByteArray definiteBlock(const QByteArray &bytes)
{
    const QByteArray length = QByteArray::number(bytes.size());
    return '#' + QByteArray::number(length.size()) + length + bytes;
}

} // namespace Scpi
