// SPDX-License-Identifier: GPL-3.0-only
#pragma once
// The accumulated points of a graph while persistence is on.
//
// Adding each tick's points to a graph's data would let it grow without end
// (a quarter of a million points a second at the fastest frame rate) and
// re-merge the whole container on every tick. Instead every key holds a
// fixed number of slots, and each new trace overwrites the oldest slot in
// place: the cost of a tick is one pass over the trace, and the memory and
// the drawing stay bounded however long persistence runs. Traces share
// their keys, so the container stays sorted by key without sorting.
#include <QVector>

#include <qcustomplot.h>

class PersistenceAccumulator
{
public:
    static constexpr int defaultDepth = 32;

    explicit PersistenceAccumulator(int depth = defaultDepth);

    // Adds one trace to `graph`. The first trace after a clear, or one whose
    // keys differ in number from the traces held, fills every slot, so the
    // picture starts from the live trace.
    void add(QCPGraph *graph, const QVector<double> &keys, const QVector<double> &values);
    // Forgets the traces; the caller clears the graph.
    void clear();
    int depth() const { return m_depth; }
    // Traces added since the last restart, at most depth().
    int traces() const { return m_traces; }

private:
    int m_depth;
    int m_next = 0;
    int m_traces = 0;
    int m_points = -1;
};
