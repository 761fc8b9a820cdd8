// The device registry and the answer guard as plain classes: the tables of pending and
// identified records kept consistent through every step of a connection's life, and which
// answers the window accepts. No network: sockets are only keys here.

#include "awaitedanswers.h"
#include "deviceregistry.h"
#include "simagent.h"
#include "testmain.h"
#include "thinclientinfo.h"

#include <QSslSocket>

#include <memory>
#include <vector>

namespace {

// Identifies the socket's pending record as the device with this serial number.
ThinclientInfo* identifyAs(DeviceRegistry& r, QSslSocket* socket, const QString& serial,
                           DeviceRegistry::Identified* result = nullptr)
{
    ThinclientInfo* pending = r.addPending(socket);
    pending->loadBlock(SimAgent::deviceBlock(serial));
    const DeviceRegistry::Identified identified = r.identify(socket);
    if (result)
        *result = identified;
    return identified.record;
}

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_sockets.clear(); }

    void pendingThenIdentified();
    void reconnectKeepsTheRecord();
    void staleConnectionIsHandedBack();
    void disconnectAndRemove();
    void offlineDevicesFromHistory();

    void answersFromTheDeviceAsked_data();
    void answersFromTheDeviceAsked();
    void answersOutliveNoRequester();

private:
    QSslSocket* socket()
    {
        m_sockets.push_back(std::make_unique<QSslSocket>());
        return m_sockets.back().get();
    }
    // The registry deletes records and with them their sockets; the test keeps its own.
    void release(DeviceRegistry& r)
    {
        for (ThinclientInfo* d : r.devices())
            d->socket = nullptr;
    }

    std::vector<std::unique_ptr<QSslSocket>> m_sockets;
};

void TestRegistry::pendingThenIdentified()
{
    DeviceRegistry r;
    QSslSocket* s = socket();
    ThinclientInfo* pending = r.addPending(s);
    QCOMPARE(pending->socket, s);
    QCOMPARE(r.pending(s), pending);
    QCOMPARE(r.pendingCount(), 1);
    QCOMPARE(r.deviceCount(), 0);
    QVERIFY(!r.findBySerial("SER-1"));
    QVERIFY(r.consistent());

    // A second greeting on the same socket replaces the pending record.
    ThinclientInfo* again = r.addPending(s);
    QCOMPARE(r.pendingCount(), 1);
    QCOMPARE(r.pending(s), again);

    again->loadBlock(SimAgent::deviceBlock("Ser-1"));
    const DeviceRegistry::Identified id = r.identify(s);
    QCOMPARE(id.record, again);
    QVERIFY(id.isNew);
    QVERIFY(!id.staleSocket);
    QCOMPARE(r.pendingCount(), 0);
    QCOMPARE(r.online(s), again);
    AgentSocket* key = nullptr;
    QCOMPARE(r.findBySerial("sER-1", &key), again); // ASCII case ignored
    QCOMPARE(key, s);
    QVERIFY(r.consistent());
    // Nothing pending: nothing to identify.
    QVERIFY(!r.identify(socket()).record);
    release(r);
}

void TestRegistry::reconnectKeepsTheRecord()
{
    DeviceRegistry r;
    QSslSocket* first = socket();
    ThinclientInfo* known = identifyAs(r, first, "SER-2");
    known->skipPolicy = true;
    QVERIFY(r.disconnect(first));
    QVERIFY(!known->socket);

    QSslSocket* second = socket();
    ThinclientInfo* pending = r.addPending(second);
    pending->loadBlock(SimAgent::deviceBlock("ser-2", "8.4.7"));
    const DeviceRegistry::Identified id = r.identify(second);
    // The known record stays (row, queued frames, policy flag) and takes the fresh block.
    QCOMPARE(id.record, known);
    QVERIFY(!id.isNew);
    QVERIFY(known->skipPolicy);
    QCOMPARE(known->clientVersion(), QString("8.4.7"));
    QCOMPARE(known->socket, second);
    QCOMPARE(r.deviceCount(), 1);
    QCOMPARE(r.findBySerial("SER-2"), known);
    QVERIFY(r.consistent());
    release(r);
}

void TestRegistry::staleConnectionIsHandedBack()
{
    // The device reconnects while its earlier connection never closed: the old socket is no
    // longer a key, so its late closing cannot take the device offline.
    DeviceRegistry r;
    QSslSocket* old = socket();
    ThinclientInfo* known = identifyAs(r, old, "SER-3");
    QSslSocket* fresh = socket();
    DeviceRegistry::Identified id;
    QCOMPARE(identifyAs(r, fresh, "SER-3", &id), known);
    QCOMPARE(id.staleSocket, old);
    QVERIFY(!r.online(old));
    QVERIFY(!r.disconnect(old));
    QCOMPARE(known->socket, fresh);
    QVERIFY(r.consistent());
    release(r);
}

