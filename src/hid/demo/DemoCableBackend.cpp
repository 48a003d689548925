// SPDX-License-Identifier: MIT
#include "DemoCableBackend.h"

#include "CableReports.h"
#include "DemoScenario.h"

#include <QElapsedTimer>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

const QString demoPath = QStringLiteral("demo:usb-to-serial");
const QByteArray setupReport = QByteArray::fromHex("00600900000300000000");

} // namespace

// The cable's state, shared by every handle of the backend: the main handle
// receives the feature reports, the read handle of the read thread reads.
class DemoCableBackend::Stream
{
public:
    Stream(MeterModel model, bool realTime)
        : m_steps(demoScenario(model))
        , m_realTime(realTime)
    {
        m_clock.start();
    }

    void feature(QByteArrayView report)
    {
        if (report != setupReport)
            return;
        std::lock_guard lock(m_mutex);
        m_streaming = !m_streaming;
        if (m_streaming)
            restart();
        m_cv.notify_all();
    }

    HidReadResult read(QByteArray &report, int timeoutMs)
    {
        std::unique_lock lock(m_mutex);
        const qint64 deadline = now() + qMax(0, timeoutMs);
        for (;;) {
            if (m_cancelled) {
                m_cancelled = false;
                return HidReadResult::timeout();
            }
            if (m_streaming && (!m_realTime || now() >= m_nextPollMs)) {
                report = nextReport();
                return HidReadResult::report();
            }
            const qint64 t = now();
            if (t >= deadline)
                return HidReadResult::timeout();
            const qint64 wakeAt = m_streaming ? qMin(deadline, m_nextPollMs) : deadline;
            m_cv.wait_for(lock, std::chrono::milliseconds(qMax<qint64>(wakeAt - t, 1)));
        }
    }

    void cancel()
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_cv.notify_all();
    }

private:
    qint64 now() const { return m_clock.elapsed(); }

    // Called with the lock held.
    void restart()
    {
        m_clock.start();
        m_streamMs = 0;
        m_nextPollMs = 0;
        m_step = 0;
        m_nextFrameMs = 0;
        m_wire.clear();
    }

    // Bytes of the frames that have started by the end of this poll, each with
    // the time its last bit arrives (10 bits a byte at 2400 baud).
    void scheduleFramesUntil(qint64 untilMs)
    {
        while (m_nextFrameMs <= untilMs) {
            const DemoStep &step = m_steps[m_step];
            m_step = (m_step + 1) % m_steps.size();
            if (step.frame.isEmpty()) {
                m_nextFrameMs += step.silenceMs;
                continue;
            }
            for (qsizetype i = 0; i < step.frame.size(); ++i) {
                const double arrival = m_nextFrameMs + (i + 1) * 10.0 * 1000.0 / kBaud;
                m_wire.push_back({ step.frame[i], arrival });
            }
            m_nextFrameMs += kDemoFramePeriodMs;
        }
    }

    QByteArray nextReport()
    {
        const qint64 pollMs = m_streamMs;
        scheduleFramesUntil(pollMs);
        QByteArray bytes;
        while (!m_wire.empty() && m_wire.front().arrivalMs <= pollMs
            && bytes.size() < CableReports::kMaxMeterBytes) {
            bytes.append(m_wire.front().byte);
            m_wire.pop_front();
        }
        m_streamMs += kPollMs;
        m_nextPollMs = m_streamMs;
        return bytes.isEmpty() ? CableReports::idleReport() : CableReports::dataReport(bytes);
    }

    struct WireByte
    {
        char byte;
        double arrivalMs;
    };

    const QList<DemoStep> m_steps;
    const bool m_realTime;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    QElapsedTimer m_clock;
    bool m_streaming = false;
    bool m_cancelled = false;
    qint64 m_streamMs = 0; // stream time of the next poll
    qint64 m_nextPollMs = 0; // wall time (since the start) the next poll is due
    qsizetype m_step = 0;
    qint64 m_nextFrameMs = 0;
    std::deque<WireByte> m_wire;
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
        a.VendorID = 0x1a86; // the CH9325 cable chip
        a.ProductID = 0xe008;
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
        return m_stream->read(report, timeoutMs);
    }
    void cancel() override { m_stream->cancel(); }

private:
    std::shared_ptr<DemoCableBackend::Stream> m_stream;
};

} // namespace

DemoCableBackend::DemoCableBackend(MeterModel model, bool realTime)
    : m_stream(std::make_shared<Stream>(model, realTime))
{ }

DemoCableBackend::~DemoCableBackend() = default;

QList<HidInterface> DemoCableBackend::enumerate()
{
    return { HidInterface { QStringLiteral("demo-cable-1a86-e008"), demoPath } };
}

std::unique_ptr<HidHandle> DemoCableBackend::open(const QString &path, HidAccess, quint32 *error)
{
    if (path != demoPath) {
        if (error)
            *error = 2; // ENOENT
        return nullptr;
    }
    return std::make_unique<DemoCableHandle>(m_stream);
}
