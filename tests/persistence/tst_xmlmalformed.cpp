// Malformed documents: truncated, deeply nested, with huge attributes, binary
// junk, entity bombs, values of the wrong form. Each gives the caller's
// defaults and a log line; nothing crashes or hangs.

#include "persistence/logcapture.h"
#include "persistence/qxmlputget.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A document with one element of every kind the writer makes.
QString fullDocument()
{
    QXmlPut put(QStringLiteral("VeltoHardware"), QStringLiteral("1.0"), QStringLiteral("UTF-8"), false,
                QStringLiteral("VeltoHardware"));
    put.putString(QStringLiteral("s"), QStringLiteral("text & <more>"));
    put.putString(QStringLiteral("c"), QStringLiteral("a]]>b"), true);
    put.putInt(QStringLiteral("i"), 12345);
    put.putDouble(QStringLiteral("d"), 3.25);
    put.putBool(QStringLiteral("b"), true);
    put.putDate(QStringLiteral("date"), QDate(2024, 5, 6));
    put.putColor(QStringLiteral("col"), QColor(1, 2, 3, 4));
    put.putRect(QStringLiteral("rect"), QRect(1, 2, 3, 4));
    put.putPen(QStringLiteral("pen"), QPen(Qt::red, 2.0, Qt::DashLine));
    put.putByteArray(QStringLiteral("bytes"), QByteArray(200, 'z'), 76, 6);
    put.putStringList(QStringLiteral("list"), {QStringLiteral("x"), QStringLiteral("y")});
    put.putIntVector(QStringLiteral("iv"), {1, 2, 3});
    put.descend(QStringLiteral("VSIM"));
    put.setAttributeInt(QStringLiteral("hardLo"), 1);
    put.setAttributeString(QStringLiteral("file"), QStringLiteral("vsim.xml"));
    return put.toString();
}

// Reads every value from `get` with distinctive defaults and checks that each
// is either the value written or the default. Returns how many were defaults.
int readEverything(QXmlGet get)
{
    int defaults = 0;
    auto found = [&](const char *name) { return get.find(QLatin1String(name)); };
    auto count = [&](bool isDefault) { defaults += isDefault ? 1 : 0; };
    count(!found("s") || get.getString(QStringLiteral("D")) == QLatin1String("D"));
    count(!found("i") || get.getInt(-1) == -1);
    count(!found("d") || get.getDouble(-1.0) == -1.0);
    count(!found("b") || get.getBool(false) == false);
    count(!found("date") || get.getDate(QDate(1, 1, 1)) == QDate(1, 1, 1));
    count(!found("col") || get.getColor(Qt::cyan) == QColor(Qt::cyan));
    count(!found("rect") || get.getRect(QRect(9, 9, 9, 9)) == QRect(9, 9, 9, 9));
    count(!found("pen") || get.getPen(QPen(Qt::green)) == QPen(Qt::green));
    count(!found("bytes") || get.getByteArray("D") == QByteArray("D"));
    count(!found("list") || get.getStringList({QStringLiteral("D")}) == QStringList{QStringLiteral("D")});
    count(!found("iv") || get.getIntVector({-1}) == QVector<int>{-1});
    count(!found("VSIM") || get.getAttributeInt(QStringLiteral("hardLo"), -1) == -1);
    return defaults;
}

QString nested(int depth, const QString &open = QStringLiteral("<a>"),
               const QString &close = QStringLiteral("</a>"))
{
    QString text;
    text.reserve(depth * (open.size() + close.size()));
    for (int i = 0; i < depth; ++i)
        text += open;
    for (int i = 0; i < depth; ++i)
        text += close;
    return text;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

const QString fromStringSignature =
    QStringLiteral("bool QXmlGet::fromString(const QString&, QString*, int*, int*) ");
const QString loadSignature = QStringLiteral("bool QXmlGet::load(const QString&, QString*, int*, int*) ");

} // namespace

