// bench_fleet: the fleet benchmarks. Runs the real server (benchserver) against the agent
// simulator (agentsim) and prints one table per benchmark:
//   1. reconnect storm: N agents connect at once (TLS, greeting, identification, 500-line
//      compressed snapshot), against N bare TLS handshakes of the same client with
//      `openssl s_server` and the same key (the floor);
//   2. start-up with a history of N stored devices and a departments file naming them;
//   3. steady state: N connected agents with keep-alives every 60 s and status messages;
//   4. GUI responsiveness: the worst lateness of a 10 ms timer during the storms.
// Run it inside the private network namespace (scripts/bench does): it refuses otherwise.
//
//   bench_fleet [--sizes 1000,10000] [--window 32] [--flood 1000] [--steady 180]
//               [--startup-runs 3] [--only storm,startup,steady | reconnect | transport]
//               [--repeat 1]
//   transport: the connections alone (tlsserver: greeting, identification, echo, keep-alives;
//   no records or window), with Qt's TLS socket and with the agent library's own connection
//   type, against the bare handshakes, --repeat times in turn, and their memory and CPU over
//   --steady seconds of keep-alives.

#include "agentsocket.h"
#include "certificates.h"
#include "departments.h"
#include "platform.h"
#include "rvxdb.h"
#include "simagent.h"
#include "testsupport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QSysInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <openssl/opensslv.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

using Fields = QHash<QString, QString>;

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// "key=value key=value ..." (a value may be quoted).
Fields parseFields(const QString& line)
{
    Fields fields;
    int i = 0;
    while (i < line.size()) {
        while (i < line.size() && line.at(i) == QLatin1Char(' '))
            ++i;
        const int eq = line.indexOf(QLatin1Char('='), i);
        const int space = line.indexOf(QLatin1Char(' '), i);
        if (eq < 0 || (space >= 0 && space < eq)) {
            if (space < 0)
                break;
            i = space + 1;
            continue;
        }
        const QString key = line.mid(i, eq - i);
        int end;
        QString value;
        if (eq + 1 < line.size() && line.at(eq + 1) == QLatin1Char('"')) {
            end = line.indexOf(QLatin1Char('"'), eq + 2);
            if (end < 0)
                end = line.size();
            value = line.mid(eq + 2, end - eq - 2);
            ++end;
        } else {
            end = line.indexOf(QLatin1Char(' '), eq + 1);
            if (end < 0)
                end = line.size();
            value = line.mid(eq + 1, end - eq - 1);
        }
        fields.insert(key, value);
        i = end;
    }
    return fields;
}

void pump(int ms = 5)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    QThread::msleep(1);
}

// A child program whose standard output is read line by line.
class Child
{
public:
    Child() { m_process.setProcessChannelMode(QProcess::SeparateChannels); }
    ~Child() { stop(); }

    bool start(const QString& program, const QStringList& arguments, bool quiet = false)
    {
        m_process.setProcessChannelMode(quiet ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
        if (quiet) {
            m_process.setStandardOutputFile(QProcess::nullDevice());
            m_process.setStandardErrorFile(QProcess::nullDevice());
        }
        m_process.start(program, arguments);
        return m_process.waitForStarted(10000);
    }

    // The first line not taken yet that starts with the prefix (lines before it stay for
    // later calls); empty on timeout or when the program ended without printing it.
    QString waitLine(const QString& prefix, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            while (m_process.canReadLine())
                m_lines << QString::fromLocal8Bit(m_process.readLine()).trimmed();
            if (m_process.state() == QProcess::NotRunning && m_process.bytesAvailable() > 0)
                m_lines << QString::fromLocal8Bit(m_process.readAll()).trimmed();
            for (int i = 0; i < m_lines.size(); ++i) {
                if (m_lines.at(i).startsWith(prefix))
                    return m_lines.takeAt(i);
            }
            if (m_process.state() == QProcess::NotRunning || timer.elapsed() > timeoutMs)
                return QString();
            pump();
        }
    }

    Fields command(const QByteArray& command, const QString& answerPrefix, int timeoutMs = 60000)
    {
        m_process.write(command + '\n');
        m_process.waitForBytesWritten(1000);
        return parseFields(waitLine(answerPrefix, timeoutMs));
    }

    bool running() const { return m_process.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_process.processId(); }

    // Waits for the program to end; kills it (by its own id) when it does not.
    void stop(int graceMs = 0)
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        if (graceMs > 0) {
            QElapsedTimer timer;
            timer.start();
            while (m_process.state() != QProcess::NotRunning && timer.elapsed() < graceMs)
                pump();
        }
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

private:
    QProcess m_process;
    QStringList m_lines;
};

// CPU seconds (user + system) of another process of ours.
double processCpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = file.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // After the name: state is field 3, utime 14 and stime 15 (1-based over the whole line).
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
}

bool waitForPort(quint16 port, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(200)) {
            probe.abort();
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

QString cpuModel()
{
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
        }
    }
    return QStringLiteral("unknown");
}

QString serialFor(int index)
{
    return QStringLiteral("SIM") + QString::number(index).rightJustified(6, QLatin1Char('0'));
}

