// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// The remote-control language, read and written: a program message (one
// line from a client) taken apart into commands with their headers and
// parameters, the framing of a byte stream into messages, and the
// formatting of response data. Plain functions of bytes; the dispatcher
// (scpisession.h) gives the commands a meaning.

#include <QByteArray>

#include <vector>

namespace Scpi
{

// The error codes and texts the instrument queues; text() answers the text
// of a code. -131, -151 and -161 are the codes bench instruments use for a
// unit that does not fit, a string without its closing quote and a block
// whose bytes are not all there.
enum Error : int {
    NoError = 0,
    CommandError = -100,
    SyntaxError = -102,
    DataTypeError = -104,
    ParameterNotAllowed = -108,
    MissingParameter = -109,
    UndefinedHeader = -113,
    HeaderSuffixOutOfRange = -114,
    InvalidSuffix = -131,
    InvalidStringData = -151,
    InvalidBlockData = -161,
    ExecutionError = -200,
    SettingsConflict = -221,
    DataOutOfRange = -222,
    IllegalParameterValue = -224,
    DataCorruptOrStale = -230,
    HardwareMissing = -241,
    QueueOverflow = -350,
    QueryInterrupted = -410,
    QueryUnterminated = -420,
};
const char *text(int code);

// One node of a header as sent: the mnemonic in upper case without its
// digits, and the number those digits make (-1 when there were none).
struct Node {
    QByteArray mnemonic;
    int suffix = -1;
};

// One parameter as sent. A number keeps its unit suffix (upper case, "" when
// none) for the dispatcher to apply; a word is upper case with its digits
// split off as a header node's are; a string is without its quotes; a block
// is its bytes.
struct Parameter {
    enum Kind { Number, Word, String, Block } kind = Number;
    double number = 0;
    QByteArray unit;
    Node word;
    QByteArray bytes;
};

// One command of a program message, its header already completed by the
// path of the one before it. `error` is not 0 for the place where the
// message could not be read further: nothing after it runs.
struct Command {
    bool common = false; // *XXX
    bool query = false;
    std::vector<Node> nodes; // from the root
    std::vector<Parameter> parameters;
    int error = NoError;
    QByteArray text; // as sent (its first 81 bytes), for the log
};

// Takes one program message (without its line feed) apart. A command
// without a leading colon continues at the node of the one before it (all
// its nodes but the last), a leading colon starts at the root, and a common
// command leaves the path as it was. Parsing stops at the first command it
// cannot read, which ends the list with its error. An indefinite block
// (#0) takes the rest of the message.
std::vector<Command> parseMessage(const QByteArray &message);

// Splits a byte stream into program messages at line feeds; a line feed
// inside a definite-length block belongs to the block. A quoted string is
// followed only so that a '#' in it does not start a block: a line feed
// ends the message there too, and the parser finds the string unclosed.
class Framer
{
public:
    explicit Framer(int maxLength) : maxLength(maxLength) {}
    enum Result { NeedMore, Message, TooLong };
    void feed(const QByteArray &bytes) { buffer += bytes; }
    // Message: `message` holds the next one, its line feed removed (and a
    // carriage return before it). TooLong: the pending message has passed
    // maxLength without its end; it is dropped with what was fed.
    Result next(QByteArray &message);
    int pending() const { return int(buffer.size()); }

private:
    QByteArray buffer;
    int maxLength;
    int scanned = 0; // bytes of buffer already known not to end a message
    char quote = 0;
    qint64 blockLeft = 0;
};

// Response data. A real that is not a finite number answers 9.9E+37, what
// bench instruments answer for a value they cannot measure.
QByteArray nr1(qint64 value);
QByteArray nr3(double value);
QByteArray boolean(bool value);
QByteArray quoted(const QByteArray &text);
QByteArray definiteBlock(const QByteArray &bytes);

} // namespace Scpi
