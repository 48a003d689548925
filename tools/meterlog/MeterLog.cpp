// SPDX-License-Identifier: MIT
#include "meterlog/MeterLog.h"

#include "core/ReadingText.h"
#include "desktop/ProgramFiles.h"
#include "meterlog/MeterLogPrinter.h"
#include "meterlog/MqttPublisher.h"
#include "models/ModelDescription.h"
#include "session/MeterSession.h"

#include <QCommandLineParser>
#include <QFile>

#include <array>
#include <cstring>
#include <limits>
#include <memory>

namespace {

QString usageText()
{
    return QStringLiteral(
        "Usage: meterlog --model km90|km50_60 [--frames] [--decimal SEP] [--no-repeat] "
        "[--limit N|none]\n"
        "                [--trace] [--format tsv|csv|jsonl] [--output FILE [--append]]\n"
        "                [--mqtt URL] [FILE]\n"
        "       meterlog --model km90|km50_60 --device [PATH] [--reconnect] [--count N] [...]\n"
        "       meterlog --model km90|km50_60 --demo [--count N] [...]\n"
        "       meterlog --list\n"
        "\n"
        "Replays cable reports (or frames) from FILE or standard input through the meter link,\n"
        "the frame decoder and the recorder, and prints the recorded rows.\n"
        "\n"
        "  --model MODEL    km90 or km50_60\n"
        "  --frames         each line is one whole frame as hex digits, not a cable report\n"
        "  --decimal SEP    decimal separator put into readings (default: the system locale's)\n"
        "  --no-repeat      do not record a reading equal to the last one\n"
        "  --limit N|none   record limit (default 10000; none: no limit)\n"
        "  --trace          print every decoded frame, the decoder's calls, the reading and the "
        "LCD\n"
        "  --format FORMAT  standard output: tsv (default), csv (RFC 4180) or jsonl (a JSON\n"
        "                   object per row, with the date and time of recording)\n"
        "  --output FILE    also write the rows to FILE, the table's text file the programs\n"
        "                   open (%Y, %m, %d in the name: a new file each day)\n"
        "  --append         add to an existing FILE of the same model, numbering continued\n"
        "  --mqtt URL       also publish each row as a JSON object to an MQTT broker:\n"
        "                   mqtt://HOST[:PORT]/TOPIC, or mqtts:// for TLS (user and password\n"
        "                   from METERLOG_MQTT_USERNAME and METERLOG_MQTT_PASSWORD)\n"
        "  --device [PATH]  read a cable live: the one at PATH (see --list), else the\n"
        "                   \"USB to Serial\" the programs choose\n"
        "  --reconnect      with --device: when the cable is unplugged, wait for it to come\n"
        "                   back and go on logging into the same output\n"
        "  --demo           read the built-in demo meter instead of a cable\n"
        "  --count N        live: stop after N frames\n"
        "  --list           list the HID interfaces present (path, vendor:product, serial,\n"
        "                   product, access) and exit\n"
        "  --help           show this text\n"
        "  --version        show the version of the package meterlog comes with\n"
        "\n"
        "A report line is hex bytes starting with the report ID (00 F3 2A 3B 4C 00 00 00 00)\n"
        "or a link-history line (R 00  F3 2A 3B 4C 00 00 00 00 ). Blank lines and lines\n"
        "starting with # are skipped.\n"
        "Exit status: 0 all lines read, 1 a line could not be parsed, 2 usage error,\n"
        "3 no interface cable could be read (none, busy, gone or no access), 4 the cable\n"
        "was unplugged while logging (without --reconnect), 5 the output file could not be\n"
        "written.\n");
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
}

// The longest input line meterlog reads: a history line of a full report is
// about 40 characters, a frame 26. Anything longer is refused without being
// kept whole.
constexpr qsizetype MaxInputLine = 1024;

// The lines of the input, however long, each kept to its first bytes (enough
// for MaxInputLine characters); LF, CR LF and a lone CR all end a line. The
// input is read as raw bytes, as much as is there at a time, so that a pipe's
// lines are handled as they come; beforeRead runs before each read.
class InputLines
{
public:
    InputLines(const MeterLogInput &read, const std::function<void()> &beforeRead)
        : m_read(read)
        , m_beforeRead(beforeRead)
        , m_buffer(64 * 1024, Qt::Uninitialized)
    { }

