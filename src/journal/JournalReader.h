// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"
#include "journal/JournalFormat.h"
#include "recording/ReadingTable.h"

#include <QString>

#include <memory>

// What a journal file gives back: the reading table as the journal's records
// leave it. Reading stops at the first record that is cut short or fails its
// check; everything before it is given back.
struct JournalContents
{
    enum class Status {
        Complete, // every record read
        Damaged, // read up to a torn or damaged record; the rest is lost
        Unreadable, // no journal of this program (bad start, header or columns)
        NewerVersion, // written by a newer program; left alone
        CannotOpen,
    };
    Status status = Status::CannotOpen;
    QString error; // why, for Unreadable and CannotOpen
    JournalFormat::Header header;
    std::unique_ptr<ReadingTable> table;
    // Recording times of the table's first and last rows (ms since 1970 UTC,
    // with the UTC offset in force then); 0 when the table is empty.
    qint64 firstMs = 0;
    qint64 lastMs = 0;
    qint16 firstOffsetMinutes = 0;
    qint16 lastOffsetMinutes = 0;
    // No change after the last "Saved": every row is in a file.
    bool savedSinceLastChange = false;
    // Records that could not be read: the damaged one and every whole record
    // found after it.
    int unreadableRecords = 0;
    // Bytes of the file up to the first damage: where appending may go on.
    qint64 validBytes = 0;

    bool usable() const { return status == Status::Complete || status == Status::Damaged; }
};

JournalContents readJournal(const QString &path, MeterModel model);
// The same from bytes in memory.
JournalContents readJournalBytes(QByteArrayView bytes, MeterModel model);
