// SPDX-License-Identifier: MIT
#pragma once

#include "reports/ReportLayout.h"

#include <QDate>

#include <memory>
#include <optional>

class ReadingTable;

// A laid-out report: its design, its rows, its stamp and its pages. Built once
// when a report is opened (or loaded from a report file) and then only read;
// pages are produced when asked for.
class ReportDocument
{
public:
    ReportDocument(ReportDesign design, std::shared_ptr<const ReportRows> rows, ReportStamp stamp,
        PageGeometry page = {});

    const ReportLayout &layout() const { return m_layout; }
    const ReportDesign &design() const { return m_layout.design(); }
    const ReportStamp &stamp() const { return m_layout.stamp(); }
    const ReportRows &rows() const { return *m_rows; }
    int pageCount() const { return m_layout.pageCount(); }
    QString title() const { return reportTitle(design()); }

    // The same report over rows that a job on another thread may read while
    // the window's thread goes on (see ReportRows::copyForJob).
    std::shared_ptr<const ReportDocument> copyForJob() const;

    // Every text of a page (1-based); nothing for a page out of range.
    std::vector<PlacedText> pageTexts(int page) const { return m_layout.pageTexts(page, *m_rows); }

private:
    std::shared_ptr<const ReportRows> m_rows;
    ReportLayout m_layout;
};

// The print date as the report shows it: the date in the system's short format.
QString reportDateText(const QDate &date = QDate::currentDate());

// Writes the page count m, in decimal, into the stamp's Allpage text. Runs each
// time a KM50_60 report is laid out.
void Report1BeforePrint(ReportStamp &stamp, int m);

// The report of a reading table as it is now: the program's design over a
// snapshot of the rows (see TableSnapshot), stamped with printDate. pageCountM
// is the page count a KM50_60 footer prints (written by Report1BeforePrint);
// KM90 has no such element and ignores it.
std::shared_ptr<ReportDocument> layOutTableReport(
    const ReadingTable &table, const QString &printDate, std::optional<int> pageCountM);
