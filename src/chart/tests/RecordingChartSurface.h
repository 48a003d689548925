// SPDX-License-Identifier: MIT
#pragma once

#include "chart/ChartSurface.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>

// A chart that keeps its points in plain lists and scrolls the slow, obvious way:
// one limit-checked step after another. It logs the calls that change what the
// chart shows, and counts redraws (one per scroll call that moved the axis).
class RecordingChartSurface : public ChartSurface
{
public:
    explicit RecordingChartSurface(int series = 2)
        : m_points(series)
        , m_visible(series, true)
    { }

    int seriesCount() const override { return int(m_points.size()); }
    void addValue(int series, double y) override { m_points[series].append(y); }
    void clearSeries(int series) override
    {
        m_points[series].clear();
        log << QStringLiteral("clear %1").arg(series);
    }
    qint64 pointCount(int series) const override { return m_points[series].size(); }
    bool isSeriesVisible(int series) const override { return m_visible[series]; }
    void setSeriesVisible(int series, bool visible) override
    {
        m_visible[series] = visible;
        log << QStringLiteral("%1 %2").arg(visible ? "show" : "hide").arg(series);
    }
    void setBottomAxisRange(double minimum, double maximum) override
    {
        bottomMin = minimum;
        bottomMax = maximum;
    }
    double bottomAxisMinimum() const override { return bottomMin; }
    double bottomAxisMaximum() const override { return bottomMax; }
    void setLeftAxisMinimum(double minimum) override
    {
        leftMin = minimum;
        log << QStringLiteral("left min %1").arg(minimum);
    }
    void setLeftAxisMaximum(double maximum) override
    {
        leftMax = maximum;
        log << QStringLiteral("left max %1").arg(maximum);
    }

    qint64 scrollBottomAxis(double offset, qint64 times) override
    {
        ++scrollCalls;
        qint64 largest = -1;
        for (const QList<double> &points : m_points)
            largest = std::max<qint64>(largest, points.size() - 1);
        qint64 done = 0;
        for (; done < times && largest >= 0; ++done) {
            const bool allowed = offset > 0 ? largest > bottomMax : offset < 0 && 0 < bottomMin;
            if (!allowed)
                break;
            bottomMin += offset;
            bottomMax += offset;
        }
        if (done > 0)
            ++redraws;
        return done;
    }

    const QList<double> &points(int series) const { return m_points[series]; }

    double bottomMin = 0;
    double bottomMax = 100;
    double leftMin = -11000;
    double leftMax = 11000;
    int scrollCalls = 0;
    int redraws = 0;
    QStringList log;

private:
    QList<QList<double>> m_points;
    QList<bool> m_visible;
};
