// SPDX-License-Identifier: GPL-3.0-only
#include "core/persistence/qxmlputget.h"

#include <QBuffer>
#include <QDebug>
#include <QDomCDATASection>
#include <QDomDocumentType>
#include <QDomImplementation>
#include <QDomProcessingInstruction>
#include <QFile>
#include <QRegularExpression>
#include <QStringView>
#include <QTextCodec>
#include <QTextStream>

#include <cmath>

// One debug line: the full signature of the operation that failed, then the message.
#define QXMLPUTGET_LOG(message)                                                                              \
    qDebug().noquote().nospace() << QLatin1String(Q_FUNC_INFO) << QLatin1Char(' ') << (message)

namespace {

const QString attrColor = QStringLiteral("color");

QString doubleText(double value)
{
    return QString::number(value, 'g', 6);
}

// All characters hex digits (no sign, no prefix, no blanks), as the colour forms need.
bool parseHex(QStringView text, int *value)
{
    if (text.isEmpty())
        return false;
    int result = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        int digit;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (u >= 'a' && u <= 'f')
            digit = u - 'a' + 10;
        else if (u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        else
            return false;
        result = result * 16 + digit;
    }
    *value = result;
    return true;
}

// CDATA cannot hold "]]>": cut between "]]" and ">".
QStringList cdataSections(const QString &value)
{
    QStringList sections;
    const QString marker = QStringLiteral("]]>");
    int start = 0;
    int pos;
    while ((pos = value.indexOf(marker, start)) >= 0) {
        sections << value.mid(start, pos + 2 - start);
        start = pos + 2;
    }
    sections << value.mid(start);
    return sections;
}

// The failure message of a rise from `parent`, or an empty string when it is allowed.
QString riseFailure(const QDomElement &barrier, const QDomElement &parent)
{
    if (parent == barrier)
        return QStringLiteral("attept to rise beyond allowed node");
    const QDomNode above = parent.parentNode();
    if (above.isNull())
        return QStringLiteral("Attempt to rise above document node");
    if (!above.isElement())
        return QStringLiteral("Attempt to rise into non-element node");
    return QString();
}

// The failure message of a jump to `element`, or an empty string when it is allowed.
// Membership is checked first: an element of another document never reaches the
// barrier, so the walk alone could not tell the two failures apart.
QString goToFailure(const QDomDocument &doc, const QDomElement &barrier, const QDomElement &element)
{
    if (element.isNull() || doc.isNull() || element.ownerDocument() != doc)
        return QStringLiteral("Attempt to go to element not in document");
    QDomNode node = element;
    while (!node.isNull() && node != barrier)
        node = node.parentNode();
    if (node.isNull())
        return QStringLiteral("attempt to jump outside of allowed tree");
    return QString();
}

QDomElement lastChildOrSelf(const QDomElement &element)
{
    const QDomElement last = element.lastChildElement();
    return last.isNull() ? element : last;
}

bool startsAt(const QString &text, int at, QLatin1String what)
{
    return QStringView(text).mid(at).startsWith(what);
}

// Whether the character reference whose digits start at `i` (after "&#")
// stands for "<", the only character that can turn into a start tag; a
// reference to any other character adds no level.
bool referencesLessThan(const QString &text, int i)
{
    const bool hex = i < text.size() && text.at(i) == QLatin1Char('x');
    if (hex)
        ++i;
    int end = i;
    while (end < text.size() && end - i < 16 && text.at(end).isLetterOrNumber())
        ++end;
    bool ok = false;
    const uint value = text.mid(i, end - i).toUInt(&ok, hex ? 16 : 10);
    // A reference the parser will refuse counts, as it did before.
    return !ok || value == uint('<');
}

// Skips a markup declaration (DOCTYPE with its internal subset, or any other
// "<!"), starting after "<!"; returns the index after its closing ">". Inside
// the internal subset it counts every possible start tag into `*subsetTags`:
// "<" before a name and a character reference to "<" (it becomes "<" in the value).
// Entity values are markup that references expand in place, and a literal
// value has no size limit in the parser, so only a count over all of them
// bounds what entities can add to the nesting (no entity can appear twice in
// one chain of references).
int skipDeclaration(const QString &text, int i, int *subsetTags)
{
    const int n = text.size();
    int brackets = 0;
    QChar quote;
    while (i < n) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < n ? text.at(i + 1) : QChar();
        if (brackets > 0) {
            if (c == QLatin1Char('<') && next != QLatin1Char('!') && next != QLatin1Char('?') &&
                next != QLatin1Char('/'))
                ++*subsetTags;
            else if (c == QLatin1Char('&') && next == QLatin1Char('#') && referencesLessThan(text, i + 2))
                ++*subsetTags;
        }
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            ++i;
            continue;
        }
        if (startsAt(text, i, QLatin1String("<!--"))) {
            const int end = text.indexOf(QLatin1String("-->"), i + 4);
            if (end < 0)
                return n;
            i = end + 3;
            continue;
        }
        if (startsAt(text, i, QLatin1String("<?"))) {
            const int end = text.indexOf(QLatin1String("?>"), i + 2);
            if (end < 0)
                return n;
            i = end + 2;
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\''))
            quote = c;
        else if (c == QLatin1Char('['))
            ++brackets;
        else if (c == QLatin1Char(']'))
            --brackets;
        else if (c == QLatin1Char('>') && brackets <= 0)
            return i + 1;
        ++i;
    }
    return n;
}

