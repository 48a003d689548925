// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#include <vector>

// Every distinct text of a table stored once, numbered from 1 in the order the
// texts first arrived. Rows then hold 32-bit ids instead of strings. The index
// is an open-addressing hash table of (hash, id) pairs, 8 bytes a slot, kept at
// most half full.
class TextPool
{
public:
    // The id of text, which must not be empty, adding it if it is new.
    quint32 intern(const QString &text);
    // The same for text held elsewhere: it is copied only when it is new.
    quint32 intern(QStringView text);
    // The text of an id that intern returned.
    const QString &text(quint32 id) const { return m_texts[qsizetype(id - 1)]; }
    qsizetype size() const { return m_texts.size(); }

    void clear();
    void swap(TextPool &other) noexcept;

private:
    static quint32 hashOf(QStringView text);
    template<typename MakeText>
    quint32 internOf(QStringView text, const MakeText &makeText);
    void rebuildIndex(size_t slotCount);

    QList<QString> m_texts;
    std::vector<quint64> m_slots; // (hash << 32) | id; 0 is a free slot
};
