// The online updates end to end: the offscreen window checks a real mirror (Debian's nginx
// on loopback), downloads and verifies what the administrator picks, unpacks firmware with
// the real 7-Zip into its store, shows news, and hands a newer server installer over when
// the window closes. A simulated agent's row is coloured by the versions the mirror offers,
// and "Upgrade Firmware" then offers the version that arrived.

#include "windowfixture.h"

#include "configlib.h"
#include "departmentview.h"
#include "devicetext.h"
#include "dlgmultichoice.h"
#include "dlgselectdownloads.h"
#include "dlgtextviewer.h"
#include "downloadmanager.h"
#include "mirror.h"
#include "upgradefile.h"
#include "windowupdates.h"

#include <QNetworkProxy>

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTableWidget>

using rvx::test::AgentSetup;
using rvx::test::Mirror;
using rvx::test::waitFor;
using rvx::test::WindowFixture;
using rvx::test::writeRaw;

namespace {

const QString TypeName = QString::fromLatin1(config_hardware_name(2));

QByteArray md5(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

// Runs the real 7-Zip in a folder.
bool sevenZip(const QString& folder, const QStringList& arguments)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(rvx::platform::toolPath(rvx::platform::Tool::SevenZip), arguments);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString itemLine(const QString& type, const QString& board, const QString& file, const QByteArray& data,
                 const QString& comment)
{
    return QStringLiteral("type=%1,board=%2,file=%3,md5sum=%4,size=%5,release_date=2026-12-01,comment=%6\n")
        .arg(type, board, file, QString::fromLatin1(md5(data)), QString::number(data.size()), comment);
}

QString newsLine(quint64 timestamp, const QString& file, const QByteArray& data, const QString& title)
{
    return QStringLiteral("type=news,timestamp=%1,file=%2,md5sum=%3,title=%4\n")
        .arg(timestamp)
        .arg(file, QString::fromLatin1(md5(data)), title);
}

// Accepts the next download chooser with every row selected.
void chooseEverything()
{
    Ask::scriptNext([](QDialog* d) {
        auto* combo = d->findChild<QComboBox*>("cbxServer");
        if (combo->currentIndex() < 0)
            combo->setCurrentIndex(0);
        d->findChild<QTableWidget*>("tblDownloads")->selectAll();
        QMetaObject::invokeMethod(d, "accept");
    });
}

} // namespace

class TestUpdatesOnline : public QObject
{
    Q_OBJECT

    std::unique_ptr<Mirror> m_mirror;
    std::unique_ptr<WindowFixture> f;
    QString m_staging;

    QString path(const QString& sub) const { return f->ws.path(sub); }

    // A firmware archive as the mirror publishes it: the type folder, the version folder and
    // the images in it.
    QByteArray firmwareArchive(const QString& name, const QString& version)
    {
        const QString staging = path("staging/src-" + name);
        writeRaw(staging + "/" + TypeName + "/" + version + "/uimage.bin", upgrade::makeHeader(2) + "kernel");
        writeRaw(staging + "/" + TypeName + "/" + version + "/upgrade.img",
                 upgrade::makeHeader(2) + "rootfs");
        if (!sevenZip(staging, {"a", "../" + name, TypeName}))
            return QByteArray();
        return rvx::test::readRaw(path("staging/" + name));
    }

    // The catalogue, with the mirror itself as the one mirror it names.
    void publish(const QString& entries)
    {
        const QString catalogue =
            "# the test mirror\ntype=server,name=\"Loopback\",value=" + m_mirror->httpUrl("/downloads/") +
            "\n" + entries;
        m_mirror->addFile("downloadlist.txt", catalogue.toLatin1());
    }

private slots:
    void initTestCase()
    {
        m_mirror = std::make_unique<Mirror>();
        QVERIFY2(m_mirror->start(), qPrintable(m_mirror->error()));
    }
    void cleanupTestCase() { m_mirror.reset(); }
    void init()
    {
        f = std::make_unique<WindowFixture>();
        f->setSetting("updateServer", m_mirror->httpUrl("/downloads/"));
        f->setSetting("lastViewedNewsItem", 0);
        QVERIFY(f->start());
        Ask::clearRecords();
        rvx::test::clearAudit();
        rvx::test::runProcessesForReal(); // the real 7-Zip
    }
    void cleanup()
    {
        MainWindow::setUrlOpener({});
        rvx::test::setProcessHandler({});
        f.reset();
        QCOMPARE(Ask::pendingAnswers(), 0);
    }

