// SPDX-License-Identifier: MIT
#include "recording/TableFiles.h"

#include "files/AtomicFile.h"
#include "jobs/JobProgress.h"
#include "jobs/ProgressDevice.h"
#include "models/ModelDescription.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <array>
#include <charconv>
#include <cstring>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace TableFiles {

namespace {

constexpr char kCodePage[] = "GBK";

// Characters of codes 0 to 32: separators when reading, trimmed when writing.
constexpr bool isBlank(char16_t c)
{
    return c <= 32;
}

// A growing byte buffer written through a pointer: the writer reserves room for
// a piece, fills it and moves on, with no per-piece bookkeeping of QByteArray.
class ByteSink
{
public:
    explicit ByteSink(qsizetype expected) { m_bytes.resize(qMax<qsizetype>(expected, 256)); }

    char *room(qsizetype n)
    {
        if (m_used + n > m_bytes.size())
            m_bytes.resize(qMax(m_bytes.size() * 2, m_used + n));
        return m_bytes.data() + m_used;
    }
    void advance(qsizetype n) { m_used += n; }
    void append(const char *data, qsizetype n)
    {
        std::memcpy(room(n), data, size_t(n));
        m_used += n;
    }
    void append(char c) { append(&c, 1); }
    qsizetype size() const { return m_used; }
    QByteArrayView bytes() const { return QByteArrayView(m_bytes.constData(), m_used); }
    void clear() { m_used = 0; }
    // The bytes written, handed over without a copy; the sink is left empty.
    QByteArray take()
    {
        m_bytes.resize(m_used);
        m_used = 0;
        return std::exchange(m_bytes, QByteArray());
    }

private:
    QByteArray m_bytes;
    qsizetype m_used = 0;
};

// Appends text in code page 936. Plain ASCII, nearly every text of a table,
// is copied byte for byte; anything else goes through the codec.
void appendEncoded(ByteSink &out, QStringView text, QStringEncoder &encoder)
{
    const qsizetype n = text.size();
    const char16_t *s = text.utf16();
    char *d = out.room(n);
    qsizetype i = 0;
    for (; i < n && s[i] < 0x80; ++i)
        d[i] = char(s[i]);
    if (i == n) {
        out.advance(n);
        return;
    }
    const QByteArray encoded = encoder.encode(text);
    out.append(encoded.constData(), encoded.size());
}

// Where a token lies in a line; a quoted token still carries its quotes.
template<typename Char>
struct TokenSpan
{
    const Char *begin;
    const Char *end;
    bool quoted;
    bool closed; // a quoted token that found its closing quote
};

template<typename Char>
constexpr bool isSeparator(Char c)
{
    return static_cast<std::make_unsigned_t<Char>>(c) <= 32;
}

// Splits one line (no line end inside) by the token rule, bytes or UTF-16 alike:
// in code page 936 no byte of a two-byte character is a blank, a control
// character or a double quote, so the rule can run on the raw bytes.
template<typename Char, typename Sink>
void forEachToken(const Char *p, const Char *end, Sink &&sink)
{
    while (p < end) {
        if (isSeparator(*p)) {
            ++p;
            continue;
        }
        const Char *start = p;
        if (*p == Char('"')) {
            bool closed = false;
            ++p;
            while (p < end && !closed) {
                if (*p == Char('"')) {
                    if (p + 1 < end && p[1] == Char('"'))
                        ++p; // a doubled quote inside the token
                    else
                        closed = true;
                }
                ++p;
            }
            sink(TokenSpan<Char> { start, p, true, closed });
        } else {
            while (p < end && !isSeparator(*p))
                ++p;
            sink(TokenSpan<Char> { start, p, false, false });
        }
    }
}

// The content of a quoted token: enclosing quotes dropped, doubled quotes made single.
template<typename Char, typename Out>
void unquote(const TokenSpan<Char> &token, Out &out)
{
    const Char *p = token.begin + 1;
    const Char *e = token.closed ? token.end - 1 : token.end;
    for (; p < e; ++p) {
        out.push_back(*p);
        if (*p == Char('"'))
            ++p; // skip the second quote of the pair
    }
}

// Whether GBK bytes end in the first byte of a pair whose second byte is missing.
bool endsInLeadByte(QByteArrayView bytes)
{
    qsizetype i = 0;
    bool cut = false;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x81 && b <= 0xFE) {
            cut = i + 1 == bytes.size();
            i += 2;
        } else {
            ++i;
        }
    }
    return cut;
}

