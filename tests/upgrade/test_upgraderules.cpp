// Which files the firmware, agent and hotfix commands send, to which devices, and the exact
// bytes of their messages.

#include "agentupgrade.h"
#include "firmware.h"
#include "hotfix.h"
#include "paths.h"
#include "testmain.h"
#include "upgradefile.h"
#include "wire.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace upgrade;
using commands::DeviceFacts;
using rvx::test::bytes;
using rvx::test::writeRaw;

namespace {

const QDate kDate(2024, 3, 7);

// An lp-string spelled out: the 16-bit count (text + NUL), the text, the NUL.
QByteArray lp(const QByteArray& text)
{
    return bytes({(text.size() + 1) >> 8, (text.size() + 1) & 0xFF}) + text + QByteArray(1, '\0');
}

QByteArray dateLp()
{
    return lp("3") + lp("7") + lp("2024");
}

// A file of a folder: "t5" a valid upgrade file of type 5, "bad" one that fails the check.
void makeFile(const QString& path, const QString& content)
{
    if (content == "bad")
        writeRaw(path, QByteArray(200, 'x'));
    else
        writeRaw(path, makeHeader(content.mid(1).toInt()) + "image body");
}

DeviceFacts device(const QString& serial, int type, const QString& version = "8.4.4", bool online = true)
{
    DeviceFacts d;
    d.serial = serial;
    d.firmwareType = type;
    d.firmwareVersion = version;
    d.online = online;
    return d;
}

using Files = QList<QPair<QString, QString>>;

QStringList repeated(int count, const QString& text)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << text;
    return list;
}

} // namespace

Q_DECLARE_METATYPE(Files)
Q_DECLARE_METATYPE(commands::DeviceFacts)

class TestUpgradeRules : public QObject
{
    Q_OBJECT

private slots:
    void images_data();
    void images();
    void imagesSkipLinksAndFolders();
    void firmwareMessage();
    void firmwareMessageOnlyUpgradeImg();
    void firmwareDevices();
    void firmwareReports();

    void storeContainment_data();
    void storeContainment();
    void packages();
    void agentMessage();

    void hotfixRows();
    void hotfixDevices_data();
    void hotfixDevices();
    void hotfixClassification();
    void hotfixMessageBytes();
    void hotfixMessageRefusals();
};

void TestUpgradeRules::images_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<int>("problem");
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("slotNames"); // file names in slot order, "" for empty
    using P = ImageSet::Problem;
    QTest::newRow("three images") << Files{{"uImage.bin", "t11"},
                                           {"rfs_jffs2.img", "t11"},
                                           {"upgrade.img", "t11"}}
                                  << int(P::None) << 11
                                  << QStringList{"uImage.bin", "rfs_jffs2.img", "upgrade.img"};
    QTest::newRow("prefix without case")
        << Files{{"UIMAGE.BIN", "t5"}, {"upgrade.img.bak", "t5"}} << int(P::None) << 5
        << QStringList{"UIMAGE.BIN", "", "upgrade.img.bak"};
    // The type comes from accepted files only: a rejected file examined last changes nothing.
    QTest::newRow("rejected file last") << Files{{"upgrade.img", "t5"}, {"upgrade.img.zzz", "bad"}}
                                        << int(P::None) << 5 << QStringList{"", "", "upgrade.img"};
    QTest::newRow("rejected file first") << Files{{"rfs_jffs2.img", "bad"}, {"upgrade.img", "t5"}}
                                         << int(P::None) << 5 << QStringList{"", "", "upgrade.img"};
    // By name, the later file of a prefix wins whatever order the file system lists them in.
    QTest::newRow("later by name wins") << Files{{"upgrade.img.bak", "t5"}, {"upgrade.img", "t5"}}
                                        << int(P::None) << 5 << QStringList{"", "", "upgrade.img.bak"};
    QTest::newRow("other files ignored") << Files{{"readme.txt", "t5"}, {"upgrade.img", "t9"}} << int(P::None)
                                         << 9 << QStringList{"", "", "upgrade.img"};
    QTest::newRow("images of two types") << Files{{"uimage.bin", "t5"}, {"upgrade.img", "t6"}}
                                         << int(P::MixedTypes) << -1 << QStringList{"", "", ""};
    QTest::newRow("only rejected") << Files{{"upgrade.img", "bad"}} << int(P::NoImages) << -1
                                   << QStringList{"", "", ""};
    QTest::newRow("type without a name") << Files{{"upgrade.img", "t0"}, {"uimage.bin", "t1"}}
                                         << int(P::NoImages) << -1 << QStringList{"", "", ""};
    QTest::newRow("empty folder") << Files{} << int(P::NoImages) << -1 << QStringList{"", "", ""};
}

