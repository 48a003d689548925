// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// What the chart page controller needs of a chart: series in order, each with
// values at x = 0, 1, 2, ..., a bottom axis and a value axis set by hand, and a
// limit-checked scroll of the bottom axis. The Qt Charts view implements it; the
// controller's tests use a recording implementation.
class ChartSurface
{
public:
    virtual ~ChartSurface() = default;

    virtual int seriesCount() const = 0;
    // Appends a point at x = pointCount(series) with value y.
    virtual void addValue(int series, double y) = 0;
    virtual void clearSeries(int series) = 0;
    virtual qint64 pointCount(int series) const = 0;
    virtual bool isSeriesVisible(int series) const = 0;
    virtual void setSeriesVisible(int series, bool visible) = 0;

    virtual void setBottomAxisRange(double minimum, double maximum) = 0;
    virtual double bottomAxisMinimum() const = 0;
    virtual double bottomAxisMaximum() const = 0;
    virtual void setLeftAxisMinimum(double minimum) = 0;
    virtual void setLeftAxisMaximum(double maximum) = 0;

    // Scrolls the bottom axis by `offset`, `times` times in a row, each step with
    // the limit check of limitedScrollSteps(), and redraws once if it moved.
    // Returns the number of steps carried out.
    virtual qint64 scrollBottomAxis(double offset, qint64 times = 1) = 0;
};

// How many of `times` consecutive limit-checked scrolls by `offset` are carried
// out on a bottom axis running from axisMinimum to axisMaximum over points whose
// x lie between smallestX and largestX. One step by a positive offset is carried
// out only if largestX is greater than the axis maximum, one by a negative offset
// only if smallestX is less than the axis minimum; a carried-out step moves both
// ends by the offset. Once a step is refused all later ones are, so the answer is
// computed directly, without stepping. hasPoints false: nothing scrolls.
qint64 limitedScrollSteps(double axisMinimum, double axisMaximum, bool hasPoints, double smallestX,
    double largestX, double offset, qint64 times);
