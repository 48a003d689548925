// SPDX-License-Identifier: MIT
#include "reports/ReportDesign.h"

namespace {

using Kind = ReportElement::Kind;

constexpr double HeaderBandMm = 10.6;
constexpr double DetailBandMm = 6.6;

ReportElement label(const char *text, double left, double down, double points)
{
    ReportElement e;
    e.text = QString::fromUtf8(text);
    e.leftMm = left;
    e.downMm = down;
    e.pointSize = points;
    return e;
}

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

ReportBand pageHeader(const char *title, const char *titleName, bool underlined)
{
    ReportElement t = label(title, 0, 2.1, 14);
    t.name = QString::fromLatin1(titleName);
    t.bold = true;
    t.underline = underlined;
    t.centred = true;

    ReportElement date = label("", 171.5, 5.3, 7);
    date.kind = Kind::PrintDate;
    return { HeaderBandMm, { t, label("Print Date:", 158.8, 5.3, 7), date } };
}

// One table column of the report: its heading above the field.
struct ColumnSpec
{
    const char *heading;
    double headingLeft;
    double fieldLeft;
};

void addColumns(ReportDesign &d, std::initializer_list<ColumnSpec> columns)
{
    d.columnHeader.heightMm = HeaderBandMm;
    d.detail.heightMm = DetailBandMm;
    int column = 0;
    for (const ColumnSpec &c : columns) {
        d.columnHeader.elements.append(label(c.heading, c.headingLeft, 4.2, 10));
        d.detail.elements.append(field(column++, c.fieldLeft));
    }
}

ReportDesign km90Design()
{
    ReportDesign d;
    d.model = MeterModel::Km90;
    d.pageHeader = pageHeader("KM90 Data Report", "km90", false);
    // The last four headings print in lower case with underscores, as written.
    addColumns(d,
        {
            { "No", 8.5, 8.5 },
            { "Time", 27.5, 25.4 },
            { "Value", 55.8, 55.0 },
            { "Unit", 76.2, 76.2 },
            { "v_value", 96.3, 96.3 },
            { "v_unit", 124.9, 124.9 },
            { "i_value", 146.1, 146.1 },
            { "i_unit", 167.2, 167.2 },
        });
    ReportElement page = label("", 178.9, 4.2, 8);
    page.kind = Kind::PageNumber;
    d.pageFooter = { HeaderBandMm, { page } };
    return d;
}

ReportDesign km50Design()
{
    ReportDesign d;
    d.model = MeterModel::Km50_60;
    d.pageHeader = pageHeader("Test Data", "", true);
    addColumns(d,
        {
            { "No", 8.5, 8.5 },
            { "Time", 33.9, 33.9 },
            { "Value", 66.4, 66.4 },
            { "Unit", 99.5, 99.5 },
        });
    ReportElement thePage = label("The Page", 8.5, 4.2, 10);
    thePage.colour = ReportColour::ToolTipText;
    ReportElement page = label("", 24.3, 4.2, 8);
    page.kind = Kind::PageNumber;
    page.colour = ReportColour::Blue;
    ReportElement count = label("", 37.0, 4.2, 9);
    count.kind = Kind::PageCount;
    count.name = QStringLiteral("Allpage");
    count.colour = ReportColour::Blue;
    d.pageFooter = { HeaderBandMm, { thePage, page, label("Of", 31.8, 4.2, 10), count } };
    return d;
}

} // namespace

ReportDesign reportDesign(MeterModel model)
{
    return model == MeterModel::Km90 ? km90Design() : km50Design();
}

QString reportTitle(const ReportDesign &design)
{
    for (const ReportElement &e : design.pageHeader.elements) {
        if (e.kind == Kind::Label && e.centred)
            return e.text;
    }
    return {};
}
