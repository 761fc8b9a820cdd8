// What simulated agents of both generations receive, over TLS on loopback, when the network,
// time-zone and peripherals settings are delivered the way the main window delivers them:
// configuration messages to agents of version 8 and later (compressed from 8.4.0 on), the
// older binary frames to older agents.

#include "configlib.h"
#include "devicefacts.h"
#include "legacy.h"
#include "localeconfig.h"
#include "networkconfig.h"
#include "peripheralsconfig.h"
#include "sending.h"
#include "serverfixture.h"
#include "testmain.h"

namespace {

// The main window's loop over the messages of one device.
int deliver(ThinclientInfo* record, const QList<delivery::Message>& messages)
{
    int written = 0;
    for (const delivery::Message& m : messages) {
        if (m.isText ? sendConfiguration(record, m.bytes, m.type) : writeFrame(record, m.bytes))
            ++written;
    }
    return written;
}

netconfig::NetworkSettings network()
{
    netconfig::NetworkSettings s;
    s.firewall = false;
    s.dns1 = "10.77.0.53";
    s.wiredAddressing = netconfig::Static;
    s.wiredIp = "10.77.0.20";
    s.wiredNetmask = "255.255.255.0";
    s.wiredGateway = "10.77.0.1";
    s.wirelessEnabled = true;
    s.ssid = "Office";
    s.wirelessSecurity = "wpa2_enterprise_certificate";
    s.wirelessUser = "bob";
    s.wirelessCertificate = "corp.cert.pfx";
    s.hostname = "lab-1";
    return s;
}

peripherals::PeripheralsSettings keyboard()
{
    peripherals::PeripheralsSettings s;
    s.layout = "de";
    s.variant = "nodeadkeys";
    s.volume = 70;
    s.onScreenKeyboard = true;
    return s;
}

bool hasKey(const QByteArray& text, const QByteArray& key)
{
    return text.startsWith(key + '=') || text.contains('\n' + key + '=');
}

} // namespace

class TestSettingsDelivery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_server.start()); }
    void cleanupTestCase() { m_server.stop(); }

    void agentsReceive_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("firmware");
        QTest::newRow("agent 8.4.6") << "8.4.6"
                                     << "4.8.3";
        QTest::newRow("agent 8.3.0") << "8.3.0"
                                     << "4.11.0";
        QTest::newRow("agent 7.2.0") << "7.2.0"
                                     << "4.6.0";
    }
    void agentsReceive()
    {
        QFETCH(QString, version);
        QFETCH(QString, firmware);
        const QString serial = "DLV-" + version;
        auto agent = m_server.identified(serial, version);
        QVERIFY(agent);
        ThinclientInfo* record = m_server.server->findBySerial(serial);
        QVERIFY(record);
        commands::DeviceFacts facts = deviceFacts(record);
        facts.firmwareVersion = firmware;
        const bool newer = commands::takesConfigurationText(facts);
        const bool old = peripherals::oldAudio(firmware);

        const netconfig::NetworkSettings net = network();
        const localeconfig::LocaleSettings zone{"America/Argentina/Buenos_Aires", "ntp.example",
                                                "es_AR.UTF-8"};
        const peripherals::PeripheralsSettings kbd = keyboard();
        QList<delivery::Message> messages = netconfig::messages(facts, net);
        messages << localeconfig::message(facts, zone) << peripherals::message(facts, kbd, old);

        const int before = agent->frameCount();
        QCOMPARE(deliver(record, messages), 4);
        QVERIFY(agent->waitForFrames(before + 4));
        const QList<SimAgent::Frame> frames = agent->frames().mid(before);

        const QList<QPair<int, QByteArray>> texts{{36, netconfig::firewallText(false)},
                                                  {29, netconfig::networkText(net)},
                                                  {4, localeconfig::localeText(zone)},
                                                  {34, peripherals::peripheralsText(kbd, old)}};
        if (newer) {
            for (int i = 0; i < 4; ++i) {
                const SimAgent::Frame& f = frames.at(i);
                QCOMPARE(int(f.type), 55);
                QCOMPARE(int(f.code), commands::takesCompressedConfiguration(facts) ? 1 : 0);
                QCOMPARE(config_message_category(f.raw), texts.at(i).first);
                QCOMPARE(config_message_parse(f.raw).value_or(QByteArray()), texts.at(i).second);
            }
            return;
        }
        // Older agents: the frames exactly, and what they hold read back as those agents
        // report it.
        QCOMPARE(frames.at(0).raw, netconfig::firewallLegacyFrame(false));
        QCOMPARE(frames.at(1).raw, netconfig::networkLegacyFrame(net));
        QCOMPARE(frames.at(2).raw, localeconfig::timeZoneFrame(zone));
        QCOMPARE(frames.at(3).raw, peripherals::peripheralsLegacyFrame(kbd));
        for (int i = 0; i < 4; ++i) {
            const SimAgent::Frame& f = frames.at(i);
            const QByteArray& text = texts.at(i).second;
            QCOMPARE(int(f.type), texts.at(i).first);
            const std::optional<LegacyReport> back = legacy_convert(f.type, f.code, f.payload);
            QVERIFY2(back, qPrintable(QString::number(f.type)));
            int shared = 0;
            for (const QByteArray& line : back->text.split('\n')) {
                const QByteArray key = line.left(line.indexOf('='));
                if (key.isEmpty() || !hasKey(text, key))
                    continue;
                QCOMPARE(config_text_get_value(key, back->text), config_text_get_value(key, text));
                ++shared;
            }
            QVERIFY(shared >= 1);
        }
    }

private:
    ServerFixture m_server;
};

RVX_TEST_MAIN(TestSettingsDelivery)
#include "test_settingsdelivery.moc"
