// SPDX-License-Identifier: MIT
#include "reports/ReportDesign.h"

using Kind = ReportElement::Kind;

ReportElement reportLabel(const char *text, double left, double down, double points)
{
    ReportElement e;
    e.text = QString::fromUtf8(text);
    e.leftMm = left;
    e.downMm = down;
    e.pointSize = points;
    return e;
}

namespace {

ReportElement field(int column, double left)
{
    ReportElement e;
    e.kind = Kind::Field;
    e.column = column;
    e.leftMm = left;
    e.downMm = 2.1;
    e.pointSize = 10;
    return e;
}

} // namespace

ReportBand reportPageHeader(const char *title, const char *titleName, bool underlined)
{
    ReportElement t = reportLabel(title, 0, 2.1, 14);
    t.name = QString::fromLatin1(titleName);
    t.bold = true;
    t.underline = underlined;
    t.centred = true;

    ReportElement date = reportLabel("", 171.5, 5.3, 7);
    date.kind = Kind::PrintDate;
    return { ReportHeaderBandMm, { t, reportLabel("Print Date:", 158.8, 5.3, 7), date } };
}

void addReportColumns(ReportDesign &d, std::initializer_list<ReportColumnSpec> columns)
{
    d.columnHeader.heightMm = ReportHeaderBandMm;
    d.detail.heightMm = ReportDetailBandMm;
    int column = 0;
    for (const ReportColumnSpec &c : columns) {
        d.columnHeader.elements.append(reportLabel(c.heading, c.headingLeft, 4.2, 10));
        d.detail.elements.append(field(column++, c.fieldLeft));
    }
}

QString reportTitle(const ReportDesign &design)
{
    for (const ReportElement &e : design.pageHeader.elements) {
        if (e.kind == Kind::Label && e.centred)
            return e.text;
    }
    return {};
}