    void firmwareArrivesAndIsOffered();
    void hostileArchiveWritesNothing();
    void newsShownOnceAndAgainWhenUnread();
    void newerInstallerAtClose();
    void proxyAndFilesAgentsMayNotWrite();
};

void TestUpdatesOnline::firmwareArrivesAndIsOffered()
{
    const QByteArray archive = firmwareArchive("fw-8.4.9.7z", "8.4.9");
    QVERIFY(!archive.isEmpty());
    m_mirror->addFile("fw-8.4.9.7z", archive);
    QString board = TypeName;
    board.replace(' ', '_');
    publish(itemLine("firmware", board, "fw-8.4.9.7z", archive, "Firmware 8.4.9"));
    AgentSetup device{"UP-1", "8.4.0", "8.4.0", 2};
    QVERIFY(f->connect(device));
    f->selectSerials({"UP-1"});
    ThinclientInfo* record = f->record("UP-1");
    DepartmentView* list = f->shown();
    const auto firmwareColour = [&] {
        return list->cell(record, DeviceColumn::FirmwareVersion)->foreground().color();
    };
    QCOMPARE(firmwareColour(), QColor(Qt::black));

    chooseEverything();
    f->window->on_download_updates_triggered();
    QCOMPARE(Ask::records().first().title, QString("Download Updates"));
    const QString image = path("firmware/" + TypeName + "/8.4.9/uimage.bin");
    QVERIFY(waitFor([&] { return WindowFixture::lastOf(Ask::Kind::Information).title == "Unpack Update"; },
                    60000));
    QCOMPARE(WindowFixture::lastOf(Ask::Kind::Information).text,
             QString("Firmware 8.4.9 has been downloaded to this system.You can now install it on devices."));
    QCOMPARE(rvx::test::readRaw(image), upgrade::makeHeader(2) + "kernel");
    // The mirror was asked for the catalogue, then the archive, without caching.
    const QList<Mirror::Request> requests = m_mirror->requests();
    QVERIFY(requests.size() >= 2);
    QCOMPARE(requests.first().target, QString("/downloads/downloadlist.txt"));
    QCOMPARE(requests.first().cacheControl, QString("no-cache"));
    QVERIFY(waitFor([&] { return f->window->findChild<QAction*>("download_updates")->isEnabled(); }));

    // The device is behind what the mirror offers.
    QCOMPARE(f->window->latestFirmwareVersions()[2], packedVersion("8.4.9"));
    QCOMPARE(firmwareColour(), QColor(0, 0, 255));
    // "Upgrade Firmware" now offers the version that arrived.
    QString offered;
    Ask::scriptNext([&offered](QDialog* d) {
        offered = d->findChild<QRadioButton*>("rdbtnChoice1")->text();
        QMetaObject::invokeMethod(d, "reject");
    });
    f->window->on_upgrade_firmware_triggered();
    QCOMPARE(offered, QString("Install latest firmware version 8.4.9"));
}

void TestUpdatesOnline::hostileArchiveWritesNothing()
{
    // An archive holding a link out of the store.
    const QString staging = path("staging/hostile");
    writeRaw(staging + "/innocent.txt", "fine");
    QVERIFY(QFile::link(path("outside"), staging + "/link"));
    QVERIFY(sevenZip(staging, {"a", "-snl", "../fw-9.0.0.7z", "link", "innocent.txt"}));
    const QByteArray archive = rvx::test::readRaw(path("staging/fw-9.0.0.7z"));
    m_mirror->addFile("fw-9.0.0.7z", archive);
    publish(itemLine("firmware", "All", "fw-9.0.0.7z", archive, "Hostile firmware"));
    chooseEverything();
    f->window->on_download_updates_triggered();
    QVERIFY(
        waitFor([&] { return WindowFixture::lastOf(Ask::Kind::Warning).title == "Unpack Update"; }, 60000));
    QCOMPARE(WindowFixture::lastOf(Ask::Kind::Warning).text,
             QString("Hostile firmware has been downloaded, but an attempt to unpack it has failed."));
    QVERIFY(!QFileInfo::exists(path("firmware/link")));
    QVERIFY(!QFileInfo::exists(path("firmware/innocent.txt")));
}

void TestUpdatesOnline::newsShownOnceAndAgainWhenUnread()
{
    const QByteArray news = "Firmware 8.4.9 is out.";
    m_mirror->addFile("news1.txt", news);
    publish(newsLine(1765000100, "news1.txt", news, "Release news"));
    QStringList shown;
    auto expectNews = [&shown] {
        Ask::scriptNext([&shown](QDialog* d) {
            shown << d->windowTitle() + ": " + d->findChild<QPlainTextEdit*>()->toPlainText();
            QMetaObject::invokeMethod(d, "accept");
        });
    };
    // A background check shows unread news, once.
    expectNews();
    f->window->onDailyUpdateCheck();
    QVERIFY(waitFor([&] { return !shown.isEmpty(); }, 30000));
    QCOMPARE(shown, QStringList{"Release news: Firmware 8.4.9 is out."});
    QVERIFY(waitFor([&] { return f->window->findChild<QAction*>("download_updates")->isEnabled(); }));
    QCOMPARE(f->window->settings()->value("lastViewedNewsItem").toULongLong(), 1765000100ull);
    QVERIFY(rvx::test::auditSentences().contains("viewed news item: Release news"));
    m_mirror->clearRequests();
    f->window->onDailyUpdateCheck();
    QVERIFY(waitFor([&] { return m_mirror->requests().size() == 1; }, 30000));
    QVERIFY(waitFor([&] { return f->window->findChild<QAction*>("download_updates")->isEnabled(); }));
    QCOMPARE(shown.size(), 1); // only the catalogue was fetched

    // Marked unread, it is shown again.
    Ask::answerNext(QMessageBox::Yes);
    f->window->on_unread_news_triggered();
    QCOMPARE(f->window->settings()->value("lastViewedNewsItem").toULongLong(), 0ull);
    expectNews();
    f->window->onDailyUpdateCheck();
    QVERIFY(waitFor([&] { return shown.size() == 2; }, 30000));
}

void TestUpdatesOnline::newerInstallerAtClose()
{
    const QByteArray installer = "installer bytes";
    m_mirror->addFile("rvx-8.4.5-amd64.deb", installer);
    publish(itemLine("rvx_server_deb", "All", "rvx-8.4.5-amd64.deb", installer, "RVX 8.4.5"));
    chooseEverything();
    f->window->on_download_updates_triggered();
    QVERIFY(
        waitFor([&] { return WindowFixture::lastOf(Ask::Kind::Information).title == "RVX Update"; }, 30000));
    QCOMPARE(WindowFixture::lastOf(Ask::Kind::Information).text,
             QString("RVX 8.4.5 has been downloaded. The installation will begin when you exit RVX."));

    QList<QUrl> opened;
    MainWindow::setUrlOpener([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    const QString workingDir = f->window->settings()->value("rvxWorkingDir").toString();
    f->window->close();
    QCOMPARE(WindowFixture::lastOf(Ask::Kind::Information).title, QString("Install RVX Update"));
    const QString local = path("temp/rvx-8.4.5-amd64.deb");
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(local).absoluteFilePath())});
    QVERIFY(!opened.first().toString().startsWith("file:////"));
    // The settings are kept; the next start shows the Options dialog with them filled in.
    f->window.reset();
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Orbenium", "RVX");
    QCOMPARE(store.value("rvxWorkingDir").toString(), workingDir);
    int optionsShown = 0;
    Ask::scriptNext([&optionsShown](QDialog* d) {
        ++optionsShown;
        QMetaObject::invokeMethod(d, "accept");
    });
    QVERIFY(f->start());
    QCOMPARE(optionsShown, 1);
}

