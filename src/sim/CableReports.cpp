// SPDX-License-Identifier: MIT
#include "sim/CableReports.h"

namespace CableReports {

QByteArray dataReport(QByteArrayView meterBytes)
{
    const auto n = qMin<qsizetype>(meterBytes.size(), kMaxMeterBytes);
    QByteArray report(1 + kDataBytes, '\0');
    report[1] = char(0xF0 | n);
    for (qsizetype i = 0; i < n; ++i)
        report[2 + i] = meterBytes[i];
    return report;
}

QByteArray idleReport()
{
    QByteArray report(1 + kDataBytes, '\0');
    report[1] = char(0xF0);
    return report;
}

QList<QByteArray> pack(QByteArrayView stream, int chunkSize)
{
    return packVarying(stream, { chunkSize });
}

QList<QByteArray> packVarying(QByteArrayView stream, const QList<int> &chunkSizes)
{
    QList<QByteArray> reports;
    qsizetype pos = 0;
    qsizetype turn = 0;
    while (pos < stream.size()) {
        int size = chunkSizes.isEmpty() ? kMaxMeterBytes : chunkSizes[turn++ % chunkSizes.size()];
        size = qBound(1, size, kMaxMeterBytes);
        const auto n = qMin<qsizetype>(size, stream.size() - pos);
        reports.append(dataReport(stream.sliced(pos, n)));
        pos += n;
    }
    return reports;
}

QList<QByteArray> frameReports(QByteArrayView frameBytes, int idleCount)
{
    QList<QByteArray> reports = pack(frameBytes);
    for (int i = 0; i < idleCount; ++i)
        reports.append(idleReport());
    return reports;
}

} // namespace CableReports
