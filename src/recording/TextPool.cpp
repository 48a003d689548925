// SPDX-License-Identifier: MIT
#include "recording/TextPool.h"

#include <cstring>
#include <limits>
#include <new>

quint32 TextPool::hashOf(QStringView text)
{
    if (const quint64 key = shortKey(text))
        return hashOfShortKey(key);
    return hashUnits(text.utf16(), quint64(text.size()), [](const char16_t *four) {
        quint64 word = 0;
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            std::memcpy(&word, four, sizeof(word));
        } else {
            for (int k = 0; k < 4; ++k)
                word |= quint64(four[k]) << (16 * k);
        }
        return word;
    });
}

quint64 TextPool::shortKey(QStringView text)
{
    if (text.size() > 8)
        return 0;
    quint64 key = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == 0 || c > 0x7F)
            return 0;
        key |= quint64(c) << (8 * i);
    }
    return key;
}

void TextPool::rebuildIndex(size_t slotCount)
{
    std::vector<Slot> slots(slotCount);
    const size_t mask = slotCount - 1;
    for (const Slot &slot : m_slots) {
        if (slot.id == 0)
            continue;
        size_t i = slot.hash & mask;
        while (slots[i].id != 0)
            i = (i + 1) & mask;
        slots[i] = slot;
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

template<typename Holds>
size_t TextPool::findSlot(quint32 hash, quint64 key, Holds &&holds)
{
    // Room for one more text first, so that a failed allocation leaves the
    // pool as it was.
    if ((m_entries.size() + 1) * 2 > m_slots.size())
        rebuildIndex(m_slots.empty() ? 1024 : m_slots.size() * 2);
    const size_t mask = m_slots.size() - 1;
    size_t i = hash & mask;
    for (; m_slots[i].id != 0; i = (i + 1) & mask) {
        const Slot &slot = m_slots[i];
        if (slot.hash != hash || slot.key != key)
            continue;
        if (key != 0 || holds(slot.id))
            return i;
    }
    return i;
}

template<typename Fill>
quint32 TextPool::add(
    size_t slot, quint32 hash, quint64 key, quint32 length, bool printable, Fill &&fill)
{
    if (m_entries.size() >= size_t(std::numeric_limits<quint32>::max()))
        throw std::bad_alloc();
    if (m_entries.size() == m_entries.capacity())
        m_entries.reserve(qMax<size_t>(m_entries.capacity() * 2, 256));
    const quint32 start = reserveChars(length);
    // Nothing can fail from here on.
    fill(m_chunks.back().get() + (start & kChunkMask));
    // A text that got a chunk of its own fills it.
    m_chunkUsed = qMin((start & kChunkMask) + length, kChunkSize);
    m_entries.push_back({ start, length | (printable ? kPrintableFlag : 0) });
    const auto id = quint32(m_entries.size());
    m_slots[slot] = { hash, id, key };
    return id;
}

quint32 TextPool::intern(QStringView text, quint32 hash)
{
    if (text.size() > qsizetype(kLengthMask))
        throw std::bad_alloc();
    const quint64 key = shortKey(text);
    const size_t i = findSlot(hash, key, [&](quint32 id) { return holds(id, text); });
    if (m_slots[i].id != 0)
        return m_slots[i].id;
    bool printable = true;
    for (QChar c : text)
        printable = printable && c.unicode() > 32 && c.unicode() < 127;
    const auto length = quint32(text.size());
    return add(i, hash, key, length, printable,
        [&](char16_t *to) { std::memcpy(to, text.utf16(), size_t(length) * sizeof(char16_t)); });
}

quint32 TextPool::internAscii(const char *bytes, quint32 length, quint32 hash, quint64 key)
{
    if (length > kLengthMask)
        throw std::bad_alloc();
#ifndef QT_NO_DEBUG
    quint64 expected = 0;
    for (quint32 k = 0; k < length && length <= 8; ++k)
        expected |= quint64(static_cast<unsigned char>(bytes[k])) << (8 * k);
    Q_ASSERT(key == expected);
#endif
    const size_t i = findSlot(hash, key, [&](quint32 id) { return holdsAscii(id, bytes, length); });
    if (m_slots[i].id != 0)
        return m_slots[i].id;
    bool printable = true;
    for (quint32 k = 0; k < length; ++k) {
        const auto c = static_cast<unsigned char>(bytes[k]);
        Q_ASSERT(c > 0 && c < 0x80);
        printable = printable && c > 32 && c < 127;
    }
    return add(i, hash, key, length, printable, [&](char16_t *to) {
        for (quint32 k = 0; k < length; ++k)
            to[k] = char16_t(static_cast<unsigned char>(bytes[k]));
    });
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
        while (m_slots[i].id != id)
            i = (i + 1) & mask;
        m_entries[e].start = quint32(i);
    }
    for (const Entry &entry : m_entries)
        m_slots[entry.start] = {};
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
        + qint64(m_entries.capacity() * sizeof(Entry)) + qint64(m_slots.capacity() * sizeof(Slot));
}
