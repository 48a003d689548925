// SPDX-License-Identifier: MIT
#pragma once

#include "chart/ChartPanelLayout.h"
#include "core/CurrentReading.h"
#include "models/common/DecoderOutputs.h"
#include "models/common/FrameDecoder.h"

#include <memory>

// Small pieces the two model descriptions are built from.

// The decoder factory of a model description, for a decoder class.
template<class Decoder>
std::unique_ptr<FrameDecoder> makeDecoderOf(
    DecoderOutputs &outputs, CurrentReading &reading, const QString &localeDecimal)
{
    return std::make_unique<Decoder>(outputs, reading, localeDecimal);
}

// One control of the chart's tool row: its designer name, place and tool tip.
inline void addChartControl(
    ChartPanelLayout &layout, const char *name, QRect rect, const char *hint)
{
    layout.controls.append({ QString::fromLatin1(name), rect, QString::fromLatin1(hint) });
}
