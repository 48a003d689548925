// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"
#include "gauge/GaugeScale.h"
#include "models/common/LcdDisplayState.h"

#include <QString>

// What the link and the programs need of either meter's decoder.
class FrameDecoder
{
public:
    virtual ~FrameDecoder() = default;

    virtual MeterModel model() const = 0;

    // Decodes one FrameDigits text. Throws ConversionError when a character or
    // value that is read as a number is not one; what earlier steps set stays.
    virtual void ShowData50(const QString &frame) = 0;

    // The emulated LCD after the last frame.
    virtual const LcdDisplayState &lcd() const = 0;
    virtual const GaugeScale &gaugeScale() const = 0;
};
