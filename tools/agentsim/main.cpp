// agentsim: plays many agents against a running server, for load measurements.
//
//   agentsim --port 8085 [--host 127.0.0.1] [--agents 1000] [--rate 200] [--lines 500]
//            [--keepalive 60] [--duration 0] [--timeout 300] [--serial-prefix SIM]
//            [--client-version 8.4.0]
//
// Each agent connects over TLS, greets, identifies itself with its own serial number and
// MAC address, reports a compressed configuration snapshot of the given number of lines,
// and counts as identified once the server echoes the message sent after the snapshot.
// The program reports when every agent is identified, then keeps the connections alive
// (a keep-alive byte every --keepalive seconds) for --duration seconds.

#include "configlib.h"
#include "simagent.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSslSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Run
{
    QHostAddress host;
    quint16 port = 0;
    int agents = 0;
    int lines = 500;
    QString serialPrefix;
    QString clientVersion;
    QByteArray snapshot;
    QElapsedTimer clock;
    std::vector<qint64> latencies;
    int started = 0;
    int identified = 0;
    int lost = 0;
};

QByteArray macFor(int index)
{
    return QByteArray("02:5a:") + QByteArray::number((index >> 24) & 0xFF, 16).rightJustified(2, '0') + ':' +
           QByteArray::number((index >> 16) & 0xFF, 16).rightJustified(2, '0') + ':' +
           QByteArray::number((index >> 8) & 0xFF, 16).rightJustified(2, '0') + ':' +
           QByteArray::number(index & 0xFF, 16).rightJustified(2, '0');
}

