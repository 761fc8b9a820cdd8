// Agent messages end to end over real TLS: framing on the wire, identification and merging,
// configuration reports, lists, and the file transfer with its confinement.

#include "agentlists.h"
#include "configlib.h"
#include "legacy.h"
#include "sending.h"
#include "serverfixture.h"
#include "testmain.h"
#include "wire.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSslSocket>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using rvx::test::fileBytes;
using rvx::test::residentKiB;
using rvx::test::waitFor;

namespace {

QByteArray randomBytes(int size)
{
    QByteArray out(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        out[i] = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return out;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

} // namespace

class TestAgentMessages : public QObject
{
    Q_OBJECT

private slots:
    // framing
    void firstMessageMustIdentify_data();
    void firstMessageMustIdentify();
    void typeAbove71Closes();
    void topBitIsIgnored();
    void keepAlivesSetLastSeen();
    void severalMessagesInOneWrite();
    void interleavedLargeMessagesFromTwoAgents();
    void announcedHugeFrameCloses();

    // identification
    void newDeviceSignalsAndQueuedFramesInOrder();
    void reconnectKeepsRecordAndRow();
    void policyAfterReconnect_data();
    void policyAfterReconnect();
    void identifiedDeviceSendsType5Again();
    void framesQueuedWhileOfflineAreDelivered();
    void reconnectWhileOldConnectionLingers();

    // reports
    void snapshotUpdatesRecordAndStoredText();
    void categoryMessagesReplaceOnlyTheirCategory();
    void olderAgentReports();
    void listsStatusAndTexts();

    // file transfer
    void fileTransferBothWays();
    void fileTransferStatusCodes();
    void fileTransferConfinement_data();
    void fileTransferConfinement();
};

// ---- framing ---------------------------------------------------------------------------

void TestAgentMessages::firstMessageMustIdentify_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::newRow("hostname report") << wire::frame(28, 0, wire::lpString("sneaky"));
    QTest::newRow("snapshot") << *config_message_build_text("brd_hostname=x\n", 55, false);
    QTest::newRow("file read") << wire::frame(9, 0, QByteArray("\x01/etc/passwd", 12));
    QTest::newRow("status") << wire::frame(7, 1, "hello");
}

void TestAgentMessages::firstMessageMustIdentify()
{
    QFETCH(QByteArray, first);
    ServerFixture f;
    QVERIFY(f.start());
    SimAgent agent;
    QVERIFY(agent.handshake(f.port));
    agent.sendRaw(first);
    QVERIFY(agent.waitForDisconnected());
    QCOMPARE(agent.frameCount(), 1); // the welcome only
    QVERIFY(waitFor([&] { return f.server->connectionCount() == 0; }));
    QCOMPARE(f.server->deviceCount(), 0);
    QVERIFY(f.events.isEmpty());
}

void TestAgentMessages::typeAbove71Closes()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("T72-1");
    QVERIFY(agent);
    agent->sendRaw(QByteArray::fromHex("48000000"));
    QVERIFY(agent->waitForDisconnected());
    ThinclientInfo* r = f.server->findBySerial("T72-1");
    QVERIFY(waitFor([&] { return r->socket == nullptr; }));
}

void TestAgentMessages::topBitIsIgnored()
{
    ServerFixture f;
    QVERIFY(f.start());
    QStringList network;
    QObject::connect(f.server, &SSLServer::updateNetworkInfo,
                     [&](QString dns1, QString dns2, QString dsPath, QString wiredMAC, QString wiredIP,
                         QString, QString, QString, QString wirelessIP, QString, QString) {
                         network << dns1 << dns2 << dsPath << wiredMAC << wiredIP << wirelessIP;
                     });
    auto agent = f.identified("C7-1");
    QVERIFY(agent);
    NetworkStatus s;
    s.dns1 = "10.0.0.53";
    s.dns2 = "10.0.0.54";
    s.dsPath = "lab";
    s.wiredMAC = "02:00:00:00:00:07";
    s.wiredIP = "10.77.0.2";
    QByteArray frame = wire::frame(71, 1, buildNetworkStatusPayload(1, s, true, false));
    frame[0] = char(0xC7);
    agent->sendRaw(frame);
    QVERIFY(agent->echo());
    QCOMPARE(network, QStringList({"10.0.0.53", "10.0.0.54", "lab", "02:00:00:00:00:07", "10.77.0.2", ""}));
    QVERIFY(agent->isConnected());
}

