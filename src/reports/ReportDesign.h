// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

#include <QList>
#include <QString>

#include <initializer_list>

// The banded design of the printed report: four bands (page header, column
// header, detail, page footer) whose elements sit at fixed millimetre positions.
// Lengths are millimetres: left from the page's left margin, down from the top
// of the band. Point sizes are for the report font (Arial, or the metric
// twin Liberation Sans).

enum class ReportColour { Black, Blue, ToolTipText };

struct ReportElement
{
    enum class Kind {
        Label, // fixed text
        Field, // a field of the current table row (detail band)
        PrintDate, // the date the report was laid out, system short format
        PageNumber, // number of the page being printed
        PageCount, // the page count written into the footer (Allpage)
    };

    Kind kind = Kind::Label;
    QString name; // element name where the report gives one ("km90", "Allpage")
    QString text; // Label: the text
    int column = -1; // Field: column of the reading table
    double leftMm = 0;
    double downMm = 0;
    double pointSize = 10;
    bool bold = false;
    bool underline = false;
    // Centred across the band's width instead of left-aligned at leftMm.
    bool centred = false;
    ReportColour colour = ReportColour::Black;

    friend bool operator==(const ReportElement &, const ReportElement &) = default;
};

struct ReportBand
{
    double heightMm = 0;
    QList<ReportElement> elements;

    friend bool operator==(const ReportBand &, const ReportBand &) = default;
};

struct ReportDesign
{
    MeterModel model {};
    ReportBand pageHeader;
    ReportBand columnHeader;
    ReportBand detail;
    ReportBand pageFooter;

    friend bool operator==(const ReportDesign &, const ReportDesign &) = default;
};

// Bands are 10.6 mm high (headers, footer) and 6.6 mm (one detail row).
inline constexpr double ReportHeaderBandMm = 10.6;
inline constexpr double ReportDetailBandMm = 6.6;

// Building blocks of the two programs' designs (each model's design is in its
// folder under models/).
// A fixed text at a place, in a point size.
ReportElement reportLabel(const char *text, double left, double down, double points);
// The page header: the bold centred title (named titleName, underlined or not)
// and "Print Date:" with the date at the right.
ReportBand reportPageHeader(const char *title, const char *titleName, bool underlined);
// One table column of the report: its heading above the field.
struct ReportColumnSpec
{
    const char *heading;
    double headingLeft;
    double fieldLeft;
};
// Fills the column header and detail bands with one heading and one field per
// column, the columns in table order.
void addReportColumns(ReportDesign &d, std::initializer_list<ReportColumnSpec> columns);

// The text of the title element (the centred label of the page header).
QString reportTitle(const ReportDesign &design);
