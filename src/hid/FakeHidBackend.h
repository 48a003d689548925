// SPDX-License-Identifier: MIT
#pragma once

#include "hid/HidBackend.h"
#include "hid/HidChangeNotifier.h"

#include <QHash>
#include <QList>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// A scriptable HID backend for tests: interfaces that are plugged and unplugged
// at will, that refuse a read-write open or any open, carry chosen strings,
// record the feature reports they receive, and deliver scripted input reports
// and read errors to whoever reads them.
//
// The script may be changed from the test's thread while a read thread reads:
// the backend guards its state with its own lock. A read waits for a scripted
// report until its timeout, and returns at once when cancelled.
class FakeHidBackend : public HidBackend
{
public:
    struct Interface
    {
        QString instanceId;
        QString path;
        HIDD_ATTRIBUTES attributes;
        bool identifiable = true; // attributes can be read
        bool readWrite = true; // a read-write (or read) open succeeds
        bool queryOnly = true; // a query-only open succeeds
        quint32 openError = 13; // EACCES, for refused opens
        std::optional<QString> product;
        std::optional<QString> serial;
        bool indexedStrings = true; // the platform reads indexed strings
        std::optional<QString> languages = QString(QChar(0x0409)); // string index 0
        bool featureAccepted = true;
    };

    // A plain interface with a product string (and a path derived from the id).
    static Interface makeInterface(const QString &instanceId, const QString &product,
        quint16 vendorId = 0x1a86, quint16 productId = 0xe008);

    explicit FakeHidBackend(bool available = true);

    bool available() const override { return m_available; }
    QList<HidInterface> enumerate() override;
    std::unique_ptr<HidHandle> open(const QString &path, HidAccess access, quint32 *error) override;

    // The interface set.
    void plug(const Interface &interface);
    void unplug(const QString &instanceId);
    // Changes a plugged interface in place (its strings, its open rules).
    void update(const QString &instanceId, const std::function<void(Interface &)> &change);

    // Input for whoever reads the interface at path, in order.
    void queueReport(const QString &path, const QByteArray &reportWithId);
    void queueReadError(const QString &path, quint32 error);
    // Items taken from the queue of path so far.
    int itemsTaken(const QString &path) const;
    // Blocks until count items of path have been taken, or timeoutMs has passed.
    bool waitForItemsTaken(const QString &path, int count, int timeoutMs = 5000) const;

    // Feature reports received at path, in order.
    QList<QByteArray> featureReports(const QString &path) const;
    // Handles of path that are open now.
    int openHandles(const QString &path) const;
    int openHandles(const QString &path, HidAccess access) const;
    // cancel() calls made on handles of path.
    int cancels(const QString &path) const;

    // A notifier that reports a change whenever notifyChange() is called.
    std::unique_ptr<HidChangeNotifier> createNotifier();
    void notifyChange();

private:
    class Handle;
    struct Item
    {
        QByteArray report;
        quint32 error = 0;
    };
    struct Stream
    {
        std::deque<Item> queue;
        int taken = 0;
        QList<QByteArray> features;
        QHash<int, int> openHandles; // by HidAccess
        int cancels = 0;
    };

    const Interface *findByPath(const QString &path) const; // lock held

    const bool m_available;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    QList<Interface> m_interfaces;
    QHash<QString, Stream> m_streams; // by path
    QList<QPointer<HidChangeNotifier>> m_notifiers;
};
