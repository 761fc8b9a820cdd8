#include "configlib.h"
#include "legacy.h"
#include "testmain.h"
#include "wire.h"

using wire::lpString;

namespace {

QByteArray u16(quint16 value)
{
    QByteArray out;
    wire::appendU16(out, value);
    return out;
}

using rvx::test::bytes;

QByteArray lines(const QStringList& list)
{
    return (list.join('\n') + '\n').toLatin1();
}

LegacyIdentification sampleIdentification()
{
    LegacyIdentification id;
    id.serialNumber = "SN-0042";
    id.macAddress = "00:11:22:33:44:55";
    id.hardwareName = "ZYL RPi 4";
    id.ipAddress = "10.77.0.9";
    id.hostname = "reception";
    id.firmwareVersion = "7.2.1";
    id.clientVersion = "7.0.3";
    id.kernelVersion = "5.10";
    id.description = "front desk";
    id.protocol = "rdp";
    id.server = "ts.example";
    id.cmdlineArgs = "/f";
    id.timeServer = "ntp.example";
    id.timezone = "Europe/Paris";
    id.rvxServerHostname = "rvx-host";
    id.rvxServerPort = "8085";
    id.dns1 = "10.0.0.1";
    id.dns2 = "";
    id.dspath = "example";
    id.nicEnabled = "yes";
    id.nicDhcpEnabled = "no";
    id.nicIp = "10.77.0.9";
    id.nicNetmask = "255.255.255.0";
    id.nicGateway = "10.77.0.1";
    id.wirelessEnabled = "no";
    id.kbdModel = "pc105";
    id.kbdLayout = "fr";
    id.kbdVariant = "none";
    id.kbdOption = "none";
    id.firewall = true;
    id.powersave = false;
    id.pxeEnabled = true;
    id.pxeOnly = false;
    id.pxeRangeLow = "10.77.0.100";
    id.pxeRangeHigh = "10.77.0.200";
    id.pxeSubnet = "10.77.0.0";
    id.pxeNetmask = "255.255.255.0";
    id.pxeMode = 2;
    id.bootMode = 3;
    id.discoveryMode = 2;
    id.autologin = true;
    id.autoReconnect = false;
    return id;
}

} // namespace

class TestLegacy : public QObject
{
    Q_OBJECT

private slots:
    void conversions_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("text");