void TestUpgradeRules::images()
{
    QFETCH(Files, files);
    QFETCH(int, problem);
    QFETCH(int, type);
    QFETCH(QStringList, slotNames);
    QTemporaryDir dir;
    for (const auto& f : files)
        makeFile(dir.filePath(f.first), f.second);
    const ImageSet set = firmwareImages(dir.path());
    QCOMPARE(int(set.problem), problem);
    QCOMPARE(set.firmwareType, type);
    for (int slot = 0; slot < ImageSlotCount; ++slot) {
        const QString expected = slotNames.at(slot).isEmpty()
                                     ? QString()
                                     : QDir::toNativeSeparators(dir.filePath(slotNames.at(slot)));
        QCOMPARE(set.paths[size_t(slot)], expected);
    }
}

void TestUpgradeRules::imagesSkipLinksAndFolders()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    makeFile(outside.filePath("upgrade.img"), "t5");
    QVERIFY(QFile::link(outside.filePath("upgrade.img"), dir.filePath("upgrade.img")));
    QVERIFY(QDir(dir.path()).mkdir("uimage.bin"));
    QCOMPARE(int(firmwareImages(dir.path()).problem), int(ImageSet::Problem::NoImages));
}

void TestUpgradeRules::firmwareMessage()
{
    QTemporaryDir dir;
    for (const char* name : {"uimage.bin", "rfs_jffs2.img", "upgrade.img"})
        makeFile(dir.filePath(name), "t11");
    const ImageSet set = firmwareImages(dir.path());
    const auto message = firmwareUpgradeMessage(set, kDate);
    QVERIFY(message);
    const QByteArray payload = dateLp() + lp("ZYL RPi 3") + lp(dir.filePath("uimage.bin").toLatin1()) +
                               lp(dir.filePath("rfs_jffs2.img").toLatin1()) +
                               lp(dir.filePath("upgrade.img").toLatin1());
    QCOMPARE(*message, bytes({3, 1, payload.size() >> 8, payload.size() & 0xFF}) + payload);

    wire::PayloadReader reader(*message, 4);
    int strings = 0;
    while (!reader.atEnd() && reader.ok()) {
        reader.lpString();
        ++strings;
    }
    QVERIFY(reader.ok());
    QCOMPARE(strings, 7);
}

void TestUpgradeRules::firmwareMessageOnlyUpgradeImg()
{
    QTemporaryDir dir;
    makeFile(dir.filePath("upgrade.img"), "t5");
    const auto message = firmwareUpgradeMessage(firmwareImages(dir.path()), kDate);
    QVERIFY(message);
    const QByteArray payload = dateLp() + lp("ZT-100 ARM") + lp(dir.filePath("upgrade.img").toLatin1());
    QCOMPARE(*message, bytes({3, 1, payload.size() >> 8, payload.size() & 0xFF}) + payload);

    // Not Latin-1, or longer than one message carries: nothing is built.
    ImageSet set;
    set.problem = ImageSet::Problem::None;
    set.firmwareType = 5;
    set.paths[2] = QString::fromUtf8("/srv/f\xc5\x91/upgrade.img");
    QVERIFY(!firmwareUpgradeMessage(set, kDate));
    set.paths[2] = QString(70000, 'a');
    QVERIFY(!firmwareUpgradeMessage(set, kDate));
    QVERIFY(!firmwareUpgradeMessage(ImageSet(), kDate));
}

