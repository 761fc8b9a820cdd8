// A small storm through the real window: the many-agents program connects agents at once
// (TLS, greeting, identification, a 500-line snapshot each) while connections that never send
// a byte pile up beyond the cap. Afterwards there is exactly one record, one stored block and
// one row per agent, the departments file names them all, and neither the silent connections
// nor the agents leave a descriptor behind. Also the status-bar notes of the open-file limit.

#include "windowfixture.h"

#include "connectionlimit.h"

#include <QAction>
#include <QDirIterator>
#include <QLabel>
#include <QProcess>

using namespace rvx::test;
using rvx::Ask;

namespace {

constexpr int Agents = 50;

// Descriptors the process holds (-1 where they cannot be counted).
int openDescriptors()
{
#ifdef Q_OS_LINUX
    // The listing counts the descriptor it reads the folder with.
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size() - 1;
#else
    return -1;
#endif
}

int deviceRows(DepartmentView* list)
{
    int rows = 0;
    QStandardItemModel* model = list->model();
    for (int g = 0; g < model->rowCount(); ++g)
        rows += model->rowCount(model->index(g, 0));
    return rows;
}

int filesEndingWith(const QString& dir, const QString& suffix)
{
    int count = 0;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        count += it.next().endsWith(suffix);
    return count;
}

QString serialFor(int i)
{
    return QStringLiteral("SIM%1").arg(i, 6, 10, QLatin1Char('0'));
}

} // namespace

