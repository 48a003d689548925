// SPDX-License-Identifier: MIT
#include "journal/JournalReader.h"

#include <QFile>
#include <QtEndian>

#include <array>
#include <vector>

namespace {

using namespace JournalFormat;

struct RecordView
{
    Type type;
    QByteArrayView payload;
};

// The record at pos, or nothing when it is cut short or fails its check.
std::optional<RecordView> recordAt(QByteArrayView bytes, qsizetype pos, qsizetype &next)
{
    if (bytes.size() - pos < RecordHeadSize)
        return std::nullopt;
    const char *p = bytes.data() + pos;
    const quint32 length = qFromLittleEndian<quint32>(p);
    const quint32 check = qFromLittleEndian<quint32>(p + 4);
    const quint8 type = quint8(p[8]);
    if (length > MaxPayload || qint64(length) > bytes.size() - pos - RecordHeadSize)
        return std::nullopt;
    const QByteArrayView payload = bytes.sliced(pos + RecordHeadSize, length);
    if (checksumOf(type, payload) != check)
        return std::nullopt;
    next = pos + RecordHeadSize + qsizetype(length);
    return RecordView { Type(type), payload };
}

// Whole records found after the damage: each byte position is tried, so a
// record whose start was lost still lets the ones after it be counted.
int countRecordsAfter(QByteArrayView bytes, qsizetype pos)
{
    int count = 0;
    qsizetype next = 0;
    for (qsizetype at = pos + 1; at + RecordHeadSize <= bytes.size();) {
        if (recordAt(bytes, at, next)) {
            ++count;
            at = next;
        } else {
            ++at;
        }
    }
    return count;
}

// Decodes UTF-8 field bytes into reusable buffers: plain ASCII, which nearly
// every field is, without an allocation.
class FieldDecoder
{
public:
    QStringView decode(int slot, QByteArrayView utf8)
    {
        std::u16string &buffer = m_buffers[size_t(slot)];
        bool ascii = true;
        for (char c : utf8)
            ascii = ascii && quint8(c) < 0x80;
        if (!ascii) {
            m_strings[size_t(slot)] = QString::fromUtf8(utf8);
            return m_strings[size_t(slot)];
        }
        buffer.resize(size_t(utf8.size()));
        for (qsizetype i = 0; i < utf8.size(); ++i)
            buffer[size_t(i)] = char16_t(utf8[i]);
        return QStringView(buffer.data(), qsizetype(buffer.size()));
    }

private:
    std::array<std::u16string, ReadingTable::MaxColumns> m_buffers;
    std::array<QString, ReadingTable::MaxColumns> m_strings;
};

struct RowTimes
{
    qint64 firstMs = 0, lastMs = 0;
    qint16 firstOffset = 0, lastOffset = 0;
    bool any = false;
    void add(qint64 ms, qint16 offset)
    {
        if (!any) {
            firstMs = ms;
            firstOffset = offset;
            any = true;
        }
        lastMs = ms;
        lastOffset = offset;
    }
};

// Appends a Row record's row to table; false when the payload is not one.
bool appendRowRecord(QByteArrayView payload, int textColumns, ReadingTable &table,
    FieldDecoder &fields, qint64 &ms, qint16 &offset)
{
    PayloadReader in(payload);
    ms = in.i64();
    offset = in.i16();
    const quint8 hasNo = in.u8();
    const qint32 no = in.i32();
    std::array<QStringView, ReadingTable::MaxColumns> texts {};
    for (int c = 0; c < textColumns; ++c) {
        bool isNull = false;
        const QByteArrayView utf8 = in.fieldBytes(isNull);
        if (!isNull)
            texts[size_t(c)] = fields.decode(c, utf8);
    }
    if (!in.ok() || !in.atEnd() || hasNo > 1)
        return false;
    return table.appendRow(hasNo ? std::optional<qint32>(no) : std::nullopt,
        std::span<const QStringView>(texts.data(), size_t(textColumns)));
}

// The dictionary of a journal's texts (version 2): the number that the table
// being read gave journal text n is at n - 1, so a text is looked up in the
// table's store once, not once for every row that holds it.
using Dictionary = std::vector<quint32>;

// Adds a Texts record's texts to the dictionary; false when it is not one.
bool readTextsRecord(QByteArrayView payload, ReadingTable &table, Dictionary &dictionary)
{
    PayloadReader in(payload);
    const quint32 first = in.varint();
    if (!in.ok() || first == 0 || first > dictionary.size() + 1)
        return false;
    dictionary.resize(first - 1);
    FieldDecoder decoder;
    while (in.ok() && !in.atEnd()) {
        const QByteArrayView utf8 = in.varintBytes();
        dictionary.push_back(table.storeText(decoder.decode(0, utf8)));
    }
    return in.ok();
}

// Appends a TextRow record's row to table; false when the payload is not one.
bool appendTextRowRecord(QByteArrayView payload, int textColumns, ReadingTable &table,
    Dictionary &dictionary, FieldDecoder &decoder, qint64 &ms, qint16 &offset)
{
    PayloadReader in(payload);
    const quint32 added = in.varint();
    for (quint32 i = 0; i < added && in.ok(); ++i) {
        const QByteArrayView utf8 = in.varintBytes();
        if (in.ok())
            dictionary.push_back(table.storeText(decoder.decode(0, utf8)));
    }
    ms = in.i64();
    offset = in.i16();
    const quint8 hasNo = in.u8();
    const qint32 no = in.i32();
    std::array<quint32, ReadingTable::MaxColumns> ids {};
    for (int c = 0; c < textColumns; ++c) {
        const quint32 n = in.varint();
        if (n > dictionary.size())
            return false;
        ids[size_t(c)] = n == 0 ? 0 : dictionary[n - 1];
    }
    if (!in.ok() || !in.atEnd() || hasNo > 1)
        return false;
    return table.appendRowOfIds(hasNo ? std::optional<qint32>(no) : std::nullopt,
        std::span<const quint32>(ids.data(), size_t(textColumns)));
}

} // namespace

