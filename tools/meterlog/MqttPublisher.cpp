// SPDX-License-Identifier: MIT
#include "meterlog/MqttPublisher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSysInfo>
#include <QUrl>

#include <mosquitto.h>

namespace {

constexpr int Qos = 1;
// How long finish() waits for the broker to confirm "offline".
constexpr auto StatusWait = std::chrono::milliseconds(1000);

void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// "meterlog-HOST-PID", at most 23 characters: the longest client identifier
// every MQTT 3.1.1 broker has to accept.
QByteArray clientId()
{
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid());
    QByteArray host = QSysInfo::machineHostName().toUtf8();
    host.replace('/', '-').replace('+', '-').replace('#', '-');
    const qsizetype room = 23 - qsizetype(sizeof("meterlog--") - 1) - pid.size();
    return "meterlog-" + host.left(qMax<qsizetype>(0, room)) + '-' + pid;
}

} // namespace

std::optional<MqttTarget> parseMqttUrl(const QString &text, QString &error)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        error = QStringLiteral("'%1' is not a URL (mqtt://HOST[:PORT]/TOPIC)").arg(text);
        return std::nullopt;
    }
    MqttTarget target;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"mqtt") {
        target.port = 1883;
    } else if (scheme == u"mqtts") {
        target.port = 8883;
        target.tls = true;
    } else {
        error = QStringLiteral("'%1' is neither mqtt:// nor mqtts://").arg(text);
        return std::nullopt;
    }
    if (!url.userInfo().isEmpty() || text.section(u'/', 2, 2).contains(u'@')) {
        error = QStringLiteral("the --mqtt URL may not hold a user name or password; set "
                               "METERLOG_MQTT_USERNAME and METERLOG_MQTT_PASSWORD instead");
        return std::nullopt;
    }
    target.host = url.host();
    if (target.host.isEmpty()) {
        error = QStringLiteral("'%1' names no broker host").arg(text);
        return std::nullopt;
    }
    target.port = url.port(target.port);
    if (target.port <= 0) {
        error = QStringLiteral("'%1' has no usable port").arg(text);
        return std::nullopt;
    }
    if (url.hasQuery() || url.hasFragment()) {
        error = QStringLiteral("a topic cannot hold '?' or '#': '%1'").arg(text);
        return std::nullopt;
    }
    QString topic = url.path(QUrl::FullyDecoded);
    if (topic.startsWith(u'/'))
        topic.remove(0, 1);
    if (topic.isEmpty()) {
        error = QStringLiteral("'%1' names no topic (mqtt://HOST[:PORT]/TOPIC)").arg(text);
        return std::nullopt;
    }
    if (topic.contains(u'+') || topic.contains(u'#') || topic.contains(QChar(0))) {
        error = QStringLiteral("the topic '%1' holds a wildcard (+ or #) or a NUL character; "
                               "rows need a plain topic")
                    .arg(topic);
        return std::nullopt;
    }
    // The status topic adds 7 bytes; a topic is at most 65535 bytes of UTF-8.
    if (topic.toUtf8().size() > 65535 - 7) {
        error = QStringLiteral("the topic is longer than MQTT allows");
        return std::nullopt;
    }
    target.topic = topic;
    return target;
}

MqttPublisher::MqttPublisher(Settings settings)
    : m_settings(std::move(settings))
    , m_topic(m_settings.target.topic.toUtf8())
    , m_statusTopic(m_settings.target.statusTopic().toUtf8())
{
    if (m_settings.queueCapacity < 1)
        m_settings.queueCapacity = 1;
}

MqttPublisher::~MqttPublisher()
{
    if (m_client) {
        if (!m_finished)
            finish(std::chrono::milliseconds(0));
        mosquitto_destroy(m_client);
    }
}

QString MqttPublisher::where() const
{
    return QStringLiteral("%1://%2:%3")
        .arg(m_settings.target.tls ? u"mqtts" : u"mqtt", m_settings.target.host)
        .arg(m_settings.target.port);
}

