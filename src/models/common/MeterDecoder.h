// SPDX-License-Identifier: MIT
#pragma once

#include "core/CurrentReading.h"
#include "gauge/GaugeScale.h"
#include "models/common/DecoderOutputs.h"
#include "models/common/FrameDecoder.h"

#include <QString>

#include <utility>

// What each meter's decoder owns and shows in the same way: its display state
// (a Display), its gauge scale and the previous unit. It writes the reading it
// is given and makes every other call on the outputs.
template<typename Display>
class MeterDecoder : public FrameDecoder
{
public:
    const Display &display() const { return m_display; }
    Display &display() { return m_display; }
    const LcdDisplayState &lcd() const override { return m_display; }
    const GaugeScale &gaugeScale() const override { return m_scale; }
    // Unit of the last frame that got as far as the scale switch.
    const QString &previousUnit() const { return m_previousUnit; }
    const QString &localeDecimal() const { return m_localeDecimal; }

protected:
    MeterDecoder(DecoderOutputs &outputs, CurrentReading &reading, QString localeDecimal)
        : m_outputs(outputs)
        , m_reading(reading)
        , m_localeDecimal(std::move(localeDecimal))
    { }

    DecoderOutputs &m_outputs;
    CurrentReading &m_reading;
    const QString m_localeDecimal;
    Display m_display;
    GaugeScale m_scale;
    QString m_previousUnit;
};
