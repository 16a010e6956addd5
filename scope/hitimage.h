#pragma once

// Persistence as an intensity image: for every pixel of the plot, how many
// of the traces added since the last clear passed through it.
//
// A trace is given in pixel coordinates, its x never falling. A line trace
// counts, in every pixel column it crosses, the rows from the lowest to the
// highest point of the line from each sample to the next within that
// column; a dot trace counts a square of `size` pixels around each sample.
// A pixel is counted at most once per trace, however many samples fall on it.
//
// The memory is fixed by the pixel size (two bytes a pixel) and a trace
// costs what it covers, never what came before it. The counts are 16 bits:
// when the most-hit pixel reaches the top, all counts are halved, rounding
// up, so that the brightness stays in proportion and a pixel hit once is
// never lost.

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>

#include <cstdint>
#include <vector>

class HitImage
{
public:
    static constexpr uint16_t countLimit = 0xFFFF;

    // Sizes and clears; a size of 0 frees the memory.
    void reset(int width, int height);
    void clear();

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool isEmpty() const { return m_traces == 0; }
    // Traces added since the clear (halved with the counts).
    quint64 traces() const { return m_traces; }
    // The largest count, the grading's full brightness.
    uint16_t maximum() const { return m_maximum; }
    uint16_t at(int x, int y) const { return m_counts[size_t(y) * size_t(m_width) + size_t(x)]; }
    const uint16_t *row(int y) const { return m_counts.data() + size_t(y) * size_t(m_width); }
    // The pixels counted at least once, or an empty rectangle.
    QRect bounds() const;
    size_t memoryBytes() const { return m_counts.capacity() * sizeof(uint16_t) + m_low.capacity() * sizeof(double) * 2; }

    void addLine(const QPointF *points, int n);
    void addDots(const QPointF *points, int n, int size);

private:
    void span(int column, int top, int bottom);
    void halve();
    void finishTrace();

    int m_width = 0;
    int m_height = 0;
    quint64 m_traces = 0;
    uint16_t m_maximum = 0;
    bool m_full = false;
    int m_left = 0, m_right = -1, m_top = 0, m_bottom = -1;
    std::vector<uint16_t> m_counts;
    // Per column: the extent of one line trace, filled as it is walked.
    std::vector<double> m_low;
    std::vector<double> m_high;
    struct Run {
        int column, top, bottom;
    };
    std::vector<Run> m_runs;
};

// The extent of a polyline (x never falling, or each segment taken either
// way) in the pixel columns firstColumn .. firstColumn + columns − 1: low
// and high, set beforehand to +inf and −inf, take the least and the largest
// y of the line within each column.
void lineColumnExtents(const QPointF *points, int n, int firstColumn, int columns, double *low, double *high);

// The grading of the intensity image: the brightness of a pixel hit `count`
// times when the most-hit pixel has `maximum`, from a faint floor for a
// single pass to 1 where the trace always goes. The intensity setting (0 to
// 10) lifts the seldom-hit pixels: 0 grades in proportion, 10 shows nearly
// every pass brightly.
double hitBrightness(int count, int maximum, int intensity);

// Paints the images over one another (in order) into `out`, sized to the
// first image: each pixel in its image's colour with the brightness of its
// count as opacity. `rowColours`, when not empty for an image, gives a
// colour for each pixel row instead (the logic bits). Only `*painted` (what
// an earlier call painted) and the images' bounds are touched: on return
// `*painted` is the part of `out` that holds anything, the rest is transparent.
struct HitLayer {
    const HitImage *image = nullptr;
    QColor colour;
    std::vector<QRgb> rowColours;
};
void paintHitImages(const std::vector<HitLayer> &layers, int intensity, QImage *out, QRect *painted);
