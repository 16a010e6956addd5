// SPDX-License-Identifier: GPL-3.0-only
// The XML reader and writer: declarations, cursors, every value encoding (the
// text written, the value read back, and the default for text of the wrong
// form), save and load with their log lines.

#include "common/testsupport.h"
#include "core/persistence/qxmlputget.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

using namespace QXmlPutGet;

namespace {

const int intMin = std::numeric_limits<int>::min();
const int intMax = std::numeric_limits<int>::max();

// An element and its subtree as one line of markup.
QString compact(const QDomElement &element)
{
    QDomDocument holder;
    holder.appendChild(holder.importNode(element, true));
    return holder.toString(-1).trimmed();
}

// "text|name=value|..." with the attributes sorted: the DOM keeps no attribute order.
QString shape(const QDomElement &element)
{
    QStringList attributes;
    const QDomNamedNodeMap map = element.attributes();
    for (int i = 0; i < map.count(); ++i)
        attributes << map.item(i).nodeName() + QLatin1Char('=') + map.item(i).nodeValue();
    attributes.sort();
    return (QStringList(element.text()) + attributes).join(QLatin1Char('|'));
}

// What a pen keeps through text. QPen's own comparison also asks whether a
// width was ever set, which no text form carries.
QString penFields(const QPen &pen)
{
    return QStringLiteral("%1 style %2 width %3 cap %4 join %5 miter %6 dash %7 offset %8")
        .arg(QXmlPut::colorToStr(pen.color()))
        .arg(int(pen.style()))
        .arg(pen.widthF())
        .arg(int(pen.capStyle()))
        .arg(int(pen.joinStyle()))
        .arg(pen.miterLimit())
        .arg(QXmlPut::doubleVectorToStr(pen.dashPattern()))
        .arg(pen.dashOffset());
}

QPen makePen(const QColor &colour, double width, Qt::PenStyle style, Qt::PenCapStyle cap,
             Qt::PenJoinStyle join, double miter = 2.0)
{
    QPen p(colour, width, style, cap, join);
    p.setMiterLimit(miter);
    return p;
}

// Value kinds are written "type:option": bool:yn, bool:tf, bool:10 (the word
// pair), string:cdata, strings:cdata, bytes:width:compression:cdata.
int boolFlags(const QString &kind)
{
    const QString pair = kind.section(QLatin1Char(':'), 1, 1);
    return pair == "yn" ? bfYesNo : pair == "tf" ? bfTrueFalse : pair == "10" ? bfOneZero : bfAll;
}

// A value in the form readAs gives it: pens, fonts, date-times and bool vectors as text.
QVariant comparable(const QString &kind, const QVariant &x)
{
    const QString t = kind.section(QLatin1Char(':'), 0, 0);
    if (t == "pen") return penFields(x.value<QPen>());
    if (t == "font") return x.value<QFont>().toString();
    if (t == "datetime")
        return x.toDateTime().toString(Qt::ISODate) + QStringLiteral(" %1").arg(x.toDateTime().timeSpec());
    if (t == "bools") return QXmlPut::boolVectorToStr(QXmlGet::strToBoolVector(x.toString()), bfOneZero);
    return x;
}

// Writes `x` as an element "v" of the given kind.
void putAs(QXmlPut &put, const QString &kind, const QVariant &x)
{
    const QString v = QStringLiteral("v");
    const QString t = kind.section(QLatin1Char(':'), 0, 0);
    const auto format = BoolFormat(boolFlags(kind) == bfAll ? bfYesNo : boolFlags(kind));
    const bool cdata = kind.endsWith(QLatin1String(":cdata"));
    if (t == "string") put.putString(v, x.toString(), cdata);
    else if (t == "int") put.putInt(v, x.toInt());
    else if (t == "double") put.putDouble(v, x.toDouble());
    else if (t == "bool") put.putBool(v, x.toBool(), format);
    else if (t == "date") put.putDate(v, x.toDate());
    else if (t == "time") put.putTime(v, x.toTime());
    else if (t == "datetime") put.putDateTime(v, x.toDateTime());
    else if (t == "color") put.putColor(v, x.value<QColor>());
    else if (t == "font") put.putFont(v, x.value<QFont>());
    else if (t == "size") put.putSize(v, x.toSize());
    else if (t == "point") put.putPoint(v, x.toPoint());
    else if (t == "rect") put.putRect(v, x.toRect());
    else if (t == "sizef") put.putSizeF(v, x.toSizeF());
    else if (t == "pointf") put.putPointF(v, x.toPointF());
    else if (t == "rectf") put.putRectF(v, x.toRectF());
    else if (t == "brush") put.putBrush(v, x.value<QBrush>());
    else if (t == "pen") put.putPen(v, x.value<QPen>());
    else if (t == "bytes")
        put.putByteArray(v, x.toByteArray(), kind.section(':', 1, 1).toInt(),
                         kind.section(':', 2, 2).toInt());
    else if (t == "strings") put.putStringList(v, x.toStringList(), cdata);
    else if (t == "ints") put.putIntVector(v, QXmlGet::strToIntVector(x.toString()));
    else if (t == "doubles") put.putDoubleVector(v, QXmlGet::strToDoubleVector(x.toString()));
    else if (t == "bools") put.putBoolVector(v, QXmlGet::strToBoolVector(x.toString()), format);
    else
        qFatal("no writer for %s", qPrintable(kind));
}

// Reads the current element as the given kind, in the form of `comparable`.
QVariant readAs(const QXmlGet &get, const QString &kind, const QVariant &fallback)
{
    const QString t = kind.section(QLatin1Char(':'), 0, 0);
    const int flags = boolFlags(kind);
    if (t == "string") return get.getString(fallback.toString());
    if (t == "int") return get.getInt(fallback.toInt());
    if (t == "double") return get.getDouble(fallback.toDouble());
    if (t == "bool") return get.getBool(fallback.toBool(), flags);
    if (t == "date") return get.getDate(fallback.toDate());
    if (t == "time") return get.getTime(fallback.toTime());
    if (t == "datetime") return comparable(kind, get.getDateTime(fallback.toDateTime()));
    if (t == "color") return get.getColor(fallback.value<QColor>());
    if (t == "font") return get.getFont(fallback.value<QFont>()).toString();
    if (t == "size") return get.getSize(fallback.toSize());
    if (t == "point") return get.getPoint(fallback.toPoint());
    if (t == "rect") return get.getRect(fallback.toRect());
    if (t == "sizef") return get.getSizeF(fallback.toSizeF());
    if (t == "pointf") return get.getPointF(fallback.toPointF());
    if (t == "rectf") return get.getRectF(fallback.toRectF());
    if (t == "brush") return get.getBrush(fallback.value<QBrush>());
    if (t == "pen") return penFields(get.getPen(fallback.value<QPen>()));
    if (t == "bytes") return get.getByteArray(fallback.toByteArray());
    if (t == "strings") return get.getStringList(fallback.toStringList());
    const QString list = fallback.toString();
    if (t == "ints") return QXmlPut::intVectorToStr(get.getIntVector(QXmlGet::strToIntVector(list)));
    if (t == "doubles") return QXmlPut::doubleVectorToStr(get.getDoubleVector(QXmlGet::strToDoubleVector(list)));
    if (t == "bools")
        return QXmlPut::boolVectorToStr(get.getBoolVector(QXmlGet::strToBoolVector(list), flags), bfOneZero);
    qFatal("no reader for %s", qPrintable(kind));
    return QVariant();
}

// A default that the expected value cannot be mistaken for.
QVariant unlike(const QString &kind, const QVariant &expected)
{
    const QString t = kind.section(QLatin1Char(':'), 0, 0);
    if (t == "bool") return !expected.toBool();
    if (t == "int") return expected.toInt() ^ 1;
    if (t == "double") return expected.toDouble() == -1.5 ? 1.5 : -1.5;
    if (t == "ints" || t == "doubles") return QStringLiteral("-77");
    if (t == "bools") return QStringLiteral("1;1;1;1;1;1;1;1;1;1;1;1;1");
    if (t == "string") return QStringLiteral("DEFAULT");
    if (t == "bytes") return QByteArray("DEFAULT");
    if (t == "strings") return QStringList{QStringLiteral("DEFAULT")};
    if (t == "color") return QColor(1, 2, 3, 4);
    return QVariant();
}

QXmlGet reread(const QXmlPut &put)
{
    QXmlGet get;
    if (!get.fromString(put.toString()))
        qWarning("document did not parse back");
    return get;
}

const QString fromStringSignature = QStringLiteral("bool QXmlGet::fromString(const QString&, QString*, int*, int*) ");
const QString loadSignature = QStringLiteral("bool QXmlGet::load(const QString&, QString*, int*, int*) ");

} // namespace

