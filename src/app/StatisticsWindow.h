// SPDX-License-Identifier: MIT
#pragma once

#include <QTimer>
#include <QWidget>

class QTableWidget;
class ReadingTable;
class TableStatistics;

// "Tools -> Statistics": a small non-modal window with the statistics of the
// reading table, one line per quantity and unit (count, readings that are not
// numbers, minimum, maximum, mean, and the energy of power readings). It
// follows the recording live but redraws at most RefreshMs apart, so a burst
// of rows costs one redraw, and none while it is hidden.
class StatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RefreshMs = 250;

    StatisticsWindow(const ReadingTable &table, const QString &decimalSeparator,
        const QString &caption, QWidget *parent = nullptr);
    ~StatisticsWindow() override;

    const TableStatistics &statistics() const { return *m_statistics; }
    QTableWidget &lines() const { return *m_lines; }
    bool refreshPending() const { return m_refresh.isActive(); }
    // Redraws the lines now.
    void refreshNow();

protected:
    void showEvent(QShowEvent *event) override;

private:
    TableStatistics *m_statistics = nullptr;
    QTableWidget *m_lines = nullptr;
    QTimer m_refresh;
};