// The index of the first start tag that may nest deeper than `limit`, or -1.
// A lexical count of the document's start and end tags plus the possible
// start tags of the internal subset (see skipDeclaration): it never counts
// too few for the well-formed prefix that the parser accepts before any error.
int firstTooDeepTag(const QString &text, int limit)
{
    const int n = text.size();
    int depth = 0;
    int subsetTags = 0;
    int i = 0;
    while (i < n) {
        i = text.indexOf(QLatin1Char('<'), i);
        if (i < 0)
            break;
        if (startsAt(text, i, QLatin1String("<!--"))) {
            const int end = text.indexOf(QLatin1String("-->"), i + 4);
            if (end < 0)
                break;
            i = end + 3;
        } else if (startsAt(text, i, QLatin1String("<![CDATA["))) {
            const int end = text.indexOf(QLatin1String("]]>"), i + 9);
            if (end < 0)
                break;
            i = end + 3;
        } else if (startsAt(text, i, QLatin1String("<?"))) {
            const int end = text.indexOf(QLatin1String("?>"), i + 2);
            if (end < 0)
                break;
            i = end + 2;
        } else if (startsAt(text, i, QLatin1String("<!"))) {
            const int start = i;
            i = skipDeclaration(text, i + 2, &subsetTags);
            if (subsetTags > limit)
                return start;
        } else if (startsAt(text, i, QLatin1String("</"))) {
            if (depth > 0)
                --depth;
            const int end = text.indexOf(QLatin1Char('>'), i + 2);
            if (end < 0)
                break;
            i = end + 1;
        } else {
            int j = i + 1;
            QChar quote;
            while (j < n) {
                const QChar c = text.at(j);
                if (!quote.isNull()) {
                    if (c == quote)
                        quote = QChar();
                } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                    quote = c;
                } else if (c == QLatin1Char('>')) {
                    break;
                }
                ++j;
            }
            const bool emptyElement = j < n && text.at(j - 1) == QLatin1Char('/');
            if (!emptyElement && ++depth + subsetTags > limit)
                return i;
            if (j >= n)
                break;
            i = j + 1;
        }
    }
    return -1;
}

void positionOf(const QString &text, int index, int *line, int *column)
{
    const QStringView before = QStringView(text).left(index);
    *line = int(before.count(QLatin1Char('\n'))) + 1;
    *column = index - int(before.lastIndexOf(QLatin1Char('\n')));
}

// UTF-16 without a byte order mark, in the byte order its first character shows, or null.
QTextCodec *unmarkedUtf16Codec(const QByteArray &data)
{
    if (data.size() < 2 || QTextCodec::codecForUtfText(data, nullptr))
        return nullptr;
    if (data.at(0) == '<' && data.at(1) == '\0')
        return QTextCodec::codecForName("UTF-16LE");
    if (data.at(0) == '\0' && data.at(1) == '<')
        return QTextCodec::codecForName("UTF-16BE");
    return nullptr;
}

// The text the depth scan reads: markup characters are ASCII in every encoding
// the parser detects, so UTF-8 decoding finds them, except in UTF-16.
QString scanText(const QByteArray &data)
{
    QTextCodec *codec = QTextCodec::codecForUtfText(data, nullptr);
    if (!codec)
        codec = unmarkedUtf16Codec(data);
    if (!codec)
        codec = QTextCodec::codecForName("UTF-8");
    return codec->toUnicode(data);
}

struct ParseResult {
    bool ok = false;
    QString message;
    int line = 0;
    int column = 0;
};

ParseResult depthCheck(const QString &text)
{
    ParseResult result;
    const int index = firstTooDeepTag(text, QXmlGet::maximumDepth);
    if (index < 0) {
        result.ok = true;
        return result;
    }
    result.message = QStringLiteral("elements nested deeper than %1 levels").arg(QXmlGet::maximumDepth);
    positionOf(text, index, &result.line, &result.column);
    return result;
}

void putErrors(const ParseResult &result, QString *errorMessage, int *errorLine, int *errorColumn)
{
    if (errorMessage)
        *errorMessage = result.message;
    if (errorLine)
        *errorLine = result.line;
    if (errorColumn)
        *errorColumn = result.column;
}

// A document's bytes as a file holds them, in the encoding they declare or show.
ParseResult parseData(const QByteArray &data, QDomDocument *document)
{
    const QString text = scanText(data);
    ParseResult result = depthCheck(text);
    // Unmarked UTF-16 is parsed as decoded here: the parser would switch to a
    // declared "UTF-16" and read it in the machine's byte order.
    if (result.ok && unmarkedUtf16Codec(data))
        result.ok = document->setContent(text, false, &result.message, &result.line, &result.column);
    else if (result.ok)
        result.ok = document->setContent(data, false, &result.message, &result.line, &result.column);
    return result;
}

QString parseFailureText(const ParseResult &result)
{
    return QStringLiteral("line %1, column %2: %3").arg(result.line).arg(result.column).arg(result.message);
}

bool validBrushStyle(int style)
{
    // Gradient and texture styles cannot be set on a brush by number.
    return style >= Qt::NoBrush && style <= Qt::DiagCrossPattern;
}

bool validPenStyle(int style)
{
    return style >= Qt::NoPen && style <= Qt::CustomDashLine;
}

bool validCapStyle(int style)
{
    return style == Qt::FlatCap || style == Qt::SquareCap || style == Qt::RoundCap;
}

bool validJoinStyle(int style)
{
    return style == Qt::MiterJoin || style == Qt::BevelJoin || style == Qt::RoundJoin ||
           style == Qt::SvgMiterJoin;
}

} // namespace

// ---------------------------------------------------------------------------
// QXmlPut

QXmlPut::QXmlPut(const QString &rootTag)
{
    if (rootTag.isEmpty())
        QXMLPUTGET_LOG(QStringLiteral("root tag can't be empty"));
    createDocument(rootTag, QStringLiteral("1.0"), QStringLiteral("UTF-8"), false, QString(), QString(),
                   QString());
}

QXmlPut::QXmlPut(const QString &rootTag, const QString &xmlVersion, const QString &encoding, bool standalone,
                 const QString &docType, const QString &publicId, const QString &systemId)
{
    if (rootTag.isEmpty())
        QXMLPUTGET_LOG(QStringLiteral("rootTag can't be empty"));
    if (xmlVersion.isEmpty())
        QXMLPUTGET_LOG(QStringLiteral("xmlVersion can't be empty"));
    if (encoding.isEmpty())
        QXMLPUTGET_LOG(QStringLiteral("encoding can't be empty"));
    createDocument(rootTag, xmlVersion, encoding, standalone, docType, publicId, systemId);
}