class TestXmlMalformed : public QObject
{
    Q_OBJECT

private slots:
    void wholeDocumentReadsBack();
    void truncatedAtEveryPosition();
    void truncatedFiles();
    void emptyAndMissingFiles();
    void directoryIsNoFile();
    void deeplyNested();
    void nestingAtTheLimitIsRead();
    void nestingHiddenFromTheScanIsRefused();
    void nestingThroughEntitiesStaysBounded();
    void manySiblingsAreNotDeep();
    void hugeAttributes();
    void hugeCompressionClaim();
    void binaryJunk();
    void junkAfterTheRoot();
    void entityBomb();
    void valuesOfTheWrongForm();
};

void TestXmlMalformed::wholeDocumentReadsBack()
{
    QXmlGet get;
    QVERIFY(get.fromString(fullDocument()));
    QCOMPARE(readEverything(get), 0);
}

void TestXmlMalformed::truncatedAtEveryPosition()
{
    const QString text = fullDocument();
    const int rootEnd = text.lastIndexOf(QStringLiteral("</VeltoHardware>"));
    QVERIFY(rootEnd > 0);
    for (int length = 0; length < rootEnd; ++length) {
        QXmlGet get;
        LogCapture log;
        QString message;
        int line = -1;
        int column = -1;
        QVERIFY2(!get.fromString(text.left(length), &message, &line, &column),
                 qPrintable(QString::number(length)));
        QVERIFY(!message.isEmpty());
        QVERIFY(line >= 0 && column >= 0);
        QCOMPARE(log.debugLines().size(), 1);
        QVERIFY(log.debugLines().first().startsWith(fromStringSignature +
                                                    QStringLiteral("Couldn't parse text, line ")));
        // The reader is still the empty one: every read is the caller's default.
        QCOMPARE(readEverything(get), 12);
        QVERIFY(get.docType().isEmpty());
    }
}

void TestXmlMalformed::truncatedFiles()
{
    QTemporaryDir dir;
    const QByteArray bytes = fullDocument().toUtf8();
    const QString path = dir.filePath(QStringLiteral("cut.xml"));
    for (int length : {1, 10, 39, 40, 41, 60, bytes.size() / 3, bytes.size() / 2, bytes.size() - 3}) {
        QVERIFY(writeFile(path, bytes.left(length)));
        QXmlGet get;
        QVERIFY(get.fromString(QStringLiteral("<previous><i>5</i></previous>")));
        LogCapture log;
        QVERIFY(!get.load(path));
        QCOMPARE(log.debugLines().size(), 1);
        QVERIFY(log.debugLines().first().startsWith(loadSignature + QStringLiteral("Couldn't parse file: ") +
                                                    path));
        // The reader keeps the document it had.
        QCOMPARE(get.tagName(), QStringLiteral("previous"));
        QVERIFY(get.find(QStringLiteral("i")));
        QCOMPARE(get.getInt(), 5);
    }
}

void TestXmlMalformed::emptyAndMissingFiles()
{
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.xml"));
    QVERIFY(writeFile(empty, QByteArray()));
    QXmlGet get;
    LogCapture log;
    QString message;
    QVERIFY(!get.load(empty, &message));
    QVERIFY(!message.isEmpty());
    QCOMPARE(log.debugLines().size(), 1);
    QCOMPARE(readEverything(get), 12);

    log.clear();
    QVERIFY(!get.fromString(QString()));
    QCOMPARE(log.debugLines().size(), 1);

    log.clear();
    const QString missing = dir.filePath(QStringLiteral("missing.xml"));
    QVERIFY(!get.load(missing));
    QCOMPARE(log.debugLines(),
             QStringList{loadSignature + QStringLiteral("Couldn't read from file: ") + missing});
}

void TestXmlMalformed::directoryIsNoFile()
{
    QTemporaryDir dir;
    QXmlGet get;
    LogCapture log;
    QVERIFY(!get.load(dir.path()));
    QCOMPARE(log.debugLines().size(), 1);
    QCOMPARE(readEverything(get), 12);
}

