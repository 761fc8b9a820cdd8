// The rules of the device commands: version and eligibility gates, the bytes and texts sent
// to both agent generations, the audit sentences and the summaries.

#include "commands.h"
#include "testmain.h"

#include <cstring>

using namespace commands;

Q_DECLARE_METATYPE(commands::DeviceFacts)

namespace {

DeviceFacts device(const QString& client, const QString& firmware = QStringLiteral("4.10.0"), int type = 2,
                   int bootMode = BootNormal, bool online = true)
{
    DeviceFacts d;
    d.serial = QStringLiteral("SN1");
    d.hostname = QStringLiteral("lab-1");
    d.clientVersion = client;
    d.firmwareVersion = firmware;
    d.firmwareType = type;
    d.bootMode = bootMode;
    d.online = online;
    d.macAddress = QStringLiteral("00:11:22:aa:bb:cc");
    d.ipAddress = QStringLiteral("10.77.0.2");
    d.netmask = QStringLiteral("255.255.255.0");
    return d;
}

using rvx::test::bytes;

} // namespace

class TestCommandRules : public QObject
{
    Q_OBJECT

private slots:
    void transportFollowsAgentVersion()
    {
        QVERIFY(!takesConfigurationText(device("7.9.9")));
        QVERIFY(takesConfigurationText(device("8.0.0")));
        QVERIFY(takesConfigurationText(device("10.0.0")));
        QVERIFY(!takesCompressedConfiguration(device("8.3.9")));
        QVERIFY(takesCompressedConfiguration(device("8.4.0")));
    }

