// Randomised round trips writer -> reader for every value type,
// three ways each: reading the tree being written, reading its text, and
// reading a saved file. Seeded; VELTO_SEED picks another seed.

#include "persistence/qxmlputget.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <limits>

using namespace QXmlPutGet;

namespace {

constexpr int valuesPerType = 300;

quint32 seed()
{
    bool ok = false;
    const quint32 fromEnvironment = qEnvironmentVariable("VELTO_SEED").toUInt(&ok);
    return ok ? fromEnvironment : 20240601u;
}

// What the writer keeps of a double: 6 significant digits.
double sixDigits(double value)
{
    return QString::number(value, 'g', 6).toDouble();
}

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

class Values
{
public:
    explicit Values(quint32 seed) : rng(seed) {}

    int integer(int low, int high) { return low + int(rng.bounded(quint32(high - low + 1))); }
    int anyInt() { return int(rng.generate()); }
    bool coin() { return rng.bounded(2) == 1; }

    double anyDouble()
    {
        const int kind = integer(0, 19);
        if (kind == 0)
            return 0.0;
        if (kind == 1)
            return double(anyInt());
        const double mantissa = rng.generateDouble() * 2.0 - 1.0;
        return mantissa * std::pow(10.0, integer(-40, 40));
    }

    // A double that survives the 6-digit text form exactly.
    double exactDouble(double low, double high)
    {
        return sixDigits(low + rng.generateDouble() * (high - low));
    }

    // Text that survives XML: no control characters but tab, line feed and (in
    // text nodes) carriage return; at least one character that is no white
    // space, since the parser drops text nodes of white space alone.
    QString text(bool forCdata)
    {
        static const QString pool = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ01234"
                                                   "56789 \t\n<>&\"';:,.!?/\\[]{}()=+-*#%$@^~`|"
                                                   "äöüßéèêçñøåæœ€£¥©µ中文字ひらがなカタカナ한글Ωπσ→∞");
        const int length = integer(1, 40);
        QString result;
        for (int i = 0; i < length; ++i) {
            const int pick = integer(0, 99);
            if (pick < 4)
                result += QStringLiteral("]]>");
            else if (pick < 6)
                result += QString::fromUcs4(U"\U0001D11E"); // a character outside the BMP
            else if (pick < 7 && !forCdata)
                result += QLatin1Char('\r');
            else
                result += pool.at(integer(0, pool.size() - 1));
        }
        if (result.trimmed().isEmpty())
            result += QLatin1Char('x');
        return result;
    }

    QColor colour() { return QColor(integer(0, 255), integer(0, 255), integer(0, 255), integer(0, 255)); }

    QFont font()
    {
        static const QStringList families{
            QStringLiteral("Liberation Sans"), QStringLiteral("Liberation Mono"), QStringLiteral("Cantarell"),
            QStringLiteral("Serif"), QStringLiteral("Some Family, With Comma-free name")};
        QFont font(families.at(integer(0, families.size() - 2)));
        if (coin())
            font.setPointSize(integer(1, 96));
        else
            font.setPixelSize(integer(1, 200));
        static const int weights[] = {QFont::Thin,     QFont::Light, QFont::Normal,
                                      QFont::DemiBold, QFont::Bold,  QFont::Black};
        font.setWeight(weights[integer(0, 5)]);
        font.setItalic(coin());
        font.setUnderline(coin());
        font.setStrikeOut(coin());
        font.setFixedPitch(coin());
        font.setStyleHint(QFont::StyleHint(integer(0, 6)));
        return font;
    }

