// SPDX-License-Identifier: MIT
#include "jobs/JobProgress.h"

void JobProgress::setDone(qint64 done)
{
    const qint64 total = this->total();
    done = qMax<qint64>(done, 0);
    if (total > 0)
        done = qMin(done, total);
    m_done.store(done, std::memory_order_relaxed);
    if (total > 0 && double(done) >= m_cancelAt.load(std::memory_order_relaxed) * double(total))
        cancel();
}

void JobProgress::advance(qint64 amount)
{
    qint64 done = m_done.load(std::memory_order_relaxed);
    qint64 next;
    do {
        next = qMax<qint64>(done + amount, 0);
        if (total() > 0)
            next = qMin(next, total());
    } while (!m_done.compare_exchange_weak(done, next, std::memory_order_relaxed));
    if (total() > 0 && double(next) >= m_cancelAt.load(std::memory_order_relaxed) * double(total()))
        cancel();
}

double JobProgress::fraction() const
{
    const qint64 total = this->total();
    return total > 0 ? double(done()) / double(total) : 0.0;
}
