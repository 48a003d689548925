// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <functional>

// Runs work once the window's first complete frame is on the screen. The
// window's first paint event belongs to a repaint that paints the whole window
// and then flushes it; work queued from that event runs once the repaint has
// returned. Start-up work that the first frame does not show waits there
// (a zero timer started before show() may run before the first paint: the
// window system's expose event comes later). Nothing runs when the window goes
// before its first paint.
void afterFirstPaint(QWidget &window, std::function<void()> work);