void TestUpgradeRules::firmwareDevices()
{
    QVERIFY(!firmwareDeviceTypeBox({device("A", 5), device("B", 5)}));
    const auto box = firmwareDeviceTypeBox({device("A", 5), device("B", 6)});
    QVERIFY(box);
    QCOMPARE(box->title, QString("Upgrade Firmware"));
    QCOMPARE(box->text, QString("You have selected multiple device types.\nPlease select just one type."));

    ImageSet set;
    set.problem = ImageSet::Problem::None;
    set.firmwareType = 5;
    QVERIFY(firmwareEligible(device("A", 5), set));
    QVERIFY(!firmwareEligible(device("B", 6), set));
    QVERIFY(!firmwareEligible(device("C", 5, "8.4.4", false), set)); // went offline before the send
    // A device of type 0 never matches a folder whose images were all rejected.
    QVERIFY(!firmwareEligible(device("D", 0), ImageSet()));

    // Types without a name have no folder: the store root is never read as a type folder.
    QCOMPARE(typeFolder("/srv/fw", 0), QString());
    QCOMPARE(typeFolder("/srv/fw", 1), QString());
    QCOMPARE(typeFolder("/srv/fw", 12), QString("/srv/fw/ZYL RPi 4"));
}

void TestUpgradeRules::firmwareReports()
{
    QVERIFY(!firmwareReport(3, 0));
    const auto ignored = firmwareReport(2, 1);
    QVERIFY(ignored);
    QCOMPARE(int(ignored->kind), int(Box::Kind::Information));
    QVERIFY(
        ignored->text.startsWith("Firmware upgrade command has been sent to 2 device(s).\n\n1 device(s) were "
                                 "ignored because"));
    const auto none = firmwareReport(0, 0);
    QCOMPARE(int(none->kind), int(Box::Kind::Warning));
    QCOMPARE(none->text, QString("\nFirmware upgrade command has not been sent to any devices.\n\n"));

    QVERIFY(!agentReport(1, 0));
    QCOMPARE(agentReport(1, 2)->text,
             QString("Upgrade command has been sent to 1 device(s).\n\n2 device(s) were "
                     "ignored because they are offline or have a firmware type that the "
                     "update does not support."));
    QCOMPARE(agentReport(0, 0)->text, QString("\nUpgrade command has NOT been sent to any device(s)\n\n"));
    QVERIFY(!hotfixReport(0));
    QCOMPARE(hotfixReport(2)->text,
             QString("Hotfixes were not installed on 2 device(s) because they are offline."));

    QCOMPARE(firmwareSentence("S1", "/srv/fw/x/8.4.4"),
             QString("initiated firmware upgrade on S1 from /srv/fw/x/8.4.4"));
    QCOMPARE(agentSentence("S1", "/srv/apps/8.4.5"),
             QString("upgraded rvx_client on S1 from /srv/apps/8.4.5"));
    QCOMPARE(hotfixSentence("/h/a.bin", "S1"), QString("installed hotfix /h/a.bin on S1"));
}

void TestUpgradeRules::storeContainment_data()
{
    QTest::addColumn<QString>("folder"); // relative to the temporary root
    QTest::addColumn<bool>("within");
    QTest::newRow("the store") << "apps" << true;
    QTest::newRow("a version folder") << "apps/8.4" << true;
    QTest::newRow("deeper") << "apps/8.4/extra" << true;
    QTest::newRow("name that starts like it") << "apps-old/8.4" << false;
    QTest::newRow("dot-dot out") << "apps/../apps-old" << false;
    QTest::newRow("link inside pointing out") << "apps/escape" << false;
    QTest::newRow("link outside pointing in") << "into" << true;
    QTest::newRow("missing") << "apps/9.9" << false;
    QTest::newRow("parent") << "" << false;
}

void TestUpgradeRules::storeContainment()
{
    QFETCH(QString, folder);
    QFETCH(bool, within);
    QTemporaryDir dir;
    QDir root(dir.path());
    QVERIFY(root.mkpath("apps/8.4/extra"));
    QVERIFY(root.mkpath("apps-old/8.4"));
    QVERIFY(QFile::link(dir.filePath("apps-old"), dir.filePath("apps/escape")));
    QVERIFY(QFile::link(dir.filePath("apps/8.4"), dir.filePath("into")));
    const QString path = folder.isEmpty() ? dir.path() : dir.filePath(folder);
    QCOMPARE(isWithinFolder(path, dir.filePath("apps")), within);
    QCOMPARE(!agentFolderBox(path, dir.filePath("apps")), within);
}

