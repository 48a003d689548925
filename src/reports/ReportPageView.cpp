// SPDX-License-Identifier: MIT
#include "reports/ReportPageView.h"

#include "reports/ReportDocument.h"
#include "reports/ReportPainter.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace {

// Grey desk around the page, in pixels.
constexpr int DeskMargin = 12;

} // namespace

ReportPageView::ReportPageView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("pageView"));
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

QSize ReportPageView::sizeHint() const
{
    return { 640, 760 };
}

void ReportPageView::setReport(std::shared_ptr<const ReportDocument> report)
{
    m_report = std::move(report);
    m_page = 1;
    updateScale();
    viewport()->update();
}

void ReportPageView::setPage(int page)
{
    if (page == m_page)
        return;
    m_page = page;
    // A new page starts at its top.
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void ReportPageView::setZoom(Zoom zoom)
{
    m_zoom = zoom;
    updateScale();
    viewport()->update();
}

double ReportPageView::realPixelsPerMm() const
{
    return logicalDpiX() / 25.4;
}

double ReportPageView::zoomFactor() const
{
    return m_pixelsPerMm / realPixelsPerMm();
}

void ReportPageView::updateScale()
{
    PageGeometry paper;
    if (m_report)
        paper = m_report->layout().page();
    const QSize full = maximumViewportSize();
    const double room = 2.0 * DeskMargin;
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    switch (m_zoom) {
    case Zoom::Actual:
        m_pixelsPerMm = realPixelsPerMm();
        break;
    case Zoom::FitPage:
        m_pixelsPerMm = std::min(
            (full.width() - room) / paper.widthMm, (full.height() - room) / paper.heightMm);
        break;
    case Zoom::PageWidth:
        m_pixelsPerMm = (full.width() - room) / paper.widthMm;
        // The page runs past the bottom: the vertical bar takes its share.
        if (paper.heightMm * m_pixelsPerMm + room > full.height())
            m_pixelsPerMm = (full.width() - barWidth - room) / paper.widthMm;
        break;
    }
    m_pixelsPerMm = std::max(m_pixelsPerMm, 0.05);

    const QSize content(int(std::ceil(paper.widthMm * m_pixelsPerMm + room)),
        int(std::ceil(paper.heightMm * m_pixelsPerMm + room)));
    // Set the bars as the area will be once they are shown or hidden.
    const bool needV = content.height() > full.height();
    const bool needH = content.width() > full.width() - (needV ? barWidth : 0);
    const QSize view(full.width() - (needV ? barWidth : 0), full.height() - (needH ? barWidth : 0));
    horizontalScrollBar()->setRange(0, std::max(0, content.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setRange(0, std::max(0, content.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
}

QRectF ReportPageView::pageRect() const
{
    PageGeometry paper;
    if (m_report)
        paper = m_report->layout().page();
    const QSizeF size(paper.widthMm * m_pixelsPerMm, paper.heightMm * m_pixelsPerMm);
    const QSize view = viewport()->size();
    const double x = size.width() + 2 * DeskMargin <= view.width()
        ? (view.width() - size.width()) / 2
        : DeskMargin - horizontalScrollBar()->value();
    const double y = size.height() + 2 * DeskMargin <= view.height()
        ? (view.height() - size.height()) / 2
        : DeskMargin - verticalScrollBar()->value();
    return { QPointF(x, y), size };
}

void ReportPageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), QColor(0x80, 0x80, 0x80));
    if (!m_report)
        return;
    const QRectF page = pageRect();
    painter.fillRect(page.translated(3, 3), QColor(0x50, 0x50, 0x50));
    painter.fillRect(page, Qt::white);
    painter.setClipRect(page.intersected(QRectF(event->rect())));
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(page.topLeft());
    const double scale = m_pixelsPerMm / realPixelsPerMm();
    painter.scale(scale, scale);
    paintReportPage(painter, *m_report, m_page);
    ++m_paintedPages;
}

void ReportPageView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScale();
}

void ReportPageView::scrollContentsBy(int, int)
{
    viewport()->update();
}
