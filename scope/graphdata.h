// SPDX-License-Identifier: GPL-3.0-only
#pragma once
// Handing a tick's vectors to a graph without rebuilding its container.
//
// The display gives most graphs the same keys every tick (2 units a
// sample); only the values change. Writing the values into the points the
// graph already holds costs one pass and no allocation, where setData()
// builds a new container of up to 3840 points for each of some thirty
// graphs on every tick.
#include <QVector>

class QCPGraph;

namespace GraphData {
// Shows `values` over `keys` (rising keys) on `graph`; an empty or
// mismatched pair empties the graph.
void showTrace(QCPGraph *graph, const QVector<double> &keys, const QVector<double> &values);
} // namespace GraphData
