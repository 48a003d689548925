// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

class QPrinter;
class QWidget;

// The seam between the preview and the system's printers and printer dialogs,
// so that tests never wait on a dialog and can stand in for a printer.
class ReportPrinters
{
public:
    virtual ~ReportPrinters() = default;

    // Names of the installed printers; empty when there is none.
    virtual QStringList printerNames() = 0;
    // The printer the system prints to unless told otherwise; empty when none.
    virtual QString defaultPrinterName() = 0;
    // The printer setup dialog (paper, orientation, margins of the printer).
    // Returns false when the user cancels.
    virtual bool setUpPrinter(QPrinter &printer, QWidget *parent) = 0;
    // The print dialog (printer, page range among pageCount pages, current
    // page, copies). Returns false when the user cancels.
    virtual bool choosePrintOptions(QPrinter &printer, int pageCount, QWidget *parent) = 0;
};

// The real ones: QPrinterInfo, QPageSetupDialog and QPrintDialog, shown modally
// (their event loop keeps the programs reading frames).
class QtReportPrinters : public ReportPrinters
{
public:
    QStringList printerNames() override;
    QString defaultPrinterName() override;
    bool setUpPrinter(QPrinter &printer, QWidget *parent) override;
    bool choosePrintOptions(QPrinter &printer, int pageCount, QWidget *parent) override;
};
