// SPDX-License-Identifier: MIT
#pragma once

#include "gauge/GaugeScale.h"

// The KM50/KM60's four gauge scales. Index 0: +-600 (power, voltage); 1: +-100 %;
// 2: temperature -50 .. 1300; 3: power factor +-1.
inline constexpr GaugeScaleTable km50GaugeScales { {
    { u"6", 600, 600, 600, 120 },
    { u"10", 1000, 1000, 1000, 200 },
    { u"4", 400, 400, 400, 80 },
    { u"7", 1000, 1000, 1000, 200 },
} };
