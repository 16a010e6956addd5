// The XML reader and writer, operation by operation: construction,
// cursors, every value encoding with its edge cases, converters, save
// and load, and the exact log lines.

#include "persistence/logcapture.h"
#include "persistence/qxmlputget.h"

#include <QDomCDATASection>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using namespace QXmlPutGet;

namespace {

QDomElement child(const QDomElement &parent, const QString &name)
{
    return parent.firstChildElement(name);
}

// The reader on the text of what the writer wrote, positioned on the first element `name`.
QXmlGet reread(const QXmlPut &put)
{
    QXmlGet get;
    const bool ok = get.fromString(put.toString());
    if (!ok)
        qWarning("document did not parse back");
    return get;
}

// What a pen round trip keeps. QPen's own comparison also looks at whether the
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

QStringList cdataSectionsOf(const QDomElement &element)
{
    QStringList sections;
    for (QDomNode node = element.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isCDATASection())
            sections << node.nodeValue();
    }
    return sections;
}

} // namespace

class TestQXmlPutGet : public QObject
{
    Q_OBJECT

private slots:
    // Construction
    void writerDefaultDeclaration();
    void writerLongFormWithDocType();
    void writerWithoutDocTypeHasNone();
    void emptyRootTagLogs();
    void readerDeclarationFields();
    void readerOfNullDocumentLogs();
    void emptyReaderGivesDefaults();
    void readerAndWriterShareTheTree();

    // Writer cursor
    void writerDescendAndRise();
    void writerRiseAtBarrier();
    void writerRestrictedCannotRiseAboveItsParent();
    void writerDescended();
    void writerGoTo();
    void writerAttributesActOnCurrentElement();
    void writerCommentAndSingleTag();

    // Reader cursor
    void findKeepsCurrentAfterMiss();
    void findNextResetsAfterMiss();
    void findNextEmptyNameMatchesAny();
    void findResetAndDescend();
    void descendIntoOwnParentLogsAndMoves();
    void findAndDescendVariants();
    void readerRiseAtBarrier();
    void readerRestrictedAndDescended();
    void readerGoTo();
    void childCountWithAndWithoutName();
    void queries();

    // Values
    void cdataSplitsAtEveryMarker();
    void cdataReadBackThroughText();
    void stringAsTextNode();
    void stringDefaults();
    void intValues();
    void doubleKeepsSixDigits();
    void boolWordPairs();
    void strToBool();
    void invalidBoolFormatLogs();
    void dateTimeValues();
    void colourForms();
    void colourSeventeenCharacterForm();
    void colourAttribute();
    void fontValue();
    void sizePointRect();
    void rectReadsRightAndBottom();
    void missingNumberReadsAsZero();
    void realSizePointRect();
    void brushValue();
    void penConditionalAttributes();
    void penCustomDash();
    void penStyleSixWithoutPattern();
    void byteArrayLines();
    void byteArrayLineBreaksIgnored();
    void byteArrayLineWidthBelowOne();
    void byteArrayCompression();
    void byteArrayEmpty();
    void byteArrayNeedsCdata();
    void imageValues();
    void imageFailures();
    void stringLists();
    void vectors();
    void vectorConverters();
    void vectorAttributes();
    void scalarAttributes();

    // Files
    void saveAndLoad();
    void saveUsesDeclaredEncoding();
    void saveFailureLogs();
    void loadMissingFileLogsAndLeavesOutParameters();
    void loadParseErrorKeepsReader();
    void fromStringParseError();
    void writerFromReaderContinues();
};

// ---------------------------------------------------------------------------
// Construction

void TestQXmlPutGet::writerDefaultDeclaration()
{
    QXmlPut put(QStringLiteral("root"));
    const QString text = put.toString();
    QVERIFY2(text.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root/>")),
             qPrintable(text));
    QCOMPARE(put.declarationTarget(), QStringLiteral("xml"));
    QCOMPARE(put.xmlVersion(), QStringLiteral("1.0"));
    QCOMPARE(put.encoding(), QStringLiteral("UTF-8"));
    QCOMPARE(put.standalone(), false);
    QVERIFY(put.document().doctype().name().isEmpty());
    QCOMPARE(put.element(), put.document().documentElement());
    QCOMPARE(put.parentElement(), put.document().documentElement());
    QCOMPARE(put.barrierElement(), put.document().documentElement());
}

void TestQXmlPutGet::writerLongFormWithDocType()
{
    QXmlPut put(QStringLiteral("VeltoHardware"), QStringLiteral("1.0"), QStringLiteral("ISO-8859-1"), true,
                QStringLiteral("VeltoHardware"), QStringLiteral("-//Velto//hw"), QStringLiteral("hw.dtd"));
    const QString text = put.toString();
    QVERIFY2(
        text.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>\n"
                                       "<!DOCTYPE VeltoHardware PUBLIC '-//Velto//hw' 'hw.dtd'>\n")),
        qPrintable(text));
    QVERIFY(put.standalone());

    QXmlGet get;
    QVERIFY(get.fromString(text));
    QCOMPARE(get.docType(), QStringLiteral("VeltoHardware"));
    QCOMPARE(get.publicId(), QStringLiteral("-//Velto//hw"));
    QCOMPARE(get.systemId(), QStringLiteral("hw.dtd"));
    QCOMPARE(get.declarationTarget(), QStringLiteral("xml"));
    QCOMPARE(get.xmlVersion(), QStringLiteral("1.0"));
    QCOMPARE(get.encoding(), QStringLiteral("ISO-8859-1"));
    QVERIFY(get.standalone());
    QCOMPARE(get.tagName(), QStringLiteral("VeltoHardware"));

    QXmlPut plain(QStringLiteral("r"), QStringLiteral("1.1"), QStringLiteral("UTF-8"), false,
                  QStringLiteral("Only"));
    QVERIFY(plain.toString().contains(QStringLiteral("<!DOCTYPE Only>")));
    QVERIFY(!plain.toString().contains(QStringLiteral("standalone")));
}

void TestQXmlPutGet::writerWithoutDocTypeHasNone()
{
    QXmlPut put(QStringLiteral("r"), QStringLiteral("1.0"), QStringLiteral("UTF-8"), false);
    QVERIFY(!put.toString().contains(QStringLiteral("DOCTYPE")));
    QXmlGet get;
    QVERIFY(get.fromString(put.toString()));
    QVERIFY(get.docType().isEmpty());
}

