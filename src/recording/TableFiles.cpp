// SPDX-License-Identifier: MIT
#include "recording/TableFiles.h"

#include "files/AtomicFile.h"
#include "jobs/JobProgress.h"
#include "jobs/ProgressDevice.h"
#include "models/ModelDescription.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlwriter.h>

#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace TableFiles {

namespace {

constexpr char kCodePage[] = "GBK";

// Eight bytes from p, the first in the low bits.
inline quint64 loadWord(const char *p)
{
    quint64 word;
    std::memcpy(&word, p, sizeof(word));
    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN)
        word = qbswap(word);
    return word;
}

constexpr quint64 kOnes = 0x0101010101010101ull;
constexpr quint64 kHighBits = 0x8080808080808080ull;

// The high bit of each byte of word that is below limit (at most 0x80), exact
// up to the first such byte: enough to find the first.
constexpr quint64 bytesBelow(quint64 word, unsigned char limit)
{
    return (word - kOnes * limit) & ~word & kHighBits;
}

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
    // Eight bytes at a time while eight are left: a line is tens of bytes.
    while (end - p >= 8) {
        const quint64 word = loadWord(p);
        const quint64 ends
            = bytesBelow(word ^ (kOnes * '\r'), 1) | bytesBelow(word ^ (kOnes * '\n'), 1);
        if (ends)
            return p + std::countr_zero(ends) / 8;
        p += 8;
    }
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

constexpr char kPacket[] = "DATAPACKET";
constexpr char kMetadata[] = "METADATA";
constexpr char kFields[] = "FIELDS";
constexpr char kField[] = "FIELD";
constexpr char kParams[] = "PARAMS";
constexpr char kRowData[] = "ROWDATA";
constexpr char kRow[] = "ROW";
constexpr char kIntegerType[] = "i4";
constexpr char kStringType[] = "string";

const char *typeOf(int column)
{
    return column == ReadingTable::NoColumn ? kIntegerType : kStringType;
}

const xmlChar *xmlText(const char *text)
{
    return reinterpret_cast<const xmlChar *>(text);
}

// Makes libxml2 ready once per process; its parser setup is not thread-safe
// the first time.
void initXmlLibrary()
{
    static const bool ready = [] {
        xmlInitParser();
        return true;
    }();
    Q_UNUSED(ready);
}

// Where libxml2's writer puts its output: the bytes gather in a sink that goes
// to the device a mebibyte at a time, since writing each small piece of markup
// to a file costs far more.
struct XmlOutput
{
    static constexpr qsizetype kPiece = qsizetype(1) << 20;

    QIODevice &device;
    QString &error;
    ByteSink sink { kPiece + 64 * 1024 };
    bool failed = false;

    bool flush()
    {
        if (failed)
            return false;
        failed = !writeAll(device, sink.bytes(), error);
        sink.clear();
        return !failed;
    }
    static int write(void *context, const char *buffer, int length)
    {
        auto *out = static_cast<XmlOutput *>(context);
        if (out->failed)
            return -1;
        out->sink.append(buffer, length);
        if (out->sink.size() >= kPiece && !out->flush())
            return -1;
        return length;
    }
};

// Text of the table as the NUL-terminated UTF-8 the writer takes. Nearly every
// text is ASCII and is copied byte for byte.
class Utf8Text
{
public:
    const xmlChar *of(QStringView text)
    {
        const qsizetype n = text.size();
        m_bytes.resize(size_t(n) + 1);
        const char16_t *s = text.utf16();
        qsizetype i = 0;
        for (; i < n && s[i] < 0x80; ++i)
            m_bytes[size_t(i)] = char(s[i]);
        if (i < n) {
            const QByteArray encoded = text.toUtf8();
            m_bytes.assign(encoded.constData(), encoded.constData() + encoded.size() + 1);
        } else {
            m_bytes[size_t(n)] = 0;
        }
        return reinterpret_cast<const xmlChar *>(m_bytes.data());
    }

private:
    std::vector<char> m_bytes;
};

