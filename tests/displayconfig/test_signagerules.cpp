#include "signage.h"
#include "testmain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace signage;

namespace {

QByteArray md5(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

const QByteArray kConfig = "# local rsync service\n"
                           "use chroot = no\n"
                           "[global]\n"
                           "read only = yes\n"
                           "\n"
                           "[lobby]\n"
                           "path = /srv/signage/lobby\n"
                           "comment = Lobby screens\n"
                           "\n"
                           "[menu]\n"
                           "path = /srv/signage/menu\n"
                           "\n"
                           "  [ canteen ]  \n"
                           "path = /srv/signage/canteen\n";

} // namespace

class TestSignageRules : public QObject
{
    Q_OBJECT

private slots:
    void playlistNames_data();
    void playlistNames();
    void sections();
    void removeLeavesOtherSectionsAlone();
    void fileKeepsItsMode();
    void moduleListing();
    void contentListOrderAndDigests();
    void contentListSkipsWhatItCannotName();
    void dsiEditorChecks_data();
    void dsiEditorChecks();
    void dsiAndSyncTexts();
};

void TestSignageRules::playlistNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problem");
    QTest::newRow("global") << "global"
                            << "The playlist cannot be named \"global\" (this is a reserved word).";
    QTest::newRow("Global") << "Global"
                            << "The playlist cannot be named \"global\" (this is a reserved word).";
    QTest::newRow("globalx") << "globalx"
                             << "";
    QTest::newRow("new") << "foyer_2"
                         << "";
    QTest::newRow("duplicate") << "menu"
                               << "A playlist named \"menu\" already exists.";
    QTest::newRow("duplicate in other case") << "LOBBY"
                                             << "A playlist named \"lobby\" already exists.";
    QTest::newRow("line break")
        << "a\n[evil]"
        << "The playlist name may only contain letters, digits, \"-\", \".\" and \"_\".";
    QTest::newRow("bracket") << "a]b"
                             << "The playlist name may only contain letters, digits, \"-\", \".\" and \"_\".";
}

void TestSignageRules::playlistNames()
{
    QFETCH(QString, name);
    QFETCH(QString, problem);
    QCOMPARE(playlistNameProblem(name, playlists(kConfig)).value_or(QString()), problem);
}

void TestSignageRules::sections()
{
    QCOMPARE(playlists(kConfig), QStringList({"lobby", "menu", "canteen"}));
    QCOMPARE(modulePath("C:/Signage/Lobby", PathStyle::Cygwin), QString("/cygdrive/C/Signage/Lobby"));
    QCOMPARE(modulePath("C:\\Signage\\Lobby", PathStyle::Cygwin), QString("/cygdrive/C/Signage/Lobby"));
    QCOMPARE(modulePath("/srv/signage/foyer", PathStyle::Plain), QString("/srv/signage/foyer"));

    const QByteArray added = withSection(kConfig, "foyer", modulePath("C:/Signage/Lobby", PathStyle::Cygwin));
    QCOMPARE(added, kConfig + "[foyer]\npath = /cygdrive/C/Signage/Lobby\n\n");
    QCOMPARE(playlists(added).last(), QString("foyer"));
    // A file without a final line break does not glue the header to its last line.
    QCOMPARE(withSection("use chroot = no", "a", "/x"), QByteArray("use chroot = no\n[a]\npath = /x\n\n"));
    QCOMPARE(withSection(QByteArray(), "a", "/x"), QByteArray("[a]\npath = /x\n\n"));
    QVERIFY(!isUsableFolder("/srv/sig\nnage"));
    QVERIFY(isUsableFolder("/srv/signage"));
}

void TestSignageRules::removeLeavesOtherSectionsAlone()
{
    const QByteArray without = withoutSection(kConfig, "lobby");
    QCOMPARE(
        without,
        QByteArray("# local rsync service\nuse chroot = no\n[global]\nread only = yes\n\n"
                   "[menu]\npath = /srv/signage/menu\n\n  [ canteen ]  \npath = /srv/signage/canteen\n"));
    QCOMPARE(withoutSection(kConfig, "canteen"), kConfig.left(kConfig.indexOf("  [ canteen ]")));
    QCOMPARE(withoutSection(kConfig, "missing"), kConfig);
    QCOMPARE(withoutSection(withSection(kConfig, "foyer", "/x"), "foyer"), kConfig);
}