void TestAgentMessages::keepAlivesSetLastSeen()
{
    rvx::test::FakeClock clock(1800000000);
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("KA-1");
    QVERIFY(agent);
    f.events.clear();
    clock.advance(100);
    agent->sendKeepAlive(char(0x80));
    QVERIFY(waitFor([&] { return f.db()->lastSeen("KA-1") == 1800000100; }));
    clock.advance(100);
    agent->sendKeepAlive(0);
    QVERIFY(waitFor([&] { return f.db()->lastSeen("KA-1") == 1800000200; }));
    QVERIFY(f.events.isEmpty()); // a keep-alive is not a message: the row is not refreshed
    QVERIFY(agent->isConnected());
}

void TestAgentMessages::severalMessagesInOneWrite()
{
    ServerFixture f;
    QVERIFY(f.start());
    QStringList help;
    QObject::connect(f.server, &SSLServer::displayModeHelp, [&](QString text) { help << text; });
    SimAgent agent;
    agent.connectToServer(f.port);
    QVERIFY(agent.waitForEncrypted());
    // Greeting, identification, three echoes, a text and a keep-alive in one write.
    agent.sendRaw(agent.greetingBytes() + wire::frame(5, 7, SimAgent::deviceBlock("MANY-1")) +
                  wire::shortFrame(49) + wire::shortFrame(49) +
                  wire::frame(33, 0, QByteArray("mode help\0", 10)) + QByteArray(1, '\0') +
                  wire::shortFrame(49));
    QVERIFY(agent.waitForFrames(4));
    QTest::qWait(100);
    QCOMPARE(agent.frameCount(), 4); // the welcome and three echoes
    for (int i = 1; i < 4; ++i)
        QCOMPARE(agent.frames().at(i).raw, QByteArray::fromHex("31000000"));
    QCOMPARE(help, QStringList({"mode help"}));
}

void TestAgentMessages::interleavedLargeMessagesFromTwoAgents()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto a = f.identified("BIG-A", "8.4.0", "02:00:00:00:00:0a");
    auto b = f.identified("BIG-B", "8.4.0", "02:00:00:00:00:0b");
    QVERIFY(a && b);
    const QByteArray textA = SimAgent::sampleConfiguration(500);
    QByteArray textB = textA;
    textB.replace("=value", "=other");
    QVERIFY(textA.size() > 10000);
    a->setChunking(97, 1);
    b->setChunking(89, 1);
    a->sendConfiguration(textA, 55, false);
    b->sendConfiguration(textB, 55, true);
    QVERIFY(a->waitForSent(30000) && b->waitForSent(30000));
    a->setChunking(0, 0);
    b->setChunking(0, 0);
    QVERIFY(a->echo() && b->echo());
    QCOMPARE(f.storedText("BIG-A"), *config_message_parse(*config_message_build_text(textA, 55, false)));
    QCOMPARE(f.storedText("BIG-B"), *config_message_parse(*config_message_build_text(textB, 55, false)));
    QVERIFY(f.storedText("BIG-A").contains("=value") && f.storedText("BIG-B").contains("=other"));
}

void TestAgentMessages::announcedHugeFrameCloses()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("HUGE-1");
    QVERIFY(agent);
    // A frame at the cap that never completes holds only what arrived.
    auto slow = f.identified("HUGE-2", "8.4.0", "02:00:00:00:00:02");
    QVERIFY(slow);
    const qint64 before = residentKiB();
    QByteArray header = QByteArray::fromHex("1800");
    wire::appendU32(header, 16u * 1024u * 1024u);
    slow->sendRaw(header + QByteArray(1000, 'x'));
    agent->sendRaw(QByteArray::fromHex("1800ffffffff") + QByteArray(64 * 1024, 'y'));
    QVERIFY(agent->waitForDisconnected());
    QTest::qWait(200);
    QVERIFY(slow->isConnected());
    const qint64 after = residentKiB();
    if (before > 0)
        QVERIFY2(after - before < 8 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(after - before)));
    // A long frame within the cap is read whole, through the bounded read buffer.
    auto large = f.identified("HUGE-4", "8.4.0", "02:00:00:00:00:04");
    QVERIFY(large);
    large->sendRaw(wire::frame(38, 0, randomBytes(3 * 1024 * 1024)));
    QVERIFY(large->echo(30000));
    // Type 38 just above the cap closes.
    auto third = f.identified("HUGE-3", "8.4.0", "02:00:00:00:00:03");
    QVERIFY(third);
    QByteArray over = QByteArray::fromHex("2600");
    wire::appendU32(over, 16u * 1024u * 1024u + 1);
    third->sendRaw(over);
    QVERIFY(third->waitForDisconnected());
    QVERIFY(slow->isConnected());
}

