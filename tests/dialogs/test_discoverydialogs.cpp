#include "ask.h"
#include "configlib.h"
#include "dlgpxeserver.h"
#include "dlgrvxserverinfo.h"
#include "dlgshadowing.h"
#include "guisupport.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

using rvx::Ask;

namespace {

const QString kPortChanged = "You have configured clients to look for RVX on a non-default port number.\n"
                             "  Please ensure that RVX is also configured to listen on that port number\n"
                             " (check Settings in the Edit menu).";

using rvx::test::child;

void setStore(const QList<QPair<QByteArray, QByteArray>>& entries)
{
    config_store_reset_for_testing(QStringLiteral("/nonexistent/environment"));
    config_store_clear(); // no defaults: a key not set here is missing
    for (const auto& entry : entries)
        config_store_set(entry.first, entry.second);
}

} // namespace

class TestDiscoveryDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::clearRecords(); }

    void discoveryStart_data();
    void discoveryStart();
    void discoveryBroadcastAndDhcpDropServer_data();
    void discoveryBroadcastAndDhcpDropServer();
    void discoveryValidation_data();
    void discoveryValidation();
    void discoveryPortChanged();

    void pxeStart();
    void pxeStartDisabled_data();
    void pxeStartDisabled();
    void pxeValidation_data();
    void pxeValidation();
    void pxeRaspberryPiProvisioning();
    void pxeDisabledAcceptsAnything();

    void shadowingStart_data();
    void shadowingStart();
    void shadowingOk();
};

void TestDiscoveryDialogs::discoveryStart_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QString>("shownHost");
    QTest::addColumn<bool>("serverFields");

    QTest::newRow("auto, empty values") << 1 << QString() << "rdbtnAuto"
                                        << "rvx" << true;
    QTest::newRow("broadcast") << 0 << "srv"
                               << "rdbtnUdp"
                               << "srv" << false;
    QTest::newRow("static") << 2 << "srv"
                            << "rdbtnStatic"
                            << "srv" << true;
    QTest::newRow("dhcp") << 3 << "srv"
                          << "rdbtnDHCP"
                          << "srv" << false;
    QTest::newRow("unknown mode is auto") << 9 << "srv"
                                          << "rdbtnAuto"
                                          << "srv" << true;
}

void TestDiscoveryDialogs::discoveryStart()
{
    QFETCH(int, mode);
    QFETCH(QString, host);
    QFETCH(QString, checked);
    QFETCH(QString, shownHost);
    QFETCH(bool, serverFields);

    QString port, retry;
    DlgRvxServerInfo dialog(nullptr, mode, host, port, retry);
    QCOMPARE(dialog.windowTitle(), QString("RVX Server Discovery"));
    QVERIFY(child<QRadioButton>(dialog, checked.toLatin1())->isChecked());
    QCOMPARE(child<QLineEdit>(dialog, "tbxHostname")->text(), shownHost);
    QCOMPARE(child<QLineEdit>(dialog, "tbxPort")->text(), QString("8085"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxRetryInt")->text(), QString("3"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxHostname")->isEnabled(), serverFields);
    QCOMPARE(child<QLineEdit>(dialog, "tbxPort")->isEnabled(), serverFields);
    QVERIFY(child<QLineEdit>(dialog, "tbxRetryInt")->isEnabled());
}

void TestDiscoveryDialogs::discoveryBroadcastAndDhcpDropServer_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("clicked");
    QTest::addColumn<int>("expected");

    QTest::newRow("dhcp clicked") << "rdbtnDHCP" << true << 3;
    QTest::newRow("broadcast clicked") << "rdbtnUdp" << true << 0;
    // A caller or script that only checks the button gets the same result.
    QTest::newRow("dhcp checked") << "rdbtnDHCP" << false << 3;
}

