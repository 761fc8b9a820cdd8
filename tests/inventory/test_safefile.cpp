#include "safefile.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
} // namespace

class TestSafeFile : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { rvx::setBeforeReplaceHook({}); }

    void replacesWholeFile_data()
    {
        QTest::addColumn<bool>("durable");
        QTest::newRow("durable") << true;
        QTest::newRow("atomic") << false;
    }
    void replacesWholeFile()
    {
        QFETCH(bool, durable);
        QTemporaryDir dir;
        const QString path = dir.filePath("f.txt");
        auto write = [&](const QByteArray& data) {
            return durable ? rvx::writeFileDurable(path, data) : rvx::writeFileAtomic(path, data);
        };
        QVERIFY(write(QByteArray("a long first version\r\n\0with NUL", 32)));
        QVERIFY(write("short"));
        QCOMPARE(readAll(path), QByteArray("short")); // truncated, not overlaid
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(write("again"));
        QCOMPARE(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"f.txt"});
        QVERIFY(!(durable ? rvx::writeFileDurable(dir.filePath("missing/f"), "x")
                          : rvx::writeFileAtomic(dir.filePath("missing/f"), "x")));
    }

    // A crash after writing and before renaming leaves the previous file as it was; what an
    // atomic write leaves behind never carries the final name's extension.
    void crashBeforeRenameKeepsOldFile_data() { replacesWholeFile_data(); }
    void crashBeforeRenameKeepsOldFile()
    {
        QFETCH(bool, durable);
        QTemporaryDir dir;
        const QString path = dir.filePath("ABC.st");
        QVERIFY(durable ? rvx::writeFileDurable(path, "old") : rvx::writeFileAtomic(path, "old"));
        QStringList hooked;
        rvx::setBeforeReplaceHook([&](const QString& p) {
            hooked << p;
            return false;
        });
        QVERIFY(!(durable ? rvx::writeFileDurable(path, "new") : rvx::writeFileAtomic(path, "new")));
        QCOMPARE(hooked, QStringList{path});
        QCOMPARE(readAll(path), QByteArray("old"));
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : left) {
            if (name != "ABC.st") {
                QVERIFY2(!durable, qPrintable(name));
                QVERIFY2(name.startsWith(".ABC.st.") && name.endsWith(".tmp"), qPrintable(name));
                QCOMPARE(readAll(dir.filePath(name)), QByteArray("new"));
            }
        }
    }
};

RVX_TEST_MAIN(TestSafeFile)
#include "test_safefile.moc"