// ---- identification --------------------------------------------------------------------

void TestAgentMessages::newDeviceSignalsAndQueuedFramesInOrder()
{
    ServerFixture f;
    QVERIFY(f.start());
    bool queuedAtRefresh = false;
    f.onPolicy = [](ThinclientInfo* r) {
        queueFrame(r, wire::frame(28, 0, "first"));
        queueFrame(r, wire::frame(6, 0, "second"));
    };
    f.onEntry = [&](ThinclientInfo* r, bool isNew) {
        if (isNew)
            queuedAtRefresh = r->pendingFrames && r->pendingFrames->size() == 2;
    };
    auto agent = f.identified("NEW-1");
    QVERIFY(agent);
    QCOMPARE(f.events.mid(0, 3), QStringList({"add:NEW-1", "policy:NEW-1", "entry:NEW-1:1"}));
    QVERIFY(queuedAtRefresh); // still queued when the row was refreshed
    QCOMPARE(agent->frameCount(), 4);
    QCOMPARE(agent->frames().at(1).raw, wire::frame(28, 0, "first"));
    QCOMPARE(agent->frames().at(2).raw, wire::frame(6, 0, "second"));
    QCOMPARE(agent->frames().at(3).type, quint8(49));
    QVERIFY(!f.server->findBySerial("NEW-1")->pendingFrames);
    QCOMPARE(f.storedBlock("NEW-1"), SimAgent::deviceBlock("NEW-1"));
}

void TestAgentMessages::reconnectKeepsRecordAndRow()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("ROW-1", "8.3.0");
    QVERIFY(agent);
    ThinclientInfo* record = f.server->findBySerial("ROW-1");
    // The row belongs to the device list; the server only keeps the pointer.
    auto* row = reinterpret_cast<QStandardItem*>(quintptr(0x1000));
    record->item = row;
    agent->disconnectFromServer();
    QVERIFY(waitFor([&] { return record->socket == nullptr; }));
    f.events.clear();
    // The serial number comes back in another case and with a newer agent.
    auto again = f.identified("row-1", "8.4.1");
    QVERIFY(again);
    AgentSocket* key = nullptr;
    QCOMPARE(f.server->findBySerial("ROW-1", &key), record);
    QVERIFY(key && record->socket == key);
    QCOMPARE(record->item, row);
    QCOMPARE(record->clientVersion(), QString("8.4.1"));
    QCOMPARE(record->bootMode(), quint8(2));
    QCOMPARE(f.server->deviceCount(), 1);
    QCOMPARE(f.count("add:row-1") + f.count("add:ROW-1"), 0);
    QCOMPARE(f.events.first(), QString("policy:row-1"));
    record->item = nullptr;
}

void TestAgentMessages::policyAfterReconnect_data()
{
    QTest::addColumn<QList<QByteArray>>("lastMessages");
    QTest::addColumn<bool>("policy");
    const QByteArray whole = *config_message_build_text("log_level=3\n", 55, true);
    const QByteArray category = *config_message_build_text("brd_hostname=x\n", 28, false);
    QTest::newRow("nothing after identification") << QList<QByteArray>() << true;
    QTest::newRow("whole snapshot last") << QList<QByteArray>({whole}) << false;
    QTest::newRow("status and disconnect request keep it")
        << QList<QByteArray>({whole, wire::frame(7, 2, "ok")}) << false;
    QTest::newRow("category snapshot after it") << QList<QByteArray>({whole, category}) << true;
    QTest::newRow("echo after it") << QList<QByteArray>({whole, wire::shortFrame(49)}) << true;
}

