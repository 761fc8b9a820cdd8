// A working folder on a small tmpfs that fills up while devices report and a profile is saved:
// the server keeps serving every agent, tells each kind of failure once (status bar, audit
// trail), keeps what it had saved, and brings the files up to date once space returns.
//
// Needs root in a mount namespace of its own (ctest runs it through tests/support/in-mountns);
// skipped otherwise.

#include "windowfixture.h"

#include "savefailures.h"

using rvx::Ask;
using namespace rvx::test;

namespace {

int sentences(const QString& noun)
{
    return auditSentences().filter(QStringLiteral("could not save ") + noun).size();
}

const QByteArray FirstConfig = "brd_hostname=fd-0001\ndns1=10.0.0.1\nlog_level=2\n";
const QByteArray LaterConfig = "brd_hostname=fd-0001\ndns1=10.0.0.2\nlog_level=2\n";

AgentSetup device(int i, const QByteArray& config = QByteArray())
{
    AgentSetup setup;
    setup.serial = QStringLiteral("fd-%1").arg(i, 4, 10, QLatin1Char('0'));
    setup.configuration = config;
    return setup;
}

} // namespace

class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!mayMountTmpfs())
            QSKIP("needs root in a mount namespace of its own (tests/support/in-mountns)");
    }

    void fillsUpAndRecovers()
    {
        Ask::setTestMode(true);
        WindowFixture f;
        // The fixture's working folder moves onto a 1 MiB tmpfs, with what it already holds.
        const QString root = f.ws.root();
        const QString copy = root + QStringLiteral(".before");
        QVERIFY(runToEnd("cp", {"-a", root, copy}));
        QVERIFY(runToEnd("mount", {"-t", "tmpfs", "-o", "size=1m,mode=0700", "tmpfs", root}));
        QVERIFY(runToEnd("cp", {"-a", copy + "/.", root}));

        MainWindow* w = f.start();
        QVERIFY(w);
        SimAgent* first = f.connect(device(1, FirstConfig));
        QVERIFY(first);
        QVERIFY(waitFor([&] { return f.departmentsFile().contains("fd-0001"); }, 3000));
        rvxDB* db = w->server()->database();
        QCOMPARE(db->loadConfig("fd-0001"), FirstConfig);
        const QByteArray departmentsBefore = f.departmentsFile();
        clearAudit();
        Ask::clearRecords();

        // The disk fills up.
        const QString filler = root + QStringLiteral("/filler");
        QVERIFY(fillFileSystem(filler) > 0);

        // New devices arrive (departments file, their history) and a known one reports a new
        // configuration: the server keeps serving them all.
        QVERIFY(f.connect(device(2, FirstConfig)));
        QVERIFY(f.connect(device(3)));
        first->sendConfiguration(LaterConfig, 55, true);
        QVERIFY(first->echo());
        QVERIFY2(waitFor([] { return rvx::saves::failing(rvx::saves::Kind::Departments); }, 5000),
                 qPrintable(auditSentences().join('|') + " / " + w->statusLabel()->text() + " / " +
                            QString::fromLatin1(f.departmentsFile()) + " / " +
                            QDir(root).entryList(QDir::AllEntries | QDir::Hidden).join(',') + " / " +
                            QString::number(QFileInfo(f.departmentsPath()).size())));
        QVERIFY(rvx::saves::failing(rvx::saves::Kind::History));
        // Retries go on while the disk is full; each kind is told once.
        QVERIFY(waitFor([] { return rvx::saves::failureCount(rvx::saves::Kind::Departments) >= 3; }, 8000));
        QCOMPARE(sentences("departments file"), 1);
        QCOMPARE(sentences("device history"), 1);
        QVERIFY(w->statusLabel()->text().startsWith("Could not save the "));
        QVERIFY(Ask::records().isEmpty());

        // A profile saved by hand is told in a box (the administrator waits for it) and no
        // half-written profile is left.
        f.selectSerials({"fd-0001"});
        const QString profile = f.ws.path("profiles/lab.txt");
        Ask::chooseNext(profile); // the failed write ends it before the reset question
        w->on_save_config_triggered();
        QCOMPARE(WindowFixture::lastOf(Ask::Kind::Critical).title, QString("File Create Error"));
        QVERIFY(!QFile::exists(profile));
        QCOMPARE(sentences("configuration profile"), 1);
        // So is an export: refused, never announced with a short file.
        const QString exported = f.ws.path("devices.csv");
        Ask::clearRecords();
        Ask::chooseNext(exported);
        w->on_export_device_list_triggered();
        QCOMPARE(WindowFixture::lastOf(Ask::Kind::Critical).text,
                 "Error creating file:\n\n" + QDir::toNativeSeparators(exported));
        QVERIFY(!QFile::exists(exported));

        // What had been saved is whole; the server gives the device's newest text meanwhile.
        QCOMPARE(f.departmentsFile(), departmentsBefore);
        QCOMPARE(db->loadConfig("fd-0001"), LaterConfig);
        for (const auto& agent : f.agents)
            QVERIFY(agent->echo());

        // Space returns: the next writes bring every file up to date, and that is told.
        QVERIFY(QFile::remove(filler));
        db->setRetryInterval(200);
        QVERIFY(waitFor([&] { return f.departmentsFile().contains("fd-0003"); }, 5000));
        QVERIFY(f.departmentsFile().contains("fd-0002"));
        QVERIFY(waitFor([&] { return db->unsavedCount() == 0; }, 5000));
        QVERIFY(!rvx::saves::failing(rvx::saves::Kind::Departments));
        QVERIFY(!rvx::saves::failing(rvx::saves::Kind::History));
        Ask::chooseNext(profile);
        Ask::answerNext(QMessageBox::No);
        w->on_save_config_triggered();
        QCOMPARE(WindowFixture::lastOf(Ask::Kind::Information).title, QString("Configuration Saved"));
        QVERIFY(!rvx::saves::failing(rvx::saves::Kind::Profile));
        QCOMPARE(Ask::pendingAnswers(), 0);

        // A server started afresh on the folder reads what the disk now holds.
        QVERIFY(f.restart());
        rvxDB reread(f.ws.path("db"));
        QCOMPARE(reread.loadConfig("fd-0001"), LaterConfig);
        QCOMPARE(reread.loadConfig("fd-0002"), FirstConfig);
        for (const char* serial : {"fd-0001", "fd-0002", "fd-0003"})
            QVERIFY(f.departmentsFile().contains(serial));

        f.window.reset();
        f.agents.clear();
        QVERIFY(runToEnd("umount", {"-l", root}));
        QVERIFY(runToEnd("rm", {"-rf", copy}));
    }
};

RVX_GUI_TEST_MAIN(TestFullDisk)
#include "test_fulldisk.moc"
