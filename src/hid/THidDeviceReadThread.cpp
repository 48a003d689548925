// SPDX-License-Identifier: MIT
#include "hid/THidDeviceReadThread.h"

#include "hid/THidDevice.h"

#include <QDebug>

#include <chrono>
#include <exception>

THidDeviceReadThread::THidDeviceReadThread(THidDevice *device, std::shared_ptr<HidBackend> backend,
    std::unique_ptr<HidHandle> readHandle, quint32 openError, qint32 sleepTime)
    : m_device(device)
    , m_backend(std::move(backend))
    , m_readHandle(std::move(readHandle))
    , m_openError(openError)
    , m_sleepTime(sleepTime)
{ }

THidDeviceReadThread::~THidDeviceReadThread()
{
    requestStop();
    serviceUntilEnded();
    wait();
}

void THidDeviceReadThread::setSleepTime(qint32 ms)
{
    m_sleepTime = ms;
}

void THidDeviceReadThread::deviceGone()
{
    m_gone = true;
    if (m_readHandle)
        m_readHandle->cancel();
}

void THidDeviceReadThread::requestStop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    if (m_readHandle)
        m_readHandle->cancel();
}

void THidDeviceReadThread::run()
{
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                break;
        }
        HidReadResult result;
        if (m_gone)
            result = HidReadResult::failure(hidDeviceGoneError());
        else if (!m_readHandle)
            result = HidReadResult::failure(m_openError);
        else
            result = m_readHandle->read(m_report, m_sleepTime);

        switch (result.status) {
        case HidReadResult::Report:
            // A report that was read is handed over even when a stop has been
            // asked for meanwhile: it has left the device and would be lost.
            if (!m_report.isEmpty()) {
                m_bytesRead = quint16(std::min<qsizetype>(m_report.size(), 0xFFFF));
                handOver(HandOver::Data);
            }
            break;
        case HidReadResult::Timeout:
            break;
        case HidReadResult::Error:
            m_lastError = result.error;
            handOver(HandOver::Error);
            pauseAfterFailure();
            break;
        }
    }
    // Notified under the lock: once the main thread sees m_ended it may destroy
    // this object, so nothing here may touch it after the lock is released.
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_cv.notify_all();
}

void THidDeviceReadThread::handOver(HandOver kind)
{
    {
        std::lock_guard lock(m_mutex);
        m_posted = kind;
    }
    // The call runs on the main thread, where this object lives. A stopping
    // main thread does not wait for it: it is woken below and runs the
    // hand-over itself; the queued call then finds nothing to do.
    QMetaObject::invokeMethod(
        this, [this] { runPendingHandOver(); }, Qt::QueuedConnection);
    m_cv.notify_all();
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_posted == HandOver::None; });
}

void THidDeviceReadThread::pauseAfterFailure()
{
    // A failing device fails again at once; waiting one slice keeps a device
    // that has gone from flooding the main thread with error reports until its
    // owner stops reading.
    std::unique_lock lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::milliseconds(m_sleepTime.load()), [this] { return m_stop; });
}

bool THidDeviceReadThread::runPendingHandOver()
{
    HandOver kind;
    {
        std::lock_guard lock(m_mutex);
        if (m_posted == HandOver::None || m_running)
            return false;
        m_running = true;
        kind = m_posted;
    }
    deliver(kind, m_device);
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
        m_posted = HandOver::None;
    }
    m_cv.notify_all();
    return true;
}

void THidDeviceReadThread::deliver(HandOver kind, THidDevice *device)
{
    if (!device)
        return;
    // Handlers are copied first: one may replace itself, or destroy the device.
    try {
        if (kind == HandOver::Data) {
            const THidDataEvent handler = device->DataHandler();
            if (handler) {
                const auto *bytes = reinterpret_cast<const quint8 *>(m_report.constData());
                handler(device, bytes[0], bytes + 1, quint16(m_bytesRead - 1));
            }
        } else {
            const THidDataErrorEvent handler = device->DataErrorHandler();
            if (handler)
                handler(device, m_lastError);
        }
    } catch (const std::exception &e) {
        qWarning("HID handler failed: %s", e.what());
    } catch (...) {
        qWarning("HID handler failed");
    }
}

void THidDeviceReadThread::serviceUntilEnded()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_posted != HandOver::None && !m_running) {
            lock.unlock();
            runPendingHandOver();
            lock.lock();
            continue;
        }
        if (m_ended)
            break;
        m_cv.wait(lock);
    }
}

bool THidDeviceReadThread::finishOrDetach()
{
    requestStop();
    bool nested;
    {
        std::lock_guard lock(m_mutex);
        nested = m_running;
    }
    if (nested) {
        // The handler on the stack keeps the thread waiting; it ends after the
        // handler has returned. No hand-over reaches the device after this one.
        m_device = nullptr;
        connect(this, &QThread::finished, this, &QObject::deleteLater);
        return false;
    }
    serviceUntilEnded();
    wait();
    return true;
}
