// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>

// What the demo meter sends: one loop through every function of the meter,
// measuring a load whose voltage, current and phase angle drift smoothly. Each
// function shows live readings, then MAX and MIN (the screen of the moment of
// the extreme; energy offers neither) and a HOLD of a second that freezes the
// screen and stores it in the next memory location; the readings range
// themselves like the meter's AUTO mode, so the decimal point moves; a leading
// load gives negative reactive power, power factor and phase angle; the
// temperature shows in degrees Fahrenheit on the second display. A current
// surge drives the main reading over range, the sum display follows, and the
// loop ends in a silence long enough for the programs' "meter silent" message.
//
// Deterministic: the same tour every time.
struct DemoStep
{
    QByteArray frame; // the frame's bytes (ending CR LF); empty for a silence
    int durationMs = 0; // from the start of this step to the start of the next
};

// The tours of the two meters (a model's description names its own).
QList<DemoStep> km90DemoScenario();
QList<DemoStep> km50DemoScenario();

// Time between the starts of two frames: the meter sends four a second. A KM90
// frame takes 108 ms on a 2400-baud line, so the line is idle between frames.
constexpr int kDemoFramePeriodMs = 250;
// The silence at the end of each loop. The programs call a meter silent after
// 1900 idle cable reports; a cable polling every 5 ms reaches that 9.5 s into
// the silence, and the programs' watchdog looks every 300 ms.
constexpr int kDemoSilenceMs = 12000;
