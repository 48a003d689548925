// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
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
    std::optional<qint32> limit; // RecordLimit; --limit none gives the largest one
    bool trace = false;
    QString file; // empty: standard input
    enum class Source { Replay, Device, Demo };
    Source source = Source::Replay; // --device reads the cable, --demo the demo cable
    std::optional<qint64> count; // live: stop after this many frames

    // What goes to standard output: today's tab-separated rows, CSV or JSON lines.
    enum class Format { Tsv, Csv, Jsonl };
    Format format = Format::Tsv;
    QString output; // --output: the table's text file the rows are appended to
    bool append = false; // --append: an existing output file of this model is added to
    // Written rows are dropped from the session's table once they are out:
    // the repeat rule needs only the last row's value, which the recorder keeps.
    bool keepRows = false;
    // Standard output is flushed after every frame (main sets it when standard
    // output is not a terminal, so a consumer on a pipe sees rows as they come).
    bool flushEachFrame = false;
    // Several cables: --list prints the HID interfaces present; --device PATH
    // reads the cable at PATH (without PATH, the one the programs choose);
    // --reconnect waits for an unplugged cable to come back.
    bool list = false;
    QString devicePath;
    bool reconnect = false;

    // Wall-clock time in ms since 1970 UTC for the rows' time stamps; empty:
    // the system clock. Tests inject one.
    std::function<qint64()> clock;

    // --mqtt: the rows also go to an MQTT broker (see MqttPublisher.h). User
    // name, password and an extra CA file come from the environment.
    struct Mqtt
    {
        QString url;
        QString username; // METERLOG_MQTT_USERNAME
        QString password; // METERLOG_MQTT_PASSWORD
        QString caFile; // METERLOG_MQTT_CAFILE
        qsizetype queueCapacity = 0; // --mqtt-queue (not in the usage); 0: the default
        int finishWaitMs = 3000; // how long the end waits for the broker to confirm rows
    };
    Mqtt mqtt;
};

// Exit statuses.
enum MeterLogStatus {
    ExitOk = 0,
    ExitBadLine = 1,
    ExitUsage = 2,
    ExitOutput = 5, // the output file cannot be created, added to or written
};

QString meterLogUsage();

// Parses the arguments (without the program name). Returns the options, or
// nothing after writing help (status ExitOk) or a usage error (ExitUsage) to
// the given streams; status receives the exit status in that case.
std::optional<MeterLogOptions> parseMeterLogArguments(
    const QStringList &arguments, QTextStream &out, QTextStream &err, int &status);

// The recording policy as the options set it: the "Repeat" box, no sampling
// interval, the record limit.
void applyRecordOptions(const MeterLogOptions &options, Recorder &recorder);

// Reads up to size bytes of input into data, as many as are there now (a
// pipe gives what it has, without waiting for more); 0 at the end, -1 on an error.
using MeterLogInput = std::function<qint64(char *data, qint64 size)>;

// Replays the input and writes the rows or the trace to out; messages about
// unreadable lines go to err. Returns the exit status.
int runMeterLogReplay(
    const MeterLogOptions &options, const MeterLogInput &in, QTextStream &out, QTextStream &err);
// The same over the whole text of a stream (read at once: for short inputs).
int runMeterLogReplay(
    const MeterLogOptions &options, QTextStream &in, QTextStream &out, QTextStream &err);