void TestAgentMessages::policyAfterReconnect()
{
    QFETCH(QList<QByteArray>, lastMessages);
    QFETCH(bool, policy);
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("POL-1");
    QVERIFY(agent);
    for (const QByteArray& m : lastMessages)
        agent->sendRaw(m);
    agent->sendFrame(17, 0, QByteArray()); // asks to be disconnected
    QVERIFY(agent->waitForDisconnected());
    ThinclientInfo* r = f.server->findBySerial("POL-1");
    QVERIFY(waitFor([&] { return r->socket == nullptr; }));
    f.events.clear();
    auto again = f.identified("POL-1");
    QVERIFY(again);
    QCOMPARE(f.count("policy:POL-1"), policy ? 1 : 0);
}

void TestAgentMessages::identifiedDeviceSendsType5Again()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("AGAIN-1");
    QVERIFY(agent);
    ThinclientInfo* r = f.server->findBySerial("AGAIN-1");
    f.events.clear();
    agent->identify(SimAgent::deviceBlock("AGAIN-1", "8.4.0", "renamed"));
    QVERIFY(agent->echo());
    QCOMPARE(r->hostname(), QString("renamed"));
    QCOMPARE(f.storedBlock("AGAIN-1"), SimAgent::deviceBlock("AGAIN-1", "8.4.0", "renamed"));
    QCOMPARE(f.events, QStringList({"entry:AGAIN-1:0", "entry:AGAIN-1:0"}));
    // Another serial number on the same connection is refused and changes nothing.
    agent->identify(SimAgent::deviceBlock("OTHER-9"));
    QVERIFY(agent->waitForDisconnected());
    QCOMPARE(r->serialNumber(), QString("AGAIN-1"));
    QVERIFY(!f.server->findBySerial("OTHER-9"));
    QVERIFY(!QFile::exists(f.db()->statePath("OTHER-9")));
}

void TestAgentMessages::framesQueuedWhileOfflineAreDelivered()
{
    ServerFixture f;
    {
        rvxDB db(f.ws.path("db"));
        QVERIFY(db.saveState("Q-1", SimAgent::deviceBlock("Q-1", "8.3.0")));
    }
    QVERIFY(f.start());
    ThinclientInfo* r = f.server->findBySerial("Q-1");
    QVERIFY(r);
    QVERIFY(!sendConfiguration(r, "brd_hostname=x\n", 28)); // offline: nothing written
    queueFrame(r, configurationFrame(r, "brd_hostname=queued\n", 28));
    auto agent = f.identified("Q-1", "8.3.0");
    QVERIFY(agent);
    QCOMPARE(agent->frameCount(), 3);
    QCOMPARE(agent->frames().at(1).raw, QByteArray::fromHex("370000161c") + "brd_hostname=queued\n" + '\0');
    QVERIFY(!r->pendingFrames);
    // Online, a configuration goes out at once, compressed from 8.4.0 on.
    QVERIFY(sendConfiguration(r, "log_level=1\n", 55));
    QVERIFY(agent->waitForFrames(4));
    QCOMPARE(agent->frames().at(3).code, quint8(0));
}

void TestAgentMessages::reconnectWhileOldConnectionLingers()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto first = f.identified("TWICE-1");
    QVERIFY(first);
    ThinclientInfo* r = f.server->findBySerial("TWICE-1");
    AgentSocket* oldSocket = r->socket;
    // The device comes back before its first connection was seen to go.
    auto second = f.identified("TWICE-1");
    QVERIFY(second);
    QVERIFY(r->socket && r->socket != oldSocket);
    QVERIFY(first->waitForDisconnected());
    QVERIFY(waitFor([&] { return f.server->connectionCount() == 1; }));
    QCOMPARE(f.server->deviceCount(), 1);
    QVERIFY(second->isConnected());
    QVERIFY(second->echo());
}

// ---- reports ---------------------------------------------------------------------------

