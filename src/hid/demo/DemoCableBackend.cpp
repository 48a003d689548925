// SPDX-License-Identifier: MIT
#include "hid/demo/DemoCableBackend.h"

#include "models/ModelDescription.h"

#include "sim/CableReports.h"
#include "sim/DemoScenario.h"

#include <atomic>
#include <chrono>
#include <deque>

namespace {

const QString demoPath = QStringLiteral("demo:usb-to-serial");
const QString demoInstance = QStringLiteral("demo-cable-1a86-e008");
const QByteArray setupReport = QByteArray::fromHex("00600900000300000000");

class SteadyClock : public DemoCableClock
{
public:
    qint64 nowUs() override
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void waitUntil(
        std::unique_lock<std::mutex> &lock, std::condition_variable &cv, qint64 untilUs) override
    {
        using namespace std::chrono;
        cv.wait_until(lock,
            steady_clock::time_point(duration_cast<steady_clock::duration>(microseconds(untilUs))));
    }
};

class InstantClock : public DemoCableClock
{
public:
    qint64 nowUs() override { return m_now.load(); }
    void waitUntil(
        std::unique_lock<std::mutex> &, std::condition_variable &, qint64 untilUs) override
    {
        qint64 now = m_now.load();
        while (now < untilUs && !m_now.compare_exchange_weak(now, untilUs)) { }
    }

private:
    std::atomic<qint64> m_now { 0 };
};

// When the last bit of byte i (from 0) of a frame has arrived, counted from the
// frame's start.
qint64 byteArrivalUs(qsizetype i)
{
    return (i + 1) * DemoCableBackend::kBitsPerByte * qint64(1000000) / DemoCableBackend::kBaud;
}

} // namespace

std::shared_ptr<DemoCableClock> DemoCableClock::steady()
{
    return std::make_shared<SteadyClock>();
}

std::shared_ptr<DemoCableClock> DemoCableClock::instant()
{
    return std::make_shared<InstantClock>();
}

// The cable's state, shared by every handle of the backend: the main handle
// sends the feature reports, the read thread's handle reads.
class DemoCableBackend::Stream
{
public:
    Stream(MeterModel model, std::shared_ptr<DemoCableClock> clock)
        : m_steps(modelDescription(model).demoScenario())
        , m_clock(std::move(clock))
    { }

    void feature(QByteArrayView report)
    {
        if (report != setupReport)
            return;
        std::lock_guard lock(m_mutex);
        if (m_streaming && m_idleSinceData < kWatchdogIdleReports)
            m_streaming = false;
        else
            start();
        m_cv.notify_all();
    }

    HidReadResult read(QByteArray &report, int timeoutMs, bool &cancelled)
    {
        std::unique_lock lock(m_mutex);
        const qint64 deadline = m_clock->nowUs() + qint64(qMax(0, timeoutMs)) * 1000;
        for (;;) {
            if (cancelled) {
                cancelled = false;
                return HidReadResult::timeout();
            }
            const qint64 now = m_clock->nowUs();
            qint64 wakeAt = deadline;
            if (m_streaming) {
                const qint64 due = m_startUs + m_poll * kPollUs;
                if (now >= due) {
                    // A system keeps only so many reports for a slow reader.
                    // Rather than lose some and tear a frame, the stream is
                    // held back: the reader finds at most kBufferedReports.
                    const qint64 maxLagUs = (kBufferedReports - 1) * kPollUs;
                    if (now - due > maxLagUs)
                        m_startUs += now - due - maxLagUs;
                    report = nextReport();
                    return HidReadResult::report();
                }
                wakeAt = qMin(deadline, due);
            }
            if (now >= deadline)
                return HidReadResult::timeout();
            m_clock->waitUntil(lock, m_cv, wakeAt);
        }
    }

    void cancel(bool &cancelled)
    {
        std::lock_guard lock(m_mutex);
        cancelled = true;
        m_cv.notify_all();
    }

private:
    // Called with the lock held.
    void start()
    {
        m_streaming = true;
        m_startUs = m_clock->nowUs();
        m_poll = 1;
        m_step = 0;
        m_nextStepUs = kLeadInPolls * kPollUs;
        m_wire.clear();
        m_idleSinceData = 0;
    }