void TestQXmlPutGet::emptyRootTagLogs()
{
    LogCapture log;
    QXmlPut one{QString()};
    QCOMPARE(log.debugLines(),
             QStringList{QStringLiteral("QXmlPut::QXmlPut(const QString&) root tag can't be empty")});
    log.clear();
    QXmlPut longForm(QString(), QString(), QString(), false);
    const QString signature = QStringLiteral("QXmlPut::QXmlPut(const QString&, const QString&, const "
                                             "QString&, bool, const QString&, const QString&, "
                                             "const QString&) ");
    QCOMPARE(log.debugLines(), (QStringList{signature + QStringLiteral("rootTag can't be empty"),
                                            signature + QStringLiteral("xmlVersion can't be empty"),
                                            signature + QStringLiteral("encoding can't be empty")}));
    // Construction goes on regardless: the toolkit makes no element of an
    // empty tag, so writes go nowhere, and nothing breaks.
    QVERIFY(longForm.toString().startsWith(QStringLiteral("<?xml version=\"\" encoding=\"\"?>")));
    longForm.putInt(QStringLiteral("x"), 1);
    longForm.descend(QStringLiteral("y"));
    QCOMPARE(QXmlGet(longForm).getInt(5), 5);
    QVERIFY(one.toString().startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")));
}

void TestQXmlPutGet::readerDeclarationFields()
{
    QXmlGet get;
    QVERIFY(
        get.fromString(QStringLiteral("<?xml version='1.0' encoding = 'ISO-8859-1' standalone='no'?><r/>")));
    QCOMPARE(get.declarationTarget(), QStringLiteral("xml"));
    QCOMPARE(get.xmlVersion(), QStringLiteral("1.0"));
    QCOMPARE(get.encoding(), QStringLiteral("ISO-8859-1"));
    QCOMPARE(get.standalone(), false);

    QXmlGet bare;
    QVERIFY(bare.fromString(QStringLiteral("<r/>")));
    QVERIFY(bare.declarationTarget().isEmpty());
    QVERIFY(bare.xmlVersion().isEmpty());
    QVERIFY(bare.encoding().isEmpty());
    QCOMPARE(bare.tagName(), QStringLiteral("r"));
}

void TestQXmlPutGet::readerOfNullDocumentLogs()
{
    LogCapture log;
    QXmlGet get{QDomDocument()};
    QCOMPARE(log.debugLines(),
             QStringList{QStringLiteral(
                 "QXmlGet::QXmlGet(const QDomDocument&) Attempt to open a QDomDocument that is null")});
    QCOMPARE(get.getInt(7), 7);
}

void TestQXmlPutGet::emptyReaderGivesDefaults()
{
    QXmlGet get;
    QVERIFY(!get.find(QStringLiteral("a")));
    QVERIFY(!get.findNext(QStringLiteral("a")));
    QCOMPARE(get.getString(QStringLiteral("d")), QStringLiteral("d"));
    QCOMPARE(get.getAttributeInt(QStringLiteral("a"), 4), 4);
    QCOMPARE(get.getStringList({QStringLiteral("x")}), QStringList{QStringLiteral("x")});
    QCOMPARE(get.childCount(), 0);
    QVERIFY(!get.hasChildren());
    QVERIFY(get.docType().isEmpty());
    LogCapture log;
    QVERIFY(!get.rise());
    QCOMPARE(log.count(), 1);
}

void TestQXmlPutGet::readerAndWriterShareTheTree()
{
    QXmlPut put(QStringLiteral("r"));
    QXmlGet get(put);
    QXmlPut copy(put);
    copy.putInt(QStringLiteral("late"), 5);
    // The copy's write is in the shared tree; the reader's cursor did not move.
    QCOMPARE(get.tagName(), QStringLiteral("r"));
    QVERIFY(get.find(QStringLiteral("late")));
    QCOMPARE(get.getInt(), 5);
    QCOMPARE(put.element(), put.document().documentElement());
}

// ---------------------------------------------------------------------------
// Writer cursor

void TestQXmlPutGet::writerDescendAndRise()
{
    QXmlPut put(QStringLiteral("r"));
    put.descend(QStringLiteral("a"));
    QCOMPARE(put.element().tagName(), QStringLiteral("a"));
    QCOMPARE(put.parentElement().tagName(), QStringLiteral("a"));
    put.putInt(QStringLiteral("b"), 1);
    QVERIFY(put.rise());
    // The element risen from is current again, so attributes still go to it.
    QCOMPARE(put.element().tagName(), QStringLiteral("a"));
    QCOMPARE(put.parentElement().tagName(), QStringLiteral("r"));
    put.setAttributeInt(QStringLiteral("n"), 3);
    const QDomElement a = child(put.document().documentElement(), QStringLiteral("a"));
    QCOMPARE(a.attribute(QStringLiteral("n")), QStringLiteral("3"));
    QCOMPARE(child(a, QStringLiteral("b")).text(), QStringLiteral("1"));
}

void TestQXmlPutGet::writerRiseAtBarrier()
{
    QXmlPut put(QStringLiteral("r"));
    LogCapture log;
    QVERIFY(!put.rise());
    QCOMPARE(log.debugLines(),
             QStringList{QStringLiteral("bool QXmlPut::rise() attept to rise beyond allowed node")});
    QCOMPARE(put.parentElement().tagName(), QStringLiteral("r"));
}

void TestQXmlPutGet::writerRestrictedCannotRiseAboveItsParent()
{
    QXmlPut put(QStringLiteral("r"));
    put.descend(QStringLiteral("a"));
    QXmlPut inner = put.restricted();
    inner.descend(QStringLiteral("b"));
    QVERIFY(inner.rise());
    LogCapture log;
    QVERIFY(!inner.rise());
    QCOMPARE(log.debugLines(),
             QStringList{QStringLiteral("bool QXmlPut::rise() attept to rise beyond allowed node")});
    // The original is not restricted.
    QVERIFY(put.rise());
}

void TestQXmlPutGet::writerDescended()
{
    QXmlPut put(QStringLiteral("r"));
    QXmlPut sub = put.descended(QStringLiteral("group"));
    sub.putInt(QStringLiteral("v"), 9);
    QCOMPARE(sub.barrierElement().tagName(), QStringLiteral("group"));
    QCOMPARE(sub.parentElement().tagName(), QStringLiteral("group"));
    // The original keeps its parent and takes the new child as current element.
    QCOMPARE(put.parentElement().tagName(), QStringLiteral("r"));
    QCOMPARE(put.element().tagName(), QStringLiteral("group"));
    put.setAttributeString(QStringLiteral("k"), QStringLiteral("x"));
    LogCapture log;
    QVERIFY(!sub.rise());
    QCOMPARE(log.count(), 1);
    QXmlGet get(put);
    QVERIFY(get.findAndDescend(QStringLiteral("group")));
    QCOMPARE(get.parentElement().attribute(QStringLiteral("k")), QStringLiteral("x"));
    QVERIFY(get.find(QStringLiteral("v")));
    QCOMPARE(get.getInt(), 9);
}

void TestQXmlPutGet::writerGoTo()
{
    QXmlPut put(QStringLiteral("r"));
    put.descend(QStringLiteral("a"));
    put.putInt(QStringLiteral("x"), 1);
    put.putInt(QStringLiteral("y"), 2);
    const QDomElement a = put.parentElement();
    QVERIFY(put.rise());
    put.putSingleTag(QStringLiteral("empty"));
    const QDomElement empty = put.element();

    QVERIFY(put.goTo(a));
    QCOMPARE(put.parentElement(), a);
    QCOMPARE(put.element().tagName(), QStringLiteral("y")); // its last child element
    QVERIFY(put.goTo(empty));
    QCOMPARE(put.element(), empty); // itself when it has none

    // Outside the barrier of a restricted copy.
    QVERIFY(put.goTo(a));
    QXmlPut inner = put.restricted();
    LogCapture log;
    QVERIFY(!inner.goTo(empty));
    QCOMPARE(log.debugLines(),
             QStringList{QStringLiteral(
                 "bool QXmlPut::goTo(const QDomElement&) attempt to jump outside of allowed tree")});
    QCOMPARE(inner.parentElement(), a);

    // An element that is not in the tree at all.
    log.clear();
    QVERIFY(!put.goTo(put.document().createElement(QStringLiteral("loose"))));
    QCOMPARE(log.debugLines(),
             QStringList{QStringLiteral(
                 "bool QXmlPut::goTo(const QDomElement&) attempt to jump outside of allowed tree")});

    // An element of another document.
    log.clear();
    QXmlPut other(QStringLiteral("o"));
    QVERIFY(!put.goTo(other.element()));
    QVERIFY(!put.goTo(QDomElement()));
    QCOMPARE(
        log.debugLines(),
        (QStringList{
            QStringLiteral("bool QXmlPut::goTo(const QDomElement&) Attempt to go to element not in document"),
            QStringLiteral(
                "bool QXmlPut::goTo(const QDomElement&) Attempt to go to element not in document")}));
}

void TestQXmlPutGet::writerAttributesActOnCurrentElement()
{
    QXmlPut put(QStringLiteral("r"));
    put.setAttributeString(QStringLiteral("onRoot"), QStringLiteral("1"));
    put.putSingleTag(QStringLiteral("t"));
    put.setAttributeString(QStringLiteral("s"), QStringLiteral("a \"q\" <b> & 'c'\n\tz"));
    put.setAttributeInt(QStringLiteral("i"), -42);
    put.setAttributeDouble(QStringLiteral("d"), 2.718281828);
    put.setAttributeBool(QStringLiteral("b"), true, bfTrueFalse);
    put.setAttributeColor(QStringLiteral("c"), QColor(1, 2, 3, 4));
    const QDomElement t = put.element();
    QCOMPARE(t.attribute(QStringLiteral("i")), QStringLiteral("-42"));
    QCOMPARE(t.attribute(QStringLiteral("d")), QStringLiteral("2.71828"));
    QCOMPARE(t.attribute(QStringLiteral("b")), QStringLiteral("true"));
    QCOMPARE(t.attribute(QStringLiteral("c")), QStringLiteral("#01020304"));
    QCOMPARE(put.document().documentElement().attribute(QStringLiteral("onRoot")), QStringLiteral("1"));

    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("t")));
    QCOMPARE(get.getAttributeString(QStringLiteral("s")), QStringLiteral("a \"q\" <b> & 'c'\n\tz"));
}

void TestQXmlPutGet::writerCommentAndSingleTag()
{
    QXmlPut put(QStringLiteral("r"));
    put.putSingleTag(QStringLiteral("first"));
    put.putComment(QStringLiteral("a note"));
    // A comment is no element: the current element stays.
    QCOMPARE(put.element().tagName(), QStringLiteral("first"));
    QVERIFY(put.toString().contains(QStringLiteral("<!--a note-->")));
    QVERIFY(put.toString().contains(QStringLiteral("<first/>")));
    QXmlGet get = reread(put);
    QCOMPARE(get.childCount(), 1);
}

// ---------------------------------------------------------------------------
// Reader cursor

namespace {
const char *listDocument = "<r><a>1</a><b>2</b><a>3</a><c><a>4</a><li>x</li><d><li>y</li></d></c></r>";
}

void TestQXmlPutGet::findKeepsCurrentAfterMiss()
{
    QXmlGet get;
    QVERIFY(get.fromString(QLatin1String(listDocument)));
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getInt(), 2);
    QVERIFY(!get.find(QStringLiteral("zzz")));
    QCOMPARE(get.tagName(), QStringLiteral("b"));
    QCOMPARE(get.getInt(), 2);
    // find always takes the first match.
    QVERIFY(get.find(QStringLiteral("a")));
    QVERIFY(get.find(QStringLiteral("a")));
    QCOMPARE(get.getInt(), 1);
}

void TestQXmlPutGet::findNextResetsAfterMiss()
{
    QXmlGet get;
    QVERIFY(get.fromString(QLatin1String(listDocument)));
    QVERIFY(get.findNext(QStringLiteral("a")));
    QCOMPARE(get.getInt(), 1);
    QVERIFY(get.findNext(QStringLiteral("a")));
    QCOMPARE(get.getInt(), 3);
    QVERIFY(!get.findNext(QStringLiteral("a"))); // the "a" inside "c" is no sibling
    QCOMPARE(get.element(), get.parentElement());
    QCOMPARE(get.getInt(-1), -1);
    QVERIFY(get.findNext(QStringLiteral("a")));
    QCOMPARE(get.getInt(), 1);
}

void TestQXmlPutGet::findNextEmptyNameMatchesAny()
{
    QXmlGet get;
    QVERIFY(get.fromString(QLatin1String(listDocument)));
    QStringList tags;
    while (get.findNext())
        tags << get.tagName();
    QCOMPARE(tags, (QStringList{"a", "b", "a", "c"}));
    QVERIFY(get.find(QString()));
    QCOMPARE(get.tagName(), QStringLiteral("a"));
}

