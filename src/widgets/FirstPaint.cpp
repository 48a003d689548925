// SPDX-License-Identifier: MIT
#include "widgets/FirstPaint.h"

#include <QEvent>

namespace {

class FirstPaintWatcher : public QObject
{
public:
    FirstPaintWatcher(QWidget &window, std::function<void()> work)
        : QObject(&window)
        , m_window(window)
        , m_work(std::move(work))
    {
        m_window.installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_window && event->type() == QEvent::Paint && m_work) {
            m_window.removeEventFilter(this);
            // Queued to the window: it does not run when the window is gone.
            QMetaObject::invokeMethod(&m_window, std::move(m_work), Qt::QueuedConnection);
            m_work = nullptr;
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget &m_window;
    std::function<void()> m_work;
};

} // namespace

void afterFirstPaint(QWidget &window, std::function<void()> work)
{
    new FirstPaintWatcher(window, std::move(work));
}
