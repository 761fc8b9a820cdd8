// The download manager against a real nginx mirror on loopback: resume by Range, the
// mirror's redirects, verification, error reports, percentages, and a transfer that a kill
// interrupts.

#include "downloadrecorder.h"
#include "mirror.h"
#include "testmain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

using rvx::test::Mirror;
using rvx::test::readRaw;
using rvx::test::waitFor;
using rvx::test::writeRaw;

namespace {

const QString Name = QStringLiteral("fw-8.4.4.bin");
const QString BigName = QStringLiteral("big.bin");
const QString Description = QStringLiteral("Firmware 8.4.4");
constexpr int Size = 40000;
constexpr int BigSize = 1024 * 1024;

QString md5(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// Bytes that are not the start of any mirror file.
QByteArray garbage(int size)
{
    return QByteArray(size, '#');
}

qint64 sizeOf(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.size() : -1;
}

// The requests as "target range status", e.g. "/downloads/fw.bin bytes=1000- 206".
QStringList seen(const QList<Mirror::Request>& requests)
{
    QStringList list;
    for (const Mirror::Request& r : requests)
        list << QString(r.target + QLatin1Char(' ') + r.range + QLatin1Char(' ') + QString::number(r.status));
    return list;
}

} // namespace

class TestDownloadManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void resume_data();
    void resume();
    void firstPercentageCountsTheResumedPart();
    void chunkedAnswerGivesNoBogusPercentage_data();
    void chunkedAnswerGivesNoBogusPercentage();
    void failures_data();
    void failures();
    void mirrorGoneMidTransferThenResume();
    void invalidRedirectEndsWithOnlyTheError_data();
    void invalidRedirectEndsWithOnlyTheError();
    void digests_data();
    void digests();
    void mismatchThenRetryDownloadsFromScratch();
    void newStartAbandonsTheRunningTransfer();
    void slotsMayWaitInEventLoopsAndStartTheNext();
    void startFailuresEmitNothing();
    void linkInPlaceOfThePartFileIsNotFollowed();
    void killedProcessResumesAfterRestart();

private:
    QString local(const QString& name = Name) const { return m_local->filePath(name); }
    QString part(const QString& name = Name) const { return DownloadManager::partPath(local(name)); }
    // Requests logged for the transfer, once `count` of them are in the log.
    QStringList requestsOnceLogged(int count);

    Mirror m_mirror;
    QByteArray m_file;
    QByteArray m_big;
    std::unique_ptr<QTemporaryDir> m_local;
};

void TestDownloadManager::initTestCase()
{
    QVERIFY2(m_mirror.start(), qPrintable(m_mirror.error()));
    Mirror::trustCertificateAuthority();
    m_file = m_mirror.addFile(Name, Size);
    m_big = m_mirror.addFile(BigName, BigSize);
}

void TestDownloadManager::init()
{
    if (!m_mirror.isRunning())
        QVERIFY2(m_mirror.start(), qPrintable(m_mirror.error()));
    m_mirror.clearRequests();
    m_local = std::make_unique<QTemporaryDir>();
    QVERIFY(m_local->isValid());
}

QStringList TestDownloadManager::requestsOnceLogged(int count)
{
    waitFor([&] { return m_mirror.requests().size() >= count; }, 5000);
    return seen(m_mirror.requests());
}

