// Unpacking downloaded archives with the real 7-Zip: a firmware archive lands in the
// firmware store as type and version folders that the firmware upgrade then finds; archives
// that would write outside the store, or plant links in it, are refused with nothing written;
// an encrypted archive fails instead of waiting for a password; the event loop keeps running
// while 7-Zip works, and archives are unpacked one after another.

#include "testmain.h"
#include "unpack.h"
#include "upgradefile.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

using namespace updates;

namespace {

const QString kFirmwareType = "PC UEFI x86-64"; // firmware type 3

// Runs Debian's 7-Zip for the test's own set-up (building archives).
void sevenZip(const QString& workingDir, const QStringList& arguments)
{
    QProcess p;
    p.setWorkingDirectory(workingDir);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(rvx::platform::toolPath(rvx::platform::Tool::SevenZip), arguments);
    QVERIFY2(p.waitForFinished(60000), "7-Zip did not finish");
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

// Every file, folder and link below a folder, relative to it.
QStringList contents(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(folder).relativeFilePath(it.next());
    found.sort();
    return found;
}

} // namespace

class TestUnpack : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firmwareArchiveReachesTheStore();
    void hostileArchivesAreRefused_data();
    void hostileArchivesAreRefused();
    void encryptedArchiveDoesNotWait();
    void damagedArchiveAndMissingProgram();
    void oneArchiveAtATime();
    void entryRules_data();
    void entryRules();

private:
    // Unpacks and waits for the result.
    UnpackResult unpackAndWait(const QString& archive, const QString& description);

    QTemporaryDir m_root;
    QString m_store;   // the firmware store
    QString m_staging; // where the test builds its archives
    QString m_outside; // the store's parent: nothing may appear here
    int m_run = 0;
};

void TestUnpack::initTestCase()
{
    const QString tool = rvx::platform::toolPath(rvx::platform::Tool::SevenZip);
    QVERIFY2(QFileInfo(tool).isAbsolute(), "7-Zip is not installed (Debian package 7zip)");
}

void TestUnpack::init()
{
    rvx::test::runProcessesForReal();
    rvx::test::clearProcessCalls();
    const QString run = m_root.filePath(QString::number(++m_run)); // a fresh folder for every run
    m_store = run + "/work/firmware";
    m_staging = run + "/staging";
    m_outside = run + "/work";
    QVERIFY(QDir().mkpath(m_store));
    QVERIFY(QDir().mkpath(m_staging));
}

UnpackResult TestUnpack::unpackAndWait(const QString& archive, const QString& description)
{
    Unpacker unpacker;
    QSignalSpy started(&unpacker, &Unpacker::unpackStarted);
    QSignalSpy finished(&unpacker, &Unpacker::unpackFinished);
    unpacker.unpack(archive, description, "firmware");
    if (!finished.wait(60000) && finished.isEmpty())
        return UnpackResult();
    return finished.first().first().value<UnpackResult>();
}

void TestUnpack::firmwareArchiveReachesTheStore()
{
    // The mirror's archive holds the type folder and the version folder with the images.
    const QString version = m_staging + "/" + kFirmwareType + "/8.4.7";
    const QByteArray image = upgrade::makeHeader(3, 'x') + QByteArray(4096, 'i');
    rvx::test::writeRaw(version + "/upgrade.img", image);
    rvx::test::writeRaw(version + "/uImage.bin", upgrade::makeHeader(3) + "kernel");
    sevenZip(m_staging, {"a", "fw-8.4.7.7z", kFirmwareType});
    const QString archive = m_store + "/fw-8.4.7.7z";
    QVERIFY(QFile::copy(m_staging + "/fw-8.4.7.7z", archive));
    // An older download of the same version is overwritten without a question.
    rvx::test::writeRaw(m_store + "/" + kFirmwareType + "/8.4.7/upgrade.img", "stale");
    QVERIFY(QDir().mkpath(m_store + "/" + kFirmwareType + "/8.4.4"));

    const UnpackResult result = unpackAndWait(archive, "Firmware 8.4.7");
    QCOMPARE(int(result.outcome), int(UnpackResult::Outcome::Unpacked));
    QCOMPARE(result.message(),
             (Message{Message::Kind::Information, "Unpack Update",
                      "Firmware 8.4.7 has been downloaded to this system.You can now install "
                      "it on devices."}));

    // What the firmware upgrade reads.
    const QString typeFolder = m_store + "/" + kFirmwareType;
    QCOMPARE(upgrade::newestVersionFolder(typeFolder), QString("8.4.7"));
    QCOMPARE(rvx::test::readRaw(typeFolder + "/8.4.7/upgrade.img"), image);
    QCOMPARE(upgrade::checkUpgradeFile(typeFolder + "/8.4.7/uImage.bin").firmwareType, 3);
    QVERIFY2(QFile::exists(archive), "the archive is kept");

    // The exact command lines, listing first.
    const auto calls = rvx::test::processCalls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls.at(0).arguments, (QStringList{"l", "-slt", archive}));
    QCOMPARE(calls.at(1).arguments, (QStringList{"x", archive, "-o" + m_store, "-r", "-y", "-aoa"}));
    QCOMPARE(calls.at(1).program, rvx::platform::toolPath(rvx::platform::Tool::SevenZip));
}

