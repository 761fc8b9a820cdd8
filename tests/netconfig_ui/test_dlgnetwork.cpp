// The network dialog: what it opens with, the Wake-on-LAN gate, the checks on OK with their
// boxes, the wireless list and the network status from the device, the certificate upload,
// and the requests it makes.

#include "ask.h"
#include "dialogfixture.h"
#include "dlgnetwork.h"
#include "guisupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

using rvx::Ask;

Q_DECLARE_METATYPE(commands::DeviceFacts)

namespace {

commands::DeviceFacts device(const QString& client = "8.4.6", const QString& firmware = "5.0.3", int type = 2)
{
    commands::DeviceFacts d;
    d.serial = "SN-N1";
    d.hostname = "lab-1";
    d.clientVersion = client;
    d.firmwareVersion = firmware;
    d.firmwareType = type;
    d.online = true;
    return d;
}

const QList<QPair<QByteArray, QByteArray>> kStored{
    {"firewall_enabled", "NO"},
    {"dns1", "10.77.0.53"},
    {"dspath", "lab.example"},
    {"nic_enabled", "yes"},
    {"nic_dhcp_enabled", "no"},
    {"nic_ip", "10.77.0.20"},
    {"nic_netmask", "255.255.255.0"},
    {"nic_gateway", "10.77.0.1"},
    {"nic_wol_enabled", "yes"},
    {"nic_security", "8021x_password"},
    {"nic_radius_username", "alice"},
    {"nic_password", "cORzc3dvcmQ="}, // "pässword"
    {"nic_wireless_enabled", "yes"},
    {"nic_wireless_dhcp_enabled", "yes"},
    {"nic_wireless_ssid", "Office"},
    {"nic_wireless_security", "wpa2_personal"},
    {"nic_wireless_password", "d2lmaQ=="}, // "wifi"
};

QString data(QComboBox* box)
{
    return box->currentData().toString();
}

} // namespace