void TestDownloadManager::resume_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QByteArray>("partFile"); // "<none>": no part file
    QTest::addColumn<QStringList>("requests");

    const QByteArray none("<none>");
    const QByteArray head = m_file.left(1000);
    QTest::newRow("fresh") << m_mirror.httpUrl("/downloads/") << none
                           << QStringList{"/downloads/fw-8.4.4.bin  200"};
    QTest::newRow("1000-byte part") << m_mirror.httpUrl("/downloads/") << head
                                    << QStringList{"/downloads/fw-8.4.4.bin bytes=1000- 206"};
    QTest::newRow("https") << m_mirror.httpsUrl("/downloads/") << head
                           << QStringList{"/downloads/fw-8.4.4.bin bytes=1000- 206"};
    QTest::newRow("redirect then resume") << m_mirror.httpUrl("/redirect/") << head
                                          << QStringList{"/redirect/fw-8.4.4.bin bytes=1000- 302",
                                                         "/mirror/?file=fw-8.4.4.bin bytes=1000- 206"};
    QTest::newRow("https redirect then resume") << m_mirror.httpsUrl("/redirect/") << head
                                                << QStringList{"/redirect/fw-8.4.4.bin bytes=1000- 302",
                                                               "/mirror/?file=fw-8.4.4.bin bytes=1000- 206"};
    QTest::newRow("relative redirect") << m_mirror.httpUrl("/relative/") << head
                                       << QStringList{"/relative/fw-8.4.4.bin bytes=1000- 302",
                                                      "/mirror/?file=fw-8.4.4.bin bytes=1000- 206"};
    // Only a redirect from https to http is refused.
    QTest::newRow("http redirect to another port")
        << m_mirror.httpUrl("/downgrade/") << head
        << QStringList{"/downgrade/fw-8.4.4.bin bytes=1000- 302",
                       "/mirror/?file=fw-8.4.4.bin bytes=1000- 206"};
    QTest::newRow("server ignores Range")
        << m_mirror.httpUrl("/norange/") << head << QStringList{"/norange/fw-8.4.4.bin bytes=1000- 200"};
    QTest::newRow("part as long as the file")
        << m_mirror.httpUrl("/downloads/") << m_file
        << QStringList{"/downloads/fw-8.4.4.bin bytes=40000- 416", "/downloads/fw-8.4.4.bin  200"};
    QTest::newRow("part longer than the file")
        << m_mirror.httpUrl("/downloads/") << QByteArray(m_file + garbage(500))
        << QStringList{"/downloads/fw-8.4.4.bin bytes=40500- 416", "/downloads/fw-8.4.4.bin  200"};
    QTest::newRow("empty part") << m_mirror.httpUrl("/downloads/") << QByteArray()
                                << QStringList{"/downloads/fw-8.4.4.bin  200"};
}

void TestDownloadManager::resume()
{
    QFETCH(QString, base);
    QFETCH(QByteArray, partFile);
    QFETCH(QStringList, requests);
    if (partFile != "<none>")
        writeRaw(part(), partFile);
    writeRaw(local(), "an older download"); // replaced

    DownloadManager manager;
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(base, Name, local(), true, Description, md5(m_file)), 0);
    QVERIFY(manager.isBusy());
    QVERIFY(rec.waitForCompletion());

    QCOMPARE(rec.errors, QStringList());
    QCOMPARE(rec.completions.size(), 1);
    QCOMPARE(rec.completions[0].errorCount, 0);
    QCOMPARE(rec.completions[0].bytesInFile, qint64(Size));
    QCOMPARE(rec.completions[0].interactive, true);
    QVERIFY(readRaw(local()) == m_file);
    QVERIFY(!QFileInfo::exists(part()));
    QVERIFY2(rec.percentsRise(), qPrintable(QString::number(rec.percents.size())));
    QCOMPARE(rec.percents.last(), 100);
    QCOMPARE(rec.comments.first(), Description);
    QVERIFY(!manager.isBusy());

    QCOMPARE(requestsOnceLogged(requests.size()), requests);
    const auto logged = m_mirror.requests();
    for (const Mirror::Request& r : logged) {
        QCOMPARE(r.method, QString("GET"));
        QCOMPARE(r.cacheControl, QString("no-cache"));
    }
}