        QTest::newRow("time zone") << 4 << 0 << lpString("Europe/Oslo") + lpString("ntp.local")
                                   << lines({"timezone=Europe/Oslo", "time_server=ntp.local"});
        QTest::newRow("description") << 6 << 0 << lpString("hall") << lines({"description=hall"});
        QTest::newRow("hostname") << 28 << 0 << lpString("pc-7") << lines({"brd_hostname=pc-7"});
        QTest::newRow("firewall off") << 36 << 0 << bytes({0}) << QByteArray("firewall_enabled=no\n");
        QTest::newRow("firewall on") << 36 << 0 << bytes({7}) << QByteArray("firewall_enabled=yes\n");
        QTest::newRow("application mode code 1")
            << 18 << 1 << lpString("rdp") + lpString("ts1") + bytes({1, 0})
            << lines({"connection_type=rdp", "rdp_server=ts1", "rdp_auto_reconnect=yes",
                      "rdp_autologin_enabled=no"});
        QTest::newRow("application mode code 2")
            << 18 << 2 << lpString("hdx") + lpString("") + bytes({0, 1}) + lpString("-x y")
            << lines({"connection_type=hdx", "hdx_server=", "hdx_auto_reconnect=no",
                      "hdx_autologin_enabled=yes", "hdx_cmdline_args=-x y"});
        QTest::newRow("network, interfaces off")
            << 29 << 0
            << lpString("1.1.1.1") + lpString("") + lpString("corp") + lpString("no") + lpString("no")
            << lines({"dns1=1.1.1.1", "dns2=", "dspath=corp", "nic_enabled=no", "nic_wireless_enabled=no"});
        QTest::newRow("network, wired (any case) and host name")
            << 29 << 0
            << lpString("d1") + lpString("d2") + lpString("p") + lpString("YES") + lpString("no") +
                   lpString("1.2.3.4") + lpString("255.0.0.0") + lpString("1.0.0.1") + lpString("no") +
                   QByteArray("lab-3\0", 6)
            << lines({"dns1=d1", "dns2=d2", "dspath=p", "nic_enabled=YES", "nic_dhcp_enabled=no",
                      "nic_ip=1.2.3.4", "nic_netmask=255.0.0.0", "nic_gateway=1.0.0.1",
                      "nic_wireless_enabled=no", "brd_hostname=lab-3"});
        QTest::newRow("network, wireless and RADIUS, certificate with two dots")
            << 29 << 1
            << lpString("d1") + lpString("") + lpString("") + lpString("no") + lpString("yes") +
                   lpString("yes") + lpString("") + lpString("") + lpString("") + lpString("Office Wi-Fi") +
                   lpString("wpa2") + lpString("pa:ss") + QByteArray("alice\0", 6) +
                   lpString("client.corp.pem")
            << lines({"dns1=d1", "dns2=", "dspath=", "nic_enabled=no", "nic_wireless_enabled=yes",
                      "nic_wireless_dhcp_enabled=yes", "nic_wireless_ip=", "nic_wireless_netmask=",
                      "nic_wireless_gateway=", "nic_wireless_ssid=Office Wi-Fi", "nic_wireless_security=wpa2",
                      "nic_wireless_password=cGE6c3M=", "nic_wireless_radius_username=alice",
                      "nic_wireless_radius_privkey=/etc/ssl/private/client.corp_pem.key",
                      "nic_wireless_radius_pubkey=/etc/ssl/certs/client.corp_pem.crt",
                      "nic_wireless_radius_cacert=/etc/ssl/certs/client.corp_pem-ca.crt"});
        QTest::newRow("network, certificate without a dot, empty host name")
            << 29 << 1
            << lpString("") + lpString("") + lpString("") + lpString("no") + lpString("no") +
                   QByteArray("\0", 1) + lpString("cert") + QByteArray("\0", 1)
            << lines(
                   {"dns1=", "dns2=", "dspath=", "nic_enabled=no", "nic_wireless_enabled=no",
                    "nic_wireless_radius_username=", "nic_wireless_radius_privkey=/etc/ssl/private/cert.key",
                    "nic_wireless_radius_pubkey=/etc/ssl/certs/cert.crt",
                    "nic_wireless_radius_cacert=/etc/ssl/certs/cert-ca.crt"});
        const QByteArray keyboard = lpString("pc105") + lpString("de") + lpString("nodeadkeys") +
                                    lpString("none") + u16(12) + u16(3) + u16(0) + u16(99);
        const QStringList keyboardLines{"kbd_model=pc105",   "kbd_layout=de",       "kbd_variant=nodeadkeys",
                                        "kbd_option=none",   "kbd_layout_index=12", "kbd_variant_index=3",
                                        "kbd_option_index=0"};
        const QByteArray extra =
            u16(4) + lpString("German") + u16(1) + u16(80) + u16(5) + u16(0) + lpString("hdmi");
        const QStringList extraLines{"kbd_citrix_layout_index=4", "kbd_citrix_layout=German",
                                     "num_lock_enabled=yes",      "audio_volume=80",
                                     "mouse_sensitivity=5",       "mouse_is_righthanded=no",
                                     "audio_port_type=hdmi"};
        QTest::newRow("keyboard code 0") << 34 << 0 << keyboard << lines(keyboardLines);
        QTest::newRow("keyboard code 1") << 34 << 1 << keyboard + extra << lines(keyboardLines + extraLines);
        QTest::newRow("keyboard code 2")
            << 34 << 2 << keyboard + extra + u16(1)
            << lines(keyboardLines + extraLines + QStringList{"on_screen_kbd_enabled=yes"});
        // The form the server sends older agents ends with a single byte.
        QTest::newRow("keyboard code 2, one-byte on-screen keyboard")
            << 34 << 2 << keyboard + extra + bytes({1})
            << lines(keyboardLines + extraLines + QStringList{"on_screen_kbd_enabled=yes"});
        QTest::newRow("power saving, PXE off")
            << 37 << 0 << bytes({1, 0}) << lines({"powersave=yes", "pxe_server_enabled=no"});
        QTest::newRow("power saving, PXE on")
            << 37 << 0
            << bytes({0, 1, 1}) + lpString("10.0.0.10") + lpString("10.0.0.20") + lpString("10.0.0.0") +
                   lpString("255.255.255.0") + bytes({2})
            << lines({"powersave=no", "pxe_server_enabled=yes", "pxe_server_pxe_only=yes",
                      "pxe_server_range_low=10.0.0.10", "pxe_server_range_high=10.0.0.20",
                      "pxe_server_subnet=10.0.0.0", "pxe_server_netmask=255.255.255.0", "pxe_server_mode=2"});
        QTest::newRow("a value cannot add lines")
            << 28 << 0 << lpString("pc\nzylconfig_password=x") << lines({"brd_hostname=pc"});
    }
    void conversions()
    {
        QFETCH(int, type);
        QFETCH(int, code);
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, text);
        const std::optional<LegacyReport> report = legacy_convert(type, code, payload);
        QVERIFY(report);
        QCOMPARE(report->text, text);
        QCOMPARE(report->category, type);
        // Every line the conversion writes is configuration of the message's category (power
        // saving, of its own category, rides in the PXE message).
        for (const QByteArray& line : report->text.split('\n')) {
            if (!line.isEmpty())
                QVERIFY2(config_line_in_category(line, line.startsWith("powersave=") ? 41 : type),
                         line.constData());
        }
        // A payload cut short is refused, not read past its end (a keyboard message may end
        // with a one-byte field, so one cut short by two).
        const int cut = type == 34 && code == 2 ? 2 : 1;
        if (type != 29)
            QVERIFY(!legacy_convert(type, code, payload.left(payload.size() - cut)));
    }

    void recordFields()
    {
        const auto description = legacy_convert(6, 0, lpString(QByteArray(70, 'd')));
        QCOMPARE(description->description.value_or(QString()), QString(63, 'd'));
        QVERIFY(description->storeBlock);
        const auto hostname = legacy_convert(28, 0, lpString(QByteArray(50, 'h')));
        QCOMPARE(hostname->hostname.value_or(QString()), QString(39, 'h'));
        const auto mode = legacy_convert(18, 1, lpString("spice") + lpString("s") + bytes({0, 0}));
        QCOMPARE(int(mode->protocolType.value_or(99)), 7);
        const auto unknown = legacy_convert(18, 1, lpString("foo") + lpString("s") + bytes({0, 0}));
        QCOMPARE(int(unknown->protocolType.value_or(99)), 0);
        const auto pxe = legacy_convert(37, 0, bytes({1, 0}));
        QCOMPARE(pxe->pxeServerEnabled, std::optional<bool>(false));
        QVERIFY(pxe->storeBlock);
        const auto timezone = legacy_convert(4, 0, lpString("UTC") + lpString(""));
        QVERIFY(!timezone->storeBlock);
        // The network message stores the record only when it names a host.
        const QByteArray network =
            lpString("") + lpString("") + lpString("") + lpString("no") + lpString("no");
        QVERIFY(!legacy_convert(29, 0, network)->hostname);
        QCOMPARE(legacy_convert(29, 0, network + "pc-9")->hostname.value_or(QString()),
                 QStringLiteral("pc-9"));
    }

    void notConverted()
    {
        QVERIFY(!legacy_convert(18, 0, lpString("rdp") + lpString("s") + bytes({0, 0})));
        for (int code : {0, 1, 2, 7})
            QVERIFY(!legacy_convert(5, code, legacy_identification_encode(sampleIdentification(), 3)));
        for (int type : {7, 31, 55, 72})
            QVERIFY(!legacy_convert(type, 0, lpString("x")));
        // Required parts missing: the RADIUS certificate and the wired group.
        QVERIFY(!legacy_convert(
            29, 1, lpString("") + lpString("") + lpString("") + lpString("no") + lpString("no")));
        QVERIFY(!legacy_convert(
            29, 0, lpString("") + lpString("") + lpString("") + lpString("yes") + lpString("no")));
    }

    void identification_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("code 3") << 3;
        QTest::newRow("code 6") << 6;
    }
    void identification()
    {
        QFETCH(int, code);
        const LegacyIdentification id = sampleIdentification();
        const QByteArray payload = legacy_identification_encode(id, quint8(code));
        const std::optional<LegacyReport> report = legacy_convert(5, quint8(code), payload);
        QVERIFY(report);
        QStringList expected{"description=front desk",
                             "connection_type=rdp",
                             "rdp_server=ts.example",
                             "time_server=ntp.example",
                             "brd_hostname=reception",
                             "timezone=Europe/Paris",
                             "rdp_cmdline_args=/f",
                             "rvx_server_hostname=rvx-host",
                             "rvx_server_port=8085",
                             "rvx_server_defined=yes",
                             "dns1=10.0.0.1",
                             "dns2=",
                             "dspath=example",
                             "nic_enabled=yes",
                             "nic_dhcp_enabled=no",
                             "nic_ip=10.77.0.9",
                             "nic_netmask=255.255.255.0",
                             "nic_gateway=10.77.0.1",
                             "nic_wireless_enabled=no",
                             "kbd_model=pc105",
                             "kbd_layout=fr",
                             "kbd_variant=none",
                             "kbd_option=none",
                             "firewall_enabled=yes",
                             "powersave=no",
                             "pxe_server_enabled=yes",
                             "pxe_server_pxe_only=no",
                             "pxe_server_range_low=10.77.0.100",
                             "pxe_server_range_high=10.77.0.200",
                             "pxe_server_subnet=10.77.0.0",
                             "pxe_server_netmask=255.255.255.0",
                             "rvx_server_mode=2",
                             "rvx_discovery_mode=static",
                             "rdp_autologin_enabled=yes",
                             "rdp_auto_reconnect=no"};
        if (code == 6)
            expected << "pxe_server_mode=2";
        QCOMPARE(report->text, lines(expected));
        QCOMPARE(report->category, CATEGORY_ALL);
        QVERIFY(report->storeBlock);
        QCOMPARE(report->serialNumber.value_or(QString()), QStringLiteral("SN-0042"));
        QCOMPARE(report->macAddress.value_or(QString()), QStringLiteral("00:11:22:33:44:55"));
        QCOMPARE(report->firmwareVersion.value_or(QString()), QStringLiteral("7.2.1"));
        QCOMPARE(report->clientVersion.value_or(QString()), QStringLiteral("7.0.3"));
        QCOMPARE(report->kernelVersion.value_or(QString()), QStringLiteral("5.10"));
        QCOMPARE(report->hostname.value_or(QString()), QStringLiteral("reception"));
        QCOMPARE(report->description.value_or(QString()), QStringLiteral("front desk"));
        QCOMPARE(int(report->firmwareType.value_or(0)), 12);
        QCOMPARE(report->ipAddress.value_or(0), quint32(0x0A4D0009));
        QCOMPARE(int(report->protocolType.value_or(0)), 3);
        QCOMPARE(report->pxeServerEnabled, std::optional<bool>(true));
        QCOMPARE(int(report->bootMode.value_or(0)), 3);
        // The whole text is configuration: every line belongs to some category.
        for (const QByteArray& line : report->text.split('\n')) {
            if (!line.isEmpty())
                QVERIFY2(config_line_category(line) >= 0, line.constData());
        }
        QVERIFY(!legacy_convert(5, quint8(code), payload.left(payload.size() - 1)));
    }

    void identificationDefaultsAndOddValues()
    {
        LegacyIdentification id = sampleIdentification();
        id.protocol = "";
        id.rvxServerPort = "";
        id.discoveryMode = 9;
        id.hardwareName = "Unknown Box";
        id.ipAddress = "10.77.0.300";
        id.nicEnabled = "no";
        id.wirelessEnabled = "Yes";
        id.wirelessSsid = "lab";
        id.wirelessPassword = "\xe9t\xe9";
        const std::optional<LegacyReport> report = legacy_convert(5, 4, legacy_identification_encode(id, 4));
        QVERIFY(report);
        const QByteArray& text = report->text;
        QCOMPARE(config_text_get_value("connection_type", text), QByteArray("netop"));
        QCOMPARE(config_text_get_value("netop_server", text), QByteArray("ts.example"));
        QCOMPARE(config_text_get_value("netop_auto_reconnect", text), QByteArray("no"));
        QCOMPARE(config_text_get_value("rvx_server_defined", text), QByteArray("no"));
        QCOMPARE(config_text_get_value("rvx_server_mode", text), QByteArray("9"));
        QCOMPARE(config_text_get_value("rvx_discovery_mode", text), QByteArray("auto"));
        QCOMPARE(config_text_get_value("nic_wireless_ssid", text), QByteArray("lab"));
        QCOMPARE(config_text_get_value("nic_wireless_password", text), QByteArray("6XTp"));
        QVERIFY(!text.contains("nic_ip="));
        QVERIFY(!text.contains("pxe_server_mode="));
        QCOMPARE(int(report->protocolType.value_or(99)), 6);
        QVERIFY(!report->firmwareType);
        QVERIFY(!report->ipAddress);
    }
};

RVX_TEST_MAIN(TestLegacy)
#include "test_legacy.moc"