void TestQXmlPutGet::findResetAndDescend()
{
    QXmlGet get;
    QVERIFY(get.fromString(QLatin1String(listDocument)));
    QVERIFY(get.find(QStringLiteral("c")));
    get.findReset();
    QCOMPARE(get.element(), get.parentElement());
    QVERIFY(get.findNext(QStringLiteral("c")));
    LogCapture log;
    get.descend();
    QCOMPARE(log.count(), 0);
    QCOMPARE(get.parentElement().tagName(), QStringLiteral("c"));
    QVERIFY(get.findNext(QStringLiteral("a")));
    QCOMPARE(get.getInt(), 4);
    QVERIFY(get.rise());
    QCOMPARE(get.tagName(), QStringLiteral("c"));
    QVERIFY(!get.findNext(QStringLiteral("c")));
}

void TestQXmlPutGet::descendIntoOwnParentLogsAndMoves()
{
    QXmlGet get;
    QVERIFY(get.fromString(QLatin1String(listDocument)));
    QVERIFY(get.find(QStringLiteral("c")));
    get.descend();
    LogCapture log;
    get.descend();
    QCOMPARE(log.debugLines(),
             QStringList{QStringLiteral(
                 "void QXmlGet::descend() Descended into own parent, possibly missing a rise()")});
    QCOMPARE(get.parentElement().tagName(), QStringLiteral("c"));
}

void TestQXmlPutGet::findAndDescendVariants()
{
    QXmlGet get;
    QVERIFY(get.fromString(QLatin1String(listDocument)));
    QVERIFY(!get.findAndDescend(QStringLiteral("none")));
    QCOMPARE(get.parentElement().tagName(), QStringLiteral("r"));
    QVERIFY(get.findAndDescend(QStringLiteral("c")));
    QCOMPARE(get.parentElement().tagName(), QStringLiteral("c"));
    QVERIFY(get.findNextAndDescend(QStringLiteral("d")));
    QCOMPARE(get.parentElement().tagName(), QStringLiteral("d"));
    QVERIFY(!get.findNextAndDescend(QStringLiteral("d")));
    QCOMPARE(get.parentElement().tagName(), QStringLiteral("d"));
}

void TestQXmlPutGet::readerRiseAtBarrier()
{
    QXmlGet get;
    QVERIFY(get.fromString(QLatin1String(listDocument)));
    LogCapture log;
    QVERIFY(!get.rise());
    QCOMPARE(log.debugLines(),
             QStringList{QStringLiteral("bool QXmlGet::rise() attept to rise beyond allowed node")});
}

void TestQXmlPutGet::readerRestrictedAndDescended()
{
    QXmlGet get;
    QVERIFY(get.fromString(QLatin1String(listDocument)));
    QVERIFY(get.findAndDescend(QStringLiteral("c")));
    QXmlGet inner = get.restricted();
    QVERIFY(inner.findAndDescend(QStringLiteral("d")));
    QVERIFY(inner.rise());
    LogCapture log;
    QVERIFY(!inner.rise());
    QCOMPARE(log.count(), 1);
    QVERIFY(get.rise()); // the original is free

    QXmlGet top;
    QVERIFY(top.fromString(QLatin1String(listDocument)));
    QVERIFY(top.find(QStringLiteral("c")));
    QXmlGet sub = top.descended();
    QCOMPARE(sub.barrierElement().tagName(), QStringLiteral("c"));
    QCOMPARE(sub.parentElement().tagName(), QStringLiteral("c"));
    QVERIFY(sub.find(QStringLiteral("li")));
    QCOMPARE(sub.getString(), QStringLiteral("x"));
    log.clear();
    QVERIFY(!sub.rise());
    QCOMPARE(log.count(), 1);
    // The original did not move.
    QCOMPARE(top.parentElement().tagName(), QStringLiteral("r"));
    QCOMPARE(top.tagName(), QStringLiteral("c"));
}

void TestQXmlPutGet::readerGoTo()
{
    QXmlGet get;
    QVERIFY(get.fromString(QLatin1String(listDocument)));
    QVERIFY(get.find(QStringLiteral("c")));
    const QDomElement c = get.element();
    QVERIFY(get.find(QStringLiteral("b")));
    const QDomElement b = get.element();
    QVERIFY(get.goTo(c));
    QCOMPARE(get.parentElement(), c);
    QCOMPARE(get.tagName(), QStringLiteral("d")); // its last child element, as the writer's
    QVERIFY(get.findNext(QStringLiteral("nothing")) == false);
    QVERIFY(get.find(QStringLiteral("li")));
    QCOMPARE(get.getString(), QStringLiteral("x"));

    QXmlGet inner = get.restricted();
    LogCapture log;
    QVERIFY(!inner.goTo(b));
    QXmlGet other;
    QVERIFY(other.fromString(QStringLiteral("<o/>")));
    QVERIFY(!get.goTo(other.element()));
    QCOMPARE(
        log.debugLines(),
        (QStringList{
            QStringLiteral("bool QXmlGet::goTo(const QDomElement&) attempt to jump outside of allowed tree"),
            QStringLiteral(
                "bool QXmlGet::goTo(const QDomElement&) Attempt to go to element not in document")}));
}

void TestQXmlPutGet::childCountWithAndWithoutName()
{
    QXmlGet get;
    QVERIFY(get.fromString(QLatin1String(listDocument)));
    QCOMPARE(get.childCount(), 4);
    QCOMPARE(get.childCount(QStringLiteral("li")), 2); // at any depth
    QCOMPARE(get.childCount(QStringLiteral("a")), 3);
    QVERIFY(get.find(QStringLiteral("c")));
    QCOMPARE(get.childCount(), 3);
    QCOMPARE(get.childCount(QStringLiteral("li")), 2);
    QCOMPARE(get.childCount(QStringLiteral("c")), 0); // not the element itself
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.childCount(), 0);
}

void TestQXmlPutGet::queries()
{
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<r><a k=\"v\">t</a><b><x/></b></r>")));
    QVERIFY(get.hasChildren());
    QVERIFY(get.find(QStringLiteral("a")));
    QVERIFY(!get.hasChildren()); // a text node is no child element
    QVERIFY(get.hasAttribute(QStringLiteral("k")));
    QVERIFY(!get.hasAttribute(QStringLiteral("q")));
    QCOMPARE(get.tagName(), QStringLiteral("a"));
    QVERIFY(get.find(QStringLiteral("b")));
    QVERIFY(get.hasChildren());
}

// ---------------------------------------------------------------------------
// Values

void TestQXmlPutGet::cdataSplitsAtEveryMarker()
{
    QXmlPut put(QStringLiteral("r"));
    put.putString(QStringLiteral("one"), QStringLiteral("a]]>b"), true);
    QCOMPARE(cdataSectionsOf(put.element()), (QStringList{"a]]", ">b"}));
    put.putString(QStringLiteral("two"), QStringLiteral("x]]>y]]>z"), true);
    QCOMPARE(cdataSectionsOf(put.element()), (QStringList{"x]]", ">y]]", ">z"}));
    put.putString(QStringLiteral("edges"), QStringLiteral("]]>]]>"), true);
    QCOMPARE(cdataSectionsOf(put.element()), (QStringList{"]]", ">]]", ">"}));
    put.putString(QStringLiteral("plain"), QStringLiteral("no marker ]] > here"), true);
    QCOMPARE(cdataSectionsOf(put.element()), QStringList{QStringLiteral("no marker ]] > here")});

    QXmlGet get(put);
    QVERIFY(get.find(QStringLiteral("one")));
    QCOMPARE(get.getString(), QStringLiteral("a]]>b"));
    QVERIFY(get.find(QStringLiteral("two")));
    QCOMPARE(get.getString(), QStringLiteral("x]]>y]]>z"));
    QVERIFY(get.find(QStringLiteral("edges")));
    QCOMPARE(get.getString(), QStringLiteral("]]>]]>"));
}

void TestQXmlPutGet::cdataReadBackThroughText()
{
    QXmlPut put(QStringLiteral("r"));
    put.putString(QStringLiteral("one"), QStringLiteral("a]]>b"), true);
    put.putString(QStringLiteral("two"), QStringLiteral("<x> & ]]>]]> 'y' \"z\""), true);
    put.putString(QStringLiteral("blank"), QStringLiteral("   "), true);
    const QString text = put.toString();
    QVERIFY2(text.contains(QStringLiteral("<one><![CDATA[a]]]]><![CDATA[>b]]></one>")), qPrintable(text));
    QXmlGet get;
    QVERIFY(get.fromString(text));
    QVERIFY(get.find(QStringLiteral("one")));
    QCOMPARE(cdataSectionsOf(get.element()), (QStringList{"a]]", ">b"}));
    QCOMPARE(get.getString(), QStringLiteral("a]]>b"));
    QVERIFY(get.find(QStringLiteral("two")));
    QCOMPARE(get.getString(), QStringLiteral("<x> & ]]>]]> 'y' \"z\""));
    QVERIFY(get.find(QStringLiteral("blank")));
    QCOMPARE(get.getString(), QStringLiteral("   ")); // CDATA keeps white space
}

void TestQXmlPutGet::stringAsTextNode()
{
    QXmlPut put(QStringLiteral("r"));
    const QString value = QStringLiteral("a < b & c > d ]]> \"e\" 'f' ü € 𝄞");
    put.putString(QStringLiteral("s"), value);
    QVERIFY(put.element().firstChild().isText());
    QVERIFY(!put.element().firstChild().isCDATASection());
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("s")));
    QCOMPARE(get.getString(), value);
}

void TestQXmlPutGet::stringDefaults()
{
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<r><e/><el><x/></el><c><!--n-->t</c><s> </s></r>")));
    const QString fallback = QStringLiteral("fallback");
    for (const char *name : {"e", "el", "c", "s"}) {
        QVERIFY(get.find(QLatin1String(name)));
        QCOMPARE(get.getString(fallback), fallback);
    }
}

