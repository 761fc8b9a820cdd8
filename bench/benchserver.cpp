// benchserver: the real main window and agent server on a prepared working folder, for the
// fleet benchmarks (bench_fleet starts it; it is not a test).
//
//   benchserver --workdir DIR --port P [--t0 NS] [--select-all] [--handshake-timeout MS]
//
// DIR holds rvx.crt, rvx.key and whatever device history and departments file the run
// starts with; the settings (discovery off, no update checks) are written into a private
// home folder, never the user's. Like the tests, it refuses to run outside the private network
// namespace of scripts/in-netns. --t0 is the CLOCK_MONOTONIC time (ns) at which the caller
// started the process; start-up times are measured from it. The agent server's connection
// type is the one RVX_TLS selects, as in the program ("openssl": ours; else Qt's socket).
//
// Lines on standard output:
//   ready ms=.. rows=.. listening=1 tls=..
//                                     the listener is up and every stored device has its row
//                                     (measured when the start-up reaches its final pause)
//   loop ms=..                        the event loop runs (after the pause, window shown)
//   stats ...                         answer to "stats" (see printStats)
//   files st=.. txt=.. members=..     answer to "files"
// Commands on standard input, one per line: mark (start a measurement: CPU time, wall
// clock and the worst lateness of a 10 ms timer from now), stats, files, trim (return
// freed memory to the system before measuring), select (select the whole shown
// department), quit.

#include "guisupport.h"
#include "processfigures.h"

#include "agentsocket.h"
#include "ask.h"
#include "departmentview.h"
#include "mainwindow.h"
#include "platform.h"
#include "safefile.h"
#include "sslserver.h"
#include "thinclientinfo.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSettings>
#include <QSocketNotifier>
#include <QStandardItemModel>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

using rvx::bench::cpuSeconds;
using rvx::bench::statusKb;

namespace {

// Files replaced during the run, counted as they are replaced.
struct Writes
{
    int departments = 0;
    int states = 0;
    int texts = 0;
    int other = 0;
};

Writes& writes()
{
    static Writes w;
    return w;
}

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The entries are counted, not looked at: a look at each of 10,000 descriptors took the
// window's thread a tenth of a second, and the drain after a storm asks every 100 ms.
int openFiles()
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    closedir(dir);
    return count - 1; // not the listing's own descriptor
}

void writeSettings(const QString& root, quint16 port)
{
    QSettings settings(QStringLiteral("Orbenium"), QStringLiteral("RVX"));
    settings.clear();
    rvx::test::writeServerSettings(settings, root, port);
    settings.sync();
}

class Probe : public QObject
{
public:
    Probe(MainWindow* window, const QString& root)
        : m_window(window)
        , m_root(root)
    {
        m_clock.start();
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, &Probe::onTick);
        m_timer.start();
        m_last = m_clock.elapsed();
        mark();

        // Every wake-up of the event loop costs a look at every open socket.
        connect(
            QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this,
            [this]() { ++m_wakeups; }, Qt::DirectConnection);

        m_input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_input, &QSocketNotifier::activated, this, &Probe::onInput);
    }

    void mark()
    {
        m_markCpu = cpuSeconds();
        m_markWall = m_clock.elapsed();
        m_worstLateness = 0;
        m_lateTicks = 0;
        m_ticks = 0;
        m_wakeups = 0;
    }

