// SPDX-License-Identifier: MIT
#pragma once

#include "meterlog/MeterLog.h"

#include <QTextStream>

#include <memory>

class HidBackend;

// Exit status when no interface cable can be read.
constexpr int ExitNoCable = 3;

// Reads the cable described exactly as "USB to Serial" on the given backend:
// sends the set-up feature report like Connect, then prints rows (or the
// trace) as frames arrive, until options.count frames were decoded, the cable
// leaves, or stopRequested() says so (checked every 100 ms). Runs the Qt event
// loop of the current QCoreApplication.
int runMeterLogLive(const MeterLogOptions &options, std::shared_ptr<HidBackend> backend,
    QTextStream &out, QTextStream &err, const std::function<bool()> &stopRequested = {});