    // Puts the bytes of every step that has begun by untilUs (stream time) on
    // the line, each with the time its last bit arrives.
    void scheduleUntil(qint64 untilUs)
    {
        while (m_nextStepUs <= untilUs) {
            const DemoStep &step = m_steps[m_step];
            m_step = (m_step + 1) % m_steps.size();
            for (qsizetype i = 0; i < step.frame.size(); ++i)
                m_wire.push_back({ step.frame[i], m_nextStepUs + byteArrivalUs(i) });
            m_nextStepUs += qint64(step.durationMs) * 1000;
        }
    }

    // The report of poll m_poll: the bytes that arrived since the poll before.
    QByteArray nextReport()
    {
        const qint64 pollUs = m_poll * kPollUs;
        ++m_poll;
        scheduleUntil(pollUs);
        QByteArray bytes;
        while (!m_wire.empty() && m_wire.front().arrivalUs <= pollUs
            && bytes.size() < CableReports::kMaxMeterBytes) {
            bytes.append(m_wire.front().byte);
            m_wire.pop_front();
        }
        if (bytes.isEmpty()) {
            ++m_idleSinceData;
            return CableReports::idleReport();
        }
        m_idleSinceData = 0;
        return CableReports::dataReport(bytes);
    }

    struct WireByte
    {
        char byte;
        qint64 arrivalUs; // stream time
    };

    const QList<DemoStep> m_steps;
    const std::shared_ptr<DemoCableClock> m_clock;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_streaming = false;
    qint64 m_startUs = 0; // clock time at which stream time 0 lies
    qint64 m_poll = 1; // the next report to hand out; due at stream time m_poll * kPollUs
    qsizetype m_step = 0; // the next step of the scenario to put on the line
    qint64 m_nextStepUs = 0; // stream time at which that step begins
    std::deque<WireByte> m_wire;
    int m_idleSinceData = 0; // idle reports handed out since the last data report
};

namespace {

class DemoCableHandle : public HidHandle
{
public:
    explicit DemoCableHandle(std::shared_ptr<DemoCableBackend::Stream> stream)
        : m_stream(std::move(stream))
    { }

    std::optional<HIDD_ATTRIBUTES> attributes() override
    {
        HIDD_ATTRIBUTES a;
        a.VendorID = DemoCableBackend::kVendorId;
        a.ProductID = DemoCableBackend::kProductId;
        a.VersionNumber = 0x0100;
        return a;
    }
    std::optional<QString> productString() override { return QStringLiteral("USB to Serial"); }
    std::optional<QString> serialNumberString() override { return QString(); }
    bool canReadIndexedStrings() const override { return false; }
    std::optional<QString> indexedString(int) override { return std::nullopt; }
    bool setFeature(QByteArrayView report) override
    {
        m_stream->feature(report);
        return true;
    }
    HidReadResult read(QByteArray &report, int timeoutMs) override
    {
        return m_stream->read(report, timeoutMs, m_cancelled);
    }
    void cancel() override { m_stream->cancel(m_cancelled); }

private:
    const std::shared_ptr<DemoCableBackend::Stream> m_stream;
    bool m_cancelled = false; // guarded by the stream's lock
};

} // namespace

DemoCableBackend::DemoCableBackend(MeterModel model, std::shared_ptr<DemoCableClock> clock)
    : m_stream(std::make_shared<Stream>(model, std::move(clock)))
{ }

DemoCableBackend::DemoCableBackend(MeterModel model, bool realTime)
    : DemoCableBackend(model, realTime ? DemoCableClock::steady() : DemoCableClock::instant())
{ }

DemoCableBackend::~DemoCableBackend() = default;

QList<HidInterface> DemoCableBackend::enumerate()
{
    return { HidInterface { demoInstance, demoPath } };
}

std::unique_ptr<HidHandle> DemoCableBackend::open(const QString &path, HidAccess, quint32 *error)
{
    if (path != demoPath) {
        if (error)
            *error = 2; // ENOENT: no such interface
        return nullptr;
    }
    return std::make_unique<DemoCableHandle>(m_stream);
}
