// agentsim: plays many agents against a running server, for load measurements, or a varied
// demonstration fleet.
//
//   agentsim --demo 40 [--port 8085] [--host 127.0.0.1] [--first-index 0] [--keepalive 60]
//            [--retry-ms 5000]
//
// --demo N connects N varied devices (see demofleet.h) and keeps them connected until the
// program is stopped: hardware of every kind including Raspberry Pi models, older and newer
// agent and firmware versions, many application modes, one device in maintenance mode,
// lobby screens in signage mode, and a few that leave and come back every minute or so.
// Devices that cannot connect try again every --retry-ms milliseconds, so the demo may start
// before the server.
//
//   agentsim --port 8085 [--host 127.0.0.1] [--agents 1000] [--first-index 0] [--rate 100]
//            [--window 0] [--lines 500] [--keepalive 60] [--status-rate 0] [--duration 0]
//            [--timeout 300] [--retry-ms 0] [--serial-prefix SIM] [--client-version 8.4.0]
//            [--flood 0] [--flood-after 0] [--bare]
//
// Each agent connects over TLS, greets, identifies itself with its own serial number and
// MAC address (made from its index: --first-index and on, so that several processes can
// share a fleet), reports a compressed configuration snapshot of the given number of lines,
// and counts as identified once the server echoes the message sent after the snapshot.
// New connections are opened at most --rate per second (0: no limit) and with at most
// --window agents between connecting and identified at once (0: no limit). An agent whose
// connection ends before it is identified tries again after --retry-ms (0: it is lost).
// The program reports when every agent is identified, then keeps the connections alive for
// --duration seconds: keep-alives spread evenly so that each agent sends one every
// --keepalive seconds, and --status-rate status messages per second across the fleet.
//
// --flood M opens M plain TCP connections that never send a byte, once --flood-after agents
// are identified, and reports when the server has closed them all.
//
// --bare only completes TLS handshakes (then closes each connection cleanly): the same
// client against any TLS server, e.g. `openssl s_server -www`, gives the floor of a storm.

#include "configlib.h"
#include "demorun.h"
#include "platform.h"
#include "simagent.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <vector>

namespace {

constexpr int TickMs = 100; // keep-alives, status messages and the progress check

struct Options
{
    QHostAddress host;
    quint16 port = 0;
    int agents = 0;
    int firstIndex = 0;
    int rate = 0;   // new connections per second; 0 = unlimited
    int window = 0; // agents between connecting and identified at once; 0 = unlimited
    int lines = 500;
    int keepAlive = 60;
    double statusRate = 0;
    int duration = 0;
    int timeout = 300;
    int retryMs = 0;
    QString serialPrefix;
    QString clientVersion;
    int flood = 0;
    int floodAfter = 0;
    bool bare = false;
};

QByteArray macFor(int index)
{
    return QByteArray("02:5a:") + QByteArray::number((index >> 24) & 0xFF, 16).rightJustified(2, '0') + ':' +
           QByteArray::number((index >> 16) & 0xFF, 16).rightJustified(2, '0') + ':' +
           QByteArray::number((index >> 8) & 0xFF, 16).rightJustified(2, '0') + ':' +
           QByteArray::number(index & 0xFF, 16).rightJustified(2, '0');
}

long long ms(qint64 value)
{
    return static_cast<long long>(value);
}

// The many-agents run: starting, pacing and retrying connections, then keeping them alive.
class Fleet : public QObject
{
public:
    explicit Fleet(const Options& o)
        : opt(o)
    {
        if (!opt.bare) {
            // Every agent reports the same snapshot: it is compressed once.
            snapshot = config_message_build_text(SimAgent::sampleConfiguration(opt.lines), CATEGORY_ALL, true)
                           .value_or(QByteArray());
        }
        for (int i = opt.agents - 1; i >= 0; --i)
            waiting.push_back(opt.firstIndex + i);
        clock.start();
        connect(&starter, &QTimer::timeout, this, &Fleet::fill);
        starter.start(10);
        connect(&ticker, &QTimer::timeout, this, &Fleet::tick);
        ticker.start(TickMs);
        if (opt.flood > 0 && opt.floodAfter == 0)
            startFlood();
    }