bool writeXml(xmlTextWriterPtr xml, const ReadingTable &table)
{
    const int columns = table.columnCount();
    const int rows = table.rowCount();
    std::vector<QByteArray> names;
    for (const QString &name : table.columnNames())
        names.push_back(name.toUtf8());
    const QByteArray width = QByteArray::number(ReadingTable::MaxTextLength);

    bool ok = xmlTextWriterSetIndent(xml, 1) >= 0
        && xmlTextWriterSetIndentString(xml, xmlText("    ")) >= 0
        && xmlTextWriterStartDocument(xml, "1.0", "UTF-8", nullptr) >= 0
        && xmlTextWriterStartElement(xml, xmlText(kPacket)) >= 0
        && xmlTextWriterWriteAttribute(xml, xmlText("Version"), xmlText("2.0")) >= 0
        && xmlTextWriterStartElement(xml, xmlText(kMetadata)) >= 0
        && xmlTextWriterStartElement(xml, xmlText(kFields)) >= 0;
    for (int c = 0; ok && c < columns; ++c) {
        ok = xmlTextWriterStartElement(xml, xmlText(kField)) >= 0
            && xmlTextWriterWriteAttribute(
                   xml, xmlText("attrname"), xmlText(names[size_t(c)].constData()))
                >= 0
            && xmlTextWriterWriteAttribute(xml, xmlText("fieldtype"), xmlText(typeOf(c))) >= 0
            && (c == ReadingTable::NoColumn
                || xmlTextWriterWriteAttribute(xml, xmlText("WIDTH"), xmlText(width.constData()))
                    >= 0)
            && xmlTextWriterEndElement(xml) >= 0;
    }
    ok = ok && xmlTextWriterEndElement(xml) >= 0 // FIELDS
        && xmlTextWriterStartElement(xml, xmlText(kParams)) >= 0
        && xmlTextWriterEndElement(xml) >= 0 // PARAMS
        && xmlTextWriterEndElement(xml) >= 0 // METADATA
        && xmlTextWriterStartElement(xml, xmlText(kRowData)) >= 0;

    Utf8Text utf8;
    std::array<ReadingTable::StoredText, ReadingTable::MaxColumns> texts;
    for (int r = 0; ok && r < rows; ++r) {
        ok = xmlTextWriterStartElement(xml, xmlText(kRow)) >= 0;
        if (const std::optional<qint32> no = table.no(r); ok && no) {
            char number[12];
            *std::to_chars(number, number + 11, *no).ptr = 0;
            ok = xmlTextWriterWriteAttribute(xml, xmlText(names[0].constData()), xmlText(number))
                >= 0;
        }
        table.rowTexts(r, texts);
        for (int c = 1; ok && c < columns; ++c) {
            const QStringView text = texts[size_t(c - 1)].text;
            if (!text.isNull())
                ok = xmlTextWriterWriteAttribute(
                         xml, xmlText(names[size_t(c)].constData()), utf8.of(text))
                    >= 0;
        }
        ok = ok && xmlTextWriterEndElement(xml) >= 0;
    }
    return ok && xmlTextWriterEndElement(xml) >= 0 // ROWDATA
        && xmlTextWriterEndElement(xml) >= 0 // DATAPACKET
        && xmlTextWriterEndDocument(xml) >= 0;
}

bool produceXml(const ReadingTable &table, QIODevice &device, QString &error)
{
    const int columns = table.columnCount();
    const int rows = table.rowCount();
    std::array<ReadingTable::StoredText, ReadingTable::MaxColumns> texts;
    for (int r = 0; r < rows; ++r) {
        table.rowTexts(r, texts);
        for (int c = 1; c < columns; ++c) {
            // Printable ASCII is always fine; only other texts are looked at.
            const ReadingTable::StoredText &text = texts[size_t(c - 1)];
            if (!text.printableAscii && !xmlCanCarry(text.text)) {
                error = QStringLiteral("Row %1, column %2 holds a character that XML cannot carry")
                            .arg(r + 1)
                            .arg(table.columnName(c));
                return false;
            }
        }
    }

    initXmlLibrary();
    XmlOutput out { device, error };
    xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(XmlOutput::write, nullptr, &out, nullptr);
    xmlTextWriterPtr xml = buffer ? xmlNewTextWriter(buffer) : nullptr;
    if (!xml) {
        if (buffer)
            xmlOutputBufferClose(buffer);
        error = QStringLiteral("The XML writer could not be set up");
        return false;
    }
    const bool written = writeXml(xml, table);
    xmlFreeTextWriter(xml); // hands the writer's last bytes to out, frees buffer
    if (out.failed)
        return false; // error holds the device's reason
    if (!written) {
        error = QStringLiteral("The XML could not be written");
        return false;
    }
    return out.flush();
}

// Stands between an XML table file and the XML parser and refuses, before
// the parser sees it, a tag with more attributes or more bytes than any tag
// of a table file: the parser checks attributes for duplicates in time that
// grows with the square of their number, and keeps a whole tag in memory. It follows quotes,
// comments, processing instructions and CDATA sections only as far as needed to find where a tag
// ends.
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
            } else if (m_state == State::Quoted || m_state == State::Tag) {
                // Inside a tag only quotes, '=' and '>' change anything; the
                // bytes before the next of them are counted in one go.
                const char *const stop = m_state == State::Quoted
                    ? static_cast<const char *>(std::memchr(p, m_quote, size_t(end - p)))
                    : nextInTag(p, end);
                const char *const until = stop ? stop : end;
                m_tagBytes += until - p;
                p = until;
                if (m_tagBytes > MaxTagBytes) {
                    m_refused = true;
                    break;
                }
                if (!stop)
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

    // The next quote, '=' or '>' in a tag, or null.
    static const char *nextInTag(const char *p, const char *end)
    {
        for (; p < end; ++p) {
            const char c = *p;
            if (c == '"' || c == '\'' || c == '=' || c == '>')
                return p;
        }
        return nullptr;
    }

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

bool nameIs(const xmlChar *name, const char *expected)
{
    return std::strcmp(reinterpret_cast<const char *>(name), expected) == 0;
}

QString nameText(const xmlChar *name)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(name));
}

// An attribute as libxml2's SAX2 interface hands it over: local name, prefix,
// namespace, then where the value starts and ends (UTF-8, not terminated).
struct XmlAttribute
{
    const xmlChar *localName;
    const xmlChar *prefix;
    const xmlChar *value;
    const xmlChar *valueEnd;

    QByteArrayView valueBytes() const
    {
        return QByteArrayView(reinterpret_cast<const char *>(value), valueEnd - value);
    }
};

