// SPDX-License-Identifier: MIT
#include "models/km50_60/Km50Display.h"

namespace {

constexpr std::array<bool, km50ElementCount> blankedElements { { KM50_ELEMENTS(
    LCD_ELEMENT_BLANKED) } };

} // namespace

Km50Display::Km50Display()
    : LcdDisplay<Km50Element>(km50Elements)
{ }

void Km50Display::DispInit(int mode)
{
    if (mode == 0)
        hideMarked(blankedElements);
}

bool Km50Display::isBlanked(Km50Element element)
{
    return blankedElements[size_t(element)];
}