    ~Fleet() override
    {
        // The connections close as their objects go: nothing may report to a fleet whose
        // members are gone already.
        const QObjectList members = children();
        for (QObject* member : members)
            member->blockSignals(true);
        qDeleteAll(members);
    }

    int exitCode = 0;

private:
    struct Agent
    {
        int index = 0;
        SimAgent* sim = nullptr;   // storm mode
        QSslSocket* tls = nullptr; // bare mode
        qint64 startedAt = 0;
        bool done = false;
    };

    // Opens new connections as far as the rate and the window allow.
    void fill()
    {
        while (!waiting.empty()) {
            if (opt.window > 0 && inProgress >= opt.window)
                return;
            if (opt.rate > 0 && opened >= clock.elapsed() * opt.rate / 1000 + 1)
                return;
            const int index = waiting.back();
            waiting.pop_back();
            start(index);
        }
        if (retries.empty())
            starter.stop();
    }

    void start(int index)
    {
        auto agent = std::make_shared<Agent>();
        agent->index = index;
        agent->startedAt = clock.elapsed();
        ++opened;
        ++inProgress;
        if (opt.bare)
            startBare(agent);
        else
            startAgent(agent);
    }

    void startAgent(const std::shared_ptr<Agent>& agent)
    {
        auto* sim = new SimAgent(this);
        agent->sim = sim;
        sim->setIdentifier(macFor(agent->index));
        const QString serial =
            opt.serialPrefix + QString::number(agent->index).rightJustified(6, QLatin1Char('0'));
        connect(sim->socket(), &QSslSocket::encrypted, sim, [sim]() { sim->sendGreeting(); });
        connect(sim, &SimAgent::frameReceived, sim, [this, agent, serial](const SimAgent::Frame& f) {
            SimAgent* s = agent->sim;
            const quint8 type = f.type & 0x7F;
            if (type == 5 && f.code == 2 && s->serverProofValid()) {
                s->identify(SimAgent::fleetDeviceBlock(serial, opt.clientVersion,
                                                       QString::fromLatin1(s->identifier())));
                s->sendRaw(snapshot);
                s->sendFrame(49, 0, QByteArray());
            } else if (type == 49 && !agent->done) {
                agent->done = true;
                --inProgress;
                ++identified;
                latencies.push_back(clock.elapsed() - agent->startedAt);
                online.push_back(s);
                s->clearFrames(); // nothing more is read from them
                if (opt.flood > 0 && !floodStarted && identified >= opt.floodAfter)
                    startFlood();
                fill();
            }
        });
        connect(sim, &SimAgent::disconnected, sim, [this, agent]() {
            SimAgent* s = agent->sim;
            if (agent->done) {
                ++droppedAfterIdentification;
                online.erase(std::remove(online.begin(), online.end(), s), online.end());
                s->deleteLater();
                return;
            }
            agent->done = true;
            --inProgress;
            failed(agent->index);
            s->deleteLater();
        });
        sim->connectToServer(opt.port, opt.host);
    }

    void startBare(const std::shared_ptr<Agent>& agent)
    {
        auto* socket = new QSslSocket(this);
        agent->tls = socket;
        socket->setPeerVerifyMode(QSslSocket::VerifyNone);
        connect(socket, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), socket,
                [socket](const QList<QSslError>&) { socket->ignoreSslErrors(); });
        connect(socket, &QSslSocket::encrypted, socket, [this, agent, socket]() {
            agent->done = true;
            --inProgress;
            ++identified;
            latencies.push_back(clock.elapsed() - agent->startedAt);
            socket->disconnectFromHost(); // close_notify, then the connection ends
            fill();
        });
        // Refused, reset or closed: the connection is over either way.
        connect(socket, &QAbstractSocket::stateChanged, socket,
                [this, agent, socket](QAbstractSocket::SocketState state) {
                    if (state != QAbstractSocket::UnconnectedState)
                        return;
                    if (!agent->done) {
                        agent->done = true;
                        --inProgress;
                        failed(agent->index);
                    }
                    socket->deleteLater();
                });
        socket->connectToHostEncrypted(opt.host.toString(), opt.port);
    }

