// The update catalogue: which records count, what each entry becomes, where it is downloaded
// to, what happens to it once downloaded, and the newest versions the device list compares
// against. One table; each row is a catalogue and what an administrator's server makes of it.

#include "catalogue.h"
#include "testmain.h"
#include "updaterules.h"

using namespace updates;

namespace {

const CatalogueFolders kFolders{"/W/temp", "/W/firmware", "/W/rvxclient", "/W/hotfix"};

QString versionText(quint32 packed)
{
    return QString("%1.%2.%3").arg(packed >> 16).arg((packed >> 8) & 0xFF).arg(packed & 0xFF);
}

QString dispositionText(Disposition d)
{
    switch (d) {
    case Disposition::Unpack:
        return "unpack";
    case Disposition::SelfUpdate:
        return "install at exit";
    case Disposition::News:
        return "show";
    case Disposition::Download:
        return "report";
    }
    return "?";
}

// What the server makes of a catalogue, one line per mirror, queued entry and known version.
QStringList describe(const Catalogue& catalogue, bool background, const QString& platform)
{
    QStringList lines;
    for (int i = 0; i + 1 < catalogue.mirrors.size(); i += 2)
        lines << "mirror " + catalogue.mirrors.at(i) + " " + catalogue.mirrors.at(i + 1);
    DownloadQueue queue = catalogue.entries;
    if (background)
        keepNewsOnly(queue);
    for (const UpgradeFile& e : queue) {
        QString line = e.type + " " + e.localPath + " -> " + dispositionText(dispositionOf(e, platform));
        if (!e.isNews())
            line += " [" + typeLabel(e.type) + ", " + e.board + ", " + sizeInMegabytes(e.size) + " MB]";
        lines << line;
    }
    for (int i = 0; i < FirmwareTypeCount; ++i) {
        if (catalogue.versions.firmware[i])
            lines << QString("firmware for type %1: %2")
                         .arg(i)
                         .arg(versionText(catalogue.versions.firmware[i]));
        if (catalogue.versions.client[i])
            lines << QString("agent for type %1: %2").arg(i).arg(versionText(catalogue.versions.client[i]));
    }
    return lines;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void catalogue_data();
    void catalogue();
    void unreadableFile();
    void newsRules();
};

void TestCatalogue::catalogue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint64>("lastViewed");
    QTest::addColumn<bool>("background");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QStringList>("expected");

    const QString fw =
        "type=firmware, board=PC_UEFI_x86-64, file=%1, md5sum=%2, size=%3, release_date=2025-01-02, "
        "comment=Firmware\n";