void TestDiscoveryDialogs::discoveryBroadcastAndDhcpDropServer()
{
    QFETCH(QString, button);
    QFETCH(bool, clicked);
    QFETCH(int, expected);

    int mode = 2;
    QString host = "rvx.example", port = "8090", retry = "10";
    DlgRvxServerInfo dialog(nullptr, mode, host, port, retry);
    auto* radio = child<QRadioButton>(dialog, button.toLatin1());
    if (clicked)
        radio->click();
    else
        radio->setChecked(true);
    QVERIFY(!child<QLineEdit>(dialog, "tbxHostname")->isEnabled());
    QVERIFY(!child<QLineEdit>(dialog, "tbxPort")->isEnabled());
    child<QLineEdit>(dialog, "tbxRetryInt")->setText("7");

    child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(mode, expected);
    QCOMPARE(host, QString());
    QCOMPARE(port, QString());
    QCOMPARE(retry, QString("7"));
    QVERIFY(Ask::records().isEmpty());
}

void TestDiscoveryDialogs::discoveryValidation_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("retry");
    QTest::addColumn<QString>("message");

    QTest::newRow("retry not a number") << "rdbtnAuto"
                                        << "srv"
                                        << "8085"
                                        << "3s"
                                        << "Please enter a valid number for retry interval";
    QTest::newRow("retry zero") << "rdbtnAuto"
                                << "srv"
                                << "8085"
                                << "0"
                                << "Please enter a valid number for retry interval";
    QTest::newRow("retry checked for dhcp too") << "rdbtnDHCP"
                                                << "srv"
                                                << "8085"
                                                << ""
                                                << "Please enter a valid number for retry interval";
    QTest::newRow("static needs a host") << "rdbtnStatic"
                                         << "  "
                                         << "8085"
                                         << "3"
                                         << "You must enter a value for Hostname";
    QTest::newRow("host with a line break") << "rdbtnStatic"
                                            << "srv\nrvx_server_mode=0"
                                            << "8085"
                                            << "3"
                                            << "Please enter a valid Hostname";
    QTest::newRow("port with letters") << "rdbtnStatic"
                                       << "srv"
                                       << "80x"
                                       << "3"
                                       << "Please enter a valid number for Port";
    QTest::newRow("port out of range") << "rdbtnAuto"
                                       << "srv"
                                       << "70000"
                                       << "3"
                                       << "Please enter a valid number for Port";
    QTest::newRow("port zero") << "rdbtnAuto"
                               << "srv"
                               << "0"
                               << "3"
                               << "Please enter a valid number for Port";
}

void TestDiscoveryDialogs::discoveryValidation()
{
    QFETCH(QString, button);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, retry);
    QFETCH(QString, message);

    int mode = 1;
    QString hostValue = "old", portValue = "8085", retryValue = "3";
    QWidget parent;
    DlgRvxServerInfo dialog(&parent, mode, hostValue, portValue, retryValue);
    child<QRadioButton>(dialog, button.toLatin1())->click();
    child<QLineEdit>(dialog, "tbxHostname")->setText(host);
    child<QLineEdit>(dialog, "tbxPort")->setText(port);
    child<QLineEdit>(dialog, "tbxRetryInt")->setText(retry);
    dialog.accept();

    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::records().size(), 1);
    QCOMPARE(int(Ask::lastMessage().kind), int(Ask::Kind::Warning));
    QCOMPARE(Ask::lastMessage().title, QString("Validating entries"));
    QCOMPARE(Ask::lastMessage().text, message);
    QVERIFY(Ask::lastMessage().parented);
    // Nothing of the caller's changes while the dialog stays open.
    QCOMPARE(mode, 1);
    QCOMPARE(hostValue, QString("old"));
    QCOMPARE(portValue, QString("8085"));
    QCOMPARE(retryValue, QString("3"));
}

