// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Packs a meter byte stream into HID input reports the way the interface cable
// does: report ID 0, then 8 data bytes: 0xF0 | n (n meter bytes follow, 1..7),
// the n bytes, zero padding. Between frames the cable sends idle reports
// (count 0).
namespace CableReports {

constexpr int kDataBytes = 8; // bytes after the report ID
constexpr int kMaxMeterBytes = 7; // meter bytes one report can carry

// One report with ID 0: 9 bytes in all.
QByteArray dataReport(QByteArrayView meterBytes);
QByteArray idleReport();

// The reports for a byte stream, chunkSize meter bytes per report (the last
// report may carry fewer).
QList<QByteArray> pack(QByteArrayView stream, int chunkSize = kMaxMeterBytes);

// The reports for a stream cut into chunks of the given sizes, cycling through
// the list; a real cable passes on what the UART received since the last poll,
// so chunk sizes vary.
QList<QByteArray> packVarying(QByteArrayView stream, const QList<int> &chunkSizes);

// The reports for one frame followed by idleCount idle reports.
QList<QByteArray> frameReports(QByteArrayView frameBytes, int idleCount = 1);

} // namespace CableReports
