// SPDX-License-Identifier: MIT
#pragma once

#include "core/CurrentReading.h"
#include "link/FrameAssembler.h"
#include "models/ModelDescription.h"
#include "models/common/DecoderOutputs.h"
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"
#include "session/SessionObserver.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

class FrameDecoder;

// One meter's session: everything a cable report passes through, built and
// wired once for one model. The windows and meterlog both use it. The way of
// a report, top to bottom:
//
//   Read50(report)                 a cable report, from the link control or a capture
//     FrameAssembler::Read50       rebuilds the meter's frame: FrameDigits
//   ShowData50(frame)              the model's decoder (a whole frame may come straight here)
//     FrameDecoder::ShowData50     fills CurrentReading and the LCD state and makes its
//                                  calls on DecoderOutputs, which this session answers:
//       display calls              forwarded to the observer (gauge, level bar, chart)
//       RecordingTest,             answered by the Recorder, which appends a row to
//       INDataToTable              cds1 (ReadingTable) under the recording policy
//   SessionObserver                told each step in order (see SessionObserver.h)
//
// Everything runs on the caller's thread, synchronously, in report order.
class MeterSession : private DecoderOutputs
{
public:
    MeterSession(
        MeterModel model, const QString &localeDecimal, SessionObserver *observer = nullptr);
    ~MeterSession() override;
    MeterSession(const MeterSession &) = delete;
    MeterSession &operator=(const MeterSession &) = delete;

    const ModelDescription &model() const { return m_model; }
    // The observer may be changed or removed (nullptr) at any time between reports.
    // Its wantsReportLines() is asked here.
    void setObserver(SessionObserver *observer);

    // A cable report: the report ID, then the bytes after it.
    void Read50(quint8 reportId, QByteArrayView data);
    // A whole frame (FrameDigits), straight to the decoder. A frame the decoder
    // refuses is told to the observer (FrameFailed) like one from the cable.
    void ShowData50(const QString &frameDigits);

    FrameAssembler &assembler() { return m_assembler; }
    const FrameAssembler &assembler() const { return m_assembler; }
    FrameDecoder &decoder() { return *m_decoder; }
    const FrameDecoder &decoder() const { return *m_decoder; }
    const CurrentReading &reading() const { return m_reading; }
    ReadingTable &cds1() { return m_table; }
    const ReadingTable &cds1() const { return m_table; }
    Recorder &recorder() { return m_recorder; }
    const Recorder &recorder() const { return m_recorder; }

private:
    // A frame from the assembler: may throw ConversionError, which the
    // assembler counts and hands back to frameFailed().
    void decodeFrame(const QString &frameDigits);
    void frameFailed(const QString &frameDigits, const QString &message);

    // DecoderOutputs
    void LinkOn() override;
    void DispInit(int mode) override;
    void SelectGaugeScale(int index) override;
    void KDsetup() override;
    void SetValueMinimum(double y) override;
    void SetValueMaximum(double y) override;
    void KDrun(int position) override;
    void BarMax(int maximum) override;
    void BarPos(int position) override;
    bool RecordingTest() override;
    void INDataToTable(int mode) override;
    void AddValue(double y) override;

    const ModelDescription &m_model;
    SessionObserver m_silent; // stands in when nobody observes
    SessionObserver *m_observer;
    CurrentReading m_reading;
    ReadingTable m_table;
    Recorder m_recorder;
    FrameAssembler m_assembler;
    std::unique_ptr<FrameDecoder> m_decoder;
};
