// SPDX-License-Identifier: MIT
#include "reports/ReportLayout.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double MmPerPoint = 25.4 / 72.0;
// Arial's (and Liberation Sans') digit advance, in em.
constexpr double DigitEm = 0.556;
// Least space kept after a page number before the next footer text.
constexpr double NumberGapMm = 1.0;

int digitCount(const QString &text)
{
    return int(std::count_if(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }));
}

} // namespace

double digitsWidthMm(int digits, double pointSize)
{
    return digits * DigitEm * pointSize * MmPerPoint;
}

int detailRowsPerPage(const ReportDesign &design, const PageGeometry &page)
{
    const double fixed
        = design.pageHeader.heightMm + design.columnHeader.heightMm + design.pageFooter.heightMm;
    const double room = page.printableHeightMm() - fixed;
    if (!(design.detail.heightMm > 0) || !(room > 0))
        return 1;
    // A small tolerance so that an exact fit is not lost to rounding.
    const double rows = std::floor(room / design.detail.heightMm + 1e-9);
    return int(std::clamp(rows, 1.0, 1e6));
}

int allPageCount(int rowCount)
{
    constexpr int RowsPerA4Page = 37;
    if (rowCount <= RowsPerA4Page)
        return 1;
    return (rowCount + RowsPerA4Page - 1) / RowsPerA4Page;
}

ReportLayout::ReportLayout(ReportDesign design, int rowCount, ReportStamp stamp, PageGeometry page)
    : m_design(std::move(design))
    , m_rows(std::max(rowCount, 0))
    , m_stamp(std::move(stamp))
    , m_page(page)
    , m_rowsPerPage(detailRowsPerPage(m_design, m_page))
    , m_pageCount(std::max(1, int((qint64(m_rows) + m_rowsPerPage - 1) / m_rowsPerPage)))
{ }

int ReportLayout::firstRow(int page) const
{
    return int(std::clamp(qint64(page - 1) * m_rowsPerPage, qint64(0), qint64(m_rows)));
}

int ReportLayout::rowsOnPage(int page) const
{
    if (page < 1 || page > m_pageCount)
        return 0;
    return std::min(m_rowsPerPage, m_rows - firstRow(page));
}

int ReportLayout::pageOfRow(int row) const
{
    return row / m_rowsPerPage + 1;
}

double ReportLayout::columnHeaderTopMm() const
{
    return pageHeaderTopMm() + m_design.pageHeader.heightMm;
}

double ReportLayout::detailTopMm() const
{
    return columnHeaderTopMm() + m_design.columnHeader.heightMm;
}

double ReportLayout::pageFooterTopMm() const
{
    return m_page.marginMm + m_page.printableHeightMm() - m_design.pageFooter.heightMm;
}

std::vector<PlacedText> ReportLayout::pageTexts(int page, const ReportRows &rows) const
{
    std::vector<PlacedText> out;
    if (page < 1 || page > m_pageCount)
        return out;
    const int first = firstRow(page);
    const int count = rowsOnPage(page);
    out.reserve(m_design.pageHeader.elements.size() + m_design.columnHeader.elements.size()
        + m_design.pageFooter.elements.size() + count * m_design.detail.elements.size());

    placeBand(
        out, m_design.pageHeader, ReportBandKind::PageHeader, pageHeaderTopMm(), page, -1, nullptr);
    placeBand(out, m_design.columnHeader, ReportBandKind::ColumnHeader, columnHeaderTopMm(), page,
        -1, nullptr);
    for (int i = 0; i < count; ++i) {
        placeBand(out, m_design.detail, ReportBandKind::Detail,
            detailTopMm() + i * m_design.detail.heightMm, page, first + i, &rows);
    }
    placeBand(
        out, m_design.pageFooter, ReportBandKind::PageFooter, pageFooterTopMm(), page, -1, nullptr);
    return out;
}

void ReportLayout::placeBand(std::vector<PlacedText> &out, const ReportBand &band,
    ReportBandKind kind, double topMm, int page, int row, const ReportRows *rows) const
{
    const std::size_t start = out.size();
    for (const ReportElement &e : band.elements) {
        PlacedText t;
        switch (e.kind) {
        case ReportElement::Kind::Label:
            t.text = e.text;
            break;
        case ReportElement::Kind::Field:
            t.text = rows ? rows->fieldText(row, e.column) : QString();
            t.row = row;
            t.column = e.column;
            break;
        case ReportElement::Kind::PrintDate:
            t.text = m_stamp.printDate;
            break;
        case ReportElement::Kind::PageNumber:
            t.text = QString::number(page);
            break;
        case ReportElement::Kind::PageCount:
            t.text = m_stamp.allPage;
            break;
        }
        t.xMm = m_page.marginMm + (e.centred ? 0 : e.leftMm);
        t.yMm = topMm + e.downMm;
        t.centreWidthMm = e.centred ? m_page.printableWidthMm() : 0;
        t.pointSize = e.pointSize;
        t.bold = e.bold;
        t.underline = e.underline;
        t.colour = e.colour;
        t.band = kind;
        out.push_back(std::move(t));
    }

    // A long page number would run into the text after it (from five digits at
    // 8 pt in the "The Page n Of m" footer): move the texts to its right along
    // so that they stay readable. Shorter numbers keep the designed places.
    for (std::size_t i = start; i < out.size(); ++i) {
        const ReportElement &e = band.elements.at(qsizetype(i - start));
        if (e.centred
            || (e.kind != ReportElement::Kind::PageNumber
                && e.kind != ReportElement::Kind::PageCount))
            continue;
        const double end = out[i].xMm + digitsWidthMm(digitCount(out[i].text), e.pointSize);
        double shift = 0;
        for (std::size_t j = start; j < out.size(); ++j) {
            if (j != i && out[j].centreWidthMm == 0 && out[j].xMm > out[i].xMm)
                shift = std::max(shift, end + NumberGapMm - out[j].xMm);
        }
        if (shift <= 0)
            continue;
        for (std::size_t j = start; j < out.size(); ++j) {
            if (j != i && out[j].centreWidthMm == 0 && out[j].xMm > out[i].xMm)
                out[j].xMm += shift;
        }
    }
}
