// SPDX-License-Identifier: MIT
#pragma once

#include "models/common/lcd/LcdPanel.h"
#include "models/km50_60/Km50Display.h"

// The emulated LCD of the KM50/KM60 meter, Panel4: light grey, 337 × 229 at
// 4, 32 of the window, with the memory panel Panel5, the secondary display
// Panel6 and the main display as sub-panels.
class Km50Panel : public LcdPanelOf<Km50Element>
{
    Q_OBJECT
public:
    // The state is the decoder's Km50Display (or any display state over the
    // KM50/KM60 element table); throws std::invalid_argument for another one.
    explicit Km50Panel(const LcdDisplayState &display, QWidget *parent = nullptr);
};

// Place, colour, sub-panels and the look of every element of Panel4.
const LcdPanelLook &km50PanelLook();
