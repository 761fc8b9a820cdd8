// The program's command line: "--version" alone prints the version; anything else prints
// the usage and fails. None of these cases opens a window.

#include "testmain.h"

#include <QProcess>

class TestCommandLine : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    static Run run(const QStringList& arguments)
    {
        QProcess process;
        process.start(rvx::test::builtProgram(QStringLiteral("rvx")), arguments);
        Run result;
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

private slots:
    void version()
    {
        const Run r = run({QStringLiteral("--version")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("8.4.4\n"));
        QVERIFY(r.err.isEmpty());
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("version then more") << QStringList{QStringLiteral("--version"), QStringLiteral("x")};
        QTest::newRow("version twice")
            << QStringList{QStringLiteral("--version"), QStringLiteral("--version")};
        QTest::newRow("upper case") << QStringList{QStringLiteral("--VERSION")};
        QTest::newRow("mixed case") << QStringList{QStringLiteral("--Version")};
        QTest::newRow("single dash") << QStringList{QStringLiteral("-version")};
        QTest::newRow("other word") << QStringList{QStringLiteral("start")};
        QTest::newRow("empty argument") << QStringList{QString()};
    }

    void usage()
    {
        QFETCH(QStringList, arguments);
        const Run r = run(arguments);
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.isEmpty());
        const QByteArray expected =
            "Usage: " + rvx::test::builtProgram(QStringLiteral("rvx")).toLocal8Bit() + " [--version]\n";
        QCOMPARE(r.err, expected);
    }
};

RVX_TEST_MAIN(TestCommandLine)
#include "test_commandline.moc"
