// SPDX-License-Identifier: GPL-3.0-only
// Draws the icons of resources/widgets.qrc. The PNG files are committed; run
// this again after changing a shape:
//   g++ -std=c++17 -fPIC drawicons.cpp -o /tmp/drawicons $(pkg-config --cflags --libs Qt5Gui)
//   QT_QPA_PLATFORM=offscreen /tmp/drawicons <resources/icons>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

static QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

static void save(const QImage &image, const QString &dir, const QString &name)
{
    image.save(dir + QLatin1Char('/') + name, "PNG");
}

// A filled triangle pointing up (over range) or down (under range) in a warm red.
static QImage rangeArrow(int size, bool up)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double m = size * 0.12;
    QPainterPath path;
    if (up) {
        path.moveTo(size / 2.0, m);
        path.lineTo(size - m, size - m);
        path.lineTo(m, size - m);
    } else {
        path.moveTo(m, m);
        path.lineTo(size - m, m);
        path.lineTo(size / 2.0, size - m);
    }
    path.closeSubpath();
    p.setPen(QPen(QColor(150, 30, 30), qMax(1.0, size / 16.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(215, 50, 40));
    p.drawPath(path);
    return image;
}

// A green dot: the reading is inside the measuring range.
static QImage rangeIn(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 120, 60), size / 16.0));
    p.setBrush(QColor(95, 186, 125));
    const double r = size * 0.26;
    p.drawEllipse(QPointF(size / 2.0, size / 2.0), r, r);
    return image;
}

static void frame(QPainter &p, int size, const QColor &fill)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 70, 80), size / 24.0));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(size * 0.06, size * 0.12, size * 0.88, size * 0.76), size * 0.08, size * 0.08);
}

static QImage itemOscilloscope(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    frame(p, size, QColor(30, 40, 48));
    p.setPen(QPen(QColor(90, 110, 120), size / 48.0, Qt::DotLine));
    for (int i = 1; i < 4; ++i)
        p.drawLine(QPointF(size * (0.06 + 0.22 * i), size * 0.14), QPointF(size * (0.06 + 0.22 * i), size * 0.86));
    p.drawLine(QPointF(size * 0.08, size * 0.5), QPointF(size * 0.92, size * 0.5));
    QPainterPath wave;
    for (int x = 0; x <= 100; ++x) {
        const double fx = size * (0.1 + 0.8 * x / 100.0);
        const double fy = size * (0.5 - 0.25 * std::sin(x / 100.0 * 2 * 3.14159265 * 1.5));
        if (x == 0)
            wave.moveTo(fx, fy);
        else
            wave.lineTo(fx, fy);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(250, 220, 60), size / 16.0));
    p.drawPath(wave);
    return image;
}

static QImage itemMultimeter(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    frame(p, size, QColor(250, 250, 250));
    QFont font(QStringLiteral("Cantarell"));
    font.setBold(true);
    font.setPixelSize(int(size * 0.34));
    p.setFont(font);
    p.setPen(QColor(64, 64, 64));
    p.drawText(QRectF(0, size * 0.16, size, size * 0.5), Qt::AlignCenter, QStringLiteral("1.23"));
    p.setPen(QPen(QColor(64, 64, 64), size / 24.0));
    for (int i = 0; i < 9; ++i) {
        const double x = size * (0.16 + 0.085 * i);
        p.drawLine(QPointF(x, size * 0.78), QPointF(x, size * (i % 4 == 0 ? 0.64 : 0.70)));
    }
    return image;
}

static QImage itemConsole(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    frame(p, size, QColor(10, 10, 10));
    p.setPen(QPen(QColor(98, 240, 51), size / 14.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath prompt;
    prompt.moveTo(size * 0.2, size * 0.32);
    prompt.lineTo(size * 0.38, size * 0.5);
    prompt.lineTo(size * 0.2, size * 0.68);
    p.drawPath(prompt);
    p.drawLine(QPointF(size * 0.46, size * 0.68), QPointF(size * 0.74, size * 0.68));
    return image;
}

static QImage gear(int size, const QColor &colour)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(size / 2.0, size / 2.0);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const double outer = size * 0.46, inner = size * 0.34;
    QPainterPath teeth;
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.rotate(i * 45.0);
        p.drawRect(QRectF(-size * 0.08, -outer, size * 0.16, outer - inner + size * 0.04));
        p.restore();
    }
    QPainterPath ring;
    ring.addEllipse(QPointF(0, 0), inner, inner);
    ring.addEllipse(QPointF(0, 0), size * 0.14, size * 0.14);
    p.drawPath(ring);
    return image;
}

static QImage itemGlobal(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(size / 2.0, size / 2.0);
    const double r = size * 0.42;
    p.setPen(QPen(QColor(40, 80, 140), size / 20.0));
    p.setBrush(QColor(120, 170, 230));
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r * 0.45, r);
    p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
    return image;
}

static QImage itemUnknown(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    frame(p, size, QColor(220, 220, 224));
    QFont font(QStringLiteral("Cantarell"));
    font.setBold(true);
    font.setPixelSize(int(size * 0.5));
    p.setFont(font);
    p.setPen(QColor(90, 90, 100));
    p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, QStringLiteral("?"));
    return image;
}

static QImage aboutIcon(int size)
{
    QImage image = itemOscilloscope(size);
    return image;
}

static QImage appName(int w, int h)
{
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("Cantarell"));
    font.setBold(true);
    font.setPixelSize(int(h * 0.8));
    p.setFont(font);
    p.setPen(QColor(48, 56, 64));
    p.drawText(QRectF(2, 0, w, h), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Velto"));
    return image;
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);
    for (int size : {12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64, 72}) {
        save(rangeArrow(size, false), dir, QStringLiteral("mmd_rangebelow_%1.png").arg(size));
        save(rangeArrow(size, true), dir, QStringLiteral("mmd_rangeover_%1.png").arg(size));
    }
    save(rangeIn(72), dir, QStringLiteral("mmd_rangein.png"));
    save(itemOscilloscope(48), dir, QStringLiteral("item_oscilloscope.png"));
    save(itemMultimeter(48), dir, QStringLiteral("item_multimeter.png"));
    save(itemConsole(48), dir, QStringLiteral("item_console.png"));
    save(itemGlobal(48), dir, QStringLiteral("item_global.png"));
    save(itemUnknown(48), dir, QStringLiteral("item_unknown.png"));
    save(gear(16, QColor(80, 80, 90)), dir, QStringLiteral("menu_settings.png"));
    save(aboutIcon(64), dir, QStringLiteral("about_icon.png"));
    save(appName(200, 48), dir, QStringLiteral("app-name.png"));
    return 0;
}