std::optional<XmlAttribute> findAttribute(
    int count, const xmlChar **attributes, const char *qualifiedName)
{
    for (int i = 0; i < count; ++i) {
        const xmlChar **a = attributes + 5 * i;
        if (!a[1] && nameIs(a[0], qualifiedName))
            return XmlAttribute { a[0], a[1], a[3], a[4] };
    }
    return std::nullopt;
}

// Reads a data packet as libxml2's parser reports its elements and fills a
// table of its own; the packet's structure is followed with one role per open
// element.
class XmlPacketReader
{
public:
    XmlPacketReader(const ReadingTable &table, ReadingTable &loaded)
        : m_table(table)
        , m_loaded(loaded)
    { }

    // What went wrong, the first fault only; empty while all is well.
    const QString &error() const { return m_error; }
    void fail(const QString &error)
    {
        if (m_error.isEmpty())
            m_error = error;
        if (m_parser)
            xmlStopParser(m_parser);
    }
    // The checks that only the packet's end can make.
    void finish()
    {
        if (!m_haveFields)
            fail(QStringLiteral("The data packet has no fields"));
        else if (!m_haveRows)
            fail(QStringLiteral("The data packet has no rows"));
    }

    static void handlers(xmlSAXHandler &sax)
    {
        std::memset(&sax, 0, sizeof sax);
        sax.initialized = XML_SAX2_MAGIC;
        sax.startElementNs = &XmlPacketReader::onStart;
        sax.endElementNs = &XmlPacketReader::onEnd;
        sax.internalSubset = &XmlPacketReader::onDocumentType;
        // Older libxml2 hands the error over as non-const.
        sax.serror = [](void *context, auto *error) { XmlPacketReader::onError(context, error); };
    }
    void setParser(xmlParserCtxtPtr parser) { m_parser = parser; }

private:
    enum class Role { Packet, Metadata, Fields, RowData, Row, Skipped };

    static void onStart(void *context, const xmlChar *localName, const xmlChar *, const xmlChar *,
        int, const xmlChar **, int attributeCount, int, const xmlChar **attributes)
    {
        static_cast<XmlPacketReader *>(context)->start(localName, attributeCount, attributes);
    }
    static void onEnd(void *context, const xmlChar *, const xmlChar *, const xmlChar *)
    {
        static_cast<XmlPacketReader *>(context)->end();
    }
    // A table file has no document type. Refusing one keeps the parser from
    // ever declaring an entity, let alone loading or expanding one.
    static void onDocumentType(void *context, const xmlChar *, const xmlChar *, const xmlChar *)
    {
        static_cast<XmlPacketReader *>(context)->fail(
            QStringLiteral("A table file has no document type declaration"));
    }
    static void onError(void *context, const xmlError *error)
    {
        if (error->level == XML_ERR_WARNING)
            return;
        const QString message = QString::fromUtf8(error->message).trimmed();
        static_cast<XmlPacketReader *>(context)->fail(
            QStringLiteral("Line %1: %2").arg(error->line).arg(message));
    }

    void start(const xmlChar *name, int attributeCount, const xmlChar **attributes)
    {
        if (!m_error.isEmpty())
            return;
        const auto depth = int(m_roles.size()) + 1;
        if (depth > MaxXmlDepth) {
            fail(QStringLiteral("Elements are nested deeper than in any table file"));
            return;
        }
        if (m_roles.empty()) {
            if (!nameIs(name, kPacket))
                fail(QStringLiteral("Not an XML data packet"));
            m_roles.push_back(Role::Packet);
            return;
        }
        switch (m_roles.back()) {
        case Role::Packet:
            if (nameIs(name, kMetadata) && !m_haveFields && !m_haveRows) {
                m_roles.push_back(Role::Metadata);
            } else if (nameIs(name, kRowData) && m_haveFields && !m_haveRows) {
                m_roles.push_back(Role::RowData);
            } else {
                fail(QStringLiteral("Unexpected <%1> in the data packet").arg(nameText(name)));
            }
            return;
        case Role::Metadata:
            if (nameIs(name, kFields) && !m_haveFields) {
                m_names.clear();
                m_roles.push_back(Role::Fields);
            } else {
                m_roles.push_back(Role::Skipped);
            }
            return;
        case Role::Fields:
            field(name, attributeCount, attributes);
            m_roles.push_back(Role::Skipped);
            return;
        case Role::RowData:
            row(name, attributeCount, attributes);
            m_roles.push_back(Role::Row);
            return;
        case Role::Row:
            if (appendPending())
                fail(QStringLiteral("Row %1 holds an element").arg(m_rowsRead));
            return;
        case Role::Skipped:
            m_roles.push_back(Role::Skipped);
            return;
        }
    }

    void end()
    {
        if (!m_error.isEmpty() || m_roles.empty())
            return;
        const Role role = m_roles.back();
        m_roles.pop_back();
        if (role == Role::Fields) {
            if (m_names.size() != m_table.columnCount()) {
                fail(QStringLiteral("The file defines %1 fields, the table has %2 columns")
                         .arg(m_names.size())
                         .arg(m_table.columnCount()));
                return;
            }
            m_haveFields = true;
            for (const QString &fieldName : std::as_const(m_names))
                m_nameBytes.push_back(fieldName.toUtf8());
        } else if (role == Role::RowData) {
            m_haveRows = appendPending();
        }
    }

