// SPDX-License-Identifier: MIT
#pragma once

#include "reports/ReportDocument.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;

// The report's files, without any window: the report file that loads back into
// the preview, and the plain-text, comma-separated and HTML exports. Every
// write goes through a temporary file that replaces the target only once it is
// complete, so a failed write leaves an existing file as it was (a device or a
// pipe is written straight into; see writeAtomically).
//
// Report file (.kmr): a binary stream (QDataStream, Qt 6.4 format, big-endian)
//   quint32 magic 0x4B4D5250 ("KMRP"), quint16 version 1,
//   quint8 meter model (0 KM90, 1 KM50_60),
//   paper width, height, margin (double, mm), print date, Allpage text (QString),
//   the four bands in print order, each: height (double), quint32 element count,
//   per element: quint8 kind, name, text (QString), qint32 column, left, down,
//   point size (double), bold, underline, centred (bool), quint8 colour,
//   quint32 column count, quint32 row count, then row by row one QString per
//   column (No in decimal, a null field as an empty text).
// It holds the design as well as the rows, so a saved report shows the same
// pages whatever later versions of the programs print. Loading refuses a
// design no report of these programs has (limits in ReportFiles.cpp), so any
// page of a loaded report is cheap to lay out, paint and export.
//
// Text export (.txt): the report page by page as it prints, every text on a
// character grid of 2 mm per character (the title centred), one line per text
// line of the page, a blank line before the footer, pages separated by a form
// feed. UTF-8, CR LF.
// CSV export (.csv): a line with the column headings as printed, then one line
// per row with its fields in column order, separated by ","; a field holding a
// comma, a double quote or a line break is quoted, with quotes doubled. UTF-8,
// CR LF.
// HTML export (.html): one UTF-8 document with the title, the print date and
// one table of the headings and every row (a web page has no printed pages, so
// the page footers are left out).
namespace ReportFiles {

enum class Format { Report, Pdf, Text, Csv, Html };

struct Result
{
    bool ok = false;
    QString error; // why it failed, for the message box; empty on success
};

// The format a file name asks for, by its extension in any letter case: .kmr,
// .pdf, .txt, .csv, .html or .htm; nullopt for any other name.
std::optional<Format> formatForPath(const QString &path);

// The save dialog's filter: one "description|patterns" pair per format, in the
// order of Format.
QString saveFilter();
// The extension a format's files get (kmr, pdf, txt, csv, html).
QString formatSuffix(Format format);
// The format's name in messages ("report file", "PDF document", ...).
QString formatName(Format format);
// The file a save chosen in the dialog writes. A name without an extension
// gets that of the filter chosen in the dialog (chosenFilter: the index of its
// pair in saveFilter(); -1 when not known gives the report file's); a name with
// an extension keeps it, so the extension decides the format even where it
// contradicts the filter, and one that names no format is refused later.
QString savePath(const QString &chosen, int chosenFilter);

Result saveReport(const ReportDocument &report, const QString &path);
// Reads a report file; nullptr with error set when it is not a complete, valid
// report file.
std::shared_ptr<ReportDocument> loadReport(const QString &path, QString *error = nullptr);
std::shared_ptr<ReportDocument> loadReport(QIODevice &device, QString *error = nullptr);

Result exportText(const ReportDocument &report, const QString &path);
Result exportCsv(const ReportDocument &report, const QString &path);
Result exportHtml(const ReportDocument &report, const QString &path);

// The export contents for a range of pages or rows, as written to the files.
QByteArray textPage(const ReportDocument &report, int page);
QByteArray csvHeadingLine(const ReportDocument &report);
QByteArray csvRowLine(const ReportDocument &report, int row);
QString csvField(const QString &text);

// Writes a file by the rule of AtomicFile (files/AtomicFile.h): through a
// temporary file that replaces the target only once complete; a character
// device or a pipe is written straight into. write gets the open device and
// returns false (after setting its message) to abandon the file.
Result writeAtomically(
    const QString &path, const std::function<bool(QIODevice &, QString &)> &write);

} // namespace ReportFiles
