// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QStyle>

// The style's standard icon, the same pictures at every size, density and mode
// as QStyle::standardIcon, but reading each size's picture only when the icon is
// first drawn at that size. The built-in standard icons decode every size they
// hold (16, 32 and 128 pixels) when they are made, which cost a window with a
// few tool buttons milliseconds before its first paint.
//
// The pictures are read on demand when the style draws Qt's built-in pictures
// (no icon theme is set) and they are found where Qt keeps them; otherwise, and
// for pictures not known here, this is QStyle::standardIcon itself.
QIcon standardIconOnDemand(QStyle::StandardPixmap which, const QStyle *style);

// Whether standardIconOnDemand reads that icon's pictures on demand (rather
// than returning the style's own icon).
bool standardIconLoadsOnDemand(QStyle::StandardPixmap which, const QStyle *style);
