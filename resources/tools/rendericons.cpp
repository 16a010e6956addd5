// SPDX-License-Identifier: GPL-3.0-only
// Renders the icon sources (SVG) to the PNGs the resources hold, at build
// time, so that only the vector sources live in the tree.
// Usage: velto_render_icons OUTPUT_DIR SOURCE.svg...
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        fprintf(stderr, "usage: velto_render_icons OUTPUT_DIR SOURCE.svg...\n");
        return 2;
    }
    const QString out = args.at(1);
    int failures = 0;
    for (int i = 2; i < args.size(); ++i) {
        QSvgRenderer renderer(args.at(i));
        if (!renderer.isValid()) {
            fprintf(stderr, "cannot read %s\n", qPrintable(args.at(i)));
            ++failures;
            continue;
        }
        // Drawn at twice the nominal size keeps edges smooth on high-density screens.
        const QSize size = renderer.defaultSize();
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        const QString target = out + QLatin1Char('/') + QFileInfo(args.at(i)).completeBaseName() + ".png";
        if (!image.save(target, "PNG")) {
            fprintf(stderr, "cannot write %s\n", qPrintable(target));
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
