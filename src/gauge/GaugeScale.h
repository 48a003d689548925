// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <array>

// The scale shared by the analog gauge, the level bar and the chart value of an
// overloaded reading. Gauge positions run over 0 .. 10 * Step with a zero
// reading at ZeroOffset, the middle of the span.
struct GaugeScale
{
    QString DialKey = QStringLiteral("6");
    qint32 FullScale = 600;
    qint32 ZeroOffset = 600;
    qint32 BarMax = 60; // the level bar's maximum before any scale is chosen
    qint32 Step = 120;

    friend bool operator==(const GaugeScale &, const GaugeScale &) = default;
};

// One row of a meter model's scale table (each model has four, by index; the
// tables are in the models' folders).
struct GaugeScaleRow
{
    const char16_t *dialKey;
    qint32 fullScale;
    qint32 zeroOffset;
    qint32 barMax;
    qint32 step;
};

using GaugeScaleTable = std::array<GaugeScaleRow, 4>;

// Loads row index (0..3) of the table into scale; any other index changes nothing.
// Draws nothing: the caller redraws the dial afterwards.
void SelectGaugeScale(GaugeScale &scale, const GaugeScaleTable &table, int index);
