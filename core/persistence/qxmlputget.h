// SPDX-License-Identifier: GPL-3.0-only
#pragma once

// QXmlPut writes and QXmlGet reads XML documents element by element, with a
// cursor, in one shared set of value encodings. Nothing here
// throws: misuse and malformed input give one debug log line, made of the
// operation's full signature and the message, plus `false` or the caller's
// default.
//
// Choices of our own where the format leaves them open:
// - Default arguments: bool format bfYesNo for writing; the reader accepts
//   every word pair (bfAll) unless told otherwise; indent 2; no CDATA; line
//   width 76 (the MIME line) and no compression for byte arrays; "PNG" and
//   line width 76 for images; defaults of the getters are the types' own
//   empty values.
// - A line width below 1 writes the Base64 text as one unbroken line (still
//   ended by one line feed); it never loops.
// - Colour text of 17 characters is read as "#rrrrggggbbbbaaaa": the
//   toolkit's 16-bit-per-component name (13 characters) followed by a
//   four-digit alpha, scaled by 255 / 65535 (kept at full 16-bit precision).
//   That is the only even split of 16 hex digits into four components; the
//   12-bit form with a three-digit alpha would be 13 characters, which the
//   toolkit already reads as the 16-bit form without alpha. Nothing writes it.
// - A parse error of load/fromString also logs one line with the position.
// - Documents that could nest deeper than maximumDepth elements are refused
//   before the DOM sees them: the toolkit's DOM builds, copies and saves
//   trees recursively and overflows the stack on a few thousand levels. The
//   possible start tags of the internal DTD subset count too, since entity
//   values expand in place and the parser does not bound a literal value.
// - Element values read back through a file lose what XML itself drops: a
//   string that is empty or only white space reads as the default, and text
//   of a CDATA section has its line ends normalised.

#include <QBrush>
#include <QByteArray>
#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QDomDocument>
#include <QDomElement>
#include <QFont>
#include <QImage>
#include <QPen>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVector>

namespace QXmlPutGet {
enum BoolFormat { bfYesNo = 1, bfTrueFalse = 2, bfOneZero = 4 };
// Every word pair at once: the reader's default flags.
constexpr int bfAll = bfYesNo | bfTrueFalse | bfOneZero;
} // namespace QXmlPutGet

class QXmlGet;

class QXmlPut
{
public:
    explicit QXmlPut(const QString &rootTag);
    QXmlPut(const QString &rootTag, const QString &xmlVersion, const QString &encoding, bool standalone,
            const QString &docType = QString(), const QString &publicId = QString(),
            const QString &systemId = QString());
    explicit QXmlPut(const QXmlGet &reader);

    QString toString(int indent = 2) const;
    bool save(const QString &fileName, int indent = 2) const;

    // Cursor.
    void descend(const QString &name);
    bool rise();
    bool goTo(const QDomElement &element);
    QXmlPut restricted() const;
    QXmlPut descended(const QString &name);

    // Elements: each appends a child to the current parent and makes it the current element.
    void putComment(const QString &text);
    void putSingleTag(const QString &name);
    void putString(const QString &name, const QString &value, bool asCDATA = false);
    void putInt(const QString &name, int value);
    void putDouble(const QString &name, double value);
    void putBool(const QString &name, bool value, QXmlPutGet::BoolFormat format = QXmlPutGet::bfYesNo);
    void putDate(const QString &name, const QDate &value);
    void putTime(const QString &name, const QTime &value);
    void putDateTime(const QString &name, const QDateTime &value);
    void putColor(const QString &name, const QColor &value);
    void putFont(const QString &name, const QFont &value);
    void putSize(const QString &name, const QSize &value);
    void putPoint(const QString &name, const QPoint &value);
    void putRect(const QString &name, const QRect &value);
    void putSizeF(const QString &name, const QSizeF &value);
    void putPointF(const QString &name, const QPointF &value);
    void putRectF(const QString &name, const QRectF &value);
    void putBrush(const QString &name, const QBrush &value);
    void putPen(const QString &name, const QPen &value);
    void putByteArray(const QString &name, const QByteArray &value, int lineWidth = 76, int compression = 0);
    void putImage(const QString &name, const QImage &value, const QString &format = QStringLiteral("PNG"),
                  int lineWidth = 76);
    void putStringList(const QString &name, const QStringList &value, bool asCDATA = false);
    void putIntVector(const QString &name, const QVector<int> &value);
    void putDoubleVector(const QString &name, const QVector<double> &value);
    void putBoolVector(const QString &name, const QVector<bool> &value,
                       QXmlPutGet::BoolFormat format = QXmlPutGet::bfYesNo);