// Decodes the tokens of a line into one buffer of UTF-16 text and hands them
// out as views, so that reading a file allocates nothing per field; the table
// copies a text only when it is new to it.
class LineDecoder
{
public:
    LineDecoder()
        : m_decoder(kCodePage, QStringDecoder::Flag::Stateless)
    { }

    void startLine()
    {
        m_used = 0;
        m_count = 0;
    }
    int count() const { return m_count; }

    // Decodes one token: quotes resolved, the code page turned into text.
    void add(const TokenSpan<char> &token)
    {
        const char *b = token.begin;
        const char *e = token.end;
        if (token.quoted) {
            m_scratch.clear();
            unquote(token, m_scratch);
            b = m_scratch.constData();
            e = b + m_scratch.size();
        }
        const qsizetype n = e - b;
        const qsizetype at = m_used;
        char16_t *d = room(n);
        qsizetype i = 0;
        for (; i < n && static_cast<unsigned char>(b[i]) < 0x80; ++i)
            d[i] = char16_t(b[i]);
        if (i == n) {
            m_used += n;
        } else {
            // A lead byte cut off by the field's end is a character that could
            // not be read, like an invalid pair: it becomes U+FFFD, and the
            // rest of the field stays.
            const bool cut = endsInLeadByte(QByteArrayView(b, n));
            QString decoded = m_decoder.decode(QByteArrayView(b, cut ? n - 1 : n));
            if (cut)
                decoded += QChar(QChar::ReplacementCharacter);
            std::memcpy(room(decoded.size()), decoded.utf16(), size_t(decoded.size()) * 2);
            m_used += decoded.size();
        }
        m_spans[size_t(m_count++)] = { at, m_used - at };
    }

    std::span<const QStringView> fields()
    {
        for (int k = 0; k < m_count; ++k)
            m_views[size_t(k)]
                = QStringView(m_text.data() + m_spans[size_t(k)].first, m_spans[size_t(k)].second);
        return std::span<const QStringView>(m_views.data(), size_t(m_count));
    }

private:
    char16_t *room(qsizetype n)
    {
        if (size_t(m_used + n) > m_text.size())
            m_text.resize(qMax(m_text.size() * 2, size_t(m_used + n)));
        return m_text.data() + m_used;
    }

    QStringDecoder m_decoder;
    QByteArray m_scratch;
    std::vector<char16_t> m_text;
    qsizetype m_used = 0;
    int m_count = 0;
    std::array<std::pair<qsizetype, qsizetype>, ReadingTable::MaxColumns> m_spans {};
    std::array<QStringView, ReadingTable::MaxColumns> m_views {};
};

const char *lineEnd(const char *p, const char *end)
{
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// Past the line end at p: CR LF, CR or LF.
const char *skipLineEnd(const char *p, const char *end)
{
    if (p < end && *p == '\r')
        ++p;
    else if (p < end && *p == '\n')
        return p + 1;
    if (p < end && *p == '\n')
        ++p;
    return p;
}

// Writes what produce() puts into a device to path, by the rule of AtomicFile:
// a regular file (or a name not yet taken) is replaced only once the new content
// is complete; a device or a pipe is written straight into, never replaced by a
// plain file. The messages name the step that failed: the temporary file is
// created, a device or pipe opened.
bool writeReplacing(const QString &path, const AtomicFile::Producer &produce, QString &error)
{
    const AtomicFile::Result result = AtomicFile::write(path, produce);
    QString message;
    switch (result.failure) {
    case AtomicFile::Failure::None:
        return true;
    case AtomicFile::Failure::Folder:
        error = QStringLiteral("\"%1\" is a folder").arg(path);
        return false;
    case AtomicFile::Failure::Open:
        message = result.wroteInto ? QStringLiteral("Cannot open \"%1\": %2")
                                   : QStringLiteral("Cannot create \"%1\": %2");
        break;
    case AtomicFile::Failure::Refused:
        message = QStringLiteral("Cannot open \"%1\": %2");
        break;
    case AtomicFile::Failure::Write:
    case AtomicFile::Failure::Commit:
        message = QStringLiteral("Cannot write \"%1\": %2");
        break;
    }
    error = message.arg(path, result.reason);
    return false;
}

bool writeAll(QIODevice &device, QByteArrayView bytes, QString &error)
{
    if (device.write(bytes.data(), bytes.size()) != bytes.size()) {
        error = device.errorString();
        return false;
    }
    return true;
}

// XML 1.0 carries TAB, LF, CR and everything from the blank on, except
// unpaired surrogates and U+FFFE, U+FFFF.
bool xmlCanCarry(QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 && c != 0x9 && c != 0xA && c != 0xD)
            return false;
        if (c == 0xFFFE || c == 0xFFFF)
            return false;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= n || !QChar::isLowSurrogate(text[i + 1].unicode()))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