void TestAgentMessages::snapshotUpdatesRecordAndStoredText()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("SNAP-1");
    QVERIFY(agent);
    const QByteArray text =
        "brd_hostname=lab-pc-7\ndescription=Front desk\nconnection_type=" + config_protocol_name(3) +
        "\npxe_server_enabled=yes\nrvx_beacon_enabled=yes\n"
        "log_level=4\nnot_a_key=1\n";
    agent->sendConfiguration(text, 55, true);
    ThinclientInfo* r = f.server->findBySerial("SNAP-1");
    QVERIFY(waitFor([&] { return r->skipPolicy; }));
    QCOMPARE(r->hostname(), QString("lab-pc-7"));
    QCOMPARE(r->description(), QString("Front desk"));
    QCOMPARE(r->protocolType(), quint8(3));
    QVERIFY(r->pxeServerEnabled());
    QVERIFY(r->beaconEnabled());
    QVERIFY(r->skipPolicy);
    const QByteArray stored = f.storedText("SNAP-1");
    QVERIFY(stored.startsWith("brd_hostname=lab-pc-7\n"));
    QVERIFY(stored.contains("log_level=4\n"));
    QVERIFY(!stored.contains("not_a_key"));
    QCOMPARE(f.storedBlock("SNAP-1"), r->block());

    // Empty values leave fields alone; "no" switches off.
    agent->sendConfiguration("brd_hostname=\npxe_server_enabled=no\n", 55, false);
    QVERIFY(agent->echo());
    QCOMPARE(r->hostname(), QString("lab-pc-7"));
    QVERIFY(!r->pxeServerEnabled());
    QCOMPARE(f.storedText("SNAP-1"), QByteArray("brd_hostname=\npxe_server_enabled=no\n")); // all replaced
    QVERIFY(!r->skipPolicy); // the echo came last

    // A corrupt snapshot changes nothing.
    agent->sendRaw(QByteArray::fromHex("37010007"
                                       "37"
                                       "00000010"
                                       "ffff"));
    QVERIFY(agent->echo());
    QCOMPARE(f.storedText("SNAP-1"), QByteArray("brd_hostname=\npxe_server_enabled=no\n"));
}

void TestAgentMessages::categoryMessagesReplaceOnlyTheirCategory()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("CAT-1");
    QVERIFY(agent);
    agent->sendConfiguration("brd_hostname=old\nlog_level=2\ntimezone=Etc/UTC\n", 55, false);
    QVERIFY(agent->echo());
    const int hostnameCategory = config_line_category("brd_hostname=x");
    QVERIFY(hostnameCategory > 0);
    agent->sendConfiguration("brd_hostname=new\nlog_level=9\n", hostnameCategory, false);
    QVERIFY(agent->echo());
    const QByteArray stored = f.storedText("CAT-1");
    QVERIFY(stored.contains("brd_hostname=new\n"));
    QVERIFY(!stored.contains("brd_hostname=old"));
    QVERIFY(stored.contains("timezone=Etc/UTC\n"));
    QCOMPARE(stored.count("log_level="), 1);
    QCOMPARE(f.server->findBySerial("CAT-1")->hostname(), QString("new"));
    QVERIFY(!f.server->findBySerial("CAT-1")->skipPolicy);
}

void TestAgentMessages::olderAgentReports()
{
    ServerFixture f;
    QVERIFY(f.start());
    LegacyIdentification id;
    id.serialNumber = "OLD-7";
    id.macAddress = "00:11:22:33:44:77";
    id.ipAddress = "10.77.0.9";
    id.hostname = "old-host";
    id.firmwareVersion = "7.2.0";
    id.clientVersion = "7.2.1";
    id.description = "legacy";
    id.nicEnabled = "yes";
    id.wirelessEnabled = "no";
    SimAgent agent;
    QVERIFY(agent.handshake(f.port));
    agent.identifyLegacy(id, 6);
    QVERIFY(agent.echo());
    ThinclientInfo* r = f.server->findBySerial("OLD-7");
    QVERIFY(r);
    QCOMPARE(r->hostname(), QString("old-host"));
    QCOMPARE(r->clientVersion(), QString("7.2.1"));
    QVERIFY(r->isOldAgent());
    QCOMPARE(r->ipAddressText(), QString("10.77.0.9"));
    QVERIFY(f.storedText("OLD-7").contains("description=legacy\n"));
    QVERIFY(f.storedText("OLD-7").contains("firewall_enabled=no\n"));
    QCOMPARE(f.storedBlock("OLD-7"), r->block());

    // A piecewise report replaces its own category only.
    agent.sendFrame(36, 0, QByteArray(1, '\x01'));
    agent.sendFrame(28, 0, wire::lpString("renamed-host"));
    QVERIFY(agent.echo());
    const QByteArray stored = f.storedText("OLD-7");
    QVERIFY(stored.contains("firewall_enabled=yes\n") && !stored.contains("firewall_enabled=no"));
    QVERIFY(stored.contains("brd_hostname=renamed-host\n") && !stored.contains("brd_hostname=old-host"));
    QVERIFY(stored.contains("description=legacy\n"));
    QCOMPARE(r->hostname(), QString("renamed-host"));
    QCOMPARE(f.storedBlock("OLD-7"), r->block());

    // An old agent's type 11 has two payload bytes whatever its length field says.
    agent.sendRaw(QByteArray::fromHex("0b0000ff"
                                      "0010"));
    QVERIFY(agent.waitForFrameOfType(7, 0) >= 0);
    QVERIFY(agent.echo());
    QVERIFY(agent.isConnected());
}