    // Attributes of the current element.
    void setAttributeString(const QString &name, const QString &value);
    void setAttributeInt(const QString &name, int value);
    void setAttributeDouble(const QString &name, double value);
    void setAttributeBool(const QString &name, bool value,
                          QXmlPutGet::BoolFormat format = QXmlPutGet::bfYesNo);
    void setAttributeColor(const QString &name, const QColor &value);
    void setAttributeIntVector(const QString &name, const QVector<int> &value);
    void setAttributeDoubleVector(const QString &name, const QVector<double> &value);
    void setAttributeBoolVector(const QString &name, const QVector<bool> &value,
                                QXmlPutGet::BoolFormat format = QXmlPutGet::bfYesNo);

    static QString boolToStr(bool value, QXmlPutGet::BoolFormat format = QXmlPutGet::bfYesNo);
    static QString colorToStr(const QColor &color);
    static QString intVectorToStr(const QVector<int> &value);
    static QString doubleVectorToStr(const QVector<double> &value);
    static QString boolVectorToStr(const QVector<bool> &value,
                                   QXmlPutGet::BoolFormat format = QXmlPutGet::bfYesNo);

    // The state, for goTo() and for tests.
    QDomDocument document() const { return doc; }
    QDomElement element() const { return current; }
    QDomElement parentElement() const { return parent; }
    QDomElement barrierElement() const { return barrier; }
    QString declarationTarget() const { return xmlTarget; }
    QString xmlVersion() const { return version; }
    QString encoding() const { return xmlEncoding; }
    bool standalone() const { return isStandalone; }

private:
    friend class QXmlGet;
    void createDocument(const QString &rootTag, const QString &xmlVersion, const QString &encoding,
                        bool standalone, const QString &docType, const QString &publicId,
                        const QString &systemId);
    QDomElement appendElement(const QString &name);
    void appendText(QDomElement &element, const QString &value, bool asCDATA);

    QDomDocument doc;
    QDomElement barrier;
    QDomElement parent;
    QDomElement current;
    QString xmlTarget;
    QString version;
    QString xmlEncoding;
    bool isStandalone = false;
};

class QXmlGet
{
public:
    // Documents nested deeper than this many start tags are refused by load(), fromString() and fromData().
    static constexpr int maximumDepth = 256;

    QXmlGet();
    explicit QXmlGet(const QDomDocument &document);
    explicit QXmlGet(const QXmlPut &writer);

    bool load(const QString &fileName, QString *errorMessage = nullptr, int *errorLine = nullptr,
              int *errorColumn = nullptr);
    bool fromString(const QString &text, QString *errorMessage = nullptr, int *errorLine = nullptr,
                    int *errorColumn = nullptr);
    // The bytes of a document, read as load() reads a file's: in the encoding
    // they declare or show.
    bool fromData(const QByteArray &data, QString *errorMessage = nullptr, int *errorLine = nullptr,
                  int *errorColumn = nullptr);

    QString docType() const;
    QString publicId() const;
    QString systemId() const;

    // Cursor.
    bool find(const QString &name);
    bool findNext(const QString &name = QString());
    void findReset();
    bool findAndDescend(const QString &name);
    bool findNextAndDescend(const QString &name = QString());
    void descend();
    bool rise();
    bool goTo(const QDomElement &element);
    QXmlGet restricted() const;
    QXmlGet descended() const;

    int childCount(const QString &name = QString()) const;
    bool hasChildren() const;
    QString tagName() const;
    bool hasAttribute(const QString &name) const;