void TestSignageRules::fileKeepsItsMode()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rsyncd.conf");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kConfig);
    f.close();
    QVERIFY(QFile::setPermissions(path,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    const QFileDevice::Permissions mode = QFileInfo(path).permissions(); // 0640
    QVERIFY(writeWholeFile(path, withSection(kConfig, "foyer", "/x")));
    QCOMPARE(QFileInfo(path).permissions(), mode);
    QCOMPARE(*readConfigFile(path), withSection(kConfig, "foyer", "/x"));
    // A missing file reads as no playlists; its folder decides whether it can be created.
    QCOMPARE(*readConfigFile(dir.filePath("none.conf")), QByteArray());
    QVERIFY(isWritable(dir.filePath("none.conf")));
    QVERIFY(!isWritable(dir.filePath("no/such/folder.conf")));
}

void TestSignageRules::moduleListing()
{
    // What the rsync client prints: the message of the day, then each module's name padded to
    // 15 characters, a tab and its comment.
    const QByteArray output = "Welcome to the signage server\n"
                              "maintenance\tSunday 02:00\n"
                              "\n"
                              "lobby          \tLobby screens\n"
                              "menu           \t\n"
                              "a_very_long_module_name\tlong\n";
    QCOMPARE(parseModules(output), QStringList({"lobby", "menu", "a_very_long_module_name"}));
    QCOMPARE(parseModules(QByteArray()), QStringList());
    // Names holding control bytes (a NUL would have read as an empty name) are not modules.
    QCOMPARE(parseModules(QByteArray("\0lobby         \tx\nme\x01nu          \tx\nok             \t\n", 53)),
             QStringList({"ok"}));
    QCOMPARE(listArguments("10.0.0.5:8873").last(), QString("rsync://10.0.0.5:8873/"));
    QVERIFY(!listArguments("h").contains("--no-motd"));
    QString server, playlist;
    QVERIFY(parseSourceUrl(sourceUrl("10.0.0.5:8873", "lobby"), &server, &playlist));
    QCOMPARE(server, QString("10.0.0.5:8873"));
    QCOMPARE(playlist, QString("lobby"));
    QVERIFY(!parseSourceUrl("/srv/signage", &server, &playlist));
}

void TestSignageRules::contentListOrderAndDigests()
{
    QTemporaryDir dir;
    const QString root = dir.filePath("content");
    QVERIFY(QDir().mkpath(root + "/b_sub/deeper"));
    QVERIFY(QDir().mkpath(root + "/a_sub"));
    auto write = [](const QString& path, const QByteArray& data) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    };
    write(root + "/2.png", "second");
    write(root + "/1.png", "first");
    write(root + "/b_sub/clip.mp4", QByteArray(70000, 'v'));
    write(root + "/b_sub/deeper/x.jpg", "x");
    // A link is neither followed nor listed.
    QVERIFY(QFile::link(dir.path(), root + "/link_to_outside"));

    const ContentList list = listContent(root);
    const QString r = QDir::toNativeSeparators(root);
    const QByteArray expected = "dir=" + r.toLatin1() + "/a_sub\n" + "dir=" + r.toLatin1() + "/b_sub\n" +
                                "dir=" + r.toLatin1() + "/b_sub/deeper\n" + "file=" + r.toLatin1() +
                                "/b_sub/deeper/x.jpg md5sum=" + md5("x") + "\n" + "file=" + r.toLatin1() +
                                "/b_sub/clip.mp4 md5sum=" + md5(QByteArray(70000, 'v')) + "\n" +
                                "file=" + r.toLatin1() + "/1.png md5sum=" + md5("first") + "\n" +
                                "file=" + r.toLatin1() + "/2.png md5sum=" + md5("second") + "\n";
    QCOMPARE(contentListText(list), expected);
    QVERIFY(list.unreadable.isEmpty());
    QCOMPARE(listFileName(2), QString("dsi_file_list_op2.txt"));
}

