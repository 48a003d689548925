// SPDX-License-Identifier: MIT
#include "chart/ChartPanelLayout.h"

ChartControlPlace ChartPanelLayout::place(const QString &name) const
{
    for (const ChartControlPlace &control : controls) {
        if (control.name == name)
            return control;
    }
    return {};
}

ChartPanelLayout chartPanelLayout(MeterModel model)
{
    ChartPanelLayout layout;
    const auto c
        = [&](const char *name, int left, int top, int width, int height, const char *hint) {
              layout.controls.append({ QString::fromLatin1(name), QRect(left, top, width, height),
                  QString::fromLatin1(hint) });
          };
    if (model == MeterModel::Km90) {
        layout.chartSize = QSize(371, 265);
        c("BtFill", 3, 8, 36, 17, "Graphic Fill");
        c("Maxrecord", 46, 4, 41, 21, "");
        c("BtNew", 106, 4, 35, 21, "Delete Graphic");
        c("BtSave", 140, 4, 35, 21, "Save  Active Graphic");
        c("BtFirst", 174, 4, 25, 21, "First");
        c("BTPrevious", 198, 4, 25, 21, "Previous");
        c("Bt10", 222, 4, 25, 21, "Page No.");
        c("BtNext", 246, 4, 25, 21, "Next");
        c("BTlast", 270, 4, 25, 21, "last");
        c("TbFd", 334, 3, 25, 25, "Graphic Enlarge");
        c("TbSx", 334, 3, 25, 25, "Graphic Restore");
        layout.pageSizeTimerName = QStringLiteral("Timer_range");
        layout.pageSizeDelayMs = 1000;
        layout.rewritePageSizeText = true;
        layout.enlargedHeightAllowance = 75;
    } else {
        layout.chartSize = QSize(371, 241);
        c("BtFill", 1, 5, 36, 17, "Graphic Fill");
        c("Maxrecord", 48, 3, 41, 21, "");
        c("BtNew", 127, 3, 35, 21, "Delete Graphic");
        c("BtSave", 93, 3, 35, 21, "Save  Active Graphic");
        c("BtFirst", 163, 3, 25, 21, "First");
        c("BTPrevious", 187, 3, 25, 21, "Previous");
        c("Bt10", 211, 3, 25, 21, "Page No.");
        c("BtNext", 235, 3, 25, 21, "Next");
        c("BTlast", 263, 3, 25, 21, "last");
        c("TbFd", 288, 3, 25, 25, "Graphic Enlarge");
        c("TbSx", 288, 4, 25, 25, "Graphic Restore");
        layout.pageSizeTimerName = QStringLiteral("Timer2");
        layout.pageSizeDelayMs = 500;
        layout.rewritePageSizeText = false;
        layout.enlargedHeightAllowance = 90;
    }
    return layout;
}
