// SPDX-License-Identifier: MIT
#include "reports/ReportFiles.h"

#include "files/AtomicFile.h"
#include "recording/ReadingTable.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace ReportFiles {

namespace {

constexpr quint32 Magic = 0x4B4D5250; // "KMRP"
constexpr quint16 Version = 1;
constexpr double TextCharMm = 2.0;
const char *const LineEnd = "\r\n";

// Rows loaded from a report file, kept as compactly as the live table keeps them.
class LoadedRows : public ReportRows
{
public:
    explicit LoadedRows(MeterModel model)
        : table(model)
    { }
    int rowCount() const override { return table.rowCount(); }
    QString fieldText(int row, int column) const override
    {
        return column >= 0 && column < table.columnCount() ? table.fieldText(row, column)
                                                           : QString();
    }
    ReadingTable table;
};

QString fileError(const QString &path, const QString &why)
{
    return QStringLiteral("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(path), why);
}

void writeBand(QDataStream &out, const ReportBand &band)
{
    out << band.heightMm << quint32(band.elements.size());
    for (const ReportElement &e : band.elements) {
        out << quint8(e.kind) << e.name << e.text << qint32(e.column) << e.leftMm << e.downMm
            << e.pointSize << e.bold << e.underline << e.centred << quint8(e.colour);
    }
}

bool sane(double mm, double low, double high)
{
    return std::isfinite(mm) && mm >= low && mm <= high;
}

// What a report of these programs can hold, with room to spare. A file beyond
// these is damaged (or made to hurt): refused on loading, so that laying out,
// painting and exporting any page stays cheap whatever the file holds.
//   - the paper: at most 2 m either way (A0 is 1.19 m);
constexpr double MaxPaperMm = 2000;
//   - a band: at most 64 elements (the programs' have up to 8);
constexpr quint32 MaxElements = 64;
//   - a text (element text or name, print date, page count): at most 256
//     characters (the programs' longest is the title);
constexpr qsizetype MaxTextLength = 256;
//   - a point size: 1 to 200 (the programs print 7 to 14 pt);
constexpr double MaxPointSize = 200;
//   - the characters all elements of a design print besides the table's
//     fields, the print date and page count counted where they print: 4096;
constexpr qsizetype MaxDesignText = 4096;
//   - the texts one page places: 10,000 (an A4 page places about 300).
constexpr qint64 MaxPageTexts = 10000;

// An element sits on the paper: its left edge between the paper's edges and
// its top within the printable height below its band's top. A detail field
// names a table column, each column once.
bool readBand(QDataStream &in, ReportBand &band, int columns, const PageGeometry &page)
{
    quint32 count = 0;
    in >> band.heightMm >> count;
    if (in.status() != QDataStream::Ok || !sane(band.heightMm, 0, page.printableHeightMm())
        || count > MaxElements)
        return false;
    for (quint32 i = 0; i < count; ++i) {
        ReportElement e;
        quint8 kind = 0;
        quint8 colour = 0;
        qint32 column = 0;
        in >> kind >> e.name >> e.text >> column >> e.leftMm >> e.downMm >> e.pointSize >> e.bold
            >> e.underline >> e.centred >> colour;
        if (in.status() != QDataStream::Ok || kind > quint8(ReportElement::Kind::PageCount)
            || colour > quint8(ReportColour::ToolTipText)
            || !sane(e.leftMm, -page.marginMm, page.widthMm - page.marginMm)
            || !sane(e.downMm, 0, page.printableHeightMm()) || !sane(e.pointSize, 1, MaxPointSize)
            || e.name.size() > MaxTextLength || e.text.size() > MaxTextLength)
            return false;
        e.kind = ReportElement::Kind(kind);
        e.colour = ReportColour(colour);
        e.column = column;
        if (e.kind == ReportElement::Kind::Field && (column < 0 || column >= columns))
            return false;
        band.elements.append(std::move(e));
    }
    return true;
}

// The limits that concern the design as a whole (see above).
bool designFits(
    const ReportDesign &design, int columns, const ReportStamp &stamp, const PageGeometry &page)
{
    qsizetype text = 0;
    qint64 fixedTexts = 0;
    for (const ReportBand *band :
        { &design.pageHeader, &design.columnHeader, &design.detail, &design.pageFooter }) {
        for (const ReportElement &e : band->elements) {
            switch (e.kind) {
            case ReportElement::Kind::Label:
                text += e.text.size();
                break;
            case ReportElement::Kind::PrintDate:
                text += stamp.printDate.size();
                break;
            case ReportElement::Kind::PageCount:
                text += stamp.allPage.size();
                break;
            case ReportElement::Kind::Field:
            case ReportElement::Kind::PageNumber:
                break;
            }
        }
        if (band != &design.detail)
            fixedTexts += band->elements.size();
    }
    if (text > MaxDesignText)
        return false;
    QList<bool> used(columns, false);
    for (const ReportElement &e : design.detail.elements) {
        if (e.kind != ReportElement::Kind::Field)
            continue;
        if (used[e.column])
            return false;
        used[e.column] = true;
    }
    const qint64 detailTexts
        = qint64(detailRowsPerPage(design, page)) * design.detail.elements.size();
    return fixedTexts + detailTexts <= MaxPageTexts;
}

QString notAReport(const QString &what)
{
    return QStringLiteral("This is not a complete report file (%1).").arg(what);
}

std::vector<PlacedText> sortedByLine(std::vector<PlacedText> texts)
{
    std::stable_sort(texts.begin(), texts.end(), [](const PlacedText &a, const PlacedText &b) {
        if (a.band != b.band)
            return a.band < b.band;
        if (std::abs(a.yMm - b.yMm) > 0.05)
            return a.yMm < b.yMm;
        return a.xMm < b.xMm;
    });
    return texts;
}

// The texts of the page header other than the title, in place order: the
// "Print Date:" caption and the date.
QString dateLine(const ReportDocument &report)
{
    QStringList parts;
    for (const PlacedText &t : sortedByLine(report.pageTexts(1))) {
        if (t.band == ReportBandKind::PageHeader && t.centreWidthMm == 0 && !t.text.isEmpty())
            parts.append(t.text);
    }
    return parts.join(QLatin1Char(' '));
}

QStringList headings(const ReportDesign &design)
{
    QStringList out;
    for (const ReportElement &e : design.columnHeader.elements) {
        if (e.kind == ReportElement::Kind::Label)
            out.append(e.text);
    }
    return out;
}

QList<int> detailColumns(const ReportDesign &design)
{
    QList<int> out;
    for (const ReportElement &e : design.detail.elements) {
        if (e.kind == ReportElement::Kind::Field)
            out.append(e.column);
    }
    return out;
}

bool writeAll(QIODevice &device, const QByteArray &bytes, QString &error)
{
    if (device.write(bytes) == bytes.size())
        return true;
    error = device.errorString();
    return false;
}

} // namespace

std::optional<Format> formatForPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("kmr"))
        return Format::Report;
    if (suffix == QLatin1String("pdf"))
        return Format::Pdf;
    if (suffix == QLatin1String("txt"))
        return Format::Text;
    if (suffix == QLatin1String("csv"))
        return Format::Csv;
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return Format::Html;
    return std::nullopt;
}

