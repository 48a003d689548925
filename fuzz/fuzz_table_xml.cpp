// SPDX-License-Identifier: MIT
// The XML table reader: a refused file leaves the table as it was; an accepted
// one holds rows that save as XML and open again unchanged.
//
// Input: the first byte picks the model (low bit: 0 KM90, 1 KM50_60); the rest
// is the file's content.
#include "FuzzCheck.h"
#include "TableDump.h"

#include "recording/TableFiles.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

// A row the table holds before each read, so that "unchanged" means something.
void fillBefore(ReadingTable &table)
{
    QStringList texts;
    for (int c = 1; c < table.columnCount(); ++c)
        texts << QStringLiteral("t%1").arg(c);
    table.appendRow(41, std::span<const QString>(texts.constData(), texts.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static QTemporaryDir folder;
    FUZZ_CHECK(folder.isValid());
    const MeterModel model = (data[0] & 1) ? MeterModel::Km50_60 : MeterModel::Km90;
    QByteArray file(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));

    ReadingTable table(model);
    fillBefore(table);
    const QString before = dumpTable(table);
    QBuffer device(&file);
    device.open(QIODevice::ReadOnly);
    const TableFiles::Result read = TableFiles::readTableXml(device, table);
    if (!read.ok) {
        FUZZ_CHECK(!read.error.isEmpty());
        FUZZ_CHECK(dumpTable(table) == before);
        return 0;
    }
    FUZZ_CHECK(read.rows == table.rowCount());

    const QString path = folder.filePath(QStringLiteral("table.xml"));
    const TableFiles::Result saved = TableFiles::writeTableXmlFile(table, path);
    if (!saved.ok) {
        // Only a text XML cannot carry may stop the save; nothing is written.
        FUZZ_CHECK(!saved.error.isEmpty());
        return 0;
    }
    ReadingTable again(model);
    fillBefore(again);
    const TableFiles::Result reopened = TableFiles::readTableXmlFile(path, again);
    FUZZ_CHECK(reopened.ok);
    FUZZ_CHECK(dumpTable(again) == dumpTable(table));
    return 0;
}
