// An update check from the catalogue to the last queued entry, driven the way the download
// manager drives it (its three signals), with a host that records what the window would show
// and answers its questions from a script. Files "arrive" where the check asked for them.

#include "selfupdate.h"
#include "testmain.h"
#include "updatecheck.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <functional>

using namespace updates;

namespace {

QString kindText(Message::Kind kind)
{
    switch (kind) {
    case Message::Kind::Information:
        return "information";
    case Message::Kind::Warning:
        return "warning";
    case Message::Kind::Critical:
        return "critical";
    }
    return "?";
}

class ScriptedHost : public UpdateCheckHost
{
public:
    QStringList log; // what the administrator saw, in order
    QList<DownloadRequest> downloads;
    QList<int> startResults; // answers of startDownload (0 when none is queued)
    bool confirmAnswer = true;
    std::function<bool(DownloadQueue&, QString&, const QStringList&)> chooser; // empty: Cancel
    std::function<void()> duringModal;                                         // runs inside boxes
    bool openResult = true;
    QList<QUrl> opened;
    QList<LatestVersions> latest;
    bool enabled = true;
    int progress = -1;

    int startDownload(const DownloadRequest& request) override
    {
        downloads << request;
        return startResults.isEmpty() ? 0 : startResults.takeFirst();
    }
    void showStatus(const QString& text) override { log << "status: " + text; }
    void showProgress(int percent) override { progress = percent; }
    void showMessage(const Message& m) override
    {
        log << kindText(m.kind) + " \"" + m.title + "\": " + m.text;
        if (duringModal)
            duringModal();
    }
    bool confirm(const QString& title, const QString& text) override
    {
        log << "question \"" + title + "\": " + text;
        return confirmAnswer;
    }
    bool selectDownloads(DownloadQueue& queue, QString& mirror, const QStringList& mirrors) override
    {
        log << "chooser: " + QString::number(queue.size()) + " entries, mirrors " + mirrors.join(" ");
        if (duringModal)
            duringModal();
        if (!chooser) {
            keepNewsOnly(queue);
            return false;
        }
        return chooser(queue, mirror, mirrors);
    }
    void showNews(const QString& title, const QString& text) override
    {
        log << "news \"" + title + "\": " + text;
    }
    void setDownloadEnabled(bool on) override
    {
        enabled = on;
        log << QString("download action ") + (on ? "on" : "off");
    }
    void latestVersionsChanged(const LatestVersions& l) override { latest << l; }
    bool openUrl(const QUrl& url) override
    {
        opened << url;
        return openResult;
    }
};

const QString kMirror = "https://mirror.test/downloads/";

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void backgroundCheckShowsNewsOnce();
    void sixAttempts_data();
    void sixAttempts();
    void downloadsThatDoNotStart();
    void checkWhileOneRuns();
    void interactiveChoice();
    void nothingChosen();
    void downloadErrors();
    void archiveIsUnpackedBeforeTheNextDownload();
    void installerAtClose_data();
    void installerAtClose();
    void upgradeTest_data();
    void upgradeTest();
    void startupCatalogue();

private:
    QString path(const QString& sub) const { return m_dir->path() + "/" + sub; }
    void writeCatalogue(const QString& text)
    {
        rvx::test::writeRaw(path("temp/downloadlist.txt"), text.toUtf8());
    }
    // The last requested download arrives complete with these bytes.
    void arrive(const QByteArray& bytes, bool interactive = false);
    QString lastRemote() const
    {
        return m_host->downloads.isEmpty() ? QString() : m_host->downloads.last().remoteName;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<ScriptedHost> m_host;
    std::unique_ptr<UpdateCheck> m_check;
};

void TestUpdateCheck::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<QSettings>(m_dir->filePath("rvx.ini"), QSettings::IniFormat);
    rvx::test::writeServerSettings(*m_settings, m_dir->path(), 8085);
    m_settings->setValue("updateServer", kMirror);
    m_settings->setValue("platform", "linux_deb");
    m_host = std::make_unique<ScriptedHost>();
    m_check = std::make_unique<UpdateCheck>(*m_settings, *m_host);
    rvx::test::clearAudit();
    rvx::test::clearProcessCalls();
    rvx::test::setProcessHandler({});
}