bool MqttPublisher::start(QString &error)
{
    initialiseLibrary();
    m_client = mosquitto_new(clientId().constData(), true, this);
    if (!m_client) {
        error = QStringLiteral("cannot create an MQTT client");
        return false;
    }
    auto failed = [&](const QString &what, int rc) {
        error = QStringLiteral("MQTT: %1: %2").arg(what, QString::fromUtf8(mosquitto_strerror(rc)));
        return false;
    };

    mosquitto_connect_callback_set(m_client, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(m_client, &MqttPublisher::onPublish);
    mosquitto_log_callback_set(m_client, &MqttPublisher::onLog);
    // The status messages must never wait behind rows in the client's own queue.
    mosquitto_max_inflight_messages_set(m_client, MaxInFlight + 2);
    mosquitto_reconnect_delay_set(m_client, 1, 10, true);

    int rc = MOSQ_ERR_SUCCESS;
    if (!m_settings.username.isEmpty()) {
        rc = mosquitto_username_pw_set(m_client, m_settings.username.toUtf8().constData(),
            m_settings.password.isEmpty() ? nullptr : m_settings.password.toUtf8().constData());
        if (rc != MOSQ_ERR_SUCCESS)
            return failed(QStringLiteral("user name and password"), rc);
    }
    if (m_settings.target.tls) {
        // The system's CA store, and the given CA file on top when there is one;
        // the broker's name is checked against its certificate.
        rc = mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        if (rc != MOSQ_ERR_SUCCESS)
            return failed(QStringLiteral("TLS with the system's CA store"), rc);
        if (!m_settings.caFile.isEmpty()) {
            if (!QFileInfo(m_settings.caFile).isReadable()) {
                error = QStringLiteral("MQTT: cannot read the CA file %1").arg(m_settings.caFile);
                return false;
            }
            rc = mosquitto_tls_set(m_client, QFile::encodeName(m_settings.caFile).constData(),
                nullptr, nullptr, nullptr, nullptr);
            if (rc != MOSQ_ERR_SUCCESS)
                return failed(QStringLiteral("CA file %1").arg(m_settings.caFile), rc);
        }
    }
    static const char offline[] = "offline";
    rc = mosquitto_will_set(
        m_client, m_statusTopic.constData(), int(sizeof offline - 1), offline, Qos, true);
    if (rc != MOSQ_ERR_SUCCESS)
        return failed(QStringLiteral("will message"), rc);

    // The thread first, so that a broker not reachable yet is tried again.
    rc = mosquitto_loop_start(m_client);
    if (rc != MOSQ_ERR_SUCCESS)
        return failed(QStringLiteral("network thread"), rc);
    m_loopRunning = true;
    rc = mosquitto_connect_async(m_client, m_settings.target.host.toUtf8().constData(),
        m_settings.target.port, KeepAliveSeconds);
    if (rc == MOSQ_ERR_INVAL) {
        failed(QStringLiteral("connecting to %1").arg(where()), rc);
        m_finished = true;
        mosquitto_loop_stop(m_client, true);
        m_loopRunning = false;
        return false;
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        const QString reason = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(strerror(errno))
                                                    : QString::fromUtf8(mosquitto_strerror(rc));
        std::lock_guard lock(m_mutex);
        m_lostNoticed = true;
        m_lastError = reason;
        m_notices << QStringLiteral("meterlog: cannot reach the MQTT broker at %1 yet (%2); rows "
                                    "wait in memory (up to %3) and go out once it answers")
                         .arg(where(), reason)
                         .arg(m_settings.queueCapacity);
    }
    return true;
}

void MqttPublisher::notice(const QString &text)
{
    m_notices << QStringLiteral("meterlog: ") + text;
}

QStringList MqttPublisher::takeNotices()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_notices, {});
}

void MqttPublisher::publish(const QByteArray &row)
{
    if (!m_client || m_finished)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (qsizetype(m_queue.size()) >= m_settings.queueCapacity) {
            m_queue.pop_front();
            ++m_dropped;
            ++m_droppedSinceLost;
            if (!m_dropping) {
                m_dropping = true;
                notice(QStringLiteral("the MQTT queue is full (%1 rows): the oldest rows are "
                                      "dropped until the broker takes them again")
                           .arg(m_settings.queueCapacity));
            }
        }
        m_queue.push_back(row);
    }
    pump();
}

void MqttPublisher::pump()
{
    std::lock_guard send(m_sendMutex);
    for (;;) {
        QByteArray row;
        {
            std::lock_guard lock(m_mutex);
            if (!m_connected || m_inFlight >= MaxInFlight || m_queue.empty())
                return;
            row = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_inFlight;
        }
        int mid = 0;
        const int rc = mosquitto_publish(
            m_client, &mid, m_topic.constData(), int(row.size()), row.constData(), Qos, true);
        // NO_CONN: the connection went away just now; the client keeps the
        // message and sends it once it is back, like those already in flight.
        if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) {
            registerMid(mid, Kind::Row);
            continue;
        }
        std::lock_guard lock(m_mutex);
        --m_inFlight;
        ++m_dropped;
        notice(QStringLiteral("a row could not be published to MQTT and is dropped: %1")
                   .arg(QString::fromUtf8(mosquitto_strerror(rc))));
        m_changed.notify_all();
    }
}

void MqttPublisher::publishStatus(const char *state)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_statusInFlight;
    }
    int mid = 0;
    const int rc = mosquitto_publish(
        m_client, &mid, m_statusTopic.constData(), int(qstrlen(state)), state, Qos, true);
    if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) {
        registerMid(mid, Kind::Status);
        return;
    }
    std::lock_guard lock(m_mutex);
    --m_statusInFlight;
    m_changed.notify_all();
}

