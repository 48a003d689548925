// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

struct GaugeScale;

// What a meter session tells the one who shows or logs it (the window, meterlog),
// in the order it happens for each frame:
//
//   FrameBegins(frame)
//   the decoder's calls, in the decoder's order: LinkOn, DispInit,
//     SelectGaugeScale, KDsetup, SetValueMinimum, SetValueMaximum, KDrun,
//     BarMax, BarPos, RecordingTest, INDataToTable (then RowRecorded when the
//     recorder appended a row), AddValue
//   FrameDone() or, when the decoder refused the frame, FrameFailed(...)
//
// The names are those of the decoder's outputs (models/common/DecoderOutputs.h)
// and of meterlog's trace. Every call has an empty default.
class SessionObserver
{
public:
    virtual ~SessionObserver() = default;

    // A data report's text for the link history ("R 00  F3 2A ...").
    virtual void ReportLine(const QString & /*text*/) { }
    // Whether ReportLine is wanted at all; asked when the observer is set. An
    // observer that shows no link history says no, and the texts are not made.
    virtual bool wantsReportLines() const { return true; }

    virtual void FrameBegins(const QString & /*frameDigits*/) { }

    virtual void LinkOn() { }
    virtual void DispInit(int /*mode*/) { }
    virtual void SelectGaugeScale(int /*index*/) { }
    // Redraw the dial for the decoder's scale, now in force.
    virtual void KDsetup(const GaugeScale & /*scale*/) { }
    virtual void SetValueMinimum(double /*y*/) { }
    virtual void SetValueMaximum(double /*y*/) { }
    virtual void KDrun(int /*position*/) { }
    virtual void BarMax(int /*maximum*/) { }
    virtual void BarPos(int /*position*/) { }
    // The recorder's answer to the decoder's recording test.
    virtual void RecordingTest(bool /*pass*/) { }
    virtual void INDataToTable(int /*mode*/) { }
    // The recorder appended this row to cds1.
    virtual void RowRecorded(int /*row*/) { }
    virtual void AddValue(double /*y*/) { }

    // The frame is decoded; the LCD state is the frame's final one.
    virtual void FrameDone() { }
    // The decoder refused the frame; what it had set before stays.
    virtual void FrameFailed(const QString & /*frameDigits*/, const QString & /*message*/) { }
};
