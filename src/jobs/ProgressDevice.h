// SPDX-License-Identifier: MIT
#pragma once

#include <QIODevice>

class JobProgress;

// Stands between a reader or writer and the device it works on, counts the
// bytes that pass into a JobProgress, and fails every read and write once the
// job has been cancelled, so that a reader or writer that knows nothing of
// jobs stops at its next read or write as after any device error.
//
// The device opens in the mode of the device it wraps, which must be open,
// and is sequential: a reader sees the bytes in order and cannot seek.
class ProgressDevice : public QIODevice
{
public:
    ProgressDevice(QIODevice &device, JobProgress &progress);
    ~ProgressDevice() override;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool atEnd() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool canceled();

    QIODevice &m_device;
    JobProgress &m_progress;
};
