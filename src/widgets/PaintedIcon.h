// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

#include <functional>

class QPainter;

// An icon drawn by code at whatever size and pixel density it is asked for,
// so that it stays sharp on scaled screens. draw paints the picture into the
// given rectangle (which has the picture's logical size times the density).
using IconPainter = std::function<void(QPainter &painter, const QRectF &box)>;
QIcon paintedIcon(IconPainter draw);