constexpr QStringView kPacket = u"DATAPACKET";
constexpr QStringView kMetadata = u"METADATA";
constexpr QStringView kFields = u"FIELDS";
constexpr QStringView kField = u"FIELD";
constexpr QStringView kParams = u"PARAMS";
constexpr QStringView kRowData = u"ROWDATA";
constexpr QStringView kRow = u"ROW";
constexpr QStringView kIntegerType = u"i4";
constexpr QStringView kStringType = u"string";

QString typeOf(int column)
{
    return (column == ReadingTable::NoColumn ? kIntegerType : kStringType).toString();
}

bool produceXml(const ReadingTable &table, QIODevice &device, QString &error)
{
    const int columns = table.columnCount();
    const int rows = table.rowCount();
    for (int r = 0; r < rows; ++r) {
        for (int c = 1; c < columns; ++c) {
            if (!xmlCanCarry(table.textView(r, c))) {
                error = QStringLiteral("Row %1, column %2 holds a character that XML cannot carry")
                            .arg(r + 1)
                            .arg(table.columnName(c));
                return false;
            }
        }
    }

    // The writer fills a buffer that goes to the device a mebibyte at a time:
    // writing each small piece of markup to a file costs far more.
    constexpr qsizetype kPiece = qsizetype(1) << 20;
    QByteArray piece;
    QBuffer buffer(&piece);
    buffer.open(QIODevice::WriteOnly);
    const auto flush = [&] {
        if (!writeAll(device, piece, error))
            return false;
        piece.clear();
        buffer.seek(0);
        return true;
    };

    const QStringList names = table.columnNames();
    QXmlStreamWriter xml(&buffer);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(kPacket.toString());
    xml.writeAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
    xml.writeStartElement(kMetadata.toString());
    xml.writeStartElement(kFields.toString());
    for (int c = 0; c < columns; ++c) {
        xml.writeEmptyElement(kField.toString());
        xml.writeAttribute(QStringLiteral("attrname"), names[c]);
        xml.writeAttribute(QStringLiteral("fieldtype"), typeOf(c));
        if (c != ReadingTable::NoColumn)
            xml.writeAttribute(
                QStringLiteral("WIDTH"), QString::number(ReadingTable::MaxTextLength));
    }
    xml.writeEndElement(); // FIELDS
    xml.writeEmptyElement(kParams.toString());
    xml.writeEndElement(); // METADATA
    xml.writeStartElement(kRowData.toString());
    const QString row = kRow.toString();
    for (int r = 0; r < rows; ++r) {
        xml.writeEmptyElement(row);
        for (int c = 0; c < columns; ++c) {
            if (!table.isNull(r, c))
                xml.writeAttribute(names[c], table.fieldText(r, c));
        }
        if (piece.size() >= kPiece && !flush())
            return false;
    }
    xml.writeEndElement(); // ROWDATA
    xml.writeEndElement(); // DATAPACKET
    xml.writeEndDocument();
    if (xml.hasError()) {
        error = QStringLiteral("The XML could not be written");
        return false;
    }
    return flush();
}

// Stands between an XML table file and Qt's stream reader and refuses, before
// the reader parses it, a tag with more attributes or more bytes than any tag
// of a table file: the reader checks attributes for duplicates in time that
// grows with the square of their number. It follows quotes, comments,
// processing instructions and CDATA sections only as far as needed to find
// where a tag ends.
class BoundedXmlDevice : public QIODevice
{
public:
    static constexpr int MaxAttributes = 32; // a row has at most eight
    static constexpr qsizetype MaxTagBytes = 16 * 1024;