void TestQXmlPutGet::intValues()
{
    QXmlPut put(QStringLiteral("r"));
    put.putInt(QStringLiteral("min"), std::numeric_limits<int>::min());
    put.putInt(QStringLiteral("max"), std::numeric_limits<int>::max());
    QCOMPARE(put.element().text(), QStringLiteral("2147483647"));
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("min")));
    QCOMPARE(get.getInt(), std::numeric_limits<int>::min());
    QVERIFY(get.find(QStringLiteral("max")));
    QCOMPARE(get.getInt(), std::numeric_limits<int>::max());

    QVERIFY(get.fromString(QStringLiteral("<r><a>0x10</a><b>12abc</b><c>99999999999</c><d>-7</d></r>")));
    QVERIFY(get.find(QStringLiteral("a")));
    QCOMPARE(get.getInt(5), 5); // base 10 only
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getInt(5), 5);
    QVERIFY(get.find(QStringLiteral("c")));
    QCOMPARE(get.getInt(5), 5); // out of range
    QVERIFY(get.find(QStringLiteral("d")));
    QCOMPARE(get.getInt(5), -7);
}

void TestQXmlPutGet::doubleKeepsSixDigits()
{
    QXmlPut put(QStringLiteral("r"));
    put.putDouble(QStringLiteral("pi"), 3.14159265);
    QCOMPARE(put.element().text(), QStringLiteral("3.14159"));
    put.putDouble(QStringLiteral("big"), 1234567890.0);
    QCOMPARE(put.element().text(), QStringLiteral("1.23457e+09"));
    put.putDouble(QStringLiteral("small"), 0.0001);
    QCOMPARE(put.element().text(), QStringLiteral("0.0001"));
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("pi")));
    QCOMPARE(get.getDouble(), 3.14159);
    QVERIFY(get.find(QStringLiteral("big")));
    QCOMPARE(get.getDouble(), 1.23457e9);

    QVERIFY(get.fromString(QStringLiteral("<r><a>1e-3</a><b>abc</b><c>1,5</c></r>")));
    QVERIFY(get.find(QStringLiteral("a")));
    QCOMPARE(get.getDouble(9.0), 0.001);
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getDouble(9.0), 9.0);
    QVERIFY(get.find(QStringLiteral("c")));
    QCOMPARE(get.getDouble(9.0), 9.0);
}

void TestQXmlPutGet::boolWordPairs()
{
    QXmlPut put(QStringLiteral("r"));
    put.putBool(QStringLiteral("a"), true);
    QCOMPARE(put.element().text(), QStringLiteral("yes"));
    put.putBool(QStringLiteral("b"), false, bfTrueFalse);
    QCOMPARE(put.element().text(), QStringLiteral("false"));
    put.putBool(QStringLiteral("c"), true, bfOneZero);
    QCOMPARE(put.element().text(), QStringLiteral("1"));
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("a")));
    QCOMPARE(get.getBool(false), true);
    QCOMPARE(get.getBool(false, bfTrueFalse), false); // "yes" is not in that pair: default
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getBool(true), false);
    QVERIFY(get.find(QStringLiteral("c")));
    QCOMPARE(get.getBool(false, bfOneZero), true);
    QCOMPARE(get.getBool(false, bfYesNo | bfTrueFalse), false);

    QCOMPARE(QXmlPut::boolToStr(true, bfYesNo), QStringLiteral("yes"));
    QCOMPARE(QXmlPut::boolToStr(false, bfYesNo), QStringLiteral("no"));
    QCOMPARE(QXmlPut::boolToStr(true, bfTrueFalse), QStringLiteral("true"));
    QCOMPARE(QXmlPut::boolToStr(false, bfOneZero), QStringLiteral("0"));
}

void TestQXmlPutGet::strToBool()
{
    bool ok = false;
    QCOMPARE(QXmlGet::strToBool(QStringLiteral("YES"), &ok, bfYesNo), true);
    QVERIFY(ok);
    ok = true;
    QCOMPARE(QXmlGet::strToBool(QStringLiteral("true"), &ok, bfYesNo), false);
    QVERIFY(!ok);
    ok = false;
    QCOMPARE(QXmlGet::strToBool(QStringLiteral("0"), &ok, bfYesNo | bfTrueFalse | bfOneZero), false);
    QVERIFY(ok);
    QCOMPARE(QXmlGet::strToBool(QStringLiteral("No"), &ok), false);
    QVERIFY(ok);
    QCOMPARE(QXmlGet::strToBool(QStringLiteral("TRUE"), &ok), true);
    QVERIFY(ok);
    QCOMPARE(QXmlGet::strToBool(QStringLiteral(" yes"), &ok), false);
    QVERIFY(!ok);
    QCOMPARE(QXmlGet::strToBool(QStringLiteral("1"), &ok, 0), false);
    QVERIFY(!ok);
    QCOMPARE(QXmlGet::strToBool(QStringLiteral("yes")), true); // ok may be null
}

void TestQXmlPutGet::invalidBoolFormatLogs()
{
    LogCapture log;
    QCOMPARE(QXmlPut::boolToStr(true, static_cast<BoolFormat>(3)), QStringLiteral("yes"));
    QCOMPARE(QXmlPut::boolToStr(false, static_cast<BoolFormat>(0)), QStringLiteral("no"));
    const QString prefix = QStringLiteral("static QString QXmlPut::boolToStr(bool, QXmlPutGet::BoolFormat) "
                                          "Invalid QXmlPutGet::BoolFormat format, "
                                          "using bfYesNo ");
    QCOMPARE(log.debugLines(), (QStringList{prefix + "3", prefix + "0"}));
}

void TestQXmlPutGet::dateTimeValues()
{
    QXmlPut put(QStringLiteral("r"));
    const QDate date(2024, 2, 29);
    const QTime time(23, 59, 58);
    const QDateTime local(date, time);
    const QDateTime utc(date, time, Qt::UTC);
    const QDateTime offset(date, time, Qt::OffsetFromUTC, 5400);
    put.putDate(QStringLiteral("d"), date);
    QCOMPARE(put.element().text(), QStringLiteral("2024-02-29"));
    put.putTime(QStringLiteral("t"), time);
    QCOMPARE(put.element().text(), QStringLiteral("23:59:58"));
    put.putDateTime(QStringLiteral("l"), local);
    QCOMPARE(put.element().text(), QStringLiteral("2024-02-29T23:59:58"));
    put.putDateTime(QStringLiteral("u"), utc);
    QCOMPARE(put.element().text(), QStringLiteral("2024-02-29T23:59:58Z"));
    put.putDateTime(QStringLiteral("o"), offset);
    QCOMPARE(put.element().text(), QStringLiteral("2024-02-29T23:59:58+01:30"));
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("d")));
    QCOMPARE(get.getDate(), date);
    QVERIFY(get.find(QStringLiteral("t")));
    QCOMPARE(get.getTime(), time);
    QVERIFY(get.find(QStringLiteral("l")));
    QCOMPARE(get.getDateTime(), local);
    QVERIFY(get.find(QStringLiteral("u")));
    QCOMPARE(get.getDateTime(), utc);
    QCOMPARE(get.getDateTime().timeSpec(), Qt::UTC);
    QVERIFY(get.find(QStringLiteral("o")));
    QCOMPARE(get.getDateTime(), offset);
    QCOMPARE(get.getDateTime().offsetFromUtc(), 5400);

    QVERIFY(get.fromString(QStringLiteral("<r><d>2024-02-30</d><t>25:00:00</t><l>yesterday</l></r>")));
    const QDate dd(2000, 1, 1);
    QVERIFY(get.find(QStringLiteral("d")));
    QCOMPARE(get.getDate(dd), dd);
    QVERIFY(get.find(QStringLiteral("t")));
    QCOMPARE(get.getTime(QTime(1, 2)), QTime(1, 2));
    QVERIFY(get.find(QStringLiteral("l")));
    QCOMPARE(get.getDateTime(dd.startOfDay()), dd.startOfDay());
}

void TestQXmlPutGet::colourForms()
{
    QCOMPARE(QXmlPut::colorToStr(QColor(255, 0, 0, 128)), QStringLiteral("#ff000080"));
    QCOMPARE(QXmlPut::colorToStr(QColor(255, 0, 0)), QStringLiteral("#ff0000"));
    QCOMPARE(QXmlPut::colorToStr(QColor(0xAB, 0xCD, 0xEF, 0)), QStringLiteral("#abcdef00"));
    QCOMPARE(QXmlPut::colorToStr(QColor(1, 2, 3, 254)), QStringLiteral("#010203fe"));

    bool ok = false;
    QColor c = QXmlGet::strToColor(QStringLiteral("#ff000080"), &ok);
    QVERIFY(ok);
    QCOMPARE(c, QColor(255, 0, 0, 128));
    c = QXmlGet::strToColor(QStringLiteral("#ff0000"), &ok);
    QVERIFY(ok);
    QCOMPARE(c.alpha(), 255);
    c = QXmlGet::strToColor(QStringLiteral("#f008"), &ok);
    QVERIFY(ok);
    QCOMPARE(c, QColor(255, 0, 0, 136));
    c = QXmlGet::strToColor(QStringLiteral("#f00F"), &ok);
    QVERIFY(ok);
    QCOMPARE(c, QColor(255, 0, 0, 255));
    c = QXmlGet::strToColor(QStringLiteral("#0f00"), &ok);
    QVERIFY(ok);
    QCOMPARE(c, QColor(0, 255, 0, 0));
    c = QXmlGet::strToColor(QStringLiteral("#FF8000"), &ok);
    QVERIFY(ok);
    QCOMPARE(c, QColor(255, 128, 0));
    c = QXmlGet::strToColor(QStringLiteral("#f80"), &ok);
    QVERIFY(ok);
    QCOMPARE(c, QColor(255, 136, 0));
    c = QXmlGet::strToColor(QStringLiteral("red"), &ok);
    QVERIFY(ok);
    QCOMPARE(c, QColor(Qt::red));
    c = QXmlGet::strToColor(QStringLiteral("#fff000fff"), &ok); // the toolkit's 12-bit form, 10 characters
    QVERIFY(ok);
    QCOMPARE(c.alpha(), 255);

    for (const char *bad : {"#12345z", "#12345z80", "#ff0000zz", "#ff00008", "#f00g", "#f0g8", "nocolour", "",
                            "#", "#ff0000+8", "#ff0000 8", "ff0000"}) {
        ok = true;
        c = QXmlGet::strToColor(QLatin1String(bad), &ok);
        QVERIFY2(!ok, bad);
        QVERIFY2(!c.isValid(), bad);
    }

    QXmlPut put(QStringLiteral("r"));
    put.putColor(QStringLiteral("c"), QColor(255, 0, 0, 128));
    QCOMPARE(put.element().text(), QStringLiteral("#ff000080"));
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("c")));
    QCOMPARE(get.getColor().alpha(), 128);
    QVERIFY(get.fromString(QStringLiteral("<r><c>#12345z</c><s>#f008</s></r>")));
    QVERIFY(get.find(QStringLiteral("c")));
    QCOMPARE(get.getColor(Qt::blue), QColor(Qt::blue));
    QVERIFY(get.find(QStringLiteral("s")));
    QCOMPARE(get.getColor(Qt::blue), QColor(255, 0, 0, 136));
}

