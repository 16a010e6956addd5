// SPDX-License-Identifier: GPL-3.0-only
// Malformed documents and every encoding the reader detects: truncated,
// deeply nested (also where a careless scan would not look), huge, binary
// junk, entity bombs. Each leaves the reader empty and logs one line;
// nothing crashes or hangs.

#include "common/testsupport.h"
#include "core/persistence/qxmlputget.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

namespace {

// A document with one element of every kind the writer makes.
QString fullDocument()
{
    QXmlPut put(QStringLiteral("VeltoHardware"), QStringLiteral("1.0"), QStringLiteral("UTF-8"), false,
                QStringLiteral("VeltoHardware"));
    put.putString(QStringLiteral("s"), QStringLiteral("text & <more>"));
    put.putInt(QStringLiteral("i"), 12345);
    put.putColor(QStringLiteral("col"), QColor(1, 2, 3, 4));
    put.putPen(QStringLiteral("pen"), QPen(Qt::red, 2.0, Qt::DashLine));
    put.putByteArray(QStringLiteral("bytes"), QByteArray(200, 'z'), 76, 6);
    put.putStringList(QStringLiteral("list"), {QStringLiteral("x"), QStringLiteral("y")});
    put.descend(QStringLiteral("VSIM"));
    put.setAttributeInt(QStringLiteral("hardLo"), 1);
    return put.toString();
}

QString nested(int depth, const QString &open = QStringLiteral("<a>"), const QString &close = QStringLiteral("</a>"))
{
    return open.repeated(depth) + close.repeated(depth);
}

const QString tooDeep = QStringLiteral("elements nested deeper than %1 levels").arg(QXmlGet::maximumDepth);

// What a fresh reader says when it refuses `text`; an empty text when it reads
// it, or when its refusal is not one log line with the reader left empty.
QString refusal(const QString &text, int *line = nullptr, int *column = nullptr)
{
    QXmlGet get;
    MessageCapture log;
    QString message;
    const bool read = get.fromString(text, &message, line, column);
    return read || log.messagesOf(QtDebugMsg).size() != 1 || !get.document().isNull() ? QString() : message;
}

} // namespace

class TestXmlMalformed : public QObject
{
    Q_OBJECT

private slots:

