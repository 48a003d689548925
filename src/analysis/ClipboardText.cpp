// SPDX-License-Identifier: MIT
#include "analysis/ClipboardText.h"

#include "recording/ReadingTable.h"

#include <algorithm>
#include <array>

namespace {

// A row is put together in a buffer of its own and appended at once: at most
// 7 text fields of 20 characters of up to 3 bytes in UTF-8, No and the tabs.
constexpr int RowBufferSize
    = 11 + 1 + (ReadingTable::MaxColumns - 1) * (ReadingTable::MaxTextLength * 3 + 1) + 1;

char *putNumber(char *p, qint32 value)
{
    char digits[12];
    int n = 0;
    qint64 v = value;
    if (v < 0) {
        *p++ = '-';
        v = -v;
    }
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

char *putText(char *p, const ReadingTable::StoredText &field)
{
    // The table keeps no longer text; the cut only guards the buffer.
    const QStringView text
        = field.text.first(std::min<qsizetype>(field.text.size(), ReadingTable::MaxTextLength));
    if (field.printableAscii) {
        // The common case: copied byte for byte, nothing to replace.
        for (const QChar c : text)
            *p++ = char(c.unicode());
        return p;
    }
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8)
        *p++ = (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    return p;
}

void appendRow(
    QByteArray &out, const ReadingTable &table, int row, std::span<ReadingTable::StoredText> texts)
{
    char buffer[RowBufferSize];
    char *p = buffer;
    if (const std::optional<qint32> no = table.no(row))
        p = putNumber(p, *no);
    table.rowTexts(row, texts);
    for (const ReadingTable::StoredText &field : texts) {
        *p++ = '\t';
        p = putText(p, field);
    }
    *p++ = '\n';
    out.append(buffer, p - buffer);
}

} // namespace

QByteArray tableClipboardText(const ReadingTable &table, std::span<const int> rows)
{
    const int columns = table.columnCount();
    std::array<ReadingTable::StoredText, ReadingTable::MaxColumns> buffer;
    const std::span<ReadingTable::StoredText> texts(buffer.data(), size_t(columns - 1));

    QByteArray out;
    const qsizetype rowCount = rows.empty() ? table.rowCount() : qsizetype(rows.size());
    out.reserve(rowCount * 48 + 64);
    for (int c = 0; c < columns; ++c) {
        if (c > 0)
            out += '\t';
        QByteArray name = table.columnName(c).toUtf8();
        for (char &ch : name)
            if (ch == '\t' || ch == '\r' || ch == '\n')
                ch = ' ';
        out += name;
    }
    out += '\n';
    if (rows.empty()) {
        for (int row = 0; row < table.rowCount(); ++row)
            appendRow(out, table, row, texts);
    } else {
        for (const int row : rows)
            if (row >= 0 && row < table.rowCount())
                appendRow(out, table, row, texts);
    }
    return out;
}