void TestQXmlPutGet::colourSeventeenCharacterForm()
{
    bool ok = false;
    QColor c = QXmlGet::strToColor(QStringLiteral("#ffff00000000ffff"), &ok);
    QVERIFY(ok);
    QCOMPARE(c, QColor(Qt::red));
    c = QXmlGet::strToColor(QStringLiteral("#123456789abc8000"), &ok);
    QVERIFY(ok);
    QCOMPARE(c.rgba64().red(), quint16(0x1234));
    QCOMPARE(c.rgba64().green(), quint16(0x5678));
    QCOMPARE(c.rgba64().blue(), quint16(0x9abc));
    QCOMPARE(c.rgba64().alpha(), quint16(0x8000));
    QCOMPARE(c.alpha(), qRound(0x8000 * 255 / 65535.0)); // scaled by 255 / 65535
    ok = true;
    c = QXmlGet::strToColor(QStringLiteral("#123456789abc800g"), &ok);
    QVERIFY(!ok);
    ok = true;
    QXmlGet::strToColor(QStringLiteral("#12345678Xabc8000"), &ok);
    QVERIFY(!ok);
}

void TestQXmlPutGet::colourAttribute()
{
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<r a=\"#00ff0040\" b=\"bad\" c=\"#f008\"/>")));
    QCOMPARE(get.getAttributeColor(QStringLiteral("a")), QColor(0, 255, 0, 64));
    QCOMPARE(get.getAttributeColor(QStringLiteral("b"), Qt::cyan), QColor(Qt::cyan));
    QCOMPARE(get.getAttributeColor(QStringLiteral("c")), QColor(255, 0, 0, 136));
    QCOMPARE(get.getAttributeColor(QStringLiteral("missing"), Qt::cyan), QColor(Qt::cyan));
}

void TestQXmlPutGet::fontValue()
{
    QFont font(QStringLiteral("Liberation Sans"), 13, QFont::Bold, true);
    font.setUnderline(true);
    QXmlPut put(QStringLiteral("r"));
    put.putFont(QStringLiteral("f"), font);
    QCOMPARE(put.element().attribute(QStringLiteral("fontdescription")), font.toString());
    QVERIFY(!put.element().hasChildNodes());
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("f")));
    const QFont read = get.getFont();
    QCOMPARE(read.family(), font.family());
    QCOMPARE(read.pointSize(), 13);
    QVERIFY(read.bold());
    QVERIFY(read.italic());
    QVERIFY(read.underline());
    QCOMPARE(read.toString(), font.toString());

    QVERIFY(get.fromString(QStringLiteral("<r><f/></r>")));
    QVERIFY(get.find(QStringLiteral("f")));
    const QFont fallback(QStringLiteral("Mono"), 7);
    QCOMPARE(get.getFont(fallback), fallback);
}

void TestQXmlPutGet::sizePointRect()
{
    QXmlPut put(QStringLiteral("r"));
    put.putSize(QStringLiteral("s"), QSize(640, -3));
    QCOMPARE(put.element().attribute(QStringLiteral("width")), QStringLiteral("640"));
    QCOMPARE(put.element().attribute(QStringLiteral("height")), QStringLiteral("-3"));
    put.putPoint(QStringLiteral("p"), QPoint(-5, 7));
    QCOMPARE(put.element().attribute(QStringLiteral("x")), QStringLiteral("-5"));
    QCOMPARE(put.element().attribute(QStringLiteral("y")), QStringLiteral("7"));
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("s")));
    QCOMPARE(get.getSize(), QSize(640, -3));
    QVERIFY(get.find(QStringLiteral("p")));
    QCOMPARE(get.getPoint(), QPoint(-5, 7));

    QVERIFY(get.fromString(QStringLiteral("<r><s width=\"1\"/><p y=\"2\"/></r>")));
    QVERIFY(get.find(QStringLiteral("s")));
    QCOMPARE(get.getSize(QSize(8, 9)), QSize(8, 9));
    QVERIFY(get.find(QStringLiteral("p")));
    QCOMPARE(get.getPoint(QPoint(8, 9)), QPoint(8, 9));
}

void TestQXmlPutGet::rectReadsRightAndBottom()
{
    QXmlPut put(QStringLiteral("r"));
    put.putRect(QStringLiteral("rect"), QRect(10, 20, 5, 3));
    const QDomElement e = put.element();
    QCOMPARE(e.attribute(QStringLiteral("left")), QStringLiteral("10"));
    QCOMPARE(e.attribute(QStringLiteral("top")), QStringLiteral("20"));
    QCOMPARE(e.attribute(QStringLiteral("width")), QStringLiteral("5"));
    QCOMPARE(e.attribute(QStringLiteral("height")), QStringLiteral("3"));
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("rect")));
    const QRect read = get.getRect();
    QCOMPARE(read, QRect(10, 20, 5, 3));
    QCOMPARE(read.right(), 14);
    QCOMPARE(read.bottom(), 22);

    QVERIFY(get.fromString(QStringLiteral("<r><rect left=\"10\" top=\"20\" width=\"5\"/></r>")));
    QVERIFY(get.find(QStringLiteral("rect")));
    QCOMPARE(get.getRect(QRect(1, 1, 1, 1)), QRect(1, 1, 1, 1));
}

void TestQXmlPutGet::missingNumberReadsAsZero()
{
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<r><s width=\"abc\" height=\"3\"/><p x=\"\" y=\"4\"/>"
                                          "<rect left=\"x\" top=\"1\" width=\"2\" height=\"3\"/>"
                                          "<sf width=\"q\" height=\"1.5\"/></r>")));
    QVERIFY(get.find(QStringLiteral("s")));
    QCOMPARE(get.getSize(QSize(9, 9)), QSize(0, 3));
    QVERIFY(get.find(QStringLiteral("p")));
    QCOMPARE(get.getPoint(QPoint(9, 9)), QPoint(0, 4));
    QVERIFY(get.find(QStringLiteral("rect")));
    QCOMPARE(get.getRect(), QRect(0, 1, 2, 3));
    QVERIFY(get.find(QStringLiteral("sf")));
    QCOMPARE(get.getSizeF(), QSizeF(0, 1.5));
}

void TestQXmlPutGet::realSizePointRect()
{
    QXmlPut put(QStringLiteral("r"));
    put.putSizeF(QStringLiteral("s"), QSizeF(1.23456789, 2.5));
    QCOMPARE(put.element().attribute(QStringLiteral("width")), QStringLiteral("1.23457"));
    put.putPointF(QStringLiteral("p"), QPointF(-0.5, 1e-9));
    QCOMPARE(put.element().attribute(QStringLiteral("y")), QStringLiteral("1e-09"));
    put.putRectF(QStringLiteral("rect"), QRectF(0.25, -1.5, 10.125, 3.0));
    QCOMPARE(put.element().attribute(QStringLiteral("left")), QStringLiteral("0.25"));
    QCOMPARE(put.element().attribute(QStringLiteral("width")), QStringLiteral("10.125"));
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("s")));
    QCOMPARE(get.getSizeF(), QSizeF(1.23457, 2.5));
    QVERIFY(get.find(QStringLiteral("p")));
    QCOMPARE(get.getPointF(), QPointF(-0.5, 1e-9));
    QVERIFY(get.find(QStringLiteral("rect")));
    QCOMPARE(get.getRectF(), QRectF(0.25, -1.5, 10.125, 3.0));
    QCOMPARE(get.getRectF().right(), 10.375);

    QVERIFY(get.fromString(
        QStringLiteral("<r><s width=\"1\"/><p x=\"1\"/><rect left=\"1\" top=\"1\" height=\"1\"/></r>")));
    QVERIFY(get.find(QStringLiteral("s")));
    QCOMPARE(get.getSizeF(QSizeF(7, 7)), QSizeF(7, 7));
    QVERIFY(get.find(QStringLiteral("p")));
    QCOMPARE(get.getPointF(QPointF(7, 7)), QPointF(7, 7));
    QVERIFY(get.find(QStringLiteral("rect")));
    QCOMPARE(get.getRectF(QRectF(7, 7, 7, 7)), QRectF(7, 7, 7, 7));
}

