// SPDX-License-Identifier: MIT
#include "reports/ReportPreview.h"

#include "dialogs/UserDialogs.h"
#include "reports/ReportDocument.h"
#include "reports/ReportFiles.h"
#include "reports/ReportPainter.h"
#include "reports/ReportPrinters.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPrinter>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace {

const char *const Caption = "Print Preview";

// The page box and its " of n" label are as wide as for this many pages
// (ten million rows and more), so the tool row keeps its place whatever the
// report's length.
constexpr int kWidestPageCount = 99'999'999;

// A PDF or print job runs on a thread of its own over a copy of the report's
// rows (the table may take new rows meanwhile) while the program keeps serving
// meter frames; after half a second a progress dialog offers Cancel. Returns
// true when the user cancelled and the job stopped before it was complete.
template<typename Job>
bool runPageJob(UserDialogs &dialogs, QWidget *parent, const QString &label,
    const ReportDocument &report, int pages, Job job)
{
    const std::shared_ptr<const ReportDocument> copy = report.copyForJob();
    // Made here: it takes the desktop's colours on the window's thread.
    auto pagePainter = std::make_shared<ReportPagePainter>(true);
    bool complete = false;
    const bool canceled = dialogs.runJob(parent, label, [&](JobProgress &progress) {
        progress.setTotal(pages);
        complete = job(*copy, *pagePainter, [&progress](int done) {
            progress.setDone(done);
            return !progress.isCanceled();
        });
    });
    return canceled && !complete;
}

// A wait cursor for the length of a job.
class BusyCursor
{
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace

ReportPreview::ReportPreview(std::shared_ptr<const ReportDocument> report, UserDialogs &dialogs,
    ReportPrinters &printers, QWidget *parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
    , m_printers(printers)
    , m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(QString::fromLatin1(Caption));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    m_view = new ReportPageView(this);
    buildToolBar();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(findChild<QToolBar *>(QStringLiteral("previewTools")));
    layout->addWidget(m_view, 1);

    // A window as tall as the screen allows, wide enough for a page at fit size.
    QSize size(760, 900);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 0.95);
    resize(size);

    setReport(std::move(report));
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::buildToolBar()
{
    auto *tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("previewTools"));
    tools->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto add = [this, tools](const char *name, const QString &text, const QString &tip,
                   QStyle::StandardPixmap icon, auto slot, const QKeySequence &key = {}) {
        auto *action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(tip);
        if (icon != QStyle::SP_CustomBase)
            action->setIcon(style()->standardIcon(icon));
        if (!key.isEmpty())
            action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        tools->addAction(action);
        return action;
    };
    const auto none = QStyle::SP_CustomBase;
    add("fitPage", tr("Fit Page"), tr("Zoom to fit the whole page"), none, &ReportPreview::fitPage);
    add("zoom100", tr("100 %"), tr("Show the page at its real size"), none,
        &ReportPreview::zoom100);
    add("pageWidth", tr("Page Width"), tr("Zoom to the width of the page"), none,
        &ReportPreview::fitPageWidth);
    tools->addSeparator();
    add("firstPage", tr("First"), tr("First page"), QStyle::SP_MediaSkipBackward,
        &ReportPreview::firstPage, QKeySequence(Qt::CTRL | Qt::Key_Home));
    add("priorPage", tr("Previous"), tr("Previous page"), QStyle::SP_MediaSeekBackward,
        &ReportPreview::priorPage, QKeySequence(Qt::Key_PageUp));
    m_pageBox = new QSpinBox(tools);
    m_pageBox->setObjectName(QStringLiteral("pageBox"));
    m_pageBox->setToolTip(tr("Page on view"));
    m_pageBox->setAccelerated(true);
    m_pageBox->setRange(1, kWidestPageCount);
    m_pageBox->setFixedWidth(m_pageBox->sizeHint().width());
    tools->addWidget(m_pageBox);
    m_pageOf = new QLabel(tools);
    m_pageOf->setObjectName(QStringLiteral("pageOf"));
    m_pageOf->setFixedWidth(
        m_pageOf->fontMetrics().horizontalAdvance(tr(" of %1 ").arg(kWidestPageCount)));
    tools->addWidget(m_pageOf);
    add("nextPage", tr("Next"), tr("Next page"), QStyle::SP_MediaSeekForward,
        &ReportPreview::nextPage, QKeySequence(Qt::Key_PageDown));
    add("lastPage", tr("Last"), tr("Last page"), QStyle::SP_MediaSkipForward,
        &ReportPreview::lastPage, QKeySequence(Qt::CTRL | Qt::Key_End));
    tools->addSeparator();
    add("printerSetup", tr("Printer Setup"), tr("Paper and page set-up of the printer"), none,
        &ReportPreview::printerSetup);
    add("print", tr("Print"), tr("Print the report"), none, &ReportPreview::printReport,
        QKeySequence::Print);
    add("saveReport", tr("Save"), tr("Save the report as a report file, PDF, text, CSV or HTML"),
        none, &ReportPreview::saveReport, QKeySequence::Save);
    add("loadReport", tr("Load"), tr("Load a saved report"), none, &ReportPreview::loadReport,
        QKeySequence::Open);
    tools->addSeparator();
    add("closePreview", tr("Close"), tr("Close the preview"), none, &QDialog::reject);

