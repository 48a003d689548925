// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QProxyStyle>

// Standard icons of the style that read each size's picture only when the icon
// is first drawn at that size, with the same pixels at every size, density and
// mode as QStyle::standardIcon. Qt's own standard icons decode every size they
// hold (16, 32 and 128 pixels) when they are made, and the first picture a
// program decodes through the usual image reader loads every image format
// plug-in installed (GIF, ICO, JPEG, ...) to ask whether it reads PNG. A
// window with a menu bar and a few tool buttons paid both before its first
// paint. These icons read their built-in PNG pictures with the PNG reader
// alone.
//
// The pictures are read on demand when the Windows style draws Qt's built-in
// pictures (no icon theme is set) and they are found where Qt keeps them;
// otherwise, and for pictures not known here, this is the style's icon itself.
QIcon standardIconOnDemand(QStyle::StandardPixmap which, const QStyle *style);

// Whether standardIconOnDemand reads that icon's pictures on demand (rather
// than returning the style's own icon).
bool standardIconLoadsOnDemand(QStyle::StandardPixmap which, const QStyle *style);

// A style that draws as its base style and gives its standard icons through
// standardIconOnDemand (for icons asked for without a style option; with one,
// the base style answers).
class OnDemandIconStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // Takes ownership of the base style.
    explicit OnDemandIconStyle(QStyle *base);

    QIcon standardIcon(StandardPixmap which, const QStyleOption *option = nullptr,
        const QWidget *widget = nullptr) const override;
};