void TestAgentMessages::listsStatusAndTexts()
{
    ServerFixture f;
    QVERIFY(f.start());
    QStringList seen;
    QObject::connect(f.server, &SSLServer::configureUsbRedir, [&](ThinclientInfo* r, QStringList* list) {
        seen << "usb:" + r->serialNumber() + ":" + list->join(',');
    });
    QObject::connect(f.server, &SSLServer::configureSSIDList,
                     [&](QStringList* list) { seen << "ssids:" + list->join(','); });
    QObject::connect(f.server, &SSLServer::configureResolutions, [&](QMap<QString, QStringList*>* map) {
        for (auto it = map->cbegin(); it != map->cend(); ++it)
            seen << "res:" + it.key() + ":" + it.value()->join(',');
    });
    QObject::connect(f.server, &SSLServer::configureAudioDevs, [&](QMap<QString, QStringList*>* map) {
        seen << "audio:" + QStringList(map->keys()).join(',');
    });
    QObject::connect(f.server, &SSLServer::editPiConfig,
                     [&](ThinclientInfo*, QString text) { seen << "pi:" + text; });
    auto agent = f.identified("LIST-1");
    QVERIFY(agent);
    agent->setListAnswer(43, 0, {"1d6b:0002", "046d:c52b"});
    agent->setListAnswer(65, 1, {"[ssids]", "lab", "guest"});
    ThinclientInfo* r = f.server->findBySerial("LIST-1");
    QVERIFY(writeFrame(r, wire::shortFrame(43)));
    QVERIFY(writeFrame(r, wire::shortFrame(65)));
    QVERIFY(agent->waitForFrames(4));
    QVERIFY(agent->echo());
    agent->sendList(59, 1, {"[HDMI-1]", "1920x1080", "1280x720", "[DP-1]", "800x600"});
    agent->sendList(70, 0, {"[alsa]", "hw:0", "[pulse]", "default"});
    agent->sendList(43, 0, {"[other]", "x"});
    agent->sendFrame(68, 0, QByteArray("gpu_mem=128\n\0", 13));
    agent->sendFrame(7, 5, QByteArray("Upgrading\0", 10));
    QVERIFY(agent->echo());
    QCOMPARE(seen, QStringList({"usb:LIST-1:1d6b:0002,046d:c52b", "ssids:lab,guest", "res:DP-1:800x600",
                                "res:HDMI-1:1920x1080,1280x720", "audio:alsa,pulse",
                                "usb:LIST-1:", "pi:gpu_mem=128\n"}));
    QVERIFY(f.events.contains("status:LIST-1:5:Upgrading"));
}

// ---- file transfer ---------------------------------------------------------------------