    // Element values of the current element.
    QString getString(const QString &defaultValue = QString()) const;
    int getInt(int defaultValue = 0) const;
    double getDouble(double defaultValue = 0.0) const;
    bool getBool(bool defaultValue = false, int flags = QXmlPutGet::bfAll) const;
    QDate getDate(const QDate &defaultValue = QDate()) const;
    QTime getTime(const QTime &defaultValue = QTime()) const;
    QDateTime getDateTime(const QDateTime &defaultValue = QDateTime()) const;
    QColor getColor(const QColor &defaultValue = QColor()) const;
    QFont getFont(const QFont &defaultValue = QFont()) const;
    QSize getSize(const QSize &defaultValue = QSize()) const;
    QPoint getPoint(const QPoint &defaultValue = QPoint()) const;
    QRect getRect(const QRect &defaultValue = QRect()) const;
    QSizeF getSizeF(const QSizeF &defaultValue = QSizeF()) const;
    QPointF getPointF(const QPointF &defaultValue = QPointF()) const;
    QRectF getRectF(const QRectF &defaultValue = QRectF()) const;
    QBrush getBrush(const QBrush &defaultValue = QBrush()) const;
    QPen getPen(const QPen &defaultValue = QPen()) const;
    QByteArray getByteArray(const QByteArray &defaultValue = QByteArray()) const;
    QImage getImage(const QImage &defaultValue = QImage()) const;
    QStringList getStringList(const QStringList &defaultValue = QStringList()) const;
    QVector<int> getIntVector(const QVector<int> &defaultValue = QVector<int>()) const;
    QVector<double> getDoubleVector(const QVector<double> &defaultValue = QVector<double>()) const;
    QVector<bool> getBoolVector(const QVector<bool> &defaultValue = QVector<bool>(),
                                int flags = QXmlPutGet::bfAll) const;

    // Attribute values of the current element.
    QString getAttributeString(const QString &name, const QString &defaultValue = QString()) const;
    int getAttributeInt(const QString &name, int defaultValue = 0) const;
    double getAttributeDouble(const QString &name, double defaultValue = 0.0) const;
    bool getAttributeBool(const QString &name, bool defaultValue = false,
                          int flags = QXmlPutGet::bfAll) const;
    QColor getAttributeColor(const QString &name, const QColor &defaultValue = QColor()) const;
    QVector<int> getAttributeIntVector(const QString &name,
                                       const QVector<int> &defaultValue = QVector<int>()) const;
    QVector<double> getAttributeDoubleVector(const QString &name,
                                             const QVector<double> &defaultValue = QVector<double>()) const;
    QVector<bool> getAttributeBoolVector(const QString &name,
                                         const QVector<bool> &defaultValue = QVector<bool>(),
                                         int flags = QXmlPutGet::bfAll) const;

    static bool strToBool(const QString &text, bool *ok = nullptr, int flags = QXmlPutGet::bfAll);
    static QColor strToColor(const QString &text, bool *ok = nullptr);
    static QVector<int> strToIntVector(const QString &text, bool *ok = nullptr);
    static QVector<double> strToDoubleVector(const QString &text, bool *ok = nullptr);
    static QVector<bool> strToBoolVector(const QString &text, bool *ok = nullptr,
                                         int flags = QXmlPutGet::bfAll);

    // The state, for goTo() and for tests.
    QDomDocument document() const { return doc; }
    QDomElement element() const { return current; }
    QDomElement parentElement() const { return parent; }
    QDomElement barrierElement() const { return barrier; }
    QString declarationTarget() const { return xmlTarget; }
    QString xmlVersion() const { return version; }
    QString encoding() const { return xmlEncoding; }
    bool standalone() const { return isStandalone; }

private:
    friend class QXmlPut;
    bool elementText(QString *text) const;

    QDomDocument doc;
    QDomElement barrier;
    QDomElement parent;
    QDomElement current;
    QString xmlTarget;
    QString version;
    QString xmlEncoding;
    bool isStandalone = false;
};
