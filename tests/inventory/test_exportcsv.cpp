#include "exportcsv.h"
#include "testmain.h"

using namespace rvx::exportcsv;

class TestExportCsv : public QObject
{
    Q_OBJECT

private slots:
    void headerRepeatsPerDepartmentAndCountsOnlyDevices()
    {
        const QByteArray header =
            "Serial Number,MAC Address,Hostname,Primary IP,Client Ver,Firmware Ver,TFM Ver,"
            "Kernel Ver,Based on,Mode,Firmware Type,Resets to\r\n";
        const QStringList one{"ABC1", "00:11:22:33:44:55", "lab-1", "10.0.0.5", "8.4.0",  "12.1.0", "2.0",
                              "6.1",  "Defaults",          "RDP",   "T620",     "Factory"};
        QStringList two = one;
        two[0] = "ABC2";
        two[2] = "two\r\nlines"; // would break the line structure
        const Text text = fileText({{one, two}, {}});
        QCOMPARE(text.deviceLines, 2);
        QCOMPARE(text.data,
                 header +
                     "ABC1,00:11:22:33:44:55,lab-1,10.0.0.5,8.4.0,12.1.0,2.0,6.1,Defaults,RDP,T620,"
                     "Factory\r\nABC2,00:11:22:33:44:55,two lines,10.0.0.5,8.4.0,12.1.0,2.0,6.1,"
                     "Defaults,RDP,T620,Factory\r\n" +
                     header);
        QCOMPARE(titles().size(), 12);
        QCOMPARE(fileText({}).deviceLines, 0);
        QVERIFY(fileText({}).data.isEmpty());
    }

    void csvSuffix_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("used");
        QTest::newRow("without") << "/home/a/devices"
                                 << "/home/a/devices.csv";
        QTest::newRow("lower") << "/home/a/devices.csv"
                               << "/home/a/devices.csv";
        QTest::newRow("capitals") << "/home/a/DEVICES.CSV"
                                  << "/home/a/DEVICES.CSV";
        QTest::newRow("other extension") << "/home/a/devices.txt"
                                         << "/home/a/devices.txt.csv";
    }
    void csvSuffix()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, used);
        QCOMPARE(withCsvSuffix(chosen), used);
    }
};

RVX_TEST_MAIN(TestExportCsv)
#include "test_exportcsv.moc"