QXmlPut::QXmlPut(const QXmlGet &reader)
    : doc(reader.doc), barrier(reader.barrier), parent(reader.parent), current(reader.current),
      xmlTarget(reader.xmlTarget), version(reader.version), xmlEncoding(reader.xmlEncoding),
      isStandalone(reader.isStandalone)
{
}

void QXmlPut::createDocument(const QString &rootTag, const QString &xmlVersion, const QString &encoding,
                             bool standalone, const QString &docType, const QString &publicId,
                             const QString &systemId)
{
    xmlTarget = QStringLiteral("xml");
    version = xmlVersion;
    xmlEncoding = encoding;
    isStandalone = standalone;
    QString data = QStringLiteral("version=\"%1\" encoding=\"%2\"").arg(xmlVersion, encoding);
    if (standalone)
        data += QStringLiteral(" standalone=\"yes\"");
    if (!docType.isEmpty()) {
        // The document adopts its type as its first child; the declaration goes before it.
        doc = QDomDocument(QDomImplementation().createDocumentType(docType, publicId, systemId));
        doc.insertBefore(doc.createProcessingInstruction(xmlTarget, data), QDomNode());
    } else {
        doc = QDomDocument();
        doc.appendChild(doc.createProcessingInstruction(xmlTarget, data));
    }
    QDomElement root = doc.createElement(rootTag);
    doc.appendChild(root);
    barrier = root;
    parent = root;
    current = root;
}

QString QXmlPut::toString(int indent) const
{
    return doc.toString(indent);
}

bool QXmlPut::save(const QString &fileName, int indent) const
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        QXMLPUTGET_LOG(QStringLiteral("Couldn't open file for writing: ") + fileName);
        return false;
    }
    QTextStream stream(&file);
    // Takes the stream's codec from the declaration (UTF-8 when it names none the toolkit knows).
    doc.save(stream, indent, QDomNode::EncodingFromDocument);
    stream.flush();
    file.close();
    return true;
}

void QXmlPut::descend(const QString &name)
{
    QDomElement element = doc.createElement(name);
    parent.appendChild(element);
    current = element;
    parent = element;
}

bool QXmlPut::rise()
{
    const QString failure = riseFailure(barrier, parent);
    if (!failure.isEmpty()) {
        QXMLPUTGET_LOG(failure);
        return false;
    }
    current = parent;
    parent = parent.parentNode().toElement();
    return true;
}

bool QXmlPut::goTo(const QDomElement &element)
{
    const QString failure = goToFailure(doc, barrier, element);
    if (!failure.isEmpty()) {
        QXMLPUTGET_LOG(failure);
        return false;
    }
    parent = element;
    current = lastChildOrSelf(element);
    return true;
}

QXmlPut QXmlPut::restricted() const
{
    QXmlPut copy(*this);
    copy.barrier = parent;
    return copy;
}

QXmlPut QXmlPut::descended(const QString &name)
{
    QXmlPut copy(*this);
    copy.descend(name);
    copy.barrier = copy.parent;
    current = copy.parent;
    return copy;
}

QDomElement QXmlPut::appendElement(const QString &name)
{
    QDomElement element = doc.createElement(name);
    parent.appendChild(element);
    current = element;
    return element;
}

void QXmlPut::appendText(QDomElement &element, const QString &value, bool asCDATA)
{
    if (!asCDATA) {
        element.appendChild(doc.createTextNode(value));
        return;
    }
    for (const QString &section : cdataSections(value))
        element.appendChild(doc.createCDATASection(section));
}

void QXmlPut::putComment(const QString &text)
{
    parent.appendChild(doc.createComment(text));
}

void QXmlPut::putSingleTag(const QString &name)
{
    appendElement(name);
}

void QXmlPut::putString(const QString &name, const QString &value, bool asCDATA)
{
    QDomElement element = appendElement(name);
    appendText(element, value, asCDATA);
}

void QXmlPut::putInt(const QString &name, int value)
{
    putString(name, QString::number(value));
}

void QXmlPut::putDouble(const QString &name, double value)
{
    putString(name, doubleText(value));
}

void QXmlPut::putBool(const QString &name, bool value, QXmlPutGet::BoolFormat format)
{
    putString(name, boolToStr(value, format));
}

void QXmlPut::putDate(const QString &name, const QDate &value)
{
    putString(name, value.toString(Qt::ISODate));
}

void QXmlPut::putTime(const QString &name, const QTime &value)
{
    putString(name, value.toString(Qt::ISODate));
}

void QXmlPut::putDateTime(const QString &name, const QDateTime &value)
{
    putString(name, value.toString(Qt::ISODate));
}

void QXmlPut::putColor(const QString &name, const QColor &value)
{
    putString(name, colorToStr(value));
}

void QXmlPut::putFont(const QString &name, const QFont &value)
{
    appendElement(name).setAttribute(QStringLiteral("fontdescription"), value.toString());
}

void QXmlPut::putSize(const QString &name, const QSize &value)
{
    QDomElement element = appendElement(name);
    element.setAttribute(QStringLiteral("width"), QString::number(value.width()));
    element.setAttribute(QStringLiteral("height"), QString::number(value.height()));
}

void QXmlPut::putPoint(const QString &name, const QPoint &value)
{
    QDomElement element = appendElement(name);
    element.setAttribute(QStringLiteral("x"), QString::number(value.x()));
    element.setAttribute(QStringLiteral("y"), QString::number(value.y()));
}

void QXmlPut::putRect(const QString &name, const QRect &value)
{
    QDomElement element = appendElement(name);
    element.setAttribute(QStringLiteral("left"), QString::number(value.left()));
    element.setAttribute(QStringLiteral("top"), QString::number(value.top()));
    element.setAttribute(QStringLiteral("width"), QString::number(value.width()));
    element.setAttribute(QStringLiteral("height"), QString::number(value.height()));
}

void QXmlPut::putSizeF(const QString &name, const QSizeF &value)
{
    QDomElement element = appendElement(name);
    element.setAttribute(QStringLiteral("width"), doubleText(value.width()));
    element.setAttribute(QStringLiteral("height"), doubleText(value.height()));
}

