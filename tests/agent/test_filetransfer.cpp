// Where agents may read and write server files: the confinement rules on a real tree with
// symbolic links, look-alike folders and excluded folders.

#include "filetransfer.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using filetransfer::Verdict;

class TestFileTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void componentWiseRoots_data();
    void componentWiseRoots();
    void reading_data();
    void reading();
    void writing_data();
    void writing();
    void openingNeverFollowsALink();

private:
    QString p(const QString& sub) const { return m_dir.path() + QLatin1Char('/') + sub; }
    void write(const QString& sub, const QByteArray& content);
    filetransfer::Rules rules() const;
    QTemporaryDir m_dir;
};

void TestFileTransfer::write(const QString& sub, const QByteArray& content)
{
    QFile f(p(sub));
    QVERIFY(QDir().mkpath(QFileInfo(f).absolutePath()));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

filetransfer::Rules TestFileTransfer::rules() const
{
    filetransfer::Rules r;
    r.readRoots << p("store") << p("work") << p("no-such-store") << QString();
    r.writeRoots << p("logs") << p("work");
    r.tempDir = p("temp");
    r.excluded << p("work/db");
    return r;
}

void TestFileTransfer::initTestCase()
{
#ifndef Q_OS_UNIX
    QSKIP("symbolic links are needed");
#endif
    QVERIFY(m_dir.isValid());
    write("store/a.bin", "A");
    write("store/sub/b.bin", "B");
    write("store-evil/x.bin", "X");
    write("outside/secret.txt", "secret");
    write("outside/victim.txt", "victim");
    write("outside/victim2.txt", "victim2");
    write("work/ok.txt", "ok");
    write("work/db/AB/SERIAL.st", "block");
    QVERIFY(QDir().mkpath(p("temp/subdir")));
    QVERIFY(QDir().mkpath(p("logs")));
    QVERIFY(QDir().mkpath(p("logs-evil")));
    QVERIFY(QFile::link(p("outside/secret.txt"), p("store/link-out")));
    QVERIFY(QFile::link(p("store/a.bin"), p("store/link-in")));
    QVERIFY(QFile::link(p("outside"), p("store/dirlink")));
    QVERIFY(QFile::link(p("outside/nothing"), p("store/dangling")));
    QVERIFY(QFile::link(p("outside/victim.txt"), p("temp/planted")));
    QVERIFY(QFile::link(p("outside/victim.txt"), p("logs/planted")));
#ifdef Q_OS_UNIX
    QCOMPARE(::link(QFile::encodeName(p("outside/victim2.txt")).constData(),
                    QFile::encodeName(p("temp/hardlink")).constData()),
             0);
#endif
}

void TestFileTransfer::componentWiseRoots_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("root");
    QTest::addColumn<bool>("within");
    QTest::newRow("the root itself") << "/srv/x"
                                     << "/srv/x" << true;
    QTest::newRow("below") << "/srv/x/a/b"
                           << "/srv/x" << true;
    QTest::newRow("look-alike") << "/srv/x-evil/a"
                                << "/srv/x" << false;
    QTest::newRow("prefix of a name") << "/srv/xy"
                                      << "/srv/x" << false;
    QTest::newRow("parent") << "/srv"
                            << "/srv/x" << false;
    QTest::newRow("filesystem root") << "/anything"
                                     << "/" << true;
    QTest::newRow("empty root") << "/srv/x"
                                << "" << false;
}

void TestFileTransfer::componentWiseRoots()
{
    QFETCH(QString, path);
    QFETCH(QString, root);
    QFETCH(bool, within);
    QCOMPARE(filetransfer::isWithin(path, root), within);
}

void TestFileTransfer::reading_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("opens"); // the file an allowed request opens
    const int ok = int(Verdict::Allowed), refused = int(Verdict::Refused), missing = int(Verdict::Missing);
    QTest::newRow("file in a store") << p("store/a.bin") << ok << p("store/a.bin");
    QTest::newRow("dot-dot staying inside") << p("store/sub/../a.bin") << ok << p("store/a.bin");
    QTest::newRow("link to a file in the store") << p("store/link-in") << ok << p("store/a.bin");
    QTest::newRow("second store") << p("work/ok.txt") << ok << p("work/ok.txt");
    QTest::newRow("native separators")
        << QDir::toNativeSeparators(p("store/sub/b.bin")) << ok << p("store/sub/b.bin");
    QTest::newRow("missing file in a store") << p("store/none.bin") << missing << QString();
    QTest::newRow("dot-dot out of the store") << p("store/../outside/secret.txt") << refused << QString();
    QTest::newRow("absolute path outside") << p("outside/secret.txt") << refused << QString();
    QTest::newRow("missing file outside") << p("outside/none") << refused << QString();
    QTest::newRow("prefix look-alike folder") << p("store-evil/x.bin") << refused << QString();
    QTest::newRow("link out of the store") << p("store/link-out") << refused << QString();
    QTest::newRow("folder link out of the store") << p("store/dirlink/secret.txt") << refused << QString();
    QTest::newRow("dangling link") << p("store/dangling") << refused << QString();
    QTest::newRow("a folder") << p("store/sub") << refused << QString();
    QTest::newRow("excluded device history") << p("work/db/AB/SERIAL.st") << refused << QString();
    QTest::newRow("NUL byte") << p("store/a.bin") + QChar(0) + "/../../outside/secret.txt" << refused
                              << QString();
    QTest::newRow("empty") << QString() << refused << QString();
    QTest::newRow("system file") << "/etc/passwd" << refused << QString();
}