void TestUpdateCheck::cleanup()
{
    m_check.reset();
    m_host.reset();
    m_settings.reset();
    m_dir.reset();
}

void TestUpdateCheck::arrive(const QByteArray& bytes, bool interactive)
{
    rvx::test::writeRaw(m_host->downloads.last().localPath, bytes);
    m_check->onDownloadCompleted(0, bytes.size(), interactive);
}

void TestUpdateCheck::backgroundCheckShowsNewsOnce()
{
    writeCatalogue(
        "type=server, name=\"Europe\", value=https://eu.test/downloads/\n"
        "type=firmware, board=PC_UEFI_x86-64, file=fw-8.4.6.7z, md5sum=f1, size=9, release_date=d, "
        "comment=Firmware 8.4.6\n"
        "type=news, timestamp=200, file=second.txt, md5sum=n2, title=\"Second\"\n"
        "type=news, timestamp=100, file=first.txt, md5sum=n1, title=First\n");

    QVERIFY(m_check->downloadUpdates(false));
    QCOMPARE(m_host->log, (QStringList{"status: Checking for updates", "download action off"}));
    QCOMPARE(m_host->downloads.first(),
             (DownloadRequest{kMirror, "downloadlist.txt", path("temp/downloadlist.txt"), false,
                              "upgrade list", ""}));

    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")));
    // Only the news is kept; the firmware still tells the device list what is newest.
    QCOMPARE(m_host->latest.size(), 1);
    QCOMPARE(m_host->latest.first().firmware[3], quint32(0x080406));
    QCOMPARE(m_host->downloads.last(),
             (DownloadRequest{kMirror, "second.txt", path("temp/second.txt"), false, "\"Second\"", "n2"}));

    m_host->log.clear();
    arrive(QByteArray("The second item\0junk", 20));
    QCOMPARE(m_host->log, (QStringList{"status: ", "news \"Second\": The second item"}));
    QCOMPARE(rvx::test::auditSentences(), QStringList{"viewed news item: \"Second\""});
    QVERIFY(!QFile::exists(path("temp/second.txt")));
    QCOMPARE(m_settings->value("lastViewedNewsItem").toULongLong(), quint64(200));

    QCOMPARE(lastRemote(), QString("first.txt"));
    arrive("The first item");
    // Shown after the newer one, it does not lower what counts as read.
    QCOMPARE(m_settings->value("lastViewedNewsItem").toULongLong(), quint64(200));
    QVERIFY(m_host->enabled);
    QVERIFY(!m_check->isRunning());

    // The next check finds nothing unread: it fetches the catalogue and stops.
    const int before = m_host->downloads.size();
    QVERIFY(m_check->downloadUpdates(false));
    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")));
    QCOMPARE(m_host->downloads.size(), before + 1);
    QVERIFY(m_host->enabled);

    // After "Mark News as Unread" both items are shown again.
    m_host->log.clear();
    m_check->markNewsUnread();
    QCOMPARE(m_host->log,
             QStringList{"question \"Mark News as Unread\": Mark all downloadable News items as unread?"});
    QCOMPARE(m_settings->value("lastViewedNewsItem").toULongLong(), quint64(0));
    QVERIFY(m_check->downloadUpdates(false));
    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")));
    QCOMPARE(lastRemote(), QString("second.txt"));

    // Answered No, nothing changes.
    m_settings->setValue("lastViewedNewsItem", 200);
    m_host->confirmAnswer = false;
    m_check->markNewsUnread();
    QCOMPARE(m_settings->value("lastViewedNewsItem").toULongLong(), quint64(200));
}

void TestUpdateCheck::sixAttempts_data()
{
    QTest::addColumn<bool>("interactive");
    QTest::addColumn<QString>("report");
    QTest::newRow("background: status bar")
        << false << "status: Multiple attempts to download News failed, giving up";
    QTest::newRow("interactive: box")
        << true << "critical \"Download Error\": Multiple attempts to download News failed, giving up";
}