void QXmlPut::putPointF(const QString &name, const QPointF &value)
{
    QDomElement element = appendElement(name);
    element.setAttribute(QStringLiteral("x"), doubleText(value.x()));
    element.setAttribute(QStringLiteral("y"), doubleText(value.y()));
}

void QXmlPut::putRectF(const QString &name, const QRectF &value)
{
    QDomElement element = appendElement(name);
    element.setAttribute(QStringLiteral("left"), doubleText(value.left()));
    element.setAttribute(QStringLiteral("top"), doubleText(value.top()));
    element.setAttribute(QStringLiteral("width"), doubleText(value.width()));
    element.setAttribute(QStringLiteral("height"), doubleText(value.height()));
}

void QXmlPut::putBrush(const QString &name, const QBrush &value)
{
    QDomElement element = appendElement(name);
    element.setAttribute(attrColor, colorToStr(value.color()));
    element.setAttribute(QStringLiteral("brushstyle"), QString::number(int(value.style())));
}

void QXmlPut::putPen(const QString &name, const QPen &value)
{
    QDomElement element = appendElement(name);
    element.setAttribute(attrColor, colorToStr(value.color()));
    element.setAttribute(QStringLiteral("penstyle"), QString::number(int(value.style())));
    element.setAttribute(QStringLiteral("width"), doubleText(value.widthF()));
    if (value.style() == Qt::CustomDashLine) {
        element.setAttribute(QStringLiteral("dashpattern"), doubleVectorToStr(value.dashPattern()));
        element.setAttribute(QStringLiteral("dashoffset"), doubleText(value.dashOffset()));
    }
    if (value.capStyle() != Qt::SquareCap)
        element.setAttribute(QStringLiteral("capstyle"), QString::number(int(value.capStyle())));
    if (value.joinStyle() != Qt::BevelJoin)
        element.setAttribute(QStringLiteral("joinstyle"), QString::number(int(value.joinStyle())));
    if (value.joinStyle() == Qt::MiterJoin)
        element.setAttribute(QStringLiteral("miterlimit"), doubleText(value.miterLimit()));
}

void QXmlPut::putByteArray(const QString &name, const QByteArray &value, int lineWidth, int compression)
{
    if (compression > 9)
        compression = 9;
    const bool compressed = compression > 0;
    const QByteArray base64 = (compressed ? qCompress(value, compression) : value).toBase64();
    const int size = base64.size();
    // A width below 1 (or beyond the text) is one unbroken line; the loop always advances.
    const int width = (lineWidth < 1 || lineWidth > size) ? size : lineWidth;
    QString text;
    text.reserve(size + size / qMax(width, 1) + 1);
    for (int i = 0; i < size; i += width) {
        text += QLatin1String(base64.constData() + i, qMin(width, size - i));
        text += QLatin1Char('\n');
    }
    QDomElement element = appendElement(name);
    element.appendChild(doc.createCDATASection(text));
    if (compressed)
        element.setAttribute(QStringLiteral("compression"), QString::number(compression));
}

void QXmlPut::putImage(const QString &name, const QImage &value, const QString &format, int lineWidth)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QByteArray formatName = format.toLatin1();
    if (value.isNull() || !value.save(&buffer, formatName.constData())) {
        QXMLPUTGET_LOG(QStringLiteral("Couldn't write image to buffer with format ") + format);
        return;
    }
    const QString upper = format.toUpper();
    const bool lossy = upper == QLatin1String("JPEG") || upper == QLatin1String("JPG");
    putByteArray(name, bytes, lineWidth, lossy ? 0 : 9);
    current.setAttribute(QStringLiteral("format"), format);
}

void QXmlPut::putStringList(const QString &name, const QStringList &value, bool asCDATA)
{
    descend(name);
    for (const QString &item : value)
        putString(QStringLiteral("li"), item, asCDATA);
    rise();
}

void QXmlPut::putIntVector(const QString &name, const QVector<int> &value)
{
    QDomElement element = appendElement(name);
    if (!value.isEmpty())
        appendText(element, intVectorToStr(value), false);
}

void QXmlPut::putDoubleVector(const QString &name, const QVector<double> &value)
{
    QDomElement element = appendElement(name);
    if (!value.isEmpty())
        appendText(element, doubleVectorToStr(value), false);
}

void QXmlPut::putBoolVector(const QString &name, const QVector<bool> &value, QXmlPutGet::BoolFormat format)
{
    QDomElement element = appendElement(name);
    if (!value.isEmpty())
        appendText(element, boolVectorToStr(value, format), false);
}

void QXmlPut::setAttributeString(const QString &name, const QString &value)
{
    current.setAttribute(name, value);
}

void QXmlPut::setAttributeInt(const QString &name, int value)
{
    current.setAttribute(name, QString::number(value));
}

void QXmlPut::setAttributeDouble(const QString &name, double value)
{
    current.setAttribute(name, doubleText(value));
}

void QXmlPut::setAttributeBool(const QString &name, bool value, QXmlPutGet::BoolFormat format)
{
    current.setAttribute(name, boolToStr(value, format));
}

void QXmlPut::setAttributeColor(const QString &name, const QColor &value)
{
    current.setAttribute(name, colorToStr(value));
}

void QXmlPut::setAttributeIntVector(const QString &name, const QVector<int> &value)
{
    current.setAttribute(name, intVectorToStr(value));
}

void QXmlPut::setAttributeDoubleVector(const QString &name, const QVector<double> &value)
{
    current.setAttribute(name, doubleVectorToStr(value));
}

void QXmlPut::setAttributeBoolVector(const QString &name, const QVector<bool> &value,
                                     QXmlPutGet::BoolFormat format)
{
    current.setAttribute(name, boolVectorToStr(value, format));
}

