// SPDX-License-Identifier: MIT
#include "reports/ReportDocument.h"

#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"
#include "reports/TableSnapshot.h"

#include <QLocale>

ReportDocument::ReportDocument(ReportDesign design, std::shared_ptr<const ReportRows> rows,
    ReportStamp stamp, PageGeometry page)
    : m_rows(std::move(rows))
    , m_layout(std::move(design), m_rows->rowCount(), std::move(stamp), page)
{ }

std::shared_ptr<const ReportDocument> ReportDocument::copyForJob() const
{
    std::shared_ptr<const ReportRows> rows = m_rows->copyForJob();
    if (!rows)
        rows = m_rows;
    return std::make_shared<ReportDocument>(design(), std::move(rows), stamp(), m_layout.page());
}

QString reportDateText(const QDate &date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

void Report1BeforePrint(ReportStamp &stamp, int m)
{
    stamp.allPage = QString::number(m);
}

std::shared_ptr<ReportDocument> layOutTableReport(
    const ReadingTable &table, const QString &printDate, std::optional<int> pageCountM)
{
    const ModelDescription &model = modelDescription(table.meterModel());
    ReportDesign design = model.report;
    ReportStamp stamp { printDate, {} };
    if (model.reportCountsPages && pageCountM)
        Report1BeforePrint(stamp, *pageCountM);
    return std::make_shared<ReportDocument>(
        std::move(design), std::make_shared<TableSnapshot>(table), std::move(stamp));
}
