// SPDX-License-Identifier: MIT
#include "meterlog/MeterLogPrinter.h"

#include "meterlog/MqttPublisher.h"

#include "core/ReadingText.h"
#include "models/common/FrameDecoder.h"
#include "recording/TableFiles.h"
#include "session/MeterSession.h"

#include <QFileDevice>

MeterLogPrinter::MeterLogPrinter(
    const MeterLogOptions &options, MeterSession &session, QTextStream &out, QTextStream &err)
    : m_options(options)
    , m_session(session)
    , m_clock(options.clock)
    , m_out(out)
    , m_err(err)
{
    // One clock stamps the Time column and the date and time that JSON lines
    // and the day's output file go by.
    m_session.recorder().setClock([this] {
        m_rowMs = m_clock.now();
        return m_clock.timeOfDay(m_rowMs);
    });
}

MeterLogPrinter::~MeterLogPrinter()
{
    finishMqtt();
    m_session.recorder().setClock({});
}

bool MeterLogPrinter::openOutput()
{
    if (!startMqtt())
        return false;
    if (m_options.output.isEmpty())
        return true;
    m_file = std::make_unique<TableFileOutput>(m_session, m_clock);
    QString error;
    if (!m_file->open(m_options.output, m_options.append, m_clock.now(), error)) {
        m_err << "meterlog: " << error << '\n';
        m_err.flush();
        m_file.reset();
        return false;
    }
    return true;
}

bool MeterLogPrinter::startMqtt()
{
    if (m_options.mqtt.url.isEmpty())
        return true;
    QString error;
    const auto target = parseMqttUrl(m_options.mqtt.url, error);
    MqttPublisher::Settings settings;
    if (target) {
        settings.target = *target;
        settings.username = m_options.mqtt.username;
        settings.password = m_options.mqtt.password;
        settings.caFile = m_options.mqtt.caFile;
        if (m_options.mqtt.queueCapacity > 0)
            settings.queueCapacity = m_options.mqtt.queueCapacity;
        m_mqtt = std::make_unique<MqttPublisher>(settings);
    }
    if (!target || !m_mqtt->start(error)) {
        m_mqtt.reset();
        m_err << "meterlog: " << error << '\n';
        m_err.flush();
        return false;
    }
    printMqttNotices();
    return true;
}

void MeterLogPrinter::printMqttNotices()
{
    if (!m_mqtt)
        return;
    const QStringList notices = m_mqtt->takeNotices();
    for (const QString &line : notices)
        m_err << line << '\n';
    if (!notices.isEmpty())
        m_err.flush();
}

void MeterLogPrinter::finishMqtt()
{
    if (!m_mqtt)
        return;
    const auto outcome = m_mqtt->finish(std::chrono::milliseconds(m_options.mqtt.finishWaitMs));
    printMqttNotices();
    if (outcome.unsent > 0) {
        m_err << "meterlog: " << outcome.unsent
              << " rows were not confirmed by the MQTT broker within "
              << m_options.mqtt.finishWaitMs / 1000.0 << " s and are given up"
              << (m_file ? " (the output file has them)" : "") << '\n';
    }
    if (outcome.dropped > 0) {
        m_err << "meterlog: " << outcome.dropped
              << " rows in all were dropped from the full MQTT queue\n";
    }
    m_err.flush();
    m_mqtt.reset();
}

void MeterLogPrinter::printHeader()
{
    if (m_options.trace)
        return;
    switch (m_options.format) {
    case MeterLogOptions::Format::Tsv:
        m_out << TableFiles::tableHeaderLine(m_session.cds1()) << '\n';
        break;
    case MeterLogOptions::Format::Csv:
        m_out << MeterLogFormat::csvHeader(m_session.cds1());
        break;
    case MeterLogOptions::Format::Jsonl:
        break;
    }
}

void MeterLogPrinter::fail(const QString &message)
{
    if (m_failed)
        return;
    m_failed = true;
    m_err << "meterlog: " << message << '\n';
    m_err.flush();
}

void MeterLogPrinter::endFrame()
{
    // The frame's rows are encoded already; the table need not keep them.
    if (!m_options.keepRows && m_session.cds1().rowCount() > 0)
        m_session.cds1().clear();
    printMqttNotices();
    constexpr qsizetype BatchBytes = 64 * 1024;
    if (m_batching && m_pendingOut.size() < BatchBytes
        && (!m_file || m_file->pendingBytes() < BatchBytes))
        return;
    writePending();
}

void MeterLogPrinter::writePending()
{
    if (m_file && !m_failed) {
        QString error;
        if (!m_file->endFrame(error))
            fail(error);
    }
    if (!m_pendingOut.isEmpty()) {
        if (QIODevice *device = m_out.device()) {
            // Straight to the device: the bytes are UTF-8 already.
            m_out.flush();
            device->write(m_pendingOut);
            if (auto *file = qobject_cast<QFileDevice *>(device))
                file->flush();
        } else {
            m_out << QString::fromUtf8(m_pendingOut);
        }
        m_pendingOut.clear();
    }
    if (m_options.flushEachFrame)
        m_out.flush();
}