void TestUnpack::hostileArchivesAreRefused_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("climbs out with ..") << "../planted.txt"
                                        << "leaves the folder: ../planted.txt";
    QTest::newRow("absolute path") << "/absolute"
                                   << "absolute path: ";
    QTest::newRow("symbolic link") << "link"
                                   << "link: link";
}

void TestUnpack::hostileArchivesAreRefused()
{
    QFETCH(QString, entry);
    QFETCH(QString, refusal);

    // Each archive also holds an innocent file, which must not be written either.
    rvx::test::writeRaw(m_staging + "/inner/innocent.txt", "innocent");
    rvx::test::writeRaw(m_staging + "/planted.txt", "planted");
    const QString archive = m_store + "/hostile.7z";
    if (entry.startsWith("..")) {
        sevenZip(m_staging + "/inner", {"a", "-spf", archive, "../planted.txt", "innocent.txt"});
    } else if (entry.startsWith("/")) {
        const QString absolute = m_staging + "/planted.txt";
        sevenZip(m_staging + "/inner", {"a", "-spf", archive, absolute, "innocent.txt"});
        refusal += absolute;
    } else {
        QVERIFY(QFile::link(m_outside + "/secret", m_staging + "/inner/link"));
        sevenZip(m_staging + "/inner", {"a", "-snl", archive, "link", "innocent.txt"});
    }
    const QStringList outsideBefore = contents(m_outside);

    const UnpackResult result = unpackAndWait(archive, "Hotfix 12");
    QCOMPARE(int(result.outcome), int(UnpackResult::Outcome::Refused));
    QCOMPARE(result.refusal, refusal);
    QCOMPARE(result.message(),
             (Message{Message::Kind::Warning, "Unpack Update",
                      "Hotfix 12 has been downloaded, but an attempt to unpack it has failed."}));
    QCOMPARE(contents(m_outside), outsideBefore);
    QCOMPARE(rvx::test::processCalls().size(), 1); // listed, never extracted
}

void TestUnpack::encryptedArchiveDoesNotWait()
{
    rvx::test::writeRaw(m_staging + "/secret.txt", "secret");
    const QString archive = m_store + "/encrypted.7z";
    sevenZip(m_staging, {"a", "-pSECRET", archive, "secret.txt"});

    QElapsedTimer clock;
    clock.start();
    const UnpackResult result = unpackAndWait(archive, "Agent 9.0");
    QCOMPARE(int(result.outcome), int(UnpackResult::Outcome::Failed));
    QVERIFY(result.exitCode != 0);
    QVERIFY2(clock.elapsed() < 30000, "7-Zip waited for a password");
    QCOMPARE(result.message().kind, Message::Kind::Warning);

    // Encrypted names: even the listing wants the password, and is refused.
    const QString hidden = m_store + "/hidden.7z";
    sevenZip(m_staging, {"a", "-pSECRET", "-mhe=on", hidden, "secret.txt"});
    QCOMPARE(int(unpackAndWait(hidden, "Agent 9.1").outcome), int(UnpackResult::Outcome::Refused));
    QCOMPARE(contents(m_store), (QStringList{"encrypted.7z", "hidden.7z"}));
}

void TestUnpack::damagedArchiveAndMissingProgram()
{
    rvx::test::writeRaw(m_staging + "/a.txt", QByteArray(10000, 'a'));
    sevenZip(m_staging, {"a", "whole.7z", "a.txt"});
    const QByteArray whole = rvx::test::readRaw(m_staging + "/whole.7z");
    rvx::test::writeRaw(m_store + "/cut.7z", whole.left(whole.size() / 2));
    QCOMPARE(int(unpackAndWait(m_store + "/cut.7z", "Cut").outcome), int(UnpackResult::Outcome::Refused));

    // 7-Zip that cannot be started: the same warning.
    rvx::test::setProcessHandler(
        [](const rvx::platform::ProcessCall&) { return rvx::platform::ProcessResult{}; });
    const UnpackResult result = unpackAndWait(m_store + "/cut.7z", "Cut");
    QCOMPARE(int(result.outcome), int(UnpackResult::Outcome::NotStarted));
    QCOMPARE(result.message().text,
             QString("Cut has been downloaded, but an attempt to unpack it has failed."));
    rvx::test::runProcessesForReal();
}

