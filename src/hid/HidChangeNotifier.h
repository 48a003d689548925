// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>

// Tells the HID device controller that the set of HID interfaces may have
// changed. changed() is emitted on the thread the notifier lives in (the main
// thread); the controller answers with a DeviceChange pass, which finds out
// what, if anything, changed. A notifier may therefore report too often, never
// too seldom.
class HidChangeNotifier : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void changed();
};

// The fallback where the system offers no notification: reports a possible
// change at a fixed interval (2 s by default).
class HidPollingNotifier : public HidChangeNotifier
{
    Q_OBJECT
public:
    static constexpr int kDefaultIntervalMs = 2000;

    explicit HidPollingNotifier(int intervalMs = kDefaultIntervalMs, QObject *parent = nullptr);

    int intervalMs() const { return m_timer.interval(); }

private:
    QTimer m_timer;
};
