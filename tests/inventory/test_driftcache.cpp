// The drift counts kept for the device list: computed once, again only after the device's
// stored configuration or the linked profile changed, and nothing where there is nothing to
// compare.

#include "configlib.h"
#include "driftcache.h"
#include "rvxdb.h"
#include "testmain.h"

#include <QSignalSpy>
#include <QTemporaryDir>

using rvx::test::writeRaw;

class TestDriftCache : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void init() { config_store_reset_for_testing("/nonexistent/environment", "/nonexistent/timezone"); }

    void countsFollowTheStoredTexts()
    {
        rvxDB db(m_dir.filePath("db1"));
        const QString profile = m_dir.filePath("p1.txt");
        writeRaw(profile, "log_level=3\npowersave=no\n");
        QSignalSpy changed(&db, &rvxDB::configChanged);
        QVERIFY(db.saveConfig("ab:1", "log_level=2\npowersave=no\n"));
        QCOMPARE(changed.count(), 1);
        DriftCache cache(&db);

        QCOMPARE(cache.count("ab:1", profile), std::optional<int>(1));
        QCOMPARE(cache.count("AB-1", profile), std::optional<int>(1)); // the same history file
        QCOMPARE(cache.computations(), 1);
        // The same bytes reported again change nothing.
        QVERIFY(db.saveConfig("ab:1", "log_level=2\npowersave=no\n"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(cache.count("ab:1", profile), std::optional<int>(1));
        QCOMPARE(cache.computations(), 1);
        // New bytes: counted again.
        QVERIFY(db.saveConfig("ab:1", "log_level=3\npowersave=no\n"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(cache.count("ab:1", profile), std::optional<int>(0));
        QCOMPARE(cache.computations(), 2);
        // Nothing stored, or no profile: nothing to show.
        QCOMPARE(cache.count("cd-2", profile), std::nullopt);
        QCOMPARE(cache.count("ab:1", QString()), std::nullopt);
        QCOMPARE(cache.count("ab:1", m_dir.filePath("missing.txt")), std::nullopt);
        QVERIFY(db.deleteConfig("ab:1"));
        QCOMPARE(cache.count("ab:1", profile), std::nullopt);
        const std::optional<QList<drift::Difference>> none = cache.differences("ab:1", profile);
        QVERIFY(!none);
    }

    void profileChangesAreNoticed()
    {
        rvxDB db(m_dir.filePath("db2"));
        const QString profile = m_dir.filePath("p2.txt");
        const QString other = m_dir.filePath("p3.txt");
        writeRaw(profile, "log_level=3\n");
        writeRaw(other, "log_level=2\n");
        QVERIFY(db.saveConfig("ef-3", "log_level=2\n"));
        DriftCache cache(&db);
        QCOMPARE(cache.count("ef-3", profile), std::optional<int>(1));
        // Another department's profile is another comparison.
        QCOMPARE(cache.count("ef-3", other), std::optional<int>(0));
        QCOMPARE(cache.count("ef-3", profile), std::optional<int>(1));
        const int before = cache.computations();
        // The profile saved again by the window.
        writeRaw(profile, "log_level=2\n");
        cache.profileChanged(profile);
        QCOMPARE(cache.count("ef-3", profile), std::optional<int>(0));
        QCOMPARE(cache.computations(), before + 1);
        const std::optional<QList<drift::Difference>> listed = cache.differences("ef-3", profile);
        QVERIFY(listed && listed->isEmpty());
        // A profile that holds nothing to apply has no drift.
        writeRaw(profile, "mrl_profile_filename=/x.txt\n");
        cache.profileChanged(profile);
        QCOMPARE(cache.count("ef-3", profile), std::nullopt);
    }
};

RVX_TEST_MAIN(TestDriftCache)
#include "test_driftcache.moc"