void TestQXmlPutGet::brushValue()
{
    QXmlPut put(QStringLiteral("r"));
    put.putBrush(QStringLiteral("b"), QBrush(QColor(10, 20, 30, 40), Qt::Dense3Pattern));
    QCOMPARE(put.element().attribute(QStringLiteral("color")), QStringLiteral("#0a141e28"));
    QCOMPARE(put.element().attribute(QStringLiteral("brushstyle")), QStringLiteral("4"));
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getBrush(), QBrush(QColor(10, 20, 30, 40), Qt::Dense3Pattern));

    // Each present attribute overrides the default; the others stay.
    const QBrush fallback(Qt::green, Qt::CrossPattern);
    QVERIFY(get.fromString(QStringLiteral("<r><c color=\"#0000ff\"/><s brushstyle=\"1\"/><n/>"
                                          "<bad color=\"zz\" brushstyle=\"15\"/></r>")));
    QVERIFY(get.find(QStringLiteral("c")));
    QCOMPARE(get.getBrush(fallback), QBrush(Qt::blue, Qt::CrossPattern));
    QVERIFY(get.find(QStringLiteral("s")));
    QCOMPARE(get.getBrush(fallback), QBrush(Qt::green, Qt::SolidPattern));
    QVERIFY(get.find(QStringLiteral("n")));
    QCOMPARE(get.getBrush(fallback), fallback);
    QVERIFY(get.find(QStringLiteral("bad")));
    QCOMPARE(get.getBrush(fallback), fallback);
}

void TestQXmlPutGet::penConditionalAttributes()
{
    QXmlPut put(QStringLiteral("r"));
    QPen plain(QColor(1, 2, 3), 2.5, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin);
    put.putPen(QStringLiteral("plain"), plain);
    QDomElement e = put.element();
    QCOMPARE(e.attribute(QStringLiteral("color")), QStringLiteral("#010203"));
    QCOMPARE(e.attribute(QStringLiteral("penstyle")), QStringLiteral("2"));
    QCOMPARE(e.attribute(QStringLiteral("width")), QStringLiteral("2.5"));
    for (const char *absent : {"capstyle", "joinstyle", "miterlimit", "dashpattern", "dashoffset"})
        QVERIFY2(!e.hasAttribute(QLatin1String(absent)), absent);

    QPen miter(QColor(4, 5, 6), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    miter.setMiterLimit(3.5);
    put.putPen(QStringLiteral("miter"), miter);
    e = put.element();
    QCOMPARE(e.attribute(QStringLiteral("capstyle")), QStringLiteral("32"));
    QCOMPARE(e.attribute(QStringLiteral("joinstyle")), QStringLiteral("0"));
    QCOMPARE(e.attribute(QStringLiteral("miterlimit")), QStringLiteral("3.5"));

    QPen round(QColor(7, 8, 9, 10), 0.0, Qt::DotLine, Qt::FlatCap, Qt::RoundJoin);
    put.putPen(QStringLiteral("round"), round);
    e = put.element();
    QCOMPARE(e.attribute(QStringLiteral("capstyle")), QStringLiteral("0"));
    QCOMPARE(e.attribute(QStringLiteral("joinstyle")), QStringLiteral("128"));
    QVERIFY(!e.hasAttribute(QStringLiteral("miterlimit")));

    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("plain")));
    QCOMPARE(get.getPen(), plain);
    QVERIFY(get.find(QStringLiteral("miter")));
    QCOMPARE(penFields(get.getPen()), penFields(miter));
    QVERIFY(get.find(QStringLiteral("round")));
    QCOMPARE(get.getPen(), round);

    // Missing attributes keep the default pen's values.
    QVERIFY(get.fromString(QStringLiteral("<r><p color=\"#ff0000\"/></r>")));
    QVERIFY(get.find(QStringLiteral("p")));
    QPen fallback(Qt::blue, 4.0, Qt::DashDotLine, Qt::RoundCap, Qt::RoundJoin);
    QPen expected = fallback;
    expected.setColor(Qt::red);
    QCOMPARE(get.getPen(fallback), expected);
}

void TestQXmlPutGet::penCustomDash()
{
    QPen pen(QColor(0, 128, 255), 1.5);
    pen.setDashPattern({4.0, 2.0, 1.0, 2.0});
    pen.setDashOffset(1.25);
    QCOMPARE(pen.style(), Qt::CustomDashLine);
    QXmlPut put(QStringLiteral("r"));
    put.putPen(QStringLiteral("p"), pen);
    QCOMPARE(put.element().attribute(QStringLiteral("penstyle")), QStringLiteral("6"));
    QCOMPARE(put.element().attribute(QStringLiteral("dashpattern")), QStringLiteral("4;2;1;2"));
    QCOMPARE(put.element().attribute(QStringLiteral("dashoffset")), QStringLiteral("1.25"));
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("p")));
    const QPen read = get.getPen();
    QCOMPARE(read, pen);
    QCOMPARE(read.dashPattern(), (QVector<qreal>{4.0, 2.0, 1.0, 2.0}));
    QCOMPARE(read.dashOffset(), 1.25);
}

void TestQXmlPutGet::penStyleSixWithoutPattern()
{
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<r><missing penstyle=\"6\" dashoffset=\"3\"/>"
                                          "<empty penstyle=\"6\" dashpattern=\"\" dashoffset=\"3\"/>"
                                          "<broken penstyle=\"6\" dashpattern=\"1;;2\"/></r>")));
    const QPen fallback(Qt::black, 1.0, Qt::DotLine);
    for (const char *name : {"missing", "empty", "broken"}) {
        QVERIFY(get.find(QLatin1String(name)));
        const QPen read = get.getPen(fallback);
        QCOMPARE(read.style(), Qt::DotLine);
        QCOMPARE(read.dashOffset(), 0.0); // read only when a pattern was set
    }
}

void TestQXmlPutGet::byteArrayLines()
{
    QByteArray data(100, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + 3);
    QXmlPut put(QStringLiteral("r"));
    put.putByteArray(QStringLiteral("b"), data, 76, 0);
    const QDomNode section = put.element().firstChild();
    QVERIFY(section.isCDATASection());
    QVERIFY(!put.element().hasAttribute(QStringLiteral("compression")));
    const QString text = section.nodeValue();
    const QStringList lines = text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3); // two lines, each ended by a line feed
    QCOMPARE(lines.at(0).size(), 76);
    QCOMPARE(lines.at(1).size(), 60);
    QVERIFY(lines.at(2).isEmpty());
    QCOMPARE(QString(lines.at(0) + lines.at(1)).toLatin1(), data.toBase64());
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getByteArray(), data);

    // An exact multiple of the width has no short line.
    put.putByteArray(QStringLiteral("c"), QByteArray(57, 'x'), 76, 0);
    QCOMPARE(put.element().firstChild().nodeValue().size(), 77);
    // The defaults: width 76, no compression.
    put.putByteArray(QStringLiteral("d"), data);
    QCOMPARE(put.element().firstChild().nodeValue(), text);
}

void TestQXmlPutGet::byteArrayLineBreaksIgnored()
{
    const QByteArray data("The quick brown fox jumps over the lazy dog, twice: the quick brown fox.");
    QString base64 = QString::fromLatin1(data.toBase64());
    QString broken;
    for (int i = 0; i < base64.size(); ++i) {
        broken += base64.at(i);
        if (i % 7 == 3)
            broken += QLatin1Char('\n');
    }
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<r><b><![CDATA[\n%1\n\n]]></b><t>%1</t></r>").arg(broken)));
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getByteArray(), data);
    // A plain text node is no byte array.
    QVERIFY(get.find(QStringLiteral("t")));
    QCOMPARE(get.getByteArray("default"), QByteArray("default"));
}

void TestQXmlPutGet::byteArrayLineWidthBelowOne()
{
    const QByteArray data(300, 'q');
    for (int width : {0, -1, -1000, std::numeric_limits<int>::min(), 400, std::numeric_limits<int>::max()}) {
        QXmlPut put(QStringLiteral("r"));
        put.putByteArray(QStringLiteral("b"), data, width, 0);
        const QString text = put.element().firstChild().nodeValue();
        QCOMPARE(text, QString::fromLatin1(data.toBase64()) + QLatin1Char('\n'));
        QXmlGet get = reread(put);
        QVERIFY(get.find(QStringLiteral("b")));
        QCOMPARE(get.getByteArray(), data);
    }
    QXmlPut put(QStringLiteral("r"));
    put.putByteArray(QStringLiteral("b"), data, 1, 0);
    QCOMPARE(put.element().firstChild().nodeValue().count(QLatin1Char('\n')), 400);
}

void TestQXmlPutGet::byteArrayCompression()
{
    QByteArray data;
    for (int i = 0; i < 2000; ++i)
        data += QByteArray::number(i % 17);
    QXmlPut put(QStringLiteral("r"));
    put.putByteArray(QStringLiteral("c5"), data, 76, 5);
    QCOMPARE(put.element().attribute(QStringLiteral("compression")), QStringLiteral("5"));
    QVERIFY(put.element().firstChild().nodeValue().size() < data.toBase64().size());
    put.putByteArray(QStringLiteral("c12"), data, 76, 12);
    QCOMPARE(put.element().attribute(QStringLiteral("compression")), QStringLiteral("9"));
    put.putByteArray(QStringLiteral("neg"), data, 76, -3);
    QVERIFY(!put.element().hasAttribute(QStringLiteral("compression")));
    // The toolkit's compression, with the length first.
    QString text =
        put.document().documentElement().firstChildElement(QStringLiteral("c5")).firstChild().nodeValue();
    const QByteArray packed = QByteArray::fromBase64(text.remove(QLatin1Char('\n')).toLatin1());
    QCOMPARE(packed, qCompress(data, 5));

    QXmlGet get = reread(put);
    for (const char *name : {"c5", "c12", "neg"}) {
        QVERIFY(get.find(QLatin1String(name)));
        QCOMPARE(get.getByteArray(), data);
    }

    // A corrupt compressed payload gives the default.
    QVERIFY(get.fromString(QStringLiteral("<r><b compression=\"3\"><![CDATA[AAAAEHh4eHh4eHh4\n]]></b></r>")));
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getByteArray("default"), QByteArray("default"));
}