void TestFileTransfer::reading()
{
    QFETCH(QString, request);
    QFETCH(int, verdict);
    QFETCH(QString, opens);
    const filetransfer::Resolution r = filetransfer::resolveRead(request, rules());
    QCOMPARE(int(r.verdict), verdict);
    if (r.verdict == Verdict::Allowed) {
        QCOMPARE(r.path, QFileInfo(opens).canonicalFilePath());
        std::unique_ptr<QFile> f(filetransfer::openForReading(r.path));
        QVERIFY(f);
        QVERIFY(!f->readAll().isEmpty());
    } else {
        QVERIFY(r.path.isEmpty());
    }
}

void TestFileTransfer::writing_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("target"); // empty: refused
    QTest::newRow("relative name in temp") << "upload.txt" << 0 << p("temp/upload.txt");
    QTest::newRow("relative into a sub-folder") << "subdir/u.txt" << 0 << p("temp/subdir/u.txt");
    QTest::newRow("dot-dot out of temp") << "../outside/new.txt" << 0 << QString();
    QTest::newRow("absolute with code 0") << p("outside/new.txt") << 0 << QString();
    QTest::newRow("link planted in temp") << "planted" << 0 << QString();
    QTest::newRow("missing folder") << "nowhere/u.txt" << 0 << QString();
    QTest::newRow("existing folder") << "subdir" << 0 << QString();
    QTest::newRow("dot-dot as name") << "subdir/.." << 0 << QString();
    QTest::newRow("picked destination") << p("logs/dev.log") << 1 << p("logs/dev.log");
    QTest::newRow("temp by absolute path") << p("temp/abs.txt") << 1 << p("temp/abs.txt");
    QTest::newRow("look-alike destination") << p("logs-evil/dev.log") << 1 << QString();
    QTest::newRow("outside destination") << p("outside/dev.log") << 1 << QString();
    QTest::newRow("relative with code 1") << "logs/dev.log" << 1 << QString();
    QTest::newRow("link planted in destination") << p("logs/planted") << 1 << QString();
    QTest::newRow("excluded below a destination") << p("work/db/AB/SERIAL.st") << 1 << QString();
    QTest::newRow("read-only store") << p("store/new.bin") << 1 << QString();
    QTest::newRow("NUL byte") << QString("x") + QChar(0) + "y" << 0 << QString();
}

void TestFileTransfer::writing()
{
    QFETCH(QString, request);
    QFETCH(int, code);
    QFETCH(QString, target);
    const filetransfer::Resolution r =
        filetransfer::resolveWrite(request, static_cast<quint8>(code), rules());
    if (target.isEmpty()) {
        QCOMPARE(r.verdict, Verdict::Refused);
    } else {
        QCOMPARE(r.verdict, Verdict::Allowed);
        QCOMPARE(r.path, QFileInfo(QFileInfo(target).absolutePath()).canonicalFilePath() + "/" +
                             QFileInfo(target).fileName());
        std::unique_ptr<QFile> f(filetransfer::openForWriting(r.path));
        QVERIFY(f);
        QCOMPARE(f->write("data"), qint64(4));
    }
    // Nothing outside was touched by any request.
    QFile victim(p("outside/victim.txt"));
    QVERIFY(victim.open(QIODevice::ReadOnly));
    QCOMPARE(victim.readAll(), QByteArray("victim"));
    QVERIFY(!QFile::exists(p("outside/new.txt")) && !QFile::exists(p("outside/dev.log")));
    QFile block(p("work/db/AB/SERIAL.st"));
    QVERIFY(block.open(QIODevice::ReadOnly));
    QCOMPARE(block.readAll(), QByteArray("block"));
}

void TestFileTransfer::openingNeverFollowsALink()
{
    // Even when handed a link (a race after the check), nothing is opened through it.
    QVERIFY(!filetransfer::openForReading(p("store/link-out")));
    QVERIFY(!filetransfer::openForWriting(p("temp/planted")));
    // A second hard link to an outside file is neither truncated nor written.
    QVERIFY(!filetransfer::openForWriting(p("temp/hardlink")));
    QFile victim2(p("outside/victim2.txt"));
    QVERIFY(victim2.open(QIODevice::ReadOnly));
    QCOMPARE(victim2.readAll(), QByteArray("victim2"));
    // An existing plain file is replaced.
    write("temp/old.txt", "old content");
    std::unique_ptr<QFile> f(filetransfer::openForWriting(p("temp/old.txt")));
    QVERIFY(f);
    QCOMPARE(f->size(), qint64(0));
}

RVX_TEST_MAIN(TestFileTransfer)
#include "test_filetransfer.moc"
