// SPDX-License-Identifier: MIT
#pragma once

#include "reports/ReportDesign.h"

#include <QString>

#include <memory>
#include <vector>

// The rows a report prints: a fixed number of rows of texts by column.
class ReportRows
{
public:
    virtual ~ReportRows() = default;
    virtual int rowCount() const = 0;
    // A field as it prints: No in decimal, a text as stored, empty when null.
    virtual QString fieldText(int row, int column) const = 0;
    // The same rows for a job on another thread, when these may change while
    // it runs (a snapshot that reads the live table); null when these rows
    // never change and may be read from any thread as they are.
    virtual std::shared_ptr<const ReportRows> copyForJob() const { return nullptr; }
};

// The paper, in millimetres; the same margin on all four sides.
struct PageGeometry
{
    double widthMm = 210;
    double heightMm = 297;
    double marginMm = 10;

    double printableWidthMm() const { return widthMm - 2 * marginMm; }
    double printableHeightMm() const { return heightMm - 2 * marginMm; }

    friend bool operator==(const PageGeometry &, const PageGeometry &) = default;
};

// What the report prints besides the table: the date it was laid out and the
// page count text of the footer (the Allpage element; empty where unused).
struct ReportStamp
{
    QString printDate;
    QString allPage;

    friend bool operator==(const ReportStamp &, const ReportStamp &) = default;
};

enum class ReportBandKind { PageHeader, ColumnHeader, Detail, PageFooter };

// One text of a page, where it goes and how it looks.
struct PlacedText
{
    QString text;
    // Top-left corner of the text's box, from the paper's top-left corner.
    double xMm = 0;
    double yMm = 0;
    // Centred texts: the width of the box the text is centred in (starting at
    // xMm); 0 for left-aligned texts.
    double centreWidthMm = 0;
    double pointSize = 10;
    bool bold = false;
    bool underline = false;
    ReportColour colour = ReportColour::Black;
    ReportBandKind band = ReportBandKind::PageHeader;
    int row = -1; // detail texts: the table row
    int column = -1; // detail texts: the table column

    friend bool operator==(const PlacedText &, const PlacedText &) = default;
};

// The pages of a report: a pure function of the design, the number of rows, the
// stamp and the paper. Pages are numbered from 1. Each page carries the page
// header and column header at its top, then up to rowsPerPage() detail rows in
// table order, and the page footer at the bottom of the printable area. An
// empty table still gives one page. Nothing is computed per page until asked
// for, so the cost of a layout does not depend on the number of pages.
class ReportLayout
{
public:
    ReportLayout(ReportDesign design, int rowCount, ReportStamp stamp, PageGeometry page = {});

    const ReportDesign &design() const { return m_design; }
    const ReportStamp &stamp() const { return m_stamp; }
    const PageGeometry &page() const { return m_page; }
    int rowCount() const { return m_rows; }
    int rowsPerPage() const { return m_rowsPerPage; }
    int pageCount() const { return m_pageCount; }

    // The first table row of a page and the number of rows it prints.
    int firstRow(int page) const;
    int rowsOnPage(int page) const;
    // The page that prints a table row.
    int pageOfRow(int row) const;

    // Distance of each band's top from the paper's top edge on every page;
    // detail rows follow one another from detailTopMm().
    double pageHeaderTopMm() const { return m_page.marginMm; }
    double columnHeaderTopMm() const;
    double detailTopMm() const;
    double pageFooterTopMm() const;

    // Every text of a page, band by band in print order, each band's elements
    // in design order. rows supplies the detail fields. An out-of-range page
    // gives nothing.
    std::vector<PlacedText> pageTexts(int page, const ReportRows &rows) const;

private:
    void placeBand(std::vector<PlacedText> &out, const ReportBand &band, ReportBandKind kind,
        double topMm, int page, int row, const ReportRows *rows) const;

    ReportDesign m_design;
    int m_rows;
    ReportStamp m_stamp;
    PageGeometry m_page;
    int m_rowsPerPage;
    int m_pageCount;
};

// Detail rows that fit on one page of the given paper for a design (at least 1).
int detailRowsPerPage(const ReportDesign &design, const PageGeometry &page = {});

// The page count of the footer (m): 1 for up to 37 rows, otherwise the rows
// divided by 37, rounded up; i.e. the pages of an A4 report.
int allPageCount(int rowCount);

// Width of a run of decimal digits in the report font (every digit of Arial and
// Liberation Sans is 0.556 em wide), for placing page numbers without a font.
double digitsWidthMm(int digits, double pointSize);
