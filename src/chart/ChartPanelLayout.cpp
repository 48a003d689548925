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
