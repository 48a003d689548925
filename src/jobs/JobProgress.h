// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <atomic>

// What a long job (a PDF, a print job, saving or opening a large table file)
// has done so far, and whether the user asked it to stop. The job sets the
// total and the part done from its own thread; the window reads them from its
// thread to draw a progress bar and asks for a stop with cancel(). Nothing is
// locked: each value is a single atomic.
//
// A job checks isCanceled() between pieces of its work; once it sees it, it
// ends without finishing what it was making (a file it was writing is
// abandoned, see files/AtomicFile.h).
class JobProgress
{
public:
    // The amount of work in the job's own unit (pages, bytes). 0 while unknown.
    void setTotal(qint64 total)
    {
        m_total.store(qMax<qint64>(total, 0), std::memory_order_relaxed);
    }
    qint64 total() const { return m_total.load(std::memory_order_relaxed); }

    // The part done so far; kept between 0 and the total once that is known.
    void setDone(qint64 done);
    // Adds to the part done; several threads of one job may each add theirs.
    void advance(qint64 amount);
    qint64 done() const { return m_done.load(std::memory_order_relaxed); }
    // The part done as a fraction from 0 to 1; 0 while the total is unknown.
    double fraction() const;

    // Asks the job to stop; it may take a moment to notice.
    void cancel() { m_canceled.store(true, std::memory_order_release); }
    bool isCanceled() const { return m_canceled.load(std::memory_order_acquire); }
    // Cancels the job as soon as the part done reaches this fraction of the
    // total: a stop at a known point, as a user's click half-way would be.
    void cancelAtFraction(double fraction)
    {
        m_cancelAt.store(fraction, std::memory_order_relaxed);
    }

private:
    // done kept between 0 and the total once that is known.
    qint64 bounded(qint64 done) const;
    // Cancels the job once done reaches the fraction set by cancelAtFraction.
    void cancelIfReached(qint64 done);

    std::atomic<qint64> m_total { 0 };
    std::atomic<qint64> m_done { 0 };
    std::atomic<bool> m_canceled { false };
    std::atomic<double> m_cancelAt { 2.0 }; // beyond any fraction: never
};