    explicit BoundedXmlDevice(QIODevice &source)
        : m_source(source)
    {
        open(QIODevice::ReadOnly);
    }
    bool refused() const { return m_refused; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_refused)
            return -1;
        const qint64 n = m_source.read(data, maxSize);
        const char *p = data;
        const char *const end = data + qMax<qint64>(n, 0);
        while (p < end && !m_refused) {
            if (m_state == State::Text) {
                // Between tags only the next '<' matters.
                p = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)));
                if (!p)
                    break;
            }
            step(*p++);
        }
        if (m_refused) {
            setErrorString(
                QStringLiteral("an element has more attributes than a table file can have"));
            return -1;
        }
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    enum class State { Text, TagStart, Tag, Quoted, Markup, Comment };

    void step(char c)
    {
        switch (m_state) {
        case State::Text:
            if (c == '<') {
                m_state = State::TagStart;
                m_tagBytes = 1;
                m_attributes = 0;
            }
            return;
        case State::TagStart:
            // "<!" opens a comment, CDATA or declaration, "<?" an instruction:
            // no attributes to count, only their end to find.
            m_state = (c == '!' || c == '?') ? State::Markup : State::Tag;
            m_recent = c;
            break;
        case State::Markup:
            if (m_recent == '!' && c == '-') {
                m_state = State::Comment;
                m_dashes = 0;
                return;
            }
            m_recent = 0;
            if (c == '>')
                m_state = State::Text;
            return;
        case State::Comment:
            if (c == '>' && m_dashes >= 2)
                m_state = State::Text;
            m_dashes = c == '-' ? m_dashes + 1 : 0;
            return;
        case State::Quoted:
            if (c == m_quote)
                m_state = State::Tag;
            break;
        case State::Tag:
            if (c == '"' || c == '\'') {
                m_state = State::Quoted;
                m_quote = c;
            } else if (c == '=') {
                m_refused = ++m_attributes > MaxAttributes;
            } else if (c == '>') {
                m_state = State::Text;
                return;
            }
            break;
        }
        if (++m_tagBytes > MaxTagBytes)
            m_refused = true;
    }

    QIODevice &m_source;
    State m_state = State::Text;
    char m_quote = 0;
    char m_recent = 0;
    int m_dashes = 0;
    int m_attributes = 0;
    qsizetype m_tagBytes = 0;
    bool m_refused = false;
};

// Depth of the deepest element of a table file: DATAPACKET, METADATA,
// FIELDS, FIELD. Others' files may nest a little more in parts we skip.
constexpr int MaxXmlDepth = 8;

// Skips the element just started, refusing one nested deeper than any
// element of a table file (Qt's reader keeps every open element: a million
// nested elements would cost their weight in memory).
bool skipElement(QXmlStreamReader &xml, int depth, QString &error)
{
    while (xml.readNextStartElement()) {
        if (depth + 1 > MaxXmlDepth) {
            error = QStringLiteral("Elements are nested deeper than in any table file");
            return false;
        }
        if (!skipElement(xml, depth + 1, error))
            return false;
    }
    return !xml.hasError();
}

// Reads <FIELDS> and checks that it defines exactly the table's columns.
bool readFields(
    QXmlStreamReader &xml, const ReadingTable &table, QStringList &names, QString &error)
{
    names.clear();
    while (xml.readNextStartElement()) {
        if (xml.name() != kField) {
            error = QStringLiteral("Unexpected <%1> among the fields").arg(xml.name());
            return false;
        }
        const auto attributes = xml.attributes();
        const int c = int(names.size());
        const QString name = attributes.value(QLatin1StringView("attrname")).toString();
        if (c >= table.columnCount() || name.compare(table.columnName(c), Qt::CaseInsensitive) != 0
            || attributes.value(QLatin1StringView("fieldtype")) != typeOf(c)
            || (c != ReadingTable::NoColumn
                && attributes.value(QLatin1StringView("WIDTH"))
                    != QString::number(ReadingTable::MaxTextLength))) {
            error = QStringLiteral("Field %1 (\"%2\") is not column %1 of the table")
                        .arg(c + 1)
                        .arg(name);
            return false;
        }
        names.append(name);
        if (!skipElement(xml, 4, error))
            return false;
    }
    if (names.size() != table.columnCount()) {
        error = QStringLiteral("The file defines %1 fields, the table has %2 columns")
                    .arg(names.size())
                    .arg(table.columnCount());
        return false;
    }
    return true;
}

bool readRows(QXmlStreamReader &xml, const QStringList &names, ReadingTable &loaded, QString &error)
{
    const auto columns = size_t(names.size());
    std::array<QStringView, ReadingTable::MaxColumns> fields;
    while (xml.readNextStartElement()) {
        if (xml.name() != kRow) {
            error = QStringLiteral("Unexpected <%1> among the rows").arg(xml.name());
            return false;
        }
        const qsizetype row = loaded.rowCount() + 1;
        // The views point into this copy of the attributes, kept while they are used.
        const QXmlStreamAttributes attributes = xml.attributes();
        fields.fill(QStringView());
        for (const QXmlStreamAttribute &attribute : attributes) {
            const auto c = names.indexOf(attribute.name());
            if (c < 0) {
                error = QStringLiteral("Row %1 has a field \"%2\" that is not a column")
                            .arg(row)
                            .arg(attribute.name());
                return false;
            }
            fields[size_t(c)] = attribute.value();
        }
        if (!loaded.appendFields(std::span<const QStringView>(fields.data(), columns))) {
            error = QStringLiteral("Row %1 has a No that is not a number").arg(row);
            return false;
        }
        if (xml.readNextStartElement()) {
            error = QStringLiteral("Row %1 holds an element").arg(row);
            return false;
        }
    }
    return true;
}

