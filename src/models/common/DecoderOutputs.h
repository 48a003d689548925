// SPDX-License-Identifier: MIT
#pragma once

// Everything a frame decoder does beyond its own display state goes through
// this interface, in the order the decoder makes the calls. The main window
// connects the calls to the gauge, level bar, chart and recorder; tests and
// meterlog record them.
class DecoderOutputs
{
public:
    virtual ~DecoderOutputs() = default;

    // A frame arrived: the link indicator shows CONok and hides CONokN.
    virtual void LinkOn() = 0;
    // The decoder has blanked its display state (mode is always 0).
    virtual void DispInit(int mode) = 0;
    // The decoder has loaded row index of its scale table into its GaugeScale.
    virtual void SelectGaugeScale(int index) = 0;
    // Redraw the dial for the decoder's current GaugeScale.
    virtual void KDsetup() = 0;
    virtual void SetValueMinimum(double y) = 0;
    virtual void SetValueMaximum(double y) = 0;
    // Move the needle to a position on 0 .. 10 * Step (not clamped).
    virtual void KDrun(int position) = 0;
    virtual void BarMax(int maximum) = 0;
    virtual void BarPos(int position) = 0;
    // Would INDataToTable record the current reading now? Must not change anything.
    virtual bool RecordingTest() = 0;
    virtual void INDataToTable(int mode) = 0;
    virtual void AddValue(double y) = 0;
};