void TestDownloadManager::firstPercentageCountsTheResumedPart()
{
    // Half of the file is there: the first percentage after 0 is at least 50. The slow
    // location delivers the rest in many pieces.
    writeRaw(part(BigName), m_big.left(BigSize / 2));
    DownloadManager manager;
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(m_mirror.httpUrl("/slow/"), BigName, local(BigName), false, "big", md5(m_big)), 0);
    QVERIFY(rec.waitForCompletion());
    QCOMPARE(rec.completions[0].errorCount, 0);
    QVERIFY(rec.percents.size() > 3);
    QVERIFY2(rec.percents[1] >= 50, qPrintable(QString::number(rec.percents[1])));
    QVERIFY(rec.percentsRise());
    QCOMPARE(rec.percents.last(), 100);
    // nginx may write its log line a little after the answer.
    QCOMPARE(requestsOnceLogged(1), QStringList{"/slow/big.bin bytes=524288- 206"});
}

void TestDownloadManager::chunkedAnswerGivesNoBogusPercentage_data()
{
    QTest::addColumn<QByteArray>("partFile");
    QTest::addColumn<QStringList>("requests");
    QTest::newRow("fresh") << QByteArray("<none>") << QStringList{"/chunked/big.bin  200"};
    // The compressed answer ignores the range: the whole file comes again.
    QTest::newRow("resumed") << m_big.left(1000) << QStringList{"/chunked/big.bin bytes=1000- 200"};
}

void TestDownloadManager::chunkedAnswerGivesNoBogusPercentage()
{
    QFETCH(QByteArray, partFile);
    QFETCH(QStringList, requests);
    if (partFile != "<none>")
        writeRaw(part(BigName), partFile);
    DownloadManager manager;
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(m_mirror.httpUrl("/chunked/"), BigName, local(BigName), false, "big", md5(m_big)),
             0);
    QVERIFY(rec.waitForCompletion());
    QCOMPARE(rec.errors, QStringList());
    QCOMPARE(rec.completions[0].errorCount, 0);
    QVERIFY(readRaw(local(BigName)) == m_big);
    // No length is known before the end: no percentage but the first 0 (and 100 at the end,
    // when the network layer reports the total it has then).
    QVERIFY(rec.percentsRise());
    for (int percent : qAsConst(rec.percents))
        QVERIFY2(percent == 0 || percent == 100, qPrintable(QString::number(percent)));
    QCOMPARE(requestsOnceLogged(1), requests);
}

void TestDownloadManager::failures_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("partFile");
    QTest::addColumn<bool>("interactive");
    QTest::addColumn<QString>("error"); // empty: counted, not reported

    const QByteArray none("<none>");
    const QByteArray stale = garbage(1000);
    const QString refused =
        QStringLiteral("http://127.0.0.1:") + QString::number(rvx::test::freeTcpPort()) + "/";
    QTest::newRow("404") << m_mirror.httpUrl("/downloads/") << "missing.bin" << none << true
                         << "File not found";
    QTest::newRow("404 keeps the part")
        << m_mirror.httpUrl("/downloads/") << "missing.bin" << stale << false << "File not found";
    QTest::newRow("redirect to a missing file")
        << m_mirror.httpUrl("/redirect/") << "missing.bin" << stale << true << "File not found";
    QTest::newRow("untrusted certificate")
        << m_mirror.untrustedUrl("/downloads/") << Name << none << false << "SSL handshake error";
    QTest::newRow("untrusted certificate keeps the part")
        << m_mirror.untrustedUrl("/downloads/") << Name << stale << true << "SSL handshake error";
    QTest::newRow("connection refused") << refused << Name << none << false << "Server refused connection";
    QTest::newRow("closed without an answer") << m_mirror.httpUrl("/closed/") << Name << none << true << "";
    QTest::newRow("closed without an answer keeps the part")
        << m_mirror.httpUrl("/closed/") << Name << stale << false << "";
}