QString saveFilter()
{
    return QStringLiteral("Report file (*.kmr)|*.kmr|PDF document (*.pdf)|*.pdf|"
                          "Text file (*.txt)|*.txt|CSV file (*.csv)|*.csv|"
                          "HTML document (*.html)|*.html;*.htm");
}

QString formatSuffix(Format format)
{
    switch (format) {
    case Format::Report:
        return QStringLiteral("kmr");
    case Format::Pdf:
        return QStringLiteral("pdf");
    case Format::Text:
        return QStringLiteral("txt");
    case Format::Csv:
        return QStringLiteral("csv");
    case Format::Html:
        break;
    }
    return QStringLiteral("html");
}

QString formatName(Format format)
{
    switch (format) {
    case Format::Report:
        return QStringLiteral("report file");
    case Format::Pdf:
        return QStringLiteral("PDF document");
    case Format::Text:
        return QStringLiteral("text file");
    case Format::Csv:
        return QStringLiteral("CSV file");
    case Format::Html:
        break;
    }
    return QStringLiteral("HTML document");
}

QString savePath(const QString &chosen, int chosenFilter)
{
    const QFileInfo info(chosen);
    if (!info.suffix().isEmpty() || info.fileName().isEmpty())
        return chosen;
    constexpr Format inFilterOrder[]
        = { Format::Report, Format::Pdf, Format::Text, Format::Csv, Format::Html };
    const Format format = chosenFilter >= 0 && chosenFilter < int(std::size(inFilterOrder))
        ? inFilterOrder[chosenFilter]
        : Format::Report;
    // "name." has an empty extension too; it gets the extension after its dot.
    return chosen + (chosen.endsWith(u'.') ? QString() : QStringLiteral("."))
        + formatSuffix(format);
}

Result writeAtomically(
    const QString &path, const std::function<bool(QIODevice &, QString &)> &write)
{
    const AtomicFile::Result result = AtomicFile::write(path, write);
    if (!result.ok())
        return { false, fileError(path, result.reason) };
    return { true, {} };
}

