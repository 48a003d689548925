// SPDX-License-Identifier: MIT
#pragma once

#include "DeliverableTraits.h"

class FrameDecoder;
class QWidget;

// Creates the emulated LCD of the program at its place in the window. The
// widget shows the decoder's display state; the window repaints it after every
// frame.
QWidget *createLcdPanel(const DeliverableTraits &traits, FrameDecoder &decoder, QWidget *parent);
