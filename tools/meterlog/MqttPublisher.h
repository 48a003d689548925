// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <unordered_set>

struct mosquitto;

// Where --mqtt publishes, from mqtt://HOST[:PORT]/TOPIC or mqtts://HOST[:PORT]/TOPIC.
// The rows go to TOPIC; the logger's state ("online" / "offline") to
// TOPIC/status.
struct MqttTarget
{
    QString host;
    int port = 1883;
    bool tls = false;
    QString topic;

    QString statusTopic() const { return topic + QStringLiteral("/status"); }
};

// Parses the --mqtt URL; nothing, with a message in error, when it is not one
// meterlog publishes to. User name and password are never taken from the URL
// (a command line is visible to every user of the machine), so a URL that
// holds them is refused.
std::optional<MqttTarget> parseMqttUrl(const QString &url, QString &error);

// Publishes rows to an MQTT broker with libmosquitto, without ever making the
// caller wait for the network.
//
// - Each row is published to the target's topic with QoS 1 and retained, so a
//   subscriber that comes later gets the last reading at once.
// - On every connection "online" is published (QoS 1, retained) to the status
//   topic; the will, which the broker publishes when the logger vanishes
//   without saying goodbye, is "offline" on the same topic, and finish()
//   publishes "offline" itself before it disconnects.
// - publish() only queues the row; libmosquitto's own thread sends it. At most
//   MaxInFlight rows are handed to the client at a time; a row counts as sent
//   once the broker's PUBACK for it arrived. The client keeps the rows it holds
//   across a lost connection and sends them again, in order, when it is back.
// - While the broker is away rows wait in a queue of at most queueCapacity
//   rows; when it is full the oldest row is dropped and counted.
//
// Everything worth telling the user (connection lost and back, rows dropped)
// is gathered as notices that the caller prints from its own thread.
class MqttPublisher
{
public:
    // About 2.8 hours of a meter's two rows a second, and some 8 MB of JSON.
    static constexpr qsizetype DefaultQueueCapacity = 20000;
    static constexpr int MaxInFlight = 20;
    static constexpr int KeepAliveSeconds = 20;

    struct Settings
    {
        MqttTarget target;
        QString username; // empty: none
        QString password;
        QString caFile; // mqtts: a CA to trust besides the system's
        qsizetype queueCapacity = DefaultQueueCapacity;
    };

    explicit MqttPublisher(Settings settings);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher &) = delete;
    MqttPublisher &operator=(const MqttPublisher &) = delete;

    // Creates the client and starts its thread, which connects (and keeps
    // reconnecting). False with a message when the client cannot be set up;
    // an unreachable broker is no error (rows are queued until it answers).
    bool start(QString &error);

    // Queues a row (a JSON object) and hands it on when the broker can take it.
    void publish(const QByteArray &row);

    struct Outcome
    {
        quint64 acknowledged = 0; // rows the broker confirmed
        quint64 dropped = 0; // rows dropped from a full queue
        quint64 unsent = 0; // rows still queued or unconfirmed at the end
    };
    // Waits at most wait for the queued rows to be confirmed, says "offline",
    // disconnects and stops the client's thread. Rows not confirmed by then are
    // given up (counted in unsent).
    Outcome finish(std::chrono::milliseconds wait);

    // What happened since the last call, one message per line, for stderr.
    QStringList takeNotices();

private:
    enum class Kind { Row, Status };

    void pump();
    void publishStatus(const char *state);
    void registerMid(int mid, Kind kind);
    void notice(const QString &text);
    QString where() const;

    static void onConnect(mosquitto *client, void *self, int rc);
    static void onDisconnect(mosquitto *client, void *self, int rc);
    static void onPublish(mosquitto *client, void *self, int mid);
    static void onLog(mosquitto *client, void *self, int level, const char *text);

    Settings m_settings;
    QByteArray m_topic;
    QByteArray m_statusTopic;
    mosquitto *m_client = nullptr;
    bool m_loopRunning = false;
    bool m_finished = false;

    // Serialises the hand-over to the client, so rows leave in queue order
    // whichever thread (the caller's, the client's) hands them over.
    std::mutex m_sendMutex;

    std::mutex m_mutex; // guards everything below
    std::condition_variable m_changed;
    std::deque<QByteArray> m_queue; // rows not yet handed to the client
    int m_inFlight = 0; // rows handed to the client and not yet confirmed
    std::unordered_set<int> m_rowMids;
    std::unordered_set<int> m_statusMids;
    std::unordered_set<int> m_earlyAcks; // PUBACKs that came before their mid was noted
    bool m_connected = false;
    bool m_everConnected = false;
    bool m_lostNoticed = false;
    bool m_dropping = false;
    int m_statusInFlight = 0;
    quint64 m_acknowledged = 0;
    quint64 m_dropped = 0;
    quint64 m_droppedSinceLost = 0;
    QString m_lastError;
    QStringList m_notices;
};
