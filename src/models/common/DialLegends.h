// SPDX-License-Identifier: MIT
#pragma once

#include "gauge/DialLegend.h"

#include <QStringList>

// Builds a dial legend of nine texts, one every `every` steps from step 0.
// Each text sits at an offset (dx, dy) from its anchor: the first and the
// last have their own, the seven between share the common ones.
struct DialLegendOffset
{
    int dx, dy;
};

inline DialLegend nineStepLegend(const QString &dialKey, int every, const QStringList &texts,
    DialLegendOffset first, DialLegendOffset last, int largeDotEvery)
{
    static constexpr DialLegendOffset common[8]
        = { { 5, 7 }, { 8, 6 }, { 10, 5 }, { 10, 4 }, { 3, 4 }, { 5, 5 }, { 8, 5 }, { 10, 6 } };
    DialLegend legend { dialKey, {}, largeDotEvery };
    for (int k = 0; k < 9; ++k) {
        const DialLegendOffset o = k == 0 ? first : (k == 8 ? last : common[k]);
        legend.entries.append({ k * every, texts[k], o.dx, o.dy });
    }
    return legend;
}