void TestDownloadManager::failures()
{
    QFETCH(QString, base);
    QFETCH(QString, name);
    QFETCH(QByteArray, partFile);
    QFETCH(bool, interactive);
    QFETCH(QString, error);
    const bool hadPart = partFile != "<none>";
    if (hadPart)
        writeRaw(part(name), partFile);

    DownloadManager manager;
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(base, name, local(name), interactive, Description, md5(m_file)), 0);
    QVERIFY(rec.waitForCompletion());

    const QStringList expected =
        error.isEmpty() ? QStringList() : QStringList{"Error downloading Firmware 8.4.4:\n\n" + error};
    QCOMPARE(rec.errors, expected);
    for (bool flag : qAsConst(rec.errorFlags))
        QCOMPARE(flag, interactive);
    QCOMPARE(rec.completions.size(), 1);
    QCOMPARE(rec.completions[0].errorCount, 1);
    QCOMPARE(rec.completions[0].interactive, interactive);
    // The part file stays for a later resumption, without the error page's bytes.
    const QByteArray kept = hadPart ? partFile : QByteArray();
    QCOMPARE(rec.completions[0].bytesInFile, qint64(kept.size()));
    QCOMPARE(readRaw(part(name)), kept);
    QVERIFY(!QFileInfo::exists(local(name)));
    QCOMPARE(rec.percents, QList<int>{0});
    QVERIFY(!manager.isBusy());
}

void TestDownloadManager::mirrorGoneMidTransferThenResume()
{
    DownloadManager manager;
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(m_mirror.httpUrl("/slow/"), BigName, local(BigName), false, "big", md5(m_big)), 0);
    QVERIFY(waitFor([&] { return sizeOf(part(BigName)) >= 64 * 1024; }));
    m_mirror.stop();
    QVERIFY(rec.waitForCompletion());

    // The closed connection is counted, not reported; what arrived is kept.
    QCOMPARE(rec.errors, QStringList());
    QCOMPARE(rec.completions[0].errorCount, 1);
    const qint64 kept = sizeOf(part(BigName));
    QCOMPARE(rec.completions[0].bytesInFile, kept);
    QVERIFY(kept > 0 && kept < BigSize);
    QVERIFY(readRaw(part(BigName)) == m_big.left(static_cast<int>(kept)));

    QVERIFY2(m_mirror.start(), qPrintable(m_mirror.error()));
    m_mirror.clearRequests();
    rec.clear();
    QCOMPARE(
        manager.start(m_mirror.httpUrl("/downloads/"), BigName, local(BigName), false, "big", md5(m_big)), 0);
    QVERIFY(rec.waitForCompletion());
    QCOMPARE(rec.completions[0].errorCount, 0);
    QVERIFY(readRaw(local(BigName)) == m_big);
    QCOMPARE(requestsOnceLogged(1),
             QStringList{QString("/downloads/big.bin bytes=" + QString::number(kept) + "- 206")});
}

void TestDownloadManager::invalidRedirectEndsWithOnlyTheError_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<int>("requests");
    QTest::newRow("no ?file=") << m_mirror.httpUrl("/invalid/") << 1;
    QTest::newRow("endless") << m_mirror.httpUrl("/loop/") << DownloadManager::MaxRedirects + 1;
    QTest::newRow("not http") << m_mirror.httpUrl("/scheme/") << 1;
    QTest::newRow("https to http") << m_mirror.httpsUrl("/downgrade/") << 1;
}