    // A <FIELD> must define the table's next column.
    void field(const xmlChar *name, int attributeCount, const xmlChar **attributes)
    {
        if (!nameIs(name, kField)) {
            fail(QStringLiteral("Unexpected <%1> among the fields").arg(nameText(name)));
            return;
        }
        const auto valueOf = [&](const char *attribute) {
            const auto found = findAttribute(attributeCount, attributes, attribute);
            return found ? QString::fromUtf8(found->valueBytes()) : QString();
        };
        const int c = int(m_names.size());
        const QString fieldName = valueOf("attrname");
        if (c >= m_table.columnCount()
            || fieldName.compare(m_table.columnName(c), Qt::CaseInsensitive) != 0
            || valueOf("fieldtype") != QLatin1StringView(typeOf(c))
            || (c != ReadingTable::NoColumn
                && valueOf("WIDTH") != QString::number(ReadingTable::MaxTextLength))) {
            fail(QStringLiteral("Field %1 (\"%2\") is not column %1 of the table")
                     .arg(c + 1)
                     .arg(fieldName));
            return;
        }
        m_names.append(fieldName);
    }

    // The column of a row's attribute, found by the field names of the file.
    // libxml2 keeps each name once for the whole file, so a name seen before
    // is found by its address.
    int columnOf(const xmlChar *name)
    {
        const size_t columns = m_nameBytes.size();
        for (size_t c = 0; c < columns; ++c) {
            if (m_nameAt[c] == name)
                return int(c);
        }
        for (size_t c = 0; c < columns; ++c) {
            if (nameIs(name, m_nameBytes[c].constData())) {
                m_nameAt[c] = name;
                return int(c);
            }
        }
        return -1;
    }

    // A row read from the file: its texts back to back, one span per column
    // (none for a field the row leaves out).
    struct RowText
    {
        std::vector<char16_t> text;
        std::array<std::pair<qsizetype, qsizetype>, ReadingTable::MaxColumns> spans {};
        std::array<bool, ReadingTable::MaxColumns> present {};
        qsizetype number = 0;

        std::array<QStringView, ReadingTable::MaxColumns> fields(size_t columns) const
        {
            std::array<QStringView, ReadingTable::MaxColumns> views;
            for (size_t c = 0; c < columns; ++c) {
                if (present[c])
                    views[c] = QStringView(text.data() + spans[c].first, spans[c].second);
            }
            return views;
        }
    };

    // A row is appended only once the next one is read (or the rows end): its
    // texts are announced to the table first, and their look-ups overlap with
    // appending the row before.
    bool appendPending()
    {
        if (!m_pending)
            return true;
        m_pending = false;
        const RowText &row = m_rows[size_t(m_reading ^ 1)];
        const auto columns = m_nameBytes.size();
        const auto fields = row.fields(columns);
        if (!m_loaded.appendFields(std::span<const QStringView>(fields.data(), columns))) {
            fail(QStringLiteral("Row %1 has a No that is not a number").arg(row.number));
            return false;
        }
        return true;
    }

    void row(const xmlChar *name, int attributeCount, const xmlChar **attributes)
    {
        if (!nameIs(name, kRow)) {
            if (appendPending())
                fail(QStringLiteral("Unexpected <%1> among the rows").arg(nameText(name)));
            return;
        }
        RowText &row = m_rows[size_t(m_reading)];
        row.number = ++m_rowsRead;
        row.text.clear();
        row.present.fill(false);
        for (int i = 0; i < attributeCount; ++i) {
            const xmlChar **a = attributes + 5 * i;
            const int c = columnOf(a[0]);
            if (c < 0) {
                if (appendPending())
                    fail(QStringLiteral("Row %1 has a field \"%2\" that is not a column")
                             .arg(row.number)
                             .arg(nameText(a[0])));
                return;
            }
            const qsizetype at = qsizetype(row.text.size());
            appendUtf8(row.text, QByteArrayView(reinterpret_cast<const char *>(a[3]), a[4] - a[3]));
            row.spans[size_t(c)] = { at, qsizetype(row.text.size()) - at };
            row.present[size_t(c)] = true;
        }
        const auto columns = m_nameBytes.size();
        const auto fields = row.fields(columns);
        m_loaded.prefetchFields(std::span<const QStringView>(fields.data(), columns));
        if (!appendPending())
            return;
        m_pending = true;
        m_reading ^= 1;
    }

    // Appends UTF-8 as UTF-16 to text; ASCII, nearly all of a table, is
    // widened byte for byte.
    static void appendUtf8(std::vector<char16_t> &text, QByteArrayView bytes)
    {
        const qsizetype n = bytes.size();
        const size_t at = text.size();
        qsizetype i = 0;
        while (i < n && static_cast<unsigned char>(bytes[i]) < 0x80)
            ++i;
        if (i == n) {
            text.resize(at + size_t(n));
            for (qsizetype k = 0; k < n; ++k)
                text[at + size_t(k)] = char16_t(bytes[k]);
            return;
        }
        const QString decoded = QString::fromUtf8(bytes);
        text.insert(text.end(), decoded.utf16(), decoded.utf16() + decoded.size());
    }