QString QXmlPut::boolToStr(bool value, QXmlPutGet::BoolFormat format)
{
    switch (format) {
    case QXmlPutGet::bfYesNo:
        return value ? QStringLiteral("yes") : QStringLiteral("no");
    case QXmlPutGet::bfTrueFalse:
        return value ? QStringLiteral("true") : QStringLiteral("false");
    case QXmlPutGet::bfOneZero:
        return value ? QStringLiteral("1") : QStringLiteral("0");
    }
    QXMLPUTGET_LOG(QStringLiteral("Invalid QXmlPutGet::BoolFormat format, using bfYesNo ") +
                   QString::number(int(format)));
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString QXmlPut::colorToStr(const QColor &color)
{
    QString text = color.name();
    if (color.alpha() < 255)
        text += QStringLiteral("%1").arg(color.alpha(), 2, 16, QLatin1Char('0'));
    return text;
}

QString QXmlPut::intVectorToStr(const QVector<int> &value)
{
    QStringList items;
    items.reserve(value.size());
    for (int item : value)
        items << QString::number(item);
    return items.join(QLatin1Char(';'));
}

QString QXmlPut::doubleVectorToStr(const QVector<double> &value)
{
    QStringList items;
    items.reserve(value.size());
    for (double item : value)
        items << doubleText(item);
    return items.join(QLatin1Char(';'));
}

QString QXmlPut::boolVectorToStr(const QVector<bool> &value, QXmlPutGet::BoolFormat format)
{
    QStringList items;
    items.reserve(value.size());
    for (bool item : value)
        items << boolToStr(item, format);
    return items.join(QLatin1Char(';'));
}

// ---------------------------------------------------------------------------
// QXmlGet

QXmlGet::QXmlGet() = default;

QXmlGet::QXmlGet(const QDomDocument &document) : doc(document)
{
    if (doc.isNull())
        QXMLPUTGET_LOG(QStringLiteral("Attempt to open a QDomDocument that is null"));
    const QDomNode first = doc.firstChild();
    if (first.isProcessingInstruction()) {
        const QDomProcessingInstruction declaration = first.toProcessingInstruction();
        xmlTarget = declaration.target();
        static const QRegularExpression field(
            QStringLiteral("(version|encoding|standalone) *= *(?:\"|')([^\"' ]*)(?:\"|')"));
        QRegularExpressionMatchIterator matches = field.globalMatch(declaration.data());
        while (matches.hasNext()) {
            const QRegularExpressionMatch match = matches.next();
            const QString key = match.captured(1);
            const QString value = match.captured(2);
            if (key == QLatin1String("version"))
                version = value;
            else if (key == QLatin1String("encoding"))
                xmlEncoding = value;
            else
                isStandalone = value == QLatin1String("yes");
        }
    }
    barrier = doc.documentElement();
    parent = barrier;
    current = barrier;
}

QXmlGet::QXmlGet(const QXmlPut &writer)
    : doc(writer.doc), barrier(writer.barrier), parent(writer.parent), current(writer.current),
      xmlTarget(writer.xmlTarget), version(writer.version), xmlEncoding(writer.xmlEncoding),
      isStandalone(writer.isStandalone)
{
}

bool QXmlGet::load(const QString &fileName, QString *errorMessage, int *errorLine, int *errorColumn)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        QXMLPUTGET_LOG(QStringLiteral("Couldn't read from file: ") + fileName);
        return false;
    }
    const QByteArray data = file.readAll();
    file.close();
    QDomDocument document;
    const ParseResult result = parseData(data, &document);
    if (!result.ok) {
        putErrors(result, errorMessage, errorLine, errorColumn);
        QXMLPUTGET_LOG(QStringLiteral("Couldn't parse file: ") + fileName + QStringLiteral(", ") +
                       parseFailureText(result));
        return false;
    }
    *this = QXmlGet(document);
    return true;
}

bool QXmlGet::fromData(const QByteArray &data, QString *errorMessage, int *errorLine, int *errorColumn)
{
    QDomDocument document;
    const ParseResult result = parseData(data, &document);
    if (!result.ok) {
        putErrors(result, errorMessage, errorLine, errorColumn);
        QXMLPUTGET_LOG(QStringLiteral("Couldn't parse data, ") + parseFailureText(result));
        return false;
    }
    *this = QXmlGet(document);
    return true;
}

bool QXmlGet::fromString(const QString &text, QString *errorMessage, int *errorLine, int *errorColumn)
{
    ParseResult result = depthCheck(text);
    QDomDocument document;
    if (result.ok)
        result.ok = document.setContent(text, false, &result.message, &result.line, &result.column);
    if (!result.ok) {
        putErrors(result, errorMessage, errorLine, errorColumn);
        QXMLPUTGET_LOG(QStringLiteral("Couldn't parse text, ") + parseFailureText(result));
        return false;
    }
    *this = QXmlGet(document);
    return true;
}

QString QXmlGet::docType() const
{
    return doc.doctype().name();
}

QString QXmlGet::publicId() const
{
    return doc.doctype().publicId();
}

QString QXmlGet::systemId() const
{
    return doc.doctype().systemId();
}

bool QXmlGet::find(const QString &name)
{
    const QDomElement found = parent.firstChildElement(name);
    if (found.isNull())
        return false;
    current = found;
    return true;
}

bool QXmlGet::findNext(const QString &name)
{
    const QDomElement found =
        current == parent ? parent.firstChildElement(name) : current.nextSiblingElement(name);
    if (found.isNull()) {
        current = parent;
        return false;
    }
    current = found;
    return true;
}

void QXmlGet::findReset()
{
    current = parent;
}

bool QXmlGet::findAndDescend(const QString &name)
{
    if (!find(name))
        return false;
    descend();
    return true;
}

bool QXmlGet::findNextAndDescend(const QString &name)
{
    if (!findNext(name))
        return false;
    descend();
    return true;
}

void QXmlGet::descend()
{
    if (current == parent)
        QXMLPUTGET_LOG(QStringLiteral("Descended into own parent, possibly missing a rise()"));
    parent = current;
}

bool QXmlGet::rise()
{
    const QString failure = riseFailure(barrier, parent);
    if (!failure.isEmpty()) {
        QXMLPUTGET_LOG(failure);
        return false;
    }
    current = parent;
    parent = parent.parentNode().toElement();
    return true;
}

