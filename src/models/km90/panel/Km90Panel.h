// SPDX-License-Identifier: MIT
#pragma once

#include "models/common/lcd/LcdPanel.h"
#include "models/km90/Km90Display.h"

// The emulated LCD of the KM90 meter, Panel40: white, 357 × 275 at 4, 36 of
// the window, with the memory group Panel5, the main digit group, the voltage
// group Panel8 and the current group Panel6.
class Km90Panel : public LcdPanelOf<Km90Element>
{
    Q_OBJECT
public:
    // The state is the decoder's Km90Display (or any display state over the
    // KM90 element table); throws std::invalid_argument for another one.
    explicit Km90Panel(const LcdDisplayState &display, QWidget *parent = nullptr);
};

// Place, colour, groups and the look of every element of Panel40.
const LcdPanelLook &km90PanelLook();