    const ReadingTable &m_table;
    ReadingTable &m_loaded;
    xmlParserCtxtPtr m_parser = nullptr;
    std::vector<Role> m_roles;
    QStringList m_names;
    std::vector<QByteArray> m_nameBytes;
    std::array<const xmlChar *, ReadingTable::MaxColumns> m_nameAt {};
    // The row being read and the one waiting to be appended.
    std::array<RowText, 2> m_rows;
    int m_reading = 0;
    bool m_pending = false;
    qsizetype m_rowsRead = 0;
    bool m_haveFields = false;
    bool m_haveRows = false;
    QString m_error;
};

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

// The end of the token that starts at p, whose first byte is above 32: the
// first blank or control character (code 32 or less) or end. key gets the
// token's bytes as one word (the first in the low bits) when it has at most
// eight, 0 for a longer token; ascii tells whether every byte is below 128.
// Eight bytes at a time while eight are left before end, so that a token
// shorter than eight bytes, nearly every token of a table, takes one word.
const char *tokenEnd(const char *p, const char *end, quint64 &key, bool &ascii)
{
    const char *const start = p;
    if (end - p >= 8) {
        const quint64 first = loadWord(p);
        quint64 blanks = bytesBelow(first, 33);
        if (blanks) {
            // The first byte is no blank: at least one byte is the token's.
            const int bits = std::countr_zero(blanks) & ~7;
            key = first & (~quint64(0) >> (64 - bits));
            ascii = (key & kHighBits) == 0;
            return p + bits / 8;
        }
        quint64 seen = first;
        for (p += 8; end - p >= 8; p += 8) {
            const quint64 word = loadWord(p);
            blanks = bytesBelow(word, 33);
            if (blanks) {
                // Only the bytes before the blank count.
                const int bits = std::countr_zero(blanks) & ~7;
                seen |= bits ? word & (~quint64(0) >> (64 - bits)) : 0;
                p += bits / 8;
                break;
            }
            seen |= word;
        }
        for (; !blanks && p < end; ++p) {
            const auto c = static_cast<unsigned char>(*p);
            if (c <= 32)
                break;
            seen |= c;
        }
        key = p - start == 8 ? first : 0;
        ascii = (seen & kHighBits) == 0;
        return p;
    }
    // Fewer than eight bytes before end: so is the token.
    quint64 bytes = 0;
    for (int shift = 0; p < end; ++p, shift += 8) {
        const auto c = static_cast<unsigned char>(*p);
        if (c <= 32)
            break;
        bytes |= quint64(c) << shift;
    }
    key = bytes;
    ascii = (bytes & kHighBits) == 0;
    return p;
}

// A token of one to eight bytes as tokenEnd gives its key, padded in front
// with the digit 0 to eight bytes.
constexpr quint64 paddedDigits(quint64 key, quint32 length)
{
    const quint32 pad = 64 - 8 * length;
    return pad == 0 ? key : key << pad | (kOnes * '0') >> (64 - pad);
}

// Whether every byte of such a token is a decimal digit.
constexpr bool digitsOnly(quint64 key, quint32 length)
{
    const quint64 word = paddedDigits(key, length);
    constexpr quint64 highNibbles = 0xF0F0F0F0F0F0F0F0ull;
    // '0' to '9' are 0x30 to 0x39: their high nibble is 3, and stays 3 when 6
    // is added (no byte carries into the next, as none is above 0x3F).
    return (word & highNibbles) == kOnes * '0' && ((word + kOnes * 6) & highNibbles) == kOnes * '0';
}

// The value of a token of one to eight digits (see digitsOnly): pairs of
// digits, then pairs of those, then the two halves, three multiplications in
// all. Eight digits always fit 32 bits.
constexpr qint32 digitsValue(quint64 key, quint32 length)
{
    quint64 v = paddedDigits(key, length) - kOnes * '0';
    // The first digit is in the low byte: it is the most significant.
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFull;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFull;
    v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFull;
    return qint32(v);
}

// The lines of a table file are nearly all plain: unquoted ASCII tokens, a
// decimal No and texts no longer than the table keeps. Such a line is read
// straight from its bytes into a batch of rows; any other line (quotes, GBK
// characters, long texts, a bad No, too many fields) goes the general way,
// after the batch before it.
//
// Most texts of a recording come again and again: units, a time stamp for
// several readings. A text is first compared with its column's text in the
// line before, a short one (eight bytes or fewer, nearly every text of a
// table) as one 64-bit word. Only the others are hashed and looked up in the
// table's store, which finds a short text by its slot alone (see TextPool);
// those look-ups are announced for the whole batch before any is made, so
// their waits for memory overlap.
class PlainRowBatch
{
public:
    static constexpr int kRows = 64;

    explicit PlainRowBatch(ReadingTable &table)
        : m_table(table)
        , m_columns(table.columnCount())
    { }

