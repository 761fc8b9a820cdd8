#include "dlgshowdevinfo.h"
#include "guisupport.h"
#include "rvxdb.h"
#include "thinclientinfo.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

namespace {

using Rows = QList<QPair<QString, QString>>;

const QByteArray kConfig = "connection_type=rdp\n"
                           "rdp_server=ts.lab.example\n"
                           "rdp_cmdline_args=/f /sound\n"
                           "time_server=pool.ntp.org\n"
                           "timezone=Europe/Berlin\n"
                           "rvx_discovery_mode=static\n"
                           "rvx_server_mode=1\n"
                           "rvx_server_hostname=rvx.lab.example\n"
                           "rvx_server_port=8085\n"
                           "dns1=10.0.0.53\n"
                           "nic_enabled=yes\n"
                           "nic_dhcp_enabled=no\n"
                           "nic_ip=10.77.0.20\n"
                           "nic_netmask=255.255.255.0\n"
                           "nic_gateway=10.77.0.1\n"
                           "nic_wireless_dhcp_enabled=dns\n"
                           "nic_wireless_ssid=Lab WLAN\n"
                           "kbd_layout=de\n"
                           "firewall_enabled=yes\n"
                           "powersave=no\n"
                           "pxe_server_enabled=yes\n"
                           "pxe_server_pxe_only=yes\n"
                           "pxe_server_range_low=10.77.0.100\n"
                           "pxe_server_range_high=10.77.0.150\n"
                           "pxe_server_mode=diskless\n"
                           "rrsh_enabled=yes\n"
                           "x11vnc_enabled=no\n";

void fillDevice(ThinclientInfo& info, quint8 bootMode)
{
    info.setSerialNumber("ZT4-00:11:22:33:44:55");
    info.setHostname("lab-pc-7");
    info.setIpAddressValue(0x0A4D0014); // 10.77.0.20
    info.setNetmaskValue(0xFFFFFF00);
    info.setFirmwareType(12);
    info.setDebianArch("arm64");
    info.setHwName("Raspberry Pi 4 Model B");
    info.setDescription("Front desk");
    info.setMacAddress("00:11:22:33:44:55");
    info.setFirmwareVersion("4.10.2");
    info.setKernelVersion("6.1.21");
    info.setTfmVersion("2.3.0");
    info.setClientVersion("8.4.5");
    info.setDebianVersion("12.5");
    info.setBootMode(bootMode);
    info.setPrintServerEnabled(true);
}

QString valueOf(const Rows& rows, const QString& property)
{
    QString found;
    int count = 0;
    for (const auto& row : rows) {
        if (row.first == property) {
            found = row.second;
            ++count;
        }
    }
    return count == 1 ? found : QStringLiteral("<%1 rows>").arg(count);
}

bool hasRow(const Rows& rows, const QString& property)
{
    for (const auto& row : rows) {
        if (row.first == property)
            return true;
    }
    return false;
}

} // namespace

class TestDevInfoDialog : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void noConnectionType();
    void discoveryMode_data();
    void discoveryMode();
    void interfaces_data();
    void interfaces();
    void dialogShowsStoredConfigurationSorted();
    void dialogWithoutStoredConfiguration();
};

