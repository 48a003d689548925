// SPDX-License-Identifier: MIT
#pragma once

#include "chart/ChartSurface.h"
#include "chart/ValueColumn.h"

#include <QChartView>
#include <QTimer>

#include <array>

class QAreaSeries;
class QGraphicsRectItem;
class QLineSeries;
class QXYSeries;
class QValueAxis;

// The trend chart: a flat Qt Charts view with a filled area series (series 0,
// "Series2") under a red line series (series 1, "Series1"), both over the same
// point numbers, a bottom axis and a value axis set by hand.
//
// Every value ever added is kept here, 4 bytes a value (ValueColumn); Qt Charts
// only ever holds the points of the page on view (one more on each side, so the
// line runs to the plot edges), at most MaxPointsShown per series: a wider view
// is reduced to its first and last point and the smallest and largest value of
// each of (MaxPointsShown - 2) / 2 equal slices, which draws the same picture at
// screen resolution.
//
// Changes are gathered and handed to Qt Charts at most once per screen refresh
// (refreshNow() does it at once), so a burst of readings costs one update.
class Chtshow : public QChartView, public ChartSurface
{
    Q_OBJECT
public:
    static constexpr int SeriesCount = 2;
    static constexpr qint64 MaxPointsShown = 4096;

    explicit Chtshow(QWidget *parent = nullptr);
    ~Chtshow() override;

    int seriesCount() const override { return SeriesCount; }
    void addValue(int series, double y) override;
    void clearSeries(int series) override;
    qint64 pointCount(int series) const override;
    bool isSeriesVisible(int series) const override;
    void setSeriesVisible(int series, bool visible) override;
    void setBottomAxisRange(double minimum, double maximum) override;
    double bottomAxisMinimum() const override { return m_bottomMin; }
    double bottomAxisMaximum() const override { return m_bottomMax; }
    void setLeftAxisMinimum(double minimum) override;
    void setLeftAxisMaximum(double maximum) override;
    qint64 scrollBottomAxis(double offset, qint64 times = 1) override;

    double leftAxisMinimum() const { return m_leftMin; }
    double leftAxisMaximum() const { return m_leftMax; }
    // The stored value of point x of a series.
    double valueAt(int series, qint64 x) const { return m_values[std::size_t(series)].at(x); }
    // Bytes the stored values of every series hold (not what Qt Charts keeps
    // for the page on view, which is bounded by MaxPointsShown).
    qint64 storedValueBytes() const;

    // Hands every pending change to Qt Charts now.
    void refreshNow();
    bool refreshPending() const { return m_refreshTimer.isActive(); }

    // The chart alone, drawn in its present state at its present size.
    QImage picture();

    QAreaSeries *areaSeries() const { return m_area; }
    QLineSeries *lineSeries() const { return m_line; }
    QValueAxis *bottomAxis() const { return m_axisX; }
    QValueAxis *leftAxis() const { return m_axisY; }

protected:
    // A chart that comes into view shows its present state in its first frame,
    // not the one before the changes still waiting for the refresh. A hidden
    // widget gets its resize when it is shown, before its show event; taking
    // the changes there lays the chart out once, with its final axes.
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void scheduleRefresh();
    void placeLeftWall();
    // The shown slice of `values`, reduced to at most MaxPointsShown points.
    QList<QPointF> shownPoints(const ValueColumn &values) const;
    QXYSeries *qtSeries(int series) const;

    std::array<ValueColumn, SeriesCount> m_values;
    std::array<bool, SeriesCount> m_visible { true, true };
    double m_bottomMin = 0;
    double m_bottomMax = 100;
    double m_leftMin = -11000;
    double m_leftMax = 11000;

    QChart *m_chart = nullptr;
    QValueAxis *m_axisX = nullptr;
    QValueAxis *m_axisY = nullptr;
    QLineSeries *m_areaEdge = nullptr; // upper boundary of the area series
    QAreaSeries *m_area = nullptr;
    QLineSeries *m_line = nullptr;
    QGraphicsRectItem *m_leftWall = nullptr;
    QTimer m_refreshTimer;
};
