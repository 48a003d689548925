// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QProxyStyle>
#include <QSet>
#include <QStringList>

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
// pictures (no icon theme is set, or the theme has no icon of the name the
// style asks it for) and they are found where Qt keeps them; otherwise, and
// for pictures not known here, this is the style's icon itself. Whether the
// theme has the icon is told by a scan of the theme's folders (iconFilesInThemes)
// which OnDemandIconStyle starts on a thread of its own when it is made: Qt's
// own look-up reads and parses every folder entry of the theme's index (about
// 3 ms for "hicolor") before the first tool button can be made.
QIcon standardIconOnDemand(QStyle::StandardPixmap which, const QStyle *style);

// Whether standardIconOnDemand reads that icon's pictures on demand (rather
// than returning the style's own icon).
bool standardIconLoadsOnDemand(QStyle::StandardPixmap which, const QStyle *style);

// The names an icon theme look-up of name may end with: name, then name
// without its last "-part", and so on ("view-list-details", "view-list", "view").
QStringList iconThemeLookupNames(const QString &name);

// Which of the names (or of the names their look-ups may end with) some file
// "name.<extension>" has anywhere below the folders of theme, of the themes
// it inherits from, of fallbackTheme and of "hicolor" in searchPaths, or below
// fallbackPaths. More than the folders a theme's index lists are read, so a
// name missing here is missing for Qt's icon loader too. A scan that meets
// more than 200,000 entries stops and returns every name.
QSet<QString> iconFilesInThemes(const QStringList &names, const QString &theme,
    const QString &fallbackTheme, const QStringList &searchPaths, const QStringList &fallbackPaths);

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
