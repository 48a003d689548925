// SPDX-License-Identifier: MIT
#pragma once

#include "core/CurrentReading.h"
#include "core/ReadingText.h"
#include "gauge/GaugeScale.h"
#include "models/common/DecoderOutputs.h"
#include "models/common/FrameDecoder.h"
#include "models/common/MeterDecoder.h"
#include "models/km90/Km90Display.h"

#include <QString>

// Decodes KM90 frames (26 FrameDigits characters) into the panel state, the six
// fields of the reading, and the calls to gauge, level bar, recorder and chart
// made through DecoderOutputs.
//
// Between frames the previous unit, the gauge scale, the reading and the panel
// state carry over; elements the blanking does not touch keep their state. A
// character or value that cannot be read as a number ends the frame at that
// step with ConversionError: what earlier steps set stays, and nothing is
// drawn, recorded or plotted.
class Km90Decoder : public MeterDecoder<Km90Display>
{
public:
    // Bytes in one frame, and FrameDigits characters.
    static constexpr int FrameLength = 26;

    // localeDecimal is inserted into the value texts at the meter's decimal
    // points and used again whenever Value is read back as a number.
    Km90Decoder(DecoderOutputs &outputs, CurrentReading &reading,
        QString localeDecimal = ReadingText::systemDecimalSeparator());

    MeterModel model() const override { return MeterModel::Km90; }

    void ShowData50(const QString &frame) override;

private:
    void switchScaleOnUnitChange();
};
