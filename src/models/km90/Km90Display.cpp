// SPDX-License-Identifier: MIT
#include "models/km90/Km90Display.h"

namespace {

constexpr std::array<bool, km90ElementCount> blankedElements { { KM90_ELEMENTS(
    LCD_ELEMENT_BLANKED) } };

} // namespace

Km90Display::Km90Display()
    : LcdDisplay<Km90Element>(km90Elements)
{ }

void Km90Display::DispInit(int mode)
{
    if (mode == 0)
        hideMarked(blankedElements);
}

bool Km90Display::isBlanked(Km90Element element)
{
    return blankedElements[size_t(element)];
}
