// SPDX-License-Identifier: MIT
#include "reports/ReportPrinters.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

QStringList QtReportPrinters::printerNames()
{
    return QPrinterInfo::availablePrinterNames();
}

QString QtReportPrinters::defaultPrinterName()
{
    return QPrinterInfo::defaultPrinterName();
}

bool QtReportPrinters::setUpPrinter(QPrinter &printer, QWidget *parent)
{
    QPageSetupDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtReportPrinters::choosePrintOptions(QPrinter &printer, int pageCount, QWidget *parent)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, pageCount);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, true);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    return dialog.exec() == QDialog::Accepted;
}
