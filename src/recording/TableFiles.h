// SPDX-License-Identifier: MIT
#pragma once

#include "recording/ReadingTable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

class JobProgress;
class QIODevice;

// Writing the reading table to a file and reading such files back, without any
// window or dialog: the commands that ask for names and show messages sit on top.
//
// Text table file (every name whose extension is not the XML one): code page 936
// (GBK) bytes, no byte-order mark, every line ended by CR LF, fields separated by
// one TAB. Line 1 holds the column names; each further line one row: No in
// decimal, then each text column with the characters of codes 0 to 32 trimmed
// from both ends, or "NULL" where nothing remains. Nothing is quoted, except
// that a row without No (only a file can give one) writes "" there, which reads
// back as no No.
//
// Reading a text file drops its first line unseen, splits each further line into
// tokens (see splitTableLine) and appends one row per line that has tokens,
// token n into column n. It stops at the first line that does not fit; the rows
// of the earlier lines stay, no row is added for the failing line.
//
// XML table file: a data packet, UTF-8:
//   <DATAPACKET Version="2.0">
//     <METADATA><FIELDS>
//       <FIELD attrname="No" fieldtype="i4"/>
//       <FIELD attrname="Time" fieldtype="string" WIDTH="20"/> ...
//     </FIELDS><PARAMS/></METADATA>
//     <ROWDATA><ROW No="1" Time="10:15:02" Value="12.34"/> ...</ROWDATA>
//   </DATAPACKET>
// one attribute per non-null field. Reading one replaces all rows of the table,
// or changes nothing when the file is not such a packet or its fields are not
// the table's columns.
//
// Every write goes through AtomicFile (files/AtomicFile.h): a file is replaced
// only once the new content is completely on disk (a temporary file beside it
// takes its place), so a failed save leaves an existing file as it was. A
// character device or a pipe is written straight into, never replaced; a block
// device or a socket is refused.
namespace TableFiles {

enum class Format { Text, Xml };

struct Result
{
    Format format = Format::Text;
    bool ok = false;
    // Why it failed, for diagnostics and the general error report; empty on success.
    QString error;
    // Reading: rows appended (text) or now in the table (XML).
    qsizetype rows = 0;
    // Reading a text file: the 1-based line that failed, 0 when none did.
    qsizetype failedLine = 0;
};

// The extension of a file name: the part of its name (the path's last element)
// from the last '.' on, dot included; empty when the name has no dot.
QString fileExtension(const QString &path);

// The format a name is written in: KM90 writes XML only for the extension
// ".xml" exactly, KM50_60 for ".xml" in any letter case.
Format saveFormat(MeterModel model, const QString &path);
// The format a name is read in, for both programs: XML only for ".xml" exactly.
Format openFormat(const QString &path);

// A field as the text file writes it: characters of codes 0 to 32 trimmed from
// both ends, "NULL" when nothing remains.
QStringView trimmedField(QStringView text);
QString textFileField(QStringView text);

// The header line of the text file, without line end: the column names joined by TAB.
QString tableHeaderLine(const ReadingTable &table);

// The tokens of one line of a text table file. Runs of characters of codes 0 to
// 32 separate tokens and yield none themselves. A token that starts with a double
// quote runs to the closing quote (or the end of the line), two quotes inside it
// stand for one and the enclosing quotes are dropped; any other token is the
// longest run of characters above code 32.
QStringList splitTableLine(QStringView line);

// The complete text file of the table, as bytes.
QByteArray tableTextBytes(const ReadingTable &table);
// Writes the table as a text file.
//
// Every read and write of a file takes an optional job (jobs/JobProgress.h):
// it counts the bytes read against the file's size, or the bytes written
// against an estimate of the file's size, and once the job is cancelled the
// next read or write fails: a file being written is abandoned (an old file
// stays as it was), a file being read is read no further (the result fails,
// rows already appended by a text file stay in the table they went to).
Result writeTableTextFile(
    const ReadingTable &table, const QString &path, JobProgress *job = nullptr);
// Writes the table as an XML data packet. Fails, writing nothing, when a text
// holds a character that XML cannot carry (control characters other than TAB,
// LF and CR).
Result writeTableXmlFile(
    const ReadingTable &table, const QString &path, JobProgress *job = nullptr);

// Encodes rows of the table into bytes exactly as writeTableTextFile writes
// them (header line, rows, each ended by CR LF), a few at a time, for a writer
// that appends rows to a text table file as they are recorded. The bytes
// gather until clear(); the buffer keeps its room.
class TextRowEncoder
{
public:
    explicit TextRowEncoder(const ReadingTable &table);
    ~TextRowEncoder();
    TextRowEncoder(const TextRowEncoder &) = delete;
    TextRowEncoder &operator=(const TextRowEncoder &) = delete;

    void appendHeader();
    void appendRow(int row);
    QByteArrayView bytes() const;
    void clear();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The longest line a text table file may have. A row's line is far shorter
// (at most eight fields of twenty characters); this leaves room for blanks and
// long texts, which the table cuts. A longer line is refused as soon as its
// length passes this, without being kept.
inline constexpr qsizetype MaxLineBytes = 64 * 1024;

// Appends the rows of a text file to the table as its content arrives in pieces
// of any size, so that a large file never sits in memory whole: each line is
// read once its end has arrived. After a line fails, later pieces are ignored.
class TextTableReader
{
public:
    // What the first line of the content is: the file's header, which is
    // skipped, or already a row (the content starts inside a file).
    enum class FirstLine { Header, Row };

    explicit TextTableReader(ReadingTable &table, FirstLine first = FirstLine::Header);
    ~TextTableReader();
    TextTableReader(const TextTableReader &) = delete;
    TextTableReader &operator=(const TextTableReader &) = delete;

    // The next piece of the file; false once a line has failed.
    bool feed(QByteArrayView piece);
    // The end of the file: reads a last line without line end and gives the
    // outcome. A file without any byte fails: it has no first line to drop.
    Result finish();
    // Appends the rows that another reader (made with FirstLine::Row) read
    // from the content that follows this reader's, which must end with a
    // complete line; rows is left empty. False once a line has failed.
    bool appendRowsReadOn(ReadingTable &rows);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Appends the rows of text file content to the table (see above).
Result appendTableText(QByteArrayView bytes, ReadingTable &table);
// Reads a text file into the table. A file that cannot be read, or is empty
// (it has no first line to drop), fails without touching the table.
Result readTableTextFile(const QString &path, ReadingTable &table, JobProgress *job = nullptr);
// The same, with a file of at least twice partBytes read as two halves on two
// threads at once: the second half's rows are read into a table of their own
// and appended after the first half's. Should a line of the second half fail,
// the second half is read again after the first, so that the outcome, the
// message and the rows kept are always those of reading the file in order.
// readTableTextFile splits files of a few mebibytes and more; tests pass a
// small partBytes to split small files.
Result readTableTextFileInParts(
    const QString &path, ReadingTable &table, JobProgress *job, qint64 partBytes);
// Replaces the table's rows with those of an XML data packet.
Result readTableXml(QIODevice &device, ReadingTable &table);
Result readTableXmlFile(const QString &path, ReadingTable &table, JobProgress *job = nullptr);

// Writes the table in the format saveFormat gives for its program.
Result WriteTableText(const ReadingTable &table, const QString &path, JobProgress *job = nullptr);
// Reads a file into the table in the format openFormat gives: a text file
// appends rows, an XML file replaces them.
Result ReadTableFile(const QString &path, ReadingTable &table, JobProgress *job = nullptr);

} // namespace TableFiles
