// SPDX-License-Identifier: MIT
#pragma once

#include "reports/ReportDocument.h"

#include <QString>

#include <functional>

class QWidget;
class ReadingTable;
class ReportPreview;
class ReportPrinters;
class UserDialogs;

// What the window does around a preview: the grid stops following the table's
// current row (and is not repainted) while the report walks the table, and
// follows it again once the preview has closed.
struct PreviewHooks
{
    std::function<void()> stopFollowing;
    std::function<void()> followAgain;
};

// "Print Data" (both programs): stops the grid following the table, computes
// the KM50_60 page count m from the row count, lays the report out once over
// the table as it is now, and opens it in the print preview window, owned by
// window. The preview is modal for the whole application but does not block:
// this returns at once, the program's event loop goes on serving meter frames
// and timers, and rows recorded meanwhile appear only in a report opened later.
// followAgain runs when the preview closes (and at once if the preview could
// not be opened). The preview deletes itself when closed.
ReportPreview *MajPrintClick(const ReadingTable &cds1, UserDialogs &dialogs,
    ReportPrinters &printers, QWidget *window, const PreviewHooks &hooks,
    const QString &printDate = reportDateText());