// Appends one row as the text file writes it, line end included.
void appendRowText(ByteSink &out, const ReadingTable &table, int r,
    std::array<ReadingTable::StoredText, ReadingTable::MaxColumns> &texts, QStringEncoder &encoder)
{
    const auto textColumns = size_t(table.columnCount() - 1);
    if (const auto no = table.no(r)) {
        char *d = out.room(11);
        out.advance(std::to_chars(d, d + 11, *no).ptr - d);
    } else {
        // A row without No (only a file can give one) is written as an
        // empty quoted token, which reads back as no number again.
        out.append("\"\"", 2);
    }
    table.rowTexts(r, texts);
    for (size_t c = 0; c < textColumns; ++c) {
        const ReadingTable::StoredText &text = texts[c];
        if (text.printableAscii) {
            // Nothing to trim and nothing to encode: one byte a character.
            const qsizetype n = text.text.size();
            char *d = out.room(n + 1);
            *d++ = '\t';
            const char16_t *s = text.text.utf16();
            for (qsizetype i = 0; i < n; ++i)
                d[i] = char(s[i]);
            out.advance(n + 1);
            continue;
        }
        out.append('\t');
        const QStringView field = trimmedField(text.text);
        if (field.isEmpty())
            out.append("NULL", 4);
        else
            appendEncoded(out, field, encoder);
    }
    out.append("\r\n", 2);
}

// Produces the text file of the table in pieces of about a mebibyte and hands
// each to emit, so that a million rows never sit in memory twice; stops and
// returns false as soon as emit does.
template<typename Emit>
bool produceTableText(const ReadingTable &table, const Emit &emit)
{
    constexpr qsizetype kPiece = qsizetype(1) << 20;
    QStringEncoder encoder(kCodePage, QStringEncoder::Flag::Stateless);
    const int rows = table.rowCount();
    std::array<ReadingTable::StoredText, ReadingTable::MaxColumns> texts;
    ByteSink out(kPiece + 1024);
    appendEncoded(out, tableHeaderLine(table), encoder);
    out.append("\r\n", 2);
    for (int r = 0; r < rows; ++r) {
        if (out.size() >= kPiece) {
            if (!emit(out.bytes()))
                return false;
            out.clear();
        }
        appendRowText(out, table, r, texts, encoder);
    }
    return emit(out.bytes());
}

} // namespace

QStringView trimmedField(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin].unicode()))
        ++begin;
    while (end > begin && isBlank(text[end - 1].unicode()))
        --end;
    return text.sliced(begin, end - begin);
}

QString textFileField(QStringView text)
{
    const QStringView field = trimmedField(text);
    return field.isEmpty() ? QStringLiteral("NULL") : field.toString();
}

QString fileExtension(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.sliced(dot);
}

Format saveFormat(MeterModel model, const QString &path)
{
    const QString extension = fileExtension(path);
    const Qt::CaseSensitivity cs = modelDescription(model).tableFiles.xmlSaveExtensionCase;
    return extension.compare(u".xml", cs) == 0 ? Format::Xml : Format::Text;
}

Format openFormat(const QString &path)
{
    return fileExtension(path) == u".xml" ? Format::Xml : Format::Text;
}

QString tableHeaderLine(const ReadingTable &table)
{
    return table.columnNames().join(u'\t');
}

QStringList splitTableLine(QStringView line)
{
    QStringList tokens;
    forEachToken(line.utf16(), line.utf16() + line.size(), [&tokens](const auto &token) {
        QString text;
        if (token.quoted)
            unquote(token, text);
        else
            text = QStringView(token.begin, token.end).toString();
        tokens.append(text);
    });
    return tokens;
}

QByteArray tableTextBytes(const ReadingTable &table)
{
    // The pieces come a mebibyte at a time: the buffer doubles as it fills, so
    // that each byte is copied a bounded number of times.
    ByteSink out(qsizetype(1) << 20);
    produceTableText(table, [&out](QByteArrayView piece) {
        out.append(piece.data(), piece.size());
        return true;
    });
    return out.take();
}

