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

double JobProgress::fraction() const
{
    const qint64 total = this->total();
    return total > 0 ? double(done()) / double(total) : 0.0;
}