void startAgent(Run& run, QObject* parent, int index)
{
    auto* agent = new SimAgent(parent);
    agent->setIdentifier(macFor(index));
    const QString serial = run.serialPrefix + QString::number(index).rightJustified(6, QLatin1Char('0'));
    const qint64 startedAt = run.clock.elapsed();
    auto done = std::make_shared<bool>(false);
    QObject::connect(agent->socket(), &QSslSocket::encrypted, agent, [agent]() { agent->sendGreeting(); });
    QObject::connect(agent, &SimAgent::frameReceived, agent,
                     [&run, agent, serial, startedAt, done](const SimAgent::Frame& f) {
                         const quint8 type = f.type & 0x7F;
                         if (type == 5 && f.code == 2 && agent->serverProofValid()) {
                             agent->identify(SimAgent::deviceBlock(serial, run.clientVersion, QString(),
                                                                   QString::fromLatin1(agent->identifier())));
                             agent->sendConfiguration(run.snapshot, CATEGORY_ALL, true);
                             agent->sendFrame(49, 0, QByteArray());
                         } else if (type == 49 && !*done) {
                             *done = true;
                             ++run.identified;
                             run.latencies.push_back(run.clock.elapsed() - startedAt);
                         }
                     });
    QObject::connect(agent, &SimAgent::disconnected, agent, [&run, done]() {
        if (!*done) {
            *done = true;
            ++run.lost;
        }
    });
    agent->connectToServer(run.port, run.host);
    ++run.started;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("agentsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays many agents against a running server."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Server TLS port."),
                                        QStringLiteral("port"));
    const QCommandLineOption hostOption(QStringLiteral("host"), QStringLiteral("Server address."),
                                        QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption agentsOption(QStringLiteral("agents"), QStringLiteral("Number of agents."),
                                          QStringLiteral("n"), QStringLiteral("100"));
    const QCommandLineOption rateOption(QStringLiteral("rate"), QStringLiteral("New connections per second."),
                                        QStringLiteral("n"), QStringLiteral("100"));
    const QCommandLineOption linesOption(QStringLiteral("lines"),
                                         QStringLiteral("Lines of each configuration snapshot."),
                                         QStringLiteral("n"), QStringLiteral("500"));
    const QCommandLineOption keepAliveOption(QStringLiteral("keepalive"),
                                             QStringLiteral("Seconds between keep-alives."),
                                             QStringLiteral("s"), QStringLiteral("60"));
    const QCommandLineOption durationOption(
        QStringLiteral("duration"), QStringLiteral("Seconds to stay connected once all are identified."),
        QStringLiteral("s"), QStringLiteral("0"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"),
                                           QStringLiteral("Seconds to wait for identification."),
                                           QStringLiteral("s"), QStringLiteral("300"));
    const QCommandLineOption prefixOption(QStringLiteral("serial-prefix"),
                                          QStringLiteral("Serial number prefix."), QStringLiteral("text"),
                                          QStringLiteral("SIM"));
    const QCommandLineOption versionOption(QStringLiteral("client-version"),
                                           QStringLiteral("Agent version reported."),
                                           QStringLiteral("version"), QStringLiteral("8.4.0"));
    parser.addOptions({portOption, hostOption, agentsOption, rateOption, linesOption, keepAliveOption,
                       durationOption, timeoutOption, prefixOption, versionOption});
    parser.process(app);

    Run run;
    run.port = static_cast<quint16>(parser.value(portOption).toUInt());
    run.host = QHostAddress(parser.value(hostOption));
    run.agents = qMax(1, parser.value(agentsOption).toInt());
    run.lines = qMax(1, parser.value(linesOption).toInt());
    run.serialPrefix = parser.value(prefixOption);
    run.clientVersion = parser.value(versionOption);
    run.snapshot = SimAgent::sampleConfiguration(run.lines);
    const int rate = qMax(1, parser.value(rateOption).toInt());
    const int keepAlive = qMax(1, parser.value(keepAliveOption).toInt());
    const int duration = qMax(0, parser.value(durationOption).toInt());
    const int timeout = qMax(1, parser.value(timeoutOption).toInt());
    if (run.port == 0 || run.host.isNull()) {
        std::fprintf(stderr, "agentsim: --port and a valid --host are required\n");
        return 2;
    }

    QObject agents;
    run.clock.start();

    // Connections are opened in batches every 10 ms to approach the requested rate.
    QTimer starter;
    starter.setInterval(10);
    QObject::connect(&starter, &QTimer::timeout, [&]() {
        const qint64 due = qMin<qint64>(run.agents, run.clock.elapsed() * rate / 1000 + 1);
        while (run.started < due)
            startAgent(run, &agents, run.started);
        if (run.started >= run.agents)
            starter.stop();
    });
    starter.start();

    QTimer keepAlives;
    QObject::connect(&keepAlives, &QTimer::timeout, [&]() {
        for (SimAgent* agent : agents.findChildren<SimAgent*>())
            if (agent->isConnected())
                agent->sendKeepAlive();
    });
    keepAlives.start(keepAlive * 1000);

    int exitCode = 0;
    QTimer progress;
    bool reported = false;
    QObject::connect(&progress, &QTimer::timeout, [&]() {
        const bool finished = run.identified + run.lost >= run.agents;
        if (!reported && (finished || run.clock.elapsed() > qint64(timeout) * 1000)) {
            reported = true;
            std::vector<qint64> sorted = run.latencies;
            std::sort(sorted.begin(), sorted.end());
            auto pct = [&sorted](double p) -> qint64 {
                return sorted.empty() ? 0 : sorted[static_cast<size_t>(p * double(sorted.size() - 1))];
            };
            std::printf("agents=%d identified=%d lost=%d elapsed_ms=%lld latency_ms_p50=%lld p90=%lld "
                        "p99=%lld max=%lld\n",
                        run.agents, run.identified, run.lost, static_cast<long long>(run.clock.elapsed()),
                        static_cast<long long>(pct(0.5)), static_cast<long long>(pct(0.9)),
                        static_cast<long long>(pct(0.99)),
                        static_cast<long long>(sorted.empty() ? 0 : sorted.back()));
            std::fflush(stdout);
            exitCode = run.identified == run.agents ? 0 : 1;
            QTimer::singleShot(duration * 1000, &app, [&app, &exitCode]() { app.exit(exitCode); });
        }
    });
    progress.start(50);

    return app.exec();
}