bool QXmlGet::goTo(const QDomElement &element)
{
    const QString failure = goToFailure(doc, barrier, element);
    if (!failure.isEmpty()) {
        QXMLPUTGET_LOG(failure);
        return false;
    }
    parent = element;
    current = lastChildOrSelf(element);
    return true;
}

QXmlGet QXmlGet::restricted() const
{
    QXmlGet copy(*this);
    copy.barrier = parent;
    return copy;
}

QXmlGet QXmlGet::descended() const
{
    QXmlGet copy(*this);
    copy.descend();
    copy.barrier = copy.parent;
    return copy;
}

int QXmlGet::childCount(const QString &name) const
{
    if (!name.isEmpty())
        return current.elementsByTagName(name).count();
    int count = 0;
    for (QDomElement child = current.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        ++count;
    return count;
}

bool QXmlGet::hasChildren() const
{
    return !current.firstChildElement().isNull();
}

QString QXmlGet::tagName() const
{
    return current.tagName();
}

bool QXmlGet::hasAttribute(const QString &name) const
{
    return current.hasAttribute(name);
}

bool QXmlGet::elementText(QString *text) const
{
    // isText() holds for CDATA sections too.
    const QDomNode first = current.firstChild();
    if (first.isNull() || !first.isText())
        return false;
    *text = first.nodeValue();
    return true;
}

QString QXmlGet::getString(const QString &defaultValue) const
{
    const QDomNode first = current.firstChild();
    if (first.isCDATASection()) {
        QString text;
        for (QDomNode node = first; !node.isNull(); node = node.nextSibling()) {
            if (node.isCDATASection())
                text += node.nodeValue();
        }
        return text;
    }
    if (first.isText())
        return first.nodeValue();
    return defaultValue;
}

int QXmlGet::getInt(int defaultValue) const
{
    QString text;
    if (!elementText(&text))
        return defaultValue;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : defaultValue;
}

double QXmlGet::getDouble(double defaultValue) const
{
    QString text;
    if (!elementText(&text))
        return defaultValue;
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : defaultValue;
}

bool QXmlGet::getBool(bool defaultValue, int flags) const
{
    QString text;
    if (!elementText(&text))
        return defaultValue;
    bool ok = false;
    const bool value = strToBool(text, &ok, flags);
    return ok ? value : defaultValue;
}

QDate QXmlGet::getDate(const QDate &defaultValue) const
{
    QString text;
    if (!elementText(&text))
        return defaultValue;
    const QDate value = QDate::fromString(text, Qt::ISODate);
    return value.isValid() ? value : defaultValue;
}

QTime QXmlGet::getTime(const QTime &defaultValue) const
{
    QString text;
    if (!elementText(&text))
        return defaultValue;
    const QTime value = QTime::fromString(text, Qt::ISODate);
    return value.isValid() ? value : defaultValue;
}

QDateTime QXmlGet::getDateTime(const QDateTime &defaultValue) const
{
    QString text;
    if (!elementText(&text))
        return defaultValue;
    const QDateTime value = QDateTime::fromString(text, Qt::ISODate);
    return value.isValid() ? value : defaultValue;
}

QColor QXmlGet::getColor(const QColor &defaultValue) const
{
    QString text;
    if (!elementText(&text))
        return defaultValue;
    bool ok = false;
    const QColor value = strToColor(text, &ok);
    return ok ? value : defaultValue;
}

QFont QXmlGet::getFont(const QFont &defaultValue) const
{
    QFont font = defaultValue;
    const QString attribute = QStringLiteral("fontdescription");
    if (current.hasAttribute(attribute))
        font.fromString(current.attribute(attribute));
    return font;
}

QSize QXmlGet::getSize(const QSize &defaultValue) const
{
    const QString width = QStringLiteral("width");
    const QString height = QStringLiteral("height");
    if (!current.hasAttribute(width) || !current.hasAttribute(height))
        return defaultValue;
    return QSize(current.attribute(width).toInt(), current.attribute(height).toInt());
}

QPoint QXmlGet::getPoint(const QPoint &defaultValue) const
{
    const QString x = QStringLiteral("x");
    const QString y = QStringLiteral("y");
    if (!current.hasAttribute(x) || !current.hasAttribute(y))
        return defaultValue;
    return QPoint(current.attribute(x).toInt(), current.attribute(y).toInt());
}

QRect QXmlGet::getRect(const QRect &defaultValue) const
{
    const QString left = QStringLiteral("left");
    const QString top = QStringLiteral("top");
    const QString width = QStringLiteral("width");
    const QString height = QStringLiteral("height");
    if (!current.hasAttribute(left) || !current.hasAttribute(top) || !current.hasAttribute(width) ||
        !current.hasAttribute(height))
        return defaultValue;
    return QRect(current.attribute(left).toInt(), current.attribute(top).toInt(),
                 current.attribute(width).toInt(), current.attribute(height).toInt());
}

QSizeF QXmlGet::getSizeF(const QSizeF &defaultValue) const
{
    const QString width = QStringLiteral("width");
    const QString height = QStringLiteral("height");
    if (!current.hasAttribute(width) || !current.hasAttribute(height))
        return defaultValue;
    return QSizeF(current.attribute(width).toDouble(), current.attribute(height).toDouble());
}

QPointF QXmlGet::getPointF(const QPointF &defaultValue) const
{
    const QString x = QStringLiteral("x");
    const QString y = QStringLiteral("y");
    if (!current.hasAttribute(x) || !current.hasAttribute(y))
        return defaultValue;
    return QPointF(current.attribute(x).toDouble(), current.attribute(y).toDouble());
}

QRectF QXmlGet::getRectF(const QRectF &defaultValue) const
{
    const QString left = QStringLiteral("left");
    const QString top = QStringLiteral("top");
    const QString width = QStringLiteral("width");
    const QString height = QStringLiteral("height");
    if (!current.hasAttribute(left) || !current.hasAttribute(top) || !current.hasAttribute(width) ||
        !current.hasAttribute(height))
        return defaultValue;
    return QRectF(current.attribute(left).toDouble(), current.attribute(top).toDouble(),
                  current.attribute(width).toDouble(), current.attribute(height).toDouble());
}

QBrush QXmlGet::getBrush(const QBrush &defaultValue) const
{
    QBrush brush = defaultValue;
    bool ok = false;
    if (current.hasAttribute(attrColor)) {
        const QColor color = strToColor(current.attribute(attrColor), &ok);
        if (ok)
            brush.setColor(color);
    }
    const QString styleName = QStringLiteral("brushstyle");
    if (current.hasAttribute(styleName)) {
        const int style = current.attribute(styleName).toInt(&ok);
        if (ok && validBrushStyle(style))
            brush.setStyle(Qt::BrushStyle(style));
    }
    return brush;
}

QPen QXmlGet::getPen(const QPen &defaultValue) const
{
    QPen pen = defaultValue;
    bool ok = false;
    if (current.hasAttribute(attrColor)) {
        const QColor color = strToColor(current.attribute(attrColor), &ok);
        if (ok)
            pen.setColor(color);
    }
    const QString styleName = QStringLiteral("penstyle");
    if (current.hasAttribute(styleName)) {
        const int style = current.attribute(styleName).toInt(&ok);
        if (ok && validPenStyle(style))
            pen.setStyle(Qt::PenStyle(style));
    }
    const QString widthName = QStringLiteral("width");
    if (current.hasAttribute(widthName)) {
        const double width = current.attribute(widthName).toDouble(&ok);
        if (ok && std::isfinite(width) && width >= 0.0)
            pen.setWidthF(width);
    }
    if (pen.style() == Qt::CustomDashLine) {
        bool patternSet = false;
        const QString patternName = QStringLiteral("dashpattern");
        if (current.hasAttribute(patternName)) {
            const QVector<double> pattern = strToDoubleVector(current.attribute(patternName), &ok);
            bool usable = ok && !pattern.isEmpty();
            for (double dash : pattern)
                usable = usable && std::isfinite(dash) && dash >= 0.0;
            if (usable) {
                pen.setDashPattern(pattern);
                patternSet = true;
            }
        }
        if (!patternSet) {
            pen.setStyle(defaultValue.style());
        } else {
            const QString offsetName = QStringLiteral("dashoffset");
            if (current.hasAttribute(offsetName)) {
                const double offset = current.attribute(offsetName).toDouble(&ok);
                if (ok && std::isfinite(offset))
                    pen.setDashOffset(offset);
            }
        }
    }
    const QString capName = QStringLiteral("capstyle");
    if (current.hasAttribute(capName)) {
        const int cap = current.attribute(capName).toInt(&ok);
        if (ok && validCapStyle(cap))
            pen.setCapStyle(Qt::PenCapStyle(cap));
    }
    const QString joinName = QStringLiteral("joinstyle");
    if (current.hasAttribute(joinName)) {
        const int join = current.attribute(joinName).toInt(&ok);
        if (ok && validJoinStyle(join))
            pen.setJoinStyle(Qt::PenJoinStyle(join));
    }
    const QString miterName = QStringLiteral("miterlimit");
    if (current.hasAttribute(miterName)) {
        const double limit = current.attribute(miterName).toDouble(&ok);
        if (ok && std::isfinite(limit))
            pen.setMiterLimit(limit);
    }
    return pen;
}

QByteArray QXmlGet::getByteArray(const QByteArray &defaultValue) const
{
    const int compression = getAttributeInt(QStringLiteral("compression"), 0);
    const QDomNode first = current.firstChild();
    if (!first.isCDATASection())
        return defaultValue;
    QByteArray base64 = first.nodeValue().toLatin1();
    base64.replace('\n', QByteArray());
    const QByteArray data = QByteArray::fromBase64(base64);
    if (compression <= 0)
        return data;
    // qCompress puts the uncompressed length first, big-endian. zlib cannot
    // inflate more than about 1032 times its input, so a larger claim is a
    // corrupt (or hostile) document: refuse it before allocating that much.
    if (data.size() < 4)
        return defaultValue;
    const quint32 claimed = (quint32(uchar(data.at(0))) << 24) | (quint32(uchar(data.at(1))) << 16) |
                            (quint32(uchar(data.at(2))) << 8) | quint32(uchar(data.at(3)));
    if (claimed == 0)
        return QByteArray();
    if (quint64(claimed) > quint64(data.size() - 4) * 1032u + 64u)
        return defaultValue;
    const QByteArray inflated = qUncompress(data);
    return inflated.isEmpty() ? defaultValue : inflated;
}

QImage QXmlGet::getImage(const QImage &defaultValue) const
{
    const QString formatName = QStringLiteral("format");
    if (!current.hasAttribute(formatName))
        return defaultValue;
    const QByteArray data = getByteArray();
    const QByteArray format = current.attribute(formatName).toLatin1();
    QImage image;
    if (data.isEmpty() || !image.loadFromData(data, format.constData()))
        return defaultValue;
    return image;
}

QStringList QXmlGet::getStringList(const QStringList &defaultValue) const
{
    if (current == parent)
        return defaultValue;
    QXmlGet list(*this);
    list.descend();
    QStringList items;
    while (list.findNext(QStringLiteral("li")))
        items << list.getString();
    return items;
}

QVector<int> QXmlGet::getIntVector(const QVector<int> &defaultValue) const
{
    QString text;
    if (!elementText(&text))
        return defaultValue;
    bool ok = false;
    const QVector<int> value = strToIntVector(text, &ok);
    return ok ? value : defaultValue;
}

QVector<double> QXmlGet::getDoubleVector(const QVector<double> &defaultValue) const
{
    QString text;
    if (!elementText(&text))
        return defaultValue;
    bool ok = false;
    const QVector<double> value = strToDoubleVector(text, &ok);
    return ok ? value : defaultValue;
}

QVector<bool> QXmlGet::getBoolVector(const QVector<bool> &defaultValue, int flags) const
{
    QString text;
    if (!elementText(&text))
        return defaultValue;
    bool ok = false;
    const QVector<bool> value = strToBoolVector(text, &ok, flags);
    return ok ? value : defaultValue;
}

QString QXmlGet::getAttributeString(const QString &name, const QString &defaultValue) const
{
    return current.hasAttribute(name) ? current.attribute(name) : defaultValue;
}

int QXmlGet::getAttributeInt(const QString &name, int defaultValue) const
{
    if (!current.hasAttribute(name))
        return defaultValue;
    bool ok = false;
    const int value = current.attribute(name).toInt(&ok, 10);
    return ok ? value : defaultValue;
}

double QXmlGet::getAttributeDouble(const QString &name, double defaultValue) const
{
    if (!current.hasAttribute(name))
        return defaultValue;
    bool ok = false;
    const double value = current.attribute(name).toDouble(&ok);
    return ok ? value : defaultValue;
}

bool QXmlGet::getAttributeBool(const QString &name, bool defaultValue, int flags) const
{
    if (!current.hasAttribute(name))
        return defaultValue;
    bool ok = false;
    const bool value = strToBool(current.attribute(name), &ok, flags);
    return ok ? value : defaultValue;
}

QColor QXmlGet::getAttributeColor(const QString &name, const QColor &defaultValue) const
{
    if (!current.hasAttribute(name))
        return defaultValue;
    bool ok = false;
    const QColor value = strToColor(current.attribute(name), &ok);
    return ok ? value : defaultValue;
}

QVector<int> QXmlGet::getAttributeIntVector(const QString &name, const QVector<int> &defaultValue) const
{
    if (!current.hasAttribute(name))
        return defaultValue;
    bool ok = false;
    const QVector<int> value = strToIntVector(current.attribute(name), &ok);
    return ok ? value : defaultValue;
}

QVector<double> QXmlGet::getAttributeDoubleVector(const QString &name,
                                                  const QVector<double> &defaultValue) const
{
    if (!current.hasAttribute(name))
        return defaultValue;
    bool ok = false;
    const QVector<double> value = strToDoubleVector(current.attribute(name), &ok);
    return ok ? value : defaultValue;
}

QVector<bool> QXmlGet::getAttributeBoolVector(const QString &name, const QVector<bool> &defaultValue,
                                              int flags) const
{
    if (!current.hasAttribute(name))
        return defaultValue;
    bool ok = false;
    const QVector<bool> value = strToBoolVector(current.attribute(name), &ok, flags);
    return ok ? value : defaultValue;
}

bool QXmlGet::strToBool(const QString &text, bool *ok, int flags)
{
    const QString word = text.toLower();
    struct Pair {
        int flag;
        QLatin1String yes;
        QLatin1String no;
    };
    static const Pair pairs[] = {
        {QXmlPutGet::bfYesNo, QLatin1String("yes"), QLatin1String("no")},
        {QXmlPutGet::bfTrueFalse, QLatin1String("true"), QLatin1String("false")},
        {QXmlPutGet::bfOneZero, QLatin1String("1"), QLatin1String("0")},
    };
    for (const Pair &pair : pairs) {
        if (!(flags & pair.flag))
            continue;
        if (word == pair.yes || word == pair.no) {
            if (ok)
                *ok = true;
            return word == pair.yes;
        }
    }
    if (ok)
        *ok = false;
    return false;
}

QColor QXmlGet::strToColor(const QString &text, bool *ok)
{
    QString name = text;
    int alpha = -1;   // 8-bit alpha from the 5- and 9-character forms
    int alpha16 = -1; // 16-bit alpha from the 17-character form
    bool alphaOk = true;
    if (text.startsWith(QLatin1Char('#'))) {
        const QStringView view(text);
        if (text.size() == 5) {
            int digit = 0;
            alphaOk = parseHex(view.mid(4, 1), &digit);
            alpha = digit * 255 / 15;
            name = text.left(4);
        } else if (text.size() == 9) {
            alphaOk = parseHex(view.mid(7, 2), &alpha);
            name = text.left(7);
        } else if (text.size() == 17) {
            alphaOk = parseHex(view.mid(13, 4), &alpha16);
            name = text.left(13);
        }
    }
    if (!alphaOk || !QColor::isValidColor(name)) {
        if (ok)
            *ok = false;
        return QColor();
    }
    QColor color(name);
    if (alpha >= 0 && alpha < 255)
        color.setAlpha(alpha);
    if (alpha16 >= 0 && alpha16 < 65535)
        color.setAlphaF(alpha16 / 65535.0);
    if (ok)
        *ok = true;
    return color;
}

QVector<int> QXmlGet::strToIntVector(const QString &text, bool *ok)
{
    const QStringList items = text.split(QLatin1Char(';'), Qt::KeepEmptyParts);
    QVector<int> values;
    values.reserve(items.size());
    for (const QString &item : items) {
        bool itemOk = false;
        const int value = item.toInt(&itemOk, 10);
        if (!itemOk) {
            if (ok)
                *ok = false;
            return QVector<int>();
        }
        values << value;
    }
    if (ok)
        *ok = true;
    return values;
}

QVector<double> QXmlGet::strToDoubleVector(const QString &text, bool *ok)
{
    const QStringList items = text.split(QLatin1Char(';'), Qt::KeepEmptyParts);
    QVector<double> values;
    values.reserve(items.size());
    for (const QString &item : items) {
        bool itemOk = false;
        const double value = item.toDouble(&itemOk);
        if (!itemOk) {
            if (ok)
                *ok = false;
            return QVector<double>();
        }
        values << value;
    }
    if (ok)
        *ok = true;
    return values;
}

QVector<bool> QXmlGet::strToBoolVector(const QString &text, bool *ok, int flags)
{
    const QStringList items = text.split(QLatin1Char(';'), Qt::KeepEmptyParts);
    QVector<bool> values;
    values.reserve(items.size());
    for (const QString &item : items) {
        bool itemOk = false;
        const bool value = strToBool(item, &itemOk, flags);
        if (!itemOk) {
            if (ok)
                *ok = false;
            return QVector<bool>();
        }
        values << value;
    }
    if (ok)
        *ok = true;
    return values;
}
