#include "rvxdb.h"
#include "safefile.h"
#include "savefailures.h"
#include "testmain.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

namespace {

using rvx::test::readRaw;
using rvx::test::writeRaw;

// A 512-byte information block carrying the serial number at offset 152.
QByteArray block(const QByteArray& serial, char filler = 'x')
{
    QByteArray data(512, '\0');
    data[12] = filler;
    data.replace(152, serial.size(), serial);
    return data;
}

QStringList filesUnder(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class TestRvxDB : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { rvx::setBeforeReplaceHook({}); }

    void lastSeenReadingIsTolerant()
    {
        QTemporaryDir dir;
        writeRaw(dir.filePath("last_seen.csv"), "AAA,100\n"
                                                "BBB,1,2\n"        // three fields
                                                "CCC,soon\n"       // not a number
                                                "\n"               // blank
                                                "DDD,-5\n"         // not unsigned
                                                "  EEE \t,200\r\n" // spaces around the serial, CR LF
                                                "AAA,300\n"        // later line wins
                                                ",400\n"           // no serial
                                                "../x,500\n"       // hostile serial
                                                "FFF, 600 ");      // last line without line feed
        rvxDB db(dir.path());
        QHash<QString, qint64> expected{{"AAA", 300}, {"EEE", 200}, {"FFF", 600}};
        QCOMPARE(db.lastSeenTable(), expected);
        QCOMPARE(db.lastSeen("BBB"), qint64(0));
    }

    void checkpointWritesTableAtomically()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("db/last_seen.csv");
        {
            rvxDB db(dir.filePath("db"));
            db.setLastSeen("B:2", 20);
            db.setLastSeen("A1", 10);
            db.setLastSeen("a/b", 30); // refused
            QVERIFY(db.checkpoint());
            QCOMPARE(readRaw(path), QByteArray("A1,10\nB:2,20\n"));
            db.setLastSeen("C3", 30);
            rvx::setBeforeReplaceHook([](const QString&) { return false; }); // crash before rename
            QVERIFY(!db.checkpoint());
            QCOMPARE(readRaw(path), QByteArray("A1,10\nB:2,20\n"));
            rvx::setBeforeReplaceHook({});
            db.removeLastSeen("A1");
        } // the destructor writes the table
        QCOMPARE(readRaw(path), QByteArray("B:2,20\nC3,30\n"));
        QCOMPARE(rvxDB(dir.filePath("db")).lastSeen("C3"), qint64(30));
        QCOMPARE(filesUnder(dir.filePath("db")).filter("last_seen").size(), 2); // + the crash's leftover
    }