    QPen pen()
    {
        QPen pen(colour());
        pen.setWidthF(exactDouble(0.0, 40.0));
        const int style = integer(0, 6);
        if (style == Qt::CustomDashLine) {
            QVector<qreal> pattern;
            const int pairs = integer(1, 4);
            for (int i = 0; i < 2 * pairs; ++i)
                pattern << exactDouble(0.5, 20.0);
            pen.setDashPattern(pattern);
            pen.setDashOffset(exactDouble(-10.0, 10.0));
        } else {
            pen.setStyle(Qt::PenStyle(style));
        }
        static const Qt::PenCapStyle caps[] = {Qt::FlatCap, Qt::SquareCap, Qt::RoundCap};
        static const Qt::PenJoinStyle joins[] = {Qt::MiterJoin, Qt::BevelJoin, Qt::RoundJoin,
                                                 Qt::SvgMiterJoin};
        pen.setCapStyle(caps[integer(0, 2)]);
        pen.setJoinStyle(joins[integer(0, 3)]);
        if (pen.joinStyle() == Qt::MiterJoin)
            pen.setMiterLimit(exactDouble(0.0, 10.0));
        return pen;
    }

    QByteArray bytes()
    {
        QByteArray data(integer(0, 1500), '\0');
        const bool repetitive = coin();
        for (char &b : data)
            b = repetitive ? char(integer(0, 3)) : char(rng.bounded(256));
        return data;
    }

    QImage image()
    {
        QImage image(integer(1, 24), integer(1, 24), QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, rng.generate());
        return image;
    }

    QRandomGenerator rng;
};

using Check = std::function<void(QXmlGet &, const char *how)>;

// Writes with `write` into a fresh document and checks it three ways.
void roundTrip(const std::function<void(QXmlPut &)> &write, const Check &check)
{
    QXmlPut put(QStringLiteral("values"));
    write(put);

    QXmlGet memory(put);
    memory.findReset();
    check(memory, "tree");

    QXmlGet text;
    QString message;
    QVERIFY2(text.fromString(put.toString(1), &message), qPrintable(message));
    check(text, "text");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("values.xml"));
    QVERIFY(put.save(path, 2));
    QXmlGet file;
    QVERIFY2(file.load(path, &message), qPrintable(message));
    check(file, "file");
}

// Reads every element "v" in order with `read` and compares with `expected`.
template <typename T, typename Read, typename Same>
void checkAll(QXmlGet &get, const char *how, const QVector<T> &expected, Read read, Same same)
{
    int index = 0;
    while (get.findNext(QStringLiteral("v"))) {
        QVERIFY2(index < expected.size(), how);
        const T value = read(get, index);
        if (!same(value, expected.at(index))) {
            QDomDocument element;
            element.appendChild(element.importNode(get.element(), true));
            QFAIL(qPrintable(QStringLiteral("%1: value %2 differs; written as %3")
                                 .arg(QLatin1String(how))
                                 .arg(index)
                                 .arg(element.toString(-1))));
        }
        ++index;
    }
    QCOMPARE(index, expected.size());
}

template <typename T> bool equal(const T &a, const T &b)
{
    return a == b;
}

} // namespace

class TestQXmlRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("seed %u (set VELTO_SEED to repeat another)", seed()); }

    void strings();
    void ints();
    void doubles();
    void bools();
    void datesAndTimes();
    void colours();
    void fonts();
    void sizesPointsRects();
    void realSizesPointsRects();
    void brushes();
    void pens();
    void byteArrays();
    void images();
    void stringLists();
    void vectors();
    void attributes();
    void nestedMixedDocument();
};

void TestQXmlRoundTrip::strings()
{
    Values values(seed());
    QVector<QString> expected;
    QVector<bool> cdata;
    for (int i = 0; i < valuesPerType; ++i) {
        cdata << values.coin();
        expected << values.text(cdata.last());
    }
    roundTrip(
        [&](QXmlPut &put) {
            for (int i = 0; i < expected.size(); ++i)
                put.putString(QStringLiteral("v"), expected.at(i), cdata.at(i));
        },
        [&](QXmlGet &get, const char *how) {
            checkAll(
                get, how, expected, [](QXmlGet &g, int) { return g.getString(QStringLiteral("DEFAULT")); },
                equal<QString>);
        });
}

