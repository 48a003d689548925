// SPDX-License-Identifier: MIT
#include "hid/HidapiBackend.h"

#include <QTest>

#include <cerrno>
#include <deque>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(HidReadResult::Status)

namespace {

// A stand-in for the hidapi library: an enumeration list, devices that open or
// refuse with an errno, scripted reads, recorded feature reports.
struct Stub
{
    struct Entry
    {
        std::string path;
        unsigned short vid = 0x1a86, pid = 0xe008, release = 0x0100, usagePage = 0xff00;
        int interfaceNumber = 0;
        std::wstring product = L"USB to Serial", serial;
    };
    struct Read
    {
        int result; // bytes, 0 (timeout) or -1
        QByteArray bytes;
        int error = 0;
    };

    static Entry entry(std::string path, unsigned short vid = 0x1a86, unsigned short pid = 0xe008,
        unsigned short release = 0x0100, unsigned short usagePage = 0xff00)
    {
        Entry e;
        e.path = std::move(path);
        e.vid = vid;
        e.pid = pid;
        e.release = release;
        e.usagePage = usagePage;
        return e;
    }

    QList<Entry> entries;
    QHash<QString, int> openErrors; // paths that refuse, with their errno
    QHash<QString, QByteArray> descriptors;
    std::deque<Read> reads;
    QList<QByteArray> features;
    int featureResult = 0;
    int opens = 0, closes = 0, frees = 0, exits = 0, indexedQueries = 0;
    int initResult = 0;

    // Storage of the hid_device_info list handed out.
    std::vector<hid_device_info> infos;
    std::deque<std::string> paths;
    int handles[8] = {};

    HidapiCalls calls(bool indexedStrings = false)
    {
        HidapiCalls c;
        c.init = [this] { return initResult; };
        c.exit = [this] { return ++exits, 0; };
        c.enumerate = [this](unsigned short, unsigned short) -> hid_device_info * {
            infos.assign(size_t(entries.size()), hid_device_info {});
            for (qsizetype i = 0; i < entries.size(); ++i) {
                hid_device_info &info = infos[size_t(i)];
                const Entry &e = entries[i];
                info.path = const_cast<char *>(e.path.c_str());
                info.vendor_id = e.vid;
                info.product_id = e.pid;
                info.release_number = e.release;
                info.usage_page = e.usagePage;
                info.interface_number = e.interfaceNumber;
                info.product_string = const_cast<wchar_t *>(e.product.c_str());
                info.serial_number = const_cast<wchar_t *>(e.serial.c_str());
                info.next = i + 1 < entries.size() ? &infos[size_t(i) + 1] : nullptr;
            }
            return infos.empty() ? nullptr : infos.data();
        };
        c.freeEnumeration = [this](hid_device_info *) { ++frees; };
        c.openPath = [this](const char *path) -> hid_device * {
            if (openErrors.contains(QString::fromLatin1(path))) {
                errno = openErrors.value(QString::fromLatin1(path));
                return nullptr;
            }
            return reinterpret_cast<hid_device *>(&handles[opens++ % 8]);
        };
        c.close = [this](hid_device *) { ++closes; };
        c.getProductString = [](hid_device *, wchar_t *text, size_t n) {
            wcsncpy(text, L"Opened product", n);
            return 0;
        };
        c.getSerialNumberString = [](hid_device *, wchar_t *text, size_t n) {
            wcsncpy(text, L"SN-\U0001F50C", n); // a character outside the BMP
            return 0;
        };
        c.getIndexedString = [this](hid_device *, int, wchar_t *text, size_t n) {
            ++indexedQueries;
            wcsncpy(text, L"\x0409", n);
            return 0;
        };
        c.sendFeatureReport = [this](hid_device *, const unsigned char *data, size_t length) {
            features << QByteArray(reinterpret_cast<const char *>(data), qsizetype(length));
            return featureResult < 0 ? -1 : int(length);
        };
        c.readTimeout = [this](hid_device *, unsigned char *data, size_t length, int) {
            const Read r = reads.front();
            reads.pop_front();
            if (r.result < 0) {
                if (r.error)
                    errno = r.error;
                return -1;
            }
            memcpy(data, r.bytes.constData(), std::min(size_t(r.bytes.size()), length));
            return r.result;
        };
        c.reportDescriptor
            = [this](hid_device *, const QString &path) -> std::optional<QByteArray> {
            if (!descriptors.contains(path))
                return std::nullopt;
            return descriptors.value(path);
        };
        c.indexedStrings = indexedStrings;
        return c;
    }
};

// The cable's descriptor: vendor page, 8-byte input and output reports, no IDs.
const QByteArray unnumbered = QByteArray::fromHex("0600ff0901a101091b1500"
                                                  "26ff0075089508"
                                                  "8102"
                                                  "091b"
                                                  "9102"
                                                  "c0");
// The same with Report ID 2 in front of its items.
const QByteArray numbered = QByteArray::fromHex("0600ff0901a1018502091b150026ff00750895088102c0");

} // namespace