    void failed(int index)
    {
        ++failures;
        if (opt.retryMs <= 0) {
            ++lost;
            fill();
            return;
        }
        retries.push_back({clock.elapsed() + opt.retryMs, index});
        fill();
    }

    void startFlood()
    {
        floodStarted = true;
        floodClock.start();
        for (int i = 0; i < opt.flood; ++i) {
            auto* socket = new QTcpSocket(this);
            connect(socket, &QTcpSocket::connected, socket, [this]() { ++floodConnected; });
            connect(socket, &QAbstractSocket::stateChanged, socket,
                    [this, socket](QAbstractSocket::SocketState state) {
                        if (state != QAbstractSocket::UnconnectedState)
                            return;
                        ++floodClosed;
                        if (floodClosed == opt.flood)
                            floodClosedMs = floodClock.elapsed();
                        socket->deleteLater();
                    });
            socket->connectToHost(opt.host, opt.port);
        }
    }

    void tick()
    {
        const qint64 now = clock.elapsed();
        // Agents waiting to try again.
        bool restarted = false;
        while (!retries.empty() && retries.front().at <= now) {
            waiting.push_back(retries.front().index);
            retries.pop_front();
            restarted = true;
        }
        if (restarted && !starter.isActive())
            starter.start(10);

        if (!online.empty()) {
            // Keep-alives spread evenly: each agent sends one every keepAlive seconds.
            keepAliveCredit += double(online.size()) * TickMs / (opt.keepAlive * 1000.0);
            while (keepAliveCredit >= 1.0) {
                keepAliveCredit -= 1.0;
                nextKeepAlive %= online.size();
                online[nextKeepAlive++]->sendKeepAlive();
                ++keepAlives;
            }
            statusCredit += opt.statusRate * TickMs / 1000.0;
            while (statusCredit >= 1.0) {
                statusCredit -= 1.0;
                nextStatus %= online.size();
                const QByteArray text = "Session running " + QByteArray::number(++statuses);
                online[nextStatus++]->sendFrame(7, 0, text + '\0');
            }
        }

        if (opt.flood > 0 && floodStarted && !floodReported && floodClosed >= opt.flood) {
            floodReported = true;
            std::printf("flood=%d connected=%d closed=%d all_closed_ms=%lld\n", opt.flood, floodConnected,
                        floodClosed, ms(floodClosedMs));
            std::fflush(stdout);
        }

        const bool finished = identified + lost >= opt.agents;
        if (!reported && (finished || now > qint64(opt.timeout) * 1000))
            report(now);
    }

