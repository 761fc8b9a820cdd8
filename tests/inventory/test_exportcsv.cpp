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
        two[2] = "two\r\nlines"; // quoted, so the line structure holds
        const Text text = fileText({{one, two}, {}});
        QCOMPARE(text.deviceLines, 2);
        QCOMPARE(text.data,
                 header +
                     "ABC1,00:11:22:33:44:55,lab-1,10.0.0.5,8.4.0,12.1.0,2.0,6.1,Defaults,RDP,T620,"
                     "Factory\r\nABC2,00:11:22:33:44:55,\"two\r\nlines\",10.0.0.5,8.4.0,12.1.0,2.0,6.1,"
                     "Defaults,RDP,T620,Factory\r\n" +
                     header);
        QCOMPARE(titles().size(), 12);
        QCOMPARE(fileText({}).deviceLines, 0);
        QVERIFY(fileText({}).data.isEmpty());
    }

    // What devices report must stay one field and never become a formula; plain values are
    // written byte for byte.
    void fields_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain host") << "lab-1"
                                    << "lab-1";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("version") << "8.4.4"
                                 << "8.4.4";
        QTest::newRow("inner minus and equals") << "a-b=c"
                                                << "a-b=c";
        QTest::newRow("single quote") << "o'brien"
                                      << "o'brien";
        QTest::newRow("comma") << "lab,1"
                               << "\"lab,1\"";
        QTest::newRow("quote") << "say \"hi\""
                               << "\"say \"\"hi\"\"\"";
        QTest::newRow("line feed") << "a\nb"
                                   << "\"a\nb\"";
        QTest::newRow("carriage return") << "a\rb"
                                         << "\"a\rb\"";
        QTest::newRow("formula =") << "=HYPERLINK(\"x\")"
                                   << "\"'=HYPERLINK(\"\"x\"\")\"";
        QTest::newRow("formula +") << "+1"
                                   << "'+1";
        QTest::newRow("formula -") << "-2+3"
                                   << "'-2+3";
        QTest::newRow("formula @") << "@SUM(A1)"
                                   << "'@SUM(A1)";
        QTest::newRow("leading tab") << "\t=1"
                                     << "'\t=1";
        QTest::newRow("formula with comma") << "=1,2"
                                            << "\"'=1,2\"";
        QTest::newRow("not Latin-1") << QString::fromUtf8("caf\xc3\xa9") << QString::fromUtf8("caf\xc3\xa9");
    }
    void fields()
    {
        QFETCH(QString, value);
        QFETCH(QString, written);
        QCOMPARE(field(value), written);
        // The same value among others in a device line keeps every later column in place.
        const QStringList line{value, "after"};
        QCOMPARE(deviceLine(line), written + ",after");
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