void TestUpdateCheck::sixAttempts()
{
    QFETCH(bool, interactive);
    QFETCH(QString, report);
    writeCatalogue("type=news, timestamp=5, file=n.txt, md5sum=a, title=News\n"
                   "type=news, timestamp=6, file=m.txt, md5sum=b, title=More\n");
    m_host->chooser = [](DownloadQueue&, QString&, const QStringList&) { return true; };
    m_check->downloadUpdates(interactive);
    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")), interactive);
    const int first = m_host->downloads.size();
    QCOMPARE(lastRemote(), QString("n.txt"));

    // Five failures after some bytes: resumed each time with the same request.
    for (int i = 0; i < 5; ++i)
        m_check->onDownloadCompleted(1, 100, interactive);
    QCOMPARE(m_host->downloads.size(), first + 5);
    for (int i = first; i < m_host->downloads.size(); ++i)
        QCOMPARE(m_host->downloads.at(i), m_host->downloads.at(first - 1));

    // The sixth gives up and the queue moves on.
    m_host->log.clear();
    m_check->onDownloadCompleted(1, 100, interactive);
    QCOMPARE(m_host->log.first(), report);
    QCOMPARE(lastRemote(), QString("m.txt"));

    // Nothing received: abandoned at once, its file removed.
    rvx::test::writeRaw(path("temp/m.txt"), "");
    m_host->log.clear();
    m_check->onDownloadCompleted(1, 0, interactive);
    QCOMPARE(m_host->log.first(),
             interactive ? QString("critical \"Online Updates\": Error downloading update file; "
                                   "website may be down")
                         : QString("status: Error downloading update file; website may be down"));
    QVERIFY(!QFile::exists(path("temp/m.txt")));
    QVERIFY(m_host->enabled);
}

void TestUpdateCheck::downloadsThatDoNotStart()
{
    // The catalogue download itself: the check ends instead of waiting for ever.
    m_host->startResults = {-1};
    QVERIFY(m_check->downloadUpdates(false));
    QCOMPARE(m_host->log.last(), QString("download action on"));
    QVERIFY(m_host->log.contains("status: Error downloading update file; website may be down"));
    QVERIFY(!m_check->isRunning());

    writeCatalogue("type=news, timestamp=5, file=a.txt, md5sum=a, title=A\n"
                   "type=news, timestamp=6, file=b.txt, md5sum=b, title=B\n"
                   "type=news, timestamp=7, file=c.txt, md5sum=c, title=C\n");
    QVERIFY(m_check->downloadUpdates(false));
    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")));
    // A retry that does not start drops the entry and goes on with the next.
    m_host->startResults = {-1};
    m_host->log.clear();
    m_check->onDownloadCompleted(1, 10, false);
    QCOMPARE(m_host->log.first(), QString("status: Download did not start for A"));
    QCOMPARE(lastRemote(), QString("b.txt"));
    // The next entry not starting ends the check.
    m_host->startResults = {-1};
    m_host->log.clear();
    arrive("B");
    QVERIFY(m_host->log.contains("status: Download for Cdid not start"));
    QCOMPARE(m_host->log.last(), QString("download action on"));
    QVERIFY(!m_check->isRunning());
}

