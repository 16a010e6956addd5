// SPDX-License-Identifier: GPL-3.0-only
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
    size_t memoryBytes() const
    {
        return m_counts.capacity() * sizeof(uint16_t) + m_low.capacity() * sizeof(double) * 2 +
               m_dirtyTop.capacity() * sizeof(int) * 2;
    }

    // What changed since markClean(): everything (after a reset, a clear or
    // a halving), or per column the rows dirtyTop(c) to dirtyBottom(c)
    // (none where top > bottom) of the columns dirtyLeft() to dirtyRight().
    bool allDirty() const { return m_allDirty; }
    int dirtyLeft() const { return m_dirtyLeft; }
    int dirtyRight() const { return m_dirtyRight; }
    int dirtyTop(int column) const { return m_dirtyTop[size_t(column)]; }
    int dirtyBottom(int column) const { return m_dirtyBottom[size_t(column)]; }
    void markClean();

    void addLine(const QPointF *points, int n);
    void addDots(const QPointF *points, int n, int size);

private:
    void span(int column, int top, int bottom);
    void forgetHits();
    void halve();
    void finishTrace();

    int m_width = 0;
    int m_height = 0;
    quint64 m_traces = 0;
    uint16_t m_maximum = 0;
    bool m_full = false;
    int m_left = 0, m_right = -1, m_top = 0, m_bottom = -1;
    std::vector<uint16_t> m_counts;
    bool m_allDirty = true;
    int m_dirtyLeft = 0, m_dirtyRight = -1;
    std::vector<int> m_dirtyTop;
    std::vector<int> m_dirtyBottom;
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

// Paints hit images over one another (in order) into one picture: each
// pixel in its image's colour with the brightness of its count as opacity.
// `rowColours`, when not empty for an image, gives a colour for each pixel
// row instead (the logic bits).
//
// The picture is kept between calls. While the grading, the colours and
// the size stay as they were, a call paints again only the pixels the
// images report changed since they were last marked clean, so a repaint
// costs what the new traces covered, not the whole picture. The grading
// takes the images' maxima to seven significant bits (counts above are at
// full brightness): a growing maximum repaints everything only when it has
// grown by a sixty-fourth, not on every trace.
struct HitLayer {
    const HitImage *image = nullptr;
    QColor colour;
    std::vector<QRgb> rowColours;
};

class HitComposer
{
public:
    // Brings the picture up to the layers; the caller then marks the images clean.
    void compose(const std::vector<HitLayer> &layers, int intensity);
    // Paints everything on the next call (after a change it cannot see).
    void invalidate() { m_valid = false; }
    void release();
    const QImage &picture() const { return m_picture; }
    // The part of the picture that holds anything; the rest is transparent.
    QRect painted() const { return m_painted; }
    size_t memoryBytes() const;

private:
    struct Grading {
        const HitImage *image = nullptr;
        int maximum = 0;
        uint64_t scale = 0;
        std::vector<QRgb> colours;  // the distinct colours of the layer
        std::vector<QRgb> shades;   // per colour, the premultiplied colour of every grade
        std::vector<uint8_t> rowShade; // per row, its colour's index
        const QRgb *shadeOfRow(int y) const;
    };
    bool prepare(const std::vector<HitLayer> &layers, int intensity);
    void composeAll();
    void composePixel(int x, int y);

    QImage m_picture;
    QRect m_painted;
    bool m_valid = false;
    int m_intensity = -1;
    std::vector<Grading> m_gradings;
};

// The maximum a grading uses: the top seven significant bits of `maximum`.
int gradingMaximum(int maximum);