void TestDiscoveryDialogs::discoveryPortChanged()
{
    int mode = 2;
    QString host, port, retry;
    {
        DlgRvxServerInfo dialog(nullptr, mode, host, port, retry);
        child<QLineEdit>(dialog, "tbxHostname")->setText("  rvx.lab.example ");
        child<QLineEdit>(dialog, "tbxPort")->setText(" 8086");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(Ask::records().size(), 1);
    QCOMPARE(Ask::lastMessage().title, QString("RVX Port number changed"));
    QCOMPARE(Ask::lastMessage().text, kPortChanged);
    QCOMPARE(mode, 2);
    QCOMPARE(host, QString("rvx.lab.example"));
    QCOMPARE(port, QString("8086"));
    QCOMPARE(retry, QString("3"));

    // The default port asks nothing; Auto may leave the host empty.
    Ask::clearRecords();
    mode = 1;
    host.clear();
    port.clear();
    DlgRvxServerInfo dialog(nullptr, mode, host, port, retry);
    child<QLineEdit>(dialog, "tbxHostname")->clear();
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(Ask::records().isEmpty());
    QCOMPARE(mode, 1);
    QCOMPARE(host, QString());
    QCOMPARE(port, QString("8085"));
}

void TestDiscoveryDialogs::pxeStart()
{
    setStore({{"pxe_server_enabled", "yes"},
              {"pxe_server_subnet", "192.168.1.0"},
              {"pxe_server_netmask", "255.255.255.0"},
              {"pxe_server_range_low", "192.168.1.100"},
              {"pxe_server_range_high", "192.168.1.200"},
              {"pxe_server_mode", "diskless"}});
    DlgPxeServer dialog(nullptr, false);
    QCOMPARE(dialog.windowTitle(), QString("PXE Server Configuration"));
    QVERIFY(child<QGroupBox>(dialog, "grbxEnableServerCap")->isChecked());
    QCOMPARE(child<QLineEdit>(dialog, "tbxSubnet")->text(), QString("192.168.1.0"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxNetmask")->text(), QString("255.255.255.0"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxDhcpStart")->text(), QString("192.168.1.100"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxDhcpEnd")->text(), QString("192.168.1.200"));
    // pxe_server_pxe_only missing: all DHCP requests.
    QVERIFY(child<QRadioButton>(dialog, "rdbtnAllDhcpReq")->isChecked());
    QVERIFY(child<QRadioButton>(dialog, "rdbtnDiskless")->isChecked());

    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.enabled());
    QCOMPARE(dialog.subnet(), QString("192.168.1.0"));
    QCOMPARE(dialog.netmask(), QString("255.255.255.0"));
    QCOMPARE(dialog.rangeStart(), QString("192.168.1.100"));
    QCOMPARE(dialog.rangeEnd(), QString("192.168.1.200"));
    QVERIFY(!dialog.pxeOnly());
    QVERIFY(dialog.diskless());
}

void TestDiscoveryDialogs::pxeStartDisabled_data()
{
    QTest::addColumn<QByteArray>("enabled");
    QTest::addColumn<bool>("raspberryPi");
    QTest::addColumn<QString>("purpose");

    QTest::newRow("missing key") << QByteArray() << false << "rdbtnProvision";
    QTest::newRow("no, Raspberry Pi") << QByteArray("no") << true << "rdbtnDiskless";
    QTest::newRow("Yes is not yes") << QByteArray("Yes") << false << "rdbtnProvision";
}

void TestDiscoveryDialogs::pxeStartDisabled()
{
    QFETCH(QByteArray, enabled);
    QFETCH(bool, raspberryPi);
    QFETCH(QString, purpose);

    setStore({{"pxe_server_enabled", enabled}, {"pxe_server_subnet", "10.0.0.0"}});
    DlgPxeServer dialog(nullptr, raspberryPi);
    QVERIFY(!child<QGroupBox>(dialog, "grbxEnableServerCap")->isChecked());
    QVERIFY(child<QRadioButton>(dialog, purpose.toLatin1())->isChecked());
    QVERIFY(child<QRadioButton>(dialog, "rdbtnPxeOnly")->isChecked());
    QCOMPARE(child<QLineEdit>(dialog, "tbxSubnet")->text(), QString());
}

void TestDiscoveryDialogs::pxeValidation_data()
{
    QTest::addColumn<QStringList>("fields"); // subnet, netmask, start, end
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");

    const QString address = "Invalid IP address";
    QTest::newRow("netmask empty first")
        << QStringList{"", "", "", ""} << address << "\nYou must enter a value for Netmask.";
    QTest::newRow("subnet empty") << QStringList{"", "255.255.255.0", "", ""} << address
                                  << "\nYou must enter a value for Subnet.";
    QTest::newRow("end empty before start") << QStringList{"192.168.1.0", "255.255.255.0", "", ""} << address
                                            << "\nYou must enter a value for DHCP range end.";
    QTest::newRow("start empty") << QStringList{"192.168.1.0", "255.255.255.0", "", "192.168.1.9"} << address
                                 << "\nYou must enter a value for DHCP range start.";
    QTest::newRow("subnet short form") << QStringList{"192.168.1", "255.255.255.0", "1", "2"} << address
                                       << "\nThe 'Subnet' IP address is not valid.";
    QTest::newRow("subnet octet too big") << QStringList{"192.168.256.0", "255.255.255.0", "1", "2"}
                                          << address << "\nThe 'Subnet' IP address is not valid.";
    QTest::newRow("subnet leading zero") << QStringList{"192.168.01.0", "255.255.255.0", "1", "2"} << address
                                         << "\nThe 'Subnet' IP address is not valid.";
    QTest::newRow("netmask garbage") << QStringList{"192.168.1.0", "255.255.x.0", "1", "2"} << address
                                     << "\nThe 'Netmask' IP address is not valid.";
    QTest::newRow("netmask with holes") << QStringList{"192.168.1.0", "255.0.255.0", "1", "2"} << address
                                        << "\nThe 'Netmask' IP address is not valid.";
    QTest::newRow("start outside") << QStringList{"192.168.1.0", "255.255.255.0", "192.168.2.10",
                                                  "192.168.1.20"}
                                   << address << "\nThe 'DHCP range start' IP address is not valid.";
    QTest::newRow("start not an address")
        << QStringList{"192.168.1.0", "255.255.255.0", "192.168.1", "192.168.1.20"} << address
        << "\nThe 'DHCP range start' IP address is not valid.";
    QTest::newRow("end outside") << QStringList{"192.168.1.0", "255.255.255.0", "192.168.1.10",
                                                "192.168.2.20"}
                                 << address << "\nThe 'DHCP range end' IP address is not valid.";
    QTest::newRow("end equal to start")
        << QStringList{"192.168.1.0", "255.255.255.0", "192.168.1.100", "192.168.1.100"} << "Invalid IP range"
        << "\nThe DHCP 'end' address cannot be less than or equal to the 'start' address.";
    // Compared as numbers: text order would put .9 after .10.
    QTest::newRow("end below start")
        << QStringList{"10.0.0.0", "255.0.0.0", "10.0.0.10", "10.0.0.9"} << "Invalid IP range"
        << "\nThe DHCP 'end' address cannot be less than or equal to the 'start' address.";
}

void TestDiscoveryDialogs::pxeValidation()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, title);
    QFETCH(QString, message);

    setStore({});
    QWidget parent;
    DlgPxeServer dialog(&parent, false);
    child<QGroupBox>(dialog, "grbxEnableServerCap")->setChecked(true);
    child<QLineEdit>(dialog, "tbxSubnet")->setText(fields[0]);
    child<QLineEdit>(dialog, "tbxNetmask")->setText(fields[1]);
    child<QLineEdit>(dialog, "tbxDhcpStart")->setText(fields[2]);
    child<QLineEdit>(dialog, "tbxDhcpEnd")->setText(fields[3]);
    dialog.accept();

    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::records().size(), 1);
    QCOMPARE(int(Ask::lastMessage().kind), int(Ask::Kind::Critical));
    QCOMPARE(Ask::lastMessage().title, title);
    QCOMPARE(Ask::lastMessage().text, message);
    QVERIFY(Ask::lastMessage().parented);

    // One address more at the end and the same dialog accepts.
    if (title == "Invalid IP range" && fields[0] == "192.168.1.0") {
        child<QLineEdit>(dialog, "tbxDhcpEnd")->setText("192.168.1.101");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.rangeEnd(), QString("192.168.1.101"));
        QVERIFY(dialog.pxeOnly());
        QVERIFY(!dialog.diskless());
    }
}

