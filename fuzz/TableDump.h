// SPDX-License-Identifier: MIT
#pragma once

#include "recording/ReadingTable.h"

#include <QString>
#include <QStringList>

// A table's rows as one text: one line per row, fields joined by '|', a null
// field as '~', so that two tables compare as strings.
inline QString dumpTable(const ReadingTable &table)
{
    QStringList lines;
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < table.columnCount(); ++c)
            fields << (table.isNull(r, c) ? QStringLiteral("~") : table.fieldText(r, c));
        lines << fields.join(u'|');
    }
    return lines.join(u'\n');
}