void TestDevInfoDialog::values_data()
{
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("value");

    const QList<QPair<const char*, const char*>> expected = {
        {"Hostname", "lab-pc-7"},
        {"IP Address", "10.77.0.20"},
        {"Netmask", "255.255.255.0"},
        {"Firmware Type", "ZYL RPi 4"},
        {"Debian Architecture", "arm64"},
        {"Hardware", "Raspberry Pi 4 Model B"},
        {"Comment", "Front desk"},
        {"MAC Address", "00:11:22:33:44:55"},
        {"Firmware Version", "4.10.2"},
        {"Kernel Version", "6.1.21"},
        {"TFM Version", "2.3.0"},
        {"RVX Client Version", "8.4.5"},
        {"Debian Version", "12.5"},
        {"Mode", "RDP"},
        {"Server", "ts.lab.example"},
        {"Serial Number", "ZT4-00:11:22:33:44:55"},
        {"Time Server", "pool.ntp.org"},
        {"Timezone", "Europe/Berlin"},
        {"RVX Discovery", "Static"},
        {"RVX Server", "rvx.lab.example"},
        {"RVX Server Port", "8085"},
        {"Cmd Line Args", "/f /sound"},
        {"Boot Mode", "Normal"},
        {"DNS 1", "10.0.0.53"},
        {"DNS 2", ""},
        {"Domain Search Path", ""},
        {"Wired Interface", "Enabled"},
        {"Wired Interface Method", "Static"},
        {"Wired Interface IP", "10.77.0.20"},
        {"Wired Interface Netmask", "255.255.255.0"},
        {"Wired Interface Gateway", "10.77.0.1"},
        {"Wireless Interface", "Enabled"},
        {"Wireless Interface Method", "DHCP with DNS override"},
        {"Wireless Interface SSID", "Lab WLAN"},
        {"Wireless Interface Security", ""},
        {"Keyboard Layout", "de"},
        {"Keyboard Model", ""},
        {"Firewall Enabled", "yes"},
        {"Print Server", "Enabled"},
        {"Powersave Enabled", "no"},
        {"PXE Server", "Enabled"},
        {"PXE Only", "yes"},
        {"DHCP Start", "10.77.0.100"},
        {"DHCP End", "10.77.0.150"},
        {"PXE Mode", "diskless"},
        {"Remote Triggering", "Enabled"},
        {"VNC Server", "Disabled"},
        {"RVX Beacon", "Disabled"},
    };
    for (const auto& row : expected)
        QTest::newRow(row.first) << QString(row.first) << QString(row.second);
}

void TestDevInfoDialog::values()
{
    QFETCH(QString, property);
    QFETCH(QString, value);

    ThinclientInfo info;
    fillDevice(info, ThinclientInfo::BootNormal);
    const Rows rows = DlgShowDevInfo::deviceRows(info, kConfig);
    QCOMPARE(valueOf(rows, property), value);
    // Static wired addresses, no static wireless ones.
    QVERIFY(!hasRow(rows, "Wireless Interface IP"));
}

void TestDevInfoDialog::noConnectionType()
{
    ThinclientInfo info;
    fillDevice(info, ThinclientInfo::BootNormal);
    const Rows rows = DlgShowDevInfo::deviceRows(info, "rdp_server=ts\nrdp_cmdline_args=/f\n");
    QCOMPARE(valueOf(rows, "Mode"), QString());
    QCOMPARE(valueOf(rows, "Server"), QString());
    QCOMPARE(valueOf(rows, "Cmd Line Args"), QString());
    QCOMPARE(valueOf(rows, "PXE Server"), QString("Disabled"));
    QVERIFY(!hasRow(rows, "PXE Only"));
    QCOMPARE(valueOf(rows, "Remote Triggering"), QString("Disabled"));
    // Neither interface key present: enabled, and the method is neither yes nor no.
    QCOMPARE(valueOf(rows, "Wired Interface Method"), QString("DHCP with DNS override"));
}

void TestDevInfoDialog::discoveryMode_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("name");

    QTest::newRow("named bcast") << QByteArray("rvx_discovery_mode=bcast\nrvx_server_mode=2\n")
                                 << "UDP broadcast";
    QTest::newRow("named dhcp") << QByteArray("rvx_discovery_mode=dhcp\n") << "DHCP";
    QTest::newRow("name wins over number")
        << QByteArray("rvx_server_mode=0\nrvx_discovery_mode=auto\n") << "Auto";
    QTest::newRow("number 0") << QByteArray("rvx_server_mode=0\n") << "UDP broadcast";
    QTest::newRow("number 3") << QByteArray("rvx_server_mode=3\n") << "DHCP";
    QTest::newRow("unknown name, number 2")
        << QByteArray("rvx_discovery_mode=mdns\nrvx_server_mode=2\n") << "Static";
    QTest::newRow("number 7") << QByteArray("rvx_server_mode=7\n") << "Auto";
    QTest::newRow("number 4") << QByteArray("rvx_server_mode=4\n") << "Auto";
    QTest::newRow("negative") << QByteArray("rvx_server_mode=-1\n") << "Auto";
    QTest::newRow("not a number") << QByteArray("rvx_server_mode=two\n") << "Auto";
    QTest::newRow("nothing") << QByteArray() << "Auto";
}

void TestDevInfoDialog::discoveryMode()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, name);
    QCOMPARE(DlgShowDevInfo::discoveryModeName(text), name);
}

