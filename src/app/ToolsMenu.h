// SPDX-License-Identifier: MIT
#pragma once

#include "analysis/ThresholdAlarm.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class AlarmFrame;
class QAction;
class QMenuBar;
class QSettings;
class QTableView;
class QWidget;
class ReadingTable;
class StatisticsWindow;
struct CurrentReading;

// The "Tools" menu of the main window and what it opens: the statistics
// window, the alarm settings and the threshold alarm itself (red frame round
// the LCD while outside, beep, history line, command), and Ctrl+C in the grid.
// The window only creates it and tells it each frame's reading.
class ToolsMenu : public QObject
{
    Q_OBJECT
public:
    struct Parts
    {
        QMenuBar *menuBar = nullptr; // "Tools" goes after its last menu
        QWidget *window = nullptr; // parent of the windows opened
        QTableView *grid = nullptr; // Ctrl+C copies its rows
        QWidget *lcd = nullptr; // framed red while the alarm is on
        const ReadingTable *table = nullptr;
        QString decimalSeparator;
        QString programName; // the settings are the program's own
        QStringList units; // offered in the alarm dialog
        std::function<void(const QString &)> historyLine;
    };

    explicit ToolsMenu(Parts parts, QObject *parent = nullptr);
    ~ToolsMenu() override;

    // The frame's reading: checks the alarm.
    void frameDone(const CurrentReading &reading);

    ThresholdAlarm &alarm() { return m_alarm; }
    AlarmActions &alarmActions() { return m_actions; }
    StatisticsWindow *statisticsWindow() const;
    QAction *statisticsAction() const { return m_statisticsAction; }
    QAction *alarmsAction() const { return m_alarmsAction; }
    QAction *copyAction() const { return m_copyAction; }
    bool alarmFrameShown() const;

public Q_SLOTS:
    void showStatistics();
    void editAlarms();
    // Copies the grid's selected rows (every row when none is selected).
    void copyRows();

private:
    std::unique_ptr<QSettings> settings() const;

    Parts m_parts;
    ThresholdAlarm m_alarm;
    AlarmActions m_actions;
    QPointer<StatisticsWindow> m_statistics;
    AlarmFrame *m_frame = nullptr;
    QAction *m_statisticsAction = nullptr;
    QAction *m_alarmsAction = nullptr;
    QAction *m_copyAction = nullptr;
};
