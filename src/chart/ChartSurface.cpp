// SPDX-License-Identifier: MIT
#include "chart/ChartSurface.h"

#include <cmath>
#include <limits>

namespace {

// Steps carried out when each step needs `gap - j * step > 0` (step > 0) for
// j = 0, 1, ...: ceil(gap / step), corrected for rounding of huge values.
qint64 stepsWithin(double gap, double step, qint64 times)
{
    if (!(gap > 0))
        return 0;
    const double estimate = std::ceil(gap / step);
    if (!(estimate < double(times)))
        return times;
    auto steps = qint64(estimate);
    while (steps > 0 && !(gap - double(steps - 1) * step > 0))
        --steps;
    while (steps < times && gap - double(steps) * step > 0)
        ++steps;
    return steps;
}

} // namespace

qint64 limitedScrollSteps(double axisMinimum, double axisMaximum, bool hasPoints, double smallestX,
    double largestX, double offset, qint64 times)
{
    if (!hasPoints || times <= 0)
        return 0;
    if (offset > 0)
        return stepsWithin(largestX - axisMaximum, offset, times);
    if (offset < 0)
        return stepsWithin(axisMinimum - smallestX, -offset, times);
    return 0;
}