void TestRegistry::disconnectAndRemove()
{
    DeviceRegistry r;
    QSslSocket* p = socket();
    r.addPending(p);
    bool identified = true;
    // A pending connection leaves nothing behind.
    QVERIFY(!r.disconnect(p, &identified));
    QVERIFY(!identified);
    QCOMPARE(r.pendingCount(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QSslSocket* s = socket();
    ThinclientInfo* device = identifyAs(r, s, "SER-4");
    QCOMPARE(r.disconnect(s, &identified), device);
    QVERIFY(identified);
    QVERIFY(r.contains(device));
    QCOMPARE(r.onlineCount(), 0);
    QVERIFY(r.consistent());
    QVERIFY(!r.disconnect(socket())); // an unknown socket

    // Removed from every table, and the caller deletes it.
    r.remove(device);
    QVERIFY(!r.contains(device));
    QVERIFY(!r.findBySerial("SER-4"));
    QCOMPARE(r.deviceCount(), 0);
    QVERIFY(r.consistent());
    delete device;
}

void TestRegistry::offlineDevicesFromHistory()
{
    DeviceRegistry r;
    auto* a = new ThinclientInfo;
    a->loadBlock(SimAgent::deviceBlock("HIST-1"));
    auto* b = new ThinclientInfo;
    b->loadBlock(SimAgent::deviceBlock("HIST-2"));
    auto* copy = new ThinclientInfo;
    copy->loadBlock(SimAgent::deviceBlock("hist-1")); // the same device under another file name
    QVERIFY(r.addOffline(a));
    QVERIFY(r.addOffline(b));
    QVERIFY(!r.addOffline(copy)); // deleted
    QCOMPARE(r.deviceCount(), 2);
    QCOMPARE(r.onlineCount(), 0);
    // Two offline devices: removing one leaves the other findable.
    r.remove(a);
    delete a;
    QCOMPARE(r.findBySerial("HIST-2"), b);
    // An offline device that connects goes online in its record.
    QSslSocket* s = socket();
    QCOMPARE(identifyAs(r, s, "HIST-2"), b);
    QCOMPARE(r.online(s), b);
    QVERIFY(r.consistent());
    release(r);
}

void TestRegistry::answersFromTheDeviceAsked_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("accepted");
    const int ssids = msg::number(msg::Type::SsidList);
    QTest::newRow("the device asked") << "DEV-A" << ssids << true;
    QTest::newRow("its serial in another case") << "dev-a" << ssids << true;
    QTest::newRow("another device") << "DEV-B" << ssids << false;
    QTest::newRow("another kind of answer") << "DEV-A" << int(msg::number(msg::Type::NetworkStatus)) << false;
}

void TestRegistry::answersFromTheDeviceAsked()
{
    QFETCH(QString, from);
    QFETCH(int, type);
    QFETCH(bool, accepted);
    AwaitedAnswers answers;
    QObject dialog;
    answers.expect(msg::Type::SsidList, "DEV-A", &dialog);
    QCOMPARE(answers.accept(static_cast<msg::Type>(type), from), accepted);
    // An answer counts once: the next one of the device is not awaited any more.
    QVERIFY(!answers.accept(msg::Type::SsidList, "DEV-A") || !accepted);
}

void TestRegistry::answersOutliveNoRequester()
{
    AwaitedAnswers answers;
    // The dialog that asked closed: a late answer reaches nothing.
    auto* dialog = new QObject;
    answers.expect(msg::Type::ResolutionList, "DEV-A", dialog);
    QVERIFY(answers.awaiting(msg::Type::ResolutionList));
    delete dialog;
    QVERIFY(!answers.awaiting(msg::Type::ResolutionList));
    QVERIFY(!answers.accept(msg::Type::ResolutionList, "DEV-A"));

    // Several devices asked without a requester: each answers once.
    answers.expect(msg::Type::UsbList, QStringList{"DEV-A", "DEV-B"});
    QVERIFY(answers.accept(msg::Type::UsbList, "DEV-B"));
    QVERIFY(!answers.accept(msg::Type::UsbList, "DEV-B"));
    QVERIFY(answers.accept(msg::Type::UsbList, "DEV-A"));
    QVERIFY(!answers.awaiting(msg::Type::UsbList));

    // A new request replaces the earlier one.
    answers.expect(msg::Type::LocaleList, "DEV-A");
    answers.expect(msg::Type::LocaleList, "DEV-B");
    QVERIFY(!answers.accept(msg::Type::LocaleList, "DEV-A"));
    QVERIFY(answers.accept(msg::Type::LocaleList, "DEV-B"));
    answers.expect(msg::Type::LocaleList, "DEV-B");
    answers.cancel(msg::Type::LocaleList);
    QVERIFY(!answers.accept(msg::Type::LocaleList, "DEV-B"));
}

RVX_TEST_MAIN(TestRegistry)
#include "test_registry.moc"
