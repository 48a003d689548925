// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// What the programs and meterlog know of the interface cable beyond its
// reports (those are rebuilt into frames by link/FrameAssembler). Each fact is
// written here once.
namespace CableProtocol {

// The ten-byte set-up feature report sent on every Connect and Disconnect:
// report ID 0, the line rate 2400 as a 32-bit little-endian number, then 3
// and zeros. The cable passes meter bytes on only after it.
inline QByteArray setupReport()
{
    return QByteArray("\x00\x60\x09\x00\x00\x03\x00\x00\x00\x00", 10);
}

// Idle reports after which the meter counts as silent: the cable is there but
// the meter sends nothing (switched off, or its data output is off).
constexpr qint32 SilentIdleReports = 1900;

inline QString meterSilentMessage()
{
    return QStringLiteral(
        "USB interface cable is securely connected, please check if the meter is ready.");
}

inline QString noCableMessage()
{
    return QStringLiteral(
        "USB interface cable is not securely connected, please check and re-try.");
}

} // namespace CableProtocol