void TestAgentMessages::fileTransferBothWays()
{
    ServerFixture f;
    QVERIFY(f.start());
    const QByteArray image = randomBytes(3 * 4092 + 100);
    const QString imagePath = f.ws.path("firmware/ZYL/image.img");
    QVERIFY(writeFile(imagePath, image));
    auto agent = f.identified("FT-1", "8.1.0");
    QVERIFY(agent);

    // Pull with 4096-byte requests: at most 4092 data bytes, so no reply exceeds 4096 bytes.
    QByteArray sizeText;
    QCOMPARE(agent->openRead(QDir::toNativeSeparators(imagePath), &sizeText), 0);
    QCOMPARE(sizeText, QByteArray::number(image.size()));
    QByteArray pulled;
    for (;;) {
        const std::optional<SimAgent::Frame> reply = agent->readBlock(4096);
        QVERIFY(reply);
        if (reply->code == 2) {
            QCOMPARE(reply->raw, QByteArray::fromHex("07020000"));
            break;
        }
        QCOMPARE(reply->code, quint8(0));
        QVERIFY(reply->raw.size() <= 4096);
        QVERIFY(reply->payload.size() <= 4092);
        pulled += reply->payload;
    }
    agent->sendFrame(10, 0, QByteArray());
    QCOMPARE(pulled, image);
    // Any other request size is served as asked.
    QCOMPARE(*agent->pullFile(imagePath, 1000), image);
    const std::optional<QByteArray> again = agent->pullFile(imagePath, 4095);
    QCOMPARE(*again, image);

    // Push: 8.1 agents get one acknowledgement per data message.
    const QByteArray upload = randomBytes(10000);
    const int before = agent->frameCount();
    QVERIFY(agent->pushFile("FT-1_blkdev_list.lst", 0, upload, 4000));
    QVERIFY(agent->echo());
    QCOMPARE(agent->frameCount() - before, 1 + 3 + 1); // open status, three acks, echo
    QCOMPARE(agent->frames().at(before + 1).raw, QByteArray::fromHex("07000fa0"));
    QCOMPARE(fileBytes(f.ws.path("temp/FT-1_blkdev_list.lst")), upload);

    // An 8.0 agent gets none.
    auto older = f.identified("FT-2", "8.0.9", "02:00:00:00:00:02");
    QVERIFY(older);
    const int olderBefore = older->frameCount();
    QVERIFY(older->pushFile("old.log", 0, upload, 4000));
    QVERIFY(older->echo());
    QCOMPARE(older->frameCount() - olderBefore, 2); // open status and echo
    QCOMPARE(fileBytes(f.ws.path("temp/old.log")), upload);

    // A destination the administrator picked takes absolute paths.
    const QString logs = f.ws.path("logs-picked");
    QVERIFY(QDir().mkpath(logs));
    QCOMPARE(agent->openWrite(logs + "/x.log", 1), 3);
    f.server->allowWriteFolder(logs);
    agent->sendFrame(10, 0, QByteArray());
    QVERIFY(agent->pushFile(logs + "/x.log", 1, "log text"));
    QVERIFY(agent->echo());
    QCOMPARE(fileBytes(logs + "/x.log"), QByteArray("log text"));
}

void TestAgentMessages::fileTransferStatusCodes()
{
    ServerFixture f;
    QVERIFY(f.start());
    QVERIFY(writeFile(f.ws.path("rvxclient/pkg.deb"), "package"));
    auto agent = f.identified("FS-1", "8.4.0");
    QVERIFY(agent);
    auto lastStatus = [&]() { return agent->frames().last().raw; };
    std::optional<SimAgent::Frame> block = agent->readBlock(100);
    QVERIFY(block);
    QCOMPARE(block->raw, QByteArray::fromHex("07030000")); // nothing open
    agent->sendFrame(9, 0, QByteArray(2, '\0'));
    QVERIFY(agent->waitForFrames(agent->frameCount() + 1));
    QCOMPARE(lastStatus(), QByteArray::fromHex("07040000")); // empty request
    QCOMPARE(agent->openRead(f.ws.path("rvxclient/none.deb")), 2);
    QCOMPARE(agent->openRead(f.ws.path("rvxclient/pkg.deb")), 0);
    QCOMPARE(agent->openRead(f.ws.path("rvxclient/pkg.deb")), 1); // busy
    QCOMPARE(agent->openWrite("x.txt", 0), 1);                    // busy
    agent->sendFrame(10, 0, QByteArray());
    QCOMPARE(agent->openWrite("x.txt", 0), 0);
    agent->sendFrame(10, 0, QByteArray());
    agent->sendFrame(22, 0, QByteArray(2, '\0'));
    QVERIFY(agent->waitForFrames(agent->frameCount() + 1));
    QCOMPARE(lastStatus(), QByteArray::fromHex("07040000"));
    agent->expectAcknowledgements(0);
    agent->sendFrame(23, 0, "data");
    QVERIFY(agent->waitForFrames(agent->frameCount() + 1));
    QCOMPARE(lastStatus(), QByteArray::fromHex("07030000")); // no file open
    // A transfer file is closed with the connection.
    QCOMPARE(agent->openRead(f.ws.path("rvxclient/pkg.deb")), 0);
    ThinclientInfo* r = f.server->findBySerial("FS-1");
    QVERIFY(r->transferFile);
    agent->disconnectFromServer();
    QVERIFY(waitFor([&] { return r->socket == nullptr; }));
    QVERIFY(!r->transferFile);
}

