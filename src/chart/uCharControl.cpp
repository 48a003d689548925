// SPDX-License-Identifier: MIT
#include "chart/uCharControl.h"

#include <algorithm>
#include <cmath>
#include <limits>

TChartControl::TChartControl(ChartSurface &chart, qint32 pageSize)
    : m_chart(chart)
{
    SetPageSize(std::max<qint32>(pageSize, 1));
    m_chart.setBottomAxisRange(1, m_pageSize);
    m_pageCount = 1;
    m_currentPage = 1;
    addToEverySeries(0);
    m_fillVisible = true;
    if (m_chart.seriesCount() > 0)
        m_chart.setSeriesVisible(0, true);
}

qint32 TChartControl::AddValue(double y)
{
    addToEverySeries(y);
    m_pageCount = countPages();
    if (!m_browsing) {
        m_chart.scrollBottomAxis(m_pageSize, 1);
        m_currentPage = m_pageCount;
    }
    return m_currentPage;
}

void TChartControl::SetValueMaximum(double y)
{
    if (y != m_valueMaximum) {
        m_valueMaximum = y;
        m_chart.setLeftAxisMaximum(y);
    }
}

void TChartControl::SetValueMinimum(double y)
{
    if (y != m_valueMinimum) {
        m_valueMinimum = y;
        m_chart.setLeftAxisMinimum(y);
    }
}

qint32 TChartControl::FirstPage()
{
    if (m_pageCount <= 1 || m_currentPage == 1)
        return m_currentPage;
    m_chart.scrollBottomAxis(-double(m_pageSize), backwardSteps(qint64(m_currentPage) - 1));
    m_currentPage = 1;
    m_browsing = true;
    return m_currentPage;
}

qint32 TChartControl::PreviousPage()
{
    if (m_currentPage > 1) {
        m_chart.scrollBottomAxis(-double(m_pageSize), backwardSteps(1));
        --m_currentPage;
        m_browsing = true;
    }
    return m_currentPage;
}

qint32 TChartControl::NextPage()
{
    if (m_pageCount > 1 && m_pageCount != m_currentPage) {
        m_chart.scrollBottomAxis(m_pageSize, 1);
        ++m_currentPage;
        m_browsing = m_currentPage != m_pageCount;
    }
    return m_currentPage;
}

qint32 TChartControl::LastPage()
{
    if (m_pageCount <= 1 || m_pageCount == m_currentPage)
        return m_currentPage;
    m_chart.scrollBottomAxis(m_pageSize, qint64(m_pageCount) - m_currentPage);
    m_currentPage = m_pageCount;
    m_browsing = false;
    return m_currentPage;
}

void TChartControl::SetPageSize(qint32 n)
{
    if (n == m_pageSize || n < 1)
        return;
    m_pageSize = n;
    m_chart.setBottomAxisRange(1, n);
    m_pageCount = countPages();
    m_chart.scrollBottomAxis(n, qint64(m_pageCount) - 1);
    m_currentPage = m_pageCount;
    m_browsing = false;
}

qint32 TChartControl::ClearChart()
{
    FirstPage();
    for (int series = 0; series < m_chart.seriesCount(); ++series) {
        m_chart.clearSeries(series);
        m_chart.addValue(series, 0);
    }
    m_browsing = false;
    return m_currentPage;
}

void TChartControl::SetFillVisible(bool b)
{
    if (b == m_fillVisible)
        return;
    m_fillVisible = b;
    if (m_chart.seriesCount() > 0)
        m_chart.setSeriesVisible(0, b);
}

qint64 TChartControl::backwardSteps(qint64 times) const
{
    const double room = std::floor((m_chart.bottomAxisMinimum() - 1) / m_pageSize);
    return qint64(std::clamp(room, 0.0, double(std::max<qint64>(times, 0))));
}

qint32 TChartControl::countPages() const
{
    const qint64 n = m_chart.seriesCount() > 0 ? m_chart.pointCount(0) : 0;
    const qint64 size = m_pageSize;
    const qint64 pages = n / size + (n % size > 0 ? 1 : 0);
    // Beyond 2^31 pages the count cannot be represented; stop at the largest one.
    return qint32(std::min<qint64>(pages, std::numeric_limits<qint32>::max()));
}

void TChartControl::addToEverySeries(double y)
{
    for (int series = 0; series < m_chart.seriesCount(); ++series)
        m_chart.addValue(series, y);
}