void TestUpdatesOnline::proxyAndFilesAgentsMayNotWrite()
{
    // The proxy of the Options dialog is the download manager's, whatever the application's.
    f.reset();
    f = std::make_unique<WindowFixture>();
    f->setSetting("rvxProxyServerEnabled", true);
    f->setSetting("rvxProxyServerIP", "10.77.0.1");
    f->setSetting("rvxProxyServerPort", "3128");
    f->setSetting("rvxProxyServerNeedsCreds", true);
    f->setSetting("rvxProxyServerUsername", "admin");
    f->setSetting("rvxProxyServerPassword", "pw");
    QVERIFY(f->start());
    const QNetworkProxy proxy = f->window->updates()->downloads()->proxy();
    QCOMPARE(proxy.type(), QNetworkProxy::HttpProxy);
    QCOMPARE(proxy.hostName(), QString("10.77.0.1"));
    QCOMPARE(proxy.port(), quint16(3128));
    QCOMPARE(proxy.user(), QString("admin"));
    QCOMPARE(proxy.password(), QString("pw"));

    // The catalogue and its part file lie in the temporary folder, which agents write to;
    // those two names are never theirs.
    SimAgent* agent = f->connect(AgentSetup{"PW-1", "8.4.0"});
    QVERIFY(agent);
    QCOMPARE(agent->openWrite("downloadlist.txt", 0), 3);
    QCOMPARE(agent->openWrite("downloadlist.txt.part", 0), 3);
    QCOMPARE(agent->openWrite(QDir::toNativeSeparators(path("temp/downloadlist.txt")), 1), 3);
    QVERIFY(!QFile::exists(path("temp/downloadlist.txt")));
    QCOMPARE(agent->openWrite("ST-9_blkdev_list.lst", 0), 0); // other names stay writable
}

RVX_GUI_TEST_MAIN(TestUpdatesOnline)
#include "test_updatesonline.moc"
