// SPDX-License-Identifier: MIT
#pragma once

#include "jobs/JobProgress.h"

#include <QEventLoop>

#include <exception>
#include <functional>
#include <memory>

class QThread;

// Runs a long piece of work on a thread of its own while the calling thread
// (the window's) keeps turning its event loop: meter frames are read and
// recorded, timers fire and windows repaint while the work goes on.
//
// The work receives the job's JobProgress to report what it has done and to
// see a cancel. It must not touch widgets or anything the calling thread
// changes meanwhile; it is handed what it needs (a copy of the rows, a file
// name) when it starts. An exception it throws is caught on its thread and
// thrown again from wait() on the calling thread.
//
// Destroying a job that is still running cancels it and waits for its thread.
class BackgroundJob
{
public:
    using Work = std::function<void(JobProgress &)>;

    explicit BackgroundJob(Work work);
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob &) = delete;
    BackgroundJob &operator=(const BackgroundJob &) = delete;

    void start();
    JobProgress &progress() { return m_progress; }
    bool isFinished() const;

    // Turns the calling thread's event loop with flags until the work has
    // ended or timeoutMs milliseconds have passed (never, for a negative
    // timeout). Returns true when the work has ended; then rethrows what the
    // work threw, once.
    bool wait(int timeoutMs = -1, QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

private:
    struct State;
    std::shared_ptr<State> m_state;
    JobProgress m_progress;
    std::unique_ptr<QThread> m_thread;
    bool m_rethrown = false;
};
