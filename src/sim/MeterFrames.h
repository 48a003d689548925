// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// Readable descriptions of meter frames, turned into the bytes a meter sends.
// Each frame byte carries one hex digit in its low nibble; the meter puts 0x3 in
// the high nibble (the byte is the ASCII digit for 0..9) and ends every frame
// with CR LF, whose low nibbles read "DA".

// The status bits both meters share, as they are spread over the four status
// nibbles S1..S4.
struct MeterStatus
{
    bool battery = false; // S1 bit 0
    bool minus = false; // S1 bit 2
    bool highVoltage = false; // S1 bit 3
    bool secondOverload = false; // S2 bit 0 (KM90 voltage row, KM50/60 secondary display)
    bool mainOverload = false; // S2 bit 1
    bool max = false; // S2 bit 2
    bool min = false; // S2 bit 3
    bool hold = false; // S3 bit 0
    bool clr = false; // S3 bit 1
    bool mem = false; // S3 bit 3
    bool sum = false; // S4 bit 0
    bool mark3 = false; // S4 bit 1
    bool mark2 = false; // S4 bit 2
    bool mark1 = false; // S4 bit 3

    // The four status digits, S1..S4, as upper-case hex.
    QString digits() const;
};

// KM90 frame: function, main row with sign and point, voltage row, current row,
// memory number and status.
struct Km90Frame
{
    int function = 0; // 0 W, 1 VA, 2 var, 3 PF, 4 phase, 5 Hz, 7 sum
    bool zeroMarker = false; // position 3 "B": main digits forced to 0000
    QString mainDigits = QStringLiteral("0000");
    int mainPoint = 0; // 0 none, 1 after 3rd digit, 2 after 2nd, 3 after 1st
    QString voltageDigits = QStringLiteral("0000");
    int voltagePoint = 0;
    QString currentDigits = QStringLiteral("0000");
    int currentPoint = 0;
    int memory = 0; // 0..99
    MeterStatus status;

    QString frameDigits() const; // 26 characters ending in "DA"
    QByteArray bytes() const; // 26 bytes ending in CR LF
};

// KM50/KM60 frame: function, range digits, main display, secondary display,
// memory count and status.
struct Km50Frame
{
    int function = 0; // 0 V, 1 A, 2 W, 3 VA, 4 PF, 5 energy, 6 temperature, 7 sum
    QChar voltageRange = u'0'; // position 2, not interpreted
    bool zeroMarker = false; // position 3 "B": main digits forced to 0000
    QString mainDigits = QStringLiteral("0000");
    int mainPoint = 0; // 0 none, 1 before last digit, 2 before last two, 3 after first
    QString secondaryDigits = QStringLiteral("0000");
    int secondaryPoint = 0;
    int memory = 0;
    MeterStatus status;

    QString frameDigits() const; // 21 characters ending in "DA"
    QByteArray bytes() const; // 21 bytes ending in CR LF
};

// The bytes a meter sends for FrameDigits text: ASCII digits for 0..9, 0x3A..0x3F
// for A..F, with the last two characters sent as CR LF when they are "DA".
QByteArray frameBytesFromDigits(const QString &frameDigits);
