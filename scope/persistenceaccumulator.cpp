// SPDX-License-Identifier: GPL-3.0-only
#include "scope/persistenceaccumulator.h"

#include <algorithm>

PersistenceAccumulator::PersistenceAccumulator(int depth) : m_depth(std::max(1, depth)) {}

void PersistenceAccumulator::clear()
{
    m_next = 0;
    m_traces = 0;
    m_points = -1;
}

void PersistenceAccumulator::add(QCPGraph *graph, const QVector<double> &keys, const QVector<double> &values)
{
    if (!graph)
        return;
    const int n = std::min(keys.size(), values.size());
    if (n <= 0)
        return;
    QSharedPointer<QCPGraphDataContainer> data = graph->data();
    const bool restart = m_points != n || data->size() != n * m_depth;
    if (restart) {
        QVector<QCPGraphData> filled(n * m_depth);
        for (int i = 0; i < n; ++i)
            for (int slot = 0; slot < m_depth; ++slot)
                filled[i * m_depth + slot] = QCPGraphData(keys[i], values[i]);
        // Keys of a trace rise, so the slots of one key stay together.
        data->set(filled, true);
        m_points = n;
        m_next = 1 % m_depth;
        m_traces = 1;
        return;
    }
    QCPGraphDataContainer::iterator it = data->begin();
    for (int i = 0; i < n; ++i)
        (it + i * m_depth + m_next)->value = values[i];
    m_next = (m_next + 1) % m_depth;
    m_traces = std::min(m_traces + 1, m_depth);
}
