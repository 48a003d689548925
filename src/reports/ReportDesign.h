// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

#include <QList>
#include <QString>

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
    MeterModel model = MeterModel::Km90;
    ReportBand pageHeader;
    ReportBand columnHeader;
    ReportBand detail;
    ReportBand pageFooter;

    friend bool operator==(const ReportDesign &, const ReportDesign &) = default;
};

// The report of each program: KM90 "KM90 Data Report" with eight columns and the
// page number at the right; KM50_60 "Test Data" with four columns and
// "The Page n Of m" at the left.
ReportDesign reportDesign(MeterModel model);

// The text of the title element (the centred label of the page header).
QString reportTitle(const ReportDesign &design);
