// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>

// The enlarge / restore toggle of the chart (both chart images run it). The
// chart counts as in its normal place while its top edge is more than 50 pixels
// below the top of the client area; then it is enlarged to lie over everything
// below the top 30 pixels of the window, otherwise it gets its remembered bounds back.
struct ChartEnlargement
{
    int windowOuterHeight = 0; // the window's height with its frame, after the toggle
    QRect chart; // chart bounds in client coordinates, after the toggle
    QRect remembered; // bounds the next restore gives back
    bool enlarged = false; // true: the enlarge image is hidden and the restore image shown
};

// windowOuter: the main window's size with its frame. heightAllowance: what the
// enlarged chart leaves of the outer height (75 in KM90, 90 in KM50_60).
// A window taller than 600 pixels is first brought to 564.
ChartEnlargement toggleChartEnlargement(
    QSize windowOuter, const QRect &chart, const QRect &remembered, int heightAllowance);
