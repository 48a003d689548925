// SPDX-License-Identifier: MIT
#include "chart/ChartZoom.h"

#include <algorithm>
#include <cmath>

namespace {

// Puts [minimum, maximum] inside [lowest, highest], keeping its width when it
// fits and at least `least` wide (when home is that wide).
void fitRange(double &minimum, double &maximum, double lowest, double highest, double least)
{
    const double homeWidth = highest - lowest;
    double width = maximum - minimum;
    if (!std::isfinite(width) || width >= homeWidth) {
        minimum = lowest;
        maximum = highest;
        return;
    }
    width = std::max(width, std::min(least, homeWidth));
    const double middle = (minimum + maximum) / 2;
    minimum = middle - width / 2;
    maximum = middle + width / 2;
    if (minimum < lowest) {
        minimum = lowest;
        maximum = lowest + width;
    }
    if (maximum > highest) {
        maximum = highest;
        minimum = highest - width;
    }
}

} // namespace

ChartZoom::ChartZoom(ChartSurface &inner, double leftMinimum, double leftMaximum)
    : m_inner(inner)
{
    m_home.bottomMin = inner.bottomAxisMinimum();
    m_home.bottomMax = inner.bottomAxisMaximum();
    m_home.leftMin = leftMinimum;
    m_home.leftMax = leftMaximum;
    m_view = m_home;
}

void ChartZoom::clearSeries(int series)
{
    if (m_zoomed)
        resetZoom();
    m_inner.clearSeries(series);
}

void ChartZoom::setBottomAxisRange(double minimum, double maximum)
{
    // A new page: the zoom of the last one does not apply to it.
    m_home.bottomMin = minimum;
    m_home.bottomMax = maximum;
    if (m_zoomed) {
        resetZoom();
        return;
    }
    m_view = m_home;
    m_inner.setBottomAxisRange(minimum, maximum);
}

void ChartZoom::setLeftAxisMinimum(double minimum)
{
    m_home.leftMin = minimum;
    if (m_zoomed) {
        applyView();
        return;
    }
    m_view.leftMin = minimum;
    m_inner.setLeftAxisMinimum(minimum);
}

void ChartZoom::setLeftAxisMaximum(double maximum)
{
    m_home.leftMax = maximum;
    if (m_zoomed) {
        applyView();
        return;
    }
    m_view.leftMax = maximum;
    m_inner.setLeftAxisMaximum(maximum);
}

qint64 ChartZoom::scrollBottomAxis(double offset, qint64 times)
{
    if (!m_zoomed) {
        const qint64 steps = m_inner.scrollBottomAxis(offset, times);
        m_home.bottomMin = m_view.bottomMin = m_inner.bottomAxisMinimum();
        m_home.bottomMax = m_view.bottomMax = m_inner.bottomAxisMaximum();
        return steps;
    }
    // The inner chart scrolls from the page's own axes, as the controller
    // expects; a scroll that moved shows the new page unzoomed.
    m_inner.setBottomAxisRange(m_home.bottomMin, m_home.bottomMax);
    const qint64 steps = m_inner.scrollBottomAxis(offset, times);
    if (steps > 0) {
        m_home.bottomMin = m_inner.bottomAxisMinimum();
        m_home.bottomMax = m_inner.bottomAxisMaximum();
        resetZoom();
    } else {
        m_inner.setBottomAxisRange(m_view.bottomMin, m_view.bottomMax);
    }
    return steps;
}

void ChartZoom::zoom(double factor, double x, double y, bool timeAxis, bool valueAxis)
{
    if (!(factor > 0) || !std::isfinite(factor) || !std::isfinite(x) || !std::isfinite(y))
        return;
    if (timeAxis) {
        m_view.bottomMin = x + (m_view.bottomMin - x) * factor;
        m_view.bottomMax = x + (m_view.bottomMax - x) * factor;
    }
    if (valueAxis) {
        m_view.leftMin = y + (m_view.leftMin - y) * factor;
        m_view.leftMax = y + (m_view.leftMax - y) * factor;
    }
    applyView();
}

void ChartZoom::pan(double dx, double dy)
{
    if (!m_zoomed || !std::isfinite(dx) || !std::isfinite(dy))
        return;
    // Keep the widths: clamp the shift so that neither end leaves home.
    dx = std::clamp(dx, m_home.bottomMin - m_view.bottomMin, m_home.bottomMax - m_view.bottomMax);
    dy = std::clamp(dy, m_home.leftMin - m_view.leftMin, m_home.leftMax - m_view.leftMax);
    m_view.bottomMin += dx;
    m_view.bottomMax += dx;
    m_view.leftMin += dy;
    m_view.leftMax += dy;
    applyView();
}

void ChartZoom::resetZoom()
{
    m_view = m_home;
    m_zoomed = false;
    m_inner.setBottomAxisRange(m_home.bottomMin, m_home.bottomMax);
    m_inner.setLeftAxisMinimum(m_home.leftMin);
    m_inner.setLeftAxisMaximum(m_home.leftMax);
}

void ChartZoom::applyView()
{
    fitRange(m_view.bottomMin, m_view.bottomMax, m_home.bottomMin, m_home.bottomMax, MinimumPoints);
    fitRange(m_view.leftMin, m_view.leftMax, m_home.leftMin, m_home.leftMax,
        (m_home.leftMax - m_home.leftMin) * MinimumValueShare);
    if (m_view == m_home) {
        resetZoom();
        return;
    }
    m_zoomed = true;
    m_inner.setBottomAxisRange(m_view.bottomMin, m_view.bottomMax);
    m_inner.setLeftAxisMinimum(m_view.leftMin);
    m_inner.setLeftAxisMaximum(m_view.leftMax);
}
