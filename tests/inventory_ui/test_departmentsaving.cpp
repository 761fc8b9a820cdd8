// Writing the departments file: a burst of adoptions (a new fleet connecting) costs about
// one write a second, a change is on disk within about a second, a pending change is written
// at close; a write that fails is told once on the status bar and in the audit trail, keeps
// the previous file, and the file is brought up to date once writing works again.

#include "windowfixture.h"

#include "safefile.h"
#include "savefailures.h"

#include <QElapsedTimer>
#include <QStatusBar>

using rvx::Ask;
using namespace rvx::test;

namespace {

// Counts the writes of one file (called just before each replaces the file) and, while
// `failing` is set, abandons them as a full disk would.
struct WriteWatch
{
    explicit WriteWatch(const QString& path)
    {
        rvx::setBeforeReplaceHook([this, path](const QString& target) {
            if (target != path)
                return true;
            ++writes;
            return !failing;
        });
    }
    ~WriteWatch() { rvx::setBeforeReplaceHook({}); }

    int writes = 0;
    bool failing = false;
};

DeviceSpec fleetDevice(int i)
{
    return DeviceSpec(QStringLiteral("fl-%1").arg(i, 4, 10, QLatin1Char('0')), QString());
}

// The first device of the fleet connects and is on disk in the departments file.
bool adoptFirst(WindowFixture& f)
{
    return f.connectAgent(fleetDevice(1)) &&
           waitFor([&] { return f.departmentsFile().contains("fl-0001"); }, 3000);
}

} // namespace

class TestDepartmentSaving : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::setTestMode(true); }

    void burstIsCoalesced()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        QVERIFY(w);
        WriteWatch watch(f.departmentsPath());
        constexpr int Fleet = 40;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < Fleet; ++i)
            QVERIFY(f.connectAgent(fleetDevice(i)));
        const qint64 burstMs = clock.elapsed();
        // Every device is adopted, and the file names the last one within about a second.
        QVERIFY(waitFor([&] { return f.departmentsFile().contains("fl-0039"); }, 3000));
        const int seconds = static_cast<int>(burstMs / 1000);
        // At most one write a second during the burst (plus the first and the last).
        QVERIFY2(watch.writes <= seconds + 2,
                 qPrintable(QStringLiteral("%1 writes in %2 ms").arg(watch.writes).arg(burstMs)));
        QVERIFY(watch.writes < Fleet);
        for (int i = 0; i < Fleet; ++i)
            QVERIFY(f.departmentsFile().contains(fleetDevice(i).serial.toLatin1()));
        QVERIFY(!w->departmentsDirty());
    }

    void changeAfterQuietPeriodAndAtClose()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        QVERIFY(w);
        WriteWatch watch(f.departmentsPath());
        QVERIFY(adoptFirst(f));
        // A quiet second later, a new change does not wait for a second to go by: it is
        // written at the end of its turn.
        QTest::qWait(1100);
        const int before = watch.writes;
        QVERIFY(f.connectAgent(fleetDevice(2)));
        QVERIFY(waitFor([&] { return f.departmentsFile().contains("fl-0002"); }, 1500));
        QCOMPARE(watch.writes, before + 1);
        // A change right after a write waits, but closing the window writes it.
        QVERIFY(f.connectAgent(fleetDevice(3)));
        QVERIFY(w->departmentsDirty() || f.departmentsFile().contains("fl-0003"));
        w->close();
        QVERIFY(f.departmentsFile().contains("fl-0003"));
        QVERIFY(Ask::records().isEmpty());
    }

    // A failing write: told once per episode on the status bar and in the audit trail, never in
    // a box; the previous file stays whole; the next write that works brings it up to date, and
    // the recovery is told; a later failure starts a new episode.
    void failedWritesAreToldOncePerEpisode()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        QVERIFY(w);
        WriteWatch watch(f.departmentsPath());
        QVERIFY(adoptFirst(f));
        const QByteArray saved = f.departmentsFile();
        Ask::clearRecords();
        clearAudit();

        watch.failing = true;
        for (int i = 2; i < 6; ++i)
            QVERIFY(f.connectAgent(fleetDevice(i)));
        // The pending change is tried again (about once a second) while it fails.
        QVERIFY(waitFor([&] { return rvx::saves::failureCount(rvx::saves::Kind::Departments) >= 2; }, 5000));
        QVERIFY(w->departmentsDirty());
        QCOMPARE(f.departmentsFile(), saved);
        const QString told = w->statusLabel()->text();
        QVERIFY2(told.startsWith("Could not save the departments file"), qPrintable(told));
        QVERIFY(told.contains(QDir::toNativeSeparators(f.departmentsPath())));
        QStringList failures = auditSentences().filter("could not save departments file");
        QCOMPARE(failures.size(), 1);
        QVERIFY(Ask::records().isEmpty());
        // Another device's report still reaches the server while the disk is full.
        QVERIFY(f.connectAgent(fleetDevice(6)));
        QCOMPARE(auditSentences().filter("could not save departments file").size(), 1);

        watch.failing = false;
        QVERIFY(waitFor([&] { return f.departmentsFile().contains("fl-0006"); }, 3000));
        for (int i = 1; i < 7; ++i)
            QVERIFY(f.departmentsFile().contains(fleetDevice(i).serial.toLatin1()));
        QVERIFY(!w->departmentsDirty());
        QCOMPARE(w->statusLabel()->text(), QString("Departments file saved again."));

        // A new episode is told again.
        watch.failing = true;
        QVERIFY(f.connectAgent(fleetDevice(7)));
        QVERIFY(waitFor([&] { return rvx::saves::failing(rvx::saves::Kind::Departments); }, 3000));
        QCOMPARE(auditSentences().filter("could not save departments file").size(), 2);

        // Closing with the change still unwritten is the last chance to hear of it: a box.
        Ask::clearRecords();
        w->close();
        QCOMPARE(Ask::records().size(), 1);
        QCOMPARE(Ask::records().first().title, QString("Saving configuration file"));
    }
};

RVX_GUI_TEST_MAIN(TestDepartmentSaving)
#include "test_departmentsaving.moc"
