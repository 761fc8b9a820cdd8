// The network settings rules: address validation, the input checks, the texts and frames both
// agent generations receive (the older frame read back with the older agents' reader), the
// version gates and the wireless network list.

#include "configlib.h"
#include "legacy.h"
#include "networkconfig.h"
#include "testmain.h"
#include "wire.h"

#include <QHostAddress>

using namespace netconfig;
using rvx::test::bytes;

Q_DECLARE_METATYPE(netconfig::NetworkSettings)
Q_DECLARE_METATYPE(commands::DeviceFacts)

namespace {

NetworkSettings staticWired()
{
    NetworkSettings s;
    s.dns1 = "10.77.0.53";
    s.dsPath = "lab.example";
    s.wiredAddressing = Static;
    s.wiredIp = "10.77.0.20";
    s.wiredNetmask = "255.255.255.0";
    s.wiredGateway = "10.77.0.1";
    s.hostname = "lab-1";
    return s;
}

NetworkSettings wireless(const char* security, const QString& password = QString())
{
    NetworkSettings s;
    s.wiredEnabled = false;
    s.wirelessEnabled = true;
    s.ssid = "Office";
    s.wirelessSecurity = security;
    s.wirelessPassword = password;
    s.hostname = "lab-1";
    return s;
}

commands::DeviceFacts device(const QString& client, const QString& firmware = "5.0.3", int type = 2)
{
    commands::DeviceFacts d;
    d.serial = "SN-7";
    d.clientVersion = client;
    d.firmwareVersion = firmware;
    d.firmwareType = type;
    return d;
}

QByteArray textOf(const QStringList& lines)
{
    return (lines.join('\n') + '\n').toLatin1();
}

// The lines of a text whose keys are in the list, in the text's order.
QByteArray onlyKeys(const QByteArray& text, const QList<QByteArray>& keys)
{
    QByteArray out;
    for (const QByteArray& l : text.split('\n')) {
        if (keys.contains(l.left(l.indexOf('='))))
            out += l + '\n';
    }
    return out;
}

const QString kWep10 =
    "\nIn WEP mode, the wireless password MUST be 10 or 26 characters long and can contain "
    "only hexadecimal characters A-F, a-f or 0-9.";
const QString kWepHex = "\nIn WEP mode, the wireless password can contain only hexadecimal characters A-F, "
                        "a-f or 0-9.";

} // namespace

class TestNetworkRules : public QObject
{
    Q_OBJECT

private slots:
    // The toolkit's own parser takes the short forms an inet_aton() would, which is why the
    // dialog cannot rely on it: the text itself is what the device receives.
    void toolkitParserAcceptsShortForms()
    {
        QHostAddress address;
        QVERIFY(address.setAddress(QStringLiteral("192.168.1")));
        QCOMPARE(address.toString(), QString("192.168.0.1"));
        QVERIFY(address.setAddress(QStringLiteral("10.1")));
        QVERIFY(!isIPv4Address("192.168.1"));
        QVERIFY(!isIPv4Address("10.1"));
    }