    // Reads the line that starts at p into the next row of the batch when it
    // is plain, up to its line end (CR or LF) or end, whichever comes first,
    // and returns where it stopped; nullptr when the line is not plain. So a
    // line is split into its tokens while its end is looked for. The row is
    // not taken yet: a line whose end is not in the bytes so far is read again
    // once it is complete.
    const char *scan(const char *p, const char *end);
    // Takes the row of the line scan() read last; the bytes must stay where
    // they are until flush(), which must come once the batch is full.
    void accept();
    // Takes the line [p, end), which holds no line end, when it is plain and
    // returns true.
    bool take(const char *p, const char *end)
    {
        if (!scan(p, end))
            return false;
        accept();
        return true;
    }
    // Stores the texts of the batch and appends its rows. False when the table
    // refuses them (it cannot, for rows made here).
    bool flush();
    int size() const { return m_size; }
    bool full() const { return m_size == kRows; }
    // Forgets the numbers of texts it knows when the table numbers its texts
    // anew (it was cleared between two pieces of a file).
    void followNumbering()
    {
        if (m_table.textNumbering() == m_numbering)
            return;
        m_numbering = m_table.textNumbering();
        m_lastKey.fill(0);
        m_lastLength.fill(0);
        m_lastId.fill(0);
    }

private:
    enum class Source : quint8 { Null, Repeat, LookUp };
    struct Field
    {
        const char *bytes;
        quint32 length;
        Source source;
        quint32 hash; // LookUp: the text's hash
        quint64 key; // the bytes of a short text, 0 for a long one
    };

    // Decides where the text of a field comes from, given the line before.
    void resolve(int column, Field &field);

    ReadingTable &m_table;
    const int m_columns;
    int m_size = 0;
    int m_scanned = 0; // tokens of the line scan() read last
    std::array<std::array<Field, ReadingTable::MaxColumns>, kRows> m_fields {};
    std::array<quint32, kRows * ReadingTable::MaxColumns> m_records {};
    std::array<bool, kRows> m_noNull {};
    // The texts of the last line taken, per column: the key of a short one,
    // the bytes of a long one; and their numbers once stored.
    std::array<quint64, ReadingTable::MaxColumns> m_lastKey {};
    std::array<quint32, ReadingTable::MaxColumns> m_lastLength {};
    std::array<std::array<char, ReadingTable::MaxTextLength>, ReadingTable::MaxColumns> m_last {};
    std::array<quint32, ReadingTable::MaxColumns> m_lastId {};
    quint64 m_numbering = m_table.textNumbering();
};

const char *PlainRowBatch::scan(const char *p, const char *end)
{
    std::array<Field, ReadingTable::MaxColumns> &fields = m_fields[size_t(m_size)];
    quint32 *record = m_records.data() + size_t(m_size) * size_t(m_columns);
    int count = 0;
    while (p < end) {
        const auto c = static_cast<unsigned char>(*p);
        if (c <= 32) {
            if (c == '\r' || c == '\n')
                break;
            ++p;
            continue;
        }
        if (c == '"' || count == m_columns)
            return nullptr;
        const char *const start = p;
        quint64 key = 0;
        bool ascii = false;
        p = tokenEnd(p, end, key, ascii);
        if (!ascii)
            return nullptr;
        const auto length = quint32(p - start);
        if (count == 0) {
            // Up to eight digits (every No below a hundred million) straight
            // from the token's word; anything else by the table's parser.
            const std::optional<qint32> no = key != 0 && digitsOnly(key, length)
                ? digitsValue(key, length)
                : ReadingTable::parseNo(QLatin1String(start, qsizetype(length)));
            if (!no)
                return nullptr;
            record[0] = quint32(*no);
        } else {
            if (length > quint32(ReadingTable::MaxTextLength))
                return nullptr;
            fields[size_t(count)] = { start, length, Source::LookUp, 0, key };
        }
        ++count;
    }
    m_scanned = count;
    return p;
}

void PlainRowBatch::accept()
{
    const int count = m_scanned;
    if (count == 0)
        return; // a blank line: no row
    std::array<Field, ReadingTable::MaxColumns> &fields = m_fields[size_t(m_size)];
    for (int c = 1; c < count; ++c)
        resolve(c, fields[size_t(c)]);
    for (int c = count; c < m_columns; ++c) {
        fields[size_t(c)].source = Source::Null;
        m_lastKey[size_t(c)] = 0;
        m_lastLength[size_t(c)] = 0;
    }
    m_noNull[size_t(m_size)] = false;
    ++m_size;
}

void PlainRowBatch::resolve(int column, Field &field)
{
    const auto c = size_t(column);
    if (field.key != 0) {
        if (field.key == m_lastKey[c]) {
            field.source = Source::Repeat;
            return;
        }
        m_lastKey[c] = field.key;
        m_lastLength[c] = field.length;
    } else {
        if (m_lastKey[c] == 0 && field.length == m_lastLength[c]
            && std::memcmp(field.bytes, m_last[c].data(), field.length) == 0) {
            field.source = Source::Repeat;
            return;
        }
        m_lastKey[c] = 0;
        m_lastLength[c] = field.length;
        std::memcpy(m_last[c].data(), field.bytes, field.length);
    }
    field.source = Source::LookUp;
    field.hash = field.key != 0 ? TextPool::hashOfShortKey(field.key)
                                : TextPool::hashOfAscii(field.bytes, field.length);
    m_table.prefetchText(field.hash);
}

