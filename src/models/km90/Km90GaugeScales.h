// SPDX-License-Identifier: MIT
#pragma once

#include "gauge/GaugeScale.h"

// The KM90's four gauge scales. Index 0: +-600 (power, voltage); 1: phase
// angle +-360; 2: temperature; 3: power factor +-1.
inline constexpr GaugeScaleTable km90GaugeScales { {
    { u"6", 600, 600, 600, 120 },
    { u"10", 360, 360, 360, 72 },
    { u"4", 400, 400, 400, 80 },
    { u"7", 1000, 1000, 1000, 200 },
} };
