// SPDX-License-Identifier: MIT
#pragma once

#include "core/CurrentReading.h"
#include "core/ReadingText.h"
#include "gauge/GaugeScale.h"
#include "models/common/DecoderOutputs.h"
#include "models/common/FrameDecoder.h"
#include "models/common/MeterDecoder.h"
#include "models/km50_60/Km50Display.h"

#include <QString>

// Decodes KM50/KM60 frames (21 FrameDigits characters) into the panel state,
// the reading's Value and Unit, and the calls to gauge, level bar, chart and
// recorder made through DecoderOutputs. KM50 and KM60 frames are alike.
//
// Between frames only Value, Unit, the previous unit and the gauge scale carry
// over; every frame starts from a blanked display. A character or value that
// cannot be read as a number ends the frame at that step with ConversionError:
// what the earlier steps set stays, and nothing is drawn, plotted or recorded.
class Km50Decoder : public MeterDecoder<Km50Display>
{
public:
    // Bytes in one frame, and FrameDigits characters.
    static constexpr int FrameLength = 21;

    // localeDecimal is inserted into Value at the meter's decimal point and
    // used again whenever Value is read back as a number.
    Km50Decoder(DecoderOutputs &outputs, CurrentReading &reading,
        QString localeDecimal = ReadingText::systemDecimalSeparator());

    MeterModel model() const override { return MeterModel::Km50_60; }

    void ShowData50(const QString &frame) override;

private:
    void switchScaleOnUnitChange();
};