void TestAgentMessages::fileTransferConfinement_data()
{
    QTest::addColumn<QString>("operation"); // "read", "write0" or "write1"
    QTest::addColumn<QString>("path");      // %W = workspace root
    QTest::newRow("read: absolute path outside") << "read"
                                                 << "%W/outside/secret.txt";
    QTest::newRow("read: dot-dot out of a store") << "read"
                                                  << "%W/firmware/../outside/secret.txt";
    QTest::newRow("read: link out of a store") << "read"
                                               << "%W/firmware/link-out";
    QTest::newRow("read: prefix look-alike folder") << "read"
                                                    << "%W/firmware-evil/image.img";
    QTest::newRow("read: device history") << "read"
                                          << "%W/db/last_seen.csv";
    QTest::newRow("read: profiles") << "read"
                                    << "%W/profiles/office.txt";
    QTest::newRow("read: settings") << "read"
                                    << "%W/settings.ini";
    QTest::newRow("write: dot-dot out of temp") << "write0"
                                                << "../outside/victim.txt";
    QTest::newRow("write: link planted in temp") << "write0"
                                                 << "planted";
    QTest::newRow("write: absolute path outside") << "write1"
                                                  << "%W/outside/victim.txt";
    QTest::newRow("write: into the device history") << "write1"
                                                    << "%W/db/last_seen.csv";
    QTest::newRow("write: prefix look-alike of temp") << "write1"
                                                      << "%W/temp-evil/x.txt";
}

void TestAgentMessages::fileTransferConfinement()
{
    QFETCH(QString, operation);
    QFETCH(QString, path);
    ServerFixture f;
    const QString root = f.ws.root();
    path.replace("%W", root);
    QVERIFY(writeFile(f.ws.path("outside/secret.txt"), "secret"));
    QVERIFY(writeFile(f.ws.path("outside/victim.txt"), "victim"));
    QVERIFY(writeFile(f.ws.path("firmware-evil/image.img"), "evil"));
    QVERIFY(writeFile(f.ws.path("profiles/office.txt"), "profile"));
    QVERIFY(QDir().mkpath(f.ws.path("temp-evil")));
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(f.ws.path("outside/secret.txt"), f.ws.path("firmware/link-out")));
    QVERIFY(QFile::link(f.ws.path("outside/victim.txt"), f.ws.path("temp/planted")));
#endif
    QVERIFY(f.start());
    f.server->allowWriteFolder(root + "/db"); // even a picked folder never opens the history
    auto agent = f.identified("CONF-1", "8.4.0");
    QVERIFY(agent);
    const QByteArray lastSeenBefore = fileBytes(f.ws.path("db/last_seen.csv"));
    int status = -1;
    if (operation == "read")
        status = agent->openRead(path);
    else
        status = agent->openWrite(path, operation == "write0" ? 0 : 1);
    QCOMPARE(status, 3);
    QVERIFY(!f.server->findBySerial("CONF-1")->transferFile);
    // Nothing was touched.
    agent->expectAcknowledgements(0);
    agent->sendFrame(23, 0, "overwritten");
    QVERIFY(agent->echo());
    QCOMPARE(fileBytes(f.ws.path("outside/victim.txt")), QByteArray("victim"));
    QCOMPARE(fileBytes(f.ws.path("db/last_seen.csv")), lastSeenBefore);
    QVERIFY(!QFile::exists(f.ws.path("temp-evil/x.txt")));
}

RVX_TEST_MAIN(TestAgentMessages)
#include "test_agentmessages.moc"