void TestDownloadManager::invalidRedirectEndsWithOnlyTheError()
{
    QFETCH(QString, base);
    QFETCH(int, requests);
    const QByteArray head = m_file.left(1000);
    writeRaw(part(), head);

    DownloadManager manager;
    DownloadRecorder rec(manager);
    bool busyWhenReported = true;
    QStringList pathsWhenReported{"unset"};
    connect(&manager, &DownloadManager::downloadError, this, [&] {
        busyWhenReported = manager.isBusy();
        pathsWhenReported = manager.transferPaths();
    });
    QCOMPARE(manager.start(base, Name, local(), true, Description, md5(m_file)), 0);
    QCOMPARE(manager.transferPaths(), QStringList({local(), part()}));
    QVERIFY(rec.waitForError());
    QTest::qWait(300);

    QCOMPARE(rec.errors, QStringList{"The downloads website redirected to a URL that is not valid"});
    QCOMPARE(rec.errorFlags, QList<bool>{true});
    QCOMPARE(rec.completions.size(), 0);
    // The transfer is over when the error arrives, so the caller can tell and go on.
    QVERIFY(!busyWhenReported);
    QCOMPARE(pathsWhenReported, QStringList());
    QVERIFY(!manager.isBusy());
    // The redirect's body went nowhere.
    QCOMPARE(readRaw(part()), head);
    QCOMPARE(requestsOnceLogged(requests).size(), requests);

    // The next start resumes the untouched part file.
    rec.clear();
    m_mirror.clearRequests();
    QCOMPARE(manager.start(m_mirror.httpUrl("/downloads/"), Name, local(), true, Description, md5(m_file)),
             0);
    QVERIFY(rec.waitForCompletion());
    QCOMPARE(rec.completions[0].errorCount, 0);
    QVERIFY(readRaw(local()) == m_file);
    QCOMPARE(requestsOnceLogged(1), QStringList{"/downloads/fw-8.4.4.bin bytes=1000- 206"});
}

void TestDownloadManager::digests_data()
{
    QTest::addColumn<QString>("digest");
    QTest::addColumn<QByteArray>("partFile");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<QByteArray>("result"); // the downloaded file when it matches

    const QByteArray none("<none>");
    const QByteArray stale = garbage(1000);
    QTest::newRow("lower case") << md5(m_file) << none << true << m_file;
    QTest::newRow("lower case, resumed") << md5(m_file) << m_file.left(1000) << true << m_file;
    QTest::newRow("upper case never matches") << md5(m_file).toUpper() << none << false << QByteArray();
    QTest::newRow("another file's") << md5("another file") << none << false << QByteArray();
    QTest::newRow("corrupted part") << md5(m_file) << stale << false << QByteArray();
    // No digest, no verification: even a corrupted part is accepted.
    QTest::newRow("empty digest") << QString() << none << true << m_file;
    QTest::newRow("empty digest, corrupted part")
        << QString() << stale << true << QByteArray(stale + m_file.mid(1000));
}

void TestDownloadManager::digests()
{
    QFETCH(QString, digest);
    QFETCH(QByteArray, partFile);
    QFETCH(bool, matches);
    QFETCH(QByteArray, result);
    if (partFile != "<none>")
        writeRaw(part(), partFile);

    DownloadManager manager;
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(m_mirror.httpUrl("/downloads/"), Name, local(), false, Description, digest), 0);
    QVERIFY(rec.waitForCompletion());
    QCOMPARE(rec.completions.size(), 1);
    QCOMPARE(rec.completions[0].bytesInFile, qint64(Size));
    if (matches) {
        QCOMPARE(rec.errors, QStringList());
        QCOMPARE(rec.completions[0].errorCount, 0);
        QVERIFY(readRaw(local()) == result);
    } else {
        QCOMPARE(rec.errors,
                 QStringList{"Downloaded Firmware 8.4.4 but got a checksum mismatch. Data is corrupted"});
        QCOMPARE(rec.completions[0].errorCount, 1);
        // Corrupted data takes neither the final name nor stays to be resumed.
        QVERIFY(!QFileInfo::exists(local()));
        QVERIFY(!QFileInfo::exists(part()));
    }
}

