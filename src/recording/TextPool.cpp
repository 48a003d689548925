// SPDX-License-Identifier: MIT
#include "recording/TextPool.h"

#include <cstring>
#include <limits>
#include <new>

quint32 TextPool::hashOf(QStringView text)
{
    // FNV-1a over the UTF-16 units, then a final mix so the low bits, which
    // pick the slot, depend on every character.
    quint32 h = 2166136261u;
    for (QChar c : text) {
        h ^= c.unicode();
        h *= 16777619u;
    }
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

void TextPool::rebuildIndex(size_t slotCount)
{
    std::vector<quint64> slots(slotCount, 0);
    const size_t mask = slotCount - 1;
    for (quint64 entry : m_slots) {
        if (entry == 0)
            continue;
        size_t i = size_t(entry >> 32) & mask;
        while (slots[i] != 0)
            i = (i + 1) & mask;
        slots[i] = entry;
    }
    m_slots.swap(slots);
}

quint32 TextPool::reserveChars(quint32 length)
{
    if (!m_chunks.empty() && length <= kChunkSize - m_chunkUsed)
        return quint32(m_chunks.size() - 1) << kChunkBits | m_chunkUsed;
    // A new chunk; a text longer than a chunk gets one of its own size. The
    // start must still fit its 32 bits.
    if (m_chunks.size() >= (size_t(1) << (32 - kChunkBits)))
        throw std::bad_alloc();
    const quint32 units = qMax(length, kChunkSize);
    m_chunks.push_back(std::make_unique_for_overwrite<char16_t[]>(units));
    m_chunkUnits += units;
    m_chunkUsed = 0;
    return quint32(m_chunks.size() - 1) << kChunkBits;
}

quint32 TextPool::intern(QStringView text, quint32 hash)
{
    if (text.size() > qsizetype(kLengthMask))
        throw std::bad_alloc();
    const auto length = quint32(text.size());
    const size_t bytes = size_t(length) * sizeof(char16_t);
    // Room for one more text first, so that a failed allocation leaves the
    // pool as it was.
    if ((m_entries.size() + 1) * 2 > m_slots.size())
        rebuildIndex(m_slots.empty() ? 1024 : m_slots.size() * 2);

    const size_t mask = m_slots.size() - 1;
    size_t i = hash & mask;
    for (; m_slots[i] != 0; i = (i + 1) & mask) {
        const quint64 slot = m_slots[i];
        if (quint32(slot >> 32) != hash)
            continue;
        const auto id = quint32(slot);
        if (holds(id, text))
            return id;
    }

    if (m_entries.size() >= size_t(std::numeric_limits<quint32>::max()))
        throw std::bad_alloc();
    if (m_entries.size() == m_entries.capacity())
        m_entries.reserve(qMax<size_t>(m_entries.capacity() * 2, 256));
    const quint32 start = reserveChars(length);
    // Nothing can fail from here on.
    std::memcpy(m_chunks.back().get() + (start & kChunkMask), text.utf16(), bytes);
    // A text that got a chunk of its own fills it.
    m_chunkUsed = qMin((start & kChunkMask) + length, kChunkSize);
    bool printable = true;
    for (QChar c : text)
        printable = printable && c.unicode() > 32 && c.unicode() < 127;
    m_entries.push_back({ start, length | (printable ? kPrintableFlag : 0) });
    const auto id = quint32(m_entries.size());
    m_slots[i] = (quint64(hash) << 32) | id;
    return id;
}

void TextPool::clear()
{
    // A pool that never grew past its first chunk and index keeps them for the
    // next texts: a table emptied every few rows (a logger's) would otherwise
    // allocate and zero them again each time. Only the slots in use are freed.
    constexpr size_t FirstIndexSlots = 1024;
    if (m_chunks.size() != 1 || m_slots.size() != FirstIndexSlots) {
        TextPool().swap(*this);
        return;
    }
    // Every text's slot is found before any is freed: a freed slot would cut
    // short the search for a text stored past it.
    const size_t mask = m_slots.size() - 1;
    for (size_t e = 0; e < m_entries.size(); ++e) {
        const auto id = quint32(e + 1);
        size_t i = hashOf(text(id)) & mask;
        while (quint32(m_slots[i]) != id)
            i = (i + 1) & mask;
        m_entries[e].start = quint32(i);
    }
    for (const Entry &entry : m_entries)
        m_slots[entry.start] = 0;
    m_entries.clear();
    m_chunkUsed = 0;
}

void TextPool::swap(TextPool &other) noexcept
{
    m_chunks.swap(other.m_chunks);
    std::swap(m_chunkUsed, other.m_chunkUsed);
    std::swap(m_chunkUnits, other.m_chunkUnits);
    m_entries.swap(other.m_entries);
    m_slots.swap(other.m_slots);
}

qint64 TextPool::storageBytes() const
{
    return m_chunkUnits * qint64(sizeof(char16_t))
        + qint64(m_chunks.capacity() * sizeof(m_chunks[0]))
        + qint64(m_entries.capacity() * sizeof(Entry))
        + qint64(m_slots.capacity() * sizeof(quint64));
}
