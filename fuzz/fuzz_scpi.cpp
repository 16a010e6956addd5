// SPDX-License-Identifier: GPL-3.0-only
// A client's byte stream as the remote-control server takes it: cut into
// messages by the framer (in chunks, as the network delivers them) and run
// by a session over the common commands and a few of every parameter kind,
// two of which start operations that finish only after the message waits.
//
// Input: byte 0 the framing (bits 0-4: chunk length - 1; bits 5-7: the
// longest message, 64 << n bytes); then the stream.
#include "fuzzsupport.h"

#include "core/scpi/scpisession.h"

#include <cstdlib>

namespace {
std::vector<Scpi::Operation> held;

const Scpi::CommandTable &table()
{
    using namespace Scpi;
    static const CommandTable t = [] {
        std::vector<Row> rows = commonCommands({[] { return QByteArray("Fuzz,Box,0,1.0"); }, [] {}, {}});
        const auto echo = [](Call &c) {
            for (const Value &v : c.values)
                c.reply(v.present ? nr3(v.number) + boolean(v.on) + nr1(v.choice) + quoted(v.bytes) : QByteArray());
        };
        rows.insert(rows.end(), {
            {":CHANnel#:SCALe", SetAndQuery, {ParameterRule::number("V", 1e-3, 10, 1)}, echo, {}, 2},
            {":TIMebase[:MAIN]:SCALe", SetAndQuery, {ParameterRule::number("S", 0, 10, 1e-3)}, echo},
            {"[:SOURce#]:FREQuency[:CW]", SetAndQuery, {ParameterRule::number("HZ", 0, 1e7, 1000)}, echo},
            {":MEASure:VPP", Query, {}, echo, {ParameterRule::of(ParameterRule::Choice, {"CHANnel#", "POD#"}).orNone()}},
            {":OUTPut#[:STATe]", SetAndQuery, {ParameterRule::of(ParameterRule::Boolean)}, echo},
            {":DATA:ARBitrary", Set, {ParameterRule::of(ParameterRule::String), ParameterRule::of(ParameterRule::Block)}, echo},
            {":DISPlay:DATA", Query, {}, [](Call &c) { c.reply(definiteBlock(QByteArray(3, '\n'))); }, {ParameterRule::of(ParameterRule::Choice, {"PNG"})}},
            {":SINGle", Set, {}, [](Call &c) { held.push_back(c.startOperation()); }},
            {":DIGitize", Set, {}, [](Call &c) { held.push_back(c.startOperation(true)); }},
        });
        return CommandTable(rows);
    }();
    return t;
}

void check(Scpi::Session &s)
{
    const QByteArray r = s.takeResponse();
    if ((!r.isEmpty() && !r.endsWith('\n')) || s.errorCount() > Scpi::Session::queueDepth || s.statusByte() > 255 || s.eventStatus() > 255)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Timed timed(data, size);
    FuzzSupport::silenceLog();
    FuzzSupport::Prefix prefix(data, size);
    const uint8_t framing = prefix.byte();
    const size_t chunk = (framing & 31) + 1;
    Scpi::Framer framer(64 << (framing >> 5));
    Scpi::Session session(table());
    bool ready = false;
    session.setReadyHandler([&] { ready = true; });
    const char *rest = reinterpret_cast<const char *>(prefix.rest());
    for (size_t at = 0; at < prefix.restSize(); at += chunk) {
        framer.feed(QByteArray(rest + at, int(qMin(chunk, prefix.restSize() - at))));
        QByteArray message;
        for (Scpi::Framer::Result got; (got = framer.next(message)) != Scpi::Framer::NeedMore;) {
            if (got == Scpi::Framer::TooLong) {
                session.pushError(Scpi::QueryUnterminated);
                continue;
            }
            // Every other waiting message is left to be interrupted by the next.
            if (!session.execute(message) && (at & 1)) {
                while (!held.empty()) {
                    held.pop_back();
                    if (ready)
                        session.resume();
                    ready = false;
                }
                if (session.waiting())
                    std::abort(); // with nothing left to wait for
            }
            check(session);
        }
    }
    held.clear();
    return 0;
}