    // The next line (cut) and its whole length in UTF-16 units.
    bool next(QByteArrayView &line, qsizetype &length)
    {
        if (!m_line.isEmpty())
            m_line.resize(0); // keeps its room
        m_ascii = true;
        length = 0;
        for (;;) {
            if (m_pos == m_end) {
                if (m_atEnd)
                    return false;
                if (m_beforeRead)
                    m_beforeRead();
                const qint64 n = m_read(m_buffer.data(), m_buffer.size());
                if (n <= 0) {
                    m_failed = n < 0;
                    m_atEnd = true;
                    line = m_line;
                    return length > 0 || m_midLine;
                }
                m_pos = 0;
                m_end = n;
                if (m_first) {
                    m_first = false;
                    // A UTF-8 byte order mark opens no line.
                    if (m_end >= 3 && QByteArrayView(m_buffer.constData(), 3) == "\xEF\xBB\xBF")
                        m_pos = 3;
                }
                if (m_skipLf && m_pos < m_end && m_buffer[m_pos] == '\n')
                    ++m_pos;
                m_skipLf = false;
                continue;
            }
            const char *data = m_buffer.constData();
            qsizetype i = lineEnd(data, m_pos, m_end);
            const bool whole = !m_midLine && i < m_end; // the line lies in this piece
            take(data + m_pos, i - m_pos, length, whole);
            if (i == m_end) {
                m_pos = m_end;
                continue;
            }
            line = whole ? QByteArrayView(data + m_pos, qMin(i - m_pos, MaxInputLine * 4))
                         : QByteArrayView(m_line);
            if (data[i] == '\r') {
                if (i + 1 < m_end) {
                    if (data[i + 1] == '\n')
                        ++i;
                } else {
                    m_skipLf = true; // its LF may open the next piece
                }
            }
            m_pos = i + 1;
            m_midLine = false;
            return true;
        }
    }
    bool failed() const { return m_failed; }
    // The last line holds only ASCII.
    bool ascii() const { return m_ascii; }

private:
    // Where the line from pos ends: its first LF or CR, else end. memchr
    // scans many bytes at a time; a CR is looked for only before the LF.
    static qsizetype lineEnd(const char *data, qsizetype pos, qsizetype end)
    {
        const auto *lf
            = static_cast<const char *>(std::memchr(data + pos, '\n', size_t(end - pos)));
        const qsizetype stop = lf ? lf - data : end;
        const auto *cr
            = static_cast<const char *>(std::memchr(data + pos, '\r', size_t(stop - pos)));
        return cr ? cr - data : stop;
    }

    // Keeps what fits of a piece of the line and counts its UTF-16 units: one
    // for every byte that starts a character, two for one beyond the BMP.
    void take(const char *bytes, qsizetype size, qsizetype &length, bool whole)
    {
        if (size == 0)
            return;
        m_midLine = true;
        const qsizetype room = MaxInputLine * 4 - m_line.size();
        if (!whole && room > 0)
            m_line.append(bytes, qMin(room, size));
        // Eight bytes at a time: any byte with its top bit set is beyond ASCII.
        quint64 any = 0;
        qsizetype i = 0;
        for (; i + 8 <= size; i += 8) {
            quint64 word;
            std::memcpy(&word, bytes + i, sizeof word);
            any |= word;
        }
        for (; i < size; ++i)
            any |= quint8(bytes[i]);
        if ((any & 0x8080808080808080u) == 0) {
            length += size;
            return;
        }
        m_ascii = false;
        for (qsizetype k = 0; k < size; ++k) {
            const auto b = quint8(bytes[k]);
            length += (b & 0xC0) != 0x80;
            length += b >= 0xF0;
        }
    }

    const MeterLogInput &m_read;
    const std::function<void()> &m_beforeRead;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    QByteArray m_line;
    bool m_first = true;
    bool m_ascii = true;
    bool m_skipLf = false;
    bool m_midLine = false;
    bool m_atEnd = false;
    bool m_failed = false;
};

bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

QByteArrayView trimmedAscii(QByteArrayView text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && isAsciiSpace(text[b]))
        ++b;
    while (e > b && isAsciiSpace(text[e - 1]))
        --e;
    return text.sliced(b, e - b);
}