class TestHidapiBackend : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void collectionsOfOneInterfaceAreOneDevice();
    void reportIdsInDescriptors_data();
    void reportIdsInDescriptors();
    void reportsCarryTheirIdFirst_data();
    void reportsCarryTheirIdFirst();
    void readOutcomes_data();
    void readOutcomes();
    void openFailureGivesTheSystemError();
    void queryOnlyAnswersFromTheEnumeration();
    void stringsAndFeatureReports();
    void unavailableWhenInitFails();
};

void TestHidapiBackend::collectionsOfOneInterfaceAreOneDevice()
{
    Stub stub;
    Stub::Entry keyboard = Stub::entry("/dev/hidraw0", 0x046d, 0xc31c, 0x0100, 0x01);
    Stub::Entry consumer = keyboard;
    consumer.usagePage = 0x0c; // a second top-level collection of the same node
    const Stub::Entry cable = Stub::entry("/dev/hidraw1");
    stub.entries = { keyboard, consumer, cable };
    HidapiBackend backend(stub.calls());

    const QList<HidInterface> first = backend.enumerate();
    QCOMPARE(first.size(), 2);
    QCOMPARE(first[0].path, u"/dev/hidraw0"_s);
    QCOMPARE(first[1].path, u"/dev/hidraw1"_s);
    QVERIFY(first[0].instanceId != first[1].instanceId);
    QCOMPARE(stub.frees, 1);
    QCOMPARE(stub.opens, 0); // listing opens nothing

    // The same interfaces again: the same identities. Another device on the
    // cable's node: another identity.
    QCOMPARE(backend.enumerate(), first);
    stub.entries[2].pid = 0x2490;
    const QList<HidInterface> third = backend.enumerate();
    QCOMPARE(third[1].path, first[1].path);
    QVERIFY(third[1].instanceId != first[1].instanceId);
}

void TestHidapiBackend::reportIdsInDescriptors_data()
{
    QTest::addColumn<QByteArray>("descriptor");
    QTest::addColumn<bool>("numbered");

    QTest::newRow("cable, no IDs") << unnumbered << false;
    QTest::newRow("Report ID item") << numbered << true;
    QTest::newRow("0x85 as the data of Report Size") << QByteArray::fromHex("75858102") << false;
    QTest::newRow("0x85 inside a four-byte item") << QByteArray::fromHex("2785858585"
                                                                         "8102")
                                                  << false;
    QTest::newRow("0x85 inside a long item") << QByteArray::fromHex("fe02108585"
                                                                    "8102")
                                             << false;
    QTest::newRow("Report ID after a long item") << QByteArray::fromHex("fe0210aaaa"
                                                                        "8501")
                                                 << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("truncated item") << QByteArray::fromHex("27") << false;
}

void TestHidapiBackend::reportIdsInDescriptors()
{
    QFETCH(QByteArray, descriptor);
    QFETCH(bool, numbered);
    QCOMPARE(HidapiBackend::descriptorUsesReportIds(descriptor), numbered);
}

void TestHidapiBackend::reportsCarryTheirIdFirst_data()
{
    QTest::addColumn<QByteArray>("descriptor"); // empty: none available
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("handedOn");

    const QByteArray dataReport = QByteArray::fromHex("f3414243000000 00");
    QTest::newRow("unnumbered: 0 put in front")
        << unnumbered << dataReport << QByteArray(1, '\0') + dataReport;
    QTest::newRow("no descriptor: taken as unnumbered")
        << QByteArray() << dataReport << QByteArray(1, '\0') + dataReport;
    QTest::newRow("numbered: as read")
        << numbered << QByteArray::fromHex("02aabb") << QByteArray::fromHex("02aabb");
}

void TestHidapiBackend::reportsCarryTheirIdFirst()
{
    QFETCH(QByteArray, descriptor);
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, handedOn);

    Stub stub;
    stub.entries = { Stub::entry("/dev/hidraw1") };
    if (!descriptor.isEmpty())
        stub.descriptors.insert(u"/dev/hidraw1"_s, descriptor);
    stub.reads = { { int(raw.size()), raw }, { int(raw.size()), raw } };
    HidapiBackend backend(stub.calls());
    backend.enumerate();
    auto handle = backend.open(u"/dev/hidraw1"_s, HidAccess::Read, nullptr);
    QVERIFY(handle);

    for (int i = 0; i < 2; ++i) { // the buffer is reused
        QByteArray report;
        QCOMPARE(handle->read(report, 100).status, HidReadResult::Report);
        QCOMPARE(report.toHex(' '), handedOn.toHex(' '));
    }
}

void TestHidapiBackend::readOutcomes_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("error");
    QTest::addColumn<HidReadResult::Status>("status");
    QTest::addColumn<quint32>("code");

    QTest::newRow("timeout") << 0 << 0 << HidReadResult::Timeout << 0u;
    QTest::newRow("unplugged") << -1 << ENODEV << HidReadResult::Error << quint32(ENODEV);
    QTest::newRow("failure without errno") << -1 << 0 << HidReadResult::Error << quint32(EIO);
}

