// SPDX-License-Identifier: MIT
#include "app/ToolsMenu.h"

#include "analysis/ClipboardText.h"
#include "app/AlarmDialog.h"
#include "app/StatisticsWindow.h"
#include "core/CurrentReading.h"
#include "recording/ReadingTable.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProcess>
#include <QSettings>
#include <QTableView>

#include <algorithm>
#include <vector>

// A red frame laid over the LCD while the alarm is on; it takes no mouse and
// follows the LCD's size.
class AlarmFrame : public QWidget
{
public:
    explicit AlarmFrame(QWidget *lcd)
        : QWidget(lcd)
    {
        setObjectName(QStringLiteral("AlarmFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(lcd->rect());
        lcd->installEventFilter(this);
        hide();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parentWidget() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return false;
    }
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const int width = 3;
        p.setPen(QPen(Qt::red, width));
        p.drawRect(QRectF(rect()).adjusted(width / 2.0, width / 2.0, -width / 2.0, -width / 2.0));
    }
};

ToolsMenu::ToolsMenu(Parts parts, QObject *parent)
    : QObject(parent)
    , m_parts(std::move(parts))
{
    QMenu *tools = m_parts.menuBar->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("Tools"));
    m_statisticsAction = tools->addAction(QStringLiteral("Statistics"));
    m_statisticsAction->setObjectName(QStringLiteral("StatisticsItem"));
    connect(m_statisticsAction, &QAction::triggered, this, &ToolsMenu::showStatistics);
    m_alarmsAction = tools->addAction(QStringLiteral("Alarms..."));
    m_alarmsAction->setObjectName(QStringLiteral("AlarmsItem"));
    connect(m_alarmsAction, &QAction::triggered, this, &ToolsMenu::editAlarms);

    // Ctrl+C belongs to the grid, where it means the table's rows.
    m_copyAction = new QAction(m_parts.grid);
    m_copyAction->setObjectName(QStringLiteral("copyKey"));
    m_copyAction->setShortcut(QKeySequence::Copy);
    m_copyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_parts.grid->addAction(m_copyAction);
    connect(m_copyAction, &QAction::triggered, this, &ToolsMenu::copyRows);

    if (m_parts.lcd)
        m_frame = new AlarmFrame(m_parts.lcd);

    m_actions.beep = [] { QApplication::beep(); };
    m_actions.historyLine = m_parts.historyLine;
    m_actions.startCommand = [](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    };
    m_alarm.setSettings(AlarmSettings::load(*settings()));
}

ToolsMenu::~ToolsMenu() = default;

std::unique_ptr<QSettings> ToolsMenu::settings() const
{
    return std::make_unique<QSettings>(QStringLiteral("km-meters"), m_parts.programName);
}

StatisticsWindow *ToolsMenu::statisticsWindow() const
{
    return m_statistics;
}

bool ToolsMenu::alarmFrameShown() const
{
    return m_frame && !m_frame->isHidden();
}

void ToolsMenu::frameDone(const CurrentReading &reading)
{
    if (const auto crossing = m_alarm.check(reading.Value, reading.Unit, m_parts.decimalSeparator))
        m_actions.fire(m_alarm.settings(), *crossing);
    if (m_frame && m_alarm.outside() != alarmFrameShown()) {
        m_frame->setVisible(m_alarm.outside());
        m_frame->raise();
    }
}

void ToolsMenu::showStatistics()
{
    if (!m_statistics)
        m_statistics = new StatisticsWindow(*m_parts.table, m_parts.decimalSeparator,
            QStringLiteral("Statistics - ") + m_parts.programName, m_parts.window);
    m_statistics->show();
    m_statistics->raise();
    m_statistics->activateWindow();
}

void ToolsMenu::editAlarms()
{
    AlarmDialog dialog(m_alarm.settings(), m_parts.units, m_parts.decimalSeparator, m_parts.window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (const auto entered = dialog.entered()) {
        m_alarm.setSettings(*entered);
        entered->save(*settings());
        if (m_frame && !m_alarm.outside())
            m_frame->hide();
    }
}

void ToolsMenu::copyRows()
{
    // The selection's ranges rather than its cells: a whole table selected
    // is one range, not a cell per field.
    std::vector<int> rows;
    if (QItemSelectionModel *selection = m_parts.grid->selectionModel()) {
        for (const QItemSelectionRange &range : selection->selection())
            for (int row = range.top(); row <= range.bottom(); ++row)
                rows.push_back(row);
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    }
    const QByteArray text = tableClipboardText(*m_parts.table, rows);
    QApplication::clipboard()->setText(QString::fromUtf8(text));
}
