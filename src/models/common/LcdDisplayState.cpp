// SPDX-License-Identifier: MIT
#include "models/common/LcdDisplayState.h"

#include <algorithm>
#include <cstring>

LcdDisplayState::LcdDisplayState(std::span<const LcdElementInfo> elements)
    : m_elements(elements)
    , m_visible(elements.size())
    , m_text(elements.size())
{
    reset();
}

int LcdDisplayState::indexOf(QStringView name) const
{
    for (int i = 0; i < count(); ++i) {
        if (QLatin1StringView(m_elements[size_t(i)].name) == name)
            return i;
    }
    return -1;
}

void LcdDisplayState::reset()
{
    for (size_t i = 0; i < m_elements.size(); ++i) {
        m_visible[i] = m_elements[i].startVisible ? 1 : 0;
        m_text[i]
            = m_elements[i].startText ? QString::fromUtf16(m_elements[i].startText) : QString();
    }
}

void LcdDisplayState::hideMarked(std::span<const bool> marked)
{
    // Runs on every frame. The bound and the flags' address are taken once (a
    // write through the flags could otherwise alias them), and the loop has no
    // branch, so the compiler can do it many elements at a time: a flag is 0 or
    // 1, and a mark clears it.
    const size_t count = std::min(m_visible.size(), marked.size());
    unsigned char *const visible = m_visible.data();
    const bool *const hide = marked.data();
    for (size_t i = 0; i < count; ++i)
        visible[i] = static_cast<unsigned char>(visible[i] & ~static_cast<unsigned char>(hide[i]));
}

std::vector<int> LcdDisplayState::indexesByName() const
{
    std::vector<int> order(m_elements.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(), [this](int a, int b) {
        return std::strcmp(m_elements[size_t(a)].name, m_elements[size_t(b)].name) < 0;
    });
    return order;
}
