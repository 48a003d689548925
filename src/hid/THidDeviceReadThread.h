// SPDX-License-Identifier: MIT
#pragma once

#include "hid/HidBackend.h"

#include <QByteArray>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class THidDevice;

// Reads input reports of one device and hands each one to the main thread.
//
// The hand-over is the only thing the read thread shares with the main thread:
// the thread posts a call to the main thread and waits until the main thread
// has run the handler. A stop from the main thread runs hand-overs that are
// already posted while it waits for the thread to end, so it never deadlocks.
// A handler that throws is caught at the hand-over and reading goes on.
//
// The read handle belongs to the thread object: opened by the main thread
// before the start, used by the read thread alone, closed when the object is
// destroyed after the thread has ended.
class THidDeviceReadThread : public QThread
{
    Q_OBJECT
public:
    THidDeviceReadThread(THidDevice *device, std::shared_ptr<HidBackend> backend,
        std::unique_ptr<HidHandle> readHandle, quint32 openError, qint32 sleepTime);
    ~THidDeviceReadThread() override;

    // The device it reads for; empty once the device has let go of the thread.
    THidDevice *device() const { return m_device; }

    // Main thread.
    void setSleepTime(qint32 ms);
    // The device has left: its handle is not read again, every further read
    // request fails with hidDeviceGoneError().
    void deviceGone();
    // Hand-overs from now on reach no device.
    void forgetDevice() { m_device = nullptr; }
    // Runs a posted hand-over now; false when none is waiting.
    bool runPendingHandOver();
    // Ends the thread: runs posted hand-overs until the thread has ended and
    // returns true; the caller then destroys the object. Called from inside
    // one of this thread's own handlers, the thread cannot end before that
    // handler returns; then it is told to stop, let go of its device, and
    // deletes itself once it has ended; the result is false.
    bool finishOrDetach();

protected:
    void run() override;

private:
    enum class HandOver { None, Data, Error };

    void handOver(HandOver kind); // read thread: post and wait
    void deliver(HandOver kind, THidDevice *device);
    void pauseAfterFailure();
    void requestStop();
    void serviceUntilEnded();

    THidDevice *m_device;
    const std::shared_ptr<HidBackend> m_backend; // outlives the handle
    const std::unique_ptr<HidHandle> m_readHandle;
    const quint32 m_openError;
    std::atomic<qint32> m_sleepTime;
    std::atomic<bool> m_gone { false };

    // Read thread only (read by the main thread during a hand-over).
    QByteArray m_report;
    quint16 m_bytesRead = 0;
    quint32 m_lastError = 0;

    // The hand-over.
    std::mutex m_mutex;
    std::condition_variable m_cv;
    HandOver m_posted = HandOver::None;
    bool m_running = false; // a handler of this thread is running on the main thread
    bool m_stop = false;
    bool m_ended = false;
};