void TestUpgradeRules::packages()
{
    QTemporaryDir dir;
    makeFile(dir.filePath("a_type5.pkg"), "t5");
    makeFile(dir.filePath("b_type11.pkg"), "t11");
    makeFile(dir.filePath("c_type5_newer.pkg"), "t5"); // later by name: wins type 5
    makeFile(dir.filePath("notes.txt"), "bad");
    const PackageSet set = agentPackages(dir.path());
    QCOMPARE(set.keys(), (QList<int>{5, 11}));
    QCOMPARE(set.value(5), QDir::toNativeSeparators(dir.filePath("c_type5_newer.pkg")));

    QCOMPARE(packageFor(device("A", 5), set), set.value(5));
    QCOMPARE(packageFor(device("B", 11), set), set.value(11));
    QCOMPARE(packageFor(device("C", 3), set), QString());
    QCOMPARE(packageFor(device("D", 5, "8.4.4", false), set), QString());
    QVERIFY(agentPackages(dir.filePath("missing")).isEmpty());
}

void TestUpgradeRules::agentMessage()
{
    // A 10-character path takes 11 bytes with its NUL right after the header; the length
    // counts everything after the header.
    const auto message = agentUpgradeMessage("/p/pkg.bin", kDate);
    QVERIFY(message);
    const QByteArray payload = QByteArray("/p/pkg.bin") + '\0' + dateLp();
    QCOMPARE(payload.size(), 26);
    QCOMPARE(*message, bytes({12, 1, 0, 26}) + payload);
    QVERIFY(!agentUpgradeMessage(QString(), kDate));
    QVERIFY(!agentUpgradeMessage(QString::fromUtf8("/p/\xe2\x82\xac.bin"), kDate));
    QVERIFY(!agentUpgradeMessage(QString(65530, 'p'), kDate));
}

void TestUpgradeRules::hotfixRows()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    for (const char* name :
         {"x%8.4.4%Fix.bin", "y%8.4.3%Other.bin", "x%8.4.4%.bin", "z%8.4.4%Named%extra.bin",
          "w%8.4.4%Text.txt", "8.4.4%Two.bin", "%8.4.4%Empty first.bin", "v%8.4.4 %Space.bin"})
        writeRaw(dir.filePath(name), "hotfix");
    writeRaw(outside.filePath("target.bin"), "hotfix");
    QVERIFY(QFile::link(outside.filePath("target.bin"), dir.filePath("l%8.4.4%Link.bin")));
    QVERIFY(QDir(dir.path()).mkdir("d%8.4.4%Folder.bin"));

    QStringList names;
    QStringList paths;
    for (const HotfixRow& row : upgrade::hotfixRows(dir.path(), "8.4.4")) {
        names << row.name;
        paths << row.path;
    }
    QCOMPARE(names, (QStringList{"Empty first", "Fix", "Named"}));
    QCOMPARE(paths.at(1), QDir(dir.path()).absoluteFilePath("x%8.4.4%Fix.bin"));
    QCOMPARE(upgrade::hotfixRows(dir.path(), "8.4.3").size(), 1);
    QVERIFY(upgrade::hotfixRows(dir.path(), "8.4").isEmpty());
}

void TestUpgradeRules::hotfixDevices_data()
{
    QTest::addColumn<QList<DeviceFacts>>("devices");
    QTest::addColumn<QString>("box"); // "types", "versions", "" for none
    QTest::addColumn<bool>("proceeds");
    QTest::newRow("one type, one version")
        << QList<DeviceFacts>{device("A", 5), device("B", 5)} << "" << true;
    QTest::newRow("two types") << QList<DeviceFacts>{device("A", 5), device("B", 6)} << "types" << false;
    // A device without a type or version among others is refused, never taken as a wildcard.
    QTest::newRow("type 0 first") << QList<DeviceFacts>{device("A", 0), device("B", 5)} << "types" << false;
    QTest::newRow("type 0 later") << QList<DeviceFacts>{device("A", 5), device("B", 0)} << "types" << false;
    QTest::newRow("empty version first")
        << QList<DeviceFacts>{device("A", 5, ""), device("B", 5)} << "versions" << false;
    QTest::newRow("empty version later")
        << QList<DeviceFacts>{device("A", 5), device("B", 5, "")} << "versions" << false;
    QTest::newRow("versions differ in case")
        << QList<DeviceFacts>{device("A", 5, "8.4.4a"), device("B", 5, "8.4.4A")} << "versions" << false;
    QTest::newRow("types checked first")
        << QList<DeviceFacts>{device("A", 5, "1"), device("B", 6, "2")} << "types" << false;
    QTest::newRow("all without a type") << QList<DeviceFacts>{device("A", 0), device("B", 0)} << "" << false;
    QTest::newRow("all without a version") << QList<DeviceFacts>{device("A", 5, "")} << "" << false;
}