    void report(qint64 now)
    {
        reported = true;
        std::vector<qint64> sorted = latencies;
        std::sort(sorted.begin(), sorted.end());
        auto pct = [&sorted](double p) -> long long {
            return sorted.empty() ? 0 : ms(sorted[static_cast<size_t>(p * double(sorted.size() - 1))]);
        };
        const long long slowest = sorted.empty() ? 0 : ms(sorted.back());
        if (opt.bare) {
            std::printf("bare=%d done=%d failed=%d elapsed_ms=%lld latency_ms_p50=%lld p99=%lld max=%lld\n",
                        opt.agents, identified, failures, ms(now), pct(0.5), pct(0.99), slowest);
        } else {
            std::printf("agents=%d identified=%d lost=%d elapsed_ms=%lld latency_ms_p50=%lld p90=%lld "
                        "p99=%lld max=%lld failures=%d\n",
                        opt.agents, identified, opt.agents - identified, ms(now), pct(0.5), pct(0.9),
                        pct(0.99), slowest, failures);
        }
        std::fflush(stdout);
        exitCode = identified == opt.agents ? 0 : 1;
        if (opt.bare) {
            QTimer::singleShot(0, qApp, [this]() { qApp->exit(exitCode); });
            return;
        }
        // At the end every connection drops at once, as when the network fails: the system
        // closes them when the process ends, without the simulator taking each one down
        // (which, for thousands, would compete with the server for the processor).
        QTimer::singleShot(opt.duration * 1000, qApp, [this]() {
            std::printf("steady keepalives=%lld statuses=%lld dropped=%d\n",
                        static_cast<long long>(keepAlives), static_cast<long long>(statuses),
                        droppedAfterIdentification);
            if (opt.flood > 0 && !floodReported)
                std::printf("flood=%d connected=%d closed=%d all_closed_ms=-1\n", opt.flood, floodConnected,
                            floodClosed);
            std::fflush(stdout);
            std::fflush(stderr);
            std::_Exit(exitCode);
        });
    }

    struct Retry
    {
        qint64 at;
        int index;
    };

    Options opt;
    QByteArray snapshot;
    QElapsedTimer clock;
    QTimer starter;
    QTimer ticker;
    std::vector<int> waiting; // agent indexes not started yet, the next at the back
    std::deque<Retry> retries;
    std::vector<SimAgent*> online;
    std::vector<qint64> latencies;
    int opened = 0;
    int inProgress = 0;
    int identified = 0;
    int failures = 0;
    int lost = 0;
    int droppedAfterIdentification = 0;
    bool reported = false;

    double keepAliveCredit = 0;
    double statusCredit = 0;
    size_t nextKeepAlive = 0;
    size_t nextStatus = 0;
    qint64 keepAlives = 0;
    qint64 statuses = 0;

    bool floodStarted = false;
    bool floodReported = false;
    QElapsedTimer floodClock;
    int floodConnected = 0;
    int floodClosed = 0;
    qint64 floodClosedMs = -1;
};

