// SPDX-License-Identifier: MIT
#pragma once

#include "HidBackend.h"
#include "MeterModel.h"

#include <memory>

// A simulated "USB to Serial" interface cable with a meter behind it, for
// demonstrations and tests. It behaves like the real cable: nothing comes
// until the cable has received its set-up feature report; then the meter's
// frames arrive at the pace of a 2400-baud line (10 bits a byte), packed into
// one report per 5 ms poll with the bytes received since the previous poll,
// and idle reports between frames. The next set-up report (Disconnect) stops
// the stream; the one after that starts it again from the beginning.
//
// In real time, a read waits until its report is due (or its timeout, or a
// cancel). With realTime false every report is due at once, so tests run the
// stream as fast as they can read it.
class DemoCableBackend : public HidBackend
{
public:
    explicit DemoCableBackend(MeterModel model, bool realTime = true);
    ~DemoCableBackend() override;

    bool available() const override { return true; }
    QList<HidInterface> enumerate() override;
    std::unique_ptr<HidHandle> open(const QString &path, HidAccess access, quint32 *error) override;

    static constexpr int kPollMs = 5;
    static constexpr int kBaud = 2400;

    class Stream;

private:
    std::shared_ptr<Stream> m_stream;
};