    // A table file that exists but cannot be read at start must not be replaced by the times
    // of this run alone: it is merged in when it can be read.
    void unreadableTableIsNotClobbered()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("last_seen.csv");
        QVERIFY(QDir().mkpath(path)); // exists, cannot be opened as a file
        rvxDB db(dir.path());
        db.setLastSeen("NEW", 5);
        db.setLastSeen("OLD1", 7);
        db.removeLastSeen("GONE");
        QVERIFY(!db.checkpoint());
        QVERIFY(QFileInfo(path).isDir());
        QVERIFY(QDir().rmdir(path));
        writeRaw(path, "OLD1,1\nOLD2,2\nGONE,3\n");
        QVERIFY(db.checkpoint());
        QCOMPARE(readRaw(path), QByteArray("NEW,5\nOLD1,7\nOLD2,2\n"));
    }

    void configTextsAreCachedAndBinarySafe()
    {
        QTemporaryDir dir;
        rvxDB db(dir.path());
        QCOMPARE(db.loadConfig("ABC123"), QByteArray());
        QVERIFY(!db.isCached("ABC123"));
        QVERIFY(!db.saveConfig("ABC123", QByteArray()));

        const QByteArray text("brd_hostname=lab\r\nbinary=\0\xff\n", 27);
        QVERIFY(db.saveConfig("abc123", text));
        QCOMPARE(readRaw(dir.filePath("23/ABC123.txt")), text); // exactly as received
        writeRaw(dir.filePath("23/ABC123.txt"), "changed behind its back");
        QCOMPARE(db.loadConfig("abc123"), text); // from the cache, the file is not read
        QCOMPARE(db.loadConfig("ABC123"), text); // one file, one cache entry
        QVERIFY(db.deleteConfig("ABC123"));
        QVERIFY(!QFile::exists(dir.filePath("23/ABC123.txt")));
        QCOMPARE(db.loadConfig("abc123"), QByteArray());
        QVERIFY(db.deleteConfig("abc123")); // nothing left to remove
    }

    // Thousands of devices reconnecting report what is stored already: the same block or text
    // is not written again; a changed one is, and so is one whose file went missing or whose
    // last write failed.
    void unchangedContentIsNotRewritten()
    {
        QTemporaryDir dir;
        QStringList replaced;
        auto count = [&replaced](const QString& path) {
            replaced << QFileInfo(path).fileName();
            return true;
        };
        rvx::setBeforeReplaceHook(count);
        {
            rvxDB db(dir.path());
            QVERIFY(db.saveState("DEV01", block("DEV01")));
            QVERIFY(db.saveState("dev01", block("DEV01"))); // one file, same bytes
            QVERIFY(db.saveConfig("DEV01", "a=1\n"));
            QVERIFY(db.saveConfig("DEV01", "a=1\n"));
            QCOMPARE(replaced, (QStringList{"DEV01.st", "DEV01.txt"}));

            QVERIFY(db.saveState("DEV01", block("DEV01", 'y')));
            QVERIFY(db.saveConfig("DEV01", "a=2\n"));
            QCOMPARE(replaced.size(), 4);
            QCOMPARE(readRaw(db.configPath("DEV01")), QByteArray("a=2\n"));

            QVERIFY(QFile::remove(db.statePath("DEV01"))); // behind its back
            QVERIFY(db.saveState("DEV01", block("DEV01", 'y')));
            QCOMPARE(readRaw(db.statePath("DEV01")), block("DEV01", 'y'));

            rvx::setBeforeReplaceHook([](const QString&) { return false; });
            QVERIFY(!db.saveConfig("DEV01", "a=3\n"));
            rvx::setBeforeReplaceHook(count);
            QVERIFY(db.saveConfig("DEV01", "a=3\n"));
            QCOMPARE(readRaw(db.configPath("DEV01")), QByteArray("a=3\n"));

            QVERIFY(db.deleteConfig("DEV01"));
            QVERIFY(db.saveConfig("DEV01", "a=3\n"));
            QCOMPARE(replaced.size(), 7);
        }
        // The next run reads what a file holds rather than replacing it with the same bytes.
        replaced.clear();
        rvxDB db(dir.path());
        QCOMPARE(db.loadAllStates().size(), 1);
        QVERIFY(db.saveState("DEV01", block("DEV01", 'y')));
        QVERIFY(db.saveConfig("DEV01", "a=3\n"));
        QVERIFY(replaced.isEmpty());
        QVERIFY(db.saveConfig("DEV01", "a=4\n")); // same size, other bytes
        QVERIFY(db.saveState("DEV01", block("DEV01", 'z')));
        QCOMPARE(replaced, (QStringList{"DEV01.txt", "DEV01.st"}));
        QCOMPARE(readRaw(db.configPath("DEV01")), QByteArray("a=4\n"));
        QCOMPARE(readRaw(db.statePath("DEV01")), block("DEV01", 'z'));
    }

    void leastRecentlyUsedConfigIsEvicted()
    {
        QTemporaryDir dir;
        rvxDB db(dir.path());
        auto serial = [](int i) { return QString("DEV%1").arg(i, 2, 10, QChar('0')); };
        for (int i = 1; i <= 31; ++i)
            writeRaw(db.configPath(serial(i)), "v1 " + serial(i).toLatin1());
        for (int i = 1; i <= 30; ++i)
            QCOMPARE(db.loadConfig(serial(i)), "v1 " + serial(i).toLatin1());
        QCOMPARE(db.loadConfig(serial(1)), QByteArray("v1 DEV01"));  // DEV01 most recent now
        QCOMPARE(db.loadConfig(serial(31)), QByteArray("v1 DEV31")); // pushes DEV02 out
        QVERIFY(db.isCached(serial(1)));
        QVERIFY(!db.isCached(serial(2)));
        QVERIFY(db.isCached(serial(3)));
        writeRaw(db.configPath(serial(2)), "v2");
        writeRaw(db.configPath(serial(3)), "v2");
        QCOMPARE(db.loadConfig(serial(3)), QByteArray("v1 DEV03")); // still cached
        QCOMPARE(db.loadConfig(serial(2)), QByteArray("v2"));       // read from the file again
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("config");
        QTest::newRow("plain") << "xyz1"
                               << "Z1/XYZ1.txt";
        QTest::newRow("colons") << "00:1a:2b:3c:4d:5e"
                                << "5E/00-1A-2B-3C-4D-5E.txt";
        QTest::newRow("one character") << "a"
                                       << "A/A.txt";
        QTest::newRow("colon at the end") << "ab:"
                                          << "B-/AB-.txt";
        QTest::newRow("leading dot") << ".ab"
                                     << "AB/.AB.txt";
    }
    void fileNames()
    {
        QFETCH(QString, serial);
        QFETCH(QString, config);
        QTemporaryDir dir;
        rvxDB db(dir.path());
        QCOMPARE(db.configPath(serial), dir.path() + "/" + config);
        QCOMPARE(db.statePath(serial), dir.path() + "/" + config.chopped(4) + ".st");
        QVERIFY(db.saveConfig(serial, "k=v\n"));
        QVERIFY(db.saveState(serial, block(serial.toLatin1())));
        QCOMPARE(readRaw(dir.path() + "/" + config), QByteArray("k=v\n"));
        const QList<QByteArray> states = db.loadAllStates();
        QCOMPARE(states.size(), 1);
        QCOMPARE(states.first(), block(serial.toLatin1()));
        QVERIFY(db.deleteState(serial));
        QVERIFY(db.loadAllStates().isEmpty());
    }

    void hostileSerialsAreRefused_data()
    {
        QTest::addColumn<QString>("serial");
        const char* serials[] = {"",
                                 ".",
                                 "..",
                                 "../up",
                                 "a/b",
                                 "/abs",
                                 "a\\b",
                                 "x..y",
                                 "tab\tx",
                                 "new\nline",
                                 "sp ace",
                                 "perc%",
                                 "\xc3\xa9t\xc3\xa9",
                                 "CON",
                                 "nul.st",
                                 "com1",
                                 "LPT9.x"};
        for (const char* serial : serials)
            QTest::newRow(serial) << QString::fromUtf8(serial);
    }
    void hostileSerialsAreRefused()
    {
        QFETCH(QString, serial);
        QTemporaryDir parent;
        const QString dbDir = parent.filePath("db");
        QVERIFY(QDir().mkpath(dbDir));
        rvxDB db(dbDir);
        QVERIFY(!rvxDB::isValidSerial(serial));
        QVERIFY(db.configPath(serial).isEmpty());
        QVERIFY(db.statePath(serial).isEmpty());
        QVERIFY(!db.saveConfig(serial, "k=v\n"));
        QVERIFY(!db.saveState(serial, block("GOOD")));
        QVERIFY(db.loadConfig(serial).isEmpty());
        QVERIFY(!db.deleteConfig(serial));
        QVERIFY(!db.deleteState(serial));
        db.setLastSeen(serial, 5);
        QVERIFY(db.lastSeenTable().isEmpty());
        QVERIFY(filesUnder(parent.path()).isEmpty());
    }

    void noDatabaseFolderNoFiles()
    {
        QTemporaryDir cwd;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd.path()));
        {
            rvxDB db(QString{});
            QVERIFY(db.configPath("ABC").isEmpty());
            QVERIFY(!db.saveConfig("ABC", "k=v\n"));
            QVERIFY(!db.saveState("ABC", block("ABC")));
            db.setLastSeen("ABC", 1);
            QVERIFY(!db.checkpoint());
        }
        QDir::setCurrent(previous);
        QVERIFY(filesUnder(cwd.path()).isEmpty());
    }

    void loadAllStatesSkipsDamagedAndTemporaryFiles()
    {
        QTemporaryDir dir;
        rvxDB db(dir.path());
        QVERIFY(db.saveState("GOOD01", block("GOOD01")));
        QVERIFY(db.saveState("GOOD02", block("GOOD02").left(300)));     // short but named
        writeRaw(dir.filePath("03/EMPTY03.st"), QByteArray(512, '\0')); // what a crash leaves
        writeRaw(dir.filePath("04/TRUNC04.st"), QByteArray());
        writeRaw(dir.filePath("05/EVIL05.st"), block("../../etc"));
        writeRaw(dir.filePath("06/ABC06.st.tmp"), block("ABC06"));
        writeRaw(dir.filePath("06/.ABC06.st.q1w2e3.tmp"), block("ABC06"));
        writeRaw(dir.filePath("07/ABC07.txt"), block("ABC07"));
        writeRaw(dir.filePath("LONG.st"), block("LONG")); // not in a sub-folder
        // A crash between writing and renaming a state: the old block stays, the leftover is skipped.
        rvx::setBeforeReplaceHook([](const QString&) { return false; });
        QVERIFY(!db.saveState("GOOD01", block("GOOD01", 'y')));
        rvx::setBeforeReplaceHook({});
        QCOMPARE(readRaw(db.statePath("GOOD01")), block("GOOD01"));
        QVERIFY(db.saveState("GOOD08", block("GOOD08")));

        QStringList serials;
        for (const QByteArray& state : db.loadAllStates())
            serials << QString::fromLatin1(state.mid(152, 37).constData());
        serials.sort();
        QCOMPARE(serials, (QStringList{"GOOD01", "GOOD02", "GOOD08"}));
        // The block that failed was kept and went out with the next write that worked.
        QCOMPARE(readRaw(db.statePath("GOOD01")), block("GOOD01", 'y'));
    }

    // Writes that fail (a full disk) keep the previous files whole; the newest text or block
    // of each file is kept, given by loadConfig meanwhile, and written by the next write that
    // works or by the retry; the failure is reported once, and the recovery.
    void failedWritesAreKeptAndRetried()
    {
        QTemporaryDir dir;
        rvx::saves::reset();
        QStringList told;
        rvx::saves::setStatusSink([&told](const QString& text) { told << text; });
        rvxDB db(dir.path());
        QVERIFY(db.saveConfig("DEV01", "a=1\n"));
        QVERIFY(db.saveState("DEV01", block("DEV01")));
        db.setLastSeen("DEV01", 100);
        QVERIFY(db.checkpoint());

        bool full = true;
        rvx::setBeforeReplaceHook([&full](const QString&) { return !full; });
        QVERIFY(!db.saveConfig("DEV01", "a=2\n"));
        QVERIFY(!db.saveConfig("DEV01", "a=3\n"));
        QVERIFY(!db.saveState("DEV01", block("DEV01", 'y')));
        QVERIFY(!db.saveConfig("DEV02", "b=1\n"));
        db.setLastSeen("DEV01", 200);
        QVERIFY(!db.checkpoint());
        QCOMPARE(readRaw(db.configPath("DEV01")), QByteArray("a=1\n"));
        QCOMPARE(readRaw(db.statePath("DEV01")), block("DEV01"));
        QCOMPARE(db.loadConfig("DEV01"), QByteArray("a=3\n"));
        QCOMPARE(db.unsavedCount(), 3);
        QVERIFY(!db.retryUnsaved());
        QCOMPARE(told.size(), 2); // once for the history, once for the last-seen table
        QVERIFY(told.at(0).startsWith("Could not save the device history"));
        QVERIFY(told.at(1).startsWith("Could not save the last-seen table"));
        QVERIFY(rvx::saves::failureCount(rvx::saves::Kind::History) >= 4);

        full = false;
        QVERIFY(db.retryUnsaved());
        QCOMPARE(db.unsavedCount(), 0);
        QCOMPARE(readRaw(db.configPath("DEV01")), QByteArray("a=3\n"));
        QCOMPARE(readRaw(db.configPath("DEV02")), QByteArray("b=1\n"));
        QCOMPARE(readRaw(db.statePath("DEV01")), block("DEV01", 'y'));
        QVERIFY(readRaw(dir.filePath("last_seen.csv")).contains("DEV01,200"));
        QVERIFY(told.contains("Device history saved again."));
        QVERIFY(told.contains("Last-seen table saved again."));
        QVERIFY(!rvx::saves::failing(rvx::saves::Kind::History));
        // The hook and the sink hold this function's locals: neither may outlive them (the
        // database writes once more when it goes).
        rvx::setBeforeReplaceHook({});
        rvx::saves::setStatusSink({});
    }
};

RVX_TEST_MAIN(TestRvxDB)
#include "test_rvxdb.moc"