QString macFor(int index)
{
    return QStringLiteral("02:5a:%1:%2:%3:%4")
        .arg((index >> 24) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((index >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((index >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg(index & 0xFF, 2, 16, QLatin1Char('0'));
}

struct Setup
{
    QString certificate;
    QString key;
    QString benchserver;
    QString agentsim;
    QString tlsserver;
    int window = 256;
    int processes = 4;
    int flood = 1000;
    int steadySeconds = 180;
    int startupRuns = 3;
};

// Working folders stay until the end: removing tens of thousands of files between runs
// would make the next run's file creations pay for it on some file systems.
std::vector<std::unique_ptr<QTemporaryDir>>& workdirs()
{
    static std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    return dirs;
}

// A working folder: the certificate pair, and optionally a history of `devices` stored
// devices (with their configuration texts when `texts` is set) spread over `departments`
// departments of the departments file (the first of them shown at start-up).
QTemporaryDir* makeWorkdir(const Setup& setup, int devices, int departments, bool texts)
{
    workdirs().push_back(std::make_unique<QTemporaryDir>());
    QTemporaryDir* dir = workdirs().back().get();
    QFile::copy(setup.certificate, dir->filePath(QStringLiteral("rvx.crt")));
    QFile::copy(setup.key, dir->filePath(QStringLiteral("rvx.key")));
    if (devices <= 0)
        return dir;
    {
        rvxDB db(dir->filePath(QStringLiteral("db")));
        const qint64 seen = rvx::platform::nowSeconds() - 3600;
        // The text the server keeps of the snapshot every simulated agent reports.
        const QByteArray text = SimAgent::sampleConfiguration(500);
        for (int i = 0; i < devices; ++i) {
            if (texts)
                db.saveConfig(serialFor(i), text);
            db.saveState(serialFor(i),
                         SimAgent::fleetDeviceBlock(serialFor(i), QStringLiteral("8.4.0"), macFor(i)));
            db.setLastSeen(serialFor(i), seen);
        }
    }
    DepartmentList list = DepartmentList::defaults();
    QList<DeptInfo*> made;
    for (int d = 0; d < departments; ++d) {
        auto* dept = new DeptInfo;
        dept->id = d + 1;
        dept->name = QStringLiteral("Lab %1").arg(d + 1);
        list.append(dept);
        made.append(dept);
    }
    if (!made.isEmpty()) {
        for (int i = 0; i < devices; ++i)
            list.addMember(made.at(i % made.size()), serialFor(i));
    }
    // The first department of the file is the one shown at start-up.
    if (!made.isEmpty())
        list.move(list.indexOf(made.first()), 0);
    writeDepartments(dir->filePath(QStringLiteral("departments.ini")), list);
    ::sync(); // the generated files reach the disk before the run, not during it
    return dir;
}

quint16 freePort()
{
    return rvx::test::freeTcpPort();
}

// ---- the runs -------------------------------------------------------------------------

// Several agentsim processes sharing one fleet (agents split by index). The simulator's own
// event loop looks at every one of its sockets each time it waits, so a single process
// holding 10,000 agents would be what limits a run rather than the server.
class Clients
{
public:
    void start(const Setup& setup, int n, const QStringList& common, const QStringList& firstOnly)
    {
        const int processes = qBound(1, setup.processes, n);
        for (int i = 0; i < processes; ++i) {
            const int first = int(qint64(n) * i / processes);
            const int count = int(qint64(n) * (i + 1) / processes) - first;
            QStringList args = common;
            args << QStringLiteral("--agents") << QString::number(count) << QStringLiteral("--first-index")
                 << QString::number(first) << QStringLiteral("--window")
                 << QString::number(qMax(1, setup.window / processes));
            if (i == 0)
                args << firstOnly;
            m_children.push_back(std::make_unique<Child>());
            m_children.back()->start(setup.agentsim, args);
        }
    }

    // Every process's line with the prefix, combined: counts added, times the largest.
    Fields waitAll(const QString& prefix, int timeoutMs)
    {
        static const QStringList added = {QStringLiteral("agents"),   QStringLiteral("identified"),
                                          QStringLiteral("lost"),     QStringLiteral("failures"),
                                          QStringLiteral("done"),     QStringLiteral("failed"),
                                          QStringLiteral("bare"),     QStringLiteral("keepalives"),
                                          QStringLiteral("statuses"), QStringLiteral("dropped")};
        Fields combined;
        QElapsedTimer timer;
        timer.start();
        for (auto& child : m_children) {
            const Fields f =
                parseFields(child->waitLine(prefix, int(qMax<qint64>(1, timeoutMs - timer.elapsed()))));
            if (f.isEmpty())
                return Fields();
            for (auto it = f.cbegin(); it != f.cend(); ++it) {
                const double value = it.value().toDouble();
                const double before = combined.value(it.key(), QStringLiteral("0")).toDouble();
                const double result = added.contains(it.key()) ? before + value : qMax(before, value);
                combined.insert(it.key(), QString::number(qint64(result)));
            }
        }
        return combined;
    }

    // The first process's line (what only it does, the flood).
    Fields waitFirst(const QString& prefix, int timeoutMs)
    {
        return m_children.empty() ? Fields() : parseFields(m_children.front()->waitLine(prefix, timeoutMs));
    }

    void stop(int graceMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (auto& child : m_children)
            child->stop(int(qMax<qint64>(1, graceMs - timer.elapsed())));
    }

private:
    std::vector<std::unique_ptr<Child>> m_children;
};

struct BareResult
{
    double ms = -1;
    double serverCpu = -1;
    int done = 0;
};

BareResult runBare(const Setup& setup, int n)
{
    BareResult result;
    const quint16 port = freePort();
    Child server;
    if (!server.start(QStringLiteral("openssl"),
                      {QStringLiteral("s_server"), QStringLiteral("-www"), QStringLiteral("-quiet"),
                       QStringLiteral("-accept"), QString::number(port), QStringLiteral("-cert"),
                       setup.certificate, QStringLiteral("-key"), setup.key},
                      true) ||
        !waitForPort(port, 10000)) {
        std::fprintf(stderr, "bench_fleet: openssl s_server did not start\n");
        return result;
    }
    const double cpuBefore = processCpuSeconds(server.pid());
    Clients clients;
    clients.start(setup, n,
                  {QStringLiteral("--bare"), QStringLiteral("--port"), QString::number(port),
                   QStringLiteral("--rate"), QStringLiteral("0"), QStringLiteral("--retry-ms"),
                   QStringLiteral("1000")},
                  {});
    const Fields f = clients.waitAll(QStringLiteral("bare="), 600000);
    result.serverCpu = processCpuSeconds(server.pid()) - cpuBefore;
    result.ms = f.value(QStringLiteral("elapsed_ms"), QStringLiteral("-1")).toDouble();
    result.done = f.value(QStringLiteral("done")).toInt();
    clients.stop(5000);
    server.stop();
    return result;
}

// The transport alone: tlsserver with one connection type, the same agents as a storm.
struct TransportResult
{
    Fields agents; // the simulators' report
    Fields before; // server stats before the storm
    Fields atDone; // when every agent was identified (CPU and lateness over the storm)
    Fields steady; // over the steady period, after trimming
    int steadySeconds = 0;
};

TransportResult runTransport(const Setup& setup, int n, const QString& tls)
{
    TransportResult r;
    const quint16 port = freePort();
    Child server;
    if (!server.start(setup.tlsserver, {QStringLiteral("--port"), QString::number(port),
                                        QStringLiteral("--cert"), setup.certificate, QStringLiteral("--key"),
                                        setup.key, QStringLiteral("--tls"), tls}) ||
        server.waitLine(QStringLiteral("ready"), 10000).isEmpty()) {
        std::fprintf(stderr, "bench_fleet: tlsserver did not start\n");
        return r;
    }
    server.command("trim", QStringLiteral("trimmed"));
    r.before = server.command("stats", QStringLiteral("stats"));
    server.command("mark", QStringLiteral("marked"));
    const int steady = qMax(0, setup.steadySeconds);
    const QStringList common = {
        QStringLiteral("--port"),    QString::number(port),        QStringLiteral("--rate"),
        QStringLiteral("0"),         QStringLiteral("--retry-ms"), QStringLiteral("1000"),
        QStringLiteral("--lines"),   QStringLiteral("500"),        QStringLiteral("--keepalive"),
        QStringLiteral("60"),        QStringLiteral("--duration"), QString::number(steady + 20),
        QStringLiteral("--timeout"), QStringLiteral("600")};
    Clients clients;
    clients.start(setup, n, common, {});
    r.agents = clients.waitAll(QStringLiteral("agents="), 700000);
    r.atDone = server.command("stats", QStringLiteral("stats"));
    if (steady > 0) {
        server.command("probe off", QStringLiteral("probe off"));
        server.command("mark", QStringLiteral("marked"));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < steady * 1000)
            pump(50);
        server.command("trim", QStringLiteral("trimmed"));
        r.steady = server.command("stats", QStringLiteral("stats"));
        r.steadySeconds = steady;
    }
    clients.stop(1);
    server.command("quit", QStringLiteral("-"), 100);
    server.stop(5000);
    return r;
}

struct StormResult
{
    Fields agents;        // the simulators' report
    Fields atDone;        // server stats when every agent was identified
    Fields before;        // server stats before the storm
    Fields afterFlood;    // server stats once the flood was closed (after trimming)
    Fields files;         // stored files
    Fields flood;         // the flood's report
    Fields steady;        // server stats over the steady-state period
    Fields steadyTrimmed; // the same, after freed memory went back to the system
    Fields steadyAgents;
    Fields dropAll; // server stats over every agent disconnecting at once
    double readyMs = -1;
};

enum class StormKind
{
    Reconnect,    // every agent is a stored device of the shown, selected department
    FirstContact, // no history: every agent is adopted by "Orphans"
};

StormResult runStorm(const Setup& setup, int n, StormKind kind, bool flood, int steadySeconds)
{
    StormResult r;
    const bool reconnect = kind == StormKind::Reconnect;
    QTemporaryDir* dir = makeWorkdir(setup, reconnect ? n : 0, reconnect ? 1 : 0, true);
    const quint16 port = freePort();
    Child server;
    QStringList args = {QStringLiteral("--workdir"), dir->path(),
                        QStringLiteral("--port"),    QString::number(port),
                        QStringLiteral("--t0"),      QString::number(monotonicNs())};
    if (reconnect)
        args << QStringLiteral("--select-all");
    if (!server.start(setup.benchserver, args)) {
        std::fprintf(stderr, "bench_fleet: benchserver did not start\n");
        return r;
    }
    r.readyMs =
        parseFields(server.waitLine(QStringLiteral("ready"), 120000)).value(QStringLiteral("ms")).toDouble();
    server.waitLine(QStringLiteral("loop"), 60000);
    server.command("trim", QStringLiteral("trimmed"));
    r.before = server.command("stats", QStringLiteral("stats"));
    server.command("mark", QStringLiteral("marked"));

    // The agents stay connected past the flood's closing (the 30-second rule) and the
    // steady-state period.
    const int stay = flood || steadySeconds > 0 ? 180 + steadySeconds : 0;
    QStringList common = {
        QStringLiteral("--port"),    QString::number(port),        QStringLiteral("--rate"),
        QStringLiteral("0"),         QStringLiteral("--retry-ms"), QStringLiteral("1000"),
        QStringLiteral("--lines"),   QStringLiteral("500"),        QStringLiteral("--keepalive"),
        QStringLiteral("60"),        QStringLiteral("--duration"), QString::number(stay),
        QStringLiteral("--timeout"), QStringLiteral("600")};
    if (steadySeconds > 0)
        common << QStringLiteral("--status-rate") << QString::number(2.0 / qMax(1, setup.processes));
    QStringList firstOnly;
    if (flood)
        firstOnly << QStringLiteral("--flood") << QString::number(setup.flood)
                  << QStringLiteral("--flood-after") << QString::number(n / 10 / qMax(1, setup.processes));
    Clients clients;
    clients.start(setup, n, common, firstOnly);
    r.agents = clients.waitAll(QStringLiteral("agents="), 700000);
    r.atDone = server.command("stats", QStringLiteral("stats"));
    if (flood) {
        r.flood = clients.waitFirst(QStringLiteral("flood="), 120000);
        // The server's own view: only the agents' connections are left.
        QElapsedTimer wait;
        wait.start();
        for (;;) {
            server.command("trim", QStringLiteral("trimmed"));
            r.afterFlood = server.command("stats", QStringLiteral("stats"));
            if (r.afterFlood.value(QStringLiteral("connections")).toInt() <= n || wait.elapsed() > 10000)
                break;
            QThread::msleep(200);
        }
    }
    r.files = server.command("files", QStringLiteral("files"));
    if (steadySeconds > 0) {
        server.command("probe off", QStringLiteral("probe off"));
        server.command("mark", QStringLiteral("marked"));
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < qint64(steadySeconds) * 1000)
            pump(50);
        r.steady = server.command("stats", QStringLiteral("stats"));
        server.command("trim", QStringLiteral("trimmed"));
        r.steadyTrimmed = server.command("stats", QStringLiteral("stats"));
        // Then every agent goes at once, as when the network between them and the server fails.
        server.command("probe on", QStringLiteral("probe on"));
        server.command("mark", QStringLiteral("marked"));
        r.steadyAgents = clients.waitAll(QStringLiteral("steady"), (stay + 60) * 1000);
        QElapsedTimer drain;
        drain.start();
        for (;;) {
            r.dropAll = server.command("stats", QStringLiteral("stats"));
            if (r.dropAll.value(QStringLiteral("connections")).toInt() == 0 || drain.elapsed() > 30000)
                break;
            QThread::msleep(100);
        }
    }
    clients.stop(stay > 0 ? 120000 : 5000);
    server.command("quit", QStringLiteral("never"), 1);
    server.stop(60000);
    return r;
}

// The flood on its own, against a server with a single agent (the simulator always plays one):
// what 1,000 connections that never send a byte leave behind once the server closed them.
struct FloodResult
{
    Fields before; // server stats before the flood
    Fields after;  // once every flood connection was closed
    Fields flood;  // the simulator's report
};

FloodResult runFloodAlone(const Setup& setup)
{
    FloodResult r;
    QTemporaryDir* dir = makeWorkdir(setup, 0, 0, false);
    const quint16 port = freePort();
    Child server;
    if (!server.start(setup.benchserver, {QStringLiteral("--workdir"), dir->path(), QStringLiteral("--port"),
                                          QString::number(port)}))
        return r;
    server.waitLine(QStringLiteral("loop"), 60000);
    r.before = server.command("stats", QStringLiteral("stats"));
    Child sim;
    sim.start(setup.agentsim, {QStringLiteral("--port"), QString::number(port), QStringLiteral("--agents"),
                               QStringLiteral("0"), QStringLiteral("--flood"), QString::number(setup.flood),
                               QStringLiteral("--duration"), QStringLiteral("120")});
    r.flood = parseFields(sim.waitLine(QStringLiteral("flood="), 120000));
    QElapsedTimer wait;
    wait.start();
    do {
        r.after = server.command("stats", QStringLiteral("stats"));
    } while (r.after.value(QStringLiteral("connections")).toInt() > 0 && wait.elapsed() < 10000);
    sim.stop();
    server.command("quit", QStringLiteral("never"), 1);
    server.stop(60000);
    return r;
}

struct StartupResult
{
    QList<double> readyMs;
    QList<double> loopMs;
    int rows = 0;
    double medianReady() const
    {
        QList<double> v = readyMs;
        std::sort(v.begin(), v.end());
        return v.isEmpty() ? -1 : v.at(v.size() / 2);
    }
    double medianLoop() const
    {
        QList<double> v = loopMs;
        std::sort(v.begin(), v.end());
        return v.isEmpty() ? -1 : v.at(v.size() / 2);
    }
};

StartupResult runStartup(const Setup& setup, int n)
{
    StartupResult r;
    QTemporaryDir* dir = makeWorkdir(setup, n, 10, false);
    for (int run = 0; run < setup.startupRuns; ++run) {
        Child server;
        const quint16 port = freePort();
        if (!server.start(setup.benchserver,
                          {QStringLiteral("--workdir"), dir->path(), QStringLiteral("--port"),
                           QString::number(port), QStringLiteral("--t0"), QString::number(monotonicNs())}))
            break;
        const Fields ready = parseFields(server.waitLine(QStringLiteral("ready"), 120000));
        const Fields loop = parseFields(server.waitLine(QStringLiteral("loop"), 60000));
        const Fields stats = server.command("stats", QStringLiteral("stats"));
        r.readyMs << ready.value(QStringLiteral("ms"), QStringLiteral("-1")).toDouble();
        r.loopMs << loop.value(QStringLiteral("ms"), QStringLiteral("-1")).toDouble();
        r.rows = stats.value(QStringLiteral("rows")).toInt();
        server.command("quit", QStringLiteral("never"), 1);
        server.stop(60000);
    }
    return r;
}

// ---- printing -------------------------------------------------------------------------

QString num(const QString& value)
{
    return value.isEmpty() ? QStringLiteral("?") : value;
}

double seconds(const Fields& f, const char* key)
{
    return f.value(QString::fromLatin1(key), QStringLiteral("-1000")).toDouble() / 1000.0;
}

void print(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

} // namespace

int main(int argc, char** argv)
{
    rvx::test::preparePrivateHome(argv[0]);
    QCoreApplication app(argc, argv);
    rvx::test::requirePrivateNetwork();
    const qint64 fileLimit = rvx::platform::raiseOpenFileLimit(); // inherited by the children

    QCommandLineParser parser;
    const QCommandLineOption sizesOption(QStringLiteral("sizes"), QStringLiteral("Fleet sizes."),
                                         QStringLiteral("list"), QStringLiteral("1000,10000"));
    const QCommandLineOption windowOption(QStringLiteral("window"),
                                          QStringLiteral("Agents connecting at once."), QStringLiteral("n"),
                                          QStringLiteral("256"));
    const QCommandLineOption processesOption(QStringLiteral("processes"),
                                             QStringLiteral("Simulator processes sharing the agents."),
                                             QStringLiteral("n"), QStringLiteral("4"));
    const QCommandLineOption floodOption(QStringLiteral("flood"), QStringLiteral("Silent connections."),
                                         QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption steadyOption(QStringLiteral("steady"), QStringLiteral("Steady-state seconds."),
                                          QStringLiteral("s"), QStringLiteral("180"));
    const QCommandLineOption runsOption(QStringLiteral("startup-runs"), QStringLiteral("Start-ups per size."),
                                        QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption prepareOption(
        QStringLiteral("prepare"),
        QStringLiteral("Only write a reconnect working folder of N devices "
                       "(with rvx.crt and rvx.key) into --into."),
        QStringLiteral("n"));
    const QCommandLineOption intoOption(QStringLiteral("into"), QStringLiteral("Folder for --prepare."),
                                        QStringLiteral("dir"));
    const QCommandLineOption onlyOption(QStringLiteral("only"),
                                        QStringLiteral("storm,startup,steady (or reconnect)"),
                                        QStringLiteral("list"), QStringLiteral("storm,startup,steady"));
    const QCommandLineOption repeatOption(QStringLiteral("repeat"),
                                          QStringLiteral("Rounds of the transport comparison."),
                                          QStringLiteral("n"), QStringLiteral("1"));
    parser.addOptions({sizesOption, windowOption, processesOption, floodOption, steadyOption, runsOption,
                       onlyOption, prepareOption, intoOption, repeatOption});
    parser.process(app);

    QList<int> sizes;
    for (const QString& s : parser.value(sizesOption).split(QLatin1Char(','))) {
        if (s.toInt() > 0)
            sizes << s.toInt();
    }
    const QStringList only = parser.value(onlyOption).split(QLatin1Char(','));

    Setup setup;
    setup.benchserver = QStringLiteral(RVX_BENCHSERVER_PATH);
    setup.agentsim = QStringLiteral(RVX_AGENTSIM_PATH);
    setup.tlsserver = QStringLiteral(RVX_TLSSERVER_PATH);
    setup.window = parser.value(windowOption).toInt();
    setup.processes = qMax(1, parser.value(processesOption).toInt());
    setup.flood = parser.value(floodOption).toInt();
    setup.steadySeconds = parser.value(steadyOption).toInt();
    setup.startupRuns = qMax(1, parser.value(runsOption).toInt());
    QTemporaryDir keys;
    setup.certificate = keys.filePath(QStringLiteral("rvx.crt"));
    setup.key = keys.filePath(QStringLiteral("rvx.key"));
    QString error;
    if (!generateSelfSignedCertificate(setup.certificate, setup.key, QStringLiteral("RVX bench"), &error)) {
        std::fprintf(stderr, "bench_fleet: %s\n", qPrintable(error));
        return 1;
    }

    if (parser.isSet(prepareOption)) {
        // A working folder for looking at one run by hand (profiling).
        QTemporaryDir* dir = makeWorkdir(setup, parser.value(prepareOption).toInt(), 1, true);
        dir->setAutoRemove(false);
        const QString into = parser.value(intoOption);
        return QDir().rename(dir->path(), into) ? 0 : 1;
    }

    print(QStringLiteral("Machine: %1 x %2, %3 MB RAM; %4 %5; Qt %6; %7; open-file limit %8")
              .arg(QThread::idealThreadCount())
              .arg(cpuModel())
              .arg(qint64(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE) / (1024 * 1024))
              .arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion(), QString::fromLatin1(qVersion()),
                   QStringLiteral(OPENSSL_VERSION_TEXT))
              .arg(fileLimit));
    print(QStringLiteral("Storm client: agentsim in %1 processes, %2 agents connecting at once, 500-line "
                         "snapshot; key RSA-2048, TLS 1.3")
              .arg(setup.processes)
              .arg(setup.window));
    print(QStringLiteral("Agent server (benchserver) connection type, from RVX_TLS: %1")
              .arg(QString::fromLatin1(agentsocket::name(agentsocket::configured()))));
    print(QString());

    // ---- the transport alone: bare handshakes, Qt's socket, ours, in turn ----
    if (only.contains(QStringLiteral("transport"))) {
        const int rounds = qMax(1, parser.value(repeatOption).toInt());
        QStringList rows;
        for (int n : sizes) {
            for (int round = 1; round <= rounds; ++round) {
                print(QStringLiteral("running: transport, %1 agents, round %2").arg(n).arg(round));
                const BareResult b = runBare(setup, n);
                rows << QStringLiteral("| %1 | %2 | bare handshakes (openssl s_server) | %3 | %4 | 1.00 | %5 "
                                       "| 1.00 | | | | |")
                            .arg(n)
                            .arg(round)
                            .arg(b.done)
                            .arg(b.ms / 1000.0, 0, 'f', 2)
                            .arg(b.serverCpu, 0, 'f', 2);
                for (const QString& tls : {QStringLiteral("qt"), QStringLiteral("openssl")}) {
                    const TransportResult t = runTransport(setup, n, tls);
                    const double ms =
                        t.agents.value(QStringLiteral("elapsed_ms"), QStringLiteral("-1")).toDouble();
                    const double cpu =
                        t.atDone.value(QStringLiteral("cpu_s"), QStringLiteral("-1")).toDouble();
                    const int identified = t.agents.value(QStringLiteral("identified")).toInt();
                    QString kb, heap, share;
                    if (!t.steady.isEmpty() && identified > 0) {
                        const double rss = t.steady.value(QStringLiteral("rss_kb")).toDouble() -
                                           t.before.value(QStringLiteral("rss_kb")).toDouble();
                        const double live = t.steady.value(QStringLiteral("heap_kb")).toDouble() -
                                            t.before.value(QStringLiteral("heap_kb")).toDouble();
                        kb = QString::number(rss / identified, 'f', 1);
                        heap = QString::number(live / identified, 'f', 1);
                        share = QStringLiteral("%1 %").arg(
                            100.0 * t.steady.value(QStringLiteral("cpu_s")).toDouble() / t.steadySeconds, 0,
                            'f', 2);
                    }
                    rows << QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 | %10 | %11 | %12 |")
                                .arg(n)
                                .arg(round)
                                .arg(tls == QLatin1String("qt")
                                         ? QStringLiteral("QSslSocket per connection")
                                         : QStringLiteral("TlsConnection, one shared context"))
                                .arg(identified)
                                .arg(ms / 1000.0, 0, 'f', 2)
                                .arg(b.ms > 0 ? ms / b.ms : -1, 0, 'f', 2)
                                .arg(cpu, 0, 'f', 2)
                                .arg(b.serverCpu > 0 ? cpu / b.serverCpu : -1, 0, 'f', 2)
                                .arg(kb, heap, share)
                                .arg(t.atDone.value(QStringLiteral("lateness_max_ms")));
                }
            }
        }
        print(QString());
        print(QStringLiteral("## The transport alone (tlsserver; %1 s of keep-alives for memory and CPU)")
                  .arg(setup.steadySeconds));
        print(QString());
        print(QStringLiteral(
            "| N | round | server | identified | time s | x bare | server CPU s | CPU x bare | "
            "KB per device (RSS, trimmed) | live heap KB per device | steady CPU share | "
            "worst lateness ms |"));
        print(QStringLiteral("|---|---|---|---|---|---|---|---|---|---|---|---|"));
        for (const QString& row : rows)
            print(row);
        print(QString());
    }

    // ---- 1 and 4: storms ----
    QMap<int, BareResult> bare;
    QMap<int, StormResult> reconnect, reconnectFlood, firstContact;
    const bool steadyWanted = only.contains(QStringLiteral("steady"));
    const bool stormsWanted = only.contains(QStringLiteral("storm"));
    // "reconnect": the bare handshakes and the plain reconnect storm only (a quick look).
    const bool reconnectWanted = stormsWanted || only.contains(QStringLiteral("reconnect"));
    if (reconnectWanted || steadyWanted) {
        for (int n : sizes) {
            const bool largest = n == sizes.last();
            print(QStringLiteral("running: %1 bare handshakes").arg(n));
            bare[n] = runBare(setup, n);
            if (reconnectWanted) {
                print(QStringLiteral("running: reconnect storm of %1").arg(n));
                reconnect[n] = runStorm(setup, n, StormKind::Reconnect, false, 0);
            }
            if (stormsWanted) {
                print(QStringLiteral("running: first-contact storm of %1").arg(n));
                firstContact[n] = runStorm(setup, n, StormKind::FirstContact, false, 0);
            }
            if (stormsWanted || steadyWanted) {
                print(QStringLiteral("running: reconnect storm of %1 with a flood of %2%3")
                          .arg(n)
                          .arg(setup.flood)
                          .arg(largest && steadyWanted ? QStringLiteral(", then steady state") : QString()));
                reconnectFlood[n] = runStorm(setup, n, StormKind::Reconnect, true,
                                             largest && steadyWanted ? setup.steadySeconds : 0);
            }
        }
    }

    FloodResult floodAlone;
    if (stormsWanted) {
        print(QStringLiteral("running: a flood of %1 alone").arg(setup.flood));
        floodAlone = runFloodAlone(setup);
    }

    // ---- 2: start-up ----
    QMap<int, StartupResult> startup;
    if (only.contains(QStringLiteral("startup"))) {
        for (int n : sizes) {
            print(QStringLiteral("running: start-up with %1 stored devices").arg(n));
            startup[n] = runStartup(setup, n);
        }
    }
    print(QString());

    if (!bare.isEmpty()) {
        print(QStringLiteral("## 1. Reconnect storm (goal: storm time <= 1.5 x bare handshakes)"));
        print(QString());
        print(QStringLiteral("| N | run | identified | time s | x bare | server CPU s | peak RSS MB | "
                             "p99 latency ms | retries | files written .st/.txt/departments | records | "
                             ".st files | rows | goal |"));
        print(QStringLiteral("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"));
        for (int n : sizes) {
            const BareResult& b = bare.value(n);
            print(QStringLiteral(
                      "| %1 | bare handshakes (openssl s_server) | %2 | %3 | 1.00 | %4 | | | | | | | | |")
                      .arg(n)
                      .arg(b.done)
                      .arg(b.ms / 1000.0, 0, 'f', 2)
                      .arg(b.serverCpu, 0, 'f', 2));
            auto row = [&](const QString& name, const StormResult& r, bool goal) {
                if (r.agents.isEmpty())
                    return;
                const double t = seconds(r.agents, "elapsed_ms");
                const double ratio = b.ms > 0 ? t * 1000.0 / b.ms : -1;
                const QString written = QStringLiteral("%1/%2/%3")
                                            .arg(num(r.atDone.value(QStringLiteral("st_writes"))),
                                                 num(r.atDone.value(QStringLiteral("txt_writes"))),
                                                 num(r.atDone.value(QStringLiteral("dept_writes"))));
                print(QStringLiteral(
                          "| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 | %10 | %11 | %12 | %13 | %14 |")
                          .arg(n)
                          .arg(name)
                          .arg(num(r.agents.value(QStringLiteral("identified"))))
                          .arg(t, 0, 'f', 2)
                          .arg(ratio, 0, 'f', 2)
                          .arg(num(r.atDone.value(QStringLiteral("cpu_s"))))
                          .arg(r.atDone.value(QStringLiteral("hwm_kb")).toDouble() / 1024.0, 0, 'f', 0)
                          .arg(num(r.agents.value(QStringLiteral("p99"))))
                          .arg(num(r.agents.value(QStringLiteral("failures"))))
                          .arg(written)
                          .arg(num(r.atDone.value(QStringLiteral("records"))))
                          .arg(num(r.files.value(QStringLiteral("st"))))
                          .arg(num(r.atDone.value(QStringLiteral("rows"))))
                          .arg(goal ? verdict(ratio > 0 && ratio <= 1.5) : QString()));
            };
            row(QStringLiteral("reconnect"), reconnect.value(n), true);
            row(QStringLiteral("reconnect + flood of %1").arg(setup.flood), reconnectFlood.value(n), true);
            row(QStringLiteral("first contact (adopted)"), firstContact.value(n), false);
        }
        print(QString());
    }
    if (!reconnectFlood.isEmpty()) {
        print(QStringLiteral(
            "Flood of silent connections opened after a tenth of the agents were identified:"));
        print(QString());
        print(QStringLiteral(
            "| N | flood | all closed after s | connections left | fds before storm | fds after "
            "| RSS before storm MB | RSS after flood MB | dept. file members |"));
        print(QStringLiteral("|---|---|---|---|---|---|---|---|---|"));
        for (int n : sizes) {
            const StormResult& r = reconnectFlood.value(n);
            print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 |")
                      .arg(n)
                      .arg(num(r.flood.value(QStringLiteral("flood"))))
                      .arg(seconds(r.flood, "all_closed_ms"), 0, 'f', 1)
                      .arg(num(r.afterFlood.value(QStringLiteral("connections"))))
                      .arg(num(r.before.value(QStringLiteral("fds"))))
                      .arg(num(r.afterFlood.value(QStringLiteral("fds"))))
                      .arg(r.before.value(QStringLiteral("rss_kb")).toDouble() / 1024.0, 0, 'f', 0)
                      .arg(r.afterFlood.value(QStringLiteral("rss_kb")).toDouble() / 1024.0, 0, 'f', 0)
                      .arg(num(r.files.value(QStringLiteral("members")))));
        }
        print(QString());
    }
    if (!floodAlone.before.isEmpty()) {
        const FloodResult& r = floodAlone;
        auto mb = [](const Fields& f, const char* key) {
            return QString::number(f.value(QString::fromLatin1(key)).toDouble() / 1024.0, 'f', 1);
        };
        print(
            QStringLiteral("The flood alone, against a server with one agent (live heap: bytes the allocator "
                           "has handed out and not taken back):"));
        print(QString());
        print(QStringLiteral("| flood | connected | all closed after s | connections left (the agent) | fds "
                             "before | fds after "
                             "| live heap MB before | live heap MB after | RSS MB before | RSS MB after |"));
        print(QStringLiteral("|---|---|---|---|---|---|---|---|---|---|"));
        print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 | %10 |")
                  .arg(num(r.flood.value(QStringLiteral("flood"))),
                       num(r.flood.value(QStringLiteral("connected"))))
                  .arg(seconds(r.flood, "all_closed_ms"), 0, 'f', 1)
                  .arg(num(r.after.value(QStringLiteral("connections"))),
                       num(r.before.value(QStringLiteral("fds"))), num(r.after.value(QStringLiteral("fds"))),
                       mb(r.before, "heap_kb"), mb(r.after, "heap_kb"), mb(r.before, "rss_kb"),
                       mb(r.after, "rss_kb")));
        print(QString());
    }

    if (!startup.isEmpty()) {
        print(
            QStringLiteral("## 2. Start-up with N stored devices (goal: <= 2 s for 10,000; 10,000 time <= 12 "
                           "x 1,000 time)"));
        print(QString());
        print(QStringLiteral("| N | rows | listener up, rows listed: median s (runs) | event loop running "
                             "(after the 1 s pause) s | ms per 1,000 devices | goal |"));
        print(QStringLiteral("|---|---|---|---|---|---|"));
        for (int n : sizes) {
            const StartupResult& r = startup.value(n);
            QStringList runs;
            for (double v : r.readyMs)
                runs << QString::number(v / 1000.0, 'f', 2);
            print(QStringLiteral("| %1 | %2 | %3 (%4) | %5 | %6 | %7 |")
                      .arg(n)
                      .arg(r.rows)
                      .arg(r.medianReady() / 1000.0, 0, 'f', 2)
                      .arg(runs.join(QStringLiteral(", ")))
                      .arg(r.medianLoop() / 1000.0, 0, 'f', 2)
                      .arg(r.medianReady() * 1000.0 / n, 0, 'f', 0)
                      .arg(n >= 10000 ? verdict(r.medianReady() <= 2000) : QString()));
        }
        if (startup.contains(1000) && startup.contains(10000))
            print(QStringLiteral("\nRatio 10,000 / 1,000: %1 (goal <= 12: %2)")
                      .arg(startup[10000].medianReady() / startup[1000].medianReady(), 0, 'f', 2)
                      .arg(verdict(startup[10000].medianReady() / startup[1000].medianReady() <= 12)));
        print(QString());
    }

    if (steadyWanted && !sizes.isEmpty() && reconnectFlood.contains(sizes.last())) {
        const int n = sizes.last();
        const StormResult& r = reconnectFlood.value(n);
        const double wall = r.steady.value(QStringLiteral("wall_ms")).toDouble() / 1000.0;
        const double cpu = r.steady.value(QStringLiteral("cpu_s")).toDouble();
        const double share = wall > 0 ? 100.0 * cpu / wall : -1;
        const int online = qMax(1, r.steady.value(QStringLiteral("online")).toInt());
        auto perDevice = [&](const Fields& f, const char* key) {
            return (f.value(QString::fromLatin1(key)).toDouble() -
                    r.before.value(QString::fromLatin1(key)).toDouble()) /
                   online;
        };
        const double rssPerDevice = perDevice(r.steady, "rss_kb");
        const double trimmedPerDevice = perDevice(r.steadyTrimmed, "rss_kb");
        const double heapPerDevice = perDevice(r.steadyTrimmed, "heap_kb");
        print(
            QStringLiteral("## 3. Steady state (goals: < 2 % of one core; <= 100 KB per connected device)"));
        print(QString());
        print(QStringLiteral(
            "| connected | period s | keep-alives | status messages | server CPU s | CPU share | "
            "RSS before storm MB | RSS MB | KB per device | RSS after trim MB | KB per device after trim "
            "| live heap KB per device | goals |"));
        print(QStringLiteral("|---|---|---|---|---|---|---|---|---|---|---|---|---|"));
        print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 % | %7 | %8 | %9 | %10 | %11 | %12 | CPU %13, "
                             "memory %14 |")
                  .arg(num(r.steady.value(QStringLiteral("online"))))
                  .arg(wall, 0, 'f', 0)
                  .arg(num(r.steadyAgents.value(QStringLiteral("keepalives"))))
                  .arg(num(r.steadyAgents.value(QStringLiteral("statuses"))))
                  .arg(cpu, 0, 'f', 2)
                  .arg(share, 0, 'f', 2)
                  .arg(r.before.value(QStringLiteral("rss_kb")).toDouble() / 1024.0, 0, 'f', 0)
                  .arg(r.steady.value(QStringLiteral("rss_kb")).toDouble() / 1024.0, 0, 'f', 0)
                  .arg(rssPerDevice, 0, 'f', 1)
                  .arg(r.steadyTrimmed.value(QStringLiteral("rss_kb")).toDouble() / 1024.0, 0, 'f', 0)
                  .arg(trimmedPerDevice, 0, 'f', 1)
                  .arg(heapPerDevice, 0, 'f', 1)
                  .arg(verdict(share >= 0 && share < 2.0), verdict(rssPerDevice <= 100)));
        print(QStringLiteral(
            "\n(keep-alives and status messages are counted from the end of the storm to the end "
            "of the run)"));
        print(QString());
    }

    if (!bare.isEmpty()) {
        print(QStringLiteral("## 4. GUI responsiveness during the storms (goal: worst lateness < 250 ms)"));
        print(QString());
        print(QStringLiteral(
            "| N | run | worst lateness of the 10 ms timer ms | ticks late by > 50 ms | goal |"));
        print(QStringLiteral("|---|---|---|---|---|"));
        for (int n : sizes) {
            auto row = [&](const QString& name, const StormResult& r) {
                if (r.atDone.isEmpty())
                    return;
                const int late = r.atDone.value(QStringLiteral("lateness_max_ms")).toInt();
                print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 |")
                          .arg(n)
                          .arg(name)
                          .arg(late)
                          .arg(num(r.atDone.value(QStringLiteral("late_ticks"))))
                          .arg(n >= 10000 ? verdict(late < 250) : QString()));
            };
            row(QStringLiteral("reconnect, whole department selected"), reconnect.value(n));
            row(QStringLiteral("reconnect + flood"), reconnectFlood.value(n));
            row(QStringLiteral("first contact"), firstContact.value(n));
        }
        if (!sizes.isEmpty() && !reconnectFlood.value(sizes.last()).dropAll.isEmpty()) {
            const StormResult& r = reconnectFlood.value(sizes.last());
            const int late = r.dropAll.value(QStringLiteral("lateness_max_ms")).toInt();
            print(QStringLiteral(
                      "| %1 | every agent disconnecting at once (after the steady state) | %2 | %3 | %4 |")
                      .arg(sizes.last())
                      .arg(late)
                      .arg(num(r.dropAll.value(QStringLiteral("late_ticks"))))
                      .arg(verdict(late < 250)));
        }
    }
    return 0;
}