Result saveReport(const ReportDocument &report, const QString &path)
{
    return writeAtomically(path, [&report](QIODevice &device, QString &error) {
        QDataStream out(&device);
        out.setVersion(QDataStream::Qt_6_4);
        const ReportDesign &d = report.design();
        const PageGeometry &page = report.layout().page();
        out << Magic << Version << quint8(d.model) << page.widthMm << page.heightMm << page.marginMm
            << report.stamp().printDate << report.stamp().allPage;
        for (const ReportBand *band : { &d.pageHeader, &d.columnHeader, &d.detail, &d.pageFooter })
            writeBand(out, *band);
        const ReportRows &rows = report.rows();
        const int columns = ReadingTable(d.model).columnCount();
        out << quint32(columns) << quint32(rows.rowCount());
        for (int r = 0; r < rows.rowCount() && out.status() == QDataStream::Ok; ++r) {
            for (int c = 0; c < columns; ++c)
                out << rows.fieldText(r, c);
        }
        if (out.status() != QDataStream::Ok) {
            error = device.errorString();
            return false;
        }
        return true;
    });
}

std::shared_ptr<ReportDocument> loadReport(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = QStringLiteral("Cannot open \"%1\": %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        }
        return nullptr;
    }
    return loadReport(file, error);
}

std::shared_ptr<ReportDocument> loadReport(QIODevice &device, QString *error)
{
    auto fail = [error](const QString &why) -> std::shared_ptr<ReportDocument> {
        if (error)
            *error = why;
        return nullptr;
    };
    QDataStream in(&device);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint16 version = 0;
    quint8 model = 0;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != Magic)
        return fail(notAReport(QStringLiteral("unknown format")));
    if (version != Version)
        return fail(QStringLiteral("This report file was written in version %1 of the format, "
                                   "which this program cannot read.")
                        .arg(version));
    PageGeometry page;
    ReportStamp stamp;
    ReportDesign design;
    in >> model >> page.widthMm >> page.heightMm >> page.marginMm >> stamp.printDate
        >> stamp.allPage;
    if (in.status() != QDataStream::Ok || model > 1 || !sane(page.widthMm, 10, MaxPaperMm)
        || !sane(page.heightMm, 10, MaxPaperMm) || !sane(page.marginMm, 0, 0.45 * page.widthMm)
        || page.marginMm > 0.45 * page.heightMm || stamp.printDate.size() > MaxTextLength
        || stamp.allPage.size() > MaxTextLength)
        return fail(notAReport(QStringLiteral("page")));
    design.model = MeterModel(model); // 0 or 1, checked above

    auto rows = std::make_shared<LoadedRows>(design.model);
    const int columns = rows->table.columnCount();
    for (ReportBand *band :
        { &design.pageHeader, &design.columnHeader, &design.detail, &design.pageFooter }) {
        if (!readBand(in, *band, columns, page))
            return fail(notAReport(QStringLiteral("design")));
    }
    if (!designFits(design, columns, stamp, page))
        return fail(notAReport(QStringLiteral("design")));
    quint32 fileColumns = 0;
    quint32 rowCount = 0;
    in >> fileColumns >> rowCount;
    if (in.status() != QDataStream::Ok || fileColumns != quint32(columns)
        || rowCount > quint32(std::numeric_limits<int>::max()))
        return fail(notAReport(QStringLiteral("rows")));
    // Rows are read one at a time, so a damaged count cannot ask for memory the
    // file does not back: the stream runs dry first.
    QList<QString> fields(columns);
    for (quint32 r = 0; r < rowCount; ++r) {
        for (QString &f : fields)
            in >> f;
        if (in.status() != QDataStream::Ok)
            return fail(notAReport(QStringLiteral("row %1 of %2").arg(r + 1).arg(rowCount)));
        if (!rows->table.appendFields(std::span<const QString>(fields.constData(), fields.size())))
            return fail(notAReport(QStringLiteral("row %1 has no valid No").arg(r + 1)));
    }
    if (!in.atEnd())
        return fail(notAReport(QStringLiteral("data after the last row")));
    return std::make_shared<ReportDocument>(
        std::move(design), std::move(rows), std::move(stamp), page);
}

