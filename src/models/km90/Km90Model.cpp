// SPDX-License-Identifier: MIT
#include "models/km90/Km90Model.h"

#include "models/ModelDescription.h"
#include "models/common/DescriptionSupport.h"
#include "models/common/DialLegends.h"
#include "models/km90/Km90Decoder.h"
#include "models/km90/Km90GaugeScales.h"

namespace {

ChartPanelLayout chartLayout()
{
    ChartPanelLayout layout;
    layout.chartSize = QSize(371, 265);
    addChartControl(layout, "BtFill", QRect(3, 8, 36, 17), "Graphic Fill");
    addChartControl(layout, "Maxrecord", QRect(46, 4, 41, 21), "");
    addChartControl(layout, "BtNew", QRect(106, 4, 35, 21), "Delete Graphic");
    addChartControl(layout, "BtSave", QRect(140, 4, 35, 21), "Save  Active Graphic");
    addChartControl(layout, "BtFirst", QRect(174, 4, 25, 21), "First");
    addChartControl(layout, "BTPrevious", QRect(198, 4, 25, 21), "Previous");
    addChartControl(layout, "Bt10", QRect(222, 4, 25, 21), "Page No.");
    addChartControl(layout, "BtNext", QRect(246, 4, 25, 21), "Next");
    addChartControl(layout, "BTlast", QRect(270, 4, 25, 21), "last");
    addChartControl(layout, "TbFd", QRect(334, 3, 25, 25), "Graphic Enlarge");
    addChartControl(layout, "TbSx", QRect(334, 3, 25, 25), "Graphic Restore");
    layout.pageSizeTimerName = QStringLiteral("Timer_range");
    layout.pageSizeDelayMs = 1000;
    layout.rewritePageSizeText = true;
    layout.enlargedHeightAllowance = 75;
    return layout;
}

ReportDesign reportDesign()
{
    ReportDesign d;
    d.model = MeterModel::Km90;
    d.pageHeader = reportPageHeader("KM90 Data Report", "km90", false);
    // The last four headings print in lower case with underscores, as written.
    addReportColumns(d,
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
    ReportElement page = reportLabel("", 178.9, 4.2, 8);
    page.kind = ReportElement::Kind::PageNumber;
    d.pageFooter = { ReportHeaderBandMm, { page } };
    return d;
}

WindowLayout windowLayout()
{
    WindowLayout w;
    w.caption = QStringLiteral("KM90  Interface Program Ver:3.01");
    w.captionBeforeDial = true;
    w.clientSize = QSize(739, 479);
    w.panel2 = QRect(8, 4, 105, 29);
    w.panel3 = QRect(653, 4, 81, 29);
    w.panel7 = QRect(4, 314, 357, 26);
    w.grid = QRect(4, 344, 357, 129);
    w.gauge = QRect(364, 36, 369, 153);
    w.levelBar = QRect(364, 188, 369, 17);
    w.chart = QRect(364, 208, 371, 265);
    w.gridColumnWidths = { 35, 50, 48, 40, 51, 35, 51, 35 };
    w.gridWidestValues = { QStringLiteral("10000000"), QStringLiteral("88:88:88"),
        QStringLiteral("-88.88"), QStringLiteral("KVAr"), QStringLiteral("888.8"),
        QStringLiteral("v"), QStringLiteral("888.8"), QStringLiteral("A") };
    return w;
}

ModelDescription describe()
{
    ModelDescription m;
    m.model = MeterModel::Km90;
    m.name = QStringLiteral("km90");
    m.programName = QStringLiteral("KM90");
    m.frameLength = Km90Decoder::FrameLength;
    m.link = { QStringLiteral("Connect"), QStringLiteral("Disconnect") };

    m.makeDecoder = &makeDecoderOf<Km90Decoder>;
    m.gaugeScales = &km90GaugeScales;
    m.dialLegends = {
        nineStepLegend(QStringLiteral("6"), 15,
            { "-600", "-450", "-300", "-150", "0", "150", "300", "450", "600" }, { 5, 7 },
            { 15, 7 }, 15),
        nineStepLegend(QStringLiteral("10"), 9,
            { "-360", "-270", "-180", "-90", "0", "90", "180", "270", "360" }, { 5, 7 }, { 15, 8 },
            9),
        nineStepLegend(QStringLiteral("7"), 25,
            { "-1", "-0.75", "-0.50", "-0.25", "0", "0.25", "0.50", "0.75", "1" }, { 1, 7 },
            { 10, 2 }, 0),
        // The temperature dial has dots but no legend.
        DialLegend { QStringLiteral("4"), {}, 10 },
    };

    m.columns = { QStringLiteral("No"), QStringLiteral("Time"), QStringLiteral("Value"),
        QStringLiteral("Unit"), QStringLiteral("V_Value"), QStringLiteral("V_Unit"),
        QStringLiteral("I_Value"), QStringLiteral("I_Unit") };
    m.rowHasVoltageAndCurrent = true;
    m.tableFiles.xmlSaveExtensionCase = Qt::CaseSensitive;
    m.tableFiles.xmlSaveIsSilent = true;
    m.tableFiles.saveOffersLastName = false;
    m.tableFiles.loadErrorOwnedByWindow = true;
    m.tableFiles.repaintAfterOpen = false;

    m.chart = chartLayout();
    m.clearAlwaysClearsChart = false;
    m.report = reportDesign();
    m.reportCountsPages = false;
    m.window = windowLayout();
    m.demoScenario = &km90DemoScenario;
    return m;
}

} // namespace

const ModelDescription &km90Model()
{
    static const ModelDescription model = describe();
    return model;
}
