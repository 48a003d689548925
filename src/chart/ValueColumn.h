// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <memory>
#include <vector>

// The values of one chart series, x = 0, 1, 2, ... implied by position. Values are
// kept as 4-byte floats in fixed blocks of 16,384, so a long recording costs 4
// bytes per value and never copies what it already holds. Meter readings have at
// most five significant digits, well inside a float's precision.
class ValueColumn
{
public:
    static constexpr int BlockBits = 14;
    static constexpr qint64 BlockSize = qint64(1) << BlockBits;

    void append(double y);
    void clear();
    qint64 size() const { return m_size; }
    // Bytes the column holds on the heap: its blocks and the list of them.
    qint64 storageBytes() const;
    double at(qint64 x) const
    {
        return m_blocks[std::size_t(x >> BlockBits)][std::size_t(x & (BlockSize - 1))];
    }

private:
    std::vector<std::unique_ptr<float[]>> m_blocks;
    qint64 m_size = 0;
};