void TestQXmlRoundTrip::ints()
{
    Values values(seed() + 1);
    QVector<int> expected{0, 1, -1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    while (expected.size() < valuesPerType)
        expected << values.anyInt();
    roundTrip(
        [&](QXmlPut &put) {
            for (int v : expected)
                put.putInt(QStringLiteral("v"), v);
        },
        [&](QXmlGet &get, const char *how) {
            checkAll(
                get, how, expected, [](QXmlGet &g, int i) { return g.getInt(i % 2 ? 17 : -17); }, equal<int>);
        });
}

void TestQXmlRoundTrip::doubles()
{
    Values values(seed() + 2);
    QVector<double> written{0.0, -0.0, 1.0, 3.14159265, 1e-300, -1e300, std::numeric_limits<double>::max()};
    while (written.size() < valuesPerType)
        written << values.anyDouble();
    QVector<double> expected;
    for (double v : written)
        expected << sixDigits(v);
    roundTrip(
        [&](QXmlPut &put) {
            for (double v : written)
                put.putDouble(QStringLiteral("v"), v);
        },
        [&](QXmlGet &get, const char *how) {
            checkAll(
                get, how, expected, [](QXmlGet &g, int) { return g.getDouble(-12345.0); }, equal<double>);
        });
}

void TestQXmlRoundTrip::bools()
{
    Values values(seed() + 3);
    QVector<bool> expected;
    QVector<BoolFormat> formats;
    static const BoolFormat all[] = {bfYesNo, bfTrueFalse, bfOneZero};
    for (int i = 0; i < valuesPerType; ++i) {
        expected << values.coin();
        formats << all[values.integer(0, 2)];
    }
    roundTrip(
        [&](QXmlPut &put) {
            for (int i = 0; i < expected.size(); ++i)
                put.putBool(QStringLiteral("v"), expected.at(i), formats.at(i));
        },
        [&](QXmlGet &get, const char *how) {
            // The default is the opposite value, so a fallback cannot pass for a read.
            checkAll(
                get, how, expected,
                [&](QXmlGet &g, int i) { return g.getBool(!expected.at(i), formats.at(i)); }, equal<bool>);
        });
}

void TestQXmlRoundTrip::datesAndTimes()
{
    Values values(seed() + 4);
    QVector<QDate> dates;
    QVector<QTime> times;
    QVector<QDateTime> stamps;
    const qint64 first = QDate(1, 1, 1).toJulianDay();
    const qint64 last = QDate(9999, 12, 31).toJulianDay();
    for (int i = 0; i < valuesPerType; ++i) {
        const QDate date = QDate::fromJulianDay(first + qint64(values.rng.bounded(double(last - first))));
        const QTime time(values.integer(0, 23), values.integer(0, 59), values.integer(0, 59));
        dates << date;
        times << time;
        const QDate near = QDate::fromJulianDay(QDate(1970, 1, 1).toJulianDay() + values.integer(0, 40000));
        if (values.coin())
            stamps << QDateTime(near, time, Qt::UTC);
        else
            stamps << QDateTime(near, time, Qt::OffsetFromUTC, 60 * values.integer(-14 * 60, 14 * 60));
    }
    roundTrip(
        [&](QXmlPut &put) {
            for (int i = 0; i < valuesPerType; ++i) {
                put.putDate(QStringLiteral("v"), dates.at(i));
                put.putTime(QStringLiteral("v"), times.at(i));
                put.putDateTime(QStringLiteral("v"), stamps.at(i));
            }
        },
        [&](QXmlGet &get, const char *how) {
            int i = 0;
            while (get.findNext(QStringLiteral("v"))) {
                QCOMPARE(get.getDate(), dates.at(i));
                QVERIFY(get.findNext(QStringLiteral("v")));
                QCOMPARE(get.getTime(), times.at(i));
                QVERIFY(get.findNext(QStringLiteral("v")));
                const QDateTime read = get.getDateTime();
                QCOMPARE(read, stamps.at(i));
                QCOMPARE(read.offsetFromUtc(), stamps.at(i).offsetFromUtc());
                ++i;
            }
            QVERIFY2(i == valuesPerType, how);
        });
}

void TestQXmlRoundTrip::colours()
{
    Values values(seed() + 5);
    QVector<QColor> expected{QColor(255, 0, 0, 128), QColor(Qt::red), QColor(0, 0, 0, 0)};
    while (expected.size() < valuesPerType)
        expected << values.colour();
    roundTrip(
        [&](QXmlPut &put) {
            for (const QColor &c : expected)
                put.putColor(QStringLiteral("v"), c);
        },
        [&](QXmlGet &get, const char *how) {
            checkAll(
                get, how, expected, [](QXmlGet &g, int) { return g.getColor(QColor(1, 2, 3, 4)); },
                equal<QColor>);
        });
    // Every written colour text also parses on its own.
    for (const QColor &c : expected) {
        bool ok = false;
        QCOMPARE(QXmlGet::strToColor(QXmlPut::colorToStr(c), &ok), c);
        QVERIFY(ok);
    }
}

void TestQXmlRoundTrip::fonts()
{
    Values values(seed() + 6);
    QVector<QFont> expected;
    for (int i = 0; i < valuesPerType; ++i)
        expected << values.font();
    roundTrip(
        [&](QXmlPut &put) {
            for (const QFont &f : expected)
                put.putFont(QStringLiteral("v"), f);
        },
        [&](QXmlGet &get, const char *how) {
            checkAll(
                get, how, expected,
                [](QXmlGet &g, int) { return g.getFont(QFont(QStringLiteral("Nothing"))); },
                // The description string is what the encoding carries.
                [](const QFont &a, const QFont &b) {
                    return a.toString() == b.toString() && a.family() == b.family() &&
                           a.pointSizeF() == b.pointSizeF() && a.pixelSize() == b.pixelSize() &&
                           a.weight() == b.weight() && a.italic() == b.italic() &&
                           a.underline() == b.underline() && a.strikeOut() == b.strikeOut() &&
                           a.fixedPitch() == b.fixedPitch() && a.styleHint() == b.styleHint();
                });
        });
}

void TestQXmlRoundTrip::sizesPointsRects()
{
    Values values(seed() + 7);
    QVector<QSize> sizes;
    QVector<QPoint> points;
    QVector<QRect> rects;
    const int big = 1000000;
    for (int i = 0; i < valuesPerType; ++i) {
        sizes << QSize(values.integer(-big, big), values.integer(-big, big));
        points << QPoint(values.anyInt(), values.anyInt());
        rects << QRect(values.integer(-big, big), values.integer(-big, big), values.integer(-big, big),
                       values.integer(-big, big));
    }
    roundTrip(
        [&](QXmlPut &put) {
            for (int i = 0; i < valuesPerType; ++i) {
                put.putSize(QStringLiteral("v"), sizes.at(i));
                put.putPoint(QStringLiteral("v"), points.at(i));
                put.putRect(QStringLiteral("v"), rects.at(i));
            }
        },
        [&](QXmlGet &get, const char *how) {
            int i = 0;
            while (get.findNext(QStringLiteral("v"))) {
                QCOMPARE(get.getSize(QSize(-7, -7)), sizes.at(i));
                QVERIFY(get.findNext(QStringLiteral("v")));
                QCOMPARE(get.getPoint(QPoint(-7, -7)), points.at(i));
                QVERIFY(get.findNext(QStringLiteral("v")));
                const QRect read = get.getRect(QRect(-7, -7, 1, 1));
                QCOMPARE(read, rects.at(i));
                QCOMPARE(read.right(), rects.at(i).right());
                QCOMPARE(read.bottom(), rects.at(i).bottom());
                ++i;
            }
            QVERIFY2(i == valuesPerType, how);
        });
}

void TestQXmlRoundTrip::realSizesPointsRects()
{
    Values values(seed() + 8);
    QVector<QSizeF> written;
    QVector<QPointF> points;
    QVector<QRectF> rects;
    for (int i = 0; i < valuesPerType; ++i) {
        written << QSizeF(values.anyDouble(), values.anyDouble());
        points << QPointF(values.anyDouble(), values.anyDouble());
        rects << QRectF(values.anyDouble(), values.anyDouble(), values.anyDouble(), values.anyDouble());
    }
    roundTrip(
        [&](QXmlPut &put) {
            for (int i = 0; i < valuesPerType; ++i) {
                put.putSizeF(QStringLiteral("v"), written.at(i));
                put.putPointF(QStringLiteral("v"), points.at(i));
                put.putRectF(QStringLiteral("v"), rects.at(i));
            }
        },
        [&](QXmlGet &get, const char *how) {
            int i = 0;
            while (get.findNext(QStringLiteral("v"))) {
                const QSizeF s = get.getSizeF();
                QCOMPARE(s.width(), sixDigits(written.at(i).width()));
                QCOMPARE(s.height(), sixDigits(written.at(i).height()));
                QVERIFY(get.findNext(QStringLiteral("v")));
                const QPointF p = get.getPointF();
                QCOMPARE(p.x(), sixDigits(points.at(i).x()));
                QCOMPARE(p.y(), sixDigits(points.at(i).y()));
                QVERIFY(get.findNext(QStringLiteral("v")));
                const QRectF r = get.getRectF();
                QCOMPARE(r.left(), sixDigits(rects.at(i).left()));
                QCOMPARE(r.top(), sixDigits(rects.at(i).top()));
                QCOMPARE(r.width(), sixDigits(rects.at(i).width()));
                QCOMPARE(r.height(), sixDigits(rects.at(i).height()));
                ++i;
            }
            QVERIFY2(i == valuesPerType, how);
        });
}

void TestQXmlRoundTrip::brushes()
{
    Values values(seed() + 9);
    QVector<QBrush> expected;
    for (int i = 0; i < valuesPerType; ++i)
        expected << QBrush(values.colour(), Qt::BrushStyle(values.integer(0, Qt::DiagCrossPattern)));
    roundTrip(
        [&](QXmlPut &put) {
            for (const QBrush &b : expected)
                put.putBrush(QStringLiteral("v"), b);
        },
        [&](QXmlGet &get, const char *how) {
            checkAll(
                get, how, expected, [](QXmlGet &g, int) { return g.getBrush(QBrush(Qt::darkCyan)); },
                equal<QBrush>);
        });
}

void TestQXmlRoundTrip::pens()
{
    Values values(seed() + 10);
    QVector<QPen> expected{QPen()};
    while (expected.size() < valuesPerType)
        expected << values.pen();
    roundTrip(
        [&](QXmlPut &put) {
            for (const QPen &p : expected)
                put.putPen(QStringLiteral("v"), p);
        },
        [&](QXmlGet &get, const char *how) {
            checkAll(
                get, how, expected, [](QXmlGet &g, int) { return g.getPen(); },
                [](const QPen &a, const QPen &b) { return penFields(a) == penFields(b); });
        });
}

void TestQXmlRoundTrip::byteArrays()
{
    Values values(seed() + 11);
    QVector<QByteArray> expected;
    QVector<int> widths;
    QVector<int> compressions;
    static const int widthChoices[] = {-5, 0, 1, 3, 64, 76, 100000};
    for (int i = 0; i < valuesPerType; ++i) {
        expected << values.bytes();
        widths << widthChoices[values.integer(0, 6)];
        compressions << values.integer(-2, 12);
    }
    roundTrip(
        [&](QXmlPut &put) {
            for (int i = 0; i < expected.size(); ++i)
                put.putByteArray(QStringLiteral("v"), expected.at(i), widths.at(i), compressions.at(i));
        },
        [&](QXmlGet &get, const char *how) {
            checkAll(
                get, how, expected, [](QXmlGet &g, int) { return g.getByteArray(QByteArray("DEFAULT")); },
                equal<QByteArray>);
        });
}

void TestQXmlRoundTrip::images()
{
    Values values(seed() + 12);
    QVector<QImage> expected;
    QVector<QString> formats;
    static const char *lossless[] = {"PNG", "png", "BMP", "ppm"};
    for (int i = 0; i < 40; ++i) {
        formats << QLatin1String(lossless[values.integer(0, 3)]);
        QImage image = values.image();
        // Formats without alpha keep the colours only.
        if (formats.last().compare(QLatin1String("png"), Qt::CaseInsensitive) != 0)
            image = image.convertToFormat(QImage::Format_RGB32);
        expected << image;
    }
    roundTrip(
        [&](QXmlPut &put) {
            for (int i = 0; i < expected.size(); ++i)
                put.putImage(QStringLiteral("v"), expected.at(i), formats.at(i), values.integer(-1, 90));
        },
        [&](QXmlGet &get, const char *how) {
            checkAll(
                get, how, expected,
                [&](QXmlGet &g, int i) { return g.getImage().convertToFormat(expected.at(i).format()); },
                equal<QImage>);
        });
}

void TestQXmlRoundTrip::stringLists()
{
    Values values(seed() + 13);
    QVector<QStringList> expected;
    QVector<bool> cdata;
    for (int i = 0; i < valuesPerType; ++i) {
        cdata << values.coin();
        QStringList list;
        const int count = values.integer(0, 8);
        for (int j = 0; j < count; ++j)
            list << values.text(cdata.last());
        expected << list;
    }
    roundTrip(
        [&](QXmlPut &put) {
            for (int i = 0; i < expected.size(); ++i)
                put.putStringList(QStringLiteral("v"), expected.at(i), cdata.at(i));
        },
        [&](QXmlGet &get, const char *how) {
            checkAll(
                get, how, expected,
                [](QXmlGet &g, int) { return g.getStringList({QStringLiteral("DEFAULT")}); },
                equal<QStringList>);
        });
}

void TestQXmlRoundTrip::vectors()
{
    Values values(seed() + 14);
    QVector<QVector<int>> ints;
    QVector<QVector<double>> doubles;
    QVector<QVector<bool>> bools;
    QVector<BoolFormat> formats;
    static const BoolFormat all[] = {bfYesNo, bfTrueFalse, bfOneZero};
    for (int i = 0; i < valuesPerType; ++i) {
        QVector<int> iv;
        QVector<double> dv;
        QVector<bool> bv;
        const int count = values.integer(1, 20);
        for (int j = 0; j < count; ++j) {
            iv << values.anyInt();
            dv << values.anyDouble();
            bv << values.coin();
        }
        ints << iv;
        doubles << dv;
        bools << bv;
        formats << all[values.integer(0, 2)];
    }
    roundTrip(
        [&](QXmlPut &put) {
            for (int i = 0; i < valuesPerType; ++i) {
                put.putIntVector(QStringLiteral("v"), ints.at(i));
                put.putDoubleVector(QStringLiteral("v"), doubles.at(i));
                put.putBoolVector(QStringLiteral("v"), bools.at(i), formats.at(i));
            }
        },
        [&](QXmlGet &get, const char *how) {
            int i = 0;
            while (get.findNext(QStringLiteral("v"))) {
                QCOMPARE(get.getIntVector({-1}), ints.at(i));
                QVERIFY(get.findNext(QStringLiteral("v")));
                const QVector<double> read = get.getDoubleVector({-1.0});
                QCOMPARE(read.size(), doubles.at(i).size());
                for (int j = 0; j < read.size(); ++j)
                    QCOMPARE(read.at(j), sixDigits(doubles.at(i).at(j)));
                QVERIFY(get.findNext(QStringLiteral("v")));
                QCOMPARE(get.getBoolVector({}, formats.at(i)), bools.at(i));
                ++i;
            }
            QVERIFY2(i == valuesPerType, how);
        });
}

void TestQXmlRoundTrip::attributes()
{
    Values values(seed() + 15);
    struct Row {
        QString s;
        int i;
        double d;
        bool b;
        BoolFormat f;
        QColor c;
        QVector<int> iv;
        QVector<double> dv;
        QVector<bool> bv;
    };
    QVector<Row> rows;
    static const BoolFormat all[] = {bfYesNo, bfTrueFalse, bfOneZero};
    for (int n = 0; n < valuesPerType; ++n) {
        Row row;
        // Attributes keep any text, white space and empty included.
        const int kind = values.integer(0, 9);
        row.s = kind == 0 ? QString() : kind == 1 ? QStringLiteral(" \t\n ") : values.text(false);
        row.i = values.anyInt();
        row.d = values.anyDouble();
        row.b = values.coin();
        row.f = all[values.integer(0, 2)];
        row.c = values.colour();
        for (int j = values.integer(1, 10); j > 0; --j) {
            row.iv << values.anyInt();
            row.dv << values.anyDouble();
            row.bv << values.coin();
        }
        rows << row;
    }
    roundTrip(
        [&](QXmlPut &put) {
            for (const Row &row : rows) {
                put.putSingleTag(QStringLiteral("v"));
                put.setAttributeString(QStringLiteral("s"), row.s);
                put.setAttributeInt(QStringLiteral("i"), row.i);
                put.setAttributeDouble(QStringLiteral("d"), row.d);
                put.setAttributeBool(QStringLiteral("b"), row.b, row.f);
                put.setAttributeColor(QStringLiteral("c"), row.c);
                put.setAttributeIntVector(QStringLiteral("iv"), row.iv);
                put.setAttributeDoubleVector(QStringLiteral("dv"), row.dv);
                put.setAttributeBoolVector(QStringLiteral("bv"), row.bv, row.f);
            }
        },
        [&](QXmlGet &get, const char *how) {
            int n = 0;
            while (get.findNext(QStringLiteral("v"))) {
                const Row &row = rows.at(n);
                QCOMPARE(get.getAttributeString(QStringLiteral("s"), QStringLiteral("DEFAULT")), row.s);
                QCOMPARE(get.getAttributeInt(QStringLiteral("i"), row.i ^ 1), row.i);
                QCOMPARE(get.getAttributeDouble(QStringLiteral("d"), -1.0), sixDigits(row.d));
                QCOMPARE(get.getAttributeBool(QStringLiteral("b"), !row.b, row.f), row.b);
                QCOMPARE(get.getAttributeColor(QStringLiteral("c")), row.c);
                QCOMPARE(get.getAttributeIntVector(QStringLiteral("iv")), row.iv);
                const QVector<double> dv = get.getAttributeDoubleVector(QStringLiteral("dv"));
                QCOMPARE(dv.size(), row.dv.size());
                for (int j = 0; j < dv.size(); ++j)
                    QCOMPARE(dv.at(j), sixDigits(row.dv.at(j)));
                QCOMPARE(get.getAttributeBoolVector(QStringLiteral("bv"), {}, row.f), row.bv);
                ++n;
            }
            QVERIFY2(n == valuesPerType, how);
        });
}

void TestQXmlRoundTrip::nestedMixedDocument()
{
    // Groups within groups, written through restricted and descended copies,
    // read back with the cursor operations.
    Values values(seed() + 16);
    struct Item {
        int depth;
        int number;
        QString text;
    };
    QVector<Item> items;
    for (int i = 0; i < 200; ++i)
        items << Item{values.integer(1, 6), values.anyInt(), values.text(values.coin())};
    roundTrip(
        [&](QXmlPut &put) {
            for (const Item &item : items) {
                QXmlPut group = put.descended(QStringLiteral("g"));
                for (int d = 1; d < item.depth; ++d)
                    group.descend(QStringLiteral("g"));
                group.putInt(QStringLiteral("n"), item.number);
                group.putString(QStringLiteral("t"), item.text, true);
                for (int d = 1; d < item.depth; ++d)
                    QVERIFY(group.rise());
            }
        },
        [&](QXmlGet &get, const char *how) {
            int i = 0;
            while (get.findNext(QStringLiteral("g"))) {
                const Item &item = items.at(i);
                QXmlGet inner = get.descended();
                int depth = 1;
                while (inner.findAndDescend(QStringLiteral("g")))
                    ++depth;
                QCOMPARE(depth, item.depth);
                QVERIFY(inner.find(QStringLiteral("n")));
                QCOMPARE(inner.getInt(), item.number);
                QVERIFY(inner.find(QStringLiteral("t")));
                QCOMPARE(inner.getString(), item.text);
                QCOMPARE(get.childCount(QStringLiteral("g")), item.depth - 1);
                ++i;
            }
            QVERIFY2(i == items.size(), how);
        });
}

QTEST_MAIN(TestQXmlRoundTrip)
#include "tst_qxmlroundtrip.moc"