    void truncatedAtEveryPosition()
    {
        const QString text = fullDocument();
        QVERIFY(QXmlGet().fromString(text));
        const int rootEnd = text.lastIndexOf(QStringLiteral("</VeltoHardware>"));
        for (int length = 0; length < rootEnd; ++length)
            QVERIFY2(!refusal(text.left(length)).isEmpty(), qPrintable(QString::number(length)));
    }
    void deeplyNested()
    {
        for (int depth : {QXmlGet::maximumDepth + 1, 5000, 1000000}) {
            int line = 0;
            int column = 0;
            const QString text = QStringLiteral("<?xml version=\"1.0\"?>\n<r>") + nested(depth - 1) + "</r>";
            QCOMPARE(refusal(text, &line, &column), tooDeep);
            QCOMPARE(line, 2);
            QCOMPARE(column, 4 + 3 * (QXmlGet::maximumDepth - 1)); // the start tag one level too deep
        }
        // Many siblings are not deep.
        QXmlGet get;
        QVERIFY(get.fromString("<r>" + QStringLiteral("<a/><b x=\"1\"></b>").repeated(10000) + "</r>"));
        QCOMPARE(get.childCount(QStringLiteral("a")), 10000);
        // Nesting at the limit is read, '>' in attribute values included, and written out again.
        const QString text = nested(QXmlGet::maximumDepth, QStringLiteral("<a x='>' y=\"/>\">"));
        QVERIFY(get.fromString(text));
        int depth = 1;
        while (get.findAndDescend(QStringLiteral("a")))
            ++depth;
        QCOMPARE(depth, QXmlGet::maximumDepth);
        QVERIFY(QXmlPut(get).toString().size() > text.size());
    }
    void everyEncodingIsDecoded_data()
    {
        QTest::addColumn<QString>("encoding"); // UTF-8, UTF-16LE, UTF-16BE or ISO-8859-1
        QTest::addColumn<QByteArray>("bom");
        QTest::addColumn<QString>("declared"); // the declaration's encoding; empty: no declaration
        QTest::newRow("UTF-8") << "UTF-8" << QByteArray() << QString();
        QTest::newRow("UTF-8 with mark") << "UTF-8" << QByteArray("\xef\xbb\xbf") << "UTF-8";
        QTest::newRow("UTF-16LE") << "UTF-16LE" << QByteArray() << QString();
        QTest::newRow("UTF-16BE") << "UTF-16BE" << QByteArray() << QString();
        QTest::newRow("UTF-16BE declared UTF-16") << "UTF-16BE" << QByteArray() << "UTF-16";
        QTest::newRow("UTF-16BE declared UTF-16BE") << "UTF-16BE" << QByteArray() << "UTF-16BE";
        QTest::newRow("UTF-16LE declared UTF-16") << "UTF-16LE" << QByteArray() << "UTF-16";
        QTest::newRow("UTF-16LE with mark") << "UTF-16LE" << QByteArray("\xff\xfe") << QString();
        QTest::newRow("UTF-16BE with mark") << "UTF-16BE" << QByteArray("\xfe\xff") << "UTF-16";
        QTest::newRow("ISO-8859-1") << "ISO-8859-1" << QByteArray() << "ISO-8859-1";
        // A blank before the root's "<" is UTF-8 still, not a byte order to guess.
        QTest::newRow("UTF-8 after a blank") << "UTF-8" << QByteArray(" ") << QString();
    }
    void everyEncodingIsDecoded()
    {
        QFETCH(QString, encoding);
        QFETCH(QByteArray, bom);
        QFETCH(QString, declared);
        const QString value = QStringLiteral("Grüße ½ <&>");
        const QString prologue =
            declared.isEmpty() ? QString() : QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n").arg(declared);
        auto encoded = [&](const QString &text) {
            QTextCodec::ConverterState noMark(QTextCodec::IgnoreHeader);
            const QTextCodec *codec = QTextCodec::codecForName(encoding.toLatin1());
            return bom + codec->fromUnicode(text.data(), text.size(), &noMark);
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("doc.xml"));
        QVERIFY(writeFile(path, encoded(prologue + "<r>\n<s>" + value.toHtmlEscaped() + "</s></r>\n")));
        QXmlGet get;
        QString message;
        QVERIFY2(get.load(path, &message), qPrintable(message));
        QVERIFY(get.find(QStringLiteral("s")));
        QCOMPARE(get.getString(), value);
        // The depth scan reads the same characters: the tag one level too deep is
        // found where it is.
        QVERIFY(writeFile(path, encoded(prologue + "<r>\n" + nested(QXmlGet::maximumDepth) + "</r>")));
        int line = 0;
        int column = 0;
        MessageCapture log;
        QVERIFY(!get.load(path, &message, &line, &column));
        QCOMPARE(message, tooDeep);
        QCOMPARE(line, declared.isEmpty() ? 2 : 3);
        QCOMPARE(column, 1 + 3 * (QXmlGet::maximumDepth - 1));
        QCOMPARE(log.messagesOf(QtDebugMsg).size(), 1);
        // A file deeper by far is refused as well, before the parser sees it.
        QVERIFY(writeFile(path, encoded(nested(200000))));
        QVERIFY(!get.load(path, &message));
        QCOMPARE(message, tooDeep);
    }
    void nestingHiddenFromTheScanIsRefused()
    {
        // Markup a careless scan would skip: quotes in comments of the internal
        // subset, '>' in attribute values and comments, CDATA that looks like tags.
        for (const QString &prologue : {QStringLiteral("<!DOCTYPE r [ <!-- it's ' \" ]> --> <!ENTITY e \"it's > ]\"> ]>"),
                                        QStringLiteral("<!-- <a> ' \" --><?pi ' > ?>"),
                                        QStringLiteral("<!DOCTYPE r SYSTEM 'x.dtd'>")}) {
            const QString text = prologue + QStringLiteral("<r><![CDATA[</a></a>]]>") +
                                 nested(50000, QStringLiteral("<a b='>'>")) + QStringLiteral("</r>");
            QVERIFY2(refusal(text) == tooDeep, qPrintable(prologue));
        }
        // Nor does a CDATA section or a comment right before every start tag hide it.
        for (const QString &before : {QStringLiteral("<![CDATA[]]>"), QStringLiteral("<!---->")})
            QCOMPARE(refusal("<r>" + nested(QXmlGet::maximumDepth, before + "<a>") + "</r>"), tooDeep);
        // Stray end tags cannot buy depth back.
        QCOMPARE(refusal("<r>" + QStringLiteral("</x>").repeated(5000) + nested(20000) + "</r>"), tooDeep);
    }
    void nestingThroughEntitiesStaysBounded()
    {
        // Entity values are markup that every reference expands in place, and the
        // parser puts no limit on a literal value: their possible start tags count.
        const QString inner = nested(2000, QStringLiteral("<e>"), QStringLiteral("</e>"));
        QString chain;
        QString previous;
        for (int k = 0; k < 100; ++k) {
            const QString name = QStringLiteral("e%1").arg(k);
            chain += QStringLiteral("<!ENTITY %1 \"<x><x><x>%2</x></x></x>\">")
                         .arg(name, previous.isEmpty() ? QString() : QStringLiteral("&%1;").arg(previous));
            previous = name;
        }
        const QStringList bombs{
            QStringLiteral("<!DOCTYPE r [ <!ENTITY deep \"%1\"> ]><r>&deep;</r>").arg(inner),
            // Wrapped in a parameter entity, quotes within quotes.
            QStringLiteral("<!DOCTYPE r [ <!ENTITY %% pe \"<!ENTITY deep '%1'>\"> %%pe; ]><r>&deep;</r>").arg(inner),
            // Written as character references, which become "<" in the value.
            QStringLiteral("<!DOCTYPE r [ <!ENTITY deep \"%1\"> ]><r>&deep;</r>")
                .arg(QString(inner).replace(QLatin1Char('<'), QStringLiteral("&#60;"))),
            QStringLiteral("<!DOCTYPE r [ %1 ]><r>&%2;</r>").arg(chain, previous),
        };
        for (const QString &bomb : bombs)
            QCOMPARE(refusal(bomb), tooDeep);
        // A few levels through an entity within the limit are read as usual.
        const QString fine = QStringLiteral("<!DOCTYPE r [ <!ENTITY small \"<e><f>deep</f></e>\"> ]><r>") +
                             nested(QXmlGet::maximumDepth - 4, QStringLiteral("<a>&small;")) + QStringLiteral("</r>");
        QXmlGet get;
        QString message;
        QVERIFY2(get.fromString(fine, &message), qPrintable(message));
        QCOMPARE(get.childCount(QStringLiteral("f")), QXmlGet::maximumDepth - 4);
        // Character references that cannot become "<" add no level: three hundred
        // entities of signs and a flat document are read, as is "&#x3C;" kept to text.
        QString signs;
        for (int k = 0; k < 300; ++k)
            signs += QStringLiteral("<!ENTITY s%1 \"&#169;&#x2014;&#0;\">").arg(k);
        QXmlGet flat;
        QVERIFY2(flat.fromString(QStringLiteral("<!DOCTYPE r [ %1 ]><r><a>&s7;</a></r>").arg(signs), &message),
                 qPrintable(message));
        QCOMPARE(flat.childCount(QStringLiteral("a")), 1);
        QString lessThan;
        for (int k = 0; k < 300; ++k)
            lessThan += QStringLiteral("<!ENTITY t%1 \"&#x3C;&#060;\">").arg(k);
        QCOMPARE(refusal(QStringLiteral("<!DOCTYPE r [ %1 ]><r/>").arg(lessThan)), tooDeep);
        // The subset's possible tags add to the document's own nesting.
        const QString few = QStringLiteral("<!DOCTYPE r [ <!ENTITY f \"<a><b/></a>\"> ]><r>");
        QCOMPARE(refusal(few + nested(QXmlGet::maximumDepth - 2) + QStringLiteral("</r>")), tooDeep);
    }
    void hugeValuesBinaryJunkAndEntityBombs()
    {
        // An attribute that never ends is a parse error, not a hang.
        MessageCapture log;
        QVERIFY(!QXmlGet().fromString(QStringLiteral("<r a=\"") + QString(8 * 1024 * 1024, QLatin1Char('9'))));
        QCOMPARE(log.messagesOf(QtDebugMsg).size(), 1);
        QXmlGet get;
        // Compressed data whose length prefix claims 4 GiB: refused before any allocation.
        QByteArray claim("\xff\xff\xff\xf0", 4);
        claim += qCompress(QByteArray(100, 'a')).mid(4);
        QVERIFY(get.fromString(QStringLiteral("<r><v compression=\"9\"><![CDATA[%1\n]]></v><v compression=\"9\">"
                                              "<![CDATA[AAE=\n]]></v><v compression=\"9\"><![CDATA[!!!!\n]]></v></r>")
                                   .arg(QString::fromLatin1(claim.toBase64()))));
        while (get.findNext(QStringLiteral("v"))) {
            QCOMPARE(get.getByteArray("D"), QByteArray("D"));
            QCOMPARE(get.getImage(QImage()), QImage());
        }
        // Binary junk, bare or after a declaration or a byte order mark.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("junk.xml"));
        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919) % 251);
        for (const QByteArray &prefix : {QByteArray(), QByteArray("<?xml version=\"1.0\"?><r>"), QByteArray("\xff\xfe")}) {
            QVERIFY(writeFile(path, prefix + junk));
            QXmlGet reader;
            log.clear();
            QVERIFY(!reader.load(path));
            QVERIFY(!reader.fromString(QString::fromLatin1(prefix + junk)));
            QCOMPARE(log.messagesOf(QtDebugMsg).size(), 2);
            QVERIFY(reader.document().isNull());
        }
        QString billion = QStringLiteral("<!DOCTYPE lolz [<!ENTITY lol0 \"lol\">");
        for (int level = 1; level <= 9; ++level)
            billion += QStringLiteral("<!ENTITY lol%1 \"%2\">").arg(level).arg(QStringLiteral("&lol%1;").arg(level - 1).repeated(10));
        billion += QStringLiteral("]><lolz>&lol9;</lolz>");
        for (const QString &text : {billion, QStringLiteral("<r/>junk"), QStringLiteral("<r/><second/>"),
                                    QStringLiteral("no markup"), QStringLiteral("<r><a></b></r>"), QStringLiteral("<r a=\"1/>")})
            QVERIFY2(!refusal(text).isEmpty(), qPrintable(text.left(40)));
    }

};

QTEST_MAIN(TestXmlMalformed)
#include "tst_xmlmalformed.moc"
