// SPDX-License-Identifier: MIT
#include "jobs/ProgressDevice.h"

#include "jobs/JobProgress.h"

ProgressDevice::ProgressDevice(QIODevice &device, JobProgress &progress)
    : m_device(device)
    , m_progress(progress)
{
    // Unbuffered: every byte is counted when it really reaches or leaves the
    // wrapped device, and nothing is held back after a cancel.
    open((device.openMode() & QIODevice::ReadWrite) | QIODevice::Unbuffered);
}

ProgressDevice::~ProgressDevice() = default;

bool ProgressDevice::canceled()
{
    if (!m_progress.isCanceled())
        return false;
    setErrorString(QStringLiteral("Cancelled"));
    return true;
}

qint64 ProgressDevice::bytesAvailable() const
{
    return m_device.bytesAvailable() + QIODevice::bytesAvailable();
}

bool ProgressDevice::atEnd() const
{
    return m_device.atEnd() && QIODevice::bytesAvailable() == 0;
}

qint64 ProgressDevice::readData(char *data, qint64 maxSize)
{
    if (canceled())
        return -1;
    const qint64 n = m_device.read(data, maxSize);
    if (n < 0) {
        setErrorString(m_device.errorString());
        return -1;
    }
    m_progress.advance(n);
    return n;
}

qint64 ProgressDevice::writeData(const char *data, qint64 size)
{
    if (canceled())
        return -1;
    const qint64 n = m_device.write(data, size);
    if (n < 0) {
        setErrorString(m_device.errorString());
        return -1;
    }
    m_progress.advance(n);
    return n;
}
