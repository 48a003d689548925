// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <span>

class ReadingTable;

// The rows of the reading table as tab-separated UTF-8 text for the clipboard,
// which spreadsheets paste as columns: the header line (the column names),
// then one line per row, each ended by "\n". No is written in decimal, a null
// field as nothing. A tab, carriage return or line feed inside a text would
// split its row or column, so each is replaced by a space.
//
// rows are row numbers of the table in the order to write them; an empty span
// writes every row. Row numbers outside the table are skipped.
QByteArray tableClipboardText(const ReadingTable &table, std::span<const int> rows = {});
