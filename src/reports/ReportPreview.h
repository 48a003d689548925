// SPDX-License-Identifier: MIT
#pragma once

#include "reports/ReportPageView.h"

#include <QDialog>

#include <memory>

class QAction;
class QLabel;
class QPrinter;
class QSpinBox;
class ReportDocument;
class ReportPrinters;
class UserDialogs;

// The print preview window, captioned "Print Preview": one page of the report
// at a time, with zoom to fit the page, 100 % and page width; first, previous,
// next and last page (and a page box); printer setup; print; save the report
// (report file, PDF, text, CSV or HTML, chosen by the name's extension) and
// load a saved report; close. Message boxes and file dialogs go through
// UserDialogs, printers and printer dialogs through ReportPrinters.
//
// Actions carry object names for callers and tests: fitPage, zoom100,
// pageWidth, firstPage, priorPage, nextPage, lastPage, printerSetup, print,
// saveReport, loadReport, closePreview.
class ReportPreview : public QDialog
{
    Q_OBJECT
public:
    ReportPreview(std::shared_ptr<const ReportDocument> report, UserDialogs &dialogs,
        ReportPrinters &printers, QWidget *parent = nullptr);
    ~ReportPreview() override;

    const ReportDocument &report() const { return *m_report; }
    int currentPage() const { return m_view->page(); }
    int pageCount() const;
    ReportPageView *pageView() const { return m_view; }
    QPrinter &printer() { return *m_printer; }
    QAction *action(const char *name) const;

    // The filter and default extension of the save and load dialogs.
    static QString saveFilter();
    static QString loadFilter();

public Q_SLOTS:
    void showPage(int page);
    void firstPage() { showPage(1); }
    void priorPage() { showPage(currentPage() - 1); }
    void nextPage() { showPage(currentPage() + 1); }
    void lastPage() { showPage(pageCount()); }
    void fitPage() { m_view->setZoom(ReportPageView::Zoom::FitPage); }
    void zoom100() { m_view->setZoom(ReportPageView::Zoom::Actual); }
    void fitPageWidth() { m_view->setZoom(ReportPageView::Zoom::PageWidth); }

    // Each returns true when it did its work, false when it was cancelled or
    // failed (a failure has been shown in a message box).
    bool printerSetup();
    bool printReport();
    bool saveReport();
    bool loadReport();
    bool saveReportTo(const QString &path);
    bool loadReportFrom(const QString &path);

Q_SIGNALS:
    void pageChanged(int page);

private:
    void buildToolBar();
    void setReport(std::shared_ptr<const ReportDocument> report);
    void updateNavigation();
    bool havePrinter();
    void showError(const QString &text);

    std::shared_ptr<const ReportDocument> m_report;
    UserDialogs &m_dialogs;
    ReportPrinters &m_printers;
    std::unique_ptr<QPrinter> m_printer;
    ReportPageView *m_view = nullptr;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageOf = nullptr;
    QString m_lastName;
};