class TestDlgNetwork : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::clearRecords(); }

    void opensWithStoredValues()
    {
        setStore(kStored);
        DlgNetwork dialog(nullptr, device());
        QCOMPARE(dialog.windowTitle(), QString("Configure Network"));
        QVERIFY(!child<QCheckBox>(dialog, "chbxFirewall")->isChecked()); // "NO" in any case
        QCOMPARE(child<QLineEdit>(dialog, "tbxDns1")->text(), QString("10.77.0.53"));
        QVERIFY(child<QGroupBox>(dialog, "grbxWired")->isChecked());
        QCOMPARE(child<QComboBox>(dialog, "cmbxWiredAddressing")->currentText(), QString("Static"));
        QCOMPARE(child<QLineEdit>(dialog, "tbxWiredGateway")->text(), QString("10.77.0.1"));
        QVERIFY(child<QCheckBox>(dialog, "chbxWakeOnLan")->isChecked());
        QCOMPARE(child<QComboBox>(dialog, "cmbxWiredSecurity")->currentText(), QString("802.1X (password)"));
        QCOMPARE(child<QLineEdit>(dialog, "tbxWiredPassword")->text(), QString("pässword"));
        QVERIFY(child<QLineEdit>(dialog, "tbxWiredPassword")->isEnabled());
        QVERIFY(!child<QLineEdit>(dialog, "tbxWiredCertificate")->isEnabled());
        QVERIFY(child<QGroupBox>(dialog, "grbxWireless")->isChecked());
        QCOMPARE(child<QComboBox>(dialog, "cmbxSsid")->currentText(), QString("Office"));
        QCOMPARE(child<QComboBox>(dialog, "cmbxWirelessSecurity")->currentText(),
                 QString("WPA / WPA2 Personal"));
        QCOMPARE(child<QLineEdit>(dialog, "tbxWirelessPassword")->text(), QString("wifi"));
        QVERIFY(!child<QLineEdit>(dialog, "tbxWirelessUser")->isEnabled());
        QVERIFY(!child<QLineEdit>(dialog, "tbxWirelessIp")->isEnabled()); // DHCP

        // Unchanged, OK gives back what the device has.
        child<QPushButton>(dialog, "btnShowWiredPassword")->click();
        QCOMPARE(child<QLineEdit>(dialog, "tbxWiredPassword")->echoMode(), QLineEdit::Normal);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const QByteArray text = netconfig::networkText(dialog.settings());
        for (const auto& entry : kStored) {
            if (entry.first != "firewall_enabled")
                QCOMPARE(config_text_get_value(entry.first, text), entry.second);
        }
        QVERIFY(!dialog.settings().firewall);
        QCOMPARE(config_text_get_value("brd_hostname", text), QByteArray("lab-1"));
    }

    void emptyStoreOpensWithDeviceDefaults()
    {
        setStore({});
        DlgNetwork dialog(nullptr, device());
        QVERIFY(child<QCheckBox>(dialog, "chbxFirewall")->isChecked());
        QVERIFY(!child<QGroupBox>(dialog, "grbxWired")->isChecked());
        QCOMPARE(data(child<QComboBox>(dialog, "cmbxWiredAddressing")), QString("yes"));
        QCOMPARE(data(child<QComboBox>(dialog, "cmbxWiredSecurity")), QString("none"));
        QCOMPARE(data(child<QComboBox>(dialog, "cmbxWirelessSecurity")), QString("none"));
        QCOMPARE(child<QComboBox>(dialog, "cmbxWiredAddressing")->count(), 3);
    }

    // Values a newer agent knows stay selected and go back unchanged.
    void unknownStoredValuesAreKept()
    {
        setStore({{"nic_enabled", "yes"},
                  {"nic_dhcp_enabled", "yesv6"},
                  {"nic_security", "8021x_peap"},
                  {"nic_radius_username", "alice"},
                  {"nic_wireless_enabled", "yes"},
                  {"nic_wireless_ssid", "Office"},
                  {"nic_wireless_security", "owe"}});
        DlgNetwork dialog(nullptr, device());
        auto* security = child<QComboBox>(dialog, "cmbxWirelessSecurity");
        QCOMPARE(security->currentText(), QString("owe"));
        QCOMPARE(security->count(), 8);
        QVERIFY(child<QLineEdit>(dialog, "tbxWirelessPassword")->isEnabled());
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const QByteArray text = netconfig::networkText(dialog.settings());
        QCOMPARE(config_text_get_value("nic_wireless_security", text), QByteArray("owe"));
        QCOMPARE(config_text_get_value("nic_security", text), QByteArray("8021x_peap"));
        QCOMPARE(config_text_get_value("nic_dhcp_enabled", text), QByteArray("yesv6"));
    }

    void wakeOnLanGate_data()
    {
        QTest::addColumn<commands::DeviceFacts>("facts");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("agent 8.4.4") << device("8.4.4", "5.0.3") << false;
        QTest::newRow("agent 8.4.5") << device("8.4.5", "5.0.3") << true;
        QTest::newRow("firmware 5.0.2") << device("8.4.5", "5.0.2") << false;
        QTest::newRow("a Pi") << device("8.4.6", "5.1.0", 12) << false;
    }
    void wakeOnLanGate()
    {
        QFETCH(commands::DeviceFacts, facts);
        QFETCH(bool, enabled);
        setStore({{"nic_enabled", "yes"}, {"nic_wol_enabled", "yes"}});
        DlgNetwork dialog(nullptr, facts);
        auto* wol = child<QCheckBox>(dialog, "chbxWakeOnLan");
        QCOMPARE(wol->isEnabled(), enabled);
        QVERIFY(wol->isChecked()); // a setting it cannot change stays as it is
        dialog.accept();
        QVERIFY(dialog.settings().wakeOnLan);
    }

    void checksOnOk_data()
    {
        QTest::addColumn<QString>("security");
        QTest::addColumn<QString>("ssid");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::newRow("WEP of 13") << "wep"
                                   << "Office"
                                   << "0123456789abc"
                                   << "\nIn WEP mode, the wireless password MUST be 10 or 26 characters long "
                                      "and can contain only hexadecimal characters A-F, a-f or 0-9.";
        QTest::newRow("WEP of 10 with g") << "wep"
                                          << "Office"
                                          << "012345678g"
                                          << "\nIn WEP mode, the wireless password can contain only "
                                             "hexadecimal characters A-F, a-f or 0-9.";
        QTest::newRow("WEP of 10 hex") << "wep"
                                       << "Office"
                                       << "012345678F" << QString();
        QTest::newRow("DIY without a name") << "diy" << QString() << QString() << QString();
        QTest::newRow("WPA2 without a name") << "wpa2_personal" << QString() << "secret"
                                             << "\nYou must enter or select a value for wireless SSID.";
    }
    void checksOnOk()
    {
        QFETCH(QString, security);
        QFETCH(QString, ssid);
        QFETCH(QString, password);
        QFETCH(QString, message);
        setStore({{"nic_wireless_enabled", "yes"}});
        DlgNetwork dialog(nullptr, device());
        auto* box = child<QComboBox>(dialog, "cmbxWirelessSecurity");
        box->setCurrentIndex(box->findData(security));
        child<QComboBox>(dialog, "cmbxSsid")->setEditText(ssid);
        child<QLineEdit>(dialog, "tbxWirelessPassword")->setText(password);
        child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        if (message.isEmpty()) {
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QVERIFY(Ask::records().isEmpty());
            QCOMPARE(dialog.settings().wirelessSecurity, security);
            return;
        }
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(Ask::records().size(), 1);
        QCOMPARE(int(Ask::lastMessage().kind), int(Ask::Kind::Warning));
        QCOMPARE(Ask::lastMessage().title, QString("Input validation"));
        QCOMPARE(Ask::lastMessage().text, message);
        QVERIFY(Ask::lastMessage().parented);
    }

    void shortAddressRefused()
    {
        setStore(kStored);
        DlgNetwork dialog(nullptr, device());
        child<QLineEdit>(dialog, "tbxWiredIp")->setText("192.168.1");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(Ask::lastMessage().text,
                 QString("\nYou entered an invalid IP address on the wired network."));
    }

    // A "€" has no Latin-1 byte: sent, it would arrive as "?" and lock the device out.
    void passwordWithoutLatin1Refused()
    {
        setStore(kStored);
        DlgNetwork dialog(nullptr, device());
        child<QLineEdit>(dialog, "tbxWirelessPassword")->setText("pass€word");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(int(Ask::lastMessage().kind), int(Ask::Kind::Critical));
        QCOMPARE(Ask::lastMessage().title, QString("Input validation"));
        QVERIFY2(Ask::lastMessage().text.contains("wireless password"), qPrintable(Ask::lastMessage().text));
    }

    void dhcpSendsEmptyAddresses()
    {
        setStore(kStored);
        DlgNetwork dialog(nullptr, device());
        auto* addressing = child<QComboBox>(dialog, "cmbxWiredAddressing");
        addressing->setCurrentIndex(addressing->findData("yes"));
        QVERIFY(!child<QLineEdit>(dialog, "tbxWiredIp")->isEnabled());
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const QByteArray text = netconfig::networkText(dialog.settings());
        QVERIFY(text.contains("\nnic_ip=\nnic_netmask=\nnic_gateway=\n"));
    }

    void wirelessList()
    {
        setStore(kStored);
        DlgNetwork dialog(nullptr, device());
        auto* box = child<QComboBox>(dialog, "cmbxSsid");
        dialog.setSsidList({"\\x00\\x00", "Guest\t11\t30\toff", "Office\t6\t55\ton", "Lab\t1\t70\ton"});
        QCOMPARE(box->count(), 3);
        QCOMPARE(box->itemData(0).toString(), QString("Guest"));
        QVERIFY(box->itemText(0).contains("open, channel 11, quality 30/70"));
        // The stored network stays chosen, shown by its name.
        QCOMPARE(box->currentIndex(), 1);
        QCOMPARE(box->currentText(), QString("Office"));

        box->setCurrentIndex(2);
        emit box->activated(2);
        QCOMPARE(box->currentText(), QString("Lab"));
        dialog.accept();
        QCOMPARE(dialog.settings().ssid, QString("Lab"));
    }

    void typedNetworkSurvivesTheList()
    {
        setStore({{"nic_wireless_enabled", "yes"}});
        DlgNetwork dialog(nullptr, device());
        auto* box = child<QComboBox>(dialog, "cmbxSsid");
        box->setEditText("Hidden Lab");
        dialog.setSsidList({"Office\t6\t55\ton"});
        QCOMPARE(box->currentText(), QString("Hidden Lab"));
        dialog.setSsidList({});
        QCOMPARE(box->currentText(), QString("Hidden Lab"));
    }

    void certificateUpload()
    {
        setStore({{"nic_wireless_enabled", "yes"},
                  {"nic_wireless_ssid", "Office"},
                  {"nic_wireless_security", "wpa2_enterprise_certificate"},
                  {"nic_wireless_radius_username", "bob"}});
        DlgNetwork dialog(nullptr, device());
        QString answer = "corp.cert.pfx";
        int asked = 0;
        connect(&dialog, &DlgNetwork::onInstallCertificate, this, [&](QString* name) {
            ++asked;
            *name = answer;
        });
        QVERIFY(child<QPushButton>(dialog, "btnUploadWirelessCertificate")->isEnabled());
        child<QPushButton>(dialog, "btnUploadWirelessCertificate")->click();
        QCOMPARE(asked, 1);
        QCOMPARE(child<QLineEdit>(dialog, "tbxWirelessCertificate")->text(), QString("corp.cert.pfx"));
        // Cancelled, or a name that is no file name: the field keeps what it has.
        answer.clear();
        child<QPushButton>(dialog, "btnUploadWirelessCertificate")->click();
        answer = "../x.pfx";
        child<QPushButton>(dialog, "btnUploadWirelessCertificate")->click();
        QCOMPARE(child<QLineEdit>(dialog, "tbxWirelessCertificate")->text(), QString("corp.cert.pfx"));

        dialog.accept();
        const QByteArray text = netconfig::networkText(dialog.settings());
        QCOMPARE(config_text_get_value("nic_wireless_radius_pubkey", text),
                 QByteArray("/etc/ssl/certs/corp.cert_pfx.crt"));
        QCOMPARE(config_text_get_value("nic_wireless_radius_privkey", text),
                 QByteArray("/etc/ssl/private/corp.cert_pfx.key"));
    }

    void requests_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QByteArray>("wireless");
        QTest::addColumn<int>("ssidRequests");
        QTest::addColumn<int>("infoCode"); // -1: none
        QTest::newRow("8.4.6, wireless on") << "8.4.6" << QByteArray("yes") << 1 << 1;
        QTest::newRow("8.4.0, wireless off") << "8.4.0" << QByteArray("no") << 0 << 0;
        QTest::newRow("8.3.9") << "8.3.9" << QByteArray("yes") << 1 << -1;
    }
    void requests()
    {
        QFETCH(QString, version);
        QFETCH(QByteArray, wireless);
        QFETCH(int, ssidRequests);
        QFETCH(int, infoCode);
        setStore({{"nic_wireless_enabled", wireless}});
        DlgNetwork dialog(nullptr, device(version));
        QSignalSpy ssid(&dialog, &DlgNetwork::getSSIDList);
        QSignalSpy info(&dialog, &DlgNetwork::getNetworkInfo);
        dialog.requestDeviceData();
        QCOMPARE(ssid.count(), ssidRequests);
        QCOMPARE(info.count(), infoCode < 0 ? 0 : 1);
        if (infoCode >= 0)
            QCOMPARE(info.first().first().value<quint8>(), quint8(infoCode));
        // Turning the wireless interface on asks for the networks once.
        auto* group = child<QGroupBox>(dialog, "grbxWireless");
        group->setChecked(false);
        group->setChecked(true);
        group->setChecked(false);
        group->setChecked(true);
        QCOMPARE(ssid.count(), 1);
    }

    void networkStatus()
    {
        setStore({});
        DlgNetwork dialog(nullptr, device("8.4.6"));
        QVERIFY(child<QLabel>(dialog, "lblStatusNote")->text().startsWith("Waiting"));
        dialog.updateNetworkInfo("10.77.0.53", "", "lab.example", "00:11:22:33:44:55", "10.77.0.20",
                                 "255.255.255.0", "10.77.0.1", "", "", "", "");
        QCOMPARE(child<QLabel>(dialog, "lblStatusDsPath")->text(), QString("lab.example"));
        QCOMPARE(child<QLabel>(dialog, "lblStatusWiredMac")->text(), QString("00:11:22:33:44:55"));
        QCOMPARE(child<QLabel>(dialog, "lblStatusDns2")->text(), QString("\u2014"));

        DlgNetwork old(nullptr, device("8.3.0"));
        QVERIFY(child<QLabel>(old, "lblStatusNote")->text().contains("8.4.0"));
    }
};

RVX_GUI_TEST_MAIN(TestDlgNetwork)
#include "test_dlgnetwork.moc"
