// The device record: block loading, field encodings and version rules.

#include "testmain.h"
#include "thinclientinfo.h"

class TestThinclientInfo : public QObject
{
    Q_OBJECT

private slots:
    void blankRecord();
    void shortAndLongBlocks();
    void ipAddressByteOrder();
    void bootModeTexts_data();
    void bootModeTexts();
    void textFieldsAreCutToTheirSize();
    void versionComparison_data();
    void versionComparison();
    void clientMajorAndOldAgent_data();
    void clientMajorAndOldAgent();
    void titledCheckNotifies();
};

void TestThinclientInfo::blankRecord()
{
    ThinclientInfo r;
    QCOMPARE(r.block(), QByteArray(512, '\0'));
    QVERIFY(!r.skipPolicy);
    QVERIFY(!r.socket && !r.item && !r.transferFile && !r.pendingFrames);
    QVERIFY(!r.isOnline());
}

void TestThinclientInfo::shortAndLongBlocks()
{
    ThinclientInfo r;
    r.loadBlock(QByteArray(512, '\x55'));
    r.loadBlock(QByteArray(300, '\x11'));
    const QByteArray b = r.block();
    QCOMPARE(b.left(300), QByteArray(300, '\x11'));
    QCOMPARE(b.mid(300), QByteArray(212, '\0')); // the rest of an earlier block is gone

    QByteArray longer(600, '\x22');
    longer[511] = '\x33';
    r.loadBlock(longer);
    QCOMPARE(r.block().size(), 512);
    QCOMPARE(r.block().at(511), '\x33');
}

void TestThinclientInfo::ipAddressByteOrder()
{
    ThinclientInfo r;
    QByteArray block(512, '\0');
    block[8] = char(0xC0);
    block[9] = char(0xA8);
    block[10] = char(0x01);
    block[11] = char(0x0A);
    block[240] = char(0xFF);
    block[241] = char(0xFF);
    block[242] = char(0xFE);
    block[243] = char(0x00);
    r.loadBlock(block);
    QCOMPARE(r.ipAddressText(), QString("192.168.1.10"));
    QCOMPARE(r.netmaskText(), QString("255.255.254.0"));
    r.setIpAddressValue(0x0A4D0002);
    QCOMPARE(r.block().mid(8, 4), QByteArray::fromHex("0a4d0002"));
}

void TestThinclientInfo::bootModeTexts_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::newRow("offline") << 0 << "Offline";
    QTest::newRow("one is offline") << 1 << "Offline";
    QTest::newRow("normal") << 2 << "Normal";
    QTest::newRow("maintenance") << 3 << "Maintenance";
    QTest::newRow("unknown") << 200 << "Offline";
}

void TestThinclientInfo::bootModeTexts()
{
    QFETCH(int, mode);
    QFETCH(QString, text);
    QCOMPARE(ThinclientInfo::bootModeText(static_cast<quint8>(mode)), text);
}

void TestThinclientInfo::textFieldsAreCutToTheirSize()
{
    ThinclientInfo r;
    r.setDescription(QString(100, QLatin1Char('d')));
    r.setHostname(QString(50, QLatin1Char('h')));
    QCOMPARE(r.description().size(), 63); // always NUL-terminated within the field
    QCOMPARE(r.hostname().size(), 39);
    QCOMPARE(r.info[ThinclientInfo::HwNameOffset], uchar(0)); // the neighbour is untouched
    r.setSerialNumber(QStringLiteral("ABC"));
    r.setSerialNumber(QStringLiteral("Z"));
    QCOMPARE(r.serialNumber(), QString("Z")); // no tail of the longer value
}

