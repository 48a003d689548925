// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

// Every distinct text of a table stored once, numbered from 1 in the order the
// texts first arrived. Rows then hold 32-bit ids instead of strings.
//
// The characters of all texts lie back to back in chunks of 64 KiB, and each id
// has an 8-byte entry (where its text starts, its length), so looking a text up
// touches two dense arrays instead of a QString each with its own allocation.
// The index is an open-addressing hash table kept at most half full, 16 bytes
// a slot: hash, id and, for a short ASCII text (nearly every text of a
// recording: values, units, time stamps), its characters, so that such a text
// is found or found missing by reading its slot alone.
class TextPool
{
public:
    // The id of text, which must not be empty, adding it if it is new. The
    // characters are copied only when the text is new.
    quint32 intern(QStringView text) { return intern(text, hashOf(text)); }
    quint32 intern(const QString &text) { return intern(QStringView(text)); }
    // The same with the text's hash (hashOf) worked out beforehand.
    quint32 intern(QStringView text, quint32 hash);
    static quint32 hashOf(QStringView text);
    // The same for a text given as ASCII bytes (every byte from 1 to 127), as a
    // file reader finds it: interned like the UTF-16 text of the same
    // characters, with the same hash, and widened only when it is new. key is
    // the bytes of a text of at most eight as one word (the first in the low
    // bits, as shortKey gives them), 0 for a longer text: the reader has them
    // in a word already.
    quint32 internAscii(const char *bytes, quint32 length, quint32 hash, quint64 key);
    // The id of a short ASCII text by its hash and its key (not 0, see
    // internAscii) when the pool holds it, 0 when it does not: a look-up that
    // reads the index alone, made where the caller is, for a reader that
    // finds nearly every text it looks up.
    quint32 findShort(quint32 hash, quint64 key) const
    {
        Q_ASSERT(key != 0);
        if (m_slots.empty())
            return 0;
        // The index is never full: the search ends at a free slot.
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot &slot = m_slots[i];
            if (slot.id == 0)
                return 0;
            if (slot.hash == hash && slot.key == key)
                return slot.id;
        }
    }
    // The hash of a short ASCII text from its key (see shortKey), which tells
    // the text apart from every other: the key's bits mixed, two
    // multiplications in all. A short text hashes this way whichever way it
    // comes (hashOf, hashOfAscii), so that a reader with the key in a word
    // has the hash at once.
    static quint32 hashOfShortKey(quint64 key)
    {
        key ^= key >> 33;
        key *= 0xFF51AFD7ED558CCDull;
        key ^= key >> 33;
        key *= 0xC4CEB9FE1A85EC53ull;
        key ^= key >> 33;
        return quint32(key);
    }
    // The key of a short text: up to eight characters, each from 1 to 127, as
    // one word of bytes, the first character in the low bits; 0 for any other
    // text. Different texts have different keys.
    static quint64 shortKey(QStringView text);
    static quint32 hashOfAscii(const char *bytes, qsizetype length)
    {
        const auto *b = reinterpret_cast<const unsigned char *>(bytes);
        if (length <= 8) {
            quint64 key = 0;
            for (qsizetype i = 0; i < length; ++i)
                key |= quint64(b[i]) << (8 * i);
            if (key != 0)
                return hashOfShortKey(key);
        }
        return hashUnits(b, quint64(length), [](const unsigned char *four) {
            return widen(quint32(four[0]) | quint32(four[1]) << 8 | quint32(four[2]) << 16
                | quint32(four[3]) << 24);
        });
    }
    // Asks the processor to fetch the index slot where a text of this hash is
    // looked for. The index is too large for the caches, so a look-up waits
    // for memory; a writer that has several texts to look up announces them
    // all first and the waits overlap.
    void prefetch(quint32 hash) const
    {
        if (m_slots.empty())
            return;
        const Slot *slot = m_slots.data() + (hash & (m_slots.size() - 1));
#if defined(__GNUC__) || defined(__clang__)
        __builtin_prefetch(slot);
#else
        (void)slot;
#endif
    }
    // The text of an id that intern returned; valid until the pool is cleared,
    // swapped or destroyed (adding texts does not move the ones already held).
    QStringView text(quint32 id) const
    {
        const Entry &e = m_entries[size_t(id - 1)];
        return QStringView(m_chunks[e.start >> kChunkBits].get() + (e.start & kChunkMask),
            qsizetype(e.length & kLengthMask));
    }
    // Whether the text of an id is text. A plain loop: pooled texts are short,
    // where a call to a general comparison costs more than the comparing.
    bool holds(quint32 id, QStringView text) const
    {
        const Entry &e = m_entries[size_t(id - 1)];
        if (qsizetype(e.length & kLengthMask) != text.size())
            return false;
        const char16_t *a = m_chunks[e.start >> kChunkBits].get() + (e.start & kChunkMask);
        const char16_t *b = text.utf16();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (a[i] != b[i])
                return false;
        }
        return true;
    }
    // Whether the text of an id is the ASCII text of these bytes.
    bool holdsAscii(quint32 id, const char *bytes, quint32 length) const
    {
        const Entry &e = m_entries[size_t(id - 1)];
        if ((e.length & kLengthMask) != length)
            return false;
        const char16_t *a = m_chunks[e.start >> kChunkBits].get() + (e.start & kChunkMask);
        for (quint32 i = 0; i < length; ++i) {
            if (a[i] != char16_t(static_cast<unsigned char>(bytes[i])))
                return false;
        }
        return true;
    }
    // The same as a QString of its own.
    QString string(quint32 id) const
    {
        return text(id).toString();
    }
    // True when every character of the text is printable ASCII (codes 33 to
    // 126): no blank, no control character, nothing beyond ASCII.
    bool isPrintableAscii(quint32 id) const
    {
        return (m_entries[size_t(id - 1)].length & kPrintableFlag) != 0;
    }
    qsizetype size() const
    {
        return qsizetype(m_entries.size());
    }
    // Bytes the pool holds on the heap: character chunks, entries and index.
    qint64 storageBytes() const;

    void clear();
    void swap(TextPool &other) noexcept;

