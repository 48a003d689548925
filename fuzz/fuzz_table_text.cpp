// SPDX-License-Identifier: MIT
// The text table reader: the file read in small pieces must give the same
// rows, outcome, error and failing line as the file read whole.
//
// Input: the first byte picks the model (bit 7: 0 KM90, 1 KM50_60) and the
// piece size (low six bits + 1 bytes); the rest is the file's content.
#include "FuzzCheck.h"
#include "TableDump.h"

#include "recording/TableFiles.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const MeterModel model = (data[0] & 0x80) ? MeterModel::Km50_60 : MeterModel::Km90;
    const qsizetype piece = (data[0] & 0x3F) + 1;
    const QByteArrayView file(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));

    ReadingTable whole(model);
    const TableFiles::Result a = TableFiles::appendTableText(file, whole);

    ReadingTable pieces(model);
    TableFiles::TextTableReader reader(pieces);
    bool going = true;
    for (qsizetype at = 0; at < file.size(); at += piece) {
        const bool fed = reader.feed(file.sliced(at, std::min(piece, file.size() - at)));
        // Once a line has failed, the reader says so for every later piece.
        FUZZ_CHECK(going || !fed);
        going = fed;
    }
    const TableFiles::Result b = reader.finish();

    FUZZ_CHECK(a.ok == b.ok);
    FUZZ_CHECK(a.error == b.error);
    FUZZ_CHECK(a.rows == b.rows);
    FUZZ_CHECK(a.failedLine == b.failedLine);
    // A failing line means failure; an empty file fails without one.
    FUZZ_CHECK(a.failedLine == 0 || !a.ok);
    FUZZ_CHECK(a.rows == whole.rowCount());
    FUZZ_CHECK(dumpTable(whole) == dumpTable(pieces));
    return 0;
}