void TestDiscoveryDialogs::pxeRaspberryPiProvisioning()
{
    const QString question =
        "\nProvisioning mode will only work on a Pi 4 or later with a sufficiently recent "
        "EEPROM image that has been altered to boot from Network after SD card.\n\nProceed "
        "with setting this device to Provisioning mode?";
    setStore({{"pxe_server_enabled", "yes"},
              {"pxe_server_subnet", "172.16.0.0"},
              {"pxe_server_netmask", "255.240.0.0"},
              {"pxe_server_range_low", "172.16.5.1"},
              {"pxe_server_range_high", "172.31.255.254"},
              {"pxe_server_pxe_only", "yes"},
              {"pxe_server_mode", "provision"}});
    DlgPxeServer dialog(nullptr, true);
    QVERIFY(child<QRadioButton>(dialog, "rdbtnProvision")->isChecked());
    QVERIFY(child<QRadioButton>(dialog, "rdbtnPxeOnly")->isChecked());

    dialog.accept(); // unanswered: the default No keeps the dialog open
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::lastMessage().title, QString("Limited Raspberry Pi Support"));
    QCOMPARE(Ask::lastMessage().text, question);
    QCOMPARE(Ask::lastMessage().defaultButton, QMessageBox::No);

    Ask::answerNext(QMessageBox::Yes);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.diskless());
    QVERIFY(dialog.pxeOnly());

    // Diskless on a Raspberry Pi asks nothing.
    Ask::clearRecords();
    DlgPxeServer diskless(nullptr, true);
    child<QRadioButton>(diskless, "rdbtnDiskless")->setChecked(true);
    diskless.accept();
    QCOMPARE(diskless.result(), int(QDialog::Accepted));
    QVERIFY(Ask::records().isEmpty());
}

