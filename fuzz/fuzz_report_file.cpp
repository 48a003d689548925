// SPDX-License-Identifier: MIT
// Report files: loading one, laying out its first and last pages, and its
// text, CSV and HTML exports. The exports are written to /dev/null, which the
// report's files write straight into.
//
// Input: the report file's bytes.
#include "FuzzCheck.h"

#include "reports/ReportFiles.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    QString error;
    const std::shared_ptr<ReportDocument> report = ReportFiles::loadReport(device, &error);
    if (!report) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    const int pages = report->pageCount();
    FUZZ_CHECK(pages >= 1);
    for (int page : { 1, pages }) {
        const std::vector<PlacedText> texts = report->pageTexts(page);
        // A loaded report's page places a bounded number of texts.
        FUZZ_CHECK(texts.size() <= 10000);
        for (const PlacedText &t : texts) {
            if (t.band == ReportBandKind::Detail && t.column >= 0) {
                FUZZ_CHECK(t.row >= report->layout().firstRow(page));
                FUZZ_CHECK(
                    t.row < report->layout().firstRow(page) + report->layout().rowsOnPage(page));
            }
        }
        (void)ReportFiles::textPage(*report, page);
    }
    FUZZ_CHECK(report->pageTexts(pages + 1).empty());

    const QString sink = QStringLiteral("/dev/null");
    FUZZ_CHECK(ReportFiles::exportText(*report, sink).ok);
    FUZZ_CHECK(ReportFiles::exportCsv(*report, sink).ok);
    FUZZ_CHECK(ReportFiles::exportHtml(*report, sink).ok);
    return 0;
}
