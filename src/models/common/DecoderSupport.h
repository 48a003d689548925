// SPDX-License-Identifier: MIT
#pragma once

#include <QStringView>
#include <QtGlobal>

#include <algorithm>
#include <limits>
#include <span>

// Small pieces both decoders use.

// v, held inside the 32-bit range (gauge positions and bar sizes are 32-bit).
constexpr qint32 clampToInt(qint64 v)
{
    return qint32(std::clamp<qint64>(
        v, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

// The gauge scale and value-axis range a decoder chooses when the unit text of
// the main reading changes.
struct UnitScale
{
    QStringView unit;
    int index; // gauge scale
    double maximum; // the value axis runs from -maximum to maximum
};

// The entry of scales for unit, compared exactly; nullptr when there is none.
constexpr const UnitScale *findUnitScale(std::span<const UnitScale> scales, QStringView unit)
{
    for (const UnitScale &scale : scales) {
        if (scale.unit == unit)
            return &scale;
    }
    return nullptr;
}