// The value of a hex digit, -1 for any other byte.
constexpr std::array<qint8, 256> HexValues = [] {
    std::array<qint8, 256> values {};
    for (int c = 0; c < 256; ++c) {
        values[size_t(c)] = qint8(c >= '0' && c <= '9' ? c - '0'
                : c >= 'A' && c <= 'F'                 ? c - 'A' + 10
                : c >= 'a' && c <= 'f'                 ? c - 'a' + 10
                                                       : -1);
    }
    return values;
}();

int hexValue(char c)
{
    return HexValues[quint8(c)];
}

// parseReportLine for a line of ASCII (already trimmed), without making a
// string of it: the same tokens are taken and refused.
// A line of MaxInputLine characters holds fewer bytes than this.
constexpr qsizetype MaxReport = MaxInputLine / 2;

// The usual line, "00 F7 30 31 ...": two hex digits a byte, one space
// between them. False, with nothing taken, for any other line.
bool parseCanonicalReportLine(QByteArrayView line, char (&report)[MaxReport], qsizetype &size)
{
    const qsizetype n = line.size();
    if (n < 2 || (n + 1) % 3 != 0 || n / 3 + 1 > MaxReport)
        return false;
    const auto *bytes = reinterpret_cast<const quint8 *>(line.data());
    int bad = 0;
    qsizetype count = 0;
    for (qsizetype i = 0; i < n; i += 3) {
        const int high = HexValues[bytes[i]];
        const int low = HexValues[bytes[i + 1]];
        bad |= high | low; // -1 for a byte that is not a hex digit
        if (i + 2 < n)
            bad |= bytes[i + 2] == ' ' ? 0 : -1;
        report[count++] = char((high & 0xF) << 4 | (low & 0xF));
    }
    if (bad < 0)
        return false;
    size = count;
    return true;
}

bool parseAsciiReportLine(QByteArrayView line, char (&report)[MaxReport], qsizetype &size)
{
    if (parseCanonicalReportLine(line, report, size))
        return true;
    if (!line.isEmpty() && (line[0] == 'R' || line[0] == 'r'))
        line = line.sliced(1);
    size = 0;
    qsizetype i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        qsizetype e = i;
        while (e < line.size() && line[e] != ' ')
            ++e;
        QByteArrayView token = line.sliced(i, e - i);
        if (token.size() != 2)
            token = trimmedAscii(token); // blanks other than spaces around it
        i = e;
        if (token.isEmpty())
            continue;
        // Two hex digits exactly: no sign, no blank, no "0x".
        const int high = token.size() == 2 ? hexValue(token[0]) : -1;
        const int low = token.size() == 2 ? hexValue(token[1]) : -1;
        if (high < 0 || low < 0 || size == MaxReport)
            return false;
        report[size++] = char(high << 4 | low);
    }
    return size > 0;
}

// A bad line as it is echoed: control characters escaped, cut to a readable
// length, with its whole length when it was cut.
QString echoed(QStringView text, qsizetype length)
{
    constexpr qsizetype Shown = 80;
    QString out;
    for (QChar c : text.first(qMin(text.size(), Shown))) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    if (length > Shown)
        out += QStringLiteral("... (%1 characters)").arg(length);
    return out;
}

// Parses one cable report line. Returns false when the line is not one.
bool parseReportLine(QStringView line, QByteArray &report)
{
    line = line.trimmed();
    if (line.startsWith(u'R') || line.startsWith(u'r'))
        line = line.sliced(1);
    report.clear();
    for (QStringView token : line.tokenize(u' ', Qt::SkipEmptyParts)) {
        token = token.trimmed();
        if (token.isEmpty())
            continue;
        // Two hex digits exactly: no sign, no blank, no "0x".
        if (token.size() != 2 || !isHexDigit(token[0]) || !isHexDigit(token[1]))
            return false;
        report.append(char(token.toUInt(nullptr, 16)));
    }
    return !report.isEmpty();
}

