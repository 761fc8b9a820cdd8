// Storage assignment: merging the block-device lists devices upload, the sizes shown, the
// whitelist file and the approval the devices receive.

#include "storage.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace upgrade;
using rvx::test::bytes;
using rvx::test::readRaw;
using rvx::test::writeRaw;

using Counts = QMap<QString, int>;
Q_DECLARE_METATYPE(Counts)

class TestStorageRules : public QObject
{
    Q_OBJECT

private slots:
    void merge_data();
    void merge();
    void sizes_data();
    void sizes();
    void listsInFolder();
    void rowsSplitFields();
    void whitelistAndApproval();
    void approvalLimits();
};

void TestStorageRules::merge_data()
{
    QTest::addColumn<QList<QByteArray>>("lists");
    QTest::addColumn<Counts>("counts");
    const QString disk = "1953525168,ATA,WDC WD10,disk,sda";
    QTest::newRow("same line on two devices")
        << QList<QByteArray>{"1953525168,ATA,WDC WD10,disk,sda\n", "1953525168,ATA,WDC WD10,disk,sda\n"}
        << Counts{{disk, 2}};
    QTest::newRow("six and four fields ignored")
        << QList<QByteArray>{"1,a,b,c,d,e\n1,a,b,c\n" + disk.toLatin1() + "\n"} << Counts{{disk, 1}};
    QTest::newRow("CRLF merges with LF")
        << QList<QByteArray>{disk.toLatin1() + "\r\n", disk.toLatin1() + "\n"} << Counts{{disk, 2}};
    QTest::newRow("no final newline, empty lines")
        << QList<QByteArray>{"\n\n" + disk.toLatin1()} << Counts{{disk, 1}};
    QTest::newRow("empty fields kept") << QList<QByteArray>{",,,,\n"} << Counts{{",,,,", 1}};
    QTest::newRow("lines compared whole")
        << QList<QByteArray>{disk.toLatin1() + "\n" + disk.toLatin1() + " \n"}
        << Counts{{disk, 1}, {disk + " ", 1}};
    // A NUL byte from the device is part of the line, not its end.
    QTest::newRow("NUL inside a line")
        << QList<QByteArray>{QByteArray("1,A\0TA,m,disk,sda\n\0,,,,\n", 24)}
        << Counts{{QString::fromLatin1("1,A\0TA,m,disk,sda", 17), 1}, {QString::fromLatin1("\0,,,,", 5), 1}};
}

void TestStorageRules::merge()
{
    QFETCH(QList<QByteArray>, lists);
    QFETCH(Counts, counts);
    BlockDeviceCounts merged;
    for (const QByteArray& list : lists)
        addBlockDeviceList(merged, list);
    QCOMPARE(merged, counts);
}

void TestStorageRules::sizes_data()
{
    QTest::addColumn<QString>("sectors");
    QTest::addColumn<QString>("megabytes");
    QTest::newRow("1 TB disk") << "1953525168"
                               << "953870";
    QTest::newRow("4 TB disk") << "7814037168"
                               << "3815448";
    QTest::newRow("half rounds up") << "1024"
                                    << "1";
    QTest::newRow("below half") << "1023"
                                << "0";
    QTest::newRow("not a number") << "abc"
                                  << "0";
    QTest::newRow("negative") << "-2048"
                              << "0";
    QTest::newRow("empty") << ""
                           << "";
}

void TestStorageRules::sizes()
{
    QFETCH(QString, sectors);
    QFETCH(QString, megabytes);
    QCOMPARE(sizeInMegabytes(sectors), megabytes);
}

