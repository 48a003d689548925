// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// The recording journal's file format: what the reading table went through, as
// records appended one after another, so that a file cut short at any byte
// (a crash, a power cut) or damaged anywhere still gives back every change
// recorded before the damage.
//
// The file starts with the 8 bytes "KMJRNL\r\n", then records. Each record is
//
//   u32 length   bytes of the payload
//   u32 check    the low 32 bits of XXH3-64 (xxHash) of the payload, seeded
//                with the type
//   u8  type     see Type
//   payload
//
// all numbers little-endian. A text is u16 byte count + UTF-8. A row's field
// (at most twenty characters, so at most 60 bytes of UTF-8) is u8 byte count +
// UTF-8, the count 0xFF with no bytes for a null field. A varint is an
// unsigned number in 7-bit groups, lowest first, the top bit set on every
// byte but the last (LEB128), at most 5 bytes.
//
//   Header   u16 version, text program, i64 start (ms since 1970 UTC),
//            i16 UTC offset (minutes), u8 column count, the column names
//   TextRow  (version 2) a row whose texts are numbers in a dictionary of the
//            table's distinct texts: varint count of new texts, each a
//            varint byte count + UTF-8, numbered on from the dictionary's
//            last; then i64 recorded (ms since 1970 UTC), i16 UTC offset
//            (minutes), u8 1 when No is set, i32 No, then for each text column
//            a varint text number (0 for a null field). Each distinct text is
//            written once, with the first row that holds it.
//   Texts    (version 2) varint number of the first text, then texts as in
//            TextRow: the dictionary is cut to the texts before that number
//            and these follow. Written when a journal goes on in a left file.
//   Row      (version 1) i64 recorded, i16 UTC offset, u8 1 when No is set,
//            i32 No, then one field per text column, texts in full
//   Clear    (empty): the table was emptied
//   Replace  u32 row count: the rows that follow, up to ReplaceEnd, are the
//            whole table (an opened file); without its end the replacement
//            never happened
//   ReplaceEnd (empty)
//   Saved    text path: every row so far is in that file
//
// The dictionary starts empty after the header, a Clear and a Replace.
namespace JournalFormat {

inline constexpr char Magic[] = "KMJRNL\r\n";
inline constexpr int MagicSize = 8;
inline constexpr quint16 Version = 2;
// The oldest version this program still reads.
inline constexpr quint16 OldestVersion = 1;
inline constexpr int RecordHeadSize = 9; // length, checksum, type
// No record of a table of 20-character fields comes near this; a length above
// it is damage, not a record to wait for.
inline constexpr quint32 MaxPayload = 1 << 20;
inline constexpr quint16 NullText = 0xFFFF;
inline constexpr quint8 NullField = 0xFF;

enum class Type : quint8 {
    Header = 1,
    Row = 2,
    Clear = 3,
    Replace = 4,
    ReplaceEnd = 5,
    Saved = 6,
    TextRow = 7,
    Texts = 8,
};
// The most bytes a varint takes.
inline constexpr int MaxVarintSize = 5;

struct Header
{
    quint16 version = Version;
    QString program;
    qint64 startMs = 0;
    qint16 utcOffsetMinutes = 0;
    QStringList columns;
};

// Appends one record to out.
void appendRecord(QByteArray &out, Type type, QByteArrayView payload);
QByteArray headerPayload(const Header &header);
std::optional<Header> parseHeader(QByteArrayView payload);

quint32 checksumOf(quint8 type, QByteArrayView payload);

// Little-endian writers used by the payload encoders.
void putU16(QByteArray &out, quint16 v);
void putI16(QByteArray &out, qint16 v);
void putU32(QByteArray &out, quint32 v);
void putI64(QByteArray &out, qint64 v);
void putText(QByteArray &out, QStringView text, bool isNull = false);
// Writes v as a varint at d; returns the end.
inline char *putVarint(char *d, quint32 v)
{
    while (v >= 0x80) {
        *d++ = char(v | 0x80);
        v >>= 7;
    }
    *d++ = char(v);
    return d;
}

// Reads payload fields in order; any read past the end leaves ok false.
class PayloadReader
{
public:
    explicit PayloadReader(QByteArrayView bytes)
        : m_bytes(bytes)
    { }
    quint8 u8();
    quint16 u16();
    qint16 i16() { return qint16(u16()); }
    quint32 u32();
    qint32 i32() { return qint32(u32()); }
    qint64 i64();
    // A text; null for the null marker.
    QString text();
    // A row field's UTF-8 bytes without a copy; isNull is set for the null marker.
    QByteArrayView fieldBytes(bool &isNull);
    quint32 varint()
    {
        // Nearly every number takes one or two bytes.
        if (m_ok && m_pos < m_bytes.size()) {
            const quint8 b0 = quint8(m_bytes[m_pos]);
            if (b0 < 0x80) {
                m_at = m_pos++;
                return b0;
            }
            if (m_pos + 1 < m_bytes.size() && quint8(m_bytes[m_pos + 1]) < 0x80) {
                m_at = m_pos;
                m_pos += 2;
                return quint32(b0 & 0x7F) | quint32(quint8(m_bytes[m_at + 1])) << 7;
            }
        }
        return longVarint();
    }
    // A dictionary text's UTF-8 bytes (varint count + bytes) without a copy.
    QByteArrayView varintBytes();
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos == m_bytes.size(); }

private:
    quint32 longVarint();
    bool take(qsizetype n)
    {
        if (!m_ok || n > m_bytes.size() - m_pos) {
            m_ok = false;
            return false;
        }
        m_at = m_pos;
        m_pos += n;
        return true;
    }
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    qsizetype m_at = 0;
    bool m_ok = true;
};

} // namespace JournalFormat
