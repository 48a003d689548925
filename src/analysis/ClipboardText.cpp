// SPDX-License-Identifier: MIT
#include "analysis/ClipboardText.h"

#include "recording/ReadingTable.h"

#include <array>

namespace {

void appendText(QByteArray &out, const ReadingTable::StoredText &field)
{
    if (field.printableAscii) {
        // The common case: copied byte for byte, nothing to replace.
        const qsizetype at = out.size();
        out.resize(at + field.text.size());
        char *p = out.data() + at;
        for (const QChar c : field.text)
            *p++ = char(c.unicode());
        return;
    }
    QByteArray utf8 = field.text.toUtf8();
    for (char &c : utf8)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    out += utf8;
}

void appendRow(
    QByteArray &out, const ReadingTable &table, int row, std::span<ReadingTable::StoredText> texts)
{
    if (const std::optional<qint32> no = table.no(row))
        out += QByteArray::number(*no);
    table.rowTexts(row, texts);
    for (const ReadingTable::StoredText &field : texts) {
        out += '\t';
        appendText(out, field);
    }
    out += '\n';
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