bool PlainRowBatch::flush()
{
    for (int r = 0; r < m_size; ++r) {
        const std::array<Field, ReadingTable::MaxColumns> &fields = m_fields[size_t(r)];
        quint32 *record = m_records.data() + size_t(r) * size_t(m_columns);
        for (int c = 1; c < m_columns; ++c) {
            const Field &f = fields[size_t(c)];
            quint32 &last = m_lastId[size_t(c)];
            switch (f.source) {
            case Source::Null:
                last = 0;
                break;
            case Source::Repeat:
                break;
            case Source::LookUp:
                last = m_table.storeAsciiText(f.bytes, f.length, f.hash, f.key);
                break;
            }
            record[c] = last;
        }
    }
    const bool ok = m_table.appendRowsOfIds(
        std::span<const quint32>(m_records.data(), size_t(m_size) * size_t(m_columns)),
        std::span<const bool>(m_noNull.data(), size_t(m_size)));
    m_size = 0;
    return ok;
}

} // namespace

struct TextTableReader::Private
{
    Private(ReadingTable &t, TextTableReader::FirstLine first)
        : table(t)
        , plain(t)
        , line(first == TextTableReader::FirstLine::Header ? 0 : 1)
    { }

    // Reads the complete lines of data and returns how many bytes they took.
    // Unless this is the end of the file, a line is complete only once its end
    // is seen; a CR at the very end might still be followed by its LF. The
    // rows of the lines are in the table when it returns.
    qsizetype readLines(QByteArrayView data, bool endOfFile);
    // One line, without its line end; false when it fails.
    bool readLine(const char *p, const char *end);
    // Appends the rows of the plain lines read so far; false when it fails.
    bool flushPlain();

    // Keeps the start of a line that the next piece completes; fails once it
    // is longer than any line of a table file.
    void keepCarry(QByteArrayView start);
    bool tooLong(qsizetype bytes);

    ReadingTable &table;
    PlainRowBatch plain;
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
    plain.followNumbering();
    while (p < end && !failed) {
        // A line after the header is first read as a plain line, which finds
        // its end on the way. It is taken when it is plain and complete: its
        // end is in data (a CR at the very end might still be followed by its
        // LF) or this is the end of the file. Any other line goes the general
        // way below.
        if (line > 0) {
            const char *const stop = plain.scan(p, end);
            if (stop && stop - p <= MaxLineBytes
                && (endOfFile || (stop != end && !(*stop == '\r' && stop + 1 == end)))) {
                ++line;
                plain.accept();
                if (plain.full())
                    flushPlain();
                p = skipLineEnd(stop, end);
                continue;
            }
        }
        const char *const eol = lineEnd(p, end);
        if (!endOfFile && (eol == end || (*eol == '\r' && eol + 1 == end)))
            break;
        failed = !readLine(p, eol);
        p = skipLineEnd(eol, end);
    }
    if (!failed)
        flushPlain();
    return p - begin;
}

bool TextTableReader::Private::flushPlain()
{
    const int rows = plain.size();
    if (rows == 0)
        return true;
    if (!plain.flush()) {
        // Rows of texts the table itself numbered: it has no reason to refuse.
        result.failedLine = line;
        result.error = QStringLiteral("Line %1 could not be stored").arg(line);
        failed = true;
        return false;
    }
    result.rows += rows;
    return true;
}

bool TextTableReader::Private::tooLong(qsizetype bytes)
{
    if (bytes <= MaxLineBytes)
        return false;
    // The lines before fail first.
    if (!flushPlain())
        return true;
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
    if (plain.take(p, end))
        return !plain.full() || flushPlain();
    // Not a plain line: the rows before go first.
    if (!flushPlain())
        return false;
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

TextTableReader::TextTableReader(ReadingTable &table, FirstLine first)
    : d(std::make_unique<Private>(table, first))
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

bool TextTableReader::appendRowsReadOn(ReadingTable &rows)
{
    if (d->failed || !d->flushPlain())
        return false;
    Q_ASSERT(d->carry.isEmpty());
    const int count = rows.rowCount();
    if (!d->table.appendRowsFrom(rows)) {
        d->failed = true;
        d->result.error = QStringLiteral("The rows of the file could not be stored");
        return false;
    }
    d->result.rows += count;
    return true;
}

Result appendTableText(QByteArrayView bytes, ReadingTable &table)
{
    TextTableReader reader(table);
    reader.feed(bytes);
    return reader.finish();
}

namespace {

// Pieces of a mebibyte: a table file never sits in memory whole.
constexpr qint64 kReadPiece = qint64(1) << 20;

// Feeds the reader the device's bytes up to its end, or up to stop bytes
// when stop is not negative; false when a read failed (error says why) or a
// line failed.
bool feedFrom(QIODevice &input, TextTableReader &reader, qint64 stop, QString &error)
{
    QByteArray buffer(kReadPiece, Qt::Uninitialized);
    qint64 left = stop;
    for (;;) {
        const qint64 want = stop < 0 ? kReadPiece : qMin(kReadPiece, left);
        if (want == 0)
            return true;
        const qint64 n = input.read(buffer.data(), want);
        if (n < 0) {
            error = input.errorString();
            return false;
        }
        if (n == 0)
            return true;
        if (!reader.feed(QByteArrayView(buffer.constData(), n)))
            return false;
        left -= n;
    }
}

// Where the second half of a file of size bytes starts: after the first LF
// from the middle on (an LF always ends a line, alone or after a CR); -1
// when there is none within the longest line a table file has.
qint64 secondHalfStart(QFile &file, qint64 size)
{
    const qint64 middle = size / 2;
    if (!file.seek(middle))
        return -1;
    const QByteArray look = file.read(MaxLineBytes + 2);
    const qsizetype lf = look.indexOf('\n');
    if (!file.seek(0) || lf < 0 || middle + lf + 1 >= size)
        return -1;
    return middle + lf + 1;
}

// Reads the file from start to its end into rows, on the calling thread.
bool readSecondHalf(const QString &path, qint64 start, ReadingTable &rows, JobProgress *job)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(start))
        return false;
    std::optional<ProgressDevice> counted;
    if (job)
        counted.emplace(file, *job);
    QIODevice &input = counted ? static_cast<QIODevice &>(*counted) : file;
    TextTableReader reader(rows, TextTableReader::FirstLine::Row);
    QString error;
    if (!feedFrom(input, reader, -1, error))
        return false;
    return reader.finish().ok;
}

} // namespace