void TestDownloadManager::mismatchThenRetryDownloadsFromScratch()
{
    writeRaw(part(), garbage(1000));
    DownloadManager manager;
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(m_mirror.httpUrl("/downloads/"), Name, local(), true, Description, md5(m_file)),
             0);
    QVERIFY(rec.waitForCompletion());
    QCOMPARE(rec.completions[0].errorCount, 1);
    QVERIFY(rec.completions[0].bytesInFile > 0); // the caller retries

    rec.clear();
    QCOMPARE(manager.start(m_mirror.httpUrl("/downloads/"), Name, local(), true, Description, md5(m_file)),
             0);
    QVERIFY(rec.waitForCompletion());
    QCOMPARE(rec.errors, QStringList());
    QCOMPARE(rec.completions[0].errorCount, 0);
    QVERIFY(readRaw(local()) == m_file);
    QCOMPARE(requestsOnceLogged(2),
             QStringList({"/downloads/fw-8.4.4.bin bytes=1000- 206", "/downloads/fw-8.4.4.bin  200"}));
}

void TestDownloadManager::newStartAbandonsTheRunningTransfer()
{
    DownloadManager manager;
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(m_mirror.httpUrl("/slow/"), BigName, local(BigName), false, "big", md5(m_big)), 0);
    QCOMPARE(manager.transferPaths(), QStringList({local(BigName), part(BigName)}));
    QVERIFY(waitFor([&] { return sizeOf(part(BigName)) > 0; }));

    QCOMPARE(manager.start(m_mirror.httpUrl("/downloads/"), Name, local(), false, Description, md5(m_file)),
             0);
    QCOMPARE(manager.transferPaths(), QStringList({local(), part()}));
    const qint64 abandoned = sizeOf(part(BigName));
    QVERIFY(rec.waitForCompletion());
    QTest::qWait(300);

    // Nothing of the abandoned transfer is reported, and it writes no more.
    QCOMPARE(rec.errors, QStringList());
    QCOMPARE(rec.completions.size(), 1);
    QCOMPARE(rec.completions[0].bytesInFile, qint64(Size));
    QVERIFY(readRaw(local()) == m_file);
    QCOMPARE(sizeOf(part(BigName)), abandoned);
    QVERIFY(!QFileInfo::exists(local(BigName)));
    QVERIFY(rec.comments.indexOf(Description) > rec.comments.lastIndexOf("big"));
    QVERIFY(!manager.isBusy());
    QCOMPARE(manager.transferPaths(), QStringList());
}

void TestDownloadManager::slotsMayWaitInEventLoopsAndStartTheNext()
{
    // As the window does: an error opens a modal box (its own event loop, which delivers the
    // rest of the failed transfer), and the completion starts the next item of the queue.
    DownloadManager manager;
    DownloadRecorder rec(manager);
    int completions = 0;
    connect(&manager, &DownloadManager::downloadError, this, [&] {
        QEventLoop modal;
        QTimer::singleShot(300, &modal, &QEventLoop::quit);
        modal.exec();
    });
    connect(&manager, &DownloadManager::downloadCompleted, this, [&] {
        if (++completions == 1)
            QCOMPARE(
                manager.start(m_mirror.httpUrl("/downloads/"), Name, local(), true, Description, md5(m_file)),
                0);
    });
    QCOMPARE(manager.start(m_mirror.httpUrl("/downloads/"), "missing.bin", local("missing.bin"), true,
                           "missing", QString()),
             0);
    QVERIFY(waitFor([&] { return rec.completions.size() == 2; }));
    QCOMPARE(rec.errors, QStringList{"Error downloading missing:\n\nFile not found"});
    QCOMPARE(rec.completions[0].errorCount, 1);
    QCOMPARE(rec.completions[1].errorCount, 0);
    QCOMPARE(rec.completions[1].bytesInFile, qint64(Size));
    QVERIFY(readRaw(local()) == m_file);
    QTest::qWait(100); // the replies go
}

