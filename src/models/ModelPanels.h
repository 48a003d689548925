// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

class LcdDisplayState;
class LcdPanel;
class QWidget;

// Creates the emulated LCD of a model for its decoder's display state. The
// panel places itself at its rectangle in the window and shows the state as it
// was at its last refresh().
LcdPanel *createLcdPanel(MeterModel model, const LcdDisplayState &state, QWidget *parent);
