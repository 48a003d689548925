// SPDX-License-Identifier: MIT
#pragma once

#include "core/CurrentReading.h"
#include "link/FrameAssembler.h"
#include "meterlog/MeterLog.h"
#include "models/common/FrameDecoder.h"
#include "models/common/RecordingOutputs.h"
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"

#include <QTextStream>

#include <memory>

// Everything a frame passes through, wired as in the programs: the link, the
// decoder, the recorder and its table. The decoder's calls are forwarded to
// the recorder and, when tracing, printed in order.
class MeterSession : public RecordingOutputs
{
public:
    MeterSession(const MeterLogOptions &options, QTextStream &out, QTextStream &err);
    ~MeterSession() override;

    // The header line of the table's text file (nothing when tracing).
    void printHeader();
    // Line number used in messages about frames that could not be decoded.
    void setLineNumber(int n) { m_lineNumber = n; }

    // One cable report: the report ID, then the data bytes.
    void feedReport(quint8 reportId, QByteArrayView data);
    // One whole frame, straight to the decoder.
    void feedFrame(const QString &frame);

    const FrameAssembler &link() const { return m_link; }
    FrameAssembler &link() { return m_link; }

    void INDataToTable(int mode) override;

private:
    void showFrame(const QString &frame);
    void reportFailure(const QString &frame, const QString &message);
    void flushCalls();
    void rowAppended(int row);
    void printReadingAndLcd();

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
