// SPDX-License-Identifier: GPL-3.0-only
// The remote-control parser, command table and session, over a few
// commands that write what they were given into a trace.
#include "core/scpi/scpisession.h"

#include <QtTest>

#include <cmath>

using namespace Scpi;

namespace {
struct Bench {
    QByteArray trace;
    double scale[3] = {0, 1, 1};
    std::vector<Operation> held;
    int fetched = 0;
    std::vector<Row> rows()
    {
        std::vector<Row> r = commonCommands({[] { return QByteArray("Fake,Box,123,1.2"); }, [this] { trace += "rst;"; }, {}});
        const auto number = [](const Value &v) { return QByteArray::number(v.number); };
        r.insert(r.end(), {
            {":CHANnel#:SCALe", SetAndQuery, {ParameterRule::number("V", 1e-3, 10, 1)},
             [this, number](Call &c) {
                 if (c.query)
                     return c.reply(nr3(scale[c.suffixes[0]]));
                 scale[c.suffixes[0]] = c.values[0].number;
                 trace += "scale" + QByteArray::number(c.suffixes[0]) + '=' + number(c.values[0]) + ';';
             }, {}, 2},
            {":TIMebase[:MAIN]:SCALe", Set, {ParameterRule::number("S", 1e-9, 10, 1e-3)}, [this, number](Call &c) { trace += "time=" + number(c.values[0]) + ';'; }},
            {"[:SOURce#]:FREQuency", Set, {ParameterRule::number("HZ", 0, 1e7, 1000)}, [this, number](Call &c) { trace += "freq" + nr1(c.suffixes.at(0)) + '=' + number(c.values[0]) + ';'; }},
            {":MEASure:VPP", Query, {}, [](Call &c) { c.reply(nr1(c.values[0].choice) + ',' + nr1(c.values[0].suffix)); },
             {ParameterRule::of(ParameterRule::Choice, {"CHANnel#", "POD#", "MATH"}).orNone()}},
            {":OUTPut#[:STATe]", SetAndQuery, {ParameterRule::of(ParameterRule::Boolean)}, [this](Call &c) { c.query ? c.reply(nr3(NAN)) : void(trace += "out=" + boolean(c.values[0].on) + ';'); }},
            {":DATA:ARBitrary", Set, {ParameterRule::of(ParameterRule::String), ParameterRule::of(ParameterRule::Block)},
             [this](Call &c) { trace += "arb(" + c.values[0].bytes + ',' + c.values[1].bytes + ");"; }},
            {":SINGle", Set, {}, [this](Call &c) { held.push_back(c.startOperation()); }},
            {":DIGitize", Set, {}, [this](Call &c) { held.push_back(c.startOperation(true)); }},
            {":FETCh", Query, {}, [this](Call &c) {
                 if (fetched++ == 0) { // nothing read yet: asked again once it has been
                     held.push_back(c.startOperation());
                     return c.runAgainAfterOperations();
                 }
                 c.reply(nr1(fetched));
             }},
        });
        return r;
    }
};

QByteArray errorsOf(Session &s)
{
    QByteArray codes;
    while (s.errorCount() > 0)
        codes += s.popError().split(',').first() + ' ';
    return codes.trimmed();
}
} // namespace