bool isFrameText(QStringView line)
{
    if (line.isEmpty())
        return false;
    for (QChar c : line) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f')))
            return false;
    }
    return true;
}

} // namespace

QString meterLogUsage()
{
    return usageText();
}

std::optional<MeterLogOptions> parseMeterLogArguments(
    const QStringList &arguments, QTextStream &out, QTextStream &err, int &status)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption model(QStringLiteral("model"), QString(), QStringLiteral("MODEL"));
    const QCommandLineOption frames(QStringLiteral("frames"));
    const QCommandLineOption decimal(QStringLiteral("decimal"), QString(), QStringLiteral("SEP"));
    const QCommandLineOption noRepeat(QStringLiteral("no-repeat"));
    const QCommandLineOption limit(QStringLiteral("limit"), QString(), QStringLiteral("N"));
    const QCommandLineOption trace(QStringLiteral("trace"));
    const QCommandLineOption demo(QStringLiteral("demo"));
    const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption append(QStringLiteral("append"));
    const QCommandLineOption help(QStringList { QStringLiteral("help"), QStringLiteral("h") });
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({ model, frames, decimal, noRepeat, limit, trace, demo, count, format, output,
        append, help, version });

    // Cables: --device takes an optional PATH, which QCommandLineParser has no
    // notion of, so a bare --device is given an empty value before parsing.
    const QCommandLineOption device(QStringLiteral("device"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption list(QStringLiteral("list"));
    const QCommandLineOption reconnect(QStringLiteral("reconnect"));
    parser.addOptions({ device, list, reconnect });
    QStringList words = arguments;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words[i] == u"--")
            break;
        if (words[i] != u"--device" && words[i] != u"-device")
            continue;
        if (i + 1 == words.size() || words[i + 1].startsWith(u'-'))
            words[i] = QStringLiteral("--device=");
        else
            ++i;
    }
    parser.addPositionalArgument(QStringLiteral("FILE"), QString());
    // Publishing to an MQTT broker.
    const QCommandLineOption mqtt(QStringLiteral("mqtt"), QString(), QStringLiteral("URL"));
    const QCommandLineOption mqttQueue(
        QStringLiteral("mqtt-queue"), QString(), QStringLiteral("N"));
    parser.addOptions({ mqtt, mqttQueue });

    auto usageError = [&](const QString &message) -> std::optional<MeterLogOptions> {
        err << "meterlog: " << message << "\n\n" << usageText();
        status = ExitUsage;
        return std::nullopt;
    };

    if (!parser.parse(QStringList { QStringLiteral("meterlog") } + words))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        out << usageText();
        status = ExitOk;
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        out << "meterlog (" << ProgramFiles::packageVersionText() << ")\n";
        status = ExitOk;
        return std::nullopt;
    }

    MeterLogOptions options;
    if (parser.isSet(list)) {
        // Listing the cables needs no meter model and goes with nothing else.
        QStringList others = parser.optionNames();
        others.removeAll(QStringLiteral("list"));
        if (!others.isEmpty() || !parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("--list goes alone"));
        options.list = true;
        return options;
    }
    const QString modelName = parser.value(model);
    if (modelName.isEmpty())
        return usageError(QStringLiteral("--model is required"));
    const ModelDescription *described = findMeterModel(modelName);
    if (!described)
        return usageError(QStringLiteral("unknown model '%1' (km90 or km50_60)").arg(modelName));
    options.model = described->model;

    options.frames = parser.isSet(frames);
    options.decimal
        = parser.isSet(decimal) ? parser.value(decimal) : ReadingText::systemDecimalSeparator();
    options.repeat = !parser.isSet(noRepeat);
    options.trace = parser.isSet(trace);
    if (parser.isSet(limit) && parser.value(limit) == u"none") {
        options.limit = std::numeric_limits<qint32>::max();
    } else if (parser.isSet(limit)) {
        bool ok = false;
        const int n = parser.value(limit).toInt(&ok);
        if (!ok)
            return usageError(
                QStringLiteral("--limit takes a whole number, not '%1'").arg(parser.value(limit)));
        options.limit = n;
    }
    if (parser.isSet(format)) {
        const QString name = parser.value(format);
        if (name == u"tsv")
            options.format = MeterLogOptions::Format::Tsv;
        else if (name == u"csv")
            options.format = MeterLogOptions::Format::Csv;
        else if (name == u"jsonl")
            options.format = MeterLogOptions::Format::Jsonl;
        else
            return usageError(QStringLiteral("unknown format '%1' (tsv, csv or jsonl)").arg(name));
    }
    options.output = parser.value(output);
    if (parser.isSet(output) && options.output.isEmpty())
        return usageError(QStringLiteral("--output needs a file name"));
    options.append = parser.isSet(append);
    if (options.append && options.output.isEmpty())
        return usageError(QStringLiteral("--append goes with --output"));
    if (parser.isSet(mqtt)) {
        QString error;
        options.mqtt.url = parser.value(mqtt);
        if (!parseMqttUrl(options.mqtt.url, error))
            return usageError(error);
        options.mqtt.username = qEnvironmentVariable("METERLOG_MQTT_USERNAME");
        options.mqtt.password = qEnvironmentVariable("METERLOG_MQTT_PASSWORD");
        options.mqtt.caFile = qEnvironmentVariable("METERLOG_MQTT_CAFILE");
        if (options.mqtt.username.isEmpty() && !options.mqtt.password.isEmpty())
            return usageError(
                QStringLiteral("METERLOG_MQTT_PASSWORD is set but METERLOG_MQTT_USERNAME is not"));
    }
    if (parser.isSet(mqttQueue)) {
        bool ok = false;
        const qsizetype n = parser.value(mqttQueue).toLongLong(&ok);
        if (!ok || n < 1)
            return usageError(QStringLiteral("--mqtt-queue takes a number of rows, not '%1'")
                                  .arg(parser.value(mqttQueue)));
        if (!parser.isSet(mqtt))
            return usageError(QStringLiteral("--mqtt-queue goes with --mqtt"));
        options.mqtt.queueCapacity = n;
    }
    if (parser.isSet(device) && parser.isSet(demo))
        return usageError(QStringLiteral("--device and --demo exclude each other"));
    if (parser.isSet(device))
        options.source = MeterLogOptions::Source::Device;
    else if (parser.isSet(demo))
        options.source = MeterLogOptions::Source::Demo;
    const bool live = options.source != MeterLogOptions::Source::Replay;
    options.devicePath = parser.value(device);
    options.reconnect = parser.isSet(reconnect);
    if (options.reconnect && options.source != MeterLogOptions::Source::Device)
        return usageError(QStringLiteral("--reconnect goes with --device"));
    if (parser.isSet(count)) {
        bool ok = false;
        const qint64 n = parser.value(count).toLongLong(&ok);
        if (!ok || n < 0)
            return usageError(
                QStringLiteral("--count takes a whole number, not '%1'").arg(parser.value(count)));
        if (!live)
            return usageError(QStringLiteral("--count goes with --device or --demo"));
        options.count = n;
    }
    if (live && options.frames)
        return usageError(
            QStringLiteral("--frames goes with a capture, not with --device or --demo"));
    const QStringList files = parser.positionalArguments();
    if (live && !files.isEmpty())
        return usageError(QStringLiteral("a FILE cannot be read together with --device or --demo"));
    if (files.size() > 1)
        return usageError(QStringLiteral("only one FILE can be given"));
    if (!files.isEmpty())
        options.file = files.first();
    return options;
}