private:
    // The hash takes the UTF-16 units four at a time as one 64-bit word (the
    // first unit in the low bits), so a text costs a multiply per four
    // characters; the same text as ASCII bytes gives the same words once each
    // byte is widened to 16 bits.
    static constexpr quint64 kHashMultiplier = 0x9E3779B97F4A7C15ull;
    static quint64 hashWord(quint64 h, quint64 word)
    {
        h = (h ^ word) * kHashMultiplier;
        return h ^ (h >> 29);
    }
    static quint32 hashFinish(quint64 h)
    {
        h ^= h >> 32;
        h *= 0xD6E8FEB86659FD93ull;
        h ^= h >> 32;
        return quint32(h);
    }
    // The hash of n units: word(p) gives four units from p as one word.
    template<typename Unit, typename Word>
    static quint32 hashUnits(const Unit *s, quint64 n, Word &&word)
    {
        quint64 h = n * kHashMultiplier;
        quint64 i = 0;
        for (; i + 4 <= n; i += 4)
            h = hashWord(h, word(s + i));
        if (i < n) {
            quint64 last = 0;
            for (int k = 0; i < n; ++i, ++k)
                last |= quint64(s[i]) << (16 * k);
            h = hashWord(h, last);
        }
        return hashFinish(h);
    }
    // Four bytes b0 b1 b2 b3 as the units b0 b1 b2 b3.
    static quint64 widen(quint32 bytes)
    {
        quint64 x = bytes;
        x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
        return (x | (x << 8)) & 0x00FF00FF00FF00FFull;
    }

    static constexpr int kChunkBits = 15; // 32768 UTF-16 units a chunk
    static constexpr quint32 kChunkSize = quint32(1) << kChunkBits;
    static constexpr quint32 kChunkMask = kChunkSize - 1;
    static constexpr quint32 kPrintableFlag = quint32(1) << 31;
    static constexpr quint32 kLengthMask = kPrintableFlag - 1;

    struct Entry
    {
        quint32 start; // chunk index << kChunkBits | offset in the chunk
        quint32 length; // UTF-16 units, kPrintableFlag set for printable ASCII
    };

    void rebuildIndex(size_t slotCount);
    // Where the text of this hash and key is, or where it goes, with room for
    // one more text made first; holds(id) tells whether an id found is the
    // text when it has no key.
    template<typename Holds>
    size_t findSlot(quint32 hash, quint64 key, Holds &&holds);
    // Adds a new text at the free slot findSlot returned; chars fills the
    // reserved characters.
    template<typename Fill>
    quint32 add(
        size_t slot, quint32 hash, quint64 key, quint32 length, bool printable, Fill &&fill);
    // Where a text of this length will be stored, making room for it first.
    quint32 reserveChars(quint32 length);

    std::vector<std::unique_ptr<char16_t[]>> m_chunks;
    quint32 m_chunkUsed = kChunkSize; // units used in the last chunk; full when there is none
    qint64 m_chunkUnits = 0; // units allocated in all chunks
    std::vector<Entry> m_entries;
    // A slot of the index holds a text's hash and id and, for a short ASCII
    // text, its characters as a key (see shortKey), so that looking up such a
    // text reads nothing but its slot.
    struct Slot
    {
        quint32 hash = 0;
        quint32 id = 0; // 0: a free slot
        quint64 key = 0;
    };
    std::vector<Slot> m_slots;
};
