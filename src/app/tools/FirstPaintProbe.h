// SPDX-License-Identifier: MIT
// The end of a start-up measurement, shared by km_first_paint and the bare Qt
// window it is compared with, so both programs end their figure the same way.
//
// The probe watches a top-level window. Its first paint event belongs to a
// repaint that paints the whole window and then flushes it to the screen in one
// go; a call queued from that event runs once the repaint has returned, so the
// moment it takes is the first complete frame on the screen. It prints
//   first_paint_ns <steady clock in nanoseconds>
// on stdout (the steady clock is the system's monotonic clock, the same one the
// starting process reads), saves the frame as a PNG when asked (to compare the
// frame before and after a change of the start-up) and ends the event loop.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QString>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <ctime>

class FirstPaintProbe : public QObject
{
public:
    // The window must outlive the probe's event loop; grabFile may be empty.
    FirstPaintProbe(QWidget &window, QString grabFile)
        : m_window(window)
        , m_grabFile(std::move(grabFile))
    {
        m_window.installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && watched == &m_window && event->type() == QEvent::Paint) {
            m_seen = true;
            QMetaObject::invokeMethod(this, &FirstPaintProbe::painted, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void painted()
    {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        // The processor time the process has used so far (all its threads):
        // unlike the wall time it hardly depends on what else the machine runs.
        const std::clock_t cpu = std::clock();
        std::printf("first_paint_ns %lld\nfirst_paint_cpu_ms %.3f\n",
            static_cast<long long>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
            cpu == std::clock_t(-1) ? -1.0 : 1000.0 * double(cpu) / CLOCKS_PER_SEC);
        std::fflush(stdout);
        int status = 0;
        if (!m_grabFile.isEmpty()) {
            // What the screen holds of the window: the flushed frame itself,
            // not a new rendering of the widgets.
            QScreen *screen = m_window.screen();
            const QPixmap frame = screen ? screen->grabWindow(m_window.winId()) : QPixmap();
            if (frame.isNull() || !frame.save(m_grabFile, "PNG")) {
                std::fprintf(
                    stderr, "could not save the first frame to %s\n", qPrintable(m_grabFile));
                status = 1;
            }
        }
        QCoreApplication::exit(status);
    }

    QWidget &m_window;
    QString m_grabFile;
    bool m_seen = false;
};