void TestUnpack::oneArchiveAtATime()
{
    QStringList archives;
    for (const QString name : {"one", "two"}) {
        const QString folder = m_staging + "/" + name;
        rvx::test::writeRaw(folder + "/" + kFirmwareType + "/" + name + "/upgrade.img",
                            QByteArray(200000, 'u'));
        sevenZip(folder, {"a", "-mx=9", "../" + name + ".7z", kFirmwareType});
        archives << m_store + "/" + name + ".7z";
        QVERIFY(QFile::copy(m_staging + "/" + name + ".7z", archives.last()));
    }

    Unpacker unpacker;
    QSignalSpy started(&unpacker, &Unpacker::unpackStarted);
    QStringList order;
    connect(&unpacker, &Unpacker::unpackFinished, this, [&](const UnpackResult& r) {
        order << r.description + (r.unpacked() ? " unpacked" : " failed");
        // The next archive waits until this report has been dealt with.
        order << QString("busy %1").arg(unpacker.isBusy());
    });
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
    timer.start(0);

    unpacker.unpack(archives.at(0), "One", "firmware");
    unpacker.unpack(archives.at(1), "Two", "firmware");
    // Nothing has run yet: the calls return at once.
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().first().toString(), QString("Online updates: unpacking One"));
    QVERIFY(unpacker.isBusy());
    QCOMPARE(unpacker.waiting(), 1);
    QVERIFY(order.isEmpty());

    QVERIFY(rvx::test::waitFor([&] { return order.size() == 4; }, 60000));
    QCOMPARE(order, (QStringList{"One unpacked", "busy 0", "Two unpacked", "busy 0"}));
    QVERIFY2(ticks > 0, "the event loop ran while 7-Zip worked");
    QStringList programs;
    for (const auto& call : rvx::test::processCalls())
        programs << call.arguments.at(0) + " " +
                        QFileInfo(call.arguments.at(call.arguments.at(0) == "l" ? 2 : 1)).fileName();
    QCOMPARE(programs, (QStringList{"l one.7z", "x one.7z", "l two.7z", "x two.7z"}));
    QVERIFY(QFileInfo(m_store + "/" + kFirmwareType + "/two/upgrade.img").isFile());
}

void TestUnpack::entryRules_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("link");
    QTest::addColumn<bool>("refused");
    QTest::newRow("plain") << "PC UEFI x86-64/8.4.4/upgrade.img" << false << false;
    QTest::newRow("dots in a name") << "a/..b/c..d" << false << false;
    QTest::newRow("backslash climb") << "ok\\..\\..\\x" << false << true;
    QTest::newRow("drive letter") << "C:/Windows/x" << false << true;
    QTest::newRow("backslash root") << "\\x" << false << true;
    QTest::newRow("climb in the middle") << "a/../../x" << false << true;
    QTest::newRow("link") << "a/l" << true << true;
    QTest::newRow("no name") << "" << false << true;
}

void TestUnpack::entryRules()
{
    QFETCH(QString, path);
    QFETCH(bool, link);
    QFETCH(bool, refused);
    ArchiveEntry entry;
    entry.path = path;
    entry.link = link;
    QCOMPARE(!entryRefusal(entry).isEmpty(), refused);

    // The listing of such an entry, as 7-Zip prints it.
    const QByteArray listing = "\n--\nPath = x.7z\nType = 7z\n\n----------\nPath = " + path.toUtf8() +
                               "\nSize = 1\nPacked Size = \nAttributes = A " +
                               (link ? "lrwxrwxrwx" : "-rw-r--r--") + "\n\n";
    const ArchiveListing parsed = parseListing(listing);
    QVERIFY(parsed.readable);
    QCOMPARE(parsed.entries.size(), 1);
    QCOMPARE(parsed.entries.first().link, link);
    QCOMPARE(!listingRefusal(parsed).isEmpty(), refused);
    // A name broken across lines is not guessed at.
    QVERIFY(!parseListing(listing + "Path = a\nstray line\n").readable);
}

RVX_TEST_MAIN(TestUnpack)
#include "test_unpack.moc"
