// SPDX-License-Identifier: MIT
#include "app/StatisticsWindow.h"

#include "analysis/TableStatistics.h"
#include "core/ReadingText.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString shortNumber(double value)
{
    return QString::number(value, 'g', 7);
}

} // namespace

StatisticsWindow::StatisticsWindow(const ReadingTable &table, const QString &decimalSeparator,
    const QString &caption, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("StatisticsWindow"));
    setWindowTitle(caption);
    m_statistics = new TableStatistics(table, decimalSeparator, this);
    m_lines = new QTableWidget(0, 8, this);
    m_lines->setObjectName(QStringLiteral("StatisticsLines"));
    m_lines->setHorizontalHeaderLabels({ QStringLiteral("Reading"), QStringLiteral("Unit"),
        QStringLiteral("Count"), QStringLiteral("Not numbers"), QStringLiteral("Minimum"),
        QStringLiteral("Maximum"), QStringLiteral("Mean"), QStringLiteral("Energy") });
    m_lines->verticalHeader()->setVisible(false);
    m_lines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lines->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_lines);
    resize(680, 230);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(RefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &StatisticsWindow::refreshNow);
    connect(m_statistics, &TableStatistics::changed, this, [this] {
        if (isVisible() && !m_refresh.isActive())
            m_refresh.start();
    });
    refreshNow();
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshNow(); // what changed while it was hidden
}

void StatisticsWindow::refreshNow()
{
    m_refresh.stop();
    const auto &lines = m_statistics->statistics().lines();
    m_lines->setRowCount(int(lines.size()));
    for (int row = 0; row < int(lines.size()); ++row) {
        const StatisticsLine &line = lines[size_t(row)];
        const bool numbers = line.count > 0;
        const QString texts[] = {
            line.quantity,
            line.unit,
            QString::number(line.count),
            QString::number(line.nonNumbers),
            numbers ? ReadingText::formatNumber(line.minimum) : QString(),
            numbers ? ReadingText::formatNumber(line.maximum) : QString(),
            numbers ? shortNumber(line.mean()) : QString(),
            numbers && line.isPower()
                ? shortNumber(line.energy()) + QLatin1Char(' ') + line.energyUnit()
                : QString(),
        };
        for (int column = 0; column < 8; ++column) {
            QTableWidgetItem *item = m_lines->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(column < 2 ? Qt::AlignLeft | Qt::AlignVCenter
                                                  : Qt::AlignRight | Qt::AlignVCenter);
                m_lines->setItem(row, column, item);
            }
            if (item->text() != texts[column])
                item->setText(texts[column]);
        }
    }
}