void TestUpdateCheck::checkWhileOneRuns()
{
    writeCatalogue(
        "type=news, timestamp=5, file=a.txt, md5sum=a, title=A\n"
        "type=news, timestamp=6, file=b.txt, md5sum=b, title=B\n"
        "type=hotfix, board=All, file=hf1.7z, md5sum=h1, size=1, release_date=d, comment=Hotfix 1\n");
    QVERIFY(m_check->downloadUpdates(false));
    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")));
    QCOMPARE(m_check->queue().size(), 2);

    // The daily timer fires while the news downloads: the running check keeps its queue.
    m_check->onDownloadProgress("A", 50);
    QCOMPARE(m_host->log.last(), QString("status: Downloading A : 50 %"));
    QCOMPARE(m_host->progress, 50);
    const int requests = m_host->downloads.size();
    QVERIFY(!m_check->downloadUpdates(false));
    QCOMPARE(m_check->queue().size(), 2);
    QCOMPARE(m_host->downloads.size(), requests);

    // Silent for a whole period since then: it is stuck and the next one replaces it.
    QVERIFY(m_check->downloadUpdates(false));
    QVERIFY(m_check->queue().isEmpty());
    QCOMPARE(lastRemote(), QString("downloadlist.txt"));

    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")));
    arrive("A");
    arrive("B");
    QVERIFY(!m_check->isRunning());

    // Never while a box or dialog of the check is open (it may stay open for a day).
    QList<bool> startedInside;
    m_host->duringModal = [&] { startedInside << m_check->downloadUpdates(false); };
    QVERIFY(m_check->downloadUpdates(true));                         // its opening box
    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")), true); // the chooser, then "Update Check"
    QCOMPARE(startedInside, (QList<bool>{false, false, false}));
    QCOMPARE(m_host->downloads.last().remoteName, QString("downloadlist.txt"));
}

void TestUpdateCheck::interactiveChoice()
{
    writeCatalogue(
        "type=server, name=Europe, value=https://eu.test/downloads/\n"
        "type=server, name=Asia, value=https://asia.test/downloads/\n"
        "type=hotfix, board=All, file=hf1.7z, md5sum=h1, size=1, release_date=d, comment=Hotfix 1\n"
        "type=manual, board=All, file=guide.pdf, md5sum=g, size=1, release_date=d, comment=Guide\n"
        "type=rvx_server_deb, board=All, file=rvx_server-9.0.0-amd64.deb, md5sum=s, size=1, "
        "release_date=d, comment=RVX 9.0.0\n");
    m_host->chooser = [](DownloadQueue& queue, QString& mirror, const QStringList& mirrors) {
        QList<int> chosen{1, 2};
        keepChosen(queue, chosen);
        mirror = mirrors.at(3);
        return true;
    };
    QVERIFY(m_check->downloadUpdates(true));
    QCOMPARE(m_host->log.first(),
             QString("information \"Download Updates\": Click OK to start downloading updates. "
                     "Progress messages are displayed on the status bar."));
    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")), true);
    QVERIFY(m_host->log.contains(
        "chooser: 3 entries, mirrors Europe https://eu.test/downloads/ Asia https://asia.test/downloads/"));
    // The chosen mirror is kept and the entries come from it.
    QCOMPARE(m_settings->value("updateServer").toString(), QString("https://asia.test/downloads/"));
    QCOMPARE(m_check->updateServer(), QString("https://asia.test/downloads/"));
    QCOMPARE(m_host->downloads.last(), (DownloadRequest{"https://asia.test/downloads/", "guide.pdf",
                                                        path("temp/guide.pdf"), true, "Guide", "g"}));

    m_host->log.clear();
    arrive("%PDF", true);
    QCOMPARE(m_host->log,
             (QStringList{"status: ", "information \"Download Completed\": The following file has been "
                                      "downloaded:\n\n" +
                                          QDir::toNativeSeparators(path("temp/guide.pdf"))}));
    m_host->log.clear();
    arrive("installer", true);
    QCOMPARE(m_host->log.at(1),
             QString("information \"RVX Update\": RVX 9.0.0 has been downloaded. The installation "
                     "will begin when you exit RVX."));
    QCOMPARE(m_check->pendingInstall().installer, path("temp/rvx_server-9.0.0-amd64.deb"));
    QVERIFY(m_check->pendingInstall().upgrade);
    QCOMPARE(m_host->log.last(), QString("download action on"));
}

void TestUpdateCheck::nothingChosen()
{
    writeCatalogue(
        "type=hotfix, board=All, file=hf1.7z, md5sum=h1, size=1, release_date=d, comment=Hotfix 1\n");
    m_check->downloadUpdates(true);
    m_host->log.clear();
    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")), true);
    QCOMPARE(m_host->log,
             (QStringList{"status: ", "chooser: 1 entries, mirrors ",
                          "information \"Update Check\": \nNo updates were selected for download.",
                          "download action on"}));
    // Cancel leaves the mirror as it was.
    QCOMPARE(m_settings->value("updateServer").toString(), kMirror);
}

