// SPDX-License-Identifier: GPL-3.0-only
// The persistence image's counts: against an independent count of the
// pixels each line crosses, for dots that overlap, and over a run long
// enough to reach the top of the counts.
#include "core/scope/hitimage.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {
// Whether the segment a–b meets the pixel square [c, c+1] × [r, r+1]:
// Liang–Barsky clipping, a way of its own to the same answer.
bool meets(QPointF a, QPointF b, int c, int r)
{
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - c, c + 1 - a.x(), a.y() - r, r + 1 - a.y()};
    double t0 = 0, t1 = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    return t0 <= t1;
}
} // namespace

class TestHitImage : public QObject
{
    Q_OBJECT
private slots:
    void linesCountEveryPixelTheyCrossOncePerTrace()
    {
        const int width = 40, height = 30;
        HitImage image;
        image.reset(width, height);
        std::vector<int> expected(size_t(width * height), 0);
        QRandomGenerator random(77);
        for (int trace = 0; trace < 60; ++trace) {
            // From left of the image to past its right, steep and flat pieces, above and below it.
            QVector<QPointF> points;
            double x = -2 + 4 * random.generateDouble();
            while (x < width + 2) {
                points << QPointF(x, -4 + (height + 8) * random.generateDouble());
                x += trace % 3 == 0 ? 0.05 + 0.3 * random.generateDouble() : 0.2 + 3 * random.generateDouble();
            }
            std::vector<bool> hit(expected.size(), false);
            for (int i = 0; i + 1 < points.size(); ++i)
                for (int r = 0; r < height; ++r)
                    for (int c = 0; c < width; ++c)
                        if (meets(points[i], points[i + 1], c, r))
                            hit[size_t(r * width + c)] = true;
            for (size_t k = 0; k < hit.size(); ++k)
                expected[k] += hit[k] ? 1 : 0;
            image.addLine(points.constData(), points.size());
        }
        int differences = 0;
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c)
                differences += image.at(c, r) != expected[size_t(r * width + c)];
        QCOMPARE(differences, 0);
        QCOMPARE(int(image.maximum()), *std::max_element(expected.begin(), expected.end()));
        QCOMPARE(image.traces(), quint64(60));
    }
    void overlappingDotsCountOnce()
    {
        HitImage image;
        image.reset(10, 10);
        // Two dots of 2 × 2 pixels sharing pixel (6, 6), one wholly outside the
        // image; then the first alone.
        const QPointF dots[] = {{5.5, 5.5}, {6.2, 6.7}, {50, 50}};
        image.addDots(dots, 3, 2);
        image.addDots(dots, 1, 2);
        QCOMPARE(int(image.at(5, 5)), 2);
        QCOMPARE(int(image.at(6, 6)), 2);
        QCOMPARE(int(image.at(7, 7)), 1);
        QCOMPARE(int(image.at(4, 4)), 0);
        QCOMPARE(image.bounds(), QRect(5, 5, 3, 3));
        const QPointF corner[] = {{9.5, 9.5}}; // a dot at the far corner keeps its pixel inside
        image.addDots(corner, 1, 2);
        QCOMPARE(int(image.at(9, 9)), 1);
    }
    void longRunKeepsItsMemoryAndItsRarePixels()
    {
        // More traces than a count can hold: the memory stays what the size
        // asks, the pixel on every trace stays the brightest, and a pixel hit
        // once, long ago, is still there.
        HitImage image;
        image.reset(64, 32);
        const QPointF flat[] = {{0, 5.5}, {64, 5.5}};
        const QPointF once[] = {{10.5, 20.5}, {10.5, 25.5}};
        image.addLine(once, 2);
        const size_t memory = image.memoryBytes();
        for (int trace = 0; trace < 200000; ++trace)
            image.addLine(flat, 2);
        QCOMPARE(image.memoryBytes(), memory);
        QVERIFY(image.maximum() > 30000);
        QCOMPARE(image.at(0, 5), image.maximum());
        QCOMPARE(image.at(63, 5), image.maximum());
        QCOMPARE(int(image.at(10, 22)), 1);
        QVERIFY(image.traces() >= image.maximum());
        QVERIFY(hitBrightness(1, image.maximum(), 0) > 0.1);
        image.clear();
        QVERIFY(image.isEmpty() && image.at(0, 5) == 0 && image.at(10, 22) == 0 && image.bounds().isEmpty());
    }
    void pictureMadeTraceByTraceEqualsOneMadeAtOnce()
    {
        // A picture brought up to date after every trace (only the changed
        // pixels painted) against one painted whole from the final counts:
        // lines and dots on two images, one coloured by rows, a clear between.
        const int width = 48, height = 36;
        HitImage images[2];
        for (HitImage &image : images)
            image.reset(width, height);
        std::vector<HitLayer> layers(2);
        layers[0] = {&images[0], QColor(250, 200, 20), {}};
        layers[1] = {&images[1], QColor(Qt::green), std::vector<QRgb>(size_t(height / 2), qRgb(200, 40, 90))};
        HitComposer traceByTrace;
        QRandomGenerator random(5);
        for (int trace = 0; trace < 1000; ++trace) {
            QVector<QPointF> points;
            for (double x = -1 + random.generateDouble(); x < width + 1; x += 0.1 + 2 * random.generateDouble())
                points << QPointF(x, 10 + (trace % 3) * 2 + 14 * random.generateDouble());
            HitImage &image = images[trace % 2];
            if (trace % 5 == 4)
                image.addDots(points.constData(), points.size(), 2);
            else
                image.addLine(points.constData(), points.size());
            if (trace == 600)
                images[0].clear();
            traceByTrace.compose(layers, 4);
            for (HitImage &each : images)
                each.markClean();
        }
        HitComposer atOnce;
        atOnce.compose(layers, 4);
        QCOMPARE(traceByTrace.painted(), atOnce.painted());
        QVERIFY(traceByTrace.picture() == atOnce.picture());
        QVERIFY(images[1].maximum() > 128);
        // The pixels at the top count show their layer's full colour.
        HitImage top;
        top.reset(8, 8);
        const QPointF across[] = {{0, 3.5}, {8, 3.5}};
        top.addLine(across, 2);
        HitComposer alone;
        alone.compose({{&top, QColor(Qt::white), {}}}, 0);
        QCOMPARE(alone.picture().pixel(4, 3), qRgba(255, 255, 255, 255));
        // The grading's maximum keeps seven significant bits.
        const int maxima[][2] = {{0, 0}, {127, 127}, {129, 128}, {255, 254}, {257, 256}, {65535, 65024}};
        for (const auto &m : maxima)
            QCOMPARE(gradingMaximum(m[0]), m[1]);
    }
};

QTEST_GUILESS_MAIN(TestHitImage)
#include "tst_hitimage.moc"