    void ipv4Addresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "10.77.0.2" << true;
        QTest::newRow("zeros") << "0.0.0.0" << true;
        QTest::newRow("broadcast") << "255.255.255.255" << true;
        QTest::newRow("octet 256") << "10.77.0.256" << false;
        QTest::newRow("five parts") << "10.77.0.2.1" << false;
        QTest::newRow("empty part") << "10..0.2" << false;
        QTest::newRow("trailing dot") << "10.77.0." << false;
        QTest::newRow("blank inside") << "10.77.0. 2" << false;
        QTest::newRow("sign") << "10.77.0.+2" << false;
        QTest::newRow("hex") << "0x0A.77.0.2" << false;
        QTest::newRow("four digits") << "10.77.0.0002" << false;
        QTest::newRow("name") << "gateway" << false;
        QTest::newRow("empty") << "" << false;
    }
    void ipv4Addresses()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(isIPv4Address(text), valid);
    }

    void validation_data()
    {
        QTest::addColumn<NetworkSettings>("settings");
        QTest::addColumn<QString>("error");

        QTest::newRow("static wired, complete") << staticWired() << QString();
        NetworkSettings s = staticWired();
        s.wiredGateway.clear();
        QTest::newRow("static wired without gateway")
            << s << "On the wired network, you must enter values for IP, Netmask, Gateway and DNS1.";
        s = staticWired();
        s.dns1.clear();
        QTest::newRow("static wired without DNS1")
            << s << "On the wired network, you must enter values for IP, Netmask, Gateway and DNS1.";
        s = staticWired();
        s.wiredIp = "192.168.1";
        QTest::newRow("static wired, short address")
            << s << "\nYou entered an invalid IP address on the wired network.";
        s = staticWired();
        s.dns1 = "10.77.0";
        QTest::newRow("short DNS1") << s << "\nYou entered an invalid IP address for DNS1.";
        s = staticWired();
        s.dns2 = "dns.example";
        QTest::newRow("named DNS2") << s << "\nYou entered an invalid IP address for DNS2.";
        s = NetworkSettings();
        QTest::newRow("DHCP needs no DNS") << s << QString();
        s.wiredAddressing = DhcpOwnDns;
        QTest::newRow("DHCP with own DNS needs DNS1") << s << "You must enter a value for DNS1.";
        s = NetworkSettings();
        s.wiredSecurity = "8021x_password";
        QTest::newRow("802.1X without user")
            << s << "\nYou must specify a username for 802.1X authentication.";
        s.wiredUser = "alice";
        QTest::newRow("802.1X without password")
            << s << "\nYou must enter a password for 802.1X authentication.";
        s.wiredSecurity = "8021x_certificate";
        QTest::newRow("802.1X certificate needs no password") << s << QString();
        s = NetworkSettings();
        s.wiredEnabled = false;
        s.wiredAddressing = Static;
        s.wiredSecurity = "8021x_password";
        QTest::newRow("disabled wired is not checked") << s << QString();

        QTest::newRow("WEP of 13 characters") << wireless("wep", "0123456789abc") << kWep10;
        QTest::newRow("WEP of 10 with g") << wireless("wep", "012345678g") << kWepHex;
        QTest::newRow("WEP of 10 hex") << wireless("wep", "01234567aF") << QString();
        QTest::newRow("WEP of 26 hex") << wireless("wep", "0123456789abcdef0123456789") << QString();
        QTest::newRow("WEP empty") << wireless("wep") << "\nYou must enter a value for wireless password.";
        QTest::newRow("WPA3 empty") << wireless("wpa3_personal")
                                    << "\nYou must enter a value for wireless password.";
        QTest::newRow("open network") << wireless("none") << QString();
        NetworkSettings w = wireless("wpa2_personal", "secret");
        w.ssid.clear();
        QTest::newRow("no network name") << w << "\nYou must enter or select a value for wireless SSID.";
        w = wireless("diy");
        w.ssid.clear();
        QTest::newRow("DIY without a network name") << w << QString();
        w = wireless("wpa2_enterprise_password", "secret");
        QTest::newRow("enterprise without user")
            << w << "\nYou must specify a username for WPA2 Enterprise authentication.";
        w = wireless("wpa2_enterprise_certificate");
        w.wirelessUser = "bob";
        QTest::newRow("enterprise certificate needs no password") << w << QString();
        w = wireless("none");
        w.wirelessAddressing = Static;
        w.wirelessIp = "10.77.0.30";
        w.wirelessNetmask = "255.255.255.0";
        QTest::newRow("static wireless without gateway")
            << w << "On the wireless network, you must enter values for IP, Netmask, Gateway and DNS1.";
        w.wirelessGateway = "10.77.0";
        QTest::newRow("static wireless, short gateway")
            << w << "You entered an invalid value for IP, Netmask, Gateway or DNS1 on the wireless network.";
        w.wirelessGateway = "10.77.0.1";
        QTest::newRow("static wireless without DNS1") << w << "You must enter a value for DNS1.";
        w.dns1 = "10.77.0.53";
        QTest::newRow("static wireless, complete") << w << QString();
    }
    void validation()
    {
        QFETCH(NetworkSettings, settings);
        QFETCH(QString, error);
        QCOMPARE(validationError(settings).value_or(QString()), error);
    }

    void dhcpSendsEmptyAddresses()
    {
        NetworkSettings s = staticWired();
        s.wiredAddressing = Dhcp; // the static values typed before stay in the fields
        s.wakeOnLan = true;
        QCOMPARE(networkText(s), textOf({"dns1=10.77.0.53", "dns2=", "dspath=lab.example", "nic_enabled=yes",
                                         "nic_dhcp_enabled=yes", "nic_ip=", "nic_netmask=", "nic_gateway=",
                                         "nic_wol_enabled=yes", "nic_security=none",
                                         "nic_wireless_enabled=no", "brd_hostname=lab-1"}));
        // The empty lines remove the keys when merged, as on the device.
        config_store_reset_for_testing("/nonexistent");
        config_store_load_text("nic_ip=10.77.0.20\n", 29);
        config_store_load_text(networkText(s), 29);
        QCOMPARE(config_store_get("nic_ip"), QByteArray());
    }

    void texts_data()
    {
        QTest::addColumn<NetworkSettings>("settings");
        QTest::addColumn<QByteArray>("text");

        NetworkSettings s = staticWired();
        s.wirelessEnabled = true;
        s.ssid = "Office";
        s.wirelessSecurity = "wpa2_personal";
        s.wirelessPassword = "pässword"; // Latin-1: its Base64 is of the single byte 0xE4
        QTest::newRow("static wired, WPA2 wireless") << s
                                                     << textOf({"dns1=10.77.0.53",
                                                                "dns2=",
                                                                "dspath=lab.example",
                                                                "nic_enabled=yes",
                                                                "nic_dhcp_enabled=no",
                                                                "nic_ip=10.77.0.20",
                                                                "nic_netmask=255.255.255.0",
                                                                "nic_gateway=10.77.0.1",
                                                                "nic_wol_enabled=no",
                                                                "nic_security=none",
                                                                "nic_wireless_enabled=yes",
                                                                "nic_wireless_dhcp_enabled=yes",
                                                                "nic_wireless_ip=",
                                                                "nic_wireless_netmask=",
                                                                "nic_wireless_gateway=",
                                                                "nic_wireless_ssid=Office",
                                                                "nic_wireless_security=wpa2_personal",
                                                                "nic_wireless_password=cORzc3dvcmQ=",
                                                                "nic_wireless_radius_username=",
                                                                "brd_hostname=lab-1"});

        s = NetworkSettings();
        s.wiredSecurity = "8021x_password";
        s.wiredUser = "alice";
        s.wiredPassword = "pw";
        QTest::newRow("802.1X with a password")
            << s
            << textOf({"dns1=", "dns2=", "dspath=", "nic_enabled=yes", "nic_dhcp_enabled=yes",
                       "nic_ip=", "nic_netmask=", "nic_gateway=", "nic_wol_enabled=no",
                       "nic_security=8021x_password", "nic_radius_username=alice",
                       "nic_password=cHc=", "nic_wireless_enabled=no", "brd_hostname="});

        s.wiredSecurity = "8021x_certificate";
        s.wiredCertificate = "corp.cert.pfx";
        QTest::newRow("802.1X with corp.cert.pfx")
            << s
            << textOf({"dns1=", "dns2=", "dspath=", "nic_enabled=yes", "nic_dhcp_enabled=yes", "nic_ip=",
                       "nic_netmask=", "nic_gateway=", "nic_wol_enabled=no", "nic_security=8021x_certificate",
                       "nic_radius_username=alice", "nic_radius_privkey=/etc/ssl/private/corp.cert_pfx.key",
                       "nic_radius_pubkey=/etc/ssl/certs/corp.cert_pfx.crt",
                       "nic_radius_cacert=/etc/ssl/certs/corp.cert_pfx-ca.crt", "nic_wireless_enabled=no",
                       "brd_hostname="});

        s = wireless("wpa2_enterprise_certificate");
        s.wirelessUser = "bob";
        s.wirelessCertificate = "corp.cert.pfx";
        QTest::newRow("enterprise wireless with corp.cert.pfx")
            << s
            << textOf({"dns1=", "dns2=", "dspath=", "nic_enabled=no", "nic_wireless_enabled=yes",
                       "nic_wireless_dhcp_enabled=yes", "nic_wireless_ip=", "nic_wireless_netmask=",
                       "nic_wireless_gateway=", "nic_wireless_ssid=Office",
                       "nic_wireless_security=wpa2_enterprise_certificate",
                       "nic_wireless_password=", "nic_wireless_radius_username=bob",
                       "nic_wireless_radius_privkey=/etc/ssl/private/corp.cert_pfx.key",
                       "nic_wireless_radius_pubkey=/etc/ssl/certs/corp.cert_pfx.crt",
                       "nic_wireless_radius_cacert=/etc/ssl/certs/corp.cert_pfx-ca.crt",
                       "brd_hostname=lab-1"});

        // A network name or host name can never start a line (a setting) of its own.
        s = wireless("none");
        s.ssid = "Guest\nnic_enabled=no";
        s.hostname = "lab-1\r\nfirewall_enabled=no";
        s.dsPath = "a\tb";
        QTest::newRow("line breaks dropped")
            << s
            << textOf({"dns1=", "dns2=", "dspath=ab", "nic_enabled=no", "nic_wireless_enabled=yes",
                       "nic_wireless_dhcp_enabled=yes", "nic_wireless_ip=", "nic_wireless_netmask=",
                       "nic_wireless_gateway=", "nic_wireless_ssid=Guestnic_enabled=no",
                       "nic_wireless_security=none", "nic_wireless_password=",
                       "nic_wireless_radius_username=", "brd_hostname=lab-1firewall_enabled=no"});
    }
    void texts()
    {
        QFETCH(NetworkSettings, settings);
        QFETCH(QByteArray, text);
        QCOMPARE(networkText(settings), text);
        // Every line belongs to the network category, so the agent takes all of them.
        const std::optional<QByteArray> message = config_message_build_text(text, 29, false);
        QVERIFY(message);
        QCOMPARE(config_message_parse(*message).value_or(QByteArray()), text);
    }

    void certificateStems()
    {
        QCOMPARE(certificateStem("corp.cert.pfx"), QByteArray("corp.cert_pfx"));
        QCOMPARE(certificateStem("bundle"), QByteArray("bundle"));
        QCOMPARE(certificateStem(".p12"), QByteArray("_p12"));
        QVERIFY(isCertificateName("corp.cert.pfx"));
        QVERIFY(isCertificateName("a_b-c.1,2:3"));
        QVERIFY(!isCertificateName("../../etc/x.pfx"));
        QVERIFY(!isCertificateName("my cert.pfx"));
        QVERIFY(!isCertificateName(""));
    }

    void legacyFrameBytes()
    {
        NetworkSettings s = wireless("wep", "0123456789");
        s.dns1 = "1.2.3.4";
        s.hostname = "pc";
        const auto lp = [](const QByteArray& t) { return wire::lpString(t); };
        const QByteArray payload = lp("1.2.3.4") + lp("") + lp("") + lp("no") + lp("yes") + lp("yes") +
                                   lp("") + lp("") + lp("") + lp("Office") + lp("wep") + lp("0123456789") +
                                   QByteArray(1, '\0') + lp("") + QByteArray("pc") + QByteArray(1, '\0');
        const QByteArray frame = networkLegacyFrame(s);
        QCOMPARE(frame.left(4), bytes({29, 1, 0, payload.size()}));
        QCOMPARE(frame.mid(4), payload);
    }

    // What an older agent receives, read back the way such an agent reports it, holds the
    // values of the text for every key that agent knows.
    void legacyFrameReadsBack_data()
    {
        QTest::addColumn<NetworkSettings>("settings");
        NetworkSettings s = staticWired();
        s.wakeOnLan = true;
        QTest::newRow("static wired") << s;
        s.wiredAddressing = Dhcp;
        s.wirelessEnabled = true;
        s.ssid = "Office";
        s.wirelessSecurity = "wpa2_personal";
        s.wirelessPassword = "pässword";
        QTest::newRow("both interfaces") << s;
        s = wireless("wpa2_enterprise_certificate");
        s.wirelessUser = "bob";
        s.wirelessCertificate = "corp.cert.pfx";
        QTest::newRow("enterprise certificate") << s;
        s.wiredEnabled = false;
        s.wirelessEnabled = false;
        QTest::newRow("both off") << s;
    }
    void legacyFrameReadsBack()
    {
        QFETCH(NetworkSettings, settings);
        const QByteArray frame = networkLegacyFrame(settings);
        const std::optional<LegacyReport> report =
            legacy_convert(quint8(frame.at(0)), quint8(frame.at(1)), frame.mid(4));
        QVERIFY(report);
        const QList<QByteArray> known{"dns1",
                                      "dns2",
                                      "dspath",
                                      "nic_enabled",
                                      "nic_dhcp_enabled",
                                      "nic_ip",
                                      "nic_netmask",
                                      "nic_gateway",
                                      "nic_wireless_enabled",
                                      "nic_wireless_dhcp_enabled",
                                      "nic_wireless_ip",
                                      "nic_wireless_netmask",
                                      "nic_wireless_gateway",
                                      "nic_wireless_ssid",
                                      "nic_wireless_security",
                                      "nic_wireless_password",
                                      "nic_wireless_radius_username",
                                      "brd_hostname"};
        const QByteArray text = networkText(settings);
        // The older reader also gives the enterprise lines when the interface is off; the keys
        // the text carries come back with the text's values, in the text's order.
        QList<QByteArray> carried;
        for (const QByteArray& key : known) {
            if (text.startsWith(key + '=') || text.contains('\n' + key + '='))
                carried << key;
        }
        QCOMPARE(onlyKeys(report->text, carried), onlyKeys(text, known));
        if (settings.wirelessEnabled && settings.wirelessCertificate.contains('.')) {
            const QList<QByteArray> paths{"nic_wireless_radius_privkey", "nic_wireless_radius_pubkey",
                                          "nic_wireless_radius_cacert"};
            QCOMPARE(onlyKeys(report->text, paths), onlyKeys(text, paths));
        }
        QCOMPARE(report->hostname.value_or(QString()), settings.hostname);
    }

    void firewall()
    {
        QCOMPARE(firewallText(true), QByteArray("firewall_enabled=yes\n"));
        QCOMPARE(firewallText(false), QByteArray("firewall_enabled=no\n"));
        QCOMPARE(firewallLegacyFrame(true), bytes({36, 0, 0, 1, 1}));
        QCOMPARE(firewallLegacyFrame(false), bytes({36, 0, 0, 1, 0}));
        for (bool on : {true, false})
            QCOMPARE(legacy_convert(36, 0, firewallLegacyFrame(on).mid(4))->text, firewallText(on));
        QCOMPARE(firewallSentence(false, "SN-7"), QString("disabled the firewall on SN-7"));
        QCOMPARE(firewallSentence(true, "SN-7"), QString("enabled the firewall on SN-7"));
        QCOMPARE(networkSentence("SN-7"), QString("configured network parameters for SN-7"));
    }

    void messagesByGeneration()
    {
        const NetworkSettings s = staticWired();
        const QList<delivery::Message> text = messages(device("8.0.0"), s);
        QCOMPARE(text.size(), 2);
        QVERIFY(text.at(0).isText && text.at(1).isText);
        QCOMPARE(text.at(0).type, msg::Type::Firewall);
        QCOMPARE(text.at(0).bytes, firewallText(true));
        QCOMPARE(text.at(1).type, msg::Type::Network);
        QCOMPARE(text.at(1).bytes, networkText(s));
        QCOMPARE(text.at(1).sentence, QString("configured network parameters for SN-7"));

        const QList<delivery::Message> frames = messages(device("7.9.9"), s);
        QVERIFY(!frames.at(0).isText && !frames.at(1).isText);
        QCOMPARE(frames.at(0).bytes, firewallLegacyFrame(true));
        QCOMPARE(frames.at(1).bytes, networkLegacyFrame(s));
        QCOMPARE(frames.at(0).sentence, QString("enabled the firewall on SN-7"));
    }

    void wakeOnLanGate_data()
    {
        QTest::addColumn<commands::DeviceFacts>("facts");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("8.4.5 on 5.0.3") << device("8.4.5", "5.0.3") << true;
        QTest::newRow("agent 8.4.4") << device("8.4.4", "5.0.3") << false;
        QTest::newRow("firmware 5.0.2") << device("8.4.5", "5.0.2") << false;
        QTest::newRow("later versions") << device("9.0.0", "5.1.0") << true;
        QTest::newRow("type 4") << device("8.4.5", "5.0.3", 4) << true;
        QTest::newRow("type 9") << device("8.4.5", "5.0.3", 9) << true;
        QTest::newRow("type 5") << device("8.4.5", "5.0.3", 5) << false;
        QTest::newRow("type 11, a Pi") << device("8.4.5", "5.0.3", 11) << false;
        QTest::newRow("type 1") << device("8.4.5", "5.0.3", 1) << false;
    }
    void wakeOnLanGate()
    {
        QFETCH(commands::DeviceFacts, facts);
        QFETCH(bool, allowed);
        QCOMPARE(canSetWakeOnLan(facts), allowed);
    }

    void networkInfoRequestCodes_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("code"); // -1: no request
        QTest::newRow("8.4.6") << "8.4.6" << 1;
        QTest::newRow("9.0.0") << "9.0.0" << 1;
        QTest::newRow("8.4.5") << "8.4.5" << 0;
        QTest::newRow("8.4.0") << "8.4.0" << 0;
        QTest::newRow("8.3.9") << "8.3.9" << -1;
        QTest::newRow("7.2.0") << "7.2.0" << -1;
    }
    void networkInfoRequestCodes()
    {
        QFETCH(QString, version);
        QFETCH(int, code);
        QCOMPARE(int(networkInfoRequestCode(version).value_or(quint8(0xFF))), code < 0 ? 0xFF : code);
    }

    void wirelessListWanted()
    {
        QVERIFY(wantsWirelessList("yes"));
        QVERIFY(!wantsWirelessList("no"));
        QVERIFY(!wantsWirelessList(""));
    }

    void reportedNetworks()
    {
        const QList<WirelessNetwork> networks =
            visibleNetworks({"\\x00", "\\x00\\x00\\x00\tchannel\t11\ton", "Office\t6\t55\ton",
                             "Guest\t11\t30\toff", "", "Office\t1\t20\ton", "Lab\\x00", "Bare"});
        QStringList names;
        for (const WirelessNetwork& n : networks)
            names << n.ssid;
        // Hidden networks (only "\x00" sequences) and repeats go; a name that merely contains
        // the sequence stays.
        QCOMPARE(names, QStringList({"Office", "Guest", "Lab\\x00", "Bare"}));
        QVERIFY(!networks.at(0).open);
        QVERIFY(networks.at(1).open);

        QCOMPARE(networkLabel(networks.at(0)),
                 QString("Office").leftJustified(34) + "channel 6, quality 55/70");
        QCOMPARE(networkLabel(networks.at(1)),
                 QString("Guest").leftJustified(34) + "open, channel 11, quality 30/70");
        QCOMPARE(networkLabel(networks.at(3)), QString("Bare"));
    }
};

RVX_TEST_MAIN(TestNetworkRules)
#include "test_networkrules.moc"
