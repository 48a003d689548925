// SPDX-License-Identifier: MIT
#pragma once

#include "core/ReadingText.h"
#include "models/common/DecoderOutputs.h"

#include <QString>
#include <QStringList>

#include <functional>

// A DecoderOutputs that writes every call as one line, in call order, in the
// form the diagnostics print them: the call name, then a tab and the argument
// ("KDrun\t723", "SetValueMinimum\t-0.5", "RecordingTest\t1"). Calls without an
// argument are the bare name ("LinkOn", "KDsetup"). Tests compare these lines;
// meterlog prints them.
class RecordingOutputs : public DecoderOutputs
{
public:
    QStringList calls;

    // Answer of RecordingTest(); tests may replace it.
    std::function<bool()> recordingTestAnswer = [] { return true; };

    void LinkOn() override { calls << QStringLiteral("LinkOn"); }
    void DispInit(int mode) override { add(u"DispInit", QString::number(mode)); }
    void SelectGaugeScale(int index) override { add(u"SelectGaugeScale", QString::number(index)); }
    void KDsetup() override { calls << QStringLiteral("KDsetup"); }
    void SetValueMinimum(double y) override
    {
        add(u"SetValueMinimum", ReadingText::formatNumber(y));
    }
    void SetValueMaximum(double y) override
    {
        add(u"SetValueMaximum", ReadingText::formatNumber(y));
    }
    void KDrun(int position) override { add(u"KDrun", QString::number(position)); }
    void BarMax(int maximum) override { add(u"BarMax", QString::number(maximum)); }
    void BarPos(int position) override { add(u"BarPos", QString::number(position)); }
    bool RecordingTest() override
    {
        const bool pass = recordingTestAnswer();
        add(u"RecordingTest", pass ? QStringLiteral("1") : QStringLiteral("0"));
        return pass;
    }
    void INDataToTable(int mode) override { add(u"INDataToTable", QString::number(mode)); }
    void AddValue(double y) override { add(u"AddValue", ReadingText::formatNumber(y)); }

private:
    void add(QStringView name, const QString &argument)
    {
        calls << name.toString() + u'\t' + argument;
    }
};
