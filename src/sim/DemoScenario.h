// SPDX-License-Identifier: MIT
#pragma once

#include "MeterModel.h"

#include <QByteArray>
#include <QList>

// What the demo meter sends: one loop of frames through every function of the
// meter with smoothly changing readings, point codes, a minus sign, an
// overload, HOLD, MAX/MIN, memory numbers and the sum display, ending in a
// silence long enough for the programs' "meter silent" message. Deterministic:
// the same model gives the same loop every time.
struct DemoStep
{
    QByteArray frame; // the frame's bytes (ending CR LF); empty for a silence
    int silenceMs = 0; // how long the meter stays silent (only for a silence)
};

QList<DemoStep> demoScenario(MeterModel model);

// Time between the starts of two frames: the meter sends about eight a second,
// a KM90 frame taking 108 ms on the line, so at least two idle polls end each frame.
constexpr int kDemoFramePeriodMs = 120;
// The silence at the end of each loop: well over 1900 cable polls of 5 ms.
constexpr int kDemoSilenceMs = 11000;
