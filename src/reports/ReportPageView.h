// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractScrollArea>

#include <memory>

class ReportDocument;

// Shows one page of a report on a grey desk, drawn when it is painted: nothing
// is kept per page, so a report of thousands of pages costs no more to show
// than one of a single page. The page is zoomed to fit the view, to its width,
// or shown at its real size (100 %, by the screen's logical resolution), and
// scrolls when it is larger than the view.
class ReportPageView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum class Zoom { FitPage, Actual, PageWidth };

    explicit ReportPageView(QWidget *parent = nullptr);

    void setReport(std::shared_ptr<const ReportDocument> report);
    void setPage(int page);
    int page() const { return m_page; }
    void setZoom(Zoom zoom);
    Zoom zoom() const { return m_zoom; }

    // Screen pixels per millimetre of paper at the current zoom, and the zoom
    // as a factor of the real size.
    double pixelsPerMm() const { return m_pixelsPerMm; }
    double zoomFactor() const;
    // Where the page lies in the viewport, in viewport pixels.
    QRectF pageRect() const;
    // How many times a page has been drawn since the view was made.
    int paintedPages() const { return m_paintedPages; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    double realPixelsPerMm() const;
    void updateScale();

    std::shared_ptr<const ReportDocument> m_report;
    int m_page = 1;
    Zoom m_zoom = Zoom::FitPage;
    double m_pixelsPerMm = 1;
    int m_paintedPages = 0;
};
