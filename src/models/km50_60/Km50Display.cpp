// SPDX-License-Identifier: MIT
#include "models/km50_60/Km50Display.h"

namespace {

#define KM50_ELEMENT_BLANKED(name, caption, visible, blanked) blanked,
constexpr std::array<bool, km50ElementCount> blankedElements { { KM50_ELEMENTS(
    KM50_ELEMENT_BLANKED) } };
#undef KM50_ELEMENT_BLANKED

} // namespace

Km50Display::Km50Display()
    : LcdDisplay<Km50Element>(km50Elements)
{ }

void Km50Display::DispInit(int mode)
{
    if (mode != 0)
        return;
    for (int i = 0; i < km50ElementCount; ++i) {
        if (blankedElements[size_t(i)])
            LcdDisplayState::setVisible(i, false);
    }
}

bool Km50Display::isBlanked(Km50Element element)
{
    return blankedElements[size_t(element)];
}