class TestStorm : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::setTestMode(true); }
    void cleanup() { rvx::platform::setOpenFileLimitHook({}); }

    void stormWithSilentFlood_data()
    {
        QTest::addColumn<bool>("reconnect");
        QTest::newRow("first contact: adopted by Orphans") << false;
        QTest::newRow("reconnect: stored, whole department selected") << true;
    }

    void stormWithSilentFlood()
    {
        QFETCH(bool, reconnect);
        WindowFixture f;
        if (reconnect) {
            QByteArray departments = "[department]\nid=5\nname=Lab\n";
            for (int i = 0; i < Agents; ++i) {
                rvxDB(f.ws.path(QStringLiteral("db")))
                    .saveState(serialFor(i), SimAgent::fleetDeviceBlock(serialFor(i), QStringLiteral("8.4.0"),
                                                                        QStringLiteral("02:5a:00:00:00:00")));
                departments += "serial=" + serialFor(i).toLower().toLatin1() + '\n';
            }
            f.writeDepartments(departments + "\n[department]\nid=0\nname=Orphans\n");
        }
        MainWindow* w = f.start();
        w->server()->setHandshakeTimeout(1500);
        w->server()->setMaxUnauthenticated(20);
        QAction* getLogs = w->findChild<QAction*>(QStringLiteral("get_logs"));
        QVERIFY(getLogs);
        if (reconnect) {
            w->onDepartmentSelected(w->shownDepartment());
            QCOMPARE(w->selectedDevices(false).size(), Agents);
            QVERIFY(!getLogs->isEnabled()); // every selected device is offline
        }
        QVERIFY(waitFor([&] { return !w->departmentsDirty(); }));
        const int descriptorsBefore = openDescriptors();

        QProcess sim;
        sim.start(builtProgram(QStringLiteral("agentsim")),
                  {"--port", QString::number(f.port), "--agents", QString::number(Agents), "--rate", "0",
                   "--window", "16", "--retry-ms", "200", "--flood", "100", "--flood-after", "10",
                   "--duration", "8", "--timeout", "60"});
        QVERIFY2(sim.waitForStarted(), qPrintable(sim.errorString()));
        QVERIFY(waitFor(
            [&] {
                const QList<ThinclientInfo*> devices = w->server()->devices();
                return devices.size() == Agents && std::all_of(devices.cbegin(), devices.cend(),
                                                               [](ThinclientInfo* d) { return d->socket; });
            },
            60000));
        // The flood is closed (beyond the cap, or when its time is up); only the agents stay.
        QVERIFY(waitFor([&] { return w->server()->connectionCount() == Agents; }, 30000));
        QCOMPARE(w->server()->unauthenticatedCount(), 0);
        QCOMPARE(w->server()->pendingCount(), 0);
#ifdef Q_OS_LINUX
        // Idle, the agents are watched by the readiness queue, not by the event loop.
        QVERIFY(waitFor([&] { return w->server()->parkedCount() == Agents; }, 5000));
#endif
        QCOMPARE(w->server()->deviceCount(), Agents);
        QCOMPARE(deviceRows(w->shownView()), Agents);
        QCOMPARE(filesEndingWith(f.ws.path(QStringLiteral("db")), QStringLiteral(".st")), Agents);
        QCOMPARE(filesEndingWith(f.ws.path(QStringLiteral("db")), QStringLiteral(".txt")), Agents);
        QCOMPARE(f.device(serialFor(Agents - 1))->hostname(), QString("sim-device"));
        QVERIFY(waitFor([&] { return !w->departmentsDirty(); }));
        QCOMPARE(f.departmentsFile().count("serial=sim"), Agents);
        if (reconnect) {
            // The rows and the selection stayed; the selection's devices came online.
            QCOMPARE(w->shownDepartment()->name, QString("Lab"));
            QCOMPARE(w->selectedDevices(true).size(), Agents);
            QVERIFY(getLogs->isEnabled());
        }

        QVERIFY(waitFor([&] { return sim.state() == QProcess::NotRunning; }, 30000));
        const QByteArray out = sim.readAllStandardOutput();
        QVERIFY2(out.contains(QByteArray("agents=50 identified=50 lost=0")), out.constData());
        QVERIFY2(out.contains("flood=100 connected=100 closed=100"), out.constData());
        // Every connection is gone with its descriptor; the records stay, offline.
        QVERIFY(waitFor([&] { return w->server()->connectionCount() == 0; }, 10000));
        if (descriptorsBefore >= 0)
            QVERIFY(waitFor([&] { return openDescriptors() == descriptorsBefore; }, 10000));
        QCOMPARE(w->server()->deviceCount(), Agents);
        QCOMPARE(deviceRows(w->shownView()), Agents);
        if (reconnect)
            QVERIFY(!getLogs->isEnabled());
    }

    // The status bar says when the open-file limit is what keeps devices out: at start-up
    // when the history knows more devices than may connect, and when a connection could not
    // be accepted.
    void openFileLimitNotes()
    {
        static constexpr qint64 limit = connectionlimit::Reserved + 3;
        rvx::platform::setOpenFileLimitHook([] { return limit; });
        {
            WindowFixture f;
            for (int i = 0; i < 3; ++i)
                f.storeDevice(DeviceSpec{serialFor(i)});
            MainWindow* w = f.start();
            QVERIFY(w->statusLabel()->text().isEmpty());
        }
        WindowFixture f;
        for (int i = 0; i < 4; ++i)
            f.storeDevice(DeviceSpec{serialFor(i)});
        MainWindow* w = f.start();
        QCOMPARE(w->statusLabel()->text(), QString("The open-file limit (67) lets at most 3 of the 4 known "
                                                   "devices connect at once; raise it to serve them all."));
        emit w->server()->acceptError(QAbstractSocket::SocketResourceError);
        QCOMPARE(w->statusLabel()->text(),
                 QString("A device connection was refused: the open-file limit (67) is reached with 0 "
                         "connections open; raise it to serve more devices."));
        rvx::platform::setOpenFileLimitHook([] { return qint64(-1); });
        QCOMPARE(connectionlimit::startupNote(-1, 100000), QString());
        QCOMPARE(connectionlimit::capacity(10), qint64(0));
    }
};

RVX_GUI_TEST_MAIN(TestStorm)
#include "test_storm.moc"
