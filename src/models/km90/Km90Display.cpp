// SPDX-License-Identifier: MIT
#include "models/km90/Km90Display.h"

namespace {

#define KM90_ELEMENT_BLANKED(name, caption, visible, blanked) blanked,
constexpr std::array<bool, km90ElementCount> blankedElements { { KM90_ELEMENTS(
    KM90_ELEMENT_BLANKED) } };
#undef KM90_ELEMENT_BLANKED

} // namespace

Km90Display::Km90Display()
    : LcdDisplay<Km90Element>(km90Elements)
{ }

void Km90Display::DispInit(int mode)
{
    if (mode != 0)
        return;
    for (int i = 0; i < km90ElementCount; ++i) {
        if (blankedElements[size_t(i)])
            LcdDisplayState::setVisible(i, false);
    }
}

bool Km90Display::isBlanked(Km90Element element)
{
    return blankedElements[size_t(element)];
}