JournalContents readJournalBytes(QByteArrayView bytes, MeterModel model)
{
    JournalContents out;
    // A file cut short before its start was whole holds no reading. Anything
    // more with a bad header is put aside by the caller, never taken for empty.
    const auto holdsNothing = [&] {
        out.status = JournalContents::Status::Complete;
        out.table = std::make_unique<ReadingTable>(model);
        return std::move(out);
    };
    out.status = JournalContents::Status::Unreadable;
    if (bytes.size() <= MagicSize) {
        if (QByteArrayView(Magic, MagicSize).startsWith(bytes))
            return holdsNothing();
        out.error = QStringLiteral("it is not a recording journal");
        return out;
    }
    if (bytes.first(MagicSize) != QByteArrayView(Magic, MagicSize)) {
        out.error = QStringLiteral("it is not a recording journal");
        return out;
    }
    qsizetype pos = MagicSize;
    qsizetype next = 0;
    const auto first = recordAt(bytes, pos, next);
    if (!first || first->type != Type::Header) {
        out.error = QStringLiteral("its header is damaged");
        return out;
    }
    {
        PayloadReader version(first->payload);
        if (version.u16() > Version && version.ok()) {
            out.status = JournalContents::Status::NewerVersion;
            out.error = QStringLiteral("it was written by a newer version of the program");
            return out;
        }
    }
    const auto header = parseHeader(first->payload);
    out.table = std::make_unique<ReadingTable>(model);
    if (!header || header->columns != out.table->columnNames()) {
        out.error = QStringLiteral("it does not hold this program's readings");
        out.table.reset();
        return out;
    }
    out.header = *header;
    pos = next;

    const int textColumns = int(header->columns.size()) - 1;
    ReadingTable &table = *out.table;
    std::unique_ptr<ReadingTable> replacing; // the rows of a replacement in progress
    qsizetype replaceStart = 0;
    RowTimes times, replacingTimes;
    FieldDecoder fields;
    Dictionary dictionary, replacingDictionary;
    bool saved = false;
    out.status = JournalContents::Status::Complete;
    while (pos < bytes.size()) {
        const auto record = recordAt(bytes, pos, next);
        bool understood = record.has_value();
        if (understood) {
            switch (record->type) {
            case Type::Row: {
                qint64 ms = 0;
                qint16 offset = 0;
                ReadingTable &target = replacing ? *replacing : table;
                understood
                    = appendRowRecord(record->payload, textColumns, target, fields, ms, offset);
                if (understood) {
                    (replacing ? replacingTimes : times).add(ms, offset);
                    saved = false;
                }
                break;
            }
            case Type::TextRow: {
                qint64 ms = 0;
                qint16 offset = 0;
                ReadingTable &target = replacing ? *replacing : table;
                understood = header->version >= 2
                    && appendTextRowRecord(record->payload, textColumns, target,
                        replacing ? replacingDictionary : dictionary, fields, ms, offset);
                if (understood) {
                    (replacing ? replacingTimes : times).add(ms, offset);
                    saved = false;
                }
                break;
            }
            case Type::Texts:
                understood = header->version >= 2
                    && readTextsRecord(record->payload, replacing ? *replacing : table,
                        replacing ? replacingDictionary : dictionary);
                break;
            case Type::Clear:
                replacing.reset();
                dictionary.clear();
                table.clear();
                times = {};
                saved = false;
                break;
            case Type::Replace:
                replacing = std::make_unique<ReadingTable>(model);
                replacingDictionary.clear();
                replaceStart = pos;
                replacingTimes = {};
                break;
            case Type::ReplaceEnd:
                understood = replacing != nullptr;
                if (understood) {
                    table.takeRowsFrom(*replacing);
                    replacing.reset();
                    dictionary.swap(replacingDictionary);
                    times = replacingTimes;
                    saved = false;
                }
                break;
            case Type::Saved:
                saved = true;
                break;
            case Type::Header:
            default:
                understood = false;
                break;
            }
        }
        if (!understood) {
            out.status = JournalContents::Status::Damaged;
            out.unreadableRecords = 1 + countRecordsAfter(bytes, pos);
            break;
        }
        pos = next;
    }
    // A replacement whose end never reached the file did not happen: the
    // journal goes on from before it, and its records count as not read.
    out.validBytes = replacing ? replaceStart : pos;
    if (replacing && out.status == JournalContents::Status::Complete) {
        out.status = JournalContents::Status::Damaged;
        for (qsizetype at = replaceStart; at < pos && recordAt(bytes, at, next); at = next)
            ++out.unreadableRecords;
    }
    out.savedSinceLastChange = saved;
    out.firstMs = times.firstMs;
    out.lastMs = times.lastMs;
    out.firstOffsetMinutes = times.firstOffset;
    out.lastOffsetMinutes = times.lastOffset;
    return out;
}

JournalContents readJournal(const QString &path, MeterModel model)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        JournalContents out;
        out.error = file.errorString();
        return out;
    }
    const qint64 size = file.size();
    if (size == 0)
        return readJournalBytes({}, model);
    if (const uchar *mapped = file.map(0, size))
        return readJournalBytes(QByteArrayView(mapped, size), model);
    return readJournalBytes(file.readAll(), model);
}