    void eligibility_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<DeviceFacts>("facts");
        QTest::addColumn<bool>("eligible");
        QTest::newRow("restart: normal 8.4.0") << "restart" << device("8.4.0") << true;
        QTest::newRow("restart: maintenance")
            << "restart" << device("8.4.0", "4.10.0", 2, BootMaintenance) << false;
        QTest::newRow("restart: 8.3.9") << "restart" << device("8.3.9") << false;
        QTest::newRow("reboot: 8.2.0") << "reboot" << device("8.2.0") << true;
        QTest::newRow("reboot: 8.1.9") << "reboot" << device("8.1.9") << false;
        QTest::newRow("rrsh: 8.0.1 on 4.6.0") << "rrsh" << device("8.0.1", "4.6.0") << true;
        QTest::newRow("rrsh: 8.0.0") << "rrsh" << device("8.0.0", "4.6.0") << false;
        QTest::newRow("rrsh: firmware 4.5.9") << "rrsh" << device("8.4.0", "4.5.9") << false;
        QTest::newRow("vnc: 4.8.2") << "vnc" << device("8.3.0", "4.8.2") << true;
        QTest::newRow("vnc: 4.8.9") << "vnc" << device("8.3.0", "4.8.9") << true;
        QTest::newRow("vnc: 4.8.1") << "vnc" << device("8.3.0", "4.8.1") << false;
        QTest::newRow("vnc: 4.9.0 gap") << "vnc" << device("8.3.0", "4.9.0") << false;
        QTest::newRow("vnc: 4.9.7 gap") << "vnc" << device("8.3.0", "4.9.7") << false;
        QTest::newRow("vnc: 4.10.0") << "vnc" << device("8.3.0", "4.10.0") << true;
        QTest::newRow("vnc: agent 8.2.5") << "vnc" << device("8.2.5", "4.10.0") << false;
        QTest::newRow("reset state: 8.1.0") << "reset" << device("8.1.0") << true;
        QTest::newRow("reset state: 8.0.9") << "reset" << device("8.0.9") << false;
        QTest::newRow("pxe: type 2, agent 7") << "pxe" << device("7.5.0", "4.0.0", 2) << true;
        QTest::newRow("pxe: type 10") << "pxe" << device("8.0.0", "4.0.0", 10) << true;
        QTest::newRow("pxe: type 11, agent 8") << "pxe" << device("8.0.0", "4.0.0", 11) << true;
        QTest::newRow("pxe: type 11, agent 7") << "pxe" << device("7.5.0", "4.0.0", 11) << false;
        QTest::newRow("pxe: type 3") << "pxe" << device("8.4.0", "4.0.0", 3) << false;
        QTest::newRow("pxe: type 12") << "pxe" << device("8.4.0", "4.0.0", 12) << false;
    }

    void eligibility()
    {
        QFETCH(QString, rule);
        QFETCH(DeviceFacts, facts);
        QFETCH(bool, eligible);
        bool result = false;
        if (rule == "restart")
            result = canRestartMode(facts);
        else if (rule == "reboot")
            result = canRebootOrPowerOff(facts);
        else if (rule == "rrsh")
            result = canSetRemoteTriggering(facts);
        else if (rule == "vnc")
            result = canSetVncServer(facts) && canSetBeacon(facts);
        else if (rule == "reset")
            result = canSetResetState(facts);
        else if (rule == "pxe")
            result = canConfigurePxe(facts);
        QCOMPARE(result, eligible);
    }

    void wakeNeedsAnOfflineWiredX86DeviceWithItsAddresses()
    {
        DeviceFacts d = device("8.4.5", "4.10.0", 2, BootOffline, false);
        QVERIFY(canWake(d));
        QCOMPARE(wakeArguments(d), (QStringList{"001122aabbcc", "10.77.0.2", "255.255.255.0", "9"}));

        for (int type : {3, 4, 9, 10})
            QVERIFY2(canWake(device("8.4.5", "4.10.0", type, BootOffline, false)),
                     qPrintable(QString::number(type)));
        for (int type : {0, 1, 5, 8, 11, 14})
            QVERIFY2(!canWake(device("8.4.5", "4.10.0", type, BootOffline, false)),
                     qPrintable(QString::number(type)));

        QVERIFY(!canWake(device("8.4.5", "4.10.0", 2, BootNormal, true))); // already online
        QVERIFY(!canWake(device("8.4.4", "4.10.0", 2, BootOffline, false)));
        DeviceFacts noMac = d;
        noMac.macAddress.clear();
        QVERIFY(!canWake(noMac));
        DeviceFacts noAddress = d;
        noAddress.ipAddress = QStringLiteral("0.0.0.0");
        QVERIFY(!canWake(noAddress));
        DeviceFacts noMask = d;
        noMask.netmask = QStringLiteral("0.0.0.0");
        QVERIFY(!canWake(noMask));
    }

    void interruptionWarningsInOrder()
    {
        DeviceFacts d = device("8.4.0");
        QVERIFY(interruptionWarnings(Interruption::Reboot, d).isEmpty());
        d.printServer = d.pxeServer = d.beacon = true;
        const QList<InterruptionWarning> power = interruptionWarnings(Interruption::PowerOff, d);
        QCOMPARE(power.size(), 3);
        QCOMPARE(power.at(0).title, QString("Interrupt Services"));
        QCOMPARE(
            power.at(0).text,
            QString("The device named lab-1 is a print server. Interrupting this device may abort any print "
                    "jobs that are underway.\n\nAre you sure you want to power off this device?"));
        QCOMPARE(power.at(0).acknowledgement,
                 QString("acknowledged print server interruption warning for SN1"));
        QCOMPARE(power.at(1).acknowledgement,
                 QString("acknowledged PXE server interruption warning for SN1"));
        QCOMPARE(
            power.at(2).text,
            QString(
                "The device named lab-1 is a RVX beacon. While this device is down, devices in  its local "
                "IP subnet may be unable to locate a RVX server.\n\nAre you sure you want to power off "
                "this device?"));
        const QList<InterruptionWarning> maint = interruptionWarnings(Interruption::Maintenance, d);
        QCOMPARE(maint.size(), 3);
        QCOMPARE(maint.at(1).title, QString("Reboot Devices"));
        QCOMPARE(
            maint.at(1).text,
            QString("The device named lab-1 is a PXE boot server. Rebooting this device will cause devices "
                    "that are currently using this service to freeze.\n\nAre you sure you want to reboot "
                    "this device?"));
        QCOMPARE(maint.at(2).acknowledgement, QString("acknowledged beacon interruption warning for SN1"));
    }

    // Frames not already checked on the wire by the window's tests.
    void oneByteFrames()
    {
        QCOMPARE(refreshFrame(), bytes({5, 0, 0, 0}));
        QCOMPARE(restartModeFrame(), bytes({69, 0, 0, 0}));
        QCOMPARE(logLevelFrame(true), bytes({31, 0, 0, 1, 1}));
        QCOMPARE(logLevelText(true), QByteArray("log_level=2\n"));
        QCOMPARE(logLevelText(false), QByteArray("log_level=0\n"));
        QCOMPARE(powersaveFrame(false), bytes({41, 0, 0, 1, 0}));
        QCOMPARE(powersaveText(true), QByteArray("powersave=yes\n"));
    }

    void textSettingsInBothForms()
    {
        QCOMPARE(hostnameFrame("lab-7"), bytes({28, 0, 0, 8, 0, 6}) + "lab-7" + bytes({0}));
        QCOMPARE(hostnameText("lab-7"), QByteArray("brd_hostname=lab-7\n"));
        QCOMPARE(descriptionFrame(QString()), bytes({6, 0, 0, 3, 0, 1, 0}));
        QCOMPARE(descriptionText(QString::fromUtf8("Caf\xc3\xa9 desk")),
                 QByteArray("description=Caf\xe9 desk\n"));
        // A value can never end its line and smuggle in another setting.
        QCOMPARE(descriptionText("desk\nzylconfig_password=\r\n"),
                 QByteArray("description=deskzylconfig_password=\n"));
        QCOMPARE(descriptionFrame("a\nb"), bytes({6, 0, 0, 5, 0, 3}) + "ab" + bytes({0}));
    }

    void restrictedPasswordSwitchedOff()
    {
        QCOMPARE(restrictedPasswordFrame(QByteArray()), bytes({35, 0, 0, 3, 0, 1, 0}));
        QCOMPARE(restrictedPasswordText(QByteArray()), QByteArray("zylconfig_password=\n"));
        QVERIFY(isLatin1(QString::fromUtf8("caf\xc3\xa9")));
        QVERIFY(!isLatin1(QString::fromUtf8("\xe2\x82\xac uro")));
    }

    void optionalServices()
    {
        QCOMPARE(remoteTriggeringText(true), QByteArray("rrsh_enabled=yes\n"));
        QCOMPARE(beaconText(false), QByteArray("rvx_beacon_enabled=no\n"));
        QCOMPARE(vncText(false, "ignored"), QByteArray("x11vnc_enabled=no\n"));
        QCOMPARE(vncText(true, QString()), QByteArray("x11vnc_enabled=yes\nx11vnc_password=\n"));
        QCOMPARE(vncText(true, QString::fromUtf8("caf\xc3\xa9")),
                 QByteArray("x11vnc_enabled=yes\nx11vnc_password=Y2Fm6Q==\n"));
        // What this server wrote (Latin-1) and what a device wrote itself (UTF-8) both read back.
        QCOMPARE(vncPasswordFromStored("Y2Fm6Q=="), QString::fromUtf8("caf\xc3\xa9"));
        QCOMPARE(vncPasswordFromStored("Y2Fmw6k="), QString::fromUtf8("caf\xc3\xa9"));
        QCOMPARE(vncPasswordFromStored(QByteArray()), QString());
        QCOMPARE(shadowingText("relay.example", "443", true),
                 QByteArray("shadower_hostname=relay.example\nshadower_port=443\nshadower_view_only=yes\n"));
    }

    void pxeServer()
    {
        PxeSettings off;
        QCOMPARE(pxeText(off), QByteArray("pxe_server_enabled=no\npxe_server_pxe_only=yes\n"));
        QCOMPARE(pxeLegacyFrame(off, true), bytes({37, 2, 0, 2, 1, 0}));

        PxeSettings on;
        on.enabled = true;
        on.pxeOnly = false;
        on.rangeLow = "10.0.0.10";
        on.rangeHigh = "10.0.0.20";
        on.subnet = "10.0.0.0";
        on.netmask = "255.0.0.0";
        on.diskless = true;
        QCOMPARE(pxeText(on), QByteArray("pxe_server_enabled=yes\npxe_server_pxe_only=no\n"
                                         "pxe_server_range_low=10.0.0.10\npxe_server_range_high=10.0.0.20\n"
                                         "pxe_server_subnet=10.0.0.0\npxe_server_netmask=255.0.0.0\n"
                                         "pxe_server_mode=diskless\n"));
        QByteArray payload = bytes({0, 1, 0});
        for (const char* s : {"10.0.0.10", "10.0.0.20", "10.0.0.0", "255.0.0.0"})
            payload += bytes({0, int(strlen(s)) + 1}) + s + bytes({0});
        payload += bytes({0}); // diskless
        QCOMPARE(pxeLegacyFrame(on, false), bytes({37, 2, 0, int(payload.size())}) + payload);
        on.diskless = false;
        QVERIFY(pxeText(on).endsWith("pxe_server_mode=provision\n"));
        QCOMPARE(pxeLegacyFrame(on, true).at(4), char(1));       // power saving kept on
        QCOMPARE(pxeLegacyFrame(on, true).right(1), bytes({1})); // provision
    }

    void discoveryStartMode_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<int>("mode");
        QTest::newRow("name wins") << QByteArray("static") << QByteArray("0") << 2;
        QTest::newRow("bcast") << QByteArray("bcast") << QByteArray() << 0;
        QTest::newRow("dhcp") << QByteArray("dhcp") << QByteArray("1") << 3;
        QTest::newRow("number when no name") << QByteArray() << QByteArray("2") << 2;
        QTest::newRow("unknown name, number") << QByteArray("carrier-pigeon") << QByteArray("0") << 0;
        QTest::newRow("number above 3") << QByteArray() << QByteArray("7") << 1;
        QTest::newRow("not a number") << QByteArray() << QByteArray("x") << 1;
        QTest::newRow("nothing") << QByteArray() << QByteArray() << 1;
    }

    void discoveryStartMode()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, number);
        QFETCH(int, mode);
        QCOMPARE(discoveryMode(name, number), mode);
        QCOMPARE(beaconAllowed(name, number), mode == 2);
    }

    void discoveryTexts()
    {
        DiscoverySettings s{2, "rvx.lab", "8086", "5"};
        QCOMPARE(discoveryText(s), QByteArray("rvx_server_mode=2\nrvx_discovery_mode=static\n"
                                              "rvx_server_hostname=rvx.lab\nrvx_server_port=8086\n"
                                              "rvx_server_defined=yes\nrvx_retry_interval=5\n"));
        QCOMPARE(discoveryLegacyFrame(s),
                 bytes({30, 1, 0, 20, 2, 0, 8}) + "rvx.lab" + bytes({0, 0, 5}) + "8086" + bytes({0, 0, 5}));
        s.mode = 1;
        QVERIFY(discoveryText(s).contains("rvx_discovery_mode=auto\n"));
        QVERIFY(discoveryText(s).contains("rvx_server_defined=no\n"));
        DiscoverySettings bcast{0, QString(), QString(), "300"};
        QCOMPARE(discoveryText(bcast), QByteArray("rvx_server_mode=0\nrvx_discovery_mode=bcast\n"
                                                  "rvx_server_defined=no\nrvx_retry_interval=300\n"));
        QCOMPARE(discoveryLegacyFrame(bcast), bytes({30, 1, 0, 3, 0, 1, 44}));
        DiscoverySettings dhcp{3, QString(), QString(), "3"};
        QVERIFY(discoveryText(dhcp).startsWith(
            "rvx_server_mode=3\nrvx_discovery_mode=dhcp\nrvx_server_defined=no\n"));
    }

    void usbRedirections()
    {
        const QByteArray stored =
            "usb_redir_dev1=0781_5567\nusb_redir_dev2=046d_c52b\nusb_redir_dev3=1234_0001\n"
            "rdp_usb_redirections=0781:5567 046d:c52b 1234:0001\n";
        QCOMPARE(numberedRedirections(stored), (QStringList{"0781:5567", "046d:c52b", "1234:0001"}));
        QCOMPARE(highestRedirectionNumber(stored), 3);
        QCOMPARE(highestRedirectionNumber("usb_redir_dev4=\nusb_redir_dev2=a_b\n"), 2);

        // rdp: numbered lines first; numbers no longer used are sent empty.
        QCOMPARE(usbRedirectionText("rdp", {"046d:c52b"}, {"0781:5567", "1d6b:0002"}, 3),
                 QByteArray("usb_redir_dev1=046d_c52b\nusb_redir_dev2=\nusb_redir_dev3=\n"
                            "rdp_usb_redirections=046d:c52b\nrdp_usb_redir_denied=0781:5567 1d6b:0002\n"));
        // Other protocols carry only their two lists.
        QCOMPARE(usbRedirectionText("hdx", {}, {}, 3),
                 QByteArray("hdx_usb_redirections=\nhdx_usb_redir_denied=\n"));
        // An id cannot break its line or the blank-separated list.
        QCOMPARE(usbRedirectionText("vmview", {"ab cd\nx"}, {}, 0),
                 QByteArray("vmview_usb_redirections=abcdx\nvmview_usb_redir_denied=\n"));

        QCOMPARE(usbRedirectionLegacyFrame({"0781:5567", "046d:c52b"}), bytes({44, 0, 0, 26, 0, 2, 0, 10}) +
                                                                            "0781:5567" + bytes({0, 0, 10}) +
                                                                            "046d:c52b" + bytes({0}));
    }

    void sendCommandSentences_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("sentence"); // empty: none
        QTest::newRow("4") << bytes({4, 0, 0, 0}) << "set time zone and language on SN9";
        QTest::newRow("21") << bytes({21, 1, 0, 0}) << "retrieved log files from SN9";
        QTest::newRow("27") << resetToDefaultsFrame() << "reset configuration on SN9";
        QTest::newRow("28") << hostnameFrame("lab-2") << "set hostname to lab-2 on SN9";
        QTest::newRow("30") << discoveryLegacyFrame({2, "h", "1", "3"})
                            << "set RVX discovery mode to 2 on SN9";
        QTest::newRow("31 debug") << logLevelFrame(true) << "set client log level to Debug on SN9";
        QTest::newRow("31 quiet") << logLevelFrame(false) << "set client log level to Quiet on SN9";
        QTest::newRow("35") << restrictedPasswordFrame("d") << "set Restricted Feature Password on SN9";
        QTest::newRow("41 on") << powersaveFrame(true) << "enabled power saving on SN9";
        QTest::newRow("41 off") << powersaveFrame(false) << "disabled power saving on SN9";
        QTest::newRow("45") << bytes({45, 0, 0, 0}) << "synchonized dsi content on SN9";
        QTest::newRow("49") << bytes({49, 0, 0, 3}) + "a\nb"
                            << "approved storage devices for SN9; approved storage "
                               "was as follows:\na\nb";
        QTest::newRow("57 current") << resetStateFrame(false) << "set a custom reset state on SN9";
        QTest::newRow("57 factory") << resetStateFrame(true) << "set factory reset state on SN9";
        QTest::newRow("6") << descriptionFrame("x") << "sent command 6 to SN9";
        QTest::newRow("top bit ignored") << bytes({0x80 | 27, 0, 0, 0}) << "reset configuration on SN9";
        // Install file: 32-bit length, kind, (kind 5: password), destination name.
        QTest::newRow("38") << bytes({38, 1, 0, 0, 0, 9, 1, 0, 6}) + "ca.crt" + bytes({0})
                            << "installed file ca.crt on SN9";
        QTest::newRow("38 kind 5") << bytes({38, 1, 0, 0, 0, 14, 5, 0, 3}) + "pw" + bytes({0, 0, 6}) +
                                          "b.pfx" + bytes({0})
                                   << "installed file b.pfx on SN9";
        for (int silent : {5, 18, 33, 42, 43, 48, 68})
            QTest::newRow(qPrintable(QString("silent %1").arg(silent)))
                << bytes({silent, 0, 0, 0}) << QString();
    }

    void sendCommandSentences()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, sentence);
        const std::optional<QString> result = sendCommandSentence(frame, "SN9");
        QCOMPARE(result.has_value(), !sentence.isEmpty());
        if (result)
            QCOMPARE(*result, sentence);
    }

    void summaries()
    {
        QVERIFY(!summaryText(Summary::RestartMode, 3, 0));
        QVERIFY(!summaryText(Summary::Wake, 3, 0));
        QVERIFY(!summaryText(Summary::Reboot, 3, 0));
        QVERIFY(!summaryText(Summary::ResetState, 3, 0));
        QCOMPARE(*summaryText(Summary::VncOrBeacon, 2, 0), QString("The command was sent to 2 device(s)."));
        QCOMPARE(
            *summaryText(Summary::VncOrBeacon, 2, 1),
            QString(
                "The command was sent to 2 device(s).\n\n1 device(s) were ignored because their  firmware "
                "or client version is too old (<  4.10.0/4.8.2 and 8.3.0 respectively)."));
        QCOMPARE(
            *summaryText(Summary::RemoteTriggering, 0, 4),
            QString(
                "The command was sent to 0 device(s).\n\n4 device(s) were ignored because their  firmware "
                "or client version is too old (<  4.6.0 and 8.0.1 respectively)."));
        QCOMPARE(
            *summaryText(Summary::Reboot, 1, 2),
            QString("The command was sent to 1 device(s).\n\n2 device(s) cannot action the request because "
                    "their client version is too old (< 8.2.0)."));
        QCOMPARE(
            *summaryText(Summary::ResetState, 1, 1),
            QString("The Set Reset State instruction was sent to 1 device(s).\n\n1 device(s) were ignored "
                    "because their client version is too old (< 8.1.0)."));
        QVERIFY(summaryText(Summary::Wake, 0, 2)
                    ->startsWith("Wake-on-LAN packet has been sent to 0 device(s).\n\n2 "));
        QVERIFY(summaryText(Summary::RestartMode, 1, 1)
                    ->startsWith("Mode applications were restarted on 1 device(s)."));
    }
};

RVX_TEST_MAIN(TestCommandRules)
#include "test_commandrules.moc"
