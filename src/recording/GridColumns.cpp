// SPDX-License-Identifier: MIT
#include "recording/GridColumns.h"

#include <algorithm>

QList<int> gridColumnWidths(const QList<int> &designed, const QStringList &headers,
    const QStringList &widestValues, const GridColumnMeasures &measures)
{
    const qsizetype columns = std::max({ designed.size(), headers.size(), widestValues.size() });
    QList<int> widths;
    widths.reserve(columns);
    for (qsizetype c = 0; c < columns; ++c) {
        int width = designed.value(c, 0);
        if (c < headers.size())
            width = std::max(width, measures.headerWidth(headers[c]) + measures.headerPadding);
        if (c < widestValues.size() && !widestValues[c].isEmpty())
            width = std::max(width, measures.valueWidth(widestValues[c]) + measures.valuePadding);
        widths.append(width);
    }
    return widths;
}
