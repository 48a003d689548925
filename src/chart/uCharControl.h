// SPDX-License-Identifier: MIT
#pragma once

#include "chart/ChartSurface.h"

// Turns a chart into a paged strip chart. Every value given to AddValue becomes
// the next point of every series, at x = 1, 2, 3, ... (a point of value 0 sits at
// x = 0, left of page 1). Page k shows x from (k - 1) * PageSize + 1 to
// k * PageSize. While the user has not paged away (Browsing false) the view
// follows the newest page; the paging operations move it and report the page
// number for the page box.
//
// Two visible quirks are kept on purpose: while the points beyond x = 0 are an
// exact multiple of PageSize, CurrentPage is one ahead of the page on view (the
// view cannot scroll onto a page that holds no point yet), and ClearChart keeps
// the old PageCount until the next AddValue or SetPageSize.
//
// Paging back stops at page 1: the point at x = 0 lies left of page 1 and is
// never scrolled to on a page of its own (otherwise First or Previous, while the
// page number is one ahead, would show an empty page 1 - PageSize .. 0).
//
// Moving k pages at once (FirstPage, LastPage, SetPageSize) is one limit-checked
// scroll of k steps, computed in one go and redrawn once.
class TChartControl
{
public:
    // Create: drives `chart` (not owned) with `pageSize` points per page
    // (values below 1 are taken as 1).
    TChartControl(ChartSurface &chart, qint32 pageSize);

    TChartControl(const TChartControl &) = delete;
    TChartControl &operator=(const TChartControl &) = delete;

    qint32 AddValue(double y);
    void SetValueMaximum(double y);
    void SetValueMinimum(double y);
    qint32 FirstPage();
    qint32 PreviousPage();
    qint32 NextPage();
    qint32 LastPage();
    // n below 1 is ignored (the page-size entry never passes one).
    void SetPageSize(qint32 n);
    qint32 ClearChart();
    void SetFillVisible(bool b);

    ChartSurface &chart() const { return m_chart; }
    qint32 currentPage() const { return m_currentPage; }
    qint32 pageSize() const { return m_pageSize; }
    qint32 pageCount() const { return m_pageCount; }
    bool browsing() const { return m_browsing; }
    double valueMaximum() const { return m_valueMaximum; }
    double valueMinimum() const { return m_valueMinimum; }
    bool fillVisible() const { return m_fillVisible; }

private:
    // How many of `times` backward page scrolls keep the view on page 1 or later.
    qint64 backwardSteps(qint64 times) const;
    // Pages occupied by the points of series 0, in 64-bit arithmetic.
    qint32 countPages() const;
    void addToEverySeries(double y);

    ChartSurface &m_chart;
    qint32 m_currentPage = 0;
    qint32 m_pageSize = 0;
    qint32 m_pageCount = 0;
    bool m_browsing = false;
    double m_valueMaximum = 0;
    double m_valueMinimum = 0;
    bool m_fillVisible = false;
};