void TestXmlMalformed::deeplyNested()
{
    for (int depth : {QXmlGet::maximumDepth + 1, 5000, 100000, 1000000}) {
        QXmlGet get;
        LogCapture log;
        QString message;
        int line = 0;
        int column = 0;
        const QString text =
            QStringLiteral("<?xml version=\"1.0\"?>\n<r>") + nested(depth - 1) + QStringLiteral("</r>");
        QVERIFY(!get.fromString(text, &message, &line, &column));
        QCOMPARE(message, QStringLiteral("elements nested deeper than %1 levels").arg(QXmlGet::maximumDepth));
        QCOMPARE(line, 2);
        QCOMPARE(column, 4 + 3 * (QXmlGet::maximumDepth - 1)); // the start tag one level too deep
        QCOMPARE(log.debugLines().size(), 1);
        QCOMPARE(readEverything(get), 12);
    }

    // The same through a file, in UTF-8 and in UTF-16 without a byte order mark.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deep.xml"));
    const QString deep = nested(200000);
    for (const QByteArray &bytes :
         {deep.toUtf8(), QByteArray(reinterpret_cast<const char *>(deep.utf16()), deep.size() * 2)}) {
        QVERIFY(writeFile(path, bytes));
        QXmlGet get;
        LogCapture log;
        QString message;
        QVERIFY(!get.load(path, &message));
        QVERIFY2(message.contains(QStringLiteral("nested deeper")), qPrintable(message));
        QCOMPARE(log.debugLines().size(), 1);
    }
}

void TestXmlMalformed::nestingAtTheLimitIsRead()
{
    QXmlGet get;
    const QString text = nested(QXmlGet::maximumDepth, QStringLiteral("<a x='>' y=\"/>\">"));
    QString message;
    QVERIFY2(get.fromString(text, &message), qPrintable(message));
    int depth = 1;
    while (get.findAndDescend(QStringLiteral("a")))
        ++depth;
    QCOMPARE(depth, QXmlGet::maximumDepth);
    // Writing it out again is safe at this depth.
    QXmlPut put(get);
    QVERIFY(put.toString().size() > text.size());

    // The same in UTF-16 with a byte order mark, from a file.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("limit.xml"));
    QByteArray bytes("\xff\xfe");
    bytes += QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    QVERIFY(writeFile(path, bytes));
    QXmlGet fromFile;
    QVERIFY2(fromFile.load(path, &message), qPrintable(message));
    QCOMPARE(fromFile.childCount(QStringLiteral("a")), QXmlGet::maximumDepth - 1);
}

void TestXmlMalformed::nestingHiddenFromTheScanIsRefused()
{
    // Markup that a careless scan would skip over: quotes in comments of the
    // internal subset, '>' in attribute values and comments, CDATA that looks like tags.
    const QStringList prologues{
        QStringLiteral("<!DOCTYPE r [ <!-- it's ' \" ]> --> <!ENTITY e \"it's > ]\"> ]>"),
        QStringLiteral("<!-- <a> ' \" --><?pi ' > ?>"),
        QStringLiteral("<!DOCTYPE r SYSTEM 'x.dtd'>"),
    };
    for (const QString &prologue : prologues) {
        QXmlGet get;
        LogCapture log;
        QString message;
        const QString text = prologue + QStringLiteral("<r><![CDATA[</a></a>]]>") +
                             nested(50000, QStringLiteral("<a b='>'>")) + QStringLiteral("</r>");
        QVERIFY(!get.fromString(text, &message));
        QVERIFY2(message.contains(QStringLiteral("nested deeper")), qPrintable(prologue));
        QCOMPARE(log.debugLines().size(), 1);
    }
    // Stray end tags cannot buy depth back.
    QXmlGet get;
    LogCapture log;
    QString message;
    QVERIFY(!get.fromString(QStringLiteral("<r>") + QString(QStringLiteral("</x>")).repeated(5000) +
                                nested(20000) + QStringLiteral("</r>"),
                            &message));
}

