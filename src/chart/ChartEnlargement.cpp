// SPDX-License-Identifier: MIT
#include "chart/ChartEnlargement.h"

ChartEnlargement toggleChartEnlargement(
    QSize windowOuter, const QRect &chart, const QRect &remembered, int heightAllowance)
{
    ChartEnlargement result;
    result.windowOuterHeight = windowOuter.height() > 600 ? 564 : windowOuter.height();
    if (chart.top() > 50) {
        result.enlarged = true;
        result.remembered = chart;
        result.chart
            = QRect(2, 30, windowOuter.width() - 12, result.windowOuterHeight - heightAllowance);
    } else {
        result.enlarged = false;
        result.remembered = remembered;
        result.chart = remembered;
    }
    return result;
}
