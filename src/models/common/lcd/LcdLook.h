// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QRgb>

#include <cstdint>
#include <span>

// How an element of an emulated LCD is drawn.
enum class LcdFont : std::uint8_t {
    Digit, // segment digits, points, minus, HOLD and temperature marks
    Symbol, // annunciators in the LCD style: AUTO, the numbered marks, the sum mark, colon
    Word, // word annunciators and units in bold Arial (Liberation Sans where Arial is missing)
    Picture, // a drawn symbol, see LcdPicture
};

enum class LcdPicture : std::uint8_t {
    None,
    Lightning, // high-voltage warning: a black lightning arrow
    Battery, // low-battery mark
    AcWave, // "~"
    Reset, // "RST" over a curved double arrow
    Phi, // φ next to "Cos"
};

namespace LcdFlag {
inline constexpr std::uint8_t RightAligned = 1; // a point sits at the right of its box
inline constexpr std::uint8_t OwnBackground = 2; // fills its box with the panel colour first
inline constexpr std::uint8_t Regular = 4; // symbol or word text in regular weight, not bold
} // namespace LcdFlag

// Place and look of one element. The rectangle is left, top, width, height in
// pixels relative to the element's group (or to the panel for group -1), as the
// meter's layout gives it; parts outside the group are cut off.
struct LcdElementLook
{
    int element; // index in the display state's element table
    int group; // index into LcdPanelLook::groups, -1 for the panel itself
    QRect rect;
    LcdFont font;
    int size; // character height in pixels (unused for pictures)
    std::uint8_t flags;
    LcdPicture picture;
};

// A borderless sub-panel of the panel's colour. Elements of a group are drawn
// over the panel's own elements and cut off at the group's edges.
struct LcdGroup
{
    const char *name; // nullptr for an unnamed group
    QRect rect; // relative to the panel
};

struct LcdPanelLook
{
    const char *name; // the panel's name in the window, e.g. "Panel40"
    QRect geometry; // place and size in the window's client area
    QRgb background;
    int border; // plain frame of the panel colour at the edge
    int bevel; // lowered bevel inside the border
    std::span<const LcdGroup> groups;
    std::span<const LcdElementLook> elements; // one per element, in element order
};

// Short constructors for the look tables.
constexpr LcdElementLook lcdText(
    int element, int group, QRect rect, LcdFont font, int size, std::uint8_t flags = 0)
{
    return { element, group, rect, font, size, flags, LcdPicture::None };
}

constexpr LcdElementLook lcdPicture(int element, int group, QRect rect, LcdPicture picture)
{
    return { element, group, rect, LcdFont::Picture, 0, 0, picture };
}

// The same constructors for one panel's look table, taking the panel's element
// enum, so a table reads `text(E::LabelA, mainGroup, ...)`:
//   constexpr LcdTextLook<Km90Element> text {};
//   constexpr LcdPictureLook<Km90Element> picture {};
template<typename Element>
struct LcdTextLook
{
    constexpr LcdElementLook operator()(
        Element e, int group, QRect rect, LcdFont font, int size, std::uint8_t flags = 0) const
    {
        return lcdText(int(e), group, rect, font, size, flags);
    }
};

template<typename Element>
struct LcdPictureLook
{
    constexpr LcdElementLook operator()(Element e, int group, QRect rect, LcdPicture picture) const
    {
        return lcdPicture(int(e), group, rect, picture);
    }
};

// Short names the look tables use (`using namespace LcdLookNames;` in a
// panel's source file).
namespace LcdLookNames {
inline constexpr int onPanel = -1; // the group of an element placed on the panel itself
inline constexpr auto Digit = LcdFont::Digit;
inline constexpr auto Symbol = LcdFont::Symbol;
inline constexpr auto Word = LcdFont::Word;
inline constexpr auto Right = LcdFlag::RightAligned;
inline constexpr auto OwnBackground = LcdFlag::OwnBackground;
inline constexpr auto Regular = LcdFlag::Regular;
} // namespace LcdLookNames

// True when the table holds exactly one look per element, in element order,
// and every look names an existing group. Panels check their tables with it at
// compile time.
constexpr bool lcdLooksMatch(
    std::span<const LcdElementLook> looks, int elementCount, int groupCount)
{
    if (int(looks.size()) != elementCount)
        return false;
    for (int i = 0; i < elementCount; ++i) {
        const LcdElementLook &look = looks[size_t(i)];
        if (look.element != i || look.group < -1 || look.group >= groupCount)
            return false;
        if ((look.font == LcdFont::Picture) != (look.picture != LcdPicture::None))
            return false;
    }
    return true;
}
