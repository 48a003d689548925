// SPDX-License-Identifier: MIT
#include "MeterLog.h"

#include "ConversionError.h"
#include "CurrentReading.h"
#include "FrameAssembler.h"
#include "Km50Decoder.h"
#include "Km90Decoder.h"
#include "ReadingTable.h"
#include "ReadingText.h"
#include "Recorder.h"
#include "RecordingOutputs.h"

#include <QCommandLineParser>
#include <QFile>

#include <memory>

namespace {

QString usageText()
{
    return QStringLiteral(
        "Usage: meterlog --model km90|km50_60 [--frames] [--decimal SEP] [--no-repeat] [--limit N] "
        "[--trace] [FILE]\n"
        "\n"
        "Replays cable reports (or frames) from FILE or standard input through the meter link,\n"
        "the frame decoder and the recorder, and prints the recorded rows.\n"
        "\n"
        "  --model MODEL    km90 or km50_60\n"
        "  --frames         each line is one whole frame as hex digits, not a cable report\n"
        "  --decimal SEP    decimal separator put into readings (default: the system locale's)\n"
        "  --no-repeat      do not record a reading equal to the last one\n"
        "  --limit N        record limit (default 10000)\n"
        "  --trace          print every decoded frame, the decoder's calls, the reading and the "
        "LCD\n"
        "  --help           show this text\n"
        "\n"
        "A report line is hex bytes starting with the report ID (00 F3 2A 3B 4C 00 00 00 00)\n"
        "or a link-history line (R 00  F3 2A 3B 4C 00 00 00 00 ). Blank lines and lines\n"
        "starting with # are skipped.\n"
        "Exit status: 0 all lines read, 1 a line could not be parsed, 2 usage error.\n");
}

// Text of a field as the table's text file writes it: blanks and control
// characters trimmed from both ends, "NULL" when nothing remains.
QString fileField(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return begin == end ? QStringLiteral("NULL") : text.sliced(begin, end - begin);
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
        if (token.size() != 2)
            return false;
        bool ok = false;
        const uint byte = token.toUInt(&ok, 16);
        if (!ok)
            return false;
        report.append(char(byte));
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

// Everything a frame passes through, wired as in the programs, with the
// decoder's calls forwarded to the recorder and, when tracing, printed.
class ReplaySession : public RecordingOutputs
{
public:
    ReplaySession(const MeterLogOptions &options, QTextStream &out, QTextStream &err)
        : m_options(options)
        , m_out(out)
        , m_err(err)
        , m_table(options.model)
        , m_recorder(options.model, m_table, m_reading)
        , m_link(frameLength(options.model))
    {
        const QString decimal = options.decimal;
        if (options.model == MeterModel::Km90)
            m_decoder = std::make_unique<Km90Decoder>(*this, m_reading, decimal);
        else
            m_decoder = std::make_unique<Km50Decoder>(*this, m_reading, decimal);
        m_recorder.setRepeatSet(options.repeat);
        m_recorder.setRecordSI(false);
        if (options.limit)
            m_recorder.setRecordLimit(*options.limit);
        recordingTestAnswer = [this] { return m_recorder.recordingTest(); };
        m_link.setShowData50([this](const QString &frame) { showFrame(frame); });
        m_link.setFailureHandler([this](const QString &frame, const QString &message) {
            if (!m_options.trace)
                m_err << "line " << m_lineNumber << ": frame " << frame
                      << " not decoded: " << message << '\n';
        });
    }

    void printHeader()
    {
        if (m_options.trace)
            return;
        QStringList names;
        for (int c = 0; c < m_table.columnCount(); ++c)
            names << m_table.columnName(c);
        m_out << names.join(u'\t') << '\n';
    }

    void setLineNumber(int n) { m_lineNumber = n; }

    void feedReport(const QByteArray &report)
    {
        m_link.Read50(quint8(report[0]), QByteArrayView(report).sliced(1));
    }

    void feedFrame(const QString &frame)
    {
        try {
            showFrame(frame);
        } catch (const ConversionError &error) {
            if (!m_options.trace)
                m_err << "line " << m_lineNumber << ": frame " << frame
                      << " not decoded: " << error.message() << '\n';
        }
    }

    // DecoderOutputs: the recorder really records; everything is logged.
    void inDataToTable(int mode) override
    {
        RecordingOutputs::inDataToTable(mode);
        if (m_recorder.INDataToTable(mode))
            rowAppended(m_table.rowCount() - 1);
    }

private:
    void showFrame(const QString &frame)
    {
        calls.clear();
        if (m_options.trace)
            m_out << "FRAME\t" << frame << '\n';
        try {
            m_decoder->ShowData50(frame);
        } catch (const ConversionError &error) {
            if (m_options.trace) {
                flushCalls();
                m_out << "ERROR\t" << error.message() << '\n';
                printReadingAndLcd();
            }
            throw;
        }
        if (m_options.trace) {
            flushCalls();
            printReadingAndLcd();
        }
    }

    void flushCalls()
    {
        for (const QString &line : std::as_const(calls))
            m_out << line << '\n';
        calls.clear();
    }

    void rowAppended(int row)
    {
        QStringList fields;
        for (int c = 0; c < m_table.columnCount(); ++c) {
            if (m_options.trace && m_table.columnName(c).compare(u"Time", Qt::CaseInsensitive) == 0)
                continue;
            fields << fileField(m_table.fieldText(row, c));
        }
        if (m_options.trace)
            calls << QStringLiteral("Row\t") + fields.join(u'\t');
        else
            m_out << fields.join(u'\t') << '\n';
    }

    void printReadingAndLcd()
    {
        QStringList reading { QStringLiteral("READING"), m_reading.Value, m_reading.Unit };
        if (m_options.model == MeterModel::Km90)
            reading << m_reading.V_Value << m_reading.V_Unit << m_reading.I_Value
                    << m_reading.I_Unit;
        m_out << reading.join(u'\t') << '\n';

        const LcdDisplayState &lcd = m_decoder->lcd();
        m_out << "LCD";
        for (int i : lcd.indexesByName()) {
            m_out << '\t' << lcd.info(i).name << '=' << (lcd.isVisible(i) ? '1' : '0');
            if (lcd.info(i).hasText)
                m_out << ':' << lcd.text(i);
        }
        m_out << '\n';
    }

    const MeterLogOptions &m_options;
    QTextStream &m_out;
    QTextStream &m_err;
    CurrentReading m_reading;
    ReadingTable m_table;
    Recorder m_recorder;
    FrameAssembler m_link;
    std::unique_ptr<FrameDecoder> m_decoder;
    int m_lineNumber = 0;
};

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
    const QCommandLineOption help(QStringList { QStringLiteral("help"), QStringLiteral("h") });
    parser.addOptions({ model, frames, decimal, noRepeat, limit, trace, help });
    parser.addPositionalArgument(QStringLiteral("FILE"), QString());

    auto usageError = [&](const QString &message) -> std::optional<MeterLogOptions> {
        err << "meterlog: " << message << "\n\n" << usageText();
        status = ExitUsage;
        return std::nullopt;
    };

    if (!parser.parse(QStringList { QStringLiteral("meterlog") } + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        out << usageText();
        status = ExitOk;
        return std::nullopt;
    }

    MeterLogOptions options;
    const QString modelName = parser.value(model);
    if (modelName == u"km90")
        options.model = MeterModel::Km90;
    else if (modelName == u"km50_60")
        options.model = MeterModel::Km50_60;
    else if (modelName.isEmpty())
        return usageError(QStringLiteral("--model is required"));
    else
        return usageError(QStringLiteral("unknown model '%1' (km90 or km50_60)").arg(modelName));

    options.frames = parser.isSet(frames);
    options.decimal
        = parser.isSet(decimal) ? parser.value(decimal) : ReadingText::systemDecimalSeparator();
    options.repeat = !parser.isSet(noRepeat);
    options.trace = parser.isSet(trace);
    if (parser.isSet(limit)) {
        bool ok = false;
        const int n = parser.value(limit).toInt(&ok);
        if (!ok)
            return usageError(
                QStringLiteral("--limit takes a whole number, not '%1'").arg(parser.value(limit)));
        options.limit = n;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return usageError(QStringLiteral("only one FILE can be given"));
    if (!files.isEmpty())
        options.file = files.first();
    return options;
}

int runMeterLogReplay(
    const MeterLogOptions &options, QTextStream &in, QTextStream &out, QTextStream &err)
{
    ReplaySession session(options, out, err);
    session.printHeader();

    int status = ExitOk;
    int lineNumber = 0;
    QString line;
    QByteArray report;
    while (in.readLineInto(&line)) {
        ++lineNumber;
        session.setLineNumber(lineNumber);
        const QStringView text = QStringView(line).trimmed();
        if (text.isEmpty() || text.startsWith(u'#'))
            continue;
        if (options.frames) {
            if (!isFrameText(text)) {
                err << "line " << lineNumber << ": not a frame of hex digits: " << text << '\n';
                status = ExitBadLine;
                continue;
            }
            session.feedFrame(text.toString().toUpper());
        } else {
            if (!parseReportLine(text, report)) {
                err << "line " << lineNumber << ": not a cable report: " << text << '\n';
                status = ExitBadLine;
                continue;
            }
            session.feedReport(report);
        }
    }
    out.flush();
    err.flush();
    return status;
}
