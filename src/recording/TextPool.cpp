// SPDX-License-Identifier: MIT
#include "TextPool.h"

#include <cstring>

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

template<typename MakeText>
quint32 TextPool::internOf(QStringView text, const MakeText &makeText)
{
    const quint32 hash = hashOf(text);
    // Room for one more text first, so that a failed allocation leaves the
    // pool as it was.
    if (size_t(m_texts.size() + 1) * 2 > m_slots.size())
        rebuildIndex(m_slots.empty() ? 1024 : m_slots.size() * 2);

    const size_t mask = m_slots.size() - 1;
    size_t i = hash & mask;
    for (; m_slots[i] != 0; i = (i + 1) & mask) {
        const quint64 entry = m_slots[i];
        if (quint32(entry >> 32) != hash)
            continue;
        const quint32 id = quint32(entry);
        const QString &known = m_texts[qsizetype(id - 1)];
        if (known.size() == text.size()
            && std::memcmp(known.constData(), text.constData(), size_t(text.size()) * 2) == 0)
            return id;
    }
    m_texts.append(makeText());
    const auto id = quint32(m_texts.size());
    m_slots[i] = (quint64(hash) << 32) | id;
    return id;
}

quint32 TextPool::intern(const QString &text)
{
    return internOf(text, [&text] { return text; });
}

quint32 TextPool::intern(QStringView text)
{
    return internOf(text, [text] { return text.toString(); });
}

void TextPool::clear()
{
    m_texts = {};
    m_slots = {};
}

void TextPool::swap(TextPool &other) noexcept
{
    m_texts.swap(other.m_texts);
    m_slots.swap(other.m_slots);
}
