// SPDX-License-Identifier: MIT
#include "meterlog/MeterSession.h"

#include "core/ConversionError.h"
#include "models/km50_60/Km50Decoder.h"
#include "models/km90/Km90Decoder.h"

namespace {

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

} // namespace

MeterSession::MeterSession(const MeterLogOptions &options, QTextStream &out, QTextStream &err)
    : m_options(options)
    , m_out(out)
    , m_err(err)
    , m_table(options.model)
    , m_recorder(options.model, m_table, m_reading)
    , m_link(frameLength(options.model))
{
    if (options.model == MeterModel::Km90)
        m_decoder = std::make_unique<Km90Decoder>(*this, m_reading, options.decimal);
    else
        m_decoder = std::make_unique<Km50Decoder>(*this, m_reading, options.decimal);
    m_recorder.setRepeatSet(options.repeat);
    m_recorder.setRecordSI(false);
    if (options.limit)
        m_recorder.setRecordLimit(*options.limit);
    recordingTestAnswer = [this] { return m_recorder.RecordingTest(); };
    m_link.setShowData50([this](const QString &frame) { showFrame(frame); });
    m_link.setFailureHandler(
        [this](const QString &frame, const QString &message) { reportFailure(frame, message); });
}

MeterSession::~MeterSession() = default;

void MeterSession::printHeader()
{
    if (m_options.trace)
        return;
    m_out << m_table.columnNames().join(u'\t') << '\n';
}

void MeterSession::feedReport(quint8 reportId, QByteArrayView data)
{
    m_link.Read50(reportId, data);
}

void MeterSession::feedFrame(const QString &frame)
{
    try {
        showFrame(frame);
    } catch (const ConversionError &error) {
        reportFailure(frame, error.message());
    }
}

void MeterSession::reportFailure(const QString &frame, const QString &message)
{
    if (m_options.trace)
        return; // the trace already holds the ERROR line
    m_err << "line " << m_lineNumber << ": frame " << frame << " not decoded: " << message << '\n';
}

void MeterSession::INDataToTable(int mode)
{
    RecordingOutputs::INDataToTable(mode);
    if (m_recorder.INDataToTable(mode))
        rowAppended(m_table.rowCount() - 1);
}

void MeterSession::showFrame(const QString &frame)
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

void MeterSession::flushCalls()
{
    for (const QString &line : std::as_const(calls))
        m_out << line << '\n';
    calls.clear();
}

void MeterSession::rowAppended(int row)
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

void MeterSession::printReadingAndLcd()
{
    QStringList reading { QStringLiteral("READING"), m_reading.Value, m_reading.Unit };
    if (m_options.model == MeterModel::Km90)
        reading << m_reading.V_Value << m_reading.V_Unit << m_reading.I_Value << m_reading.I_Unit;
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