void MeterLogPrinter::call(QStringView name, const QString &argument)
{
    if (!m_options.trace)
        return;
    m_out << name;
    if (!argument.isNull())
        m_out << '\t' << argument;
    m_out << '\n';
}

void MeterLogPrinter::FrameBegins(const QString &frameDigits)
{
    call(u"FRAME", frameDigits);
}

void MeterLogPrinter::LinkOn()
{
    call(u"LinkOn");
}

void MeterLogPrinter::DispInit(int mode)
{
    if (tracing())
        call(u"DispInit", QString::number(mode));
}

void MeterLogPrinter::SelectGaugeScale(int index)
{
    if (tracing())
        call(u"SelectGaugeScale", QString::number(index));
}

void MeterLogPrinter::KDsetup(const GaugeScale &)
{
    call(u"KDsetup");
}

void MeterLogPrinter::SetValueMinimum(double y)
{
    if (tracing())
        call(u"SetValueMinimum", ReadingText::formatNumber(y));
}

void MeterLogPrinter::SetValueMaximum(double y)
{
    if (tracing())
        call(u"SetValueMaximum", ReadingText::formatNumber(y));
}

void MeterLogPrinter::KDrun(int position)
{
    if (tracing())
        call(u"KDrun", QString::number(position));
}

void MeterLogPrinter::BarMax(int maximum)
{
    if (tracing())
        call(u"BarMax", QString::number(maximum));
}

void MeterLogPrinter::BarPos(int position)
{
    if (tracing())
        call(u"BarPos", QString::number(position));
}

void MeterLogPrinter::RecordingTest(bool pass)
{
    call(u"RecordingTest", pass ? QStringLiteral("1") : QStringLiteral("0"));
}

void MeterLogPrinter::INDataToTable(int mode)
{
    if (tracing())
        call(u"INDataToTable", QString::number(mode));
}

void MeterLogPrinter::RowRecorded(int row)
{
    // The fields as the table's text file writes them; the trace leaves out
    // the time of day, which differs from run to run.
    const ReadingTable &table = m_session.cds1();
    if (m_file && !m_failed) {
        QString error;
        if (!m_file->addRow(row, m_rowMs, error))
            fail(error);
    }
    const bool jsonOut = !m_options.trace && m_options.format == MeterLogOptions::Format::Jsonl;
    if (m_mqtt) {
        // The JSON object of --format jsonl, made once for the broker and standard output.
        QByteArray json;
        m_json.append(m_session.model(), table, row, m_clock.isoView(m_rowMs), m_options.decimal,
            json);
        m_mqtt->publish(json);
        if (jsonOut) {
            m_pendingOut += json;
            m_pendingOut += '\n';
            return;
        }
    } else if (jsonOut) {
        m_json.append(m_session.model(), table, row, m_clock.isoView(m_rowMs), m_options.decimal,
            m_pendingOut);
        m_pendingOut += '\n';
        return;
    }
    if (!m_options.trace && m_options.format == MeterLogOptions::Format::Csv) {
        m_out << MeterLogFormat::csvRow(table, row);
        return;
    }
    QStringList fields;
    for (int c = 0; c < table.columnCount(); ++c) {
        if (m_options.trace && table.columnName(c).compare(u"Time", Qt::CaseInsensitive) == 0)
            continue;
        fields << TableFiles::textFileField(table.fieldText(row, c));
    }
    if (m_options.trace)
        call(u"Row", fields.join(u'\t'));
    else
        m_out << fields.join(u'\t') << '\n';
}

void MeterLogPrinter::AddValue(double y)
{
    if (tracing())
        call(u"AddValue", ReadingText::formatNumber(y));
}

void MeterLogPrinter::FrameDone()
{
    if (m_options.trace)
        printReadingAndLcd();
    endFrame();
}

void MeterLogPrinter::FrameFailed(const QString &frameDigits, const QString &message)
{
    ++m_framesRefused;
    if (m_options.trace) {
        call(u"ERROR", message);
        printReadingAndLcd();
    } else {
        m_err << "line " << m_lineNumber << ": frame " << frameDigits << " not decoded: " << message
              << '\n';
    }
    endFrame();
}

void MeterLogPrinter::printReadingAndLcd()
{
    const CurrentReading &r = m_session.reading();
    QStringList reading { QStringLiteral("READING"), r.Value, r.Unit };
    if (m_session.model().rowHasVoltageAndCurrent)
        reading << r.V_Value << r.V_Unit << r.I_Value << r.I_Unit;
    m_out << reading.join(u'\t') << '\n';

    const LcdDisplayState &lcd = m_session.decoder().lcd();
    m_out << "LCD";
    for (int i : lcd.indexesByName()) {
        m_out << '\t' << lcd.info(i).name << '=' << (lcd.isVisible(i) ? '1' : '0');
        if (lcd.info(i).hasText)
            m_out << ':' << lcd.text(i);
    }
    m_out << '\n';
}
