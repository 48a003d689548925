// SPDX-License-Identifier: MIT
#include "app/LcdPanelSlot.h"

#include "models/common/FrameDecoder.h"
#include "models/km50_60/panel/Km50Panel.h"
#include "models/km90/panel/Km90Panel.h"

LcdPanel *createLcdPanel(const DeliverableTraits &traits, FrameDecoder &decoder, QWidget *parent)
{
    if (traits.model == MeterModel::Km90)
        return new Km90Panel(decoder.lcd(), parent);
    return new Km50Panel(decoder.lcd(), parent);
}
