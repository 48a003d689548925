// SPDX-License-Identifier: MIT
#include "jobs/JobProgress.h"

qint64 JobProgress::bounded(qint64 done) const
{
    done = qMax<qint64>(done, 0);
    const qint64 total = this->total();
    return total > 0 ? qMin(done, total) : done;
}

void JobProgress::cancelIfReached(qint64 done)
{
    const qint64 total = this->total();
    if (total > 0 && double(done) >= m_cancelAt.load(std::memory_order_relaxed) * double(total))
        cancel();
}

void JobProgress::setDone(qint64 done)
{
    done = bounded(done);
    m_done.store(done, std::memory_order_relaxed);
    cancelIfReached(done);
}

void JobProgress::advance(qint64 amount)
{
    qint64 done = m_done.load(std::memory_order_relaxed);
    qint64 next;
    do {
        next = bounded(done + amount);
    } while (!m_done.compare_exchange_weak(done, next, std::memory_order_relaxed));
    cancelIfReached(next);
}

double JobProgress::fraction() const
{
    const qint64 total = this->total();
    return total > 0 ? double(done()) / double(total) : 0.0;
}