// The demonstration fleet: its own defaults (the server's default port, a retry every five
// seconds), then it runs until the program is stopped.
int runDemo(QCoreApplication& app, const QCommandLineParser& parser, const QCommandLineOption& demoOption,
            const QCommandLineOption& portOption, const QCommandLineOption& hostOption,
            const QCommandLineOption& firstOption, const QCommandLineOption& keepAliveOption,
            const QCommandLineOption& retryOption)
{
    bool countValid = false;
    const int count = parser.value(demoOption).toInt(&countValid);
    const quint16 port =
        parser.isSet(portOption) ? static_cast<quint16>(parser.value(portOption).toUInt()) : quint16(8085);
    const QHostAddress host(parser.value(hostOption));
    if (!countValid || count < 1 || port == 0 || host.isNull()) {
        std::fprintf(stderr,
                     "agentsim: --demo takes a number of devices (1 or more), a valid --port and --host\n");
        return 2;
    }
    DemoRun run(demo::fleet(count, qMax(0, parser.value(firstOption).toInt())), host, port);
    run.setKeepAliveSeconds(qMax(1, parser.value(keepAliveOption).toInt()));
    run.setRetryMs(parser.isSet(retryOption) ? parser.value(retryOption).toInt() : 5000);
    bool announced = false;
    QObject::connect(&run, &DemoRun::identified, &run, [&run, &announced, count](const QString& serial) {
        if (announced) {
            std::printf("demo: %s is back\n", qPrintable(serial));
        } else if (run.identifiedCount() == count) {
            announced = true;
            std::printf("demo: all %d devices are connected (stop with Ctrl+C)\n", count);
        }
        std::fflush(stdout);
    });
    std::printf("demo: connecting %d devices to %s port %u\n", count, qPrintable(host.toString()),
                unsigned(port));
    std::fflush(stdout);
    run.start();
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    // Thousands of agents in one process: Qt's GLib event loop adds and removes a socket's
    // watch (every write does) in time proportional to all open sockets; its own Unix loop
    // keeps them in a hash. The simulator must not be what limits a run.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("agentsim"));
    rvx::platform::raiseOpenFileLimit(); // one socket per agent

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays many agents against a running server."));
    parser.addHelpOption();
    auto option = [&parser](const char* name, const char* help, const char* value, const char* def) {
        QCommandLineOption o(QString::fromLatin1(name), QString::fromLatin1(help), QString::fromLatin1(value),
                             QString::fromLatin1(def));
        parser.addOption(o);
        return o;
    };
    const auto portOption = option("port", "Server TLS port.", "port", "");
    const auto hostOption = option("host", "Server address.", "address", "127.0.0.1");
    const auto agentsOption = option("agents", "Number of agents.", "n", "100");
    const auto firstOption = option("first-index", "Index of the first agent.", "n", "0");
    const auto rateOption = option("rate", "New connections per second (0: no limit).", "n", "100");
    const auto windowOption =
        option("window", "Agents between connecting and identified at once (0: no limit).", "n", "0");
    const auto linesOption = option("lines", "Lines of each configuration snapshot.", "n", "500");
    const auto keepAliveOption = option("keepalive", "Seconds between an agent's keep-alives.", "s", "60");
    const auto statusOption =
        option("status-rate", "Status messages per second across all agents.", "n", "0");
    const auto durationOption =
        option("duration", "Seconds to stay connected once all are identified.", "s", "0");
    const auto timeoutOption = option("timeout", "Seconds to wait for identification.", "s", "300");
    const auto retryOption =
        option("retry-ms", "Milliseconds before an agent whose connection failed tries again (0: never).",
               "ms", "0");
    const auto prefixOption = option("serial-prefix", "Serial number prefix.", "text", "SIM");
    const auto versionOption = option("client-version", "Agent version reported.", "version", "8.4.0");
    const auto floodOption = option("flood", "Connections that never send a byte.", "n", "0");
    const auto floodAfterOption =
        option("flood-after", "Identified agents before the flood is opened.", "n", "0");
    const QCommandLineOption bareOption(QStringLiteral("bare"),
                                        QStringLiteral("Only complete TLS handshakes, then close."));
    parser.addOption(bareOption);
    const auto demoOption =
        option("demo", "Connect a varied demonstration fleet of n devices and keep it connected.", "n", "0");
    parser.process(app);

    if (parser.isSet(demoOption))
        return runDemo(app, parser, demoOption, portOption, hostOption, firstOption, keepAliveOption,
                       retryOption);

    Options o;
    o.port = static_cast<quint16>(parser.value(portOption).toUInt());
    o.host = QHostAddress(parser.value(hostOption));
    o.agents = qMax(1, parser.value(agentsOption).toInt());
    o.firstIndex = qMax(0, parser.value(firstOption).toInt());
    o.rate = qMax(0, parser.value(rateOption).toInt());
    o.window = qMax(0, parser.value(windowOption).toInt());
    o.lines = qMax(1, parser.value(linesOption).toInt());
    o.keepAlive = qMax(1, parser.value(keepAliveOption).toInt());
    o.statusRate = qMax(0.0, parser.value(statusOption).toDouble());
    o.duration = qMax(0, parser.value(durationOption).toInt());
    o.timeout = qMax(1, parser.value(timeoutOption).toInt());
    o.retryMs = qMax(0, parser.value(retryOption).toInt());
    o.serialPrefix = parser.value(prefixOption);
    o.clientVersion = parser.value(versionOption);
    o.flood = qMax(0, parser.value(floodOption).toInt());
    o.floodAfter = qMax(0, parser.value(floodAfterOption).toInt());
    o.bare = parser.isSet(bareOption);
    if (o.port == 0 || o.host.isNull()) {
        std::fprintf(stderr, "agentsim: --port and a valid --host are required\n");
        return 2;
    }

    Fleet fleet(o);
    const int status = app.exec();
    return status;
}
