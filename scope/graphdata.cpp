// SPDX-License-Identifier: GPL-3.0-only
#include "scope/graphdata.h"

#include <qcustomplot.h>

namespace GraphData {

void showTrace(QCPGraph *graph, const QVector<double> &keys, const QVector<double> &values)
{
    if (!graph)
        return;
    QSharedPointer<QCPGraphDataContainer> data = graph->data();
    const int n = keys.size();
    if (n == 0 || values.size() != n) {
        data->clear();
        return;
    }
    if (data->size() == n && data->constBegin()->key == keys.first() && (data->constEnd() - 1)->key == keys.last()) {
        // The same keys as last tick: only the values move.
        QCPGraphDataContainer::iterator it = data->begin();
        bool sameKeys = true;
        for (int i = 0; i < n; ++i, ++it) {
            if (it->key != keys[i]) {
                sameKeys = false;
                break;
            }
            it->value = values[i];
        }
        if (sameKeys)
            return;
    }
    graph->setData(keys, values, true);
}

} // namespace GraphData