class TestScpi : public QObject
{
    Q_OBJECT
private slots:
    void messages()
    {
        // Message; what the handlers got; the response; the errors queued.
        const char *rows[][4] = {
            {"CHAN2:SCAL 0.5", "scale2=0.5;", "", ""},
            {"chan:scale 100mV;SCAL?;:channel2:SCALE?", "scale1=0.1;", "1.000000E-01;1.000000E+00\n", ""},
            {"CHAN2:SCAL 2;*ESE 4;SCAL?;*RST", "scale2=2;rst;", "2.000000E+00\n", ""}, // a common command keeps the path
            {":TIM:MAIN:SCAL 1E-3S;:TIMEBASE:SCALE 500 us", "time=0.001;time=0.0005;", "", ""},
            {"FREQ 2.5KHZ;:SOUR1:FREQ 1MHZ;:SOURCE:FREQ 1maHz;FREQ +.5e1", "freq1=2500;freq1=1e+06;freq1=1e+06;freq1=5;", "", ""},
            {"FREQ MIN;FREQ maximum;FREQ DEF", "freq1=0;freq1=1e+07;freq1=1000;", "", ""},
            {"OUTP ON;OUTP1:STAT 0;:OUTP 0.7;OUTP?", "out=1;out=0;out=1;", "9.9E+37\n", ""},
            {"MEAS:VPP?;VPP? CHAN2 ;:MEAS:VPP? pod1", "", "-1,1;0,2;1,1\n", ""},
            {"DATA:ARB 'it''s',#15a\nb;c;:DATA:ARB \"\",#10", "arb(it's,a\nb;c);arb(,);", "", ""},
            {"DATA:ARB \"q\"\"\" , #0x;y\n", "arb(q\",x;y\n);", "", ""},
            {"*ESE #H24;*ESE?;*IDN?;SYST:VERS?", "", "36;Fake,Box,123,1.2;1999.0\n", ""},
            {"FOO;:SYST:ERR?;ERR:NEXT?", "", "-113,\"Undefined header\";+0,\"No error\"\n", ""},
            {"FOO?;*ESE?;*ESE?;*IDN", "", ";0;0\n", "-113 -113"},
            {"CHAN3:SCAL 1;:CHAN0:SCAL 1;:MEAS1:VPP?;:SING?;*ESR 1", "", ";\n", "-114 -114 -114 -113 -113"},
            {"CHAN:SCAL ON;:CHAN:SCAL 1KHZ;:CHAN:SCAL 1MAV;:CHAN:SCAL 20;:CHAN:SCAL;:CHAN:SCAL 1,2", "", "", "-104 -131 -222 -222 -109 -108"},
            {"OUTP MAYBE;OUTP 1V;:MEAS:VPP? MATH2;VPP? 'CHAN1';:DATA:ARB 'a','b'", "", ";\n", "-224 -131 -224 -104 -104"},
            {"CHAN1:SCAL 1;FOO;:CHAN2:SCAL 2;CHAN1:SCAL 1 2;:CHAN2:SCAL 3", "scale1=1;scale2=2;", "", "-113 -102"},
            {"DATA:ARB 'a,#15abc", "", "", "-151"},
            {"DATA:ARB 'a',#15abc;", "", "", "-161"},
            {"DATA:ARB 'a',#x", "", "", "-161"},
            {"\x01\xff?;*IDN?", "", "", "-102"},
            {"FREQ 1.;FREQ .;FREQ 1", "freq1=1;", "", "-102"},
            {":TIM:SCAL 1E-S", "", "", "-102"}, // an exponent has digits; this is no number
            {"*ESE'1';:CHAN1::SCAL 1", "", "", "-102"},
        };
        for (const auto &[message, trace, response, errors] : rows) {
            Bench b;
            CommandTable table(b.rows());
            Session s(table);
            QVERIFY(s.execute(message));
            QCOMPARE(b.trace, QByteArray(trace));
            QCOMPARE(s.takeResponse(), QByteArray(response));
            QCOMPARE(errorsOf(s), QByteArray(errors));
        }
    }

