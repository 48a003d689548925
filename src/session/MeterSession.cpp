// SPDX-License-Identifier: MIT
#include "session/MeterSession.h"

#include "core/ConversionError.h"
#include "models/common/FrameDecoder.h"

MeterSession::MeterSession(
    MeterModel model, const QString &localeDecimal, SessionObserver *observer)
    : m_model(modelDescription(model))
    , m_observer(observer ? observer : &m_silent)
    , m_table(model)
    , m_recorder(model, m_table, m_reading)
    , m_assembler(m_model.frameLength)
    , m_decoder(m_model.makeDecoder(*this, m_reading, localeDecimal))
{
    m_assembler.setShowData50([this](const QString &frame) { decodeFrame(frame); });
    m_assembler.setFailureHandler(
        [this](const QString &frame, const QString &message) { frameFailed(frame, message); });
    setObserver(observer);
}

MeterSession::~MeterSession() = default;

void MeterSession::setObserver(SessionObserver *observer)
{
    m_observer = observer ? observer : &m_silent;
    // The link history's text of each data report is made only for an
    // observer that shows it.
    if (observer && observer->wantsReportLines())
        m_assembler.setHistoryHandler(
            [this](const QString &line) { m_observer->ReportLine(line); });
    else
        m_assembler.setHistoryHandler({});
}

void MeterSession::Read50(quint8 reportId, QByteArrayView data)
{
    m_assembler.Read50(reportId, data);
}

void MeterSession::ShowData50(const QString &frameDigits)
{
    try {
        decodeFrame(frameDigits);
    } catch (const ConversionError &error) {
        frameFailed(frameDigits, error.message());
    }
}

void MeterSession::decodeFrame(const QString &frameDigits)
{
    m_observer->FrameBegins(frameDigits);
    m_decoder->ShowData50(frameDigits);
    m_observer->FrameDone();
}

void MeterSession::frameFailed(const QString &frameDigits, const QString &message)
{
    m_observer->FrameFailed(frameDigits, message);
}

void MeterSession::LinkOn()
{
    m_observer->LinkOn();
}

void MeterSession::DispInit(int mode)
{
    m_observer->DispInit(mode);
}

void MeterSession::SelectGaugeScale(int index)
{
    m_observer->SelectGaugeScale(index);
}

void MeterSession::KDsetup()
{
    m_observer->KDsetup(m_decoder->gaugeScale());
}

void MeterSession::SetValueMinimum(double y)
{
    m_observer->SetValueMinimum(y);
}

void MeterSession::SetValueMaximum(double y)
{
    m_observer->SetValueMaximum(y);
}

void MeterSession::KDrun(int position)
{
    m_observer->KDrun(position);
}

void MeterSession::BarMax(int maximum)
{
    m_observer->BarMax(maximum);
}

void MeterSession::BarPos(int position)
{
    m_observer->BarPos(position);
}

bool MeterSession::RecordingTest()
{
    const bool pass = m_recorder.RecordingTest();
    m_observer->RecordingTest(pass);
    return pass;
}

void MeterSession::INDataToTable(int mode)
{
    m_observer->INDataToTable(mode);
    if (m_recorder.INDataToTable(mode))
        m_observer->RowRecorded(m_table.rowCount() - 1);
}

void MeterSession::AddValue(double y)
{
    m_observer->AddValue(y);
}
