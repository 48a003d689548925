// SPDX-License-Identifier: MIT
#include "link/FrameAssembler.h"

#include "core/ConversionError.h"

#include <cstring>
#include <limits>

namespace {

constexpr char16_t hexDigits[] = u"0123456789ABCDEF";

} // namespace

FrameAssembler::FrameAssembler(int frameLength)
    : m_frameLength(frameLength)
{
    m_frameBytes.resize(qMax(frameLength, 0));
    m_digits.reserve(frameLength);
}

QString FrameAssembler::reportText(quint8 reportId, QByteArrayView data)
{
    QString text(6 + 3 * data.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    *out++ = u'R';
    *out++ = u' ';
    *out++ = hexDigits[reportId >> 4];
    *out++ = hexDigits[reportId & 0xF];
    *out++ = u' ';
    *out++ = u' ';
    for (char c : data) {
        const auto b = static_cast<quint8>(c);
        *out++ = hexDigits[b >> 4];
        *out++ = hexDigits[b & 0xF];
        *out++ = u' ';
    }
    return text;
}

QString FrameAssembler::frameHex() const
{
    return QString::fromLatin1(
        QByteArrayView(m_frameBytes.constData(), m_frameSize).toByteArray().toHex().toUpper());
}

void FrameAssembler::Read50(quint8 reportId, QByteArrayView data)
{
    if (data.isEmpty()) {
        // No count byte at all: not counted as idle, but it still ends a frame.
        if (m_frameOpen)
            endFrame();
        m_frameOpen = false;
        return;
    }

    if (m_idleReportCount < std::numeric_limits<qint32>::max())
        ++m_idleReportCount;

    const int count = static_cast<quint8>(data[0]) & 0x0F;
    if (count >= 1 && count <= 9) {
        m_idleReportCount = 0;
        m_frameOpen = true;
        // Meter bytes the report does not hold are simply missing.
        const qsizetype available = qMin<qsizetype>(count, data.size() - 1);
        const qsizetype room = m_frameLength - m_frameSize;
        if (room > 0) {
            const qsizetype n = qMin(available, room);
            std::memcpy(m_frameBytes.data() + m_frameSize, data.data() + 1, size_t(n));
            m_frameSize += n;
        }
        if (m_history)
            m_history(reportText(reportId, data));
        return;
    }

    // An idle report (count 0 or 10..15): its bytes are never used.
    if (m_frameOpen)
        endFrame();
    m_frameOpen = false;
}

void FrameAssembler::endFrame()
{
    m_digits.resize(m_frameSize);
    char16_t *out = reinterpret_cast<char16_t *>(m_digits.data());
    const char *bytes = m_frameBytes.constData();
    for (qsizetype i = 0; i < m_frameSize; ++i)
        *out++ = hexDigits[static_cast<quint8>(bytes[i]) & 0x0F];
    // The buffer is emptied and the frame closed before the decoder runs, so a
    // decoder that fails on this frame can never be handed it a second time.
    m_frameSize = 0;
    m_frameOpen = false;

    const qsizetype n = m_digits.size();
    if (n != m_frameLength || m_digits[n - 2] != u'D' || m_digits[n - 1] != u'A') {
        ++m_framesDropped;
        return;
    }
    ++m_framesDecoded;
    if (!m_showData50)
        return;
    try {
        m_showData50(m_digits);
    } catch (const ConversionError &error) {
        ++m_framesFailed;
        if (m_failure)
            m_failure(m_digits, error.message());
    }
}
