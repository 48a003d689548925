// SPDX-License-Identifier: MIT
#pragma once

#include "meterlog/MeterLog.h"
#include "meterlog/MeterLogOutput.h"
#include "session/SessionObserver.h"

#include <QTextStream>

#include <memory>

class MeterSession;
class MqttPublisher;

// Prints what a meter session does: the header line of the table's text file
// and one line per recorded row, or with --trace, for every frame, the frame,
// each call of the decoder in order (with the recorded row), the reading and
// every LCD element.
//
// Rows go to standard output in the chosen format (tab-separated, CSV, JSON
// lines) and, with --output, to the table's text file. At the end of every
// frame the frame's rows go to the file with one write, standard output is
// flushed when options.flushEachFrame asks for it, and the rows are dropped
// from the session's table: a logger keeps no row it has written (the
// recorder keeps what numbering and the repeat rule need).
//
// With --mqtt every row also goes to the broker as the JSON object of
// --format jsonl; the publisher's notices are printed at the end of each frame,
// and the destructor waits a little for the broker to confirm the last rows.
class MeterLogPrinter : public SessionObserver
{
public:
    MeterLogPrinter(
        const MeterLogOptions &options, MeterSession &session, QTextStream &out, QTextStream &err);
    ~MeterLogPrinter() override;

    // Opens the output file, if any; false with a message on err when it cannot.
    bool openOutput();
    // The header line of the format (nothing when tracing or for JSON lines).
    void printHeader();
    // Writing the output file failed; the run should end (ExitOutput).
    bool failed() const { return m_failed; }
    // Batching: the rows of several frames are gathered (up to 64 KiB) and
    // written with one write when writePending() is called, which the replay
    // does before it reads more input, so rows never wait for input in memory.
    // Without batching every frame's rows are written at its end.
    void setBatching(bool on) { m_batching = on; }
    // Writes the rows gathered so far to the output file and standard output,
    // and flushes standard output when options.flushEachFrame asks for it.
    void writePending();
    // Frames the decoder refused.
    quint64 framesRefused() const { return m_framesRefused; }
    // Line number used in messages about frames that could not be decoded.
    void setLineNumber(int n) { m_lineNumber = n; }

    // meterlog prints no link history.
    bool wantsReportLines() const override { return false; }
    void FrameBegins(const QString &frameDigits) override;
    void LinkOn() override;
    void DispInit(int mode) override;
    void SelectGaugeScale(int index) override;
    void KDsetup(const GaugeScale &scale) override;
    void SetValueMinimum(double y) override;
    void SetValueMaximum(double y) override;
    void KDrun(int position) override;
    void BarMax(int maximum) override;
    void BarPos(int position) override;
    void RecordingTest(bool pass) override;
    void INDataToTable(int mode) override;
    void RowRecorded(int row) override;
    void AddValue(double y) override;
    void FrameDone() override;
    void FrameFailed(const QString &frameDigits, const QString &message) override;

private:
    void call(QStringView name, const QString &argument = {});
    void printReadingAndLcd();
    void endFrame();
    void fail(const QString &message);
    bool startMqtt();
    void printMqttNotices();
    void finishMqtt();

    bool tracing() const { return m_options.trace; }

    const MeterLogOptions &m_options;
    MeterSession &m_session;
    MeterLogFormat::JsonRowWriter m_json;
    QByteArray m_pendingOut; // JSON lines not yet on standard output
    bool m_batching = false;
    WallClock m_clock;
    qint64 m_rowMs = 0; // when the recorder last stamped a row
    std::unique_ptr<TableFileOutput> m_file;
    std::unique_ptr<MqttPublisher> m_mqtt;
    bool m_failed = false;
    QTextStream &m_out;
    QTextStream &m_err;
    int m_lineNumber = 0;
    quint64 m_framesRefused = 0;
};