Result readTableTextFile(const QString &path, ReadingTable &table, JobProgress *job)
{
    return readTableTextFileInParts(path, table, job, qint64(4) << 20);
}

Result readTableTextFileInParts(
    const QString &path, ReadingTable &table, JobProgress *job, qint64 partBytes)
{
    if (std::optional<Result> refused = refuseSpecialFile(path, Format::Text))
        return *refused;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Result result;
        result.error = QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString());
        return result;
    }
    const qint64 size = file.size();
    if (job)
        job->setTotal(size);
    const qint64 split = partBytes > 0 && size >= 2 * partBytes ? secondHalfStart(file, size) : -1;

    // The second half is read on a thread of its own while this one reads the
    // first; its table is used by that thread alone until it has ended.
    ReadingTable second(table.meterModel());
    bool secondRead = false;
    std::thread worker;
    if (split > 0) {
        worker = std::thread([&path, split, &second, &secondRead, job] {
            try {
                secondRead = readSecondHalf(path, split, second, job);
            } catch (...) {
                secondRead = false; // read again below, in order
            }
        });
    }
    struct Join
    {
        std::thread &thread;
        ~Join()
        {
            if (thread.joinable())
                thread.join();
        }
    } join { worker };

    std::optional<ProgressDevice> counted;
    if (job)
        counted.emplace(file, *job);
    QIODevice &input = counted ? static_cast<QIODevice &>(*counted) : file;
    TextTableReader reader(table);
    QString error;
    bool readOk = feedFrom(input, reader, split, error);
    if (split > 0) {
        worker.join();
        // The second half's rows follow; had a line of it failed, it is read
        // again here in order, so the failure is told as it would be then.
        if (readOk && !(secondRead && reader.appendRowsReadOn(second)))
            readOk = feedFrom(input, reader, -1, error);
    }
    if (!error.isEmpty()) {
        Result result = reader.finish();
        result.ok = false;
        result.error = QStringLiteral("Cannot read \"%1\": %2").arg(path, error);
        return result;
    }
    return reader.finish();
}

Result readTableXml(QIODevice &device, ReadingTable &table)
{
    Result result;
    result.format = Format::Xml;
    BoundedXmlDevice guarded(device);
    ReadingTable loaded(table.meterModel());
    XmlPacketReader reader(table, loaded);
    initXmlLibrary();
    xmlSAXHandler sax;
    XmlPacketReader::handlers(sax);

    // The file goes to the parser a mebibyte at a time, never whole. The
    // parser is made with the first bytes, from which it tells the encoding.
    constexpr qint64 kPiece = qint64(1) << 20;
    constexpr qint64 kEncodingBytes = 4;
    QByteArray buffer(kPiece, Qt::Uninitialized);
    xmlParserCtxtPtr parser = nullptr;
    for (;;) {
        const qint64 n = guarded.read(buffer.data(), kPiece);
        if (n < 0) {
            const QString why = guarded.errorString();
            const int line = parser ? xmlSAX2GetLineNumber(parser) : 1;
            reader.fail(guarded.refused() ? QStringLiteral("Line %1: %2").arg(line).arg(why)
                                          : QStringLiteral("Cannot read the file: %1").arg(why));
            break;
        }
        const char *data = buffer.constData();
        qint64 size = n;
        if (!parser && n == 0) {
            reader.fail(QStringLiteral("The file is empty"));
            break;
        }
        if (!parser) {
            const qint64 first = qMin(size, kEncodingBytes);
            parser = xmlCreatePushParserCtxt(&sax, &reader, data, int(first), nullptr);
            if (!parser)
                break;
            reader.setParser(parser);
            xmlCtxtUseOptions(parser, XML_PARSE_NOENT | XML_PARSE_NONET);
            data += first;
            size -= first;
        }
        if (n == 0) {
            xmlParseChunk(parser, nullptr, 0, 1);
            break;
        }
        if (xmlParseChunk(parser, data, int(size), 0) != 0 || !reader.error().isEmpty())
            break;
    }
    if (!parser)
        reader.fail(QStringLiteral("The XML reader could not be set up"));
    else if (reader.error().isEmpty() && !parser->wellFormed)
        reader.fail(QStringLiteral("The file is not well-formed XML"));
    if (reader.error().isEmpty())
        reader.finish();
    if (parser)
        xmlFreeParserCtxt(parser);
    if (!reader.error().isEmpty()) {
        result.error = reader.error();
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
