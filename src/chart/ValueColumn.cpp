// SPDX-License-Identifier: MIT
#include "chart/ValueColumn.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

float narrowed(double y)
{
    constexpr double largest = std::numeric_limits<float>::max();
    if (std::isnan(y))
        return std::numeric_limits<float>::quiet_NaN();
    return float(std::clamp(y, -largest, largest));
}

} // namespace

void ValueColumn::append(double y)
{
    const auto offset = std::size_t(m_size & (BlockSize - 1));
    if (offset == 0 && std::size_t(m_size >> BlockBits) == m_blocks.size())
        m_blocks.push_back(std::make_unique_for_overwrite<float[]>(std::size_t(BlockSize)));
    m_blocks[std::size_t(m_size >> BlockBits)][offset] = narrowed(y);
    ++m_size;
}

void ValueColumn::clear()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_size = 0;
}

qint64 ValueColumn::storageBytes() const
{
    return qint64(m_blocks.size()) * BlockSize * qint64(sizeof(float))
        + qint64(m_blocks.capacity() * sizeof(m_blocks[0]));
}