void TestXmlMalformed::nestingThroughEntitiesStaysBounded()
{
    // Entity values are markup that every reference expands in place, and the
    // parser puts no limit on a literal value: their possible start tags count
    // towards the depth.
    const QString inner = nested(2000, QStringLiteral("<e>"), QStringLiteral("</e>"));
    const QStringList bombs{
        QStringLiteral("<!DOCTYPE r [ <!ENTITY deep \"%1\"> ]><r>&deep;</r>").arg(inner),
        // Wrapped in a parameter entity, quotes within quotes.
        QStringLiteral("<!DOCTYPE r [ <!ENTITY %% pe \"<!ENTITY deep '%1'>\"> %%pe; ]><r>&deep;</r>")
            .arg(inner),
        // Written as character references, which become "<" in the value.
        QStringLiteral("<!DOCTYPE r [ <!ENTITY deep \"%1\"> ]><r>&deep;</r>")
            .arg(QString(inner).replace(QLatin1Char('<'), QStringLiteral("&#60;"))),
        // Many small entities chained.
        [] {
            QString subset;
            QString previous;
            for (int k = 0; k < 100; ++k) {
                const QString name = QStringLiteral("e%1").arg(k);
                subset +=
                    QStringLiteral("<!ENTITY %1 \"<x><x><x>%2</x></x></x>\">")
                        .arg(name, previous.isEmpty() ? QString() : QStringLiteral("&%1;").arg(previous));
                previous = name;
            }
            return QStringLiteral("<!DOCTYPE r [ %1 ]><r>&%2;</r>").arg(subset, previous);
        }(),
    };
    for (const QString &bomb : bombs) {
        QXmlGet get;
        LogCapture log;
        QString message;
        QVERIFY(!get.fromString(bomb, &message));
        QVERIFY2(message.contains(QStringLiteral("nested deeper")), qPrintable(message));
        QCOMPARE(log.debugLines().size(), 1);
        QCOMPARE(readEverything(get), 12);
    }

    // A few levels through an entity within the limit are read as usual.
    const QString fine = QStringLiteral("<!DOCTYPE r [ <!ENTITY small \"<e><f>deep</f></e>\"> ]><r>") +
                         nested(QXmlGet::maximumDepth - 4, QStringLiteral("<a>&small;")) +
                         QStringLiteral("</r>");
    QXmlGet get;
    QString message;
    QVERIFY2(get.fromString(fine, &message), qPrintable(message));
    QCOMPARE(get.childCount(QStringLiteral("f")), QXmlGet::maximumDepth - 4);
    QVERIFY(get.findAndDescend(QStringLiteral("a")));
    QVERIFY(get.findAndDescend(QStringLiteral("e")));
    QVERIFY(get.find(QStringLiteral("f")));
    QCOMPARE(get.getString(), QStringLiteral("deep"));
}

void TestXmlMalformed::manySiblingsAreNotDeep()
{
    QString text = QStringLiteral("<r>");
    for (int i = 0; i < 20000; ++i)
        text += (i % 2) ? QStringLiteral("<a/>") : QStringLiteral("<b x=\"1\"></b>");
    text += QStringLiteral("</r>");
    QXmlGet get;
    QVERIFY(get.fromString(text));
    QCOMPARE(get.childCount(), 20000);
    QCOMPARE(get.childCount(QStringLiteral("a")), 10000);
}