QByteArray textPage(const ReportDocument &report, int page)
{
    const PageGeometry &paper = report.layout().page();
    const int lineWidth = int(std::lround(paper.printableWidthMm() / TextCharMm));
    QString out;
    QString line;
    bool lineOpen = false;
    double lineY = 0;
    ReportBandKind lineBand = ReportBandKind::PageHeader;
    auto endLine = [&] {
        out += line;
        out += QLatin1String(LineEnd);
        line.clear();
        lineOpen = false;
    };
    for (const PlacedText &t : sortedByLine(report.pageTexts(page))) {
        if (lineOpen && (t.band != lineBand || std::abs(t.yMm - lineY) > 0.05))
            endLine();
        if (!lineOpen) {
            if (t.band == ReportBandKind::PageFooter && lineBand != ReportBandKind::PageFooter)
                out += QLatin1String(LineEnd);
            lineOpen = true;
            lineBand = t.band;
            lineY = t.yMm;
        }
        if (t.text.isEmpty())
            continue;
        qsizetype column = t.centreWidthMm > 0
            ? std::max<qsizetype>(0, (lineWidth - t.text.size()) / 2)
            : qsizetype(std::lround(std::max(0.0, t.xMm - paper.marginMm) / TextCharMm));
        if (!line.isEmpty())
            column = std::max(column, line.size() + 1);
        line += QString(column - line.size(), QLatin1Char(' '));
        line += t.text;
    }
    if (lineOpen)
        endLine();
    return out.toUtf8();
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray csvHeadingLine(const ReportDocument &report)
{
    QStringList cells;
    for (const QString &h : headings(report.design()))
        cells.append(csvField(h));
    return (cells.join(QLatin1Char(',')) + QLatin1String(LineEnd)).toUtf8();
}

QByteArray csvRowLine(const ReportDocument &report, int row)
{
    QStringList cells;
    for (int column : detailColumns(report.design()))
        cells.append(csvField(report.rows().fieldText(row, column)));
    return (cells.join(QLatin1Char(',')) + QLatin1String(LineEnd)).toUtf8();
}

Result exportText(const ReportDocument &report, const QString &path)
{
    return writeAtomically(path, [&report](QIODevice &device, QString &error) {
        for (int page = 1; page <= report.pageCount(); ++page) {
            if (page > 1 && !writeAll(device, QByteArray("\f"), error))
                return false;
            if (!writeAll(device, textPage(report, page), error))
                return false;
        }
        return true;
    });
}

Result exportCsv(const ReportDocument &report, const QString &path)
{
    return writeAtomically(path, [&report](QIODevice &device, QString &error) {
        QByteArray chunk = csvHeadingLine(report);
        for (int row = 0; row < report.rows().rowCount(); ++row) {
            chunk += csvRowLine(report, row);
            if (chunk.size() > (1 << 16)) {
                if (!writeAll(device, chunk, error))
                    return false;
                chunk.clear();
            }
        }
        return writeAll(device, chunk, error);
    });
}

Result exportHtml(const ReportDocument &report, const QString &path)
{
    return writeAtomically(path, [&report](QIODevice &device, QString &error) {
        const QString title = report.title().toHtmlEscaped();
        bool underlined = false;
        for (const ReportElement &e : report.design().pageHeader.elements)
            underlined = underlined || (e.centred && e.underline);
        QString head
            = QStringLiteral(
                "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n"
                "<style>\n"
                "body { font-family: Arial, \"Liberation Sans\", sans-serif; }\n"
                "h1 { font-size: 14pt; text-align: center;%2 }\n"
                "p.date { font-size: 7pt; text-align: right; }\n"
                "table { border-collapse: collapse; font-size: 10pt; }\n"
                "th, td { text-align: left; padding: 0.1em 1.5em 0.1em 0; }\n"
                "</style>\n</head>\n<body>\n<h1>%1</h1>\n<p class=\"date\">%3</p>\n<table>\n"
                "<thead><tr>")
                  .arg(title,
                      underlined ? QStringLiteral(" text-decoration: underline;") : QString(),
                      dateLine(report).toHtmlEscaped());
        for (const QString &h : headings(report.design()))
            head += QStringLiteral("<th>%1</th>").arg(h.toHtmlEscaped());
        head += QStringLiteral("</tr></thead>\n<tbody>\n");
        QByteArray chunk = head.toUtf8();
        const QList<int> columns = detailColumns(report.design());
        QString line;
        for (int row = 0; row < report.rows().rowCount(); ++row) {
            line = QStringLiteral("<tr>");
            for (int column : columns) {
                line += QStringLiteral("<td>%1</td>")
                            .arg(report.rows().fieldText(row, column).toHtmlEscaped());
            }
            line += QStringLiteral("</tr>\n");
            chunk += line.toUtf8();
            if (chunk.size() > (1 << 16)) {
                if (!writeAll(device, chunk, error))
                    return false;
                chunk.clear();
            }
        }
        chunk += "</tbody>\n</table>\n</body>\n</html>\n";
        return writeAll(device, chunk, error);
    });
}

} // namespace ReportFiles