    void statusAndOperations()
    {
        Bench b;
        CommandTable table(b.rows());
        Session s(table);
        const auto ask = [&](const char *m) { return s.execute(m) ? s.takeResponse().trimmed() : QByteArray("waits"); };
        // Event bits by error class, the enable masks, the status byte and what clears them.
        QCOMPARE(ask("*ESE 36;*SRE 255;FOO;*STB?;*SRE?"), QByteArray("100;191"));
        QCOMPARE(ask("*ESR?;*ESR?;*IDN?;*STB?"), QByteArray("32;0;Fake,Box,123,1.2;84"));
        QCOMPARE(ask("*CLS;*STB?;CHAN:SCAL 20;*ESR?;:SYST:ERR?;ERR?"), QByteArray("0;16;-222,\"Data out of range\";+0,\"No error\""));
        for (int k = 0; k < Session::queueDepth + 5; ++k)
            s.execute(k < Session::queueDepth ? "FOO" : "CHAN:SCAL 20");
        QCOMPARE(s.errorCount(), Session::queueDepth);
        QCOMPARE(errorsOf(s).right(9), QByteArray("-113 -350"));
        QCOMPARE(ask("*ESR?"), QByteArray("56"));

        // Operations: *OPC sets its bit, *OPC? answers and *WAI goes on once they have finished.
        int ready = 0;
        s.setReadyHandler([&] { ++ready; });
        QCOMPARE(ask("SING;*OPC;*ESR?"), QByteArray("0"));
        b.held.back().finish();
        QCOMPARE(ask("*ESR?;*OPC?"), QByteArray("1;1"));
        QCOMPARE(ask("SING;*ESE?;SING;*OPC?;*ESE?"), QByteArray("waits"));
        b.held[1].finish(); // one of two
        QVERIFY(s.takeResponse().isEmpty() && !s.resume() && ready == 0);
        b.held.clear(); // dropped: finished all the same
        QVERIFY(ready == 1 && s.resume());
        QCOMPARE(s.takeResponse(), QByteArray("36;1;36\n"));
        QCOMPARE(ask("DIG;CHAN2:SCAL 0.2;*WAI;SCAL?"), QByteArray("waits"));
        QVERIFY(b.trace.isEmpty());
        b.held.clear();
        QVERIFY(s.resume() && b.trace == "scale2=0.2;");
        QCOMPARE(s.takeResponse(), QByteArray("2.000000E-01\n"));
        // A new message while one waits to answer interrupts it.
        QCOMPARE(ask("SING;*OPC?"), QByteArray("waits"));
        QCOMPARE(ask("*ESE?"), QByteArray("36"));
        QCOMPARE(errorsOf(s), QByteArray("-410"));
        b.held.clear();
        // A query that runs again once its operation has finished answers then, in its place.
        QCOMPARE(ask("FETC?;*ESE?"), QByteArray("waits"));
        b.held.clear();
        QVERIFY(s.resume());
        QCOMPARE(s.takeResponse(), QByteArray("2;36\n"));
        { // an operation that outlives its session
            Session gone(table);
            gone.execute("SING");
        }
        b.held.clear();
    }

    void framing()
    {
        Framer f(18);
        QByteArray m;
        QByteArray got;
        for (const char *chunk : {"A\nB\r", "\n:D '#15'\nX #", "1", "4a\n", "b", "c\n", "0123456789abcdefghi\nok", "\n", "0123456789abcdefghij"}) {
            f.feed(chunk);
            for (Framer::Result r; (r = f.next(m)) != Framer::NeedMore;)
                got += r == Framer::TooLong ? QByteArray("<too long>|") : m + '|';
        }
        QCOMPARE(got, QByteArray("A|B|:D '#15'|X #14a\nbc|<too long>|ok|<too long>|"));
        QCOMPARE(f.pending(), 0);
    }

    void responses()
    {
        const QByteArray rows[][2] = {
            {nr3(5e-4), "5.000000E-04"},
            {nr3(-INFINITY), "9.9E+37"},
            {nr1(-42), "-42"},
            {quoted("a\"b"), "\"a\"\"b\""},
            {definiteBlock({}), "#10"},
            {definiteBlock(QByteArray(1000, 'x')).left(6), "#41000"},
        };
        for (const auto &[got, expected] : rows)
            QCOMPARE(got, expected);
    }
};

QTEST_GUILESS_MAIN(TestScpi)
#include "tst_scpi.moc"