void TestHidapiBackend::readOutcomes()
{
    QFETCH(int, result);
    QFETCH(int, error);
    QFETCH(HidReadResult::Status, status);
    QFETCH(quint32, code);

    Stub stub;
    stub.entries = { Stub::entry("/dev/hidraw1") };
    stub.reads = { { result, {}, error } };
    HidapiBackend backend(stub.calls());
    backend.enumerate();
    auto handle = backend.open(u"/dev/hidraw1"_s, HidAccess::Read, nullptr);
    errno = EAGAIN; // left over from something else: must not be reported
    QByteArray report("stale");
    const HidReadResult r = handle->read(report, 100);
    QCOMPARE(r.status, status);
    QCOMPARE(r.error, code);
    QVERIFY(report.isEmpty());
}

void TestHidapiBackend::openFailureGivesTheSystemError()
{
    Stub stub;
    stub.entries = { Stub::entry("/dev/hidraw1") };
    stub.openErrors.insert(u"/dev/hidraw1"_s, EACCES);
    HidapiBackend backend(stub.calls());
    backend.enumerate();
    quint32 error = 0;
    QVERIFY(!backend.open(u"/dev/hidraw1"_s, HidAccess::ReadWrite, &error));
    QCOMPARE(error, quint32(EACCES));
}

void TestHidapiBackend::queryOnlyAnswersFromTheEnumeration()
{
    Stub stub;
    Stub::Entry cable = Stub::entry("/dev/hidraw1", 0x04fa, 0x2490, 0x0110);
    cable.serial = L"0001";
    stub.entries = { cable };
    stub.openErrors.insert(u"/dev/hidraw1"_s, EACCES); // no rule gives us the node
    HidapiBackend backend(stub.calls());
    quint32 error = 0;
    QVERIFY(!backend.open(u"/dev/hidraw1"_s, HidAccess::QueryOnly, &error)); // not listed yet
    QCOMPARE(error, quint32(ENODEV));

    backend.enumerate();
    auto handle = backend.open(u"/dev/hidraw1"_s, HidAccess::QueryOnly, &error);
    QVERIFY(handle);
    QCOMPARE(stub.opens, 0);
    const HIDD_ATTRIBUTES attributes = *handle->attributes();
    QCOMPARE(attributes.VendorID, 0x04fa);
    QCOMPARE(attributes.ProductID, 0x2490);
    QCOMPARE(attributes.VersionNumber, 0x0110);
    QCOMPARE(handle->productString(), std::optional<QString>(u"USB to Serial"_s));
    QCOMPARE(handle->serialNumberString(), std::optional<QString>(u"0001"_s));
    QVERIFY(!handle->setFeature(QByteArray(10, '\0')));
    QByteArray report;
    QCOMPARE(handle->read(report, 10).status, HidReadResult::Error);
    QVERIFY(stub.features.isEmpty());
}

void TestHidapiBackend::stringsAndFeatureReports()
{
    for (const bool indexed : { false, true }) {
        Stub stub;
        stub.entries = { Stub::entry("/dev/hidraw1") };
        {
            HidapiBackend backend(stub.calls(indexed));
            backend.enumerate();
            auto handle = backend.open(u"/dev/hidraw1"_s, HidAccess::ReadWrite, nullptr);
            QVERIFY(handle);
            QCOMPARE(handle->attributes()->ProductID, 0xe008);
            QCOMPARE(handle->productString(), std::optional<QString>(u"Opened product"_s));
            QCOMPARE(handle->serialNumberString(), std::optional<QString>(u"SN-\U0001F50C"_s));
            QCOMPARE(handle->canReadIndexedStrings(), indexed);
            QCOMPARE(handle->indexedString(0).has_value(), indexed);
            QCOMPARE(stub.indexedQueries, indexed ? 1 : 0);

            // The report ID stays in front, as hidapi expects it.
            const QByteArray feature = QByteArray::fromHex("00600900000300000000");
            QVERIFY(handle->setFeature(feature));
            stub.featureResult = -1;
            QVERIFY(!handle->setFeature(feature));
            QVERIFY(!handle->setFeature({}));
            QCOMPARE(stub.features, QList<QByteArray>(2, feature));
        }
        QCOMPARE(stub.closes, stub.opens);
        QCOMPARE(stub.exits, 1);
    }
}

void TestHidapiBackend::unavailableWhenInitFails()
{
    Stub stub;
    stub.initResult = -1;
    stub.entries = { Stub::entry("/dev/hidraw1") };
    {
        HidapiBackend backend(stub.calls());
        QVERIFY(!backend.available());
        QVERIFY(backend.enumerate().isEmpty());
    }
    QCOMPARE(stub.exits, 0);
}

QTEST_GUILESS_MAIN(TestHidapiBackend)
#include "tst_hidapibackend.moc"
