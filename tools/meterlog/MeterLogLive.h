// SPDX-License-Identifier: MIT
#pragma once

#include "meterlog/MeterLog.h"

#include <QTextStream>

#include <memory>

class HidBackend;
class HidChangeNotifier;

// Exit status when no interface cable can be read: none is plugged in, the one
// asked for is not there, another meterlog reads it, or it cannot be opened.
constexpr int ExitNoCable = 3;
// Exit status when the cable was unplugged while logging (without --reconnect).
constexpr int ExitUnplugged = 4;

// --list: prints every HID interface of the backend, one a line after a header
// line, tab-separated: path, vendor:product (hex), serial number, product
// string, and whether it can be read ("read-write"), is read by another
// meterlog ("read-write, busy") or cannot be opened ("no access"). Returns
// ExitOk.
int listMeterLogCables(std::shared_ptr<HidBackend> backend, QTextStream &out, QTextStream &err);

// Reads the cable on the given backend: the one at options.devicePath, or the
// one described exactly as "USB to Serial". Sends the set-up feature report
// like Connect, then prints rows (or the trace) as frames arrive, until
// options.count frames were decoded, the cable leaves, or stopRequested() says
// so (checked every 100 ms). The notifier tells when the interfaces may have
// changed (the cable unplugged or back); with options.reconnect an unplugged
// cable is waited for and logging goes on into the same output. Runs the Qt
// event loop of the current QCoreApplication.
int runMeterLogLive(const MeterLogOptions &options, std::shared_ptr<HidBackend> backend,
    std::unique_ptr<HidChangeNotifier> notifier, QTextStream &out, QTextStream &err,
    const std::function<bool()> &stopRequested = {});