namespace {

// About how many bytes a file of the table takes, from rows spread over the
// table: the total a writer's progress is counted against.
qint64 estimatedFileBytes(const ReadingTable &table, Format format)
{
    const int rows = table.rowCount();
    const QStringList names = table.columnNames();
    qint64 header = tableHeaderLine(table).size() + 2;
    if (format == Format::Xml)
        header = 200 + 60 * names.size();
    if (rows == 0)
        return header;
    constexpr int kSamples = 64;
    const int step = std::max(1, rows / kSamples);
    qint64 sampleBytes = 0;
    int sampled = 0;
    TextRowEncoder encoder(table);
    for (int r = 0; r < rows; r += step, ++sampled) {
        encoder.clear();
        encoder.appendRow(r);
        sampleBytes += encoder.bytes().size();
        if (format == Format::Xml) {
            sampleBytes += 12; // the element, its end and the indentation
            for (int c = 0; c < names.size(); ++c) {
                if (!table.isNull(r, c))
                    sampleBytes += names[c].size() + 4;
            }
        }
    }
    return header + sampleBytes * rows / sampled;
}

// Runs produce on the device, or on a ProgressDevice over it when there is a job.
bool produceWithJob(
    QIODevice &device, JobProgress *job, const std::function<bool(QIODevice &)> &produce)
{
    if (!job)
        return produce(device);
    ProgressDevice counted(device, *job);
    return produce(counted) && !job->isCanceled();
}

} // namespace

Result writeTableTextFile(const ReadingTable &table, const QString &path, JobProgress *job)
{
    Result result;
    result.format = Format::Text;
    if (job)
        job->setTotal(estimatedFileBytes(table, Format::Text));
    result.ok = writeReplacing(
        path,
        [&table, job](QIODevice &device, QString &error) {
            return produceWithJob(device, job, [&](QIODevice &out) {
                return produceTableText(table,
                    [&out, &error](QByteArrayView piece) { return writeAll(out, piece, error); });
            });
        },
        result.error);
    if (result.ok && job)
        job->setDone(job->total());
    return result;
}

Result writeTableXmlFile(const ReadingTable &table, const QString &path, JobProgress *job)
{
    Result result;
    result.format = Format::Xml;
    if (job)
        job->setTotal(estimatedFileBytes(table, Format::Xml));
    result.ok = writeReplacing(
        path,
        [&table, job](QIODevice &device, QString &error) {
            return produceWithJob(
                device, job, [&](QIODevice &out) { return produceXml(table, out, error); });
        },
        result.error);
    if (result.ok && job)
        job->setDone(job->total());
    return result;
}

struct TextRowEncoder::Private
{
    explicit Private(const ReadingTable &t)
        : table(t)
        , encoder(kCodePage, QStringEncoder::Flag::Stateless)
        , out(4096)
    { }

    const ReadingTable &table;
    QStringEncoder encoder;
    ByteSink out;
    std::array<ReadingTable::StoredText, ReadingTable::MaxColumns> texts;
};

TextRowEncoder::TextRowEncoder(const ReadingTable &table)
    : d(std::make_unique<Private>(table))
{ }

TextRowEncoder::~TextRowEncoder() = default;

void TextRowEncoder::appendHeader()
{
    appendEncoded(d->out, tableHeaderLine(d->table), d->encoder);
    d->out.append("\r\n", 2);
}

void TextRowEncoder::appendRow(int row)
{
    appendRowText(d->out, d->table, row, d->texts, d->encoder);
}

QByteArrayView TextRowEncoder::bytes() const
{
    return d->out.bytes();
}

void TextRowEncoder::clear()
{
    d->out.clear();
}

namespace {

// A table file is a regular file. Anything else that has the name (a FIFO
// nobody writes to, a device such as /dev/zero, a folder) would block the
// window or never end; it is refused before it is opened.
std::optional<Result> refuseSpecialFile(const QString &path, Format format)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return std::nullopt; // a missing file fails when it is opened, with the system's reason
    Result result;
    result.format = format;
    result.error = QStringLiteral("\"%1\" is not a regular file").arg(path);
    return result;
}

} // namespace

struct TextTableReader::Private
{
    explicit Private(ReadingTable &t)
        : table(t)
    { }