void TestDownloadManager::startFailuresEmitNothing()
{
    DownloadManager manager;
    DownloadRecorder rec(manager);
    const QString base = m_mirror.httpUrl("/downloads/");

    // The local path is a folder that cannot be deleted.
    QVERIFY(QDir().mkpath(local() + "/inside"));
    QCOMPARE(manager.start(base, Name, local(), false, Description, QString()), -1);
    // The part file cannot be created.
    QCOMPARE(manager.start(base, Name, m_local->filePath("missing/fw.bin"), false, Description, QString()),
             -1);
    // The part file is a folder.
    QVERIFY(QDir().mkpath(part("other.bin")));
    QCOMPARE(manager.start(base, Name, local("other.bin"), false, Description, QString()), -1);
    // Only web addresses are downloaded.
    writeRaw(m_local->filePath("source/" + Name), "a local file");
    QCOMPARE(manager.start(QUrl::fromLocalFile(m_local->filePath("source/")).toString(), Name,
                           local("copy.bin"), false, Description, QString()),
             -1);

    QTest::qWait(100);
    QVERIFY(rec.percents.isEmpty());
    QVERIFY(rec.errors.isEmpty());
    QVERIFY(rec.completions.isEmpty());
    QVERIFY(!manager.isBusy());
    QVERIFY(!QFileInfo::exists(local("copy.bin")));
}

void TestDownloadManager::linkInPlaceOfThePartFileIsNotFollowed()
{
    // A link where the part file belongs is removed: what it points to is neither read as
    // the start of the file nor written.
    const QString elsewhere = m_local->filePath("elsewhere.txt");
    writeRaw(elsewhere, m_file.left(1000));
    QVERIFY(QFile::link(elsewhere, part()));
    DownloadManager manager;
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(m_mirror.httpUrl("/downloads/"), Name, local(), false, Description, md5(m_file)),
             0);
    QVERIFY(rec.waitForCompletion());
    QCOMPARE(rec.completions[0].errorCount, 0);
    QVERIFY(readRaw(local()) == m_file);
    QCOMPARE(readRaw(elsewhere), m_file.left(1000));
    QCOMPARE(requestsOnceLogged(1), QStringList{"/downloads/fw-8.4.4.bin  200"});
}

void TestDownloadManager::killedProcessResumesAfterRestart()
{
    const QString program = rvx::test::builtProgram("download_client");
    const QStringList arguments{Mirror::caCertificatePath(), m_mirror.httpsUrl("/slow/"), BigName,
                                local(BigName), md5(m_big)};
    // The client ends as soon as its download completes, and Qt's TLS side sometimes still
    // holds OpenSSL objects then (a report of a few KB from libcrypto, in about one run of
    // ten under the sanitizers). The manager's own memory is checked by the cases that run it
    // inside this test process; the client is run without the leak check.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(program, arguments);
    QVERIFY2(first.waitForStarted(), qPrintable(first.errorString()));
    QVERIFY(waitFor([&] { return sizeOf(part(BigName)) >= 128 * 1024; }));
    first.kill(); // SIGKILL to its process id: nothing is tidied up
    QVERIFY(first.waitForFinished());
    QCOMPARE(first.exitStatus(), QProcess::CrashExit);
    const qint64 kept = sizeOf(part(BigName));
    QVERIFY(kept > 0 && kept < BigSize);
    QVERIFY(!QFileInfo::exists(local(BigName)));
    // The mirror logs the broken-off request once it notices; then the log starts afresh.
    QVERIFY(waitFor([&] { return m_mirror.requests().size() == 1; }));
    m_mirror.clearRequests();

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(program, arguments);
    QVERIFY(second.waitForFinished(30000));
    const QByteArray output = second.readAllStandardOutput();
    // What the client said on its way out (a sanitizer's report, a Qt warning) tells a failure.
    QVERIFY2(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0,
             second.readAllStandardError().right(4000).constData());
    QVERIFY2(output.endsWith("completed 0 " + QByteArray::number(BigSize) + "\n"), output.constData());
    QVERIFY(readRaw(local(BigName)) == m_big);
    QVERIFY(!QFileInfo::exists(part(BigName)));
    QCOMPARE(requestsOnceLogged(1),
             QStringList{QString("/slow/big.bin bytes=" + QString::number(kept) + "- 206")});
}

RVX_TEST_MAIN(TestDownloadManager)
#include "test_downloadmanager.moc"
