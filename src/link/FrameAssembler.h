// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// Rebuilds meter frames from the cable's HID input reports (the logic behind the
// main window's Read50 handler).
//
// The cable sends a report whether or not it has meter bytes to pass on. The low
// nibble of the first data byte counts the meter bytes that follow (1..9 makes a
// data report; 0, 10..15 or an empty report is idle). Meter bytes of consecutive
// data reports are collected; the first idle report after them ends the frame,
// which is reduced to FrameDigits (one upper-case hex digit per byte, the byte's
// low nibble), cut to the deliverable's frame length and handed to ShowData50 if
// its last two digits are "DA".
class FrameAssembler
{
public:
    // Decodes one frame; may throw ConversionError.
    using FrameHandler = std::function<void(const QString &frameDigits)>;
    // Receives the report text of every data report (the link history).
    using HistoryHandler = std::function<void(const QString &reportText)>;
    // Told about a frame that the decoder could not convert, with the error text.
    using FailureHandler = std::function<void(const QString &frameDigits, const QString &message)>;

    explicit FrameAssembler(int frameLength);

    void setShowData50(FrameHandler handler) { m_showData50 = std::move(handler); }
    void setHistoryHandler(HistoryHandler handler) { m_history = std::move(handler); }
    void setFailureHandler(FailureHandler handler) { m_failure = std::move(handler); }

    // One report as the HID layer delivers it: the report ID and the bytes after it.
    void Read50(quint8 reportId, QByteArrayView data);

    // "R 00  F3 2A 3B 4C 00 00 00 00 ": the report ID and every data byte as two
    // upper-case hex digits, the ID followed by two blanks and each byte by one.
    static QString reportText(quint8 reportId, QByteArrayView data);

    int frameLength() const { return m_frameLength; }
    // Meter bytes of the frame being received, two hex digits each. Only the
    // first frameLength() bytes are kept: later ones would be cut off anyway.
    QString frameHex() const;
    bool frameOpen() const { return m_frameOpen; }
    // Idle reports (with at least one byte) since the last data report.
    qint32 idleReportCount() const { return m_idleReportCount; }
    void resetIdleReportCount() { m_idleReportCount = 0; }

    // Frames handed to ShowData50, frames dropped for a bad terminator or length,
    // and frames the decoder refused with a conversion error.
    quint64 framesDecoded() const { return m_framesDecoded; }
    quint64 framesDropped() const { return m_framesDropped; }
    quint64 framesFailed() const { return m_framesFailed; }

private:
    void endFrame();

    int m_frameLength;
    // The frame's meter bytes: room for m_frameLength made once, the first
    // m_frameSize of them in use.
    QByteArray m_frameBytes;
    qsizetype m_frameSize = 0;
    bool m_frameOpen = false;
    qint32 m_idleReportCount = 0;
    quint64 m_framesDecoded = 0;
    quint64 m_framesDropped = 0;
    quint64 m_framesFailed = 0;
    QString m_digits; // reused buffer for FrameDigits
    FrameHandler m_showData50;
    HistoryHandler m_history;
    FailureHandler m_failure;
};