    QTest::newRow("mirror names lose their quotes")
        << "type=server, name=\"Europe\", value=\"https://eu.mirror.test/downloads/\"\n"
           "type=server,name=Asia,value=https://asia.mirror.test/downloads/\n"
        << quint64(0) << false << "linux_deb"
        << QStringList{"mirror Europe https://eu.mirror.test/downloads/",
                       "mirror Asia https://asia.mirror.test/downloads/"};
    QTest::newRow("malformed records are skipped one by one")
        << "type=server, name=A, value=https://a/, extra=1\n" // four fields
           "type=server, value=https://a/, name=A\n"          // prefixes in the wrong order
           "Type=hotfix, board=All, file=h.7z, md5sum=1, size=1, release_date=d, comment=c\n" // case
           "type=hotfix, board=All, file=h.7z, md5sum=1, size=1, release_date=d\n"            // six fields
           "type=news, timestamp=5, file=n.txt, md5sum=1, title=t, x=1\n" // news with an item's count
           "  # type=hotfix, board=All, file=c.7z, md5sum=2, size=1, release_date=d, comment=c\n"
           "\n"
           "  type=hotfix , board=All,file=ok.7z , md5sum=3, size=0, release_date=d, comment=c  \r\n"
        << quint64(0) << false << "linux_deb"
        << QStringList{"hotfix /W/hotfix/ok.7z -> unpack [hotfix, All, 0.0 MB]"};
    QTest::newRow("news no newer than the last shown stays out")
        << "type=news, timestamp=1700, file=old.txt, md5sum=a, title=Old\n"
           "type=news, timestamp=1701, file=new.txt, md5sum=b, title=New\n"
           "type=news, timestamp=17x, file=bad.txt, md5sum=c, title=Bad\n"
        << quint64(1700) << false << "linux_deb" << QStringList{"news /W/temp/new.txt -> show"};
    QTest::newRow("one file for two boards is offered once, for all")
        << fw.arg("fw-8.4.5.7z", "d1", "1048576") +
               "type=firmware, board=ZYL_NUC_Core, file=fw-nuc-8.4.6.7z, md5sum=d1, size=1, release_date=d, "
               "comment=Same\n"
        << quint64(0) << false << "linux_deb"
        << QStringList{"firmware /W/firmware/fw-8.4.5.7z -> unpack [firmware, All, 1.0 MB]",
                       "firmware for type 3: 8.4.5", "firmware for type 10: 8.4.6"};
    QTest::newRow("a size that is not a number drops the item")
        << fw.arg("fw-8.4.5.7z", "d1", "12x") + fw.arg("fw-8.4.6.7z", "d2", "-1") +
               fw.arg("fw-8.4.7.7z", "d3", "1572864")
        << quint64(0) << false << "linux_deb"
        << QStringList{"firmware /W/firmware/fw-8.4.7.7z -> unpack [firmware, PC_UEFI_x86-64, 1.5 MB]",
                       "firmware for type 3: 8.4.7"};
    QTest::newRow("versions from file names")
        << fw.arg("fw-8.4", "d1", "1") + // two numbers: the third counts 0
               "type=rvx_client, board=ZYL_RPi_4, file=rvx_client-9.1.2-arm.7z, md5sum=d2, size=1, "
               "release_date=d, comment=Agent\n"
               "type=rvx_client, board=ZYL_RPi_5, file=rvxclient.7z, md5sum=d3, size=1, release_date=d, "
               "comment=No version\n"
               "type=firmware, board=Unknown_Board, file=fw-9.9.9.7z, md5sum=d4, size=1, release_date=d, "
               "comment=No such board\n"
               "type=hotfix, board=PC_UEFI_x86-64, file=hf-9.9.9.7z, md5sum=d5, size=1, release_date=d, "
               "comment=Hotfixes carry no version\n"
        << quint64(0) << false << "linux_deb"
        << QStringList{
               "firmware /W/firmware/fw-8.4 -> unpack [firmware, PC_UEFI_x86-64, 0.0 MB]",
               "rvx_client /W/rvxclient/rvx_client-9.1.2-arm.7z -> unpack [rvx_client, ZYL_RPi_4, 0.0 MB]",
               "rvx_client /W/rvxclient/rvxclient.7z -> unpack [rvx_client, ZYL_RPi_5, 0.0 MB]",
               "firmware /W/firmware/fw-9.9.9.7z -> unpack [firmware, Unknown_Board, 0.0 MB]",
               "hotfix /W/hotfix/hf-9.9.9.7z -> unpack [hotfix, PC_UEFI_x86-64, 0.0 MB]",
               "firmware for type 3: 8.4.0",
               "agent for type 12: 9.1.2"};
    QTest::newRow("a background check keeps only news, and still learns versions")
        << fw.arg("fw-8.4.5.7z", "d1", "1") + "type=news, timestamp=9, file=n.txt, md5sum=n, title=\"Hi\"\n"
        << quint64(0) << true << "linux_deb"
        << QStringList{"news /W/temp/n.txt -> show", "firmware for type 3: 8.4.5"};
    QTest::newRow("only this platform's installer is installed")
        << "type=rvx_server_exe, board=All, file=rvx-8.5.0-setup.exe, md5sum=e, size=1, release_date=d, "
           "comment=W\n"
           "type=rvx_server_deb, board=All, file=rvx-8.5.0.deb, md5sum=f, size=1, release_date=d, comment=D\n"
           "type=manual, board=All, file=guide.pdf, md5sum=g, size=1, release_date=d, comment=Guide\n"
        << quint64(0) << false << "linux_deb"
        << QStringList{"rvx_server_exe /W/temp/rvx-8.5.0-setup.exe -> report [other, All, 0.0 MB]",
                       "rvx_server_deb /W/temp/rvx-8.5.0.deb -> install at exit [other, All, 0.0 MB]",
                       "manual /W/temp/guide.pdf -> report [other, All, 0.0 MB]"};
    QTest::newRow("file names that are paths are ignored")
        << "type=hotfix, board=All, file=../../x.7z, md5sum=1, size=1, release_date=d, comment=c\n"
           "type=hotfix, board=All, file=/etc/x.7z, md5sum=2, size=1, release_date=d, comment=c\n"
           "type=hotfix, board=All, file=a\\b.7z, md5sum=3, size=1, release_date=d, comment=c\n"
           "type=hotfix, board=All, file=.., md5sum=4, size=1, release_date=d, comment=c\n"
           "type=hotfix, board=All, file=, md5sum=5, size=1, release_date=d, comment=c\n"
           "type=news, timestamp=9, file=../n.txt, md5sum=6, title=t\n" +
               fw.arg("sub/fw-9.9.9.7z", "7", "1") + // ignored whole: no version learnt either
               "type=hotfix, board=All, file=..hf.7z, md5sum=8, size=1, release_date=d, comment=c\n"
        << quint64(0) << false << "linux_deb"
        << QStringList{"hotfix /W/hotfix/..hf.7z -> unpack [hotfix, All, 0.0 MB]"};
}

void TestCatalogue::catalogue()
{
    QFETCH(QString, text);
    QFETCH(quint64, lastViewed);
    QFETCH(bool, background);
    QFETCH(QString, platform);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(parseCatalogue(text, kFolders, lastViewed), background, platform), expected);
}

void TestCatalogue::unreadableFile()
{
    Catalogue result;
    result.mirrors << "kept";
    QVERIFY(!parseCatalogueFile("/nonexistent/downloadlist.txt", kFolders, 0, &result));
    QCOMPARE(result.mirrors, QStringList{"kept"});

    QTemporaryDir dir;
    const QString path = dir.filePath("downloadlist.txt");
    rvx::test::writeRaw(path, "type=server, name=A, value=https://a/\n");
    QVERIFY(parseCatalogueFile(path, kFolders, 0, &result));
    QCOMPARE(result.mirrors, (QStringList{"A", "https://a/"}));
}

void TestCatalogue::newsRules()
{
    UpgradeFile older;
    older.type = "news";
    older.releaseDate = "1700";
    older.comment = "\"Spring\" release";
    UpgradeFile newer = older;
    newer.releaseDate = "1800";

    // Shown newest first, the older item does not make the newer one unread again.
    QCOMPARE(lastViewedAfterShowing(lastViewedAfterShowing(0, newer), older), quint64(1800));
    QCOMPARE(newsViewerTitle(older), QString("Spring release"));
    QCOMPARE(newsViewedSentence(older), QString("viewed news item: \"Spring\" release"));
    QCOMPARE(newsText(QByteArray("caf\xe9 news\0trailing garbage", 26)), QString::fromUtf8("café news"));
    QCOMPARE(newsText("no terminator"), QString("no terminator"));
}

RVX_TEST_MAIN(TestCatalogue)
#include "test_catalogue.moc"
