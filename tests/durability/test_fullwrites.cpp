// Every writer of the administrator's files on a file system full to the last byte: the
// write is refused (never reported as done), the old file stays whole and no temporary file
// is left; once space returns, the same write succeeds. A full disk refuses the last
// buffered bytes only when they are flushed, which a commit alone does not check.
//
// Needs root in a mount namespace of its own (ctest runs it through tests/support/in-mountns);
// skipped otherwise.

#include "testmain.h"

#include "certificates.h"
#include "safefile.h"
#include "signage.h"
#include "storage.h"

#include <QDir>

#include <functional>

using namespace rvx::test;

namespace {

struct Writer
{
    QString file; // below the folder
    // Writes the content of one generation into the folder.
    std::function<bool(const QString& folder, int generation, QString* error)> write;
    // The bytes a generation leaves in the file; null when they cannot be known beforehand.
    std::function<QByteArray(int generation)> expected;
};

QByteArray content(int generation)
{
    return "generation=" + QByteArray::number(generation) + "\n" + QByteArray(2000, 'c') + "\n";
}

QStringList whitelistLines(int generation)
{
    return {QStringLiteral("# generation %1").arg(generation), QStringLiteral("usb:0781:5567"),
            QStringLiteral("serial:%1").arg(QString(2000, QLatin1Char('w')))};
}

QByteArray whitelistBytes(int generation)
{
    QByteArray bytes;
    for (const QString& line : whitelistLines(generation))
        bytes += line.toLatin1() + '\n';
    return bytes;
}

Writer writer(const QString& kind)
{
    if (kind == QLatin1String("durable"))
        return {QStringLiteral("departments.dat"),
                [](const QString& folder, int g, QString* e) {
                    return rvx::writeFileDurable(folder + QStringLiteral("/departments.dat"), content(g), e);
                },
                content};
    if (kind == QLatin1String("atomic"))
        return {QStringLiteral("device.st"),
                [](const QString& folder, int g, QString* e) {
                    return rvx::writeFileAtomic(folder + QStringLiteral("/device.st"), content(g), e);
                },
                content};
    if (kind == QLatin1String("whitelist"))
        return {upgrade::whitelistFileName(),
                [](const QString& folder, int g, QString* e) {
                    return upgrade::writeWhitelist(folder, whitelistLines(g), e);
                },
                whitelistBytes};
    if (kind == QLatin1String("rsync"))
        return {QStringLiteral("rsyncd.conf"),
                [](const QString& folder, int g, QString* e) {
                    return signage::writeWholeFile(folder + QStringLiteral("/rsyncd.conf"), content(g), e);
                },
                content};
    // The certificate and its key: the key is written first and is what a full disk hits.
    return {QStringLiteral("rvx.key"),
            [](const QString& folder, int g, QString* e) {
                return generateSelfSignedCertificate(folder + QStringLiteral("/rvx.crt"),
                                                     folder + QStringLiteral("/rvx.key"),
                                                     QStringLiteral("rvx-%1").arg(g), e);
            },
            nullptr};
}

} // namespace

class TestFullWrites : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!mayMountTmpfs())
            QSKIP("needs root in a mount namespace of its own (tests/support/in-mountns)");
        QVERIFY(m_dir.isValid());
        QVERIFY(runToEnd(QStringLiteral("mount"),
                         {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                          QStringLiteral("size=256k,mode=0700"), QStringLiteral("tmpfs"), m_dir.path()}));
    }

    void cleanupTestCase()
    {
        if (mayMountTmpfs())
            runToEnd(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()});
    }

    // A failed row leaves no full disk to the next.
    void cleanup() { QFile::remove(filler()); }

    void refusedWhileFullThenWritten_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"durable", "atomic", "whitelist", "rsync", "certificate"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void refusedWhileFullThenWritten()
    {
        QFETCH(QString, kind);
        const Writer w = writer(kind);
        const QString folder = m_dir.path() + QLatin1Char('/') + kind;
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QLatin1Char('/') + w.file;
        QString error;
        QVERIFY2(w.write(folder, 1, &error), qPrintable(error));
        const QByteArray before = fileBytes(path);
        QVERIFY(!before.isEmpty());
        if (w.expected)
            QCOMPARE(before, w.expected(1));
        const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);

        QVERIFY(fillFileSystem(filler()) > 0);
        error.clear();
        QVERIFY2(!w.write(folder, 2, &error), "a write on the full disk was reported as done");
        QVERIFY(!error.isEmpty());
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), entries);

        QVERIFY(QFile::remove(filler()));
        QVERIFY2(w.write(folder, 3, &error), qPrintable(error));
        const QByteArray after = fileBytes(path);
        if (w.expected)
            QCOMPARE(after, w.expected(3));
        else
            QVERIFY(!after.isEmpty() && after != before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), entries);
    }

private:
    QString filler() const { return m_dir.path() + QStringLiteral("/filler"); }

    QTemporaryDir m_dir;
};

RVX_TEST_MAIN(TestFullWrites)
#include "test_fullwrites.moc"
