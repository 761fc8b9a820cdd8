// Version folders and the upgrade-file header: the rules that decide which firmware images
// and agent packages the server offers.

#include "testmain.h"
#include "upgradefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace upgrade;

class TestUpgradeFiles : public QObject
{
    Q_OBJECT

private slots:
    void packedVersions_data();
    void packedVersions();
    void newestFolder_data();
    void newestFolder();
    void newestFolderSkipsLinksAndFiles();
    void header_data();
    void header();
    void fileCheck();
};

void TestUpgradeFiles::packedVersions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint64>("packed");
    QTest::newRow("three parts") << "8.4.4" << quint64(0x080404);
    QTest::newRow("hyphens") << "8-4-4" << quint64(0x080404);
    QTest::newRow("two parts pack smaller") << "9.0" << quint64(0x0900);
    QTest::newRow("not a number reads 0") << "8.x.4" << quint64(0x080004);
    QTest::newRow("low 8 bits") << "8.4.260" << quint64(0x080404);
    QTest::newRow("four parts") << "1.2.3.4" << quint64(0x01020304);
}

void TestUpgradeFiles::packedVersions()
{
    QFETCH(QString, name);
    QFETCH(quint64, packed);
    QCOMPARE(packedFolderVersion(name), packed);
}

void TestUpgradeFiles::newestFolder_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("newest");
    QTest::newRow("10 beats 9") << QStringList{"8.4.9", "8.4.10"} << "8.4.10";
    QTest::newRow("two parts lose") << QStringList{"8.4", "8.3.1"} << "8.3.1";
    QTest::newRow("tie: first by name") << QStringList{"8.4.4", "8-4-4"} << "8-4-4";
    QTest::newRow("one") << QStringList{"7.0.0"} << "7.0.0";
    QTest::newRow("none") << QStringList{} << "";
}

void TestUpgradeFiles::newestFolder()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, newest);
    QTemporaryDir dir;
    for (const QString& f : folders)
        QVERIFY(QDir(dir.path()).mkdir(f));
    QCOMPARE(newestVersionFolder(dir.path()), newest);
}

void TestUpgradeFiles::newestFolderSkipsLinksAndFiles()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    QVERIFY(QDir(dir.path()).mkdir("8.4.4"));
    QVERIFY(QFile::link(outside.path(), dir.path() + "/9.9.9"));
    rvx::test::writeRaw(dir.path() + "/9.9.10", "a file, not a folder");
    QCOMPARE(newestVersionFolder(dir.path()), QString("8.4.4"));
    QCOMPARE(newestVersionFolder(QString()), QString());
    QCOMPARE(newestVersionFolder(dir.path() + "/missing"), QString());
}

void TestUpgradeFiles::header_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("type");
    const QByteArray good = makeHeader(11);
    QTest::newRow("valid") << good << true << 11;
    QByteArray tenth = good;
    tenth[9] = char(0x55);
    QTest::newRow("tenth byte free") << tenth << true << 11;
    QTest::newRow("50 bytes") << good.left(50) << false << 0;
    for (int offset : {0, 2, 4, 6}) {
        QByteArray bad = good;
        bad[offset] = static_cast<char>(bad.at(offset) ^ 1);
        QTest::newRow(qPrintable(QString("signature byte %1").arg(offset))) << bad << false << 0;
    }
    QTest::newRow("type 15") << makeHeader(15) << false << 0;
    QByteArray notInverted = good;
    for (int i = 0; i < 10; ++i)
        notInverted[i] = static_cast<char>(~static_cast<quint8>(notInverted.at(i)));
    QTest::newRow("not inverted") << notInverted << false << 0;
    QTest::newRow("longer than the header") << good + QByteArray(1000, 'x') << true << 11;
}

void TestUpgradeFiles::header()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, accepted);
    QFETCH(int, type);
    const HeaderCheck check = checkHeader(header);
    QCOMPARE(check.accepted, accepted);
    QCOMPARE(check.firmwareType, type);
}

void TestUpgradeFiles::fileCheck()
{
    QTemporaryDir dir;
    rvx::test::writeRaw(dir.path() + "/image", makeHeader(5) + "payload");
    rvx::test::writeRaw(dir.path() + "/short", makeHeader(5).left(50));
    QCOMPARE(checkUpgradeFile(dir.path() + "/image").firmwareType, 5);
    QVERIFY(!checkUpgradeFile(dir.path() + "/short").accepted);
    QVERIFY(!checkUpgradeFile(dir.path() + "/missing").accepted);
}

RVX_TEST_MAIN(TestUpgradeFiles)
#include "test_upgradefiles.moc"
