// SPDX-License-Identifier: MIT
#include "app/DeliverableTraits.h"

namespace {

DeliverableTraits km90Traits()
{
    DeliverableTraits t;
    t.model = MeterModel::Km90;
    t.programName = QStringLiteral("KM90");
    t.caption = QStringLiteral("KM90  Interface Program Ver:3.01");
    t.clientSize = QSize(739, 479);
    t.panel2 = QRect(8, 4, 105, 29);
    t.panel3 = QRect(653, 4, 81, 29);
    t.lcdPanelName = QStringLiteral("Panel40");
    t.lcdPanel = QRect(4, 36, 357, 275);
    t.panel7 = QRect(4, 314, 357, 26);
    t.grid = QRect(4, 344, 357, 129);
    t.gauge = QRect(364, 36, 369, 153);
    t.levelBar = QRect(364, 188, 369, 17);
    t.chart = QRect(364, 208, 371, 265);
    t.gridColumnWidths = { 35, 50, 48, 40, 51, 35, 51, 35 };
    return t;
}

DeliverableTraits km50Traits()
{
    DeliverableTraits t;
    t.model = MeterModel::Km50_60;
    t.programName = QStringLiteral("KM50_60");
    t.caption = QStringLiteral("KM50/60 Interface Program Ver2.01");
    t.clientSize = QSize(718, 454);
    t.panel2 = QRect(518, 2, 113, 29);
    t.panel3 = QRect(633, 2, 81, 29);
    t.lcdPanelName = QStringLiteral("Panel4");
    t.lcdPanel = QRect(4, 32, 337, 229);
    t.panel7 = QRect(4, 264, 337, 25);
    t.grid = QRect(4, 292, 337, 157);
    t.gauge = QRect(344, 32, 369, 153);
    t.levelBar = QRect(344, 188, 369, 17);
    t.chart = QRect(342, 208, 371, 241);
    t.gridColumnWidths = { 50, 81, 81, 70 };
    t.gridCentred = true;
    t.gridRowIndicator = true;
    t.exitClosesTable = true;
    t.clearAlwaysClearsChart = true;
    return t;
}

} // namespace

const DeliverableTraits &deliverableTraits(MeterModel model)
{
    static const DeliverableTraits km90 = km90Traits();
    static const DeliverableTraits km50 = km50Traits();
    return model == MeterModel::Km90 ? km90 : km50;
}