void TestQXmlPutGet::byteArrayEmpty()
{
    QXmlPut put(QStringLiteral("r"));
    put.putByteArray(QStringLiteral("plain"), QByteArray());
    put.putByteArray(QStringLiteral("packed"), QByteArray(), 76, 9);
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("plain")));
    QCOMPARE(get.getByteArray("d"), QByteArray());
    QVERIFY(get.find(QStringLiteral("packed")));
    QCOMPARE(get.getByteArray("d"), QByteArray());
}

void TestQXmlPutGet::byteArrayNeedsCdata()
{
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<r><a/><b><x/></b></r>")));
    QVERIFY(get.find(QStringLiteral("a")));
    QCOMPARE(get.getByteArray("d"), QByteArray("d"));
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getByteArray("d"), QByteArray("d"));
}

void TestQXmlPutGet::imageValues()
{
    QImage image(17, 9, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 15, y * 28, (x * y) % 256, 100 + x));
    QXmlPut put(QStringLiteral("r"));
    put.putImage(QStringLiteral("png"), image, QStringLiteral("png"));
    QCOMPARE(put.element().attribute(QStringLiteral("format")), QStringLiteral("png"));
    QCOMPARE(put.element().attribute(QStringLiteral("compression")), QStringLiteral("9"));
    put.putImage(QStringLiteral("jpeg"), image.convertToFormat(QImage::Format_RGB32), QStringLiteral("jpg"),
                 64);
    QCOMPARE(put.element().attribute(QStringLiteral("format")), QStringLiteral("jpg"));
    QVERIFY(!put.element().hasAttribute(QStringLiteral("compression")));
    QCOMPARE(put.element().firstChild().nodeValue().indexOf(QLatin1Char('\n')), 64);
    put.putImage(QStringLiteral("bmp"), image.convertToFormat(QImage::Format_RGB32), QStringLiteral("BMP"));
    put.putImage(QStringLiteral("default"), image); // PNG
    QCOMPARE(put.element().attribute(QStringLiteral("format")), QStringLiteral("PNG"));

    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("png")));
    QCOMPARE(get.getImage().convertToFormat(QImage::Format_ARGB32), image);
    QVERIFY(get.find(QStringLiteral("default")));
    QCOMPARE(get.getImage().convertToFormat(QImage::Format_ARGB32), image);
    QVERIFY(get.find(QStringLiteral("bmp")));
    QCOMPARE(get.getImage().convertToFormat(QImage::Format_RGB32),
             image.convertToFormat(QImage::Format_RGB32));
    QVERIFY(get.find(QStringLiteral("jpeg")));
    const QImage jpeg = get.getImage();
    QCOMPARE(jpeg.size(), image.size()); // lossy: only the size is exact
}

void TestQXmlPutGet::imageFailures()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QXmlPut put(QStringLiteral("r"));
    LogCapture log;
    put.putImage(QStringLiteral("bad"), image, QStringLiteral("NOPE"));
    QCOMPARE(log.debugLines(),
             QStringList{QStringLiteral("void QXmlPut::putImage(const QString&, const QImage&, "
                                        "const QString&, int) Couldn't write image to buffer with "
                                        "format NOPE")});
    QVERIFY(put.document().documentElement().firstChildElement().isNull()); // nothing written
    QCOMPARE(put.element(), put.document().documentElement());

    const QImage fallback(2, 2, QImage::Format_Mono);
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<r><noformat><![CDATA[AAAA\n]]></noformat>"
                                          "<junk format=\"PNG\"><![CDATA[AAAA\n]]></junk>"
                                          "<wrong format=\"XPM\"><![CDATA[%1\n]]></wrong></r>")
                               .arg(QString::fromLatin1(QByteArray("not an image").toBase64()))));
    for (const char *name : {"noformat", "junk", "wrong"}) {
        QVERIFY(get.find(QLatin1String(name)));
        QCOMPARE(get.getImage(fallback), fallback);
    }
}

void TestQXmlPutGet::stringLists()
{
    QXmlPut put(QStringLiteral("r"));
    const QStringList list{QStringLiteral("one"), QStringLiteral("two ]]> three"), QStringLiteral("<4>")};
    put.putStringList(QStringLiteral("plain"), list);
    QCOMPARE(put.element().tagName(), QStringLiteral("plain")); // rose back, the list is current
    QCOMPARE(put.parentElement().tagName(), QStringLiteral("r"));
    put.putStringList(QStringLiteral("cdata"), list, true);
    QVERIFY(put.element().firstChildElement(QStringLiteral("li")).firstChild().isCDATASection());
    put.putStringList(QStringLiteral("empty"), QStringList());
    QXmlGet get = reread(put);
    QCOMPARE(get.childCount(QStringLiteral("li")), 6);
    QVERIFY(get.find(QStringLiteral("plain")));
    QCOMPARE(get.getStringList(), list);
    QCOMPARE(get.childCount(), 3);
    QVERIFY(get.find(QStringLiteral("cdata")));
    QCOMPARE(get.getStringList(), list);
    QVERIFY(get.find(QStringLiteral("empty")));
    QCOMPARE(get.getStringList({QStringLiteral("d")}), QStringList()); // found but empty
    // Reading a list leaves the cursor where it was.
    QCOMPARE(get.tagName(), QStringLiteral("empty"));
    QCOMPARE(get.parentElement().tagName(), QStringLiteral("r"));
    // Nothing found: the current element is the current parent.
    get.findReset();
    QCOMPARE(get.getStringList({QStringLiteral("d")}), QStringList{QStringLiteral("d")});
    QVERIFY(!get.find(QStringLiteral("nolist")));
    QCOMPARE(get.getStringList({QStringLiteral("d")}), QStringList{QStringLiteral("d")});
}

void TestQXmlPutGet::vectors()
{
    QXmlPut put(QStringLiteral("r"));
    put.putIntVector(QStringLiteral("i"), {1, -2, 300});
    QCOMPARE(put.element().text(), QStringLiteral("1;-2;300"));
    put.putDoubleVector(QStringLiteral("d"), {0.5, 3.14159265, -1e20});
    QCOMPARE(put.element().text(), QStringLiteral("0.5;3.14159;-1e+20"));
    put.putBoolVector(QStringLiteral("b"), {true, false, true}, bfOneZero);
    QCOMPARE(put.element().text(), QStringLiteral("1;0;1"));
    put.putBoolVector(QStringLiteral("bd"), {false, true});
    QCOMPARE(put.element().text(), QStringLiteral("no;yes"));
    put.putIntVector(QStringLiteral("empty"), {});
    QVERIFY(!put.element().hasChildNodes());
    put.putDoubleVector(QStringLiteral("emptyd"), {});
    put.putBoolVector(QStringLiteral("emptyb"), {});
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("i")));
    QCOMPARE(get.getIntVector(), (QVector<int>{1, -2, 300}));
    QVERIFY(get.find(QStringLiteral("d")));
    QCOMPARE(get.getDoubleVector(), (QVector<double>{0.5, 3.14159, -1e20}));
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getBoolVector(), (QVector<bool>{true, false, true}));
    QCOMPARE(get.getBoolVector({false}, bfYesNo), QVector<bool>{false});
    QVERIFY(get.find(QStringLiteral("bd")));
    QCOMPARE(get.getBoolVector(), (QVector<bool>{false, true}));
    QVERIFY(get.find(QStringLiteral("empty")));
    QCOMPARE(get.getIntVector({7}), QVector<int>{7}); // an empty vector reads as the default
    QVERIFY(get.find(QStringLiteral("emptyd")));
    QCOMPARE(get.getDoubleVector({7.5}), QVector<double>{7.5});
    QVERIFY(get.find(QStringLiteral("emptyb")));
    QCOMPARE(get.getBoolVector({true}), QVector<bool>{true});

    QVERIFY(get.fromString(QStringLiteral("<r><a>1;;2</a><b>1;2;</b><c>1;2</c><d>1;x</d></r>")));
    QVERIFY(get.find(QStringLiteral("a")));
    QCOMPARE(get.getIntVector({9}), QVector<int>{9});
    QVERIFY(get.find(QStringLiteral("b")));
    QCOMPARE(get.getIntVector({9}), QVector<int>{9});
    QVERIFY(get.find(QStringLiteral("c")));
    QCOMPARE(get.getIntVector({9}), (QVector<int>{1, 2}));
    QVERIFY(get.find(QStringLiteral("d")));
    QCOMPARE(get.getDoubleVector({9}), QVector<double>{9});
}

void TestQXmlPutGet::vectorConverters()
{
    QCOMPARE(QXmlPut::intVectorToStr({}), QString());
    QCOMPARE(QXmlPut::intVectorToStr({5}), QStringLiteral("5"));
    QCOMPARE(QXmlPut::doubleVectorToStr({1.0, 2.25}), QStringLiteral("1;2.25"));
    QCOMPARE(QXmlPut::boolVectorToStr({true, false}, bfTrueFalse), QStringLiteral("true;false"));

    bool ok = false;
    QCOMPARE(QXmlGet::strToIntVector(QStringLiteral("1;2"), &ok), (QVector<int>{1, 2}));
    QVERIFY(ok);
    QCOMPARE(QXmlGet::strToIntVector(QStringLiteral("1;;2"), &ok), QVector<int>());
    QVERIFY(!ok);
    QCOMPARE(QXmlGet::strToIntVector(QString(), &ok), QVector<int>());
    QVERIFY(!ok);
    QCOMPARE(QXmlGet::strToDoubleVector(QStringLiteral("1.5;-2e3"), &ok), (QVector<double>{1.5, -2000.0}));
    QVERIFY(ok);
    QCOMPARE(QXmlGet::strToDoubleVector(QStringLiteral("1.5;"), &ok), QVector<double>());
    QVERIFY(!ok);
    QCOMPARE(QXmlGet::strToBoolVector(QStringLiteral("YES;no;True;0"), &ok),
             (QVector<bool>{true, false, true, false}));
    QVERIFY(ok);
    QCOMPARE(QXmlGet::strToBoolVector(QStringLiteral("yes;1"), &ok, bfYesNo), QVector<bool>());
    QVERIFY(!ok);
    QCOMPARE(QXmlGet::strToIntVector(QStringLiteral("3")), QVector<int>{3}); // ok may be null
}