void TestUpdateCheck::downloadErrors()
{
    const QString error = "Error downloading upgrade list:\n\nServer not found!";
    m_check->onDownloadError(error, false);
    QCOMPARE(m_host->log, QStringList{"status: " + error});

    m_host->log.clear();
    m_host->confirmAnswer = false;
    m_check->onDownloadError(error, true);
    QCOMPARE(m_host->log,
             (QStringList{"question \"Download Error\": " + error +
                              "\n\nDo you want to reset your mirror preference to a safe default value?",
                          "status: "}));
    QCOMPARE(m_settings->value("updateServer").toString(), kMirror);
    m_host->confirmAnswer = true;
    m_check->onDownloadError(error, true);
    QCOMPARE(m_settings->value("updateServer").toString(), defaultMirrorUrl());

    // The catalogue failing after some bytes ends the check quietly (the error was reported).
    m_check->downloadUpdates(false);
    m_host->log.clear();
    m_check->onDownloadCompleted(2, 100, false);
    QCOMPARE(m_host->log, QStringList{"download action on"});
}

void TestUpdateCheck::archiveIsUnpackedBeforeTheNextDownload()
{
    // 7-Zip as recorded: a clean listing, then a successful extraction.
    rvx::test::setProcessHandler([](const rvx::platform::ProcessCall& call) {
        rvx::platform::ProcessResult r;
        r.started = true;
        r.exitCode = 0;
        if (call.arguments.value(0) == "l")
            r.output = "--\nPath = a.7z\n\n----------\nPath = PC UEFI x86-64/8.4.6/upgrade.img\nSize = 1\n\n";
        return r;
    });
    writeCatalogue(
        "type=firmware, board=PC_UEFI_x86-64, file=fw-8.4.6.7z, md5sum=f1, size=9, release_date=d, "
        "comment=Firmware 8.4.6\n"
        "type=news, timestamp=9, file=n.txt, md5sum=n, title=News\n");
    m_host->chooser = [](DownloadQueue&, QString&, const QStringList&) { return true; };
    m_check->downloadUpdates(true);
    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")), true);
    QCOMPARE(m_host->downloads.last().localPath, path("firmware/fw-8.4.6.7z"));

    m_host->log.clear();
    arrive("archive", true);
    const int requests = m_host->downloads.size();
    QCOMPARE(m_host->log, (QStringList{"status: ", "status: Online updates: unpacking Firmware 8.4.6"}));
    QVERIFY(m_check->isRunning());

    QVERIFY(rvx::test::waitFor([&] { return m_host->downloads.size() > requests; }));
    QCOMPARE(m_host->log.mid(2),
             (QStringList{"information \"Unpack Update\": Firmware 8.4.6 has been downloaded to "
                          "this system.You can now install it on devices.",
                          "status: "}));
    QCOMPARE(lastRemote(), QString("n.txt"));
    const auto calls = rvx::test::processCalls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls.at(1).arguments,
             (QStringList{"x", path("firmware/fw-8.4.6.7z"), "-o" + path("firmware"), "-r", "-y", "-aoa"}));
}

void TestUpdateCheck::installerAtClose_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QStringList>("expected");
    const QString notice =
        "information \"Install RVX Update\": A new version of RVX has been downloaded; click OK "
        "to install it.";
    QTest::newRow("an upgrade is handed over") << "rvx_server-9.0.0-amd64.deb" << true << QStringList{notice};
    QTest::newRow("the system cannot open it")
        << "rvx_server-9.0.0-amd64.deb" << false
        << QStringList{notice,
                       "warning \"Install RVX Update\": Failed to start the installer. You can install it "
                       "manually by opening file manager and double clicking on file:\n\n%1"};
    QTest::newRow("not an upgrade: nothing at close")
        << "rvx_server-8.4.4-amd64.deb" << true << QStringList{};
}

