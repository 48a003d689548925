// SPDX-License-Identifier: MIT
#pragma once

#include "meterlog/MeterLog.h"
#include "session/SessionObserver.h"

#include <QTextStream>

class MeterSession;

// Prints what a meter session does: the header line of the table's text file
// and one line per recorded row, or with --trace, for every frame, the frame,
// each call of the decoder in order (with the recorded row), the reading and
// every LCD element.
class MeterLogPrinter : public SessionObserver
{
public:
    MeterLogPrinter(const MeterLogOptions &options, const MeterSession &session, QTextStream &out,
        QTextStream &err);

    // The header line of the table's text file (nothing when tracing).
    void printHeader();
    // Line number used in messages about frames that could not be decoded.
    void setLineNumber(int n) { m_lineNumber = n; }

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

    const MeterLogOptions &m_options;
    const MeterSession &m_session;
    QTextStream &m_out;
    QTextStream &m_err;
    int m_lineNumber = 0;
};