void TestQXmlPutGet::vectorAttributes()
{
    QXmlPut put(QStringLiteral("r"));
    put.putSingleTag(QStringLiteral("t"));
    put.setAttributeIntVector(QStringLiteral("i"), {4, 5});
    put.setAttributeDoubleVector(QStringLiteral("d"), {0.125, 1e-7});
    put.setAttributeBoolVector(QStringLiteral("b"), {true, true, false}, bfTrueFalse);
    put.setAttributeIntVector(QStringLiteral("e"), {});
    QCOMPARE(put.element().attribute(QStringLiteral("b")), QStringLiteral("true;true;false"));
    QCOMPARE(put.element().attribute(QStringLiteral("e")), QString());
    QXmlGet get = reread(put);
    QVERIFY(get.find(QStringLiteral("t")));
    QCOMPARE(get.getAttributeIntVector(QStringLiteral("i")), (QVector<int>{4, 5}));
    QCOMPARE(get.getAttributeDoubleVector(QStringLiteral("d")), (QVector<double>{0.125, 1e-7}));
    QCOMPARE(get.getAttributeBoolVector(QStringLiteral("b")), (QVector<bool>{true, true, false}));
    QCOMPARE(get.getAttributeBoolVector(QStringLiteral("b"), {false}, bfOneZero), QVector<bool>{false});
    QCOMPARE(get.getAttributeIntVector(QStringLiteral("e"), {1}), QVector<int>{1});
    QCOMPARE(get.getAttributeIntVector(QStringLiteral("missing"), {2}), QVector<int>{2});
    QCOMPARE(get.getAttributeDoubleVector(QStringLiteral("missing"), {2.5}), QVector<double>{2.5});
    QCOMPARE(get.getAttributeBoolVector(QStringLiteral("missing"), {true}), QVector<bool>{true});
}

void TestQXmlPutGet::scalarAttributes()
{
    QXmlGet get;
    QVERIFY(
        get.fromString(QStringLiteral("<r s=\"text\" i=\"-12\" ib=\"1.5\" d=\"2.5e2\" db=\"x\" b=\"True\" "
                                      "bb=\"maybe\" empty=\"\"/>")));
    QCOMPARE(get.getAttributeString(QStringLiteral("s")), QStringLiteral("text"));
    QCOMPARE(get.getAttributeString(QStringLiteral("empty"), QStringLiteral("d")), QString());
    QCOMPARE(get.getAttributeString(QStringLiteral("none"), QStringLiteral("d")), QStringLiteral("d"));
    QCOMPARE(get.getAttributeInt(QStringLiteral("i")), -12);
    QCOMPARE(get.getAttributeInt(QStringLiteral("ib"), 3), 3);
    QCOMPARE(get.getAttributeInt(QStringLiteral("empty"), 3), 3);
    QCOMPARE(get.getAttributeInt(QStringLiteral("none"), 3), 3);
    QCOMPARE(get.getAttributeDouble(QStringLiteral("d")), 250.0);
    QCOMPARE(get.getAttributeDouble(QStringLiteral("db"), 1.5), 1.5);
    QCOMPARE(get.getAttributeDouble(QStringLiteral("none"), 1.5), 1.5);
    QCOMPARE(get.getAttributeBool(QStringLiteral("b")), true);
    QCOMPARE(get.getAttributeBool(QStringLiteral("b"), false, bfYesNo), false);
    QCOMPARE(get.getAttributeBool(QStringLiteral("bb"), true), true);
    QCOMPARE(get.getAttributeBool(QStringLiteral("none"), true), true);
}

// ---------------------------------------------------------------------------
// Files

void TestQXmlPutGet::saveAndLoad()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("doc.xml"));
    QXmlPut put(QStringLiteral("settings"), QStringLiteral("1.0"), QStringLiteral("UTF-8"), false,
                QStringLiteral("VeltoHardware"));
    put.descend(QStringLiteral("group"));
    put.putString(QStringLiteral("name"), QStringLiteral("Grüße €"));
    put.putInt(QStringLiteral("n"), 42);
    QVERIFY(put.rise());
    QVERIFY(put.save(path, 4));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains("\n    <group>")); // indent 4
    QVERIFY(bytes.contains("Gr\xc3\xbc\xc3\x9f"
                           "e \xe2\x82\xac"));

    QXmlGet get;
    QString message = QStringLiteral("untouched");
    int line = -1;
    int column = -1;
    QVERIFY(get.load(path, &message, &line, &column));
    QCOMPARE(message, QStringLiteral("untouched"));
    QCOMPARE(get.docType(), QStringLiteral("VeltoHardware"));
    QCOMPARE(get.encoding(), QStringLiteral("UTF-8"));
    QVERIFY(get.findAndDescend(QStringLiteral("group")));
    QVERIFY(get.find(QStringLiteral("name")));
    QCOMPARE(get.getString(), QStringLiteral("Grüße €"));
    QVERIFY(get.find(QStringLiteral("n")));
    QCOMPARE(get.getInt(), 42);
    QVERIFY(get.load(path)); // out-parameters may be null
}

void TestQXmlPutGet::saveUsesDeclaredEncoding()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("latin1.xml"));
    QXmlPut put(QStringLiteral("r"), QStringLiteral("1.0"), QStringLiteral("ISO-8859-1"), false);
    put.putString(QStringLiteral("s"), QStringLiteral("é"));
    QVERIFY(put.save(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY2(bytes.contains("<s>\xe9</s>"), bytes.constData());
    QXmlGet get;
    QVERIFY(get.load(path));
    QVERIFY(get.find(QStringLiteral("s")));
    QCOMPARE(get.getString(), QStringLiteral("é"));
}

void TestQXmlPutGet::saveFailureLogs()
{
    QXmlPut put(QStringLiteral("r"));
    LogCapture log;
    const QString path = QStringLiteral("/nonexistent-folder/doc.xml");
    QVERIFY(!put.save(path));
    QCOMPARE(
        log.debugLines(),
        QStringList{
            QStringLiteral("bool QXmlPut::save(const QString&, int) const Couldn't open file for writing: ") +
            path});
}

void TestQXmlPutGet::loadMissingFileLogsAndLeavesOutParameters()
{
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<keep><a>1</a></keep>")));
    LogCapture log;
    QString message = QStringLiteral("untouched");
    int line = -1;
    int column = -2;
    const QString path = QStringLiteral("/nonexistent-folder/none.xml");
    QVERIFY(!get.load(path, &message, &line, &column));
    QCOMPARE(log.debugLines(),
             QStringList{
                 QStringLiteral(
                     "bool QXmlGet::load(const QString&, QString*, int*, int*) Couldn't read from file: ") +
                 path});
    QCOMPARE(message, QStringLiteral("untouched"));
    QCOMPARE(line, -1);
    QCOMPARE(column, -2);
    QCOMPARE(get.tagName(), QStringLiteral("keep"));
}

void TestQXmlPutGet::loadParseErrorKeepsReader()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<r>\n  <a>1</a>\n  <b>\n</r>\n");
    file.close();
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<keep><a>7</a></keep>")));
    QVERIFY(get.find(QStringLiteral("a")));
    LogCapture log;
    QString message;
    int line = 0;
    int column = 0;
    QVERIFY(!get.load(path, &message, &line, &column));
    QVERIFY(!message.isEmpty());
    QCOMPARE(line, 4);
    QVERIFY(column > 0);
    QCOMPARE(log.debugLines().size(), 1);
    QVERIFY(log.debugLines().first().startsWith(
        QStringLiteral("bool QXmlGet::load(const QString&, QString*, int*, int*) Couldn't parse file: ") +
        path));
    // The reader is unchanged, cursor included.
    QCOMPARE(get.tagName(), QStringLiteral("a"));
    QCOMPARE(get.getInt(), 7);
}

void TestQXmlPutGet::fromStringParseError()
{
    QXmlGet get;
    LogCapture log;
    QString message;
    int line = 0;
    int column = 0;
    QVERIFY(!get.fromString(QStringLiteral("<r><a></r>"), &message, &line, &column));
    QVERIFY(!message.isEmpty());
    QCOMPARE(line, 1);
    QCOMPARE(log.debugLines().size(), 1);
    QVERIFY(log.debugLines().first().startsWith(QStringLiteral(
        "bool QXmlGet::fromString(const QString&, QString*, int*, int*) Couldn't parse text, line 1")));
    QVERIFY(get.document().isNull());
    QCOMPARE(get.getInt(3), 3);
}

void TestQXmlPutGet::writerFromReaderContinues()
{
    QXmlGet get;
    QVERIFY(get.fromString(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><a>1</a><b/></r>")));
    QVERIFY(get.findAndDescend(QStringLiteral("b")));
    QXmlPut put(get);
    QCOMPARE(put.parentElement().tagName(), QStringLiteral("b"));
    QCOMPARE(put.encoding(), QStringLiteral("UTF-8"));
    put.putInt(QStringLiteral("c"), 3);
    QVERIFY(put.rise());
    put.putInt(QStringLiteral("d"), 4);
    // The reader sees the writes in the shared tree.
    QVERIFY(get.find(QStringLiteral("c")));
    QCOMPARE(get.getInt(), 3);
    QXmlGet again;
    QVERIFY(again.fromString(put.toString()));
    QCOMPARE(again.childCount(), 3);
    QVERIFY(again.find(QStringLiteral("d")));
    QCOMPARE(again.getInt(), 4);
}

QTEST_MAIN(TestQXmlPutGet)
#include "tst_qxmlputget.moc"