void TestThinclientInfo::versionComparison_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("patch");
    QTest::addColumn<bool>("atLeast");
    QTest::newRow("equal") << "8.4.0" << 8 << 4 << 0 << true;
    QTest::newRow("patch below") << "8.4.0" << 8 << 4 << 1 << false;
    QTest::newRow("minor above") << "8.4.0" << 8 << 3 << 9 << true;
    QTest::newRow("numeric not textual") << "10.0.0" << 8 << 4 << 0 << true;
    QTest::newRow("9 below 10") << "9.9.9" << 10 << 0 << 0 << false;
    QTest::newRow("missing patch is 0") << "8.4" << 8 << 4 << 0 << true;
    QTest::newRow("missing patch below 1") << "8.4" << 8 << 4 << 1 << false;
    QTest::newRow("major only") << "8" << 8 << 0 << 1 << false;
    QTest::newRow("garbage reads as 0") << "x.y.z" << 0 << 0 << 0 << true;
    QTest::newRow("empty") << "" << 0 << 0 << 0 << true;
    QTest::newRow("empty below 8") << "" << 8 << 0 << 0 << false;
    QTest::newRow("garbage component") << "8.x.5" << 8 << 0 << 5 << true;
    QTest::newRow("two-digit minor") << "8.10.0" << 8 << 9 << 0 << true;
    QTest::newRow("extra components ignored") << "8.4.0.99" << 8 << 4 << 1 << false;
}

void TestThinclientInfo::versionComparison()
{
    QFETCH(QString, version);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, patch);
    QFETCH(bool, atLeast);
    ThinclientInfo r;
    r.setClientVersion(version);
    r.setFirmwareVersion(version);
    QCOMPARE(r.clientVersionAtLeast(major, minor, patch), atLeast);
    QCOMPARE(r.firmwareVersionAtLeast(major, minor, patch), atLeast);
}

void TestThinclientInfo::clientMajorAndOldAgent_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("major");
    QTest::addColumn<bool>("old");
    QTest::newRow("8.4.0") << "8.4.0" << 8 << false;
    QTest::newRow("7.9.1") << "7.9.1" << 7 << true;
    QTest::newRow("6.0") << "6.0" << 6 << true;
    QTest::newRow("10.1.0 is not old") << "10.1.0" << 10 << false;
    QTest::newRow("17.0 is not old") << "17.0" << 17 << false;
    QTest::newRow("empty") << "" << 0 << false;
    QTest::newRow("unreadable") << "x.1" << 0 << false;
}

void TestThinclientInfo::clientMajorAndOldAgent()
{
    QFETCH(QString, version);
    QFETCH(int, major);
    QFETCH(bool, old);
    ThinclientInfo r;
    r.setClientVersion(version);
    QCOMPARE(r.clientMajorVersion(), major);
    QCOMPARE(r.isOldAgent(), old);
}

void TestThinclientInfo::titledCheckNotifies()
{
    QStringList shown;
    ThinclientInfo::setVersionNotifier(
        [&shown](const QString& title, const QString& text) { shown << title << text; });
    ThinclientInfo r;
    r.setClientVersion(QStringLiteral("8.2.9"));
    QVERIFY(!r.clientVersionAtLeast(8, 3, 0)); // silent
    QVERIFY(shown.isEmpty());
    QVERIFY(!r.clientVersionAtLeast(8, 3, 0, QStringLiteral("Configure Session Shadowing")));
    QCOMPARE(shown,
             QStringList(
                 {"Configure Session Shadowing",
                  "Command requires rvx_client 8.3.0 or later, please upgrade rvx_client on this device."}));
    shown.clear();
    r.setFirmwareVersion(QStringLiteral("8.0.0"));
    QVERIFY(!r.firmwareVersionAtLeast(8, 1, 2, QStringLiteral("T")));
    QCOMPARE(shown.value(1),
             QString("Command requires ZYLOS 8.1.2 or later, please upgrade rvx_client on this device."));
    QVERIFY(r.clientVersionAtLeast(8, 2, 0, QStringLiteral("T")));
    QCOMPARE(shown.size(), 2);
    ThinclientInfo::setVersionNotifier({});
}

RVX_TEST_MAIN(TestThinclientInfo)
#include "test_thinclientinfo.moc"
