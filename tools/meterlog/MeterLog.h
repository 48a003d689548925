// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

class Recorder;

// meterlog: the headless companion program. It feeds cable reports (or whole
// frames) through the same link, decoder and recorder as the windows, and
// prints the rows the recorder appends, or a trace of every decoded frame.

struct MeterLogOptions
{
    MeterModel model {};
    bool frames = false; // input lines are FrameDigits, not cable reports
    QString decimal; // LocaleDecimal
    bool repeat = true; // the "Repeat" box
    std::optional<qint32> limit; // RecordLimit
    bool trace = false;
    QString file; // empty: standard input
    enum class Source { Replay, Device, Demo };
    Source source = Source::Replay; // --device reads the cable, --demo the demo cable
    std::optional<qint64> count; // live: stop after this many frames
};

// Exit statuses.
enum MeterLogStatus { ExitOk = 0, ExitBadLine = 1, ExitUsage = 2 };

QString meterLogUsage();

// Parses the arguments (without the program name). Returns the options, or
// nothing after writing help (status ExitOk) or a usage error (ExitUsage) to
// the given streams; status receives the exit status in that case.
std::optional<MeterLogOptions> parseMeterLogArguments(
    const QStringList &arguments, QTextStream &out, QTextStream &err, int &status);

// The recording policy as the options set it: the "Repeat" box, no sampling
// interval, the record limit.
void applyRecordOptions(const MeterLogOptions &options, Recorder &recorder);

// Replays the input and writes the rows or the trace to out; messages about
// unreadable lines go to err. Returns the exit status.
int runMeterLogReplay(
    const MeterLogOptions &options, QTextStream &in, QTextStream &out, QTextStream &err);