    // Reads the complete lines of data and returns how many bytes they took.
    // Unless this is the end of the file, a line is complete only once its end
    // is seen; a CR at the very end might still be followed by its LF.
    qsizetype readLines(QByteArrayView data, bool endOfFile);
    // One line, without its line end; false when it fails.
    bool readLine(const char *p, const char *end);

    // Keeps the start of a line that the next piece completes; fails once it
    // is longer than any line of a table file.
    void keepCarry(QByteArrayView start);
    bool tooLong(qsizetype bytes);

    ReadingTable &table;
    LineDecoder decoder;
    QByteArray carry; // the start of a line that the next piece completes
    qint64 bytesSeen = 0;
    qsizetype line = 0;
    Result result;
    bool failed = false;
};

qsizetype TextTableReader::Private::readLines(QByteArrayView data, bool endOfFile)
{
    const char *const begin = data.data();
    const char *const end = begin + data.size();
    const char *p = begin;
    while (p < end && !failed) {
        const char *const eol = lineEnd(p, end);
        if (!endOfFile && (eol == end || (*eol == '\r' && eol + 1 == end)))
            break;
        failed = !readLine(p, eol);
        p = skipLineEnd(eol, end);
    }
    return p - begin;
}

bool TextTableReader::Private::tooLong(qsizetype bytes)
{
    if (bytes <= MaxLineBytes)
        return false;
    result.failedLine = line + 1;
    result.error = QStringLiteral("Line %1 is longer than any line of a table file (%2 bytes)")
                       .arg(line + 1)
                       .arg(MaxLineBytes);
    failed = true;
    return true;
}

void TextTableReader::Private::keepCarry(QByteArrayView start)
{
    if (tooLong(start.size())) {
        carry.clear();
        return;
    }
    carry = start.toByteArray();
}

bool TextTableReader::Private::readLine(const char *p, const char *end)
{
    if (tooLong(end - p))
        return false;
    // The first line is the header; whatever it holds, it is skipped.
    if (++line == 1)
        return true;
    const int columns = table.columnCount();
    bool tooMany = false;
    decoder.startLine();
    forEachToken(p, end, [&](const TokenSpan<char> &token) {
        if (decoder.count() == columns)
            tooMany = true;
        else if (!tooMany)
            decoder.add(token);
    });
    if (decoder.count() == 0)
        return true;
    if (tooMany) {
        result.failedLine = line;
        result.error
            = QStringLiteral("Line %1 has more fields than the table has columns").arg(line);
        return false;
    }
    const auto fields = decoder.fields();
    if (!table.appendFields(fields)) {
        result.failedLine = line;
        result.error = QStringLiteral("Line %1: \"%2\" is not a number for the column %3")
                           .arg(line)
                           .arg(fields[0].toString(), table.columnName(ReadingTable::NoColumn));
        return false;
    }
    ++result.rows;
    return true;
}

TextTableReader::TextTableReader(ReadingTable &table)
    : d(std::make_unique<Private>(table))
{
    d->result.format = Format::Text;
}

TextTableReader::~TextTableReader() = default;

bool TextTableReader::feed(QByteArrayView piece)
{
    if (d->failed)
        return false;
    d->bytesSeen += piece.size();
    if (!d->carry.isEmpty()) {
        // The carried start of a line holds no line end (except perhaps a CR
        // at its very end): only the new bytes are searched for one, so a
        // long line costs time in proportion to its length.
        const char *const begin = piece.data();
        const char *const eol = lineEnd(begin, begin + piece.size());
        qsizetype take = eol - begin;
        if (take < piece.size())
            take = skipLineEnd(eol, begin + piece.size()) - begin;
        if (take == piece.size() && !(take > 0 && piece[take - 1] == '\n')) {
            // Still no whole line (or a CR that an LF may follow).
            if (!d->tooLong(d->carry.size() + take))
                d->carry.append(piece);
            else
                d->carry.clear();
            return !d->failed;
        }
        d->carry.append(begin, take);
        const qsizetype used = d->readLines(d->carry, false);
        d->carry.remove(0, used);
        if (d->failed)
            return false;
        piece = piece.sliced(take);
        if (!d->carry.isEmpty()) {
            // A lone CR ended the carried line: the rest is read behind it.
            const QByteArray all = d->carry + piece.toByteArray();
            d->carry.clear();
            const qsizetype read = d->readLines(all, false);
            if (!d->failed)
                d->keepCarry(QByteArrayView(all).sliced(read));
            return !d->failed;
        }
    }
    const qsizetype used = d->readLines(piece, false);
    if (!d->failed)
        d->keepCarry(piece.sliced(used));
    return !d->failed;
}