class TestQXmlPutGet : public QObject
{
    Q_OBJECT

private slots:

    void declarations()
    {
        QCOMPARE(QXmlPut(QStringLiteral("root")).toString(), QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root/>\n"));
        QXmlPut full(QStringLiteral("VeltoHardware"), QStringLiteral("1.0"), QStringLiteral("ISO-8859-1"), true,
                     QStringLiteral("VeltoHardware"), QStringLiteral("-//Velto//hw"), QStringLiteral("hw.dtd"));
        QVERIFY(full.toString().startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>\n"
                                                          "<!DOCTYPE VeltoHardware PUBLIC '-//Velto//hw' 'hw.dtd'>\n")));
        QXmlGet get;
        QVERIFY(get.fromString(full.toString()));
        QCOMPARE(QStringList({get.docType(), get.publicId(), get.systemId(), get.declarationTarget(), get.xmlVersion(),
                              get.encoding(), get.tagName()}),
                 QStringList({"VeltoHardware", "-//Velto//hw", "hw.dtd", "xml", "1.0", "ISO-8859-1", "VeltoHardware"}));
        QVERIFY(get.standalone());
        QXmlPut named(QStringLiteral("r"), QStringLiteral("1.1"), QStringLiteral("UTF-8"), false, QStringLiteral("Only"));
        QVERIFY(named.toString().startsWith(QStringLiteral("<?xml version=\"1.1\" encoding=\"UTF-8\"?>\n<!DOCTYPE Only>\n")));
        // Single quotes and blanks around '=' in the declaration; no declaration at all.
        QVERIFY(get.fromString(QStringLiteral("<?xml version='1.0' encoding = 'ISO-8859-1' standalone='no'?><r/>")));
        QVERIFY(get.encoding() == QStringLiteral("ISO-8859-1") && !get.standalone());
        QVERIFY(get.fromString(QStringLiteral("<r/>")));
        QVERIFY(get.declarationTarget().isEmpty() && get.xmlVersion().isEmpty() && get.encoding().isEmpty());
    }
    void badArgumentsLog()
    {
        MessageCapture log;
        QXmlPut one{QString()};
        QXmlPut longForm(QString(), QString(), QString(), false);
        QXmlGet null{QDomDocument()};
        const QString signature = QStringLiteral("QXmlPut::QXmlPut(const QString&, const QString&, const QString&, "
                                                 "bool, const QString&, const QString&, const QString&) ");
        QCOMPARE(log.messagesOf(QtDebugMsg),
                 QStringList({"QXmlPut::QXmlPut(const QString&) root tag can't be empty",
                              signature + "rootTag can't be empty", signature + "xmlVersion can't be empty",
                              signature + "encoding can't be empty",
                              "QXmlGet::QXmlGet(const QDomDocument&) Attempt to open a QDomDocument that is null"}));
        // Construction goes on; writes into the element-less document go nowhere.
        QVERIFY(longForm.toString().startsWith(QStringLiteral("<?xml version=\"\" encoding=\"\"?>")));
        longForm.putInt(QStringLiteral("x"), 1);
        longForm.descend(QStringLiteral("y"));
        QCOMPARE(QXmlGet(longForm).getInt(5) + null.getInt(7) + QXmlGet().getAttributeInt("a", 4), 16);
        // A bool format outside the enumeration writes yes or no.
        log.clear();
        QCOMPARE(QXmlPut::boolToStr(true, static_cast<BoolFormat>(3)), QStringLiteral("yes"));
        QCOMPARE(QXmlPut::boolToStr(false, static_cast<BoolFormat>(0)), QStringLiteral("no"));
        const QString prefix = QStringLiteral("static QString QXmlPut::boolToStr(bool, QXmlPutGet::BoolFormat) "
                                              "Invalid QXmlPutGet::BoolFormat format, using bfYesNo ");
        QCOMPARE(log.messagesOf(QtDebugMsg), (QStringList{prefix + "3", prefix + "0"}));
    }
    void writerCursor()
    {
        MessageCapture log;
        QXmlPut put(QStringLiteral("r"));
        QVERIFY(!put.rise());
        put.descend(QStringLiteral("a"));
        put.putInt(QStringLiteral("x"), 1);
        put.putInt(QStringLiteral("y"), 2);
        const QDomElement a = put.parentElement();
        QVERIFY(put.rise());
        put.setAttributeInt(QStringLiteral("n"), 3); // the element risen from is current again
        put.putSingleTag(QStringLiteral("empty"));
        const QDomElement empty = put.element();
        put.putComment(QStringLiteral("a note")); // no element: the current one stays
        QCOMPARE(put.element(), empty);
        QVERIFY(put.goTo(a));
        QCOMPARE(put.element().tagName(), QStringLiteral("y")); // its last child element
        QVERIFY(put.goTo(empty));
        QCOMPARE(put.element(), empty); // itself when it has none
        // A restricted copy cannot leave its parent; the original can.
        QVERIFY(put.goTo(a));
        QXmlPut inner = put.restricted();
        inner.descend(QStringLiteral("b"));
        QVERIFY(inner.rise() && !inner.rise() && !inner.goTo(empty));
        QVERIFY(!put.goTo(put.document().createElement(QStringLiteral("loose"))));
        QVERIFY(!put.goTo(QXmlPut(QStringLiteral("o")).element()) && !put.goTo(QDomElement()));
        QVERIFY(put.rise());
        // A descended copy writes below a new child and cannot rise out of it; the
        // original keeps its parent and takes the child as current element.
        QXmlPut sub = put.descended(QStringLiteral("group"));
        sub.putInt(QStringLiteral("v"), 9);
        QVERIFY(!sub.rise());
        put.setAttributeString(QStringLiteral("k"), QStringLiteral("x"));
        QCOMPARE(compact(put.document().documentElement()),
                 QStringLiteral("<r><a n=\"3\"><x>1</x><y>2</y><b/></a><empty/><!--a note-->\n"
                                "<group k=\"x\"><v>9</v></group></r>"));
        const QString rise = QStringLiteral("bool QXmlPut::rise() attept to rise beyond allowed node");
        const QString outside = QStringLiteral("bool QXmlPut::goTo(const QDomElement&) attempt to jump outside of allowed tree");
        const QString foreign = QStringLiteral("bool QXmlPut::goTo(const QDomElement&) Attempt to go to element not in document");
        QCOMPARE(log.messagesOf(QtDebugMsg), QStringList({rise, rise, outside, outside, foreign, foreign, rise}));
    }
    void readerCursor()
    {
        QXmlGet get;
        QVERIFY(get.fromString(QStringLiteral("<r><a>1</a><b>2</b><a>3</a><c><a>4</a><li>x</li><d><li>y</li></d></c></r>")));
        // find takes the first match and keeps the current element after a miss.
        QVERIFY(get.find(QStringLiteral("b")) && !get.find(QStringLiteral("zzz")));
        QCOMPARE(get.getInt(), 2);
        QVERIFY(get.find(QStringLiteral("a")) && get.find(QStringLiteral("a")));
        QCOMPARE(get.getInt(), 1);
        // findNext walks the siblings; a miss resets to the parent, and so does findReset.
        get.findReset();
        QStringList seen;
        while (get.findNext(QStringLiteral("a")))
            seen << get.getString();
        QCOMPARE(get.getInt(-1), -1);
        while (get.findNext())
            seen << get.tagName();
        QCOMPARE(seen, (QStringList{"1", "3", "a", "b", "a", "c"}));
        QCOMPARE(QList<int>({get.childCount(), get.childCount("li"), get.childCount("a")}), QList<int>({4, 2, 3}));
        QVERIFY(get.find(QStringLiteral("c")));
        const QDomElement c = get.element();
        QCOMPARE(get.childCount(QStringLiteral("c")), 0); // not the element itself
        MessageCapture log;
        QXmlGet sub = get.descended(); // stops at "c"; the original does not move
        QVERIFY(sub.findAndDescend(QStringLiteral("d")) && sub.rise() && !sub.rise());
        QCOMPARE(get.element(), c);
        get.descend();
        get.descend(); // the current element is the parent already
        QVERIFY(get.findNext(QStringLiteral("a")));
        QCOMPARE(get.getInt(), 4);
        QVERIFY(get.rise() && !get.findNext(QStringLiteral("c")) && !get.rise());
        QVERIFY(!get.findAndDescend("none") && get.findAndDescend("c") && get.findNextAndDescend("d"));
        QVERIFY(!get.findNextAndDescend(QStringLiteral("d")));
        QCOMPARE(get.parentElement().tagName(), QStringLiteral("d"));
        QVERIFY(get.goTo(c));
        QCOMPARE(get.tagName(), QStringLiteral("d")); // its last child element, as the writer's
        const QString rise = QStringLiteral("bool QXmlGet::rise() attept to rise beyond allowed node");
        QCOMPARE(log.messagesOf(QtDebugMsg),
                 QStringList({rise, "void QXmlGet::descend() Descended into own parent, possibly missing a rise()", rise}));
    }
    void readerAndWriterShareTheTree()
    {
        QXmlGet get;
        QVERIFY(get.fromString(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><a>1</a><b/></r>")));
        QVERIFY(get.findAndDescend(QStringLiteral("b")));
        QXmlPut put(get); // continues where the reader is, declaration included
        put.putInt(QStringLiteral("c"), 3);
        QVERIFY(put.rise());
        put.putInt(QStringLiteral("d"), 4);
        QVERIFY(get.find(QStringLiteral("c"))); // the reader sees the write; its cursor did not move
        QCOMPARE(get.getInt(), 3);
        QCOMPARE(put.toString(-1), QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<r><a>1</a><b><c>3</c></b><d>4</d></r>"));
    }
    void valuesWrittenAndReadBack_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("written"); // see shape()
        QTest::addColumn<QVariant>("read");   // invalid: the value itself
        auto row = [](const char *name, const char *kind, const QVariant &value, const QString &written,
                      const QVariant &read = QVariant()) {
            QTest::newRow(name) << QString::fromLatin1(kind) << value << written << read;
        };
        const QString special = QStringLiteral("a < b & c > d ]]> \"e\" 'f' \u00fc \u20ac \U0001D11E");
        row("string", "string", special, special);
        const QString markers = QStringLiteral("]]><x> & ]]>]]> ]] > \"z\""); // "]]>" is cut out of CDATA
        row("string cdata", "string:cdata", markers, markers);
        row("cdata keeps blanks", "string:cdata", QStringLiteral("   "), "   ");
        row("int min", "int", intMin, "-2147483648");
        row("int max", "int", intMax, "2147483647");
        row("double six digits", "double", 3.14159265, "3.14159", QVariant(3.14159));
        row("double exponent", "double", 1234567890.0, "1.23457e+09", QVariant(1.23457e9));
        row("bool default yes", "bool", true, "yes");
        row("bool false", "bool:tf", false, "false");
        const QDate date(2024, 2, 29);
        const QTime time(23, 59, 58);
        row("date", "date", date, "2024-02-29");
        row("time", "time", time, "23:59:58");
        row("local", "datetime", QDateTime(date, time), "2024-02-29T23:59:58");
        row("utc", "datetime", QDateTime(date, time, Qt::UTC), "2024-02-29T23:59:58Z");
        row("offset", "datetime", QDateTime(date, time, Qt::OffsetFromUTC, 5400), "2024-02-29T23:59:58+01:30");
        row("colour alpha", "color", QColor(255, 0, 0, 128), "#ff000080");
        row("colour opaque", "color", QColor(255, 0, 0), "#ff0000");
        QFont font(QStringLiteral("Liberation Sans"), 13, QFont::Bold, true);
        font.setUnderline(true);
        row("font", "font", font, "|fontdescription=" + font.toString());
        row("size", "size", QSize(640, -3), "|height=-3|width=640");
        row("rect", "rect", QRect(10, 20, 5, 3), "|height=3|left=10|top=20|width=5");
        row("sizef", "sizef", QSizeF(1.23456789, 2.5), "|height=2.5|width=1.23457", QSizeF(1.23457, 2.5));
        row("pointf", "pointf", QPointF(-0.5, 1e-9), "|x=-0.5|y=1e-09");
        row("rectf", "rectf", QRectF(0.25, -1.5, 10.125, 3.0), "|height=3|left=0.25|top=-1.5|width=10.125");
        row("brush", "brush", QBrush(QColor(10, 20, 30, 40), Qt::Dense3Pattern), "|brushstyle=4|color=#0a141e28");
        // Cap, join and miter limit are written only when they differ from the defaults.
        row("pen plain", "pen", makePen(QColor(1, 2, 3), 2.5, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin),
            "|color=#010203|penstyle=2|width=2.5");
        row("pen miter", "pen", makePen(QColor(4, 5, 6), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin, 3.5),
            "|capstyle=32|color=#040506|joinstyle=0|miterlimit=3.5|penstyle=1|width=1");
        row("pen round", "pen", makePen(QColor(7, 8, 9, 10), 0.0, Qt::DotLine, Qt::FlatCap, Qt::RoundJoin),
            "|capstyle=0|color=#0708090a|joinstyle=128|penstyle=3|width=0");
        QPen dashed(QColor(0, 128, 255), 1.5);
        dashed.setDashPattern({4.0, 2.0, 1.0, 2.0});
        dashed.setDashOffset(1.25);
        row("pen dashes", "pen", dashed, "|color=#0080ff|dashoffset=1.25|dashpattern=4;2;1;2|penstyle=6|width=1.5");
        row("ints", "ints", "1;-2;300", "1;-2;300");
        row("doubles", "doubles", "0.5;3.14159265;-1e20", "0.5;3.14159;-1e+20", QVariant("0.5;3.14159;-1e+20"));
        row("bools 1/0", "bools:10", "1;0;1", "1;0;1");
        row("bools default", "bools", "no;yes", "no;yes");
        row("list", "strings:cdata", QStringList({"a]]>b", "<4>"}), "a]]>b<4>");
        const QByteArray z(200, 'z');
        const QString packed = QString::fromLatin1(qCompress(z, 1).toBase64()) + "\n|compression=1";
        row("bytes packed", "bytes:76:1:cdata", z, packed); // 1: the least that packs
        row("list empty", "strings", QStringList(), ""); // found: not the default
    }
    void valuesWrittenAndReadBack()
    {
        QFETCH(QString, kind);
        QFETCH(QVariant, value);
        QFETCH(QString, written);
        QFETCH(QVariant, read);
        if (!read.isValid())
            read = value;
        QXmlPut put(QStringLiteral("r"));
        putAs(put, kind, value);
        QCOMPARE(shape(put.element()), written);
        QCOMPARE((put.element().firstChild().isElement() ? put.element().firstChild().firstChild()
                                                                 : put.element().firstChild()).isCDATASection(), kind.endsWith(QLatin1String(":cdata")));
        // Through the text and through the tree being written.
        for (QXmlGet get : {reread(put), QXmlGet(put)}) {
            QVERIFY(get.find(QStringLiteral("v")));
            QCOMPARE(readAs(get, kind, unlike(kind, read)), comparable(kind, read));
        }
    }
    void textOfTheWrongFormGivesTheDefault_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QVariant>("fallback");
        QTest::addColumn<QVariant>("expected"); // invalid: the fallback
        const QVariant fb;
        auto row = [](const char *name, const char *kind, const QString &element, const QVariant &fallback,
                      const QVariant &expected) {
            QTest::newRow(name) << QString::fromLatin1(kind) << element << fallback << expected;
        };
        // Strings: empty, white space only, or not starting with text.
        row("string empty", "string", "<v/>", "D", fb);
        row("string child element", "string", "<v><x/></v>", "D", fb);
        row("string after comment", "string", "<v><!--n-->t</v>", "D", fb);
        row("int trailing junk", "int", "<v>12abc</v>", 5, fb);
        row("int out of range", "int", "<v>99999999999</v>", 5, fb);
        row("int negative", "int", "<v>-7</v>", 5, -7);
        row("double word", "double", "<v>abc</v>", 9.0, fb);
        row("double comma", "double", "<v>1,5</v>", 9.0, fb);
        row("bool any case", "bool", "<v>TRUE</v>", false, true);
        row("bool outside the pair", "bool:tf", "<v>yes</v>", true, fb);
        row("bool 1 outside yes/no", "bool:yn", "<v>1</v>", false, fb);
        row("date 30 February", "date", "<v>2024-02-30</v>", QDate(2000, 1, 1), fb);
        row("time 25 o'clock", "time", "<v>25:00:00</v>", QTime(1, 2), fb);
        row("datetime word", "datetime", "<v>yesterday</v>", QDateTime(QDate(2000, 1, 1), QTime(0, 0)), fb);
        // Colours: #rgb, #rgba, #rrggbb, #rrggbbaa, the toolkit's 12- and 16-bit forms, names,
        // and the 17-character form #rrrrggggbbbbaaaa.
        const QVariant cyan = QColor(Qt::cyan);
        row("colour #rgba", "color", "<v>#f008</v>", cyan, QColor(255, 0, 0, 136));
        row("colour #rgb", "color", "<v>#f80</v>", cyan, QColor(255, 136, 0));
        row("colour 12 bit", "color", "<v>#fff000fff</v>", cyan, QColor(QStringLiteral("#fff000fff")));
        row("colour 17", "color", "<v>#123456789abc8000</v>", cyan, QColor::fromRgba64(0x1234, 0x5678, 0x9abc, 0x8000));
        for (const char *bad : {"#12345z", "#12345z80", "#ff0000zz", "#ff00008", "#f00g", "#f0g8", "nocolour", "#",
                                "#ff0000+8", "#ff0000 8", "ff0000", "#123456789abc800g", "#12345678Xabc8000"})
            row(qPrintable(QStringLiteral("colour %1").arg(QLatin1String(bad))), "color",
                QStringLiteral("<v>%1</v>").arg(QLatin1String(bad)), cyan, fb);
        row("font empty", "font", "<v/>", QFont(QStringLiteral("Mono"), 7), fb);
        // Geometry: a missing attribute gives the default, one that does not parse reads as 0.
        row("size without height", "size", "<v width=\"1\"/>", QSize(8, 9), fb);
        row("size width junk", "size", "<v width=\"abc\" height=\"3\"/>", QSize(9, 9), QSize(0, 3));
        row("point without x", "point", "<v y=\"2\"/>", QPoint(8, 9), fb);
        row("rect without height", "rect", "<v left=\"10\" top=\"20\" width=\"5\"/>", QRect(1, 1, 1, 1), fb);
        row("rect left junk", "rect", "<v left=\"x\" top=\"1\" width=\"2\" height=\"3\"/>", QRect(), QRect(0, 1, 2, 3));
        row("rectf without width", "rectf", "<v left=\"1\" top=\"1\" height=\"1\"/>", QRectF(7, 7, 7, 7), fb);
        // Brushes and pens: each present attribute overrides the default; the others stay.
        const QBrush brush(Qt::green, Qt::CrossPattern);
        row("brush colour only", "brush", "<v color=\"#0000ff\"/>", brush, QBrush(Qt::blue, Qt::CrossPattern));
        row("brush style only", "brush", "<v brushstyle=\"1\"/>", brush, QBrush(Qt::green, Qt::SolidPattern));
        const QPen fallbackPen = makePen(Qt::blue, 4.0, Qt::DashDotLine, Qt::RoundCap, Qt::RoundJoin);
        row("pen colour only", "pen", "<v color=\"#ff0000\"/>", fallbackPen,
            makePen(Qt::red, 4.0, Qt::DashDotLine, Qt::RoundCap, Qt::RoundJoin));
        row("pen all junk", "pen",
            "<v color=\"#\" penstyle=\"-1\" width=\"-5\" capstyle=\"3\" joinstyle=\"7\" miterlimit=\"nan-ish\" dashpattern=\";\"/>",
            fallbackPen, fb);
        // Style 6 needs a pattern; the offset is read only with one.
        const QPen dotted = makePen(Qt::black, 1.0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
        row("pen 6 without pattern", "pen", "<v penstyle=\"6\" dashoffset=\"3\"/>", dotted, fb);
        row("pen 6 broken pattern", "pen", "<v penstyle=\"6\" dashpattern=\"1;;2\"/>", dotted, fb);
        QPen gapless = dotted; // a dash of length 0 is a pattern still
        gapless.setDashPattern({4.0, 0.0});
        row("pen 6 zero dash", "pen", "<v penstyle=\"6\" dashpattern=\"4;0\"/>", dotted, gapless);
        // Byte arrays are Base64 in CDATA; line breaks anywhere are ignored.
        const QByteArray fox("The quick brown fox jumps over the lazy dog.");
        QString broken = QString::fromLatin1(fox.toBase64());
        for (int i = broken.size() - 3; i > 0; i -= 7)
            broken.insert(i, QLatin1Char('\n'));
        row("bytes broken lines", "bytes", "<v><![CDATA[\n" + broken + "\n\n]]></v>", QByteArray("D"), fox);
        row("bytes text node", "bytes", "<v>" + broken + "</v>", QByteArray("D"), fb);
        row("bytes corrupt compressed", "bytes", "<v compression=\"3\"><![CDATA[AAAAEHh4eHh4eHh4\n]]></v>",
            QByteArray("D"), fb);
        row("list without items", "strings", "<v>text only</v>", QStringList{"D"}, QStringList());
        row("ints empty item", "ints", "<v>1;;2</v>", "9", fb);
        row("ints two", "ints", "<v>1;2</v>", "9", "1;2");
        row("doubles junk", "doubles", "<v>1;x</v>", "9", fb);
        row("bools outside the pair", "bools:yn", "<v>1;0;1</v>", "0", fb);
        row("bools empty", "bools", "<v/>", "1", fb);
    }
    void textOfTheWrongFormGivesTheDefault()
    {
        QFETCH(QString, kind);
        QFETCH(QString, element);
        QFETCH(QVariant, fallback);
        QFETCH(QVariant, expected);
        if (!expected.isValid())
            expected = fallback;
        QXmlGet get;
        QVERIFY(get.fromString(QStringLiteral("<r>") + element + QStringLiteral("</r>")));
        QVERIFY(get.find(QStringLiteral("v")));
        QCOMPARE(readAs(get, kind, fallback), comparable(kind, expected));
    }
    void attributes()
    {
        QXmlPut put(QStringLiteral("r"));
        put.putSingleTag(QStringLiteral("t"));
        put.setAttributeInt(QStringLiteral("i"), -42);
        put.setAttributeDouble(QStringLiteral("d"), 2.718281828);
        put.setAttributeBool(QStringLiteral("b"), true, bfTrueFalse);
        put.setAttributeColor(QStringLiteral("c"), QColor(1, 2, 3, 4));
        put.setAttributeIntVector(QStringLiteral("iv"), {4, 5});
        put.setAttributeDoubleVector(QStringLiteral("dv"), {0.125, 1e-7});
        put.setAttributeBoolVector(QStringLiteral("bv"), {true, true, false}, bfTrueFalse);
        put.setAttributeString(QStringLiteral("s"), QStringLiteral("a \"q\" <b> & 'c'\n\tz"));
        put.setAttributeIntVector(QStringLiteral("e"), {});
        QCOMPARE(shape(put.element()), QStringLiteral("|b=true|bv=true;true;false|c=#01020304|d=2.71828|dv=0.125;1e-07|"
                                                      "e=|i=-42|iv=4;5|s=a \"q\" <b> & 'c'\n\tz"));
        QXmlGet get = reread(put);
        QVERIFY(get.find(QStringLiteral("t")) && get.hasAttribute("e") && !get.hasAttribute("none"));
        QCOMPARE(get.getAttributeString("s") + get.getAttributeString("e", "d") + get.getAttributeString("none", "d"),
                 QStringLiteral("a \"q\" <b> & 'c'\n\tzd"));
        QCOMPARE(QList<int>({get.getAttributeInt("i"), get.getAttributeInt("d", 3), get.getAttributeBool("b"),
                             get.getAttributeBool("b", false, bfYesNo)}),
                 QList<int>({-42, 3, 1, 0}));
        QCOMPARE(QList<double>({get.getAttributeDouble("d"), get.getAttributeDouble("c", 1.5)}),
                 QList<double>({2.71828, 1.5}));
        QCOMPARE(QList<QColor>({get.getAttributeColor("c"), get.getAttributeColor("d", Qt::cyan)}),
                 QList<QColor>({QColor(1, 2, 3, 4), Qt::cyan}));
        QCOMPARE(get.getAttributeIntVector("iv") + get.getAttributeIntVector("e", {1}), (QVector<int>{4, 5, 1}));
        QCOMPARE(get.getAttributeDoubleVector("dv") + get.getAttributeDoubleVector("none", {2.5}),
                 (QVector<double>{0.125, 1e-7, 2.5}));
        QCOMPARE(get.getAttributeBoolVector("bv") + get.getAttributeBoolVector("bv", {false}, bfOneZero),
                 (QVector<bool>{true, true, false, false}));
    }
    void byteArrayLinesAndCompression()
    {
        auto written = [](const QByteArray &bytes, int width = 76, int compression = 0) {
            QXmlPut put(QStringLiteral("r"));
            put.putByteArray(QStringLiteral("b"), bytes, width, compression);
            return QString(put.element().firstChild().isCDATASection() ? "" : "no CDATA ") + shape(put.element());
        };
        QByteArray data(100, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7 + 3);
        const QString base64 = QString::fromLatin1(data.toBase64());
        // Lines of the width, each ended by a line feed; an exact multiple has no short line.
        QCOMPARE(written(data), base64.left(76) + "\n" + base64.mid(76) + "\n");
        QCOMPARE(written(QByteArray(57, 'x')).size(), 77);
        // A width below 1 or beyond the text is one line; it never loops.
        const QByteArray many(300, 'q');
        for (int width : {0, -1, intMin, 400, intMax})
            QCOMPARE(written(many, width), QString::fromLatin1(many.toBase64()) + QLatin1Char('\n'));
        QCOMPARE(written(many, 1).count(QLatin1Char('\n')), 400);
        // The toolkit's compression, length first; the level is held to 9, below 1 is none.
        QString packed = written(data, 76, 5);
        QVERIFY(packed.endsWith(QLatin1String("|compression=5")));
        packed = packed.section(QLatin1Char('|'), 0, 0).remove(QLatin1Char('\n'));
        QCOMPARE(QByteArray::fromBase64(packed.toLatin1()), qCompress(data, 5));
        QVERIFY(written(data, 76, 10).endsWith(QLatin1String("|compression=9")));
        QCOMPARE(written(data, 76, -3), written(data));
    }
    void images()
    {
        QImage image(17, 9, QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgba(x * 15, y * 28, (x * y) % 256, 100 + x));
        QXmlPut put(QStringLiteral("r"));
        put.putImage(QStringLiteral("png"), image, QStringLiteral("png"), 64);
        QCOMPARE(shape(put.element()).section(QLatin1Char('|'), 1), QStringLiteral("compression=9|format=png"));
        QCOMPARE(put.element().firstChild().nodeValue().indexOf(QLatin1Char('\n')), 64);
        MessageCapture log;
        put.putImage(QStringLiteral("bad"), image, QStringLiteral("NOPE"));
        QCOMPARE(log.messagesOf(QtDebugMsg),
                 QStringList{"void QXmlPut::putImage(const QString&, const QImage&, const QString&, int) "
                             "Couldn't write image to buffer with format NOPE"});
        QXmlGet get = reread(put);
        QCOMPARE(get.childCount(), 1); // nothing written for the bad format
        QVERIFY(get.find(QStringLiteral("png")));
        QCOMPARE(get.getImage().convertToFormat(QImage::Format_ARGB32), image);
        const QImage fallback(2, 2, QImage::Format_Mono);
        QVERIFY(get.fromString(QStringLiteral("<r><v><![CDATA[AAAA\n]]></v><v format=\"PNG\"><![CDATA[AAAA\n]]></v>"
                                              "<v format=\"XPM\"><![CDATA[bm90IGFuIGltYWdl\n]]></v></r>")));
        while (get.findNext(QStringLiteral("v")))
            QCOMPARE(get.getImage(fallback), fallback);
    }
    void saveLoadAndTheirErrors()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("doc.xml"));
        auto bytes = [&path] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QXmlPut put(QStringLiteral("settings"));
        put.descend(QStringLiteral("group"));
        put.putString(QStringLiteral("name"), QStringLiteral("Grüße €"));
        QVERIFY(put.save(path, 4));
        QVERIFY(bytes().contains("\n    <group>\n        <name>Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac</name>")); // indent 4
        QXmlGet get;
        QVERIFY(get.load(path) && get.findAndDescend(QStringLiteral("group")) && get.find(QStringLiteral("name")));
        QCOMPARE(get.getString(), QStringLiteral("Grüße €"));
        // The declared encoding is the one written and read.
        QXmlPut latin(QStringLiteral("r"), QStringLiteral("1.0"), QStringLiteral("ISO-8859-1"), false);
        latin.putString(QStringLiteral("s"), QStringLiteral("é"));
        QVERIFY(latin.save(path) && bytes().contains("<s>\xe9</s>"));
        QVERIFY(get.load(path) && get.find(QStringLiteral("s")));
        QCOMPARE(get.getString(), QStringLiteral("é"));
        // A missing file, a folder and a file that does not parse: logged, the reader kept, cursor included.
        const QString bad = dir.filePath(QStringLiteral("bad.xml"));
        QVERIFY(writeFile(bad, "<r>\n  <a>1</a>\n  <b>\n</r>\n"));
        const QString missing = QStringLiteral("/nonexistent-folder/none.xml");
        MessageCapture log;
        QVERIFY(!QXmlPut(QStringLiteral("r")).save(missing));
        QVERIFY(get.fromString(QStringLiteral("<keep><a>7</a></keep>")) && get.find(QStringLiteral("a")));
        QString message = QStringLiteral("untouched");
        int line = -1;
        int column = -2;
        for (const QString &unreadable : {missing, dir.path()})
            QVERIFY(!get.load(unreadable, &message, &line, &column));
        QCOMPARE(message + QString::number(line) + QString::number(column), QStringLiteral("untouched-1-2"));
        QVERIFY(!get.load(bad, &message, &line, &column));
        QCOMPARE(line, 4);
        QCOMPARE(get.getInt(), 7);
        QCOMPARE(log.messagesOf(QtDebugMsg),
                 QStringList({"bool QXmlPut::save(const QString&, int) const Couldn't open file for writing: " + missing,
                              loadSignature + "Couldn't read from file: " + missing,
                              loadSignature + "Couldn't read from file: " + dir.path(),
                              loadSignature + "Couldn't parse file: " + bad +
                                  QStringLiteral(", line 4, column %1: %2").arg(column).arg(message)}));
        log.clear();
        QXmlGet fresh;
        QVERIFY(!fresh.fromString(QStringLiteral("<r><a></r>"), &message, &line, &column));
        QCOMPARE(log.messagesOf(QtDebugMsg),
                 QStringList{fromStringSignature +
                             QStringLiteral("Couldn't parse text, line %1, column %2: %3").arg(line).arg(column).arg(message)});
        QCOMPARE(line, 1);
        QVERIFY(fresh.document().isNull());
    }

};

QTEST_MAIN(TestQXmlPutGet)
#include "tst_qxmlputget.moc"