void TestUpdateCheck::installerAtClose()
{
    QFETCH(QString, file);
    QFETCH(bool, opens);
    QFETCH(QStringList, expected);
    writeCatalogue("type=rvx_server_deb, board=All, file=" + file +
                   ", md5sum=s, size=1, release_date=d, comment=S\n");
    m_host->chooser = [](DownloadQueue&, QString&, const QStringList&) { return true; };
    m_check->downloadUpdates(true);
    arrive(rvx::test::readRaw(path("temp/downloadlist.txt")), true);
    arrive("installer", true);

    m_host->log.clear();
    m_host->openResult = opens;
    const QString installer = path("temp/" + file);
    QCOMPARE(m_check->handOverAtClose(), opens && !expected.isEmpty());
    for (QString& line : expected)
        line.replace("%1", QDir::toNativeSeparators(installer));
    QCOMPARE(m_host->log, expected);
    if (expected.isEmpty()) {
        QVERIFY(m_host->opened.isEmpty());
        return;
    }
    QCOMPARE(m_host->opened, QList<QUrl>{QUrl::fromLocalFile(installer)});
    QCOMPARE(m_host->opened.first().toString(), "file://" + installer); // three slashes, not four
    // The administrator's settings stay; only the next start asks for them first.
    QCOMPARE(m_settings->value("rvxWorkingDir").toString(), QDir::toNativeSeparators(m_dir->path()));
    QCOMPARE(m_settings->value("SSLPort").toInt(), 8085);
    QCOMPARE(m_settings->value("updateServer").toString(), kMirror);
    QCOMPARE(optionsRequestedAtStart(*m_settings), opens);
    clearOptionsRequest(*m_settings);
    QVERIFY(!optionsRequestedAtStart(*m_settings));
    QVERIFY(m_settings->contains("SSLPort"));
}

void TestUpdateCheck::upgradeTest_data()
{
    QTest::addColumn<QString>("installer");
    QTest::addColumn<bool>("upgrade");
    QTest::newRow("newer") << "C:/tmp/server-8.4.5-setup.exe" << true;
    QTest::newRow("same") << "C:/tmp/server-8.4.4-setup.exe" << false;
    QTest::newRow("older") << "C:/tmp/server-8.3.9-setup.exe" << false;
    QTest::newRow("two parts: no version to read") << "C:/tmp/server-setup.exe" << true;
    QTest::newRow("four parts: no version to read") << "C:/tmp/rvx-server-8.3.9-setup.exe" << true;
    QTest::newRow("hyphen in a folder is not the version")
        << "/home/ops-team/Orbenium Management Software/temp/rvx_server-8.4.4-amd64.deb" << false;
    QTest::newRow("four components beat three") << "/tmp/server-8.4.4.1-x.deb" << true;
}

void TestUpdateCheck::upgradeTest()
{
    QFETCH(QString, installer);
    QFETCH(bool, upgrade);
    QCOMPARE(isUpgrade(installer, "8.4.4"), upgrade);
}

void TestUpdateCheck::startupCatalogue()
{
    // Missing at start-up: nothing happens.
    m_check->loadCachedCatalogue();
    QVERIFY(m_host->latest.isEmpty());
    QVERIFY(m_check->queue().isEmpty());

    writeCatalogue(
        "type=rvx_client, board=ZYL_RPi_4, file=rvx_client-8.4.9.7z, md5sum=c, size=1, release_date=d, "
        "comment=Agent\n"
        "type=news, timestamp=3, file=n.txt, md5sum=n, title=News\n");
    m_check->loadCachedCatalogue();
    QCOMPARE(m_host->latest.size(), 1);
    QCOMPARE(m_check->latestVersions().client[12], quint32(0x080409));
    // Unread news waits for the next check; nothing is downloaded now.
    QCOMPARE(m_check->queue().size(), 1);
    QVERIFY(m_host->downloads.isEmpty());
    QVERIFY(m_host->log.isEmpty());
    // The same versions again: the device list is not refreshed for nothing.
    m_check->loadCachedCatalogue();
    QCOMPARE(m_host->latest.size(), 1);
}

RVX_TEST_MAIN(TestUpdateCheck)
#include "test_updatecheck.moc"