    connect(m_pageBox, &QSpinBox::valueChanged, this, &ReportPreview::showPage);

    // Every tool is reached with Tab and pressed with Space, as in the window.
    for (QAction *action : tools->actions()) {
        if (QWidget *button = tools->widgetForAction(action); button && !action->isSeparator())
            button->setFocusPolicy(Qt::TabFocus);
    }
}

QAction *ReportPreview::action(const char *name) const
{
    return findChild<QAction *>(QString::fromLatin1(name));
}

int ReportPreview::pageCount() const
{
    return m_report->pageCount();
}

QString ReportPreview::saveFilter()
{
    return ReportFiles::saveFilter();
}

QString ReportPreview::loadFilter()
{
    return QStringLiteral("Report file (*.kmr)|*.kmr");
}

void ReportPreview::setReport(std::shared_ptr<const ReportDocument> report)
{
    m_report = std::move(report);
    m_view->setReport(m_report);
    {
        const QSignalBlocker block(m_pageBox);
        m_pageBox->setRange(1, m_report->pageCount());
        m_pageBox->setValue(1);
    }
    m_pageOf->setText(tr(" of %1 ").arg(m_report->pageCount()));
    updateNavigation();
    Q_EMIT pageChanged(1);
}

void ReportPreview::showPage(int page)
{
    page = std::clamp(page, 1, pageCount());
    if (page == currentPage())
        return;
    m_view->setPage(page);
    {
        const QSignalBlocker block(m_pageBox);
        m_pageBox->setValue(page);
    }
    updateNavigation();
    Q_EMIT pageChanged(page);
}

void ReportPreview::updateNavigation()
{
    const int page = currentPage();
    action("firstPage")->setEnabled(page > 1);
    action("priorPage")->setEnabled(page > 1);
    action("nextPage")->setEnabled(page < pageCount());
    action("lastPage")->setEnabled(page < pageCount());
}

void ReportPreview::showError(const QString &text)
{
    m_dialogs.message(this, UserDialogs::Icon::Warning, QString::fromLatin1(Caption), text);
}

bool ReportPreview::havePrinter()
{
    const QStringList names = m_printers.printerNames();
    if (names.isEmpty()) {
        showError(tr("No printer is installed, so the report cannot be printed.\n"
                     "Install a printer, or save the report as a PDF file and print that."));
        return false;
    }
    if (!names.contains(m_printer->printerName())) {
        const QString preferred = m_printers.defaultPrinterName();
        m_printer->setPrinterName(names.contains(preferred) ? preferred : names.first());
        // The report is laid out on A4 portrait; start every printer there.
        m_printer->setPageSize(QPageSize(QPageSize::A4));
        m_printer->setPageOrientation(QPageLayout::Portrait);
    }
    return true;
}