void TestUpgradeRules::hotfixDevices()
{
    QFETCH(QList<DeviceFacts>, devices);
    QFETCH(QString, box);
    QFETCH(bool, proceeds);
    const HotfixDeviceCheck check = checkHotfixDevices(devices);
    QCOMPARE(bool(check.target), proceeds);
    const QString types = "You have selected multiple firmware types.\n\nPlease select devices with the same "
                          "firmware type.";
    const QString versions =
        "You have selected multiple firmware versions.\n\nPlease select devices with the "
        "same firmware version.";
    QCOMPARE(check.box ? check.box->text : QString(), box == "types"      ? types
                                                      : box == "versions" ? versions
                                                                          : "");
    if (check.box)
        QCOMPARE(check.box->title, QString("Hotfix Installation"));
    if (proceeds) {
        QCOMPARE(check.target->firmwareType, 5);
        QCOMPARE(check.target->firmwareVersion, QString("8.4.4"));
    }
}

void TestUpgradeRules::hotfixClassification()
{
    QTemporaryDir dir;
    makeFile(dir.filePath("enc.bin"), "t5");
    makeFile(dir.filePath("other.bin"), "t6");
    writeRaw(dir.filePath("short.bin"), makeHeader(5).left(50));
    QCOMPARE(classifyHotfix(dir.filePath("enc.bin"), 5), HotfixKind::Encrypted);
    QCOMPARE(classifyHotfix(dir.filePath("other.bin"), 5), HotfixKind::WrongType);
    QCOMPARE(classifyHotfix(dir.filePath("short.bin"), 5), HotfixKind::Unencrypted);
    QCOMPARE(classifyHotfix(dir.filePath("missing.bin"), 5), HotfixKind::Unencrypted);
    QCOMPARE(wrongTypeHotfixBox("/h/other.bin", 5).text,
             QString("/h/other.bin is not a valid hotfix file for ZT-100 ARM devices, and will be ignored."));
    const Box q = unencryptedHotfixQuestion("/h/short.bin");
    QCOMPARE(int(q.kind), int(Box::Kind::Question));
    QVERIFY(!q.defaultYes);
    QVERIFY(q.text.startsWith("/h/short.bin is not an encrypted hotfix file.\n\n"));
}

void TestUpgradeRules::hotfixMessageBytes()
{
    const HotfixMessage m = hotfixMessage(5, {"/h/a.bin", "/h/bb.bin"}, kDate);
    QVERIFY(m.message);
    QVERIFY(!m.box);
    const QByteArray payload = dateLp() + lp("ZT-100 ARM") + bytes({2}) + lp("/h/a.bin") + lp("/h/bb.bin");
    QCOMPARE(*m.message, bytes({26, 2, payload.size() >> 8, payload.size() & 0xFF}) + payload);

    // 255 files still fit the count byte.
    const HotfixMessage full = hotfixMessage(5, repeated(255, "/h/a.bin"), kDate);
    QVERIFY(full.message);
    QCOMPARE(quint8(full.message->at(4 + dateLp().size() + lp("ZT-100 ARM").size())), quint8(255));
}

void TestUpgradeRules::hotfixMessageRefusals()
{
    const HotfixMessage many = hotfixMessage(5, repeated(256, "/h/a.bin"), kDate);
    QVERIFY(!many.message);
    QVERIFY(many.box);
    QCOMPARE(many.box->title, QString("Hotfix Installation"));
    QVERIFY(many.box->text.contains("256"));

    const HotfixMessage huge = hotfixMessage(5, repeated(200, QString(400, 'p')), kDate);
    QVERIFY(!huge.message);
    QVERIFY(huge.box);

    const HotfixMessage foreign = hotfixMessage(5, {"/h/a.bin", QString::fromUtf8("/h/\xd0\xb6.bin")}, kDate);
    QVERIFY(!foreign.message);
    QVERIFY(foreign.box->text.contains(QString::fromUtf8("\xd0\xb6")));
    QVERIFY(latin1PathBox("T", {QString::fromLatin1("/h/caf\xe9.bin")}) == std::nullopt);
}

RVX_TEST_MAIN(TestUpgradeRules)
#include "test_upgraderules.moc"