void MqttPublisher::registerMid(int mid, Kind kind)
{
    std::lock_guard lock(m_mutex);
    // The PUBACK may come back before mosquitto_publish returned to us.
    if (m_earlyAcks.erase(mid) == 0) {
        (kind == Kind::Row ? m_rowMids : m_statusMids).insert(mid);
        return;
    }
    if (kind == Kind::Row) {
        --m_inFlight;
        ++m_acknowledged;
    } else {
        --m_statusInFlight;
    }
    m_changed.notify_all();
}

void MqttPublisher::onPublish(mosquitto *, void *self, int mid)
{
    auto *p = static_cast<MqttPublisher *>(self);
    {
        std::lock_guard lock(p->m_mutex);
        if (p->m_rowMids.erase(mid)) {
            --p->m_inFlight;
            ++p->m_acknowledged;
        } else if (p->m_statusMids.erase(mid)) {
            --p->m_statusInFlight;
        } else {
            p->m_earlyAcks.insert(mid);
        }
        p->m_changed.notify_all();
    }
    p->pump();
}

void MqttPublisher::onConnect(mosquitto *, void *self, int rc)
{
    auto *p = static_cast<MqttPublisher *>(self);
    if (rc != 0) {
        const QString reason = QString::fromUtf8(mosquitto_connack_string(rc));
        std::lock_guard lock(p->m_mutex);
        if (reason != p->m_lastError) {
            p->m_lastError = reason;
            p->notice(QStringLiteral("the MQTT broker at %1 refused the connection: %2")
                          .arg(p->where(), reason));
        }
        return;
    }
    {
        std::lock_guard lock(p->m_mutex);
        p->m_connected = true;
        p->m_lastError.clear();
        if (p->m_lostNoticed) {
            p->notice(QStringLiteral("connected to the MQTT broker at %1; %2 queued rows go out")
                          .arg(p->where())
                          .arg(p->m_queue.size() + size_t(p->m_inFlight)));
        }
        if (p->m_droppedSinceLost > 0) {
            p->notice(QStringLiteral("%1 rows were dropped from the full MQTT queue while the "
                                     "broker was away")
                          .arg(p->m_droppedSinceLost));
        }
        p->m_everConnected = true;
        p->m_lostNoticed = false;
        p->m_dropping = false;
        p->m_droppedSinceLost = 0;
    }
    p->publishStatus("online");
    p->pump();
}

void MqttPublisher::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *p = static_cast<MqttPublisher *>(self);
    std::lock_guard lock(p->m_mutex);
    p->m_connected = false;
    p->m_changed.notify_all();
    if (rc == 0 || p->m_lostNoticed)
        return; // asked for, or already said
    p->m_lostNoticed = true;
    p->notice(QStringLiteral("%1 the MQTT broker at %2; rows wait in memory (up to %3) and go "
                             "out once it answers")
                  .arg(p->m_everConnected ? u"lost" : u"cannot reach", p->where())
                  .arg(p->m_settings.queueCapacity));
}

void MqttPublisher::onLog(mosquitto *, void *self, int level, const char *text)
{
    if (level != MOSQ_LOG_ERR || !text)
        return;
    // Errors such as a failed TLS handshake repeat at every attempt: say each once.
    auto *p = static_cast<MqttPublisher *>(self);
    const QString message = QString::fromUtf8(text);
    std::lock_guard lock(p->m_mutex);
    if (message == p->m_lastError)
        return;
    p->m_lastError = message;
    p->notice(QStringLiteral("MQTT: %1").arg(message));
}

MqttPublisher::Outcome MqttPublisher::finish(std::chrono::milliseconds wait)
{
    Outcome outcome;
    if (!m_client || m_finished) {
        std::lock_guard lock(m_mutex);
        outcome.acknowledged = m_acknowledged;
        outcome.dropped = m_dropped;
        outcome.unsent = m_queue.size() + size_t(m_inFlight);
        return outcome;
    }
    bool connected = false;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, wait, [this] { return m_queue.empty() && m_inFlight == 0; });
        connected = m_connected;
    }
    if (connected) {
        // A clean disconnect keeps the broker from sending the will: say it here.
        publishStatus("offline");
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, StatusWait, [this] { return m_statusInFlight == 0; });
    }
    m_finished = true;
    mosquitto_disconnect(m_client);
    if (m_loopRunning)
        mosquitto_loop_stop(m_client, false);
    m_loopRunning = false;

    std::lock_guard lock(m_mutex);
    outcome.acknowledged = m_acknowledged;
    outcome.dropped = m_dropped;
    outcome.unsent = m_queue.size() + size_t(m_inFlight);
    return outcome;
}