void TestSignageRules::contentListSkipsWhatItCannotName()
{
    QTemporaryDir dir;
    QFile ok(dir.filePath("ok.png"));
    QVERIFY(ok.open(QIODevice::WriteOnly));
    ok.close();
    QFile broken(dir.filePath("two\nlines.png"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.close();
    QVERIFY(QDir().mkpath(dir.filePath("folder\nfile=/etc/shadow md5sum=0")));
    const ContentList list = listContent(dir.path());
    QCOMPARE(list.entries.size(), 1);
    QCOMPARE(list.unreadable.size(), 2);
    QCOMPARE(contentListText(list).count('\n'), 1);
}

void TestSignageRules::dsiEditorChecks_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("folderGiven");
    QTest::addColumn<QString>("problem");
    QTest::newRow("images") << "images"
                            << "10"
                            << "" << true << "";
    QTest::newRow("no cycle time") << "images"
                                   << ""
                                   << "" << true << "\nCycle Time field cannot be empty";
    QTest::newRow("bad cycle time") << "images"
                                    << "ten"
                                    << "" << true << "\nCycle Time is not a valid number";
    QTest::newRow("videos need no cycle time") << "movies"
                                               << ""
                                               << "" << true << "";
    QTest::newRow("web without url") << "browser"
                                     << "10"
                                     << "" << false << "\nYou must provide a valid URL for web content";
    QTest::newRow("remote web") << "browser"
                                << "10"
                                << "https://intranet/" << false << "";
    QTest::newRow("local web needs a folder")
        << "browser"
        << "10"
        << "file:///home/zyl/dsi_root/output1/index.html" << false
        << "Content Folder cannot be empty unless displaying web content with a remote URL.";
    QTest::newRow("images need a folder")
        << "images"
        << "10"
        << "" << false
        << "Content Folder cannot be empty unless displaying web content with a "
           "remote URL.";
}

void TestSignageRules::dsiEditorChecks()
{
    QFETCH(QString, action);
    QFETCH(QString, duration);
    QFETCH(QString, url);
    QFETCH(bool, folderGiven);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    QCOMPARE(dsiProblem(action, duration, url, folderGiven ? dir.path() : QString()).value_or(QString()),
             problem);
    QCOMPARE(dsiProblem("images", "5", QString(), dir.filePath("missing")).value_or(QString()),
             QString("Content Folder does not exist."));
}

void TestSignageRules::dsiAndSyncTexts()
{
    std::array<OutputValues, OutputCount> outputs{};
    outputs[0] = {true, "images", "10", "", "/srv/s1", "/tmp/rvx/dsi_file_list_op1.txt", "", "", ""};
    outputs[2] = {true, "browser", "30", "https://a/ https://b/", "", "", "", "", ""};
    QCOMPARE(dsiText(outputs),
             QByteArray("connection_type=dsi\n"
                        "ds_output1_enabled=yes\nds_output1_action=images\nds_output1_duration=10\n"
                        "ds_output1_url=\nds_output1_source=/srv/s1\n"
                        "ds_output1_source_index=/tmp/rvx/dsi_file_list_op1.txt\n"
                        "ds_output2_enabled=no\n"
                        "ds_output3_enabled=yes\nds_output3_action=browser\nds_output3_duration=30\n"
                        "ds_output3_url=https://a/ https://b/\nds_output3_source=\n"
                        "ds_output3_source_index=\n"));
    QCOMPARE(dsiAuditSentence("SN2"), QString("configured SN2 for dsi mode"));

    const QList<SyncedOutput> synced = {{3, "/srv/s3", "/tmp/l3"}};
    QCOMPARE(syncText(synced), QByteArray("dsi_output3_source=/srv/s3\ndsi_output3_source_index=/tmp/l3\n"));
    const QByteArray frame = syncLegacyFrame(synced);
    QCOMPARE(frame, QByteArray("\x2D\x01\x00\x17\x00\x00\x01\x00\x08/srv/s3\x00\x00\x08/tmp/l3\x00", 27));

    QVERIFY(isServedFolder("/srv/s1/", {"/srv/s1"}, {}));
    QVERIFY(isServedFolder("/srv/x/../s1", {}, {"/srv/s1"}));
    QVERIFY(!isServedFolder("/srv/s1-evil", {"/srv/s1"}, {}));
    QVERIFY(!isServedFolder("", {""}, {}));
}

RVX_TEST_MAIN(TestSignageRules)
#include "test_signagerules.moc"