void TestXmlMalformed::hugeAttributes()
{
    const QString huge(8 * 1024 * 1024, QLatin1Char('9'));
    const QString text =
        QStringLiteral("<!DOCTYPE VeltoHardware><r><VSIM hardLo=\"%1\" hardHi=\"3\" file=\"%2\" "
                       "c=\"%1\" v=\"%1;%1\"/><s width=\"%1\" height=\"1\"/></r>")
            .arg(huge, QString(4 * 1024 * 1024, QLatin1Char('x')));
    QXmlGet get;
    QVERIFY(get.fromString(text));
    QCOMPARE(get.docType(), QStringLiteral("VeltoHardware"));
    QVERIFY(get.find(QStringLiteral("VSIM")));
    QCOMPARE(get.getAttributeInt(QStringLiteral("hardLo"), -1), -1);
    QCOMPARE(get.getAttributeInt(QStringLiteral("hardHi"), -1), 3);
    QCOMPARE(get.getAttributeString(QStringLiteral("file")).size(), 4 * 1024 * 1024);
    QCOMPARE(get.getAttributeColor(QStringLiteral("c"), Qt::cyan), QColor(Qt::cyan));
    QCOMPARE(get.getAttributeIntVector(QStringLiteral("v"), {-1}), QVector<int>{-1});
    QVERIFY(get.find(QStringLiteral("s")));
    QCOMPARE(get.getSize(QSize(5, 5)), QSize(0, 1)); // a number that does not parse reads as 0

    // A huge attribute that never ends: a parse error, not a hang.
    QXmlGet broken;
    LogCapture log;
    QVERIFY(!broken.fromString(QStringLiteral("<r a=\"") + huge));
    QCOMPARE(log.debugLines().size(), 1);
}

void TestXmlMalformed::hugeCompressionClaim()
{
    // Compressed data whose length prefix claims 4 GiB: refused before any allocation.
    QByteArray claim("\xff\xff\xff\xf0", 4);
    claim += qCompress(QByteArray(100, 'a')).mid(4);
    const QString text = QStringLiteral("<r><b compression=\"9\"><![CDATA[%1\n]]></b>"
                                        "<short compression=\"9\"><![CDATA[AAE=\n]]></short>"
                                        "<bad compression=\"9\"><![CDATA[!!!!\n]]></bad></r>")
                             .arg(QString::fromLatin1(claim.toBase64()));
    QXmlGet get;
    QVERIFY(get.fromString(text));
    for (const char *name : {"b", "short", "bad"}) {
        QVERIFY(get.find(QLatin1String(name)));
        QCOMPARE(get.getByteArray("D"), QByteArray("D"));
        QCOMPARE(get.getImage(QImage()), QImage());
    }
}

void TestXmlMalformed::binaryJunk()
{
    QRandomGenerator rng(4711);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("junk.xml"));
    for (int round = 0; round < 60; ++round) {
        QByteArray bytes(int(rng.bounded(1, 65536)), '\0');
        for (char &b : bytes)
            b = char(rng.bounded(256));
        if (round % 3 == 1)
            bytes.prepend("<?xml version=\"1.0\"?><r>");
        if (round % 3 == 2)
            bytes.prepend("\xff\xfe");
        QVERIFY(writeFile(path, bytes));
        QXmlGet get;
        LogCapture log;
        QString message;
        const bool ok = get.load(path, &message);
        QVERIFY2(!ok, qPrintable(QString::number(round)));
        QVERIFY(!message.isEmpty());
        QCOMPARE(log.debugLines().size(), 1);
        QCOMPARE(readEverything(get), 12);

        log.clear();
        QVERIFY(!get.fromString(QString::fromLatin1(bytes)));
        QCOMPARE(log.debugLines().size(), 1);
    }
}

void TestXmlMalformed::junkAfterTheRoot()
{
    QXmlGet get;
    LogCapture log;
    QVERIFY(!get.fromString(QStringLiteral("<r/>junk")));
    QVERIFY(!get.fromString(QStringLiteral("<r/><second/>")));
    QVERIFY(!get.fromString(QStringLiteral("no markup at all")));
    QVERIFY(!get.fromString(QStringLiteral("<r><a></b></r>")));
    QVERIFY(!get.fromString(QStringLiteral("<r a=\"1/>")));
    QCOMPARE(log.debugLines().size(), 5);
}