void TestDevInfoDialog::interfaces_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected"); // the wired rows, "property=value"

    QTest::newRow("disabled") << QByteArray("nic_enabled=no\nnic_dhcp_enabled=no\nnic_ip=1.2.3.4\n")
                              << QStringList{"Wired Interface=Disabled"};
    QTest::newRow("capital No counts as enabled")
        << QByteArray("nic_enabled=No\nnic_dhcp_enabled=yes\n")
        << QStringList{"Wired Interface=Enabled", "Wired Interface Method=DHCP"};
    QTest::newRow("static without addresses")
        << QByteArray("nic_dhcp_enabled=no\n")
        << QStringList{"Wired Interface=Enabled", "Wired Interface Method=Static",
                       "Wired Interface IP=", "Wired Interface Netmask=", "Wired Interface Gateway="};
    QTest::newRow("wireless keys are not wired keys")
        << QByteArray("nic_wireless_enabled=no\nnic_wireless_dhcp_enabled=no\n")
        << QStringList{"Wired Interface=Enabled", "Wired Interface Method=DHCP with DNS override"};
}

void TestDevInfoDialog::interfaces()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);

    ThinclientInfo info;
    QStringList wired;
    for (const auto& row : DlgShowDevInfo::deviceRows(info, text)) {
        if (row.first.startsWith("Wired Interface"))
            wired.append(row.first + "=" + row.second);
    }
    QCOMPARE(wired, expected);
}

void TestDevInfoDialog::dialogShowsStoredConfigurationSorted()
{
    QTemporaryDir dir;
    rvxDB db(dir.path());
    ThinclientInfo info;
    fillDevice(info, ThinclientInfo::BootOffline);
    QVERIFY(db.saveConfig(info.serialNumber(), kConfig));

    QWidget parent;
    DlgShowDevInfo dialog(&parent, &info, &db);
    QCOMPARE(dialog.windowTitle(), QString("Device Information"));
    QCOMPARE(dialog.size(), QSize(534, 540));
    QTableView* view = dialog.view();
    QCOMPARE(view->selectionMode(), QAbstractItemView::NoSelection);
    QVERIFY(!view->verticalHeader()->isVisibleTo(&dialog));
    QCOMPARE(view->columnWidth(0), 200);
    QVERIFY(view->isSortingEnabled());

    const QStandardItemModel* model = dialog.model();
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("Property"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("Value"));
    QCOMPARE(model->rowCount(), DlgShowDevInfo::deviceRows(info, kConfig).size());

    QStringList properties;
    QHash<QString, QString> values;
    for (int row = 0; row < model->rowCount(); ++row) {
        QVERIFY(!(model->item(row, 0)->flags() & Qt::ItemIsEditable));
        QVERIFY(!(model->item(row, 1)->flags() & Qt::ItemIsEditable));
        properties.append(model->item(row, 0)->text());
        values.insert(model->item(row, 0)->text(), model->item(row, 1)->text());
    }
    for (int i = 1; i < properties.size(); ++i)
        QVERIFY2(properties.at(i - 1) < properties.at(i), qPrintable(properties.at(i)));
    QVERIFY(properties.indexOf("Boot Mode") < properties.indexOf("Cmd Line Args"));
    QCOMPARE(properties.first(), QString("Boot Mode"));

    // An offline device shows its last stored values.
    QCOMPARE(values.value("Boot Mode"), QString("Offline"));
    QCOMPARE(values.value("Mode"), QString("RDP"));
    QCOMPARE(values.value("Hostname"), QString("lab-pc-7"));
}

void TestDevInfoDialog::dialogWithoutStoredConfiguration()
{
    QTemporaryDir dir;
    rvxDB db(dir.path());
    ThinclientInfo info;
    fillDevice(info, 3);
    DlgShowDevInfo dialog(nullptr, &info, &db);
    QHash<QString, QString> values;
    for (int row = 0; row < dialog.model()->rowCount(); ++row)
        values.insert(dialog.model()->item(row, 0)->text(), dialog.model()->item(row, 1)->text());
    QCOMPARE(values.value("Boot Mode"), QString("Maintenance"));
    QCOMPARE(values.value("Timezone"), QString());
    QCOMPARE(values.value("RVX Discovery"), QString("Auto"));

    // Neither a record nor a history: an empty sheet, no crash.
    DlgShowDevInfo empty(nullptr, nullptr, nullptr);
    QCOMPARE(empty.model()->rowCount(), 0);
    DlgShowDevInfo noHistory(nullptr, &info, nullptr);
    QCOMPARE(noHistory.model()->rowCount(), dialog.model()->rowCount());
}

RVX_GUI_TEST_MAIN(TestDevInfoDialog)
#include "test_devinfodialog.moc"
