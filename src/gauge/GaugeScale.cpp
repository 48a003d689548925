// SPDX-License-Identifier: MIT
#include "gauge/GaugeScale.h"

void SelectGaugeScale(GaugeScale &scale, const GaugeScaleTable &table, int index)
{
    if (index < 0 || index >= int(table.size()))
        return;
    const GaugeScaleRow &row = table[size_t(index)];
    scale.DialKey = QString::fromUtf16(row.dialKey);
    scale.FullScale = row.fullScale;
    scale.ZeroOffset = row.zeroOffset;
    scale.BarMax = row.barMax;
    scale.Step = row.step;
}
