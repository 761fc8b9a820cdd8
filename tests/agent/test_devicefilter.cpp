// The search box's rule: which device rows a query keeps, judged on the shown cells.

#include "devicefilter.h"
#include "testmain.h"

using rvx::search::Query;

namespace {

// A row as the default layout plus the optional columns shows it.
const QVector<DeviceColumn> kColumns = {
    DeviceColumn::FwType,          DeviceColumn::Hostname,      DeviceColumn::IpAddress,
    DeviceColumn::FirmwareVersion, DeviceColumn::ClientVersion, DeviceColumn::Status,
    DeviceColumn::MacAddress,      DeviceColumn::SerialNumber,  DeviceColumn::Description};
const QStringList kRow = {
    "Vx 60",    "Sales-Desk-07",          "10.77.4.21", "4.10.0", "8.4.0", "Offline", "00:1A:2b:3C:4d:5E",
    "SN0042AB", "Printer near the window"};

} // namespace

class TestDeviceFilter : public QObject
{
    Q_OBJECT

private slots:
    void queryAgainstRow_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("matches");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("white space only") << "  \t " << true;
        QTest::newRow("host name, other case") << "sales-desk" << true;
        QTest::newRow("host name, middle") << "desk-0" << true;
        QTest::newRow("ip prefix") << "10.77.4" << true;
        QTest::newRow("ip of another device") << "10.77.5" << false;
        QTest::newRow("serial") << "sn0042" << true;
        QTest::newRow("mac as shown") << "00:1a:2b" << true;
        QTest::newRow("mac without separators") << "001a2b3c" << true;
        QTest::newRow("mac with dashes") << "1a-2b-3c" << true;
        QTest::newRow("mac with dots") << "001a.2b3c" << true;
        QTest::newRow("mac not there") << "001a2b3d" << false;
        QTest::newRow("firmware version") << "4.10" << true;
        QTest::newRow("client version") << "8.4.0" << true;
        QTest::newRow("comment word") << "WINDOW" << true;
        QTest::newRow("status") << "offline" << true;
        QTest::newRow("type") << "vx 60" << true; // two words, both in the type cell
        QTest::newRow("words in different cells") << "sales 8.4" << true;
        QTest::newRow("one word missing") << "sales 9.1" << false;
        QTest::newRow("nothing") << "zebra" << false;
        // Separators alone are no MAC address search: they are looked for as typed.
        QTest::newRow("colon alone") << ":" << true;
        QTest::newRow("dash alone") << "-" << true;
        QTest::newRow("dot-dash") << ".-" << false;
    }
    void queryAgainstRow()
    {
        QFETCH(QString, query);
        QFETCH(bool, matches);
        QCOMPARE(Query(query).matches(kColumns, kRow), matches);
        QCOMPARE(Query(query).isEmpty(), query.trimmed().isEmpty());
    }

    // Only shown cells are searched: a serial in a hidden column finds nothing, and the
    // separator-free MAC address search applies to the MAC address column alone.
    void hiddenColumnsAreNotSearched()
    {
        const QVector<DeviceColumn> shown = {DeviceColumn::Hostname, DeviceColumn::Status};
        QVERIFY(!Query("sn0042").matches(shown, {"lab-1", "Offline"}));
        QVERIFY(Query("lab").matches(shown, {"lab-1", "Offline"}));
        // A host name that looks like a MAC address is matched as typed only.
        QVERIFY(!Query("aabb").matches(shown, {"aa-bb", ""}));
        QVERIFY(Query("aabb").matches({DeviceColumn::MacAddress}, {"aa-bb"}));
        // A row shorter than its columns (cells not filled yet) is searched as far as it goes.
        QVERIFY(!Query("x").matches(shown, {}));
        QVERIFY(Query("").matches(shown, {}));
    }

    void compactMacDropsSeparatorsOnly()
    {
        QCOMPARE(rvx::search::compactMac("00:1A-2b.3C"), QString("001A2b3C"));
        QCOMPARE(rvx::search::compactMac(""), QString());
        QCOMPARE(Query("  a   b ").words(), QStringList({"a", "b"}));
    }
};

RVX_TEST_MAIN(TestDeviceFilter)
#include "test_devicefilter.moc"
