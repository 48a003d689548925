// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"
#include "hid/HidBackend.h"

#include <condition_variable>
#include <memory>
#include <mutex>

// The time the demo cable keeps its pace by. steady() is the real time of the
// machine; instant() is a virtual time that jumps forward whenever the cable
// waits, so a test runs the stream as fast as it reads it and can still check
// when each report was due.
class DemoCableClock
{
public:
    virtual ~DemoCableClock() = default;

    // Microseconds on a steady scale.
    virtual qint64 nowUs() = 0;
    // Waits until the time untilUs, or until cv is notified (the caller holds
    // lock and checks again after every return).
    virtual void waitUntil(
        std::unique_lock<std::mutex> &lock, std::condition_variable &cv, qint64 untilUs)
        = 0;

    static std::shared_ptr<DemoCableClock> steady();
    static std::shared_ptr<DemoCableClock> instant();
};

// A simulated "USB to Serial" interface cable (the CH9325 chip, 1a86:e008)
// with a meter behind it, for demonstrations and tests. It needs no
// privileges and behaves like the real cable: nothing comes until the cable
// has received its set-up feature report 00 60 09 00 00 03 00 00 00 00. Then
// the meter's scenario (DemoScenario) arrives at the pace of a 2400-baud line,
// 10 bits a byte, and the cable passes on what it received at every 5 ms poll:
// one or two meter bytes per report while a frame is on the line, an idle
// report otherwise. A read waits until its report is due, its timeout, or a
// cancel(). A reader that falls behind gets at most kBufferedReports old
// reports at once; beyond that the stream waits for it, so no frame is torn.
//
// The next set-up report (Disconnect) stops the stream and the one after it
// starts the stream again from the beginning. A set-up report that comes after
// the reader has seen kWatchdogIdleReports idle reports in a row starts the
// stream afresh instead of stopping it: by then the program's watchdog has
// dropped the link without a Disconnect, and the operator's next Connect must
// bring the meter back.
//
// Every handle of one backend reads the same cable; cancel() concerns the
// handle it is called on.
class DemoCableBackend : public HidBackend
{
public:
    explicit DemoCableBackend(
        MeterModel model, std::shared_ptr<DemoCableClock> clock = DemoCableClock::steady());
    // realTime false runs on DemoCableClock::instant().
    DemoCableBackend(MeterModel model, bool realTime);
    ~DemoCableBackend() override;

    bool available() const override { return true; }
    QList<HidInterface> enumerate() override;
    std::unique_ptr<HidHandle> open(const QString &path, HidAccess access, quint32 *error) override;

    static constexpr quint16 kVendorId = 0x1a86;
    static constexpr quint16 kProductId = 0xe008;
    static constexpr qint64 kPollUs = 5000;
    static constexpr int kBaud = 2400;
    static constexpr int kBitsPerByte = 10; // start bit, 8 data bits, stop bit
    static constexpr int kBufferedReports = 64;
    static constexpr int kWatchdogIdleReports = 1900;
    // Idle polls after a start before the meter's first frame: whatever a
    // reader kept of a frame torn by an earlier Disconnect ends there.
    static constexpr int kLeadInPolls = 20;

    class Stream;

private:
    std::shared_ptr<Stream> m_stream;
};