void TestStorageRules::listsInFolder()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    writeRaw(dir.filePath("S1_blkdev_list.lst"), "100,a,b,disk,sda\n200,c,d,disk,sdb\n");
    writeRaw(dir.filePath("S2_blkdev_list.lst"), "100,a,b,disk,sda\r\n");
    writeRaw(dir.filePath("other.lst"), "300,e,f,disk,sdc\n");
    writeRaw(outside.filePath("S3_blkdev_list.lst"), "400,g,h,disk,sdd\n");
    QVERIFY(QFile::link(outside.filePath("S3_blkdev_list.lst"), dir.filePath("S3_blkdev_list.lst")));
    QCOMPARE(readBlockDeviceLists(dir.path()), (Counts{{"100,a,b,disk,sda", 2}, {"200,c,d,disk,sdb", 1}}));

    QCOMPARE(removeBlockDeviceLists(dir.path()), 2);
    QVERIFY(readBlockDeviceLists(dir.path()).isEmpty());
    QVERIFY(QFile::exists(dir.filePath("other.lst")));
    QVERIFY(QFile::exists(outside.filePath("S3_blkdev_list.lst"))); // a link is not followed
}

void TestStorageRules::rowsSplitFields()
{
    const QList<BlockDevice> rows =
        blockDevices(Counts{{"7814037168,ATA,ST4000,disk,sdb", 3}, {",v,m,t,n", 1}});
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).line, QString(",v,m,t,n"));
    QCOMPARE(rows.at(0).sizeMb, QString());
    const BlockDevice& disk = rows.at(1);
    QCOMPARE(disk.sizeMb, QString("3815448"));
    QCOMPARE((QStringList{disk.vendor, disk.model, disk.type, disk.name}),
             (QStringList{"ATA", "ST4000", "disk", "sdb"}));
    QCOMPARE(disk.occurrences, 3);

    // Entries that are not list lines give no row (and do not read past their fields).
    QCOMPARE(blockDevices(Counts{{"no fields", 1}, {"1,2,3,4,5,6", 1}}).size(), 0);
    const QList<BlockDevice> nul = blockDevices(Counts{{QString::fromLatin1("\0,v,m,t,n", 9), 1}});
    QCOMPARE(nul.size(), 1);
    QCOMPARE(nul.at(0).name, QString("n"));
}

void TestStorageRules::whitelistAndApproval()
{
    QTemporaryDir dir;
    QCOMPARE(approvalPayload(false, dir.path()), QByteArray()); // no whitelist yet
    QVERIFY(writeWhitelist(dir.path(), {"100,a,b,disk,sda", "200,c,d,disk,sdb"}));
    const QByteArray list = "100,a,b,disk,sda\n200,c,d,disk,sdb\n";
    QCOMPARE(readRaw(dir.filePath("whitelist.txt")), list);
    QCOMPARE(approvalPayload(false, dir.path()), list);
    QCOMPARE(*approvalMessage(list), bytes({49, 0, 0, list.size()}) + list);

    // Auto-select sends its twelve bytes whatever the whitelist holds.
    const QByteArray automatic = approvalPayload(true, dir.path());
    QCOMPARE(automatic, QByteArray("AUTO-SELECT\n"));
    QCOMPARE(*approvalMessage(automatic), bytes({49, 0, 0, 12}) + "AUTO-SELECT\n");

    QVERIFY(writeWhitelist(dir.path(), {}));
    QCOMPARE(readRaw(dir.filePath("whitelist.txt")), QByteArray());
    QVERIFY(!writeWhitelist(dir.filePath("missing"), {"x"}));
    QCOMPARE(approvalSentence("S1", "AUTO-SELECT\n"),
             QString("approved storage devices for S1; approved storage was as follows:\nAUTO-SELECT\n"));
    QCOMPARE(blockDeviceListRequest(), bytes({48, 0, 0, 0}));
}

void TestStorageRules::approvalLimits()
{
    QVERIFY(approvalMessage(QByteArray(0xFFFF, 'x')));
    QVERIFY(!approvalMessage(QByteArray(0x10000, 'x')));
    QCOMPARE(*approvalMessage(QByteArray()), bytes({49, 0, 0, 0}));
}

RVX_TEST_MAIN(TestStorageRules)
#include "test_storagerules.moc"
