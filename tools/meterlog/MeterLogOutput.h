// SPDX-License-Identifier: MIT
#pragma once

#include "recording/TableFiles.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QString>
#include <QTime>

#include <condition_variable>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

class MeterSession;
class ReadingTable;
struct ModelDescription;

// Wall-clock time for the rows' time stamps: ms since 1970 UTC from a source
// (the system clock or a test's), turned into local date, time of day and the
// ISO 8601 text with milliseconds and UTC offset. The time zone is asked once
// a second at most: stamping a row must stay cheap in a long replay.
class WallClock
{
public:
    explicit WallClock(std::function<qint64()> source = {});

    qint64 now() const;
    QDate date(qint64 ms);
    QTime timeOfDay(qint64 ms);
    // "2024-05-01T10:15:02.123+02:00"
    QString isoText(qint64 ms) { return isoView(ms).toString(); }
    // The same text, valid until the next call.
    QStringView isoView(qint64 ms);

private:
    void enterSecond(qint64 ms);

    std::function<qint64()> m_source;
    qint64 m_second = std::numeric_limits<qint64>::min();
    QDate m_date;
    QTime m_time; // at the start of the second
    QString m_iso; // "2024-05-01T10:15:02.000+02:00": the second's text, ms put in
    qsizetype m_msAt = 0; // where the milliseconds stand in m_iso
};

// The rows as standard output carries them besides today's tab-separated text.
namespace MeterLogFormat {

// RFC 4180: fields separated by commas, lines ended by CR LF; a field holding
// a comma, a double quote, CR or LF is quoted, its quotes doubled. Fields are
// trimmed like the table's text file; a null field is empty.
QString csvLine(const QStringList &fields);
QString csvHeader(const ReadingTable &table);
QString csvRow(const ReadingTable &table, int row);

// One JSON object for a recorded row (without line end):
//   {"model":"km90","recorded":"2024-05-01T10:15:02.123+02:00","No":1,
//    "Time":"10:15:02","Value":"12.34","Unit":"kW",...,"numbers":{"Value":12.34,...}}
// Text fields are trimmed like the table's text file and null when nothing
// is left; "numbers" repeats every value field (a column whose name ends in
// "Value") that reads as a finite number, with decimal as its separator.
QByteArray jsonRow(const ModelDescription &model, const ReadingTable &table, int row,
    const QString &recorded, const QString &decimal);

// The JSON number that RapidJSON's writer prints for the value of a plain
// decimal text, made from the text's digits: an optional minus, one to four
// digits with at most one separator between two of them (all a meter's
// readings are), the separator '.' or ','. Integers get ".0" as RapidJSON
// writes them, and a negative zero is "-0.0". Returns the number of bytes
// written to out, 0 when the text is not such a decimal.
qsizetype plainDecimalJson(QStringView text, QChar separator, char (&out)[16]);

// Writes the JSON objects of jsonRow with RapidJSON's writer, keeping its
// buffer and the table's column facts from row to row (a logger writes a row
// in about a microsecond this way; a QJsonObject per row costs ten).
class JsonRowWriter
{
public:
    JsonRowWriter();
    ~JsonRowWriter();
    JsonRowWriter(const JsonRowWriter &) = delete;
    JsonRowWriter &operator=(const JsonRowWriter &) = delete;

    // Appends the row's object, without line end, to out.
    void append(const ModelDescription &model, const ReadingTable &table, int row,
        QStringView recorded, const QString &decimal, QByteArray &out);

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace MeterLogFormat

// The --output file: the table's text file (the bytes Save writes for the same
// rows), appended to as rows are recorded.
//
// Rows gather during a frame and go to the file with one write at its end
// (endFrame), so a kill leaves only whole lines. A thread of its own flushes
// the file to the disk (fdatasync) about half a second after a write, so the
// rows reach the disk within a second; the reading loop never waits for it.
//
// The name may hold a date pattern (%Y, %m, %d, and %% for a percent sign):
// a frame recorded on a new local day opens the next day's file, with its
// header, and numbering goes on.
class TableFileOutput
{
public:
    TableFileOutput(MeterSession &session, WallClock &clock);
    ~TableFileOutput();
    TableFileOutput(const TableFileOutput &) = delete;
    TableFileOutput &operator=(const TableFileOutput &) = delete;

    // Opens the file for the day of ms. A file that exists is refused unless
    // append is set; with append its header must be the table's, and the
    // recorder goes on after its last row (No and the repeat rule).
    bool open(const QString &pattern, bool append, qint64 ms, QString &error);
    // The file name for the day of date.
    static QString fileNameFor(const QString &pattern, QDate date);
    const QString &fileName() const { return m_fileName; }

    // A row of the session's table recorded at ms.
    bool addRow(int row, qint64 ms, QString &error);
    // Writes the rows gathered since the last write with one write.
    bool endFrame(QString &error);
    // Bytes of rows not written yet.
    qsizetype pendingBytes() const { return m_encoder.bytes().size(); }

private:
    bool openFile(const QString &name, bool append, QString &error);
    bool continueAfter(const QString &name, QString &error);
    void closeFile();
    void flushLoop();

    MeterSession &m_session;
    WallClock &m_clock;
    QString m_pattern;
    bool m_append = false;
    QDate m_day;
    QString m_fileName;
    QFile m_file;
    TableFiles::TextRowEncoder m_encoder;
    bool m_needsLineEnd = false;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_dirty = false;
    bool m_quit = false;
    std::shared_ptr<int> m_syncFd; // a duplicate of the file's handle for the flush thread
    std::thread m_flusher;
};