void TestDiscoveryDialogs::pxeDisabledAcceptsAnything()
{
    setStore({{"pxe_server_enabled", "yes"}, {"pxe_server_subnet", "garbage"}});
    DlgPxeServer dialog(nullptr, false);
    child<QGroupBox>(dialog, "grbxEnableServerCap")->setChecked(false);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.enabled());
    QVERIFY(Ask::records().isEmpty());
}

void TestDiscoveryDialogs::shadowingStart_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("viewOnly");
    QTest::addColumn<QString>("shownHost");
    QTest::addColumn<int>("shownPort");

    QTest::newRow("defaults") << QString() << QString() << false << "shadow.orbenium.com" << 443;
    QTest::newRow("given") << "relay.lab"
                           << "5500" << true << "relay.lab" << 5500;
    QTest::newRow("port not a number") << "relay.lab"
                                       << "55x" << false << "relay.lab" << 443;
    QTest::newRow("port above 16 bits") << "relay.lab"
                                        << "65536" << false << "relay.lab" << 443;
    QTest::newRow("port zero") << "relay.lab"
                               << "0" << false << "relay.lab" << 443;
}

void TestDiscoveryDialogs::shadowingStart()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(bool, viewOnly);
    QFETCH(QString, shownHost);
    QFETCH(int, shownPort);

    DlgShadowing dialog(nullptr, host, port, viewOnly);
    QCOMPARE(dialog.windowTitle(), QString("Session Shadowing"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxHostname")->text(), shownHost);
    QCOMPARE(child<QSpinBox>(dialog, "sboxPort")->value(), shownPort);
    QCOMPARE(child<QCheckBox>(dialog, "chbtnViewOnly")->isChecked(), viewOnly);
}

void TestDiscoveryDialogs::shadowingOk()
{
    QString host = "relay.lab", port = "5500";
    bool viewOnly = false;
    QWidget parent;
    DlgShadowing dialog(&parent, host, port, viewOnly);
    child<QLineEdit>(dialog, "tbxHostname")->setText("   ");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(int(Ask::lastMessage().kind), int(Ask::Kind::Warning));
    QCOMPARE(Ask::lastMessage().title, QString("Shadower Details"));
    QCOMPARE(Ask::lastMessage().text, QString("You must enter a value for Hostname"));

    child<QLineEdit>(dialog, "tbxHostname")->setText("relay.lab\nshadower_view_only=no");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(host, QString("relay.lab"));

    child<QLineEdit>(dialog, "tbxHostname")->setText(" 10.1.2.3 ");
    child<QSpinBox>(dialog, "sboxPort")->setValue(8443);
    child<QCheckBox>(dialog, "chbtnViewOnly")->setChecked(true);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(host, QString("10.1.2.3"));
    QCOMPARE(port, QString("8443"));
    QVERIFY(viewOnly);
}

RVX_GUI_TEST_MAIN(TestDiscoveryDialogs)
#include "test_discoverydialogs.moc"
