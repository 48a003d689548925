// SPDX-License-Identifier: MIT
#include "reports/MajPrint.h"

#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"
#include "reports/ReportPreview.h"

namespace {

// Calls followAgain when the preview could not be opened.
class FollowAgainUnlessHandedOver
{
public:
    explicit FollowAgainUnlessHandedOver(const std::function<void()> &follow)
        : m_follow(follow)
    { }
    ~FollowAgainUnlessHandedOver()
    {
        if (m_follow)
            m_follow();
    }
    void handOver() { m_follow = nullptr; }

private:
    std::function<void()> m_follow;
};

} // namespace

ReportPreview *MajPrintClick(const ReadingTable &cds1, UserDialogs &dialogs,
    ReportPrinters &printers, QWidget *window, const PreviewHooks &hooks, const QString &printDate)
{
    if (hooks.stopFollowing)
        hooks.stopFollowing();
    FollowAgainUnlessHandedOver guard(hooks.followAgain);

    std::optional<int> m;
    if (modelDescription(cds1.meterModel()).reportCountsPages)
        m = allPageCount(cds1.rowCount());
    auto *preview
        = new ReportPreview(layOutTableReport(cds1, printDate, m), dialogs, printers, window);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setWindowModality(Qt::ApplicationModal);
    QObject::connect(preview, &QDialog::finished, preview, [follow = hooks.followAgain] {
        if (follow)
            follow();
    });
    guard.handOver();
    preview->show();
    return preview;
}