void applyRecordOptions(const MeterLogOptions &options, Recorder &recorder)
{
    recorder.setRepeatSet(options.repeat);
    recorder.setRecordSI(false);
    if (options.limit)
        recorder.setRecordLimit(*options.limit);
}

int runMeterLogReplay(
    const MeterLogOptions &options, QTextStream &in, QTextStream &out, QTextStream &err)
{
    const QByteArray input = in.readAll().toUtf8();
    qsizetype taken = 0;
    const MeterLogInput read = [&](char *data, qint64 size) -> qint64 {
        const qint64 n = qMin<qint64>(size, input.size() - taken);
        std::memcpy(data, input.constData() + taken, size_t(n));
        taken += n;
        return n;
    };
    return runMeterLogReplay(options, read, out, err);
}

int runMeterLogReplay(
    const MeterLogOptions &options, const MeterLogInput &read, QTextStream &out, QTextStream &err)
{
    MeterSession session(options.model, options.decimal);
    applyRecordOptions(options, session.recorder());
    MeterLogPrinter printer(options, session, out, err);
    session.setObserver(&printer);
    if (!printer.openOutput())
        return ExitOutput;
    printer.printHeader();
    // The rows of the frames in hand are written out together, and always
    // before more input is read, so they never wait for input in memory.
    printer.setBatching(true);

    int status = ExitOk;
    int lineNumber = 0;
    QByteArrayView bytes;
    qsizetype length = 0;
    QByteArray report;
    char asciiReport[MaxReport];
    qsizetype asciiSize = 0;
    quint64 reports = 0, frames = 0;
    const std::function<void()> beforeRead = [&] { printer.writePending(); };
    InputLines lines(read, beforeRead);
    while (lines.next(bytes, length)) {
        ++lineNumber;
        printer.setLineNumber(lineNumber);
        if (length > MaxInputLine) {
            err << "line " << lineNumber << ": longer than any line meterlog reads: "
                << echoed(QStringView(QString::fromUtf8(bytes)).trimmed(), length) << '\n';
            status = ExitBadLine;
            continue;
        }
        if (lines.ascii()) {
            const QByteArrayView text = trimmedAscii(bytes);
            if (text.isEmpty() || text[0] == '#')
                continue;
            if (options.frames) {
                const QString frame = QString::fromLatin1(text);
                if (!isFrameText(frame)) {
                    err << "line " << lineNumber
                        << ": not a frame of hex digits: " << echoed(frame, frame.size()) << '\n';
                    status = ExitBadLine;
                    continue;
                }
                ++frames;
                session.ShowData50(frame.toUpper());
            } else {
                if (!parseAsciiReportLine(text, asciiReport, asciiSize)) {
                    const QString shown = QString::fromLatin1(text);
                    err << "line " << lineNumber
                        << ": not a cable report: " << echoed(shown, shown.size()) << '\n';
                    status = ExitBadLine;
                    continue;
                }
                ++reports;
                session.Read50(
                    quint8(asciiReport[0]), QByteArrayView(asciiReport + 1, asciiSize - 1));
            }
        } else {
            // Beyond ASCII: the line as text, blanks as Unicode knows them.
            const QString line = QString::fromUtf8(bytes);
            const QStringView text = QStringView(line).trimmed();
            if (text.isEmpty() || text.startsWith(u'#'))
                continue;
            if (options.frames) {
                err << "line " << lineNumber
                    << ": not a frame of hex digits: " << echoed(text, text.size()) << '\n';
                status = ExitBadLine;
                continue;
            }
            if (!parseReportLine(text, report)) {
                err << "line " << lineNumber
                    << ": not a cable report: " << echoed(text, text.size()) << '\n';
                status = ExitBadLine;
                continue;
            }
            ++reports;
            session.Read50(quint8(report[0]), QByteArrayView(report).sliced(1));
        }
        if (printer.failed()) {
            status = ExitOutput;
            break;
        }
    }
    printer.writePending();
    if (printer.failed())
        status = ExitOutput;
    if (lines.failed()) {
        err << "meterlog: the input could not be read to its end\n";
        if (status == ExitOk)
            status = ExitBadLine;
    }

    // What became of the frames, when any was refused or dropped.
    const FrameAssembler &link = session.assembler();
    const quint64 found = options.frames ? frames : link.framesDecoded() + link.framesDropped();
    const quint64 refused = printer.framesRefused();
    const quint64 dropped = options.frames ? 0 : link.framesDropped();
    const quint64 decoded = found - refused - dropped;
    if (refused > 0 || dropped > 0) {
        err << "meterlog: " << reports << " reports read, " << found << " frames found: " << decoded
            << " decoded, " << refused << " refused by the decoder, " << dropped
            << " dropped for their length or terminator\n";
        if (decoded == 0) {
            err << "meterlog: not one frame could be decoded; is --model "
                << modelDescription(options.model).name << " the right meter?\n";
            if (status == ExitOk)
                status = ExitBadLine;
        }
    }
    out.flush();
    err.flush();
    return status;
}
