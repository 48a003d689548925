// SPDX-License-Identifier: MIT
#pragma once

#include "app/DeliverableTraits.h"

class FrameDecoder;
class LcdPanel;
class QWidget;

// Creates the emulated LCD of the program at its place in the window. The panel
// shows the decoder's display state as it was at its last refresh(); the window
// refreshes it once after every frame.
LcdPanel *createLcdPanel(const DeliverableTraits &traits, FrameDecoder &decoder, QWidget *parent);