private:
    void onTick()
    {
        const qint64 now = m_clock.elapsed();
        const qint64 late = now - m_last - 10;
        m_last = now;
        ++m_ticks;
        if (late > m_worstLateness)
            m_worstLateness = late;
        if (late > 50)
            ++m_lateTicks;
    }

    void onInput()
    {
        if (!rvx::bench::readCommands(m_pending, [this](const QByteArray& command) { run(command); })) {
            m_input->setEnabled(false);
            quit(); // the caller went away
        }
    }

    void run(const QByteArray& command)
    {
        if (command == "mark") {
            mark();
            std::printf("marked\n");
        } else if (command == "stats") {
            printStats();
        } else if (command == "files") {
            printFiles();
        } else if (command == "trim") {
#ifdef __GLIBC__
            malloc_trim(0);
#endif
            std::printf("trimmed\n");
        } else if (command == "select") {
            m_window->selectAllInDept();
            std::printf("selected rows=%d\n", m_window->selectedDevices(false).size());
        } else if (command == "probe off") {
            m_timer.stop(); // the probe's own wake-ups stay out of a steady-state measurement
            std::printf("probe off\n");
        } else if (command == "probe on") {
            m_last = m_clock.elapsed();
            m_timer.start();
            std::printf("probe on\n");
        } else if (command == "quit") {
            quit();
            return;
        } else {
            std::printf("unknown command\n");
        }
        std::fflush(stdout);
    }

    void quit()
    {
        m_timer.stop();
        m_window->close();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

    void printStats()
    {
        // Taken before anything else: counting 10,000 open descriptors costs a tenth of a
        // second, which is the stats command's own and no part of the period measured.
        const double cpu = cpuSeconds();
        const qint64 wall = m_clock.elapsed();
        SSLServer* server = m_window->server();
        int online = 0;
        const QList<ThinclientInfo*> devices = server ? server->devices() : QList<ThinclientInfo*>();
        for (const ThinclientInfo* device : devices) {
            if (device->socket)
                ++online;
        }
        int rows = 0;
        for (DeptInfo* dept : m_window->departments().items()) {
            if (!dept->view)
                continue;
            QStandardItemModel* model = dept->view->model();
            for (int g = 0; g < model->rowCount(); ++g)
                rows += model->rowCount(model->index(g, 0));
        }
        const int messages = rvx::Ask::records().size();
        std::printf(
            "stats wall_ms=%lld cpu_s=%.3f cpu_total_s=%.3f lateness_max_ms=%lld late_ticks=%d ticks=%d "
            "rss_kb=%ld hwm_kb=%ld fds=%d records=%d online=%d pending=%d connections=%d rows=%d "
            "messages=%d dept_writes=%d st_writes=%d txt_writes=%d wakeups=%lld heap_kb=%lld status=\"%s\"\n",
            static_cast<long long>(wall - m_markWall), cpu - m_markCpu, cpu,
            static_cast<long long>(m_worstLateness), m_lateTicks, m_ticks, statusKb("VmRSS"),
            statusKb("VmHWM"), openFiles(), devices.size(), online, server ? server->pendingCount() : 0,
            server ? server->connectionCount() : 0, rows, messages, writes().departments, writes().states,
            writes().texts, static_cast<long long>(m_wakeups), heapKb(),
            m_window->statusLabel() ? qPrintable(m_window->statusLabel()->text()) : "");
    }

    // Bytes the allocator has handed out and not taken back (-1 where unknown): what the
    // process holds, without the freed memory the allocator keeps for reuse.
    static long long heapKb()
    {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
        const struct mallinfo2 info = mallinfo2();
        return static_cast<long long>((info.uordblks + info.hblkhd) / 1024);
#else
        return -1;
#endif
    }

    void printFiles()
    {
        int st = 0;
        int txt = 0;
        QDirIterator it(m_root + QStringLiteral("/db"), QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString name = it.next();
            if (name.endsWith(QLatin1String(".st")))
                ++st;
            else if (name.endsWith(QLatin1String(".txt")))
                ++txt;
        }
        int members = 0;
        QFile departments(m_root + QStringLiteral("/departments.ini"));
        if (departments.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : departments.readAll().split('\n')) {
                if (line.startsWith("serial=") || line.startsWith("mac="))
                    ++members;
            }
        }
        std::printf("files st=%d txt=%d members=%d\n", st, txt, members);
    }

    MainWindow* m_window;
    QString m_root;
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_last = 0;
    qint64 m_worstLateness = 0;
    int m_lateTicks = 0;
    int m_ticks = 0;
    qint64 m_wakeups = 0;
    double m_markCpu = 0;
    qint64 m_markWall = 0;
    QSocketNotifier* m_input = nullptr;
    QByteArray m_pending;
};

} // namespace

int main(int argc, char** argv)
{
    const qint64 entered = monotonicNs();
    rvx::test::preparePrivateHome(argv[0]);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orbenium"));
    QApplication::setApplicationName(QStringLiteral("RVX"));
    rvx::test::initGuiEnvironment(); // refuses to run outside the private namespace

    QCommandLineParser parser;
    const QCommandLineOption workdirOption(QStringLiteral("workdir"), QStringLiteral("Working folder."),
                                           QStringLiteral("dir"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Agent port."),
                                        QStringLiteral("port"));
    const QCommandLineOption t0Option(QStringLiteral("t0"), QStringLiteral("CLOCK_MONOTONIC ns at launch."),
                                      QStringLiteral("ns"));
    const QCommandLineOption selectOption(QStringLiteral("select-all"),
                                          QStringLiteral("Select the whole shown department at start."));
    const QCommandLineOption timeoutOption(QStringLiteral("handshake-timeout"),
                                           QStringLiteral("Milliseconds to identify."), QStringLiteral("ms"));
    parser.addOptions({workdirOption, portOption, t0Option, selectOption, timeoutOption});
    parser.process(app);
    const QString root = QDir(parser.value(workdirOption)).absolutePath();
    const quint16 port = static_cast<quint16>(parser.value(portOption).toUInt());
    const qint64 t0 = parser.isSet(t0Option) ? parser.value(t0Option).toLongLong() : entered;
    if (!QFileInfo(root).isDir() || port == 0) {
        std::fprintf(stderr, "benchserver: --workdir and --port are required\n");
        return 2;
    }
    writeSettings(root, port);
    rvx::setBeforeReplaceHook([](const QString& path) {
        if (path.endsWith(QLatin1String("departments.ini")))
            ++writes().departments;
        else if (path.endsWith(QLatin1String(".st")))
            ++writes().states;
        else if (path.endsWith(QLatin1String(".txt")))
            ++writes().texts;
        else
            ++writes().other;
        return true;
    });

    // The start-up ends with a one-second pause: the listener is up and every stored device
    // has its row when it begins.
    qint64 readyNs = 0;
    rvx::platform::setSleeper([&readyNs](int seconds) {
        readyNs = monotonicNs();
        ::sleep(static_cast<unsigned>(seconds));
    });

    MainWindow window;
    if (!window.server() || !window.server()->isListening()) {
        std::fprintf(stderr, "benchserver: the server did not start (%s)\n",
                     qPrintable(rvx::Ask::lastMessage().text));
        return 1;
    }
    if (parser.isSet(timeoutOption))
        window.server()->setHandshakeTimeout(parser.value(timeoutOption).toInt());
    int rows = 0;
    for (DeptInfo* dept : window.departments().items())
        rows += dept->devices.size();
    std::printf("ready ms=%.1f rows=%d listening=1 tls=%s\n", double(readyNs - t0) / 1e6, rows,
                agentsocket::name(agentsocket::configured()));
    std::fflush(stdout);

    window.show();
    if (parser.isSet(selectOption))
        window.selectAllInDept();
    Probe probe(&window, root);
    QTimer::singleShot(0, &window, [t0]() {
        std::printf("loop ms=%.1f\n", double(monotonicNs() - t0) / 1e6);
        std::fflush(stdout);
    });
    return app.exec();
}