Result TextTableReader::finish()
{
    if (!d->failed) {
        d->readLines(d->carry, true);
        d->carry.clear();
    }
    if (d->bytesSeen == 0) {
        d->failed = true;
        d->result.error = QStringLiteral("The file is empty");
    }
    d->result.ok = !d->failed;
    return d->result;
}

Result appendTableText(QByteArrayView bytes, ReadingTable &table)
{
    TextTableReader reader(table);
    reader.feed(bytes);
    return reader.finish();
}

Result readTableTextFile(const QString &path, ReadingTable &table, JobProgress *job)
{
    if (std::optional<Result> refused = refuseSpecialFile(path, Format::Text))
        return *refused;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Result result;
        result.error = QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString());
        return result;
    }
    std::optional<ProgressDevice> counted;
    if (job) {
        job->setTotal(file.size());
        counted.emplace(file, *job);
    }
    QIODevice &input = counted ? static_cast<QIODevice &>(*counted) : file;
    // Pieces of a mebibyte: the file never sits in memory whole.
    constexpr qint64 kPiece = qint64(1) << 20;
    QByteArray buffer(kPiece, Qt::Uninitialized);
    TextTableReader reader(table);
    for (;;) {
        const qint64 n = input.read(buffer.data(), kPiece);
        if (n < 0) {
            Result result = reader.finish();
            result.ok = false;
            result.error = QStringLiteral("Cannot read \"%1\": %2").arg(path, input.errorString());
            return result;
        }
        if (n == 0 || !reader.feed(QByteArrayView(buffer.constData(), n)))
            break;
    }
    return reader.finish();
}

Result readTableXml(QIODevice &device, ReadingTable &table)
{
    Result result;
    result.format = Format::Xml;
    BoundedXmlDevice guarded(device);
    QXmlStreamReader xml(&guarded);
    ReadingTable loaded(table.meterModel());
    QStringList names;
    bool haveFields = false;
    bool haveRows = false;
    QString error;

    if (!xml.readNextStartElement() || xml.name() != kPacket) {
        error = QStringLiteral("Not an XML data packet");
    } else {
        while (error.isEmpty() && xml.readNextStartElement()) {
            if (xml.name() == kMetadata && !haveFields && !haveRows) {
                while (error.isEmpty() && xml.readNextStartElement()) {
                    if (xml.name() == kFields && !haveFields)
                        haveFields = readFields(xml, table, names, error);
                    else
                        skipElement(xml, 3, error);
                }
            } else if (xml.name() == kRowData && haveFields && !haveRows) {
                haveRows = readRows(xml, names, loaded, error);
            } else {
                error = QStringLiteral("Unexpected <%1> in the data packet").arg(xml.name());
            }
        }
        if (error.isEmpty() && !haveFields)
            error = QStringLiteral("The data packet has no fields");
        if (error.isEmpty() && !haveRows)
            error = QStringLiteral("The data packet has no rows");
    }
    if (error.isEmpty()) {
        // Whatever follows the packet must still be well-formed.
        while (!xml.atEnd())
            xml.readNext();
    }
    if (guarded.refused())
        error = QStringLiteral("Line %1: %2").arg(xml.lineNumber()).arg(guarded.errorString());
    else if (xml.hasError())
        error = QStringLiteral("Line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    if (!error.isEmpty()) {
        result.error = error;
        return result;
    }
    table.takeRowsFrom(loaded);
    result.rows = table.rowCount();
    result.ok = true;
    return result;
}

Result readTableXmlFile(const QString &path, ReadingTable &table, JobProgress *job)
{
    if (std::optional<Result> refused = refuseSpecialFile(path, Format::Xml))
        return *refused;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Result result;
        result.format = Format::Xml;
        result.error = QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString());
        return result;
    }
    if (!job)
        return readTableXml(file, table);
    job->setTotal(file.size());
    ProgressDevice counted(file, *job);
    return readTableXml(counted, table);
}

Result WriteTableText(const ReadingTable &table, const QString &path, JobProgress *job)
{
    if (saveFormat(table.meterModel(), path) == Format::Xml)
        return writeTableXmlFile(table, path, job);
    return writeTableTextFile(table, path, job);
}

Result ReadTableFile(const QString &path, ReadingTable &table, JobProgress *job)
{
    if (openFormat(path) == Format::Xml)
        return readTableXmlFile(path, table, job);
    return readTableTextFile(path, table, job);
}

} // namespace TableFiles
