// SPDX-License-Identifier: MIT
#pragma once

#include "chart/ChartSurface.h"

// Zoom and pan of the page on view, between the page controller and the chart.
//
// The controller sets the page's own axes through this surface as before (its
// "home" view); the user then zooms and pans inside it. The visible range on
// both axes always stays within the page's own view: zooming out stops at the
// page, panning stops at its edges. A page move (a set range, or a scroll that
// moved) or a clear drops the zoom and shows the new page as the controller set it;
// resetZoom() shows the page's own axes again exactly as they were set.
//
// The controller sees the page's own axes only (bottomAxisMinimum/Maximum
// answer them), so paging works the same whether zoomed or not.
class ChartZoom : public ChartSurface
{
public:
    // The smallest visible width of the time axis, in points.
    static constexpr double MinimumPoints = 2;
    // The smallest visible part of the value axis.
    static constexpr double MinimumValueShare = 1e-6;

    // inner: the chart that shows the view (not owned); its value axis runs
    // from leftMinimum to leftMaximum until the controller sets it.
    ChartZoom(ChartSurface &inner, double leftMinimum, double leftMaximum);

    // ChartSurface, for the controller.
    int seriesCount() const override { return m_inner.seriesCount(); }
    void addValue(int series, double y) override { m_inner.addValue(series, y); }
    // A cleared chart shows its page whole.
    void clearSeries(int series) override;
    qint64 pointCount(int series) const override { return m_inner.pointCount(series); }
    bool isSeriesVisible(int series) const override { return m_inner.isSeriesVisible(series); }
    void setSeriesVisible(int series, bool visible) override
    {
        m_inner.setSeriesVisible(series, visible);
    }
    void setBottomAxisRange(double minimum, double maximum) override;
    double bottomAxisMinimum() const override { return m_home.bottomMin; }
    double bottomAxisMaximum() const override { return m_home.bottomMax; }
    void setLeftAxisMinimum(double minimum) override;
    void setLeftAxisMaximum(double maximum) override;
    qint64 scrollBottomAxis(double offset, qint64 times = 1) override;

    // For the mouse. factor below 1 zooms in, above 1 out, around the point
    // (x, y) given in axis units; each axis only when asked.
    void zoom(double factor, double x, double y, bool timeAxis = true, bool valueAxis = true);
    // Moves the view by dx points and dy value units.
    void pan(double dx, double dy);
    // Shows the page's own axes again.
    void resetZoom();
    bool zoomed() const { return m_zoomed; }

    struct Axes
    {
        double bottomMin = 0;
        double bottomMax = 0;
        double leftMin = 0;
        double leftMax = 0;
        bool operator==(const Axes &) const = default;
    };
    // What is on view, and the page's own axes.
    const Axes &view() const { return m_view; }
    const Axes &home() const { return m_home; }

private:
    // Fits the view inside home and hands it to the inner chart.
    void applyView();

    ChartSurface &m_inner;
    Axes m_home;
    Axes m_view;
    bool m_zoomed = false;
};
