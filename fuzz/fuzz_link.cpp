// SPDX-License-Identifier: MIT
// Cable reports through the whole link of one meter: reassembly, the model's
// decoder and the recorder.
//
// Input: the first byte picks the model (low bit: 0 KM90, 1 KM50_60); then
// reports, each one length byte n (taken modulo 18) and n bytes: the report ID
// and the data bytes after it (n = 0 gives report ID 0 with no data).
//
// Checked after every report: the frame being received keeps at most the
// model's frame length in bytes; every frame the link ends is counted exactly
// once, as decoded or dropped; refused frames are among the decoded ones; a
// decoded frame appends at most one row; the idle count follows the reports.
#include "FuzzCheck.h"

#include "session/MeterSession.h"

#include <QByteArrayView>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const MeterModel model = (data[0] & 1) ? MeterModel::Km50_60 : MeterModel::Km90;
    MeterSession session(model, QStringLiteral("."));
    session.recorder().setRecordSI(false);
    const FrameAssembler &link = session.assembler();
    const int frameLength = link.frameLength();
    FUZZ_CHECK(frameLength > 2);

    quint64 framesEnded = 0;
    qint64 idle = 0;
    std::size_t pos = 1;
    while (pos < size) {
        const std::size_t wanted = data[pos++] % 18;
        const std::size_t n = std::min(wanted, size - pos);
        const quint8 reportId = n > 0 ? data[pos] : 0;
        const QByteArrayView bytes(reinterpret_cast<const char *>(data) + pos + (n > 0 ? 1 : 0),
            n > 0 ? qsizetype(n - 1) : 0);
        pos += n;

        // What the link must do with this report, worked out independently.
        const bool wasOpen = link.frameOpen();
        const bool dataReport
            = !bytes.isEmpty() && (quint8(bytes[0]) & 0x0F) >= 1 && (quint8(bytes[0]) & 0x0F) <= 9;
        if (!dataReport && wasOpen)
            ++framesEnded;
        if (dataReport)
            idle = 0;
        else if (!bytes.isEmpty())
            ++idle;

        const quint64 decodedBefore = link.framesDecoded();
        const int rowsBefore = session.cds1().rowCount();
        session.Read50(reportId, bytes);

        FUZZ_CHECK(link.frameOpen() == dataReport);
        FUZZ_CHECK(link.frameHex().size() <= 2 * frameLength);
        FUZZ_CHECK(link.framesDecoded() + link.framesDropped() == framesEnded);
        FUZZ_CHECK(link.framesFailed() <= link.framesDecoded());
        FUZZ_CHECK(link.idleReportCount() == idle);
        FUZZ_CHECK(
            session.cds1().rowCount() - rowsBefore <= int(link.framesDecoded() - decodedBefore));
    }
    FUZZ_CHECK(quint64(session.cds1().rowCount()) <= link.framesDecoded() - link.framesFailed());
    return 0;
}
