// SPDX-License-Identifier: MIT
#include "chart/uCharControl.h"

#include <algorithm>
#include <cmath>
#include <limits>

TChartControl::TChartControl(ChartSurface &chart, qint32 pageSize)
    : Chart(chart)
{
    SetPageSize(std::max<qint32>(pageSize, 1));
    Chart.setBottomAxisRange(1, PageSize);
    PageCount = 1;
    CurrentPage = 1;
    addToEverySeries(0);
    FillVisible = true;
    if (Chart.seriesCount() > 0)
        Chart.setSeriesVisible(0, true);
}

qint32 TChartControl::AddValue(double y)
{
    addToEverySeries(y);
    PageCount = countPages();
    if (!Browsing) {
        Chart.scrollBottomAxis(PageSize, 1);
        CurrentPage = PageCount;
    }
    return CurrentPage;
}

void TChartControl::SetValueMaximum(double y)
{
    if (y != ValueMaximum) {
        ValueMaximum = y;
        Chart.setLeftAxisMaximum(y);
    }
}

void TChartControl::SetValueMinimum(double y)
{
    if (y != ValueMinimum) {
        ValueMinimum = y;
        Chart.setLeftAxisMinimum(y);
    }
}

qint32 TChartControl::FirstPage()
{
    if (PageCount <= 1 || CurrentPage == 1)
        return CurrentPage;
    Chart.scrollBottomAxis(-double(PageSize), backwardSteps(qint64(CurrentPage) - 1));
    CurrentPage = 1;
    Browsing = true;
    return CurrentPage;
}

qint32 TChartControl::PreviousPage()
{
    if (CurrentPage > 1) {
        Chart.scrollBottomAxis(-double(PageSize), backwardSteps(1));
        --CurrentPage;
        Browsing = true;
    }
    return CurrentPage;
}

qint32 TChartControl::NextPage()
{
    if (PageCount > 1 && PageCount != CurrentPage) {
        Chart.scrollBottomAxis(PageSize, 1);
        ++CurrentPage;
        Browsing = CurrentPage != PageCount;
    }
    return CurrentPage;
}

qint32 TChartControl::LastPage()
{
    if (PageCount <= 1 || PageCount == CurrentPage)
        return CurrentPage;
    Chart.scrollBottomAxis(PageSize, qint64(PageCount) - CurrentPage);
    CurrentPage = PageCount;
    Browsing = false;
    return CurrentPage;
}

void TChartControl::SetPageSize(qint32 n)
{
    if (n == PageSize || n < 1)
        return;
    PageSize = n;
    Chart.setBottomAxisRange(1, n);
    PageCount = countPages();
    Chart.scrollBottomAxis(n, qint64(PageCount) - 1);
    CurrentPage = PageCount;
    Browsing = false;
}

qint32 TChartControl::ClearChart()
{
    FirstPage();
    for (int series = 0; series < Chart.seriesCount(); ++series) {
        Chart.clearSeries(series);
        Chart.addValue(series, 0);
    }
    Browsing = false;
    return CurrentPage;
}

void TChartControl::SetFillVisible(bool b)
{
    if (b == FillVisible)
        return;
    FillVisible = b;
    if (Chart.seriesCount() > 0)
        Chart.setSeriesVisible(0, b);
}

qint64 TChartControl::backwardSteps(qint64 times) const
{
    const double room = std::floor((Chart.bottomAxisMinimum() - 1) / PageSize);
    return qint64(std::clamp(room, 0.0, double(std::max<qint64>(times, 0))));
}

qint32 TChartControl::countPages() const
{
    const qint64 n = Chart.seriesCount() > 0 ? Chart.pointCount(0) : 0;
    const qint64 size = PageSize;
    const qint64 pages = n / size + (n % size > 0 ? 1 : 0);
    // Beyond 2^31 pages the count cannot be represented; stop at the largest one.
    return qint32(std::min<qint64>(pages, std::numeric_limits<qint32>::max()));
}

void TChartControl::addToEverySeries(double y)
{
    for (int series = 0; series < Chart.seriesCount(); ++series)
        Chart.addValue(series, y);
}