bool ReportPreview::printerSetup()
{
    return havePrinter() && m_printers.setUpPrinter(*m_printer, this);
}

bool ReportPreview::printReport()
{
    if (!havePrinter())
        return false;
    if (!m_printers.choosePrintOptions(*m_printer, pageCount(), this))
        return false;
    QString error;
    const PageSpan span = pagesToPrint(*m_printer, *m_report, currentPage());
    const int copies
        = m_printer->supportsMultipleCopies() ? 1 : std::max(1, m_printer->copyCount());
    const int sheets = std::max(0, span.last - span.first + 1) * copies;
    QPrinter &printer = *m_printer;
    if (runPageJob(m_dialogs, this, tr("Printing the report"), *m_report, sheets,
            [&](const ReportDocument &report, ReportPagePainter &pages,
                const PageProgress &progress) {
                return printReportPages(printer, report, span, &error, progress, &pages);
            }))
        return false; // cancelled: nothing to say
    if (!error.isEmpty()) {
        showError(error);
        return false;
    }
    return true;
}

bool ReportPreview::saveReport()
{
    UserDialogs::FileRequest request;
    request.caption = tr("Save Report");
    request.filter = saveFilter();
    request.defaultSuffix = ReportFiles::formatSuffix(ReportFiles::Format::Report);
    request.fileName = m_lastName;
    // The chosen type gives a name typed without an extension its extension.
    request.suffixFollowsFilter = true;
    const UserDialogs::FileChoice choice = m_dialogs.chooseSaveFile(this, request);
    if (choice.fileName.isEmpty())
        return false;
    return saveReportTo(ReportFiles::savePath(choice.fileName, choice.filter));
}

bool ReportPreview::saveReportTo(const QString &path)
{
    const auto format = ReportFiles::formatForPath(path);
    if (!format) {
        showError(tr("The report cannot be saved as \"%1\".\nChoose a name ending in .kmr "
                     "(report file), .pdf, .txt, .csv or .html.")
                      .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    ReportFiles::Result result;
    std::optional<BusyCursor> busy;
    if (*format != ReportFiles::Format::Pdf)
        busy.emplace();
    switch (*format) {
    case ReportFiles::Format::Report:
        result = ReportFiles::saveReport(*m_report, path);
        break;
    case ReportFiles::Format::Pdf:
        if (runPageJob(m_dialogs, this, tr("Writing the PDF"), *m_report, pageCount(),
                [&](const ReportDocument &report, ReportPagePainter &pages,
                    const PageProgress &progress) {
                    result = writeReportPdf(report, path, progress, &pages);
                    return result.ok;
                }))
            return false; // cancelled: no file, nothing to say
        break;
    case ReportFiles::Format::Text:
        result = ReportFiles::exportText(*m_report, path);
        break;
    case ReportFiles::Format::Csv:
        result = ReportFiles::exportCsv(*m_report, path);
        break;
    case ReportFiles::Format::Html:
        result = ReportFiles::exportHtml(*m_report, path);
        break;
    }
    if (!result.ok) {
        showError(tr("The report was not saved.\n%1").arg(result.error));
        return false;
    }
    m_lastName = path;
    // Say what was written where, as the table save does.
    m_dialogs.information(this, tr("Information"),
        tr("Saved the report as %1: %2")
            .arg(ReportFiles::formatName(*format), QDir::toNativeSeparators(path)));
    return true;
}

bool ReportPreview::loadReport()
{
    UserDialogs::FileRequest request;
    request.caption = tr("Load Report");
    request.filter = loadFilter();
    request.defaultSuffix = QStringLiteral("kmr");
    request.fileName = m_lastName;
    const QString path = m_dialogs.openFileName(this, request);
    if (path.isEmpty())
        return false;
    return loadReportFrom(path);
}

bool ReportPreview::loadReportFrom(const QString &path)
{
    QString error;
    auto loaded = ReportFiles::loadReport(path, &error);
    if (!loaded) {
        showError(tr("The report \"%1\" could not be loaded.\n%2")
                      .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    m_lastName = path;
    setReport(std::move(loaded));
    return true;
}
