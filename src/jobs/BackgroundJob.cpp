// SPDX-License-Identifier: MIT
#include "jobs/BackgroundJob.h"

#include <QThread>
#include <QTimer>

#include <atomic>

// What the work's thread leaves for the calling thread.
struct BackgroundJob::State
{
    std::atomic<bool> finished { false };
    std::exception_ptr error;
};

BackgroundJob::BackgroundJob(Work work)
    : m_state(std::make_shared<State>())
{
    m_thread.reset(QThread::create([state = m_state, work = std::move(work), this] {
        try {
            work(m_progress);
        } catch (...) {
            state->error = std::current_exception();
        }
        state->finished.store(true, std::memory_order_release);
    }));
    m_thread->setObjectName(QStringLiteral("Background job"));
}

BackgroundJob::~BackgroundJob()
{
    if (m_thread->isRunning()) {
        m_progress.cancel();
        m_thread->wait();
    }
}

void BackgroundJob::start()
{
    m_thread->start();
}

bool BackgroundJob::isFinished() const
{
    return m_state->finished.load(std::memory_order_acquire);
}

bool BackgroundJob::wait(int timeoutMs, QEventLoop::ProcessEventsFlags flags)
{
    if (!isFinished()) {
        QEventLoop loop;
        const auto quit = QObject::connect(
            m_thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        QTimer timeout;
        timeout.setSingleShot(true);
        timeout.setTimerType(Qt::PreciseTimer); // a coarse timer may end 5 % early
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (timeoutMs >= 0)
            timeout.start(timeoutMs);
        // The thread may have ended between the check above and the connection.
        if (!isFinished())
            loop.exec(flags);
        QObject::disconnect(quit);
    }
    if (!isFinished())
        return false;
    m_thread->wait();
    if (m_state->error && !m_rethrown) {
        m_rethrown = true;
        std::rethrow_exception(m_state->error);
    }
    return true;
}
