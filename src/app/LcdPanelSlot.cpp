// SPDX-License-Identifier: MIT
#include "LcdPanelSlot.h"

#include "FrameDecoder.h"
#include "Km50Panel.h"
#include "Km90Panel.h"

LcdPanel *createLcdPanel(const DeliverableTraits &traits, FrameDecoder &decoder, QWidget *parent)
{
    if (traits.model == MeterModel::Km90)
        return new Km90Panel(decoder.lcd(), parent);
    return new Km50Panel(decoder.lcd(), parent);
}
