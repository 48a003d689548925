// SPDX-License-Identifier: MIT
#include "models/km50_60/Km50Model.h"

#include "models/ModelDescription.h"
#include "models/common/DescriptionSupport.h"
#include "models/common/DialLegends.h"
#include "models/km50_60/Km50Decoder.h"
#include "models/km50_60/Km50GaugeScales.h"

namespace {

ChartPanelLayout chartLayout()
{
    ChartPanelLayout layout;
    layout.chartSize = QSize(371, 241);
    addChartControl(layout, "BtFill", QRect(1, 5, 36, 17), "Graphic Fill");
    addChartControl(layout, "Maxrecord", QRect(48, 3, 41, 21), "");
    addChartControl(layout, "BtNew", QRect(127, 3, 35, 21), "Delete Graphic");
    addChartControl(layout, "BtSave", QRect(93, 3, 35, 21), "Save  Active Graphic");
    addChartControl(layout, "BtFirst", QRect(163, 3, 25, 21), "First");
    addChartControl(layout, "BTPrevious", QRect(187, 3, 25, 21), "Previous");
    addChartControl(layout, "Bt10", QRect(211, 3, 25, 21), "Page No.");
    addChartControl(layout, "BtNext", QRect(235, 3, 25, 21), "Next");
    addChartControl(layout, "BTlast", QRect(263, 3, 25, 21), "last");
    addChartControl(layout, "TbFd", QRect(288, 3, 25, 25), "Graphic Enlarge");
    addChartControl(layout, "TbSx", QRect(288, 4, 25, 25), "Graphic Restore");
    layout.pageSizeTimerName = QStringLiteral("Timer2");
    layout.pageSizeDelayMs = 500;
    layout.rewritePageSizeText = false;
    layout.enlargedHeightAllowance = 90;
    return layout;
}

ReportDesign reportDesign()
{
    using Kind = ReportElement::Kind;
    ReportDesign d;
    d.model = MeterModel::Km50_60;
    d.pageHeader = reportPageHeader("Test Data", "", true);
    addReportColumns(d,
        {
            { "No", 8.5, 8.5 },
            { "Time", 33.9, 33.9 },
            { "Value", 66.4, 66.4 },
            { "Unit", 99.5, 99.5 },
        });
    ReportElement thePage = reportLabel("The Page", 8.5, 4.2, 10);
    thePage.colour = ReportColour::ToolTipText;
    ReportElement page = reportLabel("", 24.3, 4.2, 8);
    page.kind = Kind::PageNumber;
    page.colour = ReportColour::Blue;
    ReportElement count = reportLabel("", 37.0, 4.2, 9);
    count.kind = Kind::PageCount;
    count.name = QStringLiteral("Allpage");
    count.colour = ReportColour::Blue;
    d.pageFooter
        = { ReportHeaderBandMm, { thePage, page, reportLabel("Of", 31.8, 4.2, 10), count } };
    return d;
}

WindowLayout windowLayout()
{
    WindowLayout w;
    w.caption = QStringLiteral("KM50/60 Interface Program Ver2.01");
    w.captionBeforeDial = false;
    w.clientSize = QSize(718, 454);
    w.panel2 = QRect(518, 2, 113, 29);
    w.panel3 = QRect(633, 2, 81, 29);
    w.panel7 = QRect(4, 264, 337, 25);
    w.grid = QRect(4, 292, 337, 157);
    w.gauge = QRect(344, 32, 369, 153);
    w.levelBar = QRect(344, 188, 369, 17);
    w.chart = QRect(342, 208, 371, 241);
    w.gridColumnWidths = { 50, 81, 81, 70 };
    w.gridWidestValues = { QStringLiteral("10000000"), QStringLiteral("88:88:88"),
        QStringLiteral("-88.88"), QStringLiteral("KWh") };
    w.gridCentred = true;
    w.gridRowIndicator = true;
    w.exitClosesTable = true;
    return w;
}

ModelDescription describe()
{
    ModelDescription m;
    m.model = MeterModel::Km50_60;
    m.name = QStringLiteral("km50_60");
    m.programName = QStringLiteral("KM50_60");
    m.frameLength = Km50Decoder::FrameLength;
    m.link = { QStringLiteral("CONNECT"), QStringLiteral("DISCONNECT") };

    m.makeDecoder = &makeDecoderOf<Km50Decoder>;
    m.gaugeScales = &km50GaugeScales;
    m.dialLegends = {
        nineStepLegend(QStringLiteral("6"), 15,
            { "-600", "-450", "-300", "-150", "0", "150", "300", "450", "600" }, { 5, 7 },
            { 15, 7 }, 15),
        nineStepLegend(QStringLiteral("10"), 25,
            { "-100", "-75", "-50", "-25", "0", "25", "50", "75", "100" }, { 5, 7 }, { 15, 8 }, 25),
        nineStepLegend(QStringLiteral("7"), 25,
            { "-1", "-0.75", "-0.50", "-0.25", "0", "0.25", "0.5", "0.75", "1" }, { 1, 7 },
            { 10, 8 }, 0),
        // Unequal steps below zero: the legend marks -50, -30, -20, -10.
        nineStepLegend(QStringLiteral("4"), 10,
            { "-50", "-30", "-20", "-10", "0", "325", "650", "975", "1300" }, { 5, 7 }, { 21, 14 },
            10),
    };

    m.columns = { QStringLiteral("No"), QStringLiteral("time"), QStringLiteral("Value"),
        QStringLiteral("Unit") };
    m.rowHasVoltageAndCurrent = false;
    m.tableFiles.xmlSaveExtensionCase = Qt::CaseInsensitive;
    m.tableFiles.xmlSaveIsSilent = false;
    m.tableFiles.saveOffersLastName = true;
    m.tableFiles.loadErrorOwnedByWindow = false;
    m.tableFiles.repaintAfterOpen = true;

    m.chart = chartLayout();
    m.clearAlwaysClearsChart = true;
    m.report = reportDesign();
    m.reportCountsPages = true;
    m.window = windowLayout();
    m.demoScenario = &km50DemoScenario;
    return m;
}

} // namespace

const ModelDescription &km50Model()
{
    static const ModelDescription model = describe();
    return model;
}
