// SPDX-License-Identifier: MIT
#include "gauge/GaugeScale.h"

namespace {

// Index 0: +-600 (power, voltage); 1: phase angle (KM90) or +-100 % (KM50_60);
// 2: temperature -50 .. 1300; 3: power factor +-1.
constexpr GaugeScaleTable km90Table { {
    { u"6", 600, 600, 600, 120 },
    { u"10", 360, 360, 360, 72 },
    { u"4", 400, 400, 400, 80 },
    { u"7", 1000, 1000, 1000, 200 },
} };

constexpr GaugeScaleTable km50Table { {
    { u"6", 600, 600, 600, 120 },
    { u"10", 1000, 1000, 1000, 200 },
    { u"4", 400, 400, 400, 80 },
    { u"7", 1000, 1000, 1000, 200 },
} };

} // namespace

const GaugeScaleTable &gaugeScaleTable(MeterModel model)
{
    return model == MeterModel::Km90 ? km90Table : km50Table;
}

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