void TestXmlMalformed::entityBomb()
{
    QString text = QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">");
    QString previous = QStringLiteral("lol");
    for (int level = 2; level <= 9; ++level) {
        const QString name = QStringLiteral("lol%1").arg(level);
        text += QStringLiteral("<!ENTITY %1 \"%2\">")
                    .arg(name, QStringLiteral("&%1;").arg(previous).repeated(10));
        previous = name;
    }
    text += QStringLiteral("]><lolz>&lol9;</lolz>");
    QXmlGet get;
    LogCapture log;
    QString message;
    QVERIFY(!get.fromString(text, &message));
    QVERIFY(!message.isEmpty());
    QCOMPARE(log.debugLines().size(), 1);
}

void TestXmlMalformed::valuesOfTheWrongForm()
{
    // Well-formed, but every value is junk: each getter gives its default.
    const QString junk = QStringLiteral("\x01\x02 ]] junk \xe9");
    QString text = QStringLiteral("<r>");
    for (const char *name : {"i", "d", "b", "date", "time", "dt", "col", "iv", "dv", "bv"})
        text += QStringLiteral("<%1>%2</%1>").arg(QLatin1String(name), junk.toHtmlEscaped());
    text += QStringLiteral("<size width=\"x\"/><rect left=\"1\"/><brush color=\"nope\" brushstyle=\"99\"/>"
                           "<pen color=\"#\" penstyle=\"-1\" width=\"-5\" capstyle=\"3\" joinstyle=\"7\" "
                           "miterlimit=\"nan-ish\" dashpattern=\";\"/>"
                           "<img format=\"PNG\"><![CDATA[%1]]></img><bytes><![CDATA[%1]]></bytes>"
                           "<list>text only</list></r>")
                .arg(junk);
    QXmlGet get;
    QString message;
    QVERIFY2(get.fromString(text, &message), qPrintable(message));
    auto at = [&](const char *name) {
        const bool found = get.find(QLatin1String(name));
        if (!found)
            qWarning("%s not found", name);
        return found;
    };
    QVERIFY(at("i"));
    QCOMPARE(get.getInt(-1), -1);
    QVERIFY(at("d"));
    QCOMPARE(get.getDouble(-1.0), -1.0);
    QVERIFY(at("b"));
    QCOMPARE(get.getBool(true), true);
    QVERIFY(at("date"));
    QCOMPARE(get.getDate(QDate(1, 2, 3)), QDate(1, 2, 3));
    QVERIFY(at("time"));
    QCOMPARE(get.getTime(QTime(1, 2)), QTime(1, 2));
    QVERIFY(at("dt"));
    QCOMPARE(get.getDateTime(QDateTime()), QDateTime());
    QVERIFY(at("col"));
    QCOMPARE(get.getColor(Qt::cyan), QColor(Qt::cyan));
    QVERIFY(at("iv"));
    QCOMPARE(get.getIntVector({-1}), QVector<int>{-1});
    QVERIFY(at("dv"));
    QCOMPARE(get.getDoubleVector({-1.0}), QVector<double>{-1.0});
    QVERIFY(at("bv"));
    QCOMPARE(get.getBoolVector({true}), QVector<bool>{true});
    QVERIFY(at("size"));
    QCOMPARE(get.getSize(QSize(7, 7)), QSize(7, 7)); // "height" missing
    QVERIFY(at("rect"));
    QCOMPARE(get.getRect(QRect(7, 7, 7, 7)), QRect(7, 7, 7, 7));
    QVERIFY(at("brush"));
    QCOMPARE(get.getBrush(QBrush(Qt::green)), QBrush(Qt::green));
    QVERIFY(at("pen"));
    const QPen fallback(Qt::green, 3.0, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin);
    QCOMPARE(get.getPen(fallback), fallback);
    QVERIFY(at("img"));
    QCOMPARE(get.getImage(QImage()), QImage());
    QVERIFY(at("bytes"));
    get.getByteArray("D"); // lenient Base64: some bytes, no crash
    QVERIFY(at("list"));
    QCOMPARE(get.getStringList({QStringLiteral("D")}), QStringList()); // found, holds no "li"
}

QTEST_MAIN(TestXmlMalformed)
#include "tst_xmlmalformed.moc"
